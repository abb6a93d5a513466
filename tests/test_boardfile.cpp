// Board files: reading and writing boards, the File menu's commands, the example boards.
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QMenu>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>
#include <algorithm>
#include <csignal>
#include <memory>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "components/drivenports.h"
#include "components/gates.h"
#include "components/leds.h"
#include "components/pins.h"
#include "components/ports.h"
#include "components/switches.h"
#include "editor/boardfile.h"
#include "editor/brelvanfrm.h"
#include "editor/componenttable.h"
#include "model/drivers.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "properties/propertytext.h"
#include "tests/support/windowfixture.h"

using namespace PropertyText;

namespace {

const QString SourceDir = QStringLiteral(BRELVAN_SOURCE_DIR);

TPathRoot rootOf(TBoardSurface* board) {
    return TPathRoot{board, [board] { return board->OwnedObjects(); },
                     [board](const QString& name) { return board->FindOwnedName(name); }};
}

// A shown main window with the dialog recorder and the manual clock, and a folder for files.
struct Editor : WindowFixture {
    QList<TOrvexGraphicComponent*> components() const { return board()->OwnedComponents(); }
    QString path(const QString& name) const { return dir.filePath(name); }
    QString write(const QString& name, const QByteArray& content) const {
        QFile file(path(name));
        if (!file.open(QIODevice::WriteOnly)) qFatal("cannot write a test file");
        file.write(content);
        return file.fileName();
    }
    // Writes the text as a file and opens it.
    void load(const QString& text, const QString& name = QStringLiteral("board.ovd")) {
        dialogs->Clear();
        window->LoadFromFile(write(name, text.toUtf8()));
    }
    QString saved() {
        const QString file = path(QStringLiteral("saved.ovd"));
        if (!window->SaveToFile(file)) return QStringLiteral("(not saved)");
        QFile read(file);
        read.open(QIODevice::ReadOnly);
        return QString::fromUtf8(read.readAll());
    }
    QList<DialogRecorder::Message> messages() { return dialogs->messages; }
    QString errors() {
        QStringList texts;
        for (const DialogRecorder::Message& message : dialogs->messages)
            if (message.icon != MessageIcon::Information) texts << message.text;
        return texts.join(QStringLiteral("\n---\n"));
    }

    QTemporaryDir dir;
};

// A file of one component block.
QString block(const QString& header, const QString& lines) {
    return QStringLiteral("object ") + header + QStringLiteral("\r\n") + lines +
           QStringLiteral("\r\nend\r\n");
}

QStringList wiresOf(TBoardSurface* board) {
    QStringList wires;
    for (TOrvexGraphicComponent* component : board->OwnedComponents())
        for (TOrvexPinDriver* contact : component->findChildren<TOrvexPinDriver*>())
            if (const TComponentList* list = contact->ComponentList())
                for (const TComponentItem& item : *list)
                    wires << PathName(contact, board) + QStringLiteral(" - ") +
                                 PathName(item.Pin, board);
    wires.sort();
    return wires;
}

// Save writes the board's wires without a warning, and opening the file brings back exactly them.
void expectWiresSurviveSave(Editor& e) {
    const QStringList wires = wiresOf(e.board());
    const BoardFile::TWriteResult written = BoardFile::WriteBoard(e.board(), e.window->GridSize());
    QCOMPARE(written.Lost, QStringList());
    QCOMPARE(written.Added, QStringList());
    e.dialogs->Clear();
    QVERIFY(e.window->SaveToFile(e.path("saved.ovd")));
    QCOMPARE(e.errors(), QString());
    e.window->LoadFromFile(e.path("saved.ovd"));
    QCOMPARE(wiresOf(e.board()), wires);
}

// Everything a board file keeps: each component's class, every published property in text form,
// whether it is shown, and every wire.
QStringList snapshot(TBoardSurface* board) {
    QStringList lines;
    for (TOrvexGraphicComponent* component : board->OwnedComponents()) {
        lines << QStringLiteral("object %1: %2")
                     .arg(component->Name(), QLatin1String(component->metaObject()->className()));
        for (const TPropertyInfo& prop : PublishedProperties(component->metaObject())) {
            try {
                lines << QStringLiteral("  %1 = %2")
                             .arg(prop.Name(), PropertyToText(component, prop, board));
            } catch (const ConversionError&) {
                // no text form
            }
        }
        lines << QStringLiteral("  shown = %1").arg(component->isHidden() ? 0 : 1);
    }
    return lines + wiresOf(board);
}

// Shows the first differing line and the block it stands in, which QCOMPARE on whole lists
// does not.
void compareLines(const QStringList& actual, const QStringList& expected) {
    QString block;
    for (qsizetype i = 0; i < std::min(actual.size(), expected.size()); ++i) {
        if (expected[i].startsWith(QLatin1String("object "))) block = expected[i];
        QVERIFY2(actual[i] == expected[i],
                 qPrintable(
                     QStringLiteral("in %1: %2, expected %3").arg(block, actual[i], expected[i])));
    }
    QCOMPARE(actual.size(), expected.size());
}

QStringList exampleBoards() {
    QStringList files;
    QDirIterator it(SourceDir + QStringLiteral("/examples"), {QStringLiteral("*.ovd")},
                    QDir::Files);
    while (it.hasNext())
        files << it.next();
    files.sort();
    return files;
}

} // namespace

class TestBoardFile : public QObject {
    Q_OBJECT

private slots:
    void lines_data();
    void lines();
    void decoding();
    void byteOrderMarks();
    void notUnderstoodBlocks_data();
    void notUnderstoodBlocks();
    void integerValues_data();
    void integerValues();
    void enumerationValues_data();
    void enumerationValues();
    void setValues_data();
    void setValues();
    void stringValues_data();
    void stringValues();
    void references_data();
    void references();
    void namesInAnyCase();
    void topOffset_data();
    void topOffset();
    void outerBlocks();
    void unknownClasses();
    void lcdModulesLoad();
    void lineRules_data();
    void lineRules();
    void skippedLines_data();
    void skippedLines();
    void valuesTakenOtherwise_data();
    void valuesTakenOtherwise();
    void manyWarningsAreCounted();
    void duplicateNames();
    void countReport_data();
    void countReport();
    void stoppedReadTakesEverythingBack();
    void hostileFiles_data();
    void hostileFiles();
    void unreadableFiles_data();
    void unreadableFiles();
    void negativeSizes();
    void loadedComponents();
    void writtenBlocks();
    void savingIsAtomic_data();
    void savingIsAtomic();
    void failedWriteKeepsTheOldFile_data();
    void failedWriteKeepsTheOldFile();
    void saveTargets_data();
    void saveTargets();
    void fileSizeLimitDoesNotEndTheProgram();
    void saveOverAChangedFile_data();
    void saveOverAChangedFile();
    void emptyBoardRoundTrip();
    void longRecentNames();
    void boardThatWouldNotOpenIsNotSaved();
    void namelessComponentIsNotDropped();
    void wiresOfOpenedFiles_data();
    void wiresOfOpenedFiles();
    void wiringTheFileCannotHold_data();
    void wiringTheFileCannotHold();
    void wiringOfSetters_data();
    void wiringOfSetters();
    void pasteIntoAFullBoard();
    void tooManyLines();
    void fileCommands();
    void largestBoard();
    void roundTrip_data();
    void roundTrip();
    void roundTripOfEditedBoards_data();
    void roundTripOfEditedBoards();
};

// ---------------------------------------------------------------- lines

void TestBoardFile::lines_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("lines");
    QTest::newRow("CR LF") << "a\r\nb\r\n" << QStringList{"a", "b"};
    QTest::newRow("lone CR and LF") << "a\rb\nc" << QStringList{"a", "b", "c"};
    QTest::newRow("empty lines stay") << "a\n\r\n\nb" << QStringList{"a", "", "", "b"};
    QTest::newRow("LF CR is two breaks") << "a\n\rb" << QStringList{"a", "", "b"};
    QTest::newRow("TABs anywhere, blanks and controls around")
        << "\t  Col\tor = \tcled_RED \x01\x7f\r\n"
        << QStringList{"Color = cled_RED"};
    QTest::newRow("byte-order marks around")
        << QStringLiteral("\uFEFF\uFEFF object A: TLED\uFEFF") << QStringList{"object A: TLED"};
    QTest::newRow("inner blanks stay")
        << "Caption = '  two  '  " << QStringList{"Caption = '  two  '"};
}

void TestBoardFile::lines() {
    QFETCH(QString, text);
    QFETCH(QStringList, lines);
    QStringList cleaned;
    for (const QString& line : BoardFile::SplitLines(text))
        cleaned << BoardFile::CleanLine(line);
    QCOMPARE(cleaned, lines);
}

void TestBoardFile::decoding() {
    QCOMPARE(BoardFile::DecodeText(QByteArray("Caption = 'gr\xc3\xbc\xc3\x9f'")),
             QStringLiteral("Caption = 'grüß'"));
    // Not UTF-8: an 8-bit file of an older writer.
    QCOMPARE(BoardFile::DecodeText(QByteArray("Caption = 'gr\xfc\xdf'")),
             QStringLiteral("Caption = 'grüß'"));
    // Byte-order marks in front, however many, in either kind of file.
    QCOMPARE(BoardFile::DecodeText(QByteArray("\xEF\xBB\xBF\xEF\xBB\xBF\xEF\xBB\xBFobject A")),
             QStringLiteral("object A"));
    QCOMPARE(BoardFile::DecodeText(QByteArray("\xEF\xBB\xBFobject A: TLED\nCaption = '\xfc'")),
             QStringLiteral("object A: TLED\nCaption = 'ü'"));
}

