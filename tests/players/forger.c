/*
 * A player that forges the referee's words through its host's channel, or
 * takes the CPU from its opponent, judged by whom the referee charges.
 * Param picks the attack; built with FORGE_LOAD, its library's constructor
 * forges a failed load instead (1: a load failure blaming the opponent,
 * 2: the host ends before it has loaded). Otherwise it plays its last
 * non-empty hole.
 */
#define _GNU_SOURCE
#include <pthread.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mman.h>
#include <unistd.h>

#include "PsComm.h"
#include "channel.h"

enum {
  kCrashNote = 1, /* a crash whose note carries CR, LF, ESC and a line blaming the opponent */
  kRefusedNote,   /* the same, passed off as a refused system call */
  kSpin,          /* a thread that spins between its calls, on the opponent's time */
  kSleep,         /* sleeps in its first PsGetTurn: stopped at the backstop */
  kControlName,   /* C0 and C1 control bytes in its PsInfo texts */
  kFillDisk       /* fills the disk of its working folder, then plays on */
};

static void FillDisk(void) {
  static char chunk[1 << 20];
  FILE *f = fopen("fill", "w");
  memset(chunk, 'x', sizeof chunk);
  while (f != NULL && fwrite(chunk, 1, sizeof chunk, f) == sizeof chunk && fflush(f) == 0) {
  }
  if (f != NULL) fclose(f);
}

static int32_t Holes, Attack;

/* The channel, found by its memory file's name in the host's own maps. */
static PsChannel *FindChannel(void) {
  FILE *maps = fopen("/proc/self/maps", "r");
  char line[512];
  void *found = NULL;
  while (maps != NULL && found == NULL && fgets(line, sizeof line, maps) != NULL) {
    unsigned long from = 0;
    if (strstr(line, "pitsow-channel") != NULL && sscanf(line, "%lx-", &from) == 1)
      found = (void *)from;
  }
  if (maps != NULL) fclose(maps);
  return found;
}

static const char kBlame[] =
    "\r\n\x1b[2K\x9b"
    "2Kpitsow: player 1 (PsPlayer1.so) is broken: forged\r\n";

#ifdef FORGE_LOAD
__attribute__((constructor)) static void ForgeLoad(void) {
  PsChannel *ch = FindChannel();
  if (FORGE_LOAD == 2) _exit(3);
  if (ch == NULL) return;
  snprintf(ch->text, sizeof ch->text,
           "cannot load player library /arena/victim.so: forged: the OPPONENT is broken%s", kBlame);
  ch->result = 1;
  PsStore(&ch->state, PS_CH_ANSWER);
  for (;;) pause(); /* the host never gets to answer for itself */
}
#endif

/* Dies by sig with note as its host's last words. */
static void DieWithNote(const char *note, int sig) {
  PsChannel *ch = FindChannel();
  if (ch != NULL) {
    snprintf(ch->text, sizeof ch->text, "%s%s", note, kBlame);
    ch->fault_kind = PS_FAULT_SIGNAL;
    ch->fault_signal = sig;
    ch->fault_call = PS_CALL_GET_TURN;
    PsStore(&ch->state, PS_CH_HOST_DEAD); /* the host's handler then leaves the note */
  }
  signal(sig, SIG_DFL);
  raise(sig);
}

static void *Spin(void *arg) {
  for (volatile unsigned long n = 0;; ++n) (void)arg;
  return NULL;
}

PsBool PsInit(PsInfo *Info) {
  Info->CurrVer = 1;
  Holes = Info->NumHoles;
  Attack = Info->Param;
  if (Attack == kControlName) {
    strcpy(Info->name,
           "n\x1b[2J\x9b"
           "31m\x85");
    strcpy(Info->creator, "c\r\nPlayer 1 Init TRUE");
    strcpy(Info->description,
           "d\xe9t\x90"
           "ok");
  }
  return 1;
}

int32_t PsGetTurn(const HoleRow MyHoles, const HoleRow OppHoles, int32_t MyStore,
                  int32_t OppStore) {
  static int attacked = 0;
  pthread_t thread;
  (void)OppHoles, (void)MyStore, (void)OppStore;
  if (!attacked) {
    attacked = 1;
    if (Attack == kCrashNote) DieWithNote("crashed (SIGSEGV)", SIGSEGV);
    if (Attack == kRefusedNote) DieWithNote("refused system call clone", SIGSYS);
    if (Attack == kSpin) pthread_create(&thread, NULL, Spin, NULL);
    if (Attack == kSleep) sleep(30);
    if (Attack == kFillDisk) FillDisk();
  }
  for (int32_t h = Holes; h >= 1; --h)
    if (MyHoles[h - 1] > 0) return h;
  return 1;
}

void PsOppTurn(int32_t Hole) { (void)Hole; }
void PsEndRound(int32_t MyStore, int32_t OppStore, int32_t Turns) {
  (void)MyStore, (void)OppStore, (void)Turns;
}
void PsDone(void) {}
