#include <QRegularExpression>
#include <QtTest>
#include <algorithm>
#include <functional>
#include <utility>

#include "model/boardlink.h"
#include "model/circuit.h"
#include "model/controls.h"
#include "model/drivers.h"
#include "tests/support/testboard.h"

namespace {

QString pathOf(const QObject* contact) {
    if (!contact) return QString();
    const QObject* owner = contact->parent();
    return (owner ? owner->objectName() + QLatin1Char('.') : QString()) + contact->objectName();
}

// What the controls of a test board saw: each level change ("Part.Contact=level<-Sender") and
// each end-of-step call, in order, and how deeply gate reactions nested on the native stack.
struct Trace {
    bool recording = true;
    QStringList changes;
    QStringList ends;
    int nesting = 0;
    int maxNesting = 0;
    quintptr stackBase = 0; // frame address the stack use is measured from; 0 = not measured
    quintptr maxStackUse = 0;

    void change(const TOrvexDriver* contact, const TOrvexDriver* sender) {
        if (recording)
            changes << QStringLiteral("%1=%2<-%3")
                           .arg(pathOf(contact))
                           .arg(contact->Value())
                           .arg(pathOf(sender));
    }
    void end(const TOrvexPinDriver* contact) {
        if (recording) ends << pathOf(contact);
    }
};

Trace g_trace;

// Counts the gate reactions active on the native stack.
struct Nesting {
    Nesting() {
        g_trace.maxNesting = std::max(g_trace.maxNesting, ++g_trace.nesting);
        const auto frame = quintptr(__builtin_frame_address(0));
        if (g_trace.stackBase > frame)
            g_trace.maxStackUse = std::max(g_trace.maxStackUse, g_trace.stackBase - frame);
    }
    ~Nesting() { --g_trace.nesting; }
    Nesting(const Nesting&) = delete;
    Nesting& operator=(const Nesting&) = delete;
};

// A placed component as the engine sees it: a named owner of contacts with a role.
class Part : public QObject, public ComponentRole {
public:
    enum Kind { Plain, Diode, Switch, Gate };
    Part(QObject* board, const QString& name, Kind kind) : QObject(board), m_kind(kind) {
        setObjectName(name);
    }
    bool IsDiodeComponent() const override { return m_kind == Diode; }
    bool IsSwitchComponent() const override { return m_kind == Switch; }
    bool IsGateComponent() const override { return m_kind == Gate; }

private:
    Kind m_kind;
};

// A switch control; closed, it is a plain wire: the level passes on unchanged.
class SwitchCtl : public TOrvexTwoContactControl {
public:
    SwitchCtl(QObject* owner, bool closed) : TOrvexTwoContactControl(owner), closed(closed) {}

    bool IsOpenSwitch() const override { return !closed; }
    void ValueChanged(TOrvexDriver* changed, TOrvexDriver* sender) override {
        g_trace.change(changed, sender);
        auto* contact = qobject_cast<TOrvexPinDriver*>(changed);
        if (!closed || !contact) return;
        const int level = std::max(contact->Value(), 0);
        OtherContact(contact)->AssignValue(level);
        (contact == Contact2() ? GetContact1() : GetContact2())->SetValue(level);
        SetEvaluated(true);
    }
    void EndEvaluation(TOrvexPinDriver* contact) override {
        g_trace.end(contact);
        TOrvexControl::EndEvaluation(contact);
    }

    bool closed;
};

// Conducts from anode (Contact1) to cathode (Contact2) only, 2000 mV lower; lit while the anode
// stands at least 2000 mV above the cathode.
class DiodeCtl : public TOrvexTwoContactControl {
public:
    explicit DiodeCtl(QObject* owner) : TOrvexTwoContactControl(owner) {
        Contact1()->setObjectName(QStringLiteral("Anode"));
        Contact2()->setObjectName(QStringLiteral("Cathode"));
    }

    void ValueChanged(TOrvexDriver* changed, TOrvexDriver* sender) override {
        g_trace.change(changed, sender);
        TOrvexPinDriver* anode = Contact1();
        TOrvexPinDriver* cathode = Contact2();
        if (changed == anode) {
            if (cathode->Settled() && anode->Value() < cathode->Value()) return;
            int level = std::max(anode->Value() - 2000, 0);
            if (cathode->Settled()) level = std::max(level, cathode->Value());
            cathode->AssignValue(level);
            if (level > 0) GetContact2()->SetValue(level);
        }
        if (anode->Value() >= cathode->Value())
            SetEvaluated(true);
        else
            (changed == cathode ? anode : cathode)->SetSettled(false);
    }
    void EndEvaluation(TOrvexPinDriver* contact) override {
        g_trace.end(contact);
        if (Ended()) return;
        TOrvexControl::EndEvaluation(contact);
        if (!Evaluated()) return;
        SetEnded(true);
        const int a = GetContact1()->Value();
        const int k = GetContact2()->Value();
        SetLit(a >= 0 && k >= 0 && a - k >= 2000);
    }
};

// A two-input NAND (an inverter while Input2 stays unwired at its idle 5000). The output drives.
// A spreading gate starts a spread from its output itself whenever the output changes.
class GateCtl : public TOrvexThreeContactControl {
public:
    GateCtl(QObject* owner, bool spreads) : TOrvexThreeContactControl(owner), m_spreads(spreads) {
        for (TOrvexPinDriver* input : {Contact1(), Contact2()}) {
            input->StoreValue(LevelHigh);
            input->StoreDrivenValue(LevelHigh);
            input->SetInput(true);
        }
        Contact1()->setObjectName(QStringLiteral("Input1"));
        Contact2()->setObjectName(QStringLiteral("Input2"));
        Contact3()->setObjectName(QStringLiteral("Output"));
        Contact3()->StoreValue(LevelUndefined);
        Contact3()->StoreDrivenValue(LevelLow);
        Contact3()->SetDriver(true);
    }

