// Wires drawn with the mouse: the lines over the board, dragging a wire from one contact's stub
// to another's, Disconnect and the net highlight. A wire is only ever made or removed by the
// property write the grid makes, so boards and their files stay as the grid would leave them.
#include <QAction>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QSettings>
#include <QStatusBar>
#include <QTimer>
#include <QUndoStack>

#include "components/orvexcomponent.h"
#include "editor/boardedits.h"
#include "editor/brelvanfrm.h"
#include "model/drivers.h"
#include "platform/errors.h"
#include "editor/brelvanprop.h"
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

void TfrmPlugin::CreateWireView() {
    QSettings settings = wireSettings();
    m_wiresWhileEditing = settings.value(editingKey, true).toBool();
    m_wiresWhileRunning = settings.value(runningKey, false).toBool();
    m_miShowWires = m_mnuView->addAction(QStringLiteral("Show &Wires"));
    m_miShowWires->setObjectName(QStringLiteral("miShowWires"));
    m_miShowWires->setCheckable(true);
    connect(m_miShowWires, &QAction::triggered, this, [this] { ShowWiresClick(); });
    m_wireOverlay = new TWireOverlay(Board());
    m_wireLevels = new QTimer(this);
    m_wireLevels->setInterval(100);
    connect(m_wireLevels, &QTimer::timeout, m_wireOverlay, &TWireOverlay::LevelsChanged);
    // Every step done or undone may change wires or move stubs (a turned picture).
    connect(m_undo, &QUndoStack::indexChanged, m_wireOverlay, &TWireOverlay::Invalidate);
    UpdateWireView();
}

void TfrmPlugin::ShowWiresClick() {
    const bool on = m_miShowWires->isChecked();
    (m_running ? m_wiresWhileRunning : m_wiresWhileEditing) = on;
    QSettings settings = wireSettings();
    settings.setValue(m_running ? runningKey : editingKey, on);
    UpdateWireView();
}

void TfrmPlugin::UpdateWireView() {
    if (!m_wireOverlay) return;
    const bool shown = m_running ? m_wiresWhileRunning : m_wiresWhileEditing;
    m_miShowWires->setChecked(shown);
    m_wireOverlay->SetRunning(m_running);
    m_wireOverlay->SetLinesShown(shown);
    if (m_running) {
        CancelWireDrag(QString());
        ClearNetHighlight();
    }
    if (m_running && shown)
        m_wireLevels->start();
    else
        m_wireLevels->stop();
    m_wireOverlay->Follow();
}

void TfrmPlugin::WritePropertyText(QObject* obj, const QString& propName, const QString& text) {
    TBoardSurface* board = Board();
    const TPathRoot root{board, [board] { return board->OwnedObjects(); },
                         [board](const QString& name) { return board->FindOwnedName(name); }};
    WriteProperty(obj, propName,
                  [&] { TextToProperty(obj, propName, text, root, TTextForm::Editor); });
    if (obj == m_edited) m_frmProp->PropEdit()->UpdateValues();
    m_wireOverlay->Invalidate();
}

QString TfrmPlugin::NetText(const QList<TOrvexPinDriver*>& net) const {
    QStringList names;
    for (const TOrvexPinDriver* contact : net)
        names.append(PathName(contact, Board()));
    return names.join(QStringLiteral(" \u2014 "));
}

QString TfrmPlugin::DrawWire(const TWireEnd& from, const TWireEnd& to) {
    if (m_running) return QStringLiteral("Wires are drawn while editing, not while running");
    if (!from.IsValid() || !to.IsValid()) return QStringLiteral("No contact there");
    const QString a = PathName(from.Contact, Board());
    const QString b = PathName(to.Contact, Board());
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
    const int steps = m_undo->index();
    try {
        WritePropertyText(writer->Component, writer->Property, PathName(other.Contact, Board()));
    } catch (const std::exception& error) {
        return QString::fromUtf8(error.what());
    }
    if (!Wires::Partners(from.Contact).contains(to.Contact)) {
        // The component took the write but made no such wire: take back what it did.
        if (m_undo->index() > steps) {
            m_undo->undo();
            m_undo->setIndex(steps); // drop the step from the redo side as well
        }
        return QStringLiteral("%1 and %2 cannot be wired").arg(a, b);
    }
    return QString();
}

