// The analyser's rows kept with the board (save and open, bad lines, undo), row groups, the
// component menu's Add to Analyser, and drops onto the analyser's view.
#include <QDockWidget>
#include <QFile>
#include <QMenu>
#include <QMimeData>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QToolButton>
#include <QUndoStack>
#include <QtTest>
#include <memory>

#include "editor/analyser.h"
#include "editor/analysersetup.h"
#include "editor/analyserview.h"
#include "editor/boardcontextmenu.h"
#include "editor/boardfile.h"
#include "editor/brelvanfrm.h"
#include "editor/componenttable.h"
#include "editor/firmwareui.h"
#include "simulation/simform.h"
#include "tests/support/analyserfixture.h"

namespace {

const QString SourceDir = QStringLiteral(BRELVAN_SOURCE_DIR);
const QString LcdBoard = SourceDir + QStringLiteral("/examples/lcd_hello.ovd");

struct Editor : AnalyserFixture {
    Editor() : AnalyserFixture(SourceDir) {}
    QStringList paths() const {
        QStringList list;
        for (int i = 0; i < analyser()->Rows().size(); ++i)
            list << analyser()->RowPath(i);
        return list;
    }
    QStringList labels() const {
        QStringList list;
        for (const TAnalyserRow& row : analyser()->Rows())
            list << row.Label;
        return list;
    }
};

QString readText(const QString& fileName) {
    QFile file(fileName);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

bool writeText(const QString& fileName, const QString& text) {
    QFile file(fileName);
    return file.open(QIODevice::WriteOnly) && file.write(text.toUtf8()) >= 0;
}

QString withBlock(const QStringList& rowLines) {
    QString text = readText(LcdBoard);
    if (!text.endsWith(QLatin1Char('\n'))) text += QStringLiteral("\r\n");
    text += QStringLiteral("object Analyser: TAnalyserSetup\r\n");
    for (const QString& line : rowLines)
        text += QStringLiteral("  ") + line + QStringLiteral("\r\n");
    return text + QStringLiteral("end\r\n");
}

} // namespace

class TestAnalyserSetup : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        m_settings = std::make_unique<QTemporaryDir>();
        TFirmwareUi::SetSettingsFile(m_settings->filePath(QStringLiteral("brelvan.ini")));
    }

    // Everything a row holds comes back through Save and Open; New and Open replace the rows; a
    // board without rows is written as before.
    void saveAndOpen() {
        Editor e;
        QTemporaryDir dir;
        QVERIFY(e.window->LoadFromFile(LcdBoard));
        const QString plain = dir.filePath(QStringLiteral("plain.ovd"));
        QVERIFY(e.window->SaveToFile(plain));
        QCOMPARE(readText(plain),
                 BoardFile::WriteBoard(e.window->Board(), e.window->GridSize()).Text);

        for (const char* path : {"P2.Pin2", "P2.Pin0", "Host.TXD", "Host.P1"})
            QVERIFY(e.panel()->AddPath(QLatin1String(path)));
        TAnalyser* a = e.analyser();
        a->Row(0).Label = QStringLiteral("E");
        a->Row(1).Label = QStringLiteral("RS|'odd' 100% \u00b5");
        a->Row(1).Color = QColor(0x12, 0x34, 0x56);
        a->Row(2).Uart = true;
        a->Row(2).Baud = 4800;
        a->Row(2).UartBits = 9;
        a->SetGroup({0, 1}, QStringLiteral("LCD control"));
        a->SetGroup({3}, QStringLiteral("Data"));
        a->SetCollapsed(QStringLiteral("Data"), true);
        const QString saved = AnalyserSetup::Block(*a);
        const QString file = dir.filePath(QStringLiteral("rows.ovd"));
        QVERIFY(e.window->SaveToFile(file));
        const QString text = readText(file);
        QVERIFY(text.endsWith(saved));
        QVERIFY2(text.contains(QStringLiteral("  Row = 'Host.TXD|Host.TXD|#C86400|Uart=4800,9'")),
                 qPrintable(text));
        QVERIFY(text.contains(QStringLiteral("RS%7C%27odd%27 100%25 \u00b5")));

        e.window->miNewClick();
        QVERIFY(a->Rows().isEmpty());
        QVERIFY(e.window->LoadFromFile(file));
        QCOMPARE(AnalyserSetup::Block(*a), saved);
        QCOMPARE(e.paths(), QStringList({QStringLiteral("P2.Pin2"), QStringLiteral("P2.Pin0"),
                                         QStringLiteral("Host.TXD"), QStringLiteral("Host.P1")}));
        QCOMPARE(a->Rows()[1].Label, QStringLiteral("RS|'odd' 100% \u00b5"));
        QCOMPARE(a->Rows()[1].Color, QColor(0x12, 0x34, 0x56));
        QVERIFY(a->Rows()[2].Uart && a->Rows()[2].Baud == 4800 && a->Rows()[2].UartBits == 9);
        QCOMPARE(a->Rows()[0].Group, QStringLiteral("LCD control"));
        QVERIFY(a->Collapsed(QStringLiteral("Data")));
        QVERIFY(!e.window->isWindowModified());
        QVERIFY(e.window->findChild<QDockWidget*>(QStringLiteral("AnalyserDock"))->isVisible());
        // Another board without rows takes them away.
        QVERIFY(e.window->LoadFromFile(plain));
        QVERIFY(a->Rows().isEmpty());
    }

    // An LCD bus row keeps its lines, 8-bit on a bus or 4-bit on single lines, and decodes again
    // after Open.
    void lcdRowSaved() {
        Editor e;
        QTemporaryDir dir;
        QVERIFY(e.window->LoadFromFile(LcdBoard));
        TAnalyser* a = e.analyser();
        QString error;
        QVERIFY2(a->AddLcdRow({QStringLiteral("P2.Pin2"),
                               QStringLiteral("P2.Pin0"),
                               QStringLiteral("P2.Pin1"),
                               QStringLiteral("Host.P1"),
                               {},
                               false},
                              &error),
                 qPrintable(error));
        QVERIFY2(a->AddLcdRow({QStringLiteral("Host.P2.2"),
                               QStringLiteral("Host.P2.0"),
                               {},
                               {},
                               {QStringLiteral("Host.P1.4"), QStringLiteral("Host.P1.5"),
                                QStringLiteral("Host.P1.6"), QStringLiteral("Host.P1.7")},
                               true},
                              &error),
                 qPrintable(error));
        AnalyserSetup::Commit(a);
        const QString saved = AnalyserSetup::Block(*a);
        QVERIFY2(saved.contains(QStringLiteral("|Lcd=P2.Pin0,P2.Pin1,8,Host.P1'")),
                 qPrintable(saved));
        QVERIFY2(saved.contains(
                     QStringLiteral("|Lcd=Host.P2.0,,4,Host.P1.4,Host.P1.5,Host.P1.6,Host.P1.7'")),
                 qPrintable(saved));
        const QString file = dir.filePath(QStringLiteral("lcd.ovd"));
        QVERIFY(e.window->SaveToFile(file));
        e.window->miNewClick();
        QVERIFY(e.window->LoadFromFile(file));
        QCOMPARE(AnalyserSetup::Block(*a), saved);
        QCOMPARE(a->Rows().size(), 2);
        QVERIFY(a->Rows()[0].Lcd && !a->Rows()[0].LcdLines.FourBit);
        QCOMPARE(a->TracePath(a->Rows()[0].LcdLines.Data.front()), QStringLiteral("Host.P1"));
        QVERIFY(a->Rows()[1].Lcd && a->Rows()[1].LcdLines.FourBit);
        QCOMPARE(int(a->Rows()[1].LcdLines.Data.size()), 4);
        QCOMPARE(a->Rows()[1].LcdLines.Rw, -1);
    }

    // The block is skipped by the board reader: the same components, the same report, no
    // warning; a board of rows only (the core's pins) opens too.
    void readerSkipsBlock() {
        Editor e;
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("block.ovd"));
        QVERIFY(writeText(file, withBlock({QStringLiteral("Row = 'P2.Pin2|E|#00A000'")})));
        TBoardSurface scratch(nullptr);
        const BoardFile::TReadResult read = BoardFile::ReadBoard(&scratch, readText(file), 8);
        QCOMPARE(read.Count, 3);
        QVERIFY(read.Warnings.isEmpty());
        QVERIFY(!read.Error);

        QVERIFY(e.window->LoadFromFile(file));
        QCOMPARE(e.dialogs->messages.size(), 1);
        QCOMPARE(e.dialogs->LastText(), QStringLiteral("3 objects loaded."));
        QCOMPARE(e.board()->OwnedComponents().size(), 3);
        QCOMPARE(e.paths(), QStringList{QStringLiteral("P2.Pin2")});

        const QString only = dir.filePath(QStringLiteral("only.ovd"));
        QVERIFY(writeText(only, QStringLiteral("object Analyser: TAnalyserSetup\r\n"
                                               "  Row = 'Host.P3.1|TXD|#000000'\r\nend\r\n")));
        QVERIFY(e.window->LoadFromFile(only));
        QCOMPARE(e.paths(), QStringList{QStringLiteral("Host.P3.1")});
        QVERIFY(e.board()->OwnedComponents().isEmpty());
    }

    // A bad line costs only its row or option; the board opens all the same and the status bar
    // says what was left out.
    void badLines_data() {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QStringList>("paths");
        QTest::addColumn<QString>("said");
        const QString bus = QStringLiteral("Host.P2");
        QTest::newRow("bad colour")
            << QStringLiteral("Row = 'Host.P1.0|A|#12345G'")
            << QStringList{QStringLiteral("Host.P1.0"), bus} << QStringLiteral("no colour");
        QTest::newRow("unknown option")
            << QStringLiteral("Row = 'Host.P1.0|A|#112233|Speed=3|Group=G'")
            << QStringList{QStringLiteral("Host.P1.0"), bus} << QStringLiteral("not known");
        QTest::newRow("bad uart") << QStringLiteral("Row = 'Host.P1.0|A|#112233|Uart=fast,8'")
                                  << QStringList{QStringLiteral("Host.P1.0"), bus}
                                  << QStringLiteral("no baud rate");
        QTest::newRow("uart on a bus")
            << QStringLiteral("Row = 'Host.P1|A|#112233|Uart=9600,8'")
            << QStringList{QStringLiteral("Host.P1"), bus} << QStringLiteral("is a bus");
        QTest::newRow("overlong label")
            << QStringLiteral("Row = 'Host.P1.0|%1|#112233'").arg(QString(1500, QLatin1Char('x')))
            << QStringList{QStringLiteral("Host.P1.0"), bus} << QStringLiteral("label was cut");
        QTest::newRow("overlong path")
            << QStringLiteral("Row = 'Host.%1|A|#112233'").arg(QString(1500, QLatin1Char('x')))
            << QStringList{bus} << QStringLiteral("longer than");
        QTest::newRow("overlong group")
            << QStringLiteral("Row = 'Host.P1.0|A|#112233|Group=%1'")
                   .arg(QString(1500, QLatin1Char('g')))
            << QStringList{QStringLiteral("Host.P1.0"), bus} << QStringLiteral("longer than");
        QTest::newRow("not quoted") << QStringLiteral("Row = Host.P1.0") << QStringList{bus}
                                    << QStringLiteral("not understood");
        QTest::newRow("quote inside") << QStringLiteral("Row = 'Host.P1.0|it's'")
                                      << QStringList{bus} << QStringLiteral("not understood");
        QTest::newRow("no path") << QStringLiteral("Row = '|A|#112233'") << QStringList{bus}
                                 << QStringLiteral("names no trace");
        QTest::newRow("bad lcd bus")
            << QStringLiteral("Row = 'Host.P1.0|A|#112233|Lcd=Host.P1.1,,6,Host.P2'")
            << QStringList{QStringLiteral("Host.P1.0"), bus} << QStringLiteral("names no LCD bus");
        QTest::newRow("lcd bus on a line")
            << QStringLiteral("Row = 'Host.P1.0|A|#112233|Lcd=Host.P1.1,,8,Host.P1.2'")
            << QStringList{QStringLiteral("Host.P1.0"), bus} << QStringLiteral("is a line");
        QTest::newRow("unknown line")
            << QStringLiteral("Zoom = '3'") << QStringList{bus} << QStringLiteral("not understood");
        QTest::newRow("twice") << QStringLiteral("Row = 'host.p2|again|#112233'")
                               << QStringList{bus} << QStringLiteral("shown already");
        // A component that is not there (renamed, deleted): the row stays, and is saved again.
        QTest::newRow("not on the board")
            << QStringLiteral("Row = 'LED9.Anode|gone|#112233'")
            << QStringList{QStringLiteral("LED9.Anode"), bus} << QStringLiteral("LED9.Anode");
    }
    void badLines() {
        QFETCH(QString, line);
        QFETCH(QStringList, paths);
        QFETCH(QString, said);
        Editor e;
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("bad.ovd"));
        // The good row last, so that a double of it comes first.
        const QStringList lines =
            QTest::currentDataTag() == QByteArray("twice")
                ? QStringList{QStringLiteral("Row = 'Host.P2|Bus|#0000FF'"), line}
                : QStringList{line, QStringLiteral("Row = 'Host.P2|Bus|#0000FF'")};
        QVERIFY(writeText(file, withBlock(lines)));
        QVERIFY(e.window->LoadFromFile(file));
        QCOMPARE(e.board()->OwnedComponents().size(), 3);
        QCOMPARE(e.dialogs->LastText(), QStringLiteral("3 objects loaded."));
        QCOMPARE(e.paths(), paths);
        const QString status = e.window->statusBar()->currentMessage();
        QVERIFY2(status.contains(said), qPrintable(status));
        // Whatever was taken is saved and opens the same again.
        const QString again = dir.filePath(QStringLiteral("again.ovd"));
        QVERIFY(e.window->SaveToFile(again));
        const QString block = AnalyserSetup::Block(*e.analyser());
        QVERIFY(e.window->LoadFromFile(again));
        QCOMPARE(AnalyserSetup::Block(*e.analyser()), block);
        e.view()->grab(); // a row not found on the board paints
    }

    // Damaged and hostile blocks: a bounded number of rows and of messages, and a text full of
    // the class name is searched line by line, not again from every occurrence.
    void hostileBlock() {
        QStringList lines = {QStringLiteral("object A: TAnalyserSetup")};
        for (int i = 0; i < 600; ++i)
            lines << QStringLiteral("  Row = 'Host.P1.%1|r%2'").arg(i % 8).arg(i);
        for (int i = 0; i < 5000; ++i)
            lines << QStringLiteral("garbage %1").arg(i);
        lines << QStringLiteral("end");
        QStringList problems;
        const AnalyserSetup::TSetup setup = AnalyserSetup::Parse(lines, &problems);
        QCOMPARE(setup.Rows.size(), AnalyserSetup::MaxRows);
        QCOMPARE(setup.Rows.last().Row.Label,
                 QStringLiteral("r%1").arg(AnalyserSetup::MaxRows - 1));
        QVERIFY(problems.size() <= 22);
        QVERIFY(problems.first().contains(QStringLiteral("more than")));
        QVERIFY(problems.last().contains(QStringLiteral("more left out")));

        const QString crowded = QStringLiteral("object X: TAnalyserSetupx").repeated(200000);
        QVERIFY(!AnalyserSetup::HasBlock(crowded));
        QVERIFY(AnalyserSetup::HasBlock(crowded + QStringLiteral("\nobject A: tanalysersetup\r")));
    }

    // Row changes are undo steps that mark the board modified; Save clears the mark.
    void undo() {
        Editor e;
        QTemporaryDir dir;
        QVERIFY(e.window->LoadFromFile(LcdBoard));
        QVERIFY(!e.window->isWindowModified());
        QVERIFY(e.panel()->AddPath(QStringLiteral("P2.Pin2")));
        QVERIFY(e.panel()->AddPath(QStringLiteral("Host.P1")));
        QVERIFY(e.window->isWindowModified());
        QCOMPARE(e.undo()->undoText(), QStringLiteral("Analyser Rows"));
        e.view()->SetSelected(0);
        e.dialogs->inputAnswers = {QStringLiteral("Enable")};
        e.panel()->RenameClick();
        e.panel()->MoveClick(1);
        QCOMPARE(e.labels(), QStringList({QStringLiteral("Host.P1"), QStringLiteral("Enable")}));
        e.undo()->undo();
        QCOMPARE(e.labels(), QStringList({QStringLiteral("Enable"), QStringLiteral("Host.P1")}));
        e.undo()->undo();
        QCOMPARE(e.labels(), QStringList({QStringLiteral("P2.Pin2"), QStringLiteral("Host.P1")}));
        e.undo()->undo();
        e.undo()->undo();
        QVERIFY(e.analyser()->Rows().isEmpty());
        QVERIFY(!e.window->isWindowModified());
        e.undo()->redo();
        QCOMPARE(e.paths(), QStringList{QStringLiteral("P2.Pin2")});
        // The trace recorded before stays the row's trace.
        QCOMPARE(e.analyser()->Rows()[0].Trace, 0);
        QVERIFY(e.window->SaveToFile(dir.filePath(QStringLiteral("u.ovd"))));
        QVERIFY(!e.window->isWindowModified());
    }

    // Groups keep their rows together under a header that folds by a click on its triangle;
    // Ctrl+click selects several rows to group; moving a header moves its rows; Group on a header
    // renames it; a row moved out of a group's end leaves it before it passes another row.
    void groups() {
        Editor e;
        for (const char* path : {"Host.P1.0", "Host.P1.1", "Host.P1.2", "Host.P1.3"})
            QVERIFY(e.panel()->AddPath(QLatin1String(path)));
        TAnalyser* a = e.analyser();
        const auto lineRows = [a] {
            QList<int> rows;
            for (const TAnalyserLine& line : a->Lines())
                rows << line.Row;
            return rows;
        };
        const auto lineAt = [](int line) {
            return TAnalyserView::AxisHeight + line * TAnalyserView::RowHeight + 10;
        };
        e.view()->SetSelected(3);
        e.dialogs->inputAnswers = {QStringLiteral("Pair")};
        e.panel()->GroupClick();
        QCOMPARE(lineRows(), QList<int>({0, 1, 2, -1, 3}));
        QTest::mouseClick(e.view(), Qt::LeftButton, Qt::NoModifier, QPoint(60, lineAt(0)));
        QTest::mouseClick(e.view(), Qt::LeftButton, Qt::ControlModifier, QPoint(60, lineAt(1)));
        QCOMPARE(e.view()->SelectedRows(), QList<int>({0, 1}));
        e.dialogs->inputAnswers = {QStringLiteral("Pair")}; // an existing name joins it
        e.panel()->GroupClick();
        QCOMPARE(e.paths(),
                 QStringList({QStringLiteral("Host.P1.2"), QStringLiteral("Host.P1.3"),
                              QStringLiteral("Host.P1.0"), QStringLiteral("Host.P1.1")}));
        QCOMPARE(lineRows(), QList<int>({0, -1, 1, 2, 3}));

        QTest::mouseClick(e.view(), Qt::LeftButton, Qt::NoModifier, QPoint(6, lineAt(1)));
        QVERIFY(a->Collapsed(QStringLiteral("Pair")));
        QCOMPARE(lineRows(), QList<int>({0, -1}));
        QCOMPARE(e.view()->SelectedGroup(), QStringLiteral("Pair"));
        e.panel()->MoveClick(-1);
        QCOMPARE(e.paths(),
                 QStringList({QStringLiteral("Host.P1.3"), QStringLiteral("Host.P1.0"),
                              QStringLiteral("Host.P1.1"), QStringLiteral("Host.P1.2")}));
        QCOMPARE(lineRows(), QList<int>({-1, 3}));
        e.view()->grab();

        e.dialogs->inputAnswers = {QStringLiteral("Twins")};
        e.panel()->GroupClick();
        QCOMPARE(a->Groups(), QStringList{QStringLiteral("Twins")});
        QCOMPARE(lineRows(), QList<int>({-1, 0, 1, 2, 3}));
        e.view()->SetSelected(2);
        e.panel()->MoveClick(1);
        QCOMPARE(e.paths()[2], QStringLiteral("Host.P1.1"));
        QCOMPARE(a->Rows()[2].Group, QString());
        QCOMPARE(lineRows(), QList<int>({-1, 0, 1, 2, 3}));
        e.view()->SetSelected(2);
        e.panel()->MoveClick(-1); // and joins again from below
        QCOMPARE(a->Rows()[2].Group, QStringLiteral("Twins"));
        // Every step was one undo step.
        e.undo()->undo();
        QCOMPARE(a->Rows()[2].Group, QString());
    }

    // A component renamed after its rows were made is saved under its new name; a row whose path
    // named nothing finds its contact when Run starts once the name is there.
    void renamedComponent() {
        Editor e;
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("renamed.ovd"));
        QVERIFY(writeText(file, withBlock({QStringLiteral("Row = 'Ctl.Pin1|RW|#112233'")})));
        QVERIFY(e.window->LoadFromFile(file));
        QVERIFY(e.panel()->AddPath(QStringLiteral("P2.Pin2")));
        QCOMPARE(e.analyser()->Rows()[0].Trace, -1);
        e.window->WritePropertyText(e.find(QStringLiteral("P2")), QStringLiteral("Name"),
                                    QStringLiteral("Ctl"));
        QCOMPARE(e.paths(), QStringList({QStringLiteral("Ctl.Pin1"), QStringLiteral("Ctl.Pin2")}));
        e.window->RunButton()->click();
        QVERIFY(e.analyser()->Rows()[0].Trace >= 0);
        QCOMPARE(e.paths(), QStringList({QStringLiteral("Ctl.Pin1"), QStringLiteral("Ctl.Pin2")}));
        e.window->RunButton()->click();
    }

    // The menu of a right click: the edit commands and Add to Analyser with the component's
    // contacts; a host pin also offers the core's pin and port.
    void contextMenu_data() {
        QTest::addColumn<QString>("component");
        QTest::addColumn<QStringList>("offered");
        QTest::addColumn<QStringList>("shown");
        QTest::newRow("LED") << QStringLiteral("LED1")
                             << QStringList{QStringLiteral("LED1.Anode"),
                                            QStringLiteral("LED1.Cathode")}
                             << QStringList{QStringLiteral("Anode"), QStringLiteral("Cathode")};
        QTest::newRow("host pin") << QStringLiteral("Pin1")
                                  << QStringList{QStringLiteral("Pin1.Pin"),
                                                 QStringLiteral("Host.P3.5"),
                                                 QStringLiteral("Host.P3")}
                                  << QStringList{QStringLiteral("Pin"),
                                                 QStringLiteral("Core pin Host.P3.5"),
                                                 QStringLiteral("Core pin Host.P3")};
        // In the external data space it is no pin of the core's.
        QTest::newRow("xdata pin")
            << QStringLiteral("RD1") << QStringList{QStringLiteral("RD1.Pin")}
            << QStringList{QStringLiteral("Pin")};
        // Contacts inside a control show by their own names.
        QTest::newRow("LCD") << QStringLiteral("LCD1")
                             << QStringList{QStringLiteral("LCD1.LCD1_control_.RdWr_Pin"),
                                            QStringLiteral("LCD1.LCD1_control_.RegSel_Pin"),
                                            QStringLiteral("LCD1.LCD1_control_.Enable_Pin")}
                             << QStringList{QStringLiteral("RdWr"), QStringLiteral("RegSel"),
                                            QStringLiteral("Enable")};
    }
    void contextMenu() {
        QFETCH(QString, component);
        QFETCH(QStringList, offered);
        QFETCH(QStringList, shown);
        Editor e;
        QVERIFY(
            e.window->LoadFromFile(SourceDir + QStringLiteral("/tests/boards/every_class.ovd")));
        TOrvexGraphicComponent* target = e.find(component);
        QVERIFY(target);
        QCOMPARE(BoardContextMenu::TracePaths(target), offered);

        // A right press selects the component and opens its menu.
        QTest::mousePress(target, Qt::RightButton, Qt::NoModifier, QPoint(3, 3));
        QMenu* menu = nullptr;
        QTRY_VERIFY((menu = e.window->findChild<QMenu*>(QStringLiteral("ComponentMenu"))));
        QVERIFY(menu->isVisible());
        QCOMPARE(e.window->SelectedComponents(), QList<TOrvexGraphicComponent*>{target});
        for (const char* name : {"cmCut", "cmCopy", "cmDuplicate", "cmDelete", "cmProperties"})
            QVERIFY2(menu->findChild<QAction*>(QLatin1String(name)), name);
        auto* add = menu->findChild<QMenu*>(QStringLiteral("cmAddToAnalyser"));
        QVERIFY(add);
        QCOMPARE(add->actions().first()->text(), QStringLiteral("All Contacts"));
        QStringList texts;
        for (QAction* action : add->actions())
            if (!action->data().toString().isEmpty()) texts << action->text();
        QCOMPARE(texts, shown);
        add->actions().first()->trigger();
        QStringList contacts;
        for (const QString& path : offered)
            if (!path.startsWith(QStringLiteral("Host."))) contacts << path;
        QCOMPARE(e.paths(), contacts);
        for (QAction* action : add->actions())
            if (action->data().toString().startsWith(QStringLiteral("Host."))) action->trigger();
        QCOMPARE(e.paths(), offered);
        menu->close();
        // Delete from the menu removes the component, as an undo step.
        QVERIFY(e.panel()->isVisible());
        QMenu* built = BoardContextMenu::Build(e.window.get(), target, e.window.get());
        built->findChild<QAction*>(QStringLiteral("cmDelete"))->trigger();
        QVERIFY(!e.find(component));
        e.undo()->undo();
        QVERIFY(e.find(component));
        delete built;
    }

    // Dropped text adds a row per path where it is dropped; a dragged row moves there; text that
    // names nothing is refused with a reason; a component dragged off the board adds its contacts.
    void drops() {
        Editor e;
        QVERIFY(
            e.window->LoadFromFile(SourceDir + QStringLiteral("/tests/boards/host_pin_p10.ovd")));
        QVERIFY(e.panel()->AddPath(QStringLiteral("Host.P1.0")));
        QVERIFY(e.panel()->AddPath(QStringLiteral("Host.P1.1")));
        const auto drop = [&e](QMimeData* data, int y) {
            // As a drag does: the view takes the drag as it enters, then the drop.
            QDragEnterEvent enter(QPoint(40, y), Qt::CopyAction | Qt::MoveAction, data,
                                  Qt::LeftButton, Qt::NoModifier);
            QCoreApplication::sendEvent(e.view(), &enter);
            QDropEvent event(QPointF(40, y), Qt::CopyAction | Qt::MoveAction, data, Qt::LeftButton,
                             Qt::NoModifier);
            QCoreApplication::sendEvent(e.view(), &event);
            const bool taken = event.isAccepted();
            delete data;
            return taken;
        };
        const int secondRow = TAnalyserView::AxisHeight + TAnalyserView::RowHeight + 5;
        auto* text = new QMimeData;
        text->setText(QStringLiteral("Host.P2\r\n  Host.TXD\n\n"));
        QVERIFY(drop(text, secondRow));
        QCOMPARE(e.paths(), QStringList({QStringLiteral("Host.P1.0"), QStringLiteral("Host.P2"),
                                         QStringLiteral("Host.TXD"), QStringLiteral("Host.P1.1")}));
        QCOMPARE(e.undo()->undoText(), QStringLiteral("Analyser Rows"));

        auto* row = new QMimeData;
        row->setData(TAnalyserView::RowsMime, "row 3");
        QVERIFY(drop(row, TAnalyserView::AxisHeight + 2));
        QCOMPARE(e.paths().first(), QStringLiteral("Host.P1.1"));
        QCOMPARE(e.paths().size(), 4);

        auto* nonsense = new QMimeData;
        nonsense->setText(QStringLiteral("Nothing.Here"));
        QVERIFY(!drop(nonsense, secondRow));
        QVERIFY(e.dialogs->LastText().contains(QStringLiteral("Nothing.Here")));
        auto* forged = new QMimeData;
        forged->setData(TAnalyserView::RowsMime, "row 99");
        QVERIFY(!drop(forged, secondRow));
        QCOMPARE(e.paths().size(), 4);
        // A component dragged from the board (middle button) brings its contacts.
        QVERIFY(drop(BoardContextMenu::DragData(e.find(QStringLiteral("P10"))), 1000));
        QCOMPARE(e.paths().size(), 5);
        QCOMPARE(e.paths().last(), QStringLiteral("P10.Pin"));
    }

private:
    std::unique_ptr<QTemporaryDir> m_settings;
};

QTEST_MAIN(TestAnalyserSetup)
#include "test_analysersetup.moc"
