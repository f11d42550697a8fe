// The random player: its generator, its answers, the record it fills and
// the trace it keeps at each level.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>

#include "test_dir.h"
#include "tossel_core.h"

namespace {

TEST(Generator, FromSeedZero) {
  uint32_t seed = 0;
  EXPECT_EQ(Draw(seed, 6) + 1, 1u);
  EXPECT_EQ(Draw(seed, 6) + 1, 1u);
  EXPECT_EQ(Draw(seed, 6) + 1, 6u);
}

TEST(Generator, SeedIsHundredthsSinceMidnight) {
  EXPECT_EQ(SeedFromTime({12, 34, 56, 789}), 4529678u);
  EXPECT_EQ(SeedFromTime({0, 0, 0, 9}), 0u);
  EXPECT_EQ(SeedFromTime({23, 59, 59, 999}), 8639999u);
}

// Runs the player in a folder of its own, so its trace lands there.
class TosselTest : public testing::Test {
 protected:
  void SetUp() override {
    old = std::filesystem::current_path();
    std::filesystem::current_path(dir.path);
  }
  void TearDown() override { std::filesystem::current_path(old); }

  PsInfo Record(int32_t player, int32_t level, int32_t holes = 6) {
    PsInfo info{};
    info.Size = PS_INFO_SIZE;
    info.MaxVer = 1;
    info.Player = player;
    info.NumHoles = holes;
    info.NumBones = 6;
    info.LogLevel = level;
    info.Param = -4;
    return info;
  }

