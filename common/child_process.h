// The one way a program here starts another: the referee its player hosts,
// the arena its referees. The child is prepared between fork and exec with
// system calls only (no allocation), so it is safe from a threaded parent.
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
  // with status 127. Only system calls belong here.
  int (*before_exec)(void* arg) = nullptr;
  void* before_exec_arg = nullptr;
};

// Starts argv[0] (a path) with argv, the parent's environment and an empty
// signal mask, every signal at its default; the child's pid, or why not.
Result<pid_t> StartChild(const std::vector<std::string>& argv, const ChildSetup& setup);
