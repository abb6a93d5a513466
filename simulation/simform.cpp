#include "simulation/simform.h"

#include <QChildEvent>
#include <QCoreApplication>
#include <QHideEvent>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QScopeGuard>
#include <QScrollArea>
#include <QShowEvent>
#include <QStatusBar>
#include <QVarLengthArray>

#include "components/pins.h"
#include "model/circuit.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "platform/errors.h"
#include "platform/keystate.h"

namespace {

MessageTarget* g_applicationMainWindow = nullptr;

// Main windows that forward to each other would otherwise pass a message round for ever.
constexpr int MaxForwardDepth = 8;

// Sets the host-busy flag for one piece of work and puts back what was there, also when the work
// throws.
class HostBusyScope {
public:
    HostBusyScope() : m_previous(HostBusy()) { SetHostBusy(true); }
    ~HostBusyScope() { SetHostBusy(m_previous); }
    HostBusyScope(const HostBusyScope&) = delete;
    HostBusyScope& operator=(const HostBusyScope&) = delete;

private:
    bool m_previous;
};

// What a port component shows (all bits of an address in a space) and what a pin component shows
// (one bit). Never 0.
quint64 portKey(int space, int address) {
    return (quint64(quint32(address)) << 32) | (quint64(space & 0xFF) << 8) | 1;
}

quint64 pinKey(int space, int address, int pinNumber) {
    return (quint64(quint32(address)) << 32) | (quint64(space & 0xFF) << 8) |
           (quint64(pinNumber & 0x1F) << 3) | 2;
}

} // namespace

// ================================================================ TBoardSurface

TBoardSurface::TBoardSurface(TSimForm* form) : m_form(form) {
    setMouseTracking(true); // the probe follows the pointer without a button held
    setAutoFillBackground(true);
}

TBoardSurface::~TBoardSurface() {
    DeliverPolishRequests();
    // Placed components go while the board can still answer their questions, the last owned
    // first.
    const QList<QPointer<QObject>> owned = m_owned;
    for (auto it = owned.crbegin(); it != owned.crend(); ++it)
        delete it->data();
    // Contacts of anything left go after the board has stopped being one.
    for (TOrvexDriver* driver : findChildren<TOrvexDriver*>())
        driver->ForgetOwners();
}

void TBoardSurface::DeliverPolishRequests() {
    // Every new widget waits in the event queue for its polish until the event loop runs, and Qt
    // takes a destroyed widget's waiting events out by scanning the whole queue: destroying
    // thousands of components read out of sight (an Open's trial read) would cost the square of
    // their number. Delivered in one pass, the queue holds nothing of theirs.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::PolishRequest);
}

QList<QObject*> TBoardSurface::OwnedObjects() const {
    QList<QObject*> result;
    result.reserve(m_ownedSet.size());
    for (const QPointer<QObject>& object : m_owned)
        if (object && object->parent() == this && m_ownedSet.contains(object.data()))
            result.append(object.data());
    return result;
}

QObject* TBoardSurface::FindOwnedName(const QString& name) const {
    for (QObject* object : m_names.value(name.toLower()))
        if (m_ownedSet.contains(object) &&
            object->objectName().compare(name, Qt::CaseInsensitive) == 0)
            return object;
    return nullptr;
}

void TBoardSurface::Track(QObject* child) {
    DecodingChanged();
    m_mirrorPending.insert(child);
    if (m_ownedSet.contains(child)) return;
    m_ownedSet.insert(child);
    m_owned.append(child);
    if (!child->objectName().isEmpty()) m_names[child->objectName().toLower()].append(child);
    // Names are indexed as they change; the old entry is dropped lazily by FindOwnedName's check.
    connect(child, &QObject::objectNameChanged, this, [this, child](const QString& name) {
        if (m_ownedSet.contains(child) && !name.isEmpty()) {
            QList<QObject*>& list = m_names[name.toLower()];
            if (!list.contains(child)) list.append(child);
        }
    });
}

