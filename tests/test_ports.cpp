// Ports, bus, driven ports, selectors and lines on a board: host accesses, decoding, latching,
// pictures, orientation, names and published properties.
#include <QMetaProperty>
#include <QRandomGenerator>
#include <QtTest>

#include "components/drivenports.h"
#include "components/pins.h"
#include "components/ports.h"
#include "components/switches.h"
#include "model/hostpins.h"
#include "tests/support/boardfixture.h"

namespace {

constexpr int InAddress = 0x90;  // the input port
constexpr int CtlAddress = 0xA0; // the port that drives control lines

// Levels of the eight pins of a port as a byte (bit k set: pin k above 2500 mV).
int levelsOf(const TOrvexGraphicPort* component) {
    int byte = 0;
    for (int k = 0; k < 8; ++k)
        if (component->PortPin(k)->Value() > 2500) byte |= 1 << k;
    return byte;
}

// A level pushed onto a contact by hand, as a fresh propagation step would.
void drive(TOrvexPinDriver* contact, int level) {
    contact->SetSettled(false);
    contact->SetValue(level);
}

QStringList ownProperties(const QMetaObject* meta, const QMetaObject* base) {
    QStringList names;
    for (int i = base->propertyCount(); i < meta->propertyCount(); ++i)
        names << QLatin1String(meta->property(i).name());
    return names;
}

QStringList numbered(const QString& prefix, int count) {
    QStringList names;
    for (int k = 0; k < count; ++k)
        names << prefix + QString::number(k);
    return names;
}

// A host port at `address` whose pins drive the control lines of the component under test.
TUPort* placePort(BoardFixture& f, const QString& name, int address, int x) {
    auto* port = f.Place<TUPort>(name, x, 0);
    port->SetAddress(address);
    return port;
}

} // namespace

class TestPorts : public QObject {
    Q_OBJECT

private slots:
    void publishedProperties_data();
    void publishedProperties();
    void creationDefaults();
    void ownedObjectNames();
    void hostAccesses_data();
    void hostAccesses();
    void portSpace();
    void mirroringFollowsChanges();
    void selectorDecoding_data();
    void selectorDecoding();
    void decodedOutputDrivesItsNet();
    void drivenPortOutputEnable();
    void drivenPortInversion_data();
    void drivenPortInversion();
    void drivenPortStrobe();
    void drivenPortPictures_data();
    void drivenPortPictures();
    void inputPortReference();
    void schematicJoinsEveryContact();
    void feedbackThroughOwnOutputs();
    void lineOrientation_data();
    void lineOrientation();
    void busOrientation_data();
    void busOrientation();
};

// ---------------------------------------------------------------- vocabulary

void TestPorts::publishedProperties_data() {
    QTest::addColumn<const QMetaObject*>("meta");
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QStringList>("readOnly");
    const QStringList outPins = numbered(QStringLiteral("OutPin"), 8);
    QTest::newRow("TUPort") << &TUPort::staticMetaObject
                            << (QStringList{"ShowName", "Address", "Space"}
                                << numbered(QStringLiteral("Pin"), 8) << "Port")
                            << (numbered(QStringLiteral("Pin"), 8) << "Port");
    QTest::newRow("TBUS") << &TBUS::staticMetaObject
                          << QStringList{"ShowName", "Orientation", "Visibility", "Port"}
                          << QStringList{"Port"};
    QTest::newRow("TUDrivenPort") << &TUDrivenPort::staticMetaObject
                                  << (QStringList{"ShowName", "Inverted", "InputPort", "OutputPort",
                                                  "PortDriver", "Strobe", "OutEnable"}
                                      << outPins << numbered(QStringLiteral("InPin"), 8))
                                  << (QStringList{"OutputPort"}
                                      << outPins << numbered(QStringLiteral("InPin"), 8));
    QTest::newRow("TUSelector")
        << &TUSelector::staticMetaObject
        << (QStringList{"ShowName", "Inverted", "OutputPort", "GateNon1", "GateNon2", "Gate"}
            << outPins << numbered(QStringLiteral("InPin"), 3))
        << (QStringList{"OutputPort"} << outPins);
    QTest::newRow("TLine") << &TLine::staticMetaObject << QStringList{"Orientation", "Visibility"}
                           << QStringList{};
}

// Board files and the properties window know the classes only by these names.
void TestPorts::publishedProperties() {
    QFETCH(const QMetaObject*, meta);
    QFETCH(QStringList, names);
    QFETCH(QStringList, readOnly);
    QCOMPARE(ownProperties(meta, &TOrvexGraphicComponent::staticMetaObject), names);
    for (const QString& name : names) {
        const QMetaProperty property = meta->property(meta->indexOfProperty(qPrintable(name)));
        QCOMPARE(property.isWritable(), !readOnly.contains(name));
    }
    QCOMPARE(ownProperties(&TOrvexPortCtl::staticMetaObject, &TOrvexControl::staticMetaObject),
             QStringList{"Contact"});
}

