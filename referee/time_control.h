// A time control for isolated players: each player has `base` seconds of
// CPU for a round, and `inc` more after each of its moves. Its PsGetTurn
// and PsOppTurn calls are charged with the CPU they cost (the same clock as
// the move time); running out, past the margin, is a fault like the move
// time.
#pragma once

#include <array>
#include <optional>
#include <string>

#include "error.h"

struct TimeControl {
  bool on = false;
  double base = 0;   // seconds per round per player
  double inc = 0;    // seconds added after each move
  std::string text;  // as given, e.g. "1+0.01"
};

// "BASE+INC" (or "BASE"), decimals allowed; BASE above 0, INC 0 or more.
std::optional<Error> ParseTimeControl(const std::string& text, TimeControl& tc);

// Both players' time in the round in play.
struct RoundClocks {
  double left[3] = {0, 0, 0};   // seconds left, [1] and [2]
  double spent[3] = {0, 0, 0};  // CPU charged since the player's last move
};

void StartClocks(RoundClocks& clocks, const TimeControl& tc);

// Charges player n's clock with cpu seconds.
inline void ChargeClock(RoundClocks& clocks, int n, double cpu) {
  clocks.left[n] -= cpu;
  clocks.spent[n] += cpu;
}

// Player n has moved: its increment is added. Returns what the record
// keeps of the move: the CPU it cost (since the player's last move) and the
// time left after it.
std::array<double, 2> MoveMade(RoundClocks& clocks, int n, const TimeControl& tc);
