// The main window: tool bar and menus, placing and naming, selecting, moving, resizing,
// deleting, the grid, the view modes and Run.
#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QScrollArea>
#include <QScrollBar>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>
#include <QToolTip>
#include <QWheelEvent>
#include <QWindow>
#include <QtTest>
#include <memory>

#include "components/gates.h"
#include "components/leds.h"
#include "components/pins.h"
#include "components/switches.h"
#include "editor/brelvanfrm.h"
#include "editor/brelvanprop.h"
#include "editor/componenttable.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "platform/hostmessages.h"
#include "simulation/brelvanclasses.h"
#include "tests/support/windowfixture.h"

namespace {

// A shown main window with the dialog recorder and the manual clock installed around it.
struct Editor : WindowFixture {
    int componentCount() const { return int(window->Board()->OwnedComponents().size()); }
};

void sendMouse(QWidget* widget, QEvent::Type type, QPoint pos, Qt::MouseButton button,
               Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QMouseEvent event(type, QPointF(pos), widget->mapToGlobal(QPointF(pos)), button, buttons,
                      modifiers);
    QApplication::sendEvent(widget, &event);
}

void hover(QWidget* widget, QPoint pos) {
    sendMouse(widget, QEvent::MouseMove, pos, Qt::NoButton, Qt::NoButton);
}

void dragWithLeft(QWidget* widget, QPoint from, QPoint to) {
    QTest::mousePress(widget, Qt::LeftButton, Qt::NoModifier, from);
    sendMouse(widget, QEvent::MouseMove, to, Qt::NoButton, Qt::LeftButton);
    QTest::mouseRelease(widget, Qt::LeftButton, Qt::NoModifier, to);
}

void wheel(QWidget* widget, int delta, Qt::KeyboardModifiers modifiers) {
    const QPointF pos(10, 10);
    QWheelEvent event(pos, widget->mapToGlobal(pos), QPoint(), QPoint(0, delta), Qt::NoButton,
                      modifiers, Qt::NoScrollPhase, false);
    QApplication::sendEvent(widget, &event);
}

template <typename T> T* putOn(TfrmPlugin& window, const QString& name, QPoint at) {
    auto* component = new T(window.Board());
    component->SetName(name);
    component->move(at);
    window.WireComponent(component);
    return component;
}

QStringList names(const QList<TOrvexGraphicComponent*>& components) {
    QStringList result;
    for (const TOrvexGraphicComponent* component : components)
        result << component->Name();
    return result;
}

} // namespace

class TestMainWindow : public QObject {
    Q_OBJECT

private slots:
    void toolBarButtons();
    void menuCommands_data();
    void menuCommands();
    void componentTableLookup_data();
    void componentTableLookup();
    void naming_data();
    void naming();
    void clickPlacesOnGrid_data();
    void clickPlacesOnGrid();
    void doubleClickPlacesInCentre();
    void secondClickAfterDoubleClickTimeDisarms();
    void scrolledBoardPlacesInView();
    void lcdToolsPlaceModules();
    void dragMovesInGridSteps();
    void moveStopsAtEdges_data();
    void moveStopsAtEdges();
    void resizeFromCorner_data();
    void resizeFromCorner();
    void clickSelects_data();
    void clickSelects();
    void rubberBandSelects();
    void deleteKey_data();
    void deleteKey();
    void gridDialog_data();
    void gridDialog();
    void ctrlWheel_data();
    void ctrlWheel();
    void gridPainting_data();
    void gridPainting();
    void visibilityMenu();
    void runTogglesEditing();
    void runSimulatesBoard();
    void newWhileRunning();
    void simulationStartsOnlyFromRun();
    void oscillationInStatusBar();
    void closeEmptiesBoard();
    void propertiesWindowBelongsToMainWindow();
    void hintInStatusBar();
};

// ---------------------------------------------------------------- tool bar, menus, table

void TestMainWindow::toolBarButtons() {
    Editor e;
    const QStringList expected = {
        "tbLED",       "tbTwoColorLED", "tbSevenSeg", "tbBulb", "tbSwitch", "tbRoundBtn",
        "tbSquareBtn", "tbDiode",       "tbInvertor", "tbNAND", "tbPIN",    "tbPort",
        "tbDrPort",    "tbSelector",    "tbBus",      "tbVcc",  "tbGnd",    "tbLine",
        "tbLCDAlpha",  "tbLCDGraph",    "tbRun"};
    QStringList order;
    for (QToolButton* button : e.window->ToolButtons())
        order << button->objectName();
    QCOMPARE(order, expected);
    // Separators after the bulb, the square button, the gate and the graphic LCD.
    QStringList layout;
    for (QAction* action : e.window->ToolBar()->actions()) {
        if (action->isSeparator())
            layout << "|";
        else if (auto* button =
                     qobject_cast<QToolButton*>(e.window->ToolBar()->widgetForAction(action)))
            layout << button->objectName();
    }
    QCOMPARE(layout.join(' '), QStringLiteral("tbLED tbTwoColorLED tbSevenSeg tbBulb | tbSwitch "
                                              "tbRoundBtn tbSquareBtn | tbDiode tbInvertor "
                                              "tbNAND | tbPIN tbPort tbDrPort tbSelector tbBus "
                                              "tbVcc tbGnd tbLine tbLCDAlpha tbLCDGraph | tbRun"));

    QCOMPARE(e.window->ToolBar()->iconSize(), QSize(24, 24));
    for (int tag = 1; tag <= ComponentTable::RowCount; ++tag) {
        QToolButton* button = e.window->ToolButton(tag);
        QVERIFY(button);
        const QString className = ComponentTable::Row(tag)->ClassName;
        QCOMPARE(button->toolTip(), className.mid(1));
        QVERIFY2(!button->icon().isNull(), qPrintable(className));
        QCOMPARE(button->size(), QSize(35, 30));
        QVERIFY(button->isCheckable());
    }
    QCOMPARE(e.window->ToolButton(ToolTag::GateAND)->objectName(), QStringLiteral("tbNAND"));
    QCOMPARE(e.window->ToolButton(ToolTag::DispSeg)->toolTip(), QStringLiteral("DispSeg"));
    QCOMPARE(e.window->ToolButton(ToolTag::UDrivenPort)->toolTip(), QStringLiteral("UDrivenPort"));
    QToolButton* run = e.window->RunButton();
    QCOMPARE(run, e.window->ToolButtons().last());
    QCOMPARE(run->text(), QStringLiteral("Run"));
    QVERIFY(run->isCheckable());
    QVERIFY(!run->icon().isNull());
    QCOMPARE(e.window->windowTitle(), QStringLiteral("untitled[*] - Brelvan"));
    QVERIFY(!e.window->windowIcon().isNull());
}

