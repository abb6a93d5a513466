#pragma once

#include <QString>
#include <QtGlobal>
#include <functional>
#include <memory>
#include <unordered_map>
#include <vector>

#include "host/boardbridge.h"
#include "model/drivers.h"

namespace mcs51 {
class Core;
}

// One recorded event: 16 bytes, so a recording's memory is its bound times 16.
struct TTraceChange {
    enum Kind : quint8 {
        Level, // the trace took Value (1-bit: 0, 1, -1 undefined; bus: 0..255, -1 undefined)
        Gap,   // the recording was interrupted here (Run off and on, a reset); Trace is unused
        End,   // the trace's source went (deleted or rewired); nothing is recorded after this
    };
    quint64 Time = 0; // picoseconds of simulated time since the recording began
    qint32 Value = 0;
    quint16 Trace = 0;
    Kind What = Level;
    quint8 Spare = 0;
};
static_assert(sizeof(TTraceChange) == 16);

// Records the levels of traced contacts, host ports and the core's own pins over simulated time,
// into a ring of at most Capacity() changes (the oldest go first).
//
// Contacts report every write of their level through their watch (model/drivers.h), so untraced
// contacts cost nothing; the core's pins are read when the bridge says they may have changed.
// Stamps come from the time source (picoseconds, e.g. machine cycles at the crystal); each
// recorded stretch between gaps continues where the previous one ended, so stamps never go back.
class TTraceRecorder : public TLevelWatch, public TCorePinWatch {
public:
    static constexpr size_t DefaultCapacity = size_t(1) << 20;
    static constexpr size_t MinCapacity = 16;
    static constexpr size_t MaxCapacity = size_t(1) << 26; // 1 GiB of changes
    static constexpr int MaxTraces = 4096;

    // A trace on the core's own pins: a port as a bus, or one bit of it. P3.0/P3.1 are RXD/TXD,
    // P3.2/P3.3 INT0/INT1, P3.4/P3.5 T0/T1; TXD also shows the frames of the serial transmitter,
    // RXD those the receiver took (in mode 0 RXD the data and TXD the shift clock).
    struct TCorePin {
        int Port = 0; // 0..3
        int Bit = -1; // 0..7, or -1 for the whole port
    };
    struct TTrace {
        QString Scope; // the component (or "Host" for the core)
        QString Name;  // the contact within it
        int Width = 1; // 1 or 8
        bool Ended = false;
        // Source: a contact (cleared once it ends) or a core pin.
        TOrvexDriver* Contact = nullptr;
        bool IsCore = false;
        TCorePin Core;
        qint32 Last = Unknown; // the value last recorded
        quint64 LastTime = 0;
        bool Armed = false; // a trigger watches it: each change recorded goes to the armed hook
    };
    static constexpr qint32 Unknown = INT32_MIN;

    explicit TTraceRecorder(size_t capacity = DefaultCapacity);
    ~TTraceRecorder();
    TTraceRecorder(const TTraceRecorder&) = delete;
    TTraceRecorder& operator=(const TTraceRecorder&) = delete;

    // A reading of simulated time: picoseconds on one of several clocks (the core's cycles, the
    // board's own clock). A change of clock, or a clock that went back, starts a new stretch.
    struct TTimeReading {
        quint64 Ps = 0;
        int Clock = 0;
    };
    // The time now, and picoseconds per machine cycle (0 when no core runs).
    void SetTimeSource(std::function<TTimeReading()> now, std::function<double()> cyclePs);
    // The core whose pins core traces read (not owned; nullptr: none).
    void SetCore(const mcs51::Core* core) { m_core = core; }

    // While off, nothing is recorded (the board is not in Run). Switching on marks a gap and
    // records every trace's present value.
    void SetRecording(bool on);
    bool Recording() const { return m_recording; }

    // Adds a trace; its present value is recorded when recording. Returns the trace's index, or -1
    // with the reason in `error` (a contact traced already, too many traces).
    int AddContact(TOrvexDriver* contact, const QString& scope, const QString& name,
                   QString* error = nullptr);
    int AddCorePin(TCorePin pin, const QString& name, QString* error = nullptr);
    // Forgets every trace and every change.
    void Clear();

