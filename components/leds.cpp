#include "components/leds.h"

#include <QFontMetrics>
#include <QPainter>

namespace {

struct LedPictures {
    TLEDColors color;
    const char* dark;
    const char* bright;
};

// The single-colour LED's pictures; the other colours have none of their own.
constexpr LedPictures ledPictures[] = {
    {cled_RED, "RED_Dark", "RED_Bright"},
    {cled_GREEN, "GREEN_Dark", "GREEN_Bright"},
    {cled_YELLOW, "YELLOW_Dark", "YELLOW_Bright"},
    {cled_BLUE, "BLUE_Dark", "BLUE_Bright"},
};

const LedPictures* picturesOf(TLEDColors color) {
    for (const LedPictures& pictures : ledPictures)
        if (pictures.color == color) return &pictures;
    return nullptr;
}

const QString socketPicture = QStringLiteral("WHITE_LED_SOCKET");
const QString twoColorSymbol = QStringLiteral("TWO_COLOR_LED_SCH");

bool componentSide(const TOrvexGraphicComponent* component) {
    return component->Visibility() == vs_Component || component->Visibility() == vs_Hybrid;
}

// Gives the component another component picture. The picture on show follows only where the
// component side is showing, and in the present orientation (LoadPictures alone would show the
// plain variant).
void setComponentPicture(TOrvexGraphicComponent* component, const QString& name) {
    component->LoadPictures(name, component->SchematicPictureName(), component->Transparent());
    component->SetOrientation(component->Orientation());
}

// Gives a control another active picture: a fresh view, hidden, showing it. The control keeps
// the name for later visibility and orientation changes.
void setActivePicture(TOrvexGraphicComponent* component, TOrvexControl* control,
                      const QString& name) {
    control->CreateView(component, name, control->SchematicActiveName());
}

} // namespace

// ---------------------------------------------------------------- TOrvexDiode

TOrvexDiode::TOrvexDiode(QWidget* owner) : TOrvexDiode(owner, true, cled_RED) {}

TOrvexDiode::TOrvexDiode(QWidget* owner, bool diodePictures, TLEDColors color)
    : TOrvexGraphicComponent(owner), m_color(color) {
    auto* control = new TDiodeCtl(this);
    SetControl(control);
    control->SetAfterglow(true);
    if (diodePictures) {
        LoadPictures(QStringLiteral("DIODE"), QStringLiteral("DIODE"), true);
        SetSymmetricPicture(false);
        SetFixedPicture(false);
    }
}

void TOrvexDiode::Crash() {
    if (TOrvexControl* control = Control(); control && control->View()) control->View()->HideView();
}

TOrvexPinDriver* TOrvexDiode::Anode() const {
    TDiodeCtl* control = DiodeControl();
    return control ? control->GetContact1() : nullptr;
}

void TOrvexDiode::SetAnode(TOrvexPinDriver* driver) {
    if (TDiodeCtl* control = DiodeControl()) control->SetContact1(driver);
}

TOrvexPinDriver* TOrvexDiode::Cathode() const {
    TDiodeCtl* control = DiodeControl();
    return control ? control->GetContact2() : nullptr;
}

void TOrvexDiode::SetCathode(TOrvexPinDriver* driver) {
    if (TDiodeCtl* control = DiodeControl()) control->SetContact2(driver);
}

// ---------------------------------------------------------------- TDiode

TNamePlace TDiode::NamePlace() const {
    const QString caption = GetCaption();
    const int w = width(), h = height();
    TNamePlace place;
    if (Orientation() == opo_HorizontalPositive || Orientation() == opo_HorizontalNegative) {
        // Right-aligned along the top edge, ending one pixel short of the right border, above the
        // symbol (which takes the middle 40 % of the height).
        place.Font = FitNameFont(caption, w - 2, int(h * 0.30) + 1, w - 2);
        const QFontMetrics metrics(place.Font);
        const int advance = metrics.horizontalAdvance(caption);
        place.Rect = QRect(w - advance - 1, -1, advance, metrics.height());
    } else {
        // Standing, the leads run down the middle: the name reads upwards along the right edge,
        // ending one pixel short of the top.
        place.Font = FitNameFont(caption, h - 2, int(w * 0.30) + 1, h - 2);
        const QFontMetrics metrics(place.Font);
        const int advance = metrics.horizontalAdvance(caption);
        place.Rect = QRect(w - metrics.height(), 1, metrics.height(), advance);
        place.Upward = true;
    }
    return place;
}

// ---------------------------------------------------------------- TLED

TLED::TLED(QWidget* owner) : TOrvexDiode(owner, false, cled_INFRA) {
    LoadPictures(QStringLiteral("RED_Dark"), QStringLiteral("LED_SCH"), true);
    TOrvexControl* control = Control();
    control->SetHasView(true);
    control->setObjectName(objectName() + QStringLiteral("_control_"));
    control->CreateView(this, QStringLiteral("RED_Bright"), QStringLiteral("LED_SCH"));
    SetHasComponentPicture(true);
}

