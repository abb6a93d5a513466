#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

class QAction;
class QActionGroup;
class QComboBox;
class QDockWidget;
class QLabel;
class QMenu;
class QToolBar;
class TfrmPlugin;
class TFirmwareRunner;
class TRegisterPanel;
class TSerialTerminal;
class TSerialPortUi;

// The firmware parts of the main window: the Firmware menu and tool bar (Load Firmware..., Reload,
// Reset, Pause/Continue, Step, Crystal, Speed), the register panel and serial terminal docks, and
// the firmware's part of the status bar. The board's Run button starts and stops the firmware with
// the board. Firmware belongs to its board: New leaves none loaded, and opening a board loads its
// own (the one last loaded with it, else the one named like it beside it) and never keeps the
// previous board's. The crystal is remembered with the board as well.
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
    TSerialPortUi* SerialPorts() const { return m_serialPorts; }
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
    // Sets the crystal in Hz (MinCrystal..MaxCrystal of the runner); false when refused.
    bool SetCrystal(double hz);
    void SetSpeed(double factor);
    // A crystal frequency as typed: megahertz, "MHz" optional ("11.0592", "24 MHz"); in Hz, or 0
    // when it is no number or out of range.
    static double ParseCrystal(const QString& text);
    // "11.0592 MHz"
    static QString CrystalText(double hz);

    // The firmware that goes with a board file: the one last loaded with it, else
    // firmware/<board name>.ihx, else <board name>.ihx or <board name>.hex beside it. Empty when
    // none.
    QString OfferFor(const QString& boardFile) const;
    // Opens a board with the given firmware instead of its own (the command line's); either may
    // be empty. Both are in place before the load message is shown.
    void OpenWith(const QString& boardFile, const QString& firmwareFile);

    // Where the board-to-firmware memory is kept: "" the user's settings, "-" nowhere (the
    // scenario runner), otherwise an INI file (tests).
    static void SetSettingsFile(const QString& fileName);
    static QString SettingsFile();

private:
    void CreateActions();
    void UpdateControls();
    void UpdateStatus();
    void RunningChanged(bool running);
    void BoardOpened(const QString& fileName);
    void BoardCleared();
    // The board file the firmware and crystal are remembered for: the window's, else the one
    // opened last (opened with parts left out, it has no file name yet).
    QString BoardFile() const;
    void Remember(const QString& firmwareFile);
    void RememberCrystal();
    void ShowCrystal();

    TfrmPlugin* m_window;
    TFirmwareRunner* m_runner;
    QMenu* m_menu = nullptr;
    QToolBar* m_toolBar = nullptr;
    QDockWidget* m_registerDock = nullptr;
    QDockWidget* m_terminalDock = nullptr;
    TRegisterPanel* m_registerPanel = nullptr;
    TSerialTerminal* m_terminal = nullptr;
    TSerialPortUi* m_serialPorts = nullptr;
    QLabel* m_status = nullptr;
    QAction* m_load = nullptr;
    QAction* m_reload = nullptr;
    QAction* m_reset = nullptr;
    QAction* m_pause = nullptr;
    QAction* m_step = nullptr;
    QAction* m_offer = nullptr;
    QActionGroup* m_crystalGroup = nullptr;
    QActionGroup* m_speedGroup = nullptr;
    QComboBox* m_crystalBox = nullptr;
    QAction* m_otherCrystal = nullptr;
    QString m_offered;
    QString m_boardFile;
    QString m_startFirmware;
};
