/*
 * The rules of Pitsow for players: the board of a round and the moves on it,
 * exactly as the referee plays them. Header only, C99 and C++, no
 * allocation, no global state; every function is static inline.
 *
 *   #include <pitsow/rules.h>
 *
 * The board. Each player has a row of NumHoles holes (1 to 6) and a store.
 * Hole i of one row faces hole NumHoles + 1 - i of the other. A move takes
 * every bone out of one of the mover's holes and sows them one by one into
 * the following holes of the mover's row, the mover's store, the opponent's
 * row from its hole 1 to its hole NumHoles, and round again from the mover's
 * hole 1, never into the opponent's store. Whole laps are added at once, so
 * a move costs O(NumHoles) however many bones are in hand.
 *
 *   - Extra move: the last bone falls into the mover's store; the same
 *     player moves again (unless the round is over).
 *   - Capture: the last bone falls into an empty hole of the mover's own row
 *     and the facing hole holds bones; both holes go to the mover's store.
 *   - Pass: a move on an empty hole sows nothing; the opponent moves next.
 *   - End of round: after a move, a store holds more than NumHoles x
 *     NumBones bones (half of all bones), or a row is empty.
 *   - Sweep: when the round ends with a row empty, the bones left in the
 *     other row go to that row's owner. The larger store wins.
 *
 * A player rebuilds the board from its PsGetTurn arguments each time it is
 * asked (PsBoardFromTurn), then searches with PsSowingMoves and PsPlayMove on
 * copies: a PsBoard is a plain value of 72 bytes.
 */
#ifndef PITSOW_RULES_H
#define PITSOW_RULES_H

#include <stdint.h>

#include "../PsComm.h"

