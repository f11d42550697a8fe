// The tournament's own random generator, splitmix64: small, fast and the
// same on every machine, so that a seed draws the same openings anywhere.
// The schedule's random openings and the shuffled list of every opening
// both draw from it.
#pragma once

#include <cstdint>

// One step of splitmix64: advances state and gives the next number.
uint64_t SplitMix64(uint64_t& state);
