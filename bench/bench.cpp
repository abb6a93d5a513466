// Measures how building and running a board scales with its size. Each figure is printed for n
// and 2n components with their ratio: about 2 means linear, about 4 quadratic. Then the 8051
// core's speed against s51, and the firmware through the board against the bare core
// (BENCH_BOARD_ONLY: only those), large inputs on purpose (BENCH_HOSTILE_ONLY: only those),
// and what recording 16 traces costs (BENCH_TRACE_ONLY: only that).
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QImage>
#include <QMouseEvent>
#include <QToolButton>
#include <QUndoStack>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <vector>

#include "components/gates.h"
#include "components/leds.h"
#include "components/pins.h"
#include "components/switches.h"
#include "editor/boardfile.h"
#include "editor/brelvanfrm.h"
#include "editor/brelvanprop.h"
#include "editor/firmwarerunner.h"
#include "editor/firmwareui.h"
#include "editor/wires.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "platform/keystate.h"
#include "platform/paintsettings.h"
#include "properties/propertyeditor.h"
#include "simulation/simform.h"

#ifndef BRELVAN_SOURCE_DIR
#define BRELVAN_SOURCE_DIR "."
#endif

// Figures through the paths a user takes (bench/userpaths.cpp).
void UserPathReport(int runs);
// Large inputs on purpose (bench/hostile.cpp).
void HostileInputReport(const char* self);
int OpenFileChild(const char* fileName, const char* outName);

