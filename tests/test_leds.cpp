// Diodes, LEDs, the two-colour LED and the seven-segment display: published properties, the
// diode element's conduction and lit rule, colours and pictures, and the display's wiring.
#include <QMetaProperty>
#include <QtTest>
#include <memory>

#include "components/electric.h"
#include "components/imageview.h"
#include "components/leds.h"
#include "components/pins.h"
#include "components/switches.h"
#include "model/circuit.h"
#include "model/hostpins.h"
#include "tests/support/boardfixture.h"

namespace {

bool viewShown(const TOrvexControl* control) {
    return control && control->View() && control->View()->IsViewShown();
}

QString viewPicture(const TOrvexControl* control) {
    auto* view = control && control->View()
                     ? qobject_cast<TOrvexImageView*>(control->View()->ViewObject())
                     : nullptr;
    return view ? view->PictureName() : QString();
}

// "Name:Type" of every property a class publishes beyond the component base.
QStringList publishedOf(const QMetaObject* meta) {
    QStringList names;
    for (int i = TOrvexGraphicComponent::staticMetaObject.propertyCount();
         i < meta->propertyCount(); ++i) {
        const QMetaProperty property = meta->property(i);
        names << QStringLiteral("%1:%2%3").arg(
            QLatin1String(property.name()), QLatin1String(property.typeName()),
            property.isWritable() ? QString() : QStringLiteral(" (read-only)"));
    }
    return names;
}

// Bits of the segments (A = bit 0) whose element is lit and whose view shows.
int litSegments(const TDispSeg* display) {
    int mask = 0;
    for (int i = 0; i < TDispSeg::SegmentCount; ++i) {
        const TDiodeCtl* segment = display->Segment(i);
        if (segment->Lit() && viewShown(segment)) mask |= 1 << i;
    }
    return mask;
}

} // namespace

class TestLeds : public QObject {
    Q_OBJECT

private slots:
    void init() { f = std::make_unique<BoardFixture>(); }
    void cleanup() { f.reset(); }

    void publishedProperties_data();
    void publishedProperties();
    void picturesPerOrientation_data();
    void picturesPerOrientation();

    void litRule_data();
    void litRule();
    void afterglowAndCrash();
    void cathodeTakesOneDropBelowAnode();
    void switchedLed();
    void settledCathodeLowersAnode_data();
    void settledCathodeLowersAnode();

    void ledColours_data();
    void ledColours();
    void colourChosenInSchematicView();
    void twoColorLed_data();
    void twoColorLed();

    void newDisplay();
    void displayFollowsPort_data();
    void displayFollowsPort();
    void commonSideMovesWithType();
    void displayViewsFollowVisibility();
    void displayReferencesGoNull();

private:
    // A contact for the parts under test to be wired to, on a plain component of the board.
    TOrvexGraphicComponent* Holder(const QString& name) {
        return f->Place<TOrvexGraphicComponent>(name);
    }
    TOrvexPinDriver* Terminal(const QString& name, int level) {
        auto* contact = new TOrvexPinDriver(Holder(name));
        contact->setObjectName(QStringLiteral("Pin"));
        contact->StoreValue(level);
        return contact;
    }
    TOrvexPinDriver* Supply(const QString& name, TPinType type) {
        if (type == PIN_Vcc) return f->Place<TVcc>(name)->Pin();
        return f->Place<TGND>(name)->Pin();
    }
    TOrvexPort* HostPort(const QString& name) {
        auto* port = new TOrvexPort(Holder(name));
        port->setObjectName(QStringLiteral("Port"));
        return port;
    }
    QString NodeOf(const TOrvexPinDriver* contact) {
        const int index = contact->NodeIndex();
        const TNodeArray& nodes = f->form->Nodes();
        return index >= 0 && size_t(index) < nodes.size() ? nodes[size_t(index)]->Name : QString();
    }

    std::unique_ptr<BoardFixture> f;
};

// ---------------------------------------------------------------- classes

