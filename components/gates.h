#pragma once

#include "components/electric.h"
#include "components/orvexcomponent.h"

// Inverter: one input, one output.
class TInvertor : public TOrvexGraphicComponent {
    Q_OBJECT
    Q_PROPERTY(TOrvexPinDriver* Input READ GetInput WRITE SetInput)
    Q_PROPERTY(TOrvexPinDriver* Output READ GetOutput WRITE SetOutput)
    Q_PROPERTY(BrelvanEnums::TOrientation Orientation READ Orientation WRITE SetOrientation)
    Q_PROPERTY(BrelvanEnums::TVisibility Visibility READ Visibility WRITE SetVisibility)
    Q_PROPERTY(bool ShowName READ ShowName WRITE SetShowName)

public:
    explicit TInvertor(QWidget* owner = nullptr);

    TInvertCtl* InvertControl() const { return static_cast<TInvertCtl*>(Control()); }
    TOrvexPinDriver* GetInput() const { return InvertControl()->GetContact1(); }
    void SetInput(TOrvexPinDriver* d) { InvertControl()->SetContact1(d); }
    TOrvexPinDriver* GetOutput() const { return InvertControl()->GetContact2(); }
    // An output may drive several contacts: writing adds a connection, it replaces none.
    void SetOutput(TOrvexPinDriver* d);

    bool IsGateComponent() const override { return true; }
    TOrvexPinDriver* StartupGateOutput() const override;
    TNamePlace NamePlace() const override;
};

// The base of the two-input gates.
class TGate : public TOrvexGraphicComponent {
    Q_OBJECT
    Q_PROPERTY(bool ShowName READ ShowName WRITE SetShowName)

public:
    explicit TGate(QWidget* owner = nullptr);
    bool IsGateComponent() const override { return true; }
    TNamePlace NamePlace() const override;
};

// The two-input gate; its output is the NAND of its inputs.
class TGateAND : public TGate {
    Q_OBJECT
    Q_PROPERTY(TOrvexPinDriver* Input1 READ GetInput1 WRITE SetInput1)
    Q_PROPERTY(TOrvexPinDriver* Input2 READ GetInput2 WRITE SetInput2)
    Q_PROPERTY(TOrvexPinDriver* Output READ GetOutput WRITE SetOutput)
    Q_PROPERTY(BrelvanEnums::TOrientation Orientation READ Orientation WRITE SetOrientation)
    Q_PROPERTY(BrelvanEnums::TVisibility Visibility READ Visibility WRITE SetVisibility)

public:
    explicit TGateAND(QWidget* owner = nullptr);

    TGateANDCtl* GateControl() const { return static_cast<TGateANDCtl*>(Control()); }
    TOrvexPinDriver* GetInput1() const { return GateControl()->GetContact1(); }
    void SetInput1(TOrvexPinDriver* d) { GateControl()->SetContact1(d); }
    TOrvexPinDriver* GetInput2() const { return GateControl()->GetContact2(); }
    void SetInput2(TOrvexPinDriver* d) { GateControl()->SetContact2(d); }
    TOrvexPinDriver* GetOutput() const { return GateControl()->GetContact3(); }
    void SetOutput(TOrvexPinDriver* d);

    TOrvexPinDriver* StartupGateOutput() const override;
};
