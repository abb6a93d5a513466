#include "host/boardbridge.h"

namespace {
constexpr std::size_t TransmittedLimit = 1 << 20;
// Level changes waiting for the core; older ones go when a board changes faster than this.
constexpr std::size_t PendingLimit = 64;

// The port (0..3) whose SFR is at this data-space address, or -1.
int portAt(int address) {
    switch (address) {
    case 0x80:
        return 0;
    case 0x90:
        return 1;
    case 0xA0:
        return 2;
    case 0xB0:
        return 3;
    default:
        return -1;
    }
}
} // namespace

TFirmwareBridge::TFirmwareBridge(mcs51::Core& core) : m_core(core) {}

void TFirmwareBridge::SetBoard(MessageTarget* board) {
    m_board = board;
    m_decoding = dynamic_cast<const TBoardDecoding*>(board);
    if (m_decoding) TakeDecoding();
}

void TFirmwareBridge::TakeDecoding() {
    m_decodedGeneration = m_decoding->DecodingGeneration();
    m_xdataDecoded.assign(0x10000, 0);
    for (const auto& [address, bits] : m_decoding->DecodedAddresses(KindXdata))
        if (address <= 0xFFFF && bits) m_xdataDecoded[address] = 1;
    m_portDecoded.fill(0);
    for (const auto& [address, bits] : m_decoding->DecodedAddresses(KindData))
        if (const int port = portAt(int(address)); port >= 0) m_portDecoded[size_t(port)] |= bits;
    // What the board holds on the ports it decodes now is found out at the next latch change.
    m_portCurrent.fill(false);
}

qintptr TFirmwareBridge::Access(quint8 kind, quint32 address, quint8 data) {
    ++m_accesses;
    // What the access spreads may reach any port's pins.
    m_portCurrent.fill(false);
    return SendHostMessage(m_board, HostMsg::HostAccess, PackHostAccessW(kind, address),
                           PackHostAccessL(data, data));
}

void TFirmwareBridge::SyncPorts() {
    m_sent.fill(-1);
    for (int port = 0; port < 4; ++port)
        PortWritten(port, m_core.PortLatch(port));
}

void TFirmwareBridge::PortWritten(int port, uint8_t latch) {
    port &= 3;
    const int sent = m_sent[size_t(port)];
    if (sent == latch) return;
    m_sent[size_t(port)] = latch;
    if (m_decoding) {
        if (m_decoding->DecodingGeneration() != m_decodedGeneration) TakeDecoding();
        // No pin of the board shows a changed bit, and nothing happened on the board since this
        // port's last access: no component would react, and the board would report the pins it
        // holds as that access left them.
        if (m_portCurrent[size_t(port)] && sent >= 0 && m_pending.empty() &&
            ((sent ^ latch) & m_portDecoded[size_t(port)]) == 0) {
            m_changedAt[size_t(port)] = m_core.Cycles();
            if (PinWatch) PinWatch->CorePinsChanged();
            return;
        }
    }
    // The board's pins follow the new latch unless the board holds them otherwise, which it says
    // through 2033 while the access is handled. The core sees the outcome at once, never an
    // intermediate level (that would be an edge on INT0/INT1 or a counter input).
    m_collectPort = port;
    m_collected = 0xFF;
    Access(KindData, quint32(0x80 + 0x10 * port), latch);
    m_collectPort = -1;
    m_portCurrent[size_t(port)] = true;
    // The latch write settles what the board does to the port's pins now.
    std::erase_if(m_pending, [port](const auto& entry) { return entry.first == port; });
    if (m_core.ExternalPins(port) != m_collected) m_core.SetExternalPins(port, m_collected);
    m_changedAt[size_t(port)] = m_core.Cycles();
    if (PinWatch) PinWatch->CorePinsChanged();
}

uint8_t TFirmwareBridge::IntendedPins(int port) const {
    for (auto it = m_pending.rbegin(); it != m_pending.rend(); ++it)
        if (it->first == port) return it->second;
    return m_core.ExternalPins(port);
}

