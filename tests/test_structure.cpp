// The folders are the modules and form a one-way stack: a file includes headers of its own folder
// and of folders below it, never above. This test reads every #include line of the tree and fails
// on one that runs upward, naming the file and the line.
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <optional>

namespace {

// The stack from the bottom; folders of one entry stand side by side and do not include each
// other. The tests sit above every program folder; the benchmark and the fuzzer use test support.
const QList<QStringList>& Layers() {
    static const QList<QStringList> layers = {
        {"platform"}, {"host"},          {"resources"},  {"model"},  {"components", "trace"},
        {"lcd"},      {"simulation"},    {"properties"}, {"editor"}, {"app", "tools", "dist"},
        {"tests"},    {"bench", "fuzz"},
    };
    return layers;
}

std::optional<int> LayerOf(const QString& folder) {
    for (int i = 0; i < Layers().size(); ++i)
        if (Layers()[i].contains(folder)) return i;
    return std::nullopt;
}

// Why an include of `included` (a path from the root) in a file of `folder` breaks the stack;
// empty when it is allowed. Includes of a folder outside the stack (a system header) pass.
QString Violation(const QString& folder, const QString& included) {
    const QString target = included.section('/', 0, 0);
    if (!included.contains('/') || target == folder) return {};
    const std::optional<int> from = LayerOf(folder);
    const std::optional<int> to = LayerOf(target);
    if (!from || !to) return {};
    if (*to < *from) return {};
    return *to == *from ? QStringLiteral("%1 and %2 stand side by side").arg(folder, target)
                        : QStringLiteral("%1 is above %2").arg(target, folder);
}

struct Finding {
    QString file;
    int line;
    QString text;
};

// Every include of a source file below root that breaks the stack, as FILE:LINE: why.
QList<Finding> Scan(const QString& root) {
    static const QRegularExpression include(R"re(^\s*#\s*include\s*"([^"]+)")re");
    QList<Finding> findings;
    const QDir rootDir(root);
    for (const QStringList& layer : Layers()) {
        for (const QString& folder : layer) {
            QDirIterator it(rootDir.filePath(folder), {"*.h", "*.cpp"}, QDir::Files,
                            QDirIterator::Subdirectories);
            while (it.hasNext()) {
                const QString path = it.next();
                QFile file(path);
                if (!file.open(QIODevice::ReadOnly)) {
                    findings.append({rootDir.relativeFilePath(path), 0, "cannot be read"});
                    continue;
                }
                int lineNumber = 0;
                while (!file.atEnd()) {
                    const QString line = QString::fromUtf8(file.readLine());
                    ++lineNumber;
                    const QRegularExpressionMatch m = include.match(line);
                    if (!m.hasMatch()) continue;
                    const QString why = Violation(folder, m.captured(1));
                    if (!why.isEmpty())
                        findings.append(
                            {rootDir.relativeFilePath(path), lineNumber,
                             QStringLiteral("includes \"%1\": %2").arg(m.captured(1), why)});
                }
            }
        }
    }
    return findings;
}

} // namespace

class TestStructure : public QObject {
    Q_OBJECT

private slots:
    void rule_data() {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("included");
        QTest::addColumn<bool>("allowed");
        QTest::newRow("own folder") << "model"
                                    << "model/drivers.h" << true;
        QTest::newRow("downward") << "editor"
                                  << "model/circuit.h" << true;
        QTest::newRow("one step down") << "lcd"
                                       << "components/orvexcomponent.h" << true;
        QTest::newRow("upward") << "model"
                                << "simulation/simform.h" << false;
        QTest::newRow("one step up") << "properties"
                                     << "editor/componenttable.h" << false;
        QTest::newRow("side by side") << "tools"
                                      << "app/main.h" << false;
        QTest::newRow("tests use everything") << "tests"
                                              << "editor/brelvanfrm.h" << true;
        QTest::newRow("bench uses test support") << "bench"
                                                 << "tests/support/s51runner.h" << true;
        QTest::newRow("program into tests") << "editor"
                                            << "tests/support/testboard.h" << false;
        QTest::newRow("no folder") << "model"
                                   << "moc_drivers.cpp" << true;
        QTest::newRow("outside the stack") << "model"
                                           << "private/qobject_p.h" << true;
    }
    void rule() {
        QFETCH(QString, folder);
        QFETCH(QString, included);
        QFETCH(bool, allowed);
        QCOMPARE(Violation(folder, included).isEmpty(), allowed);
    }

    // A back edge written into a scratch tree is reported with its file and line.
    void scanReportsFileAndLine() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QVERIFY(QDir(dir.path()).mkpath("model"));
        QFile file(dir.filePath("model/x.cpp"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(
            "#include \"model/x.h\"\n#include <vector>\n  #  include \"editor/brelvanfrm.h\"\n");
        file.close();
        const QList<Finding> findings = Scan(dir.path());
        QCOMPARE(findings.size(), 1);
        QCOMPARE(findings[0].file, QString("model/x.cpp"));
        QCOMPARE(findings[0].line, 3);
        QVERIFY(findings[0].text.contains("editor is above model"));
    }

    void treeFollowsTheStack() {
        const QList<Finding> findings = Scan(BRELVAN_SOURCE_DIR);
        QStringList lines;
        for (const Finding& f : findings)
            lines << QStringLiteral("%1:%2: %3").arg(f.file).arg(f.line).arg(f.text);
        if (!lines.isEmpty()) QFAIL(qPrintable("includes against the stack:\n" + lines.join('\n')));
    }
};

QTEST_GUILESS_MAIN(TestStructure)
#include "test_structure.moc"
