#include "board.h"

#include <algorithm>

void ResetBoard(PsBoard& board, int32_t holes, int32_t bones) {
  if (PsSetUpBoard(&board, holes, bones)) return;
  board = PsBoard{};
  board.NumHoles = std::clamp(holes, 1, int32_t{PS_MAX_HOLES});
  board.NumBones = bones;
  board.Mover = 1;
}
