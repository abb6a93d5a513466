// The probe: which contact lies where on each class of component, the texts it shows, where its
// window goes, the key state it reads and the node work of the Shift probe.
#include <QScrollArea>
#include <QScrollBar>
#include <QtTest>

#include <functional>

#include "components/contactgeometry.h"
#include "components/drivenports.h"
#include "components/gates.h"
#include "components/leds.h"
#include "components/pins.h"
#include "components/ports.h"
#include "components/switches.h"
#include "model/nodetable.h"
#include "platform/keystate.h"
#include "simulation/brelvanclasses.h"
#include "tests/support/boardfixture.h"

namespace {

using Factory = std::function<TOrvexGraphicComponent*(QWidget*)>;

template <typename T> Factory make(int w, int h, std::function<void(T*)> setUp = nullptr) {
    return [w, h, setUp](QWidget* owner) {
        auto* c = new T(owner);
        c->resize(w, h);
        if (setUp) setUp(c);
        return c;
    };
}

// Every class the probe knows, at its size on a new board.
QList<QPair<QString, Factory>> allClasses() {
    return {
        {"TLED", make<TLED>(32, 32)},
        {"TDiode", make<TDiode>(32, 32)},
        {"TTwoColorLED", make<TTwoColorLED>(32, 32)},
        {"TDispSeg", make<TDispSeg>(74, 99)},
        {"TBulb", make<TBulb>(32, 32)},
        {"TBulb vertical",
         make<TBulb>(32, 32, [](TBulb* b) { b->SetOrientation(opo_VerticalPositive); })},
        {"TSwitch", make<TSwitch>(32, 32)},
        {"TRoundBtn", make<TRoundBtn>(32, 32)},
        {"TSquareBtn", make<TSquareBtn>(32, 32)},
        {"TInvertor", make<TInvertor>(116, 60)},
        {"TGateAND", make<TGateAND>(116, 60)},
        {"TUPin", make<TUPin>(69, 23)},
        {"TUPin facing left",
         make<TUPin>(69, 23, [](TUPin* p) { p->SetOrientation(opo_HorizontalNegative); })},
        {"TUPin at 0", make<TUPin>(69, 23, [](TUPin* p) { p->SetAddress(0); })},
        {"TUPin in XDATA", make<TUPin>(69, 23,
                                       [](TUPin* p) {
                                           p->SetSpace(ops_XDATA);
                                           p->SetAddress(0x8000);
                                           p->SetPinNumber(5);
                                       })},
        {"TVcc", make<TVcc>(32, 32)},
        {"TGND", make<TGND>(32, 32)},
        {"TUPort", make<TUPort>(80, 84)},
        {"TBUS", make<TBUS>(30, 94)},
        {"TUDrivenPort", make<TUDrivenPort>(75, 108)},
        {"TUDrivenPort strobe only",
         make<TUDrivenPort>(75, 108, [](TUDrivenPort* d) { d->SetPortDriver(opc_Strobe); })},
        {"TUDrivenPort direct",
         make<TUDrivenPort>(75, 108, [](TUDrivenPort* d) { d->SetPortDriver({}); })},
        {"TUSelector", make<TUSelector>(75, 88)},
    };
}

Factory factoryOf(const QString& name) {
    for (const auto& entry : allClasses())
        if (entry.first == name) return entry.second;
    return nullptr;
}

// A contact named the way the rows below name it: "prop:X" a published contact property,
// "own:X" a contact the component owns, "pin:k" pin k of its port, "seg:k" segment k's anode,
// "in:k" input k of a latch or decoder.
TOrvexPinDriver* named(TOrvexGraphicComponent* c, const QString& name) {
    const QString kind = name.section(':', 0, 0);
    const QString what = name.section(':', 1);
    if (kind == "prop") return c->property(qPrintable(what)).value<TOrvexPinDriver*>();
    if (kind == "own") return c->findChild<TOrvexPinDriver*>(what, Qt::FindDirectChildrenOnly);
    if (kind == "pin") return static_cast<TOrvexGraphicPort*>(c)->PortPin(what.toInt());
    if (kind == "seg") return static_cast<TDispSeg*>(c)->Segment(what.toInt())->Contact1();
    if (kind == "in") {
        if (auto* d = qobject_cast<TOrvexGraphicDrivenPort*>(c)) return d->InPin(what.toInt());
        return static_cast<TOrvexGraphicSelector*>(c)->InPin(what.toInt());
    }
    return nullptr;
}

} // namespace

