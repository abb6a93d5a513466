#pragma once

#include <QColor>
#include <QList>
#include <QObject>
#include <QString>
#include <QtGlobal>
#include <algorithm>
#include <cmath>
#include <optional>
#include <vector>

#include "editor/analyserdecoders.h"

class TTraceRecorder;
class TTraceSession;
class TfrmPlugin;

// The time range an analyser shows across a width of pixels: picoseconds at the left edge and
// picoseconds per pixel.
struct TTimeView {
    double StartPs = 0;
    double PsPerPixel = 1e6; // 1 us per pixel
    static constexpr double MinPsPerPixel = 1.0;
    static constexpr double MaxPsPerPixel = 1e13;

    double X(double ps) const { return (ps - StartPs) / PsPerPixel; }
    double Time(double x) const { return StartPs + x * PsPerPixel; }
    // Zooms by `factor` (>1 zooms in) keeping the time under x where it is.
    void ZoomAt(double x, double factor);
    // Shows from..to across `width` pixels.
    void Fit(double fromPs, double toPs, int width);
    // Moves by dx pixels (positive shows earlier times).
    void Pan(double dx) { SetStart(StartPs - dx * PsPerPixel); }
    // Starts at ps, kept within a day of simulated time either side of zero so that times stay
    // exact enough to step through and to convert.
    static constexpr double Limit = 8.64e16;
    void SetStart(double ps) { StartPs = std::isfinite(ps) ? std::clamp(ps, -Limit, Limit) : 0.0; }
};

// A time as people read it, to `digits` significant digits: "1.5 ms", "208 us", "3 s".
QString AnalyserTimeText(double ps, int digits = 4);
// A frequency: "2 kHz", "1.2392 MHz".
QString AnalyserFrequencyText(double hz);

// The changes of each trace of a recording, kept per trace in time order so that a view finds
// what it shows by binary search. Takes the recorder's new changes on Update(); forgets those the
// recorder dropped.
class TTraceIndex {
public:
    static constexpr qint32 Ended = INT32_MIN + 1; // the trace's source went here
    struct TPoint {
        quint64 Time;
        qint32 Value;
    };
    void Update(const TTraceRecorder& recorder);
    void Reset();

    const std::vector<TPoint>& Points(int trace) const;
    const std::vector<quint64>& Gaps() const { return m_gaps; }
    // The value a trace held at `ps` (TTraceRecorder::Unknown before its first change).
    qint32 ValueAt(int trace, quint64 ps) const;
    // The index of the first point at or after ps.
    size_t LowerBound(int trace, quint64 ps) const;
    // The next/previous change of value strictly after/before ps, if any.
    std::optional<quint64> NextEdge(int trace, quint64 ps) const;
    std::optional<quint64> PreviousEdge(int trace, quint64 ps) const;
    // How many points of a trace were forgotten from its front so far: an index plus this stays
    // the same point.
    quint64 Forgotten(int trace) const;
    // How many changes were taken so far (the recorder's appended count).
    quint64 Taken() const { return m_taken; }

private:
    void Add(int trace, quint64 time, qint32 value);
    std::vector<std::vector<TPoint>> m_points;
    std::vector<quint64> m_gaps;
    std::vector<quint64> m_forgotten;
    quint64 m_taken = 0;
    size_t m_size = 0; // the recorder's count at the last update
};

// One decoded UART frame.
struct TUartFrame {
    quint64 Start = 0;
    quint64 End = 0;
    int Value = 0;
    bool FramingError = false; // the stop bit was low
};

// Decodes asynchronous serial frames (idle high, start bit low, LSB first, one stop bit) from a
// trace: `bits` 8 or 9 data bits at `baud`. Decodes what lies between from and to.
std::vector<TUartFrame> DecodeUart(const TTraceIndex& index, int trace, double baud, int bits,
                                   quint64 fromPs, quint64 toPs);

// A row of the analyser: which trace, how it is shown and decoded.
struct TAnalyserRow {
    int Trace = -1;
    QString Label;
    QColor Color;
    bool Uart = false;
    double Baud = 0; // 0: from the firmware's serial set-up (TXD/RXD rows)
    int UartBits = 8;
    // grouping and saving
    QString Group; // the named group the row is shown in; empty: none
    // The saved path of a row whose path names nothing on this board (Trace is -1 then): the row
    // stays, shows why, and is saved again.
    QString Unresolved;
    // decoders
    bool Lcd = false; // shows a character LCD's bus as commands and data; Trace is its E line
    TLcdBusLines LcdLines;
};

// A line of the analyser's view: a row, or the header of a group (Row -1).
struct TAnalyserLine {
    int Row = -1;
    QString Group;
};

// A single trigger: fires once, on the Count-th occurrence of the condition on a row.
struct TAnalyserTrigger {
    enum Kind { Rising, Falling, Equals };
    int Row = -1;
    Kind What = Rising;
    int Value = 0; // Equals: the bus value
    int Count = 1;
};

