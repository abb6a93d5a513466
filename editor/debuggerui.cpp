#include "editor/debuggerui.h"

#include <QAction>
#include <QActionGroup>
#include <QBoxLayout>
#include <QDir>
#include <QDockWidget>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSettings>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableView>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <memory>

#include "editor/brelvanfrm.h"
#include "editor/debugviews.h"
#include "editor/firmwarepanels.h"
#include "editor/firmwarerunner.h"
#include "editor/firmwareui.h"
#include "editor/memoryview.h"
#include "editor/menucommand.h"
#include "platform/dialogs.h"

namespace {

const QString BreakpointsKey = QStringLiteral("Debugger/Breakpoints");
const QString WatchKey = QStringLiteral("Debugger/Watch");
const QString FolderKey = QStringLiteral("Debugger/SourceFolder");
const QString ReloadKey = QStringLiteral("Debugger/ReloadRebuilt");
constexpr int LiveRefreshMs = 250; // values while running: four times a second
constexpr int SettleMs = 300;

std::unique_ptr<QSettings> openSettings() {
    const QString file = TFirmwareUi::SettingsFile();
    if (file == u"-") return nullptr;
    if (file.isEmpty())
        return std::make_unique<QSettings>(QStringLiteral("Brelvan"), QStringLiteral("Brelvan"));
    return std::make_unique<QSettings>(file, QSettings::IniFormat);
}

QString firmwareKey(const QString& fileName) {
    return QFileInfo(fileName).absoluteFilePath();
}

QVariant remembered(const QString& key, const QString& firmware) {
    auto settings = openSettings();
    if (!settings || firmware.isEmpty()) return {};
    return settings->value(key).toMap().value(firmwareKey(firmware));
}

void remember(const QString& key, const QString& firmware, const QVariant& value) {
    auto settings = openSettings();
    if (!settings || firmware.isEmpty()) return;
    QVariantMap map = settings->value(key).toMap();
    if (value.isNull() ||
        (value.typeId() == QMetaType::QStringList && value.toStringList().isEmpty()))
        map.remove(firmwareKey(firmware));
    else
        map.insert(firmwareKey(firmware), value);
    settings->setValue(key, map);
}

QTableView* makeTable(QAbstractItemModel* model, const char* name) {
    auto* view = new QTableView;
    view->setObjectName(QLatin1String(name));
    view->setModel(model);
    view->verticalHeader()->hide();
    view->horizontalHeader()->setStretchLastSection(true);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    view->setWordWrap(false);
    view->verticalHeader()->setDefaultSectionSize(view->fontMetrics().height() + 4);
    return view;
}

} // namespace

TDebuggerUi::TDebuggerUi(TfrmPlugin* window, TFirmwareUi* firmware)
    : QObject(window), m_window(window), m_firmware(firmware), m_runner(firmware->Runner()) {
    setObjectName(QStringLiteral("DebuggerUi"));
    CreateDocks();
    CreateActions();

    m_stopwatchStatus = new QLabel(window);
    m_stopwatchStatus->setObjectName(QStringLiteral("StopwatchStatus"));
    window->statusBar()->addPermanentWidget(m_stopwatchStatus);

    m_liveRefresh.setInterval(LiveRefreshMs);
    connect(&m_liveRefresh, &QTimer::timeout, this, &TDebuggerUi::RefreshRunning);
    m_settle.setSingleShot(true);
    m_settle.setInterval(SettleMs);
    connect(&m_settle, &QTimer::timeout, this, &TDebuggerUi::FirmwareFileChanged);
    // A compiler may write the file in place, or replace it (then only its folder tells).
    connect(&m_watcher, &QFileSystemWatcher::fileChanged, this, [this] { m_settle.start(); });
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this, [this] { m_settle.start(); });

    connect(m_runner, &TFirmwareRunner::DebugInfoChanged, this, &TDebuggerUi::ProgramChanged);
    connect(m_runner, &TFirmwareRunner::StoppedAt, this, &TDebuggerUi::Stopped);
    connect(m_runner, &TFirmwareRunner::Stepped, this, [this] { Stopped(QString()); });
    connect(m_runner, &TFirmwareRunner::StateChanged, this, [this] {
        if (m_runner->FileName() != m_programFile || m_runner->HasFirmware() != m_shownFirmware)
            ProgramChanged();
        const bool running = m_runner->CurrentState() == TFirmwareRunner::State::Running;
        if (running)
            m_liveRefresh.start();
        else
            m_liveRefresh.stop();
        const bool paused = Paused();
        m_memoryView->SetEditable(paused);
        m_variables->SetEditable(paused);
        m_watch->SetEditable(paused);
        UpdateActions();
        RefreshRunning();
    });
    ProgramChanged();
    UpdateActions();
}

