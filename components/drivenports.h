#pragma once

#include <QPointer>
#include <array>

#include "components/electric.h"
#include "components/ports.h"

class TOrvexGraphicDrivenPort;

// One bit of a driven port: passes its input (Contact1) to pin BitIndex of the port's output port
// while closed (output enabled). With a strobe it passes LatchedValue, which follows the input
// only while the strobe is high.
class TOrvexLatchCtl : public TOrvexSwitchCtl {
    Q_OBJECT
    Q_PROPERTY(TOrvexPinDriver* Contact2 READ GetContact2 WRITE SetContact2)

public:
    explicit TOrvexLatchCtl(QObject* owner = nullptr);

    // The input side presents a logic input's 100 kilohms; the output its switch resistance.
    int GetResistence() override;
    void SetResistence(int ohms) override { m_resistence = ohms; }
    void ValueChanged(TOrvexDriver* changed, TOrvexDriver* sender) override;
    // Contact1 leads to the output pin, anything else back to Contact1.
    TOrvexPinDriver* OtherContact(TOrvexPinDriver* contact) override;
    // 200 ohms closed, 10 megohms open.
    void SetClosed(bool closed) override;

    // The latch's far side is its output pin, not its own second contact: this gives the driver
    // the output pin is wired to (the pin itself while unwired).
    TOrvexPinDriver* GetContact2() const;
    TOrvexPin* OutputPin() const;

    int LatchedValue() const { return m_latchedValue; }
    void SetLatchedValue(int level) { m_latchedValue = level; }
    int BitIndex() const { return m_bitIndex; }
    void SetBitIndex(int index) { m_bitIndex = index & 7; }

private:
    TOrvexGraphicDrivenPort* DrivenPort() const;

    int m_latchedValue = 0;
    int m_bitIndex = 0;
    bool m_spreading = false; // the output's level is on its way through the board
};

// An eight-bit latch/buffer between an input port and its own output port ("OutPort"): latch k
// ("Line_k") feeds output pin k. With opc_Strobe the latches hold while the strobe is low; with
// opc_OutputEnable the outputs float while the (active-low) output enable is high, and the byte
// at the inputs is then the reply to the host access being handled.
class TOrvexGraphicDrivenPort : public TOrvexGraphicPort {
    Q_OBJECT
    Q_PROPERTY(bool Inverted READ Inverted WRITE SetInverted)
    Q_PROPERTY(TOrvexPortDriver* InputPort READ InputPort WRITE SetInputPort)
    Q_PROPERTY(TOrvexPort* OutputPort READ Port)
    Q_PROPERTY(BrelvanEnums::TPortDriverType PortDriver READ PortDriver WRITE SetPortDriver)
    Q_PROPERTY(TOrvexPinDriver* Strobe READ Strobe WRITE SetStrobe)
    Q_PROPERTY(TOrvexPinDriver* OutEnable READ OutEnable WRITE SetOutEnable)
    Q_PROPERTY(TOrvexPinDriver* OutPin0 READ PortPin0)
    Q_PROPERTY(TOrvexPinDriver* OutPin1 READ PortPin1)
    Q_PROPERTY(TOrvexPinDriver* OutPin2 READ PortPin2)
    Q_PROPERTY(TOrvexPinDriver* OutPin3 READ PortPin3)
    Q_PROPERTY(TOrvexPinDriver* OutPin4 READ PortPin4)
    Q_PROPERTY(TOrvexPinDriver* OutPin5 READ PortPin5)
    Q_PROPERTY(TOrvexPinDriver* OutPin6 READ PortPin6)
    Q_PROPERTY(TOrvexPinDriver* OutPin7 READ PortPin7)
    Q_PROPERTY(TOrvexPinDriver* InPin0 READ InPin0)
    Q_PROPERTY(TOrvexPinDriver* InPin1 READ InPin1)
    Q_PROPERTY(TOrvexPinDriver* InPin2 READ InPin2)
    Q_PROPERTY(TOrvexPinDriver* InPin3 READ InPin3)
    Q_PROPERTY(TOrvexPinDriver* InPin4 READ InPin4)
    Q_PROPERTY(TOrvexPinDriver* InPin5 READ InPin5)
    Q_PROPERTY(TOrvexPinDriver* InPin6 READ InPin6)
    Q_PROPERTY(TOrvexPinDriver* InPin7 READ InPin7)

public:
    explicit TOrvexGraphicDrivenPort(QWidget* owner = nullptr);
    ~TOrvexGraphicDrivenPort() override;