void TestLeds::publishedProperties_data() {
    QTest::addColumn<QString>("className");
    QTest::addColumn<QStringList>("expected");
    const QString pin = QStringLiteral(":TOrvexPinDriver*");
    QTest::newRow("TDiode") << "TDiode"
                            << QStringList{"Anode" + pin, "Cathode" + pin,
                                           "Orientation:BrelvanEnums::TOrientation",
                                           "ShowName:bool"};
    QTest::newRow("TLED") << "TLED"
                          << QStringList{"Anode" + pin, "Cathode" + pin,
                                         "Color:BrelvanEnums::TLEDColors",
                                         "Orientation:BrelvanEnums::TOrientation",
                                         "Visibility:BrelvanEnums::TVisibility"};
    QTest::newRow("TTwoColorLED") << "TTwoColorLED"
                                  << QStringList{"Anode1" + pin, "Anode2" + pin, "Cathode" + pin,
                                                 "Orientation:BrelvanEnums::TOrientation",
                                                 "Visibility:BrelvanEnums::TVisibility"};
    QStringList display{"CommonElectrode" + pin,
                        "CommonElectrodeType:BrelvanEnums::TCommonElectrodeTypes",
                        "Port:TOrvexPortDriver*"};
    for (char segment = 'A'; segment <= 'H'; ++segment)
        display << QStringLiteral("Segment_%1:TDiodeCtl* (read-only)").arg(QChar(segment));
    display << "Visibility:BrelvanEnums::TVisibility";
    QTest::newRow("TDispSeg") << "TDispSeg" << display;
}

void TestLeds::publishedProperties() {
    QFETCH(QString, className);
    QFETCH(QStringList, expected);
    const QMap<QString, const QMetaObject*> classes{
        {"TDiode", &TDiode::staticMetaObject},
        {"TLED", &TLED::staticMetaObject},
        {"TTwoColorLED", &TTwoColorLED::staticMetaObject},
        {"TDispSeg", &TDispSeg::staticMetaObject},
    };
    QCOMPARE(publishedOf(classes.value(className)), expected);
}

void TestLeds::picturesPerOrientation_data() {
    QTest::addColumn<QString>("className");
    QTest::addColumn<TVisibility>("visibility");
    QTest::addColumn<TOrientation>("orientation");
    QTest::addColumn<QString>("picture");
    QTest::addColumn<QString>("view");
    // The diode and the two-colour LED turn everywhere; the LED's picture stays upright.
    QTest::newRow("diode") << "TDiode" << vs_Hybrid << opo_VerticalNegative << "DIODE3"
                           << QString();
    QTest::newRow("LED hybrid") << "TLED" << vs_Hybrid << opo_VerticalPositive << "RED_Dark"
                                << "RED_Bright";
    QTest::newRow("LED schematic") << "TLED" << vs_Schematic << opo_HorizontalNegative << "LED_SCH2"
                                   << "LED_SCH2";
    QTest::newRow("two-colour hybrid")
        << "TTwoColorLED" << vs_Hybrid << opo_VerticalPositive << "WHITE_LED_SOCKET1"
        << "RED_Bright1";
    QTest::newRow("two-colour schematic")
        << "TTwoColorLED" << vs_Schematic << opo_VerticalNegative << "TWO_COLOR_LED_SCH3"
        << "TWO_COLOR_LED_SCH3";
}

void TestLeds::picturesPerOrientation() {
    QFETCH(QString, className);
    QFETCH(TVisibility, visibility);
    QFETCH(TOrientation, orientation);
    QFETCH(QString, picture);
    QFETCH(QString, view);
    TOrvexDiode* diode = nullptr;
    if (className == "TDiode") diode = f->Place<TDiode>("D1");
    if (className == "TLED") diode = f->Place<TLED>("LED1");
    if (className == "TTwoColorLED") diode = f->Place<TTwoColorLED>("TwoColorLED1");
    QVERIFY(diode);
    diode->SetVisibility(visibility);
    diode->SetOrientation(orientation);
    QCOMPARE(diode->Picture(), picture);
    QCOMPARE(viewPicture(diode->Control()), view);
}

// ---------------------------------------------------------------- the diode element

