// The scenario runner's command line. One run is one scenario file with one firmware; with more
// than one run (or a JUnit report to write) the runs go to worker processes (FanOut), so that a
// run that crashes or hangs costs only its own result and --jobs runs that many at once.
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSaveFile>
#include <QTextStream>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <memory>
#include <optional>
#include <vector>

#include "junit.h"
#include "scenarioresult.h"

namespace {

const char* const usageText =
    "usage: brelvan-scenario [options] FILE...\n"
    "Runs scenario files (a board, a firmware and what happens to them) headless and checks them.\n"
    "\n"
    "  -j, --jobs N          run N scenario files at once, in as many worker processes\n"
    "                        (default: the number of processor cores)\n"
    "  --firmware PATH       run every scenario with this firmware (Intel HEX or binary) instead\n"
    "                        of the one it names; a folder stands for its .ihx, .hex and .bin\n"
    "                        files; may be given more than once; the report groups by firmware\n"
    "  --junit OUT.xml       also write a JUnit XML report: a test case per scenario and firmware\n"
    "  --timeout-ms MS       simulated time a scenario may take (default 60000): a scenario that\n"
    "                        needs more fails with \"timed out after MS ms of simulated time\"\n"
    "  --wall-limit-s S      a run still going after S seconds of real time is stopped and\n"
    "                        reported as failed (default 300)\n"
    "  -q, --quiet           print only the summary lines\n"
    "  -v, --verbose         also print every run with its checks and times\n"
    "  -h, --help            print this help\n"
    "\n"
    "Exit code: 0 when every check of every run passed, 1 when something failed, 2 when the\n"
    "command line is wrong.\n";

QTextStream& out() {
    static QTextStream stream(stdout);
    return stream;
}

QTextStream& err() {
    static QTextStream stream(stderr);
    return stream;
}

enum class Verbosity { Quiet, Normal, Verbose };

struct Firmware {
    QString Shown; // as the report names it
    QString Path;  // absolute
};

struct Options {
    int Jobs = 0;
    QList<Firmware> Firmwares;
    QString JUnit;
    qint64 TimeoutMs = -1;
    int WallLimitS = 300;
    Verbosity Level = Verbosity::Normal;
    QStringList Files;
    bool Help = false;
    bool Child = false;
};

struct UsageError {
    QString Message;
};

qint64 numberOption(const QString& option, const QString& text, qint64 lowest, qint64 highest) {
    bool ok = false;
    const qint64 value = text.toLongLong(&ok);
    if (!ok || value < lowest || value > highest)
        throw UsageError{QStringLiteral("%1 takes a number from %2 to %3, not \"%4\"")
                             .arg(option, QString::number(lowest), QString::number(highest), text)};
    return value;
}

bool isFirmwareFile(const QFileInfo& info) {
    const QString suffix = info.suffix().toLower();
    return info.isFile() && (suffix == u"ihx" || suffix == u"hex" || suffix == u"bin");
}

void addFirmware(Options& options, const QString& path) {
    const QFileInfo info(path);
    if (!info.exists()) throw UsageError{QStringLiteral("--firmware: %1 does not exist").arg(path)};
    if (!info.isDir()) {
        options.Firmwares.append(Firmware{path, info.absoluteFilePath()});
        return;
    }
    const QDir folder(path);
    const QFileInfoList entries = folder.entryInfoList(QDir::Files, QDir::Name);
    int found = 0;
    for (const QFileInfo& entry : entries) {
        if (!isFirmwareFile(entry)) continue;
        const QString shown = QDir::cleanPath(path + QLatin1Char('/') + entry.fileName());
        options.Firmwares.append(Firmware{shown, entry.absoluteFilePath()});
        ++found;
    }
    if (found == 0)
        throw UsageError{
            QStringLiteral("--firmware: the folder %1 holds no .ihx, .hex or .bin file").arg(path)};
}

Options parse(const QStringList& arguments) {
    Options options;
    bool onlyFiles = false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        QString argument = arguments[i];
        if (onlyFiles || !argument.startsWith(QLatin1Char('-')) || argument == u"-") {
            options.Files.append(argument);
            continue;
        }
        if (argument == u"--") {
            onlyFiles = true;
            continue;
        }
        std::optional<QString> attached; // --option=value
        if (const qsizetype equals = argument.indexOf(QLatin1Char('='));
            argument.startsWith(u"--") && equals > 0) {
            attached = argument.mid(equals + 1);
            argument = argument.left(equals);
        }
        auto value = [&]() -> QString {
            if (attached) return *attached;
            if (i + 1 >= arguments.size())
                throw UsageError{QStringLiteral("%1 needs a value").arg(argument)};
            return arguments[++i];
        };
        auto noValue = [&] {
            if (attached) throw UsageError{QStringLiteral("%1 takes no value").arg(argument)};
        };
        if (argument == u"-j" || argument == u"--jobs") {
            options.Jobs = int(numberOption(QStringLiteral("--jobs"), value(), 1, 256));
        } else if (argument == u"--firmware") {
            addFirmware(options, value());
        } else if (argument == u"--junit") {
            options.JUnit = value();
            if (options.JUnit.isEmpty()) throw UsageError{QStringLiteral("--junit needs a file")};
        } else if (argument == u"--timeout-ms") {
            options.TimeoutMs = numberOption(QStringLiteral("--timeout-ms"), value(), 1, 86400000);
        } else if (argument == u"--wall-limit-s") {
            options.WallLimitS =
                int(numberOption(QStringLiteral("--wall-limit-s"), value(), 1, 86400));
        } else if (argument == u"-q" || argument == u"--quiet") {
            noValue();
            options.Level = Verbosity::Quiet;
        } else if (argument == u"-v" || argument == u"--verbose") {
            noValue();
            options.Level = Verbosity::Verbose;
        } else if (argument == u"-h" || argument == u"--help") {
            noValue();
            options.Help = true;
        } else if (argument == u"--child") {
            noValue();
            options.Child = true;
        } else {
            throw UsageError{QStringLiteral("unknown option %1").arg(argument)};
        }
    }
    if (options.Jobs == 0) options.Jobs = std::max(1, QThread::idealThreadCount());
    return options;
}

