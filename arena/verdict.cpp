#include "verdict.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <limits>
#include <numeric>

#include "exit_status.h"
#include "ledger_tally.h"
#include "openings_space.h"
#include "pair_score.h"
#include "ratings.h"
#include "room.h"

namespace {

std::string Pad(const std::string& text, size_t width, bool right = true) {
  if (text.size() >= width) return text;
  const std::string fill(width - text.size(), ' ');
  return right ? fill + text : text + fill;
}

std::string Percent(double x) { return Fixed(100 * x, 1) + "%"; }

std::string EloPm(const Estimate& e) {
  if (e.samples == 0) return "-";
  return Signed(e.elo, 1) + " +/- " + Fixed(e.elo_error, 1);
}

}  // namespace

long PlannedRounds(const TournamentSettings& s, bool all_shards) {
  if (s.pairs <= 0) return -1;
  long n = 0;
  const long pairings = static_cast<long>(Pairings(s).size());
  for (long p = 0; p < pairings; ++p) {
    if (all_shards || s.shards <= 1) {
      n += 2L * s.pairs;
      continue;
    }
    // The pairs k < pairs with (p * pairs + k) mod shards = shard - 1.
    const long base = p * s.pairs % s.shards;
    const long k0 = (s.shard - 1 - base + s.shards) % s.shards;
    if (k0 < s.pairs) n += 2 * ((s.pairs - 1 - k0) / s.shards + 1);
  }
  return n;
}

namespace {

void Add(Wdl& to, const Wdl& w) {
  to.wins += w.wins;
  to.draws += w.draws;
  to.losses += w.losses;
}

}  // namespace

Summary Summarise(const TournamentSettings& s, const Ledger& ledger, bool all_shards) {
  Summary sum;
  const auto pairings = Pairings(s);
  const size_t n = s.players.size();
  sum.players.resize(n);
  sum.cross.assign(n, std::vector<Wdl>(n));
  std::vector<int64_t> unfinished;
  const std::vector<PairTally> tallies = TallyPairings(ledger, pairings.size(), unfinished);
  for (size_t p = 0; p < pairings.size(); ++p) {
    const PairTally& t = tallies[p];
    PairingCounts pc;
    pc.a = pairings[p].first;
    pc.b = pairings[p].second;
    pc.wdl = t.wdl;
    pc.penta = t.penta;
    pc.first = t.first;
    pc.wdl_distinct = t.wdl_distinct;
    pc.penta_distinct = t.penta_distinct;
    pc.openings = static_cast<int64_t>(t.openings.size());
    pc.distinct_rounds = static_cast<int64_t>(t.rounds.size());
    pc.unfinished = unfinished[p];
    const auto a = static_cast<size_t>(pc.a), b = static_cast<size_t>(pc.b);
    Add(sum.players[a].wdl, t.wdl);
    Add(sum.players[b].wdl, Mirror(t.wdl));
    Add(sum.players[a].wdl_distinct, t.wdl_distinct);
    Add(sum.players[b].wdl_distinct, Mirror(t.wdl_distinct));
    Add(sum.cross[a][b], t.wdl);
    Add(sum.cross[b][a], Mirror(t.wdl));
    sum.rounds += static_cast<long>(t.wdl.Total() + unfinished[p]);
    sum.pairs += static_cast<long>(t.Pairs());
    sum.unfinished += static_cast<long>(unfinished[p]);
    sum.pairings.push_back(pc);
  }
  for (const FaultRecord& f : ledger.faults) {
    if (static_cast<size_t>(f.slot.pairing) < sum.pairings.size())
      ++sum.pairings[static_cast<size_t>(f.slot.pairing)].faults;
    for (size_t i = 0; i < n; ++i)
      if (s.players[i].label == f.player) ++sum.players[i].faults;
  }
  for (size_t i = 0; i < n; ++i) sum.players[i].retired = ledger.retired.count(s.players[i].label);
  sum.planned = PlannedRounds(s, all_shards);
  sum.planned_pairs = sum.planned < 0 ? -1 : sum.planned / 2;
  return sum;
}

SprtState SprtOf(const TournamentSettings& s, const Summary& sum) {
  Penta p{};
  if (!sum.pairings.empty()) p = sum.pairings[0].penta_distinct;
  return Sprt(s.sprt.value_or(SprtBounds{}), p);
}

