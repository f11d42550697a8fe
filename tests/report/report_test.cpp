// The report: rounds replayed by the rules, match records read back,
// sampling of long runs and the page's escaping.
#include <gtest/gtest.h>

#include <fstream>
#include <variant>

#include "record_reader.h"
#include "render.h"
#include "replay.h"
#include "settings_words.h"

namespace {

using Row = std::vector<int64_t>;

TEST(Replay, OpeningExtraMove) {
  const Replay r = ReplayRound(6, 6, {1}, {{1, 2}, {2, 1}});
  ASSERT_FALSE(r.error) << r.error->text;
  ASSERT_EQ(r.steps.size(), 4u);
  EXPECT_EQ(r.steps[0].kind, StepKind::Start);
  EXPECT_EQ(r.steps[0].row[0], Row(6, 6));
  const ReplayStep& open = r.steps[1];
  EXPECT_EQ(open.kind, StepKind::Opening);
  EXPECT_TRUE(open.extra);
  EXPECT_EQ(open.row[0], (Row{0, 7, 7, 7, 7, 7}));
  EXPECT_EQ(open.store[0], 1);
  EXPECT_EQ(r.steps[2].player, 1);  // the extra move is player 1's
  EXPECT_EQ(r.steps[3].player, 2);
}

TEST(Replay, PassCaptureSweep) {
  // 2 holes of 1 bone, worked out by hand:
  //   start      P1 [1,1] P2 [1,1]
  //   1 plays 2  its bone into the store: S1 1, extra move
  //   1 plays 2  empty: a pass, player 2 to move
  //   2 plays 1  P2 [0,2]
  //   1 plays 1  last bone in empty P1 hole 2, opposite P2 hole 1 empty:
  //              no capture, P1 [0,1]
  //   2 plays 2  S2 1, P1 [1,1], P2 [0,0]: decided; the sweep gives P1's
  //              two bones to S1.
  const Replay r = ReplayRound(2, 1, {}, {{1, 2}, {1, 2}, {2, 1}, {1, 1}, {2, 2}});
  ASSERT_FALSE(r.error) << r.error->text;
  ASSERT_EQ(r.steps.size(), 7u);
  EXPECT_TRUE(r.steps[1].extra);
  EXPECT_TRUE(r.steps[2].pass);
  EXPECT_EQ(r.steps[2].row, r.steps[1].row);
  EXPECT_EQ(r.steps[4].captured, 0);
  EXPECT_TRUE(r.steps[5].over);
  EXPECT_EQ(r.steps[6].kind, StepKind::Sweep);
  EXPECT_EQ(r.steps[6].store, (std::array<int64_t, 2>{3, 1}));
  EXPECT_EQ(r.steps[6].row[0], Row(2, 0));

  // A capture, 3 holes of 1: 1 plays 2 -> P1 [1,0,2]; 2 plays 3 -> S2 1,
  // extra move; 2 plays 2 -> its last bone in empty P2 hole 3, opposite P1
  // hole 1 holds 1: both go to S2.
  const Replay c = ReplayRound(3, 1, {}, {{1, 2}, {2, 3}, {2, 2}});
  ASSERT_FALSE(c.error) << c.error->text;
  EXPECT_EQ(c.steps[3].captured, 3);
  EXPECT_EQ(c.steps[3].row[0], (Row{0, 0, 2}));
  EXPECT_EQ(c.steps[3].row[1], (Row{1, 0, 0}));
  EXPECT_EQ(c.steps[3].store[1], 3);
}

TEST(Replay, StopsAtBrokenRule) {
  EXPECT_NE(ReplayRound(6, 6, {}, {{2, 1}}).error->text.find("player 1 is to move"),
            std::string::npos);
  EXPECT_NE(ReplayRound(6, 6, {}, {{1, 7}}).error->text.find("hole 7 of 6"), std::string::npos);
  const Replay after = ReplayRound(1, 1, {}, {{1, 1}, {1, 1}});
  ASSERT_TRUE(after.error);
  EXPECT_NE(after.error->text.find("after the round was decided"), std::string::npos);
  EXPECT_EQ(after.steps.size(), 2u);  // the start and the one legal move
}

const char* kRecord =
    R"({"type":"match","settings":{"holes":6,"bones":6,"rounds":3},"players":[{"player":1,"name":"Ann"},{"player":2,"name":"Bob</script>"}]})"
    "\n"
    R"({"type":"round","round":0,"opening":[],"moves":[[1,3],[2,1]],"end":"rejected","rejected":{"player":1,"answer":0},"stores":[1,0],"winner":1,"turns":2})"
    "\r\n"
    R"({"type":"fault","round":1,"turn":1,"player":2,"kind":"crash","report":"pitsow: player 2 crashed"})"
    "\n"
    R"({"type":"round","round":1,"opening":[],"moves":[[1,3]],"end":"fault","stores":[1,0],"winner":1,"turns":1})"
    "\n"
    R"({"type":"end","tally":[2,0,0],"rounds":3,"elapsed":0.5,"status":4})"
    "\n";

TEST(MatchRecord, StandingsAndFaults) {
  auto read = ReadMatchRecord(kRecord);
  ASSERT_TRUE(read.ok()) << read.error().text;
  const ReportData& d = *read;
  ASSERT_EQ(d.standings.size(), 2u);
  EXPECT_EQ(d.standings[0].player, "Ann");
  EXPECT_EQ(d.standings[0].wins, 2);
  EXPECT_EQ(d.standings[1].losses, 2);
  EXPECT_EQ(d.standings[1].faults, 1);
  EXPECT_FALSE(d.standings[0].elo);  // 100 %: no finite Elo
  ASSERT_EQ(d.faults.size(), 2u);
  EXPECT_EQ(d.faults[0].kind, "rejected");
  EXPECT_EQ(d.faults[0].round_id, 0);
  EXPECT_EQ(d.faults[1].player, "Bob</script>");
  EXPECT_EQ(d.rounds[1].fault, "pitsow: player 2 crashed");
  ASSERT_TRUE(d.course);
  EXPECT_EQ(d.course->points.size(), 2u);
}

// A match of 0 : 20: the player who won every round is first (both Elo
// values are infinite, so the seat must not decide), its Elo shown as a
// bound that the chart can draw, and the verdict says who is stronger.
// A record without its end line says the match was cut short.
TEST(MatchRecord, OneSidedMatch) {
  std::string record =
      R"({"type":"match","settings":{"holes":1,"bones":1,"rounds":20},"players":[{"player":1,"name":"Ann"},{"player":2,"name":"Bob"}]})"
      "\n";
  for (int r = 0; r < 20; ++r)
    record += R"({"type":"round","round":)" + std::to_string(r) +
              R"(,"opening":[],"moves":[],"end":"majority","stores":[0,2],"winner":2,"turns":0})"
              "\n";
  auto read = ReadMatchRecord(record);
  ASSERT_TRUE(read.ok()) << read.error().text;
  const ReportData& d = *read;
  EXPECT_EQ(d.standings[0].player, "Bob");
  EXPECT_EQ(d.standings[0].elo_note, "above +277 at 95 %");
  EXPECT_EQ(d.standings[1].elo_note, "below -277 at 95 %");
  ASSERT_TRUE(d.standings[0].elo_bound);
  EXPECT_EQ(d.verdict,
            "Bob is stronger than Ann: Ann won 0, drew 0 and lost 20 of 20 rounds; Elo of Ann "
            "below -277 at 95 %, LOS 0.0 %; the interval excludes 0.");
  ASSERT_EQ(d.verdict_notes.size(), 1u);
  EXPECT_EQ(d.verdict_notes[0],
            "The match was cut short: the record ends without its end line, after 20 of 20 "
            "rounds.");
  const std::string page = RenderReport(d);
  EXPECT_NE(page.find("class=\"err bound\""), std::string::npos) << "the bound is drawn";
}

// The tools' errors say the reason, and a tournament's results name the
// command that reads them.
TEST(MatchRecord, ErrorsSayWhy) {
  const std::string dir = ::testing::TempDir();
  const std::string results = dir + "/results.jsonl";
  std::ofstream(results)
      << R"({"type":"tournament","program":"pitsow-arena","version":"1","settings":{}})"
      << "\n";
  const auto tournament = WriteMatchReport(results, dir + "/page.html");
  ASSERT_TRUE(tournament);
  EXPECT_NE(tournament->text.find("make its page with pitsow-arena report DIR"), std::string::npos)
      << tournament->text;
  const auto missing = WriteMatchReport(dir + "/no-such.jsonl", dir + "/page.html");
  ASSERT_TRUE(missing);
  EXPECT_NE(missing->text.find(": No such file or directory"), std::string::npos) << missing->text;
  std::ofstream(dir + "/match.jsonl") << kRecord;
  const auto unwritable = WriteMatchReport(dir + "/match.jsonl", dir + "/no-such-folder/page.html");
  ASSERT_TRUE(unwritable);
  EXPECT_NE(
      unwritable->text.find("cannot write " + dir + "/no-such-folder/page.html: No such file"),
      std::string::npos)
      << unwritable->text;
}

TEST(MatchRecord, BadLines) {
  auto notMatch = ReadMatchRecord(R"({"type":"round","round":0})");
  ASSERT_FALSE(notMatch.ok());
  EXPECT_NE(notMatch.error().text.find("line 1"), std::string::npos);
  auto broken = ReadMatchRecord(std::string(kRecord) + "{\"type\":\"round\",\n");
  ASSERT_FALSE(broken.ok());
  EXPECT_NE(broken.error().text.find("line 6"), std::string::npos);
  const std::string match = std::string(kRecord).substr(0, std::string(kRecord).find('\n') + 1);
  const std::pair<std::string, std::string> hostile[] = {
      {"{\"type\":5}", "line 2: \"type\" is not a text"},
      {"5", "line 2: not a JSON object"},
      {R"({"type":"round","round":0,"opening":[],"moves":[[1,9]],"end":"","stores":[0,0],"winner":0})",
       "line 2: \"moves\" item 1 is out of place"},
      {R"({"type":"fault","round":"1","player":1,"kind":"crash","report":""})",
       "line 2: \"round\" is not an integer from 0 to 2147483647 or null"},
      {R"({"type":"player","player":3,"name":"x"})",
       "line 2: \"player\" is not an integer from 1 to 2"},
  };
  for (const auto& [line, why] : hostile) {
    auto bad = ReadMatchRecord(match + line + "\n");
    ASSERT_FALSE(bad.ok()) << line;
    EXPECT_EQ(bad.error().text, why);
  }
  auto missing = WriteMatchReport("/nonexistent/record.jsonl", "/nonexistent/out.html");
  ASSERT_TRUE(missing);
}

TEST(Page, ScriptSafe) {
  const ReportData d = *ReadMatchRecord(kRecord);
  const std::string page = RenderReport(d);
  const size_t data = page.find("id=\"report-data\">");
  ASSERT_NE(data, std::string::npos);
  // The first "</script" after the data's start closes the data itself.
  const size_t close = page.find("</script", data);
  EXPECT_EQ(page.substr(close - 1, 1), "}");
  // No "<" at all within the data ("<!--<script>" would hold the element open).
  EXPECT_EQ(page.substr(data, close - data).find('<'), std::string::npos);
  EXPECT_NE(page.find("Bob&lt;/script&gt;"), std::string::npos);
  EXPECT_NE(page.find("href=\"#round-1\""), std::string::npos);
}

TEST(Page, Sampling) {
  ReportData d;
  for (int i = 0; i < 10000; ++i) {
    RoundView r;
    r.id = i;
    if (i % 2000 == 7) r.fault = "crash";
    if (i == 9999) r.end = "rejected";
    d.rounds.push_back(r);
  }
  SampleRounds(d, 3000);
  EXPECT_EQ(d.rounds.size(), 3000u);
  EXPECT_EQ(d.total_rounds, 10000);
  int notable = 0;
  for (const RoundView& r : d.rounds) notable += !r.fault.empty() || r.end == "rejected";
  EXPECT_EQ(notable, 6);
  EXPECT_EQ(d.rounds.front().id, 0);
  EXPECT_GT(d.rounds[d.rounds.size() - 2].id, 9900);  // spread to the end
  EXPECT_NE(d.sampling_note.find("10000"), std::string::npos);
}

// A long lopsided run keeps every draw and every loss of the leading
// player, and fills the rest with its wins.
TEST(Page, SamplingKeepsTheLeadersLossesAndTheDraws) {
  ReportData d;
  for (int i = 0; i < 10000; ++i) {
    RoundView r;
    r.id = i;
    r.player1 = i % 2 ? "A" : "B";
    r.player2 = i % 2 ? "B" : "A";
    const int aSeat = i % 2 ? 1 : 2;
    r.winner = i % 100 == 0 ? 0 : i % 10 == 3 ? 3 - aSeat : aSeat;  // 1 % draws, 10 % B wins
    d.rounds.push_back(r);
  }
  SampleRounds(d, 3000);
  int draws = 0, upsets = 0;
  for (const RoundView& r : d.rounds) {
    draws += r.winner == 0;
    upsets += r.winner != 0 && (r.winner == 1 ? r.player1 : r.player2) == "B";
  }
  EXPECT_EQ(d.rounds.size(), 3000u);
  EXPECT_EQ(draws, 100);
  EXPECT_EQ(upsets, 1000);
  EXPECT_EQ(d.sampling_note,
            "This run played 10000 rounds; this page keeps 3000 of them: all 0 that ended in a "
            "fault or a rejected answer, 1100 of 1100 draws and losses of a pairing's leading "
            "player, and 1900 of 8900 wins of the leading players, evenly spaced over the run. "
            "Keep every round of a player with pitsow-arena report --keep-rounds LABEL (or all), "
            "or replay any one with pitsow-arena replay DIR PAIRING PAIR SEAT.");
}

// --keep-rounds: every round of the named player is kept, however many;
// all: nothing is sampled.
TEST(Page, SamplingKeepsThePlayersAsked) {
  ReportData d;
  for (int i = 0; i < 9000; ++i) {
    RoundView r;
    r.id = i;
    r.player1 = i % 3 == 0 ? "C" : "A";
    r.player2 = "B";
    r.winner = i % 3 == 0 ? 2 : 1;  // C always loses: the leading B's wins
    d.rounds.push_back(r);
  }
  ReportData all = d;
  d.keep_players = {"C"};
  SampleRounds(d, 1000);
  int of_c = 0;
  for (const RoundView& r : d.rounds) of_c += r.player1 == "C";
  EXPECT_EQ(of_c, 3000);
  EXPECT_NE(d.sampling_note.find("or were played by C (--keep-rounds)"), std::string::npos);
  all.keep_all = true;
  SampleRounds(all, 1000);
  EXPECT_EQ(all.rounds.size(), 9000u);
  EXPECT_TRUE(all.sampling_note.empty());
}

TEST(Page, LargeCounts) {
  Replay r;
  ReplayStep s;
  s.row = {Row{61, 62}, Row{0, 1000}};
  s.store = {5, 70};
  r.steps.push_back(s);
  EXPECT_EQ(EncodeSteps(r), "00000Z~62~0~1000~5~70~");
}

TEST(Elo, Interval) {
  const auto [elo, err] = EloWithError(60, 0, 40);
  EXPECT_NEAR(*elo, 70.4, 0.1);
  ASSERT_TRUE(err);
  EXPECT_GT(*err, 60);
  EXPECT_LT(*err, 80);
}

}  // namespace