    void ValueChanged(TOrvexDriver* changed, TOrvexDriver* sender) override {
        g_trace.change(changed, sender);
        Nesting nesting;
        if (changed == Contact3()) return;
        auto high = [](int level) { return level < 0 || level >= 2500; };
        const int level =
            high(Contact1()->Value()) && high(Contact2()->Value()) ? LevelLow : LevelHigh;
        const bool differs = level != Contact3()->Value();
        Contact3()->AssignValue(level);
        Contact3()->SetDrivenValue(level);
        SetEvaluated(true);
        if (m_spreads && differs) SpreadFromDriver(Contact3(), nullptr);
    }
    void EndEvaluation(TOrvexPinDriver* contact) override {
        g_trace.end(contact);
        TOrvexControl::EndEvaluation(contact);
    }

private:
    bool m_spreads;
};

// One contact with nothing behind it: a walk that reaches it ends there ("pin end").
class TerminalCtl : public TOrvexPinControl {
public:
    using TOrvexPinControl::TOrvexPinControl;
    void ValueChanged(TOrvexDriver* changed, TOrvexDriver* sender) override {
        g_trace.change(changed, sender);
    }
    void EndEvaluation(TOrvexPinDriver* contact) override {
        g_trace.end(contact);
        TOrvexControl::EndEvaluation(contact);
    }
};

// A terminal whose control runs `onEnd` when its step ends (a component reacting to what it shows).
class HookedTerminalCtl : public TerminalCtl {
public:
    using TerminalCtl::TerminalCtl;
    void EndEvaluation(TOrvexPinDriver* contact) override {
        TerminalCtl::EndEvaluation(contact);
        if (onEnd) std::exchange(onEnd, nullptr)();
    }
    std::function<void()> onEnd;
};

// A driver that holds its own level whatever is pushed or assigned into it (wiring a gate input
// to it assigns the input's idle level).
class StiffDriver : public TOrvexPinDriver {
public:
    using TOrvexPinDriver::TOrvexPinDriver;
    void AssignValue(int) override { TOrvexPinDriver::AssignValue(DrivenValue()); }
    void ChangeValue(int, QObject* sender) override {
        TOrvexPinDriver::ChangeValue(DrivenValue(), sender);
    }
};

// A test board that can act when a spread on it gives up, as the board form does (it shows where).
class HookedBoard : public TestBoard {
public:
    void ReportOscillation(const QString& where) override {
        TestBoard::ReportOscillation(where);
        if (onOscillation) onOscillation();
    }
    std::function<void()> onOscillation;
};

// A test board. Wiring happens while the board is suspended, as in the editor; Run() clears the
// flag and the trace.
class Bench {
public:
    Bench() { board.suspended = true; }

    void Run() {
        board.suspended = false;
        g_trace = Trace();
    }

    SwitchCtl* Wire(const QString& name, bool closed = true, Part::Kind kind = Part::Plain) {
        return new SwitchCtl(new Part(&board, name, kind), closed);
    }
    SwitchCtl* Switch(const QString& name, bool closed) { return Wire(name, closed, Part::Switch); }
    DiodeCtl* Diode(const QString& name) {
        return new DiodeCtl(new Part(&board, name, Part::Diode));
    }
    GateCtl* Gate(const QString& name, bool spreads = false) {
        return new GateCtl(new Part(&board, name, Part::Gate), spreads);
    }
    TOrvexPinDriver* Driver(const QString& name, int level) {
        auto* driver = new StiffDriver(new Part(&board, name, Part::Plain));
        driver->setObjectName(QStringLiteral("Out"));
        driver->StoreValue(level);
        driver->StoreDrivenValue(level);
        driver->SetDriver(true);
        return driver;
    }
    TOrvexPinDriver* Terminal(const QString& name, int level) {
        auto* part = new Part(&board, name, Part::Plain);
        auto* pin = new TOrvexPinDriver(part);
        pin->setObjectName(QStringLiteral("Pin"));
        auto* control = new TerminalCtl(part);
        control->SetContact(pin);
        pin->SetOwnerControl(control);
        pin->StoreValue(level);
        return pin;
    }
    TPin* Supply(const QString& name, TPinType type) {
        auto* pin = new TPin(new Part(&board, name, Part::Plain));
        pin->setObjectName(QStringLiteral("Pin"));
        pin->SetPinType(type);
        pin->SetDriver(true);
        return pin;
    }
    static void Join(TOrvexPinDriver* a, TOrvexPinDriver* b) { a->SetContact(b); }
    // Wiring an input to an output hands the input's idle level to the output; gates that have
    // not been evaluated yet drive nothing.
    static void UndefineOutputs(const QList<GateCtl*>& gates) {
        for (GateCtl* g : gates)
            g->Contact3()->StoreValue(LevelUndefined);
    }

