// The match driver in the test's process, with players inside the test
// and a clock that advances a fixed step per reading: which turns are
// played, to whom their time is charged, and that the log, the record,
// the console and the page say the same of them.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <nlohmann/json.hpp>
#include <sstream>

#include "match.h"
#include "record_reader.h"
#include "render.h"
#include "stub_players.h"
#include "test_dir.h"

namespace {

long double Ticks = 0;
long double OneSecondPerReading() { return Ticks += 1; }
// 3/16 s a reading: every time is exact in binary, and one of an odd
// number of readings lies on a half at the third decimal, where rounding
// halves away from zero (the log's rule) and to even (printf's) may differ.
long double ThreeSixteenthsPerReading() { return Ticks += 0.1875L; }

struct Driven {
  TestDir dir;
  Referee ref;
  // Player 1 answers holes 2 and 3, player 2 hole 2: no move ends in a
  // store, so each Turn call is one move.
  explicit Driven(std::vector<std::string> args, long double (*clock)() = OneSecondPerReading) {
    BindStubs(ref);
    Stubs().answers[1] = {2, 3};
    Stubs().answers[2] = {2};
    ref.setup.clock = clock;
    ref.setup.options.quiet = true;  // the console ends with the summary line
    ref.setup.options.results = (dir / "record.jsonl").string();
    const std::string console = (dir / "console.txt").string();
    ref.out.console = {open(console.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644), console};
    args.push_back("/F=" + (dir / "log.txt").string());
    EXPECT_EQ(*RunMatch(ref, args), 0);
    close(ref.out.console.fd);
  }
  std::string Log() { return ReadFile(dir / "log.txt"); }
  std::vector<nlohmann::json> Record() {
    std::vector<nlohmann::json> lines;
    std::istringstream in(ReadFile(dir / "record.jsonl"));
    for (std::string line; std::getline(in, line);) lines.push_back(nlohmann::json::parse(line));
    return lines;
  }
};

TEST(Driver, TheTurnLimitEndsTheRoundAfterExactlyThatManyTurns) {
  Driven d({"/T=3"});
  const std::vector<std::string>& calls = Stubs().calls;
  EXPECT_EQ(std::count_if(calls.begin(), calls.end(),
                          [](const std::string& c) { return c.find("GetTurn") != c.npos; }),
            3);
  EXPECT_NE(d.Log().find("Turns:    3"), std::string::npos) << d.Log();
}

TEST(Driver, EachTurnsTimeIsChargedToItsMover) {
  Driven d({"/T=3"});
  // Player 1 made two Turn calls, player 2 one, each one second long.
  EXPECT_NE(d.Log().find("Elapsed Time: 2.0000 / 1.0000\r\n"), std::string::npos) << d.Log();
}

// The record read back: each of the log's round lines is rebuilt whole
// from the record's rounds (stores, the tally so far, turns, each player's
// time so far), and the match's elapsed time, a half at the third decimal
// (19 readings: 3.5625 s), reads alike in the log, the console and the
// page made of the record.
TEST(Driver, TheRecordRebuildsTheLogAndOneTimeReadsAlikeEverywhere) {
  Driven d({"/T=3", "/R=4"}, ThreeSixteenthsPerReading);
  std::vector<std::string> expected;
  int tally[3] = {0, 0, 0};
  double time[3] = {0, 0, 0};
  double elapsed = -1;
  for (const nlohmann::json& line : d.Record()) {
    if (line["type"] == "end") elapsed = line["elapsed"];
    if (line["type"] != "round") continue;
    ++tally[line["winner"].get<int>()];
    time[1] += line["time"][0].get<double>();
    time[2] += line["time"][1].get<double>();
    char text[160];
    snprintf(text, sizeof text,
             "ROUND %4d   Player 1 : %2d   Player 2 : %2d   (%4d:%4d) %4d   Turns: %4d "
             "Elapsed Time: %6.4f / %6.4f",
             line["round"].get<int>(), line["stores"][0].get<int>(), line["stores"][1].get<int>(),
             tally[1], tally[2], tally[0], line["turns"].get<int>(), time[1], time[2]);
    expected.push_back(text);
  }
  std::vector<std::string> rounds;
  std::istringstream log(d.Log());
  for (std::string line; std::getline(log, line);)
    if (line.rfind("ROUND", 0) == 0) rounds.push_back(line.substr(0, line.size() - 1));  // '\r'
  EXPECT_EQ(rounds, expected);
  EXPECT_NE(time[1], time[2]) << "equal times would not show them swapped";

  // Rounded half away from zero, in whole milliseconds: where printf's
  // rounding to even would print another text.
  const long long ms = std::llround(elapsed * 1000);
  char text[32], printf_text[32];
  snprintf(text, sizeof text, "%lld.%03lld", ms / 1000, ms % 1000);
  snprintf(printf_text, sizeof printf_text, "%.3f", elapsed);
  ASSERT_STRNE(text, printf_text) << elapsed << " s is no half at the third decimal";
  const std::string shown = std::string(text) + " s";
  EXPECT_NE(d.Log().find("Elapsed Time: " + shown + "\r\n"), std::string::npos) << d.Log();
  const std::string console = ReadFile(d.dir / "console.txt");
  EXPECT_NE(console.find("; elapsed " + shown), std::string::npos) << console;
  auto report = ReadMatchRecord(ReadFile(d.dir / "record.jsonl"));
  ASSERT_TRUE(report.ok()) << report.error().text;
  const std::string page = RenderReport(*report);
  EXPECT_NE(page.find(shown), std::string::npos);
  EXPECT_EQ(page.find(std::string(printf_text) + " s"), std::string::npos);
}

}  // namespace
