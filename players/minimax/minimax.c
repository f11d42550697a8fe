/*
 * Minimax: an alpha-beta player built on the rules header.
 *
 * Each PsGetTurn rebuilds the board from the rows it is given (so openings
 * and any earlier history do not matter) and searches every line of play a
 * fixed number of moves deep, an extra move counting as a move of its own.
 * A finished round scores its result first and its margin second; an
 * unfinished one scores the difference of the stores. The depth is the
 * player's parameter (/P=i:n); 0 or less takes the default depth.
 */
#include <string.h>

#include "pitsow/rules.h"

/* Answers within about 10 ms per move on a 2.6 GHz core, 6 holes of 6. */
#define DEFAULT_DEPTH 10
/* A won round outweighs any margin of bones. */
#define WIN_SCORE ((int64_t)1 << 40)

static int32_t Me = 1;    /* this player's number */
static int32_t Holes = 6; /* holes per side */
static int32_t Bones = 6; /* bones per hole at the start */
static int Depth = DEFAULT_DEPTH;

static void CopyText(char *to, size_t room, const char *text) {
  strncpy(to, text, room - 1);
  to[room - 1] = 0;
}

PsBool PsInit(PsInfo *Info) {
  if (Info->Size < 32) return 0; /* the record is too short to tell the board */
  Info->CurrVer = Info->MaxVer >= 1 ? 1 : Info->MaxVer;
  Me = Info->Player == 2 ? 2 : 1;
  Holes = Info->NumHoles < 1 ? 1 : Info->NumHoles > PS_MAX_HOLES ? PS_MAX_HOLES : Info->NumHoles;
  Bones = Info->NumBones;
  Depth = Info->Param > 0 ? (Info->Param > 40 ? 40 : Info->Param) : DEFAULT_DEPTH;
  if (Info->Size >= PS_INFO_SIZE) {
    CopyText(Info->name, sizeof Info->name, "Minimax");
    CopyText(Info->creator, sizeof Info->creator, "Pitsow examples");
    CopyText(Info->description, sizeof Info->description,
             "Alpha-beta search over the rules header; depth from the parameter");
  }
  return 1;
}

/* The board's worth for this player. */
static int64_t Score(const PsBoard *board) {
  const int64_t margin = (int64_t)board->Stores[Me - 1] - board->Stores[2 - Me];
  if (!board->RoundOver) return margin;
  return margin > 0 ? WIN_SCORE + margin : margin < 0 ? -WIN_SCORE + margin : 0;
}

/*
 * Orders the moves so that extra moves come first (the last bone of hole h
 * falls into the store when it holds NumHoles + 1 - h bones), then the
 * others from the store outwards.
 */
static int OrderedMoves(const PsBoard *board, int32_t moves[PS_MAX_HOLES]) {
  const int32_t *row = board->Holes[board->Mover - 1];
  int count = 0, pass;
  int32_t h;
  if (board->RoundOver) return 0;
  for (pass = 0; pass < 2; ++pass)
    for (h = board->NumHoles; h >= 1; --h) {
      const int extra = row[h - 1] == board->NumHoles + 1 - h;
      if (row[h - 1] > 0 && extra == (pass == 0)) moves[count++] = h;
    }
  return count;
}

static int64_t Search(const PsBoard *board, int depth, int64_t alpha, int64_t beta) {
  int32_t moves[PS_MAX_HOLES];
  const int count = depth > 0 ? OrderedMoves(board, moves) : 0;
  const int maximising = board->Mover == Me;
  int i;
  if (count == 0) return Score(board);
  for (i = 0; i < count; ++i) {
    PsBoard next = *board;
    int64_t value;
    PsPlayMove(&next, moves[i], NULL);
    value = Search(&next, depth - 1, alpha, beta);
    if (maximising) {
      if (value > alpha) alpha = value;
    } else if (value < beta) {
      beta = value;
    }
    if (alpha >= beta) break;
  }
  return maximising ? alpha : beta;
}

int32_t PsGetTurn(const HoleRow MyHoles, const HoleRow OppHoles, int32_t MyStore,
                  int32_t OppStore) {
  PsBoard board;
  int32_t moves[PS_MAX_HOLES];
  int32_t best;
  int64_t bestValue = -WIN_SCORE * 4;
  int count, i;
  PsBoardFromTurn(&board, Holes, Bones, Me, MyHoles, OppHoles, MyStore, OppStore);
  board.RoundOver = 0; /* the referee asks only while the round goes on */
  count = OrderedMoves(&board, moves);
  if (count == 0) return 1; /* no bones at all: any hole is an accepted pass */
  best = moves[0];
  for (i = 0; i < count; ++i) {
    PsBoard next = board;
    int64_t value;
    PsPlayMove(&next, moves[i], NULL);
    value = Search(&next, Depth - 1, bestValue, WIN_SCORE * 4);
    if (value > bestValue) {
      bestValue = value;
      best = moves[i];
    }
  }
  return best;
}

void PsOppTurn(int32_t Hole) { (void)Hole; }

void PsEndRound(int32_t My, int32_t Opp, int32_t Turns) { (void)My, (void)Opp, (void)Turns; }

void PsDone(void) {}
