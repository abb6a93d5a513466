#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>
#include <optional>

class TTraceRecorder;

// Writes a recording as an IEEE 1364 value change dump: one scope per component, 1-bit wires and
// 8-bit buses, undefined levels (and traces whose source went) as x.
struct TVcdOptions {
    // Picoseconds per time unit of the dump: a power of ten from 1 ps to 1 s.
    quint64 UnitPs = 1000000;
    // The part to write (picoseconds of the recording); the dump's time 0 is `From`. Values at
    // `From` are those the traces held then.
    std::optional<quint64> From;
    std::optional<quint64> To;
    // Buses as eight 1-bit wires NAME_0..NAME_7, for readers that take no vectors.
    bool SplitBuses = false;
};

// A dump unit for one machine cycle of `cyclePs`: the largest power of ten that divides a whole
// cycle (1 us at 12 MHz, 100 ns at 24 MHz), else one of at most a tenth of a cycle (100 ns at
// 11.0592 MHz). 1 us without a core.
quint64 VcdUnitFor(double cyclePs);

// The dump's text, or an empty array with the reason in `error` (a bad unit or range).
QByteArray WriteVcd(const TTraceRecorder& recorder, const TVcdOptions& options,
                    QString* error = nullptr);
