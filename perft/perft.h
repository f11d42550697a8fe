// The move-generator count of the rules header: how many lines of play of a
// given length start from a board. A sowing move that ends the round is one
// leaf and is not extended; an extra move keeps the mover. Authors of a
// player's own move generator compare their counts with these.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "pitsow/rules.h"

// Leaves of the tree of sowing moves depth moves deep below board (1 for
// depth 0).
uint64_t Perft(const PsBoard& board, int depth);

struct PerftError {
  std::string message;
};

// The counts for depths 1..depth from the filled board of holes x bones, or
// what is wrong with the settings.
struct PerftCounts {
  std::vector<uint64_t> counts;  // counts[d - 1] for depth d
  std::optional<PerftError> error;
};
PerftCounts CountFromStart(int32_t holes, int32_t bones, int depth);
