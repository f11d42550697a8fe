#include "bookkeeper.h"

#include <algorithm>

#include "exit_status.h"
#include "latin1.h"

bool Bookkeeper::Retired(int pairing) const {
  const auto [a, b] = pairings[static_cast<size_t>(pairing)];
  return ledger.retired.count(Label(a)) || ledger.retired.count(Label(b));
}

void Bookkeeper::Write(const Json& line) {
  Absorb(ledger, line);
  if (error) return;
  if (auto e = AppendLine(file, line)) Fail({e->text, kExitIoError});
}

void Bookkeeper::Fail(Error e) {
  if (!error) error = std::move(e);
  if (stop.empty()) stop = "interrupted";
}

void Bookkeeper::Reload() {
  for (const FaultRecord& f : ledger.faults) ++fault_counts[f.player];
  if (!s.sprt || s.players.size() != 2) return;
  for (const auto& [slot, r] : ledger.rounds) {
    if (slot.seat != 0) continue;
    const auto other = ledger.rounds.find({slot.pairing, slot.pair, 1});
    if (other != ledger.rounds.end()) sprt_pairs.Add(r, other->second);
  }
}

// After every finished pair of a two-player tournament under the
// sequential test: its log-likelihood ratio over the distinct pairs, and
// the stop when it leaves the bounds, recorded with where it happened.
void Bookkeeper::AfterRound(const Slot& slot) {
  if (!s.sprt || s.players.size() != 2 || !stop.empty()) return;
  const auto zero = ledger.rounds.find({slot.pairing, slot.pair, 0});
  const auto one = ledger.rounds.find({slot.pairing, slot.pair, 1});
  if (zero == ledger.rounds.end() || one == ledger.rounds.end()) return;
  sprt_pairs.Add(zero->second, one->second);
  const SprtState t = Sprt(*s.sprt, sprt_pairs.penta_distinct);
  Json line = {{"type", "sprt"},
               {"llr", t.llr},
               {"lower", t.lower},
               {"upper", t.upper},
               {"pairs", sprt_pairs.Pairs()},
               {"distinct", sprt_pairs.wdl_distinct.Total() / 2},
               {"rounds", ledger.rounds.size()}};
  if (t.verdict != 0) line["decision"] = t.verdict > 0 ? "H1" : "H0";
  Write(line);
  if (t.verdict > 0) stop = "sprt-h1";
  if (t.verdict < 0) stop = "sprt-h0";
}

void Bookkeeper::ChargeFault(RefereeRun& run, const Json& f) {
  run.faulted = true;
  // A fault outside a round (in PsInit, say) is charged to the round
  // that was to come.
  const Job& job = run.job;
  const int64_t told = f["round"].is_number_integer() ? f["round"].get<int64_t>() : -1;
  const size_t round = told >= 0 && static_cast<size_t>(told) < job.pairs.size()
                           ? static_cast<size_t>(told)
                           : std::min(run.received, job.pairs.size() - 1);
  const int referee_player = f["player"].get<int>();
  const auto [a, b] = pairings[static_cast<size_t>(job.pairing)];
  const bool is_a = (referee_player == 1) == (job.seat == 0);
  const std::string label = Label(is_a ? a : b);
  Write({{"type", "fault"},
         {"pairing", job.pairing},
         {"pair", job.pairs[round]},
         {"seat", job.seat},
         {"player", Latin1ToUtf8(label)},
         {"kind", f.value("kind", "")},
         {"round", round},
         {"report", f.value("report", "")},
         {"match", run.dir}});
  const int count = ++fault_counts[label];
  if (count >= s.max_faults && !ledger.retired.count(label))
    Write({{"type", "retired"}, {"player", Latin1ToUtf8(label)}, {"faults", count}});
}

void Bookkeeper::ScoreRetired() {
  for (size_t p = 0; p < pairings.size(); ++p) {
    if (!Retired(static_cast<int>(p))) continue;
    const auto [a, b] = pairings[p];
    const bool ra = ledger.retired.count(Label(a)), rb = ledger.retired.count(Label(b));
    // Without a cap, a retired player's test ends with its last round.
    if (s.pairs <= 0 && stop.empty()) stop = "retired";
    for (int k = 0; k < s.pairs; ++k) {
      if (!InShard(s, static_cast<int>(p), k)) continue;
      for (int seat = 0; seat < 2; ++seat) {
        const Slot slot{static_cast<int>(p), k, seat};
        if (ledger.rounds.count(slot)) continue;
        // The referee's number of the player that did not retire.
        int winner = 0;
        if (ra && !rb) winner = seat == 0 ? 2 : 1;
        if (rb && !ra) winner = seat == 0 ? 1 : 2;
        Write(RetiredRoundToJson(s, slot, winner));
        AfterRound(slot);
      }
    }
  }
}
