// A results file's rounds counted as pairs, pairing by pairing.
#pragma once

#include <cstdint>
#include <vector>

#include "pair_tally.h"
#include "records.h"

// The tallies of a ledger's pairings; unfinished[p] counts pairing p's
// rounds whose other seat is not in the ledger.
std::vector<PairTally> TallyPairings(const Ledger& ledger, size_t pairings,
                                     std::vector<int64_t>& unfinished);
