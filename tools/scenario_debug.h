#pragma once

// The scenario runner's debugger commands: break, continue, step, next, finish, and the
// expectations Host.LINE and Var.NAME. Kept apart from the runner's other commands; each returns
// an error text (empty when it ran) that the runner reports as a command that could not run.

#include <QString>

class TFirmwareRunner;

namespace ScenarioDebug {

// Whether `command` (lower case) is one of the debugger commands.
bool Handles(const QString& command);
// Runs it; the firmware is loaded (for break) or running or paused (for the others).
QString Execute(TFirmwareRunner& runner, const QString& command, const QString& rest);

// What an expectation observes: a number (compared by value) or a word.
struct TObserved {
    bool Number = false;
    QString Value;
    QString Error; // the expectation cannot be checked (no debug information, no such variable)
};
// Host.LINE: "FILE:LINE" of the PC ("0x0123" when no line holds it).
TObserved ObserveLine(const TFirmwareRunner& runner);
// Var.NAME: the C variable's value as the debugger shows it ("-5", "{1, 2, 3, 4}").
TObserved ObserveVariable(const TFirmwareRunner& runner, const QString& name);

} // namespace ScenarioDebug