void TestPorts::creationDefaults() {
    BoardFixture f;
    auto* port = f.Place<TUPort>("Port1");
    auto* bus = f.Place<TBUS>("BUS1", 100, 0);
    auto* dr = f.Place<TUDrivenPort>("UDrivenPort1", 200, 0);
    auto* sel = f.Place<TUSelector>("USelector1", 300, 0);
    auto* line = f.Place<TLine>("Line1", 400, 0);

    QCOMPARE(port->property("Address").toInt(), 128);
    QCOMPARE(port->property("Space").value<TPortSpace>(), ops_DATA);
    QCOMPARE(port->size(), QSize(75, 85));
    QCOMPARE(bus->Port()->Address(), 128);
    QCOMPARE(bus->size(), QSize(30, 94));
    QVERIFY(!bus->Stretch());
    for (TOrvexGraphicComponent* c :
         {static_cast<TOrvexGraphicComponent*>(port), static_cast<TOrvexGraphicComponent*>(bus),
          static_cast<TOrvexGraphicComponent*>(dr), static_cast<TOrvexGraphicComponent*>(sel)})
        QVERIFY(c->ShowName());
    QCOMPARE(line->property("Visibility").value<TVisibility>(), vs_Hybrid);

    // Driven port: both kinds, not inverted, no input port; unwired inputs read their own
    // contacts; outputs idle high behind open latches.
    QCOMPARE(dr->property("PortDriver").value<TPortDriverType>(),
             TPortDriverType(opc_Strobe | opc_OutputEnable));
    QCOMPARE(dr->property("Inverted").toBool(), false);
    QVERIFY(!dr->property("InputPort").value<TOrvexPortDriver*>());
    QCOMPARE(dr->Strobe(), dr->StrobeControl()->Contact());
    QCOMPARE(dr->OutEnable(), dr->OutEnableControl()->Contact());
    QCOMPARE(dr->Strobe()->Value(), 5000);
    QCOMPARE(dr->StrobeControl()->GetResistence(), 100000);
    QCOMPARE(dr->OutEnableControl()->GetResistence(), 200);
    for (int k = 0; k < 8; ++k) {
        TOrvexLatchCtl* latch = dr->Latch(k);
        QCOMPARE(dr->PortPin(k)->Value(), 5000);
        QCOMPARE(dr->PortPin(k)->OwnerControl(), latch);
        QVERIFY(latch->Contact1()->IsInput());
        QVERIFY(latch->Contact2()->IsDriver());
        QCOMPARE(latch->LatchedValue(), 5000);
        QVERIFY(!latch->Closed());
        QCOMPARE(dr->PortPin(k)->GetResistence(), 10000000);
        QCOMPARE(latch->Contact1()->GetResistence(), 100000);
    }

    // Selector: outputs idle low at 200 ohms; enables and selects idle high.
    QCOMPARE(sel->property("Inverted").toBool(), false);
    QCOMPARE(sel->Picture(), QStringLiteral("SELECTOR"));
    QCOMPARE(levelsOf(sel), 0);
    QCOMPARE(sel->PortPin(0)->GetResistence(), 200);
    QCOMPARE(sel->GateNon1Control()->GetResistence(), 200);
    QCOMPARE(sel->GateNon2Control()->GetResistence(), 200);
    QCOMPARE(sel->GateControl()->GetResistence(), 100000);
    QCOMPARE(sel->SelectControl(2)->GetResistence(), 100000);
    for (TOrvexPinDriver* input : {sel->GateNon1(), sel->GateNon2(), sel->Gate(), sel->InPin(0)}) {
        QCOMPARE(input->Value(), 5000);
        QVERIFY(input->IsInput());
    }
}

