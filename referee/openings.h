// Openings: moves the referee plays from the filled board, by the rules,
// before the players take over, so that deterministic players meet
// varied positions. A file holds one opening a line: holes separated by
// blanks or commas, each numbered on the mover's own side; an extra move
// keeps the mover.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "board.h"
#include "error.h"

using Opening = std::vector<int32_t>;

// Plays opening on a board just reset. What is wrong (a hole out of range,
// an empty hole, a move that ends the round) comes back as a phrase; the
// board is then partly played. With detail, each move's lines and the
// board after it are appended as the log draws a move.
std::optional<std::string> PlayOpening(Board& board, const Opening& opening, int32_t numBones,
                                       std::string* detail);

// Reads and checks the openings file for the board of numHoles and
// numBones. A bad line is an error naming the file and the line.
std::optional<Error> ReadOpenings(const std::string& path, int32_t numHoles, int32_t numBones,
                                  std::vector<Opening>& openings);

// The line that heads an opening in the detailed log, CR LF ended.
std::string OpeningLine(const Opening& opening);
