// The debugger: the debug-file reader (line table checked against the compiler's own listing,
// symbols and types, bad files), values read and written by type, breakpoints by line across a
// rebuild, data breakpoints, stepping without source, the call stack, and a variable edited on a
// running board.
#include <QFile>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>
#include <algorithm>
#include <array>
#include <map>
#include <memory>
#include <sys/stat.h>
#include <utime.h>

#include "components/leds.h"
#include "editor/firmwarerunner.h"
#include "editor/firmwareui.h"
#include "host/debugger.h"
#include "host/debuginfo.h"
#include "host/mcs51.h"
#include "model/controls.h"
#include "tests/support/windowfixture.h"

using mcs51::Space;
using StepKind = mcs51::Debugger::StepKind;

namespace {

const QString FixtureDir = QStringLiteral(BRELVAN_SOURCE_DIR "/tests/debug");
const QString Firmware = FixtureDir + QStringLiteral("/debugged.ihx");

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeAll(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// The firmware in a core with its debug information, as the runner would load them.
struct Loaded {
    mcs51::Core core;
    mcs51::DebugLoad debug;
    mcs51::Debugger debugger;

    explicit Loaded(const QString& firmware = Firmware) {
        const QByteArray hex = readAll(firmware);
        const mcs51::LoadResult result = mcs51::LoadIntelHex(core, hex.toStdString());
        if (!result.ok) qFatal("fixture firmware does not load");
        core.Reset();
        debug = mcs51::LoadDebugFiles(QFile::encodeName(firmware).toStdString(), "", core.Code());
        debugger.SetDebugInfo(debug.lines ? &debug.info : nullptr);
    }
    const mcs51::DebugInfo& info() const { return debug.info; }
    // Runs until the debugger stops (at most a second of machine cycles).
    bool run() {
        uint64_t total = 0;
        while (total < 1'000'000) {
            total += debugger.Run(core, 10'000);
            if (debugger.Stopped()) return true;
        }
        return false;
    }
    bool step(StepKind kind) {
        debugger.BeginStep(kind, core);
        return run();
    }
    QString line() const { return QString::fromStdString(debugger.Where(core.PC())); }
    std::optional<mcs51::Location> where(const char* name) const {
        std::string error;
        return info().Resolve(name, core.PC(), &core, &error);
    }
    // Runs to FILE:LINE through a breakpoint there, which is removed again.
    bool runToLine(const char* file, int line) {
        const int index = debugger.AddLineBreakpoint(file, line);
        const bool stopped = run();
        debugger.RemoveBreakpoint(index);
        return stopped;
    }
};

// FILE:LINE -> the address of the instruction that follows the line's label in the relocated
// listing (a line labelled twice keeps the last, as the linker does).
std::map<int, uint16_t> listingLines(const QByteArray& listing) {
    std::map<int, uint16_t> lines;
    std::vector<int> pending;
    static const QRegularExpression label(QStringLiteral(R"(\sC\$debugged\.c\$(\d+)\$\S+ ==\.)"));
    static const QRegularExpression instruction(
        QStringLiteral(R"(^      ([0-9A-F]{6}) [0-9A-F]{2}[ \n])"));
    for (const QByteArray& raw : listing.split('\n')) {
        const QString text = QString::fromLatin1(raw) + QLatin1Char('\n');
        const auto c = label.match(text);
        if (c.hasMatch()) {
            pending.push_back(c.captured(1).toInt());
            continue;
        }
        const auto i = instruction.match(text);
        if (i.hasMatch() && !pending.empty()) {
            for (int line : pending)
                lines[line] = uint16_t(i.captured(1).toUInt(nullptr, 16));
            pending.clear();
        }
    }
    return lines;
}

// The byte address the listing gives a label ("_uc::").
int listingLabel(const QByteArray& listing, const QString& label) {
    const QRegularExpression line(QStringLiteral(R"(^      ([0-9A-F]{6}) +\d+ %1::?\s*$)")
                                      .arg(QRegularExpression::escape(label)),
                                  QRegularExpression::MultilineOption);
    const auto match = line.match(QString::fromLatin1(listing));
    return match.hasMatch() ? int(match.captured(1).toUInt(nullptr, 16)) : -1;
}

} // namespace

class TestDebugInfo : public QObject {
    Q_OBJECT

private slots:
    // ---- the reader

    // Every C line the compiler's listing shows code for resolves to that code's address.
    void lineTableMatchesListing() {
        Loaded f;
        QVERIFY2(f.debug.lines && f.debug.sources, f.debug.reason.c_str());
        QVERIFY(f.debug.reason.empty());
        const std::map<int, uint16_t> expected =
            listingLines(readAll(FixtureDir + "/debugged.rst"));
        QVERIFY(expected.size() > 30);
        for (const auto& [line, address] : expected) {
            const mcs51::LineResolution got = f.info().ResolveLine("debugged.c", line);
            QVERIFY2(got.ok, qPrintable(QStringLiteral("line %1").arg(line)));
            QCOMPARE(got.line, line);
            QCOMPARE(got.address, address);
            QVERIFY(!got.moved);
        }
    }

    // A line without code moves to the next line with code, and says so; past the last one
    // there is nothing.
    void lineWithoutCodeMoves_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("line");
        QTest::addColumn<int>("resolved");
        QTest::addColumn<QString>("note");
        QTest::newRow("blank line")
            << "debugged.c" << 66 << 67
            << "debugged.c:66 has no code; the breakpoint is at debugged.c:67";
        QTest::newRow("declaration") << "debugged.c" << 48 << 49 << "debugged.c:48 has no code";
        QTest::newRow("by path") << "src/debugged.c" << 67 << 67 << "";
        QTest::newRow("after the end")
            << "debugged.c" << 500 << 0 << "no code at or after debugged.c:500";
        QTest::newRow("other file") << "main.c" << 5 << 0 << "no code from main.c";
    }
    void lineWithoutCodeMoves() {
        QFETCH(QString, file);
        QFETCH(int, line);
        QFETCH(int, resolved);
        QFETCH(QString, note);
        Loaded f;
        const mcs51::LineResolution got = f.info().ResolveLine(file.toStdString(), line);
        QCOMPARE(got.ok, resolved != 0);
        if (resolved) QCOMPARE(got.line, resolved);
        QCOMPARE(got.moved, resolved != 0 && resolved != line);
        QVERIFY2(QString::fromStdString(got.note).startsWith(note), got.note.c_str());
    }

    // Name, scope, space, type and address of each kind of variable; addresses as the listing's
    // labels give them.
    void symbols_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("qualified");
        QTest::addColumn<QString>("space");
        QTest::addColumn<QString>("type");
        QTest::addColumn<QString>("label");
        QTest::newRow("signed char") << "sc"
                                     << "sc"
                                     << "IRAM"
                                     << "signed char"
                                     << "_sc";
        QTest::newRow("unsigned char") << "uc"
                                       << "uc"
                                       << "IRAM"
                                       << "unsigned char"
                                       << "_uc";
        QTest::newRow("int") << "si"
                             << "si"
                             << "IRAM"
                             << "int"
                             << "_si";
        QTest::newRow("unsigned int") << "ui"
                                      << "ui"
                                      << "IRAM"
                                      << "unsigned int"
                                      << "_ui";
        QTest::newRow("long") << "sl"
                              << "sl"
                              << "IRAM"
                              << "long"
                              << "_sl";
        QTest::newRow("unsigned long") << "ul"
                                       << "ul"
                                       << "IRAM"
                                       << "unsigned long"
                                       << "_ul";
        QTest::newRow("array") << "arr"
                               << "arr"
                               << "IRAM"
                               << "unsigned char[4]"
                               << "_arr";
        QTest::newRow("struct") << "pt"
                                << "pt"
                                << "IRAM"
                                << "struct point"
                                << "_pt";
        QTest::newRow("xdata") << "xvar"
                               << "xvar"
                               << "XRAM"
                               << "unsigned int"
                               << "_xvar";
        QTest::newRow("code") << "table"
                              << "table"
                              << "code"
                              << "unsigned char[3]"
                              << "_table";
        QTest::newRow("bit") << "flag"
                             << "flag"
                             << "bit"
                             << "bit"
                             << "_flag";
        QTest::newRow("data pointer") << "dptr"
                                      << "dptr"
                                      << "IRAM"
                                      << "__data unsigned char *"
                                      << "_dptr";
        QTest::newRow("xdata pointer") << "xptr"
                                       << "xptr"
                                       << "IRAM"
                                       << "__xdata unsigned int *"
                                       << "_xptr";
        QTest::newRow("code pointer") << "cptr"
                                      << "cptr"
                                      << "IRAM"
                                      << "__code unsigned char *"
                                      << "_cptr";
        QTest::newRow("generic pointer") << "gptr"
                                         << "gptr"
                                         << "IRAM"
                                         << "unsigned char *"
                                         << "_gptr";
        QTest::newRow("file static") << "counter"
                                     << "debugged.c:counter"
                                     << "IRAM"
                                     << "unsigned char"
                                     << "_counter";
        QTest::newRow("function static") << "local_fixed"
                                         << "main:local_fixed"
                                         << "IRAM"
                                         << "unsigned char"
                                         << "_main_local_fixed_65536_10";
        QTest::newRow("local at a fixed address") << "sum3:parts"
                                                  << "sum3:parts"
                                                  << "IRAM"
                                                  << "unsigned char[3]"
                                                  << "_sum3_parts_65536_8";
        QTest::newRow("sfr") << "P1"
                             << "P1"
                             << "SFR"
                             << "unsigned char"
                             << "";
    }
    void symbols() {
        QFETCH(QString, name);
        QFETCH(QString, qualified);
        QFETCH(QString, space);
        QFETCH(QString, type);
        QFETCH(QString, label);
        Loaded f;
        const mcs51::Symbol* symbol = f.info().FindSymbol(name.toStdString());
        QVERIFY(symbol);
        QCOMPARE(QString::fromStdString(symbol->QualifiedName()), qualified);
        QCOMPARE(QString::fromStdString(mcs51::SpaceName(symbol->space)), space);
        QCOMPARE(QString::fromStdString(symbol->type.Name()), type);
        QVERIFY(symbol->located);
        if (label.isEmpty()) {
            QCOMPARE(symbol->address, 0x90u);
        } else {
            const int address = listingLabel(readAll(FixtureDir + "/debugged.rst"), label);
            QVERIFY2(address >= 0, qPrintable(label));
            QCOMPARE(int(symbol->address), address);
        }
    }

