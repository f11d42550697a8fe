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
        setup{o.settings, b.PairingList(), o.out_dir, o.referee, o.run_limit_seconds} {}

  // The referee runs still to make come a window of pairs at a time (so a
  // test without a cap needs no list of them all): each pairing's next
  // pairs in this shard cut into runs of up to --batch pairs (fewer when
  // that leaves a core idle), both seats of a cut one after the other, the
  // pairings in turn.
  void PlanBatches() {
    next_pair.assign(book.PairingList().size(), 0);
    const long total = PlannedRounds(book.Settings(), false);
    const long per_run = total < 0 ? opt.batch : (total + opt.concurrency - 1) / opt.concurrency;
    batch = static_cast<size_t>(std::max(1L, std::min<long>(opt.batch, per_run)));
  }

  // Queues the next windows until there is a run for every slot; false
  // when nothing is left to queue or run.
  bool Refill() {
    const int cap = book.Settings().pairs > 0 ? book.Settings().pairs : kUncappedPairs;
    const auto more = [&] {
      return std::any_of(next_pair.begin(), next_pair.end(), [&](int k) { return k < cap; });
    };
    while (queue.size() < static_cast<size_t>(opt.concurrency) && more()) {
      for (size_t p = 0; p < book.PairingList().size(); ++p) {
        std::vector<int> mine;
        int& k = next_pair[p];
        for (; k < cap && mine.size() < batch; ++k)
          if (InShard(book.Settings(), static_cast<int>(p), k)) mine.push_back(k);
        for (int seat = 0; seat < 2; ++seat) {
          Job job{static_cast<int>(p), seat, {}};
          for (int pair : mine)
            if (!book.Recorded().rounds.count({job.pairing, pair, seat})) job.pairs.push_back(pair);
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
    std::vector<int> rest = r.Unplayed();
    if (!rest.empty()) queue.push_front({r.Assignment().pairing, r.Assignment().seat, rest});
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
    if (status == kExitMatchComplete && r.Received() == r.Assignment().pairs.size()) {
      if (!r.Faulted()) book.RunSettled();
      return;
    }
    // A run that ended early is a player's doing when its referee charged
    // one, or the evidence does (charge.h); else it is played again, and
    // only the machine's own failure stops the tournament.
    if (r.Faulted()) book.RunSettled();
    if (r.Starved())
      std::fprintf(stderr,
                   "pitsow-arena: referee run %s/%s: a player was starved by the machine "
                   "(load %s): played again\n",
                   opt.out_dir.c_str(), r.Folder().c_str(), Fixed(SampleMachine().load, 2).c_str());
    if (r.Faulted() || ChargeFailedRun(r, running, book, opt.out_dir, status) || !book.Stopped()) {
      if (!book.Retired(r.Assignment().pairing)) Requeue(r);
      return;
    }
  }

  void KillRetired() {
    for (RefereeRun& r : running) {
      if (r.Exited() || !book.Retired(r.Assignment().pairing)) continue;
      Ingest(r, book, opt.out_dir);
      r.Kill();
      Ingest(r, book, opt.out_dir);
      EmptyFullFolders(opt.out_dir + "/" + r.Folder());
    }
  }

  // A referee run past the watchdog's limit: killed, its line written, the
  // rounds it left played by another run; too many such runs end the
  // tournament, as the referee itself is then at fault.
  void Watchdog(RefereeRun& r) {
    r.Kill();
    Ingest(r, book, opt.out_dir);
    EmptyFullFolders(opt.out_dir + "/" + r.Folder());
    const double limit = RunLimitOf(setup, r.Assignment());
    book.Write({{"type", "watchdog"},
                {"pairing", r.Assignment().pairing},
                {"seat", r.Assignment().seat},
                {"limit", limit},
                {"match", r.Folder()}});
    std::fprintf(stderr, "pitsow-arena: referee run %s/%s still running after %s s: killed\n",
                 opt.out_dir.c_str(), r.Folder().c_str(), Fixed(limit, 1).c_str());
    if (book.Recorded().watchdog >= book.Settings().max_faults)
      return book.Fail({"the watchdog killed " + std::to_string(book.Recorded().watchdog) +
                            " referee runs: the referee is at fault (see " + opt.out_dir + "/" +
                            r.Folder() + ")",
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
    while (!book.Stopped() && static_cast<int>(running.size()) < opt.concurrency &&
           !queue.empty()) {
      const Job job = queue.front();
      queue.pop_front();
      if (!book.Retired(job.pairing)) Start(job);
    }
  }

  void Loop() {
    while (!book.Stopped() && Refill()) {
      if (Interrupted()) {
        book.Interrupt();
        break;
      }
      StartQueued();
      Pause(50);
      Reap();
      KillRetired();
      book.ScoreRetired();
      display.Draw(book.Settings(), book.Recorded(), book.SprtPairs(), false);
    }
    for (RefereeRun& r : running) {
      Ingest(r, book, opt.out_dir);
      r.Kill();
    }
    running.clear();
    book.Finish();
  }
};

// The results file of the run: a new one with its tournament line, or,
// with --resume, the one there read back into the books.
std::optional<Error> OpenBooks(const RunOptions& options, Bookkeeper& book) {
  std::error_code ec;
  // A folder that cannot be made is told by the results file's open.
  fs::create_directories(options.out_dir, ec);
  return book.Open(options.out_dir + "/results.jsonl", options.resume);
}

// Plays what is left; the machine's load over the run.
MachineLoad Play(const RunOptions& options, Bookkeeper& book) {
  LiveDisplay display{options.quiet, static_cast<bool>(isatty(1)), MonotonicSeconds(),
                      static_cast<long>(book.Recorded().rounds.size())};
  MachineLoad machine{UsableCores(), options.concurrency, SampleMachine(), {}};
  Arena arena(options, book, display);
  arena.PlanBatches();
  book.ScoreRetired();
  arena.Loop();
  display.Draw(book.Settings(), book.Recorded(), book.SprtPairs(), true);
  machine.end = SampleMachine();
  book.Write(MachineJson(machine));
  book.Write({{"type", "end"}, {"reason", StopText(book.Stop())}});
  return machine;
}

}  // namespace

Result<TournamentEnd> RunTournament(const RunOptions& options) {
  Bookkeeper book(options.settings);
  if (auto e = OpenBooks(options, book)) return *e;
  const bool decided = Decided(StopFromText(book.Recorded().end));
  std::optional<MachineLoad> machine;
  {
    CaughtSignals signals;
    if (auto e = signals.Catch()) return *e;
    if (!decided) machine = Play(options, book);
  }
  book.Close();

  TournamentEnd end;
  const TournamentSettings& s = book.Settings();
  const Summary sum = Summarise(s, book.Recorded(), false);
  end.verdict = VerdictText(s, book.Recorded(), sum);
  if (machine) end.verdict += "\n" + MachineText(*machine, s);
  end.verdict += "\n" + VerdictLines(s, book.Recorded(), sum);  // the last word
  end.error = book.FirstError();
  if (auto e = WriteVerdictFile(options.out_dir, end.verdict); e && !end.error) end.error = e;
  end.interrupted = !book.FirstError() && book.Stop() == TournamentStop::kInterrupted;
  return end;
}
