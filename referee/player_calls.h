// Every call into a player goes through here: the call is noted (who,
// which entry point, round, turn) for fault reports, and the player is
// handed its record and the rows in guarded memory, never the referee's
// own.
#pragma once

#include "referee.h"

// PsInit of player n with ref.Info[n]; the player's answers are copied
// back into ref.Info[n].
bool CallInit(Referee& ref, int n);

// PsGetTurn of player n with copies of the two rows.
int32_t CallGetTurn(Referee& ref, int n, const HoleRow& myHoles, const HoleRow& oppHoles,
                    int32_t myStore, int32_t oppStore);

void CallOppTurn(Referee& ref, int n, int32_t hole);
void CallEndRound(Referee& ref, int n, int32_t my, int32_t opp, int32_t turns);
void CallDone(Referee& ref, int n);
