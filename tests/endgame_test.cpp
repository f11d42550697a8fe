// The endgame tables against an independent search over the rules header,
// and their files refused when short, damaged or of another width, then
// rebuilt. Tables are built small, in a temporary cache folder.
#include "endgame.h"

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <array>
#include <climits>
#include <filesystem>
#include <map>
#include <random>
#include <set>

#include "solve.h"
#include "test_dir.h"

namespace {

// The brute force: plain negamax over PsPlayMove, scoring a play that
// returns to a position already on its path as worth 0 from there (it can
// go round for ever and no bone is banked on a cycle, stores only grow). It
// knows nothing of levels, ranks, distances or passes. A result is kept
// for reuse only when it did not rest on a repetition of a position above.
class BruteForce {
 public:
  explicit BruteForce(int holes) : holes_(holes) {}

  int Value(const int32_t* my, const int32_t* opp) { return Search(my, opp).value; }

 private:
  using Key = std::array<int32_t, 2 * PS_MAX_HOLES>;
  struct Found {
    int value;
    int rests_on;  // the shallowest path depth it relied on, INT_MAX if none
  };

  Found Search(const int32_t* my, const int32_t* opp) {
    Key key{};
    for (int i = 0; i < holes_; ++i) key[i] = my[i], key[PS_MAX_HOLES + i] = opp[i];
    if (const auto on_path = path_.find(key); on_path != path_.end()) return {0, on_path->second};
    if (const auto known = memo_.find(key); known != memo_.end()) return {known->second, INT_MAX};
    const int depth = static_cast<int>(path_.size());
    path_.emplace(key, depth);
    Found best{-1000, INT_MAX};
    for (int hole = 1; hole <= holes_; ++hole) {
      PsBoard board{};
      board.NumHoles = holes_;
      board.NumBones = 1000;
      for (int i = 0; i < holes_; ++i) board.Holes[0][i] = my[i], board.Holes[1][i] = opp[i];
      board.Mover = 1;
      PsPlayMove(&board, hole, nullptr);
      const int gain = board.Stores[0] - board.Stores[1];
      Found next{0, INT_MAX};
      if (!board.RoundOver)
        next = board.Mover == 1 ? Search(board.Holes[0], board.Holes[1])
                                : Search(board.Holes[1], board.Holes[0]);
      const int value = board.RoundOver    ? gain
                        : board.Mover == 1 ? gain + next.value
                                           : gain - next.value;
      best.value = std::max(best.value, value);
      best.rests_on = std::min(best.rests_on, next.rests_on);
    }
    path_.erase(key);
    if (best.rests_on >= depth) {
      memo_.emplace(key, best.value);
      best.rests_on = INT_MAX;
    }
    return best;
  }

  int holes_;
  std::map<Key, int> path_;
  std::map<Key, int> memo_;
};

struct Cache {
  TestDir dir;
  Cache() { setenv("XDG_CACHE_HOME", dir.path.c_str(), 1); }
  std::string Folder() const { return *EndgameCacheDir(); }
};

void Build(const std::string& folder, int holes, int bones) {
  const auto notes = BuildTables({folder, holes, bones, 2, false});
  ASSERT_TRUE(notes.ok()) << notes.error().text;
}

bool RowOver(const int32_t* counts, int holes) {
  return PsRowBones(counts, holes) == 0 || PsRowBones(counts + holes, holes) == 0;
}

}  // namespace

// Every position of the small widths, and positions of every level drawn
// at random on the wide ones, with and without a pass for either side.
TEST(EndgameTables, AgreeWithBruteForce) {
  Cache cache;
  const std::array<int, 7> top{0, 16, 9, 7, 7, 7, 7};
  std::mt19937 random(28);
  int with_pass = 0, without_pass = 0;
  for (int holes = 1; holes <= PS_MAX_HOLES; ++holes) {
    Build(cache.Folder(), holes, top[holes]);
    auto tables = EndgameTables::Open(cache.Folder(), holes);
    ASSERT_TRUE(tables.ok()) << tables.error().text;
    ASSERT_EQ(tables->Levels(), top[holes] + 1);
    const PsEgTables& raw = tables->Raw();
    BruteForce brute(holes);
    for (int level = 0; level <= top[holes]; ++level) {
      const uint64_t count = PsEgCount(&raw, level);
      const bool all = count <= 4000;
      for (uint64_t n = 0; n < (all ? count : 60); ++n) {
        const uint64_t rank = all ? n : random() % count;
        int32_t counts[2 * PS_MAX_HOLES];
        PsEgUnrank(&raw, rank, level, counts);
        ASSERT_EQ(PsEgRank(&raw, counts, level), rank);
        if (RowOver(counts, holes)) continue;
        const bool passes = PsEgCanPass(counts, holes) || PsEgCanPass(counts + holes, holes);
        ++(passes ? with_pass : without_pass);
        ASSERT_EQ(PsEgValue(&raw, counts, counts + holes), brute.Value(counts, counts + holes))
            << "holes " << holes << " level " << level << " rank " << rank;
      }
    }
  }
  EXPECT_GT(with_pass, 1000);
  EXPECT_GT(without_pass, 100);
}

