#include "room.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

#include "child_process.h"
#include "exit_status.h"

namespace {

bool IsLink(const std::string& path) {
  struct stat st {};
  return lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

bool Exists(const std::string& path) { return access(path.c_str(), F_OK) == 0; }

std::string Resolved(const std::string& path) {
  char buf[4096];
  return realpath(path.c_str(), buf) != nullptr ? buf : path;
}

std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos || slash == 0 ? "/" : path.substr(0, slash);
}

void Bind(std::vector<std::string>& args, const std::string& path) {
  args.insert(args.end(), {"--ro-bind", Resolved(path), path});
}

// The system: /usr and the top-level folders that lead into it (links on
// a merged /usr, folders elsewhere), and of /etc only what the loader,
// the C library and Python read.
void System(std::vector<std::string>& args) {
  args.insert(args.end(), {"--ro-bind", "/usr", "/usr"});
  for (const char* top : {"/lib", "/lib64", "/lib32", "/libx32", "/bin", "/sbin"}) {
    if (IsLink(top)) {
      char target[256];
      const ssize_t n = readlink(top, target, sizeof target - 1);
      if (n > 0) args.insert(args.end(), {"--symlink", std::string(target, n), top});
    } else if (Exists(top)) {
      args.insert(args.end(), {"--ro-bind", top, top});
    }
  }
  // nsswitch.conf without passwd or group: a user lookup finds nothing in
  // the files instead of asking nscd through a socket (which the filter
  // refuses).
  for (const char* etc : {"/etc/ld.so.cache", "/etc/localtime", "/etc/nsswitch.conf",
                          "/etc/python3", "/etc/python3.11"})
    args.insert(args.end(), {"--ro-bind-try", etc, etc});
  args.insert(args.end(), {"--ro-bind-try", "/sys/devices/system/cpu", "/sys/devices/system/cpu"});
}

std::optional<Error> Probe(const std::string& bwrap) {
  RoomPlan plan;
  plan.host_exe = "/usr/bin/true";
  std::vector<std::string> argv = RoomCommand(plan);
  argv[0] = bwrap;
  argv.push_back("/usr/bin/true");
  ChildSetup setup;
  setup.stdout_file = "/dev/null";
  setup.stderr_file = "/dev/null";
  Result<pid_t> pid = StartChild(argv, setup);
  if (!pid)
    return Error{"sandbox: cannot run " + bwrap + ": " + pid.error().text, kExitPlayerMissing};
  int status = 0;
  pid_t reaped;
  while ((reaped = waitpid(*pid, &status, 0)) < 0 && errno == EINTR) continue;
  if (reaped == *pid && WIFEXITED(status) && WEXITSTATUS(status) == 0) return std::nullopt;
  return Error{
      "sandbox: " + bwrap + " cannot make a room here (are unprivileged user namespaces allowed?)",
      kExitPlayerMissing};
}

}  // namespace

std::vector<std::string> RoomCommand(const RoomPlan& plan) {
  std::vector<std::string> args = {
      "bwrap", "--unshare-all", "--die-with-parent", "--new-session", "--clearenv", "--cap-drop",
      "ALL"};
  System(args);
  args.insert(args.end(), {"--proc", "/proc", "--dev", "/dev"});
  args.insert(args.end(), {"--size", std::to_string(plan.limits.disk_mb << 20), "--tmpfs",
                           kRoomFolder, "--chdir", kRoomFolder});
  // Python looks up the user's home without HOME.
  args.insert(args.end(), {"--setenv", "HOME", kRoomFolder});
  Bind(args, plan.host_exe);
  if (plan.python) {
    // The shim beside the host and the pitsow package beside its folder.
    const std::string folder = FolderOf(plan.host_exe);
    for (const std::string& extra : {folder + "/pitsow-python.so", folder + "/../lib/python3"})
      if (Exists(extra)) Bind(args, Resolved(extra));
    std::string path;
    for (const std::string& dir : plan.python_path) {
      if (!Exists(dir)) continue;
      const std::string named = Resolved(dir);
      Bind(args, named);
      if (!path.empty()) path.push_back(':');
      path.append(named);
    }
    // The folders named are where the player's imports are looked for.
    if (!path.empty()) args.insert(args.end(), {"--setenv", "PYTHONPATH", path});
  }
  if (plan.player_file.find('/') != std::string::npos && Exists(plan.player_file))
    Bind(args, plan.player_file);
  args.push_back("--");
  return args;
}

