// pitsow-solve: builds the endgame tables and answers from them: a
// position's value and its moves', a small board from its start, the
// status of the tables.
#include <CLI/CLI.hpp>
#include <cstdio>

#include "exit_status.h"
#include "parse_command_line.h"
#include "solve.h"

namespace {

int Fail(const Error& error) {
  std::fprintf(stderr, "pitsow-solve: %s\n", error.text.c_str());
  return error.status != 0 ? error.status : kExitToolFailed;
}

int Print(const Result<std::string>& text) {
  if (!text) return Fail(text.error());
  std::fputs(text->c_str(), stdout);
  return kExitOk;
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"Endgame tables of Pitsow: build them, and solve positions and small boards."};
  app.require_subcommand(1);
  std::string dir;
  app.add_option("--dir", dir, "the tables' folder (default $XDG_CACHE_HOME/pitsow)");
  int holes = 0, bones = kDefaultEndgameBones, threads = 0;
  CLI::App* build = app.add_subcommand("build", "build the tables that are missing or refused");
  build->add_option("--holes", holes, "only this width, 1 to 6 (default: every width)")
      ->check(CLI::Range(1, 6));
  build->add_option("--bones", bones, "up to this many bones on the board (default 20)")
      ->check(CLI::Range(0, PS_EG_MAX_LEVEL));
  build->add_option("--threads", threads, "threads (default: every core)")
      ->check(CLI::Range(1, 256));
  app.add_subcommand("status", "what is built, its size and where");
  PositionQuery query;
  CLI::App* position = app.add_subcommand("position", "a position's value and each move's");
  std::string row1, row2;
  position->add_option("ROW1", row1, "player 1's holes 1..n, e.g. 0,2,1")->required();
  position->add_option("ROW2", row2, "player 2's holes 1..n, e.g. 3,0,1")->required();
  position->add_option("--mover", query.mover, "the player to move, 1 or 2 (default 1)")
      ->check(CLI::Range(1, 2));
  position->add_option("--store1", query.store1, "player 1's store (default 0)");
  position->add_option("--store2", query.store2, "player 2's store (default 0)");
  position
      ->add_option("--depth", query.depth,
                   "above the tables' reach, search this many moves deep (default 8)")
      ->check(CLI::Range(1, kMaxSearchDepth));
  int start_holes = 6, start_bones = 1;
  CLI::App* start = app.add_subcommand("start", "a small board from its start");
  start->add_option("--holes", start_holes, "holes a side, 1 to 6")
      ->required()
      ->check(CLI::Range(1, 6));
  start->add_option("--bones", start_bones, "bones a hole")->required()->check(CLI::Range(0, 24));
  app.add_subcommand("starts", "every board whose start the tables solve");
  if (const auto end = ParseCommandLine(app, argc, argv, "pitsow-solve")) return *end;

  if (dir.empty()) {
    const Result<std::string> cache = EndgameCacheDir();
    if (!cache) return Fail(cache.error());
    dir = *cache;
  }
  if (build->parsed()) {
    for (int h = holes > 0 ? holes : 1; h <= (holes > 0 ? holes : PS_MAX_HOLES); ++h) {
      BuildOptions options{dir, h, bones, threads, true};
      const Result<std::vector<LevelNote>> notes = BuildTables(options);
      if (!notes) return Fail(notes.error());
      for (const LevelNote& note : *notes)
        if (!note.refused.empty())
          std::fprintf(stderr, "pitsow-solve: holes %d level %d was %s: rebuilt\n", h, note.level,
                       note.refused.c_str());
    }
    std::fputs(DescribeStatus(dir).c_str(), stdout);
    return kExitOk;
  }
  if (position->parsed()) {
    Result<std::vector<int32_t>> first = ParseRow(row1), second = ParseRow(row2);
    if (!first) return Fail(first.error());
    if (!second) return Fail(second.error());
    query.row1 = *first;
    query.row2 = *second;
    return Print(DescribePosition(dir, query));
  }
  if (start->parsed()) return Print(DescribeStart(dir, start_holes, start_bones));
  if (app.got_subcommand("starts")) {
    std::fputs(DescribeStarts(dir).c_str(), stdout);
    return kExitOk;
  }
  std::fputs(DescribeStatus(dir).c_str(), stdout);
  return kExitOk;
}
