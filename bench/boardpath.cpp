// The 8051 core as the host of a board against the bare core, on the same small programs in the
// same run: processor time, instructions per second and their ratio. The board runs in the main
// window as a user has it (a board file opened, Run through the button), the program through the
// firmware runner; the bare core is the core alone, without hooks. BENCH_BOARD_ONLY runs only
// these rows, and of them only those whose name contains its value, if it has one other than 1.
#include <QFile>
#include <QTemporaryDir>
#include <QToolButton>
#include <cstdio>
#include <ctime>
#include <vector>

#include "bench/benchclock.h"
#include "editor/brelvanfrm.h"
#include "editor/firmwarerunner.h"
#include "editor/firmwareui.h"
#include "host/mcs51.h"

#ifndef BRELVAN_SOURCE_DIR
#define BRELVAN_SOURCE_DIR "."
#endif

namespace {

// Each program loops for ever from 0x0000; it runs in slices until this much processor time.
constexpr double MeasureSeconds = 0.4;
constexpr uint64_t SliceCycles = 120'000; // 10 ms at 12 MHz
constexpr int BestOf = 3;

struct BoardProgram {
    const char* name;
    const char* board; // in examples/
    std::vector<uint8_t> code;
};

// ADD/ADDC/XRL/MOV in a DJNZ loop.
const std::vector<uint8_t> ArithmeticLoop{0x24, 0x01, 0x3A, 0x64, 0x55,
                                          0xFA, 0xDC, 0xF8, 0x80, 0xF6};

std::vector<BoardProgram> programs() {
    std::vector<uint8_t> timer(0x3E, 0x00);
    // Timer 0 in mode 2 interrupts every 200 cycles and counts in 0x30.
    const std::vector<uint8_t> vectors{0x02, 0x00, 0x30};
    std::copy(vectors.begin(), vectors.end(), timer.begin());
    const std::vector<uint8_t> isr{0x05, 0x30, 0x32};
    std::copy(isr.begin(), isr.end(), timer.begin() + 0x0B);
    const std::vector<uint8_t> setup{0x75, 0x89, 0x02, 0x75, 0x8C, 0x38, 0x75,
                                     0x8A, 0x38, 0x75, 0xA8, 0x82, 0xD2, 0x8C};
    std::copy(setup.begin(), setup.end(), timer.begin() + 0x30);
    timer.insert(timer.end(), ArithmeticLoop.begin(), ArithmeticLoop.end());
    return {
        {"arithmetic loop", "blink.ovd", ArithmeticLoop},
        {"timer interrupts", "blink.ovd", timer},
        // Timer 1 at the fastest rate clocks mode 1; each byte is sent once TI is up.
        {"serial transmit", "blink.ovd", {0x75, 0x89, 0x20, 0x75, 0x8D, 0xFF, 0x75, 0x8B,
                                          0xFF, 0xD2, 0x8E, 0x75, 0x98, 0x42, 0x30, 0x99,
                                          0xFD, 0xC2, 0x99, 0xF5, 0x99, 0x04, 0x80, 0xF6}},
        // MOVX A,@DPTR / INC A / MOVX @DPTR,A / INC DPTR over the whole external space.
        {"MOVX, nothing on the bus",
         "blink.ovd",
         {0x90, 0x12, 0x34, 0xE0, 0x04, 0xF0, 0xA3, 0x80, 0xFA}},
        // The latch at 0x8000: the byte written is read back.
        {"MOVX to a latch and back",
         "movx_bus.ovd",
         {0x90, 0x80, 0x00, 0x74, 0x05, 0xF0, 0xE0, 0x80, 0xFC}},
        // The same with a new byte each time, so the latch's outputs change on every write.
        {"MOVX, a new byte each time",
         "movx_bus.ovd",
         {0x90, 0x80, 0x00, 0xF0, 0xE0, 0x04, 0x80, 0xFB}},
        // CPL P1.0 / SJMP: the LED on P1.0 changes every three machine cycles.
        {"CPL P1.0 with one LED", "blink.ovd", {0xB2, 0x90, 0x80, 0xFC}},
    };
}

struct Rate {
    double seconds = 0;
    uint64_t instructions = 0;
    uint64_t cycles = 0;
    double Ips() const { return seconds > 0 ? double(instructions) / seconds : 0; }
};

Rate bareCore(const std::vector<uint8_t>& code) {
    mcs51::Core core;
    std::copy(code.begin(), code.end(), core.Code());
    Rate rate;
    const double start = cpuSeconds();
    do {
        core.Run(SliceCycles);
        rate.seconds = cpuSeconds() - start;
    } while (rate.seconds < MeasureSeconds && core.State() == mcs51::RunState::Running);
    rate.instructions = core.Instructions();
    rate.cycles = core.Cycles();
    return rate;
}

Rate throughBoard(const BoardProgram& program, const QString& binary, quint64* accesses) {
    auto window = std::make_unique<TfrmPlugin>();
    TFirmwareRunner* runner = window->Firmware()->Runner();
    runner->SetFreeRunning(false);
    window->LoadFromFile(QStringLiteral(BRELVAN_SOURCE_DIR "/examples/") +
                         QString::fromLatin1(program.board));
    Rate rate;
    if (!window->Firmware()->LoadFirmware(binary)) return rate;
    window->RunButton()->click();
    if (runner->CurrentState() != TFirmwareRunner::State::Running) return rate;
    const quint64 instructions = runner->Core().Instructions();
    const quint64 cycles = runner->Cycles();
    const quint64 sent = runner->Bridge().AccessCount();
    const double start = cpuSeconds();
    do {
        runner->RunCycles(SliceCycles);
        rate.seconds = cpuSeconds() - start;
    } while (rate.seconds < MeasureSeconds &&
             runner->CurrentState() == TFirmwareRunner::State::Running);
    rate.instructions = runner->Core().Instructions() - instructions;
    rate.cycles = runner->Cycles() - cycles;
    *accesses = runner->Bridge().AccessCount() - sent;
    window->RunButton()->click();
    return rate;
}

} // namespace