void TestMainWindow::menuCommands_data() {
    QTest::addColumn<QString>("menu");
    QTest::addColumn<QString>("item");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QKeySequence>("shortcut");
    QTest::newRow("New") << "&File"
                         << "miNew"
                         << "&New" << QKeySequence("Ctrl+N");
    QTest::newRow("Save") << "&File"
                          << "miSave"
                          << "&Save" << QKeySequence("Ctrl+S");
    QTest::newRow("Save As") << "&File"
                             << "miSaveAs"
                             << "Save &As" << QKeySequence();
    QTest::newRow("Open") << "&File"
                          << "miLoad"
                          << "&Open" << QKeySequence("Ctrl+O");
    QTest::newRow("Exit") << "&File"
                          << "miExit"
                          << "E&xit" << QKeySequence();
    QTest::newRow("Undo") << "&Edit"
                          << "miUndo"
                          << "&Undo" << QKeySequence("Ctrl+Z");
    QTest::newRow("Redo") << "&Edit"
                          << "miRedo"
                          << "&Redo" << QKeySequence("Ctrl+Shift+Z");
    QTest::newRow("Cut") << "&Edit"
                         << "miCut"
                         << "Cu&t" << QKeySequence("Ctrl+X");
    QTest::newRow("Copy") << "&Edit"
                          << "miCopy"
                          << "&Copy" << QKeySequence("Ctrl+C");
    QTest::newRow("Paste") << "&Edit"
                           << "miPaste"
                           << "&Paste" << QKeySequence("Ctrl+V");
    QTest::newRow("Duplicate") << "&Edit"
                               << "miDuplicate"
                               << "&Duplicate" << QKeySequence("Ctrl+D");
    QTest::newRow("Select All") << "&Edit"
                                << "miSelectAll"
                                << "Select &All" << QKeySequence("Ctrl+A");
    QTest::newRow("properties") << "&View"
                                << "CyclePropFrm"
                                << "Show/Hide properties window" << QKeySequence("F4");
    QTest::newRow("grid") << "&View"
                          << "Gridsize1"
                          << "&Grid size" << QKeySequence();
    QTest::newRow("schematic") << "V&isibility"
                               << "miInvisible"
                               << "&Schematic" << QKeySequence();
    QTest::newRow("hybrid") << "V&isibility"
                            << "mSchematic"
                            << "&Hybrid" << QKeySequence();
    QTest::newRow("components") << "V&isibility"
                                << "miComponent"
                                << "&Components Only" << QKeySequence();
    QTest::newRow("on top") << "V&isibility"
                            << "miStayOnTop"
                            << "Stay on top" << QKeySequence();
}

void TestMainWindow::menuCommands() {
    QFETCH(QString, menu);
    QFETCH(QString, item);
    QFETCH(QString, caption);
    QFETCH(QKeySequence, shortcut);
    Editor e;
    QMenu* found = nullptr;
    for (QAction* action : e.window->menuBar()->actions())
        if (action->text() == menu) found = action->menu();
    QVERIFY(found);
    QAction* action = found->findChild<QAction*>(item);
    QVERIFY(action);
    QVERIFY(found->actions().contains(action));
    QCOMPARE(action->text(), caption);
    QCOMPARE(action->shortcut(), shortcut);
}

void TestMainWindow::componentTableLookup_data() {
    QTest::addColumn<QString>("className");
    QTest::addColumn<int>("tag");
    QTest::addColumn<QSize>("size");
    QTest::newRow("exact") << "TLED" << 1 << QSize(32, 32);
    QTest::newRow("any case") << "tgateand" << 18 << QSize(116, 60);
    QTest::newRow("selector") << "TUSelector" << 17 << QSize(75, 88);
    QTest::newRow("line") << "TLINE" << 15 << QSize(16, 4);
    QTest::newRow("graphic LCD") << "TLCDGraph" << 20 << QSize(294, 166);
    QTest::newRow("not placeable") << "TTimer" << 0 << QSize();
    QTest::newRow("empty") << "" << 0 << QSize();
}

void TestMainWindow::componentTableLookup() {
    QFETCH(QString, className);
    QFETCH(int, tag);
    QFETCH(QSize, size);
    QCOMPARE(ComponentTable::TagOf(className), tag);
    const ComponentRow* row = ComponentTable::Find(className);
    QCOMPARE(row != nullptr, tag != 0);
    if (!row) return;
    QCOMPARE(row->Tag, tag);
    QCOMPARE(QSize(row->Width, row->Height), size);
    QCOMPARE(ComponentTable::Rows().size(), qsizetype(ComponentTable::RowCount));
}

// ---------------------------------------------------------------- placing and naming

void TestMainWindow::naming_data() {
    QTest::addColumn<int>("existingTag");      // the class of the components already there
    QTest::addColumn<QStringList>("existing"); // their names, in ownership order
    QTest::addColumn<QString>("otherChild");   // a plain label of the board with that name
    QTest::addColumn<QList<int>>("tags");      // placed one after another
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("two LEDs") << int(ToolTag::LED) << QStringList() << QString()
                              << QList<int>{ToolTag::LED, ToolTag::LED}
                              << QStringList{"LED1", "LED2"};
    QTest::newRow("after 1 and 2") << int(ToolTag::LED) << QStringList{"LED1", "LED2"} << QString()
                                   << QList<int>{ToolTag::LED} << QStringList{"LED3"};
    QTest::newRow("2 owned before 1")
        << int(ToolTag::LED) << QStringList{"LED2", "LED1"} << QString() << QList<int>{ToolTag::LED}
        << QStringList{"LED3"};
    QTest::newRow("gap is not filled") << int(ToolTag::Bulb) << QStringList{"Bulb2"} << QString()
                                       << QList<int>{ToolTag::Bulb} << QStringList{"Bulb1"};
    QTest::newRow("name taken by a label") << int(ToolTag::Bulb) << QStringList() << "bulb1"
                                           << QList<int>{ToolTag::Bulb} << QStringList{"Bulb2"};
    QTest::newRow("two-colour LED")
        << int(ToolTag::LED) << QStringList{"LED1"} << QString() << QList<int>{ToolTag::TwoColorLED}
        << QStringList{"TwoColorLED1"};
    QTest::newRow("NAND button") << int(ToolTag::Bulb) << QStringList() << QString()
                                 << QList<int>{ToolTag::GateAND, ToolTag::GateAND}
                                 << QStringList{"GateAND1", "GateAND2"};
    QTest::newRow("per class") << int(ToolTag::Bulb) << QStringList{"Bulb1"} << QString()
                               << QList<int>{ToolTag::Switch, ToolTag::Invertor}
                               << QStringList{"Switch1", "Invertor1"};
}