// A file with two byte-order marks and an 8-bit character: every block is read.
void TestBoardFile::byteOrderMarks() {
    Editor e;
    e.window->LoadFromFile(SourceDir + QStringLiteral("/tests/boards/byte_order_marks.ovd"));
    QCOMPARE(e.errors(), QString());
    QCOMPARE(e.messages().constFirst().text, QStringLiteral("4 objects loaded."));
    QCOMPARE(e.find("LED1")->GetCaption(), QStringLiteral("Caf\u00e9"));
    QCOMPARE(e.find("LED1")->Left(), 8);
}

void TestBoardFile::notUnderstoodBlocks_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("warning"); // empty: none
    QTest::newRow("a stray character before object")
        << "xobject A: TLED\r\nLeft = 8\r\nend\r\n" + block("B: TLED", "")
        << "Line 1: xobject A: TLED\nThe line is not understood; the block it should open was "
           "left out (the end in line 3 has no block to close).";
    QTest::newRow("no colon in the object line")
        << "object Broken TLED\r\nLeft = 3\r\nend\r\n" + block("B: TLED", "")
        << "Line 1: object Broken TLED\nThe object line has no colon";
    QTest::newRow("inside a form's block")
        << "object Form1: TForm1\r\n  !object A: TLED\r\n  Left = 1\r\n  end\r\n" +
               block("B: TLED", "") + "end\r\n"
        << "Line 2: !object A: TLED\nThe line is not understood; the block it should open was "
           "left out (the end in line 8 has no block to close).";
    QTest::newRow("an end too many") << block("B: TLED", "") + "end\r\n"
                                     << "Line 4: end\nThe end closes no block";
    QTest::newRow("a form's collections and inherited blocks")
        << "inherited Form1: TForm1\r\n  Columns = <\r\n    item\r\n      Width = 10\r\n"
           "    end\r\n    item\r\n      Width = 20\r\n    end>\r\n  Items.Strings = (\r\n"
           "    'a'\r\n    'b')\r\n" +
               block("B: TLED", "") + "end\r\n"
        << "";
}

// A block whose object line is not understood is never lost without a word.
void TestBoardFile::notUnderstoodBlocks() {
    QFETCH(QString, text);
    QFETCH(QString, warning);
    Editor e;
    e.load(text);
    QCOMPARE(e.components().size(), 1);
    QCOMPARE(e.messages().constFirst().text, QStringLiteral("1 objects loaded."));
    if (warning.isEmpty()) {
        QCOMPARE(e.errors(), QString());
        return;
    }
    QCOMPARE(e.messages().size(), 2);
    QCOMPARE(e.messages()[1].caption, QStringLiteral("Warning"));
    QVERIFY2(e.messages()[1].text.contains(warning), qPrintable(e.messages()[1].text));
    QCOMPARE(e.window->FileName(), QString()); // Save asks for a name
}

// ---------------------------------------------------------------- value forms

void TestBoardFile::integerValues_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("address"); // -1: the value stops the reading
    QTest::newRow("decimal") << "144" << 144;
    QTest::newRow("signed") << "+7" << 7;
    QTest::newRow("negative") << "-12" << -12;
    QTest::newRow("hexadecimal") << "$A0" << 0xA0;
    QTest::newRow("hexadecimal, any case") << "$fF" << 0xFF;
    QTest::newRow("a word") << "high" << -1;
    QTest::newRow("a fraction") << "1.5" << -1;
    QTest::newRow("a lone dollar") << "$" << -1;
    QTest::newRow("beyond 32 bits") << "4294967296" << -1;
    QTest::newRow("C hexadecimal") << "0x10" << 0x10;
    QTest::newRow("C hexadecimal, any case") << "0XbF" << 0xBF;
    QTest::newRow("C hexadecimal, signed") << "-0x10" << -0x10;
    QTest::newRow("a lone 0x") << "0x" << -1;
    QTest::newRow("both prefixes") << "$0x10" << -1;
    QTest::newRow("a C octal is decimal") << "010" << 10;
}

void TestBoardFile::integerValues() {
    QFETCH(QString, text);
    QFETCH(int, address);
    Editor e;
    e.load(block("P1: TUPin", "Address = " + text));
    if (address == -1) {
        QVERIFY(e.components().isEmpty());
        QVERIFY2(e.errors().contains("Line 2: Address = " + text), qPrintable(e.errors()));
    } else {
        QCOMPARE(e.errors(), QString());
        QCOMPARE(e.find<TUPin>("P1")->Address(), address);
    }
}

void TestBoardFile::enumerationValues_data() {
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("property");
    QTest::addColumn<QString>("value"); // empty: the value stops the reading
    QTest::newRow("ordinal") << "Color = 1"
                             << "Color"
                             << "cled_GREEN";
    QTest::newRow("identifier in another case") << "Color = cled_green"
                                                << "Color"
                                                << "cled_GREEN";
    QTest::newRow("identifier as declared") << "Color = cled_BLUE"
                                            << "Color"
                                            << "cled_BLUE";
    QTest::newRow("no such colour") << "Color = cled_PURPLE"
                                    << "Color"
                                    << "";
    QTest::newRow("ordinal past the last") << "Color = 7"
                                           << "Color"
                                           << "";
    QTest::newRow("negative ordinal") << "Color = -1"
                                      << "Color"
                                      << "";
    QTest::newRow("orientation") << "Orientation = opo_VerticalNegative"
                                 << "Orientation"
                                 << "opo_VerticalNegative";
    QTest::newRow("Boolean True") << "ShowName = True"
                                  << "ShowName"
                                  << "True";
    QTest::newRow("Boolean in lower case") << "ShowName = true"
                                           << "ShowName"
                                           << "True";
    QTest::newRow("Boolean by ordinal") << "ShowName = 1"
                                        << "ShowName"
                                        << "True";
    QTest::newRow("no Boolean") << "ShowName = yes"
                                << "ShowName"
                                << "";
}

void TestBoardFile::enumerationValues() {
    QFETCH(QString, line);
    QFETCH(QString, property);
    QFETCH(QString, value);
    Editor e;
    // A diode has ShowName, an LED has Color: both are needed.
    const QString header = property == "ShowName" ? "D1: TDiode" : "D1: TLED";
    e.load(block(header, line));
    if (value.isEmpty()) {
        QVERIFY(e.components().isEmpty());
        QVERIFY2(e.errors().contains("Line 2: " + line), qPrintable(e.errors()));
    } else {
        QCOMPARE(e.errors(), QString());
        QCOMPARE(e.property("D1", qPrintable(property)), value);
    }
}

void TestBoardFile::setValues_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("value"); // empty: the value stops the reading
    QTest::newRow("both") << "[opa_RD, opa_WR]"
                          << "[opa_RD, opa_WR]";
    QTest::newRow("any case, any order, any spacing") << "[ OPA_wr ,opa_rd ]"
                                                      << "[opa_RD, opa_WR]";
    QTest::newRow("one") << "[opa_WR]"
                         << "[opa_WR]";
    QTest::newRow("empty") << "[]"
                           << "[]";
    QTest::newRow("no such element") << "[opa_RD, opa_ALE]"
                                     << "";
    QTest::newRow("no brackets") << "opa_RD"
                                 << "";
    QTest::newRow("a gap") << "[opa_RD,,opa_WR]"
                           << "";
}

void TestBoardFile::setValues() {
    QFETCH(QString, text);
    QFETCH(QString, value);
    Editor e;
    // A pin has its set of strobes in the external data space only.
    e.load(block("P1: TUPin", "Space = ops_XDATA\r\nActivatedOn = " + text));
    if (value.isEmpty()) {
        QVERIFY(e.components().isEmpty());
        QVERIFY2(e.errors().contains("Line 3: ActivatedOn = " + text), qPrintable(e.errors()));
    } else {
        QCOMPARE(e.errors(), QString());
        QCOMPARE(e.property("P1", "ActivatedOn"), value);
    }
}

void TestBoardFile::stringValues_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("value");
    QTest::addColumn<bool>("stops");
    QTest::newRow("quoted") << "'Hello'"
                            << "Hello" << false;
    QTest::newRow("runs of blanks stay") << "'  two   blanks '"
                                         << "  two   blanks " << false;
    QTest::newRow("empty shows the name") << "''"
                                          << "L1" << false;
    // A doubled quote is one quote, so that every string survives a round trip.
    QTest::newRow("doubled quote") << "'it''s'"
                                   << "it's" << false;
    QTest::newRow("lone quote of an older writer") << "'it's'"
                                                   << "it's" << false;
    QTest::newRow("character codes") << "'one'#13#10'two'"
                                     << "one\r\ntwo" << false;
    QTest::newRow("an equals sign inside") << "'a = b'"
                                           << "a = b" << false;
    QTest::newRow("not quoted") << "Hello"
                                << "" << true;
    QTest::newRow("no closing quote") << "'Hello"
                                      << "" << true;
}

void TestBoardFile::stringValues() {
    QFETCH(QString, text);
    QFETCH(QString, value);
    QFETCH(bool, stops);
    Editor e;
    e.load(block("L1: TLED", "Caption = " + text));
    if (stops) {
        QVERIFY(e.components().isEmpty());
        QVERIFY2(e.errors().contains("Line 2: Caption = " + text), qPrintable(e.errors()));
    } else {
        QCOMPARE(e.errors(), QString());
        QCOMPARE(e.find("L1")->GetCaption(), value);
    }
}

