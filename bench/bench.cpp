// Measures how building and running a board scales with its size. Each figure is printed for n
// and 2n components with their ratio: about 2 means linear, about 4 quadratic.
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QUndoStack>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>
#include <vector>

#include "components/gates.h"
#include "components/leds.h"
#include "components/pins.h"
#include "components/switches.h"
#include "editor/boardfile.h"
#include "editor/brelvanfrm.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "platform/keystate.h"
#include "properties/brelvanprop.h"
#include "properties/propertyeditor.h"
#include "simulation/simform.h"

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

// ---------------------------------------------------------------- through the user's paths
// The main window as a user has it: the file is opened with LoadFromFile, Run goes through the
// button, switches are clicked with the mouse, and the event loop runs after each step so that
// the repaints and posted events it queued are counted too.

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

void settle() {
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
}

long residentKiB() {
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly)) return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toLong() * 4 : 0;
}

QString block(const QString& header, const QStringList& lines) {
    return header + QStringLiteral("\n") + lines.join(QStringLiteral("\n")) +
           QStringLiteral("\nend\n");
}

QString geometry(int i, int columns) {
    return QStringLiteral("  Left = %1\n  Top = %2\n  Width = 32\n  Height = 32")
        .arg((i % columns) * 40 + 8)
        .arg((i / columns) * 40 + 8);
}

// Groups of Vcc, closed-by-click switch, LED and GND: n components in all.
QString groupsBoard(int n) {
    QString text;
    for (int g = 0; g < n / 4; ++g) {
        const int i = g * 4;
        text += block(QStringLiteral("object V%1: TVcc").arg(g), {geometry(i, 100)});
        text += block(QStringLiteral("object S%1: TSwitch").arg(g),
                      {QStringLiteral("  HasAretation = True"),
                       QStringLiteral("  Contact1 = V%1.Pin").arg(g), geometry(i + 1, 100)});
        text += block(QStringLiteral("object L%1: TLED").arg(g),
                      {QStringLiteral("  Anode = S%1.Contact2").arg(g),
                       QStringLiteral("  Cathode = G%1.Pin").arg(g), geometry(i + 2, 100)});
        text += block(QStringLiteral("object G%1: TGND").arg(g), {geometry(i + 3, 100)});
    }
    return text;
}

// Vcc, a chain of n latching switches, an LED and GND.
QString chainBoard(int n) {
    QString text = block(QStringLiteral("object V1: TVcc"), {geometry(0, 100)});
    for (int i = 1; i <= n; ++i) {
        const QString from =
            i == 1 ? QStringLiteral("V1.Pin") : QStringLiteral("S%1.Contact2").arg(i - 1);
        text += block(QStringLiteral("object S%1: TSwitch").arg(i),
                      {QStringLiteral("  HasAretation = True"),
                       QStringLiteral("  Contact1 = %1").arg(from), geometry(i, 100)});
    }
    text += block(QStringLiteral("object L1: TLED"),
                  {QStringLiteral("  Anode = S%1.Contact2").arg(n),
                   QStringLiteral("  Cathode = G1.Pin"), geometry(n + 1, 100)});
    text += block(QStringLiteral("object G1: TGND"), {geometry(n + 2, 100)});
    return text;
}

// One Vcc and one GND with n LEDs between them, laid out to fill a 1,700 x 1,000 window.
QString litBoard(int n) {
    QString text = block(QStringLiteral("object V1: TVcc"), {geometry(0, 42)});
    text += block(QStringLiteral("object G1: TGND"), {geometry(1, 42)});
    for (int i = 0; i < n; ++i)
        text += block(QStringLiteral("object L%1: TLED").arg(i),
                      {QStringLiteral("  Anode = V1.Pin"), QStringLiteral("  Cathode = G1.Pin"),
                       geometry(i + 2, 42)});
    return text;
}

QString writeBoard(const QTemporaryDir& dir, const QString& name, const QString& text) {
    const QString path = dir.filePath(name);
    QFile file(path);
    if (file.open(QIODevice::WriteOnly)) file.write(text.toUtf8());
    return path;
}

