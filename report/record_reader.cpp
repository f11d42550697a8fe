#include "record_reader.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>
#include <tuple>

#include "exit_status.h"
#include "pair_score.h"
#include "ratings.h"
#include "record_check.h"
#include "render.h"
#include "settings_words.h"

using nlohmann::json;

namespace {

std::string PlayerLabel(const json& player, int number) {
  std::string name;
  if (player.is_object()) {
    name = player.value("name", "");
    if (name.empty()) name = player.value("file", "");
  }
  if (name.empty()) name = "Player " + std::to_string(number);
  return name;
}

void AddFault(ReportData& data, const json& line, const std::array<std::string, 2>& names) {
  const int player = line.value("player", 0);
  FaultLine f;
  f.player = player == 1 || player == 2 ? names[player - 1] : "?";
  f.kind = line.value("kind", "fault");
  f.report = line.value("report", "");
  if (line.contains("round") && line["round"].is_number_integer()) {
    f.round_id = line["round"].get<int64_t>();
    f.where = "round " + std::to_string(*f.round_id);
    if (line.contains("turn") && line["turn"].is_number_integer())
      f.where += ", turn " + std::to_string(line["turn"].get<int64_t>());
  }
  // Where an arena's referee run keeps each player's output, beside the
  // record; filled in when the file is there.
  if (player == 1 || player == 2) f.output_file = "player" + std::to_string(player) + "/output.txt";
  data.faults.push_back(std::move(f));
}

RoundView ReadRound(const json& line, const std::array<std::string, 2>& names) {
  RoundView r;
  r.round = line.at("round").get<int64_t>();
  r.id = r.round;
  r.player1 = names[0];
  r.player2 = names[1];
  r.opening = line.value("opening", std::vector<int>{});
  for (const json& m : line.at("moves"))
    r.moves.push_back({m.at(0).get<int>(), m.at(1).get<int>()});
  r.end = line.value("end", "");
  const json& stores = line.at("stores");
  r.stores = {stores.at(0).get<int64_t>(), stores.at(1).get<int64_t>()};
  r.winner = line.value("winner", 0);
  if (line.contains("rejected")) r.rejected = "rejected";  // worded by the caller
  return r;
}

// The course of the match, round by round, from player 1's side.
Course CourseOf(const std::vector<RoundView>& rounds, const std::array<std::string, 2>& names) {
  Course course;
  course.player_a = names[0];
  course.player_b = names[1];
  course.unit = "rounds";
  Wdl first;
  for (const RoundView& r : rounds) {
    CountOutcome(first, OutcomeOfA(0, r.winner));
    CoursePoint p;
    p.played = first.Total();
    p.score_percent = ScorePercent(first);
    std::tie(p.elo, p.elo_error) = EloWithError(first.wins, first.draws, first.losses);
    course.points.push_back(p);
  }
  return course;
}

StandingRow StandingOf(const std::string& name, const Wdl& w, int64_t faults) {
  StandingRow row;
  row.player = name;
  row.rounds = w.Total();
  row.wins = w.wins;
  row.losses = w.losses;
  row.draws = w.draws;
  row.score_percent = ScorePercent(w);
  SetStandingElo(row);
  row.faults = faults;
  return row;
}

// Who is ahead and how sure, from player 1's side.
std::string MatchVerdict(const std::array<std::string, 2>& names, const Wdl& first) {
  if (first.Total() == 0)
    return "No round of " + names[0] + " against " + names[1] + " was played.";
  const Estimate e = FromWdl(first);
  const bool finite = std::isfinite(e.elo) && std::isfinite(e.elo_error);
  const std::string counts = names[0] + " won " + std::to_string(first.wins) + ", drew " +
                             std::to_string(first.draws) + " and lost " +
                             std::to_string(first.losses) + " of " + std::to_string(first.Total()) +
                             " rounds";
  std::string elo = "Elo of " + names[0] + " ";
  if (finite) {
    elo += Signed(e.elo, 0) + " ± " + Fixed(e.elo_error, 0) + " (95 %)";
  } else if (const auto bound = OneSidedBound(first)) {
    elo += BoundWords(*bound);
  }
  const std::string los = "LOS " + Fixed(100 * e.los, 1) + " %";
  // With one finite end the interval separates the players only when that
  // end is beyond 0.
  const auto bound = OneSidedBound(first);
  const bool ahead =
      finite ? e.elo - e.elo_error > 0 : bound && bound->sign > 0 && bound->value > 0;
  const bool behind =
      finite ? e.elo + e.elo_error < 0 : bound && bound->sign < 0 && bound->value < 0;
  if (!ahead && !behind)
    return names[0] + " and " + names[1] + " are not yet separated: " + counts + "; " + elo + ", " +
           los + "; the interval includes 0.";
  return (ahead ? names[0] + " is stronger than " + names[1]
                : names[1] + " is stronger than " + names[0]) +
         ": " + counts + "; " + elo + ", " + los + "; the interval excludes 0.";
}

// Standings, cross-table, pairing line and course of the two players from
// the rounds in order.
void Score(ReportData& data, const std::array<std::string, 2>& names,
           const std::array<int64_t, 2>& faults) {
  Wdl first;  // from player 1's side
  for (const RoundView& r : data.rounds) CountOutcome(first, OutcomeOfA(0, r.winner));
  data.standings.push_back(StandingOf(names[0], first, faults[0]));
  data.standings.push_back(StandingOf(names[1], Mirror(first), faults[1]));
  data.verdict = MatchVerdict(names, first);
  // By score, so that a player who lost everything is not first for its
  // seat (both Elo values infinite); the seat only breaks a tie.
  std::stable_sort(
      data.standings.begin(), data.standings.end(),
      [](const StandingRow& x, const StandingRow& y) { return x.score_percent > y.score_percent; });
  auto score = [&](const Wdl& w) {
    std::ostringstream s;
    s << Points(w) << "/" << w.Total();
    return s.str();
  };
  data.cross.players = {names[0], names[1]};
  data.cross.cells = {{"", score(first)}, {score(Mirror(first)), ""}};
  PairingLine line;
  line.player_a = names[0];
  line.player_b = names[1];
  line.rounds = first.Total();
  line.wins_a = first.wins;
  line.wins_b = first.losses;
  line.draws = first.draws;
  line.score_percent = data.standings[0].score_percent;
  line.elo = data.standings[0].elo;
  line.elo_error = data.standings[0].elo_error;
  data.pairings.push_back(line);
  data.course = CourseOf(data.rounds, names);
}

}  // namespace

