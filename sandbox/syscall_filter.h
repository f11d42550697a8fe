// The seccomp filter of a sandboxed host: the system calls a player may
// not make, each stopped with SIGSYS so the host can name it.
#pragma once

#include <optional>

#include "error.h"

// Installs the filter on the calling process for good (needs no_new_privs).
std::optional<Error> InstallSyscallFilter();

// Whether a filter can be installed here: tried in a child process.
bool SyscallFilterWorks();
