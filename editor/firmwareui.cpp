#include "editor/firmwareui.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QDockWidget>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QSettings>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>
#include <QVBoxLayout>
#include <cmath>
#include <memory>
#include <optional>
#include <utility>

#include "editor/brelvanfrm.h"
#include "editor/firmwarepanels.h"
#include "editor/firmwarerunner.h"
#include "editor/menucommand.h"
#include "editor/serialportui.h"
#include "platform/dialogs.h"

namespace {

QString g_settingsFile;
const QString MemoryKey = QStringLiteral("Firmware/ForBoard");
const QString CrystalKey = QStringLiteral("Firmware/CrystalForBoard");

std::unique_ptr<QSettings> openSettings() {
    if (g_settingsFile == u"-") return nullptr;
    if (g_settingsFile.isEmpty())
        return std::make_unique<QSettings>(QStringLiteral("Brelvan"), QStringLiteral("Brelvan"));
    return std::make_unique<QSettings>(g_settingsFile, QSettings::IniFormat);
}

QString boardKey(const QString& boardFile) {
    return QFileInfo(boardFile).absoluteFilePath();
}

struct Choice {
    const char* caption;
    double value;
};
constexpr double Crystals[] = {11059200.0, 12000000.0, 24000000.0};
constexpr Choice Speeds[] = {
    {"1/100 of Real Time", 0.01},  {"1/10 of Real Time", 0.1}, {"Real Time", 1},
    {"2 \u00d7 Real Time", 2},     {"5 \u00d7 Real Time", 5},  {"10 \u00d7 Real Time", 10},
    {"100 \u00d7 Real Time", 100}, {"As Fast as Possible", 0}};

} // namespace

void TFirmwareUi::SetSettingsFile(const QString& fileName) {
    g_settingsFile = fileName;
}

QString TFirmwareUi::SettingsFile() {
    return g_settingsFile;
}

TFirmwareUi::TFirmwareUi(TfrmPlugin* window)
    : QObject(window), m_window(window), m_runner(new TFirmwareRunner(this)) {
    setObjectName(QStringLiteral("FirmwareUi"));
    m_runner->SetFreeRunning(true);
    m_runner->Bridge().SetBoard(window->BoardFormLink());

    CreateActions();

    m_registerPanel = new TRegisterPanel(m_runner);
    m_registerDock = new QDockWidget(QStringLiteral("Registers"), window);
    m_registerDock->setObjectName(QStringLiteral("RegisterDock"));
    m_registerDock->setWidget(m_registerPanel);
    window->addDockWidget(Qt::RightDockWidgetArea, m_registerDock);
    m_registerDock->hide();

    m_terminal = new TSerialTerminal(m_runner);
    m_terminalDock = new QDockWidget(QStringLiteral("Serial Terminal"), window);
    m_terminalDock->setObjectName(QStringLiteral("SerialDock"));
    m_terminalDock->setWidget(m_terminal);
    window->addDockWidget(Qt::BottomDockWidgetArea, m_terminalDock);
    m_terminalDock->hide();

    m_menu->addSeparator();
    QAction* showRegisters = m_registerDock->toggleViewAction();
    showRegisters->setText(QStringLiteral("&Registers"));
    showRegisters->setObjectName(QStringLiteral("miRegisters"));
    showRegisters->setShortcut(QKeySequence(Qt::Key_F8));
    m_menu->addAction(showRegisters);
    QAction* showTerminal = m_terminalDock->toggleViewAction();
    showTerminal->setText(QStringLiteral("Serial &Terminal"));
    showTerminal->setObjectName(QStringLiteral("miTerminal"));
    showTerminal->setShortcut(QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_T));
    m_menu->addAction(showTerminal);
    QAction* clear = m_menu->addAction(QStringLiteral("&Clear Serial Terminal"));
    clear->setObjectName(QStringLiteral("miClearTerminal"));
    connect(clear, &QAction::triggered, m_terminal, &TSerialTerminal::ClearTerminal);
    // The serial port on the computer; its panel holds the terminal in the dock.
    m_serialPorts = new TSerialPortUi(window, m_runner, m_terminal, m_menu);
    m_terminalDock->setWidget(m_serialPorts->Panel());

    m_status = new QLabel(window);
    m_status->setObjectName(QStringLiteral("FirmwareStatus"));
    window->statusBar()->addPermanentWidget(m_status);

    connect(window, &TfrmPlugin::RunningChanged, this, &TFirmwareUi::RunningChanged);
    connect(window, &TfrmPlugin::BoardOpened, this, &TFirmwareUi::BoardOpened);
    connect(window, &TfrmPlugin::BoardCleared, this, &TFirmwareUi::BoardCleared);
    connect(m_runner, &TFirmwareRunner::StateChanged, this, [this] {
        UpdateControls();
        UpdateStatus();
    });
    connect(m_runner, &TFirmwareRunner::SpeedMeasured, this, &TFirmwareUi::UpdateStatus);
    ShowCrystal();
    UpdateControls();
    UpdateStatus();
}

