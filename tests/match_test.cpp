// Whole matches: the referee run as a process against player libraries
// built for the tests, its console, log, exit status and the calls its
// players received compared with what they must be.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <regex>

#include "match_runner.h"

namespace fs = std::filesystem;

namespace {

TEST(Match, CallsReachEachPlayerInTheirExactOrder) {
  Arena a;
  const Result r = a.Play({"/H=2", "/B=1"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(a.File("calls.txt"),
            "P1 PsInit size=352 maxver=1 currver=0 player=1 holes=2 bones=1 level=3 param=0 "
            "loads=1\n"
            "P2 PsInit size=352 maxver=1 currver=0 player=2 holes=2 bones=1 level=3 param=0 "
            "loads=1\n"
            "P1 PsGetTurn my=1,1,0,0,0,0 opp=1,1,0,0,0,0 stores=0,0\n"
            "P2 PsOppTurn 1\n"
            "P2 PsGetTurn my=1,1,0,0,0,0 opp=0,2,0,0,0,0 stores=0,0\n"
            "P1 PsOppTurn 1\n"
            "P1 PsGetTurn my=0,2,0,0,0,0 opp=0,2,0,0,0,0 stores=0,0\n"
            "P2 PsOppTurn 2\n"
            "P1 PsEndRound 1 3 3\n"
            "P2 PsEndRound 3 1 3\n"
            "P1 PsDone\n"
            "P2 PsDone\n");
}

TEST(Match, AnswersOutsideTheBoardEndEachRoundWithoutPsOppTurn) {
  Arena a;
  a.Script(1, "moves 0 -1 7\n");
  const Result r = a.Play({"/R=3"});
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string calls = a.File("calls.txt");
  EXPECT_EQ(calls.find("PsOppTurn"), std::string::npos) << calls;
  EXPECT_NE(calls.find("P1 PsEndRound 0 0 0\nP2 PsEndRound 0 0 0\n"), std::string::npos);
  const std::string log = a.File("PsLog.txt");
  EXPECT_NE(log.find("      ERROR!!!  PsGetTurn Wrong Result: 0, NumHoles= 6 Player: 1\r\n"
                     "ROUND    0   Player 1 :  0   Player 2 :  0   (   0:   0)    1   Turns:    0"),
            std::string::npos)
      << log;
  EXPECT_NE(log.find("Wrong Result: -1, NumHoles= 6 Player: 1\r\nROUND    1"), std::string::npos);
  EXPECT_NE(log.find("Wrong Result: 7, NumHoles= 6 Player: 1\r\nROUND    2   Player 1 :  0   "
                     "Player 2 :  0   (   0:   0)    3"),
            std::string::npos);
}

TEST(Match, FirstPlayerThatCannotPlayStopsTheMatchBeforePlayerTwo) {
  Arena a;
  a.Script(1, "init 0\n");
  const Result r = a.Play({});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "PsInfo size 352\r\nInit Player 1 ERROR!\r\nFirst Player Can't Play\r\n");
  EXPECT_EQ(Lines(a.File("calls.txt")).size(), 1u) << "player 2 untouched, no PsDone";
  const std::string log = a.File("PsLog.txt");
  EXPECT_EQ(log.substr(log.find("OutFile")),
            "OutFile; <PsLog.txt>\r\nInit Player 1 ERROR!\r\nFirst Player Can't Play\r\n");
}

TEST(Match, SecondPlayerThatCannotPlayStopsTheMatchWithoutPsDone) {
  Arena a;
  a.Script(2, "init 0\n");
  const Result r = a.Play({});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("Init Player 2 ERROR!\r\nSecond Player Can't Play\r\n"), std::string::npos);
  const std::vector<std::string> calls = Lines(a.File("calls.txt"));
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[1].substr(0, 9), "P2 PsInit");
}

TEST(Match, AnyNonzeroInitByteMeansReady) {
  Arena a;
  a.Script(1, "init 255\n");
  a.Script(2, "init 2\n");
  EXPECT_EQ(a.Play({"/L=00"}).status, 0);
}

