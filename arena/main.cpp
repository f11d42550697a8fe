// pitsow-arena: tournaments of player libraries through the referee, the
// statistics of given counts (`stats`) and the merge of shard folders
// (`merge`). The command lines live here; the work is in arena_core.
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <climits>
#include <cstdio>
#include <filesystem>
#include <thread>

#include "exit_status.h"
#include "game_limits.h"
#include "machine.h"
#include "merge.h"
#include "openings_space.h"
#include "parse_command_line.h"
#include "player_text.h"
#include "program_folder.h"
#include "record_reader.h"
#include "render.h"
#include "report_adapter.h"
#include "resume.h"
#include "runner.h"
#include "sandbox.h"
#include "time_control.h"
#include "verdict.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kTournamentFooter =
    "Subcommands (each with --help):\n"
    "  pitsow-arena report DIR | --match FILE   the HTML page of a run or a match record\n"
    "  pitsow-arena merge [--out DIR] DIR...    combine the folders of a sharded run\n"
    "  pitsow-arena replay DIR PAIRING PAIR SEAT   the page of one round of a run\n"
    "  pitsow-arena stats --wdl W,D,L | --penta LL,LD,DD+WL,WD,WW   statistics of counts\n"
    "\n"
    "Exit status: 0 played to the end or decided by --sprt, 2 a player library or the\n"
    "referee missing, 3 an I/O failure, a bad line in a record or a referee run that\n"
    "failed or was stopped by the watchdog, 64 usage, 130 interrupted (continue with\n"
    "pitsow-arena --resume DIR).";

int Usage(const std::string& what) {
  std::fprintf(stderr, "pitsow-arena: %s\n", what.c_str());
  return kExitUsage;
}

// N counts, comma-separated, each a whole number of at least 0; `form`
// names them in the error.
template <size_t N>
Result<std::array<int64_t, N>> SplitCounts(const std::string& text, const std::string& form) {
  const Error bad{"expected " + form};
  std::array<int64_t, N> out{};
  std::stringstream in(text);
  std::string item;
  size_t i = 0;
  while (std::getline(in, item, ',')) {
    if (i >= N) return bad;
    try {
      size_t used = 0;
      const long long v = std::stoll(item, &used);
      if (used != item.size() || v < 0) return bad;
      out[i++] = v;
    } catch (...) {
      return bad;
    }
  }
  if (i != N) return bad;
  return out;
}

int Stats(int argc, char** argv) {
  CLI::App app{"The statistics of given counts, for checking against other tools.",
               "pitsow-arena stats"};
  std::string wdl, penta, sprt;
  auto* w = app.add_option("--wdl", wdl, "win, draw, loss counts: W,D,L");
  auto* p = app.add_option("--penta", penta,
                           "pair counts (pair scores 0, 1/4, 1/2, 3/4, 1): LL,LD,DD+WL,WD,WW");
  w->excludes(p);
  std::string model = "logistic";
  app.add_option("--sprt", sprt,
                 "sequential test, elo0/elo1 in logistic Elo: elo0=0,elo1=5,alpha=0.05,beta=0.05");
  app.add_option("--sprt-model", model, "what elo0/elo1 mean: logistic or normalized Elo")
      ->check(CLI::IsMember({"logistic", "normalized"}))
      ->capture_default_str();
  if (const auto end = ParseCommandLine(app, argc, argv, "pitsow-arena")) return *end;
  if (wdl.empty() && penta.empty()) return Usage("stats: give --wdl or --penta");
  SprtBounds bounds;
  if (!sprt.empty()) {
    const Result<SprtBounds> parsed = ParseSprt(sprt);
    if (!parsed) return Usage("--sprt: " + parsed.error().text);
    bounds = *parsed;
  }
  bounds.normalized = model == "normalized";
  if (!wdl.empty()) {
    const Result<std::array<int64_t, 3>> c = SplitCounts<3>(wdl, "W,D,L");
    if (!c) return Usage("--wdl: " + c.error().text);
    const Wdl counts{(*c)[0], (*c)[1], (*c)[2]};
    std::fputs(WdlText(counts).c_str(), stdout);
    if (!sprt.empty()) std::fputs(SprtText(bounds, Sprt(bounds, counts)).c_str(), stdout);
  } else {
    const Result<Penta> c = SplitCounts<5>(penta, "LL,LD,DD+WL,WD,WW");
    if (!c) return Usage("--penta: " + c.error().text);
    std::fputs(PentaText(*c).c_str(), stdout);
    if (!sprt.empty()) std::fputs(SprtText(bounds, Sprt(bounds, *c)).c_str(), stdout);
  }
  return kExitMatchComplete;
}