void TestBoardFile::references_data() {
    QTest::addColumn<QString>("line");  // a line of LED1's block
    QTest::addColumn<QString>("anode"); // LED1.Anode afterwards; empty: left out
    // LED1 stands before the switch and the port it refers to: the first pass made them all.
    QTest::newRow("forward reference") << "Anode = SW1.Contact2"
                                       << "SW1.Contact2";
    QTest::newRow("names in any case") << "Anode = sw1.CONTACT2"
                                       << "SW1.Contact2";
    QTest::newRow("through two owners") << "Anode = P1.Port.Pin_3"
                                        << "P1.Port.Pin_3";
    QTest::newRow("through a published reference") << "Anode = P1.Pin3"
                                                   << "P1.Port.Pin_3";
    QTest::newRow("nil leaves it unwired") << "Anode = nil"
                                           << "LED1.Anode";
    QTest::newRow("no such component") << "Anode = SW9.Contact2"
                                       << "";
    QTest::newRow("no such part") << "Anode = SW1.Contact9"
                                  << "";
    QTest::newRow("not a contact") << "Anode = SW1"
                                   << "";
}

void TestBoardFile::references() {
    QFETCH(QString, line);
    QFETCH(QString, anode);
    Editor e;
    e.load(block("LED1: TLED", line) + block("SW1: TSwitch", "") + block("P1: TUPort", ""));
    QCOMPARE(e.components().size(), 3);
    if (!anode.isEmpty()) {
        QCOMPARE(e.errors(), QString());
        QCOMPARE(e.property("LED1", "Anode"), anode);
        QCOMPARE(e.window->FileName(), e.path("board.ovd"));
        return;
    }
    // A wire that cannot be made is not dropped silently: the user hears which line, and the
    // file is not taken as the board's, so that Save does not overwrite it with less.
    QCOMPARE(e.property("LED1", "Anode"), QStringLiteral("LED1.Anode"));
    QCOMPARE(e.messages().size(), 2);
    QCOMPARE(e.messages()[0].text, QStringLiteral("3 objects loaded."));
    QCOMPARE(e.messages()[1].icon, MessageIcon::Warning);
    QVERIFY2(e.messages()[1].text.contains("Line 2: " + line), qPrintable(e.errors()));
    QVERIFY(e.messages()[1].text.contains("The reference was left out."));
    QCOMPARE(e.window->FileName(), QString());
    QVERIFY(e.find("SW1")->isVisible());
}

void TestBoardFile::namesInAnyCase() {
    Editor e;
    e.load("OBJECT Sw1 : tswitch\n  CONTACT1 = vcc1.PIN\n  hasaretation = TRUE\n  left = 20\nEnd\n"
           "object VCC1:TVCC\nEND\n");
    QCOMPARE(e.errors(), QString());
    auto* sw = e.find<TSwitch>("SW1");
    QVERIFY(sw);
    QCOMPARE(sw->Name(), QStringLiteral("Sw1")); // the name as written
    QVERIFY(sw->GetHasAretation());
    QCOMPARE(sw->Left(), 20);
    QCOMPARE(sw->GetContact1(), e.find<TVcc>("vcc1")->Pin());
    QVERIFY(sw->isVisible());
}

// ---------------------------------------------------------------- positions

void TestBoardFile::topOffset_data() {
    QTest::addColumn<int>("grid");
    QTest::addColumn<int>("stored");
    QTest::addColumn<int>("top");
    QTest::newRow("grid 4, top 0") << 4 << 0 << 4;
    QTest::newRow("grid 4, top 36") << 4 << 36 << 40;
    QTest::newRow("grid 8") << 8 << 0 << 8;
    QTest::newRow("above the band") << 4 << -10 << -6;
}

void TestBoardFile::topOffset() {
    QFETCH(int, grid);
    QFETCH(int, stored);
    QFETCH(int, top);
    Editor e;
    e.window->SetGridSize(grid);
    e.load(block("LED1: TLED", QStringLiteral("Left = 8\r\nTop = %1").arg(stored)));
    QCOMPARE(e.find("LED1")->Top(), top);
    QCOMPARE(e.find("LED1")->Left(), 8);
    // Writing takes the offset off again.
    QVERIFY(e.saved().contains(QStringLiteral("  Top = %1\r\n").arg(stored)));
}

// ---------------------------------------------------------------- blocks and classes

// A text form file: the form's own block around the components, and a panel inside it.
void TestBoardFile::outerBlocks() {
    Editor e;
    e.load(QStringLiteral("object Form1: TForm1\n"
                          "  Left = 500\n"
                          "  Caption = 'Form'\n"
                          "  object LED1: TLED\n"
                          "    Left = 16\n"
                          "    Color = cled_YELLOW\n"
                          "  end\n"
                          "  object Panel1: TPanel\n"
                          "    Top = 300\n"
                          "    object SW1: TSwitch\n"
                          "      Left = 48\n"
                          "      Contact1 = LED1.Cathode\n"
                          "    end\n"
                          "  end\n"
                          "end\n"),
           QStringLiteral("form.dfm"));
    QCOMPARE(e.errors(), QString());
    QCOMPARE(e.messages().constFirst().text, QStringLiteral("2 objects loaded."));
    QCOMPARE(e.components().size(), 2);
    QCOMPARE(e.find("LED1")->Left(), 16);
    QCOMPARE(e.property("LED1", "Color"), QStringLiteral("cled_YELLOW"));
    QCOMPARE(e.find("SW1")->Left(), 48);
    QCOMPARE(e.find("SW1")->Top(), 0); // the panel's Top is not the switch's
    QCOMPARE(e.property("SW1", "Contact1"), QStringLiteral("LED1.Cathode"));
}

void TestBoardFile::unknownClasses() {
    Editor e;
    e.load(block("Timer1: TTimer", "Interval = 50\r\nLeft = 7") + block("LED1: TLED", "Left = 12"));
    QCOMPARE(e.errors(), QString());
    QCOMPARE(e.messages().constFirst().text, QStringLiteral("1 objects loaded."));
    QCOMPARE(e.components().size(), 1);
    QCOMPARE(e.find("LED1")->Left(), 12);
    QVERIFY(!e.find("Timer1"));
    QCOMPARE(e.window->FileName(), e.path("board.ovd"));
}

// LCD modules load with the rest of the board.
void TestBoardFile::lcdModulesLoad() {
    Editor e;
    e.load(block("LCDAlpha1: TLCDAlpha", "CharsPerLine = lcd_20Ch\r\nLeft = 8") +
           block("LED1: TLED", ""));
    QCOMPARE(e.components().size(), 2);
    QCOMPARE(e.messages().size(), 1);
    QCOMPARE(e.messages()[0].text, QStringLiteral("2 objects loaded."));
    QCOMPARE(e.find("LCDAlpha1")->Left(), 8);
    QCOMPARE(e.find("LCDAlpha1")->width(), 2 * (120 + 19));
}

void TestBoardFile::lineRules_data() {
    QTest::addColumn<QString>("header");
    QTest::addColumn<QString>("lines");
    QTest::addColumn<QString>("property");
    QTest::addColumn<QString>("value");
    // A host pin's set shows in the external data space, which older files store after these
    // words; a driven port starts with [opc_Strobe, opc_OutputEnable].
    const QString xdata = QStringLiteral("\nSpace = ops_XDATA");
    QTest::newRow("OnRD = True") << "P1: TUPin"
                                 << "OnRD = True" + xdata << "ActivatedOn"
                                 << "[opa_RD]";
    QTest::newRow("OnRD and OnWR") << "P1: TUPin"
                                   << "OnRD = True\nOnWR = True" + xdata << "ActivatedOn"
                                   << "[opa_RD, opa_WR]";
    QTest::newRow("OnWR = False after the set")
        << "P1: TUPin"
        << "ActivatedOn = [opa_RD, opa_WR]\nOnWR = False" + xdata << "ActivatedOn"
        << "[opa_RD]";
    QTest::newRow("in any case") << "P1: TUPin"
                                 << "onrd=TRUE" + xdata << "ActivatedOn"
                                 << "[opa_RD]";
    QTest::newRow("any line containing the word")
        << "P1: TUPin"
        << "Caption = 'onwr true'" + xdata << "ActivatedOn"
        << "[opa_WR]";
    QTest::newRow("UseOutEn = False") << "D1: TUDrivenPort"
                                      << "UseOutEn = False"
                                      << "PortDriver"
                                      << "[opc_Strobe]";
    QTest::newRow("UseStrobe = False, then True") << "D1: TUDrivenPort"
                                                  << "UseStrobe = False\nUseStrobe = True"
                                                  << "PortDriver"
                                                  << "[opc_Strobe, opc_OutputEnable]";
    QTest::newRow("both off") << "D1: TUDrivenPort"
                              << "UseStrobe = false\nUseOutEn = 0"
                              << "PortDriver"
                              << "[]";
    QTest::newRow("other classes have no such words") << "L1: TLED"
                                                      << "OnRD = True"
                                                      << "Color"
                                                      << "cled_INFRA";
}

void TestBoardFile::lineRules() {
    QFETCH(QString, header);
    QFETCH(QString, lines);
    QFETCH(QString, property);
    QFETCH(QString, value);
    Editor e;
    e.load(block(header, lines));
    QCOMPARE(e.errors(), QString());
    const QString name = header.section(QLatin1Char(':'), 0, 0);
    QCOMPARE(e.property(name, qPrintable(property)), value);
    if (property == "PortDriver") // the picture follows the set
        QCOMPARE(e.find(name)->Picture(),
                 TUDrivenPort::PictureName(e.find<TUDrivenPort>(name)->PortDriver(), false));
}

