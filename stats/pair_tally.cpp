#include "pair_tally.h"

#include "pair_score.h"

namespace {

uint64_t Mix(uint64_t h, uint64_t x) {
  h ^= x + 0x9E3779B97F4A7C15ULL + (h << 6) + (h >> 2);
  h = (h ^ (h >> 30)) * 0xBF58476D1CE4E5B9ULL;
  return h ^ (h >> 31);
}

uint64_t RoundKey(const RoundResult& r, int seat) {
  return Mix(Mix(static_cast<uint64_t>(seat) + 1, r.opening), r.moves);
}

}  // namespace

uint64_t TextHash(const std::string& text) {
  uint64_t h = 0xCBF29CE484222325ULL;  // FNV-1a
  for (unsigned char c : text) h = (h ^ c) * 0x100000001B3ULL;
  return h;
}

bool PairTally::Add(const RoundResult& seat0, const RoundResult& seat1) {
  const int q = PairQuarters(seat0.winner, seat1.winner);
  const RoundResult* const seats[2] = {&seat0, &seat1};
  for (int seat = 0; seat < 2; ++seat) {
    const RoundResult& r = *seats[seat];
    CountOutcome(wdl, OutcomeOfA(seat, r.winner));
    CountOutcome(first, OutcomeOfA(0, r.winner));
    openings.insert(r.opening);
    rounds.insert(RoundKey(r, seat));
  }
  ++penta[static_cast<size_t>(q)];
  if (!pairs.insert(Mix(RoundKey(seat0, 0), RoundKey(seat1, 1))).second) return false;
  CountOutcome(wdl_distinct, OutcomeOfA(0, seat0.winner));
  CountOutcome(wdl_distinct, OutcomeOfA(1, seat1.winner));
  ++penta_distinct[static_cast<size_t>(q)];
  return true;
}
