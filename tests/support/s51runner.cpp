#include "tests/support/s51runner.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QStringList>
#include <QTemporaryFile>
#include <set>
#include <sys/resource.h>

namespace s51 {

namespace {

// Markers s51 prints back (through its expression command) to split its output into sections.
constexpr qint64 ProgramMark = 0x5E000000;
constexpr qint64 SfrMark = 0x5E100000;
constexpr qint64 IramMark = 0x5E200000;
constexpr qint64 XramMark = 0x5E300000;

void setMemory(QString& script, const char* space, uint16_t address,
               const std::vector<uint8_t>& bytes) {
    for (size_t i = 0; i < bytes.size(); i += 32) {
        script +=
            QStringLiteral("set memory %1 0x%2").arg(QLatin1String(space)).arg(address + i, 0, 16);
        for (size_t j = i; j < bytes.size() && j < i + 32; ++j)
            script += QStringLiteral(" 0x%1").arg(bytes[j], 0, 16);
        script += QLatin1Char('\n');
    }
}

// Runs s51 on the script (as its start-up command file, which it echoes line by line before the
// command's output, unlike commands on standard input); returns its output.
std::optional<QString> runScript(const QString& cpu, const QString& script, QString* error,
                                 int timeoutMs) {
    QTemporaryFile file;
    if (!file.open()) {
        *error = QStringLiteral("cannot write the s51 command file");
        return std::nullopt;
    }
    file.write((script + QStringLiteral("quit\n")).toLatin1());
    file.close();
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.setStandardInputFile(QProcess::nullDevice());
    process.start(Executable(), {QStringLiteral("-t"), cpu, QStringLiteral("-b"),
                                 QStringLiteral("-C"), file.fileName()});
    if (!process.waitForStarted(10000)) {
        *error = QStringLiteral("s51 did not start");
        return std::nullopt;
    }
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished();
        *error = QStringLiteral("s51 did not finish in time");
        return std::nullopt;
    }
    QString output = QString::fromLatin1(process.readAll());
    // For investigating a difference: MCS51_S51_LOG=file keeps the last script and output.
    if (QString log = qEnvironmentVariable("MCS51_S51_LOG"); !log.isEmpty()) {
        QFile file(log);
        if (file.open(QIODevice::WriteOnly))
            file.write((script + QStringLiteral("\n---- output ----\n") + output).toLatin1());
    }
    return output;
}

} // namespace

QString Executable() {
    return QStandardPaths::findExecutable(QStringLiteral("s51"));
}

