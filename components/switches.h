#pragma once

#include <QPushButton>

#include "components/electric.h"
#include "components/orvexcomponent.h"

// The common base of the toggle switch and the two push buttons: a switch control that the mouse
// closes and opens.
class TOrvexSwitch : public TOrvexGraphicComponent {
    Q_OBJECT
    Q_PROPERTY(TOrvexPinDriver* Contact1 READ GetContact1 WRITE SetContact1)
    Q_PROPERTY(TOrvexPinDriver* Contact2 READ GetContact2 WRITE SetContact2)
    Q_PROPERTY(BrelvanEnums::TOrientation Orientation READ Orientation WRITE SetOrientation)
    Q_PROPERTY(bool ShowName READ ShowName WRITE SetShowName)
    Q_PROPERTY(BrelvanEnums::TVisibility Visibility READ Visibility WRITE SetVisibility)

public:
    explicit TOrvexSwitch(QWidget* owner = nullptr);

    TOrvexSwitchCtl* SwitchControl() const { return static_cast<TOrvexSwitchCtl*>(Control()); }
    TOrvexPinDriver* GetContact1() const { return SwitchControl()->GetContact1(); }
    void SetContact1(TOrvexPinDriver* d) { SwitchControl()->SetContact1(d); }
    TOrvexPinDriver* GetContact2() const { return SwitchControl()->GetContact2(); }
    void SetContact2(TOrvexPinDriver* d) { SwitchControl()->SetContact2(d); }

    // Latching: each press toggles and a release does nothing.
    virtual bool GetHasAretation() const { return SwitchControl()->Latching(); }
    virtual void SetHasAretation(bool on) { SwitchControl()->SetLatching(on); }

    void Crash() override;
    bool IsSwitchComponent() const override { return true; }
    // The position is the switch's own state and the next Run starts from it: it stays shown.
    void ShowUnpowered() override;

protected:
    void MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers modifiers,
                   const QPoint& pos) override;
    void MouseUp(Qt::MouseButton button, Qt::KeyboardModifiers modifiers,
                 const QPoint& pos) override;
    // Closes or opens the switch, shows it and spreads the new state when both sides are wired.
    virtual void Switch(bool closed);
};

class TSwitch : public TOrvexSwitch {
    Q_OBJECT
    Q_PROPERTY(bool HasAretation READ GetHasAretation WRITE SetHasAretation)

public:
    explicit TSwitch(QWidget* owner = nullptr);
};

class TRoundBtn : public TOrvexSwitch {
    Q_OBJECT
    Q_PROPERTY(bool HasAretation READ GetHasAretation WRITE SetHasAretation)

public:
    explicit TRoundBtn(QWidget* owner = nullptr);
};

class TSquareBtn;

// The face of a square push button: an ordinary push button, pressed while the switch is closed,
// with the component's selection mark drawn over it.
class TPushButton : public QPushButton {
    Q_OBJECT

public:
    explicit TPushButton(TSquareBtn* owner);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    TSquareBtn* m_owner;
};

class TSquareBtn : public TOrvexSwitch {
    Q_OBJECT
    Q_PROPERTY(bool HasAretation READ GetHasAretation WRITE SetHasAretation)

public:
    explicit TSquareBtn(QWidget* owner = nullptr);

    void SetShowName(bool value) override;
    void SetCaption(const QString& value) override;
    void SetHasAretation(bool on) override;
    TPushButton* Button() const { return m_button; }

protected:
    void Switch(bool closed) override;
    void ShowUnpowered() override;

private:
    TPushButton* m_button = nullptr;
};

class TBulb : public TOrvexGraphicComponent {
    Q_OBJECT
    Q_PROPERTY(TOrvexPinDriver* Contact1 READ GetContact1 WRITE SetContact1)
    Q_PROPERTY(TOrvexPinDriver* Contact2 READ GetContact2 WRITE SetContact2)
    Q_PROPERTY(BrelvanEnums::TOrientation Orientation READ Orientation WRITE SetOrientation)
    Q_PROPERTY(BrelvanEnums::TVisibility Visibility READ Visibility WRITE SetVisibility)

public:
    explicit TBulb(QWidget* owner = nullptr);

    TOrvexBulbCtl* BulbControl() const { return static_cast<TOrvexBulbCtl*>(Control()); }
    TOrvexPinDriver* GetContact1() const { return BulbControl()->GetContact1(); }
    void SetContact1(TOrvexPinDriver* d) { BulbControl()->SetContact1(d); }
    TOrvexPinDriver* GetContact2() const { return BulbControl()->GetContact2(); }
    void SetContact2(TOrvexPinDriver* d) { BulbControl()->SetContact2(d); }
};
