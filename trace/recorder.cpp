#include "trace/recorder.h"

#include <algorithm>

#include "host/mcs51.h"
#include "model/hostpins.h"
#include "model/levels.h"
#include "trace/serialtiming.h"

TTraceRecorder::TTraceRecorder(size_t capacity) {
    m_capacity = std::clamp(capacity, MinCapacity, MaxCapacity);
}

TTraceRecorder::~TTraceRecorder() {
    for (const auto& [contact, index] : m_byContact)
        const_cast<TOrvexDriver*>(contact)->SetWatch(nullptr);
}

void TTraceRecorder::SetTimeSource(std::function<TTimeReading()> now,
                                   std::function<double()> cyclePs) {
    m_now = std::move(now);
    m_cyclePs = std::move(cyclePs);
    const TTimeReading reading = m_now ? m_now() : TTimeReading{};
    m_epochRaw = m_lastRaw = reading.Ps;
    m_clock = reading.Clock;
    m_base = m_lastTime;
}

quint64 TTraceRecorder::Now() {
    const TTimeReading reading = m_now ? m_now() : TTimeReading{};
    // Another clock, or one that went back (a restart), continues from the last stamp.
    if (reading.Clock != m_clock || reading.Ps < m_lastRaw) {
        m_clock = reading.Clock;
        m_epochRaw = reading.Ps;
        m_base = m_lastTime;
        if (m_recording) AppendGap(m_lastTime);
    }
    m_lastRaw = reading.Ps;
    const quint64 now = std::max(m_base + (reading.Ps - m_epochRaw), m_lastTime);
    m_lastTime = now;
    return now;
}

void TTraceRecorder::SetRecording(bool on) {
    if (on == m_recording) return;
    m_recording = on;
    if (on) {
        MarkGap();
    } else {
        // The stretch ends where it is now.
        Now();
    }
}

qint32 TTraceRecorder::ContactValue(const TOrvexDriver* contact, int width) {
    const int level = contact->Value();
    if (width == 8) return level < 0 ? -1 : (level & 0xFF);
    if (level < 0) return -1;
    return IsHighLevel(level) ? 1 : 0;
}

qint32 TTraceRecorder::CoreValue(const TTrace& trace) const {
    if (!m_core) return -1;
    const uint8_t pins = m_core->PortPins(trace.Core.Port);
    return trace.Core.Bit < 0 ? qint32(pins) : qint32((pins >> trace.Core.Bit) & 1);
}

int TTraceRecorder::AddContact(TOrvexDriver* contact, const QString& scope, const QString& name,
                               QString* error) {
    auto fail = [error](const QString& why) {
        if (error) *error = why;
        return -1;
    };
    if (!contact) return fail(QStringLiteral("there is no such contact"));
    if (m_traces.size() >= size_t(MaxTraces))
        return fail(QStringLiteral("at most %1 traces can be recorded").arg(MaxTraces));
    if (m_byContact.count(contact))
        return fail(QStringLiteral("%1.%2 is traced already").arg(scope, name));
    if (contact->Watch()) return fail(QStringLiteral("%1.%2 is watched already").arg(scope, name));
    TTrace trace;
    trace.Scope = scope;
    trace.Name = name;
    // A port carries a byte; every other driver a level.
    trace.Width = qobject_cast<TOrvexPortDriver*>(contact) ? 8 : 1;
    trace.Contact = contact;
    const int index = int(m_traces.size());
    m_traces.push_back(trace);
    m_byContact.emplace(contact, index);
    contact->SetWatch(this);
    if (m_recording) Record(index, ContactValue(contact, trace.Width), Now());
    return index;
}

int TTraceRecorder::AddCorePin(TCorePin pin, const QString& name, QString* error) {
    auto fail = [error](const QString& why) {
        if (error) *error = why;
        return -1;
    };
    if (pin.Port < 0 || pin.Port > 3 || pin.Bit < -1 || pin.Bit > 7)
        return fail(QStringLiteral("the core has no pin P%1.%2").arg(pin.Port).arg(pin.Bit));
    if (m_traces.size() >= size_t(MaxTraces))
        return fail(QStringLiteral("at most %1 traces can be recorded").arg(MaxTraces));
    for (const TTrace& trace : m_traces)
        if (trace.IsCore && trace.Core.Port == pin.Port && trace.Core.Bit == pin.Bit)
            return fail(QStringLiteral("Host.%1 is traced already").arg(name));
    TTrace trace;
    trace.Scope = QStringLiteral("Host");
    trace.Name = name;
    trace.Width = pin.Bit < 0 ? 8 : 1;
    trace.IsCore = true;
    trace.Core = pin;
    const int index = int(m_traces.size());
    m_traces.push_back(trace);
    m_hasCoreTraces = true;
    if (m_recording) Record(index, CoreValue(trace), Now());
    return index;
}

