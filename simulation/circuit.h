#pragma once

class TOrvexPinDriver;
class TComponentList;

// The propagation engine: pushes levels (mV) from driving contacts along chains of components.
// Plain routines; no state survives a call.

// 0..2500 mV reads as low.
inline bool IsLowLevel(int level) { return level >= 0 && level <= 2500; }

// The driver that feeds the chain through `contact`, or nullptr; on return `contact` holds the
// contact through which that driver reaches the chain.
TOrvexPinDriver* FindChainSource(TOrvexPinDriver*& contact);

// Walks from `source` through `first` and pushes the level; returns the contact where the chain
// ended, or nullptr.
TOrvexPinDriver* PropagateChain(TOrvexPinDriver* source, TOrvexPinDriver* first);

// Runs a chain walk from `driver` through each of its connections except `excluded`, and on
// through every gate output that a walk returns.
void SpreadFromDriver(TOrvexPinDriver* driver, TOrvexPinDriver* excluded);
