#include "summary_line.h"

#include "number_format.h"

std::string SummaryLine(const MatchSummary& m) {
  std::string line = "Player 1 won " + std::to_string(m.wins1) + ", player 2 won " +
                     std::to_string(m.wins2) + ", " + std::to_string(m.draws) + " drawn; ";
  if (m.wins1 + m.wins2 + m.draws == 0) {
    line += "no round played";
  } else {
    line += "last round " + std::to_string(m.store1) + " : " + std::to_string(m.store2);
  }
  line += "; elapsed ";
  AppendFixed(line, m.elapsed, 1, 3);
  return line + " s";
}