TFirmwareUi::~TFirmwareUi() {
    m_runner->Stop();
    delete m_serialPorts; // before the runner it feeds
    if (m_window->BoardHost() == &m_runner->Bridge()) m_window->SetBoardHost(nullptr);
    // The docks belong to the window but show the runner: they go with it.
    delete m_registerDock;
    delete m_terminalDock;
}

void TFirmwareUi::CreateActions() {
    QStyle* style = m_window->style();
    m_menu = new QMenu(QStringLiteral("F&irmware"), m_window);
    m_menu->setObjectName(QStringLiteral("mnuFirmware"));
    // Before the View menu, after File.
    QList<QAction*> menus = m_window->menuBar()->actions();
    m_window->menuBar()->insertMenu(menus.size() > 1 ? menus[1] : nullptr, m_menu);

    auto add = [this](const char* name, const QString& caption, const QIcon& icon,
                      const QKeySequence& shortcut, auto handler) {
        return AddMenuCommand(this, m_menu, m_window, name, caption, icon, shortcut, handler);
    };
    m_load = add("miLoadFirmware", QStringLiteral("&Load Firmware..."),
                 style->standardIcon(QStyle::SP_DialogOpenButton),
                 QKeySequence(Qt::CTRL | Qt::Key_L), [this] { LoadFirmwareClick(); });
    m_offer = add("miLoadOffered", QString(), QIcon(), QKeySequence(), [this] {
        if (!m_offered.isEmpty()) LoadFirmware(m_offered);
    });
    m_offer->setVisible(false);
    m_reload =
        add("miReload", QStringLiteral("Re&load"), style->standardIcon(QStyle::SP_BrowserReload),
            QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_L), [this] { ReloadClick(); });
    m_menu->addSeparator();
    m_reset =
        add("miReset", QStringLiteral("R&eset"), style->standardIcon(QStyle::SP_MediaSkipBackward),
            QKeySequence(Qt::CTRL | Qt::Key_R), [this] { ResetClick(); });
    m_pause = add("miPause", QStringLiteral("&Pause"), style->standardIcon(QStyle::SP_MediaPause),
                  QKeySequence(Qt::Key_F6), [this] { PauseClick(); });
    m_step = add("miStep", QStringLiteral("&Step"), style->standardIcon(QStyle::SP_ArrowForward),
                 QKeySequence(Qt::Key_F7), [this] { StepClick(); });
    m_menu->addSeparator();

    QMenu* crystal = m_menu->addMenu(QStringLiteral("&Crystal"));
    crystal->setObjectName(QStringLiteral("mnuCrystal"));
    m_crystalGroup = new QActionGroup(this);
    for (const double hz : Crystals) {
        QAction* action = crystal->addAction(CrystalText(hz));
        action->setCheckable(true);
        action->setData(hz);
        m_crystalGroup->addAction(action);
        connect(action, &QAction::triggered, this, [this, hz] { SetCrystal(hz); });
    }
    m_otherCrystal = crystal->addAction(QStringLiteral("&Other..."));
    m_otherCrystal->setObjectName(QStringLiteral("miOtherCrystal"));
    m_otherCrystal->setCheckable(true);
    m_crystalGroup->addAction(m_otherCrystal);
    connect(m_otherCrystal, &QAction::triggered, this, [this] {
        ShowCrystal(); // the check stays where the frequency is until one is given
        const std::optional<QString> text =
            Dialogs().InputText(m_window, QStringLiteral("Crystal"),
                                QStringLiteral("Crystal frequency in MHz (1 to 60):"),
                                CrystalText(m_runner->Crystal()));
        if (!text) return;
        const double hz = ParseCrystal(*text);
        if (hz == 0)
            ShowErrorBox(m_window, QStringLiteral("%1 is no crystal frequency: give one from 1 to "
                                                  "60 MHz.")
                                       .arg(text->trimmed()));
        else
            SetCrystal(hz);
    });
    QMenu* speed = m_menu->addMenu(QStringLiteral("Spee&d"));
    speed->setObjectName(QStringLiteral("mnuSpeed"));
    m_speedGroup = new QActionGroup(this);
    for (const Choice& choice : Speeds) {
        QAction* action = speed->addAction(QString::fromUtf8(choice.caption));
        action->setCheckable(true);
        action->setData(choice.value);
        action->setChecked(choice.value == m_runner->Speed());
        m_speedGroup->addAction(action);
        const double factor = choice.value;
        connect(action, &QAction::triggered, this, [this, factor] { SetSpeed(factor); });
    }

    m_toolBar = new QToolBar(QStringLiteral("Firmware"), m_window);
    m_toolBar->setObjectName(QStringLiteral("FirmwareToolBar"));
    m_toolBar->setIconSize(QSize(20, 20));
    m_toolBar->setMovable(false);
    m_toolBar->setFloatable(false);
    m_toolBar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    for (QAction* action : {m_load, m_reload, m_reset, m_pause, m_step}) {
        m_toolBar->addAction(action);
        action->setToolTip(action->text().remove(QLatin1Char('&')).remove(QStringLiteral("...")));
        action->setIconText(action->toolTip());
    }
    m_load->setIconText(QStringLiteral("Load Firmware"));
    m_toolBar->addSeparator();
    // Crystal and speed as drop-down lists beside the buttons, kept in step with the menu.
    auto addChoices = [this](const QString& label, QActionGroup* group, const char* name) {
        auto* caption = new QLabel(label, m_toolBar);
        caption->setContentsMargins(6, 0, 4, 0);
        m_toolBar->addWidget(caption);
        auto* combo = new QComboBox(m_toolBar);
        combo->setObjectName(QLatin1String(name));
        combo->setFocusPolicy(Qt::NoFocus);
        for (QAction* action : group->actions())
            combo->addItem(action->text(), action->data());
        m_toolBar->addWidget(combo);
        auto sync = [combo, group] {
            for (int i = 0; i < combo->count(); ++i)
                if (group->actions()[i]->isChecked()) combo->setCurrentIndex(i);
        };
        sync();
        connect(group, &QActionGroup::triggered, combo, sync);
        connect(combo, &QComboBox::activated, group, [group](int index) {
            if (index >= 0 && index < group->actions().size()) group->actions()[index]->trigger();
        });
    };
    // The crystal: the usual frequencies offered, any other typed.
    auto* crystalCaption = new QLabel(QStringLiteral("Crystal"), m_toolBar);
    crystalCaption->setContentsMargins(6, 0, 4, 0);
    m_toolBar->addWidget(crystalCaption);
    m_crystalBox = new QComboBox(m_toolBar);
    m_crystalBox->setObjectName(QStringLiteral("cbCrystal"));
    m_crystalBox->setEditable(true);
    m_crystalBox->setInsertPolicy(QComboBox::NoInsert);
    m_crystalBox->setMinimumContentsLength(11);
    for (const double hz : Crystals)
        m_crystalBox->addItem(CrystalText(hz), hz);
    m_toolBar->addWidget(m_crystalBox);
    connect(m_crystalBox, &QComboBox::activated, this, [this](int index) {
        if (index >= 0) SetCrystal(m_crystalBox->itemData(index).toDouble());
    });
    connect(m_crystalBox->lineEdit(), &QLineEdit::editingFinished, this, [this] {
        const double hz = ParseCrystal(m_crystalBox->currentText());
        if (hz != 0 && hz != m_runner->Crystal())
            SetCrystal(hz);
        else
            ShowCrystal(); // a frequency out of range goes back to the one in use
    });
    addChoices(QStringLiteral("Speed"), m_speedGroup, "cbSpeed");
    // A row of its own: the component buttons fill the first.
    m_window->addToolBarBreak(Qt::TopToolBarArea);
    m_window->addToolBar(Qt::TopToolBarArea, m_toolBar);
}

