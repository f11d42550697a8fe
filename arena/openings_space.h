// The distinct openings of a board: every sequence of K moves from the
// filled board (each a non-empty hole of the mover; an extra move keeps the
// mover; a sequence that ends the round on the way or at its end left out),
// how many there are, the depth a tournament plays, and the list of them in
// an order drawn from the seed, so that each pairing plays every opening
// once before any opening comes again.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// Openings of `depth` moves counted up to `limit`: the count, or limit + 1
// when there are more (or too many positions to visit to tell). Depth 0 is
// the filled board alone: 1.
int64_t CountOpenings(int holes, int bones, int depth, int64_t limit);

// The most openings a tournament lists (and so never repeats before all are
// played); beyond it openings are drawn at random, repeats possible.
constexpr int64_t kOpeningListLimit = int64_t{1} << 21;
// Without a cap on the pairs (a sequential test that runs until it
// decides), the depth is the smallest with at least this many openings.
constexpr int64_t kUncappedOpenings = 10000;

struct OpeningDepth {
  int depth = 0;
  int64_t distinct = 0;  // kOpeningListLimit + 1: more than the list holds
  std::string warning;   // empty, or why openings will repeat
};

// The depth to play for `pairs` pairs per pairing (0: no cap): the given
// one (`wanted` >= 0), or the smallest whose openings outnumber the pairs.
OpeningDepth ChooseOpeningDepth(int holes, int bones, int wanted, int64_t pairs);

// All openings of a depth, shuffled by the seed: opening i is
// moves[i * depth .. (i + 1) * depth). Null when there are more than
// kOpeningListLimit. Built once per board, depth and seed, then shared.
struct OpeningList {
  int depth = 0;
  int64_t count = 0;
  std::vector<uint8_t> moves;
  std::vector<int> At(int64_t i) const;
};
std::shared_ptr<const OpeningList> ListOpenings(int holes, int bones, int depth, uint64_t seed);