void TBoardSurface::Untrack(QObject* child) {
    DecodingChanged();
    m_mirrorPending.remove(child);
    UnindexMirror(child);
    if (!m_ownedSet.remove(child)) return;
    disconnect(child, &QObject::objectNameChanged, this, nullptr);
    const QString key = child->objectName().toLower();
    if (auto it = m_names.find(key); it != m_names.end()) {
        it->removeAll(child);
        if (it->isEmpty()) m_names.erase(it);
    }
    if (m_owned.size() > 2 * m_ownedSet.size() + 64)
        m_owned.removeIf(
            [this](const QPointer<QObject>& p) { return !p || !m_ownedSet.contains(p.data()); });
}

QList<TOrvexGraphicComponent*> TBoardSurface::OwnedComponents() const {
    QList<TOrvexGraphicComponent*> result;
    for (QObject* object : OwnedObjects())
        if (auto* component = qobject_cast<TOrvexGraphicComponent*>(object))
            result.append(component);
    return result;
}

QList<TOrvexGraphicComponent*> TBoardSurface::ComponentsInChildOrder() const {
    QList<TOrvexGraphicComponent*> result;
    for (QObject* child : children())
        if (auto* component = qobject_cast<TOrvexGraphicComponent*>(child))
            result.append(component);
    return result;
}

bool TBoardSurface::Suspended() const {
    return m_form ? m_form->Suspended() : true;
}

TNodeArray& TBoardSurface::Nodes() {
    return m_form ? m_form->Nodes() : m_noNodes;
}

bool TBoardSurface::HasWindow() const {
    return m_form && m_form->HasWindow();
}

void TBoardSurface::ShowError(const QString& text) {
    ShowErrorBox(m_form ? static_cast<QObject*>(m_form) : this, text);
}

QList<QObject*> TBoardSurface::BoardComponents() const {
    QList<QObject*> result;
    for (TOrvexGraphicComponent* component : ComponentsInChildOrder())
        result.append(component);
    return result;
}

const TMirrorTargets& TBoardSurface::MirrorTargets(TPortSpace space, int address,
                                                   int pinNumber) const {
    for (QObject* child : std::as_const(m_mirrorPending))
        IndexMirror(child);
    m_mirrorPending.clear();
    const quint64 key = pinKey(space, address, pinNumber);
    // A host mostly moves the same pin again and again.
    if (m_lastTargets && m_lastTargetKey == key) return *m_lastTargets;
    m_lastTargetKey = key;
    if (auto kept = m_mirrorTargets.constFind(key); kept != m_mirrorTargets.cend()) {
        m_lastTargets = &*kept;
        return *kept;
    }
    TMirrorTargets targets;
    if (auto it = m_mirrors.constFind(portKey(space, address)); it != m_mirrors.cend())
        for (QObject* port : *it)
            targets.Ports.append(static_cast<TOrvexPortDriver*>(port));
    if (auto it = m_mirrors.constFind(key); it != m_mirrors.cend())
        for (QObject* pin : *it)
            targets.Pins.append(static_cast<TOrvexPin*>(pin));
    // An insertion may move the other answers.
    m_lastTargets = &*m_mirrorTargets.insert(key, std::move(targets));
    return *m_lastTargets;
}

void TBoardSurface::MirrorKeyChanged(QObject* driver) {
    DecodingChanged();
    QObject* component = driver;
    while (component && component->parent() != this)
        component = component->parent();
    if (!component || m_mirrorPending.contains(component)) return;
    IndexMirror(component);
}

void TBoardSurface::IndexMirror(QObject* component) const {
    UnindexMirror(component);
    ForgetMirrorTargets();
    if (component->parent() != this || !m_ownedSet.contains(component)) return;
    ComponentRole* role = RoleOf(component);
    if (!role) return;
    std::pair<quint64, quint64> keys{0, 0};
    if (TOrvexPortDriver* port = role->MirroredPort()) {
        keys.first = portKey(port->Space(), port->Address());
        m_mirrors[keys.first].insert(component, port);
    }
    if (TOrvexPin* pin = role->MirroredPin()) {
        keys.second = pinKey(pin->Space(), pin->Address(), pin->PinNumber());
        m_mirrors[keys.second].insert(component, pin);
    }
    if (keys.first || keys.second) m_mirrorKeys.insert(component, keys);
}

