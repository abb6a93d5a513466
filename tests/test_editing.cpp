// Editing that never loses work: the modified mark and the title, the save question, Open that
// reads before it replaces, Open Recent, undo and redo of every kind of change, the clipboard and
// the arrow keys. Also a board built only through the property grid.
#include <QAction>
#include <QClipboard>
#include <QComboBox>
#include <QFile>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMenu>
#include <QRegularExpression>
#include <QScrollArea>
#include <QSet>
#include <QSettings>
#include <QTemporaryDir>
#include <QToolButton>
#include <QUndoStack>
#include <QtTest>
#include <algorithm>
#include <memory>

#include "components/drivenports.h"
#include "components/leds.h"
#include "components/pins.h"
#include "components/ports.h"
#include "components/switches.h"
#include "editor/boardfile.h"
#include "editor/brelvanfrm.h"
#include "editor/brelvanprop.h"
#include "editor/componenttable.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "properties/propertyeditor.h"
#include "properties/propertytext.h"
#include "tests/support/windowfixture.h"

namespace {

const QString EveryClassBoard = QStringLiteral(BRELVAN_SOURCE_DIR "/tests/boards/every_class.ovd");

struct Editor : WindowFixture {
    template <typename T> T* put(const QString& name, QPoint at) {
        auto* component = new T(board());
        component->SetName(name);
        component->setGeometry(QRect(at, QSize(32, 32)));
        window->WireComponent(component);
        return component;
    }
    QStringList names() const {
        QStringList result;
        for (const TOrvexGraphicComponent* component : board()->OwnedComponents())
            result << component->Name();
        result.sort();
        return result;
    }
    void type(const QString& prop, const QString& text) {
        auto* edit = qobject_cast<QLineEdit*>(grid()->Row(prop)->Editor);
        QVERIFY(edit);
        edit->selectAll();
        QTest::keyClicks(edit, text);
        QTest::keyClick(edit, Qt::Key_Return);
    }
};

void dragWithLeft(QWidget* widget, QPoint from, QPoint to) {
    QTest::mousePress(widget, Qt::LeftButton, Qt::NoModifier, from);
    QMouseEvent move(QEvent::MouseMove, QPointF(to), widget->mapToGlobal(QPointF(to)), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &move);
    QTest::mouseRelease(widget, Qt::LeftButton, Qt::NoModifier, to);
}

// SW1 - LED1 - GND1 wired, with a wire held by each side: the switch names the LED's anode, the
// LED names the ground pin.
void wiredBoard(Editor& e) {
    auto* sw = e.put<TSwitch>("SW1", QPoint(40, 40));
    auto* led = e.put<TLED>("LED1", QPoint(100, 40));
    auto* gnd = e.put<TGND>("GND1", QPoint(160, 40));
    sw->SetContact2(led->DiodeControl()->Contact1());
    led->SetCathode(gnd->Pin());
}

} // namespace

class TestEditing : public QObject {
    Q_OBJECT

private slots:
    void copyEqualsOriginal_data();
    void copyEqualsOriginal();
    void wireThroughGrid();
    void titleAndModifiedMark();
    void saveQuestion_data();
    void saveQuestion();
    void badOpenKeepsBoard();
    void recentFiles();
    void undoRedo_data();
    void undoRedo();
    void undoToSavedState();
    void stackClearedByNewAndOpen();
    void copyPasteBetweenBoards();
    void pasteKeepsWiresToTheBoard();
    void duplicateAndSelectAll();
    void pastesCascade();
    void arrowKeys();

private:
    ScratchSettings m_settings; // recent files never go to the user's settings
};

// Every way a component comes back as a new one (a copy pasted, a duplicate, a cut pasted, a
// delete undone) gives its block of the board file again, property for property and wire for
// wire; only the name differs, and for a paste the place.
void TestEditing::copyEqualsOriginal_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("operation");
    QFile file(EveryClassBoard);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QRegularExpression header(QStringLiteral("^object (\\w+): (\\w+)"),
                                    QRegularExpression::MultilineOption);
    QSet<QString> classes;
    for (const QRegularExpressionMatch& match :
         header.globalMatch(QString::fromLatin1(file.readAll()))) {
        classes.insert(match.captured(2));
        for (const char* operation : {"copy, paste", "duplicate", "cut, paste", "delete, undo"})
            QTest::addRow("%s %s", qPrintable(match.captured(1)), operation)
                << match.captured(1) << QString::fromLatin1(operation);
    }
    QCOMPARE(classes.size(), ComponentTable::RowCount); // the board holds every class
}