int Merge(int argc, char** argv) {
  CLI::App app{"Combines the output folders of a sharded tournament into one report.",
               "pitsow-arena merge"};
  std::vector<std::string> dirs;
  std::string out;
  app.add_option("DIR", dirs, "output folders of the shards")->required();
  app.add_option("--out", out, "also write the merged results.jsonl and report.txt here");
  if (const auto end = ParseCommandLine(app, argc, argv, "pitsow-arena")) return *end;
  const Result<TournamentEnd> r = MergeShards(dirs, out);
  if (r) std::fputs(r->verdict.c_str(), stdout);
  const std::optional<Error> error = r ? r->error : r.error();
  if (!error) return kExitMatchComplete;
  std::fprintf(stderr, "pitsow-arena: %s\n", Printable(error->text).c_str());
  return error->status;
}

// --param LABEL=N, each naming a player by its label; a label given twice
// or unknown, or N not an integer, is an error.
std::optional<Error> ApplyParams(const std::vector<std::string>& params,
                                 std::vector<PlayerEntry>& players) {
  std::vector<bool> given(players.size(), false);
  for (const std::string& text : params) {
    const size_t eq = text.rfind('=');
    if (eq == std::string::npos) return Error{"expected LABEL=N, not \"" + text + "\""};
    const std::string label = text.substr(0, eq), value = text.substr(eq + 1);
    size_t i = 0;
    while (i < players.size() && players[i].label != label) ++i;
    if (i == players.size()) return Error{"no player is labelled \"" + label + "\""};
    if (given[i]) return Error{"two parameters for " + label};
    long long v = 0;
    size_t used = 0;
    try {
      v = std::stoll(value, &used);
    } catch (...) {
      used = 0;
    }
    if (used == 0 || used != value.size() || v < INT32_MIN || v > INT32_MAX)
      return Error{"not a 32-bit integer: \"" + value + "\""};
    players[i].param = static_cast<int32_t>(v);
    given[i] = true;
  }
  return std::nullopt;
}

// The page of what was played, written after the run; a page that cannot
// be written turns a success into an I/O failure, never into silence.
int EndReport(const std::string& dir, const std::string& anchor,
              const std::vector<std::string>& keep, int status) {
  if (const auto error = WriteTournamentReport(dir, anchor, keep)) {
    std::fprintf(stderr, "pitsow-arena: report: %s\n", error->text.c_str());
    return status == kExitMatchComplete ? kExitIoError : status;
  }
  std::printf("Report: %s/report.html\n", dir.c_str());
  return status;
}

// A tournament's command line as given, before it becomes RunOptions.
struct TournamentLine {
  RunOptions o;
  std::vector<std::string> players, params, keep_rounds;
  std::string sprt, sprt_model = "logistic", shard, random_openings = "auto", resume_dir, anchor;
  std::string sandbox = "auto";
  bool force = false, no_report = false;
  CLI::Option* pairs = nullptr;
};

Error UsageError(const std::string& what) { return Error{what, kExitUsage}; }

void AddGameOptions(CLI::App& app, TournamentLine& t) {
  TournamentSettings& s = t.o.settings;
  app.add_option("PLAYER", t.players, "player libraries, FILE or LABEL=FILE (two or more)");
  app.add_option("--format", s.format,
                 "round-robin (every pair) or gauntlet (the first against each other)")
      ->check(CLI::IsMember({"round-robin", "gauntlet"}))
      ->capture_default_str();
  t.pairs = app.add_option("--pairs", s.pairs,
                           "pairs of rounds per pairing (with --sprt: a cap, none by default)")
                ->check(CLI::Range(1, 100000000))
                ->capture_default_str();
  app.add_option("--holes", s.holes, "holes per side")
      ->check(CLI::Range(1, 6))
      ->capture_default_str();
  app.add_option("--bones", s.bones, "bones per hole")
      ->check(CLI::Range(0, kMaxBones))
      ->capture_default_str();
  app.add_option("--max-turns", s.max_turns, "turn limit of a round")
      ->check(CLI::Range(1, 1000000000))
      ->capture_default_str();
  auto* file = app.add_option("--openings", s.openings_file, "openings file (the referee's format)")
                   ->check(CLI::ExistingFile);
  app.add_option("--random-openings", t.random_openings,
                 "K random moves from the filled board, each opening once per pairing before "
                 "any repeats; auto: the fewest moves with more openings than pairs")
      ->check(CLI::IsMember({"auto"}) | CLI::Range(0, 1000))
      ->capture_default_str()
      ->excludes(file);
  app.add_option("--seed", s.seed, "seed of the random openings")->capture_default_str();
}

