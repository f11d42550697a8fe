/*
 * A player for tests, scripted by the file script<N>.txt in the working
 * directory (N: its player number). It records every call it receives,
 * with its arguments, in calls.txt, shared by both players and appended
 * line by line, so a test sees the exact order of all calls.
 *
 * Script lines:
 *   init V          PsInit answers the byte V (default 1)
 *   version V       CurrVer answered (default 1)
 *   name TEXT, creator TEXT, description TEXT
 *   fillname        a name of 32 'N' without a 0 byte
 *   nowrite         writes nothing into the record
 *   vandal          writes into the rows it is shown
 *   moves A B ...   the answers, in order; then the first non-empty hole
 */
#include <fcntl.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include "PsComm.h"

static int Loads; /* PsInit calls seen by this instance */
static int Me;
static int Holes = 6;
static int Vandal;
static int Moves[256];
static int NumMoves, NextMove;

static void Record(const char *format, ...) {
  char line[512];
  int n = snprintf(line, sizeof line, "P%d ", Me);
  va_list args;
  va_start(args, format);
  n += vsnprintf(line + n, sizeof line - (size_t)n, format, args);
  va_end(args);
  if (n > (int)sizeof line - 2) n = (int)sizeof line - 2;
  line[n++] = '\n';
  int fd = open("calls.txt", O_WRONLY | O_CREAT | O_APPEND, 0644);
  if (fd >= 0) {
    if (write(fd, line, (size_t)n) != n) abort();
    close(fd);
  }
}

static void SetText(char *field, size_t capacity, const char *text) {
  size_t n = strlen(text);
  if (n > capacity - 1) n = capacity - 1;
  memcpy(field, text, n);
  field[n] = '\0';
}

PsBool PsInit(PsInfo *Info) {
  char path[32], line[400];
  int init = 1, version = 1, nowrite = 0, fillname = 0;
  char name[400] = "Scripted", creator[400] = "Tests", description[400] = "Plays a script";
  ++Loads;
  Me = Info->Player;
  Holes = Info->NumHoles;
  Record(
      "PsInit size=%d maxver=%d currver=%d player=%d holes=%d bones=%d level=%d param=%d "
      "loads=%d",
      Info->Size, Info->MaxVer, Info->CurrVer, Info->Player, Info->NumHoles, Info->NumBones,
      Info->LogLevel, Info->Param, Loads);
  snprintf(path, sizeof path, "script%d.txt", Me);
  FILE *f = fopen(path, "r");
  while (f != NULL && fgets(line, sizeof line, f) != NULL) {
    line[strcspn(line, "\r\n")] = '\0';
    if (strncmp(line, "init ", 5) == 0) init = atoi(line + 5);
    if (strncmp(line, "version ", 8) == 0) version = atoi(line + 8);
    if (strncmp(line, "name ", 5) == 0) snprintf(name, sizeof name, "%s", line + 5);
    if (strncmp(line, "creator ", 8) == 0) snprintf(creator, sizeof creator, "%s", line + 8);
    if (strncmp(line, "description ", 12) == 0)
      snprintf(description, sizeof description, "%s", line + 12);
    if (strcmp(line, "nowrite") == 0) nowrite = 1;
    if (strcmp(line, "fillname") == 0) fillname = 1;
    if (strcmp(line, "vandal") == 0) Vandal = 1;
    if (strncmp(line, "moves", 5) == 0) {
      char *p = line + 5, *end;
      for (long v = strtol(p, &end, 10); end != p && NumMoves < 256; v = strtol(p, &end, 10)) {
        Moves[NumMoves++] = (int)v;
        p = end;
      }
    }
  }
  if (f != NULL) fclose(f);
  if (!nowrite) {
    Info->CurrVer = version;
    SetText(Info->name, sizeof Info->name, name);
    SetText(Info->creator, sizeof Info->creator, creator);
    SetText(Info->description, sizeof Info->description, description);
    if (fillname) memset(Info->name, 'N', sizeof Info->name);
  }
  return (PsBool)init;
}

int32_t PsGetTurn(const HoleRow MyHoles, const HoleRow OppHoles, int32_t MyStore,
                  int32_t OppStore) {
  int answer = 0;
  Record("PsGetTurn my=%d,%d,%d,%d,%d,%d opp=%d,%d,%d,%d,%d,%d stores=%d,%d", MyHoles[0],
         MyHoles[1], MyHoles[2], MyHoles[3], MyHoles[4], MyHoles[5], OppHoles[0], OppHoles[1],
         OppHoles[2], OppHoles[3], OppHoles[4], OppHoles[5], MyStore, OppStore);
  if (NextMove < NumMoves) {
    answer = Moves[NextMove++];
  } else {
    for (int i = 0; i < Holes && i < PS_MAX_HOLES && answer == 0; ++i)
      if (MyHoles[i] > 0) answer = i + 1;
  }
  if (Vandal) {
    /* Breaks the rule on purpose: the referee must not care. */
    int32_t *mine = (int32_t *)MyHoles, *theirs = (int32_t *)OppHoles;
    for (int i = 0; i < PS_MAX_HOLES; ++i) mine[i] = theirs[i] = 999;
  }
  return answer;
}

void PsOppTurn(int32_t Hole) { Record("PsOppTurn %d", Hole); }

void PsEndRound(int32_t My, int32_t Opp, int32_t Turns) {
  Record("PsEndRound %d %d %d", My, Opp, Turns);
}

void PsDone(void) { Record("PsDone"); }
