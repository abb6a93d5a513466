#include "components/ports.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>

#include "model/boardlink.h"

namespace {

bool isVertical(TOrientation orientation) {
    return orientation == opo_VerticalPositive || orientation == opo_VerticalNegative;
}

// A whole byte onto the port: each pin presents the resistance of the level it is given.
void writePortByte(TOrvexPort* port, int data, int drivenData, int kind, int address,
                   QObject* reserved) {
    for (int k = 0; k < 8; ++k)
        SetHostPinResistence(port->Pins(k), (data >> k) & 1 ? OhmsHostPinHigh : OhmsHostPinLow);
    port->HostAccess(data, drivenData, kind, address, reserved);
}

bool portTakes(const TOrvexPort* port, int kind, int address) {
    return port && (kind & 7) == int(port->Space()) && address == port->Address();
}

} // namespace

void SetHostPinResistence(TOrvexPin* pin, int ohms) {
    if (!pin) return;
    pin->SetResistence(ohms);
    auto* control = qobject_cast<TOrvexPinControl*>(pin->OwnerControl());
    if (control && control->Contact() == pin) control->SetResistence(ohms);
}

// ---------------------------------------------------------------- TOrvexGraphicPort

TOrvexGraphicPort::TOrvexGraphicPort(QWidget* owner, const QString& portName)
    : TOrvexGraphicComponent(owner) {
    m_port = new TOrvexPort(this);
    m_port->setObjectName(portName);
    SetShowName(true);
}

TOrvexGraphicPort::~TOrvexGraphicPort() {
    // The pins unwire themselves while the component can still answer for them.
    delete m_port;
    m_port = nullptr;
}

void TOrvexGraphicPort::SetName(const QString& newName) {
    TOrvexGraphicComponent::SetName(newName);
    if (!m_port) return;
    for (QObject* child : m_port->children()) {
        auto* control = qobject_cast<TOrvexPinControl*>(child);
        if (control && control->Contact())
            control->setObjectName(newName + QLatin1Char('_') + control->Contact()->objectName());
    }
}

bool TOrvexGraphicPort::PortControlChanged(TOrvexPortCtl*) {
    return false;
}

void TOrvexGraphicPort::PortControlEnded(TOrvexPortCtl*) {}

QList<TOrvexPinDriver*> TOrvexGraphicPort::SchematicContacts() const {
    QList<TOrvexPinDriver*> contacts;
    for (int k = 0; k < 8; ++k)
        if (TOrvexPinDriver* pin = PortPin(k)) contacts.append(pin);
    return contacts;
}

TNamePlace TOrvexGraphicPort::NamePlace() const {
    // Centred over the block's top rows, within the block's inside and above the labels that the
    // pictures keep clear of it.
    const QString caption = GetCaption();
    const int top = qRound(height() / 25.0) + 2;
    TNamePlace place;
    place.Font = FitNameFont(caption, int(width() * NameBandWidth()),
                             int(height() * NameBandBottom()) - top, width());
    const QFontMetrics metrics(place.Font);
    const int advance = metrics.horizontalAdvance(caption);
    place.Rect = QRect((width() - advance) / 2, top, advance, metrics.height());
    return place;
}

// ---------------------------------------------------------------- TUPort

TUPort::TUPort(QWidget* owner) : TOrvexGraphicPort(owner, QStringLiteral("Port")) {
    LoadPictures(QStringLiteral("PORT"), QStringLiteral("PORT"), true);
    TakePictureSize();
    NoteMirrorKey(Port()); // now that it answers as a port component
}

void TUPort::SetSpace(TPortSpace space) {
    TOrvexPort* port = Port();
    port->SetSpace(space);
    const int ohms = port->Space() == ops_DATA ? OhmsHostPinHigh : OhmsFloating;
    for (int k = 0; k < 8; ++k) {
        TOrvexPin* pin = port->Pins(k);
        if (!pin) continue;
        pin->SetDrivenValue(LevelHigh);
        pin->AssignValue(LevelHigh);
        SetHostPinResistence(pin, ohms);
    }
}

