#include "model/boardlink.h"

#include <QObject>

namespace {
bool g_hostBusy = false;
ViewFactory g_viewFactory = nullptr;
} // namespace

BoardLink* FindBoard(const QObject* start) {
    for (const QObject* o = start; o; o = o->parent())
        if (auto* board = dynamic_cast<BoardLink*>(const_cast<QObject*>(o))) return board;
    return nullptr;
}

bool HostBusy() {
    return g_hostBusy;
}

void SetHostBusy(bool busy) {
    g_hostBusy = busy;
}

ComponentRole* RoleOf(const QObject* object) {
    return dynamic_cast<ComponentRole*>(const_cast<QObject*>(object));
}

TMirrorTargets BoardLink::MirrorTargets(TPortSpace, int, int) const {
    TMirrorTargets targets;
    for (QObject* component : BoardComponents()) {
        ComponentRole* role = RoleOf(component);
        if (!role) continue;
        if (TOrvexPortDriver* port = role->MirroredPort()) targets.Ports.append(port);
        if (TOrvexPin* pin = role->MirroredPin()) targets.Pins.append(pin);
    }
    return targets;
}

void SetViewFactory(ViewFactory factory) {
    g_viewFactory = factory;
}

ViewFactory CurrentViewFactory() {
    return g_viewFactory;
}
