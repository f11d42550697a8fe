// Whole tournaments: pitsow-arena driving the referee over real player
// libraries, its results file and report read back.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <tuple>

#include "test_dir.h"

namespace fs = std::filesystem;

namespace {

struct Outcome {
  int status = -1;
  std::string out, err;
};

pid_t Spawn(const std::vector<std::string>& args, const std::string& out, const std::string& err) {
  const pid_t pid = fork();
  if (pid == 0) {
    const int o = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int e = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (o < 0 || e < 0 || dup2(o, 1) < 0 || dup2(e, 2) < 0) _exit(121);
    std::vector<char*> argv{const_cast<char*>(ARENA_EXE)};
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(ARENA_EXE, argv.data());
    _exit(122);
  }
  return pid;
}

Outcome Arena(const TestDir& dir, const std::vector<std::string>& args) {
  const std::string out = (dir / "out.txt").string(), err = (dir / "err.txt").string();
  int status = 0;
  waitpid(Spawn(args, out, err), &status, 0);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadFile(out), ReadFile(err)};
}

struct Results {
  std::vector<nlohmann::json> lines;
  // (pairing, pair, seat) -> winner; how often each round appears.
  std::map<std::tuple<int, int, int>, int> winners;
  int repeats = 0;
  std::string end;
};

Results Load(const std::filesystem::path& file) {
  Results r;
  std::istringstream in(ReadFile(file));
  std::string line;
  while (std::getline(in, line)) {
    auto parsed = nlohmann::json::parse(line, nullptr, false);
    if (parsed.is_discarded()) continue;  // a line being written as we read
    r.lines.push_back(parsed);
    const auto& j = r.lines.back();
    if (j["type"] == "round") {
      const auto key =
          std::make_tuple(j["pairing"].get<int>(), j["pair"].get<int>(), j["seat"].get<int>());
      if (r.winners.count(key)) ++r.repeats;
      r.winners[key] = j["winner"].get<int>();
    }
    if (j["type"] == "end") r.end = j["reason"];
  }
  return r;
}

// The report from "Standings" on (the same for equal counts).
// The verdict's standings onwards, without the line that names the page.
std::string Standings(const std::string& out) {
  const size_t from = out.find("\nStandings");
  return out.substr(from, out.find("Report: ") - from);
}

TEST(ArenaRun, RoundRobinWithCrasher) {
  TestDir dir;
  const std::string out = (dir / "t").string();
  const Outcome r = Arena(dir, {"--out", out, "--pairs", "20", "--concurrency", "2", "--quiet",
                                "Tossel=" TOSSEL_SO, "starter=" STARTER_SO, "crasher=" CRASH40_SO});
  ASSERT_EQ(r.status, 0) << r.err << r.out;
  const Results res = Load(dir / "t/results.jsonl");
  EXPECT_EQ(res.end, "complete");
  EXPECT_EQ(res.winners.size(), 3u * 20 * 2);  // every round of the schedule, once
  EXPECT_EQ(res.repeats, 0);
  int faults = 0;
  for (const auto& j : res.lines)
    if (j["type"] == "fault") {
      EXPECT_EQ(j["player"], "crasher");
      EXPECT_EQ(j["kind"], "crash");
      ++faults;
    }
  EXPECT_GT(faults, 0);
  EXPECT_NE(r.out.find("Faults (" + std::to_string(faults) + ")"), std::string::npos) << r.out;
  // The standings list players by score: the starter first, Tossel next.
  const std::string table = Standings(r.out);
  EXPECT_LT(table.find("starter"), table.find("Tossel")) << table;
  EXPECT_NE(table.find("pairs 20:"), std::string::npos);
  EXPECT_NE(r.out.find("Rounds 120 of 120, pairs 60 of 60"), std::string::npos);
  EXPECT_NE(r.out.find("Report: " + out + "/report.html\n"), std::string::npos);
  EXPECT_TRUE(fs::exists(dir / "t/report.html")) << "the page is written at the end of a run";
  EXPECT_NE(ReadFile(dir / "t/report.html")
                .find("Bradley–Terry rating, Elo scale (0 = the field&#39;s mean)"),
            std::string::npos);
  // The page of the same run: the faults are on it.
  const Outcome page = Arena(dir, {"report", out});
  ASSERT_EQ(page.status, 0) << page.err;
  const std::string html = ReadFile(dir / "t/report.html");
  EXPECT_NE(html.find("crashed in PsGetTurn"), std::string::npos);
}

