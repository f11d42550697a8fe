// The endgame tables: building them (every position of up to a number of
// bones on a board of 1 to 6 holes a side, solved bottom-up level by level
// on every core), finding and checking them in the cache folder, and the
// value and best moves of one position. The file format, the rank and the
// meaning of a value are those of interface/pitsow/endgame.h, which players
// read too; this library is the one writer.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "error.h"
#include "pitsow/endgame.h"

// The bones of the default tables: every width up to this level.
inline constexpr int kDefaultEndgameBones = 20;

// $XDG_CACHE_HOME/pitsow or ~/.cache/pitsow.
Result<std::string> EndgameCacheDir();

struct BuildOptions {
  std::string dir;  // where the files go (created if missing)
  int holes = 6;    // 1 to 6
  int max_level = kDefaultEndgameBones;
  int threads = 0;        // 0: every core
  bool progress = false;  // draw a progress bar on stderr
};

// What happened to one level: taken as it was, or built (and why).
struct LevelNote {
  int level = 0;
  bool built = false;
  std::string refused;  // the reason an existing file was not taken, or empty
};

// Builds every level of holes up to max_level that is missing or refused,
// bottom-up; a good file is kept. Each file is written under a temporary
// name and renamed, so a killed build leaves no file that reads as whole.
Result<std::vector<LevelNote>> BuildTables(const BuildOptions& options);

// One level's file as found in the folder.
struct LevelFile {
  int holes = 0;
  int level = 0;
  std::string path;
  uint64_t positions = 0;
  uint64_t bytes = 0;  // on disk, 0 when missing
  PsEgStatus status = PS_EG_MISSING;
};

// Every file of holes from level 0 up to the first missing one (that one
// included, so a caller sees where coverage stops), checked.
std::vector<LevelFile> ScanTables(const std::string& dir, int holes, int max_level);

// The mapped tables of one width; unmapped when it goes.
class EndgameTables {
 public:
  EndgameTables() { PsEgInit(&tables_, 1); }
  EndgameTables(const EndgameTables&) = delete;
  EndgameTables& operator=(const EndgameTables&) = delete;
  EndgameTables(EndgameTables&& other) noexcept;
  EndgameTables& operator=(EndgameTables&& other) noexcept;
  ~EndgameTables() { PsEgClose(&tables_); }

  // Maps levels 0.. of holes from dir while they are good. An error when a
  // file is refused (named, with the reason) or nothing at all is there.
  static Result<EndgameTables> Open(const std::string& dir, int holes,
                                    int max_level = PS_EG_MAX_LEVEL);

  int Holes() const { return tables_.Holes; }
  int Levels() const { return tables_.Levels; }  // levels 0 .. Levels() - 1
  const PsEgTables& Raw() const { return tables_; }
  const std::string& Dir() const { return dir_; }

 private:
  PsEgTables tables_;
  std::string dir_;
};

// One move of a solved position.
struct MoveValue {
  int hole = 0;
  bool pass = false;  // the hole is empty
  int value = 0;      // for the mover
  bool best = false;  // keeps the value (PsEgIsBestMove)
};

struct Solution {
  int level = 0;                 // bones on the board
  int value = 0;                 // for the mover: bones it still gets minus the opponent's
  std::vector<MoveValue> moves;  // every hole 1..holes, in order
};

// The position of the mover's and the opponent's holes.
Result<Solution> SolvePosition(const EndgameTables& tables, const int32_t* my_holes,
                               const int32_t* opp_holes);

// The board's position with its mover (the stores only matter to the
// caller: stores + value give the played-out result).
Result<Solution> SolveBoard(const EndgameTables& tables, const PsBoard& board);

// The depth of a search above the tables' reach: pitsow-solve's default,
// the report's (a whole 6x6 report stays within seconds), and the most.
inline constexpr int kDefaultSearchDepth = 8;
inline constexpr int kReportSearchDepth = 4;
inline constexpr int kMaxSearchDepth = 16;

// A position searched to a fixed depth: values for the mover as in a
// Solution, each move's from the search below it. A leaf the tables cover
// or that ends the round is exact; any other leaf at the depth counts no
// bone more for either side (the store difference stands), and then the
// result is an estimate at that depth.
struct SearchedPosition {
  int level = 0;
  int depth = 0;
  int value = 0;
  bool exact = false;  // no leaf was a guess: every value is perfect play's
  std::vector<MoveValue> moves;
};
Result<SearchedPosition> SearchPosition(const EndgameTables& tables, const int32_t* my_holes,
                                        const int32_t* opp_holes, int depth);
