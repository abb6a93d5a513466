#include <QtTest>

#include "model/boardlink.h"
#include "model/collections.h"
#include "model/controls.h"
#include "model/drivers.h"
#include "model/hostpins.h"
#include "model/levels.h"
#include "platform/clock.h"
#include "tests/support/testboard.h"

namespace {

// A component stand-in: owns contacts and controls, answers the role questions.
class FakeComponent : public QObject, public ComponentRole {
    Q_OBJECT

public:
    using QObject::QObject;
    TVisibility ComponentVisibility() const override { return visibility; }
    TOrvexPortDriver* MirroredPort() const override { return port; }
    TOrvexPin* MirroredPin() const override { return pin; }
    TVisibility visibility = vs_Hybrid;
    TOrvexPortDriver* port = nullptr;
    TOrvexPin* pin = nullptr;
};

class FakeView : public QObject, public ControlView {
    Q_OBJECT

public:
    explicit FakeView(QObject* parent, const QString& picture)
        : QObject(parent), picture(picture) {}
    void ShowView() override { shown = true; }
    void HideView() override { shown = false; }
    bool IsViewShown() const override { return shown; }
    void LoadViewPicture(const QString& name) override { picture = name; }
    void RepaintView() override { ++repaints; }
    QObject* ViewObject() override { return this; }
    bool shown = true;
    int repaints = 0;
    QString picture;
};

ControlView* makeFakeView(QObject* component, const QString& picture) {
    return new FakeView(component, picture);
}

// A concrete control that records what reaches it.
class RecordingControl : public TOrvexTwoContactControl {
    Q_OBJECT

public:
    using TOrvexTwoContactControl::TOrvexTwoContactControl;
    int GetResistence() override { return AskedContact() == Contact1() ? 11 : 22; }
    void ValueChanged(TOrvexDriver* contact, TOrvexDriver* sender) override {
        changes.append(qMakePair(contact, sender));
    }
    QList<QPair<TOrvexDriver*, TOrvexDriver*>> changes;
};

QStringList connectionNames(const TOrvexPinDriver* d) {
    QStringList names;
    for (const TComponentItem& item : *d->ComponentList())
        names << (item.Pin ? item.Pin->objectName() : QStringLiteral("<nil>"));
    return names;
}

} // namespace

class TestModel : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void logicLevels_data();
    void logicLevels();
    void collections();
    void longListsKeepOrder();
    void wiringIsSymmetric();
    void connectSkipsDuplicatesAndCleansNil();
    void destroyingAWiredContactUnwiresIt_data();
    void destroyingAWiredContactUnwiresIt();
    void setValueAndChangeValue();
    void suspendedBoardChangesNothing();
    void ownerBoardFollowsTheComponent_data();
    void ownerBoardFollowsTheComponent();
    void driverAndInputRoles();
    void setDrivenValueReattachesDriverContact_data();
    void setDrivenValueReattachesDriverContact();
    void supplyPinTypes_data();
    void supplyPinTypes();
    void reports_data();
    void reports();
    void hostPinSpaceAndPinNumber();
    void hostPinAccess_data();
    void hostPinAccess();
    void hostPinLevelMessage_data();
    void hostPinLevelMessage();
    void portAccessAndMirroring();
    void portWriteFromBoard_data();
    void portWriteFromBoard();
    void portAddressAndSpace();
    void portDestructionClearsPins();
    void otherContact();
    void setContactSemantics();
    void afterglow_data();
    void afterglow();

private:
    TestBoard* board = nullptr;
    FakeComponent* comp = nullptr;
};

void TestModel::init() {
    board = new TestBoard;
    comp = new FakeComponent(board);
    comp->setObjectName(QStringLiteral("Comp"));
}

void TestModel::cleanup() {
    delete board;
    board = nullptr;
    comp = nullptr;
}

// Each rule around the threshold: the board's reading puts the threshold itself on the low side,
// a logic input's on the high side, and only a gate input reads an undefined level as high.
void TestModel::logicLevels_data() {
    QTest::addColumn<int>("level");
    QTest::addColumn<bool>("low");
    QTest::addColumn<bool>("high");
    QTest::addColumn<bool>("input");
    QTest::addColumn<bool>("gate");
    QTest::newRow("2499") << 2499 << true << false << false << false;
    QTest::newRow("2500") << 2500 << true << false << true << true;
    QTest::newRow("2501") << 2501 << false << true << true << true;
    QTest::newRow("undefined") << LevelUndefined << false << false << false << true;
}

void TestModel::logicLevels() {
    QFETCH(int, level);
    QFETCH(bool, low);
    QFETCH(bool, high);
    QFETCH(bool, input);
    QFETCH(bool, gate);
    QCOMPARE(IsLowLevel(level), low);
    QCOMPARE(IsHighLevel(level), high);
    QCOMPARE(ReachesThreshold(level), input);
    QCOMPARE(GateHigh(level), gate);
}

void TestModel::collections() {
    TComponentList list;
    TComponentItem& item = list.Add();
    QCOMPARE(item.Name, QStringLiteral("orvexComponent"));
    TOrvexPinDriver a(comp);
    TComponentItem other{&a, QStringLiteral("A")};
    list.Items(0).Assign(other);
    QCOMPARE(list.Items(0).Pin, &a);
    QCOMPARE(list.Items(0).Name, QStringLiteral("orvexComponent")); // the name stays
    list.Items(0).Name.clear();
    QCOMPARE(list.Items(0).GetDisplayName(), QStringLiteral("TComponentItem"));

    TNode node(board);
    QCOMPARE(node.Add().Name, QStringLiteral("orvexNode"));
    QCOMPARE(node.FirstContact(), nullptr);
    node.Drivers().Add(&a, QStringLiteral("Comp.A"));
    QCOMPARE(node.FirstContact(), &a);
}

