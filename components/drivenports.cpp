#include "components/drivenports.h"

#include <algorithm>

#include "model/boardlink.h"
#include "model/circuit.h"
#include "model/levels.h"
#include "platform/hostmessages.h"

namespace {

// An inverting port turns low (2500 mV or less) into 5000 and high into 0; an undefined level
// stays undefined.
int invertLevel(int level, bool inverted) {
    if (!inverted || level < 0) return level;
    return IsHighLevel(level) ? LevelLow : LevelHigh;
}

// One more pin level into a byte collected pin 0 first: after eight pins bit k holds pin k.
int collectBit(int byte, int level) {
    return (byte >> 1) | (IsHighLevel(level) ? 0x80 : 0);
}

// A level that a component itself puts on one of its port's pins.
void drivePin(TOrvexPin* pin, int level) {
    if (!pin) return;
    pin->AssignValue(level);
    pin->SetDrivenValue(level);
}

int ownLevel(const TOrvexPortCtl* control) {
    return control && control->Contact() ? control->Contact()->Value() : LevelHigh;
}

} // namespace

TOrvexPortCtl* CreatePortInput(QObject* owner, const QString& name, int ohms) {
    auto* control = new TOrvexPortCtl(owner);
    control->setObjectName(name);
    TOrvexPinDriver* contact = control->Contact();
    contact->setObjectName(name + QStringLiteral("_Pin"));
    // The level first: once the contact is an input, assigning would already evaluate it.
    contact->SetDrivenValue(LevelHigh);
    contact->AssignValue(LevelHigh);
    control->SetResistence(ohms);
    contact->SetInput(true);
    return control;
}

// ---------------------------------------------------------------- TOrvexLatchCtl

TOrvexLatchCtl::TOrvexLatchCtl(QObject* owner) : TOrvexSwitchCtl(owner) {
    m_resistence = OhmsFloating;
    Contact1()->SetRating(500);
    Contact2()->SetRating(500);
}

TOrvexGraphicDrivenPort* TOrvexLatchCtl::DrivenPort() const {
    return qobject_cast<TOrvexGraphicDrivenPort*>(parent());
}

TOrvexPin* TOrvexLatchCtl::OutputPin() const {
    TOrvexGraphicDrivenPort* port = DrivenPort();
    return port && port->Port() ? port->Port()->Pins(m_bitIndex) : nullptr;
}

int TOrvexLatchCtl::GetResistence() {
    if (m_askedContact && m_askedContact == Contact1()) return 100000;
    return m_resistence;
}

TOrvexPinDriver* TOrvexLatchCtl::OtherContact(TOrvexPinDriver* contact) {
    if (contact && contact == Contact1()) return OutputPin();
    return Contact1();
}

TOrvexPinDriver* TOrvexLatchCtl::GetContact2() const {
    TOrvexPin* pin = OutputPin();
    return pin ? pin->GetContact() : nullptr;
}

void TOrvexLatchCtl::SetClosed(bool closed) {
    m_closed = closed;
    m_resistence = closed ? 200 : OhmsFloating;
}

void TOrvexLatchCtl::ValueChanged(TOrvexDriver* changed, TOrvexDriver*) {
    auto* contact = qobject_cast<TOrvexPinDriver*>(changed);
    if (!contact || !GetContact1() || !GetContact2()) return;
    // Only the input moves the latch; levels arriving at the output pin stay there.
    TOrvexPin* output = OutputPin();
    if (!output || OtherContact(contact) != output) return;
    TOrvexGraphicDrivenPort* port = DrivenPort();
    if (!port) return;
    int v = contact->Value();
    if (port->PortDriver().testFlag(opc_Strobe)) {
        TOrvexPortCtl* strobe = port->StrobeControl();
        if (strobe && strobe->Contact() && IsHighLevel(strobe->Contact()->Value()))
            m_latchedValue = v;
        v = m_latchedValue;
    }
    if (!m_closed) return;
    v = invertLevel(std::max(v, 0), port->Inverted());
    // An output wired back to this latch's input returns the level being passed: spreading it
    // again would only chase it round the loop.
    if (m_spreading && v == output->Value()) return;
    drivePin(output, v);
    // The port's byte stays the byte on its pins: a strobe going low answers the host with it.
    TOrvexPort* outPort = port->Port();
    const int bit = 1 << m_bitIndex;
    outPort->StoreValue(IsHighLevel(v) ? (outPort->Value() | bit) : (outPort->Value() & ~bit));
    if (TOrvexPinDriver* far = GetContact2()) far->SetSettled(false);
    const bool outer = m_spreading;
    m_spreading = true;
    SpreadFromDriver(output, nullptr);
    m_spreading = outer;
}