    HookedBoard board;
};

QList<int> levelsOf(const QList<TOrvexPinDriver*>& contacts) {
    QList<int> levels;
    for (const TOrvexPinDriver* c : contacts)
        levels << c->Value();
    return levels;
}

QString firstChange() {
    return g_trace.changes.isEmpty() ? QString() : g_trace.changes.first();
}

// Scenarios for the source search: each builds its board and names the starting contact.
using SourceScenario = std::function<TOrvexPinDriver*(Bench&)>;

} // namespace

Q_DECLARE_METATYPE(SourceScenario)

class TestEngine : public QObject {
    Q_OBJECT

private slots:
    void chainBookkeeping();
    void walkPaths_data();
    void walkPaths();
    void branchPointEndsWalk();
    void openSwitchSplitsChain_data();
    void openSwitchSplitsChain();
    void loopInWiringEndsWalk();
    void gateOutputContinuesOnlyWhenChanged_data();
    void gateOutputContinuesOnlyWhenChanged();
    void findChainSource_data();
    void findChainSource();
    void switchPressReachesDiode();
    void spreadSkips_data();
    void spreadSkips();
    void spreadIsDepthFirst();
    void feedbackIsBounded_data();
    void feedbackIsBounded();
    void longChainSpreadsIteratively_data();
    void longChainSpreadsIteratively();
    void boardsSpreadIndependently();
    void driverDestroyedWhileItSpreads();
};

void TestEngine::chainBookkeeping() {
    Bench b;
    SwitchCtl* w = b.Wire(QStringLiteral("W"));
    w->Contact1()->SetSettled(true);
    w->Contact2()->SetSettled(true);

    TChain chain;
    QCOMPARE(FirstUnsettled(chain), -1);
    ChainAdd(w->Contact1(), chain, false);
    QVERIFY(w->Contact1()->Settled());
    // A single contact is never "first unsettled", whatever its flag.
    w->Contact1()->SetSettled(false);
    QCOMPARE(FirstUnsettled(chain), -1);
    w->Contact1()->SetSettled(true);

    QVERIFY(!ChainContains(w->Contact2(), chain));
    ChainAdd(w->Contact2(), chain, true);
    QVERIFY(!w->Contact2()->Settled());
    QVERIFY(ChainContains(w->Contact2(), chain));
    QVERIFY(!ChainContains(nullptr, chain));
    QCOMPARE(chain.Count(), 2);
    QCOMPARE(chain.Items().Items(1).Name, QStringLiteral("Contact2"));
    QCOMPARE(chain.Last(), w->Contact2());
    QCOMPARE(FirstUnsettled(chain), 1);
    w->Contact2()->SetSettled(true);
    QCOMPARE(FirstUnsettled(chain), -1);
}

