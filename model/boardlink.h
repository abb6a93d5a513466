#pragma once

#include <QList>
#include <QObject>
#include <QString>

#include <array>
#include <typeinfo>
#include <vector>

#include "model/collections.h"
#include "model/enums.h"
#include "platform/hostmessages.h"

class TOrvexControl;
class TOrvexPin;
class TOrvexPortDriver;

struct SpreadFrame;

// What a spread shares with every spread started inside it (model/circuit.cpp). Each board keeps
// its own, so that a board used while another one spreads (the trial read of Open, a scratch
// board) neither sees nor spends the other's budget.
struct SpreadState {
    int depth = 0; // spread loops running on the native stack
    int walks = 0;
    bool exhausted = false;
    std::vector<SpreadFrame>* innermost = nullptr; // where spreads nested too deeply are queued
};

// The host ports and pins that port and pin components show.
struct TMirrorTargets {
    QList<TOrvexPortDriver*> Ports;
    QList<TOrvexPin*> Pins;
};

// What the electrical model needs of the board it lives on. The board form implements it; tests use
// a small test board. Found by walking owners (FindBoard).
class BoardLink : public MessageTarget {
public:
    // Propagation is off while set (editing, building and tearing down the schematic).
    virtual bool Suspended() const = 0;
    // The node table; empty outside Run.
    virtual TNodeArray& Nodes() = 0;
    // Boxes and messages need the board's window to exist.
    virtual bool HasWindow() const = 0;
    // A modal error box ("Error", error icon) on the board's window.
    virtual void ShowError(const QString& text) = 0;
    // The placed components in child order.
    virtual QList<QObject*> BoardComponents() const = 0;
    // The host ports and pins shown by components that may show the bit `pinNumber` of `address`
    // in `space`: those of the port components of that address and space and of the pin
    // components of that bit. Callers check each; those of every component will do. Valid until
    // the next call or the next change of the board.
    virtual const TMirrorTargets& MirrorTargets(TPortSpace space, int address, int pinNumber) const;
    // A host pin's or host port's address, space or bit changed, or its component was just
    // built: a board that indexes them by these takes it up again.
    virtual void MirrorKeyChanged(QObject* driver) { Q_UNUSED(driver); }
    // A spread ran out of its work budget (the board oscillates); `where` names the contact at
    // which it stopped ("Component.Contact").
    virtual void ReportOscillation(const QString& where) = 0;
    // The state of the spreads running on this board. A board that answers for another one
    // answers with the other's.
    virtual SpreadState& Spread() { return m_spread; }

protected:
    ~BoardLink() = default;

private:
    SpreadState m_spread;
    mutable TMirrorTargets m_everyTarget; // the default MirrorTargets' answer
};

// The first board at or above `start` in the chain of owners, or nullptr.
BoardLink* FindBoard(const QObject* start);

// A dynamic_cast of one object, kept while the object at that address has the same dynamic type
// (an object being built or destroyed changes it). A cast walks the class hierarchy, comparing
// type names across libraries; the engine would otherwise pay that at every level change.
template <class T> class KeptCast {
public:
    T* Of(const QObject* object) const {
        if (!object) return nullptr;
        const std::type_info* type = &typeid(*object);
        if (object != m_object || type != m_type) {
            m_result = dynamic_cast<T*>(const_cast<QObject*>(object));
            m_object = object;
            m_type = type;
        }
        return m_result;
    }
    void Forget() {
        m_object = nullptr;
        m_type = nullptr;
        m_result = nullptr;
    }

private:
    mutable const QObject* m_object = nullptr;
    mutable const std::type_info* m_type = nullptr;
    mutable T* m_result = nullptr;
};

// FindBoard with the answer kept: the chain of owners from `start` to the board is checked link by
// link with each link's dynamic type (a few pointer reads), so a component moved to another board
// or taken off its board, and a board or owner being built or destroyed, are looked up afresh.
class KeptBoard {
public:
    BoardLink* Find(const QObject* start) const;
    void Forget() { m_board = nullptr; }

private:
    static constexpr int MaxDepth = 4; // deeper owners are looked up every time
    mutable std::array<const QObject*, MaxDepth> m_chain{};
    mutable std::array<const std::type_info*, MaxDepth> m_types{};
    mutable int m_depth = 0;
    mutable BoardLink* m_board = nullptr;
};

// Process-wide: set while the board hands one host access to its components or starts the
// simulation; host pins then neither report to the host nor start propagations of their own.
bool HostBusy();
void SetHostBusy(bool busy);

// Questions the electrical model and the propagation engine ask of a contact's owning component.
// The graphic component base implements them, so the model never includes widget headers.
class ComponentRole {
public:
    virtual bool IsDiodeComponent() const { return false; }
    virtual bool IsSwitchComponent() const { return false; }
    virtual bool IsGateComponent() const { return false; } // a gate or an inverter
    virtual bool IsGroundComponent() const { return false; }
    virtual TVisibility ComponentVisibility() const { return vs_Hybrid; }
    virtual bool ComponentHasFace() const { return false; }
    // The control whose view shows `control`'s state, and whether it is lit. A two-colour LED
    // answers with its first control and a colour chosen from both controls.
    virtual TOrvexControl* ResolveView(TOrvexControl* control, bool& lit) {
        Q_UNUSED(lit);
        return control;
    }
    // Host port / host pin that a port, bus or pin component shows; the board mirrors host pin
    // levels into them.
    virtual TOrvexPortDriver* MirroredPort() const { return nullptr; }
    virtual TOrvexPin* MirroredPin() const { return nullptr; }
    // Called when a crash (a short circuit) is to be shown.
    virtual void CrashComponent() {}
    // Run has ended: show what an unpowered board shows (indicators dark, no crash), keeping the
    // component's own state (a switch's position).
    virtual void ShowUnpowered() {}

protected:
    ~ComponentRole() = default;
};

ComponentRole* RoleOf(const QObject* object);

// A control's active picture, laid over its component.
class ControlView {
public:
    virtual ~ControlView() = default;
    virtual void ShowView() = 0;
    virtual void HideView() = 0;
    virtual bool IsViewShown() const = 0;
    // Swallows unknown names: the view then shows nothing.
    virtual void LoadViewPicture(const QString& name) = 0;
    virtual void RepaintView() = 0;
    virtual QObject* ViewObject() = 0;
};

// Creates a hidden view on `component` showing `pictureName`; installed by the component layer.
using ViewFactory = ControlView* (*)(QObject* component, const QString& pictureName);
void SetViewFactory(ViewFactory factory);
ViewFactory CurrentViewFactory();
