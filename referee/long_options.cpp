#include "long_options.h"

#include <CLI/CLI.hpp>
#include <algorithm>

#include "python_player.h"

namespace {

// The long options that take no value; every other one does.
bool IsFlag(const std::string& name) {
  return name == "--isolate" || name == "--forfeit" || name == "--quiet" || name == "--sandbox";
}

struct Positive : CLI::Validator {
  Positive() : CLI::Validator("POSITIVE") {
    func_ = [](std::string& text) -> std::string {
      char* end = nullptr;
      const double v = std::strtod(text.c_str(), &end);
      if (end == text.c_str() || *end != '\0' || !(v > 0) || v > 1e6)
        return "not a number of seconds above 0: " + text;
      return "";
    };
  }
};

void Describe(CLI::App& app, LongOptions& o) {
  app.add_option("--player1", o.player[1], "library of player 1 (default PsPlayer1.so)");
  app.add_option("--player2", o.player[2], "library of player 2 (default PsPlayer2.so)");
  app.add_flag("--isolate", o.isolate, "each player in a process of its own");
  app.add_flag("--sandbox", o.sandbox, "each player isolated and confined (implies --isolate)");
  app.add_option("--python-path", o.python_path,
                 "a folder a sandboxed Python player may import from (repeatable)")
      ->allow_extra_args(false)
      ->check(CLI::ExistingDirectory);
  app.add_option("--move-time", o.move_time, "seconds for each PsGetTurn (with --isolate)")
      ->check(Positive());
  app.add_option("--call-time", o.call_time, "seconds for every other call (with --isolate)")
      ->check(Positive());
  app.add_option("--time-control", o.time_control.text,
                 "CPU seconds per round and per move, BASE+INC (with --isolate)");
  app.add_option("--time-margin", o.margin_seconds, "seconds forgiven past any limit (--isolate)")
      ->check(CLI::Range(0.0, 1e6));
  app.add_option("--memory", o.memory_mb, "MiB of address space per player (--isolate)")
      ->check(CLI::Range(1L, 1L << 30));
  app.add_flag("--forfeit", o.forfeit, "a rejected answer loses the round");
  app.add_option("--results", o.results, "JSON Lines record of the match")
      ->check([](const std::string& v) { return v.empty() ? "empty file name" : ""; });
  app.add_option("--openings", o.openings, "file of openings, one per line");
  app.add_flag("--quiet", o.quiet, "no progress display on the console");
}

}  // namespace

SplitArgs SplitArguments(const std::vector<std::string>& args) {
  SplitArgs split;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a.rfind("--", 0) != 0 || a == "--help") {
      split.slash_args.push_back(a);
      continue;
    }
    split.long_args.push_back(a);
    if (a.find('=') == std::string::npos && !IsFlag(a) && i + 1 < args.size())
      split.long_args.push_back(args[++i]);
  }
  return split;
}

std::optional<Error> ParseLongOptions(const std::vector<std::string>& long_args,
                                      LongOptions& options) {
  if (long_args.empty()) return std::nullopt;
  CLI::App app("pitsow");
  app.set_help_flag();
  Describe(app, options);
  // CLI11 parses a vector of arguments from its back (it pops them), so it
  // wants them last first.
  std::vector<std::string> reversed(long_args.rbegin(), long_args.rend());
  try {
    app.parse(reversed);
  } catch (const CLI::ParseError& e) {
    std::string text = e.what();
    std::replace(text.begin(), text.end(), '\n', ' ');
    return Error{"pitsow: " + text};
  }
  options.isolate = options.isolate || options.sandbox;
  // Limits can only be kept on a player in a process of its own.
  for (const char* limit : {"--move-time", "--call-time", "--memory", "--time-control",
                            "--time-margin", "--python-path"})
    if (app.count(limit) > 0 && !options.isolate)
      return Error{std::string("pitsow: ") + limit + " needs --isolate"};
  // One Python interpreter per process: two Python players need two.
  if (IsPythonPlayer(options.player[1]) && IsPythonPlayer(options.player[2]) && !options.isolate)
    return Error{"pitsow: two Python players need --isolate"};
  if (app.count("--time-control") > 0)
    return ParseTimeControl(options.time_control.text, options.time_control);
  return std::nullopt;
}

std::string LongOptionsUsage() {
  const char* lines[] = {
      "Long options (--name=value or --name value):",
      "  --player1=FILE     library of player 1 instead of PsPlayer1.so; a name with a",
      "  --player2=FILE     slash is that file, a bare name is searched by the loader",
      "  --isolate          each player runs in a process of its own (pitsow-host):",
      "                     a crash, exit, hang or memory hog loses the round",
      "  --sandbox          --isolate, and each player in a room of its own: its own",
      "                     tmpfs, no processes, no network, bounded threads and memory",
      "  --python-path=DIR  a folder a sandboxed Python player may import from (the",
      "                     room shows it read-only; repeatable)",
      "  --move-time=S      CPU seconds for each PsGetTurn, isolated (e.g. 0.25)",
      "  --call-time=S      CPU seconds for every other call, isolated (default 10)",
      "  --time-control=B+I CPU seconds per round per player, plus I after each move",
      "  --time-margin=S    seconds forgiven past any time limit (default 0.01)",
      "  --memory=MIB       address space of each player's process in MiB, isolated",
      "  --forfeit          a rejected answer loses the round for its player",
      "  --results=FILE     a JSON Lines record of the match, written as it goes",
      "  --openings=FILE    openings played before the players take over, one a line",
      "  --quiet            no progress display on the console",
      "A bad long option is one line on stderr and exit status 64.",
  };
  std::string text;
  for (const char* line : lines) text.append(line).append("\r\n");
  return text;
}
