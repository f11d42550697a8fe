#include "record_check.h"

#include <cstdint>
#include <limits>
#include <vector>

namespace {

using Why = std::optional<Error>;  // what is wrong, as the phrase to show

template <class J>
Why SettingsWhy(const J& s);
constexpr int64_t kMax = std::numeric_limits<int32_t>::max();

template <class J>
Why Need(const J& o, const char* key) {
  if (!o.is_object()) return Error{"not an object"};
  if (!o.contains(key)) return Error{std::string("no \"") + key + "\""};
  return std::nullopt;
}

template <class J>
bool IntIn(const J& v, int64_t lo, int64_t hi) {
  if (!v.is_number_integer()) return false;
  if (v.is_number_unsigned() && v.template get<uint64_t>() > uint64_t{INT64_MAX}) return false;
  const int64_t x = v.template get<int64_t>();
  return x >= lo && x <= hi;
}

template <class J>
Why Int(const J& o, const char* key, int64_t lo, int64_t hi, bool nullable = false) {
  if (Why w = Need(o, key)) return w;
  const J& v = o.at(key);
  if ((nullable && v.is_null()) || IntIn(v, lo, hi)) return std::nullopt;
  return Error{std::string("\"") + key + "\" is not an integer from " + std::to_string(lo) +
               " to " + std::to_string(hi) + (nullable ? " or null" : "")};
}

template <class J>
Why Num(const J& o, const char* key) {
  if (Why w = Need(o, key)) return w;
  if (o.at(key).is_number()) return std::nullopt;
  return Error{std::string("\"") + key + "\" is not a number"};
}

template <class J>
Why Str(const J& o, const char* key, bool nullable = false) {
  if (Why w = Need(o, key)) return w;
  const J& v = o.at(key);
  if (v.is_string() || (nullable && v.is_null())) return std::nullopt;
  return Error{std::string("\"") + key + "\" is not a text" + (nullable ? " or null" : "")};
}

template <class J>
Why Bool(const J& o, const char* key) {
  if (Why w = Need(o, key)) return w;
  if (o.at(key).is_boolean()) return std::nullopt;
  return Error{std::string("\"") + key + "\" is not true or false"};
}

// An array of `count` items (any length when count is 0), each checked by
// item(array, index).
template <class J, class F>
Why Array(const J& o, const char* key, size_t count, F item) {
  if (Why w = Need(o, key)) return w;
  const J& v = o.at(key);
  if (!v.is_array() || (count > 0 && v.size() != count))
    return Error{std::string("\"") + key + "\" is not an array" +
                 (count > 0 ? " of " + std::to_string(count) : "")};
  for (size_t i = 0; i < v.size(); ++i)
    if (!item(v[i]))
      return Error{std::string("\"") + key + "\" item " + std::to_string(i + 1) +
                   " is out of place"};
  return std::nullopt;
}

template <class J>
auto IntItem(int64_t lo, int64_t hi) {
  return [lo, hi](const J& v) { return IntIn(v, lo, hi); };
}

template <class J>
bool Move(const J& m) {
  return m.is_array() && m.size() == 2 && IntIn(m[0], 1, 2) && IntIn(m[1], 1, 6);
}

// The first failing check, in order.
Why First(std::initializer_list<Why> checks) {
  for (const Why& w : checks)
    if (w) return w;
  return std::nullopt;
}

template <class J>
Why Rejected(const J& line) {
  if (!line.contains("rejected")) return std::nullopt;
  const J& r = line.at("rejected");
  return First({Int(r, "player", 1, 2), Int(r, "answer", INT32_MIN, kMax)});
}

// "random" is a number of moves or "auto"; "depth", the number played,
// is there from the runs that choose it.
template <class J>
Why RandomDepth(const J& o) {
  if (Why w = Need(o, "random")) return w;
  const J& r = o.at("random");
  if (!(r.is_string() && r.template get<std::string>() == "auto") && !IntIn(r, 0, 1000))
    return Error{"\"random\" is not an integer from 0 to 1000 or \"auto\""};
  if (o.contains("depth")) return Int(o, "depth", 0, 1000);
  return std::nullopt;
}

template <class J>
Why MatchRecordLine(const J& l, const std::string& type) {
  if (type == "match") {
    if (Why w = Need(l, "settings")) return w;
    const J& s = l.at("settings");
    return First({Int(s, "holes", 1, 6), Int(s, "bones", 0, kMax), Int(s, "rounds", 0, kMax),
                  Array(l, "players", 2, [](const J& p) { return !Int(p, "player", 1, 2); })});
  }
  if (type == "player")
    return First({Int(l, "player", 1, 2), Str(l, "name"), Str(l, "creator"), Str(l, "description"),
                  Int(l, "version", INT32_MIN, kMax)});
  if (type == "round")
    return First({Int(l, "round", 0, kMax), Array(l, "opening", 0, IntItem<J>(1, 6)),
                  Array(l, "moves", 0, Move<J>), Str(l, "end"),
                  Array(l, "stores", 2, IntItem<J>(0, kMax)), Int(l, "winner", 0, 2), Rejected(l)});
  if (type == "fault")
    return First(
        {Int(l, "round", 0, kMax, true), Int(l, "player", 1, 2), Str(l, "kind"), Str(l, "report")});
  if (type == "end")
    return First({Array(l, "tally", 3, IntItem<J>(0, kMax)), Int(l, "rounds", 0, kMax),
                  Num(l, "elapsed"), Int(l, "status", 0, 255)});
  return Error{"unknown \"type\" " + type};
}

template <class J>
Why Seed(const J& o) {
  if (Why w = Need(o, "seed")) return w;
  if (o.at("seed").is_number_unsigned()) return std::nullopt;
  return Error{"\"seed\" is not an integer from 0 to 2^64-1"};
}

template <class J>
Why Slot(const J& l) {
  return First({Int(l, "pairing", 0, kMax), Int(l, "pair", 0, kMax), Int(l, "seat", 0, 1)});
}

template <class J>
Why ResultsLine(const J& l, const std::string& type) {
  if (type == "tournament") {
    if (Why w = First({Str(l, "program"), Str(l, "version"), Need(l, "settings")})) return w;
    return SettingsWhy(l.at("settings"));
  }
  if (type == "round")
    return First({Slot(l), Array(l, "players", 2, [](const J& p) { return p.is_string(); }),
                  Str(l, "player1"), Str(l, "player2"), Array(l, "opening", 0, IntItem<J>(1, 6)),
                  Array(l, "moves", 0, Move<J>), Array(l, "stores", 2, IntItem<J>(0, kMax)),
                  Int(l, "winner", 0, 2), Str(l, "end"), Int(l, "turns", 0, kMax),
                  Str(l, "match", true), Rejected(l)});
  if (type == "fault")
    return First({Slot(l), Str(l, "player"), Str(l, "kind"), Int(l, "round", 0, kMax),
                  Str(l, "report"), Str(l, "match")});
  if (type == "retired") return First({Str(l, "player"), Int(l, "faults", 0, kMax)});
  if (type == "sprt")
    return First({Num(l, "llr"), Num(l, "lower"), Num(l, "upper"), Int(l, "pairs", 0, INT64_MAX)});
  if (type == "end") return Str(l, "reason");
  if (type == "machine")
    return First({Int(l, "cores", 1, kMax), Int(l, "concurrency", 1, kMax),
                  Array(l, "load", 2, [](const J& v) { return v.is_number(); }),
                  Num(l, "others_cpu"), Num(l, "steal_cpu")});
  if (type == "watchdog")
    return First(
        {Int(l, "pairing", 0, kMax), Int(l, "seat", 0, 1), Num(l, "limit"), Str(l, "match")});
  return Error{"unknown \"type\" " + type};
}

template <class J, class F>
Why Typed(const J& line, F by_type) {
  if (!line.is_object()) return Error{"not a JSON object"};
  if (Why w = Str(line, "type")) return w;
  return by_type(line, line.at("type").template get<std::string>());
}

template <class J>
Why SettingsWhy(const J& s) {
  const auto player = [](const J& p) { return !Str(p, "label") && !Str(p, "file"); };
  if (Why w = First({Array(s, "players", 0, player), Str(s, "format"),
                     Int(s, "pairs", 0, 100000000, true), Int(s, "holes", 1, 6),
                     Int(s, "bones", 0, 178956970), Int(s, "max_turns", 1, kMax),
                     Need(s, "openings"), Need(s, "sprt"), Need(s, "shard"), Num(s, "move_time"),
                     Int(s, "memory_mb", 0, kMax), Int(s, "max_faults", 1, kMax)}))
    return Error{"settings: " + w->text};
  if (s.at("players").size() < 2) return Error{"settings: fewer than two players"};
  const J& o = s.at("openings");
  const Why openings =
      o.is_object() && o.contains("file") ? Str(o, "file") : First({RandomDepth(o), Seed(o)});
  if (openings) return Error{"settings: openings: " + openings->text};
  const J& t = s.at("sprt");
  if (!t.is_null()) {
    if (Why w = First({Num(t, "elo0"), Num(t, "elo1"), Num(t, "alpha"), Num(t, "beta")}))
      return Error{"settings: sprt: " + w->text};
  }
  const J& shard = s.at("shard");
  if (!shard.is_null()) {
    if (!shard.is_array() || shard.size() != 2 || !IntIn(shard[1], 1, kMax) ||
        !IntIn(shard[0], 1, shard[1].template get<int64_t>()))
      return Error{"settings: \"shard\" is not [K, N] with 1 <= K <= N"};
  }
  return std::nullopt;
}

}  // namespace

template <class J>
std::optional<Error> CheckMatchLine(const J& line) {
  return Typed(line, MatchRecordLine<J>);
}

template <class J>
std::optional<Error> CheckResultsLine(const J& line) {
  return Typed(line, ResultsLine<J>);
}

template <class J>
std::optional<Error> CheckTournamentSettings(const J& settings) {
  return SettingsWhy(settings);
}

template std::optional<Error> CheckMatchLine(const nlohmann::json&);
template std::optional<Error> CheckMatchLine(const nlohmann::ordered_json&);
template std::optional<Error> CheckResultsLine(const nlohmann::json&);
template std::optional<Error> CheckResultsLine(const nlohmann::ordered_json&);
template std::optional<Error> CheckTournamentSettings(const nlohmann::json&);
template std::optional<Error> CheckTournamentSettings(const nlohmann::ordered_json&);
