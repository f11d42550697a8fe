// Rounds counted as pairs: the quarters of a point the pairing's first
// player (A) takes from each complete pair, and the counts over the
// complete pairs, both as played and with each distinct pair once. Two
// pairs are the same when both their rounds are: the same opening and the
// same moves from the same seats, as deterministic players give every time
// an opening comes again. Error bars and the sequential test use the
// distinct counts, so a repeated round adds no evidence.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_set>

#include "stats.h"

// What the tally needs of one round: the referee's winner (0 draw, 1 or
// 2) and hashes of its opening and its moves as written.
struct RoundResult {
  int winner = 0;
  uint64_t opening = 0, moves = 0;
};

// A 64-bit hash of a text (an opening's or a round's moves as written).
uint64_t TextHash(const std::string& text);

struct PairTally {
  Wdl wdl;           // rounds of complete pairs, from A's side
  Wdl first;         // the same rounds from player 1's side
  Penta penta{};     // complete pairs
  Wdl wdl_distinct;  // rounds of distinct pairs
  Penta penta_distinct{};
  std::unordered_set<uint64_t> openings, rounds, pairs;  // distinct ones seen

  // Counts a complete pair: the round with A as player 1 (seat 0) and the
  // one with A as player 2; true when no pair of the same two rounds came
  // before.
  bool Add(const RoundResult& seat0, const RoundResult& seat1);
  int64_t Pairs() const { return wdl.Total() / 2; }
  // Rounds that repeat an earlier round of the pairing.
  int64_t RepeatedRounds() const { return wdl.Total() - static_cast<int64_t>(rounds.size()); }
};
