/*
 * Minimax: an alpha-beta player built on the rules header.
 *
 * Each PsGetTurn rebuilds the board from the rows it is given (so openings
 * and any earlier history do not matter) and searches the lines of play, an
 * extra move counting as a move of its own. A finished round scores its
 * result first and its margin second; an unfinished one scores the
 * difference of the stores.
 *
 * Parameter (/P=i:n): n > 0 searches exactly n moves deep. 0 or less (the
 * default) deepens one move at a time, best move first, until a search
 * would visit more than NODE_BUDGET positions, and plays the answer of the
 * deepest search finished. Both ways the answer depends on the position
 * alone, so the same position always gets the same answer.
 *
 * Built with PS_MINIMAX_TABLES (the library MinimaxTables), it reads the
 * endgame tables that pitsow-solve builds (pitsow/endgame.h) at PsInit:
 * a position they cover is played perfectly from them (a move that keeps
 * its value), and the search scores a covered position as the round's
 * played-out result instead of searching on. Without tables it plays as
 * Minimax.
 */
#include <limits.h>
#include <string.h>

#ifdef PS_MINIMAX_TABLES
#include "pitsow/endgame.h"
#else
#include "pitsow/rules.h"
#endif

/* At most about 10 ms of search per move (4 ms typical) on one 2.6 GHz core. */
#define NODE_BUDGET 100000L
#define MAX_DEPTH 40
/* A won round outweighs any margin of bones. */
#define WIN_SCORE ((int64_t)1 << 40)
#define INFINITE_SCORE (WIN_SCORE * 4)

static int32_t me = 1;    /* this player's number */
static int32_t Holes = 6; /* holes per side */
static int32_t bones = 6; /* bones per hole at the start */
static int fixed_depth;   /* from the parameter; 0: deepen within the budget */
static long nodes;        /* positions visited by the current search */
static long node_limit;   /* the search gives up beyond this many */
#ifdef PS_MINIMAX_TABLES
static PsEgTables tables; /* Levels 0 when none could be read */
#endif

static void CopyText(char *to, size_t room, const char *text) {
  strncpy(to, text, room - 1);
  to[room - 1] = 0;
}

PsBool PsInit(PsInfo *Info) {
  if (Info->Size < 32) return 0; /* the record is too short to tell the board */
  Info->CurrVer = Info->MaxVer >= 1 ? 1 : Info->MaxVer;
  me = Info->Player == 2 ? 2 : 1;
  Holes = Info->NumHoles < 1 ? 1 : Info->NumHoles > PS_MAX_HOLES ? PS_MAX_HOLES : Info->NumHoles;
  bones = Info->NumBones;
  fixed_depth = Info->Param > 0 ? (Info->Param > MAX_DEPTH ? MAX_DEPTH : Info->Param) : 0;
#ifdef PS_MINIMAX_TABLES
  {
    char dir[PS_EG_PATH_SIZE];
    PsEgClose(&tables);
    PsEgInit(&tables, Holes);
    if (PsEgCacheDir(dir, sizeof dir)) PsEgOpen(&tables, dir, Holes, PS_EG_MAX_LEVEL);
  }
  if (Info->Size >= PS_INFO_SIZE) {
    CopyText(Info->name, sizeof Info->name, "MinimaxTables");
    CopyText(Info->creator, sizeof Info->creator, "Pitsow examples");
    CopyText(Info->description, sizeof Info->description,
             "Alpha-beta search with the endgame tables at its leaves; perfect inside them");
  }
#else
  if (Info->Size >= PS_INFO_SIZE) {
    CopyText(Info->name, sizeof Info->name, "Minimax");
    CopyText(Info->creator, sizeof Info->creator, "Pitsow examples");
    CopyText(Info->description, sizeof Info->description,
             "Alpha-beta search over the rules header; depth from the parameter");
  }
#endif
  return 1;
}

/* The worth of a finished round with this margin. */
static int64_t Finished(int64_t margin) {
  return margin > 0 ? WIN_SCORE + margin : margin < 0 ? -WIN_SCORE + margin : 0;
}

/* The board's worth for this player. */
static int64_t Score(const PsBoard *board) {
  const int64_t margin = (int64_t)board->Stores[me - 1] - board->Stores[2 - me];
  if (!board->RoundOver) return margin;
  return Finished(margin);
}

#ifdef PS_MINIMAX_TABLES
/* Whether the tables cover the board; then *score is its played-out worth
   (the majority end never changes the winner). */
