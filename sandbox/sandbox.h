// The sandbox of an untrusted player host. The referee starts the host in
// a room of its own (room.h: namespaces through bubblewrap, cgroups or
// rlimits); the host then confines itself before it loads the player:
// Landlock keeps its files to its own folder (read-only system libraries
// and its library) and keeps its signals and ptrace inside, a seccomp
// filter refuses new processes, program execution, sockets, shared memory
// beyond the channel and every call that reaches another process, and
// rlimits bound its threads, descriptors and file sizes.
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
// its user id, nothing more); what the kernel refused ("give up every
// capability: <the system's words>") otherwise.
std::optional<Error> DropCapabilities();

struct HostConfinement {
  std::string folder;     // the player's own folder (the room's tmpfs), made the working folder
  std::string library;    // the player library as named (relative to the starting folder)
  std::string program;    // the folder of the host's program (its Python shim)
  pid_t parent = 0;       // the client; the host must die with it (0: unchecked, a room's host)
  long pids = 0;          // RLIMIT_NPROC (counted per user namespace); 0: none
  long files = 0;         // RLIMIT_NOFILE; 0: unchanged
  long output_bytes = 0;  // RLIMIT_FSIZE; 0: none
};

// Confines the calling host for good. Returns the path to load the library
// by from inside the player's folder, or what could not be applied.
Result<std::string> ConfineHost(const HostConfinement& c);

// The name of a system call the filter refuses, for the fault report;
// "a refused system call" for any other. Safe in a signal handler.
const char* RefusedCallName(long number);
// Whether number is a call the filter refuses (in some or every use).
bool IsRefusedCall(long number);

// The client's side: the referee's memory and descriptors are not to be
// read through /proc or ptrace by anything of the same user.
void ProtectClient();
