#include "live_display.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include "clock.h"
#include "fixed.h"
#include "verdict.h"

namespace {

std::string ProgressLine(const TournamentSettings& s, const Ledger& ledger, const Summary& sum,
                         const PairTally& sprt_pairs, double rate) {
  const long left = sum.planned - sum.rounds;
  const std::string eta = rate > 0 ? Fixed(static_cast<double>(left) / rate, 0) + " s" : "?";
  char line[200];
  if (sum.planned >= 0)
    std::snprintf(line, sizeof line, "%ld/%ld rounds, %s rounds/s, %s left, faults %zu", sum.rounds,
                  sum.planned, Fixed(rate, 1).c_str(), eta.c_str(), ledger.faults.size());
  else
    std::snprintf(line, sizeof line, "%ld rounds, %s rounds/s, LLR %s, faults %zu", sum.rounds,
                  Fixed(rate, 1).c_str(),
                  Fixed(Sprt(*s.sprt, sprt_pairs.penta_distinct).llr, 3).c_str(),
                  ledger.faults.size());
  return line;
}

std::string Bar(const Summary& sum) {
  const int width = 30;
  const int filled = sum.planned > 0   ? static_cast<int>(width * sum.rounds / sum.planned)
                     : sum.planned < 0 ? 0
                                       : width;
  return "[" + std::string(static_cast<size_t>(filled), '#') +
         std::string(static_cast<size_t>(width - filled), '.') + "] ";
}

}  // namespace

void LiveDisplay::Draw(const TournamentSettings& s, const Ledger& ledger,
                       const PairTally& sprt_pairs, bool final_draw) {
  if (quiet) return;
  const double now = MonotonicSeconds();
  if (!final_draw && now - last_draw < (tty ? 0.25 : 5.0)) return;
  last_draw = now;
  const Summary sum = Summarise(s, ledger, false);
  const double rate =
      static_cast<double>(sum.rounds - rounds_at_start) / std::max(1e-9, now - started);
  const std::string line = ProgressLine(s, ledger, sum, sprt_pairs, rate);
  if (!tty) {
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
    return;
  }
  std::string text;
  if (drawn_lines > 0) text += "\x1b[" + std::to_string(drawn_lines) + "A";
  text += "\r\x1b[J" + Bar(sum) + line + "\n";
  drawn_lines = 1;
  for (const std::string& l : StandingsLines(s, sum)) {
    text += l + "\n";
    ++drawn_lines;
  }
  std::fputs(text.c_str(), stdout);
  std::fflush(stdout);
}
