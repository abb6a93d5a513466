#pragma once

#include <QList>
#include <QRect>
#include <QString>
#include <QStringList>
#include <functional>

class QAction;
class QMenu;
class QObject;
class QUndoStack;
class QWidget;
class TBoardSelection;
class TfrmPlugin;
class TOrvexGraphicComponent;
struct TBoardState;

// The Edit menu and the one undo stack every change of the board goes through: undo and redo, the
// clipboard as board-file text (Cut, Copy, Paste, Duplicate), Select All, deleting and moving the
// selection, and the steps that property writes, placing, moving and resizing push.
class TEditCommands {
public:
    TEditCommands(TfrmPlugin& window, TBoardSelection& selection);

    QUndoStack* UndoStack() const { return m_undo; }
    QMenu* Menu() const { return m_menu; }
    // Adds the Edit menu to the window's menu bar.
    void CreateMenu();
    // Undo and Redo are enabled when the stack has a step for them, and never while running.
    void UpdateUndoActions();

    // ---- steps
    // Pushes the step that took the board from before to after (both of the same names).
    void PushStateStep(const QString& text, TBoardState before, TBoardState after);
    // Writes a property of a placed component through the undo stack.
    void WriteProperty(QObject* obj, const QString& propName, const std::function<void()>& write);
    // Whether the grid's last write went through the undo stack; asking clears it.
    bool TakeWriteRecorded();
    // A press starts a new drag: what it drags is one undo step.
    void StartDrag() { ++m_dragSession; }
    // Runs a geometry change of components as one undo step; merged with the steps of the same
    // drag.
    void GeometryStep(const QString& text, const QList<QWidget*>& widgets,
                      const std::function<void()>& change);
    // Moves or resizes the named components to the rectangles (an undo step).
    void ApplyGeometry(const QStringList& names, const QList<QRect>& rects);
    // Removes the components named by removeNames and brings back those of state, as one step
    // of the undo stack does; the brought-back components become the selection.
    void ApplyBoardState(const QStringList& removeNames, const TBoardState& state);
    void DeleteSelected(const QString& text);
    // Moves the components by whole grid steps as one undo step (the arrow keys).
    void MoveSelectionBy(int dx, int dy);

    // ---- clipboard
    // Grid steps right and down between a pasted copy and where the text puts it.
    static constexpr int PasteSteps = 2;

    // The selection as board-file text (the writer of Save), with the wires to components outside
    // it; empty with nothing selected.
    QString SelectionText() const;
    // Adds the components of board-file text, renamed where their names are taken, PasteSteps
    // grid steps right and down (a further PasteSteps for each paste of the same text in a row),
    // and selects them. Throws on text that is no board.
    void PasteText(const QString& text);
    void CutClick();
    void CopyClick();
    void PasteClick();
    void DuplicateClick();
    void SelectAllClick();

private:
    TfrmPlugin& m_window;
    TBoardSelection& m_selection;
    QUndoStack* m_undo = nullptr; // a child of the window
    QMenu* m_menu = nullptr;
    QAction* m_miUndo = nullptr;
    QAction* m_miRedo = nullptr;
    int m_dragSession = 0;        // moves of one drag merge into one undo step
    bool m_applying = false;      // an undo step is changing the board
    bool m_writeRecorded = false; // the grid's last write went through the undo stack
    // The text pasted last and how often in a row: each paste of the same text lands a further
    // PasteSteps grid steps away, so that copies do not pile up on one spot.
    QString m_lastPasted;
    int m_pasteCount = 0;
};
