// Timers, serial port, external interrupts and the interrupt controller of the 8051 core, and the
// SFRs that reach them. None of this runs per instruction: the instruction loop calls events() when
// the cycle count reaches m_nextEvent, and every SFR access that involves a peripheral first brings
// the timers up to date with syncPeripherals().

#include "host/mcs51.h"

#include <algorithm>
#include <limits>

namespace mcs51 {

namespace {

constexpr uint8_t TF1 = 0x80, TR1 = 0x40, TF0 = 0x20, TR0 = 0x10, IE1 = 0x08, IT1 = 0x04,
                  IE0 = 0x02, IT0 = 0x01;
constexpr uint8_t TI = 0x02, RI = 0x01, RB8 = 0x04, REN = 0x10, SM2 = 0x20;
constexpr uint8_t TF2 = 0x80, EXF2 = 0x40, RCLK = 0x20, TCLK = 0x10, EXEN2 = 0x08, TR2 = 0x04,
                  CT2 = 0x02, CPRL2 = 0x01;
constexpr uint64_t Never = std::numeric_limits<uint64_t>::max();

// Counts n increments into a timer in mode 0 (13 bits), 1 (16 bits) or 2 (8 bits, reloaded from
// th). Returns the number of overflows.
uint64_t countTimer(uint8_t& tl, uint8_t& th, int mode, uint64_t n) {
    switch (mode) {
    case 0: {
        uint64_t v = uint64_t(th) << 5 | (tl & 0x1F);
        v += n;
        th = uint8_t(v >> 5);
        tl = uint8_t((tl & 0xE0) | (v & 0x1F));
        return v >> 13;
    }
    case 1: {
        uint64_t v = uint64_t(th) << 8 | tl;
        v += n;
        th = uint8_t(v >> 8);
        tl = uint8_t(v);
        return v >> 16;
    }
    default: { // 2: auto-reload
        if (tl + n <= 0xFF) {
            tl = uint8_t(tl + n);
            return 0;
        }
        uint64_t left = n - (0x100 - tl);
        uint64_t period = 0x100 - th;
        tl = uint8_t(th + left % period);
        return 1 + left / period;
    }
    }
}

uint64_t count8(uint8_t& t, uint64_t n) {
    uint64_t v = t + n;
    t = uint8_t(v);
    return v >> 8;
}

// Cycles until the next overflow of a running timer in mode 0..2.
uint64_t untilOverflow(uint8_t tl, uint8_t th, int mode) {
    switch (mode) {
    case 0:
        return 0x2000 - (unsigned(th) << 5 | (tl & 0x1F));
    case 1:
        return 0x10000 - (unsigned(th) << 8 | tl);
    default:
        return 0x100u - tl;
    }
}

} // namespace

bool Core::implemented(uint8_t address) const {
    switch (address) {
    case sfr::P0:
    case sfr::SP:
    case sfr::DPL:
    case sfr::DPH:
    case sfr::PCON:
    case sfr::TCON:
    case sfr::TMOD:
    case sfr::TL0:
    case sfr::TL1:
    case sfr::TH0:
    case sfr::TH1:
    case sfr::P1:
    case sfr::SCON:
    case sfr::SBUF:
    case sfr::P2:
    case sfr::IE:
    case sfr::P3:
    case sfr::IP:
    case sfr::PSW:
    case sfr::ACC:
    case sfr::B:
        return true;
    case sfr::T2CON:
    case sfr::RCAP2L:
    case sfr::RCAP2H:
    case sfr::TL2:
    case sfr::TH2:
        return m_variant == Variant::I8052;
    default:
        return false;
    }
}

uint8_t Core::readSfrSlow(uint8_t address, bool latch) {
    uint8_t* sf = m_sfr.data() - 0x80;
    switch (address) {
    case sfr::P0:
    case sfr::P1:
    case sfr::P2:
    case sfr::P3:
        return latch ? sf[address] : uint8_t(sf[address] & m_extPins[(address >> 4) & 3]);
    case sfr::SBUF:
        return m_sbufRx;
    case sfr::TCON:
    case sfr::TL0:
    case sfr::TL1:
    case sfr::TH0:
    case sfr::TH1:
    case sfr::SCON:
    case sfr::T2CON:
    case sfr::TL2:
    case sfr::TH2:
        syncPeripherals(m_cycles);
        break;
    default:
        break;
    }
    return implemented(address) ? sf[address] : 0x00;
}

void Core::writeSfrSlow(uint8_t address, uint8_t value) {
    if (!implemented(address)) return;
    uint8_t* sf = m_sfr.data() - 0x80;
    switch (address) {
    case sfr::P0:
    case sfr::P1:
    case sfr::P2:
    case sfr::P3: {
        int port = (address >> 4) & 3;
        sf[address] = value;
        if (m_hooks) m_hooks->PortWritten(port, value);
        portPinsChanged(port);
        return;
    }
    case sfr::SBUF:
        syncPeripherals(m_cycles);
        m_sbufTx = value;
        startTransmit();
        break;
    case sfr::IE:
    case sfr::IP:
        sf[address] = value;
        m_blockOnce = true;
        break;
    case sfr::PCON:
        // The clock stops with the write: the timers and a frame on its way have counted up to it.
        syncPeripherals(m_cycles);
        sf[address] = value;
        if (value & 0x02)
            m_state = RunState::PowerDown;
        else if (value & 0x01)
            m_state = RunState::Idle;
        break;
    default: {
        syncPeripherals(m_cycles);
        const unsigned before = requests();
        sf[address] = value;
        if (address == sfr::TCON) levelInterrupts();
        // A flag an instruction sets is written in its last cycle, so the polling cycle that sees
        // it belongs to the next instruction (the manual's interrupt response: the flags polled
        // are those present at S5P2 of the previous machine cycle).
        m_softRaised |= uint8_t(requests() & ~before);
        break;
    }
    }
    m_nextEvent = 0;
}

// Pending interrupt sources in polling order (bit 0 INT0 ... bit 5 Timer 2), before IE.
unsigned Core::requests() const {
    const uint8_t* sf = m_sfr.data() - 0x80;
    uint8_t tcon = sf[sfr::TCON];
    unsigned req = 0;
    if (tcon & IE0) req |= 1;
    if (tcon & TF0) req |= 2;
    if (tcon & IE1) req |= 4;
    if (tcon & TF1) req |= 8;
    if (sf[sfr::SCON] & (TI | RI)) req |= 16;
    if (m_variant == Variant::I8052 && (sf[sfr::T2CON] & (TF2 | EXF2))) req |= 32;
    return req;
}

// Notes from which boundary on requests that were not pending before are seen.
void Core::stampRaised(unsigned before, uint64_t seenFrom) {
    unsigned risen = requests() & ~before;
    while (risen) {
        int source = __builtin_ctz(risen);
        risen &= risen - 1;
        m_seenFrom[size_t(source)] = seenFrom;
    }
}

// Level-triggered external interrupts follow their pin: the flag is the inverted pin level.
void Core::levelInterrupts() {
    uint8_t& tcon = m_sfr[sfr::TCON - 0x80];
    if (!(tcon & IT0)) tcon = uint8_t((tcon & ~IE0) | ((m_pinP3 & 0x04) ? 0 : IE0));
    if (!(tcon & IT1)) tcon = uint8_t((tcon & ~IE1) | ((m_pinP3 & 0x08) ? 0 : IE1));
}

// A pin change reaches the timers (counting, capture, reload) at sampleAt, when the latch was
// written (or the caller changed the level), and the flags it raises are seen from the next cycle
// on: a write in an instruction's last cycle is followed by one more instruction before the
// interrupt is taken.
void Core::pinsChanged(uint64_t sampleAt) {
    syncPeripherals(m_cycles);
    m_pinsPending = true;
    m_pinSampleAt = std::max(sampleAt, m_cycles);
    m_nextEvent = 0;
}

void Core::portPinsChanged(int port) {
    // Only INT0, INT1, T0 and T1 on P3, and T2 and T2EX on an 8052's P1, reach the peripherals;
    // a port write that leaves them as last sampled (a CPL of an LED's pin) costs nothing more.
    uint8_t mask = 0, sampled = 0;
    if (port == 3) {
        mask = 0x3C;
        sampled = m_pinP3;
    } else if (port == 1 && m_variant == Variant::I8052) {
        mask = 0x03;
        sampled = m_pinP1;
    } else {
        return;
    }
    const uint8_t pins = m_sfr[size_t(port * 0x10)] & m_extPins[size_t(port)];
    if (!m_pinsPending && ((pins ^ sampled) & mask) == 0) return;
    pinsChanged(m_cycles);
}

// A P1 or P3 pin may have changed: edges on INT0/INT1 set the interrupt flags, falling edges on
// T0/T1 (and T2, T2EX) count in counter mode; GATE sees the new INT levels from now on.
void Core::samplePins() {
    uint8_t* sf = m_sfr.data() - 0x80;
    const unsigned before = requests();
    uint8_t p3 = sf[sfr::P3] & m_extPins[3];
    uint8_t fell3 = m_pinP3 & ~p3;
    m_pinP3 = p3;
    uint8_t& tcon = sf[sfr::TCON];
    uint8_t tmod = sf[sfr::TMOD];
    if ((tcon & IT0) && (fell3 & 0x04)) tcon |= IE0;
    if ((tcon & IT1) && (fell3 & 0x08)) tcon |= IE1;
    levelInterrupts();
    // Counter inputs (the GATE condition uses the INT level at the moment of the edge).
    if ((fell3 & 0x10) && (tmod & 0x04) && (tcon & TR0) && (!(tmod & 0x08) || (p3 & 0x04))) {
        int mode = tmod & 3;
        if (mode == 3) {
            if (count8(sf[sfr::TL0], 1)) tcon |= TF0;
        } else if (countTimer(sf[sfr::TL0], sf[sfr::TH0], mode, 1)) {
            tcon |= TF0;
        }
    }
    if ((fell3 & 0x20) && (tmod & 0x40) && ((tmod >> 4) & 3) != 3) {
        bool t0mode3 = (tmod & 3) == 3;
        bool run = t0mode3 || ((tcon & TR1) && (!(tmod & 0x80) || (p3 & 0x08)));
        if (run) {
            uint64_t ovf = countTimer(sf[sfr::TL1], sf[sfr::TH1], (tmod >> 4) & 3, 1);
            if (ovf && !t0mode3) tcon |= TF1;
            if (ovf && m_txRemain + m_rxRemain)
                serialAdvance(0, ovf, 0, m_pinSampleAt, m_pinSampleAt);
        }
    }
    if (m_variant == Variant::I8052) {
        uint8_t p1 = sf[sfr::P1] & m_extPins[1];
        uint8_t fell1 = m_pinP1 & ~p1;
        m_pinP1 = p1;
        uint8_t& t2con = sf[sfr::T2CON];
        bool baud = t2con & (RCLK | TCLK);
        if ((fell1 & 0x01) && (t2con & TR2) && (t2con & CT2)) {
            uint64_t v = (uint64_t(sf[sfr::TH2]) << 8 | sf[sfr::TL2]) + 1;
            if (v > 0xFFFF) {
                if (!baud) t2con |= TF2;
                if (baud || !(t2con & CPRL2)) v = uint64_t(sf[sfr::RCAP2H]) << 8 | sf[sfr::RCAP2L];
                if (baud && m_txRemain + m_rxRemain)
                    serialAdvance(0, 0, 1, m_pinSampleAt, m_pinSampleAt);
            }
            sf[sfr::TH2] = uint8_t(v >> 8);
            sf[sfr::TL2] = uint8_t(v);
        }
        if ((fell1 & 0x02) && (t2con & EXEN2)) {
            t2con |= EXF2;
            if (!baud && (t2con & CPRL2)) { // capture
                sf[sfr::RCAP2H] = sf[sfr::TH2];
                sf[sfr::RCAP2L] = sf[sfr::TL2];
            } else if (!baud) { // reload
                sf[sfr::TH2] = sf[sfr::RCAP2H];
                sf[sfr::TL2] = sf[sfr::RCAP2L];
            }
        }
    }
    stampRaised(before, m_pinSampleAt + 1);
}

void Core::syncPeripherals(uint64_t now) {
    if (m_pinsPending && now > m_pinSampleAt) {
        advancePeripherals(m_pinSampleAt);
        m_pinsPending = false;
        samplePins();
    }
    advancePeripherals(now);
}

void Core::advancePeripherals(uint64_t now) {
    if (now <= m_timerSync) return;
    const uint64_t from = m_timerSync;
    uint64_t n = now - from;
    m_timerSync = now;
    if (m_state == RunState::PowerDown || m_state == RunState::Undefined) return;
    uint8_t* sf = m_sfr.data() - 0x80;
    uint8_t& tcon = sf[sfr::TCON];
    uint8_t tmod = sf[sfr::TMOD];
    uint64_t t1ovf = 0, t2ovf = 0;
    // A flag that rises notes the cycle of its first overflow in the span, for the polling rule.
    auto raise = [&](uint8_t& reg, uint8_t bit, int source, uint64_t after) {
        if (!((requests() >> source) & 1)) m_seenFrom[size_t(source)] = from + after + 1;
        reg |= bit;
    };
    // Serial frames end at a baud source overflow: where in the span, from the state before it.
    uint64_t txDoneAt = 0, rxDoneAt = 0;
    if (m_txRemain || m_rxRemain) {
        uint8_t t2con = m_variant == Variant::I8052 ? sf[sfr::T2CON] : 0;
        if (m_txRemain) txDoneAt = from + serialCycles(m_txRemain, t2con & TCLK);
        if (m_rxRemain) rxDoneAt = from + serialCycles(m_rxRemain, t2con & RCLK);
    }

    // Timer 0 (in mode 3 its TH0 half is a timer of its own, switched by TR1, flagging TF1).
    int mode0 = tmod & 3;
    bool gate0 = !(tmod & 0x08) || (m_pinP3 & 0x04);
    if ((tcon & TR0) && gate0 && !(tmod & 0x04)) {
        uint64_t first =
            mode0 == 3 ? 0x100u - sf[sfr::TL0] : untilOverflow(sf[sfr::TL0], sf[sfr::TH0], mode0);
        uint64_t ovf =
            mode0 == 3 ? count8(sf[sfr::TL0], n) : countTimer(sf[sfr::TL0], sf[sfr::TH0], mode0, n);
        if (ovf) raise(tcon, TF0, 1, first);
    }
    if (mode0 == 3 && (tcon & TR1)) {
        uint64_t first = 0x100u - sf[sfr::TH0];
        if (count8(sf[sfr::TH0], n)) raise(tcon, TF1, 3, first);
    }

    // Timer 1: stopped in its own mode 3; while Timer 0 is in mode 3 it runs on (for the baud
    // rate) without flagging TF1.
    int mode1 = (tmod >> 4) & 3;
    if (mode1 != 3 && !(tmod & 0x40)) {
        bool gate1 = !(tmod & 0x80) || (m_pinP3 & 0x08);
        if (mode0 == 3 || ((tcon & TR1) && gate1)) {
            uint64_t first = untilOverflow(sf[sfr::TL1], sf[sfr::TH1], mode1);
            t1ovf = countTimer(sf[sfr::TL1], sf[sfr::TH1], mode1, n);
            if (t1ovf && mode0 != 3) raise(tcon, TF1, 3, first);
        }
    }

    // Timer 2: as baud rate generator it counts at half the oscillator and only reloads.
    if (m_variant == Variant::I8052) {
        uint8_t& t2con = sf[sfr::T2CON];
        if ((t2con & TR2) && !(t2con & CT2)) {
            bool baud = t2con & (RCLK | TCLK);
            uint64_t steps = baud ? n * 6 : n;
            uint64_t v = uint64_t(sf[sfr::TH2]) << 8 | sf[sfr::TL2];
            uint64_t reload = uint64_t(sf[sfr::RCAP2H]) << 8 | sf[sfr::RCAP2L];
            const uint64_t first = 0x10000 - v;
            if (v + steps <= 0xFFFF) {
                v += steps;
            } else if (!baud && (t2con & CPRL2)) {
                t2ovf = (v + steps) >> 16;
                v = (v + steps) & 0xFFFF;
            } else {
                uint64_t left = steps - (0x10000 - v);
                uint64_t period = 0x10000 - reload;
                t2ovf = 1 + left / period;
                v = reload + left % period;
            }
            if (t2ovf && !baud) raise(t2con, TF2, 5, first);
            sf[sfr::TH2] = uint8_t(v >> 8);
            sf[sfr::TL2] = uint8_t(v);
        }
    }

    if (m_txRemain || m_rxRemain) serialAdvance(n, t1ovf, t2ovf, txDoneAt, rxDoneAt);
}

namespace {

// Serial frame length in units of its baud source: mode 0 counts machine cycles, mode 2 counts
// oscillator periods, modes 1 and 3 count overflows of Timer 1 (or Timer 2).
uint64_t frameUnits(uint8_t scon, bool smod, bool timer2) {
    switch (scon >> 6) {
    case 0:
        return 8;
    case 1:
        return 10 * (timer2 ? 16 : (smod ? 16 : 32));
    case 2:
        return 11 * (smod ? 32 : 64);
    default:
        return 11 * (timer2 ? 16 : (smod ? 16 : 32));
    }
}

uint64_t unitsElapsed(uint8_t scon, bool timer2, uint64_t cycles, uint64_t t1ovf, uint64_t t2ovf) {
    switch (scon >> 6) {
    case 0:
        return cycles;
    case 2:
        return cycles * 12;
    default:
        return timer2 ? t2ovf : t1ovf;
    }
}

} // namespace

// Machine cycles from m_timerSync until `units` units of the baud source have passed, with the
// timers as they stand; Never when the source does not run on the clock (stopped, or counting
// pin edges, which reach the frame as the pins are sampled).
uint64_t Core::serialCycles(uint64_t units, bool timer2) const {
    const uint8_t* sf = m_sfr.data() - 0x80;
    switch (sf[sfr::SCON] >> 6) {
    case 0:
        return units;
    case 2:
        return (units + 11) / 12;
    default:
        break;
    }
    if (timer2) {
        uint8_t t2con = sf[sfr::T2CON];
        if (!(t2con & TR2) || (t2con & CT2)) return Never;
        // Six steps a machine cycle; the k-th overflow comes after the steps to the first plus
        // k-1 reload periods.
        uint64_t v = uint64_t(sf[sfr::TH2]) << 8 | sf[sfr::TL2];
        uint64_t period = 0x10000 - (uint64_t(sf[sfr::RCAP2H]) << 8 | sf[sfr::RCAP2L]);
        uint64_t steps = (0x10000 - v) + (units - 1) * period;
        return (steps + 5) / 6;
    }
    uint8_t tmod = sf[sfr::TMOD];
    int mode0 = tmod & 3, mode1 = (tmod >> 4) & 3;
    bool gate1 = !(tmod & 0x80) || (m_pinP3 & 0x08);
    if (mode1 == 3 || (tmod & 0x40) || !(mode0 == 3 || ((sf[sfr::TCON] & TR1) && gate1)))
        return Never;
    uint64_t period = mode1 == 2 ? 0x100u - sf[sfr::TH1] : mode1 == 1 ? 0x10000u : 0x2000u;
    return untilOverflow(sf[sfr::TL1], sf[sfr::TH1], mode1) + (units - 1) * period;
}

void Core::startTransmit() {
    uint8_t* sf = m_sfr.data() - 0x80;
    bool t2 = m_variant == Variant::I8052 && (sf[sfr::T2CON] & TCLK);
    m_txRemain = frameUnits(sf[sfr::SCON], sf[sfr::PCON] & 0x80, t2);
}

void Core::serialAdvance(uint64_t cycles, uint64_t t1ovf, uint64_t t2ovf, uint64_t txDoneAt,
                         uint64_t rxDoneAt) {
    uint8_t* sf = m_sfr.data() - 0x80;
    uint8_t& scon = sf[sfr::SCON];
    uint8_t t2con = m_variant == Variant::I8052 ? sf[sfr::T2CON] : 0;
    if (m_txRemain) {
        uint64_t units = unitsElapsed(scon, t2con & TCLK, cycles, t1ovf, t2ovf);
        if (units >= m_txRemain) {
            m_txRemain = 0;
            unsigned before = requests();
            scon |= TI;
            stampRaised(before, txDoneAt + 1);
            if (m_hooks) m_hooks->SerialTransmitted(m_sbufTx);
        } else {
            m_txRemain -= units;
        }
    }
    if (m_rxRemain) {
        uint64_t units = unitsElapsed(scon, t2con & RCLK, cycles, t1ovf, t2ovf);
        if (units >= m_rxRemain) {
            m_rxRemain = 0;
            unsigned before = requests();
            receiveDone();
            stampRaised(before, rxDoneAt + 1);
            if (m_hooks) m_hooks->SerialReceived(uint8_t(m_rxByte), (m_rxByte & 0x100) != 0);
        } else {
            m_rxRemain -= units;
        }
    }
}

// The end of a received frame. The byte and RB8 (the ninth bit in modes 2 and 3, the stop bit in
// mode 1) are kept only when SM2 lets the frame through: in modes 2 and 3 with SM2 set, a frame
// whose ninth bit is 0 is lost without RI (the manual's multiprocessor communication).
void Core::receiveDone() {
    uint8_t& scon = m_sfr[sfr::SCON - 0x80];
    const int mode = scon >> 6;
    const bool ninth = m_rxByte & 0x100;
    if ((scon & RI) || (mode >= 2 && (scon & SM2) && !ninth)) return;
    m_sbufRx = uint8_t(m_rxByte);
    if (mode != 0) scon = uint8_t((scon & ~RB8) | ((mode == 1 || ninth) ? RB8 : 0));
    scon |= RI;
}

// Runs at the scheduled event: brings the peripherals to the current cycle, starts a waiting
// serial reception, takes an interrupt if one is due and plans the next event.
Core::Action Core::events() {
    if (m_stopRequested) return Stopped; // until the owner clears it
    syncPeripherals(m_cycles);
    if (m_state == RunState::PowerDown || m_state == RunState::Undefined) {
        m_nextEvent = 0;
        return Stopped;
    }
    uint8_t* sf = m_sfr.data() - 0x80;
    uint8_t& scon = sf[sfr::SCON];
    if (!m_rxRemain && !m_rxQueue.empty() && (scon & REN) && !(scon & RI)) {
        m_rxByte = m_rxQueue.front();
        m_rxQueue.pop_front();
        bool t2 = m_variant == Variant::I8052 && (sf[sfr::T2CON] & RCLK);
        m_rxRemain = frameUnits(scon, sf[sfr::PCON] & 0x80, t2);
    }

    // Requests the polling cycle of this boundary cannot see yet: those written by the
    // instruction just executed and those raised in its last machine cycle. A flag is sampled
    // late in a cycle and polled in the next one; the call follows only when that polling cycle
    // is the last of an instruction (the manual's interrupt response timing).
    unsigned hidden = 0;
    if (!m_immediatePolling) {
        hidden = m_softRaised;
        unsigned pending = requests();
        while (pending) {
            int source = __builtin_ctz(pending);
            pending &= pending - 1;
            if (m_seenFrom[size_t(source)] > m_cycles) hidden |= 1u << source;
        }
    }
    m_softRaised = 0;

    if (m_blockOnce) {
        m_blockOnce = false;
        scheduleNext();
        m_nextEvent = 0; // poll again after the next instruction
        return m_state == RunState::Idle ? IdleWait : Execute;
    }

    uint8_t ie = sf[sfr::IE];
    if (ie & 0x80) {
        unsigned req = requests() & ie;
        const bool pollAgain = req & hidden;
        req &= ~hidden;
        int source = -1, level = 0;
        unsigned high = req & sf[sfr::IP];
        if (high && !(m_inService & 2)) {
            source = __builtin_ctz(high);
            level = 2;
        } else if (req && !m_inService) {
            source = __builtin_ctz(req);
            level = 1;
        }
        if (source >= 0) {
            // The hardware call: clears the flags the hardware clears, pushes the return address
            // and jumps to the vector; it takes two machine cycles on the part.
            uint8_t& t = sf[sfr::TCON];
            if (source == 0 && (t & IT0))
                t &= ~IE0;
            else if (source == 1)
                t &= ~TF0;
            else if (source == 2 && (t & IT1))
                t &= ~IE1;
            else if (source == 3)
                t &= ~TF1;
            for (uint8_t byte : {uint8_t(m_pc), uint8_t(m_pc >> 8)}) {
                uint8_t sp = ++sf[sfr::SP];
                if (sp < m_iramLimit) m_iram[sp] = byte;
            }
            m_pc = uint16_t(3 + 8 * source);
            m_inService |= uint8_t(level);
            if (m_state == RunState::Idle) {
                m_state = RunState::Running;
                sf[sfr::PCON] &= ~0x01;
            }
            m_cycles += m_callCycles;
            scheduleNext();
            if (pollAgain) m_nextEvent = 0;
            return Vectored;
        }
        if (pollAgain) {
            scheduleNext();
            m_nextEvent = 0; // the hidden requests are seen at the next boundary
            return m_state == RunState::Idle ? IdleWait : Execute;
        }
    }
    scheduleNext();
    return m_state == RunState::Idle ? IdleWait : Execute;
}

// The next cycle at which a timer overflow may raise a flag or a serial frame ends. A timer whose
// flag is already set needs no event: its overflows change nothing until the flag is cleared,
// which only an SFR write or an interrupt call does, and both plan anew. The distances count from
// m_timerSync, the cycle the registers hold (an interrupt call has moved m_cycles on past it).
void Core::scheduleNext() {
    uint8_t* sf = m_sfr.data() - 0x80;
    uint64_t next = Never;
    uint8_t tcon = sf[sfr::TCON];
    uint8_t tmod = sf[sfr::TMOD];
    int mode0 = tmod & 3;
    bool gate0 = !(tmod & 0x08) || (m_pinP3 & 0x04);
    if ((tcon & TR0) && gate0 && !(tmod & 0x04) && !(tcon & TF0))
        next =
            std::min<uint64_t>(next, mode0 == 3 ? 0x100u - sf[sfr::TL0]
                                                : untilOverflow(sf[sfr::TL0], sf[sfr::TH0], mode0));
    if (mode0 == 3 && (tcon & TR1) && !(tcon & TF1))
        next = std::min<uint64_t>(next, 0x100u - sf[sfr::TH0]);
    int mode1 = (tmod >> 4) & 3;
    bool gate1 = !(tmod & 0x80) || (m_pinP3 & 0x08);
    if (mode0 != 3 && mode1 != 3 && !(tmod & 0x40) && (tcon & TR1) && gate1 && !(tcon & TF1))
        next = std::min<uint64_t>(next, untilOverflow(sf[sfr::TL1], sf[sfr::TH1], mode1));
    uint8_t t2con = m_variant == Variant::I8052 ? sf[sfr::T2CON] : 0;
    if ((t2con & TR2) && !(t2con & CT2) && !(t2con & (RCLK | TCLK)) && !(t2con & TF2))
        next = std::min<uint64_t>(next, 0x10000u - (unsigned(sf[sfr::TH2]) << 8 | sf[sfr::TL2]));
    // A frame on its way: its end, planned like an overflow (the register values it depends on
    // change only through SFR writes, which plan anew).
    if (m_txRemain) next = std::min(next, serialCycles(m_txRemain, t2con & TCLK));
    if (m_rxRemain) next = std::min(next, serialCycles(m_rxRemain, t2con & RCLK));
    m_nextEvent = next == Never ? Never : m_timerSync + next;
    if (m_pinsPending) m_nextEvent = std::min(m_nextEvent, std::max(m_pinSampleAt, m_cycles) + 1);
}

} // namespace mcs51
