// A position above the tables' reach: a search of fixed depth over the
// rules, with the tables' values at its covered leaves. It values a pass
// answered by a pass as 0, as the tables do (the exchange can go on for
// ever), so where every leaf is covered the value is the tables' own.
#include <algorithm>

#include "endgame.h"

namespace {

constexpr int kInfinity = 1 << 20;  // beyond every value

struct Searcher {
  const PsEgTables& raw;
  bool exact = true;

  // The mover's value of its rows to come, within (alpha, beta) as
  // alpha-beta does: exact inside the window, a bound outside it.
  int Search(const int32_t* mine, const int32_t* theirs, int depth, bool after_pass, int alpha,
             int beta) {
    int level = 0;
    for (int i = 0; i < raw.Holes; ++i) level += mine[i] + theirs[i];
    if (level < raw.Levels) return PsEgValue(&raw, mine, theirs);
    if (depth == 0) {
      exact = false;  // the heuristic: no bone more for either side
      return 0;
    }
    int best = -kInfinity;
    bool passed = false;
    for (int hole = 1; hole <= raw.Holes && best < beta; ++hole) {
      const bool pass = mine[hole - 1] == 0;
      if (pass && passed) continue;  // every pass leads to the same position
      passed = passed || pass;
      const int value = pass && after_pass ? 0 : Move(mine, theirs, hole, depth, alpha, beta);
      best = std::max(best, value);
      alpha = std::max(alpha, value);
    }
    return best;
  }

  // Playing hole: what it banks plus the value of what follows.
  int Move(const int32_t* mine, const int32_t* theirs, int hole, int depth, int alpha, int beta) {
    PsBoard board{};
    board.NumHoles = raw.Holes;
    board.NumBones = PS_MAX_BONES;  // played out: no majority end
    for (int i = 0; i < raw.Holes; ++i) {
      board.Holes[0][i] = mine[i];
      board.Holes[1][i] = theirs[i];
    }
    board.Mover = 1;
    const bool pass = mine[hole - 1] == 0;
    PsPlayMove(&board, hole, nullptr);
    const int gain = board.Stores[0] - board.Stores[1];
    if (board.RoundOver) return gain;
    if (board.Mover == 1)
      return gain +
             Search(board.Holes[0], board.Holes[1], depth - 1, false, alpha - gain, beta - gain);
    return gain -
           Search(board.Holes[1], board.Holes[0], depth - 1, pass, gain - beta, gain - alpha);
  }
};

}  // namespace

Result<SearchedPosition> SearchPosition(const EndgameTables& tables, const int32_t* my_holes,
                                        const int32_t* opp_holes, int depth) {
  const PsEgTables& raw = tables.Raw();
  if (depth < 1 || depth > kMaxSearchDepth)
    return Error{"the depth of a search is 1 to " + std::to_string(kMaxSearchDepth)};
  SearchedPosition found;
  found.depth = depth;
  for (int i = 0; i < raw.Holes; ++i) {
    if (my_holes[i] < 0 || opp_holes[i] < 0) return Error{"a hole holds a negative count"};
    found.level += my_holes[i] + opp_holes[i];
  }
  const int mine = PsRowBones(my_holes, raw.Holes), theirs = PsRowBones(opp_holes, raw.Holes);
  if (mine == 0 || theirs == 0) {  // the round is over: the sweep
    found.value = mine - theirs;
    found.exact = true;
    return found;
  }
  Searcher searcher{raw};
  found.value = -kInfinity;
  for (int hole = 1; hole <= raw.Holes; ++hole) {
    MoveValue move;
    move.hole = hole;
    move.pass = my_holes[hole - 1] == 0;
    move.value = searcher.Move(my_holes, opp_holes, hole, depth, -kInfinity, kInfinity);
    found.value = std::max(found.value, move.value);
    found.moves.push_back(move);
  }
  // A pass that only ties a winning value can be answered by a pass, worth
  // 0: as with the tables, it is not a best move then.
  const bool opp_can_pass = PsEgCanPass(opp_holes, raw.Holes) != 0;
  for (MoveValue& move : found.moves)
    move.best = move.value == found.value && (!move.pass || found.value <= 0 || !opp_can_pass);
  found.exact = searcher.exact;
  return found;
}
