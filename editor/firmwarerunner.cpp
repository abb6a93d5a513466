#include "editor/firmwarerunner.h"

#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {
constexpr int SliceIntervalMs = 10;
constexpr qint64 SliceBudgetNs = 25'000'000;    // work per slice, so the window stays responsive
constexpr qint64 MeasureWindowNs = 500'000'000; // speed measured over half a second
constexpr double MaxBacklogMs = 100;            // simulated time a lagging run may owe
} // namespace

TFirmwareRunner::TFirmwareRunner(QObject* parent)
    : QObject(parent), m_core(std::make_unique<mcs51::Core>()),
      m_bridge(std::make_unique<TFirmwareBridge>(*m_core)),
      m_debug(std::make_unique<mcs51::DebugLoad>()) {
    m_core->SetHooks(m_bridge.get());
    m_bridge->OnTransmit = [this](uint8_t byte) { m_txPending.append(char(byte)); };
    m_sliceTimer.setInterval(SliceIntervalMs);
    m_sliceTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_sliceTimer, &QTimer::timeout, this, &TFirmwareRunner::Slice);
    m_wall.start();
}

TFirmwareRunner::~TFirmwareRunner() {
    m_sliceTimer.stop();
    RestoreClock();
}

TFirmwareRunner::TFileRead TFirmwareRunner::ReadFile(const QString& fileName) {
    const auto fail = [](const QString& reason) { return TFileRead{QByteArray(), reason}; };
    const QFileInfo info(fileName);
    if (!info.exists()) return fail(QStringLiteral("the file does not exist"));
    // A pipe would block the window in open() or read(), a device such as /dev/zero read
    // without end; only regular files are firmware.
    if (info.isDir()) return fail(QStringLiteral("it is a folder, not a file"));
    if (!info.isFile()) return fail(QStringLiteral("it is a device or a pipe, not a file"));
    // Not blocking even when a pipe took the file's place since the check; fstat then tells.
    const QByteArray path = QFile::encodeName(fileName);
    const int fd = ::open(path.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return fail(QString::fromLocal8Bit(std::strerror(errno)));
    const auto closeFile = qScopeGuard([fd] { ::close(fd); });
    struct stat status = {};
    if (::fstat(fd, &status) != 0) return fail(QString::fromLocal8Bit(std::strerror(errno)));
    if (!S_ISREG(status.st_mode))
        return fail(QStringLiteral("it is a device or a pipe, not a file"));
    if (status.st_size > MaxFileSize) return fail(QStringLiteral("the file is larger than 4 MB"));
    // At most one byte past the limit, whatever the size said: the file may grow meanwhile.
    QByteArray bytes;
    char buffer[65536];
    while (bytes.size() <= MaxFileSize) {
        const size_t want = size_t(std::min<qint64>(sizeof buffer, MaxFileSize + 1 - bytes.size()));
        const ssize_t n = ::read(fd, buffer, want);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return fail(QString::fromLocal8Bit(std::strerror(errno)));
        if (n == 0) break;
        bytes.append(buffer, qsizetype(n));
    }
    if (bytes.size() > MaxFileSize) return fail(QStringLiteral("the file is larger than 4 MB"));
    return TFileRead{bytes, QString()};
}

QString TFirmwareRunner::Load(const QString& fileName) {
    const QString shown = QFileInfo(fileName).fileName();
    const TFileRead file = ReadFile(fileName);
    if (!file.Error.isEmpty())
        return QStringLiteral("The firmware %1 was not loaded: %2.").arg(shown, file.Error);
    const QByteArray& bytes = file.Data;
    const std::vector<uint8_t> data(bytes.begin(), bytes.end());

    // A fresh core takes the image, so a failure leaves the loaded program untouched and a
    // success leaves nothing of the previous one.
    auto scratch = std::make_unique<mcs51::Core>();
    // By content, not by name: a .bin holding HEX text is HEX, a .hex holding an image is one.
    const mcs51::LoadResult result = mcs51::LoadImage(*scratch, data);
    if (!result.ok)
        return QStringLiteral("The firmware %1 was not loaded: %2.")
            .arg(shown, QString::fromStdString(result.error));
    if (result.bytes == 0)
        return QStringLiteral("The firmware %1 was not loaded: it holds no program.").arg(shown);

    std::memcpy(m_core->Code(), scratch->Code(), mcs51::Core::CodeSize);
    if (fileName != m_fileName) {
        // Breakpoints belong to their firmware; data breakpoints name another program's memory.
        if (!m_fileName.isEmpty()) m_breakpointsByFile[m_fileName] = m_debugger.Breakpoints();
        m_debugger.SetBreakpoints(m_breakpointsByFile.value(fileName));
        m_debugger.ClearDataBreakpoints();
    }
    m_fileName = fileName;
    ReloadDebugInfo();
    if (m_state == State::NoFirmware) m_state = State::Stopped;
    // A new program starts over when the board runs; a stopped one shows its reset state.
    if (m_state == State::Stopped) {
        PowerOn();
    } else {
        Stop();
        Start();
    }
    emit StateChanged();
    return QString();
}

void TFirmwareRunner::Unload() {
    if (m_state == State::NoFirmware) return;
    Stop();
    std::memset(m_core->Code(), 0, mcs51::Core::CodeSize);
    PowerOn();
    m_fileName.clear();
    m_debugger.SetDebugInfo(nullptr);
    *m_debug = mcs51::DebugLoad();
    emit DebugInfoChanged();
    m_state = State::NoFirmware;
    emit StateChanged();
}

void TFirmwareRunner::PowerOn() {
    m_core->Reset();
    std::memset(m_core->Iram(), 0, 256);
    std::memset(m_core->Xram(), 0, mcs51::Core::XramSize);
    for (int port = 0; port < 4; ++port)
        m_core->SetExternalPins(port, 0xFF);
    m_startCycles = m_core->Cycles();
    m_debugger.Restart();
    m_debugger.MarkStopwatch(m_core->Cycles());
    m_stopReason.clear();
}

QString TFirmwareRunner::Reload() {
    if (m_fileName.isEmpty()) return QStringLiteral("No firmware has been loaded.");
    return Load(m_fileName);
}

bool TFirmwareRunner::SetCrystal(double hz) {
    if (!(hz >= MinCrystal && hz <= MaxCrystal)) return false;
    m_crystal = hz;
    Anchor();
    emit StateChanged();
    return true;
}

void TFirmwareRunner::SetSpeed(double factor) {
    m_speed = factor < 0 ? 0 : factor;
    Anchor();
    ResetMeasure();
    emit StateChanged();
}

void TFirmwareRunner::SetFreeRunning(bool on) {
    m_freeRunning = on;
    if (!on) m_sliceTimer.stop();
    if (on && m_state == State::Running) {
        Anchor();
        m_sliceTimer.start();
    }
}

void TFirmwareRunner::InstallOwnClock() {
    if (m_installed || m_clock) return;
    if (auto* manual = dynamic_cast<ManualClock*>(&Clock())) {
        m_clock = manual; // a test's clock: time is already the test's
        return;
    }
    m_previousClock = &Clock();
    InstallClock(&m_ownClock);
    m_installed = true;
    m_clock = &m_ownClock;
}

void TFirmwareRunner::RestoreClock() {
    if (m_installed) InstallClock(m_previousClock);
    m_installed = false;
    m_previousClock = nullptr;
    m_clock = nullptr;
}

void TFirmwareRunner::Start() {
    if (m_state == State::NoFirmware) return;
    m_sliceTimer.stop();
    PowerOn();
    m_bridge->ClearPending();
    m_bridge->ClearTransmitted();
    m_txPending.clear();
    InstallOwnClock();
    m_clockBase = m_clock->TickCount();
    m_state = State::Running;
    m_bridge->SyncPorts();
    Anchor();
    ResetMeasure();
    m_achieved = 0;
    m_lagging = false;
    if (m_freeRunning) m_sliceTimer.start();
    emit StateChanged();
}

void TFirmwareRunner::Stop() {
    if (m_state == State::NoFirmware || m_state == State::Stopped) return;
    m_sliceTimer.stop();
    FlushTransmitted();
    RestoreClock();
    m_state = State::Stopped;
    emit StateChanged();
}

void TFirmwareRunner::Pause() {
    if (m_state != State::Running) return;
    m_sliceTimer.stop();
    m_debugger.CancelStep();
    m_stopReason.clear();
    m_state = State::Paused;
    emit StateChanged();
    emit Stepped();
}

void TFirmwareRunner::Continue() {
    if (m_state != State::Paused) return;
    m_debugger.ClearStop();
    m_debugger.ResumeHere(*m_core);
    m_core->ClearStopRequest();
    m_stopReason.clear();
    m_state = State::Running;
    Anchor();
    ResetMeasure();
    if (m_freeRunning) m_sliceTimer.start();
    emit StateChanged();
}

void TFirmwareRunner::Step() {
    if (m_state != State::Paused) return;
    m_bridge->ApplyPending();
    if (m_serialFeed) m_serialFeed();
    m_core->ClearStopRequest();
    m_core->Step();
    SyncClock();
    FlushTransmitted();
    CheckHalted();
    emit Stepped();
}

QString TFirmwareRunner::StateText() const {
    switch (m_state) {
    case State::NoFirmware:
        return QStringLiteral("no firmware");
    case State::Stopped:
        return QStringLiteral("stopped");
    case State::Running:
        return m_core->State() == mcs51::RunState::Idle ? QStringLiteral("running (idle mode)")
                                                        : QStringLiteral("running");
    case State::Paused:
        return QStringLiteral("paused");
    case State::Halted:
        if (m_core->State() == mcs51::RunState::PowerDown)
            return QStringLiteral("halted by power-down");
        return QStringLiteral("stopped at an undefined instruction at 0x%1")
            .arg(QString::number(m_core->StopAddress(), 16).toUpper().rightJustified(4, u'0'));
    }
    return QString();
}

double TFirmwareRunner::SimulatedMs() const {
    return double(Cycles()) * 12.0 * 1000.0 / m_crystal;
}

quint64 TFirmwareRunner::CyclesPerStep() const {
    const double cycles = m_crystal / 12.0 * StepMs / 1000.0;
    return cycles < 1 ? 1 : quint64(cycles);
}

void TFirmwareRunner::SyncClock() {
    if (!m_clock) return;
    const qint64 target = m_clockBase + qint64(SimulatedMs());
    const qint64 now = m_clock->TickCount();
    if (target > now) m_clock->Advance(target - now);
}

bool TFirmwareRunner::Advance(quint64 cycles) {
    const quint64 step = CyclesPerStep();
    quint64 done = 0;
    while (done < cycles) {
        // A level the board changed twice meanwhile gets a step of its own.
        m_bridge->ApplyPending();
        if (m_serialFeed) m_serialFeed();
        // The debugger runs the core: without breakpoints it is the core's own Run.
        const quint64 ran = m_debugger.Run(*m_core, std::min(step, cycles - done));
        done += ran;
        SyncClock();
        if (m_debugger.Stopped()) {
            m_core->ClearStopRequest();
            DebuggerStopped();
            return false;
        }
        // A trigger asked for a pause at the end of the instruction that made its edge.
        if (m_core->StopRequested()) {
            m_core->ClearStopRequest();
            FlushTransmitted();
            Pause();
            return false;
        }
        // The board's timers may have stopped us (Run switched off from a handler).
        if (m_state != State::Running && m_state != State::Paused) return false;
        if (ran == 0 || m_core->State() == mcs51::RunState::PowerDown ||
            m_core->State() == mcs51::RunState::Undefined) {
            CheckHalted();
            return false;
        }
    }
    return true;
}

void TFirmwareRunner::RunCycles(quint64 cycles) {
    if (m_state != State::Running && m_state != State::Paused) return;
    Advance(cycles);
    FlushTransmitted();
}

void TFirmwareRunner::RunFor(double ms) {
    if (ms <= 0) return;
    const quint64 target = quint64((SimulatedMs() + ms) / 1000.0 * m_crystal / 12.0 + 0.5);
    if (target > Cycles()) RunCycles(target - Cycles());
}

void TFirmwareRunner::CheckHalted() {
    const mcs51::RunState core = m_core->State();
    if (core != mcs51::RunState::PowerDown && core != mcs51::RunState::Undefined) return;
    if (m_state == State::Halted) return;
    m_sliceTimer.stop();
    m_state = State::Halted;
    emit StateChanged();
}

void TFirmwareRunner::FlushTransmitted() {
    if (m_txPending.isEmpty()) return;
    const QByteArray bytes = m_txPending;
    m_txPending.clear();
    emit Transmitted(bytes);
}

void TFirmwareRunner::SerialReceive(const QByteArray& bytes, bool ninthBit) {
    for (char c : bytes)
        m_core->SerialReceive(uint8_t(c), ninthBit);
}

void TFirmwareRunner::Anchor() {
    m_anchorNs = m_wall.nsecsElapsed();
    m_anchorCycles = m_core->Cycles();
}

void TFirmwareRunner::ResetMeasure() {
    m_measureNs = m_wall.nsecsElapsed();
    m_measureCycles = m_core->Cycles();
}

void TFirmwareRunner::Slice() {
    if (m_state != State::Running) {
        m_sliceTimer.stop();
        return;
    }
    const qint64 sliceStart = m_wall.nsecsElapsed();
    const double cyclesPerNs = m_crystal / 12.0 / 1e9;
    quint64 due = 0;
    if (m_speed > 0) {
        const double owed = double(sliceStart - m_anchorNs) * m_speed * cyclesPerNs -
                            double(m_core->Cycles() - m_anchorCycles);
        due = owed > 0 ? quint64(owed) : 0;
    }
    const quint64 step = CyclesPerStep();
    bool behind = false;
    for (;;) {
        const quint64 chunk = m_speed > 0 ? std::min(step, due) : step;
        if (chunk == 0) break;
        if (!Advance(chunk)) break;
        if (m_speed > 0) due -= std::min(due, chunk);
        if (m_wall.nsecsElapsed() - sliceStart > SliceBudgetNs) {
            behind = m_speed > 0 && due > 0;
            break;
        }
    }
    FlushTransmitted();
    if (m_speed > 0) {
        // A run that cannot keep up drops what it owes beyond a short backlog instead of
        // running ever longer slices.
        const double backlogMs = double(due) / (m_crystal / 12.0) * 1000.0;
        if (backlogMs > MaxBacklogMs) Anchor();
    }
    const qint64 now = m_wall.nsecsElapsed();
    if (now - m_measureNs >= MeasureWindowNs) {
        const double simNs = double(m_core->Cycles() - m_measureCycles) / cyclesPerNs;
        m_achieved = simNs / double(now - m_measureNs) * 100.0;
        m_lagging = behind || (m_speed > 0 && m_achieved < m_speed * 100.0 * 0.9);
        m_measureNs = now;
        m_measureCycles = m_core->Cycles();
        emit SpeedMeasured();
    }
}

// Debugging ----------------------------------------------------------------------------------

const mcs51::DebugInfo* TFirmwareRunner::DebugInfo() const {
    return m_debug->lines ? &m_debug->info : nullptr;
}

void TFirmwareRunner::SetSourceSearchFolder(const QString& folder) {
    if (folder == m_sourceFolder) return;
    m_sourceFolder = folder;
    if (HasFirmware()) ReloadDebugInfo();
}

void TFirmwareRunner::ReloadDebugInfo() {
    // The debugger holds a pointer into the old information until it is given the new one.
    m_debugger.SetDebugInfo(nullptr);
    *m_debug =
        mcs51::LoadDebugFiles(QFile::encodeName(m_fileName).toStdString(),
                              QFile::encodeName(m_sourceFolder).toStdString(), m_core->Code());
    m_debugger.SetDebugInfo(DebugInfo());
    emit DebugInfoChanged();
}

void TFirmwareRunner::DebuggerStopped() {
    m_sliceTimer.stop();
    FlushTransmitted();
    m_stopReason = QString::fromStdString(m_debugger.StopReason());
    m_state = State::Paused;
    emit StateChanged();
    emit Stepped();
    emit StoppedAt(m_stopReason);
}

void TFirmwareRunner::DebugStep(mcs51::Debugger::StepKind kind, quint16 address) {
    if (m_state != State::Paused) return;
    m_debugger.BeginStep(kind, *m_core, address);
    m_stopReason.clear();
    m_state = State::Running;
    emit StateChanged();
    // Most steps end within a few lines: done at once, the board updated once. A longer one
    // (a loop waiting for a timer) goes on in the slices, at the chosen speed.
    if (!Advance(CyclesPerStep() * 10)) {
        FlushTransmitted();
        return;
    }
    FlushTransmitted();
    Anchor();
    ResetMeasure();
    if (m_freeRunning) m_sliceTimer.start();
}

bool TFirmwareRunner::RunUntilStopped(double maxMs) {
    if (m_state == State::Paused && m_debugger.PendingStep() == mcs51::Debugger::StepKind::None) {
        m_debugger.ClearStop();
        m_debugger.ResumeHere(*m_core);
        m_state = State::Running;
        emit StateChanged();
    }
    if (m_state != State::Running && m_state != State::Paused) return false;
    if (maxMs <= 0) return false;
    m_stopReason.clear();
    const quint64 target = quint64((SimulatedMs() + maxMs) / 1000.0 * m_crystal / 12.0 + 0.5);
    if (target > Cycles()) Advance(target - Cycles());
    FlushTransmitted();
    return m_state == State::Paused && !m_stopReason.isEmpty();
}

void TFirmwareRunner::MarkStopwatch() {
    m_debugger.MarkStopwatch(m_core->Cycles());
}

void TFirmwareRunner::PauseAtInstructionEnd() {
    if (m_state == State::Running) m_core->RequestStop();
}

quint64 TFirmwareRunner::StopwatchCycles() const {
    return m_core->Cycles() - m_debugger.StopwatchMark();
}
