// Whole matches against a player that fails on purpose, run in the
// referee's own process: each fault is reported in one line naming the
// player, its file, the call, the round and the turn, on stderr and at the
// end of the log; every finished round stays in the log; the status is the
// documented one; nothing is left in $TMPDIR.
#include <nlohmann/json.hpp>

#include "match_runner.h"

namespace {

// A match of three rounds between two instances of the faulty player (one
// file, so player 2 runs from a private copy); player `who` is told to
// fail with `fault` (ACTION ENTRY ROUND TURN).
struct Faulted {
  Arena arena{FAULTY_SO, FAULTY_SO};
  Result result;
  Faulted(int who, const std::string& fault, std::vector<std::string> args = {"/R=3"}) {
    arena.env = {kPlainSignals};
    WriteFile(arena.Run() / ("fault" + std::to_string(who) + ".txt"), fault + "\n");
    result = arena.Play(args);
  }
  std::string Log() const { return arena.File("PsLog.txt"); }
  // The report line, stderr's only line.
  std::string Report() const { return result.err.substr(0, result.err.find('\n')); }
};

struct CrashCase {
  std::string fault;
  int who;
  int status;
  std::string report;  // a pattern
};

class Crash : public testing::TestWithParam<CrashCase> {};

TEST_P(Crash, IsReportedWithTheRightPlayerCallRoundAndTurn) {
  const CrashCase& c = GetParam();
  const Faulted f(c.who, c.fault);
  EXPECT_EQ(f.result.status, c.status) << f.result.err;
  const std::string report = f.Report();
  EXPECT_TRUE(std::regex_match(report, std::regex(c.report))) << report;
  EXPECT_EQ(Count(f.result.err, "\n"), 1u) << f.result.err;
  // The log ends with the report, after every round that finished.
  const std::string log = f.Log();
  EXPECT_GE(log.size(), report.size() + 2);
  EXPECT_EQ(log.substr(log.size() - report.size() - 2), report + "\r\n");
  const std::smatch round = [&] {
    std::smatch m;
    std::regex_search(report, m, std::regex(", round ([0-9]+)"));
    return m;
  }();
  const size_t finished =
      round.empty() ? (c.fault.find("PsDone") != std::string::npos ? 3 : 0) : std::stoul(round[1]);
  EXPECT_EQ(Count(log, "ROUND "), finished) << log;
  EXPECT_TRUE(f.arena.TmpIsEmpty()) << "a private copy was left behind";
}

const std::string kFile1 = R"(\(PsPlayer1\.so\))", kFile2 = R"(\(PsPlayer2\.so\))";

INSTANTIATE_TEST_SUITE_P(
    InEveryCall, Crash,
    testing::Values(
        CrashCase{"segv PsInit -1 0", 2, 139,
                  "pitsow: player 2 " + kFile2 + " crashed in PsInit: Segmentation fault"},
        CrashCase{"abort PsInit -1 0", 1, 134,
                  "pitsow: player 1 " + kFile1 + " crashed in PsInit: Aborted"},
        CrashCase{"segv PsGetTurn 1 4", 1, 139,
                  "pitsow: player 1 " + kFile1 +
                      " crashed in PsGetTurn, round 1, turn [0-9]+: Segmentation fault"},
        CrashCase{"abort PsGetTurn 2 0", 2, 134,
                  "pitsow: player 2 " + kFile2 +
                      " crashed in PsGetTurn, round 2, turn [0-9]+: "
                      "Aborted"},
        CrashCase{"segv PsOppTurn 1 3", 2, 139,
                  "pitsow: player 2 " + kFile2 +
                      " crashed in PsOppTurn, round 1, turn [0-9]+: Segmentation fault"},
        CrashCase{"abort PsOppTurn 0 5", 1, 134,
                  "pitsow: player 1 " + kFile1 +
                      " crashed in PsOppTurn, round 0, turn [0-9]+: "
                      "Aborted"},
        CrashCase{"segv PsEndRound 1 0", 2, 139,
                  "pitsow: player 2 " + kFile2 +
                      " crashed in PsEndRound, round 1: Segmentation "
                      "fault"},
        CrashCase{"abort PsEndRound 2 0", 1, 134,
                  "pitsow: player 1 " + kFile1 + " crashed in PsEndRound, round 2: Aborted"},
        CrashCase{"segv PsDone -1 0", 2, 139,
                  "pitsow: player 2 " + kFile2 + " crashed in PsDone: Segmentation fault"},
        CrashCase{"abort PsDone -1 0", 1, 134,
                  "pitsow: player 1 " + kFile1 + " crashed in PsDone: Aborted"},
        CrashCase{
            "exit0 PsGetTurn 1 2", 2, 4,
            "pitsow: player 2 " + kFile2 + " ended the process in PsGetTurn, round 1, turn [0-9]+"},
        CrashCase{"record PsInit -1 0", 1, 139,
                  "pitsow: player 1 " + kFile1 + " wrote past the record it was given in PsInit"},
        CrashCase{"rows PsGetTurn 2 3", 2, 139,
                  "pitsow: player 2 " + kFile2 +
                      " wrote past the rows it was given in PsGetTurn, round 2, turn [0-9]+"}));

TEST(Faults, ExitInRoundEightOfTwentyEndsWithStatusFour) {
  const Faulted f(1, "exit0 PsGetTurn 8 3", {"/R=20"});
  EXPECT_EQ(f.result.status, 4);
  EXPECT_EQ(Count(f.Log(), "ROUND "), 8u);
  EXPECT_NE(f.result.err.find("ended the process in PsGetTurn, round 8, turn "), std::string::npos);
}

TEST(Faults, ControlCharactersInPlayerTextsAreShownAsQuestionMarks) {
  const Faulted f(2, "texts");
  ASSERT_EQ(f.result.status, 0) << f.result.err;
  const std::string shown =
      "Player 2 name        <Evil??ROUND 99?[2J>\r\n"
      "Player 2 creator     <?]0;owned??X?\xe9>\r\n"
      "Player 2 description <ok??Elapsed Time: 0.001 s>\r\n";
  EXPECT_NE(f.result.out.find(shown), std::string::npos) << f.result.out;
  EXPECT_NE(f.Log().find(shown), std::string::npos);
  EXPECT_EQ(f.result.out.find('\x1b'), std::string::npos);
}

// The line names the round and the turn the record gives the rejection:
// the number of moves played before it.
TEST(Faults, ARejectedAnswerIsToldOnStderr) {
  const Faulted f(1, "answer9 PsGetTurn 1 2", {"/R=2", "/L=00", "--results=r.jsonl"});
  EXPECT_EQ(f.result.status, 0);
  const nlohmann::json round = nlohmann::json::parse(Lines(f.arena.File("r.jsonl")).at(4));
  ASSERT_EQ(round["rejected"], nlohmann::json::parse(R"({"player":1,"answer":9})")) << round;
  ASSERT_EQ(round["turns"], round["moves"].size());
  EXPECT_EQ(f.result.err, "pitsow: round " + round["round"].dump() + ", turn " +
                              round["turns"].dump() +
                              ": player 1 answered 9, not a hole from 1 to 6; the round ends\n");
}

TEST(Faults, UnusableFilesBesideTheRefereeAreNamedNeverPassedOver) {
  const auto expectRefused = [](const std::function<void(const fs::path&)>& make,
                                const std::string& why) {
    Arena a(SCRIPTED_SO, "");
    make(a.Bin() / "PsPlayer2.so");
    const Result r = a.Play({}, "", fs::path(SCRIPTED_SO).parent_path().string());
    EXPECT_EQ(r.status, 2) << why;
    EXPECT_NE(r.err.find("PsPlayer2.so"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(why), std::string::npos) << r.err;
    EXPECT_EQ(r.out, "");
  };
  expectRefused([](const fs::path& p) { fs::create_symlink("/nowhere/at/all.so", p); },
                "which does not exist");
  expectRefused([](const fs::path& p) { fs::create_directory(p); }, "is a folder");
  expectRefused([](const fs::path& p) { WriteFile(p, "just some text\n"); }, "is not an ELF file");
  expectRefused(
      [](const fs::path& p) {
        std::string header(64, '\0');
        header.replace(0, 7,
                       "\x7f"
                       "ELF\x01\x01\x01");  // 32-bit, little-endian
        header[16] = 3;                     // a shared object
        header[18] = 3;                     // for i386
        WriteFile(p, header);
      },
      "is built for x86, 32-bit, the referee for x86-64, 64-bit");
}

TEST(Faults, ALogHeldByAnotherMatchIsLeftAlone) {
  Arena a(FAULTY_SO, FAULTY_SO);
  // The first match waits in round 1 until the file "go" exists.
  WriteFile(a.Run() / "fault1.txt", "wait PsGetTurn 1 0\n");
  const pid_t first = a.Start({"/R=3"}, "", "", "1");
  while (Count(ReadFile(a.Run() / "PsLog.txt"), "ROUND ") < 1) usleep(1000);
  const Result second = a.Play({"/R=3"});
  EXPECT_EQ(second.status, 3);
  EXPECT_EQ(second.err, "pitsow: PsLog.txt is in use by another match\n");
  WriteFile(a.Run() / "go", "");
  const Result done = a.Wait(first, true, "1");
  ASSERT_EQ(done.status, 0) << done.err;
  const std::string withSecond = MaskTimes(a.File("PsLog.txt"));
  ASSERT_EQ(a.Play({"/R=3"}).status, 0);
  EXPECT_EQ(withSecond, MaskTimes(a.File("PsLog.txt")));
}

TEST(Faults, TheRefereeAndItsPlayersAreNeverTakenForTheLog) {
  Arena a;
  fs::copy_file(SCRIPTED_SO, a.Run() / "PsPlayer1.so");
  fs::remove(a.Bin() / "PsPlayer1.so");
  fs::create_symlink(a.Run() / "PsPlayer1.so", a.Bin() / "PsPlayer1.so");
  const std::string library = a.File("PsPlayer1.so");
  const std::string referee = ReadFile(a.Bin() / "pitsow");
  for (const std::string& target : {std::string("PsPlayer1.so"), (a.Bin() / "pitsow").string()}) {
    const Result r = a.Play({"/F=" + target});
    EXPECT_EQ(r.status, 3) << target;
    EXPECT_NE(r.err.find("; it is not overwritten"), std::string::npos) << r.err;
  }
  // Any program is refused, bound or not.
  fs::copy_file(a.Bin() / "pitsow", a.Run() / "other");
  EXPECT_EQ(a.Play({"/F=other"}).status, 3);
  EXPECT_EQ(a.File("PsPlayer1.so"), library);
  EXPECT_EQ(ReadFile(a.Bin() / "pitsow"), referee);
  EXPECT_EQ(a.File("other"), referee);
}

TEST(Faults, ClosedStandardDescriptors) {
  Arena a;
  const Result closed = a.Play({"/L=00"}, "-");
  EXPECT_EQ(closed.status, 3);
  EXPECT_NE(closed.err.find("standard output is closed"), std::string::npos);
  EXPECT_FALSE(a.Exists("PsLog.txt"));
}

}  // namespace
