#include "components/switches.h"

#include <QPainter>
#include <QStyleOptionButton>

#include "resources/pictures.h"

// ---------------------------------------------------------------- TOrvexSwitch

TOrvexSwitch::TOrvexSwitch(QWidget* owner) : TOrvexGraphicComponent(owner) {
    SetControl(new TOrvexSwitchCtl(this));
    SetCrashPictureName(QStringLiteral("CRASH"));
}

void TOrvexSwitch::Crash() {
    HideView();
    TOrvexGraphicComponent::Crash();
}

void TOrvexSwitch::ShowUnpowered() {
    ClearCrash();
    if (ControlView* view = SwitchControl()->View())
        SwitchControl()->Closed() ? view->ShowView() : view->HideView();
}

void TOrvexSwitch::Switch(bool closed) {
    TOrvexSwitchCtl* control = SwitchControl();
    control->SetClosed(closed);
    if (!control->View()) return;
    control->UpdateView();
    TOrvexPinDriver* a = control->GetContact1();
    TOrvexPinDriver* b = control->GetContact2();
    if (a && b && a != control->Contact1() && b != control->Contact2())
        control->PropagateFrom(control->Contact1());
}

void TOrvexSwitch::MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers modifiers,
                             const QPoint& pos) {
    TOrvexGraphicComponent::MouseDown(button, modifiers, pos);
    // Only the left button works the switch: the right one selects it for its properties.
    if (button == Qt::LeftButton) Switch(!SwitchControl()->Closed());
}

void TOrvexSwitch::MouseUp(Qt::MouseButton button, Qt::KeyboardModifiers modifiers,
                           const QPoint& pos) {
    TOrvexGraphicComponent::MouseUp(button, modifiers, pos);
    if (button == Qt::LeftButton && !GetHasAretation()) Switch(false);
}

// ---------------------------------------------------------------- the three kinds

TSwitch::TSwitch(QWidget* owner) : TOrvexSwitch(owner) {
    LoadPictures(QStringLiteral("SWITCH_OFF"), QStringLiteral("SWITCH_OFF"), true);
    SwitchControl()->CreateView(this, QStringLiteral("SWITCH_ON"), QStringLiteral("SWITCH_ON"));
    SwitchControl()->SetHasView(true);
    SetSymmetricPicture(true);
    SetFixedPicture(false);
}

TRoundBtn::TRoundBtn(QWidget* owner) : TOrvexSwitch(owner) {
    LoadPictures(QStringLiteral("ROUND_BUTTON_UP"), QStringLiteral("SWITCH_OFF"), true);
    SwitchControl()->CreateView(this, QStringLiteral("ROUND_BUTTON_DOWN"),
                                QStringLiteral("SWITCH_ON"));
    SwitchControl()->SetHasView(true);
    SetSymmetricPicture(true);
    SetFixedPicture(true);
    SetHasComponentPicture(true);
}

TPushButton::TPushButton(TSquareBtn* owner) : QPushButton(owner), m_owner(owner) {
    // The component takes the mouse; the face only shows the switch's state.
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
}

void TPushButton::paintEvent(QPaintEvent*) {
    const TVisibility mode = m_owner->Visibility();
    if (mode != vs_Component && mode != vs_Hybrid) return;
    QPainter painter(this);
    // The face looks like the square push button of a hobby board; pressed, its cap sinks and
    // darkens.
    const QRectF face = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    if (const auto picture = Pictures::FindPicture(QStringLiteral("TSQUAREBTN"))) {
        if (isDown()) {
            Pictures::Paint(painter, face.translated(0.8, 0.8), *picture);
            painter.fillRect(rect(), QColor(0, 0, 0, 70));
        } else {
            Pictures::Paint(painter, face, *picture);
        }
    } else {
        painter.fillRect(rect(), palette().button());
    }
    if (!text().isEmpty()) {
        // On the cap, smaller where a long caption needs it rather than cut off.
        painter.setPen(Qt::white);
        painter.setFont(m_owner->FitNameFont(text(), width() - 4, height() - 4, width()));
        painter.drawText(rect(), Qt::AlignCenter, text());
    }
    if (!m_owner->Selected()) return;
    painter.setPen(QPen(Qt::black, 1, Qt::DotLine));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
    painter.fillRect(QRect(width() - 5, height() - 5, 5, 5), Qt::black);
}

TSquareBtn::TSquareBtn(QWidget* owner) : TOrvexSwitch(owner) {
    m_button = new TPushButton(this);
    SetHasFace(true);
    SetFace(m_button);
    SetSymmetricPicture(true);
    SetFixedPicture(true);
    SetHasComponentPicture(true);
    LoadPictures(QString(), QStringLiteral("SWITCH_OFF"), true);
    SwitchControl()->CreateView(this, QString(), QStringLiteral("SWITCH_ON"));
    SwitchControl()->SetHasView(true);
    m_button->setGeometry(rect());
    m_button->show();
}

void TSquareBtn::SetShowName(bool value) {
    if (m_button) m_button->setText(value ? GetCaption() : QString());
    TOrvexSwitch::SetShowName(value);
}

void TSquareBtn::SetCaption(const QString& value) {
    TOrvexSwitch::SetCaption(value);
    if (m_button) m_button->setText(value);
}

void TSquareBtn::SetHasAretation(bool on) {
    TOrvexSwitch::SetHasAretation(on);
    if (m_button) m_button->setDown(SwitchControl()->Closed());
}

void TSquareBtn::ShowUnpowered() {
    TOrvexSwitch::ShowUnpowered();
    // In the component views the face shows the position; the contact picture would cover it.
    if (Visibility() != vs_Schematic && SwitchControl()->View())
        SwitchControl()->View()->HideView();
}

void TSquareBtn::Switch(bool closed) {
    TOrvexSwitch::Switch(closed);
    // The face shows the state by staying down; the closed-contact picture is for the schematic
    // view only and would cover the face.
    if (m_button) m_button->setDown(closed);
    if (Visibility() != vs_Schematic && SwitchControl()->View())
        SwitchControl()->View()->HideView();
}

// ---------------------------------------------------------------- TBulb

TBulb::TBulb(QWidget* owner) : TOrvexGraphicComponent(owner) {
    auto* control = new TOrvexBulbCtl(this);
    SetControl(control);
    LoadPictures(QStringLiteral("Bulb_Dark"), QStringLiteral("BULB_SCH"), true);
    control->CreateView(this, QStringLiteral("Bulb_Bright"), QStringLiteral("BULB_SCH"));
    control->SetHasView(true);
    control->SetAfterglow(true);
    SetSymmetricPicture(true);
    SetFixedPicture(false);
    SetHasComponentPicture(true);
    SetCrashPictureName(QStringLiteral("CRASH"));
}
