#include "bookkeeper.h"

#include <algorithm>
#include <filesystem>

#include "exit_status.h"
#include "latin1.h"

Bookkeeper::Bookkeeper(const TournamentSettings& settings)
    : s_(settings), pairings_(Pairings(settings)) {}

bool Bookkeeper::Retired(int pairing) const {
  const auto [a, b] = pairings_[static_cast<size_t>(pairing)];
  return ledger_.retired.count(Label(a)) || ledger_.retired.count(Label(b));
}

std::optional<Error> Bookkeeper::Open(const std::string& path, bool resume) {
  const bool exists = std::filesystem::exists(path);
  long valid = -1;
  if (exists && !resume)
    return Error{path + " exists: add --resume to continue that run, or choose another --out",
                 kExitUsage};
  if (exists) {
    Result<Ledger> read = LoadResults(path);
    if (!read) return read.error();
    ledger_ = std::move(*read);
    valid = ledger_.valid_bytes;
    if (ledger_.settings != SettingsToJson(s_))
      return Error{path + " was written with other settings; resume with the same ones",
                   kExitUsage};
  }
  Result<ResultsFile> file = OpenResults(path, valid);
  if (!file) return file.error();
  file_ = *file;
  if (!exists)
    Write({{"type", "tournament"},
           {"program", "pitsow-arena"},
           {"version", PITSOW_VERSION},
           {"settings", SettingsToJson(s_)}});
  Reload();
  return std::nullopt;
}

void Bookkeeper::Close() {
  if (auto e = CloseResults(file_)) Fail(*e);
}

void Bookkeeper::Write(const Json& line) {
  Absorb(ledger_, line);
  if (error_) return;
  if (auto e = AppendLine(file_, line)) Fail({e->text, kExitIoError});
}

void Bookkeeper::Fail(Error e) {
  if (!error_) error_ = std::move(e);
  Interrupt();
}

void Bookkeeper::Interrupt() {
  if (!Stopped()) stop_ = TournamentStop::kInterrupted;
}

void Bookkeeper::Finish() {
  if (!Stopped()) stop_ = TournamentStop::kComplete;
}

void Bookkeeper::Reload() {
  for (const FaultRecord& f : ledger_.faults) ++fault_counts_[f.player];
  if (!s_.sprt || s_.players.size() != 2) return;
  for (const auto& [slot, r] : ledger_.rounds) {
    if (slot.seat != 0) continue;
    const auto other = ledger_.rounds.find({slot.pairing, slot.pair, 1});
    if (other != ledger_.rounds.end()) sprt_pairs_.Add(r, other->second);
  }
}

// After every finished pair of a two-player tournament under the
// sequential test: its log-likelihood ratio over the distinct pairs, and
// the stop when it leaves the bounds, recorded with where it happened.
void Bookkeeper::AfterRound(const Slot& slot) {
  if (!s_.sprt || s_.players.size() != 2 || Stopped()) return;
  const auto zero = ledger_.rounds.find({slot.pairing, slot.pair, 0});
  const auto one = ledger_.rounds.find({slot.pairing, slot.pair, 1});
  if (zero == ledger_.rounds.end() || one == ledger_.rounds.end()) return;
  sprt_pairs_.Add(zero->second, one->second);
  const SprtState t = Sprt(*s_.sprt, sprt_pairs_.penta_distinct);
  Json line = {{"type", "sprt"},
               {"llr", t.llr},
               {"lower", t.lower},
               {"upper", t.upper},
               {"pairs", sprt_pairs_.Pairs()},
               {"distinct", sprt_pairs_.wdl_distinct.Total() / 2},
               {"rounds", ledger_.rounds.size()}};
  if (t.verdict != 0) line["decision"] = t.verdict > 0 ? "H1" : "H0";
  Write(line);
  if (t.verdict > 0) stop_ = TournamentStop::kSprtH1;
  if (t.verdict < 0) stop_ = TournamentStop::kSprtH0;
}

void Bookkeeper::ChargeFault(RefereeRun& run, const Json& f) {
  run.MarkFaulted();
  // A fault outside a round (in PsInit, say) is charged to the round
  // that was to come.
  const Job& job = run.Assignment();
  const int64_t told = f["round"].is_number_integer() ? f["round"].get<int64_t>() : -1;
  const size_t round = told >= 0 && static_cast<size_t>(told) < job.pairs.size()
                           ? static_cast<size_t>(told)
                           : std::min(run.Received(), job.pairs.size() - 1);
  const int referee_player = f["player"].get<int>();
  const auto [a, b] = pairings_[static_cast<size_t>(job.pairing)];
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
         {"match", run.Folder()}});
  const int count = ++fault_counts_[label];
  if (count >= s_.max_faults && !ledger_.retired.count(label))
    Write({{"type", "retired"}, {"player", Latin1ToUtf8(label)}, {"faults", count}});
}

void Bookkeeper::ScoreRetired() {
  for (size_t p = 0; p < pairings_.size(); ++p) {
    if (!Retired(static_cast<int>(p))) continue;
    const auto [a, b] = pairings_[p];
    const bool ra = ledger_.retired.count(Label(a)), rb = ledger_.retired.count(Label(b));
    // Without a cap, a retired player's test ends with its last round.
    if (s_.pairs <= 0 && !Stopped()) stop_ = TournamentStop::kRetired;
    for (int k = 0; k < s_.pairs; ++k) {
      if (!InShard(s_, static_cast<int>(p), k)) continue;
      for (int seat = 0; seat < 2; ++seat) {
        const Slot slot{static_cast<int>(p), k, seat};
        if (ledger_.rounds.count(slot)) continue;
        // The referee's number of the player that did not retire.
        int winner = 0;
        if (ra && !rb) winner = seat == 0 ? 2 : 1;
        if (rb && !ra) winner = seat == 0 ? 1 : 2;
        Write(RetiredRoundToJson(s_, slot, winner));
        AfterRound(slot);
      }
    }
  }
}
