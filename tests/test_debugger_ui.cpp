// The debugger's window parts, driven through their models and actions: the code view and its
// breakpoint gutter, stopping and stepping with the board live, memory and variable edits, the
// changed-byte highlight, reloading a rebuilt firmware, falling back to disassembly, the keys.
#include <QAction>
#include <QDockWidget>
#include <QFile>
#include <QMap>
#include <QMenu>
#include <QRegularExpression>
#include <QScrollBar>
#include <QStatusBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>
#include <memory>

#include "components/leds.h"
#include "editor/brelvanfrm.h"
#include "editor/codeview.h"
#include "editor/debuggerui.h"
#include "editor/debugviews.h"
#include "editor/firmwarerunner.h"
#include "editor/firmwareui.h"
#include "editor/memoryview.h"
#include "host/mcs51.h"
#include "tests/support/windowfixture.h"

namespace {

const QString Examples = QStringLiteral(BRELVAN_SOURCE_DIR "/examples/");
const QString DebugParts[] = {QStringLiteral("ihx"), QStringLiteral("cdb"), QStringLiteral("rst"),
                              QStringLiteral("map")};

// The address of a C line's first instruction as the compiler's own listing gives it.
int listedAddress(const QString& rstFile, int line) {
    QFile file(rstFile);
    if (!file.open(QIODevice::ReadOnly)) return -1;
    const QStringList lines = QString::fromLatin1(file.readAll()).split(QLatin1Char('\n'));
    const QString marker = QStringLiteral("debugger.c:%1:").arg(line);
    static const QRegularExpression code(QStringLiteral("^\\s+([0-9A-F]{6}) [0-9A-F]{2}"));
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (!lines[i].contains(marker)) continue;
        for (qsizetype j = i + 1; j < lines.size(); ++j) {
            const QRegularExpressionMatch match = code.match(lines[j]);
            if (match.hasMatch()) return match.captured(1).toInt(nullptr, 16);
        }
    }
    return -1;
}

// The example board with its firmware, the debug files beside it; the firmware runs only when
// told to.
struct Debugging : WindowFixture {
    Debugging() : WindowFixture(QSize(1000, 700)) {}
    TFirmwareRunner* runner() const { return window->Firmware()->Runner(); }
    TDebuggerUi* debugger() const { return window->Debugger(); }
    TCodeModel* code() const { return debugger()->CodeView()->Model(); }
    mcs51::Core& core() const { return runner()->Core(); }
    bool open(const QString& firmware) {
        if (!window->Firmware()->LoadFirmware(firmware)) return false;
        runner()->SetFreeRunning(false);
        return true;
    }
    void run() {
        if (!window->Running()) window->RunButton()->click();
    }
    int rowOfLine(int line) const {
        return code()->RowOfLine(debugger()->Program().FileIndex(QStringLiteral("debugger.c")),
                                 line);
    }
    // Runs until the firmware stops (a breakpoint or a step); false when it did not in `ms`.
    bool runToStop(double ms = 200) { return runner()->RunUntilStopped(ms); }
    // A step ends at once when it can; else it runs on until it is done.
    bool finishStep(double ms = 200) {
        if (runner()->CurrentState() == TFirmwareRunner::State::Paused) return true;
        return runToStop(ms);
    }
    bool lit(const char* segment) const {
        auto* digit = find<TDispSeg>(QStringLiteral("Digit"));
        const QByteArray name = QByteArray("Segment_") + segment;
        auto* control = digit->property(name.constData()).value<TDiodeCtl*>();
        return control && control->Lit();
    }
};

// A copy of the example's firmware and debug files in a scratch folder (with the source unless
// told not to).
QString copyExample(const QTemporaryDir& dir, bool withSource = true) {
    for (const QString& part : DebugParts)
        QFile::copy(Examples + QStringLiteral("firmware/debugger.") + part,
                    dir.filePath(QStringLiteral("debugger.") + part));
    if (withSource)
        QFile::copy(Examples + QStringLiteral("firmware/debugger.c"),
                    dir.filePath(QStringLiteral("debugger.c")));
    // The copies are as new as each other: the debug files are not older than the firmware.
    const QDateTime now = QDateTime::currentDateTime();
    for (const QString& part : DebugParts) {
        QFile file(dir.filePath(QStringLiteral("debugger.") + part));
        if (file.open(QIODevice::ReadWrite))
            file.setFileTime(now, QFileDevice::FileModificationTime);
    }
    return dir.filePath(QStringLiteral("debugger.ihx"));
}

} // namespace

