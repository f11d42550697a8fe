#include "records.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>

#include "clock.h"
#include "exit_status.h"
#include "latin1.h"
#include "record_check.h"

namespace {

// Labels and paths are bytes: each kept as the character of its number,
// as the referee's record keeps player texts, so any byte round-trips.
Json Text(const std::string& bytes) { return Latin1ToUtf8(bytes); }

Json SlotFields(const TournamentSettings& s, const Slot& slot) {
  const auto pairings = Pairings(s);
  const auto [a, b] = pairings[static_cast<size_t>(slot.pairing)];
  const Json la = Text(s.players[static_cast<size_t>(a)].label);
  const Json lb = Text(s.players[static_cast<size_t>(b)].label);
  return Json{{"type", "round"},
              {"pairing", slot.pairing},
              {"players", {la, lb}},
              {"pair", slot.pair},
              {"seat", slot.seat},
              {"player1", slot.seat == 0 ? la : lb},
              {"player2", slot.seat == 0 ? lb : la}};
}

}  // namespace

std::string Bytes(const Json& text) {
  const std::string s = text.is_string() ? text.get<std::string>() : std::string();
  return Utf8ToLatin1(s).value_or(s);
}

Json SettingsToJson(const TournamentSettings& s) {
  Json players = Json::array();
  for (const PlayerEntry& p : s.players) {
    players.push_back({{"label", Text(p.label)}, {"file", Text(p.file)}});
    if (p.param != 0) players.back()["param"] = p.param;
  }
  Json openings =
      s.openings_file.empty()
          ? Json{{"random", s.random_openings < 0 ? Json("auto") : Json(s.random_openings)},
                 {"depth", s.opening_depth},
                 {"distinct", s.opening_distinct},
                 {"seed", s.seed}}
          : Json{{"file", Text(s.openings_file)}, {"lines", s.opening_lines.size()}};
  Json sprt = nullptr;
  if (s.sprt)
    sprt = {{"elo0", s.sprt->elo0},
            {"elo1", s.sprt->elo1},
            {"alpha", s.sprt->alpha},
            {"beta", s.sprt->beta},
            {"model", s.sprt->normalized ? "normalized" : "logistic"}};
  Json shard = nullptr;
  if (s.shards > 1) shard = {s.shard, s.shards};
  Json j = {{"players", players},
            {"format", s.format},
            {"pairs", s.pairs > 0 ? Json(s.pairs) : Json()},
            {"holes", s.holes},
            {"bones", s.bones},
            {"max_turns", s.max_turns},
            {"openings", openings},
            {"sprt", sprt},
            {"shard", shard},
            {"move_time", s.move_time},
            {"memory_mb", s.memory_mb},
            {"max_faults", s.max_faults}};
  // Only when given, so that the results of earlier runs still resume.
  if (!s.time_control.empty()) j["time_control"] = s.time_control;
  if (s.time_margin >= 0) j["time_margin"] = s.time_margin;
  if (!s.python_path.empty()) j["python_path"] = s.python_path;
  j["sandbox"] = s.sandbox ? Json(true) : Json(s.sandbox_off);
  return j;
}