struct Run {
    QString File;
    const Firmware* Uses = nullptr; // null: the scenario's own firmware
    ScenarioOutcome Outcome;
    double WallSeconds = 0;
    bool Done = false;
};

ScenarioSettings settingsOf(const Options& options, const Run& run) {
    return ScenarioSettings{run.Uses ? run.Uses->Path : QString(), options.TimeoutMs};
}

ScenarioOutcome brokenRun(const QString& file, const QString& message) {
    ScenarioOutcome outcome;
    outcome.Broken = true;
    outcome.Findings.append(
        ScenarioFinding{ScenarioFinding::Kind::Error, file, 0, QString(), QString(), message});
    return outcome;
}

// What a worker prints before each outcome, so that stray output is never taken for one.
const QByteArray outcomeMark = "@outcome ";
// Sent by a worker when it takes a run: the wall-clock guard counts from here, so a worker's
// slow start (a loaded machine, a sanitizer build) is not charged to its first run.
const QByteArray begunMark = "@begun";
constexpr int startUpLimitS = 60;

// Runs the runs in worker processes, at most `jobs` at once: each worker is the runner started
// again with --child, which takes one run per line on its standard input and answers with its
// outcome, so the start of a process and of Qt is paid once per worker, not once per run. A run
// that crashes its worker or outlives the wall-clock limit costs only its own result: the worker
// is replaced. `finished` hears of each run in the order they end.
class FanOut {
public:
    FanOut(const Options& options, std::vector<Run>& runs, std::function<void()> finished)
        : m_options(options), m_runs(runs), m_finished(std::move(finished)) {}

    void Exec() {
        const size_t workers = std::min(size_t(m_options.Jobs), m_runs.size());
        for (size_t i = 0; i < workers; ++i)
            StartWorker();
        if (m_alive > 0) m_loop.exec();
    }

private:
    struct Worker {
        QProcess Process;
        QTimer Guard;
        QElapsedTimer Clock;
        QByteArray Buffer;
        std::optional<size_t> Current; // the run it is busy with
        bool Hung = false;
        bool Begun = false; // it has taken its current run
    };