class TestDebuggerUi : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        m_settings = std::make_unique<QTemporaryDir>();
        TFirmwareUi::SetSettingsFile(m_settings->filePath(QStringLiteral("brelvan.ini")));
    }
    // Each test starts without remembered breakpoints.
    void init() { QFile::remove(m_settings->filePath(QStringLiteral("brelvan.ini"))); }

    // A click in the gutter of a source line sets the breakpoint at the line's first instruction
    // as the compiler listed it; Run stops there, the code view marks that line, and a second
    // click clears it.
    void gutterBreakpointStopsOnItsLine_data() {
        QTest::addColumn<int>("line");
        QTest::newRow("main loop") << 69;
        QTest::newRow("Timer 0 handler") << 28;
        QTest::newRow("called function") << 46;
    }
    void gutterBreakpointStopsOnItsLine() {
        QFETCH(int, line);
        Debugging e;
        e.window->OpenFile(Examples + QStringLiteral("debugger.ovd"));
        QVERIFY(e.open(Examples + QStringLiteral("firmware/debugger.ihx")));
        QVERIFY2(e.debugger()->Program().HasSource(), qPrintable(e.debugger()->Program().Reason));
        const int address = listedAddress(Examples + QStringLiteral("firmware/debugger.rst"), line);
        QVERIFY(address > 0);
        const int row = e.rowOfLine(line);
        QVERIFY(row >= 0);
        e.debugger()->ToggleBreakpointAtRow(row);
        QVERIFY(e.core().HasBreakpoint(uint16_t(address)));
        QVERIFY(e.code()
                    ->data(e.code()->index(row, TCodeModel::Gutter), Qt::DisplayRole)
                    .toString()
                    .contains(QChar(0x25CF)));
        e.run();
        QVERIFY(e.runToStop());
        QCOMPARE(int(e.core().PC()), address);
        QCOMPARE(e.code()->CurrentRow(), row);
        QVERIFY(e.debugger()->CodeDock()->isVisibleTo(e.window.get()));
        // Mixed and disassembly mark the instruction itself.
        for (const TCodeModel::Mode mode :
             {TCodeModel::Mode::Mixed, TCodeModel::Mode::Disassembly}) {
            e.debugger()->CodeView()->SetMode(mode);
            QVERIFY(e.code()->CurrentRow() >= 0);
            QCOMPARE(e.code()->RowAt(e.code()->CurrentRow()).Address, address);
        }
        e.debugger()->CodeView()->SetMode(TCodeModel::Mode::Source);
        e.debugger()->ToggleBreakpointAtRow(row);
        QVERIFY(!e.core().HasBreakpoint(uint16_t(address)));
    }

    // Run to cursor stops at the cursor's line, and only there.
    void runToCursor() {
        Debugging e;
        QVERIFY(e.open(Examples + QStringLiteral("firmware/debugger.ihx")));
        e.run();
        e.runner()->RunFor(25);
        e.window->Firmware()->PauseAction()->trigger();
        const int address = listedAddress(Examples + QStringLiteral("firmware/debugger.rst"), 30);
        QTableView* table = e.debugger()->CodeView()->Table();
        table->setCurrentIndex(e.code()->index(e.rowOfLine(30), TCodeModel::Text));
        e.debugger()->RunToCursor();
        QVERIFY(e.finishStep(1000)); // half_second = 1: at the 50th tick
        QCOMPARE(int(e.core().PC()), address);
        // The 50th tick: each is 10 ms and the handler's latency before it reloads the timer.
        QVERIFY2(e.runner()->SimulatedMs() > 500 && e.runner()->SimulatedMs() < 510,
                 qPrintable(QString::number(e.runner()->SimulatedMs())));
        // No breakpoint is left behind.
        QCOMPARE(e.debugger()->BreakpointList()->rowCount(), 0);
        QVERIFY(!e.runToStop(600));
    }

    // A line without code takes the breakpoint on the next line that has some, and says so.
    void breakpointOnLineWithoutCodeMoves() {
        Debugging e;
        QVERIFY(e.open(Examples + QStringLiteral("firmware/debugger.ihx")));
        const int blank = 49; // between show_digit and main
        const int row = e.rowOfLine(blank);
        QVERIFY(row >= 0);
        e.debugger()->ToggleBreakpointAtRow(row);
        QVERIFY2(e.debugger()->LastNote().contains(QStringLiteral("moved to line")),
                 qPrintable(e.debugger()->LastNote()));
        QCOMPARE(e.window->statusBar()->currentMessage(), e.debugger()->LastNote());
    }

    // Step over a call lands on the next line and the board shows what the call wrote; editing
    // a variable while stopped changes what the firmware shows next.
    void stepOverUpdatesBoardAndVariableEditShows() {
        Debugging e;
        e.window->OpenFile(Examples + QStringLiteral("debugger.ovd"));
        QVERIFY(e.open(Examples + QStringLiteral("firmware/debugger.ihx")));
        e.debugger()->ToggleBreakpointAtRow(e.rowOfLine(70)); // shown = show_digit(...) in the else
        e.run();
        QVERIFY(e.runToStop());
        e.debugger()->ToggleBreakpointAtRow(e.rowOfLine(70));
        // The pins stand high from reset (every segment lit); presses is 0: the display shows 0
        // once the call is done.
        TVariablesModel* variables = e.debugger()->Variables();
        QVERIFY(e.lit("G"));
        e.debugger()->StepOver();
        QVERIFY(e.finishStep());
        // Back at the loop's top: `if (half_second)` and the statement it guards share one JBC
        // instruction, which the line table gives to the statement.
        QCOMPARE(e.code()->RowAt(e.code()->CurrentRow()).Line, 64);
        QVERIFY(e.lit("A") && e.lit("F") && !e.lit("G"));
        TSfrModel* sfrs = e.debugger()->MemoryView()->Sfrs();
        QVERIFY(sfrs->Changed(TSfrModel::RowOf(mcs51::sfr::P1)));
        QVERIFY(!sfrs->Changed(TSfrModel::RowOf(mcs51::sfr::TMOD)));
        // 7 presses: the loop sees the digit is stale and shows 7 (segments a, b, c).
        const int ticks = variables->RowOf(QStringLiteral("ticks"));
        QVERIFY(ticks >= 0);
        QVERIFY(variables->setData(variables->index(ticks, TVariablesModel::Value),
                                   QStringLiteral("1234"), Qt::EditRole));
        mcs51::Location where;
        QString error;
        QVERIFY2(e.debugger()->Watch()->Locate(QStringLiteral("stats.presses"), &where, &error),
                 qPrintable(error));
        QCOMPARE(int(e.core().Iram()[where.address]), 0);
        e.debugger()->Watch()->Add(QStringLiteral("stats.presses"));
        const QModelIndex watched = e.debugger()->Watch()->index(0, TWatchModel::Value);
        QVERIFY(e.debugger()->Watch()->setData(watched, QStringLiteral("7"), Qt::EditRole));
        QCOMPARE(int(e.core().Iram()[where.address]), 7);
        QVERIFY(variables->data(variables->index(ticks, TVariablesModel::Value), Qt::DisplayRole)
                    .toString()
                    .startsWith(QStringLiteral("1234")));
        e.debugger()->ToggleBreakpointAtRow(e.rowOfLine(47)); // return pattern
        e.debugger()->Continue();
        QVERIFY(e.runToStop());
        QVERIFY(e.lit("A") && e.lit("B") && e.lit("C") && !e.lit("D") && !e.lit("G"));
        // The call stack: the function, then its caller.
        const mcs51::CallStack& stack = e.debugger()->CallStack()->Stack();
        QVERIFY(stack.frames.size() >= 2);
        QCOMPARE(QString::fromStdString(stack.frames[0].function), QStringLiteral("show_digit"));
        QCOMPARE(QString::fromStdString(stack.frames[1].function), QStringLiteral("main"));
        // Not written while running.
        e.debugger()->Continue();
        QVERIFY(!e.debugger()->Watch()->setData(watched, QStringLiteral("3"), Qt::EditRole));
    }

    // A data breakpoint on a variable, as asked for: Run stops when the firmware writes it;
    // a name that is nothing is refused with its reason.
    void dataBreakpointOnVariable() {
        Debugging e;
        QVERIFY(e.open(Examples + QStringLiteral("firmware/debugger.ihx")));
        e.dialogs->inputAnswers = {QStringLiteral("nothing_here")};
        e.debugger()->AddDataBreakpointClick();
        QVERIFY(e.runner()->Debugger().DataBreakpoints().empty());
        QVERIFY2(e.dialogs->LastText().contains(QStringLiteral("nothing_here")),
                 qPrintable(e.dialogs->LastText()));
        e.dialogs->inputAnswers = {QStringLiteral("ticks")};
        e.dialogs->choiceAnswers = {0}; // written
        e.debugger()->AddDataBreakpointClick();
        QCOMPARE(e.runner()->Debugger().DataBreakpoints().size(), size_t(1));
        QCOMPARE(e.debugger()->BreakpointList()->rowCount(), 1);
        e.run();
        // The start-up code clears it first; then the handler's increment at the first tick.
        int stops = 0;
        do {
            QVERIFY(e.runToStop(50));
            QVERIFY2(e.runner()->StopReason().contains(QStringLiteral("ticks")),
                     qPrintable(e.runner()->StopReason()));
        } while (e.runner()->SimulatedMs() < 9 && ++stops < 5);
        QVERIFY(e.runner()->SimulatedMs() > 9 && e.runner()->SimulatedMs() < 11);
    }

    // Memory edits reach the core only while stopped; each space writes its own memory.
    void memoryEditChangesCore_data() {
        QTest::addColumn<int>("space");
        QTest::addColumn<int>("address");
        QTest::newRow("internal RAM") << int(TMemoryModel::Space::Iram) << 0x30;
        QTest::newRow("external RAM") << int(TMemoryModel::Space::Xram) << 0x1234;
        QTest::newRow("code") << int(TMemoryModel::Space::Code) << 0x4000;
    }
    void memoryEditChangesCore() {
        QFETCH(int, space);
        QFETCH(int, address);
        mcs51::Core core;
        TMemoryModel model(core, TMemoryModel::Space(space));
        const QModelIndex cell = model.IndexOf(address);
        QVERIFY(!model.setData(cell, QStringLiteral("5A"), Qt::EditRole));
        model.SetEditable(true);
        QVERIFY(!model.setData(cell, QStringLiteral("1FF"), Qt::EditRole));
        QVERIFY(model.setData(cell, QStringLiteral("5A"), Qt::EditRole));
        const uint8_t* memory = space == 0 ? core.Iram() : space == 1 ? core.Xram() : core.Code();
        QCOMPARE(int(memory[address]), 0x5A);
        QCOMPARE(model.data(model.index(address / 16, TMemoryModel::AsciiColumn), Qt::DisplayRole)
                     .toString()
                     .at(address % 16),
                 QChar(u'Z'));
    }

    void sfrEditByName() {
        mcs51::Core core;
        TSfrModel model(core);
        const int row = model.RowOf(mcs51::sfr::TMOD);
        QCOMPARE(model.data(model.index(row, 1), Qt::DisplayRole).toString(),
                 QStringLiteral("TMOD"));
        model.SetEditable(true);
        QVERIFY(model.setData(model.index(row, 2), QStringLiteral("0x21"), Qt::EditRole));
        QCOMPARE(int(core.Sfr(mcs51::sfr::TMOD)), 0x21);
    }

    // A byte is marked while it differs from what it held at the stop before the last.
    void changedBytesHighlighted() {
        mcs51::Core core;
        TMemoryModel model(core, TMemoryModel::Space::Xram);
        model.MarkStop();
        core.Xram()[0x10] = 0x42;
        model.MarkStop();
        QVERIFY(model.Changed(0x10));
        QVERIFY(!model.Changed(0x11));
        QVERIFY(model.data(model.IndexOf(0x10), Qt::BackgroundRole).isValid());
        model.MarkStop(); // a stop without changes in between
        QVERIFY(!model.Changed(0x10));
        QVERIFY(!model.data(model.IndexOf(0x10), Qt::BackgroundRole).isValid());
    }

    // Opened beside the variables, the memory shows all sixteen byte columns and the text
    // without scrolling sideways.
    void memoryDockShowsEveryColumn() {
        Debugging e;
        e.window->resize(1280, 800);
        QVERIFY(e.open(Examples + QStringLiteral("firmware/debugger.ihx")));
        e.window->findChild<QAction*>(QStringLiteral("miVariables"))->trigger();
        e.window->findChild<QAction*>(QStringLiteral("miMemory"))->trigger();
        auto* dock = e.window->findChild<QDockWidget*>(QStringLiteral("MemoryDock"));
        auto* variables = e.window->findChild<QDockWidget*>(QStringLiteral("VariablesDock"));
        QVERIFY(dock && variables);
        QTRY_VERIFY(dock->isVisible() && variables->isVisible());
        QTableView* grid = e.debugger()->MemoryView()->Grid();
        QTRY_COMPARE(grid->horizontalScrollBar()->maximum(), 0);
        QVERIFY(dock->width() < e.window->width() * 2 / 3);
    }

    void memoryGoTo_data() {
        QTest::addColumn<QString>("where");
        QTest::addColumn<int>("space");
        QTest::addColumn<int>("row");
        QTest::addColumn<bool>("ok");
        QTest::newRow("hex in the shown space") << "0x35" << 0 << 3 << true;
        QTest::newRow("external RAM") << "xram:1234h" << 2 << 0x123 << true;
        QTest::newRow("SFR by name") << "tmod" << 1 << TSfrModel::RowOf(0x89) << true;
        QTest::newRow("beyond internal RAM") << "0x1234" << 0 << 0 << false;
        QTest::newRow("nothing") << "nowhere" << 0 << 0 << false;
    }
    void memoryGoTo() {
        QFETCH(QString, where);
        QFETCH(int, space);
        QFETCH(int, row);
        QFETCH(bool, ok);
        mcs51::Core core;
        TMemoryView view(core);
        const QString error = view.GoTo(where);
        QCOMPARE(error.isEmpty(), ok);
        if (!ok) return;
        QCOMPARE(view.CurrentSpace(), space);
        QCOMPARE(view.Grid()->currentIndex().row(), row);
    }

    // Breakpoints stay on their lines when the rebuilt firmware is loaded again; asked and
    // declined, the loaded one stays.
    void rebuiltFirmwareKeepsBreakpoints() {
        Debugging e;
        QTemporaryDir dir;
        const QString firmware = copyExample(dir);
        QVERIFY(e.open(firmware));
        const int address = listedAddress(dir.filePath(QStringLiteral("debugger.rst")), 28);
        e.debugger()->ToggleBreakpointAtRow(e.rowOfLine(28));
        QVERIFY(e.core().HasBreakpoint(uint16_t(address)));
        e.run();
        e.runner()->RunFor(1);
        QVERIFY(e.runner()->Cycles() > 0);

        // A build writes the firmware and its debug files anew.
        int builds = 0;
        const auto rebuild = [&] {
            const QDateTime when = QDateTime::currentDateTime().addSecs(60 * ++builds);
            for (const QString& part : DebugParts) {
                QFile file(dir.filePath(QStringLiteral("debugger.") + part));
                QVERIFY(file.open(QIODevice::ReadWrite));
                file.setFileTime(when, QFileDevice::FileModificationTime);
            }
        };
        rebuild();
        e.debugger()->SetReload(TDebuggerUi::ReloadPolicy::Ask);
        e.dialogs->choiceAnswers = {2};
        e.debugger()->FirmwareFileChanged();
        QCOMPARE(e.dialogs->choiceQuestions.size(), 1);
        QVERIFY(e.runner()->Cycles() > 0);   // kept
        e.debugger()->FirmwareFileChanged(); // not asked again for the same file
        QCOMPARE(e.dialogs->choiceQuestions.size(), 1);

        e.debugger()->SetReload(TDebuggerUi::ReloadPolicy::Always);
        rebuild();
        e.debugger()->FirmwareFileChanged();
        QCOMPARE(e.runner()->Cycles(), quint64(0)); // from reset
        QVERIFY(e.window->Running());               // the board stays
        QVERIFY(e.core().HasBreakpoint(uint16_t(address)));
        QVERIFY(e.runToStop());
        QCOMPARE(int(e.core().PC()), address);
    }

    // Breakpoints are remembered with the firmware and come back when it is loaded again.
    void breakpointsRememberedPerFirmware() {
        QTemporaryDir dir;
        const QString firmware = copyExample(dir);
        const int address = listedAddress(dir.filePath(QStringLiteral("debugger.rst")), 67);
        {
            Debugging e;
            QVERIFY(e.open(firmware));
            e.debugger()->ToggleBreakpointAtRow(e.rowOfLine(67));
        }
        Debugging e;
        QVERIFY(!e.core().HasBreakpoint(uint16_t(address)));
        QVERIFY(e.open(firmware));
        QVERIFY(e.core().HasBreakpoint(uint16_t(address)));
        QCOMPARE(e.debugger()->BreakpointList()->rowCount(), 1);
    }

    // Debug information that cannot be trusted: the code view says why and shows the
    // disassembly, with breakpoints on instructions.
    void badDebugInfoFallsBackToDisassembly_data() {
        QTest::addColumn<QByteArray>("cdb");
        QTest::addColumn<bool>("withSource");
        QTest::newRow("garbage") << QByteArray("\x01\x02 not a debug file\n:::\n") << true;
        QTest::newRow("truncated") << QByteArray() << true;
        QTest::newRow("source missing") << QByteArray("keep") << false;
    }
    void badDebugInfoFallsBackToDisassembly() {
        QFETCH(QByteArray, cdb);
        QFETCH(bool, withSource);
        QTemporaryDir dir;
        const QString firmware = copyExample(dir, withSource);
        const QString cdbFile = dir.filePath(QStringLiteral("debugger.cdb"));
        if (cdb != "keep") {
            QFile file(cdbFile);
            QVERIFY(file.open(QIODevice::ReadWrite));
            const QByteArray whole = file.readAll();
            file.resize(0);
            file.seek(0);
            file.write(cdb.isEmpty() ? whole.left(whole.size() / 3) + "S:G$broken(" : cdb);
        }
        Debugging e;
        QVERIFY(e.open(firmware));
        QVERIFY(!e.debugger()->Program().HasSource());
        const QString reason = e.debugger()->CodeView()->ReasonText();
        QVERIFY2(!reason.isEmpty(), "no reason shown");
        QVERIFY2(reason.contains(QStringLiteral("disassembly")), qPrintable(reason));
        TCodeModel* code = e.code();
        QVERIFY(code->rowCount() > 10);
        int instruction = -1;
        for (int row = 0; row < code->rowCount() && instruction < 0; ++row)
            if (code->RowAt(row).Instruction && code->RowAt(row).Address == 0) instruction = row;
        QVERIFY(instruction >= 0);
        e.debugger()->ToggleBreakpointAtRow(instruction);
        QVERIFY(e.core().HasBreakpoint(0));
    }

    // The debugger's keys are the common IDEs'; no two actions of the window share a key.
    void keys() {
        Debugging e;
        const QMap<QString, QKeySequence> expected = {
            {QStringLiteral("miContinue"), QKeySequence(Qt::Key_F5)},
            {QStringLiteral("miStepOver"), QKeySequence(Qt::Key_F10)},
            {QStringLiteral("miStepInto"), QKeySequence(Qt::Key_F11)},
            {QStringLiteral("miStepOut"), QKeySequence(Qt::SHIFT | Qt::Key_F11)},
            {QStringLiteral("miToggleBreakpoint"), QKeySequence(Qt::Key_F9)},
            {QStringLiteral("miRunToCursor"), QKeySequence(Qt::CTRL | Qt::Key_F10)}};
        for (auto it = expected.cbegin(); it != expected.cend(); ++it) {
            auto* action = e.window->findChild<QAction*>(it.key());
            QVERIFY2(action, qPrintable(it.key()));
            QCOMPARE(action->shortcut(), it.value());
        }
        QMap<QKeySequence, QString> owners;
        for (QAction* action : e.window->findChildren<QAction*>()) {
            for (const QKeySequence& key : action->shortcuts()) {
                const QString owner = owners.value(key);
                QVERIFY2(owner.isEmpty(),
                         qPrintable(QStringLiteral("%1 on %2 and %3")
                                        .arg(key.toString(), owner, action->objectName())));
                owners.insert(key, action->objectName());
            }
        }
    }

    // The stopwatch counts machine cycles from reset and from the mark the user sets.
    void stopwatch() {
        Debugging e;
        QVERIFY(e.open(Examples + QStringLiteral("firmware/debugger.ihx")));
        e.run();
        e.runner()->RunCycles(1000);
        e.debugger()->ResetStopwatch();
        e.runner()->RunCycles(500);
        const quint64 lap = e.runner()->StopwatchCycles();
        QVERIFY(lap >= 500 && lap < 510);
        e.window->Firmware()->PauseAction()->trigger();
        QVERIFY2(e.debugger()->StopwatchStatus().contains(QString::number(lap)),
                 qPrintable(e.debugger()->StopwatchStatus()));
        QVERIFY(e.debugger()->Stopwatch()->Text().contains(QString::number(e.runner()->Cycles())));
    }

private:
    std::unique_ptr<QTemporaryDir> m_settings;
};

QTEST_MAIN(TestDebuggerUi)
#include "test_debugger_ui.moc"
