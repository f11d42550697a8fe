// The referee's two text streams, the console and the log, written with
// unbuffered writes so that both hold everything written up to any moment.
// A write that fails ends the program: a one-line report on stderr naming
// the stream and the reason, exit status 3.
#pragma once

#include <string>
#include <string_view>

#include "exit_status.h"

inline constexpr const char* kLineEnd = "\r\n";

struct OutStream {
  int fd = -1;
  std::string name;  // for the failure report
};

OutStream ConsoleStream();

// Creates (or empties) the file for writing. On failure returns a stream
// with fd -1 and sets error to a one-line report.
OutStream CreateFileStream(const std::string& path, std::string& error);

void CloseStream(OutStream& stream);

// Writes all of text in one write(2) where the system allows, retrying
// interrupted and short writes.
void Emit(const OutStream& stream, std::string_view text);

// Writes text and a line end.
void EmitLine(const OutStream& stream, std::string text);

// Writes the report to stderr and exits with status 3.
[[noreturn]] void FailIo(const std::string& report);
