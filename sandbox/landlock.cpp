#include "landlock.h"

#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstdint>

namespace {

// The kernel's structures, as of its ABI 6.
struct RulesetAttr {
  uint64_t handled_access_fs;
  uint64_t handled_access_net;
  uint64_t scoped;
};

struct PathBeneathAttr {
  uint64_t allowed_access;
  int32_t parent_fd;
} __attribute__((packed));

constexpr uint32_t kCreateRulesetVersion = 1;
constexpr int kRulePathBeneath = 1;

constexpr uint64_t kExecute = 1ULL << 0;
constexpr uint64_t kWriteFile = 1ULL << 1;
constexpr uint64_t kReadFile = 1ULL << 2;
constexpr uint64_t kReadDir = 1ULL << 3;
constexpr uint64_t kTruncate = 1ULL << 14;
// Every file access the kernel knows by ABI version: 1 has bits 0-12,
// 2 adds linking across folders (13), 3 truncation (14), 5 device ioctls (15).
uint64_t HandledFs(int abi) {
  if (abi >= 5) return (1ULL << 16) - 1;
  if (abi >= 3) return (1ULL << 15) - 1;
  if (abi >= 2) return (1ULL << 14) - 1;
  return (1ULL << 13) - 1;
}
// Files only take these; folders take every access.
constexpr uint64_t kFileAccess = kExecute | kWriteFile | kReadFile | kTruncate | (1ULL << 15);

constexpr uint64_t kBindTcp = 1ULL << 0;
constexpr uint64_t kConnectTcp = 1ULL << 1;
constexpr uint64_t kScopeAbstractUnix = 1ULL << 0;
constexpr uint64_t kScopeSignal = 1ULL << 1;

std::optional<Error> AddRule(int ruleset, const std::string& path, uint64_t access) {
  const int fd = open(path.c_str(), O_PATH | O_CLOEXEC);
  if (fd < 0) return std::nullopt;  // nothing there to allow
  struct stat st {};
  if (fstat(fd, &st) == 0 && !S_ISDIR(st.st_mode)) access &= kFileAccess;
  PathBeneathAttr rule{access, fd};
  const long r = syscall(SYS_landlock_add_rule, ruleset, kRulePathBeneath, &rule, 0);
  const int err = errno;
  close(fd);
  if (r != 0) return Error{"cannot allow " + path + " to the player: " + strerror(err)};
  return std::nullopt;
}

}  // namespace

int LandlockAbi() {
  const long abi = syscall(SYS_landlock_create_ruleset, nullptr, 0, kCreateRulesetVersion);
  return abi < 0 ? 0 : static_cast<int>(abi);
}

std::optional<Error> RestrictFiles(const FileRules& rules) {
  const int abi = LandlockAbi();
  if (abi < 6) return Error{"Landlock ABI 6 or later is missing"};
  const uint64_t all = HandledFs(abi);
  const RulesetAttr attr{all, kBindTcp | kConnectTcp, kScopeAbstractUnix | kScopeSignal};
  const int ruleset = static_cast<int>(syscall(SYS_landlock_create_ruleset, &attr, sizeof attr, 0));
  if (ruleset < 0)
    return Error{std::string("cannot create a Landlock ruleset: ") + strerror(errno)};
  std::optional<Error> error;
  for (const std::string& path : rules.read)
    if (!error) error = AddRule(ruleset, path, kExecute | kReadFile | kReadDir);
  for (const std::string& path : rules.write)
    if (!error) error = AddRule(ruleset, path, all);
  if (!error && syscall(SYS_landlock_restrict_self, ruleset, 0) != 0)
    error = Error{std::string("cannot apply the Landlock ruleset: ") + strerror(errno)};
  close(ruleset);
  return error;
}
