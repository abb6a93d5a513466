#include "model/hostpins.h"

#include <algorithm>

#include "model/boardlink.h"
#include "model/circuit.h"
#include "model/controls.h"
#include "model/levels.h"
#include "platform/hostmessages.h"

namespace {
// Only addresses of one byte are reported to the host (the messages carry the low byte).
bool reportable(int address) {
    return address >= 0 && address <= 255;
}
} // namespace

// ---------------------------------------------------------------- TOrvexPin

TOrvexPin::TOrvexPin(QObject* owner) : TOrvexPinDriver(owner) {
    m_space = ops_DATA;
    m_value = LevelHigh;
    m_drivenValue = LevelHigh;
    m_resistence = OhmsHostPinHigh;
    m_rating = 50;
}

TOrvexPin::~TOrvexPin() {
    UnwireAll();
    if (m_portPin && m_port) {
        for (auto& slot : m_port->m_pins)
            if (slot == this) slot = nullptr;
        setObjectName(QString());
    }
}

void TOrvexPin::SetValue(int level) {
    level = std::min(level, LevelHigh);
    TOrvexPinDriver::SetValue(level);
    BoardLink* board = MirrorPinToBoard(this, level, m_drivenValue);
    if (HostBusy() || !board || !board->HasWindow() || !reportable(m_address)) return;
    const quint32 w = PackBytes(quint8(m_address), quint8(m_pinNumber), quint8(m_space),
                                quint8(MillivoltsToVolts(m_value)));
    SendHostMessage(board, HostMsg::PinLevel, w, reinterpret_cast<qintptr>(this));
}

void TOrvexPin::AssignValue(int level) {
    TOrvexPinDriver::AssignValue(level);
    if (!HostBusy()) SpreadFromDriver(this, nullptr);
}

int TOrvexPin::GetResistence() {
    if (TOrvexControl* control = OwnerControl()) {
        control->SetAskedContact(this);
        return control->GetResistence();
    }
    return m_resistence;
}

void TOrvexPin::SetSpace(TPortSpace space) {
    if (space == ops_CODE || space == ops_IDATA || int(space) < 0 || int(space) > int(ops_PSEN)) {
        Report(QStringLiteral("Invalid property value for pin"));
        return;
    }
    m_space = space;
    NoteMirrorKey(this);
    FireChange();
}

void TOrvexPin::SetAddress(int address) {
    m_address = address;
    NoteMirrorKey(this);
    FireChange();
}

void TOrvexPin::SetPinNumber(int number) {
    // A bit of a byte: anything else would shift past the port and corrupt the masks.
    if (number < 0 || number > 7) {
        Report(QStringLiteral("Invalid property value for pin"));
        return;
    }
    m_pinNumber = number;
    NoteMirrorKey(this);
    // The host hears the level again, under the new bit.
    SetValue(m_value);
}

void TOrvexPin::HostAccess(int data, int drivenData, int kind, int address, QObject*) {
    const int space = kind & 7;
    if (space != int(m_space) || address != m_address) return;
    int level;
    if (space == ops_XDATA && !m_portPin) {
        // A strobe-style pin: low while the strobe it listens to is active (its kind bit clear).
        level = LevelHigh;
        if (m_activatedOn.testFlag(opa_RD) && (kind & 0x80) == 0) level = LevelLow;
        if (m_activatedOn.testFlag(opa_WR) && (kind & 0x40) == 0) level = LevelLow;
    } else {
        const int mask = PinMask();
        level = (data & mask) ? LevelHigh : LevelLow;
        m_drivenValue = (drivenData & mask) ? LevelHigh : LevelLow;
    }
    if (m_settled && level == m_value) return;
    AssignValue(level);
    MirrorPinToBoard(this, level, m_drivenValue);
    m_settled = true;
    SpreadFromDriver(this, nullptr);
}

// ---------------------------------------------------------------- ports

TOrvexPortDriver::TOrvexPortDriver(QObject* owner) : TOrvexDriver(owner) {
    m_space = ops_DATA;
}

TOrvexPort::TOrvexPort(QObject* owner) : TOrvexPortDriver(owner) {
    const QString ownerName = owner ? owner->objectName() : QString();
    for (int i = 0; i < 8; ++i) {
        auto* pin = new TOrvexPin(this);
        pin->m_portPin = true;
        pin->m_port = this;
        pin->setObjectName(QStringLiteral("Pin_%1").arg(i));
        pin->m_pinNumber = i;
        pin->m_address = m_address;
        pin->m_space = m_space;
        auto* control = new TOrvexPinControl(this);
        control->setObjectName(ownerName + QLatin1Char('_') + pin->objectName());
        control->SetContact(pin);
        pin->SetOwnerControl(control);
        control->SetResistence(OhmsHostPinHigh);
        pin->SetDriver(true);
        pin->SetInput(false);
        m_pins[size_t(i)] = pin;
    }
    m_drivenValue = 255;
}