TDebuggerUi::~TDebuggerUi() {
    // The docks belong to the window but show the runner: they go first.
    delete m_codeDock;
    delete m_variablesDock;
    delete m_memoryDock;
    delete m_callStackDock;
    delete m_breakpointsDock;
}

void TDebuggerUi::CreateDocks() {
    mcs51::Core& core = m_runner->Core();
    auto dock = [this](const QString& title, const char* name, QWidget* widget,
                       Qt::DockWidgetArea area) {
        auto* result = new QDockWidget(title, m_window);
        result->setObjectName(QLatin1String(name));
        result->setWidget(widget);
        m_window->addDockWidget(area, result);
        result->hide();
        return result;
    };

    m_codeView = new TCodeView(core, m_info);
    m_codeDock = dock(QStringLiteral("Code"), "CodeDock", m_codeView, Qt::LeftDockWidgetArea);
    connect(m_codeView, &TCodeView::GutterClicked, this, &TDebuggerUi::ToggleBreakpointAtRow);
    connect(m_codeView, &TCodeView::SourceFolderClicked, this, &TDebuggerUi::SourceFolderClick);

    // Variables and the watch list share a dock.
    m_variables = new TVariablesModel(m_runner, this);
    m_watch = new TWatchModel(m_runner, this);
    auto* tabs = new QTabWidget;
    QTableView* variables = makeTable(m_variables, "VariablesTable");
    variables->setEditTriggers(QAbstractItemView::DoubleClicked |
                               QAbstractItemView::EditKeyPressed);
    tabs->addTab(variables, QStringLiteral("Variables"));
    auto* watchPage = new QWidget;
    QTableView* watch = makeTable(m_watch, "WatchTable");
    watch->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed);
    auto* watchEdit = new QLineEdit;
    watchEdit->setObjectName(QStringLiteral("edWatch"));
    watchEdit->setPlaceholderText(
        QStringLiteral("Add: a variable (pt.x, arr[2]), an SFR, or IRAM:0x30, XRAM:0x0100"));
    auto* removeWatch = new QPushButton(QStringLiteral("Remove"));
    auto* watchRow = new QHBoxLayout;
    watchRow->addWidget(watchEdit, 1);
    watchRow->addWidget(removeWatch);
    auto* watchLayout = new QVBoxLayout(watchPage);
    watchLayout->setContentsMargins(0, 0, 0, 0);
    watchLayout->addLayout(watchRow);
    watchLayout->addWidget(watch, 1);
    tabs->addTab(watchPage, QStringLiteral("Watch"));
    connect(watchEdit, &QLineEdit::returnPressed, this, [this, watchEdit] {
        m_watch->Add(watchEdit->text());
        watchEdit->clear();
        SaveWatches();
    });
    connect(removeWatch, &QPushButton::clicked, this, [this, watch] {
        m_watch->Remove(watch->currentIndex().row());
        SaveWatches();
    });
    // A value refused is said; the cell keeps the old one.
    const auto reportRefused = [this](const QString& error) {
        if (!error.isEmpty())
            ShowErrorBox(m_window, QStringLiteral("The value was not written: %1.").arg(error));
    };
    connect(variables->itemDelegate(), &QAbstractItemDelegate::closeEditor, this,
            [this, reportRefused] {
                reportRefused(m_variables->LastError());
                m_memoryView->Refresh();
            });
    connect(watch->itemDelegate(), &QAbstractItemDelegate::closeEditor, this,
            [this, reportRefused] {
                reportRefused(m_watch->LastError());
                m_memoryView->Refresh();
            });
    m_variablesDock =
        dock(QStringLiteral("Variables"), "VariablesDock", tabs, Qt::BottomDockWidgetArea);

    m_memoryView = new TMemoryView(core);
    m_memoryView->SetSymbolLookup(
        [this](const QString& name) -> std::optional<TMemoryView::TTarget> {
            mcs51::Location where;
            QString error;
            if (!m_watch->Locate(name, &where, &error)) {
                // A function or code label.
                if (const mcs51::DebugInfo* info = m_runner->DebugInfo()) {
                    if (const mcs51::Function* function = info->FindFunction(name.toStdString()))
                        return TMemoryView::TTarget{3, function->start};
                    for (const auto& [address, label] : info->CodeLabels())
                        if (QString::fromStdString(label) == name)
                            return TMemoryView::TTarget{3, address};
                }
                return std::nullopt;
            }
            switch (where.space) {
            case mcs51::Space::Iram:
                return TMemoryView::TTarget{0, int(where.address)};
            case mcs51::Space::Sfr:
                return TMemoryView::TTarget{1, int(where.address)};
            case mcs51::Space::Xram:
                return TMemoryView::TTarget{2, int(where.address)};
            case mcs51::Space::Code:
                return TMemoryView::TTarget{3, int(where.address)};
            case mcs51::Space::Bit: // the byte that holds the bit
                return where.address < 0x80 ? TMemoryView::TTarget{0, int(0x20 + where.address / 8)}
                                            : TMemoryView::TTarget{1, int(where.address & 0xF8)};
            default:
                return std::nullopt;
            }
        });
    m_memoryDock =
        dock(QStringLiteral("Memory"), "MemoryDock", m_memoryView, Qt::BottomDockWidgetArea);
    m_window->splitDockWidget(m_variablesDock, m_memoryDock, Qt::Horizontal);
    // Beside the variables the split gave the memory half its width or less, cutting off the
    // last columns and the text; the first time it shows it gets the width its rows need.
    connect(m_memoryDock, &QDockWidget::visibilityChanged, this, [this](bool visible) {
        if (!visible || m_memorySized) return;
        m_memorySized = true;
        QTimer::singleShot(0, this, [this] {
            if (!m_memoryDock->isVisible() || m_memoryDock->isFloating()) return;
            const int wanted =
                std::min(m_memoryView->sizeHint().width(), m_window->width() * 2 / 3);
            // Given alone, the size is weighed against the neighbour's; both are given instead.
            QDockWidget* beside = m_variablesDock->isVisible() && !m_variablesDock->isFloating()
                                      ? m_variablesDock
                                      : nullptr;
            if (beside &&
                m_window->dockWidgetArea(beside) == m_window->dockWidgetArea(m_memoryDock)) {
                const int both = beside->width() + m_memoryDock->width();
                // In a narrow window the variables keep two fifths rather than a sliver.
                const int kept =
                    std::max({both - wanted, both * 2 / 5, beside->minimumSizeHint().width()});
                m_window->resizeDocks({beside, m_memoryDock}, {kept, both - kept}, Qt::Horizontal);
            } else {
                m_window->resizeDocks({m_memoryDock}, {wanted}, Qt::Horizontal);
            }
        });
    });

    m_callStack = new TCallStackModel(m_runner, this);
    m_callStackDock = dock(QStringLiteral("Call Stack"), "CallStackDock",
                           makeTable(m_callStack, "CallStackTable"), Qt::BottomDockWidgetArea);
    m_window->tabifyDockWidget(m_variablesDock, m_callStackDock);

    m_breakpoints = new TBreakpointsModel(m_runner, this);
    auto* breakpointPage = new QWidget;
    QTableView* breakpoints = makeTable(m_breakpoints, "BreakpointsTable");
    auto* addData = new QPushButton(QStringLiteral("Add Data Breakpoint..."));
    auto* remove = new QPushButton(QStringLiteral("Remove"));
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(addData);
    buttons->addWidget(remove);
    buttons->addStretch(1);
    auto* breakpointLayout = new QVBoxLayout(breakpointPage);
    breakpointLayout->setContentsMargins(0, 0, 0, 0);
    breakpointLayout->addLayout(buttons);
    breakpointLayout->addWidget(breakpoints, 1);
    connect(addData, &QPushButton::clicked, this, &TDebuggerUi::AddDataBreakpointClick);
    connect(remove, &QPushButton::clicked, this, [this, breakpoints] {
        m_breakpoints->RemoveRow(breakpoints->currentIndex().row());
        UpdateGutter();
        SaveBreakpoints();
    });
    m_breakpointsDock = dock(QStringLiteral("Breakpoints"), "BreakpointsDock", breakpointPage,
                             Qt::BottomDockWidgetArea);
    m_window->tabifyDockWidget(m_variablesDock, m_breakpointsDock);
    m_variablesDock->raise();

    // The stopwatch goes under the registers, above the panel's closing stretch.
    m_stopwatch = new TStopwatch(m_runner);
    if (auto* layout = qobject_cast<QBoxLayout*>(m_firmware->RegisterPanel()->layout()))
        layout->insertWidget(layout->count() - 1, m_stopwatch);
    else
        m_stopwatch->setParent(m_firmware->RegisterPanel());
}

