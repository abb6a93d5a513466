// A long editing session: seeded random user operations on one board. After every operation the
// board saves without a warning about wires, opens again out of sight with every contact wired to
// the same partners, and saves to the same text. A failure names the seed and the operation
// (SOAK_SEED and SOAK_STEPS repeat or lengthen a run; SOAK_SEEDS runs that many sessions, seeds
// counting up from SOAK_SEED, and reports every one that fails; a long run needs a larger
// QTEST_FUNCTION_TIMEOUT than the five minutes QtTest gives a test function).
#include <QComboBox>
#include <QRandomGenerator>
#include <QToolButton>
#include <QUndoStack>
#include <QtTest>
#include <iterator>
#include <memory>

#include "components/switches.h"
#include "editor/boardfile.h"
#include "editor/brelvanfrm.h"
#include "editor/brelvanprop.h"
#include "editor/componenttable.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "platform/hostmessages.h"
#include "properties/propertyeditor.h"

namespace {

class HiddenForm : public TSimForm {
public:
    void BuildSchematic() override {}
    void BoardHidden() override {}
};

// LED, switch, round button, host pin, host port, Vcc and GND buttons of the tool bar, and the
// two components whose setters wire several contacts at once: the two-colour LED and the display.
constexpr int Tags[] = {ToolTag::LED,  ToolTag::Switch,      ToolTag::RoundBtn,
                        ToolTag::UPin, ToolTag::UPort,       ToolTag::Vcc,
                        ToolTag::GND,  ToolTag::TwoColorLED, ToolTag::DispSeg};
constexpr int ToolCount = int(std::size(Tags));
constexpr int MaxComponents = 40;

void drag(QWidget* widget, QPoint from, QPoint to) {
    QTest::mousePress(widget, Qt::LeftButton, Qt::NoModifier, from);
    QMouseEvent move(QEvent::MouseMove, QPointF(to), widget->mapToGlobal(QPointF(to)), Qt::NoButton,
                     Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &move);
    QTest::mouseRelease(widget, Qt::LeftButton, Qt::NoModifier, to);
}

class Soak {
public:
    explicit Soak(quint32 seed) : m_random(seed), m_window(std::make_unique<TfrmPlugin>()) {
        m_window->resize(900, 700);
        m_window->show();
    }

    TBoardSurface* Board() const { return m_window->Board(); }

    TOrvexGraphicComponent* Any() {
        const QList<TOrvexGraphicComponent*> owned = Board()->OwnedComponents();
        return owned.isEmpty() ? nullptr : owned[m_random.bounded(int(owned.size()))];
    }
    QPoint Anywhere() { return QPoint(20 + m_random.bounded(800), 60 + m_random.bounded(560)); }

