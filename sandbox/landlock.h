// Landlock, the kernel's unprivileged access control, through its three
// system calls (the C library has no wrappers and the installed header
// knows only its first versions).
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "error.h"

// The Landlock ABI version the kernel offers; 0 when it offers none.
int LandlockAbi();

struct FileRules {
  std::vector<std::string> read;   // folders or files the host may read (and map for execution)
  std::vector<std::string> write;  // folders or files it may also write, create and remove in
};

// Restricts the calling process (and everything it starts) for good to
// the files named, keeps its signals and abstract sockets inside, and
// refuses TCP. Needs no_new_privs. A path that does not exist is skipped.
std::optional<Error> RestrictFiles(const FileRules& rules);
