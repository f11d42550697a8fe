// The client side of an isolated player: starts pitsow-host for one player
// library, hands it the five calls through a shared-memory channel and
// tells what went wrong when the player crashed, exited, ran out of memory,
// wrote past what it was lent, or overran its time.
//
// After a fault the player is dead: its host has been reaped and every
// later call returns the same fault at once. The host is started from the
// calling thread and dies with it (PR_SET_PDEATHSIG), so start hosts from a
// thread that outlives them. Nothing is left on disk; the caller must not
// ignore SIGCHLD, since the host is reaped with waitpid.
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>

#include "PsComm.h"
#include "cpu_clock.h"

struct PsChannel;

// A call's time limit is CPU time of the player's process (all threads),
// read from the kernel: a busy machine does not eat into it. A call may
// use the limit plus the margin. A wall-clock backstop of twice the limit
// plus one second catches a player that blocks or sleeps instead.
struct HostLimits {
  double call_seconds = 10;      // each call; 0 or less: no limit
  double move_seconds = 0;       // PsGetTurn; 0: call_seconds
  double margin_seconds = 0.01;  // forgiven past any limit
  long memory_mb = 0;            // the host's address space in MiB; 0: none
  bool sandbox = false;          // confined to a folder playerN/ of its own (sandbox/sandbox.h)
};

// The wall time after which a call with CPU limit `limit` is stopped as
// blocked.
inline double BackstopSeconds(double limit) { return 2 * limit + 1; }

// What one call cost the player. cpu is the CPU its process used since the
// clock was last read, normally the end of its previous call (so work done
// between calls is charged too); quick calls leave the reading to a later
// call, with cpu 0, as long as the most they can have used stays under
// half the margin.
struct CallTimes {
  double cpu = 0;
  double wall = 0;
};

// What went wrong in one call.
struct HostFault {
  enum class Kind { Timeout, Crashed, Exited, OutOfMemory, WrotePastRecord, WrotePastRows };
  Kind kind = Kind::Crashed;
  int signal = 0;            // Crashed and the memory faults: the signal
  int status = 0;            // Exited: the exit status
  double limit_seconds = 0;  // Timeout: the limit overrun
  double cpu_seconds = 0;    // Timeout: CPU used in the call
  double wall_seconds = 0;   // Timeout: wall time of the call
  bool blocked = false;      // Timeout: by the wall-clock backstop
  bool over_budget = false;  // Timeout: the budget was the limit broken
  std::string detail;        // one line: what happened, in which call
};

struct HostedPlayer {
  pid_t pid = -1;
  PsChannel* channel = nullptr;
  int memfd = -1;
  HostLimits limits;
  std::string library;
  std::optional<HostFault> fault;  // set once the player is dead
  CpuClock clock;                  // the host process's CPU clock
  CallTimes last;                  // the last call's cost
  std::optional<double> budget;    // a further CPU limit on the calls (a clock's time left)
  bool exact = false;              // read the CPU clock at the end of every call
};

// Starts hostExe for library as player number player and waits until it
// has loaded the library and bound its entry points. Returns the host's
// report when that failed (the host is then stopped), otherwise nullopt.
std::optional<std::string> StartHost(HostedPlayer& hp, const std::string& hostExe,
                                     const std::string& library, int player,
                                     const HostLimits& limits);

std::optional<HostFault> HostInit(HostedPlayer& hp, PsInfo& info, PsBool& ok);
std::optional<HostFault> HostGetTurn(HostedPlayer& hp, const HoleRow my, const HoleRow opp,
                                     int32_t myStore, int32_t oppStore, int32_t& answer);
std::optional<HostFault> HostOppTurn(HostedPlayer& hp, int32_t hole);
std::optional<HostFault> HostEndRound(HostedPlayer& hp, int32_t my, int32_t opp, int32_t turns);
std::optional<HostFault> HostDone(HostedPlayer& hp);

// Asks the host to end, reaps it (SIGKILL after a short grace) and
// releases the channel. Safe to call on a player never started or already
// dead; never leaves a zombie.
void StopHost(HostedPlayer& hp);

// "Timeout", "Crashed", ...: the kind's name for reports.
const char* HostFaultName(HostFault::Kind kind);
