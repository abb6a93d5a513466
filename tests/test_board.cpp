#include <QtTest>

#include "components/gates.h"
#include "components/pins.h"
#include "components/switches.h"
#include "model/circuit.h"
#include "model/hostpins.h"
#include "tests/support/boardfixture.h"

namespace {
bool viewShown(TOrvexGraphicComponent* component) {
    ControlView* view = component->Control() ? component->Control()->View() : nullptr;
    return view && view->IsViewShown();
}

QStringList nodeNames(TSimForm& form) {
    QStringList names;
    for (const auto& node : form.Nodes())
        names << node->Name;
    return names;
}

// Vcc -> switch -> bulb -> GND.
struct SwitchedBulb {
    explicit SwitchedBulb(BoardFixture& f) {
        vcc = f.Place<TVcc>("Vcc1");
        sw = f.Place<TSwitch>("Switch1", 40, 0);
        bulb = f.Place<TBulb>("Bulb1", 80, 0);
        gnd = f.Place<TGND>("GND1", 120, 0);
        sw->SetContact1(vcc->Pin());
        bulb->SetContact1(sw->SwitchControl()->Contact2());
        bulb->SetContact2(gnd->Pin());
    }
    TVcc* vcc;
    TSwitch* sw;
    TBulb* bulb;
    TGND* gnd;
};
} // namespace

class TestBoard : public QObject {
    Q_OBJECT

private slots:
    void switchLightsBulbWhileHeld();
    void latchingSwitchTogglesPerPress();
    void bulbLevels_data();
    void bulbLevels();
    void switchAcrossSupplyCrashes();
    void supplyWiredToGroundCrashesAtRun();
    void inverterTruthTable_data();
    void inverterTruthTable();
    void nandTruthTable_data();
    void nandTruthTable();
    void nandThroughTheBoard();
    void gateResistancesAndOutputs();
    void gateDrivesBulbAtRun();
    void schematicNodes();
    void showingBuildsHidingFrees();
    void hostPinAccesses_data();
    void hostPinAccesses();
};

void TestBoard::switchLightsBulbWhileHeld() {
    BoardFixture f;
    SwitchedBulb b(f);
    f.Run();
    QVERIFY(!b.bulb->Control()->Lit());
    QVERIFY(!viewShown(b.bulb));
    BoardFixture::Press(b.sw);
    QVERIFY(b.sw->SwitchControl()->Closed());
    QVERIFY(viewShown(b.sw));
    QVERIFY(b.bulb->Control()->Lit());
    QVERIFY(viewShown(b.bulb));
    QCOMPARE(b.bulb->BulbControl()->Contact1()->Value(), 5000);
    QCOMPARE(b.bulb->BulbControl()->Contact2()->Value(), 4000);
    BoardFixture::Release(b.sw);
    QVERIFY(!b.sw->SwitchControl()->Closed());
    QVERIFY(!b.bulb->Control()->Lit());
    // The afterglow keeps the bright picture for 50 ms.
    QVERIFY(viewShown(b.bulb));
    f.clock->Advance(49);
    QVERIFY(viewShown(b.bulb));
    f.clock->Advance(1);
    QVERIFY(!viewShown(b.bulb));
    f.Stop();
    QVERIFY(f.form->Suspended());
    QVERIFY(f.form->Nodes().empty());
}

void TestBoard::latchingSwitchTogglesPerPress() {
    BoardFixture f;
    SwitchedBulb b(f);
    b.sw->SetHasAretation(true);
    QVERIFY(b.sw->property("HasAretation").toBool());
    f.Run();
    for (bool expected : {true, false, true}) {
        BoardFixture::Press(b.sw);
        QCOMPARE(b.bulb->Control()->Lit(), expected);
        BoardFixture::Release(b.sw); // ignored by a latching switch
        QCOMPARE(b.sw->SwitchControl()->Closed(), expected);
        QCOMPARE(b.bulb->Control()->Lit(), expected);
        f.clock->Advance(100);
        QCOMPARE(viewShown(b.bulb), expected);
    }
    // In editing mode nothing propagates: a press only flips the switch.
    f.Stop();
    BoardFixture::Click(b.sw);
    QVERIFY(!b.sw->SwitchControl()->Closed());
}

