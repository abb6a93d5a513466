#pragma once

#include <QDateTime>
#include <QFileSystemWatcher>
#include <QObject>
#include <QStringList>
#include <QTimer>

#include "editor/codeview.h"

class QAction;
class QActionGroup;
class QDockWidget;
class QLabel;
class QMenu;
class QTableView;
class TBreakpointsModel;
class TCallStackModel;
class TFirmwareRunner;
class TFirmwareUi;
class TMemoryView;
class TStopwatch;
class TVariablesModel;
class TWatchModel;
class TfrmPlugin;
namespace mcs51 {
struct Function;
}

// The Debug menu and the debugger's docks: code (source, disassembly or mixed, with the breakpoint
// gutter), variables and watches, memory, call stack, breakpoints; the stopwatch in the register
// panel and the status bar. Breakpoints are remembered per firmware by source line and come back
// when it is loaded again; a firmware rebuilt on disk is reloaded (asked, always or never) with
// the board kept and the breakpoints re-resolved.
class TDebuggerUi : public QObject {
    Q_OBJECT

public:
    enum class ReloadPolicy { Ask, Always, Never };

    TDebuggerUi(TfrmPlugin* window, TFirmwareUi* firmware);
    ~TDebuggerUi() override;

    TCodeView* CodeView() const { return m_codeView; }
    TMemoryView* MemoryView() const { return m_memoryView; }
    TVariablesModel* Variables() const { return m_variables; }
    TWatchModel* Watch() const { return m_watch; }
    TCallStackModel* CallStack() const { return m_callStack; }
    TBreakpointsModel* BreakpointList() const { return m_breakpoints; }
    TStopwatch* Stopwatch() const { return m_stopwatch; }
    QDockWidget* CodeDock() const { return m_codeDock; }
    QMenu* Menu() const { return m_menu; }
    const TProgramInfo& Program() const { return m_info; }
    QString StopwatchStatus() const;
    // The message of the last breakpoint change (e.g. a line without code moved to the next);
    // empty when there was nothing to say.
    const QString& LastNote() const { return m_lastNote; }

    // Sets or clears the breakpoint of a code view row (its source line or its instruction).
    void ToggleBreakpointAtRow(int row);
    void ToggleBreakpointAtCursor();
    void RunToCursor();
    void Continue();
    void StepInto();
    void StepOver();
    void StepOut();
    // Asks for a variable or an address and how it is accessed.
    void AddDataBreakpointClick();
    void RemoveAllBreakpoints();
    void SourceFolderClick();
    void ResetStopwatch();

    ReloadPolicy Reload() const;
    void SetReload(ReloadPolicy policy);
    // The firmware file changed on disk (the watcher's call; tests call it too).
    void FirmwareFileChanged();

private:
    void CreateActions();
    void CreateDocks();
    void UpdateActions();
    // The program or its debug information changed.
    void ProgramChanged();
    // The firmware stopped (pause, step, breakpoint): every view shows the state.
    void Stopped(const QString& reason);
    void RefreshRunning();
    void UpdateGutter();
    void SaveBreakpoints();
    void RestoreBreakpoints(const QStringList& wheres);
    QStringList BreakpointWheres() const;
    void SaveWatches();
    void Watch(const QString& fileName);
    void Note(const QString& text);
    bool Paused() const;

    TfrmPlugin* m_window;
    TFirmwareUi* m_firmware;
    TFirmwareRunner* m_runner;
    TProgramInfo m_info;
    QString m_programFile; // the firmware the views and remembered breakpoints are for
    QString m_lastNote;
    bool m_shownFirmware = false;                // whether the views show a loaded program
    quint64 m_markedCycles = ~quint64(0);        // the core's cycle count at the last stop marked
    const mcs51::Function* m_function = nullptr; // the function the variables' locals are of

    QMenu* m_menu = nullptr;
    QAction* m_continue = nullptr;
    QAction* m_stepInto = nullptr;
    QAction* m_stepOver = nullptr;
    QAction* m_stepOut = nullptr;
    QAction* m_runToCursor = nullptr;
    QAction* m_toggleBreakpoint = nullptr;
    QAction* m_dataBreakpoint = nullptr;
    QAction* m_removeBreakpoints = nullptr;
    QAction* m_resetStopwatch = nullptr;
    QAction* m_sourceFolder = nullptr;
    QActionGroup* m_reloadGroup = nullptr;

    TCodeView* m_codeView = nullptr;
    TMemoryView* m_memoryView = nullptr;
    TVariablesModel* m_variables = nullptr;
    TWatchModel* m_watch = nullptr;
    TCallStackModel* m_callStack = nullptr;
    TBreakpointsModel* m_breakpoints = nullptr;
    TStopwatch* m_stopwatch = nullptr;
    QLabel* m_stopwatchStatus = nullptr;
    QDockWidget* m_codeDock = nullptr;
    QDockWidget* m_variablesDock = nullptr;
    QDockWidget* m_memoryDock = nullptr;
    bool m_memorySized = false; // given its width on first showing
    QDockWidget* m_callStackDock = nullptr;
    QDockWidget* m_breakpointsDock = nullptr;
    QTimer m_liveRefresh;

    QFileSystemWatcher m_watcher;
    QTimer m_settle; // a compiler writes the file in steps: look once it has settled
    QDateTime m_loadedStamp;
    qint64 m_loadedSize = -1;
    bool m_asking = false;
};
