#pragma once

// An MCS-51 (8051/8052) core: plain C++, no Qt. It knows nothing of boards; a caller couples it to
// the outside world through the pin levels it sets and the hooks below.

#include <array>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

namespace mcs51 {

// Special function register addresses (direct addresses 0x80..0xFF).
namespace sfr {
constexpr uint8_t P0 = 0x80, SP = 0x81, DPL = 0x82, DPH = 0x83, PCON = 0x87;
constexpr uint8_t TCON = 0x88, TMOD = 0x89, TL0 = 0x8A, TL1 = 0x8B, TH0 = 0x8C, TH1 = 0x8D;
constexpr uint8_t P1 = 0x90, SCON = 0x98, SBUF = 0x99, P2 = 0xA0, IE = 0xA8, P3 = 0xB0;
constexpr uint8_t IP = 0xB8, T2CON = 0xC8, RCAP2L = 0xCA, RCAP2H = 0xCB, TL2 = 0xCC, TH2 = 0xCD;
constexpr uint8_t PSW = 0xD0, ACC = 0xE0, B = 0xF0;
} // namespace sfr

// The 8052 adds 128 bytes of indirectly addressed RAM and Timer 2.
enum class Variant { I8051, I8052 };

enum class RunState {
    Running,
    Idle,      // PCON.IDL: the clock runs for timers, serial port and interrupts, not for the CPU
    PowerDown, // PCON.PD: everything stops until Reset
    Undefined, // the undefined opcode 0xA5 was fetched; the core stays at its address until Reset
};

// What the core tells its surroundings, and the external data bus. The default answers mean "no
// device": a core without hooks runs on its own memories. A hook may call SetExternalPins and
// SerialReceive (the core sees the change from the next machine cycle on); it must not Reset,
// Step or Run the core.
class Hooks {
public:
    virtual ~Hooks() = default;
    // An instruction wrote the latch of port 0..3 (also when the value did not change).
    virtual void PortWritten(int port, uint8_t latch) {
        (void)port;
        (void)latch;
    }
    // MOVX read: a byte 0..255 from a device at this address, or -1 to read external RAM.
    virtual int ExternalRead(uint16_t address) {
        (void)address;
        return -1;
    }
    // MOVX write: the byte is also stored in external RAM, so a later read without a device there
    // returns it.
    virtual void ExternalWrite(uint16_t address, uint8_t value) {
        (void)address;
        (void)value;
    }
    // A byte finished its transmit frame on the serial port (TI has just been raised).
    virtual void SerialTransmitted(uint8_t byte) { (void)byte; }
    // A frame finished arriving at the serial receiver (whether or not SM2 lets RI rise); `ninth`
    // is its ninth bit in modes 2 and 3.
    virtual void SerialReceived(uint8_t byte, bool ninth) {
        (void)byte;
        (void)ninth;
    }
};

class Core {
public:
    static constexpr int CodeSize = 0x10000;
    static constexpr int XramSize = 0x10000;

    explicit Core(Variant variant = Variant::I8051);

    void SetHooks(Hooks* hooks) { m_hooks = hooks; }

    // Power-on reset: SFRs to their reset values, PC 0, ports 0xFF, run state Running, counters 0.
    // Memories (code, internal RAM, external RAM) and external pin levels are kept.
    void Reset();

    // Executes one instruction (an interrupt taken first counts its hardware call: 2 cycles, then
    // the first instruction of the handler is not yet executed). Returns the machine cycles it
    // took: 1, 2 or 4; 1 in idle mode (one machine cycle passes); 0 when stopped (power-down,
    // undefined).
    int Step();
    // Runs for at least `cycles` machine cycles or until the core stops or reaches a breakpoint
    // (the instruction at a breakpoint is not executed, except when the run starts there). Returns
    // the machine cycles that passed.
    uint64_t Run(uint64_t cycles);
    // Ends Run() and Step() at the next instruction boundary; a hook asks for it while an
    // instruction runs (a trigger on the level it wrote). Until ClearStopRequest the core runs no
    // further. Costs the instruction loop nothing: it is checked where events are.
    void RequestStop() {
        m_stopRequested = true;
        m_nextEvent = 0;
    }
    bool StopRequested() const { return m_stopRequested; }
    void ClearStopRequest() { m_stopRequested = false; }

    RunState State() const { return m_state; }
    // Empty while running; e.g. "undefined instruction at 0x1234", "power-down", "idle".
    std::string StateText() const;
    // Address of the undefined instruction when State() is Undefined.
    uint16_t StopAddress() const { return m_stopAddress; }

    uint64_t Cycles() const { return m_cycles; }
    uint64_t Instructions() const { return m_instructions; }