void TestPorts::ownedObjectNames() {
    BoardFixture f;
    auto* port = f.Place<TUPort>("Port1");
    auto* bus = f.Place<TBUS>("BUS1");
    auto* dr = f.Place<TUDrivenPort>("Dr");
    auto* sel = f.Place<TUSelector>("Sel");
    QCOMPARE(port->Port()->objectName(), QStringLiteral("Port"));
    QCOMPARE(bus->Port()->objectName(), QStringLiteral("DataBUS"));
    QCOMPARE(dr->Port()->objectName(), QStringLiteral("OutPort"));
    QCOMPARE(sel->Port()->objectName(), QStringLiteral("OutPort"));

    for (int k = 0; k < 8; ++k) {
        const QString digit = QString::number(k);
        auto* latch = dr->findChild<TOrvexLatchCtl*>("Line_" + digit, Qt::FindDirectChildrenOnly);
        QVERIFY(latch);
        QCOMPARE(latch, dr->Latch(k));
        QCOMPARE(latch->BitIndex(), k);
        QCOMPARE(latch->Contact1()->objectName(), "Contact1_" + digit);
        QCOMPARE(latch->Contact2()->objectName(), "Contact2_" + digit);
    }
    const QList<std::pair<TOrvexPortCtl*, QString>> inputs = {
        {dr->StrobeControl(), "Strobe"},      {dr->OutEnableControl(), "OutEnable"},
        {sel->SelectControl(0), "InPin_0"},   {sel->SelectControl(1), "InPin_1"},
        {sel->SelectControl(2), "InPin_2"},   {sel->GateNon1Control(), "GateNon1"},
        {sel->GateNon2Control(), "GateNon2"}, {sel->GateControl(), "Gate"}};
    for (const auto& [control, name] : inputs) {
        QVERIFY(control);
        QCOMPARE(control->objectName(), name);
        QCOMPARE(control->Contact()->objectName(), name + "_Pin");
        QCOMPARE(control->Contact()->OwnerControl(), control);
    }

    // The port's pin controls follow the component's name.
    const auto pinControlNames = [](TOrvexGraphicPort* component) {
        QStringList names;
        for (QObject* child : component->Port()->children())
            if (auto* control = qobject_cast<TOrvexPinControl*>(child))
                names << control->objectName();
        return names;
    };
    QCOMPARE(pinControlNames(port), numbered(QStringLiteral("Port1_Pin_"), 8));
    port->SetName(QStringLiteral("Keys"));
    QCOMPARE(pinControlNames(port), numbered(QStringLiteral("Keys_Pin_"), 8));
    QCOMPARE(port->PortPin(3)->objectName(), QStringLiteral("Pin_3"));
}

// ---------------------------------------------------------------- host accesses

void TestPorts::hostAccesses_data() {
    QTest::addColumn<bool>("bus");
    QTest::addColumn<int>("before"); // byte written first
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("address");
    QTest::addColumn<int>("data");
    QTest::addColumn<int>("levels"); // pins at 5000 (others 0)
    QTest::addColumn<int>("value");  // the port's byte
    const int D = ops_DATA, BIT = 4, X = ops_XDATA;
    // Pins with a high level present 1000 ohms, low ones 50.
    QTest::newRow("byte 0") << false << 0xFF << D << 0x90 << 0x00 << 0x00 << 0x00;
    QTest::newRow("byte A5") << false << 0x00 << D << 0x90 << 0xA5 << 0xA5 << 0xA5;
    QTest::newRow("bit 3 set") << false << 0x00 << BIT << 0x93 << 1 << 0x08 << 0x08;
    QTest::newRow("bit 3 cleared") << false << 0xFF << BIT << 0x93 << 0 << 0xF7 << 0xF7;
    QTest::newRow("bit 3 given 2") << false << 0x00 << BIT << 0x93 << 2 << 0x08 << 0x08;
    QTest::newRow("other address") << false << 0x00 << D << 0x98 << 0xFF << 0x00 << 0x00;
    QTest::newRow("other space") << false << 0x00 << X << 0x90 << 0xFF << 0x00 << 0x00;
    QTest::newRow("bus byte 5A") << true << 0xFF << D << 0x90 << 0x5A << 0x5A << 0x5A;
    QTest::newRow("bus takes a bit access as a byte")
        << true << 0x00 << BIT << 0x93 << 1 << 0x01 << 0x01;
}

void TestPorts::hostAccesses() {
    QFETCH(bool, bus);
    QFETCH(int, before);
    QFETCH(int, kind);
    QFETCH(int, address);
    QFETCH(int, data);
    QFETCH(int, levels);
    QFETCH(int, value);
    BoardFixture f;
    TOrvexGraphicPort* component = nullptr;
    if (bus) {
        auto* b = f.Place<TBUS>("BUS1");
        b->Port()->SetAddress(InAddress);
        component = b;
    } else {
        component = placePort(f, "Port1", InAddress, 0);
    }
    f.Run();
    QCOMPARE(f.HostAccess(ops_DATA, InAddress, before), -1);
    QCOMPARE(f.HostAccess(kind, address, data), -1);
    QCOMPARE(levelsOf(component), levels);
    QCOMPARE(component->Port()->Value(), value);
    for (int k = 0; k < 8; ++k) {
        const int ohms = (levels >> k) & 1 ? 1000 : 50;
        QCOMPARE(component->Port()->Pins(k)->Resistence(), ohms);
        QCOMPARE(component->PortPin(k)->GetResistence(), ohms);
        QCOMPARE(component->PortPin(k)->DrivenValue(), (levels >> k) & 1 ? 5000 : 0);
    }
}

