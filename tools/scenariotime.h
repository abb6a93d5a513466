#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <limits>

// The scenario commands about simulated time: wait-until, expect-for and expect-period. They run
// the board (and the firmware, when one runs) in short steps and look at a state after each one.
namespace ScenarioTime {

// A command's words that make no sense.
struct UsageError {
    QString Message;
};

// Simulated time as the scenario sees it.
struct Timeline {
    std::function<double()> Now;         // ms
    std::function<void(double)> Advance; // runs this many ms (at least Finest)
    double Finest = 1;                   // the shortest step Advance takes
    // ms the scenario may still take (its time limit); infinity without one.
    std::function<double()> Remaining = [] { return std::numeric_limits<double>::infinity(); };
};

// What a state shows now, and whether it is the expected value.
struct Sample {
    QString Text;
    bool Holds = false;
};
using Sampler = std::function<Sample()>;

struct Outcome {
    enum Result { Passed, Failed, OutOfTime };
    Result Is = Passed;
    QString Expected; // for a failure: what was expected
    QString Got;      // and what was seen
};

// "PATH VALUE [within MS]"
struct WaitUntilArgs {
    QString Path;
    QString Value;
    double WithinMs = -1; // -1: as long as the scenario may take
};
WaitUntilArgs ParseWaitUntil(const QStringList& words);
Outcome WaitUntil(const Timeline& time, const Sampler& sample, const WaitUntilArgs& args);

// "MS PATH VALUE"
struct ExpectForArgs {
    double Ms = 0;
    QString Path;
    QString Value;
};
ExpectForArgs ParseExpectFor(const QStringList& words);
Outcome ExpectFor(const Timeline& time, const Sampler& sample, const ExpectForArgs& args);

// "PATH MS [±PERCENT]": the time from one change of the state to the next change the same way,
// measured over two such periods; each must lie within the tolerance.
struct ExpectPeriodArgs {
    QString Path;
    double Ms = 0;
    double Percent = 5;
};
ExpectPeriodArgs ParseExpectPeriod(const QStringList& words);
Outcome ExpectPeriod(const Timeline& time, const std::function<QString()>& value,
                     const ExpectPeriodArgs& args);

// ms as text: "20", "0.5"
QString MsText(double ms);

} // namespace ScenarioTime
