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

namespace {

// The settings given that differ from the file's, each with both values.
std::string Differences(const Json& there_all, const Json& mine,
                        const std::vector<std::string>& given_keys) {
  std::string differ;
  for (const std::string& key : given_keys) {
    const Json there = there_all.value(key, Json());
    if (mine.value(key, Json()) == there) continue;
    differ += (differ.empty() ? "" : "; ") + OptionOf(key) + " " +
              there.dump(-1, ' ', false, Json::error_handler_t::replace) + " there, " +
              mine.value(key, Json()).dump(-1, ' ', false, Json::error_handler_t::replace) +
              " given";
  }
  return differ;
}

}  // namespace

Result<TournamentSettings> ResumeSettings(const std::string& dir, const TournamentSettings& given,
                                          const std::vector<std::string>& given_keys) {
  const std::string path = dir + "/results.jsonl";
  const Result<Ledger> ledger = LoadResults(path);
  if (!ledger) return ledger.error();
  Result<TournamentSettings> read = SettingsFromJson(ledger->settings);
  if (!read) return Error{path + ": " + read.error().text, kExitIoError};
  TournamentSettings out = std::move(*read);
  const std::string differ = Differences(ledger->settings, SettingsToJson(given), given_keys);
  if (!differ.empty())
    return Error{path + " was written with other settings: " + differ, kExitUsage};
  if (!out.openings_file.empty()) {
    Result<std::vector<std::vector<int>>> lines =
        LoadOpenings(out.openings_file, out.holes, out.bones);
    if (!lines) return Error{lines.error().text, kExitIoError};
    out.opening_lines = std::move(*lines);
    if (Json(out.opening_lines.size()) != ledger->settings["openings"].value("lines", Json()))
      return Error{out.openings_file + " has changed since the run began", kExitUsage};
  }
  return out;
}

Result<std::vector<std::vector<int>>> LoadOpenings(const std::string& path, int holes, int bones) {
  const Result<std::vector<Opening>> read = ReadOpenings(path, holes, bones);
  if (!read) {
    const std::string& text = read.error().text;
    return Error{text.substr(text.find(' ') + 1), kExitUsage};  // without the referee's name
  }
  return std::vector<std::vector<int>>(read->begin(), read->end());
}

std::string ShellWord(const std::string& word) {
  if (!word.empty() && word.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"
                                              "0123456789/._-+=:,@%") == std::string::npos)
    return word;
  std::string out = "'";
  for (char c : word) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}
