#include "pair_tally.h"

namespace {

uint64_t Mix(uint64_t h, uint64_t x) {
  h ^= x + 0x9E3779B97F4A7C15ULL + (h << 6) + (h >> 2);
  h = (h ^ (h >> 30)) * 0xBF58476D1CE4E5B9ULL;
  return h ^ (h >> 31);
}

uint64_t RoundKey(const RoundRecord& r) {
  return Mix(Mix(static_cast<uint64_t>(r.slot.seat) + 1, r.opening), r.moves);
}

void Count(Wdl& w, int outcome) {
  if (outcome > 0)
    ++w.wins;
  else if (outcome < 0)
    ++w.losses;
  else
    ++w.draws;
}

}  // namespace

int OutcomeOfA(int seat, int winner) {
  if (winner == 0) return 0;
  return winner == (seat == 0 ? 1 : 2) ? 1 : -1;
}

int PairQuarters(const RoundRecord& seat0, const RoundRecord& seat1) {
  return 2 + OutcomeOfA(0, seat0.winner) + OutcomeOfA(1, seat1.winner);
}

uint64_t TextHash(const std::string& text) {
  uint64_t h = 0xCBF29CE484222325ULL;  // FNV-1a
  for (unsigned char c : text) h = (h ^ c) * 0x100000001B3ULL;
  return h;
}

bool PairTally::Add(const RoundRecord& seat0, const RoundRecord& seat1) {
  const int q = PairQuarters(seat0, seat1);
  for (const RoundRecord* r : {&seat0, &seat1}) {
    Count(wdl, OutcomeOfA(r->slot.seat, r->winner));
    Count(first, r->winner == 0 ? 0 : r->winner == 1 ? 1 : -1);
    openings.insert(r->opening);
    rounds.insert(RoundKey(*r));
  }
  ++penta[static_cast<size_t>(q)];
  if (!pairs.insert(Mix(RoundKey(seat0), RoundKey(seat1))).second) return false;
  Count(wdl_distinct, OutcomeOfA(0, seat0.winner));
  Count(wdl_distinct, OutcomeOfA(1, seat1.winner));
  ++penta_distinct[static_cast<size_t>(q)];
  return true;
}

std::vector<PairTally> TallyPairings(const Ledger& ledger, size_t pairings,
                                     std::vector<int64_t>& unfinished) {
  std::vector<PairTally> tallies(pairings);
  unfinished.assign(pairings, 0);
  for (const auto& [slot, r] : ledger.rounds) {
    if (slot.pairing < 0 || static_cast<size_t>(slot.pairing) >= pairings) continue;
    const auto other = ledger.rounds.find({slot.pairing, slot.pair, 1 - slot.seat});
    if (other == ledger.rounds.end())
      ++unfinished[static_cast<size_t>(slot.pairing)];
    else if (slot.seat == 0)
      tallies[static_cast<size_t>(slot.pairing)].Add(r, other->second);
  }
  return tallies;
}
