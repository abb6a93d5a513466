#pragma once

#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>
#include <memory>

#include "host/boardbridge.h"
#include "host/debugger.h"
#include "host/debuginfo.h"
#include "host/mcs51.h"
#include "platform/clock.h"

// Runs firmware on an 8051 core as the board's host, on the GUI thread, in slices. The core's
// time is the one clock: while firmware runs, the board's clock service (afterglow, LCD blink,
// the start message's wait) is a manual clock that advances with the simulated time, so what a
// board shows depends only on the machine cycles run, never on the machine it runs on.
//
// Free running (the window), a timer runs slices at the chosen speed; otherwise (the scenario
// runner, tests, benchmarks) the core runs only through RunCycles and RunFor.
class TFirmwareRunner : public QObject {
    Q_OBJECT

public:
    enum class State {
        NoFirmware, // nothing loaded
        Stopped,    // loaded, not running (the board is not in Run)
        Running,
        Paused,
        Halted, // stopped at an undefined instruction or by power-down
    };
    static constexpr double DefaultCrystal = 12000000.0;
    // Slices are cut into steps of at most this much simulated time; the board's clock advances
    // between them.
    static constexpr double StepMs = 1.0;

    explicit TFirmwareRunner(QObject* parent = nullptr);
    ~TFirmwareRunner() override;

    mcs51::Core& Core() { return *m_core; }
    TFirmwareBridge& Bridge() { return *m_bridge; }

    // Firmware files are small; anything larger is not a program for this part.
    static constexpr qint64 MaxFileSize = 4 * 1024 * 1024;
    // The whole content of a regular file of at most MaxFileSize bytes, or why it cannot be had.
    // Never blocks: pipes, devices and folders are refused before a byte is read.
    struct TFileRead {
        QByteArray Data;
        QString Error; // e.g. "it is a device or a pipe, not a file"; empty when Data holds it
    };
    static TFileRead ReadFile(const QString& fileName);

    // Loads an Intel HEX file or a binary image, told apart by content (mcs51::IsIntelHexText).
    // On failure the message names the file and the line, and the loaded program and the running
    // state stay as they were. Empty on success.
    QString Load(const QString& fileName);
    QString Reload();
    // Forgets the loaded program: the state is NoFirmware and the board has no host program.
    void Unload();
    const QString& FileName() const { return m_fileName; }
    bool HasFirmware() const { return m_state != State::NoFirmware; }

    // Crystal frequency in Hz (one machine cycle is 12 periods), MinCrystal..MaxCrystal; other
    // values are refused (false).
    static constexpr double MinCrystal = 1e6;
    static constexpr double MaxCrystal = 60e6;
    double Crystal() const { return m_crystal; }
    bool SetCrystal(double hz);
    // Factor of real time; 0 runs as fast as the machine can.
    double Speed() const { return m_speed; }
    void SetSpeed(double factor);
    void SetFreeRunning(bool on);
    bool FreeRunning() const { return m_freeRunning; }

    // Starts from reset with the board (memories cleared, as at power-on); Stop ends the run.
    void Start();
    void Stop();
    void Pause();
    void Continue();
    // One instruction, while paused.
    void Step();
    State CurrentState() const { return m_state; }
    // "running", "paused", "stopped at an undefined instruction at 0x0123", ...
    QString StateText() const;

    // Machine cycles since the start, and the simulated time they make at the crystal.
    quint64 Cycles() const { return m_core->Cycles() - m_startCycles; }
    double SimulatedMs() const;
    // Run N machine cycles / MS milliseconds of simulated time (while running or paused).
    void RunCycles(quint64 cycles);
    void RunFor(double ms);

    // Achieved speed in percent of real time over the last measuring window (free running), and
    // whether the machine could not keep up with the chosen speed.
    double AchievedPercent() const { return m_achieved; }
    bool Lagging() const { return m_lagging; }

    // Serial input: bytes reach the core's receiver one frame apart, each with the ninth bit
    // given (modes 2 and 3 receive it into RB8; mode 1 takes a stop bit of 1 whatever it is).
    void SerialReceive(const QByteArray& bytes, bool ninthBit = true);
    // Called before every step of simulated time is run (and before a single instruction), so
    // that a source of serial input can top up the core's receive queue as the firmware reads it.
    void SetSerialFeed(std::function<void()> feed) { m_serialFeed = std::move(feed); }

