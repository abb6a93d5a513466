// The board form: host messages, the board link, the two orders of placed components, the view
// modes and the reactions to showing and hiding.
#include <QApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QScrollArea>
#include <QStatusBar>
#include <QtTest>

#include "model/controls.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "platform/errors.h"
#include "simulation/simform.h"

namespace {

struct Access {
    QString component;
    int data, drivenData, kind, address, bitNo;
    bool hostBusy;
};

// Records the host accesses it is handed; answers one with a reply when asked to.
class TRecordingComponent : public TOrvexGraphicComponent {
    Q_OBJECT

public:
    TRecordingComponent(QWidget* owner, const QString& name, QList<Access>* log)
        : TOrvexGraphicComponent(owner), m_log(log) {
        SetName(name);
        SetControl(new TOrvexTwoContactControl(this));
        LoadPictures(QStringLiteral("DIODE"), QStringLiteral("LED_SCH"), true);
        setGeometry(0, 0, 32, 32);
    }

    void HostAccess(int data, int drivenData, int kind, int address, QObject*, int bitNo) override {
        m_log->append({Name(), data, drivenData, kind, address, bitNo, HostBusy()});
        if (reply >= 0) SendHostMessage(OwnerForm(), HostMsg::HostReply, quint32(reply), 0);
    }

    int reply = -1;

private:
    QList<Access>* m_log;
};

// A form that counts its reactions.
class TCountingForm : public TSimForm {
    Q_OBJECT

public:
    void BuildSchematic() override {
        ++builds;
        busyWhileBuilding = HostBusy();
    }
    void ClearSchematic() override { ++clears; }
    void BoardActivated() override { ++activations; }
    void MouseDownOnBoard(QObject* sender, Qt::MouseButton button, Qt::KeyboardModifiers,
                          const QPoint& pos) override {
        downs.append(QStringLiteral("%1 %2 %3,%4")
                         .arg(sender == Board() ? QStringLiteral("board") : sender->objectName())
                         .arg(int(button))
                         .arg(pos.x())
                         .arg(pos.y()));
    }

    int builds = 0;
    int clears = 0;
    int activations = 0;
    bool busyWhileBuilding = false;
    QStringList downs;
};

// Stands for the application's main window.
class TRecordingHost : public MessageTarget {
public:
    struct Sent {
        quint32 msg;
        quint32 wParam;
        qintptr lParam;
    };
    qintptr HandleMessage(quint32 msg, quint32 wParam, qintptr lParam) override {
        sent.append({msg, wParam, lParam});
        return answer;
    }
    QList<Sent> sent;
    qintptr answer = 0;
};

class ScopedMainWindow {
public:
    explicit ScopedMainWindow(MessageTarget* target)
        : m_previous(TSimForm::ApplicationMainWindow()) {
        TSimForm::SetApplicationMainWindow(target);
    }
    ~ScopedMainWindow() { TSimForm::SetApplicationMainWindow(m_previous); }

private:
    MessageTarget* m_previous;
};

QStringList names(const QList<TOrvexGraphicComponent*>& components) {
    QStringList result;
    for (const TOrvexGraphicComponent* component : components)
        result << component->Name();
    return result;
}

} // namespace

class TestSimForm : public QObject {
    Q_OBJECT

private slots:
    void startsSuspendedAndEmpty();
    void hostAccessDecoding_data();
    void hostAccessDecoding();
    void hostAccessReachesEveryComponentInChildOrder();
    void hostReply();
    void hostStartBuildsAfterWait();
    void forwardsToMainWindow_data();
    void forwardsToMainWindow();
    void forwardingNeverLoops();
    void formsForwardIndependently();
    void ownershipOrderAndChildOrder();
    void boardLinkAnswersForTheForm();
    void viewModes();
    void reactionsToShowHideAndMouse();
    void boardGrowsWithComponents();

private:
    ScopedDialogRecorder m_dialogs;
};