void TestBoardFile::skippedLines_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("warning"); // empty: the line is skipped without a word
    const auto led = [](const QString& line) {
        return block("LED1: TLED", line + QStringLiteral("\r\nColor = cled_BLUE"));
    };
    QTest::newRow("no equals sign") << led("Left 12") << QString();
    QTest::newRow("no value") << led("Top =") << QString();
    QTest::newRow("read only") << block("P1: TUPin", "PinMask = 3") << QString();
    // What form files of the outside development tool hold for what is not modelled here.
    QTest::newRow("event handler") << led("OnClick = LED1Click") << QString();
    QTest::newRow("toolkit property") << led("Visible = False") << QString();
    QTest::newRow("toolkit sub-property") << led("Constraints.MinWidth = 4") << QString();
    QTest::newRow("designed geometry") << led("ExplicitLeft = 4") << QString();
    // Everything else would be lost at the next Save.
    QTest::newRow("misspelt reference")
        << led("Anod = VCC1.Pin") << "Line 2: Anod = VCC1.Pin\nTLED has no property Anod";
    QTest::newRow("not published")
        << led("Brightness = 3") << "Line 2: Brightness = 3\nTLED has no property Brightness";
    QTest::newRow("Qt's own") << led("ObjectName = 'x'") << "TLED has no property ObjectName";
    QTest::newRow("NUL byte in the name")
        << led(QStringLiteral("Ano") + QChar(0) + QStringLiteral("de = VCC1.Pin"))
        << "TLED has no property Ano?de";
}

void TestBoardFile::skippedLines() {
    QFETCH(QString, text);
    QFETCH(QString, warning);
    Editor e;
    e.load(text);
    QCOMPARE(e.components().size(), 1);
    QCOMPARE(e.components()[0]->Top(), 0); // "Top =" took nothing
    if (auto* led = qobject_cast<TLED*>(e.components()[0]))
        QCOMPARE(led->Color(), cled_BLUE); // the lines after it are read
    if (warning.isEmpty()) {
        QCOMPARE(e.errors(), QString());
        QCOMPARE(e.window->FileName(), e.path("board.ovd"));
        return;
    }
    QVERIFY2(e.errors().contains(warning), qPrintable(e.errors()));
    QVERIFY(e.errors().contains("the line was left out"));
    // Save asks for a name rather than overwrite the file without the line.
    QCOMPARE(e.window->FileName(), QString());
}

// A value the component does not take as written: it keeps what it took, and the user hears of
// the line.
void TestBoardFile::valuesTakenOtherwise_data() {
    QTest::addColumn<QString>("line");
    QTest::addColumn<int>("taken");
    QTest::addColumn<QString>("warning");
    QTest::newRow("in range") << "PinNumber = 7" << 7 << QString();
    QTest::newRow("hexadecimal in range") << "PinNumber = $3" << 3 << QString();
    QTest::newRow("too large") << "PinNumber = 99999" << 0
                               << "Line 2: PinNumber = 99999\nPinNumber cannot be 99999; the "
                                  "component took 0.";
    QTest::newRow("negative") << "PinNumber = -1" << 0
                              << "PinNumber cannot be -1; the component took 0.";
}

void TestBoardFile::valuesTakenOtherwise() {
    QFETCH(QString, line);
    QFETCH(int, taken);
    QFETCH(QString, warning);
    Editor e;
    e.load(block("P1: TUPin", line));
    QCOMPARE(e.find<TUPin>("P1")->PinNumber(), taken);
    if (warning.isEmpty()) {
        QCOMPARE(e.errors(), QString());
        return;
    }
    QVERIFY2(e.errors().contains(warning), qPrintable(e.errors()));
    QCOMPARE(e.window->FileName(), QString());
}

// A file that warns on every one of many lines: the report lists the first and counts them all.
void TestBoardFile::manyWarningsAreCounted() {
    QString lines;
    const int count = BoardFile::MaxWarnings + 500;
    for (int i = 0; i < count; ++i)
        lines += QStringLiteral("Anod%1 = VCC1.Pin\r\n").arg(i);
    Editor e;
    e.load(block("LED1: TLED", lines + QStringLiteral("Color = cled_BLUE")));
    QCOMPARE(e.find<TLED>("LED1")->Color(), cled_BLUE);
    QVERIFY2(e.errors().contains(QStringLiteral("... and %1 more.").arg(count - 20)),
             qPrintable(e.errors().right(200)));
}

void TestBoardFile::duplicateNames() {
    Editor e;
    e.load(block("LED1: TLED", "") + block("SW1: TSwitch", "") + block("led1: TBulb", ""));
    QVERIFY(e.components().isEmpty());
    QCOMPARE(e.messages().size(), 1);
    QCOMPARE(e.messages()[0].caption, QStringLiteral("Error"));
    QVERIFY2(e.messages()[0].text.contains("Line 7: object led1: TBulb"), qPrintable(e.errors()));
    QVERIFY(e.messages()[0].text.contains("already exists"));
}

void TestBoardFile::countReport_data() {
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("report");
    QTest::addColumn<bool>("opens"); // a file without components is refused
    const QString hint = QStringLiteral(
        " No objects were loaded, therefore you should check whether the DFM file is saved in "
        "text mode.\r\nBinary DFMs are not supported.");
    const QByteArray three = block("A: TLED", "").toUtf8() + block("B: TLED", "").toUtf8() +
                             block("C: TGND", "").toUtf8();
    QTest::newRow("three components") << "three.ovd" << three << "3 objects loaded." << true;
    // An empty board is saved as a file without lines.
    QTest::newRow("empty board file") << "empty.ovd" << QByteArray() << "0 objects loaded." << true;
    QTest::newRow("blank lines only")
        << "blank.ovd" << QByteArray(" \r\n\t\n") << "0 objects loaded." << true;
    QTest::newRow("text without components")
        << "text.ovd" << QByteArray("hello\r\n") << "it is not a board file (it holds no component)"
        << false;
    QTest::newRow("empty form file")
        << "empty.dfm" << QByteArray() << "0 objects loaded." + hint << false;
    QTest::newRow("extension in any case")
        << "EMPTY.DFM" << QByteArray() << "0 objects loaded." + hint << false;
    QTest::newRow("binary form file") << "binary.dfm"
                                      << QByteArray("TPF0\x06TForm1\x05"
                                                    "Form1\x04Left\x02\x10\x00\x00",
                                                    26)
                                      << "0 objects loaded." + hint << false;
    QTest::newRow("form file with components")
        << "three.dfm" << three << "3 objects loaded." << true;
}

void TestBoardFile::countReport() {
    QFETCH(QString, fileName);
    QFETCH(QByteArray, content);
    QFETCH(QString, report);
    QFETCH(bool, opens);
    Editor e;
    e.window->SetModified(true);
    QCOMPARE(e.window->LoadFromFile(e.write(fileName, content)), opens);
    QCOMPARE(e.messages().size(), 1);
    if (!opens) {
        // Refused before the board is touched: it stays as it was, modified mark included.
        QCOMPARE(e.messages()[0].caption, QStringLiteral("Error"));
        QVERIFY2(e.messages()[0].text.contains(report), qPrintable(e.messages()[0].text));
        QCOMPARE(e.window->FileName(), QString());
        QVERIFY(e.window->Modified());
        return;
    }
    QCOMPARE(e.messages()[0].icon, MessageIcon::Information);
    QCOMPARE(e.messages()[0].caption, QStringLiteral("Information"));
    QCOMPARE(e.messages()[0].text, report);
    QCOMPARE(e.window->FileName(), e.path(fileName));
    QVERIFY(!e.window->Modified());
}

// ---------------------------------------------------------------- failures

// A read that stops leaves no half board behind: nothing of the file stays, nothing is hidden,
// and the file is not taken as the board's, so Save asks instead of overwriting it.
void TestBoardFile::stoppedReadTakesEverythingBack() {
    Editor e;
    const QString text = block("SW1: TSwitch", "Left = 8") +
                         block("LED1: TLED", "Anode = SW1.Contact2\r\nColor = cled_PURPLE") +
                         block("GND1: TGND", "Top = 40");
    e.load(text);
    QVERIFY(e.components().isEmpty());
    QVERIFY(e.board()->findChildren<TOrvexGraphicComponent*>().isEmpty());
    QCOMPARE(e.messages().size(), 1);
    const DialogRecorder::Message report = e.messages()[0];
    QCOMPARE(report.caption, QStringLiteral("Error"));
    QCOMPARE(report.icon, MessageIcon::Error);
    QVERIFY2(report.text.contains(QDir::toNativeSeparators(e.path("board.ovd"))),
             qPrintable(report.text));
    QVERIFY(report.text.contains("Line 6: Color = cled_PURPLE"));
    QVERIFY(report.text.contains("cled_PURPLE"));
    QCOMPARE(e.window->FileName(), QString());
    QVERIFY(!e.window->Modified());

    e.dialogs->saveAnswers << QString(); // the user cancels the Save As that Save opens
    e.window->miSaveClick();
    QCOMPARE(e.dialogs->fileDialogs.size(), 1);
    QFile file(e.path("board.ovd"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromUtf8(file.readAll()), text);
}

void TestBoardFile::hostileFiles_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("line"); // the line the report names
    QTest::newRow("huge width") << block("LED1: TLED", "Width = 2147483647") << "Line 2:";
    QTest::newRow("huge width right of the origin")
        << block("L: TLED", "Left = 1\r\nWidth = 2147483647") << "Line 3: Width = 2147483647";
    QTest::newRow("huge height below the top band")
        << block("L: TLED", "Top = 1\r\nHeight = 100001") << "Line 3: Height = 100001";
    QTest::newRow("far left") << block("LED1: TLED", "Left = -2147483648") << "Line 2:";
    QTest::newRow("top that overflows with the offset")
        << block("LED1: TLED", "Top = 2147483647") << "Line 2:";
    QTest::newRow("a line without end")
        << block("LED1: TLED", "Caption = '" + QString(70000, 'x') + "'") << "Line 2:";
    QTest::newRow("a component inside a component")
        << QStringLiteral("object LED1: TLED\nobject LED2: TLED\nLeft = 4\nend\nend\n")
        << "Line 2: object LED2: TLED";
    QTest::newRow("a name that is no identifier") << block("1LED: TLED", "") << "Line 1:";
    QTest::newRow("an empty name")
        << block("A: TLED", "Name = ''") + block("B: TLED", "") << "Line 2: Name = ''";
}