void TBoardSurface::UnindexMirror(QObject* component) const {
    const auto it = m_mirrorKeys.find(component);
    if (it == m_mirrorKeys.end()) return;
    ForgetMirrorTargets();
    for (const quint64 key : {it->first, it->second}) {
        if (!key) continue;
        auto entry = m_mirrors.find(key);
        if (entry == m_mirrors.end()) continue;
        entry->remove(component);
        if (entry->isEmpty()) m_mirrors.erase(entry);
    }
    m_mirrorKeys.erase(it);
}

void TBoardSurface::ForgetMirrorTargets() const {
    m_mirrorTargets.clear();
    m_lastTargets = nullptr;
}

void TBoardSurface::DecodingChanged() {
    ++m_decodingGeneration;
}

namespace {
// True when the component takes host accesses at this address of this space: through the port or
// the pin it shows, which decode exactly that.
bool decodes(const QObject* component, TPortSpace space, int address) {
    const ComponentRole* role = RoleOf(component);
    if (!role) return false;
    const TOrvexPortDriver* port = role->MirroredPort();
    if (port && port->Space() == space && port->Address() == address) return true;
    const TOrvexPin* pin = role->MirroredPin();
    return pin && pin->Space() == space && pin->Address() == address;
}

// Accesses at addresses nothing decodes are not asked for; a host sweeping decoded addresses
// still keeps the list short.
constexpr qsizetype MaxDecoderLists = 4096;
} // namespace

const QList<TOrvexGraphicComponent*>& TBoardSurface::DecodingComponents(TPortSpace space,
                                                                        int address) const {
    const quint64 key = portKey(space, address);
    // A host mostly asks for the same address again and again (a port written in a loop).
    if (m_decodersGeneration == m_decodingGeneration && m_lastDecoders && m_lastDecoderKey == key)
        return *m_lastDecoders;
    if (m_decodersGeneration != m_decodingGeneration || m_decoders.size() >= MaxDecoderLists) {
        m_decoders.clear();
        m_decodersGeneration = m_decodingGeneration;
    }
    m_lastDecoderKey = key;
    auto it = m_decoders.find(key);
    if (it != m_decoders.end()) {
        m_lastDecoders = &*it;
        return *it;
    }
    QList<TOrvexGraphicComponent*> list;
    for (QObject* child : children())
        if (auto* component = qobject_cast<TOrvexGraphicComponent*>(child))
            if (decodes(component, space, address)) list.append(component);
    // An insertion may move the other lists.
    m_lastDecoders = &*m_decoders.insert(key, list);
    return *m_lastDecoders;
}

bool TBoardSurface::StillDecodes(const TOrvexGraphicComponent* component, TPortSpace space,
                                 int address) const {
    // Only a pointer compare until the component is known to be on the board.
    QObject* object = const_cast<TOrvexGraphicComponent*>(component);
    return m_ownedSet.contains(object) && object->parent() == this &&
           decodes(component, space, address);
}

QList<std::tuple<TPortSpace, int, int>> TBoardSurface::DecodedAddresses() const {
    QList<std::tuple<TPortSpace, int, int>> result;
    for (QObject* child : children()) {
        const ComponentRole* role = RoleOf(child);
        if (!role || !qobject_cast<TOrvexGraphicComponent*>(child)) continue;
        if (const TOrvexPortDriver* port = role->MirroredPort())
            result.append({port->Space(), port->Address(), 0xFF});
        if (const TOrvexPin* pin = role->MirroredPin()) {
            // A pin of the data space takes its own bit of the byte; a strobe pin of the external
            // space reacts to every access at its address.
            const int mask = pin->PinMask();
            const bool ownBit = pin->Space() == ops_DATA && mask > 0 && mask <= 0x80;
            result.append({pin->Space(), pin->Address(), ownBit ? mask : 0xFF});
        }
    }
    return result;
}