QString TFirmwareUi::StatusText() const {
    return m_status->text();
}

void TFirmwareUi::UpdateControls() {
    using State = TFirmwareRunner::State;
    const State state = m_runner->CurrentState();
    const bool live = state == State::Running || state == State::Paused || state == State::Halted;
    m_reload->setEnabled(m_runner->HasFirmware());
    m_reset->setEnabled(live);
    m_pause->setEnabled(state == State::Running || state == State::Paused);
    const bool paused = state == State::Paused;
    m_pause->setText(paused ? QStringLiteral("&Continue") : QStringLiteral("&Pause"));
    m_pause->setToolTip(paused ? QStringLiteral("Continue") : QStringLiteral("Pause"));
    m_pause->setIconText(m_pause->toolTip());
    m_pause->setIcon(
        m_window->style()->standardIcon(paused ? QStyle::SP_MediaPlay : QStyle::SP_MediaPause));
    m_step->setEnabled(paused);
}

void TFirmwareUi::UpdateStatus() {
    if (!m_runner->HasFirmware()) {
        m_status->setText(QString());
        return;
    }
    QStringList parts;
    parts << QFileInfo(m_runner->FileName()).fileName() << m_runner->StateText();
    if (m_runner->CurrentState() == TFirmwareRunner::State::Running &&
        m_runner->AchievedPercent() > 0) {
        QString speed =
            QStringLiteral("%1 % of real time").arg(qRound(m_runner->AchievedPercent()));
        if (m_runner->Lagging()) speed += QStringLiteral(" (this machine cannot keep up)");
        parts << speed;
    }
    m_status->setText(parts.join(QStringLiteral("  \u2014  ")));
}

