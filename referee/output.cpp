#include "output.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

[[noreturn]] void FailIo(const std::string& report) { throw OutputFailure{{report, kExitIoError}}; }

}  // namespace

OutStream ConsoleStream() { return {STDOUT_FILENO, "standard output"}; }

Result<OutStream> OpenLogFile(const std::string& path, const std::vector<FileId>& protected_files) {
  const Result<int> fd = ClaimFile(path, protected_files);
  if (!fd) return Error{"pitsow: " + fd.error().text};
  return OutStream{*fd, "'" + path + "'"};
}

void CloseStream(OutStream& stream) {
  if (stream.fd > STDERR_FILENO && close(stream.fd) != 0)
    FailIo("pitsow: cannot close '" + stream.name + "': " + std::strerror(errno));
  stream.fd = -1;
}

void Emit(const OutStream& stream, std::string_view text) {
  while (!text.empty()) {
    const ssize_t n = write(stream.fd, text.data(), text.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      FailIo("pitsow: cannot write to " + stream.name + ": " + std::strerror(errno));
    }
    if (n == 0) FailIo("pitsow: cannot write to " + stream.name + ": nothing was written");
    text.remove_prefix(static_cast<size_t>(n));
  }
}

void EmitLine(const OutStream& stream, std::string text) {
  text += kLineEnd;
  Emit(stream, text);
}

void ReportToStderr(const std::string& line) {
  const std::string text = line + "\n";
  [[maybe_unused]] const ssize_t n = write(STDERR_FILENO, text.data(), text.size());
}
