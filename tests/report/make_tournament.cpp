// Writes the report of a made-up tournament and says how long it took.
//   make_tournament PLAYERS ROUNDS OUT.html
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "render.h"
#include "synthetic_tournament.h"

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: make_tournament PLAYERS ROUNDS OUT.html\n");
    return 64;
  }
  using Clock = std::chrono::steady_clock;
  const auto t0 = Clock::now();
  ReportData data = SyntheticTournament(std::atoi(argv[1]), std::atoll(argv[2]));
  const auto t1 = Clock::now();
  const std::string page = RenderReport(std::move(data));
  const auto t2 = Clock::now();
  std::ofstream(argv[3], std::ios::binary) << page;
  const auto ms = [](auto d) { return std::chrono::duration<double, std::milli>(d).count(); };
  std::printf("%s rounds: played %.0f ms, page rendered %.0f ms, %zu bytes\n", argv[2], ms(t1 - t0),
              ms(t2 - t1), page.size());
  return 0;
}