    bool Inverted() const { return m_inverted; }
    virtual void SetInverted(bool value) { m_inverted = value; }
    TPortDriverType PortDriver() const { return m_portDriver; }
    virtual void SetPortDriver(TPortDriverType value) { m_portDriver = value; }

    // Not owned: deleting the port's component leaves nullptr here.
    TOrvexPortDriver* InputPort() const { return m_inputPort.data(); }
    // Wires latch k's input to the port's pin k (away from the previous input port's). Nil is
    // ignored.
    void SetInputPort(TOrvexPortDriver* port);

    // The drivers the strobe and output-enable contacts are wired to.
    TOrvexPinDriver* Strobe() const;
    void SetStrobe(TOrvexPinDriver* driver);
    TOrvexPinDriver* OutEnable() const;
    void SetOutEnable(TOrvexPinDriver* driver);

    // The driver latch k's input is wired to.
    TOrvexPinDriver* InPin(int index) const;
    TOrvexPinDriver* InPin0() const { return InPin(0); }
    TOrvexPinDriver* InPin1() const { return InPin(1); }
    TOrvexPinDriver* InPin2() const { return InPin(2); }
    TOrvexPinDriver* InPin3() const { return InPin(3); }
    TOrvexPinDriver* InPin4() const { return InPin(4); }
    TOrvexPinDriver* InPin5() const { return InPin(5); }
    TOrvexPinDriver* InPin6() const { return InPin(6); }
    TOrvexPinDriver* InPin7() const { return InPin(7); }

    TOrvexLatchCtl* Latch(int index) const { return m_latches[size_t(index & 7)].data(); }
    TOrvexPortCtl* StrobeControl() const { return m_strobe.data(); }
    TOrvexPortCtl* OutEnableControl() const { return m_outEnable.data(); }

    bool PortControlChanged(TOrvexPortCtl* control) override;
    void PortControlEnded(TOrvexPortCtl* control) override;
    QList<TOrvexPinDriver*> SchematicContacts() const override;

protected:
    double NameBandBottom() const override;
    double NameBandWidth() const override { return 0.58; }

    bool m_inverted = false;
    TPortDriverType m_portDriver = TPortDriverType(opc_Strobe | opc_OutputEnable);
    QPointer<TOrvexPortCtl> m_strobe;    // owned; created by the concrete class
    QPointer<TOrvexPortCtl> m_outEnable; // owned; created by the concrete class

private:
    bool OutputEnableChanged();
    bool StrobeChanged();
    void SendReply(int byte);

    QPointer<TOrvexPortDriver> m_inputPort;
    std::array<QPointer<TOrvexLatchCtl>, 8> m_latches;
};

class TUDrivenPort : public TOrvexGraphicDrivenPort {
    Q_OBJECT

public:
    explicit TUDrivenPort(QWidget* owner = nullptr);

    // Shows the picture of the set and puts every output back to its idle level (high, or low
    // when inverted).
    void SetPortDriver(TPortDriverType value) override;
    void SetInverted(bool value) override;

    // The picture for a set of driver kinds, plain or inverted.
    static QString PictureName(TPortDriverType portDriver, bool inverted);
};

