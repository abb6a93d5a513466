// Wires drawn with the mouse: where each contact's stub lies, the lines over the board, dragging a
// wire (the grid's own property write, one undo step), the refused targets, Disconnect and the
// net highlight.
#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QMenu>
#include <QSettings>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QToolButton>
#include <QUndoStack>
#include <QtTest>
#include <memory>

#include "components/contactgeometry.h"
#include "components/gates.h"
#include "components/leds.h"
#include "components/pins.h"
#include "components/switches.h"
#include "editor/boardfile.h"
#include "editor/brelvanfrm.h"
#include "editor/brelvanprop.h"
#include "editor/componenttable.h"
#include "editor/wires.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "properties/propertyeditor.h"
#include "properties/propertytext.h"
#include "tests/support/windowfixture.h"

namespace {

struct Editor : WindowFixture {
    template <typename T> T* put(const QString& name, QPoint at) {
        auto* component = new T(board());
        component->SetName(name);
        component->setGeometry(QRect(at, QSize(32, 32)));
        window->WireComponent(component);
        component->show();
        return component;
    }
    // "LED1.Anode": the end of that contact.
    TWireEnd end(const QString& path) const {
        const QString component = path.section(QLatin1Char('.'), 0, 0);
        for (const TWireEnd& end : Wires::EndsOf(find(component)))
            if (PropertyText::PathName(end.Contact, board()) == path) return end;
        return TWireEnd();
    }
    QString text() const { return BoardFile::WriteBoard(board(), window->GridSize()).Text; }
    QString status() const { return window->statusBar()->currentMessage(); }

    // Presses on one stub, moves and releases over another, as a user draws a wire.
    void drag(const QString& fromPath, const QString& toPath) {
        const TWireEnd from = end(fromPath);
        const TWireEnd to = end(toPath);
        QVERIFY2(from.IsValid() && to.IsValid(), qPrintable(fromPath + " " + toPath));
        const QPoint start = from.Point.toPoint();
        const QPoint stop = to.Component->pos() + to.Point.toPoint() - from.Component->pos();
        QTest::mousePress(from.Component, Qt::LeftButton, Qt::NoModifier, start);
        QVERIFY(window->WireOverlay()->HasRubberLine());
        QMouseEvent move(QEvent::MouseMove, QPointF(stop),
                         from.Component->mapToGlobal(QPointF(stop)), Qt::NoButton, Qt::LeftButton,
                         Qt::NoModifier);
        QApplication::sendEvent(from.Component, &move);
        QTest::mouseRelease(from.Component, Qt::LeftButton, Qt::NoModifier, stop);
        QVERIFY(!window->WireOverlay()->HasRubberLine());
    }
};

QPointF stubOf(TOrvexGraphicComponent* component, ContactRole role) {
    for (const ContactSpot& stub : ContactStubs(component))
        if (stub.Role == role) return stub.Point;
    return QPointF(-100, -100);
}

} // namespace

class TestWires : public QObject {
    Q_OBJECT

private slots:
    void stubPoints_data();
    void stubPoints();
    void probeRegionsUnchanged();
    void boardWiredByDragging();
    void forgivingTargets_data();
    void forgivingTargets();
    void refusedTargets_data();
    void refusedTargets();
    void cancelledDrags();
    void disconnectUndoRedo();
    void linesFollowTheBoard();
    void linesFollowEditsAfterCaching();
    void netHighlight();
    void showWiresRemembered();
    void wiresShowWhileRunning();
    void lcdModulesWired();

private:
    ScratchSettings m_settings; // recent files never go to the user's settings
};

