#include "host_client.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <string.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <regex>
#include <utility>
#include <vector>

#include "channel.h"
#include "child_process.h"
#include "clock.h"
#include "exit_status.h"
#include "fixed.h"
#include "names.h"
#include "player_text.h"
#include "python_player.h"
#include "sandbox.h"
#include "syscall_filter.h"

namespace {

// How often a waiting client looks whether the host is still alive, when
// the host could not say so itself (SIGKILL from outside, _exit).
constexpr double kLifeCheckSeconds = 0.01;
// How long a host may take to end after a quit request or a fatal signal
// before it is killed.
constexpr double kEndGraceSeconds = 1.0;
// How long a call runs before its host's run delay is noted.
constexpr double kWatchAfterSeconds = 0.01;
// The shortest sleep between two looks at a call's CPU time.
constexpr double kLeastSlice = 0.0005;

double Now() { return MonotonicSeconds(); }

timespec Span(double seconds) {
  if (seconds < 0) seconds = 0;
  timespec ts{};
  ts.tv_sec = static_cast<time_t>(seconds);
  ts.tv_nsec = static_cast<long>((seconds - static_cast<double>(ts.tv_sec)) * 1e9);
  return ts;
}

// The channel numbers the five calls in the order of the entry points'
// names, after the load.
const char* CallName(int call) {
  if (call == PS_CALL_LOAD) return "loading";
  if (call >= PS_CALL_INIT && call <= PS_CALL_DONE) return kEntryNames[call - PS_CALL_INIT];
  return "an unknown call";
}

// Reaps pid, waiting up to grace seconds for it to end by itself, then
// kills it. Returns the wait status, or -1 when there was nothing to reap.
int Reap(pid_t pid, double grace) {
  const double deadline = Now() + grace;
  long pause_ns = 100000;
  int status = 0;
  for (;;) {
    const pid_t r = waitpid(pid, &status, WNOHANG);
    if (r == pid) return status;
    if (r < 0 && errno != EINTR) return -1;
    if (Now() >= deadline) break;
    const timespec ts{0, pause_ns};
    nanosleep(&ts, nullptr);
    if (pause_ns < 10000000) pause_ns *= 2;
  }
  // A child of ours, not yet reaped: the kill fails only when it is gone
  // already, which the wait below sees as well.
  kill(pid, SIGKILL);
  for (;;) {
    const pid_t r = waitpid(pid, &status, 0);
    if (r == pid) return status;
    if (r < 0 && errno != EINTR) return -1;
  }
}

// The note a dying host left in the channel. The player's own code runs
// in that process and can write the channel too, so the note is the
// referee's words only when it is one of the host's own sentences, checked
// word by word: a kind of fault, the signal the referee saw end the host,
// an address, a system call's name. Anything else is shown as the
// player's text, quoted, after what the referee saw itself.
std::string HostNote(const PsChannel* ch, int signal) {
  const std::string_view note = FieldBytes(ch->text, sizeof ch->text);
  static const std::regex kOwn(
      R"(((wrote|read) past the (record|rows) \(|ran out of memory \([0-9]{1,9} of [0-9]{1,9} )"
      R"(MiB in use, |crashed \()(SIG[A-Z]{2,6}|signal)( at address 0x[0-9a-f]{1,16})?\))");
  static const std::regex kRefusedNote(
      "refused system call ([a-z0-9_]{1,40}|a refused system call)");
  std::cmatch m;
  const char* begin = note.data();
  const char* end = begin + note.size();
  if (std::regex_match(begin, end, m, kOwn) &&
      (m[4].str() == SignalName(signal) || m[4].str() == "signal"))
    return std::string(note);
  if (signal == SIGSYS && std::regex_match(begin, end, m, kRefusedNote)) return std::string(note);
  return "killed by " + SignalName(signal) + ", its host's note " + QuotedText(note);
}

// What the reaped host's end means, with its own note where it left one.
PlayerFault Classify(const PsChannel* ch, int status, int call, bool room) {
  PlayerFault f;
  const std::string where = std::string(" in ") + CallName(call);
  // bubblewrap ends with 128 + the signal that killed the host.
  if (room && status != -1 && WIFEXITED(status) && WEXITSTATUS(status) > 128 &&
      WEXITSTATUS(status) < 128 + NSIG)
    status = WEXITSTATUS(status) - 128;
  if (status != -1 && WIFEXITED(status)) {
    f.kind = PlayerFault::Kind::Exited;
    f.status = WEXITSTATUS(status);
    f.detail = "ended with status " + std::to_string(f.status) + where;
    return f;
  }
  f.kind = PlayerFault::Kind::Crashed;
  f.signal = status != -1 && WIFSIGNALED(status) ? WTERMSIG(status) : 0;
  const bool noted = ch->fault_kind != PS_FAULT_NONE && ch->fault_kind != PS_FAULT_EXIT &&
                     ch->fault_signal == f.signal;
  if (!noted) {
    f.detail =
        (f.signal != 0 ? "killed by " + SignalName(f.signal) : std::string("vanished")) + where;
    return f;
  }
  switch (ch->fault_kind) {
    case PS_FAULT_OUT_OF_MEMORY:
      f.kind = PlayerFault::Kind::OutOfMemory;
      break;
    case PS_FAULT_PAST_RECORD:
      f.kind = PlayerFault::Kind::WrotePastRecord;
      break;
    case PS_FAULT_PAST_ROWS:
      f.kind = PlayerFault::Kind::WrotePastRows;
      break;
    default:
      break;
  }
  // A refused call is named by the referee from the call's number; a
  // number the filter does not refuse is the player's forgery.
  if (f.signal == SIGSYS && ch->fault_kind == PS_FAULT_SIGNAL && IsRefusedCall(ch->fault_syscall)) {
    f.detail = std::string("refused system call ") + RefusedCallName(ch->fault_syscall) + where;
    return f;
  }
  f.detail = HostNote(ch, f.signal) + where;
  return f;
}

CallFault Fail(HostState& hp, PlayerFault f) {
  hp.fault = f;
  hp.pid = -1;
  hp.host = -1;
  return f;
}

// The time the host's threads spent runnable but not running, in seconds
// (the kernel's schedstat run delay, summed over its threads); -1 when it
// cannot be read.
double RunDelaySeconds(pid_t host) {
  const std::string tasks = "/proc/" + std::to_string(host) + "/task";
  DIR* dir = opendir(tasks.c_str());
  if (dir == nullptr) return -1;
  double total = 0;
  while (const dirent* e = readdir(dir)) {
    if (e->d_name[0] == '.') continue;
    std::ifstream in(tasks + "/" + e->d_name + "/schedstat");
    unsigned long long run = 0, delay = 0;
    if (in >> run >> delay) total += static_cast<double>(delay) * 1e-9;
  }
  closedir(dir);
  return total;
}

// A look at the host's run delay: when it was taken and what it was.
struct DelayMark {
  double wall = -1;
  double delay = -1;
};

// Runnable but not running for at least half of the time since the mark:
// the machine, not the player, held the call up.
bool Starved(pid_t host, const DelayMark& mark, double now) {
  if (mark.wall < 0 || mark.delay < 0 || now <= mark.wall) return false;
  const double delay = RunDelaySeconds(host);
  return delay >= 0 && delay - mark.delay >= (now - mark.wall) / 2;
}

// A sandboxed host's own wait between two calls (spin, then yield for
// PS_CHANNEL_YIELD_NS, then sleep) uses far less CPU than this; more
// means a player's thread or signal handler ran outside its calls.
constexpr double kOutsideCallSeconds = 0.0005;

// Sandboxed, a host that used CPU outside its calls is held (SIGSTOP)
// between its calls from then on, so that its threads cannot run while
// the opponent or the referee does. Holding costs the wake-up of a stopped
// process on every call, and reading its CPU clock about 1 us, so a host
// that keeps still is only watched: one gap between calls in eight, drawn
// at random so that a player cannot tell which, the clock is read at the
// end of a call and at the start of the next. Until it is caught, what it
// used outside its calls is charged to its own next call.
void Hold(HostState& hp) {
  if (hp.limits.sandbox && hp.host > 0 && !hp.stopped && kill(hp.host, SIGSTOP) == 0)
    hp.stopped = true;
}

// One draw in eight.
bool Drawn(HostState& hp) {
  hp.draw ^= hp.draw << 13;
  hp.draw ^= hp.draw >> 17;
  hp.draw ^= hp.draw << 5;
  return (hp.draw & 7) == 0;
}

// The end of a call: the hold where it is due, else perhaps a watch.
void AfterCall(HostState& hp) {
  if (!hp.limits.sandbox || hp.host <= 0) return;
  if (hp.holding) {
    Hold(hp);
  } else if (hp.clock.open && Drawn(hp)) {
    hp.watched = true;
    hp.cpu_after_call = ReadCpuClock(hp.clock);
  }
}

// The start of a call: has a watched host run since its last call?
void BeforeCall(HostState& hp) {
  if (!hp.watched) return;
  hp.watched = false;
  if (ReadCpuClock(hp.clock) - hp.cpu_after_call > kOutsideCallSeconds) hp.holding = true;
}

void Resume(HostState& hp) {
  // A host that is gone cannot be woken; the wait for its answer sees it end.
  if (hp.stopped && hp.host > 0) kill(hp.host, SIGCONT);
  hp.stopped = false;
}

// The CPU limit of a call: the limit of its kind, or the player's budget
// where that is less.
struct Cap {
  bool limited = false;
  double seconds = 0;
  TimeLimit limit = TimeLimit::Call;
};

Cap CapOf(const HostState& hp, double seconds, TimeLimit limit) {
  Cap c;
  if (seconds > 0) c = {true, seconds, limit};
  if (hp.budget && (!c.limited || *hp.budget < c.seconds))
    c = {true, *hp.budget, TimeLimit::Budget};
  return c;
}

// The CPU used since the mark; without a CPU clock, the call's wall time.
double Used(const HostState& hp, double start, double now) {
  return hp.clock.open ? ReadCpuClock(hp.clock) - hp.clock.cpu_mark : now - start;
}

// The most CPU that can have been used since the mark, without reading.
double MostUsed(const HostState& hp, double start, double now) {
  return hp.clock.open ? CpuBound(hp.clock, now) : now - start;
}

// Stops a player that ran past its limit, in CPU or, blocked, in wall time.
CallFault Overrun(HostState& hp, int call, const Cap& cap, double cpu, double wall, bool blocked,
                  bool starved = false) {
  // Either may be gone already (the kill then fails): Reap sees how it ended.
  if (hp.host > 0) kill(hp.host, SIGKILL);
  kill(hp.pid, SIGKILL);
  Reap(hp.pid, 0);
  PlayerFault f;
  f.kind = PlayerFault::Kind::Timeout;
  f.limit_seconds = cap.seconds;
  f.cpu_seconds = cpu;
  f.wall_seconds = wall;
  f.blocked = blocked;
  f.starved = starved;
  f.limit = cap.limit;
  f.detail = (blocked ? "blocked for " + Seconds(wall) + " s"
                      : "used " + Seconds(cpu) + " s of CPU in " + Seconds(wall) + " s") +
             " in " + CallName(call) + ", limit " + Seconds(cap.seconds) + " s" +
             (starved ? " (starved: runnable, not run, for most of it)" : "");
  hp.last = {cpu, wall};
  return Fail(hp, f);
}

// The answer is in: the call's cost, read from the CPU clock unless the
// call cannot have used more than half the margin since the last reading.
CallFault Settle(HostState& hp, int call, const Cap& cap, double start) {
  const double now = Now();
  hp.last = {0, now - start};
  const double margin = hp.limits.margin_seconds;
  if (!hp.limits.exact && hp.clock.open && CpuBound(hp.clock, now) <= margin / 2)
    return std::nullopt;
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
CallFault Await(HostState& hp, int call, const Cap& cap, double start) {
  PsChannel* ch = hp.channel;
  const double allowed = cap.seconds + hp.limits.margin_seconds;
  const double backstop = BackstopSeconds(cap.seconds);
  DelayMark mark;
  uint32_t s = PsWaitBriefly(ch, PS_CH_REQUEST, &ch->client_waiter);
  while (s == PS_CH_REQUEST) {
    double slice = kLifeCheckSeconds;
    if (cap.limited) {
      const double now = Now();
      const double wall = now - start;
      // A call that lasts: from here on, whether the host waits for a CPU
      // is watched, to tell a starved host from a blocked one at the
      // backstop (one read of /proc, against a call of 10 ms or more).
      if (hp.host > 0 && mark.wall < 0 && wall >= std::min(cap.seconds, kWatchAfterSeconds))
        mark = {now, RunDelaySeconds(hp.host)};
      if (wall >= backstop)
        return Overrun(hp, call, cap, Used(hp, start, now), wall, true,
                       hp.host > 0 && Starved(hp.host, mark, now));
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
      const PlayerFault f = Classify(ch, status, call, hp.limits.sandbox);
      hp.pid = -1;
      hp.host = -1;
      if (PsLoad(&ch->state) == PS_CH_ANSWER) {
        hp.fault = f;
        return std::nullopt;
      }
      return Fail(hp, f);
    }
  }
  if (s == PS_CH_ANSWER) return Settle(hp, call, cap, start);
  // The host noted its end and is going down.
  return Fail(hp, Classify(ch, Reap(hp.pid, kEndGraceSeconds), call, hp.limits.sandbox));
}

CallFault Call(HostState& hp, int call, double seconds, TimeLimit limit) {
  hp.last = CallTimes{};
  if (hp.fault) return hp.fault;
  if (hp.channel == nullptr || hp.pid <= 0) {
    PlayerFault f;
    f.detail = std::string("no player host running for ") + CallName(call);
    return f;
  }
  hp.channel->call = call;
  BeforeCall(hp);
  Resume(hp);
  const double start = Now();
  PsSignal(hp.channel, PS_CH_REQUEST, &hp.channel->host_sleeping);
  CallFault f = Await(hp, call, CapOf(hp, seconds, limit), start);
  if (!f) AfterCall(hp);
  return f;
}

}  // namespace

const char* PlayerFaultName(PlayerFault::Kind kind) {
  switch (kind) {
    case PlayerFault::Kind::Timeout:
      return "Timeout";
    case PlayerFault::Kind::Crashed:
      return "Crashed";
    case PlayerFault::Kind::Exited:
      return "Exited";
    case PlayerFault::Kind::OutOfMemory:
      return "OutOfMemory";
    case PlayerFault::Kind::WrotePastRecord:
      return "WrotePastRecord";
    case PlayerFault::Kind::WrotePastRows:
      return "WrotePastRows";
  }
  return "?";
}

std::vector<std::string> HostArguments(const HostStart& start, int channel_fd,
                                       const std::string& bwrap) {
  const HostLimits& l = start.limits;
  std::vector<std::string> args;
  if (l.sandbox) {
    RoomPlan plan{start.host_exe, start.library, IsPythonPlayer(start.library), l.python_path,
                  l.room};
    args = RoomCommand(plan);
    args[0] = bwrap;
  }
  args.insert(args.end(),
              {start.host_exe, "--channel-fd=" + std::to_string(channel_fd),
               "--library=" + start.library, "--player=" + std::to_string(start.player)});
  // In a room the host's parent is the room's init; the room dies with
  // the referee.
  if (!l.sandbox) args.push_back("--parent=" + std::to_string(getpid()));
  if (l.memory_mb > 0) args.push_back("--memory-mb=" + std::to_string(l.memory_mb));
  if (l.sandbox) {
    args.push_back(std::string("--sandbox=") + kRoomFolder);
    args.push_back("--pids=" + std::to_string(l.room.pids));
    args.push_back("--files=" + std::to_string(l.room.files));
    args.push_back("--output-mb=" + std::to_string(l.room.output_mb));
  }
  return args;
}

namespace {

// The channel: one page of shared memory behind a memfd, its first call
// the load.
std::optional<Error> OpenChannel(HostState& hp) {
  const size_t size = static_cast<size_t>(sysconf(_SC_PAGESIZE));
  hp.memfd = memfd_create("pitsow-channel", MFD_CLOEXEC);
  if (hp.memfd < 0)
    return Error{std::string("cannot create a player channel: ") + strerror(errno), kExitIoError};
  if (ftruncate(hp.memfd, static_cast<off_t>(size)) != 0)
    return Error{std::string("cannot create a player channel: ") + strerror(errno), kExitIoError};
  void* mem = mmap(nullptr, sizeof(PsChannel), PROT_READ | PROT_WRITE, MAP_SHARED, hp.memfd, 0);
  if (mem == MAP_FAILED)
    return Error{std::string("cannot map a player channel: ") + strerror(errno), kExitIoError};
  hp.channel = static_cast<PsChannel*>(mem);
  hp.channel->call = PS_CALL_LOAD;
  PsStore(&hp.channel->state, PS_CH_REQUEST);
  return std::nullopt;
}

// A load that failed, told in the referee's words: which library, for
// which player, and what its host did; the host's own text only quoted.
Error LoadFailure(const HostStart& start, const std::string& what) {
  return Error{"cannot load player library " + start.library + " for player " +
               std::to_string(start.player) + ": " + what};
}

// The one child of process pid, -1 unless there is exactly one.
pid_t OnlyChild(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/task/" + std::to_string(pid) + "/children");
  pid_t child = -1, more = -1;
  if (!(in >> child) || (in >> more)) return -1;
  return child;
}

// The host inside its room: the child of the room's init, itself the
// child of bubblewrap (the player cannot start a process of its own).
pid_t HostInRoom(pid_t bwrap) {
  const pid_t init = OnlyChild(bwrap);
  return init > 0 ? OnlyChild(init) : -1;
}

// Waits while bubblewrap makes the room (which costs the host nothing:
// the load's limit is on the host's own CPU) until the host is in it;
// -1 when bubblewrap ended or took longer than kRoomSeconds.
constexpr double kRoomSeconds = 10;
pid_t FindHostInRoom(pid_t bwrap) {
  const double deadline = Now() + kRoomSeconds;
  for (;;) {
    const pid_t host = HostInRoom(bwrap);
    if (host > 0) return host;
    if (waitpid(bwrap, nullptr, WNOHANG) != 0 || Now() > deadline) return -1;
    const timespec ts{0, 500000};
    nanosleep(&ts, nullptr);
  }
}

// Sandboxed, the player's output goes to playerN/output.txt in the
// referee's folder, which the referee makes afresh: the room shows the
// host nothing of that folder, only the open file.
Result<int> OutputFile(int player) {
  const std::string folder = "player" + std::to_string(player);
  if (mkdir(folder.c_str(), 0755) != 0 && errno != EEXIST)
    return Error{"cannot create " + folder + ": " + strerror(errno)};
  const std::string file = folder + "/output.txt";
  const int fd = open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0644);
  if (fd < 0) return Error{"cannot create " + file + ": " + strerror(errno)};
  return fd;
}

// The player's file as a room binds it: an absolute path (a relative name
// taken from the referee's folder, a bare library name found in the
// loader's extra folders, LD_LIBRARY_PATH, which does not reach the
// room), or a bare name for the system's folders.
std::string InRoom(const std::string& library) {
  char cwd[4096];
  const bool here = getcwd(cwd, sizeof cwd) != nullptr;
  if (library.empty() || library[0] == '/') return library;
  if (library.find('/') != std::string::npos || IsPythonPlayer(library))
    return here ? std::string(cwd) + "/" + library : library;
  const char* path = getenv("LD_LIBRARY_PATH");
  const std::string dirs = path != nullptr ? path : "";
  for (size_t from = 0; from <= dirs.size();) {
    const size_t to = std::min(dirs.find(':', from), dirs.size());
    const std::string dir = to > from ? dirs.substr(from, to - from) : (here ? cwd : ".");
    if (access((dir + "/" + library).c_str(), R_OK) == 0)
      return (dir[0] == '/' || !here ? dir : std::string(cwd) + "/" + dir) + "/" + library;
    from = to + 1;
  }
  return library;
}

// Starts the host and waits for its load.
std::optional<Error> Launch(HostState& hp, const HostStart& start) {
  const int child_fd = hp.memfd == 3 ? 4 : 3;
  ChildSetup setup;
  HostStart room_start = start;
  int output = -1;
  std::string bwrap;
  if (start.limits.sandbox) {
    Result<std::string> program = RoomProgram();
    if (!program) return program.error();
    bwrap = *program;
    room_start.library = InRoom(start.library);
    Result<int> out = OutputFile(start.player);
    if (!out) return out.error();
    output = *out;
    setup.fds = {{output, 1}, {output, 2}};
    // bwrap asks for its own death with the referee only once it runs: a
    // referee killed before that would leave the room and its host alive.
    setup.die_with_parent = true;
    hp.cgroup = OpenRoomCgroup(start.limits.room, start.player);
    if (!hp.cgroup.how.empty()) {
      setup.before_exec = JoinRoomCgroup;
      setup.before_exec_arg = &hp.cgroup;
    } else if (room_start.limits.memory_mb <= 0) {
      room_start.limits.memory_mb = start.limits.room.memory_mb;  // the address space instead
    }
    ProtectClient();
  }
  // Placing it clears close-on-exec for the host alone.
  setup.fds.push_back({hp.memfd, child_fd});
  Result<pid_t> pid = StartChild(HostArguments(room_start, child_fd, bwrap), setup);
  if (output >= 0) close(output);
  if (!pid)
    return Error{"cannot start player host " + start.host_exe + ": " + pid.error().text,
                 kExitIoError};
  hp.pid = *pid;
  hp.host = start.limits.sandbox ? FindHostInRoom(hp.pid) : hp.pid;
  if (hp.host <= 0) return Error{"cannot start player host " + start.host_exe + " in its room"};
  hp.clock = OpenCpuClock(hp.host, Now());
  const Cap cap = CapOf(hp, start.limits.call_time, TimeLimit::Call);
  if (const CallFault f = Await(hp, PS_CALL_LOAD, cap, Now()))
    return LoadFailure(start, "its host " + f->detail);
  if (hp.channel->result != 0)
    return LoadFailure(
        start,
        "its host reported " + QuotedText(FieldBytes(hp.channel->text, sizeof hp.channel->text)));
  if (start.limits.sandbox) {
    hp.clock.cpu_mark = ReadCpuClock(hp.clock);
    // A constructor's threads are looked at before the first call.
    hp.cpu_after_call = hp.clock.cpu_mark;
    hp.watched = true;
    hp.draw = static_cast<uint32_t>(hp.host) * 2654435761u | 1u;
  }
  return std::nullopt;
}

}  // namespace