void TestBoard::bulbLevels_data() {
    QTest::addColumn<int>("a");
    QTest::addColumn<int>("b");
    QTest::addColumn<bool>("lit");
    QTest::addColumn<int>("passed");
    QTest::addColumn<bool>("settled");
    QTest::newRow("5000 over 0") << 5000 << 0 << true << 4000 << true;
    QTest::newRow("clamped") << 7000 << 0 << true << 4000 << true;
    QTest::newRow("800 passes nothing") << 800 << 0 << false << -2 << false;
    QTest::newRow("equal levels") << 3000 << 3000 << false << 2000 << true;
}

void TestBoard::bulbLevels() {
    QFETCH(int, a);
    QFETCH(int, b);
    QFETCH(bool, lit);
    QFETCH(int, passed);
    QFETCH(bool, settled);
    BoardFixture f;
    auto* bulb = f.Place<TBulb>("Bulb1");
    auto* far = f.Place<TUPin>("P1");
    auto* near = f.Place<TUPin>("P2");
    bulb->SetContact1(near->Pin());
    bulb->SetContact2(far->Pin());
    f.form->SetSuspended(false);
    TOrvexBulbCtl* control = bulb->BulbControl();
    TOrvexPinDriver* c1 = control->Contact1();
    TOrvexPinDriver* c2 = control->Contact2();
    c2->StoreValue(b);
    far->Pin()->StoreValue(-2);
    control->SetEvaluated(false);
    c1->SetSettled(false);
    c2->SetSettled(false);
    far->Pin()->SetSettled(false);
    c1->ChangeValue(a, nullptr);
    QCOMPARE(c1->Settled(), settled);
    if (passed != -2) {
        QCOMPARE(c2->Value(), passed);
        QCOMPARE(far->Pin()->Value(), passed);
    } else {
        QCOMPARE(c2->Value(), b);
        QCOMPARE(far->Pin()->Value(), -2);
    }
    if (a == b) { // equal levels: the far side is set to the same value, then judged
        c2->StoreValue(a);
        c1->StoreValue(a);
    }
    control->EndEvaluation(c1);
    QCOMPARE(control->Lit(), lit);
    // Undefined on either contact: dark.
    c2->StoreValue(-1);
    control->SetEvaluated(true);
    control->EndEvaluation(c1);
    QVERIFY(!control->Lit());
}

void TestBoard::switchAcrossSupplyCrashes() {
    BoardFixture f;
    auto* vcc = f.Place<TVcc>("Vcc1");
    auto* gnd = f.Place<TGND>("GND1", 0, 40);
    auto* sw = f.Place<TRoundBtn>("Btn1", 40, 0);
    sw->SetContact1(vcc->Pin());
    sw->SetContact2(gnd->Pin());
    f.Run();
    QCOMPARE(sw->Picture(), QStringLiteral("ROUND_BUTTON_UP"));
    BoardFixture::Press(sw);
    QCOMPARE(sw->Picture(), QStringLiteral("CRASH"));
    QVERIFY(!viewShown(sw));
}

void TestBoard::supplyWiredToGroundCrashesAtRun() {
    BoardFixture f;
    auto* vcc = f.Place<TVcc>("Vcc1");
    auto* gnd = f.Place<TGND>("GND1", 0, 40);
    auto* bulb = f.Place<TBulb>("Bulb1", 40, 0);
    // The bulb's first contact sits on the supply node and is wired straight to a ground symbol.
    bulb->SetContact1(vcc->Pin());
    bulb->BulbControl()->Contact1()->SetContact(gnd->Pin());
    QCOMPARE(gnd->Picture(), QStringLiteral("GND"));
    f.Run();
    QCOMPARE(gnd->Picture(), QStringLiteral("CRASH"));
    QCOMPARE(vcc->Picture(), QStringLiteral("VCC"));
}

