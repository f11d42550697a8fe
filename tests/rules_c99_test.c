/* The rules header compiles as strict C99 and plays there as in C++: the
   move-generator count of the filled board of 6 holes and 4 bones. The
   endgame tables' reader compiles there too and ranks as it should. */
#include <stdio.h>

#include "pitsow/endgame.h"

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
  {
    PsEgTables tables;
    const int32_t last[12] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 20};
    const int32_t first[12] = {20, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    PsEgInit(&tables, 6);
    if (PsEgCount(&tables, 20) != 84672315u || PsEgRank(&tables, last, 20) != 0 ||
        PsEgRank(&tables, first, 20) != 84672314u) {
      fprintf(stderr, "the ranks of level 20 are wrong\n");
      return 1;
    }
  }
  return 0;
}