    // One operation; its name for the failure message.
    QString Step() {
        if (m_window->Running()) {
            const int what = m_random.bounded(10);
            if (what == 0) {
                m_window->RunButton()->click();
                return QStringLiteral("Run off");
            }
            if (what <= 3) return HostAccess();
            auto* sw = qobject_cast<TOrvexSwitch*>(Any());
            if (!sw) return QStringLiteral("nothing to press");
            QTest::mouseClick(sw, Qt::LeftButton, {}, sw->rect().center());
            return QStringLiteral("press ") + sw->Name();
        }
        switch (m_random.bounded(11)) {
        case 0:
        case 1: {
            if (Board()->OwnedComponents().size() >= MaxComponents) return QStringLiteral("full");
            QTest::mouseClick(m_window->ToolButton(Tags[m_random.bounded(ToolCount)]),
                              Qt::LeftButton);
            QTest::mouseClick(Board(), Qt::LeftButton, Qt::NoModifier, Anywhere());
            return QStringLiteral("place");
        }
        case 2: {
            TOrvexGraphicComponent* component = Any();
            if (!component) return QStringLiteral("nothing to wire");
            QTest::mouseClick(component, Qt::LeftButton, {}, QPoint(4, 4));
            static const char* const rows[] = {"Contact1", "Contact2", "Anode", "Cathode",
                                               "Anode1",   "Anode2",   "Port",  "CommonElectrode"};
            TPropertyEditorsItem* row = m_window->PropertiesWindow()->PropEdit()->Row(
                rows[m_random.bounded(int(std::size(rows)))]);
            auto* list = row ? qobject_cast<QComboBox*>(row->Editor) : nullptr;
            if (!list || list->count() == 0) return QStringLiteral("no wire row");
            list->setCurrentIndex(m_random.bounded(list->count()));
            return QStringLiteral("wire ") + component->Name() + QStringLiteral(" to ") +
                   list->currentText();
        }
        case 3: {
            TOrvexGraphicComponent* component = Any();
            if (!component) return QStringLiteral("nothing to move");
            const QString name = component->Name();
            drag(component, QPoint(6, 6),
                 QPoint(6 + m_random.bounded(-60, 60), 6 + m_random.bounded(-60, 60)));
            return QStringLiteral("move ") + name;
        }
        case 4: {
            TOrvexGraphicComponent* component = Any();
            if (!component) return QStringLiteral("nothing to resize");
            // A drag that ends on a contact draws a wire, and a wire the component does not take
            // is taken back by bringing the components back afresh.
            const QString name = component->Name();
            const QPoint corner(component->width() - 2, component->height() - 2);
            QTest::mouseMove(component, corner);
            QMouseEvent hover(QEvent::MouseMove, QPointF(corner),
                              component->mapToGlobal(QPointF(corner)), Qt::NoButton, Qt::NoButton,
                              Qt::NoModifier);
            QApplication::sendEvent(component, &hover);
            drag(component, corner,
                 corner + QPoint(m_random.bounded(-20, 40), m_random.bounded(-20, 40)));
            return QStringLiteral("resize ") + name;
        }
        case 5: {
            TOrvexGraphicComponent* component = Any();
            if (!component) return QStringLiteral("nothing to delete");
            const QString name = component->Name();
            QTest::mouseClick(component, Qt::LeftButton, {}, QPoint(4, 4));
            QTest::keyClick(m_window.get(), Qt::Key_Delete);
            return QStringLiteral("delete ") + name;
        }
        case 6:
            m_window->UndoStack()->undo();
            return QStringLiteral("undo");
        case 7:
            m_window->UndoStack()->redo();
            return QStringLiteral("redo");
        case 8: {
            TOrvexGraphicComponent* component = Any();
            if (!component) return QStringLiteral("nothing to cut");
            const QString name = component->Name();
            QTest::mouseClick(component, Qt::LeftButton, {}, QPoint(4, 4));
            m_window->CutClick();
            try {
                m_window->PasteClick(); // the menu's handler shows why nothing was pasted
            } catch (const std::exception&) {
                return QStringLiteral("nothing cut to paste");
            }
            return QStringLiteral("cut and paste ") + name;
        }
        case 9:
            m_window->ClearSelection(nullptr);
            m_window->RunButton()->click();
            return QStringLiteral("Run on");
        default:
            QTest::keyClick(m_window.get(), Qt::Key_Right);
            return QStringLiteral("arrow key");
        }
    }

    // A bus access of the host as the firmware bridge sends it: a port byte, a pin, or a strobed
    // external-memory cycle, at the addresses the placed pins and ports default to or anywhere.
    QString HostAccess() {
        static const quint32 kinds[] = {2, 4, 0x81, 0x41, 0xC1};
        const quint32 kind = kinds[m_random.bounded(int(std::size(kinds)))];
        const quint32 address =
            m_random.bounded(2) ? 0x80u + 0x10u * m_random.bounded(4) : m_random.bounded(0x10000);
        const quint32 data = m_random.bounded(0x10000);
        const quint32 driven = m_random.bounded(0x10000);
        Board()->HandleMessage(HostMsg::HostAccess, (kind << 24) | address,
                               qintptr((driven << 16) | data));
        return QStringLiteral("host access kind %1 at 0x%2 data 0x%3")
            .arg(kind, 0, 16)
            .arg(address, 0, 16)
            .arg(data, 0, 16);
    }