std::vector<std::string> StandingsLines(const TournamentSettings& s, const Summary& sum) {
  std::vector<size_t> order(s.players.size());
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(), [&](size_t x, size_t y) {
    return ScoreOf(sum.players[x].wdl) > ScoreOf(sum.players[y].wdl);
  });
  size_t width = 6;
  for (const PlayerEntry& p : s.players) width = std::max(width, p.label.size());
  std::vector<std::string> lines;
  lines.push_back(Pad("player", width, false) + "  rounds   wins  draws losses  score  " +
                  Pad("Elo +/- 95%", 16) + "  faults");
  for (size_t i : order) {
    const PlayerCounts& pc = sum.players[i];
    std::string line = Pad(s.players[i].label, width, false);
    line += Pad(std::to_string(pc.wdl.Total()), 8) + Pad(std::to_string(pc.wdl.wins), 7) +
            Pad(std::to_string(pc.wdl.draws), 7) + Pad(std::to_string(pc.wdl.losses), 7) +
            Pad(Percent(ScoreOf(pc.wdl)), 7) + "  " + Pad(EloPm(FromWdl(pc.wdl_distinct)), 16) +
            Pad(std::to_string(pc.faults), 8);
    if (pc.retired) line += "  retired";
    lines.push_back(line);
  }
  return lines;
}

