#include "components/contactgeometry.h"

#include <cmath>
#include <limits>

#include "components/drivenports.h"
#include "components/gates.h"
#include "components/leds.h"
#include "components/pins.h"
#include "components/ports.h"
#include "components/switches.h"
#include "resources/pictures.h"

bool RoundHalfEven(double x, int& result) {
    if (!std::isfinite(x)) return false;
    // nearbyint rounds in the current mode, which is to nearest with halves to even.
    const double rounded = std::nearbyint(x);
    if (rounded < double(std::numeric_limits<int>::min()) ||
        rounded > double(std::numeric_limits<int>::max()))
        return false;
    result = int(rounded);
    return true;
}

namespace {

using Component = TOrvexGraphicComponent;

// Rows of contacts down a component: row k is centred at origin + (k + offset) * pitch.
struct Rows {
    double origin;
    double pitch;
    double offset;

    bool Row(double y, int& k) const {
        return pitch > 0 && RoundHalfEven((y - origin) / pitch - offset, k);
    }
    double Centre(int k) const { return origin + (k + offset) * pitch; }
};

ContactSpot spot(ContactRole role, TOrvexPinDriver* contact, int index = -1, QPointF at = {}) {
    if (!contact && role != ContactRole::Whole) role = ContactRole::Nothing;
    return ContactSpot{role, role == ContactRole::Nothing ? -1 : index, contact, at};
}

ContactSpot nothing() {
    return ContactSpot{};
}

// Many parts have one contact on each side: the left one up to half the width.
bool rightHalf(const Component* c, QPointF at) {
    return at.x() > c->width() / 2.0;
}

QPointF leftMiddle(const Component* c) {
    return {0, c->height() / 2.0};
}

QPointF rightMiddle(const Component* c) {
    return {qMax(0, c->width() - 1) * 1.0, c->height() / 2.0};
}

double rightEdge(const Component* c) {
    return qMax(0, c->width() - 1);
}

// The right fifth of a port holds its pins; a fifth is a whole number of pixels.
int fifth(const Component* c) {
    return c->width() / 5;
}

Rows eightRows(const Component* c) {
    return Rows{0, c->height() / 8.0, 0.5};
}

// ---- pin and supply symbols: the one pin, wherever the pointer is

ContactSpot pinAt(Component* c, QPointF) {
    return spot(ContactRole::Pin, static_cast<TOrvexGraphicPin*>(c)->Pin());
}

QList<ContactSpot> pinSpots(Component* c) {
    auto* pin = static_cast<TOrvexGraphicPin*>(c);
    QPointF at(c->width() / 2.0, c->height() / 2.0);
    if (qobject_cast<TUPin*>(c))
        at = c->Orientation() == opo_HorizontalNegative ? leftMiddle(c) : rightMiddle(c);
    else if (qobject_cast<TVcc*>(c))
        at = QPointF(c->width() / 2.0, qMax(0, c->height() - 1));
    else if (qobject_cast<TGND*>(c))
        at = QPointF(c->width() / 2.0, 0);
    return {spot(ContactRole::Pin, pin->Pin(), -1, at)};
}

// ---- host port: pins in the right fifth, the port as a whole elsewhere

ContactSpot portAt(Component* c, QPointF at) {
    auto* port = static_cast<TUPort*>(c);
    if (at.x() < fifth(c) * 4) return spot(ContactRole::Whole, nullptr);
    int k = -1;
    if (!eightRows(c).Row(at.y(), k) || k < 0 || k > 7) return nothing();
    return spot(ContactRole::Pin, port->PortPin(k), k);
}

QList<ContactSpot> portSpots(Component* c) {
    auto* port = static_cast<TUPort*>(c);
    QList<ContactSpot> spots;
    for (int k = 0; k < 8; ++k)
        spots << spot(ContactRole::Pin, port->PortPin(k), k,
                      {rightEdge(c), eightRows(c).Centre(k)});
    return spots;
}

// ---- seven-segment display: segment k's anode side on row k, left of the right fifth

ContactSpot displayAt(Component* c, QPointF at) {
    auto* display = static_cast<TDispSeg*>(c);
    if (at.x() >= fifth(c) * 4) return nothing();
    int k = -1;
    if (!eightRows(c).Row(at.y(), k) || k < 0 || k > 7) return nothing();
    TDiodeCtl* segment = display->Segment(k);
    return spot(ContactRole::Segment, segment ? segment->Contact1() : nullptr, k);
}

QList<ContactSpot> displaySpots(Component* c) {
    auto* display = static_cast<TDispSeg*>(c);
    QList<ContactSpot> spots;
    for (int k = 0; k < 8; ++k) {
        TDiodeCtl* segment = display->Segment(k);
        spots << spot(ContactRole::Segment, segment ? segment->Contact1() : nullptr, k,
                      {0, eightRows(c).Centre(k)});
    }
    return spots;
}

// ---- data bus: its head is the whole bus, the lines below it

Rows busRows(const Component* c) {
    const double h = c->height() / 8.9;
    return Rows{h + 5, h, 0.3};
}

ContactSpot busAt(Component* c, QPointF at) {
    auto* bus = static_cast<TBUS*>(c);
    const Rows rows = busRows(c);
    if (at.y() <= rows.origin) return spot(ContactRole::Whole, nullptr);
    int k = -1;
    if (!rows.Row(at.y(), k) || k < 0 || k > 7) return nothing();
    return spot(ContactRole::Pin, bus->PortPin(k), k);
}

QList<ContactSpot> busSpots(Component* c) {
    auto* bus = static_cast<TBUS*>(c);
    const double x = c->Orientation() == opo_HorizontalNegative ? 0 : rightEdge(c);
    QList<ContactSpot> spots;
    for (int k = 0; k < 8; ++k)
        spots << spot(ContactRole::Pin, bus->PortPin(k), k, {x, busRows(c).Centre(k)});
    return spots;
}

// ---- driven port (latch or buffer): data in on the left, out on the right, then the control
// inputs the picture shows on the left below the data (output enable above strobe)

QList<ContactSpot> latchControls(TOrvexGraphicDrivenPort* port) {
    QList<ContactSpot> controls;
    if (port->PortDriver().testFlag(opc_OutputEnable))
        controls << spot(ContactRole::OutEnable, port->OutEnable());
    if (port->PortDriver().testFlag(opc_Strobe))
        controls << spot(ContactRole::Strobe, port->Strobe());
    return controls;
}

Rows latchRows(TOrvexGraphicDrivenPort* port) {
    const int rows = 8 + int(latchControls(port).size());
    return Rows{0, port->height() / double(rows), 0.3};
}

TOrvexPinDriver* latchInput(TOrvexGraphicDrivenPort* port, int r) {
    if (TOrvexPortDriver* input = port->InputPort()) return input->Pins(r);
    return port->InPin(r);
}

ContactSpot latchAt(Component* c, QPointF at) {
    auto* port = static_cast<TOrvexGraphicDrivenPort*>(c);
    int r = -1;
    if (!latchRows(port).Row(at.y(), r) || r < 0) return nothing();
    if (at.x() >= fifth(c)) {
        if (r <= 7 && at.x() > fifth(c) * 3) return spot(ContactRole::Pin, port->PortPin(r), r);
        return nothing();
    }
    if (r <= 7) return spot(ContactRole::InputPin, latchInput(port, r), r);
    const QList<ContactSpot> controls = latchControls(port);
    return r - 8 < controls.size() ? controls[r - 8] : nothing();
}

QList<ContactSpot> latchSpots(Component* c) {
    auto* port = static_cast<TOrvexGraphicDrivenPort*>(c);
    const Rows rows = latchRows(port);
    QList<ContactSpot> spots;
    for (int r = 0; r < 8; ++r) {
        spots << spot(ContactRole::InputPin, latchInput(port, r), r, {0, rows.Centre(r)});
        spots << spot(ContactRole::Pin, port->PortPin(r), r, {rightEdge(c), rows.Centre(r)});
    }
    const QList<ContactSpot> controls = latchControls(port);
    for (qsizetype i = 0; i < controls.size(); ++i) {
        ContactSpot control = controls[i];
        control.Point = QPointF(0, rows.Centre(8 + int(i)));
        spots << control;
    }
    return spots;
}

// ---- decoder: select inputs on rows 0-2 and enables on rows 5-7 at the left, outputs right

ContactSpot selectorInput(TOrvexGraphicSelector* selector, int k) {
    switch (k) {
    case 0:
    case 1:
    case 2:
        return spot(ContactRole::InputPin, selector->InPin(k), k);
    case 5:
        return spot(ContactRole::GateNon1, selector->GateNon1());
    case 6:
        return spot(ContactRole::GateNon2, selector->GateNon2());
    case 7:
        return spot(ContactRole::Gate, selector->Gate());
    default:
        return nothing();
    }
}

ContactSpot selectorAt(Component* c, QPointF at) {
    auto* selector = static_cast<TOrvexGraphicSelector*>(c);
    int k = -1;
    if (!eightRows(c).Row(at.y(), k) || k < 0 || k > 7) return nothing();
    if (at.x() >= fifth(c)) {
        if (at.x() > fifth(c) * 3) return spot(ContactRole::Pin, selector->PortPin(k), k);
        return nothing();
    }
    return selectorInput(selector, k);
}

QList<ContactSpot> selectorSpots(Component* c) {
    auto* selector = static_cast<TOrvexGraphicSelector*>(c);
    const Rows rows = eightRows(c);
    QList<ContactSpot> spots;
    for (int k = 0; k < 8; ++k) {
        ContactSpot input = selectorInput(selector, k);
        if (input.Role != ContactRole::Nothing) {
            input.Point = QPointF(0, rows.Centre(k));
            spots << input;
        }
        spots << spot(ContactRole::Pin, selector->PortPin(k), k, {rightEdge(c), rows.Centre(k)});
    }
    return spots;
}

// ---- two-contact parts

ContactSpot switchAt(Component* c, QPointF at) {
    auto* s = static_cast<TOrvexSwitch*>(c);
    return rightHalf(c, at) ? spot(ContactRole::Contact2, s->GetContact2())
                            : spot(ContactRole::Contact1, s->GetContact1());
}

QList<ContactSpot> switchSpots(Component* c) {
    auto* s = static_cast<TOrvexSwitch*>(c);
    return {spot(ContactRole::Contact1, s->GetContact1(), -1, leftMiddle(c)),
            spot(ContactRole::Contact2, s->GetContact2(), -1, rightMiddle(c))};
}

bool verticalBulb(const Component* c) {
    return c->Orientation() == opo_VerticalPositive || c->Orientation() == opo_VerticalNegative;
}

ContactSpot bulbAt(Component* c, QPointF at) {
    auto* bulb = static_cast<TBulb*>(c);
    const bool second = verticalBulb(c) ? at.y() > c->height() / 2.0 : rightHalf(c, at);
    return second ? spot(ContactRole::Contact2, bulb->GetContact2())
                  : spot(ContactRole::Contact1, bulb->GetContact1());
}

QList<ContactSpot> bulbSpots(Component* c) {
    auto* bulb = static_cast<TBulb*>(c);
    if (verticalBulb(c))
        return {spot(ContactRole::Contact1, bulb->GetContact1(), -1, {c->width() / 2.0, 0}),
                spot(ContactRole::Contact2, bulb->GetContact2(), -1,
                     {c->width() / 2.0, qMax(0, c->height() - 1) * 1.0})};
    return {spot(ContactRole::Contact1, bulb->GetContact1(), -1, leftMiddle(c)),
            spot(ContactRole::Contact2, bulb->GetContact2(), -1, rightMiddle(c))};
}

// The inverter's and the gate's inputs are their control's own contacts.
ContactSpot invertorAt(Component* c, QPointF at) {
    auto* inv = static_cast<TInvertor*>(c);
    TInvertCtl* control = inv->InvertControl();
    if (rightHalf(c, at)) return spot(ContactRole::Output, inv->GetOutput());
    return spot(ContactRole::Input, control ? control->Contact1() : nullptr);
}

QList<ContactSpot> invertorSpots(Component* c) {
    auto* inv = static_cast<TInvertor*>(c);
    TInvertCtl* control = inv->InvertControl();
    return {spot(ContactRole::Input, control ? control->Contact1() : nullptr, -1, leftMiddle(c)),
            spot(ContactRole::Output, inv->GetOutput(), -1, rightMiddle(c))};
}

Rows twoRows(const Component* c) {
    return Rows{0, c->height() / 2.0, 0.5};
}

ContactSpot gateAt(Component* c, QPointF at) {
    auto* gate = static_cast<TGateAND*>(c);
    TGateANDCtl* control = gate->GateControl();
    if (rightHalf(c, at)) return spot(ContactRole::Output, gate->GetOutput());
    int row = 0;
    if (!control || !twoRows(c).Row(at.y(), row)) return nothing();
    return row == 0 ? spot(ContactRole::Input1, control->Contact1())
                    : spot(ContactRole::Input2, control->Contact2());
}

QList<ContactSpot> gateSpots(Component* c) {
    auto* gate = static_cast<TGateAND*>(c);
    TGateANDCtl* control = gate->GateControl();
    return {spot(ContactRole::Input1, control ? control->Contact1() : nullptr, -1,
                 {0, twoRows(c).Centre(0)}),
            spot(ContactRole::Input2, control ? control->Contact2() : nullptr, -1,
                 {0, twoRows(c).Centre(1)}),
            spot(ContactRole::Output, gate->GetOutput(), -1, rightMiddle(c))};
}

ContactSpot twoColourAt(Component* c, QPointF at) {
    auto* led = static_cast<TTwoColorLED*>(c);
    if (rightHalf(c, at)) return spot(ContactRole::Cathode, led->Cathode());
    int row = 0;
    if (!twoRows(c).Row(at.y(), row)) return nothing();
    return row != 0 ? spot(ContactRole::Anode2, led->Anode2())
                    : spot(ContactRole::Anode, led->Anode());
}

QList<ContactSpot> twoColourSpots(Component* c) {
    auto* led = static_cast<TTwoColorLED*>(c);
    return {spot(ContactRole::Anode, led->Anode(), -1, {0, twoRows(c).Centre(0)}),
            spot(ContactRole::Anode2, led->Anode2(), -1, {0, twoRows(c).Centre(1)}),
            spot(ContactRole::Cathode, led->Cathode(), -1, rightMiddle(c))};
}

ContactSpot diodeAt(Component* c, QPointF at) {
    auto* diode = static_cast<TOrvexDiode*>(c);
    return rightHalf(c, at) ? spot(ContactRole::Cathode, diode->Cathode())
                            : spot(ContactRole::Anode, diode->Anode());
}

QList<ContactSpot> diodeSpots(Component* c) {
    auto* diode = static_cast<TOrvexDiode*>(c);
    return {spot(ContactRole::Anode, diode->Anode(), -1, leftMiddle(c)),
            spot(ContactRole::Cathode, diode->Cathode(), -1, rightMiddle(c))};
}

struct Rule {
    const QMetaObject* Class;
    ContactSpot (*At)(Component*, QPointF);
    QList<ContactSpot> (*Spots)(Component*);
};

// In order: the first rule whose class the component is applies.
const Rule rules[] = {
    {&TOrvexGraphicPin::staticMetaObject, pinAt, pinSpots},
    {&TUPort::staticMetaObject, portAt, portSpots},
    {&TDispSeg::staticMetaObject, displayAt, displaySpots},
    {&TBUS::staticMetaObject, busAt, busSpots},
    {&TOrvexGraphicDrivenPort::staticMetaObject, latchAt, latchSpots},
    {&TOrvexGraphicSelector::staticMetaObject, selectorAt, selectorSpots},
    {&TOrvexSwitch::staticMetaObject, switchAt, switchSpots},
    {&TBulb::staticMetaObject, bulbAt, bulbSpots},
    {&TInvertor::staticMetaObject, invertorAt, invertorSpots},
    {&TGateAND::staticMetaObject, gateAt, gateSpots},
    {&TTwoColorLED::staticMetaObject, twoColourAt, twoColourSpots},
    {&TOrvexDiode::staticMetaObject, diodeAt, diodeSpots},
};

const Rule* ruleFor(const Component* component) {
    if (!component) return nullptr;
    const QMetaObject* meta = component->metaObject();
    for (const Rule& rule : rules)
        if (meta->inherits(rule.Class)) return &rule;
    return nullptr;
}

} // namespace