TEST(ArenaRun, ResumeAfterKill) {
  TestDir dir;
  const std::vector<std::string> common = {"--pairs",        "40", "--batch", "4",
                                           "--concurrency",  "2",  "--quiet", "S=" STARTER_SO,
                                           "L=" LAST_HOLE_SO};
  auto with = [&](std::vector<std::string> extra) {
    extra.insert(extra.end(), common.begin(), common.end());
    return extra;
  };
  const Outcome whole = Arena(dir, with({"--out", (dir / "whole").string()}));
  ASSERT_EQ(whole.status, 0) << whole.err;

  // Killed once a quarter of the rounds are in, then resumed.
  const auto file = dir / "cut/results.jsonl";
  const pid_t pid =
      Spawn(with({"--out", (dir / "cut").string()}), (dir / "o1").string(), (dir / "e1").string());
  for (int i = 0; i < 2000; ++i) {
    usleep(10000);
    if (fs::exists(file) && Load(file).winners.size() >= 20) break;
  }
  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
  const size_t before = Load(file).winners.size();
  EXPECT_GE(before, 20u);
  EXPECT_LT(before, 80u);
  // Without --resume the folder is not touched.
  EXPECT_EQ(Arena(dir, with({"--out", (dir / "cut").string()})).status, 64);
  const Outcome resumed = Arena(dir, with({"--out", (dir / "cut").string(), "--resume"}));
  ASSERT_EQ(resumed.status, 0) << resumed.err;
  const Results res = Load(file);
  EXPECT_EQ(res.repeats, 0);
  EXPECT_EQ(res.winners, Load(dir / "whole/results.jsonl").winners);
  EXPECT_EQ(Standings(resumed.out), Standings(whole.out));
}

// Ctrl-C: what was played is reported and recorded, the run ends with
// 130 and --resume finishes it.
TEST(ArenaRun, InterruptAndResume) {
  TestDir dir;
  const std::vector<std::string> args = {
      "--out",   (dir / "t").string(), "--pairs",        "40", "--batch", "4",
      "--quiet", "S=" STARTER_SO,      "L=" LAST_HOLE_SO};
  const auto file = dir / "t/results.jsonl";
  const pid_t pid = Spawn(args, (dir / "o1").string(), (dir / "e1").string());
  for (int i = 0; i < 2000; ++i) {
    usleep(10000);
    if (fs::exists(file) && Load(file).winners.size() >= 10) break;
  }
  kill(pid, SIGINT);
  int status = 0;
  waitpid(pid, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 130);
  const Results cut = Load(file);
  EXPECT_EQ(cut.end, "interrupted");
  EXPECT_NE(ReadFile(dir / "o1").find("(interrupted)"), std::string::npos);
  std::vector<std::string> again = args;
  again.push_back("--resume");
  ASSERT_EQ(Arena(dir, again).status, 0);
  const Results res = Load(file);
  EXPECT_EQ(res.end, "complete");
  EXPECT_EQ(res.repeats, 0);
  EXPECT_EQ(res.winners.size(), 80u);
}

TEST(ArenaRun, ShardsMerge) {
  TestDir dir;
  const std::vector<std::string> common = {
      "--pairs", "12", "--quiet", "S=" STARTER_SO, "L=" LAST_HOLE_SO, "T=" STARTER_SO};
  std::vector<std::string> all = {"--out", (dir / "all").string()};
  all.insert(all.end(), common.begin(), common.end());
  const Outcome whole = Arena(dir, all);
  ASSERT_EQ(whole.status, 0) << whole.err;
  std::vector<std::string> merge = {"merge"};
  for (int k = 1; k <= 4; ++k) {
    std::vector<std::string> args = {"--out", (dir / ("s" + std::to_string(k))).string(), "--shard",
                                     std::to_string(k) + "/4", "--no-report"};
    args.insert(args.end(), common.begin(), common.end());
    ASSERT_EQ(Arena(dir, args).status, 0);
    EXPECT_FALSE(fs::exists(args[1] + "/report.html"));
    merge.push_back(args[1]);
  }
  merge.insert(merge.begin() + 1, {"--out", (dir / "merged").string()});
  const Outcome merged = Arena(dir, merge);
  ASSERT_EQ(merged.status, 0) << merged.err;
  EXPECT_EQ(Standings(merged.out), Standings(whole.out));
  // The merged results file holds the unsharded run's rounds.
  const Results one = Load(dir / "merged/results.jsonl");
  EXPECT_EQ(one.winners, Load(dir / "all/results.jsonl").winners);
  EXPECT_EQ(one.end, "complete");
  merge.erase(merge.begin() + 1, merge.begin() + 3);
  merge.push_back(merge[1]);  // a shard twice
  EXPECT_EQ(Arena(dir, merge).status, 64);
}

