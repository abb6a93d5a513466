// Recording levels over simulated time: the recorder's ring and stamps, the watch on contacts,
// the value change dump, and recordings of real boards and firmware through the window.
#include <QMenu>
#include <QToolButton>
#include <QtTest>
#include <memory>

#include "components/orvexcomponent.h"
#include "editor/brelvanfrm.h"
#include "editor/firmwarerunner.h"
#include "editor/firmwareui.h"
#include "editor/tracesession.h"
#include "model/drivers.h"
#include "model/hostpins.h"
#include "model/levels.h"
#include "simulation/simform.h"
#include "tests/support/windowfixture.h"
#include "trace/recorder.h"
#include "trace/serialtiming.h"
#include "trace/vcd.h"

namespace {

const QString SourceDir = QStringLiteral(BRELVAN_SOURCE_DIR);

// A recorder on a clock the test sets (picoseconds).
struct Rig {
    explicit Rig(size_t capacity = TTraceRecorder::DefaultCapacity) : recorder(capacity) {
        recorder.SetTimeSource(
            [this] {
                return TTraceRecorder::TTimeReading{now, clock};
            },
            [] { return 0.0; });
        recorder.SetRecording(true);
    }
    quint64 now = 0;
    int clock = 0;
    TTraceRecorder recorder;
};

// The kept changes of one trace as (time, value), gaps left out.
QList<QPair<quint64, qint32>> changesOf(const TTraceRecorder& recorder, int trace) {
    QList<QPair<quint64, qint32>> list;
    for (const TTraceChange& change : recorder.Sorted())
        if (change.What != TTraceChange::Gap && change.Trace == trace)
            list.append({change.Time, change.What == TTraceChange::End ? -2 : change.Value});
    return list;
}

int countOf(const TTraceRecorder& recorder, TTraceChange::Kind kind) {
    int count = 0;
    for (size_t i = 0; i < recorder.Count(); ++i)
        count += recorder.At(i).What == kind;
    return count;
}

struct Editor : WindowFixture {
    Editor() : WindowFixture(QSize(900, 640)) { runner()->SetFreeRunning(false); }
    TFirmwareRunner* runner() const { return window->Firmware()->Runner(); }
    TTraceSession* session() const { return TTraceSession::Of(window.get()); }
    TTraceRecorder& recorder() const { return session()->Recorder(); }
    void setRun(bool on) {
        if (window->Running() != on) window->RunButton()->click();
    }
    int trace(const QString& path) {
        QString error;
        const int index = session()->AddTrace(path, &error);
        if (index < 0) qWarning() << path << error;
        return index;
    }
};

} // namespace