// One component between a source driver and a far end: which path the walk takes shows in the
// first level change (follow pushes the source level in with no sender, conflict pushes it with the
// far end as sender, reverse pushes the far level in at the far side) and in the levels left.
void TestEngine::walkPaths_data() {
    QTest::addColumn<int>("source");
    QTest::addColumn<QString>("element"); // wire or diode
    QTest::addColumn<QString>("far");     // driver, terminal or gate
    QTest::addColumn<int>("farLevel");
    QTest::addColumn<QList<int>>("levels"); // the chain's contacts, in walk order
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("result");

    using L = QList<int>;
    const QString wire = QStringLiteral("wire");
    const QString diode = QStringLiteral("diode");
    const QString driver = QStringLiteral("driver");
    QTest::newRow("follow: ends agree")
        << 5000 << wire << driver << 5000 << L{5000, 5000} << "W.Contact1=5000<-"
        << "Far.Out";
    QTest::newRow("follow: 2500 normalises to low")
        << 2500 << wire << driver << 1000 << L{0, 0} << "W.Contact1=0<-"
        << "Far.Out";
    QTest::newRow("follow: 2501 normalises to high")
        << 2501 << wire << driver << 1000 << L{5000, 5000} << "W.Contact1=5000<-"
        << "Far.Out";
    QTest::newRow("follow: both ends undefined, first takes its driven value")
        << -1 << wire << driver << -1 << L{1234, 1234} << "W.Contact1=1234<-"
        << "Far.Out";
    QTest::newRow("follow: undefined source, far end just under a conflict")
        << -1 << wire << driver << 2498 << L{1234, 1234} << "W.Contact1=1234<-"
        << "Far.Out";
    QTest::newRow("follow: a gate input never conflicts")
        << 0 << wire << "gate" << 5000 << L{0, 0, 0} << "W.Contact1=0<-"
        << "G.Output";
    QTest::newRow("conflict: low source holds")
        << 0 << wire << driver << 5000 << L{0, 0} << "W.Contact1=0<-Far.Out"
        << "Far.Out";
    QTest::newRow("conflict: 2499 counts as low")
        << 2499 << wire << driver << 5000 << L{2499, 2499} << "W.Contact1=2499<-Far.Out"
        << "Far.Out";
    QTest::newRow("conflict: 2500 counts as high and gives way")
        << 2500 << wire << driver << 5000 << L{5000, 5000} << "W.Contact2=5000<-Src.Out"
        << "Far.Out";
    QTest::newRow("conflict: high source gives way")
        << 5000 << wire << driver << 0 << L{0, 0} << "W.Contact2=0<-Src.Out"
        << "Far.Out";
    QTest::newRow("conflict: undefined source undefines the chain")
        << -1 << wire << driver << 2499 << L{-1, -1} << ""
        << "Far.Out";
    QTest::newRow("conflict: undefined far end undefines the chain")
        << 5000 << wire << driver << -1 << L{-1, -1} << ""
        << "Far.Out";
    QTest::newRow("conflict: a pin end cannot answer back")
        << 5000 << wire << "terminal" << 0 << L{5000, 5000, 5000} << "W.Contact1=5000<-T.Pin"
        << "T.Pin";
    QTest::newRow("diode: forward follows despite the difference")
        << 5000 << diode << driver << 0 << L{5000, 3000} << "D.Anode=5000<-"
        << "Far.Out";
    QTest::newRow("diode: higher far end reverses")
        << 0 << diode << driver << 5000 << L{0, 0} << "D.Cathode=5000<-Src.Out"
        << "Far.Out";
}

void TestEngine::walkPaths() {
    QFETCH(int, source);
    QFETCH(QString, element);
    QFETCH(QString, far);
    QFETCH(int, farLevel);
    QFETCH(QList<int>, levels);
    QFETCH(QString, first);
    QFETCH(QString, result);

    Bench b;
    TOrvexPinDriver* src = b.Driver(QStringLiteral("Src"), source);
    TOrvexTwoContactControl* part = element == QLatin1String("diode")
                                        ? static_cast<TOrvexTwoContactControl*>(b.Diode("D"))
                                        : b.Wire(QStringLiteral("W"));
    TOrvexPinDriver* near = part->Contact1();
    QList<TOrvexPinDriver*> chain{near, part->Contact2()};
    near->StoreDrivenValue(1234);
    Bench::Join(src, near);
    if (far == QLatin1String("terminal")) {
        TOrvexPinDriver* t = b.Terminal(QStringLiteral("T"), farLevel);
        Bench::Join(part->Contact2(), t);
        chain << t;
    } else if (far == QLatin1String("gate")) {
        GateCtl* g = b.Gate(QStringLiteral("G"));
        Bench::Join(part->Contact2(), g->Contact1());
        Bench::Join(g->Contact3(), b.Terminal(QStringLiteral("T"), 0));
        chain << g->Contact1();
    } else {
        Bench::Join(part->Contact2(), b.Driver(QStringLiteral("Far"), farLevel));
    }
    b.Run();

    TOrvexPinDriver* end = PropagateChain(src, near);
    QCOMPARE(levelsOf(chain), levels);
    QCOMPARE(firstChange(), first);
    QCOMPARE(pathOf(end), result);
    // The ending runs once for every contact of the chain, in walk order.
    QStringList expectedEnds;
    for (const TOrvexPinDriver* c : chain)
        expectedEnds << pathOf(c);
    QCOMPARE(g_trace.ends, expectedEnds);
}

void TestEngine::branchPointEndsWalk() {
    Bench b;
    TOrvexPinDriver* src = b.Driver(QStringLiteral("Src"), 5000);
    SwitchCtl* w1 = b.Wire(QStringLiteral("W1"));
    SwitchCtl* w2 = b.Wire(QStringLiteral("W2"));
    SwitchCtl* w3 = b.Wire(QStringLiteral("W3"));
    Bench::Join(src, w1->Contact1());
    Bench::Join(w1->Contact2(), w2->Contact1());
    Bench::Join(w1->Contact2(), w3->Contact1());
    b.Run();

    // The branch point stands at 0: it is the far end, and a high source gives way to it.
    QCOMPARE(PropagateChain(src, w1->Contact1()), w1->Contact2());
    QCOMPARE(g_trace.ends, QStringList{"W1.Contact1"});
    QCOMPARE(w1->Contact1()->Value(), 0);
    QCOMPARE(firstChange(), QStringLiteral("W1.Contact1=0<-Src.Out"));
}

