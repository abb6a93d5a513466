#include "editor/analyser.h"

#include <QMetaObject>
#include <QPointer>
#include <algorithm>
#include <cmath>

#include "editor/brelvanfrm.h"
#include "editor/firmwarerunner.h"
#include "editor/firmwareui.h"
#include "editor/tracesession.h"
#include "simulation/simform.h"
#include "trace/recorder.h"
#include "trace/serialtiming.h"

// ---------------------------------------------------------------- view maths

void TTimeView::ZoomAt(double x, double factor) {
    if (!(factor > 0) || !std::isfinite(factor)) return;
    const double at = Time(x);
    PsPerPixel = std::clamp(PsPerPixel / factor, MinPsPerPixel, MaxPsPerPixel);
    SetStart(at - x * PsPerPixel);
}

void TTimeView::Fit(double fromPs, double toPs, int width) {
    if (width < 1) width = 1;
    if (toPs <= fromPs) toPs = fromPs + 1e6 * width; // nothing recorded: a microsecond a pixel
    PsPerPixel = std::clamp((toPs - fromPs) / width, MinPsPerPixel, MaxPsPerPixel);
    SetStart(fromPs);
}

QString AnalyserTimeText(double ps, int digits) {
    const double magnitude = std::fabs(ps);
    struct Unit {
        double Ps;
        const char* Name;
    };
    static const Unit units[] = {{1e12, "s"}, {1e9, "ms"}, {1e6, "us"}, {1e3, "ns"}, {1, "ps"}};
    for (const Unit& unit : units)
        if (magnitude >= unit.Ps || unit.Ps == 1)
            return QStringLiteral("%1 %2")
                .arg(ps / unit.Ps, 0, 'g', digits)
                .arg(QLatin1String(unit.Name));
    return {};
}

QString AnalyserFrequencyText(double hz) {
    if (hz >= 1e6) return QStringLiteral("%1 MHz").arg(hz / 1e6, 0, 'g', 6);
    if (hz >= 1e3) return QStringLiteral("%1 kHz").arg(hz / 1e3, 0, 'g', 6);
    return QStringLiteral("%1 Hz").arg(hz, 0, 'g', 6);
}

// ---------------------------------------------------------------- index

void TTraceIndex::Reset() {
    m_points.clear();
    m_gaps.clear();
    m_forgotten.clear();
    m_taken = 0;
    m_size = 0;
}

void TTraceIndex::Add(int trace, quint64 time, qint32 value) {
    if (trace >= int(m_points.size())) {
        m_points.resize(size_t(trace) + 1);
        m_forgotten.resize(size_t(trace) + 1);
    }
    m_points[size_t(trace)].push_back({time, value});
}

void TTraceIndex::Update(const TTraceRecorder& recorder) {
    const quint64 total = recorder.Dropped() + recorder.Count();
    // Cleared (or another recording): start over.
    if (total < m_taken || (recorder.Count() == 0 && m_size != 0)) Reset();
    const quint64 fresh = std::min<quint64>(total - m_taken, recorder.Count());
    for (size_t i = recorder.Count() - size_t(fresh); i < recorder.Count(); ++i) {
        const TTraceChange& change = recorder.At(i);
        if (change.What == TTraceChange::Gap)
            m_gaps.push_back(change.Time);
        else
            Add(change.Trace, change.Time, change.What == TTraceChange::End ? Ended : change.Value);
    }
    m_taken = total;
    m_size = recorder.Count();
    // What the recorder dropped goes here too, in large steps so that the cost stays linear.
    if (recorder.Dropped() > 0) {
        const quint64 from = recorder.KeptFrom();
        for (size_t trace = 0; trace < m_points.size(); ++trace) {
            std::vector<TPoint>& points = m_points[trace];
            const auto cut = std::lower_bound(
                points.begin(), points.end(), from,
                [](const TPoint& point, quint64 time) { return point.Time < time; });
            // The last point before the kept part still gives the level there.
            if (cut - points.begin() > 1 && size_t(cut - points.begin()) > points.size() / 2) {
                m_forgotten[trace] += quint64(cut - 1 - points.begin());
                points.erase(points.begin(), cut - 1);
            }
        }
        const auto gapCut = std::lower_bound(m_gaps.begin(), m_gaps.end(), from);
        if (size_t(gapCut - m_gaps.begin()) > m_gaps.size() / 2)
            m_gaps.erase(m_gaps.begin(), gapCut);
    }
}

