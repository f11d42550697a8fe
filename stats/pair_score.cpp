#include "pair_score.h"

int OutcomeOfA(int seat, int winner) {
  if (winner == 0) return 0;
  return winner == (seat == 0 ? 1 : 2) ? 1 : -1;
}

int PairQuarters(int winner_seat0, int winner_seat1) {
  return 2 + OutcomeOfA(0, winner_seat0) + OutcomeOfA(1, winner_seat1);
}

void CountOutcome(Wdl& w, int outcome) {
  if (outcome > 0)
    ++w.wins;
  else if (outcome < 0)
    ++w.losses;
  else
    ++w.draws;
}

Wdl Mirror(const Wdl& w) { return {w.losses, w.draws, w.wins}; }

double Points(const Wdl& w) {
  return static_cast<double>(w.wins) + 0.5 * static_cast<double>(w.draws);
}

double ScoreOf(const Wdl& w) {
  return w.Total() ? Points(w) / static_cast<double>(w.Total()) : 0.0;
}

double ScorePercent(const Wdl& w) {
  return w.Total() == 0 ? 0 : 100.0 * Points(w) / static_cast<double>(w.Total());
}