void TDebuggerUi::CreateActions() {
    m_menu = new QMenu(QStringLiteral("&Debug"), m_window);
    m_menu->setObjectName(QStringLiteral("mnuDebug"));
    // After the Firmware menu.
    const QList<QAction*> menus = m_window->menuBar()->actions();
    const int at = int(menus.indexOf(m_firmware->Menu()->menuAction()));
    m_window->menuBar()->insertMenu(at >= 0 && at + 1 < menus.size() ? menus[at + 1] : nullptr,
                                    m_menu);

    auto add = [this](const char* name, const QString& caption, const QKeySequence& shortcut,
                      auto handler) {
        return AddMenuCommand(this, m_menu, m_window, name, caption, QIcon(), shortcut, handler);
    };
    m_continue = add("miContinue", QStringLiteral("&Continue"), QKeySequence(Qt::Key_F5),
                     [this] { Continue(); });
    m_menu->addAction(m_firmware->PauseAction());
    m_stepOver = add("miStepOver", QStringLiteral("Step &Over"), QKeySequence(Qt::Key_F10),
                     [this] { StepOver(); });
    m_stepInto = add("miStepInto", QStringLiteral("Step &Into"), QKeySequence(Qt::Key_F11),
                     [this] { StepInto(); });
    m_stepOut = add("miStepOut", QStringLiteral("Step O&ut"), QKeySequence(Qt::SHIFT | Qt::Key_F11),
                    [this] { StepOut(); });
    m_menu->addAction(m_firmware->StepAction());
    m_runToCursor = add("miRunToCursor", QStringLiteral("&Run to Cursor"),
                        QKeySequence(Qt::CTRL | Qt::Key_F10), [this] { RunToCursor(); });
    m_menu->addSeparator();
    m_toggleBreakpoint = add("miToggleBreakpoint", QStringLiteral("Toggle &Breakpoint"),
                             QKeySequence(Qt::Key_F9), [this] { ToggleBreakpointAtCursor(); });
    m_dataBreakpoint =
        add("miDataBreakpoint", QStringLiteral("Add &Data Breakpoint..."),
            QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_B), [this] { AddDataBreakpointClick(); });
    m_removeBreakpoints =
        add("miRemoveBreakpoints", QStringLiteral("Remove &All Breakpoints"),
            QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F9), [this] { RemoveAllBreakpoints(); });
    m_menu->addSeparator();
    m_resetStopwatch =
        add("miResetStopwatch", QStringLiteral("Reset Stop&watch Mark"),
            QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_M), [this] { ResetStopwatch(); });
    m_sourceFolder = add("miSourceFolder", QStringLiteral("Source &Folder..."), QKeySequence(),
                         [this] { SourceFolderClick(); });
    QMenu* reload = m_menu->addMenu(QStringLiteral("When the Firmware Is Re&built"));
    reload->setObjectName(QStringLiteral("mnuReloadRebuilt"));
    m_reloadGroup = new QActionGroup(this);
    const struct {
        const char* name;
        const char* caption;
        ReloadPolicy policy;
    } policies[] = {{"miReloadAsk", "&Ask", ReloadPolicy::Ask},
                    {"miReloadAlways", "&Reload", ReloadPolicy::Always},
                    {"miReloadNever", "&Keep the Loaded One", ReloadPolicy::Never}};
    for (const auto& policy : policies) {
        QAction* action = reload->addAction(QLatin1String(policy.caption));
        action->setObjectName(QLatin1String(policy.name));
        action->setCheckable(true);
        action->setData(int(policy.policy));
        m_reloadGroup->addAction(action);
        const ReloadPolicy value = policy.policy;
        connect(action, &QAction::triggered, this, [this, value] { SetReload(value); });
    }
    SetReload(Reload());
    m_menu->addSeparator();
    const struct {
        QDockWidget* dock;
        const char* name;
        const char* caption;
        QKeyCombination key;
    } docks[] = {
        {m_codeDock, "miCodeView", "C&ode", Qt::CTRL | Qt::ALT | Qt::Key_C},
        {m_variablesDock, "miVariables", "&Variables and Watch", Qt::CTRL | Qt::ALT | Qt::Key_V},
        {m_memoryDock, "miMemory", "&Memory", Qt::CTRL | Qt::ALT | Qt::Key_M},
        {m_callStackDock, "miCallStack", "Call &Stack", Qt::CTRL | Qt::ALT | Qt::Key_K},
        {m_breakpointsDock, "miBreakpoints", "Brea&kpoints", Qt::CTRL | Qt::ALT | Qt::Key_B}};
    for (const auto& entry : docks) {
        QAction* show = entry.dock->toggleViewAction();
        show->setText(QLatin1String(entry.caption));
        show->setObjectName(QLatin1String(entry.name));
        show->setShortcut(QKeySequence(entry.key));
        m_menu->addAction(show);
    }
}