void TFirmwareBridge::ChangePins(int port, uint8_t levels) {
    m_portCurrent[size_t(port)] = false;
    if (levels == IntendedPins(port)) return;
    if (m_pending.empty() && m_changedAt[size_t(port)] != m_core.Cycles()) {
        m_core.SetExternalPins(port, levels);
        m_changedAt[size_t(port)] = m_core.Cycles();
        if (PinWatch) PinWatch->CorePinsChanged();
        return;
    }
    if (m_pending.size() >= PendingLimit) m_pending.pop_front();
    m_pending.emplace_back(port, levels);
}

bool TFirmwareBridge::ApplyPending() {
    if (m_pending.empty()) return false;
    const auto [port, levels] = m_pending.front();
    // The core must have run on the previous level first.
    if (m_changedAt[size_t(port)] == m_core.Cycles()) return false;
    m_pending.pop_front();
    m_core.SetExternalPins(port, levels);
    m_changedAt[size_t(port)] = m_core.Cycles();
    if (PinWatch) PinWatch->CorePinsChanged();
    return true;
}

int TFirmwareBridge::ExternalRead(uint16_t address) {
    if (!XdataDecoded(address)) return -1;
    const quint8 held = m_core.Xram()[address];
    // A latch answers while its strobe is active; a buffer whose output enable is the strobe
    // answers when it is released (a disabled buffer gives its inputs).
    qintptr reply = Access(KindXdata | StrobeWrIdle, address, held);
    const qintptr released = Access(KindXdata | StrobeRdIdle | StrobeWrIdle, address, held);
    if (reply < 0 || reply > 0xFF) reply = released;
    return reply >= 0 && reply <= 0xFF ? int(reply) : -1;
}

void TFirmwareBridge::ExternalWrite(uint16_t address, uint8_t value) {
    if (!XdataDecoded(address)) return;
    Access(KindXdata | StrobeRdIdle, address, value);
    Access(KindXdata | StrobeRdIdle | StrobeWrIdle, address, value);
}

void TFirmwareBridge::SerialTransmitted(uint8_t byte) {
    if (m_transmitted.size() >= TransmittedLimit) m_transmitted.erase(0, TransmittedLimit / 2);
    m_transmitted.push_back(char(byte));
    if (OnTransmit) OnTransmit(byte);
    if (PinWatch) PinWatch->SerialFrameSent(byte);
}

int TFirmwareBridge::PortAddressRefused(qint64 address) {
    return address >= 0 && address <= 0xFFFF ? 0 : 1;
}

void TFirmwareBridge::PinLevel(quint32 wParam) {
    const int port = portAt(ByteOf(wParam, 0));
    const int bit = ByteOf(wParam, 1);
    if (port < 0 || ByteOf(wParam, 2) != KindData || bit > 7) return;
    const bool high = ByteOf(wParam, 3) >= 3; // whole volts: above 2.5 V reads as 1
    const uint8_t mask = uint8_t(1u << bit);
    if (port == m_collectPort) {
        m_collected = high ? uint8_t(m_collected | mask) : uint8_t(m_collected & ~mask);
        return;
    }
    const uint8_t levels = IntendedPins(port);
    ChangePins(port, high ? uint8_t(levels | mask) : uint8_t(levels & ~mask));
}

void TFirmwareBridge::PortByte(quint32 wParam) {
    const int port = portAt(ByteOf(wParam, 0));
    if (port < 0 || ByteOf(wParam, 2) != KindData) return;
    if (port == m_collectPort)
        m_collected = ByteOf(wParam, 3);
    else
        ChangePins(port, ByteOf(wParam, 3));
}

qintptr TFirmwareBridge::HandleMessage(quint32 msg, quint32 wParam, qintptr) {
    switch (msg) {
    case HostMsg::PinLevel:
        PinLevel(wParam);
        return 0;
    case HostMsg::PortByte:
        PortByte(wParam);
        return 0;
    case HostMsg::PortAddress:
        // The whole word is the address; a negative one arrives as a large unsigned value.
        return PortAddressRefused(qint64(qint32(wParam)));
    default:
        return 0;
    }
}
