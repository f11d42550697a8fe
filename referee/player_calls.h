// Every call into a player goes through here: the call is noted (who,
// which entry point, round, turn) for fault reports, and the player is
// handed its record and the rows in guarded memory, never the referee's
// own. A call reads the setup (its limits) and the round (for the report
// of a fault), charges its cost to the round, and notes a fault in seats.
#pragma once

#include "referee.h"

// PsInit of player n with seats.Info[n]; the player's answers are copied
// back into seats.Info[n].
bool CallInit(const MatchSetup& setup, const RoundState& round, Seats& seats, int n);

// PsGetTurn of player n with copies of the two rows.
int32_t CallGetTurn(const MatchSetup& setup, RoundState& round, Seats& seats, int n,
                    const HoleRow& MyHoles, const HoleRow& OppHoles, int32_t MyStore,
                    int32_t OppStore);

void CallOppTurn(const MatchSetup& setup, RoundState& round, Seats& seats, int n, int32_t hole);
void CallEndRound(const MatchSetup& setup, RoundState& round, Seats& seats, int n, int32_t my,
                  int32_t opp, int32_t turns);
void CallDone(const MatchSetup& setup, const RoundState& round, Seats& seats, int n);
