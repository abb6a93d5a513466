#include "scenarioresult.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

const char* kindName(ScenarioFinding::Kind kind) {
    switch (kind) {
    case ScenarioFinding::Kind::Failure:
        return "failure";
    case ScenarioFinding::Kind::Error:
        return "error";
    case ScenarioFinding::Kind::Timeout:
        return "timeout";
    }
    return "error";
}

} // namespace

QString ScenarioFinding::Text() const {
    QString where = File;
    if (Line > 0) where += QLatin1Char(':') + QString::number(Line);
    switch (Type) {
    case Kind::Failure:
        return QStringLiteral("%1: expected %2, got %3").arg(where, Expected, Got);
    case Kind::Error:
        return QStringLiteral("%1: error: %2").arg(where, Message);
    case Kind::Timeout:
        return QStringLiteral("%1: %2").arg(where, Message);
    }
    return where;
}

QByteArray ScenarioOutcome::ToJson() const {
    QJsonArray findings;
    for (const ScenarioFinding& finding : Findings) {
        findings.append(QJsonObject{{QStringLiteral("kind"), QLatin1String(kindName(finding.Type))},
                                    {QStringLiteral("file"), finding.File},
                                    {QStringLiteral("line"), finding.Line},
                                    {QStringLiteral("expected"), finding.Expected},
                                    {QStringLiteral("got"), finding.Got},
                                    {QStringLiteral("message"), finding.Message}});
    }
    const QJsonObject object{{QStringLiteral("passed"), Passed},
                             {QStringLiteral("failed"), Failed},
                             {QStringLiteral("broken"), Broken},
                             {QStringLiteral("simulatedMs"), SimulatedMs},
                             {QStringLiteral("findings"), findings}};
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

std::optional<ScenarioOutcome> ScenarioOutcome::FromJson(const QByteArray& json) {
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) return std::nullopt;
    const QJsonObject object = document.object();
    if (!object.value(QStringLiteral("passed")).isDouble() ||
        !object.value(QStringLiteral("failed")).isDouble() ||
        !object.value(QStringLiteral("findings")).isArray())
        return std::nullopt;
    ScenarioOutcome outcome;
    outcome.Passed = object.value(QStringLiteral("passed")).toInt();
    outcome.Failed = object.value(QStringLiteral("failed")).toInt();
    outcome.Broken = object.value(QStringLiteral("broken")).toBool();
    outcome.SimulatedMs = object.value(QStringLiteral("simulatedMs")).toDouble();
    for (const QJsonValue& value : object.value(QStringLiteral("findings")).toArray()) {
        const QJsonObject item = value.toObject();
        ScenarioFinding finding;
        const QString kind = item.value(QStringLiteral("kind")).toString();
        finding.Type = kind == u"failure"   ? ScenarioFinding::Kind::Failure
                       : kind == u"timeout" ? ScenarioFinding::Kind::Timeout
                                            : ScenarioFinding::Kind::Error;
        finding.File = item.value(QStringLiteral("file")).toString();
        finding.Line = item.value(QStringLiteral("line")).toInt();
        finding.Expected = item.value(QStringLiteral("expected")).toString();
        finding.Got = item.value(QStringLiteral("got")).toString();
        finding.Message = item.value(QStringLiteral("message")).toString();
        outcome.Findings.append(finding);
    }
    return outcome;
}
