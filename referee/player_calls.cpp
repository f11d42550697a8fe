#include "player_calls.h"

#include <cstring>

#include "crash_guard.h"

namespace {

bool Isolated(const Referee& ref) { return ref.options.isolate; }

// A dead isolated player is not called again.
bool Dead(const Referee& ref, int n) { return Isolated(ref) && ref.hosts[n].fault.has_value(); }

std::string Seconds(double s) {
  char text[32];
  snprintf(text, sizeof text, "%.3f", s);
  return text;
}

// Which limit a call ran past, as the report names it.
std::string LimitBroken(const Referee& ref, Entry entry, const HostFault& hf) {
  if (hf.over_budget) return "ran out of its time of " + ref.options.timeControl.text + " s";
  // Sandboxed, the move time bounds every call a player can think in.
  const bool thinking = entry == Entry::PsGetTurn ||
                        (ref.options.sandbox && entry != Entry::PsInit && entry != Entry::PsDone);
  return std::string("exceeded the ") + (thinking && ref.options.moveTime > 0 ? "move" : "call") +
         " time of " + Seconds(hf.limit_seconds) + " s";
}

// The figures of an overrun: the CPU used and the wall time, or how long
// the player was blocked.
std::string Figures(const HostFault& hf) {
  std::string text = hf.blocked ? "blocked for " + Seconds(hf.wall_seconds) + " s"
                                : "used " + Seconds(hf.cpu_seconds) + " s of CPU in " +
                                      Seconds(hf.wall_seconds) + " s";
  if (hf.over_budget) text += " with " + Seconds(hf.limit_seconds) + " s left";
  return text;
}

// Notes the fault of the call in progress, with its report line.
void NoteFault(Referee& ref, int n, const HostFault& hf) {
  Fault f;
  f.player = n;
  f.entry = CurrentEntry();
  f.round = ref.Round;
  f.turn = ref.board.TurnCount;
  std::string what;
  switch (hf.kind) {
    case HostFault::Kind::Timeout:
      f.kind = "timeout";
      what = LimitBroken(ref, f.entry, hf);
      f.detail = Figures(hf);
      break;
    case HostFault::Kind::Crashed:
      f.kind = "crash";
      f.detail = hf.signal != 0 ? strsignal(hf.signal) : "vanished";
      if (hf.detail.rfind("refused system call ", 0) == 0)  // a sandbox's filter: name the call
        f.detail = hf.detail.substr(0, hf.detail.find(" in "));
      what = "crashed";
      break;
    case HostFault::Kind::Exited:
      f.kind = "exit";
      what = "ended with status " + std::to_string(hf.status);
      break;
    case HostFault::Kind::OutOfMemory:
      f.kind = "memory";
      what = "ran out of memory";
      break;
    case HostFault::Kind::WrotePastRecord:
      f.kind = "overrun";
      what = "wrote past the record it was given";
      break;
    case HostFault::Kind::WrotePastRows:
      f.kind = "overrun";
      what = "wrote past the rows it was given";
      break;
  }
  LineBuffer line;
  AppendCallReport(line, what.c_str());
  f.report.assign(line.text, line.size);
  if (!f.detail.empty()) f.report += ": " + f.detail;
  f.hasPosition = f.entry == Entry::PsGetTurn || f.entry == Entry::PsOppTurn;
  if (!ref.fault) ref.fault = f;
}

// Before a move's calls: a time control caps them at the time left.
void Budget(Referee& ref, int n) {
  if (ref.options.timeControl.on) ref.hosts[n].budget = ref.clocks.left[n];
}

// After an isolated call: its cost goes to the round's account and, for a
// move's calls under a time control, to the player's clock.
void Account(Referee& ref, int n, bool move) {
  HostedPlayer& hp = ref.hosts[n];
  ref.track.cpu[n] += hp.last.cpu;
  ref.track.wall[n] += hp.last.wall;
  if (move && ref.options.timeControl.on) ChargeClock(ref.clocks, n, hp.last.cpu);
  hp.budget.reset();
}

}  // namespace

bool CallInit(Referee& ref, int n) {
  EnterCall(n, Entry::PsInit, -1, -1);
  PsBool ok = 0;
  if (Isolated(ref)) {
    if (auto hf = HostInit(ref.hosts[n], ref.Info[n], ok)) NoteFault(ref, n, *hf);
  } else {
    PsInfo* info = Guarded().info[n];
    std::memcpy(info, &ref.Info[n], sizeof(PsInfo));
    ok = ref.players[n].Init(info);
    std::memcpy(&ref.Info[n], info, sizeof(PsInfo));
  }
  LeaveCall();
  return ok != 0 && !ref.fault;
}

int32_t CallGetTurn(Referee& ref, int n, const HoleRow& myHoles, const HoleRow& oppHoles,
                    int32_t myStore, int32_t oppStore) {
  if (Dead(ref, n)) return 0;
  int32_t answer = 0;
  EnterCall(n, Entry::PsGetTurn, ref.Round, ref.board.TurnCount);
  if (Isolated(ref)) {
    Budget(ref, n);
    const auto hf = HostGetTurn(ref.hosts[n], myHoles, oppHoles, myStore, oppStore, answer);
    Account(ref, n, true);
    if (hf) NoteFault(ref, n, *hf);
    if (!hf && ref.options.timeControl.on)
      ref.track.clock.push_back(MoveMade(ref.clocks, n, ref.options.timeControl));
  } else {
    int32_t* rows = Guarded().rows;
    std::memcpy(rows, myHoles, sizeof(HoleRow));
    std::memcpy(rows + PS_MAX_HOLES, oppHoles, sizeof(HoleRow));
    answer = ref.players[n].GetTurn(rows, rows + PS_MAX_HOLES, myStore, oppStore);
  }
  LeaveCall();
  return answer;
}

void CallOppTurn(Referee& ref, int n, int32_t hole) {
  if (Dead(ref, n)) return;
  EnterCall(n, Entry::PsOppTurn, ref.Round, ref.board.TurnCount);
  if (Isolated(ref)) {
    Budget(ref, n);
    const auto hf = HostOppTurn(ref.hosts[n], hole);
    Account(ref, n, true);
    if (hf) NoteFault(ref, n, *hf);
  } else {
    ref.players[n].OppTurn(hole);
  }
  LeaveCall();
}

void CallEndRound(Referee& ref, int n, int32_t my, int32_t opp, int32_t turns) {
  if (Dead(ref, n)) return;
  EnterCall(n, Entry::PsEndRound, ref.Round, -1);
  if (Isolated(ref)) {
    // The clock is read at the round's end, so the round's account is exact.
    HostedPlayer& hp = ref.hosts[n];
    const bool exact = hp.exact;
    hp.exact = true;
    const auto hf = HostEndRound(hp, my, opp, turns);
    hp.exact = exact;
    Account(ref, n, false);
    if (hf) NoteFault(ref, n, *hf);
  } else {
    ref.players[n].EndRound(my, opp, turns);
  }
  LeaveCall();
}

void CallDone(Referee& ref, int n) {
  if (Dead(ref, n)) return;
  EnterCall(n, Entry::PsDone, -1, -1);
  if (Isolated(ref)) {
    if (auto hf = HostDone(ref.hosts[n])) NoteFault(ref, n, *hf);
  } else {
    ref.players[n].Done();
  }
  LeaveCall();
}
