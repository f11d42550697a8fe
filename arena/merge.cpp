#include "merge.h"

#include <filesystem>
#include <fstream>
#include <set>

#include "exit_status.h"
#include "records.h"
#include "tournament_stop.h"
#include "verdict.h"

namespace fs = std::filesystem;

namespace {

// The merged tournament as one results file: the shards' round, fault and
// retirement lines under one tournament line, match folders named from
// the new file's reader's place.
std::optional<Error> WriteMerged(const std::vector<std::string>& dirs, const Json& settings,
                                 const std::string& end, const std::string& out_dir) {
  std::error_code ec;
  // A folder that cannot be made is told by the results file's open.
  fs::create_directories(out_dir, ec);
  const std::string path = out_dir + "/results.jsonl";
  if (fs::exists(path)) return Error{path + " exists", kExitIoError};
  Result<ResultsFile> opened = OpenResults(path, -1);
  if (!opened) return opened.error();
  ResultsFile f = *opened;
  std::optional<Error> e = AppendLine(f, {{"type", "tournament"},
                                          {"program", "pitsow-arena"},
                                          {"version", PITSOW_VERSION},
                                          {"settings", settings}});
  for (const std::string& dir : dirs) {
    std::ifstream in(dir + "/results.jsonl", std::ios::binary);
    for (std::string line; !e && std::getline(in, line);) {
      Json j = Json::parse(line, nullptr, false);
      if (j.is_discarded() || in.eof()) break;  // a torn last line
      const std::string type = j.value("type", "");
      if (type != "round" && type != "fault" && type != "retired") continue;
      if (j.contains("match") && j["match"].is_string())
        j["match"] = (fs::path(dir) / j["match"].get<std::string>()).string();
      e = AppendLine(f, j);
    }
  }
  if (!e) e = AppendLine(f, {{"type", "end"}, {"reason", end}});
  std::optional<Error> closed = CloseResults(f);
  return e ? e : closed;
}

// The shards read so far: one ledger, their common settings and which
// shards came.
struct Merged {
  Ledger ledger;
  TournamentSettings s;
  Json base;
  std::set<int> shards;
  int shard_count = 0;
};

std::optional<Error> AddShard(Merged& m, const std::string& dir) {
  Result<Ledger> read = LoadResults(dir + "/results.jsonl");
  if (!read) return read.error();
  const Ledger& one = *read;
  Json settings = one.settings;
  const Json shard = settings.value("shard", Json());
  settings["shard"] = nullptr;
  if (m.base.is_null()) {
    m.base = settings;
    Result<TournamentSettings> s = SettingsFromJson(m.base);
    if (!s) return Error{dir + ": " + s.error().text, kExitIoError};
    m.s = std::move(*s);
  } else if (settings != m.base) {
    return Error{dir + " holds a tournament with other settings", kExitUsage};
  }
  if (shard.is_array()) {
    if (!m.shards.insert(shard[0].get<int>()).second)
      return Error{dir + ": shard " + shard[0].dump() + " given twice", kExitUsage};
    m.shard_count = shard[1].get<int>();
  }
  Ledger& merged = m.ledger;
  for (const auto& [slot, r] : one.rounds)
    if (!merged.rounds.emplace(slot, r).second) ++merged.duplicates;
  merged.faults.insert(merged.faults.end(), one.faults.begin(), one.faults.end());
  for (const auto& [label, n] : one.retired) merged.retired[label] += n;
  if (merged.end.empty() || StopFromText(one.end) != TournamentStop::kComplete)
    merged.end = one.end;
  return std::nullopt;
}

}  // namespace

Result<TournamentEnd> MergeShards(const std::vector<std::string>& dirs,
                                  const std::string& out_dir) {
  Merged m;
  for (const std::string& dir : dirs)
    if (auto e = AddShard(m, dir)) return *e;
  m.ledger.settings = m.base;
  const Summary sum = Summarise(m.s, m.ledger, true);
  TournamentEnd end;
  end.verdict = "Merged " + std::to_string(dirs.size()) + " folder(s)";
  if (m.shard_count > 0)
    end.verdict +=
        ", shards " + std::to_string(m.shards.size()) + " of " + std::to_string(m.shard_count);
  end.verdict += "\n" + VerdictText(m.s, m.ledger, sum) + "\n" + VerdictLines(m.s, m.ledger, sum);
  if (m.ledger.duplicates > 0) {
    end.error = Error{
        std::to_string(m.ledger.duplicates) + " rounds appear in more than one folder", kExitUsage};
    return end;
  }
  if (!out_dir.empty()) {
    end.error = WriteMerged(dirs, m.base, m.ledger.end, out_dir);
    if (!end.error) end.error = WriteVerdictFile(out_dir, end.verdict);
  }
  return end;
}
