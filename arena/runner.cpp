#include "runner.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <deque>
#include <filesystem>
#include <fstream>
#include <set>

#include "exit_status.h"
#include "machine.h"
#include "match_record.h"
#include "pair_tally.h"
#include "record_check.h"
#include "records.h"
#include "verdict.h"
#include "watchdog.h"

namespace fs = std::filesystem;

namespace {

volatile sig_atomic_t g_interrupted = 0;
// A pipe that a finished referee run wakes the main loop through, so the
// next run starts at once rather than at the next look at the records.
int g_wake[2] = {-1, -1};

void Wake() {
  const int saved = errno;
  if (g_wake[1] >= 0) [[maybe_unused]]
    const ssize_t n = write(g_wake[1], "x", 1);
  errno = saved;
}

void OnInterrupt(int) {
  g_interrupted = 1;
  Wake();
}

void OnChild(int) { Wake(); }

// Waits up to `ms` milliseconds or until woken.
void Pause(int ms) {
  pollfd p{g_wake[0], POLLIN, 0};
  if (poll(&p, 1, ms) > 0) {
    char drain[64];
    while (read(g_wake[0], drain, sizeof drain) > 0) {
    }
  }
}

double Now() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

// One referee run to be made: a pairing, a seat and the pairs whose
// openings it plays, in order (round r plays pairs[r]).
struct Job {
  int pairing = 0, seat = 0;
  std::vector<int> pairs;
};

struct Running {
  Job job;
  pid_t pid = -1;
  std::string dir;  // relative to the output folder
  long offset = 0;  // bytes of match.jsonl consumed
  size_t received = 0;
  bool exited = false;
  int status = 0;
  Json fault;  // a fault line waiting for its round's line
  bool faulted = false;
  int lines = 0;        // lines of match.jsonl read
  double deadline = 0;  // the watchdog's, on the monotonic clock
};

struct Arena {
  RunOptions opt;
  TournamentSettings& s;
  std::vector<std::pair<int, int>> pairings;
  Ledger ledger;
  ResultsFile file;
  std::deque<Job> queue;
  std::vector<Running> running;
  std::map<std::string, int> fault_counts;
  PairTally sprt_pairs;        // complete pairs so far, for the sequential test
  std::vector<int> next_pair;  // per pairing: the first pair not yet queued
  size_t batch = 1;            // pairs per referee run
  std::string stop;            // end reason once decided
  std::string error;           // a fatal error line
  int error_status = 0;
  long rounds_at_start = 0;
  double started = 0, last_draw = 0;
  int drawn_lines = 0;
  bool tty = false;

  explicit Arena(const RunOptions& o) : opt(o), s(opt.settings), pairings(Pairings(opt.settings)) {}

  std::string Label(int player) const { return s.players[static_cast<size_t>(player)].label; }

  bool Retired(int pairing) const {
    const auto [a, b] = pairings[static_cast<size_t>(pairing)];
    return ledger.retired.count(Label(a)) || ledger.retired.count(Label(b));
  }

  void Write(const Json& line) {
    Absorb(ledger, line);
    if (!error.empty()) return;
    const std::string e = AppendLine(file, line);
    if (!e.empty()) Fail(e, kExitIoError);
  }

  void Fail(const std::string& e, int status) {
    if (error.empty()) {
      error = e;
      error_status = status;
    }
    if (stop.empty()) stop = "interrupted";
  }

  // The referee runs still to make come a window of pairs at a time (so a
  // test without a cap needs no list of them all): each pairing's next
  // pairs in this shard cut into runs of up to --batch pairs (fewer when
  // that leaves a core idle), both seats of a cut one after the other, the
  // pairings in turn.
  void PlanBatches() {
    next_pair.assign(pairings.size(), 0);
    const long total = PlannedRounds(s, false);
    const long per_run = total < 0 ? opt.batch : (total + opt.concurrency - 1) / opt.concurrency;
    batch = static_cast<size_t>(std::max(1L, std::min<long>(opt.batch, per_run)));
  }