    // Registers.
    uint16_t PC() const { return m_pc; }
    void SetPC(uint16_t pc) { m_pc = pc; }
    uint8_t A() const { return m_sfr[sfr::ACC - 0x80]; }
    uint8_t B() const { return m_sfr[sfr::B - 0x80]; }
    uint8_t SP() const { return m_sfr[sfr::SP - 0x80]; }
    uint16_t DPTR() const { return uint16_t(m_sfr[sfr::DPH - 0x80] << 8 | m_sfr[sfr::DPL - 0x80]); }
    uint8_t PSW() const; // with the parity bit of A
    // R0..R7 of the bank PSW selects.
    uint8_t R(int n) const;
    void SetR(int n, uint8_t value);

    // Memories. Code and external RAM are 64 KB; internal RAM is 256 bytes (on the 8051 the upper
    // 128 bytes exist in the array but no instruction reaches them: indirect access reads 0xFF
    // there and writes nothing).
    uint8_t* Code() { return m_code.data(); }
    const uint8_t* Code() const { return m_code.data(); }
    uint8_t* Iram() { return m_iram.data(); }
    const uint8_t* Iram() const { return m_iram.data(); }
    uint8_t* Xram() { return m_xram.data(); }
    const uint8_t* Xram() const { return m_xram.data(); }

    // SFR access for panels and tests, without hooks and without timing effects. Sfr() returns
    // the stored register (port latches, the receive buffer for SBUF, PSW with parity; 0x00 for an
    // address no register occupies, as instructions read it: writes there are ignored); SetSfr()
    // stores it (SBUF sets the receive buffer, P is kept computed from A).
    uint8_t Sfr(uint8_t address) const;
    void SetSfr(uint8_t address, uint8_t value);
    // The byte an instruction reading this direct address would get (ports read the pins).
    uint8_t ReadDirect(uint8_t address) const;
    // The transmit buffer (last byte written to SBUF).
    uint8_t SbufTransmit() const { return m_sbufTx; }

    // Ports. The pin level an instruction reads is latch AND external level; the external level is
    // what the caller drives (0xFF: nothing pulls the pins low). Edges on P3 pins feed INT0/INT1
    // and the timer count inputs T0/T1 (and T2/T2EX on P1 on the 8052).
    uint8_t PortLatch(int port) const;
    uint8_t PortPins(int port) const;
    uint8_t ExternalPins(int port) const { return m_extPins[size_t(port & 3)]; }
    void SetExternalPins(int port, uint8_t levels);

    // Serial receive: bytes queue up and arrive one frame time apart while the receiver is enabled
    // (SCON.REN); a byte waits while RI is still set, so none is lost. In modes 2 and 3 the ninth
    // bit goes to RB8, and with SCON.SM2 set a frame whose ninth bit is 0 is dropped without RI;
    // in mode 1 RB8 gets the stop bit, which is always 1.
    void SerialReceive(uint8_t byte, bool ninthBit = true);
    size_t SerialReceivePending() const { return m_rxQueue.size(); }

    // Machine cycles of the hardware call that enters an interrupt handler: 2 on the part. The
    // s51 simulator charges 1; the differential test sets 1 to compare timers cycle for cycle.
    void SetInterruptCallCycles(int cycles) { m_callCycles = uint8_t(cycles < 0 ? 0 : cycles); }
    // The part polls a flag in the machine cycle after the one that raised it, and calls only when
    // that polling cycle is the last of an instruction: a flag raised in an instruction's last
    // cycle, or written by the instruction, lets one more instruction run first. The s51
    // simulator takes the request at the first instruction boundary at or after the flag; the
    // differential test sets this to compare interrupt timing cycle for cycle.
    void SetImmediatePolling(bool on) { m_immediatePolling = on; }

    // Breakpoints stop Run() before the instruction at the address.
    void SetBreakpoint(uint16_t address, bool on);
    void ClearBreakpoints();
    bool HasBreakpoint(uint16_t address) const;

private:
    Variant m_variant;
    Hooks* m_hooks = nullptr;
    RunState m_state = RunState::Running;
    uint16_t m_pc = 0;
    uint16_t m_stopAddress = 0;
    uint64_t m_cycles = 0;
    uint64_t m_instructions = 0;

    std::array<uint8_t, CodeSize> m_code{};
    std::array<uint8_t, 256> m_iram{};
    std::array<uint8_t, 128> m_sfr{};
    std::array<uint8_t, XramSize> m_xram{};
    std::array<uint8_t, 4> m_extPins{0xFF, 0xFF, 0xFF, 0xFF};
    uint8_t m_sbufTx = 0;
    std::deque<uint16_t> m_rxQueue;      // bit 8: the ninth bit
    std::vector<uint64_t> m_breakpoints; // bit set over the code space, empty when none