void TestBoardFile::hostileFiles() {
    QFETCH(QString, text);
    QFETCH(QString, line);
    Editor e;
    e.load(text);
    QVERIFY(e.components().isEmpty());
    QCOMPARE(e.messages().size(), 1);
    QVERIFY2(e.messages()[0].text.contains(line), qPrintable(e.errors()));
    QCOMPARE(e.window->FileName(), QString());
}

void TestBoardFile::unreadableFiles_data() {
    QTest::addColumn<QString>("name"); // in the test folder
    QTest::addColumn<QString>("reason");
    QTest::newRow("missing") << "missing.ovd"
                             << "does not exist";
    QTest::newRow("a folder") << "folder.ovd"
                              << "is not a board file";
    QTest::newRow("too large") << "large.ovd"
                               << "larger than 64 MB";
}

void TestBoardFile::unreadableFiles() {
    QFETCH(QString, name);
    QFETCH(QString, reason);
    Editor e;
    QVERIFY(QDir(e.dir.path()).mkdir("folder.ovd"));
    QFile large(e.path("large.ovd"));
    QVERIFY(large.open(QIODevice::WriteOnly));
    QVERIFY(large.resize(BoardFile::MaxFileSize + 1)); // sparse: costs no disk
    large.close();
    e.load(block("LED1: TLED", ""), "before.ovd");
    QCOMPARE(e.components().size(), 1);
    e.dialogs->Clear();
    QVERIFY(!e.window->LoadFromFile(e.path(name)));
    QCOMPARE(e.components().size(), 1); // the board is kept
    QCOMPARE(e.messages().size(), 1);   // no count report
    QCOMPARE(e.messages()[0].caption, QStringLiteral("Error"));
    QVERIFY2(e.messages()[0].text.contains(reason), qPrintable(e.errors()));
    QVERIFY(e.messages()[0].text.contains(QDir::toNativeSeparators(e.path(name))));
    QCOMPARE(e.window->FileName(), e.path("before.ovd"));
}

// ---------------------------------------------------------------- loaded components

// A negative size is taken as 0, and the user hears of it.
void TestBoardFile::negativeSizes() {
    Editor e;
    e.load(block("L: TLED", "Width = -5\r\nHeight = 12"));
    QCOMPARE(e.find("L")->size(), QSize(0, 12));
    QCOMPARE(e.messages().size(), 2);
    QVERIFY2(e.messages()[1].text.contains(
                 "Line 2: Width = -5\nA size cannot be negative; 0 was taken."),
             qPrintable(e.messages()[1].text));
}

void TestBoardFile::loadedComponents() {
    Editor e;
    e.load(block("LED1: TLED", "Visibility = vs_Schematic\r\nHint = 'kept'\r\n"
                               "Left = 40\r\nTop = 40\r\nWidth = 50\r\nHeight = 20"));
    auto* led = e.find("LED1");
    // Kept as stored: not renamed, resized, moved or given the menu's view mode.
    QCOMPARE(led->Name(), QStringLiteral("LED1"));
    QCOMPARE(led->geometry(), QRect(40, 44, 50, 20));
    QCOMPARE(led->Visibility(), vs_Schematic);
    QCOMPARE(led->Hint(), QStringLiteral("kept"));
    QCOMPARE(led->toolTip(), QString());
    QVERIFY(led->isVisible());
    // Wired to the window like a placed one: a press selects it.
    QTest::mousePress(led, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    QTest::mouseRelease(led, Qt::LeftButton, Qt::NoModifier, QPoint(5, 5));
    QCOMPARE(e.window->EditedObject(), led);
    QCOMPARE(e.window->DownX(), 5);
    // Placing goes on numbering after the loaded names.
    auto* next = ComponentTable::Create(ToolTag::LED, e.board());
    e.window->PlaceComponent(next, 32, 32, true);
    QCOMPARE(next->Name(), QStringLiteral("LED2"));
}

void TestBoardFile::writtenBlocks() {
    Editor e;
    e.window->SetGridSize(8);
    auto* sw = new TSwitch(e.board());
    e.window->PlaceComponent(sw, 32, 32, false, QPoint(16, 40));
    auto* led = new TLED(e.board());
    e.window->PlaceComponent(led, 32, 32, false, QPoint(64, 40));
    led->SetColor(cled_GREEN);
    led->SetAnode(sw->SwitchControl()->Contact2());
    led->SetCaption(QStringLiteral("it's"));
    const QString text = e.saved();
    // One block per component in ownership order; what differs from a new component (and the
    // geometry), references as paths, the Top less the offset; plain values before references
    // before the geometry.
    QCOMPARE(text, QStringLiteral("object Switch1: TSwitch\r\n"
                                  "  Hint = 'Switch1 : TSwitch'\r\n"
                                  "  Contact2 = LED1.Anode\r\n"
                                  "  Left = 16\r\n"
                                  "  Top = 32\r\n"
                                  "  Width = 32\r\n"
                                  "  Height = 32\r\n"
                                  "end\r\n"
                                  "object LED1: TLED\r\n"
                                  "  Caption = 'it''s'\r\n"
                                  "  Hint = 'LED1 : TLED'\r\n"
                                  "  Color = cled_GREEN\r\n"
                                  "  Anode = Switch1.Contact2\r\n"
                                  "  Left = 64\r\n"
                                  "  Top = 32\r\n"
                                  "  Width = 32\r\n"
                                  "  Height = 32\r\n"
                                  "end\r\n"));
    QVERIFY(!e.window->Modified());
}

// ---------------------------------------------------------------- saving

void TestBoardFile::savingIsAtomic_data() {
    QTest::addColumn<QString>("target");
    QTest::newRow("folder that does not exist") << "nowhere/board.ovd";
    QTest::newRow("a folder in the way") << "taken";
}

void TestBoardFile::savingIsAtomic() {
    QFETCH(QString, target);
    Editor e;
    QDir(e.dir.path()).mkdir("taken");
    e.write("taken/inside.txt", "keep");
    e.load(block("LED1: TLED", ""));
    e.dialogs->Clear();
    e.window->SetModified(true);
    QVERIFY(!e.window->SaveToFile(e.path(target)));
    QCOMPARE(e.messages().size(), 1);
    QCOMPARE(e.messages()[0].caption, QStringLiteral("Error"));
    QVERIFY2(e.messages()[0].text.contains(QDir::toNativeSeparators(e.path(target))),
             qPrintable(e.errors()));
    QVERIFY(e.window->Modified());
    QFile inside(e.path("taken/inside.txt"));
    QVERIFY(inside.open(QIODevice::ReadOnly));
    QCOMPARE(inside.readAll(), QByteArray("keep"));
    // No temporary file is left behind.
    QCOMPARE(QDir(e.dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
             QStringList({"board.ovd", "taken"}));

    // Saving over an existing file replaces it whole.
    e.write("old.ovd", QByteArray(10000, 'x'));
    QVERIFY(e.window->SaveToFile(e.path("old.ovd")));
    QFile replaced(e.path("old.ovd"));
    QVERIFY(replaced.open(QIODevice::ReadOnly));
    QVERIFY(replaced.readAll().startsWith("object LED1: TLED\r\n"));
}

void TestBoardFile::failedWriteKeepsTheOldFile_data() {
    QTest::addColumn<int>("limit"); // bytes a file of this process may hold
    QTest::newRow("stops part-way") << 4096;
    QTest::newRow("nothing goes out") << 0;
}

// A disk that fills up while the board is written: the previous file stays byte for byte, the
// user hears which file and why, and the board still counts as changed.
void TestBoardFile::failedWriteKeepsTheOldFile() {
    QFETCH(int, limit);
    Editor e;
    QString text;
    for (int i = 1; i <= 100; ++i)
        text += block(QStringLiteral("LED%1: TLED").arg(i), QStringLiteral("Left = %1").arg(i * 8));
    e.load(text);
    QCOMPARE(e.components().size(), 100);
    QVERIFY(BoardFile::WriteBoard(e.board(), e.window->GridSize()).Text.size() > 6000);
    e.find("LED1")->SetLeft(200);
    e.window->SetModified(true);
    QByteArray previous;
    for (int i = 0; previous.size() < 6691; ++i)
        previous += "object Old" + QByteArray::number(i) + ": TLED\r\nend\r\n";
    const QString target = e.write("old.ovd", previous);
    e.dialogs->Clear();
    bool saved = true;
    {
        // A size limit on this process's files, the signal it would raise ignored: the write
        // fails with "file too large" as on a full disk. Both are put back before checking.
        struct rlimit before {};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &before), 0);
        const auto signalBefore = std::signal(SIGXFSZ, SIG_IGN);
        struct rlimit tight = before;
        tight.rlim_cur = rlim_t(limit);
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &tight), 0);
        saved = e.window->SaveToFile(target);
        setrlimit(RLIMIT_FSIZE, &before);
        std::signal(SIGXFSZ, signalBefore);
    }
    QVERIFY(!saved);
    QFile file(target);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), previous);
    QCOMPARE(e.messages().size(), 1);
    QCOMPARE(e.messages()[0].caption, QStringLiteral("Error"));
    const QString message = e.messages()[0].text;
    QVERIFY2(message.contains(QDir::toNativeSeparators(target)), qPrintable(message));
    QVERIFY2(message.contains("the file is too large"), qPrintable(message));
    QVERIFY(e.window->Modified());
    // No temporary file is left behind.
    QCOMPARE(QDir(e.dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
             QStringList({"board.ovd", "old.ovd"}));
    // With room again the same board saves.
    QVERIFY(e.window->SaveToFile(target));
    QVERIFY(!e.window->Modified());
}

