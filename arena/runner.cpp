#include "runner.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <fstream>

#include "bookkeeper.h"
#include "charge.h"
#include "clock.h"
#include "exit_status.h"
#include "fixed.h"
#include "ingest.h"
#include "interrupts.h"
#include "live_display.h"
#include "machine.h"
#include "verdict.h"

namespace fs = std::filesystem;

namespace {

// The loop of referee runs: a queue of jobs, the runs under way, and the
// books they write to.
struct Arena {
  const RunOptions& opt;
  Bookkeeper& book;
  LiveDisplay& display;
  RunSetup setup;
  std::deque<Job> queue;
  std::vector<RefereeRun> running;
  std::vector<int> next_pair;  // per pairing: the first pair not yet queued
  size_t batch = 1;            // pairs per referee run

  Arena(const RunOptions& o, Bookkeeper& b, LiveDisplay& d)
      : opt(o),
        book(b),
        display(d),
        setup{o.settings, b.pairings, o.out_dir, o.referee, o.run_limit_seconds} {}

  // The referee runs still to make come a window of pairs at a time (so a
  // test without a cap needs no list of them all): each pairing's next
  // pairs in this shard cut into runs of up to --batch pairs (fewer when
  // that leaves a core idle), both seats of a cut one after the other, the
  // pairings in turn.
  void PlanBatches() {
    next_pair.assign(book.pairings.size(), 0);
    const long total = PlannedRounds(book.s, false);
    const long per_run = total < 0 ? opt.batch : (total + opt.concurrency - 1) / opt.concurrency;
    batch = static_cast<size_t>(std::max(1L, std::min<long>(opt.batch, per_run)));
  }

  // Queues the next windows until there is a run for every slot; false
  // when nothing is left to queue or run.
  bool Refill() {
    const int cap = book.s.pairs > 0 ? book.s.pairs : kUncappedPairs;
    const auto more = [&] {
      return std::any_of(next_pair.begin(), next_pair.end(), [&](int k) { return k < cap; });
    };
    while (queue.size() < static_cast<size_t>(opt.concurrency) && more()) {
      for (size_t p = 0; p < book.pairings.size(); ++p) {
        std::vector<int> mine;
        int& k = next_pair[p];
        for (; k < cap && mine.size() < batch; ++k)
          if (InShard(book.s, static_cast<int>(p), k)) mine.push_back(k);
        for (int seat = 0; seat < 2; ++seat) {
          Job job{static_cast<int>(p), seat, {}};
          for (int pair : mine)
            if (!book.ledger.rounds.count({job.pairing, pair, seat})) job.pairs.push_back(pair);
          if (!job.pairs.empty()) queue.push_back(job);
        }
      }
    }
    return !queue.empty() || !running.empty();
  }

  void Start(const Job& job) {
    Result<RefereeRun> run = StartRefereeRun(setup, job);
    if (!run) return book.Fail(run.error());
    running.push_back(std::move(*run));
  }

  // The rounds a run left unplayed, played by another run first.
  void Requeue(const RefereeRun& r) {
    std::vector<int> rest(r.job.pairs.begin() + static_cast<long>(r.received), r.job.pairs.end());
    if (!rest.empty()) queue.push_front({r.job.pairing, r.job.seat, rest});
  }

  // What a finished referee run leaves to do.
  void Finished(RefereeRun& r) {
    Ingest(r, book, opt.out_dir);
    ChargeWaitingFault(r, book);
    const int status = r.Status();
    if (status == -1) return;  // killed by us
    // A player folder over its share of the disk is its player's fault,
    // however the run ended.
    ChargeFullFolder(r, r, book, opt.out_dir, status);
    if (status == kExitMatchComplete && r.received == r.job.pairs.size()) {
      if (!r.faulted) book.uncharged_in_a_row = 0;
      return;
    }
    // A run that ended early is a player's doing when its referee charged
    // one, or the evidence does (charge.h); else it is played again, and
    // only the machine's own failure stops the tournament.
    if (r.faulted) book.uncharged_in_a_row = 0;
    if (r.starved)
      std::fprintf(stderr,
                   "pitsow-arena: referee run %s/%s: a player was starved by the machine "
                   "(load %s): played again\n",
                   opt.out_dir.c_str(), r.dir.c_str(), Fixed(SampleMachine().load, 2).c_str());
    if (r.faulted || ChargeFailedRun(r, running, book, opt.out_dir, status) || book.stop.empty()) {
      if (!book.Retired(r.job.pairing)) Requeue(r);
      return;
    }
  }

  void KillRetired() {
    for (RefereeRun& r : running) {
      if (r.Exited() || !book.Retired(r.job.pairing)) continue;
      Ingest(r, book, opt.out_dir);
      r.Kill();
      Ingest(r, book, opt.out_dir);
      EmptyFullFolders(opt.out_dir + "/" + r.dir);
    }
  }

