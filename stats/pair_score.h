// The one place a round's winner becomes a score: a player's outcome in a
// round from the seat it sat in, the quarters of a point a pair of rounds
// gives, and the points of win, draw and loss counts (a draw half a win).
// The runner, the verdict and the report all score through these.
#pragma once

#include "stats.h"

// A's result in a round where A sat in `seat` (0: A is player 1) and the
// referee named `winner` (0 draw, 1 or 2): +1 won, 0 draw, -1 lost.
int OutcomeOfA(int seat, int winner);

// Quarters of a point A takes from a pair, from the winners of its round
// with A as player 1 and of its round with A as player 2: 0 (LL) .. 4 (WW).
int PairQuarters(int winner_seat0, int winner_seat1);

// Counts one outcome (+1, 0, -1) into w.
void CountOutcome(Wdl& w, int outcome);

// The same counts from the other side.
Wdl Mirror(const Wdl& w);

// Wins plus half the draws.
double Points(const Wdl& w);

// Points per round, 0 when nothing was played.
double ScoreOf(const Wdl& w);

// The same in percent: 100 * points / rounds, 0 when nothing was played.
double ScorePercent(const Wdl& w);
