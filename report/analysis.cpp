// The endgame analysis of a report's rounds, from the tables in the cache
// folder.
#include "analysis.h"

#include <cstdio>
#include <map>

#include "html_text.h"

namespace {

int Outcome(int64_t margin) { return margin > 0 ? 1 : margin < 0 ? -1 : 0; }

struct Tally {
  int covered = 0;
  int kept = 0;
  int64_t given_away = 0;
};

std::string Holes(const std::vector<int>& holes) {
  std::string text;
  for (const int hole : holes) text += (text.empty() ? "" : " ") + std::to_string(hole);
  return text;
}

std::string Signed(int value) { return (value > 0 ? "+" : "") + std::to_string(value); }

}  // namespace

RoundAnalysis AnalyseRound(const EndgameTables& tables, const Replay& replay, int depth) {
  RoundAnalysis analysis;
  const PsEgTables& raw = tables.Raw();
  for (size_t i = 1; i < replay.steps.size(); ++i) {
    const ReplayStep& step = replay.steps[i];
    const ReplayStep& before = replay.steps[i - 1];
    if (step.kind != StepKind::Move || before.over) continue;
    int32_t rows[2][PS_MAX_HOLES] = {};
    int64_t level = 0;
    for (int p = 0; p < 2; ++p)
      for (int h = 0; h < raw.Holes && h < static_cast<int>(before.row[p].size()); ++h) {
        rows[p][h] = static_cast<int32_t>(before.row[p][h]);
        level += before.row[p][h];
      }
    if (level >= raw.Levels && depth == 0) continue;
    const int mover = step.player - 1;
    const int32_t *mine = rows[mover], *theirs = rows[1 - mover];
    MoveJudgement judged;
    judged.step = i;
    judged.player = step.player;
    judged.hole = step.hole;
    judged.level = static_cast<int>(level);
    if (level >= raw.Levels) {
      const Result<SearchedPosition> searched = SearchPosition(tables, mine, theirs, depth);
      if (!searched || step.hole < 1 || step.hole > raw.Holes) continue;
      judged.depth = depth;
      judged.exact = searched->exact;
      judged.before = searched->value;
      judged.played = searched->moves[step.hole - 1].value;
      for (const MoveValue& move : searched->moves)
        if (move.best) judged.best.push_back(move.hole);
      judged.given_away = judged.before - judged.played;
      analysis.moves.push_back(judged);
      continue;
    }
    judged.before = PsEgValue(&raw, mine, theirs);
    judged.played = PsEgMoveValue(&raw, mine, theirs, step.hole);
    if (judged.before == PS_EG_UNKNOWN || judged.played == PS_EG_UNKNOWN) continue;
    for (int hole = 1; hole <= raw.Holes; ++hole)
      if (PsEgIsBestMove(&raw, mine, theirs, hole, judged.before)) judged.best.push_back(hole);
    judged.given_away = judged.before - judged.played;
    const int64_t stores = before.store[mover] - before.store[1 - mover];
    if (Outcome(stores + judged.played) < Outcome(stores + judged.before))
      analysis.decisive = analysis.moves.size();
    analysis.moves.push_back(judged);
  }
  if (analysis.decisive) analysis.moves[*analysis.decisive].decisive = true;
  return analysis;
}

Result<ReportTables> OpenReportTables(int holes) {
  const Result<std::string> dir = EndgameCacheDir();
  if (!dir) return dir.error();
  Result<EndgameTables> tables = EndgameTables::Open(*dir, holes);
  if (!tables) return tables.error();
  return ReportTables{std::move(*tables), *dir};
}

