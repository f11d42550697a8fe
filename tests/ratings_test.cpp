// The field's Bradley-Terry ratings with their intervals, and the bound
// of a head-to-head Elo whose interval has one infinite end.
#include "ratings.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

// Two players, 60 to 40: the ratings are the head-to-head Elo split around
// the mean, or all of it above the anchor; the interval of the difference
// is the head-to-head one.
TEST(FieldRatings, TwoPlayersAgreeWithTheirHeadToHead) {
  const std::vector<std::vector<Wdl>> cross = {{{}, {60, 0, 40}}, {{40, 0, 60}, {}}};
  const Estimate h2h = FromWdl({60, 0, 40});
  const auto mean = FieldRatings(cross, std::nullopt);
  EXPECT_NEAR(mean[0].elo, h2h.elo / 2, 0.01);
  EXPECT_NEAR(mean[1].elo, -h2h.elo / 2, 0.01);
  EXPECT_NEAR(mean[0].high - mean[0].elo, h2h.elo_error / 2, 0.02 * h2h.elo_error);
  const auto anchored = FieldRatings(cross, 1);
  EXPECT_EQ(anchored[1].elo, 0);
  EXPECT_EQ(anchored[1].low, anchored[1].high);
  EXPECT_NEAR(anchored[0].elo, h2h.elo, 0.01);
  EXPECT_NEAR(anchored[0].high - anchored[0].elo, h2h.elo_error, 0.02 * h2h.elo_error);
}

// A player who won every round has no finite rating; the others keep
// theirs, averaging 0.
TEST(FieldRatings, AWinnerOfEverythingIsLeftOut) {
  const std::vector<std::vector<Wdl>> cross = {
      {{}, {30, 0, 0}, {30, 0, 0}}, {{0, 0, 30}, {}, {20, 0, 10}}, {{0, 0, 30}, {10, 0, 20}, {}}};
  const auto r = FieldRatings(cross, std::nullopt);
  EXPECT_TRUE(std::isinf(r[0].elo) && r[0].elo > 0);
  EXPECT_NEAR(r[1].elo + r[2].elo, 0, 1e-9);
  EXPECT_NEAR(r[1].elo - r[2].elo, EloOfScore(2.0 / 3), 0.01);
  EXPECT_LT(r[1].low, r[1].elo);
}

TEST(OneSidedBound, OnlyWhereOneEndIsInfinite) {
  const auto all = OneSidedBound({0, 0, 0, 0, 16});
  ASSERT_TRUE(all);
  EXPECT_EQ(all->sign, +1);
  EXPECT_NEAR(all->value, EloOfScore(std::pow(0.025, 1.0 / 16)), 1e-9);
  const auto lost = OneSidedBound({10, 0, 0, 0, 0});
  ASSERT_TRUE(lost);
  EXPECT_EQ(lost->sign, -1);
  // 97.5 %: 18 pairs won, 1 drawn by 3/4; the upper end passes 100 %.
  const auto high = OneSidedBound({0, 0, 0, 2, 18});
  ASSERT_TRUE(high);
  EXPECT_EQ(high->sign, +1);
  EXPECT_GT(high->value, 200);
  EXPECT_LT(high->value, EloOfScore(0.975));
  EXPECT_FALSE(OneSidedBound({5, 10, 20, 10, 5}));
  EXPECT_FALSE(OneSidedBound({0, 0, 0, 0, 0}));
}

// Only bounds a sequential test can decide between: elo0 strictly below
// elo1 (equal ones give a ratio of zero for ever), error rates strictly
// between 0 and 1.
TEST(SprtBounds, OnlyBoundsATestCanDecideBetween) {
  EXPECT_TRUE(ParseSprt("elo0=-1.5,elo1=0,alpha=0.1,beta=0.2").ok());
  for (const char* bad : {"elo0=5,elo1=5", "elo0=5,elo1=0", "alpha=0", "alpha=1", "beta=0",
                          "beta=1", "elo0=x", "elo1=inf", "gamma=1", "elo0"})
    EXPECT_FALSE(ParseSprt(bad).ok()) << bad;
}

}  // namespace