class TestTrace : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        m_settings = std::make_unique<QTemporaryDir>();
        TFirmwareUi::SetSettingsFile(m_settings->filePath(QStringLiteral("brelvan.ini")));
    }

    // ---- the recorder

    // Levels become 0, 1 or undefined; only changes are kept, stamped when they happen; a port
    // is an 8-bit bus.
    void levelsAndStamps() {
        Rig rig;
        TOrvexPinDriver contact;
        TOrvexPort port;
        contact.StoreValue(LevelLow);
        const int bit =
            rig.recorder.AddContact(&contact, QStringLiteral("SW1"), QStringLiteral("Contact1"));
        const int bus =
            rig.recorder.AddContact(&port, QStringLiteral("P1"), QStringLiteral("Port"));
        QCOMPARE(rig.recorder.Trace(bit).Width, 1);
        QCOMPARE(rig.recorder.Trace(bus).Width, 8);
        rig.now = 1000;
        contact.StoreValue(4000);
        rig.now = 2000;
        contact.StoreValue(5000); // still high: no change
        rig.now = 3000;
        contact.StoreValue(LevelUndefined);
        rig.now = 4000;
        contact.StoreValue(LogicThreshold); // the threshold itself reads low
        port.StoreValue(0x5A);
        const QList<QPair<quint64, qint32>> want = {{0, 0}, {1000, 1}, {3000, -1}, {4000, 0}};
        QCOMPARE(changesOf(rig.recorder, bit), want);
        QCOMPARE(changesOf(rig.recorder, bus).last(), (QPair<quint64, qint32>(4000, 0x5A)));
        // The same contact twice is refused with a reason.
        QString error;
        QCOMPARE(
            rig.recorder.AddContact(&contact, QStringLiteral("SW1"), QStringLiteral("C"), &error),
            -1);
        QVERIFY(error.contains(QStringLiteral("traced already")));
    }

    // At most Capacity changes: the oldest go, and the recording says from when it is whole.
    void boundedRing() {
        Rig rig(32);
        TOrvexPinDriver contact;
        rig.recorder.AddContact(&contact, QStringLiteral("A"), QStringLiteral("B"));
        for (int i = 1; i <= 100; ++i) {
            rig.now = quint64(i) * 10;
            contact.StoreValue(i % 2 ? LevelHigh : LevelLow);
        }
        QCOMPARE(rig.recorder.Count(), size_t(32));
        QCOMPARE(rig.recorder.Capacity() * sizeof(TTraceChange), size_t(32 * 16));
        QVERIFY(rig.recorder.Dropped() > 0);
        QCOMPARE(rig.recorder.At(31).Time, quint64(1000));
        QCOMPARE(rig.recorder.KeptFrom(), rig.recorder.At(0).Time - 10);
        // Shrinking keeps the newest.
        rig.recorder.SetCapacity(16);
        QCOMPARE(rig.recorder.Count(), size_t(16));
        QCOMPARE(rig.recorder.At(15).Time, quint64(1000));
        QCOMPARE(rig.recorder.KeptFrom(), quint64(840));
        // Room given again fills up first; then the oldest go again, in order.
        rig.recorder.SetCapacity(64);
        const quint64 dropped = rig.recorder.Dropped();
        const auto record = [&](int from, int to) {
            for (int i = from; i <= to; ++i) {
                rig.now = quint64(i) * 10;
                contact.StoreValue(i % 2 ? LevelHigh : LevelLow);
            }
        };
        record(101, 140);
        QCOMPARE(rig.recorder.Count(), size_t(56));
        QCOMPARE(rig.recorder.Dropped(), dropped);
        QCOMPARE(rig.recorder.At(0).Time, quint64(850));
        record(141, 160);
        QCOMPARE(rig.recorder.Count(), size_t(64));
        for (size_t i = 0; i < 64; ++i)
            QCOMPARE(rig.recorder.At(i).Time, quint64(970 + 10 * i));
    }

    // A traced contact that is rewired or destroyed keeps what was recorded and ends there;
    // nothing dangles.
    void sourceEnds_data() {
        QTest::addColumn<bool>("destroy");
        QTest::newRow("rewired") << false;
        QTest::newRow("destroyed") << true;
    }
    void sourceEnds() {
        QFETCH(bool, destroy);
        Rig rig;
        auto contact = std::make_unique<TOrvexPinDriver>();
        TOrvexPinDriver other;
        const int index =
            rig.recorder.AddContact(contact.get(), QStringLiteral("LED1"), QStringLiteral("Anode"));
        rig.now = 500;
        contact->StoreValue(LevelHigh);
        rig.now = 700;
        if (destroy)
            contact.reset();
        else
            contact->SetContact(&other);
        QVERIFY(rig.recorder.Trace(index).Ended);
        rig.now = 900;
        if (contact) contact->StoreValue(LevelLow); // no longer recorded
        const QList<QPair<quint64, qint32>> want = {{0, 0}, {500, 1}, {700, -2}};
        QCOMPARE(changesOf(rig.recorder, index), want);
        if (contact) QCOMPARE(contact->Watch(), nullptr);
    }

    // Stamps never go back: another clock or a clock that restarts continues the recording, with
    // a gap marked; while not recording nothing is kept.
    void gapsAndStretches() {
        Rig rig;
        TOrvexPinDriver contact;
        const int index =
            rig.recorder.AddContact(&contact, QStringLiteral("X"), QStringLiteral("Y"));
        rig.now = 5000;
        contact.StoreValue(LevelHigh);
        rig.now = 100; // a reset: the clock starts over
        contact.StoreValue(LevelLow);
        QCOMPARE(changesOf(rig.recorder, index).last(), (QPair<quint64, qint32>(5000, 0)));
        rig.now = 400;
        contact.StoreValue(LevelHigh);
        QCOMPARE(changesOf(rig.recorder, index).last(), (QPair<quint64, qint32>(5300, 1)));
        rig.recorder.SetRecording(false);
        rig.now = 900;
        contact.StoreValue(LevelLow);
        QCOMPARE(changesOf(rig.recorder, index).last().first, quint64(5300));
        rig.clock = 1;
        rig.now = 1ull << 40; // the board's clock instead of the core's
        rig.recorder.SetRecording(true);
        // The next stretch begins where the last ended, with the present value recorded again.
        QCOMPARE(changesOf(rig.recorder, index).last(), (QPair<quint64, qint32>(5300, 0)));
        QCOMPARE(countOf(rig.recorder, TTraceChange::Gap), 3);
    }

    // ---- the value change dump

    void vcdText() {
        Rig rig;
        TOrvexPinDriver contact;
        TOrvexPort port;
        port.StoreValue(LevelUndefined);
        rig.recorder.AddContact(&contact, QStringLiteral("SW 1"), QStringLiteral("Contact1"));
        rig.recorder.AddContact(&port, QStringLiteral("P1"), QStringLiteral("Port"));
        rig.now = 2000000; // 2 us
        contact.StoreValue(LevelHigh);
        port.StoreValue(0xA5);
        rig.now = 3400000;
        contact.StoreValue(LevelUndefined);
        rig.now = 5000000;
        contact.StoreValue(LevelLow);
        TVcdOptions options;
        options.UnitPs = 1000000;
        QString error;
        QCOMPARE(QString::fromLatin1(WriteVcd(rig.recorder, options, &error)),
                 QStringLiteral("$version Brelvan $end\n$timescale 1 us $end\n"
                                "$scope module SW_1 $end\n$var wire 1 ! Contact1 $end\n"
                                "$upscope $end\n"
                                "$scope module P1 $end\n$var wire 8 \" Port [7:0] $end\n"
                                "$upscope $end\n$enddefinitions $end\n"
                                "#0\n$dumpvars\n0!\nbxxxxxxxx \"\n$end\n"
                                "#2\n1!\nb10100101 \"\n#3\nx!\n#5\n0!\n"));
        // Between cursors: time 0 is the first cursor, values are those held there.
        options.From = 2500000;
        options.To = 4500000;
        options.UnitPs = 100000;
        options.SplitBuses = true;
        const QString part = QString::fromLatin1(WriteVcd(rig.recorder, options, &error));
        QVERIFY(part.contains(QStringLiteral("$var wire 1 % Port_2 $end")));
        QVERIFY(
            part.endsWith(QStringLiteral("$dumpvars\n1!\n1\"\n0#\n1%\n0&\n0'\n1(\n0)\n1*\n$end\n"
                                         "#9\nx!\n#20\n")));
        // Bad requests are refused with a reason.
        options.UnitPs = 3;
        QVERIFY(WriteVcd(rig.recorder, options, &error).isEmpty());
        QVERIFY(error.contains(QStringLiteral("power of ten")));
        options.UnitPs = 1000;
        options.From = 10;
        options.To = 5;
        QVERIFY(WriteVcd(rig.recorder, options, &error).isEmpty());
        QVERIFY(WriteVcd(TTraceRecorder(), TVcdOptions(), &error).isEmpty());
        QVERIFY(error.contains(QStringLiteral("nothing is traced")));
    }

    void vcdUnit_data() {
        QTest::addColumn<double>("crystal");
        QTest::addColumn<quint64>("unit");
        QTest::newRow("12 MHz") << 12e6 << quint64(1000000);
        QTest::newRow("11.0592 MHz") << 11.0592e6 << quint64(100000);
        QTest::newRow("24 MHz") << 24e6 << quint64(100000);
        QTest::newRow("20 MHz") << 20e6 << quint64(100000);
        QTest::newRow("no core") << 0.0 << quint64(1000000);
    }
    void vcdUnit() {
        QFETCH(double, crystal);
        QFETCH(quint64, unit);
        QCOMPARE(VcdUnitFor(crystal > 0 ? 12e12 / crystal : 0.0), unit);
    }

    // ---- boards and firmware

    // Timer 0 makes a 1 kHz square wave on P1.0; its half periods are 500 us of simulated time
    // (within a machine cycle) at either crystal, whatever the machine the test runs on.
    void squareWave_data() {
        QTest::addColumn<QString>("firmware");
        QTest::addColumn<double>("crystal");
        QTest::newRow("12 MHz") << QStringLiteral("square_12mhz.ihx") << 12e6;
        QTest::newRow("11.0592 MHz") << QStringLiteral("square_11mhz.ihx") << 11.0592e6;
    }
    void squareWave() {
        QFETCH(QString, firmware);
        QFETCH(double, crystal);
        Editor e;
        QVERIFY(
            e.window->LoadFromFile(SourceDir + QStringLiteral("/tests/boards/host_pin_p10.ovd")));
        QVERIFY(e.window->Firmware()->LoadFirmware(
            SourceDir + QStringLiteral("/tests/scenarios/firmware/") + firmware));
        QVERIFY(e.runner()->SetCrystal(crystal));
        // The core's pin, and the board's host pin it drives.
        const int pin = e.trace(QStringLiteral("Host.P1.0"));
        const int contact = e.trace(QStringLiteral("P10.Pin"));
        QVERIFY(pin >= 0 && contact >= 0);
        e.setRun(true);
        e.runner()->RunFor(20);
        const double cyclePs = 12e12 / crystal;
        for (int index : {pin, contact}) {
            const QList<QPair<quint64, qint32>> changes = changesOf(e.recorder(), index);
            QVERIFY2(changes.size() >= 38, qPrintable(QString::number(changes.size())));
            for (qsizetype i = 2; i < changes.size(); ++i) {
                const double half = double(changes[i].first - changes[i - 1].first);
                QVERIFY2(qAbs(half - 500e6) <= cyclePs,
                         qPrintable(QStringLiteral("%1 ps").arg(half)));
                QCOMPARE(changes[i].second, 1 - changes[i - 1].second);
            }
        }
    }

    // Run off and on, and a reset of the firmware, mark gaps; the recording goes on after them
    // and its stamps never go back.
    void runOffOnAndReset() {
        Editor e;
        QVERIFY(e.window->LoadFromFile(SourceDir + QStringLiteral("/examples/serial_echo.ovd")));
        QVERIFY(e.window->Firmware()->LoadFirmware(
            SourceDir + QStringLiteral("/tests/scenarios/firmware/square_12mhz.ihx")));
        const int pin = e.trace(QStringLiteral("Host.P1.0"));
        e.setRun(true);
        e.runner()->RunFor(3);
        const int gapsBefore = countOf(e.recorder(), TTraceChange::Gap);
        const quint64 first = e.recorder().LastTime();
        e.setRun(false);
        e.setRun(true);
        QVERIFY(countOf(e.recorder(), TTraceChange::Gap) > gapsBefore);
        e.runner()->RunFor(3);
        const int gapsRun = countOf(e.recorder(), TTraceChange::Gap);
        e.runner()->Start(); // a reset of the firmware
        e.runner()->RunFor(3);
        QVERIFY(countOf(e.recorder(), TTraceChange::Gap) > gapsRun);
        const QList<QPair<quint64, qint32>> changes = changesOf(e.recorder(), pin);
        for (qsizetype i = 1; i < changes.size(); ++i)
            QVERIFY(changes[i].first >= changes[i - 1].first);
        // Each stretch's last edge comes 2.824 ms after its start.
        QCOMPARE(changes.last().first, first + 2 * 2824000000ull);
        QVERIFY(!e.recorder().Trace(pin).Ended);
    }

    // Without firmware the board's clock stamps the changes; a traced component deleted keeps
    // its recording and ends it.
    void boardClockAndDeletedComponent() {
        Editor e;
        QVERIFY(e.window->LoadFromFile(SourceDir + QStringLiteral("/examples/switch_led.ovd")));
        const int anode = e.trace(QStringLiteral("LED1.Anode"));
        QVERIFY(anode >= 0);
        e.setRun(true);
        auto* sw = e.find(QStringLiteral("SW1"));
        QVERIFY(sw);
        const QList<QPair<quint64, qint32>> before = changesOf(e.recorder(), anode);
        QVERIFY(!before.isEmpty());
        e.clock->Advance(20);
        QTest::mouseClick(sw, Qt::LeftButton, {}, sw->rect().center());
        QList<QPair<quint64, qint32>> changes = changesOf(e.recorder(), anode);
        QCOMPARE(changes.size(), before.size() + 1);
        QCOMPARE(changes.last().first - changes[changes.size() - 2].first, 20000000000ull);
        e.setRun(false);
        delete e.find(QStringLiteral("LED1"));
        QVERIFY(e.recorder().Trace(anode).Ended);
        changes = changesOf(e.recorder(), anode);
        QCOMPARE(changes.last().second, -2);
        QCOMPARE(changes.size(), before.size() + 2);
    }

    // The serial set-up gives the frame's timing, and TXD shows each transmitted frame.
    void serialFrames() {
        Editor e;
        QVERIFY(e.window->LoadFromFile(SourceDir + QStringLiteral("/examples/serial_echo.ovd")));
        QVERIFY(e.window->Firmware()->LoadFirmware(
            SourceDir + QStringLiteral("/examples/firmware/serial_echo.ihx")));
        const int txd = e.trace(QStringLiteral("Host.TXD"));
        e.setRun(true);
        e.runner()->RunFor(5);
        const TSerialTiming timing = SerialTimingOf(e.runner()->Core());
        QCOMPARE(timing.Mode, 1);
        QCOMPARE(timing.BitCycles, 208.0);
        QVERIFY(qAbs(timing.Baud(12e6) - 4807.7) < 0.1);
        // "h" (0x68): start and three 0 bits, 1, 0, 1 1, 0, stop.
        const QList<QPair<quint64, qint32>> changes = changesOf(e.recorder(), txd);
        QVERIFY(changes.size() >= 7);
        const quint64 bit = 208000000;
        const quint64 start = changes[1].first;
        const QList<QPair<quint64, qint32>> want = {{start, 0},           {start + 4 * bit, 1},
                                                    {start + 5 * bit, 0}, {start + 6 * bit, 1},
                                                    {start + 8 * bit, 0}, {start + 9 * bit, 1}};
        QCOMPARE(changes.mid(1, 6), want);
    }

    // Bit times from the registers; on the 8052 the receiver may run on Timer 2 while the
    // transmitter runs on Timer 1, and a stopped or counting Timer 2 gives no rate.
    void serialTimingOf_data() {
        QTest::addColumn<int>("t2con");
        QTest::addColumn<double>("transmit");
        QTest::addColumn<double>("receive");
        // Timer 1 in mode 2 with TH1 = 0xF3: 32 * 13 cycles a bit. RCAP2 = 0xFFD9: 16 * 39 / 6.
        QTest::newRow("Timer 1 both ways") << 0x00 << 416.0 << 416.0;
        QTest::newRow("receiver on Timer 2") << 0x24 << 416.0 << 104.0;
        QTest::newRow("transmitter on Timer 2") << 0x14 << 104.0 << 416.0;
        QTest::newRow("Timer 2 stopped") << 0x30 << 0.0 << 0.0;
        QTest::newRow("Timer 2 counting T2") << 0x36 << 0.0 << 0.0;
    }

    void serialTimingOf() {
        QFETCH(int, t2con);
        QFETCH(double, transmit);
        QFETCH(double, receive);
        mcs51::Core core(mcs51::Variant::I8052);
        using namespace mcs51::sfr;
        core.SetSfr(SCON, 0x50);
        core.SetSfr(TMOD, 0x20);
        core.SetSfr(TH1, 0xF3);
        core.SetSfr(RCAP2H, 0xFF);
        core.SetSfr(RCAP2L, 0xD9);
        core.SetSfr(T2CON, uint8_t(t2con));
        QCOMPARE(SerialTimingOf(core).BitCycles, transmit);
        QCOMPARE(SerialTimingOf(core, true).BitCycles, receive);
    }

    // Slow motion: the Speed menu offers a tenth and a hundredth of real time.
    void slowSpeeds_data() {
        QTest::addColumn<QString>("caption");
        QTest::addColumn<double>("factor");
        QTest::newRow("1/10") << QStringLiteral("1/10 of Real Time") << 0.1;
        QTest::newRow("1/100") << QStringLiteral("1/100 of Real Time") << 0.01;
    }
    void slowSpeeds() {
        QFETCH(QString, caption);
        QFETCH(double, factor);
        Editor e;
        auto* menu = e.window->findChild<QMenu*>(QStringLiteral("mnuSpeed"));
        QVERIFY(menu);
        QAction* chosen = nullptr;
        for (QAction* action : menu->actions())
            if (action->text() == caption) chosen = action;
        QVERIFY(chosen);
        chosen->trigger();
        QCOMPARE(e.runner()->Speed(), factor);
        QVERIFY(chosen->isChecked());
    }

    void badPaths_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("reason");
        QTest::newRow("nothing") << QStringLiteral("Nope.Pin")
                                 << QStringLiteral("nothing is named");
        QTest::newRow("component") << QStringLiteral("LED1") << QStringLiteral("no contact");
        QTest::newRow("core pin") << QStringLiteral("Host.P4")
                                  << QStringLiteral("nothing is named");
        QTest::newRow("twice") << QStringLiteral("Host.TXD") << QStringLiteral("traced already");
    }
    void badPaths() {
        QFETCH(QString, path);
        QFETCH(QString, reason);
        Editor e;
        QVERIFY(e.window->LoadFromFile(SourceDir + QStringLiteral("/examples/serial_echo.ovd")));
        QVERIFY(e.trace(QStringLiteral("Host.P3.1")) >= 0);
        QString error;
        QCOMPARE(e.session()->AddTrace(path, &error), -1);
        QVERIFY2(error.contains(reason), qPrintable(error));
    }

private:
    std::unique_ptr<QTemporaryDir> m_settings;
};

QTEST_MAIN(TestTrace)
#include "test_trace.moc"
