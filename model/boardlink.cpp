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

void SetViewFactory(ViewFactory factory) {
    g_viewFactory = factory;
}

ViewFactory CurrentViewFactory() {
    return g_viewFactory;
}
