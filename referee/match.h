// The match driver: the order of everything the referee does, from reading
// the command line to the last PsDone.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "error.h"
#include "exit_status.h"
#include "match_record.h"
#include "referee.h"

// What a match adds up over its rounds.
struct MatchTotals {
  int32_t tally[3] = {0, 0, 0};           // [0] draws, [1] and [2] wins
  long double PlayerTime[3] = {0, 0, 0};  // each player's turn time
};

// Whether SIGINT stopped the match (only caught when a record is written).
bool MatchInterrupted();

// The rounds of a match between two initialised players, in the one order
// of calls: each round from the reset of the board through the turns (each
// Turn call timed and charged to its mover, until the round is decided or
// the turn limit) to both PsEndRound calls and the round's report. Stops
// after NumRounds rounds, at a player's fault, or when more (if given)
// answers false after a round.
void PlayRounds(const MatchSetup& setup, RoundState& round, Seats& seats, const Outputs& out,
                MatchTotals& totals, const std::function<bool()>& more = nullptr);

// Plays the match between the players bound in ref.seats, with the
// settings of args (the one step that fills ref.setup.settings); returns the exit status, or the
// Error (with its status) when the log or the record cannot be opened. A failed write later on
// throws OutputFailure (output.h) for main.
Result<int> RunMatch(Referee& ref, const std::vector<std::string>& args);

// With a record asked for, a match whose player's host could not load its
// library (ref.seats.failed_load) still leaves one: its match line, a fault line
// of call "load" charged to that player with the report, and its end line
// (status 2). No log is written: nothing was started.
std::optional<Error> RecordFailedLoad(Referee& ref, const std::vector<std::string>& args,
                                      const std::string& report);