void TestWires::stubPoints_data() {
    QTest::addColumn<QString>("cls");
    QTest::addColumn<int>("orientation");
    QTest::addColumn<int>("role");
    QTest::addColumn<QPointF>("expected");
    using R = ContactRole;
    const auto row = [](const char* name, const char* cls, TOrientation o, R role, QPointF at) {
        QTest::newRow(name) << QString(cls) << int(o) << int(role) << at;
    };
    // 32 x 32 components: the stubs on the edges their pictures show them, turned with them.
    row("switch left", "TSwitch", opo_HorizontalPositive, R::Contact1, {0, 16});
    row("switch right", "TSwitch", opo_HorizontalPositive, R::Contact2, {31, 16});
    row("switch standing top", "TSwitch", opo_VerticalPositive, R::Contact1, {16, 0});
    row("switch standing bottom", "TSwitch", opo_VerticalPositive, R::Contact2, {16, 31});
    row("switch mirrored", "TSwitch", opo_HorizontalNegative, R::Contact1, {0, 16});
    row("LED anode", "TLED", opo_HorizontalPositive, R::Anode, {0, 16});
    // The LED's picture faces one way in every orientation: so do its stubs.
    row("LED turned anode", "TLED", opo_HorizontalNegative, R::Anode, {0, 16});
    row("LED down cathode", "TLED", opo_VerticalPositive, R::Cathode, {31, 16});
    row("diode turned anode", "TDiode", opo_HorizontalNegative, R::Anode, {31, 16});
    row("diode down anode", "TDiode", opo_VerticalPositive, R::Anode, {16, 0});
    row("diode up cathode", "TDiode", opo_VerticalNegative, R::Cathode, {16, 0});
    row("AND input 1", "TGateAND", opo_HorizontalPositive, R::Input1, {0, 8});
    row("AND input 2", "TGateAND", opo_HorizontalPositive, R::Input2, {0, 24});
    row("AND output", "TGateAND", opo_HorizontalPositive, R::Output, {31, 16});
    row("AND down output", "TGateAND", opo_VerticalPositive, R::Output, {16, 31});
    row("AND down input 1", "TGateAND", opo_VerticalPositive, R::Input1, {24, 0});
    row("AND left output", "TGateAND", opo_HorizontalNegative, R::Output, {0, 16});
    row("inverter left input", "TInvertor", opo_HorizontalNegative, R::Input, {31, 16});
    row("Vcc pin", "TVcc", opo_HorizontalPositive, R::Pin, {16, 31});
    row("GND pin", "TGND", opo_HorizontalPositive, R::Pin, {16, 0});
    row("bulb standing", "TBulb", opo_VerticalPositive, R::Contact2, {16, 31});
    row("display common", "TDispSeg", opo_HorizontalPositive, R::Common, {31, 30});
}

void TestWires::stubPoints() {
    QFETCH(QString, cls);
    QFETCH(int, orientation);
    QFETCH(int, role);
    QFETCH(QPointF, expected);
    Editor e;
    const ComponentRow* entry = ComponentTable::Find(cls);
    QVERIFY(entry && entry->Create);
    std::unique_ptr<TOrvexGraphicComponent> component(entry->Create(e.board()));
    component->show();
    component->SetOrientation(TOrientation(orientation));
    component->setGeometry(10, 10, 32, 32);
    const QPointF at = stubOf(component.get(), ContactRole(role));
    QVERIFY2(qAbs(at.x() - expected.x()) <= 1.5 && qAbs(at.y() - expected.y()) <= 1.5,
             qPrintable(QStringLiteral("(%1, %2)").arg(at.x()).arg(at.y())));
    // Every stub names a contact, and the stub is where a wire end is found.
    for (const TWireEnd& end : Wires::EndsOf(component.get()))
        QCOMPARE(Wires::EndAt(component.get(), end.Point, 0.5).Contact, end.Contact);
}

void TestWires::probeRegionsUnchanged() {
    // The probe still reads its regions: a turned LED's left half is its anode.
    Editor e;
    auto* led = e.put<TLED>("LED1", QPoint(10, 10));
    led->SetOrientation(opo_HorizontalNegative);
    led->setGeometry(10, 10, 32, 32);
    QCOMPARE(ContactAt(led, QPointF(2, 16)).Role, ContactRole::Anode);
    QCOMPARE(ContactSpots(led).first().Point, QPointF(0, 16));
}

