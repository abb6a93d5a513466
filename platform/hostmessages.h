#pragma once

#include <QtGlobal>

// The window-message interface between a board and the host microcontroller simulator.
// Messages are delivered synchronously: sending is a direct call of the target's HandleMessage.
namespace HostMsg {
constexpr quint32 HostAccess = 2026;  // host -> board: one bus access; result = the board's reply
constexpr quint32 HostStart = 2029;   // host -> board: start the simulation
constexpr quint32 HostReply = 2031;   // component -> board: read answer during a host access
constexpr quint32 PinLevel = 2033;    // host pin -> board -> host: a pin level the board changed
constexpr quint32 PortByte = 2036;    // host port -> board -> host: a byte the board wrote
constexpr quint32 PortAddress = 2037; // host port -> board -> host: may the port take this address?
} // namespace HostMsg

class MessageTarget {
public:
    virtual ~MessageTarget() = default;
    virtual qintptr HandleMessage(quint32 msg, quint32 wParam, qintptr lParam) = 0;
};

// Synchronous send; a missing target answers 0, as a send to no window does.
inline qintptr SendHostMessage(MessageTarget* target, quint32 msg, quint32 wParam, qintptr lParam) {
    return target ? target->HandleMessage(msg, wParam, lParam) : 0;
}

// Four bytes into one 32-bit word, byte 0 the least significant.
constexpr quint32 PackBytes(quint8 b0, quint8 b1, quint8 b2, quint8 b3) {
    return quint32(b0) | (quint32(b1) << 8) | (quint32(b2) << 16) | (quint32(b3) << 24);
}

constexpr quint8 ByteOf(quint32 word, int index) {
    return quint8(word >> (8 * index));
}

// Millivolts to whole volts, rounded to nearest with halves to even (2500 mV -> 2 V, 3500 mV -> 4
// V).
int MillivoltsToVolts(int millivolts);

// wParam of 2026 as the board decodes it: 24-bit address, kind byte on top.
constexpr quint32 PackHostAccessW(quint8 kind, quint32 address) {
    return (address & 0xFFFFFFu) | (quint32(kind) << 24);
}
// lParam of 2026: data in the low word, driven data in the high word.
constexpr qintptr PackHostAccessL(quint16 data, quint16 drivenData) {
    return qintptr(quint32(data) | (quint32(drivenData) << 16));
}