// ---------------------------------------------------------------- TOrvexGraphicDrivenPort

TOrvexGraphicDrivenPort::TOrvexGraphicDrivenPort(QWidget* owner)
    : TOrvexGraphicPort(owner, QStringLiteral("OutPort")) {
    for (int k = 0; k < 8; ++k) {
        auto* latch = new TOrvexLatchCtl(this);
        latch->setObjectName(QStringLiteral("Line_%1").arg(k));
        TOrvexPinDriver* input = latch->Contact1();
        input->setObjectName(QStringLiteral("Contact1_%1").arg(k));
        input->SetDrivenValue(LevelLow);
        input->SetInput(true);
        TOrvexPinDriver* output = latch->Contact2();
        output->setObjectName(QStringLiteral("Contact2_%1").arg(k));
        output->SetDriver(true);
        if (TOrvexPin* pin = Port()->Pins(k)) {
            pin->SetDrivenValue(LevelUndefined);
            pin->AssignValue(LevelUndefined);
            pin->SetResistence(OhmsFloating);
            pin->SetOwnerControl(latch);
        }
        latch->SetLatchedValue(LevelHigh);
        latch->SetLatching(false);
        latch->SetBitIndex(k);
        m_latches[size_t(k)] = latch;
    }
}

TOrvexGraphicDrivenPort::~TOrvexGraphicDrivenPort() {
    delete m_strobe.data();
    delete m_outEnable.data();
    for (QPointer<TOrvexLatchCtl>& latch : m_latches) {
        if (!latch) continue;
        latch->Contact2()->SetDriver(false);
        delete latch.data();
    }
}

void TOrvexGraphicDrivenPort::SetInputPort(TOrvexPortDriver* port) {
    if (!port) return;
    // A latch listens to one input port: leave the pins of the previous one.
    if (m_inputPort && m_inputPort != port)
        for (int k = 0; k < 8; ++k)
            if (m_latches[size_t(k)])
                m_latches[size_t(k)]->Contact1()->Disconnect(m_inputPort->Pins(k));
    m_inputPort = port;
    for (int k = 0; k < 8; ++k) {
        TOrvexPin* pin = port->Pins(k);
        if (pin && m_latches[size_t(k)]) m_latches[size_t(k)]->Contact1()->SetContact(pin);
    }
}

TOrvexPinDriver* TOrvexGraphicDrivenPort::Strobe() const {
    return m_strobe ? m_strobe->GetContact() : nullptr;
}

void TOrvexGraphicDrivenPort::SetStrobe(TOrvexPinDriver* driver) {
    if (m_strobe) m_strobe->SetContact(driver);
}

TOrvexPinDriver* TOrvexGraphicDrivenPort::OutEnable() const {
    return m_outEnable ? m_outEnable->GetContact() : nullptr;
}

void TOrvexGraphicDrivenPort::SetOutEnable(TOrvexPinDriver* driver) {
    if (m_outEnable) m_outEnable->SetContact(driver);
}

TOrvexPinDriver* TOrvexGraphicDrivenPort::InPin(int index) const {
    TOrvexLatchCtl* latch = Latch(index);
    return latch ? latch->GetContact1() : nullptr;
}

