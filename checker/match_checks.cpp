// Whole matches of the player under test against random sowing moves,
// played by the referee's own round loop: the same calls in the same
// order, the same turn limit, as in a tournament.
#include <algorithm>
#include <optional>
#include <random>

#include "call_context.h"
#include "check_parts.h"
#include "fixed.h"
#include "match.h"
#include "player_calls.h"
#include "player_init.h"
#include "watched_player.h"

namespace {

// The boards the positions are asked on: the usual one, fewer bones, fewer
// holes down to one, and many bones (more laps).
struct BoardSize {
  int32_t holes;
  int32_t bones;
};
constexpr BoardSize kBoards[] = {{6, 6}, {6, 4}, {4, 3}, {3, 2}, {1, 5}, {6, 13}};

struct MatchOutcome {
  std::optional<std::string> start_error;
  bool refused = false;
  std::optional<FaultAt> fault;
  long rounds = 0;
  long asked = 0;
  long sample_kb = -1;
  long end_kb = -1;
};

// A quiet referee without log or record for plan's board, its turn limit
// the referee's default.
void SetUp(MatchSetup& setup, Seats& seats, const CheckOptions& o, const MatchPlan& plan) {
  Settings& s = setup.settings;
  s.NumHoles = plan.holes;
  s.NumBones = plan.bones;
  s.NumRounds = static_cast<int32_t>(plan.max_rounds);
  s.LogLevel[0] = s.LogLevel[1] = s.LogLevel[2] = 0;
  s.Params[plan.seat] = o.param;
  setup.options.quiet = true;
  seats.fault_told = true;  // the checker tells faults in its own lines
}

// The fault of the player under test, with the call it happened in.
FaultAt FaultOf(const Fault& f, const Player& player, const std::string& where) {
  const bool in_round = f.entry != Entry::PsInit && f.entry != Entry::PsDone;
  const bool in_turn = f.entry == Entry::PsGetTurn || f.entry == Entry::PsOppTurn;
  return FaultAt{*player.Fault(), EntryName(f.entry), in_round ? f.round : -1,
                 in_turn ? f.turn : -1, where};
}

// Both players' PsInit in the referee's order; false when the match ends
// there (a fault, or the player under test cannot play).
bool StartPlayers(const MatchSetup& setup, const RoundState& round, Seats& seats,
                  MatchOutcome& out) {
  for (int n = 1; n <= 2; ++n) {
    FillInfo(setup.settings, n, seats.Info[n]);
    const bool ready = CallInit(setup, round, seats, n);
    if (seats.fault) return false;
    if (!ready) {
      out.refused = true;  // nothing more is called, not even PsDone
      return false;
    }
  }
  return true;
}

// One whole match on a fresh host against random sowing moves.
MatchOutcome PlayMatch(const CheckOptions& o, const MatchPlan& plan, Answers& answers,
                       std::mt19937_64& rng) {
  MatchOutcome out;
  Result<HostedPlayer> host = HostedPlayer::Start(StartOf(o, plan.seat));
  if (!host) {
    out.start_error = host.error().text;
    return out;
  }
  Referee ref;
  SetUp(ref.setup, ref.seats, o, plan);
  const MatchSetup& setup = ref.setup;
  Seats& seats = ref.seats;
  auto watched = std::make_unique<WatchedPlayer>(std::move(*host), ref.round, plan, answers);
  WatchedPlayer& player = *watched;
  // The plan's seat is the player's number, 1 or 2, as the referee counts.
  seats.players[plan.seat] = std::move(watched);
  seats.players[3 - plan.seat] = std::make_unique<RandomMover>(rng);
  const std::string where = (plan.long_match ? "long match, " : "") +
                            BoardName(plan.holes, plan.bones) + " as player " +
                            std::to_string(plan.seat);
  if (StartPlayers(setup, ref.round, seats, out)) {
    MatchTotals totals;
    PlayRounds(setup, ref.round, seats, ref.out, totals, [&] {
      if (++out.rounds == plan.sample_after) out.sample_kb = player.ResidentKb();
      return plan.quota <= 0 || player.asked < plan.quota;
    });
    if (!seats.fault) out.end_kb = player.ResidentKb();
    CallDone(setup, ref.round, seats, 1);
    CallDone(setup, ref.round, seats, 2);
  }
  out.asked = player.asked;
  if (seats.fault) out.fault = FaultOf(*seats.fault, player, where);
  return out;
}

double Median(std::vector<double> v) {
  if (v.empty()) return 0;
  const auto mid = v.begin() + static_cast<std::ptrdiff_t>(v.size() / 2);
  std::nth_element(v.begin(), mid, v.end());
  return *mid;
}

// Microseconds below a millisecond, else milliseconds.
std::string Duration(double seconds) {
  if (seconds < 1e-3) return Fixed(seconds * 1e6, 1) + " us";
  return Fixed(seconds * 1e3, seconds < 0.01 ? 2 : 1) + " ms";
}

std::string MiB(long kb) { return Fixed(static_cast<double>(kb) / 1024.0, 1) + " MiB"; }

// What the matches came to, for the lines.
struct MatchesSeen {
  Answers answers;
  std::optional<std::string> first_fault;  // the first match's fault, described
  std::string refused_boards, boards_asked;
  long matches = 0, rounds = 0;
  MatchPlan long_plan;
  MatchOutcome long_match;
};

// Positions on every board, seats alternating, each board up to its quota.
void PlayPositions(const CheckOptions& o, MatchesSeen& seen, std::mt19937_64& rng) {
  const long boards = static_cast<long>(std::size(kBoards));
  const long quota = (o.positions + boards - 1) / boards;
  for (long k = 0; k < boards && quota > 0 && !seen.first_fault; ++k) {
    MatchPlan plan;
    plan.holes = kBoards[k].holes;
    plan.bones = kBoards[k].bones;
    plan.seat = static_cast<int32_t>(k % 2 + 1);  // boards alternate players 1 and 2
    plan.max_rounds = 100000;
    plan.quota = quota;
    const MatchOutcome m = PlayMatch(o, plan, seen.answers, rng);
    seen.answers.positions += m.asked;
    ++seen.matches;
    seen.rounds += m.rounds;
    if (m.start_error) seen.first_fault = *m.start_error;
    if (m.fault) seen.first_fault = Describe(*m.fault);
    (m.refused ? seen.refused_boards : seen.boards_asked) +=
        " " + BoardName(plan.holes, plan.bones);
  }
}

// The long match, on the usual board.
void PlayLongMatch(const CheckOptions& o, MatchesSeen& seen, std::mt19937_64& rng) {
  MatchPlan& plan = seen.long_plan;
  plan.max_rounds = o.rounds;
  plan.sample_after = std::min(10L, o.rounds);
  plan.long_match = true;
  const size_t before = seen.answers.seconds.size();
  seen.long_match = PlayMatch(o, plan, seen.answers, rng);
  const MatchOutcome& m = seen.long_match;
  seen.answers.in_long_match = static_cast<long>(seen.answers.seconds.size() - before);
  ++seen.matches;
  seen.rounds += m.rounds;
  // Running out of memory in the long match is told by the memory check.
  if (!seen.first_fault && m.fault && m.fault->fault.kind != PlayerFault::Kind::OutOfMemory)
    seen.first_fault = Describe(*m.fault);
  if (!seen.first_fault && m.start_error) seen.first_fault = *m.start_error;
}

void AddAnswerLines(const CheckOptions& o, const MatchesSeen& seen, const Add& add) {
  const Answers& a = seen.answers;
  const std::string head = "answers: " + std::to_string(a.positions) + " positions on" +
                           (seen.boards_asked.empty() ? " no board" : seen.boards_asked) + " and " +
                           std::to_string(a.in_long_match) + " in the long match";
  if (a.out_of_range > 0)
    add(Mark::Fail, head + ": " + std::to_string(a.out_of_range) + " out of range, first " +
                        a.first_out_of_range);
  else if (a.positions < o.positions && seen.first_fault)
    add(Mark::Ok, head + ", each a hole of its side, cut short by a fault");
  else if (!seen.refused_boards.empty())
    add(Mark::Warn, head + ": PsInit answered 0 (cannot play) to" + seen.refused_boards);
  else
    add(Mark::Ok, head + ", each a hole of its side");
  if (a.passes > 0)
    add(Mark::Warn,
        "sowing moves only: " + std::to_string(a.passes) + " passes, first " + a.first_pass);
  else
    add(Mark::Ok, "sowing moves only: no answer was an empty hole");
  if (a.differing > 0)
    add(Mark::Warn, "same answer to the same position: " + std::to_string(a.differing) +
                        " differ, first " + a.first_differing);
  else
    add(Mark::Ok, "same answer to the same position: " + std::to_string(a.seen.size()) +
                      " positions, asked " + std::to_string(static_cast<long>(a.seconds.size())) +
                      " times");
}

void AddOrderLine(const MatchesSeen& seen, const Add& add) {
  const std::string order = "whole matches in the documented order: ";
  if (seen.first_fault)
    add(Mark::Fail, order + *seen.first_fault);
  else
    add(Mark::Ok, order + std::to_string(seen.matches) + " matches, " +
                      std::to_string(seen.rounds) + " rounds, PsInit to PsDone without a fault");
}

void AddMemoryLine(const CheckOptions& o, const MatchesSeen& seen, const Add& add) {
  const MatchOutcome& m = seen.long_match;
  const std::string memory = "memory over " + std::to_string(o.rounds) + " rounds: ";
  if (m.fault && m.fault->fault.kind == PlayerFault::Kind::OutOfMemory)
    return add(Mark::Fail, memory + "grows memory without bound: " + Describe(*m.fault));
  if (m.fault) return add(Mark::Warn, memory + "not measured, as the player " + Describe(*m.fault));
  if (m.start_error) return add(Mark::Warn, memory + "not measured: " + *m.start_error);
  if (m.refused) return add(Mark::Warn, memory + "not measured, PsInit answered 0 (cannot play)");
  if (m.sample_kb < 0 || m.end_kb < 0)
    return add(Mark::Warn, memory + "not measured, the host's VmRSS could not be read");
  const std::string text = MiB(m.sample_kb) + " after round " +
                           std::to_string(seen.long_plan.sample_after) + ", " + MiB(m.end_kb) +
                           " after round " + std::to_string(o.rounds);
  if (m.end_kb - m.sample_kb > o.growth_mb * 1024)
    add(Mark::Fail, memory + "grows memory without bound: " + text + ", more than " +
                        std::to_string(o.growth_mb) + " MiB more");
  else
    add(Mark::Ok, memory + text);
}

void AddTimeLine(const CheckOptions& o, const Answers& a, const Add& add) {
  if (a.seconds.empty()) return add(Mark::Warn, "time per PsGetTurn: no call answered");
  add(Mark::Ok, "time per PsGetTurn: median " + Duration(Median(a.seconds)) + ", max " +
                    Duration(*std::max_element(a.seconds.begin(), a.seconds.end())) + " over " +
                    std::to_string(a.seconds.size()) + " calls (limit " + Fixed(o.move_time, 3) +
                    " s)");
}

}  // namespace

void CheckMatches(const CheckOptions& o, const Add& add) {
  std::mt19937_64 rng(o.seed);
  MatchesSeen seen;
  PlayPositions(o, seen, rng);
  PlayLongMatch(o, seen, rng);
  AddAnswerLines(o, seen, add);
  AddOrderLine(seen, add);
  AddMemoryLine(o, seen, add);
  AddTimeLine(o, seen.answers, add);
}
