/*
 * A player for the compliance checker's tests. With Param 0 it plays its
 * first non-empty hole and keeps every rule; any other Param picks one
 * way to break one:
 *   1 writes its texts whatever Size says
 *   2 answers a hole beyond its row on its 10th move
 *   3 answers the same position differently from one round to the next
 *   4 crashes on its 50th move
 *   5 hangs on its 50th move
 *   6 keeps a MiB more after every round
 *   7 fills its name to the last byte, with no 0 byte
 *   8 plays an empty hole (a pass) when it has one
 *   9 answers CurrVer 1 whatever MaxVer is
 */
#include <stdlib.h>
#include <string.h>

#include "PsComm.h"

static int Mode, Holes, Moves, Rounds;
static int32_t *volatile Nowhere = NULL; /* a write the compiler cannot drop */
static char *Hoard;                      /* what mode 6 keeps, so no allocation is elided */

PsBool PsInit(PsInfo *Info) {
  Mode = Info->Size >= 32 ? Info->Param : 0;
  Holes = Info->Size >= 32 ? Info->NumHoles : 6;
  if (Info->Size >= 32) Info->CurrVer = Info->MaxVer >= 1 || Mode == 9 ? 1 : Info->MaxVer;
  if (Info->Size >= PS_INFO_SIZE || Mode == 1) {
    strcpy(Info->name, "Checked");
    strcpy(Info->creator, "tests");
    strcpy(Info->description, "breaks one rule on demand");
  }
  if (Mode == 7 && Info->Size >= PS_INFO_SIZE) memset(Info->name, 'x', sizeof Info->name);
  return 1;
}

int32_t PsGetTurn(const HoleRow MyHoles, const HoleRow OppHoles, int32_t MyStore,
                  int32_t OppStore) {
  int first = 1, last = 1;
  (void)OppHoles, (void)MyStore, (void)OppStore;
  ++Moves;
  for (int h = Holes; h >= 1; --h)
    if (MyHoles[h - 1] > 0) first = h;
  for (int h = 1; h <= Holes; ++h)
    if (MyHoles[h - 1] > 0) last = h;
  if (Mode == 2 && Moves == 10) return Holes + 1;
  if (Mode == 8)
    for (int h = 1; h <= Holes; ++h)
      if (MyHoles[h - 1] == 0) return h;
  if (Mode == 3 && Rounds % 2 == 1) return last;
  if (Mode == 4 && Moves == 50) *Nowhere = 1;
  if (Mode == 5 && Moves == 50)
    for (volatile int spin = 0;; ++spin) {
    }
  return first;
}

void PsOppTurn(int32_t Hole) { (void)Hole; }

void PsEndRound(int32_t My, int32_t Opp, int32_t Turns) {
  (void)My, (void)Opp, (void)Turns;
  ++Rounds;
  if (Mode == 6) {
    char *p = malloc(1 << 20);
    memset(p, 1, 1 << 20);
    memcpy(p, &Hoard, sizeof Hoard);
    Hoard = p;
  }
}

void PsDone(void) {}
