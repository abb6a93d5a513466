#include "editor/wires.h"

#include <QPainter>
#include <QPainterPath>
#include <QSet>

#include "components/contactgeometry.h"
#include "components/orvexcomponent.h"
#include "model/collections.h"
#include "model/drivers.h"
#include "model/enums.h"
#include "properties/propertytext.h"
#include "simulation/simform.h"

namespace {

bool isInside(const QObject* object, const QObject* component) {
    for (; object; object = object->parent())
        if (object == component) return true;
    return false;
}

// Contacts a user can wire: named ones, not the hidden rail contacts of drivers and inputs.
bool isWirable(const TOrvexPinDriver* contact) {
    return contact && !contact->objectName().isEmpty() &&
           contact->objectName() != QLatin1String("DriverContact");
}

// The level a wire shows. A passive part's contact keeps the level it passes on (a lit LED's
// cathode holds its anode's), so the end that sets the node's level speaks for the wire: a
// supply or host pin, else a driving contact; ends that disagree without one show undefined.
int levelOf(const TOrvexPinDriver* contact) {
    // A supply pin's level is its type; its stored value follows what the node passes it.
    if (const auto* pin = qobject_cast<const TPin*>(contact)) {
        if (pin->PinType() == PIN_GND) return LevelLow;
        if (pin->PinType() == PIN_Vcc) return LevelHigh;
    }
    return contact->Value();
}

int wireLevel(const TOrvexPinDriver* a, const TOrvexPinDriver* b) {
    for (const auto rank : {+[](const TOrvexPinDriver* c) { return c->IsSupplyPin(); },
                            +[](const TOrvexPinDriver* c) { return c->IsHostPin(); },
                            +[](const TOrvexPinDriver* c) { return c->IsDriver(); }}) {
        if (rank(a) && !rank(b)) return levelOf(a);
        if (rank(b) && !rank(a)) return levelOf(b);
    }
    return levelOf(a) == levelOf(b) ? levelOf(a) : LevelUndefined;
}

} // namespace

namespace Wires {

QList<TWireEnd> EndsOf(TOrvexGraphicComponent* component) {
    QList<TWireEnd> ends;
    if (!component) return ends;
    // The writable contact properties and what they read: a contact's own driver while it is
    // unwired, else its first partner. The probe's rules read the same getters.
    QList<std::pair<QString, QObject*>> properties;
    for (const PropertyText::TPropertyInfo& prop :
         PropertyText::PublishedProperties(component->metaObject())) {
        if (!prop.IsWritable() || prop.Kind() != PropertyText::TPropertyKind::Class ||
            !prop.ClassType() || !prop.ClassType()->inherits(&TOrvexPinDriver::staticMetaObject))
            continue;
        properties.append({prop.Name(), prop.Meta().read(component).value<QObject*>()});
    }
    QSet<const TOrvexPinDriver*> taken;
    for (const ContactSpot& stub : ContactStubs(component)) {
        TOrvexPinDriver* seen = stub.Contact;
        if (!seen) continue;
        TOrvexPinDriver* own = nullptr;
        if (isInside(seen, component)) {
            own = seen;
        } else if (const TComponentList* list = seen->ComponentList()) {
            // A wired contact reads its partner: its own contact is the one of this component
            // in the partner's list that no other stub has claimed.
            for (const TComponentItem& item : *list)
                if (item.Pin && isInside(item.Pin, component) && !taken.contains(item.Pin)) {
                    own = item.Pin;
                    break;
                }
        }
        if (!own || taken.contains(own) || !isWirable(own)) continue;
        taken.insert(own);
        TWireEnd end{component, own, QString(), stub.Point};
        for (qsizetype i = 0; i < properties.size(); ++i)
            if (properties[i].second == seen) {
                end.Property = properties[i].first;
                properties.removeAt(i); // each property wires one contact
                break;
            }
        ends.append(end);
    }
    return ends;
}

TWireEnd EndAt(TOrvexGraphicComponent* component, QPointF at, double radius) {
    TWireEnd nearest;
    double best = radius * radius;
    for (const TWireEnd& end : EndsOf(component)) {
        const QPointF d = end.Point - at;
        const double distance = QPointF::dotProduct(d, d);
        if (distance <= best) {
            best = distance;
            nearest = end;
        }
    }
    return nearest;
}

QList<TOrvexPinDriver*> Partners(const TOrvexPinDriver* contact) {
    QList<TOrvexPinDriver*> partners;
    if (!contact || !contact->ComponentList()) return partners;
    for (const TComponentItem& item : *contact->ComponentList())
        if (isWirable(item.Pin)) partners.append(item.Pin);
    return partners;
}

QList<TOrvexPinDriver*> Net(TOrvexPinDriver* contact) {
    QList<TOrvexPinDriver*> net;
    if (!contact) return net;
    QSet<const TOrvexPinDriver*> seen{contact};
    net.append(contact);
    for (qsizetype i = 0; i < net.size(); ++i)
        for (TOrvexPinDriver* partner : Partners(net[i]))
            if (!seen.contains(partner)) {
                seen.insert(partner);
                net.append(partner);
            }
    return net;
}

} // namespace Wires

