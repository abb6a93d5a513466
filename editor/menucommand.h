#pragma once
// A menu item whose command may fail: the failure reaches the user as an error message instead
// of leaving Qt's event dispatch as an exception.
#include <QAction>
#include <QIcon>
#include <QKeySequence>
#include <QMenu>
#include <exception>

#include "platform/dialogs.h"

template <typename Handler>
QAction* AddMenuCommand(QObject* owner, QMenu* menu, QObject* errorParent, const char* name,
                        const QString& caption, const QIcon& icon, const QKeySequence& shortcut,
                        Handler handler) {
    auto* action = new QAction(icon, caption, owner);
    action->setObjectName(QLatin1String(name));
    if (!shortcut.isEmpty()) action->setShortcut(shortcut);
    QObject::connect(action, &QAction::triggered, owner, [errorParent, handler] {
        try {
            handler();
        } catch (const std::exception& error) {
            ReportError(errorParent, error);
        }
    });
    menu->addAction(action);
    return action;
}
