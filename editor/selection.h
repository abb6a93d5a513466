#pragma once

#include <QList>
#include <QPoint>
#include <QPointer>
#include <Qt>

class QObject;
class TfrmPlugin;
class TOrvexGraphicComponent;
class TSelectRect;

// What is selected on the main window's board: the edited object (the single selection, the one
// the properties window shows), the multi-selection made with the rubber band, the selection marks
// of both, and the rubber band itself.
class TBoardSelection {
public:
    explicit TBoardSelection(TfrmPlugin& window);

    // Creates the rubber band, hidden, on the board.
    void CreateBand();
    TSelectRect* Band() const { return m_band; }

    // The multi-selection made with the rubber band; empty when at most one component is selected
    // (that one is the edited object).
    QList<TOrvexGraphicComponent*> Selection() const;
    // The object the property editor shows: the single selection. None while nothing or several
    // components are selected.
    QObject* EditedObject() const { return m_edited.data(); }
    // The selected components (the multi-selection, else the edited object), in ownership order.
    QList<TOrvexGraphicComponent*> SelectedComponents() const;
    bool InSelection(QObject* object) const;
    bool HasMultiSelection() const;

    void UnmarkEdited();
    void SetEditedObject(QObject* object);
    // Drops the selection marks; keep (may be nullptr) stays the edited object.
    void ClearSelection(QObject* keep);
    // Makes sender the single selection; showProperties opens the properties window.
    void ObjectClick(QObject* sender, bool showProperties);
    // Components brought back or added by an edit become the selection: one is the edited
    // object, several the multi-selection.
    void ShowRestored(const QList<TOrvexGraphicComponent*>& restored);
    // Forgets the multi-selection without touching its marks (its components are going).
    void Forget() { m_selection.clear(); }

    // ---- the rubber band
    // A press on the board's background: the left button starts a band there, another ends one.
    void BandPress(Qt::MouseButton button, const QPoint& pos);
    // The pointer moved over the board with the buttons held.
    void BandMove(Qt::MouseButtons buttons, const QPoint& pos);
    // A button released over the board: ends the band and selects what it encloses.
    void BandRelease(const QPoint& pos);
    // The window lost the focus: the band ends without selecting.
    void BandCancel();

private:
    TfrmPlugin& m_window;
    QPointer<QObject> m_edited;
    QList<QPointer<TOrvexGraphicComponent>> m_selection;
    TSelectRect* m_band = nullptr; // owned by the board
};
