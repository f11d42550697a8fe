/*
 * Starter: a Pitsow player in plain C to copy and improve.
 *
 * For each non-empty hole it plays the move out on a copy of the rows
 * (sowing, capture, extra move) and picks the move that earns another move,
 * or else the one that gains its store the most.
 *
 * Build it against the installed header and play it (for a prefix install,
 * set PATH and PKG_CONFIG_PATH as doc/guide/player-authors.md shows):
 *   cc -shared -fPIC -O2 $(pkg-config --cflags pitsow) -o Starter.so starter.c
 *   pitsow --player1=./Starter.so --player2=<prefix>/bin/Tossel.so
 * (without pkg-config: -I<prefix>/include instead of $(pkg-config ...)).
 * The calls and what they mean are told in PsComm.h.
 */
#include <string.h>

#include "PsComm.h"

static int32_t Holes; /* holes per side in this match, 1 to 6 */

PsBool PsInit(PsInfo *Info) {
  if (Info->Size < 32) return 0; /* too old a referee to tell the board size */
  Info->CurrVer = Info->MaxVer >= 1 ? 1 : Info->MaxVer;
  Holes = Info->NumHoles < 1 ? 1 : Info->NumHoles > PS_MAX_HOLES ? PS_MAX_HOLES : Info->NumHoles;
  if (Info->Size >= PS_INFO_SIZE) {
    strcpy(Info->name, "Starter");
    strcpy(Info->creator, "Pitsow examples");
    strcpy(Info->description, "Greedy: extra moves first, then the largest gain");
  }
  return 1;
}

/*
 * Plays hole m on copies of the rows; returns what the store gains and sets
 * *again when the last bone lands in the store. The bones go round a cycle
 * of 2n + 1 places (own holes 0..n-1, the store n, the opponent's holes
 * n+1..2n) starting just after hole m, so each place's share is counted at
 * once, however many bones are in hand.
 */
static int64_t Try(const int32_t *mine, const int32_t *theirs, int m, int *again) {
  const int n = Holes, lap = 2 * n + 1;
  int32_t my[PS_MAX_HOLES], opp[PS_MAX_HOLES];
  memcpy(my, mine, sizeof my);
  memcpy(opp, theirs, sizeof opp);
  const int64_t hand = my[m - 1];
  my[m - 1] = 0;
  int64_t gain = 0;
  for (int place = 0; place < lap; ++place) {
    const int distance = (place - m + lap) % lap;
    const int64_t share = distance < hand ? (hand - 1 - distance) / lap + 1 : 0;
    if (place < n)
      my[place] += (int32_t)share;
    else if (place == n)
      gain += share;
    else
      opp[place - n - 1] += (int32_t)share;
  }
  const int last = (int)((m + hand - 1) % lap);
  *again = last == n;
  if (last < n && my[last] == 1 && opp[n - 1 - last] > 0) gain += opp[n - 1 - last] + 1;
  return gain;
}

int32_t PsGetTurn(const HoleRow MyHoles, const HoleRow OppHoles, int32_t MyStore,
                  int32_t OppStore) {
  int32_t best = 1; /* with no bones at all, any hole is an accepted pass */
  int64_t bestScore = -1;
  (void)MyStore, (void)OppStore;
  for (int m = 1; m <= Holes; ++m) {
    if (MyHoles[m - 1] <= 0) continue;
    int again = 0;
    const int64_t gain = Try(MyHoles, OppHoles, m, &again);
    const int64_t score = again ? INT32_MAX + gain : gain;
    if (score > bestScore) {
      bestScore = score;
      best = m;
    }
  }
  return best;
}

void PsOppTurn(int32_t Hole) { (void)Hole; }

void PsEndRound(int32_t My, int32_t Opp, int32_t Turns) { (void)My, (void)Opp, (void)Turns; }

void PsDone(void) {}
