#pragma once

#include <QColor>
#include <QList>
#include <QPixmap>
#include <QPointer>
#include <QString>
#include <functional>

#include "platform/dialogs.h"
#include "simulation/simform.h"

class QAction;
class QActionGroup;
class QLabel;
class QToolBar;
class QToolButton;
class QUndoStack;
class TSelectRect;
class TfrmProp;
struct TBoardState;

// The main window: the editor. It is the board form itself, so every component the user places
// belongs to its board. It adds the tool bar (one button per placeable class and Run), the menus,
// placing and naming, selecting (one component by clicking, several with the rubber band),
// moving and resizing on a grid, deleting, and the Run mode in which the board simulates and
// editing is off.
//
// The simulation starts and stops only from the Run button: the board form's reactions to being
// shown, hidden and activated, and its host-message handlers, do nothing here.
//
// Positions are board coordinates (the board surface's); the band below the tool bar is y = 0.
class TfrmPlugin : public TSimForm {
    Q_OBJECT

public:
    // Grid sizes are kept within 1..MaxGridSize: a larger grid has no use on a screen and would
    // make the sizes derived from it (six steps as the least component size) overflow.
    static constexpr int MaxGridSize = 1000;

    explicit TfrmPlugin(QWidget* parent = nullptr);
    ~TfrmPlugin() override;

    // ---- window state
    int DownX() const { return m_downX; }
    int DownY() const { return m_downY; }
    int CurrentTool() const { return m_currentTool; }
    bool Running() const { return m_running; }
    // The multi-selection made with the rubber band; empty when at most one component is selected
    // (that one is the edited object).
    QList<TOrvexGraphicComponent*> Selection() const;
    // The object the property editor shows: the single selection. None while nothing or several
    // components are selected.
    QObject* EditedObject() const { return m_edited.data(); }
    // The board file last opened or saved; empty at start and after New.
    const QString& FileName() const { return m_fileName; }
    void SetFileName(const QString& name) { m_fileName = name; }
    // Every change a user makes sets it (through the undo stack, whose clean state clears it
    // again); cleared by New, Open and Save. The running simulation never sets it.
    bool Modified() const { return m_modified; }
    void SetModified(bool on);
    // "Save changes to NAME?" while the board is modified: true when the board may be replaced
    // (saved, or the user discards it), false when the user cancelled or the save failed.
    bool QuerySaveChanges();
    // The name the title and the save question show: the file's name, or "untitled".
    QString DisplayName() const;
    QUndoStack* UndoStack() const { return m_undo; }
    TfrmProp* PropertiesWindow() const { return m_frmProp; }
    // The boards last opened or saved, the latest first (at most MaxRecentFiles).
    static constexpr int MaxRecentFiles = 8;
    QStringList RecentFiles() const;
    int GridSize() const { return m_gridSize; }
    // Clamped to 1..MaxGridSize; repaints the board.
    void SetGridSize(int size);
    TSelectRect* SelectRect() const { return m_selectRect; }
    // The visible part of the board, in board coordinates: what "the client area" is for
    // placing in the centre and for the edges a lone component stops at.
    QRect ClientArea() const;
    // What the status bar shows: "Running" while Run is on, and the last oscillation report.
    QString StatusText() const;

    // ---- controls
    QToolBar* ToolBar() const { return m_toolBar; }
    // The component button of a Tag (1..20), or nullptr.
    QToolButton* ToolButton(int tag) const;
    // Every tool bar button from left to right; the Run button is the last.
    const QList<QToolButton*>& ToolButtons() const { return m_buttons; }
    QToolButton* RunButton() const { return m_tbRun; }
    QMenu* FileMenu() const { return m_mnuFile; }
    QMenu* RecentMenu() const { return m_mnuRecent; }
    QMenu* EditMenu() const { return m_mnuEdit; }
    QMenu* ViewMenu() const { return m_mnuView; }
    QMenu* VisibilityMenu() const { return m_mnuVisibility; }
    // The visibility items of Tag 0 (schematic), 1 (hybrid) and 2 (components only).
    QAction* VisibilityItem(int tag) const;
    QAction* StayOnTopItem() const { return m_miStayOnTop; }