// Long lists keep where their contacts stand and leave holes when one is removed; whatever the
// sequence of changes, they must read exactly as a plain list with the same changes would.
void TestModel::longListsKeepOrder() {
    QList<TOrvexPinDriver*> pins;
    for (int i = 0; i < 90; ++i) {
        pins.append(new TOrvexPinDriver(comp));
        pins.last()->setObjectName(QStringLiteral("P%1").arg(i));
    }
    QRandomGenerator random(7);
    TComponentList list;
    std::vector<TOrvexPinDriver*> expected;
    auto pick = [&] { return pins[random.bounded(int(pins.size()))]; };
    for (int step = 0; step < 4000; ++step) {
        const int what = random.bounded(100);
        QString operation;
        if (what < 40 || expected.size() < 40) {
            TOrvexPinDriver* pin = what == 0 ? nullptr : pick();
            list.Add(pin, QStringLiteral("x"));
            expected.push_back(pin);
            operation = QStringLiteral("add");
        } else if (what < 75) {
            TOrvexPinDriver* pin = pick();
            auto it = std::find(expected.rbegin(), expected.rend(), pin);
            const bool there = it != expected.rend();
            if (there) expected.erase(std::next(it).base());
            QCOMPARE(list.Remove(pin), there);
            operation = QStringLiteral("remove");
        } else if (what < 85) {
            const int at = random.bounded(int(expected.size()));
            list.Delete(at);
            expected.erase(expected.begin() + at);
            operation = QStringLiteral("delete");
        } else if (what < 92) {
            const int at = random.bounded(int(expected.size()) - 1);
            std::swap(list.Items(at), list.Items(at + 1));
            std::swap(expected[size_t(at)], expected[size_t(at) + 1]);
            operation = QStringLiteral("swap");
        } else if (what < 97) {
            list.RemoveEmpty();
            std::erase(expected, nullptr);
            operation = QStringLiteral("remove empty");
        } else if (what == 97) {
            list.Clear();
            expected.clear();
            operation = QStringLiteral("clear");
        } else {
            operation = QStringLiteral("read");
        }
        const QByteArray where = QStringLiteral("step %1 (%2)").arg(step).arg(operation).toUtf8();
        const TComponentList& reader = list;
        QVERIFY2(reader.Count() == int(expected.size()), where);
        QVERIFY2(reader.First() == (expected.empty() ? nullptr : expected.front()), where);
        TOrvexPinDriver* probe = pick();
        const auto found = std::find(expected.begin(), expected.end(), probe);
        QVERIFY2(reader.Contains(probe) == (found != expected.end()), where);
        QVERIFY2(reader.IndexOf(probe) ==
                     (found == expected.end() ? -1 : int(found - expected.begin())),
                 where);
        if (step % 7 == 0) {
            std::vector<TOrvexPinDriver*> read;
            for (const TComponentItem& item : reader)
                read.push_back(item.Pin);
            QVERIFY2(read == expected, where);
        }
    }
}

void TestModel::wiringIsSymmetric() {
    auto* a = new TOrvexPinDriver(comp);
    auto* b = new TOrvexPinDriver(comp);
    auto* c = new TOrvexPinDriver(comp);
    a->setObjectName("A");
    b->setObjectName("B");
    c->setObjectName("C");
    QCOMPARE(a->GetContact(), a); // unwired: itself
    a->SetContact(b);
    a->SetContact(c);
    QCOMPARE(connectionNames(a), QStringList({"B", "C"}));
    QCOMPARE(connectionNames(b), QStringList({"A"}));
    QCOMPARE(connectionNames(c), QStringList({"A"}));
    QCOMPARE(a->GetContact(), b);
    QCOMPARE(a->GetComponent(1), c);
    QCOMPARE(a->GetComponent(2), nullptr);
    QCOMPARE(a->GetComponent(-1), nullptr);

    b->Disconnect(a);
    QCOMPARE(connectionNames(a), QStringList({"C"}));
    QVERIFY(b->ComponentList()->IsEmpty());

    a->SetContact(b);
    a->SetContact(nullptr); // disconnects every partner, on both sides
    QVERIFY(a->ComponentList()->IsEmpty());
    QVERIFY(b->ComponentList()->IsEmpty());
    QVERIFY(c->ComponentList()->IsEmpty());

    // Ignored arguments.
    a->Connect(nullptr);
    a->Connect(a);
    a->Disconnect(nullptr);
    QVERIFY(a->ComponentList()->IsEmpty());
}

void TestModel::connectSkipsDuplicatesAndCleansNil() {
    TOrvexPinDriver a(comp), b(comp), c(comp);
    b.setObjectName("B");
    a.SetContact(&b);
    a.SetContact(&b);
    b.SetContact(&a);
    QCOMPARE(a.ComponentList()->Count(), 1);
    QCOMPARE(b.ComponentList()->Count(), 1);
    QCOMPARE(a.ComponentList()->Items(0).Name, QStringLiteral("B"));
    a.ComponentList()->Add(nullptr, QStringLiteral("stale"));
    a.ComponentList()->Add(nullptr, QStringLiteral("stale2"));
    a.Connect(&c);
    QCOMPARE(a.ComponentList()->Count(), 2);
    QCOMPARE(c.ComponentList()->Count(), 1); // two-sided, so destroying either end is safe
    QCOMPARE(a.GetComponent(0), &b);
    QCOMPARE(a.GetComponent(1), &c);
}