void AddLimitOptions(CLI::App& app, TournamentLine& t) {
  TournamentSettings& s = t.o.settings;
  t.o.concurrency = UsableCores();
  app.add_option("--concurrency", t.o.concurrency, "referee runs at once (default: the cores)")
      ->check(CLI::Range(1, 4096));
  app.add_option("--move-time", s.move_time, "seconds per move (the referee's limit)")
      ->check(CLI::Range(0.0, 1e6));
  app.add_option("--time-control", s.time_control,
                 "CPU seconds per round per player plus per move, BASE+INC (the referee's)")
      ->check([](const std::string& v) {
        TimeControl tc;
        const auto e = ParseTimeControl(v, tc);
        return e ? "expected BASE+INC in seconds, BASE above 0" : std::string();
      });
  app.add_option("--time-margin", s.time_margin, "seconds forgiven past any time limit")
      ->check(CLI::Range(0.0, 1e6));
  app.add_flag("--force", t.force, "allow a --concurrency above the cores");
  app.add_option("--memory", s.memory_mb, "address space per player, MiB")
      ->check(CLI::Range(0, 1 << 30));
  app.add_option("--max-faults", s.max_faults, "faults that retire a player")
      ->check(CLI::Range(1, 1000000000))
      ->capture_default_str();
  app.add_option("--sprt", t.sprt,
                 "sequential test (two players), elo0/elo1 in logistic Elo: "
                 "elo0=0,elo1=5,alpha=0.05,beta=0.05; runs until it decides");
  app.add_option("--sprt-model", t.sprt_model,
                 "what elo0/elo1 of --sprt mean: logistic Elo, or normalized Elo")
      ->check(CLI::IsMember({"logistic", "normalized"}))
      ->capture_default_str();
}

void AddRunOptions(CLI::App& app, TournamentLine& t) {
  app.add_option("--out", t.o.out_dir, "output folder")->capture_default_str();
  app.add_option("--resume", t.resume_dir,
                 "continue the run recorded in DIR (default: --out); its settings come from "
                 "DIR/results.jsonl")
      ->expected(0, 1)
      ->type_name("[DIR]");
  app.add_option("--shard", t.shard, "play the K-th of N disjoint parts: K/N");
  app.add_option("--batch", t.o.batch, "pairs per referee run")
      ->check(CLI::Range(1, 100000000))
      ->capture_default_str();
  app.add_flag("--quiet", t.o.quiet, "no live display");
  app.add_option("--run-limit", t.o.run_limit_seconds,
                 "seconds a referee run may take before the watchdog kills it (default: from its "
                 "rounds, --max-turns and the time limits)")
      ->check(CLI::Range(0.0, 1e9));
  app.add_option("--param", t.params,
                 "LABEL=N: player LABEL's parameter (the referee's /P); repeat for each player")
      ->take_all()
      ->allow_extra_args(false);
  app.add_option("--anchor", t.anchor,
                 "the player rated 0 in the report's ratings chart (default: the field's mean)");
  app.add_flag("--no-report", t.no_report, "do not write OUT/report.html at the end");
  app.add_option("--keep-rounds", t.keep_rounds,
                 "LABEL...: the page keeps every round of these players (all: of everyone)")
      ->take_all()
      ->allow_extra_args(false);
  app.add_option("--referee", t.o.referee, "the referee program (default: pitsow beside this one)");
  app.add_option("--sandbox", t.sandbox,
                 "confine the players: auto (where the kernel can), on, off")
      ->check(CLI::IsMember({"auto", "on", "off"}))
      ->capture_default_str();
  app.add_option("--python-path", t.o.settings.python_path,
                 "sandboxed: a folder Python players may import from (repeatable)")
      ->allow_extra_args(false)
      ->check(CLI::ExistingDirectory);
}

