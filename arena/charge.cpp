#include "charge.h"

#include <sys/statvfs.h>

#include <algorithm>
#include <filesystem>

#include "exit_status.h"

namespace fs = std::filesystem;

int64_t FolderBytes(const std::string& path) {
  std::error_code ec;
  int64_t bytes = 0;
  fs::recursive_directory_iterator it(path, fs::directory_options::skip_permission_denied, ec);
  for (; !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
    std::error_code size_ec;
    if (it->is_regular_file(size_ec)) {
      const uintmax_t n = it->file_size(size_ec);
      if (!size_ec) bytes += static_cast<int64_t>(n);
    }
  }
  return bytes;
}

int64_t FreeBytes(const std::string& path) {
  struct statvfs st {};
  if (statvfs(path.c_str(), &st) != 0) return -1;
  return static_cast<int64_t>(st.f_bavail) * static_cast<int64_t>(st.f_frsize);
}

namespace {

std::string Mib(int64_t bytes) { return std::to_string(bytes >> 20) + " MiB"; }

// A player folder's share of the disk of path: kFolderShareBytes, or an
// eighth of a smaller disk.
int64_t FolderShare(const std::string& path) {
  struct statvfs st {};
  if (statvfs(path.c_str(), &st) != 0) return kFolderShareBytes;
  const int64_t eighth = static_cast<int64_t>(st.f_blocks) * static_cast<int64_t>(st.f_frsize) / 8;
  return std::min(kFolderShareBytes, eighth);
}

// The referee's number of the player whose folder holds the most, when it
// holds more than its share; 0 for none.
int FolderFiller(const std::string& run_dir, int64_t& bytes) {
  int who = 0;
  bytes = 0;
  const int64_t share = FolderShare(run_dir);
  for (int n = 1; n <= 2; ++n) {
    const int64_t b = FolderBytes(run_dir + "/player" + std::to_string(n));
    if (b > share && b > bytes) who = n, bytes = b;
  }
  return who;
}

}  // namespace

void EmptyFullFolders(const std::string& run_dir) {
  int64_t bytes = 0;
  std::error_code ec;
  while (const int n = FolderFiller(run_dir, bytes))
    if (!fs::remove_all(run_dir + "/player" + std::to_string(n), ec)) break;
}

bool ChargeFullFolder(RefereeRun& filler, const RefereeRun& failed, Bookkeeper& book,
                      const std::string& out_dir, int status) {
  const std::string dir = out_dir + "/" + filler.Folder();
  int64_t bytes = 0;
  const int n = FolderFiller(dir, bytes);
  if (n == 0) return false;
  std::error_code ec;
  // A folder that cannot be emptied leaves the disk full: the check of the
  // free room then stops the tournament as the machine's failure.
  fs::remove_all(dir + "/player" + std::to_string(n), ec);
  const std::string what = &filler == &failed ? "its referee" : "referee run " + failed.Folder();
  const std::string ended =
      status >= 0 ? " ended with status " + std::to_string(status) : " was stopped";
  book.ChargeFault(filler, {{"round", nullptr},
                            {"player", n},
                            {"kind", "disk"},
                            {"report", "pitsow-arena: player " + std::to_string(n) +
                                           " filled its " + "folder with " + Mib(bytes) + "; " +
                                           what + " ended with status " + std::to_string(status)}});
  book.RunSettled();
  return true;
}

bool ChargeFailedRun(RefereeRun& run, std::vector<RefereeRun>& running, Bookkeeper& book,
                     const std::string& out_dir, int status) {
  // Runs at once share the disk: a player of another run may have filled it.
  for (RefereeRun& other : running)
    if (&other != &run && !other.Exited() && ChargeFullFolder(other, run, book, out_dir, status))
      return true;
  const int64_t free = FreeBytes(out_dir);
  if (free >= 0 && free < kLeastFreeBytes) {
    book.Fail({"the disk of " + out_dir + " is full (" + std::to_string(free >> 10) +
                   " KiB free): the machine's failure, not a player's; the tournament stops",
               kExitIoError});
    return false;
  }
  if (const int uncharged = book.RunUncharged(); uncharged >= kUnchargedInARow)
    book.Fail({std::to_string(uncharged) + " referee runs in a row ended with no " +
                   "player to charge, the last " + out_dir + "/" + run.Folder() + " with status " +
                   std::to_string(status) + " (see its stderr.txt): the machine's failure",
               kExitIoError});
  return false;
}
