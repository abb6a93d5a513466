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
#include <optional>
#include <utility>

#include "simulation/brelvanclasses.h"
#include "editor/componenttable.h"
#include "editor/firmwareui.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "editor/brelvanprop.h"
#include "properties/propertyeditor.h"
#include "resources/pictures.h"

namespace {

// The tool bar's buttons, left to right: a Tag selects the component table row, 0 a separator.
struct ToolSlot {
    const char* name;
    int tag;
};
constexpr ToolSlot ToolOrder[] = {
    {"tbLED", 1},      {"tbTwoColorLED", 16}, {"tbSevenSeg", 2},  {"tbBulb", 3}, {nullptr, 0},
    {"tbSwitch", 4},   {"tbRoundBtn", 5},     {"tbSquareBtn", 6}, {nullptr, 0},  {"tbDiode", 7},
    {"tbInvertor", 8}, {"tbNAND", 18},        {nullptr, 0},       {"tbPIN", 9},  {"tbPort", 10},
    {"tbDrPort", 11},  {"tbSelector", 17},    {"tbBus", 12},      {"tbVcc", 13}, {"tbGnd", 14},
    {"tbLine", 15},    {"tbLCDAlpha", 19},    {"tbLCDGraph", 20}, {nullptr, 0},
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
    SetSuspended(true);
    setWindowTitle(QStringLiteral("Brelvan"));
    SetPopupMenu(nullptr);
    m_undo = new QUndoStack(this);
    connect(m_undo, &QUndoStack::cleanChanged, this, [this](bool clean) {
        m_modified = !clean;
        UpdateTitle();
    });
    // The properties window: a window of its own that stays on top, hidden at start.
    m_frmProp = new TfrmProp(this);
    m_frmProp->hide();
    TBoardSurface* board = Board();
    m_frmProp->SetSearchRoot(PropertyText::TPathRoot{
        board, [board] { return board->OwnedObjects(); },
        [board](const QString& name) { return board->FindOwnedName(name); }});
    m_frmProp->OnModified = [this] {
        // A write the undo stack took marks the board through it.
        if (m_wireOverlay) m_wireOverlay->Invalidate(); // a write may change wires
        if (std::exchange(m_writeRecorded, false)) return;
        SetModified(true);
    };
    m_frmProp->PropEdit()->OnWriteProperty = [this](QObject* obj, const QString& propName,
                                                    const std::function<void()>& write) {
        WriteProperty(obj, propName, write);
    };
    CreateMenus();
    CreateToolBar();
    m_statusLabel = new QLabel(this);
    statusBar()->addWidget(m_statusLabel, 1);
    FormCreate();
    m_firmware = new TFirmwareUi(this);
}

TfrmPlugin::~TfrmPlugin() {
    // The firmware stops before the board goes: nothing may reach the board or this window then.
    delete m_firmware;
    m_firmware = nullptr;
    m_boardHost = nullptr;
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
    m_undo->disconnect(this);
    m_undo->clear();
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
    m_gridSize = 4;
    m_doubleClickTime = Clock().DoubleClickTime();
    m_selectRect = new TSelectRect(Board());
    m_selectRect->hide();
    m_fileName.clear();
    Board()->installEventFilter(this);
    ScrollArea()->installEventFilter(this);
    UpdateTitle();
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

    m_mnuFile = menuBar()->addMenu(QStringLiteral("&File"));
    m_mnuFile->setObjectName(QStringLiteral("mnuFile"));
    addItem(m_mnuFile, "miNew", QStringLiteral("&New"), QKeySequence(Qt::CTRL | Qt::Key_N),
            [this] { miNewClick(); });
    addItem(m_mnuFile, "miSave", QStringLiteral("&Save"), QKeySequence(Qt::CTRL | Qt::Key_S),
            [this] { miSaveClick(); });
    addItem(m_mnuFile, "miSaveAs", QStringLiteral("Save &As"), QKeySequence(),
            [this] { miSaveAsClick(); });
    addItem(m_mnuFile, "miLoad", QStringLiteral("&Open"), QKeySequence(Qt::CTRL | Qt::Key_O),
            [this] { miLoadClick(); });
    m_mnuRecent = m_mnuFile->addMenu(QStringLiteral("Open &Recent"));
    m_mnuRecent->setObjectName(QStringLiteral("mnuRecent"));
    UpdateRecentMenu();
    m_mnuFile->addSeparator()->setObjectName(QStringLiteral("N1"));
    addItem(m_mnuFile, "miExit", QStringLiteral("E&xit"), QKeySequence(),
            [this] { miExitClick(); });

    CreateEditMenu();

    m_mnuView = menuBar()->addMenu(QStringLiteral("&View"));
    m_mnuView->setObjectName(QStringLiteral("Objects1"));
    addItem(m_mnuView, "CyclePropFrm", QStringLiteral("Show/Hide properties window"),
            QKeySequence(Qt::Key_F11), [this] { CyclePropFrmExecute(); });
    addItem(m_mnuView, "Gridsize1", QStringLiteral("&Grid size"), QKeySequence(),
            [this] { Gridsize1Click(); });
    CreateWireView();

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

QList<TOrvexGraphicComponent*> TfrmPlugin::Selection() const {
    QList<TOrvexGraphicComponent*> result;
    for (const QPointer<TOrvexGraphicComponent>& component : m_selection)
        if (component) result.append(component.data());
    return result;
}

void TfrmPlugin::SetGridSize(int size) {
    m_gridSize = qBound(1, size, MaxGridSize);
    Board()->update();
}

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
        ClearSelection(nullptr);
        if (PropertiesWindowVisible()) HidePropertiesWindow();
        UnmarkEdited();
        SetEditedObject(nullptr);
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
    for (QMenu* menu : {m_mnuFile, m_mnuEdit}) {
        menu->menuAction()->setEnabled(!m_running);
        for (QAction* action : menu->actions())
            action->setEnabled(!m_running);
    }
    UpdateUndoActions();
    UpdateRecentMenu();
    UpdateStatus();
    UpdateWireView();
    Board()->update();
    emit RunningChanged(m_running);
}

// ---------------------------------------------------------------- New, files, closing

bool TfrmPlugin::ClearBoard() {
    if (m_running) tbRunClick();
    UnmarkEdited();
    SetEditedObject(nullptr);
    PropertiesFormResize();
    while (!m_selection.isEmpty()) {
        QPointer<TOrvexGraphicComponent> component = m_selection.takeLast();
        if (component) component->SetSelected(false);
    }
    const QList<TOrvexGraphicComponent*> owned = Board()->OwnedComponents();
    TBoardSurface::DeliverPolishRequests();
    // First made first: Qt takes the first of a child list out without searching or moving the
    // rest, while the last costs a search through all of them. Everything goes, so the order
    // leaves nothing different behind.
    for (TOrvexGraphicComponent* component : owned)
        delete component;
    m_fileName.clear();
    ClearUndo();
    m_oscillation.clear();
    UpdateStatus();
    return true;
}

bool TfrmPlugin::FormClose() {
    if (!QuerySaveChanges()) return false;
    if (!ClearBoard()) return false;
    HidePropertiesWindow();
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
    PropertiesFormResize();
    if (PropertiesWindowVisible()) {
        HidePropertiesWindow();
    } else {
        ShowPropertiesWindow();
        m_frmProp->activateWindow();
    }
}

// ---------------------------------------------------------------- the properties window

void TfrmPlugin::SetEditedObject(QObject* object) {
    m_edited = object;
    m_frmProp->PropEdit()->SetObject(object);
}

void TfrmPlugin::PropertiesFormResize() {
    m_frmProp->FormResize();
}

bool TfrmPlugin::PropertiesWindowVisible() const {
    return m_frmProp->isVisible();
}

void TfrmPlugin::ShowPropertiesWindow() {
    m_frmProp->show();
    m_frmProp->raise();
}

void TfrmPlugin::HidePropertiesWindow() {
    m_frmProp->hide();
}

void TfrmPlugin::Gridsize1Click() {
    const std::optional<QString> answer = Dialogs().InputText(
        this, QStringLiteral("Grid size"),
        QStringLiteral("Specify grid size value. Can be also changed using your mouse wheel and "
                       "holding CTRL key."),
        QString::number(m_gridSize));
    if (!answer) return;
    bool ok = false;
    const int size = answer->trimmed().toInt(&ok, 10);
    if (!ok) {
        MessageError(QStringLiteral("Wrong value!"));
        return;
    }
    SetGridSize(size);
}

bool TfrmPlugin::FormMouseWheel(int angleDelta, Qt::KeyboardModifiers modifiers) {
    if (!(modifiers & Qt::ControlModifier)) return false;
    // Whole notches of 120; a finer wheel adds up its turns until they make one.
    m_wheelRest += angleDelta;
    const int notches = m_wheelRest / 120;
    m_wheelRest -= notches * 120;
    SetGridSize(m_gridSize + notches);
    return true;
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
        component && component->parent() == Board() && m_wireOverlay) {
        bool taken = false;
        Guard([&] { taken = ComponentWireEvent(component, event); });
        if (taken) return true;
    }
    if (watched != Board()) return TSimForm::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::ChildAdded:
    case QEvent::ChildRemoved:
        // A component placed, deleted or read from a file: its wires come and go with it.
        if (m_wireOverlay) m_wireOverlay->Invalidate();
        [[fallthrough]];
    case QEvent::Resize:
        // New components stack above the lines; the lines follow the board's size.
        if (m_wireOverlay) m_wireOverlay->Follow();
        break;
    case QEvent::Paint: {
        // The board's background is filled; the grid goes over it, the components over that.
        QPainter painter(Board());
        PaintGrid(painter, static_cast<QPaintEvent*>(event)->rect());
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

void TfrmPlugin::PaintGrid(QPainter& painter, const QRect& exposed) {
    if (m_running || m_gridSize < 2) return;
    const QColor window = Board()->palette().color(QPalette::Window);
    const int g = m_gridSize;
    const QRect all = Board()->rect();
    int side = g;
    while (side < 8)
        side *= 2;
    if (side <= 256) {
        if (m_gridTile.isNull() || m_gridTileSize != g || m_gridTileColor != window) {
            QImage tile(side, side, QImage::Format_RGB32);
            tile.fill(window);
            for (int y = 0; y < side; y += g)
                for (int x = 0; x < side; x += g)
                    tile.setPixelColor(x, y, Qt::black);
            m_gridTile = QPixmap::fromImage(tile);
            m_gridTileSize = g;
            m_gridTileColor = window;
        }
        painter.fillRect(all.adjusted(1, 1, -1, -1), QBrush(m_gridTile));
    } else {
        // A tile this large would cost more than the few dots it holds.
        const QRect area = exposed.intersected(all);
        painter.setPen(Qt::black);
        for (int y = (area.top() + g - 1) / g * g; y <= area.bottom(); y += g)
            for (int x = (area.left() + g - 1) / g * g; x <= area.right(); x += g)
                painter.drawPoint(x, y);
    }
    painter.setPen(QPen(window, 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(all.adjusted(0, 0, -1, -1));
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
    if (event->type() == QEvent::ActivationChange && !isActiveWindow() && m_selectRect)
        m_selectRect->Finish();
}