TOrvexPort::~TOrvexPort() {
    // Pins reach back into the port while they die: free them while the port is still whole.
    for (auto& slot : m_pins) {
        TOrvexPin* pin = slot;
        if (pin && !pin->objectName().isEmpty()) delete pin;
        slot = nullptr;
    }
}

void TOrvexPort::SetValue(int byte) {
    m_value = byte;
    m_settled = true;
    Written();
    if (TOrvexControl* control = OwnerControl()) control->ValueChanged(this, nullptr);
    FireChange();
    for (int i = 0; i < 8; ++i)
        if (TOrvexPin* pin = m_pins[size_t(i)])
            pin->SetValue((byte >> i) & 1 ? LevelHigh : LevelLow);
}

void TOrvexPort::SetAddress(int address) {
    BoardLink* board = OwnerForm();
    // Without the board's window there is no host to ask, and the address is kept as given: a
    // board read out of sight (the clipboard's, an undo step's) must not lose it. The host is
    // asked when the component is read onto a board that has its window.
    if (board && board->HasWindow() &&
        SendHostMessage(board, HostMsg::PortAddress, quint32(address), 0) != 0) {
        Report(QStringLiteral("Invalid property value for port"));
        return;
    }
    m_address = address;
    for (TOrvexPin* pin : m_pins)
        if (pin) pin->m_address = address;
    NoteMirrorKey(this);
    FireChange();
}

void TOrvexPort::SetSpace(TPortSpace space) {
    if (int(space) < 0 || int(space) > int(ops_DATA)) {
        Report(QStringLiteral("Invalid property value for port"));
        return;
    }
    for (TOrvexPin* pin : m_pins)
        if (pin) pin->m_space = space;
    m_space = space;
    NoteMirrorKey(this);
}

void TOrvexPort::HostAccess(int data, int drivenData, int kind, int address, QObject*) {
    if ((kind & 7) != int(m_space) || address != m_address) return;
    m_value = data;
    Written();
    for (TOrvexPin* pin : m_pins)
        if (pin) pin->HostAccess(data, drivenData, kind & 7, address, pin);
}

// ---------------------------------------------------------------- board mirroring

void NoteMirrorKey(TOrvexDriver* driver) {
    if (BoardLink* board = driver ? driver->OwnerForm() : nullptr) board->MirrorKeyChanged(driver);
}

BoardLink* MirrorPinToBoard(TOrvexPin* pin, int level, int drivenLevel) {
    BoardLink* board = pin ? pin->OwnerForm() : nullptr;
    if (!board) return nullptr;
    const int bit = 1 << (pin->PinNumber() & 7);
    // Plain field writes below: nothing can change the board while the targets are used.
    const TMirrorTargets& targets =
        board->MirrorTargets(pin->Space(), pin->Address(), pin->PinNumber());
    for (TOrvexPortDriver* port : targets.Ports) {
        if (port->Address() == pin->Address() && port->Space() == pin->Space()) {
            const int value = IsHighLevel(level) ? (port->Value() | bit) : (port->Value() & ~bit);
            const int driven = IsHighLevel(drivenLevel) ? (port->DrivenValue() | bit)
                                                        : (port->DrivenValue() & ~bit);
            port->StoreValue(value);
            port->StoreDrivenValue(driven);
        }
    }
    for (TOrvexPin* shown : targets.Pins) {
        if (shown->Address() == pin->Address() && shown->Space() == pin->Space() &&
            shown->PinNumber() == pin->PinNumber()) {
            shown->StoreValue(level);
            shown->StoreDrivenValue(drivenLevel);
        }
    }
    return board;
}

void WriteFromBoard(TOrvexPortDriver* port, MessageTarget* window, int byte) {
    if (!port) return;
    port->StoreValue(byte);
    for (int i = 0; i < 8; ++i)
        if (TOrvexPin* pin = port->Pins(i)) pin->StoreValue((byte >> i) & 1 ? LevelHigh : LevelLow);
    if (reportable(port->Address()))
        SendHostMessage(window, HostMsg::PortByte,
                        PackBytes(quint8(port->Address()), 0, quint8(port->Space()), quint8(byte)),
                        reinterpret_cast<qintptr>(port));
}
