// The analyser's decoders and settings: the character LCD's bus (8-bit on the LCD example, 4-bit
// from recorded lines), the trigger that pauses on its edge, the settings dialogs, serial-in bytes
// on RXD and shift-register frames.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>
#include <memory>

#include "editor/analyser.h"
#include "editor/analyserdecoders.h"
#include "editor/analyserdialogs.h"
#include "editor/analyserview.h"
#include "editor/brelvanfrm.h"
#include "editor/firmwarerunner.h"
#include "editor/firmwareui.h"
#include "editor/tracesession.h"
#include "model/drivers.h"
#include "model/hostpins.h"
#include "model/levels.h"
#include "tests/support/analyserfixture.h"
#include "trace/recorder.h"

namespace {

const QString SourceDir = QStringLiteral(BRELVAN_SOURCE_DIR);

struct Editor : AnalyserFixture {
    Editor() : AnalyserFixture(SourceDir) {}
    QStringList lcdTexts(int row, quint64 from = 0, quint64 to = ~quint64(0)) const {
        analyser()->Refresh();
        QStringList texts;
        for (const TLcdTransfer& transfer : analyser()->LcdTransfers(row, from, to))
            texts << transfer.Text;
        return texts;
    }
};

// Characters of data transfers, joined.
QString textOf(const QStringList& transfers) {
    QString text;
    for (const QString& t : transfers)
        if (t.size() == 3 && t.startsWith(u'\'')) text += t[1];
    return text;
}

} // namespace