void TestEngine::openSwitchSplitsChain_data() {
    QTest::addColumn<bool>("closed");
    QTest::addColumn<int>("source");
    QTest::addColumn<int>("farLevel");
    QTest::addColumn<QList<int>>("levels");

    using L = QList<int>;
    QTest::newRow("open, high source") << false << 5000 << 0 << L{5000, 5000, 5000, 0, 0, 0};
    QTest::newRow("open, low source") << false << 0 << 5000 << L{0, 0, 0, 5000, 5000, 5000};
    QTest::newRow("closed, high source") << true << 5000 << 0 << L{0, 0, 0, 0, 0, 0};
    QTest::newRow("closed, low source") << true << 0 << 5000 << L{0, 0, 0, 0, 0, 0};
}

void TestEngine::openSwitchSplitsChain() {
    QFETCH(bool, closed);
    QFETCH(int, source);
    QFETCH(int, farLevel);
    QFETCH(QList<int>, levels);

    Bench b;
    TOrvexPinDriver* src = b.Driver(QStringLiteral("Src"), source);
    SwitchCtl* w1 = b.Wire(QStringLiteral("W1"));
    SwitchCtl* s = b.Switch(QStringLiteral("S"), closed);
    SwitchCtl* w2 = b.Wire(QStringLiteral("W2"));
    Bench::Join(src, w1->Contact1());
    Bench::Join(w1->Contact2(), s->Contact1());
    Bench::Join(s->Contact2(), w2->Contact1());
    Bench::Join(w2->Contact2(), b.Driver(QStringLiteral("Far"), farLevel));
    b.Run();

    PropagateChain(src, w1->Contact1());
    QCOMPARE(levelsOf({w1->Contact1(), w1->Contact2(), s->Contact1(), s->Contact2(), w2->Contact1(),
                       w2->Contact2()}),
             levels);
}

void TestEngine::loopInWiringEndsWalk() {
    Bench b;
    TOrvexPinDriver* src = b.Driver(QStringLiteral("Src"), 5000);
    SwitchCtl* w[3] = {b.Wire(QStringLiteral("W1")), b.Wire(QStringLiteral("W2")),
                       b.Wire(QStringLiteral("W3"))};
    Bench::Join(src, w[0]->Contact1());
    for (int i = 0; i < 3; ++i)
        Bench::Join(w[i]->Contact2(), w[(i + 1) % 3]->Contact1());
    b.Run();

    // Back at W1.Contact1 the walk stops on the last contact it collected, whose stale level
    // (0) is the far end; the high source gives way to it.
    QCOMPARE(PropagateChain(src, w[0]->Contact1()), w[2]->Contact2());
    QCOMPARE(g_trace.ends, (QStringList{"W1.Contact1", "W1.Contact2", "W2.Contact1", "W2.Contact2",
                                        "W3.Contact1", "W3.Contact2"}));
    for (SwitchCtl* wire : w) {
        QCOMPARE(wire->Contact1()->Value(), 0);
        QCOMPARE(wire->Contact2()->Value(), 0);
    }

    // The same board spread from its driver comes to rest too.
    SpreadFromDriver(src, nullptr);
    QVERIFY(b.board.oscillations.isEmpty());
}

void TestEngine::gateOutputContinuesOnlyWhenChanged_data() {
    QTest::addColumn<int>("source");
    QTest::addColumn<int>("outputBefore");
    QTest::addColumn<bool>("continues");

    QTest::newRow("output changes") << 0 << 0 << true;
    QTest::newRow("output stays") << 0 << 5000 << false;
    QTest::newRow("undefined output gets a level") << 5000 << -1 << true;
}

void TestEngine::gateOutputContinuesOnlyWhenChanged() {
    QFETCH(int, source);
    QFETCH(int, outputBefore);
    QFETCH(bool, continues);

    Bench b;
    TOrvexPinDriver* src = b.Driver(QStringLiteral("Src"), source);
    SwitchCtl* w = b.Wire(QStringLiteral("W"));
    GateCtl* g = b.Gate(QStringLiteral("G"));
    Bench::Join(src, w->Contact1());
    Bench::Join(w->Contact2(), g->Contact1());
    Bench::Join(g->Contact3(), b.Terminal(QStringLiteral("T"), 0));
    g->Contact3()->StoreValue(outputBefore);
    b.Run();

    TOrvexPinDriver* end = PropagateChain(src, w->Contact1());
    QCOMPARE(end, continues ? g->Contact3() : nullptr);
    QCOMPARE(g->Contact3()->Value(), source < 2500 ? 5000 : 0);
}