    // Locals the compiler keeps in registers are listed for the function but have no address;
    // the variables of a place are the globals, statics and that function's locals.
    void variablesOfAPlace() {
        Loaded f;
        const mcs51::Function* sum3 = f.info().FindFunction("sum3");
        const mcs51::Function* twice = f.info().FindFunction("twice_plus");
        QVERIFY(sum3 && twice);
        auto names = [&](int pc) {
            QStringList list;
            for (const mcs51::Symbol* s : f.info().Variables(pc))
                list << QString::fromStdString(s->name);
            return list;
        };
        const QStringList inSum3 = names(sum3->start);
        QVERIFY(inSum3.contains("parts") && inSum3.contains("uc") && inSum3.contains("counter"));
        QVERIFY(!inSum3.contains("w") && !inSum3.contains("P1") && !inSum3.contains("main"));
        QVERIFY(names(twice->start).contains("w"));
        std::string error;
        QVERIFY(!f.info().Resolve("w", twice->start, &f.core, &error));
        QCOMPARE(QString::fromStdString(error),
                 QStringLiteral("w is kept in registers (r7), not at an address"));
        QVERIFY(f.info().FunctionAt(twice->start)->name == "twice_plus");
        // Every variable listed for a place with an address reads through its location.
        for (const mcs51::Symbol* s : f.info().Variables(sum3->start)) {
            const auto where = mcs51::DebugInfo::LocationOf(*s);
            QCOMPARE(bool(where), s->located);
            if (where) QVERIFY(!mcs51::FormatValue(f.core, *where, &f.info()).empty());
        }
        const mcs51::Function* isr = f.info().FindFunction("timer0_isr");
        QVERIFY(isr && isr->isInterrupt && !twice->isInterrupt);
    }

