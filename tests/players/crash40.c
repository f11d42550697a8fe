/*
 * A player that plays its first non-empty hole and crashes in its 40th
 * move of every match (each isolated match is a fresh process), for the
 * tournament runner's fault handling.
 */
#include <signal.h>

#include "PsComm.h"

static int32_t Holes;
static int Moves;

PsBool PsInit(PsInfo *Info) {
  Info->CurrVer = 1;
  Holes = Info->NumHoles;
  return 1;
}

int32_t PsGetTurn(const HoleRow MyHoles, const HoleRow OppHoles, int32_t MyStore,
                  int32_t OppStore) {
  (void)OppHoles, (void)MyStore, (void)OppStore;
  if (++Moves == 40) raise(SIGSEGV);
  for (int32_t m = 1; m <= Holes; ++m)
    if (MyHoles[m - 1] > 0) return m;
  return 1;
}

void PsOppTurn(int32_t Hole) { (void)Hole; }
void PsEndRound(int32_t My, int32_t Opp, int32_t Turns) { (void)My, (void)Opp, (void)Turns; }
void PsDone(void) {}
