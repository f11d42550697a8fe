// What the kernel must allow for a sandbox, tried once per process.
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "exit_status.h"
#include "landlock.h"
#include "room.h"
#include "sandbox.h"
#include "syscall_filter.h"

namespace {

// A host gives up every capability: tried in a child, which can then do
// nothing else. The child is a copy of this process that only answers
// with its status, so it ends with _exit (no handler or buffer of the
// parent's runs twice).
std::optional<Error> CapabilityDropMissing() {
  const pid_t pid = fork();
  if (pid == 0) _exit(DropCapabilities() ? kExitProbeFailed : kExitProbeWorked);
  int status = 0;
  if (pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status) &&
      WEXITSTATUS(status) == kExitProbeWorked)
    return std::nullopt;
  return Error{"sandbox: cannot give up every capability (CAP_SETPCAP missing)",
               kExitPlayerMissing};
}

std::optional<Error> Probe() {
  const int abi = LandlockAbi();
  if (abi < 6)
    return Error{"sandbox: the kernel's Landlock ABI 6 or later is missing (this kernel offers " +
                     (abi == 0 ? std::string("none") : "ABI " + std::to_string(abi)) + ")",
                 kExitPlayerMissing};
  if (prctl(PR_GET_SECCOMP) < 0 || !SyscallFilterWorks())
    return Error{"sandbox: seccomp system call filters are missing (cannot install one)",
                 kExitPlayerMissing};
  if (Result<std::string> room = RoomProgram(); !room) return room.error();
  return CapabilityDropMissing();
}

}  // namespace

std::optional<Error> SandboxMissing() {
  static const std::optional<Error> kMissing = Probe();
  return kMissing;
}

void ProtectClient() { prctl(PR_SET_DUMPABLE, 0, 0, 0, 0); }