void TestLeds::litRule_data() {
    QTest::addColumn<int>("anode");
    QTest::addColumn<int>("cathode");
    QTest::addColumn<bool>("evaluated");
    QTest::addColumn<bool>("lit");
    QTest::newRow("one short of the drop") << 3999 << 2000 << true << false;
    QTest::newRow("exactly the drop") << 4000 << 2000 << true << true;
    QTest::newRow("full swing") << 5000 << 0 << true << true;
    QTest::newRow("anode undefined") << -1 << 0 << true << false;
    QTest::newRow("cathode undefined") << 4000 << -1 << true << false;
    QTest::newRow("not evaluated in this step") << 5000 << 0 << false << false;
}

void TestLeds::litRule() {
    QFETCH(int, anode);
    QFETCH(int, cathode);
    QFETCH(bool, evaluated);
    QFETCH(bool, lit);
    auto* led = f->Place<TLED>("LED1");
    led->SetAnode(Terminal("A", anode));
    led->SetCathode(Terminal("K", cathode));
    TDiodeCtl* control = led->DiodeControl();
    control->SetEvaluated(evaluated);
    control->EndEvaluation(control->Contact1());
    QCOMPARE(control->Lit(), lit);
    QCOMPARE(viewShown(control), lit);
}

void TestLeds::afterglowAndCrash() {
    auto* led = f->Place<TLED>("LED1");
    TOrvexPinDriver* anode = Terminal("A", 5000);
    led->SetAnode(anode);
    led->SetCathode(Terminal("K", 0));
    TDiodeCtl* control = led->DiodeControl();
    const auto step = [control] {
        control->SetEnded(false);
        control->SetEvaluated(true);
        control->EndEvaluation(control->Contact1());
    };
    step();
    QVERIFY(viewShown(control));

    // Going dark keeps the bright picture for one 50 ms tick.
    anode->StoreValue(0);
    step();
    QVERIFY(!control->Lit());
    f->clock->Advance(49);
    QVERIFY(viewShown(control));
    f->clock->Advance(1);
    QVERIFY(!viewShown(control));

    // A short circuit darkens it; there is no crash picture.
    anode->StoreValue(5000);
    step();
    QVERIFY(viewShown(control));
    led->CrashComponent();
    QVERIFY(!viewShown(control));
    QCOMPARE(led->Picture(), QStringLiteral("RED_Dark"));
}

void TestLeds::cathodeTakesOneDropBelowAnode() {
    auto* led = f->Place<TLED>("LED1");
    led->SetAnode(Supply("Vcc1", PIN_Vcc));
    led->SetCathode(Supply("GND1", PIN_GND));
    f->Run();
    TDiodeCtl* control = led->DiodeControl();
    QCOMPARE(control->Contact1()->Value(), 5000);
    QCOMPARE(control->Contact2()->Value(), 3000);
    QVERIFY(control->Lit());
    QVERIFY(viewShown(control));
}

// Vcc -> push button -> LED -> GND: the LED follows the button, with the afterglow.
void TestLeds::switchedLed() {
    auto* button = f->Place<TRoundBtn>("Button1");
    auto* led = f->Place<TLED>("LED1", 80, 0);
    button->SetContact1(Supply("Vcc1", PIN_Vcc));
    led->SetAnode(button->SwitchControl()->Contact2());
    led->SetCathode(Supply("GND1", PIN_GND));
    f->Run();
    TDiodeCtl* control = led->DiodeControl();
    QVERIFY(!control->Lit());
    QVERIFY(!viewShown(control));
    BoardFixture::Press(button);
    QVERIFY(control->Lit());
    QVERIFY(viewShown(control));
    QCOMPARE(control->Contact2()->Value(), 3000);
    BoardFixture::Release(button);
    QVERIFY(!control->Lit());
    f->clock->Advance(49);
    QVERIFY(viewShown(control));
    f->clock->Advance(1);
    QVERIFY(!viewShown(control));
}

