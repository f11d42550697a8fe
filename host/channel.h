/*
 * The shared-memory channel between a client (the referee) and the host
 * process that runs one player library. One channel per player; the client
 * creates it as a memfd, the host maps the same descriptor.
 *
 * The state word drives everything: the client fills the request and sets
 * PS_CH_REQUEST; the host makes the call, fills the answer and sets
 * PS_CH_ANSWER. The client asks the host to end with PS_CH_QUIT. A host that
 * dies in a call (signal, exit()) writes what happened into the fault fields
 * and sets PS_CH_HOST_DEAD before it goes.
 *
 * Waiting spins and yields briefly, then sleeps on the state word with
 * FUTEX_WAIT; each side raises its "sleeping" flag before it sleeps, and
 * the other side issues FUTEX_WAKE only when that flag is up. A quick round
 * trip so makes no futex call at all.
 *
 * Plain C, shared by the host, the client and the C benchmark.
 */
#ifndef PITSOW_HOST_CHANNEL_H
#define PITSOW_HOST_CHANNEL_H

#include <linux/futex.h>
#include <sched.h>
#include <stddef.h>
#include <stdint.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include "PsComm.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Values of the state word. */
enum { PS_CH_IDLE = 0, PS_CH_REQUEST = 1, PS_CH_ANSWER = 2, PS_CH_QUIT = 3, PS_CH_HOST_DEAD = 4 };

/* Which call a request asks for. PS_CALL_LOAD is the host's first job:
 * load the library and bind its entry points. */
enum {
  PS_CALL_LOAD = 0,
  PS_CALL_INIT = 1,
  PS_CALL_GET_TURN = 2,
  PS_CALL_OPP_TURN = 3,
  PS_CALL_END_ROUND = 4,
  PS_CALL_DONE = 5
};

/* What the host recorded about its own end (fault_kind). */
enum {
  PS_FAULT_NONE = 0,
  PS_FAULT_SIGNAL = 1,        /* a fatal signal, see fault_signal */
  PS_FAULT_OUT_OF_MEMORY = 2, /* a fatal signal close to the memory limit */
  PS_FAULT_PAST_RECORD = 3,   /* a write into the page behind the record */
  PS_FAULT_PAST_ROWS = 4,     /* a write into the page behind the rows */
  PS_FAULT_EXIT = 5           /* exit() called during a call */
};

#define PS_CHANNEL_TEXT 1024

/* One waiter's history, in words only that waiter writes; all zero is a
 * fresh start. */
typedef struct PsWaiter {
  int32_t countdown; /* waits left without yielding */
  int32_t interval;  /* waits without yielding after the last failure */
  int32_t streak;    /* yield phases in a row that ended the wait */
} PsWaiter;

typedef struct PsChannel {
  /* Synchronisation: each word on a cache line of its own. */
  uint32_t state; /* the futex word */
  uint8_t pad0[60];
  uint32_t host_sleeping; /* host is in, or about to enter, FUTEX_WAIT */
  PsWaiter host_waiter;   /* how the host's waits went (PsWaitBriefly) */
  uint8_t pad1[48];
  uint32_t client_sleeping; /* client is in, or about to enter, FUTEX_WAIT */
  PsWaiter client_waiter;   /* how the client's waits went */
  uint8_t pad2[48];

  /* Request. */
  int32_t call;    /* PS_CALL_... */
  int32_t args[4]; /* GetTurn: stores; OppTurn: hole; EndRound: my, opp, turns */
  HoleRow my_holes;
  HoleRow opp_holes;
  PsInfo info; /* PsInit: sent filled in, answered back */

  /* Answer. */
  int32_t result; /* GetTurn: the hole; Init: the PsBool; Load: 0 ok, else failed */

  /* The host's end, written before it dies. */
  int32_t fault_kind;         /* PS_FAULT_... */
  int32_t fault_signal;       /* the signal, for a signal fault */
  int32_t fault_call;         /* the call in progress */
  int32_t fault_syscall;      /* a refused system call's number, else -1 */
  char text[PS_CHANNEL_TEXT]; /* load error or fault detail, 0-terminated */
} PsChannel;

PS_STATIC_ASSERT(offsetof(PsChannel, host_sleeping) == 64, channel_host_flag);
PS_STATIC_ASSERT(offsetof(PsChannel, client_sleeping) == 128, channel_client_flag);
PS_STATIC_ASSERT(offsetof(PsChannel, call) == 192, channel_request);
PS_STATIC_ASSERT(offsetof(PsChannel, info) == 260, channel_info);
PS_STATIC_ASSERT(offsetof(PsChannel, result) == 612, channel_answer);
PS_STATIC_ASSERT(offsetof(PsChannel, text) == 632, channel_text);
PS_STATIC_ASSERT(sizeof(PsChannel) == 1656, channel_size);
PS_STATIC_ASSERT(sizeof(PsChannel) <= 4096, channel_fits_a_page);

