/*
 * The floor for writing a report page: formatting the given number of board
 * positions of 6 holes a side (14 numbers each) as decimal text into one
 * buffer, with nothing else. The report generator replays, encodes and lays
 * out the page besides; its time over this is its overhead.
 *
 *   report_floor STEPS      prints "steps bytes seconds"
 */
#include <stdio.h>
#include <stdlib.h>
#include <time.h>

static double Now(void) {
  struct timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return (double)ts.tv_sec + (double)ts.tv_nsec / 1e9;
}

int main(int argc, char **argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: report_floor STEPS\n");
    return 2;
  }
  const long steps = atol(argv[1]);
  char *out = malloc((size_t)steps * 14 * 4 + 1);
  if (!out) return 3;
  int value[14];
  for (int i = 0; i < 14; ++i) value[i] = i % 7 == 6 ? 0 : 4;
  const double start = Now();
  size_t len = 0;
  for (long s = 0; s < steps; ++s) {
    value[s % 14] = (value[s % 14] + 3) % 40; /* a changing board */
    for (int i = 0; i < 14; ++i) {
      int v = value[i];
      if (v >= 10) out[len++] = (char)('0' + v / 10);
      out[len++] = (char)('0' + v % 10);
      out[len++] = ',';
    }
  }
  const double seconds = Now() - start;
  printf("%ld %zu %.6f\n", steps, len, seconds);
  free(out);
  return 0;
}