bool TOrvexGraphicDrivenPort::PortControlChanged(TOrvexPortCtl* control) {
    if (control && control == m_outEnable) return OutputEnableChanged();
    if (control && control == m_strobe) return StrobeChanged();
    return false;
}

bool TOrvexGraphicDrivenPort::OutputEnableChanged() {
    if (!m_portDriver.testFlag(opc_OutputEnable)) return false;
    const bool enabled = IsLowLevel(ownLevel(m_outEnable));
    const bool strobed = m_portDriver.testFlag(opc_Strobe);
    // A latch whose strobe stands high is transparent: it shows its input, whether or not the
    // strobe has moved since the inputs last changed.
    const bool transparent = !strobed || (m_strobe && IsHighLevel(ownLevel(m_strobe)));
    int byte = 0;
    for (int k = 0; k < 8; ++k) {
        TOrvexLatchCtl* latch = Latch(k);
        if (!latch) continue;
        TOrvexPinDriver* input = latch->GetContact1();
        if (strobed && transparent && input) latch->SetLatchedValue(input->Value());
        int level = LevelUndefined;
        if (strobed)
            level = latch->LatchedValue();
        else if (input)
            level = input->Value();
        level = invertLevel(level, m_inverted);
        latch->SetClosed(enabled);
        drivePin(Port()->Pins(k), enabled ? level : LevelUndefined);
        byte = collectBit(byte, level);
    }
    if (enabled) {
        Port()->AssignValue(byte);
    } else {
        // The port lets go of its outputs: what stands at its inputs is read by the host.
        Port()->AssignValue(255);
        SendReply(byte);
    }
    return true;
}

bool TOrvexGraphicDrivenPort::StrobeChanged() {
    if (!m_portDriver.testFlag(opc_Strobe)) return false;
    TOrvexLatchCtl* first = Latch(0);
    const bool open = !first || !first->Closed();
    if (IsLowLevel(ownLevel(m_strobe))) {
        if (!open) SendReply(Port()->Value());
        return true;
    }
    int byte = 0;
    for (int k = 0; k < 8; ++k) {
        TOrvexLatchCtl* latch = Latch(k);
        if (!latch) continue;
        if (TOrvexPinDriver* input = latch->GetContact1()) latch->SetLatchedValue(input->Value());
        if (!latch->Closed()) continue;
        const int level = invertLevel(latch->LatchedValue(), m_inverted);
        drivePin(Port()->Pins(k), level);
        byte = collectBit(byte, level);
    }
    if (!open) Port()->AssignValue(byte);
    return true;
}

void TOrvexGraphicDrivenPort::SendReply(int byte) {
    if (BoardLink* board = OwnerForm())
        SendHostMessage(board, HostMsg::HostReply, quint32(byte), 0);
}

void TOrvexGraphicDrivenPort::PortControlEnded(TOrvexPortCtl*) {
    for (int k = 0; k < 8; ++k)
        if (TOrvexPin* pin = Port()->Pins(k)) SpreadFromDriver(pin, nullptr);
}

QList<TOrvexPinDriver*> TOrvexGraphicDrivenPort::SchematicContacts() const {
    QList<TOrvexPinDriver*> contacts;
    for (int k = 0; k < 8; ++k) {
        if (TOrvexPinDriver* out = PortPin(k)) contacts.append(out);
        if (m_inputPort)
            if (TOrvexPinDriver* in = InPin(k)) contacts.append(in);
    }
    if (TOrvexPinDriver* enable = OutEnable()) contacts.append(enable);
    if (TOrvexPinDriver* strobe = Strobe()) contacts.append(strobe);
    return contacts;
}

double TOrvexGraphicDrivenPort::NameBandBottom() const {
    // Down to the top of row 1's labels, drawn at 1.6 rows (resources/draw_pictures.py).
    const int rows =
        8 + int(PortDriver().testFlag(opc_Strobe)) + int(PortDriver().testFlag(opc_OutputEnable));
    const double nominalHeight = 85 + 10 * (rows - 8);
    return 1.6 / rows - 2.6 / nominalHeight;
}

