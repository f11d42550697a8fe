// The tournament runner's core without a referee: the statistics against
// worked examples, openings and shards, the results file read back, the
// counts and verdict made from it, and the books a run's record feeds.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <cmath>
#include <limits>
#include <set>
#include <tuple>

#include "bookkeeper.h"
#include "charge.h"
#include "ingest.h"
#include "openings.h"
#include "openings_space.h"
#include "pair_score.h"
#include "records.h"
#include "referee_run.h"
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
  // Every round won: the bound the page prints, not "+inf +/- inf"
  // (0.025^(1/10) = 0.6915, its Elo +140.22).
  EXPECT_NE(WdlText({10, 0, 0}).find("Elo above +140.22 at 95%, LOS 100.00%"), std::string::npos)
      << WdlText({10, 0, 0});
  // Three pairs all lost say only that the Elo is below +153.5.
  EXPECT_NE(PentaText({3, 0, 0, 0, 0}).find("Elo below +153.5"), std::string::npos)
      << PentaText({3, 0, 0, 0, 0});
}

TEST(ArenaStats, Sprt) {
  const SprtBounds bounds;
  const SprtState none = Sprt(bounds, Penta{});
  EXPECT_EQ(Fixed(none.lower, 3), "-2.944");
  EXPECT_EQ(Fixed(none.upper, 3), "2.944");
  EXPECT_EQ(none.verdict, 0);
  // Mirrored results give opposite ratios about the middle of elo0..elo1.
  const SprtBounds mid{-5, 5, 0.05, 0.05};
  EXPECT_NEAR(Sprt(mid, Penta{34, 54, 63, 64, 75}).llr, -Sprt(mid, Penta{75, 64, 63, 54, 34}).llr,
              1e-6);
  // +55 Elo over 290 pairs: about N (s1 - s0)(2s - s0 - s1) / 2 var.
  EXPECT_NEAR(Sprt(bounds, Penta{34, 54, 63, 64, 75}).llr, 1.40, 0.1);
  const SprtBounds wide{0, 40, 0.05, 0.05};
  EXPECT_EQ(Sprt(wide, Penta{34, 54, 63, 64, 75}).verdict, 1);
  EXPECT_EQ(Sprt(wide, Penta{75, 64, 63, 54, 34}).verdict, -1);
  const Result<SprtBounds> parsed = ParseSprt("elo1=10,alpha=0.1");
  ASSERT_TRUE(parsed.ok());
  EXPECT_EQ(parsed->elo1, 10);
  EXPECT_EQ(parsed->alpha, 0.1);
  EXPECT_FALSE(ParseSprt("elo0=5,elo1=0").ok());
  EXPECT_FALSE(ParseSprt("gamma=1").ok());
}

