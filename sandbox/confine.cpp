// The host's confinement of itself inside its room, in the order that
// keeps every step possible: the room's folder is opened and the limits
// set, root's powers are given up, then the files are closed in with
// Landlock and the system calls with seccomp.
#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "exit_status.h"
#include "landlock.h"
#include "sandbox.h"
#include "syscall_filter.h"

namespace {

Error Failed(const std::string& what) {
  return Error{"sandbox: cannot " + what + ": " + std::strerror(errno), kExitHostLoadFailed};
}

std::string CurrentFolder() {
  char buf[PATH_MAX];
  return getcwd(buf, sizeof buf) != nullptr ? buf : "";
}

std::string Resolved(const std::string& path) {
  char buf[PATH_MAX];
  return realpath(path.c_str(), buf) != nullptr ? buf : path;
}

// Opens (creating it if needed) the player's folder, which must be the
// host's own; a link or anything but a folder is refused.
Result<int> OwnFolder(const std::string& folder) {
  if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return Failed("create " + folder);
  const int fd = open(folder.c_str(), O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return Failed("open the player's folder " + folder);
  struct stat st {};
  const bool own = fstat(fd, &st) == 0 && (st.st_uid == geteuid() || (errno = EPERM, false));
  if (!own) {
    const Error error = Failed("make " + folder + " the player's own folder");
    close(fd);
    return error;
  }
  return fd;
}

// Standard output and error are the referee's output.txt, open already;
// standard input comes from /dev/null, so it cannot reach the referee's
// terminal.
std::optional<Error> NoInput() {
  const int in = open("/dev/null", O_RDONLY | O_CLOEXEC);
  if (in < 0 || dup2(in, 0) < 0) return Failed("open /dev/null as the player's input");
  // A read-only descriptor loses nothing on close; 0 itself (the input was
  // closed) is the one to keep.
  if (in != 0) close(in);
  return std::nullopt;
}

// What the player may read besides its own folder. The room's root holds
// only what the referee put there (the system's libraries, a few files of
// /etc, the host, the player's file and the folders named for a Python
// player), so everything at its top may be read but the processes and
// devices: of /proc only the host's own, of /dev only the harmless files.
FileRules Rules(const std::string& folder) {
  FileRules rules;
  if (DIR* root = opendir("/")) {
    while (const dirent* e = readdir(root)) {
      const std::string name = e->d_name;
      if (name == "." || name == ".." || name == "proc" || name == "dev" || "/" + name == folder)
        continue;
      rules.read.push_back("/" + name);
    }
    closedir(root);
  }
  for (const char* dev : {"/dev/urandom", "/dev/random", "/dev/zero", "/proc/self"})
    rules.read.push_back(dev);
  rules.write = {folder, "/dev/null"};
  return rules;
}

// The parent-death signal, asked for again in case a change of identity
// cleared it; the referee must still be the parent.
std::optional<Error> StillChildOf(pid_t parent) {
  if (prctl(PR_SET_PDEATHSIG, SIGKILL) != 0) return Failed("die with the referee");
  if (parent != 0 && getppid() != parent)
    return Error{"sandbox: the referee is gone", kExitHostParentGone};
  return std::nullopt;
}

// The host's own limits: threads and processes (per user namespace, so in
// a room only its own; root is exempt and bounded by its cgroup), open
// descriptors, the size of any file it writes, no core dumps.
std::optional<Error> OwnLimits(const HostConfinement& c) {
  auto set = [](int resource, long value) {
    const rlimit limit{static_cast<rlim_t>(value), static_cast<rlim_t>(value)};
    return setrlimit(resource, &limit) == 0;
  };
  if (!set(RLIMIT_CORE, 0) || (c.pids > 0 && !set(RLIMIT_NPROC, c.pids)) ||
      (c.files > 0 && !set(RLIMIT_NOFILE, c.files)) ||
      (c.output_bytes > 0 && !set(RLIMIT_FSIZE, c.output_bytes)))
    return Failed("limit the player's resources");
  return std::nullopt;
}

}  // namespace

Result<std::string> ConfineHost(const HostConfinement& c) {
  std::string library = c.library;
  if (library.find('/') != std::string::npos && library[0] != '/')
    library = CurrentFolder() + "/" + library;
  const Result<int> folder = OwnFolder(c.folder);
  if (!folder) return folder.error();
  if (auto error = NoInput()) return *error;
  const FileRules rules = Rules(Resolved(c.folder));
  if (auto error = OwnLimits(c)) return *error;
  if (auto error = DropCapabilities())
    return Error{"sandbox: cannot " + error->text, kExitHostLoadFailed};
  if (auto error = StillChildOf(c.parent)) return *error;
  const bool moved = fchdir(*folder) == 0;
  close(*folder);  // a folder opened to enter it: nothing to lose
  if (!moved) return Failed("enter the player's folder");
  if (prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0) return Failed("set no_new_privs");
  if (auto error = RestrictFiles(rules))
    return Error{"sandbox: " + error->text, kExitHostLoadFailed};
  if (auto error = InstallSyscallFilter())
    return Error{"sandbox: " + error->text, kExitHostLoadFailed};
  return library;
}
