// The probe: a small window by the pointer that shows the levels on the contacts of the
// component it rests on; with the left Shift key it spreads the contact's node again, with the
// left Ctrl key it lists the node.
#include <QFontMetrics>
#include <QScrollArea>
#include <QWidget>

#include <algorithm>
#include <optional>

#include "components/contactgeometry.h"
#include "components/drivenports.h"
#include "components/gates.h"
#include "components/leds.h"
#include "components/pins.h"
#include "components/ports.h"
#include "components/switches.h"
#include "model/circuit.h"
#include "model/hostpins.h"
#include "model/nodetable.h"
#include "platform/clock.h"
#include "platform/keystate.h"
#include "simulation/brelvanclasses.h"
#include "simulation/simform.h"

namespace {

constexpr int ProbeDelay = 500; // ms the pointer rests before the window opens
constexpr int Jitter = 4;       // a move shorter than this, both ways, changes nothing
const QString CrLf = QStringLiteral("\r\n");

QString level(const TOrvexDriver* contact) {
    return contact ? QString::number(contact->Value()) : QString();
}

// Upper-case hexadecimal without leading zeros; 0 shows as one digit.
QString hex(int value) {
    return QString::number(quint32(value), 16).toUpper();
}

// The text a host pin symbol shows before the keys are looked at: its address (plus the bit in
// the internal data space, where the address names a bit-addressable byte).
QString pinAddressText(TOrvexGraphicComponent* component) {
    auto* pin = qobject_cast<TUPin*>(component);
    if (!pin) return {};
    const int address = pin->Address() + (pin->Space() == ops_DATA ? pin->PinNumber() : 0);
    return QStringLiteral(" (0x") + hex(address) + QLatin1Char(')');
}

QString pinText(int index, const TOrvexPinDriver* contact) {
    return QStringLiteral(" Pin_") + QString::number(index) + QStringLiteral(": ") + level(contact);
}

// The levels the component shows for the part under the pointer; empty: nothing to show.
QString levelText(TOrvexGraphicComponent* component, const ContactSpot& spot) {
    if (spot.Role == ContactRole::Nothing) return {};
    if (auto* pin = qobject_cast<TOrvexGraphicPin*>(component))
        return QStringLiteral(": ") + level(pin->Pin());
    if (auto* port = qobject_cast<TUPort*>(component)) {
        if (spot.Role == ContactRole::Whole)
            return QStringLiteral(" (0x") + hex(port->Address()) + QStringLiteral("): ") +
                   level(port->Port());
        return pinText(spot.Index, spot.Contact);
    }
    if (auto* display = qobject_cast<TDispSeg*>(component)) {
        const bool cathode = display->CommonElectrodeType() == com_CATHODE;
        return QStringLiteral(" LED_") + QString::number(spot.Index) + QStringLiteral(": ") +
               level(spot.Contact) +
               (cathode ? QStringLiteral(" Cathode: ") : QStringLiteral(" Anode: ")) +
               level(display->CommonElectrode());
    }
    if (auto* bus = qobject_cast<TBUS*>(component)) {
        if (spot.Role == ContactRole::Whole) {
            const int value = bus->Port() ? bus->Port()->Value() : 0;
            return QStringLiteral(": 0x") + hex(value).rightJustified(2, QLatin1Char('0'));
        }
        return pinText(spot.Index, spot.Contact);
    }
    if (qobject_cast<TOrvexGraphicDrivenPort*>(component)) {
        switch (spot.Role) {
        case ContactRole::OutEnable:
            return QStringLiteral(" Output enable: ") + level(spot.Contact);
        case ContactRole::Strobe:
            return QStringLiteral(" Strobe: ") + level(spot.Contact);
        default:
            return pinText(spot.Index, spot.Contact);
        }
    }
    if (qobject_cast<TOrvexGraphicSelector*>(component)) {
        QString name;
        switch (spot.Role) {
        case ContactRole::InputPin:
            name = QStringLiteral(" Input_") + QChar(u'A' + spot.Index);
            break;
        case ContactRole::GateNon1:
            name = QStringLiteral(" GateANon");
            break;
        case ContactRole::GateNon2:
            name = QStringLiteral(" GateBNon");
            break;
        case ContactRole::Gate:
            name = QStringLiteral(" Gate1");
            break;
        default:
            return pinText(spot.Index, spot.Contact);
        }
        return name + QStringLiteral(": ") + level(spot.Contact);
    }
    if (auto* s = qobject_cast<TOrvexSwitch*>(component))
        return QStringLiteral("Contact1: ") + level(s->GetContact1()) + CrLf +
               QStringLiteral("Contact2: ") + level(s->GetContact2());
    if (auto* bulb = qobject_cast<TBulb*>(component))
        return QStringLiteral(" Contact1: ") + level(bulb->GetContact1()) +
               QStringLiteral(" Contact2: ") + level(bulb->GetContact2());
    if (auto* inv = qobject_cast<TInvertor*>(component))
        return QStringLiteral(" Input: ") + level(inv->GetInput()) + QStringLiteral(" Output: ") +
               level(inv->GetOutput());
    if (auto* gate = qobject_cast<TGateAND*>(component))
        return QStringLiteral(" Input1: ") + level(gate->GetInput1()) + CrLf +
               QStringLiteral("Input2: ") + level(gate->GetInput2()) + QStringLiteral(" Output: ") +
               level(gate->GetOutput());
    if (auto* led = qobject_cast<TTwoColorLED*>(component))
        return QStringLiteral(" Anode1: ") + level(led->Anode()) + QStringLiteral(" Anode2: ") +
               level(led->Anode2()) + QStringLiteral(" Cathode: ") + level(led->Cathode());
    if (auto* diode = qobject_cast<TOrvexDiode*>(component))
        return QStringLiteral(" Anode: ") + level(diode->Anode()) + QStringLiteral(" Cathode: ") +
               level(diode->Cathode());
    return {};
}

// While editing nothing is spread, so there are no levels to show: what is known is the
// component's contacts and what each is wired to.
QString wiringText(TOrvexGraphicComponent* component) {
    QString text = component->objectName() + QStringLiteral(": not running, no levels");
    const auto owns = [component](const QObject* contact) {
        for (const QObject* up = contact; up; up = up->parent())
            if (up == component) return true;
        return false;
    };
    for (const ContactSpot& spot : ContactStubs(component)) {
        // A stub names the contact wired to the component's own one, if any: the own one is
        // the one to describe.
        const TOrvexPinDriver* contact = spot.Contact;
        if (contact && !owns(contact)) {
            const TOrvexPinDriver* own = nullptr;
            if (const TComponentList* list = contact->ComponentList())
                for (int i = 0; i < list->Count() && !own; ++i)
                    if (owns(list->Items(i).Pin)) own = list->Items(i).Pin;
            contact = own;
        }
        if (!contact) continue;
        QStringList partners;
        if (const TComponentList* list = contact->ComponentList())
            for (int i = 0; i < list->Count(); ++i)
                if (const TOrvexPinDriver* partner = list->Items(i).Pin)
                    partners << NodeTable::MemberName(partner);
        text += CrLf + contact->objectName() + QStringLiteral(": ") +
                (partners.isEmpty()
                     ? QStringLiteral("not wired")
                     : QStringLiteral("wired to ") + partners.join(QStringLiteral(", ")));
    }
    return text;
}

// The node of the contact in the running board's node table, or nullptr.
TNode* nodeOf(TSimForm& form, const TOrvexPinDriver* contact) {
    if (!contact) return nullptr;
    const int index = contact->NodeIndex();
    TNodeArray& nodes = form.Nodes();
    if (index < 0 || size_t(index) >= nodes.size()) return nullptr;
    return nodes[size_t(index)].get();
}

// Spreads the node's drivers again (the supply node from its first driver only), or the contact
// itself when it is a logic input of a node without drivers.
void respreadNode(TNode& node, TOrvexPinDriver* contact) {
    TComponentList& drivers = node.Drivers();
    if (!drivers.IsEmpty()) {
        if (contact->NodeIndex() == 1) {
            if (TOrvexPinDriver* first = drivers.Items(0).Pin) SpreadFromDriver(first, nullptr);
        } else {
            for (int i = 0; i < drivers.Count(); ++i) {
                TOrvexPinDriver* driver = drivers.Items(i).Pin;
                if (driver && driver->Settled() && !TSimForm::SameHostPinListed(driver, i, drivers))
                    SpreadFromDriver(driver, nullptr);
            }
        }
        for (int i = 0; i < drivers.Count(); ++i)
            if (TOrvexPinDriver* driver = drivers.Items(i).Pin) driver->SetSettled(true);
    } else if (contact->IsInput()) {
        SpreadFromDriver(contact, nullptr);
    }
}

// The fewest "o" characters, at least 39, that are as wide as the form less 10 pixels.
int nodeWidthHint(const TSimForm& form) {
    const QFontMetrics metrics(form.font());
    const int target = form.width() - 10;
    const int o = std::max(1, metrics.horizontalAdvance(QLatin1Char('o')));
    int n = std::max(39, target / o - 1);
    while (n > 39 && metrics.horizontalAdvance(QString(n - 1, QLatin1Char('o'))) >= target)
        --n;
    while (metrics.horizontalAdvance(QString(n, QLatin1Char('o'))) < target)
        ++n;
    return n;
}

QString nodeListing(const TNode& node) {
    QStringList lines;
    for (const TNodeItem& member : node)
        if (member.Pin) lines << NodeTable::MemberName(member.Pin) + QStringLiteral(" | ");
    std::sort(lines.begin(), lines.end(), [](const QString& a, const QString& b) {
        const int c = a.compare(b, Qt::CaseInsensitive);
        return c != 0 ? c < 0 : a < b;
    });
    QStringList driverNames;
    for (const TComponentItem& driver : node.Drivers())
        driverNames << driver.Name;
    const QString drivers =
        driverNames.isEmpty()
            ? QString()
            : QLatin1Char('(') + driverNames.join(QStringLiteral(", ")) + QLatin1Char(')');
    QString text = node.Name + QLatin1Char('(') + QString::number(node.Index) +
                   QStringLiteral("): ") + drivers + CrLf;
    for (const QString& line : lines)
        text += line + CrLf;
    return text;
}

class ProbingScope {
public:
    explicit ProbingScope(bool& flag) : m_flag(flag) { m_flag = true; }
    ~ProbingScope() { m_flag = false; }
    ProbingScope(const ProbingScope&) = delete;
    ProbingScope& operator=(const ProbingScope&) = delete;

private:
    bool& m_flag;
};

} // namespace