void TestModel::destroyingAWiredContactUnwiresIt_data() {
    QTest::addColumn<int>("order");
    QTest::newRow("contact first") << 0;
    QTest::newRow("control first") << 1;
    QTest::newRow("component first") << 2;
    QTest::newRow("partner component first") << 3;
    QTest::newRow("board only") << 4;
    QTest::newRow("port pin first") << 5;
    QTest::newRow("port first") << 6;
}

void TestModel::destroyingAWiredContactUnwiresIt() {
    QFETCH(int, order);
    auto* other = new FakeComponent(board);
    auto* control = new RecordingControl(comp);
    auto* driver = new TOrvexPinDriver(other);
    driver->SetDriver(true);
    auto* port = new TOrvexPort(other);
    control->SetContact1(driver);
    control->SetContact2(port->Pins(3));
    port->Pins(3)->SetContact(driver);
    QCOMPARE(driver->ComponentList()->Count(), 2);

    QPointer<TOrvexPinDriver> c1 = control->Contact1();
    QPointer<TOrvexPinDriver> c2 = control->Contact2();
    switch (order) {
    case 0:
        delete c1.data();
        break;
    case 1:
        delete control;
        break;
    case 2:
        delete comp;
        break;
    case 3:
        delete other;
        break;
    case 4:
        break;
    case 5:
        delete port->Pins(3);
        break;
    case 6:
        delete port;
        break;
    }
    if (order == 0) QCOMPARE(control->Contact1(), nullptr);
    if (order == 1 || order == 2) {
        QVERIFY(!c1 && !c2);
        QCOMPARE(driver->ComponentList()->Count(), 1); // only the port pin is left
    }
    if (order == 3 && c2) QVERIFY(c2->ComponentList()->IsEmpty());
    if (order == 5) {
        QCOMPARE(port->Pins(3), nullptr);
        QCOMPARE(driver->ComponentList()->Count(), 1);
        QVERIFY(c2->ComponentList()->IsEmpty());
    }
    if (order == 6) QVERIFY(c2->ComponentList()->IsEmpty());
    // Whatever is left goes with the board; ASan sees any dangling partner.
    delete board;
    board = nullptr;
}

void TestModel::setValueAndChangeValue() {
    auto* control = new RecordingControl(comp);
    TOrvexPinDriver* c = control->Contact1();
    int changes = 0;
    c->OnChange = [&](QObject* sender) {
        QCOMPARE(sender, c);
        ++changes;
    };
    c->ChangeValue(7000, nullptr);
    QCOMPARE(c->Value(), 5000);
    QVERIFY(c->Settled());
    QCOMPARE(control->changes.size(), 1);
    QCOMPARE(control->changes[0].first, c);
    c->ChangeValue(0, nullptr); // settled: ignored in the same pass
    QCOMPARE(c->Value(), 5000);
    QCOMPARE(changes, 1);

    c->SetSettled(false);
    c->StoreDrivenValue(1234);
    c->SetValue(-1); // the driven value stands in for "undefined"
    QCOMPARE(c->Value(), 1234);

    TOrvexPinDriver* sender = control->Contact2();
    c->SetSettled(false);
    c->ChangeValue(10, sender);
    QCOMPARE(control->changes.last().second, sender);

    // AssignValue: no ValueChanged for a plain contact, ChangeValue for an input.
    c->SetSettled(false);
    const int before = control->changes.size();
    c->AssignValue(300);
    QCOMPARE(c->Value(), 300);
    QVERIFY(c->Settled());
    QCOMPARE(control->changes.size(), before);
    c->SetInput(true);
    c->SetSettled(false);
    c->AssignValue(400);
    QCOMPARE(control->changes.size(), before + 1);
    QCOMPARE(control->changes.last().second, c);
}

void TestModel::ownerBoardFollowsTheComponent_data() {
    QTest::addColumn<QString>("asker");
    QTest::newRow("contact") << QStringLiteral("contact");
    QTest::newRow("port pin") << QStringLiteral("port pin");
    QTest::newRow("control") << QStringLiteral("control");
}

// Contacts and controls keep the board they found; the answer must follow the component to another
// board, off any board and back, and a board that stops being one.
void TestModel::ownerBoardFollowsTheComponent() {
    QFETCH(QString, asker);
    auto* contact = new TOrvexPinDriver(comp);
    auto* port = new TOrvexPort(comp);
    auto* control = new RecordingControl(comp);
    const auto ownerBoard = [&]() -> BoardLink* {
        if (asker == u"contact") return contact->OwnerForm();
        if (asker == u"port pin") return port->Pins(3)->OwnerForm();
        return control->OwnerForm();
    };
    QCOMPARE(ownerBoard(), static_cast<BoardLink*>(board));
    QCOMPARE(ownerBoard(), static_cast<BoardLink*>(board)); // asked again: kept

    TestBoard other;
    comp->setParent(&other);
    QCOMPARE(ownerBoard(), static_cast<BoardLink*>(&other));

    QObject plain;
    comp->setParent(&plain);
    QCOMPARE(ownerBoard(), nullptr);

    // Under a board through an owner that is not one.
    auto* group = new QObject(board);
    comp->setParent(group);
    QCOMPARE(ownerBoard(), static_cast<BoardLink*>(board));
    comp->setParent(board);
    QCOMPARE(ownerBoard(), static_cast<BoardLink*>(board));

    // A board being destroyed stops being one before its children go.
    auto* dying = new TestBoard;
    comp->setParent(dying);
    QCOMPARE(ownerBoard(), static_cast<BoardLink*>(dying));
    BoardLink* seenWhileDying = static_cast<BoardLink*>(dying);
    QObject::connect(dying, &QObject::destroyed, [&] { seenWhileDying = ownerBoard(); });
    delete dying; // deletes the component, which the next init makes afresh
    comp = nullptr;
    QCOMPARE(seenWhileDying, nullptr);
}