// A three-to-eight decoder: output pin (4c + 2b + a) of its port ("OutPort") is high while the
// decoder is enabled (GateNon1 and GateNon2 low, Gate high), every other one low; all are low
// while disabled. Inverted turns every output over.
class TOrvexGraphicSelector : public TOrvexGraphicPort {
    Q_OBJECT
    Q_PROPERTY(bool Inverted READ Inverted WRITE SetInverted)
    Q_PROPERTY(TOrvexPort* OutputPort READ Port)
    Q_PROPERTY(TOrvexPinDriver* GateNon1 READ GateNon1 WRITE SetGateNon1)
    Q_PROPERTY(TOrvexPinDriver* GateNon2 READ GateNon2 WRITE SetGateNon2)
    Q_PROPERTY(TOrvexPinDriver* Gate READ Gate WRITE SetGate)
    Q_PROPERTY(TOrvexPinDriver* OutPin0 READ PortPin0)
    Q_PROPERTY(TOrvexPinDriver* OutPin1 READ PortPin1)
    Q_PROPERTY(TOrvexPinDriver* OutPin2 READ PortPin2)
    Q_PROPERTY(TOrvexPinDriver* OutPin3 READ PortPin3)
    Q_PROPERTY(TOrvexPinDriver* OutPin4 READ PortPin4)
    Q_PROPERTY(TOrvexPinDriver* OutPin5 READ PortPin5)
    Q_PROPERTY(TOrvexPinDriver* OutPin6 READ PortPin6)
    Q_PROPERTY(TOrvexPinDriver* OutPin7 READ PortPin7)
    Q_PROPERTY(TOrvexPinDriver* InPin0 READ InPin0 WRITE SetInPin0)
    Q_PROPERTY(TOrvexPinDriver* InPin1 READ InPin1 WRITE SetInPin1)
    Q_PROPERTY(TOrvexPinDriver* InPin2 READ InPin2 WRITE SetInPin2)

public:
    explicit TOrvexGraphicSelector(QWidget* owner = nullptr);
    ~TOrvexGraphicSelector() override;

    bool Inverted() const { return m_inverted; }
    virtual void SetInverted(bool value) { m_inverted = value; }

    // The drivers the enable and select contacts are wired to.
    TOrvexPinDriver* GateNon1() const;
    void SetGateNon1(TOrvexPinDriver* driver);
    TOrvexPinDriver* GateNon2() const;
    void SetGateNon2(TOrvexPinDriver* driver);
    TOrvexPinDriver* Gate() const;
    void SetGate(TOrvexPinDriver* driver);
    TOrvexPinDriver* InPin(int index) const;
    void SetInPin(int index, TOrvexPinDriver* driver);
    TOrvexPinDriver* InPin0() const { return InPin(0); }
    void SetInPin0(TOrvexPinDriver* driver) { SetInPin(0, driver); }
    TOrvexPinDriver* InPin1() const { return InPin(1); }
    void SetInPin1(TOrvexPinDriver* driver) { SetInPin(1, driver); }
    TOrvexPinDriver* InPin2() const { return InPin(2); }
    void SetInPin2(TOrvexPinDriver* driver) { SetInPin(2, driver); }

    TOrvexPortCtl* SelectControl(int index) const { return m_select[size_t(index % 3)].data(); }
    TOrvexPortCtl* GateNon1Control() const { return m_gateNon1.data(); }
    TOrvexPortCtl* GateNon2Control() const { return m_gateNon2.data(); }
    TOrvexPortCtl* GateControl() const { return m_gate.data(); }

    // Decodes the inputs onto the outputs.
    bool PortControlChanged(TOrvexPortCtl* control) override;
    QList<TOrvexPinDriver*> SchematicContacts() const override;

protected:
    double NameBandBottom() const override;
    double NameBandWidth() const override { return 0.58; }

    bool m_inverted = false;
    QPointer<TOrvexPortCtl> m_gateNon1; // owned; created by the concrete class
    QPointer<TOrvexPortCtl> m_gateNon2; // owned; created by the concrete class
    QPointer<TOrvexPortCtl> m_gate;     // owned; created by the concrete class

private:
    std::array<QPointer<TOrvexPortCtl>, 3> m_select;
    bool m_decoding = false; // the outputs are on their way through the board
    int m_outputByte = 0;
    int m_decodeCount = 0;
};

class TUSelector : public TOrvexGraphicSelector {
    Q_OBJECT

public:
    explicit TUSelector(QWidget* owner = nullptr);

    // Shows the plain or inverted picture and puts every output at its idle level.
    void SetInverted(bool value) override;
};

// An input control of a driven port or selector, named `name`, its contact `name` + "_Pin", idle
// high, presenting `ohms`.
TOrvexPortCtl* CreatePortInput(QObject* owner, const QString& name, int ohms);
