#include "editor/boardcontextmenu.h"

#include <QAction>
#include <QDockWidget>
#include <QDrag>
#include <QMenu>
#include <QMimeData>
#include <QPointer>

#include "components/orvexcomponent.h"
#include "editor/analysersetup.h"
#include "editor/brelvanfrm.h"
#include "editor/brelvanprop.h"
#include "model/drivers.h"
#include "model/enums.h"
#include "model/hostpins.h"
#include "platform/dialogs.h"
#include "simulation/simform.h"

namespace BoardContextMenu {

namespace {

// The core's port a host address shows in the direct data space (P0 at 80h ... P3 at B0h), or -1.
int corePort(int address, const QObject* source) {
    if (source->property("Space").toInt() != ops_DATA) return -1;
    if (address < 0x80 || address > 0xB0 || (address & 0x0F) != 0) return -1;
    return (address - 0x80) >> 4;
}

// Adds rows for paths; what cannot be added is said once.
void addRows(TfrmPlugin* window, const QStringList& paths) {
    TAnalyser* analyser = AnalyserSetup::Of(window);
    if (!analyser) return;
    QStringList failed;
    for (const QString& path : paths) {
        QString error;
        if (!analyser->AddPath(path, &error)) failed << error;
    }
    if (auto* dock = window->findChild<QDockWidget*>(QStringLiteral("AnalyserDock"))) dock->show();
    AnalyserSetup::Commit(analyser);
    if (!failed.isEmpty()) ShowErrorBox(window, failed.join(QLatin1Char('\n')));
}

} // namespace

QStringList TracePaths(const TOrvexGraphicComponent* component) {
    QStringList paths;
    const QString name = component->Name();
    if (name.isEmpty()) return paths;
    for (TOrvexDriver* contact : component->findChildren<TOrvexDriver*>()) {
        // A pin's inner driver contact is no contact of the board's.
        if (contact->objectName().isEmpty() ||
            contact->objectName() == QLatin1String("DriverContact"))
            continue;
        QString path = contact->objectName();
        for (QObject* up = contact->parent(); up && up != component; up = up->parent())
            path = up->objectName() + QLatin1Char('.') + path;
        paths << name + QLatin1Char('.') + path;
    }
    paths.removeDuplicates();
    // What the core itself does on the pin or port the component shows.
    if (const TOrvexPin* pin = component->MirroredPin()) {
        const int port = corePort(pin->Address(), pin);
        if (port >= 0) {
            paths << QStringLiteral("Host.P%1.%2").arg(port).arg(pin->PinNumber() & 7);
            paths << QStringLiteral("Host.P%1").arg(port);
        }
    } else if (const TOrvexPortDriver* driver = component->MirroredPort()) {
        const int port = corePort(driver->Address(), driver);
        if (port >= 0) paths << QStringLiteral("Host.P%1").arg(port);
    }
    return paths;
}

QMenu* Build(TfrmPlugin* window, TOrvexGraphicComponent* component, QWidget* parent) {
    auto* menu = new QMenu(parent);
    menu->setObjectName(QStringLiteral("ComponentMenu"));
    const QPointer<TOrvexGraphicComponent> guard(component);
    const bool editing = !window->Running();
    const auto add = [&](const char* name, const QString& text, auto handler) {
        QAction* action = menu->addAction(text);
        action->setObjectName(QLatin1String(name));
        action->setEnabled(editing);
        QObject::connect(action, &QAction::triggered, window, [window, guard, handler] {
            if (guard && !window->Running()) window->Guard(handler);
        });
        return action;
    };
    // The Edit menu's commands act on the selection, which the right click made this component
    // (or a selection it belongs to).
    add("cmCut", QStringLiteral("Cu&t"), [window] { window->CutClick(); });
    add("cmCopy", QStringLiteral("&Copy"), [window] { window->CopyClick(); });
    add("cmDuplicate", QStringLiteral("D&uplicate"), [window] { window->DuplicateClick(); });
    add("cmDelete", QStringLiteral("&Delete"), [window] {
        if (QAction* item = window->findChild<QAction*>(QStringLiteral("miDelete")))
            item->trigger();
    });
    menu->addSeparator();
    add("cmProperties", QStringLiteral("P&roperties"), [window] {
        TfrmProp* properties = window->PropertiesWindow();
        properties->show();
        properties->raise();
    });
    menu->addSeparator();

    QMenu* analyser = menu->addMenu(QStringLiteral("Add to &Analyser"));
    analyser->setObjectName(QStringLiteral("cmAddToAnalyser"));
    analyser->setToolTipsVisible(true);
    const QStringList paths = TracePaths(component);
    analyser->setEnabled(!paths.isEmpty());
    QStringList contacts;
    for (const QString& path : paths)
        if (!path.startsWith(QStringLiteral("Host."))) contacts << path;
    QAction* all = analyser->addAction(QStringLiteral("All Contacts"));
    all->setObjectName(QStringLiteral("cmAddAll"));
    all->setEnabled(!contacts.isEmpty());
    QObject::connect(all, &QAction::triggered, window,
                     [window, contacts] { addRows(window, contacts); });
    analyser->addSeparator();
    // A contact shows by its own name ("RdWr" for "LCD1_control_.RdWr_Pin"), by its path inside
    // the component where that name is not unique; the core's pins in full.
    const auto shortName = [](const QString& path) {
        QString name = path.section(QLatin1Char('.'), -1);
        if (name.endsWith(QStringLiteral("_Pin")) && name.size() > 4) name.chop(4);
        return name;
    };
    QStringList shortNames;
    for (const QString& path : contacts)
        shortNames << shortName(path);
    for (const QString& path : paths) {
        QString text = QStringLiteral("Core pin %1").arg(path);
        if (!path.startsWith(QStringLiteral("Host."))) {
            text = shortName(path);
            if (shortNames.count(text) > 1) text = path.mid(component->Name().size() + 1);
        }
        QAction* action = analyser->addAction(text);
        action->setToolTip(path);
        action->setStatusTip(path);
        action->setData(path);
        action->setObjectName(QStringLiteral("cmAdd:") + path);
        QObject::connect(action, &QAction::triggered, window,
                         [window, path] { addRows(window, {path}); });
    }
    return menu;
}

void Show(TfrmPlugin* window, QObject* sender, const QPoint& pos) {
    auto* component = qobject_cast<TOrvexGraphicComponent*>(sender);
    if (!component || component->parent() != window->Board()) return;
    QMenu* menu = Build(window, component, window);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(component->mapToGlobal(pos));
}

QMimeData* DragData(const TOrvexGraphicComponent* component) {
    QStringList contacts;
    for (const QString& path : TracePaths(component))
        if (!path.startsWith(QStringLiteral("Host."))) contacts << path;
    auto* data = new QMimeData;
    data->setText(contacts.join(QLatin1Char('\n')));
    return data;
}

void MouseDown(TfrmPlugin* window, QObject* sender, Qt::MouseButton button, const QPoint& pos) {
    auto* component = qobject_cast<TOrvexGraphicComponent*>(sender);
    if (!component || component->parent() != window->Board()) return;
    if (button == Qt::RightButton) {
        Show(window, sender, pos);
    } else if (button == Qt::MiddleButton && !component->Name().isEmpty()) {
        auto* drag = new QDrag(component);
        drag->setMimeData(DragData(component));
        drag->setPixmap(component->grab().scaled(48, 48, Qt::KeepAspectRatio));
        drag->exec(Qt::CopyAction);
    }
}

} // namespace BoardContextMenu