void TBoardSurface::ReportOscillation(const QString& where) {
    if (m_form) m_form->ReportOscillation(where);
}

SpreadState& TBoardSurface::Spread() {
    return m_form ? m_form->Spread() : BoardLink::Spread();
}

qintptr TBoardSurface::HandleMessage(quint32 msg, quint32 wParam, qintptr lParam) {
    return m_form ? m_form->HandleMessage(msg, wParam, lParam) : 0;
}

void TBoardSurface::OwnedComponentMouseMove(TOrvexGraphicComponent* sender,
                                            Qt::MouseButtons buttons,
                                            Qt::KeyboardModifiers modifiers, const QPoint& pos) {
    if (m_form) m_form->MouseMoveOnBoard(sender, buttons, modifiers, pos);
}

void TBoardSurface::leaveEvent(QEvent* event) {
    QWidget::leaveEvent(event);
    if (m_form) m_form->PointerLeftBoard();
}

void TBoardSurface::childEvent(QChildEvent* event) {
    // A child is not yet (or no longer) fully constructed here: only its address is used.
    QObject* child = event->child();
    if (event->added()) {
        Track(child);
        child->installEventFilter(this);
        ScheduleExtent();
    } else if (event->removed()) {
        Untrack(child);
        ScheduleExtent();
    }
    QWidget::childEvent(event);
}

bool TBoardSurface::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::ZOrderChange:
        // Host accesses reach the components in child order.
        if (watched->parent() == this) DecodingChanged();
        break;
    case QEvent::Move:
    case QEvent::Resize:
    case QEvent::Show:
    case QEvent::Hide:
        if (watched->parent() == this) {
            // Growing is immediate and cheap; a shrink waits for one full pass per event loop turn.
            if (event->type() != QEvent::Hide) GrowExtent(static_cast<QWidget*>(watched));
            ScheduleExtent();
        }
        break;
    default:
        break;
    }
    return false;
}

// The board grows with its components, so the scroll area scrolls to every one of them.
void TBoardSurface::GrowExtent(QWidget* widget) {
    if (!widget->isWidgetType() || widget->isHidden() || IsProbeWindow(widget)) return;
    const QRect g = widget->geometry();
    const QSize need(qMax(minimumWidth(), g.right() + 1), qMax(minimumHeight(), g.bottom() + 1));
    if (need != minimumSize()) setMinimumSize(need);
}

// The probe window floats over the board; a long node listing must not make the board scroll.
bool TBoardSurface::IsProbeWindow(const QWidget* widget) const {
    return m_form && widget == m_form->ProbeWindow();
}

void TBoardSurface::ScheduleExtent() {
    if (m_extentPending) return;
    m_extentPending = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_extentPending = false;
            UpdateExtent();
        },
        Qt::QueuedConnection);
}

void TBoardSurface::UpdateExtent() {
    QRect extent;
    for (QObject* child : children()) {
        auto* widget = qobject_cast<QWidget*>(child);
        if (widget && !widget->isHidden() && !IsProbeWindow(widget)) extent |= widget->geometry();
    }
    setMinimumSize(qMax(0, extent.right() + 1), qMax(0, extent.bottom() + 1));
}

void TBoardSurface::mousePressEvent(QMouseEvent* event) {
    try {
        if (m_form)
            m_form->MouseDownOnBoard(this, event->button(), event->modifiers(),
                                     event->position().toPoint());
    } catch (const std::exception& error) {
        ReportError(this, error);
    }
}

