// The host's confinement of itself, in the order that keeps every step
// possible: the player's folder and its output are made while the host may
// still create and give them away, root is given up, then the files are
// closed in with Landlock and the system calls with seccomp.
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

#include "landlock.h"
#include "python_player.h"
#include "sandbox.h"
#include "syscall_filter.h"

namespace {

Error Failed(const std::string& what) {
  return Error{"sandbox: cannot " + what + ": " + std::strerror(errno), 2};
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

// Standard output and error go to output.txt in the player's folder, so a
// player cannot write on the referee's console, and standard input comes
// from /dev/null, so it cannot reach the referee's terminal.
std::optional<Error> OwnOutput(int folder) {
  const int out =
      openat(folder, "output.txt", O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0644);
  if (out < 0) return Failed("create the player's output.txt");
  if (dup2(out, 1) < 0 || dup2(out, 2) < 0) return Failed("redirect the player's output");
  close(out);
  const int in = open("/dev/null", O_RDONLY | O_CLOEXEC);
  if (in < 0 || dup2(in, 0) < 0) return Failed("open /dev/null as the player's input");
  close(in);
  return std::nullopt;
}

// What the player may read besides its own folder: the system's libraries
// and data, the host's own folder, its library (a Python player: the
// library's folder) and, for a bare library name, the loader's extra path.
FileRules Rules(const HostConfinement& c, const std::string& library, const std::string& folder) {
  FileRules rules;
  // Of /etc only what the loader, the C library and Python read: a root
  // host keeps its user id, and /etc holds files only root may read.
  rules.read = {"/usr",
                "/lib",
                "/lib64",
                "/lib32",
                "/bin",
                "/etc/ld.so.cache",
                "/etc/localtime",
                "/etc/passwd",
                "/etc/group",
                "/etc/nsswitch.conf",
                "/etc/python3",
                "/etc/python3.11",
                "/sys/devices/system/cpu",
                "/dev/urandom",
                "/dev/random",
                "/dev/zero",
                "/proc/self",
                c.program,
                Resolved(c.program + "/../lib/python3")};
  if (library.find('/') == std::string::npos) {
    const char* path = getenv("LD_LIBRARY_PATH");
    std::string rest = path != nullptr ? path : "";
    for (size_t from = 0; from <= rest.size();) {
      const size_t to = std::min(rest.find(':', from), rest.size());
      if (to > from) rules.read.push_back(rest.substr(from, to - from));
      from = to + 1;
    }
  } else {
    const std::string file = Resolved(library);
    rules.read.push_back(IsPythonPlayer(library) ? file.substr(0, file.rfind('/')) : file);
  }
  rules.write = {folder, "/dev/null"};
  return rules;
}

// The parent-death signal, asked for again in case a change of identity
// cleared it; the referee must still be the parent.
std::optional<Error> StillChildOf(pid_t parent) {
  prctl(PR_SET_PDEATHSIG, SIGKILL);
  if (parent != 0 && getppid() != parent) return Error{"sandbox: the referee is gone", 1};
  return std::nullopt;
}

}  // namespace

Result<std::string> ConfineHost(const HostConfinement& c) {
  std::string library = c.library;
  if (library.find('/') != std::string::npos && library[0] != '/')
    library = CurrentFolder() + "/" + library;
  const Result<int> folder = OwnFolder(c.folder);
  if (!folder) return folder.error();
  if (auto error = OwnOutput(*folder)) return *error;
  const FileRules rules = Rules(c, library, Resolved(c.folder));
  const rlimit noCore{0, 0};
  setrlimit(RLIMIT_CORE, &noCore);
  if (!DropCapabilities()) return Failed("give up every capability");
  if (auto error = StillChildOf(c.parent)) return *error;
  const bool moved = fchdir(*folder) == 0;
  close(*folder);
  if (!moved) return Failed("enter the player's folder");
  if (prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0) return Failed("set no_new_privs");
  if (auto error = RestrictFiles(rules)) return Error{"sandbox: " + error->text, 2};
  if (auto error = InstallSyscallFilter()) return Error{"sandbox: " + error->text, 2};
  return library;
}
