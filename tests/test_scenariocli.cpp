// The scenario runner as a command-line tool, run as a user runs it: the options and their
// errors, runs that fail or cannot run while the others go on, the JUnit report as a JUnit reader
// (Python's xml.etree) sees it, the time limit, the commands about simulated time, and the graded
// counter example with its documented report.
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>
#include <sys/types.h>

namespace {

const QString SourceDir = QStringLiteral(BRELVAN_SOURCE_DIR);
const QString Runner = QStringLiteral(SCENARIO_RUNNER);

struct Result {
    int ExitCode = -1;
    QString Out;
    QString Err;
};

Result runRunner(const QStringList& arguments, const QString& directory) {
    QProcess process;
    process.setWorkingDirectory(directory);
    process.start(Runner, arguments);
    if (!process.waitForFinished(120000)) {
        process.kill();
        process.waitForFinished();
        return Result{-2, QString(), QStringLiteral("the runner did not end")};
    }
    return Result{process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
                  QString::fromUtf8(process.readAllStandardOutput()),
                  QString::fromUtf8(process.readAllStandardError())};
}

// The blinking example (LED1 on P1.0 turns over every 500 ms) with the given lines after Run.
QByteArray blinkScenario(const QString& lines) {
    return QStringLiteral("board %1/examples/blink.ovd\nfirmware %1/examples/firmware/blink.ihx\n"
                          "run\n%2\n")
        .arg(SourceDir, lines)
        .toUtf8();
}

void writeFile(const QString& fileName, const QByteArray& text) {
    QFile file(fileName);
    QVERIFY2(file.open(QIODevice::WriteOnly), qPrintable(fileName));
    file.write(text);
}

// A summary of a JUnit report as read by xml.etree: a line per suite, case and failure.
const char* const junitReader = R"(
import sys, xml.etree.ElementTree as ET
root = ET.parse(sys.argv[1]).getroot()
assert root.tag == 'testsuites', root.tag
print('testsuites', root.get('tests'), root.get('failures'), root.get('errors'))
for suite in root.findall('testsuite'):
    print('suite', suite.get('name'), suite.get('tests'), suite.get('failures'), suite.get('errors'))
    for case in suite.findall('testcase'):
        float(case.get('time'))
        print(' case', case.get('classname'), case.get('name'))
        for problem in case:
            print('  ' + problem.tag, problem.get('type'), problem.get('message'))
            print('   ' + (problem.text or '').strip().replace('\n', ' | '))
)";

QString readJUnit(const QString& fileName) {
    QProcess python;
    python.start(QStringLiteral("python3"),
                 {QStringLiteral("-c"), QLatin1String(junitReader), fileName});
    if (!python.waitForFinished(30000) || python.exitCode() != 0)
        return QStringLiteral("python3 could not read the report: ") +
               QString::fromUtf8(python.readAllStandardError());
    return QString::fromUtf8(python.readAllStandardOutput());
}

} // namespace