void TBoardSurface::mouseMoveEvent(QMouseEvent* event) {
    try {
        if (m_form)
            m_form->MouseMoveOnBoard(this, event->buttons(), event->modifiers(),
                                     event->position().toPoint());
    } catch (const std::exception& error) {
        ReportError(this, error);
    }
}

// ================================================================ TSimForm

TSimForm::TSimForm(QWidget* parent) : QMainWindow(parent) {
    m_probeTimer = new SimTimer(this);
    m_probeTimer->SetInterval(200);
    m_probeTimer->Stop();
    connect(m_probeTimer, &SimTimer::timeout, this, [this] {
        try {
            ProbeTick();
        } catch (const std::exception& error) {
            ReportError(this, error);
        }
    });
    // Watch the keys from the start, so the side of a modifier held later is known.
    KeyState();

    m_scrollArea = new QScrollArea(this);
    m_scrollArea->setWidgetResizable(true);
    m_board = new TBoardSurface(this);
    m_scrollArea->setWidget(m_board);
    setCentralWidget(m_scrollArea);
    statusBar();
}

TSimForm::~TSimForm() {
    delete m_probeWindow.data();
    m_probeTimer->Stop();
    delete m_probeTimer;
    m_probeTimer = nullptr;
    // The node table names contacts of the components: it goes first, with the rail
    // components. Then the board and its components, while this form can still answer their
    // questions.
    m_nodes.clear();
    m_schematic.reset();
    delete m_commonVcc.data();
    delete m_commonGND.data();
    delete m_board;
    m_board = nullptr;
}

bool TSimForm::HasWindow() const {
    return testAttribute(Qt::WA_WState_Created) || isVisible();
}

void TSimForm::ReportOscillation(const QString& where) {
    m_lastOscillation = QStringLiteral("Oscillation: propagation stopped at %1").arg(where);
    statusBar()->showMessage(m_lastOscillation);
}

// ---------------------------------------------------------------- view modes

void TSimForm::ApplyVisibility(TVisibility mode, bool labelsShown) {
    if (!m_board) return;
    QString failure;
    for (QObject* child : m_board->children()) {
        if (auto* component = qobject_cast<TOrvexGraphicComponent*>(child)) {
            try {
                component->SetVisibility(mode);
            } catch (const BrelvanError& error) {
                if (failure.isEmpty()) failure = error.Message();
            }
        } else if (auto* label = qobject_cast<QLabel*>(child)) {
            label->setVisible(labelsShown);
        }
    }
    if (!failure.isEmpty()) ShowErrorBox(this, failure);
}

void TSimForm::ShowSchematicView() {
    ApplyVisibility(vs_Schematic, true);
}

void TSimForm::ShowHybridView() {
    ApplyVisibility(vs_Hybrid, true);
}

void TSimForm::ShowComponentView() {
    ApplyVisibility(vs_Component, false);
}

// ---------------------------------------------------------------- reactions

void TSimForm::BoardActivated() {}

void TSimForm::ShowError(const QString& text) {
    ShowErrorBox(this, text);
}

QList<QObject*> TSimForm::BoardComponents() const {
    return m_board->BoardComponents();
}

namespace {
// A rail component belongs to the form, not to the board: it is neither placed, shown nor saved.
template <typename Rail> Rail* makeRail(TSimForm* form, const char* name) {
    auto* rail = new Rail(form);
    rail->hide();
    rail->setObjectName(QLatin1String(name));
    if (rail->Control())
        rail->Control()->setObjectName(QLatin1String(name) + QStringLiteral("_control_"));
    return rail;
}
} // namespace

