// The texts of pitsow-solve, from the tables of the endgame library.
#include "solve.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace {

std::string Signed(int value) { return (value > 0 ? "+" : "") + std::to_string(value); }

std::string Sized(uint64_t bytes) {
  char text[32];
  if (bytes >= (1u << 20))
    std::snprintf(text, sizeof text, "%.1f MiB", static_cast<double>(bytes) / (1 << 20));
  else
    std::snprintf(text, sizeof text, "%.1f KiB", static_cast<double>(bytes) / 1024);
  return text;
}

std::string Who(int player, int margin) {
  if (margin == 0) return "a draw";
  const int winner = margin > 0 ? player : 3 - player;
  return "player " + std::to_string(winner) + " wins by " + std::to_string(std::abs(margin));
}

}  // namespace

Result<std::vector<int32_t>> ParseRow(const std::string& text) {
  std::vector<int32_t> row;
  size_t at = 0;
  while (at <= text.size()) {
    const size_t comma = std::min(text.find(',', at), text.size());
    const std::string part = text.substr(at, comma - at);
    if (part.empty() || part.size() > 3 ||
        part.find_first_not_of("0123456789") != std::string::npos)
      return Error{"a row is counts with commas between, like 0,2,1: not " + text};
    row.push_back(std::stoi(part));
    at = comma + 1;
  }
  if (row.empty() || row.size() > PS_MAX_HOLES) return Error{"a row has 1 to 6 holes: " + text};
  return row;
}

std::string DescribeStatus(const std::string& dir) {
  std::string text = "tables in " + dir + "\n";
  text += "holes  levels  positions      size on disk  problems\n";
  for (int holes = 1; holes <= PS_MAX_HOLES; ++holes) {
    const std::vector<LevelFile> files = ScanTables(dir, holes, PS_EG_MAX_LEVEL);
    int good = 0;
    uint64_t positions = 0, bytes = 0;
    std::string problems;
    for (const LevelFile& file : files) {
      bytes += file.bytes;
      if (file.status == PS_EG_OK && good == file.level) {
        ++good;
        positions += file.positions;
      } else if (file.status != PS_EG_MISSING && file.status != PS_EG_OK) {
        problems += (problems.empty() ? "" : "; ") + file.path + " " + PsEgStatusText(file.status);
      }
    }
    char line[160];
    std::snprintf(line, sizeof line, "%5d  %-6s  %12llu  %12s  ", holes,
                  good == 0 ? "none" : ("0-" + std::to_string(good - 1)).c_str(),
                  static_cast<unsigned long long>(positions), Sized(bytes).c_str());
    text += line + (problems.empty() ? "-" : problems) + "\n";
  }
  return text;
}

Result<std::string> DescribePosition(const std::string& dir, const PositionQuery& query) {
  const int holes = static_cast<int>(query.row1.size());
  if (holes < 1 || holes > PS_MAX_HOLES || query.row2.size() != query.row1.size())
    return Error{"the two rows must have the same number of holes, 1 to 6"};
  if (query.mover != 1 && query.mover != 2) return Error{"the mover must be 1 or 2"};
  Result<EndgameTables> tables = EndgameTables::Open(dir, holes);
  if (!tables) return tables.error();
  const std::vector<int32_t>& mine = query.mover == 1 ? query.row1 : query.row2;
  const std::vector<int32_t>& theirs = query.mover == 1 ? query.row2 : query.row1;
  int level = 0;
  for (int i = 0; i < holes; ++i) level += mine[i] + theirs[i];
  Solution solution;
  std::string kind = "with perfect play", guess;
  if (level < tables->Levels()) {
    Result<Solution> solved = SolvePosition(*tables, mine.data(), theirs.data());
    if (!solved) return solved.error();
    solution = *solved;
  } else {
    Result<SearchedPosition> searched =
        SearchPosition(*tables, mine.data(), theirs.data(), query.depth);
    if (!searched) return searched.error();
    solution = Solution{searched->level, searched->value, searched->moves};
    kind = (searched->exact ? "exact by a search of depth " : "an estimate at depth ") +
           std::to_string(query.depth) + " (the tables reach " +
           std::to_string(tables->Levels() - 1) + " bones; a leaf above them counts no bone more)";
    if (!searched->exact) guess = " (an estimate)";
  }
  const int32_t my_store = query.mover == 1 ? query.store1 : query.store2;
  const int32_t opp_store = query.mover == 1 ? query.store2 : query.store1;
  std::string text = std::to_string(solution.level) + " bones on a board of " +
                     std::to_string(holes) + " holes, player " + std::to_string(query.mover) +
                     " to move\n";
  text += "value " + Signed(solution.value) + ": the bones player " + std::to_string(query.mover) +
          " still gets minus player " + std::to_string(3 - query.mover) + "'s, " + kind + "\n";
  text += "with the stores " + std::to_string(query.store1) + " : " + std::to_string(query.store2) +
          ": " + Who(query.mover, my_store - opp_store + solution.value) + guess + "\n";
  if (solution.moves.empty()) return text + "the round is over\n";
  text += "hole  move   value\n";
  std::string best;
  for (const MoveValue& move : solution.moves) {
    char line[64];
    std::snprintf(line, sizeof line, "%4d  %-5s  %5s%s\n", move.hole, move.pass ? "pass" : "sow",
                  Signed(move.value).c_str(), move.best ? "  best" : "");
    text += line;
    if (move.best) best += (best.empty() ? "" : " ") + std::to_string(move.hole);
  }
  return text + "best moves: " + best + "\n";
}

Result<StartResult> SolveStart(const EndgameTables& tables, int bones) {
  PsBoard board;
  if (bones < 0 || !PsSetUpBoard(&board, tables.Holes(), bones))
    return Error{"bones must not be negative"};
  Result<Solution> solution = SolveBoard(tables, board);
  if (!solution) return solution.error();
  StartResult result;
  result.value = solution->value;
  for (const MoveValue& move : solution->moves)
    if (move.best) result.best.push_back(move.hole);
  return result;
}

Result<std::string> DescribeStart(const std::string& dir, int holes, int bones) {
  Result<EndgameTables> tables = EndgameTables::Open(dir, holes);
  if (!tables) return tables.error();
  Result<StartResult> result = SolveStart(*tables, bones);
  if (!result) return result.error();
  std::string best;
  for (const int hole : result->best) best += (best.empty() ? "" : " ") + std::to_string(hole);
  return std::to_string(holes) + " holes of " + std::to_string(bones) +
         " bones: " + Who(1, result->value) + " with perfect play, the round played out" +
         "; best first moves: " + best + "\n";
}

std::string DescribeStarts(const std::string& dir) {
  std::string text = "holes  bones  bones in play  perfect play (played out)  best first moves\n";
  for (int holes = 1; holes <= PS_MAX_HOLES; ++holes) {
    Result<EndgameTables> tables = EndgameTables::Open(dir, holes);
    if (!tables) continue;
    for (int bones = 1; 2 * holes * bones < tables->Levels(); ++bones) {
      Result<StartResult> result = SolveStart(*tables, bones);
      if (!result) continue;
      const int total = 2 * holes * bones;
      std::string best;
      for (const int hole : result->best) best += (best.empty() ? "" : " ") + std::to_string(hole);
      char line[160];
      std::snprintf(line, sizeof line, "%5d  %5d  %13d  %-26s  %s\n", holes, bones, total,
                    Who(1, result->value).c_str(), best.c_str());
      text += line;
    }
  }
  return text;
}
