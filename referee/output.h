// The referee's two text streams, the console and the log, written with
// unbuffered writes so that both hold everything written up to any moment.
// A write that fails ends the program: a one-line report on stderr naming
// the stream and the reason, exit status 3.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "claim_file.h"
#include "error.h"
#include "exit_status.h"

inline constexpr const char* kLineEnd = "\r\n";

struct OutStream {
  int fd = -1;
  std::string name;  // for the failure report
};

OutStream ConsoleStream();

// Takes the file at path for the log: created or replaced, but never while
// another match holds it, and never when it is one of protected_files (the
// referee, the players) or a program.
Result<OutStream> OpenLogFile(const std::string& path, const std::vector<FileId>& protected_files);

void CloseStream(OutStream& stream);

// Writes all of text in one write(2) where the system allows, retrying
// interrupted and short writes.
void Emit(const OutStream& stream, std::string_view text);

// Writes text and a line end.
void EmitLine(const OutStream& stream, std::string text);

// Writes one line to stderr, best effort: stderr is the last channel left.
void ReportToStderr(const std::string& line);

// A failed write or close of the console, the log or the record: the match
// cannot go on. The output calls throw it; main alone turns its Error into
// the report on stderr and exit status 3, unwinding the match on the way
// (the players' hosts are reaped).
struct OutputFailure {
  Error error;
};
