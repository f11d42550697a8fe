// The match driver in the test's process, with players inside the test
// and a clock that advances one second per reading: which turns are
// played, and to whom their time is charged.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>

#include "match.h"
#include "stub_players.h"
#include "test_dir.h"

namespace {

long double Ticks = 0;
long double OneSecondPerReading() { return Ticks += 1; }

struct Driven {
  TestDir dir;
  Referee ref;
  // Player 1 answers holes 2 and 3, player 2 hole 2: no move ends in a
  // store, so each Turn call is one move.
  explicit Driven(std::vector<std::string> args) {
    BindStubs(ref);
    Stubs().answers[1] = {2, 3};
    Stubs().answers[2] = {2};
    ref.clock = OneSecondPerReading;
    ref.console = {open("/dev/null", O_WRONLY | O_CLOEXEC), "/dev/null"};
    args.push_back("/F=" + (dir / "log.txt").string());
    EXPECT_EQ(*RunMatch(ref, args), 0);
    close(ref.console.fd);
  }
  std::string Log() { return ReadFile(dir / "log.txt"); }
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

}  // namespace
