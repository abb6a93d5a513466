#pragma once

#include "components/orvexcomponent.h"
#include "model/controls.h"
#include "model/hostpins.h"

class TOrvexGraphicPort;

// A component that owns a whole host port (eight pins Pin_0..Pin_7). Shows its name centred at
// the top.
class TOrvexGraphicPort : public TOrvexGraphicComponent, public TPortControlOwner {
    Q_OBJECT
    Q_PROPERTY(bool ShowName READ ShowName WRITE SetShowName)

public:
    ~TOrvexGraphicPort() override;

    // Also renames the controls of the port's pins after the component.
    void SetName(const QString& newName) override;

    TOrvexPort* Port() const { return m_port; }
    TOrvexPinDriver* PortPin(int index) const { return m_port ? m_port->Pins(index) : nullptr; }
    TOrvexPinDriver* PortPin0() const { return PortPin(0); }
    TOrvexPinDriver* PortPin1() const { return PortPin(1); }
    TOrvexPinDriver* PortPin2() const { return PortPin(2); }
    TOrvexPinDriver* PortPin3() const { return PortPin(3); }
    TOrvexPinDriver* PortPin4() const { return PortPin(4); }
    TOrvexPinDriver* PortPin5() const { return PortPin(5); }
    TOrvexPinDriver* PortPin6() const { return PortPin(6); }
    TOrvexPinDriver* PortPin7() const { return PortPin(7); }

    // A level arrived on one of the component's input controls. True when the control counts as
    // evaluated in this propagation step. Ports take no inputs.
    bool PortControlChanged(TOrvexPortCtl* control) override;
    // End of a propagation step on an input control that was evaluated.
    void PortControlEnded(TOrvexPortCtl* control) override;

    // The eight pins of the port, pin 0 first.
    QList<TOrvexPinDriver*> SchematicContacts() const override;
    TNamePlace NamePlace() const override;

protected:
    // Creates the port, owned by the component and named `portName`.
    TOrvexGraphicPort(QWidget* owner, const QString& portName);
    // How far down (a fraction of the height) the name may reach before the picture's labels.
    virtual double NameBandBottom() const { return 0.23; }
    // How wide (a fraction of the width) the name may be, centred, inside the block.
    virtual double NameBandWidth() const { return 0.48; }

private:
    TOrvexPort* m_port = nullptr; // owned
};

// A whole eight-bit host port.
class TUPort : public TOrvexGraphicPort {
    Q_OBJECT
    Q_PROPERTY(int Address READ Address WRITE SetAddress)
    Q_PROPERTY(BrelvanEnums::TPortSpace Space READ Space WRITE SetSpace)
    Q_PROPERTY(TOrvexPinDriver* Pin0 READ PortPin0)
    Q_PROPERTY(TOrvexPinDriver* Pin1 READ PortPin1)
    Q_PROPERTY(TOrvexPinDriver* Pin2 READ PortPin2)
    Q_PROPERTY(TOrvexPinDriver* Pin3 READ PortPin3)
    Q_PROPERTY(TOrvexPinDriver* Pin4 READ PortPin4)
    Q_PROPERTY(TOrvexPinDriver* Pin5 READ PortPin5)
    Q_PROPERTY(TOrvexPinDriver* Pin6 READ PortPin6)
    Q_PROPERTY(TOrvexPinDriver* Pin7 READ PortPin7)
    Q_PROPERTY(TOrvexPort* Port READ Port)

public:
    explicit TUPort(QWidget* owner = nullptr);

    int Address() const { return Port()->Address(); }
    // The host may refuse the address (the port then reports and keeps its own).
    void SetAddress(int address) { Port()->SetAddress(address); }
    TPortSpace Space() const { return Port()->Space(); }
    // Pins of the internal data space drive high through 1000 ohms; elsewhere they float.
    void SetSpace(TPortSpace space);

    void HostAccess(int data, int drivenData, int kind, int address, QObject* reserved,
                    int bitNo) override;
    TOrvexPortDriver* MirroredPort() const override { return Port(); }
};

// An eight-line data bus drawn as a bar; it faces left or right only.
class TBUS : public TOrvexGraphicPort {
    Q_OBJECT
    Q_PROPERTY(BrelvanEnums::TOrientation Orientation READ Orientation WRITE SetOrientation)
    Q_PROPERTY(BrelvanEnums::TVisibility Visibility READ Visibility WRITE SetVisibility)
    Q_PROPERTY(TOrvexPort* Port READ Port)

public:
    explicit TBUS(QWidget* owner = nullptr);

    // Vertical orientations are ignored; every accepted one gives the bus its 30 x 94 size.
    void SetOrientation(TOrientation value) override;
    // Takes bit accesses as whole bytes.
    void HostAccess(int data, int drivenData, int kind, int address, QObject* reserved,
                    int bitNo) override;
    TOrvexPortDriver* MirroredPort() const override { return Port(); }
    TNamePlace NamePlace() const override;
};

// A plain drawn line, 3 pixels thick.
class TLine : public TOrvexGraphicComponent {
    Q_OBJECT
    Q_PROPERTY(BrelvanEnums::TOrientation Orientation READ Orientation WRITE SetOrientation)
    Q_PROPERTY(BrelvanEnums::TVisibility Visibility READ Visibility WRITE SetVisibility)

public:
    explicit TLine(QWidget* owner = nullptr);

    // Turning within one axis changes only the value; turning to the other axis keeps the length.
    void SetOrientation(TOrientation value) override;
};

// A host pin driving 1 presents 1000 ohms, driving 0 50 ohms. Sets the pin and, when the pin's
// level is governed by its own pin control, that control too, so both report the same.
void SetHostPinResistence(TOrvexPin* pin, int ohms);