class TestProbe : public QObject {
    Q_OBJECT

private slots:
    void contactUnderThePointer_data();
    void contactUnderThePointer();
    void everyContactIsFoundWhereItLies_data();
    void everyContactIsFoundWhereItLies();
    void roundsHalvesToEven_data();
    void roundsHalvesToEven();

    void levelTexts_data();
    void levelTexts();
    void windowPlacement_data();
    void windowPlacement();
    void windowStaysInTheScrolledView();
    void noWindowAfterThePointerLeftTheBoard();
    void longListingDoesNotGrowTheBoard();

    void shiftProbeSpreadsTheNodeAgain();
    void sameHostPinListed();
    void keySides_data();
    void keySides();

private:
    // Lets the pointer come to rest at `at` on the component (with the keys held) and returns
    // the probe window's text, "-" when no window opened.
    static QString probe(BoardFixture& board, QWidget* component, QPoint at, bool shift = false,
                         bool ctrl = false);
};

void TestProbe::contactUnderThePointer_data() {
    QTest::addColumn<QString>("cls");
    QTest::addColumn<QPoint>("at");
    QTest::addColumn<int>("role");
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("contact");
    using R = ContactRole;
    auto row = [](const char* name, const char* cls, QPoint at, R role, int index,
                  const char* contact) {
        QTest::newRow(name) << QString(cls) << at << int(role) << index << QString(contact);
    };
    // Two-contact parts split at half the width; the left half includes the middle.
    row("LED anode", "TLED", {16, 16}, R::Anode, -1, "prop:Anode");
    row("LED cathode", "TLED", {17, 16}, R::Cathode, -1, "prop:Cathode");
    row("switch left", "TSwitch", {16, 0}, R::Contact1, -1, "prop:Contact1");
    row("button right", "TRoundBtn", {17, 31}, R::Contact2, -1, "prop:Contact2");
    row("bulb right", "TBulb", {20, 5}, R::Contact2, -1, "prop:Contact2");
    row("vertical bulb top", "TBulb vertical", {20, 16}, R::Contact1, -1, "prop:Contact1");
    row("vertical bulb bottom", "TBulb vertical", {5, 17}, R::Contact2, -1, "prop:Contact2");
    // Inverter and gate inputs are the control's own contacts.
    row("inverter input", "TInvertor", {58, 30}, R::Input, -1, "own:Input");
    row("inverter output", "TInvertor", {59, 30}, R::Output, -1, "prop:Output");
    row("gate input 1", "TGateAND", {10, 30}, R::Input1, -1, "own:Input1");
    row("gate input 2", "TGateAND", {10, 31}, R::Input2, -1, "own:Input2");
    row("gate output", "TGateAND", {100, 5}, R::Output, -1, "prop:Output");
    row("two-colour anode 1", "TTwoColorLED", {5, 16}, R::Anode, -1, "prop:Anode1");
    row("two-colour anode 2", "TTwoColorLED", {5, 17}, R::Anode2, -1, "prop:Anode2");
    row("two-colour cathode", "TTwoColorLED", {20, 5}, R::Cathode, -1, "prop:Cathode");
    row("host pin", "TUPin", {3, 3}, R::Pin, -1, "prop:Pin");
    row("ground", "TGND", {30, 30}, R::Pin, -1, "prop:Pin");
    // Ports: the pins in the right fifth (from 4 * (80 div 5) = 64), the port elsewhere.
    row("port body", "TUPort", {63, 5}, R::Whole, -1, "");
    row("port pin 0", "TUPort", {64, 5}, R::Pin, 0, "pin:0");
    row("port pin 7", "TUPort", {79, 83}, R::Pin, 7, "pin:7");
    row("segment 0", "TDispSeg", {55, 5}, R::Segment, 0, "seg:0");
    row("display right fifth", "TDispSeg", {56, 5}, R::Nothing, -1, "");
    // Bus: the head down to h + 5 (h = 94 / 8.9) is the whole bus, the lines below it.
    row("bus head", "TBUS", {10, 15}, R::Whole, -1, "");
    row("bus line 0", "TBUS", {10, 16}, R::Pin, 0, "pin:0");
    row("bus line 7", "TBUS", {10, 92}, R::Pin, 7, "pin:7");
    // Decoder: 8 rows of 11 pixels; A, B, C, then two empty rows, then the enables.
    row("select A", "TUSelector", {5, 5}, R::InputPin, 0, "in:0");
    row("select C", "TUSelector", {5, 27}, R::InputPin, 2, "in:2");
    row("decoder row 3", "TUSelector", {5, 38}, R::Nothing, -1, "");
    row("GateNon1", "TUSelector", {5, 60}, R::GateNon1, -1, "prop:GateNon1");
    row("GateNon2", "TUSelector", {5, 71}, R::GateNon2, -1, "prop:GateNon2");
    row("Gate", "TUSelector", {5, 82}, R::Gate, -1, "prop:Gate");
    row("decoder output 0", "TUSelector", {46, 5}, R::Pin, 0, "pin:0");
    row("decoder middle", "TUSelector", {45, 5}, R::Nothing, -1, "");
    // Latch with both control inputs: 10 rows, row r centred at (r + 0.3) * 10.8.
    row("latch input 0", "TUDrivenPort", {14, 3}, R::InputPin, 0, "in:0");
    row("latch output 7", "TUDrivenPort", {46, 79}, R::Pin, 7, "pin:7");
    row("latch between", "TUDrivenPort", {45, 79}, R::Nothing, -1, "");
    row("latch output enable", "TUDrivenPort", {5, 90}, R::OutEnable, -1, "prop:OutEnable");
    row("latch strobe", "TUDrivenPort", {5, 100}, R::Strobe, -1, "prop:Strobe");
    row("latch output row 8", "TUDrivenPort", {70, 90}, R::Nothing, -1, "");
    // A latch with a strobe only shows it on row 8 (9 rows of 12 pixels); one without control
    // inputs has nothing below its eight rows.
    row("strobe-only latch", "TUDrivenPort strobe only", {5, 100}, R::Strobe, -1, "prop:Strobe");
    row("direct latch row 8", "TUDrivenPort direct", {5, 107}, R::Nothing, -1, "");
}

