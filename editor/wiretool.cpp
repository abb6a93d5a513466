// Wires drawn with the mouse: the lines over the board, dragging a wire from one contact's stub
// to another's, Disconnect and the net highlight. A wire is only ever made or removed by the
// property write the grid makes, so boards and their files stay as the grid would leave them.
#include "editor/wiretool.h"

#include <QAction>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QSettings>
#include <QStatusBar>
#include <QTimer>
#include <QUndoStack>
#include <algorithm>

#include "components/orvexcomponent.h"
#include "editor/boardedits.h"
#include "editor/brelvanfrm.h"
#include "editor/brelvanprop.h"
#include "editor/editcommands.h"
#include "editor/selection.h"
#include "model/drivers.h"
#include "platform/errors.h"
#include "properties/propertyeditor.h"
#include "properties/propertytext.h"

using namespace PropertyText;

namespace {

QSettings wireSettings() {
    return QSettings(QStringLiteral("Brelvan"), QStringLiteral("Brelvan"));
}

const QString editingKey = QStringLiteral("View/ShowWires");
const QString runningKey = QStringLiteral("View/ShowWiresRunning");

} // namespace

TWireTool::TWireTool(TfrmPlugin& window, TEditCommands& edits, TBoardSelection& selection)
    : m_window(window), m_edits(edits), m_selection(selection) {}

void TWireTool::CreateView(QMenu* viewMenu) {
    QSettings settings = wireSettings();
    m_wiresWhileEditing = settings.value(editingKey, true).toBool();
    m_wiresWhileRunning = settings.value(runningKey, true).toBool();
    m_miShowWires = viewMenu->addAction(QStringLiteral("Show &Wires"));
    m_miShowWires->setObjectName(QStringLiteral("miShowWires"));
    m_miShowWires->setCheckable(true);
    QObject::connect(m_miShowWires, &QAction::triggered, &m_window, [this] { ShowWiresClick(); });
    m_overlay = new TWireOverlay(m_window.Board());
    m_wireLevels = new QTimer(&m_window);
    m_wireLevels->setInterval(100);
    QObject::connect(m_wireLevels, &QTimer::timeout, m_overlay, &TWireOverlay::LevelsChanged);
    // Every step done or undone may change wires or move stubs (a turned picture).
    QObject::connect(m_edits.UndoStack(), &QUndoStack::indexChanged, m_overlay,
                     &TWireOverlay::Invalidate);
    UpdateView();
}

void TWireTool::ShowWiresClick() {
    const bool on = m_miShowWires->isChecked();
    (m_window.Running() ? m_wiresWhileRunning : m_wiresWhileEditing) = on;
    QSettings settings = wireSettings();
    settings.setValue(m_window.Running() ? runningKey : editingKey, on);
    UpdateView();
}

void TWireTool::UpdateView() {
    if (!m_overlay) return;
    const bool shown = m_window.Running() ? m_wiresWhileRunning : m_wiresWhileEditing;
    m_miShowWires->setChecked(shown);
    m_overlay->SetRunning(m_window.Running());
    m_overlay->SetLinesShown(shown);
    if (m_window.Running()) {
        CancelWireDrag(QString());
        ClearNetHighlight();
    }
    if (m_window.Running() && shown)
        m_wireLevels->start();
    else
        m_wireLevels->stop();
    m_overlay->Follow();
}

void TWireTool::Invalidate() {
    if (m_overlay) m_overlay->Invalidate();
}

void TWireTool::BoardEvent(QEvent* event) {
    if (!m_overlay) return;
    switch (event->type()) {
    case QEvent::ChildAdded:
    case QEvent::ChildRemoved:
        // A component placed, deleted or read from a file: its wires come and go with it.
        m_overlay->Invalidate();
        [[fallthrough]];
    case QEvent::Resize:
        // New components stack above the lines; the lines follow the board's size.
        m_overlay->Follow();
        break;
    default:
        break;
    }
}

void TWireTool::WritePropertyText(QObject* obj, const QString& propName, const QString& text) {
    TBoardSurface* board = m_window.Board();
    const TPathRoot root{board, [board] { return board->OwnedObjects(); },
                         [board](const QString& name) { return board->FindOwnedName(name); }};
    m_edits.WriteProperty(obj, propName,
                          [&] { TextToProperty(obj, propName, text, root, TTextForm::Editor); });
    if (obj == m_selection.EditedObject()) m_window.PropertiesWindow()->PropEdit()->UpdateValues();
    m_overlay->Invalidate();
}

QString TWireTool::NetText(const QList<TOrvexPinDriver*>& net) const {
    QStringList names;
    for (const TOrvexPinDriver* contact : net)
        names.append(PathName(contact, m_window.Board()));
    return names.join(QStringLiteral(" \u2014 "));
}