void TestPorts::portSpace() {
    BoardFixture f;
    auto* port = f.Place<TUPort>("Port1");
    port->SetSpace(ops_XDATA);
    QCOMPARE(port->Space(), ops_XDATA);
    for (int k = 0; k < 8; ++k) {
        QCOMPARE(port->PortPin(k)->GetResistence(), 10000000);
        QCOMPARE(port->PortPin(k)->Value(), 5000);
        QCOMPARE(port->PortPin(k)->Space(), ops_XDATA);
    }
    // A port lives in CODE, XDATA or DATA only; a refused space changes nothing.
    port->setProperty("Space", QVariant::fromValue(ops_IDATA));
    QCOMPARE(f.dialogs->LastText(), QStringLiteral("Invalid property value for port"));
    QCOMPARE(port->Space(), ops_XDATA);
    QCOMPARE(port->PortPin(0)->GetResistence(), 10000000);
    port->SetSpace(ops_DATA);
    QCOMPARE(port->PortPin(0)->GetResistence(), 1000);
}

// Whether a host pin's level is mirrored into `component` (the rule of MirrorPinToBoard).
bool showsBit(QObject* component, TPortSpace space, int address, int pinNumber) {
    ComponentRole* role = RoleOf(component);
    if (!role) return false;
    if (TOrvexPortDriver* port = role->MirroredPort())
        if (port->Space() == space && port->Address() == address) return true;
    if (TOrvexPin* pin = role->MirroredPin())
        return pin->Space() == space && pin->Address() == address && pin->PinNumber() == pinNumber;
    return false;
}

// The board finds the components that show a bit through an index: after any mix of new and
// deleted components and changed addresses, spaces and bits it finds exactly those a look at
// every component finds, and a pin's level reaches them.
void TestPorts::mirroringFollowsChanges() {
    BoardFixture f;
    f.form->winId(); // a port takes a new address only with the window there
    TBoardSurface* board = f.form->Board();
    QRandomGenerator random(7);
    int made = 0;
    const auto place = [&] {
        const QString name = QStringLiteral("C%1").arg(++made);
        switch (random.bounded(4)) {
        case 0:
            f.Place<TUPort>(name);
            break;
        case 1:
            f.Place<TBUS>(name);
            break;
        case 2:
            f.Place<TSwitch>(name);
            break;
        default:
            f.Place<TUPin>(name);
        }
    };
    for (int i = 0; i < 24; ++i)
        place();
    const TPortSpace spaces[] = {ops_DATA, ops_XDATA, ops_BIT};
    for (int step = 0; step < 400; ++step) {
        const QList<QObject*> all = board->BoardComponents();
        QObject* component = all[random.bounded(int(all.size()))];
        const int address = 128 + random.bounded(3);
        const TPortSpace space = spaces[random.bounded(3)];
        switch (random.bounded(6)) {
        case 0:
            component->setProperty("Address", address);
            break;
        case 1:
            component->setProperty("Space", QVariant::fromValue(space));
            break;
        case 2:
            component->setProperty("PinNumber", random.bounded(8));
            break;
        case 3:
            delete component;
            break;
        case 4:
            place();
            break;
        default:
            if (auto* pin = qobject_cast<TUPin*>(component)) {
                const int level = random.bounded(2) ? 5000 : 0;
                pin->HostPin()->SetValue(level);
                for (QObject* other : board->BoardComponents())
                    if (auto* shown = qobject_cast<TUPin*>(other);
                        shown && showsBit(shown, pin->Space(), pin->Address(), pin->PinNumber()))
                        QCOMPARE(shown->HostPin()->Value(), level);
            }
        }
        const int pinNumber = random.bounded(8);
        QSet<QObject*> expected;
        for (QObject* other : board->BoardComponents())
            if (showsBit(other, space, address, pinNumber)) expected.insert(other);
        QSet<QObject*> found;
        const TMirrorTargets targets = board->MirrorTargets(space, address, pinNumber);
        for (TOrvexPortDriver* port : targets.Ports)
            if (showsBit(port->parent(), space, address, pinNumber)) found.insert(port->parent());
        for (TOrvexPin* pin : targets.Pins)
            if (showsBit(pin->parent(), space, address, pinNumber)) found.insert(pin->parent());
        QCOMPARE(found, expected);
    }
}

// ---------------------------------------------------------------- selector

void TestPorts::selectorDecoding_data() {
    QTest::addColumn<int>("lines"); // control port bits: a, b, c, GateNon1, GateNon2, Gate
    QTest::addColumn<bool>("inverted");
    QTest::addColumn<int>("outputs");
    QTest::newRow("a b c = high low high") << 0x25 << false << 0x20;
    QTest::newRow("inverted, high low high") << 0x25 << true << 0xDF;
    QTest::newRow("all selects low") << 0x20 << false << 0x01;
    QTest::newRow("all selects high") << 0x27 << false << 0x80;
    QTest::newRow("GateNon1 high") << 0x2D << false << 0x00;
    QTest::newRow("inverted, GateNon1 high") << 0x2D << true << 0xFF;
    QTest::newRow("GateNon2 high") << 0x35 << false << 0x00;
    QTest::newRow("Gate low") << 0x05 << false << 0x00;
}