// Unequal error rates: the bounds are log(beta / (1 - alpha)) and
// log((1 - beta) / alpha), by hand -1.558 and 2.773 (swapped alpha and
// beta would give -2.773 and 1.558).
TEST(ArenaStats, SprtBoundsAndModels) {
  const SprtBounds uneven{0, 5, 0.05, 0.2};
  const SprtState t = Sprt(uneven, Penta{34, 54, 63, 64, 75});
  EXPECT_EQ(Fixed(t.lower, 3), "-1.558");
  EXPECT_EQ(Fixed(t.upper, 3), "2.773");
  EXPECT_EQ(SprtText(uneven, Sprt(uneven, Wdl{136, 111, 96})),
            "SPRT elo0=0 elo1=5 alpha=0.05 beta=0.2 (logistic Elo): LLR 0.799, bounds "
            "[-1.558, 2.773]: no decision\n");
  // Normalised bounds: for small differences the ratio nears the normal
  // one, N (t1 - t0) (2 t - t0 - t1) / 2 with t = (score - 1/2) / sd of a
  // pair and t = nElo sqrt 2 / (800 / ln 10).
  SprtBounds normal{0, 5, 0.05, 0.05, true};
  const Penta p{1000, 2000, 4000, 2000, 1100};
  const Estimate e = FromPenta(p);
  const double scale = std::sqrt(2.0) * std::log(10.0) / 800;
  const double t0 = 0, t1 = 5 * scale, th = e.nelo * scale;
  EXPECT_NEAR(Sprt(normal, p).llr, 10100 * (t1 - t0) * (2 * th - t0 - t1) / 2, 1e-3);
  EXPECT_NE(Sprt(normal, p).llr, Sprt(SprtBounds{0, 5}, p).llr);
  normal.elo0 = -10;
  normal.elo1 = 10;
  EXPECT_NEAR(Sprt(normal, p).llr, -Sprt(normal, Penta{1100, 2000, 4000, 2000, 1000}).llr, 1e-6);
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
  // A player that wins everything is +inf, one that loses everything -inf;
  // the others keep finite ratings of mean 0.
  const auto sweep = BradleyTerry({40, 25, 15, 0}, {{0, 10, 10, 10},  //
                                                    {10, 0, 20, 10},
                                                    {10, 20, 0, 10},
                                                    {10, 10, 10, 0}});
  EXPECT_EQ(sweep[0], std::numeric_limits<double>::infinity());
  EXPECT_EQ(sweep[3], -std::numeric_limits<double>::infinity());
  EXPECT_GT(sweep[1], 0);
  EXPECT_NEAR(sweep[1] + sweep[2], 0, 1e-6);
}

// Every sequence of holes 1..holes of each length, played through
// CheckOpening: the ones it accepts.
std::set<std::vector<int>> BruteForceOpenings(int holes, int bones, int depth) {
  std::set<std::vector<int>> out;
  std::vector<int> seq(static_cast<size_t>(depth), 1);
  for (;;) {
    if (!CheckOpening(holes, bones, seq)) out.insert(seq);
    size_t i = 0;
    while (i < seq.size() && seq[i] == holes) seq[i++] = 1;
    if (i == seq.size()) return out;
    ++seq[i];
  }
}

TEST(ArenaOpenings, CountsAndChoice) {
  for (const auto& [holes, bones, deepest] : {std::tuple{6, 6, 4}, {3, 2, 6}, {2, 1, 6}})
    for (int depth = 1; depth <= deepest; ++depth) {
      const auto all = BruteForceOpenings(holes, bones, depth);
      EXPECT_EQ(CountOpenings(holes, bones, depth, 1 << 20), static_cast<int64_t>(all.size()))
          << holes << "x" << bones << " depth " << depth;
      const auto list = ListOpenings(holes, bones, depth, 7);
      ASSERT_TRUE(list);
      std::set<std::vector<int>> listed;
      for (int64_t i = 0; i < list->count; ++i) listed.insert(list->At(i));
      EXPECT_EQ(listed, all);
    }
  // The standard board: 6, 35, 190, 1056, 5882 and 32243 openings of 1 to 6
  // moves (with a cap to count up to).
  std::vector<int64_t> counts;
  for (int depth = 1; depth <= 6; ++depth) counts.push_back(CountOpenings(6, 6, depth, 100000));
  EXPECT_EQ(counts, (std::vector<int64_t>{6, 35, 190, 1056, 5882, 32243}));
  EXPECT_EQ(CountOpenings(6, 6, 6, 1000), 1001);
  // auto: the fewest moves with more openings than pairs; 10,000 without a cap.
  EXPECT_EQ(ChooseOpeningDepth(6, 6, -1, 2000).depth, 5);
  EXPECT_EQ(ChooseOpeningDepth(6, 6, -1, 1056).depth, 5);
  EXPECT_EQ(ChooseOpeningDepth(6, 6, -1, 1055).depth, 4);
  EXPECT_EQ(ChooseOpeningDepth(6, 6, -1, 0).depth, 6);
  const OpeningDepth few = ChooseOpeningDepth(6, 6, 2, 2000);
  EXPECT_EQ(few.warning, "only 35 distinct openings of 2 moves for 2000 pairs: openings repeat");
  EXPECT_EQ(ChooseOpeningDepth(6, 6, 2, 30).warning, "");
}

