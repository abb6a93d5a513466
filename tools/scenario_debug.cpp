#include "tools/scenario_debug.h"

#include <QFileInfo>

#include "editor/firmwarerunner.h"

namespace ScenarioDebug {

namespace {

// A step, a next or a finish that has not ended after this much simulated time is reported.
constexpr double StepLimitMs = 10000;

using StepKind = mcs51::Debugger::StepKind;

bool live(const TFirmwareRunner& runner) {
    const auto state = runner.CurrentState();
    return state == TFirmwareRunner::State::Running || state == TFirmwareRunner::State::Paused;
}

QString step(TFirmwareRunner& runner, StepKind kind, const QString& name) {
    if (!live(runner)) return QStringLiteral("the firmware runs only while the board is in Run");
    if (runner.CurrentState() == TFirmwareRunner::State::Running) runner.Pause();
    runner.DebugStep(kind);
    if (runner.CurrentState() == TFirmwareRunner::State::Paused) return QString();
    if (runner.RunUntilStopped(StepLimitMs)) return QString();
    if (runner.CurrentState() == TFirmwareRunner::State::Halted)
        return QStringLiteral("%1: the firmware halted (%2)").arg(name, runner.StateText());
    return QStringLiteral("%1 did not end within %2 ms of simulated time")
        .arg(name)
        .arg(StepLimitMs);
}

} // namespace

bool Handles(const QString& command) {
    return command == u"break" || command == u"continue" || command == u"step" ||
           command == u"next" || command == u"finish";
}

QString Execute(TFirmwareRunner& runner, const QString& command, const QString& rest) {
    if (!runner.HasFirmware()) return QStringLiteral("no firmware is loaded");
    if (command == u"break") {
        if (rest.isEmpty())
            return QStringLiteral("break WHERE (an address, a function or FILE:LINE)");
        std::string error;
        const auto where = runner.Debugger().ParseWhere(rest.toStdString(), &error);
        if (!where) return QStringLiteral("break %1: %2").arg(rest, QString::fromStdString(error));
        runner.Debugger().AddBreakpoint(*where);
        return QString();
    }
    if (command == u"continue") {
        double ms = StepLimitMs;
        if (!rest.isEmpty()) {
            bool ok = false;
            ms = rest.toDouble(&ok);
            if (!ok || !(ms > 0) || ms > 3600000)
                return QStringLiteral("continue [MS]: MS must be a number from 1 to 3600000");
        }
        if (!live(runner))
            return QStringLiteral("the firmware runs only while the board is in Run");
        const bool stopped = runner.RunUntilStopped(ms);
        if (!stopped && rest.isEmpty())
            return QStringLiteral("no breakpoint stopped the firmware within %1 ms").arg(ms);
        return QString();
    }
    if (!rest.isEmpty()) return QStringLiteral("%1 takes nothing after it").arg(command);
    if (command == u"step") return step(runner, StepKind::Into, command);
    if (command == u"next") return step(runner, StepKind::Over, command);
    return step(runner, StepKind::Out, command);
}

TObserved ObserveLine(const TFirmwareRunner& runner) {
    if (!runner.HasFirmware()) return {false, {}, QStringLiteral("no firmware is loaded")};
    auto& self = const_cast<TFirmwareRunner&>(runner);
    const uint16_t pc = self.Core().PC();
    return {false, QString::fromStdString(self.Debugger().Where(pc)), {}};
}

TObserved ObserveVariable(const TFirmwareRunner& runner, const QString& name) {
    if (!runner.HasFirmware()) return {false, {}, QStringLiteral("no firmware is loaded")};
    const mcs51::DebugInfo* info = runner.DebugInfo();
    if (!info)
        return {false,
                {},
                QStringLiteral("no debug information: %1")
                    .arg(QString::fromStdString(runner.Debug().reason))};
    auto& self = const_cast<TFirmwareRunner&>(runner);
    const mcs51::Core& core = self.Core();
    std::string error;
    const auto where = info->Resolve(name.toStdString(), core.PC(), &core, &error);
    if (!where) return {false, {}, QString::fromStdString(error)};
    const QString value = QString::fromStdString(mcs51::FormatValue(core, *where, info));
    // A char shows its character after the number; the number is what is compared.
    const QString first = value.section(QLatin1Char(' '), 0, 0);
    bool number = false;
    first.toLongLong(&number);
    const bool scalar = where->type.kind != mcs51::CType::Kind::Array &&
                        where->type.kind != mcs51::CType::Kind::Struct &&
                        where->type.kind != mcs51::CType::Kind::Pointer;
    if (number && scalar) return {true, first, {}};
    return {false, value, {}};
}

} // namespace ScenarioDebug
