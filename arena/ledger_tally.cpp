#include "ledger_tally.h"

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
