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

// Each writes one line to record, when a record is asked for (its fd is
// open), and nothing otherwise.
void RecordMatch(const MatchSetup& setup, const OutStream& record);
// What PsInit told of player n (its info), and whether it said it can play.
void RecordPlayer(const OutStream& record, int n, const PsInfo& info, bool ready);

struct RoundOutcome {
  std::string end;  // majority, row-empty, rejected, turn-limit, fault
  int winner = 0;   // 0 a draw, 1 or 2
};
void RecordRound(const OutStream& record, const LongOptions& options, const RoundState& round,
                 const RoundOutcome& outcome);
void RecordFault(const OutStream& record, const Fault& fault);
// fault: the one charged, if any; interrupted: SIGINT ended the match
// before its last round.
void RecordEnd(const OutStream& record, const std::optional<Fault>& fault, const int32_t tally[3],
               long double elapsed, int status, bool interrupted = false);