Result<HostedPlayer> HostedPlayer::Start(const HostStart& start) {
  HostedPlayer hp;
  hp.s_.limits = start.limits;
  std::optional<Error> error = OpenChannel(hp.s_);
  if (!error) error = Launch(hp.s_, start);
  if (error) return *error;  // hp releases what was made
  return hp;
}

HostedPlayer::HostedPlayer(HostedPlayer&& other) noexcept : s_(other.s_) { other.s_ = HostState{}; }

HostedPlayer& HostedPlayer::operator=(HostedPlayer&& other) noexcept {
  if (this != &other) {
    Release();
    s_ = other.s_;
    other.s_ = HostState{};
  }
  return *this;
}

HostedPlayer::~HostedPlayer() { Release(); }

// Asks the host to end, reaps it (SIGKILL after a short grace), unmaps the
// channel and closes its descriptor; never leaves a zombie.
void HostedPlayer::Release() {
  if (s_.pid > 0) {
    Resume(s_);
    if (s_.channel != nullptr) PsSignal(s_.channel, PS_CH_QUIT, &s_.channel->host_sleeping);
    Reap(s_.pid, kEndGraceSeconds);
    s_.pid = -1;
    s_.host = -1;
  }
  if (!s_.cgroup.dirs.empty()) CloseRoomCgroup(s_.cgroup);
  if (s_.channel != nullptr) munmap(s_.channel, sizeof(PsChannel));
  s_.channel = nullptr;
  if (s_.memfd >= 0) close(s_.memfd);
  s_.memfd = -1;
}