// The schedule plays every opening once per pairing before any comes
// again, the same for every pairing and every shard.
TEST(ArenaOpenings, EachOnceBeforeRepeats) {
  TournamentSettings s;
  s.holes = 3;
  s.bones = 2;
  s.opening_depth = 4;
  const auto all = BruteForceOpenings(3, 2, 4);
  const int n = static_cast<int>(all.size());
  s.pairs = 2 * n + 5;
  std::set<std::vector<int>> first;
  for (int k = 0; k < n; ++k) first.insert(OpeningOf(s, k));
  EXPECT_EQ(first, all);
  for (int k = n; k < s.pairs; ++k) EXPECT_EQ(OpeningOf(s, k), OpeningOf(s, k - n));
  s.seed = 2;
  std::vector<std::vector<int>> other;
  for (int k = 0; k < n; ++k) other.push_back(OpeningOf(s, k));
  EXPECT_EQ(std::set<std::vector<int>>(other.begin(), other.end()), all);
  s.seed = 1;
  EXPECT_NE(other[0], OpeningOf(s, 0));  // another seed, another order
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
    EXPECT_FALSE(CheckOpening(6, 6, *o));
    seen.insert(*o);
  }
  EXPECT_GT(seen.size(), 20u);
  EXPECT_NE(RandomOpening(6, 6, 3, 1, 0), RandomOpening(6, 6, 3, 2, 0));
  // Pinned, so that a change of generator (and so of every machine's
  // openings) cannot pass unseen.
  EXPECT_EQ(RandomOpening(6, 6, 2, 1, 0), (std::vector<int>{3, 1}));
  // No bones: every opening ends the round at once.
  EXPECT_FALSE(RandomOpening(1, 0, 1, 1, 0));
  EXPECT_TRUE(CheckOpening(6, 6, {7}));
  EXPECT_TRUE(CheckOpening(1, 1, {1}));  // the only move ends the round

  TestDir dir;
  // The referee's grammar, the one the arena reads files with.
  WriteFile(dir / "o.txt", "3, $1\n\n 6 %10 \n");
  const Result<std::vector<Opening>> lines = ReadOpenings((dir / "o.txt").string(), 6, 6);
  ASSERT_TRUE(lines);
  EXPECT_EQ(*lines, (std::vector<Opening>{{3, 1}, {6, 2}}));
  WriteFile(dir / "bad.txt", "1\n3x\n");
  EXPECT_EQ(ReadOpenings((dir / "bad.txt").string(), 6, 6).error().text,
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
  Result<ResultsFile> opened = OpenResults(path, -1);
  ASSERT_TRUE(opened.ok()) << opened.error().text;
  ResultsFile f = *opened;
  ASSERT_FALSE(AppendLine(f, {{"type", "tournament"},
                              {"program", "pitsow-arena"},
                              {"version", "1"},
                              {"settings", SettingsToJson(s)}}));
  // Pair 0: A wins as player 1, draws as player 2. Pair 1: A loses both.
  const int winners[4] = {1, 0, 2, 1};
  for (int i = 0; i < 4; ++i) {
    const Slot slot{0, i / 2, i % 2};
    ASSERT_FALSE(AppendLine(
        f, RoundToJson(s, slot, {{"winner", winners[i]}, {"end", "majority"}, {"stores", {0, 0}}},
                       "m")));
  }
  ASSERT_FALSE(AppendLine(f, {{"type", "fault"},
                              {"pairing", 0},
                              {"pair", 1},
                              {"seat", 1},
                              {"player", "A\xc3\xbf"},
                              {"kind", "crash"},
                              {"round", 1},
                              {"report", "crashed"},
                              {"match", "m"}}));
  ASSERT_FALSE(CloseResults(f));
  const std::string whole = ReadFile(path);
  WriteFile(path, whole + "{\"type\":\"round\",\"pair");

  const Result<Ledger> loaded = LoadResults(path);
  ASSERT_TRUE(loaded.ok()) << loaded.error().text;
  const Ledger& ledger = *loaded;
  const long valid = ledger.valid_bytes;
  EXPECT_EQ(valid, static_cast<long>(whole.size()));
  EXPECT_EQ(ledger.settings, SettingsToJson(s));
  const Result<TournamentSettings> read_back = SettingsFromJson(ledger.settings);
  ASSERT_TRUE(read_back.ok()) << read_back.error().text;
  const TournamentSettings& back = *read_back;
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
  const Result<ReportData> read = TournamentReportData(dir.path.string());
  ASSERT_TRUE(read.ok());
  const ReportData& data = *read;
  ASSERT_EQ(data.standings.size(), 2u);
  EXPECT_EQ(data.standings[0].player, "B");  // 2.5 of 4
  EXPECT_EQ(data.cross.cells[0][1], "1.5/4");
  ASSERT_EQ(data.rounds.size(), 4u);
  ASSERT_EQ(data.faults.size(), 1u);
  EXPECT_EQ(data.faults[0].round_id, 3);
  EXPECT_EQ(data.rounds[3].fault, "crashed");
  ASSERT_TRUE(data.course);
  EXPECT_EQ(data.course->points.size(), 2u);

  // Reopening cuts the torn tail before appending.
  Result<ResultsFile> reopened = OpenResults(path, valid);
  ASSERT_TRUE(reopened.ok());
  ASSERT_FALSE(CloseResults(*reopened));
  EXPECT_EQ(ReadFile(path), whole);
}

}  // namespace