void TestMainWindow::naming() {
    QFETCH(int, existingTag);
    QFETCH(QStringList, existing);
    QFETCH(QString, otherChild);
    QFETCH(QList<int>, tags);
    QFETCH(QStringList, expected);
    Editor e;
    int x = 8;
    for (const QString& name : existing) {
        TOrvexGraphicComponent* component = ComponentTable::Create(existingTag, e.board());
        component->SetName(name);
        component->move(x, 200);
        x += 40;
    }
    if (!otherChild.isEmpty()) (new QLabel(e.board()))->setObjectName(otherChild);
    QStringList placed;
    for (int i = 0; i < tags.size(); ++i) {
        TOrvexGraphicComponent* component = e.placeAt(tags[i], QPoint(8 + 120 * i, 40));
        QVERIFY(component);
        placed << component->Name();
        QCOMPARE(component->Hint(),
                 component->Name() + " : " + component->metaObject()->className());
    }
    QCOMPARE(placed, expected);
}

void TestMainWindow::clickPlacesOnGrid_data() {
    QTest::addColumn<int>("grid");
    QTest::addColumn<QPoint>("click");
    QTest::addColumn<QPoint>("topLeft");
    QTest::newRow("grid 4") << 4 << QPoint(13, 50) << QPoint(12, 48);
    QTest::newRow("grid 8") << 8 << QPoint(13, 50) << QPoint(8, 48);
    QTest::newRow("on a grid point") << 4 << QPoint(16, 20) << QPoint(16, 20);
    QTest::newRow("grid 1") << 1 << QPoint(13, 50) << QPoint(13, 50);
}

void TestMainWindow::clickPlacesOnGrid() {
    QFETCH(int, grid);
    QFETCH(QPoint, click);
    QFETCH(QPoint, topLeft);
    Editor e;
    e.window->SetGridSize(grid);
    QVERIFY(!e.window->Modified());
    TOrvexGraphicComponent* bulb = e.placeAt(ToolTag::Bulb, click);
    QVERIFY(bulb);
    QCOMPARE(bulb->pos(), topLeft);
    QCOMPARE(bulb->size(), QSize(32, 32));
    QVERIFY(e.window->Modified());
    QCOMPARE(e.window->CurrentTool(), 0);
    QVERIFY(!e.window->ToolButton(ToolTag::Bulb)->isChecked());
    // The new component is not selected.
    QVERIFY(!bulb->Selected());
    QVERIFY(!e.window->EditedObject());
    // A click without an armed tool places nothing.
    QTest::mouseClick(e.board(), Qt::LeftButton, Qt::NoModifier, QPoint(200, 200));
    QCOMPARE(e.componentCount(), 1);
}

void TestMainWindow::doubleClickPlacesInCentre() {
    Editor e;
    QToolButton* button = e.window->ToolButton(ToolTag::Invertor);
    auto doubleClick = [&] {
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(e.window->CurrentTool(), ToolTag::Invertor);
        QVERIFY(button->isChecked());
        e.clock->Advance(e.clock->DoubleClickTime() - 1);
        QTest::mouseClick(button, Qt::LeftButton);
    };
    const QRect client = e.window->ClientArea();
    const QPoint centre((client.width() / 2 - 116 / 2) / 4 * 4,
                        (client.height() / 2 - 60 / 2) / 4 * 4);
    doubleClick();
    QCOMPARE(e.componentCount(), 1);
    TOrvexGraphicComponent* first = e.newest();
    QCOMPARE(first->pos(), centre);
    QCOMPARE(first->size(), QSize(116, 60));
    QCOMPARE(e.window->CurrentTool(), 0);
    QVERIFY(!button->isChecked());
    QVERIFY(e.window->Modified());

    doubleClick();
    QCOMPARE(e.componentCount(), 2);
    QCOMPARE(e.newest()->pos(), centre + QPoint(4, 4));
    // The newest stands in front.
    QCOMPARE(e.window->Board()->ComponentsInChildOrder().last(), e.newest());
}

void TestMainWindow::secondClickAfterDoubleClickTimeDisarms() {
    Editor e;
    QToolButton* button = e.window->ToolButton(ToolTag::Bulb);
    QTest::mouseClick(button, Qt::LeftButton);
    QCOMPARE(e.window->CurrentTool(), ToolTag::Bulb);
    e.clock->Advance(e.clock->DoubleClickTime());
    QTest::mouseClick(button, Qt::LeftButton);
    QCOMPARE(e.window->CurrentTool(), 0);
    QVERIFY(!button->isChecked());
    QCOMPARE(e.componentCount(), 0);
    // Arming another tool releases the first.
    QTest::mouseClick(button, Qt::LeftButton);
    QTest::mouseClick(e.window->ToolButton(ToolTag::Switch), Qt::LeftButton);
    QVERIFY(!button->isChecked());
    QVERIFY(e.window->ToolButton(ToolTag::Switch)->isChecked());
    QCOMPARE(e.window->CurrentTool(), ToolTag::Switch);
}

