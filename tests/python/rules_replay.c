/*
 * The rules header's answer to a game move by move, for the Python
 * module's test: each input line is "holes bones hole hole ...", each
 * output line the board after one move, "row1 | row2 | store1 store2 |
 * mover over | extra capture", and "end winner" after each game.
 */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "pitsow/rules.h"

static void PrintRow(const int32_t *row, int32_t holes) {
  int32_t i;
  for (i = 0; i < holes; ++i) printf("%d ", row[i]);
  printf("| ");
}

int main(void) {
  static char line[1 << 16];
  while (fgets(line, sizeof line, stdin) != NULL) {
    char *p = line, *end;
    const long holes = strtol(p, &end, 10);
    const long bones = strtol(end, &p, 10);
    PsBoard board;
    if (!PsSetUpBoard(&board, (int32_t)holes, (int32_t)bones)) return 1;
    for (;;) {
      PsSowing sowing;
      const long hole = strtol(p, &end, 10);
      if (end == p) break;
      p = end;
      if (!PsPlayMove(&board, (int32_t)hole, &sowing)) return 1;
      PrintRow(board.Holes[0], board.NumHoles);
      PrintRow(board.Holes[1], board.NumHoles);
      printf("%d %d | %d %d | %d %d\n", board.Stores[0], board.Stores[1], board.Mover,
             board.RoundOver, sowing.ExtraMove, sowing.Captured);
    }
    printf("end %d\n", PsWinner(&board));
  }
  return 0;
}
