#include <QtTest>

#include "platform/clock.h"
#include "platform/dialogs.h"
#include "platform/errors.h"
#include "platform/hostmessages.h"

class TestPlatform : public QObject {
    Q_OBJECT

private slots:
    void voltsRoundHalvesToEven_data();
    void voltsRoundHalvesToEven();
    void packing();
    void manualClockFiresDueTimersInOrder();
    void timerStoppedInItsTickStaysStopped();
    void timerOutlivingClockIsSafe();
    void restartedTimerFiresOneIntervalAfterItsLastStart();
    void dialogRecorderAndReportError();
};

void TestPlatform::voltsRoundHalvesToEven_data() {
    QTest::addColumn<int>("mv");
    QTest::addColumn<int>("volts");
    QTest::newRow("2600") << 2600 << 3;
    QTest::newRow("2500 tie down") << 2500 << 2;
    QTest::newRow("2400") << 2400 << 2;
    QTest::newRow("3500 tie up") << 3500 << 4;
    QTest::newRow("500 tie to 0") << 500 << 0;
    QTest::newRow("1500 tie to 2") << 1500 << 2;
    QTest::newRow("5000") << 5000 << 5;
    QTest::newRow("undefined") << -1 << 0;
    QTest::newRow("-1500") << -1500 << -2;
}

void TestPlatform::voltsRoundHalvesToEven() {
    QFETCH(int, mv);
    QFETCH(int, volts);
    QCOMPARE(MillivoltsToVolts(mv), volts);
}

void TestPlatform::packing() {
    QCOMPARE(PackBytes(0x90, 3, 2, 5), 0x05020390u);
    QCOMPARE(ByteOf(0x05020390u, 2), quint8(2));
    QCOMPARE(PackHostAccessW(4, 0x12345678), 0x04345678u);
    QCOMPARE(PackHostAccessL(0xABCD, 0x1234), qintptr(0x1234ABCD));
}

void TestPlatform::manualClockFiresDueTimersInOrder() {
    ScopedManualClock clock;
    QStringList fired;
    SimTimer a, b;
    a.SetInterval(50);
    b.SetInterval(30);
    connect(&a, &SimTimer::timeout,
            [&] { fired << QStringLiteral("a%1").arg(clock->TickCount()); });
    connect(&b, &SimTimer::timeout,
            [&] { fired << QStringLiteral("b%1").arg(clock->TickCount()); });
    const qint64 t0 = clock->TickCount();
    a.Start();
    b.Start();
    clock->Advance(29);
    QVERIFY(fired.isEmpty());
    clock->Advance(71); // up to t0 + 100: b at 30, 60, 90; a at 50, 100
    QStringList expected;
    for (qint64 t : {30, 50, 60, 90})
        expected << QStringLiteral("%1%2").arg(t == 50 ? "a" : "b").arg(t0 + t);
    expected << QStringLiteral("a%1").arg(t0 + 100);
    QCOMPARE(fired, expected);
    QCOMPARE(clock->TickCount(), t0 + 100);
}

void TestPlatform::timerStoppedInItsTickStaysStopped() {
    ScopedManualClock clock;
    SimTimer t;
    int ticks = 0;
    t.SetInterval(10);
    connect(&t, &SimTimer::timeout, [&] {
        ++ticks;
        t.Stop();
    });
    t.Start();
    clock->Advance(100);
    QCOMPARE(ticks, 1);
    QVERIFY(!t.IsActive());
    QCOMPARE(clock->PendingTimers(), 0);
}

void TestPlatform::timerOutlivingClockIsSafe() {
    auto timer = std::make_unique<SimTimer>();
    {
        ScopedManualClock clock;
        timer->SetInterval(5);
        timer->Start();
    }
    timer.reset(); // must not reach into the destroyed clock
    QVERIFY(true);
}

// An indicator's afterglow timer is stopped and started again on every flicker: each start counts
// from then, a stopped one never fires, and equal due times keep the order of their last start.
void TestPlatform::restartedTimerFiresOneIntervalAfterItsLastStart() {
    ScopedManualClock clock;
    const qint64 t0 = clock->TickCount();
    SimTimer a, b;
    QStringList fired;
    connect(&a, &SimTimer::timeout,
            [&] { fired << QStringLiteral("a%1").arg(clock->TickCount() - t0); });
    connect(&b, &SimTimer::timeout,
            [&] { fired << QStringLiteral("b%1").arg(clock->TickCount() - t0); });
    a.SetInterval(50);
    b.SetInterval(40);
    a.Start();
    for (int k = 0; k < 30; ++k) { // flicker for 30 ms, ending started
        clock->Advance(1);
        a.Stop();
        a.Start();
    }
    QCOMPARE(clock->PendingTimers(), 1);
    b.Start(); // due at 70, while a is due at 80
    clock->Advance(10);
    a.Stop();
    clock->Advance(30); // b fires at 70 and is due again at 110
    a.Start();
    QCOMPARE(clock->PendingTimers(), 2);
    clock->Advance(10);
    a.SetInterval(30); // restarts at 80: due at 110 too, after b, which was armed earlier
    clock->Advance(30);
    QCOMPARE(fired,
             (QStringList{QStringLiteral("b70"), QStringLiteral("b110"), QStringLiteral("a110")}));
    // A timer destroyed with a stale entry leaves nothing behind.
    {
        SimTimer c;
        c.SetInterval(5);
        c.Start();
        c.Stop();
        c.Start();
    }
    a.Stop();
    b.Stop();
    QCOMPARE(clock->PendingTimers(), 0);
    clock->Advance(1000);
    QCOMPARE(fired.size(), 3);
}

void TestPlatform::dialogRecorderAndReportError() {
    ScopedDialogRecorder recorder;
    ReportError(nullptr, ComponentError(QStringLiteral("A component named LED1 already exists")));
    ReportError(nullptr, std::runtime_error("plain failure"));
    ShowInformationBox(nullptr, QStringLiteral("3 objects loaded."));
    QCOMPARE(recorder->messages.size(), 3);
    QCOMPARE(recorder->messages[0].caption, QStringLiteral("Error"));
    QCOMPARE(recorder->messages[0].icon, MessageIcon::Error);
    QCOMPARE(recorder->messages[0].text, QStringLiteral("A component named LED1 already exists"));
    QCOMPARE(recorder->messages[1].text, QStringLiteral("plain failure"));
    QCOMPARE(recorder->messages[2].caption, QStringLiteral("Information"));
    QCOMPARE(recorder->messages[2].icon, MessageIcon::Information);
    recorder->inputAnswers << QStringLiteral("8");
    QCOMPARE(Dialogs().InputText(nullptr, "Grid", "Size", "4"), std::optional<QString>("8"));
    QCOMPARE(Dialogs().InputText(nullptr, "Grid", "Size", "4"), std::nullopt);
}

QTEST_GUILESS_MAIN(TestPlatform)
#include "test_platform.moc"