// The analyser's state without any widget: rows over the window's trace session, the index of
// their changes, cursors, the trigger and its firing. The dock shows it.
class TAnalyser : public QObject {
    Q_OBJECT

public:
    explicit TAnalyser(TfrmPlugin* window, QObject* parent = nullptr);

    TTraceSession* Session() const { return m_session; }
    const TTraceIndex& Index() const { return m_index; }

    // Adds a row for a trace path (the session traces it first when it is new); false with the
    // reason in error.
    bool AddPath(const QString& path, QString* error);
    const QList<TAnalyserRow>& Rows() const { return m_rows; }
    TAnalyserRow& Row(int index) { return m_rows[index]; }
    void RemoveRow(int index);
    void MoveRow(int index, int by);
    QString TracePath(int trace) const;
    int Width(int row) const;

    // Takes the recorder's new changes and checks the trigger.
    void Refresh();
    // The end of the recording so far (picoseconds).
    quint64 EndPs() const;
    quint64 BeginPs() const;

    std::optional<quint64> CursorA, CursorB;

    // The baud rate a UART row decodes at: its own, else the firmware's serial set-up for TXD and
    // RXD (0 when there is none).
    double BaudOf(int row) const;
    std::vector<TUartFrame> Frames(int row, quint64 fromPs, quint64 toPs) const;

    void Arm(const TAnalyserTrigger& trigger);
    void Disarm() {
        m_trigger.reset();
        SetArmedTrace(-1);
    }
    bool Armed() const { return m_trigger.has_value(); }
    std::optional<quint64> TriggeredAt() const { return m_triggeredAt; }

    // grouping and saving
    TfrmPlugin* Window() const { return m_window; }
    // The trace of a path: the one traced already, else a new one; -1 with the reason in error.
    int TraceFor(const QString& path, QString* error);
    // The path a row is saved under.
    QString RowPath(int row) const;
    // Replaces the rows (an opened board, an undo step); the trigger stays on its trace's row
    // when that is still shown. Rows of one group are kept together.
    void SetRows(const QList<TAnalyserRow>& rows);
    // Puts rows in a group (empty: out of any group). They join the group's other rows, after
    // the last; a new group starts where the first of them is.
    void SetGroup(const QList<int>& rows, const QString& group);
    QStringList Groups() const;
    // The lines the view shows: group headers and the rows of expanded groups.
    QList<TAnalyserLine> Lines() const;
    void SetCollapsed(const QString& group, bool collapsed);
    bool Collapsed(const QString& group) const { return m_collapsed.contains(group); }
    // Moves a row up or down among the lines; across the edge of a group it joins the group it
    // comes to (or leaves its own) before it passes any row.
    void MoveRowInGroups(int row, int by);
    // Moves a group's rows together past the neighbouring row or group.
    void MoveGroup(const QString& group, int by);
    // Moves rows (in their order) to stand before row `before` (the number of rows: the end),
    // taking that place's group.
    void MoveRowsTo(const QList<int>& rows, int before, const QString& group);
    // Gives rows whose path named nothing their trace where the path names a contact now (Run
    // does this as it starts).
    void ResolveRows();
    // The rows as last saved, opened or put on the undo stack (the saved block's text).
    QString CommittedSetup;

signals:
    void RowsChanged();
    void Triggered(quint64 ps);

private:
    TfrmPlugin* m_window;
    TTraceSession* m_session;
    TTraceIndex m_index;
    QList<TAnalyserRow> m_rows;
    std::optional<TAnalyserTrigger> m_trigger;
    int m_seen = 0; // occurrences of the trigger's condition so far
    std::optional<quint64> m_triggeredAt;
    // grouping and saving
    void KeepGroupsTogether();
    QStringList m_collapsed;

public:
    // decoders
    // A trace by its path or a row's label; a path not traced yet is traced. -1 with the reason.
    int TraceOf(const QString& pathOrLabel, QString* error);
    // Adds a row that shows a character LCD's bus decoded; false with the reason.
    bool AddLcdRow(const TLcdBusPaths& paths, QString* error);
    // The traces of an LCD bus's lines (traced when new), checked for their widths.
    std::optional<TLcdBusLines> LcdLinesOf(const TLcdBusPaths& paths, QString* error);
    std::vector<TLcdTransfer> LcdTransfers(int row, quint64 fromPs, quint64 toPs) const;

private:
    // The recorder calls this on every change of the trace the trigger watches, as it records it,
    // so that the firmware pauses at the end of the instruction that made the edge.
    void ArmedTraceChanged(int trace, qint32 before, qint32 value, quint64 time);
    void Fire(quint64 time);
    void SetArmedTrace(int trace);
    int m_armedTrace = -1;
};
