// The sandbox of an untrusted player host. The host confines itself before
// it loads the player, with the kernel's own tools and no helper process:
// Landlock keeps its files to its own folder (read-only system libraries
// and its library beside it) and keeps its signals and ptrace inside, a
// seccomp filter refuses new processes, program execution, sockets,
// shared memory beyond the channel and every call that reaches another
// process, and a host started by root runs as an unprivileged user.
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>

#include "error.h"

// What the kernel must allow and this one does not, as one line naming it
// ("Landlock ABI 6 or later (this kernel offers none)"); empty when a
// sandbox can be built. Asked once per process.
std::optional<Error> SandboxMissing();

// Gives up every capability of the calling process for good (root keeps
// its user id, nothing more); false when the kernel refused.
bool DropCapabilities();

struct HostConfinement {
  std::string folder;   // the player's own folder, created if needed and made the working folder
  std::string library;  // the player library as named (relative to the starting folder)
  std::string program;  // the folder of the host's program (its Python shim)
  pid_t parent = 0;     // the client; the host must die with it (0: unchecked)
};

// Confines the calling host for good. Returns the path to load the library
// by from inside the player's folder, or what could not be applied.
Result<std::string> ConfineHost(const HostConfinement& c);

// The name of a system call the filter refuses, for the fault report;
// "a refused system call" for any other. Safe in a signal handler.
const char* RefusedCallName(long number);

// The client's side: the referee's memory and descriptors are not to be
// read through /proc or ptrace by anything of the same user.
void ProtectClient();