    // Whatever the files hold, the reader falls back with a reason and never takes them halfway.
    void badFilesFallBack_data() {
        QTest::addColumn<QString>("damage");
        QTest::addColumn<bool>("lines");
        QTest::addColumn<QString>("reason");
        QTest::newRow("garbage") << "garbage" << false << "debugged.cdb is damaged (line 1:";
        QTest::newRow("binary") << "binary" << false
                                << "debugged.cdb is damaged (line 2: not a text";
        QTest::newRow("truncated")
            << "truncated" << false << "the file ends in the middle of a record";
        QTest::newRow("empty") << "empty" << false << "no module record";
        QTest::newRow("older than the firmware")
            << "older" << false << "debugged.cdb is older than the firmware";
        QTest::newRow("missing source")
            << "nosource" << true << "the source file debugged.c was not found";
        QTest::newRow("listing disagrees")
            << "listing" << false << "debugged.rst does not match the firmware";
        QTest::newRow("no debug file") << "nocdb" << false << "no debug information (debugged.cdb)";
        QTest::newRow("debug file is a folder")
            << "folder" << false << "no debug information (debugged.cdb)";
    }
    void badFilesFallBack() {
        QFETCH(QString, damage);
        QFETCH(bool, lines);
        QFETCH(QString, reason);
        QTemporaryDir dir;
        const QByteArray cdb = readAll(FixtureDir + "/debugged.cdb");
        QByteArray rst = readAll(FixtureDir + "/debugged.rst");
        QVERIFY(writeAll(dir.filePath("debugged.ihx"), readAll(Firmware)));
        if (damage != "nosource")
            QVERIFY(writeAll(dir.filePath("debugged.c"), readAll(FixtureDir + "/debugged.c")));
        QByteArray written = cdb;
        if (damage == "garbage") written = "hello, world\nthis is not it\n";
        if (damage == "binary") written = QByteArray("M:x\n\0\x01\x02", 7);
        if (damage == "truncated") written = cdb.left(cdb.indexOf("\nS:G$ul") + 12);
        if (damage == "empty") written.clear();
        if (damage == "listing") {
            // One byte of an instruction changed in the listing.
            const qsizetype at = rst.indexOf("75 8C 00");
            QVERIFY(at > 0);
            rst[at + 7] = '1';
        }
        if (damage == "folder") {
            QVERIFY(QDir(dir.path()).mkdir("debugged.cdb"));
        } else if (damage != "nocdb") {
            QVERIFY(writeAll(dir.filePath("debugged.cdb"), written));
        }
        QVERIFY(writeAll(dir.filePath("debugged.rst"), rst));
        if (damage == "older") {
            const QByteArray path = QFile::encodeName(dir.filePath("debugged.cdb"));
            struct utimbuf old = {1000000000, 1000000000};
            QCOMPARE(::utime(path.constData(), &old), 0);
        }
        Loaded f(dir.filePath("debugged.ihx"));
        QCOMPARE(f.debug.lines, lines);
        QVERIFY2(QString::fromStdString(f.debug.reason).contains(reason), f.debug.reason.c_str());
        QCOMPARE(f.debugger.Info() != nullptr, lines);
        // The firmware still runs and steps, by instruction where nothing can be trusted.
        f.debugger.BeginStep(StepKind::Into, f.core);
        f.run();
        QVERIFY(f.core.PC() != 0);
    }

