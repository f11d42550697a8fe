// The endgame analysis of a report's rounds: every move made from a
// position the endgame tables cover, judged against perfect play (the value
// before, the value of the move played, the best moves, the bones given
// away), each round's decisive mistake, and each player's accuracy over its
// covered moves. Without tables the page says how to build them.
#pragma once

#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "endgame.h"
#include "error.h"
#include "replay.h"
#include "report_data.h"

// One move from a covered position; values are for the mover.
struct MoveJudgement {
  size_t step = 0;  // index in the replay's steps
  int player = 0;
  int hole = 0;
  int level = 0;          // bones on the board before the move
  int before = 0;         // the position's value: the best value
  int played = 0;         // the value of the move played
  std::vector<int> best;  // the moves that keep the value
  int given_away = 0;     // before - played
  bool decisive = false;  // the round's decisive mistake
  int depth = 0;          // 0: from the tables; else a search this deep above them
  bool exact = true;      // false: the search's estimate at depth
};

struct RoundAnalysis {
  std::vector<MoveJudgement> moves;
  std::optional<size_t> decisive;  // index in moves
};

// The covered moves of one replayed round. A move is a mistake that
// changes the result when, with the stores as they stood, it turns a won
// position into a draw or loss or a drawn one into a loss; the last such
// move of the round is its decisive mistake. With depth above 0 a move
// above the tables' reach is searched that deep (tables at the leaves);
// only moves from covered positions can be the decisive mistake.
RoundAnalysis AnalyseRound(const EndgameTables& tables, const Replay& replay, int depth = 0);

// The tables of the page's width from the cache folder, or why there are
// none.
struct ReportTables {
  EndgameTables tables;
  std::string dir;
};
Result<ReportTables> OpenReportTables(int holes);

// The page's section: which tables were used (or the one command to build
// them), each player's accuracy and mean bones given away over covered
// moves, and the rounds lost by a mistake in a covered position.
std::string AnalysisSection(const ReportData& data, const Result<ReportTables>& found);

// For the viewer: adds to a round's data "eg", the judgement of each
// covered step as a sentence keyed by its step index (a step above the
// tables' reach with a search of kReportSearchDepth, its estimate), "egd",
// the decisive mistake's step, and "egp", who made it when it lost the
// round. Nothing without tables.
void AddRoundAnalysis(nlohmann::json& round, const Result<ReportTables>& found,
                      const Replay& replay);
