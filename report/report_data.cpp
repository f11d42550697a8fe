#include "report_data.h"

#include <algorithm>
#include <cmath>

#include "stats.h"

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

std::pair<std::optional<double>, std::optional<double>> EloWithError(int64_t w, int64_t d,
                                                                     int64_t l) {
  // The tournament's own statistics; a score of 0 or 1, or an interval
  // that reaches one, has no finite Elo.
  const Estimate e = FromWdl({w, d, l});
  if (e.samples == 0 || !std::isfinite(e.elo)) return {};
  if (!std::isfinite(e.elo_error)) return {e.elo, std::nullopt};
  return {e.elo, e.elo_error};
}
