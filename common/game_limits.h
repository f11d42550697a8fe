// The game's fixed limits, named once for every program.
#pragma once

#include <cstdint>

#include "pitsow/rules.h"

// The most bones per hole: the largest count whose whole board still fits a
// 32-bit store.
inline constexpr int32_t kMaxBones = PS_MAX_BONES;

// The turn limit of a round unless the command line sets another.
inline constexpr int32_t kDefaultMaxTurns = 300;