// From the filled board, each move's value is what the whole game tree
// gives after it, and the best moves are those that reach the value.
TEST(EndgameTables, StartsAgreeWithTheWholeGameTree) {
  Cache cache;
  for (const auto& [holes, bones] : {std::pair{1, 5}, {2, 3}, {3, 2}, {4, 1}, {5, 1}}) {
    Build(cache.Folder(), holes, 2 * holes * bones);
    auto tables = EndgameTables::Open(cache.Folder(), holes);
    ASSERT_TRUE(tables.ok()) << tables.error().text;
    PsBoard board;
    PsSetUpBoard(&board, holes, bones);
    auto solution = SolveBoard(*tables, board);
    ASSERT_TRUE(solution.ok()) << solution.error().text;
    BruteForce brute(holes);
    EXPECT_EQ(solution->value, brute.Value(board.Holes[0], board.Holes[1]));
    int best = -1000;
    for (const MoveValue& move : solution->moves) {
      PsBoard next = board;
      next.NumBones = 1000;  // the played-out round
      PsPlayMove(&next, move.hole, nullptr);
      const int gain = next.Stores[0] - next.Stores[1];
      const int after = next.RoundOver    ? gain
                        : next.Mover == 1 ? gain + brute.Value(next.Holes[0], next.Holes[1])
                                          : gain - brute.Value(next.Holes[1], next.Holes[0]);
      EXPECT_EQ(move.value, after) << holes << "x" << bones << " hole " << move.hole;
      best = std::max(best, after);
      EXPECT_EQ(move.best, after == solution->value);
    }
    EXPECT_EQ(best, solution->value);
  }
  const auto text = DescribeStart(cache.Folder(), 2, 3);
  ASSERT_TRUE(text.ok());
  EXPECT_NE(text->find("2 holes of 3 bones: "), std::string::npos) << *text;
}

// A pass that only ties a won position is not a best move when the
// opponent can pass back: the exchange could go on for ever, worth 0.
//   player 2:   0  [1]        (player 2's holes 2 1)
//   player 1:  [1]  0         player 1 to move
TEST(EndgameTables, APassThatTiesAWinIsNotBest) {
  Cache cache;
  Build(cache.Folder(), 2, 2);
  auto tables = EndgameTables::Open(cache.Folder(), 2);
  ASSERT_TRUE(tables.ok());
  const int32_t my[PS_MAX_HOLES] = {1, 0}, opp[PS_MAX_HOLES] = {1, 0};
  auto solution = SolvePosition(*tables, my, opp);
  ASSERT_TRUE(solution.ok());
  for (const MoveValue& move : solution->moves)
    if (move.pass && move.value == solution->value) {
      EXPECT_EQ(move.best, solution->value <= 0);
    }
}

// A truncated file, a flipped byte and a file of another width are refused
// with their reason, and the next build rebuilds just them.
TEST(EndgameTables, RefusedFilesAreRebuilt) {
  Cache cache;
  const std::string folder = cache.Folder();
  Build(folder, 3, 6);
  Build(folder, 4, 6);
  char path[PS_EG_PATH_SIZE];
  auto level_path = [&](int holes, int level) {
    PsEgLevelPath(path, sizeof path, folder.c_str(), holes, level);
    return std::string(path);
  };
  const std::string good5 = ReadFile(level_path(3, 5));
  std::filesystem::resize_file(level_path(3, 5), good5.size() - 1);
  std::string flipped = ReadFile(level_path(3, 4));
  flipped[sizeof(PsEgHeader) + 7] ^= 1;
  WriteFile(level_path(3, 4), flipped);
  std::filesystem::copy_file(level_path(4, 3), level_path(3, 3),
                             std::filesystem::copy_options::overwrite_existing);

  auto opened = EndgameTables::Open(folder, 3);
  ASSERT_FALSE(opened.ok());
  EXPECT_NE(opened.error().text.find("endgame-h3-k03.bin is foreign"), std::string::npos)
      << opened.error().text;
  const std::vector<LevelFile> files = ScanTables(folder, 3, 6);
  EXPECT_EQ(files[3].status, PS_EG_FOREIGN);
  EXPECT_EQ(files[4].status, PS_EG_DAMAGED);
  EXPECT_EQ(files[5].status, PS_EG_TRUNCATED);
  EXPECT_EQ(files[6].status, PS_EG_OK);
  EXPECT_NE(DescribeStatus(folder).find("damaged"), std::string::npos) << DescribeStatus(folder);

  const auto notes = BuildTables({folder, 3, 6, 2, false});
  ASSERT_TRUE(notes.ok()) << notes.error().text;
  for (const LevelNote& note : *notes) EXPECT_EQ(note.built, note.level >= 3 && note.level <= 5);
  EXPECT_EQ((*notes)[4].refused, PsEgStatusText(PS_EG_DAMAGED));
  EXPECT_EQ(ReadFile(level_path(3, 5)), good5);
  EXPECT_TRUE(EndgameTables::Open(folder, 3).ok());
  const auto none = EndgameTables::Open(folder, 5);
  ASSERT_FALSE(none.ok());
  EXPECT_NE(none.error().text.find("pitsow-solve build --holes 5"), std::string::npos);
}