QString TWireTool::DrawWire(const TWireEnd& from, const TWireEnd& to) {
    if (m_window.Running())
        return QStringLiteral("Wires are drawn while editing, not while running");
    if (!from.IsValid() || !to.IsValid()) return QStringLiteral("No contact there");
    TBoardSurface* board = m_window.Board();
    const QString a = PathName(from.Contact, board);
    const QString b = PathName(to.Contact, board);
    if (from.Contact == to.Contact) return QStringLiteral("%1 cannot be wired to itself").arg(a);
    if (from.Component == to.Component)
        return QStringLiteral("%1 and %2 are contacts of the same component").arg(a, b);
    if (Wires::Partners(from.Contact).contains(to.Contact))
        return QStringLiteral("%1 and %2 are wired already").arg(a, b);
    // A property names one partner and writing it replaces the contact's first wire: only the
    // property of a contact without wires adds this one and keeps every other.
    const auto free = [](const TWireEnd& end) {
        return !end.Property.isEmpty() && Wires::Partners(end.Contact).isEmpty();
    };
    const TWireEnd* writer = free(from) ? &from : free(to) ? &to : nullptr;
    if (!writer) {
        if (from.Property.isEmpty() && to.Property.isEmpty())
            return QStringLiteral("%1 and %2 cannot be wired: neither has a contact property")
                .arg(a, b);
        return QStringLiteral("%1 and %2 are both wired: a wire between them would replace one; "
                              "Disconnect one of them first")
            .arg(a, b);
    }
    const TWireEnd& other = writer == &from ? to : from;
    QUndoStack* undo = m_edits.UndoStack();
    const int steps = undo->index();
    try {
        WritePropertyText(writer->Component, writer->Property, PathName(other.Contact, board));
    } catch (const std::exception& error) {
        return QString::fromUtf8(error.what());
    }
    if (!Wires::Partners(from.Contact).contains(to.Contact)) {
        // The component took the write but made no such wire: take back what it did.
        if (undo->index() > steps) {
            undo->undo();
            undo->setIndex(steps); // drop the step from the redo side as well
        }
        return QStringLiteral("%1 and %2 cannot be wired").arg(a, b);
    }
    return QString();
}

QString TWireTool::DisconnectEnd(const TWireEnd& end) {
    if (m_window.Running())
        return QStringLiteral("Wires are removed while editing, not while running");
    if (!end.IsValid()) return QStringLiteral("No contact there");
    TBoardSurface* board = m_window.Board();
    const QString name = PathName(end.Contact, board);
    const QList<TOrvexPinDriver*> partners = Wires::Partners(end.Contact);
    if (partners.isEmpty()) return QStringLiteral("%1 has no wires").arg(name);
    if (!end.Property.isEmpty()) {
        try {
            WritePropertyText(end.Component, end.Property, QStringLiteral("nil"));
        } catch (const std::exception& error) {
            return QString::fromUtf8(error.what());
        }
        return QString();
    }
    // A pin without a property of its own (a supply symbol, a port pin): its wires go as one step.
    TBoardState before = BoardEdits::Capture(board, {end.Component});
    for (TOrvexPinDriver* partner : partners)
        end.Contact->Disconnect(partner);
    TBoardState after = BoardEdits::Capture(board, {end.Component});
    m_edits.PushStateStep(QStringLiteral("Disconnect %1").arg(name), std::move(before),
                          std::move(after));
    m_overlay->Invalidate();
    return QString();
}

double TWireTool::SnapRadius() const {
    // Logical pixels already follow the device pixel ratio; a logical resolution above the
    // usual 96 dpi makes each of them smaller to the eye.
    return WireSnap * std::max(1.0, m_window.logicalDpiX() / 96.0);
}

TWireEnd TWireTool::WireEndAtBoard(const QPoint& boardPos) const {
    const QList<TOrvexGraphicComponent*> components = m_window.Board()->ComponentsInChildOrder();
    const double radius = SnapRadius();
    const int reach = int(radius) + 1;
    for (auto it = components.crbegin(); it != components.crend(); ++it) {
        TOrvexGraphicComponent* component = *it;
        if (!component->isVisible()) continue;
        if (!component->geometry().adjusted(-reach, -reach, reach, reach).contains(boardPos))
            continue;
        const TWireEnd end = m_overlay->EndAt(component, boardPos - component->pos(), radius);
        if (end.IsValid()) return end;
    }
    return TWireEnd();
}

void TWireTool::CancelWireDrag(const QString& message) {
    if (!m_wireFrom.IsValid()) return;
    if (auto* component = qobject_cast<QWidget*>(m_wireFromComponent.data()))
        component->releaseKeyboard();
    m_overlay->ClearHoverEnd();
    m_wireFrom = TWireEnd();
    m_wireFromComponent = nullptr;
    m_overlay->ClearRubberLine();
    if (!message.isEmpty()) m_window.statusBar()->showMessage(message, 5000);
}