    void StartWorker() {
        m_workers.push_back(std::make_unique<Worker>());
        Worker* worker = m_workers.back().get();
        ++m_alive;
        worker->Guard.setSingleShot(true);
        QObject::connect(&worker->Guard, &QTimer::timeout, &worker->Process, [worker] {
            worker->Hung = true;
            worker->Process.kill();
        });
        QObject::connect(&worker->Process, &QProcess::readyReadStandardOutput, &m_parent,
                         [this, worker] { Read(*worker); });
        QObject::connect(&worker->Process, &QProcess::finished, &m_parent,
                         [this, worker](int exitCode, QProcess::ExitStatus status) {
                             Ended(worker, exitCode, status);
                         });
        QObject::connect(&worker->Process, &QProcess::errorOccurred, &m_parent,
                         [this, worker](QProcess::ProcessError error) {
                             // A process that never started sends no finished signal.
                             if (error == QProcess::FailedToStart)
                                 Ended(worker, -1, QProcess::NormalExit);
                         });
        // Its Qt messages would only clutter the report; --verbose passes them on.
        if (m_options.Level != Verbosity::Verbose)
            worker->Process.setStandardErrorFile(QProcess::nullDevice());
        else
            worker->Process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        worker->Process.start(QCoreApplication::applicationFilePath(),
                              QStringList{QStringLiteral("--child")});
        Give(*worker);
    }

    // The next run to the worker, or the end of its input when none is left.
    void Give(Worker& worker) {
        if (m_next >= m_runs.size()) {
            worker.Process.closeWriteChannel();
            return;
        }
        const size_t index = m_next++;
        const Run& run = m_runs[index];
        const QJsonObject request{
            {QStringLiteral("file"), run.File},
            {QStringLiteral("firmware"), run.Uses ? run.Uses->Path : QString()},
            {QStringLiteral("timeoutMs"), double(m_options.TimeoutMs)}};
        worker.Current = index;
        worker.Begun = false;
        worker.Clock.start();
        // Until the worker takes the run only its start-up is being waited for; that gets a
        // generous allowance of its own.
        worker.Guard.start(std::max(m_options.WallLimitS, startUpLimitS) * 1000);
        worker.Process.write(QJsonDocument(request).toJson(QJsonDocument::Compact) + '\n');
    }

    void Read(Worker& worker) {
        worker.Buffer += worker.Process.readAllStandardOutput();
        qsizetype end;
        while ((end = worker.Buffer.indexOf('\n')) >= 0) {
            const QByteArray line = worker.Buffer.left(end);
            worker.Buffer.remove(0, end + 1);
            if (line == begunMark && worker.Current) {
                worker.Begun = true;
                worker.Clock.start();
                worker.Guard.start(m_options.WallLimitS * 1000);
                continue;
            }
            if (!line.startsWith(outcomeMark) || !worker.Current) continue;
            std::optional<ScenarioOutcome> outcome =
                ScenarioOutcome::FromJson(line.mid(outcomeMark.size()));
            const size_t index = *worker.Current;
            worker.Current.reset();
            worker.Guard.stop();
            m_runs[index].Outcome =
                outcome ? *outcome
                        : brokenRun(m_runs[index].File, QStringLiteral("the run gave no result"));
            Done(index, worker.Clock.elapsed() / 1000.0);
            Give(worker);
        }
    }