void TestEditing::copyEqualsOriginal() {
    QFETCH(QString, name);
    QFETCH(QString, operation);
    Editor e;
    QVERIFY(e.window->LoadFromFile(EveryClassBoard));
    QCOMPARE(e.dialogs->LastText(), QStringLiteral("22 objects loaded."));
    e.dialogs->Clear();
    TOrvexGraphicComponent* original = e.find(name);
    QVERIFY(original);
    const auto block = [&e](TOrvexGraphicComponent* component) {
        return BoardFile::WriteComponents(e.board(), {component}, 0);
    };
    const QString before = block(original);
    const QPoint at = original->pos();
    const int step = 2 * e.window->GridSize();
    QPoint expected = at + QPoint(step, step);
    e.window->ObjectClick(original, false);
    if (operation == "copy, paste") {
        e.window->CopyClick();
        e.window->PasteClick();
    }
    if (operation == "duplicate") e.window->DuplicateClick();
    if (operation == "cut, paste") {
        e.window->CutClick();
        QVERIFY(!e.find(name));
        e.window->PasteClick();
    }
    if (operation == "delete, undo") {
        QVERIFY(e.window->ObjectKeyDown(Qt::Key_Delete, Qt::NoModifier));
        QVERIFY(!e.find(name));
        e.undo()->undo();
        expected = at;
    }
    QVERIFY2(e.dialogs->messages.isEmpty(), qPrintable(e.dialogs->LastText()));
    const QList<TOrvexGraphicComponent*> selected = e.window->SelectedComponents();
    TOrvexGraphicComponent* copy = operation == "delete, undo" ? e.find(name)
                                   : selected.size() == 1      ? selected.first()
                                                               : nullptr;
    QVERIFY(copy);
    QCOMPARE(copy->pos(), expected);
    // The copy's block with the original's name and place.
    QString after = block(copy);
    after.replace(QStringLiteral("object %1:").arg(copy->Name()),
                  QStringLiteral("object %1:").arg(name));
    after.replace(QStringLiteral("  Left = %1\r\n").arg(copy->x()),
                  QStringLiteral("  Left = %1\r\n").arg(at.x()));
    after.replace(QStringLiteral("  Top = %1\r\n").arg(copy->y()),
                  QStringLiteral("  Top = %1\r\n").arg(at.y()));
    QCOMPARE(after, before);
}

void TestEditing::wireThroughGrid() {
    Editor e;
    auto* vcc = e.placeAt(ToolTag::Vcc, QPoint(40, 40));
    auto* sw = e.placeAt(ToolTag::Switch, QPoint(120, 40));
    auto* led = e.placeAt(ToolTag::LED, QPoint(200, 40));
    auto* gnd = e.placeAt(ToolTag::GND, QPoint(280, 40));
    QCOMPARE(e.names(), (QStringList{"GND1", "LED1", "Switch1", "Vcc1"}));
    QTest::mouseClick(sw, Qt::RightButton);
    QVERIFY(e.window->PropertiesWindow()->isVisible());
    e.choose("Contact1", "Vcc1.Pin");
    QTest::mouseClick(led, Qt::LeftButton);
    e.choose("Anode", "Switch1.Contact2");
    e.choose("Cathode", "GND1.Pin");
    QCOMPARE(e.undo()->count(), 7);
    QVERIFY(e.window->Modified());

    e.window->tbRunClick();
    auto* lit = static_cast<TLED*>(led)->Control();
    QVERIFY(!lit->Lit());
    QTest::mousePress(sw, Qt::LeftButton, Qt::NoModifier, QPoint(16, 16));
    QVERIFY(lit->Lit());
    QTest::mouseRelease(sw, Qt::LeftButton, Qt::NoModifier, QPoint(16, 16));
    QVERIFY(!lit->Lit());
    e.window->tbRunClick();
    QVERIFY(e.window->Modified()); // running changed nothing of the board, and kept the mark
    QCOMPARE(e.undo()->count(), 7);
    Q_UNUSED(vcc);
    Q_UNUSED(gnd);

    // Ctrl+Y redoes as well as Ctrl+Shift+Z.
    QVERIFY(e.window->EditMenu()->findChild<QAction*>("miRedo")->shortcuts().contains(
        QKeySequence("Ctrl+Y")));
    for (int step = 0; step < 7; ++step)
        e.window->EditMenu()->findChild<QAction*>("miUndo")->trigger();
    QVERIFY(e.names().isEmpty());
    QVERIFY(!e.window->Modified());
    QVERIFY(!e.undo()->canUndo());
    // And forward again: the same wired board.
    for (int step = 0; step < 7; ++step)
        e.undo()->redo();
    QCOMPARE(e.property("LED1", "Anode"), QStringLiteral("Switch1.Contact2"));
    QCOMPARE(e.property("LED1", "Cathode"), QStringLiteral("GND1.Pin"));
    QCOMPARE(e.property("Switch1", "Contact1"), QStringLiteral("Vcc1.Pin"));
}

