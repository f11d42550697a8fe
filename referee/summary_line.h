// The one line that ends a --quiet referee's console: the match's result
// in words, for people and scripts that do not read the log.
#pragma once

#include <cstdint>
#include <string>

struct MatchSummary {
  int32_t wins1 = 0, wins2 = 0, draws = 0;
  int32_t store1 = 0, store2 = 0;  // after the last round played
  long double elapsed = 0;         // seconds, as the log's last line
};

// "Player 1 won 3, player 2 won 1, 0 drawn; last round 40 : 32; elapsed
// 0.123 s", without line end; "no round played" in place of the last
// round's stores when there was none.
std::string SummaryLine(const MatchSummary& m);
