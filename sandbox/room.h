// The room of a sandboxed player host: the namespaces it runs in and the
// resources it may use. The referee starts each sandboxed host through
// bubblewrap (`bwrap`), which gives it PID, mount, network, IPC, UTS,
// cgroup and user namespaces of its own, an empty environment, no
// capability, a session of its own and death with the referee; inside,
// the host sees the system's libraries, its own library file, a fresh
// tmpfs of bounded size as its working folder and nothing else of the
// machine's files. Threads, memory, open files and file sizes are bounded
// by cgroups where the kernel lets this user write them and by rlimits
// otherwise.
#pragma once

#include <string>
#include <vector>

#include "error.h"

// What a room allows, by default and as the organiser sets it.
struct RoomLimits {
  long pids = 64;         // threads and processes of the whole host
  long memory_mb = 1024;  // memory of the whole host, its tmpfs included (cgroup); 0: none
  long disk_mb = 64;      // the working folder's tmpfs
  long files = 256;       // open descriptors (RLIMIT_NOFILE)
  long output_mb = 16;    // any file the host writes, output.txt included (RLIMIT_FSIZE)
};

// What goes into a room besides the system: the host program, the player's
// file (a library or a Python module) and folders the organiser names for
// a Python player's imports. Every path is bound read-only at its own path.
struct RoomPlan {
  std::string host_exe;
  std::string player_file;  // absolute, or a bare library name for the system's folders
  bool python = false;
  std::vector<std::string> python_path;
  RoomLimits limits;
};

// The folder inside a room that is the host's working folder (a tmpfs).
inline constexpr const char* kRoomFolder = "/box";

// bubblewrap's command line up to and including "--"; the host's own
// arguments follow it.
std::vector<std::string> RoomCommand(const RoomPlan& plan);

// The bubblewrap program, or why there is none that makes a room here
// (tried once per process).
Result<std::string> RoomProgram();

// The cgroups of one room where this process may create them: the host's
// pids and memory limits, the descriptors of their process lists opened
// beforehand so that a child joins them before exec with system calls
// only. `how` names the mechanism ("cgroup v1", "cgroup v2"), empty when
// none is usable and the rlimits alone apply.
struct RoomCgroup {
  std::vector<std::string> dirs;
  std::vector<int> procs_fds;
  std::string how;
};

// Creates the room's cgroups for limits, named after this process and
// the player; an empty RoomCgroup where none can be made.
RoomCgroup OpenRoomCgroup(const RoomLimits& limits, int player);

// In the child, before exec: joins every cgroup of the room. Returns
// non-zero when one refused. Only system calls.
int JoinRoomCgroup(void* room_cgroup);

// Closes the descriptors and removes the cgroups (once their processes
// have gone, waiting a little for the kernel to let them go).
void CloseRoomCgroup(RoomCgroup& cgroup);

// Which limits a room has and how each is enforced, one line for the
// record and the verdict: "pids 64 (cgroup v1), memory 1024 MiB (cgroup
// v1), disk 64 MiB (tmpfs), files 256 (rlimit), output 16 MiB (rlimit),
// inotify refused (seccomp), CPU stopped between calls (SIGSTOP)".
std::string RoomLimitsText(const RoomLimits& limits);