namespace {
// Drives a gate input from a host pin at a given level, as a host write does.
void drive(TUPin* pin, int level) {
    TOrvexPin* p = pin->HostPin();
    p->StoreValue(level);
    p->StoreDrivenValue(level);
    p->SetSettled(true);
    SpreadFromDriver(p, nullptr);
}
} // namespace

void TestBoard::inverterTruthTable_data() {
    QTest::addColumn<int>("in");
    QTest::addColumn<int>("out");
    QTest::newRow("0") << 0 << 5000;
    QTest::newRow("2499") << 2499 << 5000;
    QTest::newRow("2500") << 2500 << 0;
    QTest::newRow("5000") << 5000 << 0;
    QTest::newRow("undefined") << -1 << 0;
}

void TestBoard::inverterTruthTable() {
    QFETCH(int, in);
    QFETCH(int, out);
    BoardFixture f;
    auto* inv = f.Place<TInvertor>("Inv1");
    auto* a = f.Place<TUPin>("A");
    a->SetAddress(0); // never reported to a host
    inv->SetInput(a->Pin());
    f.Run();
    TInvertCtl* control = inv->InvertControl();
    control->Contact1()->SetSettled(false);
    control->Contact2()->SetSettled(false);
    control->Contact1()->ChangeValue(in, nullptr);
    QCOMPARE(control->Contact2()->Value(), out);
    QCOMPARE(control->Contact2()->DrivenValue(), out);
    QCOMPARE(control->Contact2()->GetResistence(), out == 0 ? 200 : 1000);
    QCOMPARE(control->Contact1()->GetResistence(), 100000);
}

void TestBoard::nandTruthTable_data() {
    QTest::addColumn<int>("a");
    QTest::addColumn<int>("b");
    QTest::addColumn<bool>("wireB");
    QTest::addColumn<int>("out");
    QTest::newRow("high high") << 5000 << 5000 << true << 0;
    QTest::newRow("low high") << 0 << 5000 << true << 5000;
    QTest::newRow("high low") << 5000 << 0 << true << 5000;
    QTest::newRow("low low") << 0 << 0 << true << 5000;
    QTest::newRow("undefined undefined") << -1 << -1 << true << 0;
    QTest::newRow("2500 counts high") << 2500 << 5000 << true << 0;
    QTest::newRow("2499 counts low") << 2499 << 5000 << true << 5000;
    QTest::newRow("second input idle") << 5000 << 0 << false << 0;
}

void TestBoard::nandTruthTable() {
    QFETCH(int, a);
    QFETCH(int, b);
    QFETCH(bool, wireB);
    QFETCH(int, out);
    BoardFixture f;
    auto* gate = f.Place<TGateAND>("Gate1");
    auto* pa = f.Place<TUPin>("A");
    auto* pb = f.Place<TUPin>("B");
    auto* sink = f.Place<TBulb>("Load");
    gate->SetInput1(pa->Pin());
    if (wireB) gate->SetInput2(pb->Pin());
    gate->SetOutput(sink->BulbControl()->Contact1());
    f.Run();
    TGateANDCtl* control = gate->GateControl();
    if (wireB) control->Contact2()->StoreValue(b); // an unwired input keeps its idle 5000
    for (TOrvexPinDriver* c : {control->Contact1(), control->Contact3()})
        c->SetSettled(false);
    sink->BulbControl()->Contact1()->SetSettled(false);
    control->Contact1()->ChangeValue(a, nullptr);
    QCOMPARE(control->Contact3()->Value(), out);
    QCOMPARE(control->Contact3()->DrivenValue(), out);
    QCOMPARE(sink->BulbControl()->Contact1()->Value(), out); // passed on to what it drives
}