void TTraceRecorder::Clear() {
    for (const auto& [contact, index] : m_byContact)
        const_cast<TOrvexDriver*>(contact)->SetWatch(nullptr);
    m_byContact.clear();
    m_traces.clear();
    m_hasCoreTraces = false;
    m_first = m_count = 0;
    m_dropped = m_keptFrom = 0;
}

void TTraceRecorder::MarkGap() {
    const quint64 now = Now();
    m_epochRaw = m_lastRaw;
    m_base = now;
    AppendGap(now);
    for (TTrace& trace : m_traces)
        trace.Last = Unknown;
    if (m_recording) RecordPresent();
}

void TTraceRecorder::AppendGap(quint64 time) {
    if (m_count && At(m_count - 1).What == TTraceChange::Gap && At(m_count - 1).Time == time)
        return;
    TTraceChange gap;
    gap.Time = time;
    gap.What = TTraceChange::Gap;
    Append(gap);
}

void TTraceRecorder::RecordPresent() {
    const quint64 now = Now();
    for (size_t i = 0; i < m_traces.size(); ++i) {
        const TTrace& trace = m_traces[i];
        if (trace.Ended) continue;
        if (trace.IsCore)
            Record(int(i), CoreValue(trace), now);
        else if (trace.Contact)
            Record(int(i), ContactValue(trace.Contact, trace.Width), now);
    }
}

void TTraceRecorder::SampleCore() {
    if (!m_recording || !m_hasCoreTraces) return;
    quint64 now = 0;
    bool stamped = false;
    for (size_t i = 0; i < m_traces.size(); ++i) {
        const TTrace& trace = m_traces[i];
        if (!trace.IsCore) continue;
        const qint32 value = CoreValue(trace);
        if (value == trace.Last) continue;
        if (!stamped) {
            now = Now();
            stamped = true;
        }
        Record(int(i), value, now);
    }
}

void TTraceRecorder::SerialFrameSent(uint8_t byte) {
    if (!m_recording || !m_hasCoreTraces || !m_core) return;
    LayOutFrame(1, byte, (m_core->Sfr(mcs51::sfr::SCON) & 0x08) != 0); // TB8
}

void TTraceRecorder::SerialFrameReceived(uint8_t byte, bool ninth) {
    if (!m_recording || !m_hasCoreTraces || !m_core) return;
    LayOutFrame(0, byte, ninth);
}

void TTraceRecorder::LayOutFrame(int pin, uint8_t byte, bool ninth) {
    if (!m_cyclePs) return;
    const TSerialTiming timing = SerialTimingOf(*m_core, pin == 0);
    const double cyclePs = m_cyclePs();
    if (timing.BitCycles <= 0 || cyclePs <= 0) return;
    // The frame has just ended: lay its bits out backwards from now.
    const quint64 now = Now();
    const double bitPs = timing.BitCycles * cyclePs;
    const quint64 framePs = quint64(bitPs * timing.FrameBits + 0.5);
    const uint8_t pins = m_core->PortPins(3);
    const int idleRxd = pins & 1, idleTxd = (pins >> 1) & 1;
    for (size_t i = 0; i < m_traces.size(); ++i) {
        TTrace& trace = m_traces[i];
        const int bit = trace.Core.Bit;
        // Asynchronous frames use one pin; a shift-register frame both (data and clock).
        if (!trace.IsCore || trace.Core.Port != 3 || (bit != -1 && bit != 0 && bit != 1) ||
            (timing.Asynchronous() && bit != -1 && bit != pin))
            continue;
        const quint64 start = std::max(now > framePs ? now - framePs : 0, trace.LastTime);
        const qint32 idle = CoreValue(trace); // the latch's level outside frames
        // RXD and TXD as this trace shows them.
        const auto show = [&](int rxd, int txd) -> qint32 {
            if (bit == 0) return rxd;
            if (bit == 1) return txd;
            return (idle & ~0x03) | rxd | (txd << 1);
        };
        const auto at = [&](double ps) {
            return std::max(start + quint64(ps + 0.5), m_traces[i].LastTime);
        };
        if (!timing.Asynchronous()) {
            // Mode 0: each machine cycle one data bit on RXD, LSB first, while the clock on TXD
            // is low for the first half and rises in the middle (the receiver samples there).
            for (int b = 0; b < 8; ++b) {
                const int data = (byte >> b) & 1;
                Record(int(i), show(data, 0), at(bitPs * b));
                Record(int(i), show(data, 1), at(bitPs * (b + 0.5)));
            }
        } else {
            for (int b = 0; b < timing.FrameBits; ++b) {
                int level;
                if (b == 0)
                    level = 0;
                else if (b <= 8)
                    level = (byte >> (b - 1)) & 1;
                else if (b == 9 && timing.FrameBits == 11)
                    level = ninth ? 1 : 0;
                else
                    level = 1;
                Record(int(i), pin == 1 ? show(idleRxd, level) : show(level, idleTxd),
                       at(bitPs * b));
            }
        }
        Record(int(i), idle, std::max(now, trace.LastTime));
    }
}

