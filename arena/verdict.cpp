#include "verdict.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numeric>

namespace {

// Score of A in a round given the seat and the referee's winner.
int Outcome(int seat, int winner) {  // +1 A won, 0 draw, -1 A lost
  if (winner == 0) return 0;
  const int a_as = seat == 0 ? 1 : 2;
  return winner == a_as ? 1 : -1;
}

void Count(Wdl& w, int outcome) {
  if (outcome > 0)
    ++w.wins;
  else if (outcome < 0)
    ++w.losses;
  else
    ++w.draws;
}

double ScoreOf(const Wdl& w) {
  return w.Total() ? (static_cast<double>(w.wins) + 0.5 * static_cast<double>(w.draws)) /
                         static_cast<double>(w.Total())
                   : 0.0;
}

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
  long n = 0;
  const int pairings = static_cast<int>(Pairings(s).size());
  for (int p = 0; p < pairings; ++p)
    for (int k = 0; k < s.pairs; ++k)
      if (all_shards || InShard(s, p, k)) n += 2;
  return n;
}

Summary Summarise(const TournamentSettings& s, const Ledger& ledger, bool all_shards) {
  Summary sum;
  const auto pairings = Pairings(s);
  const size_t n = s.players.size();
  sum.players.resize(n);
  sum.cross.assign(n, std::vector<Wdl>(n));
  for (const auto& [a, b] : pairings) {
    PairingCounts pc;
    pc.a = a;
    pc.b = b;
    sum.pairings.push_back(pc);
  }
  for (const auto& [slot, r] : ledger.rounds) {
    if (slot.pairing < 0 || static_cast<size_t>(slot.pairing) >= pairings.size()) continue;
    PairingCounts& pc = sum.pairings[static_cast<size_t>(slot.pairing)];
    const int o = Outcome(slot.seat, r.winner);
    Count(pc.wdl, o);
    Count(pc.first, r.winner == 0 ? 0 : r.winner == 1 ? 1 : -1);
    Count(sum.players[static_cast<size_t>(pc.a)].wdl, o);
    Count(sum.players[static_cast<size_t>(pc.b)].wdl, -o);
    Count(sum.cross[static_cast<size_t>(pc.a)][static_cast<size_t>(pc.b)], o);
    Count(sum.cross[static_cast<size_t>(pc.b)][static_cast<size_t>(pc.a)], -o);
    ++sum.rounds;
    if (slot.seat == 0) {
      const auto other = ledger.rounds.find({slot.pairing, slot.pair, 1});
      if (other != ledger.rounds.end()) {
        const int total = 2 + o + Outcome(1, other->second.winner);  // 0..4 quarters
        ++pc.penta[static_cast<size_t>(total)];
        ++sum.pairs;
      }
    }
  }
  for (const FaultRecord& f : ledger.faults) {
    if (static_cast<size_t>(f.slot.pairing) < sum.pairings.size())
      ++sum.pairings[static_cast<size_t>(f.slot.pairing)].faults;
    for (size_t i = 0; i < n; ++i)
      if (s.players[i].label == f.player) ++sum.players[i].faults;
  }
  for (size_t i = 0; i < n; ++i) sum.players[i].retired = ledger.retired.count(s.players[i].label);
  sum.planned = PlannedRounds(s, all_shards);
  sum.planned_pairs = sum.planned / 2;
  return sum;
}

SprtState SprtOf(const TournamentSettings& s, const Summary& sum) {
  Penta p{};
  if (!sum.pairings.empty()) p = sum.pairings[0].penta;
  return Sprt(s.sprt.value_or(SprtSpec{}), p);
}

std::vector<std::string> StandingsLines(const TournamentSettings& s, const Summary& sum) {
  std::vector<size_t> order(s.players.size());
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(), [&](size_t x, size_t y) {
    return ScoreOf(sum.players[x].wdl) > ScoreOf(sum.players[y].wdl);
  });
  size_t width = 6;
  for (const PlayerSpec& p : s.players) width = std::max(width, p.label.size());
  std::vector<std::string> lines;
  lines.push_back(Pad("player", width, false) + "  rounds   wins  draws losses  score  " +
                  Pad("Elo +/- 95%", 16) + "  faults");
  for (size_t i : order) {
    const PlayerCounts& pc = sum.players[i];
    std::string line = Pad(s.players[i].label, width, false);
    line += Pad(std::to_string(pc.wdl.Total()), 8) + Pad(std::to_string(pc.wdl.wins), 7) +
            Pad(std::to_string(pc.wdl.draws), 7) + Pad(std::to_string(pc.wdl.losses), 7) +
            Pad(Percent(ScoreOf(pc.wdl)), 7) + "  " + Pad(EloPm(FromWdl(pc.wdl)), 16) +
            Pad(std::to_string(pc.faults), 8);
    if (pc.retired) line += "  retired";
    lines.push_back(line);
  }
  return lines;
}