    // Records the reader does not know are refused with their line; odd but well-formed input
    // gives an empty result, not a crash.
    void parserRefusesMalformedRecords_data() {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("error");
        QTest::newRow("unknown kind")
            << QByteArray("M:m\nQ:what\n") << "line 2: unknown record kind 'Q'";
        QTest::newRow("type without size")
            << QByteArray("M:m\nS:G$x$0_0$0(SC:U),E,0,0\n") << "line 2: malformed S record";
        QTest::newRow("bad address")
            << QByteArray("M:m\nL:G$x$0_0$0:XYZ\n") << "line 2: malformed L record";
        QTest::newRow("deep type")
            << QByteArray("M:m\nS:G$x$0_0$0({2}" + QByteArray("DG,").repeated(40) + "SC:U),E,0,0\n")
            << "line 2: malformed S record";
        QTest::newRow("line zero")
            << QByteArray("M:m\nL:C$m.c$0$0_0$0:10\n") << "line 2: malformed L record";
        QTest::newRow("array larger than memory")
            << QByteArray("M:m\nS:G$x$0_0$0({4}DA60000d,DA60000d,SC:U),E,0,0\n")
            << "line 2: malformed S record";
        QTest::newRow("huge array")
            << QByteArray("M:m\nS:G$x$0_0$0({1}DA99999999999d,SC:U),E,0,0\n")
            << "line 2: malformed S record";
    }
    void parserRefusesMalformedRecords() {
        QFETCH(QByteArray, text);
        QFETCH(QString, error);
        std::string got;
        const mcs51::DebugInfo info = mcs51::DebugInfo::ParseCdb(text.toStdString(), &got);
        QCOMPARE(QString::fromStdString(got), error);
        QVERIFY(info.Empty());
    }

    // ---- values

