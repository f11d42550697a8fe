// Openings: moves played from the filled board, by the rules, before the
// players take over, so that deterministic players meet varied positions.
// Each move is a non-empty hole of the mover, numbered on its own side; an
// extra move keeps the mover; no move may end the round. A file holds one
// opening a line: holes in the referee's integer grammar (integer_text.h),
// separated by blanks, tabs or commas. The referee and the arena read and
// play openings here alone.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "error.h"
#include "pitsow/rules.h"

using Opening = std::vector<int32_t>;

// Plays hole for the mover as an opening move: false, and the board left
// alone, when the round is over or the hole is out of range or empty.
bool PlayOpeningMove(PsBoard& board, int32_t hole, PsSowing* sowing = nullptr);

// Called after each move of an opening with the board after it.
using OpeningMoveSeen =
    std::function<void(const PsBoard& after, int32_t mover, int32_t hole, const PsSowing& sown)>;

// Plays opening on board (the filled board, for a whole opening). What is
// wrong (a hole out of range, an empty hole, a move that ends the round)
// comes back as a phrase; the board is then partly played.
std::optional<Error> PlayOpening(PsBoard& board, const Opening& opening,
                                 const OpeningMoveSeen& seen = nullptr);

// One line of an openings file: its holes (none for a blank line), or
// nullopt when a word is not an integer.
std::optional<Opening> ParseOpening(const std::string& line);

// Reads and checks the openings file for the board of holes x bones, as
// the referee reports it: an error reads "pitsow: FILE, line N: what is
// wrong" (the arena drops the program's name).
Result<std::vector<Opening>> ReadOpenings(const std::string& path, int32_t holes, int32_t bones);
