#include "referee_run.h"

#include <signal.h>
#include <sys/wait.h>

#include <cerrno>
#include <filesystem>
#include <fstream>

#include "child_process.h"
#include "clock.h"
#include "exit_status.h"
#include "fixed.h"
#include "watchdog.h"

namespace fs = std::filesystem;

RefereeRun::RefereeRun(Job j, std::string d, pid_t pid, double deadline)
    : job_(std::move(j)), dir_(std::move(d)), pid_(pid), deadline_(deadline) {}

RefereeRun::RefereeRun(RefereeRun&& other) noexcept { *this = std::move(other); }

RefereeRun& RefereeRun::operator=(RefereeRun&& other) noexcept {
  if (this == &other) return *this;
  Kill();
  job_ = std::move(other.job_);
  dir_ = std::move(other.dir_);
  offset_ = other.offset_;
  lines_ = other.lines_;
  received_ = other.received_;
  fault_ = std::move(other.fault_);
  faulted_ = other.faulted_;
  starved_ = other.starved_;
  pid_ = std::exchange(other.pid_, -1);
  status_ = other.status_;
  deadline_ = other.deadline_;
  return *this;
}

RefereeRun::~RefereeRun() { Kill(); }

int RefereeRun::LineRead(size_t bytes) {
  offset_ += static_cast<long>(bytes);
  return ++lines_;
}

std::optional<int> RefereeRun::ReceiveRound() {
  if (received_ >= job_.pairs.size() || starved_) return std::nullopt;
  return job_.pairs[received_++];
}

std::vector<int> RefereeRun::Unplayed() const {
  return std::vector<int>(job_.pairs.begin() + static_cast<long>(received_), job_.pairs.end());
}

namespace {

// SIGKILL to a process or (negative) a process group of ours. A failure
// is ESRCH, nothing left to kill, or EPERM, only processes that took
// another user, which die with the host that started them: either way
// there is nothing more to do here.
void KillAll(pid_t who) { [[maybe_unused]] const int refused = kill(who, SIGKILL); }

}  // namespace

bool RefereeRun::Poll() {
  if (Exited()) return false;
  int st = 0;
  if (waitpid(pid_, &st, WNOHANG) != pid_) return false;  // 0 still running; EINTR: next time
  status_ = WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
  KillAll(-pid_);  // any host left behind
  pid_ = -1;
  return true;
}

void RefereeRun::Kill() {
  if (Exited()) return;
  KillAll(-pid_);
  KillAll(pid_);
  int st = 0;
  while (waitpid(pid_, &st, 0) < 0 && errno == EINTR) {
  }
  KillAll(-pid_);
  pid_ = -1;
  status_ = -1;
}

double RunLimitOf(const RunSetup& setup, const Job& job) {
  return setup.run_limit_seconds > 0
             ? setup.run_limit_seconds
             : RunLimit(setup.settings, static_cast<long>(job.pairs.size()));
}

namespace {

// A new folder for the run, never one an earlier run of the job used.
Result<std::string> NewDir(const std::string& out_dir, const Job& job) {
  for (int n = 1;; ++n) {
    const std::string dir = "matches/p" + std::to_string(job.pairing) + "-s" +
                            std::to_string(job.seat) + "-k" + std::to_string(job.pairs[0]) + "-r" +
                            std::to_string(n);
    std::error_code ec;
    if (fs::create_directories(out_dir + "/" + dir, ec)) return dir;
    if (ec) return Error{"cannot create a match folder in " + out_dir, kExitIoError};
  }
}

// Writes the openings of the job's pairs, one line each; whether any
// opening has a move.
Result<bool> WriteOpenings(const TournamentSettings& s, const Job& job, const std::string& abs) {
  bool any_opening = false;
  std::ofstream o(abs + "/openings.txt");
  for (int k : job.pairs) {
    const std::vector<int> opening = OpeningOf(s, k);
    any_opening = any_opening || !opening.empty();
    for (size_t i = 0; i < opening.size(); ++i) o << (i ? " " : "") << opening[i];
    o << "\n";
  }
  if (!o) return Error{"cannot write " + abs + "/openings.txt", kExitIoError};
  return any_opening;
}

std::vector<std::string> RefereeArgs(const RunSetup& setup, const Job& job, bool any_opening) {
  const TournamentSettings& s = setup.settings;
  const auto [a, b] = setup.pairings[static_cast<size_t>(job.pairing)];
  const PlayerEntry& p1 = s.players[static_cast<size_t>(job.seat == 0 ? a : b)];
  const PlayerEntry& p2 = s.players[static_cast<size_t>(job.seat == 0 ? b : a)];
  std::vector<std::string> args = {setup.referee,
                                   "--player1=" + p1.file,
                                   "--player2=" + p2.file,
                                   "--isolate",
                                   "--forfeit",
                                   "--quiet",
                                   "--results=match.jsonl",
                                   "/R=" + std::to_string(job.pairs.size()),
                                   "/H=" + std::to_string(s.holes),
                                   "/B=" + std::to_string(s.bones),
                                   "/T=" + std::to_string(s.max_turns),
                                   "/L=01",
                                   "/L=10",
                                   "/L=20"};
  if (any_opening) args.push_back("--openings=openings.txt");
  if (s.move_time > 0) args.push_back("--move-time=" + Fixed(s.move_time, 6));
  if (s.memory_mb > 0) args.push_back("--memory=" + std::to_string(s.memory_mb));
  if (s.sandbox) args.push_back("--sandbox");
  for (const std::string& dir : s.python_path)
    if (s.sandbox) args.push_back("--python-path=" + dir);
  if (!s.time_control.empty()) args.push_back("--time-control=" + s.time_control);
  if (s.time_margin >= 0) args.push_back("--time-margin=" + Fixed(s.time_margin, 6));
  if (p1.param != 0) args.push_back("/P=1:" + std::to_string(p1.param));
  if (p2.param != 0) args.push_back("/P=2:" + std::to_string(p2.param));
  return args;
}

}  // namespace

Result<RefereeRun> StartRefereeRun(const RunSetup& setup, const Job& job) {
  const Result<std::string> dir = NewDir(setup.out_dir, job);
  if (!dir) return dir.error();
  const std::string abs = setup.out_dir + "/" + *dir;
  const Result<bool> any_opening = WriteOpenings(setup.settings, job, abs);
  if (!any_opening) return any_opening.error();
  ChildSetup child;
  child.folder = abs;
  child.stdout_file = "stdout.txt";
  child.stderr_file = "stderr.txt";
  child.own_group = true;
  child.die_with_parent = true;
  const Result<pid_t> pid = StartChild(RefereeArgs(setup, job, *any_opening), child);
  if (!pid) return Error{"fork: " + pid.error().text, kExitIoError};
  return RefereeRun(job, *dir, *pid, MonotonicSeconds() + RunLimitOf(setup, job));
}
