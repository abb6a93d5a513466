#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QWidget>

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QMenu;
class TfrmPlugin;
class TFirmwareRunner;
class TSerialBridge;
class TSerialTerminal;

// The serial terminal dock's content: the terminal under a row of its settings (view, what Enter
// sends, local echo), Send File..., Clear, and where else the serial port is reachable (the
// terminal device's path and the TCP port, selectable to copy).
class TSerialPanel : public QWidget {
    Q_OBJECT

public:
    TSerialPanel(TSerialTerminal* terminal, TSerialBridge* bridge, QWidget* parent = nullptr);

    TSerialTerminal* Terminal() const { return m_terminal; }
    QComboBox* ViewBox() const { return m_view; }
    QComboBox* EndingBox() const { return m_ending; }
    QCheckBox* EchoBox() const { return m_echo; }
    QString EndsText() const;

    // Queues a file for the firmware, through the same paced queue as typed text. A file larger
    // than the queue has room for is refused whole (Error) and nothing is sent. True when queued.
    bool SendFile(const QString& fileName);
    void SendFileClick(); // asks for the file

    void Refresh();

private:
    TSerialTerminal* m_terminal;
    QPointer<TSerialBridge> m_bridge;
    QComboBox* m_view;
    QComboBox* m_ending;
    QCheckBox* m_echo;
    QLabel* m_ends;
};

// The Firmware menu's Serial Port submenu (a terminal device, a TCP port), the serial port's part
// of the status bar, and the dock panel; owns the bridge.
class TSerialPortUi : public QObject {
    Q_OBJECT

public:
    TSerialPortUi(TfrmPlugin* window, TFirmwareRunner* runner, TSerialTerminal* terminal,
                  QMenu* firmwareMenu);
    ~TSerialPortUi() override;

    TSerialBridge* Bridge() const { return m_bridge; }
    // Owned by the dock it is put in.
    TSerialPanel* Panel() const { return m_panel; }
    QMenu* Menu() const { return m_menu; }
    QString StatusText() const;

    // Asks for an optional link name, then opens the terminal device; errors are shown.
    void ConnectTerminalClick();
    // Asks for the port (and optionally the address), then listens; errors are shown.
    void ListenClick();
    // "4000", "192.168.1.5:4000", "[::1]:4000" into an address (127.0.0.1 unless given) and a
    // port; false when it is neither.
    static bool ParseListenText(const QString& text, QString* address, quint16* port);

private:
    void Update();

    TfrmPlugin* m_window;
    TSerialBridge* m_bridge;
    QPointer<TSerialPanel> m_panel;
    QMenu* m_menu;
    QLabel* m_status;
    QAction* m_connect;
    QAction* m_disconnect;
    QAction* m_copyPath;
    QAction* m_listen;
    QAction* m_stopListening;
    QString m_lastLink;
    QString m_lastListen = QStringLiteral("0");
    QTimer m_refresh; // the queued count while an end is open
};
