#pragma once

#include <QList>
#include <QPointF>

class TOrvexGraphicComponent;
class TOrvexPinDriver;

// Where the contacts of a component lie. One rule per component class answers both questions
// asked of it: which contact is at a point (the probe, under the pointer) and where each contact
// is (the point a wire is drawn to). Points are in the component's own coordinates.
//
// Ports, displays, buses, latches and decoders lay their contacts out in rows: row k is the
// value N((y - origin) / pitch - offset) with N rounding halves to the even integer, so row k is
// centred at origin + (k + offset) * pitch.

// What a part of a component is.
enum class ContactRole {
    Nothing,   // no contact there, and nothing to tell
    Whole,     // the component as a whole (a port or a bus away from its pins): no contact
    Pin,       // a pin: the pin of a pin or supply symbol (Index -1), or pin Index of a port
    InputPin,  // input Index of a latch or a decoder (select A, B, C for 0, 1, 2)
    OutEnable, // a latch's output enable
    Strobe,    // a latch's strobe
    GateNon1,  // a decoder's enables
    GateNon2,
    Gate,
    Segment, // segment Index of a display (its anode side)
    Contact1,
    Contact2,
    Input,  // an inverter's input
    Input1, // a gate's inputs
    Input2,
    Output,
    Anode,
    Anode2, // a two-colour LED's second anode (its first is Anode)
    Cathode,
    Common, // a display's common electrode (a stub only: the probe has no region for it)
};

struct ContactSpot {
    ContactRole Role = ContactRole::Nothing;
    int Index = -1;
    // The contact there. nullptr for Nothing and Whole, and for a part whose contact is missing.
    TOrvexPinDriver* Contact = nullptr;
    // Where the contact lies (from ContactSpots); for ContactAt, the point asked about.
    QPointF Point;
};

// The part of the component at `at`; the first rule that matches its class applies (a two-colour
// LED before the diodes it derives from). Components without contacts give Nothing.
ContactSpot ContactAt(TOrvexGraphicComponent* component, QPointF at);

// Every contact of the component that ContactAt finds, with the point where it lies: on the edge
// the contact leaves by, in the middle of its row. ContactAt at that point gives the same part.
QList<ContactSpot> ContactSpots(TOrvexGraphicComponent* component);

// Every contact of the component with the point of its stub in the picture as shown: the points
// of ContactSpots turned with the picture in every orientation, and the display's common
// electrode. Wires are drawn to, dragged from and highlighted at these points.
QList<ContactSpot> ContactStubs(TOrvexGraphicComponent* component);

// x rounded to the nearest integer, halves to the even one; false when x is not finite or lies
// outside the int range (a component of no height has no rows).
bool RoundHalfEven(double x, int& result);