    void Ended(Worker* worker, int exitCode, QProcess::ExitStatus status) {
        if (worker->Process.state() != QProcess::NotRunning) return;
        Read(*worker);
        worker->Guard.stop();
        QObject::disconnect(&worker->Process, nullptr, &m_parent, nullptr);
        if (worker->Current) {
            const size_t index = *worker->Current;
            const QString file = m_runs[index].File;
            if (worker->Hung && !worker->Begun)
                m_runs[index].Outcome =
                    brokenRun(file, QStringLiteral("the runner did not start within %1 s")
                                        .arg(std::max(m_options.WallLimitS, startUpLimitS)));
            else if (worker->Hung)
                m_runs[index].Outcome = brokenRun(
                    file,
                    QStringLiteral("stopped after %1 s of real time").arg(m_options.WallLimitS));
            else if (exitCode == -1)
                m_runs[index].Outcome =
                    brokenRun(file, QStringLiteral("cannot start the runner: %1")
                                        .arg(worker->Process.errorString()));
            else if (status == QProcess::CrashExit)
                m_runs[index].Outcome = brokenRun(file, QStringLiteral("the run crashed"));
            else
                m_runs[index].Outcome = brokenRun(
                    file,
                    QStringLiteral("the run ended (exit code %1) without a result").arg(exitCode));
            Done(index, worker->Clock.elapsed() / 1000.0);
        }
        --m_alive;
        const bool failedToStart = exitCode == -1;
        // The runs left need a worker; one that cannot start at all ends the whole fan-out.
        if (m_next < m_runs.size() && !failedToStart) {
            StartWorker();
        } else if (failedToStart) {
            while (m_next < m_runs.size()) {
                const size_t index = m_next++;
                m_runs[index].Outcome =
                    brokenRun(m_runs[index].File, QStringLiteral("cannot start the runner"));
                Done(index, 0);
            }
        }
        if (m_alive == 0) m_loop.quit();
    }

    void Done(size_t index, double seconds) {
        m_runs[index].WallSeconds = seconds;
        m_runs[index].Done = true;
        m_finished();
    }

    const Options& m_options;
    std::vector<Run>& m_runs;
    std::function<void()> m_finished;
    QObject m_parent;
    QEventLoop m_loop;
    // Every worker started, kept until the end: one is never deleted from its own signal.
    std::vector<std::unique_ptr<Worker>> m_workers;
    size_t m_next = 0;
    int m_alive = 0;
};

// A worker: one run per line of the standard input until it ends.
int serveRuns(const ScenarioRunFunction& runOne) {
    QFile input;
    if (!input.open(stdin, QIODevice::ReadOnly)) return 2;
    for (;;) {
        const QByteArray line = input.readLine();
        if (line.isEmpty()) return 0;
        out() << begunMark << Qt::endl;
        const QJsonObject request = QJsonDocument::fromJson(line).object();
        const QString file = request.value(QStringLiteral("file")).toString();
        ScenarioOutcome outcome;
        if (file.isEmpty()) {
            outcome = brokenRun(QStringLiteral("?"), QStringLiteral("a request without a file"));
        } else {
            const ScenarioSettings settings{
                request.value(QStringLiteral("firmware")).toString(),
                qint64(request.value(QStringLiteral("timeoutMs")).toDouble(-1))};
            outcome = runOne(file, settings);
        }
        out() << outcomeMark << outcome.ToJson() << Qt::endl;
    }
}

struct Tally {
    int Runs = 0;
    int RunsPassed = 0;
    int Passed = 0;
    int Failed = 0;

    void Add(const Run& run) {
        ++Runs;
        if (run.Outcome.Ok()) ++RunsPassed;
        Passed += run.Outcome.Passed;
        Failed += run.Outcome.Failed;
    }
};

QString runLine(const Run& run) {
    QString line = QStringLiteral("%1 %2").arg(
        run.Outcome.Ok() ? QStringLiteral("ok    ") : QStringLiteral("FAILED"), run.File);
    if (run.Uses) line += QStringLiteral(" with %1").arg(run.Uses->Shown);
    line += QStringLiteral(" (%1 passed, %2 failed; %3 ms simulated, %4 s)")
                .arg(run.Outcome.Passed)
                .arg(run.Outcome.Failed)
                .arg(qRound64(run.Outcome.SimulatedMs))
                .arg(run.WallSeconds, 0, 'f', 2);
    return line;
}

