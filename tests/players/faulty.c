/*
 * A player for tests that misbehaves on purpose. It reads fault<N>.txt in
 * the working directory (N: its player number), one line:
 *
 *   ACTION ENTRY ROUND TURN
 *
 * and does ACTION in the first call of ENTRY (PsInit, PsGetTurn, PsOppTurn,
 * PsEndRound, PsDone) in round ROUND (counted from 0, from its PsEndRound
 * calls) at or after turn TURN (counted from 0 within the round: the
 * player receives one call per accepted move). Otherwise it plays the
 * first non-empty hole.
 *
 * Actions: segv, abort, exit0 (exit(0)), quick (_exit(0)), kill (SIGKILL
 * itself), record (writes past the PsInfo record), rows (writes past the
 * rows), hang (an endless loop), sleep (sleeps 3 s), hog (allocates
 * without end), answerN (answers N), lead0 (answers 0 whenever its store
 * leads), wait (waits until the file "go" exists). Two actions repeat in
 * every call of ENTRY from then on: napN sleeps N milliseconds, burnN
 * spends N milliseconds of CPU in every other such call. The line "texts"
 * gives it a name, creator and description full of control characters.
 * Built with FAULT_LINE defined, that line applies when there is no file:
 * tournaments run the player where they choose.
 */
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

#include "PsComm.h"

static int Me, Holes = 6;
static char Action[32], Entry[32];
static int FaultRound = -1, FaultTurn, Round, Turn, Done;
static int Texts;
static volatile int *volatile Nowhere;

static double CpuSeconds(void) {
  struct timespec t;
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return (double)t.tv_sec + (double)t.tv_nsec * 1e-9;
}

/* napN and burnN, from their first call on. */
static void Repeat(void) {
  static int calls;
  const int ms = atoi(Action + strcspn(Action, "0123456789"));
  if (strncmp(Action, "nap", 3) == 0) {
    struct timespec t = {ms / 1000, (ms % 1000) * 1000000L};
    nanosleep(&t, NULL);
  }
  if (strncmp(Action, "burn", 4) == 0 && calls++ % 2 == 0) {
    const double end = CpuSeconds() + ms * 1e-3;
    while (CpuSeconds() < end) {
    }
  }
}

static void Fire(const char *entry, const int32_t *rows, PsInfo *info) {
  if (strcmp(entry, Entry) != 0 || Round < FaultRound || (Round == FaultRound && Turn < FaultTurn))
    return;
  if (strncmp(Action, "nap", 3) == 0 || strncmp(Action, "burn", 4) == 0) Repeat();
  if (Done || Round != FaultRound) return;
  if (strncmp(Action, "answer", 6) == 0 || strcmp(Action, "lead0") == 0) return;
  Done = 1;
  if (strcmp(Action, "segv") == 0) *Nowhere = 1;
  if (strcmp(Action, "abort") == 0) abort();
  if (strcmp(Action, "exit0") == 0) exit(0);
  if (strcmp(Action, "quick") == 0) _exit(0);
  if (strcmp(Action, "kill") == 0) raise(SIGKILL);
  if (strcmp(Action, "record") == 0) ((volatile char *)info)[info->Size + 8] = 1;
  if (strcmp(Action, "rows") == 0) ((volatile int32_t *)rows)[2 * PS_MAX_HOLES + 1] = 1;
  if (strcmp(Action, "hang") == 0)
    for (volatile int spin = 0;; spin = spin + 1) {
    }
  if (strcmp(Action, "sleep") == 0) {
    struct timespec t = {3, 0};
    nanosleep(&t, NULL);
  }
  if (strcmp(Action, "hog") == 0)
    for (;;) {
      char *p = malloc(1 << 20);
      if (p == NULL) abort();
      memset(p, 1, 1 << 20);
    }
  if (strcmp(Action, "wait") == 0)
    while (access("go", F_OK) != 0) {
      struct timespec t = {0, 10 * 1000 * 1000};
      nanosleep(&t, NULL);
    }
}

static void SetText(char *field, size_t capacity, const char *text) {
  strncpy(field, text, capacity - 1);
  field[capacity - 1] = '\0';
}

PsBool PsInit(PsInfo *Info) {
  char path[32], line[128];
  Me = Info->Player;
  Holes = Info->NumHoles;
  snprintf(path, sizeof path, "fault%d.txt", Me);
  FILE *f = fopen(path, "r");
  while (f != NULL && fgets(line, sizeof line, f) != NULL) {
    if (strncmp(line, "texts", 5) == 0)
      Texts = 1;
    else
      sscanf(line, "%31s %31s %d %d", Action, Entry, &FaultRound, &FaultTurn);
  }
  if (f != NULL) fclose(f);
#ifdef FAULT_LINE
  if (f == NULL) sscanf(FAULT_LINE, "%31s %31s %d %d", Action, Entry, &FaultRound, &FaultTurn);
#endif
  Info->CurrVer = 1;
  if (Texts) {
    SetText(Info->name, sizeof Info->name, "Evil\r\nROUND 99\x1b[2J");
    SetText(Info->creator, sizeof Info->creator, "\x1b]0;owned\x07\tX\x7f\xe9");
    SetText(Info->description, sizeof Info->description, "ok\r\nElapsed Time: 0.001 s");
  } else {
    SetText(Info->name, sizeof Info->name, "Faulty");
    SetText(Info->creator, sizeof Info->creator, "Tests");
    SetText(Info->description, sizeof Info->description, "Fails on purpose");
  }
  Round = -1; /* PsInit is before any round */
  Fire("PsInit", NULL, Info);
  Round = 0;
  return 1;
}

int32_t PsGetTurn(const HoleRow MyHoles, const HoleRow OppHoles, int32_t MyStore,
                  int32_t OppStore) {
  (void)OppHoles;
  Fire("PsGetTurn", MyHoles, NULL);
  ++Turn;
  if (strncmp(Action, "answer", 6) == 0 && Round == FaultRound && Turn > FaultTurn)
    return atoi(Action + 6);
  if (strcmp(Action, "lead0") == 0 && MyStore > OppStore) return 0;
  for (int i = 0; i < Holes; ++i)
    if (MyHoles[i] > 0) return i + 1;
  return 1;
}

void PsOppTurn(int32_t Hole) {
  (void)Hole;
  Fire("PsOppTurn", NULL, NULL);
  ++Turn;
}

void PsEndRound(int32_t My, int32_t Opp, int32_t Turns) {
  (void)My, (void)Opp, (void)Turns;
  Fire("PsEndRound", NULL, NULL);
  ++Round;
  Turn = 0;
}

void PsDone(void) {
  Round = -1;
  Fire("PsDone", NULL, NULL);
}