// MinimaxTables searching one move deep answers a best move in every
// covered position of 3 holes with 4 bones, which one move does not see.
TEST(EndgameTables, MinimaxTablesPlaysPerfectlyInside) {
  Cache cache;
  Build(cache.Folder(), 3, 6);
  auto tables = EndgameTables::Open(cache.Folder(), 3);
  ASSERT_TRUE(tables.ok());
  void* library = dlopen(MINIMAX_TABLES_SO, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(library, nullptr) << dlerror();
  auto init = reinterpret_cast<PsBool (*)(PsInfo*)>(dlsym(library, "PsInit"));
  auto get_turn = reinterpret_cast<PsGetTurnProc>(dlsym(library, "PsGetTurn"));
  ASSERT_TRUE(init && get_turn);
  PsInfo info{};
  info.Size = PS_INFO_SIZE;
  info.MaxVer = 1;
  info.Player = 1;
  info.NumHoles = 3;
  info.NumBones = 6;
  info.Param = 1;
  ASSERT_TRUE(init(&info));
  const PsEgTables& raw = tables->Raw();
  for (uint64_t rank = 0; rank < PsEgCount(&raw, 4); ++rank) {
    int32_t counts[2 * PS_MAX_HOLES];
    PsEgUnrank(&raw, rank, 4, counts);
    if (RowOver(counts, 3)) continue;
    HoleRow mine{counts[0], counts[1], counts[2]}, theirs{counts[3], counts[4], counts[5]};
    const int32_t hole = get_turn(mine, theirs, 10, 10);
    auto solution = SolvePosition(*tables, mine, theirs);
    ASSERT_TRUE(solution.ok());
    ASSERT_TRUE(hole >= 1 && hole <= 3 && solution->moves[hole - 1].best) << "rank " << rank;
  }
  dlclose(library);
}

// Above the tables' reach a shallow search is an estimate at its depth; a
// search deep enough that every line reaches the tables is the tables' own
// value, move by move.
//   player 2:   2   1        tables opened up to 4 bones,
//   player 1:  [2]  1        6 on the board, player 1 to move
TEST(EndgameTables, ASearchAboveTheReachIsAnEstimateUntilItReachesThem) {
  Cache cache;
  Build(cache.Folder(), 2, 6);
  auto full = EndgameTables::Open(cache.Folder(), 2);
  auto low = EndgameTables::Open(cache.Folder(), 2, 4);
  ASSERT_TRUE(full.ok() && low.ok());
  const int32_t my[PS_MAX_HOLES] = {2, 1}, opp[PS_MAX_HOLES] = {1, 2};
  const auto shallow = SearchPosition(*low, my, opp, 1);
  ASSERT_TRUE(shallow.ok());
  EXPECT_FALSE(shallow->exact);
  EXPECT_EQ(shallow->depth, 1);
  const auto deep = SearchPosition(*low, my, opp, kMaxSearchDepth);
  const auto exact = SolvePosition(*full, my, opp);
  ASSERT_TRUE(deep.ok() && exact.ok());
  EXPECT_TRUE(deep->exact);
  EXPECT_EQ(deep->value, exact->value);
  ASSERT_EQ(deep->moves.size(), exact->moves.size());
  for (size_t i = 0; i < deep->moves.size(); ++i) {
    EXPECT_EQ(deep->moves[i].value, exact->moves[i].value) << "hole " << i + 1;
    EXPECT_EQ(deep->moves[i].best, exact->moves[i].best) << "hole " << i + 1;
  }
}