void TUPort::HostAccess(int data, int drivenData, int kind, int address, QObject* reserved,
                        int bitNo) {
    TOrvexPort* port = Port();
    if (!portTakes(port, kind, address)) return;
    if (bitNo == 0) {
        writePortByte(port, data, drivenData, kind, address, reserved);
        return;
    }
    const int k = bitNo - 1;
    if (k < 0 || k > 7) return;
    TOrvexPin* pin = port->Pins(k);
    if (!pin) return;
    SetHostPinResistence(pin, data != 0 ? OhmsHostPinHigh : OhmsHostPinLow);
    // The pin reads its own bit of both words: a bit value of 2 or more still means 1.
    const int mask = 1 << k;
    pin->HostAccess(data != 0 ? mask : 0, drivenData != 0 ? mask : 0, kind & 7, address, reserved);
}

// ---------------------------------------------------------------- TBUS

namespace {
constexpr int BusWidth = 30;
constexpr int BusHeight = 94;
} // namespace

TBUS::TBUS(QWidget* owner) : TOrvexGraphicPort(owner, QStringLiteral("DataBUS")) {
    Port()->SetAddress(128);
    LoadPictures(QStringLiteral("BUS"), QStringLiteral("BUS_SCH"), true);
    SetSymmetricPicture(false);
    SetFixedPicture(false);
    SetHasComponentPicture(false);
    SetStretch(false);
    TakePictureSize();
    NoteMirrorKey(Port()); // now that it answers as a port component
}

void TBUS::SetOrientation(TOrientation value) {
    if (isVertical(value)) return;
    TOrvexGraphicComponent::SetOrientation(value);
    // Facing left is a drawing of its own (text upright), not the picture turned over.
    if (Visibility() != vs_Invisible) {
        const QString& base =
            Visibility() == vs_Schematic ? SchematicPictureName() : ComponentPictureName();
        if (!base.isEmpty())
            LoadPicture(value == opo_HorizontalNegative ? base + QLatin1Char('1') : base);
    }
    resize(BusWidth, BusHeight);
}

void TBUS::HostAccess(int data, int drivenData, int kind, int address, QObject* reserved, int) {
    TOrvexPort* port = Port();
    if (!portTakes(port, kind, address)) return;
    writePortByte(port, data, drivenData, kind, address, reserved);
}

TNamePlace TBUS::NamePlace() const {
    // Inside the bus's head (facing left, just inside its border).
    const int x = Orientation() == opo_HorizontalNegative ? 2 : width() / 8 + 2;
    const QString caption = GetCaption();
    TNamePlace place;
    place.Font = FitNameFont(caption, int(width() * 28.2 / BusWidth) - x,
                             int(height() * 14.8 / BusHeight) - 2, width() - x);
    const QFontMetrics metrics(place.Font);
    place.Rect = QRect(x, 2, metrics.horizontalAdvance(caption), metrics.height());
    return place;
}

// ---------------------------------------------------------------- TLine

TLine::TLine(QWidget* owner) : TOrvexGraphicComponent(owner) {
    LoadPictures(QStringLiteral("LINE"), QStringLiteral("LINE"), false);
    SetFixedPicture(false);
    SetTransparent(false);
    resize(16, 3);
}

void TLine::SetOrientation(TOrientation value) {
    // Within one axis the picture and the size stay, but the value is kept: a line turned to the
    // other horizontal orientation by way of a vertical one is saved so, and must open so.
    if (isVertical(value) == isVertical(Orientation())) {
        TOrvexGraphicComponent::SetOrientation(value);
        return;
    }
    const int length = std::max(width(), height());
    TOrvexGraphicComponent::SetOrientation(value);
    if (isVertical(value))
        resize(3, length);
    else
        resize(length, 3);
}