void TestModel::suspendedBoardChangesNothing() {
    auto* c = new TOrvexPinDriver(comp);
    board->suspended = true;
    c->ChangeValue(3000, nullptr);
    QCOMPARE(c->Value(), 0);
    QVERIFY(!c->Settled());
}

void TestModel::driverAndInputRoles() {
    auto* control = new RecordingControl(comp);
    TOrvexPinDriver* c = control->Contact1();
    QCOMPARE(c->DriverContact(), nullptr);
    c->StoreDrivenValue(5000);
    c->SetDriver(true);
    TOrvexPinDriver* dc = c->DriverContact();
    QVERIFY(dc);
    QCOMPARE(dc->objectName(), QStringLiteral("DriverContact"));
    QCOMPARE(dc->OwnerControl(), control);
    QCOMPARE(dc->NodeIndex(), 1);
    QCOMPARE(dc->Value(), 5000);
    c->SetInput(true);
    QCOMPARE(c->DriverContact(), dc); // one hidden contact for both roles
    c->SetDriver(false);              // still an input: nothing changes
    QVERIFY(c->IsDriver());
    c->SetInput(false); // still a driver: nothing changes
    QVERIFY(c->IsInput() && c->IsDriver());
    QVERIFY(c->DriverContact());

    auto* low = new TOrvexPinDriver(comp);
    low->StoreDrivenValue(2500);
    low->SetDriver(true);
    QCOMPARE(low->DriverContact()->NodeIndex(), 0);
    QCOMPARE(low->DriverContact()->DrivenValue(), 0);
    low->SetDriver(false);
    QCOMPARE(low->DriverContact(), nullptr);
    QVERIFY(!low->IsDriver());

    // A driver's level reaches a newly wired partner at once.
    auto* partner = new TOrvexPinDriver(comp);
    low->SetDriver(true);
    low->StoreValue(5000);
    low->SetContact(partner);
    QCOMPARE(partner->Value(), 5000);
}

void TestModel::setDrivenValueReattachesDriverContact_data() {
    QTest::addColumn<int>("level");
    QTest::addColumn<int>("rail");
    QTest::newRow("0 to GND") << 0 << 0;
    QTest::newRow("2500 to GND") << 2500 << 0;
    QTest::newRow("2501 to Vcc") << 2501 << 1;
    QTest::newRow("5000 to Vcc") << 5000 << 1;
    QTest::newRow("undefined to Vcc") << -1 << 1;
}

void TestModel::setDrivenValueReattachesDriverContact() {
    QFETCH(int, level);
    QFETCH(int, rail);
    board->MakeRails();
    TOrvexPinDriver* gnd = board->nodes[0]->FirstContact();
    TOrvexPinDriver* vcc = board->nodes[1]->FirstContact();
    auto* c = new TOrvexPinDriver(comp);
    c->SetDriver(true);
    c->SetDrivenValue(rail ? 0 : 5000); // start on the other rail
    c->SetDrivenValue(level);
    QCOMPARE(c->DrivenValue(), level);
    TOrvexPinDriver* expected = rail ? vcc : gnd;
    TOrvexPinDriver* other = rail ? gnd : vcc;
    QCOMPARE(connectionNames(c->DriverContact()), QStringList({expected->objectName()}));
    QCOMPARE(expected->ComponentList()->IndexOf(c->DriverContact()), 0);
    QVERIFY(other->ComponentList()->IsEmpty());

    // While suspended only the value is stored.
    board->suspended = true;
    c->SetDrivenValue(rail ? 0 : 5000);
    QCOMPARE(c->GetContact(), c);
    QCOMPARE(c->DriverContact()->GetContact(), expected);
}

void TestModel::supplyPinTypes_data() {
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("ohms");
    QTest::addColumn<int>("setTo");
    QTest::addColumn<int>("valueAfterSet");
    QTest::newRow("GND") << int(PIN_GND) << 0 << 0 << 4000 << 0;
    QTest::newRow("Vcc") << int(PIN_Vcc) << 5000 << 1 << 100 << 5000;
    QTest::newRow("floating") << int(PIN_Floating) << 5000 << 10000000 << 9000 << 5000;
    QTest::newRow("floating low") << int(PIN_Floating) << 5000 << 10000000 << 1200 << 1200;
}