void TSimForm::BuildSchematic() {
    if (m_nodes.empty()) {
        m_suspended = true;
        m_schematic = std::make_unique<NodeTable>(m_nodes);
        auto addRailNode = [this](const char* name, TOrvexGraphicPin* rail) {
            auto node = std::make_unique<TNode>(this);
            node->Name = QLatin1String(name);
            node->Index = int(m_nodes.size());
            m_nodes.push_back(std::move(node));
            m_schematic->AddDriverToNode(rail->Pin(), int(m_nodes.size()) - 1);
        };
        auto* gnd = makeRail<TGND>(this, "CommonGND");
        m_commonGND = gnd;
        addRailNode("GND", gnd);
        auto* vcc = makeRail<TVcc>(this, "CommonVcc");
        m_commonVcc = vcc;
        addRailNode("Vcc", vcc);
        m_suspended = false;

        for (TOrvexGraphicComponent* component : m_board->ComponentsInChildOrder()) {
            const int rail = component->SchematicRail();
            for (TOrvexPinDriver* contact : component->SchematicContacts()) {
                if (!contact) continue;
                if (rail >= 0)
                    m_schematic->JoinNode(contact, rail);
                else
                    m_schematic->JoinContact(contact);
            }
        }

        for (const TNodeItem& member : *m_nodes[0])
            if (member.Pin) member.Pin->AssignValue(LevelLow);
        // Members of the supply node wired straight to a ground symbol short the rails.
        for (int i = 0; i < m_nodes[1]->Count(); ++i) {
            TOrvexPinDriver* contact = m_nodes[1]->Items(i).Pin;
            if (!contact) continue;
            contact->AssignValue(LevelHigh);
            for (int c = 0; c < contact->ConnectionCount(); ++c) {
                TOrvexPinDriver* other = contact->GetComponent(c);
                ComponentRole* role = other ? RoleOf(other->parent()) : nullptr;
                if (role && role->IsGroundComponent()) {
                    role->CrashComponent();
                    break;
                }
            }
        }
        SpreadFromDriver(m_nodes[1]->FirstContact(), nullptr);
    }

    {
        HostBusyScope busy;
        const QList<TOrvexGraphicComponent*> components = m_board->ComponentsInChildOrder();
        for (TOrvexGraphicComponent* component : components)
            if (TOrvexPinDriver* pin = component->StartupPin()) SpreadFromDriver(pin, nullptr);
        for (TOrvexGraphicComponent* component : components) {
            if (TOrvexPinDriver* output = component->StartupGateOutput())
                SpreadFromDriver(output, nullptr);
            component->update();
        }
    }
    m_board->update();
}

void TSimForm::ClearSchematic() {
    if (m_nodes.empty()) return;
    m_suspended = true;
    while (!m_nodes.empty())
        m_nodes.pop_back();
    m_schematic.reset();
    delete m_commonVcc.data();
    delete m_commonGND.data();
    for (QObject* component : BoardComponents())
        if (ComponentRole* role = RoleOf(component)) role->ShowUnpowered();
    m_suspended = false;
}

void TSimForm::BoardHidden() {
    ClearSchematic();
}

void TSimForm::MouseDownOnBoard(QObject* sender, Qt::MouseButton button, Qt::KeyboardModifiers,
                                const QPoint& pos) {
    if (button != Qt::RightButton || !m_popupMenu) return;
    auto* widget = qobject_cast<QWidget*>(sender);
    m_popupMenu->popup(widget ? widget->mapToGlobal(pos) : mapToGlobal(pos));
}

bool TSimForm::event(QEvent* event) {
    if (event->type() == QEvent::WindowActivate) {
        try {
            BoardActivated();
        } catch (const std::exception& error) {
            ReportError(this, error);
        }
    }
    return QMainWindow::event(event);
}

// Showing and hiding by the program, not minimising and restoring, start and stop the board.
void TSimForm::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (event->spontaneous()) return;
    try {
        BuildSchematic();
    } catch (const std::exception& error) {
        ReportError(this, error);
    }
}

void TSimForm::hideEvent(QHideEvent* event) {
    QMainWindow::hideEvent(event);
    if (event->spontaneous()) return;
    try {
        BoardHidden();
    } catch (const std::exception& error) {
        ReportError(this, error);
    }
}

// ---------------------------------------------------------------- host messages

void TSimForm::SetApplicationMainWindow(MessageTarget* target) {
    g_applicationMainWindow = target;
}