struct UserTimings {
    double open = 0, runOn = 0, runOff = 0, destroy = 0;
};

UserTimings userPaths(const QString& path, int n) {
    UserTimings t;
    TfrmPlugin window;
    window.resize(1200, 800);
    window.show();
    settle();
    QElapsedTimer timer;
    timer.start();
    window.LoadFromFile(path);
    settle();
    t.open = timer.nsecsElapsed() / 1e6;
    if (window.Board()->OwnedComponents().size() != n) std::printf("(the board did not open)\n");
    timer.restart();
    window.RunButton()->click();
    settle();
    t.runOn = timer.nsecsElapsed() / 1e6;
    if (!window.Running()) std::printf("(Run did not start)\n");
    timer.restart();
    window.RunButton()->click();
    settle();
    t.runOff = timer.nsecsElapsed() / 1e6;
    timer.restart();
    window.ClearBoard();
    settle();
    t.destroy = timer.nsecsElapsed() / 1e6;
    return t;
}

// Clicks every switch of the chain closed while running, then times clicks on the first one:
// each click opens or closes the whole chain.
double chainToggle(const QString& path, int n) {
    TfrmPlugin window;
    window.resize(1200, 800);
    window.show();
    window.LoadFromFile(path);
    window.RunButton()->click();
    settle();
    TBoardSurface* board = window.Board();
    for (int i = 1; i <= n; ++i) {
        auto* sw = qobject_cast<TOrvexSwitch*>(board->FindOwnedName(QStringLiteral("S%1").arg(i)));
        if (sw) sw->SwitchControl()->SetClosed(true);
    }
    auto* first = qobject_cast<TOrvexSwitch*>(board->FindOwnedName(QStringLiteral("S1")));
    auto* led = qobject_cast<TOrvexGraphicComponent*>(board->FindOwnedName(QStringLiteral("L1")));
    first->SwitchControl()->SetClosed(false);
    QTest::mouseClick(first, Qt::LeftButton, {}, first->rect().center()); // closes the chain
    settle();
    if (!led->Control()->Lit()) std::printf("(the chain does not light its LED)\n");
    std::vector<double> times;
    QElapsedTimer timer;
    for (int i = 0; i < 6; ++i) {
        timer.restart();
        QTest::mouseClick(first, Qt::LeftButton, {}, first->rect().center());
        settle();
        times.push_back(timer.nsecsElapsed() / 1e6);
    }
    if (!led->Control()->Lit()) std::printf("(the chain does not light its LED)\n");
    window.RunButton()->click();
    window.ClearBoard();
    return median(times);
}

double litRepaint(const QString& path, int n) {
    TfrmPlugin window;
    window.resize(1700, 1100);
    window.show();
    window.LoadFromFile(path);
    window.RunButton()->click();
    settle();
    auto* led = qobject_cast<TOrvexGraphicComponent*>(
        window.Board()->FindOwnedName(QStringLiteral("L%1").arg(n - 1)));
    if (!led || !led->Control()->Lit()) std::printf("(the LEDs are not lit)\n");
    std::vector<double> times;
    QElapsedTimer timer;
    for (int i = 0; i < 9; ++i) {
        timer.restart();
        window.Board()->repaint();
        times.push_back(timer.nsecsElapsed() / 1e6);
    }
    window.RunButton()->click();
    window.ClearBoard();
    return median(times);
}

double startUp() {
    QElapsedTimer timer;
    timer.start();
    TfrmPlugin window;
    window.show();
    settle();
    return timer.nsecsElapsed() / 1e6;
}

void userReport(const char* what, const std::vector<int>& sizes,
                const std::function<double(int)>& measure, int runs) {
    std::vector<double> figures;
    std::printf("%-28s", what);
    for (int n : sizes) {
        std::vector<double> times;
        for (int r = 0; r < runs; ++r)
            times.push_back(measure(n));
        figures.push_back(median(times));
        std::printf("  n=%-6d %8.1f ms", n, figures.back());
    }
    if (figures.size() > 1 && figures[figures.size() - 2] > 0)
        std::printf("   ratio %.2f", figures.back() / figures[figures.size() - 2]);
    std::printf("\n");
}