void TestSimForm::startsSuspendedAndEmpty() {
    TSimForm form;
    QVERIFY(form.Suspended());
    QVERIFY(form.Nodes().empty());
    QCOMPARE(form.HostReply(), -1);
    QVERIFY(form.ProbeTimer());
    QCOMPARE(form.ProbeTimer()->Interval(), 200);
    QVERIFY(!form.ProbeTimer()->IsActive());
    QVERIFY(!form.ProbeWindow());
    QVERIFY(!form.Hovered());
    QVERIFY(!form.CommonGND() && !form.CommonVcc());
    QVERIFY(form.Board()->objectName().isEmpty());
    QCOMPARE(form.centralWidget(), static_cast<QWidget*>(form.ScrollArea()));
    QCOMPARE(form.ScrollArea()->widget(), static_cast<QWidget*>(form.Board()));
}

// ---------------------------------------------------------------- host accesses

void TestSimForm::hostAccessDecoding_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("address");
    QTest::addColumn<int>("expectedKind");
    QTest::addColumn<int>("expectedAddress");
    QTest::addColumn<int>("expectedBit");

    QTest::newRow("bit access") << 4 << 0x93 << 2 << 0x90 << 4;
    QTest::newRow("bit access bit 0") << 4 << 0x20 << 2 << 0x20 << 1;
    QTest::newRow("bit access bit 7, high bits dropped") << 4 << 0xFF12FF << 2 << 0x12F8 << 8;
    QTest::newRow("data space keeps 16 bits") << 2 << 0x12345 << 2 << 0x2345 << 0;
    QTest::newRow("xdata keeps 24 bits") << 1 << 0xABCDEF << 1 << 0xABCDEF << 0;
    QTest::newRow("strobe bits with data space") << 0x42 << 0x12345 << 0x42 << 0x12345 << 0;
    QTest::newRow("strobe bits with bit access") << 0x84 << 0x93 << 0x84 << 0x93 << 0;
    QTest::newRow("both strobes") << 0xC1 << 0x8000 << 0xC1 << 0x8000 << 0;
}

void TestSimForm::hostAccessDecoding() {
    QFETCH(int, kind);
    QFETCH(int, address);
    QFETCH(int, expectedKind);
    QFETCH(int, expectedAddress);
    QFETCH(int, expectedBit);

    QList<Access> log;
    TSimForm form;
    new TRecordingComponent(form.Board(), QStringLiteral("A"), &log);
    form.HandleMessage(HostMsg::HostAccess, PackHostAccessW(quint8(kind), quint32(address)),
                       PackHostAccessL(0x1234, 0xABCD));
    QCOMPARE(log.size(), 1);
    QCOMPARE(log[0].kind, expectedKind);
    QCOMPARE(log[0].address, expectedAddress);
    QCOMPARE(log[0].bitNo, expectedBit);
    QCOMPARE(log[0].data, 0x1234);
    QCOMPARE(log[0].drivenData, 0xABCD);
}

void TestSimForm::hostAccessReachesEveryComponentInChildOrder() {
    QList<Access> log;
    TSimForm form;
    auto* a = new TRecordingComponent(form.Board(), QStringLiteral("A"), &log);
    new TRecordingComponent(form.Board(), QStringLiteral("B"), &log);
    new QLabel(QStringLiteral("note"), form.Board()); // not a component: skipped
    a->raise();
    QVERIFY(!HostBusy());
    form.HandleMessage(HostMsg::HostAccess, PackHostAccessW(3, 0x80), 0);
    QCOMPARE(log.size(), 2);
    QCOMPARE(log[0].component, QStringLiteral("B"));
    QCOMPARE(log[1].component, QStringLiteral("A"));
    QVERIFY(log[0].hostBusy && log[1].hostBusy);
    QVERIFY(!HostBusy());
}

