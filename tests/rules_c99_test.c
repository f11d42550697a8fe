/* The rules header compiles as strict C99 and plays there as in C++: the
   move-generator count of the filled board of 6 holes and 4 bones. */
#include <stdio.h>

#include "pitsow/rules.h"

static uint64_t Count(const PsBoard *board, int depth) {
  int32_t moves[PS_MAX_HOLES];
  const int count = PsSowingMoves(board, moves);
  uint64_t leaves = 0;
  int i;
  if (depth == 1) return (uint64_t)count;
  for (i = 0; i < count; ++i) {
    PsBoard next = *board;
    PsPlayMove(&next, moves[i], NULL);
    leaves += next.RoundOver ? 1 : Count(&next, depth - 1);
  }
  return leaves;
}

int main(void) {
  PsBoard board;
  if (!PsSetUpBoard(&board, 6, 4)) return 1;
  if (Count(&board, 5) != 4690) {
    fprintf(stderr, "perft(5) is not 4690\n");
    return 1;
  }
  return 0;
}