const std::vector<TTraceIndex::TPoint>& TTraceIndex::Points(int trace) const {
    static const std::vector<TPoint> none;
    return trace >= 0 && trace < int(m_points.size()) ? m_points[size_t(trace)] : none;
}

quint64 TTraceIndex::Forgotten(int trace) const {
    return trace >= 0 && trace < int(m_forgotten.size()) ? m_forgotten[size_t(trace)] : 0;
}

size_t TTraceIndex::LowerBound(int trace, quint64 ps) const {
    const std::vector<TPoint>& points = Points(trace);
    return size_t(
        std::lower_bound(points.begin(), points.end(), ps,
                         [](const TPoint& point, quint64 time) { return point.Time < time; }) -
        points.begin());
}

qint32 TTraceIndex::ValueAt(int trace, quint64 ps) const {
    const std::vector<TPoint>& points = Points(trace);
    const auto after =
        std::upper_bound(points.begin(), points.end(), ps,
                         [](quint64 time, const TPoint& point) { return time < point.Time; });
    return after == points.begin() ? TTraceRecorder::Unknown : (after - 1)->Value;
}

std::optional<quint64> TTraceIndex::NextEdge(int trace, quint64 ps) const {
    const std::vector<TPoint>& points = Points(trace);
    qint32 value = ValueAt(trace, ps);
    for (size_t i = LowerBound(trace, ps + 1); i < points.size(); ++i) {
        if (points[i].Value != value) return points[i].Time;
        value = points[i].Value;
    }
    return std::nullopt;
}

std::optional<quint64> TTraceIndex::PreviousEdge(int trace, quint64 ps) const {
    const std::vector<TPoint>& points = Points(trace);
    // A point before ps that differs from the one before it.
    for (size_t i = LowerBound(trace, ps); i-- > 1;)
        if (points[i].Value != points[i - 1].Value) return points[i].Time;
    return std::nullopt;
}

// ---------------------------------------------------------------- UART

std::vector<TUartFrame> DecodeUart(const TTraceIndex& index, int trace, double baud, int bits,
                                   quint64 fromPs, quint64 toPs) {
    std::vector<TUartFrame> frames;
    if (!(baud > 0) || (bits != 8 && bits != 9)) return frames;
    const double bit = 1e12 / baud;
    const std::vector<TTraceIndex::TPoint>& points = index.Points(trace);
    size_t i = index.LowerBound(trace, fromPs);
    while (i < points.size() && points[i].Time <= toPs) {
        // A start bit: a fall from high.
        if (points[i].Value != 0 || i == 0 || points[i - 1].Value != 1) {
            ++i;
            continue;
        }
        const double start = double(points[i].Time);
        const double stopAt = start + (1.5 + bits) * bit;
        if (stopAt > double(toPs)) break;                            // not complete yet
        if (index.ValueAt(trace, quint64(start + 0.5 * bit)) != 0) { // a glitch
            ++i;
            continue;
        }
        TUartFrame frame;
        frame.Start = quint64(start);
        frame.End = quint64(start + (2 + bits) * bit);
        for (int b = 0; b < bits; ++b)
            if (index.ValueAt(trace, quint64(start + (1.5 + b) * bit)) == 1) frame.Value |= 1 << b;
        frame.FramingError = index.ValueAt(trace, quint64(stopAt)) != 1;
        frames.push_back(frame);
        i = index.LowerBound(trace, quint64(stopAt));
    }
    return frames;
}

// ---------------------------------------------------------------- analyser

TAnalyser::TAnalyser(TfrmPlugin* window, QObject* parent)
    : QObject(parent), m_window(window), m_session(TTraceSession::Of(window)) {
    m_session->Recorder().SetArmedHook([analyser = QPointer<TAnalyser>(this)](
                                           int trace, qint32 before, qint32 value, quint64 time) {
        if (analyser) analyser->ArmedTraceChanged(trace, before, value, time);
    });
    connect(m_session, &TTraceSession::TracesChanged, this, [this] {
        // A cleared recording takes the rows with it.
        if (m_session->Recorder().TraceCount() != 0) return;
        m_index.Reset();
        CommittedSetup.clear();
        m_armedTrace = -1;
        if (!m_rows.isEmpty()) {
            m_rows.clear();
            m_trigger.reset();
            CursorA.reset();
            CursorB.reset();
            emit RowsChanged();
        }
    });
    // Rows whose path named nothing may name a component now (renamed, pasted, brought back).
    connect(window, &TfrmPlugin::RunningChanged, this, [this](bool running) {
        if (running) ResolveRows();
    });
}