void TLED::SetColor(TLEDColors color) {
    m_color = color;
    const LedPictures* pictures = picturesOf(color);
    TOrvexControl* control = Control();
    if (!pictures || !control) return;
    setActivePicture(this, control, QLatin1String(pictures->bright));
    setComponentPicture(this, QLatin1String(pictures->dark));
}

// ---------------------------------------------------------------- TTwoColorLED

TTwoColorLED::TTwoColorLED(QWidget* owner) : TOrvexDiode(owner) {
    m_control2 = new TDiodeCtl(this);
    m_control2->Contact1()->setObjectName(QStringLiteral("Anode2"));
    m_control2->Contact2()->setObjectName(QStringLiteral("Cathode2"));
    TDiodeCtl* first = DiodeControl();
    first->Contact1()->setObjectName(QStringLiteral("Anode1"));
    LoadPictures(socketPicture, twoColorSymbol, true);
    first->SetHasView(true);
    m_control2->SetHasView(true);
    first->setObjectName(objectName() + QStringLiteral("_control_"));
    m_control2->setObjectName(objectName() + QStringLiteral("_control2_"));
    m_color = cled_RED;
    first->CreateView(this, QStringLiteral("RED_Bright"), twoColorSymbol);
    m_control2->CreateView(this, QStringLiteral("GREEN_Bright"), twoColorSymbol);
    SetHasComponentPicture(true);
}

TTwoColorLED::~TTwoColorLED() {
    // The second element's contacts unwire themselves while this is still a two-colour LED.
    delete m_control2.data();
}

TOrvexPinDriver* TTwoColorLED::Anode2() const {
    return m_control2 ? m_control2->GetContact1() : nullptr;
}

void TTwoColorLED::SetAnode2(TOrvexPinDriver* driver) {
    if (m_control2) m_control2->SetContact1(driver);
}

void TTwoColorLED::SetCathode(TOrvexPinDriver* driver) {
    TOrvexDiode::SetCathode(driver);
    if (m_control2) m_control2->SetContact2(driver);
}

void TTwoColorLED::ShowColor(TLEDColors color) {
    m_color = color;
    TOrvexControl* first = Control();
    if (!first) return;
    QString bright;
    switch (color) {
    case cled_RED:
        bright = QStringLiteral("RED_Bright");
        break;
    case cled_GREEN:
        bright = QStringLiteral("GREEN_Bright");
        break;
    case cled_ORANGE:
        bright = QStringLiteral("ORANGE_Bright");
        break;
    default:
        break;
    }
    // Called at the end of every step that lights the LED: only a change of colour replaces the
    // view and reloads the pictures.
    const bool changed = !bright.isEmpty() && bright != first->ActiveName();
    if (changed) setActivePicture(this, first, bright);
    if (!componentSide(this)) return;
    if (changed || ComponentPictureName() != socketPicture)
        setComponentPicture(this, socketPicture);
    if (ControlView* view = first->View()) view->HideView();
}

void TTwoColorLED::HideView() {
    TOrvexDiode::HideView();
    if (m_control2 && m_control2->View()) m_control2->View()->HideView();
}

QList<TOrvexPinDriver*> TTwoColorLED::SchematicContacts() const {
    return {Anode(), Anode2(), Cathode()};
}

TOrvexControl* TTwoColorLED::ResolveView(TOrvexControl* control, bool& lit) {
    TOrvexControl* first = Control();
    if (!first || (control != first && control != m_control2)) return control;
    // 2 x (first lit) + (second lit): dark, red, green, orange.
    static constexpr TLEDColors colours[] = {cled_RED, cled_RED, cled_GREEN, cled_ORANGE};
    const int code = 2 * int(first->Lit()) + int(m_control2 && m_control2->Lit());
    lit = code != 0;
    if (lit) ShowColor(colours[code]);
    return first;
}

// ---------------------------------------------------------------- TDispSeg

TDispSeg::TDispSeg(QWidget* owner) : TOrvexGraphicComponent(owner) {
    LoadPictures(QStringLiteral("MATRIX"), QStringLiteral("SEGMENT7_SCH"), false);
    for (int i = 0; i < SegmentCount; ++i) {
        const QString pictureName = QStringLiteral("SEG_") + QChar(u'A' + i);
        auto* segment = new TDiodeCtl(this);
        segment->SetAfterglow(true);
        segment->Contact1()->setObjectName(QStringLiteral("Anode%1").arg(i));
        segment->Contact2()->setObjectName(QStringLiteral("Cathode%1").arg(i));
        segment->SetHasView(true);
        segment->setObjectName(pictureName);
        // Created dark: an unpowered display shows no segment, whether just placed, loaded or
        // switched between views.
        segment->CreateView(this, pictureName, QString());
        m_segments[size_t(i)] = segment;
    }
    SetHasComponentPicture(true);
    SetControl(m_segments[0]);
}