void TestLeds::settledCathodeLowersAnode_data() {
    QTest::addColumn<int>("cathode");
    QTest::addColumn<bool>("settled");
    QTest::addColumn<int>("anode");
    QTest::addColumn<int>("expected");
    QTest::newRow("lowered in 100 mV steps") << 1000 << true << 4500 << 3000;
    QTest::newRow("steps stop at the drop") << 1050 << true << 4500 << 3000;
    QTest::newRow("within one drop kept") << 1000 << true << 2500 << 2500;
    QTest::newRow("below the cathode untouched") << 1000 << true << 500 << 500;
    QTest::newRow("unsettled cathode lowers nothing") << 1000 << false << 4500 << 4500;
}

void TestLeds::settledCathodeLowersAnode() {
    QFETCH(int, cathode);
    QFETCH(bool, settled);
    QFETCH(int, anode);
    QFETCH(int, expected);
    auto* led = f->Place<TLED>("LED1");
    TDiodeCtl* control = led->DiodeControl();
    f->form->SetSuspended(false);
    control->Contact2()->StoreValue(cathode);
    control->Contact2()->SetSettled(settled);
    control->Contact1()->StoreValue(anode);
    control->ValueChanged(control->Contact2(), nullptr);
    QCOMPARE(control->Contact1()->Value(), expected);
}

// ---------------------------------------------------------------- colours

void TestLeds::ledColours_data() {
    QTest::addColumn<TLEDColors>("color");
    QTest::addColumn<QString>("dark");
    QTest::addColumn<QString>("bright");
    QTest::newRow("red") << cled_RED << "RED_Dark"
                         << "RED_Bright";
    QTest::newRow("yellow") << cled_YELLOW << "YELLOW_Dark"
                            << "YELLOW_Bright";
    QTest::newRow("blue") << cled_BLUE << "BLUE_Dark"
                          << "BLUE_Bright";
    // No pictures of their own: the green ones stay.
    QTest::newRow("white") << cled_WHITE << "GREEN_Dark"
                           << "GREEN_Bright";
    QTest::newRow("orange") << cled_ORANGE << "GREEN_Dark"
                            << "GREEN_Bright";
    QTest::newRow("infrared") << cled_INFRA << "GREEN_Dark"
                              << "GREEN_Bright";
}

void TestLeds::ledColours() {
    QFETCH(TLEDColors, color);
    QFETCH(QString, dark);
    QFETCH(QString, bright);
    auto* led = f->Place<TLED>("LED1");
    // Until a colour is chosen the LED is "infrared", shown in red.
    QCOMPARE(led->Color(), cled_INFRA);
    QCOMPARE(led->Picture(), QStringLiteral("RED_Dark"));
    QVERIFY(led->setProperty("Color", QVariant::fromValue(cled_GREEN)));
    QVERIFY(led->setProperty("Color", QVariant::fromValue(color)));
    QCOMPARE(led->Color(), color);
    QCOMPARE(led->ComponentPictureName(), dark);
    QCOMPARE(led->Picture(), dark);
    QCOMPARE(led->Control()->ActiveName(), bright);
    QCOMPARE(viewPicture(led->Control()), bright);
    QVERIFY(!viewShown(led->Control()));
}

void TestLeds::colourChosenInSchematicView() {
    auto* led = f->Place<TLED>("LED1");
    led->SetVisibility(vs_Schematic);
    led->SetOrientation(opo_VerticalPositive);
    led->SetColor(cled_BLUE);
    QCOMPARE(led->Picture(), QStringLiteral("LED_SCH1"));
    QCOMPARE(viewPicture(led->Control()), QStringLiteral("LED_SCH1"));
    led->SetVisibility(vs_Hybrid);
    QCOMPARE(led->Picture(), QStringLiteral("BLUE_Dark"));
    QCOMPARE(viewPicture(led->Control()), QStringLiteral("BLUE_Bright"));
}

void TestLeds::twoColorLed_data() {
    QTest::addColumn<bool>("anode1");
    QTest::addColumn<bool>("anode2");
    QTest::addColumn<bool>("lit");
    QTest::addColumn<TLEDColors>("color");
    QTest::addColumn<QString>("picture");
    QTest::newRow("dark") << false << false << false << cled_RED << "RED_Bright";
    QTest::newRow("second anode: red") << false << true << true << cled_RED << "RED_Bright";
    QTest::newRow("first anode: green") << true << false << true << cled_GREEN << "GREEN_Bright";
    QTest::newRow("both: orange") << true << true << true << cled_ORANGE << "ORANGE_Bright";
}

