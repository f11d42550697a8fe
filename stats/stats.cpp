#include "stats.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <sstream>

namespace {

constexpr double kZ95 = 1.959964;
const double kNeloScale = 800.0 / std::log(10.0);
constexpr double kInf = std::numeric_limits<double>::infinity();

double Phi(double x) { return 0.5 * std::erfc(-x / std::sqrt(2.0)); }

// Score, variance and standard error of outcomes with scores a and counts c.
struct Moments {
  double n = 0, s = 0.5, var = 0, se = 0;
};

Moments MomentsOf(const std::vector<double>& a, const std::vector<double>& c) {
  Moments m;
  for (double x : c) m.n += x;
  if (m.n <= 0) return m;
  m.s = 0;
  for (size_t i = 0; i < a.size(); ++i) m.s += c[i] / m.n * a[i];
  for (size_t i = 0; i < a.size(); ++i) m.var += c[i] / m.n * (a[i] - m.s) * (a[i] - m.s);
  m.se = std::sqrt(m.var / m.n);
  return m;
}

Estimate EstimateOf(const std::vector<double>& a, const std::vector<double>& c, bool pairs) {
  const Moments m = MomentsOf(a, c);
  Estimate e;
  e.samples = static_cast<int64_t>(m.n);
  e.score = m.s;
  e.elo = EloOfScore(m.s);
  const double hi = m.s + kZ95 * m.se, lo = m.s - kZ95 * m.se;
  e.elo_error = (hi >= 1 || lo <= 0) ? kInf : (EloOfScore(hi) - EloOfScore(lo)) / 2;
  if (m.se > 0) {
    e.los = Phi((m.s - 0.5) / m.se);
    const double spread = pairs ? std::sqrt(2 * m.var) : std::sqrt(m.var);
    e.nelo = (m.s - 0.5) / spread * kNeloScale;
    e.nelo_error = kZ95 * m.se / spread * kNeloScale;
  } else {
    e.los = m.s > 0.5 ? 1 : m.s < 0.5 ? 0 : 0.5;
    // One outcome only: no spread to normalise by.
    if (m.s != 0.5) {
      e.nelo = m.s > 0.5 ? kInf : -kInf;
      e.nelo_error = kInf;
    }
  }
  return e;
}

const std::vector<double> kWdlScores = {1, 0.5, 0};
const std::vector<double> kPentaScores = {0, 0.25, 0.5, 0.75, 1};

// The frequencies of greatest likelihood for the observed ones p under the
// constraint sum q_i d_i = 0: q_i = p_i / (1 + theta d_i), where theta
// solves sum p_i d_i / (1 + theta d_i) = 0, found by bisection (the sum
// falls as theta rises).
std::vector<double> FitToZero(const std::vector<double>& d, const std::vector<double>& p) {
  double lo = -kInf, hi = kInf;
  for (double di : d) {
    if (di > 0) lo = std::max(lo, -1 / di);
    if (di < 0) hi = std::min(hi, -1 / di);
  }
  auto f = [&](double theta) {
    double sum = 0;
    for (size_t i = 0; i < d.size(); ++i) sum += p[i] * d[i] / (1 + theta * d[i]);
    return sum;
  };
  const double eps = 1e-12;
  double l = lo + eps * (1 + std::fabs(lo)), h = hi - eps * (1 + std::fabs(hi));
  for (int i = 0; i < 200; ++i) {
    const double mid = (l + h) / 2;
    if (f(mid) > 0)
      l = mid;
    else
      h = mid;
  }
  const double theta = (l + h) / 2;
  std::vector<double> fitted(d.size());
  for (size_t i = 0; i < d.size(); ++i) fitted[i] = p[i] / (1 + theta * d[i]);
  return fitted;
}

// The nearest frequencies with the expected score s.
std::vector<double> FitToScore(const std::vector<double>& a, const std::vector<double>& p,
                               double s) {
  std::vector<double> d;
  for (double ai : a) d.push_back(ai - s);
  return FitToZero(d, p);
}

// The nearest frequencies with (mean - 1/2) / sd = t. At the optimum
// q_i = p_i / (1 + theta psi_i) with psi_i = a_i - 1/2 - t sd / 2 -
// t (a_i - mean)^2 / (2 sd) (the constraint's gradient, shifted so that
// sum q_i psi_i is the constraint itself); psi depends on q, so the fit
// is repeated from the observed frequencies until it stands still.
std::vector<double> FitToTValue(const std::vector<double>& a, const std::vector<double>& p,
                                double t) {
  std::vector<double> q = p, psi(a.size());
  for (int iteration = 0; iteration < 1000; ++iteration) {
    double mean = 0, var = 0;
    for (size_t i = 0; i < a.size(); ++i) mean += q[i] * a[i];
    for (size_t i = 0; i < a.size(); ++i) var += q[i] * (a[i] - mean) * (a[i] - mean);
    const double sd = std::sqrt(var);
    if (!(sd > 0)) break;
    for (size_t i = 0; i < a.size(); ++i)
      psi[i] = a[i] - 0.5 - t * sd / 2 - t * (a[i] - mean) * (a[i] - mean) / (2 * sd);
    const std::vector<double> next = FitToZero(psi, p);
    double change = 0;
    for (size_t i = 0; i < a.size(); ++i) change = std::max(change, std::fabs(next[i] - q[i]));
    q = next;
    if (change < 1e-13) break;
  }
  return q;
}

}  // namespace