void userPathReport(int runs) {
    QTemporaryDir dir;
    std::printf("Through the user's paths (medians of %d runs)\n", runs);
    const std::vector<int> sizes{1000, 10000, 20000};
    std::map<int, QString> files;
    for (int n : sizes)
        files[n] = writeBoard(dir, QStringLiteral("groups%1.ovd").arg(n), groupsBoard(n));
    std::map<int, std::vector<UserTimings>> timings;
    for (int r = 0; r < runs; ++r)
        for (int n : sizes)
            timings[n].push_back(userPaths(files[n], n));
    auto row = [&](const char* what, double UserTimings::*field) {
        std::vector<double> figures;
        std::printf("%-28s", what);
        for (int n : sizes) {
            std::vector<double> values;
            for (const UserTimings& t : timings[n])
                values.push_back(t.*field);
            figures.push_back(median(values));
            std::printf("  n=%-6d %8.1f ms", n, figures.back());
        }
        std::printf("   ratio %.2f\n", figures[1] > 0 ? figures[2] / figures[1] : 0.0);
    };
    row("open file", &UserTimings::open);
    row("Run on (button)", &UserTimings::runOn);
    row("Run off (button)", &UserTimings::runOff);
    row("destroy (New)", &UserTimings::destroy);
    const QString chain1k = writeBoard(dir, QStringLiteral("chain1000.ovd"), chainBoard(1000));
    const QString chain10k = writeBoard(dir, QStringLiteral("chain10000.ovd"), chainBoard(10000));
    userReport(
        "toggle a switch chain", {1000, 10000},
        [&](int n) { return chainToggle(n == 1000 ? chain1k : chain10k, n); }, 1);
    const QString lit = writeBoard(dir, QStringLiteral("lit.ovd"), litBoard(1000));
    userReport(
        "repaint 1,000 lit LEDs", {1000}, [&](int n) { return litRepaint(lit, n); }, runs);
    userReport(
        "start-up to a shown window", {0}, [](int) { return startUp(); }, runs);
    {
        const long before = residentKiB();
        TfrmPlugin window;
        window.LoadFromFile(files[10000]);
        settle();
        const long after = residentKiB();
        std::printf("%-28s  %.2f KiB per component (10,000 opened)\n", "memory",
                    (after - before) / 10000.0);
        window.ClearBoard();
    }
}

void report(const char* what, double a, double b, int n) {
    std::printf("%-28s n=%-6d %9.1f ms   2n %9.1f ms   ratio %.2f\n", what, n, a, b,
                a > 0 ? b / a : 0.0);
}

} // namespace

int main(int argc, char* argv[]) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ScopedDialogRecorder dialogs;
    ScopedManualClock clock;
    const int n = argc > 1 ? std::atoi(argv[1]) : 5000;
    const int runs = qEnvironmentVariableIntValue("BENCH_RUNS") > 0
                         ? qEnvironmentVariableIntValue("BENCH_RUNS")
                         : 3;
    userPathReport(runs);
    if (qEnvironmentVariableIsSet("BENCH_USER_ONLY")) return 0;
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
    report("Ctrl probe of a node", groundNodeListing(n), groundNodeListing(2 * n), n);
    editingSteps(100);
    const EditTimings ea = editingSteps(n);
    const EditTimings eb = editingSteps(2 * n);
    std::printf("Editing a chain of %d and %d wired switches\n", n, 2 * n);
    report("select (grid rows)", ea.select, eb.select, n);
    report("grid write + undo step", ea.write, eb.write, n);
    report("undo of the write", ea.undo, eb.undo, n);
    report("delete one (undo step)", ea.remove, eb.remove, n);
    report("undo of the delete", ea.restore, eb.restore, n);
    return 0;
}