  // Queues the next windows until there is a run for every slot; false
  // when nothing is left to queue or run.
  bool Refill() {
    const int cap = s.pairs > 0 ? s.pairs : kUncappedPairs;
    const auto more = [&] {
      return std::any_of(next_pair.begin(), next_pair.end(), [&](int k) { return k < cap; });
    };
    while (queue.size() < static_cast<size_t>(opt.concurrency) && more()) {
      for (size_t p = 0; p < pairings.size(); ++p) {
        std::vector<int> mine;
        int& k = next_pair[p];
        for (; k < cap && mine.size() < batch; ++k)
          if (InShard(s, static_cast<int>(p), k)) mine.push_back(k);
        for (int seat = 0; seat < 2; ++seat) {
          Job job{static_cast<int>(p), seat, {}};
          for (int pair : mine)
            if (!ledger.rounds.count({job.pairing, pair, seat})) job.pairs.push_back(pair);
          if (!job.pairs.empty()) queue.push_back(job);
        }
      }
    }
    return !queue.empty() || !running.empty();
  }

  // Scores every unplayed round of a retired player's pairings as lost.
  void ScoreRetired() {
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

  // After every finished pair of a two-player tournament under the
  // sequential test: its log-likelihood ratio over the distinct pairs, and
  // the stop when it leaves the bounds, recorded with where it happened.
  void AfterRound(const Slot& slot) {
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

  void Fault(Running& r, const Json& f) {
    r.faulted = true;
    // A fault outside a round (in PsInit, say) is charged to the round
    // that was to come.
    const int64_t told = f["round"].is_number_integer() ? f["round"].get<int64_t>() : -1;
    const size_t round = told >= 0 && static_cast<size_t>(told) < r.job.pairs.size()
                             ? static_cast<size_t>(told)
                             : std::min(r.received, r.job.pairs.size() - 1);
    const int referee_player = f["player"].get<int>();
    const auto [a, b] = pairings[static_cast<size_t>(r.job.pairing)];
    const bool is_a = (referee_player == 1) == (r.job.seat == 0);
    const std::string label = Label(is_a ? a : b);
    Write({{"type", "fault"},
           {"pairing", r.job.pairing},
           {"pair", r.job.pairs[round]},
           {"seat", r.job.seat},
           {"player", Latin1ToUtf8(label)},
           {"kind", f.value("kind", "")},
           {"round", round},
           {"report", f.value("report", "")},
           {"match", r.dir}});
    const int count = ++fault_counts[label];
    if (count >= s.max_faults && !ledger.retired.count(label))
      Write({{"type", "retired"}, {"player", Latin1ToUtf8(label)}, {"faults", count}});
  }

  // Reads the whole lines match.jsonl has gained.
  void Consume(Running& r) {
    const std::string path = opt.out_dir + "/" + r.dir + "/match.jsonl";
    struct stat st {};
    if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return;  // never a FIFO's wait
    std::ifstream in(path, std::ios::binary);
    if (!in) return;
    in.seekg(r.offset);
    std::string line;
    while (std::getline(in, line)) {
      if (in.eof()) break;  // no newline yet: a line still being written
      r.offset += static_cast<long>(line.size()) + 1;
      if (!line.empty() && line.back() == '\r') line.pop_back();
      const Json j = Json::parse(line, nullptr, false);
      const std::string where = path + ", line " + std::to_string(++r.lines) + ": ";
      if (j.is_discarded()) return Fail(where + "not JSON", kExitIoError);
      if (const auto why = CheckMatchLine(j)) return Fail(where + *why, kExitIoError);
      const std::string type = j["type"].get<std::string>();
      if (type == "round") {
        if (r.received >= r.job.pairs.size()) continue;
        const Slot slot{r.job.pairing, r.job.pairs[r.received++], r.job.seat};
        if (ledger.rounds.count(slot)) continue;
        Write(RoundToJson(s, slot, j, r.dir));
        if (!r.fault.is_null()) Fault(r, r.fault);
        r.fault = nullptr;
        AfterRound(slot);
      } else if (type == "player" && !j["ready"].get<bool>()) {
        // A player that cannot play is at fault as if it had failed.
        const std::string n = std::to_string(j["player"].get<int>());
        r.fault = {{"type", "fault"},
                   {"round", nullptr},
                   {"player", j["player"]},
                   {"kind", "refused"},
                   {"report", "pitsow: player " + n + " cannot play (its PsInit returned false)"}};
      } else if (type == "fault") {
        // Recorded with its round, so that a run cut between the two
        // lines replays the round without counting its fault twice.
        r.fault = j;
      }
    }
  }

  std::string NewDir(const Job& job) {
    for (int n = 1;; ++n) {
      const std::string dir = "matches/p" + std::to_string(job.pairing) + "-s" +
                              std::to_string(job.seat) + "-k" + std::to_string(job.pairs[0]) +
                              "-r" + std::to_string(n);
      std::error_code ec;
      if (fs::create_directories(opt.out_dir + "/" + dir, ec)) return dir;
      if (ec) return "";
    }
  }

  void Start(const Job& job) {
    Running r;
    r.job = job;
    r.dir = NewDir(job);
    if (r.dir.empty()) return Fail("cannot create a match folder in " + opt.out_dir, kExitIoError);
    const std::string abs = opt.out_dir + "/" + r.dir;
    bool any_opening = false;
    {
      std::ofstream o(abs + "/openings.txt");
      for (int k : job.pairs) {
        const std::vector<int> opening = OpeningOf(s, k);
        any_opening = any_opening || !opening.empty();
        for (size_t i = 0; i < opening.size(); ++i) o << (i ? " " : "") << opening[i];
        o << "\n";
      }
      if (!o) return Fail("cannot write " + abs + "/openings.txt", kExitIoError);
    }
    const auto [a, b] = pairings[static_cast<size_t>(job.pairing)];
    const PlayerEntry& p1 = s.players[static_cast<size_t>(job.seat == 0 ? a : b)];
    const PlayerEntry& p2 = s.players[static_cast<size_t>(job.seat == 0 ? b : a)];
    std::vector<std::string> args = {opt.referee,
                                     "--player1=" + p1.file,
                                     "--player2=" + p2.file,
                                     "--isolate",
                                     "--forfeit",
                                     "--quiet",
                                     "--results=match.jsonl",
                                     "/R=" + std::to_string(job.pairs.size()),
                                     "/H=" + std::to_string(s.holes),
                                     "/B=" + std::to_string(s.bones),
                                     "/T=" + std::to_string(s.max_turns),
                                     "/L=01",
                                     "/L=10",
                                     "/L=20"};
    if (any_opening) args.push_back("--openings=openings.txt");
    if (s.move_time > 0) args.push_back("--move-time=" + Fixed(s.move_time, 6));
    if (s.memory_mb > 0) args.push_back("--memory=" + std::to_string(s.memory_mb));
    if (s.sandbox) args.push_back("--sandbox");
    if (!s.time_control.empty()) args.push_back("--time-control=" + s.time_control);
    if (s.time_margin >= 0) args.push_back("--time-margin=" + Fixed(s.time_margin, 6));
    if (p1.param != 0) args.push_back("/P=1:" + std::to_string(p1.param));
    if (p2.param != 0) args.push_back("/P=2:" + std::to_string(p2.param));
    std::vector<char*> argv;
    for (std::string& x : args) argv.push_back(x.data());
    argv.push_back(nullptr);
    const pid_t parent = getpid();
    const pid_t pid = fork();
    if (pid == 0) {
      // Its own process group, so a terminal's interrupt reaches the arena
      // only, and gone with the arena however the arena ends.
      setpgid(0, 0);
      prctl(PR_SET_PDEATHSIG, SIGKILL);
      if (getppid() != parent) _exit(127);
      if (chdir(abs.c_str()) != 0) _exit(127);
      const int out = open("stdout.txt", O_WRONLY | O_CREAT | O_TRUNC, 0644);
      const int err = open("stderr.txt", O_WRONLY | O_CREAT | O_TRUNC, 0644);
      if (out < 0 || err < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0) _exit(127);
      signal(SIGINT, SIG_DFL);
      execv(argv[0], argv.data());
      _exit(127);
    }
    if (pid < 0) return Fail(std::string("fork: ") + std::strerror(errno), kExitIoError);
    setpgid(pid, pid);
    r.pid = pid;
    r.deadline = Now() + (opt.run_limit > 0 ? opt.run_limit
                                            : RunLimit(s, static_cast<long>(job.pairs.size())));
    running.push_back(r);
  }

  void Kill(Running& r) {
    if (r.exited) return;
    kill(-r.pid, SIGKILL);
    kill(r.pid, SIGKILL);
    int st = 0;
    waitpid(r.pid, &st, 0);
    kill(-r.pid, SIGKILL);
    r.exited = true;
    r.status = -1;
  }

  // What a finished referee run leaves to do.
  void Finished(Running& r) {
    Consume(r);
    if (!r.fault.is_null()) Fault(r, r.fault);
    r.fault = nullptr;
    std::vector<int> rest(r.job.pairs.begin() + static_cast<long>(r.received), r.job.pairs.end());
    if (r.status == kExitMatchComplete && rest.empty()) return;
    if ((r.status == kExitPlayerFault || r.status == kExitPlayerCannotPlay) && r.faulted) {
      if (!rest.empty() && !Retired(r.job.pairing))
        queue.push_front({r.job.pairing, r.job.seat, rest});
      return;
    }
    if (r.status == -1) return;  // killed by us
    Fail("match " + opt.out_dir + "/" + r.dir + " ended with status " + std::to_string(r.status) +
             " after " + std::to_string(r.received) + " of " + std::to_string(r.job.pairs.size()) +
             " rounds (see its stderr.txt)",
         r.status > 0 && r.status < 64 ? r.status : kExitIoError);
  }

  void KillRetired() {
    for (Running& r : running) {
      if (r.exited || !Retired(r.job.pairing)) continue;
      Consume(r);
      Kill(r);
      Consume(r);
    }
  }

  // A referee run past the watchdog's limit: killed, its line written, the
  // rounds it left played by another run; too many such runs end the
  // tournament, as the referee itself is then at fault.
  void Watchdog(Running& r) {
    Kill(r);
    Consume(r);
    const double limit =
        opt.run_limit > 0 ? opt.run_limit : RunLimit(s, static_cast<long>(r.job.pairs.size()));
    Write({{"type", "watchdog"},
           {"pairing", r.job.pairing},
           {"seat", r.job.seat},
           {"limit", limit},
           {"match", r.dir}});
    std::fprintf(stderr, "pitsow-arena: referee run %s/%s still running after %s s: killed\n",
                 opt.out_dir.c_str(), r.dir.c_str(), Fixed(limit, 1).c_str());
    if (ledger.watchdog >= s.max_faults)
      return Fail("the watchdog killed " + std::to_string(ledger.watchdog) +
                      " referee runs: the referee is at fault (see " + opt.out_dir + "/" + r.dir +
                      ")",
                  kExitIoError);
    std::vector<int> rest(r.job.pairs.begin() + static_cast<long>(r.received), r.job.pairs.end());
    if (!rest.empty()) queue.push_front({r.job.pairing, r.job.seat, rest});
  }

  void Reap() {
    for (Running& r : running) {
      if (r.exited) continue;
      Consume(r);
      if (Now() > r.deadline) {
        Watchdog(r);
        continue;
      }
      int st = 0;
      const pid_t w = waitpid(r.pid, &st, WNOHANG);
      if (w == r.pid) {
        r.exited = true;
        r.status = WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
        kill(-r.pid, SIGKILL);  // any host left behind
        Finished(r);
      }
    }
    std::erase_if(running, [](const Running& r) { return r.exited; });
  }

  void Display(bool final_draw) {
    if (opt.quiet) return;
    const double now = Now();
    if (!final_draw && now - last_draw < (tty ? 0.25 : 5.0)) return;
    last_draw = now;
    const Summary sum = Summarise(s, ledger, false);
    const double rate =
        static_cast<double>(sum.rounds - rounds_at_start) / std::max(1e-9, now - started);
    const long left = sum.planned - sum.rounds;
    const std::string eta = rate > 0 ? Fixed(static_cast<double>(left) / rate, 0) + " s" : "?";
    char line[200];
    if (sum.planned >= 0)
      std::snprintf(line, sizeof line, "%ld/%ld rounds, %.1f rounds/s, %s left, faults %zu",
                    sum.rounds, sum.planned, rate, eta.c_str(), ledger.faults.size());
    else
      std::snprintf(line, sizeof line, "%ld rounds, %.1f rounds/s, LLR %.3f, faults %zu",
                    sum.rounds, rate, Sprt(*s.sprt, sprt_pairs.penta_distinct).llr,
                    ledger.faults.size());
    if (!tty) {
      std::printf("%s\n", line);
      std::fflush(stdout);
      return;
    }
    std::string text;
    if (drawn_lines > 0) text += "\x1b[" + std::to_string(drawn_lines) + "A";
    text += "\r\x1b[J";
    const int width = 30;
    const int filled = sum.planned > 0   ? static_cast<int>(width * sum.rounds / sum.planned)
                       : sum.planned < 0 ? 0
                                         : width;
    text += "[" + std::string(static_cast<size_t>(filled), '#') +
            std::string(static_cast<size_t>(width - filled), '.') + "] " + line + "\n";
    drawn_lines = 1;
    for (const std::string& l : StandingsLines(s, sum)) {
      text += l + "\n";
      ++drawn_lines;
    }
    std::fputs(text.c_str(), stdout);
    std::fflush(stdout);
  }

  void Loop() {
    while (stop.empty() && Refill()) {
      if (g_interrupted) {
        stop = "interrupted";
        break;
      }
      while (stop.empty() && static_cast<int>(running.size()) < opt.concurrency && !queue.empty()) {
        const Job job = queue.front();
        queue.pop_front();
        if (!Retired(job.pairing)) Start(job);
      }
      Pause(50);
      Reap();
      KillRetired();
      ScoreRetired();
      Display(false);
    }
    for (Running& r : running) {
      Consume(r);
      Kill(r);
    }
    running.clear();
    if (stop.empty()) stop = "complete";
  }
};

void Catch(int sig, void (*handler)(int), struct sigaction* old) {
  struct sigaction sa {};
  sa.sa_handler = handler;
  sa.sa_flags = SA_RESTART;
  sigemptyset(&sa.sa_mask);
  sigaction(sig, &sa, old);
}

}  // namespace

RunResult RunTournament(const RunOptions& options) {
  RunResult result;
  Arena arena(options);
  TournamentSettings& s = arena.s;
  const std::string path = options.out_dir + "/results.jsonl";
  std::error_code ec;
  fs::create_directories(options.out_dir, ec);
  const bool exists = fs::exists(path);
  long valid = -1;
  if (exists && !options.resume) {
    result.status = kExitUsage;
    result.error = path + " exists: add --resume to continue that run, or choose another --out";
    return result;
  }
  if (exists) {
    const std::string e = LoadResults(path, arena.ledger, valid);
    if (!e.empty()) return {kExitIoError, e, ""};
    if (arena.ledger.settings != SettingsToJson(s)) {
      result.status = kExitUsage;
      result.error = path + " was written with other settings; resume with the same ones";
      return result;
    }
  }
  const std::string e = OpenResults(path, valid, arena.file);
  if (!e.empty()) return {kExitIoError, e, ""};
  if (!exists)
    arena.Write({{"type", "tournament"},
                 {"program", "pitsow-arena"},
                 {"version", PITSOW_VERSION},
                 {"settings", SettingsToJson(s)}});
  for (const FaultRecord& f : arena.ledger.faults) ++arena.fault_counts[f.player];
  if (s.sprt && s.players.size() == 2)
    for (const auto& [slot, r] : arena.ledger.rounds) {
      if (slot.seat != 0) continue;
      const auto other = arena.ledger.rounds.find({slot.pairing, slot.pair, 1});
      if (other != arena.ledger.rounds.end()) arena.sprt_pairs.Add(r, other->second);
    }

  const bool decided = arena.ledger.end == "complete" || arena.ledger.end.rfind("sprt", 0) == 0;
  struct sigaction old_int = {}, old_term = {}, old_chld = {};
  g_interrupted = 0;
  if (pipe2(g_wake, O_CLOEXEC | O_NONBLOCK) != 0) return {kExitIoError, "pipe failed", ""};
  Catch(SIGINT, OnInterrupt, &old_int);
  Catch(SIGTERM, OnInterrupt, &old_term);
  Catch(SIGCHLD, OnChild, &old_chld);
  arena.tty = isatty(1);
  arena.started = Now();
  arena.rounds_at_start = static_cast<long>(arena.ledger.rounds.size());
  MachineLoad machine{UsableCores(), options.concurrency, SampleMachine(), {}};
  if (!decided) {
    arena.PlanBatches();
    arena.ScoreRetired();
    arena.Loop();
    arena.Display(true);
    machine.end = SampleMachine();
    arena.Write(MachineJson(machine));
    arena.Write({{"type", "end"}, {"reason", arena.stop}});
  }
  sigaction(SIGINT, &old_int, nullptr);
  sigaction(SIGTERM, &old_term, nullptr);
  sigaction(SIGCHLD, &old_chld, nullptr);
  for (int& fd : g_wake) {
    close(fd);
    fd = -1;
  }
  CloseResults(arena.file);

  const Summary sum = Summarise(s, arena.ledger, false);
  result.verdict = VerdictText(s, arena.ledger, sum);
  if (!decided) result.verdict += "\n" + MachineText(machine, s);
  std::ofstream(options.out_dir + "/report.txt") << result.verdict;
  result.error = arena.error;
  result.status = !arena.error.empty()          ? arena.error_status
                  : arena.stop == "interrupted" ? 128 + SIGINT
                                                : 0;
  return result;
}

namespace {

// The merged tournament as one results file: the shards' round, fault and
// retirement lines under one tournament line, match folders named from
// the new file's reader's place.
std::string WriteMerged(const std::vector<std::string>& dirs, const Json& settings,
                        const std::string& end, const std::string& out_dir) {
  std::error_code ec;
  fs::create_directories(out_dir, ec);
  const std::string path = out_dir + "/results.jsonl";
  if (fs::exists(path)) return path + " exists";
  ResultsFile f;
  std::string e = OpenResults(path, -1, f);
  if (e.empty())
    e = AppendLine(f, {{"type", "tournament"},
                       {"program", "pitsow-arena"},
                       {"version", PITSOW_VERSION},
                       {"settings", settings}});
  for (const std::string& dir : dirs) {
    std::ifstream in(dir + "/results.jsonl", std::ios::binary);
    for (std::string line; e.empty() && std::getline(in, line);) {
      Json j = Json::parse(line, nullptr, false);
      if (j.is_discarded() || in.eof()) break;  // a torn last line
      const std::string type = j.value("type", "");
      if (type != "round" && type != "fault" && type != "retired") continue;
      if (j.contains("match") && j["match"].is_string())
        j["match"] = (fs::path(dir) / j["match"].get<std::string>()).string();
      e = AppendLine(f, j);
    }
  }
  if (e.empty()) e = AppendLine(f, {{"type", "end"}, {"reason", end}});
  CloseResults(f);
  return e;
}

}  // namespace

RunResult MergeShards(const std::vector<std::string>& dirs, const std::string& out_dir) {
  Ledger merged;
  TournamentSettings s;
  Json base;
  std::set<int> shards;
  int shard_count = 0;
  for (const std::string& dir : dirs) {
    Ledger one;
    long valid = 0;
    const std::string e = LoadResults(dir + "/results.jsonl", one, valid);
    if (!e.empty()) return {kExitIoError, e, ""};
    Json settings = one.settings;
    const Json shard = settings.value("shard", Json());
    settings["shard"] = nullptr;
    if (base.is_null()) {
      base = settings;
      const std::string se = SettingsFromJson(base, s);
      if (!se.empty()) return {kExitIoError, dir + ": " + se, ""};
    } else if (settings != base) {
      return {kExitUsage, dir + " holds a tournament with other settings", ""};
    }
    if (shard.is_array()) {
      if (!shards.insert(shard[0].get<int>()).second)
        return {kExitUsage, dir + ": shard " + shard[0].dump() + " given twice", ""};
      shard_count = shard[1].get<int>();
    }
    for (const auto& [slot, r] : one.rounds)
      if (!merged.rounds.emplace(slot, r).second) ++merged.duplicates;
    merged.faults.insert(merged.faults.end(), one.faults.begin(), one.faults.end());
    for (const auto& [label, n] : one.retired) merged.retired[label] += n;
    if (merged.end.empty() || one.end != "complete") merged.end = one.end;
  }
  merged.settings = base;
  const Summary sum = Summarise(s, merged, true);
  RunResult result;
  result.verdict = "Merged " + std::to_string(dirs.size()) + " folder(s)";
  if (shard_count > 0)
    result.verdict +=
        ", shards " + std::to_string(shards.size()) + " of " + std::to_string(shard_count);
  result.verdict += "\n" + VerdictText(s, merged, sum);
  if (merged.duplicates > 0)
    return {kExitUsage,
            std::to_string(merged.duplicates) + " rounds appear in more than one folder",
            result.verdict};
  if (!out_dir.empty()) {
    const std::string e = WriteMerged(dirs, base, merged.end, out_dir);
    if (!e.empty()) return {kExitIoError, e, result.verdict};
    std::ofstream(out_dir + "/report.txt") << result.verdict;
  }
  return result;
}
