// Ratings that say what they are: Bradley-Terry ratings of a field with
// their 95 % intervals from the likelihood, anchored at the field's mean or
// at a named player; and the bounds of a head-to-head Elo whose interval
// has only one finite end.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "stats.h"

struct FieldRating {
  double elo = 0;            // on the Elo scale; +-inf when the player won or lost everything
  double low = 0, high = 0;  // the 95 % interval; low == high for the anchor
};

// Bradley-Terry ratings of the field from its cross-table (cross[i][j]:
// i's rounds against j, draws half a win each), with intervals from the
// likelihood's curvature (Wald). anchor: the player rated 0, or none for
// ratings that average 0 over the players with a finite rating.
std::vector<FieldRating> FieldRatings(const std::vector<std::vector<Wdl>>& cross,
                                      std::optional<size_t> anchor);

// When the 95 % interval of a pairing's score over pairs of rounds reaches
// a score of 0 or 1, the finite end as an Elo bound: e.g. +600 for "above
// +600 at 95 %" (sign +1), or -600 for "below" (sign -1). A run of all won
// (all lost) pairs gives the exact binomial bound. None when both ends are
// finite or nothing was played.
struct EloBound {
  int sign = 0;  // +1: the Elo is above value, -1: below
  double value = 0;
};
std::optional<EloBound> OneSidedBound(const Penta& pairs);
// The same over single rounds (a win scores 1, a draw 1/2).
std::optional<EloBound> OneSidedBound(const Wdl& rounds);
// "above +153 at 95 %" or "below -153 at 95 %".
std::string BoundWords(const EloBound& bound);
