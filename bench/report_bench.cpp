// The report page of made-up tournaments of 1000 to 20000 rounds: the time
// to render it (sampling, replaying the kept rounds by the rules, charts,
// page) beside the floor of formatting as many positions in C.
//
//   report_bench <report_floor>
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "render.h"
#include "synthetic_tournament.h"

namespace {

double Now() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

// The floor program's seconds for this many positions.
double Floor(const std::string& exe, long steps) {
  const std::string cmd = exe + " " + std::to_string(steps);
  FILE* p = popen(cmd.c_str(), "r");
  long s = 0;
  size_t bytes = 0;
  double seconds = 0;
  if (!p || std::fscanf(p, "%ld %zu %lf", &s, &bytes, &seconds) != 3) seconds = -1;
  if (p) pclose(p);
  return seconds;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: report_bench <report_floor>\n");
    return 2;
  }
  std::printf("| %-22s | %6s | %7s | %9s | %9s | %9s | %6s |\n", "report of 3 players", "rounds",
              "kept", "positions", "render ms", "floor ms", "MB");
  std::printf("|%s|%s|%s|%s|%s|%s|%s|\n", std::string(24, '-').c_str(), std::string(8, '-').c_str(),
              std::string(9, '-').c_str(), std::string(11, '-').c_str(),
              std::string(11, '-').c_str(), std::string(11, '-').c_str(),
              std::string(8, '-').c_str());
  for (long rounds : {1000L, 5000L, 20000L}) {
    const ReportData data = SyntheticTournament(3, rounds);
    ReportData kept = data;
    SampleRounds(kept);
    long positions = 0;
    for (const RoundView& r : kept.rounds) {
      positions += 1 + static_cast<long>(r.opening.size() + r.moves.size());
    }
    std::vector<double> times;
    size_t bytes = 0;
    for (int run = 0; run < 3; ++run) {
      const double start = Now();
      bytes = RenderReport(data).size();
      times.push_back(Now() - start);
    }
    std::sort(times.begin(), times.end());
    std::printf("| %-22s | %6ld | %7zu | %9ld | %9.0f | %9.1f | %6.2f |\n", "round robin, sampled",
                rounds, kept.rounds.size(), positions, times[1] * 1000,
                Floor(argv[1], positions) * 1000, static_cast<double>(bytes) / 1e6);
  }
  return 0;
}
