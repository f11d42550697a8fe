#include "render.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>

#include "analysis.h"
#include "exit_status.h"
#include "fixed.h"
#include "html_text.h"
#include "page_assets.h"

namespace {

std::string EloText(const std::optional<double>& elo, const std::optional<double>& err) {
  if (!elo) return "—";
  std::string s = Signed(*elo, 1);
  s += err ? " ± " + Fixed(*err, 1) : std::string(" ± ∞");
  return s;
}

// A standing's Elo, or its bound where the interval has one finite end.
std::string RowElo(const StandingRow& r) {
  if (!r.elo_note.empty() && (!r.elo || !r.elo_error)) return r.elo_note;
  return EloText(r.elo, r.elo_error);
}

// ---- Charts: plain SVG, with text for every mark that matters. ----

struct Axis {
  double d0, d1, r0, r1;
  double operator()(double v) const { return r0 + (v - d0) * (r1 - r0) / (d1 - d0); }
};

// About count round-numbered ticks covering lo..hi.
std::vector<double> Ticks(double lo, double hi, int count) {
  const double span = hi - lo;
  const double raw = span / count;
  const double mag = std::pow(10, std::floor(std::log10(raw)));
  double step = mag;
  for (double f : {1.0, 2.0, 5.0, 10.0}) {
    step = f * mag;
    if (step >= raw) break;
  }
  std::vector<double> out;
  for (double t = std::ceil(lo / step) * step; t <= hi + step * 1e-9; t += step) {
    out.push_back(std::abs(t) < step * 1e-9 ? 0 : t);
  }
  return out;
}

std::string TickText(double v, double step) {
  return Fixed(v, step >= 1 ? 0 : (step >= 0.1 ? 1 : 2));
}

std::string Num(double v) { return Fixed(v, 1); }

// The Elo values the chart spans: every interval and bound, at least 20
// wide, with a margin of 5 %.
std::pair<double, double> EloSpan(const std::vector<StandingRow>& rows) {
  double lo = 0;
  double hi = 0;
  for (const StandingRow& r : rows) {
    if (r.elo_bound) {
      lo = std::min(lo, *r.elo_bound - 50);
      hi = std::max(hi, *r.elo_bound + 50);
    }
    if (!r.elo) continue;
    const double e = r.elo_error.value_or(0);
    lo = std::min(lo, *r.elo - e);
    hi = std::max(hi, *r.elo + e);
  }
  if (hi - lo < 20) {
    lo -= 10;
    hi += 10;
  }
  const double pad = (hi - lo) * 0.05;
  return {lo - pad, hi + pad};
}

// One player's row of the Elo chart, centred on mid: its label, and its
// point with the interval, or the bar of its bound.
std::string EloRow(const StandingRow& r, const Axis& x, int left, int mid) {
  const std::string y = std::to_string(mid);
  std::string s = "<text class=\"label\" x=\"" + std::to_string(left - 10) + "\" y=\"" + y +
                  "\" dy=\"0.35em\" text-anchor=\"end\">" + EscapeHtml(r.player) + "  " +
                  EscapeHtml(RowElo(r)) + "</text>";
  if (!r.elo && r.elo_bound) {
    // A bound: a bar from the bound outwards, with an arrow head.
    const double b = *r.elo_bound;
    const double end = r.elo_bound_sign > 0 ? x.d1 : x.d0;
    const std::string tip = Num(x(end) - r.elo_bound_sign * 8);
    s += "<line class=\"err bound\" x1=\"" + Num(x(b)) + "\" x2=\"" + Num(x(end)) + "\" y1=\"" + y +
         "\" y2=\"" + y + "\"/><polygon class=\"pt\" points=\"" + Num(x(end)) + "," + y + " " +
         tip + "," + std::to_string(mid - 5) + " " + tip + "," + std::to_string(mid + 5) +
         "\"/><line class=\"err\" x1=\"" + Num(x(b)) + "\" x2=\"" + Num(x(b)) + "\" y1=\"" +
         std::to_string(mid - 7) + "\" y2=\"" + std::to_string(mid + 7) + "\"/>";
  }
  if (!r.elo) return s;
  if (r.elo_error) {
    const std::string a = Num(x(*r.elo - *r.elo_error));
    const std::string b = Num(x(*r.elo + *r.elo_error));
    const std::string y0 = std::to_string(mid - 7);
    const std::string y1 = std::to_string(mid + 7);
    s += "<line class=\"err\" x1=\"" + a + "\" x2=\"" + b + "\" y1=\"" + y + "\" y2=\"" + y +
         "\"/><line class=\"err\" x1=\"" + a + "\" x2=\"" + a + "\" y1=\"" + y0 + "\" y2=\"" + y1 +
         "\"/><line class=\"err\" x1=\"" + b + "\" x2=\"" + b + "\" y1=\"" + y0 + "\" y2=\"" + y1 +
         "\"/>";
  }
  return s + "<rect class=\"pt\" x=\"" + Num(x(*r.elo) - 5) + "\" y=\"" + std::to_string(mid - 5) +
         "\" width=\"10\" height=\"10\"/>";
}

// The Elo of each player as a point with its 95 % interval.
std::string EloChart(const std::vector<StandingRow>& rows, const std::string& axis_label,
                     const std::string& title) {
  const auto [lo, hi] = EloSpan(rows);
  const int left = 320, width = 860, row_h = 28, top = 30;
  const int height = top + row_h * static_cast<int>(rows.size()) + 40;
  const Axis x{lo, hi, static_cast<double>(left), static_cast<double>(width - 20)};
  std::string s = "<svg class=\"chart\" viewBox=\"0 0 " + std::to_string(width) + " " +
                  std::to_string(height) +
                  "\" role=\"img\" aria-labelledby=\"elo-chart-title\">"
                  "<title id=\"elo-chart-title\">" +
                  EscapeHtml(title) + "</title>";
  const std::vector<double> ticks = Ticks(lo, hi, 8);
  const double step = ticks.size() > 1 ? ticks[1] - ticks[0] : 1;
  const int axis_y = top + row_h * static_cast<int>(rows.size()) + 4;
  for (double t : ticks) {
    const std::string tx = Num(x(t));
    s += "<line class=\"grid" + std::string(t == 0 ? " zero" : "") + "\" x1=\"" + tx + "\" x2=\"" +
         tx + "\" y1=\"" + std::to_string(top - 8) + "\" y2=\"" + std::to_string(axis_y) + "\"/>";
    s += "<text class=\"tick\" x=\"" + tx + "\" y=\"" + std::to_string(axis_y + 16) +
         "\" text-anchor=\"middle\">" + TickText(t, step) + "</text>";
  }
  s += "<text class=\"axis-label\" x=\"" + std::to_string((left + width) / 2) + "\" y=\"" +
       std::to_string(axis_y + 34) + "\" text-anchor=\"middle\">" + EscapeHtml(axis_label) +
       "</text>";
  for (size_t i = 0; i < rows.size(); ++i)
    s += EloRow(rows[i], x, left, top + row_h * static_cast<int>(i) + row_h / 2);
  return s + "</svg>";
}

struct Series {
  std::vector<double> x, y, lo, hi;  // lo/hi empty: no band
};

struct RefLine {
  double y;
  std::string label;
};

// The values a line chart spans: the series, its band and the reference
// lines, with a margin of 5 %.
std::pair<double, double> YRange(const Series& series, const std::vector<RefLine>& refs) {
  double ylo = series.y[0], yhi = series.y[0];
  for (size_t i = 0; i < series.y.size(); ++i) {
    ylo = std::min(ylo, series.lo.empty() ? series.y[i] : series.lo[i]);
    yhi = std::max(yhi, series.hi.empty() ? series.y[i] : series.hi[i]);
  }
  for (const RefLine& r : refs) {
    ylo = std::min(ylo, r.y);
    yhi = std::max(yhi, r.y);
  }
  if (yhi - ylo < 1e-9) {
    ylo -= 1;
    yhi += 1;
  }
  const double pad = (yhi - ylo) * 0.05;
  return {ylo - pad, yhi + pad};
}

// The points of n a chart draws, at most ~600: every k-th, and always the
// last.
std::vector<size_t> Shown(size_t n) {
  const size_t k = std::max<size_t>(1, n / 600);
  std::vector<size_t> idx;
  for (size_t i = 0; i < n; i += k) idx.push_back(i);
  if (idx.back() != n - 1) idx.push_back(n - 1);
  return idx;
}

// The frame of a line chart, in the picture's units.
struct LineFrame {
  int width = 720, height = 260, left = 60, right = 20, top = 16, bottom = 44;
};

// A line chart's grid and ticks, and the labels of its two axes.
std::string LineAxes(const LineFrame& f, const Axis& x, const Axis& y, const std::string& x_label,
                     const std::string& y_label) {
  std::string s;
  const std::vector<double> yt = Ticks(y.d0, y.d1, 5);
  const double ystep = yt.size() > 1 ? yt[1] - yt[0] : 1;
  for (double t : yt) {
    const std::string ty = Num(y(t));
    s += "<line class=\"grid\" x1=\"" + std::to_string(f.left) + "\" x2=\"" +
         std::to_string(f.width - f.right) + "\" y1=\"" + ty + "\" y2=\"" + ty +
         "\"/><text class=\"tick\" x=\"" + std::to_string(f.left - 6) + "\" y=\"" + ty +
         "\" dy=\"0.35em\" text-anchor=\"end\">" + TickText(t, ystep) + "</text>";
  }
  const std::vector<double> xt = Ticks(x.d0, x.d1, 8);
  const double xstep = xt.size() > 1 ? xt[1] - xt[0] : 1;
  for (double t : xt) {
    s += "<text class=\"tick\" x=\"" + Num(x(t)) + "\" y=\"" +
         std::to_string(f.height - f.bottom + 16) + "\" text-anchor=\"middle\">" +
         TickText(t, xstep) + "</text>";
  }
  return s + "<text class=\"axis-label\" x=\"" + std::to_string((f.left + f.width) / 2) +
         "\" y=\"" + std::to_string(f.height - 8) + "\" text-anchor=\"middle\">" +
         EscapeHtml(x_label) + "</text><text class=\"axis-label\" transform=\"translate(14 " +
         std::to_string((f.top + f.height - f.bottom) / 2) +
         ") rotate(-90)\" text-anchor=\"middle\">" + EscapeHtml(y_label) + "</text>";
}

// A line over the course of the run, with an optional 95 % band and
// dashed reference lines, downsampled to a few hundred points.
// mark: a vertical line at that x with its label (the test's decision).
std::string LineChart(const std::string& id, const std::string& title, const std::string& x_label,
                      const std::string& y_label, const Series& series,
                      const std::vector<RefLine>& refs,
                      const std::optional<RefLine>& mark = std::nullopt) {
  const LineFrame f;
  if (series.x.empty()) return "";
  const auto [ylo, yhi] = YRange(series, refs);
  const double xlo = series.x.front();
  const double xhi = std::max(series.x.back(), xlo + 1);
  const Axis x{xlo, xhi, static_cast<double>(f.left), static_cast<double>(f.width - f.right)};
  const Axis y{ylo, yhi, static_cast<double>(f.height - f.bottom), static_cast<double>(f.top)};

  std::string s = "<svg class=\"chart\" viewBox=\"0 0 " + std::to_string(f.width) + " " +
                  std::to_string(f.height) + "\" role=\"img\" aria-labelledby=\"" + id +
                  "-title\"><title id=\"" + id + "-title\">" + EscapeHtml(title) + "</title>";
  s += LineAxes(f, x, y, x_label, y_label);
  const std::vector<size_t> idx = Shown(series.x.size());
  if (!series.lo.empty()) {
    std::string band;
    for (size_t i : idx) band += Num(x(series.x[i])) + "," + Num(y(series.hi[i])) + " ";
    for (auto it = idx.rbegin(); it != idx.rend(); ++it) {
      band += Num(x(series.x[*it])) + "," + Num(y(series.lo[*it])) + " ";
    }
    s += "<polygon class=\"band\" points=\"" + band + "\"/>";
  }
  for (const RefLine& r : refs) {
    const std::string ry = Num(y(r.y));
    s += "<line class=\"ref\" x1=\"" + std::to_string(f.left) + "\" x2=\"" +
         std::to_string(f.width - f.right) + "\" y1=\"" + ry + "\" y2=\"" + ry +
         "\"/><text class=\"ref-label\" x=\"" + std::to_string(f.width - f.right - 4) + "\" y=\"" +
         ry + "\" dy=\"-0.3em\" text-anchor=\"end\">" + EscapeHtml(r.label) + "</text>";
  }
  std::string line;
  for (size_t i : idx) line += Num(x(series.x[i])) + "," + Num(y(series.y[i])) + " ";
  s += "<polyline class=\"line\" points=\"" + line + "\"/>";
  if (mark) {
    const std::string mx = Num(x(mark->y));
    s += "<line class=\"decision\" x1=\"" + mx + "\" x2=\"" + mx + "\" y1=\"" +
         std::to_string(f.top) + "\" y2=\"" + std::to_string(f.height - f.bottom) +
         "\"/><text class=\"ref-label decision-label\" x=\"" + Num(x(mark->y) - 4) + "\" y=\"" +
         std::to_string(f.top + 12) + "\" text-anchor=\"end\">" + EscapeHtml(mark->label) +
         "</text>";
  }
  return s + "</svg>";
}

// ---- Sections ----

void Settings(std::string& h, const ReportData& d) {
  h += "<details open><summary>Settings</summary><dl class=\"settings\">";
  for (const auto& [name, value] : d.settings) {
    h += "<div><dt>" + EscapeHtml(name) + "</dt><dd>" + EscapeHtml(value) + "</dd></div>";
  }
  h += "</dl></details>";
}

// The Bradley-Terry ratings as points with their 95 % intervals, and a
// caption that says what they are.
std::string RatingsFigure(const ReportData& d) {
  std::vector<StandingRow> rows;
  for (const RatingRow& r : d.ratings) {
    StandingRow row;
    row.player = r.player == d.ratings_anchor ? r.player + " (anchor)" : r.player;
    if (std::isfinite(r.elo)) row.elo = r.elo;
    if (std::isfinite(r.low) && std::isfinite(r.high)) row.elo_error = (r.high - r.low) / 2;
    rows.push_back(row);
  }
  const std::string zero = d.ratings_anchor.empty() ? "the field's mean" : d.ratings_anchor;
  std::string f = "<figure>" +
                  EloChart(rows, "Bradley–Terry rating, Elo scale (0 = " + zero + ")",
                           "Bradley–Terry ratings with their 95 % intervals, 0 = " + zero) +
                  "<figcaption>Bradley–Terry ratings fitted to every round of the run (a draw "
                  "counts half a win), on the Elo scale, with 95 % intervals from the "
                  "likelihood; 0 is " +
                  EscapeHtml(zero) +
                  (d.ratings_anchor.empty() ? " (choose a player with --anchor LABEL)" : "") +
                  ". The difference of two ratings is the Elo of one against the other.";
  for (const RatingRow& r : d.ratings)
    if (!std::isfinite(r.elo))
      f += " " + EscapeHtml(r.player) + (r.elo > 0 ? " won" : " lost") +
           " every round and has no finite rating.";
  return f + "</figcaption></figure>";
}

void CrossTableHtml(std::string& h, const ReportData& d) {
  if (d.cross.players.empty()) return;
  h += "<div class=\"scroll\"><table class=\"num cross\"><caption>Cross-table: the row player's "
       "score against the "
       "column player</caption><thead><tr><th></th>";
  for (const std::string& p : d.cross.players) h += "<th scope=\"col\">" + EscapeHtml(p) + "</th>";
  h += "</tr></thead><tbody>";
  for (size_t i = 0; i < d.cross.players.size(); ++i) {
    h += "<tr><th scope=\"row\">" + EscapeHtml(d.cross.players[i]) + "</th>";
    for (size_t j = 0; j < d.cross.players.size(); ++j) {
      const std::string cell =
          i < d.cross.cells.size() && j < d.cross.cells[i].size() ? d.cross.cells[i][j] : "";
      h += "<td>" + (i == j ? std::string("·") : EscapeHtml(cell)) + "</td>";
    }
    h += "</tr>";
  }
  h += "</tbody></table></div>";
}

void PairingsTable(std::string& h, const ReportData& d) {
  if (d.pairings.empty()) return;
  h += "<div class=\"scroll\"><table class=\"num\"><caption>Head to head, from the first player's "
       "side: the "
       "Elo of the first player against the second, from pairs of rounds on the same opening "
       "with the seats swapped where the run played pairs, with its 95 % interval</caption>"
       "<thead><tr>"
       "<th scope=\"col\">Pairing</th><th scope=\"col\">Rounds</th><th scope=\"col\">+</th><th "
       "scope=\"col\">=</th><th scope=\"col\">−</th><th scope=\"col\">Score %</th><th "
       "scope=\"col\">Head-to-head Elo ± 95 %</th></tr></thead><tbody>";
  for (const PairingLine& p : d.pairings) {
    h += "<tr><th scope=\"row\">" + EscapeHtml(p.player_a) + " vs " + EscapeHtml(p.player_b) +
         "</th><td>" + std::to_string(p.rounds) + "</td><td>" + std::to_string(p.wins_a) +
         "</td><td>" + std::to_string(p.draws) + "</td><td>" + std::to_string(p.wins_b) +
         "</td><td>" + Fixed(p.score_percent, 1) + "</td><td>" +
         (p.elo_note.empty() ? EloText(p.elo, p.elo_error) : EscapeHtml(p.elo_note)) + "</td></tr>";
  }
  h += "</tbody></table></div>";
}

void Standings(std::string& h, const ReportData& d) {
  h += "<section id=\"standings\" aria-labelledby=\"standings-h\"><h2 id=\"standings-h\">Standings "
       "and ratings</h2>";
  if (!d.elo_legend.empty())
    h += "<p class=\"note\" id=\"elo-legend\">" + EscapeHtml(d.elo_legend) + "</p>";
  h +=
      "<div class=\"scroll\"><table class=\"num\"><caption>Standings; Elo of each player's score "
      "against "
      "the whole field, with half the width of its 95 "
      "% "
      "interval</caption><thead><tr><th scope=\"col\">#</th><th scope=\"col\">Player</th><th "
      "scope=\"col\">Rounds</th><th scope=\"col\">Wins</th><th scope=\"col\">Draws</th><th "
      "scope=\"col\">Losses</th><th scope=\"col\">Score %</th><th scope=\"col\">Elo ± 95 %</th><th "
      "scope=\"col\">Faults</th>" +
      std::string(d.rounds.empty() ? "" : "<th scope=\"col\">Rounds</th>") + "</tr></thead><tbody>";
  int place = 0;
  for (const StandingRow& r : d.standings) {
    h += "<tr><td>" + std::to_string(++place) + "</td><th scope=\"row\">" + EscapeHtml(r.player) +
         "</th><td>" + std::to_string(r.rounds) + "</td><td>" + std::to_string(r.wins) +
         "</td><td>" + std::to_string(r.draws) + "</td><td>" + std::to_string(r.losses) +
         "</td><td>" + Fixed(r.score_percent, 1) + "</td><td>" + RowElo(r) + "</td><td>" +
         std::to_string(r.faults) + "</td>";
    if (!d.rounds.empty())
      h += "<td><button type=\"button\" class=\"link show-losses\" data-player=\"" +
           EscapeHtml(r.player) +
           "\">losses</button> <button type=\"button\" class=\"link show-eg-losses\" "
           "data-player=\"" +
           EscapeHtml(r.player) + "\">by a covered mistake</button></td>";
    h += "</tr>";
  }
  h += "</tbody></table></div>";
  if (!d.ratings.empty()) {
    h += RatingsFigure(d);
  } else if (!d.standings.empty()) {
    h += "<figure>" +
         EloChart(d.standings, "Elo of each player's score against the rest of the field",
                  "Elo of each player's score with its 95 % interval (the same numbers are in "
                  "the standings table; ± ∞: the interval reaches a score of 0 or 100 %)") +
         "</figure>";
  }

  CrossTableHtml(h, d);
  PairingsTable(h, d);
  h += "</section>";
}

void CourseSection(std::string& h, const ReportData& d) {
  if (!d.course || d.course->points.empty()) return;
  const Course& c = *d.course;
  const std::string who = EscapeHtml(c.player_a) + " against " + EscapeHtml(c.player_b);
  h += "<section id=\"course\" aria-labelledby=\"course-h\"><h2 id=\"course-h\">Course of the "
       "run</h2><p>" +
       who + ", after each of " + std::to_string(c.points.back().played) + " " +
       EscapeHtml(c.unit) + ".</p>";
  Series score, elo, llr;
  for (const CoursePoint& p : c.points) {
    score.x.push_back(static_cast<double>(p.played));
    score.y.push_back(p.score_percent);
    if (p.elo && p.elo_error) {
      elo.x.push_back(static_cast<double>(p.played));
      elo.y.push_back(*p.elo);
      elo.lo.push_back(*p.elo - *p.elo_error);
      elo.hi.push_back(*p.elo + *p.elo_error);
    }
    if (p.llr) {
      llr.x.push_back(static_cast<double>(p.played));
      llr.y.push_back(*p.llr);
    }
  }
  h += "<figure>" +
       LineChart("course-score", "Score of " + c.player_a + " in percent over the run",
                 c.unit + " played", "score %", score, {{50, "50 %"}}) +
       "<figcaption>Score of " + EscapeHtml(c.player_a) +
       " (line; dashed: 50 %). Last: " + Fixed(c.points.back().score_percent, 1) +
       " %.</figcaption></figure>";
  if (!elo.x.empty()) {
    h += "<figure>" +
         LineChart("course-elo", "Elo of " + c.player_a + " with its 95 % band over the run",
                   c.unit + " played", "Elo", elo, {{0, "0"}}) +
         "<figcaption>Elo of " + EscapeHtml(c.player_a) +
         " (line) inside its 95 % band (shaded). "
         "Last: " +
         EloText(c.points.back().elo, c.points.back().elo_error) + ".</figcaption></figure>";
  }
  if (!llr.x.empty() && c.llr_bounds) {
    const auto [lower, upper] = *c.llr_bounds;
    std::optional<RefLine> mark;
    std::string decided;
    if (c.decided_at) {
      mark = RefLine{static_cast<double>(*c.decided_at),
                     c.decision + " at pair " + std::to_string(*c.decided_at)};
      decided = " The solid line marks pair " + std::to_string(*c.decided_at) +
                ", where the test decided (" + EscapeHtml(c.decision) +
                "); pairs after it were already under way.";
    }
    h += "<figure>" +
         LineChart(
             "course-llr", "Log-likelihood ratio of the sequential test against its bounds",
             c.unit + " played", "LLR", llr,
             {{lower, "lower bound " + Fixed(lower, 3)}, {upper, "upper bound " + Fixed(upper, 3)}},
             mark) +
         "<figcaption>LLR of the sequential test (line) between its bounds (dashed). Last: " +
         Fixed(llr.y.back(), 3) + "." + decided + "</figcaption></figure>";
  }
  h += "</section>";
}

void Faults(std::string& h, const ReportData& d, const std::map<int64_t, bool>& viewable) {
  h += "<section id=\"faults\" aria-labelledby=\"faults-h\"><h2 id=\"faults-h\">Faults (" +
       std::to_string(d.faults.size()) + ")</h2>";
  if (d.faults.empty()) {
    h += "<p>No faults and no rejected answers.</p></section>";
    return;
  }
  h += "<ol class=\"faults\">";
  for (const FaultLine& f : d.faults) {
    h += "<li><strong>" + EscapeHtml(f.kind) + "</strong> by " + EscapeHtml(f.player) +
         (f.where.empty() ? "" : " in " + EscapeHtml(f.where)) + ": <code>" + EscapeHtml(f.report) +
         "</code>";
    if (f.round_id && viewable.count(*f.round_id)) {
      h += " — <a href=\"#round-" + std::to_string(*f.round_id) + "\">view the round</a>";
    }
    if (!f.output.empty())
      h += "<details class=\"output\"><summary>The player's output" +
           (f.output_file.empty() ? std::string() : " (" + EscapeHtml(f.output_file) + ")") +
           "</summary><pre class=\"output\">" + EscapeHtml(f.output) + "</pre></details>";
    h += "</li>";
  }
  h += "</ol>";
  for (const std::string& n : d.fault_notes) h += "<p class=\"note\">" + EscapeHtml(n) + "</p>";
  h += "</section>";
}

void Rounds(std::string& h, const ReportData& d) {
  if (d.rounds.empty()) return;
  h += "<section id=\"rounds\" aria-labelledby=\"rounds-h\"><h2 id=\"rounds-h\">Rounds</h2>";
  if (!d.sampling_note.empty()) h += "<p class=\"note\">" + EscapeHtml(d.sampling_note) + "</p>";
  h += std::string(kRoundsMarkup) + "</section>";
}

void Viewer(std::string& h, const ReportData& d) {
  h += "<section id=\"viewer\" aria-labelledby=\"viewer-h\"><h2 id=\"viewer-h\">Round viewer</h2>";
  if (!d.sampling_note.empty())
    h += "<p class=\"note\" id=\"sample-note\">" + EscapeHtml(d.sampling_note) + "</p>";
  h += std::string(kViewerMarkup) + "</section>";
}

std::string DataJson(const ReportData& d, const Result<ReportTables>& tables) {
  nlohmann::json rounds = nlohmann::json::array();
  std::map<int64_t, std::string> pairing_names;
  for (const RoundView& r : d.rounds) {
    const Replay replay = ReplayRound(d.holes, d.bones, r.opening, r.moves);
    nlohmann::json j = {{"id", r.id},      {"r", r.round},          {"g", r.pairing},
                        {"p", r.pair},     {"s", r.seat},           {"p1", r.player1},
                        {"p2", r.player2}, {"end", r.end},          {"st", r.stores},
                        {"w", r.winner},   {"o", r.opening.size()}, {"x", EncodeSteps(replay)}};
    if (!r.fault.empty()) j["f"] = r.fault;
    if (!r.rejected.empty()) j["rej"] = r.rejected;
    if (replay.error) j["err"] = replay.error->text;
    AddRoundAnalysis(j, tables, replay);
    if (r.pairing >= 0) pairing_names.emplace(r.pairing, r.pairing_name);
    rounds.push_back(std::move(j));
  }
  nlohmann::json pairings = nlohmann::json::array();
  for (const auto& [g, name] : pairing_names) pairings.push_back({g, name});
  nlohmann::json data = {
      {"holes", d.holes},
      {"bones", d.bones},
      {"pairings", pairings},
      {"total", std::max<int64_t>(d.total_rounds, static_cast<int64_t>(d.rounds.size()))},
      {"rounds", std::move(rounds)}};
  std::string text = data.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
  // Inside a script element "</" or "<!--" could end it early: every "<"
  // goes as its JSON escape.
  std::string safe;
  safe.reserve(text.size());
  for (const char c : text) safe += c == '<' ? std::string("\\u003c") : std::string(1, c);
  return safe;
}

}  // namespace