ContactSpot ContactAt(TOrvexGraphicComponent* component, QPointF at) {
    const Rule* rule = ruleFor(component);
    if (!rule) return nothing();
    ContactSpot found = rule->At(component, at);
    found.Point = at;
    return found;
}

QList<ContactSpot> ContactSpots(TOrvexGraphicComponent* component) {
    const Rule* rule = ruleFor(component);
    if (!rule) return {};
    QList<ContactSpot> spots = rule->Spots(component);
    spots.removeIf([](const ContactSpot& s) { return s.Role == ContactRole::Nothing; });
    return spots;
}

namespace {

// Parts whose rules already place their contacts by orientation (their pictures are drawn for
// each side they face, not turned).
bool placesByOrientation(const TOrvexGraphicComponent* c) {
    return qobject_cast<const TOrvexGraphicPin*>(c) || qobject_cast<const TBUS*>(c) ||
           qobject_cast<const TBulb*>(c);
}

// p, found on the component as if its picture were not turned, where the turned picture shows
// it. Unturned, a picture turned by an odd number of quarters is h wide and w high; the rules
// scale with the size, so p is carried over in proportion first.
QPointF turnedPoint(QPointF p, int quarters, double w, double h) {
    if (w <= 0 || h <= 0) return p;
    const bool across = quarters % 2 != 0;
    const double uw = across ? h : w, uh = across ? w : h;
    const double ux = p.x() / w * uw, uy = p.y() / h * uh;
    QPointF turned;
    switch (quarters) {
    case 1:
        turned = QPointF(w - uy, ux);
        break;
    case 2:
        turned = QPointF(w - ux, h - uy);
        break;
    case 3:
        turned = QPointF(uy, h - ux);
        break;
    default:
        turned = p;
        break;
    }
    return QPointF(qBound(0.0, turned.x(), qMax(0.0, w - 1)),
                   qBound(0.0, turned.y(), qMax(0.0, h - 1)));
}

} // namespace

QList<ContactSpot> ContactStubs(TOrvexGraphicComponent* component) {
    QList<ContactSpot> stubs = ContactSpots(component);
    if (!component) return stubs;
    if (auto* display = qobject_cast<TDispSeg*>(component)) {
        // The common electrode leaves on the right, level with the last row.
        if (TOrvexPinDriver* common = display->CommonElectrode())
            stubs << spot(ContactRole::Common, common, -1,
                          {rightEdge(component), eightRows(component).Centre(7)});
    }
    if (placesByOrientation(component)) return stubs;
    const int quarters = Pictures::Quarters(component->Picture());
    if (quarters == 0) return stubs;
    for (ContactSpot& stub : stubs)
        stub.Point = turnedPoint(stub.Point, quarters, component->width(), component->height());
    return stubs;
}