void TestModel::supplyPinTypes() {
    QFETCH(int, type);
    QFETCH(int, value);
    QFETCH(int, ohms);
    QFETCH(int, setTo);
    QFETCH(int, valueAfterSet);
    auto* pin = new TPin(comp);
    QCOMPARE(pin->GetResistence(), 1);
    QCOMPARE(pin->GetRating(), 2147483647);
    pin->SetPinType(TPinType(type));
    QCOMPARE(pin->Value(), value);
    QCOMPARE(pin->GetResistence(), ohms);
    QVERIFY(pin->Settled());
    pin->SetSettled(false);
    pin->SetValue(setTo);
    QCOMPARE(pin->Value(), valueAfterSet);
    QCOMPARE(pin->DrivenValue(), valueAfterSet);
    pin->SetSettled(false);
    pin->AssignValue(1); // a supply pin keeps its own level
    QCOMPARE(pin->Value(), valueAfterSet);
    QVERIFY(!pin->Settled());
}

void TestModel::reports_data() {
    QTest::addColumn<int>("what");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("result");
    QTest::newRow("driver SetValue") << 0 << "Virtual method SetValue called" << 0;
    QTest::newRow("driver GetResistence") << 1 << "Virtual method GetResistence called" << -1;
    QTest::newRow("driver SetResistence") << 2 << "Virtual method SetResistence called" << 0;
    QTest::newRow("driver ChangeValue") << 3 << "Virtual method ChangeValue called" << 0;
    QTest::newRow("driver SetDrivenValue") << 4 << "Virtual method SetDrivenValue called" << 0;
    QTest::newRow("contact GetResistence")
        << 5 << "Virtual method TOrvexPinDriver.GetResistence called" << -1;
    QTest::newRow("control GetResistence")
        << 6 << "Virtual method TOrvexControl.GetResistence called" << -1;
    QTest::newRow("control SetResistence")
        << 7 << "Virtual method TOrvexControl.SetResistence called" << 0;
    QTest::newRow("control ValueChanged")
        << 8 << "Virtual method TOrvexControl.ValueChanged called" << 0;
}

void TestModel::reports() {
    QFETCH(int, what);
    QFETCH(QString, text);
    QFETCH(int, result);
    auto* driver = new TOrvexDriver(comp);
    auto* contact = new TOrvexPinDriver(comp);
    auto* control = new TOrvexControl(comp);
    for (bool window : {false, true}) {
        board->hasWindow = window;
        board->errors.clear();
        int got = 0;
        switch (what) {
        case 0:
            driver->SetValue(5);
            break;
        case 1:
            got = driver->GetResistence();
            break;
        case 2:
            driver->SetResistence(5);
            break;
        case 3:
            driver->ChangeValue(5, nullptr);
            break;
        case 4:
            driver->SetDrivenValue(5);
            break;
        case 5:
            got = contact->GetResistence();
            break;
        case 6:
            got = control->GetResistence();
            break;
        case 7:
            control->SetResistence(5);
            break;
        case 8:
            control->ValueChanged(contact, nullptr);
            break;
        }
        QCOMPARE(got, result);
        QCOMPARE(board->errors, window ? QStringList{text} : QStringList{});
    }
    QCOMPARE(driver->Value(), 0);
}

void TestModel::hostPinSpaceAndPinNumber() {
    auto* pin = new TOrvexPin(comp);
    QCOMPARE(pin->Space(), ops_DATA);
    QCOMPARE(pin->Value(), 5000);
    QCOMPARE(pin->Address(), 128);
    int changes = 0;
    pin->OnChange = [&](QObject*) { ++changes; };
    for (TPortSpace refused : {ops_CODE, ops_IDATA}) {
        pin->SetSpace(refused);
        QCOMPARE(pin->Space(), ops_DATA);
        QCOMPARE(board->errors.takeLast(), QStringLiteral("Invalid property value for pin"));
    }
    QCOMPARE(changes, 0);
    pin->SetSpace(ops_XDATA);
    QCOMPARE(pin->Space(), ops_XDATA);
    QCOMPARE(changes, 1);

    pin->SetActivatedOn(opa_RD | opa_WR);
    QCOMPARE(pin->ActivatedOn(), opa_RD | opa_WR);
    pin->SetSpace(ops_BIT); // the strobe set only counts in the external data space
    QCOMPARE(pin->ActivatedOn(), TPortActivated());

    pin->SetPinNumber(5);
    QCOMPARE(pin->PinMask(), 32);
    pin->SetPinNumber(9); // not a bit of a byte: refused
    QCOMPARE(pin->PinNumber(), 5);
    QCOMPARE(board->errors.takeLast(), QStringLiteral("Invalid property value for pin"));
    QCOMPARE(pin->property("PinMask").toInt(), 32);

    auto* control = new TOrvexPinControl(comp);
    control->SetContact(pin);
    control->SetResistence(50);
    pin->SetOwnerControl(control);
    QCOMPARE(pin->GetResistence(), 50);
    QCOMPARE(control->AskedContact(), pin);
}