void TestMainWindow::scrolledBoardPlacesInView() {
    Editor e;
    e.window->resize(400, 320);
    putOn<TBulb>(*e.window, "Bulb1", QPoint(1200, 900))->resize(32, 32);
    QCoreApplication::processEvents();
    QScrollBar* horizontal = e.window->ScrollArea()->horizontalScrollBar();
    QScrollBar* vertical = e.window->ScrollArea()->verticalScrollBar();
    horizontal->setValue(horizontal->maximum());
    vertical->setValue(vertical->maximum());
    const QRect client = e.window->ClientArea();
    QVERIFY(client.left() > 0 && client.top() > 0);
    QVERIFY(client.contains(e.newest()->geometry()));
    // The centre of what the user sees, not of the board's origin.
    QToolButton* button = e.window->ToolButton(ToolTag::Bulb);
    QTest::mouseClick(button, Qt::LeftButton);
    QTest::mouseClick(button, Qt::LeftButton);
    TOrvexGraphicComponent* bulb = e.newest();
    QCOMPARE(bulb->Name(), QStringLiteral("Bulb2"));
    QVERIFY(client.contains(bulb->geometry()));
    QCOMPARE(bulb->pos(), QPoint((client.left() + client.width() / 2 - 16) / 4 * 4,
                                 (client.top() + client.height() / 2 - 16) / 4 * 4));
}

void TestMainWindow::lcdToolsPlaceModules() {
    Editor e;
    TOrvexGraphicComponent* alpha = e.placeAt(ToolTag::LCDAlpha, QPoint(40, 40));
    QVERIFY(alpha);
    QCOMPARE(alpha->Name(), QStringLiteral("LCDAlpha1"));
    QCOMPARE(alpha->size(), QSize(230, 74));
    TOrvexGraphicComponent* graph = e.placeAt(ToolTag::LCDAlpha + 1, QPoint(40, 160));
    QCOMPARE(graph->Name(), QStringLiteral("LCDGraph1"));
    QCOMPARE(graph->size(), QSize(294, 166));
    QCOMPARE(e.componentCount(), 2);
    // The size follows the glass only: a resize from outside is refused.
    alpha->SetWidth(400);
    QCOMPARE(alpha->width(), 230);
}

// ---------------------------------------------------------------- moving and resizing

void TestMainWindow::dragMovesInGridSteps() {
    Editor e;
    TOrvexGraphicComponent* bulb = e.placeAt(ToolTag::Bulb, QPoint(40, 40));
    QCOMPARE(bulb->pos(), QPoint(40, 40));
    QTest::mousePress(bulb, Qt::LeftButton, Qt::NoModifier, QPoint(10, 10));
    QCOMPARE(e.window->EditedObject(), bulb);
    QVERIFY(bulb->Selected());
    QCOMPARE(QPoint(e.window->DownX(), e.window->DownY()), QPoint(10, 10));
    e.window->SetModified(false);
    // 9 right and 3 up of the grab point: two grid steps right, none up.
    sendMouse(bulb, QEvent::MouseMove, QPoint(19, 7), Qt::NoButton, Qt::LeftButton);
    QCOMPARE(bulb->pos(), QPoint(48, 40));
    QVERIFY(e.window->Modified());
    // The component followed the pointer: the same screen point is now 8 further left in it.
    sendMouse(bulb, QEvent::MouseMove, QPoint(11, 14), Qt::NoButton, Qt::LeftButton);
    QCOMPARE(bulb->pos(), QPoint(48, 44));
    QTest::mouseRelease(bulb, Qt::LeftButton, Qt::NoModifier, QPoint(11, 14));
}

void TestMainWindow::moveStopsAtEdges_data() {
    QTest::addColumn<QString>("where");
    QTest::addColumn<bool>("multi");
    QTest::addColumn<QPoint>("delta");
    QTest::addColumn<QPoint>("moved"); // the change of position
    QTest::newRow("lone at right edge") << "right" << false << QPoint(4, 0) << QPoint(0, 0);
    QTest::newRow("selection passes right") << "right" << true << QPoint(4, 0) << QPoint(4, 0);
    QTest::newRow("lone at bottom edge") << "bottom" << false << QPoint(0, 4) << QPoint(0, 0);
    QTest::newRow("selection passes bottom") << "bottom" << true << QPoint(0, 4) << QPoint(0, 4);
    QTest::newRow("lone over the edge moves back")
        << "beyond" << false << QPoint(-8, 0) << QPoint(-8, 0);
    QTest::newRow("not above 0") << "topleft" << false << QPoint(0, -8) << QPoint(0, 0);
    QTest::newRow("selection not above 0") << "topleft" << true << QPoint(0, -8) << QPoint(0, 0);
    QTest::newRow("up to 0") << "topleft" << false << QPoint(0, -4) << QPoint(0, -4);
    QTest::newRow("not left of 4") << "topleft" << true << QPoint(-8, 0) << QPoint(0, 0);
    QTest::newRow("left to 4") << "topleft" << false << QPoint(-4, 0) << QPoint(-4, 0);
}

void TestMainWindow::moveStopsAtEdges() {
    QFETCH(QString, where);
    QFETCH(bool, multi);
    QFETCH(QPoint, delta);
    QFETCH(QPoint, moved);
    Editor e;
    const QRect client = e.window->ClientArea();
    QPoint at(8, 4);
    if (where == "right") at = QPoint(client.width() - 32 - 2, 100);
    if (where == "bottom") at = QPoint(100, client.height() - 32 - 2);
    if (where == "beyond") at = QPoint(client.width() - 16, 100);
    auto* bulb = putOn<TBulb>(*e.window, "Bulb1", at);
    bulb->resize(32, 32);
    if (multi) {
        // A second component selected with it by the rubber band.
        auto* other = putOn<TBulb>(*e.window, "Bulb2", QPoint(200, 200));
        other->resize(32, 32);
        const QRect both = (bulb->geometry() | other->geometry()).adjusted(-1, -1, 2, 2);
        dragWithLeft(e.board(), both.topLeft(), both.bottomRight());
        QCOMPARE(e.window->Selection().size(), 2);
    }
    e.window->MoveComponentBy(bulb, delta.x(), delta.y());
    QCOMPARE(bulb->pos(), at + moved);
}

