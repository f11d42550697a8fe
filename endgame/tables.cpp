// Finding, checking and reading the tables: the cache folder, the mapped
// tables of one width, the status of each file, and one position solved
// with every move's value.
#include <sys/stat.h>

#include <cstdlib>
#include <utility>

#include "endgame.h"

Result<std::string> EndgameCacheDir() {
  char path[PS_EG_PATH_SIZE];
  if (!PsEgCacheDir(path, sizeof path))
    return Error{"no cache folder: neither XDG_CACHE_HOME nor HOME is set"};
  return std::string(path);
}

EndgameTables::EndgameTables(EndgameTables&& other) noexcept
    : tables_(other.tables_), dir_(std::move(other.dir_)) {
  PsEgInit(&other.tables_, 1);
}

EndgameTables& EndgameTables::operator=(EndgameTables&& other) noexcept {
  if (this != &other) {
    PsEgClose(&tables_);
    tables_ = other.tables_;
    dir_ = std::move(other.dir_);
    PsEgInit(&other.tables_, 1);
  }
  return *this;
}

Result<EndgameTables> EndgameTables::Open(const std::string& dir, int holes, int max_level) {
  if (holes < 1 || holes > PS_MAX_HOLES)
    return Error{"holes must be 1 to 6, not " + std::to_string(holes)};
  EndgameTables tables;
  tables.dir_ = dir;
  const PsEgStatus status = PsEgOpen(&tables.tables_, dir.c_str(), holes, max_level);
  const int stop = tables.tables_.Levels;
  if (status != PS_EG_OK && status != PS_EG_MISSING) {
    char path[PS_EG_PATH_SIZE];
    PsEgLevelPath(path, sizeof path, dir.c_str(), holes, stop);
    return Error{std::string("the table ") + path + " is " + PsEgStatusText(status) +
                 "; pitsow-solve build --holes " + std::to_string(holes) + " rebuilds it"};
  }
  if (stop == 0)
    return Error{"no endgame tables for " + std::to_string(holes) + " holes in " + dir +
                 "; build them with: pitsow-solve build --holes " + std::to_string(holes)};
  return tables;
}

std::vector<LevelFile> ScanTables(const std::string& dir, int holes, int max_level) {
  std::vector<LevelFile> files;
  PsEgTables tables;
  PsEgInit(&tables, holes);
  for (int level = 0; level <= std::min(max_level, PS_EG_MAX_LEVEL); ++level) {
    char path[PS_EG_PATH_SIZE];
    LevelFile file{holes, level, "", PsEgCount(&tables, level), 0, PS_EG_MISSING};
    if (PsEgLevelPath(path, sizeof path, dir.c_str(), holes, level)) file.path = path;
    struct stat info {};
    if (stat(file.path.c_str(), &info) == 0) file.bytes = static_cast<uint64_t>(info.st_size);
    file.status = PsEgMapLevel(&tables, dir.c_str(), level);
    files.push_back(file);
    if (file.status == PS_EG_MISSING) break;
  }
  PsEgClose(&tables);
  return files;
}

Result<Solution> SolvePosition(const EndgameTables& tables, const int32_t* my_holes,
                               const int32_t* opp_holes) {
  const PsEgTables& raw = tables.Raw();
  Solution solution;
  for (int i = 0; i < raw.Holes; ++i) {
    if (my_holes[i] < 0 || opp_holes[i] < 0) return Error{"a hole holds a negative count"};
    solution.level += my_holes[i] + opp_holes[i];
  }
  if (solution.level >= raw.Levels)
    return Error{std::to_string(solution.level) + " bones on the board: the tables of " +
                 std::to_string(raw.Holes) + " holes reach " + std::to_string(raw.Levels - 1)};
  solution.value = PsEgValue(&raw, my_holes, opp_holes);
  const bool over = PsRowBones(my_holes, raw.Holes) == 0 || PsRowBones(opp_holes, raw.Holes) == 0;
  if (over) return solution;  // the round is over: no moves, the value is the sweep
  for (int hole = 1; hole <= raw.Holes; ++hole) {
    MoveValue move;
    move.hole = hole;
    move.pass = my_holes[hole - 1] == 0;
    move.value = PsEgMoveValue(&raw, my_holes, opp_holes, hole);
    move.best = PsEgIsBestMove(&raw, my_holes, opp_holes, hole, solution.value) != 0;
    solution.moves.push_back(move);
  }
  return solution;
}

Result<Solution> SolveBoard(const EndgameTables& tables, const PsBoard& board) {
  if (board.NumHoles != tables.Holes())
    return Error{"a board of " + std::to_string(board.NumHoles) + " holes, tables of " +
                 std::to_string(tables.Holes())};
  if (board.Mover != 1 && board.Mover != 2) return Error{"the mover must be 1 or 2"};
  if (board.RoundOver) return Error{"the round is over"};
  const int mine = board.Mover - 1;
  return SolvePosition(tables, board.Holes[mine], board.Holes[1 - mine]);
}