void TestSimForm::hostReply() {
    QList<Access> log;
    TSimForm form;
    auto* first = new TRecordingComponent(form.Board(), QStringLiteral("A"), &log);
    auto* second = new TRecordingComponent(form.Board(), QStringLiteral("B"), &log);
    const quint32 w = PackHostAccessW(1, 0x8000);

    QCOMPARE(form.HandleMessage(HostMsg::HostAccess, w, 0), qintptr(-1));

    second->reply = 0x5A;
    QCOMPARE(form.HandleMessage(HostMsg::HostAccess, w, 0), qintptr(0x5A));
    QCOMPARE(form.HostReply(), 0x5A);

    // The last reply of an access wins; the next access starts again from -1.
    first->reply = 0x11;
    QCOMPARE(form.HandleMessage(HostMsg::HostAccess, w, 0), qintptr(0x5A));
    first->reply = second->reply = -1;
    QCOMPARE(form.HandleMessage(HostMsg::HostAccess, w, 0), qintptr(-1));

    // 2031 outside an access only sets the reply.
    QCOMPARE(form.HandleMessage(HostMsg::HostReply, 77, 0), qintptr(0));
    QCOMPARE(form.HostReply(), 77);
}

void TestSimForm::hostStartBuildsAfterWait() {
    ScopedManualClock clock;
    TCountingForm form;
    const qint64 before = clock->TickCount();
    QCOMPARE(form.HandleMessage(HostMsg::HostStart, 0, 0), qintptr(0));
    QCOMPARE(form.builds, 1);
    QVERIFY(form.busyWhileBuilding);
    QVERIFY(!HostBusy());
    QCOMPARE(clock->TickCount() - before, qint64(50));
}

void TestSimForm::forwardsToMainWindow_data() {
    QTest::addColumn<quint32>("msg");
    QTest::newRow("pin level") << HostMsg::PinLevel;
    QTest::newRow("port byte") << HostMsg::PortByte;
    QTest::newRow("port address") << HostMsg::PortAddress;
}

void TestSimForm::forwardsToMainWindow() {
    QFETCH(quint32, msg);
    TSimForm form;
    QCOMPARE(form.HandleMessage(msg, 0x01020304u, 99), qintptr(0)); // nobody to forward to

    TRecordingHost host;
    host.answer = 1;
    ScopedMainWindow mainWindow(&host);
    // Sent to the board, as host pins and ports do.
    QCOMPARE(SendHostMessage(form.Board(), msg, 0xFF0380A5u, 1234), qintptr(1));
    QCOMPARE(host.sent.size(), 1);
    QCOMPARE(host.sent[0].msg, msg);
    QCOMPARE(host.sent[0].wParam, 0xFF0380A5u);
    QCOMPARE(host.sent[0].lParam, qintptr(1234));

    // Host messages are not forwarded.
    form.HandleMessage(HostMsg::HostReply, 1, 0);
    form.HandleMessage(HostMsg::HostAccess, 0, 0);
    QCOMPARE(host.sent.size(), 1);
}

void TestSimForm::forwardingNeverLoops() {
    // A board form that is itself the main window, and two forms that forward to each other.
    TSimForm form;
    {
        ScopedMainWindow mainWindow(&form);
        QCOMPARE(form.HandleMessage(HostMsg::PinLevel, 1, 0), qintptr(0));
    }
    struct Relay : MessageTarget {
        TSimForm* next = nullptr;
        int seen = 0;
        qintptr HandleMessage(quint32 msg, quint32 w, qintptr l) override {
            ++seen;
            return next->HandleMessage(msg, w, l);
        }
    } relay;
    relay.next = &form;
    ScopedMainWindow mainWindow(&relay);
    QCOMPARE(form.HandleMessage(HostMsg::PortByte, 1, 0), qintptr(0));
    QVERIFY(relay.seen > 0 && relay.seen < 100);
}

