#pragma once

#include <QList>
#include <QString>

#include "scenarioresult.h"

// One run of one scenario with one firmware, as the JUnit report shows it.
struct JUnitCase {
    QString Suite;    // the firmware, or "scenarios" when each runs its own
    QString Scenario; // the scenario file as given
    ScenarioOutcome Outcome;
    double WallSeconds = 0;
};

// A JUnit XML report: <testsuites>, a <testsuite> per suite in the order they first appear, a
// <testcase> per case; each failed check a <failure>, each command that could not run an
// <error>. Text the XML cannot carry (control characters) is written as \xNN.
QByteArray JUnitXml(const QList<JUnitCase>& cases);