void TestModel::hostPinAccess_data() {
    QTest::addColumn<int>("space");
    QTest::addColumn<int>("activated");
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("address");
    QTest::addColumn<int>("data");
    QTest::addColumn<int>("driven");
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("drivenValue");
    const int X = ops_XDATA, D = ops_DATA;
    // Pin: bit 3 at address 0x20.
    QTest::newRow("data bit set") << D << 0 << D << 0x20 << 0x08 << 0x00 << 5000 << 0;
    QTest::newRow("data bit clear") << D << 0 << D << 0x20 << 0xF7 << 0x08 << 0 << 5000;
    QTest::newRow("other address ignored") << D << 0 << D << 0x21 << 0x00 << 0 << 5000 << 5000;
    QTest::newRow("other space ignored") << D << 0 << X << 0x20 << 0x00 << 0 << 5000 << 5000;
    QTest::newRow("strobe bits ignored on data")
        << D << 0 << (D | 0xC0) << 0x20 << 0x08 << 0 << 5000 << 0;
    QTest::newRow("RD pin, RD active")
        << X << int(opa_RD) << X << 0x20 << 0xFF << 0xFF << 0 << 5000;
    QTest::newRow("RD pin, RD idle")
        << X << int(opa_RD) << (X | 0x80) << 0x20 << 0 << 0 << 5000 << 5000;
    QTest::newRow("RD pin ignores WR")
        << X << int(opa_RD) << (X | 0x80) << 0x20 << 0 << 0 << 5000 << 5000;
    QTest::newRow("WR pin, WR active")
        << X << int(opa_WR) << (X | 0x80) << 0x20 << 0 << 0 << 0 << 5000;
    QTest::newRow("WR pin, WR idle")
        << X << int(opa_WR) << (X | 0x40) << 0x20 << 0 << 0 << 5000 << 5000;
    QTest::newRow("RD|WR pin, both idle")
        << X << int(opa_RD | opa_WR) << (X | 0xC0) << 0x20 << 0 << 0 << 5000 << 5000;
    QTest::newRow("RD|WR pin, WR active")
        << X << int(opa_RD | opa_WR) << (X | 0x80) << 0x20 << 0 << 0 << 0 << 5000;
    QTest::newRow("plain XDATA pin") << X << 0 << (X | 0xC0) << 0x20 << 0 << 0 << 5000 << 5000;
}

void TestModel::hostPinAccess() {
    QFETCH(int, space);
    QFETCH(int, activated);
    QFETCH(int, kind);
    QFETCH(int, address);
    QFETCH(int, data);
    QFETCH(int, driven);
    QFETCH(int, value);
    QFETCH(int, drivenValue);
    auto* pin = new TOrvexPin(comp);
    pin->SetSpace(TPortSpace(space));
    pin->SetAddress(0x20);
    pin->SetPinNumber(3);
    pin->SetActivatedOn(TPortActivated(activated));
    board->sent.clear();
    SetHostBusy(true); // as during the board's own handling: no reports back
    pin->HostAccess(data, driven, kind, address, nullptr);
    SetHostBusy(false);
    QCOMPARE(pin->Value(), value);
    QCOMPARE(pin->DrivenValue(), drivenValue);
    QVERIFY(board->sent.isEmpty());
}

void TestModel::hostPinLevelMessage_data() {
    QTest::addColumn<int>("address");
    QTest::addColumn<int>("level");
    QTest::addColumn<bool>("busy");
    QTest::addColumn<bool>("sent");
    QTest::addColumn<int>("volts");
    QTest::newRow("5000") << 0x90 << 5000 << false << true << 5;
    QTest::newRow("capped") << 0x90 << 9000 << false << true << 5;
    QTest::newRow("2600 -> 3 V") << 0x90 << 2600 << false << true << 3;
    QTest::newRow("2500 -> 2 V") << 0x90 << 2500 << false << true << 2;
    QTest::newRow("3500 -> 4 V") << 0x90 << 3500 << false << true << 4;
    QTest::newRow("address 255") << 255 << 0 << false << true << 0;
    QTest::newRow("address 256") << 256 << 0 << false << false << 0;
    QTest::newRow("address 300") << 300 << 0 << false << false << 0;
    QTest::newRow("negative address") << -1 << 0 << false << false << 0;
    QTest::newRow("host busy") << 0x90 << 0 << true << false << 0;
}

void TestModel::hostPinLevelMessage() {
    QFETCH(int, address);
    QFETCH(int, level);
    QFETCH(bool, busy);
    QFETCH(bool, sent);
    QFETCH(int, volts);
    auto* pin = new TOrvexPin(comp);
    pin->SetAddress(address);
    pin->SetPinNumber(3);
    board->sent.clear();
    SetHostBusy(busy);
    pin->SetSettled(false);
    pin->SetValue(level);
    SetHostBusy(false);
    QCOMPARE(pin->Value(), qMin(level, 5000)); // the level changes whether or not the host hears
    const auto messages = board->SentWith(HostMsg::PinLevel);
    QCOMPARE(messages.size(), sent ? 1 : 0);
    if (sent) {
        QCOMPARE(messages[0].wParam, PackBytes(quint8(address), 3, ops_DATA, quint8(volts)));
        QCOMPARE(messages[0].lParam, reinterpret_cast<qintptr>(pin));
    }
}