namespace {

std::string OpeningsLine(const TournamentSettings& s) {
  if (!s.openings_file.empty())
    return "Openings: " + s.openings_file + ", " + std::to_string(s.opening_lines.size()) +
           " lines";
  const std::string distinct =
      s.opening_distinct > kOpeningListLimit
          ? "more than " + std::to_string(kOpeningListLimit) + " distinct (drawn at random)"
          : std::to_string(s.opening_distinct) + " distinct";
  return "Openings: " + std::to_string(s.opening_depth) + " random moves (" +
         (s.random_openings < 0 ? "auto" : "as asked") + "), " + distinct + ", seed " +
         std::to_string(s.seed);
}

std::string PentaCounts(const char* what, int64_t pairs, const Penta& c) {
  char buf[200];
  std::snprintf(buf, sizeof buf, "%s %ld: LL %ld, LD %ld, DD+WL %ld, WD %ld, WW %ld", what,
                static_cast<long>(pairs), static_cast<long>(c[0]), static_cast<long>(c[1]),
                static_cast<long>(c[2]), static_cast<long>(c[3]), static_cast<long>(c[4]));
  return buf;
}

// A pairing's statistics: what was distinct, then Elo with error bars over
// each distinct pair once, with a warning beside them when repeats are many.
std::string PairingText(const PairingCounts& pc) {
  char buf[400];
  const int64_t pairs = pc.wdl.Total() / 2, distinct = pc.wdl_distinct.Total() / 2;
  const int64_t repeated = pc.wdl.Total() - pc.distinct_rounds;
  std::string out = "  distinct: " + std::to_string(pc.openings) + " openings, " +
                    std::to_string(pc.distinct_rounds) + " rounds, " + std::to_string(distinct) +
                    " pairs\n";
  const Estimate r = FromWdl(pc.wdl_distinct);
  const Estimate p = FromPenta(pc.penta_distinct);
  std::snprintf(buf, sizeof buf, "  Elo %s +/- %s, nElo %s +/- %s, LOS %s, draw ratio %s",
                Signed(r.elo, 2).c_str(), Fixed(r.elo_error, 2).c_str(), Signed(r.nelo, 2).c_str(),
                Fixed(r.nelo_error, 2).c_str(), Percent(r.los).c_str(),
                Percent(static_cast<double>(pc.wdl_distinct.draws) /
                        static_cast<double>(std::max<int64_t>(1, pc.wdl_distinct.Total())))
                    .c_str());
  out += buf;
  if (distinct < pairs) out += " (each distinct pair once)";
  out += "\n";
  if (static_cast<double>(repeated) > kRepeatWarning * static_cast<double>(pc.wdl.Total()))
    out += "  WARNING: " + std::to_string(repeated) + " of " + std::to_string(pc.wdl.Total()) +
           " rounds (" +
           Percent(static_cast<double>(repeated) / static_cast<double>(pc.wdl.Total())) +
           ") repeat an earlier round: too few openings for the pairs; the error bars count "
           "each distinct pair once\n";
  if (pairs == 0) return out;
  out += "  " + PentaCounts("pairs", pairs, pc.penta);
  if (distinct < pairs) out += " (" + PentaCounts("distinct", distinct, pc.penta_distinct) + ")";
  std::snprintf(buf, sizeof buf, "; pair Elo %s +/- %s, nElo %s +/- %s\n", Signed(p.elo, 2).c_str(),
                Fixed(p.elo_error, 2).c_str(), Signed(p.nelo, 2).c_str(),
                Fixed(p.nelo_error, 2).c_str());
  return out + buf;
}

const char* Decision(int verdict) {
  return verdict > 0 ? "H1 accepted" : verdict < 0 ? "H0 accepted" : "no decision";
}

std::string TestName(const SprtBounds& bounds) {
  char buf[200];
  std::snprintf(buf, sizeof buf, "SPRT elo0=%g elo1=%g alpha=%g beta=%g (%s Elo)", bounds.elo0,
                bounds.elo1, bounds.alpha, bounds.beta,
                bounds.normalized ? "normalized" : "logistic");
  return buf;
}

// The test as it stood when a bound was crossed, and what came after:
// rounds of referee runs already under way, counted in everything else.
std::string SprtSummary(const SprtBounds& bounds, const Ledger& ledger, const Summary& sum) {
  const SprtState now = Sprt(bounds, sum.pairings[0].penta_distinct);
  const int64_t distinct = sum.pairings[0].wdl_distinct.Total() / 2;
  char buf[400];
  std::snprintf(buf, sizeof buf, "%s: bounds [%s, %s]\n", TestName(bounds).c_str(),
                Fixed(now.lower, 3).c_str(), Fixed(now.upper, 3).c_str());
  std::string out = buf;
  const Json& d = ledger.sprt_decision;
  if (d.is_object()) {
    const long at_pairs = d.value("pairs", 0L), at_rounds = d.value("rounds", 0L);
    std::snprintf(buf, sizeof buf, "  %s at pair %ld (%ld distinct), LLR %s\n",
                  d.value("decision", "") == "H1" ? "H1 accepted" : "H0 accepted", at_pairs,
                  d.value("distinct", 0L), Fixed(d.value("llr", 0.0), 3).c_str());
    out += buf;
    std::snprintf(buf, sizeof buf,
                  "  played beyond it: %ld rounds already under way, %ld more complete pairs; "
                  "LLR over all %ld distinct pairs %s\n",
                  std::max(0L, sum.rounds - at_rounds), std::max(0L, sum.pairs - at_pairs),
                  static_cast<long>(distinct), Fixed(now.llr, 3).c_str());
    return out + buf;
  }
  std::snprintf(buf, sizeof buf, "  %s: LLR %s over %ld distinct pairs\n", Decision(now.verdict),
                Fixed(now.llr, 3).c_str(), static_cast<long>(distinct));
  return out + buf;
}

}  // namespace