    // Debugging. The debug files beside the firmware (same base name) are read at every load;
    // source files are found beside the `.cdb`, then in the search folder.
    // Code breakpoints are kept per firmware file: loading another file brings back its own.
    mcs51::Debugger& Debugger() { return m_debugger; }
    const mcs51::DebugLoad& Debug() const { return *m_debug; }
    // The debug information when it can be trusted, else nullptr (the reason is Debug().reason).
    const mcs51::DebugInfo* DebugInfo() const;
    void SetSourceSearchFolder(const QString& folder);
    const QString& SourceSearchFolder() const { return m_sourceFolder; }
    // Reads the debug files again (after the search folder changed, or they were rebuilt); the
    // breakpoints by source line are re-resolved.
    void ReloadDebugInfo();
    // Starts a step while paused (Instruction, Into, Over, Out, RunTo `address`): free running,
    // the slices carry it out and StoppedAt tells when it is done; otherwise RunUntilStopped does.
    void DebugStep(mcs51::Debugger::StepKind kind, quint16 address = 0);
    // Runs (while running or paused) until a breakpoint, a data breakpoint or the step begun
    // stops the core, or `maxMs` of simulated time passed. True when it stopped; the runner is
    // then paused and StoppedAt was sent.
    bool RunUntilStopped(double maxMs);
    // The last stop's reason ("breakpoint at main.c:12"); empty when the last pause was the user's.
    const QString& StopReason() const { return m_stopReason; }
    // Stopwatch: machine cycles since the mark (set at every start and by MarkStopwatch), and the
    // time they make at the crystal.
    void MarkStopwatch();
    quint64 StopwatchCycles() const;
    double CyclesToMs(quint64 cycles) const { return double(cycles) * 12.0 * 1000.0 / m_crystal; }
    // Pauses at the end of the instruction running now (asked from inside it, e.g. by a trigger on
    // a level it wrote), or before the next one when the core is not running.
    void PauseAtInstructionEnd();

signals:
    void StateChanged();
    void Transmitted(const QByteArray& bytes);
    // A step or a pause: the register panel shows the state at once.
    void Stepped();
    void SpeedMeasured();
    // A breakpoint, a data breakpoint or the end of a step paused the firmware (the board shows
    // the state it stopped in); `reason` is e.g. "breakpoint at main.c:12".
    void StoppedAt(const QString& reason);
    // The debug information was read again (Debug() changed).
    void DebugInfoChanged();

private:
    void Slice();
    // Runs up to `cycles`, in steps, advancing the board's clock; false when the core stopped.
    bool Advance(quint64 cycles);
    void SyncClock();
    void CheckHalted();
    void FlushTransmitted();
    // The core as at power-on: registers reset, memories cleared, port pins released.
    void PowerOn();
    void InstallOwnClock();
    void RestoreClock();
    void Anchor();
    void ResetMeasure();
    quint64 CyclesPerStep() const;

    std::unique_ptr<mcs51::Core> m_core;
    std::unique_ptr<TFirmwareBridge> m_bridge;
    QString m_fileName;
    State m_state = State::NoFirmware;
    double m_crystal = DefaultCrystal;
    double m_speed = 1.0;
    bool m_freeRunning = false;
    quint64 m_startCycles = 0;

    // The board's clock while running: the installed manual clock (tests) or our own.
    ManualClock m_ownClock;
    ManualClock* m_clock = nullptr;
    ClockService* m_previousClock = nullptr;
    bool m_installed = false;
    qint64 m_clockBase = 0; // the clock's tick at the start

    QTimer m_sliceTimer;
    QElapsedTimer m_wall;
    quint64 m_anchorCycles = 0; // cycles at the wall-clock anchor
    qint64 m_anchorNs = 0;
    qint64 m_measureNs = 0;
    quint64 m_measureCycles = 0;
    double m_achieved = 0;
    bool m_lagging = false;
    QByteArray m_txPending;

    void DebuggerStopped();
    mcs51::Debugger m_debugger;
    std::unique_ptr<mcs51::DebugLoad> m_debug;
    // The code breakpoints of each firmware loaded before, by file name.
    QHash<QString, std::vector<mcs51::CodeBreakpoint>> m_breakpointsByFile;
    QString m_sourceFolder;
    QString m_stopReason;
    std::function<void()> m_serialFeed;
};