void TestModel::portAccessAndMirroring() {
    auto* port = new TOrvexPort(comp);
    QCOMPARE(port->DrivenValue(), 255);
    for (int i = 0; i < 8; ++i) {
        TOrvexPin* pin = port->Pins(i);
        QCOMPARE(pin->objectName(), QStringLiteral("Pin_%1").arg(i));
        QCOMPARE(pin->PinNumber(), i);
        QVERIFY(pin->IsPortPin() && pin->IsDriver());
        QCOMPARE(pin->GetResistence(), 1000);
        QCOMPARE(pin->OwnerControl()->objectName(), QStringLiteral("Comp_Pin_%1").arg(i));
    }
    port->SetAddress(0x30);
    port->SetSpace(ops_XDATA);

    // Another component shows the same port byte and another shows bit 2 of it.
    auto* mirror = new FakeComponent(board);
    auto* shownPort = new TOrvexPort(mirror);
    shownPort->SetAddress(0x30);
    shownPort->SetSpace(ops_XDATA);
    mirror->port = shownPort;
    auto* pinComp = new FakeComponent(board);
    auto* shownPin = new TOrvexPin(pinComp);
    shownPin->SetSpace(ops_XDATA);
    shownPin->SetAddress(0x30);
    shownPin->SetPinNumber(2);
    pinComp->pin = shownPin;
    board->components = {mirror, pinComp};
    shownPort->StoreValue(0);
    shownPort->StoreDrivenValue(0);

    board->sent.clear();
    SetHostBusy(true);
    // Strobe bits on the port's kind never reach the pins (they would turn them into strobes).
    port->HostAccess(0x05, 0x04, ops_XDATA | 0xC0, 0x30, nullptr);
    SetHostBusy(false);
    QCOMPARE(port->Value(), 0x05);
    for (int i = 0; i < 8; ++i) {
        QCOMPARE(port->Pins(i)->Value(), (0x05 >> i) & 1 ? 5000 : 0);
        QCOMPARE(port->Pins(i)->DrivenValue(), (0x04 >> i) & 1 ? 5000 : 0);
    }
    QCOMPARE(shownPort->Value(), 0x05);
    QCOMPARE(shownPort->DrivenValue(), 0x04);
    QCOMPARE(shownPin->Value(), 5000);
    QCOMPARE(shownPin->DrivenValue(), 5000);
    QVERIFY(board->sent.isEmpty());

    port->HostAccess(0xFF, 0xFF, ops_XDATA, 0x31, nullptr); // other address
    port->HostAccess(0xFF, 0xFF, ops_DATA, 0x30, nullptr);  // other space
    QCOMPARE(port->Value(), 0x05);

    // Writing the port byte sets every pin and reports each pin level.
    board->sent.clear();
    for (int i = 0; i < 8; ++i)
        port->Pins(i)->SetSettled(false);
    port->SetValue(0x02);
    QCOMPARE(port->Value(), 2);
    for (int i = 0; i < 8; ++i)
        QCOMPARE(port->Pins(i)->Value(), i == 1 ? 5000 : 0);
    QCOMPARE(board->SentWith(HostMsg::PinLevel).size(), 8);
}

void TestModel::portWriteFromBoard_data() {
    QTest::addColumn<int>("address");
    QTest::addColumn<bool>("heard");
    QTest::newRow("address 0x40") << 0x40 << true;
    QTest::newRow("address 255") << 255 << true;
    QTest::newRow("address 256") << 256 << false;
}

void TestModel::portWriteFromBoard() {
    QFETCH(int, address);
    QFETCH(bool, heard);
    auto* port = new TOrvexPort(comp);
    port->SetAddress(address);
    board->sent.clear();
    WriteFromBoard(port, board, 2);
    QCOMPARE(port->Value(), 2);
    for (int i = 0; i < 8; ++i)
        QCOMPARE(port->Pins(i)->Value(), i == 1 ? 5000 : 0);
    const auto bytes = board->SentWith(HostMsg::PortByte);
    QCOMPARE(bytes.size(), heard ? 1 : 0);
    if (heard) QCOMPARE(bytes[0].wParam, PackBytes(quint8(address), 0, ops_DATA, 2));
    QCOMPARE(board->SentWith(HostMsg::PinLevel).size(), 0); // plain writes
}

void TestModel::portAddressAndSpace() {
    auto* port = new TOrvexPort(comp);
    int changes = 0;
    port->OnChange = [&](QObject*) { ++changes; };
    port->SetAddress(0x1234);
    QCOMPARE(port->Address(), 0x1234);
    QCOMPARE(port->Pins(7)->Address(), 0x1234);
    QCOMPARE(board->SentWith(HostMsg::PortAddress).last().wParam, 0x1234u);
    QCOMPARE(changes, 1);

    board->addressAnswer = 1; // the host refuses
    port->SetAddress(0x55);
    QCOMPARE(port->Address(), 0x1234);
    QCOMPARE(board->errors.takeLast(), QStringLiteral("Invalid property value for port"));
    QCOMPARE(changes, 1);

    board->addressAnswer = 0;
    // No window, no host to ask: the address is kept as given (a board read out of sight keeps
    // it), and nobody hears of it.
    board->hasWindow = false;
    const qsizetype asked = board->SentWith(HostMsg::PortAddress).size();
    port->SetAddress(0x66);
    QCOMPARE(port->Address(), 0x66);
    QCOMPARE(port->Pins(7)->Address(), 0x66);
    QCOMPARE(board->SentWith(HostMsg::PortAddress).size(), asked);
    board->hasWindow = true;

    for (TPortSpace ok : {ops_CODE, ops_XDATA, ops_DATA}) {
        port->SetSpace(ok);
        QCOMPARE(port->Space(), ok);
        QCOMPARE(port->Pins(0)->Space(), ok);
    }
    for (TPortSpace refused : {ops_IDATA, ops_BIT, ops_PSEN}) {
        port->SetSpace(refused);
        QCOMPARE(port->Space(), ops_DATA);
        QCOMPARE(board->errors.takeLast(), QStringLiteral("Invalid property value for port"));
    }
}