Result<TournamentSettings> SettingsFromJson(const Json& j) {
  if (const auto why = CheckTournamentSettings(j))
    return Error{"bad tournament settings: " + why->text, kExitIoError};
  TournamentSettings s;
  try {
    for (const Json& p : j.at("players"))
      s.players.push_back(
          {Bytes(p.at("label")), Bytes(p.at("file")), p.value("param", int32_t{0})});
    s.format = j.at("format").get<std::string>();
    s.pairs = j.at("pairs").is_null() ? 0 : j.at("pairs").get<int>();
    s.holes = j.at("holes").get<int>();
    s.bones = j.at("bones").get<int>();
    s.max_turns = j.at("max_turns").get<int>();
    const Json& o = j.at("openings");
    if (o.contains("file")) {
      s.openings_file = Bytes(o.at("file"));
    } else {
      s.random_openings = o.at("random").is_string() ? -1 : o.at("random").get<int>();
      s.opening_depth = o.value("depth", s.random_openings);
      s.opening_distinct = o.value("distinct", int64_t{0});
      s.seed = o.at("seed").get<uint64_t>();
    }
    if (j.at("sprt").is_object()) {
      const Json& t = j.at("sprt");
      s.sprt = SprtBounds{t.at("elo0").get<double>(), t.at("elo1").get<double>(),
                          t.at("alpha").get<double>(), t.at("beta").get<double>(),
                          t.value("model", "logistic") == "normalized"};
    }
    if (j.at("shard").is_array()) {
      s.shard = j.at("shard")[0].get<int>();
      s.shards = j.at("shard")[1].get<int>();
    }
    s.move_time = j.at("move_time").get<double>();
    s.memory_mb = j.at("memory_mb").get<int>();
    s.max_faults = j.at("max_faults").get<int>();
    s.time_control = j.value("time_control", "");
    s.time_margin = j.value("time_margin", -1.0);
    s.python_path = j.value("python_path", std::vector<std::string>{});
    s.sandbox = j.value("sandbox", Json()).is_boolean() && j.at("sandbox").get<bool>();
    s.sandbox_off = j.value("sandbox", Json()).is_string() ? Bytes(j.at("sandbox")) : "";
  } catch (const Json::exception& e) {
    return Error{std::string("bad tournament settings: ") + e.what(), kExitIoError};
  }
  if (s.players.size() < 2 || s.pairs < 0 || s.shards < 1)
    return Error{"bad tournament settings", kExitIoError};
  return s;
}

Json RoundToJson(const TournamentSettings& s, const Slot& slot, const Json& r,
                 const std::string& match) {
  Json j = SlotFields(s, slot);
  j["opening"] = r.value("opening", Json::array());
  j["moves"] = r.value("moves", Json::array());
  j["stores"] = r.value("stores", Json::array());
  j["winner"] = r.value("winner", 0);
  j["end"] = r.value("end", "");
  j["turns"] = r.value("turns", 0);
  if (r.contains("rejected")) j["rejected"] = r["rejected"];
  j["match"] = match;
  return j;
}

Json RetiredRoundToJson(const TournamentSettings& s, const Slot& slot, int winner) {
  Json j = SlotFields(s, slot);
  j["opening"] = OpeningOf(s, slot.pair);
  j["moves"] = Json::array();
  j["stores"] = {0, 0};
  j["winner"] = winner;
  j["end"] = "retired";
  j["turns"] = 0;
  j["match"] = nullptr;
  return j;
}

void Absorb(Ledger& ledger, const Json& line) {
  const std::string type = line.value("type", "");
  if (type == "tournament") {
    ledger.settings = line.value("settings", Json::object());
  } else if (type == "round") {
    RoundRecord r;
    r.slot = {line.value("pairing", 0), line.value("pair", 0), line.value("seat", 0)};
    r.winner = line.value("winner", 0);
    r.end = line.value("end", "");
    r.opening = TextHash(line.value("opening", Json::array()).dump());
    r.moves = TextHash(line.value("moves", Json::array()).dump());
    if (!ledger.rounds.emplace(r.slot, r).second) ++ledger.duplicates;
  } else if (type == "fault") {
    FaultRecord f;
    f.slot = {line.value("pairing", 0), line.value("pair", 0), line.value("seat", 0)};
    f.player = Bytes(line.value("player", Json()));
    f.kind = line.value("kind", "");
    f.report = line.value("report", "");
    f.match = line.value("match", "");
    f.round = line.value("round", 0);
    ledger.faults.push_back(f);
  } else if (type == "retired") {
    ledger.retired[Bytes(line.value("player", Json()))] = line.value("faults", 0);
  } else if (type == "sprt") {
    if (ledger.sprt_decision.is_null() && line.contains("decision")) ledger.sprt_decision = line;
  } else if (type == "end") {
    ledger.end = line.value("reason", "");
  } else if (type == "watchdog") {
    ++ledger.watchdog;
  }
}