TEST(ArenaRun, SprtStopsEarly) {
  TestDir dir;
  const Outcome r = Arena(
      dir, {"--out", (dir / "t").string(), "--pairs", "2000", "--batch", "10", "--quiet", "--sprt",
            "elo0=0,elo1=5,alpha=0.05,beta=0.05", "starter=" STARTER_SO, "Tossel=" TOSSEL_SO});
  ASSERT_EQ(r.status, 0) << r.err;
  const Results res = Load(dir / "t/results.jsonl");
  EXPECT_EQ(res.end, "sprt-h1");
  EXPECT_LT(res.winners.size(), 1000u);
  EXPECT_NE(r.out.find("H1 accepted"), std::string::npos) << r.out;
}

// One library with two parameters is two players: each referee run hands
// each seat its own parameter, and the results file and page keep them.
TEST(ArenaRun, ParametersMakeTwoPlayersOfOneLibrary) {
  TestDir dir;
  const Outcome r = Arena(dir, {"--out", (dir / "t").string(), "--pairs", "2", "--quiet", "--param",
                                "D3=3", "--param", "D4=-4", "D3=" STARTER_SO, "D4=" STARTER_SO});
  ASSERT_EQ(r.status, 0) << r.err;
  const Results res = Load(dir / "t/results.jsonl");
  EXPECT_EQ(res.lines[0]["settings"]["players"],
            nlohmann::json::parse(R"([{"label":"D3","file":")" STARTER_SO R"(","param":3},)"
                                  R"({"label":"D4","file":")" STARTER_SO R"(","param":-4}])"));
  for (const auto& [folder, params] :
       {std::pair{"p0-s0-k0-r1", "[3,-4]"}, {"p0-s1-k0-r1", "[-4,3]"}}) {
    std::istringstream record(ReadFile(dir / "t/matches" / folder / "match.jsonl"));
    std::string matchLine;
    std::getline(record, matchLine);
    EXPECT_EQ(nlohmann::json::parse(matchLine)["settings"]["params"], nlohmann::json::parse(params))
        << folder;
  }
  EXPECT_NE(ReadFile(dir / "t/report.html").find("starter_player.so, parameter -4"),
            std::string::npos);
  EXPECT_EQ(Arena(dir, {"--param", "X=1", "A=" TOSSEL_SO, "B=" TOSSEL_SO}).status, 64);
}

TEST(ArenaRun, Usage) {
  TestDir dir;
  EXPECT_EQ(Arena(dir, {"--bogus", TOSSEL_SO, TOSSEL_SO}).status, 64);
  // A misspelt option is named even when the players are missing too.
  const Outcome bogus = Arena(dir, {"--bogus"});
  EXPECT_EQ(bogus.status, 64);
  EXPECT_EQ(bogus.err, "pitsow-arena: The following argument was not expected: --bogus\n");
  EXPECT_EQ(Arena(dir, {TOSSEL_SO}).status, 64);
  EXPECT_EQ(Arena(dir, {"--sprt", "elo0=1", "A=" TOSSEL_SO, "B=" TOSSEL_SO, "C=" TOSSEL_SO}).status,
            64);
  const Outcome missing = Arena(dir, {"A=" TOSSEL_SO, "B=/nonexistent/B.so"});
  EXPECT_EQ(missing.status, 2);
  EXPECT_EQ(std::count(missing.err.begin(), missing.err.end(), '\n'), 1);
  const Outcome stats = Arena(dir, {"stats", "--wdl", "136,111,96"});
  EXPECT_EQ(stats.status, 0);
  EXPECT_NE(stats.out.find("Elo +40.70 +/- 30.43"), std::string::npos);
}

}  // namespace
