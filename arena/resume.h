// Resuming a tournament from its folder alone: the settings come from the
// results file; settings given again on the command line must be the
// ones recorded, and each that differs is named with both values.
#pragma once

#include <string>
#include <vector>

#include "error.h"
#include "schedule.h"

// The settings of DIR/results.jsonl. `given` holds the command line's
// settings, `given_keys` the keys of the results file's settings that the
// command line named ("pairs", "players", ...). An Error with status 3
// when the file cannot be used, 64 when settings differ.
Result<TournamentSettings> ResumeSettings(const std::string& dir, const TournamentSettings& given,
                                          const std::vector<std::string>& given_keys);

// The openings of a file, read with the referee's grammar and checks; an
// error naming the file and the line.
Result<std::vector<std::vector<int>>> LoadOpenings(const std::string& path, int holes, int bones);

// A word as a POSIX shell reads it back unchanged.
std::string ShellWord(const std::string& word);
