// Selecting on the main window's board: one component by clicking, several with the rubber band.
#include "editor/selection.h"

#include <QCoreApplication>

#include "editor/brelvanfrm.h"
#include "editor/brelvanprop.h"
#include "properties/propertyeditor.h"
#include "simulation/brelvanclasses.h"

TBoardSelection::TBoardSelection(TfrmPlugin& window) : m_window(window) {}

void TBoardSelection::CreateBand() {
    m_band = new TSelectRect(m_window.Board());
    m_band->hide();
}

QList<TOrvexGraphicComponent*> TBoardSelection::Selection() const {
    QList<TOrvexGraphicComponent*> result;
    for (const QPointer<TOrvexGraphicComponent>& component : m_selection)
        if (component) result.append(component.data());
    return result;
}

QList<TOrvexGraphicComponent*> TBoardSelection::SelectedComponents() const {
    QList<TOrvexGraphicComponent*> selected = Selection();
    if (selected.isEmpty())
        if (auto* edited = qobject_cast<TOrvexGraphicComponent*>(m_edited.data());
            edited && edited->parent() == m_window.Board())
            selected.append(edited);
    return selected;
}

bool TBoardSelection::HasMultiSelection() const {
    for (const QPointer<TOrvexGraphicComponent>& component : m_selection)
        if (component) return true;
    return false;
}

bool TBoardSelection::InSelection(QObject* object) const {
    for (const QPointer<TOrvexGraphicComponent>& component : m_selection)
        if (component && component.data() == object) return true;
    return false;
}

void TBoardSelection::UnmarkEdited() {
    if (auto* component = qobject_cast<TOrvexGraphicComponent*>(m_edited.data()))
        component->SetSelected(false);
}

void TBoardSelection::SetEditedObject(QObject* object) {
    m_edited = object;
    m_window.PropertiesWindow()->PropEdit()->SetObject(object);
}

void TBoardSelection::ClearSelection(QObject* keep) {
    UnmarkEdited();
    if (!keep) SetEditedObject(nullptr);
    m_window.PropertiesWindow()->FormResize();
    while (!m_selection.isEmpty()) {
        const QPointer<TOrvexGraphicComponent> component = m_selection.takeLast();
        if (component) component->SetSelected(false);
    }
}

void TBoardSelection::ObjectClick(QObject* sender, bool showProperties) {
    if (QCoreApplication::closingDown() || m_window.Running()) return;
    try {
        UnmarkEdited();
        ClearSelection(sender);
        SetEditedObject(sender);
        TfrmProp* properties = m_window.PropertiesWindow();
        properties->FormResize();
        if (auto* component = qobject_cast<TOrvexGraphicComponent*>(m_edited.data()))
            component->SetSelected(true);
        if (showProperties && !properties->isVisible()) {
            properties->show();
            properties->raise();
            m_window.activateWindow();
        }
    } catch (const std::exception&) {
        // Selecting is best effort: the selection stays as far as it got.
    }
}

void TBoardSelection::ShowRestored(const QList<TOrvexGraphicComponent*>& restored) {
    ClearSelection(nullptr);
    if (restored.size() == 1) {
        ObjectClick(restored.first(), false);
        return;
    }
    for (TOrvexGraphicComponent* component : restored) {
        m_selection.append(component);
        component->SetSelected(true);
    }
}

// ---------------------------------------------------------------- the rubber band

void TBoardSelection::BandPress(Qt::MouseButton button, const QPoint& pos) {
    if (button != Qt::LeftButton) {
        m_band->Finish();
        return;
    }
    ClearSelection(nullptr);
    m_band->raise();
    m_band->SetLeftL(pos.x());
    m_band->SetTopL(pos.y());
    m_band->SetWidthL(0);
    m_band->SetHeightL(0);
    m_band->Start();
}

void TBoardSelection::BandMove(Qt::MouseButtons buttons, const QPoint& pos) {
    if ((buttons & Qt::LeftButton) && m_band->Active()) m_band->MoveTo(pos);
}

void TBoardSelection::BandRelease(const QPoint& pos) {
    // Only a band under way selects: a stale rectangle from an earlier drag must not.
    if (!m_band->Finish(pos)) return;
    QList<TOrvexGraphicComponent*> taken;
    for (TOrvexGraphicComponent* component : m_window.Board()->ComponentsInChildOrder()) {
        if (!m_band->Contains(component)) continue;
        m_selection.append(component);
        component->SetSelected(true);
        taken.append(component);
    }
    if (taken.size() == 1) ObjectClick(taken.first(), false);
}

void TBoardSelection::BandCancel() {
    if (m_band) m_band->Finish();
}
