#pragma once

#include "model/enums.h"

// Logic levels. A level is millivolts: LevelLow (0) and LevelHigh (5000) are the rails,
// LevelUndefined (-1) means nothing drives the contact. Every reading of a level as a logic value
// goes through the threshold and the rules below, never through a literal.

// The level that divides low from high, and also the least difference at which two levels on one
// chain conflict.
constexpr int LogicThreshold = 2500;

// The board's own reading (ports, latches, the host, a chain's level when it is normalised):
// the threshold itself is low, so a contact resting exactly halfway reads as a 0 bit. An
// undefined level is neither low nor high.
constexpr bool IsLowLevel(int level) {
    return level >= 0 && level <= LogicThreshold;
}
constexpr bool IsHighLevel(int level) {
    return level > LogicThreshold;
}

// A logic input's reading (gate inputs, LCD control lines, an output judging its own drive):
// these switch at the threshold, so the threshold itself is already high, unlike the board's
// reading above. Here an undefined level is below the threshold.
constexpr bool ReachesThreshold(int level) {
    return level >= LogicThreshold;
}

// A gate input as it reads: an open (undefined) input floats high, as a logic gate's does.
constexpr bool GateHigh(int level) {
    return level < 0 || ReachesThreshold(level);
}
