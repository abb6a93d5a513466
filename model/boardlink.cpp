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

BoardLink* KeptBoard::Find(const QObject* start) const {
    if (!start) return nullptr;
    if (m_board) {
        const QObject* o = start;
        int i = 0;
        while (o == m_chain[size_t(i)] && &typeid(*o) == m_types[size_t(i)] && ++i < m_depth)
            o = o->parent();
        if (i == m_depth) return m_board;
    }
    m_board = nullptr;
    int depth = 0;
    for (const QObject* o = start; o; o = o->parent(), ++depth) {
        if (depth < MaxDepth) {
            m_chain[size_t(depth)] = o;
            m_types[size_t(depth)] = &typeid(*o);
        }
        if (auto* board = dynamic_cast<BoardLink*>(const_cast<QObject*>(o))) {
            if (depth < MaxDepth) {
                m_board = board;
                m_depth = depth + 1;
            }
            return board;
        }
    }
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

const TMirrorTargets& BoardLink::MirrorTargets(TPortSpace, int, int) const {
    TMirrorTargets& targets = m_everyTarget;
    targets.Ports.clear();
    targets.Pins.clear();
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