bool TDebuggerUi::Paused() const {
    return m_runner->CurrentState() == TFirmwareRunner::State::Paused;
}

void TDebuggerUi::UpdateActions() {
    const bool paused = Paused();
    const bool loaded = m_runner->HasFirmware();
    for (QAction* action : {m_stepInto, m_stepOver, m_stepOut, m_runToCursor})
        action->setEnabled(paused);
    m_continue->setEnabled(paused ||
                           (loaded && m_runner->CurrentState() == TFirmwareRunner::State::Stopped));
    m_toggleBreakpoint->setEnabled(loaded);
    m_dataBreakpoint->setEnabled(loaded);
    m_removeBreakpoints->setEnabled(loaded);
    m_sourceFolder->setEnabled(loaded);
    m_resetStopwatch->setEnabled(loaded);
}

QString TDebuggerUi::StopwatchStatus() const {
    return m_stopwatchStatus->text();
}

void TDebuggerUi::ProgramChanged() {
    const bool newProgram = m_runner->FileName() != m_programFile;
    if (newProgram) {
        m_programFile = m_runner->FileName();
        Watch(m_programFile);
    }
    m_info = TProgramInfo();
    // Called while a load is under way too: the file name is set before the state.
    const bool loaded = !m_runner->FileName().isEmpty();
    m_shownFirmware = m_runner->HasFirmware();
    if (loaded) {
        const mcs51::DebugLoad& load = m_runner->Debug();
        const mcs51::DebugInfo* info = m_runner->DebugInfo();
        m_info.Reason = QString::fromStdString(load.reason);
        if (info) {
            const std::vector<std::string>& files = info->Files();
            for (size_t i = 0; i < files.size(); ++i) {
                TProgramInfo::File file;
                file.Name = QString::fromStdString(files[i]);
                if (i < load.sourcePaths.size() && !load.sourcePaths[i].empty()) {
                    file.Path = QString::fromStdString(load.sourcePaths[i]);
                    const TFirmwareRunner::TFileRead read = TFirmwareRunner::ReadFile(file.Path);
                    if (read.Error.isEmpty()) {
                        QString text = QString::fromUtf8(read.Data);
                        text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
                        file.Lines = text.split(QLatin1Char('\n'));
                        if (!file.Lines.isEmpty() && file.Lines.back().isEmpty())
                            file.Lines.removeLast();
                    }
                }
                m_info.Files.append(file);
            }
            for (const mcs51::LineEntry& entry : info->Lines())
                m_info.Code.append({entry.file, entry.line, entry.address, 0});
            // A line's code ends where the next line's begins, or at its function's end.
            m_info.Finish();
            for (TProgramInfo::LineCode& code : m_info.Code)
                if (const mcs51::Function* function = info->FunctionAt(uint16_t(code.Start));
                    function && function->hasEnd && code.End > function->end + 1)
                    code.End = function->end + 1;
            for (const auto& [address, name] : info->CodeLabels())
                m_info.Labels.insert(address, QString::fromStdString(name));
            for (const mcs51::Function& function : info->Functions())
                m_info.Labels.insert(function.start, QString::fromStdString(function.name));
        } else {
            for (const auto& [address, name] : load.info.CodeLabels())
                m_info.Labels.insert(address, QString::fromStdString(name));
            if (m_info.Reason.isEmpty())
                m_info.Reason = QStringLiteral("No debug information beside the firmware: "
                                               "showing the disassembly.");
        }
        if (!m_info.Reason.isEmpty() && !m_info.HasSource() &&
            !m_info.Reason.contains(QStringLiteral("disassembly")))
            m_info.Reason += QStringLiteral(" \u2014 showing the disassembly.");
    }
    if (newProgram && loaded) {
        // The breakpoints and watches this firmware had the last time: the runner keeps them
        // while the program is open, the settings from one session to the next.
        if (openSettings()) {
            if (m_runner->Debugger().Breakpoints().empty())
                RestoreBreakpoints(remembered(BreakpointsKey, m_programFile).toStringList());
            else
                SaveBreakpoints();
            m_watch->SetExpressions(remembered(WatchKey, m_programFile).toStringList());
        }
    }
    m_codeView->Rebuild();
    m_codeView->ShowPC(loaded ? m_runner->Core().PC() : -1);
    UpdateGutter();
    m_function = nullptr;
    m_variables->Rebuild();
    m_watch->Refresh();
    m_callStack->Refresh();
    m_memoryView->MarkStop();
    m_stopwatch->Refresh();
    UpdateActions();
}

