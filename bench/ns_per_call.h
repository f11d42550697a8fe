// Timing for the benches that set a call beside its floor: the monotonic
// clock and the median, over a few runs, of nanoseconds per call.
#pragma once

#include <time.h>

#include <algorithm>
#include <vector>

namespace bench_timing {

constexpr int kRuns = 5;
constexpr double kRunSeconds = 0.3;

inline double Now() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

// Median over runs of nanoseconds per call of f (which makes 1000 calls).
template <typename F>
double NsPerCall(F f) {
  std::vector<double> ns;
  for (int r = 0; r < kRuns; ++r) {
    long calls = 0;
    const double start = Now();
    double elapsed = 0;
    do {
      f();
      calls += 1000;
      elapsed = Now() - start;
    } while (elapsed < kRunSeconds);
    ns.push_back(elapsed / static_cast<double>(calls) * 1e9);
  }
  std::sort(ns.begin(), ns.end());
  return ns[ns.size() / 2];
}

}  // namespace bench_timing
