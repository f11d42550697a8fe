// The four-line picture of the board written to the log at the detailed
// log levels: player 2's row reversed above player 1's, so that facing
// holes stand in one column and sowing runs counter-clockwise.
#pragma once

#include <string>

#include "referee.h"

// The picture after mover (0 for a round's initial board) played hole,
// each line ending in CR LF.
std::string BoardPicture(const Board& board, int32_t mover, int32_t hole);

// Writes the picture to the log in one write.
void PrintState(const Referee& ref, int32_t mover, int32_t hole);