  TestDir dir;
  std::filesystem::path old;
};

TEST_F(TosselTest, TheClockAt123456789GivesHolesOneTwoOne) {
  Tossel t;
  PsInfo info = Record(1, 0);
  ASSERT_EQ(TosselInit(t, &info, {12, 34, 56, 789}), 1);
  EXPECT_EQ(t.Seed, 4529678u);
  const HoleRow full = {6, 6, 6, 6, 6, 6};
  EXPECT_EQ(TosselGetTurn(t, full), 1);
  EXPECT_EQ(TosselGetTurn(t, full), 2);
  EXPECT_EQ(TosselGetTurn(t, full), 1);
}

TEST_F(TosselTest, PlaysOnlyNonEmptyHolesWithinTheBoard) {
  Tossel t;
  PsInfo info = Record(1, 0, 3);
  TosselInit(t, &info, {1, 2, 3, 4});
  const HoleRow one = {0, 5, -1, 7, 7, 7};  // holes 4..6 are not in play
  for (int i = 0; i < 50; ++i) EXPECT_EQ(TosselGetTurn(t, one), 2);
  const HoleRow none = {0, 0, 0, 9, 9, 9};
  EXPECT_EQ(TosselGetTurn(t, none), 0);
}

TEST_F(TosselTest, AnswersVersionAndTextsByTheGrowthRule) {
  Tossel t;
  PsInfo info = Record(2, 0);
  info.MaxVer = 5;
  TosselInit(t, &info, {});
  EXPECT_EQ(info.CurrVer, 1);
  EXPECT_STREQ(info.name, "Mopsy");
  EXPECT_STREQ(info.description, "Random Turn Player");
  EXPECT_LT(std::strlen(info.creator), 32u);

  Tossel older;
  PsInfo zero = Record(2, 0);
  zero.MaxVer = 0;
  TosselInit(older, &zero, {});
  EXPECT_EQ(zero.CurrVer, 0);

  // Between 32 and 351 bytes: numbers read, version answered, no texts.
  Tossel mid;
  PsInfo partial = Record(1, 0);
  partial.Size = 100;
  TosselInit(mid, &partial, {});
  EXPECT_EQ(partial.CurrVer, 1);
  EXPECT_EQ(partial.name[0], '\0');
  EXPECT_EQ(mid.NumHoles, 6);

  // Below 32 bytes: nothing read or written, still ready, no trace.
  Tossel tiny;
  PsInfo small = Record(1, 3);
  small.Size = 31;
  EXPECT_EQ(TosselInit(tiny, &small, {}), 1);
  EXPECT_EQ(small.CurrVer, 0);
  EXPECT_EQ(tiny.LogLevel, 0);
  TosselDone(tiny);
  EXPECT_FALSE(std::filesystem::exists(dir / "Player1.out"));
}

const std::string kHeader1 =
    " CurrVer: 1\r\n Player: 1\r\n NumHoles: 6\r\n NumBones: 6\r\n LogLevel: %\r\n"
    " Param: -4\r\n name: <Mopsy>\r\n creator: <The Pitsow project>\r\n"
    " description: <Random Turn Player>\r\n";

std::string Header(int level) {
  std::string h = kHeader1;
  h[h.find('%')] = static_cast<char>('0' + level);
  return h;
}

// One short round as the referee would call it: a move, the opponent's
// move, a move with no bones left, the end of the round, the end.
void PlayShortMatch(Tossel& t) {
  const HoleRow row = {0, 0, 4, 0, 0, 0};
  const HoleRow empty = {};
  TosselGetTurn(t, row);
  TosselOppTurn(t, 5);
  TosselGetTurn(t, empty);
  TosselEndRound(t, 40, 32, 2);
  TosselDone(t);
}

TEST_F(TosselTest, TraceAtEachLevel) {
  {
    Tossel t;
    PsInfo info = Record(1, 0);
    TosselInit(t, &info, {});
    PlayShortMatch(t);
    EXPECT_FALSE(std::filesystem::exists(dir / "Player1.out"));
  }
  {
    Tossel t;
    PsInfo info = Record(1, 1);
    TosselInit(t, &info, {});
    PlayShortMatch(t);
    EXPECT_EQ(ReadFile(dir / "Player1.out"), Header(1) + "END\r\n");
  }
  {
    Tossel t;
    PsInfo info = Record(1, 2);
    TosselInit(t, &info, {});
    PlayShortMatch(t);
    EXPECT_EQ(ReadFile(dir / "Player1.out"),
              Header(2) + "   EndRound My: 40 Opp: 32 Turns: 2/3\r\nEND\r\n");
  }
  {
    Tossel t;
    PsInfo info = Record(1, 3);
    TosselInit(t, &info, {});
    PlayShortMatch(t);
    EXPECT_EQ(ReadFile(dir / "Player1.out"), Header(3) +
                                                 "PsGetTurn Turn: 0 Num: 1 Rnd: 1 Out: 3\r\n"
                                                 "PsOppTurn Turn: 1 Opp: 5\r\n"
                                                 "PsGetTurn Turn: 2PsGetTurn *3*\r\n"
                                                 "   EndRound My: 40 Opp: 32 Turns: 2/3\r\n"
                                                 "END\r\n");
  }
}

TEST_F(TosselTest, EachPlayerNumberHasItsOwnFileAndTheTraceIsOnDiskAtOnce) {
  Tossel one, two;
  PsInfo a = Record(1, 3), b = Record(7, 3);
  TosselInit(one, &a, {});
  TosselInit(two, &b, {});
  TosselOppTurn(two, 4);
  // No PsDone yet: what was traced is in the file already.
  EXPECT_EQ(ReadFile(dir / "Player1.out"), Header(3));
  const std::string second = ReadFile(dir / "Player2.out");
  EXPECT_NE(second.find(" Player: 7\r\n"), std::string::npos);
  EXPECT_NE(second.find("PsOppTurn Turn: 0 Opp: 4\r\n"), std::string::npos);
  TosselDone(one);
  TosselDone(two);
}

TEST_F(TosselTest, ATraceThatCannotBeCreatedEndsTheProcess) {
  // A folder removed while it is the working directory takes no new file.
  const std::filesystem::path gone = dir / "gone";
  std::filesystem::create_directory(gone);
  EXPECT_EXIT(
      {
        std::filesystem::current_path(gone);
        std::filesystem::remove(gone);
        Tossel t;
        PsInfo info = Record(2, 1);
        TosselInit(t, &info, {});
      },
      testing::ExitedWithCode(3), "Tossel: cannot create Player2.out: ");
}

}  // namespace
