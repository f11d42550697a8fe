// The endgame tables: the build of 6 holes up to 20 bones (wall and CPU
// time, bytes on disk per position) and a lookup of a random position of
// level 20, beside the floors endgame_floor measures in the same run on the
// level's file: one pass over its bytes, one random byte read.
//
//   endgame_bench ENDGAME_FLOOR [BONES]
#include <stdlib.h>
#include <sys/resource.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "endgame.h"

namespace {

double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double Now() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: endgame_bench ENDGAME_FLOOR [BONES]\n");
    return 2;
  }
  const int bones = argc > 2 ? std::atoi(argv[2]) : 20;
  char name[] = "/tmp/pitsow-endgame-bench-XXXXXX";
  const std::string dir = std::string(mkdtemp(name)) + "/pitsow";
  const double start = Now(), cpu = CpuSeconds();
  const auto built = BuildTables({dir, 6, bones, 0, false});
  const double wall = Now() - start, used = CpuSeconds() - cpu;
  if (!built) {
    std::fprintf(stderr, "endgame_bench: %s\n", built.error().text.c_str());
    return 1;
  }
  auto tables = EndgameTables::Open(dir, 6);
  if (!tables) return 1;
  uint64_t positions = 0, bytes = 0;
  for (const LevelFile& file : ScanTables(dir, 6, bones)) {
    positions += file.positions;
    bytes += file.bytes;
  }
  // Lookups of random positions of the top level, drawn beforehand.
  const PsEgTables& raw = tables->Raw();
  const uint64_t count = PsEgCount(&raw, bones);
  constexpr int kDrawn = 1 << 16, kLookups = 4000000;
  std::vector<std::array<int32_t, 12>> drawn(kDrawn);
  std::mt19937_64 random(20);
  for (auto& counts : drawn) PsEgUnrank(&raw, random() % count, bones, counts.data());
  long sum = 0;
  const double lookup_start = Now();
  for (int i = 0; i < kLookups; ++i) {
    const auto& counts = drawn[i & (kDrawn - 1)];
    sum += PsEgValue(&raw, counts.data(), counts.data() + 6);
  }
  const double lookup_ns = (Now() - lookup_start) / kLookups * 1e9;
  // Searches above the reach: positions of 8 bones more, at the report's
  // depth and pitsow-solve's.
  constexpr int kSearched = 200;
  const int above = std::min(bones + 8, PS_EG_MAX_LEVEL);
  const uint64_t above_count = PsEgCount(&raw, above);
  double search_ms[2] = {0, 0};
  for (int d = 0; d < 2; ++d) {
    const int depth = d == 0 ? kReportSearchDepth : kDefaultSearchDepth;
    std::mt19937_64 same(8);
    const double search_start = Now();
    for (int i = 0; i < kSearched; ++i) {
      std::array<int32_t, 12> counts{};
      PsEgUnrank(&raw, same() % above_count, above, counts.data());
      const auto searched = SearchPosition(*tables, counts.data(), counts.data() + 6, depth);
      sum += searched ? searched->value : 0;
    }
    search_ms[d] = (Now() - search_start) / kSearched * 1e3;
  }

  char path[PS_EG_PATH_SIZE];
  PsEgLevelPath(path, sizeof path, dir.c_str(), 6, bones);
  const std::string floor = std::string(argv[1]) + " " + path + " " + std::to_string(kLookups);
  FILE* pipe = popen(floor.c_str(), "r");
  long long level_bytes = 0;
  double pass_seconds = 0, read_ns = 0;
  if (!pipe || std::fscanf(pipe, "%lld %lf %lf", &level_bytes, &pass_seconds, &read_ns) != 3)
    return 1;
  pclose(pipe);

  std::printf("| %-40s | %12s | %12s |\n", "endgame tables, 6 holes", "measured", "floor");
  std::printf("|%s|%s|%s|\n", std::string(42, '-').c_str(), std::string(14, '-').c_str(),
              std::string(14, '-').c_str());
  std::printf("| build up to %2d bones, wall (%2u threads)   | %10.1f s | %10.3f s |\n", bones,
              std::thread::hardware_concurrency(), wall, pass_seconds);
  std::printf("| build, CPU time of all threads           | %10.1f s |              |\n", used);
  std::printf("| positions / bytes on disk                | %12llu | %12llu |\n",
              static_cast<unsigned long long>(positions), static_cast<unsigned long long>(bytes));
  std::printf("| lookup of a level-%2d position            | %9.1f ns | %9.1f ns |\n", bones,
              lookup_ns, read_ns);
  std::printf("| search of a level-%2d position, depth %2d  | %9.2f ms |              |\n", above,
              kReportSearchDepth, search_ms[0]);
  std::printf("| search of a level-%2d position, depth %2d  | %9.2f ms |              |\n", above,
              kDefaultSearchDepth, search_ms[1]);
  std::printf(
      "(floors: one pass over the level-%d file's %lld bytes; one random byte read of it)"
      " %ld\n",
      bones, level_bytes, sum & 1);
  std::filesystem::remove_all(std::filesystem::path(dir).parent_path());
  return 0;
}
