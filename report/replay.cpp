#include "replay.h"

#include "board.h"

namespace {

ReplayStep Snapshot(const Board& board, int holes, StepKind kind) {
  ReplayStep step;
  step.kind = kind;
  for (int p = 0; p < 2; ++p) {
    step.row[p].assign(board.Holes[p + 1], board.Holes[p + 1] + holes);
    step.store[p] = board.Store[p + 1];
  }
  return step;
}

std::string Where(StepKind kind, size_t index) {
  return (kind == StepKind::Opening ? "opening move " : "move ") + std::to_string(index + 1);
}

}  // namespace

Replay ReplayRound(int holes, int bones, const std::vector<int>& opening,
                   const std::vector<std::array<int, 2>>& moves) {
  Replay out;
  if (holes < 1 || holes > PS_MAX_HOLES || bones < 0) {
    out.error = "a board of " + std::to_string(holes) + " holes of " + std::to_string(bones) +
                " bones cannot be played";
    return out;
  }
  Board board;
  ResetBoard(board, holes, bones);
  out.steps.push_back(Snapshot(board, holes, StepKind::Start));

  // Plays one move of `player` on `hole`; false with error set when the
  // rules do not allow it.
  auto play = [&](StepKind kind, size_t index, int player, int hole) {
    const std::string where = Where(kind, index);
    if (board.GameOver) {
      out.error = where + " comes after the round was decided";
      return false;
    }
    if (player != board.CurPlayer) {
      out.error = where + " is player " + std::to_string(player) + "'s, but player " +
                  std::to_string(board.CurPlayer) + " is to move";
      return false;
    }
    if (hole < 1 || hole > holes) {
      out.error = where + " names hole " + std::to_string(hole) + " of " + std::to_string(holes);
      return false;
    }
    const int opp = 3 - player;
    const bool pass = board.Holes[player][hole - 1] == 0;
    const SowResult sown =
        Sow(board.Holes[player], board.Holes[opp], board.Store[player], holes, hole);
    board.GameOver = CheckGame(board, bones);
    ++board.TurnCount;
    if (!sown.ExtraMove) board.CurPlayer = opp;

    ReplayStep step = Snapshot(board, holes, kind);
    step.player = player;
    step.hole = hole;
    step.pass = pass;
    step.extra = sown.ExtraMove;
    step.captured = sown.Captured;
    step.over = board.GameOver;
    out.steps.push_back(std::move(step));
    return true;
  };

  for (size_t i = 0; i < opening.size(); ++i) {
    if (!play(StepKind::Opening, i, board.CurPlayer, opening[i])) return out;
  }
  for (size_t i = 0; i < moves.size(); ++i) {
    if (!play(StepKind::Move, i, moves[i][0], moves[i][1])) return out;
  }

  const std::array<int64_t, 2> before = {board.Store[1], board.Store[2]};
  EndRound(board);
  if (board.Store[1] != before[0] || board.Store[2] != before[1]) {
    // The sweep leaves the holes as they were; show them emptied into the stores.
    ReplayStep step = Snapshot(board, holes, StepKind::Sweep);
    for (auto& row : step.row) row.assign(holes, 0);
    step.over = true;
    out.steps.push_back(std::move(step));
  }
  return out;
}
