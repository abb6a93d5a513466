// Placing, naming, moving, resizing and deleting components on the main window's board, and the
// board's mouse events that select (the selection itself is TBoardSelection's).
#include <QAction>
#include <QActionGroup>
#include <QToolButton>

#include "editor/boardcontextmenu.h"
#include "editor/boardedits.h"
#include "editor/brelvanfrm.h"
#include "editor/brelvanprop.h"
#include "editor/componenttable.h"
#include "platform/clock.h"
#include "platform/errors.h"
#include "simulation/brelvanclasses.h"

namespace {
// p div g × g with the division truncating toward zero: the grid point at or before p.
int snap(int p, int g) {
    return p / g * g;
}
} // namespace

// ---------------------------------------------------------------- tools and placing

void TfrmPlugin::ButtonClick(QToolButton* sender) {
    const int index = m_buttons.indexOf(sender);
    const int tag = index < 0 ? 0 : m_buttonTags[index];
    if (tag == 0) return;
    if (tag == m_currentTool) {
        // A second click within the double-click time places in the middle; a later one disarms.
        if (Clock().TickCount() >= m_toolTick + m_doubleClickTime) {
            ReleaseTool();
            return;
        }
        try {
            CreateComponent(tag, true, QPoint());
        } catch (const std::exception&) {
            ReleaseTool();
            throw;
        }
        ReleaseTool();
        return;
    }
    ReleaseTool();
    sender->setChecked(true);
    m_currentTool = tag;
    m_toolTick = Clock().TickCount();
}

void TfrmPlugin::ReleaseTool() {
    for (QToolButton* button : m_buttons)
        if (button != m_tbRun) button->setChecked(false);
    m_currentTool = 0;
}

void TfrmPlugin::CreateComponent(int tag, bool atCentre, const QPoint& at) {
    const ComponentRow* row = ComponentTable::Row(tag);
    if (!row || !row->Create) return; // a class not built yet places nothing
    TOrvexGraphicComponent* component = row->Create(Board());
    PlaceComponent(component, row->Width, row->Height, atCentre, at);
    m_edits->PushStateStep(QStringLiteral("Place %1").arg(component->Name()), TBoardState(),
                           BoardEdits::Capture(Board(), {component}));
}

void TfrmPlugin::FormClick(const QPoint& pos) {
    m_select->UnmarkEdited();
    m_select->SetEditedObject(nullptr);
    m_frmProp->FormResize();
    if (m_currentTool == 0) return;
    const int tag = m_currentTool;
    try {
        CreateComponent(tag, false, pos);
    } catch (const std::exception&) {
        ReleaseTool();
        throw;
    }
    ReleaseTool();
}

void TfrmPlugin::PlaceComponent(TOrvexGraphicComponent* component, int width, int height,
                                bool atCentre, const QPoint& at) {
    if (!component) return;
    if (component->parent() != Board()) component->setParent(Board());
    NameComponent(component);
    component->show();
    component->SetHint(component->Name() + QStringLiteral(" : ") +
                       QLatin1String(component->metaObject()->className()));
    // The hint is kept but not shown: over the board the pointer belongs to the probe.
    component->setToolTip(QString());
    component->SetWidth(width);
    component->SetHeight(height);
    if (atCentre) {
        SetNewPosition(component);
    } else {
        component->move(snap(at.x(), GridSize()), snap(at.y(), GridSize()));
        component->raise();
    }
    WireComponent(component);
    // The new component takes the present view mode with all the others.
    VisibilityClick(m_visibilityGroup->checkedAction());
    // The single selection stays what it was; the new component is not selected.
    m_select->ObjectClick(m_select->EditedObject(), false);
}

void TfrmPlugin::NameComponent(TOrvexGraphicComponent* component) {
    if (!component || !component->Name().isEmpty()) return;
    const QString base =
        ComponentTable::ShortName(QLatin1String(component->metaObject()->className()));
    int n = 1;
    for (const TOrvexGraphicComponent* owned : Board()->OwnedComponents())
        if (owned->Name().compare(base + QString::number(n), Qt::CaseInsensitive) == 0) ++n;
    // Each refusal of a duplicate uses up one sibling's name; more refusals than siblings mean
    // the name is refused for good, and the component stays unnamed.
    const qsizetype siblings = component->parent() ? component->parent()->children().size() : 0;
    for (qsizetype attempt = 0; component->Name().isEmpty() && attempt <= siblings; ++attempt) {
        try {
            component->SetName(base + QString::number(n));
        } catch (const ComponentError&) {
            ++n;
        } catch (const std::exception&) {
            return;
        }
    }
}

void TfrmPlugin::WireComponent(TOrvexGraphicComponent* component) {
    if (!component) return;
    component->OnMouseDown = [this](QObject* sender, Qt::MouseButton button,
                                    Qt::KeyboardModifiers modifiers, const QPoint& pos) {
        ObjectMouseDown(sender, button, modifiers, pos);
        BoardContextMenu::MouseDown(this, sender, button, pos);
    };
    component->OnMouseMove = [this](QObject* sender, Qt::MouseButtons buttons,
                                    Qt::KeyboardModifiers modifiers, const QPoint& pos) {
        ObjectMouseMove(sender, buttons, modifiers, pos);
    };
    // Wires are drawn from the contacts' stubs and their nets shown on hovering them.
    component->installEventFilter(this);
    component->setMouseTracking(true);
}