void TWireTool::ClearNetHighlight() {
    if (auto* component = qobject_cast<QWidget*>(m_hoverComponent.data())) component->unsetCursor();
    m_hoverComponent = nullptr;
    if (m_overlay) m_overlay->ClearHoverEnd();
    if (m_overlay && !m_overlay->Highlight().isEmpty()) {
        m_overlay->SetHighlight({});
        m_window.statusBar()->clearMessage();
    }
}

bool TWireTool::ComponentEvent(TOrvexGraphicComponent* component, QEvent* event) {
    switch (event->type()) {
    case QEvent::Move:
        m_overlay->ComponentMoved(component);
        return false;
    case QEvent::Resize:
        m_overlay->ComponentResized(component);
        return false;
    case QEvent::Show:
    case QEvent::Hide:
        m_overlay->Invalidate();
        return false;
    default:
        break;
    }
    if (m_window.Running()) return false;
    const bool dragging = m_wireFrom.IsValid() && m_wireFromComponent == component;
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        const QPointF pos = mouse->position();
        // A stub under a part drawn over it (a line, a neighbour) is reached all the same.
        const TWireEnd end = WireEndAtBoard((component->pos() + pos).toPoint());
        if (!end.IsValid()) return false;
        if (mouse->button() == Qt::LeftButton) {
            ClearNetHighlight();
            m_wireFrom = end;
            m_wireFromComponent = component; // it has the mouse until the release
            const QPointF at = end.Component->pos() + end.Point;
            m_overlay->SetRubberLine(at, at);
            component->grabKeyboard(); // Escape cancels
            m_window.statusBar()->showMessage(
                QStringLiteral("Wiring %1: release over another contact, Escape cancels")
                    .arg(PathName(end.Contact, m_window.Board())));
            return true;
        }
        if (mouse->button() == Qt::RightButton) {
            ClearNetHighlight();
            QMenu menu(&m_window);
            menu.setObjectName(QStringLiteral("WireMenu"));
            QAction* disconnect = menu.addAction(QStringLiteral("Disconnect"));
            disconnect->setObjectName(QStringLiteral("miDisconnect"));
            disconnect->setEnabled(!Wires::Partners(end.Contact).isEmpty());
            const QPointer<TOrvexGraphicComponent> guard(component);
            QObject::connect(disconnect, &QAction::triggered, &m_window, [this, guard, end] {
                if (!guard) return;
                const QString refused = DisconnectEnd(end);
                m_window.statusBar()->showMessage(
                    refused.isEmpty() ? QStringLiteral("Disconnected %1")
                                            .arg(PathName(end.Contact, m_window.Board()))
                                      : refused,
                    5000);
            });
            menu.exec(mouse->globalPosition().toPoint());
            return true;
        }
        return false;
    }
    case QEvent::MouseMove: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (dragging) {
            m_overlay->SetRubberLine(m_wireFrom.Component->pos() + m_wireFrom.Point,
                                     component->pos() + mouse->position());
            // The end a release here would take.
            const TWireEnd target =
                WireEndAtBoard((component->pos() + mouse->position()).toPoint());
            if (target.IsValid() && target.Contact != m_wireFrom.Contact)
                m_overlay->SetHoverEnd(target.Component->pos() + target.Point);
            else
                m_overlay->ClearHoverEnd();
            return true;
        }
        if (mouse->buttons() != Qt::NoButton) return false;
        const TWireEnd end = WireEndAtBoard((component->pos() + mouse->position()).toPoint());
        if (!end.IsValid()) {
            if (m_hoverComponent) ClearNetHighlight();
            return false;
        }
        if (m_hoverComponent && m_hoverComponent != component) ClearNetHighlight();
        component->setCursor(Qt::CrossCursor);
        m_hoverComponent = component;
        m_overlay->SetHoverEnd(end.Component->pos() + end.Point);
        const QList<TOrvexPinDriver*> net = Wires::Net(end.Contact);
        if (net != m_overlay->Highlight()) {
            m_overlay->SetHighlight(net);
            m_window.statusBar()->showMessage(NetText(net));
        }
        return true; // the stub's cross, not the resize cursor of the edge it lies on
    }
    case QEvent::MouseButtonRelease: {
        if (!dragging) return false;
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() != Qt::LeftButton) return true;
        const TWireEnd from = m_wireFrom;
        const TWireEnd to = WireEndAtBoard((component->pos() + mouse->position()).toPoint());
        CancelWireDrag(QString());
        if (!to.IsValid()) {
            m_window.statusBar()->showMessage(QStringLiteral("No wire drawn"), 5000);
            return true;
        }
        const QString refused = DrawWire(from, to);
        m_window.statusBar()->showMessage(
            refused.isEmpty() ? QStringLiteral("Wired %1").arg(NetText({from.Contact, to.Contact}))
                              : refused,
            5000);
        return true;
    }
    case QEvent::KeyPress:
        if (dragging && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
            CancelWireDrag(QStringLiteral("No wire drawn"));
            return true;
        }
        return false;
    case QEvent::Leave:
        if (!dragging && m_hoverComponent == component) ClearNetHighlight();
        return false;
    default:
        return false;
    }
}
