#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <functional>
#include <optional>

// What one run of one scenario found: the runner fills it in-process, a child process sends it
// to the parent as JSON, and the reports (text, JUnit) are written from it.
struct ScenarioFinding {
    enum class Kind {
        Failure, // a check did not hold: Expected and Got
        Error,   // a command could not run, the file could not be read, the run crashed
        Timeout, // the scenario's simulated time ran out
    };
    Kind Type = Kind::Failure;
    QString File;
    int Line = 0; // 0: the file as a whole
    QString Expected;
    QString Got;
    QString Message; // errors and timeouts

    // "FILE:LINE: expected V, got W", "FILE:LINE: error: M", "FILE:LINE: timed out after ..."
    QString Text() const;
};

struct ScenarioOutcome {
    int Passed = 0; // checks
    int Failed = 0;
    bool Broken = false; // a command could not run
    QList<ScenarioFinding> Findings;
    double SimulatedMs = 0;

    bool Ok() const { return Failed == 0 && !Broken && Findings.isEmpty(); }
    QByteArray ToJson() const;
    // nullopt when the text is not an outcome (a child that died half-way).
    static std::optional<ScenarioOutcome> FromJson(const QByteArray& json);
};

// How one run differs from what its scenario file says.
struct ScenarioSettings {
    QString Firmware;      // loaded instead of the firmware the scenario names; empty: its own
    qint64 TimeoutMs = -1; // simulated time the scenario may take; -1: the default limit
};

using ScenarioRunFunction =
    std::function<ScenarioOutcome(const QString& file, const ScenarioSettings& settings)>;

// The command line: options, the fan-out over child processes, the text and JUnit reports.
// Returns the exit code.
int ScenarioMain(const QStringList& arguments, const ScenarioRunFunction& runOne);