CallFault HostedPlayer::Init(PsInfo& info, PsBool& ready) {
  if (s_.channel != nullptr && !s_.fault) s_.channel->info = info;
  if (CallFault f = Call(s_, PS_CALL_INIT, s_.limits.call_time, TimeLimit::Call)) return f;
  info = s_.channel->info;
  ready = static_cast<PsBool>(s_.channel->result);
  return std::nullopt;
}

// The limit of a move: the move time where one is set, else the call time.
static std::pair<double, TimeLimit> MoveLimit(const HostLimits& limits) {
  if (limits.move_time > 0) return {limits.move_time, TimeLimit::Move};
  return {limits.call_time, TimeLimit::Call};
}

CallFault HostedPlayer::GetTurn(const HoleRow my_holes, const HoleRow opp_holes, int32_t my_store,
                                int32_t opp_store, int32_t& answer) {
  if (s_.channel != nullptr && !s_.fault) {
    std::memcpy(s_.channel->my_holes, my_holes, sizeof(HoleRow));
    std::memcpy(s_.channel->opp_holes, opp_holes, sizeof(HoleRow));
    s_.channel->args[0] = my_store;
    s_.channel->args[1] = opp_store;
  }
  const auto [seconds, limit] = MoveLimit(s_.limits);
  if (CallFault f = Call(s_, PS_CALL_GET_TURN, seconds, limit)) return f;
  answer = s_.channel->result;
  return std::nullopt;
}

