// The player host: a process of its own for one player library. It maps
// the channel its client handed over, loads the library and serves the
// five calls until told to quit. A player that crashes, exits or writes
// past what it was lent takes only this process down, and the host leaves
// a note in the channel saying what happened.
#pragma once

#include <sys/types.h>

#include <string>

struct HostOptions {
  int channel_fd = -1;  // the channel's memfd, inherited from the client
  std::string library;  // the player library to load
  int player = 0;       // the player number, 1 or 2
  pid_t parent = 0;     // the client; the host ends when it is gone (0: unchecked)
  long memory_mb = 0;   // address-space limit in MiB; 0: none
  std::string sandbox;  // the player's own folder when sandboxed; empty: not sandboxed
  long pids = 0;   // sandboxed: threads and processes of the host's user (RLIMIT_NPROC); 0: none
  long files = 0;  // sandboxed: open descriptors (RLIMIT_NOFILE); 0: unchanged
  long output_mb = 0;  // sandboxed: the largest file it may write (RLIMIT_FSIZE); 0: none
};

// Runs the host; returns the process exit status (0 after a quit request,
// 2 when the library or an entry point is missing, 3 when the channel is
// unusable, 1 when the parent is already gone).
int RunHost(const HostOptions& options);