QString TAnalyser::TracePath(int trace) const {
    const TTraceRecorder::TTrace& t = m_session->Recorder().Trace(trace);
    return t.Scope + QLatin1Char('.') + t.Name;
}

int TAnalyser::Width(int row) const {
    if (m_rows[row].Trace < 0) return 1; // unresolved: nothing recorded
    return m_session->Recorder().Trace(m_rows[row].Trace).Width;
}

bool TAnalyser::AddPath(const QString& path, QString* error) {
    const TTraceRecorder& recorder = m_session->Recorder();
    int trace = -1;
    for (int i = 0; i < recorder.TraceCount(); ++i)
        if (TracePath(i).compare(path.trimmed(), Qt::CaseInsensitive) == 0) trace = i;
    if (trace < 0) trace = m_session->AddTrace(path, error);
    if (trace < 0) return false;
    for (const TAnalyserRow& row : m_rows)
        if (row.Trace == trace && !row.Lcd) {
            if (error) *error = QStringLiteral("%1 is shown already").arg(path.trimmed());
            return false;
        }
    static const QColor palette[] = {QColor(0, 150, 0),   QColor(0, 90, 200),  QColor(200, 100, 0),
                                     QColor(160, 0, 160), QColor(0, 140, 140), QColor(180, 0, 0)};
    TAnalyserRow row;
    row.Trace = trace;
    row.Label = TracePath(trace);
    row.Color = palette[m_rows.size() % std::size(palette)];
    m_rows.append(row);
    Refresh();
    emit RowsChanged();
    return true;
}

void TAnalyser::RemoveRow(int index) {
    if (index < 0 || index >= m_rows.size()) return;
    if (m_trigger && m_trigger->Row == index) Disarm();
    if (m_trigger && m_trigger->Row > index) --m_trigger->Row;
    m_rows.removeAt(index);
    emit RowsChanged();
}

void TAnalyser::MoveRow(int index, int by) {
    const int to = index + by;
    if (index < 0 || index >= m_rows.size() || to < 0 || to >= m_rows.size()) return;
    m_rows.move(index, to);
    if (m_trigger && m_trigger->Row == index)
        m_trigger->Row = to;
    else if (m_trigger && m_trigger->Row == to)
        m_trigger->Row = index;
    emit RowsChanged();
}

quint64 TAnalyser::EndPs() const {
    return std::max(m_session->Recorder().LastTime(),
                    m_session->Recorder().Recording()
                        ? const_cast<TTraceRecorder&>(m_session->Recorder()).Now()
                        : quint64(0));
}

quint64 TAnalyser::BeginPs() const {
    return m_session->Recorder().KeptFrom();
}

void TAnalyser::Refresh() {
    m_index.Update(m_session->Recorder());
}

void TAnalyser::Arm(const TAnalyserTrigger& trigger) {
    m_index.Update(m_session->Recorder());
    m_trigger = trigger;
    m_trigger->Count = std::max(1, trigger.Count);
    m_seen = 0;
    m_triggeredAt.reset();
    // Only what happens from now on counts: the recorder reports each change as it records it.
    SetArmedTrace(trigger.Row >= 0 && trigger.Row < m_rows.size() ? m_rows[trigger.Row].Trace : -1);
}

double TAnalyser::BaudOf(int row) const {
    const TAnalyserRow& r = m_rows[row];
    if (r.Baud > 0 || r.Trace < 0) return r.Baud;
    const TTraceRecorder::TTrace& trace = m_session->Recorder().Trace(r.Trace);
    TFirmwareRunner* runner = m_window->Firmware()->Runner();
    if (trace.IsCore && trace.Core.Port == 3 && (trace.Core.Bit == 0 || trace.Core.Bit == 1) &&
        runner->HasFirmware())
        return SerialTimingOf(runner->Core(), trace.Core.Bit == 0).Baud(runner->Crystal());
    return 0;
}