// A sandboxed player may think in PsOppTurn and PsEndRound too: the move
// time bounds them as it bounds PsGetTurn.
static std::pair<double, TimeLimit> ThinkingLimit(const HostLimits& limits) {
  return limits.sandbox ? MoveLimit(limits) : std::pair{limits.call_time, TimeLimit::Call};
}

CallFault HostedPlayer::OppTurn(int32_t hole) {
  if (s_.channel != nullptr && !s_.fault) s_.channel->args[0] = hole;
  const auto [seconds, limit] = ThinkingLimit(s_.limits);
  return Call(s_, PS_CALL_OPP_TURN, seconds, limit);
}

CallFault HostedPlayer::EndRound(int32_t my, int32_t opp, int32_t turns) {
  if (s_.channel != nullptr && !s_.fault) {
    s_.channel->args[0] = my;
    s_.channel->args[1] = opp;
    s_.channel->args[2] = turns;
  }
  const bool exact = s_.limits.exact;
  s_.limits.exact = true;
  const auto [seconds, limit] = ThinkingLimit(s_.limits);
  CallFault f = Call(s_, PS_CALL_END_ROUND, seconds, limit);
  s_.limits.exact = exact;
  return f;
}

CallFault HostedPlayer::Done() {
  return Call(s_, PS_CALL_DONE, s_.limits.call_time, TimeLimit::Call);
}