void TestMainWindow::resizeFromCorner_data() {
    QTest::addColumn<int>("tag");
    QTest::addColumn<int>("grid");
    QTest::addColumn<QPoint>("to"); // where the corner is dragged, in the component
    QTest::addColumn<QSize>("size");
    QTest::newRow("grid 4 minimum") << int(ToolTag::GateAND) << 4 << QPoint(5, 5) << QSize(24, 24);
    QTest::newRow("grid 8 minimum") << int(ToolTag::GateAND) << 8 << QPoint(5, 5) << QSize(48, 48);
    QTest::newRow("grid 4 larger")
        << int(ToolTag::GateAND) << 4 << QPoint(101, 50) << QSize(100, 48);
    QTest::newRow("grid 4 one way") << int(ToolTag::GateAND) << 4 << QPoint(3, 70) << QSize(24, 68);
    QTest::newRow("horizontal line, grid 4")
        << int(ToolTag::Line) << 4 << QPoint(101, 10) << QSize(100, 3);
    QTest::newRow("horizontal line, grid 8")
        << int(ToolTag::Line) << 8 << QPoint(101, 10) << QSize(96, 5);
    QTest::newRow("vertical line, grid 4")
        << int(ToolTag::Line) << 4 << QPoint(5, 101) << QSize(3, 100);
    QTest::newRow("vertical line, grid 8")
        << int(ToolTag::Line) << 8 << QPoint(5, 101) << QSize(5, 96);
    QTest::newRow("square drag makes a line upright")
        << int(ToolTag::Line) << 4 << QPoint(5, 5) << QSize(3, 24);
}

void TestMainWindow::resizeFromCorner() {
    QFETCH(int, tag);
    QFETCH(int, grid);
    QFETCH(QPoint, to);
    QFETCH(QSize, size);
    Editor e;
    e.window->SetGridSize(grid);
    TOrvexGraphicComponent* component = e.placeAt(tag, QPoint(40, 40));
    const ComponentRow* row = ComponentTable::Row(tag);
    QCOMPARE(component->size(), QSize(row->Width, row->Height));
    const QPoint corner(row->Width - 3, row->Height - 2);
    // Elsewhere the default cursor; over the lower right corner the sizing cursor.
    hover(component, QPoint(1, 1));
    QCOMPARE(component->cursor().shape(), Qt::ArrowCursor);
    hover(component, corner);
    QCOMPARE(component->cursor().shape(), Qt::SizeFDiagCursor);
    e.window->SetModified(false);
    QTest::mousePress(component, Qt::LeftButton, Qt::NoModifier, corner);
    sendMouse(component, QEvent::MouseMove, to, Qt::NoButton, Qt::LeftButton);
    QTest::mouseRelease(component, Qt::LeftButton, Qt::NoModifier, to);
    QCOMPARE(component->size(), size);
    QCOMPARE(component->pos(), QPoint(40, 40));
    QVERIFY(e.window->Modified());
}

// ---------------------------------------------------------------- selecting and deleting

void TestMainWindow::clickSelects_data() {
    QTest::addColumn<Qt::MouseButton>("button");
    QTest::newRow("left") << Qt::LeftButton;
    QTest::newRow("right") << Qt::RightButton;
}

void TestMainWindow::clickSelects() {
    QFETCH(Qt::MouseButton, button);
    Editor e;
    auto* a = putOn<TBulb>(*e.window, "Bulb1", QPoint(40, 40));
    auto* b = putOn<TSwitch>(*e.window, "Switch1", QPoint(120, 40));
    QTest::mouseClick(a, button);
    QCOMPARE(e.window->EditedObject(), a);
    QVERIFY(a->Selected());
    QTest::mouseClick(b, button);
    QCOMPARE(e.window->EditedObject(), b);
    QVERIFY(!a->Selected());
    QVERIFY(b->Selected());
    // A left press on the empty board drops the selection.
    QTest::mouseClick(e.board(), Qt::LeftButton, Qt::NoModifier, QPoint(300, 300));
    QVERIFY(!b->Selected());
    QVERIFY(!e.window->EditedObject());
}

void TestMainWindow::rubberBandSelects() {
    Editor e;
    auto* a = putOn<TBulb>(*e.window, "Bulb1", QPoint(40, 40));
    auto* b = putOn<TBulb>(*e.window, "Bulb2", QPoint(100, 40));
    auto* c = putOn<TBulb>(*e.window, "Bulb3", QPoint(300, 40));
    for (auto* bulb : {a, b, c})
        bulb->resize(32, 32);
    QTest::mouseClick(c, Qt::LeftButton);
    QCOMPARE(e.window->EditedObject(), c);

    // Dragged up and to the left: the rectangle is the same as the other way round. Edges that
    // touch count as inside.
    QTest::mousePress(e.board(), Qt::LeftButton, Qt::NoModifier, QPoint(132, 72));
    QVERIFY(e.window->SelectRect()->isVisible());
    QVERIFY(!c->Selected());
    QVERIFY(!e.window->EditedObject());
    sendMouse(e.board(), QEvent::MouseMove, QPoint(60, 50), Qt::NoButton, Qt::LeftButton);
    sendMouse(e.board(), QEvent::MouseMove, QPoint(40, 40), Qt::NoButton, Qt::LeftButton);
    QTest::mouseRelease(e.board(), Qt::LeftButton, Qt::NoModifier, QPoint(40, 40));
    QVERIFY(!e.window->SelectRect()->isVisible());
    QCOMPARE(names(e.window->Selection()), (QStringList{"Bulb1", "Bulb2"}));
    QVERIFY(a->Selected() && b->Selected() && !c->Selected());
    QVERIFY(!e.window->EditedObject());

    // Dragging one member moves the whole selection.
    QTest::mousePress(a, Qt::LeftButton, Qt::NoModifier, QPoint(4, 4));
    sendMouse(a, QEvent::MouseMove, QPoint(12, 4), Qt::NoButton, Qt::LeftButton);
    QTest::mouseRelease(a, Qt::LeftButton, Qt::NoModifier, QPoint(12, 4));
    QCOMPARE(a->pos(), QPoint(48, 40));
    QCOMPARE(b->pos(), QPoint(108, 40));
    QCOMPARE(c->pos(), QPoint(300, 40));
    QCOMPARE(e.window->Selection().size(), 2);
    // The corner of a selected member does not resize.
    hover(a, QPoint(30, 30));
    QCOMPARE(a->cursor().shape(), Qt::ArrowCursor);

    // A band around a single component makes it the single selection.
    dragWithLeft(e.board(), QPoint(290, 30), QPoint(340, 80));
    QVERIFY(e.window->Selection().isEmpty());
    QCOMPARE(e.window->EditedObject(), c);
    QVERIFY(c->Selected() && !a->Selected() && !b->Selected());

    // A right press ends a band without selecting; its release selects nothing either.
    QTest::mousePress(e.board(), Qt::LeftButton, Qt::NoModifier, QPoint(30, 30));
    QTest::mousePress(e.board(), Qt::RightButton, Qt::NoModifier, QPoint(400, 400));
    QVERIFY(!e.window->SelectRect()->isVisible());
    QTest::mouseRelease(e.board(), Qt::RightButton, Qt::NoModifier, QPoint(400, 400));
    QTest::mouseRelease(e.board(), Qt::LeftButton, Qt::NoModifier, QPoint(400, 400));
    QVERIFY(e.window->Selection().isEmpty());
    QVERIFY(!a->Selected() && !b->Selected() && !c->Selected());
}

