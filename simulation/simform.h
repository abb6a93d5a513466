#pragma once

#include <QHash>
#include <QList>
#include <QMainWindow>
#include <QMenu>
#include <QPoint>
#include <QPointer>
#include <QRect>
#include <QSet>
#include <QString>
#include <QWidget>

#include "components/orvexcomponent.h"
#include "model/boardlink.h"
#include "model/collections.h"
#include "model/nodetable.h"
#include "platform/hostmessages.h"

#include <memory>
#include <tuple>

class QScrollArea;
class SimTimer;
class TSimForm;

// The board: the widget that owns and parents the placed components. It is the central widget of
// its board form (inside a scroll area) and answers the electrical model's board questions for
// it. Its objectName stays empty, so path names of components stop here.
//
// Two orders of the placed components: children() is the child (z) order, which raise() and
// lower() change; the board also keeps the ownership (creation) order, which they do not.
class TBoardSurface : public QWidget,
                      public BoardLink,
                      public TComponentOwnerEvents,
                      public TOwnerNames {
    Q_OBJECT

public:
    explicit TBoardSurface(TSimForm* form);
    ~TBoardSurface() override;

    TSimForm* Form() const { return m_form; }

    // Every object the board owns, in ownership order.
    QList<QObject*> OwnedObjects() const;
    // The graphic components among them, in ownership order.
    QList<TOrvexGraphicComponent*> OwnedComponents() const;
    // The graphic components in child (z) order.
    QList<TOrvexGraphicComponent*> ComponentsInChildOrder() const;
    // Call before destroying many components at once (see the definition).
    static void DeliverPolishRequests();

    // ---- BoardLink, answered by the form
    bool Suspended() const override;
    TNodeArray& Nodes() override;
    bool HasWindow() const override;
    void ShowError(const QString& text) override;
    QList<QObject*> BoardComponents() const override; // child order
    // From an index of the port and pin components by what they show, kept as they change.
    const TMirrorTargets& MirrorTargets(TPortSpace space, int address,
                                        int pinNumber) const override;
    void MirrorKeyChanged(QObject* driver) override;

    // What the board decodes, for its host: the components that take a host access at an address
    // of a space are those that show a host port or pin there (MirroredPort, MirroredPin).
    // The generation changes with every change that may change them or their order: a component
    // added, removed, raised or lowered, an address, space or bit edited.
    quint64 DecodingGeneration() const { return m_decodingGeneration; }
    // In child order; kept until the next change. A caller that lets components run while it
    // walks the list checks the generation after each, and once it moved asks StillDecodes
    // before touching the next (it may be gone).
    const QList<TOrvexGraphicComponent*>& DecodingComponents(TPortSpace space, int address) const;
    bool StillDecodes(const TOrvexGraphicComponent* component, TPortSpace space, int address) const;
    // Every (space, address) a component decodes, with the bits it takes (0xFF: all of them).
    QList<std::tuple<TPortSpace, int, int>> DecodedAddresses() const;
    void ReportOscillation(const QString& where) override;
    // The form's: the rails it owns and the placed components spread as one board.
    SpreadState& Spread() override;
    qintptr HandleMessage(quint32 msg, quint32 wParam, qintptr lParam) override;

    // ---- TOwnerNames: the owned object of that name (any letter case), or nullptr.
    QObject* FindOwnedName(const QString& name) const override;

    // ---- TComponentOwnerEvents
    void OwnedComponentMouseMove(TOrvexGraphicComponent* sender, Qt::MouseButtons buttons,
                                 Qt::KeyboardModifiers modifiers, const QPoint& pos) override;

protected:
    void childEvent(QChildEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void UpdateExtent();
    void GrowExtent(QWidget* widget);
    void ScheduleExtent();
    bool IsProbeWindow(const QWidget* widget) const;

    TSimForm* m_form; // the form deletes its board before it goes; nullptr: a board on its own
    void Track(QObject* child);
    void Untrack(QObject* child);

    // Ownership order. Removed entries are dropped from the set at once and compacted out of the
    // list now and then, so adding and removing stay cheap on large boards.
    QList<QPointer<QObject>> m_owned;
    QSet<QObject*> m_ownedSet;
    bool m_extentPending = false;
    QHash<QString, QList<QObject*>> m_names; // lower-case name -> owned objects of that name

    // Port and pin components by the bit they show (MirrorKey): host pins mirror their levels
    // into them. Children come in before they are built, so they are looked at on the next
    // question; a component looks again when its key changes and once it is built.
    void IndexMirror(QObject* component) const;
    void UnindexMirror(QObject* component) const;
    mutable QSet<QObject*> m_mirrorPending;
    mutable QHash<QObject*, std::pair<quint64, quint64>> m_mirrorKeys; // port key, pin key; 0: none
    // key -> component -> the port or pin it shows (a port key's a TOrvexPortDriver, a pin key's
    // a TOrvexPin)
    mutable QHash<quint64, QHash<QObject*, QObject*>> m_mirrors;
    // MirrorTargets' answers by pin key, made from m_mirrors and dropped whenever it changes: a
    // host pin asks at every level change.
    mutable QHash<quint64, TMirrorTargets> m_mirrorTargets;
    mutable quint64 m_lastTargetKey = 0;
    mutable const TMirrorTargets* m_lastTargets = nullptr; // the answer last given; in the hash
    void ForgetMirrorTargets() const;
    void DecodingChanged();
    quint64 m_decodingGeneration = 1;
    mutable quint64 m_decodersGeneration = 0;                          // of m_decoders
    mutable QHash<quint64, QList<TOrvexGraphicComponent*>> m_decoders; // by port key
    // The list last asked for, valid while m_decodersGeneration is.
    mutable quint64 m_lastDecoderKey = 0;
    mutable const QList<TOrvexGraphicComponent*>* m_lastDecoders = nullptr;
    TNodeArray m_noNodes; // the node table of a board without a form
};

// The board form: a main window whose central widget (in a scroll area) is the board. It holds
// what the simulation needs on top of the components: the node table, the two rail components,
// the Suspended flag, the probe machinery and the host-message interface.
//
// Host messages arrive at HandleMessage, which dispatches them to one virtual handler each; a
// derived form overrides a handler (or HandleMessage itself) to replace the reaction.
class TSimForm : public QMainWindow, public BoardLink {
    Q_OBJECT

public:
    explicit TSimForm(QWidget* parent = nullptr);
    ~TSimForm() override;

    TBoardSurface* Board() const { return m_board; }
    QScrollArea* ScrollArea() const { return m_scrollArea; }

    // Propagation is off while set; set from construction on.
    bool Suspended() const override { return m_suspended; }
    void SetSuspended(bool on) { m_suspended = on; }
    TNodeArray& Nodes() override { return m_nodes; }
    // The form answers the board questions of what it owns itself (the hidden rail components);
    // the board surface answers them for the placed components through the form.
    void ShowError(const QString& text) override;
    QList<QObject*> BoardComponents() const override;
    // The value returned to the host for the access being handled; -1 = none.
    int HostReply() const { return m_hostReply; }

    // The board's window exists once it has been shown or its native window created (winId()).
    bool HasWindow() const override;
    // Shows where a spread gave up (the board oscillates) in the status bar.
    void ReportOscillation(const QString& where) override;
    // The last oscillation report's text; empty when there was none.
    const QString& LastOscillation() const { return m_lastOscillation; }

    // The three view modes for every component of the board; plain labels show in the schematic
    // and hybrid views only. A component whose pictures cannot be loaded is reported once.
    void ShowSchematicView();
    void ShowHybridView();
    void ShowComponentView();

    // ---- reactions of the board, wired to its window's and the board's events
    virtual void BoardActivated(); // window activated
    virtual void BuildSchematic(); // window shown
    virtual void BoardHidden();    // window hidden
    virtual void MouseMoveOnBoard(QObject* sender, Qt::MouseButtons buttons,
                                  Qt::KeyboardModifiers modifiers, const QPoint& pos);
    virtual void MouseDownOnBoard(QObject* sender, Qt::MouseButton button,
                                  Qt::KeyboardModifiers modifiers, const QPoint& pos);
    virtual void ClearSchematic();
    // The node table operations of the present build (valid while Nodes is not empty).
    NodeTable* Schematic() { return m_schematic.get(); }
    virtual void ProbeTick();
    // Whether the contacts carry levels for the probe to show. A form that edits the board
    // answers false while it does: nothing is spread then, and the probe shows the wiring.
    virtual bool ProbeShowsLevels() const { return true; }

    // ---- the probe: its window, its timer and the component under the pointer
    QWidget* ProbeWindow() const { return m_probeWindow.data(); }
    SimTimer* ProbeTimer() const { return m_probeTimer; }
    TOrvexGraphicComponent* Hovered() const { return m_hovered.data(); }
    // The probe window's text as laid out (lines joined by CR LF); empty while none is open.
    QString ProbeText() const;
    // True when `contact` is a host pin, count > 0 and one of the first `count` items of `list`
    // holds a host pin of the same address and bit.
    static bool SameHostPinListed(const TOrvexPinDriver* contact, int count,
                                  const TComponentList& list);

    // The pointer left the board for the rest of the window or another one: no probe opens until
    // it is back.
    void PointerLeftBoard();
    // Closes the probe window, if one is open, and stops the probe timer.
    void CloseProbeWindow();

    // The part of the board the form shows (the scroll area's viewport), in board coordinates.
    QRect ClientArea() const;

    // ---- the hidden rail components while running
    TOrvexGraphicComponent* CommonGND() const { return m_commonGND.data(); }
    TOrvexGraphicComponent* CommonVcc() const { return m_commonVcc.data(); }

    // The menu a right-button press on the empty board opens; none by default.
    QMenu* PopupMenu() const { return m_popupMenu.data(); }
    void SetPopupMenu(QMenu* menu) { m_popupMenu = menu; }

    qintptr HandleMessage(quint32 msg, quint32 wParam, qintptr lParam) override;

    // Where 2033, 2036 and 2037 are forwarded: the application's main window (not owned). None
    // by default; the forwarded messages then answer 0.
    static void SetApplicationMainWindow(MessageTarget* target);
    static MessageTarget* ApplicationMainWindow();

protected:
    // The link to the board's own host (simulation/hostlink.h) runs the form's own handlers of
    // its accesses and starts, whatever a derived form makes of an outside host's.
    friend class TBoardFormLink;
    // One handler per host message.
    virtual qintptr HostAccessMessage(quint32 wParam, qintptr lParam); // 2026
    // Hands the access to the board's components in child order: all of them, or only those that
    // decode its address (DecodingComponents), which are the only ones that take it.
    qintptr DeliverHostAccess(quint32 wParam, qintptr lParam, bool decodersOnly);
    virtual qintptr HostStartMessage(quint32 wParam, qintptr lParam); // 2029
    virtual qintptr HostReplyMessage(quint32 wParam, qintptr lParam); // 2031
    // 2033, 2036, 2037: passed on unchanged to the application's main window.
    virtual qintptr ForwardToMainWindow(quint32 msg, quint32 wParam, qintptr lParam);

    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

    // First member: the form is suspended before anything else of it exists.
    bool m_suspended = true;
    QPoint m_probePoint; // the pointer position the probe last used (screen coordinates)
    bool m_probing = false;
    QPointer<QWidget> m_probeWindow;
    SimTimer* m_probeTimer = nullptr; // owned
    QPointer<TOrvexGraphicComponent> m_hovered;
    // Where the pointer is, as the last mouse move over the board told (screen coordinates).
    QPoint m_pointer;
    bool m_pointerOnBoard = false;
    QPointer<TOrvexGraphicComponent> m_commonGND;
    QPointer<TOrvexGraphicComponent> m_commonVcc;
    int m_hostReply = -1;
    TNodeArray m_nodes;
    std::unique_ptr<NodeTable> m_schematic;

private:
    void ApplyVisibility(TVisibility mode, bool labelsShown);

    QString m_lastOscillation;
    QPointer<QMenu> m_popupMenu;
    // Forwards to the main window under way on the native stack.
    int m_forwardDepth = 0;
    QScrollArea* m_scrollArea = nullptr;
    TBoardSurface* m_board = nullptr;
};
