// The command line: /H, /B, /R, /T, /F, /L and /P options into the match
// settings. A bad argument gives one error line and is otherwise ignored.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "integer_text.h"
#include "settings.h"

// Applies the arguments (without the program's own path) in order to
// settings and returns the error lines, without line ends, in order.
std::vector<std::string> ParseCommandString(const std::vector<std::string>& args,
                                            Settings& settings);

// True when an argument asks for the usage text.
bool WantsHelp(const std::vector<std::string>& args);

// The usage text of --help, lines ending in CR LF.
std::string UsageText();
