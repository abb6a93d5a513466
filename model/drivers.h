#pragma once

#include <QObject>
#include <QPointer>
#include <functional>
#include <memory>

#include "model/boardlink.h"
#include "model/collections.h"
#include "model/enums.h"

class TOrvexControl;
class TOrvexDriver;

// Told when a watched driver's level is written, its wiring changes or it goes (the logic
// analyser's recording). One watch per driver; unwatched drivers pay one null test per write.
class TLevelWatch {
public:
    virtual void LevelWritten(TOrvexDriver* driver) = 0;
    // Wired to or unwired from another contact, or about to be destroyed: the driver is not to be
    // read any more after Gone.
    virtual void Rewired(TOrvexDriver* driver) = 0;
    virtual void Gone(TOrvexDriver* driver) = 0;

protected:
    ~TLevelWatch() = default;
};

// Every electrical connection point of a board: a level (mV), a resistance (ohms) and, for
// contacts, the list of contacts it is wired to.
class TOrvexDriver : public QObject {
    Q_OBJECT
    Q_PROPERTY(int Value READ Value WRITE SetValue)
    Q_PROPERTY(QObject* Control READ GetControl WRITE SetControl)

public:
    using TPortChangeEvent = std::function<void(QObject* sender)>;

    explicit TOrvexDriver(QObject* owner = nullptr);
    ~TOrvexDriver() override;

    virtual void SetValue(int level);
    virtual void AssignValue(int level);
    virtual QObject* GetControl() const;
    virtual void SetControl(QObject* value);
    virtual void SetOwnerControl(TOrvexControl* control);
    virtual void SetDrivenValue(int level);
    virtual int GetResistence();
    virtual void SetResistence(int ohms);
    virtual int GetRating() const { return m_rating; }
    virtual void SetRating(int value) { m_rating = value; }
    virtual void ChangeValue(int level, QObject* sender);
    virtual void HostAccess(int data, int drivenData, int kind, int address, QObject* reserved);

    int Value() const { return m_value; }
    int DrivenValue() const { return m_drivenValue; }
    int Resistence() const { return m_resistence; }
    TPortSpace Space() const { return m_space; }
    bool Settled() const { return m_settled; }
    void SetSettled(bool settled) { m_settled = settled; }
    int NodeIndex() const { return m_nodeIndex; }
    void SetNodeIndex(int index) { m_nodeIndex = index; }
    TOrvexControl* OwnerControl() const;
    // Plain field writes: no event, no message, no propagation.
    void StoreValue(int level) {
        m_value = level;
        Written();
    }
    void StoreDrivenValue(int level) { m_drivenValue = level; }

    // The board this driver lives on: the first board above its owner. Asked at every level
    // change, so the answer is kept while the owners up to the board stay the same.
    BoardLink* OwnerForm() const;
    // What the owning component is (gate, diode, switch...), or nullptr. Asked at every step of a
    // chain walk, so the answer is kept for as long as the owner stays the same.
    ComponentRole* OwnerRole() const { return m_role.Of(parent()); }
    // The owner or the board is going: asked after this, role and board are looked up afresh.
    void ForgetOwners() {
        m_role.Forget();
        m_board.Forget();
    }

    TPortChangeEvent OnChange;

    TLevelWatch* Watch() const { return m_watch; }
    void SetWatch(TLevelWatch* watch) { m_watch = watch; }

protected:
    void FireChange();
    // Every write of m_value ends with this.
    void Written() {
        if (m_watch) [[unlikely]]
            m_watch->LevelWritten(this);
    }
    void WiringChanged() {
        if (m_watch) [[unlikely]]
            m_watch->Rewired(this);
    }
    // "Error" box on the board's window, only when the board and its window exist.
    void Report(const QString& text) const;
    void ReportVirtual(const char* method) const;

    int m_value = 0;
    int m_drivenValue = -1;
    int m_resistence = -1;
    int m_rating = -1;
    TPortSpace m_space = ops_CODE;
    bool m_settled = false;
    int m_nodeIndex = -1;
    QPointer<TOrvexControl> m_ownerControl;
    QPointer<QObject> m_controlRef;

private:
    KeptCast<ComponentRole> m_role;
    KeptBoard m_board;
    TLevelWatch* m_watch = nullptr;
};

// A contact: a driver that can be wired to other contacts. Wiring is symmetric and a destroyed
// contact unwires itself first.
class TOrvexPinDriver : public TOrvexDriver {
    Q_OBJECT
    Q_PROPERTY(TComponentList* ComponentList READ ComponentList)
    Q_PROPERTY(TOrvexPinDriver* Contact READ GetContact WRITE SetContact)

public:
    explicit TOrvexPinDriver(QObject* owner = nullptr);
    ~TOrvexPinDriver() override;

    void SetValue(int level) override;
    void AssignValue(int level) override;
    QObject* GetControl() const override;
    void SetDrivenValue(int level) override;
    int GetResistence() override;
    void ChangeValue(int level, QObject* sender) override;

    TOrvexPinDriver* GetComponent(int index) const;
    TOrvexPinDriver* GetContact() const;
    void SetContact(TOrvexPinDriver* driver);
    void Connect(TOrvexPinDriver* driver);
    void Disconnect(TOrvexPinDriver* driver);
    void DisconnectAll();

    // Driver role: the contact drives its net. Input role: a logic input of a gate. Either role
    // gives the contact a hidden DriverContact that joins it to a rail node.
    void SetDriver(bool on);
    void SetInput(bool on);
    bool IsDriver() const { return m_driver; }
    bool IsInput() const { return m_input; }
    TOrvexPinDriver* DriverContact() const { return m_driverContact; }

    TComponentList* ComponentList() const { return m_componentList.get(); }
    int ConnectionCount() const { return m_componentList ? m_componentList->Count() : 0; }

    // Supply pins (TPin) and host pins (TOrvexPin) end propagation walks.
    virtual bool IsSupplyPin() const { return false; }
    virtual bool IsHostPin() const { return false; }

protected:
    void UnwireAll();

private:
    void CreateDriverContact(bool high);

    std::unique_ptr<TComponentList> m_componentList;
    bool m_driver = false;
    bool m_input = false;
    TOrvexPinDriver* m_driverContact = nullptr; // owned (also a QObject child)
};

// The supply pin behind the Vcc and GND symbols.
class TPin : public TOrvexPinDriver {
    Q_OBJECT
    Q_PROPERTY(BrelvanEnums::TPinType PinType READ PinType WRITE SetPinType)

public:
    explicit TPin(QObject* owner = nullptr);

    void SetValue(int level) override;
    int GetResistence() override { return m_resistence; }
    void SetResistence(int ohms) override { m_resistence = ohms; }
    void HostAccess(int data, int drivenData, int kind, int address, QObject* reserved) override;
    bool IsSupplyPin() const override { return true; }

    TPinType PinType() const { return m_pinType; }
    void SetPinType(TPinType type);

private:
    TPinType m_pinType = PIN_GND;
};