class TestAnalyserDecoders : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        m_settings = std::make_unique<QTemporaryDir>();
        TFirmwareUi::SetSettingsFile(m_settings->filePath(QStringLiteral("brelvan.ini")));
    }

    // ---- the LCD bus

    void commandNames_data() {
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("text");
        QTest::newRow("clear") << 0x01 << "Clear";
        QTest::newRow("home") << 0x03 << "Home";
        QTest::newRow("entry") << 0x06 << "Entry mode I/D=1 S=0";
        QTest::newRow("display") << 0x0E << "Display on C=1 B=0";
        QTest::newRow("display off") << 0x09 << "Display off C=0 B=1";
        QTest::newRow("shift") << 0x1C << "Shift display right";
        QTest::newRow("function 8") << 0x38 << "Function set 8-bit 2 lines 5x8";
        QTest::newRow("function 4") << 0x24 << "Function set 4-bit 1 line 5x10";
        QTest::newRow("cgram") << 0x48 << "Set CGRAM 0x08";
        QTest::newRow("ddram") << 0xC0 << "Set DDRAM 0x40";
    }
    void commandNames() {
        QFETCH(int, code);
        QFETCH(QString, text);
        QCOMPARE(LcdCommandText(code), text);
    }

    // The LCD example on its 8-bit bus: the power-on initialisation, the cursor set to the first
    // line and the greeting, then the second line; a window of time gives only what it holds.
    void lcdExample() {
        Editor e;
        QVERIFY(e.start(
            QStringLiteral("/examples/lcd_hello.ovd"),
            QStringLiteral("/examples/firmware/lcd_hello.ihx"),
            {QStringLiteral("Host.P2.2"), QStringLiteral("Host.P2.0"), QStringLiteral("Host.P1")}));
        TLcdBusPaths paths;
        paths.E = QStringLiteral("Host.P2.2");
        paths.Rs = QStringLiteral("Host.P2.0");
        paths.Rw = QStringLiteral("Host.P2.1"); // not a row yet: traced for the decoder
        paths.Bus = QStringLiteral("Host.P1");
        QVERIFY(e.panel()->AddLcdRow(paths));
        QCOMPARE(e.analyser()->Rows().size(), 4);
        QVERIFY(e.analyser()->Rows()[3].Lcd);
        // RW, traced for the decoder, can still be shown as a row.
        QVERIFY(e.panel()->AddPath(QStringLiteral("Host.P2.1")));
        e.runner()->RunFor(60);
        const QStringList texts = e.lcdTexts(3);
        const QStringList init = {
            QStringLiteral("Function set 8-bit 1 line 5x8"),
            QStringLiteral("Function set 8-bit 1 line 5x8"),
            QStringLiteral("Function set 8-bit 1 line 5x8"),
            QStringLiteral("Function set 8-bit 2 lines 5x8"),
            QStringLiteral("Display on C=0 B=0"),
            QStringLiteral("Entry mode I/D=1 S=0"),
            QStringLiteral("Clear"),
            QStringLiteral("Set DDRAM 0x00"),
        };
        QCOMPARE(texts.mid(0, init.size()), init);
        QCOMPARE(textOf(texts.mid(init.size(), 12)), QStringLiteral("Hello, 8051!"));
        QCOMPARE(texts.value(init.size() + 12), QStringLiteral("Set DDRAM 0x40"));
        QVERIFY(texts.join(u'|').contains(QStringLiteral("'C'|'o'|'u'|'n'|'t'")));

        const std::vector<TLcdTransfer> all = e.analyser()->LcdTransfers(3, 0, ~quint64(0));
        const TLcdTransfer& h = all[init.size()];
        const TLcdTransfer& bang = all[init.size() + 11];
        QVERIFY(h.Data && !h.Read && h.Start < h.Latch);
        const QStringList greeting = e.lcdTexts(3, h.Latch, bang.Latch);
        QCOMPARE(greeting.size(), 12);
        QCOMPARE(textOf(greeting), QStringLiteral("Hello, 8051!"));
        // Nothing of the wrong width is taken for a line or a bus.
        paths.E = QStringLiteral("Host.P1");
        QVERIFY(!e.panel()->AddLcdRow(paths));
        QVERIFY(e.dialogs->LastText().contains(QStringLiteral("a bus, not a line")));
        paths.E = QStringLiteral("Nothing.Here");
        QVERIFY(!e.panel()->AddLcdRow(paths));
        QVERIFY(e.dialogs->LastText().contains(QStringLiteral("Nothing.Here")));
    }

    // A 4-bit bus, as single lines or the high half of a bus: the decoder follows the module
    // from 8-bit power-on through the function set that makes it 4-bit, then pairs nibbles;
    // reads and undefined lines are named.
    void lcdFourBit_data() {
        QTest::addColumn<bool>("bus");
        QTest::newRow("lines D4 to D7") << false;
        QTest::newRow("high half of a bus") << true;
    }
    void lcdFourBit() {
        QFETCH(bool, bus);
        TTraceRecorder recorder;
        quint64 now = 0;
        recorder.SetTimeSource(
            [&now] {
                return TTraceRecorder::TTimeReading{now, 0};
            },
            [] { return 0.0; });
        recorder.SetRecording(true);
        TOrvexPinDriver e, rs, rw, d[4];
        TOrvexPort port;
        const auto level = [](int bit) { return bit ? 5000 : 0; };
        for (TOrvexDriver* line : {static_cast<TOrvexDriver*>(&e), static_cast<TOrvexDriver*>(&rs),
                                   static_cast<TOrvexDriver*>(&rw)})
            line->StoreValue(0);
        TLcdBusLines lines;
        lines.FourBit = true;
        lines.E = recorder.AddContact(&e, QStringLiteral("LCD"), QStringLiteral("E"));
        lines.Rs = recorder.AddContact(&rs, QStringLiteral("LCD"), QStringLiteral("RS"));
        lines.Rw = recorder.AddContact(&rw, QStringLiteral("LCD"), QStringLiteral("RW"));
        if (bus) {
            lines.Data = {recorder.AddContact(&port, QStringLiteral("P1"), QStringLiteral("Port"))};
        } else {
            for (int i = 0; i < 4; ++i)
                lines.Data.push_back(recorder.AddContact(&d[i], QStringLiteral("LCD"),
                                                         QStringLiteral("D%1").arg(4 + i)));
        }
        // One pulse of E with a nibble on D4..D7 (-1: the lines undefined).
        const auto nibble = [&](int select, int value, int read = 0) {
            rs.StoreValue(level(select));
            rw.StoreValue(level(read));
            if (bus) port.StoreValue(value < 0 ? LevelUndefined : value << 4);
            for (int i = 0; i < 4 && !bus; ++i)
                d[i].StoreValue(value < 0 ? LevelUndefined : level((value >> i) & 1));
            now += 1000000;
            e.StoreValue(level(1));
            now += 1000000;
            e.StoreValue(level(0));
            now += 1000000;
        };
        const auto byte = [&](int select, int value) {
            nibble(select, value >> 4);
            nibble(select, value & 0x0F);
        };
        for (int n : {3, 3, 3, 2})
            nibble(0, n);
        byte(0, 0x28);
        byte(0, 0x0C);
        byte(1, 'H');
        byte(1, 'i');
        nibble(0, 0x8, 1); // busy flag and address, as two nibbles
        nibble(0, 0x0, 1);
        nibble(1, -1);
        nibble(1, 0x1);
        TTraceIndex index;
        index.Update(recorder);
        QStringList texts;
        for (const TLcdTransfer& transfer : DecodeLcdBus(index, lines, 0, now))
            texts << transfer.Text;
        const QStringList want = {
            QStringLiteral("Function set 8-bit 1 line 5x8"),
            QStringLiteral("Function set 8-bit 1 line 5x8"),
            QStringLiteral("Function set 8-bit 1 line 5x8"),
            QStringLiteral("Function set 4-bit 1 line 5x8"),
            QStringLiteral("Function set 4-bit 2 lines 5x8"),
            QStringLiteral("Display on C=0 B=0"),
            QStringLiteral("'H'"),
            QStringLiteral("'i'"),
            QStringLiteral("Read busy/address 0x80"),
            QStringLiteral("?"),
        };
        QCOMPARE(texts, want);
        // From the middle on, the pairs stay paired.
        const std::vector<TLcdTransfer> all = DecodeLcdBus(index, lines, 0, now);
        const std::vector<TLcdTransfer> tail = DecodeLcdBus(index, lines, all[6].Latch, now);
        QCOMPARE(tail.size(), size_t(4));
        QCOMPARE(tail[0].Text, QStringLiteral("'H'"));
        QCOMPARE(tail[0].Start, all[6].Start);
    }

    // ---- the trigger

    // Armed on a rising edge of the 1 kHz square, the firmware pauses at the end of the
    // instruction that made the edge: its cycle count is within one instruction of the edge's
    // stamp, and the pin stands high.
    void triggerPausesOnEdge() {
        Editor e;
        QVERIFY(e.start(QStringLiteral("/tests/boards/host_pin_p10.ovd"),
                        QStringLiteral("/tests/scenarios/firmware/square_12mhz.ihx"),
                        {QStringLiteral("Host.P1.0")}));
        e.runner()->RunFor(2.2);
        TAnalyser* analyser = e.analyser();
        analyser->Refresh();
        const quint64 armedAt = analyser->EndPs();
        QSignalSpy fired(analyser, &TAnalyser::Triggered);
        e.panel()->ApplyTrigger({0, TAnalyserTrigger::Rising, 0, 2});
        QVERIFY(analyser->Armed());
        e.runner()->RunFor(10);
        QCOMPARE(fired.size(), 1);
        QCOMPARE(e.runner()->CurrentState(), TFirmwareRunner::State::Paused);
        const quint64 edge = *analyser->TriggeredAt();
        const quint64 pausedAt = e.runner()->Cycles() * 1000000; // 1 us a cycle at 12 MHz
        QVERIFY2(pausedAt >= edge && pausedAt - edge <= 4000000,
                 qPrintable(QStringLiteral("edge %1 ps, paused at %2 ps").arg(edge).arg(pausedAt)));
        const int trace = analyser->Rows()[0].Trace;
        QCOMPARE(analyser->Session()->Recorder().Current(trace), 1);
        QCOMPARE(analyser->Session()->Recorder().Trace(trace).LastTime, edge);
        // It is the second rising edge after arming.
        analyser->Refresh();
        const TTraceIndex& index = analyser->Index();
        int rises = 0;
        quint64 second = 0;
        for (std::optional<quint64> next = index.NextEdge(trace, armedAt); next && rises < 2;
             next = index.NextEdge(trace, *next))
            if (index.ValueAt(trace, *next) == 1 && ++rises == 2) second = *next;
        QCOMPARE(edge, second);
        // Continuing runs on without firing again.
        e.runner()->Continue();
        e.runner()->RunFor(3);
        QCOMPARE(fired.size(), 1);
        QCOMPARE(e.runner()->CurrentState(), TFirmwareRunner::State::Running);
    }

    // Without firmware, Run goes off as soon as the board has settled the change that made the
    // edge (not inside it); a line's value can be the condition.
    void triggerStopsBoardRun() {
        Editor e;
        QVERIFY(e.window->LoadFromFile(SourceDir + QStringLiteral("/examples/switch_led.ovd")));
        QVERIFY(e.panel()->AddPath(QStringLiteral("LED1.Anode")));
        e.window->RunButton()->click();
        TAnalyser* analyser = e.analyser();
        const TTraceRecorder& recorder = analyser->Session()->Recorder();
        const int trace = analyser->Rows()[0].Trace;
        const qint32 before = recorder.Current(trace);
        QVERIFY(before == 0 || before == 1);
        QSignalSpy fired(analyser, &TAnalyser::Triggered);
        e.panel()->ApplyTrigger({0, TAnalyserTrigger::Equals, 1 - before, 1});
        e.clock->Advance(20);
        auto* sw = e.find(QStringLiteral("SW1"));
        QVERIFY(sw);
        QTest::mouseClick(sw, Qt::LeftButton, {}, sw->rect().center());
        QCOMPARE(fired.size(), 1);
        QCOMPARE(*analyser->TriggeredAt(), recorder.Trace(trace).LastTime);
        QCoreApplication::processEvents();
        QVERIFY(!e.window->Running());
        QVERIFY(!analyser->Armed());
    }

    // ---- serial frames on the core's pins

    // Bytes fed to the firmware's receiver appear on RXD as frames at its baud rate, ending when
    // the receiver takes them; the echo goes out on TXD.
    void serialInOnRxd() {
        Editor e;
        QVERIFY(e.start(QStringLiteral("/examples/serial_echo.ovd"),
                        QStringLiteral("/examples/firmware/serial_echo.ihx"),
                        {QStringLiteral("Host.RXD"), QStringLiteral("Host.TXD")}));
        e.runner()->RunFor(20);
        const quint64 fedAt = e.runner()->Cycles() * 1000000;
        e.runner()->SerialReceive("hi");
        e.runner()->RunFor(20);
        TAnalyser* analyser = e.analyser();
        for (int row : {0, 1})
            e.panel()->ApplyUart(row, TUartSettings{});
        analyser->Refresh();
        QVERIFY(qAbs(analyser->BaudOf(0) - 4807.7) < 0.1);
        QByteArray received, sent;
        const std::vector<TUartFrame> frames = analyser->Frames(0, 0, analyser->EndPs());
        for (const TUartFrame& frame : frames) {
            QVERIFY(!frame.FramingError);
            // Not before it was fed (the receiver counts its frame in timer overflows).
            QVERIFY(double(frame.Start) > double(fedAt) - 0.1e12 / 4807.7);
            received.append(char(frame.Value));
        }
        QCOMPARE(received, QByteArray("hi"));
        // Back to back: the second frame starts as the first ends.
        QVERIFY(qAbs(double(frames[1].Start) - double(frames[0].End)) < 1e12 / 4807.7);
        for (const TUartFrame& frame : analyser->Frames(1, 0, analyser->EndPs()))
            sent.append(char(frame.Value));
        QCOMPARE(sent, QByteArray("hello\r\nhi"));
    }

    // A byte shifted out in mode 0: eight data bits on RXD, LSB first, one a machine cycle, and
    // eight clock pulses on TXD whose rising edges find each bit; a P3 bus shows both.
    void shiftRegisterFrame() {
        Editor e;
        QVERIFY(e.start(
            QStringLiteral("/tests/boards/host_pin_p10.ovd"),
            QStringLiteral("/tests/scenarios/firmware/shift_out.ihx"),
            {QStringLiteral("Host.RXD"), QStringLiteral("Host.TXD"), QStringLiteral("Host.P3")}));
        e.runner()->RunFor(1);
        TAnalyser* analyser = e.analyser();
        analyser->Refresh();
        const TTraceIndex& index = analyser->Index();
        const int rxd = analyser->Rows()[0].Trace, txd = analyser->Rows()[1].Trace,
                  p3 = analyser->Rows()[2].Trace;
        QList<quint64> rises;
        int falls = 0;
        for (std::optional<quint64> edge = index.NextEdge(txd, 0); edge;
             edge = index.NextEdge(txd, *edge))
            if (index.ValueAt(txd, *edge) == 1)
                rises.append(*edge);
            else
                ++falls;
        QCOMPARE(rises.size(), 8);
        QCOMPARE(falls, 8);
        int byte = 0, busByte = 0;
        for (int b = 0; b < 8; ++b) {
            if (b > 0) QCOMPARE(rises[b] - rises[b - 1], quint64(1000000));
            byte |= index.ValueAt(rxd, rises[b]) << b;
            const qint32 bus = index.ValueAt(p3, rises[b]);
            QCOMPARE(bus & 0x02, 0x02);
            busByte |= (bus & 1) << b;
        }
        QCOMPARE(byte, 0xA5);
        QCOMPARE(busByte, 0xA5);
        // Both lines idle high after the frame.
        QCOMPARE(analyser->Session()->Recorder().Current(rxd), 1);
        QCOMPARE(analyser->Session()->Recorder().Current(txd), 1);
    }

    // ---- the dialogs

    void uartDialog_data() {
        QTest::addColumn<bool>("serialPin");
        QTest::addColumn<QString>("baud");
        QTest::addColumn<int>("bitsIndex");
        QTest::addColumn<double>("want"); // -1: refused
        QTest::addColumn<QString>("hint");
        QTest::newRow("firmware rate") << true << "From firmware" << 1 << 0.0 << "";
        QTest::newRow("listed") << false << "4800" << 0 << 4800.0 << "";
        QTest::newRow("typed") << false << "31250" << 0 << 31250.0 << "";
        QTest::newRow("firmware rate on a pin") << false << "From firmware" << 0 << -1.0 << "Only";
        QTest::newRow("no number") << true << "fast" << 0 << -1.0 << "number from";
        QTest::newRow("too slow") << true << "10" << 0 << -1.0 << "number from";
        QTest::newRow("too fast") << true << "2e7" << 0 << -1.0 << "number from";
    }
    void uartDialog() {
        QFETCH(bool, serialPin);
        QFETCH(QString, baud);
        QFETCH(int, bitsIndex);
        QFETCH(double, want);
        QFETCH(QString, hint);
        TUartDialog dialog(TUartSettings{}, serialPin);
        dialog.BaudBox()->setCurrentText(baud);
        dialog.BitsBox()->setCurrentIndex(bitsIndex);
        const std::optional<TUartSettings> result = dialog.Result();
        QCOMPARE(dialog.OkButton()->isEnabled(), want >= 0);
        QCOMPARE(result.has_value(), want >= 0);
        if (want < 0) {
            QVERIFY2(dialog.Hint()->text().contains(hint), qPrintable(dialog.Hint()->text()));
            // Decoding switched off needs no rate.
            dialog.DecodeBox()->setChecked(false);
            QVERIFY(dialog.OkButton()->isEnabled());
            QVERIFY(!dialog.Result()->On);
            return;
        }
        QVERIFY(dialog.Hint()->text().isEmpty());
        QCOMPARE(result->Baud, want);
        QCOMPARE(result->Bits, bitsIndex ? 9 : 8);
    }

    void triggerDialog_data() {
        QTest::addColumn<int>("row"); // 0: a line, 1: a bus
        QTest::addColumn<int>("condition");
        QTest::addColumn<QString>("value");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<QString>("hint");
        QTest::newRow("line rising") << 0 << int(TTriggerDialog::Rising) << "" << true << "";
        QTest::newRow("line falling") << 0 << int(TTriggerDialog::Falling) << "" << true << "";
        QTest::newRow("line equals 1") << 0 << int(TTriggerDialog::Equals) << "1" << true << "";
        QTest::newRow("line equals 2")
            << 0 << int(TTriggerDialog::Equals) << "2" << false << "0 or 1";
        QTest::newRow("bus value") << 1 << int(TTriggerDialog::Equals) << "0x3f" << true << "";
        QTest::newRow("bus too large")
            << 1 << int(TTriggerDialog::Equals) << "1FF" << false << "00 to FF";
        QTest::newRow("bus no value")
            << 1 << int(TTriggerDialog::Equals) << "" << false << "00 to FF";
        QTest::newRow("bus not hex")
            << 1 << int(TTriggerDialog::Equals) << "zz" << false << "00 to FF";
        QTest::newRow("bus edge") << 1 << int(TTriggerDialog::Rising) << "" << false << "no edges";
    }
    void triggerDialog() {
        QFETCH(int, row);
        QFETCH(int, condition);
        QFETCH(QString, value);
        QFETCH(bool, valid);
        QFETCH(QString, hint);
        TTriggerDialog dialog({{QStringLiteral("SW1.Contact1"), 1}, {QStringLiteral("P1"), 8}}, 0,
                              false);
        QVERIFY(!dialog.DisarmButton()->isEnabled());
        dialog.RowBox()->setCurrentIndex(row);
        dialog.ConditionBox()->setCurrentIndex(condition);
        dialog.ValueEdit()->setText(value);
        dialog.CountBox()->setValue(3);
        QCOMPARE(dialog.OkButton()->isEnabled(), valid);
        QVERIFY2(dialog.Hint()->text().contains(hint), qPrintable(dialog.Hint()->text()));
        const std::optional<TAnalyserTrigger> trigger = dialog.Result();
        QCOMPARE(trigger.has_value(), valid);
        if (!valid) return;
        QCOMPARE(trigger->Row, row);
        QCOMPARE(trigger->Count, 3);
        QCOMPARE(int(trigger->What), condition);
        if (condition == TTriggerDialog::Equals) QCOMPARE(trigger->Value, row ? 0x3F : 1);
    }

    // The LCD form: lines must be given and distinct; the four data lines make a 4-bit bus.
    void lcdDialog() {
        const QStringList lines = {QStringLiteral("Host.P2.2"), QStringLiteral("Host.P2.0"),
                                   QStringLiteral("Host.P2.1"), QStringLiteral("Host.P1.4"),
                                   QStringLiteral("Host.P1.5"), QStringLiteral("Host.P1.6"),
                                   QStringLiteral("Host.P1.7")};
        TLcdDialog dialog(lines, {QStringLiteral("Host.P1")});
        std::optional<TLcdBusPaths> paths = dialog.Result();
        QVERIFY(paths && dialog.OkButton()->isEnabled());
        QCOMPARE(paths->E, lines[0]);
        QCOMPARE(paths->Rs, lines[1]);
        QCOMPARE(paths->Rw, lines[2]);
        QCOMPARE(paths->Bus, QStringLiteral("Host.P1"));
        QVERIFY(!paths->FourBit);

        dialog.RsBox()->setCurrentText(lines[0]);
        QVERIFY(!dialog.OkButton()->isEnabled());
        QVERIFY(dialog.Hint()->text().contains(QStringLiteral("chosen twice")));
        dialog.RsBox()->setCurrentText(QString());
        QVERIFY(dialog.Hint()->text().contains(QStringLiteral("RS")));
        dialog.RsBox()->setCurrentText(lines[1]);
        dialog.RwBox()->setCurrentText(TLcdDialog::NoneText());
        dialog.DataBox()->setCurrentText(TLcdDialog::FourLinesText());
        QVERIFY(dialog.FourBitBox()->isChecked());
        QVERIFY(!dialog.OkButton()->isEnabled());
        QVERIFY(dialog.Hint()->text().contains(QStringLiteral("D4")));
        for (int d = 4; d <= 7; ++d)
            dialog.LineBox(d)->setCurrentText(lines[d - 1]);
        paths = dialog.Result();
        QVERIFY(paths && dialog.OkButton()->isEnabled());
        QVERIFY(paths->FourBit && paths->Rw.isEmpty() && paths->Bus.isEmpty());
        QCOMPARE(paths->Lines, lines.mid(3));
    }

private:
    std::unique_ptr<QTemporaryDir> m_settings;
};

QTEST_MAIN(TestAnalyserDecoders)
#include "test_analyserdecoders.moc"
