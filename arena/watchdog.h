// The watchdog of referee runs: the longest a run can honestly take, from
// its rounds and the time limits the referee enforces on every player
// call. A run past it is stuck (stopped, or the referee itself hung) and
// is killed, charged to the referee rather than to a player.
#pragma once

#include "schedule.h"

// The referee's own limit of each player call but PsGetTurn, in seconds
// (its --call-time default; the arena does not change it).
inline constexpr double kRefereeCallTime = 10;

// Seconds a referee run of `rounds` rounds may take: every call at its
// limit, twice over, and a minute for starting and ending.
double RunLimit(const TournamentSettings& s, long rounds);
