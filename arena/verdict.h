// The counts of a tournament and the text that reports them: standings,
// cross-table, each pairing's statistics with its pentanomial pair counts,
// Bradley-Terry ratings for three or more players, the sequential test,
// and every fault.
#pragma once

#include <string>
#include <vector>

#include "records.h"

struct PairingCounts {
  int a = 0, b = 0;  // player indexes
  Wdl wdl;           // from A's side
  Penta penta{};     // pairs from A's side
  Wdl first;         // from player 1's side, whoever sat there
  int faults = 0;
};

struct PlayerCounts {
  Wdl wdl;
  int faults = 0;
  bool retired = false;
};

struct Summary {
  std::vector<PairingCounts> pairings;
  std::vector<PlayerCounts> players;
  std::vector<std::vector<Wdl>> cross;  // [i][j] from i's side
  long rounds = 0, planned = 0;
  long pairs = 0, planned_pairs = 0;
};

// Rounds and pairs this run (or this set of shards) is to play.
long PlannedRounds(const TournamentSettings& s, bool all_shards);

Summary Summarise(const TournamentSettings& s, const Ledger& ledger, bool all_shards);

// The sequential test over the finished pairs of the only pairing.
SprtState SprtOf(const TournamentSettings& s, const Summary& sum);

// The final report.
std::string VerdictText(const TournamentSettings& s, const Ledger& ledger, const Summary& sum);

// The lines of `pitsow-arena stats`.
std::string WdlText(const Wdl& w);
std::string PentaText(const Penta& p);
std::string SprtText(const SprtSpec& spec, const SprtState& t);

// The short standings for the live display: one line per player.
std::vector<std::string> StandingsLines(const TournamentSettings& s, const Summary& sum);
