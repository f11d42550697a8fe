// The counts of a tournament and the text that reports them: standings,
// cross-table, each pairing's statistics with its pentanomial pair counts,
// Bradley-Terry ratings for three or more players, the sequential test,
// and every fault.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "error.h"
#include "records.h"

// Counts over complete pairs only (both rounds in), so that W/D/L, the
// standings and the pentanomial counts agree.
struct PairingCounts {
  int a = 0, b = 0;  // player indexes
  Wdl wdl;           // from A's side
  Penta penta{};     // pairs from A's side
  Wdl first;         // from player 1's side, whoever sat there
  Wdl wdl_distinct;  // each distinct pair once: the error bars' counts
  Penta penta_distinct{};
  int64_t openings = 0, distinct_rounds = 0;
  int64_t unfinished = 0;  // rounds whose pair is not complete, left out
  int faults = 0;
};

struct PlayerCounts {
  Wdl wdl;
  Wdl wdl_distinct;
  int faults = 0;
  bool retired = false;
};

struct Summary {
  std::vector<PairingCounts> pairings;
  std::vector<PlayerCounts> players;
  std::vector<std::vector<Wdl>> cross;  // [i][j] from i's side
  long rounds = 0, planned = 0;         // planned -1: no cap
  long pairs = 0, planned_pairs = 0;
  long unfinished = 0;  // rounds of incomplete pairs, left out of the counts
};

// Rounds and pairs this run (or this set of shards) is to play; -1 when
// there is no cap.
long PlannedRounds(const TournamentSettings& s, bool all_shards);

Summary Summarise(const TournamentSettings& s, const Ledger& ledger, bool all_shards);

// The sequential test over the distinct complete pairs of the only pairing.
SprtState SprtOf(const TournamentSettings& s, const Summary& sum);

// Warn beside the error bars when repeated rounds are more than this share
// of a pairing's rounds.
constexpr double kRepeatWarning = 0.1;

// The final report.
std::string VerdictText(const TournamentSettings& s, const Ledger& ledger, const Summary& sum);

// The verdict in words, one sentence a reader can quote: for a sequential
// test the hypothesis accepted (or none yet) with the estimate; for a
// two-player run of fixed length the Elo with its interval, LOS and
// whether the interval excludes 0; for a field the Bradley-Terry ranking
// with the places not yet separated.
std::string VerdictSentence(const TournamentSettings& s, const Ledger& ledger, const Summary& sum);

// Beside the verdict of a sequential test whose estimate lies far outside
// [elo0, elo1]: that closer bounds would decide sooner. Empty otherwise.
std::string SprtBoundsHint(const TournamentSettings& s, const Summary& sum);

// The console's last lines: "Verdict: " and the sentence, and the hint
// beside a sequential test when there is one.
std::string VerdictLines(const TournamentSettings& s, const Ledger& ledger, const Summary& sum);

// Which Elo figure is which, said once for a page or a console.
std::string EloLegend(const TournamentSettings& s);

// The lines of `pitsow-arena stats`.
std::string WdlText(const Wdl& w);
std::string PentaText(const Penta& p);
std::string SprtText(const SprtBounds& bounds, const SprtState& t);

// The short standings for the live display: one line per player.
std::vector<std::string> StandingsLines(const TournamentSettings& s, const Summary& sum);

// "players sandboxed (LIMITS)": each limit of a player's room and how it
// is enforced, the memory as the tournament sets it (else the room's
// default).
std::string SandboxedLine(const TournamentSettings& s);

// Writes the verdict to OUT/report.txt.
std::optional<Error> WriteVerdictFile(const std::string& out_dir, const std::string& verdict);