    // Saves, opens the text on a hidden form and saves again: no wire may be lost or added, every
    // contact must have the same partners, and both texts must agree.
    QString RoundTrip() const {
        const BoardFile::TWriteResult first = BoardFile::WriteBoard(Board(), m_window->GridSize());
        if (first.Unreadable) return QStringLiteral("unreadable: ") + first.Unreadable->Describe();
        if (!first.Lost.isEmpty() || !first.Added.isEmpty())
            return QStringLiteral("Save warns: lost %1; added %2\n%3")
                .arg(first.Lost.join(QStringLiteral(", ")), first.Added.join(QStringLiteral(", ")),
                     first.Text);
        HiddenForm form;
        const BoardFile::TReadResult read = BoardFile::ReadBoard(
            form.Board(), BoardFile::SplitLines(first.Text), m_window->GridSize());
        if (read.Error) return QStringLiteral("does not open: ") + read.Error->Describe();
        const QMap<QString, QStringList> before = Connections(Board());
        const QMap<QString, QStringList> after = Connections(form.Board());
        if (before != after)
            for (auto it = before.cbegin(); it != before.cend(); ++it)
                if (after.value(it.key()) != it.value())
                    return QStringLiteral("opens with other wires: %1 had %2, has %3\n%4")
                        .arg(it.key(), it.value().join(QStringLiteral(", ")),
                             after.value(it.key()).join(QStringLiteral(", ")), first.Text);
        if (before != after) return QStringLiteral("opens with more wired contacts\n") + first.Text;
        const BoardFile::TWriteResult second =
            BoardFile::WriteBoard(form.Board(), m_window->GridSize());
        if (second.Text != first.Text)
            return QStringLiteral("saves differently:\n%1\n---\n%2").arg(first.Text, second.Text);
        return QString();
    }

    // Each wired contact of the board (path name) with its partners, sorted; the hidden contacts
    // that join a driving contact to its rail are the component's own and are left out.
    static QMap<QString, QStringList> Connections(const TBoardSurface* board) {
        QMap<QString, QStringList> connections;
        for (const TOrvexGraphicComponent* component : board->OwnedComponents())
            for (const TOrvexPinDriver* contact : component->findChildren<TOrvexPinDriver*>()) {
                const TComponentList* list = contact->ComponentList();
                if (!list || contact->objectName().isEmpty() ||
                    contact->objectName() == QLatin1String("DriverContact"))
                    continue;
                QStringList partners;
                for (const TComponentItem& item : *list)
                    if (item.Pin) partners.append(PropertyText::PathName(item.Pin, board));
                if (partners.isEmpty()) continue;
                partners.sort();
                connections.insert(PropertyText::PathName(contact, board), partners);
            }
        return connections;
    }

private:
    QRandomGenerator m_random;
    std::unique_ptr<TfrmPlugin> m_window;
};

} // namespace

class TestSoak : public QObject {
    Q_OBJECT

private slots:
    void editingSession();
};

namespace {

// One session; the first problem with the seed and the operation that made it, or nothing.
QString session(quint32 seed, int steps) {
    Soak soak(seed);
    for (int step = 1; step <= steps; ++step) {
        const QString operation = soak.Step();
        QCoreApplication::processEvents();
        const QString problem = soak.RoundTrip();
        if (!problem.isEmpty())
            return QStringLiteral("seed %1, operation %2 (%3): %4")
                .arg(seed)
                .arg(step)
                .arg(operation, problem);
    }
    return QString();
}

} // namespace

void TestSoak::editingSession() {
    ScopedDialogRecorder dialogs;
    ScopedManualClock clock;
    const quint32 first = qEnvironmentVariableIsSet("SOAK_SEED")
                              ? quint32(qEnvironmentVariableIntValue("SOAK_SEED"))
                              : 20261210u;
    const int steps = qEnvironmentVariableIntValue("SOAK_STEPS") > 0
                          ? qEnvironmentVariableIntValue("SOAK_STEPS")
                          : 1000;
    const int seeds = qMax(1, qEnvironmentVariableIntValue("SOAK_SEEDS"));
    QStringList failures;
    for (int i = 0; i < seeds; ++i) {
        const QString problem = session(first + quint32(i), steps);
        if (!problem.isEmpty()) {
            failures.append(problem);
            qWarning().noquote() << problem;
        }
        if (seeds > 1 && (i + 1) % 25 == 0)
            qInfo("%d of %d sessions, %d failed", i + 1, seeds, int(failures.size()));
    }
    QVERIFY2(failures.isEmpty(),
             qPrintable(QStringLiteral("%1 of %2 sessions failed; the first: %3")
                            .arg(failures.size())
                            .arg(seeds)
                            .arg(failures.value(0))));
}

QTEST_MAIN(TestSoak)
#include "test_soak.moc"
