#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <memory>

#include "editor/editcommands.h"
#include "editor/filecommands.h"
#include "editor/grid.h"
#include "editor/selection.h"
#include "editor/wiretool.h"
#include "platform/dialogs.h"
#include "simulation/hostlink.h"
#include "simulation/simform.h"

class QAction;
class QActionGroup;
class QLabel;
class QToolBar;
class TDebuggerUi;
class TFirmwareUi;
class TAutosave;
class TWindowExtras;
class QToolButton;
class QUndoStack;
class TSelectRect;
class TfrmProp;
struct TBoardState;

// The main window: the editor. It is the board form itself, so every component the user places
// belongs to its board. It adds the tool bar (one button per placeable class and Run), the menus,
// placing and naming, moving and resizing on the grid, and the Run mode in which the board
// simulates and editing is off. Its parts keep their own state: the selection and rubber band
// (TBoardSelection), the grid (TBoardGrid), the Edit menu and undo stack (TEditCommands), the File
// menu and the board's file (TFileCommands), the wire tool (TWireTool), the link to the board's
// own host (TBoardFormLink) and the firmware's menu and panels (TFirmwareUi). The members below
// that only hand on to a part keep the window's interface for its callers (the undo steps, the
// firmware's menu, tests, tools and benchmarks).
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
    // Open Recent lists at most this many boards.
    static constexpr int MaxRecentFiles = 8;

    explicit TfrmPlugin(QWidget* parent = nullptr);
    ~TfrmPlugin() override;

    // Runs a command, showing anything it throws instead of letting it cross Qt's dispatch.
    template <typename F> void Guard(F&& command) {
        try {
            command();
        } catch (const std::exception& error) {
            ReportError(this, error);
        }
    }

    // ---- window state
    int DownX() const { return m_downX; }
    int DownY() const { return m_downY; }
    int CurrentTool() const { return m_currentTool; }
    bool Running() const { return m_running; }
    TfrmProp* PropertiesWindow() const { return m_frmProp; }
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
    QMenu* ViewMenu() const { return m_mnuView; }
    QMenu* VisibilityMenu() const { return m_mnuVisibility; }
    // The visibility items of Tag 0 (schematic), 1 (hybrid) and 2 (components only).
    QAction* VisibilityItem(int tag) const;
    QAction* StayOnTopItem() const { return m_miStayOnTop; }

    // ---- the window's commands (the menu and tool bar handlers)
    void ButtonClick(QToolButton* sender);
    void tbRunClick();
    void miExitClick() { close(); }
    void CyclePropFrmExecute();
    void VisibilityClick(QAction* sender);
    void miStayOnTopClick();

    // ---- events of the board and of the placed components
    // A left click on the board's background at pos: drops the single selection and places the
    // armed tool's component there.
    void FormClick(const QPoint& pos);
    // Assigned to every placed or loaded component; pos is in the component's coordinates.
    void ObjectMouseDown(QObject* sender, Qt::MouseButton button, Qt::KeyboardModifiers modifiers,
                         const QPoint& pos);
    void ObjectMouseMove(QObject* sender, Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers,
                         const QPoint& pos);
    // The Delete key: removes the selection. True when the key was taken.
    bool ObjectKeyDown(int key, Qt::KeyboardModifiers modifiers);
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
    void MoveComponentBy(QWidget* component, int dx, int dy);
    // New: leaves Run, destroys every component (last owned first), clears Modified and
    // FileName. True on success.
    bool ClearBoard();
    void MessageError(const QString& text);

    // ---- the selection (TBoardSelection)
    QList<TOrvexGraphicComponent*> Selection() const { return m_select->Selection(); }
    QObject* EditedObject() const { return m_select->EditedObject(); }
    QList<TOrvexGraphicComponent*> SelectedComponents() const {
        return m_select->SelectedComponents();
    }
    TSelectRect* SelectRect() const { return m_select->Band(); }
    void ClearSelection(QObject* keep) { m_select->ClearSelection(keep); }
    void ObjectClick(QObject* sender, bool showProperties) {
        m_select->ObjectClick(sender, showProperties);
    }
    // A button released over the board: ends the rubber band and selects what it encloses.
    void FormMouseUp(Qt::MouseButton button, Qt::KeyboardModifiers modifiers, const QPoint& pos);

    // ---- the grid (TBoardGrid)
    int GridSize() const { return m_grid->Size(); }
    void SetGridSize(int size) { m_grid->SetSize(size); }
    void Gridsize1Click() { m_grid->AskSize(); }
    bool FormMouseWheel(int angleDelta, Qt::KeyboardModifiers modifiers) {
        return m_grid->Wheel(angleDelta, modifiers);
    }

    // ---- the Edit menu and the undo stack (TEditCommands)
    QUndoStack* UndoStack() const { return m_edits->UndoStack(); }
    QMenu* EditMenu() const { return m_edits->Menu(); }
    void CutClick() { m_edits->CutClick(); }
    void CopyClick() { m_edits->CopyClick(); }
    void PasteClick() { m_edits->PasteClick(); }
    void DuplicateClick() { m_edits->DuplicateClick(); }
    void SelectAllClick() { m_edits->SelectAllClick(); }
    QString SelectionText() const { return m_edits->SelectionText(); }
    void PasteText(const QString& text) { m_edits->PasteText(text); }
    void ApplyBoardState(const QStringList& removeNames, const TBoardState& state) {
        m_edits->ApplyBoardState(removeNames, state);
    }
    void ApplyGeometry(const QStringList& names, const QList<QRect>& rects) {
        m_edits->ApplyGeometry(names, rects);
    }

    // ---- the File menu and the board's file (TFileCommands)
    QMenu* FileMenu() const { return m_files->Menu(); }
    QMenu* RecentMenu() const { return m_files->RecentMenu(); }
    const QString& FileName() const { return m_files->FileName(); }
    void SetFileName(const QString& name) { m_files->SetFileName(name); }
    bool Modified() const { return m_files->Modified(); }
    void SetModified(bool on) { m_files->SetModified(on); }
    bool QuerySaveChanges() { return m_files->QuerySaveChanges(); }
    QString DisplayName() const { return m_files->DisplayName(); }
    QStringList RecentFiles() const { return m_files->RecentFiles(); }
    bool LoadFromFile(const QString& fileName) { return m_files->LoadFromFile(fileName); }
    bool SaveToFile(const QString& fileName) { return m_files->SaveToFile(fileName); }
    bool OpenFile(const QString& fileName) { return m_files->OpenFile(fileName); }
    void miNewClick() { m_files->miNewClick(); }
    void miSaveClick() { m_files->miSaveClick(); }
    void miSaveAsClick() { m_files->miSaveAsClick(); }
    void miLoadClick() { m_files->miLoadClick(); }

    // ---- wires drawn with the mouse (TWireTool)
    QAction* ShowWiresItem() const { return m_wires->ShowWiresItem(); }
    TWireOverlay* WireOverlay() const { return m_wires->Overlay(); }
    void WritePropertyText(QObject* obj, const QString& propName, const QString& text) {
        m_wires->WritePropertyText(obj, propName, text);
    }
    QString DrawWire(const TWireEnd& from, const TWireEnd& to) {
        return m_wires->DrawWire(from, to);
    }
    QString DisconnectEnd(const TWireEnd& end) { return m_wires->DisconnectEnd(end); }
    QString NetText(const QList<TOrvexPinDriver*>& net) const { return m_wires->NetText(net); }
    TWireEnd WireEndAtBoard(const QPoint& boardPos) const {
        return m_wires->WireEndAtBoard(boardPos);
    }

    // ---- the board's own host: the firmware (TBoardFormLink)
    void SetBoardHost(MessageTarget* host) { m_hostLink->SetBoardHost(host); }
    MessageTarget* BoardHost() const { return m_hostLink->BoardHost(); }
    // The board form's own handling of host accesses (2026) and starts (2029), for the board's
    // host. This window's own message handlers stay silent for every other sender.
    MessageTarget* BoardFormLink() { return m_hostLink.get(); }
    // The Firmware menu, its tool buttons, docks and status (created with the window).
    TFirmwareUi* Firmware() const { return m_firmware; }
    // The Debug menu and the debugger's docks.
    TDebuggerUi* Debugger() const { return m_debugger; }
    // Recovery copies of the modified board (created with the window, started by the program).
    TAutosave* Autosave() const { return m_autosave; }
    // Export Picture, Print and the Help menu.
    TWindowExtras* Extras() const { return m_extras; }