void TFirmwareUi::RunningChanged(bool running) {
    if (running)
        m_runner->Start();
    else
        m_runner->Stop();
}

bool TFirmwareUi::LoadFirmware(const QString& fileName) {
    const QString error = m_runner->Load(fileName);
    if (!error.isEmpty()) {
        ShowErrorBox(m_window, error);
        return false;
    }
    m_window->SetBoardHost(&m_runner->Bridge());
    // The board starts the new program if it runs already.
    if (m_window->Running() && m_runner->CurrentState() == TFirmwareRunner::State::Stopped)
        m_runner->Start();
    Remember(fileName);
    if (m_offer->isVisible()) m_window->statusBar()->clearMessage();
    m_offer->setVisible(false);
    UpdateControls();
    UpdateStatus();
    return true;
}

void TFirmwareUi::LoadFirmwareClick() {
    FileDialogOptions options;
    options.caption = QStringLiteral("Load Firmware");
    options.filter = QStringLiteral("Firmware (*.hex *.ihx *.bin);;Intel HEX (*.hex *.ihx);;Binary "
                                    "image (*.bin);;All files (*)");
    // Where the board's own firmware is, chosen; else the board's folder; else where the loaded
    // one came from.
    const QString board = BoardFile();
    const QString own = board.isEmpty() ? QString() : OfferFor(board);
    const QString start = !own.isEmpty() ? own : m_runner->FileName();
    if (!own.isEmpty() || (board.isEmpty() && !start.isEmpty())) {
        options.directory = QFileInfo(start).absolutePath();
        options.fileName = QFileInfo(start).fileName();
    } else if (!board.isEmpty()) {
        options.directory = QFileInfo(board).absolutePath();
    }
    const QString fileName = Dialogs().OpenFileName(m_window, options);
    if (!fileName.isEmpty()) LoadFirmware(fileName);
}

void TFirmwareUi::ReloadClick() {
    if (m_runner->FileName().isEmpty()) return;
    LoadFirmware(m_runner->FileName());
}

void TFirmwareUi::ResetClick() {
    const auto state = m_runner->CurrentState();
    if (state == TFirmwareRunner::State::Stopped || state == TFirmwareRunner::State::NoFirmware)
        return;
    const bool paused = state == TFirmwareRunner::State::Paused;
    m_runner->Start();
    if (paused) m_runner->Pause();
}

void TFirmwareUi::PauseClick() {
    if (m_runner->CurrentState() == TFirmwareRunner::State::Paused)
        m_runner->Continue();
    else
        m_runner->Pause();
}

void TFirmwareUi::StepClick() {
    m_runner->Step();
}

bool TFirmwareUi::SetCrystal(double hz) {
    const bool set = m_runner->SetCrystal(hz);
    if (set) RememberCrystal();
    ShowCrystal();
    return set;
}

void TFirmwareUi::ShowCrystal() {
    const double hz = m_runner->Crystal();
    bool offered = false;
    for (QAction* action : m_crystalGroup->actions()) {
        if (action == m_otherCrystal) continue;
        action->setChecked(action->data().toDouble() == hz);
        offered = offered || action->isChecked();
    }
    m_otherCrystal->setChecked(!offered);
    m_otherCrystal->setText(offered ? QStringLiteral("&Other...")
                                    : QStringLiteral("&Other (%1)...").arg(CrystalText(hz)));
    if (m_crystalBox) {
        const QSignalBlocker blocker(m_crystalBox);
        m_crystalBox->setCurrentIndex(m_crystalBox->findData(hz));
        m_crystalBox->setEditText(CrystalText(hz));
    }
}