namespace {

// Deterministic players: pairs 0..7 play opening 1 the same way each time
// (A wins as player 1, loses as player 2), pair 8 opening 2 (A wins both),
// pair 9 has one round only. The verdict counts the 9 complete pairs,
// leaves pair 9 out, warns of the repeats and bases the error bars on the
// 2 distinct pairs (4 rounds, 3 won: no finite bound; 18 rounds counted
// as evidence would have given one).
TEST(ArenaVerdict, RepeatedRounds) {
  TournamentSettings s;
  s.players = {{"A", "/a.so"}, {"B", "/b.so"}};
  s.pairs = 10;
  s.opening_depth = 1;
  s.opening_distinct = 6;
  Ledger ledger;
  const Json same = {{"opening", {1}}, {"moves", {{1, 2}, {2, 3}}}, {"winner", 1}};
  for (int k = 0; k < 8; ++k)
    for (int seat = 0; seat < 2; ++seat) Absorb(ledger, RoundToJson(s, {0, k, seat}, same, "m"));
  Json other = {{"opening", {2}}, {"moves", {{1, 5}}}, {"winner", 1}};
  Absorb(ledger, RoundToJson(s, {0, 8, 0}, other, "m"));
  other["winner"] = 2;
  Absorb(ledger, RoundToJson(s, {0, 8, 1}, other, "m"));
  Absorb(ledger, RoundToJson(s, {0, 9, 0}, other, "m"));
  const std::string text = VerdictText(s, ledger, Summarise(s, ledger, false));
  EXPECT_EQ(text.substr(0, text.find("\n\nCross-table")),
            "Rounds 19 of 20, pairs 9 of 10\n"
            "Openings: 1 random moves (auto), 6 distinct, seed 1\n"
            "Unfinished pairs left out of every count: 1 (one round each)\n"
            "\n"
            "Standings\n"
            "player  rounds   wins  draws losses  score       Elo +/- 95%  faults\n"
            "A           18     10      0      8  55.6%    +190.8 +/- inf       0\n"
            "B           18      8      0     10  44.4%    -190.8 +/- inf       0");
  EXPECT_EQ(text.substr(text.find("\nPairings\n")),
            "\nPairings\n"
            "A vs B: 18 rounds, +10 =0 -8, score 55.6%\n"
            "  distinct: 2 openings, 4 rounds, 2 pairs\n"
            "  Elo +190.85 +/- inf, nElo +200.59 +/- 340.48, LOS 87.6%, draw ratio 0.0% (each "
            "distinct pair once)\n"
            "  WARNING: 14 of 18 rounds (77.8%) repeat an earlier round: too few openings for the "
            "pairs; the error bars count each distinct pair once\n"
            "  pairs 9: LL 0, LD 0, DD+WL 8, WD 0, WW 1 (distinct 2: LL 0, LD 0, DD+WL 1, WD 0, WW "
            "1); pair Elo +190.85 +/- inf, nElo +245.67 +/- 340.48\n"
            "  first player scores 94.4% (Elo +492.2), faults 0\n");
  EXPECT_EQ(VerdictLines(s, ledger, Summarise(s, ledger, false)),
            "Verdict: A and B are not yet separated: Elo of A above -68 at 95 %, LOS 92.1 %, "
            "over 2 pairs of rounds; the interval includes 0.\n");
}

// The verdict in words: a decided sequential test, a fixed run whose
// interval includes 0, and a field whose middle places overlap.
TEST(ArenaVerdict, Sentences) {
  TournamentSettings s;
  s.players = {{"V2", "/a.so"}, {"V1", "/b.so"}};
  s.pairs = 0;
  s.sprt = SprtBounds{0, 10, 0.05, 0.05, false};
  Ledger ledger;
  const Json win = {{"opening", {1}}, {"moves", {{1, 2}}}, {"winner", 1}};
  const Json loss = {{"opening", {1}}, {"moves", {{1, 3}}}, {"winner", 2}};
  for (int k = 0; k < 40; ++k) {
    Json a = win,
         b = k % 4 == 0
                 ? win
                 : loss;  // V2 wins its seat-0 rounds and 3 in 4 of the others: +338 ± 118 by hand
    a["opening"] = b["opening"] = {1 + k % 6, 1 + k / 6};
    Absorb(ledger, RoundToJson(s, {0, k, 0}, a, "m"));
    Absorb(ledger, RoundToJson(s, {0, k, 1}, b, "m"));
  }
  Absorb(ledger,
         {{"type", "sprt"}, {"pairs", 37}, {"distinct", 37}, {"llr", 2.95}, {"decision", "H1"}});
  const Summary sum = Summarise(s, ledger, true);
  EXPECT_EQ(VerdictSentence(s, ledger, sum),
            "V2 is stronger than V1: H1 (at least +10 Elo) accepted at pair 37, α = β = 0.05; "
            "estimate +338 ± 118 over 40 pairs.");
  EXPECT_NE(SprtBoundsHint(s, sum).find("far outside the test's bounds [+0, +10]"),
            std::string::npos);
  s.sprt.reset();
  s.pairs = 40;
  EXPECT_EQ(VerdictSentence(s, ledger, sum).substr(0, 41),
            "V2 is stronger than V1: Elo of V2 +338 ±");

  TournamentSettings f;
  f.players = {{"A", "/a.so"}, {"B", "/b.so"}, {"C", "/c.so"}};
  f.pairs = 50;
  Summary field;
  field.rounds = 300;
  field.cross.assign(3, std::vector<Wdl>(3));
  field.cross[0][1] = {80, 0, 20};
  field.cross[0][2] = {85, 0, 15};
  field.cross[1][2] = {52, 0, 48};
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < i; ++j) field.cross[i][j] = Mirror(field.cross[j][i]);
  const std::string said = VerdictSentence(f, ledger, field);
  EXPECT_EQ(said.substr(0, said.find("1. A")), "Ranking by Bradley–Terry rating (mean 0, 95 %): ");
  EXPECT_NE(said.find("; 2–3. B "), std::string::npos) << said;
  EXPECT_NE(said.find(" (not yet separated)."), std::string::npos) << said;
}

}  // namespace