// A form's forwarding depth is its own: with the first form's forwarding nested as deep as it
// goes, a second form still reaches the main window.
void TestSimForm::formsForwardIndependently() {
    TSimForm first;
    TSimForm second;
    struct Relay : MessageTarget {
        TSimForm* first = nullptr;
        TSimForm* second = nullptr;
        int fromFirst = 0;
        qintptr secondAnswer = -1;
        qintptr HandleMessage(quint32 msg, quint32 w, qintptr l) override {
            if (w == 2) return 7; // from the second form
            const int seen = ++fromFirst;
            first->HandleMessage(msg, 1, l);
            // The first form refused to forward again: ask the second from the innermost level.
            if (fromFirst == seen) secondAnswer = second->HandleMessage(msg, 2, l);
            return 0;
        }
    } relay;
    relay.first = &first;
    relay.second = &second;
    ScopedMainWindow mainWindow(&relay);

    first.HandleMessage(HostMsg::PinLevel, 1, 0);
    QVERIFY(relay.fromFirst > 1 && relay.fromFirst < 100);
    QCOMPARE(relay.secondAnswer, qintptr(7));
    // Both forward again once the nesting has unwound.
    QCOMPARE(second.HandleMessage(HostMsg::PinLevel, 2, 0), qintptr(7));
    relay.fromFirst = 0;
    first.HandleMessage(HostMsg::PinLevel, 1, 0);
    QVERIFY(relay.fromFirst > 1);
}

// ---------------------------------------------------------------- the board

void TestSimForm::ownershipOrderAndChildOrder() {
    QList<Access> log;
    TSimForm form;
    TBoardSurface* board = form.Board();
    auto* a = new TRecordingComponent(board, QStringLiteral("A"), &log);
    auto* b = new TRecordingComponent(board, QStringLiteral("B"), &log);
    auto* c = new TRecordingComponent(board, QStringLiteral("C"), &log);
    a->raise();
    QCOMPARE(names(board->ComponentsInChildOrder()), QStringList({"B", "C", "A"}));
    QCOMPARE(names(board->OwnedComponents()), QStringList({"A", "B", "C"}));
    QCOMPARE(board->BoardComponents(), QList<QObject*>({b, c, a}));
    c->lower();
    QCOMPARE(names(board->ComponentsInChildOrder()), QStringList({"C", "B", "A"}));
    QCOMPARE(names(board->OwnedComponents()), QStringList({"A", "B", "C"}));

    // Deleted and moved-away components leave the list; new ones come last.
    delete b;
    TSimForm other;
    c->setParent(other.Board());
    auto* d = new TRecordingComponent(board, QStringLiteral("D"), &log);
    QCOMPARE(names(board->OwnedComponents()), QStringList({"A", "D"}));
    QCOMPARE(board->OwnedObjects(), QList<QObject*>({a, d}));
    QCOMPARE(names(other.Board()->OwnedComponents()), QStringList({"C"}));

    // Names are unique per board, without regard to case.
    QVERIFY_THROWS_EXCEPTION(ComponentError, d->SetName(QStringLiteral("a")));
    c->SetName(QStringLiteral("A")); // another board

    // Components wired to each other, also across boards, go with their boards without leaving
    // a partner with a dangling wire.
    const auto control = [](TOrvexGraphicComponent* component) {
        return static_cast<TOrvexTwoContactControl*>(component->Control());
    };
    control(a)->SetContact1(control(d)->Contact2());
    control(d)->SetContact1(control(c)->Contact1());
    QCOMPARE(control(a)->GetContact1(), control(d)->Contact2());
    delete d;
    QCOMPARE(control(a)->GetContact1(), control(a)->Contact1()); // unwired again
    control(a)->SetContact2(control(c)->Contact2());
}

void TestSimForm::boardLinkAnswersForTheForm() {
    QList<Access> log;
    TSimForm form;
    auto* component = new TRecordingComponent(form.Board(), QStringLiteral("LED1"), &log);
    BoardLink* link = component->OwnerForm();
    QCOMPARE(link, static_cast<BoardLink*>(form.Board()));
    QCOMPARE(component->Control()->OwnerForm(), link);

    QVERIFY(link->Suspended());
    form.SetSuspended(false);
    QVERIFY(!link->Suspended());
    QCOMPARE(&link->Nodes(), &form.Nodes());

    QVERIFY(!link->HasWindow());
    form.winId();
    QVERIFY(link->HasWindow());

    m_dialogs->Clear();
    link->ShowError(QStringLiteral("Virtual method SetValue called"));
    QCOMPARE(m_dialogs->messages.size(), 1);
    QCOMPARE(m_dialogs->messages[0].caption, QStringLiteral("Error"));
    QCOMPARE(m_dialogs->messages[0].icon, MessageIcon::Error);
    QCOMPARE(m_dialogs->LastText(), QStringLiteral("Virtual method SetValue called"));

    link->ReportOscillation(QStringLiteral("GateAND1.Contact3"));
    QVERIFY(form.LastOscillation().contains(QStringLiteral("GateAND1.Contact3")));
    QCOMPARE(form.statusBar()->currentMessage(), form.LastOscillation());
}