std::string VerdictText(const TournamentSettings& s, const Ledger& ledger, const Summary& sum) {
  std::string out;
  const size_t n = s.players.size();
  char buf[256];
  std::snprintf(buf, sizeof buf, "Rounds %ld of %ld, pairs %ld of %ld", sum.rounds, sum.planned,
                sum.pairs, sum.planned_pairs);
  out += buf;
  if (!ledger.end.empty()) out += " (" + ledger.end + ")";
  out += "\n\nStandings\n";
  for (const std::string& l : StandingsLines(s, sum)) out += l + "\n";

  size_t width = 6;
  for (const PlayerSpec& p : s.players) width = std::max(width, p.label.size());
  out += "\nCross-table (row's score against column)\n" + Pad("", width, false);
  for (const PlayerSpec& p : s.players) out += "  " + Pad(p.label, std::max<size_t>(width, 7));
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

  if (n >= 3) {
    std::vector<double> wins(n, 0);
    std::vector<std::vector<double>> games(n, std::vector<double>(n, 0));
    for (size_t i = 0; i < n; ++i)
      for (size_t j = 0; j < n; ++j) {
        const Wdl& w = sum.cross[i][j];
        wins[i] += static_cast<double>(w.wins) + 0.5 * static_cast<double>(w.draws);
        games[i][j] = static_cast<double>(w.Total());
      }
    const std::vector<double> elo = BradleyTerry(wins, games);
    std::vector<size_t> order(n);
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(),
                     [&](size_t x, size_t y) { return elo[x] > elo[y]; });
    out += "\nBradley-Terry ratings (mean 0)\n";
    for (size_t i : order)
      out += Pad(s.players[i].label, width, false) + Pad(Signed(elo[i], 1), 9) + "\n";
  }

  out += "\nPairings\n";
  for (const PairingCounts& pc : sum.pairings) {
    const std::string& la = s.players[static_cast<size_t>(pc.a)].label;
    const std::string& lb = s.players[static_cast<size_t>(pc.b)].label;
    const Estimate r = FromWdl(pc.wdl);
    const Estimate p = FromPenta(pc.penta);
    out += la + " vs " + lb + ": " + std::to_string(pc.wdl.Total()) + " rounds, +" +
           std::to_string(pc.wdl.wins) + " =" + std::to_string(pc.wdl.draws) + " -" +
           std::to_string(pc.wdl.losses) + ", score " + Percent(r.score) + "\n";
    if (pc.wdl.Total() == 0) continue;
    std::snprintf(
        buf, sizeof buf, "  Elo %s +/- %s, nElo %s +/- %s, LOS %s, draw ratio %s\n",
        Signed(r.elo, 2).c_str(), Fixed(r.elo_error, 2).c_str(), Signed(r.nelo, 2).c_str(),
        Fixed(r.nelo_error, 2).c_str(), Percent(r.los).c_str(),
        Percent(static_cast<double>(pc.wdl.draws) / static_cast<double>(pc.wdl.Total())).c_str());
    out += buf;
    long pairs = 0;
    for (int64_t x : pc.penta) pairs += x;
    std::snprintf(buf, sizeof buf,
                  "  pairs %ld: LL %ld, LD %ld, DD+WL %ld, WD %ld, WW %ld; pair Elo %s +/- %s, "
                  "nElo %s +/- %s\n",
                  pairs, static_cast<long>(pc.penta[0]), static_cast<long>(pc.penta[1]),
                  static_cast<long>(pc.penta[2]), static_cast<long>(pc.penta[3]),
                  static_cast<long>(pc.penta[4]), Signed(p.elo, 2).c_str(),
                  Fixed(p.elo_error, 2).c_str(), Signed(p.nelo, 2).c_str(),
                  Fixed(p.nelo_error, 2).c_str());
    if (pairs > 0) out += buf;
    const Estimate f = FromWdl(pc.first);
    out += "  first player scores " + Percent(f.score) + " (Elo " + Signed(f.elo, 1) +
           "), faults " + std::to_string(pc.faults) + "\n";
  }

  if (s.sprt && n == 2) out += "\n" + SprtText(*s.sprt, SprtOf(s, sum));

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

std::string WdlText(const Wdl& w) {
  const Estimate e = FromWdl(w);
  char buf[400];
  std::snprintf(
      buf, sizeof buf,
      "Rounds %ld: +%ld =%ld -%ld, score %s (%s)\n"
      "Elo %s +/- %s, LOS %s%%, nElo %s +/- %s, draw ratio %s\n",
      static_cast<long>(w.Total()), static_cast<long>(w.wins), static_cast<long>(w.draws),
      static_cast<long>(w.losses), Fixed(e.score, 4).c_str(), Percent(e.score).c_str(),
      Signed(e.elo, 2).c_str(), Fixed(e.elo_error, 2).c_str(), Fixed(100 * e.los, 2).c_str(),
      Signed(e.nelo, 2).c_str(), Fixed(e.nelo_error, 2).c_str(),
      w.Total() ? Percent(static_cast<double>(w.draws) / static_cast<double>(w.Total())).c_str()
                : "-");
  return buf;
}

std::string PentaText(const Penta& p) {
  const Estimate e = FromPenta(p);
  char buf[400];
  std::snprintf(buf, sizeof buf,
                "Pairs %ld: LL %ld, LD %ld, DD+WL %ld, WD %ld, WW %ld, score %s (%s)\n"
                "Elo %s +/- %s, LOS %s%%, nElo %s +/- %s\n",
                static_cast<long>(e.samples), static_cast<long>(p[0]), static_cast<long>(p[1]),
                static_cast<long>(p[2]), static_cast<long>(p[3]), static_cast<long>(p[4]),
                Fixed(e.score, 4).c_str(), Percent(e.score).c_str(), Signed(e.elo, 2).c_str(),
                Fixed(e.elo_error, 2).c_str(), Fixed(100 * e.los, 2).c_str(),
                Signed(e.nelo, 2).c_str(), Fixed(e.nelo_error, 2).c_str());
  return buf;
}

std::string SprtText(const SprtSpec& spec, const SprtState& t) {
  char buf[300];
  std::snprintf(buf, sizeof buf,
                "SPRT elo0=%g elo1=%g alpha=%g beta=%g: LLR %.3f, bounds [%.3f, %.3f]: %s\n",
                spec.elo0, spec.elo1, spec.alpha, spec.beta, t.llr, t.lower, t.upper,
                t.verdict > 0   ? "H1 accepted"
                : t.verdict < 0 ? "H0 accepted"
                                : "no decision");
  return buf;
}
