// The page of a tournament: the arena's results.jsonl turned into the
// report's data (standings, cross-table, pairings, the course of a
// two-player run with its sequential test, faults, and the rounds to
// replay), computed with the same statistics as the text verdict.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "error.h"
#include "report_data.h"

// The report data of the output folder dir (its results.jsonl), or the
// reason it cannot be read.
// anchor: the label of the player rated 0 in the ratings chart; empty: the
// field's mean.
// keep: labels of players whose every round the page keeps; "all": every
// round of every player.
Result<ReportData> TournamentReportData(const std::string& dir, const std::string& anchor = "",
                                        const std::vector<std::string>& keep = {});

// Writes dir/report.html.
std::optional<Error> WriteTournamentReport(const std::string& dir, const std::string& anchor = "",
                                           const std::vector<std::string>& keep = {});

// The page of one round of the run in dir, chosen by its place in the
// schedule, written to dir/round-PAIRING-PAIR-SEAT.html; the page's path,
// or why there is no such round.
Result<std::string> WriteRoundPage(const std::string& dir, int pairing, int pair, int seat);