namespace {

// Whether pid runs: its /proc entry is there and it is not a zombie (an
// orphan waits for the first process to reap it).
bool Alive(pid_t pid) {
  std::string stat = ReadFile("/proc/" + std::to_string(pid) + "/stat");
  const size_t paren = stat.rfind(')');
  return paren != std::string::npos && paren + 2 < stat.size() && stat[paren + 2] != 'Z';
}

// A referee run owns its process group: dropping the run while its
// referee still plays kills the referee and anything it started (a host
// left behind), and reaps the referee.
TEST(ArenaRefereeRun, DroppedRunLeavesNoProcess) {
  TestDir dir;
  const std::string referee = (dir / "referee.sh").string();
  WriteFile(referee, "#!/bin/sh\nsleep 60 &\necho $$ $!\nwait\n");
  std::filesystem::permissions(referee, std::filesystem::perms::owner_all);
  TournamentSettings s;
  s.players = {{"A", "/a.so"}, {"B", "/b.so"}};
  const auto pairings = Pairings(s);
  const RunSetup setup{s, pairings, dir.path.string(), referee, 0};
  pid_t pids[2] = {0, 0};
  {
    Result<RefereeRun> run = StartRefereeRun(setup, Job{0, 1, {3, 4}});
    ASSERT_TRUE(run.ok()) << run.error().text;
    EXPECT_EQ(run->Folder(), "matches/p0-s1-k3-r1");
    const std::string out = (dir / run->Folder() / "stdout.txt").string();
    for (int tries = 0; tries < 500 && ReadFile(out).find('\n') == std::string::npos; ++tries)
      usleep(10000);
    std::istringstream(ReadFile(out)) >> pids[0] >> pids[1];
    ASSERT_GT(pids[1], 0);
    EXPECT_FALSE(run->Poll());
  }
  EXPECT_NE(kill(pids[0], 0), 0);  // the referee reaped
  for (const pid_t pid : pids) {
    for (int tries = 0; tries < 500 && Alive(pid); ++tries) usleep(10000);
    EXPECT_FALSE(Alive(pid)) << pid;
  }
}

}  // namespace

