// The one place where rounds become pairs: which rounds of a pairing form a
// complete pair, the quarters of a point the pairing's first player (A)
// takes from it, and the counts over the complete pairs, both as played
// and with each distinct pair once. Two pairs are the same when both their
// rounds are: the same opening and the same moves from the same seats, as
// deterministic players give every time an opening comes again. Error bars
// and the sequential test use the distinct counts, so a repeated round
// adds no evidence.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_set>
#include <vector>

#include "records.h"
#include "stats.h"

// A's result in a round: +1 won, 0 draw, -1 lost.
int OutcomeOfA(int seat, int winner);
// Quarters of a point A takes from a pair: 0 (LL) .. 4 (WW).
int PairQuarters(const RoundRecord& seat0, const RoundRecord& seat1);

// A 64-bit hash of a text (an opening's or a round's moves as written).
uint64_t TextHash(const std::string& text);

struct PairTally {
  Wdl wdl;           // rounds of complete pairs, from A's side
  Wdl first;         // the same rounds from player 1's side
  Penta penta{};     // complete pairs
  Wdl wdl_distinct;  // rounds of distinct pairs
  Penta penta_distinct{};
  std::unordered_set<uint64_t> openings, rounds, pairs;  // distinct ones seen

  // Counts a complete pair; true when no pair of the same two rounds came
  // before.
  bool Add(const RoundRecord& seat0, const RoundRecord& seat1);
  int64_t Pairs() const { return wdl.Total() / 2; }
  // Rounds that repeat an earlier round of the pairing.
  int64_t RepeatedRounds() const { return wdl.Total() - static_cast<int64_t>(rounds.size()); }
};

// The tallies of a ledger's pairings; unfinished[p] counts pairing p's
// rounds whose other seat is not in the ledger.
std::vector<PairTally> TallyPairings(const Ledger& ledger, size_t pairings,
                                     std::vector<int64_t>& unfinished);