void TestProbe::contactUnderThePointer() {
    QFETCH(QString, cls);
    QFETCH(QPoint, at);
    QFETCH(int, role);
    QFETCH(int, index);
    QFETCH(QString, contact);
    BoardFixture board;
    TOrvexGraphicComponent* c = factoryOf(cls)(board.form->Board());
    const ContactSpot spot = ContactAt(c, at);
    QCOMPARE(int(spot.Role), role);
    QCOMPARE(spot.Index, index);
    TOrvexPinDriver* expected = contact.isEmpty() ? nullptr : named(c, contact);
    QVERIFY(contact.isEmpty() || expected);
    QCOMPARE(spot.Contact, expected);
}

void TestProbe::everyContactIsFoundWhereItLies_data() {
    QTest::addColumn<QString>("cls");
    QTest::addColumn<int>("count");
    const QList<int> counts = {2, 2, 3, 8, 2, 2, 2, 2,  2,  2,  3, 1,
                               1, 1, 1, 1, 1, 8, 8, 18, 17, 16, 14};
    const auto classes = allClasses();
    QCOMPARE(classes.size(), counts.size());
    for (qsizetype i = 0; i < classes.size(); ++i)
        QTest::newRow(qPrintable(classes[i].first)) << classes[i].first << counts[i];
}

// The points wires will be drawn to lie on the component, and the probe finds the same contact
// there: the two answers come from one rule.
void TestProbe::everyContactIsFoundWhereItLies() {
    QFETCH(QString, cls);
    QFETCH(int, count);
    BoardFixture board;
    TOrvexGraphicComponent* c = factoryOf(cls)(board.form->Board());
    const QList<ContactSpot> spots = ContactSpots(c);
    QCOMPARE(spots.size(), count);
    QSet<TOrvexPinDriver*> distinct;
    for (const ContactSpot& spot : spots) {
        QVERIFY(spot.Contact);
        distinct.insert(spot.Contact);
        QVERIFY2(QRectF(c->rect()).contains(spot.Point),
                 qPrintable(QString("%1,%2").arg(spot.Point.x()).arg(spot.Point.y())));
        const ContactSpot found = ContactAt(c, spot.Point);
        QCOMPARE(int(found.Role), int(spot.Role));
        QCOMPARE(found.Index, spot.Index);
        QCOMPARE(found.Contact, spot.Contact);
    }
    QCOMPARE(distinct.size(), spots.size());
}