void TestMainWindow::deleteKey_data() {
    QTest::addColumn<QString>("select"); // "band" (Bulb1, Bulb2), "single" (Bulb3), "none", "all"
    QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
    QTest::addColumn<QStringList>("left");
    QTest::addColumn<bool>("modified");
    QTest::newRow("multi-selection")
        << "band" << Qt::KeyboardModifiers() << QStringList{"Bulb3"} << true;
    QTest::newRow("single") << "single" << Qt::KeyboardModifiers() << QStringList{"Bulb1", "Bulb2"}
                            << true;
    QTest::newRow("nothing") << "none" << Qt::KeyboardModifiers()
                             << QStringList{"Bulb1", "Bulb2", "Bulb3"} << false;
    QTest::newRow("last ones") << "all" << Qt::KeyboardModifiers() << QStringList() << false;
    QTest::newRow("with Shift") << "single" << Qt::KeyboardModifiers(Qt::ShiftModifier)
                                << QStringList{"Bulb1", "Bulb2", "Bulb3"} << false;
    QTest::newRow("with Ctrl") << "band" << Qt::KeyboardModifiers(Qt::ControlModifier)
                               << QStringList{"Bulb1", "Bulb2", "Bulb3"} << false;
}

void TestMainWindow::deleteKey() {
    QFETCH(QString, select);
    QFETCH(Qt::KeyboardModifiers, modifiers);
    QFETCH(QStringList, left);
    QFETCH(bool, modified);
    Editor e;
    putOn<TBulb>(*e.window, "Bulb1", QPoint(40, 40))->resize(32, 32);
    putOn<TBulb>(*e.window, "Bulb2", QPoint(100, 40))->resize(32, 32);
    auto* third = putOn<TBulb>(*e.window, "Bulb3", QPoint(300, 40));
    third->resize(32, 32);
    if (select == "band") dragWithLeft(e.board(), QPoint(30, 30), QPoint(140, 80));
    if (select == "all") dragWithLeft(e.board(), QPoint(30, 30), QPoint(340, 80));
    if (select == "single") QTest::mouseClick(third, Qt::LeftButton);
    QVERIFY(e.window->Selection().size() == (select == "band" ? 2 : select == "all" ? 3 : 0));
    e.window->SetModified(false);
    QTest::keyClick(e.window.get(), Qt::Key_Delete, modifiers);
    QCOMPARE(names(e.window->Board()->OwnedComponents()), left);
    QCOMPARE(e.window->Modified(), modified);
    if (!modifiers) {
        QVERIFY(e.window->Selection().isEmpty());
        QVERIFY(!e.window->EditedObject());
    }
}

// ---------------------------------------------------------------- the grid

void TestMainWindow::gridDialog_data() {
    QTest::addColumn<std::optional<QString>>("answer");
    QTest::addColumn<int>("size");
    QTest::addColumn<QString>("message");
    QTest::newRow("number") << std::optional<QString>("7") << 7 << QString();
    QTest::newRow("blanks around") << std::optional<QString>(" 6 ") << 6 << QString();
    QTest::newRow("not a number") << std::optional<QString>("abc") << 5 << "Wrong value!";
    QTest::newRow("too long for an integer")
        << std::optional<QString>("99999999999") << 5 << "Wrong value!";
    QTest::newRow("zero") << std::optional<QString>("0") << 1 << QString();
    QTest::newRow("negative") << std::optional<QString>("-5") << 1 << QString();
    QTest::newRow("huge") << std::optional<QString>("2000000") << TfrmPlugin::MaxGridSize
                          << QString();
    QTest::newRow("cancelled") << std::optional<QString>() << 5 << QString();
}

void TestMainWindow::gridDialog() {
    QFETCH(std::optional<QString>, answer);
    QFETCH(int, size);
    QFETCH(QString, message);
    Editor e;
    e.window->SetGridSize(5);
    e.dialogs->inputAnswers << answer;
    e.window->findChild<QAction*>("Gridsize1")->trigger();
    QCOMPARE(e.window->GridSize(), size);
    if (message.isEmpty()) {
        QVERIFY(e.dialogs->messages.isEmpty());
    } else {
        QCOMPARE(e.dialogs->messages.size(), 1);
        QCOMPARE(e.dialogs->messages[0].text, message);
        QCOMPARE(e.dialogs->messages[0].caption, QStringLiteral("Error"));
        QCOMPARE(e.dialogs->messages[0].icon, MessageIcon::Error);
    }
}

void TestMainWindow::ctrlWheel_data() {
    QTest::addColumn<int>("start");
    QTest::addColumn<QList<int>>("deltas");
    QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
    QTest::addColumn<int>("size");
    const auto ctrl = Qt::KeyboardModifiers(Qt::ControlModifier);
    QTest::newRow("towards the user at 1") << 1 << QList<int>{-120} << ctrl << 1;
    QTest::newRow("away") << 4 << QList<int>{120} << ctrl << 5;
    QTest::newRow("towards") << 4 << QList<int>{-120, -120} << ctrl << 2;
    QTest::newRow("half notches add up") << 4 << QList<int>{60, 60} << ctrl << 5;
    QTest::newRow("without Ctrl") << 4 << QList<int>{120} << Qt::KeyboardModifiers() << 4;
}

void TestMainWindow::ctrlWheel() {
    QFETCH(int, start);
    QFETCH(QList<int>, deltas);
    QFETCH(Qt::KeyboardModifiers, modifiers);
    QFETCH(int, size);
    Editor e;
    e.window->SetGridSize(start);
    for (int delta : deltas)
        wheel(e.board(), delta, modifiers);
    QCOMPARE(e.window->GridSize(), size);
}