void TestPorts::selectorDecoding() {
    QFETCH(int, lines);
    QFETCH(bool, inverted);
    QFETCH(int, outputs);
    BoardFixture f;
    TUPort* ctl = placePort(f, "Ctl", CtlAddress, 0);
    auto* sel = f.Place<TUSelector>("Sel", 100, 0);
    sel->setProperty("Inverted", inverted);
    QCOMPARE(sel->Picture(),
             inverted ? QStringLiteral("SELECTOR_INV") : QStringLiteral("SELECTOR"));
    const char* wiring[] = {"InPin0", "InPin1", "InPin2", "GateNon1", "GateNon2", "Gate"};
    for (int k = 0; k < 6; ++k)
        QVERIFY(sel->setProperty(wiring[k], QVariant::fromValue(ctl->PortPin(k))));
    QCOMPARE(sel->InPin(2), ctl->PortPin(2));
    f.Run();
    QCOMPARE(levelsOf(sel), inverted ? 0xFF : 0x00); // idle: GateNon1 and GateNon2 stand high
    QCOMPARE(f.HostAccess(ops_DATA, CtlAddress, lines), -1);
    QCOMPARE(levelsOf(sel), outputs);
}

// A decoded output is a driver like any host pin: the level reaches what it is wired to.
void TestPorts::decodedOutputDrivesItsNet() {
    BoardFixture f;
    TUPort* ctl = placePort(f, "Ctl", CtlAddress, 0);
    auto* sel = f.Place<TUSelector>("Sel", 100, 0);
    auto* bulb = f.Place<TBulb>("Bulb1", 200, 0);
    auto* gnd = f.Place<TGND>("GND1", 300, 0);
    sel->SetInPin0(ctl->PortPin(0));
    sel->SetInPin1(ctl->PortPin(1));
    sel->SetInPin2(ctl->PortPin(2));
    sel->SetGateNon1(ctl->PortPin(3));
    sel->SetGateNon2(ctl->PortPin(4));
    bulb->SetContact1(sel->PortPin(5));
    bulb->SetContact2(gnd->Pin());
    f.Run();
    QVERIFY(!bulb->Control()->Lit());
    f.HostAccess(ops_DATA, CtlAddress, 0x05); // select 5, enabled
    QCOMPARE(sel->PortPin(5)->Value(), 5000);
    QCOMPARE(bulb->BulbControl()->Contact1()->Value(), 5000);
    QVERIFY(bulb->Control()->Lit());
    f.HostAccess(ops_DATA, CtlAddress, 0x04); // select 4
    QCOMPARE(sel->PortPin(5)->Value(), 0);
    QCOMPARE(bulb->BulbControl()->Contact1()->Value(), 0);
    QVERIFY(!bulb->Control()->Lit());
}

// ---------------------------------------------------------------- driven port

void TestPorts::drivenPortOutputEnable() {
    BoardFixture f;
    TUPort* in = placePort(f, "In", InAddress, 0);
    TUPort* ctl = placePort(f, "Ctl", CtlAddress, 100);
    auto* dr = f.Place<TUDrivenPort>("Dr", 200, 0);
    dr->SetPortDriver(opc_OutputEnable);
    QVERIFY(dr->setProperty("InputPort", QVariant::fromValue<TOrvexPortDriver*>(in->Port())));
    QVERIFY(dr->setProperty("OutEnable", QVariant::fromValue(ctl->PortPin(0))));
    QCOMPARE(dr->InPin(4), in->PortPin(4));
    auto* bulb = f.Place<TBulb>("Bulb1", 300, 0); // a load on output 3
    auto* gnd = f.Place<TGND>("GND1", 400, 0);
    bulb->SetContact1(dr->PortPin(3));
    bulb->SetContact2(gnd->Pin());
    f.Run();

    QCOMPARE(f.HostAccess(ops_DATA, InAddress, 0xA5), -1);
    QCOMPARE(f.HostAccess(ops_DATA, CtlAddress, 0x00), -1); // output enable low: enabled
    QCOMPARE(levelsOf(dr), 0xA5);
    QCOMPARE(dr->Port()->Value(), 0xA5);
    QVERIFY(dr->Latch(0)->Closed());
    QVERIFY(!bulb->Control()->Lit());

    f.HostAccess(ops_DATA, InAddress, 0x3C); // the outputs follow the inputs, onto their nets
    QCOMPARE(levelsOf(dr), 0x3C);
    QVERIFY(bulb->Control()->Lit());
    for (int k = 0; k < 8; ++k) // what the engine imposes again when it walks onto the pins
        QCOMPARE(dr->PortPin(k)->DrivenValue(), (0x3C >> k) & 1 ? 5000 : 0);

    // Disabled: the outputs float, the port reads 255 and the inputs answer the host access.
    QCOMPARE(f.HostAccess(ops_DATA, CtlAddress, 0x01), 0x3C);
    QCOMPARE(f.form->HostReply(), 0x3C);
    QCOMPARE(dr->Port()->Value(), 255);
    for (int k = 0; k < 8; ++k) {
        QCOMPARE(dr->PortPin(k)->Value(), -1);
        QCOMPARE(dr->PortPin(k)->GetResistence(), 10000000);
    }
    QVERIFY(!bulb->Control()->Lit());
    f.HostAccess(ops_DATA, InAddress, 0xFF); // an open latch passes nothing
    QCOMPARE(dr->PortPin(0)->Value(), -1);
}

