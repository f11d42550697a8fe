// Giving up every capability for good: root stays the owner of its files
// but loses every power over the system; Landlock and the system call
// filter then decide what it may touch.
#include <linux/capability.h>
#include <linux/securebits.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "sandbox.h"

namespace {

// No capability held and none to be had: the state a room starts its host
// in (bubblewrap's --cap-drop ALL), in which securebits can no longer be set.
bool HoldsNone() {
  __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
  __user_cap_data_struct now[2] = {};
  if (syscall(SYS_capget, &header, now) != 0) return false;
  for (const auto& d : now)
    if (d.effective != 0 || d.permitted != 0 || d.inheritable != 0) return false;
  for (int cap = 0; cap <= CAP_LAST_CAP; ++cap)
    if (prctl(PR_CAPBSET_READ, cap, 0, 0, 0) == 1) return false;
  return true;
}

Error Refused(const char* step) {
  return Error{std::string("give up every capability: ") + step + ": " + std::strerror(errno)};
}

}  // namespace

std::optional<Error> DropCapabilities() {
  if (HoldsNone()) return std::nullopt;
  // Nothing regains a capability: not a change of user, not root's exec.
  const unsigned long locked = SECBIT_NOROOT | SECBIT_NOROOT_LOCKED | SECBIT_NO_SETUID_FIXUP |
                               SECBIT_NO_SETUID_FIXUP_LOCKED | SECBIT_KEEP_CAPS_LOCKED |
                               SECBIT_NO_CAP_AMBIENT_RAISE | SECBIT_NO_CAP_AMBIENT_RAISE_LOCKED;
  // Without root's powers (an ordinary user) there is nothing to lock or drop.
  const bool root = geteuid() == 0;
  if (root && prctl(PR_SET_SECUREBITS, locked, 0, 0, 0) != 0) return Refused("securebits");
  for (int cap = 0; root && cap <= CAP_LAST_CAP; ++cap)
    if (prctl(PR_CAPBSET_READ, cap, 0, 0, 0) == 1 && prctl(PR_CAPBSET_DROP, cap, 0, 0, 0) != 0)
      return Refused("the bounding set");
  if (prctl(PR_CAP_AMBIENT, PR_CAP_AMBIENT_CLEAR_ALL, 0, 0, 0) != 0) return Refused("ambient");
  __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
  __user_cap_data_struct none[2] = {};
  if (syscall(SYS_capset, &header, none) != 0) return Refused("capset");
  __user_cap_data_struct now[2] = {};
  if (syscall(SYS_capget, &header, now) != 0) return Refused("capget");
  if (now[0].effective != 0 || now[0].permitted != 0 || now[1].effective != 0 ||
      now[1].permitted != 0)
    return Error{"give up every capability: some are still held"};
  return std::nullopt;
}