// ---------------------------------------------------------------- TUDrivenPort

TUDrivenPort::TUDrivenPort(QWidget* owner) : TOrvexGraphicDrivenPort(owner) {
    m_strobe = CreatePortInput(this, QStringLiteral("Strobe"), 100000);
    m_outEnable = CreatePortInput(this, QStringLiteral("OutEnable"), 200);
    SetPortDriver(TPortDriverType(opc_Strobe | opc_OutputEnable));
    TakePictureSize();
}

QString TUDrivenPort::PictureName(TPortDriverType portDriver, bool inverted) {
    static const char* const names[] = {"DRIVEN_PORT_DIR", "DRIVEN_PORT_C", "DRIVEN_PORT_OE",
                                        "DRIVEN_PORT"};
    const int index =
        (portDriver.testFlag(opc_Strobe) ? 1 : 0) + (portDriver.testFlag(opc_OutputEnable) ? 2 : 0);
    QString name = QLatin1String(names[index]);
    if (inverted) name += QStringLiteral("_INV");
    return name;
}

void TUDrivenPort::SetPortDriver(TPortDriverType value) {
    TOrvexGraphicDrivenPort::SetPortDriver(value);
    const QString picture = PictureName(value, m_inverted);
    LoadPictures(picture, picture, true);
    SetOrientation(Orientation()); // the turned variant, where one is shown
    const int idle = m_inverted ? LevelLow : LevelHigh;
    for (int k = 0; k < 8; ++k) {
        if (TOrvexPin* pin = Port()->Pins(k)) {
            pin->SetDrivenValue(idle);
            pin->AssignValue(idle);
        }
        if (TOrvexLatchCtl* latch = Latch(k)) {
            latch->SetLatchedValue(idle);
            latch->Contact2()->SetDrivenValue(idle);
        }
    }
}

void TUDrivenPort::SetInverted(bool value) {
    TOrvexGraphicDrivenPort::SetInverted(value);
    SetPortDriver(m_portDriver);
}

// ---------------------------------------------------------------- TOrvexGraphicSelector

TOrvexGraphicSelector::TOrvexGraphicSelector(QWidget* owner)
    : TOrvexGraphicPort(owner, QStringLiteral("OutPort")) {
    for (int k = 0; k < 8; ++k)
        SetHostPinResistence(Port()->Pins(k), 200);
    for (int k = 0; k < 3; ++k)
        m_select[size_t(k)] = CreatePortInput(this, QStringLiteral("InPin_%1").arg(k), 100000);
}

TOrvexGraphicSelector::~TOrvexGraphicSelector() {
    delete m_gateNon1.data();
    delete m_gateNon2.data();
    delete m_gate.data();
    for (QPointer<TOrvexPortCtl>& select : m_select)
        delete select.data();
}

TOrvexPinDriver* TOrvexGraphicSelector::GateNon1() const {
    return m_gateNon1 ? m_gateNon1->GetContact() : nullptr;
}

void TOrvexGraphicSelector::SetGateNon1(TOrvexPinDriver* driver) {
    if (m_gateNon1) m_gateNon1->SetContact(driver);
}

TOrvexPinDriver* TOrvexGraphicSelector::GateNon2() const {
    return m_gateNon2 ? m_gateNon2->GetContact() : nullptr;
}

void TOrvexGraphicSelector::SetGateNon2(TOrvexPinDriver* driver) {
    if (m_gateNon2) m_gateNon2->SetContact(driver);
}

TOrvexPinDriver* TOrvexGraphicSelector::Gate() const {
    return m_gate ? m_gate->GetContact() : nullptr;
}

void TOrvexGraphicSelector::SetGate(TOrvexPinDriver* driver) {
    if (m_gate) m_gate->SetContact(driver);
}

