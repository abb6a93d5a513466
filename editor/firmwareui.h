#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

class QAction;
class QActionGroup;
class QDockWidget;
class QLabel;
class QMenu;
class QToolBar;
class TfrmPlugin;
class TFirmwareRunner;
class TRegisterPanel;
class TSerialTerminal;

// The firmware parts of the main window: the Firmware menu and tool bar (Load Firmware..., Reload,
// Reset, Pause/Continue, Step, Crystal, Speed), the register panel and serial terminal docks, and
// the firmware's part of the status bar. The board's Run button starts and stops the firmware with
// the board. The firmware last loaded with a board file is remembered and offered when that board
// is opened again.
class TFirmwareUi : public QObject {
    Q_OBJECT

public:
    explicit TFirmwareUi(TfrmPlugin* window);
    ~TFirmwareUi() override;

    TFirmwareRunner* Runner() const { return m_runner; }
    QMenu* Menu() const { return m_menu; }
    QToolBar* ToolBar() const { return m_toolBar; }
    QDockWidget* RegisterDock() const { return m_registerDock; }
    QDockWidget* TerminalDock() const { return m_terminalDock; }
    TRegisterPanel* RegisterPanel() const { return m_registerPanel; }
    TSerialTerminal* Terminal() const { return m_terminal; }
    QAction* PauseAction() const { return m_pause; }
    QAction* StepAction() const { return m_step; }
    QAction* OfferAction() const { return m_offer; }
    // The firmware part of the status bar.
    QString StatusText() const;

    // Loads a firmware file; a failure is reported ("Error") and changes nothing. True on success.
    bool LoadFirmware(const QString& fileName);
    void LoadFirmwareClick(); // asks for the file
    void ReloadClick();
    void ResetClick();
    void PauseClick(); // pause or continue
    void StepClick();
    void SetCrystal(double hz);
    void SetSpeed(double factor);

    // The firmware offered for a board file: the one last loaded with it, else an example's
    // firmware/<board name>.ihx beside it. Empty when none.
    QString OfferFor(const QString& boardFile) const;

    // Where the board-to-firmware memory is kept: "" the user's settings, "-" nowhere (the
    // scenario runner), otherwise an INI file (tests).
    static void SetSettingsFile(const QString& fileName);

private:
    void CreateActions();
    void UpdateControls();
    void UpdateStatus();
    void RunningChanged(bool running);
    void BoardOpened(const QString& fileName);
    void Remember(const QString& boardFile, const QString& firmwareFile);

    TfrmPlugin* m_window;
    TFirmwareRunner* m_runner;
    QMenu* m_menu = nullptr;
    QToolBar* m_toolBar = nullptr;
    QDockWidget* m_registerDock = nullptr;
    QDockWidget* m_terminalDock = nullptr;
    TRegisterPanel* m_registerPanel = nullptr;
    TSerialTerminal* m_terminal = nullptr;
    QLabel* m_status = nullptr;
    QAction* m_load = nullptr;
    QAction* m_reload = nullptr;
    QAction* m_reset = nullptr;
    QAction* m_pause = nullptr;
    QAction* m_step = nullptr;
    QAction* m_offer = nullptr;
    QActionGroup* m_crystalGroup = nullptr;
    QActionGroup* m_speedGroup = nullptr;
    QString m_offered;
};