signals:
    // Run mode was entered or left.
    void RunningChanged(bool running);
    // A board file was opened (also when parts of it were left out).
    void BoardOpened(const QString& fileName);
    // The board was emptied (New, Open before it reads, Close): nothing of it is left.
    void BoardCleared();

public:
    // ---- board form reactions: the simulation runs from the Run button only
    void BoardActivated() override {}
    void BuildSchematic() override {}
    void BoardHidden() override {}
    void MouseMoveOnBoard(QObject* sender, Qt::MouseButtons buttons,
                          Qt::KeyboardModifiers modifiers, const QPoint& pos) override;
    void MouseDownOnBoard(QObject* sender, Qt::MouseButton button, Qt::KeyboardModifiers modifiers,
                          const QPoint& pos) override;
    void ReportOscillation(const QString& where) override;
    // Levels exist only while running; while editing the probe shows the wiring.
    bool ProbeShowsLevels() const override { return m_running; }

protected:
    // This window answers no host simulator.
    qintptr HostAccessMessage(quint32, qintptr) override { return 0; }
    qintptr HostStartMessage(quint32, qintptr) override { return 0; }
    // Only a reply during an access of the board's own host is kept.
    qintptr HostReplyMessage(quint32 wParam, qintptr lParam) override;
    // The board's reports go to the board's own host, if any.
    qintptr ForwardToMainWindow(quint32 msg, quint32 wParam, qintptr lParam) override;

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
    void UpdateRunControls();
    void UpdateStatus();
    void CreateComponent(int tag, bool atCentre, const QPoint& at);

    // The parts; each is made before any of them is set up, and set up where the window's
    // construction needs it (menus in their order, the rubber band above the wire lines).
    std::unique_ptr<TBoardSelection> m_select;
    std::unique_ptr<TBoardGrid> m_grid;
    std::unique_ptr<TEditCommands> m_edits;
    std::unique_ptr<TFileCommands> m_files;
    std::unique_ptr<TWireTool> m_wires;
    std::unique_ptr<TBoardFormLink> m_hostLink;
    TFirmwareUi* m_firmware = nullptr;
    TDebuggerUi* m_debugger = nullptr;
    TAutosave* m_autosave = nullptr;
    TWindowExtras* m_extras = nullptr;
    TfrmProp* m_frmProp = nullptr; // a window of its own, deleted with this one

    int m_downX = -1;
    int m_downY = -1;
    int m_currentTool = 0;
    qint64 m_toolTick = 0;
    int m_doubleClickTime = 500;
    bool m_running = false;
    bool m_boardPressed = false;
    QString m_oscillation; // reported during the present (or last) run
    QString m_shownHint;   // the hovered component's hint in the status bar

    QToolBar* m_toolBar = nullptr;
    QList<QToolButton*> m_buttons;
    QList<int> m_buttonTags; // parallel to m_buttons; 0 for Run
    QToolButton* m_tbRun = nullptr;
    QMenu* m_mnuView = nullptr;
    QMenu* m_mnuVisibility = nullptr;
    QActionGroup* m_visibilityGroup = nullptr;
    QAction* m_miStayOnTop = nullptr;
    QLabel* m_statusLabel = nullptr;
};
