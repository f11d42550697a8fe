#include "record_reader.h"

#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>
#include <tuple>

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
    f.roundId = line["round"].get<int64_t>();
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

// Standings, cross-table, pairing line and course of the two players from
// the rounds in order.
void Score(ReportData& data, const std::array<std::string, 2>& names,
           const std::array<int64_t, 2>& faults) {
  std::array<int64_t, 3> tally = {0, 0, 0};  // wins of 1, wins of 2, draws
  Course course;
  course.playerA = names[0];
  course.playerB = names[1];
  course.unit = "rounds";
  for (const RoundView& r : data.rounds) {
    if (r.winner == 1)
      ++tally[0];
    else if (r.winner == 2)
      ++tally[1];
    else
      ++tally[2];
    CoursePoint p;
    p.played = tally[0] + tally[1] + tally[2];
    p.scorePercent = 100.0 * (static_cast<double>(tally[0]) + 0.5 * static_cast<double>(tally[2])) /
                     static_cast<double>(p.played);
    std::tie(p.elo, p.eloError) = EloWithError(tally[0], tally[2], tally[1]);
    course.points.push_back(p);
  }
  const int64_t n = tally[0] + tally[1] + tally[2];
  for (int i = 0; i < 2; ++i) {
    StandingRow row;
    row.player = names[i];
    row.rounds = n;
    row.wins = tally[i];
    row.losses = tally[1 - i];
    row.draws = tally[2];
    row.scorePercent =
        n > 0 ? 100.0 * (static_cast<double>(row.wins) + 0.5 * static_cast<double>(row.draws)) /
                    static_cast<double>(n)
              : 0;
    std::tie(row.elo, row.eloError) = EloWithError(row.wins, row.draws, row.losses);
    row.faults = faults[i];
    data.standings.push_back(row);
  }
  auto score = [&](int i) {
    std::ostringstream s;
    s << static_cast<double>(tally[i]) + 0.5 * static_cast<double>(tally[2]) << "/" << n;
    return s.str();
  };
  data.cross.players = {names[0], names[1]};
  data.cross.cells = {{"", score(0)}, {score(1), ""}};
  PairingLine line;
  line.playerA = names[0];
  line.playerB = names[1];
  line.rounds = n;
  line.winsA = tally[0];
  line.winsB = tally[1];
  line.draws = tally[2];
  line.scorePercent = data.standings[0].scorePercent;
  line.elo = data.standings[0].elo;
  line.eloError = data.standings[0].eloError;
  data.pairings.push_back(line);
  data.course = std::move(course);
}

}  // namespace

std::variant<ReportData, std::string> ReadMatchRecord(const std::string& jsonl) {
  ReportData data;
  std::array<std::string, 2> names = {"Player 1", "Player 2"};
  std::array<int64_t, 2> faults = {0, 0};
  bool sawMatch = false, settled = false;
  // The names the report uses, once PsInit's lines are in: two players of
  // one name told apart by their numbers.
  const auto settle = [&]() {
    if (settled) return;
    settled = true;
    if (names[0] == names[1]) {
      names[0] += " (1)";
      names[1] += " (2)";
    }
    data.title = "Match: " + names[0] + " vs " + names[1];
  };
  std::istringstream in(jsonl);
  std::string text;
  int lineNo = 0;
  while (std::getline(in, text)) {
    ++lineNo;
    if (!text.empty() && text.back() == '\r') text.pop_back();
    if (text.find_first_not_of(" \t") == std::string::npos) continue;
    try {
      const json line = json::parse(text);
      if (const auto why = CheckMatchLine(line))
        return "line " + std::to_string(lineNo) + ": " + *why;
      const std::string type = line.at("type").get<std::string>();
      if (type == "match") {
        if (sawMatch) return "line " + std::to_string(lineNo) + ": a second match line";
        sawMatch = true;
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
      } else if (sawMatch && type == "player") {
        const std::string name = line.at("name").get<std::string>();
        if (!name.empty()) names[line.at("player").get<size_t>() - 1] = name;
      } else if (!sawMatch) {
        return "line " + std::to_string(lineNo) + ": the record does not start with its match line";
      } else if (type == "round") {
        settle();
        data.rounds.push_back(ReadRound(line, names));
        RoundView& r = data.rounds.back();
        if (!r.rejected.empty()) {
          const int who = line["rejected"].value("player", 1) == 2 ? 1 : 0;
          r.rejected = "player " + std::to_string(who + 1) + " (" + names[who] + ") answered " +
                       std::to_string(line["rejected"].value("answer", 0));
          data.faults.push_back({names[who], "rejected",
                                 "round " + std::to_string(r.round) + ": " + r.rejected +
                                     ", not a hole from 1 to " + std::to_string(data.holes),
                                 r.id});
        }
      } else if (type == "fault") {
        settle();
        AddFault(data, line, names);
        const int player = line.value("player", 0);
        if (player == 1 || player == 2) ++faults[player - 1];
      } else if (type == "end") {
        for (auto& setting : MatchEndInWords(line)) data.settings.push_back(setting);
      }
    } catch (const json::exception& e) {
      return "line " + std::to_string(lineNo) + ": " + e.what();
    }
  }
  if (!sawMatch) return std::string("no match line: this is not a match record");
  settle();

  // A fault's report belongs to its round too.
  std::map<int64_t, size_t> byRound;
  for (size_t i = 0; i < data.rounds.size(); ++i) byRound[data.rounds[i].id] = i;
  for (FaultLine& f : data.faults) {
    if (!f.roundId) continue;
    auto it = byRound.find(*f.roundId);
    if (it == byRound.end()) {
      f.roundId.reset();
    } else if (f.kind != "rejected") {
      data.rounds[it->second].fault = f.report;
    }
  }
  data.totalRounds = static_cast<int64_t>(data.rounds.size());
  Score(data, names, faults);
  return data;
}

std::optional<std::string> WriteMatchReport(const std::string& jsonl, const std::string& htmlOut) {
  std::ifstream in(jsonl, std::ios::binary);
  if (!in) return "cannot read " + jsonl;
  std::ostringstream text;
  text << in.rdbuf();
  auto read = ReadMatchRecord(text.str());
  if (auto* error = std::get_if<std::string>(&read)) return jsonl + ": " + *error;
  return WriteReportFile(std::move(std::get<ReportData>(read)), htmlOut);
}
