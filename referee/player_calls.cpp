#include "player_calls.h"

#include <cstring>

#include "fixed.h"

namespace {

// A dead player is not called again.
bool Dead(const Seats& seats, int n) { return seats.players[n]->Fault().has_value(); }

// Which limit a call ran past, as the report names it.
std::string LimitBroken(const LongOptions& options, const PlayerFault& pf) {
  switch (pf.limit) {
    case TimeLimit::Budget:
      return "ran out of its time of " + options.time_control.text + " s";
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
std::string What(const LongOptions& options, const PlayerFault& pf, Fault& f) {
  switch (pf.kind) {
    case PlayerFault::Kind::Timeout:
      f.kind = "timeout";
      f.detail = Figures(pf);
      return LimitBroken(options, pf);
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
Fault FaultOf(const LongOptions& options, const RoundState& round, int n, const PlayerFault& pf) {
  Fault f;
  f.player = n;
  f.entry = CurrentEntry();
  f.round = round.Round;
  f.turn = round.TurnCount;
  const std::string what = What(options, pf, f);
  LineBuffer line;
  AppendCallReport(line, what.c_str());
  f.report.assign(line.text, line.size);
  if (!f.detail.empty()) f.report += ": " + f.detail;
  f.has_position = f.entry == Entry::PsGetTurn || f.entry == Entry::PsOppTurn;
  return f;
}

// Player m used the CPU between its calls while player n's call, in
// progress, was stopped at the backstop.
Fault IdleFaultOf(const RoundState& round, int m, const PlayerFault& pf) {
  Fault f;
  f.player = m;
  f.entry = CurrentEntry();
  f.round = round.Round;
  f.turn = round.TurnCount;
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
void NoteFault(const MatchSetup& setup, const RoundState& round, Seats& seats, int n,
               const PlayerFault& pf) {
  Fault f = FaultOf(setup.options, round, n, pf);
  if (pf.kind == PlayerFault::Kind::Timeout && pf.blocked && !seats.fault) {
    const int m = 3 - n;
    if (seats.players[m] && !Dead(seats, m))
      if (const CallFault idle = seats.players[m]->IdleFault()) {
        seats.fault = IdleFaultOf(round, m, *idle);
        f.charged = false;
        f.report += " (not charged: player " + std::to_string(m) + " used the CPU)";
        seats.other_faults.push_back(f);
        return;
      }
    if (pf.starved) {  // the match ends all the same, charged to nobody
      f.kind = "starved";
      f.charged = false;
      f.report += " (not charged: starved by the machine)";
    }
  }
  if (!seats.fault)
    seats.fault = f;
  else
    seats.other_faults.push_back(f);
}

// After a call: its cost goes to the round's account and, for a move's
// calls under a time control, to the player's clock; a fault is noted.
void Settle(const MatchSetup& setup, RoundState& round, Seats& seats, int n, bool move,
            const CallFault& fault) {
  Player& p = *seats.players[n];
  const CallTimes cost = p.LastCall();
  round.track.cpu[n] += cost.cpu;
  round.track.wall[n] += cost.wall;
  if (setup.options.time_control.on) {
    if (move) ChargeClock(round.clocks, n, cost.cpu);
    p.SetBudget(std::nullopt);
  }
  if (fault) NoteFault(setup, round, seats, n, *fault);
}

// Before a move's calls: a time control caps them at the time left.
void Budget(const MatchSetup& setup, const RoundState& round, Seats& seats, int n) {
  if (setup.options.time_control.on) seats.players[n]->SetBudget(round.clocks.left[n]);
}

}  // namespace

bool CallInit(const MatchSetup& setup, const RoundState& round, Seats& seats, int n) {
  EnterCall(n, Entry::PsInit, -1, -1);
  PsBool ok = 0;
  if (const CallFault f = seats.players[n]->Init(seats.Info[n], ok))
    NoteFault(setup, round, seats, n, *f);
  LeaveCall();
  return ok != 0 && !seats.fault;
}

int32_t CallGetTurn(const MatchSetup& setup, RoundState& round, Seats& seats, int n,
                    const HoleRow& MyHoles, const HoleRow& OppHoles, int32_t MyStore,
                    int32_t OppStore) {
  if (Dead(seats, n)) return 0;
  int32_t answer = 0;
  EnterCall(n, Entry::PsGetTurn, round.Round, round.TurnCount);
  Budget(setup, round, seats, n);
  const CallFault f = seats.players[n]->GetTurn(MyHoles, OppHoles, MyStore, OppStore, answer);
  Settle(setup, round, seats, n, true, f);
  if (!f && setup.options.time_control.on)
    round.track.clock.push_back(MoveMade(round.clocks, n, setup.options.time_control));
  LeaveCall();
  return answer;
}

void CallOppTurn(const MatchSetup& setup, RoundState& round, Seats& seats, int n, int32_t hole) {
  if (Dead(seats, n)) return;
  EnterCall(n, Entry::PsOppTurn, round.Round, round.TurnCount);
  Budget(setup, round, seats, n);
  Settle(setup, round, seats, n, true, seats.players[n]->OppTurn(hole));
  LeaveCall();
}

void CallEndRound(const MatchSetup& setup, RoundState& round, Seats& seats, int n, int32_t my,
                  int32_t opp, int32_t turns) {
  if (Dead(seats, n)) return;
  EnterCall(n, Entry::PsEndRound, round.Round, -1);
  Settle(setup, round, seats, n, false, seats.players[n]->EndRound(my, opp, turns));
  LeaveCall();
}

void CallDone(const MatchSetup& setup, const RoundState& round, Seats& seats, int n) {
  if (Dead(seats, n)) return;
  EnterCall(n, Entry::PsDone, -1, -1);
  if (const CallFault f = seats.players[n]->Done()) NoteFault(setup, round, seats, n, *f);
  LeaveCall();
}
