// The tournament runner's core without a referee: the statistics against
// worked examples, openings and shards, the results file read back, and
// the counts and verdict made from it.
#include <gtest/gtest.h>

#include <cmath>
#include <set>

#include "openings.h"
#include "records.h"
#include "report_adapter.h"
#include "stats.h"
#include "test_dir.h"
#include "verdict.h"

namespace {

TEST(ArenaStats, WorkedExamples) {
  const Estimate r = FromWdl({136, 111, 96});
  EXPECT_EQ(Fixed(r.score, 4), "0.5583");
  EXPECT_EQ(Signed(r.elo, 2), "+40.70");
  EXPECT_EQ(Fixed(r.elo_error, 2), "30.43");
  EXPECT_EQ(Fixed(100 * r.los, 2), "99.60");
  EXPECT_EQ(Fixed(r.nelo, 2), "49.77");
  EXPECT_EQ(Fixed(r.nelo_error, 2), "36.77");

  const Estimate p = FromPenta({34, 54, 63, 64, 75});
  EXPECT_EQ(Fixed(p.score, 4), "0.5793");
  EXPECT_EQ(Fixed(p.elo, 2), "55.58");
  EXPECT_EQ(Fixed(p.elo_error, 2), "27.65");
  EXPECT_EQ(Fixed(p.nelo, 2), "57.94");
  EXPECT_EQ(Fixed(p.nelo_error, 2), "28.28");

  // What `pitsow-arena stats` prints.
  EXPECT_NE(WdlText({136, 111, 96}).find("Elo +40.70 +/- 30.43, LOS 99.60%, nElo +49.77 +/- 36.77"),
            std::string::npos);
  EXPECT_NE(PentaText({34, 54, 63, 64, 75}).find("Elo +55.58 +/- 27.65"), std::string::npos);
}

TEST(ArenaStats, Sprt) {
  const SprtSpec spec;
  const SprtState none = Sprt(spec, Penta{});
  EXPECT_EQ(Fixed(none.lower, 3), "-2.944");
  EXPECT_EQ(Fixed(none.upper, 3), "2.944");
  EXPECT_EQ(none.verdict, 0);
  // Mirrored results give opposite ratios about the middle of elo0..elo1.
  const SprtSpec mid{-5, 5, 0.05, 0.05};
  EXPECT_NEAR(Sprt(mid, Penta{34, 54, 63, 64, 75}).llr, -Sprt(mid, Penta{75, 64, 63, 54, 34}).llr,
              1e-6);
  // +55 Elo over 290 pairs: about N (s1 - s0)(2s - s0 - s1) / 2 var.
  EXPECT_NEAR(Sprt(spec, Penta{34, 54, 63, 64, 75}).llr, 1.40, 0.1);
  const SprtSpec wide{0, 40, 0.05, 0.05};
  EXPECT_EQ(Sprt(wide, Penta{34, 54, 63, 64, 75}).verdict, 1);
  EXPECT_EQ(Sprt(wide, Penta{75, 64, 63, 54, 34}).verdict, -1);
  SprtSpec parsed;
  EXPECT_EQ(ParseSprt("elo1=10,alpha=0.1", parsed), "");
  EXPECT_EQ(parsed.elo1, 10);
  EXPECT_EQ(parsed.alpha, 0.1);
  EXPECT_NE(ParseSprt("elo0=5,elo1=0", parsed), "");
  EXPECT_NE(ParseSprt("gamma=1", parsed), "");
}

TEST(ArenaStats, BradleyTerry) {
  // Two players, 75% for the first: gamma ratio 3, 400 log10 3 Elo apart.
  const auto two = BradleyTerry({75, 25}, {{0, 100}, {100, 0}});
  EXPECT_NEAR(two[0] - two[1], 400 * std::log10(3.0), 1e-6);
  EXPECT_NEAR(two[0] + two[1], 0, 1e-9);
  // A transitive field comes out in order, mean 0.
  const auto three = BradleyTerry({30, 20, 10}, {{0, 20, 20}, {20, 0, 20}, {20, 20, 0}});
  EXPECT_GT(three[0], three[1]);
  EXPECT_GT(three[1], three[2]);
  EXPECT_NEAR(three[0] + three[1] + three[2], 0, 1e-6);
}

TEST(ArenaSchedule, PairingsAndShards) {
  TournamentSettings s;
  s.players = {{"A", "a"}, {"B", "b"}, {"C", "c"}, {"D", "d"}};
  EXPECT_EQ(Pairings(s).size(), 6u);
  s.format = "gauntlet";
  EXPECT_EQ(Pairings(s), (std::vector<std::pair<int, int>>{{0, 1}, {0, 2}, {0, 3}}));
  // Every pair of every pairing is in exactly one of the shards.
  s.pairs = 37;
  s.shards = 4;
  for (int p = 0; p < 3; ++p)
    for (int k = 0; k < s.pairs; ++k) {
      int owners = 0;
      for (s.shard = 1; s.shard <= 4; ++s.shard) owners += InShard(s, p, k);
      EXPECT_EQ(owners, 1);
    }
}

TEST(ArenaSchedule, RandomOpenings) {
  // The same seed and pair give the same opening; it is legal and leaves
  // the round open; different pairs mostly differ.
  std::set<std::vector<int>> seen;
  for (int pair = 0; pair < 50; ++pair) {
    const auto o = RandomOpening(6, 6, 3, 1, pair);
    ASSERT_TRUE(o);
    EXPECT_EQ(o, RandomOpening(6, 6, 3, 1, pair));
    EXPECT_EQ(CheckOpening(6, 6, *o), "");
    seen.insert(*o);
  }
  EXPECT_GT(seen.size(), 20u);
  EXPECT_NE(RandomOpening(6, 6, 3, 1, 0), RandomOpening(6, 6, 3, 2, 0));
  // Pinned, so that a change of generator (and so of every machine's
  // openings) cannot pass unseen.
  EXPECT_EQ(RandomOpening(6, 6, 2, 1, 0), (std::vector<int>{3, 1}));
  // No bones: every opening ends the round at once.
  EXPECT_FALSE(RandomOpening(1, 0, 1, 1, 0));
  EXPECT_NE(CheckOpening(6, 6, {7}), "");
  EXPECT_NE(CheckOpening(1, 1, {1}), "");  // the only move ends the round

  TestDir dir;
  // The referee's grammar, the one the arena reads files with.
  WriteFile(dir / "o.txt", "3, $1\n\n 6 %10 \n");
  std::vector<Opening> lines;
  EXPECT_FALSE(ReadOpenings((dir / "o.txt").string(), 6, 6, lines));
  EXPECT_EQ(lines, (std::vector<Opening>{{3, 1}, {6, 2}}));
  WriteFile(dir / "bad.txt", "1\n3x\n");
  EXPECT_EQ(ReadOpenings((dir / "bad.txt").string(), 6, 6, lines)->text,
            "pitsow: " + (dir / "bad.txt").string() + ", line 2: not a list of holes: 3x");
}

// A results file written line by line, cut mid-line as by a power loss,
// read back: the torn line is dropped, the counts and pairs come out.
TEST(ArenaRecords, ResultsReadBack) {
  TestDir dir;
  TournamentSettings s;
  // Labels and paths are bytes, any byte, and come back as they went.
  s.players = {{"A\xff", "/a\x01.so"}, {"B", "/b.so"}};
  s.pairs = 2;
  const std::string path = (dir / "results.jsonl").string();
  ResultsFile f;
  ASSERT_EQ(OpenResults(path, -1, f), "");
  ASSERT_EQ(AppendLine(f, {{"type", "tournament"},
                           {"program", "pitsow-arena"},
                           {"version", "1"},
                           {"settings", SettingsToJson(s)}}),
            "");
  // Pair 0: A wins as player 1, draws as player 2. Pair 1: A loses both.
  const int winners[4] = {1, 0, 2, 1};
  for (int i = 0; i < 4; ++i) {
    const Slot slot{0, i / 2, i % 2};
    ASSERT_EQ(
        AppendLine(
            f, RoundToJson(s, slot,
                           {{"winner", winners[i]}, {"end", "majority"}, {"stores", {0, 0}}}, "m")),
        "");
  }
  ASSERT_EQ(AppendLine(f, {{"type", "fault"},
                           {"pairing", 0},
                           {"pair", 1},
                           {"seat", 1},
                           {"player", "A\xc3\xbf"},
                           {"kind", "crash"},
                           {"round", 1},
                           {"report", "crashed"},
                           {"match", "m"}}),
            "");
  CloseResults(f);
  const std::string whole = ReadFile(path);
  WriteFile(path, whole + "{\"type\":\"round\",\"pair");

  Ledger ledger;
  long valid = 0;
  ASSERT_EQ(LoadResults(path, ledger, valid), "");
  EXPECT_EQ(valid, static_cast<long>(whole.size()));
  EXPECT_EQ(ledger.settings, SettingsToJson(s));
  TournamentSettings back;
  ASSERT_EQ(SettingsFromJson(ledger.settings, back), "");
  EXPECT_EQ(SettingsToJson(back), SettingsToJson(s));
  EXPECT_EQ(back.players[0].label, "A\xff");
  EXPECT_EQ(back.players[0].file, "/a\x01.so");

  const Summary sum = Summarise(s, ledger, false);
  EXPECT_EQ(sum.rounds, 4);
  EXPECT_EQ(sum.pairs, 2);
  const PairingCounts& pc = sum.pairings[0];
  EXPECT_EQ(pc.wdl.wins, 1);
  EXPECT_EQ(pc.wdl.draws, 1);
  EXPECT_EQ(pc.wdl.losses, 2);
  EXPECT_EQ(pc.penta, (Penta{1, 0, 0, 1, 0}));  // pair scores 0 and 3/4
  EXPECT_EQ(pc.first.wins, 2);                  // player 1 won rounds 0 and 3
  EXPECT_EQ(sum.players[0].faults, 1);
  const std::string text = VerdictText(s, ledger, sum);
  EXPECT_NE(text.find("LL 1, LD 0, DD+WL 0, WD 1, WW 0"), std::string::npos) << text;
  EXPECT_NE(text.find("crashed"), std::string::npos);

  // The page's data from the same file, a torn last line and all.
  ReportData data;
  ASSERT_FALSE(TournamentReportData(dir.path.string(), data));
  ASSERT_EQ(data.standings.size(), 2u);
  EXPECT_EQ(data.standings[0].player, "B");  // 2.5 of 4
  EXPECT_EQ(data.cross.cells[0][1], "1.5/4");
  ASSERT_EQ(data.rounds.size(), 4u);
  ASSERT_EQ(data.faults.size(), 1u);
  EXPECT_EQ(data.faults[0].roundId, 3);
  EXPECT_EQ(data.rounds[3].fault, "crashed");
  ASSERT_TRUE(data.course);
  EXPECT_EQ(data.course->points.size(), 2u);

  // Reopening cuts the torn tail before appending.
  ASSERT_EQ(OpenResults(path, valid, f), "");
  CloseResults(f);
  EXPECT_EQ(ReadFile(path), whole);
}

}  // namespace
