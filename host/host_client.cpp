#include "host_client.h"

#include <errno.h>
#include <signal.h>
#include <spawn.h>
#include <string.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "channel.h"
#include "sandbox.h"

extern char** environ;

namespace {

// How often a waiting client looks whether the host is still alive, when
// the host could not say so itself (SIGKILL from outside, _exit).
constexpr double kLifeCheckSeconds = 0.01;
// How long a host may take to end after a quit request or a fatal signal
// before it is killed.
constexpr double kEndGraceSeconds = 1.0;
// The shortest sleep between two looks at a call's CPU time.
constexpr double kLeastSlice = 0.0005;

double Now() { return WallSeconds(); }

timespec Span(double seconds) {
  if (seconds < 0) seconds = 0;
  timespec ts{};
  ts.tv_sec = static_cast<time_t>(seconds);
  ts.tv_nsec = static_cast<long>((seconds - static_cast<double>(ts.tv_sec)) * 1e9);
  return ts;
}

const char* CallName(int call) {
  switch (call) {
    case PS_CALL_LOAD:
      return "loading";
    case PS_CALL_INIT:
      return "PsInit";
    case PS_CALL_GET_TURN:
      return "PsGetTurn";
    case PS_CALL_OPP_TURN:
      return "PsOppTurn";
    case PS_CALL_END_ROUND:
      return "PsEndRound";
    case PS_CALL_DONE:
      return "PsDone";
    default:
      return "an unknown call";
  }
}

std::string SignalText(int sig) {
  const char* abbrev = sigabbrev_np(sig);
  return abbrev != nullptr ? std::string("SIG") + abbrev : "signal " + std::to_string(sig);
}

std::string Seconds(double s) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.3f", s);
  return buf;
}

// Reaps pid, waiting up to grace seconds for it to end by itself, then
// kills it. Returns the wait status, or -1 when there was nothing to reap.
int Reap(pid_t pid, double grace) {
  const double deadline = Now() + grace;
  long pauseNs = 100000;
  int status = 0;
  for (;;) {
    const pid_t r = waitpid(pid, &status, WNOHANG);
    if (r == pid) return status;
    if (r < 0 && errno != EINTR) return -1;
    if (Now() >= deadline) break;
    const timespec ts{0, pauseNs};
    nanosleep(&ts, nullptr);
    if (pauseNs < 10000000) pauseNs *= 2;
  }
  kill(pid, SIGKILL);
  for (;;) {
    const pid_t r = waitpid(pid, &status, 0);
    if (r == pid) return status;
    if (r < 0 && errno != EINTR) return -1;
  }
}

// What the reaped host's end means, with its own note where it left one.
HostFault Classify(const PsChannel* ch, int status, int call) {
  HostFault f;
  const std::string where = std::string(" in ") + CallName(call);
  if (status != -1 && WIFEXITED(status)) {
    f.kind = HostFault::Kind::Exited;
    f.status = WEXITSTATUS(status);
    f.detail = "ended with status " + std::to_string(f.status) + where;
    return f;
  }
  f.kind = HostFault::Kind::Crashed;
  f.signal = status != -1 && WIFSIGNALED(status) ? WTERMSIG(status) : 0;
  const bool noted = ch->fault_kind != PS_FAULT_NONE && ch->fault_kind != PS_FAULT_EXIT &&
                     ch->fault_signal == f.signal;
  if (!noted) {
    f.detail =
        (f.signal != 0 ? "killed by " + SignalText(f.signal) : std::string("vanished")) + where;
    return f;
  }
  switch (ch->fault_kind) {
    case PS_FAULT_OUT_OF_MEMORY:
      f.kind = HostFault::Kind::OutOfMemory;
      break;
    case PS_FAULT_PAST_RECORD:
      f.kind = HostFault::Kind::WrotePastRecord;
      break;
    case PS_FAULT_PAST_ROWS:
      f.kind = HostFault::Kind::WrotePastRows;
      break;
    default:
      break;
  }
  f.detail = std::string(ch->text, strnlen(ch->text, sizeof ch->text)) + where;
  return f;
}

