#include "report_adapter.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>

#include "exit_status.h"
#include "openings_space.h"
#include "pair_score.h"
#include "pair_tally.h"
#include "ratings.h"
#include "records.h"
#include "render.h"
#include "tournament_stop.h"
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
  if (const auto bound = OneSidedBound(pairs); bound && !error)
    return (bound->sign > 0 ? "> " : "< ") + Signed(bound->value, 0) + " at 95 %";
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
    const Json& d = ledger.sprt_decision;
    if (d.is_object()) {
      c.decided_at = d.value("pairs", int64_t{0});
      c.decision = d.value("decision", "") == "H1" ? "H1 accepted" : "H0 accepted";
    }
  }
  return c;
}

std::string TitleOf(const TournamentSettings& s) {
  std::string title = "Tournament of ";
  for (size_t i = 0; i < s.players.size(); ++i)
    title += (i == 0 ? "" : i + 1 == s.players.size() ? " and " : ", ") + s.players[i].label;
  return title;
}

std::string SecondsText(double v) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%g s", v);
  return buf;
}

std::string OpeningsText(const TournamentSettings& s) {
  if (!s.openings_file.empty())
    return std::filesystem::path(s.openings_file).filename().string() + ", " +
           std::to_string(s.opening_lines.size()) + " openings, each played from both seats";
  const std::string distinct = s.opening_distinct > kOpeningListLimit
                                   ? "more than " + std::to_string(kOpeningListLimit)
                                   : std::to_string(s.opening_distinct);
  return std::to_string(s.opening_depth) + " random moves from the filled board (" +
         (s.random_openings < 0 ? "depth chosen for the pairs" : "as asked") + "), " + distinct +
         " distinct, seed " + std::to_string(s.seed) + ", each played from both seats";
}

std::string SprtSettingText(const SprtBounds& b) {
  char buf[256];
  std::snprintf(buf, sizeof buf, "H0: %+g, H1: %+g %s, α = %g, β = %g, over pairs (pentanomial)",
                b.elo0, b.elo1, b.normalized ? "normalized Elo" : "logistic Elo", b.alpha, b.beta);
  return buf;
}

// What the last run of the arena saw of the machine, and the program's
// version, from the lines the ledger does not keep.
struct RunLines {
  Json machine;
  std::string version;
};

RunLines ReadRunLines(const std::string& path, long valid) {
  RunLines out;
  std::ifstream in(path, std::ios::binary);
  std::string text;
  for (long read = 0; std::getline(in, text) && read + static_cast<long>(text.size()) < valid;
       read += static_cast<long>(text.size()) + 1) {
    if (text.find("\"machine\"") == std::string::npos &&
        text.find("\"tournament\"") == std::string::npos)
      continue;
    const Json line = Json::parse(text, nullptr, false);
    if (line.is_discarded()) continue;
    const std::string type = line.value("type", "");
    if (type == "machine") out.machine = line;
    if (type == "tournament")
      out.version = line.value("program", "") + " " + line.value("version", "");
  }
  return out;
}

void AddLimitSettings(ReportData& data, const TournamentSettings& s) {
  auto& out = data.settings;
  out.push_back({"move time", s.move_time > 0 ? SecondsText(s.move_time) + " of CPU a move"
                                              : "the referee's default"});
  out.push_back({"time control", s.time_control.empty()
                                     ? "none"
                                     : s.time_control + " (CPU seconds a round + a move)"});
  out.push_back(
      {"time margin", s.time_margin >= 0 ? SecondsText(s.time_margin) : "the referee's default"});
  out.push_back(
      {"memory", s.memory_mb > 0 ? std::to_string(s.memory_mb) + " MiB a player" : "no limit"});
  out.push_back({"sandbox", s.sandbox ? "on: each player confined in its host (namespaces, "
                                        "seccomp, rlimits)"
                            : s.sandbox_off.empty() ? "off"
                                                    : "off: " + s.sandbox_off});
  out.push_back({"faults that retire a player", std::to_string(s.max_faults)});
}

