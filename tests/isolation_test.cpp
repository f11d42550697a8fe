// Whole matches with the referee's long options: players in processes of
// their own (faults lose the round and end the match with status 4,
// leaving no process or file behind), the forfeit rule, the JSON Lines
// record read back and replayed through the rules, and openings.
#include <sys/prctl.h>

#include <nlohmann/json.hpp>

#include "board.h"
#include "match_runner.h"

namespace {

using nlohmann::json;

std::vector<json> Record(const Arena& a, const std::string& name = "r.jsonl") {
  std::vector<json> lines;
  for (const std::string& line : Lines(a.File(name))) lines.push_back(json::parse(line));
  return lines;
}

// Hosts left by a referee come to this process, which reaps them: none may
// still be running once the referee has ended.
bool NoProcessLeft() {
  static const bool subreaper = prctl(PR_SET_CHILD_SUBREAPER, 1) == 0;
  if (!subreaper) return true;
  for (int tries = 0; tries < 200; ++tries) {
    int status = 0;
    const pid_t pid = waitpid(-1, &status, WNOHANG);
    if (pid < 0) return true;  // no child at all
    if (pid == 0) usleep(10000);
  }
  return false;
}

struct IsolatedFault {
  std::string fault;  // ACTION ENTRY ROUND TURN of the faulty player
  int who;
  std::vector<std::string> options;
  std::string report;  // a pattern
};

class Isolated : public testing::TestWithParam<IsolatedFault> {};

TEST_P(Isolated, AFaultLosesTheRoundAndEndsTheMatch) {
  ASSERT_TRUE(NoProcessLeft());
  const IsolatedFault& c = GetParam();
#if defined(__SANITIZE_ADDRESS__)
  if (c.fault.rfind("hog", 0) == 0)
    GTEST_SKIP() << "AddressSanitizer reserves terabytes of address space: no limit applies";
#endif
  Arena a(FAULTY_SO, FAULTY_SO);
  WriteFile(a.Run() / ("fault" + std::to_string(c.who) + ".txt"), c.fault + "\n");
  std::vector<std::string> args = {"--isolate", "/R=4", "--results=r.jsonl"};
  args.insert(args.end(), c.options.begin(), c.options.end());
  const Result r = a.Play(args);
  EXPECT_EQ(r.status, 4) << r.err;
  const std::string report = r.err.substr(0, r.err.find('\n'));
  // A machine too loaded to give a spinning player its CPU cannot judge its
  // CPU limit: the referee says so and charges nobody, as the arena then
  // plays again. (A sleeping player is never starved: its case still fails.)
  const std::string starved = " (not charged: starved by the machine)";
  if (c.report.find("s of CPU") != std::string::npos && report.size() > starved.size() &&
      report.compare(report.size() - starved.size(), starved.size(), starved) == 0)
    GTEST_SKIP() << report;
  EXPECT_TRUE(std::regex_match(report, std::regex(c.report))) << r.err;
  const std::string log = a.File("PsLog.txt");
  EXPECT_NE(log.find(report + "\r\n"), std::string::npos) << log;
  EXPECT_NE(log.find("Elapsed Time: "), std::string::npos);

  const std::vector<json> record = Record(a);
  ASSERT_GE(record.size(), 2u);
  EXPECT_EQ(record.front()["type"], "match");  // whatever failed, the record says what it is of
  const json& end = record.back();
  EXPECT_EQ(end["type"], "end");
  EXPECT_EQ(end["status"], 4);
  size_t rounds = 0;
  for (const json& line : record) {
    if (line["type"] == "fault") {
      EXPECT_EQ(line["report"], report);
    }
    if (line["type"] != "round") continue;
    ++rounds;
    if (line["end"] == "fault") {
      EXPECT_EQ(line["winner"], 3 - c.who) << line;
    }
  }
  // Every round that finished is in the log and the record.
  EXPECT_EQ(Count(log, "ROUND "), rounds);
  EXPECT_TRUE(NoProcessLeft());
  EXPECT_TRUE(a.TmpIsEmpty());
}

const std::string kRound = ", round 1, turn [0-9]+";
const std::string kCpu = ": used [0-9.]+ s of CPU in [0-9.]+ s";

INSTANTIATE_TEST_SUITE_P(
    Faults, Isolated,
    testing::Values(
        IsolatedFault{"segv PsGetTurn 1 3",
                      1,
                      {},
                      R"(pitsow: player 1 \(PsPlayer1.so\) crashed in PsGetTurn)" + kRound +
                          ": Segmentation fault"},
        IsolatedFault{
            "abort PsOppTurn 1 3",
            2,
            {},
            R"(pitsow: player 2 \(PsPlayer2.so\) crashed in PsOppTurn)" + kRound + ": Aborted"},
        IsolatedFault{"segv PsInit -1 0",
                      2,
                      {},
                      R"(pitsow: player 2 \(PsPlayer2.so\) crashed in PsInit: Segmentation fault)"},
        IsolatedFault{
            "abort PsEndRound 1 0",
            1,
            {},
            R"(pitsow: player 1 \(PsPlayer1.so\) crashed in PsEndRound, round 1: Aborted)"},
        IsolatedFault{"segv PsDone -1 0",
                      1,
                      {},
                      R"(pitsow: player 1 \(PsPlayer1.so\) crashed in PsDone: Segmentation fault)"},
        IsolatedFault{
            "exit0 PsGetTurn 1 2",
            2,
            {},
            R"(pitsow: player 2 \(PsPlayer2.so\) ended with status 0 in PsGetTurn)" + kRound},
        IsolatedFault{
            "quick PsOppTurn 1 2",
            1,
            {},
            R"(pitsow: player 1 \(PsPlayer1.so\) ended with status 0 in PsOppTurn)" + kRound},
        IsolatedFault{"hang PsGetTurn 1 2",
                      1,
                      {"--move-time=0.2"},
                      R"(pitsow: player 1 \(PsPlayer1.so\) exceeded the move time of 0.200 s in )"
                      "PsGetTurn" +
                          kRound + kCpu},
        // Without --move-time, PsGetTurn has the call time: a hung player
        // cannot hang the match.
        IsolatedFault{"hang PsGetTurn 1 2",
                      2,
                      {"--call-time=1"},
                      R"(pitsow: player 2 \(PsPlayer2.so\) exceeded the call time of 1.000 s in )"
                      "PsGetTurn" +
                          kRound + kCpu},
        IsolatedFault{"sleep PsEndRound 1 0",
                      2,
                      {"--call-time=0.3"},
                      R"(pitsow: player 2 \(PsPlayer2.so\) exceeded the call time of 0.300 s in )"
                      "PsEndRound, round 1: blocked for [0-9.]+ s"},
        IsolatedFault{"burn30 PsGetTurn 1 0",
                      1,
                      {"--time-control=0.05+0"},
                      R"(pitsow: player 1 \(PsPlayer1.so\) ran out of its time of 0.05\+0 s in )"
                      "PsGetTurn" +
                          kRound + kCpu + " with 0.0[0-9]+ s left"},
        IsolatedFault{"hog PsGetTurn 1 2",
                      2,
                      {"--memory=64"},
                      R"(pitsow: player 2 \(PsPlayer2.so\) ran out of memory in PsGetTurn)" +
                          kRound + ".*"}));

TEST(LongOptions, ABadOneStopsEverythingWithStatus64) {
  for (const std::vector<std::string>& args : {std::vector<std::string>{"--no-such-option"},
                                               {"--move-time=fast"},
                                               {"--move-time=-1"},
                                               {"--memory=0"},
                                               {"--results="},
                                               {"--move-time=1"}}) {
    Arena a;
    const Result r = a.Play(args);
    EXPECT_EQ(r.status, 64) << args[0];
    EXPECT_EQ(Count(r.err, "\n"), 1u) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_FALSE(a.Exists("PsLog.txt"));
    EXPECT_FALSE(a.Exists("calls.txt")) << "a player was bound";
  }
}

TEST(LongOptions, PlayersByName) {
  Arena a("", "");
  const Result r = a.Play({"--player1", SCRIPTED_SO, std::string("--player2=") + TOSSEL_SO, "/L=01",
                           "/L=20", "--quiet"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("Player 2 name        <Mopsy>"), std::string::npos);
  EXPECT_EQ(r.out.find("Turn:"), std::string::npos) << "--quiet shows no progress";
  // --quiet ends the console with the result in one line; the tally and
  // the stores agree with the log's last round line.
  const std::vector<std::string> out = Lines(r.out), log = Lines(a.File("PsLog.txt"));
  std::smatch round;
  ASSERT_GE(log.size(), 2u);
  ASSERT_TRUE(
      std::regex_search(log[log.size() - 2], round,
                        std::regex(R"(: +(\d+) +Player 2 : +(\d+) +\( +(\d+): +(\d+)\) +(\d+))")));
  EXPECT_EQ(MaskTimes(out.back()), "Player 1 won " + round.str(3) + ", player 2 won " +
                                       round.str(4) + ", " + round.str(5) + " drawn; last round " +
                                       round.str(1) + " : " + round.str(2) + "; elapsed #.### s\r");
}

// A bare name goes to the loader; a file of that name in the current
// folder earns a hint on the error line, the status stays 2.
TEST(LongOptions, ABareNameFoundOnlyHereHintsAtDotSlash) {
  Arena a("", "");
  fs::copy_file(TOSSEL_SO, a.Run() / "Here.so");
  const Result r = a.Play({"--player1=Here.so", std::string("--player2=") + TOSSEL_SO});
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err,
            "pitsow: cannot load player library Here.so: Here.so: cannot open shared object file: "
            "No such file or directory (a bare name is searched by the loader, not in the current "
            "folder: write ./Here.so for the file here)\n");
}

// The record read back: each round's moves, replayed through the rules
// after its opening, give its final stores; the end line's tally agrees
// with the log's round lines.
TEST(Record, RoundsReplayToTheirStoresAndTheTallyAgreesWithTheLog) {
  Arena a(TOSSEL_SO, TOSSEL_SO);
  WriteFile(a.Run() / "openings.txt", "1 3\n2, 5\n\n4\n");
  const Result r = a.Play({"/R=12", "/L=01", "/L=10", "/L=20", "--results=r.jsonl",
                           "--openings=openings.txt", "--isolate"});
  ASSERT_EQ(r.status, 0) << r.err;
  const std::vector<json> record = Record(a);
  ASSERT_EQ(record.size(), 16u);
  EXPECT_EQ(record[0]["type"], "match");
  EXPECT_EQ(record[2]["type"], "player");
  EXPECT_EQ(record[2]["name"], "Mopsy");
  int tally[3] = {0, 0, 0};
  for (size_t i = 3; i + 1 < record.size(); ++i) {
    const json& round = record[i];
    PsBoard b;
    ResetBoard(b, 6, 6);
    int32_t turns = 0;
    for (const int32_t hole : round["opening"]) {
      const int p = CurPlayer(b);
      const PsSowing s = PsSow(Holes(b, p), Holes(b, 3 - p), &Store(b, p), 6, hole);
      b.Mover = s.ExtraMove ? p : 3 - p;
    }
    for (const json& move : round["moves"]) {
      const int p = move[0];
      ASSERT_EQ(p, CurPlayer(b)) << round;
      const PsSowing s = PsSow(Holes(b, p), Holes(b, 3 - p), &Store(b, p), 6, move[1]);
      b.Mover = s.ExtraMove ? p : 3 - p;
      ++turns;
    }
    EndRound(b);
    EXPECT_EQ(round["stores"], json({Store(b, 1), Store(b, 2)})) << round;
    EXPECT_EQ(round["turns"], turns);
    ++tally[round["winner"].get<int>()];
  }
  EXPECT_EQ(record[4]["opening"], json({2, 5}));
  EXPECT_EQ(record[5]["opening"], json({4}));
  const std::vector<std::string> log = Lines(a.File("PsLog.txt"));
  std::string last;
  for (const std::string& line : log)
    if (line.rfind("ROUND", 0) == 0) last = line;
  char expected[64];
  snprintf(expected, sizeof expected, "(%4d:%4d) %4d", tally[1], tally[2], tally[0]);
  EXPECT_NE(last.find(expected), std::string::npos) << last;
  EXPECT_EQ(record.back()["tally"], json({tally[1], tally[2], tally[0]}));
  // Every line has what the documented schema requires of its type.
  const json schema = json::parse(ReadFile(SCHEMA_JSON))["$defs"];
  for (const json& line : record)
    for (const json& key : schema[line["type"].get<std::string>()]["required"])
      EXPECT_TRUE(line.contains(key)) << line["type"] << " lacks " << key;
}

// No bones: every round is a draw, and the end line counts them.
TEST(Record, TheEndLineCountsDraws) {
  Arena a(TOSSEL_SO, TOSSEL_SO);
  ASSERT_EQ(a.Play({"/R=3", "/B=0", "--results=r.jsonl"}).status, 0);
  json end = Record(a).back();
  end.erase("elapsed");
  EXPECT_EQ(end, json::parse(R"({"type":"end","tally":[0,0,3],"rounds":3,"status":0})"));
}

TEST(Record, PlayerTextsKeepEveryByte) {
  Arena a(FAULTY_SO, FAULTY_SO);
  WriteFile(a.Run() / "fault1.txt", "texts\n");
  ASSERT_EQ(a.Play({"/R=1", "--results=r.jsonl"}).status, 0);
  const json player = Record(a)[1];
  EXPECT_EQ(player["creator"], "\x1b]0;owned\x07\tX\x7f\xc3\xa9");  // 0xE9 as U+00E9
}

TEST(Forfeit, AnAnswerOfZeroWhenAheadLosesTheRound) {
  for (const bool forfeit : {false, true}) {
    Arena a(FAULTY_SO, TOSSEL_SO);
    WriteFile(a.Run() / "fault1.txt", "lead0 PsGetTurn 0 0\n");
    std::vector<std::string> args = {"/R=20", "/L=20", "--results=r.jsonl"};
    if (forfeit) args.push_back("--forfeit");
    ASSERT_EQ(a.Play(args).status, 0);
    int rejectedWonByOne = 0, rejected = 0;
    for (const json& line : Record(a)) {
      if (line["type"] != "round" || line["end"] != "rejected") continue;
      ++rejected;
      if (line["winner"] == 1) ++rejectedWonByOne;
    }
    ASSERT_GT(rejected, 0);
    if (forfeit)
      EXPECT_EQ(rejectedWonByOne, 0);
    else
      EXPECT_GT(rejectedWonByOne, 0) << "by the stores, the leader wins";
  }
}

TEST(Openings, TwoOpeningsGiveDeterministicPlayersTwoRounds) {
  Arena a;
  WriteFile(a.Run() / "openings.txt", "3\n5 2\n");
  ASSERT_EQ(a.Play({"/R=2", "--openings=openings.txt", "--results=r.jsonl", "/L=05"}).status, 0);
  const std::vector<json> record = Record(a);
  EXPECT_NE(record[3]["moves"], record[4]["moves"]);
  const std::string log = a.File("PsLog.txt");
  EXPECT_NE(log.find("Opening: 5 2\r\n"), std::string::npos);
}

TEST(Openings, ABadLineIsAUsageErrorNamingIt) {
  const std::pair<std::string, std::string> cases[] = {
      {"1\n7\n", "openings.txt, line 2: hole 7 is not a hole from 1 to 6"},
      {"1 1\n", "line 1: hole 1 of player 1 is empty"},
      {"\n2 x\n", "line 2: not a list of holes"},
  };
  for (const auto& [text, why] : cases) {
    Arena a;
    WriteFile(a.Run() / "openings.txt", text);
    const Result r = a.Play({"--openings=openings.txt"});
    EXPECT_EQ(r.status, 64);
    EXPECT_NE(r.err.find(why), std::string::npos) << r.err;
    EXPECT_FALSE(a.Exists("PsLog.txt"));
  }
  // An opening that ends the round: one hole, one bone each.
  Arena a;
  WriteFile(a.Run() / "openings.txt", "1\n");
  const Result r = a.Play({"--openings=openings.txt", "/H=1", "/B=1"});
  EXPECT_EQ(r.status, 64);
  EXPECT_NE(r.err.find("the opening ends the round"), std::string::npos) << r.err;
}

// Limits count CPU, not wall time: a player that sleeps 60 ms a move,
// three times its move time but under the backstop, plays to the end.
TEST(TimeLimits, APlayerThatWaitsButThinksLittleIsNotStopped) {
  Arena a(FAULTY_SO, TOSSEL_SO);
  WriteFile(a.Run() / "fault1.txt", "nap60 PsGetTurn 0 0\n");
  const Result r = a.Play({"--isolate", "/H=3", "/B=2", "--move-time=0.02", "--results=r.jsonl"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
}

// Under a time control every answer's CPU is charged to its mover: the time
// left after each is the base plus an increment a move less what the moves
// cost, and the moves cost no more than the round's CPU of their player.
TEST(TimeLimits, TheTimeLeftAtEachMoveAddsUp) {
  Arena a(FAULTY_SO, TOSSEL_SO);
  WriteFile(a.Run() / "fault1.txt", "burn20 PsGetTurn 0 0\n");
  const Result r = a.Play({"--isolate", "/R=2", "--time-control=1+0.01", "--results=r.jsonl"});
  ASSERT_EQ(r.status, 0) << r.err;
  const std::vector<json> record = Record(a);
  EXPECT_EQ(record[0]["settings"]["time_control"], "1+0.01");
  for (const json& round : record) {
    if (round["type"] != "round") continue;
    ASSERT_EQ(round["clock"].size(), round["moves"].size()) << round;
    double spent[3] = {0, 0, 0};
    int moves[3] = {0, 0, 0};
    for (size_t i = 0; i < round["moves"].size(); ++i) {
      const int p = round["moves"][i][0];
      spent[p] += round["clock"][i][0].get<double>();
      ++moves[p];
      EXPECT_NEAR(round["clock"][i][1].get<double>(), 1 + 0.01 * moves[p] - spent[p], 1e-9);
    }
    for (int p = 1; p <= 2; ++p) EXPECT_LE(spent[p], round["cpu"][p - 1].get<double>() + 1e-9);
  }
}

}  // namespace
