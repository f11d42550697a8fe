// Whole tournaments: pitsow-arena driving the referee over real player
// libraries, its results file and report read back.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
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

// The report from "Standings" on (the same for equal counts), without what
// the run saw of the machine, the verdict after it and the line that names
// the page.
std::string Standings(const std::string& out) {
  const size_t from = out.find("\nStandings");
  return out.substr(
      from, std::min({out.find("\nTime limits: "), out.find("\nVerdict: "), out.find("Report: ")}) -
                from);
}

TEST(ArenaRun, RoundRobinWithCrasher) {
  TestDir dir;
  const std::string out = (dir / "t").string();
  const Outcome r =
      Arena(dir, {"--out", out, "--pairs", "20", "--concurrency", "2", "--quiet", "--time-control",
                  "5+0.1", "Tossel=" TOSSEL_SO, "starter=" STARTER_SO, "crasher=" CRASH40_SO});
  ASSERT_EQ(r.status, 0) << r.err << r.out;
  const Results res = Load(dir / "t/results.jsonl");
  // The time control reaches the settings and the verdict, beside the machine seen.
  EXPECT_EQ(res.lines.front()["settings"]["time_control"], "5+0.1");
  EXPECT_EQ(res.lines[res.lines.size() - 2]["type"], "machine");
  EXPECT_NE(r.out.find("Time limits: time control 5+0.1\nMachine: "), std::string::npos);
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
  const std::string said = ReadFile(dir / "o1");
  EXPECT_EQ(said.substr(said.rfind('\n', said.size() - 2) + 1),
            "Resume with: pitsow-arena --resume " + (dir / "t").string() + "\n");
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
  // Two copies of one unsharded run: every round twice.
  fs::copy(dir / "all", dir / "copy", fs::copy_options::recursive);
  const Outcome twice = Arena(dir, {"merge", (dir / "all").string(), (dir / "copy").string()});
  EXPECT_EQ(twice.status, 64);
  EXPECT_NE(twice.err.find(" rounds appear in more than one folder"), std::string::npos)
      << twice.err;
}

// Without --pairs the test runs until it decides; the verdict names the
// pair and ratio of the crossing as the results file recorded them.
TEST(ArenaRun, SprtRunsUntilItDecides) {
  TestDir dir;
  const Outcome r = Arena(dir, {"--out", (dir / "t").string(), "--batch", "10", "--quiet", "--sprt",
                                "elo0=0,elo1=10", "Plus=" STARTER_PLUS_SO, "Starter=" STARTER_SO});
  ASSERT_EQ(r.status, 0) << r.err;
  const Results res = Load(dir / "t/results.jsonl");
  EXPECT_EQ(res.end, "sprt-h1");
  EXPECT_TRUE(res.lines[0]["settings"]["pairs"].is_null());
  EXPECT_EQ(res.lines[0]["settings"]["openings"]["depth"], 6);
  nlohmann::json crossing;
  for (const auto& j : res.lines)
    if (j["type"] == "sprt" && j.contains("decision")) crossing = j;
  ASSERT_TRUE(crossing.is_object());
  char line[200];
  std::snprintf(line, sizeof line, "  H1 accepted at pair %d (%d distinct), LLR %.3f\n",
                crossing["pairs"].get<int>(), crossing["distinct"].get<int>(),
                crossing["llr"].get<double>());
  EXPECT_NE(r.out.find(line), std::string::npos) << r.out;
  EXPECT_GE(crossing["llr"].get<double>(), 2.944);
}

