#include "model/collections.h"

#include <algorithm>

namespace {

// Marks the slot of a removed item until the list closes its holes. Never a contact's address:
// contacts are objects and aligned.
TOrvexPinDriver* const Hole = reinterpret_cast<TOrvexPinDriver*>(quintptr(1));

} // namespace

TComponentItem& TComponentList::Add() {
    Close();
    Forget();
    ++m_empty;
    m_emptyKnown = false; // the caller may set the contact through the reference
    return m_items.emplace_back();
}

void TComponentList::Add(TOrvexPinDriver* pin, const QString& name) {
    m_items.push_back(TComponentItem{pin, name});
    if (!pin) ++m_empty;
    if (m_indexed) {
        Place& place = m_places[pin];
        place.at = qsizetype(m_items.size()) - 1;
        ++place.count;
    }
}

TComponentItem& TComponentList::Items(int index) {
    Close();
    Forget();
    m_emptyKnown = false;
    return m_items[size_t(index)];
}

TOrvexPinDriver* TComponentList::First() const {
    if (IsEmpty()) return nullptr;
    if (m_items.front().Pin != Hole) return m_items.front().Pin;
    Close();
    return m_items.front().Pin;
}

void TComponentList::Delete(int index) {
    Close();
    if (!m_items[size_t(index)].Pin) --m_empty;
    const bool last = size_t(index) + 1 == m_items.size();
    if (m_indexed) {
        auto it = m_places.find(m_items[size_t(index)].Pin);
        int left = 0;
        if (it != m_places.end()) {
            left = --it->count;
            if (left == 0) m_places.erase(it);
        }
        // Items after it move up, and another item naming the same contact may be the one its
        // place points to: the places would be stale.
        if (!last || left > 0) Forget();
    }
    m_items.erase(m_items.begin() + index);
}

bool TComponentList::Remove(const TOrvexPinDriver* pin) {
    const bool indexed = Indexed();
    auto it = indexed ? m_places.find(pin) : m_places.end();
    if (indexed && it == m_places.end()) return false;
    if (!indexed || it->count > 1) {
        // A short list, or a contact named more than once (never by wiring, which keeps one item
        // per partner): search from the end.
        Close();
        for (int i = Count() - 1; i >= 0; --i) {
            if (m_items[size_t(i)].Pin != pin) continue;
            Delete(i);
            return true;
        }
        return false;
    }
    const qsizetype at = it->at;
    m_places.erase(it);
    if (!pin) --m_empty;
    if (size_t(at) + 1 == m_items.size()) {
        m_items.pop_back();
    } else {
        m_items[size_t(at)] = TComponentItem{Hole, QString()};
        ++m_holes;
    }
    return true;
}

void TComponentList::RemoveEmpty() {
    if (m_emptyKnown && m_empty == 0) return;
    Close();
    for (int i = Count() - 1; i >= 0; --i)
        if (!m_items[size_t(i)].Pin) Delete(i);
    m_empty = 0;
    m_emptyKnown = true;
}

void TComponentList::Clear() {
    m_items.clear();
    m_holes = 0;
    m_empty = 0;
    m_emptyKnown = true;
    Forget();
}

int TComponentList::IndexOf(const TOrvexPinDriver* pin) const {
    if (Indexed() && !m_places.contains(pin)) return -1;
    Close();
    for (size_t i = 0; i < m_items.size(); ++i)
        if (m_items[i].Pin == pin) return int(i);
    return -1;
}

bool TComponentList::Contains(const TOrvexPinDriver* pin) const {
    if (Indexed()) return m_places.contains(pin);
    for (const TComponentItem& item : m_items)
        if (item.Pin == pin) return true;
    return false;
}

void TComponentList::Close() const {
    if (m_holes == 0) return;
    while (!m_items.empty() && m_items.back().Pin == Hole) {
        m_items.pop_back();
        --m_holes;
    }
    if (m_holes == 0) return;
    std::erase_if(m_items, [](const TComponentItem& item) { return item.Pin == Hole; });
    m_holes = 0;
    if (m_indexed) {
        for (qsizetype i = 0; i < qsizetype(m_items.size()); ++i)
            m_places[m_items[size_t(i)].Pin].at = i;
    }
}

bool TComponentList::Indexed() const {
    if (m_indexed) return true;
    if (Count() < IndexedLength) return false;
    Close();
    m_places.clear();
    m_places.reserve(qsizetype(m_items.size()));
    for (qsizetype i = 0; i < qsizetype(m_items.size()); ++i) {
        Place& place = m_places[m_items[size_t(i)].Pin];
        place.at = i;
        ++place.count;
    }
    m_indexed = true;
    return true;
}

void TComponentList::Forget() const {
    if (!m_indexed) return;
    m_indexed = false;
    m_places.clear();
}

TNode::TNode(QObject* owner) : m_owner(owner), m_drivers(owner) {}

TOrvexPinDriver* TNode::FirstContact() const {
    return m_drivers.IsEmpty() ? nullptr : m_drivers.Items(0).Pin;
}
