// The board as the log shows it at the detailed log levels: the four-line
// picture, player 2's row reversed above player 1's, so that facing holes
// stand in one column and sowing runs counter-clockwise; and an opening,
// played on the referee's board with each move drawn.
#pragma once

#include <optional>
#include <string>

#include "openings.h"
#include "referee.h"

// The picture after mover (0 for a round's initial board) played hole,
// each line ending in CR LF.
std::string BoardPicture(const PsBoard& board, int32_t mover, int32_t hole);

// Writes the picture of board to the log in one write.
void PrintState(const OutStream& log, const PsBoard& board, int32_t Mover, int32_t Hole);

// Plays opening (by the rules, openings.h) on a board just reset. With
// detail, each move's lines and the board after it are appended as the log
// draws a move. What is wrong comes back as a phrase.
std::optional<Error> PlayOpeningLogged(PsBoard& board, const Opening& opening, std::string* detail);

// The line that heads an opening in the detailed log, CR LF ended.
std::string OpeningLine(const Opening& opening);