// Players at fault in PsInit, in PsDone and hanging in PsGetTurn: every
// fault is theirs, each retired at its second fault with its unplayed
// rounds lost, the other pairings played out; the same after SIGKILL and
// a resume from the folder alone.
TEST(ArenaRun, FaultsInEveryCallAreThePlayers) {
  TestDir dir;
  auto args = [&](const std::string& out) {
    return std::vector<std::string>{"--out",
                                    out,
                                    "--pairs",
                                    "3",
                                    "--quiet",
                                    "--move-time",
                                    "0.3",
                                    "--max-faults",
                                    "2",
                                    "--concurrency",
                                    "1",
                                    "S=" STARTER_SO,
                                    "L=" LAST_HOLE_SO,
                                    "I=" INIT_CRASH_SO,
                                    "D=" DONE_CRASH_SO,
                                    "H=" HANG_SO};
  };
  const Outcome r = Arena(dir, args((dir / "t").string()));
  ASSERT_EQ(r.status, 0) << r.err << r.out;
  EXPECT_EQ(r.err, "");
  const Results res = Load(dir / "t/results.jsonl");
  EXPECT_EQ(res.end, "complete");
  EXPECT_EQ(res.winners.size(), 10u * 3 * 2);
  EXPECT_EQ(res.repeats, 0);
  std::multiset<std::string> faults;
  for (const auto& j : res.lines)
    if (j["type"] == "fault")
      faults.insert(j["player"].get<std::string>() + " " + j["kind"].get<std::string>());
  EXPECT_EQ(faults, (std::multiset<std::string>{"D crash", "D crash", "H timeout", "H timeout",
                                                "I crash", "I crash"}));
  const std::string table = Standings(r.out);
  // Retired at the second fault (not the third), every unplayed round of a
  // retired player lost by it. L's 19.5 of 24 is 81.25 %: halves round away
  // from zero, as in the referee's log.
  EXPECT_EQ(table.substr(0, table.find("\nCross-table")),
            "\nStandings\n"
            "player  rounds   wins  draws losses  score       Elo +/- 95%  faults\n"
            "S           24     21      1      2  89.6%    +373.8 +/- inf       0\n"
            "L           24     19      1      4  81.3%  +254.7 +/- 225.3       0\n"
            "H           24     12      0     12  50.0%    +0.0 +/- 147.2       2  retired\n"
            "D           24      7      0     17  29.2%  -154.1 +/- 172.5       2  retired\n"
            "I           24      0      0     24   0.0%      -inf +/- inf       2  retired\n")
      << table;
  EXPECT_NE(r.out.find("Retired: D after 2 faults"), std::string::npos) << r.out;

  // Killed once a third of the rounds are in, resumed with the folder only.
  const std::string cut = (dir / "cut").string();
  const pid_t pid = Spawn(args(cut), (dir / "o1").string(), (dir / "e1").string());
  for (int i = 0; i < 3000; ++i) {
    usleep(10000);
    if (fs::exists(cut + "/results.jsonl") && Load(cut + "/results.jsonl").winners.size() >= 20)
      break;
  }
  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
  const Outcome resumed = Arena(dir, {"--resume", cut, "--quiet"});
  ASSERT_EQ(resumed.status, 0) << resumed.err;
  const Results again = Load(cut + "/results.jsonl");
  EXPECT_EQ(again.end, "complete");
  EXPECT_EQ(again.repeats, 0);
  EXPECT_EQ(again.winners.size(), res.winners.size());
  // The pairing of the two sound players is played as in the whole run.
  for (const auto& [slot, winner] : res.winners)
    if (std::get<0>(slot) == 0) {
      EXPECT_EQ(again.winners.at(slot), winner);
    }
  // A setting given again must be the recorded one.
  const Outcome other = Arena(dir, {"--resume", cut, "--pairs", "5", "--max-faults", "2"});
  EXPECT_EQ(other.status, 64);
  EXPECT_EQ(other.err, "pitsow-arena: " + cut +
                           "/results.jsonl was written with other settings: --pairs 3 there, 5 "
                           "given\n");
}

