#include "components/pins.h"

#include <QPainter>
#include <cmath>

#include "resources/pictures.h"

namespace {
QFont boldFont(const QWidget* widget) {
    QFont font = widget->font();
    font.setBold(true);
    return font;
}
} // namespace

// ---------------------------------------------------------------- TOrvexGraphicPin

TOrvexGraphicPin::TOrvexGraphicPin(QWidget* owner) : TOrvexGraphicComponent(owner) {}

TOrvexGraphicPin::~TOrvexGraphicPin() {
    if (m_pin) {
        m_pin->SetDriver(false);
        delete m_pin;
        m_pin = nullptr;
    }
}

void TOrvexGraphicPin::AdoptPin(TOrvexPinDriver* pin) {
    m_pin = pin;
    pin->setObjectName(QStringLiteral("Pin"));
    auto* control = new TOrvexPinControl(this);
    control->SetContact(pin);
    pin->SetOwnerControl(control);
    SetControl(control);
    pin->SetDriver(true);
    pin->SetInput(false);
}

// ---------------------------------------------------------------- TUPin

TUPin::TUPin(QWidget* owner) : TOrvexGraphicPin(owner) {
    AdoptPin(new TOrvexPin(this));
    LoadPictures(QStringLiteral("PIN"), QStringLiteral("PIN"), true);
    SetCrashPictureName(QStringLiteral("CRASH"));
    TakePictureSize();
    SetShowName(true);
    NoteMirrorKey(HostPin()); // now that it answers as a pin component
}

void TUPin::SetSpace(TPortSpace space) {
    HostPin()->SetSpace(space);
    HostPin()->StoreDrivenValue(HostPin()->Space() == ops_DATA ? LevelHigh : -1);
}

void TUPin::SetOrientation(TOrientation value) {
    if (value != opo_HorizontalPositive && value != opo_HorizontalNegative) return;
    // The two accepted directions have pictures of their own ("PIN" and "PIN1").
    const TOrientation old = Orientation();
    TOrvexGraphicComponent::SetOrientation(value);
    if (Visibility() == vs_Invisible || old == value) return;
    LoadPicture(value == opo_HorizontalPositive ? QStringLiteral("PIN") : QStringLiteral("PIN1"));
}

void TUPin::HostAccess(int data, int drivenData, int kind, int address, QObject*, int bitNo) {
    TOrvexPin* pin = HostPin();
    if ((kind & 7) != int(pin->Space()) || address != pin->Address()) return;
    int level;
    if (bitNo > 0) {
        if (bitNo - 1 != pin->PinNumber()) return;
        level = data * LevelHigh;
        // The pin reads its own bit of the data words: move the accessed bit there.
        data <<= pin->PinNumber();
        drivenData <<= pin->PinNumber();
    } else {
        level = (pin->PinMask() & data) ? LevelHigh : LevelLow;
    }
    const int ohms = level >= 2500 ? OhmsHostPinHigh : OhmsHostPinLow;
    pin->SetResistence(ohms);
    if (Control()) Control()->SetResistence(ohms);
    pin->HostAccess(data, drivenData, kind, address, pin);
}

void TUPin::DrawName(QPainter& painter) {
    painter.setFont(boldFont(this));
    painter.setBrush(Qt::NoBrush);
    painter.setPen(Qt::black);
    const int h = painter.fontMetrics().height();
    const int y0 = int(std::lround(height() / 2.0 - h / 2.0));
    const int x = Orientation() == opo_HorizontalNegative ? width() / 2 - y0 - 2 : height() / 8 + 1;
    painter.drawText(QRect(x, y0 - 1, width(), h + 2), Qt::AlignLeft | Qt::AlignTop, GetCaption());
}

// ---------------------------------------------------------------- TVcc, TGND

TSupplyPin::TSupplyPin(QWidget* owner, TPinType type, const char* picture)
    : TOrvexGraphicPin(owner) {
    auto* pin = new TPin(this);
    pin->SetPinType(type); // first, so the hidden driver contact starts on the right rail
    AdoptPin(pin);
    LoadPictures(QLatin1String(picture), QLatin1String(picture), true);
    SetCrashPictureName(QStringLiteral("CRASH"));
    TakePictureSize();
}
