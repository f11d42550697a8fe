#include "clock.h"

#include <time.h>

int64_t MonotonicNs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return int64_t{ts.tv_sec} * 1000000000 + ts.tv_nsec;
}

double MonotonicSeconds() { return static_cast<double>(MonotonicNs()) * 1e-9; }