void TestWires::boardWiredByDragging() {
    // The same board twice: wired through the grid, and wired only by dragging.
    Editor grid;
    grid.placeAt(ToolTag::Vcc, QPoint(40, 40));
    auto* gridSwitch = grid.placeAt(ToolTag::Switch, QPoint(120, 40));
    auto* gridLed = grid.placeAt(ToolTag::LED, QPoint(200, 40));
    grid.placeAt(ToolTag::GND, QPoint(280, 40));
    QTest::mouseClick(gridSwitch, Qt::RightButton);
    grid.choose("Contact1", "Vcc1.Pin");
    QTest::mouseClick(gridLed, Qt::LeftButton);
    grid.choose("Anode", "Switch1.Contact2");
    grid.choose("Cathode", "GND1.Pin");

    Editor e;
    e.placeAt(ToolTag::Vcc, QPoint(40, 40));
    auto* sw = e.placeAt(ToolTag::Switch, QPoint(120, 40));
    auto* led = e.placeAt(ToolTag::LED, QPoint(200, 40));
    e.placeAt(ToolTag::GND, QPoint(280, 40));
    const int placed = e.undo()->count();
    e.drag("Vcc1.Pin", "Switch1.Contact1");
    QCOMPARE(e.status(), QStringLiteral("Wired Vcc1.Pin \u2014 Switch1.Contact1"));
    e.drag("Switch1.Contact2", "LED1.Anode");
    e.drag("GND1.Pin", "LED1.Cathode");
    QCOMPARE(e.undo()->count(), placed + 3);
    QCOMPARE(e.property("Switch1", "Contact1"), QStringLiteral("Vcc1.Pin"));
    QCOMPARE(e.property("LED1", "Anode"), QStringLiteral("Switch1.Contact2"));
    QCOMPARE(e.property("LED1", "Cathode"), QStringLiteral("GND1.Pin"));
    QCOMPARE(e.text(), grid.text());

    // Saved and run: the switch lights the LED.
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("dragged.ovd"));
    QVERIFY(e.window->SaveToFile(file));
    QFile saved(file);
    QVERIFY(saved.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromUtf8(saved.readAll()), grid.text());
    e.window->tbRunClick();
    auto* lamp = static_cast<TLED*>(led)->Control();
    QVERIFY(!lamp->Lit());
    QTest::mousePress(sw, Qt::LeftButton, Qt::NoModifier, QPoint(16, 16));
    QVERIFY(lamp->Lit());
    QTest::mouseRelease(sw, Qt::LeftButton, Qt::NoModifier, QPoint(16, 16));
    e.window->tbRunClick();

    // Each wire is one step of its own.
    for (int step = 0; step < 3; ++step)
        e.undo()->undo();
    // An unwired contact's property reads the contact itself.
    QCOMPARE(e.property("Switch1", "Contact1"), QStringLiteral("Switch1.Contact1"));
    QCOMPARE(e.property("LED1", "Anode"), QStringLiteral("LED1.Anode"));
    QCOMPARE(e.property("LED1", "Cathode"), QStringLiteral("LED1.Cathode"));
    e.window->WireOverlay()->Collect();
    QVERIFY(e.window->WireOverlay()->Lines().isEmpty());
    e.undo()->redo();
    QCOMPARE(e.property("Switch1", "Contact1"), QStringLiteral("Vcc1.Pin"));
}

// A stub is reached within a few pixels: the end under the pointer shows its ring and the cross
// before the button goes down, a press there starts a wire and a release near another stub ends
// it there. A press farther away moves the part. Unwired ends show a ring of their own.
void TestWires::forgivingTargets_data() {
    QTest::addColumn<QPoint>("offset"); // from the switch's left stub, into the switch
    QTest::addColumn<bool>("reached");
    QTest::newRow("on the stub") << QPoint(0, 0) << true;
    QTest::newRow("5 px in") << QPoint(5, 0) << true;
    QTest::newRow("4 px in, 3 down") << QPoint(4, 3) << true;
    QTest::newRow("6 px below") << QPoint(0, 6) << true;
    QTest::newRow("9 px in") << QPoint(9, 0) << false;
    QTest::newRow("6 px in, 6 down") << QPoint(6, 6) << false;
}

