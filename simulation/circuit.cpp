#include "simulation/circuit.h"

#include "model/drivers.h"

// The chain walks are not wired yet: until they are, no level leaves its contact.
TOrvexPinDriver* FindChainSource(TOrvexPinDriver*&) { return nullptr; }

TOrvexPinDriver* PropagateChain(TOrvexPinDriver*, TOrvexPinDriver*) { return nullptr; }

void SpreadFromDriver(TOrvexPinDriver*, TOrvexPinDriver*) {}
