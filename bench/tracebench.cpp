// What recording costs: the running-light example at full speed through the board, without
// traces and with 16 (the LEDs' cathodes, the host port as a bus, the core's P2 as a bus and six
// of its pins), in processor time; and the memory of one recorded change. BENCH_TRACE_ONLY runs
// only this.
#include <QString>
#include <QToolButton>
#include <cstdio>
#include <ctime>
#include <memory>

#include "bench/benchclock.h"
#include "editor/brelvanfrm.h"
#include "editor/firmwarerunner.h"
#include "editor/firmwareui.h"
#include "editor/tracesession.h"

#ifndef BRELVAN_SOURCE_DIR
#define BRELVAN_SOURCE_DIR "."
#endif

namespace {

constexpr double MeasureSeconds = 1.0;
constexpr quint64 SliceCycles = 120'000; // 10 ms at 12 MHz

struct Run {
    double cyclesPerSecond = 0;
    size_t changes = 0;
    bool ok = false;
};

Run runningLight(bool traced) {
    auto window = std::make_unique<TfrmPlugin>();
    TFirmwareRunner* runner = window->Firmware()->Runner();
    runner->SetFreeRunning(false);
    Run run;
    if (!window->LoadFromFile(QStringLiteral(BRELVAN_SOURCE_DIR "/examples/running_light.ovd")) ||
        !window->Firmware()->LoadFirmware(
            QStringLiteral(BRELVAN_SOURCE_DIR "/examples/firmware/running_light.ihx")))
        return run;
    TTraceSession* session = TTraceSession::Of(window.get());
    if (traced) {
        QStringList paths;
        for (int i = 0; i < 8; ++i)
            paths << QStringLiteral("LED%1.Cathode").arg(i);
        paths << QStringLiteral("P2.Port") << QStringLiteral("Host.P2");
        for (int i = 0; i < 6; ++i)
            paths << QStringLiteral("Host.P2.%1").arg(i);
        for (const QString& path : paths) {
            QString error;
            if (session->AddTrace(path, &error) < 0) {
                std::printf("trace %s: %s\n", qPrintable(path), qPrintable(error));
                return run;
            }
        }
    }
    window->RunButton()->click();
    if (runner->CurrentState() != TFirmwareRunner::State::Running) return run;
    const quint64 cycles = runner->Cycles();
    const double start = cpuSeconds();
    double seconds = 0;
    do {
        runner->RunCycles(SliceCycles);
        seconds = cpuSeconds() - start;
    } while (seconds < MeasureSeconds && runner->CurrentState() == TFirmwareRunner::State::Running);
    run.cyclesPerSecond = double(runner->Cycles() - cycles) / seconds;
    run.changes = size_t(session->Recorder().Count() + session->Recorder().Dropped());
    run.ok = true;
    window->RunButton()->click();
    return run;
}

} // namespace

void TraceReport() {
    std::printf("\nRecording 16 traces on the running light at full speed (processor time)\n");
    const Run bare = runningLight(false);
    const Run traced = runningLight(true);
    if (!bare.ok || !traced.ok) {
        std::printf("the running light did not run\n");
        return;
    }
    const double cost = 100.0 * (1.0 - traced.cyclesPerSecond / bare.cyclesPerSecond);
    std::printf(
        "untraced %8.2f M cycles/s   traced %8.2f M cycles/s   cost %5.1f %% (at most 20 %%)\n",
        bare.cyclesPerSecond / 1e6, traced.cyclesPerSecond / 1e6, cost);
    std::printf("%zu changes recorded; %zu bytes per recorded change\n", traced.changes,
                sizeof(TTraceChange));
}
