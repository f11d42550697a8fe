#include "resume.h"

#include "exit_status.h"
#include "openings.h"
#include "records.h"

namespace {

// The option that sets a key of the results file's settings.
std::string OptionOf(const std::string& key) {
  if (key == "players") return "PLAYER/--param";
  if (key == "openings") return "--openings/--random-openings/--seed";
  if (key == "sprt") return "--sprt/--sprt-model";
  if (key == "memory_mb") return "--memory";
  std::string option = "--" + key;
  for (char& c : option)
    if (c == '_') c = '-';
  return option;
}

}  // namespace

ResumeError ResumeSettings(const std::string& dir, const TournamentSettings& given,
                           const std::vector<std::string>& given_keys, TournamentSettings& out) {
  const std::string path = dir + "/results.jsonl";
  Ledger ledger;
  long valid = 0;
  if (std::string e = LoadResults(path, ledger, valid); !e.empty()) return {kExitIoError, e};
  out = TournamentSettings{};
  if (std::string e = SettingsFromJson(ledger.settings, out); !e.empty())
    return {kExitIoError, path + ": " + e};
  const Json mine = SettingsToJson(given);
  std::string differ;
  for (const std::string& key : given_keys) {
    const Json there = ledger.settings.value(key, Json());
    if (mine.value(key, Json()) == there) continue;
    differ += (differ.empty() ? "" : "; ") + OptionOf(key) + " " +
              there.dump(-1, ' ', false, Json::error_handler_t::replace) + " there, " +
              mine.value(key, Json()).dump(-1, ' ', false, Json::error_handler_t::replace) +
              " given";
  }
  if (!differ.empty()) return {kExitUsage, path + " was written with other settings: " + differ};
  if (!out.openings_file.empty()) {
    if (std::string e = LoadOpenings(out.openings_file, out.holes, out.bones, out.opening_lines);
        !e.empty())
      return {kExitIoError, e};
    if (Json(out.opening_lines.size()) != ledger.settings["openings"].value("lines", Json()))
      return {kExitUsage, out.openings_file + " has changed since the run began"};
  }
  return {};
}

std::string LoadOpenings(const std::string& path, int holes, int bones,
                         std::vector<std::vector<int>>& lines) {
  std::vector<Opening> read;
  if (auto e = ReadOpenings(path, holes, bones, read))
    return e->text.substr(e->text.find(' ') + 1);  // without the referee's name
  lines.assign(read.begin(), read.end());
  return "";
}

std::string ShellWord(const std::string& word) {
  if (!word.empty() && word.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"
                                              "0123456789/._-+=:,@%") == std::string::npos)
    return word;
  std::string out = "'";
  for (char c : word) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}
