#include "platform/clock.h"

#include <QGuiApplication>
#include <QStyleHints>
#include <QThread>

namespace {
ClockService* g_clock = nullptr;

SystemClock& systemClock() {
    static SystemClock clock;
    return clock;
}
} // namespace

ClockService& Clock() {
    return g_clock ? *g_clock : systemClock();
}

void InstallClock(ClockService* clock) {
    g_clock = clock;
}

void ClockService::Wait(int ms) {
    if (ms > 0) QThread::msleep(ulong(ms));
}

SimTimer::SimTimer(QObject* parent) : QObject(parent) {
    m_qtTimer.setSingleShot(false);
    connect(&m_qtTimer, &QTimer::timeout, this, &SimTimer::Fire);
}

SimTimer::~SimTimer() {
    Stop();
    if (m_entryOn) static_cast<ClockService*>(m_entryOn)->Release(this);
}

void SimTimer::SetInterval(int ms) {
    m_interval = ms < 0 ? 0 : ms;
    if (m_active) Start();
}

void SimTimer::Start() {
    if (m_armedOn) m_armedOn->Disarm(this);
    m_active = true;
    m_armedOn = &Clock();
    m_armedOn->Arm(this);
}

void SimTimer::Stop() {
    if (!m_armedOn && !m_active) return;
    if (m_armedOn) m_armedOn->Disarm(this);
    m_armedOn = nullptr;
    m_active = false;
}

void SimTimer::Fire() {
    if (m_active) emit timeout();
}

SystemClock::SystemClock() {
    m_elapsed.start();
}

qint64 SystemClock::TickCount() const {
    return m_elapsed.elapsed();
}

int SystemClock::DoubleClickTime() const {
    if (qGuiApp) return QGuiApplication::styleHints()->mouseDoubleClickInterval();
    return 400;
}

void SystemClock::Arm(SimTimer* timer) {
    timer->m_qtTimer.start(timer->m_interval);
}

void SystemClock::Disarm(SimTimer* timer) {
    timer->m_qtTimer.stop();
}

ManualClock::~ManualClock() {
    // Timers that outlive the clock must not reach back into it.
    for (auto& entry : m_due) {
        SimTimer* timer = entry.second;
        if (timer->m_armedOn == this) timer->m_armedOn = nullptr;
        timer->m_entryOn = nullptr;
        timer->m_entryDue = -1;
        timer->m_wantDue = -1;
    }
}

void ManualClock::Insert(SimTimer* timer, Key key) {
    timer->m_entryOn = this;
    timer->m_entryDue = key.first;
    timer->m_entrySequence = key.second;
    m_due.emplace(key, timer);
}

void ManualClock::Erase(SimTimer* timer) {
    if (timer->m_entryOn != this) return;
    m_due.erase(Key{timer->m_entryDue, timer->m_entrySequence});
    timer->m_entryOn = nullptr;
    timer->m_entryDue = -1;
}

void ManualClock::Arm(SimTimer* timer) {
    // An entry left on another clock goes first: the timer keeps one entry.
    if (timer->m_entryOn && timer->m_entryOn != this) timer->m_entryOn->Release(timer);
    if (timer->m_wantDue < 0) ++m_live;
    const Key want{m_now + timer->Interval(), ++m_sequence};
    timer->m_wantDue = want.first;
    timer->m_wantSequence = want.second;
    // An entry due later would fire late: it moves now. One due earlier moves on when it comes.
    if (timer->m_entryOn == this && timer->m_entryDue > want.first) Erase(timer);
    if (timer->m_entryOn != this) Insert(timer, want);
}

void ManualClock::Disarm(SimTimer* timer) {
    if (timer->m_wantDue < 0) return;
    timer->m_wantDue = -1;
    --m_live;
}

void ManualClock::Release(SimTimer* timer) {
    if (timer->m_entryOn != this) return;
    Disarm(timer);
    Erase(timer);
}

void ManualClock::Advance(qint64 ms) {
    const qint64 target = m_now + (ms < 0 ? 0 : ms);
    while (!m_due.empty() && m_due.begin()->first.first <= target) {
        auto first = m_due.begin();
        const Key key = first->first;
        SimTimer* timer = first->second;
        m_due.erase(first);
        timer->m_entryOn = nullptr;
        timer->m_entryDue = -1;
        if (timer->m_wantDue < 0) continue; // stopped since
        const Key want{timer->m_wantDue, timer->m_wantSequence};
        if (want != key) { // restarted since
            Insert(timer, want);
            continue;
        }
        m_now = key.first;
        // Periodic: due again one interval later unless the tick stops it (a zero interval would
        // spin, so it waits at least a millisecond).
        const Key next{m_now + qMax(1, timer->Interval()), ++m_sequence};
        timer->m_wantDue = next.first;
        timer->m_wantSequence = next.second;
        Insert(timer, next);
        timer->Fire();
    }
    m_now = target;
}

ScopedManualClock::ScopedManualClock() : m_previous(g_clock) {
    g_clock = &m_clock;
}

ScopedManualClock::~ScopedManualClock() {
    g_clock = m_previous;
}