void TestSimForm::viewModes() {
    QList<Access> log;
    m_dialogs->Clear();
    TSimForm form;
    auto* plain = new TRecordingComponent(form.Board(), QStringLiteral("Plain"), &log);
    auto* pictured = new TRecordingComponent(form.Board(), QStringLiteral("Pictured"), &log);
    pictured->SetHasComponentPicture(true);
    auto* label = new QLabel(QStringLiteral("note"), form.Board());

    form.ShowComponentView();
    QCOMPARE(plain->Visibility(), vs_Component);
    QVERIFY(plain->isHidden());
    QVERIFY(!pictured->isHidden());
    QVERIFY(label->isHidden());

    form.ShowSchematicView();
    QCOMPARE(plain->Visibility(), vs_Schematic);
    QCOMPARE(plain->Picture(), QStringLiteral("LED_SCH"));
    QVERIFY(!plain->isHidden());
    QVERIFY(!label->isHidden());

    form.ShowHybridView();
    QCOMPARE(pictured->Visibility(), vs_Hybrid);
    QCOMPARE(pictured->Picture(), QStringLiteral("DIODE"));
    QVERIFY(!label->isHidden());
    QVERIFY(m_dialogs->messages.isEmpty());
}

void TestSimForm::reactionsToShowHideAndMouse() {
    QList<Access> log;
    TCountingForm form;
    auto* component = new TRecordingComponent(form.Board(), QStringLiteral("Btn"), &log);
    component->move(10, 10);
    form.resize(300, 200);

    form.show();
    QCOMPARE(form.builds, 1);
    QCOMPARE(form.clears, 0);
    form.hide();
    QCOMPARE(form.clears, 1); // hiding runs ClearSchematic through BoardHidden
    form.show();
    QCOMPARE(form.builds, 2);

    form.activateWindow();
    QTRY_VERIFY(form.activations > 0);

    // A move over a component reaches the form first, with the component as sender.
    QMouseEvent move(QEvent::MouseMove, QPointF(4, 5), component->mapToGlobal(QPointF(4, 5)),
                     Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(component, &move);
    QCOMPARE(form.Hovered(), static_cast<TOrvexGraphicComponent*>(component));
    QMouseEvent boardMove(QEvent::MouseMove, QPointF(200, 150), QPointF(200, 150), Qt::NoButton,
                          Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(form.Board(), &boardMove);
    QVERIFY(!form.Hovered());

    // A press on the empty board is the board's; a press on a component is not.
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(150, 120), QPointF(150, 120),
                      Qt::RightButton, Qt::RightButton, Qt::NoModifier);
    QApplication::sendEvent(form.Board(), &press);
    QMouseEvent componentPress(QEvent::MouseButtonPress, QPointF(3, 3), QPointF(3, 3),
                               Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(component, &componentPress);
    QCOMPARE(form.downs, QStringList({"board 2 150,120"}));
}

void TestSimForm::boardGrowsWithComponents() {
    QList<Access> log;
    TSimForm form;
    form.resize(300, 200);
    form.show(); // geometry changes of hidden widgets arrive only when they are shown
    auto* component = new TRecordingComponent(form.Board(), QStringLiteral("Far"), &log);
    component->setGeometry(900, 700, 40, 30);
    QCOMPARE(form.Board()->minimumSize(), QSize(940, 730));
    component->hide();
    QTRY_COMPARE(form.Board()->minimumSize(), QSize(0, 0)); // shrinking waits for the event loop
}

QTEST_MAIN(TestSimForm)
#include "test_simform.moc"