namespace {

// A match record read line by line into the report's data.
struct MatchReader {
  ReportData data;
  std::array<std::string, 2> names = {"Player 1", "Player 2"};
  std::array<int64_t, 2> faults = {0, 0};
  bool saw_match = false, settled = false, saw_end = false, interrupted = false;
  int64_t planned_rounds = -1;

  // The names the report uses, once PsInit's lines are in: two players of
  // one name told apart by their numbers.
  void Settle() {
    if (settled) return;
    settled = true;
    if (names[0] == names[1]) {
      names[0] += " (1)";
      names[1] += " (2)";
    }
    data.title = "Match: " + names[0] + " vs " + names[1];
  }

  void ReadMatchLine(const json& line) {
    saw_match = true;
    const json& settings = line.at("settings");
    data.holes = settings.at("holes").get<int>();
    if (settings.contains("rounds") && settings["rounds"].is_number_integer())
      planned_rounds = settings["rounds"].get<int64_t>();
    data.bones = settings.at("bones").get<int>();
    for (auto& setting : MatchSettingsInWords(settings)) data.settings.push_back(setting);
    const json players = line.value("players", json::array());
    for (size_t i = 0; i < 2 && i < players.size(); ++i) {
      names[i] = PlayerLabel(players[i], static_cast<int>(i) + 1);
    }
    std::string program = line.value("program", "pitsow");
    data.settings.insert(data.settings.begin(),
                         {"program", program + " " + line.value("version", "")});
  }

  void ReadRoundLine(const json& line) {
    Settle();
    data.rounds.push_back(ReadRound(line, names));
    RoundView& r = data.rounds.back();
    if (r.rejected.empty()) return;
    const int who = line["rejected"].value("player", 1) == 2 ? 1 : 0;
    r.rejected = "player " + std::to_string(who + 1) + " (" + names[who] + ") answered " +
                 std::to_string(line["rejected"].value("answer", 0));
    FaultLine f;
    f.player = names[who];
    f.kind = "rejected";
    f.report = "round " + std::to_string(r.round) + ": " + r.rejected + ", not a hole from 1 to " +
               std::to_string(data.holes);
    f.round_id = r.id;
    data.faults.push_back(std::move(f));
  }

