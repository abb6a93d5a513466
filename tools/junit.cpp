#include "junit.h"

#include <QXmlStreamWriter>

namespace {

// XML 1.0 has no place for most control characters, not even as references.
QString xmlSafe(const QString& text) {
    QString safe;
    safe.reserve(text.size());
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if ((u < 0x20 && u != u'\t' && u != u'\n' && u != u'\r') || u == 0xFFFE || u == 0xFFFF)
            safe += QStringLiteral("\\x%1").arg(int(u), 2, 16, QLatin1Char('0'));
        else
            safe += c;
    }
    return safe;
}

struct Counts {
    int Tests = 0;
    int Failures = 0;
    int Errors = 0;
    double Seconds = 0;

    void Add(const JUnitCase& c) {
        ++Tests;
        Seconds += c.WallSeconds;
        bool failure = false;
        bool error = false;
        for (const ScenarioFinding& finding : c.Outcome.Findings)
            (finding.Type == ScenarioFinding::Kind::Error ? error : failure) = true;
        // A failed outcome without a finding still shows as failed.
        if (!c.Outcome.Ok() && !failure && !error) failure = true;
        if (error)
            ++Errors;
        else if (failure)
            ++Failures;
    }
};

void writeCounts(QXmlStreamWriter& xml, const Counts& counts) {
    xml.writeAttribute(QStringLiteral("tests"), QString::number(counts.Tests));
    xml.writeAttribute(QStringLiteral("failures"), QString::number(counts.Failures));
    xml.writeAttribute(QStringLiteral("errors"), QString::number(counts.Errors));
    xml.writeAttribute(QStringLiteral("time"), QString::number(counts.Seconds, 'f', 3));
}

void writeCase(QXmlStreamWriter& xml, const JUnitCase& c) {
    xml.writeStartElement(QStringLiteral("testcase"));
    xml.writeAttribute(QStringLiteral("name"), xmlSafe(c.Scenario));
    xml.writeAttribute(QStringLiteral("classname"), xmlSafe(c.Suite));
    xml.writeAttribute(QStringLiteral("time"), QString::number(c.WallSeconds, 'f', 3));
    for (const ScenarioFinding& finding : c.Outcome.Findings) {
        const bool error = finding.Type == ScenarioFinding::Kind::Error;
        xml.writeStartElement(error ? QStringLiteral("error") : QStringLiteral("failure"));
        xml.writeAttribute(QStringLiteral("message"), xmlSafe(finding.Text()));
        xml.writeAttribute(QStringLiteral("type"), error ? QStringLiteral("error")
                                                   : finding.Type == ScenarioFinding::Kind::Timeout
                                                       ? QStringLiteral("timeout")
                                                       : QStringLiteral("check"));
        QString where = finding.File;
        if (finding.Line > 0) where += QLatin1Char(':') + QString::number(finding.Line);
        QString body = where + QLatin1Char('\n');
        if (finding.Type == ScenarioFinding::Kind::Failure)
            body += QStringLiteral("expected: %1\ngot: %2\n").arg(finding.Expected, finding.Got);
        else
            body += finding.Message + QLatin1Char('\n');
        xml.writeCharacters(xmlSafe(body));
        xml.writeEndElement();
    }
    if (!c.Outcome.Ok() && c.Outcome.Findings.isEmpty()) {
        xml.writeStartElement(QStringLiteral("failure"));
        xml.writeAttribute(QStringLiteral("message"), QStringLiteral("the scenario failed"));
        xml.writeEndElement();
    }
    xml.writeEndElement();
}

} // namespace

QByteArray JUnitXml(const QList<JUnitCase>& cases) {
    QStringList suites;
    for (const JUnitCase& c : cases)
        if (!suites.contains(c.Suite)) suites.append(c.Suite);
    Counts total;
    for (const JUnitCase& c : cases)
        total.Add(c);

    QByteArray bytes;
    QXmlStreamWriter xml(&bytes);
    xml.setAutoFormatting(true);
    xml.writeStartDocument();
    xml.writeStartElement(QStringLiteral("testsuites"));
    xml.writeAttribute(QStringLiteral("name"), QStringLiteral("brelvan-scenario"));
    writeCounts(xml, total);
    for (const QString& suite : suites) {
        Counts counts;
        for (const JUnitCase& c : cases)
            if (c.Suite == suite) counts.Add(c);
        xml.writeStartElement(QStringLiteral("testsuite"));
        xml.writeAttribute(QStringLiteral("name"), xmlSafe(suite));
        writeCounts(xml, counts);
        for (const JUnitCase& c : cases)
            if (c.Suite == suite) writeCase(xml, c);
        xml.writeEndElement();
    }
    xml.writeEndElement();
    xml.writeEndDocument();
    return bytes;
}