void TestLeds::twoColorLed() {
    QFETCH(bool, anode1);
    QFETCH(bool, anode2);
    QFETCH(bool, lit);
    QFETCH(TLEDColors, color);
    QFETCH(QString, picture);
    auto* led = f->Place<TTwoColorLED>("TwoColorLED1");
    TOrvexPinDriver* vcc = Supply("Vcc1", PIN_Vcc);
    TOrvexPinDriver* gnd = Supply("GND1", PIN_GND);
    if (anode1) led->SetAnode(vcc);
    if (anode2) led->SetAnode2(vcc);
    led->SetCathode(gnd);
    QCOMPARE(led->Control2()->GetContact2(), gnd); // the cathode is common
    f->Run();
    QCOMPARE(NodeOf(led->Control2()->Contact2()), QStringLiteral("GND"));
    // Joined whether wired or not: an open anode has a node of its own.
    QVERIFY(NodeOf(led->Control2()->Contact1()).startsWith(anode2 ? "Vcc" : "Node_"));
    QCOMPARE(viewShown(led->Control()), lit);
    QVERIFY(!viewShown(led->Control2())); // only the first element's view ever shows
    QCOMPARE(led->Color(), color);
    QCOMPARE(viewPicture(led->Control()), picture);
    QCOMPARE(led->Picture(), QStringLiteral("WHITE_LED_SOCKET"));
}

// ---------------------------------------------------------------- the display

void TestLeds::newDisplay() {
    auto* display = f->Place<TDispSeg>("Disp");
    QCOMPARE(display->Control(), display->Segment_A());
    QCOMPARE(display->CommonElectrodeType(), com_CATHODE);
    QVERIFY(!display->Port());
    QCOMPARE(display->Picture(), QStringLiteral("MATRIX"));
    for (int i = 0; i < TDispSeg::SegmentCount; ++i) {
        const TDiodeCtl* segment = display->Segment(i);
        // Unpowered, no segment shows.
        QVERIFY(!viewShown(segment));
        QCOMPARE(viewPicture(segment), QStringLiteral("SEG_") + QChar(u'A' + i));
        QCOMPARE(segment->objectName(), QStringLiteral("Disp_control_%1").arg(i));
        QCOMPARE(segment->Contact1()->objectName(), QStringLiteral("Anode%1").arg(i));
        QCOMPARE(segment->Contact2()->objectName(), QStringLiteral("Cathode%1").arg(i));
    }
    display->SetName(QStringLiteral("Digit"));
    QCOMPARE(display->Segment_H()->objectName(), QStringLiteral("Digit_control_7"));
    QCOMPARE(display->Segment_A()->objectName(), QStringLiteral("Digit_control_0"));
}

void TestLeds::displayFollowsPort_data() {
    QTest::addColumn<TCommonElectrodeTypes>("type");
    QTest::addColumn<int>("data");
    QTest::addColumn<int>("lit");
    QTest::newRow("common cathode, 6") << com_CATHODE << 6 << 0x06;
    QTest::newRow("common cathode, bit 7 is H") << com_CATHODE << 0x80 << 0x80;
    QTest::newRow("common anode, 6") << com_ANODE << 6 << 0xF9;
    QTest::newRow("common anode, all high") << com_ANODE << 0xFF << 0x00;
}