int TTraceRecorder::TraceOf(const TOrvexDriver* contact) const {
    const auto it = m_byContact.find(contact);
    return it == m_byContact.end() ? -1 : it->second;
}

void TTraceRecorder::LevelWritten(TOrvexDriver* driver) {
    if (!m_recording) return;
    const int index = TraceOf(driver);
    if (index < 0) return;
    const TTrace& trace = m_traces[size_t(index)];
    const qint32 value = ContactValue(driver, trace.Width);
    if (value != trace.Last) Record(index, value, Now());
}

void TTraceRecorder::Rewired(TOrvexDriver* driver) {
    const int index = TraceOf(driver);
    if (index >= 0) EndTrace(index);
}

void TTraceRecorder::Gone(TOrvexDriver* driver) {
    const int index = TraceOf(driver);
    if (index >= 0) EndTrace(index);
}

void TTraceRecorder::EndTrace(int index) {
    TTrace& trace = m_traces[size_t(index)];
    if (trace.Ended) return;
    if (trace.Contact) {
        trace.Contact->SetWatch(nullptr);
        m_byContact.erase(trace.Contact);
        trace.Contact = nullptr;
    }
    trace.Ended = true;
    TTraceChange end;
    end.Time = Now();
    end.Trace = quint16(index);
    end.What = TTraceChange::End;
    end.Value = -1;
    Append(end);
    trace.Last = -1;
}

void TTraceRecorder::Record(int index, qint32 value, quint64 time) {
    TTrace& trace = m_traces[size_t(index)];
    if (value == trace.Last) return;
    const qint32 before = trace.Last;
    trace.Last = value;
    trace.LastTime = time;
    TTraceChange change;
    change.Time = time;
    change.Value = value;
    change.Trace = quint16(index);
    Append(change);
    if (trace.Armed && m_armedHook) [[unlikely]]
        m_armedHook(index, before, value, time);
}

void TTraceRecorder::SetArmed(int trace, bool on) {
    if (trace >= 0 && trace < int(m_traces.size())) m_traces[size_t(trace)].Armed = on;
}

void TTraceRecorder::Append(const TTraceChange& change) {
    if (m_count == m_capacity) {
        m_keptFrom = std::max(m_keptFrom, m_ring[m_first].Time);
        m_first = (m_first + 1) % m_ring.size();
        --m_count;
        ++m_dropped;
    } else if (m_count == m_ring.size()) {
        // Not full yet, so nothing was dropped and the kept changes start at slot 0. Growth
        // stops at the bound rather than doubling past it.
        if (m_ring.size() == m_ring.capacity())
            m_ring.reserve(std::min(m_capacity, std::max<size_t>(256, m_ring.size() * 2)));
        m_ring.push_back(change);
        ++m_count;
        return;
    }
    m_ring[(m_first + m_count) % m_ring.size()] = change;
    ++m_count;
}

void TTraceRecorder::SetCapacity(size_t capacity) {
    capacity = std::clamp(capacity, MinCapacity, MaxCapacity);
    std::vector<TTraceChange> kept;
    kept.reserve(std::min(capacity, m_count));
    const size_t skip = m_count > capacity ? m_count - capacity : 0;
    for (size_t i = 0; i < skip; ++i)
        m_keptFrom = std::max(m_keptFrom, At(i).Time);
    m_dropped += skip;
    for (size_t i = skip; i < m_count; ++i)
        kept.push_back(At(i));
    m_count = kept.size();
    m_capacity = capacity;
    m_ring = std::move(kept);
    m_first = 0;
}

std::vector<TTraceChange> TTraceRecorder::Sorted() const {
    std::vector<TTraceChange> changes;
    changes.reserve(m_count);
    for (size_t i = 0; i < m_count; ++i)
        changes.push_back(At(i));
    std::stable_sort(changes.begin(), changes.end(),
                     [](const TTraceChange& a, const TTraceChange& b) { return a.Time < b.Time; });
    return changes;
}
