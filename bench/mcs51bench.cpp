// Speed of the 8051 core against the s51 simulator on the same programs, measured in the same run
// as processor time (s51's is its child-process time), so that a loaded machine slows both alike.
#include <algorithm>
#include <cstdio>
#include <ctime>

#include "bench/benchclock.h"
#include "host/mcs51.h"
#include "tests/support/s51runner.h"

namespace {

struct Program {
    const char* name;
    std::vector<std::pair<uint16_t, std::vector<uint8_t>>> code;
    uint16_t stop;
};

// ADD/ADDC/XRL/MOV in three nested DJNZ loops: about outer * 327,000 instructions.
Program arithmeticLoop(uint8_t outer) {
    return {"arithmetic loop",
            {{0x0000, {0x7E, outer, 0x7D, 0x00, 0x7C, 0x00, 0x24, 0x01, 0x3A, 0x64,
                       0x55, 0xFA,  0xDC, 0xF8, 0xDD, 0xF4, 0xDE, 0xF0, 0x80, 0xFE}}},
            0x0012};
}

// The same loop while Timer 0 (mode 2, every 200 cycles) interrupts it to count in 0x30.
Program timerInterruptLoop(uint8_t outer) {
    return {"timer-interrupt program",
            {{0x0000, {0x02, 0x00, 0x30}},
             {0x000B, {0x05, 0x30, 0x32}},
             {0x0030, {0x75, 0x89, 0x02, 0x75,  0x8C, 0x38, 0x75, 0x8A, 0x38, 0x75, 0xA8, 0x82,
                       0xD2, 0x8C, 0x7E, outer, 0x7D, 0x00, 0x7C, 0x00, 0x24, 0x01, 0x3A, 0x64,
                       0x55, 0xFA, 0xDC, 0xF8,  0xDD, 0xF4, 0xDE, 0xF0, 0x80, 0xFE}}},
            0x0050};
}

// The same loop while the serial port sends without pause in mode 1 (Timer 1 baud rate, reload
// FD): its interrupt clears TI and writes the next byte, a frame every 960 cycles.
Program serialTransmitLoop(uint8_t outer) {
    return {
        "serial-transmit program",
        {{0x0000, {0x02, 0x00, 0x30}},
         {0x0023, {0xC2, 0x99, 0xF5, 0x99, 0x32}},
         {0x0030, {0x75, 0x89, 0x20, 0x75, 0x8D, 0xFD, 0x75, 0x8B,  0xFD, 0x75, 0x98, 0x40, 0xD2,
                   0x8E, 0x75, 0xA8, 0x90, 0xF5, 0x99, 0x7E, outer, 0x7D, 0x00, 0x7C, 0x00, 0x24,
                   0x01, 0x3A, 0x64, 0x55, 0xFA, 0xDC, 0xF8, 0xDD,  0xF4, 0xDE, 0xF0, 0x80, 0xFE}}},
        0x0055};
}

struct Result {
    double seconds = 0;
    uint64_t instructions = 0;
    uint64_t cycles = 0;
};

Result runCore(const Program& program) {
    Result best;
    for (int round = 0; round < 3; ++round) {
        mcs51::Core core(mcs51::Variant::I8052);
        for (const auto& [address, bytes] : program.code)
            std::copy(bytes.begin(), bytes.end(), core.Code() + address);
        core.SetBreakpoint(program.stop, true);
        const double start = cpuSeconds();
        while (core.PC() != program.stop && core.State() == mcs51::RunState::Running)
            core.Run(uint64_t(1) << 40);
        const double seconds = cpuSeconds() - start;
        if (round == 0 || seconds < best.seconds)
            best = {seconds, core.Instructions(), core.Cycles()};
    }
    return best;
}

} // namespace

void BenchMcs51() {
    std::printf("\n8051 core vs s51 (processor time; M = million instructions per second)\n");
    const bool haveS51 = !s51::Executable().isEmpty();
    if (!haveS51) std::printf("(s51 not installed: no ratio)\n");
    for (const Program& program :
         {arithmeticLoop(60), timerInterruptLoop(60), serialTransmitLoop(60)}) {
        const Result ours = runCore(program);
        const double oursRate = double(ours.instructions) / ours.seconds / 1e6;
        std::printf("%-24s core: %llu instructions, %llu cycles in %.3f s = %.1f M/s\n",
                    program.name, static_cast<unsigned long long>(ours.instructions),
                    static_cast<unsigned long long>(ours.cycles), ours.seconds, oursRate);
        if (!haveS51) continue;
        s51::Program p;
        p.code = program.code;
        uint64_t instructions = 0, cycles = 0;
        const double seconds = s51::TimeRun(p, program.stop, &instructions, &cycles);
        if (seconds <= 0) {
            std::printf("%-24s s51 run failed\n", program.name);
            continue;
        }
        const double theirRate = double(instructions) / seconds / 1e6;
        std::printf("%-24s s51:  %llu instructions, %llu cycles in %.3f s = %.1f M/s   "
                    "ratio %.1f x\n",
                    program.name, static_cast<unsigned long long>(instructions),
                    static_cast<unsigned long long>(cycles), seconds, theirRate,
                    oursRate / theirRate);
    }
}
