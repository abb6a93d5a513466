#include "scenariotime.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace ScenarioTime {

namespace {

constexpr double maxMs = 3600000; // an hour of simulated time is plenty for one command

double parseMs(const QString& text, const char* what, double lowest) {
    bool ok = false;
    const double value = text.toDouble(&ok);
    if (!ok || !std::isfinite(value) || value < lowest || value > maxMs)
        throw UsageError{QStringLiteral("%1 must be a number of ms from %2 to %3, not \"%4\"")
                             .arg(QLatin1String(what), MsText(lowest), MsText(maxMs), text)};
    return value;
}

// Steps end on the limit, so that a check "within 50" looks at the state at 50 ms too.
double stepUntil(const Timeline& time, double end, double finest) {
    return std::max(time.Finest, std::min(finest, end - time.Now()));
}

} // namespace

QString MsText(double ms) {
    return QString::number(ms, 'g', 10);
}

WaitUntilArgs ParseWaitUntil(const QStringList& words) {
    WaitUntilArgs args;
    if (words.size() == 2) {
        args.Path = words[0];
        args.Value = words[1];
    } else if (words.size() == 4 && words[2].compare(u"within", Qt::CaseInsensitive) == 0) {
        args.Path = words[0];
        args.Value = words[1];
        args.WithinMs = parseMs(words[3], "MS", 0);
    } else {
        throw UsageError{QStringLiteral("wait-until PATH VALUE [within MS]")};
    }
    return args;
}

Outcome WaitUntil(const Timeline& time, const Sampler& sample, const WaitUntilArgs& args) {
    const double start = time.Now();
    const bool bounded = args.WithinMs >= 0;
    const double end = bounded ? start + args.WithinMs : std::numeric_limits<double>::infinity();
    Sample seen = sample();
    // Check every step of at most 0.1 ms, so that a short pulse is not missed.
    while (!seen.Holds) {
        if (time.Now() >= end) {
            return Outcome{Outcome::Failed,
                           QStringLiteral("%1 within %2 ms").arg(args.Value, MsText(args.WithinMs)),
                           seen.Text};
        }
        if (time.Remaining() <= 0)
            return Outcome{Outcome::OutOfTime, QStringLiteral("%1 %2").arg(args.Path, args.Value),
                           seen.Text};
        time.Advance(stepUntil(time, end, 0.1));
        seen = sample();
    }
    return Outcome{};
}

ExpectForArgs ParseExpectFor(const QStringList& words) {
    if (words.size() != 3) throw UsageError{QStringLiteral("expect-for MS PATH VALUE")};
    return ExpectForArgs{parseMs(words[0], "MS", 0), words[1], words[2]};
}

Outcome ExpectFor(const Timeline& time, const Sampler& sample, const ExpectForArgs& args) {
    const double start = time.Now();
    const double end = start + args.Ms;
    for (;;) {
        const Sample seen = sample();
        if (!seen.Holds) {
            return Outcome{
                Outcome::Failed, QStringLiteral("%1 for %2 ms").arg(args.Value, MsText(args.Ms)),
                QStringLiteral("%1 after %2 ms")
                    .arg(seen.Text, MsText(std::round((time.Now() - start) * 1000) / 1000))};
        }
        if (time.Now() >= end) return Outcome{};
        if (time.Remaining() <= 0)
            return Outcome{Outcome::OutOfTime, QStringLiteral("%1 %2").arg(args.Path, args.Value),
                           seen.Text};
        time.Advance(stepUntil(time, end, 0.1));
    }
}

ExpectPeriodArgs ParseExpectPeriod(const QStringList& words) {
    if (words.size() != 2 && words.size() != 3)
        throw UsageError{QStringLiteral("expect-period PATH MS [±PERCENT]")};
    ExpectPeriodArgs args;
    args.Path = words[0];
    args.Ms = parseMs(words[1], "MS", 0.01);
    if (words.size() == 3) {
        QString text = words[2];
        if (text.startsWith(u"±"))
            text = text.mid(1);
        else if (text.startsWith(u"+-"))
            text = text.mid(2);
        if (text.endsWith(u'%')) text.chop(1);
        bool ok = false;
        args.Percent = text.toDouble(&ok);
        if (!ok || !std::isfinite(args.Percent) || args.Percent < 0 || args.Percent > 100)
            throw UsageError{QStringLiteral("the tolerance is ±PERCENT from 0 to 100, not \"%1\"")
                                 .arg(words[2])};
    }
    return args;
}

Outcome ExpectPeriod(const Timeline& time, const std::function<QString()>& value,
                     const ExpectPeriodArgs& args) {
    const QString expected =
        QStringLiteral("period %1 ms ±%2%").arg(MsText(args.Ms), MsText(args.Percent));
    // Steps of a thousandth of the period measure it to 0.1 %, well within a tolerance of 1 %.
    const double step = std::clamp(args.Ms / 1000, time.Finest, 1.0);
    // The first change may come up to a period late; two whole periods follow it.
    const double start = time.Now();
    const double end = start + args.Ms * (1 + args.Percent / 100) * 3 + step;
    std::vector<double> changes; // when the state changed
    QString last = value();
    while (changes.size() < 5) {
        if (time.Now() >= end) {
            const QString seen = changes.empty()
                                     ? QStringLiteral("no change in %1 ms (%2)")
                                           .arg(MsText(std::round(time.Now() - start)), last)
                                     : QStringLiteral("%1 change(s) in %2 ms")
                                           .arg(changes.size())
                                           .arg(MsText(std::round(time.Now() - start)));
            return Outcome{Outcome::Failed, expected, seen};
        }
        if (time.Remaining() <= 0) return Outcome{Outcome::OutOfTime, expected, last};
        time.Advance(std::min(step, std::max(time.Finest, end - time.Now())));
        const QString now = value();
        if (now != last) changes.push_back(time.Now());
        last = now;
    }
    // changes[0] and [2] go the same way, as do [2] and [4], when the state has two values.
    double worst = changes[2] - changes[0];
    for (size_t i = 2; i + 2 < changes.size(); i += 2) {
        const double period = changes[i + 2] - changes[i];
        if (std::abs(period - args.Ms) > std::abs(worst - args.Ms)) worst = period;
    }
    if (std::abs(worst - args.Ms) <= args.Ms * args.Percent / 100) return Outcome{};
    return Outcome{Outcome::Failed, expected,
                   QStringLiteral("period %1 ms").arg(MsText(std::round(worst * 100) / 100))};
}

} // namespace ScenarioTime
