#include "board.h"

#include <algorithm>

PsBoard RulesBoard(const Board& board, int32_t bones) {
  PsBoard rules{};
  rules.NumHoles = board.NumHoles;
  rules.NumBones = bones;
  for (int p = 0; p < 2; ++p) {
    for (int i = 0; i < PS_MAX_HOLES; ++i) rules.Holes[p][i] = board.Holes[p + 1][i];
    rules.Stores[p] = board.Store[p + 1];
  }
  rules.Mover = board.CurPlayer;
  rules.RoundOver = PsIsRoundOver(&rules);
  return rules;
}

void TakeRulesBoard(Board& board, const PsBoard& rules) {
  board.NumHoles = rules.NumHoles;
  for (int p = 0; p < 2; ++p) {
    for (int i = 0; i < PS_MAX_HOLES; ++i) board.Holes[p + 1][i] = rules.Holes[p][i];
    board.Store[p + 1] = rules.Stores[p];
  }
  board.CurPlayer = rules.Mover;
}

void ResetBoard(Board& board, int32_t holes, int32_t bones) {
  PsBoard filled{};
  filled.NumHoles = std::clamp(holes, 1, int32_t{PS_MAX_HOLES});  // kept if refused
  filled.Mover = 1;
  PsSetUpBoard(&filled, holes, bones);
  TakeRulesBoard(board, filled);
  board.GameOver = false;
  board.TurnCount = 0;
}
