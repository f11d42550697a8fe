/*
 * The floor under an isolated player call: two processes pass a request
 * and an answer through shared memory and nothing else, with the wait of
 * the player channel (spin, then futex with "sleeping" flags) for several
 * spin budgets, fixed and adaptive, and with a bare futex for comparison.
 * Prints nanoseconds per round trip.
 *
 *   shm_floor           the table
 *   shm_floor chosen    only the figure for the wait in use
 */
#include <signal.h>
#include <stdio.h>
#include <string.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include "channel.h"

/* A way to wait: a bare futex, a fixed spin of that many rounds before
 * the futex, or the channel's adaptive spin. */
typedef struct Wait {
  int bare, adaptive;
  int32_t spins;
} Wait;

static double Now(void) {
  struct timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return (double)ts.tv_sec + (double)ts.tv_nsec * 1e-9;
}

static uint32_t WaitWhile(PsChannel *ch, uint32_t old, uint32_t *my_sleeping, PsSpinner *budget,
                          Wait w) {
  uint32_t s;
  if (w.bare) {
    while ((s = PsLoad(&ch->state)) == old) PsFutexWait(&ch->state, old, NULL);
    return s;
  }
  s = w.adaptive ? PsSpinAdaptive(ch, old, budget) : PsSpinWhile(ch, old, w.spins);
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
    if (WaitWhile(ch, PS_CH_ANSWER, &ch->host_sleeping, &ch->host_spin, w) == PS_CH_QUIT) _exit(0);
    ch->result = ch->args[0] + 1;
    Signal(ch, PS_CH_ANSWER, &ch->client_sleeping, w);
  }
}

/* Nanoseconds per round trip with this wait. */
static double RoundTrip(Wait w, double seconds) {
  PsChannel *ch =
      mmap(NULL, sizeof(PsChannel), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
  if (ch == MAP_FAILED) return -1;
  memset(ch, 0, sizeof *ch);
  ch->state = PS_CH_ANSWER;
  const pid_t pid = fork();
  if (pid == 0) Serve(ch, w);
  long n = 0;
  int ok = 1;
  const double start = Now();
  double elapsed = 0;
  do {
    for (int i = 0; i < 1000; ++i, ++n) {
      ch->args[0] = (int32_t)n;
      Signal(ch, PS_CH_REQUEST, &ch->host_sleeping, w);
      WaitWhile(ch, PS_CH_REQUEST, &ch->client_sleeping, &ch->client_spin, w);
      ok &= ch->result == (int32_t)n + 1;
    }
    elapsed = Now() - start;
  } while (elapsed < seconds);
  Signal(ch, PS_CH_QUIT, &ch->host_sleeping, w);
  waitpid(pid, NULL, 0);
  munmap(ch, sizeof *ch);
  return ok ? elapsed / (double)n * 1e9 : -1;
}

/* Nanoseconds of one spin round (a pause and a load): the least of many
 * short runs, so that being scheduled out does not count. */
static double SpinRound(void) {
  PsChannel ch;
  memset(&ch, 0, sizeof ch);
  double best = 1e9;
  for (int r = 0; r < 200; ++r) {
    const double start = Now();
    PsSpinWhile(&ch, 0, 10000);
    const double ns = (Now() - start) / 10000 * 1e9;
    if (ns < best) best = ns;
  }
  return best;
}

static void Row(const char *label, Wait w, double round) {
  char budget[48] = "-";
  if (w.adaptive)
    snprintf(budget, sizeof budget, "%d or %d = %.1f or %.1f us", PS_CHANNEL_SPINS_LONG,
             PS_CHANNEL_SPINS_SHORT, PS_CHANNEL_SPINS_LONG * round * 1e-3,
             PS_CHANNEL_SPINS_SHORT * round * 1e-3);
  else if (!w.bare)
    snprintf(budget, sizeof budget, "%d = %.1f us", (int)w.spins, w.spins * round * 1e-3);
  printf("%-34s %26s %14.0f\n", label, budget, RoundTrip(w, 0.5));
}

int main(int argc, char **argv) {
  const Wait inUse = {0, 1, 0};
  if (argc > 1 && strcmp(argv[1], "chosen") == 0) {
    printf("%.0f\n", RoundTrip(inUse, 1.0));
    return 0;
  }
  const double round = SpinRound();
  printf("one spin round (pause + load): %.1f ns\n\n", round);
  printf("%-34s %26s %14s\n", "wait", "spin budget", "ns/round trip");
  const Wait bare = {1, 0, 0};
  Row("bare futex", bare, round);
  const int32_t fixed[] = {0, 40, 200, 1000, 4000};
  for (size_t i = 0; i < sizeof fixed / sizeof fixed[0]; ++i) {
    const Wait w = {0, 0, fixed[i]};
    Row("fixed spin, then futex", w, round);
  }
  Row("adaptive spin, then futex (in use)", inUse, round);
  return 0;
}