MessageTarget* TSimForm::ApplicationMainWindow() {
    return g_applicationMainWindow;
}

qintptr TSimForm::HandleMessage(quint32 msg, quint32 wParam, qintptr lParam) {
    switch (msg) {
    case HostMsg::HostAccess:
        return HostAccessMessage(wParam, lParam);
    case HostMsg::HostStart:
        return HostStartMessage(wParam, lParam);
    case HostMsg::HostReply:
        return HostReplyMessage(wParam, lParam);
    case HostMsg::PinLevel:
    case HostMsg::PortByte:
    case HostMsg::PortAddress:
        return ForwardToMainWindow(msg, wParam, lParam);
    default:
        return 0;
    }
}

qintptr TSimForm::HostAccessMessage(quint32 wParam, qintptr lParam) {
    return DeliverHostAccess(wParam, lParam, false);
}

qintptr TSimForm::DeliverHostAccess(quint32 wParam, qintptr lParam, bool decodersOnly) {
    m_hostReply = -1;
    HostBusyScope busy;
    int address = int(wParam & 0xFFFFFFu);
    int kind = int(wParam >> 24);
    const int data = int(quint32(lParam) & 0xFFFFu);
    const int drivenData = int((quint32(lParam) >> 16) & 0xFFFFu);
    int bit = 0;
    if (kind == 2) {
        address &= 0xFFFF;
    } else if (kind == 4) {
        bit = (address & 7) + 1;
        address &= 0xFFF8;
        kind = 2;
    }
    if (!m_board) return m_hostReply;
    const int space = kind & 7;
    auto deliver = [&](TOrvexGraphicComponent* component) {
        try {
            component->HostAccess(data, drivenData, kind, address, nullptr, bit);
        } catch (const std::exception& error) {
            ReportError(this, error);
        }
    };
    if (decodersOnly && (space == ops_DATA || space == ops_XDATA)) {
        // A component may remove others while it takes the access: once the board changed, each
        // further one is checked before it is touched.
        const QList<TOrvexGraphicComponent*>& decoders =
            m_board->DecodingComponents(TPortSpace(space), address);
        const QVarLengthArray<TOrvexGraphicComponent*, 8> components(decoders.begin(),
                                                                     decoders.end());
        const quint64 generation = m_board->DecodingGeneration();
        for (TOrvexGraphicComponent* component : components) {
            if (m_board->DecodingGeneration() != generation &&
                !m_board->StillDecodes(component, TPortSpace(space), address))
                continue;
            deliver(component);
        }
        return m_hostReply;
    }
    QList<QPointer<TOrvexGraphicComponent>> components;
    for (TOrvexGraphicComponent* component : m_board->ComponentsInChildOrder())
        components.append(component);
    for (const QPointer<TOrvexGraphicComponent>& component : std::as_const(components))
        if (component) deliver(component);
    return m_hostReply;
}

qintptr TSimForm::HostStartMessage(quint32, qintptr) {
    HostBusyScope busy;
    Clock().Wait(50);
    try {
        BuildSchematic();
    } catch (const std::exception& error) {
        ReportError(this, error);
    }
    return 0;
}

qintptr TSimForm::HostReplyMessage(quint32 wParam, qintptr) {
    m_hostReply = int(wParam);
    return 0;
}

qintptr TSimForm::ForwardToMainWindow(quint32 msg, quint32 wParam, qintptr lParam) {
    MessageTarget* target = g_applicationMainWindow;
    // A form that is itself the main window would hand the message to itself for ever.
    if (!target || target == static_cast<MessageTarget*>(this) || m_forwardDepth >= MaxForwardDepth)
        return 0;
    ++m_forwardDepth;
    // The main window may close this form while it handles the message.
    const QPointer<TSimForm> self(this);
    const auto leave = qScopeGuard([&] {
        if (self) --self->m_forwardDepth;
    });
    return target->HandleMessage(msg, wParam, lParam);
}
