#pragma once

#include <QPoint>
#include <QStringList>

class QMenu;
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

} // namespace BoardContextMenu
