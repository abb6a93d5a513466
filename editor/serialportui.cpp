#include "editor/serialportui.h"

#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QStatusBar>
#include <QVBoxLayout>
#include <optional>

#include "editor/brelvanfrm.h"
#include "editor/firmwarepanels.h"
#include "editor/firmwarerunner.h"
#include "editor/serialbridge.h"
#include "platform/dialogs.h"

// ---------------------------------------------------------------- TSerialPanel

TSerialPanel::TSerialPanel(TSerialTerminal* terminal, TSerialBridge* bridge, QWidget* parent)
    : QWidget(parent), m_terminal(terminal), m_bridge(bridge), m_view(new QComboBox(this)),
      m_ending(new QComboBox(this)), m_echo(new QCheckBox(QStringLiteral("Local &echo"), this)),
      m_ends(new QLabel(this)) {
    setObjectName(QStringLiteral("SerialPanel"));
    m_view->setObjectName(QStringLiteral("cbSerialView"));
    m_view->addItem(QStringLiteral("ASCII"), int(TSerialTerminal::View::Ascii));
    m_view->addItem(QStringLiteral("Hex"), int(TSerialTerminal::View::Hex));
    m_view->setToolTip(QStringLiteral("Show what the firmware sends as text or as hex bytes"));
    m_ending->setObjectName(QStringLiteral("cbLineEnding"));
    m_ending->addItem(QStringLiteral("None"), int(TSerialTerminal::LineEnding::None));
    m_ending->addItem(QStringLiteral("CR"), int(TSerialTerminal::LineEnding::Cr));
    m_ending->addItem(QStringLiteral("LF"), int(TSerialTerminal::LineEnding::Lf));
    m_ending->addItem(QStringLiteral("CR LF"), int(TSerialTerminal::LineEnding::CrLf));
    m_ending->setCurrentIndex(m_ending->findData(int(terminal->Ending())));
    m_ending->setToolTip(QStringLiteral("What Enter sends"));
    m_echo->setObjectName(QStringLiteral("chkLocalEcho"));
    m_echo->setChecked(terminal->LocalEcho());
    m_echo->setToolTip(QStringLiteral("Show what is typed, too"));
    auto* sendFile = new QPushButton(QStringLiteral("Send &File..."), this);
    sendFile->setObjectName(QStringLiteral("btnSendFile"));
    sendFile->setToolTip(QStringLiteral("Send a file's bytes at the firmware's baud rate"));
    auto* clear = new QPushButton(QStringLiteral("C&lear"), this);
    clear->setObjectName(QStringLiteral("btnClearTerminal"));
    m_ends->setObjectName(QStringLiteral("SerialEnds"));
    m_ends->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_ends->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    // The terminal keeps the keys; the settings are for the mouse.
    for (QWidget* widget :
         std::initializer_list<QWidget*>{m_view, m_ending, m_echo, sendFile, clear})
        widget->setFocusPolicy(Qt::NoFocus);

    auto* row = new QHBoxLayout;
    row->setContentsMargins(6, 3, 6, 3);
    row->setSpacing(6);
    row->addWidget(new QLabel(QStringLiteral("View"), this));
    row->addWidget(m_view);
    row->addSpacing(8);
    row->addWidget(new QLabel(QStringLiteral("Enter sends"), this));
    row->addWidget(m_ending);
    row->addSpacing(8);
    row->addWidget(m_echo);
    row->addSpacing(8);
    row->addWidget(sendFile);
    row->addWidget(clear);
    row->addSpacing(12);
    row->addWidget(m_ends, 1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addLayout(row);
    layout->addWidget(terminal, 1);

    connect(m_view, &QComboBox::activated, this, [this] {
        m_terminal->SetView(TSerialTerminal::View(m_view->currentData().toInt()));
        m_terminal->setFocus();
    });
    connect(m_ending, &QComboBox::activated, this, [this] {
        m_terminal->SetEnding(TSerialTerminal::LineEnding(m_ending->currentData().toInt()));
        m_terminal->setFocus();
    });
    connect(m_echo, &QCheckBox::toggled, this, [this](bool on) { m_terminal->SetLocalEcho(on); });
    connect(sendFile, &QPushButton::clicked, this, &TSerialPanel::SendFileClick);
    connect(clear, &QPushButton::clicked, terminal, &TSerialTerminal::ClearTerminal);
    Refresh();
}

QString TSerialPanel::EndsText() const {
    return m_ends->text();
}

void TSerialPanel::Refresh() {
    const QString text = m_bridge ? m_bridge->StatusText() : QString();
    m_ends->setText(text.isEmpty() ? QStringLiteral("Also reachable: Firmware > Serial Port")
                                   : text);
    // The row gives the text what is left over; in a narrow dock the rest shows on hovering.
    m_ends->setToolTip(m_ends->text());
}

bool TSerialPanel::SendFile(const QString& fileName) {
    if (!m_bridge) return false;
    const QString shown = QFileInfo(fileName).fileName();
    const TFirmwareRunner::TFileRead file = TFirmwareRunner::ReadFile(fileName);
    if (!file.Error.isEmpty()) {
        ShowErrorBox(this, QStringLiteral("%1 was not sent: %2.").arg(shown, file.Error));
        return false;
    }
    if (file.Data.size() > m_bridge->Free()) {
        ShowErrorBox(this, QStringLiteral("%1 was not sent: it has %2 bytes, and the serial "
                                          "port's queue has room for %3 now (at most %4).")
                               .arg(shown)
                               .arg(file.Data.size())
                               .arg(m_bridge->Free())
                               .arg(TSerialBridge::MaxQueued));
        return false;
    }
    m_bridge->Send(file.Data);
    Refresh();
    return true;
}

void TSerialPanel::SendFileClick() {
    FileDialogOptions options;
    options.caption = QStringLiteral("Send File to the Serial Port");
    options.filter = QStringLiteral("All files (*)");
    const QString fileName = Dialogs().OpenFileName(this, options);
    if (!fileName.isEmpty()) SendFile(fileName);
    m_terminal->setFocus();
}

// ---------------------------------------------------------------- TSerialPortUi

TSerialPortUi::TSerialPortUi(TfrmPlugin* window, TFirmwareRunner* runner, TSerialTerminal* terminal,
                             QMenu* firmwareMenu)
    : QObject(window), m_window(window), m_bridge(new TSerialBridge(runner, this)),
      m_panel(new TSerialPanel(terminal, m_bridge)) {
    setObjectName(QStringLiteral("SerialPortUi"));
    terminal->SetSendTarget([this](const QByteArray& bytes) { m_bridge->Send(bytes); });

    m_menu = firmwareMenu->addMenu(QStringLiteral("Serial &Port"));
    m_menu->setObjectName(QStringLiteral("mnuSerialPort"));
    m_connect = m_menu->addAction(QStringLiteral("Connect to a &Terminal Device..."));
    m_connect->setObjectName(QStringLiteral("miConnectTerminal"));
    m_connect->setToolTip(QStringLiteral("Open a pseudo-terminal that terminal programs and "
                                         "scripts use like a serial port"));
    connect(m_connect, &QAction::triggered, this, &TSerialPortUi::ConnectTerminalClick);
    m_copyPath = m_menu->addAction(QStringLiteral("&Copy Terminal Device Path"));
    m_copyPath->setObjectName(QStringLiteral("miCopyTerminalPath"));
    connect(m_copyPath, &QAction::triggered, this, [this] {
        const QString path =
            m_bridge->LinkName().isEmpty() ? m_bridge->TerminalPath() : m_bridge->LinkName();
        QGuiApplication::clipboard()->setText(path);
    });
    m_disconnect = m_menu->addAction(QStringLiteral("&Disconnect the Terminal Device"));
    m_disconnect->setObjectName(QStringLiteral("miDisconnectTerminal"));
    connect(m_disconnect, &QAction::triggered, m_bridge, &TSerialBridge::CloseTerminal);
    m_menu->addSeparator();
    m_listen = m_menu->addAction(QStringLiteral("&Listen on a TCP Port..."));
    m_listen->setObjectName(QStringLiteral("miListenTcp"));
    connect(m_listen, &QAction::triggered, this, &TSerialPortUi::ListenClick);
    m_stopListening = m_menu->addAction(QStringLiteral("&Stop Listening"));
    m_stopListening->setObjectName(QStringLiteral("miStopListening"));
    connect(m_stopListening, &QAction::triggered, m_bridge, &TSerialBridge::StopListening);

    m_status = new QLabel(window);
    m_status->setObjectName(QStringLiteral("SerialStatus"));
    m_status->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_status->setContentsMargins(0, 0, 16, 0); // apart from the firmware's part
    window->statusBar()->addPermanentWidget(m_status);

    m_refresh.setInterval(500);
    connect(&m_refresh, &QTimer::timeout, this, &TSerialPortUi::Update);
    connect(m_bridge, &TSerialBridge::Changed, this, &TSerialPortUi::Update);
    Update();
}

TSerialPortUi::~TSerialPortUi() {
    // The panel lives in the dock; it must not show or send to a bridge that is gone.
    if (m_panel) m_panel->Terminal()->SetSendTarget(nullptr);
    m_bridge->disconnect(this); // closing its ends reports to no one half gone
    delete m_bridge;
    m_bridge = nullptr;
}

QString TSerialPortUi::StatusText() const {
    return m_status->text();
}

void TSerialPortUi::Update() {
    if (!m_bridge) return;
    const QString text = m_bridge->StatusText();
    m_status->setText(text);
    m_status->setVisible(!text.isEmpty());
    if (m_panel) m_panel->Refresh();
    const bool open = m_bridge->TerminalOpen();
    m_connect->setEnabled(!open);
    m_copyPath->setEnabled(open);
    m_disconnect->setEnabled(open);
    m_stopListening->setEnabled(m_bridge->Listening());
    m_listen->setText(m_bridge->Listening() ? QStringLiteral("&Listen on Another TCP Port...")
                                            : QStringLiteral("&Listen on a TCP Port..."));
    if (open || m_bridge->Listening())
        m_refresh.start();
    else
        m_refresh.stop();
}

void TSerialPortUi::ConnectTerminalClick() {
    const std::optional<QString> link = Dialogs().InputText(
        m_window, QStringLiteral("Connect to a Terminal Device"),
        QStringLiteral("A terminal device is opened for the firmware's serial port. A link name "
                       "that points at it while it is open (for example ~/brelvan-ttyS0), or "
                       "nothing:"),
        m_lastLink);
    if (!link) return;
    const QString error = m_bridge->OpenTerminal(*link);
    if (!error.isEmpty()) {
        ShowErrorBox(m_window, error);
        return;
    }
    m_lastLink = link->trimmed();
    m_window->statusBar()->showMessage(
        QStringLiteral("The firmware's serial port is %1: Firmware > Serial Port > Copy Terminal "
                       "Device Path")
            .arg(m_bridge->LinkName().isEmpty() ? m_bridge->TerminalPath() : m_bridge->LinkName()),
        10000);
}

bool TSerialPortUi::ParseListenText(const QString& text, QString* address, quint16* port) {
    const QString typed = text.trimmed();
    QString host = QString::fromLatin1(TSerialBridge::DefaultAddress);
    QString number = typed;
    if (typed.startsWith(QLatin1Char('['))) { // [IPv6]:port
        const qsizetype close = typed.indexOf(QStringLiteral("]:"));
        if (close < 0) return false;
        host = typed.mid(1, close - 1);
        number = typed.mid(close + 2);
    } else if (typed.count(QLatin1Char(':')) == 1) {
        const qsizetype colon = typed.indexOf(QLatin1Char(':'));
        host = typed.left(colon).trimmed();
        number = typed.mid(colon + 1);
    }
    bool ok = false;
    const uint value = number.trimmed().toUInt(&ok);
    if (!ok || value > 65535 || host.isEmpty()) return false;
    *address = host;
    *port = quint16(value);
    return true;
}

void TSerialPortUi::ListenClick() {
    const std::optional<QString> text = Dialogs().InputText(
        m_window, QStringLiteral("Listen on a TCP Port"),
        QStringLiteral("Port for the firmware's serial port (0: any free one); only this computer "
                       "may connect unless an address is given first (for example "
                       "0.0.0.0:4000):"),
        m_lastListen);
    if (!text) return;
    QString address;
    quint16 port = 0;
    if (!ParseListenText(*text, &address, &port)) {
        ShowErrorBox(m_window, QStringLiteral("\"%1\" is no port: give a number from 0 to 65535, "
                                              "optionally after an address and a colon.")
                                   .arg(text->trimmed()));
        return;
    }
    const QString error = m_bridge->Listen(address, port);
    if (!error.isEmpty()) {
        ShowErrorBox(m_window, error);
        return;
    }
    m_lastListen = text->trimmed();
}
