// Timing for the benches that set a call beside its floor: the monotonic
// clock and the median, over a few runs, of nanoseconds per call.
#pragma once

#include <time.h>

#include <algorithm>
#include <cstdio>
#include <string>
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

// The shared-memory floor for `processes` (2: one host; 3: two in a
// match's order): the median of kRuns runs of `shm_floor chosen N`.
inline double ShmFloor(const std::string& shm_floor, int processes) {
  std::vector<double> ns;
  for (int r = 0; r < kRuns; ++r) {
    FILE* p = popen((shm_floor + " chosen " + std::to_string(processes)).c_str(), "r");
    double v = -1;
    if (p == nullptr || std::fscanf(p, "%lf", &v) != 1) v = -1;
    if (p != nullptr) pclose(p);
    ns.push_back(v);
  }
  std::sort(ns.begin(), ns.end());
  return ns[ns.size() / 2];
}

}  // namespace bench_timing