TEST(Match, OneLibraryFileUnderBothNamesGivesTwoPlayers) {
  for (const char* how : {"symlink", "hardlink", "copy"}) {
    Arena a(SCRIPTED_SO, "");
    const fs::path second = a.Bin() / "PsPlayer2.so";
    if (std::string(how) == "symlink") fs::create_symlink(SCRIPTED_SO, second);
    if (std::string(how) == "hardlink") fs::create_hard_link(a.Bin() / "PsPlayer1.so", second);
    if (std::string(how) == "copy") fs::copy_file(SCRIPTED_SO, second);
    const Result r = a.Play({"/L=00", "/H=2", "/B=1"});
    ASSERT_EQ(r.status, 0) << how << ": " << r.err;
    const std::string calls = a.File("calls.txt");
    EXPECT_NE(calls.find("P1 PsInit size=352 maxver=1 currver=0 player=1 holes=2 bones=1 "
                         "level=3 param=0 loads=1"),
              std::string::npos)
        << how;
    EXPECT_NE(calls.find("P2 PsInit size=352 maxver=1 currver=0 player=2 holes=2 bones=1 "
                         "level=3 param=0 loads=1"),
              std::string::npos)
        << how << ": the second binding shares the first one's state\n"
        << calls;
    EXPECT_NE(calls.find("P1 PsDone\nP2 PsDone\n"), std::string::npos) << how;
  }
}

TEST(Match, PlayersAreFoundOnTheLoaderPathWhenNotBesideTheReferee) {
  Arena a("", "");
  const fs::path elsewhere = a.dir / "players";
  fs::create_directories(elsewhere);
  fs::create_symlink(SCRIPTED_SO, elsewhere / "PsPlayer1.so");
  fs::create_symlink(SCRIPTED_SO, elsewhere / "PsPlayer2.so");
  const Result r = a.Play({"/L=00"}, "", elsewhere.string());
  EXPECT_EQ(r.status, 0) << r.err;
}

TEST(Match, AMissingLibraryOrEntryPointStopsTheRefereeBeforeAnyOutput) {
  {
    Arena a(SCRIPTED_SO, "");
    const Result r = a.Play({});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("PsPlayer2.so"), std::string::npos) << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    EXPECT_FALSE(a.Exists("PsLog.txt"));
    EXPECT_FALSE(a.Exists("calls.txt"));
  }
  {
    Arena a(NO_DONE_SO, SCRIPTED_SO);
    const Result r = a.Play({});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("PsPlayer1.so"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("PsDone"), std::string::npos) << r.err;
    EXPECT_FALSE(a.Exists("PsLog.txt"));
  }
}

TEST(Match, HelpNeedsNoPlayers) {
  Arena a("", "");
  const Result r = a.Play({"--help"});
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("Usage: pitsow"), std::string::npos);
}