    int TraceCount() const { return int(m_traces.size()); }
    const TTrace& Trace(int index) const { return m_traces[size_t(index)]; }
    // The value a trace shows now (its last recorded one; Unknown before the first).
    qint32 Current(int index) const { return m_traces[size_t(index)].Last; }

    // Marks a gap (Run off and on, a reset of the firmware); the next stretch starts where the
    // last one ended and records every trace's present value again.
    void MarkGap();
    // Reads every core trace and records what changed (the bridge calls this through its watch).
    void SampleCore();

    size_t Capacity() const { return m_capacity; }
    // Keeps the newest changes that fit.
    void SetCapacity(size_t capacity);
    size_t Count() const { return m_count; }
    // Changes dropped so far for want of room, and the latest stamp among them: from there on the
    // recording is complete (0 when nothing was dropped).
    quint64 Dropped() const { return m_dropped; }
    quint64 KeptFrom() const { return m_keptFrom; }
    // The kept changes, oldest first (index 0..Count()-1).
    const TTraceChange& At(size_t index) const { return m_ring[(m_first + index) % m_ring.size()]; }
    // The kept changes in time order (changes of one trace keep their order).
    std::vector<TTraceChange> Sorted() const;
    // The latest stamp given so far.
    quint64 LastTime() const { return m_lastTime; }
    // Picoseconds now as the recording counts them.
    quint64 Now();

    // TLevelWatch
    void LevelWritten(TOrvexDriver* driver) override;
    void Rewired(TOrvexDriver* driver) override;
    void Gone(TOrvexDriver* driver) override;
    // TCorePinWatch
    void CorePinsChanged() override { SampleCore(); }
    void SerialFrameSent(uint8_t byte) override;
    void SerialFrameReceived(uint8_t byte, bool ninth) override;

    // A contact's level as a trace value.
    static qint32 ContactValue(const TOrvexDriver* contact, int width);

    // A trigger's watch on one trace: the hook is called as each change of an armed trace is
    // recorded (its index, the value before, the new value and its stamp), inside whatever wrote
    // the level, so that a trigger can stop the firmware at that very instruction. Traces not
    // armed cost one flag test.
    using TArmedHook = std::function<void(int trace, qint32 before, qint32 value, quint64 time)>;
    void SetArmedHook(TArmedHook hook) { m_armedHook = std::move(hook); }
    void SetArmed(int trace, bool on);

private:
    int TraceOf(const TOrvexDriver* contact) const;
    qint32 CoreValue(const TTrace& trace) const;
    void Record(int index, qint32 value, quint64 time);
    void Append(const TTraceChange& change);
    void EndTrace(int index);
    void RecordPresent();
    void AppendGap(quint64 time);
    // Draws a serial frame that has just ended on the core's RXD (pin 0) or TXD (pin 1) traces
    // and P3 buses; in mode 0 the data on RXD and the shift clock on TXD.
    void LayOutFrame(int pin, uint8_t byte, bool ninth);

    // Grows as changes come, up to m_capacity, then wraps: a window that records nothing does
    // not hold the whole bound in memory.
    std::vector<TTraceChange> m_ring;
    size_t m_capacity = 0;
    size_t m_first = 0;
    size_t m_count = 0;
    quint64 m_dropped = 0;
    quint64 m_keptFrom = 0;
    std::vector<TTrace> m_traces;
    std::unordered_map<const TOrvexDriver*, int> m_byContact; // live contact traces
    std::function<TTimeReading()> m_now;
    int m_clock = 0;
    std::function<double()> m_cyclePs;
    const mcs51::Core* m_core = nullptr;
    bool m_recording = false;
    bool m_hasCoreTraces = false;
    quint64 m_lastTime = 0;
    quint64 m_base = 0;     // the stamp the present stretch began at
    quint64 m_epochRaw = 0; // the time source's reading then
    quint64 m_lastRaw = 0;  // its last reading
    TArmedHook m_armedHook;
};