std::optional<HostFault> Fail(HostedPlayer& hp, HostFault f) {
  hp.fault = f;
  hp.pid = -1;
  return f;
}

// The CPU limit of a call: the limit of its kind, or the player's budget
// where that is less.
struct Cap {
  bool limited = false;
  double seconds = 0;
  bool budget = false;
};

Cap CapOf(const HostedPlayer& hp, double limit) {
  Cap c;
  if (limit > 0) c = {true, limit, false};
  if (hp.budget && (!c.limited || *hp.budget < c.seconds)) c = {true, *hp.budget, true};
  return c;
}

// The CPU used since the mark; without a CPU clock, the call's wall time.
double Used(const HostedPlayer& hp, double start, double now) {
  return hp.clock.open ? ReadCpuClock(hp.clock) - hp.clock.cpu_mark : now - start;
}

// The most CPU that can have been used since the mark, without reading.
double MostUsed(const HostedPlayer& hp, double start, double now) {
  return hp.clock.open ? CpuBound(hp.clock, now) : now - start;
}

// Stops a player that ran past its limit, in CPU or, blocked, in wall time.
std::optional<HostFault> Overrun(HostedPlayer& hp, int call, const Cap& cap, double cpu,
                                 double wall, bool blocked) {
  kill(hp.pid, SIGKILL);
  Reap(hp.pid, 0);
  HostFault f;
  f.kind = HostFault::Kind::Timeout;
  f.limit_seconds = cap.seconds;
  f.cpu_seconds = cpu;
  f.wall_seconds = wall;
  f.blocked = blocked;
  f.over_budget = cap.budget;
  f.detail = (blocked ? "blocked for " + Seconds(wall) + " s"
                      : "used " + Seconds(cpu) + " s of CPU in " + Seconds(wall) + " s") +
             " in " + CallName(call) + ", limit " + Seconds(cap.seconds) + " s";
  hp.last = {cpu, wall};
  return Fail(hp, f);
}

// The answer is in: the call's cost, read from the CPU clock unless the
// call cannot have used more than half the margin since the last reading.
std::optional<HostFault> Settle(HostedPlayer& hp, int call, const Cap& cap, double start) {
  const double now = WallSeconds();
  hp.last = {0, now - start};
  const double margin = hp.limits.margin_seconds;
  if (!hp.exact && hp.clock.open && CpuBound(hp.clock, now) <= margin / 2) return std::nullopt;
  const double cpu = hp.clock.open ? ReadCpuClock(hp.clock) : hp.clock.cpu_mark + hp.last.wall;
  hp.last.cpu = cpu - hp.clock.cpu_mark;
  hp.clock.cpu_mark = cpu;
  hp.clock.wall_mark = now;
  if (cap.limited && hp.last.cpu > cap.seconds + margin)
    return Overrun(hp, call, cap, hp.last.cpu, hp.last.wall, false);
  return std::nullopt;
}

// Waits for the answer to the request in flight (sent at wall time
// start): spins, then sleeps in slices, looking after each whether the
// host still lives and, when the call has a limit, whether the CPU it may
// have used could be past it (then reading the clock) or the wall-clock
// backstop has passed.
std::optional<HostFault> Await(HostedPlayer& hp, int call, double limit, double start) {
  PsChannel* ch = hp.channel;
  const Cap cap = CapOf(hp, limit);
  const double allowed = cap.seconds + hp.limits.margin_seconds;
  const double backstop = BackstopSeconds(cap.seconds);
  uint32_t s = PsWaitBriefly(ch, PS_CH_REQUEST, &ch->client_waiter);
  while (s == PS_CH_REQUEST) {
    double slice = kLifeCheckSeconds;
    if (cap.limited) {
      const double now = WallSeconds();
      const double wall = now - start;
      if (wall >= backstop) return Overrun(hp, call, cap, Used(hp, start, now), wall, true);
      double room = allowed - MostUsed(hp, start, now);
      if (room <= 0) {
        const double used = Used(hp, start, now);
        if (used > allowed) return Overrun(hp, call, cap, used, wall, false);
        room = allowed - used;
      }
      slice = std::min({slice, std::max(room / hp.clock.cpus, kLeastSlice), backstop - wall});
    }
    const timespec ts = Span(slice);
    s = PsSleepWhile(ch, PS_CH_REQUEST, &ch->client_sleeping, &ts);
    if (s != PS_CH_REQUEST) break;
    int status = 0;
    if (waitpid(hp.pid, &status, WNOHANG) == hp.pid) {
      // Gone; an answer it gave just before still counts.
      const HostFault f = Classify(ch, status, call);
      hp.pid = -1;
      if (PsLoad(&ch->state) == PS_CH_ANSWER) {
        hp.fault = f;
        return std::nullopt;
      }
      return Fail(hp, f);
    }
  }
  if (s == PS_CH_ANSWER) return Settle(hp, call, cap, start);
  // The host noted its end and is going down.
  return Fail(hp, Classify(ch, Reap(hp.pid, kEndGraceSeconds), call));
}

