// The referee's own long options, GNU style (--name=value or --name value),
// beside the slash options of the command line, which keep their exact
// behaviour. Without any long option the referee plays as it always has.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "error.h"
#include "time_control.h"

struct LongOptions {
  std::string player[3];                 // [1], [2]: library files; empty: PsPlayerN.so
  bool isolate = false;                  // each player in a host process of its own
  bool sandbox = false;                  // each host confined (sandbox/); implies isolate
  std::vector<std::string> python_path;  // sandboxed: folders a Python player may import from
  double move_time = 0;          // seconds for each PsGetTurn when isolated; 0: no limit of its own
  double call_time = 10;         // seconds for every other call when isolated
  TimeControl time_control;      // CPU per round and per move when isolated
  double margin_seconds = 0.01;  // seconds forgiven past any limit
  long memory_mb = 0;            // address space of each host; 0: no limit
  bool forfeit = false;          // a rejected answer loses the round
  std::string results;           // the JSON Lines record of the match; empty: none
  std::string openings;          // the openings file; empty: none
  bool quiet = false;            // no progress display
};

// The arguments split in two: the long options (with a separate value
// where one is taken) and the rest, in their order.
struct SplitArgs {
  std::vector<std::string> long_args;
  std::vector<std::string> slash_args;
};
SplitArgs SplitArguments(const std::vector<std::string>& args);

// Reads the long options. A bad one gives a one-line report (exit 64).
std::optional<Error> ParseLongOptions(const std::vector<std::string>& long_args,
                                      LongOptions& options);

// The long options' part of the usage text, lines ending in CR LF.
std::string LongOptionsUsage();
