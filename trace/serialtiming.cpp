#include "trace/serialtiming.h"

namespace {
constexpr uint8_t SMOD = 0x80;                                      // PCON
constexpr uint8_t RCLK = 0x20, TCLK = 0x10, TR2 = 0x04, CT2 = 0x02; // T2CON
} // namespace

TSerialTiming SerialTimingOf(const mcs51::Core& core, bool receiving) {
    using namespace mcs51::sfr;
    TSerialTiming timing;
    const uint8_t scon = core.Sfr(SCON);
    const bool smod = (core.Sfr(PCON) & SMOD) != 0;
    timing.Mode = scon >> 6;
    timing.FrameBits = timing.Mode == 1 ? 10 : timing.Mode == 0 ? 8 : 11;
    switch (timing.Mode) {
    case 0: // shift register: one bit per machine cycle, TXD is the clock
        timing.BitCycles = 1;
        return timing;
    case 2: // a fixed 1/64 (1/32 with SMOD) of the oscillator
        timing.BitCycles = (smod ? 32.0 : 64.0) / 12.0;
        return timing;
    default:
        break;
    }
    const uint8_t t2con = core.Sfr(T2CON);
    if (t2con & (receiving ? RCLK : TCLK)) {
        // Timer 2 as baud generator counts at half the oscillator: 16 overflows a bit. Stopped,
        // or counting T2 pulses, it gives no rate of its own; Timer 1 is not used then either.
        if (!(t2con & TR2) || (t2con & CT2)) return timing;
        const unsigned reload = (unsigned(core.Sfr(RCAP2H)) << 8) | core.Sfr(RCAP2L);
        timing.BitCycles = 16.0 * (0x10000u - reload) / 6.0;
        return timing;
    }
    // Timer 1 overflows: 32 a bit, 16 with SMOD.
    const uint8_t tmod = core.Sfr(TMOD);
    if (tmod & 0x40) return timing; // counting T1 pulses: no rate of its own
    const int mode1 = (tmod >> 4) & 3;
    const double period = mode1 == 2 ? 0x100 - core.Sfr(TH1) : mode1 == 1 ? 0x10000 : 0x2000;
    if (mode1 == 3) return timing; // Timer 1 stopped
    timing.BitCycles = (smod ? 16.0 : 32.0) * period;
    return timing;
}
