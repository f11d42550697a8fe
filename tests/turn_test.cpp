// One Turn call against players inside the test: what is asked of whom,
// what the board becomes, and what the log says.
#include "turn.h"

#include <gtest/gtest.h>

#include <cstring>

#include "stub_players.h"
#include "test_dir.h"

namespace {

using Calls = std::vector<std::string>;

class TurnTest : public testing::Test {
 protected:
  void SetUp() override {
    BindStubs(ref);
    Result<OutStream> opened = OpenLogFile((dir / "log.txt").string(), {});
    ASSERT_TRUE(opened) << opened.error().text;
    ref.out.log = *opened;
    ResetBoard(ref.round.board, 6, 6);
  }
  void TearDown() override { CloseStream(ref.out.log); }

  void PlayTurn() { Turn(ref.setup, ref.round, ref.seats, ref.out); }
  std::string Log() { return ReadFile(dir / "log.txt"); }

  TestDir dir;
  Referee ref;
};

TEST_F(TurnTest, AnExtraMoveAsksTheSamePlayerAgainWithinOneCall) {
  ref.setup.settings.LogLevel[0] = 4;
  Stubs().answers[1] = {1, 2};
  PlayTurn();
  EXPECT_EQ(Stubs().calls, (Calls{"P1 GetTurn 6 6 6 6 6 6 | 6 6 6 6 6 6 | 0 0", "P2 OppTurn 1",
                                  "P1 GetTurn 0 7 7 7 7 7 | 6 6 6 6 6 6 | 1 0", "P2 OppTurn 2"}));
  EXPECT_EQ(ref.round.TurnCount, 2);
  EXPECT_EQ(CurPlayer(ref.round.board), 2);
  EXPECT_FALSE(GameOver(ref.round.board));
  EXPECT_EQ(Log(),
            "  Pitsow 1\r\n"
            "1 ------------------ 1 -----------------\r\n"
            "1 Player 2:  0    6  6  6  6  6  6\r\n"
            "1 Player 1:       0  7  7  7  7  7    1\r\n"
            "1 --------------------------------------\r\n"
            "1 ------------------ 2 -----------------\r\n"
            "1 Player 2:  0    6  6  6  6  7  7\r\n"
            "1 Player 1:       0  0  8  8  8  8    2\r\n"
            "1 --------------------------------------\r\n");
}

TEST_F(TurnTest, AnswersOutsideTheBoardEndTheRoundUntold) {
  for (int32_t wrong : {0, -1, 7}) {
    BindStubs(ref);
    ResetBoard(ref.round.board, 6, 6);
    ref.round.TurnCount = 3;
    ref.round.board.Mover = 2;
    ref.setup.settings.LogLevel[0] = 1;
    Stubs().answers[2] = {wrong};
    const PsBoard before = ref.round.board;
    PlayTurn();
    EXPECT_EQ(Stubs().calls.size(), 1u) << "no PsOppTurn after a rejected answer";
    EXPECT_TRUE(GameOver(ref.round.board));
    EXPECT_EQ(ref.round.TurnCount, 3);
    EXPECT_EQ(CurPlayer(ref.round.board), 2);
    EXPECT_EQ(std::memcmp(ref.round.board.Holes, before.Holes, sizeof before.Holes), 0);
  }
  EXPECT_EQ(Log(),
            "      ERROR!!!  PsGetTurn Wrong Result: 0, NumHoles= 6 Player: 2\r\n"
            "      ERROR!!!  PsGetTurn Wrong Result: -1, NumHoles= 6 Player: 2\r\n"
            "      ERROR!!!  PsGetTurn Wrong Result: 7, NumHoles= 6 Player: 2\r\n");
}

TEST_F(TurnTest, ARejectedAnswerIsNotLoggedAtLevelZero) {
  ref.setup.settings.LogLevel[0] = 0;
  Stubs().answers[1] = {9};
  PlayTurn();
  EXPECT_TRUE(GameOver(ref.round.board));
  EXPECT_EQ(Log(), "");
}

TEST_F(TurnTest, AnEmptyHoleIsAnAcceptedPass) {
  ref.setup.settings.LogLevel[0] = 5;
  Holes(ref.round.board, 1)[2] = 0;
  Holes(ref.round.board, 2)[3] = 0;
  Stubs().answers[1] = {3};
  PlayTurn();
  EXPECT_EQ(Stubs().calls, (Calls{"P1 GetTurn 6 6 0 6 6 6 | 6 6 6 0 6 6 | 0 0", "P2 OppTurn 3"}));
  EXPECT_EQ(ref.round.TurnCount, 1);
  EXPECT_EQ(CurPlayer(ref.round.board), 2);
  EXPECT_EQ(Log(),
            "1 ------------------ 3 -----------------\r\n"
            "1 Player 2:  0    6  6  0  6  6  6\r\n"
            "1 Player 1:       6  6  0  6  6  6    0\r\n"
            "1 --------------------------------------\r\n");
}

TEST_F(TurnTest, ACaptureIsLoggedBeforeThePicture) {
  ref.setup.settings.LogLevel[0] = 4;
  HoleRow mine = {0, 1, 0, 0, 0, 0};
  std::memcpy(Holes(ref.round.board, 2), mine, sizeof mine);  // player 2 moves
  ref.round.board.Mover = 2;
  Stubs().answers[2] = {2};
  PlayTurn();
  EXPECT_EQ(Store(ref.round.board, 2), 7);
  EXPECT_TRUE(GameOver(ref.round.board)) << "player 2's row is empty";
  const std::string log = Log();
  EXPECT_EQ(log.rfind("  Empty 2 i: 3\r\n2 ------------------ 2 ", 0), 0u) << log;
}

TEST_F(TurnTest, PlayersSeeCopiesAndCannotTouchTheBoard) {
  Stubs().vandal = true;
  Stubs().answers[1] = {2};
  PlayTurn();
  EXPECT_EQ(std::vector<int32_t>(Holes(ref.round.board, 1), Holes(ref.round.board, 1) + 6),
            (std::vector<int32_t>{6, 0, 7, 7, 7, 7}));
  EXPECT_EQ(std::vector<int32_t>(Holes(ref.round.board, 2), Holes(ref.round.board, 2) + 6),
            (std::vector<int32_t>{7, 6, 6, 6, 6, 6}));
}

TEST_F(TurnTest, AnExtraMoveThatEmptiesTheRowEndsTheRound) {
  HoleRow mine = {0, 0, 0, 0, 0, 1};
  std::memcpy(Holes(ref.round.board, 1), mine, sizeof mine);
  PlayTurn();
  EXPECT_EQ(Stubs().calls.size(), 2u) << "no further PsGetTurn";
  EXPECT_TRUE(GameOver(ref.round.board));
  EXPECT_EQ(CurPlayer(ref.round.board), 1);
  EXPECT_EQ(ref.round.TurnCount, 1);
}

TEST_F(TurnTest, AnExtraMoveThatWinsTheMajorityEndsTheRound) {
  Store(ref.round.board, 1) = 36;
  PlayTurn();  // hole 1 of 6: the last bone makes the store 37
  EXPECT_EQ(Stubs().calls.size(), 2u);
  EXPECT_TRUE(GameOver(ref.round.board));
  EXPECT_EQ(Store(ref.round.board, 1), 37);
  EXPECT_EQ(Store(ref.round.board, 2), 0) << "the opponent's store never changes";
}

}  // namespace
