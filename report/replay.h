// The positions of a recorded round, worked out by the rules header
// from its opening and its moves, with what each step did, so that a page
// can show the round move by move without knowing the rules.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "error.h"

enum class StepKind : uint8_t { Start, Opening, Move, Sweep };

struct ReplayStep {
  StepKind kind = StepKind::Start;
  int player = 0;      // who moved (Opening, Move), else 0
  int hole = 0;        // the hole played, on the mover's side
  bool pass = false;   // the hole was empty: nothing was sown
  bool extra = false;  // the last bone fell into the mover's store
  int captured = 0;    // the mover's hole that captured, or 0
  bool over = false;   // the round was decided after this step
  // The board after the step: row[0] player 1's holes 1..n, row[1] player
  // 2's, store[0] and store[1] the two stores.
  std::array<std::vector<int64_t>, 2> row;
  std::array<int64_t, 2> store = {0, 0};
};

struct Replay {
  std::vector<ReplayStep> steps;  // the start, then one per step
  std::optional<Error> error;     // where the record and the rules disagree
};

// Replays a round of holes x bones: the opening (player 1 first, an extra
// move keeps the mover), the recorded moves [player, hole], then the
// end-of-round sweep as a step of its own when it moves bones. Stops at the
// first step the rules do not allow and says why in error.
Replay ReplayRound(int holes, int bones, const std::vector<int>& opening,
                   const std::vector<std::array<int, 2>>& moves);
