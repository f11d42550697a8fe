// The statistics of a match between two players: score, Elo difference with
// its 95% interval, likelihood of superiority, normalised Elo, the
// sequential probability ratio test on pair results, and the Bradley-Terry
// ratings of a field. Only counts go in, so `pitsow-arena stats` can check
// the numbers against other tools.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "error.h"
#include "fixed.h"

// Win, draw, loss counts of single rounds, from the first player's side.
struct Wdl {
  int64_t wins = 0, draws = 0, losses = 0;
  int64_t Total() const { return wins + draws + losses; }
};

// Pair outcomes by pair score 0, 1/4, 1/2, 3/4, 1: LL, LD, DD+WL, WD, WW.
using Penta = std::array<int64_t, 5>;

struct Estimate {
  int64_t samples = 0;   // rounds or pairs
  double score = 0.5;    // mean score
  double elo = 0;        // Elo difference
  double elo_error = 0;  // half the 95% interval, in Elo
  double los = 0.5;      // likelihood of superiority, 0..1
  double nelo = 0;       // normalised Elo
  double nelo_error = 0;
};

// Elo of an expected score x: -400 log10(1/x - 1).
double EloOfScore(double x);
// The expected score of an Elo difference.
double ScoreOfElo(double elo);

Estimate FromWdl(const Wdl& w);
Estimate FromPenta(const Penta& p);

// The bounds of the test: elo0 and elo1 are logistic Elo (the expected
// score of elo is 1 / (1 + 10^(-elo/400))), or with `normalized` normalised
// Elo, (score - 1/2) / (the spread of one sample's score) times 800 / ln 10
// (a pair's spread divided by sqrt 2, as for nElo).
struct SprtBounds {
  double elo0 = 0, elo1 = 5, alpha = 0.05, beta = 0.05;
  bool normalized = false;
};

// Parses "elo0=0,elo1=5,alpha=0.05,beta=0.05" (any of the keys, any
// order; the others keep their defaults); the bounds, or what is wrong.
Result<SprtBounds> ParseSprt(const std::string& text);

struct SprtState {
  double llr = 0, lower = 0, upper = 0;
  int verdict = 0;  // -1 H0 accepted, +1 H1 accepted, 0 go on
};

// The generalised SPRT of pair results: the log-likelihood ratio of the
// observed counts under the nearest frequencies with the score (logistic)
// or the normalised Elo (normalized) of elo1 and of elo0.
SprtState Sprt(const SprtBounds& bounds, const Penta& p);
// The same over single rounds (the trinomial model).
SprtState Sprt(const SprtBounds& bounds, const Wdl& w);

// Bradley-Terry ratings by minorisation-maximisation. wins[i] counts
// player i's wins plus half its draws, games[i][j] the rounds between i
// and j. Elo = 400 log10(gamma), mean 0. A player with no score at all (or
// all of it) has no finite rating: -inf or +inf, left out of the mean.
std::vector<double> BradleyTerry(const std::vector<double>& wins,
                                 const std::vector<std::vector<double>>& games);