void TestEngine::findChainSource_data() {
    QTest::addColumn<SourceScenario>("build");
    QTest::addColumn<QString>("source");    // "" = none
    QTest::addColumn<QString>("reference"); // checked only when a source is found

    QTest::newRow("a driver is its own source")
        << SourceScenario([](Bench& b) { return b.Driver(QStringLiteral("Drv"), 5000); })
        << "Drv.Out"
        << "Drv.Out";
    QTest::newRow("across the own control first") << SourceScenario([](Bench& b) {
        SwitchCtl* s = b.Switch(QStringLiteral("S"), true);
        SwitchCtl* w = b.Wire(QStringLiteral("W"));
        Bench::Join(b.Driver(QStringLiteral("Near"), 5000), s->Contact1());
        Bench::Join(s->Contact2(), w->Contact1());
        Bench::Join(w->Contact2(), b.Driver(QStringLiteral("Drv"), 0));
        return s->Contact1();
    }) << "Drv.Out"
                                                  << "W.Contact2";
    QTest::newRow("a branch point on the way means no source") << SourceScenario([](Bench& b) {
        SwitchCtl* s = b.Switch(QStringLiteral("S"), true);
        Bench::Join(s->Contact2(), b.Wire(QStringLiteral("A"))->Contact1());
        Bench::Join(s->Contact2(), b.Wire(QStringLiteral("B"))->Contact1());
        Bench::Join(b.Driver(QStringLiteral("Drv"), 5000), s->Contact1());
        return s->Contact1();
    }) << ""
                                                               << "";
    QTest::newRow("behind a gate input the wires are searched") << SourceScenario([](Bench& b) {
        GateCtl* g = b.Gate(QStringLiteral("G"));
        SwitchCtl* w = b.Wire(QStringLiteral("W"));
        Bench::Join(g->Contact1(), w->Contact2());
        Bench::Join(w->Contact1(), b.Driver(QStringLiteral("Drv"), 0));
        return g->Contact1();
    }) << "Drv.Out"
                                                                << "W.Contact1";
    QTest::newRow("a closed loop without a driver leads back to the start")
        << SourceScenario([](Bench& b) {
               SwitchCtl* s = b.Switch(QStringLiteral("S"), true);
               SwitchCtl* w = b.Wire(QStringLiteral("W"));
               Bench::Join(s->Contact1(), w->Contact2());
               Bench::Join(s->Contact2(), w->Contact1());
               return s->Contact1();
           })
        << "S.Contact1"
        << "";
    // Gate input -> A.Contact1, which also closes a loop A -> B -> A: the wire-first search would
    // go round that loop for ever.
    QTest::newRow("a loop behind a gate input has no source") << SourceScenario([](Bench& b) {
        GateCtl* g = b.Gate(QStringLiteral("G"));
        SwitchCtl* a = b.Wire(QStringLiteral("A"));
        SwitchCtl* c = b.Wire(QStringLiteral("B"));
        Bench::Join(g->Contact1(), a->Contact1());
        Bench::Join(a->Contact2(), c->Contact1());
        Bench::Join(c->Contact2(), a->Contact1());
        return g->Contact1();
    }) << ""
                                                              << "";
}

void TestEngine::findChainSource() {
    QFETCH(SourceScenario, build);
    QFETCH(QString, source);
    QFETCH(QString, reference);

    Bench b;
    TOrvexPinDriver* start = build(b);
    b.Run();

    TOrvexPinDriver* ref = start;
    TOrvexPinDriver* found = FindChainSource(ref);
    QCOMPARE(pathOf(found), source);
    if (found && found != start) QCOMPARE(pathOf(ref), reference);
}

// The road of a user action: a switch closes and opens between Vcc and a diode to GND.
void TestEngine::switchPressReachesDiode() {
    Bench b;
    TPin* vcc = b.Supply(QStringLiteral("Vcc"), PIN_Vcc);
    TPin* gnd = b.Supply(QStringLiteral("GND"), PIN_GND);
    SwitchCtl* s = b.Switch(QStringLiteral("S"), false);
    DiodeCtl* d = b.Diode(QStringLiteral("D"));
    Bench::Join(vcc, s->Contact1());
    Bench::Join(s->Contact2(), d->Contact1());
    Bench::Join(d->Contact2(), gnd);
    b.Run();
    const QList<TOrvexPinDriver*> road{s->Contact1(), s->Contact2(), d->Contact1(), d->Contact2()};

    s->closed = true;
    s->PropagateFrom(s->Contact1());
    QCOMPARE(levelsOf(road), (QList<int>{5000, 5000, 5000, 3000}));
    QVERIFY(d->Lit());

    // Open: the Vcc level stops at the switch, the diode side is filled from GND.
    s->closed = false;
    s->PropagateFrom(s->Contact1());
    QCOMPARE(levelsOf(road), (QList<int>{5000, 0, 0, 0}));
    QVERIFY(!d->Lit());
    QCOMPARE(vcc->Value(), 5000);
    QCOMPARE(gnd->Value(), 0);
}

void TestEngine::spreadSkips_data() {
    QTest::addColumn<bool>("wired");
    QTest::addColumn<bool>("excludeIt");
    QTest::addColumn<bool>("suspended");
    QTest::addColumn<bool>("walks");

    QTest::newRow("no connections") << false << false << false << false;
    QTest::newRow("only connection excluded") << true << true << false << false;
    QTest::newRow("suspended board") << true << false << true << false;
    QTest::newRow("connection walked") << true << false << false << true;
}