namespace {

// A referee run's record as it grows, read into the books: each whole line
// once, however the writes cut it; a round in the slot of its pair; a fault
// held until its round's line and charged with it; after a call the
// machine starved, no round of the run counts; a bad line is the
// tournament's error, named by its line.
TEST(ArenaBooks, ARunsRecordIsReadOnceIntoItsSlots) {
  TestDir dir;
  TournamentSettings s;
  s.players = {{"A", "/a.so"}, {"B", "/b.so"}};
  s.pairs = 4;
  Bookkeeper book(s);
  ASSERT_FALSE(book.Open((dir / "results.jsonl").string(), false));
  RefereeRun run(Job{0, 1, {1, 2, 3}}, "m", -1, 0);
  std::filesystem::create_directories(dir / "m");
  const auto round = [](int r) {
    return R"({"type":"round","round":)" + std::to_string(r) +
           R"(,"opening":[],"moves":[],"end":"majority","stores":[24,24],"winner":1})"
           "\n";
  };
  const std::string fault =
      R"({"type":"fault","round":1,"player":2,"kind":"crash","report":"crashed"})"
      "\n";
  const std::string starved =
      R"({"type":"fault","round":2,"player":1,"kind":"starved","report":"s","charged":false})"
      "\n";
  const std::string first = round(0) + fault + round(1).substr(0, 20);
  WriteFile(dir / "m/match.jsonl", first);
  Ingest(run, book, dir.path.string());
  EXPECT_EQ(run.Received(), 1u);
  EXPECT_EQ(book.Recorded().rounds.count({0, 1, 1}), 1u);
  EXPECT_TRUE(book.Recorded().faults.empty());  // waiting for its round
  EXPECT_FALSE(run.Faulted());

  const std::string all = first + round(1).substr(20) + starved + round(2) + "not JSON\n";
  WriteFile(dir / "m/match.jsonl", all);
  Ingest(run, book, dir.path.string());
  EXPECT_EQ(run.Received(), 2u);
  EXPECT_EQ(book.Recorded().rounds.size(), 2u);
  EXPECT_EQ(book.Recorded().rounds.count({0, 2, 1}), 1u);
  ASSERT_EQ(book.Recorded().faults.size(), 1u);
  EXPECT_EQ(book.Recorded().faults[0].slot, (Slot{0, 2, 1}));
  EXPECT_EQ(book.Recorded().faults[0].player, "A");  // player 2 of seat 1
  EXPECT_TRUE(run.Faulted());
  EXPECT_TRUE(run.Starved());
  EXPECT_EQ(run.Unplayed(), std::vector<int>{3});
  ASSERT_TRUE(book.FirstError());
  EXPECT_EQ(book.FirstError()->text, (dir / "m/match.jsonl").string() + ", line 6: not JSON");
  EXPECT_EQ(book.Stop(), TournamentStop::kInterrupted);
  book.Close();
  EXPECT_EQ(StopText(book.Stop()), "interrupted");
}

// The end reasons as the results file writes them, each read back as the
// same stop; only a complete run and the test's decisions leave nothing to
// resume.
TEST(ArenaBooks, EndReasonsReadBackAsWritten) {
  const std::pair<TournamentStop, std::string> reasons[] = {
      {TournamentStop::kComplete, "complete"},
      {TournamentStop::kInterrupted, "interrupted"},
      {TournamentStop::kRetired, "retired"},
      {TournamentStop::kSprtH1, "sprt-h1"},
      {TournamentStop::kSprtH0, "sprt-h0"}};
  for (const auto& [stop, text] : reasons) {
    EXPECT_EQ(StopText(stop), text);
    EXPECT_EQ(StopFromText(text), stop) << text;
    EXPECT_EQ(Decided(stop), text == "complete" || text.rfind("sprt-", 0) == 0) << text;
  }
  EXPECT_EQ(StopText(TournamentStop::kNone), "");
  EXPECT_EQ(StopFromText(""), TournamentStop::kNone);
  EXPECT_FALSE(Decided(TournamentStop::kNone));
}

// Referee runs that fail with nobody to charge stop the tournament at the
// kUnchargedInARow-th in a row; a settled run starts the count again.
TEST(ArenaBooks, FailuresChargedToNobodyStopTheTournamentWhenInARow) {
  TestDir dir;
  TournamentSettings s;
  s.players = {{"A", "/a.so"}, {"B", "/b.so"}};
  Bookkeeper book(s);
  RefereeRun run(Job{0, 0, {0}}, "m", -1, 0);
  std::vector<RefereeRun> running;
  const auto fail = [&] { return ChargeFailedRun(run, running, book, dir.path.string(), 1); };
  for (int i = 1; i < kUnchargedInARow; ++i) EXPECT_FALSE(fail());
  book.RunSettled();
  for (int i = 1; i < kUnchargedInARow; ++i) EXPECT_FALSE(fail());
  EXPECT_FALSE(book.FirstError());
  EXPECT_FALSE(book.Stopped());
  EXPECT_FALSE(fail());
  ASSERT_TRUE(book.FirstError());
  EXPECT_EQ(book.FirstError()->text.find(std::to_string(kUnchargedInARow) +
                                         " referee runs in a row ended with no player to charge"),
            0u);
  EXPECT_EQ(book.Stop(), TournamentStop::kInterrupted);
}

}  // namespace