TWireOverlay::TWireOverlay(TBoardSurface* board) : QWidget(board), m_board(board) {
    setObjectName(QStringLiteral("WireOverlay"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::NoFocus);
    Follow();
    show();
}

void TWireOverlay::Follow() {
    if (geometry() != m_board->rect()) setGeometry(m_board->rect());
    raise();
    update();
}

void TWireOverlay::SetLinesShown(bool on) {
    m_linesShown = on;
    update();
}

void TWireOverlay::SetRunning(bool on) {
    m_running = on;
    update();
}

void TWireOverlay::SetRubberLine(QPointF from, QPointF to) {
    m_rubber = true;
    m_rubberFrom = from;
    m_rubberTo = to;
    update();
}

void TWireOverlay::ClearRubberLine() {
    m_rubber = false;
    update();
}

void TWireOverlay::SetHighlight(const QList<TOrvexPinDriver*>& net) {
    if (net == m_highlight) return;
    m_highlight = net;
    update();
}

void TWireOverlay::Collect() {
    m_lines.clear();
    m_levels.clear();
    m_points.clear();
    const QList<TOrvexGraphicComponent*> components = m_board->OwnedComponents();
    QList<TWireEnd> ends;
    for (TOrvexGraphicComponent* component : components) {
        if (!component->isVisible()) continue;
        for (const TWireEnd& end : Wires::EndsOf(component)) {
            m_points.insert(end.Contact, component->mapTo(m_board, end.Point.toPoint()) +
                                             (end.Point - end.Point.toPoint()));
            ends.append(end);
        }
    }
    // Each wire once: from the contact met first to a partner that has a stub on the board
    // (supply symbols' rails and hidden contacts have none).
    QSet<const TOrvexPinDriver*> done;
    for (const TWireEnd& end : ends) {
        done.insert(end.Contact);
        for (TOrvexPinDriver* partner : Wires::Partners(end.Contact)) {
            if (done.contains(partner)) continue;
            const auto other = m_points.constFind(partner);
            if (other == m_points.cend()) continue;
            m_lines.append({m_points.value(end.Contact), *other});
            m_levels.append(wireLevel(end.Contact, partner));
        }
    }
}

namespace {

QColor levelColour(int level) {
    if (level == LevelUndefined) return QColor(0x80, 0x80, 0x80);
    return level >= LevelHigh / 2 ? QColor(0xe0, 0x20, 0x20) : QColor(0x20, 0x50, 0xe0);
}

} // namespace

void TWireOverlay::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (m_linesShown || !m_highlight.isEmpty()) Collect();
    if (m_linesShown) {
        const QColor editing(0x10, 0x70, 0x60, 200);
        for (qsizetype i = 0; i < m_lines.size(); ++i) {
            const QColor colour = m_running ? levelColour(m_levels[i]) : editing;
            painter.setPen(QPen(colour, m_running ? 2.0 : 1.5));
            painter.drawLine(m_lines[i].first, m_lines[i].second);
        }
        // The wired ends as dots, so that a line's end is found on a busy board.
        painter.setPen(Qt::NoPen);
        painter.setBrush(m_running ? QColor(0x30, 0x30, 0x30) : editing);
        for (const auto& line : m_lines) {
            painter.drawEllipse(line.first, 2.5, 2.5);
            painter.drawEllipse(line.second, 2.5, 2.5);
        }
    }
    if (!m_highlight.isEmpty()) {
        painter.setPen(QPen(QColor(0xff, 0x80, 0x00), 2.0));
        painter.setBrush(QColor(0xff, 0xb0, 0x30, 160));
        for (const TOrvexPinDriver* contact : m_highlight) {
            const auto at = m_points.constFind(contact);
            if (at != m_points.cend()) painter.drawEllipse(*at, 5.0, 5.0);
        }
    }
    if (m_rubber) {
        QPen pen(QColor(0xff, 0x60, 0x00), 2.0, Qt::DashLine);
        painter.setPen(pen);
        painter.drawLine(m_rubberFrom, m_rubberTo);
        painter.setBrush(QColor(0xff, 0x60, 0x00));
        painter.setPen(Qt::NoPen);
        painter.drawEllipse(m_rubberFrom, 3.5, 3.5);
    }
}