    // ---- commands (the menu and tool bar handlers)
    void ButtonClick(QToolButton* sender);
    void tbRunClick();
    void miNewClick();
    void miSaveClick();
    void miSaveAsClick();
    void miLoadClick();
    void miExitClick() { close(); }
    // Opens a board after the save question (Open Recent, the command line). False when the
    // user cancelled or the file did not open.
    bool OpenFile(const QString& fileName);
    void CutClick();
    void CopyClick();
    void PasteClick();
    void DuplicateClick();
    void SelectAllClick();
    void CyclePropFrmExecute();
    void Gridsize1Click();
    void VisibilityClick(QAction* sender);
    void miStayOnTopClick();

    // ---- events of the board and of the placed components
    // A left click on the board's background at pos: drops the single selection and places the
    // armed tool's component there.
    void FormClick(const QPoint& pos);
    // A button released over the board: ends the rubber band and selects what it encloses.
    void FormMouseUp(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, const QPoint& pos);
    // The wheel over the board. With Ctrl held it changes the grid size by one per notch and
    // returns true (taken); otherwise false, and the board scrolls.
    bool FormMouseWheel(int angleDelta, Qt::KeyboardModifiers modifiers);
    // Assigned to every placed or loaded component; pos is in the component's coordinates.
    void ObjectMouseDown(QObject* sender, Qt::MouseButton button, Qt::KeyboardModifiers modifiers,
                         const QPoint& pos);
    void ObjectMouseMove(QObject* sender, Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers,
                         const QPoint& pos);
    // The Delete key: removes the selection. True when the key was taken.
    bool ObjectKeyDown(int key, Qt::KeyboardModifiers modifiers);
    // Makes sender the single selection; showProperties opens the properties window.
    void ObjectClick(QObject* sender, bool showProperties);
    // Closing: leaves Run, empties the board; false refuses the close.
    bool FormClose();

    // ---- operations (also for the board file reader)
    // Names, sizes, positions (in the centre, else at the grid point of `at`) and wires a new
    // component owned by the board, and gives it the Visibility menu's mode.
    void PlaceComponent(TOrvexGraphicComponent* component, int width, int height, bool atCentre,
                        const QPoint& at = QPoint());
    // Gives an unnamed component the first free name of its class ("LED1", "GateAND2").
    void NameComponent(TOrvexGraphicComponent* component);
    // Hands the component's mouse presses and moves to this window (placing and loading do it).
    void WireComponent(TOrvexGraphicComponent* component);
    // Places the component in the middle of the visible board, one grid step right and down of
    // a component already standing there.
    void SetNewPosition(TOrvexGraphicComponent* component);
    void ReleaseTool();
    // Drops the selection marks; keep (may be nullptr) stays the edited object.
    void ClearSelection(QObject* keep);
    void MoveComponentBy(QWidget* component, int dx, int dy);
    // New: leaves Run, destroys every component (last owned first), clears Modified and
    // FileName. True on success.
    bool ClearBoard();
    // Open: replaces the board with the file's components and reports how many were loaded.
    // The file is read completely first: one that cannot be read as a whole, or that holds no
    // component, leaves the board, FileName and Modified as they were and returns false. One of
    // which parts were left out opens with FileName empty, so that Save asks before overwriting it.
    bool LoadFromFile(const QString& fileName);
    // Writes the board to the file in one step (a failed write leaves the old file); reports a
    // failure and returns false. Clears Modified on success.
    bool SaveToFile(const QString& fileName);
    void MessageError(const QString& text);

