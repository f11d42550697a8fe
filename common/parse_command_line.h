// The tools' one way through a CLI11 command line: --help prints the usage
// and ends with status 0; anything wrong is one line on stderr,
// "PROGRAM: reason", and status 64, before anything else happens. An
// argument that is not understood is named before one that is missing, so
// that a misspelt option is told as such.
#pragma once

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>

#include "exit_status.h"

// Parses argv into app; the status to end with, or nothing to go on.
inline std::optional<int> ParseCommandLine(CLI::App& app, int argc, char** argv,
                                           const char* program) {
  std::string error;
  try {
    app.parse(argc, argv);
    return std::nullopt;
  } catch (const CLI::CallForHelp&) {
    std::fputs(app.help().c_str(), stdout);
    return kExitOk;
  } catch (const CLI::RequiredError& e) {
    error = e.what();
    if (!app.remaining().empty())
      error = "The following argument was not expected: " + app.remaining().front();
  } catch (const CLI::ParseError& e) {
    error = e.what();
  }
  std::replace(error.begin(), error.end(), '\n', ' ');
  std::fprintf(stderr, "%s: %s\n", program, error.c_str());
  return kExitUsage;
}