  // One line; the reason it cannot be read, without its line number.
  std::optional<Error> Read(const json& line) {
    if (auto why = CheckMatchLine(line)) return why;
    const std::string type = line.at("type").get<std::string>();
    if (type == "match") {
      if (saw_match) return Error{"a second match line"};
      ReadMatchLine(line);
    } else if (saw_match && type == "player") {
      const std::string name = line.at("name").get<std::string>();
      if (!name.empty()) names[line.at("player").get<size_t>() - 1] = name;
    } else if (!saw_match) {
      return Error{"the record does not start with its match line"};
    } else if (type == "round") {
      ReadRoundLine(line);
    } else if (type == "fault") {
      Settle();
      AddFault(data, line, names);
      const int player = line.value("player", 0);
      if (player == 1 || player == 2) ++faults[player - 1];
    } else if (type == "end") {
      saw_end = true;
      interrupted = line.value("interrupted", false);
      for (auto& setting : MatchEndInWords(line)) data.settings.push_back(setting);
    }
    return std::nullopt;
  }

  // A fault's report belongs to its round too.
  void FaultsToRounds() {
    std::map<int64_t, size_t> by_round;
    for (size_t i = 0; i < data.rounds.size(); ++i) by_round[data.rounds[i].id] = i;
    for (FaultLine& f : data.faults) {
      if (!f.round_id) continue;
      auto it = by_round.find(*f.round_id);
      if (it == by_round.end()) {
        f.round_id.reset();
      } else if (f.kind != "rejected") {
        data.rounds[it->second].fault = f.report;
      }
    }
  }
};

}  // namespace

namespace {

// The players' own output beside their faults, from playerN/output.txt
// next to the record (an arena's referee run), cut to its last lines.
void AttachOutputs(ReportData& data, const std::string& record) {
  const size_t slash = record.rfind('/');
  const std::string dir = slash == std::string::npos ? "." : record.substr(0, slash);
  for (FaultLine& f : data.faults) {
    if (f.output_file.empty()) continue;
    std::ifstream in(dir + "/" + f.output_file, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (text.size() > 4000) text = "[…]\n" + text.substr(text.size() - 4000);
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
    if (text == f.report) text.clear();
    f.output = text;
    if (text.empty()) f.output_file.clear();
  }
}

}  // namespace

Result<ReportData> ReadMatchRecord(const std::string& jsonl) {
  MatchReader reader;
  std::istringstream in(jsonl);
  std::string text;
  int line_no = 0;
  while (std::getline(in, text)) {
    ++line_no;
    if (!text.empty() && text.back() == '\r') text.pop_back();
    if (text.find_first_not_of(" \t") == std::string::npos) continue;
    std::optional<Error> error;
    try {
      error = reader.Read(json::parse(text));
    } catch (const json::exception& e) {
      error = Error{e.what()};
    }
    if (error) return Error{"line " + std::to_string(line_no) + ": " + error->text};
  }
  if (!reader.saw_match) return Error{"no match line: this is not a match record"};
  reader.Settle();
  reader.FaultsToRounds();
  reader.data.total_rounds = static_cast<int64_t>(reader.data.rounds.size());
  Score(reader.data, reader.names, reader.faults);
  if (reader.interrupted || !reader.saw_end) {
    const std::string played =
        std::to_string(reader.data.rounds.size()) +
        (reader.planned_rounds < 0 ? std::string()
                                   : " of " + std::to_string(reader.planned_rounds)) +
        " rounds";
    reader.data.verdict_notes.push_back(
        reader.interrupted
            ? "The match was cut short: the referee was interrupted after " + played + "."
            : "The match was cut short: the record ends without its end line, "
              "after " +
                  played + ".");
  }
  return std::move(reader.data);
}

std::optional<Error> WriteMatchReport(const std::string& jsonl, const std::string& html_out) {
  std::ifstream in(jsonl, std::ios::binary);
  if (!in) return Error{"cannot read " + jsonl + ": " + std::strerror(errno), kExitIoError};
  std::ostringstream text;
  text << in.rdbuf();
  Result<ReportData> read = ReadMatchRecord(text.str());
  if (read) AttachOutputs(*read, jsonl);
  if (!read) {
    std::string why = jsonl + ": " + read.error().text;
    if (why.find("unknown \"type\" tournament") != std::string::npos)
      why += "; this is a tournament's results.jsonl: make its page with pitsow-arena report DIR";
    return Error{why, kExitIoError};
  }
  return WriteReportFile(std::move(*read), html_out);
}
