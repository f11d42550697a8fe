// pitsow-solve's work, as texts for its main to print: the status of the
// tables, one position with every move's value, a small board from its
// start, and the table of every start the tables solve.
#pragma once

#include <string>
#include <vector>

#include "endgame.h"
#include "error.h"

// What is built in dir for every width: levels, positions, bytes, problems.
std::string DescribeStatus(const std::string& dir);

// A position: player 1's and player 2's rows (holes 1..n), the mover (1 or
// 2) and the stores (for who wins from here). Above the tables' reach it
// is searched to depth, with the tables at the leaves.
struct PositionQuery {
  std::vector<int32_t> row1, row2;
  int mover = 1;
  int32_t store1 = 0, store2 = 0;
  int depth = kDefaultSearchDepth;
};
// A row written as counts with commas between, "0,2,1".
Result<std::vector<int32_t>> ParseRow(const std::string& text);
Result<std::string> DescribePosition(const std::string& dir, const PositionQuery& query);

// The perfect-play result of holes x bones from the filled board.
struct StartResult {
  int value = 0;          // for player 1, who opens: the played-out margin
  std::vector<int> best;  // player 1's best first moves
};
Result<StartResult> SolveStart(const EndgameTables& tables, int bones);
Result<std::string> DescribeStart(const std::string& dir, int holes, int bones);

// Every board of 1..6 holes whose start the tables in dir cover.
std::string DescribeStarts(const std::string& dir);
