#include "ratings.h"

#include <cmath>
#include <limits>

#include "pair_score.h"

namespace {

constexpr double kZ = 1.959963984540054;  // two-sided 95 %
constexpr double kEloPerNat = 400 / 2.302585092994046;

// Solves a x = b by Gauss-Jordan elimination with partial pivoting; the
// inverse of a when b is the identity. False when a is singular.
bool Invert(std::vector<std::vector<double>> a, std::vector<std::vector<double>>& inv) {
  const size_t n = a.size();
  inv.assign(n, std::vector<double>(n, 0));
  for (size_t i = 0; i < n; ++i) inv[i][i] = 1;
  for (size_t c = 0; c < n; ++c) {
    size_t p = c;
    for (size_t r = c + 1; r < n; ++r)
      if (std::fabs(a[r][c]) > std::fabs(a[p][c])) p = r;
    if (std::fabs(a[p][c]) < 1e-12) return false;
    std::swap(a[p], a[c]);
    std::swap(inv[p], inv[c]);
    const double d = a[c][c];
    for (size_t k = 0; k < n; ++k) {
      a[c][k] /= d;
      inv[c][k] /= d;
    }
    for (size_t r = 0; r < n; ++r) {
      if (r == c || a[r][c] == 0) continue;
      const double f = a[r][c];
      for (size_t k = 0; k < n; ++k) {
        a[r][k] -= f * a[c][k];
        inv[r][k] -= f * inv[c][k];
      }
    }
  }
  return true;
}

// The Bradley-Terry fit of a field. A player who won (lost) every round
// against the others still rated is infinitely above (below) them: its
// rounds say nothing about their differences, so it leaves the fit, and
// the rest is fitted again.
struct FieldFit {
  std::vector<double> elo;                 // mean 0 over the finite ones
  std::vector<std::vector<double>> games;  // rounds between players still in the fit
};

FieldFit Fit(const std::vector<std::vector<Wdl>>& cross) {
  const size_t n = cross.size();
  std::vector<double> sign(n, 0);  // +1, -1: left the fit
  std::vector<double> wins;
  FieldFit fit;
  for (bool changed = true; changed;) {
    changed = false;
    wins.assign(n, 0);
    fit.games.assign(n, std::vector<double>(n, 0));
    for (size_t i = 0; i < n; ++i)
      for (size_t j = 0; j < n; ++j) {
        if (sign[i] != 0 || sign[j] != 0) continue;
        wins[i] += Points(cross[i][j]);
        fit.games[i][j] = static_cast<double>(cross[i][j].Total());
      }
    for (size_t i = 0; i < n; ++i) {
      double total = 0;
      for (double g : fit.games[i]) total += g;
      if (sign[i] == 0 && total > 0 && (wins[i] == 0 || wins[i] == total)) {
        sign[i] = wins[i] == 0 ? -1 : +1;
        changed = true;
      }
    }
  }
  fit.elo = BradleyTerry(wins, fit.games);
  for (size_t i = 0; i < n; ++i)
    if (sign[i] != 0) fit.elo[i] = sign[i] * std::numeric_limits<double>::infinity();
  return fit;
}

// The covariance of the finite ratings fin (in nats) from the information
// matrix, with the first finite player held at 0: the inverse is the
// covariance of the others' differences from it. False when it has none.
bool Covariance(const FieldFit& fit, const std::vector<size_t>& fin,
                std::vector<std::vector<double>>& cov) {
  cov.assign(fin.size(), std::vector<double>(fin.size(), 0));
  if (fin.size() < 2) return false;
  const size_t m = fin.size() - 1;
  std::vector<std::vector<double>> info(m, std::vector<double>(m, 0));
  for (size_t a = 0; a < fin.size(); ++a)
    for (size_t b = 0; b < fin.size(); ++b) {
      if (a == b) continue;
      const double d = (fit.elo[fin[a]] - fit.elo[fin[b]]) / kEloPerNat;
      const double p = 1 / (1 + std::exp(-d));
      const double w = fit.games[fin[a]][fin[b]] * p * (1 - p);
      if (a > 0) info[a - 1][a - 1] += w;
      if (a > 0 && b > 0) info[a - 1][b - 1] -= w;
    }
  std::vector<std::vector<double>> inv;
  const bool ok = Invert(info, inv);
  for (size_t a = 1; ok && a < fin.size(); ++a)
    for (size_t b = 1; b < fin.size(); ++b) cov[a][b] = inv[a - 1][b - 1];
  return ok;
}

}  // namespace

