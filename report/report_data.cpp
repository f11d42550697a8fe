#include "report_data.h"

#include <algorithm>
#include <cmath>

namespace {

bool Notable(const RoundView& r) {
  return !r.fault.empty() || !r.rejected.empty() || r.end == "fault" || r.end == "rejected";
}

}  // namespace

void SampleRounds(ReportData& data, size_t limit) {
  const size_t total = data.rounds.size();
  if (total <= limit) return;
  if (data.totalRounds < static_cast<int64_t>(total))
    data.totalRounds = static_cast<int64_t>(total);

  size_t notable = 0;
  for (const RoundView& r : data.rounds) notable += Notable(r) ? 1 : 0;
  const size_t others = total - notable;
  const size_t room = limit > notable ? limit - notable : 0;

  // Of the ordinary rounds keep those at evenly spaced ranks: the first,
  // then one every others/room, so the whole run is covered.
  std::vector<RoundView> kept;
  kept.reserve(notable + room);
  size_t rank = 0;
  size_t nextPick = 0;
  size_t picked = 0;
  for (RoundView& r : data.rounds) {
    if (Notable(r)) {
      kept.push_back(std::move(r));
      continue;
    }
    if (picked < room && rank == nextPick) {
      kept.push_back(std::move(r));
      ++picked;
      nextPick = picked * others / room;
    }
    ++rank;
  }
  data.rounds = std::move(kept);
  data.samplingNote = "This run played " + std::to_string(data.totalRounds) +
                      " rounds; the viewer keeps " + std::to_string(data.rounds.size()) +
                      " of them: all " + std::to_string(notable) +
                      " that ended in a fault or a rejected answer and " + std::to_string(picked) +
                      " of the other " + std::to_string(others) + ", evenly spaced over the run.";
}

std::optional<double> EloOfScore(double s) {
  if (!(s > 0 && s < 1)) return std::nullopt;
  return -400.0 * std::log10(1.0 / s - 1.0);
}

std::pair<std::optional<double>, std::optional<double>> EloWithError(int64_t w, int64_t d,
                                                                     int64_t l) {
  const double n = static_cast<double>(w + d + l);
  if (n <= 0) return {};
  const double s = (static_cast<double>(w) + 0.5 * static_cast<double>(d)) / n;
  const std::optional<double> elo = EloOfScore(s);
  if (!elo) return {};
  // The spread of one round's score, then of the mean over n rounds.
  const double var =
      (static_cast<double>(w) * (1 - s) * (1 - s) + static_cast<double>(d) * (0.5 - s) * (0.5 - s) +
       static_cast<double>(l) * s * s) /
      n;
  const double margin = 1.959964 * std::sqrt(var / n);
  // An interval that reaches a score of 0 or 1 has no finite Elo width.
  const std::optional<double> lo = EloOfScore(s - margin);
  const std::optional<double> hi = EloOfScore(s + margin);
  if (!lo || !hi) return {elo, std::nullopt};
  return {elo, (*hi - *lo) / 2};
}
