#pragma once

#include <QSet>

#include "model/collections.h"

class QObject;
class TOrvexPinDriver;

// The propagation engine: pushes levels (mV) from driving contacts along chains of components.
// Plain routines; no state survives a call.

// 0..2500 mV reads as low.
inline bool IsLowLevel(int level) {
    return level >= 0 && level <= 2500;
}

// One top-level spread may run this many chain walks, its nested spreads included. A board whose
// gates feed back into themselves would otherwise spread for ever; an acyclic board needs one walk
// per driver connection, far below this.
constexpr int SpreadWalkBudget = 100000;

// Spreads started from inside a spread (a control reacting to a level) run at once up to this
// nesting; deeper ones are queued on the innermost running spread, so the native stack stays
// bounded whatever the board.
constexpr int SpreadNestingLimit = 32;

// The contacts one walk has collected, in walk order; long chains keep a hash for the membership
// questions.
class TChain {
public:
    explicit TChain(QObject* owner = nullptr) : m_items(owner) {}

    int Count() const { return m_items.Count(); }
    bool IsEmpty() const { return m_items.IsEmpty(); }
    TOrvexPinDriver* At(int index) const { return m_items.Items(index).Pin; }
    TOrvexPinDriver* Last() const { return At(Count() - 1); }
    const TComponentList& Items() const { return m_items; }

private:
    static constexpr int ScannedLength = 16;
    friend bool ChainContains(const TOrvexPinDriver* contact, const TChain& chain);
    friend void ChainAdd(TOrvexPinDriver* contact, TChain& chain, bool clearSettled);

    TComponentList m_items;
    QSet<const TOrvexPinDriver*> m_members;
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
