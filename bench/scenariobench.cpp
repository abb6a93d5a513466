// What a scenario run costs through the runner's command line: a small board's run in a process of
// its own (process start, Qt, the main window, the board, the firmware), the same run when a worker
// takes many, and 1,000 runs (10 scenarios × 100 generated firmware files) with --jobs 2.
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <sys/resource.h>
#include <vector>

#ifndef BRELVAN_SOURCE_DIR
#define BRELVAN_SOURCE_DIR "."
#endif

namespace {

// One Intel HEX data record and the end record.
QByteArray hexRecord(quint16 address, const QByteArray& data) {
    QByteArray record;
    record.append(char(data.size()));
    record.append(char(address >> 8));
    record.append(char(address & 0xFF));
    record.append(char(0));
    record.append(data);
    quint8 sum = 0;
    for (char c : record)
        sum = quint8(sum + quint8(c));
    record.append(char(quint8(-sum)));
    return ':' + record.toHex().toUpper() + "\n:00000001FF\n";
}

const char patterns[10] = {0x3F, 0x06, 0x5B, 0x4F, 0x66, 0x6D, 0x7D, 0x07, 0x7F, 0x6F};

// MOV P1,#pattern; SJMP $: the display of the counter board shows the digit.
QByteArray digitFirmware(int digit) {
    return hexRecord(0,
                     QByteArray("\x75\x90", 2) + char(patterns[digit]) + QByteArray("\x80\xFE", 2));
}

bool writeFile(const QString& name, const QByteArray& text) {
    QFile file(name);
    return file.open(QIODevice::WriteOnly) && file.write(text) == text.size();
}

struct Timed {
    double Ms = 0;    // wall clock
    double CpuMs = 0; // user and system time of the runner and its workers
    int ExitCode = -1;
    QByteArray Out;
};

// Processor time of the ended children: on a machine shared with other work it tells what a run
// costs better than the wall clock does.
double childCpuMs() {
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    const auto ms = [](const timeval& t) { return t.tv_sec * 1000.0 + t.tv_usec / 1000.0; };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

Timed runRunner(const QStringList& arguments, const QString& directory) {
    QProcess process;
    process.setWorkingDirectory(directory);
    process.setStandardErrorFile(QProcess::nullDevice());
    QElapsedTimer clock;
    const double cpu = childCpuMs();
    clock.start();
    process.start(QStringLiteral(BRELVAN_SCENARIO_RUNNER), arguments);
    process.waitForFinished(-1);
    return Timed{clock.nsecsElapsed() / 1e6, childCpuMs() - cpu, process.exitCode(),
                 process.readAllStandardOutput()};
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

void ScenarioRunnerReport(int runs) {
    QTemporaryDir dir;
    const QString board = QStringLiteral(BRELVAN_SOURCE_DIR "/examples/counter.ovd");
    for (int digit = 0; digit < 10; ++digit) {
        // Scenario d passes with the firmware that shows d.
        const QString scenario =
            QStringLiteral("board %1\nfirmware f000.ihx\nrun\nrun-for 5\n"
                           "wait-until Host.P1 %2 within 20\nexpect-for 10 Digit.Segment_H.Lit "
                           "False\n")
                .arg(board)
                .arg(int(patterns[digit]));
        writeFile(dir.filePath(QStringLiteral("s%1.scenario").arg(digit)), scenario.toUtf8());
    }
    QDir(dir.path()).mkdir(QStringLiteral("fw"));
    for (int i = 0; i < 100; ++i)
        writeFile(dir.filePath(QStringLiteral("fw/f%1.ihx").arg(i, 3, 10, QLatin1Char('0'))),
                  digitFirmware(i % 10));
    writeFile(dir.filePath(QStringLiteral("f000.ihx")), digitFirmware(0));

    runRunner({QStringLiteral("s0.scenario")}, dir.path()); // warm the file cache
    std::vector<double> alone;
    std::vector<double> aloneCpu;
    for (int i = 0; i < std::max(runs, 9); ++i) {
        const Timed run = runRunner({QStringLiteral("s0.scenario")}, dir.path());
        alone.push_back(run.Ms);
        aloneCpu.push_back(run.CpuMs);
    }
    // A worker's share: 21 runs against 1 in one call, both through a worker.
    const QStringList one{QStringLiteral("--jobs"), QStringLiteral("1"), QStringLiteral("--junit"),
                          dir.filePath(QStringLiteral("one.xml")), QStringLiteral("s0.scenario")};
    QStringList many = one;
    for (int i = 0; i < 20; ++i)
        many << QStringLiteral("s0.scenario");
    std::vector<double> shared;
    std::vector<double> sharedCpu;
    for (int i = 0; i < std::max(runs, 5); ++i) {
        const Timed a = runRunner(many, dir.path());
        const Timed b = runRunner(one, dir.path());
        shared.push_back((a.Ms - b.Ms) / 20);
        sharedCpu.push_back((a.CpuMs - b.CpuMs) / 20);
    }
    std::printf(
        "Scenario runner, a small board (counter, 4 commands; medians)   wall    processor\n");
    std::printf("  %-44s %8.1f ms %8.1f ms\n", "one run in a process of its own", median(alone),
                median(aloneCpu));
    std::printf("  %-44s %8.1f ms %8.1f ms\n", "one more run in a worker", median(shared),
                median(sharedCpu));

    QStringList all{QStringLiteral("--jobs"), QStringLiteral("2"), QStringLiteral("--quiet"),
                    QStringLiteral("--firmware"), QStringLiteral("fw")};
    for (int digit = 0; digit < 10; ++digit)
        all << QStringLiteral("s%1.scenario").arg(digit);
    const Timed thousand = runRunner(all, dir.path());
    const QList<QByteArray> lines = thousand.Out.trimmed().split('\n');
    std::printf("  %-44s %8.1f s  %8.1f s   (%s)\n", "1,000 runs, --jobs 2", thousand.Ms / 1000,
                thousand.CpuMs / 1000, lines.last().constData());
}