// Prints what the runs found in their order, each run as soon as it and every run before it has
// ended, so that the report does not depend on which process ended first.
class Report {
public:
    Report(const Options& options, const std::vector<Run>& runs)
        : m_options(options), m_runs(runs) {}

    void Flush() {
        while (m_printed < m_runs.size() && m_runs[m_printed].Done) {
            const Run& run = m_runs[m_printed++];
            if (m_options.Level != Verbosity::Quiet) {
                const QString prefix =
                    run.Uses ? QStringLiteral("[%1] ").arg(run.Uses->Shown) : QString();
                for (const ScenarioFinding& finding : run.Outcome.Findings)
                    out() << prefix << finding.Text() << '\n';
            }
            if (m_options.Level == Verbosity::Verbose) out() << runLine(run) << '\n';
            m_group.Add(run);
            m_total.Add(run);
            const bool lastOfGroup =
                m_printed == m_runs.size() || m_runs[m_printed].Uses != run.Uses;
            if (run.Uses && lastOfGroup) {
                out() << QStringLiteral("%1: %2 of %3 scenarios passed (%4 checks passed, %5 "
                                        "failed)")
                             .arg(run.Uses->Shown)
                             .arg(m_group.RunsPassed)
                             .arg(m_group.Runs)
                             .arg(m_group.Passed)
                             .arg(m_group.Failed)
                      << '\n';
                m_group = Tally();
            }
            out().flush();
        }
    }

    void Total() {
        out() << m_total.Passed << " passed, " << m_total.Failed << " failed; "
              << m_total.RunsPassed << " of " << m_total.Runs << " scenario runs passed"
              << Qt::endl;
    }

    bool AllPassed() const { return m_total.RunsPassed == m_total.Runs; }

private:
    const Options& m_options;
    const std::vector<Run>& m_runs;
    size_t m_printed = 0;
    Tally m_group;
    Tally m_total;
};

bool writeJUnit(const QString& fileName, const std::vector<Run>& runs) {
    QList<JUnitCase> cases;
    for (const Run& run : runs)
        cases.append(JUnitCase{run.Uses ? run.Uses->Shown : QStringLiteral("scenarios"), run.File,
                               run.Outcome, run.WallSeconds});
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly) || file.write(JUnitXml(cases)) < 0 || !file.commit()) {
        err() << "brelvan-scenario: cannot write " << fileName << ": " << file.errorString()
              << Qt::endl;
        return false;
    }
    return true;
}

} // namespace

int ScenarioMain(const QStringList& arguments, const ScenarioRunFunction& runOne) {
    Options options;
    try {
        options = parse(arguments);
    } catch (const UsageError& error) {
        err() << "brelvan-scenario: " << error.Message << '\n'
              << "Try brelvan-scenario --help." << Qt::endl;
        return 2;
    }
    if (options.Help) {
        out() << usageText << Qt::flush;
        return 0;
    }
    if (options.Child) return serveRuns(runOne);
    if (options.Files.isEmpty()) {
        err() << "brelvan-scenario: no scenario file given\n" << usageText << Qt::flush;
        return 2;
    }

    std::vector<Run> runs;
    if (options.Firmwares.isEmpty()) {
        for (const QString& file : options.Files)
            runs.push_back(Run{file, nullptr, {}, 0, false});
    } else {
        for (const Firmware& firmware : options.Firmwares)
            for (const QString& file : options.Files)
                runs.push_back(Run{file, &firmware, {}, 0, false});
    }

    Report report(options, runs);
    if (runs.size() == 1 && options.JUnit.isEmpty()) {
        // One run needs no second process.
        QElapsedTimer clock;
        clock.start();
        runs.front().Outcome = runOne(runs.front().File, settingsOf(options, runs.front()));
        runs.front().WallSeconds = clock.elapsed() / 1000.0;
        runs.front().Done = true;
        report.Flush();
    } else {
        FanOut(options, runs, [&report] { report.Flush(); }).Exec();
    }
    report.Total();
    bool written = true;
    if (!options.JUnit.isEmpty()) written = writeJUnit(options.JUnit, runs);
    return report.AllPassed() && written ? 0 : 1;
}
