/*
 * The floor under an isolated player call: two processes pass a request
 * and an answer through shared memory and nothing else, with the wait of
 * the player channel (spin, then futex with "sleeping" flags), for several
 * spin budgets, and with a bare futex for comparison. Prints nanoseconds
 * per round trip.
 *
 *   shm_floor           the table
 *   shm_floor chosen    only the figure for the spin budget in use
 */
#include <signal.h>
#include <stdio.h>
#include <string.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include "channel.h"

static double Now(void) {
  struct timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return (double)ts.tv_sec + (double)ts.tv_nsec * 1e-9;
}

/* Waits while the state word holds old: spins rounds, then sleeps. */
static uint32_t WaitWhile(PsChannel *ch, uint32_t old, uint32_t *my_sleeping, long spins) {
  uint32_t s = PsSpinWhile(ch, old, spins);
  while (s == old) s = PsSleepWhile(ch, old, my_sleeping, NULL);
  return s;
}

/* The bare futex: the waiter always sleeps, the waker always wakes. */
static uint32_t BareWaitWhile(PsChannel *ch, uint32_t old) {
  uint32_t s;
  while ((s = PsLoad(&ch->state)) == old) PsFutexWait(&ch->state, old, NULL);
  return s;
}

static void BareSignal(PsChannel *ch, uint32_t state) {
  PsStore(&ch->state, state);
  PsFutexWake(&ch->state);
}

/* The answering side: adds one to the argument until told to quit. */
static void Serve(PsChannel *ch, long spins) {
  for (;;) {
    uint32_t s = spins < 0 ? BareWaitWhile(ch, PS_CH_ANSWER)
                           : WaitWhile(ch, PS_CH_ANSWER, &ch->host_sleeping, spins);
    if (s == PS_CH_QUIT) _exit(0);
    ch->result = ch->args[0] + 1;
    if (spins < 0)
      BareSignal(ch, PS_CH_ANSWER);
    else
      PsSignal(ch, PS_CH_ANSWER, &ch->client_sleeping);
  }
}

/* Nanoseconds per round trip with this spin budget (-1: bare futex). */
static double RoundTrip(long spins, double seconds) {
  PsChannel *ch =
      mmap(NULL, sizeof(PsChannel), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
  if (ch == MAP_FAILED) return -1;
  memset(ch, 0, sizeof *ch);
  ch->state = PS_CH_ANSWER;
  pid_t pid = fork();
  if (pid == 0) Serve(ch, spins);
  long n = 0;
  int ok = 1;
  const double start = Now();
  double elapsed = 0;
  do {
    for (int i = 0; i < 1000; ++i, ++n) {
      ch->args[0] = (int32_t)n;
      if (spins < 0) {
        BareSignal(ch, PS_CH_REQUEST);
        BareWaitWhile(ch, PS_CH_REQUEST);
      } else {
        PsSignal(ch, PS_CH_REQUEST, &ch->host_sleeping);
        WaitWhile(ch, PS_CH_REQUEST, &ch->client_sleeping, spins);
      }
      ok &= ch->result == (int32_t)n + 1;
    }
    elapsed = Now() - start;
  } while (elapsed < seconds);
  if (spins < 0)
    BareSignal(ch, PS_CH_QUIT);
  else
    PsSignal(ch, PS_CH_QUIT, &ch->host_sleeping);
  waitpid(pid, NULL, 0);
  munmap(ch, sizeof *ch);
  return ok ? elapsed / (double)n * 1e9 : -1;
}

/* Nanoseconds of one spin round (a pause and a load). */
static double SpinRound(void) {
  PsChannel ch;
  memset(&ch, 0, sizeof ch);
  const long rounds = 2000000;
  const double start = Now();
  PsSpinWhile(&ch, 0, rounds);
  return (Now() - start) / (double)rounds * 1e9;
}

int main(int argc, char **argv) {
  if (argc > 1 && strcmp(argv[1], "chosen") == 0) {
    printf("%.0f\n", RoundTrip(PS_CHANNEL_SPINS, 1.0));
    return 0;
  }
  const double round = SpinRound();
  printf("one spin round (pause + load): %.1f ns\n\n", round);
  printf("%-28s %12s %14s\n", "wait", "spin budget", "ns/round trip");
  printf("%-28s %12s %14.0f\n", "bare futex", "-", RoundTrip(-1, 0.5));
  const long budgets[] = {0, 100, 1000, PS_CHANNEL_SPINS, 4 * PS_CHANNEL_SPINS};
  for (size_t i = 0; i < sizeof budgets / sizeof budgets[0]; ++i) {
    char label[64];
    snprintf(label, sizeof label, "spin, then futex%s",
             budgets[i] == PS_CHANNEL_SPINS ? " (in use)" : "");
    char budget[32];
    snprintf(budget, sizeof budget, "%.1f us", (double)budgets[i] * round * 1e-3);
    printf("%-28s %12s %14.0f\n", label, budget, RoundTrip(budgets[i], 0.5));
  }
  return 0;
}