    // ---- editing through the undo stack
    // The selected components (the multi-selection, else the edited object), in ownership order.
    QList<TOrvexGraphicComponent*> SelectedComponents() const;
    // The selection as board-file text (the writer of Save), wires to components outside it left
    // out; empty with nothing selected.
    QString SelectionText() const;
    // Adds the components of board-file text, renamed where their names are taken, one grid step
    // right and down, and selects them. Throws on text that is no board.
    void PasteText(const QString& text);
    // Removes the components named by removeNames and brings back those of state, as one step
    // of the undo stack does; the brought-back components become the selection.
    void ApplyBoardState(const QStringList& removeNames, const TBoardState& state);
    // Moves or resizes the named components to the rectangles (an undo step).
    void ApplyGeometry(const QStringList& names, const QList<QRect>& rects);
    // ---- board form reactions: the simulation runs from the Run button only
    void BoardActivated() override {}
    void BuildSchematic() override {}
    void BoardHidden() override {}
    void MouseMoveOnBoard(QObject* sender, Qt::MouseButtons buttons,
                          Qt::KeyboardModifiers modifiers, const QPoint& pos) override;
    void MouseDownOnBoard(QObject* sender, Qt::MouseButton button, Qt::KeyboardModifiers modifiers,
                          const QPoint& pos) override;
    void ReportOscillation(const QString& where) override;

protected:
    // This window answers no host simulator.
    qintptr HostAccessMessage(quint32, qintptr) override { return 0; }
    qintptr HostStartMessage(quint32, qintptr) override { return 0; }
    qintptr HostReplyMessage(quint32, qintptr) override { return 0; }
    qintptr ForwardToMainWindow(quint32, quint32, qintptr) override { return 0; }

    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool focusNextPrevChild(bool) override { return false; }
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    // No context menu for hiding the tool bar or the menus.
    QMenu* createPopupMenu() override { return nullptr; }

private:
    void CreateMenus();
    void CreateToolBar();
    void FormCreate();
    // Runs a command, showing anything it throws instead of letting it cross Qt's dispatch.
    template <typename F> void Guard(F&& command) {
        try {
            command();
        } catch (const std::exception& error) {
            ReportError(this, error);
        }
    }
    void UpdateRunControls();
    void UpdateStatus();
    void PaintGrid(QPainter& painter, const QRect& exposed);
    void CreateComponent(int tag, bool atCentre, const QPoint& at);
    bool InSelection(QObject* object) const;
    bool HasMultiSelection() const;
    void UnmarkEdited();
    void SetEditedObject(QObject* object);

    void PropertiesFormResize();
    bool PropertiesWindowVisible() const;
    void ShowPropertiesWindow();
    void HidePropertiesWindow();

    void CreateEditMenu();
    // Undo and Redo are enabled when the stack has a step for them, and never while running.
    void UpdateUndoActions();
    void UpdateTitle();
    void AddRecentFile(const QString& fileName);
    void UpdateRecentMenu();
    void ClearUndo();
    // Writes a property of a placed component through the undo stack.
    void WriteProperty(QObject* obj, const QString& propName, const std::function<void()>& write);
    // Pushes the step that took the board from before to after (both of the same names).
    void PushStateStep(const QString& text, TBoardState before, TBoardState after);
    // Moves the components by whole grid steps as one undo step (the arrow keys).
    void MoveSelectionBy(int dx, int dy);
    // Runs a geometry change of components as one undo step; merged with the steps of the same
    // drag.
    void GeometryStep(const QString& text, const QList<QWidget*>& widgets,
                      const std::function<void()>& change);
    void DeleteSelected(const QString& text);
    void ShowRestored(const QList<TOrvexGraphicComponent*>& restored);
    int m_downX = -1;
    int m_downY = -1;
    int m_currentTool = 0;
    qint64 m_toolTick = 0;
    int m_doubleClickTime = 500;
    bool m_running = false;
    bool m_modified = false;
    int m_gridSize = 4;
    int m_wheelRest = 0; // wheel turn below one notch (high-resolution wheels)
    bool m_boardPressed = false;
    QString m_fileName;
    QString m_oscillation; // reported during the present (or last) run
    QPointer<QObject> m_edited;
    QList<QPointer<TOrvexGraphicComponent>> m_selection;
    TSelectRect* m_selectRect = nullptr; // owned by the board
    QPixmap m_gridTile;
    int m_gridTileSize = 0;
    QColor m_gridTileColor;

    QToolBar* m_toolBar = nullptr;
    QList<QToolButton*> m_buttons;
    QList<int> m_buttonTags; // parallel to m_buttons; 0 for Run
    QToolButton* m_tbRun = nullptr;
    QMenu* m_mnuFile = nullptr;
    QMenu* m_mnuRecent = nullptr;
    QMenu* m_mnuEdit = nullptr;
    QAction* m_miUndo = nullptr;
    QAction* m_miRedo = nullptr;
    QUndoStack* m_undo = nullptr;
    TfrmProp* m_frmProp = nullptr; // a window of its own, deleted with this one
    int m_dragSession = 0;         // moves of one drag merge into one undo step
    bool m_applying = false;       // an undo step is changing the board
    bool m_writeRecorded = false;  // the grid's last write went through the undo stack
    QMenu* m_mnuView = nullptr;
    QMenu* m_mnuVisibility = nullptr;
    QActionGroup* m_visibilityGroup = nullptr;
    QAction* m_miStayOnTop = nullptr;
    QLabel* m_statusLabel = nullptr;
};
