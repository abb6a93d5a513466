#pragma once

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>

#include "editor/firmwarerunner.h"
#include "trace/recorder.h"
#include "trace/vcd.h"

class TfrmPlugin;

// The window's recording of traces: ties the recorder to the board (Run on and off), to the
// firmware (its core's pins and machine cycles as the clock) and to the board's own clock when no
// firmware runs. One per window, made on first use.
class TTraceSession : public QObject {
    Q_OBJECT

public:
    static TTraceSession* Of(TfrmPlugin* window);
    ~TTraceSession() override;

    TTraceRecorder& Recorder() { return m_recorder; }
    const TTraceRecorder& Recorder() const { return m_recorder; }

    // Adds a trace by its path: a contact or port of a component as in board files
    // ("SW1.Contact1", "Port1"), or the core's own pins: "Host.P1" (the port as a bus),
    // "Host.P1.0", "Host.TXD", "Host.RXD", "Host.INT0", "Host.INT1", "Host.T0", "Host.T1".
    // Returns the trace's index, or -1 with the reason in `error`.
    int AddTrace(const QString& path, QString* error);

    // The recording as a value change dump, in a unit that keeps machine cycles apart.
    QByteArray Vcd(TVcdOptions options, QString* error) const;
    quint64 DefaultVcdUnit() const;

signals:
    // A trace was added or the recording was cleared.
    void TracesChanged();

private:
    explicit TTraceSession(TfrmPlugin* window);
    bool CoreLive() const;
    void RunnerStateChanged();

    TfrmPlugin* m_window;
    QPointer<TFirmwareRunner> m_runner;
    TTraceRecorder m_recorder;
    double m_crystal = 0;
};