QString TfrmPlugin::DisconnectEnd(const TWireEnd& end) {
    if (m_running) return QStringLiteral("Wires are removed while editing, not while running");
    if (!end.IsValid()) return QStringLiteral("No contact there");
    const QString name = PathName(end.Contact, Board());
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
    TBoardState before = BoardEdits::Capture(Board(), {end.Component});
    for (TOrvexPinDriver* partner : partners)
        end.Contact->Disconnect(partner);
    TBoardState after = BoardEdits::Capture(Board(), {end.Component});
    PushStateStep(QStringLiteral("Disconnect %1").arg(name), std::move(before), std::move(after));
    m_wireOverlay->Invalidate();
    return QString();
}

TWireEnd TfrmPlugin::WireEndAtBoard(const QPoint& boardPos) const {
    const QList<TOrvexGraphicComponent*> components = Board()->ComponentsInChildOrder();
    const int reach = int(WireSnap) + 1;
    for (auto it = components.crbegin(); it != components.crend(); ++it) {
        TOrvexGraphicComponent* component = *it;
        if (!component->isVisible()) continue;
        if (!component->geometry().adjusted(-reach, -reach, reach, reach).contains(boardPos))
            continue;
        const TWireEnd end = m_wireOverlay->EndAt(component, boardPos - component->pos(), WireSnap);
        if (end.IsValid()) return end;
    }
    return TWireEnd();
}

void TfrmPlugin::CancelWireDrag(const QString& message) {
    if (!m_wireFrom.IsValid()) return;
    if (auto* component = qobject_cast<QWidget*>(m_wireFromComponent.data()))
        component->releaseKeyboard();
    m_wireFrom = TWireEnd();
    m_wireFromComponent = nullptr;
    m_wireOverlay->ClearRubberLine();
    if (!message.isEmpty()) statusBar()->showMessage(message, 5000);
}

void TfrmPlugin::ClearNetHighlight() {
    if (auto* component = qobject_cast<QWidget*>(m_hoverComponent.data())) component->unsetCursor();
    m_hoverComponent = nullptr;
    if (m_wireOverlay && !m_wireOverlay->Highlight().isEmpty()) {
        m_wireOverlay->SetHighlight({});
        statusBar()->clearMessage();
    }
}

bool TfrmPlugin::ComponentWireEvent(TOrvexGraphicComponent* component, QEvent* event) {
    switch (event->type()) {
    case QEvent::Move:
        m_wireOverlay->ComponentMoved(component);
        return false;
    case QEvent::Resize:
        m_wireOverlay->ComponentResized(component);
        return false;
    case QEvent::Show:
    case QEvent::Hide:
        m_wireOverlay->Invalidate();
        return false;
    default:
        break;
    }
    if (m_running) return false;
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
            m_wireOverlay->SetRubberLine(at, at);
            component->grabKeyboard(); // Escape cancels
            statusBar()->showMessage(
                QStringLiteral("Wiring %1: release over another contact, Escape cancels")
                    .arg(PathName(end.Contact, Board())));
            return true;
        }
        if (mouse->button() == Qt::RightButton) {
            ClearNetHighlight();
            QMenu menu(this);
            menu.setObjectName(QStringLiteral("WireMenu"));
            QAction* disconnect = menu.addAction(QStringLiteral("Disconnect"));
            disconnect->setObjectName(QStringLiteral("miDisconnect"));
            disconnect->setEnabled(!Wires::Partners(end.Contact).isEmpty());
            const QPointer<TOrvexGraphicComponent> guard(component);
            connect(disconnect, &QAction::triggered, this, [this, guard, end] {
                if (!guard) return;
                const QString refused = DisconnectEnd(end);
                statusBar()->showMessage(
                    refused.isEmpty()
                        ? QStringLiteral("Disconnected %1").arg(PathName(end.Contact, Board()))
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
            m_wireOverlay->SetRubberLine(m_wireFrom.Component->pos() + m_wireFrom.Point,
                                         component->pos() + mouse->position());
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
        const QList<TOrvexPinDriver*> net = Wires::Net(end.Contact);
        if (net != m_wireOverlay->Highlight()) {
            m_wireOverlay->SetHighlight(net);
            statusBar()->showMessage(NetText(net));
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
            statusBar()->showMessage(QStringLiteral("No wire drawn"), 5000);
            return true;
        }
        const QString refused = DrawWire(from, to);
        statusBar()->showMessage(
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
