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
    for (auto& entry : m_due)
        entry.second->m_armedOn = nullptr;
}

void ManualClock::Arm(SimTimer* timer) {
    Disarm(timer);
    m_due.emplace(std::make_pair(m_now + timer->Interval(), ++m_sequence), timer);
}

void ManualClock::Disarm(SimTimer* timer) {
    for (auto it = m_due.begin(); it != m_due.end(); ++it) {
        if (it->second == timer) {
            m_due.erase(it);
            return;
        }
    }
}

void ManualClock::Advance(qint64 ms) {
    const qint64 target = m_now + (ms < 0 ? 0 : ms);
    while (!m_due.empty() && m_due.begin()->first.first <= target) {
        auto first = m_due.begin();
        SimTimer* timer = first->second;
        m_now = first->first.first;
        m_due.erase(first);
        // Periodic: due again one interval later unless the tick stops it (a zero interval would
        // spin, so it waits at least a millisecond).
        m_due.emplace(std::make_pair(m_now + qMax(1, timer->Interval()), ++m_sequence), timer);
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