void TestMainWindow::gridPainting_data() {
    QTest::addColumn<int>("grid");
    QTest::addColumn<bool>("running");
    QTest::addColumn<QList<QPoint>>("dots");
    QTest::addColumn<QList<QPoint>>("blank");
    QTest::newRow("grid 3") << 3 << false << QList<QPoint>{{3, 3}, {12, 6}, {24, 21}}
                            << QList<QPoint>{{4, 3}, {0, 0}, {13, 12}};
    QTest::newRow("grid 10") << 10 << false << QList<QPoint>{{10, 10}, {30, 20}}
                             << QList<QPoint>{{15, 10}, {11, 11}};
    QTest::newRow("grid 1") << 1 << false << QList<QPoint>() << QList<QPoint>{{3, 3}, {4, 4}};
    QTest::newRow("running") << 4 << true << QList<QPoint>() << QList<QPoint>{{4, 4}, {8, 8}};
}

void TestMainWindow::gridPainting() {
    QFETCH(int, grid);
    QFETCH(bool, running);
    QFETCH(QList<QPoint>, dots);
    QFETCH(QList<QPoint>, blank);
    Editor e;
    e.window->SetGridSize(grid);
    if (running) e.window->tbRunClick();
    const QImage image = e.board()->grab().toImage();
    const QColor window = e.board()->palette().color(QPalette::Window);
    for (const QPoint& p : dots)
        QVERIFY2(image.pixelColor(p) == QColor(Qt::black), qPrintable(QString::number(p.x())));
    for (const QPoint& p : blank)
        QVERIFY2(image.pixelColor(p) == window, qPrintable(QString::number(p.x())));
}

// ---------------------------------------------------------------- view modes

void TestMainWindow::visibilityMenu() {
    Editor e;
    TOrvexGraphicComponent* bulb = e.placeAt(ToolTag::Bulb, QPoint(40, 40));
    QCOMPARE(bulb->Visibility(), vs_Hybrid);
    QVERIFY(e.window->VisibilityItem(1)->isChecked());
    e.window->VisibilityItem(0)->trigger();
    QCOMPARE(bulb->Visibility(), vs_Schematic);
    QVERIFY(e.window->VisibilityItem(0)->isChecked());
    QVERIFY(!e.window->VisibilityItem(1)->isChecked());
    // A new component takes the mode of the menu.
    TOrvexGraphicComponent* gate = e.placeAt(ToolTag::GateAND, QPoint(100, 100));
    QCOMPARE(gate->Visibility(), vs_Schematic);
    e.window->VisibilityItem(2)->trigger();
    QCOMPARE(bulb->Visibility(), vs_Component);
    QCOMPARE(gate->Visibility(), vs_Component);
    QVERIFY(!e.window->VisibilityItem(0)->isChecked());
}

// ---------------------------------------------------------------- Run, New, closing

void TestMainWindow::runTogglesEditing() {
    Editor e;
    TOrvexGraphicComponent* bulb = e.placeAt(ToolTag::Bulb, QPoint(40, 40));
    QTest::mouseClick(bulb, Qt::LeftButton);
    QVERIFY(bulb->Selected());
    QTest::mouseClick(e.window->ToolButton(ToolTag::Switch), Qt::LeftButton);
    QCOMPARE(e.window->CurrentTool(), ToolTag::Switch);

    QTest::mouseClick(e.window->RunButton(), Qt::LeftButton);
    QVERIFY(e.window->Running());
    QVERIFY(e.window->RunButton()->isChecked());
    QVERIFY(!e.window->Suspended());
    QCOMPARE(e.window->CurrentTool(), 0);
    QVERIFY(!bulb->Selected());
    QVERIFY(!e.window->EditedObject());
    for (QToolButton* button : e.window->ToolButtons())
        QCOMPARE(button->isEnabled(), button == e.window->RunButton());
    QVERIFY(!e.window->FileMenu()->menuAction()->isEnabled());
    for (QAction* action : e.window->FileMenu()->actions())
        QVERIFY(!action->isEnabled());
    QVERIFY(e.window->ViewMenu()->menuAction()->isEnabled());
    QVERIFY(e.window->VisibilityMenu()->menuAction()->isEnabled());
    QCOMPARE(e.window->StatusText(), QStringLiteral("Running"));

    // Editing is off: clicks do not select, Delete does not delete, drags do not move.
    QTest::mouseClick(bulb, Qt::LeftButton);
    QVERIFY(!bulb->Selected());
    QVERIFY(!e.window->EditedObject());
    QTest::mousePress(bulb, Qt::LeftButton, Qt::NoModifier, QPoint(4, 4));
    sendMouse(bulb, QEvent::MouseMove, QPoint(20, 20), Qt::NoButton, Qt::LeftButton);
    QTest::mouseRelease(bulb, Qt::LeftButton, Qt::NoModifier, QPoint(20, 20));
    QCOMPARE(bulb->pos(), QPoint(40, 40));
    QTest::keyClick(e.window.get(), Qt::Key_Delete);
    QCOMPARE(e.componentCount(), 1);

    QTest::mouseClick(e.window->RunButton(), Qt::LeftButton);
    QVERIFY(!e.window->Running());
    QVERIFY(!e.window->RunButton()->isChecked());
    QVERIFY(e.window->Suspended());
    QVERIFY(e.window->Nodes().empty());
    for (QToolButton* button : e.window->ToolButtons())
        QVERIFY(button->isEnabled());
    QVERIFY(e.window->FileMenu()->menuAction()->isEnabled());
    for (QAction* action : e.window->FileMenu()->actions()) {
        // Open Recent is offered only when there is a recent board.
        if (action->menu())
            QCOMPARE(action->isEnabled(), !action->menu()->actions().isEmpty());
        else
            QVERIFY(action->isEnabled());
    }
    QCOMPARE(e.window->StatusText(), QString());
}