/* How a waiter waits before it sleeps. A match is three processes (the
 * referee and two hosts) on as few as two CPUs, of which only one has work
 * at any moment. Sleeping on the futex costs tens of microseconds, mostly
 * the wake-up of an idle CPU; spinning costs nothing while the other side
 * has a CPU of its own, but with three processes on two CPUs a spinner may
 * hold the CPU that the side it waits for needs. So a waiter spins a few
 * rounds (a pause and a load, about 25 ns each), then yields its CPU in a
 * loop for up to PS_CHANNEL_YIELD_NS: the CPU never goes idle, and any
 * process queued on it runs at once. Only then does it sleep. Yielding
 * still takes CPU time from other work on the machine (another match's
 * player thinking), so a waiter whose yields did not end its wait skips
 * them for its next PS_CHANNEL_PROBE_MIN waits, an interval that doubles
 * with each further failure up to PS_CHANNEL_PROBE_MAX, and falls back to
 * the minimum after PS_CHANNEL_STREAK successes: a fast match keeps
 * yielding, a match of slow movers soon sleeps at once. bench/shm_floor
 * measures the choices, with two processes and with three. */
#define PS_CHANNEL_SPINS 16
#ifndef PS_CHANNEL_YIELD_NS
#define PS_CHANNEL_YIELD_NS 50000
#endif
#define PS_CHANNEL_PROBE_MIN 16
#define PS_CHANNEL_PROBE_MAX 1024
#define PS_CHANNEL_STREAK 64

static inline void PsCpuRelax(void) {
#if defined(__x86_64__) || defined(__i386__)
  __builtin_ia32_pause();
#elif defined(__aarch64__)
  __asm__ __volatile__("yield");
#endif
}

static inline uint32_t PsLoad(const uint32_t *word) {
  return __atomic_load_n(word, __ATOMIC_SEQ_CST);
}

static inline void PsStore(uint32_t *word, uint32_t value) {
  __atomic_store_n(word, value, __ATOMIC_SEQ_CST);
}

/* FUTEX_WAIT on a word shared between processes; timeout NULL waits for
 * ever. Returns as the system call does (-1 with errno on EINTR, EAGAIN,
 * ETIMEDOUT); callers recheck the word in any case. */
static inline long PsFutexWait(uint32_t *word, uint32_t expected, const struct timespec *timeout) {
  return syscall(SYS_futex, word, FUTEX_WAIT, expected, timeout, NULL, 0);
}

static inline void PsFutexWake(uint32_t *word) {
  syscall(SYS_futex, word, FUTEX_WAKE, 1, NULL, NULL, 0);
}

/* Sets the state word and wakes the other side only when it may sleep. */
static inline void PsSignal(PsChannel *ch, uint32_t state, uint32_t *other_sleeping) {
  PsStore(&ch->state, state);
  if (PsLoad(other_sleeping)) PsFutexWake(&ch->state);
}

/* Spins up to spins rounds while the state word holds old; returns the
 * state seen last. */
static inline uint32_t PsSpinWhile(PsChannel *ch, uint32_t old, long spins) {
  uint32_t s = PsLoad(&ch->state);
  for (long i = 0; s == old && i < spins; ++i) {
    PsCpuRelax();
    s = PsLoad(&ch->state);
  }
  return s;
}

static inline double PsSeconds(void) {
  struct timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return (double)ts.tv_sec + (double)ts.tv_nsec * 1e-9;
}

/* Yields the CPU in a loop while the state word holds old, for up to ns
 * nanoseconds; returns the state seen last. */
static inline uint32_t PsYieldWhile(PsChannel *ch, uint32_t old, long ns) {
  uint32_t s = PsLoad(&ch->state);
  if (s != old) return s;
  const double end = PsSeconds() + (double)ns * 1e-9;
  for (unsigned i = 1; (s = PsLoad(&ch->state)) == old; ++i) {
    sched_yield();
    if (i % 16 == 0 && PsSeconds() > end) break;
  }
  return s;
}

/* Waits while the state word holds old without sleeping: a short spin,
 * then yields unless the waiter's history says they do not pay (see
 * PS_CHANNEL_YIELD_NS); returns the state seen last. */
static inline uint32_t PsWaitBriefly(PsChannel *ch, uint32_t old, PsWaiter *w) {
  uint32_t s = PsSpinWhile(ch, old, PS_CHANNEL_SPINS);
  if (s != old) return s;
  if (w->interval < PS_CHANNEL_PROBE_MIN || w->interval > PS_CHANNEL_PROBE_MAX)
    w->interval = PS_CHANNEL_PROBE_MIN;
  if (w->countdown > 0) {
    --w->countdown;
    return s;
  }
  s = PsYieldWhile(ch, old, PS_CHANNEL_YIELD_NS);
  if (s != old) {
    if (++w->streak >= PS_CHANNEL_STREAK) w->interval = PS_CHANNEL_PROBE_MIN;
  } else {
    w->streak = 0;
    w->countdown = w->interval;
    if (w->interval < PS_CHANNEL_PROBE_MAX) w->interval *= 2;
  }
  return s;
}

/* One sleep while the state word holds old, at most timeout (NULL: no
 * limit), with my_sleeping raised around it; returns the state seen after.
 * The flag is raised before the word is read again, and the waker sets the
 * word before it reads the flag, so a wake-up is never lost. */
static inline uint32_t PsSleepWhile(PsChannel *ch, uint32_t old, uint32_t *my_sleeping,
                                    const struct timespec *timeout) {
  PsStore(my_sleeping, 1);
  if (PsLoad(&ch->state) == old) PsFutexWait(&ch->state, old, timeout);
  PsStore(my_sleeping, 0);
  return PsLoad(&ch->state);
}

#ifdef __cplusplus
}
#endif

#endif /* PITSOW_HOST_CHANNEL_H */
