// One player as the referee and the checker see it: the five calls of the
// player interface behind one abstract type. A player may run in the
// caller's own process (the library called directly) or in a process of
// its own (pitsow-host); the caller makes the same five calls in the same
// order either way, and asks the same questions afterwards: what the call
// cost and whether the player is dead.
#pragma once

#include <optional>
#include <string>

#include "PsComm.h"

// Which limit a call ran past.
enum class TimeLimit {
  Call,    // the call time, of every call but PsGetTurn
  Move,    // the move time, of PsGetTurn
  Budget,  // the time left on the player's clock (a time control)
};

// What went wrong in one call. A player with a fault is dead: every later
// call answers the same fault at once.
struct PlayerFault {
  enum class Kind { Timeout, Crashed, Exited, OutOfMemory, WrotePastRecord, WrotePastRows };
  Kind kind = Kind::Crashed;
  int signal = 0;                     // Crashed and the memory faults: the signal
  int status = 0;                     // Exited: the exit status
  TimeLimit limit = TimeLimit::Call;  // Timeout: the limit broken
  double limit_seconds = 0;           // Timeout: its seconds
  double cpu_seconds = 0;             // Timeout: CPU used in the call
  double wall_seconds = 0;            // Timeout: wall time of the call
  bool blocked = false;               // Timeout: by the wall-clock backstop
  // Timeout at the backstop while the host was runnable but not run for
  // most of the time: the machine's load, not the player, held the call
  // up; the run is to be played again, not charged.
  bool starved = false;
  std::string detail;  // one line: what happened, in which call
};

// "Timeout", "Crashed", ...: the kind's name for reports.
const char* PlayerFaultName(PlayerFault::Kind kind);

// What one call cost the player, where that can be measured apart from
// the caller: the CPU of the player's process and the call's wall time.
struct CallTimes {
  double cpu = 0;
  double wall = 0;
};

using CallFault = std::optional<PlayerFault>;

class Player {
 public:
  virtual ~Player() = default;

  // info is sent as filled in and holds the player's answers afterwards;
  // ready is PsInit's result.
  virtual CallFault Init(PsInfo& info, PsBool& ready) = 0;
  virtual CallFault GetTurn(const HoleRow my_holes, const HoleRow opp_holes, int32_t my_store,
                            int32_t opp_store, int32_t& answer) = 0;
  virtual CallFault OppTurn(int32_t hole) = 0;
  virtual CallFault EndRound(int32_t my, int32_t opp, int32_t turns) = 0;
  virtual CallFault Done() = 0;

  // The fault that killed the player, if one did.
  virtual const CallFault& Fault() const = 0;
  // The cost of the last call (zero where it is not measured apart).
  virtual CallTimes LastCall() const { return {}; }
  // A further CPU limit on the calls until it is cleared (nullopt), e.g.
  // the time left on a clock; ignored where calls cannot be limited.
  virtual void SetBudget(std::optional<double> /*seconds*/) {}
  // The resident memory of the player's process in KiB, -1 where the
  // player has no process of its own or it cannot be read.
  virtual long ResidentKb() const { return -1; }
};
