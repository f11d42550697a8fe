// A match record's settings as a reader wants them: each in words with its
// unit ("6 holes of 6 bones", "10 s a call", "no limit"), not the record's
// keys and raw numbers.
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <utility>
#include <vector>

using SettingLines = std::vector<std::pair<std::string, std::string>>;

// The match line's "settings" object in words; a key this page does not
// know is shown with blanks for underscores and its value as recorded.
SettingLines MatchSettingsInWords(const nlohmann::json& settings);

// The end line: the elapsed time in seconds and the exit status with its
// meaning.
SettingLines MatchEndInWords(const nlohmann::json& end);
