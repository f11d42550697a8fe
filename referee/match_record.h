// The machine-readable record of a match, with --results: JSON Lines, one
// object a line, each written whole with one write as soon as its event
// is over, so that a killed match leaves every finished round on disk.
// Lines: "match" (program, settings, players), "round" per round,
// "fault" when an isolated player fails, "end" (tally, elapsed, status).
// The schema is doc/match-record.schema.json.
#pragma once

#include <cstdint>
#include <string>

#include "referee.h"

// Player texts are 8-bit: each byte is kept as the character of the same
// number (Latin-1), so any byte round-trips through the JSON text.
std::string Latin1ToUtf8(const std::string& bytes);

void RecordMatch(const Referee& ref);

struct RoundOutcome {
  std::string end;  // majority, row-empty, rejected, turn-limit, fault
  int winner = 0;   // 0 a draw, 1 or 2
};
void RecordRound(const Referee& ref, const RoundOutcome& outcome);
void RecordFault(const Referee& ref, const Fault& fault);
void RecordEnd(const Referee& ref, const int32_t tally[3], long double elapsed, int status);
