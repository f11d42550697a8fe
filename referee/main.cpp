// pitsow: referees a match between the player libraries PsPlayer1.so and
// PsPlayer2.so.
#include <signal.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "command_line.h"
#include "match.h"
#include "output.h"
#include "player_binding.h"

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  Referee ref;
  if (WantsHelp(args)) {
    Emit(ref.console, UsageText());
    return 0;
  }
  // A console that goes away is a failed write like any other: reported,
  // with exit status 3, rather than a silent death by signal.
  signal(SIGPIPE, SIG_IGN);
  const std::string error = BindPlayers(ExecutableDir(), ref.players);
  if (!error.empty()) {
    const std::string line = error + "\n";
    [[maybe_unused]] const ssize_t n = write(STDERR_FILENO, line.data(), line.size());
    return kExitPlayerMissing;
  }
  return RunMatch(ref, args);
}
