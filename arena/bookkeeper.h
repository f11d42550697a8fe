// The tournament's books while it runs: every results line goes through
// here, into the ledger and the results file; faults are charged to their
// players and a player with too many is retired, its unplayed rounds
// scored as lost; after every complete pair of a two-player tournament the
// sequential test is run and its line written; the end reason once decided
// and the first fatal error.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "error.h"
#include "pair_tally.h"
#include "records.h"
#include "referee_run.h"

struct Bookkeeper {
  const TournamentSettings& s;
  std::vector<std::pair<int, int>> pairings;
  Ledger ledger;
  ResultsFile file;
  std::map<std::string, int> fault_counts;
  PairTally sprt_pairs;        // complete pairs so far, for the sequential test
  std::string stop;            // the end reason once decided
  std::optional<Error> error;  // the first fatal error
  int uncharged_in_a_row = 0;  // referee runs in a row that failed with nobody to charge

  explicit Bookkeeper(const TournamentSettings& settings)
      : s(settings), pairings(Pairings(settings)) {}

  std::string Label(int player) const { return s.players[static_cast<size_t>(player)].label; }
  bool Retired(int pairing) const;

  // Adds a line to the ledger and appends it to the results file.
  void Write(const Json& line);
  // Records the first fatal error; the tournament stops.
  void Fail(Error e);

  // Counts the faults and the complete pairs of a resumed ledger.
  void Reload();
  // The sequential test after the round in slot, when it completed a pair.
  void AfterRound(const Slot& slot);
  // Charges the referee's fault line f of the run to its player, retiring
  // the player at its max_faults-th.
  void ChargeFault(RefereeRun& run, const Json& f);
  // Scores every unplayed round of a retired player's pairings as lost.
  void ScoreRetired();
};
