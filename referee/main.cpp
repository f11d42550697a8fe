// pitsow: referees a match between the player libraries PsPlayer1.so and
// PsPlayer2.so.
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
  const std::string error = BindPlayers(ExecutableDir(), ref.players);
  if (!error.empty()) {
    const std::string line = error + "\n";
    [[maybe_unused]] const ssize_t n = write(STDERR_FILENO, line.data(), line.size());
    return kExitPlayerMissing;
  }
  return RunMatch(ref, args);
}