bool TSimForm::SameHostPinListed(const TOrvexPinDriver* contact, int count,
                                 const TComponentList& list) {
    const auto* pin = qobject_cast<const TOrvexPin*>(contact);
    if (!pin || count <= 0) return false;
    const int n = std::min(count, list.Count());
    for (int i = 0; i < n; ++i) {
        const auto* other = qobject_cast<const TOrvexPin*>(list.Items(i).Pin);
        if (other && other->Address() == pin->Address() && other->PinNumber() == pin->PinNumber())
            return true;
    }
    return false;
}

QRect TSimForm::ClientArea() const {
    const QWidget* viewport = m_scrollArea->viewport();
    return QRect(m_board->mapFrom(viewport, QPoint(0, 0)), viewport->size());
}

QString TSimForm::ProbeText() const {
    auto* window = qobject_cast<TScriptWindow*>(m_probeWindow.data());
    return window ? window->ShownText() : QString();
}

void TSimForm::CloseProbeWindow() {
    m_probeTimer->Stop();
    delete m_probeWindow.data();
    m_probeWindow = nullptr;
}

void TSimForm::PointerLeftBoard() {
    m_pointerOnBoard = false;
    m_hovered = nullptr;
}

void TSimForm::MouseMoveOnBoard(QObject* sender, Qt::MouseButtons, Qt::KeyboardModifiers,
                                const QPoint& pos) {
    m_hovered = qobject_cast<TOrvexGraphicComponent*>(sender);
    auto* widget = qobject_cast<QWidget*>(sender);
    if (!widget) return;
    m_pointer = widget->mapToGlobal(pos);
    m_pointerOnBoard = true;

    const qint64 dx = qint64(m_pointer.x()) - m_probePoint.x();
    const qint64 dy = qint64(m_pointer.y()) - m_probePoint.y();
    if (std::abs(dx) < Jitter && std::abs(dy) < Jitter) return;
    if (m_probeWindow) {
        CloseProbeWindow();
    } else if (m_hovered) {
        m_probeTimer->Stop();
        m_probeTimer->SetInterval(ProbeDelay);
        m_probeTimer->Start();
    }
}