std::vector<TUartFrame> TAnalyser::Frames(int row, quint64 fromPs, quint64 toPs) const {
    const TAnalyserRow& r = m_rows[row];
    if (r.Trace < 0) return {};
    return DecodeUart(m_index, r.Trace, BaudOf(row), r.UartBits, fromPs, toPs);
}

// ---------------------------------------------------------------- grouping and saving

int TAnalyser::TraceFor(const QString& path, QString* error) {
    const TTraceRecorder& recorder = m_session->Recorder();
    for (int i = 0; i < recorder.TraceCount(); ++i)
        if (TracePath(i).compare(path.trimmed(), Qt::CaseInsensitive) == 0) return i;
    return m_session->AddTrace(path, error);
}

QString TAnalyser::RowPath(int row) const {
    const TAnalyserRow& r = m_rows[row];
    if (r.Trace < 0) return r.Unresolved;
    // A component renamed since the row was made: its name now, so that the board opens with the
    // row again.
    const TTraceRecorder::TTrace& trace = m_session->Recorder().Trace(r.Trace);
    if (trace.Contact && !trace.Ended) {
        const QObject* component = trace.Contact;
        while (component->parent() && component->parent() != m_window->Board())
            component = component->parent();
        if (component->parent() && !component->objectName().isEmpty() && trace.Name != trace.Scope)
            return component->objectName() + QLatin1Char('.') + trace.Name;
    }
    return TracePath(r.Trace);
}

void TAnalyser::SetRows(const QList<TAnalyserRow>& rows) {
    const int triggerTrace = m_trigger && m_trigger->Row >= 0 && m_trigger->Row < m_rows.size()
                                 ? m_rows[m_trigger->Row].Trace
                                 : -1;
    m_rows = rows;
    KeepGroupsTogether();
    if (m_trigger) {
        m_trigger->Row = -1;
        for (int i = 0; i < m_rows.size() && triggerTrace >= 0; ++i)
            if (m_rows[i].Trace == triggerTrace) m_trigger->Row = i;
        if (m_trigger->Row < 0) m_trigger.reset();
    }
    Refresh();
    emit RowsChanged();
}

void TAnalyser::KeepGroupsTogether() {
    // Each group's rows follow its first row, in their order; rows without a group keep theirs.
    QList<TAnalyserRow> ordered;
    ordered.reserve(m_rows.size());
    QStringList placed;
    for (int i = 0; i < m_rows.size(); ++i) {
        const QString& group = m_rows[i].Group;
        if (group.isEmpty()) {
            ordered.append(m_rows[i]);
            continue;
        }
        if (placed.contains(group)) continue;
        placed.append(group);
        for (int j = i; j < m_rows.size(); ++j)
            if (m_rows[j].Group == group) ordered.append(m_rows[j]);
    }
    m_rows = ordered;
    m_collapsed.removeIf([&placed](const QString& group) { return !placed.contains(group); });
}

void TAnalyser::SetGroup(const QList<int>& rows, const QString& group) {
    QList<int> chosen;
    for (int row : rows)
        if (row >= 0 && row < m_rows.size() && !chosen.contains(row)) chosen.append(row);
    if (chosen.isEmpty()) return;
    std::sort(chosen.begin(), chosen.end());
    int before = chosen.first();
    if (!group.isEmpty()) {
        // After the group's last row that stays where it is.
        for (int i = int(m_rows.size()) - 1; i >= 0; --i)
            if (m_rows[i].Group == group && !chosen.contains(i)) {
                before = i + 1;
                break;
            }
    }
    MoveRowsTo(chosen, before, group);
}

void TAnalyser::MoveRowsTo(const QList<int>& rows, int before, const QString& group) {
    const int triggerTrace = m_trigger && m_trigger->Row >= 0 && m_trigger->Row < m_rows.size()
                                 ? m_rows[m_trigger->Row].Trace
                                 : -1;
    QList<TAnalyserRow> moved;
    QList<TAnalyserRow> rest;
    int at = 0;
    for (int i = 0; i < m_rows.size(); ++i) {
        if (rows.contains(i)) {
            moved.append(m_rows[i]);
            moved.back().Group = group;
        } else {
            rest.append(m_rows[i]);
            if (i < before) ++at;
        }
    }
    if (moved.isEmpty()) return;
    for (int i = 0; i < moved.size(); ++i)
        rest.insert(at + i, moved[i]);
    m_rows = rest;
    KeepGroupsTogether();
    if (m_trigger) {
        for (int i = 0; i < m_rows.size(); ++i)
            if (m_rows[i].Trace == triggerTrace) m_trigger->Row = i;
    }
    emit RowsChanged();
}

