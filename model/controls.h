#pragma once

#include <QObject>
#include <QPointer>

#include "model/drivers.h"

class BoardLink;
class ControlView;
class SimTimer;

// The electrical half of a component: owns (or names) its contacts, answers the circuit's questions
// about them and shows its state through a view laid over the component.
class TOrvexControl : public QObject {
    Q_OBJECT

public:
    explicit TOrvexControl(QObject* owner = nullptr);
    ~TOrvexControl() override;

    virtual void TimerTick();
    virtual int GetResistence();
    virtual void SetResistence(int ohms);
    virtual TOrvexPinDriver* GetContact() const { return m_contact.data(); }
    virtual void SetContact(TOrvexPinDriver* driver) { m_contact = driver; }
    virtual void ValueChanged(TOrvexDriver* contact, TOrvexDriver* sender);
    virtual void PropagateFrom(TOrvexPinDriver* contact);
    virtual void UpdateView();
    virtual void EndEvaluation(TOrvexPinDriver* contact);
    virtual TOrvexPinDriver* OtherContact(TOrvexPinDriver* contact);
    // Switch controls answer whether they are open (the engine flips levels across them).
    virtual bool IsOpenSwitch() const { return false; }

    // Creates the control's view on `component` (hidden) through the installed view factory.
    void CreateView(QObject* component, const QString& activeName,
                    const QString& schematicActiveName);

    // The first board above the owning component; kept like a contact's (TOrvexDriver::OwnerForm).
    BoardLink* OwnerForm() const;
    // What the owning component is, or nullptr; kept while the owner stays the same.
    ComponentRole* OwnerRole() const { return m_role.Of(parent()); }

    TOrvexPinDriver* Contact() const { return m_contact.data(); }
    int Resistence() const { return m_resistence; }
    ControlView* View() const;
    SimTimer* ViewTimer() const { return m_viewTimer; }
    const QString& ActiveName() const { return m_activeName; }
    const QString& SchematicActiveName() const { return m_schematicActiveName; }
    TOrvexPinDriver* AskedContact() const { return m_askedContact; }
    void SetAskedContact(TOrvexPinDriver* contact) { m_askedContact = contact; }

    void SetHasView(bool on) { m_viewFlag = on; }
    bool SymmetricSymbol() const { return m_symmetricSymbol; }
    void SetSymmetricSymbol(bool on) { m_symmetricSymbol = on; }
    bool Evaluated() const { return m_evaluated; }
    void SetEvaluated(bool on) { m_evaluated = on; }
    void SetAfterglow(bool on) { m_afterglow = on; }
    bool Ended() const { return m_ended; }
    void SetEnded(bool on) { m_ended = on; }
    bool Lit() const { return m_lit; }
    void SetLit(bool on) { m_lit = on; }

protected:
    void Report(const QString& text) const;

    SimTimer* m_viewTimer = nullptr;
    int m_resistence = -1;
    QPointer<TOrvexPinDriver> m_contact;
    bool m_viewFlag = false;
    bool m_symmetricSymbol = false;
    bool m_evaluated = false;
    bool m_afterglow = false;
    bool m_ended = false;
    bool m_lit = false;
    ControlView* m_view = nullptr;
    QPointer<QObject> m_viewObject; // guards m_view: the view widget belongs to the component
    TOrvexPinDriver* m_askedContact = nullptr;
    QString m_activeName;
    QString m_schematicActiveName;

private:
    KeptCast<ComponentRole> m_role;
    KeptBoard m_board;
};

// One contact: a host pin's or supply pin's control.
class TOrvexPinControl : public TOrvexControl {
    Q_OBJECT

public:
    explicit TOrvexPinControl(QObject* owner = nullptr) : TOrvexControl(owner) {}

    int GetResistence() override { return m_resistence; }
    void SetResistence(int ohms) override { m_resistence = ohms; }
    void ValueChanged(TOrvexDriver*, TOrvexDriver*) override {}
    TOrvexPinDriver* OtherContact(TOrvexPinDriver* contact) override;
};