void TDebuggerUi::Stopped(const QString& reason) {
    if (!m_runner->HasFirmware()) return;
    const int pc = m_runner->Core().PC();
    m_codeView->ShowPC(pc);
    // One stop comes as a pause and as its reason: the changes are measured from the stop
    // before, not from the same one.
    if (m_runner->Core().Cycles() != m_markedCycles) {
        m_markedCycles = m_runner->Core().Cycles();
        m_memoryView->MarkStop();
    } else {
        m_memoryView->Refresh();
    }
    // The locals are those of the function the PC is in.
    const mcs51::DebugInfo* info = m_runner->DebugInfo();
    const mcs51::Function* function = info ? info->FunctionAt(uint16_t(pc)) : nullptr;
    if (function != m_function) {
        m_function = function;
        m_variables->Rebuild();
    } else {
        m_variables->Refresh();
    }
    m_watch->Refresh();
    m_callStack->Refresh();
    m_stopwatch->Refresh();
    RefreshRunning();
    if (!reason.isEmpty()) {
        m_codeDock->show();
        m_window->statusBar()->showMessage(reason, 10000);
    }
    const bool paused = Paused();
    m_memoryView->SetEditable(paused);
    m_variables->SetEditable(paused);
    m_watch->SetEditable(paused);
    UpdateActions();
}

