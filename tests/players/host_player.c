/*
 * A player for the isolated-host tests. With Param 0 it behaves and its
 * answers echo what it was given; any other Param picks one way to
 * misbehave, in PsInit (5) or in PsGetTurn (the rest).
 */
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include "PsComm.h"

enum {
  kBehave = 0,
  kSegfault = 1,
  kAbort = 2,
  kExit = 3,
  kLoop = 4,
  kPastRecord = 5,
  kPastRows = 6,
  kGreedy = 7,
  kQuickExit = 8
};

static int Mode;
/* Pointers the compiler cannot see through, so the bad writes stay. */
static int32_t *volatile Nowhere = NULL;
static int LastOpp;
static int Rounds;
static char *Hoard; /* what the greedy mode holds, kept so no allocation is elided */

PsBool PsInit(PsInfo *Info) {
  Mode = Info->Param;
  if (Mode == kPastRecord) ((volatile char *)Info)[Info->Size + 8] = 1;
  Info->CurrVer = 1;
  snprintf(Info->name, sizeof Info->name, "echo %d", (int)Info->Player);
  strcpy(Info->creator, "tests");
  strcpy(Info->description, "answers what it was told");
  return (PsBool)(Info->NumHoles == 6 ? 7 : 0);
}

int32_t PsGetTurn(const HoleRow MyHoles, const HoleRow OppHoles, int32_t MyStore,
                  int32_t OppStore) {
  switch (Mode) {
    case kSegfault:
      Nowhere[4] = 1;
      break;
    case kAbort:
      abort();
    case kExit:
      exit(0);
    case kQuickExit:
      _exit(3);
    case kLoop:
      for (volatile int spin = 0;; ++spin) {
      }
    case kPastRows: {
      int32_t *volatile rows = (int32_t *)OppHoles;
      rows[PS_MAX_HOLES + 4] = 1;
    } break;
    case kGreedy:
      for (;;) {
        char *p = malloc(1 << 20);
        memset(p, 1, 1 << 20);
        memcpy(p, &Hoard, sizeof Hoard);
        Hoard = p;
      }
    default:
      break;
  }
  return MyHoles[0] + 10 * OppHoles[5] + 100 * MyStore + 1000 * OppStore + 10000 * LastOpp +
         100000 * Rounds;
}

void PsOppTurn(int32_t Hole) { LastOpp = Hole; }

void PsEndRound(int32_t My, int32_t Opp, int32_t Turns) { Rounds += My + Opp + Turns; }

void PsDone(void) {
  FILE *f = fopen("done.txt", "w");
  if (f != NULL) {
    fprintf(f, "%d", Rounds);
    fclose(f);
  }
}
