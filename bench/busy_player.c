/*
 * A CPU-bound player for the tournament benchmark: each move costs a fixed
 * amount of work (a loop of a million generator steps), then it plays its
 * first non-empty hole.
 */
#include "PsComm.h"

static int32_t Holes;
static volatile uint64_t Sink;

PsBool PsInit(PsInfo *Info) {
  Info->CurrVer = 1;
  Holes = Info->NumHoles;
  return 1;
}

int32_t PsGetTurn(const HoleRow MyHoles, const HoleRow OppHoles, int32_t MyStore,
                  int32_t OppStore) {
  (void)OppHoles, (void)MyStore, (void)OppStore;
  uint64_t x = 88172645463325252ull;
  for (int i = 0; i < 1000000; ++i) x = x * 6364136223846793005ull + 1442695040888963407ull;
  Sink = x;
  for (int32_t m = 1; m <= Holes; ++m)
    if (MyHoles[m - 1] > 0) return m;
  return 1;
}

void PsOppTurn(int32_t Hole) { (void)Hole; }
void PsEndRound(int32_t My, int32_t Opp, int32_t Turns) { (void)My, (void)Opp, (void)Turns; }
void PsDone(void) {}