TDispSeg::~TDispSeg() {
    // The segments' contacts unwire themselves while this is still a display.
    for (QPointer<TDiodeCtl>& segment : m_segments)
        delete segment.data();
}

TDiodeCtl* TDispSeg::Segment(int index) const {
    return index >= 0 && index < SegmentCount ? m_segments[size_t(index)].data() : nullptr;
}

TOrvexPinDriver* TDispSeg::CommonElectrode() {
    // None given: the segments join at the display's own contact, not at whatever that contact
    // happens to be wired to first when this is first read (a board would read differently
    // after it is saved and opened again).
    if (!m_commonElectrode) {
        if (TDiodeCtl* first = Segment(0))
            m_commonElectrode =
                m_commonElectrodeType == com_CATHODE ? first->Contact2() : first->Contact1();
    }
    return m_commonElectrode.data();
}

void TDispSeg::SetCommonElectrode(TOrvexPinDriver* driver) {
    m_commonElectrode = driver;
    SetPort(m_port);
    RefreshView();
}

void TDispSeg::SetCommonElectrodeType(TCommonElectrodeTypes type) {
    TDiodeCtl* first = Segment(0);
    if (first && type != m_commonElectrodeType &&
        (!m_commonElectrode || m_commonElectrode->parent() == this)) {
        // No common electrode was given: the segments were joined at one of the display's own
        // contacts. That junction moves to the other side; read afresh, segment A's connection
        // on the new common side would be a port pin.
        if (TOrvexPinDriver* junction = m_commonElectrode.data()) {
            for (const QPointer<TDiodeCtl>& segment : m_segments) {
                if (!segment) continue;
                segment->Contact1()->Disconnect(junction);
                segment->Contact2()->Disconnect(junction);
            }
        }
        m_commonElectrode = type == com_CATHODE ? first->Contact2() : first->Contact1();
    }
    m_commonElectrodeType = type;
    SetPort(m_port);
    RefreshView();
}

void TDispSeg::SetPort(TOrvexPortDriver* port) {
    if (!port) return;
    TOrvexPinDriver* common = CommonElectrode();
    if (port != m_port) {
        QObject::disconnect(m_portGone);
        m_portGone = connect(port, &QObject::destroyed, this, [this] { PortDestroyed(); });
    }
    m_port = port;
    try {
        for (int i = 0; i < SegmentCount; ++i) {
            TDiodeCtl* segment = Segment(i);
            if (!segment) continue;
            TOrvexPinDriver* pin = port->Pins(i);
            if (m_commonElectrodeType == com_CATHODE) {
                segment->SetContact1(pin);
                segment->SetContact2(common);
            } else {
                segment->SetContact2(pin);
                segment->SetContact1(common);
            }
        }
    } catch (const std::exception&) {
        // A display half wired to its port still shows what reaches it.
    }
    RefreshView();
}

void TDispSeg::PortDestroyed() {
    QObject::disconnect(m_portGone);
    TOrvexPinDriver* common = m_commonElectrode.data();
    if (!common) return;
    for (const QPointer<TDiodeCtl>& segment : m_segments) {
        if (!segment) continue;
        TOrvexPinDriver* side =
            m_commonElectrodeType == com_CATHODE ? segment->Contact2() : segment->Contact1();
        if (side != common) side->Disconnect(common);
    }
    RefreshView();
}

void TDispSeg::SetName(const QString& newName) {
    TOrvexGraphicComponent::SetName(newName);
    for (int i = 0; i < SegmentCount; ++i)
        if (TDiodeCtl* segment = Segment(i))
            segment->setObjectName(newName.isEmpty() ? QString()
                                                     : newName + QStringLiteral("_control_") +
                                                           QString::number(i));
}

void TDispSeg::RefreshView() {
    const bool shown = componentSide(this);
    for (const QPointer<TDiodeCtl>& segment : m_segments) {
        ControlView* view = segment ? segment->View() : nullptr;
        if (!view) continue;
        if (shown && segment->Lit())
            view->ShowView();
        else
            view->HideView();
    }
}

void TDispSeg::HideView() {
    for (const QPointer<TDiodeCtl>& segment : m_segments)
        if (ControlView* view = segment ? segment->View() : nullptr) view->HideView();
}

QList<TOrvexPinDriver*> TDispSeg::SchematicContacts() const {
    QList<TOrvexPinDriver*> contacts;
    for (const QPointer<TDiodeCtl>& segment : m_segments) {
        if (!segment) continue;
        contacts << segment->GetContact1() << segment->GetContact2();
    }
    return contacts;
}
