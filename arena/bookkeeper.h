// The tournament's books while it runs: every results line goes through
// here, into the ledger and the results file; faults are charged to their
// players and a player with too many is retired, its unplayed rounds
// scored as lost; after every complete pair of a two-player tournament the
// sequential test is run and its line written; the end reason once decided
// and the first fatal error. The books change only through the calls
// below, so that every change to them is one named step of this unit.
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
#include "tournament_stop.h"

class Bookkeeper {
 public:
  explicit Bookkeeper(const TournamentSettings& settings);

  const TournamentSettings& Settings() const { return s_; }
  const std::vector<std::pair<int, int>>& PairingList() const { return pairings_; }
  const Ledger& Recorded() const { return ledger_; }
  const PairTally& SprtPairs() const { return sprt_pairs_; }
  TournamentStop Stop() const { return stop_; }
  bool Stopped() const { return stop_ != TournamentStop::kNone; }
  const std::optional<Error>& FirstError() const { return error_; }

  std::string Label(int player) const { return s_.players[static_cast<size_t>(player)].label; }
  bool Retired(int pairing) const;

  // The results file at path: a new one with its tournament line, or, when
  // it exists and resume is asked for, the one there read back into the
  // books (its faults counted, its complete pairs tallied).
  std::optional<Error> Open(const std::string& path, bool resume);
  // Closes the results file; a failure to is the first fatal error.
  void Close();

  // Adds a line to the ledger and appends it to the results file.
  void Write(const Json& line);
  // Records the first fatal error; the tournament stops.
  void Fail(Error e);
  // ^C or SIGTERM: the tournament stops, to be resumed.
  void Interrupt();
  // The loop ran out of rounds: complete, unless it stopped for a reason.
  void Finish();

  // The sequential test after the round in slot, when it completed a pair.
  void AfterRound(const Slot& slot);
  // Charges the referee's fault line f of the run to its player, retiring
  // the player at its max_faults-th.
  void ChargeFault(RefereeRun& run, const Json& f);
  // Scores every unplayed round of a retired player's pairings as lost.
  void ScoreRetired();

  // A referee run settled: it ended well, or a player was charged for it.
  void RunSettled() { uncharged_in_a_row_ = 0; }
  // A referee run failed with nobody to charge: how many in a row now.
  int RunUncharged() { return ++uncharged_in_a_row_; }

 private:
  // Counts the faults and the complete pairs of a resumed ledger.
  void Reload();

  const TournamentSettings& s_;
  std::vector<std::pair<int, int>> pairings_;
  Ledger ledger_;
  ResultsFile file_;
  std::map<std::string, int> fault_counts_;
  PairTally sprt_pairs_;  // complete pairs so far, for the sequential test
  TournamentStop stop_ = TournamentStop::kNone;
  std::optional<Error> error_;  // the first fatal error
  int uncharged_in_a_row_ = 0;  // referee runs in a row that failed with nobody to charge
};
