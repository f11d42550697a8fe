// The endgame analysis of one constructed round of 2 holes and 3 bones,
// compared whole: player 2, who wins with perfect play, plays its worst
// move first; every other move is the first best one.
#include "analysis.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include "pitsow/rules.h"
#include "replay.h"
#include "test_dir.h"

TEST(EndgameAnalysis, FindsTheDecisiveMistake) {
  TestDir dir;
  setenv("XDG_CACHE_HOME", dir.path.c_str(), 1);
  ASSERT_TRUE(BuildTables({*EndgameCacheDir(), 2, 12, 2, false}).ok());
  auto tables = EndgameTables::Open(*EndgameCacheDir(), 2);
  ASSERT_TRUE(tables.ok());
  std::vector<std::array<int, 2>> moves;
  PsBoard board;
  PsSetUpBoard(&board, 2, 3);
  bool thrown = false;
  while (!board.RoundOver && moves.size() < 40) {
    const int me = board.Mover - 1;
    auto solution = SolveBoard(*tables, board);
    ASSERT_TRUE(solution.ok());
    int hole = 0;
    for (const MoveValue& m : solution->moves) {
      if (board.Mover == 2 && !thrown) {
        if (hole == 0 || m.value < solution->moves[hole - 1].value) hole = m.hole;
      } else if (m.best && hole == 0) {
        hole = m.hole;
      }
    }
    thrown = thrown || board.Mover == 2;
    moves.push_back({me + 1, hole});
    PsPlayMove(&board, hole, nullptr);
  }
  const Replay replay = ReplayRound(2, 3, {}, moves);
  ASSERT_FALSE(replay.error) << replay.error->text;
  const RoundAnalysis analysis = AnalyseRound(*tables, replay);
  std::string text;
  for (const MoveJudgement& m : analysis.moves) {
    text += std::to_string(m.step) + " p" + std::to_string(m.player) + " h" +
            std::to_string(m.hole) + " k" + std::to_string(m.level) + " " +
            std::to_string(m.before) + "/" + std::to_string(m.played) + " best";
    for (const int hole : m.best) text += " " + std::to_string(hole);
    text += " away " + std::to_string(m.given_away) + (m.decisive ? " decisive" : "") + "\n";
  }
  // Player 1's opening move keeps its value (-2: player 2 wins by 2); player
  // 2's hole 2 is worth -7 against 3 for hole 1: 10 bones given away and a
  // won round lost (the stores stood 1 : 0), the decisive mistake.
  EXPECT_EQ(text,
            "1 p1 h1 k12 -2/-2 best 1 2 away 0\n"
            "2 p2 h2 k11 3/-7 best 1 away 10 decisive\n"
            "3 p1 h2 k10 8/8 best 2 away 0\n");
  ASSERT_TRUE(analysis.decisive);
  EXPECT_EQ(*analysis.decisive, 1u);
  // Player 1 won: the viewer's data marks the round lost by player 2's
  // mistake in a covered position, the rounds table's filter.
  nlohmann::json round = {{"w", 1}};
  AddRoundAnalysis(round, OpenReportTables(2), replay);
  EXPECT_EQ(round.value("egd", 0), 2);
  EXPECT_EQ(round.value("egp", 0), 2);
}