static int Covered(const PsBoard *board, int64_t *score) {
  const int mover = board->Mover - 1;
  int value;
  if (tables.Levels == 0 || board->RoundOver) return 0;
  value = PsEgValue(&tables, board->Holes[mover], board->Holes[1 - mover]);
  if (value == PS_EG_UNKNOWN) return 0;
  *score = Finished((int64_t)board->Stores[me - 1] - board->Stores[2 - me] +
                    (board->Mover == me ? value : -value));
  return 1;
}

/* A move that keeps the value of a covered board, or 0. */
static int32_t TableMove(const PsBoard *board) {
  const int mover = board->Mover - 1;
  const int32_t *mine = board->Holes[mover], *theirs = board->Holes[1 - mover];
  const int value = tables.Levels > 0 ? PsEgValue(&tables, mine, theirs) : PS_EG_UNKNOWN;
  int32_t hole;
  if (value == PS_EG_UNKNOWN) return 0;
  for (hole = board->NumHoles; hole >= 1; --hole)
    if (PsEgIsBestMove(&tables, mine, theirs, hole, value)) return hole;
  return 0;
}
#endif

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

/* The value of the board searched depth moves deep; 0 once over budget. */
static int64_t Search(const PsBoard *board, int depth, int64_t alpha, int64_t beta) {
  int32_t moves[PS_MAX_HOLES];
  const int count = depth > 0 ? OrderedMoves(board, moves) : 0;
  const int maximising = board->Mover == me;
  int i;
  if (++nodes > node_limit) return 0;
#ifdef PS_MINIMAX_TABLES
  {
    int64_t exact;
    if (Covered(board, &exact)) return exact;
  }
#endif
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

/*
 * Searches each root move depth moves deep, the moves in the order given;
 * puts the best first and answers its value. Answers 0 when over budget.
 */
static int SearchRoot(const PsBoard *board, int32_t *moves, int count, int depth,
                      int64_t *best_value) {
  int64_t best = -INFINITE_SCORE;
  int best_index = 0, i;
  for (i = 0; i < count; ++i) {
    PsBoard next = *board;
    int64_t value;
    PsPlayMove(&next, moves[i], NULL);
    value = Search(&next, depth - 1, best, INFINITE_SCORE);
    if (nodes > node_limit) return 0;
    if (value > best) {
      best = value;
      best_index = i;
    }
  }
  if (best_index > 0) {
    const int32_t move = moves[best_index];
    memmove(moves + 1, moves, (size_t)best_index * sizeof *moves);
    moves[0] = move;
  }
  *best_value = best;
  return 1;
}

int32_t PsGetTurn(const HoleRow MyHoles, const HoleRow OppHoles, int32_t MyStore,
                  int32_t OppStore) {
  PsBoard board;
  int32_t moves[PS_MAX_HOLES];
  int64_t value = 0;
  int count, depth;
  PsBoardFromTurn(&board, Holes, bones, me, MyHoles, OppHoles, MyStore, OppStore);
  board.RoundOver = 0; /* the referee asks only while the round goes on */
  count = OrderedMoves(&board, moves);
  if (count == 0) return 1; /* no bones at all: any hole is an accepted pass */
#ifdef PS_MINIMAX_TABLES
  {
    const int32_t perfect = TableMove(&board);
    if (perfect) return perfect;
  }
#endif
  if (count == 1) return moves[0];
  nodes = 0;
  if (fixed_depth > 0) {
    node_limit = LONG_MAX;
    SearchRoot(&board, moves, count, fixed_depth, &value);
    return moves[0];
  }
  /* Deepen while the budget lasts; a search cut short leaves the order of
     the last finished one. A won round needs no deeper look. Against a
     round lost to perfect play, the move of the shallower search, which
     did not yet see the loss, keeps the most chances against a weaker
     opponent. */
  node_limit = NODE_BUDGET;
  for (depth = 1; depth <= MAX_DEPTH; ++depth) {
    const int32_t shallower = moves[0];
    if (!SearchRoot(&board, moves, count, depth, &value)) break;
    if (value >= WIN_SCORE) break;
    if (value <= -WIN_SCORE) return depth > 1 ? shallower : moves[0];
  }
  return moves[0];
}

void PsOppTurn(int32_t Hole) { (void)Hole; }

void PsEndRound(int32_t My, int32_t Opp, int32_t Turns) { (void)My, (void)Opp, (void)Turns; }

void PsDone(void) {
#ifdef PS_MINIMAX_TABLES
  PsEgClose(&tables);
#endif
}