void TestBoard::nandThroughTheBoard() {
    // Levels pushed from host pins reach the inputs through the engine.
    BoardFixture f;
    auto* gate = f.Place<TGateAND>("Gate1");
    auto* pa = f.Place<TUPin>("A");
    auto* pb = f.Place<TUPin>("B");
    gate->SetInput1(pa->Pin());
    gate->SetInput2(pb->Pin());
    f.Run();
    const struct {
        int a, b, out;
    } rows[] = {{5000, 5000, 0}, {0, 5000, 5000}, {5000, 0, 5000}, {0, 0, 5000}, {5000, 5000, 0}};
    for (const auto& row : rows) {
        drive(pb, row.b);
        drive(pa, row.a);
        QCOMPARE(gate->GateControl()->Contact3()->Value(), row.out);
    }
}

void TestBoard::gateResistancesAndOutputs() {
    BoardFixture f;
    auto* gate = f.Place<TGateAND>("Gate1");
    auto* p = f.Place<TUPin>("P1");
    auto* q = f.Place<TUPin>("P2");
    TGateANDCtl* control = gate->GateControl();
    QCOMPARE(control->Contact3()->GetResistence(), 200); // idle output drives low
    QCOMPARE(control->Contact1()->GetResistence(), 100000);
    QCOMPARE(control->Contact2()->GetResistence(), 100000);
    control->Contact3()->StoreDrivenValue(5000);
    QCOMPARE(control->Contact3()->GetResistence(), 1000);
    gate->SetOutput(p->Pin());
    gate->SetOutput(q->Pin());
    QCOMPARE(control->Contact3()->ConnectionCount(), 2);
    QCOMPARE(gate->GetOutput(), p->Pin());
    QCOMPARE(gate->property("Output").value<TOrvexPinDriver*>(), p->Pin());
    QVERIFY(gate->IsGateComponent());
    QCOMPARE(gate->width(), 116);
    QCOMPARE(gate->height(), 60);
    QVERIFY(gate->ShowName());
}

void TestBoard::gateDrivesBulbAtRun() {
    // Both NAND inputs on Vcc: its output is low, so the inverter behind it lights the bulb as
    // soon as the simulation starts.
    BoardFixture f;
    auto* vcc = f.Place<TVcc>("Vcc1");
    auto* gate = f.Place<TGateAND>("Gate1");
    auto* inv = f.Place<TInvertor>("Inv1", 0, 80);
    auto* bulb = f.Place<TBulb>("Bulb1", 150, 0);
    auto* gnd = f.Place<TGND>("GND1", 200, 0);
    gate->SetInput1(vcc->Pin());
    gate->SetInput2(vcc->Pin());
    inv->SetInput(gate->GateControl()->Contact3());
    inv->SetOutput(bulb->BulbControl()->Contact1());
    bulb->SetContact2(gnd->Pin());
    f.Run();
    QCOMPARE(gate->GateControl()->Contact3()->Value(), 0);
    QCOMPARE(inv->InvertControl()->Contact2()->Value(), 5000);
    QVERIFY(bulb->Control()->Lit());
}