void TDebuggerUi::RefreshRunning() {
    if (!m_runner->HasFirmware()) {
        m_stopwatchStatus->setText(QString());
        m_stopwatch->Refresh();
        return;
    }
    const quint64 lap = m_runner->StopwatchCycles();
    m_stopwatchStatus->setText(QStringLiteral("Stopwatch: %1 cycles, %2 ms since the mark")
                                   .arg(lap)
                                   .arg(m_runner->CyclesToMs(lap), 0, 'f', 3));
    m_stopwatch->Refresh();
    if (m_runner->CurrentState() != TFirmwareRunner::State::Running) return;
    // Only what is shown is read while running.
    if (m_variablesDock->isVisible()) {
        m_variables->Refresh();
        m_watch->Refresh();
    }
    if (m_memoryDock->isVisible()) m_memoryView->Refresh();
}

void TDebuggerUi::UpdateGutter() {
    QSet<int> addresses;
    for (const mcs51::CodeBreakpoint& breakpoint : m_runner->Debugger().Breakpoints())
        if (breakpoint.resolved && breakpoint.enabled) addresses.insert(breakpoint.address);
    m_codeView->Model()->SetBreakpoints(addresses);
    m_breakpoints->Refresh();
}

QStringList TDebuggerUi::BreakpointWheres() const {
    QStringList wheres;
    for (const mcs51::CodeBreakpoint& breakpoint : m_runner->Debugger().Breakpoints())
        wheres << (breakpoint.line > 0
                       ? QStringLiteral("%1:%2")
                             .arg(QString::fromStdString(breakpoint.file))
                             .arg(breakpoint.line)
                       : QStringLiteral("0x%1").arg(breakpoint.address, 4, 16, QLatin1Char('0')));
    return wheres;
}

void TDebuggerUi::SaveBreakpoints() {
    remember(BreakpointsKey, m_programFile, BreakpointWheres());
}

void TDebuggerUi::RestoreBreakpoints(const QStringList& wheres) {
    mcs51::Debugger& debugger = m_runner->Debugger();
    for (const QString& where : wheres) {
        std::string error;
        if (const std::optional<mcs51::CodeBreakpoint> breakpoint =
                debugger.ParseWhere(where.toStdString(), &error))
            debugger.AddBreakpoint(*breakpoint);
    }
    debugger.Arm(m_runner->Core());
    UpdateGutter();
}

void TDebuggerUi::SaveWatches() {
    remember(WatchKey, m_programFile, m_watch->Expressions());
}

void TDebuggerUi::Note(const QString& text) {
    m_lastNote = text;
    if (!text.isEmpty()) m_window->statusBar()->showMessage(text, 10000);
}

void TDebuggerUi::ToggleBreakpointAtRow(int row) {
    TCodeModel* model = m_codeView->Model();
    if (!m_runner->HasFirmware() || row < 0 || row >= model->rowCount()) return;
    const TCodeModel::Row& at = model->RowAt(row);
    mcs51::Debugger& debugger = m_runner->Debugger();
    Note(QString());
    if (at.Instruction) {
        debugger.ToggleAddressBreakpoint(uint16_t(at.Address));
    } else if (at.File >= 0) {
        const std::string file = m_info.Files.value(at.File).Name.toStdString();
        // A breakpoint shown on this line may have come from a line above without code.
        bool removed = false;
        const auto& list = debugger.Breakpoints();
        for (size_t i = 0; i < list.size(); ++i) {
            if (at.Address >= 0 && list[i].resolved && list[i].address == at.Address) {
                debugger.RemoveBreakpoint(int(i));
                removed = true;
                break;
            }
        }
        if (!removed && debugger.ToggleLineBreakpoint(file, at.Line)) {
            for (const mcs51::CodeBreakpoint& breakpoint : debugger.Breakpoints()) {
                if (breakpoint.file == file && breakpoint.line == at.Line) {
                    if (!breakpoint.resolved)
                        Note(QStringLiteral("No code at or after line %1: the breakpoint waits for "
                                            "a build that has some.")
                                 .arg(at.Line));
                    else if (breakpoint.address != at.Address && m_info.LineAt(breakpoint.address))
                        Note(QStringLiteral("Line %1 has no code: the breakpoint moved to line %2.")
                                 .arg(at.Line)
                                 .arg(m_info.LineAt(breakpoint.address)->Line));
                }
            }
        }
    } else {
        return; // a label row
    }
    debugger.Arm(m_runner->Core());
    UpdateGutter();
    SaveBreakpoints();
}