QStringList TAnalyser::Groups() const {
    QStringList groups;
    for (const TAnalyserRow& row : m_rows)
        if (!row.Group.isEmpty() && !groups.contains(row.Group)) groups.append(row.Group);
    return groups;
}

QList<TAnalyserLine> TAnalyser::Lines() const {
    QList<TAnalyserLine> lines;
    QString group;
    for (int i = 0; i < m_rows.size(); ++i) {
        const QString& g = m_rows[i].Group;
        if (!g.isEmpty() && g != group) lines.append({-1, g});
        group = g;
        if (g.isEmpty() || !m_collapsed.contains(g)) lines.append({i, g});
    }
    return lines;
}

void TAnalyser::SetCollapsed(const QString& group, bool collapsed) {
    if (collapsed == m_collapsed.contains(group)) return;
    if (collapsed)
        m_collapsed.append(group);
    else
        m_collapsed.removeAll(group);
    emit RowsChanged();
}

void TAnalyser::MoveRowInGroups(int row, int by) {
    const int to = row + by;
    if (row < 0 || row >= m_rows.size() || (by != 1 && by != -1)) return;
    const QString own = m_rows[row].Group;
    const QString next = to >= 0 && to < m_rows.size() ? m_rows[to].Group : QString();
    if (to >= 0 && to < m_rows.size() && next == own) {
        MoveRow(row, by);
        return;
    }
    // At the edge of a block: the row leaves its group first, or joins the one it reaches.
    if (!own.isEmpty())
        MoveRowsTo({row}, by > 0 ? row + 1 : row, QString());
    else if (!next.isEmpty())
        MoveRowsTo({row}, by > 0 ? row + 1 : row, next);
}

void TAnalyser::MoveGroup(const QString& group, int by) {
    QList<int> members;
    for (int i = 0; i < m_rows.size(); ++i)
        if (m_rows[i].Group == group) members.append(i);
    if (members.isEmpty() || (by != 1 && by != -1)) return;
    // Past the neighbouring line: a row without a group, or a whole group.
    int before = -1;
    if (by < 0 && members.first() > 0) {
        const QString above = m_rows[members.first() - 1].Group;
        before = members.first() - 1;
        while (!above.isEmpty() && before > 0 && m_rows[before - 1].Group == above)
            --before;
    } else if (by > 0 && members.last() + 1 < m_rows.size()) {
        const QString below = m_rows[members.last() + 1].Group;
        before = members.last() + 2;
        while (!below.isEmpty() && before < m_rows.size() && m_rows[before].Group == below)
            ++before;
    }
    if (before >= 0) MoveRowsTo(members, before, group);
}

void TAnalyser::ResolveRows() {
    bool resolved = false;
    for (TAnalyserRow& row : m_rows) {
        if (row.Trace >= 0) continue;
        const int trace = TraceFor(row.Unresolved, nullptr);
        if (trace < 0 || std::any_of(m_rows.cbegin(), m_rows.cend(),
                                     [trace](const TAnalyserRow& r) { return r.Trace == trace; }))
            continue;
        row.Trace = trace;
        row.Unresolved.clear();
        resolved = true;
    }
    if (resolved) {
        Refresh();
        emit RowsChanged();
    }
}

// ---------------------------------------------------------------- trigger

void TAnalyser::SetArmedTrace(int trace) {
    TTraceRecorder& recorder = m_session->Recorder();
    if (m_armedTrace >= 0) recorder.SetArmed(m_armedTrace, false);
    m_armedTrace = trace;
    if (trace >= 0) recorder.SetArmed(trace, true);
}

void TAnalyser::ArmedTraceChanged(int trace, qint32 before, qint32 value, quint64 time) {
    if (!m_trigger || trace != m_armedTrace) return;
    bool hit = false;
    switch (m_trigger->What) {
    case TAnalyserTrigger::Rising:
        hit = before == 0 && value == 1;
        break;
    case TAnalyserTrigger::Falling:
        hit = before == 1 && value == 0;
        break;
    case TAnalyserTrigger::Equals:
        hit = value == m_trigger->Value && before != value;
        break;
    }
    if (hit && ++m_seen >= m_trigger->Count) Fire(time);
}