void TestLeds::displayFollowsPort() {
    QFETCH(TCommonElectrodeTypes, type);
    QFETCH(int, data);
    QFETCH(int, lit);
    auto* display = f->Place<TDispSeg>("Disp");
    TOrvexPinDriver* common = Supply("Common", type == com_CATHODE ? PIN_GND : PIN_Vcc);
    TOrvexPort* port = HostPort("P1");
    QVERIFY(display->setProperty("CommonElectrodeType", QVariant::fromValue(type)));
    QVERIFY(display->setProperty("CommonElectrode", QVariant::fromValue<TOrvexPinDriver*>(common)));
    QVERIFY(display->setProperty("Port", QVariant::fromValue<TOrvexPortDriver*>(port)));
    for (int i = 0; i < TDispSeg::SegmentCount; ++i) {
        const TDiodeCtl* segment = display->Segment(i);
        const bool cathode = type == com_CATHODE;
        QCOMPARE(cathode ? segment->GetContact1() : segment->GetContact2(), port->Pins(i));
        QCOMPARE(cathode ? segment->GetContact2() : segment->GetContact1(), common);
    }
    f->Run();
    for (int i = 0; i < TDispSeg::SegmentCount; ++i) {
        const TDiodeCtl* segment = display->Segment(i);
        const bool cathode = type == com_CATHODE;
        QCOMPARE(NodeOf(cathode ? segment->Contact1() : segment->Contact2()),
                 QStringLiteral("Pin80_%1").arg(i));
        QCOMPARE(NodeOf(cathode ? segment->Contact2() : segment->Contact1()),
                 cathode ? QStringLiteral("GND") : QStringLiteral("Vcc"));
    }
    port->HostAccess(data, data, ops_DATA, port->Address(), nullptr);
    QCOMPARE(litSegments(display), lit);
}

// Without a common electrode of their own the segments are joined inside the display, on the side
// the type names; changing the type moves that junction.
void TestLeds::commonSideMovesWithType() {
    auto* display = f->Place<TDispSeg>("Disp");
    TOrvexPort* port = HostPort("P1");
    display->SetPort(port);
    TDiodeCtl* a = display->Segment_A();
    QCOMPARE(display->CommonElectrode(), a->Contact2());
    for (int i = 1; i < TDispSeg::SegmentCount; ++i)
        QCOMPARE(display->Segment(i)->GetContact2(), a->Contact2());

    display->SetCommonElectrodeType(com_ANODE);
    QCOMPARE(display->CommonElectrode(), a->Contact1());
    for (int i = 0; i < TDispSeg::SegmentCount; ++i) {
        TDiodeCtl* segment = display->Segment(i);
        QCOMPARE(segment->GetContact2(), port->Pins(i));
        QCOMPARE(segment->Contact2()->ConnectionCount(), 1);
        if (i > 0) QCOMPARE(segment->GetContact1(), a->Contact1());
    }
    QCOMPARE(a->Contact1()->ConnectionCount(), 7); // the other anodes, no pin
}

void TestLeds::displayViewsFollowVisibility() {
    auto* display = f->Place<TDispSeg>("Disp");
    display->Segment_C()->SetLit(true);
    display->RefreshView();
    QCOMPARE(litSegments(display), 0x04);
    QVERIFY(!viewShown(display->Segment_A())); // the unlit ones went dark

    display->SetVisibility(vs_Schematic);
    QCOMPARE(display->Picture(), QStringLiteral("SEGMENT7_SCH"));
    display->RefreshView();
    for (int i = 0; i < TDispSeg::SegmentCount; ++i)
        QVERIFY(!viewShown(display->Segment(i)));
    display->SetVisibility(vs_Hybrid);
    QCOMPARE(litSegments(display), 0x04);
    display->HideView();
    QCOMPARE(litSegments(display), 0);
}

void TestLeds::displayReferencesGoNull() {
    auto* display = f->Place<TDispSeg>("Disp");
    TOrvexPinDriver* gnd = Supply("GND1", PIN_GND);
    TOrvexPort* port = HostPort("P1");
    display->SetCommonElectrode(gnd);
    display->SetPort(port);
    QCOMPARE(display->Segment_B()->GetContact1(), port->Pins(1));

    delete port->parent();
    QVERIFY(!display->Port());
    QVERIFY(!display->property("Port").value<TOrvexPortDriver*>());
    QCOMPARE(display->Segment_B()->GetContact1(), display->Segment_B()->Contact1());

    delete gnd->parent();
    QCOMPARE(display->Segment_B()->GetContact2(), display->Segment_B()->Contact2());
    // Read again, the common electrode is the display's own junction.
    QCOMPARE(display->CommonElectrode(), display->Segment_A()->Contact2());
}

QTEST_MAIN(TestLeds)
#include "test_leds.moc"
