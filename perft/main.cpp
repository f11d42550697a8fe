// pitsow-perft HOLES BONES DEPTH: prints the move-generator count of every
// depth from 1 to DEPTH, from the filled board.
#include <CLI/CLI.hpp>
#include <cstdio>

#include "exit_status.h"
#include "parse_command_line.h"
#include "perft.h"

int main(int argc, char** argv) {
  CLI::App app{"Counts the lines of play of each depth from the filled board of HOLES x BONES."};
  int32_t holes = 6, bones = 4;
  int depth = 1;
  app.add_option("HOLES", holes, "holes per side, 1 to 6")->required();
  app.add_option("BONES", bones, "bones per hole")->required();
  app.add_option("DEPTH", depth, "deepest depth to count")->required()->check(CLI::Range(0, 64));
  if (const auto end = ParseCommandLine(app, argc, argv, "pitsow-perft")) return *end;
  const Result<std::vector<uint64_t>> counts = CountFromStart(holes, bones, depth);
  if (!counts) {
    std::fprintf(stderr, "pitsow-perft: %s\n", counts.error().text.c_str());
    return kExitUsage;
  }
  for (size_t d = 0; d < counts->size(); ++d)
    std::printf("perft(%zu) = %llu\n", d + 1, static_cast<unsigned long long>((*counts)[d]));
  return kExitOk;
}
