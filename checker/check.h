// pitsow-check's core: runs a player library in isolated hosts and checks
// what a referee relies on (the entry points, the PsInit record, answers
// to many reachable positions, whole matches in the documented order,
// faults, memory growth, time per move), as a checklist.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct CheckOptions {
  std::string library;    // the player library under test
  std::string host_exe;   // pitsow-host
  double move_time = 2;   // limit of each PsGetTurn
  double call_time = 10;  // limit of each other call
  long memory_mb = 0;     // the host's address space in MiB; 0: none
  bool sandbox = false;   // the player confined (sandbox/), its folder playerN/ here
  long growth_mb = 64;    // the most the long match may grow the host's RSS
  long positions = 3000;  // positions asked over the board sizes
  long rounds = 1000;     // rounds of the long match
  uint64_t seed = 1;      // the random games
  int32_t param = 0;      // the player's Param
};

enum class Mark { Ok, Warn, Fail };

// One line of the checklist: what was checked and, for a warning or a
// failure, why.
struct CheckLine {
  Mark mark = Mark::Ok;
  std::string text;
};

struct CheckResult {
  std::vector<CheckLine> lines;
  bool loaded = true;  // false: the library or an entry point could not be bound
};

// Runs every check in turn; each line goes to on_line as soon as it is
// decided (may be empty).
CheckResult RunChecks(const CheckOptions& options,
                      const std::function<void(const CheckLine&)>& on_line = nullptr);

// "[ok]   text", "[warn] text", "[FAIL] text".
std::string FormatLine(const CheckLine& line);

// 0 when every hard check passed, 1 when one failed, 2 when the library
// could not be loaded.
int CheckExitStatus(const CheckResult& result);