// The sandbox in force, also for a resumed tournament: what this kernel
// allows now.
std::optional<Error> ApplySandbox(TournamentLine& t) {
  TournamentSettings& s = t.o.settings;
  const std::optional<Error> missing = t.sandbox == "off" ? std::nullopt : SandboxMissing();
  if (missing && t.sandbox == "on") return Error{missing->text, kExitPlayerMissing};
  s.sandbox = t.sandbox != "off" && !missing;
  s.sandbox_off = t.sandbox == "off" ? "--sandbox off" : missing ? missing->text : "";
  return std::nullopt;
}

// PLAYER arguments as entries: labelled, absolute, existing.
std::optional<Error> ReadPlayers(const std::vector<std::string>& players,
                                 std::vector<PlayerEntry>& out) {
  for (const std::string& entry : players) {
    const size_t eq = entry.find('=');
    const std::string path = eq == std::string::npos ? entry : entry.substr(eq + 1);
    std::string label =
        eq == std::string::npos ? fs::path(path).stem().string() : entry.substr(0, eq);
    if (label.empty() || path.empty()) return UsageError("bad player \"" + entry + "\"");
    for (const PlayerEntry& p : out)
      if (p.label == label)
        return UsageError("two players are labelled \"" + label + "\"; use LABEL=FILE");
    if (!fs::is_regular_file(path))
      return Error{"player library " + path + ": no such file", kExitPlayerMissing};
    out.push_back({label, fs::absolute(path).lexically_normal().string()});
  }
  return std::nullopt;
}

std::optional<Error> ApplySprtAndShard(TournamentLine& t) {
  TournamentSettings& s = t.o.settings;
  if (!t.sprt.empty()) {
    if (s.players.size() != 2) return UsageError("--sprt needs exactly two players");
    Result<SprtBounds> bounds = ParseSprt(t.sprt);
    if (!bounds) return UsageError("--sprt: " + bounds.error().text);
    bounds->normalized = t.sprt_model == "normalized";
    s.sprt = *bounds;
    if (t.pairs->count() == 0) s.pairs = 0;  // until the test decides
  } else if (t.sprt_model != "logistic") {
    return UsageError("--sprt-model needs --sprt");
  }
  if (!t.shard.empty()) {
    int k = 0, n = 0;
    char extra = 0;
    if (std::sscanf(t.shard.c_str(), "%d/%d%c", &k, &n, &extra) != 2 || n < 1 || k < 1 || k > n)
      return UsageError("--shard: expected K/N with 1 <= K <= N");
    s.shard = k;
    s.shards = n;
  }
  return std::nullopt;
}

std::optional<Error> ApplyOpenings(TournamentLine& t) {
  TournamentSettings& s = t.o.settings;
  if (!s.openings_file.empty()) {
    s.openings_file = fs::absolute(s.openings_file).lexically_normal().string();
    Result<std::vector<std::vector<int>>> lines = LoadOpenings(s.openings_file, s.holes, s.bones);
    if (!lines) return UsageError("--openings: " + lines.error().text);
    s.opening_lines = std::move(*lines);
    return std::nullopt;
  }
  s.random_openings = t.random_openings == "auto" ? -1 : std::stoi(t.random_openings);
  const OpeningDepth d = ChooseOpeningDepth(s.holes, s.bones, s.random_openings, s.pairs);
  if (d.distinct == 0 ||
      (d.distinct > kOpeningListLimit && !RandomOpening(s.holes, s.bones, d.depth, s.seed, 0)))
    return UsageError("--random-openings: no opening of that many moves leaves the round open");
  s.opening_depth = d.depth;
  s.opening_distinct = d.distinct;
  if (!d.warning.empty()) std::fprintf(stderr, "pitsow-arena: warning: %s\n", d.warning.c_str());
  return std::nullopt;
}

