#include "report_adapter.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>

#include "exit_status.h"
#include "pair_score.h"
#include "pair_tally.h"
#include "ratings.h"
#include "records.h"
#include "render.h"
#include "verdict.h"

namespace {

void SetElo(const Estimate& e, std::optional<double>& elo, std::optional<double>& error) {
  if (e.samples == 0 || !std::isfinite(e.elo)) return;
  elo = e.elo;
  if (std::isfinite(e.elo_error)) error = e.elo_error;
}

// What the head-to-head Elo cannot say with a plain interval: a bound when
// one end is infinite, the reason when the width is zero.
std::string PairNote(const Penta& pairs, const std::optional<double>& elo,
                     const std::optional<double>& error) {
  int64_t n = 0, alike = 0;
  for (int64_t c : pairs) {
    n += c;
    alike = std::max(alike, c);
  }
  if (n == 0) return "";
  if (const auto bound = OneSidedBound(pairs); bound && !error) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%s %+.0f at 95 %%", bound->sign > 0 ? ">" : "<", bound->value);
    return buf;
  }
  if (elo && error && *error == 0 && alike == n)
    return Signed(*elo, 1) + " ± 0: all " + std::to_string(n) +
           " pairs alike, no spread to measure";
  return "";
}

std::string Score(const Wdl& w) {
  char text[64];
  snprintf(text, sizeof text, "%g/%lld", Points(w), static_cast<long long>(w.Total()));
  return text;
}

// The course of the only pairing, pair by pair in the order of the pairs;
// score, Elo and the test's ratio over the distinct pairs so far, as the
// verdict counts them.
Course CourseOf(const TournamentSettings& s, const Ledger& ledger) {
  Course c;
  c.player_a = s.players[0].label;
  c.player_b = s.players[1].label;
  c.unit = "pairs";
  std::vector<std::pair<const RoundRecord*, const RoundRecord*>> pairs;
  for (const auto& [slot, r] : ledger.rounds) {
    if (slot.pairing != 0 || slot.seat != 0) continue;
    const auto other = ledger.rounds.find({0, slot.pair, 1});
    if (other != ledger.rounds.end()) pairs.push_back({&r, &other->second});
  }
  PairTally tally;
  // At most a few hundred points: the chart shows the course, not each pair.
  const size_t step = std::max<size_t>(1, pairs.size() / 400);
  for (size_t i = 0; i < pairs.size(); ++i) {
    tally.Add(*pairs[i].first, *pairs[i].second);
    if ((i + 1) % step != 0 && i + 1 != pairs.size()) continue;
    CoursePoint p;
    p.played = static_cast<int64_t>(i + 1);
    const Estimate e = FromPenta(tally.penta_distinct);
    p.score_percent = 100 * e.score;
    SetElo(e, p.elo, p.elo_error);
    if (s.sprt) p.llr = Sprt(*s.sprt, tally.penta_distinct).llr;
    c.points.push_back(p);
  }
  if (s.sprt) {
    const SprtState t = Sprt(*s.sprt, tally.penta_distinct);
    c.llr_bounds = std::make_pair(t.lower, t.upper);
  }
  return c;
}

std::string TitleOf(const TournamentSettings& s) {
  std::string title = "Tournament of ";
  for (size_t i = 0; i < s.players.size(); ++i)
    title += (i == 0 ? "" : i + 1 == s.players.size() ? " and " : ", ") + s.players[i].label;
  return title;
}

void AddSettings(ReportData& data, const TournamentSettings& s, const Ledger& ledger,
                 const Summary& sum) {
  data.settings = {
      {"format", s.format},
      {"pairs per pairing", s.pairs > 0 ? std::to_string(s.pairs) : "no cap"},
      {"board", std::to_string(s.holes) + " holes of " + std::to_string(s.bones) +
                    " bones, turn limit " + std::to_string(s.max_turns)},
      {"rounds played",
       std::to_string(sum.rounds) + (sum.planned < 0 ? "" : " of " + std::to_string(sum.planned))}};
  if (!ledger.end.empty()) data.settings.push_back({"end", ledger.end});
  if (s.sandbox || !s.sandbox_off.empty())
    data.confinement = s.sandbox ? SandboxedLine(s) : "players NOT sandboxed: " + s.sandbox_off;
  for (const PlayerEntry& p : s.players)
    data.settings.push_back(
        {"player " + p.label,
         std::filesystem::path(p.file).filename().string() +
             (p.param != 0 ? ", parameter " + std::to_string(p.param) : std::string())});
}

void AddStandings(ReportData& data, const TournamentSettings& s, const Summary& sum) {
  for (size_t i = 0; i < s.players.size(); ++i) {
    const PlayerCounts& pc = sum.players[i];
    StandingRow row;
    row.player = s.players[i].label;
    row.rounds = pc.wdl.Total();
    row.wins = pc.wdl.wins;
    row.draws = pc.wdl.draws;
    row.losses = pc.wdl.losses;
    row.score_percent = ScorePercent(pc.wdl);
    SetElo(FromWdl(pc.wdl_distinct), row.elo, row.elo_error);
    row.faults = pc.faults;
    data.standings.push_back(row);
  }
  std::stable_sort(
      data.standings.begin(), data.standings.end(),
      [](const StandingRow& x, const StandingRow& y) { return x.score_percent > y.score_percent; });
  for (const PlayerEntry& p : s.players) data.cross.players.push_back(p.label);
  for (size_t i = 0; i < s.players.size(); ++i) {
    data.cross.cells.emplace_back();
    for (size_t j = 0; j < s.players.size(); ++j)
      data.cross.cells.back().push_back(
          i == j || sum.cross[i][j].Total() == 0 ? "" : Score(sum.cross[i][j]));
  }
}

