#pragma once

#include <QString>
#include <QStringList>
#include <QtGlobal>
#include <vector>

class TTraceIndex;

// The lines of a character LCD's bus, as traces of a recording.
struct TLcdBusLines {
    int E = -1;
    int Rs = -1;
    int Rw = -1; // -1: not recorded, taken as low (every transfer a write)
    // One 8-bit bus trace, or single lines: D0..D7 (eight) or D4..D7 (four, 4-bit only).
    std::vector<int> Data;
    // Only D4..D7 are wired: after a function set with a 4-bit data length, bytes come as two
    // nibbles, the high one first (of a bus trace, bits 4..7 are D4..D7).
    bool FourBit = false;
};

// The same lines by trace path or row label, as the user picks them.
struct TLcdBusPaths {
    QString E, Rs;
    QString Rw;        // empty: not wired
    QString Bus;       // an 8-bit bus; empty when Lines are given
    QStringList Lines; // D4..D7 (four lines, 4-bit) when no bus is given
    bool FourBit = false;
};

// One transfer the module latched on a falling edge of E.
struct TLcdTransfer {
    quint64 Start = 0; // E rose (for the first nibble of a 4-bit pair)
    quint64 Latch = 0; // E fell: the module took the byte
    bool Data = false; // RS high: display or character-generator data
    bool Read = false; // RW high: the module drove the bus
    int Value = -1;    // the byte, -1 when a line was undefined
    QString Text;      // "Clear", "Set DDRAM 0x40", "'H'", "Read busy/address 0x00"
};

// What an instruction byte (RS low) does, in words: "Clear", "Home", "Entry mode I/D=1 S=0",
// "Display on C=1 B=0", "Shift cursor right", "Function set 8-bit 2 lines 5x8",
// "Set CGRAM 0x08", "Set DDRAM 0x40".
QString LcdCommandText(int code);
// A data byte: the character in quotes when printable, else in hex.
QString LcdDataText(int value);

// The transfers of a character LCD's bus whose latch lies between fromPs and toPs: on each fall
// of E the decoder reads RS, RW and the data lines as they stood just before it. With a 4-bit bus
// it follows the module's data length from power-on (8-bit) through every function set, so the
// decode starts at the beginning of what is recorded.
std::vector<TLcdTransfer> DecodeLcdBus(const TTraceIndex& index, const TLcdBusLines& lines,
                                       quint64 fromPs, quint64 toPs);