#ifdef __cplusplus
extern "C" {
#endif

/* The most bones per hole the referee accepts: 2 x 6 x this fits an int32. */
#define PS_MAX_BONES 178956970

/* One round's board. Player p (1 or 2) owns Holes[p - 1] and Stores[p - 1]. */
typedef struct PsBoard {
  int32_t NumHoles;  /* holes per side in play, 1 to 6 */
  int32_t NumBones;  /* bones per hole at the start of the round */
  HoleRow Holes[2];  /* hole i of player p's row is Holes[p - 1][i - 1] */
  int32_t Stores[2]; /* bones in each player's store */
  int32_t Mover;     /* the player to move, 1 or 2 */
  int32_t RoundOver; /* nonzero once the round has ended */
} PsBoard;

/* What one sowing did. */
typedef struct PsSowing {
  int32_t ExtraMove; /* nonzero: the last bone fell into the mover's store */
  int32_t Captured;  /* the mover's hole where the last bone captured, or 0 */
} PsSowing;

/* Bones in holes 1 to numHoles of a row. */
static inline int64_t PsRowBones(const int32_t *row, int32_t numHoles) {
  int64_t sum = 0;
  int32_t i;
  for (i = 0; i < numHoles; ++i) sum += row[i];
  return sum;
}

/*
 * Sets up the board at the start of a round: numBones in holes 1 to
 * numHoles of both rows, 0 in the slots above and in the stores, player 1
 * to move. Answers 0 (and leaves the board alone) when numHoles is outside
 * 1..6 or numBones outside 0..PS_MAX_BONES, 1 otherwise.
 */
static inline int PsSetUpBoard(PsBoard *board, int32_t numHoles, int32_t numBones) {
  int p, i;
  if (numHoles < 1 || numHoles > PS_MAX_HOLES || numBones < 0 || numBones > PS_MAX_BONES) return 0;
  board->NumHoles = numHoles;
  board->NumBones = numBones;
  for (p = 0; p < 2; ++p) {
    for (i = 0; i < PS_MAX_HOLES; ++i) board->Holes[p][i] = i < numHoles ? numBones : 0;
    board->Stores[p] = 0;
  }
  board->Mover = 1;
  board->RoundOver = 0;
  return 1;
}

/*
 * The end-of-round test on the two rows and stores of a board of numHoles
 * and numBones (in either player's order): a store holds more than half of
 * all bones, or a row is empty.
 */
static inline int PsRoundEnds(const int32_t *row1, const int32_t *row2, int32_t store1,
                              int32_t store2, int32_t numHoles, int32_t numBones) {
  const int64_t half = (int64_t)numHoles * numBones;
  if (store1 > half || store2 > half) return 1;
  return PsRowBones(row1, numHoles) == 0 || PsRowBones(row2, numHoles) == 0;
}

/*
 * The majority rule alone: 1 or 2 for the player whose store holds more
 * than half of all bones (NumHoles x NumBones), 0 when neither does. A
 * round can end by it with bones left on both sides, which no sweep takes.
 */
static inline int PsMajority(const PsBoard *board) {
  const int64_t half = (int64_t)board->NumHoles * board->NumBones;
  return board->Stores[0] > half ? 1 : board->Stores[1] > half ? 2 : 0;
}

/* The end-of-round test, made after every move. */
static inline int PsIsRoundOver(const PsBoard *board) {
  return PsRoundEnds(board->Holes[0], board->Holes[1], board->Stores[0], board->Stores[1],
                     board->NumHoles, board->NumBones);
}

/*
 * Rebuilds the board from what PsGetTurn receives: me is the asking player's
 * number (PsInfo's Player), numHoles and numBones the match's settings.
 * The asking player is the mover. Take the board from these rows on every
 * call: with openings the referee does not start every round from the
 * filled board.
 */
static inline void PsBoardFromTurn(PsBoard *board, int32_t numHoles, int32_t numBones, int32_t me,
                                   const HoleRow MyHoles, const HoleRow OppHoles, int32_t MyStore,
                                   int32_t OppStore) {
  const int mine = me == 2 ? 1 : 0;
  int i;
  board->NumHoles = numHoles < 1 ? 1 : numHoles > PS_MAX_HOLES ? PS_MAX_HOLES : numHoles;
  board->NumBones = numBones;
  for (i = 0; i < PS_MAX_HOLES; ++i) {
    board->Holes[mine][i] = MyHoles[i];
    board->Holes[1 - mine][i] = OppHoles[i];
  }
  board->Stores[mine] = MyStore;
  board->Stores[1 - mine] = OppStore;
  board->Mover = mine + 1;
  board->RoundOver = PsIsRoundOver(board);
}

/*
 * The sowing moves of the player to move: its non-empty holes, in rising
 * order, written to moves. Answers how many (0 once the round is over).
 */
static inline int PsSowingMoves(const PsBoard *board, int32_t moves[PS_MAX_HOLES]) {
  const int32_t *row = board->Holes[board->Mover - 1];
  int count = 0;
  int32_t i;
  if (board->RoundOver) return 0;
  for (i = 0; i < board->NumHoles; ++i)
    if (row[i] > 0) moves[count++] = i + 1;
  return count;
}

/*
 * Adds v bones to each of the places from..to of a lap. A lap passes
 * 2 x numHoles + 1 places: the mover's holes 1..n (places 0..n-1), the
 * mover's store (place n), the opponent's holes 1..n (places n+1..2n).
 */
static inline void PsAddToLap(int32_t *myHoles, int32_t *oppHoles, int32_t *myStore,
                              int32_t numHoles, int32_t from, int32_t to, int32_t v) {
  int32_t place;
  for (place = from; place <= to; ++place) {
    if (place < numHoles)
      myHoles[place] += v;
    else if (place == numHoles)
      *myStore += v;
    else
      oppHoles[place - numHoles - 1] += v;
  }
}

/*
 * Sows hole (1..numHoles) of the mover's row with capture, on the mover's
 * view of the board: its row, the opponent's row and its store. An empty
 * hole sows nothing (a pass). The hole is not checked.
 */
static inline PsSowing PsSow(int32_t *myHoles, int32_t *oppHoles, int32_t *myStore,
                             int32_t numHoles, int32_t hole) {
  const int64_t lapLength = 2 * (int64_t)numHoles + 1;
  const int64_t firstLap = lapLength - hole;
  int64_t hand = myHoles[hole - 1];
  int32_t start = hole, last;
  PsSowing sowing;
  sowing.ExtraMove = 0;
  sowing.Captured = 0;
  myHoles[hole - 1] = 0;
  if (hand <= 0) return sowing;

  /* The first lap starts behind the emptied hole, later ones at hole 1 (so
     they pass over it too). Whole laps go in at once; the last, partial lap
     then holds 1 to a lap's worth of bones. */
  if (hand > firstLap) {
    int64_t fullLaps;
    PsAddToLap(myHoles, oppHoles, myStore, numHoles, hole, 2 * numHoles, 1);
    hand -= firstLap;
    fullLaps = (hand - 1) / lapLength;
    if (fullLaps > 0)
      PsAddToLap(myHoles, oppHoles, myStore, numHoles, 0, 2 * numHoles, (int32_t)fullLaps);
    hand -= fullLaps * lapLength;
    start = 0;
  }
  last = start + (int32_t)hand - 1;
  PsAddToLap(myHoles, oppHoles, myStore, numHoles, start, last, 1);

  if (last == numHoles) {
    sowing.ExtraMove = 1;
  } else if (last < numHoles && myHoles[last] == 1 && oppHoles[numHoles - 1 - last] > 0) {
    *myStore += oppHoles[numHoles - 1 - last] + 1;
    oppHoles[numHoles - 1 - last] = 0;
    myHoles[last] = 0;
    sowing.Captured = last + 1;
  }
  return sowing;
}

/*
 * After the last move of a round, on the two rows and their owners' stores:
 * when one row is empty, the bones left in the other row go to that row's
 * owner's store. The holes are not emptied.
 */
static inline void PsSweepRows(const int32_t *row1, const int32_t *row2, int32_t *store1,
                               int32_t *store2, int32_t numHoles) {
  const int64_t bones1 = PsRowBones(row1, numHoles);
  const int64_t bones2 = PsRowBones(row2, numHoles);
  if (bones1 == 0) *store2 += (int32_t)bones2;
  if (bones2 == 0) *store1 += (int32_t)bones1;
}

/* The sweep on a board whose round has ended. */
static inline void PsSweep(PsBoard *board) {
  PsSweepRows(board->Holes[0], board->Holes[1], &board->Stores[0], &board->Stores[1],
              board->NumHoles);
}

/*
 * Plays hole as PsPlayMove does but leaves the sweep of an ended round to
 * PsSweep, for a caller that shows the position before the sweep.
 */
static inline int PsPlayMoveUnswept(PsBoard *board, int32_t hole, PsSowing *sowing) {
  const int mine = board->Mover - 1;
  PsSowing done;
  if (board->RoundOver || hole < 1 || hole > board->NumHoles) return 0;
  done = PsSow(board->Holes[mine], board->Holes[1 - mine], &board->Stores[mine], board->NumHoles,
               hole);
  board->RoundOver = PsIsRoundOver(board);
  if (!board->RoundOver && !done.ExtraMove) board->Mover = 2 - mine;
  if (sowing) *sowing = done;
  return 1;
}

/*
 * Plays hole (1..NumHoles, an empty hole being a pass) for the player to
 * move: sows, captures, tests the end of the round and, when it has ended,
 * sweeps, so that the stores then hold the final score. The mover stays
 * after an extra move unless the round is over, and changes otherwise.
 * Answers 0 and changes nothing when the round is already over or the hole
 * is out of range (the referee would reject it), 1 otherwise. sowing, when
 * not NULL, receives what the sowing did.
 */
static inline int PsPlayMove(PsBoard *board, int32_t hole, PsSowing *sowing) {
  if (!PsPlayMoveUnswept(board, hole, sowing)) return 0;
  if (board->RoundOver) PsSweep(board);
  return 1;
}

/* The result by the stores: 1 or 2 for the player with more, 0 a draw. */
static inline int PsWinner(const PsBoard *board) {
  return board->Stores[0] > board->Stores[1] ? 1 : board->Stores[1] > board->Stores[0] ? 2 : 0;
}

#ifdef __cplusplus
}
#endif

#endif /* PITSOW_RULES_H */