// What the name to save under stands for: a pipe stays a pipe, every name of a hard-linked file
// sees the new board, a link is written through to its target, a link to nothing is refused with
// its target named.
void TestBoardFile::saveTargets_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("refusal"); // empty: saved
    QTest::newRow("a pipe") << "fifo"
                            << "it is not a regular file";
    QTest::newRow("a hard-linked file") << "hardlink" << QString();
    QTest::newRow("a link to a file") << "symlink" << QString();
    QTest::newRow("a link to nothing") << "dangling"
                                       << "it is a link to ";
}

void TestBoardFile::saveTargets() {
    QFETCH(QString, kind);
    QFETCH(QString, refusal);
    Editor e;
    e.load(block("LED1: TLED", ""));
    const QString target = e.path("target.ovd");
    const QString other = e.path("other.ovd");
    const QByteArray before = "object Old: TLED\r\nend\r\n";
    if (kind == "fifo") {
        QCOMPARE(mkfifo(QFile::encodeName(target).constData(), 0600), 0);
    } else if (kind == "hardlink") {
        e.write("other.ovd", before);
        QCOMPARE(link(QFile::encodeName(other).constData(), QFile::encodeName(target).constData()),
                 0);
    } else if (kind == "symlink") {
        e.write("other.ovd", before);
        QVERIFY(QFile::link(other, target));
    } else {
        QVERIFY(QFile::link(e.path("gone/other.ovd"), target));
    }
    e.dialogs->Clear();
    e.window->SetModified(true);
    const bool saved = e.window->SaveToFile(target);
    if (!refusal.isEmpty()) {
        QVERIFY(!saved);
        QVERIFY2(e.errors().contains(refusal), qPrintable(e.errors()));
        QVERIFY(e.window->Modified());
        if (kind == "fifo") {
            struct stat info {};
            QCOMPARE(lstat(QFile::encodeName(target).constData(), &info), 0);
            QVERIFY(S_ISFIFO(info.st_mode));
        } else {
            QVERIFY2(e.errors().contains(QDir::toNativeSeparators(e.path("gone/other.ovd"))),
                     qPrintable(e.errors()));
        }
        return;
    }
    QVERIFY2(saved, qPrintable(e.errors()));
    QCOMPARE(e.errors(), QString());
    // Both names show the new board; the link is still a link.
    for (const QString& name : {target, other}) {
        QFile file(name);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY2(file.readAll().startsWith("object LED1: TLED\r\n"), qPrintable(name));
    }
    QCOMPARE(QFileInfo(target).isSymLink(), kind == "symlink");
    QCOMPARE(QDir(e.dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
             QStringList({"board.ovd", "other.ovd", "target.ovd"}));
}

// A size limit on the process's files (ulimit -f) must not end the program on Save: the write
// is refused and reported. Run in a child process, which the signal would end.
void TestBoardFile::fileSizeLimitDoesNotEndTheProgram() {
    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("board.ovd"));
    const pid_t child = fork();
    QVERIFY(child >= 0);
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_DFL); // as a program starts
        struct rlimit tight {};
        getrlimit(RLIMIT_FSIZE, &tight);
        tight.rlim_cur = 1024;
        setrlimit(RLIMIT_FSIZE, &tight);
        const QString failure = BoardFile::WriteFile(target, QByteArray(100000, 'x'));
        _exit(failure.contains(QStringLiteral("the file is too large")) ? 0 : 3);
    }
    int status = 0;
    QCOMPARE(waitpid(child, &status, 0), child);
    QVERIFY2(!WIFSIGNALED(status), "the signal ended the child");
    QVERIFY(WIFEXITED(status));
    QCOMPARE(WEXITSTATUS(status), 0);
}

// Another program changed the file since it was opened: Save asks before overwriting it.
void TestBoardFile::saveOverAChangedFile_data() {
    QTest::addColumn<int>("answer"); // -1: the box closed
    QTest::addColumn<bool>("overwritten");
    QTest::addColumn<bool>("savedAs");
    QTest::newRow("overwrite") << 0 << true << false;
    QTest::newRow("save as") << 1 << false << true;
    QTest::newRow("cancel") << 2 << false << false;
    QTest::newRow("closed") << -1 << false << false;
}

void TestBoardFile::saveOverAChangedFile() {
    QFETCH(int, answer);
    QFETCH(bool, overwritten);
    QFETCH(bool, savedAs);
    Editor e;
    e.load(block("LED1: TLED", ""));
    const QString file = e.path("board.ovd");
    // Unchanged on disk: no question.
    e.find("LED1")->SetLeft(40);
    e.window->SetModified(true);
    e.window->miSaveClick();
    QVERIFY(e.dialogs->choiceQuestions.isEmpty());
    QVERIFY(!e.window->Modified());

    const QByteArray theirs = block("Theirs: TBulb", "").toUtf8();
    e.write("board.ovd", theirs);
    e.find("LED1")->SetLeft(80);
    e.window->SetModified(true);
    e.dialogs->choiceAnswers << answer;
    e.dialogs->saveAnswers << e.path("copy.ovd");
    e.window->miSaveClick();
    QCOMPARE(e.dialogs->choiceQuestions.size(), 1);
    QVERIFY2(e.dialogs->choiceQuestions[0].contains(QDir::toNativeSeparators(file) +
                                                    " was changed on disk"),
             qPrintable(e.dialogs->choiceQuestions[0]));
    QFile read(file);
    QVERIFY(read.open(QIODevice::ReadOnly));
    QCOMPARE(read.readAll() != theirs, overwritten);
    QCOMPARE(QFile::exists(e.path("copy.ovd")), savedAs);
    QCOMPARE(e.window->Modified(), !overwritten && !savedAs);
    if (overwritten) {
        // Saved by this window: the next Save goes on without a question.
        e.find("LED1")->SetLeft(120);
        e.window->miSaveClick();
        QCOMPARE(e.dialogs->choiceQuestions.size(), 1);
    }
}

// An empty board saves as a file without lines and opens again as an empty board.
void TestBoardFile::emptyBoardRoundTrip() {
    Editor e;
    QVERIFY(e.window->SaveToFile(e.path("empty.ovd")));
    QCOMPARE(QFileInfo(e.path("empty.ovd")).size(), 0);
    e.load(block("LED1: TLED", ""), "other.ovd");
    QCOMPARE(e.components().size(), 1);
    e.dialogs->Clear();
    QVERIFY(e.window->LoadFromFile(e.path("empty.ovd")));
    QVERIFY(e.components().isEmpty());
    QCOMPARE(e.window->FileName(), e.path("empty.ovd"));
    QCOMPARE(e.errors(), QString());
}

// A very long file name is shortened in its middle in Open Recent; the hint holds it whole.
void TestBoardFile::longRecentNames() {
    Editor e;
    const QString name =
        QString(100, 'a') + QStringLiteral("&middle") + QString(100, 'z') + QStringLiteral(".ovd");
    QVERIFY2(e.window->SaveToFile(e.path(name)), qPrintable(e.errors()));
    const QList<QAction*> actions = e.window->RecentMenu()->actions();
    QVERIFY(!actions.isEmpty());
    const QString text = actions[0]->text();
    QVERIFY2(text.size() < 80, qPrintable(text));
    QVERIFY2(text.startsWith("&1 aaa") && text.endsWith("zz.ovd"), qPrintable(text));
    QCOMPARE(actions[0]->toolTip(), QDir::toNativeSeparators(e.path(name)));
}

