#pragma once

#include <QHash>
#include <QString>
#include <memory>
#include <vector>

class QObject;
class TOrvexPinDriver;

// One entry of a contact's connection list, of a propagation chain, or of a node's driver list.
struct TComponentItem {
    TOrvexPinDriver* Pin = nullptr;
    QString Name = QStringLiteral("orvexComponent");

    // From an item of the same kind only the contact is taken, the name stays.
    void Assign(const TComponentItem& source) { Pin = source.Pin; }
    QString GetDisplayName() const {
        return Name.isEmpty() ? QStringLiteral("TComponentItem") : Name;
    }
};

// An ordered list of contact references. Items do not own the contacts they name.
//
// Long lists (a rail that every gate output joins and leaves as its level changes) also keep where
// each contact stands, and a contact taken out by Remove leaves a hole that is closed at the next
// access by position: joining and leaving such a list costs the same whatever its length. The
// order of the remaining items is never changed.
class TComponentList {
public:
    explicit TComponentList(QObject* owner = nullptr) : m_owner(owner) {}

    QObject* GetOwner() const { return m_owner; }
    int Count() const { return int(m_items.size()) - m_holes; }
    bool IsEmpty() const { return Count() == 0; }
    // The reference stays valid until the next change of the list.
    TComponentItem& Add();
    void Add(TOrvexPinDriver* pin, const QString& name);
    const TComponentItem& Items(int index) const {
        Close();
        return m_items[size_t(index)];
    }
    // For changes in place (reordering, renaming); the list forgets where its contacts stand.
    TComponentItem& Items(int index);
    // The contact of item 0, or nullptr when the list is empty.
    TOrvexPinDriver* First() const;
    void Delete(int index);
    // Takes out one item naming the contact; false when there is none.
    bool Remove(const TOrvexPinDriver* pin);
    // Takes out the items that name no contact.
    void RemoveEmpty();
    void Clear();
    int IndexOf(const TOrvexPinDriver* pin) const;
    bool Contains(const TOrvexPinDriver* pin) const;

    auto begin() const {
        Close();
        return m_items.cbegin();
    }
    auto end() const {
        Close();
        return m_items.cend();
    }

private:
    // Lists shorter than this are searched item by item.
    static constexpr int IndexedLength = 32;
    struct Place {
        qsizetype at = 0; // where the last item naming the contact stands
        int count = 0;    // how many items name it
    };

    // Closes the holes Remove left, keeping the order.
    void Close() const;
    // Builds the places once the list is long; false while it is short.
    bool Indexed() const;
    void Forget() const;

    QObject* m_owner;
    mutable std::vector<TComponentItem> m_items;
    mutable int m_holes = 0;
    int m_empty = 0; // items naming no contact (not holes)
    bool m_emptyKnown = true;
    mutable bool m_indexed = false;
    mutable QHash<const TOrvexPinDriver*, Place> m_places;
};

struct TNodeItem {
    TOrvexPinDriver* Pin = nullptr;
    QString Name = QStringLiteral("orvexNode");

    void Assign(const TNodeItem& source) { Pin = source.Pin; }
    QString GetDisplayName() const { return Name.isEmpty() ? QStringLiteral("TNodeItem") : Name; }
};

// One electrical point of the schematic: its plain members, its driving contacts, its name and its
// position in the board's node table.
class TNode {
public:
    explicit TNode(QObject* owner = nullptr);

    QObject* GetOwner() const { return m_owner; }
    int Count() const { return int(m_items.size()); }
    TNodeItem& Add() { return m_items.emplace_back(); }
    TNodeItem& Add(TOrvexPinDriver* pin, const QString& name) {
        return m_items.emplace_back(TNodeItem{pin, name});
    }
    TNodeItem& Items(int index) { return m_items[size_t(index)]; }
    const TNodeItem& Items(int index) const { return m_items[size_t(index)]; }
    void Delete(int index) { m_items.erase(m_items.begin() + index); }
    auto begin() const { return m_items.begin(); }
    auto end() const { return m_items.end(); }

    QString Name;
    int Index = 0;
    TComponentList& Drivers() { return m_drivers; }
    const TComponentList& Drivers() const { return m_drivers; }
    // The contact that driver contacts are attached to (item 0 of Drivers), or nullptr.
    TOrvexPinDriver* FirstContact() const;

private:
    QObject* m_owner;
    std::vector<TNodeItem> m_items;
    TComponentList m_drivers;
};

// The board's node table: index 0 is GND, 1 is Vcc while running; empty otherwise.
using TNodeArray = std::vector<std::unique_ptr<TNode>>;