void TestEngine::spreadSkips() {
    QFETCH(bool, wired);
    QFETCH(bool, excludeIt);
    QFETCH(bool, suspended);
    QFETCH(bool, walks);

    Bench b;
    TOrvexPinDriver* drv = b.Driver(QStringLiteral("Drv"), 5000);
    SwitchCtl* w = b.Wire(QStringLiteral("W"));
    if (wired) Bench::Join(drv, w->Contact1());
    Bench::Join(w->Contact2(), b.Terminal(QStringLiteral("T"), 0));
    b.Run();
    b.board.suspended = suspended;

    SpreadFromDriver(drv, excludeIt ? w->Contact1() : nullptr);
    QCOMPARE(!g_trace.ends.isEmpty(), walks);
    QCOMPARE(w->Contact2()->Value(), walks ? 5000 : 0);
    QVERIFY(b.board.oscillations.isEmpty());
}

// Each gate output a walk ends at is spread fully before the next connection of the driver.
void TestEngine::spreadIsDepthFirst() {
    Bench b;
    TOrvexPinDriver* drv = b.Driver(QStringLiteral("Drv"), 5000);
    SwitchCtl* a = b.Wire(QStringLiteral("A"));
    GateCtl* g = b.Gate(QStringLiteral("G"));
    SwitchCtl* x = b.Wire(QStringLiteral("X"));
    SwitchCtl* y = b.Wire(QStringLiteral("Y"));
    Bench::Join(drv, a->Contact1());
    Bench::Join(drv, y->Contact1());
    Bench::Join(a->Contact2(), g->Contact1());
    Bench::Join(g->Contact3(), x->Contact1());
    TOrvexPinDriver* tx = b.Terminal(QStringLiteral("TX"), 0);
    TOrvexPinDriver* ty = b.Terminal(QStringLiteral("TY"), 0);
    Bench::Join(x->Contact2(), tx);
    Bench::Join(y->Contact2(), ty);
    b.Run();

    SpreadFromDriver(drv, nullptr);
    QCOMPARE(g_trace.ends,
             (QStringList{"A.Contact1", "A.Contact2", "G.Input1", "X.Contact1", "X.Contact2",
                          "TX.Pin", "Y.Contact1", "Y.Contact2", "TY.Pin"}));
    QCOMPARE(tx->Value(), 0);
    QCOMPARE(ty->Value(), 5000);
}

// Gates whose outputs feed back into their own inputs: an odd ring never settles, the spread gives
// up and reports the board; an even ring latches.
void TestEngine::feedbackIsBounded_data() {
    QTest::addColumn<int>("ring");
    QTest::addColumn<bool>("spreads"); // the gates spread from their outputs themselves

    for (int ring : {1, 2, 3})
        for (bool spreads : {false, true})
            QTest::addRow("ring of %d, %s", ring, spreads ? "self-spreading" : "engine-spread")
                << ring << spreads;
}

void TestEngine::feedbackIsBounded() {
    QFETCH(int, ring);
    QFETCH(bool, spreads);

    Bench b;
    QList<GateCtl*> gates;
    for (int i = 0; i < ring; ++i)
        gates << b.Gate(QStringLiteral("G%1").arg(i + 1), spreads);
    for (int i = 0; i < ring; ++i)
        Bench::Join(gates[i]->Contact3(), gates[(i + 1) % ring]->Contact1());
    SwitchCtl* w = b.Wire(QStringLiteral("W"));
    TOrvexPinDriver* other = b.Driver(QStringLiteral("Other"), 5000);
    Bench::Join(other, w->Contact1());
    Bench::Join(w->Contact2(), b.Terminal(QStringLiteral("T"), 0));
    Bench::UndefineOutputs(gates);
    b.Run();
    g_trace.recording = false;

    SpreadFromDriver(gates[0]->Contact3(), nullptr);
    if (ring % 2 == 0) {
        QVERIFY(b.board.oscillations.isEmpty());
        for (int i = 0; i < ring; ++i)
            QCOMPARE(gates[(i + 1) % ring]->Contact3()->Value(),
                     gates[i]->Contact3()->Value() == 0 ? 5000 : 0);
        return;
    }
    QCOMPARE(b.board.oscillations.size(), 1);
    QVERIFY2(QRegularExpression(QStringLiteral("^G[1-%1]\\.Output$").arg(ring))
                 .match(b.board.oscillations.first())
                 .hasMatch(),
             qPrintable(b.board.oscillations.first()));
    if (ring == 1) QCOMPARE(b.board.oscillations.first(), QStringLiteral("G1.Output"));
    QVERIFY(g_trace.maxNesting <= SpreadNestingLimit + 1);
    QCOMPARE(g_trace.nesting, 0);

    // The board stays usable: another spread runs to its end without a report, and the ring
    // gets a fresh budget (and a fresh report) when spread again from where it stopped.
    g_trace.recording = true;
    SpreadFromDriver(other, nullptr);
    QCOMPARE(w->Contact2()->Value(), 5000);
    QCOMPARE(b.board.oscillations.size(), 1);
    const auto stopped = std::find_if(gates.begin(), gates.end(), [&](GateCtl* g) {
        return pathOf(g->Contact3()) == b.board.oscillations.first();
    });
    SpreadFromDriver((*stopped)->Contact3(), nullptr);
    QCOMPARE(b.board.oscillations.size(), 2);
}

