#include "output.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

OutStream ConsoleStream() { return {STDOUT_FILENO, "standard output"}; }

OutStream CreateFileStream(const std::string& path, std::string& error) {
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) {
    error = "pitsow: cannot create log file '" + path + "': " + std::strerror(errno);
    return {-1, "'" + path + "'"};
  }
  return {fd, "'" + path + "'"};
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

void FailIo(const std::string& report) {
  const std::string line = report + "\n";
  // Best effort: stderr is the last channel left.
  [[maybe_unused]] const ssize_t n = write(STDERR_FILENO, line.data(), line.size());
  std::exit(kExitIoError);
}