// The settings of a real record line, every one in words and units.
TEST(MatchRecord, SettingsInWords) {
  const auto settings = nlohmann::json::parse(
      R"({"holes":6,"bones":4,"rounds":100,"max_turns":300,"log_levels":[3,0,0],"params":[2,0],
          "out_file":"","isolate":true,"forfeit":true,"move_time":0.25,"call_time":10.0,
          "memory_mb":0,"openings":null,"quiet":true,"time_control":"40/60"})");
  const SettingLines expected = {{"board", "6 holes of 4 bones"},
                                 {"rounds", "100"},
                                 {"turn limit", "300 turns a round"},
                                 {"parameters", "player 1: 2, player 2: 0"},
                                 {"log levels", "referee 3, player 1 0, player 2 0"},
                                 {"log file", "standard output"},
                                 {"players run", "each in a process of its own"},
                                 {"move time", "0.250 s a move"},
                                 {"call time", "10 s a call"},
                                 {"memory", "no limit"},
                                 {"a rejected answer", "loses the round"},
                                 {"openings", "none"},
                                 {"time control", "40/60"}};
  EXPECT_EQ(MatchSettingsInWords(settings), expected);
  const SettingLines end = {{"elapsed", "0.103 s"},
                            {"exit status", "4, a player's fault ended the match"}};
  EXPECT_EQ(MatchEndInWords(nlohmann::json::parse(R"({"elapsed":0.102795251,"status":4})")), end);
}
