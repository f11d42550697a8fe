// The arena's results.jsonl: the tournament line, one line per round as it
// finishes, faults, retirements, the sequential test and the end, each
// appended with one write so that an interrupted run leaves whole lines
// (at most a torn last one, which loading drops). Loading it back gives
// the ledger that resume, merge and the verdict work from.
#pragma once

#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "error.h"
#include "pair_tally.h"
#include "schedule.h"

using Json = nlohmann::ordered_json;

// A round's result (the referee's winner, hashes of its opening and moves
// as written) where it sat in the schedule.
struct RoundRecord : RoundResult {
  Slot slot;
  std::string end;
};

struct FaultRecord {
  Slot slot;
  std::string player, kind, report, match;
  int round = 0;
};

// Everything a results file tells.
struct Ledger {
  Json settings;  // the tournament line's settings
  std::map<Slot, RoundRecord> rounds;
  std::vector<FaultRecord> faults;
  std::map<std::string, int> retired;  // label -> faults
  std::string end;                     // the last end reason, or empty
  int duplicates = 0;                  // rounds seen twice (merge)
  int watchdog = 0;                    // referee runs the watchdog stopped
  Json sprt_decision;                  // the test's line that crossed a bound, or null
  long valid_bytes = 0;                // the length of the file's whole lines (read back)
};

// A label or path as the results file keeps it: each byte the character
// of its number. Bytes() gives the bytes back.
std::string Bytes(const Json& text);

Json SettingsToJson(const TournamentSettings& s);
// The settings of a tournament line, or why it is not one.
Result<TournamentSettings> SettingsFromJson(const Json& j);

Json RoundToJson(const TournamentSettings& s, const Slot& slot, const Json& referee_round,
                 const std::string& match);
// A round not played because a player was retired: the retired player
// loses (both retired: a draw).
Json RetiredRoundToJson(const TournamentSettings& s, const Slot& slot, int winner);

// Adds one results line to the ledger.
void Absorb(Ledger& ledger, const Json& line);

// The whole text of a results file, which must be a regular file.
Result<std::string> ReadResultsText(const std::string& path);

// Reads a results file, every line checked before use: a bad one is an
// error naming the file and the line. The ledger's valid_bytes is the
// length of its whole lines (a torn last line is left out).
Result<Ledger> LoadResults(const std::string& path);
// The same from the file's text; `path` names it in errors.
Result<Ledger> ParseResults(const std::string& text, const std::string& path);

// The append-only results file.
struct ResultsFile {
  int fd = -1;
  double last_sync = 0;
};

// Opens (creating it when absent) and, with `valid_bytes` at 0 or more,
// cuts a torn tail there.
Result<ResultsFile> OpenResults(const std::string& path, long valid_bytes);
// One write of one line; flushed to the disk at most once a second.
std::optional<Error> AppendLine(ResultsFile& f, const Json& line);
// Flushes to the disk and closes; nothing when not open.
std::optional<Error> CloseResults(ResultsFile& f);
