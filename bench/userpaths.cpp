// Figures through the paths a user takes: the main window is shown, a file is opened with
// LoadFromFile, Run goes through the button, switches are clicked with the mouse, and the event
// loop runs after each step so that the repaints and posted events it queued are counted too.
// BENCH_RUNS sets how many runs each median takes.
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <malloc.h>
#include <map>
#include <vector>

#include "components/leds.h"
#include "components/switches.h"
#include "editor/brelvanfrm.h"

namespace {

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

// Heap bytes in use: the resident size does not grow once earlier runs have left freed memory
// in the heap, so it would count nothing.
double heapKiB() {
    return mallinfo2().uordblks / 1024.0;
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

// A switch to ground feeding a chain of n inverters, the last one lighting an LED.
QString gateBoard(int n) {
    QString text = block(QStringLiteral("object G1: TGND"), {geometry(0, 100)});
    text += block(QStringLiteral("object S1: TSwitch"),
                  {QStringLiteral("  HasAretation = True"), QStringLiteral("  Contact2 = G1.Pin"),
                   geometry(1, 100)});
    for (int i = 1; i <= n; ++i) {
        const QString from =
            i == 1 ? QStringLiteral("S1.Contact1") : QStringLiteral("I%1.Output").arg(i - 1);
        text += block(QStringLiteral("object I%1: TInvertor").arg(i),
                      {QStringLiteral("  Input = %1").arg(from), geometry(i + 1, 100)});
    }
    text += block(QStringLiteral("object L1: TLED"),
                  {QStringLiteral("  Anode = I%1.Output").arg(n),
                   QStringLiteral("  Cathode = G1.Pin"), geometry(n + 2, 100)});
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

// The window shown at the given size with the file opened and running.
void openAndRun(TfrmPlugin& window, const QString& path, QSize size) {
    window.resize(size);
    window.show();
    window.LoadFromFile(path);
    window.RunButton()->click();
    settle();
}

// Times clicks on the widget, each with the repaints it queued; `after` sees every click end.
// BENCH_TOGGLES raises the number of clicks, for a profiler.
double clickMedian(QWidget* widget, const std::function<void()>& after = {}) {
    std::vector<double> times;
    QElapsedTimer timer;
    const int clicks = std::max(6, qEnvironmentVariableIntValue("BENCH_TOGGLES"));
    for (int i = 0; i < clicks; ++i) {
        timer.restart();
        QTest::mouseClick(widget, Qt::LeftButton, {}, widget->rect().center());
        settle();
        times.push_back(timer.nsecsElapsed() / 1e6);
        if (after) after();
    }
    return median(times);
}

// Clicks every switch of the chain closed while running, then times clicks on the first one:
// each click opens or closes the whole chain.
double chainToggle(const QString& path, int n) {
    TfrmPlugin window;
    openAndRun(window, path, {1200, 800});
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
    const double ms = clickMedian(first);
    window.RunButton()->click();
    window.ClearBoard();
    return ms;
}

// Clicks the switch in front of the inverter chain while running: every click spreads a new
// level through all of it.
double gateSpread(const QString& path) {
    TfrmPlugin window;
    openAndRun(window, path, {1200, 800});
    auto* sw = qobject_cast<TOrvexSwitch*>(window.Board()->FindOwnedName(QStringLiteral("S1")));
    auto* led =
        qobject_cast<TOrvexGraphicComponent*>(window.Board()->FindOwnedName(QStringLiteral("L1")));
    bool lit = led->Control()->Lit();
    bool changes = true;
    const double ms = clickMedian(sw, [&] {
        changes = changes && led->Control()->Lit() != lit;
        lit = led->Control()->Lit();
    });
    if (!changes) std::printf("(the LED does not follow the switch)\n");
    window.RunButton()->click();
    window.ClearBoard();
    return ms;
}

double litRepaint(const QString& path, int n) {
    TfrmPlugin window;
    openAndRun(window, path, {1700, 1100});
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

} // namespace

void UserPathReport(int runs) {
    QTemporaryDir dir;
    std::printf("Through the user's paths (medians of %d runs)\n", runs);
    // BENCH_PART=paths|toggle|gates|repaint|startup|memory runs one part alone (for a profiler).
    const QString part = qEnvironmentVariable("BENCH_PART");
    const auto wanted = [&](const char* name) {
        return part.isEmpty() || part == QLatin1String(name);
    };
    const std::vector<int> sizes{1000, 10000, 20000};
    std::map<int, QString> files;
    for (int n : sizes)
        files[n] = writeBoard(dir, QStringLiteral("groups%1.ovd").arg(n), groupsBoard(n));
    std::map<int, std::vector<UserTimings>> timings;
    for (int r = 0; r < runs && wanted("paths"); ++r)
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
    if (wanted("paths")) {
        row("open file", &UserTimings::open);
        row("Run on (button)", &UserTimings::runOn);
        row("Run off (button)", &UserTimings::runOff);
        row("destroy (New)", &UserTimings::destroy);
    }
    const QString chain1k = writeBoard(dir, QStringLiteral("chain1000.ovd"), chainBoard(1000));
    const QString chain10k = writeBoard(dir, QStringLiteral("chain10000.ovd"), chainBoard(10000));
    if (wanted("toggle"))
        userReport(
            "toggle a switch chain", {1000, 10000},
            [&](int n) { return chainToggle(n == 1000 ? chain1k : chain10k, n); }, runs);
    if (wanted("gates")) {
        const QString gates1k = writeBoard(dir, QStringLiteral("gates1000.ovd"), gateBoard(1000));
        const QString gates10k =
            writeBoard(dir, QStringLiteral("gates10000.ovd"), gateBoard(10000));
        userReport(
            "spread through inverters", {1000, 10000},
            [&](int n) { return gateSpread(n == 1000 ? gates1k : gates10k); }, runs);
    }
    const QString lit = writeBoard(dir, QStringLiteral("lit.ovd"), litBoard(1000));
    if (wanted("repaint"))
        userReport(
            "repaint 1,000 lit LEDs", {1000}, [&](int n) { return litRepaint(lit, n); }, runs);
    if (wanted("startup"))
        userReport(
            "start-up to a shown window", {0}, [](int) { return startUp(); }, runs);
    if (wanted("memory")) {
        const double before = heapKiB();
        TfrmPlugin window;
        window.LoadFromFile(files[10000]);
        settle();
        const double after = heapKiB();
        std::printf("%-28s  %.2f KiB per component (10,000 opened)\n", "memory",
                    (after - before) / 10000.0);
        window.ClearBoard();
    }
}
