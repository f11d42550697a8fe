// Everything a report page shows, already computed: the page generator
// only lays it out. A tournament runner or the match-record reader fills
// it; RenderReport turns it into one HTML file.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// One line of the standings table.
struct StandingRow {
  std::string player;
  int64_t rounds = 0;
  int64_t wins = 0;
  int64_t draws = 0;
  int64_t losses = 0;
  double score_percent = 0;         // (wins + draws / 2) / rounds, in percent
  std::optional<double> elo;        // none when the score is 0 % or 100 %
  std::optional<double> elo_error;  // half the width of the 95 % interval
  // Where the interval reaches a score of 0 or 1: its finite end, shown
  // instead ("below -300 at 95 %"), and drawn as a bound.
  std::string elo_note;
  std::optional<double> elo_bound;
  int elo_bound_sign = 0;
  int64_t faults = 0;
};

// Scores of each player (row) against each other player (column), as text
// such as "12.5/20"; empty for a pairing that was not played.
struct CrossTable {
  std::vector<std::string> players;
  std::vector<std::vector<std::string>> cells;
};

// One pairing's result from its first player's side.
struct PairingLine {
  std::string player_a;
  std::string player_b;
  int64_t rounds = 0;
  int64_t wins_a = 0;
  int64_t draws = 0;
  int64_t wins_b = 0;
  double score_percent = 0;  // A's score
  std::optional<double> elo;
  std::optional<double> elo_error;
  std::string elo_note;  // shown instead of elo ± error when set (a bound, a zero width)
};

// A Bradley-Terry rating of the field on the Elo scale with its 95 %
// interval (low == high: the anchor); +-inf for a player who won or lost
// every round.
struct RatingRow {
  std::string player;
  double elo = 0, low = 0, high = 0;
};

// The state of a two-player run after some of it was played.
struct CoursePoint {
  int64_t played = 0;        // pairs (a tournament) or rounds (a match)
  double score_percent = 0;  // the first player's score so far
  std::optional<double> elo;
  std::optional<double> elo_error;
  std::optional<double> llr;  // sequential test runs only
};

struct Course {
  std::string player_a;  // whose score and Elo the points are
  std::string player_b;
  std::string unit = "pairs";  // what `played` counts
  std::vector<CoursePoint> points;
  std::optional<std::pair<double, double>> llr_bounds;  // lower, upper
  // Where the sequential test decided, and what ("H1 accepted"), if it did.
  std::optional<int64_t> decided_at;
  std::string decision;
};

struct FaultLine {
  std::string player;
  std::string kind;                 // crash, exit, timeout, memory, overrun, rejected ...
  std::string report;               // the referee's report line
  std::optional<int64_t> round_id;  // RoundView::id of the round, if viewable
  std::string where;   // the round in the page's numbering, e.g. "A vs B, pair 3, seat 1, turn 6"
  std::string output;  // the player's own output (its stderr, a traceback), cut to a size
  std::string output_file;  // where the whole of it is
};

// One round as recorded: enough to replay it by the rules.
struct RoundView {
  int64_t id = 0;        // unique within the report
  int64_t round = -1;    // the round number of a match, or -1
  int64_t pairing = -1;  // the tournament's pairing, pair and seat, or -1
  int64_t pair = -1;
  int seat = -1;
  std::string pairing_name;  // "A vs B" for a tournament round
  std::string player1;       // labels of the players seated 1 and 2
  std::string player2;
  std::vector<int> opening;                // holes of the opening, each on its mover's side
  std::vector<std::array<int, 2>> moves;   // [player, hole], accepted moves
  std::string end;                         // majority, row-empty, rejected, turn-limit, fault ...
  std::array<int64_t, 2> stores = {0, 0};  // final stores of players 1 and 2
  int winner = 0;                          // 0 draw, 1 or 2
  std::string fault;                       // the fault report of this round, if any
  std::string rejected;                    // what was rejected, e.g. "player 1 answered 0"
};

struct ReportData {
  std::string title;
  // Who is ahead and how sure, one sentence to quote, shown first; notes
  // beside it (a run cut short, bounds far from the estimate).
  std::string verdict;
  std::vector<std::string> verdict_notes;
  std::string elo_legend;  // which Elo figure is which, said once
  // "players sandboxed" or "players NOT sandboxed: REASON", shown first;
  // empty where the run did not say (a single match, an older results file).
  std::string confinement;
  std::vector<std::pair<std::string, std::string>> settings;  // name, value
  int holes = 6;
  int bones = 6;
  std::vector<StandingRow> standings;
  CrossTable cross;
  std::vector<PairingLine> pairings;
  std::vector<RatingRow> ratings;  // when set, the chart shows these
  std::string ratings_anchor;      // the player at 0; empty: the field's mean
  std::optional<Course> course;    // two-player runs only
  std::vector<FaultLine> faults;
  std::vector<std::string> fault_notes;  // retirements and what came after them
  std::vector<RoundView> rounds;
  // Players whose every round the page keeps (--keep-rounds LABEL), or
  // every round of every player (--keep-rounds all).
  std::vector<std::string> keep_players;
  bool keep_all = false;
  int64_t total_rounds = 0;   // rounds played, when rounds holds fewer
  std::string sampling_note;  // how rounds was chosen, when it was sampled
};

// The rounds a page keeps in full at most.
inline constexpr size_t kMaxViewedRounds = 3000;

// Keeps every round that ended in a fault or a rejected answer, every
// round of the players in keep_players, and an evenly spaced,
// deterministic selection of the others, limit rounds in all (more if the
// rounds kept whole are more), and says so in sampling_note. Does nothing
// when rounds holds no more than limit, or with keep_all.
void SampleRounds(ReportData& data, size_t limit = kMaxViewedRounds);

// The row's Elo, error and, where the interval has one finite end, its
// bound, from the row's own wins, draws and losses.
void SetStandingElo(StandingRow& row);

// For w wins, d draws and l losses the score's Elo with half the width of
// its 95 % interval (none when the score is 0 or 1 or nothing was played).
std::pair<std::optional<double>, std::optional<double>> EloWithError(int64_t w, int64_t d,
                                                                     int64_t l);