void TestPorts::drivenPortInversion_data() {
    QTest::addColumn<bool>("onEnable"); // level in place before the enable, else arriving after
    QTest::addColumn<int>("input");
    QTest::addColumn<int>("output");
    for (bool onEnable : {false, true}) {
        const char* when = onEnable ? "on enable" : "while enabled";
        QTest::addRow("2500 %s", when) << onEnable << 2500 << 5000;
        QTest::addRow("2501 %s", when) << onEnable << 2501 << 0;
        QTest::addRow("0 %s", when) << onEnable << 0 << 5000;
        QTest::addRow("5000 %s", when) << onEnable << 5000 << 0;
    }
}

void TestPorts::drivenPortInversion() {
    QFETCH(bool, onEnable);
    QFETCH(int, input);
    QFETCH(int, output);
    BoardFixture f;
    auto* dr = f.Place<TUDrivenPort>("Dr");
    dr->SetPortDriver(opc_OutputEnable);
    dr->SetInverted(true);
    QCOMPARE(dr->Picture(), QStringLiteral("DRIVEN_PORT_OE_INV"));
    QCOMPARE(dr->PortPin(2)->Value(), 0); // the inverted idle level
    f.Run();
    TOrvexPinDriver* in = dr->Latch(2)->Contact1();
    if (onEnable) drive(in, input);
    drive(dr->OutEnableControl()->Contact(), 0);
    if (!onEnable) drive(in, input);
    QCOMPARE(dr->PortPin(2)->Value(), output);
}

void TestPorts::drivenPortStrobe() {
    BoardFixture f;
    TUPort* in = placePort(f, "In", InAddress, 0);
    TUPort* ctl = placePort(f, "Ctl", CtlAddress, 100);
    auto* dr = f.Place<TUDrivenPort>("Dr", 200, 0);
    dr->SetInputPort(in->Port());
    dr->SetOutEnable(ctl->PortPin(0));
    dr->SetStrobe(ctl->PortPin(1));
    f.Run();
    f.HostAccess(ops_DATA, InAddress, 0x11);
    QCOMPARE(f.HostAccess(ops_DATA, CtlAddress, 0x02), -1); // enabled, strobe high
    QCOMPARE(levelsOf(dr), 0x11);
    f.HostAccess(ops_DATA, InAddress, 0x22); // transparent
    QCOMPARE(levelsOf(dr), 0x22);

    // Strobe low: the latches hold, and the held byte answers the host access.
    QCOMPARE(f.HostAccess(ops_DATA, CtlAddress, 0x00), 0x22);
    f.HostAccess(ops_DATA, InAddress, 0x44);
    QCOMPARE(levelsOf(dr), 0x22);
    QCOMPARE(dr->Latch(2)->LatchedValue(), 0);

    QCOMPARE(f.HostAccess(ops_DATA, CtlAddress, 0x02), -1); // strobe high again: takes 0x44
    QCOMPARE(levelsOf(dr), 0x44);
    QCOMPARE(dr->Port()->Value(), 0x44);
}

void TestPorts::drivenPortPictures_data() {
    QTest::addColumn<int>("portDriver");
    QTest::addColumn<bool>("inverted");
    QTest::addColumn<QString>("picture");
    const int S = opc_Strobe, OE = opc_OutputEnable;
    QTest::newRow("direct") << 0 << false << "DRIVEN_PORT_DIR";
    QTest::newRow("strobe") << S << false << "DRIVEN_PORT_C";
    QTest::newRow("output enable") << OE << false << "DRIVEN_PORT_OE";
    QTest::newRow("both") << (S | OE) << false << "DRIVEN_PORT";
    QTest::newRow("direct, inverted") << 0 << true << "DRIVEN_PORT_DIR_INV";
    QTest::newRow("strobe, inverted") << S << true << "DRIVEN_PORT_C_INV";
    QTest::newRow("output enable, inverted") << OE << true << "DRIVEN_PORT_OE_INV";
    QTest::newRow("both, inverted") << (S | OE) << true << "DRIVEN_PORT_INV";
}

