#include "model/collections.h"

int TComponentList::IndexOf(const TOrvexPinDriver* pin) const {
    for (size_t i = 0; i < m_items.size(); ++i)
        if (m_items[i].Pin == pin) return int(i);
    return -1;
}

TRouteItem::TRouteItem()
    : First(std::make_unique<TComponentList>()), Second(std::make_unique<TComponentList>()) {}

TRouteItem::TRouteItem(const TRouteItem& other) : TRouteItem() {
    Assign(other);
}

TRouteItem& TRouteItem::operator=(const TRouteItem& other) {
    if (this != &other) Assign(other);
    return *this;
}

void TRouteItem::Assign(const TRouteItem& source) {
    Name = source.Name;
    *First = *source.First;
    *Second = *source.Second;
    Kind = source.Kind;
    for (int i = 0; i < 4; ++i)
        Figures[i] = source.Figures[i];
    Flags[0] = source.Flags[0];
    Flags[1] = source.Flags[1];
    Last = source.Last;
}

TNode::TNode(QObject* owner) : m_owner(owner), m_drivers(owner), m_routes(owner) {}

TOrvexPinDriver* TNode::FirstContact() const {
    return m_drivers.IsEmpty() ? nullptr : m_drivers.Items(0).Pin;
}
