#pragma once

#include <memory>
#include <vector>

#include "model/collections.h"
#include "model/levels.h"

class QObject;
class TOrvexPinDriver;

// The propagation engine: pushes levels (mV) from driving contacts along chains of components.
// Plain routines; no state survives a call.

// One top-level spread may run this many chain walks, its nested spreads included. A board whose
// gates feed back into themselves would otherwise spread for ever; an acyclic board needs one walk
// per driver connection, far below this.
constexpr int SpreadWalkBudget = 100000;

// Spreads started from inside a spread (a control reacting to a level) run at once up to this
// nesting; deeper ones are queued on the innermost running spread, so the native stack stays
// bounded whatever the board.
constexpr int SpreadNestingLimit = 32;

// A set of contacts for membership questions on long chains: open addressing over one array, as
// a walk through thousands of contacts asks once per step and a node-based hash spends most of
// that time allocating.
class TContactSet {
public:
    bool IsEmpty() const { return m_count == 0; }
    bool Contains(const TOrvexPinDriver* contact) const;
    void Insert(const TOrvexPinDriver* contact);

private:
    static size_t Slot(const TOrvexPinDriver* contact, size_t mask);
    void Grow();

    std::vector<const TOrvexPinDriver*> m_slots; // nullptr: free
    size_t m_count = 0;
};

// The contacts of one walk in walk order. The first ones are kept in place: most chains are a
// handful of contacts, and a walk runs at every level change.
class TChainPins {
public:
    TChainPins() = default;
    TChainPins(const TChainPins&) = delete;
    TChainPins& operator=(const TChainPins&) = delete;

    size_t size() const { return m_size; }
    bool empty() const { return m_size == 0; }
    TOrvexPinDriver* operator[](size_t index) const { return m_data[index]; }
    TOrvexPinDriver* back() const { return m_data[m_size - 1]; }
    TOrvexPinDriver* const* begin() const { return m_data; }
    TOrvexPinDriver* const* end() const { return m_data + m_size; }
    void push_back(TOrvexPinDriver* pin) {
        if (m_size == m_capacity) Grow();
        m_data[m_size++] = pin;
    }

private:
    static constexpr size_t InPlace = 16;
    void Grow();

    TOrvexPinDriver* m_inPlace[InPlace];
    TOrvexPinDriver** m_data = m_inPlace;
    size_t m_size = 0;
    size_t m_capacity = InPlace;
    std::vector<TOrvexPinDriver*> m_heap;
};

// The contacts one walk has collected, in walk order; long chains keep a hash for the membership
// questions. The list with each contact's name is only made when asked for: a walk through a long
// chain of switches would otherwise spend a good part of its time copying names nobody reads.
class TChain {
public:
    explicit TChain(QObject* owner = nullptr) : m_owner(owner) {}

    int Count() const { return int(m_pins.size()); }
    bool IsEmpty() const { return m_pins.empty(); }
    TOrvexPinDriver* At(int index) const { return m_pins[size_t(index)]; }
    TOrvexPinDriver* Last() const { return m_pins.back(); }
    // The contacts with their names, as they are now.
    const TComponentList& Items() const;

private:
    static constexpr int ScannedLength = 16;
    friend bool ChainContains(const TOrvexPinDriver* contact, const TChain& chain);
    friend void ChainAdd(TOrvexPinDriver* contact, TChain& chain, bool clearSettled);

    QObject* m_owner;
    TChainPins m_pins;
    TContactSet m_members;
    mutable std::unique_ptr<TComponentList> m_items;
};

// True when the contact's owning component is a gate or an inverter; false for nullptr.
bool IsGateContact(const TOrvexPinDriver* contact);

bool ChainContains(const TOrvexPinDriver* contact, const TChain& chain);

// Appends the contact (named after it); with `clearSettled` its settled flag is cleared first.
void ChainAdd(TOrvexPinDriver* contact, TChain& chain, bool clearSettled);

// Index of the first contact that is not settled; -1 when there is none or the chain has fewer
// than two contacts.
int FirstUnsettled(const TChain& chain);

// The driver that feeds the chain through `contact`, or nullptr; on return `contact` holds the
// contact through which that driver reaches the chain.
TOrvexPinDriver* FindChainSource(TOrvexPinDriver*& contact);

// Walks from `source` through `first` and pushes the level; returns the contact where the chain
// ended, or nullptr.
TOrvexPinDriver* PropagateChain(TOrvexPinDriver* source, TOrvexPinDriver* first);

// Runs a chain walk from `driver` through each of its connections except `excluded`, and on
// through every gate output that a walk returns, depth first. Gives up after SpreadWalkBudget walks
// and reports the board as oscillating.
void SpreadFromDriver(TOrvexPinDriver* driver, TOrvexPinDriver* excluded);
// A driver being destroyed leaves the spreads that were still to walk from it.
void ForgetDriverInSpreads(const TOrvexPinDriver* driver);
