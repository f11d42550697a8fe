// The rules on set positions: one move on a board, then the board checked.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "board.h"
#include "board_display.h"
#include "openings.h"
#include "reference_sow.h"
#include "settings.h"

namespace {

struct Position {
  std::vector<int32_t> my, opp;  // holes 1..n
  int32_t store = 0;
};

struct Played {
  Position after;
  PsSowing result;
};

Played Play(const Position& before, int32_t m) {
  const int32_t n = static_cast<int32_t>(before.my.size());
  HoleRow my = {}, opp = {};
  for (int32_t i = 0; i < n; ++i) {
    my[i] = before.my[i];
    opp[i] = before.opp[i];
  }
  int32_t store = before.store;
  const PsSowing r = PsSow(my, opp, &store, n, m);
  for (int32_t i = n; i < PS_MAX_HOLES; ++i) {
    EXPECT_EQ(my[i], 0) << "slot " << i + 1 << " above the board was written";
    EXPECT_EQ(opp[i], 0) << "slot " << i + 1 << " above the board was written";
  }
  Played p{{std::vector<int32_t>(my, my + n), std::vector<int32_t>(opp, opp + n), store}, r};
  return p;
}

using Row = std::vector<int32_t>;

TEST(Sow, OpeningMoveOfHoleOneEndsInTheStoreAndEarnsAnotherMove) {
  const Played p = Play({{6, 6, 6, 6, 6, 6}, {6, 6, 6, 6, 6, 6}, 0}, 1);
  EXPECT_EQ(p.after.my, (Row{0, 7, 7, 7, 7, 7}));
  EXPECT_EQ(p.after.opp, (Row{6, 6, 6, 6, 6, 6}));
  EXPECT_EQ(p.after.store, 1);
  EXPECT_TRUE(p.result.ExtraMove);
  EXPECT_EQ(p.result.Captured, 0);
}

TEST(Sow, ThirteenBonesComeBackToTheEmptiedHoleAndCaptureTheFreshlyFedOpposite) {
  const Played p = Play({{13, 0, 0, 0, 0, 0}, {0, 0, 0, 0, 0, 0}, 0}, 1);
  // Holes 2..6, the store and the opponent's six holes take one each; the
  // thirteenth bone falls back into hole 1 and takes opposite hole 6 with it.
  EXPECT_EQ(p.after.my, (Row{0, 1, 1, 1, 1, 1}));
  EXPECT_EQ(p.after.opp, (Row{1, 1, 1, 1, 1, 0}));
  EXPECT_EQ(p.after.store, 3);
  EXPECT_EQ(p.result.Captured, 1);
  EXPECT_FALSE(p.result.ExtraMove);
}

TEST(Sow, LastBoneInAnEmptyOwnHoleCapturesTheOppositeHole) {
  // Hole 2 with 2 bones: the last falls into empty hole 4, which faces hole 3.
  const Played p = Play({{0, 2, 0, 0, 0, 0}, {1, 2, 5, 4, 0, 0}, 10}, 2);
  EXPECT_EQ(p.after.my, (Row{0, 0, 1, 0, 0, 0}));
  EXPECT_EQ(p.after.opp, (Row{1, 2, 0, 4, 0, 0}));
  EXPECT_EQ(p.after.store, 16);
  EXPECT_EQ(p.result.Captured, 4);
}

TEST(Sow, LastBoneInAnEmptyOwnHoleFacingAnEmptyHoleStays) {
  const Played p = Play({{0, 2, 0, 0, 0, 0}, {1, 2, 0, 4, 0, 0}, 10}, 2);
  EXPECT_EQ(p.after.my, (Row{0, 0, 1, 1, 0, 0}));
  EXPECT_EQ(p.after.opp, (Row{1, 2, 0, 4, 0, 0}));
  EXPECT_EQ(p.after.store, 10);
  EXPECT_EQ(p.result.Captured, 0);
}

TEST(Sow, LastBoneInAnEmptyHoleOfTheOpponentCapturesNothing) {
  // Hole 6 with 3 bones: store, then opponent's holes 1 and 2 (2 was empty).
  const Played p = Play({{1, 1, 1, 1, 1, 3}, {4, 0, 4, 4, 4, 4}, 0}, 6);
  EXPECT_EQ(p.after.my, (Row{1, 1, 1, 1, 1, 0}));
  EXPECT_EQ(p.after.opp, (Row{5, 1, 4, 4, 4, 4}));
  EXPECT_EQ(p.after.store, 1);
  EXPECT_EQ(p.result.Captured, 0);
  EXPECT_FALSE(p.result.ExtraMove);
}

TEST(Sow, AnEmptyHoleIsAPass) {
  const Played p = Play({{0, 3, 3}, {1, 2, 3}, 4}, 1);
  EXPECT_EQ(p.after.my, (Row{0, 3, 3}));
  EXPECT_EQ(p.after.opp, (Row{1, 2, 3}));
  EXPECT_EQ(p.after.store, 4);
  EXPECT_FALSE(p.result.ExtraMove);
  EXPECT_EQ(p.result.Captured, 0);
}

TEST(Sow, OneHoleBoardAlternatesStoreAndOpponent) {
  // One hole per side: the lap is own hole, store, the opponent's hole.
  const Played p = Play({{1}, {0}, 0}, 1);
  EXPECT_EQ(p.after.store, 1);
  EXPECT_TRUE(p.result.ExtraMove);
  // Three bones: the store, the opponent's hole, then back into the emptied
  // hole, which captures the bone just sown opposite.
  const Played q = Play({{3}, {0}, 0}, 1);
  EXPECT_EQ(q.after.my, (Row{0}));
  EXPECT_EQ(q.after.opp, (Row{0}));
  EXPECT_EQ(q.after.store, 3);
  EXPECT_EQ(q.result.Captured, 1);
  // Four: the second lap ends in the store again.
  const Played r = Play({{4}, {0}, 0}, 1);
  EXPECT_EQ(r.after.my, (Row{1}));
  EXPECT_EQ(r.after.opp, (Row{1}));
  EXPECT_EQ(r.after.store, 2);
  EXPECT_TRUE(r.result.ExtraMove);
}

TEST(Sow, WholeLapsMatchTheBoneByBoneRuleOnEveryBoardSize) {
  std::mt19937 random(20261207);
  for (int32_t n = 1; n <= PS_MAX_HOLES; ++n) {
    const int32_t lap = 2 * n + 1;
    for (int sample = 0; sample < 40; ++sample) {
      HoleRow my = {}, opp = {};
      int32_t store = static_cast<int32_t>(random() % 20);
      for (int32_t i = 0; i < n; ++i) {
        // Many empty holes, so that captures and their absence both occur.
        my[i] = random() % 3 == 0 ? 0 : static_cast<int32_t>(random() % 9);
        opp[i] = random() % 3 == 0 ? 0 : static_cast<int32_t>(random() % 9);
      }
      for (int32_t m = 1; m <= n; ++m) {
        for (int32_t hand = 0; hand <= 5 * lap + 1; ++hand) {
          HoleRow a, b, c, d;
          std::copy(my, my + PS_MAX_HOLES, a);
          std::copy(opp, opp + PS_MAX_HOLES, b);
          std::copy(my, my + PS_MAX_HOLES, c);
          std::copy(opp, opp + PS_MAX_HOLES, d);
          a[m - 1] = c[m - 1] = hand;
          int32_t s1 = store, s2 = store;
          const PsSowing fast = PsSow(a, b, &s1, n, m);
          const PsSowing slow = ReferenceSow(c, d, s2, n, m);
          ASSERT_TRUE(std::equal(a, a + PS_MAX_HOLES, c))
              << "n=" << n << " m=" << m << " hand=" << hand;
          ASSERT_TRUE(std::equal(b, b + PS_MAX_HOLES, d))
              << "n=" << n << " m=" << m << " hand=" << hand;
          ASSERT_EQ(s1, s2) << "n=" << n << " m=" << m << " hand=" << hand;
          ASSERT_EQ(fast.ExtraMove, slow.ExtraMove) << "n=" << n << " m=" << m << " hand=" << hand;
          ASSERT_EQ(fast.Captured, slow.Captured) << "n=" << n << " m=" << m << " hand=" << hand;
        }
      }
    }
  }
}

TEST(Sow, AHugeHandCostsNoMoreThanASmallOneAndLosesNoBone) {
  HoleRow my = {kMaxBones, 0, 0, 0, 0, 0}, opp = {};
  int32_t store = 0;
  PsSow(my, opp, &store, 6, 1);
  int64_t total = store;
  for (int i = 0; i < 6; ++i) total += int64_t{my[i]} + opp[i];
  EXPECT_EQ(total, kMaxBones);
}

// Player 1's row p1, player 2's row p2, their stores, on a board of
// bones a hole at the start.
PsBoard BoardOf(const Row& p1, const Row& p2, int32_t s1, int32_t s2, int32_t bones = 6) {
  PsBoard b{};
  b.NumHoles = static_cast<int32_t>(p1.size());
  b.NumBones = bones;
  b.Mover = 1;
  for (size_t i = 0; i < p1.size(); ++i) {
    Holes(b, 1)[i] = p1[i];
    Holes(b, 2)[i] = p2[i];
  }
  Store(b, 1) = s1;
  Store(b, 2) = s2;
  return b;
}

TEST(CheckGame, MajorityNeedsStrictlyMoreThanHalf) {
  // 6 holes of 6 bones: 72 in all, half is 36.
  EXPECT_FALSE(CheckGame(BoardOf({1, 1, 1, 1, 1, 1}, {5, 5, 5, 5, 5, 1}, 36, 0, 6)));
  EXPECT_TRUE(CheckGame(BoardOf({1, 1, 1, 1, 1, 0}, {5, 5, 5, 5, 5, 1}, 37, 0, 6)));
  EXPECT_TRUE(CheckGame(BoardOf({1, 1, 1, 1, 1, 0}, {5, 5, 5, 5, 5, 1}, 0, 37, 6)));
}

TEST(CheckGame, EitherEmptyRowEndsTheRound) {
  EXPECT_TRUE(CheckGame(BoardOf({0, 0, 0}, {1, 2, 3}, 5, 7, 3)));
  EXPECT_TRUE(CheckGame(BoardOf({1, 0, 0}, {0, 0, 0}, 5, 7, 3)));
  EXPECT_FALSE(CheckGame(BoardOf({1, 0, 0}, {0, 0, 1}, 5, 7, 3)));
  // Slots above the board do not count.
  PsBoard b = BoardOf({0, 0, 0}, {1, 1, 1}, 0, 0, 3);
  Holes(b, 1)[5] = 4;
  EXPECT_TRUE(CheckGame(b));
}

// The majority rule needs a store over half; a row emptied ends the round
// without it. 3 holes of 2 bones, 12 in all, half is 6:
//
//          store   3  2  1     (player 2's row, hole 3 down to 1)
//   P2       5     1  0  0
//   P1             0  1  1     4
//                  1  2  3     (player 1's row, hole 1 up to 3)
//
// Player 1 plays hole 3 (its store: 5, again), then hole 2 (into its empty
// hole 3, nothing opposite to capture); player 2 plays hole 3: its store
// holds 6, not over half, but its row is empty. The sweep gives player
// 1's last bone to player 1: 6 : 6, a draw.
TEST(Majority, NeedsAStoreOverHalfAndAnEmptyRowEndsTheRoundWithoutIt) {
  PsBoard b = BoardOf({0, 1, 1}, {0, 0, 1}, 4, 5, 2);
  ASSERT_TRUE(PsPlayMoveUnswept(&b, 3, nullptr));
  EXPECT_EQ(Store(b, 1), 5);
  EXPECT_EQ(CurPlayer(b), 1) << "the last bone fell into the store";
  ASSERT_TRUE(PsPlayMoveUnswept(&b, 2, nullptr));
  EXPECT_EQ(Holes(b, 1)[2], 1);
  EXPECT_EQ(CurPlayer(b), 2);
  ASSERT_TRUE(PsPlayMoveUnswept(&b, 3, nullptr));
  EXPECT_EQ(Store(b, 2), 6);
  EXPECT_TRUE(GameOver(b)) << "player 2's row is empty";
  EXPECT_EQ(PsMajority(&b), 0);
  EndRound(b);
  EXPECT_EQ(Store(b, 1), 6);
  EXPECT_EQ(PsWinner(&b), 0);
  // A store of 7 is over half, whichever player's.
  Store(b, 1) = 7;
  EXPECT_EQ(PsMajority(&b), 1);
  EXPECT_EQ(PsWinner(&b), 1);
  Store(b, 1) = 0;
  Store(b, 2) = 7;
  EXPECT_EQ(PsMajority(&b), 2);
  EXPECT_EQ(PsWinner(&b), 2);
}

TEST(EndRound, TheRowThatStillHoldsBonesGoesToItsOwner) {
  PsBoard b = BoardOf({0, 0, 0, 0, 0, 0}, {3, 0, 2, 0, 0, 1}, 40, 26);
  EndRound(b);
  EXPECT_EQ(Store(b, 1), 40);
  EXPECT_EQ(Store(b, 2), 32);
  PsBoard c = BoardOf({1, 1, 0, 0, 0, 0}, {0, 0, 0, 0, 0, 0}, 30, 40);
  EndRound(c);
  EXPECT_EQ(Store(c, 1), 32);
  EXPECT_EQ(Store(c, 2), 40);
}

TEST(EndRound, BonesOnBothSidesCountForNobody) {
  PsBoard b = BoardOf({1, 0, 0, 0, 0, 0}, {0, 0, 0, 0, 0, 2}, 37, 32);
  EndRound(b);
  EXPECT_EQ(Store(b, 1), 37);
  EXPECT_EQ(Store(b, 2), 32);
}

TEST(EndRound, BothRowsEmptyAddNothing) {
  PsBoard b = BoardOf({0, 0}, {0, 0}, 0, 0);
  EndRound(b);
  EXPECT_EQ(Store(b, 1), 0);
  EXPECT_EQ(Store(b, 2), 0);
}

}  // namespace