void TestWires::forgivingTargets() {
    QFETCH(QPoint, offset);
    QFETCH(bool, reached);
    Editor e;
    auto* sw = e.put<TSwitch>("SW1", QPoint(100, 100));
    auto* led = e.put<TLED>("LED1", QPoint(200, 100));
    TWireOverlay* overlay = e.window->WireOverlay();
    const TWireEnd from = e.end("SW1.Contact1");
    const TWireEnd to = e.end("LED1.Anode");
    QVERIFY(from.IsValid() && to.IsValid());
    // Every end is open yet: a ring on each, the switch's as well.
    const QList<QPointF> open = overlay->OpenEnds();
    for (const char* path : {"SW1.Contact1", "SW1.Contact2", "LED1.Anode", "LED1.Cathode"}) {
        const TWireEnd end = e.end(QLatin1String(path));
        QVERIFY2(open.contains(end.Component->pos() + end.Point), path);
    }

    const QPoint at = from.Point.toPoint() + offset;
    QMouseEvent hover(QEvent::MouseMove, QPointF(at), sw->mapToGlobal(QPointF(at)), Qt::NoButton,
                      Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(sw, &hover);
    QCOMPARE(overlay->HasHoverEnd(), reached);
    QCOMPARE(sw->cursor().shape() == Qt::CrossCursor, reached);
    if (reached) QCOMPARE(overlay->HoverEnd(), sw->pos() + from.Point);

    QTest::mousePress(sw, Qt::LeftButton, Qt::NoModifier, at);
    QCOMPARE(overlay->HasRubberLine(), reached);
    // Released 4 pixels off the LED's anode.
    const QPoint stop = led->pos() + to.Point.toPoint() + QPoint(4, 2) - sw->pos();
    QMouseEvent move(QEvent::MouseMove, QPointF(stop), sw->mapToGlobal(QPointF(stop)), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(sw, &move);
    if (reached) {
        QVERIFY(overlay->HasHoverEnd()); // the target the release takes
        QCOMPARE(overlay->HoverEnd(), led->pos() + to.Point);
    }
    QTest::mouseRelease(sw, Qt::LeftButton, Qt::NoModifier, stop);
    QVERIFY(!overlay->HasRubberLine());
    if (reached) {
        QCOMPARE(e.property("LED1", "Anode"), QStringLiteral("SW1.Contact1"));
        QCOMPARE(sw->pos(), QPoint(100, 100));
        QVERIFY(!overlay->OpenEnds().contains(sw->pos() + from.Point));
        QVERIFY(overlay->OpenEnds().contains(sw->pos() + e.end("SW1.Contact2").Point));
    } else {
        QCOMPARE(e.property("LED1", "Anode"), QStringLiteral("LED1.Anode"));
        QVERIFY(sw->pos() != QPoint(100, 100)); // the part moved instead
    }
}

void TestWires::refusedTargets_data() {
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("to");
    QTest::addColumn<QString>("reason");
    QTest::newRow("itself") << "SW1.Contact1"
                            << "SW1.Contact1"
                            << "cannot be wired to itself";
    QTest::newRow("same component") << "SW1.Contact1"
                                    << "SW1.Contact2"
                                    << "same component";
    QTest::newRow("wired already") << "SW1.Contact2"
                                   << "LED1.Anode"
                                   << "wired already";
    QTest::newRow("reversed, wired already") << "LED1.Anode"
                                             << "SW1.Contact2"
                                             << "wired already";
    QTest::newRow("both wired") << "SW1.Contact2"
                                << "LED1.Cathode"
                                << "both wired";
    QTest::newRow("no property on either") << "VCC1.Pin"
                                           << "GND1.Pin"
                                           << "neither has";
    QTest::newRow("host pin refuses") << "PIN1.Pin"
                                      << "LED2.Anode"
                                      << "";
}

void TestWires::refusedTargets() {
    QFETCH(QString, from);
    QFETCH(QString, to);
    QFETCH(QString, reason);
    Editor e;
    auto* sw = e.put<TSwitch>("SW1", QPoint(40, 40));
    auto* led = e.put<TLED>("LED1", QPoint(100, 40));
    auto* gnd = e.put<TGND>("GND1", QPoint(160, 40));
    e.put<TVcc>("VCC1", QPoint(40, 120));
    e.put<TLED>("LED2", QPoint(100, 120));
    e.put<TUPin>("PIN1", QPoint(160, 120));
    sw->SetContact2(led->DiodeControl()->Contact1());
    led->SetCathode(gnd->Pin());
    const QString before = e.text();
    const int steps = e.undo()->count();
    const QString refused = e.window->DrawWire(e.end(from), e.end(to));
    if (reason.isEmpty()) {
        // A host pin wires like any other: not every pair is refused.
        QVERIFY2(refused.isEmpty(), qPrintable(refused));
        QCOMPARE(e.undo()->count(), steps + 1);
        return;
    }
    QVERIFY2(refused.contains(reason), qPrintable(refused));
    QCOMPARE(e.text(), before);
    QCOMPARE(e.undo()->count(), steps);
    // By the mouse the reason goes to the status bar.
    e.drag(from, to);
    QCOMPARE(e.status(), refused);
    QCOMPARE(e.text(), before);
}

void TestWires::cancelledDrags() {
    Editor e;
    auto* sw = e.put<TSwitch>("SW1", QPoint(40, 40));
    e.put<TLED>("LED1", QPoint(100, 40));
    const QString before = e.text();
    // Released over the empty board: nothing.
    QTest::mousePress(sw, Qt::LeftButton, Qt::NoModifier, QPoint(31, 16));
    QTest::mouseRelease(sw, Qt::LeftButton, Qt::NoModifier, QPoint(31, 150));
    QCOMPARE(e.text(), before);
    QCOMPARE(e.status(), QStringLiteral("No wire drawn"));
    // Escape while dragging: nothing, even when released over a contact afterwards.
    QTest::mousePress(sw, Qt::LeftButton, Qt::NoModifier, QPoint(31, 16));
    QTest::keyClick(sw, Qt::Key_Escape);
    QVERIFY(!e.window->WireOverlay()->HasRubberLine());
    QTest::mouseRelease(sw, Qt::LeftButton, Qt::NoModifier, QPoint(60, 16));
    QCOMPARE(e.text(), before);
    QCOMPARE(e.undo()->count(), 0);
    // A press away from the stubs selects and drags the component as before.
    QTest::mouseClick(sw, Qt::LeftButton, Qt::NoModifier, QPoint(16, 8));
    QCOMPARE(e.window->EditedObject(), sw);
}

void TestWires::disconnectUndoRedo() {
    Editor e;
    auto* sw = e.put<TSwitch>("SW1", QPoint(40, 40));
    auto* led = e.put<TLED>("LED1", QPoint(100, 40));
    auto* led2 = e.put<TLED>("LED2", QPoint(100, 100));
    auto* gnd = e.put<TGND>("GND1", QPoint(160, 40));
    sw->SetContact2(led->DiodeControl()->Contact1());
    led->SetCathode(gnd->Pin());
    led2->SetCathode(gnd->Pin());
    const QString wired = e.sortedText();

    // A contact with a property: the grid's "nil".
    QVERIFY(e.window->DisconnectEnd(e.end("LED1.Anode")).isEmpty());
    QCOMPARE(e.property("SW1", "Contact2"), QStringLiteral("SW1.Contact2"));
    QCOMPARE(e.undo()->count(), 1);
    e.undo()->undo();
    QCOMPARE(e.sortedText(), wired);
    e.undo()->redo();
    QCOMPARE(e.property("LED1", "Anode"), QStringLiteral("LED1.Anode"));
    e.undo()->undo();

    // The ground pin has no property: all its wires go as one step all the same.
    QVERIFY(e.window->DisconnectEnd(e.end("GND1.Pin")).isEmpty());
    QCOMPARE(e.property("LED1", "Cathode"), QStringLiteral("LED1.Cathode"));
    QCOMPARE(e.property("LED2", "Cathode"), QStringLiteral("LED2.Cathode"));
    e.undo()->undo();
    QCOMPARE(e.sortedText(), wired);
    e.undo()->redo();
    QCOMPARE(e.property("LED2", "Cathode"), QStringLiteral("LED2.Cathode"));
    QVERIFY(e.window->DisconnectEnd(e.end("GND1.Pin")).contains("has no wires"));

    // Through the menu of a right click on the stub.
    e.undo()->undo();
    const TWireEnd anode = e.end("LED2.Cathode");
    QTimer::singleShot(0, [&] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        QVERIFY(menu);
        menu->findChild<QAction*>("miDisconnect")->trigger();
        menu->close();
    });
    QTest::mousePress(led2, Qt::RightButton, Qt::NoModifier, anode.Point.toPoint());
    QCOMPARE(e.property("LED2", "Cathode"), QStringLiteral("LED2.Cathode"));
    QCOMPARE(e.property("LED1", "Cathode"), QStringLiteral("GND1.Pin"));
}

void TestWires::linesFollowTheBoard() {
    Editor e;
    auto* vcc = e.put<TVcc>("VCC1", QPoint(40, 40));
    auto* sw = e.put<TSwitch>("SW1", QPoint(100, 40));
    sw->SetContact1(vcc->Pin());
    TWireOverlay* overlay = e.window->WireOverlay();
    overlay->Collect();
    // One line, none to the supply's hidden rail.
    QCOMPARE(overlay->Lines().size(), 1);
    QCOMPARE(overlay->Lines().first(), std::make_pair(QPointF(56, 71), QPointF(100, 56)));
    // The strongest pixel around a point of the picture (the lines are kept drawn between paints).
    const auto ink = [overlay](QPoint at) {
        const QImage picture = overlay->grab().toImage();
        const double ratio = picture.devicePixelRatio();
        const QPoint centre = (QPointF(at) * ratio).toPoint();
        const int reach = qCeil(ratio);
        int alpha = 0;
        for (int dx = -reach; dx <= reach; ++dx)
            for (int dy = -reach; dy <= reach; ++dy)
                alpha = qMax(alpha, qAlpha(picture.pixel(centre + QPoint(dx, dy))));
        return alpha;
    };
    QVERIFY(ink(QPoint(78, 63)) > 0);
    sw->move(200, 100);
    QCOMPARE(ink(QPoint(78, 63)), 0);
    QVERIFY(ink(QPoint(128, 93)) > 0);
    overlay->Collect();
    QCOMPARE(overlay->Lines().first().second, QPointF(200, 116));
    // Shown in editing and in Run; hiding them in Run is the user's choice for Run only.
    QVERIFY(overlay->LinesShown());
    e.window->tbRunClick();
    QVERIFY(overlay->LinesShown());
    QVERIFY(e.window->ShowWiresItem()->isChecked());
    e.window->ShowWiresItem()->trigger();
    QVERIFY(!overlay->LinesShown());
    e.window->tbRunClick();
    QVERIFY(overlay->LinesShown());
    e.window->tbRunClick();
    QVERIFY(!overlay->LinesShown()); // the user's choice for Run is kept
    e.window->ShowWiresItem()->trigger();
    e.window->tbRunClick();
    // Above every component, also one placed later.
    e.put<TLED>("LED1", QPoint(300, 40));
    QCOMPARE(e.board()->children().last(), overlay);
}

void TestWires::linesFollowEditsAfterCaching() {
    // The overlay keeps the stubs and wires it found: every edit that moves a stub or changes a
    // wire must show in the next lines, never the kept ones.
    Editor e;
    e.put<TVcc>("VCC1", QPoint(40, 40));
    e.put<TSwitch>("SW1", QPoint(100, 40));
    TWireOverlay* overlay = e.window->WireOverlay();
    overlay->Collect();
    QVERIFY(overlay->Lines().isEmpty());
    // Where a fresh look at the components puts the switch's line.
    const auto expected = [&] {
        auto* sw = e.find("SW1");
        return sw ? sw->pos() + stubOf(sw, ContactRole::Contact1) : QPointF(-1, -1);
    };
    const auto shown = [&] {
        overlay->Collect();
        return overlay->Lines().size() == 1 ? overlay->Lines().first().second : QPointF(-2, -2);
    };
    e.window->WritePropertyText(e.find("SW1"), "Contact1", "VCC1.Pin");
    QCOMPARE(shown(), QPointF(100, 56));
    // Stood up through the grid, and back by undo and again by redo.
    e.window->WritePropertyText(e.find("SW1"), "Orientation", "opo_VerticalPositive");
    QCOMPARE(shown(), QPointF(116, 40));
    e.undo()->undo();
    QCOMPARE(shown(), QPointF(100, 56));
    e.undo()->redo();
    QCOMPARE(shown(), expected());
    // Resized and moved.
    e.find("SW1")->setGeometry(120, 80, 64, 48);
    QCOMPARE(shown(), expected());
    QCOMPARE(shown(), QPointF(152, 80));
    // Hidden: no line; shown again: the line.
    e.find("SW1")->hide();
    overlay->Collect();
    QVERIFY(overlay->Lines().isEmpty());
    e.find("SW1")->show();
    QCOMPARE(shown(), expected());
    e.undo()->undo(); // the turn
    e.undo()->undo(); // the wire
    overlay->Collect();
    QVERIFY(overlay->Lines().isEmpty());
    // A stub under the pointer is found where the component is now (the kept ends).
    auto* sw = e.find("SW1");
    QCOMPARE(
        e.window->WireEndAtBoard((sw->pos() + stubOf(sw, ContactRole::Contact2)).toPoint()).Contact,
        e.end("SW1.Contact2").Contact);
}

void TestWires::netHighlight() {
    Editor e;
    auto* sw = e.put<TSwitch>("SW1", QPoint(40, 40));
    auto* led = e.put<TLED>("LED1", QPoint(100, 40));
    auto* led2 = e.put<TLED>("LED2", QPoint(100, 100));
    auto* gnd = e.put<TGND>("GND1", QPoint(160, 40));
    sw->SetContact2(led->DiodeControl()->Contact1());
    led->SetCathode(gnd->Pin());
    led2->SetCathode(gnd->Pin());
    QTest::mouseMove(led2, e.end("LED2.Cathode").Point.toPoint());
    QMouseEvent hover(QEvent::MouseMove, e.end("LED2.Cathode").Point, led2->mapToGlobal(QPointF()),
                      Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(led2, &hover);
    // Through the ground pin to the other LED's cathode.
    QCOMPARE(e.status(), QStringLiteral("LED2.Cathode \u2014 GND1.Pin \u2014 LED1.Cathode"));
    QCOMPARE(e.window->WireOverlay()->Highlight().size(), 3);
    QCOMPARE(led2->cursor().shape(), Qt::CrossCursor);
    QMouseEvent away(QEvent::MouseMove, QPointF(16, 3), led2->mapToGlobal(QPointF()), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(led2, &away);
    QVERIFY(e.window->WireOverlay()->Highlight().isEmpty());
}

void TestWires::showWiresRemembered() {
    {
        Editor e;
        QVERIFY(e.window->ShowWiresItem()->isChecked());
        e.window->ShowWiresItem()->trigger();
        QVERIFY(!e.window->WireOverlay()->LinesShown());
    }
    {
        Editor e;
        QVERIFY(!e.window->ShowWiresItem()->isChecked());
        QVERIFY(!e.window->WireOverlay()->LinesShown());
        e.window->ShowWiresItem()->trigger();
    }
    Editor e;
    QVERIFY(e.window->ShowWiresItem()->isChecked());
}

// Wires show while running as well unless the user hid them there.
void TestWires::wiresShowWhileRunning() {
    Editor e;
    e.window->RunButton()->click();
    QVERIFY(e.window->ShowWiresItem()->isChecked());
    QVERIFY(e.window->WireOverlay()->LinesShown());
    e.window->RunButton()->click();
    QVERIFY(e.window->WireOverlay()->LinesShown());
}

// The LCD modules' port and control pins are drawn as wires to the port's pins, editing and
// running, and follow the module when it moves.
void TestWires::lcdModulesWired() {
    QTemporaryDir dir;
    const QString board = dir.filePath(QStringLiteral("lcd.ovd"));
    QFile file(board);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(R"(object P1: TUPort
  Address = $90
  Left = 24
  Top = 24
  Width = 80
  Height = 84
end
object P2: TUPort
  Address = $A0
  Left = 24
  Top = 144
  Width = 80
  Height = 84
end
object LCD1: TLCDAlpha
  LCD_BUS = lcd_BUS8bits
  Port = P1.Port
  RegSel = P2.Pin0
  RdWr = P2.Pin1
  Enable = P2.Pin2
  Left = 160
  Top = 40
end
object LCD2: TLCDAlpha
  Left = 400
  Top = 240
end
)");
    file.close();
    Editor e;
    QVERIFY(e.window->LoadFromFile(board));
    auto* lcd = e.find(QStringLiteral("LCD1"));
    auto* p1 = e.find(QStringLiteral("P1"));
    auto* p2 = e.find(QStringLiteral("P2"));
    QVERIFY(lcd && p1 && p2);
    const auto moduleLines = [&] {
        e.window->WireOverlay()->Collect();
        QList<std::pair<QPointF, QPointF>> lines;
        for (const auto& line : e.window->WireOverlay()->Lines())
            if (line.first.x() == lcd->x() && lcd->geometry().contains(line.first.toPoint()))
                lines.append(line);
        return lines;
    };
    for (const bool running : {false, true}) {
        if (running) e.window->RunButton()->click();
        const auto lines = moduleLines();
        QCOMPARE(lines.size(), 11); // eight data lines, RS, R/W and E
        int toP1 = 0, toP2 = 0;
        for (const auto& line : lines) {
            toP1 += p1->geometry().adjusted(-1, -1, 1, 1).contains(line.second.toPoint());
            toP2 += p2->geometry().adjusted(-1, -1, 1, 1).contains(line.second.toPoint());
        }
        QCOMPARE(toP1, 8);
        QCOMPARE(toP2, 3);
    }
    e.window->RunButton()->click();
    lcd->move(lcd->pos() + QPoint(40, 16));
    QCOMPARE(moduleLines().size(), 11);
}

QTEST_MAIN(TestWires)
#include "test_wires.moc"
