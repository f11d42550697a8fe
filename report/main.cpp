// pitsow-report: the HTML report of one referee match record.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <string>

#include "exit_status.h"
#include "parse_command_line.h"
#include "record_reader.h"

int main(int argc, char** argv) {
  CLI::App app{"Writes the HTML report of a referee match record (--results file)."};
  std::string record;
  std::string output;
  std::string positional;
  auto* file = app.add_option("FILE", positional, "the match record, JSON Lines (as --match)");
  app.add_option("--match", record, "the match record, JSON Lines")->excludes(file);
  app.add_option("--output", output,
                 "the HTML file to write (default: the record's name with .html)");
  if (const auto end = ParseCommandLine(app, argc, argv, "pitsow-report")) return *end;
  if (record.empty()) record = positional;
  if (record.empty()) {
    std::fprintf(stderr, "pitsow-report: give the match record: FILE or --match FILE\n");
    return kExitUsage;
  }
  if (output.empty()) {
    const size_t dot = record.rfind('.');
    const size_t slash = record.rfind('/');
    output = (dot != std::string::npos && (slash == std::string::npos || dot > slash)
                  ? record.substr(0, dot)
                  : record) +
             ".html";
  }
  if (auto error = WriteMatchReport(record, output)) {
    std::fprintf(stderr, "pitsow-report: %s\n", error->text.c_str());
    return kExitIoError;
  }
  std::printf("%s\n", output.c_str());
  return kExitMatchComplete;
}