namespace {

// A round or fault line's slot within the tournament's schedule.
std::optional<Error> CheckSlot(const Json& line, const TournamentSettings& s, size_t pairings) {
  if (!line.contains("pairing") || !line.contains("pair")) return std::nullopt;
  if (line["pairing"].get<int64_t>() >= static_cast<int64_t>(pairings))
    return Error{"\"pairing\" is beyond the tournament's " + std::to_string(pairings) +
                 " pairings"};
  // No cap (a sequential test that plays until it decides): any pair.
  if (s.pairs > 0 && line["pair"].get<int64_t>() >= s.pairs)
    return Error{"\"pair\" is beyond the tournament's " + std::to_string(s.pairs) + " pairs"};
  return std::nullopt;
}

}  // namespace

Result<std::string> ReadResultsText(const std::string& path) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0)
    return Error{"cannot read " + path + ": " + std::strerror(errno), kExitIoError};
  if (!S_ISREG(st.st_mode)) return Error{path + " is not a regular file", kExitIoError};
  std::ifstream in(path, std::ios::binary);
  if (!in) return Error{"cannot read " + path, kExitIoError};
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

Result<Ledger> LoadResults(const std::string& path) {
  const Result<std::string> text = ReadResultsText(path);
  if (!text) return text.error();
  return ParseResults(*text, path);
}

Result<Ledger> ParseResults(const std::string& text, const std::string& path) {
  Ledger ledger;
  size_t at = 0;
  TournamentSettings s;
  size_t pairings = 0;
  int number = 0;
  const auto bad = [&](const std::string& why) {
    return Error{path + ", line " + std::to_string(number) + ": " + why, kExitIoError};
  };
  for (size_t nl = text.find('\n'); nl != std::string::npos; nl = text.find('\n', at)) {
    ++number;
    const Json j = Json::parse(text.substr(at, nl - at), nullptr, false);
    if (j.is_discarded()) return bad("not JSON");
    if (const auto why = CheckResultsLine(j)) return bad(why->text);
    const std::string type = j["type"].get<std::string>();
    if (type == "tournament") {
      if (number != 1) return bad("a second tournament line");
      Result<TournamentSettings> read = SettingsFromJson(j["settings"]);
      if (!read) return bad(read.error().text);
      s = std::move(*read);
      pairings = Pairings(s).size();
    } else if (number == 1) {
      return bad("the file does not start with its tournament line");
    }
    if (auto e = CheckSlot(j, s, pairings)) return bad(e->text);
    Absorb(ledger, j);
    at = nl + 1;
    ledger.valid_bytes = static_cast<long>(at);
  }
  if (ledger.settings.is_null()) return Error{path + ": no tournament line", kExitIoError};
  return ledger;
}

Result<ResultsFile> OpenResults(const std::string& path, long valid_bytes) {
  ResultsFile f;
  f.fd = open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (f.fd < 0) return Error{path + ": " + std::strerror(errno), kExitIoError};
  if (valid_bytes >= 0 && ftruncate(f.fd, valid_bytes) != 0) {
    const Error e{path + ": " + std::strerror(errno), kExitIoError};
    close(f.fd);  // the truncation's error is the one to tell
    return e;
  }
  f.last_sync = MonotonicSeconds();
  return f;
}

std::optional<Error> AppendLine(ResultsFile& f, const Json& line) {
  const std::string text = line.dump(-1, ' ', false, Json::error_handler_t::replace) + "\n";
  const ssize_t n = write(f.fd, text.data(), text.size());
  if (n != static_cast<ssize_t>(text.size()))
    return Error{std::string("results.jsonl: ") + (n < 0 ? std::strerror(errno) : "short write"),
                 kExitIoError};
  if (MonotonicSeconds() - f.last_sync >= 1.0) {
    if (fdatasync(f.fd) != 0)
      return Error{std::string("results.jsonl: ") + std::strerror(errno), kExitIoError};
    f.last_sync = MonotonicSeconds();
  }
  return std::nullopt;
}

std::optional<Error> CloseResults(ResultsFile& f) {
  if (f.fd < 0) return std::nullopt;
  const bool synced = fdatasync(f.fd) == 0;
  const int sync_errno = errno;
  const bool closed = close(f.fd) == 0;
  f.fd = -1;
  if (!synced || !closed)
    return Error{std::string("results.jsonl: ") + std::strerror(synced ? errno : sync_errno),
                 kExitIoError};
  return std::nullopt;
}
