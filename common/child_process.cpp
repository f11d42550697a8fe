#include "child_process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <string.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <cerrno>

#include "exit_status.h"

extern char** environ;

namespace {

// Everything the child does, with only system calls. It is a copy of the
// parent between fork and exec, so a step that fails can only end it with
// _exit (no handler, no buffer of the parent's runs), with the shell's
// status for a command that did not run.
[[noreturn]] void BecomeChild(char* const* argv, const ChildSetup& s, pid_t parent) {
  if (s.own_group && setpgid(0, 0) != 0) _exit(kExitChildNotRun);
  if (s.die_with_parent) {
    if (prctl(PR_SET_PDEATHSIG, SIGKILL) != 0) _exit(kExitChildNotRun);
    if (getppid() != parent) _exit(kExitChildNotRun);
  }
  for (const auto& [from, to] : s.fds) {
    if (from == to) {
      const int flags = fcntl(from, F_GETFD);
      if (flags < 0 || fcntl(from, F_SETFD, flags & ~FD_CLOEXEC) < 0) _exit(kExitChildNotRun);
    } else if (dup2(from, to) < 0) {
      _exit(kExitChildNotRun);
    }
  }
  if (!s.folder.empty() && chdir(s.folder.c_str()) != 0) _exit(kExitChildNotRun);
  if (!s.stdout_file.empty()) {
    const int fd = open(s.stdout_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0 || dup2(fd, 1) < 0) _exit(kExitChildNotRun);
  }
  if (!s.stderr_file.empty()) {
    const int fd = open(s.stderr_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0 || dup2(fd, 2) < 0) _exit(kExitChildNotRun);
  }
  struct sigaction dfl {};
  dfl.sa_handler = SIG_DFL;
  // SIGKILL, SIGSTOP and the C library's own signals refuse a handler:
  // those failures leave nothing to undo.
  for (int sig = 1; sig < NSIG; ++sig)
    if (sig != SIGPIPE) sigaction(sig, &dfl, nullptr);
  sigset_t none;
  sigemptyset(&none);
  if (sigprocmask(SIG_SETMASK, &none, nullptr) != 0) _exit(kExitChildNotRun);
  if (s.before_exec != nullptr && s.before_exec(s.before_exec_arg) != 0) _exit(kExitChildNotRun);
  execve(argv[0], argv, environ);
  _exit(kExitChildNotRun);
}

// The same with posix_spawn, which runs the child in the parent's place
// until exec instead of copying it: measurably faster to start a player
// host (60 alternating starts of pitsow-host on a loaded machine: median
// 16-18 ms against 23-27 ms with fork). It serves every setup that needs
// nothing between fork and exec but what posix_spawn can do.
Result<pid_t> Spawn(char* const* argv, const ChildSetup& s) {
  posix_spawn_file_actions_t actions;
  if (const int err = posix_spawn_file_actions_init(&actions); err != 0)
    return Error{strerror(err)};
  int err = 0;  // the first step that failed; each later one is skipped
  for (const auto& [from, to] : s.fds)
    if (err == 0) err = posix_spawn_file_actions_adddup2(&actions, from, to);
  if (err == 0 && !s.folder.empty())
    err = posix_spawn_file_actions_addchdir_np(&actions, s.folder.c_str());
  const int create = O_WRONLY | O_CREAT | O_TRUNC;
  if (err == 0 && !s.stdout_file.empty())
    err = posix_spawn_file_actions_addopen(&actions, 1, s.stdout_file.c_str(), create, 0644);
  if (err == 0 && !s.stderr_file.empty())
    err = posix_spawn_file_actions_addopen(&actions, 2, s.stderr_file.c_str(), create, 0644);
  posix_spawnattr_t attr;
  if (err != 0 || (err = posix_spawnattr_init(&attr)) != 0) {
    posix_spawn_file_actions_destroy(&actions);
    return Error{strerror(err)};
  }
  sigset_t none, all;
  sigemptyset(&none);
  sigfillset(&all);
  sigdelset(&all, SIGKILL);
  sigdelset(&all, SIGSTOP);
  sigdelset(&all, SIGPIPE);
  short flags = POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF;
  if (s.own_group) flags |= POSIX_SPAWN_SETPGROUP;  // group 0: the child's own
  err = posix_spawnattr_setsigmask(&attr, &none);
  if (err == 0) err = posix_spawnattr_setsigdefault(&attr, &all);
  if (err == 0) err = posix_spawnattr_setflags(&attr, flags);
  pid_t pid = -1;
  if (err == 0) err = posix_spawn(&pid, argv[0], &actions, &attr, argv, environ);
  posix_spawnattr_destroy(&attr);
  posix_spawn_file_actions_destroy(&actions);
  if (err != 0) return Error{strerror(err)};
  return pid;
}

// posix_spawn can place every descriptor but one onto itself, and cannot
// tie the child's life to the parent's or run a hook.
bool SpawnCan(const ChildSetup& s) {
  for (const auto& [from, to] : s.fds)
    if (from == to) return false;
  return !s.die_with_parent && s.before_exec == nullptr;
}

}  // namespace

Result<pid_t> StartChild(const std::vector<std::string>& argv, const ChildSetup& setup) {
  if (argv.empty()) return Error{"no program to start"};
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  if (SpawnCan(setup)) return Spawn(args.data(), setup);
  const pid_t parent = getpid();
  const pid_t pid = fork();
  if (pid == 0) BecomeChild(args.data(), setup, parent);
  if (pid < 0) return Error{strerror(errno)};
  // Either side may run first: the child's own setpgid did it, or the
  // child has already run its program (EACCES), so this one's failure says
  // nothing.
  if (setup.own_group) setpgid(pid, pid);
  return pid;
}
