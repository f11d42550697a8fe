#include "match_record.h"

#include <cmath>
#include <nlohmann/json.hpp>

#include "latin1.h"
#include "player_init.h"
#include "room.h"

#ifndef PITSOW_VERSION
#define PITSOW_VERSION "unknown"
#endif

using json = nlohmann::ordered_json;

namespace {

void Write(const OutStream& record, const json& line) {
  if (record.fd < 0) return;
  Emit(record, line.dump() + "\n");
}

// A time as measured, in whole nanoseconds: no float noise in the text.
double Nanoseconds(double seconds) { return std::round(seconds * 1e9) / 1e9; }

std::string Text(const char* field, size_t capacity) {
  return Latin1ToUtf8(std::string(field, strnlen(field, capacity)));
}

}  // namespace

void RecordMatch(const MatchSetup& setup, const OutStream& record) {
  if (record.fd < 0) return;  // no record asked for: nothing to build
  const Settings& s = setup.settings;
  const LongOptions& o = setup.options;
  json settings = {{"holes", s.NumHoles},
                   {"bones", s.NumBones},
                   {"rounds", s.NumRounds},
                   {"max_turns", s.MaxTurns},
                   {"log_levels", {s.LogLevel[0], s.LogLevel[1], s.LogLevel[2]}},
                   {"params", {s.Params[1], s.Params[2]}},
                   {"out_file", Latin1ToUtf8(s.OutFile)},
                   {"isolate", o.isolate},
                   {"forfeit", o.forfeit},
                   {"move_time", o.move_time},
                   {"call_time", o.call_time},
                   {"time_control", o.time_control.on ? json(o.time_control.text) : json()},
                   {"time_margin", o.margin_seconds},
                   {"memory_mb", o.memory_mb},
                   {"openings", o.openings.empty() ? json() : json(Latin1ToUtf8(o.openings))},
                   {"quiet", o.quiet}};
  if (o.sandbox) {
    settings["sandbox"] = true;
    RoomLimits room;
    if (o.memory_mb > 0) room.memory_mb = o.memory_mb;
    settings["sandbox_limits"] = RoomLimitsText(room);
  }
  json players = json::array();
  for (int n = 1; n <= 2; ++n)
    players.push_back({{"player", n},
                       {"file", Latin1ToUtf8(setup.sources[n].shown)},
                       {"path", Latin1ToUtf8(setup.sources[n].path)}});
  Write(record, {{"type", "match"},
                 {"program", "pitsow"},
                 {"version", PITSOW_VERSION},
                 {"settings", settings},
                 {"players", players}});
}

void RecordPlayer(const OutStream& record, int n, const PsInfo& info, bool ready) {
  if (record.fd < 0) return;  // no record asked for: nothing to build
  Write(record, {{"type", "player"},
                 {"player", n},
                 {"name", Text(info.name, sizeof info.name)},
                 {"creator", Text(info.creator, sizeof info.creator)},
                 {"description", Text(info.description, sizeof info.description)},
                 {"version", info.CurrVer},
                 {"ready", ready}});
}

void RecordRound(const OutStream& record, const LongOptions& options, const RoundState& round,
                 const RoundOutcome& outcome) {
  if (record.fd < 0) return;  // no record asked for: nothing to build
  const RoundTrack& t = round.track;
  json line = {{"type", "round"},
               {"round", round.Round},
               {"opening", t.opening},
               {"moves", t.moves},
               {"end", outcome.end}};
  if (t.rejected_player != 0)
    line["rejected"] = {{"player", t.rejected_player}, {"answer", t.rejected_answer}};
  line["stores"] = {Store(round.board, 1), Store(round.board, 2)};
  line["winner"] = outcome.winner;
  line["turns"] = round.TurnCount;
  line["time"] = {Nanoseconds(static_cast<double>(t.time[1])),
                  Nanoseconds(static_cast<double>(t.time[2]))};
  if (options.isolate) {
    line["cpu"] = {Nanoseconds(t.cpu[1]), Nanoseconds(t.cpu[2])};
    line["wall"] = {Nanoseconds(t.wall[1]), Nanoseconds(t.wall[2])};
  }
  if (options.time_control.on) {
    json clock = json::array();
    for (const auto& c : t.clock) clock.push_back({Nanoseconds(c[0]), Nanoseconds(c[1])});
    line["clock"] = clock;
  }
  Write(record, line);
}

void RecordFault(const OutStream& record, const Fault& fault) {
  if (record.fd < 0) return;  // no record asked for: nothing to build
  json line = {{"type", "fault"},
               {"round", fault.round >= 0 ? json(fault.round) : json()},
               {"turn", fault.has_position ? json(fault.turn) : json()},
               {"player", fault.player},
               {"call", fault.call.empty() ? EntryName(fault.entry) : fault.call},
               {"kind", fault.kind},
               {"detail", fault.detail},
               {"report", Latin1ToUtf8(fault.report)}};
  if (!fault.charged) line["charged"] = false;
  Write(record, line);
}

void RecordEnd(const OutStream& record, const std::optional<Fault>& fault, const int32_t tally[3],
               long double elapsed, int status, bool interrupted) {
  if (record.fd < 0) return;  // no record asked for: nothing to build
  json line = {{"type", "end"},
               {"tally", {tally[1], tally[2], tally[0]}},
               {"rounds", tally[0] + tally[1] + tally[2]},
               {"elapsed", Nanoseconds(static_cast<double>(elapsed))},
               {"status", status}};
  if (interrupted) line["interrupted"] = true;
  // The player whose fault ended the match, for a tournament to charge.
  if (fault && fault->charged) line["charged"] = fault->player;
  Write(record, line);
}
