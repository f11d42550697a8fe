/*
 * The floor under an isolated player call: processes pass a request and an
 * answer through shared memory and nothing else, with several ways to wait
 * for the other side. Two processes: a client and one server, as one
 * player's calls. Three: a client and two servers called in a match's
 * order (one server's turn, the other told of it, then the other way
 * round), as a whole isolated match, where only one of the three has work
 * at any moment and they share two CPUs. Prints nanoseconds per call.
 *
 *   shm_floor           the table
 *   shm_floor chosen N  only the figure for the wait in use, N processes
 */
#define _GNU_SOURCE
#include <sched.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include "channel.h"

/* A way to wait: spin that many rounds, then yield for up to yield_ns
 * (none: 0), then sleep on the futex; bare: the futex alone, with a wake
 * on every change; in_use: the channel's own PsWaitBriefly, then the
 * futex. pinned: all processes on the first CPU. */
typedef struct Wait {
  const char *label;
  int bare;
  int32_t spins;
  long yield_ns;
  int pinned;
  int in_use;
} Wait;

static uint32_t WaitWhile(PsChannel *ch, uint32_t old, uint32_t *my_sleeping, PsWaiter *waiter,
                          Wait w) {
  uint32_t s;
  if (w.bare) {
    while ((s = PsLoad(&ch->state)) == old) PsFutexWait(&ch->state, old, NULL);
    return s;
  }
  if (w.in_use) {
    s = PsWaitBriefly(ch, old, waiter);
  } else {
    s = PsSpinWhile(ch, old, w.spins);
    if (s == old && w.yield_ns > 0) s = PsYieldWhile(ch, old, w.yield_ns);
  }
  while (s == old) s = PsSleepWhile(ch, old, my_sleeping, NULL);
  return s;
}

static void Signal(PsChannel *ch, uint32_t state, uint32_t *other_sleeping, Wait w) {
  if (w.bare) {
    PsStore(&ch->state, state);
    PsFutexWake(&ch->state);
  } else {
    PsSignal(ch, state, other_sleeping);
  }
}

/* The answering side: adds one to the argument until told to quit. */
static void Serve(PsChannel *ch, Wait w) {
  for (;;) {
    if (WaitWhile(ch, PS_CH_ANSWER, &ch->host_sleeping, &ch->host_waiter, w) == PS_CH_QUIT)
      _exit(0);
    ch->result = ch->args[0] + 1;
    Signal(ch, PS_CH_ANSWER, &ch->client_sleeping, w);
  }
}

static int Call(PsChannel *ch, int32_t n, Wait w) {
  ch->args[0] = n;
  Signal(ch, PS_CH_REQUEST, &ch->host_sleeping, w);
  WaitWhile(ch, PS_CH_REQUEST, &ch->client_sleeping, &ch->client_waiter, w);
  return ch->result == n + 1;
}

/* Nanoseconds per call with this wait, between the client and `servers`
 * servers (1 or 2), over about that many seconds; -1 when it failed. */
static double PerCall(Wait w, int servers, double seconds) {
  PsChannel *ch[2];
  pid_t pid[2];
  if (w.pinned) {
    cpu_set_t one;
    CPU_ZERO(&one);
    CPU_SET(0, &one);
    sched_setaffinity(0, sizeof one, &one);
  }
  for (int k = 0; k < servers; ++k) {
    ch[k] =
        mmap(NULL, sizeof(PsChannel), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    if (ch[k] == MAP_FAILED) return -1;
    memset(ch[k], 0, sizeof(PsChannel));
    ch[k]->state = PS_CH_ANSWER;
    pid[k] = fork();
    if (pid[k] == 0) Serve(ch[k], w);
  }
  long n = 0;
  int ok = 1;
  const double start = PsSeconds();
  double elapsed = 0;
  do {
    for (int i = 0; i < 250; ++i, n += 4) {
      /* Two servers: A's turn, B told; B's turn, A told. */
      PsChannel *first = ch[0], *second = servers == 2 ? ch[1] : ch[0];
      ok &= Call(first, (int32_t)n, w) & Call(second, (int32_t)n + 1, w);
      ok &= Call(second, (int32_t)n + 2, w) & Call(first, (int32_t)n + 3, w);
    }
    elapsed = PsSeconds() - start;
  } while (elapsed < seconds);
  for (int k = 0; k < servers; ++k) {
    Signal(ch[k], PS_CH_QUIT, &ch[k]->host_sleeping, w);
    waitpid(pid[k], NULL, 0);
    munmap(ch[k], sizeof(PsChannel));
  }
  if (w.pinned) {
    cpu_set_t all;
    CPU_ZERO(&all);
    for (int c = 0; c < CPU_SETSIZE; ++c) CPU_SET(c, &all);
    sched_setaffinity(0, sizeof all, &all);
  }
  return ok ? elapsed / (double)n * 1e9 : -1;
}

static int Compare(const void *a, const void *b) {
  const double x = *(const double *)a, y = *(const double *)b;
  return (x > y) - (x < y);
}

int main(int argc, char **argv) {
  const Wait inUse = {"spin 16, yield 50 us if it pays (in use)", 0, 0, 0, 0, 1};
  if (argc > 2 && strcmp(argv[1], "chosen") == 0) {
    printf("%.0f\n", PerCall(inUse, atoi(argv[2]) == 3 ? 2 : 1, 1.0));
    return 0;
  }
  const Wait waits[] = {
      {"bare futex", 1, 0, 0, 0, 0},
      {"spin 16, futex", 0, 16, 0, 0, 0},
      {"spin 1000, futex", 0, 1000, 0, 0, 0},
      {"spin 4000, futex", 0, 4000, 0, 0, 0},
      {"spin 16, futex, on one CPU", 0, 16, 0, 1, 0},
      {"spin 16, yield 50 us, futex", 0, 16, 50000, 0, 0},
      inUse,
  };
  enum { kWaits = sizeof waits / sizeof waits[0], kRuns = 5 };
  double ns[2][kWaits][kRuns];
  /* Runs taken in turn, so that a busy moment of the machine is spread. */
  for (int r = 0; r < kRuns; ++r)
    for (int k = 0; k < kWaits; ++k)
      for (int p = 0; p < 2; ++p) ns[p][k][r] = PerCall(waits[k], p + 1, 0.3);
  printf("| %-40s | %10s | %10s |\n", "wait (shm_floor)", "2 procs", "3 procs");
  printf("|------------------------------------------|------------|------------|\n");
  for (int k = 0; k < kWaits; ++k) {
    qsort(ns[0][k], kRuns, sizeof(double), Compare);
    qsort(ns[1][k], kRuns, sizeof(double), Compare);
    printf("| %-40s | %10.0f | %10.0f |\n", waits[k].label, ns[0][k][kRuns / 2],
           ns[1][k][kRuns / 2]);
  }
  printf("\nns per call, medians of %d runs of 0.3 s; 3 procs: two servers in a match's order.\n",
         kRuns);
  return 0;
}
