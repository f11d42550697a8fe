// What the report and the arena take from a record: every line's checks
// hold each number field to its range (both ends read, one past either end
// refused), and the replay that draws a round gives each step the flags
// of its own move.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <nlohmann/json.hpp>
#include <random>
#include <tuple>

#include "pitsow/rules.h"
#include "record_check.h"
#include "records.h"
#include "replay.h"

namespace {

using nlohmann::json;

constexpr int64_t kMax = std::numeric_limits<int32_t>::max();
constexpr int64_t kMin = std::numeric_limits<int32_t>::min();

struct Field {
  std::string line;     // a good line
  std::string pointer;  // the field in it
  int64_t lo, hi;       // its range
};

template <class Check>
void ExpectRanges(const std::vector<Field>& fields, Check check) {
  for (const Field& f : fields) {
    std::vector<int64_t> values = {f.lo, f.hi, f.lo - 1};
    if (f.hi < std::numeric_limits<int64_t>::max()) values.push_back(f.hi + 1);
    for (const int64_t v : values) {
      json line = json::parse(f.line);
      line[json::json_pointer(f.pointer)] = v;
      const bool inside = v >= f.lo && v <= f.hi;
      EXPECT_EQ(!check(line), inside) << f.pointer << " = " << v << " in " << line.dump();
    }
  }
}

TEST(RecordCheck, EveryNumberOfAMatchRecordIsHeldToItsRange) {
  const std::string match =
      R"({"type":"match","settings":{"holes":6,"bones":6,"rounds":3},"players":[{"player":1},{"player":2}]})";
  const std::string player =
      R"({"type":"player","player":1,"name":"","creator":"","description":"","version":1})";
  const std::string round =
      R"({"type":"round","round":0,"opening":[1],"moves":[[2,3]],"end":"rejected","rejected":{"player":1,"answer":0},"stores":[1,0],"winner":1,"turns":1})";
  const std::string fault = R"({"type":"fault","round":1,"player":2,"kind":"crash","report":""})";
  const std::string end = R"({"type":"end","tally":[1,0,0],"rounds":1,"elapsed":0.5,"status":0})";
  ExpectRanges({{match, "/settings/holes", 1, 6},
                {match, "/settings/bones", 0, kMax},
                {match, "/settings/rounds", 0, kMax},
                {match, "/players/1/player", 1, 2},
                {player, "/player", 1, 2},
                {player, "/version", kMin, kMax},
                {round, "/round", 0, kMax},
                {round, "/opening/0", 1, 6},
                {round, "/moves/0/0", 1, 2},
                {round, "/moves/0/1", 1, 6},
                {round, "/stores/0", 0, kMax},
                {round, "/stores/1", 0, kMax},
                {round, "/winner", 0, 2},
                {round, "/rejected/player", 1, 2},
                {round, "/rejected/answer", kMin, kMax},
                {fault, "/round", 0, kMax},
                {fault, "/player", 1, 2},
                {end, "/tally/0", 0, kMax},
                {end, "/tally/2", 0, kMax},
                {end, "/rounds", 0, kMax},
                {end, "/status", 0, 255}},
               [](const json& line) { return CheckMatchLine(line); });
}

TEST(RecordCheck, EveryNumberOfAResultsFileIsHeldToItsRange) {
  TournamentSettings s;
  s.players = {{"A", "/a.so"}, {"B", "/b.so"}};
  const std::string tournament =
      R"({"type":"tournament","program":"pitsow-arena","version":"1","settings":)" +
      json::parse(SettingsToJson(s).dump()).dump() + "}";
  const std::string round =
      R"({"type":"round","pairing":0,"pair":0,"seat":0,"players":["A","B"],"player1":"A","player2":"B","opening":[1],"moves":[[2,3]],"stores":[1,0],"winner":1,"end":"majority","turns":1,"match":"m"})";
  const std::string fault =
      R"({"type":"fault","pairing":0,"pair":0,"seat":0,"player":"A","kind":"crash","round":0,"report":"","match":"m"})";
  const std::string machine =
      R"({"type":"machine","cores":2,"concurrency":1,"load":[0,0],"others_cpu":0,"steal_cpu":0})";
  const std::string watchdog = R"({"type":"watchdog","pairing":0,"seat":0,"limit":1,"match":"m"})";
  const std::string sprt = R"({"type":"sprt","llr":0,"lower":-1,"upper":1,"pairs":0})";
  ExpectRanges({{tournament, "/settings/pairs", 0, 100000000},
                {tournament, "/settings/holes", 1, 6},
                {tournament, "/settings/bones", 0, 178956970},
                {tournament, "/settings/max_turns", 1, kMax},
                {tournament, "/settings/memory_mb", 0, kMax},
                {tournament, "/settings/max_faults", 1, kMax},
                {tournament, "/settings/openings/depth", 0, 1000},
                {round, "/pairing", 0, kMax},
                {round, "/pair", 0, kMax},
                {round, "/seat", 0, 1},
                {round, "/opening/0", 1, 6},
                {round, "/moves/0/0", 1, 2},
                {round, "/moves/0/1", 1, 6},
                {round, "/stores/1", 0, kMax},
                {round, "/winner", 0, 2},
                {round, "/turns", 0, kMax},
                {fault, "/pairing", 0, kMax},
                {fault, "/seat", 0, 1},
                {fault, "/round", 0, kMax},
                {R"({"type":"retired","player":"A","faults":1})", "/faults", 0, kMax},
                {machine, "/cores", 1, kMax},
                {machine, "/concurrency", 1, kMax},
                {watchdog, "/pairing", 0, kMax},
                {watchdog, "/seat", 0, 1},
                {sprt, "/pairs", 0, std::numeric_limits<int64_t>::max()}},
               [](const json& line) { return CheckResultsLine(line); });
}

// A whole round of 6 holes of 6 bones, each move any hole of the mover's
// (so some are passes), played here by the rules header: every step of the
// replay carries the flags of its own move, never of the one before or
// after.
TEST(Replay, EveryStepOfAWholeRoundCarriesItsOwnMovesFlags) {
  PsBoard board{};
  ASSERT_TRUE(PsSetUpBoard(&board, 6, 6));
  std::mt19937 pick(31);
  std::vector<std::array<int, 2>> moves;
  std::vector<ReplayStep> expected;
  int passes = 0, extras = 0, captures = 0;
  while (!board.RoundOver) {
    ReplayStep e;
    e.player = board.Mover;
    e.hole = static_cast<int>(pick() % 6) + 1;
    e.pass = board.Holes[e.player - 1][e.hole - 1] == 0;
    PsSowing sown{};
    ASSERT_TRUE(PsPlayMoveUnswept(&board, e.hole, &sown));
    e.extra = sown.ExtraMove != 0;
    e.captured = sown.Captured;
    e.over = board.RoundOver != 0;
    moves.push_back({e.player, e.hole});
    expected.push_back(e);
    passes += e.pass;
    extras += e.extra;
    captures += e.captured != 0;
  }
  ASSERT_GT(passes * extras * captures, 0) << "the round shows every flag";
  const Replay r = ReplayRound(6, 6, {}, moves);
  ASSERT_FALSE(r.error) << r.error->text;
  ASSERT_GE(r.steps.size(), moves.size() + 1);
  const auto flags = [](const ReplayStep& s) {
    return std::make_tuple(s.player, s.hole, s.pass, s.extra, s.captured, s.over);
  };
  for (size_t i = 0; i < moves.size(); ++i)
    EXPECT_EQ(flags(r.steps[i + 1]), flags(expected[i])) << "move " << i + 1;
}

}  // namespace
