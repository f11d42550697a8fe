#include "mytimer.h"

#include <cstdint>

#include "clock.h"

namespace {

// The monotonic clock counts nanoseconds: 64-bit counts converted to long
// double stay exact, and the difference is taken before the division.
constexpr long double TimerFreq = 1e9L;
long double TimerStart = 0;

[[gnu::constructor]] void StartTimer() { InitTimerQ(); }

}  // namespace

void InitTimerQ() { TimerStart = static_cast<long double>(MonotonicNs()); }

long double GetTimer_Q() {
  return (static_cast<long double>(MonotonicNs()) - TimerStart) / TimerFreq;
}
