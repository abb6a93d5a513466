#pragma once

#include "components/orvexcomponent.h"
#include "model/hostpins.h"

// A component around one pin: a host pin (TUPin) or a supply pin (TVcc, TGND). The pin is named
// "Pin", drives its net and is what the simulation spreads from first when it starts.
class TOrvexGraphicPin : public TOrvexGraphicComponent {
    Q_OBJECT
    Q_PROPERTY(TOrvexPinDriver* Pin READ Pin)

public:
    explicit TOrvexGraphicPin(QWidget* owner = nullptr);
    ~TOrvexGraphicPin() override;

    TOrvexPinDriver* Pin() const { return m_pin; }
    TOrvexPinDriver* StartupPin() const override { return m_pin; }
    QList<TOrvexPinDriver*> SchematicContacts() const override { return {m_pin}; }

protected:
    // Takes the pin, names it "Pin", gives it a one-contact control and the driver role.
    void AdoptPin(TOrvexPinDriver* pin);

    TOrvexPinDriver* m_pin = nullptr;
};

// One host pin at an address, space and bit.
class TUPin : public TOrvexGraphicPin {
    Q_OBJECT
    Q_PROPERTY(int Address READ Address WRITE SetAddress)
    Q_PROPERTY(BrelvanEnums::TPortActivated ActivatedOn READ ActivatedOn WRITE SetActivatedOn)
    Q_PROPERTY(BrelvanEnums::TOrientation Orientation READ Orientation WRITE SetOrientation)
    Q_PROPERTY(int PinMask READ PinMask)
    Q_PROPERTY(int PinNumber READ PinNumber WRITE SetPinNumber)
    Q_PROPERTY(BrelvanEnums::TPortSpace Space READ Space WRITE SetSpace)
    Q_PROPERTY(bool ShowName READ ShowName WRITE SetShowName)

public:
    explicit TUPin(QWidget* owner = nullptr);

    TOrvexPin* HostPin() const { return static_cast<TOrvexPin*>(m_pin); }
    int Address() const { return HostPin()->Address(); }
    void SetAddress(int address) { HostPin()->SetAddress(address); }
    TPortActivated ActivatedOn() const { return HostPin()->ActivatedOn(); }
    void SetActivatedOn(TPortActivated set) { HostPin()->SetActivatedOn(set); }
    int PinMask() const { return HostPin()->PinMask(); }
    int PinNumber() const { return HostPin()->PinNumber(); }
    void SetPinNumber(int number) { HostPin()->SetPinNumber(number); }
    TPortSpace Space() const { return HostPin()->Space(); }
    // Only the data space has a driven level of its own.
    void SetSpace(TPortSpace space);

    // A pin faces right or left only.
    void SetOrientation(TOrientation value) override;
    void HostAccess(int data, int drivenData, int kind, int address, QObject* reserved,
                    int bitNo) override;
    TOrvexPin* MirroredPin() const override { return HostPin(); }
    TNamePlace NamePlace() const override;
};

// A supply symbol: a supply pin of one type.
class TSupplyPin : public TOrvexGraphicPin {
    Q_OBJECT
    Q_PROPERTY(BrelvanEnums::TPinType PinType READ PinType)

public:
    TSupplyPin(QWidget* owner, TPinType type, const char* picture);
    TPin* SupplyPin() const { return static_cast<TPin*>(m_pin); }
    TPinType PinType() const { return SupplyPin()->PinType(); }
};

class TVcc : public TSupplyPin {
    Q_OBJECT

public:
    explicit TVcc(QWidget* owner = nullptr) : TSupplyPin(owner, PIN_Vcc, "VCC") {}
    int SchematicRail() const override { return 1; }
};

class TGND : public TSupplyPin {
    Q_OBJECT

public:
    explicit TGND(QWidget* owner = nullptr) : TSupplyPin(owner, PIN_GND, "GND") {}
    int SchematicRail() const override { return 0; }
    bool IsGroundComponent() const override { return true; }
};
