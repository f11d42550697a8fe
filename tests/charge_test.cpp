// Who is charged: a player that forges the referee's words through its
// host's channel (a crash note, a load failure) or takes the CPU from its
// opponent is charged itself, and nothing it wrote reaches stderr, the
// log, the record or the console as the referee's; a tournament with such
// players among honest ones plays the honest pairings as it would without
// them, and retires the attackers.
#include <sys/mount.h>

#include <nlohmann/json.hpp>

#include "match_runner.h"

namespace {

using json = nlohmann::json;

std::vector<json> Record(const Arena& a) {
  std::vector<json> lines;
  for (const std::string& line : Lines(a.File("r.jsonl"))) lines.push_back(json::parse(line));
  return lines;
}

// No byte of text is a control byte (C0, DEL or C1) but the line ends.
bool Printable(const std::string& text) {
  for (const char c : text) {
    const auto b = static_cast<unsigned char>(c);
    if ((b < 0x20 && c != '\n' && c != '\r') || b == 0x7f || (b >= 0x80 && b <= 0x9f)) return false;
  }
  return true;
}

// A crash whose host's note is the player's forgery: the referee names
// the signal it saw itself, the note reaches nothing it writes.
TEST(Charge, AForgedCrashNoteIsNeverTheReferees) {
  for (const auto& [param, signal] :
       {std::pair{"1", "Segmentation fault"}, std::pair{"2", "Bad system call"}}) {
    Arena a(LAST_HOLE_SO, FORGER_SO);
    a.env.push_back(kPlainSignals);
    const Result r =
        a.Play({"--isolate", "/R=2", std::string("/P=2:") + param, "--results=r.jsonl"});
    EXPECT_EQ(r.status, 4) << r.err;
    EXPECT_EQ(r.err, std::string("pitsow: player 2 (PsPlayer2.so) crashed in PsGetTurn, round 0, "
                                 "turn 1: ") +
                         signal + "\n");
    const std::string all = r.out + r.err + a.File("PsLog.txt") + a.File("r.jsonl");
    EXPECT_EQ(Count(all, "forged"), 0u);
    EXPECT_TRUE(Printable(a.File("PsLog.txt")));
    json fault;
    for (const json& line : Record(a))
      if (line["type"] == "fault") fault = line;
    EXPECT_EQ(fault["player"], 2);
    EXPECT_EQ(fault["report"].get<std::string>() + "\n", r.err);
    EXPECT_EQ(Record(a).back()["charged"], 2);
  }
}

// C0 and C1 control bytes in a player's texts are shown as '?' on the
// console and in the log; other 8-bit bytes stay.
TEST(Charge, ControlBytesInPlayerTextsAreShownAsQuestionMarks) {
  Arena a(LAST_HOLE_SO, FORGER_SO);
  const Result r = a.Play({"--isolate", "/R=1", "/P=2:5"});
  ASSERT_EQ(r.status, 0) << r.err;
  for (const std::string& text : {r.out, a.File("PsLog.txt")}) {
    EXPECT_NE(text.find("Player 2 name        <n?[2J?31m?>\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("Player 2 creator     <c??Player 1 Init TRUE>\r\n"), std::string::npos);
    EXPECT_NE(text.find("Player 2 description <d\xe9t?ok>\r\n"), std::string::npos);
  }
}

// A constructor that writes a failed load into the channel, or ends its
// host: the referee says which library and player in its own words, the
// host's text quoted on the same line, and the record charges that player.
TEST(Charge, AFailedLoadIsChargedToThePlayerWhoseHostFailed) {
  const std::string forged =
      R"("cannot load player library /arena/victim.so: forged: the OPPONENT is broken???[2K?2Kpitsow: )"
      R"(player 1 (PsPlayer1.so) is broken: forged??")";
  for (const int n : {1, 2})
    for (const auto& [library, what] :
         {std::pair{LOAD_FORGER_SO, "its host reported " + forged},
          std::pair{EXIT_FORGER_SO, std::string("its host ended with status 3 in loading")}}) {
      Arena a(n == 1 ? library : LAST_HOLE_SO, n == 1 ? LAST_HOLE_SO : library);
      const Result r = a.Play({"--isolate", "/R=2", "--results=r.jsonl"});
      EXPECT_EQ(r.status, 2) << r.err;
      const std::string file = (a.Bin() / ("PsPlayer" + std::to_string(n) + ".so")).string();
      EXPECT_EQ(r.err, "pitsow: cannot load player library " + file + " for player " +
                           std::to_string(n) + ": " + what + "\n");
      EXPECT_TRUE(Printable(r.err));
      EXPECT_FALSE(a.Exists("PsLog.txt")) << "nothing was started";
      const std::vector<json> record = Record(a);
      ASSERT_EQ(record.size(), 3u);
      EXPECT_EQ(record[0]["type"], "match");
      EXPECT_EQ(record[1]["player"], n);
      EXPECT_EQ(record[1]["call"], "load");
      EXPECT_EQ(record[1]["report"].get<std::string>() + "\n", r.err);
      EXPECT_EQ(record[2]["status"], 2);
      EXPECT_EQ(record[2]["charged"], n);
    }
}

// Player 1 leaves a thread spinning between its calls, player 2 sleeps in
// its move until the backstop: both faults are recorded, player 1's first
// and charged, player 2's after it and not charged.
TEST(Charge, CpuUsedBetweenCallsIsChargedBeforeTheOpponentsBackstop) {
  Arena a(FORGER_SO, FORGER_SO);
  const Result r =
      a.Play({"--isolate", "/R=2", "/P=1:3", "/P=2:4", "--move-time=0.05", "--results=r.jsonl"});
  EXPECT_EQ(r.status, 4) << r.err;
  const std::vector<std::string> err = Lines(r.err);
  ASSERT_EQ(err.size(), 2u) << r.err;
  EXPECT_TRUE(std::regex_match(
      err[0], std::regex(R"(pitsow: player 1 \(PsPlayer1.so\) used the CPU between its calls, )"
                         R"(during player 2's PsGetTurn: used [0-9.]+ s of CPU in [0-9.]+ s)")))
      << err[0];
  EXPECT_TRUE(std::regex_match(
      err[1], std::regex(R"(pitsow: player 2 \(PsPlayer2.so\) exceeded the move time of 0.050 s )"
                         R"(in PsGetTurn, round 0, turn 1: blocked for [0-9.]+ s )"
                         R"(\(not charged: player 1 used the CPU\))")))
      << err[1];
  const std::vector<json> record = Record(a);
  std::vector<json> faults;
  for (const json& line : record)
    if (line["type"] == "fault") faults.push_back(line);
  ASSERT_EQ(faults.size(), 2u);
  EXPECT_EQ(faults[0]["player"], 1);
  EXPECT_EQ(faults[0]["call"], "idle");
  EXPECT_FALSE(faults[0].contains("charged"));
  EXPECT_EQ(faults[1]["player"], 2);
  EXPECT_EQ(faults[1]["charged"], false);
  EXPECT_EQ(record.back()["charged"], 1);
  // The round goes to the player that was not charged; both lines in the log.
  EXPECT_EQ(record[record.size() - 2]["winner"], 2);
  EXPECT_EQ(Count(a.File("PsLog.txt"), "pitsow: player "), 2u);
}

// pitsow-arena with its output in out.txt and err.txt of dir.
Result Tournament(const TestDir& dir, std::vector<std::string> args) {
  const pid_t pid = fork();
  if (pid == 0) {
    const int o = open((dir / "out.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int e = open((dir / "err.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (o < 0 || e < 0 || dup2(o, 1) < 0 || dup2(e, 2) < 0) _exit(121);
    args.insert(args.begin(), ARENA_EXE);
    std::vector<char*> argv;
    for (std::string& s : args) argv.push_back(s.data());
    argv.push_back(nullptr);
    execv(ARENA_EXE, argv.data());
    _exit(122);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadFile(dir / "out.txt"),
          ReadFile(dir / "err.txt")};
}

// The winner of every round of the honest players' pairing, by the seat
// and pair (player 1 and player 2 by label), and the retired players.
struct Books {
  std::map<std::tuple<std::string, std::string, int>, int> honest;
  std::set<std::string> retired;
  std::string end;
};

Books ReadBooks(const fs::path& file) {
  Books b;
  for (const std::string& line : Lines(ReadFile(file))) {
    const json j = json::parse(line);
    if (j["type"] == "round" &&
        std::string("FXD").find(j["player1"].get<std::string>()) == std::string::npos &&
        std::string("FXD").find(j["player2"].get<std::string>()) == std::string::npos)
      b.honest[{j["player1"], j["player2"], j["pair"].get<int>()}] = j["winner"].get<int>();
    if (j["type"] == "retired") b.retired.insert(j["player"].get<std::string>());
    if (j["type"] == "end") b.end = j["reason"];
  }
  return b;
}

// A load-forging player and a player whose host fails to load, among two
// honest ones, two referee runs at once: the tournament ends with status
// 0, every honest round as in the tournament without them, both attackers
// retired at their second fault.
TEST(Charge, ATournamentGoesOnPastPlayersWhoseHostsFail) {
  TestDir dir;
  const std::vector<std::string> common = {
      "--pairs",      "3", "--quiet",       "--concurrency",  "2",
      "--max-faults", "2", "S=" STARTER_SO, "L=" LAST_HOLE_SO};
  std::vector<std::string> honest = {"--out", (dir / "honest").string()};
  honest.insert(honest.end(), common.begin(), common.end());
  const Result without = Tournament(dir, honest);
  ASSERT_EQ(without.status, 0) << without.err;
  std::vector<std::string> attacked = {"--out", (dir / "attacked").string(), "F=" LOAD_FORGER_SO,
                                       "X=" EXIT_FORGER_SO};
  attacked.insert(attacked.end(), common.begin(), common.end());
  const Result with = Tournament(dir, attacked);
  ASSERT_EQ(with.status, 0) << with.err << with.out;
  EXPECT_EQ(with.err, "");
  const Books a = ReadBooks(dir / "attacked/results.jsonl");
  const Books h = ReadBooks(dir / "honest/results.jsonl");
  EXPECT_EQ(a.end, "complete");
  EXPECT_EQ(a.honest, h.honest);
  EXPECT_EQ(a.honest.size(), 3u * 2);
  EXPECT_EQ(a.retired, (std::set<std::string>{"F", "X"}));
  EXPECT_NE(with.out.find("Retired: "), std::string::npos) << with.out;
}

// A sandboxed player that tries to fill the disk of the tournament (a
// 100 MiB tmpfs holding it) fills only its room's own bounded tmpfs and
// its output's size limit: it alone is charged, the tournament goes on
// and retires it. As root only (the tmpfs).
TEST(Charge, APlayerThatFillsTheDiskIsChargedAndTheTournamentGoesOn) {
  TestDir dir;
  fs::create_directories(dir / "disk");
  if (mount("tmpfs", (dir / "disk").c_str(), "tmpfs", 0, "size=100m") != 0)
    GTEST_SKIP() << "cannot mount a tmpfs: " << strerror(errno);
  const std::vector<std::string> common = {
      "--pairs",   "2",  "--quiet",       "--max-faults",   "2",
      "--sandbox", "on", "S=" STARTER_SO, "L=" LAST_HOLE_SO};
  std::vector<std::string> honest = {"--out", (dir / "honest").string()};
  honest.insert(honest.end(), common.begin(), common.end());
  std::vector<std::string> attacked = {"--out", (dir / "disk/t").string(), "--param", "D=6",
                                       "D=" FORGER_SO};
  attacked.insert(attacked.end(), common.begin(), common.end());
  const Result without = Tournament(dir, honest);
  const Result with = Tournament(dir, attacked);
  const Books a = ReadBooks(dir / "disk/t/results.jsonl");
  umount2((dir / "disk").c_str(), MNT_DETACH);
  if (without.status == 2 && without.err.find("sandbox") != std::string::npos)
    GTEST_SKIP() << "no sandbox on this machine: " << without.err;
  ASSERT_EQ(without.status, 0) << without.err;
  ASSERT_EQ(with.status, 0) << with.err << with.out;
  EXPECT_EQ(a.end, "complete");
  EXPECT_EQ(a.honest, ReadBooks(dir / "honest/results.jsonl").honest);
  EXPECT_EQ(a.retired, (std::set<std::string>{"D"}));
}

}  // namespace
