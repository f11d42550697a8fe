#include "report_data.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <tuple>

#include "ratings.h"
#include "stats.h"

namespace {

bool Notable(const RoundView& r) {
  return !r.fault.empty() || !r.rejected.empty() || r.end == "fault" || r.end == "rejected";
}

// Which player of each pairing won more of its rounds: the one whose losses
// are the surprises worth looking at.
std::map<std::pair<std::string, std::string>, std::string> Leaders(
    const std::vector<RoundView>& rounds) {
  std::map<std::string, int64_t> wins;
  std::map<std::pair<std::string, std::string>, std::string> leaders;
  for (const RoundView& r : rounds)
    if (r.winner == 1 || r.winner == 2)
      ++wins[r.pairing_name + "\n" + (r.winner == 1 ? r.player1 : r.player2)];
  for (const RoundView& r : rounds) {
    const auto key = std::minmax(r.player1, r.player2);
    if (leaders.count(key)) continue;
    const int64_t w1 = wins[r.pairing_name + "\n" + key.first];
    const int64_t w2 = wins[r.pairing_name + "\n" + key.second];
    leaders[key] = w1 >= w2 ? key.first : key.second;
  }
  return leaders;
}

// Marks up to room of the rounds in `tier` (indexes into rounds, in order)
// at evenly spaced ranks: the first, then one every size/room.
size_t PickEvenly(const std::vector<size_t>& tier, size_t room, std::vector<bool>& keep) {
  const size_t n = std::min(room, tier.size());
  for (size_t k = 0; k < n; ++k) keep[tier[k * tier.size() / n]] = true;
  return n;
}

std::string KeptWords(const std::vector<std::string>& players) {
  if (players.empty()) return "";
  std::string out = " or were played by ";
  for (size_t i = 0; i < players.size(); ++i)
    out += (i == 0 ? "" : i + 1 == players.size() ? " or " : ", ") + players[i];
  return out + " (--keep-rounds)";
}

}  // namespace

void SampleRounds(ReportData& data, size_t limit) {
  const size_t total = data.rounds.size();
  if (total <= limit || data.keep_all) return;
  const auto kept_whole = [&](const RoundView& r) {
    return std::find(data.keep_players.begin(), data.keep_players.end(), r.player1) !=
               data.keep_players.end() ||
           std::find(data.keep_players.begin(), data.keep_players.end(), r.player2) !=
               data.keep_players.end();
  };
  if (data.total_rounds < static_cast<int64_t>(total))
    data.total_rounds = static_cast<int64_t>(total);

  // Three tiers, kept in this order while there is room: rounds with a
  // fault or a rejected answer; draws and the losses of each pairing's
  // leader; the other rounds (the leaders' wins), evenly spaced.
  const auto leaders = Leaders(data.rounds);
  std::array<std::vector<size_t>, 3> tiers;
  for (size_t i = 0; i < total; ++i) {
    const RoundView& r = data.rounds[i];
    const std::string& leader = leaders.at(std::minmax(r.player1, r.player2));
    const bool leader_lost = r.winner != 0 && (r.winner == 1 ? r.player2 : r.player1) == leader &&
                             r.player1 != r.player2;
    tiers[Notable(r) || kept_whole(r) ? 0 : r.winner == 0 || leader_lost ? 1 : 2].push_back(i);
  }
  std::vector<bool> keep(total, false);
  std::array<size_t, 3> picked{};
  size_t room = limit;
  for (size_t t = 0; t < 3; ++t) {
    picked[t] = t == 0 ? tiers[0].size() : PickEvenly(tiers[t], room, keep);
    if (t == 0)
      for (size_t i : tiers[0]) keep[i] = true;
    room = room > picked[t] ? room - picked[t] : 0;
  }
  std::vector<RoundView> kept;
  kept.reserve(limit);
  for (size_t i = 0; i < total; ++i)
    if (keep[i]) kept.push_back(std::move(data.rounds[i]));
  data.rounds = std::move(kept);
  const auto of = [&](size_t t) {
    return std::to_string(picked[t]) + " of " + std::to_string(tiers[t].size());
  };
  data.sampling_note =
      "This run played " + std::to_string(data.total_rounds) + " rounds; this page keeps " +
      std::to_string(data.rounds.size()) + " of them: all " + std::to_string(tiers[0].size()) +
      " that ended in a fault or a rejected answer" + KeptWords(data.keep_players) + ", " + of(1) +
      " draws and losses of a pairing's leading player, and " + of(2) +
      " wins of the leading players, evenly spaced over the run. Keep every "
      "round of a player with pitsow-arena report --keep-rounds LABEL (or all), "
      "or replay any one with pitsow-arena replay DIR PAIRING PAIR SEAT.";
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

void SetStandingElo(StandingRow& row) {
  std::tie(row.elo, row.elo_error) = EloWithError(row.wins, row.draws, row.losses);
  if (row.elo && row.elo_error) return;
  if (const auto bound = OneSidedBound(Wdl{row.wins, row.draws, row.losses})) {
    row.elo_note = BoundWords(*bound);
    row.elo_bound = bound->value;
    row.elo_bound_sign = bound->sign;
  }
}
