// Taking a file for writing without harming somebody else's: a log or a
// trace is opened without truncating, locked, checked, and only then
// emptied. A file another running match holds, a program, or a player
// library is left exactly as it was.
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

#include "error.h"

// A file's identity on disk.
struct FileId {
  dev_t dev = 0;
  ino_t ino = 0;
};

// The identity of the file at path (following links), if it exists.
std::optional<FileId> IdentityOf(const std::string& path);

// Opens path for writing (created with mode 0644 when missing), takes an
// exclusive non-blocking flock on it, refuses it when it is one of
// protected_files or begins with the ELF magic, then empties a regular file.
// Gives the descriptor, close-on-exec, which keeps the lock until closed;
// the file stays readable by others. On failure nothing was changed and
// the reason is a sentence naming path, e.g. "PsLog.txt is in use by
// another match".
Result<int> ClaimFile(const std::string& path, const std::vector<FileId>& protected_files);