// With --resume the settings come from the folder; only those named on the
// command line are checked against it.
std::optional<Error> ApplyResume(const CLI::App& app, RunOptions& o) {
  static const std::vector<std::pair<std::string, std::string>> kKeys = {
      {"PLAYER", "players"},
      {"--format", "format"},
      {"--pairs", "pairs"},
      {"--holes", "holes"},
      {"--bones", "bones"},
      {"--max-turns", "max_turns"},
      {"--openings", "openings"},
      {"--random-openings", "openings"},
      {"--seed", "openings"},
      {"--sprt", "sprt"},
      {"--shard", "shard"},
      {"--move-time", "move_time"},
      {"--memory", "memory_mb"},
      {"--max-faults", "max_faults"},
      {"--param", "players"},
      {"--sprt-model", "sprt"},
      {"--time-control", "time_control"},
      {"--time-margin", "time_margin"},
      {"--python-path", "python_path"}};
  std::vector<std::string> given;
  for (const auto& [option, key] : kKeys)
    if (app.count(option) && std::find(given.begin(), given.end(), key) == given.end())
      given.push_back(key);
  const Result<TournamentSettings> saved = ResumeSettings(o.out_dir, o.settings, given);
  if (!saved) return Error{Printable(saved.error().text), saved.error().status};
  o.settings = *saved;
  for (const PlayerEntry& p : o.settings.players)
    if (!fs::is_regular_file(p.file))
      return Error{"player library " + Printable(p.file) + ": no such file", kExitPlayerMissing};
  return std::nullopt;
}

// The command line's checks, in the order they are told.
std::optional<Error> Settle(const CLI::App& app, TournamentLine& t) {
  RunOptions& o = t.o;
  o.resume = app.count("--resume") > 0;
  if (o.resume && !t.resume_dir.empty()) {
    if (app.count("--out") && t.resume_dir != o.out_dir)
      return UsageError("--resume " + t.resume_dir + " and --out " + o.out_dir +
                        " name two folders");
    o.out_dir = t.resume_dir;
  }
  // More referee runs than cores make matches wait for a CPU: their wall
  // times, and any limit a player's CPU time does not cover, then depend on
  // the machine rather than the player.
  if (o.concurrency > UsableCores() && !t.force)
    return UsageError("--concurrency " + std::to_string(o.concurrency) + " is above the " +
                      std::to_string(UsableCores()) +
                      " cores: matches would wait for a CPU; add --force to run anyway");
  if (t.players.size() < 2 && !(o.resume && t.players.empty()))
    return UsageError("give two or more players");
  if (auto e = ReadPlayers(t.players, o.settings.players)) return e;
  if (auto e = ApplyParams(t.params, o.settings.players)) return UsageError("--param: " + e->text);
  const auto& players = o.settings.players;
  if (!t.anchor.empty() && std::none_of(players.begin(), players.end(),
                                        [&](const PlayerEntry& p) { return p.label == t.anchor; }))
    return UsageError("--anchor: no player is labelled \"" + t.anchor + "\"");
  if (auto e = ApplySprtAndShard(t)) return e;
  if (auto e = ApplyOpenings(t)) return e;
  if (o.referee.empty()) o.referee = BesideProgram("pitsow");
  o.referee = fs::absolute(o.referee).string();
  if (access(o.referee.c_str(), X_OK) != 0)
    return Error{"referee " + o.referee + ": not found", kExitPlayerMissing};
  if (o.resume) return ApplyResume(app, o);
  return std::nullopt;
}

int Tournament(int argc, char** argv) {
  CLI::App app{
      "Tournaments of Pitsow players: fair pairs over the same openings, Elo with error bars, "
      "a sequential test, faults counted, resumable, sharded.",
      "pitsow-arena"};
  app.footer(kTournamentFooter);
  TournamentLine t;
  AddGameOptions(app, t);
  AddLimitOptions(app, t);
  AddRunOptions(app, t);
  if (const auto end = ParseCommandLine(app, argc, argv, "pitsow-arena")) return *end;
  std::optional<Error> e = Settle(app, t);
  if (!e) e = ApplySandbox(t);
  if (e) {
    std::fprintf(stderr, "pitsow-arena: %s\n", e->text.c_str());
    return e->status;
  }
  const Result<TournamentEnd> run = RunTournament(t.o);
  const TournamentEnd end = run ? *run : TournamentEnd{"", run.error()};
  int status = end.error         ? end.error->status
               : end.interrupted ? kExitInterrupted
                                 : kExitMatchComplete;
  if (!end.verdict.empty()) std::fputs(("\n" + end.verdict).c_str(), stdout);
  const bool resumable = status == kExitInterrupted || status == kExitIoError;
  if (!t.no_report && !end.verdict.empty())
    status = EndReport(t.o.out_dir, t.anchor, t.keep_rounds, status);
  if (resumable)
    std::printf("Resume with: pitsow-arena --resume %s\n", ShellWord(t.o.out_dir).c_str());
  if (end.error) std::fprintf(stderr, "pitsow-arena: %s\n", Printable(end.error->text).c_str());
  return status;
}

}  // namespace

