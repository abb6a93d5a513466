// The debugger's cost: the running-light board at full speed with 0, 10 and 100 code breakpoints
// set (none of them reached), and with one data breakpoint; and a step over a C line with the
// whole board brought up to date on a board of 1,000 components, shown. BENCH_DEBUG_ONLY runs only
// these rows.
#include <QApplication>
#include <QElapsedTimer>
#include <QToolButton>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <memory>
#include <vector>

#include "bench/benchclock.h"
#include "components/leds.h"
#include "components/pins.h"
#include "components/switches.h"
#include "editor/brelvanfrm.h"
#include "editor/firmwarerunner.h"
#include "editor/firmwareui.h"
#include "simulation/simform.h"

#ifndef BRELVAN_SOURCE_DIR
#define BRELVAN_SOURCE_DIR "."
#endif

namespace {

const QString ExampleDir = QStringLiteral(BRELVAN_SOURCE_DIR "/examples/");

// Fills the board up to `count` components with switches that light LEDs from the supply.
void fillBoard(TfrmPlugin& window, int count) {
    TBoardSurface* board = window.Board();
    auto* vcc = qobject_cast<TVcc*>(board->FindOwnedName(QStringLiteral("VCC1")));
    auto* gnd = new TGND(board);
    gnd->SetName(QStringLiteral("BenchGND"));
    TSwitch* open = nullptr;
    for (int i = 0; board->OwnedComponents().size() < qsizetype(count); ++i) {
        if (!open) {
            open = new TSwitch(board);
            open->SetName(QStringLiteral("BenchS%1").arg(i));
            open->SetContact1(vcc ? vcc->Pin() : nullptr);
            open->setGeometry(20 + (i % 60) * 40, 300 + (i / 60) * 40, 32, 32);
            continue;
        }
        auto* led = new TLED(board);
        led->SetName(QStringLiteral("BenchL%1").arg(i));
        led->SetAnode(open->SwitchControl()->Contact2());
        led->SetCathode(gnd->Pin());
        led->setGeometry(20 + (i % 60) * 40, 300 + (i / 60) * 40, 32, 32);
        open = nullptr;
    }
}

struct Window {
    std::unique_ptr<TfrmPlugin> window = std::make_unique<TfrmPlugin>();
    TFirmwareRunner* runner = window->Firmware()->Runner();
    explicit Window(int components) {
        runner->SetFreeRunning(false);
        window->LoadFromFile(ExampleDir + QStringLiteral("running_light.ovd"));
        if (components > 0) fillBoard(*window, components);
        window->Firmware()->LoadFirmware(ExampleDir + QStringLiteral("firmware/running_light.ihx"));
    }
};

// Percent of real time (simulated time over processor time) of the running light on its board,
// unthrottled, with `breakpoints` code breakpoints at addresses the program never reaches, and a
// data breakpoint when asked; the same window and run for every setting.
double runningLight(Window& w, int breakpoints, bool watch) {
    w.runner->Debugger().ClearBreakpoints();
    w.runner->Debugger().ClearDataBreakpoints();
    for (int i = 0; i < breakpoints; ++i)
        w.runner->Debugger().AddAddressBreakpoint(uint16_t(0x4000 + 17 * i));
    if (watch) {
        mcs51::DataBreakpoint data;
        data.space = mcs51::Space::Xram;
        data.address = 0x7000;
        w.runner->Debugger().AddDataBreakpoint(data);
    }
    const double simulatedMs = watch ? 2000 : 10000;
    const double start = cpuSeconds();
    const bool stopped = w.runner->RunUntilStopped(simulatedMs);
    const double wallMs = (cpuSeconds() - start) * 1000;
    if (stopped)
        std::printf("(a breakpoint stopped the run: %s)\n", qPrintable(w.runner->StopReason()));
    return simulatedMs / wallMs * 100.0;
}

// Median time of a step over a C line of the running light's main loop, the board of
// `components` shown and repainted.
double stepOnBoard(int components, int steps) {
    Window w(components);
    w.window->resize(1280, 800);
    w.window->show();
    QCoreApplication::processEvents();
    w.runner->Debugger().AddLineBreakpoint("running_light.c", 24);
    w.window->RunButton()->click();
    if (!w.runner->RunUntilStopped(1000)) std::printf("(the breakpoint was not reached)\n");
    w.runner->Debugger().ClearBreakpoints();
    std::vector<double> times;
    for (int i = 0; i < steps; ++i) {
        QElapsedTimer timer;
        timer.start();
        w.runner->DebugStep(mcs51::Debugger::StepKind::Over);
        if (w.runner->CurrentState() != TFirmwareRunner::State::Paused)
            w.runner->RunUntilStopped(1000);
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
        times.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(times.begin(), times.end());
    if (w.window->Board()->OwnedComponents().size() < qsizetype(components))
        std::printf("(the board is smaller than asked)\n");
    w.window->RunButton()->click();
    return times[times.size() / 2];
}

} // namespace

void DebuggerReport() {
    // The best of three runs each, interleaved, so that a busy machine shows less in the cost.
    Window w(0);
    w.window->RunButton()->click();
    runningLight(w, 0, false); // warm up
    double none = 0, ten = 0, hundred = 0, watched = 0;
    for (int run = 0; run < 5; ++run) {
        none = std::max(none, runningLight(w, 0, false));
        ten = std::max(ten, runningLight(w, 10, false));
        hundred = std::max(hundred, runningLight(w, 100, false));
        watched = std::max(watched, runningLight(w, 0, true));
    }
    w.window->RunButton()->click();
    std::printf("Running-light board, 12 MHz, unthrottled, with breakpoints set (none reached)\n");
    std::printf("%-28s %9.0f %% of real time\n", "no breakpoints", none);
    std::printf("%-28s %9.0f %% of real time   (cost %+.1f %%)\n", "10 breakpoints", ten,
                (none / ten - 1) * 100);
    std::printf("%-28s %9.0f %% of real time   (cost %+.1f %%)\n", "100 breakpoints", hundred,
                (none / hundred - 1) * 100);
    std::printf("%-28s %9.0f %% of real time   (cost %+.1f %%)\n", "one data breakpoint", watched,
                (none / watched - 1) * 100);
    std::printf("%-28s %9.2f ms (median of 20, board of 1000 components shown)\n",
                "step over a C line", stepOnBoard(1000, 20));
}