double TFirmwareUi::ParseCrystal(const QString& text) {
    QString number = text.trimmed();
    if (number.endsWith(QStringLiteral("mhz"), Qt::CaseInsensitive)) number.chop(3);
    bool ok = false;
    const double mhz = number.trimmed().toDouble(&ok);
    if (!ok) return 0;
    const double hz = std::round(mhz * 1e6);
    return hz >= TFirmwareRunner::MinCrystal && hz <= TFirmwareRunner::MaxCrystal ? hz : 0;
}

QString TFirmwareUi::CrystalText(double hz) {
    return QStringLiteral("%1 MHz").arg(QString::number(hz / 1e6, 'g', 10));
}

void TFirmwareUi::SetSpeed(double factor) {
    m_runner->SetSpeed(factor);
    for (QAction* action : m_speedGroup->actions())
        action->setChecked(action->data().toDouble() == factor);
}

QString TFirmwareUi::OfferFor(const QString& boardFile) const {
    if (auto settings = openSettings()) {
        const QString remembered =
            settings->value(MemoryKey).toMap().value(boardKey(boardFile)).toString();
        if (!remembered.isEmpty() && QFileInfo::exists(remembered)) return remembered;
    }
    const QFileInfo board(boardFile);
    const QString name = board.completeBaseName();
    for (const QString& candidate :
         {QStringLiteral("firmware/%1.ihx"), QStringLiteral("%1.ihx"), QStringLiteral("%1.hex")}) {
        const QFileInfo file(board.absoluteDir().filePath(candidate.arg(name)));
        if (file.isFile()) return file.absoluteFilePath();
    }
    return QString();
}

void TFirmwareUi::OpenWith(const QString& boardFile, const QString& firmwareFile) {
    if (boardFile.isEmpty()) {
        if (!firmwareFile.isEmpty()) LoadFirmware(firmwareFile);
        return;
    }
    m_startFirmware = firmwareFile;
    m_window->OpenFile(boardFile);
    m_startFirmware.clear(); // not for a board opened later, should this one not open
}

QString TFirmwareUi::BoardFile() const {
    return !m_window->FileName().isEmpty() ? m_window->FileName() : m_boardFile;
}

void TFirmwareUi::Remember(const QString& firmwareFile) {
    const QString board = BoardFile();
    if (board.isEmpty()) return;
    auto settings = openSettings();
    if (!settings) return;
    QVariantMap map = settings->value(MemoryKey).toMap();
    map.insert(boardKey(board), QFileInfo(firmwareFile).absoluteFilePath());
    settings->setValue(MemoryKey, map);
    RememberCrystal();
}

void TFirmwareUi::RememberCrystal() {
    const QString board = BoardFile();
    if (board.isEmpty()) return;
    auto settings = openSettings();
    if (!settings) return;
    QVariantMap map = settings->value(CrystalKey).toMap();
    map.insert(boardKey(board), m_runner->Crystal());
    settings->setValue(CrystalKey, map);
}

void TFirmwareUi::BoardCleared() {
    m_runner->Unload();
    if (m_window->BoardHost() == &m_runner->Bridge()) m_window->SetBoardHost(nullptr);
    m_boardFile.clear();
    m_offered.clear();
    if (m_offer->isVisible()) m_window->statusBar()->clearMessage();
    m_offer->setVisible(false);
    m_runner->SetCrystal(TFirmwareRunner::DefaultCrystal);
    ShowCrystal();
    UpdateControls();
    UpdateStatus();
}

void TFirmwareUi::BoardOpened(const QString& fileName) {
    m_boardFile = fileName;
    if (auto settings = openSettings()) {
        const QVariant hz = settings->value(CrystalKey).toMap().value(boardKey(fileName));
        if (hz.isValid()) m_runner->SetCrystal(hz.toDouble());
        ShowCrystal();
    }
    if (!m_startFirmware.isEmpty()) {
        const QString given = std::exchange(m_startFirmware, QString());
        if (LoadFirmware(given)) return;
    }
    m_offered = OfferFor(fileName);
    if (m_offered.isEmpty() || LoadFirmware(m_offered)) return;
    // It would not load (the box said why): it stays offered once the file is mended.
    const QString name = QFileInfo(m_offered).fileName();
    m_offer->setText(QStringLiteral("Load %1 (goes with this board)").arg(name));
    m_offer->setVisible(true);
    m_window->statusBar()->showMessage(
        QStringLiteral("The firmware %1 goes with this board: Firmware > Load %1").arg(name),
        15000);
}