void TestPorts::drivenPortPictures() {
    QFETCH(int, portDriver);
    QFETCH(bool, inverted);
    QFETCH(QString, picture);
    BoardFixture f;
    auto* dr = f.Place<TUDrivenPort>("Dr");
    dr->resize(75, 108);
    // Either order of the two settings ends on the same picture.
    dr->setProperty("PortDriver", QVariant::fromValue(TPortDriverType(portDriver)));
    dr->setProperty("Inverted", inverted);
    QCOMPARE(dr->Picture(), picture);
    dr->SetInverted(!inverted);
    dr->SetPortDriver(TPortDriverType(portDriver));
    dr->SetInverted(inverted);
    QCOMPARE(dr->Picture(), picture);
    QCOMPARE(dr->size(), QSize(75, 108));
    for (int k = 0; k < 8; ++k) {
        QCOMPARE(dr->PortPin(k)->Value(), inverted ? 0 : 5000);
        QCOMPARE(dr->Latch(k)->LatchedValue(), inverted ? 0 : 5000);
        QCOMPARE(dr->Latch(k)->Contact2()->DrivenValue(), inverted ? 0 : 5000);
    }
}

// The driven port does not own its input port: deleting that port's component leaves no
// dangling reference or wire.
void TestPorts::inputPortReference() {
    BoardFixture f;
    TUPort* first = placePort(f, "First", InAddress, 0);
    TUPort* second = placePort(f, "Second", CtlAddress, 100);
    auto* dr = f.Place<TUDrivenPort>("Dr", 200, 0);
    dr->SetInputPort(first->Port());
    dr->SetInputPort(nullptr); // ignored
    QCOMPARE(dr->InputPort(), first->Port());
    dr->SetInputPort(second->Port()); // rewires from the first port's pins
    QCOMPARE(dr->InPin(0), second->PortPin(0));
    QCOMPARE(dr->Latch(0)->Contact1()->ConnectionCount(), 1);
    QCOMPARE(first->PortPin(0)->ConnectionCount(), 0);

    delete second;
    QVERIFY(!dr->InputPort());
    QVERIFY(!dr->property("InputPort").value<TOrvexPortDriver*>());
    for (int k = 0; k < 8; ++k)
        QCOMPARE(dr->InPin(k), dr->Latch(k)->Contact1()); // unwired: its own contact
    f.Run();
    QCOMPARE(f.HostAccess(ops_DATA, InAddress, 0x00), -1);
    f.Stop();
}

void TestPorts::schematicJoinsEveryContact() {
    BoardFixture f;
    TUPort* in = placePort(f, "In", InAddress, 0);
    TUPort* ctl = placePort(f, "Ctl", CtlAddress, 100);
    auto* bus = f.Place<TBUS>("BUS1", 200, 0);
    auto* dr = f.Place<TUDrivenPort>("Dr", 300, 0);
    auto* sel = f.Place<TUSelector>("Sel", 400, 0);
    dr->SetInputPort(in->Port());
    dr->SetOutEnable(ctl->PortPin(0));
    sel->SetGateNon1(ctl->PortPin(3));
    f.Run();
    QList<TOrvexPinDriver*> contacts = bus->SchematicContacts();
    for (TOrvexGraphicComponent* c : std::initializer_list<TOrvexGraphicComponent*>{dr, sel})
        for (int i = TOrvexGraphicComponent::staticMetaObject.propertyCount();
             i < c->metaObject()->propertyCount(); ++i)
            if (auto* contact = c->metaObject()->property(i).read(c).value<TOrvexPinDriver*>())
                contacts << contact;
    QCOMPARE(contacts.size(), 8 + (2 + 8 + 8) + (3 + 8 + 3));
    for (TOrvexPinDriver* contact : contacts)
        QVERIFY2(contact->NodeIndex() >= 2, qPrintable(contact->objectName()));
    // The input port's pins are shared with the driven port's inputs: one node each.
    QCOMPARE(dr->InPin(5)->NodeIndex(), in->PortPin(5)->NodeIndex());
    f.Stop();
}

