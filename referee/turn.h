// One turn of the player to move: ask it for a hole, check the answer,
// play the move on the board, tell the opponent, test for the end of the
// round, and go on for as long as the mover earns extra moves.
#pragma once

#include "referee.h"

// Plays for CurPlayer(round.board). The mover is shown its view of the
// board (MyHoles, OppHoles, MyStore, OppStore) as copies, so the board
// stays the referee's alone; the move itself, its capture, extra move,
// end-of-round test and the change of mover are the rules header's
// (PsPlayMoveUnswept). Writes the move's lines to out.log.
void Turn(const MatchSetup& setup, RoundState& round, Seats& seats, const Outputs& out);