void TDebuggerUi::ToggleBreakpointAtCursor() {
    int row = m_codeView->CursorRow();
    if (row < 0) row = m_codeView->Model()->CurrentRow();
    ToggleBreakpointAtRow(row);
}

void TDebuggerUi::RunToCursor() {
    if (!Paused()) return;
    const int row = m_codeView->CursorRow();
    if (row < 0) return;
    const TCodeModel::Row& at = m_codeView->Model()->RowAt(row);
    int address = at.Address;
    if (address < 0 && at.File >= 0) {
        const int line = m_info.NextLineWithCode(at.File, at.Line);
        if (line > 0) address = m_info.AddressOf(at.File, line).value_or(-1);
    }
    if (address < 0) {
        Note(QStringLiteral("No code at or after the cursor."));
        return;
    }
    m_runner->DebugStep(mcs51::Debugger::StepKind::RunTo, quint16(address));
}

void TDebuggerUi::Continue() {
    if (Paused())
        m_runner->Continue();
    else if (m_runner->CurrentState() == TFirmwareRunner::State::Stopped && !m_window->Running())
        m_window->RunButton()->click(); // as in IDEs, the same key starts the program
}

void TDebuggerUi::StepInto() {
    if (!Paused()) return;
    m_runner->DebugStep(m_runner->DebugInfo() ? mcs51::Debugger::StepKind::Into
                                              : mcs51::Debugger::StepKind::Instruction);
}

void TDebuggerUi::StepOver() {
    if (Paused()) m_runner->DebugStep(mcs51::Debugger::StepKind::Over);
}

void TDebuggerUi::StepOut() {
    if (Paused()) m_runner->DebugStep(mcs51::Debugger::StepKind::Out);
}

void TDebuggerUi::AddDataBreakpointClick() {
    if (!m_runner->HasFirmware()) return;
    const std::optional<QString> text = Dialogs().InputText(
        m_window, QStringLiteral("Data Breakpoint"),
        QStringLiteral("Stop when this is accessed: a C variable, an SFR, or an address such as "
                       "IRAM:0x30 or XRAM:0x0100"),
        QString());
    if (!text || text->trimmed().isEmpty()) return;
    mcs51::Location where;
    QString error;
    if (!m_watch->Locate(*text, &where, &error)) {
        ShowErrorBox(m_window,
                     QStringLiteral("No data breakpoint on %1: %2.").arg(text->trimmed(), error));
        return;
    }
    if (where.space != mcs51::Space::Iram && where.space != mcs51::Space::Xram &&
        where.space != mcs51::Space::Sfr && where.space != mcs51::Space::Bit) {
        ShowErrorBox(m_window, QStringLiteral("No data breakpoint on %1: it is in %2, which the "
                                              "firmware does not write.")
                                   .arg(text->trimmed(),
                                        QString::fromStdString(mcs51::SpaceName(where.space))));
        return;
    }
    const int choice =
        Dialogs().AskChoice(m_window, QStringLiteral("Data Breakpoint"),
                            QStringLiteral("Stop when %1 is:").arg(text->trimmed()),
                            {QStringLiteral("Written"), QStringLiteral("Read"),
                             QStringLiteral("Read or Written"), QStringLiteral("Cancel")});
    if (choice < 0 || choice > 2) return;
    mcs51::DataBreakpoint breakpoint;
    breakpoint.space = where.space;
    breakpoint.address = where.address;
    breakpoint.length = where.space == mcs51::Space::Bit ? 1 : std::max(1, where.type.size);
    breakpoint.onWrite = choice != 1;
    breakpoint.onRead = choice != 0;
    breakpoint.name = text->trimmed().toStdString();
    m_runner->Debugger().AddDataBreakpoint(breakpoint);
    m_breakpoints->Refresh();
    m_breakpointsDock->show();
}

void TDebuggerUi::RemoveAllBreakpoints() {
    m_runner->Debugger().ClearBreakpoints();
    m_runner->Debugger().ClearDataBreakpoints();
    m_runner->Debugger().Arm(m_runner->Core());
    UpdateGutter();
    SaveBreakpoints();
}

