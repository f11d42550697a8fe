// Plays a tournament: referee runs (one seat, many pairs' openings each) in
// folders of their own under the output folder, several at once, their
// match records read as they grow and turned into results lines; faults
// recorded and the rest of a faulty run started again; players retired
// after too many faults; the sequential test after every pair; resume from
// the results file; a live display; the verdict at the end.
#pragma once

#include <string>

#include "schedule.h"

struct RunOptions {
  TournamentSettings settings;
  std::string out_dir = "arena-out";
  std::string referee;  // the pitsow program
  int concurrency = 1;
  int batch = 100;  // pairs per referee run
  bool resume = false;
  bool quiet = false;
  double run_limit = 0;  // seconds a referee run may take; 0: from its rounds and limits
};

struct RunResult {
  int status = 0;     // the program's exit status
  std::string error;  // one line when something stopped the run
  std::string verdict;
};

RunResult RunTournament(const RunOptions& options);

// Combines shard folders into one verdict, and into one results file in
// out_dir when given; status 0, or an error line.
RunResult MergeShards(const std::vector<std::string>& dirs, const std::string& out_dir);