std::optional<HostFault> Call(HostedPlayer& hp, int call, double limit) {
  hp.last = CallTimes{};
  if (hp.fault) return hp.fault;
  if (hp.channel == nullptr || hp.pid <= 0) {
    HostFault f;
    f.detail = std::string("no player host running for ") + CallName(call);
    return f;
  }
  hp.channel->call = call;
  const double start = WallSeconds();
  PsSignal(hp.channel, PS_CH_REQUEST, &hp.channel->host_sleeping);
  return Await(hp, call, limit, start);
}

}  // namespace

const char* HostFaultName(HostFault::Kind kind) {
  switch (kind) {
    case HostFault::Kind::Timeout:
      return "Timeout";
    case HostFault::Kind::Crashed:
      return "Crashed";
    case HostFault::Kind::Exited:
      return "Exited";
    case HostFault::Kind::OutOfMemory:
      return "OutOfMemory";
    case HostFault::Kind::WrotePastRecord:
      return "WrotePastRecord";
    case HostFault::Kind::WrotePastRows:
      return "WrotePastRows";
  }
  return "?";
}

std::optional<std::string> StartHost(HostedPlayer& hp, const std::string& hostExe,
                                     const std::string& library, int player,
                                     const HostLimits& limits) {
  StopHost(hp);
  hp = HostedPlayer{};
  hp.limits = limits;
  hp.library = library;
  const size_t size = static_cast<size_t>(sysconf(_SC_PAGESIZE));
  hp.memfd = memfd_create("pitsow-channel", MFD_CLOEXEC);
  if (hp.memfd < 0) return std::string("cannot create a player channel: ") + strerror(errno);
  if (ftruncate(hp.memfd, static_cast<off_t>(size)) != 0) {
    const std::string e = strerror(errno);
    StopHost(hp);
    return "cannot create a player channel: " + e;
  }
  void* mem = mmap(nullptr, sizeof(PsChannel), PROT_READ | PROT_WRITE, MAP_SHARED, hp.memfd, 0);
  if (mem == MAP_FAILED) {
    const std::string e = strerror(errno);
    StopHost(hp);
    return "cannot map a player channel: " + e;
  }
  hp.channel = static_cast<PsChannel*>(mem);
  hp.channel->call = PS_CALL_LOAD;
  PsStore(&hp.channel->state, PS_CH_REQUEST);

  // The channel reaches the host as a fixed low descriptor; dup2 onto
  // another number clears close-on-exec for the host alone.
  const int childFd = hp.memfd == 3 ? 4 : 3;
  std::vector<std::string> args = {hostExe, "--channel-fd=" + std::to_string(childFd),
                                   "--library=" + library, "--player=" + std::to_string(player),
                                   "--parent=" + std::to_string(getpid())};
  if (limits.memory_mb > 0) args.push_back("--memory-mb=" + std::to_string(limits.memory_mb));
  if (limits.sandbox) ProtectClient(), args.push_back("--sandbox=player" + std::to_string(player));
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, hp.memfd, childFd);
  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  sigset_t none;
  sigemptyset(&none);
  posix_spawnattr_setsigmask(&attr, &none);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK);
  pid_t pid = -1;
  const int err = posix_spawn(&pid, hostExe.c_str(), &actions, &attr, argv.data(), environ);
  posix_spawnattr_destroy(&attr);
  posix_spawn_file_actions_destroy(&actions);
  if (err != 0) {
    StopHost(hp);
    return "cannot start player host " + hostExe + ": " + strerror(err);
  }
  hp.pid = pid;
  hp.clock = OpenCpuClock(pid, Now());

  if (const std::optional<HostFault> f = Await(hp, PS_CALL_LOAD, limits.call_seconds, Now())) {
    StopHost(hp);
    return "cannot load player library " + library + ": player host " + f->detail;
  }
  if (hp.channel->result != 0) {
    std::string text(hp.channel->text, strnlen(hp.channel->text, sizeof hp.channel->text));
    StopHost(hp);
    return text;
  }
  return std::nullopt;
}