namespace {

size_t LabelWidth(const TournamentSettings& s) {
  size_t width = 6;
  for (const PlayerEntry& p : s.players) width = std::max(width, p.label.size());
  return width;
}

std::string HeadText(const TournamentSettings& s, const Ledger& ledger, const Summary& sum) {
  char buf[256];
  if (sum.planned >= 0)
    std::snprintf(buf, sizeof buf, "Rounds %ld of %ld, pairs %ld of %ld", sum.rounds, sum.planned,
                  sum.pairs, sum.planned_pairs);
  else
    std::snprintf(buf, sizeof buf, "Rounds %ld, pairs %ld (no cap)", sum.rounds, sum.pairs);
  std::string out = buf;
  if (!ledger.end.empty()) out += " (" + ledger.end + ")";
  out += "\n" + OpeningsLine(s) + "\n";
  if (s.sandbox || !s.sandbox_off.empty())
    out += (s.sandbox ? SandboxedLine(s) : "players NOT sandboxed: " + s.sandbox_off) + "\n";
  if (sum.unfinished > 0)
    out += "Unfinished pairs left out of every count: " + std::to_string(sum.unfinished) +
           " (one round each)\n";
  out += "\nStandings\n";
  for (const std::string& l : StandingsLines(s, sum)) out += l + "\n";
  return out;
}

std::string CrossText(const TournamentSettings& s, const Summary& sum) {
  const size_t n = s.players.size(), width = LabelWidth(s);
  std::string out = "\nCross-table (row's score against column)\n" + Pad("", width, false);
  for (const PlayerEntry& p : s.players) out += "  " + Pad(p.label, std::max<size_t>(width, 7));
  out += "\n";
  for (size_t i = 0; i < n; ++i) {
    out += Pad(s.players[i].label, width, false);
    for (size_t j = 0; j < n; ++j) {
      const Wdl& w = sum.cross[i][j];
      const std::string cell = i == j ? "-" : w.Total() ? Percent(ScoreOf(w)) : ".";
      out += "  " + Pad(cell, std::max<size_t>(width, 7));
    }
    out += "\n";
  }
  return out;
}

std::string BradleyTerryText(const TournamentSettings& s, const Summary& sum) {
  const size_t n = s.players.size();
  std::vector<double> wins(n, 0);
  std::vector<std::vector<double>> games(n, std::vector<double>(n, 0));
  for (size_t i = 0; i < n; ++i)
    for (size_t j = 0; j < n; ++j) {
      wins[i] += Points(sum.cross[i][j]);
      games[i][j] = static_cast<double>(sum.cross[i][j].Total());
    }
  const std::vector<double> elo = BradleyTerry(wins, games);
  std::vector<size_t> order(n);
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(), [&](size_t x, size_t y) { return elo[x] > elo[y]; });
  std::string out = "\nBradley-Terry ratings (mean 0)\n";
  for (size_t i : order)
    out += Pad(s.players[i].label, LabelWidth(s), false) + Pad(Signed(elo[i], 1), 9) + "\n";
  return out;
}

std::string PairingsText(const TournamentSettings& s, const Summary& sum) {
  std::string out = "\nPairings\n";
  for (const PairingCounts& pc : sum.pairings) {
    const std::string& la = s.players[static_cast<size_t>(pc.a)].label;
    const std::string& lb = s.players[static_cast<size_t>(pc.b)].label;
    out += la + " vs " + lb + ": " + std::to_string(pc.wdl.Total()) + " rounds, +" +
           std::to_string(pc.wdl.wins) + " =" + std::to_string(pc.wdl.draws) + " -" +
           std::to_string(pc.wdl.losses) + ", score " + Percent(FromWdl(pc.wdl).score) + "\n";
    if (pc.wdl.Total() == 0) continue;
    out += PairingText(pc);
    out += "  first player scores " + Percent(FromWdl(pc.first).score) + " (Elo " +
           Signed(FromWdl(pc.first).elo, 1) + "), faults " + std::to_string(pc.faults) + "\n";
  }
  return out;
}

std::string FaultsText(const TournamentSettings& s, const Ledger& ledger, const Summary& sum) {
  std::string out;
  if (!ledger.faults.empty()) {
    out += "\nFaults (" + std::to_string(ledger.faults.size()) + ")\n";
    for (const FaultRecord& f : ledger.faults) {
      std::string pairing = "pairing " + std::to_string(f.slot.pairing);
      if (static_cast<size_t>(f.slot.pairing) < sum.pairings.size()) {
        const PairingCounts& pc = sum.pairings[static_cast<size_t>(f.slot.pairing)];
        pairing = s.players[static_cast<size_t>(pc.a)].label + " vs " +
                  s.players[static_cast<size_t>(pc.b)].label;
      }
      out += "  " + f.player + " (" + f.kind + "): " + pairing + ", pair " +
             std::to_string(f.slot.pair) + ", seat " + std::to_string(f.slot.seat) + ", " +
             f.match + "\n    " + f.report + "\n";
    }
  }
  for (const auto& [label, faults] : ledger.retired)
    out += "Retired: " + label + " after " + std::to_string(faults) +
           " faults; its remaining rounds are scored as losses\n";
  return out;
}

}  // namespace

std::string VerdictText(const TournamentSettings& s, const Ledger& ledger, const Summary& sum) {
  std::string out = HeadText(s, ledger, sum) + CrossText(s, sum);
  if (s.players.size() >= 3) out += BradleyTerryText(s, sum);
  out += PairingsText(s, sum);
  if (s.sprt && s.players.size() == 2) out += "\n" + SprtSummary(*s.sprt, ledger, sum);
  return out + FaultsText(s, ledger, sum);
}

