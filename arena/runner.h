// Plays a tournament: referee runs (one seat, many pairs' openings each) in
// folders of their own under the output folder, several at once, their
// match records read as they grow and turned into results lines; faults
// recorded and the rest of a faulty run started again; players retired
// after too many faults; the sequential test after every pair; resume from
// the results file; a live display; the verdict at the end.
#pragma once

#include <optional>
#include <string>

#include "error.h"
#include "schedule.h"

struct RunOptions {
  TournamentSettings settings;
  std::string out_dir = "arena-out";
  std::string referee;  // the pitsow program
  int concurrency = 1;
  int batch = 100;  // pairs per referee run
  bool resume = false;
  bool quiet = false;
  double run_limit_seconds = 0;  // a referee run may take; 0: from its rounds and limits
};

// How a tournament (or a merge) ended: the verdict, and what stopped it
// before its end, if anything.
struct TournamentEnd {
  std::string verdict;
  std::optional<Error> error;
  bool interrupted = false;  // by SIGINT or SIGTERM: to be resumed
};

// The tournament played; an Error when it could not begin.
Result<TournamentEnd> RunTournament(const RunOptions& options);
