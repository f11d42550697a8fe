// pitsow: referees a match between two player libraries.
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "command_line.h"
#include "crash_guard.h"
#include "long_options.h"
#include "match.h"
#include "openings.h"
#include "output.h"
#include "player_binding.h"
#include "program_folder.h"

namespace {

// Before any file is created: a closed standard input or error is opened
// on /dev/null, so that no file of the match takes its number; a closed
// standard output ends the run, as its console would be lost.
std::optional<Error> StandardDescriptorsReady() {
  if (fcntl(STDOUT_FILENO, F_GETFD) < 0)
    return Error{"pitsow: standard output is closed; the console cannot be written", kExitIoError};
  if (fcntl(STDIN_FILENO, F_GETFD) < 0 && open("/dev/null", O_RDONLY) != STDIN_FILENO)
    return Error{std::string("pitsow: cannot open /dev/null for the closed standard input: ") +
                     std::strerror(errno),
                 kExitIoError};
  // A closed stderr that cannot be reopened: nothing can be told anywhere.
  if (fcntl(STDERR_FILENO, F_GETFD) < 0 && open("/dev/null", O_WRONLY) != STDERR_FILENO)
    return Error{"", kExitIoError};
  return std::nullopt;
}

// The referee from the command line to the match's exit status.
int Run(int argc, char** argv) {
  if (const auto error = StandardDescriptorsReady()) {
    if (!error->text.empty()) ReportToStderr(error->text);  // stderr is open, or was reopened
    return error->status;
  }
  const SplitArgs args = SplitArguments(std::vector<std::string>(argv + 1, argv + argc));
  Referee ref;
  if (WantsHelp(args.slash_args)) {
    Emit(ref.out.console, UsageText() + "\r\n" + LongOptionsUsage());
    return kExitMatchComplete;
  }
  // Long options and the openings are checked before anything happens: a
  // bad one is one line on stderr, and no file is written, no player bound.
  if (const auto error = ParseLongOptions(args.long_args, ref.setup.options)) {
    ReportToStderr(error->text);
    return kExitUsage;
  }
  if (!ref.setup.options.openings.empty()) {
    Settings board;  // the board the slash options will set up
    ParseCommandString(args.slash_args, board);
    Result<std::vector<Opening>> read =
        ReadOpenings(ref.setup.options.openings, board.NumHoles, board.NumBones);
    if (!read) {
      ReportToStderr(read.error().text);
      return kExitUsage;
    }
    ref.setup.openings = std::move(*read);
  }
  ref.setup.sources[1].file = ref.setup.options.player[1];
  ref.setup.sources[2].file = ref.setup.options.player[2];
  // A console that goes away is a failed write like any other: reported,
  // with exit status 3, rather than a silent death by signal.
  signal(SIGPIPE, SIG_IGN);
  if (const auto error = InstallCrashGuard()) {
    ReportToStderr(error->text);
    return error->status;
  }
  if (const auto error = BindPlayers(ProgramFolder(), ref.setup, ref.seats)) {
    ReportToStderr(error->text);
    if (const auto unrecorded = RecordFailedLoad(ref, args.slash_args, error->text)) {
      ReportToStderr(unrecorded->text);
      return unrecorded->status;
    }
    return kExitPlayerMissing;
  }
  const Result<int> status = RunMatch(ref, args.slash_args);
  if (!status) {
    ReportToStderr(status.error().text);
    return status.error().status;
  }
  return *status;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return Run(argc, argv);
  } catch (const OutputFailure& failure) {
    ReportToStderr(failure.error.text);
    return failure.error.status;
  }
}