std::string VerdictLines(const TournamentSettings& s, const Ledger& ledger, const Summary& sum) {
  std::string out = "Verdict: " + VerdictSentence(s, ledger, sum) + "\n";
  if (const std::string hint = SprtBoundsHint(s, sum); !hint.empty()) out += hint + "\n";
  return out;
}

namespace {

// An Elo bound as the test was given it: "+10", "-2.5", "+0".
std::string BoundText(double elo) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%+g", elo);
  return buf;
}

std::string ErrorRates(const SprtBounds& b) {
  char buf[96];
  if (b.alpha == b.beta)
    std::snprintf(buf, sizeof buf, "α = β = %g", b.alpha);
  else
    std::snprintf(buf, sizeof buf, "α = %g, β = %g", b.alpha, b.beta);
  return buf;
}

// The head-to-head estimate of the only pairing: over the distinct pairs
// when pairs were played, else over the distinct rounds.
Estimate PairEstimate(const PairingCounts& pc) {
  return pc.penta_distinct == Penta{} ? FromWdl(pc.wdl_distinct) : FromPenta(pc.penta_distinct);
}

// "+186 ± 25", or the bound where the interval reaches a score of 0 or 1.
std::string EstimateText(const PairingCounts& pc, const Estimate& e, bool normalized) {
  if (std::isfinite(e.elo) && std::isfinite(e.elo_error))
    return normalized ? Signed(e.nelo, 0) + " ± " + Fixed(e.nelo_error, 0) + " nElo"
                      : Signed(e.elo, 0) + " ± " + Fixed(e.elo_error, 0);
  const auto bound = pc.penta_distinct == Penta{} ? OneSidedBound(pc.wdl_distinct)
                                                  : OneSidedBound(pc.penta_distinct);
  if (bound) return BoundWords(*bound);
  return e.score >= 0.5 ? "+∞ (every round won)" : "−∞ (every round lost)";
}

std::string SprtSentence(const TournamentSettings& s, const Ledger& ledger, const Summary& sum) {
  const SprtBounds& b = *s.sprt;
  const PairingCounts& pc = sum.pairings[0];
  const std::string& a = s.players[static_cast<size_t>(pc.a)].label;
  const std::string& o = s.players[static_cast<size_t>(pc.b)].label;
  const std::string unit = b.normalized ? " nElo" : " Elo";
  const Estimate e = PairEstimate(pc);
  const std::string estimate = "; estimate " + EstimateText(pc, e, b.normalized) + " over " +
                               std::to_string(e.samples) + " pairs";
  const Json& d = ledger.sprt_decision;
  if (d.is_object()) {
    const std::string at = " accepted at pair " + std::to_string(d.value("pairs", 0L)) + ", ";
    if (d.value("decision", "") == "H1")
      return a + " is stronger than " + o + ": H1 (at least " + BoundText(b.elo1) + unit + ")" +
             at + ErrorRates(b) + estimate;
    return a + " is not stronger than " + o + " by " + BoundText(b.elo1) + unit + ": H0 (at most " +
           BoundText(b.elo0) + unit + ")" + at + ErrorRates(b) + estimate;
  }
  const SprtState now = Sprt(b, pc.penta_distinct);
  char llr[160];
  std::snprintf(llr, sizeof llr, "LLR %.2f between the bounds %.2f and %.2f", now.llr, now.lower,
                now.upper);
  return "No decision yet whether " + a + " is stronger than " + o + " (H1: at least " +
         BoundText(b.elo1) + unit + "; H0: at most " + BoundText(b.elo0) + unit + "): " + llr +
         " after " + std::to_string(pc.wdl_distinct.Total() / 2) + " pairs, " + ErrorRates(b) +
         estimate;
}