std::string EncodeSteps(const Replay& replay) {
  static const char kDigits[] = "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ";
  std::string out;
  auto put = [&](int64_t v) {
    if (v >= 0 && v < 62) {
      out += kDigits[v];
    } else {
      out += '~' + std::to_string(v) + '~';
    }
  };
  for (const ReplayStep& s : replay.steps) {
    put(static_cast<int64_t>(s.kind));
    put(s.player);
    put(s.hole);
    put((s.pass ? 1 : 0) | (s.extra ? 2 : 0) | (s.over ? 4 : 0));
    put(s.captured);
    for (const auto& row : s.row) {
      for (int64_t v : row) put(v);
    }
    put(s.store[0]);
    put(s.store[1]);
  }
  return out;
}

std::string RenderReport(ReportData d) {
  SampleRounds(d);
  std::map<int64_t, bool> viewable;
  for (const RoundView& r : d.rounds) viewable[r.id] = true;

  std::string h;
  h.reserve(1 << 20);
  h += "<!DOCTYPE html><html lang=\"en\"><head><meta charset=\"utf-8\"><meta name=\"viewport\" "
       "content=\"width=device-width, initial-scale=1\"><title>" +
       EscapeHtml(d.title) + "</title><style>" + std::string(kPageStyle) +
       "</style></head><body><header><h1>" + EscapeHtml(d.title) +
       "</h1><nav aria-label=\"Sections\"><a href=\"#standings\">Standings</a>";
  if (d.course && !d.course->points.empty()) h += " · <a href=\"#course\">Course</a>";
  h += " · <a href=\"#faults\">Faults</a>";
  if (!d.rounds.empty())
    h += " · <a href=\"#rounds\">Rounds</a> · <a href=\"#endgame\">Endgame</a>";
  h += " · <a href=\"#viewer\">Round "
       "viewer</a></nav></header><main>";
  if (!d.verdict.empty()) {
    h += "<section id=\"verdict\" aria-labelledby=\"verdict-h\"><h2 id=\"verdict-h\">Verdict</h2>"
         "<p class=\"verdict\">" +
         EscapeHtml(d.verdict) + "</p>";
    for (const std::string& n : d.verdict_notes) h += "<p class=\"note\">" + EscapeHtml(n) + "</p>";
    h += "</section>";
  }
  if (!d.confinement.empty())
    h += "<p class=\"confinement\"><strong>" + EscapeHtml(d.confinement) + "</strong></p>";
  Settings(h, d);
  Standings(h, d);
  CourseSection(h, d);
  Faults(h, d, viewable);
  Rounds(h, d);
  const Result<ReportTables> tables = OpenReportTables(d.holes);
  if (!d.rounds.empty()) h += AnalysisSection(d, tables);
  Viewer(h, d);
  h += "</main><footer><p>Charts are plain SVG drawn by the report generator. The positions in the "
       "viewer were worked out by the referee's rules when this page was made.</p></footer>"
       "<script type=\"application/json\" id=\"report-data\">" +
       DataJson(d, tables) + "</script><script>" + std::string(kPageScript) +
       "</script></body></html>\n";
  return h;
}

std::optional<Error> WriteReportFile(ReportData data, const std::string& html_out) {
  const std::string html = RenderReport(std::move(data));
  errno = 0;
  std::ofstream out(html_out, std::ios::binary | std::ios::trunc);
  out << html;
  out.flush();
  if (!out)
    return Error{
        "cannot write " + html_out + (errno ? ": " + std::string(std::strerror(errno)) : ""),
        kExitIoError};
  return std::nullopt;
}
