// The one way a program here starts another: the referee and the checker
// their player hosts, the arena its referees. A setup posix_spawn can
// carry out is started with it (the faster start); one that needs the
// child tied to the parent's life or a hook is prepared between fork and
// exec with system calls only (no allocation), safe from a threaded parent.
#pragma once

#include <sys/types.h>

#include <string>
#include <utility>
#include <vector>

#include "error.h"

struct ChildSetup {
  // Descriptors to place in the child: {from, to}; `to` loses close-on-exec.
  std::vector<std::pair<int, int>> fds;
  std::string folder;       // chdir here first when not empty
  std::string stdout_file;  // created or truncated (0644) as descriptor 1 when not empty
  std::string stderr_file;  // the same for descriptor 2
  bool own_group = false;   // a process group of its own (the terminal's ^C stays with the parent)
  bool die_with_parent = false;  // SIGKILL when the parent dies
  // Run last before exec, in the child; a non-zero answer ends the child
  // with status 127 (kExitChildNotRun). Only system calls belong here.
  int (*before_exec)(void* arg) = nullptr;
  void* before_exec_arg = nullptr;
};

// Starts argv[0] (a path) with argv, the parent's environment and an empty
// signal mask, every signal at its default but SIGPIPE, which stays as the
// parent has it (a write to a closed pipe then fails alike in both); the
// child's pid, or the reason it could not start (the system's words).
Result<pid_t> StartChild(const std::vector<std::string>& argv, const ChildSetup& setup);
