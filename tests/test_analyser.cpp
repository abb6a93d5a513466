// The analyser dock: its view maths, cursors and edges on recorded firmware, the UART decoder, the
// single trigger, and its exports.
#include <QAction>
#include <QDockWidget>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>
#include <memory>

#include "editor/analyser.h"
#include "editor/analyserdialogs.h"
#include "editor/analyserview.h"
#include "editor/brelvanfrm.h"
#include "editor/firmwarerunner.h"
#include "editor/firmwareui.h"
#include "editor/tracesession.h"
#include "tests/support/analyserfixture.h"
#include "trace/recorder.h"

namespace {

const QString SourceDir = QStringLiteral(BRELVAN_SOURCE_DIR);

struct Editor : AnalyserFixture {
    Editor() : AnalyserFixture(SourceDir) {}
    bool startSquare() {
        return start(QStringLiteral("/tests/boards/host_pin_p10.ovd"),
                     QStringLiteral("/tests/scenarios/firmware/square_12mhz.ihx"),
                     {QStringLiteral("Host.P1.0")});
    }
};

} // namespace

class TestAnalyser : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        m_settings = std::make_unique<QTemporaryDir>();
        TFirmwareUi::SetSettingsFile(m_settings->filePath(QStringLiteral("brelvan.ini")));
    }

    // Zooming keeps the time under the pointer where it is, at any scale and factor; fitting
    // shows exactly the range asked for.
    void viewMaths_data() {
        QTest::addColumn<double>("start");
        QTest::addColumn<double>("psPerPixel");
        QTest::addColumn<double>("x");
        QTest::addColumn<double>("factor");
        QTest::newRow("zoom in") << 0.0 << 1e6 << 250.0 << 1.25;
        QTest::newRow("zoom out") << 5e9 << 2e3 << 17.0 << 0.5;
        QTest::newRow("left edge") << 1e12 << 1e9 << 0.0 << 4.0;
        QTest::newRow("clamped") << 0.0 << 2.0 << 300.0 << 100.0;
    }
    void viewMaths() {
        QFETCH(double, start);
        QFETCH(double, psPerPixel);
        QFETCH(double, x);
        QFETCH(double, factor);
        TTimeView view{start, psPerPixel};
        QCOMPARE(view.X(view.Time(x)), x);
        const double before = view.Time(x);
        view.ZoomAt(x, factor);
        QVERIFY(qAbs(view.Time(x) - before) < 1e-6 * qMax(1.0, before));
        QVERIFY(view.PsPerPixel >= TTimeView::MinPsPerPixel);
        view.Fit(2e6, 10e6, 800);
        QCOMPARE(view.X(2e6), 0.0);
        QCOMPARE(view.X(10e6), 800.0);
        QCOMPARE(AnalyserTimeText(500e6), QStringLiteral("500 us"));
        QCOMPARE(AnalyserTimeText(1.5e9), QStringLiteral("1.5 ms"));
    }

    // Beside the terminal and the breakpoints the analyser's tools fold behind the bar's
    // extension rather than widening the window past the screen; following a recording shorter
    // than the view shows it from its start, not time before it.
    void narrowDockAndShortRecording() {
        Editor e;
        e.window->resize(1280, 800);
        for (const char* name : {"miTerminal", "miBreakpoints"}) {
            auto* action = e.window->findChild<QAction*>(QLatin1String(name));
            QVERIFY(action);
            if (!action->isChecked()) action->trigger();
        }
        QTRY_VERIFY(
            e.window->findChild<QDockWidget*>(QStringLiteral("BreakpointsDock"))->isVisible());
        QVERIFY2(e.window->minimumSizeHint().width() <= 1280,
                 qPrintable(QString::number(e.window->minimumSizeHint().width())));
        QCOMPARE(e.window->width(), 1280);
        QVERIFY(e.startSquare());
        e.view()->View().PsPerPixel = 1e9; // a millisecond a pixel
        e.runner()->RunFor(2);
        e.view()->Tick();
        QCOMPARE(e.view()->View().StartPs, 0.0);
    }

    // A 1 kHz square wave: cursors on successive edges read 500 us and 2000 Hz, the edge jumps
    // walk the edges both ways, and Fit All shows the whole recording.
    void cursorsAndEdges() {
        Editor e;
        QVERIFY(e.startSquare());
        e.runner()->RunFor(10);
        TAnalyserPanel* panel = e.panel();
        panel->ViewWidget()->SetSelected(0);
        e.analyser()->CursorA = 2000000000; // 2 ms
        panel->JumpEdge(true);
        const quint64 first = *e.analyser()->CursorA;
        QVERIFY(first > 2000000000);
        QTest::keyClick(panel->ViewWidget(), Qt::Key_Right);
        const quint64 second = *e.analyser()->CursorA;
        QVERIFY(qAbs(double(second - first) - 500e6) <= 1e6);
        QTest::keyClick(panel->ViewWidget(), Qt::Key_Left);
        QCOMPARE(*e.analyser()->CursorA, first);
        e.analyser()->CursorB = second;
        panel->UpdateReadout();
        QVERIFY2(panel->Readout()->text().contains(QStringLiteral("\u0394t: 500 us")),
                 qPrintable(panel->Readout()->text()));
        QVERIFY2(panel->Readout()->text().contains(QStringLiteral("1/\u0394t: 2 kHz")),
                 qPrintable(panel->Readout()->text()));

        TAnalyserView* view = panel->ViewWidget();
        view->FitAll();
        QVERIFY(qAbs(view->View().X(double(e.analyser()->EndPs())) - view->PlotWidth()) < 1);
        QVERIFY(qAbs(view->View().X(0)) < 1);
    }

    // The serial example's TXD, decoded at the baud rate of the firmware's serial set-up.
    void uartDecodesHello() {
        Editor e;
        QVERIFY(e.start(QStringLiteral("/examples/serial_echo.ovd"),
                        QStringLiteral("/examples/firmware/serial_echo.ihx"),
                        {QStringLiteral("Host.TXD")}));
        e.runner()->RunFor(30);
        e.analyser()->Row(0).Uart = true;
        e.analyser()->Refresh();
        QVERIFY(qAbs(e.analyser()->BaudOf(0) - 4807.7) < 0.1);
        QByteArray text;
        for (const TUartFrame& frame : e.analyser()->Frames(0, 0, e.analyser()->EndPs())) {
            QVERIFY(!frame.FramingError);
            text.append(char(frame.Value));
        }
        QVERIFY2(text.startsWith("hello"), text.constData());
        // At a wrong rate the frames do not come out right.
        e.analyser()->Row(0).Baud = 9600;
        QByteArray wrong;
        for (const TUartFrame& frame : e.analyser()->Frames(0, 0, e.analyser()->EndPs()))
            wrong.append(char(frame.Value));
        QVERIFY(!wrong.startsWith("hello"));
    }

    // The trigger pauses the firmware on the N-th matching edge after it was armed, once.
    void trigger_data() {
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("capacity");
        QTest::newRow("first rising") << int(TAnalyserTrigger::Rising) << 1 << 0;
        QTest::newRow("fourth falling") << int(TAnalyserTrigger::Falling) << 4 << 0;
        // The recording keeps only a few changes: the count goes on while old ones are dropped.
        QTest::newRow("small ring") << int(TAnalyserTrigger::Rising) << 12 << 16;
    }
    void trigger() {
        QFETCH(int, kind);
        QFETCH(int, count);
        QFETCH(int, capacity);
        Editor e;
        if (capacity) TTraceSession::Of(e.window.get())->Recorder().SetCapacity(size_t(capacity));
        QVERIFY(e.startSquare());
        e.runner()->RunFor(3);
        TAnalyser* analyser = e.analyser();
        analyser->Refresh();
        const quint64 armedAt = analyser->EndPs();
        analyser->Arm({0, TAnalyserTrigger::Kind(kind), 0, count});
        QSignalSpy fired(analyser, &TAnalyser::Triggered);
        for (int i = 0; i < 100 && fired.isEmpty(); ++i) {
            e.runner()->RunFor(0.25);
            analyser->Refresh();
        }
        QCOMPARE(fired.size(), 1);
        QCOMPARE(e.runner()->CurrentState(), TFirmwareRunner::State::Paused);
        QVERIFY(!analyser->Armed());
        // The N-th edge of that direction after arming.
        const int trace = analyser->Rows()[0].Trace;
        const qint32 want = kind == TAnalyserTrigger::Rising ? 1 : 0;
        int seen = 0;
        quint64 at = 0;
        for (std::optional<quint64> edge = analyser->Index().NextEdge(trace, armedAt);
             edge && seen < count; edge = analyser->Index().NextEdge(trace, *edge))
            if (analyser->Index().ValueAt(trace, *edge) == want && ++seen == count) at = *edge;
        if (capacity) {
            // Most edges are gone from the ring: they are half periods apart.
            QVERIFY(analyser->Session()->Recorder().Dropped() > 0);
            QVERIFY(qAbs(double(*analyser->TriggeredAt() - armedAt) - (count - 0.5) * 1e9) <=
                    0.5e9);
            return;
        }
        QCOMPARE(*analyser->TriggeredAt(), at);
        QCOMPARE(fired.first().first().value<quint64>(), at);
    }

    // Exports: the dump of the whole recording and of the part between the cursors, pictures of
    // the view; missing cursors and unwritable files are reported.
    void exports() {
        Editor e;
        QVERIFY(e.startSquare());
        e.runner()->RunFor(5);
        TAnalyserPanel* panel = e.panel();
        panel->ViewWidget()->FitAll();
        QTemporaryDir dir;
        const QString whole = dir.filePath(QStringLiteral("whole.vcd"));
        QVERIFY(panel->ExportVcd(whole, false));
        QFile file(whole);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray text = file.readAll();
        QVERIFY(text.contains("$timescale"));
        QVERIFY(text.contains("$enddefinitions"));
        // Between cursors: fewer changes, and needs both cursors.
        QVERIFY(!panel->ExportVcd(dir.filePath(QStringLiteral("part.vcd")), true));
        QVERIFY(e.dialogs->LastText().contains(QStringLiteral("cursors")));
        e.analyser()->CursorA = 1000000000;
        e.analyser()->CursorB = 2200000000;
        QVERIFY(panel->ExportVcd(dir.filePath(QStringLiteral("part.vcd")), true));
        QFile part(dir.filePath(QStringLiteral("part.vcd")));
        QVERIFY(part.open(QIODevice::ReadOnly));
        const QByteArray partText = part.readAll();
        QVERIFY(partText.count('#') < text.count('#'));
        QVERIFY(partText.count('#') >= 3);

        QVERIFY(panel->ExportPicture(dir.filePath(QStringLiteral("view.png"))));
        const QImage image(dir.filePath(QStringLiteral("view.png")));
        QCOMPARE(image.size(), panel->ViewWidget()->size());
        QVERIFY(panel->ExportPicture(dir.filePath(QStringLiteral("view.svg"))));
        QFile svg(dir.filePath(QStringLiteral("view.svg")));
        QVERIFY(svg.open(QIODevice::ReadOnly));
        QVERIFY(svg.readAll().contains("<svg"));

        // Panned as far as it goes at the finest scale, the view still draws.
        TTimeView& view = panel->ViewWidget()->View();
        view.PsPerPixel = TTimeView::MinPsPerPixel;
        for (double far : {-1e300, 1e300}) {
            view.Pan(far);
            QCOMPARE(qAbs(view.StartPs), TTimeView::Limit);
            QVERIFY(panel->ExportPicture(dir.filePath(QStringLiteral("far.png"))));
        }

        e.dialogs->Clear();
        QVERIFY(!panel->ExportVcd(dir.filePath(QStringLiteral("no/such/folder/x.vcd")), false));
        QVERIFY(e.dialogs->LastText().startsWith(QStringLiteral("Cannot write")));
    }

    // Rows: unknown paths and doubles are refused with a reason; moving and removing rows keeps
    // the trigger on its row.
    void rows() {
        Editor e;
        QVERIFY(e.startSquare());
        TAnalyserPanel* panel = e.panel();
        QVERIFY(!panel->AddPath(QStringLiteral("Nothing.Here")));
        QVERIFY(e.dialogs->LastText().contains(QStringLiteral("Nothing.Here")));
        QVERIFY(!panel->AddPath(QStringLiteral("host.p1.0")));
        QVERIFY(e.dialogs->LastText().contains(QStringLiteral("shown already")));
        QVERIFY(panel->AddPath(QStringLiteral("Host.P1")));
        QVERIFY(panel->AddPath(QStringLiteral("P10.Pin")));
        TAnalyser* analyser = e.analyser();
        QCOMPARE(analyser->Rows().size(), 3);
        // The selected components' contacts, from the menu: those shown already are said so.
        e.window->SelectAllClick();
        e.window->findChild<QAction*>(QStringLiteral("miAddToAnalyser"))->trigger();
        QVERIFY(e.dialogs->LastText().contains(QStringLiteral("shown already")));
        QCOMPARE(analyser->Rows().size(), 3);
        QCOMPARE(analyser->Width(1), 8);
        analyser->Arm({2, TAnalyserTrigger::Rising, 0, 1});
        analyser->MoveRow(2, -1);
        analyser->RemoveRow(0);
        QCOMPARE(analyser->Rows()[0].Label, QStringLiteral("P10.Pin"));
        e.runner()->RunFor(2);
        analyser->Refresh();
        QVERIFY(analyser->TriggeredAt().has_value());
        // Decoder and trigger settings that make no sense are refused (the forms themselves are
        // tested with the decoders).
        panel->ViewWidget()->SetSelected(1);
        panel->UartClick();
        QVERIFY(e.dialogs->LastText().contains(QStringLiteral("not a bus")));
        QVERIFY(!analyser->Rows()[1].Uart);
        TTriggerDialog trigger({{analyser->Rows()[1].Label, analyser->Width(1)}}, 0, false);
        trigger.ValueEdit()->setText(QStringLiteral("1FF"));
        QVERIFY(!trigger.OkButton()->isEnabled());
        QVERIFY(trigger.Hint()->text().contains(QStringLiteral("00 to FF")));
        QVERIFY(!analyser->Armed());
    }

private:
    std::unique_ptr<QTemporaryDir> m_settings;
};

QTEST_MAIN(TestAnalyser)
#include "test_analyser.moc"