void TestModel::portDestructionClearsPins() {
    auto* port = new TOrvexPort(comp);
    QPointer<TOrvexPin> pin4 = port->Pins(4);
    QPointer<TOrvexControl> control4 = pin4->OwnerControl();
    delete port->Pins(2);
    QCOMPARE(port->Pins(2), nullptr);
    delete control4.data(); // the pin is left without a control, not with a dangling one
    QCOMPARE(pin4->OwnerControl(), nullptr);
    QCOMPARE(pin4->GetResistence(), 1000);
    delete port;
    QVERIFY(!pin4);
}

void TestModel::otherContact() {
    auto* pinControl = new TOrvexPinControl(comp);
    auto* pin = new TOrvexPin(comp);
    pin->SetDriver(true);
    pinControl->SetContact(pin);
    auto* foreign = new TOrvexPinDriver(comp);
    QCOMPARE(pinControl->OtherContact(pin), pin->DriverContact());
    QCOMPARE(pinControl->OtherContact(foreign), pin);

    auto* two = new RecordingControl(comp);
    QCOMPARE(two->OtherContact(two->Contact1()), two->Contact2());
    QCOMPARE(two->OtherContact(two->Contact2()), two->Contact1());
    QCOMPARE(two->OtherContact(foreign), two->Contact1());
    QCOMPARE(two->OtherContact(nullptr), two->Contact1());

    auto* three = new TOrvexThreeContactControl(comp);
    QCOMPARE(three->OtherContact(three->Contact1()), three->Contact3());
    QCOMPARE(three->OtherContact(three->Contact2()), three->Contact3());
    QCOMPARE(three->OtherContact(three->Contact3()), nullptr);
    QCOMPARE(three->OtherContact(foreign), nullptr);
    QCOMPARE(three->Contact3()->objectName(), QStringLiteral("Contact3"));
    QCOMPARE(three->Contact3()->parent(), comp);
    QCOMPARE(three->Contact3()->OwnerControl(), three);

    auto* bare = new TOrvexControl(comp);
    QCOMPARE(bare->OtherContact(foreign), nullptr);
}

void TestModel::setContactSemantics() {
    auto* control = new RecordingControl(comp);
    auto* a = new TOrvexPinDriver(comp);
    auto* b = new TOrvexPinDriver(comp);
    TOrvexPinDriver* own = control->Contact1();
    QCOMPARE(control->GetContact1(), own); // unwired: the own contact
    control->SetContact1(a);
    QCOMPARE(control->GetContact1(), a);
    control->setProperty("Contact1", QVariant::fromValue(b)); // replaces the first connection
    QCOMPARE(control->GetContact1(), b);
    QVERIFY(a->ComponentList()->IsEmpty());
    own->SetContact(a);        // a second connection
    control->SetContact1(own); // the own contact: only the present connection goes
    QCOMPARE(control->GetContact1(), a);
    QVERIFY(b->ComponentList()->IsEmpty());
    control->SetContact1(nullptr);
    QCOMPARE(control->GetContact1(), own);
    QVERIFY(a->ComponentList()->IsEmpty());
    QCOMPARE(control->Contact1()->GetResistence(), 11);
    QCOMPARE(control->Contact2()->GetResistence(), 22);
}

void TestModel::afterglow_data() {
    QTest::addColumn<bool>("afterglow");
    QTest::addColumn<int>("visibility");
    QTest::newRow("afterglow") << true << int(vs_Hybrid);
    QTest::newRow("no afterglow") << false << int(vs_Hybrid);
    QTest::newRow("schematic view") << true << int(vs_Schematic);
}

void TestModel::afterglow() {
    QFETCH(bool, afterglow);
    QFETCH(int, visibility);
    ScopedManualClock clock;
    SetViewFactory(&makeFakeView);
    auto* control = new RecordingControl(comp);
    control->CreateView(comp, QStringLiteral("RED_BRIGHT"), QStringLiteral("LED_SCH_ON"));
    SetViewFactory(nullptr);
    auto* view = dynamic_cast<FakeView*>(control->View());
    QVERIFY(view);
    QCOMPARE(view->picture, QStringLiteral("RED_BRIGHT"));
    QVERIFY(!view->shown); // created hidden
    control->SetHasView(true);
    control->SetAfterglow(afterglow);
    comp->visibility = TVisibility(visibility);

    control->SetLit(true);
    control->UpdateView();
    const bool schematic = visibility == vs_Schematic;
    QCOMPARE(view->shown, !schematic);
    control->SetLit(false);
    control->UpdateView();
    if (schematic) {
        QVERIFY(!view->shown);
        return;
    }
    QCOMPARE(view->shown, afterglow);
    clock->Advance(49);
    QCOMPARE(view->shown, afterglow);
    clock->Advance(1);
    QVERIFY(!view->shown);
    QVERIFY(!control->ViewTimer()->IsActive());

    // Lit again before the afterglow ran out: the timer stops and the view stays.
    control->SetLit(true);
    control->UpdateView();
    control->SetLit(false);
    control->UpdateView();
    clock->Advance(20);
    control->SetLit(true);
    control->UpdateView();
    clock->Advance(100);
    QVERIFY(view->shown);

    // EndEvaluation turns a clear evaluated flag into a dark control.
    control->SetEvaluated(false);
    control->EndEvaluation(control->Contact1());
    QVERIFY(!control->Lit());
    control->SetEvaluated(true);
    control->SetLit(true);
    control->EndEvaluation(control->Contact1());
    QVERIFY(control->Lit());
}

QTEST_GUILESS_MAIN(TestModel)
#include "test_model.moc"
