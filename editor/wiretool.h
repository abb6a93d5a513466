#pragma once

#include <QList>
#include <QPoint>
#include <QPointer>
#include <QString>

#include "editor/wires.h"

class QAction;
class QEvent;
class QMenu;
class QObject;
class QTimer;
class TBoardSelection;
class TEditCommands;
class TfrmPlugin;
class TOrvexGraphicComponent;
class TOrvexPinDriver;

// Wires drawn with the mouse: the lines over the board and View > Show Wires, dragging a wire from
// one contact's stub to another's, Disconnect and the net highlight.
class TWireTool {
public:
    static constexpr double WireSnap = 6.0; // pixels around a stub that reach it, at 96 dpi

    TWireTool(TfrmPlugin& window, TEditCommands& edits, TBoardSelection& selection);

    // Adds View > Show Wires and the lines over the board.
    void CreateView(QMenu* viewMenu);
    // View > "Show Wires": one remembered setting for editing (on at first) and one for Run
    // (off at first); the item shows the present mode's.
    QAction* ShowWiresItem() const { return m_miShowWires; }
    TWireOverlay* Overlay() const { return m_overlay; }
    // Follows the window into or out of Run.
    void UpdateView();
    // The wires may have changed (a property written): the lines are drawn afresh.
    void Invalidate();
    // An event of the board: components come and go, the board changes its size.
    void BoardEvent(QEvent* event);

    // Writes a property from its text exactly as the property grid does (one undo step).
    void WritePropertyText(QObject* obj, const QString& propName, const QString& text);
    // Wires two contacts by one property write, the one the grid would make: the property of
    // the end that is not wired yet (from's when neither is), so that no wire is lost. Returns
    // the reason when the wire is refused (nothing changes then), else an empty text.
    QString DrawWire(const TWireEnd& from, const TWireEnd& to);
    // Removes every wire of the contact as one undo step (its property set to "nil" where it has
    // one). Returns the reason when there is nothing to remove.
    QString DisconnectEnd(const TWireEnd& end);
    // The names of a net for the status bar: "LED1.Anode — SW1.Contact2".
    QString NetText(const QList<TOrvexPinDriver*>& net) const;
    // How far from a stub the pointer reaches it: WireSnap, more on a screen whose logical
    // pixels are small (a larger font setting), so that the target is as large to the hand.
    double SnapRadius() const;
    // The contact end under a board point (the nearest stub within SnapRadius).
    TWireEnd WireEndAtBoard(const QPoint& boardPos) const;
    // Wire dragging, Disconnect and the net highlight on a component; true when taken.
    bool ComponentEvent(TOrvexGraphicComponent* component, QEvent* event);

private:
    void ShowWiresClick();
    void CancelWireDrag(const QString& message);
    void ClearNetHighlight();

    TfrmPlugin& m_window;
    TEditCommands& m_edits;
    TBoardSelection& m_selection;
    TWireOverlay* m_overlay = nullptr; // owned by the board
    QAction* m_miShowWires = nullptr;
    bool m_wiresWhileEditing = true;
    bool m_wiresWhileRunning = false;
    QTimer* m_wireLevels = nullptr; // repaints the coloured lines while running
    TWireEnd m_wireFrom;            // the drag's start; invalid while no wire is being drawn
    QPointer<QObject> m_wireFromComponent;
    QPointer<QObject> m_hoverComponent;
};