void AddSettings(ReportData& data, const TournamentSettings& s, const Ledger& ledger,
                 const Summary& sum, const RunLines& run) {
  data.settings = {
      {"format", s.format},
      {"pairs per pairing", s.pairs > 0 ? std::to_string(s.pairs) : "no cap"},
      {"board", std::to_string(s.holes) + " holes of " + std::to_string(s.bones) +
                    " bones, turn limit " + std::to_string(s.max_turns)},
      {"openings", OpeningsText(s)},
      {"rounds played",
       std::to_string(sum.rounds) + (sum.planned < 0 ? "" : " of " + std::to_string(sum.planned))}};
  if (s.sprt) data.settings.push_back({"sequential test", SprtSettingText(*s.sprt)});
  if (s.shards > 1)
    data.settings.push_back({"shard", std::to_string(s.shard) + " of " + std::to_string(s.shards)});
  if (!ledger.end.empty()) data.settings.push_back({"end", ledger.end});
  AddLimitSettings(data, s);
  if (s.sandbox || !s.sandbox_off.empty())
    data.confinement = s.sandbox ? SandboxedLine(s) : "players NOT sandboxed: " + s.sandbox_off;
  if (run.machine.is_object()) {
    const Json load = run.machine.value("load", Json::array());
    std::string text = std::to_string(run.machine.value("cores", 0)) + " cores, " +
                       std::to_string(run.machine.value("concurrency", 0)) +
                       " referee runs at once";
    if (load.size() == 2)
      text += "; load average " + Fixed(load[0].get<double>(), 2) + " at the start, " +
              Fixed(load[1].get<double>(), 2) + " at the end; other work took " +
              Fixed(100 * run.machine.value("others_cpu", 0.0), 1) + " % of the CPU";
    data.settings.push_back({"machine (last run)", text});
  }
  if (!run.version.empty()) data.settings.push_back({"program", run.version});
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
    if (!row.elo || !row.elo_error)
      if (const auto bound = OneSidedBound(pc.wdl_distinct)) {
        row.elo_note = BoundWords(*bound);
        row.elo_bound = bound->value;
        row.elo_bound_sign = bound->sign;
      }
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

// The end of a player's own output file, at most kOutputShown bytes cut at
// a line start; empty when there is none.
constexpr size_t kOutputShown = 4000;

std::string OutputTail(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return "";
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (text.size() > kOutputShown) {
    size_t from = text.size() - kOutputShown;
    const size_t line = text.find('\n', from);
    if (line != std::string::npos && line + 1 < text.size()) from = line + 1;
    text = "[…]\n" + text.substr(from);
  }
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
  return text;
}

std::string SlotWords(const RoundView& r) {
  return r.pairing_name + ", pair " + std::to_string(r.pair) + ", seat " + std::to_string(r.seat);
}

// A fault beside its round, in the tournament's numbering, with the
// player's own output from its referee run's folder.
FaultLine FaultOf(const Json& f, const std::string& dir, const RoundView* round) {
  FaultLine line;
  line.player = Bytes(f.value("player", Json()));
  line.kind = f.value("kind", "");
  line.report = f.value("report", "");
  if (round) {
    line.where = SlotWords(*round);
    const std::string report = line.report;
    const size_t turn = report.find(", turn ");
    if (turn != std::string::npos)
      line.where += ", turn " + std::to_string(std::atoi(report.c_str() + turn + 7));
    const int number = round->player1 == line.player ? 1 : 2;
    const std::string match = f.value("match", "");
    if (!match.empty()) {
      line.output_file = match + "/player" + std::to_string(number) + "/output.txt";
      line.output = OutputTail(dir + "/" + line.output_file);
      // The referee's own lines say the fault again: only the player's are worth showing.
      if (line.output == line.report) line.output.clear();
    }
  }
  return line;
}

// The rounds, with their moves, read again from the file (the ledger
// keeps only results), and the faults and rejected answers beside their
// rounds.
void AddRounds(ReportData& data, const std::string& dir, const std::string& path, long valid) {
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
    const auto id = ids.find({f.value("pairing", 0), f.value("pair", 0), f.value("seat", 0)});
    const RoundView* round =
        id != ids.end() ? &data.rounds[static_cast<size_t>(id->second)] : nullptr;
    FaultLine line = FaultOf(f, dir, round);
    if (round) {
      line.round_id = id->second;
      data.rounds[static_cast<size_t>(id->second)].fault = line.report;
    }
    data.faults.push_back(line);
  }
  for (const RoundView& r : data.rounds) {
    if (r.rejected.empty()) continue;
    FaultLine line;
    line.kind = "rejected";
    const bool first = r.rejected.rfind("player 1 ", 0) == 0;
    line.player = first ? r.player1 : r.player2;
    line.where = SlotWords(r);
    line.report = r.rejected + ", not a hole from 1 to " + std::to_string(data.holes);
    line.round_id = r.id;
    data.faults.push_back(line);
  }
  data.total_rounds = static_cast<int64_t>(data.rounds.size());
}