std::vector<FieldRating> FieldRatings(const std::vector<std::vector<Wdl>>& cross,
                                      std::optional<size_t> anchor) {
  const size_t n = cross.size();
  const FieldFit fit = Fit(cross);
  const std::vector<double>& elo = fit.elo;
  std::vector<size_t> fin;  // players with a finite rating
  for (size_t i = 0; i < n; ++i)
    if (std::isfinite(elo[i])) fin.push_back(i);
  std::vector<std::vector<double>> cov;
  const bool ok = Covariance(fit, fin, cov);
  // Ratings r = A x of the differences x from the first finite player: the
  // anchor's difference, or the mean, subtracted from each.
  const size_t k = fin.size();
  std::vector<double> weight(k, k ? 1.0 / static_cast<double>(k) : 0);
  double shift = 0;
  if (anchor && std::isfinite(elo[*anchor])) {
    for (size_t a = 0; a < k; ++a) weight[a] = fin[a] == *anchor ? 1 : 0;
    shift = elo[*anchor];
  }
  std::vector<FieldRating> out(n);
  for (size_t i = 0; i < n; ++i) {
    out[i].elo = std::isfinite(elo[i]) ? elo[i] - shift : elo[i];
    out[i].low = out[i].high = out[i].elo;
  }
  for (size_t a = 0; ok && a < k; ++a) {
    // Var(x_a - sum_b weight_b x_b) = e^T cov e with e = unit(a) - weight.
    double var = 0;
    for (size_t b = 0; b < k; ++b)
      for (size_t c = 0; c < k; ++c)
        var += ((b == a) - weight[b]) * ((c == a) - weight[c]) * cov[b][c];
    const double half = kZ * std::sqrt(std::max(0.0, var)) * kEloPerNat;
    out[fin[a]].low = out[fin[a]].elo - half;
    out[fin[a]].high = out[fin[a]].elo + half;
  }
  if (!ok)
    for (size_t i : fin) {
      out[i].low = -std::numeric_limits<double>::infinity();
      out[i].high = std::numeric_limits<double>::infinity();
    }
  return out;
}

std::optional<EloBound> OneSidedBound(const Penta& pairs) {
  static const double kScore[5] = {0, 0.25, 0.5, 0.75, 1};
  double n = 0, sum = 0;
  for (size_t k = 0; k < 5; ++k) {
    n += static_cast<double>(pairs[k]);
    sum += static_cast<double>(pairs[k]) * kScore[k];
  }
  if (n == 0) return std::nullopt;
  const double mean = sum / n;
  // Every pair won (lost): the score p whose chance of that is 2.5 %.
  if (mean == 1) return EloBound{+1, EloOfScore(std::pow(0.025, 1 / n))};
  if (mean == 0) return EloBound{-1, EloOfScore(1 - std::pow(0.025, 1 / n))};
  double var = 0;
  for (size_t k = 0; k < 5; ++k)
    var += static_cast<double>(pairs[k]) * (kScore[k] - mean) * (kScore[k] - mean);
  const double half = kZ * std::sqrt(var / n / n);
  if (mean + half >= 1 && mean - half > 0) return EloBound{+1, EloOfScore(mean - half)};
  if (mean - half <= 0 && mean + half < 1) return EloBound{-1, EloOfScore(mean + half)};
  return std::nullopt;
}

std::optional<EloBound> OneSidedBound(const Wdl& rounds) {
  // Scores 0, 1/2 and 1 are the pair scores LL, DD and WW.
  return OneSidedBound(Penta{rounds.losses, 0, rounds.draws, 0, rounds.wins});
}

std::string BoundWords(const EloBound& bound) {
  return (bound.sign > 0 ? "above " : "below ") + Signed(bound.value, 0) + " at 95 %";
}
