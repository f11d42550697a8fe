// Checks of record lines before anything reads them: the types and ranges
// that doc/match-record.schema.json (the referee's record) and
// doc/results.schema.json (the arena's results.jsonl) describe. A line of
// the right shape can then be read with no further care; a bad one gives
// an Error whose text is a phrase naming the field, so that readers report one clear line.
#pragma once

#include <nlohmann/json.hpp>
#include <optional>
#include <string>

#include "error.h"

// One line of a referee match record.
template <class J>
std::optional<Error> CheckMatchLine(const J& line);

// One line of an arena results file. Settings of a tournament line are
// checked through CheckTournamentSettings.
template <class J>
std::optional<Error> CheckResultsLine(const J& line);

template <class J>
std::optional<Error> CheckTournamentSettings(const J& settings);
