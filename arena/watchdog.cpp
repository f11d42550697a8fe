#include "watchdog.h"

double RunLimit(const TournamentSettings& s, long rounds) {
  const double call = kRefereeCallTime;
  const double move = s.move_time > 0 ? s.move_time : call;
  // A turn is the mover's PsGetTurn and the other's PsOppTurn; a round
  // ends with both players' PsEndRound. Loading, PsInit and PsDone: six
  // calls a run.
  const double round = static_cast<double>(s.max_turns) * (move + call) + 2 * call;
  return 60 + 2 * (6 * call + static_cast<double>(rounds) * round);
}