void TSimForm::ProbeTick() {
    TOrvexGraphicComponent* hovered = m_hovered.data();
    if (!hovered || m_probeWindow || m_probing || !m_pointerOnBoard) return;
    m_probePoint = m_pointer;
    const QRect client = ClientArea();
    // Form coordinates: the pointer in the part of the board the form shows.
    const QPoint at = m_board->mapFromGlobal(m_pointer) - client.topLeft();
    if (at.x() < 0 || at.x() > client.width() || at.y() < 0 || at.y() > client.height()) return;

    {
        ProbingScope probing(m_probing);
        const ContactSpot spot = ContactAt(hovered, QPointF(hovered->mapFromGlobal(m_pointer)));
        QString text = pinAddressText(hovered);
        int widthHint = 0;

        const bool shift = KeyState().LeftShiftHeld();
        const bool ctrl = KeyState().LeftCtrlHeld();
        TNode* node = nodeOf(*this, spot.Contact);
        bool shifted = false;
        if (shift && node) {
            respreadNode(*node, spot.Contact);
            text = QStringLiteral("Node: ") + node->Name + CrLf;
            widthHint = nodeWidthHint(*this);
            shifted = true;
        }
        if (ctrl && node && !shifted) {
            text = nodeListing(*node);
            widthHint = 80;
        }
        if (!ProbeShowsLevels()) {
            // Editing: the keys need a node, and there are no levels yet.
            text = spot.Role == ContactRole::Nothing ? QString() : wiringText(hovered);
            widthHint = 80;
        } else if (!shift && !ctrl) {
            const QString levels = levelText(hovered, spot);
            text = levels.isEmpty() ? QString() : text + levels;
            widthHint = 40;
        }

        if (!text.isEmpty() && m_hovered) {
            auto* window = new TScriptWindow(m_board);
            m_probeWindow = window;
            window->SetText(text);
            window->setFont(TScriptWindow::ClosestFont(QStringLiteral("Arial"),
                                                       widthHint < 201 ? 9 : 7, QFont::SansSerif));
            window->hide();
            // A key held over a contact that has no node leaves no hint: lay the text out as a
            // level text rather than one character a line.
            window->Layout(widthHint > 0 ? widthHint : 40);
            const QPoint anchor(at.x() - 8, at.y() - 30);
            int left = anchor.x() + 12;
            int top = anchor.y() + 5;
            if (left + window->width() > client.width()) left -= window->width() + 14;
            if (top + window->height() > client.height()) top -= window->height();
            left = std::max(left, 0);
            top = std::max(top, 0);
            window->move(client.topLeft() + QPoint(left, top));
            window->raise();
            window->show();
        }
    }
    m_probePoint = m_pointer;
}
