#include "syscall_filter.h"

#include <errno.h>
#include <sched.h>
#include <seccomp.h>
#include <signal.h>
#include <string.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <iterator>

#include "exit_status.h"
#include "sandbox.h"

namespace {

// Refused outright: new processes and programs, every way to reach another
// process's memory or scheduling, sockets (a pair of connected AF_UNIX
// sockets stays allowed), memory outside the address-space limit (memory
// files, System V and POSIX shared memory and queues), a file's owner,
// mode, times and attributes (Landlock does not cover them), and the
// kernel's administration.
constexpr const char* kRefused[] = {
    "fork",
    "vfork",
    "execve",
    "execveat",
    "ptrace",
    "process_vm_readv",
    "process_vm_writev",
    "process_madvise",
    "kcmp",
    "pidfd_open",
    "pidfd_getfd",
    "memfd_create",
    "memfd_secret",
    "socket",
    "shmget",
    "shmat",
    "shmctl",
    "msgget",
    "msgsnd",
    "msgrcv",
    "msgctl",
    "semget",
    "semop",
    "semtimedop",
    "semctl",
    "mq_open",
    "unshare",
    "setns",
    "mount",
    "umount2",
    "pivot_root",
    "chroot",
    "open_tree",
    "move_mount",
    "fsopen",
    "fsmount",
    "fspick",
    "mount_setattr",
    "bpf",
    "perf_event_open",
    "userfaultfd",
    "io_uring_setup",
    "io_uring_enter",
    "io_uring_register",
    "keyctl",
    "add_key",
    "request_key",
    "mknod",
    "mknodat",
    "fanotify_init",
    "inotify_init",
    "inotify_init1",
    "acct",
    "quotactl",
    "swapon",
    "swapoff",
    "reboot",
    "kexec_load",
    "kexec_file_load",
    "init_module",
    "finit_module",
    "delete_module",
    "iopl",
    "ioperm",
    "chmod",
    "fchmod",
    "fchmodat",
    "fchmodat2",
    "chown",
    "fchown",
    "lchown",
    "fchownat",
    "utime",
    "utimes",
    "utimensat",
    "futimesat",
    "setxattr",
    "lsetxattr",
    "fsetxattr",
    "removexattr",
    "lremovexattr",
    "fremovexattr",
};

// Allowed only on the caller itself (a process id or "who" of 0), refused
// on any other process: (call, index of the id argument, index of the
// "which" argument that says what the id is, and the one value of it that
// means a process: PRIO_PROCESS is 0, IOPRIO_WHO_PROCESS 1; -1: none).
struct OnSelfOnly {
  const char* name;
  unsigned arg;
  int which_arg = -1;
  unsigned which_process = 0;
};
constexpr OnSelfOnly kOnSelfOnly[] = {
    {"setpriority", 1, 0, 0},  {"ioprio_set", 1, 0, 1}, {"sched_setaffinity", 0},
    {"sched_setscheduler", 0}, {"sched_setparam", 0},   {"sched_setattr", 0},
    {"prlimit64", 0},          {"migrate_pages", 0},    {"move_pages", 0},
};

// The numbers of the refused calls with their names, for RefusedCallName.
struct Named {
  long number = -1;
  const char* name = nullptr;
};
Named refused_table[std::size(kRefused) + std::size(kOnSelfOnly) + 2];

// The numbers of every call named above, resolved once (the referee names
// a refused call from its number too).
void FillTable() {
  if (refused_table[0].name != nullptr) return;
  size_t k = 0;
  auto remember = [&k](const char* name) {
    const int nr = seccomp_syscall_resolve_name(name);
    if (nr != __NR_SCMP_ERROR) refused_table[k++] = {nr, name};  // else not a call on this machine
  };
  for (const char* name : kRefused) remember(name);
  for (const OnSelfOnly& c : kOnSelfOnly) remember(c.name);
  remember("clone");
  remember("rt_sigaction");
}

int AddRules(scmp_filter_ctx ctx) {
  for (const char* name : kRefused) {
    const int nr = seccomp_syscall_resolve_name(name);
    if (nr == __NR_SCMP_ERROR) continue;
    if (int r = seccomp_rule_add(ctx, SCMP_ACT_TRAP, nr, 0); r != 0) return r;
  }
  for (const OnSelfOnly& c : kOnSelfOnly) {
    const int nr = seccomp_syscall_resolve_name(c.name);
    if (nr == __NR_SCMP_ERROR) continue;
    const scmp_arg_cmp other{c.arg, SCMP_CMP_NE, 0, 0};
    if (int r = seccomp_rule_add_array(ctx, SCMP_ACT_TRAP, nr, 1, &other); r != 0) return r;
    if (c.which_arg < 0) continue;
    const scmp_arg_cmp not_process{static_cast<unsigned>(c.which_arg), SCMP_CMP_NE, c.which_process,
                                   0};
    if (int r = seccomp_rule_add_array(ctx, SCMP_ACT_TRAP, nr, 1, &not_process); r != 0) return r;
  }
  // clone makes threads; without CLONE_THREAD it makes a process. clone3
  // hides its flags in memory a filter cannot read: the C library falls
  // back to clone when it is missing.
  const scmp_arg_cmp process{0, SCMP_CMP_MASKED_EQ, CLONE_THREAD, 0};
  if (int r = seccomp_rule_add_array(ctx, SCMP_ACT_TRAP, SCMP_SYS(clone), 1, &process); r != 0)
    return r;
  // The host's handler of SIGSYS is set before the filter: a player may
  // not replace it (nor ignore the signal), so a refused call always ends
  // the host. Blocking SIGSYS does not help it: the kernel unblocks a
  // filter's signal and, blocked, kills with it.
  const scmp_arg_cmp sigsys[] = {{0, SCMP_CMP_EQ, SIGSYS, 0}, {1, SCMP_CMP_NE, 0, 0}};
  if (int r = seccomp_rule_add_array(ctx, SCMP_ACT_TRAP, SCMP_SYS(rt_sigaction), 2, sigsys); r != 0)
    return r;
  return seccomp_rule_add(ctx, SCMP_ACT_ERRNO(ENOSYS), SCMP_SYS(clone3), 0);
}

}  // namespace

std::optional<Error> InstallSyscallFilter() {
  FillTable();
  scmp_filter_ctx ctx = seccomp_init(SCMP_ACT_ALLOW);
  if (ctx == nullptr) return Error{"cannot set up a system call filter"};
  int r = AddRules(ctx);
  if (r == 0) r = seccomp_load(ctx);
  seccomp_release(ctx);
  if (r != 0) return Error{std::string("cannot install the system call filter: ") + strerror(-r)};
  return std::nullopt;
}

bool SyscallFilterWorks() {
  const pid_t pid = fork();
  if (pid == 0) {
    // A copy of this process that only answers with its status: it ends
    // with _exit, so that no handler or buffer of the parent's runs twice.
    if (prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0) _exit(kExitProbeFailed);
    _exit(InstallSyscallFilter() ? kExitProbeFailed : kExitProbeWorked);
  }
  int status = 0;
  return pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status) &&
         WEXITSTATUS(status) == kExitProbeWorked;
}

bool IsRefusedCall(long number) {
  FillTable();
  for (const Named& n : refused_table)
    if (n.name != nullptr && n.number == number) return true;
  return false;
}

const char* RefusedCallName(long number) {
  FillTable();
  for (const Named& n : refused_table)
    if (n.name != nullptr && n.number == number) return n.name;
  return "a refused system call";
}
