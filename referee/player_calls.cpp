#include "player_calls.h"

#include <cstring>

#include "fixed.h"

namespace {

// A dead player is not called again.
bool Dead(const Referee& ref, int n) { return ref.players[n]->Fault().has_value(); }

std::string Seconds(double s) { return Fixed(s, 3); }

// Which limit a call ran past, as the report names it.
std::string LimitBroken(const Referee& ref, const PlayerFault& pf) {
  switch (pf.limit) {
    case TimeLimit::Budget:
      return "ran out of its time of " + ref.options.time_control.text + " s";
    case TimeLimit::Move:
      return "exceeded the move time of " + Seconds(pf.limit_seconds) + " s";
    case TimeLimit::Call:
      break;
  }
  return "exceeded the call time of " + Seconds(pf.limit_seconds) + " s";
}

// The figures of an overrun: the CPU used and the wall time, or how long
// the player was blocked.
std::string Figures(const PlayerFault& pf) {
  std::string text = pf.blocked ? "blocked for " + Seconds(pf.wall_seconds) + " s"
                                : "used " + Seconds(pf.cpu_seconds) + " s of CPU in " +
                                      Seconds(pf.wall_seconds) + " s";
  if (pf.limit == TimeLimit::Budget) text += " with " + Seconds(pf.limit_seconds) + " s left";
  return text;
}

// What the report says happened, and its kind and detail for the record.
std::string What(const Referee& ref, const PlayerFault& pf, Fault& f) {
  switch (pf.kind) {
    case PlayerFault::Kind::Timeout:
      f.kind = "timeout";
      f.detail = Figures(pf);
      return LimitBroken(ref, pf);
    case PlayerFault::Kind::Crashed:
      f.kind = "crash";
      f.detail = pf.signal != 0 ? strsignal(pf.signal) : "vanished";
      if (pf.detail.rfind("refused system call ", 0) == 0)  // a sandbox's filter: name the call
        f.detail = pf.detail.substr(0, pf.detail.find(" in "));
      return "crashed";
    case PlayerFault::Kind::Exited:
      f.kind = "exit";
      return "ended with status " + std::to_string(pf.status);
    case PlayerFault::Kind::OutOfMemory:
      f.kind = "memory";
      return "ran out of memory";
    case PlayerFault::Kind::WrotePastRecord:
      f.kind = "overrun";
      return "wrote past the record it was given";
    case PlayerFault::Kind::WrotePastRows:
      f.kind = "overrun";
      return "wrote past the rows it was given";
  }
  return "failed";
}

// The fault of player n in the call in progress, with its report line.
Fault FaultOf(Referee& ref, int n, const PlayerFault& pf) {
  Fault f;
  f.player = n;
  f.entry = CurrentEntry();
  f.round = ref.Round;
  f.turn = ref.TurnCount;
  const std::string what = What(ref, pf, f);
  LineBuffer line;
  AppendCallReport(line, what.c_str());
  f.report.assign(line.text, line.size);
  if (!f.detail.empty()) f.report += ": " + f.detail;
  f.has_position = f.entry == Entry::PsGetTurn || f.entry == Entry::PsOppTurn;
  return f;
}

// Player m used the CPU between its calls while player n's call, in
// progress, was stopped at the backstop.
Fault IdleFaultOf(const Referee& ref, int m, const PlayerFault& pf) {
  Fault f;
  f.player = m;
  f.entry = CurrentEntry();
  f.round = ref.Round;
  f.turn = ref.TurnCount;
  f.call = "idle";
  f.kind = "timeout";
  f.detail = "used " + Seconds(pf.cpu_seconds) + " s of CPU in " + Seconds(pf.wall_seconds) + " s";
  LineBuffer line;
  line.Add("pitsow: player ");
  line.AddInt(m);
  line.Add(" (");
  line.Add(PlayerFile(m));
  line.Add(") used the CPU between its calls, during player ");
  line.AddInt(3 - m);
  line.Add("'s ");
  line.Add(EntryName(f.entry));
  f.report.assign(line.text, line.size);
  f.report += ": " + f.detail;
  f.has_position = f.entry == Entry::PsGetTurn || f.entry == Entry::PsOppTurn;
  return f;
}

// Notes the fault of the call in progress. A call stopped at the wall-clock
// backstop may be the doing of the other player, using the CPU between its
// calls: that fault is charged first and this one recorded after it, not
// charged; so is a call the machine starved. Only one fault is charged.
void NoteFault(Referee& ref, int n, const PlayerFault& pf) {
  Fault f = FaultOf(ref, n, pf);
  if (pf.kind == PlayerFault::Kind::Timeout && pf.blocked && !ref.fault) {
    const int m = 3 - n;
    if (ref.players[m] && !Dead(ref, m))
      if (const CallFault idle = ref.players[m]->IdleFault()) {
        ref.fault = IdleFaultOf(ref, m, *idle);
        f.charged = false;
        f.report += " (not charged: player " + std::to_string(m) + " used the CPU)";
        ref.other_faults.push_back(f);
        return;
      }
    if (pf.starved) {  // the match ends all the same, charged to nobody
      f.kind = "starved";
      f.charged = false;
      f.report += " (not charged: starved by the machine)";
    }
  }
  if (!ref.fault)
    ref.fault = f;
  else
    ref.other_faults.push_back(f);
}

// After a call: its cost goes to the round's account and, for a move's
// calls under a time control, to the player's clock; a fault is noted.
void Settle(Referee& ref, int n, bool move, const CallFault& fault) {
  Player& p = *ref.players[n];
  const CallTimes cost = p.LastCall();
  ref.track.cpu[n] += cost.cpu;
  ref.track.wall[n] += cost.wall;
  if (ref.options.time_control.on) {
    if (move) ChargeClock(ref.clocks, n, cost.cpu);
    p.SetBudget(std::nullopt);
  }
  if (fault) NoteFault(ref, n, *fault);
}

// Before a move's calls: a time control caps them at the time left.
void Budget(Referee& ref, int n) {
  if (ref.options.time_control.on) ref.players[n]->SetBudget(ref.clocks.left[n]);
}

}  // namespace

