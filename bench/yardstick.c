/*
 * The yardstick for the referee's own cost: the same match of two random
 * players in one process, with the rules inlined and only what the console
 * output requires per Turn call: two clock readings and one unbuffered
 * write (the piece that ends one call's progress goes out with the piece
 * that starts the next). Whatever the referee spends beyond this is its
 * overhead.
 *
 *   cc -O2 -o yardstick yardstick.c && ./yardstick 20000 > /dev/null
 *
 * Prints "rounds turn-calls seconds" on stderr.
 */
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

enum { N = 6, BONES = 6, MAX_TURNS = 300 };

static int32_t holes[3][N], store[3];
static uint32_t seed[3];

static long double Now(void) {
  struct timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return (long double)ts.tv_sec + (long double)ts.tv_nsec / 1e9L;
}

static void Put(const char *text, int length) {
  if (write(1, text, (size_t)length) != length) exit(3);
}

/* Appends v right-aligned in width columns; returns the new length. */
static int PutNumber(char *text, int length, long v, int width) {
  char digits[24];
  int n = 0;
  do digits[n++] = (char)('0' + v % 10);
  while ((v /= 10) != 0);
  for (; width > n; --width) text[length++] = ' ';
  while (n > 0) text[length++] = digits[--n];
  return length;
}

static int RandomHole(int p) {
  uint32_t count = 0;
  for (int i = 0; i < N; ++i) count += holes[p][i] > 0;
  if (count == 0) return 0;
  seed[p] = seed[p] * 134775813u + 1u;
  uint32_t r = (uint32_t)(((uint64_t)seed[p] * count) >> 32) + 1;
  int answer = 0;
  while (r > 0)
    if (holes[p][answer++] > 0) --r;
  return answer;
}

/* Plays hole m of player p; returns 1 when the last bone fell in the store. */
static int Sow(int p, int m) {
  int32_t *my = holes[p], *opp = holes[3 - p];
  int32_t hand = my[m - 1];
  my[m - 1] = 0;
  int start = m + 1, extra = 0;
  do {
    extra = 0;
    for (int i = start; i <= N && hand > 0; ++i) {
      ++my[i - 1];
      if (--hand == 0 && my[i - 1] == 1 && opp[N - i] > 0) {
        store[p] += opp[N - i] + 1;
        opp[N - i] = my[i - 1] = 0;
      }
    }
    start = 1;
    if (hand > 0) {
      ++store[p];
      extra = --hand == 0;
    }
    for (int i = 1; i <= N && hand > 0; ++i, --hand) ++opp[i - 1];
  } while (hand > 0);
  return extra;
}

static int Over(void) {
  int s1 = 0, s2 = 0;
  for (int i = 0; i < N; ++i) s1 += holes[1][i], s2 += holes[2][i];
  return store[1] > N * BONES || store[2] > N * BONES || s1 == 0 || s2 == 0;
}

int main(int argc, char **argv) {
  const long rounds = argc > 1 ? atol(argv[1]) : 20000;
  const long double start = Now();
  long calls = 0;
  seed[1] = (uint32_t)time(NULL);
  seed[2] = seed[1] + 10;
  for (long round = 0; round < rounds; ++round) {
    for (int i = 0; i < N; ++i) holes[1][i] = holes[2][i] = BONES;
    store[1] = store[2] = 0;
    int player = 1, turns = 0, over = 0;
    char text[160];
    int length = 0; /* the previous call's time, not yet written */
    do {
      memset(text + length, '\b', 37);
      length += 37;
      memcpy(text + length, "Turn: ", 6);
      length = PutNumber(text, length + 6, turns, 4);
      memcpy(text + length, " Player ", 8);
      length = PutNumber(text, length + 8, player, 0);
      Put(text, length);
      const long double t0 = Now();
      for (;;) {
        const int m = RandomHole(player);
        if (m < 1 || m > N) {
          over = 1;
          break;
        }
        const int extra = Sow(player, m);
        over = Over();
        ++turns;
        if (!extra || over) {
          if (!extra) player = 3 - player;
          break;
        }
      }
      const long double t1 = Now();
      const long units = (long)((t1 - t0) * 10000 + 0.5L);
      memcpy(text, " Time: ", 7);
      length = PutNumber(text, 7, units / 10000, 1);
      text[length++] = '.';
      length = PutNumber(text, length, 10000 + units % 10000, 0);
      memmove(text + length - 5, text + length - 4, 4); /* drop the leading 1 */
      --length;
      memcpy(text + length, " s", 2);
      length += 2;
      ++calls;
    } while (!over && turns < MAX_TURNS);
    Put(text, length);
  }
  fprintf(stderr, "%ld %ld %.6Lf\n", rounds, calls, Now() - start);
  return 0;
}