TOrvexPinDriver* TOrvexGraphicSelector::InPin(int index) const {
    TOrvexPortCtl* select = SelectControl(index);
    return select ? select->GetContact() : nullptr;
}

void TOrvexGraphicSelector::SetInPin(int index, TOrvexPinDriver* driver) {
    if (TOrvexPortCtl* select = SelectControl(index)) select->SetContact(driver);
}

bool TOrvexGraphicSelector::PortControlChanged(TOrvexPortCtl*) {
    const bool enabled = IsLowLevel(ownLevel(m_gateNon1)) && IsLowLevel(ownLevel(m_gateNon2)) &&
                         !IsLowLevel(ownLevel(m_gate));
    int byte = 0;
    if (enabled) {
        int index = 0;
        for (int k = 0; k < 3; ++k) {
            // An unwired select input reads its own idle-high contact.
            const TOrvexPinDriver* input = InPin(k);
            if (!input || !IsLowLevel(input->Value())) index |= 1 << k;
        }
        byte = 1 << index;
    }
    if (m_inverted) byte = ~byte & 0xFF;
    // Outputs wired back to the inputs bring this decoding back here: when they change nothing,
    // the outputs already being spread stand.
    if (m_decoding && byte == m_outputByte) return false;
    m_outputByte = byte;
    const bool outer = m_decoding;
    const int decode = ++m_decodeCount;
    m_decoding = true;
    for (int k = 0; k < 8; ++k) {
        TOrvexPin* pin = Port()->Pins(k);
        if (!pin) continue;
        drivePin(pin, (byte >> k) & 1 ? LevelHigh : LevelLow);
        pin->SetSettled(false);
        SpreadFromDriver(pin, nullptr);
        if (decode != m_decodeCount) break; // a later decoding has driven every output since
    }
    m_decoding = outer;
    // Decoding is immediate: the selector keeps nothing for the end of the step.
    return false;
}

QList<TOrvexPinDriver*> TOrvexGraphicSelector::SchematicContacts() const {
    QList<TOrvexPinDriver*> contacts;
    for (int k = 0; k < 8; ++k)
        if (TOrvexPinDriver* out = PortPin(k)) contacts.append(out);
    for (int k = 0; k < 3; ++k)
        if (TOrvexPinDriver* in = InPin(k)) contacts.append(in);
    for (TOrvexPinDriver* enable : {GateNon1(), GateNon2(), Gate()})
        if (enable) contacts.append(enable);
    return contacts;
}

double TOrvexGraphicSelector::NameBandBottom() const {
    // Down to the top of row 1's labels, drawn at 1.74 rows (resources/draw_pictures.py).
    return 1.74 / 8 - 2.6 / 85;
}

// ---------------------------------------------------------------- TUSelector

TUSelector::TUSelector(QWidget* owner) : TOrvexGraphicSelector(owner) {
    m_gateNon1 = CreatePortInput(this, QStringLiteral("GateNon1"), 200);
    m_gateNon2 = CreatePortInput(this, QStringLiteral("GateNon2"), 200);
    m_gate = CreatePortInput(this, QStringLiteral("Gate"), 100000);
    SetInverted(false);
    TakePictureSize();
}

void TUSelector::SetInverted(bool value) {
    TOrvexGraphicSelector::SetInverted(value);
    LoadPictures(value ? QStringLiteral("SELECTOR_INV") : QStringLiteral("SELECTOR"),
                 value ? QStringLiteral("SELECTOR_INV_SCH") : QStringLiteral("SELECTOR_SCH"), true);
    SetOrientation(Orientation()); // the turned variant, where one is shown
    const int idle = value ? LevelHigh : LevelLow;
    for (int k = 0; k < 8; ++k) {
        if (TOrvexPin* pin = Port()->Pins(k)) {
            pin->SetDrivenValue(idle);
            pin->AssignValue(idle);
        }
    }
}
