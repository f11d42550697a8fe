// The move-generator count of the rules header: how many lines of play of a
// given length start from a board. A sowing move that ends the round is one
// leaf and is not extended; an extra move keeps the mover. Authors of a
// player's own move generator compare their counts with these.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "error.h"
#include "pitsow/rules.h"

// Leaves of the tree of sowing moves depth moves deep below board (1 for
// depth 0).
uint64_t Perft(const PsBoard& board, int depth);

// The counts for depths 1..depth from the filled board of holes x bones
// (counts[d - 1] for depth d), or what is wrong with the settings.
Result<std::vector<uint64_t>> CountFromStart(int32_t holes, int32_t bones, int depth);