bool CallInit(Referee& ref, int n) {
  EnterCall(n, Entry::PsInit, -1, -1);
  PsBool ok = 0;
  if (const CallFault f = ref.players[n]->Init(ref.Info[n], ok)) NoteFault(ref, n, *f);
  LeaveCall();
  return ok != 0 && !ref.fault;
}

int32_t CallGetTurn(Referee& ref, int n, const HoleRow& myHoles, const HoleRow& oppHoles,
                    int32_t myStore, int32_t oppStore) {
  if (Dead(ref, n)) return 0;
  int32_t answer = 0;
  EnterCall(n, Entry::PsGetTurn, ref.Round, ref.TurnCount);
  Budget(ref, n);
  const CallFault f = ref.players[n]->GetTurn(myHoles, oppHoles, myStore, oppStore, answer);
  Settle(ref, n, true, f);
  if (!f && ref.options.time_control.on)
    ref.track.clock.push_back(MoveMade(ref.clocks, n, ref.options.time_control));
  LeaveCall();
  return answer;
}

void CallOppTurn(Referee& ref, int n, int32_t hole) {
  if (Dead(ref, n)) return;
  EnterCall(n, Entry::PsOppTurn, ref.Round, ref.TurnCount);
  Budget(ref, n);
  Settle(ref, n, true, ref.players[n]->OppTurn(hole));
  LeaveCall();
}

void CallEndRound(Referee& ref, int n, int32_t my, int32_t opp, int32_t turns) {
  if (Dead(ref, n)) return;
  EnterCall(n, Entry::PsEndRound, ref.Round, -1);
  Settle(ref, n, false, ref.players[n]->EndRound(my, opp, turns));
  LeaveCall();
}

void CallDone(Referee& ref, int n) {
  if (Dead(ref, n)) return;
  EnterCall(n, Entry::PsDone, -1, -1);
  if (const CallFault f = ref.players[n]->Done()) NoteFault(ref, n, *f);
  LeaveCall();
}