double EloOfScore(double x) {
  if (x <= 0) return -kInf;
  if (x >= 1) return kInf;
  return -400 * std::log10(1 / x - 1);
}

double ScoreOfElo(double elo) { return 1 / (1 + std::pow(10.0, -elo / 400)); }

Estimate FromWdl(const Wdl& w) {
  return EstimateOf(
      kWdlScores,
      {static_cast<double>(w.wins), static_cast<double>(w.draws), static_cast<double>(w.losses)},
      false);
}

Estimate FromPenta(const Penta& p) {
  std::vector<double> c;
  for (int64_t x : p) c.push_back(static_cast<double>(x));
  return EstimateOf(kPentaScores, c, true);
}

Result<SprtBounds> ParseSprt(const std::string& text) {
  SprtBounds bounds;
  std::stringstream in(text);
  std::string item;
  while (std::getline(in, item, ',')) {
    const size_t eq = item.find('=');
    if (eq == std::string::npos) return Error{"expected key=value, got \"" + item + "\""};
    const std::string key = item.substr(0, eq), value = item.substr(eq + 1);
    char* end = nullptr;
    const double v = std::strtod(value.c_str(), &end);
    if (value.empty() || *end != '\0' || !std::isfinite(v))
      return Error{"bad number \"" + value + "\""};
    if (key == "elo0")
      bounds.elo0 = v;
    else if (key == "elo1")
      bounds.elo1 = v;
    else if (key == "alpha")
      bounds.alpha = v;
    else if (key == "beta")
      bounds.beta = v;
    else
      return Error{"unknown key \"" + key + "\""};
  }
  if (!(bounds.alpha > 0 && bounds.alpha < 1 && bounds.beta > 0 && bounds.beta < 1))
    return Error{"alpha and beta must lie between 0 and 1"};
  if (!(bounds.elo0 < bounds.elo1)) return Error{"elo0 must be below elo1"};
  return bounds;
}

namespace {

SprtState SprtOf(const SprtBounds& bounds, const std::vector<double>& scores,
                 const std::vector<int64_t>& counts) {
  SprtState st;
  st.lower = std::log(bounds.beta / (1 - bounds.alpha));
  st.upper = std::log((1 - bounds.beta) / bounds.alpha);
  double n = 0;
  int64_t real = 0;
  std::vector<double> c;
  for (int64_t x : counts) {
    c.push_back(x == 0 ? 1e-3 : static_cast<double>(x));
    n += c.back();
    real += x;
  }
  if (real == 0) return st;
  std::vector<double> freq;
  for (double x : c) freq.push_back(x / n);
  // A normalised Elo as a t-value: a pair's spread is sqrt 2 times a
  // round's (see EstimateOf).
  const double per_t = (scores.size() == 5 ? std::sqrt(2.0) : 1.0) / kNeloScale;
  const auto fit = [&](double elo) {
    return bounds.normalized ? FitToTValue(scores, freq, elo * per_t)
                             : FitToScore(scores, freq, ScoreOfElo(elo));
  };
  const std::vector<double> p0 = fit(bounds.elo0), p1 = fit(bounds.elo1);
  for (size_t i = 0; i < freq.size(); ++i) st.llr += freq[i] * std::log(p1[i] / p0[i]);
  st.llr *= n;
  st.verdict = st.llr >= st.upper ? 1 : st.llr <= st.lower ? -1 : 0;
  return st;
}

}  // namespace

SprtState Sprt(const SprtBounds& bounds, const Penta& p) {
  return SprtOf(bounds, kPentaScores, std::vector<int64_t>(p.begin(), p.end()));
}

SprtState Sprt(const SprtBounds& bounds, const Wdl& w) {
  return SprtOf(bounds, kWdlScores, {w.wins, w.draws, w.losses});
}

std::vector<double> BradleyTerry(const std::vector<double>& wins,
                                 const std::vector<std::vector<double>>& games) {
  const size_t n = wins.size();
  std::vector<double> total(n, 0);
  for (size_t i = 0; i < n; ++i)
    for (size_t j = 0; j < n; ++j) total[i] += games[i][j];
  std::vector<bool> finite(n);
  for (size_t i = 0; i < n; ++i) finite[i] = wins[i] > 0 && wins[i] < total[i];
  std::vector<double> gamma(n, 1.0);
  for (int iteration = 0; iteration < 10000; ++iteration) {
    double change = 0;
    for (size_t i = 0; i < n; ++i) {
      if (!finite[i]) continue;
      double denominator = 0;
      for (size_t j = 0; j < n; ++j)
        if (j != i && games[i][j] > 0) denominator += games[i][j] / (gamma[i] + gamma[j]);
      const double next = wins[i] / denominator;
      change = std::max(change, std::fabs(std::log(next / gamma[i])));
      gamma[i] = next;
    }
    if (change < 1e-12) break;
  }
  std::vector<double> elo(n);
  double mean = 0;
  int counted = 0;
  for (size_t i = 0; i < n; ++i) {
    if (finite[i]) {
      elo[i] = 400 * std::log10(gamma[i]);
      mean += elo[i];
      ++counted;
    } else {
      elo[i] = total[i] > 0 && wins[i] >= total[i] ? kInf : total[i] > 0 ? -kInf : 0;
    }
  }
  if (counted > 0) mean /= counted;
  for (size_t i = 0; i < n; ++i)
    if (finite[i]) elo[i] -= mean;
  return elo;
}
