// The page of a tournament: the arena's results.jsonl turned into the
// report's data (standings, cross-table, pairings, the course of a
// two-player run with its sequential test, faults, and the rounds to
// replay), computed with the same statistics as the text verdict.
#pragma once

#include <optional>
#include <string>

#include "error.h"
#include "report_data.h"

// The report data of the output folder dir (its results.jsonl), or the
// reason it cannot be read.
// anchor: the label of the player rated 0 in the ratings chart; empty: the
// field's mean.
Result<ReportData> TournamentReportData(const std::string& dir, const std::string& anchor = "");

// Writes dir/report.html.
std::optional<Error> WriteTournamentReport(const std::string& dir, const std::string& anchor = "");