void TestMainWindow::runSimulatesBoard() {
    Editor e;
    auto* vcc = putOn<TVcc>(*e.window, "Vcc1", QPoint(8, 40));
    auto* sw = putOn<TSwitch>(*e.window, "Switch1", QPoint(60, 40));
    auto* bulb = putOn<TBulb>(*e.window, "Bulb1", QPoint(120, 40));
    auto* gnd = putOn<TGND>(*e.window, "GND1", QPoint(180, 40));
    sw->resize(32, 32);
    sw->SetContact1(vcc->Pin());
    bulb->SetContact1(sw->SwitchControl()->Contact2());
    bulb->SetContact2(gnd->Pin());

    e.window->tbRunClick();
    QVERIFY(!e.window->Nodes().empty());
    QTest::mousePress(sw, Qt::LeftButton, Qt::NoModifier, QPoint(16, 16));
    QVERIFY(bulb->Control()->Lit());
    QTest::mouseRelease(sw, Qt::LeftButton, Qt::NoModifier, QPoint(16, 16));
    QVERIFY(!bulb->Control()->Lit());
    e.window->tbRunClick();
    QVERIFY(e.window->Nodes().empty());
    QVERIFY(!e.window->CommonVcc());
}

void TestMainWindow::newWhileRunning() {
    Editor e;
    e.placeAt(ToolTag::Bulb, QPoint(40, 40));
    e.placeAt(ToolTag::GateAND, QPoint(100, 100));
    e.window->SetFileName(QStringLiteral("board.ovd"));
    e.window->tbRunClick();
    QVERIFY(e.window->Running());
    QVERIFY(e.window->ClearBoard());
    QVERIFY(!e.window->Running());
    QVERIFY(!e.window->RunButton()->isChecked());
    QVERIFY(e.window->Nodes().empty());
    QVERIFY(e.window->Suspended());
    QCOMPARE(e.componentCount(), 0);
    QVERIFY(!e.window->Modified());
    QVERIFY(e.window->FileName().isEmpty());
    QVERIFY(e.window->ToolButton(ToolTag::Bulb)->isEnabled());
    // The numbering starts again.
    QCOMPARE(e.placeAt(ToolTag::Bulb, QPoint(40, 40))->Name(), QStringLiteral("Bulb1"));
}

void TestMainWindow::simulationStartsOnlyFromRun() {
    Editor e;
    auto* pin = putOn<TUPin>(*e.window, "UPin1", QPoint(40, 40));
    Q_UNUSED(pin);
    // Showing again, the host's start message and host accesses do not start or reach anything.
    e.window->hide();
    e.window->show();
    QVERIFY(e.window->Nodes().empty());
    QCOMPARE(e.window->HandleMessage(HostMsg::HostStart, 0, 0), qintptr(0));
    QVERIFY(e.window->Nodes().empty());
    QVERIFY(e.window->Suspended());
    QCOMPARE(e.window->HandleMessage(HostMsg::HostAccess, PackHostAccessW(2, 0x90),
                                     PackHostAccessL(0xFF, 0xFF)),
             qintptr(0));
    // Hiding while running leaves Run as it is: only the Run button stops it.
    e.window->tbRunClick();
    e.window->hide();
    QVERIFY(!e.window->Nodes().empty());
    e.window->show();
    e.window->tbRunClick();
    QVERIFY(e.window->Nodes().empty());
}

void TestMainWindow::oscillationInStatusBar() {
    Editor e;
    e.window->tbRunClick();
    e.window->ReportOscillation(QStringLiteral("GateAND1.Output"));
    QVERIFY(e.window->StatusText().startsWith(QStringLiteral("Running")));
    QVERIFY(e.window->StatusText().contains(QStringLiteral("GateAND1.Output")));
    e.window->tbRunClick();
    QVERIFY(!e.window->StatusText().contains(QStringLiteral("Running")));
    // A new run starts without the old report.
    e.window->tbRunClick();
    QCOMPARE(e.window->StatusText(), QStringLiteral("Running"));
}

void TestMainWindow::closeEmptiesBoard() {
    Editor e;
    e.placeAt(ToolTag::Bulb, QPoint(40, 40));
    e.window->tbRunClick();
    e.dialogs->saveQuestionAnswers << SaveAnswer::Discard;
    QVERIFY(e.window->close());
    QCOMPARE(e.componentCount(), 0);
    QVERIFY(!e.window->Running());
}

// The properties window stays above the main window only: a tool window the window system keeps
// over its owner, never above the file dialogs and message boxes, whatever Stay on Top does.
void TestMainWindow::propertiesWindowBelongsToMainWindow() {
    Editor e;
    TfrmProp* props = e.window->PropertiesWindow();
    props->show();
    QVERIFY(QTest::qWaitForWindowExposed(props));
    for (int toggle = 0; toggle < 3; ++toggle) {
        QCOMPARE(props->windowType(), Qt::Tool);
        QVERIFY(!props->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        QCOMPARE(props->parentWidget(), e.window.get());
        QVERIFY(props->windowHandle());
        QCOMPARE(props->windowHandle()->transientParent(), e.window->windowHandle());
        e.window->miStayOnTopClick();
    }
}

// A component's hint shows in the status bar while the pointer is over it, not as a tooltip
// where the probe opens; the tool buttons keep theirs.
void TestMainWindow::hintInStatusBar() {
    Editor e;
    TOrvexGraphicComponent* led = e.placeAt(ToolTag::LED, QPoint(96, 96));
    QVERIFY(led);
    led->SetHint(QStringLiteral("power indicator"));
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(led->mapToGlobal(QPoint(5, 5))));
    QCoreApplication::sendEvent(led, &enter);
    QCOMPARE(e.window->statusBar()->currentMessage(), QStringLiteral("power indicator"));
    QHelpEvent help(QEvent::ToolTip, QPoint(5, 5), led->mapToGlobal(QPoint(5, 5)));
    QCoreApplication::sendEvent(led, &help);
    QVERIFY(!QToolTip::isVisible());
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(led, &leave);
    QCOMPARE(e.window->statusBar()->currentMessage(), QString());

    // Running, the probe owns the hover: no hint.
    e.window->RunButton()->click();
    QCoreApplication::sendEvent(led, &enter);
    QCOMPARE(e.window->statusBar()->currentMessage(), QString());
    e.window->RunButton()->click();

    QCOMPARE(e.window->ToolButton(ToolTag::LED)->toolTip(), QStringLiteral("LED"));
}

QTEST_MAIN(TestMainWindow)
#include "test_mainwindow.moc"