void TestProbe::roundsHalvesToEven_data() {
    QTest::addColumn<double>("x");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<int>("result");
    QTest::newRow("0.5") << 0.5 << true << 0;
    QTest::newRow("1.5") << 1.5 << true << 2;
    QTest::newRow("2.5") << 2.5 << true << 2;
    QTest::newRow("-0.5") << -0.5 << true << 0;
    QTest::newRow("-1.5") << -1.5 << true << -2;
    QTest::newRow("2.51") << 2.51 << true << 3;
    QTest::newRow("infinite") << qInf() << false << 0;
    QTest::newRow("nan") << qQNaN() << false << 0;
    QTest::newRow("huge") << 1e12 << false << 0;
}

void TestProbe::roundsHalvesToEven() {
    QFETCH(double, x);
    QFETCH(bool, ok);
    QFETCH(int, result);
    int got = 0;
    QCOMPARE(RoundHalfEven(x, got), ok);
    if (ok) QCOMPARE(got, result);
}

QString TestProbe::probe(BoardFixture& board, QWidget* component, QPoint at, bool shift,
                         bool ctrl) {
    ScopedKeyState keys;
    keys->leftShift = shift;
    keys->leftCtrl = ctrl;
    // The first move closes a window still open, the second arms the probe.
    for (int i = 0; i < 2; ++i) {
        QMouseEvent move(QEvent::MouseMove, QPointF(at), QPointF(component->mapToGlobal(at)),
                         Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(component, &move);
    }
    board.clock->Advance(500);
    return board.form->ProbeWindow() ? board.form->ProbeText() : QStringLiteral("-");
}

void TestProbe::levelTexts_data() {
    QTest::addColumn<QString>("cls");
    QTest::addColumn<QPoint>("at");
    QTest::addColumn<QString>("text");
    QTest::newRow("LED") << "TLED" << QPoint(5, 5) << "Anode: 0 Cathode: 0";
    QTest::newRow("diode") << "TDiode" << QPoint(30, 5) << "Anode: 0 Cathode: 0";
    QTest::newRow("two-colour LED")
        << "TTwoColorLED" << QPoint(5, 5) << "Anode1: 0 Anode2: 0 Cathode: 0";
    QTest::newRow("bulb") << "TBulb" << QPoint(5, 5) << "Contact1: 0 Contact2: 0";
    QTest::newRow("square button") << "TSquareBtn" << QPoint(5, 5) << "Contact1: 0\r\nContact2: 0";
    QTest::newRow("inverter") << "TInvertor" << QPoint(5, 5) << "Input: 5000 Output: 0";
    QTest::newRow("gate") << "TGateAND" << QPoint(100, 5)
                          << "Input1: 5000\r\nInput2: 5000 Output: 0";
    QTest::newRow("supply") << "TVcc" << QPoint(5, 5) << ": 5000";
    // A code-space pin shows its address alone, the internal data space adds the bit.
    QTest::newRow("host pin") << "TUPin" << QPoint(5, 5) << "(0x80): 5000";
    QTest::newRow("host pin at 0") << "TUPin at 0" << QPoint(5, 5) << "(0x0): 5000";
    QTest::newRow("external data pin") << "TUPin in XDATA" << QPoint(5, 5) << "(0x8000): 5000";
    QTest::newRow("bus") << "TBUS" << QPoint(5, 5) << ": 0x00";
    QTest::newRow("bus line") << "TBUS" << QPoint(5, 50) << "Pin_3: 5000";
    QTest::newRow("selector input") << "TUSelector" << QPoint(5, 16) << "Input_B: 5000";
    QTest::newRow("selector enable") << "TUSelector" << QPoint(5, 60) << "GateANon: 5000";
    QTest::newRow("selector enable 2") << "TUSelector" << QPoint(5, 71) << "GateBNon: 5000";
    QTest::newRow("selector gate") << "TUSelector" << QPoint(5, 82) << "Gate1: 5000";
    QTest::newRow("selector row 4") << "TUSelector" << QPoint(5, 49) << "-";
    QTest::newRow("strobe-only latch")
        << "TUDrivenPort strobe only" << QPoint(5, 100) << "Strobe: 5000";
}

void TestProbe::levelTexts() {
    QFETCH(QString, cls);
    QFETCH(QPoint, at);
    QFETCH(QString, text);
    BoardFixture board;
    TOrvexGraphicComponent* c = factoryOf(cls)(board.form->Board());
    c->move(40, 40);
    c->show();
    QCOMPARE(probe(board, c, at), text);
}

void TestProbe::windowPlacement_data() {
    QTest::addColumn<QSize>("formSize");
    QTest::addColumn<QString>("corner"); // where the LED stands: "tl", "tr", "bl", "br"
    QTest::addColumn<QPoint>("at");
    // The window's offset from the pointer (form coordinates) and its clamping: the text is
    // "Contact1: 0\r\nContact2: 0", two lines high (36 pixels).
    QTest::addColumn<bool>("flippedLeft");
    QTest::addColumn<bool>("flippedUp");
    QTest::newRow("plain") << QSize(600, 400) << "tl" << QPoint(40 + 16, 80 + 16) << false << false;
    // (also up against the top: 25 pixels above the pointer is past it)
    QTest::newRow("right edge") << QSize(600, 400) << "tr" << QPoint(28, 20) << true << false;
    QTest::newRow("bottom edge") << QSize(600, 400) << "bl" << QPoint(10, 28) << false << true;
    QTest::newRow("bottom right") << QSize(600, 400) << "br" << QPoint(28, 28) << true << true;
}

// Next to the pointer, 4 pixels right and 25 up; past the right edge it goes to the pointer's
// left, past the bottom up by its height; never past the top or left.
void TestProbe::windowPlacement() {
    QFETCH(QSize, formSize);
    QFETCH(QString, corner);
    QFETCH(QPoint, at);
    QFETCH(bool, flippedLeft);
    QFETCH(bool, flippedUp);
    BoardFixture board;
    board.form->resize(formSize);
    QCoreApplication::processEvents();
    const QRect client = board.form->ClientArea();
    auto* s = new TSwitch(board.form->Board());
    s->resize(32, 32);
    const int x = corner.endsWith('r') ? client.width() - 32 : 0;
    const int y = corner.startsWith('b') ? client.height() - 32 : 0;
    s->move(corner == "tl" ? QPoint(40, 80) : QPoint(x, y));
    s->show();
    const QPoint local = corner == "tl" ? at - QPoint(40, 80) : at;
    QCOMPARE(probe(board, s, local), QString("Contact1: 0\r\nContact2: 0"));
    const QWidget* window = board.form->ProbeWindow();
    QCOMPARE(window->height(), 2 * 17 + 2);
    const QPoint pointer = s->pos() + local - client.topLeft();
    const QRect g = window->geometry().translated(-client.topLeft());
    QCOMPARE(g.left(), flippedLeft ? pointer.x() + 4 - g.width() - 14 : pointer.x() + 4);
    QCOMPARE(g.top(), std::max(0, flippedUp ? pointer.y() - 25 - g.height() : pointer.y() - 25));
    QVERIFY(g.left() >= 0 && g.top() >= 0);
    QVERIFY(g.right() < client.width() && g.bottom() < client.height());
    // It shows above the components and is not one of them.
    QCOMPARE(board.form->Board()->children().last(), window);
    for (const TOrvexGraphicComponent* component : board.form->Board()->OwnedComponents())
        QVERIFY(static_cast<const QWidget*>(component) != window);
}

void TestProbe::windowStaysInTheScrolledView() {
    BoardFixture board;
    board.form->resize(400, 300);
    auto* far = board.Place<TLED>("LED1", 1200, 40);
    far->resize(32, 32);
    QCoreApplication::processEvents();
    board.form->ScrollArea()->ensureWidgetVisible(far, 0, 0);
    QCoreApplication::processEvents();
    const QRect client = board.form->ClientArea();
    QVERIFY(client.left() > 0);
    QCOMPARE(probe(board, far, {30, 16}), QString("Anode: 0 Cathode: 0"));
    const QRect g = board.form->ProbeWindow()->geometry();
    QVERIFY2(client.contains(g), qPrintable(QString("%1,%2 %3x%4 in %5,%6 %7x%8")
                                                .arg(g.x())
                                                .arg(g.y())
                                                .arg(g.width())
                                                .arg(g.height())
                                                .arg(client.x())
                                                .arg(client.y())
                                                .arg(client.width())
                                                .arg(client.height())));
}

void TestProbe::noWindowAfterThePointerLeftTheBoard() {
    BoardFixture board;
    auto* led = board.Place<TLED>("LED1", 40, 40);
    QMouseEvent move(QEvent::MouseMove, QPointF(5, 5), QPointF(led->mapToGlobal(QPoint(5, 5))),
                     Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(led, &move);
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(board.form->Board(), &leave);
    board.clock->Advance(1000);
    QVERIFY(!board.form->ProbeWindow());
    // Back on the board, it probes again.
    QCOMPARE(probe(board, led, {6, 6}), QString("Anode: 0 Cathode: 0"));
}

// A node of many members lists them all, in order, in a window taller than the view; the board
// does not grow to scroll to it.
void TestProbe::longListingDoesNotGrowTheBoard() {
    BoardFixture board;
    auto* gnd = board.Place<TGND>("GND1", 40, 40);
    for (int i = 0; i < 60; ++i) {
        auto* led = board.Place<TLED>(QString("LED%1").arg(i), 100 + 40 * (i % 10), 40 * (i / 10));
        led->resize(32, 32);
        led->SetCathode(gnd->Pin());
    }
    board.Run();
    QCoreApplication::processEvents();
    const QSize before = board.form->Board()->minimumSize();
    const QStringList lines = probe(board, gnd, {16, 16}, false, true).split("\r\n");
    QCOMPARE(lines.size(), 61);
    QCOMPARE(lines[0], QString("GND(0): (CommonGND.Pin, GND1.Pin)"));
    QCOMPARE(lines[1], QString("LED0.Cathode | "));
    QCOMPARE(lines[2], QString("LED1.Cathode | "));
    QCOMPARE(lines[3], QString("LED10.Cathode | ")); // sorted as text
    QCOMPARE(lines[60], QString("LED9.Cathode |"));
    QCOMPARE(board.form->ProbeWindow()->height(), 61 * 17 + 2);
    QCoreApplication::processEvents();
    QCOMPARE(board.form->Board()->minimumSize(), before);
}

// A level the engine left wrong on a node is put right by spreading the node's drivers again.
void TestProbe::shiftProbeSpreadsTheNodeAgain() {
    BoardFixture board;
    auto* pin = board.Place<TUPin>("P3", 40, 40);
    auto* vcc = board.Place<TVcc>("VCC1", 40, 100);
    auto* led = board.Place<TLED>("LED1", 120, 40);
    auto* led2 = board.Place<TLED>("LED2", 120, 100);
    auto* gnd = board.Place<TGND>("GND1", 200, 40);
    led->SetAnode(pin->Pin());
    led->SetCathode(gnd->Pin());
    led->resize(32, 32);
    led2->resize(32, 32);
    led2->SetAnode(vcc->Pin());
    led2->SetCathode(gnd->Pin());
    board.Run();
    TOrvexPinDriver* anode = led->DiodeControl()->Contact1();
    QCOMPARE(anode->Value(), 5000);
    // Only drivers that are settled spread again; the probe leaves them all settled, so a
    // second one does.
    pin->Pin()->SetSettled(false);
    anode->StoreValue(0);
    QCOMPARE(probe(board, led, {5, 16}, true), QString("Node: Pin80_0"));
    QCOMPARE(anode->Value(), 0);
    QVERIFY(pin->Pin()->Settled());
    QCOMPARE(probe(board, led, {9, 16}, true), QString("Node: Pin80_0"));
    QCOMPARE(anode->Value(), 5000);
    QVERIFY(led->Control()->Lit());
    // The supply node names its drivers when listed.
    QCOMPARE(probe(board, led2, {8, 16}, false, true),
             QString("Vcc(1): (CommonVcc.Pin, VCC1.Pin)\r\nLED2.Anode |"));
    // Shift wins over Ctrl.
    QCOMPARE(probe(board, led2, {30, 16}, true, true), QString("Node: GND"));
}

void TestProbe::sameHostPinListed() {
    BoardFixture board;
    auto* p1 = board.Place<TUPin>("P1");
    auto* p2 = board.Place<TUPin>("P2");
    auto* p3 = board.Place<TUPin>("P3");
    auto* vcc = board.Place<TVcc>("VCC1");
    p1->SetAddress(0x90);
    p2->SetAddress(0x90);
    p3->SetAddress(0x90);
    p3->SetPinNumber(3);
    TComponentList list;
    list.Add(p1->Pin(), "P1.Pin");
    list.Add(vcc->Pin(), "VCC1.Pin");
    list.Add(p3->Pin(), "P3.Pin");
    QVERIFY(TSimForm::SameHostPinListed(p2->Pin(), 1, list));
    QVERIFY(TSimForm::SameHostPinListed(p2->Pin(), 3, list));
    QVERIFY(!TSimForm::SameHostPinListed(p2->Pin(), 0, list));
    QVERIFY(!TSimForm::SameHostPinListed(vcc->Pin(), 3, list)); // not a host pin
    QVERIFY(!TSimForm::SameHostPinListed(p3->Pin(), 2, list));  // beyond the count
    QVERIFY(TSimForm::SameHostPinListed(p3->Pin(), 3, list));
    QVERIFY(TSimForm::SameHostPinListed(p3->Pin(), 99, list)); // a count past the end
}

void TestProbe::keySides_data() {
    QTest::addColumn<QString>("events"); // L/R/U: a press of the left, right or unknown key;
                                         // l/r/u: its release
    QTest::addColumn<bool>("qtHeld");
    QTest::addColumn<bool>("leftHeld");
    QTest::newRow("left") << "L" << true << true;
    QTest::newRow("right") << "R" << true << false;
    QTest::newRow("both") << "RL" << true << true;
    QTest::newRow("left let go, right held") << "LRl" << true << false;
    QTest::newRow("side unknown") << "U" << true << true;
    QTest::newRow("unseen press") << "" << true << true;
    QTest::newRow("released elsewhere") << "L" << false << false;
}

void TestProbe::keySides() {
    QFETCH(QString, events);
    QFETCH(bool, qtHeld);
    QFETCH(bool, leftHeld);
    using Side = QtKeyState::Side;
    QtKeyState::Tracked tracked;
    for (QChar e : events) {
        const Side side = e.toUpper() == 'L'   ? Side::Left
                          : e.toUpper() == 'R' ? Side::Right
                                               : Side::Unknown;
        tracked.Press(side, e.isUpper());
    }
    QCOMPARE(tracked.LeftHeld(qtHeld), leftHeld);
    // After Qt reports the key up, nothing stays held.
    QVERIFY(!tracked.LeftHeld(false));
    QVERIFY(tracked.LeftHeld(true));

    // The native codes that tell the sides: X11 key symbols, Windows scan codes.
    QCOMPARE(QtKeyState::ShiftSide(0xffe1, 50), Side::Left);
    QCOMPARE(QtKeyState::ShiftSide(0xffe2, 62), Side::Right);
    QCOMPARE(QtKeyState::CtrlSide(0xffe3, 37), Side::Left);
    QCOMPARE(QtKeyState::CtrlSide(0xffe4, 105), Side::Right);
    QCOMPARE(QtKeyState::ShiftSide(0x10, 0x2a), Side::Left);
    QCOMPARE(QtKeyState::ShiftSide(0x10, 0x36), Side::Right);
    QCOMPARE(QtKeyState::CtrlSide(0x11, 0x1d), Side::Left);
    QCOMPARE(QtKeyState::CtrlSide(0x11, 0x11d), Side::Right);
    QCOMPARE(QtKeyState::ShiftSide(0, 0), Side::Unknown);
}

QTEST_MAIN(TestProbe)
#include "test_probe.moc"