void TDebuggerUi::SourceFolderClick() {
    if (!m_runner->HasFirmware()) return;
    FileDialogOptions options;
    options.caption = QStringLiteral("Source Folder: choose a source file in it");
    options.filter = QStringLiteral("C sources (*.c *.h);;All files (*)");
    options.directory = m_runner->SourceSearchFolder().isEmpty()
                            ? QFileInfo(m_runner->FileName()).absolutePath()
                            : m_runner->SourceSearchFolder();
    const QString chosen = Dialogs().OpenFileName(m_window, options);
    if (chosen.isEmpty()) return;
    const QFileInfo info(chosen);
    const QString folder = info.isDir() ? info.absoluteFilePath() : info.absolutePath();
    m_runner->SetSourceSearchFolder(folder);
    remember(FolderKey, m_programFile, folder);
    m_runner->ReloadDebugInfo();
    ProgramChanged();
}

void TDebuggerUi::ResetStopwatch() {
    m_stopwatch->ResetMark();
    RefreshRunning();
}

TDebuggerUi::ReloadPolicy TDebuggerUi::Reload() const {
    auto settings = openSettings();
    const QString value =
        settings ? settings->value(ReloadKey).toString() : QStringLiteral("never");
    if (value == u"always") return ReloadPolicy::Always;
    if (value == u"never") return ReloadPolicy::Never;
    return ReloadPolicy::Ask;
}

void TDebuggerUi::SetReload(ReloadPolicy policy) {
    if (auto settings = openSettings()) {
        static const char* const Names[] = {"ask", "always", "never"};
        settings->setValue(ReloadKey, QLatin1String(Names[int(policy)]));
    }
    for (QAction* action : m_reloadGroup->actions())
        action->setChecked(action->data().toInt() == int(policy));
}

void TDebuggerUi::Watch(const QString& fileName) {
    if (!m_watcher.files().isEmpty()) m_watcher.removePaths(m_watcher.files());
    if (!m_watcher.directories().isEmpty()) m_watcher.removePaths(m_watcher.directories());
    m_settle.stop();
    const QFileInfo info(fileName);
    m_loadedStamp = info.lastModified();
    m_loadedSize = info.exists() ? info.size() : -1;
    if (fileName.isEmpty() || !info.exists()) return;
    m_watcher.addPath(info.absoluteFilePath());
    m_watcher.addPath(info.absolutePath());
    if (const QVariant folder = remembered(FolderKey, fileName); folder.isValid()) {
        m_runner->SetSourceSearchFolder(folder.toString());
        m_runner->ReloadDebugInfo();
    }
}

void TDebuggerUi::FirmwareFileChanged() {
    const QString fileName = m_runner->FileName();
    if (fileName.isEmpty() || m_asking) return;
    const QFileInfo info(fileName);
    // A replaced file drops out of the watch: watch it again once it is back.
    if (info.exists() && !m_watcher.files().contains(info.absoluteFilePath()))
        m_watcher.addPath(info.absoluteFilePath());
    if (!info.exists() || (info.lastModified() == m_loadedStamp && info.size() == m_loadedSize))
        return;
    ReloadPolicy policy = Reload();
    if (policy == ReloadPolicy::Never) return;
    if (policy == ReloadPolicy::Ask) {
        m_asking = true;
        const int answer = Dialogs().AskChoice(
            m_window, QStringLiteral("Firmware Rebuilt"),
            QStringLiteral("%1 changed on disk. Load it again? The board stays; the firmware "
                           "starts from reset, and the breakpoints stay on their lines.")
                .arg(info.fileName()),
            {QStringLiteral("Reload"), QStringLiteral("Always Reload"),
             QStringLiteral("Keep the Loaded One")});
        m_asking = false;
        if (answer == 1) SetReload(ReloadPolicy::Always);
        if (answer != 0 && answer != 1) {
            // Not asked again for this version of the file.
            m_loadedStamp = info.lastModified();
            m_loadedSize = info.size();
            return;
        }
    }
    const QStringList wheres = BreakpointWheres();
    const bool paused = Paused();
    m_loadedStamp = info.lastModified();
    m_loadedSize = info.size();
    if (!m_firmware->LoadFirmware(fileName)) return; // the box said why; the old one runs on
    // The engine keeps its breakpoints across a load of the same file; should it not, they come
    // back from their lines.
    if (m_runner->Debugger().Breakpoints().empty() && !wheres.isEmpty()) RestoreBreakpoints(wheres);
    ProgramChanged();
    if (paused && m_runner->CurrentState() == TFirmwareRunner::State::Running) m_runner->Pause();
    m_window->statusBar()->showMessage(
        QStringLiteral("%1 was rebuilt and loaded again.").arg(info.fileName()), 10000);
}