// Hostile lines in a results file: report, merge and resume each give one
// error line naming the file and the line, status 3.
TEST(ArenaRun, HostileResultsLines) {
  TestDir dir;
  const std::string out = (dir / "t").string();
  ASSERT_EQ(
      Arena(dir, {"--out", out, "--pairs", "1", "--quiet", "S=" STARTER_SO, "L=" LAST_HOLE_SO})
          .status,
      0);
  const std::string good = ReadFile(dir / "t/results.jsonl");
  const std::string first = good.substr(0, good.find('\n') + 1);
  auto with_shard = [&](const std::string& shard) {
    std::string t = first;
    t.replace(t.find("\"shard\":null"), 12, "\"shard\":" + shard);
    return t;
  };
  const std::pair<std::string, std::string> cases[] = {
      {first + "{\"type\":5}\n", "line 2: \"type\" is not a text"},
      {first + "5\n", "line 2: not a JSON object"},
      {first + R"({"type":"round","pairing":"0","pair":0,"seat":0})"
               "\n",
       "line 2: \"pairing\" is not an integer from 0 to 2147483647"},
      {first +
           R"({"type":"fault","pairing":0,"pair":0,"seat":0,"player":"S","kind":"crash","round":null,"report":"","match":""})"
           "\n",
       "line 2: \"round\" is not an integer from 0 to 2147483647"},
      {with_shard("[]"), "line 1: settings: \"shard\" is not [K, N] with 1 <= K <= N"},
      {with_shard("[\"a\",2]"), "line 1: settings: \"shard\" is not [K, N] with 1 <= K <= N"},
  };
  for (const auto& [text, why] : cases) {
    WriteFile(dir / "t/results.jsonl", text);
    for (const std::vector<std::string>& command :
         {std::vector<std::string>{"report", out}, {"merge", out}, {"--resume", out, "--quiet"}}) {
      const Outcome bad = Arena(dir, command);
      EXPECT_EQ(bad.status, 3) << command[0] << " " << text;
      EXPECT_EQ(std::count(bad.err.begin(), bad.err.end(), '\n'), 1) << bad.err;
      EXPECT_NE(bad.err.find(out + "/results.jsonl, line"), std::string::npos) << bad.err;
      EXPECT_NE(bad.err.find(why), std::string::npos) << bad.err;
    }
  }
}

// A referee run that never ends is killed by the watchdog and charged to
// the referee.
TEST(ArenaRun, WatchdogKillsAStuckReferee) {
  TestDir dir;
  WriteFile(dir / "stuck.sh", "#!/bin/sh\nexec sleep 60\n");
  fs::permissions(dir / "stuck.sh", fs::perms::owner_all);
  const Outcome r = Arena(dir, {"--out", (dir / "t").string(), "--pairs", "1", "--quiet",
                                "--referee", (dir / "stuck.sh").string(), "--run-limit", "0.5",
                                "--max-faults", "2", "S=" STARTER_SO, "L=" LAST_HOLE_SO});
  EXPECT_EQ(r.status, 3);
  int lines = 0;
  for (const auto& j : Load(dir / "t/results.jsonl").lines) lines += j["type"] == "watchdog";
  EXPECT_EQ(lines, 2);
  EXPECT_NE(r.err.find("still running after 0.5 s: killed\n"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("pitsow-arena: the watchdog killed 2 referee runs: the referee is at fault"),
            std::string::npos)
      << r.err;
}

// The arena reads openings files with the referee's grammar and bounds.
TEST(ArenaRun, OpeningsFiles) {
  TestDir dir;
  const std::string file = (dir / "o.txt").string();
  const std::pair<std::string, std::string> cases[] = {
      {"1\n3\x01x\n", file + ", line 2: not a list of holes: 3?x"},
      {"1\n" + std::string(5000, '1') + "\n", file + ", line 2: longer than 4096 bytes"},
  };
  for (const auto& [text, why] : cases) {
    WriteFile(file, text);
    const Outcome r = Arena(dir, {"--out", (dir / "t").string(), "--openings", file, "--quiet",
                                  "S=" STARTER_SO, "L=" LAST_HOLE_SO});
    EXPECT_EQ(r.status, 64);
    EXPECT_EQ(r.err, "pitsow-arena: --openings: " + why + "\n");
  }
  fs::remove(file);
  ASSERT_EQ(mkfifo(file.c_str(), 0600), 0);
  const Outcome fifo = Arena(dir, {"--out", (dir / "t").string(), "--openings", file, "--quiet",
                                   "S=" STARTER_SO, "L=" LAST_HOLE_SO});
  EXPECT_EQ(fifo.err,
            "pitsow-arena: --openings: the openings file " + file + " is not a regular file\n");
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
  const Outcome crowded = Arena(dir, {"--concurrency", "4096", TOSSEL_SO, TOSSEL_SO});
  EXPECT_EQ(crowded.status, 64);
  EXPECT_NE(crowded.err.find("cores: matches would wait for a CPU; add --force"),
            std::string::npos);
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