// Why a player was retired, and what its count of faults holds beyond the
// limit: faults of referee runs already under way when it was retired.
void AddRetirements(ReportData& data, const TournamentSettings& s, const Ledger& ledger,
                    const Summary& sum) {
  for (const auto& [label, at] : ledger.retired) {
    int64_t scored = 0;
    for (const RoundView& r : data.rounds)
      if (r.end == "retired" && (r.player1 == label || r.player2 == label)) ++scored;
    int faults = at;
    for (size_t i = 0; i < s.players.size(); ++i)
      if (s.players[i].label == label) faults = sum.players[i].faults;
    std::string note = "Retired: " + label + " after " + std::to_string(at) +
                       " faults (the limit, --max-faults " + std::to_string(s.max_faults) +
                       "); its " + std::to_string(scored) +
                       " rounds not yet played were scored as losses without being played.";
    if (faults > at)
      note += " Its " + std::to_string(faults - at) +
              " further faults came in referee runs already under way when it was retired.";
    data.fault_notes.push_back(note);
  }
}

}  // namespace

Result<ReportData> TournamentReportData(const std::string& dir, const std::string& anchor,
                                        const std::vector<std::string>& keep) {
  const std::string path = dir + "/results.jsonl";
  Result<Ledger> read = LoadResults(path);
  if (!read) return read.error();
  const Ledger& ledger = *read;
  const Result<TournamentSettings> read_settings = SettingsFromJson(ledger.settings);
  if (!read_settings) return Error{path + ": " + read_settings.error().text, kExitIoError};
  const TournamentSettings& s = *read_settings;
  const Summary sum = Summarise(s, ledger, s.shards <= 1);

  ReportData data;
  data.holes = s.holes;
  data.bones = s.bones;
  data.title = TitleOf(s);
  AddSettings(data, s, ledger, sum, ReadRunLines(path, ledger.valid_bytes));
  data.verdict = VerdictSentence(s, ledger, sum);
  if (StopFromText(ledger.end) == TournamentStop::kInterrupted)
    data.verdict_notes.push_back("The run was cut short: interrupted after " +
                                 std::to_string(sum.rounds) + " rounds" +
                                 (sum.planned < 0 ? "" : " of " + std::to_string(sum.planned)) +
                                 "; continue it with pitsow-arena --resume DIR.");
  if (const std::string hint = SprtBoundsHint(s, sum); !hint.empty())
    data.verdict_notes.push_back(hint);
  data.elo_legend = EloLegend(s);
  AddStandings(data, s, sum);
  AddPairings(data, s, sum);
  // Two players: the ratings say what the head-to-head line says.
  if (s.players.size() >= 3)
    if (auto e = AddRatings(data, s, sum, anchor)) return *e;
  if (s.players.size() == 2) data.course = CourseOf(s, ledger);
  AddRounds(data, dir, path, ledger.valid_bytes);
  AddRetirements(data, s, ledger, sum);
  for (const std::string& label : keep) {
    if (label == "all") {
      data.keep_all = true;
      continue;
    }
    if (std::none_of(s.players.begin(), s.players.end(),
                     [&](const PlayerEntry& p) { return p.label == label; }))
      return Error{"--keep-rounds: no player is labelled \"" + label + "\"", kExitUsage};
    data.keep_players.push_back(label);
  }
  return data;
}

std::optional<Error> WriteTournamentReport(const std::string& dir, const std::string& anchor,
                                           const std::vector<std::string>& keep) {
  Result<ReportData> data = TournamentReportData(dir, anchor, keep);
  if (!data) return data.error();
  return WriteReportFile(std::move(*data), dir + "/report.html");
}

Result<std::string> WriteRoundPage(const std::string& dir, int pairing, int pair, int seat) {
  Result<ReportData> read = TournamentReportData(dir);
  if (!read) return read.error();
  ReportData& data = *read;
  const auto it = std::find_if(data.rounds.begin(), data.rounds.end(), [&](const RoundView& r) {
    return r.pairing == pairing && r.pair == pair && r.seat == seat;
  });
  if (it == data.rounds.end())
    return Error{dir + "/results.jsonl has no round of pairing " + std::to_string(pairing) +
                     ", pair " + std::to_string(pair) + ", seat " + std::to_string(seat),
                 kExitUsage};
  RoundView round = *it;
  const int64_t id = round.id;
  round.id = 0;
  data.title += ": pairing " + std::to_string(pairing) + ", pair " + std::to_string(pair) +
                ", seat " + std::to_string(seat);
  data.rounds = {round};
  data.total_rounds = 1;
  data.faults.erase(std::remove_if(data.faults.begin(), data.faults.end(),
                                   [&](const FaultLine& f) { return f.round_id != id; }),
                    data.faults.end());
  for (FaultLine& f : data.faults) f.round_id = 0;
  const std::string page = dir + "/round-" + std::to_string(pairing) + "-" + std::to_string(pair) +
                           "-" + std::to_string(seat) + ".html";
  if (auto e = WriteReportFile(std::move(data), page)) return *e;
  return page;
}
