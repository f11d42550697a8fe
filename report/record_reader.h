// A report of one referee match, read from its JSON Lines match record
// (the referee's --results file): the two players' standings, the course
// of the match, every fault and rejected answer, every round viewable.
#pragma once

#include <optional>
#include <string>

#include "error.h"
#include "report_data.h"

// The report data of a match record's text, or the reason it cannot be read
// (with the line number).
Result<ReportData> ReadMatchRecord(const std::string& jsonl);

// Reads the match record file jsonl and writes its report to html_out.
std::optional<Error> WriteMatchReport(const std::string& jsonl, const std::string& html_out);
