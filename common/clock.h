// The one clock for measuring durations: the monotonic counter, which no
// change of the wall clock moves.
#pragma once

#include <cstdint>

// Nanoseconds since an arbitrary fixed point.
int64_t MonotonicNs();

// The same in seconds, for deadlines and display.
double MonotonicSeconds();