std::optional<HostFault> HostInit(HostedPlayer& hp, PsInfo& info, PsBool& ok) {
  if (hp.channel != nullptr && !hp.fault) hp.channel->info = info;
  if (std::optional<HostFault> f = Call(hp, PS_CALL_INIT, hp.limits.call_seconds)) return f;
  info = hp.channel->info;
  ok = static_cast<PsBool>(hp.channel->result);
  return std::nullopt;
}

std::optional<HostFault> HostGetTurn(HostedPlayer& hp, const HoleRow my, const HoleRow opp,
                                     int32_t myStore, int32_t oppStore, int32_t& answer) {
  if (hp.channel != nullptr && !hp.fault) {
    std::memcpy(hp.channel->my_holes, my, sizeof(HoleRow));
    std::memcpy(hp.channel->opp_holes, opp, sizeof(HoleRow));
    hp.channel->args[0] = myStore;
    hp.channel->args[1] = oppStore;
  }
  const double limit = hp.limits.move_seconds > 0 ? hp.limits.move_seconds : hp.limits.call_seconds;
  if (std::optional<HostFault> f = Call(hp, PS_CALL_GET_TURN, limit)) return f;
  answer = hp.channel->result;
  return std::nullopt;
}

// A sandboxed player may think in PsOppTurn and PsEndRound too: the move
// time bounds them as it bounds PsGetTurn.
static double ThinkingLimit(const HostedPlayer& hp) {
  return hp.limits.sandbox && hp.limits.move_seconds > 0 ? hp.limits.move_seconds
                                                         : hp.limits.call_seconds;
}

std::optional<HostFault> HostOppTurn(HostedPlayer& hp, int32_t hole) {
  if (hp.channel != nullptr && !hp.fault) hp.channel->args[0] = hole;
  return Call(hp, PS_CALL_OPP_TURN, ThinkingLimit(hp));
}

std::optional<HostFault> HostEndRound(HostedPlayer& hp, int32_t my, int32_t opp, int32_t turns) {
  if (hp.channel != nullptr && !hp.fault) {
    hp.channel->args[0] = my;
    hp.channel->args[1] = opp;
    hp.channel->args[2] = turns;
  }
  return Call(hp, PS_CALL_END_ROUND, ThinkingLimit(hp));
}

std::optional<HostFault> HostDone(HostedPlayer& hp) {
  return Call(hp, PS_CALL_DONE, hp.limits.call_seconds);
}

void StopHost(HostedPlayer& hp) {
  if (hp.pid > 0) {
    if (hp.channel != nullptr) PsSignal(hp.channel, PS_CH_QUIT, &hp.channel->host_sleeping);
    Reap(hp.pid, kEndGraceSeconds);
    hp.pid = -1;
  }
  if (hp.channel != nullptr) munmap(hp.channel, sizeof(PsChannel));
  hp.channel = nullptr;
  if (hp.memfd >= 0) close(hp.memfd);
  hp.memfd = -1;
}
