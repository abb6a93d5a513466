#pragma once

#include "model/controls.h"
#include "model/levels.h"

// The electrical controls of the simple two- and three-contact components: the diode element,
// the bulb, the switch and the logic gates. They know their component only through its role.

// One diode element (a diode, an LED, a colour of a two-colour LED, a display segment): passes a
// level from anode to cathode with a 2000 mV drop and is lit while the anode stands at least
// 2000 mV above the cathode.
class TDiodeCtl : public TOrvexTwoContactControl {
    Q_OBJECT

public:
    explicit TDiodeCtl(QObject* owner = nullptr);

    int GetResistence() override { return m_resistence; }
    void SetResistence(int ohms) override { m_resistence = ohms; }
    void ValueChanged(TOrvexDriver* changed, TOrvexDriver* sender) override;
    void EndEvaluation(TOrvexPinDriver* contact) override;
};

// A bulb: drops 1000 mV and glows while its two contacts differ.
class TOrvexBulbCtl : public TOrvexTwoContactControl {
    Q_OBJECT

public:
    explicit TOrvexBulbCtl(QObject* owner = nullptr);

    int GetResistence() override { return m_resistence; }
    void SetResistence(int ohms) override { m_resistence = ohms; }
    void ValueChanged(TOrvexDriver* changed, TOrvexDriver* sender) override;
    void EndEvaluation(TOrvexPinDriver* contact) override;
};

// Every switch and button: passes a level unchanged while closed.
class TOrvexSwitchCtl : public TOrvexTwoContactControl {
    Q_OBJECT

public:
    explicit TOrvexSwitchCtl(QObject* owner = nullptr);

    int GetResistence() override { return m_resistence; }
    void SetResistence(int ohms) override { m_resistence = ohms; }
    void ValueChanged(TOrvexDriver* changed, TOrvexDriver* sender) override;
    void UpdateView() override;
    bool IsOpenSwitch() const override { return !m_closed; }
    virtual void SetClosed(bool closed);

    bool Closed() const { return m_closed; }
    bool Latching() const { return m_latching; }
    void SetLatching(bool on) { m_latching = on; }

protected:
    bool m_closed = false;
    bool m_latching = false;
};

// Inverter: "Input" and "Output".
class TInvertCtl : public TOrvexTwoContactControl {
    Q_OBJECT

public:
    explicit TInvertCtl(QObject* owner = nullptr);
    ~TInvertCtl() override;

    int GetResistence() override;
    void SetResistence(int ohms) override { m_resistence = ohms; }
    void ValueChanged(TOrvexDriver* changed, TOrvexDriver* sender) override;
};

// Two-input gate: "Input1", "Input2", "Output". Abstract: only the NAND is built.
class TGateCtl : public TOrvexThreeContactControl {
    Q_OBJECT

public:
    explicit TGateCtl(QObject* owner = nullptr);
    ~TGateCtl() override;
};

class TGateANDCtl : public TGateCtl {
    Q_OBJECT

public:
    explicit TGateANDCtl(QObject* owner = nullptr) : TGateCtl(owner) {}

    int GetResistence() override;
    void SetResistence(int ohms) override { m_resistence = ohms; }
    void ValueChanged(TOrvexDriver* changed, TOrvexDriver* sender) override;
};

// Resistance a gate presents at one of its contacts.
int GateResistence(const TOrvexPinDriver* asked, const TOrvexPinDriver* output);
