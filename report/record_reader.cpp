#include "record_reader.h"

#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>
#include <tuple>

#include "exit_status.h"
#include "pair_score.h"
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
  }
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
  std::tie(row.elo, row.elo_error) = EloWithError(row.wins, row.draws, row.losses);
  row.faults = faults;
  return row;
}

// Standings, cross-table, pairing line and course of the two players from
// the rounds in order.
void Score(ReportData& data, const std::array<std::string, 2>& names,
           const std::array<int64_t, 2>& faults) {
  Wdl first;  // from player 1's side
  for (const RoundView& r : data.rounds) CountOutcome(first, OutcomeOfA(0, r.winner));
  data.standings.push_back(StandingOf(names[0], first, faults[0]));
  data.standings.push_back(StandingOf(names[1], Mirror(first), faults[1]));
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
  bool saw_match = false, settled = false;

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
    data.faults.push_back({names[who], "rejected",
                           "round " + std::to_string(r.round) + ": " + r.rejected +
                               ", not a hole from 1 to " + std::to_string(data.holes),
                           r.id});
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
  return std::move(reader.data);
}

std::optional<Error> WriteMatchReport(const std::string& jsonl, const std::string& html_out) {
  std::ifstream in(jsonl, std::ios::binary);
  if (!in) return Error{"cannot read " + jsonl, kExitIoError};
  std::ostringstream text;
  text << in.rdbuf();
  Result<ReportData> read = ReadMatchRecord(text.str());
  if (!read) return Error{jsonl + ": " + read.error().text, kExitIoError};
  return WriteReportFile(std::move(*read), html_out);
}
