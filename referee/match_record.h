// The machine-readable record of a match, with --results: JSON Lines, one
// object a line, each written whole with one write as soon as its event
// is over, so that a killed match leaves every finished round on disk.
// Lines: "match" (program, settings, the files bound) before any player
// call, "player" per player once its PsInit returned (what it told),
// "round" per round, "fault" when an isolated player fails, "end" (tally,
// elapsed, status).
// The schema is doc/match-record.schema.json.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "referee.h"

void RecordMatch(const Referee& ref);
// What PsInit told of player n, and whether it said it can play.
void RecordPlayer(const Referee& ref, int n, bool ready);

struct RoundOutcome {
  std::string end;  // majority, row-empty, rejected, turn-limit, fault
  int winner = 0;   // 0 a draw, 1 or 2
};
void RecordRound(const Referee& ref, const RoundOutcome& outcome);
void RecordFault(const Referee& ref, const Fault& fault);
// interrupted: SIGINT ended the match before its last round.
void RecordEnd(const Referee& ref, const int32_t tally[3], long double elapsed, int status,
               bool interrupted = false);