void AddPairings(ReportData& data, const TournamentSettings& s, const Summary& sum) {
  for (const PairingCounts& pc : sum.pairings) {
    PairingLine line;
    line.player_a = s.players[static_cast<size_t>(pc.a)].label;
    line.player_b = s.players[static_cast<size_t>(pc.b)].label;
    line.rounds = pc.wdl.Total();
    line.wins_a = pc.wdl.wins;
    line.draws = pc.wdl.draws;
    line.wins_b = pc.wdl.losses;
    line.score_percent = ScorePercent(pc.wdl);
    // Pairs over the same opening carry the fairer error bar.
    SetElo(pc.penta_distinct == Penta{} ? FromWdl(pc.wdl_distinct) : FromPenta(pc.penta_distinct),
           line.elo, line.elo_error);
    line.elo_note = PairNote(pc.penta_distinct, line.elo, line.elo_error);
    data.pairings.push_back(line);
  }
}

std::optional<Error> AddRatings(ReportData& data, const TournamentSettings& s, const Summary& sum,
                                const std::string& anchor) {
  std::optional<size_t> at;
  for (size_t i = 0; i < s.players.size(); ++i)
    if (s.players[i].label == anchor) at = i;
  if (!anchor.empty() && !at)
    return Error{"--anchor: no player is labelled \"" + anchor + "\"", kExitIoError};
  const std::vector<FieldRating> ratings = FieldRatings(sum.cross, at);
  for (size_t i = 0; i < s.players.size(); ++i)
    data.ratings.push_back({s.players[i].label, ratings[i].elo, ratings[i].low, ratings[i].high});
  std::stable_sort(data.ratings.begin(), data.ratings.end(),
                   [](const RatingRow& x, const RatingRow& y) { return x.elo > y.elo; });
  data.ratings_anchor = anchor;
  return std::nullopt;
}

RoundView RoundOf(const Json& line, int64_t id) {
  RoundView r;
  r.id = id;
  r.pairing = line.value("pairing", 0);
  r.pair = line.value("pair", 0);
  r.seat = line.value("seat", 0);
  const Json players = line.value("players", Json::array());
  if (players.size() == 2)
    r.pairing_name = players[0].get<std::string>() + " vs " + players[1].get<std::string>();
  r.player1 = line.value("player1", "");
  r.player2 = line.value("player2", "");
  for (const Json& h : line.value("opening", Json::array())) r.opening.push_back(h.get<int>());
  for (const Json& m : line.value("moves", Json::array()))
    r.moves.push_back({m[0].get<int>(), m[1].get<int>()});
  r.end = line.value("end", "");
  const Json stores = line.value("stores", Json::array());
  if (stores.size() == 2) r.stores = {stores[0].get<int64_t>(), stores[1].get<int64_t>()};
  r.winner = line.value("winner", 0);
  if (line.contains("rejected"))
    r.rejected = "player " + std::to_string(line["rejected"].value("player", 0)) + " answered " +
                 std::to_string(line["rejected"].value("answer", 0));
  return r;
}

// The rounds, with their moves, read again from the file (the ledger
// keeps only results), and the faults beside their rounds.
void AddRounds(ReportData& data, const std::string& path, long valid) {
  std::ifstream in(path, std::ios::binary);
  std::string text;
  std::map<Slot, int64_t> ids;
  std::vector<Json> faults;
  for (long read = 0; std::getline(in, text) && read + static_cast<long>(text.size()) < valid;
       read += static_cast<long>(text.size()) + 1) {
    const Json line = Json::parse(text, nullptr, false);
    if (line.is_discarded()) continue;
    const std::string type = line.value("type", "");
    if (type == "fault") faults.push_back(line);
    if (type != "round") continue;
    const RoundView r = RoundOf(line, static_cast<int64_t>(data.rounds.size()));
    if (ids.emplace(Slot{static_cast<int>(r.pairing), static_cast<int>(r.pair), r.seat}, r.id)
            .second)
      data.rounds.push_back(r);
  }
  for (const Json& f : faults) {
    FaultLine line;
    line.player = f.value("player", "");
    line.kind = f.value("kind", "");
    line.report = f.value("report", "");
    const auto id = ids.find({f.value("pairing", 0), f.value("pair", 0), f.value("seat", 0)});
    if (id != ids.end()) {
      line.round_id = id->second;
      data.rounds[static_cast<size_t>(id->second)].fault = line.report;
    }
    data.faults.push_back(line);
  }
  data.total_rounds = static_cast<int64_t>(data.rounds.size());
}

}  // namespace

Result<ReportData> TournamentReportData(const std::string& dir, const std::string& anchor) {
  const std::string path = dir + "/results.jsonl";
  Result<Ledger> read = LoadResults(path);
  if (!read) return read.error();
  const Ledger& ledger = *read;
  TournamentSettings s;
  if (auto e = SettingsFromJson(ledger.settings, s))
    return Error{path + ": " + e->text, kExitIoError};
  const Summary sum = Summarise(s, ledger, s.shards <= 1);

  ReportData data;
  data.holes = s.holes;
  data.bones = s.bones;
  data.title = TitleOf(s);
  AddSettings(data, s, ledger, sum);
  AddStandings(data, s, sum);
  AddPairings(data, s, sum);
  if (auto e = AddRatings(data, s, sum, anchor)) return *e;
  if (s.players.size() == 2) data.course = CourseOf(s, ledger);
  AddRounds(data, path, ledger.valid_bytes);
  return data;
}

std::optional<Error> WriteTournamentReport(const std::string& dir, const std::string& anchor) {
  Result<ReportData> data = TournamentReportData(dir, anchor);
  if (!data) return data.error();
  return WriteReportFile(std::move(*data), dir + "/report.html");
}
