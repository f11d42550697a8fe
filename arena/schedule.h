// What a tournament plays: its settings, the pairings of its format, the
// opening of every pair (drawn from the seed and the pair's index by a
// generator of our own, so every machine draws the same), and which pairs
// belong to a shard.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "error.h"
#include "stats.h"

struct PlayerEntry {
  std::string label;
  std::string file;   // absolute
  int32_t param = 0;  // the player's Param (the referee's /P)
};

// The most pairs per pairing of a test run without a cap.
constexpr int kUncappedPairs = 100000000;

struct TournamentSettings {
  std::vector<PlayerEntry> players;
  std::string format = "round-robin";  // or "gauntlet"
  int pairs = 100;                     // per pairing; 0: no cap (a sequential test)
  int holes = 6, bones = 6, max_turns = 300;
  int random_openings = -1;      // moves asked for, -1: the depth is chosen (auto)
  int opening_depth = 2;         // moves played when openings_file is empty
  int64_t opening_distinct = 0;  // distinct openings of that depth (see openings_space.h)
  uint64_t seed = 1;
  std::string openings_file;                    // absolute, or empty
  std::vector<std::vector<int>> opening_lines;  // the file's openings
  std::optional<SprtBounds> sprt;
  int shard = 1, shards = 1;  // play the shard-th of shards parts
  double move_time = 0;
  std::string time_control;  // BASE+INC for the referee; empty: none
  double time_margin = -1;   // for the referee; below 0: its default
  int memory_mb = 0;
  int max_faults = 10;
  bool sandbox = false;                  // the players confined (pitsow --sandbox)
  std::string sandbox_off;               // why not, when not
  std::vector<std::string> python_path;  // sandboxed: folders Python players may import from
};

// Player indexes [A, B] of each pairing: round robin (0,1),(0,2),...,(1,2)...
// or gauntlet (0,1),(0,2),...
std::vector<std::pair<int, int>> Pairings(const TournamentSettings& s);

// K random moves from the filled board, each a non-empty hole of the mover
// numbered on its own side; an opening that ends the round is drawn again.
// Empty when K is 0; nullopt when no such opening turns up.
std::optional<std::vector<int>> RandomOpening(int holes, int bones, int moves, uint64_t seed,
                                              int pair);

// Plays an opening from the filled board; an error when it names an empty
// or missing hole or ends the round.
std::optional<Error> CheckOpening(int holes, int bones, const std::vector<int>& opening);

// The opening of pair `pair`, the same in every pairing: from the file, or
// the seed's order of every opening of opening_depth moves, so that no
// opening comes twice before all have come (drawn at random when there are
// too many to list).
std::vector<int> OpeningOf(const TournamentSettings& s, int pair);

// Whether pair `pair` of pairing `pairing` is in this run's shard.
bool InShard(const TournamentSettings& s, int pairing, int pair);

// One round of the schedule: pairing, pair, seat (0: A is player 1).
struct Slot {
  int pairing = 0, pair = 0, seat = 0;
  bool operator<(const Slot& o) const {
    return pairing != o.pairing ? pairing < o.pairing
           : pair != o.pair     ? pair < o.pair
                                : seat < o.seat;
  }
  bool operator==(const Slot& o) const = default;
};