void TestEditing::titleAndModifiedMark() {
    QTemporaryDir dir;
    Editor e;
    QCOMPARE(e.window->windowTitle(), QStringLiteral("untitled[*] - Brelvan"));
    QVERIFY(!e.window->isWindowModified());
    e.placeAt(ToolTag::LED, QPoint(40, 40));
    QVERIFY(e.window->isWindowModified());
    QVERIFY(e.window->SaveToFile(dir.filePath("lamp.ovd")));
    e.window->SetFileName(dir.filePath("lamp.ovd"));
    e.window->miSaveClick(); // a Save under the name keeps it and clears the mark
    QVERIFY(!e.window->isWindowModified());
    QVERIFY(!e.window->Modified());
    e.dialogs->saveAnswers << dir.filePath("other.ovd");
    e.window->miSaveAsClick();
    QCOMPARE(e.window->windowTitle(), QStringLiteral("other.ovd[*] - Brelvan"));
}

void TestEditing::saveQuestion_data() {
    QTest::addColumn<QString>("command");
    QTest::addColumn<SaveAnswer>("answer");
    QTest::addColumn<bool>("saveAs"); // the Save As dialog gives a name (else it is cancelled)
    QTest::addColumn<bool>("goesOn");
    for (const char* command : {"new", "open", "exit"}) {
        QTest::addRow("%s, save", command) << command << SaveAnswer::Save << true << true;
        QTest::addRow("%s, save cancelled", command)
            << command << SaveAnswer::Save << false << false;
        QTest::addRow("%s, discard", command) << command << SaveAnswer::Discard << false << true;
        QTest::addRow("%s, cancel", command) << command << SaveAnswer::Cancel << false << false;
    }
}

void TestEditing::saveQuestion() {
    QFETCH(QString, command);
    QFETCH(SaveAnswer, answer);
    QFETCH(bool, saveAs);
    QFETCH(bool, goesOn);
    QTemporaryDir dir;
    Editor e;
    QFile other(dir.filePath("other.ovd"));
    QVERIFY(other.open(QIODevice::WriteOnly));
    other.write("object Bulb7: TBulb\r\nend\r\n");
    other.close();
    e.placeAt(ToolTag::LED, QPoint(40, 40));
    e.dialogs->saveQuestionAnswers << answer;
    if (saveAs) e.dialogs->saveAnswers << dir.filePath("saved.ovd");
    e.dialogs->openAnswers << other.fileName();
    bool closed = false;
    if (command == "new") e.window->miNewClick();
    if (command == "open") e.window->miLoadClick();
    if (command == "exit") closed = e.window->close();

    QCOMPARE(e.dialogs->saveQuestions, QStringList{"Save changes to untitled?"});
    QCOMPARE(QFile::exists(dir.filePath("saved.ovd")), saveAs);
    if (!goesOn) {
        QCOMPARE(e.names(), QStringList{"LED1"});
        QVERIFY(e.window->Modified());
        QVERIFY(!closed);
        QVERIFY(e.undo()->canUndo());
        return;
    }
    if (command == "new") QVERIFY(e.names().isEmpty());
    if (command == "open") QCOMPARE(e.names(), QStringList{"Bulb7"});
    if (command == "exit") QVERIFY(closed);
    QVERIFY(!e.window->Modified());
}