void TestEngine::longChainSpreadsIteratively_data() {
    QTest::addColumn<bool>("spreads");
    QTest::newRow("engine-spread gates") << false;
    QTest::newRow("self-spreading gates") << true;
}

// 10,000 inverters in a row: far deeper than the native stack would take as recursion (the more
// so under the address sanitizer), far below the work budget.
void TestEngine::longChainSpreadsIteratively() {
    QFETCH(bool, spreads);
    constexpr int length = 10000;

    Bench b;
    TOrvexPinDriver* src = b.Driver(QStringLiteral("Src"), 0);
    QList<GateCtl*> gates;
    TOrvexPinDriver* previous = src;
    for (int i = 0; i < length; ++i) {
        GateCtl* g = b.Gate(QStringLiteral("G%1").arg(i + 1), spreads);
        Bench::Join(previous, g->Contact1());
        previous = g->Contact3();
        gates << g;
    }
    TOrvexPinDriver* end = b.Terminal(QStringLiteral("End"), -1);
    Bench::Join(previous, end);
    Bench::UndefineOutputs(gates);
    b.Run();
    g_trace.recording = false;
    g_trace.stackBase = quintptr(__builtin_frame_address(0));

    SpreadFromDriver(src, nullptr);
    QVERIFY(b.board.oscillations.isEmpty());
    for (int i = 0; i < length; ++i)
        QCOMPARE(gates[i]->Contact3()->Value(), i % 2 == 0 ? 5000 : 0);
    QCOMPARE(end->Value(), 0);
    // Gate reactions nest only as far as the nesting limit lets spreads run at once, and the
    // native stack stays small (recursion one level per gate would take megabytes).
    QVERIFY2(g_trace.maxNesting <= (spreads ? SpreadNestingLimit + 1 : 1),
             qPrintable(QString::number(g_trace.maxNesting)));
    QVERIFY2(g_trace.maxStackUse < 256 * 1024, qPrintable(QString::number(g_trace.maxStackUse)));
}

// A spread belongs to its board: a second board spreads in full while the first board's spread
// has run out of its budget, and the second neither stops with it nor spends it.
void TestEngine::boardsSpreadIndependently() {
    Bench first; // an inverter feeding itself: never settles
    GateCtl* g = first.Gate(QStringLiteral("G1"), true);
    Bench::Join(g->Contact3(), g->Contact1());
    Bench::UndefineOutputs({g});

    Bench second;
    TOrvexPinDriver* drv = second.Driver(QStringLiteral("Drv"), 5000);
    SwitchCtl* w = second.Wire(QStringLiteral("W"));
    TOrvexPinDriver* end = second.Terminal(QStringLiteral("End"), 0);
    Bench::Join(drv, w->Contact1());
    Bench::Join(w->Contact2(), end);

    int reached = -1;
    first.board.onOscillation = [&] {
        SpreadFromDriver(drv, nullptr);
        reached = end->Value();
    };
    first.Run();
    second.Run();
    g_trace.recording = false;

    SpreadFromDriver(g->Contact3(), nullptr);
    QCOMPARE(first.board.oscillations, QStringList{QStringLiteral("G1.Output")});
    QCOMPARE(reached, 5000);
    QVERIFY(second.board.oscillations.isEmpty());
}

// A component that deletes the driver being spread from (its owner goes) stops that spread's
// remaining connections; nothing reads the destroyed driver.
void TestEngine::driverDestroyedWhileItSpreads() {
    Bench b;
    TOrvexPinDriver* drv = b.Driver(QStringLiteral("Drv"), 5000);
    SwitchCtl* a = b.Wire(QStringLiteral("A"));
    SwitchCtl* y = b.Wire(QStringLiteral("Y"));
    Bench::Join(drv, a->Contact1());
    Bench::Join(drv, y->Contact1());
    auto* part = new Part(&b.board, QStringLiteral("TX"), Part::Plain);
    auto* tx = new TOrvexPinDriver(part);
    tx->setObjectName(QStringLiteral("Pin"));
    auto* control = new HookedTerminalCtl(part);
    control->SetContact(tx);
    tx->SetOwnerControl(control);
    tx->StoreValue(0);
    Bench::Join(a->Contact2(), tx);
    TOrvexPinDriver* ty = b.Terminal(QStringLiteral("TY"), 0);
    Bench::Join(y->Contact2(), ty);
    b.Run();

    control->onEnd = [drv] { delete drv->parent(); };
    SpreadFromDriver(drv, nullptr);
    QCOMPARE(tx->Value(), 5000);
    QCOMPARE(ty->Value(), 0);
    QVERIFY(!g_trace.ends.contains(QStringLiteral("Y.Contact1")));
}

QTEST_GUILESS_MAIN(TestEngine)
#include "test_engine.moc"