void TestBoard::schematicNodes() {
    BoardFixture f;
    f.Run();
    QCOMPARE(nodeNames(*f.form), QStringList({"GND", "Vcc"}));
    QVERIFY(f.form->CommonGND() && f.form->CommonVcc());
    QCOMPARE(f.form->CommonGND()->objectName(), QStringLiteral("CommonGND"));
    QVERIFY(!f.form->CommonGND()->isVisible());
    QVERIFY(f.form->Board()->OwnedComponents().isEmpty()); // the rails are not placed
    QVERIFY(!f.form->Suspended());
    QPointer<TOrvexGraphicComponent> gnd = f.form->CommonGND();
    f.Stop();
    QVERIFY(f.form->Nodes().empty());
    QVERIFY(!gnd);
    QVERIFY(f.form->Suspended());

    auto* p1 = f.Place<TUPin>("P1");
    auto* p2 = f.Place<TUPin>("P2");
    auto* p3 = f.Place<TUPin>("P3");
    auto* sw = f.Place<TSwitch>("S1");
    for (TUPin* p : {p1, p2}) {
        p->SetAddress(0x90);
        p->SetPinNumber(3);
    }
    p3->SetAddress(0);
    sw->SetContact1(p3->Pin());
    for (int round = 0; round < 2; ++round) {
        f.Run();

        QCOMPARE(nodeNames(*f.form), QStringList({"GND", "Vcc", "Pin90_3", "Node_3", "Node_4"}));
        const TNode& shared = *f.form->Nodes()[2];
        QCOMPARE(shared.Drivers().Count(), 2);
        QCOMPARE(shared.Drivers().Items(0).Name, QStringLiteral("P1.Pin"));
        QCOMPARE(p2->Pin()->NodeIndex(), 2);
        QCOMPARE(sw->SwitchControl()->Contact1()->NodeIndex(), 3);
        f.Stop();
    }
}

void TestBoard::showingBuildsHidingFrees() {
    // A plain board form runs while it is shown.
    ScopedDialogRecorder dialogs;
    TSimForm form;
    auto* pin = new TUPin(form.Board());
    pin->SetName(QStringLiteral("P1"));
    QVERIFY(form.Nodes().empty());
    form.show();
    QCOMPARE(nodeNames(form), QStringList({"GND", "Vcc", "Pin80_0"})); // default address 128
    QPointer<TOrvexGraphicComponent> firstRail = form.CommonVcc();
    form.hide();
    QVERIFY(form.Nodes().empty());
    QVERIFY(!firstRail);
    form.show();
    QCOMPARE(nodeNames(form), QStringList({"GND", "Vcc", "Pin80_0"})); // default address 128
    QVERIFY(form.CommonVcc());
}

void TestBoard::hostPinAccesses_data() {
    QTest::addColumn<int>("space");
    QTest::addColumn<int>("activated");
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("address");
    QTest::addColumn<int>("data");
    QTest::addColumn<int>("level");
    const int D = ops_DATA, X = ops_XDATA;
    // Pin 2 at 0x30.
    QTest::newRow("byte, bit set") << D << 0 << D << 0x30 << 0x04 << 5000;
    QTest::newRow("byte, bit clear") << D << 0 << D << 0x30 << 0xFB << 0;
    QTest::newRow("bit access to own bit") << D << 0 << 4 << 0x32 << 0 << 0;
    QTest::newRow("bit access to another bit") << D << 0 << 4 << 0x35 << 0 << 5000;
    QTest::newRow("other address") << D << 0 << D << 0x31 << 0 << 5000;
    QTest::newRow("RD strobe active") << X << int(opa_RD) << X << 0x30 << 0xFF << 0;
    QTest::newRow("RD strobe idle") << X << int(opa_RD) << (X | 0x80) << 0x30 << 0 << 5000;
}

void TestBoard::hostPinAccesses() {
    QFETCH(int, space);
    QFETCH(int, activated);
    QFETCH(int, kind);
    QFETCH(int, address);
    QFETCH(int, data);
    QFETCH(int, level);
    BoardFixture f;
    auto* pin = f.Place<TUPin>("P1");
    pin->SetSpace(TPortSpace(space));
    pin->SetAddress(0x30);
    pin->SetPinNumber(2);
    pin->SetActivatedOn(TPortActivated(activated));
    f.Run();
    // A bit access addresses bit (address & 7) of the byte at (address & ~7).
    QCOMPARE(f.HostAccess(kind, address, data), -1); // nobody answers
    QCOMPARE(pin->HostPin()->Value(), level);
}

QTEST_MAIN(TestBoard)
#include "test_board.moc"