// Two own contacts (Contact1, Contact2), created owned by the control's owner. The published
// properties of the same names give and take the driver each own contact is wired to.
class TOrvexTwoContactControl : public TOrvexControl {
    Q_OBJECT
    Q_PROPERTY(TOrvexPinDriver* Contact1 READ GetContact1 WRITE SetContact1)
    Q_PROPERTY(TOrvexPinDriver* Contact2 READ GetContact2 WRITE SetContact2)

public:
    explicit TOrvexTwoContactControl(QObject* owner = nullptr);
    ~TOrvexTwoContactControl() override;

    TOrvexPinDriver* OtherContact(TOrvexPinDriver* contact) override;

    TOrvexPinDriver* Contact1() const { return m_contact1.data(); }
    TOrvexPinDriver* Contact2() const { return m_contact2.data(); }
    TOrvexPinDriver* GetContact1() const;
    void SetContact1(TOrvexPinDriver* driver);
    TOrvexPinDriver* GetContact2() const;
    void SetContact2(TOrvexPinDriver* driver);

protected:
    QPointer<TOrvexPinDriver> m_contact1;
    QPointer<TOrvexPinDriver> m_contact2;
};

// Three own contacts: the two inputs and the output of a gate.
class TOrvexThreeContactControl : public TOrvexControl {
    Q_OBJECT
    Q_PROPERTY(TOrvexPinDriver* Contact1 READ GetContact1 WRITE SetContact1)
    Q_PROPERTY(TOrvexPinDriver* Contact2 READ GetContact2 WRITE SetContact2)
    Q_PROPERTY(TOrvexPinDriver* Contact3 READ GetContact3 WRITE SetContact3)

public:
    explicit TOrvexThreeContactControl(QObject* owner = nullptr);
    ~TOrvexThreeContactControl() override;

    TOrvexPinDriver* OtherContact(TOrvexPinDriver* contact) override;

    TOrvexPinDriver* Contact1() const { return m_contact1.data(); }
    TOrvexPinDriver* Contact2() const { return m_contact2.data(); }
    TOrvexPinDriver* Contact3() const { return m_contact3.data(); }
    TOrvexPinDriver* GetContact1() const;
    void SetContact1(TOrvexPinDriver* driver);
    TOrvexPinDriver* GetContact2() const;
    void SetContact2(TOrvexPinDriver* driver);
    TOrvexPinDriver* GetContact3() const;
    void SetContact3(TOrvexPinDriver* driver);

protected:
    QPointer<TOrvexPinDriver> m_contact1;
    QPointer<TOrvexPinDriver> m_contact2;
    QPointer<TOrvexPinDriver> m_contact3;
};

// Reads the driver an own contact is wired to (the contact itself while unwired) and rewires it.
TOrvexPinDriver* WiredDriverOf(const TOrvexPinDriver* own);
void RewireContact(TOrvexPinDriver* own, TOrvexPinDriver* driver);

class TOrvexPortCtl;

// The owner of input controls (a driven port, a selector): it hears each level arriving on one of
// them. Kept apart from any widget so that controls of every layer can report to their owner.
class TPortControlOwner {
public:
    // A level arrived on one of the owner's input controls. True when the control counts as
    // evaluated in this propagation step.
    virtual bool PortControlChanged(TOrvexPortCtl* control) = 0;
    // End of a propagation step on an input control that was evaluated.
    virtual void PortControlEnded(TOrvexPortCtl* control) = 0;

protected:
    ~TPortControlOwner() = default;
};

// One input of a driven port, a selector or an LCD module (strobe, output enable, select, enable
// and LCD control lines): a single own contact that its owner reads when a level arrives on it. The
// published Contact is the driver that contact is wired to (the contact itself while unwired).
class TOrvexPortCtl : public TOrvexControl {
    Q_OBJECT
    Q_PROPERTY(TOrvexPinDriver* Contact READ GetContact WRITE SetContact)

public:
    // The own contact is created owned by `owner`, like a two-contact control's.
    explicit TOrvexPortCtl(QObject* owner = nullptr);
    ~TOrvexPortCtl() override;

    int GetResistence() override { return m_resistence; }
    void SetResistence(int ohms) override { m_resistence = ohms; }
    TOrvexPinDriver* GetContact() const override;
    void SetContact(TOrvexPinDriver* driver) override;
    void ValueChanged(TOrvexDriver* contact, TOrvexDriver* sender) override;
    void EndEvaluation(TOrvexPinDriver* contact) override;

private:
    KeptCast<TPortControlOwner> m_portOwner;
};
