/*
 * A deterministic player that always plays its last non-empty hole: with
 * the starter it gives tournaments whose counts depend on the openings
 * only, so interrupted, resumed and sharded runs can be compared.
 */
#include "PsComm.h"

static int32_t Holes;

PsBool PsInit(PsInfo *Info) {
  Info->CurrVer = 1;
  Holes = Info->NumHoles;
  return 1;
}

int32_t PsGetTurn(const HoleRow MyHoles, const HoleRow OppHoles, int32_t MyStore,
                  int32_t OppStore) {
  (void)OppHoles, (void)MyStore, (void)OppStore;
  for (int32_t m = Holes; m >= 1; --m)
    if (MyHoles[m - 1] > 0) return m;
  return 1;
}

void PsOppTurn(int32_t Hole) { (void)Hole; }
void PsEndRound(int32_t My, int32_t Opp, int32_t Turns) { (void)My, (void)Opp, (void)Turns; }
void PsDone(void) {}