  // A referee run past the watchdog's limit: killed, its line written, the
  // rounds it left played by another run; too many such runs end the
  // tournament, as the referee itself is then at fault.
  void Watchdog(RefereeRun& r) {
    r.Kill();
    Ingest(r, book, opt.out_dir);
    EmptyFullFolders(opt.out_dir + "/" + r.dir);
    const double limit = RunLimitOf(setup, r.job);
    book.Write({{"type", "watchdog"},
                {"pairing", r.job.pairing},
                {"seat", r.job.seat},
                {"limit", limit},
                {"match", r.dir}});
    std::fprintf(stderr, "pitsow-arena: referee run %s/%s still running after %s s: killed\n",
                 opt.out_dir.c_str(), r.dir.c_str(), Fixed(limit, 1).c_str());
    if (book.ledger.watchdog >= book.s.max_faults)
      return book.Fail({"the watchdog killed " + std::to_string(book.ledger.watchdog) +
                            " referee runs: the referee is at fault (see " + opt.out_dir + "/" +
                            r.dir + ")",
                        kExitIoError});
    Requeue(r);
  }

  void Reap() {
    for (RefereeRun& r : running) {
      if (r.Exited()) continue;
      Ingest(r, book, opt.out_dir);
      if (r.Overdue(MonotonicSeconds()))
        Watchdog(r);
      else if (r.Poll())
        Finished(r);
    }
    std::erase_if(running, [](const RefereeRun& r) { return r.Exited(); });
  }

  void StartQueued() {
    while (book.stop.empty() && static_cast<int>(running.size()) < opt.concurrency &&
           !queue.empty()) {
      const Job job = queue.front();
      queue.pop_front();
      if (!book.Retired(job.pairing)) Start(job);
    }
  }

  void Loop() {
    while (book.stop.empty() && Refill()) {
      if (Interrupted()) {
        book.stop = "interrupted";
        break;
      }
      StartQueued();
      Pause(50);
      Reap();
      KillRetired();
      book.ScoreRetired();
      display.Draw(book.s, book.ledger, book.sprt_pairs, false);
    }
    for (RefereeRun& r : running) {
      Ingest(r, book, opt.out_dir);
      r.Kill();
    }
    running.clear();
    if (book.stop.empty()) book.stop = "complete";
  }
};

// The results file of the run: a new one with its tournament line, or,
// with --resume, the one there read back into the books.
std::optional<Error> OpenBooks(const RunOptions& options, Bookkeeper& book) {
  const std::string path = options.out_dir + "/results.jsonl";
  std::error_code ec;
  fs::create_directories(options.out_dir, ec);
  const bool exists = fs::exists(path);
  long valid = -1;
  if (exists && !options.resume)
    return Error{path + " exists: add --resume to continue that run, or choose another --out",
                 kExitUsage};
  if (exists) {
    Result<Ledger> read = LoadResults(path);
    if (!read) return read.error();
    book.ledger = std::move(*read);
    valid = book.ledger.valid_bytes;
    if (book.ledger.settings != SettingsToJson(book.s))
      return Error{path + " was written with other settings; resume with the same ones",
                   kExitUsage};
  }
  if (auto e = OpenResults(path, valid, book.file)) return e;
  if (!exists)
    book.Write({{"type", "tournament"},
                {"program", "pitsow-arena"},
                {"version", PITSOW_VERSION},
                {"settings", SettingsToJson(book.s)}});
  book.Reload();
  return std::nullopt;
}

// Plays what is left; the machine's load over the run.
MachineLoad Play(const RunOptions& options, Bookkeeper& book) {
  LiveDisplay display{options.quiet, static_cast<bool>(isatty(1)), MonotonicSeconds(),
                      static_cast<long>(book.ledger.rounds.size())};
  MachineLoad machine{UsableCores(), options.concurrency, SampleMachine(), {}};
  Arena arena(options, book, display);
  arena.PlanBatches();
  book.ScoreRetired();
  arena.Loop();
  display.Draw(book.s, book.ledger, book.sprt_pairs, true);
  machine.end = SampleMachine();
  book.Write(MachineJson(machine));
  book.Write({{"type", "end"}, {"reason", book.stop}});
  return machine;
}

}  // namespace

Result<TournamentEnd> RunTournament(const RunOptions& options) {
  Bookkeeper book(options.settings);
  if (auto e = OpenBooks(options, book)) return *e;
  const bool decided = book.ledger.end == "complete" || book.ledger.end.rfind("sprt", 0) == 0;
  std::optional<MachineLoad> machine;
  {
    CaughtSignals signals;
    if (auto e = signals.Catch()) return *e;
    if (!decided) machine = Play(options, book);
  }
  CloseResults(book.file);

  TournamentEnd end;
  const Summary sum = Summarise(book.s, book.ledger, false);
  end.verdict = VerdictText(book.s, book.ledger, sum);
  if (machine) end.verdict += "\n" + MachineText(*machine, book.s);
  end.verdict += "\n" + VerdictLines(book.s, book.ledger, sum);  // the last word
  std::ofstream(options.out_dir + "/report.txt") << end.verdict;
  end.error = book.error;
  end.interrupted = !book.error && book.stop == "interrupted";
  return end;
}
