// The player host: a process of its own for one player library. It maps
// the channel its client handed over, loads the library and serves the
// five calls until told to quit. A player that crashes, exits or writes
// past what it was lent takes only this process down, and the host leaves
// a note in the channel saying what happened.
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>

#include "error.h"

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

// Runs the host until the client asks it to quit (nothing then), or gives
// why it cannot serve, with the status to end with (common/exit_status.h:
// kExitHostLoadFailed when the library, an entry point or the sandbox
// failed, kExitHostChannelUnusable when the channel or the host's own set-up
// did, kExitHostParentGone when the client is already gone). What the
// client must know is already in the channel.
std::optional<Error> RunHost(const HostOptions& options);
