// pitsow: referees a match between two player libraries.
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "command_line.h"
#include "crash_guard.h"
#include "match.h"
#include "output.h"
#include "player_binding.h"

namespace {

// Before any file is created: a closed standard input or error is opened
// on /dev/null, so that no file of the match takes its number; a closed
// standard output ends the run, as its console would be lost.
bool StandardDescriptorsReady() {
  if (fcntl(STDOUT_FILENO, F_GETFD) < 0) {
    if (fcntl(STDERR_FILENO, F_GETFD) >= 0)
      ReportToStderr("pitsow: standard output is closed; the console cannot be written");
    return false;
  }
  if (fcntl(STDIN_FILENO, F_GETFD) < 0 && open("/dev/null", O_RDONLY) != STDIN_FILENO)
    return false;
  if (fcntl(STDERR_FILENO, F_GETFD) < 0 && open("/dev/null", O_WRONLY) != STDERR_FILENO)
    return false;
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (!StandardDescriptorsReady()) return kExitIoError;
  const std::vector<std::string> args(argv + 1, argv + argc);
  Referee ref;
  if (WantsHelp(args)) {
    Emit(ref.console, UsageText());
    return kExitMatchComplete;
  }
  // A console that goes away is a failed write like any other: reported,
  // with exit status 3, rather than a silent death by signal.
  signal(SIGPIPE, SIG_IGN);
  InstallCrashGuard();
  if (const auto error = BindPlayers(ExecutableDir(), ref)) {
    ReportToStderr(error->text);
    return kExitPlayerMissing;
  }
  return RunMatch(ref, args);
}
