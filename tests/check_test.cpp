// Whole pitsow-check runs against players that break one rule each, and
// against good players: the exit status and the line of the check that
// must fail or warn.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

namespace {

struct Outcome {
  int status = -1;
  std::string out;

  // The first line starting with start ("[FAIL]", "[warn] memory"), or "".
  std::string Line(const std::string& start) const {
    std::istringstream in(out);
    std::string line;
    while (std::getline(in, line))
      if (line.rfind(start, 0) == 0) return line;
    return "";
  }
};

Outcome Check(const std::string& args) {
  Outcome run;
  const std::string command = std::string(CHECK_EXE) + " " + args + " 2>&1";
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return run;
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, pipe)) > 0) run.out.append(buf, n);
  const int status = pclose(pipe);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

// Small matches, so that each run takes a moment.
const std::string kQuick = " --positions 300 --rounds 60 ";

TEST(Check, MissingEntry) {
  const Outcome r = Check(NO_DONE_SO);
  EXPECT_EQ(r.status, 2) << r.out;
  EXPECT_NE(r.Line("[FAIL] entry points:").find("PsDone"), std::string::npos) << r.out;
}

// Each case: the one failing line, and its reason.
TEST(Check, BreakingOneRule) {
  const struct {
    int param;
    std::string options, line, reason;
  } cases[] = {
      {1, "", "PsInit, Size 32:", "wrote byte 32 (name), behind Size 32"},
      {2, "", "answers:", "out of range, first answered 7 on 6x6 as player 1, round 0, turn 17"},
      {4, "", "whole matches",
       "crashed (SIGSEGV at address 0x0) in PsGetTurn, round 1, turn 13 (6x6 as player 1)"},
      {5, "--move-time 0.2", "whole matches", "hung (over its 0.200 s limit) in PsGetTurn"},
      {6, "--growth 32", "memory over 60 rounds:", "grows memory without bound"},
      {7, "", "texts end within their room:", "name has no 0 byte within its 32 bytes"},
      {9, "", "CurrVer not above MaxVer:", "answered CurrVer 1 to MaxVer 0"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("param " + std::to_string(c.param));
    const Outcome r = Check(std::string(CHECK_PLAYER_SO) + kQuick + "--param " +
                            std::to_string(c.param) + " " + c.options);
    EXPECT_EQ(r.status, 1) << r.out;
    const std::string line = r.Line("[FAIL]");
    EXPECT_EQ(line.find("[FAIL] " + c.line), 0u) << r.out;
    EXPECT_NE(line.find(c.reason), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("\n1 check failed\n"), r.out.size() - 16) << r.out;
  }
}

// A different answer to the same position and a pass are worth a warning
// only.
TEST(Check, Warnings) {
  const struct {
    int param;
    std::string line, reason;
  } cases[] = {
      {3, "same answer to the same position:", "differ, first hole 1 on 6x6 as player 1"},
      {8, "sowing moves only:", "passes, first played empty hole 1 (a pass) on"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("param " + std::to_string(c.param));
    const Outcome r =
        Check(std::string(CHECK_PLAYER_SO) + kQuick + "--param " + std::to_string(c.param));
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(r.Line("[FAIL]"), "") << r.out;
    EXPECT_NE(r.Line("[warn] " + c.line).find(c.reason), std::string::npos) << r.out;
  }
}

// A player answering out of range makes the referee say so each round:
// those lines stay out of the checklist, in a file it names.
TEST(Check, RefereeLinesAside) {
  const Outcome r = Check(std::string(CHECK_PLAYER_SO) + kQuick + "--param 2");
  EXPECT_EQ(r.out.find("pitsow: round"), std::string::npos) << r.out;
  const std::string named = r.Line("the referee's and the player's own lines");
  const size_t at = named.find(": /tmp/pitsow-check-");
  ASSERT_NE(at, std::string::npos) << r.out;
  const std::string file = named.substr(at + 2);
  std::ifstream in(file);
  const std::string lines((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_NE(lines.find("answered 7, not a hole from 1 to 6"), std::string::npos) << file;
  std::remove(file.c_str());
}

#if !defined(__SANITIZE_ADDRESS__)  // the sanitizers' host takes no memory limit
TEST(Check, OutOfMemory) {
  const Outcome r = Check(std::string(CHECK_PLAYER_SO) + " --positions 60 --memory 160 --param 6");
  EXPECT_EQ(r.status, 1) << r.out;
  EXPECT_NE(r.Line("[FAIL] memory over 1000 rounds: grows memory without bound: ran out of memory"),
            "")
      << r.out;
}
#endif

TEST(Check, GoodPlayers) {
  for (const std::string& args :
       {std::string(TOSSEL_SO), std::string(STARTER_SO) + kQuick,
        std::string(CHECK_PLAYER_SO) + kQuick, std::string(MINIMAX_SO) + kQuick + "--param 2"}) {
    SCOPED_TRACE(args);
    const Outcome r = Check(args);
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(r.Line("[FAIL]"), "") << r.out;
    EXPECT_NE(r.out.find("every hard check passed"), std::string::npos) << r.out;
  }
}

TEST(Check, BadOptions) {
  for (const char* args : {"--rounds=0 x.so", "--bogus x.so", "--move-time", ""}) {
    SCOPED_TRACE(args);
    const Outcome r = Check(args);
    EXPECT_EQ(r.status, 64) << r.out;
    EXPECT_EQ(r.out.find("pitsow-check: "), 0u) << r.out;
  }
}

}  // namespace