void TestEditing::badOpenKeepsBoard() {
    QTemporaryDir dir;
    Editor e;
    wiredBoard(e);
    e.window->SetFileName(dir.filePath("mine.ovd"));
    e.window->SetModified(true);
    const QString before = e.sortedText();
    QFile bad(dir.filePath("bad.ovd"));
    QVERIFY(bad.open(QIODevice::WriteOnly));
    bad.write("object LED9: TLED\r\n  Color = cled_PURPLE\r\nend\r\n");
    bad.close();
    // The question comes first; cancelled, nothing is read.
    QVERIFY(!e.window->OpenFile(bad.fileName()));
    QCOMPARE(e.dialogs->saveQuestions.size(), 1);
    QVERIFY(e.dialogs->messages.isEmpty());
    e.dialogs->saveQuestionAnswers << SaveAnswer::Discard;
    QVERIFY(!e.window->OpenFile(bad.fileName()));
    QCOMPARE(e.sortedText(), before);
    QCOMPARE(e.window->FileName(), dir.filePath("mine.ovd"));
    QVERIFY(e.window->Modified());
    QCOMPARE(e.dialogs->messages.last().caption, QStringLiteral("Error"));
    QVERIFY(e.dialogs->messages.last().text.contains("cled_PURPLE"));
}

void TestEditing::recentFiles() {
    QTemporaryDir dir;
    QSettings(QStringLiteral("Brelvan"), QStringLiteral("Brelvan")).clear();
    Editor e;
    e.placeAt(ToolTag::LED, QPoint(40, 40));
    for (int i = 1; i <= 10; ++i)
        QVERIFY(e.window->SaveToFile(dir.filePath(QStringLiteral("b%1.ovd").arg(i))));
    QVERIFY(e.window->SaveToFile(dir.filePath("b5.ovd")));
    const QStringList recent = e.window->RecentFiles();
    QCOMPARE(recent.size(), TfrmPlugin::MaxRecentFiles);
    QCOMPARE(recent[0], dir.filePath("b5.ovd"));
    QCOMPARE(recent[1], dir.filePath("b10.ovd"));
    QCOMPARE(recent.count(dir.filePath("b5.ovd")), 1);
    QCOMPARE(e.window->RecentMenu()->actions().size(), TfrmPlugin::MaxRecentFiles);

    // A second window finds them, and opening one asks first.
    Editor second;
    QCOMPARE(second.window->RecentFiles(), recent);
    second.placeAt(ToolTag::Switch, QPoint(40, 40));
    second.dialogs->saveQuestionAnswers << SaveAnswer::Discard;
    second.window->RecentMenu()->actions().at(1)->trigger();
    QCOMPARE(second.dialogs->saveQuestions.size(), 1);
    QCOMPARE(second.names(), QStringList{"LED1"});
    QCOMPARE(second.window->FileName(), dir.filePath("b10.ovd"));
}

void TestEditing::undoRedo_data() {
    QTest::addColumn<QString>("edit");
    for (const char* edit :
         {"place", "move", "resize", "colour", "rename", "wire", "unwire", "delete wired",
          "delete from the menu", "delete all", "delete port", "paste", "arrow"})
        QTest::newRow(edit) << edit;
}