void BoardPathReport(const QString& filter) {
    std::printf("\nFirmware through the board against the bare core (processor time, best of %d; "
                "M = million instructions per second)\n",
                BestOf);
    QTemporaryDir dir;
    for (const BoardProgram& program : programs()) {
        if (!filter.isEmpty() && !QString::fromLatin1(program.name).contains(filter)) continue;
        const QString binary = dir.filePath(QStringLiteral("program.bin"));
        QFile file(binary);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            file.write(reinterpret_cast<const char*>(program.code.data()),
                       qint64(program.code.size())) != qint64(program.code.size())) {
            std::printf("%-28s (the program could not be written)\n", program.name);
            continue;
        }
        file.close();
        // The best of a few alternated runs each: on a shared machine a single run of either
        // side can come out at half its speed, which the ratio would then carry.
        Rate bare, board;
        quint64 accesses = 0;
        for (int run = 0; run < BestOf; ++run) {
            const Rate b = bareCore(program.code);
            if (run == 0 || b.Ips() > bare.Ips()) bare = b;
            quint64 sent = 0;
            const Rate t = throughBoard(program, binary, &sent);
            if (run == 0 || t.Ips() > board.Ips()) {
                board = t;
                accesses = sent;
            }
        }
        if (board.instructions == 0) {
            std::printf("%-28s (did not run on %s)\n", program.name, program.board);
            continue;
        }
        // One machine cycle is a microsecond at 12 MHz.
        const double realTime = double(board.cycles) / 1e6 / board.seconds;
        std::printf("%-28s bare %7.1f M   board %8.2f M   ratio %5.3f   %7.2f x real time   "
                    "%llu host accesses\n",
                    program.name, bare.Ips() / 1e6, board.Ips() / 1e6, board.Ips() / bare.Ips(),
                    realTime, static_cast<unsigned long long>(accesses));
    }
}
