#include "mytimer.h"

#include <time.h>

#include <cstdint>

namespace {

// The monotonic clock counts nanoseconds: 64-bit counts converted to long
// double stay exact, and the difference is taken before the division.
constexpr long double TimerFreq = 1e9L;
long double TimerStart = 0;

int64_t Counter() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return int64_t{ts.tv_sec} * 1000000000 + ts.tv_nsec;
}

[[gnu::constructor]] void StartTimer() { InitTimerQ(); }

}  // namespace

void InitTimerQ() { TimerStart = static_cast<long double>(Counter()); }

long double GetTimer_Q() { return (static_cast<long double>(Counter()) - TimerStart) / TimerFreq; }
