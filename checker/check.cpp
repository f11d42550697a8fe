#include "check.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <optional>
#include <random>

#include "exit_status.h"
#include "host_client.h"
#include "pitsow/rules.h"

namespace {

// A round's turn limit, the referee's default; tested when the mover
// changes, as the referee does.
constexpr int32_t kMaxTurns = 300;
// The board of the PsInit checks and of the long match.
constexpr int32_t kHoles = 6;
constexpr int32_t kBones = 6;

// The most positions remembered for the same-answer check, so that a very
// long match does not grow the checker without bound.
constexpr size_t kMaxRemembered = 200000;

struct BoardSize {
  int32_t holes;
  int32_t bones;
};
// The boards the positions are asked on: the usual one, fewer bones, fewer
// holes down to one, and many bones (more laps).
constexpr BoardSize kBoards[] = {{6, 6}, {6, 4}, {4, 3}, {3, 2}, {1, 5}, {6, 13}};

std::string BoardName(int32_t holes, int32_t bones) {
  return std::to_string(holes) + "x" + std::to_string(bones);
}

std::string Fixed(double v, int decimals) {
  char text[48];
  std::snprintf(text, sizeof text, "%.*f", decimals, v);
  return text;
}

// A fault and the call it happened in.
struct FaultAt {
  HostFault fault;
  std::string call;
  long round = -1;
  long turn = -1;
  std::string where;  // the match it happened in, or empty
};

// "crashed (SIGSEGV at address 0x0) in PsGetTurn, round 1, turn 13 (6x6
// as player 1)": the host's own line says what happened, but for a hang.
std::string Describe(const FaultAt& f) {
  std::string what = f.fault.detail;
  const std::string tail = " in " + f.call;  // the host's line names the call; said below
  if (what.size() >= tail.size() && what.compare(what.size() - tail.size(), tail.size(), tail) == 0)
    what.resize(what.size() - tail.size());
  if (f.fault.kind == HostFault::Kind::Timeout)
    what = "hung (over its " + Fixed(f.fault.limit_seconds, 3) + " s limit)";
  else if (f.fault.kind == HostFault::Kind::Exited)
    what = "ended the process with status " + std::to_string(f.fault.status);
  else if (what.empty())
    what = std::string("failed (") + HostFaultName(f.fault.kind) + ")";
  std::string text = what + " in " + f.call;
  if (f.round >= 0) text += ", round " + std::to_string(f.round);
  if (f.turn >= 0) text += ", turn " + std::to_string(f.turn);
  if (!f.where.empty()) text += " (" + f.where + ")";
  return text;
}

HostLimits Limits(const CheckOptions& o) {
  HostLimits limits;
  limits.call_seconds = o.callSeconds;
  limits.move_seconds = o.moveSeconds;
  limits.memory_mb = o.memoryMb;
  limits.sandbox = o.sandbox;
  return limits;
}

PsInfo MakeInfo(int32_t player, int32_t holes, int32_t bones, int32_t param) {
  PsInfo info{};
  info.Size = PS_INFO_SIZE;
  info.MaxVer = PS_INTERFACE_VERSION;
  info.Player = player;
  info.NumHoles = holes;
  info.NumBones = bones;
  info.Param = param;
  return info;
}

// The host's resident set in KiB from /proc, -1 when it cannot be read.
long ResidentKb(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
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

// One PsInit on a fresh host: the record as sent and as answered.
struct InitRun {
  std::optional<std::string> startError;
  std::optional<FaultAt> fault;
  PsInfo sent{};
  PsInfo answered{};
  PsBool ready = 0;
};

InitRun RunInit(const CheckOptions& o, const PsInfo& info) {
  InitRun run;
  run.sent = info;
  run.answered = info;
  HostedPlayer hp;
  if (auto error = StartHost(hp, o.hostExe, o.library, info.Player, Limits(o))) {
    run.startError = *error;
    return run;
  }
  if (auto f = HostInit(hp, run.answered, run.ready)) run.fault = FaultAt{*f, "PsInit", -1, -1, ""};
  StopHost(hp);
  return run;
}

// Bytes behind Size are filled with this pattern, never 0, so that a
// terminating 0 written there shows too.
unsigned char Sentinel(size_t offset) { return static_cast<unsigned char>(0x80 | (offset & 0x7f)); }

std::string FieldAt(size_t offset) {
  if (offset < offsetof(PsInfo, name)) return "the numbers";
  if (offset < offsetof(PsInfo, creator)) return "name";
  if (offset < offsetof(PsInfo, description)) return "creator";
  return "description";
}

// A record of the given Size whose bytes from Size on hold the pattern.
PsInfo ShortRecord(int32_t size, int32_t param) {
  PsInfo info = MakeInfo(1, kHoles, kBones, param);
  info.Size = size;
  auto* bytes = reinterpret_cast<unsigned char*>(&info);
  for (size_t k = static_cast<size_t>(size); k < sizeof info; ++k) bytes[k] = Sentinel(k);
  return info;
}

std::string Shown(const char* text, size_t room) {
  std::string s;
  for (size_t k = 0; k < room && text[k] != '\0' && s.size() < 40; ++k)
    s += text[k] >= 32 && text[k] < 127 ? text[k] : '?';
  return s;
}

// What the answers of all matches showed.
struct Answers {
  long positions = 0;  // asked in the positions matches
  long inLongMatch = 0;
  long outOfRange = 0;
  std::string firstOutOfRange;
  long passes = 0;
  std::string firstPass;
  long differing = 0;
  std::string firstDiffering;
  struct Seen {
    int32_t answer;
    std::string where;
  };
  std::map<std::string, Seen> seen;
  std::vector<double> seconds;  // each PsGetTurn
};

struct MatchPlan {
  int32_t holes = kHoles;
  int32_t bones = kBones;
  int32_t seat = 1;
  long maxRounds = 1;
  long quota = 0;        // stop after the round in which this many positions were asked
  long sampleAfter = 0;  // read the RSS after this round
  bool longMatch = false;
};

struct MatchOutcome {
  std::optional<std::string> startError;
  bool refused = false;
  std::optional<FaultAt> fault;
  long rounds = 0;
  long asked = 0;
  long sampleKb = -1;
  long endKb = -1;
};

std::string PositionText(const PsBoard& b, int me) {
  std::string s;
  for (int k = 0; k < b.NumHoles; ++k) {
    if (k > 0) s += ' ';
    s += std::to_string(b.Holes[me][k]);
  }
  s += " | ";
  for (int k = 0; k < b.NumHoles; ++k) {
    if (k > 0) s += ' ';
    s += std::to_string(b.Holes[1 - me][k]);
  }
  return s + ", stores " + std::to_string(b.Stores[me]) + ":" + std::to_string(b.Stores[1 - me]);
}

// Notes one answer: out of range, a pass, or a different answer to a
// position asked before.
void NoteAnswer(Answers& a, const MatchPlan& plan, const PsBoard& b, int32_t answer, long round,
                long turn) {
  const int me = plan.seat - 1;
  const std::string where = (plan.longMatch ? "long match, " : "") +
                            BoardName(plan.holes, plan.bones) + " as player " +
                            std::to_string(plan.seat) + ", round " + std::to_string(round) +
                            ", turn " + std::to_string(turn);
  if (answer < 1 || answer > plan.holes) {
    if (a.outOfRange++ == 0)
      a.firstOutOfRange =
          "answered " + std::to_string(answer) + " on " + where + " (" + PositionText(b, me) + ")";
    return;
  }
  if (b.Holes[me][answer - 1] == 0 && a.passes++ == 0)
    a.firstPass = "played empty hole " + std::to_string(answer) + " (a pass) on " + where + " (" +
                  PositionText(b, me) + ")";
  std::string key =
      std::to_string(plan.seat) + "/" + std::to_string(plan.bones) + ":" + PositionText(b, me);
  auto it = a.seen.find(key);
  if (it == a.seen.end()) {
    if (a.seen.size() < kMaxRemembered)
      a.seen.emplace(std::move(key), Answers::Seen{answer, where});
    return;
  }
  if (it->second.answer != answer && a.differing++ == 0)
    a.firstDiffering = "hole " + std::to_string(it->second.answer) + " on " + it->second.where +
                       ", hole " + std::to_string(answer) + " on " + where + " (" +
                       PositionText(b, me) + ")";
}

// One whole match on a fresh host against random sowing moves, with the
// calls in the documented order: PsInit, per round PsGetTurn when the
// player is to move and PsOppTurn after each move of its opponent, then
// PsEndRound, and PsDone after the last round.
MatchOutcome PlayMatch(const CheckOptions& o, const MatchPlan& plan, Answers& answers,
                       std::mt19937_64& rng) {
  MatchOutcome out;
  HostedPlayer hp;
  const std::string where = (plan.longMatch ? "long match, " : "") +
                            BoardName(plan.holes, plan.bones) + " as player " +
                            std::to_string(plan.seat);
  const auto fail = [&](const HostFault& f, const char* call, long round, long turn) {
    out.fault = FaultAt{f, call, round, turn, where};
    StopHost(hp);
    return out;
  };
  if (auto error = StartHost(hp, o.hostExe, o.library, plan.seat, Limits(o))) {
    out.startError = *error;
    return out;
  }
  PsInfo info = MakeInfo(plan.seat, plan.holes, plan.bones, o.param);
  PsBool ready = 0;
  if (auto f = HostInit(hp, info, ready)) return fail(*f, "PsInit", -1, -1);
  if (ready == 0) {
    out.refused = true;  // nothing more is called, not even PsDone
    StopHost(hp);
    return out;
  }
  const int me = plan.seat - 1;
  for (long round = 0; round < plan.maxRounds && (plan.quota <= 0 || out.asked < plan.quota);
       ++round) {
    PsBoard b;
    PsSetUpBoard(&b, plan.holes, plan.bones);
    int32_t turns = 0;
    while (!b.RoundOver) {
      const int32_t mover = b.Mover;
      if (mover - 1 == me) {
        int32_t answer = 0;
        const auto start = std::chrono::steady_clock::now();
        if (auto f = HostGetTurn(hp, b.Holes[me], b.Holes[1 - me], b.Stores[me], b.Stores[1 - me],
                                 answer))
          return fail(*f, "PsGetTurn", round, turns);
        answers.seconds.push_back(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        ++out.asked;
        NoteAnswer(answers, plan, b, answer, round, turns);
        if (!PsPlayMove(&b, answer, nullptr)) break;  // rejected: the round ends at once
      } else {
        int32_t moves[PS_MAX_HOLES];
        const int count = PsSowingMoves(&b, moves);
        const int32_t hole = moves[rng() % static_cast<uint64_t>(count)];
        PsPlayMove(&b, hole, nullptr);
        if (auto f = HostOppTurn(hp, hole)) return fail(*f, "PsOppTurn", round, turns);
      }
      ++turns;
      if (b.Mover != mover && turns >= kMaxTurns) break;
    }
    if (auto f = HostEndRound(hp, b.Stores[me], b.Stores[1 - me], turns))
      return fail(*f, "PsEndRound", round, -1);
    out.rounds = round + 1;
    if (out.rounds == plan.sampleAfter) out.sampleKb = ResidentKb(hp.pid);
  }
  out.endKb = ResidentKb(hp.pid);
  if (auto f = HostDone(hp)) return fail(*f, "PsDone", -1, -1);
  StopHost(hp);
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

using Add = std::function<void(Mark, const std::string&)>;

// The PsInit record: the entry points (bound by the first host), Size 352,
// 32 and 16, the versions and the texts. Answers false when nothing more
// can be checked; loaded tells whether the library could be bound at all.
bool CheckInit(const CheckOptions& o, const Add& add, bool& loaded) {
  // The entry points, bound by the first host, and the full record.
  const InitRun full = RunInit(o, MakeInfo(1, kHoles, kBones, o.param));
  if (full.startError) {
    add(Mark::Fail, "entry points: " + *full.startError);
    loaded = false;
    return false;
  }
  add(Mark::Ok, "entry points: PsInit PsGetTurn PsOppTurn PsEndRound PsDone");

  const std::string size352 = "PsInit, Size 352: ";
  if (full.fault)
    add(Mark::Fail, size352 + Describe(*full.fault));
  else if (full.ready == 0)
    add(Mark::Fail,
        size352 + "answered 0 (cannot play) to " + BoardName(kHoles, kBones) + ", the usual board");
  else
    add(Mark::Ok, size352 + "ready, as \"" + Shown(full.answered.name, sizeof full.answered.name) +
                      "\", nothing written past the record");

  // A PsInit that hangs would hang every host after it too.
  if (full.fault && full.fault->fault.kind == HostFault::Kind::Timeout) {
    add(Mark::Warn, "other checks: not run, as PsInit does not return");
    return false;
  }

  for (int32_t size : {32, 16}) {
    const std::string head = "PsInit, Size " + std::to_string(size) + ": ";
    const InitRun run = RunInit(o, ShortRecord(size, o.param));
    if (run.startError || run.fault) {
      add(Mark::Fail, head + (run.fault ? Describe(*run.fault) : *run.startError));
      continue;
    }
    const auto* sent = reinterpret_cast<const unsigned char*>(&run.sent);
    const auto* back = reinterpret_cast<const unsigned char*>(&run.answered);
    size_t changed = static_cast<size_t>(size);
    while (changed < sizeof(PsInfo) && sent[changed] == back[changed]) ++changed;
    if (changed < sizeof(PsInfo))
      add(Mark::Fail, head + "wrote byte " + std::to_string(changed) + " (" + FieldAt(changed) +
                          "), behind Size " + std::to_string(size));
    else
      add(Mark::Ok, head + "nothing written at or behind Size");
  }

  {
    std::string answered, failure;
    for (int32_t maxVer : {1, 0, 5}) {
      InitRun run = full;
      if (maxVer != 1) {
        PsInfo info = MakeInfo(1, kHoles, kBones, o.param);
        info.MaxVer = maxVer;
        run = RunInit(o, info);
      }
      if (maxVer == 1 && full.fault) continue;  // told on the Size 352 line
      if (run.startError || run.fault) {
        if (failure.empty())
          failure = "MaxVer " + std::to_string(maxVer) + ": " +
                    (run.fault ? Describe(*run.fault) : *run.startError);
        continue;
      }
      const int32_t curr = run.answered.CurrVer;
      answered += (answered.empty() ? "" : ", ") + std::to_string(curr);
      if (curr > maxVer && failure.empty())
        failure =
            "answered CurrVer " + std::to_string(curr) + " to MaxVer " + std::to_string(maxVer);
    }
    if (failure.empty())
      add(Mark::Ok, "CurrVer not above MaxVer: " + answered + " to MaxVer 1, 0, 5");
    else
      add(Mark::Fail, "CurrVer not above MaxVer: " + failure);
  }

  {
    std::string failure;
    const struct {
      const char* name;
      const char* text;
      size_t room;
    } texts[] = {{"name", full.answered.name, sizeof full.answered.name},
                 {"creator", full.answered.creator, sizeof full.answered.creator},
                 {"description", full.answered.description, sizeof full.answered.description}};
    for (const auto& t : texts)
      if (failure.empty() && std::memchr(t.text, 0, t.room) == nullptr)
        failure =
            std::string(t.name) + " has no 0 byte within its " + std::to_string(t.room) + " bytes";
    if (full.fault)
      add(Mark::Warn, "texts end within their room: not seen, PsInit faulted");
    else if (failure.empty())
      add(Mark::Ok, "texts end within their room");
    else
      add(Mark::Fail, "texts end within their room: " + failure);
  }

  return true;
}

// Whole matches: the positions on every board, seats alternating, then
// the long match; the answers, faults, memory and time they showed.
void CheckMatches(const CheckOptions& o, const Add& add) {
  // Positions on every board, seats alternating, then the long match.
  std::mt19937_64 rng(o.seed);
  Answers answers;
  std::optional<std::string> firstFault;  // the first match's fault, described
  std::string refusedBoards, boardsAsked;
  long matches = 0, rounds = 0;
  const long boards = static_cast<long>(std::size(kBoards));
  const long quota = (o.positions + boards - 1) / boards;
  for (long k = 0; k < boards && quota > 0 && !firstFault; ++k) {
    MatchPlan plan;
    plan.holes = kBoards[k].holes;
    plan.bones = kBoards[k].bones;
    plan.seat = static_cast<int32_t>(k % 2 + 1);
    plan.maxRounds = 100000;
    plan.quota = quota;
    const MatchOutcome m = PlayMatch(o, plan, answers, rng);
    answers.positions += m.asked;
    ++matches;
    rounds += m.rounds;
    if (m.startError) firstFault = *m.startError;
    if (m.fault) firstFault = Describe(*m.fault);
    if (m.refused)
      refusedBoards += " " + BoardName(plan.holes, plan.bones);
    else
      boardsAsked += " " + BoardName(plan.holes, plan.bones);
  }

  MatchPlan longPlan;
  longPlan.maxRounds = o.rounds;
  longPlan.sampleAfter = std::min(10L, o.rounds);
  longPlan.longMatch = true;
  const size_t before = answers.seconds.size();
  const MatchOutcome longMatch = PlayMatch(o, longPlan, answers, rng);
  answers.inLongMatch = static_cast<long>(answers.seconds.size() - before);
  ++matches;
  rounds += longMatch.rounds;
  // Running out of memory in the long match is told by the memory check.
  if (!firstFault && longMatch.fault && longMatch.fault->fault.kind != HostFault::Kind::OutOfMemory)
    firstFault = Describe(*longMatch.fault);
  if (!firstFault && longMatch.startError) firstFault = *longMatch.startError;

  {
    std::string head = "answers: " + std::to_string(answers.positions) + " positions on" +
                       (boardsAsked.empty() ? " no board" : boardsAsked) + " and " +
                       std::to_string(answers.inLongMatch) + " in the long match";
    if (answers.outOfRange > 0)
      add(Mark::Fail, head + ": " + std::to_string(answers.outOfRange) + " out of range, first " +
                          answers.firstOutOfRange);
    else if (answers.positions < o.positions && firstFault)
      add(Mark::Ok, head + ", each a hole of its side, cut short by a fault");
    else if (!refusedBoards.empty())
      add(Mark::Warn, head + ": PsInit answered 0 (cannot play) to" + refusedBoards);
    else
      add(Mark::Ok, head + ", each a hole of its side");
  }
  if (answers.passes > 0)
    add(Mark::Warn, "sowing moves only: " + std::to_string(answers.passes) + " passes, first " +
                        answers.firstPass);
  else
    add(Mark::Ok, "sowing moves only: no answer was an empty hole");
  if (answers.differing > 0)
    add(Mark::Warn, "same answer to the same position: " + std::to_string(answers.differing) +
                        " differ, first " + answers.firstDiffering);
  else
    add(Mark::Ok, "same answer to the same position: " + std::to_string(answers.seen.size()) +
                      " positions, asked " +
                      std::to_string(static_cast<long>(answers.seconds.size())) + " times");

  const std::string order = "whole matches in the documented order: ";
  if (firstFault)
    add(Mark::Fail, order + *firstFault);
  else
    add(Mark::Ok, order + std::to_string(matches) + " matches, " + std::to_string(rounds) +
                      " rounds, PsInit to PsDone without a fault");

  const std::string memory = "memory over " + std::to_string(o.rounds) + " rounds: ";
  if (longMatch.fault && longMatch.fault->fault.kind == HostFault::Kind::OutOfMemory)
    add(Mark::Fail, memory + "grows memory without bound: " + Describe(*longMatch.fault));
  else if (longMatch.fault)
    add(Mark::Warn, memory + "not measured, as the player " + Describe(*longMatch.fault));
  else if (longMatch.startError)
    add(Mark::Warn, memory + "not measured: " + *longMatch.startError);
  else if (longMatch.refused)
    add(Mark::Warn, memory + "not measured, PsInit answered 0 (cannot play)");
  else if (longMatch.sampleKb < 0 || longMatch.endKb < 0)
    add(Mark::Warn, memory + "not measured, the host's VmRSS could not be read");
  else {
    const long growth = longMatch.endKb - longMatch.sampleKb;
    const std::string text = MiB(longMatch.sampleKb) + " after round " +
                             std::to_string(longPlan.sampleAfter) + ", " + MiB(longMatch.endKb) +
                             " after round " + std::to_string(o.rounds);
    if (growth > o.growthMb * 1024)
      add(Mark::Fail, memory + "grows memory without bound: " + text + ", more than " +
                          std::to_string(o.growthMb) + " MiB more");
    else
      add(Mark::Ok, memory + text);
  }

  if (answers.seconds.empty())
    add(Mark::Warn, "time per PsGetTurn: no call answered");
  else
    add(Mark::Ok, "time per PsGetTurn: median " + Duration(Median(answers.seconds)) + ", max " +
                      Duration(*std::max_element(answers.seconds.begin(), answers.seconds.end())) +
                      " over " + std::to_string(answers.seconds.size()) + " calls (limit " +
                      Fixed(o.moveSeconds, 3) + " s)");
}

}  // namespace

CheckResult RunChecks(const CheckOptions& o, const std::function<void(const CheckLine&)>& onLine) {
  CheckResult result;
  const Add add = [&](Mark mark, const std::string& text) {
    result.lines.push_back({mark, text});
    if (onLine) onLine(result.lines.back());
  };
  if (CheckInit(o, add, result.loaded)) CheckMatches(o, add);
  return result;
}

std::string FormatLine(const CheckLine& line) {
  const char* mark = line.mark == Mark::Ok     ? "[ok]   "
                     : line.mark == Mark::Warn ? "[warn] "
                                               : "[FAIL] ";
  return mark + line.text;
}

int CheckExitStatus(const CheckResult& result) {
  if (!result.loaded) return kExitPlayerMissing;
  for (const CheckLine& line : result.lines)
    if (line.mark == Mark::Fail) return kExitPlayerCannotPlay;
  return kExitMatchComplete;
}