int Report(int argc, char** argv) {
  CLI::App app{
      "Writes one self-contained HTML page of a tournament (DIR/report.html) or of one "
      "referee match record.",
      "pitsow-arena report"};
  std::string dir, match, output;
  auto* d = app.add_option("DIR", dir, "a tournament's output folder");
  auto* m = app.add_option("--match", match, "a referee match record (pitsow --results=FILE)");
  app.add_option("--output", output, "the page to write (default: report.html beside the input)");
  std::string anchor;
  app.add_option("--anchor", anchor,
                 "the player rated 0 in the ratings chart (default: the field's mean)")
      ->excludes(m);
  std::vector<std::string> keep;
  app.add_option("--keep-rounds", keep,
                 "LABEL...: keep every round of these players on the page (all: of everyone)")
      ->take_all()
      ->allow_extra_args(false)
      ->excludes(m);
  d->excludes(m);
  if (const auto end = ParseCommandLine(app, argc, argv, "pitsow-arena")) return *end;
  if (dir.empty() && match.empty()) return Usage("report: give DIR or --match FILE");
  std::optional<Error> error;
  std::string page;
  if (!match.empty()) {
    page = output.empty() ? (fs::path(match).parent_path() / "report.html").string() : output;
    error = WriteMatchReport(match, page);
  } else if (output.empty()) {
    page = dir + "/report.html";
    error = WriteTournamentReport(dir, anchor, keep);
  } else {
    page = output;
    Result<ReportData> data = TournamentReportData(dir, anchor, keep);
    error = data ? WriteReportFile(std::move(*data), output) : data.error();
  }
  if (error) {
    std::fprintf(stderr, "pitsow-arena: report: %s\n", error->text.c_str());
    return kExitIoError;
  }
  std::printf("%s\n", page.c_str());
  return kExitMatchComplete;
}

// One round of a run as a page of its own, from its place in the schedule
// as results.jsonl names it.
int ReplayCommand(int argc, char** argv) {
  CLI::App app{"Writes the page of one round of a tournament, to replay it in the viewer.",
               "pitsow-arena replay"};
  std::string dir;
  int pairing = 0, pair = 0, seat = 0;
  app.add_option("DIR", dir, "the tournament's output folder")->required();
  app.add_option("PAIRING", pairing, "the round's pairing (\"pairing\" in results.jsonl)")
      ->required()
      ->check(CLI::NonNegativeNumber);
  app.add_option("PAIR", pair, "its pair (\"pair\")")->required()->check(CLI::NonNegativeNumber);
  app.add_option("SEAT", seat, "its seat (\"seat\", 0 or 1)")->required()->check(CLI::Range(0, 1));
  if (const auto end = ParseCommandLine(app, argc, argv, "pitsow-arena")) return *end;
  const Result<std::string> page = WriteRoundPage(dir, pairing, pair, seat);
  if (!page) {
    std::fprintf(stderr, "pitsow-arena: replay: %s\n", page.error().text.c_str());
    return page.error().status ? page.error().status : kExitIoError;
  }
  std::printf("%s#round-0\n", page->c_str());
  return kExitMatchComplete;
}

int main(int argc, char** argv) {
  if (argc > 1 && std::string(argv[1]) == "replay") return ReplayCommand(argc - 1, argv + 1);
  if (argc > 1 && std::string(argv[1]) == "stats") return Stats(argc - 1, argv + 1);
  if (argc > 1 && std::string(argv[1]) == "report") return Report(argc - 1, argv + 1);
  if (argc > 1 && std::string(argv[1]) == "merge") return Merge(argc - 1, argv + 1);
  return Tournament(argc, argv);
}
