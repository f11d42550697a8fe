// Sandboxed matches against a player that attacks everything it can reach,
// judged by outcome: the attack does nothing (the match equals the one
// without it) or the attacker alone is faulted; no process outlives the
// match, no file outside the attacker's folder changes, nothing connects
// to a socket the test listens on, and the record agrees with the log.
#include <netinet/in.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/syscall.h>

#include <nlohmann/json.hpp>

#include "match_runner.h"

namespace {

struct Attack {
  int number;
  std::string name;
  std::string report;       // the attacker's fault, a pattern; empty: the attack has no effect
  bool or_nothing = false;  // the fault, or no effect at all
};

// Hosts left by a referee come to this process, which reaps them.
bool NoProcessLeft() {
  static const bool subreaper = prctl(PR_SET_CHILD_SUBREAPER, 1) == 0;
  for (int tries = 0; subreaper && tries < 200; ++tries) {
    if (waitpid(-1, nullptr, WNOHANG) < 0) return true;
    usleep(10000);
  }
  return !subreaper;
}

// A TCP socket listening on 127.0.0.1, not blocking.
struct Listener {
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
  int port = 0;
  Listener() {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof a;
    bind(fd, reinterpret_cast<sockaddr*>(&a), size);
    listen(fd, 4);
    getsockname(fd, reinterpret_cast<sockaddr*>(&a), &size);
    port = ntohs(a.sin_port);
  }
  ~Listener() { close(fd); }
  bool Contacted() const { return accept(fd, nullptr, nullptr) >= 0; }
};

// The last-hole player against the hostile one as player 2, sandboxed, in
// folders an unprivileged player may pass through.
Result PlayAttack(Arena& a, int param) {
  a.env = {"CONTEST_SECRET=the-answer"};
  fs::permissions(a.dir.path, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                  fs::perms::others_read | fs::perms::others_exec);
  return a.Play({"--sandbox", "/R=4", "/P=2:" + std::to_string(param), "--results=r.jsonl",
                 "--move-time=0.05", "--call-time=0.2", "--quiet"});
}

// The files the match leaves outside the attacker's folder, by name, with
// the log's times and the attacker's parameter masked.
std::map<std::string, std::string> FilesOutside(const Arena& a) {
  static const std::regex param("Params: 0, [0-9]+");
  std::map<std::string, std::string> files;
  for (const auto& e : fs::recursive_directory_iterator(a.dir.path)) {
    const std::string name = e.path().lexically_relative(a.dir.path).string();
    if (!e.is_regular_file() || name.rfind("run/player2", 0) == 0 || name.rfind("std", 0) == 0)
      continue;
    files[name] = name == "run/PsLog.txt"
                      ? std::regex_replace(MaskTimes(ReadFile(e.path())), param, "Params: 0, N")
                      : "";
  }
  return files;
}

class Sandboxed : public testing::TestWithParam<Attack> {};

TEST_P(Sandboxed, TheAttackerAloneIsFaultedOrNothingHappens) {
  ASSERT_TRUE(NoProcessLeft());
  const Attack& c = GetParam();
  static Arena honest(LAST_HOLE_SO, HOSTILE_SO);
  static const Result baseline = PlayAttack(honest, 0);
  // Where the kernel refuses a sandbox the referee says what is missing.
  if (baseline.status == 2 && baseline.err.find("sandbox: ") != std::string::npos)
    GTEST_SKIP() << "no sandbox on this machine: " << baseline.err;
  ASSERT_EQ(baseline.status, 0) << baseline.err;
  Listener listener;
  Arena a(LAST_HOLE_SO, HOSTILE_SO);
  const Result r = PlayAttack(a, listener.port * 100 + c.number);
  EXPECT_TRUE(NoProcessLeft());
  EXPECT_FALSE(listener.Contacted());
  EXPECT_FALSE(fs::exists("/dev/shm/hostile"));
  const std::vector<std::string> record = Lines(a.File("r.jsonl"));
  if (c.report.empty() || (c.or_nothing && r.status == 0)) {
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(MaskTimes(r.out), MaskTimes(baseline.out));  // the same tally and scores
    EXPECT_EQ(FilesOutside(a), FilesOutside(honest));
  } else {
    EXPECT_EQ(r.status, 4);
    EXPECT_TRUE(std::regex_match(r.err, std::regex(c.report + "\n"))) << r.err;
    nlohmann::json fault;
    for (const std::string& line : record)
      if (line.find("\"type\":\"fault\"") != std::string::npos) fault = nlohmann::json::parse(line);
    EXPECT_EQ(fault["player"], 2) << fault;
    EXPECT_EQ(fault["report"].get<std::string>() + "\n", r.err);
    EXPECT_EQ(Count(a.File("PsLog.txt"), fault["report"].get<std::string>()), 1u);
  }
  // The record agrees with the log: a round line for each ROUND line, nothing forged.
  EXPECT_EQ(Count(a.File("r.jsonl"), "\"type\":\"round\""), Count(a.File("PsLog.txt"), "ROUND"));
  EXPECT_EQ(Count(a.File("r.jsonl") + a.File("PsLog.txt"), "forged"), 0u);
}

const std::string kFault = R"(pitsow: player 2 \(PsPlayer2.so\) )";
const std::string kTurn1 = kFault + "crashed in PsGetTurn, round 0, turn 1: ";

INSTANTIATE_TEST_SUITE_P(
    Attacks, Sandboxed,
    testing::Values(
        Attack{1, "fork",
               kFault + "crashed in PsGetTurn, round 0, turn 1: refused system call clone"},
        Attack{2, "signal_the_referee", ""}, Attack{3, "forge_the_log_and_record", ""},
        Attack{4, "network",
               kFault + "crashed in PsGetTurn, round 0, turn 1: refused system call socket"},
        Attack{5, "memory_file",
               kFault + "crashed in PsGetTurn, round 0, turn 1: refused system call memfd_create"},
        Attack{
            6, "read_the_referees_memory",
            kFault + "crashed in PsGetTurn, round 0, turn 1: refused system call process_vm_readv"},
        Attack{7, "write_the_referees_descriptors", ""},
        Attack{8, "renice_the_referee",
               kFault + "crashed in PsGetTurn, round 0, turn 1: refused system call setpriority"},
        // Its CPU is charged to its own next call: on a busy machine that
        // call may go past its limit.
        Attack{9, "busy_thread", kFault + "exceeded the (call|move) time of .*", true},
        Attack{10, "ptrace",
               kFault + "crashed in PsGetTurn, round 0, turn 1: refused system call ptrace"},
        Attack{11, "shared_memory_file", ""}, Attack{12, "own_folder", ""},
        Attack{13, "read_a_secret", ""},
        Attack{
            14, "chmod_the_log",
            kFault + "crashed in PsGetTurn, round 0, turn 1: refused system call (chmod|fchmodat)"},
        Attack{15, "think_in_PsOppTurn",
               kFault + "exceeded the move time of 0.050 s in PsOppTurn, round 0, turn 0: .*"},
        // Held between its calls, its threads spin only in its own calls.
        Attack{16, "spinning_threads", kFault + "exceeded the (call|move) time of .*", true},
        Attack{17, "renice_the_group", kTurn1 + "refused system call setpriority"},
        Attack{18, "ioprio_of_the_group", kTurn1 + "refused system call ioprio_set"},
        Attack{19, "renice_the_user", kTurn1 + "refused system call setpriority"},
        // Within its limits; on a busy machine the work itself may take
        // the attacker past its move time.
        Attack{20, "thread_bomb", kFault + "exceeded the (call|move) time of .*", true},
        Attack{21, "fill_its_disk", kFault + "exceeded the (call|move) time of .*", true},
        Attack{22, "output_past_its_limit", kTurn1 + "File size limit exceeded"},
        Attack{23, "inotify", kTurn1 + "refused system call inotify_init1"},
        Attack{25, "read_the_referees_environment", ""},
        Attack{26, "read_another_processs_proc", ""},
        Attack{27, "raw_fork", kTurn1 + "refused system call fork"},
        Attack{28, "own_sigsys_handler", kTurn1 + "refused system call rt_sigaction"},
        Attack{29, "other_players_libraries", ""}, Attack{30, "the_machines_sockets", ""},
        Attack{31, "memory_hog", kFault + ".*"}),
    [](const testing::TestParamInfo<Attack>& p) { return p.param.name; });

// A host that gives up its parent-death signal and takes a session of its
// own, then waits in its call: when the referee is killed, nothing of the
// room outlives it.
TEST(Room, NoHostOutlivesAKilledReferee) {
  ASSERT_TRUE(NoProcessLeft());
  Arena a(LAST_HOLE_SO, HOSTILE_SO);
  fs::permissions(a.dir.path,
                  fs::perms::owner_all | fs::perms::others_read | fs::perms::others_exec);
  const pid_t referee = a.Start({"--sandbox", "/R=1", "/P=2:24", "--move-time=20", "--quiet"});
  // The attack has run once the host sleeps in its call.
  bool waiting = false;
  for (int tries = 0; !waiting && tries < 1000; ++tries) {
    usleep(10000);
    for (const auto& e : fs::directory_iterator("/proc")) {
      if (ReadFile(e.path() / "comm") != "pitsow-host-2\n") continue;
      waiting =
          ReadFile(e.path() / "syscall").rfind(std::to_string(SYS_clock_nanosleep) + " ", 0) == 0;
    }
  }
  EXPECT_TRUE(waiting);
  kill(referee, SIGKILL);
  a.Wait(referee, false);
  EXPECT_TRUE(NoProcessLeft());
}

// A descriptor the referee was started with and does not know of (opened
// without close-on-exec by whoever started it) never reaches the player:
// the sandboxed host closes everything but its channel.
TEST(Room, APlayerWritesToNoDescriptorTheRefereeInherited) {
  Arena a(LAST_HOLE_SO, HOSTILE_SO);
  const fs::path leak = a.dir.path / "inherited.txt";
  const int fd = open(leak.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  ASSERT_GE(fd, 0);
  const Result r = PlayAttack(a, 32);
  close(fd);
  if (r.status == 2 && r.err.find("sandbox: ") != std::string::npos)
    GTEST_SKIP() << "no sandbox on this machine: " << r.err;
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(ReadFile(leak), "");
}

// A Python player sees its module and the folders the organiser names,
// nothing else of its own folder: an import from a folder beside it fails
// until --python-path names that folder.
TEST(Room, APythonPlayerImportsOnlyFromTheFoldersNamed) {
  Arena a(LAST_HOLE_SO, "");
  fs::copy_file(PYTHON_SHIM, a.Bin() / "pitsow-python.so");
  fs::create_directories(a.dir / "lib");
  WriteFile(a.dir / "lib" / "helper_module.py", "X = 1\n");
  WriteFile(a.dir / "lib" / "player.py", "import helper_module\n" + ReadFile(PYTHON_PLAYER_PY));
  fs::permissions(a.dir.path,
                  fs::perms::owner_all | fs::perms::others_read | fs::perms::others_exec);
  const std::string player = "--player2=" + (a.dir / "lib" / "player.py").string();
  const Result alone = a.Play({"--sandbox", player, "/R=1", "--quiet"});
  EXPECT_EQ(alone.status, 2) << alone.err;
  EXPECT_NE(alone.err.find("No module named 'helper_module'"), std::string::npos) << alone.err;
  const std::string path = "--python-path=" + (a.dir / "lib").string();
  const Result named = a.Play({"--sandbox", player, path, "/R=1", "--quiet"});
  EXPECT_EQ(named.status, 0) << named.err;
}

}  // namespace