// An opening played on the referee's board as the detailed log draws it:
// each move's lines and the board after it, and the board left for play.
TEST(Openings, EachMoveIsDrawnOnTheRefereeBoard) {
  PsBoard b;
  ResetBoard(b, 3, 2);
  std::string detail;
  EXPECT_FALSE(PlayOpeningLogged(b, {2, 1, 1}, &detail));
  EXPECT_EQ(detail,
            "  Pitsow 1\r\n"
            "1 ------------------ 2 -----------------\r\n"
            "1 Player 2:  0    2  2  2\r\n"
            "1 Player 1:       2  0  3    1\r\n"
            "1 --------------------------------------\r\n"
            "1 ------------------ 1 -----------------\r\n"
            "1 Player 2:  0    2  2  2\r\n"
            "1 Player 1:       0  1  4    1\r\n"
            "1 --------------------------------------\r\n"
            "2 ------------------ 1 -----------------\r\n"
            "2 Player 2:  0    3  3  0\r\n"
            "2 Player 1:       0  1  4    1\r\n"
            "2 --------------------------------------\r\n");
  EXPECT_EQ(CurPlayer(b), 1);
  EXPECT_EQ(Holes(b, 2)[0], 0);
  EXPECT_EQ(PlayOpeningLogged(b, {1}, nullptr)->text, "hole 1 of player 1 is empty");
}

// A line of an openings file: holes in the integer grammar between
// spaces, tabs and commas, and a file written with CR LF reads as one
// with LF.
TEST(Openings, ALineIsHolesBetweenSpacesTabsCommasAndItsLineEnd) {
  EXPECT_EQ(ParseOpening("3 1\r"), (Opening{3, 1}));
  EXPECT_EQ(ParseOpening("\t$2,%11 ,, 4"), (Opening{2, 3, 4}));
  EXPECT_EQ(ParseOpening("\r"), Opening{});
  EXPECT_FALSE(ParseOpening("2 x"));
  EXPECT_FALSE(ParseOpening("2;3"));
}
