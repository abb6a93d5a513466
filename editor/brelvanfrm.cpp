#include "editor/brelvanfrm.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScreen>
#include <QScrollArea>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>
#include <QUndoStack>
#include <QWheelEvent>

#include "editor/analyserview.h"
#include "editor/autosave.h"
#include "editor/brelvanprop.h"
#include "editor/componenttable.h"
#include "editor/debuggerui.h"
#include "editor/firmwareui.h"
#include "editor/windowextras.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "properties/propertyeditor.h"
#include "resources/pictures.h"
#include "simulation/brelvanclasses.h"

namespace {

// The tool bar's buttons, left to right: a Tag selects the component table row, 0 a separator.
struct ToolSlot {
    const char* name;
    int tag;
};
constexpr ToolSlot ToolOrder[] = {
    {"tbLED", ToolTag::LED},
    {"tbTwoColorLED", ToolTag::TwoColorLED},
    {"tbSevenSeg", ToolTag::DispSeg},
    {"tbBulb", ToolTag::Bulb},
    {nullptr, 0},
    {"tbSwitch", ToolTag::Switch},
    {"tbRoundBtn", ToolTag::RoundBtn},
    {"tbSquareBtn", ToolTag::SquareBtn},
    {nullptr, 0},
    {"tbDiode", ToolTag::Diode},
    {"tbInvertor", ToolTag::Invertor},
    {"tbNAND", ToolTag::GateAND},
    {nullptr, 0},
    {"tbPIN", ToolTag::UPin},
    {"tbPort", ToolTag::UPort},
    {"tbDrPort", ToolTag::UDrivenPort},
    {"tbSelector", ToolTag::USelector},
    {"tbBus", ToolTag::BUS},
    {"tbVcc", ToolTag::Vcc},
    {"tbGnd", ToolTag::GND},
    {"tbLine", ToolTag::Line},
    {"tbLCDAlpha", ToolTag::LCDAlpha},
    {"tbLCDGraph", ToolTag::LCDGraph},
    {nullptr, 0},
};

constexpr QSize ImageSize(24, 24);
constexpr QSize ButtonSize(35, 30);

// A tool picture centred on a transparent 24 x 24 image at its proportions, also at twice the
// resolution for high-density screens.
QIcon toolIcon(const QString& picture) {
    QIcon icon;
    const QSize nominal = Pictures::NominalSize(picture);
    for (int scale : {1, 2}) {
        const QSize box = ImageSize * scale;
        const QSize size = nominal.isEmpty() ? box : nominal.scaled(box, Qt::KeepAspectRatio);
        QImage image(box, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.drawImage((box.width() - size.width()) / 2, (box.height() - size.height()) / 2,
                          Pictures::Render(picture, size));
        painter.end();
        QPixmap pixmap = QPixmap::fromImage(image);
        pixmap.setDevicePixelRatio(scale);
        icon.addPixmap(pixmap);
    }
    return icon;
}

// The program icon at the sizes window systems ask for.
QIcon programIcon() {
    QIcon icon;
    for (int side : {16, 24, 32, 48, 64, 128, 256})
        icon.addPixmap(
            QPixmap::fromImage(Pictures::Render(QStringLiteral("MAINICON"), {side, side})));
    return icon;
}

} // namespace

TfrmPlugin::TfrmPlugin(QWidget* parent) : TSimForm(parent) {
    m_select = std::make_unique<TBoardSelection>(*this);
    m_grid = std::make_unique<TBoardGrid>(*this);
    m_hostLink = std::make_unique<TBoardFormLink>(*this);
    SetSuspended(true);
    setWindowTitle(QStringLiteral("Brelvan"));
    SetPopupMenu(nullptr);
    // The undo stack, and the modified mark that its clean state drives.
    m_edits = std::make_unique<TEditCommands>(*this, *m_select);
    m_files = std::make_unique<TFileCommands>(*this, *m_edits);
    m_wires = std::make_unique<TWireTool>(*this, *m_edits, *m_select);
    // The properties window: a window of its own that stays on top, hidden at start.
    m_frmProp = new TfrmProp(this);
    m_frmProp->hide();
    TBoardSurface* board = Board();
    m_frmProp->SetSearchRoot(PropertyText::TPathRoot{
        board, [board] { return board->OwnedObjects(); },
        [board](const QString& name) { return board->FindOwnedName(name); }});
    m_frmProp->OnModified = [this] {
        // A write the undo stack took marks the board through it.
        m_wires->Invalidate(); // a write may change wires
        if (m_edits->TakeWriteRecorded()) return;
        SetModified(true);
    };
    m_frmProp->PropEdit()->OnWriteProperty = [this](QObject* obj, const QString& propName,
                                                    const std::function<void()>& write) {
        m_edits->WriteProperty(obj, propName, write);
    };
    CreateMenus();
    CreateToolBar();
    m_statusLabel = new QLabel(this);
    statusBar()->addWidget(m_statusLabel, 1);
    FormCreate();
    m_firmware = new TFirmwareUi(this);
    m_debugger = new TDebuggerUi(this, m_firmware);
    InstallAnalyser(this);
    m_autosave = new TAutosave(*this);
    m_extras = new TWindowExtras(*this);
}

TfrmPlugin::~TfrmPlugin() {
    // The firmware stops before the board goes: nothing may reach the board or this window then.
    delete m_debugger;
    m_debugger = nullptr;
    delete m_firmware;
    m_firmware = nullptr;
    m_hostLink->SetBoardHost(nullptr);
    // The board and its components outlive this part of the window: nothing of theirs may call
    // back into it, and nothing may propagate while they go.
    if (m_running) {
        ClearSchematic();
        SetSuspended(true);
    }
    Board()->removeEventFilter(this);
    ScrollArea()->removeEventFilter(this);
    // The grid lets go of its object and the steps of the board go before the components do.
    m_frmProp->PropEdit()->OnWriteProperty = nullptr;
    m_frmProp->OnModified = nullptr;
    m_frmProp->PropEdit()->SetObject(nullptr);
    UndoStack()->disconnect(this);
    UndoStack()->clear();
    for (TOrvexGraphicComponent* component : Board()->OwnedComponents()) {
        component->OnMouseDown = nullptr;
        component->OnMouseMove = nullptr;
        component->removeEventFilter(this);
    }
}

void TfrmPlugin::FormCreate() {
    try {
        setWindowIcon(programIcon());
    } catch (const std::exception&) {
        // A missing icon leaves the system's.
    }
    m_downX = -1;
    m_downY = -1;
    m_running = false;
    m_doubleClickTime = Clock().DoubleClickTime();
    m_select->CreateBand();
    m_files->SetFileName(QString());
    Board()->installEventFilter(this);
    ScrollArea()->installEventFilter(this);
    m_files->UpdateTitle();
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        resize(QSize(900, 640).boundedTo(screen->availableGeometry().size()));
    else
        resize(900, 640);
    UpdateStatus();
}

void TfrmPlugin::CreateMenus() {
    auto addItem = [this](QMenu* menu, const char* name, const QString& caption,
                          const QKeySequence& shortcut, auto handler) {
        auto* action = menu->addAction(caption);
        action->setObjectName(QLatin1String(name));
        if (!shortcut.isEmpty()) action->setShortcut(shortcut);
        connect(action, &QAction::triggered, this, [this, handler] { Guard([&] { handler(); }); });
        return action;
    };

    m_files->CreateMenu();
    m_edits->CreateMenu();

    m_mnuView = menuBar()->addMenu(QStringLiteral("&View"));
    m_mnuView->setObjectName(QStringLiteral("Objects1"));
    addItem(m_mnuView, "CyclePropFrm", QStringLiteral("Show/Hide properties window"),
            QKeySequence(Qt::Key_F4), [this] { CyclePropFrmExecute(); });
    addItem(m_mnuView, "Gridsize1", QStringLiteral("&Grid size"), QKeySequence(),
            [this] { Gridsize1Click(); });
    m_wires->CreateView(m_mnuView);

    m_mnuVisibility = menuBar()->addMenu(QStringLiteral("V&isibility"));
    m_mnuVisibility->setObjectName(QStringLiteral("mnuVisibility"));
    m_visibilityGroup = new QActionGroup(this);
    const struct {
        const char* name;
        const char* caption;
    } modes[] = {{"miInvisible", "&Schematic"},
                 {"mSchematic", "&Hybrid"},
                 {"miComponent", "&Components Only"}};
    for (int tag = 0; tag < 3; ++tag) {
        auto* action = m_mnuVisibility->addAction(QLatin1String(modes[tag].caption));
        action->setObjectName(QLatin1String(modes[tag].name));
        action->setData(tag);
        action->setCheckable(true);
        action->setChecked(tag == 1);
        m_visibilityGroup->addAction(action);
        connect(action, &QAction::triggered, this,
                [this, action] { Guard([&] { VisibilityClick(action); }); });
    }
    m_mnuVisibility->addSeparator()->setObjectName(QStringLiteral("N2"));
    m_miStayOnTop = m_mnuVisibility->addAction(QStringLiteral("Stay on top"));
    m_miStayOnTop->setObjectName(QStringLiteral("miStayOnTop"));
    m_miStayOnTop->setCheckable(true);
    connect(m_miStayOnTop, &QAction::triggered, this,
            [this] { Guard([&] { miStayOnTopClick(); }); });
}

void TfrmPlugin::CreateToolBar() {
    m_toolBar = new QToolBar(QStringLiteral("ToolBar"), this);
    m_toolBar->setObjectName(QStringLiteral("ToolBar"));
    m_toolBar->setIconSize(ImageSize);
    m_toolBar->setMovable(false);
    m_toolBar->setFloatable(false);
    addToolBar(Qt::TopToolBarArea, m_toolBar);

    auto addButton = [this](const char* name, int tag) {
        auto* button = new QToolButton(m_toolBar);
        button->setObjectName(QLatin1String(name));
        button->setCheckable(true);
        button->setAutoRaise(true);
        button->setFocusPolicy(Qt::NoFocus);
        button->setMinimumSize(ButtonSize);
        m_toolBar->addWidget(button);
        m_buttons.append(button);
        m_buttonTags.append(tag);
        return button;
    };

    for (const ToolSlot& slot : ToolOrder) {
        if (!slot.name) {
            m_toolBar->addSeparator();
            continue;
        }
        const ComponentRow* row = ComponentTable::Row(slot.tag);
        QToolButton* button = addButton(slot.name, slot.tag);
        button->setFixedSize(ButtonSize);
        button->setToolTip(ComponentTable::ShortName(row->ClassName));
        try {
            button->setIcon(toolIcon(row->ClassName.toUpper()));
        } catch (const std::exception&) {
            // Without its picture the button still shows its hint.
            button->setText(ComponentTable::ShortName(row->ClassName));
        }
        connect(button, &QToolButton::clicked, this,
                [this, button] { Guard([&] { ButtonClick(button); }); });
    }

    m_tbRun = addButton("tbRun", 0);
    m_tbRun->setText(QStringLiteral("Run"));
    m_tbRun->setToolTip(QStringLiteral("Run"));
    m_tbRun->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    try {
        m_tbRun->setIcon(toolIcon(QStringLiteral("RUN")));
    } catch (const std::exception&) {
        // The caption says what it is.
    }
    connect(m_tbRun, &QToolButton::clicked, this, [this] { Guard([&] { tbRunClick(); }); });
}

// ---------------------------------------------------------------- state

QRect TfrmPlugin::ClientArea() const {
    return TSimForm::ClientArea();
}

QString TfrmPlugin::StatusText() const {
    return m_statusLabel->text();
}

QToolButton* TfrmPlugin::ToolButton(int tag) const {
    if (tag <= 0) return nullptr;
    const int index = m_buttonTags.indexOf(tag);
    return index < 0 ? nullptr : m_buttons[index];
}

QAction* TfrmPlugin::VisibilityItem(int tag) const {
    for (QAction* action : m_visibilityGroup->actions())
        if (action->data().toInt() == tag) return action;
    return nullptr;
}

void TfrmPlugin::UpdateStatus() {
    QStringList parts;
    if (m_running) parts << QStringLiteral("Running");
    if (!m_oscillation.isEmpty()) parts << m_oscillation;
    m_statusLabel->setText(parts.join(QStringLiteral("  \u2014  ")));
}

void TfrmPlugin::ReportOscillation(const QString& where) {
    TSimForm::ReportOscillation(where);
    // The report joins the permanent text instead of covering it as a passing message.
    statusBar()->clearMessage();
    m_oscillation = LastOscillation();
    UpdateStatus();
}

// ---------------------------------------------------------------- Run

void TfrmPlugin::tbRunClick() {
    m_running = !m_running;
    m_tbRun->setChecked(m_running);
    if (m_running) {
        ReleaseTool();
        m_select->ClearSelection(nullptr);
        if (m_frmProp->isVisible()) m_frmProp->hide();
        m_select->UnmarkEdited();
        m_select->SetEditedObject(nullptr);
        m_oscillation.clear();
        try {
            TSimForm::BuildSchematic();
        } catch (const std::exception& error) {
            // A board that cannot be built stays in editing mode.
            ClearSchematic();
            SetSuspended(true);
            m_running = false;
            m_tbRun->setChecked(false);
            UpdateRunControls();
            ReportError(this, error);
            return;
        }
    } else {
        CloseProbeWindow();
        ClearSchematic();
        SetSuspended(true);
    }
    UpdateRunControls();
}

void TfrmPlugin::UpdateRunControls() {
    for (QToolButton* button : m_buttons)
        if (button != m_tbRun) button->setEnabled(!m_running);
    // Disabled with the menu, its shortcuts must not reach its commands either.
    for (QMenu* menu : {m_files->Menu(), m_edits->Menu()}) {
        menu->menuAction()->setEnabled(!m_running);
        for (QAction* action : menu->actions())
            action->setEnabled(!m_running);
    }
    m_edits->UpdateUndoActions();
    m_files->UpdateRecentMenu();
    UpdateStatus();
    m_wires->UpdateView();
    Board()->update();
    emit RunningChanged(m_running);
}

// ---------------------------------------------------------------- New, files, closing

bool TfrmPlugin::ClearBoard() {
    if (m_running) tbRunClick();
    m_select->ClearSelection(nullptr);
    const QList<TOrvexGraphicComponent*> owned = Board()->OwnedComponents();
    TBoardSurface::DeliverPolishRequests();
    // First made first: Qt takes the first of a child list out without searching or moving the
    // rest, while the last costs a search through all of them. Everything goes, so the order
    // leaves nothing different behind.
    for (TOrvexGraphicComponent* component : owned)
        delete component;
    m_files->SetFileName(QString());
    m_files->ClearUndo();
    m_oscillation.clear();
    UpdateStatus();
    emit BoardCleared();
    return true;
}

bool TfrmPlugin::FormClose() {
    if (!QuerySaveChanges()) return false;
    if (!ClearBoard()) return false;
    m_frmProp->hide();
    return true;
}

void TfrmPlugin::closeEvent(QCloseEvent* event) {
    bool close = false;
    Guard([&] { close = FormClose(); });
    if (close)
        event->accept();
    else
        event->ignore();
}

void TfrmPlugin::MessageError(const QString& text) {
    ShowErrorBox(this, text);
}

// ---------------------------------------------------------------- View and Visibility

void TfrmPlugin::CyclePropFrmExecute() {
    if (m_running) return;
    m_frmProp->FormResize();
    if (m_frmProp->isVisible()) {
        m_frmProp->hide();
    } else {
        m_frmProp->show();
        m_frmProp->raise();
        m_frmProp->activateWindow();
    }
}

void TfrmPlugin::VisibilityClick(QAction* sender) {
    if (!sender) return;
    switch (sender->data().toInt()) {
    case 0:
        ShowSchematicView();
        break;
    case 1:
        ShowHybridView();
        break;
    case 2:
        ShowComponentView();
        break;
    default:
        return;
    }
    sender->setChecked(true);
}

void TfrmPlugin::miStayOnTopClick() {
    const bool onTop = !(windowFlags() & Qt::WindowStaysOnTopHint);
    const bool shown = isVisible();
    setWindowFlag(Qt::WindowStaysOnTopHint, onTop);
    // Changing the flags hides the window; it comes back as it was.
    if (shown) show();
    m_miStayOnTop->setChecked(onTop);
}

// ---------------------------------------------------------------- the board's events

bool TfrmPlugin::eventFilter(QObject* watched, QEvent* event) {
    if (watched == ScrollArea() && event->type() == QEvent::KeyPress) {
        // The arrow keys move the selection before the scroll area scrolls with them.
        auto* key = static_cast<QKeyEvent*>(event);
        bool taken = false;
        Guard([&] { taken = ObjectKeyDown(key->key(), key->modifiers()); });
        return taken;
    }
    if (auto* component = qobject_cast<TOrvexGraphicComponent*>(watched);
        component && component->parent() == Board()) {
        // The component's hint shows in the status bar, out of the pointer's way: the probe
        // opens there.
        switch (event->type()) {
        case QEvent::ToolTip:
            return true;
        case QEvent::Enter:
            m_shownHint = component->HoverText();
            if (!m_shownHint.isEmpty()) statusBar()->showMessage(m_shownHint);
            break;
        case QEvent::Leave:
            if (!m_shownHint.isEmpty() && statusBar()->currentMessage() == m_shownHint)
                statusBar()->clearMessage();
            m_shownHint.clear();
            break;
        default:
            break;
        }
    }
    if (auto* component = qobject_cast<TOrvexGraphicComponent*>(watched);
        component && component->parent() == Board() && m_wires->Overlay()) {
        bool taken = false;
        Guard([&] { taken = m_wires->ComponentEvent(component, event); });
        if (taken) return true;
    }
    if (watched != Board()) return TSimForm::eventFilter(watched, event);
    m_wires->BoardEvent(event);
    switch (event->type()) {
    case QEvent::Paint: {
        // The board's background is filled; the grid goes over it, the components over that.
        QPainter painter(Board());
        m_grid->Paint(painter, static_cast<QPaintEvent*>(event)->rect());
        break;
    }
    case QEvent::MouseButtonPress: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton) m_boardPressed = true;
        break;
    }
    case QEvent::MouseButtonRelease: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        const QPoint pos = mouse->position().toPoint();
        // A click is a left press and release on the board; it comes before the end of the band.
        if (mouse->button() == Qt::LeftButton) {
            const bool click = m_boardPressed && Board()->rect().contains(pos);
            m_boardPressed = false;
            if (click) Guard([&] { FormClick(pos); });
        }
        Guard([&] { FormMouseUp(mouse->button(), mouse->modifiers(), pos); });
        break;
    }
    case QEvent::Wheel: {
        auto* wheel = static_cast<QWheelEvent*>(event);
        bool taken = false;
        Guard([&] { taken = FormMouseWheel(wheel->angleDelta().y(), wheel->modifiers()); });
        if (taken) {
            wheel->accept();
            return true;
        }
        break;
    }
    default:
        break;
    }
    return false;
}

void TfrmPlugin::keyPressEvent(QKeyEvent* event) {
    bool taken = false;
    Guard([&] { taken = ObjectKeyDown(event->key(), event->modifiers()); });
    if (taken)
        event->accept();
    else
        TSimForm::keyPressEvent(event);
}

void TfrmPlugin::changeEvent(QEvent* event) {
    TSimForm::changeEvent(event);
    // A band whose window lost the focus ends without selecting.
    if (event->type() == QEvent::ActivationChange && !isActiveWindow() && m_select)
        m_select->BandCancel();
}

// ---------------------------------------------------------------- the board's own host

qintptr TfrmPlugin::HostReplyMessage(quint32 wParam, qintptr lParam) {
    return m_hostLink->InHostAccess() ? TSimForm::HostReplyMessage(wParam, lParam) : 0;
}

qintptr TfrmPlugin::ForwardToMainWindow(quint32 msg, quint32 wParam, qintptr lParam) {
    return m_hostLink->Forward(msg, wParam, lParam);
}