// Outputs wired back to the component's own inputs settle: the board neither hangs nor reports
// an oscillation.
void TestPorts::feedbackThroughOwnOutputs() {
    BoardFixture f;
    TUPort* ctl = placePort(f, "Ctl", CtlAddress, 0);
    auto* dr = f.Place<TUDrivenPort>("Dr", 100, 0);
    auto* sel = f.Place<TUSelector>("Sel", 200, 0);
    dr->SetInputPort(dr->Port()); // a latch that holds what it shows
    dr->SetOutEnable(ctl->PortPin(0));
    dr->SetStrobe(ctl->PortPin(1));
    sel->SetInPin0(sel->PortPin(1)); // output 1 holds select input a at its own level
    sel->SetInPin1(ctl->PortPin(2));
    sel->SetInPin2(ctl->PortPin(3));
    sel->SetGateNon1(ctl->PortPin(4));
    sel->SetGateNon2(ctl->PortPin(5));
    f.Run();
    f.HostAccess(ops_DATA, CtlAddress, 0x02); // enabled, strobe high, decoder enabled
    const int held = levelsOf(dr);
    for (int k = 0; k < 8; ++k)
        QVERIFY(dr->PortPin(k)->Value() == 0 || dr->PortPin(k)->Value() == 5000);
    QCOMPARE(levelsOf(sel), 0x01);
    f.HostAccess(ops_DATA, CtlAddress, 0x00); // strobe low: holds
    QCOMPARE(levelsOf(dr), held);
    QCOMPARE(f.form->LastOscillation(), QString());
    f.Stop();
}

// ---------------------------------------------------------------- orientation

void TestPorts::lineOrientation_data() {
    QTest::addColumn<int>("from");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<int>("to");
    QTest::addColumn<QSize>("expected");
    QTest::addColumn<int>("orientation");
    const int HP = opo_HorizontalPositive, VP = opo_VerticalPositive, HN = opo_HorizontalNegative,
              VN = opo_VerticalNegative;
    QTest::newRow("horizontal to vertical") << HP << QSize(120, 3) << VP << QSize(3, 120) << VP;
    QTest::newRow("horizontal to vertical negative")
        << HP << QSize(120, 3) << VN << QSize(3, 120) << VN;
    // Only the value changes: a line turned round by way of the other axis must open as saved.
    QTest::newRow("within the horizontal axis") << HP << QSize(120, 3) << HN << QSize(120, 3) << HN;
    QTest::newRow("vertical to horizontal") << VP << QSize(3, 80) << HN << QSize(80, 3) << HN;
    QTest::newRow("within the vertical axis") << VP << QSize(3, 80) << VN << QSize(3, 80) << VN;
    QTest::newRow("the longer side is the length")
        << HP << QSize(40, 60) << VP << QSize(3, 60) << VP;
}

void TestPorts::lineOrientation() {
    QFETCH(int, from);
    QFETCH(QSize, size);
    QFETCH(int, to);
    QFETCH(QSize, expected);
    QFETCH(int, orientation);
    BoardFixture f;
    auto* line = f.Place<TLine>("Line1");
    line->SetOrientation(TOrientation(from));
    line->resize(size);
    line->setProperty("Orientation", QVariant::fromValue(TOrientation(to)));
    QCOMPARE(line->size(), expected);
    QCOMPARE(int(line->Orientation()), orientation);
    const bool vertical =
        orientation == opo_VerticalPositive || orientation == opo_VerticalNegative;
    QCOMPARE(line->Picture(), vertical ? QStringLiteral("LINE1") : QStringLiteral("LINE"));
}

void TestPorts::busOrientation_data() {
    QTest::addColumn<int>("visibility");
    QTest::addColumn<int>("to");
    QTest::addColumn<int>("orientation");
    QTest::addColumn<QString>("picture");
    QTest::addColumn<QSize>("size");
    const int HP = opo_HorizontalPositive, VP = opo_VerticalPositive, HN = opo_HorizontalNegative,
              VN = opo_VerticalNegative;
    const int H = vs_Hybrid, S = vs_Schematic;
    QTest::newRow("vertical ignored") << H << VP << HP << "BUS" << QSize(50, 50);
    QTest::newRow("vertical negative ignored") << H << VN << HP << "BUS" << QSize(50, 50);
    QTest::newRow("facing left") << H << HN << HN << "BUS1" << QSize(30, 94);
    QTest::newRow("same orientation resizes") << H << HP << HP << "BUS" << QSize(30, 94);
    QTest::newRow("schematic, facing left") << S << HN << HN << "BUS_SCH1" << QSize(30, 94);
}

void TestPorts::busOrientation() {
    QFETCH(int, visibility);
    QFETCH(int, to);
    QFETCH(int, orientation);
    QFETCH(QString, picture);
    QFETCH(QSize, size);
    BoardFixture f;
    auto* bus = f.Place<TBUS>("BUS1");
    bus->SetVisibility(TVisibility(visibility));
    bus->resize(50, 50);
    bus->SetOrientation(TOrientation(to));
    QCOMPARE(int(bus->Orientation()), orientation);
    QCOMPARE(bus->Picture(), picture);
    QCOMPARE(bus->size(), size);
}

QTEST_MAIN(TestPorts)
#include "test_ports.moc"
