// pitsow-check FILE.so: checks a player library before a tournament does,
// running it isolated in pitsow-host (found beside this program), and
// prints a checklist. Exit status 0 when every hard check passes, 1 when
// one fails, 2 when the library cannot be loaded, 64 for a bad option.
#include <sys/stat.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "check.h"
#include "exit_status.h"
#include "parse_command_line.h"
#include "program_folder.h"
#include "sandbox.h"

namespace {

char lines_aside[] = "/tmp/pitsow-check-XXXXXX.txt";

// The referee's lines and the player's own output (a rejected answer, a
// fault, a traceback) would come on stderr between the checklist's lines,
// one per round: they go to a file the checklist names at its end. The
// saved stderr, or -1 when they stay where they were.
int SetLinesAside() {
  std::fflush(stderr);
  const int file = mkstemps(lines_aside, 4);
  if (file < 0) return -1;
  const int saved = dup(STDERR_FILENO);
  if (saved < 0 || dup2(file, STDERR_FILENO) < 0) {
    if (saved >= 0) close(saved);
    close(file);
    unlink(lines_aside);
    return -1;
  }
  close(file);
  return saved;
}

void NameLinesAside(int saved) {
  if (saved < 0) return;
  std::fflush(stderr);
  struct stat st {};
  const bool any = stat(lines_aside, &st) == 0 && st.st_size > 0;
  if (dup2(saved, STDERR_FILENO) < 0) return;
  close(saved);
  if (!any) {
    unlink(lines_aside);
    return;
  }
  std::printf("the referee's and the player's own lines (%lld bytes): %s\n",
              static_cast<long long>(st.st_size), lines_aside);
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{
      "Checks a Pitsow player library: runs it isolated in pitsow-host and prints a checklist."};
  CheckOptions o;
  app.add_option("FILE", o.library,
                 "the player: a library (.so), or a Python player (.py, through the shim)")
      ->required();
  app.add_option("--move-time", o.move_time, "CPU seconds each PsGetTurn may take")
      ->capture_default_str()
      ->check(CLI::Range(0.001, 86400.0));
  app.add_option("--call-time", o.call_time, "CPU seconds each other call may take")
      ->capture_default_str()
      ->check(CLI::Range(0.001, 86400.0));
  app.add_option("--memory", o.memory_mb, "the player's address space in MiB (default: no limit)")
      ->check(CLI::Range(1L, 1L << 30));
  app.add_option("--growth", o.growth_mb, "MiB the long match may grow the player's memory")
      ->capture_default_str()
      ->check(CLI::Range(0L, 1L << 30));
  app.add_option("--positions", o.positions, "positions asked over the board sizes")
      ->capture_default_str()
      ->check(CLI::Range(0L, 100000000L));
  app.add_option("--rounds", o.rounds, "rounds of the long match")
      ->capture_default_str()
      ->check(CLI::Range(1L, 100000000L));
  app.add_option("--seed", o.seed, "seed of the random games")->capture_default_str();
  app.add_option("--param", o.param, "the player's parameter (PsInfo's Param)")
      ->capture_default_str();
  app.add_flag("--sandbox", o.sandbox, "confine the player as pitsow --sandbox does");
  if (const auto end = ParseCommandLine(app, argc, argv, "pitsow-check")) return *end;
  if (const auto missing = o.sandbox ? SandboxMissing() : std::nullopt) {
    std::fprintf(stderr, "pitsow-check: %s\n", missing->text.c_str());
    return kExitPlayerMissing;
  }

  o.host_exe = BesideProgram("pitsow-host");
  if (access(o.host_exe.c_str(), X_OK) != 0) {
    std::fprintf(stderr, "pitsow-check: cannot run the player host %s: %s\n", o.host_exe.c_str(),
                 std::strerror(errno));
    return kExitPlayerMissing;
  }
  // A bare name is the file in the current folder, not one the loader
  // would search for.
  struct stat st {};
  if (o.library.find('/') == std::string::npos && stat(o.library.c_str(), &st) == 0)
    o.library = "./" + o.library;

  std::printf("pitsow-check %s: move time %g s, seed %llu\n", o.library.c_str(), o.move_time,
              static_cast<unsigned long long>(o.seed));
  std::fflush(stdout);
  const int aside = SetLinesAside();
  const CheckResult result = RunChecks(o, [](const CheckLine& line) {
    std::printf("%s\n", FormatLine(line).c_str());
    std::fflush(stdout);
  });
  NameLinesAside(aside);
  const int status = CheckExitStatus(result);
  long failed = 0, warned = 0;
  for (const CheckLine& line : result.lines) {
    failed += line.mark == Mark::Fail;
    warned += line.mark == Mark::Warn;
  }
  if (status == 0)
    std::printf("every hard check passed (%ld warning%s)\n", warned, warned == 1 ? "" : "s");
  else
    std::printf("%ld check%s failed\n", failed, failed == 1 ? "" : "s");
  return status;
}