    // Every kind of variable reads as the bytes in memory say, read here independently.
    void valuesReadRight_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("shown");
        QTest::newRow("signed char") << "sc"
                                     << "-5";
        QTest::newRow("unsigned char") << "uc"
                                       << "200";
        QTest::newRow("int") << "si"
                             << "-1234";
        QTest::newRow("unsigned int") << "ui"
                                      << "54321";
        QTest::newRow("long") << "sl"
                              << "-100000";
        QTest::newRow("unsigned long") << "ul"
                                       << "3000000000";
        QTest::newRow("array") << "arr"
                               << "{1, 2, 3, 4}";
        QTest::newRow("element") << "arr[3]"
                                 << "4";
        QTest::newRow("struct") << "pt"
                                << "{x = -7, y = 9}";
        QTest::newRow("member") << "pt.x"
                                << "-7";
        QTest::newRow("xdata") << "xvar"
                               << "4660";
        QTest::newRow("code") << "table"
                              << "{10, 20, 30}";
        QTest::newRow("bit") << "flag"
                             << "1";
        QTest::newRow("data pointer") << "dptr"
                                      << "0x22 (IRAM)";
        QTest::newRow("xdata pointer") << "xptr"
                                       << "0x0001 (XRAM)";
        QTest::newRow("through a pointer") << "*xptr"
                                           << "4660";
        QTest::newRow("through a generic pointer") << "*gptr"
                                                   << "200";
        QTest::newRow("through a code pointer") << "*cptr"
                                                << "10";
        QTest::newRow("sfr") << "TMOD"
                             << "2";
    }
    void valuesReadRight() {
        QFETCH(QString, name);
        QFETCH(QString, shown);
        Loaded f;
        QVERIFY(f.runToLine("debugged.c", 64));
        const auto where = f.where(name.toLatin1().constData());
        QVERIFY(where);
        QCOMPARE(QString::fromStdString(mcs51::FormatValue(f.core, *where, &f.info())), shown);
        // The same value from memory directly, little-endian, for the scalars.
        const mcs51::CType& type = where->type;
        if (type.kind == mcs51::CType::Kind::Char || type.kind == mcs51::CType::Kind::Int ||
            type.kind == mcs51::CType::Kind::Long) {
            const uint8_t* memory = where->space == Space::Xram ? f.core.Xram() : f.core.Iram();
            if (where->space == Space::Sfr) {
                QCOMPARE(shown.toInt(), int(f.core.Sfr(uint8_t(where->address))));
                return;
            }
            if (where->space == Space::Code) memory = f.core.Code();
            qint64 raw = 0;
            for (int i = type.size - 1; i >= 0; --i)
                raw = raw << 8 | memory[where->address + uint32_t(i)];
            if (type.isSigned && raw >> (type.size * 8 - 1)) raw -= qint64(1) << (type.size * 8);
            QCOMPARE(shown.toLongLong(), raw);
        }
    }

    // A typed value goes into memory as the type stores it; what does not fit is refused and
    // changes nothing.
    void valuesWritten_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("error");
        QTest::addColumn<QString>("shown");
        QTest::newRow("signed char") << "sc"
                                     << "-128"
                                     << ""
                                     << "-128";
        QTest::newRow("char as character") << "uc"
                                           << "'A'"
                                           << ""
                                           << "65 'A'";
        QTest::newRow("unsigned char too big") << "uc"
                                               << "300"
                                               << "300 does not fit unsigned char"
                                               << "200";
        QTest::newRow("int hex") << "si"
                                 << "0x7FFF"
                                 << ""
                                 << "32767";
        QTest::newRow("int too small") << "si"
                                       << "-32769"
                                       << "-32769 does not fit int"
                                       << "-1234";
        QTest::newRow("unsigned long") << "ul"
                                       << "4294967295"
                                       << ""
                                       << "4294967295";
        QTest::newRow("long") << "sl"
                              << "-2147483648"
                              << ""
                              << "-2147483648";
        QTest::newRow("xdata") << "xvar"
                               << "1234h"
                               << ""
                               << "4660";
        QTest::newRow("member") << "pt.y"
                                << "0b101"
                                << ""
                                << "5";
        QTest::newRow("element") << "arr[1]"
                                 << "99"
                                 << ""
                                 << "99 'c'";
        QTest::newRow("bit") << "flag"
                             << "0"
                             << ""
                             << "0";
        QTest::newRow("bit 2") << "flag"
                               << "2"
                               << "a bit is 0 or 1"
                               << "1";
        QTest::newRow("pointer") << "xptr"
                                 << "0x0040 (XRAM)"
                                 << ""
                                 << "0x0040 (XRAM)";
        QTest::newRow("code") << "table[0]"
                              << "1"
                              << "code memory is read only"
                              << "10";
        QTest::newRow("array") << "arr"
                               << "1"
                               << "arrays and structs are written element by element"
                               << "{1, 2, 3, 4}";
        QTest::newRow("not a number") << "uc"
                                      << "abc"
                                      << "'abc' is not a number"
                                      << "200";
        QTest::newRow("empty") << "uc"
                               << ""
                               << "'' is not a number"
                               << "200";
    }
    void valuesWritten() {
        QFETCH(QString, name);
        QFETCH(QString, text);
        QFETCH(QString, error);
        QFETCH(QString, shown);
        Loaded f;
        QVERIFY(f.runToLine("debugged.c", 64));
        const auto where = f.where(name.toLatin1().constData());
        QVERIFY(where);
        const std::string got = mcs51::WriteValue(f.core, *where, text.toStdString());
        QVERIFY2(QString::fromStdString(got).startsWith(error), got.c_str());
        QCOMPARE(error.isEmpty(), got.empty());
        QCOMPARE(QString::fromStdString(mcs51::FormatValue(f.core, *where, &f.info())), shown);
    }

    // ---- breakpoints and stepping

    // A breakpoint by line follows its line into a rebuilt firmware's debug information; one on
    // a line that lost its code moves on, with a note.
    void lineBreakpointSurvivesRebuild() {
        Loaded f;
        f.debugger.AddLineBreakpoint("debugged.c", 67);
        f.debugger.AddLineBreakpoint("debugged.c", 66);
        const uint16_t before = f.debugger.Breakpoints()[0].address;
        QCOMPARE(f.debugger.Breakpoints()[1].address, before);
        QVERIFY(QString::fromStdString(f.debugger.Breakpoints()[1].note).contains("has no code"));
        // The rebuilt program: line 67 elsewhere.
        QByteArray cdb = readAll(FixtureDir + "/debugged.cdb");
        const QByteArray old =
            "L:C$debugged.c$67$3_0$12:" + QByteArray::number(before, 16).toUpper();
        QVERIFY(cdb.contains(old));
        cdb.replace(old, "L:C$debugged.c$67$3_0$12:200");
        std::string error;
        const mcs51::DebugInfo rebuilt = mcs51::DebugInfo::ParseCdb(cdb.toStdString(), &error);
        QVERIFY(error.empty());
        f.debugger.SetDebugInfo(&rebuilt);
        QCOMPARE(f.debugger.Breakpoints()[0].address, uint16_t(0x200));
        QCOMPARE(f.debugger.Breakpoints()[1].address, uint16_t(0x200));
        // Without debug information a line breakpoint waits, unresolved.
        f.debugger.SetDebugInfo(nullptr);
        QVERIFY(!f.debugger.Breakpoints()[0].resolved);
        QVERIFY(!f.run());
    }

    void parseWhere_data() {
        QTest::addColumn<QString>("where");
        QTest::addColumn<QString>("expected"); // Where() of the address, or the error
        QTest::newRow("hex") << "0x000B"
                             << "0x000B";
        QTest::newRow("h suffix") << "0Bh"
                                  << "0x000B";
        QTest::newRow("function") << "add_one"
                                  << "debugged.c:37";
        QTest::newRow("file:line") << "debugged.c:43"
                                   << "debugged.c:43";
        QTest::newRow("map label") << "__sdcc_gsinit_startup"
                                   << "0x";
        QTest::newRow("no such") << "nothing"
                                 << "no function, label or FILE:LINE 'nothing'";
        QTest::newRow("beyond") << "0x10000"
                                << "0x10000 is beyond the 64 KB code space";
        QTest::newRow("line beyond") << "debugged.c:900"
                                     << "no code at or after debugged.c:900";
    }
    void parseWhere() {
        QFETCH(QString, where);
        QFETCH(QString, expected);
        Loaded f;
        std::string error;
        const auto breakpoint = f.debugger.ParseWhere(where.toStdString(), &error);
        const QString got = breakpoint
                                ? QString::fromStdString(f.debugger.Where(breakpoint->address))
                                : QString::fromStdString(error);
        QVERIFY2(got.startsWith(expected), qPrintable(got));
    }

    // Without source, steps go by instruction, and stepping over a call runs to its return.
    void stepsByInstructionWithoutSource() {
        QTemporaryDir dir;
        QVERIFY(writeAll(dir.filePath("bare.ihx"), readAll(Firmware)));
        Loaded f(dir.filePath("bare.ihx"));
        QVERIFY(!f.debug.lines);
        QVERIFY(f.step(StepKind::Instruction));
        QCOMPARE(f.core.PC(), uint16_t(0x0011)); // the reset vector's LJMP
        QVERIFY(f.step(StepKind::Into));
        QCOMPARE(f.core.Instructions(), uint64_t(2));
        // To the first LCALL, then over it.
        while (f.core.Code()[f.core.PC()] != 0x12)
            QVERIFY(f.step(StepKind::Into));
        const uint16_t call = f.core.PC();
        const uint8_t sp = f.core.SP();
        const uint64_t before = f.core.Instructions();
        QVERIFY(f.step(StepKind::Over));
        QCOMPARE(f.core.PC(), uint16_t(call + 3));
        QCOMPARE(f.core.SP(), sp);
        QVERIFY(f.core.Instructions() > before + 1); // the call, and what it called
        QVERIFY(
            QString::fromStdString(f.debugger.StopReason()).startsWith("stepped over the call"));
    }

    // Run to an address stops there; a breakpoint on the way stops first.
    void runTo() {
        Loaded f;
        const uint16_t line67 = f.info().ResolveLine("debugged.c", 67).address;
        f.debugger.BeginStep(StepKind::RunTo, f.core, line67);
        QVERIFY(f.run());
        QCOMPARE(f.core.PC(), line67);
        QCOMPARE(QString::fromStdString(f.debugger.StopReason()),
                 QStringLiteral("reached debugged.c:67"));
        f.debugger.AddLineBreakpoint("debugged.c", 69);
        f.debugger.BeginStep(StepKind::RunTo, f.core,
                             f.info().ResolveLine("debugged.c", 64).address);
        QVERIFY(f.run());
        QCOMPARE(f.line(), QStringLiteral("debugged.c:69"));
        QCOMPARE(QString::fromStdString(f.debugger.StopReason()),
                 QStringLiteral("breakpoint at debugged.c:69"));
        // Continuing from a breakpoint executes its instruction instead of stopping again.
        QVERIFY(f.run());
        QCOMPARE(f.line(), QStringLiteral("debugged.c:69"));
        QVERIFY(f.core.Instructions() > 0);
    }

    // Data breakpoints stop after the instruction that reads or writes the watched place, and
    // name it.
    void dataBreakpoints_data() {
        QTest::addColumn<QString>("target");
        QTest::addColumn<bool>("onWrite");
        QTest::addColumn<bool>("onRead");
        QTest::addColumn<QString>("reason");
        QTest::newRow("xdata written")
            << "xvar" << true << false << "xvar (XRAM 0x0001) written by 0x015B (debugged.c:68)";
        QTest::newRow("xdata read")
            << "xvar" << false << true << "xvar (XRAM 0x0001) read by 0x0150 (debugged.c:68)";
        QTest::newRow("iram written")
            << "counter" << true << false << "counter (IRAM 0x41) written by";
        QTest::newRow("iram read")
            << "counter" << false << true << "counter (IRAM 0x41) read by 0x0139 (debugged.c:64)";
        QTest::newRow("sfr written") << "P1" << true << false << "P1 (SFR 0x90) written by";
        QTest::newRow("bit written") << "flag" << true << false << "flag (IRAM 0x20) written by";
        QTest::newRow("written by the handler")
            << "ticks" << true << false << "ticks (IRAM 0x3F) written by 0x00DB (debugged.c:32)";
        QTest::newRow("xram address") << "XRAM:0x0002" << true << false << "XRAM 0x0002 written by";
        QTest::newRow("iram address") << "IRAM:0x45" << true << false << "IRAM 0x45 written by";
    }
    void dataBreakpoints() {
        QFETCH(QString, target);
        QFETCH(bool, onWrite);
        QFETCH(bool, onRead);
        QFETCH(QString, reason);
        Loaded f;
        QVERIFY(f.runToLine("debugged.c", 64));
        mcs51::DataBreakpoint watch;
        watch.onWrite = onWrite;
        watch.onRead = onRead;
        if (target.contains(':')) {
            watch.space = target.startsWith("XRAM") ? Space::Xram : Space::Iram;
            watch.address = target.section(':', 1).toUInt(nullptr, 16);
        } else {
            const auto where = f.where(target.toLatin1().constData());
            QVERIFY(where);
            watch = mcs51::WatchVariable(*where, onWrite, onRead);
        }
        f.debugger.AddDataBreakpoint(watch);
        QVERIFY(f.run());
        const QString got = QString::fromStdString(f.debugger.StopReason());
        QVERIFY2(got.startsWith(reason), qPrintable(got));
    }

    // Every byte of internal and external RAM an instruction changes is among the writes
    // predicted for it, over many turns of the fixture's loop (interrupts included).
    void predictedWritesCoverChanges() {
        Loaded f;
        std::array<uint8_t, 256> iram{};
        std::array<uint8_t, 16> xram{};
        int checked = 0;
        for (int i = 0; i < 40000; ++i) {
            const std::vector<mcs51::Access> predicted = mcs51::PredictAccesses(f.core);
            std::copy_n(f.core.Iram(), iram.size(), iram.begin());
            std::copy_n(f.core.Xram(), xram.size(), xram.begin());
            const uint64_t before = f.core.Instructions();
            const uint16_t pc = f.core.PC();
            f.core.Step();
            if (f.core.Instructions() == before) continue; // an interrupt's call, no instruction
            auto written = [&](Space space, uint32_t address) {
                return std::any_of(predicted.begin(), predicted.end(), [&](const mcs51::Access& a) {
                    return a.write && a.space == space && a.address == address;
                });
            };
            for (uint32_t a = 0; a < iram.size(); ++a)
                if (f.core.Iram()[a] != iram[a])
                    QVERIFY2(written(Space::Iram, a),
                             qPrintable(QStringLiteral("IRAM 0x%1 by 0x%2")
                                            .arg(a, 2, 16, QLatin1Char('0'))
                                            .arg(pc, 4, 16, QLatin1Char('0'))));
            for (uint32_t a = 0; a < xram.size(); ++a)
                if (f.core.Xram()[a] != xram[a]) QVERIFY(written(Space::Xram, a));
            ++checked;
        }
        QVERIFY(checked > 30000);
    }

    // The same for every opcode: single instructions of random code from random register and
    // memory contents (interrupts off, so each step is one instruction).
    void predictedWritesOfEveryOpcode() {
        QRandomGenerator random(1234);
        mcs51::Core core;
        int checked = 0;
        for (int i = 0; i < 30000; ++i) {
            core.Reset();
            for (int a = 0; a < 256; ++a)
                core.Iram()[a] = uint8_t(random.bounded(256));
            for (int a = 0; a < 8; ++a)
                core.Code()[a] = uint8_t(random.bounded(256));
            if (core.Code()[0] == 0xA5) continue; // the undefined opcode stops the core
            core.SetSfr(mcs51::sfr::PSW, uint8_t(random.bounded(256)));
            core.SetSfr(mcs51::sfr::ACC, uint8_t(random.bounded(256)));
            core.SetSfr(mcs51::sfr::SP, uint8_t(random.bounded(128)));
            core.SetSfr(mcs51::sfr::DPL, uint8_t(random.bounded(16)));
            core.SetSfr(mcs51::sfr::DPH, 0);
            core.SetSfr(mcs51::sfr::P2, 0);
            std::array<uint8_t, 256> iram{};
            std::array<uint8_t, 256> xram{};
            std::copy_n(core.Iram(), iram.size(), iram.begin());
            std::copy_n(core.Xram(), xram.size(), xram.begin());
            const std::vector<mcs51::Access> predicted = mcs51::PredictAccesses(core);
            core.Step();
            QCOMPARE(core.Instructions(), uint64_t(1));
            auto written = [&](Space space, uint32_t address) {
                return std::any_of(predicted.begin(), predicted.end(), [&](const mcs51::Access& a) {
                    return a.write && a.space == space && a.address == address;
                });
            };
            for (uint32_t a = 0; a < 128; ++a) // the 8051 has no upper 128 bytes to change
                if (core.Iram()[a] != iram[a])
                    QVERIFY2(written(Space::Iram, a),
                             qPrintable(QStringLiteral("opcode 0x%1 changed IRAM 0x%2")
                                            .arg(core.Code()[0], 2, 16, QLatin1Char('0'))
                                            .arg(a, 2, 16, QLatin1Char('0'))));
            for (uint32_t a = 0; a < xram.size(); ++a)
                if (core.Xram()[a] != xram[a])
                    QVERIFY2(written(Space::Xram, a),
                             qPrintable(QStringLiteral("opcode 0x%1 changed XRAM")
                                            .arg(core.Code()[0], 2, 16, QLatin1Char('0'))));
            ++checked;
        }
        QVERIFY(checked > 29000);
    }

    // The call stack names the callers from the return addresses, an interrupt handler's too.
    void callStack() {
        Loaded f;
        QVERIFY(f.runToLine("debugged.c", 37)); // in add_one, called from twice_plus
        mcs51::CallStack stack = mcs51::ReadCallStack(f.core, &f.info());
        QStringList names;
        for (const mcs51::StackFrame& frame : stack.frames)
            names << QString::fromStdString(frame.function);
        QCOMPARE(names, QStringList({"add_one", "twice_plus", "main"}));
        QVERIFY(stack.complete);
        QCOMPARE(QString::fromStdString(stack.frames[1].where), QStringLiteral("debugged.c:42"));
        // Finish returns to the caller, where the call's result is stored: here the next line.
        QVERIFY(f.step(StepKind::Out));
        QCOMPARE(f.line(), QStringLiteral("debugged.c:43"));
        QCOMPARE(f.core.PC(), stack.frames[1].pc);
        QVERIFY(f.runToLine("debugged.c", 32)); // in the Timer 0 handler
        stack = mcs51::ReadCallStack(f.core, &f.info());
        QVERIFY(stack.frames.size() >= 2);
        QCOMPARE(QString::fromStdString(stack.frames[0].function), QStringLiteral("timer0_isr"));
        QVERIFY(stack.frames[1].interrupt);
        QCOMPARE(QString::fromStdString(stack.frames.back().function), QStringLiteral("main"));
        QVERIFY(stack.complete);
    }

    // ---- on the board

    // Code breakpoints belong to their firmware: another file loaded has its own, and the first
    // one's come back with it.
    void breakpointsPerFirmware() {
        ScratchSettings settings;
        WindowFixture e(QSize(800, 600));
        TFirmwareRunner* runner = e.window->Firmware()->Runner();
        QVERIFY(e.window->Firmware()->LoadFirmware(Firmware));
        runner->Debugger().AddLineBreakpoint("debugged.c", 67);
        QVERIFY(e.window->Firmware()->LoadFirmware(
            QStringLiteral(BRELVAN_SOURCE_DIR "/examples/firmware/running_light.ihx")));
        QVERIFY(runner->Debugger().Breakpoints().empty());
        runner->Debugger().AddLineBreakpoint("running_light.c", 24);
        QVERIFY(e.window->Firmware()->LoadFirmware(Firmware));
        QCOMPARE(runner->Debugger().Breakpoints().size(), size_t(1));
        QCOMPARE(runner->Debugger().Breakpoints()[0].line, 67);
        QVERIFY(runner->Debugger().Breakpoints()[0].resolved);
        // Loading the same file again (a rebuild) keeps them.
        QCOMPARE(runner->Reload(), QString());
        QCOMPARE(runner->Debugger().Breakpoints().size(), size_t(1));
    }

    // A variable written while paused is what the firmware sends to the LEDs on the next line;
    // the stop reason and the stopwatch come through the runner.
    void editedVariableShowsOnTheBoard() {
        ScratchSettings settings;
        WindowFixture e(QSize(800, 600));
        TFirmwareRunner* runner = e.window->Firmware()->Runner();
        runner->SetFreeRunning(false);
        QVERIFY(e.window->LoadFromFile(
            QStringLiteral(BRELVAN_SOURCE_DIR "/tests/scenarios/debug_leds.ovd")));
        QVERIFY(e.window->Firmware()->LoadFirmware(Firmware));
        QVERIFY2(runner->DebugInfo(), runner->Debug().reason.c_str());
        QSignalSpy stops(runner, &TFirmwareRunner::StoppedAt);
        runner->Debugger().AddLineBreakpoint("debugged.c", 69);
        e.window->RunButton()->click();
        QVERIFY(runner->RunUntilStopped(100));
        QCOMPARE(stops.size(), 1);
        QCOMPARE(stops[0][0].toString(), QStringLiteral("breakpoint at debugged.c:69"));
        QCOMPARE(runner->CurrentState(), TFirmwareRunner::State::Paused);
        QVERIFY(runner->StopwatchCycles() > 0 && runner->StopwatchCycles() == runner->Cycles());
        runner->MarkStopwatch();
        QCOMPARE(runner->StopwatchCycles(), quint64(0));
        auto* led0 = e.find<TLED>("LED0");
        auto* led1 = e.find<TLED>("LED1");
        QVERIFY(led0 && led1);
        std::string error;
        const auto shown =
            runner->DebugInfo()->Resolve("shown", runner->Core().PC(), &runner->Core(), &error);
        QVERIFY(shown);
        QCOMPARE(mcs51::WriteValue(runner->Core(), *shown, "0xA5"), std::string());
        runner->DebugStep(StepKind::Over);
        QVERIFY(runner->CurrentState() == TFirmwareRunner::State::Paused ||
                runner->RunUntilStopped(100));
        QCOMPARE(QString::fromStdString(runner->Debugger().Where(runner->Core().PC())),
                 QStringLiteral("debugged.c:70"));
        QCOMPARE(runner->Core().PortLatch(1), uint8_t(0xA5));
        QCOMPARE(led0->Control()->Lit(), false);
        QCOMPARE(led1->Control()->Lit(), true);
        QVERIFY(runner->StopwatchCycles() > 0);
        QVERIFY(runner->CyclesToMs(12000) > 11.99 && runner->CyclesToMs(12000) < 12.01);
    }
};

QTEST_MAIN(TestDebugInfo)
#include "test_debuginfo.moc"
