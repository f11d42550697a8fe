#include "claim_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

std::optional<FileId> IdentityOf(const std::string& path) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) return std::nullopt;
  return FileId{st.st_dev, st.st_ino};
}

Result<int> ClaimFile(const std::string& path, const std::vector<FileId>& protected_files) {
  // Read access only to look for the ELF magic; a write-only file is
  // taken without that look.
  bool readable = true;
  int f = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOCTTY, 0644);
  if (f < 0 && errno == EACCES) {
    readable = false;
    f = open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NOCTTY, 0644);
  }
  if (f < 0 && errno == ETXTBSY)
    return Error{path + " is a running program; it is not overwritten"};
  if (f < 0) return Error{"cannot create " + path + ": " + std::strerror(errno)};

  // Nothing was written to the file refused: the close has nothing to lose.
  auto refuse = [&](const std::string& why) {
    close(f);
    return Result<int>(Error{why});
  };
  while (flock(f, LOCK_EX | LOCK_NB) != 0) {
    if (errno == EINTR) continue;
    if (errno == EWOULDBLOCK) return refuse(path + " is in use by another match");
    break;  // a file system without locks: go on unlocked
  }
  struct stat st {};
  if (fstat(f, &st) != 0) return refuse("cannot examine " + path + ": " + std::strerror(errno));
  for (const FileId& id : protected_files)
    if (id.dev == st.st_dev && id.ino == st.st_ino)
      return refuse(path + " is the referee or a player library; it is not overwritten");
  if (S_ISREG(st.st_mode)) {
    if (readable) {
      char magic[4] = {};
      ssize_t n;
      while ((n = pread(f, magic, sizeof magic, 0)) < 0 && errno == EINTR) {
      }
      if (n == 4 && std::memcmp(magic,
                                "\x7f"
                                "ELF",
                                4) == 0)
        return refuse(path + " is a program or library (an ELF file); it is not overwritten");
    }
    if (ftruncate(f, 0) != 0) return refuse("cannot empty " + path + ": " + std::strerror(errno));
  }
  return f;
}
