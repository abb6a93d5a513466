#pragma once

#include <QtGlobal>
#include <array>
#include <deque>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "host/mcs51.h"
#include "platform/hostmessages.h"

// Makes an 8051 core the host of a board, through nothing but the host messages: the board cannot
// tell it from an outside host simulator.
//
// Core to board (message 2026, sent to the board form's own handling of host messages):
// - a port latch that changes becomes one byte access in the data space at the port's SFR address
//   (0x80, 0x90, 0xA0, 0xB0). The part's ports are quasi-bidirectional: a pin written 0 is pulled
//   low hard, a pin written 1 only weakly high. Both words of the access carry the latch: the host
//   pins then stand at the latch's level and drive it, a 1 through the weak host-pin resistance,
//   so a switch or gate on the board still pulls it low. Writes that leave the latch as it was
//   send nothing: no board component reacts to a repeated byte.
// - MOVX is a bus cycle in the external data space at the 16-bit address: the access with its
//   strobe active (WR for a write, RD for a read: bit 6 or bit 7 of the kind clear), then the same
//   access with both strobes released. A read returns the board's reply to the strobed access,
//   else its reply to the release (a buffer enabled by RD answers when it is disabled again);
//   where no component answers, the core's own external RAM gives the byte. The data of a read
//   cycle is what external RAM holds at the address, so a bus port there keeps showing the byte
//   last written to it.
//
// Board to core (messages 2033, 2036 and 2037, which the board form forwards to its host):
// - after a port access the board reports the pins it holds at another level than the latch (the
//   board form's host link does, as the pins themselves stay silent while the host is busy).
// - a host pin level (2033) or a byte the board writes on a host port (2036) in the data space at
//   a port's address becomes the external level of those pins; the core reads latch AND level, and
//   P3.2/P3.3 and P3.4/P3.5 feed INT0/INT1 and the counters from it. Above 2.5 V reads as 1.
// - 2037: a port may take any address of the part's buses (0..0xFFFF) and is refused any other.
//   The message carries no address space, and board files give a port its address before its
//   space, so the data space cannot be told apart here.
//
// Accesses no component answers are not sent: a board that tells which addresses it decodes
// (TBoardDecoding, on the target given to SetBoard) is asked once per change of the board, and a
// MOVX to an address nothing decodes, or a latch change in bits no pin of the board shows, then
// costs what it costs in the bare core. The outcome is that of the message: nothing reacts, and
// the pins the board holds stay as they were reported.
class TBoardDecoding {
public:
    // Changes whenever what the board decodes may have changed (a component added or removed, an
    // address, space or bit edited).
    virtual quint64 DecodingGeneration() const = 0;
    // The addresses of a space (the kind's low three bits) at which some component of the board
    // answers a host access, each with the bits of the byte it takes (0xFF: all of them).
    virtual std::vector<std::pair<quint32, quint8>> DecodedAddresses(quint8 space) const = 0;

protected:
    ~TBoardDecoding() = default;
};

// Told what the core's own pins do (the logic analyser's recording); costs a null test when none.
class TCorePinWatch {
public:
    // A port latch or the level the board holds on a port's pins may have changed.
    virtual void CorePinsChanged() = 0;
    // A byte finished its transmit frame on the serial port (TI has just been raised).
    virtual void SerialFrameSent(uint8_t byte) = 0;
    // A frame reached the core's serial receiver.
    virtual void SerialFrameReceived(uint8_t byte, bool ninth) {
        (void)byte;
        (void)ninth;
    }

protected:
    ~TCorePinWatch() = default;
};

class TFirmwareBridge : public MessageTarget, public mcs51::Hooks {
public:
    static constexpr quint8 KindData = 2;        // byte access in the data space
    static constexpr quint8 KindXdata = 1;       // external data space
    static constexpr quint8 StrobeRdIdle = 0x80; // bit 7 set: RD inactive
    static constexpr quint8 StrobeWrIdle = 0x40; // bit 6 set: WR inactive

    explicit TFirmwareBridge(mcs51::Core& core);

    // The board form's own handling of host messages (not owned); nullptr: no board. When it also
    // tells what the board decodes, accesses nothing answers stay in the core.
    void SetBoard(MessageTarget* board);
    MessageTarget* Board() const { return m_board; }

    // Forgets what the board was told, then tells it the four latches again (after a reset or
    // when the board starts).
    void SyncPorts();

    // Messages from the board (forwarded by the board form).
    qintptr HandleMessage(quint32 msg, quint32 wParam, qintptr lParam) override;
    // The answer to 2037: 0 accepts the address, non-zero refuses it.
    static int PortAddressRefused(qint64 address);

    // Core hooks.
    void PortWritten(int port, uint8_t latch) override;
    int ExternalRead(uint16_t address) override;
    void ExternalWrite(uint16_t address, uint8_t value) override;
    void SerialTransmitted(uint8_t byte) override;
    void SerialReceived(uint8_t byte, bool ninth) override {
        if (PinWatch) PinWatch->SerialFrameReceived(byte, ninth);
    }

    // Everything the core transmitted since the last ClearTransmitted (the oldest part is dropped
    // beyond a megabyte).
    const std::string& Transmitted() const { return m_transmitted; }
    void ClearTransmitted() { m_transmitted.clear(); }
    // Called for every transmitted byte (the serial terminal).
    std::function<void(uint8_t)> OnTransmit;

    // Not owned; nullptr: nobody watches.
    TCorePinWatch* PinWatch = nullptr;

    // Host accesses sent so far (for the benchmark and the tests).
    quint64 AccessCount() const { return m_accesses; }

    // Pin levels the board changed again before the core ran once are kept in order, so a short
    // pulse (a click whose press and release arrive together) still reaches the core: the runner
    // hands it one of them per step. True when one was applied.
    bool ApplyPending();
    bool HasPending() const { return !m_pending.empty(); }
    void ClearPending() { m_pending.clear(); }

private:
    qintptr Access(quint8 kind, quint32 address, quint8 data);
    // True when some component may answer this external address (asks the board again after a
    // change of it).
    bool XdataDecoded(uint16_t address) {
        if (!m_decoding) return true;
        if (m_decoding->DecodingGeneration() != m_decodedGeneration) TakeDecoding();
        return m_xdataDecoded[address] != 0;
    }
    void TakeDecoding();
    uint8_t IntendedPins(int port) const;
    void ChangePins(int port, uint8_t levels);
    void PinLevel(quint32 wParam);
    void PortByte(quint32 wParam);

    mcs51::Core& m_core;
    MessageTarget* m_board = nullptr;
    const TBoardDecoding* m_decoding = nullptr; // m_board's, if it tells
    quint64 m_decodedGeneration = 0;
    std::vector<uint8_t> m_xdataDecoded;    // per external address: non-zero when decoded
    std::array<uint8_t, 4> m_portDecoded{}; // per port: the bits some component takes
    // Per port: the board heard every latch change in the bits it decodes since what it decodes
    // last changed, so a change in other bits needs no access.
    std::array<bool, 4> m_portCurrent{};
    std::array<int, 4> m_sent{-1, -1, -1, -1}; // latch the board last heard, per port
    int m_collectPort = -1;                    // port whose access is being handled
    uint8_t m_collected = 0xFF;                // its pin levels as the board reports them meanwhile
    std::deque<std::pair<int, uint8_t>> m_pending; // (port, levels), oldest first
    std::array<uint64_t, 4> m_changedAt{~0ull, ~0ull, ~0ull,
                                        ~0ull}; // core cycles at the last change
    std::string m_transmitted;
    quint64 m_accesses = 0;
};