void TfrmPlugin::SetNewPosition(TOrvexGraphicComponent* component) {
    const int g = GridSize();
    const QRect client = ClientArea();
    int top = snap(client.top() + client.height() / 2 - component->Height() / 2, g);
    int left = snap(client.left() + client.width() / 2 - component->Width() / 2, g);
    for (const TOrvexGraphicComponent* other : Board()->ComponentsInChildOrder()) {
        if (other != component && other->Top() == top && other->Left() == left) {
            top += g;
            left += g;
        }
        // What would leave the visible board starts again one step from its top or left.
        if (top + component->Height() > client.top() + client.height()) top = client.top() + g;
        if (left + component->Width() > client.left() + client.width()) left = client.left() + g;
    }
    component->move(snap(left, g), snap(top, g));
    component->raise();
}

// ---------------------------------------------------------------- selecting

void TfrmPlugin::ObjectMouseDown(QObject* sender, Qt::MouseButton button, Qt::KeyboardModifiers,
                                 const QPoint& pos) {
    if (m_running) return;
    m_downX = pos.x();
    m_downY = pos.y();
    m_edits->StartDrag(); // what this press drags is one undo step
    // A press on a member of the multi-selection starts dragging all of it.
    if (m_select->InSelection(sender)) return;
    m_select->ObjectClick(sender, button == Qt::RightButton);
}

void TfrmPlugin::MouseDownOnBoard(QObject* sender, Qt::MouseButton button, Qt::KeyboardModifiers,
                                  const QPoint& pos) {
    if (sender != Board()) return;
    m_select->BandPress(button, pos);
}

void TfrmPlugin::MouseMoveOnBoard(QObject* sender, Qt::MouseButtons buttons,
                                  Qt::KeyboardModifiers modifiers, const QPoint& pos) {
    // The probe shows while editing too; a drag (moving, resizing, the band) puts it away.
    if (m_running || buttons == Qt::NoButton)
        TSimForm::MouseMoveOnBoard(sender, buttons, modifiers, pos);
    else
        CloseProbeWindow();
    if (sender == Board()) m_select->BandMove(buttons, pos);
}

void TfrmPlugin::FormMouseUp(Qt::MouseButton, Qt::KeyboardModifiers, const QPoint& pos) {
    m_select->BandRelease(pos);
}

// ---------------------------------------------------------------- moving and resizing

void TfrmPlugin::ObjectMouseMove(QObject* sender, Qt::MouseButtons buttons, Qt::KeyboardModifiers,
                                 const QPoint& pos) {
    if (m_running) return;
    auto* control = qobject_cast<QWidget*>(sender);
    if (!control) return;
    const int g = GridSize();
    if (buttons & Qt::LeftButton) {
        control->raise();
        if (control->cursor().shape() != Qt::SizeFDiagCursor) {
            const int dx = snap(pos.x() - m_downX, g);
            const int dy = snap(pos.y() - m_downY, g);
            const QList<TOrvexGraphicComponent*> selection = Selection();
            QList<QWidget*> moving(selection.cbegin(), selection.cend());
            if (moving.isEmpty()) moving.append(control);
            m_edits->GeometryStep(QStringLiteral("Move"), moving, [&] {
                for (QWidget* widget : moving)
                    MoveComponentBy(widget, dx, dy);
            });
            return;
        }
        int w = qMax(snap(pos.x(), g), 6 * g);
        int h = qMax(snap(pos.y(), g), 6 * g);
        // A line keeps its thickness across its length.
        if (sender->inherits("TLine")) {
            const int thin = qMax(g / 2 + 1, 3);
            if (w <= h)
                w = thin;
            else
                h = thin;
        }
        m_edits->GeometryStep(QStringLiteral("Resize"), {control}, [&] { control->resize(w, h); });
        return;
    }
    if (buttons != Qt::NoButton) return;
    auto* component = qobject_cast<TOrvexGraphicComponent*>(sender);
    if (component && pos.x() > component->Width() - 5 && pos.y() > component->Height() - 5) {
        // The lower right corner resizes, except in a multi-selection, which only moves.
        if (!m_select->InSelection(component)) control->setCursor(Qt::SizeFDiagCursor);
    } else {
        control->unsetCursor();
    }
}

void TfrmPlugin::MoveComponentBy(QWidget* component, int dx, int dy) {
    if (!component) return;
    const QRect client = ClientArea();
    const bool multi = m_select->HasMultiSelection();
    // A lone component stays wholly inside the visible board on the right and at the bottom; it
    // may always move back towards the inside, also when it already stands over an edge.
    const int t = component->y() + dy;
    if (t >= 0 && t != component->y() &&
        (t + component->height() < client.top() + client.height() || multi || dy < 0)) {
        component->move(component->x(), t);
    }
    const int l = component->x() + dx;
    if (l >= 4 && l != component->x() &&
        (l + component->width() < client.left() + client.width() || multi || dx < 0)) {
        component->move(l, component->y());
    }
}

// ---------------------------------------------------------------- deleting

bool TfrmPlugin::ObjectKeyDown(int key, Qt::KeyboardModifiers modifiers) {
    if (m_running) return false;
    modifiers &= ~Qt::KeypadModifier;
    const int g = GridSize();
    QPoint step;
    switch (key) {
    case Qt::Key_Left:
        step = QPoint(-g, 0);
        break;
    case Qt::Key_Right:
        step = QPoint(g, 0);
        break;
    case Qt::Key_Up:
        step = QPoint(0, -g);
        break;
    case Qt::Key_Down:
        step = QPoint(0, g);
        break;
    case Qt::Key_Delete:
        if (modifiers & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier)) return false;
        // Nothing selected: nothing changes, Modified included.
        m_edits->DeleteSelected(QStringLiteral("Delete"));
        return true;
    default:
        return false;
    }
    // The arrow keys move the selection one grid step; with nothing selected they scroll.
    if (modifiers != Qt::NoModifier || m_select->SelectedComponents().isEmpty()) return false;
    m_edits->MoveSelectionBy(step.x(), step.y());
    return true;
}
