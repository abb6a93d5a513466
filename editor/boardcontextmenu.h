#pragma once

#include <QPoint>
#include <QStringList>
#include <Qt>

class QMenu;
class QMimeData;
class QObject;
class QWidget;
class TOrvexGraphicComponent;
class TfrmPlugin;

// The menu a right click on a placed component opens: the Edit menu's commands that apply to it
// (while editing), Properties, and Add to Analyser with the component's contacts (All Contacts
// first; a host pin or port also offers the core's pin and port it shows).
namespace BoardContextMenu {

// The trace paths the Add to Analyser submenu offers for a component, in menu order (without
// All Contacts).
QStringList TracePaths(const TOrvexGraphicComponent* component);
// The menu for a component; the caller shows it. Its actions are named for tests: "cmCut",
// "cmCopy", "cmDelete", "cmDuplicate", "cmProperties", and the submenu "cmAddToAnalyser" with
// "cmAddAll" and one action per path (its text the path).
QMenu* Build(TfrmPlugin* window, TOrvexGraphicComponent* component, QWidget* parent);
// A right press on a component (the window's mouse-down hook): opens the menu at the pointer.
void Show(TfrmPlugin* window, QObject* sender, const QPoint& pos);
// What dragging a component carries: its contacts' trace paths as text, one a line, which the
// analyser's view takes as rows (and a terminal or editor as text).
QMimeData* DragData(const TOrvexGraphicComponent* component);
// The window's mouse-down hook: a right press opens the menu, a middle press drags the
// component's contacts (the left button keeps moving and wiring).
void MouseDown(TfrmPlugin* window, QObject* sender, Qt::MouseButton button, const QPoint& pos);

} // namespace BoardContextMenu
