// The value behind pitsow.State: one position and the move that made it,
// shared by the rules module and the player libraries that play on it.
#pragma once

#include <cstdint>

#include "pitsow/rules.h"

struct Outcome {
  int32_t hole = 0;
  int32_t capture = 0;  // the mover's hole where the last bone captured, or 0
  bool extra_move = false;
  bool end = false;
};

struct State {
  PsBoard board{};
  Outcome last{};  // the move that made this position; hole 0: none
};
