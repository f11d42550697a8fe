// The report page: one self-contained HTML file (style, script, charts and
// data inline, nothing fetched) from the already computed report data. The
// rounds to view are replayed here by the rules, so the page carries each
// position ready to draw and no rules of its own.
#pragma once

#include <optional>
#include <string>

#include "error.h"
#include "replay.h"
#include "report_data.h"

// The page of data. Rounds beyond kMaxViewedRounds are sampled first
// (SampleRounds).
std::string RenderReport(ReportData data);

// Writes the page of data to html_out.
std::optional<Error> WriteReportFile(ReportData data, const std::string& html_out);

// Steps of a replayed round in the page's compact form: per step kind,
// player, hole, flags (1 pass, 2 extra move, 4 round decided), captured
// hole, player 1's holes, player 2's holes, the two stores; each value one
// character of 0-9a-zA-Z for 0..61, larger ones as ~decimal~.
std::string EncodeSteps(const Replay& replay);
