#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <functional>
#include <map>

class ManualClock;
class SimTimer;

// Time as the program sees it: the millisecond tick counter, the double-click time and the timers.
// Tests install a ManualClock so nothing ever sleeps.
class ClockService {
public:
    virtual ~ClockService() = default;
    virtual qint64 TickCount() const = 0;
    virtual int DoubleClickTime() const = 0;
    // Blocks for `ms` as the program sees time: the system clock really sleeps; a manual clock only
    // advances (firing the timers that fall due), so tests never sleep.
    virtual void Wait(int ms);

protected:
    friend class SimTimer;
    virtual void Arm(SimTimer* timer) = 0;    // (re)start from now with the timer's interval
    virtual void Disarm(SimTimer* timer) = 0; // idempotent
    // The timer is going away: nothing of it may stay behind.
    virtual void Release(SimTimer* timer) { Disarm(timer); }
};

ClockService& Clock();
// Not owned. Install before any SimTimer is started; nullptr restores the system clock.
void InstallClock(ClockService* clock);

// A periodic timer driven by the installed clock (a QTimer under the system clock).
class SimTimer : public QObject {
    Q_OBJECT

public:
    explicit SimTimer(QObject* parent = nullptr);
    ~SimTimer() override;

    int Interval() const { return m_interval; }
    void SetInterval(int ms);
    bool IsActive() const { return m_active; }
    void Start();
    void Stop();
    // Enabled/disabled as a desktop timer component knows it: enabling (re)starts the count.
    void SetEnabled(bool on) { on ? Start() : Stop(); }

signals:
    void timeout();

private:
    friend class SystemClock;
    friend class ManualClock;
    void Fire();

    int m_interval = 1000;
    bool m_active = false;
    QTimer m_qtTimer; // used by the system clock only
    ClockService* m_armedOn = nullptr;
    // A manual clock's bookkeeping: the key of this timer's entry in its queue (if any), and when
    // the timer is wanted to fire (due < 0: not at all).
    ManualClock* m_entryOn = nullptr;
    qint64 m_entryDue = -1;
    quint64 m_entrySequence = 0;
    qint64 m_wantDue = -1;
    quint64 m_wantSequence = 0;
};

class SystemClock : public ClockService {
public:
    SystemClock();
    qint64 TickCount() const override;
    int DoubleClickTime() const override;

protected:
    void Arm(SimTimer* timer) override;
    void Disarm(SimTimer* timer) override;

private:
    QElapsedTimer m_elapsed;
};

// Test clock: time moves only by Advance, which fires the timers that fall due, in due order.
class ManualClock : public ClockService {
public:
    ~ManualClock() override;
    qint64 TickCount() const override { return m_now; }
    int DoubleClickTime() const override { return m_doubleClick; }
    void Advance(qint64 ms);
    void Wait(int ms) override { Advance(ms); }
    int PendingTimers() const { return m_live; }

protected:
    void Arm(SimTimer* timer) override;
    void Disarm(SimTimer* timer) override;
    void Release(SimTimer* timer) override;

private:
    using Key = std::pair<qint64, quint64>;
    void Insert(SimTimer* timer, Key key);
    void Erase(SimTimer* timer);

    qint64 m_now = 1000000;
    int m_doubleClick = 500;
    quint64 m_sequence = 0;
    int m_live = 0; // timers armed
    // Keyed by (due tick, arming sequence) so equal due times fire in arming order. An indicator
    // that flickers stops and restarts its timer on every change, so stopping leaves the entry in
    // place and restarting only moves the wanted time; an entry that comes due is dropped or moved
    // on to the wanted time then.
    std::map<Key, SimTimer*> m_due;
};

// Installs a manual clock for the lifetime of the guard.
class ScopedManualClock {
public:
    ScopedManualClock();
    ~ScopedManualClock();
    ScopedManualClock(const ScopedManualClock&) = delete;
    ScopedManualClock& operator=(const ScopedManualClock&) = delete;
    ManualClock* operator->() { return &m_clock; }
    ManualClock& operator*() { return m_clock; }

private:
    ManualClock m_clock;
    ClockService* m_previous;
};