void AddRoundAnalysis(nlohmann::json& round, const Result<ReportTables>& found,
                      const Replay& replay) {
  if (!found || replay.error) return;
  const RoundAnalysis analysis = AnalyseRound(found->tables, replay, kReportSearchDepth);
  if (analysis.moves.empty()) return;
  nlohmann::json steps = nlohmann::json::object();
  for (const MoveJudgement& m : analysis.moves) {
    const std::string source =
        m.depth == 0 ? "Endgame tables"
        : m.exact    ? "Exact by a search of depth " + std::to_string(m.depth) + " to the tables"
                     : "Estimate at depth " + std::to_string(m.depth);
    std::string text = source + " (" + std::to_string(m.level) + " bones): value " +
                       Signed(m.before) + " before, this move " + Signed(m.played) + ", best " +
                       Holes(m.best);
    text +=
        m.given_away == 0 ? ": perfect" : ": " + std::to_string(m.given_away) + " bones given away";
    if (m.decisive) text += "; the decisive mistake";
    steps[std::to_string(m.step)] = text;
  }
  round["eg"] = std::move(steps);
  if (!analysis.decisive) return;
  const MoveJudgement& decisive = analysis.moves[*analysis.decisive];
  round["egd"] = decisive.step;
  const int winner = round.value("w", 0);
  if (winner == 3 - decisive.player) round["egp"] = decisive.player;
}

std::string AnalysisSection(const ReportData& data, const Result<ReportTables>& found) {
  std::string h =
      "<section id=\"endgame\" aria-labelledby=\"endgame-h\"><h2 id=\"endgame-h\">"
      "Endgame analysis</h2>";
  if (!found) {
    return h + "<p class=\"note\">No endgame tables were used (" + EscapeHtml(found.error().text) +
           "). Build them with <code>pitsow-solve build --holes " + std::to_string(data.holes) +
           "</code> and make the page again to judge every move of a covered position.</p>"
           "</section>";
  }
  const EndgameTables* tables = &found->tables;
  const std::string* dir = &found->dir;
  h += "<p class=\"note\">Judged against perfect play by the endgame tables of " +
       std::to_string(data.holes) + " holes up to " + std::to_string(tables->Levels() - 1) +
       " bones on the board, in " + EscapeHtml(*dir) +
       ". A value is the bones the mover still gets minus the opponent's, the round played out "
       "without a turn limit; bones given away are the best value minus the value of the move "
       "played. A step above their reach gets, in the viewer, the estimate of a search of depth " +
       std::to_string(kReportSearchDepth) +
       " with the tables at its leaves (a leaf above them counts no bone more); estimates are "
       "not counted here.</p>";
  std::map<std::string, Tally> tallies;
  std::string lost;
  for (const RoundView& r : data.rounds) {
    const Replay replay = ReplayRound(data.holes, data.bones, r.opening, r.moves);
    if (replay.error) continue;
    const RoundAnalysis analysis = AnalyseRound(*tables, replay);
    for (const MoveJudgement& m : analysis.moves) {
      Tally& t = tallies[m.player == 1 ? r.player1 : r.player2];
      ++t.covered;
      t.kept += m.given_away == 0 ? 1 : 0;
      t.given_away += m.given_away;
    }
    if (!analysis.decisive) continue;
    const MoveJudgement& m = analysis.moves[*analysis.decisive];
    const std::string who = m.player == 1 ? r.player1 : r.player2;
    if (r.winner != 3 - m.player || lost.size() > 200000) continue;
    lost += "<tr><td>" + std::to_string(r.round >= 0 ? r.round : r.id) + "</td><td>" +
            EscapeHtml(who) + "</td><td>" + std::to_string(m.step) + "</td><td>" +
            std::to_string(m.level) + "</td><td>" + std::to_string(m.hole) + " (" +
            Signed(m.played) + ")</td><td>" + Holes(m.best) + " (" + Signed(m.before) +
            ")</td><td>" + std::to_string(m.given_away) + "</td></tr>";
  }
  h += "<table><thead><tr><th>player</th><th>covered moves</th><th>accuracy</th>"
       "<th>mean bones given away</th></tr></thead><tbody>";
  for (const auto& [player, t] : tallies) {
    char line[160];
    std::snprintf(line, sizeof line, "</td><td>%d</td><td>%.1f%%</td><td>%.2f</td></tr>", t.covered,
                  100.0 * t.kept / t.covered, static_cast<double>(t.given_away) / t.covered);
    h += "<tr><td>" + EscapeHtml(player) + line;
  }
  h += "</tbody></table>";
  if (!lost.empty())
    h += "<h3>Lost by a mistake in a covered position</h3><table><thead><tr><th>round</th>"
         "<th>player</th><th>step</th><th>bones on the board</th><th>played (value)</th>"
         "<th>best (value)</th><th>given away</th></tr></thead><tbody>" +
         lost + "</tbody></table>";
  return h + "</section>";
}