class TestScenarioCli : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        QVERIFY(m_dir.isValid());
        writeFile(m_dir.filePath(QStringLiteral("good.scenario")),
                  blinkScenario(QStringLiteral("run-for 510\nexpect LED1.Lit True")));
        writeFile(m_dir.filePath(QStringLiteral("wrong.scenario")),
                  blinkScenario(QStringLiteral("run-for 10\nexpect LED1.Lit True\n"
                                               "expect Host.P1 0xFE")));
        writeFile(m_dir.filePath(QStringLiteral("broken.scenario")),
                  blinkScenario(QStringLiteral("run-for 10\nfrobnicate 3\nexpect LED1.Lit True")));
        QDir(m_dir.path()).mkdir(QStringLiteral("empty"));
    }

    void commandLine_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("output"); // a regular expression over stdout and stderr
        const auto args = [](const char* text) {
            return QString::fromLatin1(text).split(u' ', Qt::SkipEmptyParts);
        };
        QTest::newRow("help") << args("--help") << 0 << "usage: brelvan-scenario \\[options\\]";
        QTest::newRow("no file") << args("") << 2 << "no scenario file given";
        QTest::newRow("bad option") << args("--fast good.scenario") << 2
                                    << "unknown option --fast\nTry brelvan-scenario --help";
        QTest::newRow("jobs 0") << args("--jobs 0 good.scenario") << 2
                                << "--jobs takes a number from 1 to 256, not \"0\"";
        QTest::newRow("jobs=x") << args("--jobs=x good.scenario") << 2
                                << "--jobs takes a number from 1 to 256, not \"x\"";
        QTest::newRow("value missing")
            << args("good.scenario --timeout-ms") << 2 << "--timeout-ms needs a value";
        QTest::newRow("no value taken")
            << args("--quiet=yes good.scenario") << 2 << "--quiet takes no value";
        QTest::newRow("firmware missing") << args("--firmware nothere.ihx good.scenario") << 2
                                          << "--firmware: nothere.ihx does not exist";
        QTest::newRow("firmware folder empty")
            << args("--firmware empty good.scenario") << 2
            << "--firmware: the folder empty holds no .ihx, .hex or .bin file";
        QTest::newRow("one passes")
            << args("good.scenario") << 0 << "^1 passed, 0 failed; 1 of 1 scenario runs passed\n$";
        QTest::newRow("missing file, the other goes on")
            << args("--jobs 2 nothere.scenario good.scenario") << 1
            << "^nothere.scenario: error: cannot read the scenario: .*\n"
               "1 passed, 0 failed; 1 of 2 scenario runs passed\n$";
        QTest::newRow("bad command, the others go on")
            << args("-j 1 good.scenario broken.scenario wrong.scenario") << 1
            << "^broken.scenario:5: error: unknown command \"frobnicate\"\n"
               "wrong.scenario:5: expected True, got False\n"
               "wrong.scenario:6: expected 0xFE, got 255\n"
               "1 passed, 2 failed; 1 of 3 scenario runs passed\n$";
        QTest::newRow("quiet") << args("--quiet good.scenario wrong.scenario") << 1
                               << "^1 passed, 2 failed; 1 of 2 scenario runs passed\n$";
        QTest::newRow("verbose")
            << args("--verbose --jobs 2 good.scenario wrong.scenario") << 1
            << "ok     good.scenario \\(1 passed, 0 failed; 510 ms simulated, [0-9.]+ s\\)\n"
               "wrong.scenario:5: expected True, got False\n"
               "wrong.scenario:6: expected 0xFE, got 255\n"
               "FAILED wrong.scenario \\(0 passed, 2 failed; 10 ms simulated, [0-9.]+ s\\)\n";
        QTest::newRow("per firmware") << args("--firmware ../firmware/counter.ihx --firmware "
                                              "../firmware/blink.ihx good.scenario")
                                      << 1
                                      << "^\\[../firmware/counter.ihx\\] good.scenario:5: "
                                         "expected True, got False\n"
                                         "../firmware/counter.ihx: 0 of 1 scenarios passed \\(0 "
                                         "checks passed, 1 failed\\)\n"
                                         "../firmware/blink.ihx: 1 of 1 scenarios passed \\(1 "
                                         "checks passed, 0 failed\\)\n"
                                         "1 passed, 1 failed; 1 of 2 scenario runs passed\n$";
    }

    void commandLine() {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, output);
        // "../firmware" is the examples' firmware seen from the scratch folder's sibling.
        for (QString& argument : arguments)
            argument.replace(QStringLiteral("../firmware"),
                             SourceDir + QStringLiteral("/examples/firmware"));
        output.replace(QStringLiteral("../firmware"),
                       SourceDir + QStringLiteral("/examples/firmware"));
        const Result result = runRunner(arguments, m_dir.path());
        // Reports go to the standard output, complaints about the command line to the error output.
        const QString shown = exitCode == 2 ? result.Err : result.Out;
        QVERIFY2(QRegularExpression(output).match(shown).hasMatch(),
                 qPrintable(result.Out + result.Err));
        QCOMPARE(result.ExitCode, exitCode);
    }

    // Every run is a test case, every failed check a failure with its place, the expected and the
    // seen value; a command that cannot run is an error; text is escaped as XML needs.
    void junitReport() {
        writeFile(m_dir.filePath(QStringLiteral("markup.scenario")),
                  blinkScenario(QStringLiteral("expect LED1.Color <&\"'>\x01")));
        const QString report = m_dir.filePath(QStringLiteral("report.xml"));
        const Result result =
            runRunner({QStringLiteral("--junit"), report, QStringLiteral("--firmware"),
                       SourceDir + QStringLiteral("/examples/firmware/blink.ihx"),
                       QStringLiteral("good.scenario"), QStringLiteral("wrong.scenario"),
                       QStringLiteral("broken.scenario"), QStringLiteral("markup.scenario")},
                      m_dir.path());
        QCOMPARE(result.ExitCode, 1);
        const QString firmware = SourceDir + QStringLiteral("/examples/firmware/blink.ihx");
        const QString expected =
            QStringLiteral(
                "testsuites 4 2 1\n"
                "suite %1 4 2 1\n"
                " case %1 good.scenario\n"
                " case %1 wrong.scenario\n"
                "  failure check wrong.scenario:5: expected True, got False\n"
                "   wrong.scenario:5 | expected: True | got: False\n"
                "  failure check wrong.scenario:6: expected 0xFE, got 255\n"
                "   wrong.scenario:6 | expected: 0xFE | got: 255\n"
                " case %1 broken.scenario\n"
                "  error error broken.scenario:5: error: unknown command \"frobnicate\"\n"
                "   broken.scenario:5 | unknown command \"frobnicate\"\n"
                " case %1 markup.scenario\n"
                "  failure check markup.scenario:4: expected <&\"'>\\x01, got cled_RED\n"
                "   markup.scenario:4 | expected: <&\"'>\\x01 | got: cled_RED\n")
                .arg(firmware);
        QCOMPARE(readJUnit(report), expected);
    }

    // A scenario may take only so much simulated time; what it needs beyond that fails it with
    // the limit named, and the run ends there.
    void timeLimit_data() {
        QTest::addColumn<QString>("lines");
        QTest::addColumn<QString>("output");
        QTest::newRow("wait-until never")
            << "wait-until LED1.Color cled_GREEN\nexpect LED1.Lit True"
            << "^t.scenario:4: timed out after 300 ms of simulated time waiting for LED1.Color "
               "cled_GREEN \\(last seen cled_RED\\)\n0 passed, 1 failed";
        QTest::newRow("run-for beyond")
            << "run-for 200\nrun-for 200\nexpect LED1.Lit True"
            << "^t.scenario:5: timed out after 300 ms of simulated time\n0 passed, 1 failed";
        QTest::newRow("expect-for beyond")
            << "expect-for 400 LED1.Lit False"
            << "^t.scenario:4: timed out after 300 ms of simulated time waiting for LED1.Lit "
               "False \\(last seen False\\)\n0 passed, 1 failed";
        QTest::newRow("within the limit") << "run-for 299\nexpect LED1.Lit False"
                                          << "^1 passed, 0 failed";
    }

    void timeLimit() {
        QFETCH(QString, lines);
        QFETCH(QString, output);
        writeFile(m_dir.filePath(QStringLiteral("t.scenario")), blinkScenario(lines));
        const Result result = runRunner(
            {QStringLiteral("--timeout-ms"), QStringLiteral("300"), QStringLiteral("t.scenario")},
            m_dir.path());
        QVERIFY2(QRegularExpression(output).match(result.Out).hasMatch(), qPrintable(result.Out));
    }

    // A run that never ends is stopped by the wall-clock guard and reported; the others go on.
    void hangingRunIsStopped() {
        writeFile(m_dir.filePath(QStringLiteral("long.scenario")),
                  blinkScenario(QStringLiteral("run-for 3600000")));
        const Result result =
            runRunner({QStringLiteral("--wall-limit-s"), QStringLiteral("1"),
                       QStringLiteral("--timeout-ms"), QStringLiteral("86400000"),
                       QStringLiteral("long.scenario"), QStringLiteral("good.scenario")},
                      m_dir.path());
        QCOMPARE(result.ExitCode, 1);
        QCOMPARE(result.Out, QStringLiteral("long.scenario: error: stopped after 1 s of real time\n"
                                            "1 passed, 0 failed; 1 of 2 scenario runs passed\n"));
    }

    // A worker that dies (here: killed) costs its run only; a new worker takes the next.
    void crashedWorkerIsReported() {
        writeFile(m_dir.filePath(QStringLiteral("long.scenario")),
                  blinkScenario(QStringLiteral("run-for 3600000")));
        QProcess runner;
        runner.setWorkingDirectory(m_dir.path());
        runner.start(Runner, {QStringLiteral("--jobs"), QStringLiteral("1"),
                              QStringLiteral("--timeout-ms"), QStringLiteral("86400000"),
                              QStringLiteral("long.scenario"), QStringLiteral("good.scenario")});
        QVERIFY(runner.waitForStarted());
        const QString children =
            QStringLiteral("/proc/%1/task/%1/children").arg(runner.processId());
        QByteArray worker;
        QTRY_VERIFY_WITH_TIMEOUT(
            [&] {
                QFile file(children);
                if (file.open(QIODevice::ReadOnly)) worker = file.readAll().trimmed();
                return !worker.isEmpty();
            }(),
            20000);
        QVERIFY(::kill(pid_t(worker.split(' ').first().toLongLong()), SIGKILL) == 0);
        QVERIFY(runner.waitForFinished(60000));
        QCOMPARE(QString::fromUtf8(runner.readAllStandardOutput()),
                 QStringLiteral("long.scenario: error: the run crashed\n"
                                "1 passed, 0 failed; 1 of 2 scenario runs passed\n"));
        QCOMPARE(runner.exitCode(), 1);
    }

    // The blinking LED turns over every 500 ms of simulated time, and a little more: the interrupt
    // routine reloads the timer some cycles after it overflowed.
    void timeCommands_data() {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("output"); // the line for the command, or the totals
        QTest::newRow("wait-until holds") << "wait-until LED1.Lit True within 510"
                                          << "^1 passed, 0 failed";
        QTest::newRow("wait-until Host") << "wait-until Host.P1 0xFE"
                                         << "^1 passed, 0 failed";
        QTest::newRow("wait-until too short")
            << "wait-until LED1.Lit True within 490"
            << "^t.scenario:4: expected True within 490 ms, got False\n";
        QTest::newRow("expect-for holds") << "expect-for 490 LED1.Lit False"
                                          << "^1 passed, 0 failed";
        QTest::newRow("expect-for breaks")
            << "expect-for 600 LED1.Lit False"
            << "^t.scenario:4: expected False for 600 ms, got True after 50[01]\\.[0-9]+ ms\n";
        QTest::newRow("period holds") << "expect-period LED1.Lit 1000 ±1%"
                                      << "^1 passed, 0 failed";
        QTest::newRow("period +- form") << "expect-period P10.Pin.Value 1000 +-0.5"
                                        << "^1 passed, 0 failed";
        QTest::newRow("period wrong")
            << "expect-period LED1.Lit 900 ±5%"
            << "^t.scenario:4: expected period 900 ms ±5%, got period 1000(\\.[0-9]+)? ms\n";
        QTest::newRow("period steady")
            << "expect-period LED1.Color 100"
            << "^t.scenario:4: expected period 100 ms ±5%, got no change in 31[0-9] ms "
               "\\(cled_RED\\)\n";
        QTest::newRow("wait-until usage") << "wait-until LED1.Lit"
                                          << "^t.scenario:4: error: wait-until PATH VALUE "
                                             "\\[within MS\\]\n";
        QTest::newRow("expect-for bad ms")
            << "expect-for soon LED1.Lit True"
            << "^t.scenario:4: error: MS must be a number of ms from 0 to 3600000, not \"soon\"\n";
        QTest::newRow("expect-period bad tolerance")
            << "expect-period LED1.Lit 1000 ±lots"
            << "^t.scenario:4: error: the tolerance is ±PERCENT from 0 to 100, not \"±lots\"\n";
        QTest::newRow("unknown name") << "wait-until Nobody.Lit True within 10"
                                      << "^t.scenario:4: error: nothing is named Nobody\n";
    }

    void timeCommands() {
        QFETCH(QString, command);
        QFETCH(QString, output);
        writeFile(m_dir.filePath(QStringLiteral("t.scenario")), blinkScenario(command));
        const Result result = runRunner({QStringLiteral("t.scenario")}, m_dir.path());
        QVERIFY2(QRegularExpression(output).match(result.Out).hasMatch(), qPrintable(result.Out));
        QCOMPARE(result.ExitCode, output.startsWith(u"^1 passed") ? 0 : 1);
    }

    // The grading example gives the report the README and examples/tests/expected_report.txt
    // show, and its JUnit report has a case per scenario and submission.
    void gradedExample() {
        const QString folder = SourceDir + QStringLiteral("/examples/tests");
        const QString report = m_dir.filePath(QStringLiteral("graded.xml"));
        const Result result = runRunner(
            {QStringLiteral("--jobs"), QStringLiteral("2"), QStringLiteral("--firmware"),
             QStringLiteral("submissions"), QStringLiteral("--timeout-ms"), QStringLiteral("5000"),
             QStringLiteral("--junit"), report, QStringLiteral("counter/alive.scenario"),
             QStringLiteral("counter/count.scenario"), QStringLiteral("counter/debounce.scenario"),
             QStringLiteral("counter/start.scenario")},
            folder);
        QFile expected(folder + QStringLiteral("/expected_report.txt"));
        QVERIFY(expected.open(QIODevice::ReadOnly));
        QCOMPARE(result.Out, QString::fromUtf8(expected.readAll()));
        QCOMPARE(result.ExitCode, 1);
        const QStringList lines = readJUnit(report).split(u'\n');
        QCOMPARE(lines.first(), QStringLiteral("testsuites 12 4 0"));
        QVERIFY(lines.contains(QStringLiteral("suite submissions/right.ihx 4 0 0")));
        QVERIFY(lines.contains(QStringLiteral("suite submissions/wrong_digits.ihx 4 1 0")));
        QVERIFY(lines.contains(QStringLiteral("suite submissions/no_timer.ihx 4 3 0")));
        QVERIFY(lines.contains(QStringLiteral(
            "  failure timeout counter/count.scenario:8: timed out after 5000 ms of simulated time "
            "waiting for Digit.Segment_A.Lit False (last seen True)")));
    }

private:
    QTemporaryDir m_dir;
};

QTEST_GUILESS_MAIN(TestScenarioCli)
#include "test_scenariocli.moc"