std::string TwoPlayerSentence(const TournamentSettings& s, const Summary& sum) {
  const PairingCounts& pc = sum.pairings[0];
  const std::string& a = s.players[static_cast<size_t>(pc.a)].label;
  const std::string& b = s.players[static_cast<size_t>(pc.b)].label;
  const Estimate e = PairEstimate(pc);
  if (e.samples == 0) return "No complete pair of rounds yet between " + a + " and " + b;
  const std::string over =
      std::to_string(e.samples) + (pc.penta_distinct == Penta{} ? " rounds" : " pairs of rounds");
  const std::string los = "LOS " + Fixed(100 * e.los, 1) + " %";
  const double low = e.elo - e.elo_error, high = e.elo + e.elo_error;
  const bool infinite = !std::isfinite(e.elo) || !std::isfinite(e.elo_error);
  const std::string estimate = "Elo of " + a + " " + EstimateText(pc, e, false);
  if (!infinite && e.elo_error == 0 && e.elo == 0)
    return a + " and " + b + " are not separated: all " + over +
           " scored alike, Elo +0 with no spread to measure";
  // An interval with one finite end separates the players only when that
  // end is beyond 0.
  const std::optional<EloBound> bound = pc.penta_distinct == Penta{}
                                            ? OneSidedBound(pc.wdl_distinct)
                                            : OneSidedBound(pc.penta_distinct);
  const bool ahead = infinite ? bound && bound->sign > 0 && bound->value > 0 : low > 0;
  const bool behind = infinite ? bound && bound->sign < 0 && bound->value < 0 : high < 0;
  const std::string at95 = infinite ? "" : " (95 %)";
  if (ahead || behind)
    return (ahead ? a + " is stronger than " + b : b + " is stronger than " + a) + ": " + estimate +
           at95 + ", " + los + ", over " + over + "; the interval excludes 0";
  return a + " and " + b + " are not yet separated: " + estimate + at95 + ", " + los + ", over " +
         over + "; the interval includes 0";
}

std::string RatingText(double elo) {
  if (elo == std::numeric_limits<double>::infinity()) return "won every round";
  if (elo == -std::numeric_limits<double>::infinity()) return "lost every round";
  return Signed(elo, 0);
}

// Places whose 95 % intervals overlap with a neighbour's share one group:
// the ranking cannot yet tell them apart.
std::string FieldSentence(const TournamentSettings& s, const Summary& sum) {
  const std::vector<FieldRating> r = FieldRatings(sum.cross, std::nullopt);
  std::vector<size_t> order(r.size());
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(),
                   [&](size_t x, size_t y) { return r[x].elo > r[y].elo; });
  if (sum.rounds == 0) return "No rounds played yet";
  std::string out = "Ranking by Bradley–Terry rating (mean 0, 95 %): ";
  bool any_tie = false;
  for (size_t i = 0; i < order.size();) {
    size_t j = i + 1;
    while (j < order.size() && std::isfinite(r[order[j]].elo) &&
           std::isfinite(r[order[j - 1]].elo) && r[order[j]].high >= r[order[j - 1]].low)
      ++j;
    out += i == 0 ? "" : "; ";
    out += std::to_string(i + 1) + (j > i + 1 ? "–" + std::to_string(j) : "") + ". ";
    for (size_t k = i; k < j; ++k)
      out += (k == i ? "" : ", ") + s.players[order[k]].label + " " + RatingText(r[order[k]].elo);
    if (j > i + 1) {
      out += " (not yet separated)";
      any_tie = true;
    }
    i = j;
  }
  if (!any_tie) out += "; every place is separated";
  return out;
}

}  // namespace

std::string VerdictSentence(const TournamentSettings& s, const Ledger& ledger, const Summary& sum) {
  if (s.players.size() == 2 && !sum.pairings.empty()) {
    std::string out = s.sprt ? SprtSentence(s, ledger, sum) : TwoPlayerSentence(s, sum);
    return out + ".";
  }
  return FieldSentence(s, sum) + ".";
}

std::string SprtBoundsHint(const TournamentSettings& s, const Summary& sum) {
  if (!s.sprt || s.players.size() != 2 || sum.pairings.empty()) return "";
  const SprtBounds& b = *s.sprt;
  const Estimate e = PairEstimate(sum.pairings[0]);
  if (e.samples == 0) return "";
  const double value = b.normalized ? e.nelo : e.elo;
  const double error = b.normalized ? e.nelo_error : e.elo_error;
  const double width = std::max(std::fabs(b.elo1 - b.elo0), 5.0);
  if (!std::isfinite(value) || !std::isfinite(error)) return "";
  if (value - error <= b.elo1 + width && value + error >= b.elo0 - width) return "";
  return "The estimate lies far outside the test's bounds [" + BoundText(b.elo0) + ", " +
         BoundText(b.elo1) + "]: bounds closer to the difference you expect decide in fewer pairs.";
}

