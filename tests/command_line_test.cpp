// The command line's examples and edge cases: arguments in, settings and
// error lines out.
#include "command_line.h"

#include <gtest/gtest.h>

#include <functional>

#include "time_control.h"

namespace {

struct Case {
  std::vector<std::string> args;
  std::function<void(Settings&)> expect;  // what changes from the defaults
  std::vector<std::string> errors;
};

void PrintTo(const Case& c, std::ostream* os) {
  for (const std::string& a : c.args) *os << a << ' ';
}

class CommandLine : public testing::TestWithParam<Case> {};

TEST_P(CommandLine, SetsTheSettingsAndReportsEachBadArgument) {
  const Case& c = GetParam();
  Settings actual;
  const std::vector<std::string> errors = ParseCommandString(c.args, actual);
  Settings expected;
  if (c.expect) c.expect(expected);
  EXPECT_EQ(errors, c.errors);
  EXPECT_EQ(actual.NumHoles, expected.NumHoles);
  EXPECT_EQ(actual.NumBones, expected.NumBones);
  EXPECT_EQ(actual.NumRounds, expected.NumRounds);
  EXPECT_EQ(actual.MaxTurns, expected.MaxTurns);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(actual.LogLevel[i], expected.LogLevel[i]) << i;
  EXPECT_EQ(actual.Params[1], expected.Params[1]);
  EXPECT_EQ(actual.Params[2], expected.Params[2]);
  EXPECT_EQ(actual.OutFile, expected.OutFile);
}

const std::string kError1 = "CommandLine ERROR(1): wrong Value:</";

INSTANTIATE_TEST_SUITE_P(
    Examples, CommandLine,
    testing::Values(
        Case{{}, nullptr, {}}, Case{{"/H=4"}, [](Settings& s) { s.NumHoles = 4; }, {}},
        Case{{"/h=4"}, [](Settings& s) { s.NumHoles = 4; }, {}},
        Case{{"/r:10"}, [](Settings& s) { s.NumRounds = 10; }, {}},
        Case{{"/T=$1F4"}, [](Settings& s) { s.MaxTurns = 500; }, {}},
        Case{{"/T=%101"}, [](Settings& s) { s.MaxTurns = 5; }, {}},
        Case{{"/T= \t-12"}, [](Settings& s) { s.MaxTurns = -12; }, {}},
        Case{{"/T=+12"}, [](Settings& s) { s.MaxTurns = 12; }, {}},
        Case{{"/L=05"}, [](Settings& s) { s.LogLevel[0] = 5; }, {}},
        Case{{"/l=05"}, [](Settings& s) { s.LogLevel[0] = 5; }, {}},
        Case{{"/L:20"}, [](Settings& s) { s.LogLevel[2] = 0; }, {}},
        Case{{"/L=13xyz"}, [](Settings& s) { s.LogLevel[1] = 3; }, {}},
        Case{{"/P=1=25"}, [](Settings& s) { s.Params[1] = 25; }, {}},
        Case{{"/P:2:1Fh"}, [](Settings& s) { s.Params[2] = 31; }, {}},
        Case{{"/P=1=10h"}, [](Settings& s) { s.Params[1] = 16; }, {}},
        Case{{"/P=1=-7"}, [](Settings& s) { s.Params[1] = -7; }, {}},
        Case{{"/F=match.txt"}, [](Settings& s) { s.OutFile = "match.txt"; }, {}},
        Case{{"/F="}, [](Settings& s) { s.OutFile = ""; }, {}},
        Case{{"/F=a:b"}, [](Settings& s) { s.OutFile = "a:b"; }, {}},
        Case{{"/F=with blanks.txt"}, [](Settings& s) { s.OutFile = "with blanks.txt"; }, {}},
        Case{{"/f=" + std::string(300, 'x')},
             [](Settings& s) { s.OutFile = std::string(300, 'x'); },
             {}},
        Case{{"/h=x"}, nullptr, {kError1 + "h:x>"}}, Case{{"/H="}, nullptr, {kError1 + "H:>"}},
        Case{{"/H=5x"}, nullptr, {kError1 + "H:5x>"}},
        Case{{"/H=5 "}, nullptr, {kError1 + "H:5 >"}}, Case{{"/R=$"}, nullptr, {kError1 + "R:$>"}},
        Case{{"/R=$1G"}, nullptr, {kError1 + "R:$1G>"}},
        Case{{"/R=%102"}, nullptr, {kError1 + "R:%102>"}},
        Case{{"/R=0x10"}, nullptr, {kError1 + "R:0x10>"}},
        Case{{"/R=--1"}, nullptr, {kError1 + "R:--1>"}},
        Case{{"/H5"}, nullptr, {"CommandLine ERROR(6): wrong format:</H5>"}},
        Case{{"/"}, nullptr, {"CommandLine ERROR(6): wrong format:</>"}},
        Case{{""}, nullptr, {"CommandLine ERROR(6): wrong format:<>"}},
        Case{{"-H=5"}, nullptr, {"CommandLine ERROR(6): wrong format:<-H=5>"}},
        Case{{"/L=3"}, nullptr, {"CommandLine ERROR(2): wrong L option format:</L:3>"}},
        Case{{"/L=16"}, nullptr, {"CommandLine ERROR(2): wrong L option format:</L:16>"}},
        Case{{"/l:30"}, nullptr, {"CommandLine ERROR(2): wrong L option format:</l:30>"}},
        Case{{"/P=1=10H"}, nullptr, {"CommandLine ERROR(3): wrong Value:</1:10H>"}},
        Case{{"/P=2=zzh"}, nullptr, {"CommandLine ERROR(3): wrong Value:</2:$zz>"}},
        Case{{"/P=1="}, nullptr, {"CommandLine ERROR(3): wrong Value:</1:>"}},
        Case{{"/P=1"}, nullptr, {"CommandLine ERROR(4): wrong P option format:<1>"}},
        Case{{"/P=3=5"}, nullptr, {"CommandLine ERROR(4): wrong P option format:<3=5>"}},
        Case{{"/P=1-5"}, nullptr, {"CommandLine ERROR(4): wrong P option format:<1-5>"}},
        Case{{"/X=1"}, nullptr, {"CommandLine ERROR(5): unknown parameter:</X:1>"}},
        Case{{"/x:"}, nullptr, {"CommandLine ERROR(5): unknown parameter:</x:>"}},
        Case{{"/H=x", "/R=5"}, [](Settings& s) { s.NumRounds = 5; }, {kError1 + "H:x>"}},
        Case{{"/R=2", "/R=3"}, [](Settings& s) { s.NumRounds = 3; }, {}},
        Case{{"/H=4", "/H=x"}, [](Settings& s) { s.NumHoles = 4; }, {kError1 + "H:x>"}},
        Case{{"/X=1", "/H5", "/L=9"},
             nullptr,
             {"CommandLine ERROR(5): unknown parameter:</X:1>",
              "CommandLine ERROR(6): wrong format:</H5>",
              "CommandLine ERROR(2): wrong L option format:</L:9>"}}));

// The integer syntax at its bounds.
INSTANTIATE_TEST_SUITE_P(
    Integers, CommandLine,
    testing::Values(
        Case{{"/R=2147483647"}, [](Settings& s) { s.NumRounds = 2147483647; }, {}},
        Case{{"/R=2147483648"}, nullptr, {kError1 + "R:2147483648>"}},
        Case{{"/R=-2147483648"}, [](Settings& s) { s.NumRounds = -2147483648; }, {}},
        Case{{"/R=-2147483649"}, nullptr, {kError1 + "R:-2147483649>"}},
        Case{{"/R=99999999999999999999"}, nullptr, {kError1 + "R:99999999999999999999>"}},
        Case{{"/R=00000000000000000007"}, [](Settings& s) { s.NumRounds = 7; }, {}},
        Case{{"/R=$FFFFFFFF"}, [](Settings& s) { s.NumRounds = -1; }, {}},
        Case{{"/R=$fffffffff"}, [](Settings& s) { s.NumRounds = -1; }, {}},
        Case{{"/R=$100000005"}, [](Settings& s) { s.NumRounds = 5; }, {}},
        Case{{"/R=-$1"}, [](Settings& s) { s.NumRounds = -1; }, {}},
        Case{{"/T=%11111111111111111111111111111110"}, [](Settings& s) { s.MaxTurns = -2; }, {}},
        Case{{"/P=2=FFFFFFFFh"}, [](Settings& s) { s.Params[2] = -1; }, {}}));

// The board and the bone count accept only what the board can carry.
INSTANTIATE_TEST_SUITE_P(
    Limits, CommandLine,
    testing::Values(Case{{"/H=0"}, nullptr, {kError1 + "H:0>"}},
                    Case{{"/H=1"}, [](Settings& s) { s.NumHoles = 1; }, {}},
                    Case{{"/H=6"}, [](Settings& s) { s.NumHoles = 6; }, {}},
                    Case{{"/H=7"}, nullptr, {kError1 + "H:7>"}},
                    Case{{"/H=-1"}, nullptr, {kError1 + "H:-1>"}},
                    Case{{"/B=-1"}, nullptr, {kError1 + "B:-1>"}},
                    Case{{"/B=0"}, [](Settings& s) { s.NumBones = 0; }, {}},
                    Case{{"/B=178956970"}, [](Settings& s) { s.NumBones = 178956970; }, {}},
                    Case{{"/B=178956971"}, nullptr, {kError1 + "B:178956971>"}},
                    Case{{"/R=-5", "/T=0"},
                         [](Settings& s) {
                           s.NumRounds = -5;
                           s.MaxTurns = 0;
                         },
                         {}}));

TEST(Help, AskedByEitherSpellingAnywhere) {
  EXPECT_TRUE(WantsHelp({"--help"}));
  EXPECT_TRUE(WantsHelp({"/H=3", "-h"}));
  EXPECT_FALSE(WantsHelp({"/H=3", "-H=5"}));
  EXPECT_NE(UsageText().find("Exit status"), std::string::npos);
}

// --time-control's BASE+INC: BASE above 0, INC 0 or more, each the whole
// of its text.
TEST(TimeControl, BaseAboveZeroAndAnIncrementOfZeroOrMore) {
  TimeControl tc;
  ASSERT_FALSE(ParseTimeControl("1.5+0.25", tc));
  EXPECT_EQ(std::make_tuple(tc.on, tc.base, tc.inc, tc.text),
            std::make_tuple(true, 1.5, 0.25, std::string("1.5+0.25")));
  for (const char* good : {"2", "0.001+0", "3+1e-3"})
    EXPECT_FALSE(ParseTimeControl(good, tc)) << good;
  for (const char* bad : {"0+1", "0", "-1+1", "1+-0.5", "1+", "+1", "1+x", "x", "", "inf"})
    EXPECT_TRUE(ParseTimeControl(bad, tc)) << bad;
}

}  // namespace
