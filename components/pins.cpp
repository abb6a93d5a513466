#include "components/pins.h"

#include <QPainter>
#include <cmath>

#include "model/levels.h"
#include "resources/pictures.h"

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
    const int ohms = ReachesThreshold(level) ? OhmsHostPinHigh : OhmsHostPinLow;
    pin->SetResistence(ohms);
    if (Control()) Control()->SetResistence(ohms);
    pin->HostAccess(data, drivenData, kind, address, pin);
}

TNamePlace TUPin::NamePlace() const {
    // In the flag: its pointed end narrows, so the name ends before it (nominal 69 x 23).
    const QString caption = GetCaption();
    const bool facingLeft = Orientation() == opo_HorizontalNegative;
    const int w = width(), h = height();
    TNamePlace place;
    QFont font = FitNameFont(caption, w, int(h * 20.0 / 23));
    for (;;) {
        const QFontMetrics metrics(font);
        const int fontHeight = metrics.height();
        const int y0 = int(std::lround(h / 2.0 - fontHeight / 2.0));
        const int x = facingLeft ? w / 2 - y0 - 2 : h / 8 + 1;
        const double d = fontHeight / 2.0 * 23 / h; // nominal distance from the middle line
        const double point = (45 + 8 * (1 - d / 10) - 1.5) * w / 69;
        const int end = int(facingLeft ? w * 67.0 / 69 : point);
        const int advance = metrics.horizontalAdvance(caption);
        // Below 6 pixels only to stay on the component (the name is never cut off).
        const int pixels = font.pixelSize();
        if (x + advance <= end || (pixels <= 6 && (x + advance <= w || pixels <= 3))) {
            place.Rect = QRect(x, y0 - 1, advance, fontHeight);
            break;
        }
        font.setPixelSize(font.pixelSize() - 1);
    }
    place.Font = font;
    return place;
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
