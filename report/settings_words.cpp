#include "settings_words.h"

#include <set>

#include "exit_status.h"
#include "fixed.h"

using json = nlohmann::json;

namespace {

std::string Raw(const json& v) {
  if (v.is_string()) return v.get<std::string>();
  if (v.is_null()) return "none";
  return v.dump();
}

std::string Int(const json& v) { return v.is_number() ? std::to_string(v.get<int64_t>()) : Raw(v); }

std::string Seconds(const json& v) {
  if (!v.is_number()) return Raw(v);
  std::string s = Fixed(v.get<double>(), 3) + " s";
  // 10.000 s reads 10 s; 0.250 s stays as it is.
  if (s.size() > 6 && s.compare(s.size() - 6, 6, ".000 s") == 0) s.erase(s.size() - 6, 4);
  return s;
}

std::string Pair(const json& v, size_t i) { return v.is_array() && i < v.size() ? Int(v[i]) : "?"; }

std::string StatusText(int status) {
  switch (status) {
    case kExitMatchComplete:
      return "0, the match was played to the end";
    case kExitPlayerCannotPlay:
      return "1, a player cannot play";
    case kExitPlayerMissing:
      return "2, a player library could not be used";
    case kExitIoError:
      return "3, an input/output failure";
    case kExitPlayerFault:
      return "4, a player's fault ended the match";
    default:
      return status > 128 ? std::to_string(status) + ", a player died of signal " +
                                std::to_string(status - 128)
                          : std::to_string(status);
  }
}

}  // namespace

SettingLines MatchSettingsInWords(const json& s) {
  SettingLines out;
  const auto has = [&](const char* key) { return s.contains(key); };
  if (has("holes") && has("bones"))
    out.push_back({"board", Int(s["holes"]) + " holes of " + Int(s["bones"]) + " bones"});
  if (has("rounds")) out.push_back({"rounds", Int(s["rounds"])});
  if (has("max_turns")) out.push_back({"turn limit", Int(s["max_turns"]) + " turns a round"});
  if (has("params"))
    out.push_back({"parameters",
                   "player 1: " + Pair(s["params"], 0) + ", player 2: " + Pair(s["params"], 1)});
  if (has("log_levels"))
    out.push_back({"log levels", "referee " + Pair(s["log_levels"], 0) + ", player 1 " +
                                     Pair(s["log_levels"], 1) + ", player 2 " +
                                     Pair(s["log_levels"], 2)});
  if (has("out_file"))
    out.push_back(
        {"log file", Raw(s["out_file"]).empty() ? "standard output" : Raw(s["out_file"])});
  const bool isolated = s.value("isolate", false);
  out.push_back(
      {"players run", isolated ? "each in a process of its own" : "in the referee's process"});
  if (isolated) {
    const json move = s.value("move_time", json(0));
    out.push_back({"move time", move.is_number() && move.get<double>() > 0
                                    ? Seconds(move) + " a move"
                                    : "the call time"});
    if (has("call_time")) out.push_back({"call time", Seconds(s["call_time"]) + " a call"});
    const json mem = s.value("memory_mb", json(0));
    out.push_back({"memory", mem.is_number() && mem.get<int64_t>() > 0
                                 ? Int(mem) + " MiB of address space a player"
                                 : "no limit"});
  }
  if (has("forfeit"))
    out.push_back({"a rejected answer", s["forfeit"].get<bool>()
                                            ? "loses the round"
                                            : "ends the round, scored by the stores"});
  if (has("openings"))
    out.push_back({"openings", s["openings"].is_null() ? "none" : Raw(s["openings"])});

  static const std::set<std::string> kKnown = {
      "holes",   "bones",     "rounds",    "max_turns", "params",  "log_levels", "out_file",
      "isolate", "move_time", "call_time", "memory_mb", "forfeit", "openings",   "quiet"};
  for (const auto& [key, value] : s.items()) {
    if (kKnown.count(key)) continue;
    std::string name = key;
    for (char& c : name)
      if (c == '_') c = ' ';
    out.push_back({name, Raw(value)});
  }
  return out;
}

SettingLines MatchEndInWords(const json& end) {
  SettingLines out;
  if (end.contains("elapsed")) out.push_back({"elapsed", Seconds(end["elapsed"])});
  if (end.value("interrupted", false))
    out.push_back({"exit status", std::to_string(end.value("status", 130)) +
                                      ", interrupted: the match was cut short after " +
                                      std::to_string(end.value("rounds", 0)) + " rounds"});
  else if (end.contains("status") && end["status"].is_number_integer())
    out.push_back({"exit status", StatusText(end["status"].get<int>())});
  return out;
}