void TestEditing::undoRedo() {
    QFETCH(QString, edit);
    Editor e;
    wiredBoard(e);
    // A reference that is no wire: the latch reads the port.
    auto* port = e.put<TUPort>("UPort1", QPoint(40, 200));
    auto* latch = e.put<TUDrivenPort>("UDrivenPort1", QPoint(200, 200));
    latch->SetInputPort(port->Port());
    auto* led = e.find("LED1");
    // A saved board: emptying it is a change as well.
    e.window->SetFileName(QStringLiteral("board.ovd"));
    e.window->SetModified(false);
    const QString before = e.sortedText();
    if (edit == "place") e.placeAt(ToolTag::LED, QPoint(300, 200));
    if (edit == "move") dragWithLeft(led, QPoint(10, 10), QPoint(30, 50));
    if (edit == "resize") {
        QTest::mouseMove(led, QPoint(30, 30));
        QMouseEvent hover(QEvent::MouseMove, QPointF(30, 30), led->mapToGlobal(QPointF(30, 30)),
                          Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(led, &hover);
        dragWithLeft(led, QPoint(30, 30), QPoint(60, 50));
    }
    if (edit == "colour" || edit == "rename" || edit == "wire" || edit == "unwire") {
        QTest::mouseClick(led, Qt::LeftButton);
        if (edit == "colour") e.choose("Color", "cled_GREEN");
        if (edit == "rename") e.type("Name", "Lamp");
        if (edit == "wire") e.choose("Cathode", "SW1.Contact1");
        if (edit == "unwire") e.choose("Anode", "nil");
    }
    if (edit == "delete wired") {
        QTest::mouseClick(led, Qt::LeftButton);
        QTest::keyClick(e.window.get(), Qt::Key_Delete);
    }
    if (edit == "delete from the menu") {
        QTest::mouseClick(led, Qt::LeftButton);
        auto* item = e.window->EditMenu()->findChild<QAction*>("miDelete");
        QVERIFY(item);
        QCOMPARE(item->shortcut(), QKeySequence(Qt::Key_Delete));
        item->trigger();
        QVERIFY(!e.find("LED1"));
    }
    if (edit == "delete port") {
        QTest::mouseClick(port, Qt::LeftButton);
        QTest::keyClick(e.window.get(), Qt::Key_Delete);
        QCOMPARE(e.property("UDrivenPort1", "InputPort"), QStringLiteral("nil"));
    }
    if (edit == "delete all") {
        e.window->SelectAllClick();
        QTest::keyClick(e.window.get(), Qt::Key_Delete);
    }
    if (edit == "paste") {
        QTest::mouseClick(led, Qt::LeftButton);
        e.window->PasteText(e.window->SelectionText());
    }
    if (edit == "arrow") {
        QTest::mouseClick(led, Qt::LeftButton);
        QTest::keyClick(e.window.get(), Qt::Key_Down);
    }
    const QString after = e.sortedText();
    QVERIFY(after != before);
    QVERIFY(e.window->Modified());
    QCOMPARE(e.undo()->count(), 1);
    e.undo()->undo();
    QCOMPARE(e.sortedText(), before);
    QVERIFY(!e.window->Modified());
    QCOMPARE(e.property("UDrivenPort1", "InputPort"), QStringLiteral("UPort1.Port"));
    e.undo()->redo();
    QCOMPARE(e.sortedText(), after);
    QVERIFY(e.window->Modified());
    e.undo()->undo();
    QCOMPARE(e.sortedText(), before);
}

void TestEditing::undoToSavedState() {
    QTemporaryDir dir;
    Editor e;
    e.placeAt(ToolTag::LED, QPoint(40, 40));
    e.placeAt(ToolTag::LED, QPoint(100, 40));
    QVERIFY(e.window->SaveToFile(dir.filePath("two.ovd")));
    QVERIFY(!e.window->Modified());
    e.undo()->undo();
    QVERIFY(e.window->Modified()); // back beyond the saved board
    e.undo()->redo();
    QVERIFY(!e.window->Modified());
    e.placeAt(ToolTag::LED, QPoint(160, 40));
    QVERIFY(e.window->Modified());
    e.undo()->undo();
    QVERIFY(!e.window->Modified());
}

void TestEditing::stackClearedByNewAndOpen() {
    QTemporaryDir dir;
    Editor e;
    e.placeAt(ToolTag::LED, QPoint(40, 40));
    QVERIFY(e.window->SaveToFile(dir.filePath("one.ovd")));
    e.placeAt(ToolTag::LED, QPoint(100, 40));
    e.dialogs->saveQuestionAnswers << SaveAnswer::Discard;
    QVERIFY(e.window->OpenFile(dir.filePath("one.ovd")));
    QVERIFY(!e.undo()->canUndo());
    QVERIFY(!e.window->EditMenu()->findChild<QAction*>("miUndo")->isEnabled());
    e.placeAt(ToolTag::LED, QPoint(100, 40));
    e.dialogs->saveQuestionAnswers << SaveAnswer::Discard;
    e.window->miNewClick();
    QVERIFY(!e.undo()->canUndo());
    QVERIFY(e.names().isEmpty());
}

void TestEditing::copyPasteBetweenBoards() {
    Editor a;
    wiredBoard(a);
    a.find("GND1")->move(400, 300);
    dragWithLeft(a.board(), QPoint(30, 30), QPoint(140, 80)); // SW1 and LED1
    QCOMPARE(a.window->Selection().size(), 2);
    const QString text = a.window->SelectionText();
    QVERIFY(text.contains("object SW1: TSwitch"));
    QVERIFY(text.contains("object LED1: TLED"));
    QVERIFY(!text.contains("object GND1")); // not its block, but the wire to it
    QVERIFY(text.contains("Cathode = GND1.Pin"));

    Editor b;
    b.put<TLED>("LED1", QPoint(300, 300));
    b.put<TSwitch>("Switch1", QPoint(300, 200));
    b.window->PasteText(text);
    QCOMPARE(b.names(), (QStringList{"LED1", "LED2", "SW1", "Switch1"}));
    QCOMPARE(b.property("LED2", "Anode"), QStringLiteral("SW1.Contact2"));
    QCOMPARE(b.property("SW1", "Contact2"), QStringLiteral("LED2.Anode"));
    const auto wires = [&](const char* led, bool anode) {
        TDiodeCtl* control = static_cast<TLED*>(b.find(QLatin1String(led)))->DiodeControl();
        return (anode ? control->Contact1() : control->Contact2())->ConnectionCount();
    };
    QCOMPARE(wires("LED2", false), 0); // this board has no GND1, and the user hears so
    QCOMPARE(wires("LED1", true), 0);  // the board's own LED1 took nothing
    QCOMPARE(b.dialogs->messages.size(), 1);
    QVERIFY2(b.dialogs->LastText().contains("without these wires") &&
                 b.dialogs->LastText().contains("LED2.Cathode = GND1.Pin"),
             qPrintable(b.dialogs->LastText()));
    b.dialogs->Clear();
    QCOMPARE(b.find("LED2")->pos(), a.find("LED1")->pos() + QPoint(8, 8)); // two grid steps
    QCOMPARE(b.find("SW1")->pos(), a.find("SW1")->pos() + QPoint(8, 8));
    QCOMPARE(b.window->Selection().size(), 2);
    QVERIFY(b.find("LED2")->Selected());
    b.undo()->undo();
    QCOMPARE(b.names(), (QStringList{"LED1", "Switch1"}));

    // Text that is no board pastes nothing and says so.
    QGuiApplication::clipboard()->setText(QStringLiteral("just some words"));
    b.window->EditMenu()->findChild<QAction*>("miPaste")->trigger();
    QCOMPARE(b.names(), (QStringList{"LED1", "Switch1"}));
    QCOMPARE(b.dialogs->messages.size(), 1);
    QVERIFY(b.dialogs->LastText().startsWith("Nothing was pasted"));
    // The clipboard carries the text the copy wrote.
    a.window->EditMenu()->findChild<QAction*>("miCopy")->trigger();
    QCOMPARE(QGuiApplication::clipboard()->text(), text);
}

// Pasted where the partners are, the copy keeps the wires the original has to them; cut and
// pasted, a component comes back with its wires.
void TestEditing::pasteKeepsWiresToTheBoard() {
    Editor e;
    wiredBoard(e);
    QTest::mouseClick(e.find("LED1"), Qt::LeftButton);
    e.window->DuplicateClick();
    QCOMPARE(e.names(), (QStringList{"GND1", "LED1", "LED2", "SW1"}));
    QCOMPARE(e.property("LED2", "Anode"), QStringLiteral("SW1.Contact2"));
    QCOMPARE(e.property("LED2", "Cathode"), QStringLiteral("GND1.Pin"));
    QCOMPARE(e.property("LED1", "Cathode"), QStringLiteral("GND1.Pin")); // the original keeps it
    QVERIFY(e.dialogs->messages.isEmpty());
    e.undo()->undo();
    QCOMPARE(e.names(), (QStringList{"GND1", "LED1", "SW1"}));
    QCOMPARE(static_cast<TLED*>(e.find("LED1"))->DiodeControl()->Contact2()->ConnectionCount(), 1);

    QTest::mouseClick(e.find("LED1"), Qt::LeftButton);
    e.window->EditMenu()->findChild<QAction*>("miCut")->trigger();
    QCOMPARE(e.names(), (QStringList{"GND1", "SW1"}));
    e.window->EditMenu()->findChild<QAction*>("miPaste")->trigger();
    QCOMPARE(e.names(), (QStringList{"GND1", "LED1", "SW1"}));
    QCOMPARE(e.property("LED1", "Anode"), QStringLiteral("SW1.Contact2"));
    QCOMPARE(e.property("LED1", "Cathode"), QStringLiteral("GND1.Pin"));
    QVERIFY(e.dialogs->messages.isEmpty());
}

void TestEditing::duplicateAndSelectAll() {
    Editor e;
    wiredBoard(e);
    e.window->SelectAllClick();
    QCOMPARE(e.window->Selection().size(), 3);
    e.window->DuplicateClick();
    QCOMPARE(e.names(), (QStringList{"GND1", "GND2", "LED1", "LED2", "SW1", "Switch1"}));
    QCOMPARE(e.property("LED2", "Anode"), QStringLiteral("Switch1.Contact2"));
    QCOMPARE(e.property("LED2", "Cathode"), QStringLiteral("GND2.Pin"));
    QCOMPARE(e.property("LED1", "Cathode"), QStringLiteral("GND1.Pin"));
    QCOMPARE(e.window->Selection().size(), 3);
}

// Each paste of the same text lands two grid steps further on, each duplicate two steps from
// the one it copies; the copy is what is selected afterwards.
void TestEditing::pastesCascade() {
    Editor e;
    e.window->SetGridSize(8);
    auto* led = e.put<TLED>("LED1", QPoint(40, 40));
    e.window->ObjectClick(led, false);
    e.window->CopyClick();
    const auto pasted = [&e] {
        const QList<TOrvexGraphicComponent*> selected = e.window->SelectedComponents();
        return selected.size() == 1 ? selected.first()->pos() : QPoint(-1, -1);
    };
    e.window->PasteClick();
    QCOMPARE(pasted(), QPoint(56, 56));
    e.window->PasteClick();
    QCOMPARE(pasted(), QPoint(72, 72));
    e.window->PasteClick();
    QCOMPARE(pasted(), QPoint(88, 88));
    e.window->DuplicateClick(); // of the copy just pasted
    QCOMPARE(pasted(), QPoint(104, 104));
    e.window->DuplicateClick();
    QCOMPARE(pasted(), QPoint(120, 120));
    QCOMPARE(e.names(), (QStringList{"LED1", "LED2", "LED3", "LED4", "LED5", "LED6"}));
    // Copied again, the next paste starts over beside the original.
    e.window->ObjectClick(led, false);
    e.window->CopyClick();
    e.window->PasteClick();
    QCOMPARE(pasted(), QPoint(56, 56));
    e.window->PasteClick();
    QCOMPARE(pasted(), QPoint(72, 72));
}

void TestEditing::arrowKeys() {
    Editor e;
    wiredBoard(e);
    auto* led = e.find("LED1");
    const QPoint at = led->pos();
    QTest::keyClick(e.window.get(), Qt::Key_Right); // nothing selected: nothing moves
    QCOMPARE(led->pos(), at);
    QTest::mouseClick(led, Qt::LeftButton);
    QTest::keyClick(e.window.get(), Qt::Key_Right);
    QTest::keyClick(e.window.get(), Qt::Key_Down);
    QCOMPARE(led->pos(), at + QPoint(4, 4));
    e.window->SetGridSize(8);
    QTest::keyClick(e.window->ScrollArea(), Qt::Key_Left);
    QCOMPARE(led->pos(), at + QPoint(-4, 4));
    QCOMPARE(e.undo()->count(), 3);
    e.undo()->undo();
    e.undo()->undo();
    e.undo()->undo();
    QCOMPARE(e.find("LED1")->pos(), at);
}

QTEST_MAIN(TestEditing)
#include "test_editing.moc"
