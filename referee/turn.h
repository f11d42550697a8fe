// One turn of the player to move: ask it for a hole, check the answer,
// play the move on the board, tell the opponent, test for the end of the
// round, and go on for as long as the mover earns extra moves.
#pragma once

#include "referee.h"

// The four references are the mover's view of ref.board: its own row, the
// opponent's row, its own store and the opponent's store. Players see
// copies of the rows, so the board stays the referee's alone.
void Turn(Referee& ref, HoleRow& MyHoles, HoleRow& OppHoles, int32_t& MyStore, int32_t& OppStore);
