// The client side of an isolated player: starts pitsow-host for one player
// library, hands it the five calls through a shared-memory channel and
// tells what went wrong when the player crashed, exited, ran out of memory,
// wrote past what it was lent, or overran its time.
//
// A HostedPlayer owns its host process, the channel's descriptor and its
// mapping, and releases all three when it goes: the host is asked to end,
// reaped (killed after a short grace), the mapping and descriptor closed.
// After a fault the player is dead: its host has been reaped and every
// later call returns the same fault at once. The host dies with the thread
// that started it (PR_SET_PDEATHSIG), so start hosts from a thread that
// outlives them. Nothing is left on disk; the caller must not ignore
// SIGCHLD, since the host is reaped with waitpid.
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

#include "PsComm.h"
#include "cpu_clock.h"
#include "error.h"
#include "player.h"
#include "room.h"

struct PsChannel;

// A call's time limit is CPU time of the player's process (all threads),
// read from the kernel: a busy machine does not eat into it. A call may
// use the limit plus the margin. A wall-clock backstop of twice the limit
// plus one second catches a player that blocks or sleeps instead.
struct HostLimits {
  double call_time = 10;         // each call; 0 or less: no limit
  double move_time = 0;          // PsGetTurn; 0: call_time
  double margin_seconds = 0.01;  // forgiven past any limit
  long memory_mb = 0;            // the host's address space in MiB; 0: none
  bool exact = false;            // read the CPU clock after every call (a time control)
  bool sandbox = false;          // in a room of its own (sandbox/room.h), confined (sandbox.h)
  RoomLimits room;               // sandboxed: the room's limits (memory: memory_mb when set)
  std::vector<std::string> python_path;  // sandboxed: folders a Python player may import from
};

// Everything a host is started with. A way of running the host (such as a
// sandbox) is one more field here, turned into the host's command line by
// HostArguments, never a branch in the calls.
struct HostStart {
  std::string host_exe;  // pitsow-host
  std::string library;   // the player library
  int player = 1;        // its player number
  HostLimits limits;
};

// The host's command line for start, its channel at descriptor channel_fd;
// sandboxed, bubblewrap's (program bwrap) with the host's after it.
std::vector<std::string> HostArguments(const HostStart& start, int channel_fd,
                                       const std::string& bwrap = "bwrap");

// The wall time after which a call with CPU limit `limit` is stopped as
// blocked.
inline double BackstopSeconds(double limit) { return 2 * limit + 1; }

// CPU a host may use between its calls, beyond the margin, before it is
// at fault when its opponent is stopped at the backstop: waiting for the
// next request costs microseconds.
inline constexpr double kIdleCpuSeconds = 0.05;

// What the client keeps of a running host.
struct HostState {
  pid_t pid = -1;        // the child: the host, or sandboxed its bubblewrap
  pid_t host = -1;       // the host process itself (sandboxed: inside the room)
  bool stopped = false;  // sandboxed: held with SIGSTOP now
  bool holding = false;  // sandboxed: held between its calls from now on (it used CPU outside them)
  bool watched = false;  // sandboxed: the gap after the last call is looked at
  double cpu_after_call = 0;  // sandboxed: the host's CPU seconds at the end of that call
  uint32_t draw = 1;          // sandboxed: which gaps are looked at (xorshift state)
  RoomCgroup cgroup;          // sandboxed: the room's cgroups, where there are any
  PsChannel* channel = nullptr;
  int memfd = -1;
  HostLimits limits;
  CallFault fault;               // set once the player is dead
  CpuClock clock;                // the host process's CPU clock
  CallTimes last;                // the last call's cost
  std::optional<double> budget;  // a further CPU limit on the calls
};

class HostedPlayer final : public Player {
 public:
  // Starts the host and waits until it has loaded the library and bound
  // its entry points; the host's report when that failed (the host is
  // then stopped).
  static Result<HostedPlayer> Start(const HostStart& start);

  HostedPlayer(HostedPlayer&& other) noexcept;
  HostedPlayer& operator=(HostedPlayer&& other) noexcept;
  HostedPlayer(const HostedPlayer&) = delete;
  HostedPlayer& operator=(const HostedPlayer&) = delete;
  ~HostedPlayer() override;

  CallFault Init(PsInfo& info, PsBool& ready) override;
  CallFault GetTurn(const HoleRow my_holes, const HoleRow opp_holes, int32_t my_store,
                    int32_t opp_store, int32_t& answer) override;
  CallFault OppTurn(int32_t hole) override;
  // Reads the CPU clock at the end, so that a round's account is exact.
  CallFault EndRound(int32_t my, int32_t opp, int32_t turns) override;
  CallFault Done() override;

  const CallFault& Fault() const override { return s_.fault; }
  CallTimes LastCall() const override { return s_.last; }
  void SetBudget(std::optional<double> seconds) override { s_.budget = seconds; }
  long ResidentKb() const override;
  CallFault IdleFault() override;

  void SetExact(bool exact) { s_.limits.exact = exact; }
  pid_t Pid() const { return s_.pid; }
  const CpuClock& Clock() const { return s_.clock; }

 private:
  HostedPlayer() = default;
  void Release();
  HostState s_;
};