namespace {

class BenchForm : public TSimForm {
public:
    void BuildSchematic() override {}
    void BoardHidden() override {}
};

struct Timings {
    double place = 0;
    double build = 0;
    double press = 0;
    double teardown = 0;
};

// Vcc -> n closed switches in a row -> bulb -> GND, then one press on the first switch.
Timings chainOfSwitches(int n) {
    Timings t;
    QElapsedTimer timer;
    auto form = std::make_unique<BenchForm>();
    TBoardSurface* board = form->Board();
    timer.start();
    auto* vcc = new TVcc(board);
    vcc->SetName(QStringLiteral("Vcc1"));
    TOrvexPinDriver* previous = vcc->Pin();
    TSwitch* first = nullptr;
    for (int i = 0; i < n; ++i) {
        auto* sw = new TSwitch(board);
        sw->SetName(QStringLiteral("S%1").arg(i + 1));
        sw->SetContact1(previous);
        sw->SwitchControl()->SetClosed(true);
        previous = sw->SwitchControl()->Contact2();
        if (!first) first = sw;
    }
    auto* bulb = new TBulb(board);
    bulb->SetName(QStringLiteral("Bulb1"));
    bulb->SetContact1(previous);
    auto* gnd = new TGND(board);
    gnd->SetName(QStringLiteral("GND1"));
    bulb->SetContact2(gnd->Pin());
    t.place = timer.nsecsElapsed() / 1e6;

    timer.restart();
    form->TSimForm::BuildSchematic();
    t.build = timer.nsecsElapsed() / 1e6;

    timer.restart();
    first->SwitchControl()->SetClosed(false);
    first->SwitchControl()->PropagateFrom(first->SwitchControl()->Contact1());
    first->SwitchControl()->SetClosed(true);
    first->SwitchControl()->PropagateFrom(first->SwitchControl()->Contact1());
    t.press = timer.nsecsElapsed() / 1e6;

    timer.restart();
    form->TSimForm::ClearSchematic();
    form.reset();
    t.teardown = timer.nsecsElapsed() / 1e6;
    return t;
}

// An inverter whose output feeds its own input never settles: how long until the spread gives up.
double oscillatingInverter() {
    auto form = std::make_unique<BenchForm>();
    auto* inv = new TInvertor(form->Board());
    inv->SetName(QStringLiteral("Inv1"));
    inv->SetOutput(inv->InvertControl()->Contact1());
    QElapsedTimer timer;
    timer.start();
    form->TSimForm::BuildSchematic();
    const double ms = timer.nsecsElapsed() / 1e6;
    if (form->LastOscillation().isEmpty()) std::printf("(no oscillation reported)\n");
    return ms;
}

struct EditTimings {
    double select = 0; // the grid shows a switch: its class lists hold every contact
    double write = 0;  // one property write through the grid, recorded for undo
    double undo = 0;
    double remove = 0; // deleting one wired switch, recorded for undo
    double restore = 0;
};

// The editor on a chain of n wired switches: the costs of one edit must not grow with the board
// faster than linearly.
EditTimings editingSteps(int n) {
    EditTimings t;
    TfrmPlugin window;
    TBoardSurface* board = window.Board();
    auto* vcc = new TVcc(board);
    vcc->SetName(QStringLiteral("Vcc1"));
    TOrvexPinDriver* previous = vcc->Pin();
    TSwitch* middle = nullptr;
    for (int i = 0; i < n; ++i) {
        auto* sw = new TSwitch(board);
        sw->SetName(QStringLiteral("S%1").arg(i + 1));
        sw->SetContact1(previous);
        previous = sw->SwitchControl()->Contact2();
        window.WireComponent(sw);
        if (i == n / 2) middle = sw;
    }
    QElapsedTimer timer;
    timer.start();
    window.ObjectClick(middle, false);
    t.select = timer.nsecsElapsed() / 1e6;
    auto* list = qobject_cast<QComboBox*>(
        window.PropertiesWindow()->PropEdit()->Row("HasAretation")->Editor);
    timer.restart();
    list->setCurrentIndex(1);
    t.write = timer.nsecsElapsed() / 1e6;
    timer.restart();
    window.UndoStack()->undo();
    t.undo = timer.nsecsElapsed() / 1e6;
    auto* doomed =
        qobject_cast<TOrvexGraphicComponent*>(board->FindOwnedName(QStringLiteral("S2")));
    window.ObjectClick(doomed, false);
    timer.restart();
    window.ObjectKeyDown(Qt::Key_Delete, Qt::NoModifier);
    t.remove = timer.nsecsElapsed() / 1e6;
    timer.restart();
    window.UndoStack()->undo();
    t.restore = timer.nsecsElapsed() / 1e6;
    window.UndoStack()->clear();
    return t;
}

// Opens a board file of n host pins spread over the bits of 64 addresses.
double openHostPins(int n) {
    QStringList lines;
    for (int i = 0; i < n; ++i) {
        lines << QStringLiteral("object Pin%1: TUPin").arg(i)
              << QStringLiteral("  PinNumber = %1").arg(i % 8)
              << QStringLiteral("  Address = %1").arg(128 + (i / 8) % 64)
              << QStringLiteral("  Left = %1").arg((i % 100) * 40)
              << QStringLiteral("  Top = %1").arg((i / 100) * 40) << QStringLiteral("end");
    }
    auto form = std::make_unique<BenchForm>();
    QElapsedTimer timer;
    timer.start();
    const BoardFile::TReadResult read = BoardFile::ReadBoard(form->Board(), lines, 4);
    const double ms = timer.nsecsElapsed() / 1e6;
    if (read.Error || read.Count != n) std::printf("(host pins: not read)\n");
    return ms;
}

// The running-light firmware drives eight LEDs on P2 of a board of 50 components (the example
// board, filled up with switch, LED and ground groups), unthrottled at 12 MHz: the achieved speed
// in percent of real time and instructions per second; the same firmware without a board for
// comparison.
void firmwareOnBoard() {
    const QString dir = QStringLiteral(BRELVAN_SOURCE_DIR "/examples/");
    const double simulatedMs = 5000;
    auto measure = [&](bool withBoard, int& components, quint64& accesses) {
        auto window = std::make_unique<TfrmPlugin>();
        TFirmwareRunner* runner = window->Firmware()->Runner();
        runner->SetFreeRunning(false);
        components = 0;
        if (withBoard) {
            window->LoadFromFile(dir + QStringLiteral("running_light.ovd"));
            TBoardSurface* board = window->Board();
            auto* vcc = qobject_cast<TVcc*>(board->FindOwnedName(QStringLiteral("VCC1")));
            auto* gnd = new TGND(board);
            gnd->SetName(QStringLiteral("BenchGND"));
            // Switches lighting LEDs from the supply, until the board holds 50 components.
            TSwitch* open = nullptr;
            for (int i = 0; board->OwnedComponents().size() < 50; ++i) {
                if (!open) {
                    open = new TSwitch(board);
                    open->SetName(QStringLiteral("BenchS%1").arg(i));
                    open->SetContact1(vcc ? vcc->Pin() : nullptr);
                    continue;
                }
                auto* led = new TLED(board);
                led->SetName(QStringLiteral("BenchL%1").arg(i));
                led->SetAnode(open->SwitchControl()->Contact2());
                led->SetCathode(gnd->Pin());
                open = nullptr;
            }
            components = int(board->OwnedComponents().size());
        }
        window->Firmware()->LoadFirmware(dir + QStringLiteral("firmware/running_light.ihx"));
        window->RunButton()->click();
        const quint64 instructions = runner->Core().Instructions();
        const quint64 before = runner->Bridge().AccessCount();
        QElapsedTimer timer;
        timer.start();
        runner->RunFor(simulatedMs);
        const double wallMs = double(timer.nsecsElapsed()) / 1e6;
        accesses = runner->Bridge().AccessCount() - before;
        const double ips = double(runner->Core().Instructions() - instructions) / (wallMs / 1000);
        window->RunButton()->click();
        return std::make_pair(simulatedMs / wallMs * 100.0, ips);
    };
    int components = 0;
    quint64 accesses = 0;
    const auto alone = measure(false, components, accesses);
    const auto board = measure(true, components, accesses);
    std::printf("Running-light firmware, 12 MHz, %.0f ms simulated, unthrottled\n", simulatedMs);
    std::printf("%-28s %9.0f %% of real time   %6.1f M instructions/s\n", "without a board",
                alone.first, alone.second / 1e6);
    std::printf("%-28s %9.0f %% of real time   %6.1f M instructions/s   (%llu host accesses)\n",
                QStringLiteral("board of %1 components").arg(components).toLatin1().constData(),
                board.first, board.second / 1e6, static_cast<unsigned long long>(accesses));
}

// n LEDs on one ground symbol; the probe with the left Ctrl key lists the ground node: n + 1 lines,
// sorted and laid out in the probe window.
double groundNodeListing(int n) {
    auto form = std::make_unique<BenchForm>();
    form->resize(800, 600);
    form->show();
    auto* gnd = new TGND(form->Board());
    gnd->SetName(QStringLiteral("GND1"));
    gnd->setGeometry(10, 10, 32, 32);
    gnd->show();
    for (int i = 0; i < n; ++i) {
        auto* led = new TLED(form->Board());
        led->SetName(QStringLiteral("LED%1").arg(i + 1));
        led->SetCathode(gnd->Pin());
    }
    form->TSimForm::BuildSchematic();
    ScopedKeyState keys;
    keys->leftCtrl = true;
    QElapsedTimer timer;
    timer.start();
    QMouseEvent move(QEvent::MouseMove, QPointF(16, 16), QPointF(gnd->mapToGlobal(QPoint(16, 16))),
                     Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(gnd, &move);
    static_cast<ManualClock&>(Clock()).Advance(500);
    const double ms = timer.nsecsElapsed() / 1e6;
    if (form->ProbeText().count(QStringLiteral("\r\n")) != n)
        std::printf("(the listing is incomplete)\n");
    return ms;
}

// The connection lines over a board of n switches in a grid, each wired to its left neighbour
// and half of them to a ground symbol (long lines across the board), medians of `runs`: finding
// the stubs and wires, the first paint of the lines (the wires found), a repaint of all lines, and
// through the event loop as a user has them (the board repainted where the lines changed): hovering
// a contact of a net of two and the ground pin's net of n contacts, and moving one switch.
struct WireTimings {
    double find = 0;
    double first = 0;
    double paint = 0;
    double hover = 0;
    double hoverGround = 0;
    double move = 0;
};

double wireMedian(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

WireTimings wireLines(int n, int runs) {
    WireTimings t;
    TfrmPlugin window;
    window.resize(1200, 900);
    TBoardSurface* board = window.Board();
    auto* gnd = new TGND(board);
    gnd->SetName(QStringLiteral("GND1"));
    gnd->setGeometry(4, 4, 32, 32);
    window.WireComponent(gnd);
    TSwitch* previous = nullptr;
    QList<TSwitch*> switches;
    for (int i = 0; i < n; ++i) {
        auto* sw = new TSwitch(board);
        sw->SetName(QStringLiteral("S%1").arg(i + 1));
        sw->setGeometry(40 + (i % 40) * 48, 40 + (i / 40) * 48, 32, 32);
        if (previous) sw->SetContact1(previous->SwitchControl()->Contact2());
        if (i % 2) sw->SetContact2(gnd->Pin());
        window.WireComponent(sw);
        switches.append(sw);
        previous = sw;
    }
    window.show();
    const auto settle = [] {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    };
    settle();
    TWireOverlay* overlay = window.WireOverlay();
    overlay->Follow();
    QImage image(overlay->size(), QImage::Format_ARGB32_Premultiplied);
    QElapsedTimer timer;
    std::vector<double> find, first, paint, hover, hoverGround, move;
    const auto hoverAt = [&](TOrvexGraphicComponent* component, QPointF at) {
        QMouseEvent event(QEvent::MouseMove, at, component->mapToGlobal(at), Qt::NoButton,
                          Qt::NoButton, Qt::NoModifier);
        timer.restart();
        QCoreApplication::sendEvent(component, &event);
        settle();
        return timer.nsecsElapsed() / 1e6;
    };
    TSwitch* middle = switches[n / 2 + 1]; // its first contact: wired to one other, not to ground
    const QPointF away(16, 4), contact1(0, 16);
    for (int run = 0; run < runs; ++run) {
        overlay->Invalidate();
        timer.restart();
        overlay->Collect();
        find.push_back(timer.nsecsElapsed() / 1e6);
        overlay->Invalidate();
        timer.restart();
        overlay->render(&image);
        first.push_back(timer.nsecsElapsed() / 1e6);
        timer.restart();
        overlay->render(&image);
        paint.push_back(timer.nsecsElapsed() / 1e6);
        if (overlay->Lines().size() < qsizetype(n) - 1) std::printf("(lines are missing)\n");
        settle();
        hover.push_back(hoverAt(middle, contact1));
        hoverAt(middle, away);
        hoverGround.push_back(hoverAt(gnd, QPointF(16, 2)));
        if (overlay->Highlight().size() < n / 2) std::printf("(no net)\n");
        hoverAt(gnd, QPointF(30, 30));
        const QPoint from = middle->pos();
        timer.restart();
        middle->move(from + QPoint(8, 8));
        settle();
        move.push_back(timer.nsecsElapsed() / 1e6);
        middle->move(from);
        settle();
    }
    t.find = wireMedian(find);
    t.first = wireMedian(first);
    t.paint = wireMedian(paint);
    t.hover = wireMedian(hover);
    t.hoverGround = wireMedian(hoverGround);
    t.move = wireMedian(move);
    return t;
}

void report(const char* what, double a, double b, int n) {
    std::printf("%-28s n=%-6d %9.1f ms   2n %9.1f ms   ratio %.2f\n", what, n, a, b,
                a > 0 ? b / a : 0.0);
}

} // namespace

void BenchMcs51();                           // mcs51bench.cpp
void BoardPathReport(const QString& filter); // boardpath.cpp
void DebuggerReport();                       // debugbench.cpp
void ScenarioRunnerReport(int runs);         // scenariobench.cpp
void TraceReport();                          // tracebench.cpp

int main(int argc, char* argv[]) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    SwitchOffOpaqueSiblingSearch(); // the figures are those of the program
    QApplication app(argc, argv);
    if (argc == 4 && std::strcmp(argv[1], "--open") == 0) return OpenFileChild(argv[2], argv[3]);
    ScopedDialogRecorder dialogs;
    ScopedManualClock clock;
    if (qEnvironmentVariableIsSet("BENCH_HOSTILE_ONLY")) {
        HostileInputReport(argv[0]);
        return 0;
    }
    const int n = argc > 1 ? std::atoi(argv[1]) : 5000;
    const int runs = qEnvironmentVariableIntValue("BENCH_RUNS") > 0
                         ? qEnvironmentVariableIntValue("BENCH_RUNS")
                         : 3;
    if (qEnvironmentVariableIsSet("BENCH_DEBUG_ONLY")) {
        TFirmwareUi::SetSettingsFile(QStringLiteral("-"));
        DebuggerReport();
        return 0;
    }
    if (qEnvironmentVariableIsSet("BENCH_TRACE_ONLY")) {
        TFirmwareUi::SetSettingsFile(QStringLiteral("-"));
        TraceReport();
        return 0;
    }
    if (qEnvironmentVariableIsSet("BENCH_BOARD_ONLY")) {
        TFirmwareUi::SetSettingsFile(QStringLiteral("-"));
        const QString filter = qEnvironmentVariable("BENCH_BOARD_ONLY");
        BoardPathReport(filter == u"1" ? QString() : filter);
        return 0;
    }
    if (qEnvironmentVariableIsSet("BENCH_RUNNER_ONLY")) {
        ScenarioRunnerReport(runs);
        return 0;
    }
    UserPathReport(runs);
    if (qEnvironmentVariableIsSet("BENCH_USER_ONLY")) return 0;
    ScenarioRunnerReport(runs);
    HostileInputReport(argv[0]);
    chainOfSwitches(100); // warm up caches (pictures, fonts)
    const Timings a = chainOfSwitches(n);
    const Timings b = chainOfSwitches(2 * n);
    std::printf("Chain of closed switches between Vcc and a bulb (%d and %d switches)\n", n, 2 * n);
    report("place and wire", a.place, b.place, n);
    report("build schematic + start", a.build, b.build, n);
    report("open and close one switch", a.press, b.press, n);
    report("stop and destroy", a.teardown, b.teardown, n);
    const int pins = argc > 2 ? std::atoi(argv[2]) : 4000;
    report("open a file of host pins", openHostPins(pins), openHostPins(2 * pins), pins);
    std::printf("%-28s %9.1f ms until the spread budget stops it\n", "inverter fed back on itself",
                oscillatingInverter());
    editingSteps(100);
    const EditTimings ea = editingSteps(n);
    const EditTimings eb = editingSteps(2 * n);
    std::printf("Editing a chain of %d and %d wired switches\n", n, 2 * n);
    report("select (grid rows)", ea.select, eb.select, n);
    report("grid write + undo step", ea.write, eb.write, n);
    report("undo of the write", ea.undo, eb.undo, n);
    report("delete one (undo step)", ea.remove, eb.remove, n);
    report("undo of the delete", ea.restore, eb.restore, n);
    wireLines(100, 1);
    const WireTimings wa = wireLines(1000, runs);
    const WireTimings wb = wireLines(2000, runs);
    std::printf("Connection lines over 1000 and 2000 wired switches (medians of %d runs)\n", runs);
    report("find stubs and wires", wa.find, wb.find, 1000);
    report("first paint of the lines", wa.first, wb.first, 1000);
    report("repaint all lines", wa.paint, wb.paint, 1000);
    report("hover: net of 2, repaint", wa.hover, wb.hover, 1000);
    report("hover: net of ground, repaint", wa.hoverGround, wb.hoverGround, 1000);
    report("move a switch, repaint", wa.move, wb.move, 1000);
    report("Ctrl probe of a node", groundNodeListing(n), groundNodeListing(2 * n), n);
    BenchMcs51();
    TFirmwareUi::SetSettingsFile(QStringLiteral("-"));
    firmwareOnBoard();
    BoardPathReport({});
    DebuggerReport();
    TraceReport();
    return 0;
}