// A value beyond what the reader takes would give a file that does not open: the old file stays.
void TestBoardFile::boardThatWouldNotOpenIsNotSaved() {
    Editor e;
    e.load(block("LED1: TLED", "Left = 8"));
    e.find("LED1")->move(8, 2000000); // past what the setter takes
    e.dialogs->Clear();
    QVERIFY(!e.window->SaveToFile(e.path("board.ovd")));
    QCOMPARE(e.messages().size(), 1);
    QCOMPARE(e.messages()[0].caption, QStringLiteral("Error"));
    QVERIFY2(e.messages()[0].text.contains("Line 3: Top = 1999996"), qPrintable(e.errors()));
    QFile file(e.path("board.ovd"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromUtf8(file.readAll()), block("LED1: TLED", "Left = 8"));
}

// A component that has no name has no block a reader takes: the save is refused, not the
// component dropped.
void TestBoardFile::namelessComponentIsNotDropped() {
    Editor e;
    e.load(block("LED1: TLED", ""));
    new TLED(e.board());
    e.dialogs->Clear();
    QVERIFY(!e.window->SaveToFile(e.path("board.ovd")));
    QCOMPARE(e.messages().size(), 1);
    QVERIFY2(e.messages()[0].text.contains("Line 7: object : TLED\nA TLED component has no name"),
             qPrintable(e.errors()));
    QFile file(e.path("board.ovd"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromUtf8(file.readAll()), block("LED1: TLED", ""));
}

void TestBoardFile::wiresOfOpenedFiles_data() {
    QTest::addColumn<QString>("text");
    // C's contact has two partners; the partner B.Contact1 lists its own B.Contact2 first, so a
    // further line on B's side would replace that wire.
    QTest::newRow("second partner whose first wire is its own")
        << block("A: TSwitch", "") + block("B: TSwitch", "Contact2 = B.Contact1") +
               block("C: TSwitch", "Contact2 = A.Contact2\r\nContact2 = B.Contact1");
    QTest::newRow("three partners of one contact")
        << block("A: TSwitch", "Contact1 = A.Contact2") + block("B: TSwitch", "") +
               block("C: TSwitch", "Contact2 = A.Contact1\r\nContact2 = B.Contact1\r\n"
                                   "Contact2 = A.Contact2");
}

// Every wiring a file gives is written so that it opens again: no warning, the same wires.
void TestBoardFile::wiresOfOpenedFiles() {
    QFETCH(QString, text);
    Editor e;
    e.load(text);
    QCOMPARE(e.errors(), QString());
    expectWiresSurviveSave(e);
}

void TestBoardFile::wiringTheFileCannotHold_data() {
    QTest::addColumn<QString>("lost");
    QTest::addColumn<QString>("added");
    // Two port pins wired to each other: neither has a property that could name the other.
    QTest::newRow("a wire no contact can name") << "Bus1.DataBUS.Pin_0 - P1.Port.Pin_0"
                                                << "";
    // A two-colour LED's cathode line wires both its cathodes; here only the first is wired, to
    // a port pin, which has no property that could name it instead.
    QTest::newRow("a line that wires more") << ""
                                            << "P1.Port.Pin_0 - TwoColorLED1.Cathode2";
}

// Saving never loses or adds a wire without a word: what the file cannot hold is named.
void TestBoardFile::wiringTheFileCannotHold() {
    QFETCH(QString, lost);
    QFETCH(QString, added);
    Editor e;
    if (!lost.isEmpty()) {
        auto* port = new TUPort(e.board());
        port->SetName("P1");
        auto* bus = new TBUS(e.board());
        bus->SetName("Bus1");
        port->PortPin(0)->SetContact(bus->PortPin(0));
    } else {
        auto* led = new TTwoColorLED(e.board());
        led->SetName("TwoColorLED1");
        auto* port = new TUPort(e.board());
        port->SetName("P1");
        led->DiodeControl()->Contact2()->SetContact(port->PortPin(0));
    }
    const BoardFile::TWriteResult written = BoardFile::WriteBoard(e.board(), e.window->GridSize());
    QCOMPARE(written.Lost, lost.isEmpty() ? QStringList() : QStringList{lost});
    QCOMPARE(written.Added, added.isEmpty() ? QStringList() : QStringList{added});
    e.dialogs->Clear();
    QVERIFY(e.window->SaveToFile(e.path("board.ovd")));
    QCOMPARE(e.messages().size(), 1);
    QCOMPARE(e.messages()[0].icon, MessageIcon::Warning);
    const QString wire = lost.isEmpty() ? added : lost;
    QVERIFY2(e.messages()[0].text.contains(wire), qPrintable(e.messages()[0].text));
    QVERIFY(e.messages()[0].text.contains(lost.isEmpty() ? "there as well" : "missing"));
}

void TestBoardFile::wiringOfSetters_data() {
    QTest::addColumn<QString>("text"); // the components, unwired
    // Property writes as the grid makes them, in order, and "delete NAME".
    QTest::addColumn<QStringList>("edits");
    const QString leds =
        block("TwoColorLED1: TTwoColorLED", "") + block("TwoColorLED2: TTwoColorLED", "");
    // The second LED's own line wires only the first LED's first cathode; the first LED's
    // cathode line would wire its second cathode as well.
    QTest::newRow("a second anode to the first of two cathodes")
        << leds << QStringList{"TwoColorLED2.Anode2 = TwoColorLED1.Cathode"};
    QTest::newRow("both cathodes to one cathode of another LED")
        << leds << QStringList{"TwoColorLED2.Cathode = TwoColorLED1.Cathode"};
    // Rewiring the switch replaces the wire of the LED's first cathode only.
    QTest::newRow("one of two cathodes rewired from the other end")
        << leds + block("SW1: TSwitch", "")
        << QStringList{"TwoColorLED1.Cathode = SW1.Contact1", "SW1.Contact1 = TwoColorLED2.Anode1"};
    // A display's port line wires every segment and the common electrode at once.
    QTest::newRow("a display's port, one segment rewired")
        << block("P1: TUPort", "") + block("Seg1: TDispSeg", "") + block("LED1: TLED", "")
        << QStringList{"Seg1.Port = P1.Port", "LED1.Anode = Seg1.Anode2"};
    // The join of the segments' common sides exists for the port; only a port line rebuilds it.
    const QString display = block("P1: TUPort", "") + block("Seg1: TDispSeg", "");
    QTest::newRow("a display's port deleted")
        << display << QStringList{"Seg1.Port = P1.Port", "delete P1"};
    QTest::newRow("a display's port deleted, its common electrode elsewhere")
        << display + block("LED1: TLED", "")
        << QStringList{"Seg1.CommonElectrode = LED1.Cathode", "Seg1.Port = P1.Port", "delete P1"};
}

// Wires that setters of several contacts make, and the same contacts rewired afterwards: the
// file brings back every contact's partners, without a warning at Save.
void TestBoardFile::wiringOfSetters() {
    QFETCH(QString, text);
    QFETCH(QStringList, edits);
    Editor e;
    e.load(text);
    QCOMPARE(e.errors(), QString());
    const PropertyText::TPathRoot root{e.board(), {}, {}};
    for (const QString& edit : edits) {
        if (edit.startsWith(QLatin1String("delete "))) {
            delete e.board()->FindOwnedName(edit.mid(7));
            continue;
        }
        const qsizetype dot = edit.indexOf(QLatin1Char('.'));
        const qsizetype equals = edit.indexOf(QLatin1Char('='));
        QObject* component = e.board()->FindOwnedName(edit.left(dot));
        QVERIFY2(component, qPrintable(edit));
        PropertyText::TextToProperty(component, edit.mid(dot + 1, equals - dot - 1).trimmed(),
                                     edit.mid(equals + 1).trimmed(), root,
                                     PropertyText::TTextForm::Editor);
    }
    expectWiresSurviveSave(e);
}

// The largest board a file may hold, every component at one place: it opens and paints (each
// overlapping sibling costs the painting a level of recursion), and one more is refused before
// anything is built.
void TestBoardFile::largestBoard() {
    QString text;
    text.reserve((BoardFile::MaxComponents + 1) * 24);
    for (int i = 1; i <= BoardFile::MaxComponents; ++i)
        text += QStringLiteral("object G%1: TGND\nend\n").arg(i);
    Editor e;
    e.window->hide(); // painted at once when shown, as after opening it from the menu
    e.load(text);
    QCOMPARE(e.components().size(), BoardFile::MaxComponents);
    e.window->show();
    QVERIFY(!e.window->grab().isNull());
    e.window->repaint();

    // Refused before anything is built; the board that was open stays as it was.
    e.load(text + QStringLiteral("object Last: TGND\nend\n"));
    QCOMPARE(e.components().size(), BoardFile::MaxComponents);
    QCOMPARE(e.messages().size(), 1);
    const QString expected = QStringLiteral("Line %1: object Last: TGND\nA board holds at most %2 "
                                            "components.")
                                 .arg(2 * BoardFile::MaxComponents + 1)
                                 .arg(BoardFile::MaxComponents);
    QVERIFY2(e.messages()[0].text.contains(expected), qPrintable(e.messages()[0].text));
}

// Paste may not take a board past the largest board a file holds: Save would refuse it under
// every name. The paste is refused with a message, and the board stays as it was.
void TestBoardFile::pasteIntoAFullBoard() {
    QString text;
    for (int i = 1; i < BoardFile::MaxComponents; ++i)
        text += QStringLiteral("object G%1: TGND\nend\n").arg(i);
    Editor e;
    e.window->hide();
    e.load(text);
    QCOMPARE(e.components().size(), BoardFile::MaxComponents - 1);
    const QString two = block("A: TLED", "") + block("B: TLED", "");
    try {
        e.window->PasteText(two);
        QFAIL("a paste past the largest board was taken");
    } catch (const ComponentError& error) {
        QVERIFY2(error.Message().contains("a board holds at most 20000 components; this one has "
                                          "room for 1 more, the clipboard holds 2"),
                 qPrintable(error.Message()));
    }
    QCOMPARE(e.components().size(), BoardFile::MaxComponents - 1);
    e.window->PasteText(block("A: TLED", ""));
    QCOMPARE(e.components().size(), BoardFile::MaxComponents);
}

// More lines than a board of the most components holds: refused before anything is built.
void TestBoardFile::tooManyLines() {
    QString text;
    text.reserve((BoardFile::MaxLines + 1) * 4);
    for (int i = 0; i <= BoardFile::MaxLines; ++i)
        text += QStringLiteral("end\n");
    Editor e;
    e.load(block("LED1: TLED", ""), "before.ovd");
    e.load(text);
    QCOMPARE(e.components().size(), 1); // the board that was open stays
    QVERIFY2(e.errors().contains(QStringLiteral("more than %1 lines").arg(BoardFile::MaxLines)),
             qPrintable(e.errors()));
}

void TestBoardFile::fileCommands() {
    Editor e;
    const QString first = e.write("first.ovd", block("LED1: TLED", "").toUtf8());
    // Open: the dialog offers board files and text form files; cancelling changes nothing.
    e.dialogs->openAnswers << QString() << first;
    e.window->miLoadClick();
    QVERIFY(e.components().isEmpty());
    QCOMPARE(e.dialogs->fileDialogs.size(), 1);
    const FileDialogOptions open = e.dialogs->fileDialogs[0];
    QCOMPARE(open.filter, QStringLiteral("Orvex schematic (*.ovd);;Borland Delphi Form (*.dfm)"));
    QCOMPARE(open.defaultSuffix, QStringLiteral("ovd"));
    e.window->miLoadClick();
    QCOMPARE(e.components().size(), 1);
    QCOMPARE(e.window->FileName(), first);

    // Save writes to the open file without asking.
    e.find("LED1")->SetLeft(80);
    e.window->miSaveClick();
    QCOMPARE(e.dialogs->fileDialogs.size(), 2);
    e.window->LoadFromFile(first);
    QCOMPARE(e.find("LED1")->Left(), 80);

    // Save As asks, offering board files only, and the board then belongs to the new name.
    const QString second = e.path("second.ovd");
    e.dialogs->saveAnswers << second;
    e.window->miSaveAsClick();
    QCOMPARE(e.dialogs->fileDialogs.size(), 3);
    const FileDialogOptions save = e.dialogs->fileDialogs[2];
    QCOMPARE(save.filter, QStringLiteral("Orvex schematic (*.ovd)"));
    QCOMPARE(save.defaultSuffix, QStringLiteral("ovd"));
    QCOMPARE(save.fileName, first);
    QCOMPARE(e.window->FileName(), second);
    QVERIFY(QFile::exists(second));

    // A Save As that fails keeps the name the board had.
    e.dialogs->saveAnswers << e.path("nowhere/third.ovd");
    e.window->miSaveAsClick();
    QCOMPARE(e.window->FileName(), second);

    // New forgets the file.
    e.window->miNewClick();
    QCOMPARE(e.window->FileName(), QString());
    e.dialogs->saveAnswers << QString();
    e.window->miSaveClick();
    QCOMPARE(e.dialogs->fileDialogs.size(), 5);
}

// ---------------------------------------------------------------- round trips

void TestBoardFile::roundTrip_data() {
    QTest::addColumn<QString>("file");
    for (const QString& file : exampleBoards())
        QTest::newRow(qPrintable("examples/" + QFileInfo(file).fileName())) << file;
    for (const QString& folder :
         {QStringLiteral("tests/boards"), QStringLiteral("tests/scenarios")}) {
        QDirIterator it(SourceDir + QLatin1Char('/') + folder, {QStringLiteral("*.ovd")},
                        QDir::Files);
        while (it.hasNext()) {
            const QString file = it.next();
            QTest::newRow(qPrintable(folder + QLatin1Char('/') + QFileInfo(file).fileName()))
                << file;
        }
    }
}

// open -> save -> open gives the same board; save -> open -> save the same text.
void TestBoardFile::roundTrip() {
    QFETCH(QString, file);
    Editor e;
    e.window->LoadFromFile(file);
    QVERIFY2(e.messages().size() == 1, qPrintable(e.errors()));
    QCOMPARE(e.messages()[0].caption, QStringLiteral("Information"));
    QVERIFY(!e.components().isEmpty());
    QCOMPARE(e.window->FileName(), file);
    const QStringList opened = snapshot(e.board());
    const QString saved = e.saved();
    e.window->LoadFromFile(e.path("saved.ovd"));
    compareLines(snapshot(e.board()), opened);
    QCOMPARE(e.saved(), saved);
}

void TestBoardFile::roundTripOfEditedBoards_data() {
    QTest::addColumn<quint32>("seed");
    for (quint32 seed = 1; seed <= 24; ++seed)
        QTest::addRow("seed %u", seed) << seed;
}

// The identifiers of an enumeration that a new component takes with one write. A file sets each
// property once, so values that a component reaches only through another one first (a line turned
// within its axis keeps its orientation) cannot be stored by any file.
QStringList identifiersTakenAtOnce(const ComponentRow* row, const TPropertyInfo& prop) {
    QWidget owner;
    QStringList taken;
    for (const QString& identifier : prop.Identifiers()) {
        std::unique_ptr<TOrvexGraphicComponent> probe(ComponentTable::Create(row->Tag, &owner));
        try {
            TextToProperty(probe.get(), prop, identifier, TPathRoot{&owner, {}, {}});
            if (PropertyToText(probe.get(), prop, &owner) == identifier) taken << identifier;
        } catch (const std::exception&) {
            // refused
        }
    }
    return taken;
}

// The wires of a board that differ from another's, in the form the writer reports them.
QStringList wireDifference(const QStringList& from, const QStringList& to) {
    QStringList result;
    for (const QString& wire : from) {
        const QStringList ends = wire.split(QStringLiteral(" - "));
        if (ends.size() != 2 || ends[0] > ends[1] || to.contains(wire)) continue;
        result << wire;
    }
    return result;
}

// Boards put together as a user does, with every class, random values and wires made through
// the properties in any order (a contact's property replaces its first wire, an output's adds
// one, a port reference wires eight). Saving loses nothing without a word: the saved text opens
// to the same wires, or the save names every wire that differs. When it names none, the text
// opens to a board that saves the same text and opens the same again.
void TestBoardFile::roundTripOfEditedBoards() {
    QFETCH(quint32, seed);
    QRandomGenerator random(seed);
    Editor e;
    QList<const ComponentRow*> rows;
    for (const ComponentRow& row : ComponentTable::Rows())
        if (row.Create) rows << &row;
    for (int i = 0; i < 14; ++i) {
        const ComponentRow* row = rows[random.bounded(int(rows.size()))];
        e.window->PlaceComponent(ComponentTable::Create(row->Tag, e.board()), row->Width,
                                 row->Height, false,
                                 QPoint(random.bounded(600), random.bounded(400)));
    }
    const QList<TOrvexGraphicComponent*> components = e.components();
    const TPathRoot root = rootOf(e.board());
    for (int step = 0; step < 80; ++step) {
        TOrvexGraphicComponent* component = components[random.bounded(int(components.size()))];
        QList<const TPropertyInfo*> writable;
        for (const TPropertyInfo& prop : PublishedProperties(component->metaObject()))
            if (prop.IsWritable() && prop.Kind() != TPropertyKind::Other &&
                prop.Kind() != TPropertyKind::Integer && prop.Name() != "Name")
                writable << &prop;
        const TPropertyInfo* prop = writable[random.bounded(int(writable.size()))];
        QString text;
        switch (prop->Kind()) {
        case TPropertyKind::Enumeration: {
            const QStringList taken = identifiersTakenAtOnce(
                ComponentTable::Find(component->metaObject()->className()), *prop);
            if (taken.isEmpty()) continue;
            text = taken[random.bounded(int(taken.size()))];
            break;
        }
        case TPropertyKind::Set:
            text = random.bounded(2) ? "[]" : "[" + prop->Identifiers().constFirst() + "]";
            break;
        case TPropertyKind::String:
            text = QStringList{"'it''s'", "'a'#13#10'b'", "''", "'ünï'"}[random.bounded(4)];
            break;
        case TPropertyKind::Class: {
            // What the property grid offers: the parts of the other components, no hidden
            // driver contacts.
            QList<QObject*> candidates;
            for (TOrvexGraphicComponent* other : components) {
                if (other == component) continue;
                for (QObject* part : other->findChildren<QObject*>())
                    if (IsInstanceOf(part, prop->ClassType()) && !part->objectName().isEmpty() &&
                        part->objectName() != "DriverContact")
                        candidates << part;
            }
            if (candidates.isEmpty()) continue;
            text = PathName(candidates[random.bounded(int(candidates.size()))], e.board());
            break;
        }
        default:
            continue;
        }
        try {
            TextToProperty(component, *prop, text, root);
        } catch (const std::exception&) {
            // refused, as the property grid would report it
        }
    }
    const QStringList built = wiresOf(e.board());
    const BoardFile::TWriteResult written = BoardFile::WriteBoard(e.board(), e.window->GridSize());
    const QString saved = e.saved();
    QCOMPARE(saved, written.Text);
    e.dialogs->Clear();
    e.window->LoadFromFile(e.path("saved.ovd"));
    QCOMPARE(e.messages().size(), 1);
    QCOMPARE(e.messages()[0].text, QStringLiteral("14 objects loaded."));
    const QStringList opened = wiresOf(e.board());
    QCOMPARE(wireDifference(built, opened), written.Lost);
    QCOMPARE(wireDifference(opened, built), written.Added);
    if (!written.Lost.isEmpty() || !written.Added.isEmpty()) return;

    QCOMPARE(e.saved(), saved);
    const QStringList board = snapshot(e.board());
    e.window->LoadFromFile(e.path("saved.ovd"));
    compareLines(snapshot(e.board()), board);
}

QTEST_MAIN(TestBoardFile)
#include "test_boardfile.moc"
