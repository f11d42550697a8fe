#include "child_process.h"

#include <fcntl.h>
#include <signal.h>
#include <string.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <cerrno>

extern char** environ;

namespace {

// Everything the child does, with only system calls.
[[noreturn]] void BecomeChild(char* const* argv, const ChildSetup& s, pid_t parent) {
  if (s.own_group) setpgid(0, 0);
  if (s.die_with_parent) {
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != parent) _exit(127);
  }
  for (const auto& [from, to] : s.fds) {
    if (from == to) {
      const int flags = fcntl(from, F_GETFD);
      if (flags < 0 || fcntl(from, F_SETFD, flags & ~FD_CLOEXEC) < 0) _exit(127);
    } else if (dup2(from, to) < 0) {
      _exit(127);
    }
  }
  if (!s.folder.empty() && chdir(s.folder.c_str()) != 0) _exit(127);
  if (!s.stdout_file.empty()) {
    const int fd = open(s.stdout_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0 || dup2(fd, 1) < 0) _exit(127);
  }
  if (!s.stderr_file.empty()) {
    const int fd = open(s.stderr_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0 || dup2(fd, 2) < 0) _exit(127);
  }
  struct sigaction dfl {};
  dfl.sa_handler = SIG_DFL;
  for (int sig = 1; sig < NSIG; ++sig) sigaction(sig, &dfl, nullptr);
  sigset_t none;
  sigemptyset(&none);
  sigprocmask(SIG_SETMASK, &none, nullptr);
  if (s.before_exec != nullptr && s.before_exec(s.before_exec_arg) != 0) _exit(127);
  execve(argv[0], argv, environ);
  _exit(127);
}

}  // namespace

Result<pid_t> StartChild(const std::vector<std::string>& argv, const ChildSetup& setup) {
  if (argv.empty()) return Error{"no program to start"};
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  const pid_t parent = getpid();
  const pid_t pid = fork();
  if (pid == 0) BecomeChild(args.data(), setup, parent);
  if (pid < 0) return Error{"cannot start " + argv[0] + ": " + strerror(errno)};
  if (setup.own_group) setpgid(pid, pid);  // either side may run first
  return pid;
}