Result<std::string> RoomProgram() {
  static const Result<std::string> kProgram = []() -> Result<std::string> {
    std::string found;
    const char* path = getenv("PATH");
    std::stringstream dirs(path != nullptr ? path : "");
    for (std::string dir; found.empty() && std::getline(dirs, dir, ':');)
      if (!dir.empty() && access((dir + "/bwrap").c_str(), X_OK) == 0) found = dir + "/bwrap";
    if (found.empty() && access("/usr/bin/bwrap", X_OK) == 0) found = "/usr/bin/bwrap";
    if (found.empty())
      return Error{"sandbox: bubblewrap (bwrap) is missing (Debian package bubblewrap)",
                   kExitPlayerMissing};
    if (auto error = Probe(found)) return *error;
    return found;
  }();
  return kProgram;
}

namespace {

// This process's cgroup in a hierarchy: the path after "ID:CONTROLLERS:"
// in /proc/self/cgroup for the line naming controller ("" for v2's "0::").
std::string OwnCgroup(const std::string& controller) {
  std::ifstream in("/proc/self/cgroup");
  for (std::string line; std::getline(in, line);) {
    const size_t a = line.find(':'), b = line.find(':', a + 1);
    if (a == std::string::npos || b == std::string::npos) continue;
    std::stringstream names(line.substr(a + 1, b - a - 1));
    bool match = controller.empty() && b == a + 1;
    for (std::string n; !match && std::getline(names, n, ',');) match = n == controller;
    if (match) return line.substr(b + 1);
  }
  return "";
}

// The system's words for the last failure of what.
Error Failed(const std::string& what) { return Error{what + ": " + std::strerror(errno)}; }

// A cgroup's setting written whole. A cgroup file takes its value at the
// write, so its close has nothing left to lose.
std::optional<Error> WriteText(const std::string& file, const std::string& text) {
  const int fd = open(file.c_str(), O_WRONLY | O_CLOEXEC);
  if (fd < 0) return Failed("cannot open " + file);
  const bool whole = write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
  std::optional<Error> error;
  if (!whole) error = Failed("cannot write " + file);
  close(fd);
  return error;
}

std::string ReadText(const std::string& file) {
  std::ifstream in(file);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// A new cgroup dir under parent with the settings written in order, or
// what was refused (and nothing left: the empty dir goes again).
std::optional<Error> MakeCgroup(RoomCgroup& room, const std::string& dir,
                                const std::vector<std::pair<std::string, std::string>>& settings) {
  if (mkdir(dir.c_str(), 0755) != 0) return Failed("cannot create " + dir);
  for (const auto& [file, value] : settings)
    if (Exists(dir + "/" + file))
      if (auto error = WriteText(dir + "/" + file, value)) {
        rmdir(dir.c_str());
        return error;
      }
  const int fd = open((dir + "/cgroup.procs").c_str(), O_WRONLY | O_CLOEXEC);
  if (fd < 0) {
    const Error error = Failed("cannot open " + dir + "/cgroup.procs");
    rmdir(dir.c_str());
    return error;
  }
  room.dirs.push_back(dir);
  room.procs_fds.push_back(fd);
  return std::nullopt;
}

std::string Name(int player) {
  return "pitsow-" + std::to_string(getpid()) + "-" + std::to_string(player);
}

// cgroup v1: a pids and a memory cgroup beside this process's own.
std::optional<Error> OpenV1(RoomCgroup& room, const RoomLimits& limits, int player) {
  const std::string pids = "/sys/fs/cgroup/pids", memory = "/sys/fs/cgroup/memory";
  if (!Exists(pids + "/cgroup.procs") || !Exists(memory + "/cgroup.procs"))
    return Error{"no cgroup v1 pids and memory hierarchies"};
  const std::string bytes = std::to_string(limits.memory_mb << 20);
  if (auto error = MakeCgroup(room, pids + OwnCgroup("pids") + "/" + Name(player),
                              {{"pids.max", std::to_string(limits.pids)}}))
    return error;
  std::vector<std::pair<std::string, std::string>> mem;
  if (limits.memory_mb > 0)
    mem = {{"memory.limit_in_bytes", bytes}, {"memory.memsw.limit_in_bytes", bytes}};
  if (auto error = MakeCgroup(room, memory + OwnCgroup("memory") + "/" + Name(player), mem))
    return error;
  room.how = "cgroup v1";
  return std::nullopt;
}

// cgroup v2, delegated to this user (e.g. systemd-run --user --scope -p
// Delegate=yes): the controllers enabled for this process's cgroup's
// children, this process moved into a leaf of its own first when its
// cgroup holds processes.
std::optional<Error> OpenV2(RoomCgroup& room, const RoomLimits& limits, int player) {
  const std::string root = "/sys/fs/cgroup";
  if (!Exists(root + "/cgroup.controllers")) return Error{"no cgroup v2 hierarchy"};
  const std::string own = root + OwnCgroup("");
  auto enabled = [&] {
    const std::string s = ReadText(own + "/cgroup.subtree_control");
    return s.find("pids") != std::string::npos && s.find("memory") != std::string::npos;
  };
  if (!enabled()) {
    const std::string leaf = own + "/pitsow-referee-" + std::to_string(getpid());
    if (mkdir(leaf.c_str(), 0755) != 0 && errno != EEXIST) return Failed("cannot create " + leaf);
    if (auto error = WriteText(leaf + "/cgroup.procs", "0")) return error;
    if (auto error = WriteText(own + "/cgroup.subtree_control", "+pids +memory")) return error;
  }
  std::vector<std::pair<std::string, std::string>> settings = {
      {"pids.max", std::to_string(limits.pids)}};
  if (limits.memory_mb > 0) {
    settings.push_back({"memory.max", std::to_string(limits.memory_mb << 20)});
    settings.push_back({"memory.swap.max", "0"});
  }
  if (auto error = MakeCgroup(room, own + "/" + Name(player), settings)) return error;
  room.how = "cgroup v2";
  return std::nullopt;
}

}  // namespace

RoomCgroup OpenRoomCgroup(const RoomLimits& limits, int player) {
  RoomCgroup room;
  // Where neither can be made the rlimits alone apply, as RoomLimitsText
  // says: why each failed changes nothing.
  if (!OpenV1(room, limits, player) || !OpenV2(room, limits, player)) return room;
  CloseRoomCgroup(room);
  return RoomCgroup{};
}

int JoinRoomCgroup(void* room_cgroup) {
  const RoomCgroup& room = *static_cast<const RoomCgroup*>(room_cgroup);
  for (const int fd : room.procs_fds)
    if (write(fd, "0", 1) != 1) return 1;
  return 0;
}

void CloseRoomCgroup(RoomCgroup& room) {
  // Process lists only written to before exec: their close loses nothing.
  for (const int fd : room.procs_fds) close(fd);
  for (const std::string& dir : room.dirs) {
    // The room's last processes may still be on their way out.
    for (int tries = 0; rmdir(dir.c_str()) != 0 && errno == EBUSY && tries < 200; ++tries)
      usleep(5000);
  }
  room = RoomCgroup{};
}

std::string RoomLimitsText(const RoomLimits& limits) {
  static const std::string kHow = [] {
    RoomCgroup probe = OpenRoomCgroup(RoomLimits{}, 0);
    std::string h = probe.how;
    CloseRoomCgroup(probe);
    return h;
  }();
  const std::string by = kHow.empty() ? "rlimit" : kHow;
  std::string text = "pids " + std::to_string(limits.pids) + " (" + by + ")";
  if (limits.memory_mb > 0)
    text += ", memory " + std::to_string(limits.memory_mb) + " MiB (" +
            (kHow.empty() ? "address space, rlimit" : kHow) + ")";
  text += ", disk " + std::to_string(limits.disk_mb) + " MiB (tmpfs)";
  text += ", files " + std::to_string(limits.files) + " (rlimit)";
  text += ", output " + std::to_string(limits.output_mb) + " MiB (rlimit)";
  text += ", inotify refused (seccomp), stopped between calls (SIGSTOP)";
  return text;
}
