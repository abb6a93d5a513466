#include "host/mcs51.h"

#include <algorithm>
#include <cstdio>
#include <limits>

// The instruction loop. Speed comes from three choices: one switch over the opcode with the program
// counter and the cycle count in locals (byte stores into the memories cannot alias them), flags
// updated in place in PSW with the parity bit computed only when PSW is read, and all peripheral
// work moved out of the loop: the loop compares the cycle count with the next scheduled event and
// nothing else. SFR accesses other than ACC, B, PSW, SP and DPTR go through out-of-line functions
// that first bring the timers up to date.

namespace mcs51 {

namespace {

// Machine cycles per opcode (0xA5 is undefined and never executes).
constexpr uint8_t kCycles[256] = {
    // 0 1 2 3 4 5 6 7 8 9 A B C D E F
    1, 2, 2, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, // 0x00
    2, 2, 2, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, // 0x10
    2, 2, 2, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, // 0x20
    2, 2, 2, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, // 0x30
    2, 2, 1, 2, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, // 0x40
    2, 2, 1, 2, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, // 0x50
    2, 2, 1, 2, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, // 0x60
    2, 2, 2, 2, 1, 2, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, // 0x70
    2, 2, 2, 2, 4, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, // 0x80
    2, 2, 2, 2, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, // 0x90
    2, 2, 1, 2, 4, 0, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, // 0xA0
    2, 2, 1, 1, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, // 0xB0
    2, 2, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, // 0xC0
    2, 2, 1, 1, 1, 2, 1, 1, 2, 2, 2, 2, 2, 2, 2, 2, // 0xD0
    2, 2, 2, 2, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, // 0xE0
    2, 2, 2, 2, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, // 0xF0
};

constexpr uint8_t CY = 0x80, AC = 0x40, OV = 0x04;

// The operand helpers of the instruction loop must fold into it: a helper left out of line takes
// the address of the loop's program counter and cycle count and pins them to memory.
#define INLINE __attribute__((always_inline))

inline int parity(uint8_t v) {
    return __builtin_parity(v);
}

} // namespace

Core::Core(Variant variant) : m_variant(variant) {
    m_iramLimit = variant == Variant::I8052 ? 256 : 128;
    Reset();
}

void Core::Reset() {
    m_stopRequested = false;
    m_sfr.fill(0);
    m_sfr[sfr::SP - 0x80] = 0x07;
    for (int p = 0; p < 4; ++p)
        m_sfr[0x80 + p * 0x10 - 0x80] = 0xFF;
    m_pc = 0;
    m_state = RunState::Running;
    m_stopAddress = 0;
    m_cycles = 0;
    m_instructions = 0;
    m_timerSync = 0;
    m_nextEvent = 0;
    m_inService = 0;
    m_blockOnce = false;
    m_softRaised = 0;
    m_seenFrom.fill(0);
    m_sbufTx = 0;
    m_sbufRx = 0;
    m_txRemain = 0;
    m_rxRemain = 0;
    m_rxQueue.clear();
    m_pinsPending = false;
    m_pinP1 = m_extPins[1];
    m_pinP3 = m_extPins[3];
    levelInterrupts();
}

uint8_t Core::PSW() const {
    return uint8_t((m_sfr[sfr::PSW - 0x80] & 0xFE) | parity(m_sfr[sfr::ACC - 0x80]));
}

uint8_t Core::R(int n) const {
    return m_iram[size_t((m_sfr[sfr::PSW - 0x80] & 0x18) | (n & 7))];
}

void Core::SetR(int n, uint8_t value) {
    m_iram[size_t((m_sfr[sfr::PSW - 0x80] & 0x18) | (n & 7))] = value;
}

uint8_t Core::PortLatch(int port) const {
    return m_sfr[size_t((port & 3) * 0x10)];
}

uint8_t Core::PortPins(int port) const {
    return PortLatch(port) & m_extPins[size_t(port & 3)];
}

void Core::SetExternalPins(int port, uint8_t levels) {
    port &= 3;
    if (m_extPins[size_t(port)] == levels) return;
    m_extPins[size_t(port)] = levels;
    portPinsChanged(port);
}

uint8_t Core::Sfr(uint8_t address) const {
    if (address < 0x80 || !implemented(address)) return 0x00;
    if (address == sfr::PSW) return PSW();
    if (address == sfr::SBUF) return m_sbufRx;
    return m_sfr[address - 0x80u];
}

void Core::SetSfr(uint8_t address, uint8_t value) {
    if (address < 0x80 || !implemented(address)) return;
    if (address == sfr::SBUF) {
        m_sbufRx = value;
        return;
    }
    syncPeripherals(m_cycles);
    const unsigned before = requests();
    m_sfr[address - 0x80u] = value;
    if (address == sfr::P1 || address == sfr::P3) pinsChanged(m_cycles);
    levelInterrupts();
    // Set between instructions: pending at the next boundary already.
    stampRaised(before, 0);
    m_nextEvent = 0;
}

uint8_t Core::ReadDirect(uint8_t address) const {
    if (address < 0x80) return m_iram[address];
    if ((address & 0x0F) == 0 && address <= sfr::P3) return PortPins((address >> 4) & 3);
    return Sfr(address);
}

void Core::SerialReceive(uint8_t byte, bool ninthBit) {
    m_rxQueue.push_back(uint16_t(byte | (ninthBit ? 0x100 : 0)));
    m_nextEvent = 0;
}

void Core::SetBreakpoint(uint16_t address, bool on) {
    if (m_breakpoints.empty()) {
        if (!on) return;
        m_breakpoints.assign(CodeSize / 64, 0);
    }
    uint64_t bit = uint64_t(1) << (address & 63);
    if (on)
        m_breakpoints[address >> 6] |= bit;
    else
        m_breakpoints[address >> 6] &= ~bit;
}

void Core::ClearBreakpoints() {
    m_breakpoints.clear();
}

bool Core::HasBreakpoint(uint16_t address) const {
    return !m_breakpoints.empty() && (m_breakpoints[address >> 6] >> (address & 63)) & 1;
}

std::string Core::StateText() const {
    switch (m_state) {
    case RunState::Running:
        return {};
    case RunState::Idle:
        return "idle";
    case RunState::PowerDown:
        return "power-down";
    case RunState::Undefined: {
        char text[48];
        std::snprintf(text, sizeof text, "undefined instruction at 0x%04X", m_stopAddress);
        return text;
    }
    }
    return {};
}

int Core::Step() {
    return int(execute<true, false>(1));
}

uint64_t Core::Run(uint64_t cycles) {
    if (cycles == 0) return 0;
    bool breaks = std::any_of(m_breakpoints.begin(), m_breakpoints.end(),
                              [](uint64_t word) { return word != 0; });
    return breaks ? execute<false, true>(cycles) : execute<false, false>(cycles);
}

int Core::externalRead(uint16_t address) {
    if (m_hooks) {
        int v = m_hooks->ExternalRead(address);
        if (v >= 0) return v & 0xFF;
    }
    return m_xram[address];
}

void Core::externalWrite(uint16_t address, uint8_t value) {
    m_xram[address] = value;
    if (m_hooks) m_hooks->ExternalWrite(address, value);
}

template <bool Single, bool Breaks> uint64_t Core::execute(uint64_t budget) {
    uint64_t cyc = m_cycles;
    const uint64_t start = cyc;
    const uint64_t end = budget > std::numeric_limits<uint64_t>::max() - cyc
                             ? std::numeric_limits<uint64_t>::max()
                             : cyc + budget;
    uint16_t pc = m_pc;
    uint64_t count = 0;
    bool first = true;
    uint8_t* const ir = m_iram.data();
    uint8_t* const sf = m_sfr.data() - 0x80; // indexed by SFR address
    const uint8_t* const code = m_code.data();

    // Operand access. Direct addresses below 0x80 are internal RAM; the common SFRs are plain
    // bytes; the rest goes through readSfrSlow/writeSfrSlow with the cycle count stored first.
    // An instruction reaches SFRs and the external bus after its first machine cycle: a timer has
    // counted that cycle when the instruction reads it, and a write (TRx, TMOD, THx...) takes
    // effect from the second cycle on. JB, JNB, CJNE A,direct and DJNZ direct fetch their branch
    // offset first and reach the operand after their second cycle.
    auto psw = [&]() INLINE -> uint8_t& { return sf[sfr::PSW]; };
    auto acc = [&]() INLINE -> uint8_t& { return sf[sfr::ACC]; };
    auto reg = [&](unsigned n) INLINE -> uint8_t& { return ir[(sf[sfr::PSW] & 0x18) | n]; };
    auto rd = [&](uint8_t a, bool latch, int at = 1) INLINE -> uint8_t {
        if (a < 0x80) return ir[a];
        switch (a) {
        case sfr::ACC:
        case sfr::B:
        case sfr::SP:
        case sfr::DPL:
        case sfr::DPH:
            return sf[a];
        case sfr::PSW:
            return uint8_t((sf[sfr::PSW] & 0xFE) | parity(sf[sfr::ACC]));
        default:
            m_cycles = cyc + at;
            return readSfrSlow(a, latch);
        }
    };
    auto wr = [&](uint8_t a, uint8_t v, int at = 1) INLINE {
        if (a < 0x80) {
            ir[a] = v;
            return;
        }
        switch (a) {
        case sfr::ACC:
        case sfr::B:
        case sfr::SP:
        case sfr::DPL:
        case sfr::DPH:
        case sfr::PSW:
            sf[a] = v;
            return;
        default:
            m_cycles = cyc + at;
            m_pc = pc;
            writeSfrSlow(a, v);
        }
    };
    auto rdInd = [&](uint8_t a) INLINE -> uint8_t { return a < m_iramLimit ? ir[a] : 0xFF; };
    auto wrInd = [&](uint8_t a, uint8_t v) INLINE {
        if (a < m_iramLimit) ir[a] = v;
    };
    auto rdBit = [&](uint8_t b, bool latch, int at = 1) INLINE -> int {
        if (b < 0x80) return (ir[0x20 + (b >> 3)] >> (b & 7)) & 1;
        return (rd(b & 0xF8, latch, at) >> (b & 7)) & 1;
    };
    auto wrBit = [&](uint8_t b, int v) INLINE {
        uint8_t mask = uint8_t(1 << (b & 7));
        if (b < 0x80) {
            uint8_t& byte = ir[0x20 + (b >> 3)];
            byte = v ? byte | mask : byte & ~mask;
            return;
        }
        uint8_t a = b & 0xF8;
        uint8_t byte = rd(a, true);
        wr(a, v ? byte | mask : byte & ~mask);
    };
    auto push = [&](uint8_t v) INLINE {
        uint8_t sp = ++sf[sfr::SP];
        wrInd(sp, v);
    };
    auto pop = [&]() INLINE -> uint8_t {
        uint8_t sp = sf[sfr::SP]--;
        return rdInd(sp);
    };
    auto setCy = [&](int c) INLINE { psw() = uint8_t((psw() & ~CY) | (c ? CY : 0)); };
    auto add = [&](uint8_t v, int c) INLINE {
        uint8_t a = acc();
        unsigned r = unsigned(a) + v + c;
        uint8_t f = psw() & ~(CY | AC | OV);
        if (r > 0xFF) f |= CY;
        if ((a & 0x0F) + (v & 0x0F) + c > 0x0F) f |= AC;
        if (~(a ^ v) & (a ^ r) & 0x80) f |= OV;
        psw() = f;
        acc() = uint8_t(r);
    };
    auto subb = [&](uint8_t v) INLINE {
        uint8_t a = acc();
        int c = psw() >> 7;
        int r = int(a) - v - c;
        uint8_t f = psw() & ~(CY | AC | OV);
        if (r < 0) f |= CY;
        if (int(a & 0x0F) - int(v & 0x0F) - c < 0) f |= AC;
        if ((a ^ v) & (a ^ r) & 0x80) f |= OV;
        psw() = f;
        acc() = uint8_t(r);
    };
    auto rel = [&](uint8_t offset) INLINE { pc = uint16_t(pc + int8_t(offset)); };
    auto imm16 = [&]() INLINE {
        return uint16_t(code[uint16_t(pc + 1)] << 8 | code[uint16_t(pc + 2)]);
    };

    while (cyc < end) {
        if (cyc >= m_nextEvent) {
            m_cycles = cyc;
            m_pc = pc;
            Action action = events();
            if (action != Execute) {
                if (action == Stopped) break;
                if (action == IdleWait) {
                    uint64_t to = std::min(end, m_nextEvent);
                    if (Single || to <= cyc) to = cyc + 1;
                    cyc = to;
                    m_nextEvent = 0;
                } else {
                    cyc = m_cycles;
                    pc = m_pc;
                    first = false;
                }
                if constexpr (Single) break;
                continue;
            }
        }
        if constexpr (Breaks) {
            if (!first && (m_breakpoints[pc >> 6] >> (pc & 63)) & 1) break;
            first = false;
        }

        const uint8_t op = code[pc];
        const uint8_t b1 = code[uint16_t(pc + 1)];
        const uint8_t b2 = code[uint16_t(pc + 2)];
        switch (op) {
        case 0x00: // NOP
            pc += 1;
            break;
        case 0x01:
        case 0x21:
        case 0x41:
        case 0x61:
        case 0x81:
        case 0xA1:
        case 0xC1:
        case 0xE1: // AJMP
            pc = uint16_t(((pc + 2) & 0xF800) | (op >> 5) << 8 | b1);
            break;
        case 0x11:
        case 0x31:
        case 0x51:
        case 0x71:
        case 0x91:
        case 0xB1:
        case 0xD1:
        case 0xF1: { // ACALL
            uint16_t next = uint16_t(pc + 2);
            push(uint8_t(next));
            push(uint8_t(next >> 8));
            pc = uint16_t((next & 0xF800) | (op >> 5) << 8 | b1);
            break;
        }
        case 0x02: // LJMP
            pc = imm16();
            break;
        case 0x12: { // LCALL
            uint16_t next = uint16_t(pc + 3);
            push(uint8_t(next));
            push(uint8_t(next >> 8));
            pc = imm16();
            break;
        }
        case 0x22:   // RET
        case 0x32: { // RETI
            uint8_t hi = pop();
            uint8_t lo = pop();
            pc = uint16_t(hi << 8 | lo);
            if (op == 0x32) {
                m_inService &= (m_inService & 2) ? 1 : 0;
                m_blockOnce = true;
                m_nextEvent = 0;
            }
            break;
        }
        case 0x03: // RR A
            acc() = uint8_t(acc() >> 1 | acc() << 7);
            pc += 1;
            break;
        case 0x13: { // RRC A
            uint8_t a = acc();
            acc() = uint8_t(a >> 1 | (psw() & CY));
            setCy(a & 1);
            pc += 1;
            break;
        }
        case 0x23: // RL A
            acc() = uint8_t(acc() << 1 | acc() >> 7);
            pc += 1;
            break;
        case 0x33: { // RLC A
            uint8_t a = acc();
            acc() = uint8_t(a << 1 | psw() >> 7);
            setCy(a >> 7);
            pc += 1;
            break;
        }
        case 0x04: // INC A
            ++acc();
            pc += 1;
            break;
        case 0x05: // INC direct
            wr(b1, uint8_t(rd(b1, true) + 1));
            pc += 2;
            break;
        case 0x06:
        case 0x07: { // INC @Ri
            uint8_t a = reg(op & 1);
            wrInd(a, uint8_t(rdInd(a) + 1));
            pc += 1;
            break;
        }
        case 0x08:
        case 0x09:
        case 0x0A:
        case 0x0B:
        case 0x0C:
        case 0x0D:
        case 0x0E:
        case 0x0F: // INC Rn
            ++reg(op & 7);
            pc += 1;
            break;
        case 0x14: // DEC A
            --acc();
            pc += 1;
            break;
        case 0x15: // DEC direct
            wr(b1, uint8_t(rd(b1, true) - 1));
            pc += 2;
            break;
        case 0x16:
        case 0x17: { // DEC @Ri
            uint8_t a = reg(op & 1);
            wrInd(a, uint8_t(rdInd(a) - 1));
            pc += 1;
            break;
        }
        case 0x18:
        case 0x19:
        case 0x1A:
        case 0x1B:
        case 0x1C:
        case 0x1D:
        case 0x1E:
        case 0x1F: // DEC Rn
            --reg(op & 7);
            pc += 1;
            break;
        case 0x10: // JBC bit,rel
            pc += 3;
            if (rdBit(b1, true)) {
                wrBit(b1, 0);
                rel(b2);
            }
            break;
        case 0x20: // JB bit,rel
            pc += 3;
            if (rdBit(b1, false, 2)) rel(b2);
            break;
        case 0x30: // JNB bit,rel
            pc += 3;
            if (!rdBit(b1, false, 2)) rel(b2);
            break;
        case 0x40: // JC
            pc += 2;
            if (psw() & CY) rel(b1);
            break;
        case 0x50: // JNC
            pc += 2;
            if (!(psw() & CY)) rel(b1);
            break;
        case 0x60: // JZ
            pc += 2;
            if (acc() == 0) rel(b1);
            break;
        case 0x70: // JNZ
            pc += 2;
            if (acc() != 0) rel(b1);
            break;
        case 0x80: // SJMP
            pc += 2;
            rel(b1);
            break;
        case 0x73: // JMP @A+DPTR
            pc = uint16_t((sf[sfr::DPH] << 8 | sf[sfr::DPL]) + acc());
            break;

        case 0x24: // ADD A,#imm
            add(b1, 0);
            pc += 2;
            break;
        case 0x25:
            add(rd(b1, false), 0);
            pc += 2;
            break;
        case 0x26:
        case 0x27:
            add(rdInd(reg(op & 1)), 0);
            pc += 1;
            break;
        case 0x28:
        case 0x29:
        case 0x2A:
        case 0x2B:
        case 0x2C:
        case 0x2D:
        case 0x2E:
        case 0x2F:
            add(reg(op & 7), 0);
            pc += 1;
            break;
        case 0x34: // ADDC
            add(b1, psw() >> 7);
            pc += 2;
            break;
        case 0x35:
            add(rd(b1, false), psw() >> 7);
            pc += 2;
            break;
        case 0x36:
        case 0x37:
            add(rdInd(reg(op & 1)), psw() >> 7);
            pc += 1;
            break;
        case 0x38:
        case 0x39:
        case 0x3A:
        case 0x3B:
        case 0x3C:
        case 0x3D:
        case 0x3E:
        case 0x3F:
            add(reg(op & 7), psw() >> 7);
            pc += 1;
            break;
        case 0x94: // SUBB
            subb(b1);
            pc += 2;
            break;
        case 0x95:
            subb(rd(b1, false));
            pc += 2;
            break;
        case 0x96:
        case 0x97:
            subb(rdInd(reg(op & 1)));
            pc += 1;
            break;
        case 0x98:
        case 0x99:
        case 0x9A:
        case 0x9B:
        case 0x9C:
        case 0x9D:
        case 0x9E:
        case 0x9F:
            subb(reg(op & 7));
            pc += 1;
            break;

#define LOGIC(base, OPER)                                                                          \
    case base + 0x2: /* direct,A */                                                                \
        wr(b1, uint8_t(rd(b1, true) OPER acc()));                                                  \
        pc += 2;                                                                                   \
        break;                                                                                     \
    case base + 0x3: /* direct,#imm */                                                             \
        wr(b1, uint8_t(rd(b1, true) OPER b2));                                                     \
        pc += 3;                                                                                   \
        break;                                                                                     \
    case base + 0x4: /* A,#imm */                                                                  \
        acc() = uint8_t(acc() OPER b1);                                                            \
        pc += 2;                                                                                   \
        break;                                                                                     \
    case base + 0x5: /* A,direct */                                                                \
        acc() = uint8_t(acc() OPER rd(b1, false));                                                 \
        pc += 2;                                                                                   \
        break;                                                                                     \
    case base + 0x6:                                                                               \
    case base + 0x7: /* A,@Ri */                                                                   \
        acc() = uint8_t(acc() OPER rdInd(reg(op & 1)));                                            \
        pc += 1;                                                                                   \
        break;                                                                                     \
    case base + 0x8:                                                                               \
    case base + 0x9:                                                                               \
    case base + 0xA:                                                                               \
    case base + 0xB:                                                                               \
    case base + 0xC:                                                                               \
    case base + 0xD:                                                                               \
    case base + 0xE:                                                                               \
    case base + 0xF: /* A,Rn */                                                                    \
        acc() = uint8_t(acc() OPER reg(op & 7));                                                   \
        pc += 1;                                                                                   \
        break;
            LOGIC(0x40, |)
            LOGIC(0x50, &)
            LOGIC(0x60, ^)
#undef LOGIC

        case 0x72: // ORL C,bit
            if (rdBit(b1, false)) psw() |= CY;
            pc += 2;
            break;
        case 0xA0: // ORL C,/bit
            if (!rdBit(b1, false)) psw() |= CY;
            pc += 2;
            break;
        case 0x82: // ANL C,bit
            if (!rdBit(b1, false)) psw() &= ~CY;
            pc += 2;
            break;
        case 0xB0: // ANL C,/bit
            if (rdBit(b1, false)) psw() &= ~CY;
            pc += 2;
            break;
        case 0xA2: // MOV C,bit
            setCy(rdBit(b1, false));
            pc += 2;
            break;
        case 0x92: // MOV bit,C
            wrBit(b1, psw() >> 7);
            pc += 2;
            break;
        case 0xB2: // CPL bit
            wrBit(b1, !rdBit(b1, true));
            pc += 2;
            break;
        case 0xB3: // CPL C
            psw() ^= CY;
            pc += 1;
            break;
        case 0xC2: // CLR bit
            wrBit(b1, 0);
            pc += 2;
            break;
        case 0xC3: // CLR C
            psw() &= ~CY;
            pc += 1;
            break;
        case 0xD2: // SETB bit
            wrBit(b1, 1);
            pc += 2;
            break;
        case 0xD3: // SETB C
            psw() |= CY;
            pc += 1;
            break;

        case 0x74: // MOV A,#imm
            acc() = b1;
            pc += 2;
            break;
        case 0x75: // MOV direct,#imm
            wr(b1, b2);
            pc += 3;
            break;
        case 0x76:
        case 0x77: // MOV @Ri,#imm
            wrInd(reg(op & 1), b1);
            pc += 2;
            break;
        case 0x78:
        case 0x79:
        case 0x7A:
        case 0x7B:
        case 0x7C:
        case 0x7D:
        case 0x7E:
        case 0x7F: // MOV Rn,#imm
            reg(op & 7) = b1;
            pc += 2;
            break;
        case 0x85: // MOV direct,direct (source first)
            wr(b2, rd(b1, false));
            pc += 3;
            break;
        case 0x86:
        case 0x87: // MOV direct,@Ri
            wr(b1, rdInd(reg(op & 1)));
            pc += 2;
            break;
        case 0x88:
        case 0x89:
        case 0x8A:
        case 0x8B:
        case 0x8C:
        case 0x8D:
        case 0x8E:
        case 0x8F: // MOV direct,Rn
            wr(b1, reg(op & 7));
            pc += 2;
            break;
        case 0x90: // MOV DPTR,#imm16
            sf[sfr::DPH] = b1;
            sf[sfr::DPL] = b2;
            pc += 3;
            break;
        case 0xA6:
        case 0xA7: // MOV @Ri,direct
            wrInd(reg(op & 1), rd(b1, false));
            pc += 2;
            break;
        case 0xA8:
        case 0xA9:
        case 0xAA:
        case 0xAB:
        case 0xAC:
        case 0xAD:
        case 0xAE:
        case 0xAF: // MOV Rn,direct
            reg(op & 7) = rd(b1, false);
            pc += 2;
            break;
        case 0xE5: // MOV A,direct
            acc() = rd(b1, false);
            pc += 2;
            break;
        case 0xE6:
        case 0xE7: // MOV A,@Ri
            acc() = rdInd(reg(op & 1));
            pc += 1;
            break;
        case 0xE8:
        case 0xE9:
        case 0xEA:
        case 0xEB:
        case 0xEC:
        case 0xED:
        case 0xEE:
        case 0xEF: // MOV A,Rn
            acc() = reg(op & 7);
            pc += 1;
            break;
        case 0xF5: // MOV direct,A
            wr(b1, acc());
            pc += 2;
            break;
        case 0xF6:
        case 0xF7: // MOV @Ri,A
            wrInd(reg(op & 1), acc());
            pc += 1;
            break;
        case 0xF8:
        case 0xF9:
        case 0xFA:
        case 0xFB:
        case 0xFC:
        case 0xFD:
        case 0xFE:
        case 0xFF: // MOV Rn,A
            reg(op & 7) = acc();
            pc += 1;
            break;
        case 0xE4: // CLR A
            acc() = 0;
            pc += 1;
            break;
        case 0xF4: // CPL A
            acc() = uint8_t(~acc());
            pc += 1;
            break;
        case 0xC4: // SWAP A
            acc() = uint8_t(acc() << 4 | acc() >> 4);
            pc += 1;
            break;

        case 0x83: // MOVC A,@A+PC
            pc += 1;
            acc() = code[uint16_t(pc + acc())];
            break;
        case 0x93: // MOVC A,@A+DPTR
            acc() = code[uint16_t((sf[sfr::DPH] << 8 | sf[sfr::DPL]) + acc())];
            pc += 1;
            break;
        case 0xA3: { // INC DPTR
            uint16_t d = uint16_t((sf[sfr::DPH] << 8 | sf[sfr::DPL]) + 1);
            sf[sfr::DPH] = uint8_t(d >> 8);
            sf[sfr::DPL] = uint8_t(d);
            pc += 1;
            break;
        }
        case 0xE0: // MOVX A,@DPTR
            m_cycles = cyc + 1;
            m_pc = pc;
            acc() = uint8_t(externalRead(uint16_t(sf[sfr::DPH] << 8 | sf[sfr::DPL])));
            pc += 1;
            break;
        case 0xE2:
        case 0xE3: // MOVX A,@Ri (P2 gives the high address byte)
            m_cycles = cyc + 1;
            m_pc = pc;
            acc() = uint8_t(externalRead(uint16_t(sf[sfr::P2] << 8 | reg(op & 1))));
            pc += 1;
            break;
        case 0xF0: // MOVX @DPTR,A
            m_cycles = cyc + 1;
            m_pc = pc;
            externalWrite(uint16_t(sf[sfr::DPH] << 8 | sf[sfr::DPL]), acc());
            pc += 1;
            break;
        case 0xF2:
        case 0xF3: // MOVX @Ri,A
            m_cycles = cyc + 1;
            m_pc = pc;
            externalWrite(uint16_t(sf[sfr::P2] << 8 | reg(op & 1)), acc());
            pc += 1;
            break;

        case 0x84: { // DIV AB: by zero sets OV and leaves A and B as they were
            uint8_t a = acc(), b = sf[sfr::B];
            uint8_t f = psw() & ~(CY | OV);
            if (b == 0) {
                f |= OV;
            } else {
                acc() = uint8_t(a / b);
                sf[sfr::B] = uint8_t(a % b);
            }
            psw() = f;
            pc += 1;
            break;
        }
        case 0xA4: { // MUL AB
            unsigned r = unsigned(acc()) * sf[sfr::B];
            acc() = uint8_t(r);
            sf[sfr::B] = uint8_t(r >> 8);
            psw() = uint8_t((psw() & ~(CY | OV)) | (r > 0xFF ? OV : 0));
            pc += 1;
            break;
        }
        case 0xD4: { // DA A
            unsigned a = acc();
            uint8_t f = psw();
            if ((a & 0x0F) > 9 || (f & AC)) {
                a += 6;
                if (a > 0xFF) f |= CY;
                a &= 0xFF;
            }
            if ((a >> 4) > 9 || (f & CY)) {
                a += 0x60;
                if (a > 0xFF) f |= CY;
                a &= 0xFF;
            }
            psw() = f;
            acc() = uint8_t(a);
            pc += 1;
            break;
        }

        case 0xB4:   // CJNE A,#imm,rel
        case 0xB5: { // CJNE A,direct,rel
            uint8_t v = op == 0xB4 ? b1 : rd(b1, false, 2);
            uint8_t a = acc();
            setCy(a < v);
            pc += 3;
            if (a != v) rel(b2);
            break;
        }
        case 0xB6:
        case 0xB7: { // CJNE @Ri,#imm,rel
            uint8_t v = rdInd(reg(op & 1));
            setCy(v < b1);
            pc += 3;
            if (v != b1) rel(b2);
            break;
        }
        case 0xB8:
        case 0xB9:
        case 0xBA:
        case 0xBB:
        case 0xBC:
        case 0xBD:
        case 0xBE:
        case 0xBF: { // CJNE Rn,#imm,rel
            uint8_t v = reg(op & 7);
            setCy(v < b1);
            pc += 3;
            if (v != b1) rel(b2);
            break;
        }
        case 0xD5: { // DJNZ direct,rel
            uint8_t v = uint8_t(rd(b1, true, 2) - 1);
            wr(b1, v, 2);
            pc += 3;
            if (v) rel(b2);
            break;
        }
        case 0xD8:
        case 0xD9:
        case 0xDA:
        case 0xDB:
        case 0xDC:
        case 0xDD:
        case 0xDE:
        case 0xDF: { // DJNZ Rn,rel
            uint8_t v = --reg(op & 7);
            pc += 2;
            if (v) rel(b1);
            break;
        }

        case 0xC0: { // PUSH direct: SP is incremented before the operand is read (PUSH SP)
            uint8_t sp = ++sf[sfr::SP];
            wrInd(sp, rd(b1, false));
            pc += 2;
            break;
        }
        case 0xD0: { // POP direct
            uint8_t v = pop();
            wr(b1, v);
            pc += 2;
            break;
        }
        case 0xC5: { // XCH A,direct
            uint8_t v = rd(b1, false);
            wr(b1, acc());
            acc() = v;
            pc += 2;
            break;
        }
        case 0xC6:
        case 0xC7: { // XCH A,@Ri
            uint8_t a = reg(op & 1);
            uint8_t v = rdInd(a);
            wrInd(a, acc());
            acc() = v;
            pc += 1;
            break;
        }
        case 0xC8:
        case 0xC9:
        case 0xCA:
        case 0xCB:
        case 0xCC:
        case 0xCD:
        case 0xCE:
        case 0xCF: { // XCH A,Rn
            uint8_t& r = reg(op & 7);
            uint8_t v = r;
            r = acc();
            acc() = v;
            pc += 1;
            break;
        }
        case 0xD6:
        case 0xD7: { // XCHD A,@Ri
            uint8_t a = reg(op & 1);
            uint8_t v = rdInd(a);
            wrInd(a, uint8_t((v & 0xF0) | (acc() & 0x0F)));
            acc() = uint8_t((acc() & 0xF0) | (v & 0x0F));
            pc += 1;
            break;
        }
        case 0xA5: // undefined: stop where it stands (the timers have counted up to here)
            syncPeripherals(cyc);
            m_state = RunState::Undefined;
            m_stopAddress = pc;
            m_nextEvent = 0;
            goto stopped;
        }
        cyc += kCycles[op];
        ++count;
        if constexpr (Single) break;
    }
stopped:
    m_pc = pc;
    m_cycles = cyc;
    m_instructions += count;
    syncPeripherals(cyc);
    return cyc - start;
}

template uint64_t Core::execute<true, false>(uint64_t);
template uint64_t Core::execute<false, false>(uint64_t);
template uint64_t Core::execute<false, true>(uint64_t);

} // namespace mcs51
