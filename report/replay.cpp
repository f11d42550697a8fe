#include "replay.h"

#include "error.h"
#include "pitsow/rules.h"

namespace {

ReplayStep Snapshot(const PsBoard& board, StepKind kind) {
  ReplayStep step;
  step.kind = kind;
  for (int p = 0; p < 2; ++p) {
    step.row[p].assign(board.Holes[p], board.Holes[p] + board.NumHoles);
    step.store[p] = board.Stores[p];
  }
  return step;
}

std::string Where(StepKind kind, size_t index) {
  return (kind == StepKind::Opening ? "opening move " : "move ") + std::to_string(index + 1);
}

// Why the rules do not let `player` play `hole` on board, or nullopt.
std::optional<Error> Refusal(const PsBoard& board, const std::string& where, int player, int hole) {
  if (board.RoundOver) return Error{where + " comes after the round was decided"};
  if (player != board.Mover)
    return Error{where + " is player " + std::to_string(player) + "'s, but player " +
                 std::to_string(board.Mover) + " is to move"};
  if (hole < 1 || hole > board.NumHoles)
    return Error{where + " names hole " + std::to_string(hole) + " of " +
                 std::to_string(board.NumHoles)};
  return std::nullopt;
}

// Plays one step on board and adds it to out's steps; why not when the
// rules do not allow it.
std::optional<Error> PlayStep(PsBoard& board, Replay& out, StepKind kind, size_t index, int player,
                              int hole) {
  if (auto refused = Refusal(board, Where(kind, index), player, hole)) return refused;
  const bool pass = board.Holes[player - 1][hole - 1] == 0;
  PsSowing sown{};
  PsPlayMoveUnswept(&board, hole, &sown);  // the sweep is a step of its own
  ReplayStep step = Snapshot(board, kind);
  step.player = player;
  step.hole = hole;
  step.pass = pass;
  step.extra = sown.ExtraMove != 0;
  step.captured = sown.Captured;
  step.over = board.RoundOver != 0;
  out.steps.push_back(std::move(step));
  return std::nullopt;
}

}  // namespace

Replay ReplayRound(int holes, int bones, const std::vector<int>& opening,
                   const std::vector<std::array<int, 2>>& moves) {
  Replay out;
  PsBoard board{};
  if (!PsSetUpBoard(&board, holes, bones)) {
    out.error = Error{"a board of " + std::to_string(holes) + " holes of " + std::to_string(bones) +
                      " bones cannot be played"};
    return out;
  }
  out.steps.push_back(Snapshot(board, StepKind::Start));
  for (size_t i = 0; i < opening.size(); ++i) {
    out.error = PlayStep(board, out, StepKind::Opening, i, board.Mover, opening[i]);
    if (out.error) return out;
  }
  for (size_t i = 0; i < moves.size(); ++i) {
    out.error = PlayStep(board, out, StepKind::Move, i, moves[i][0], moves[i][1]);
    if (out.error) return out;
  }

  const std::array<int64_t, 2> before = {board.Stores[0], board.Stores[1]};
  PsSweep(&board);
  if (board.Stores[0] != before[0] || board.Stores[1] != before[1]) {
    // The sweep leaves the holes as they were; show them emptied into the stores.
    ReplayStep step = Snapshot(board, StepKind::Sweep);
    for (auto& row : step.row) row.assign(static_cast<size_t>(holes), 0);
    step.over = true;
    out.steps.push_back(std::move(step));
  }
  return out;
}