    // Peripherals and interrupts. Timer registers are brought up to date lazily (on access and at
    // the next scheduled event), so the instruction loop only compares the cycle count with
    // m_nextEvent.
    enum Action { Execute, Vectored, IdleWait, Stopped };
    template <bool Single, bool Breaks> uint64_t execute(uint64_t budget);
    uint8_t readSfrSlow(uint8_t address, bool latch);
    void writeSfrSlow(uint8_t address, uint8_t value);
    Action events();
    void syncPeripherals(uint64_t now);
    void scheduleNext();
    void pinsChanged(uint64_t sampleAt);
    // After a latch write or a level from outside: samples the port's pins when that matters.
    void portPinsChanged(int port);
    void samplePins();
    void advancePeripherals(uint64_t now);
    void levelInterrupts();
    void startTransmit();
    void serialAdvance(uint64_t cycles, uint64_t t1Overflows, uint64_t t2Overflows,
                       uint64_t txDoneAt, uint64_t rxDoneAt);
    uint64_t serialCycles(uint64_t units, bool timer2) const;
    void receiveDone();
    unsigned requests() const;
    void stampRaised(unsigned before, uint64_t seenFrom);
    bool implemented(uint8_t address) const;
    int externalRead(uint16_t address);
    void externalWrite(uint16_t address, uint8_t value);

    uint64_t m_nextEvent = 0; // cycle count at which events() must run (0: at once)
    uint64_t m_timerSync = 0; // cycle count the timer registers are valid for
    int m_iramLimit = 128;    // indirect addresses at or above it do not exist
    uint8_t m_callCycles = 2;
    uint8_t m_inService = 0;  // bit 0: a low-priority handler runs, bit 1: a high-priority one
    bool m_blockOnce = false; // RETI or a write to IE/IP: one more instruction before an interrupt
    bool m_immediatePolling = false;
    uint8_t m_softRaised = 0; // sources whose flag the instruction just executed raised
    // The first instruction boundary whose polling sees each source's request: one cycle after
    // the cycle it rose at.
    std::array<uint64_t, 6> m_seenFrom{};
    uint64_t m_pinSampleAt = 0; // when a pin change is sampled (m_pinsPending)
    bool m_pinsPending = false;
    uint8_t m_pinP1 = 0xFF; // pin levels the peripherals last saw (edges, GATE)
    uint8_t m_pinP3 = 0xFF;
    uint8_t m_sbufRx = 0;
    uint16_t m_rxByte = 0;   // with the ninth bit
    uint64_t m_txRemain = 0; // units of the baud source left in the transmit frame (0: idle)
    uint64_t m_rxRemain = 0; // same for the frame being received
    // RequestStop: events() ends every run until the request is cleared.
    bool m_stopRequested = false;
};

// Intel HEX and raw binary images.
struct LoadResult {
    bool ok = false;
    std::string error; // e.g. "line 12: checksum mismatch"
    int bytes = 0;     // bytes stored
    uint16_t lowest = 0, highest = 0;
};
// Parses the whole text first; on any error the code memory is left as it was. Lines end with
// CR LF, LF or CR; blank lines and blanks around records are skipped; a text without a record is
// "the file is empty".
LoadResult LoadIntelHex(Core& core, std::string_view text);
// Stores the image at address 0; fails (storing nothing) when it is empty or larger than 64 KB.
LoadResult LoadBinary(Core& core, const std::vector<uint8_t>& image);
// Whether file bytes are read as Intel HEX: they are text, i.e. every byte is printable ASCII or
// a blank (space, TAB, CR, LF, VT, FF), after an optional UTF-8 byte-order mark and before
// optional trailing Ctrl-Z marks, and at least one byte remains. Every Intel HEX file is such
// text; a code image is not, as 8051 code is full of bytes below 0x20 and above 0x7E (LJMP 0x02,
// SJMP 0x80, the 0x00/0xFF fill). A damaged HEX file thus still reads as HEX and its error names
// the line, instead of its text being run as code.
bool IsIntelHexText(std::string_view bytes);
// Chooses by content (IsIntelHexText), whatever the file's name: Intel HEX or a binary image.
LoadResult LoadImage(Core& core, const std::vector<uint8_t>& fileBytes);

struct Disassembly {
    std::string text; // e.g. "MOV A,#0x12", "SJMP 0x0042", "DB 0xA5"
    int length = 1;   // 1..3 bytes
};
// Disassembles the instruction at pc (code is 64 KB; addresses wrap at 0xFFFF).
Disassembly Disassemble(const uint8_t* code, uint16_t pc);

} // namespace mcs51