void TAnalyser::Fire(quint64 time) {
    m_triggeredAt = time;
    Disarm();
    // Single shot. The firmware pauses at the end of the instruction that made the edge, so the
    // board shows the state at the edge; a board without firmware leaves Run as soon as the
    // change it is spreading has settled (not inside it).
    TFirmwareRunner* runner = m_window->Firmware()->Runner();
    if (runner->CurrentState() == TFirmwareRunner::State::Running)
        runner->PauseAtInstructionEnd();
    else if (m_window->Running())
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (m_window->Running()) m_window->tbRunClick();
            },
            Qt::QueuedConnection);
    emit Triggered(time);
}

// ---------------------------------------------------------------- decoders

int TAnalyser::TraceOf(const QString& pathOrLabel, QString* error) {
    const QString wanted = pathOrLabel.trimmed();
    if (wanted.isEmpty()) {
        if (error) *error = QStringLiteral("no trace given");
        return -1;
    }
    const TTraceRecorder& recorder = m_session->Recorder();
    for (int i = 0; i < recorder.TraceCount(); ++i)
        if (TracePath(i).compare(wanted, Qt::CaseInsensitive) == 0) return i;
    for (const TAnalyserRow& row : m_rows)
        if (!row.Lcd && row.Label.compare(wanted, Qt::CaseInsensitive) == 0) return row.Trace;
    return m_session->AddTrace(wanted, error);
}

std::optional<TLcdBusLines> TAnalyser::LcdLinesOf(const TLcdBusPaths& paths, QString* error) {
    const TTraceRecorder& recorder = m_session->Recorder();
    // Each line by its path, checked for its width.
    const auto line = [&](const QString& path, int width, const QString& role, int* trace) {
        QString why;
        *trace = TraceOf(path, &why);
        if (*trace < 0) {
            if (error) *error = QStringLiteral("%1: %2").arg(role, why);
            return false;
        }
        if (recorder.Trace(*trace).Width != width) {
            if (error)
                *error = width == 1 ? QStringLiteral("%1: %2 is a bus, not a line").arg(role, path)
                                    : QStringLiteral("%1: %2 is a line, not a bus").arg(role, path);
            return false;
        }
        return true;
    };
    TLcdBusLines lines;
    lines.FourBit = paths.FourBit;
    if (!line(paths.E, 1, QStringLiteral("E"), &lines.E) ||
        !line(paths.Rs, 1, QStringLiteral("RS"), &lines.Rs))
        return std::nullopt;
    if (!paths.Rw.trimmed().isEmpty() && !line(paths.Rw, 1, QStringLiteral("RW"), &lines.Rw))
        return std::nullopt;
    if (!paths.Bus.trimmed().isEmpty()) {
        int bus = -1;
        if (!line(paths.Bus, 8, QStringLiteral("Data"), &bus)) return std::nullopt;
        lines.Data = {bus};
    } else if (paths.Lines.size() == 4) {
        lines.FourBit = true;
        for (int i = 0; i < 4; ++i) {
            int trace = -1;
            if (!line(paths.Lines[i], 1, QStringLiteral("D%1").arg(4 + i), &trace))
                return std::nullopt;
            lines.Data.push_back(trace);
        }
    } else {
        if (error) *error = QStringLiteral("Data: give an 8-bit bus or the four lines D4 to D7");
        return std::nullopt;
    }
    return lines;
}

bool TAnalyser::AddLcdRow(const TLcdBusPaths& paths, QString* error) {
    const std::optional<TLcdBusLines> found = LcdLinesOf(paths, error);
    if (!found) return false;
    const TLcdBusLines& lines = *found;

    TAnalyserRow row;
    row.Trace = lines.E;
    row.Label = QStringLiteral("LCD (%1)").arg(TracePath(lines.E));
    row.Color = QColor(0, 110, 160);
    row.Lcd = true;
    row.LcdLines = lines;
    m_rows.append(row);
    Refresh();
    emit RowsChanged();
    return true;
}

std::vector<TLcdTransfer> TAnalyser::LcdTransfers(int row, quint64 fromPs, quint64 toPs) const {
    if (row < 0 || row >= m_rows.size() || !m_rows[row].Lcd) return {};
    return DecodeLcdBus(m_index, m_rows[row].LcdLines, fromPs, toPs);
}
