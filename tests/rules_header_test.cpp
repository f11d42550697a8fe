// The rules header's whole move (PsPlayMove) against its steps one by one
// as the referee names them (sowing, CheckGame, EndRound, the mover): every position
// of deep move trees played both ways must agree, and the move-generator
// count must give the published numbers.
#include <gtest/gtest.h>

#include <cstring>

#include "board.h"
#include "perft.h"
#include "pitsow/rules.h"

namespace {

struct Walk {
  int32_t holes, bones;
  uint64_t leaves = 0;

  void Same(const PsBoard& ref, const PsBoard& rules) {
    for (int p = 1; p <= 2; ++p) {
      ASSERT_EQ(0, std::memcmp(Holes(ref, p), rules.Holes[p - 1], sizeof(HoleRow))) << "row " << p;
      ASSERT_EQ(Store(ref, p), rules.Stores[p - 1]) << "store " << p;
    }
  }

  // Plays every sowing move below the position on both boards, as the
  // referee's turn does: sow, test, sweep at the end, change the mover
  // unless an extra move keeps it.
  void Down(const PsBoard& ref, const PsBoard& rules, int depth) {
    Same(ref, rules);
    ASSERT_EQ(CurPlayer(ref), rules.Mover);
    if (depth == 0) {
      ++leaves;
      return;
    }
    int32_t moves[PS_MAX_HOLES];
    const int count = PsSowingMoves(&rules, moves);
    int expected = 0;
    for (int32_t h = 1; h <= holes; ++h) expected += Holes(ref, CurPlayer(ref))[h - 1] > 0;
    ASSERT_EQ(expected, count);
    for (int i = 0; i < count; ++i) {
      PsBoard r = ref;
      const int p = CurPlayer(r);
      const PsSowing sown = PsSow(Holes(r, p), Holes(r, 3 - p), &Store(r, p), holes, moves[i]);
      const bool over = CheckGame(r);
      if (over)
        EndRound(r);
      else if (!sown.ExtraMove)
        r.Mover = 3 - p;
      PsBoard x = rules;
      PsSowing sowing;
      ASSERT_TRUE(PsPlayMove(&x, moves[i], &sowing));
      ASSERT_EQ(sown.ExtraMove, sowing.ExtraMove != 0);
      ASSERT_EQ(sown.Captured, sowing.Captured);
      ASSERT_EQ(over, x.RoundOver != 0);
      if (over) {
        Same(r, x);
        ++leaves;
      } else {
        Down(r, x, depth - 1);
      }
      if (testing::Test::HasFatalFailure()) return;
    }
  }
};

uint64_t WalkBoth(int32_t holes, int32_t bones, int depth) {
  PsBoard ref;
  ResetBoard(ref, holes, bones);
  PsBoard rules;
  EXPECT_TRUE(PsSetUpBoard(&rules, holes, bones));
  Walk walk{holes, bones};
  walk.Down(ref, rules, depth);
  return walk.leaves;
}

constexpr int kDeep = 8;

TEST(RulesHeader, SameAsReferee) {
  EXPECT_EQ(WalkBoth(6, 4, kDeep), Perft(
                                       [] {
                                         PsBoard b;
                                         PsSetUpBoard(&b, 6, 4);
                                         return b;
                                       }(),
                                       kDeep));
  struct Size {
    int32_t holes, bones;
    int depth;
  };
  // Laps that pass the emptied hole (13 bones on 6 holes), one-hole boards,
  // and the largest hands the referee accepts.
  for (const Size s : {Size{6, 6, kDeep - 1}, Size{6, 13, 6}, Size{3, 3, kDeep + 2}, Size{1, 1, 12},
                       Size{1, 5, 12}, Size{2, 7, 10}, Size{5, 2, kDeep}, Size{6, PS_MAX_BONES, 4},
                       Size{4, 0, 3}}) {
    SCOPED_TRACE(testing::Message() << s.holes << " holes, " << s.bones << " bones");
    WalkBoth(s.holes, s.bones, s.depth);
    if (HasFatalFailure()) return;
  }
}

TEST(RulesHeader, Perft) {
  const uint64_t expected[] = {6, 35, 185, 942, 4690, 23233, 114430, 563055};
  const Result<std::vector<uint64_t>> result = CountFromStart(6, 4, kDeep);
  ASSERT_TRUE(result.ok());
  ASSERT_EQ(result->size(), size_t{kDeep});
  for (int d = 0; d < kDeep; ++d) EXPECT_EQ((*result)[d], expected[d]) << "depth " << d + 1;
  // One hole of one bone: player 1 sows it into its store and its row is
  // empty; the decided position is one leaf at every depth after it.
  EXPECT_EQ(CountFromStart(1, 1, 3).value(), (std::vector<uint64_t>{1, 1, 1}));
  EXPECT_FALSE(CountFromStart(7, 4, 1).ok());
  EXPECT_FALSE(CountFromStart(6, -1, 1).ok());
}

TEST(RulesHeader, BoardFromTurn) {
  const HoleRow mine = {0, 0, 2, 0, 0, 0}, theirs = {1, 0, 0, 0, 0, 0};
  PsBoard board;
  PsBoardFromTurn(&board, 3, 1, 2, mine, theirs, 2, 1);
  EXPECT_EQ(board.Mover, 2);
  EXPECT_EQ(board.Holes[1][2], 2);
  EXPECT_EQ(board.Holes[0][0], 1);
  EXPECT_EQ(board.Stores[1], 2);
  EXPECT_FALSE(board.RoundOver);
  // Out of range is refused and changes nothing; hole 3 with two bones:
  // one into the store, one into the opponent's hole 1.
  EXPECT_FALSE(PsPlayMove(&board, 0, nullptr));
  EXPECT_FALSE(PsPlayMove(&board, 4, nullptr));
  ASSERT_TRUE(PsPlayMove(&board, 3, nullptr));
  // Player 2's row is now empty: the round is over and player 1's bones
  // (2 in hole 1) are swept into its store.
  EXPECT_TRUE(board.RoundOver);
  EXPECT_EQ(board.Stores[0], 1 + 2);
  EXPECT_EQ(board.Stores[1], 3);
  EXPECT_EQ(PsWinner(&board), 0);
}

}  // namespace
