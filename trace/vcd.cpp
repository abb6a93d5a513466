#include "trace/vcd.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "trace/recorder.h"

namespace {

// Identifier codes: printable ASCII from '!' on, base 93, without '$' (which some readers take
// for the start of a keyword).
QByteArray codeFor(int index) {
    QByteArray code;
    do {
        char c = char('!' + index % 93);
        if (c >= '$') ++c;
        code.append(c);
        index /= 93;
    } while (index > 0);
    return code;
}

// VCD names are single words.
QByteArray wordOf(const QString& name) {
    QByteArray word = name.toUtf8();
    for (char& c : word)
        if (uchar(c) <= ' ' || c == '$' || uchar(c) >= 0x7F) c = '_';
    return word.isEmpty() ? QByteArray("unnamed") : word;
}

const char* unitText(quint64 unitPs) {
    switch (unitPs) {
    case 1ull:
        return "1 ps";
    case 10ull:
        return "10 ps";
    case 100ull:
        return "100 ps";
    case 1000ull:
        return "1 ns";
    case 10000ull:
        return "10 ns";
    case 100000ull:
        return "100 ns";
    case 1000000ull:
        return "1 us";
    case 10000000ull:
        return "10 us";
    case 100000000ull:
        return "100 us";
    case 1000000000ull:
        return "1 ms";
    case 10000000000ull:
        return "10 ms";
    case 100000000000ull:
        return "100 ms";
    case 1000000000000ull:
        return "1 s";
    default:
        return nullptr;
    }
}

// A trace's value in the dump: one 1-bit wire, one vector, or a bus as eight wires (codes[bit]).
void appendValue(QByteArray& out, int width, qint32 value, const std::vector<QByteArray>& codes) {
    if (codes.size() > 1) {
        for (size_t bit = 0; bit < codes.size(); ++bit) {
            out.append(value < 0 ? 'x' : ((value >> bit) & 1) ? '1' : '0');
            out.append(codes[bit]);
            out.append('\n');
        }
        return;
    }
    const QByteArray& code = codes.front();
    if (width == 1) {
        out.append(value < 0 ? 'x' : value ? '1' : '0');
    } else {
        out.append('b');
        for (int bit = width - 1; bit >= 0; --bit)
            out.append(value < 0 ? 'x' : ((value >> bit) & 1) ? '1' : '0');
        out.append(' ');
    }
    out.append(code);
    out.append('\n');
}

} // namespace

quint64 VcdUnitFor(double cyclePs) {
    if (cyclePs <= 0) return 1000000;
    // A cycle of whole picoseconds takes the largest unit that divides it; any other the largest
    // unit of at most a tenth of it, so stamps round by less than a tenth of a cycle.
    const double whole = std::round(cyclePs);
    const bool exact = std::abs(cyclePs - whole) < 1e-6 && whole >= 1;
    quint64 unit = 1;
    if (exact) {
        const quint64 cycle = quint64(whole);
        while (unit < 1000000000000ull && cycle % (unit * 10) == 0)
            unit *= 10;
    } else {
        while (unit < 1000000000000ull && double(unit * 10) <= cyclePs / 10)
            unit *= 10;
    }
    return unit;
}

QByteArray WriteVcd(const TTraceRecorder& recorder, const TVcdOptions& options, QString* error) {
    const char* unit = unitText(options.UnitPs);
    if (!unit) {
        if (error) *error = QStringLiteral("the time unit must be a power of ten from 1 ps to 1 s");
        return {};
    }
    const std::vector<TTraceChange> changes = recorder.Sorted();
    const quint64 from = options.From.value_or(0);
    const quint64 to = options.To.value_or(
        std::max(recorder.LastTime(), changes.empty() ? 0 : changes.back().Time));
    if (to < from) {
        if (error) *error = QStringLiteral("the end of the part to write lies before its start");
        return {};
    }
    const int traces = recorder.TraceCount();
    if (traces == 0) {
        if (error) *error = QStringLiteral("nothing is traced");
        return {};
    }

    QByteArray out;
    out.append("$version Brelvan $end\n$timescale ");
    out.append(unit);
    out.append(" $end\n");
    // One scope per component, its traces in the order they were added.
    std::vector<QString> scopes;
    for (int i = 0; i < traces; ++i)
        if (std::find(scopes.begin(), scopes.end(), recorder.Trace(i).Scope) == scopes.end())
            scopes.push_back(recorder.Trace(i).Scope);
    std::vector<std::vector<QByteArray>> codes(static_cast<size_t>(traces));
    int nextCode = 0;
    for (const QString& scope : scopes) {
        out.append("$scope module " + wordOf(scope) + " $end\n");
        for (int i = 0; i < traces; ++i) {
            const TTraceRecorder::TTrace& trace = recorder.Trace(i);
            if (trace.Scope != scope) continue;
            std::vector<QByteArray>& own = codes[size_t(i)];
            if (trace.Width > 1 && options.SplitBuses) {
                for (int bit = 0; bit < trace.Width; ++bit) {
                    own.push_back(codeFor(nextCode++));
                    out.append("$var wire 1 " + own.back() + ' ' + wordOf(trace.Name) + '_' +
                               QByteArray::number(bit) + " $end\n");
                }
                continue;
            }
            own.push_back(codeFor(nextCode++));
            out.append("$var wire " + QByteArray::number(trace.Width) + ' ' + own.back() + ' ' +
                       wordOf(trace.Name));
            if (trace.Width > 1) out.append(" [" + QByteArray::number(trace.Width - 1) + ":0]");
            out.append(" $end\n");
        }
        out.append("$upscope $end\n");
    }
    out.append("$enddefinitions $end\n");

    // Each trace's value at `from`: undefined until its first change.
    std::vector<qint32> value(size_t(traces), -1);
    size_t next = 0;
    for (; next < changes.size() && changes[next].Time <= from; ++next) {
        const TTraceChange& change = changes[next];
        if (change.What == TTraceChange::Gap || change.Trace >= traces) continue;
        value[change.Trace] = change.What == TTraceChange::End ? -1 : change.Value;
    }
    out.append("#0\n$dumpvars\n");
    for (int i = 0; i < traces; ++i)
        appendValue(out, recorder.Trace(i).Width, value[size_t(i)], codes[size_t(i)]);
    out.append("$end\n");

    const auto unitsOf = [&](quint64 time) {
        return QByteArray::number((time - from + options.UnitPs / 2) / options.UnitPs);
    };
    QByteArray stamp = "0";
    for (; next < changes.size() && changes[next].Time <= to; ++next) {
        const TTraceChange& change = changes[next];
        if (change.What == TTraceChange::Gap || change.Trace >= traces) continue;
        const qint32 now = change.What == TTraceChange::End ? -1 : change.Value;
        if (now == value[change.Trace]) continue;
        value[change.Trace] = now;
        const QByteArray at = unitsOf(change.Time);
        if (at != stamp) {
            out.append('#' + at + '\n');
            stamp = at;
        }
        appendValue(out, recorder.Trace(change.Trace).Width, now, codes[change.Trace]);
    }
    // The end of the part, so that a reader knows how long the last levels lasted.
    if (const QByteArray end = unitsOf(to); end != stamp) out.append('#' + end + '\n');
    return out;
}