TEST(Match, BadArgumentsAreReportedFirstAndTheRestApplied) {
  Arena a;
  const Result r = a.Play({"/H=x", "/R=2", "-H=5", "/Q=1", "/L=00"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out.substr(0, r.out.find("Player 1 Init")),
            "CommandLine ERROR(1): wrong Value:</H:x>\r\n"
            "CommandLine ERROR(6): wrong format:<-H=5>\r\n"
            "CommandLine ERROR(5): unknown parameter:</Q:1>\r\n"
            "PsInfo size 352\r\n");
  const std::string calls = a.File("calls.txt");
  EXPECT_NE(calls.find("holes=6"), std::string::npos);
  EXPECT_EQ(Count(calls, "PsEndRound"), 4u) << "two rounds for two players";
}

TEST(Match, RecordsCarryEachPlayersLevelAndParameter) {
  Arena a;
  const Result r = a.Play({"/L=12", "/L:25", "/P=1=7", "/P=2=-1", "/R=0"});
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string calls = a.File("calls.txt");
  EXPECT_NE(calls.find("player=1 holes=6 bones=6 level=2 param=7"), std::string::npos) << calls;
  EXPECT_NE(calls.find("player=2 holes=6 bones=6 level=5 param=-1"), std::string::npos);
}

TEST(Match, NoRoundsStillInitialisesAndEndsBothPlayers) {
  Arena a;
  const Result r = a.Play({"/R=0"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Lines(a.File("calls.txt")).size(), 4u);
  const std::string log = MaskTimes(a.File("PsLog.txt"));
  EXPECT_EQ(log.substr(log.find("Player 2 description")),
            "Player 2 description <Plays a script>\r\nElapsed Time: #.### s\r\n");
}

TEST(Match, TurnLimitZeroStillPlaysOneTurnPerRound) {
  Arena a;
  const Result r = a.Play({"/T=0", "/R=2", "/L=00"});
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string calls = a.File("calls.txt");
  // Hole 1 earns an extra move, so the one Turn call holds two moves.
  EXPECT_NE(calls.find("P1 PsEndRound 2 0 2\nP2 PsEndRound 0 2 2\n"), std::string::npos) << calls;
  EXPECT_EQ(Count(calls, "PsEndRound"), 4u);
}

TEST(Match, LogLevelsOneToThreeGiveOneLogAndSoDoFourAndFive) {
  std::string logs[6];
  for (int level = 1; level <= 5; ++level) {
    Arena a;
    const Result r = a.Play({"/H=3", "/B=2", "/R=2", "/L=0" + std::to_string(level)});
    ASSERT_EQ(r.status, 0) << r.err;
    logs[level] = MaskTimes(a.File("PsLog.txt"));
    const size_t levels = logs[level].find("LogLevels: ");
    logs[level][levels + 11] = '#';
  }
  EXPECT_EQ(logs[1], logs[2]);
  EXPECT_EQ(logs[1], logs[3]);
  EXPECT_EQ(logs[4], logs[5]);
  EXPECT_NE(logs[3], logs[4]);
}

// The golden matches are played in the referee's process and with each
// player in a process of its own: console, log and the players' own
// record of their calls are the same bytes, times aside.
const char* const kModes[] = {"", "--isolate"};

std::vector<std::string> With(std::vector<std::string> args, const std::string& mode) {
  if (!mode.empty()) args.push_back(mode);
  return args;
}

TEST(Match, GoldenLogAtLevelOne) {
  for (const std::string mode : kModes) {
    Arena a;
    a.Script(2, "moves 1 2 3 4 5 6 6 5 4 3 2 1\n");
    const Result r = a.Play(With({"/B=20", "/R=2", "/L=01"}, mode));
    ASSERT_EQ(r.status, 0) << r.err;
    ExpectGolden(MaskTimes(a.File("PsLog.txt")), "level1_log.txt");
    ExpectGolden(MaskTimes(r.out), "level1_console.txt");
    ExpectGolden(a.File("calls.txt"), "level1_calls.txt");
  }
}

TEST(Match, GoldenLogAtLevelFive) {
  for (const std::string mode : kModes) {
    Arena a;
    a.Script(1, "moves 3 9\n");  // the second round ends on a wrong answer
    const Result r = a.Play(With({"/H=3", "/B=2", "/R=2", "/L=05"}, mode));
    ASSERT_EQ(r.status, 0) << r.err;
    ExpectGolden(MaskTimes(a.File("PsLog.txt")), "level5_log.txt");
    ExpectGolden(a.File("calls.txt"), "level5_calls.txt");
  }
}

TEST(Match, GoldenLogOnStandardOutput) {
  for (const std::string mode : kModes) {
    Arena a;
    a.Script(1, "nowrite\n");
    a.Script(2, "fillname\ncreator A creator whose name is far longer than thirty-one\n");
    const Result r = a.Play(With({"/H=2", "/B=1", "/F="}, mode));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_FALSE(a.Exists("PsLog.txt"));
    ExpectGolden(MaskTimes(r.out), "stdout_log.txt");
  }
}

TEST(Match, CantPlayLineTwiceWhenTheLogIsStandardOutput) {
  Arena a;
  a.Script(2, "init 0\n");
  const Result r = a.Play({"/F="});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("Init Player 2 ERROR!\r\nSecond Player Can't Play\r\n"
                       "Second Player Can't Play\r\n"),
            std::string::npos)
      << r.out;
}

TEST(Match, LevelZeroLeavesAnOldLogAndALaterRunReplacesIt) {
  Arena a;
  WriteFile(a.Run() / "PsLog.txt", "an old log\r\n");
  ASSERT_EQ(a.Play({"/L=00"}).status, 0);
  EXPECT_EQ(a.File("PsLog.txt"), "an old log\r\n");
  ASSERT_EQ(a.Play({"/R=3"}).status, 0);
  const std::string first = a.File("PsLog.txt");
  ASSERT_EQ(a.Play({"/R=1"}).status, 0);
  const std::string second = a.File("PsLog.txt");
  EXPECT_NE(first.find("ROUND    2"), std::string::npos);
  EXPECT_EQ(second.find("ROUND    1"), std::string::npos) << "the first log was not replaced";
}

TEST(Match, OutputFailuresEndWithStatusThree) {
  {
    Arena a;
    const Result r = a.Play({"/F=no/such/dir/x.txt"});
    EXPECT_EQ(r.status, 3);
    EXPECT_NE(r.err.find("no/such/dir/x.txt"), std::string::npos) << r.err;
    EXPECT_FALSE(a.Exists("calls.txt")) << "no player was initialised";
  }
  {
    Arena a;
    const Result r = a.Play({"/F=/dev/full"});
    EXPECT_EQ(r.status, 3);
    EXPECT_NE(r.err.find("/dev/full"), std::string::npos) << r.err;
  }
  {
    Arena a;
    const Result r = a.Play({"/L=00"}, "/dev/full");
    EXPECT_EQ(r.status, 3);
    EXPECT_NE(r.err.find("standard output"), std::string::npos) << r.err;
  }
}

// The random player against itself, from one library file.
TEST(Tossel, PlaysADefaultMatchAgainstItself) {
  Arena a(TOSSEL_SO, TOSSEL_SO);
  const Result r = a.Play({});
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string log = a.File("PsLog.txt");
  EXPECT_NE(log.find("Player 1 name        <Mopsy>\r\n"), std::string::npos);
  EXPECT_NE(log.find("ROUND    0   Player 1 : "), std::string::npos);
  EXPECT_NE(log.find("Elapsed Time: "), std::string::npos);
}

TEST(Tossel, TracesAgreeWithTheRefereeRoundByRound) {
  Arena a(TOSSEL_SO, TOSSEL_SO);
  const Result r = a.Play({"/R=5"});
  ASSERT_EQ(r.status, 0) << r.err;
  std::vector<std::string> refereeTurns;
  const std::regex round(R"(Turns: +([0-9]+))");
  for (const std::string& line : Lines(a.File("PsLog.txt"))) {
    std::smatch m;
    if (line.rfind("ROUND", 0) == 0 && std::regex_search(line, m, round))
      refereeTurns.push_back(m[1]);
  }
  ASSERT_EQ(refereeTurns.size(), 5u);
  for (int player = 1; player <= 2; ++player) {
    const std::vector<std::string> trace =
        Lines(a.File("Player" + std::to_string(player) + ".out"));
    ASSERT_GT(trace.size(), 10u);
    EXPECT_EQ(trace[1], " Player: " + std::to_string(player) + "\r");
    EXPECT_EQ(trace.back(), "END\r");
    // The first line of every round: player 1 moves, player 2 is told.
    const std::string first = player == 1 ? "PsGetTurn Turn: 0 " : "PsOppTurn Turn: 0 ";
    EXPECT_EQ(trace[9].rfind(first, 0), 0u) << trace[9];
    size_t rounds = 0;
    for (size_t i = 9; i + 1 < trace.size(); ++i) {
      if (trace[i].rfind("   EndRound", 0) != 0) continue;
      const std::string turns = refereeTurns.at(rounds++);
      EXPECT_NE(trace[i].find(" Turns: " + turns + "/" + turns + "\r"), std::string::npos)
          << trace[i];
      if (i + 2 < trace.size()) {
        EXPECT_EQ(trace[i + 1].rfind(first, 0), 0u) << trace[i + 1];
      }
    }
    EXPECT_EQ(rounds, 5u);
  }
}

TEST(Tossel, ATraceThatCannotBeCreatedEndsTheMatch) {
  Arena a(TOSSEL_SO, TOSSEL_SO);
  fs::remove_all(a.Run());
  fs::create_directories(a.Run());
  // The working directory is removed after the referee has entered it.
  const fs::path run = a.Run();
  const pid_t pid = fork();
  if (pid == 0) {
    if (chdir(run.c_str()) != 0 || rmdir(run.c_str()) != 0) _exit(120);
    const int devnull = open("/dev/null", O_WRONLY);
    dup2(devnull, 1);
    const std::string exe = (a.Bin() / "pitsow").string();
    execl(exe.c_str(), exe.c_str(), "/L=00", static_cast<char*>(nullptr));
    _exit(122);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 3);
}

}  // namespace
