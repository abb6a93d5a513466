#include "editor/wires.h"

#include <QPaintEvent>
#include <QPainter>
#include <QRegion>
#include <QSet>
#include <algorithm>

#include "components/contactgeometry.h"
#include "components/orvexcomponent.h"
#include "components/ports.h"
#include "lcd/lcd.h"
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

bool isWiredTo(const TOrvexPinDriver* contact, const TOrvexPinDriver* partner) {
    if (const TComponentList* list = contact->ComponentList())
        for (const TComponentItem& item : *list)
            if (item.Pin == partner) return true;
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
    QList<TOrvexPinDriver*> contacts;
    bool contactsFound = false;
    for (const ContactSpot& stub : ContactStubs(component)) {
        TOrvexPinDriver* seen = stub.Contact;
        if (!seen) continue;
        TOrvexPinDriver* own = nullptr;
        if (isInside(seen, component)) {
            own = seen;
        } else if (const TComponentList* list = seen->ComponentList()) {
            // A wired contact reads its partner: its own contact is the one of this component
            // in the partner's list that no other stub has claimed. The partner's list may hold
            // a whole board (a ground pin's), so the component's few contacts are asked first
            // (wires are two-sided); only where several share the partner does its list decide.
            if (!contactsFound) {
                contacts = component->findChildren<TOrvexPinDriver*>();
                contactsFound = true;
            }
            int candidates = 0;
            for (TOrvexPinDriver* mine : contacts)
                if (!taken.contains(mine) && isWiredTo(mine, seen) && ++candidates == 1) own = mine;
            if (candidates > 1) {
                own = nullptr;
                for (const TComponentItem& item : *list)
                    if (item.Pin && isInside(item.Pin, component) && !taken.contains(item.Pin)) {
                        own = item.Pin;
                        break;
                    }
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

TWireEnd NearestEnd(const QList<TWireEnd>& ends, QPointF at, double radius) {
    TWireEnd nearest;
    double best = radius * radius;
    for (const TWireEnd& end : ends) {
        const QPointF d = end.Point - at;
        const double distance = QPointF::dotProduct(d, d);
        if (distance <= best) {
            best = distance;
            nearest = end;
        }
    }
    return nearest;
}

TWireEnd EndAt(TOrvexGraphicComponent* component, QPointF at, double radius) {
    return NearestEnd(EndsOf(component), at, radius);
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
    if (on == m_linesShown) return;
    m_linesShown = on;
    m_layerAll = true;
    update();
}

void TWireOverlay::SetRunning(bool on) {
    m_running = on;
    // Starting and stopping builds and clears the circuit: find the wires anew.
    Invalidate();
}

namespace {

// Around a line: its width and the dots at its ends.
constexpr int LineMargin = 4;
// Around a highlighted stub: its ring.
constexpr int RingMargin = 8;
// More separate rectangles than this are repainted as one.
constexpr qsizetype ManyRects = 64;

QRect lineExtent(const QLineF& line) {
    return QRectF(line.p1(), line.p2())
        .normalized()
        .toAlignedRect()
        .adjusted(-LineMargin, -LineMargin, LineMargin, LineMargin);
}

QRect ringExtent(QPointF at) {
    return QRectF(at.x() - RingMargin, at.y() - RingMargin, 2 * RingMargin, 2 * RingMargin)
        .toAlignedRect();
}

} // namespace

void TWireOverlay::SetRubberLine(QPointF from, QPointF to) {
    const QRect before = m_rubber ? lineExtent({m_rubberFrom, m_rubberTo}) : QRect();
    m_rubber = true;
    m_rubberFrom = from;
    m_rubberTo = to;
    update(before.united(lineExtent({from, to})));
}

void TWireOverlay::ClearRubberLine() {
    if (!m_rubber) return;
    m_rubber = false;
    update(lineExtent({m_rubberFrom, m_rubberTo}));
}

void TWireOverlay::SetHoverEnd(QPointF at) {
    if (m_hoverEnd && at == m_hoverAt) return;
    ClearHoverEnd();
    m_hoverEnd = true;
    m_hoverAt = at;
    update(ringExtent(at));
}

void TWireOverlay::ClearHoverEnd() {
    if (!m_hoverEnd) return;
    m_hoverEnd = false;
    update(ringExtent(m_hoverAt));
}

QList<QPointF> TWireOverlay::OpenEnds() {
    EnsureLines();
    QList<QPointF> result;
    for (const TStub& stub : m_openEnds)
        result.append(BoardPoint(stub));
    return result;
}

void TWireOverlay::SetHighlight(const QList<TOrvexPinDriver*>& net) {
    if (net == m_highlight) return;
    if (m_highlight.size() + net.size() > ManyRects || !m_linesValid) {
        m_highlight = net;
        update();
        return;
    }
    // Only the rings that come and go.
    QRegion changed;
    for (const QList<TOrvexPinDriver*>* list :
         std::initializer_list<const QList<TOrvexPinDriver*>*>{&m_highlight, &net})
        for (const TOrvexPinDriver* contact : *list) {
            const auto stub = m_stubs.constFind(contact);
            if (stub != m_stubs.cend()) changed += ringExtent(BoardPoint(*stub));
        }
    m_highlight = net;
    update(changed);
}

const QList<TWireEnd>& TWireOverlay::EndsOf(TOrvexGraphicComponent* component) {
    auto cached = m_ends.find(component);
    if (cached == m_ends.end()) cached = m_ends.insert(component, Wires::EndsOf(component));
    return *cached;
}

TWireEnd TWireOverlay::EndAt(TOrvexGraphicComponent* component, QPointF at, double radius) {
    return Wires::NearestEnd(EndsOf(component), at, radius);
}

void TWireOverlay::Invalidate() {
    m_ends.clear();
    m_linesValid = false;
    m_layerAll = true;
    update();
}

void TWireOverlay::ComponentResized(TOrvexGraphicComponent* component) {
    m_ends.remove(component);
    m_linesValid = false;
    m_layerAll = true;
    update();
}

void TWireOverlay::ComponentMoved(TOrvexGraphicComponent* component) {
    if (!m_linesValid) {
        update();
        return;
    }
    const QList<qsizetype> lines = m_linesOf.value(component);
    if (lines.size() > ManyRects) {
        update(); // the paint finds the lines that moved and draws them again
        return;
    }
    for (const qsizetype i : lines)
        UpdateLine(m_wireLines[i]);
    const auto ring = [&](const TOrvexPinDriver* contact) {
        const auto stub = m_stubs.constFind(contact);
        return stub != m_stubs.cend() && stub->Component == component;
    };
    if (std::any_of(m_highlight.cbegin(), m_highlight.cend(), ring)) update();
}

void TWireOverlay::UpdateLine(TLine& line) {
    const QLineF now = Current(line);
    if (now == line.Shown) return;
    const QRect before = lineExtent(line.Shown), after = lineExtent(now);
    update(before.united(after));
    m_layerDirty += before;
    m_layerDirty += after;
    line.Shown = now;
}

void TWireOverlay::LevelsChanged() {
    if (!m_linesShown) return;
    if (!m_linesValid) {
        update();
        return;
    }
    QRegion changed;
    qsizetype count = 0;
    for (TLine& line : m_wireLines) {
        const int level = wireLevel(line.A, line.B);
        if (level == line.Level) continue;
        line.Level = level;
        if (++count > ManyRects) break;
        changed += lineExtent(Current(line));
    }
    if (count > ManyRects)
        update();
    else if (count > 0)
        update(changed);
}

QPointF TWireOverlay::BoardPoint(const TStub& stub) const {
    const TOrvexGraphicComponent* component = stub.Component;
    return component->parentWidget() == m_board ? component->pos() + stub.Point
                                                : component->mapTo(m_board, stub.Point);
}

QLineF TWireOverlay::Current(const TLine& line) const {
    return QLineF(BoardPoint({line.ComponentA, line.PointA}),
                  BoardPoint({line.ComponentB, line.PointB}));
}

void TWireOverlay::EnsureLines() {
    if (m_linesValid) return;
    m_wireLines.clear();
    m_linesOf.clear();
    m_stubs.clear();
    m_openEnds.clear();
    QList<TWireEnd> ends;
    for (TOrvexGraphicComponent* component : m_board->OwnedComponents()) {
        if (!component->isVisible()) continue;
        for (const TWireEnd& end : EndsOf(component)) {
            m_stubs.insert(end.Contact, TStub{component, end.Point});
            ends.append(end);
        }
    }
    // Each wire once: from the contact met first to a partner that has a stub on the board
    // (supply symbols' rails and hidden contacts have none).
    QSet<const TOrvexPinDriver*> done;
    for (const TWireEnd& end : ends) {
        done.insert(end.Contact);
        const QList<TOrvexPinDriver*> partners = Wires::Partners(end.Contact);
        if (partners.isEmpty()) m_openEnds.append(TStub{end.Component, end.Point});
        for (TOrvexPinDriver* partner : partners) {
            if (done.contains(partner)) continue;
            const auto other = m_stubs.constFind(partner);
            if (other == m_stubs.cend()) continue;
            TLine line{end.Component, other->Component, end.Contact, partner,
                       end.Point,     other->Point,     QLineF(),    -1};
            line.Shown = Current(line);
            const qsizetype index = m_wireLines.size();
            m_wireLines.append(line);
            m_linesOf[end.Component].append(index);
            if (other->Component != end.Component) m_linesOf[other->Component].append(index);
        }
    }
    AddModuleLines();
    m_linesValid = true;
}

void TWireOverlay::AddModuleLines() {
    // An LCD module names its port and its control pins rather than wiring contacts of its own,
    // so it has no stubs: its lines leave its left edge, the data lines first, one a row.
    for (TOrvexGraphicComponent* component : m_board->OwnedComponents()) {
        auto* lcd = qobject_cast<TLCD*>(component);
        if (!lcd || !lcd->isVisible()) continue;
        QList<TOrvexPinDriver*> targets;
        if (const TOrvexPort* port = lcd->Port())
            for (TOrvexGraphicComponent* other : m_board->OwnedComponents())
                if (auto* hostPort = qobject_cast<TOrvexGraphicPort*>(other);
                    hostPort && hostPort->Port() == port && hostPort->isVisible())
                    for (const TWireEnd& end : EndsOf(hostPort))
                        targets.append(end.Contact);
        for (TOrvexPinDriver* line : lcd->SchematicContacts())
            targets.append(line);
        const qsizetype rows = targets.size();
        for (qsizetype i = 0; i < rows; ++i) {
            const auto stub = m_stubs.constFind(targets[i]);
            if (stub == m_stubs.cend() || stub->Component == lcd) continue;
            const QPointF at(0, lcd->height() * double(i + 1) / double(rows + 1));
            // Both ends are the port's contact: its level is the line's.
            TLine line{lcd, stub->Component, targets[i], targets[i], at, stub->Point, QLineF(), -1};
            line.Shown = Current(line);
            const qsizetype index = m_wireLines.size();
            m_wireLines.append(line);
            m_linesOf[lcd].append(index);
            m_linesOf[stub->Component].append(index);
        }
    }
}

void TWireOverlay::Collect() {
    EnsureLines();
    m_lines.clear();
    for (TLine& line : m_wireLines) {
        const QLineF now = Current(line);
        if (now != line.Shown) {
            // Moved without a word: the drawn lines must not keep it where it was.
            m_layerDirty += lineExtent(line.Shown);
            m_layerDirty += lineExtent(now);
            line.Shown = now;
        }
        m_lines.append({line.Shown.p1(), line.Shown.p2()});
    }
}

namespace {

QColor levelColour(int level) {
    if (level == LevelUndefined) return QColor(0x80, 0x80, 0x80);
    return level >= LevelHigh / 2 ? QColor(0xe0, 0x20, 0x20) : QColor(0x20, 0x50, 0xe0);
}

} // namespace

void TWireOverlay::DrawLines(QPainter& painter, const QRect& within) {
    // Opaque colours: the painter blends translucent strokes of long lines far slower.
    const QColor editing(0x10, 0x70, 0x60);
    const QRect visible = m_running ? visibleRegion().boundingRect() : QRect();
    QSet<const TOrvexPinDriver*> dotted;
    QList<QPointF> dots;
    QColor penColour;
    for (TLine& line : m_wireLines) {
        const QLineF& at = line.Shown;
        const QRect extent = lineExtent(at);
        if (!extent.intersects(within)) continue;
        const int level = m_running ? wireLevel(line.A, line.B) : LevelUndefined;
        // A line drawn in part keeps the level it shows elsewhere, to be repainted whole.
        if (m_running && within.contains(extent & visible)) line.Level = level;
        const QColor colour = m_running ? levelColour(level) : editing;
        if (colour != penColour) {
            painter.setPen(QPen(colour, m_running ? 2.0 : 1.0));
            penColour = colour;
        }
        painter.drawLine(at);
        // The wired ends as dots, so that a line's end is found on a busy board; one each.
        if (!dotted.contains(line.A)) {
            dotted.insert(line.A);
            dots.append(at.p1());
        }
        if (!dotted.contains(line.B)) {
            dotted.insert(line.B);
            dots.append(at.p2());
        }
    }
    painter.setPen(Qt::NoPen);
    painter.setBrush(m_running ? QColor(0x30, 0x30, 0x30) : editing);
    for (const QPointF& dot : dots)
        painter.drawEllipse(dot, 2.5, 2.5);
}

void TWireOverlay::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (m_linesShown || !m_highlight.isEmpty()) Collect();
    // On a high-density screen the image has the screen's pixels, so lines stay as sharp.
    const qreal ratio = devicePixelRatioF();
    const QSize pixels = size() * ratio;
    const bool layered =
        m_linesShown && !m_running && qint64(pixels.width()) * pixels.height() <= LayerPixels;
    if (!layered) m_layer = QImage();
    if (layered) {
        // The lines of the whole board drawn once: a repaint copies them, and only what changed
        // since is drawn again.
        if (m_layer.size() != pixels || m_layer.devicePixelRatio() != ratio) {
            m_layer = QImage(pixels, QImage::Format_ARGB32_Premultiplied);
            m_layer.setDevicePixelRatio(ratio);
            m_layerAll = true;
        }
        if (m_layerAll || !m_layerDirty.isEmpty()) {
            // One rectangle: the painter clips long lines to a rectangle far faster than to a
            // region of several.
            const QRect dirty = m_layerAll ? rect() : m_layerDirty.boundingRect() & rect();
            m_layerAll = false;
            m_layerDirty = QRegion();
            QPainter layer(&m_layer);
            layer.setCompositionMode(QPainter::CompositionMode_Source);
            layer.fillRect(dirty, Qt::transparent);
            layer.setCompositionMode(QPainter::CompositionMode_SourceOver);
            layer.setClipRect(dirty);
            layer.setRenderHint(QPainter::Antialiasing);
            DrawLines(layer, dirty);
        }
        const QRectF exposed = event->rect();
        painter.drawImage(exposed, m_layer,
                          QRectF(exposed.topLeft() * ratio, exposed.size() * ratio));
    } else if (m_linesShown) {
        DrawLines(painter, event->rect());
    }
    if (m_linesShown && !m_running) {
        // Every contact that takes a wire and has none shows the same small ring, whatever its
        // picture draws there. Drawn at each paint: the rings follow their components.
        painter.setPen(QPen(QColor(0x10, 0x70, 0x60), 1.0));
        painter.setBrush(Qt::NoBrush);
        const QRectF exposed = QRectF(event->rect()).adjusted(-4, -4, 4, 4);
        for (const TStub& stub : m_openEnds) {
            const QPointF at = BoardPoint(stub);
            if (exposed.contains(at)) painter.drawEllipse(at, OpenEndRadius, OpenEndRadius);
        }
    }
    if (m_hoverEnd) {
        // The end a press or a release here takes.
        painter.setPen(QPen(QColor(0xff, 0x60, 0x00), 2.0));
        painter.setBrush(Qt::NoBrush);
        painter.drawEllipse(m_hoverAt, HoverEndRadius, HoverEndRadius);
    }
    if (!m_highlight.isEmpty()) {
        painter.setPen(QPen(QColor(0xff, 0x80, 0x00), 2.0));
        painter.setBrush(QColor(0xff, 0xb0, 0x30, 160));
        for (const TOrvexPinDriver* contact : m_highlight) {
            const auto stub = m_stubs.constFind(contact);
            if (stub != m_stubs.cend()) painter.drawEllipse(BoardPoint(*stub), 5.0, 5.0);
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