std::optional<std::vector<State>> RunBatch(const std::vector<Program>& programs, QString* error,
                                           const QString& cpu) {
    // s51 stops on a stack that wraps past 0xFF; the part simply wraps.
    QString script = QStringLiteral("set error stack off\n");
    for (size_t n = 0; n < programs.size(); ++n) {
        const Program& p = programs[n];
        script += QStringLiteral("expression %1\n").arg(ProgramMark + qint64(n));
        script += QStringLiteral("reset\nfill rom 0 0xffff 0\nfill xram 0 0xffff 0\n");
        for (const auto& [address, bytes] : p.code)
            setMemory(script, "rom", address, bytes);
        setMemory(script, "iram", 0, std::vector<uint8_t>(p.iram.begin(), p.iram.end()));
        for (const auto& [address, bytes] : p.xram)
            setMemory(script, "xram", address, bytes);
        if (p.steps) script += QStringLiteral("step %1\n").arg(p.steps);
        script += QStringLiteral("state\n");
        script += QStringLiteral("expression %1\ndump /h sfr 0x80 0xff 16\n").arg(SfrMark);
        script += QStringLiteral("expression %1\ndump /h iram 0 0xff 16\n").arg(IramMark);
        script += QStringLiteral("expression %1\n").arg(XramMark);
        // Whole aligned rows: s51 pads a row that starts elsewhere.
        std::set<unsigned> rows;
        for (uint16_t address : p.xramOut)
            rows.insert(address & 0xFFF0u);
        for (unsigned row : rows)
            script +=
                QStringLiteral("dump /h xram 0x%1 0x%2 16\n").arg(row, 0, 16).arg(row + 15, 0, 16);
    }
    uint64_t totalSteps = 0;
    for (const Program& p : programs)
        totalSteps += p.steps;
    auto output = runScript(cpu, script, error, int(60000 + totalSteps / 100));
    if (!output) return std::nullopt;

    std::vector<State> states(programs.size());
    static const QRegularExpression dumpLine(
        QStringLiteral("^0x([0-9a-f]+)((?: [0-9a-f]{2}){16})")); // rows of 16, then text
    static const QRegularExpression pcLine(QStringLiteral("CPU state= \\S+ PC= 0x([0-9a-f]+)"));
    static const QRegularExpression clksLine(
        QStringLiteral("Total time since last reset=.*\\((\\d+) clks\\)"));
    static const QRegularExpression instLine(QStringLiteral("^Inst= (\\d+)"));
    std::vector<bool> seen(programs.size(), false);
    long current = -1;
    int section = 0; // 0: state, 1: SFRs, 2: internal RAM, 3: external RAM
    const QStringList lines = output->split(QLatin1Char('\n'));
    for (const QString& rawLine : lines) {
        QString line = rawLine.trimmed();
        bool isNumber = false;
        qint64 number = line.toLongLong(&isNumber);
        if (isNumber && number >= ProgramMark && number < ProgramMark + qint64(programs.size())) {
            current = long(number - ProgramMark);
            seen[size_t(current)] = true;
            section = 0;
            continue;
        }
        if (isNumber && (number == SfrMark || number == IramMark || number == XramMark)) {
            section = number == SfrMark ? 1 : number == IramMark ? 2 : 3;
            continue;
        }
        if (current < 0) continue;
        State& s = states[size_t(current)];
        if (section == 0) {
            if (auto m = pcLine.match(line); m.hasMatch())
                s.pc = m.captured(1).toUInt(nullptr, 16);
            else if (auto m = clksLine.match(line); m.hasMatch())
                s.cycles = m.captured(1).toULongLong() / 12;
            else if (auto m = instLine.match(line); m.hasMatch())
                s.instructions = m.captured(1).toULongLong();
            continue;
        }
        auto m = dumpLine.match(rawLine);
        if (!m.hasMatch()) continue;
        uint32_t address = m.captured(1).toUInt(nullptr, 16);
        const QStringList bytes = m.captured(2).split(QLatin1Char(' '), Qt::SkipEmptyParts);
        for (int i = 0; i < bytes.size(); ++i) {
            uint32_t a = address + uint32_t(i);
            uint8_t v = uint8_t(bytes[i].toUInt(nullptr, 16));
            if (section == 1 && a >= 0x80 && a <= 0xFF)
                s.sfr[a - 0x80] = v;
            else if (section == 2 && a <= 0xFF)
                s.iram[a] = v;
            else if (section == 3 && a <= 0xFFFF)
                s.xram[uint16_t(a)] = v;
        }
    }
    for (size_t n = 0; n < programs.size(); ++n) {
        if (!seen[n]) {
            *error = QStringLiteral("s51 output has no report for program %1").arg(n);
            return std::nullopt;
        }
    }
    return states;
}

double TimeRun(const Program& program, uint16_t stopAddress, uint64_t* instructions,
               uint64_t* cycles) {
    QString script = QStringLiteral("fill iram 0 0xff 0\nfill xram 0 0xffff 0\n");
    for (const auto& [address, bytes] : program.code)
        setMemory(script, "rom", address, bytes);
    script += QStringLiteral("break 0x%1\nrun\nstate\n").arg(stopAddress, 0, 16);
    rusage before{}, after{};
    getrusage(RUSAGE_CHILDREN, &before);
    QString error;
    auto output = runScript(QStringLiteral("52"), script, &error, 600000);
    getrusage(RUSAGE_CHILDREN, &after);
    if (!output) return -1;
    static const QRegularExpression clksLine(QStringLiteral("\\((\\d+) clks\\)"));
    static const QRegularExpression instLine(QStringLiteral("Inst= (\\d+)"));
    auto c = clksLine.match(*output);
    auto i = instLine.match(*output);
    if (!c.hasMatch() || !i.hasMatch()) return -1;
    *cycles = c.captured(1).toULongLong() / 12;
    *instructions = i.captured(1).toULongLong();
    auto seconds = [](const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    return seconds(after.ru_utime) - seconds(before.ru_utime) + seconds(after.ru_stime) -
           seconds(before.ru_stime);
}

} // namespace s51