std::string EloLegend(const TournamentSettings& s) {
  std::string out =
      "Which Elo is which: the standings' Elo is per round, each player's score against the "
      "rest of the field; the head-to-head Elo is per pair of rounds over one opening with the "
      "seats swapped, the fairer error bar";
  if (s.sprt) out += ", and the one the sequential test and the verdict use";
  if (s.players.size() >= 3)
    out += "; the ratings are Bradley–Terry, fitted to every round at once, and rank the field";
  return out + ". Intervals are 95 %.";
}

namespace {

// "+12.34 +/- 5.67", or where the interval reaches a score of 0 or 1 its
// finite end as a bound, as the page shows it.
std::string EloLine(const Estimate& e, const std::optional<EloBound>& bound) {
  if (std::isfinite(e.elo) && std::isfinite(e.elo_error))
    return Signed(e.elo, 2) + " +/- " + Fixed(e.elo_error, 2);
  if (bound) return (bound->sign > 0 ? "above " : "below ") + Signed(bound->value, 2) + " at 95%";
  return Signed(e.elo, 2) + " +/- " + Fixed(e.elo_error, 2);
}

}  // namespace

std::string WdlText(const Wdl& w) {
  const Estimate e = FromWdl(w);
  char buf[400];
  std::snprintf(buf, sizeof buf,
                "Rounds %ld: +%ld =%ld -%ld, score %s (%s)\n"
                "Elo %s, LOS %s%%, nElo %s +/- %s, draw ratio %s\n",
                static_cast<long>(w.Total()), static_cast<long>(w.wins), static_cast<long>(w.draws),
                static_cast<long>(w.losses), Fixed(e.score, 4).c_str(), Percent(e.score).c_str(),
                EloLine(e, OneSidedBound(w)).c_str(), Fixed(100 * e.los, 2).c_str(),
                Signed(e.nelo, 2).c_str(), Fixed(e.nelo_error, 2).c_str(),
                w.Total()
                    ? Percent(static_cast<double>(w.draws) / static_cast<double>(w.Total())).c_str()
                    : "-");
  return buf;
}

std::string PentaText(const Penta& p) {
  const Estimate e = FromPenta(p);
  char buf[400];
  std::snprintf(buf, sizeof buf,
                "Pairs %ld: LL %ld, LD %ld, DD+WL %ld, WD %ld, WW %ld, score %s (%s)\n"
                "Elo %s, LOS %s%%, nElo %s +/- %s\n",
                static_cast<long>(e.samples), static_cast<long>(p[0]), static_cast<long>(p[1]),
                static_cast<long>(p[2]), static_cast<long>(p[3]), static_cast<long>(p[4]),
                Fixed(e.score, 4).c_str(), Percent(e.score).c_str(),
                EloLine(e, OneSidedBound(p)).c_str(), Fixed(100 * e.los, 2).c_str(),
                Signed(e.nelo, 2).c_str(), Fixed(e.nelo_error, 2).c_str());
  return buf;
}

std::string SprtText(const SprtBounds& bounds, const SprtState& t) {
  char buf[400];
  std::snprintf(buf, sizeof buf, "%s: LLR %s, bounds [%s, %s]: %s\n", TestName(bounds).c_str(),
                Fixed(t.llr, 3).c_str(), Fixed(t.lower, 3).c_str(), Fixed(t.upper, 3).c_str(),
                Decision(t.verdict));
  return buf;
}

std::string SandboxedLine(const TournamentSettings& s) {
  RoomLimits room;
  if (s.memory_mb > 0) room.memory_mb = s.memory_mb;
  return "players sandboxed (" + RoomLimitsText(room) + ")";
}

std::optional<Error> WriteVerdictFile(const std::string& out_dir, const std::string& verdict) {
  const std::string path = out_dir + "/report.txt";
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << verdict;
  out.flush();
  if (!out) return Error{"cannot write " + path, kExitIoError};
  return std::nullopt;
}