// The CPU since the mark is what the host used since its last call was
// read; a call that was not read cannot have used more than half the
// margin (Settle), so more than the margin and kIdleCpuSeconds was used
// between calls.
CallFault HostedPlayer::IdleFault() {
  if (s_.fault || s_.pid <= 0 || !s_.clock.open) return std::nullopt;
  const double now = Now();
  const double used = ReadCpuClock(s_.clock) - s_.clock.cpu_mark;
  if (used <= s_.limits.margin_seconds + kIdleCpuSeconds) return std::nullopt;
  kill(s_.pid, SIGKILL);  // a host already gone is what Reap reports
  Reap(s_.pid, 0);
  PlayerFault f;
  f.kind = PlayerFault::Kind::Timeout;
  f.idle = true;
  f.cpu_seconds = used;
  f.wall_seconds = now - s_.clock.wall_mark;
  f.detail = "used " + Seconds(used) + " s of CPU between its calls";
  return Fail(s_, f);
}

long HostedPlayer::ResidentKb() const {
  if (s_.host <= 0) return -1;
  std::ifstream status("/proc/" + std::to_string(s_.host) + "/status");
  std::string key;
  while (status >> key) {
    if (key == "VmRSS:") {
      long kb = -1;
      status >> kb;
      return kb;
    }
    status.ignore(4096, '\n');
  }
  return -1;
}
