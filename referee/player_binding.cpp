#include "player_binding.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <link.h>
#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

// The private copy made for player 2 when both names are one file. It is
// removed when the process ends, also on the usual termination signals.
char PrivateCopy[4096];

void RemovePrivateCopy() {
  if (PrivateCopy[0] != '\0') unlink(PrivateCopy);
  PrivateCopy[0] = '\0';
}

void RemoveAndReraise(int sig) {
  RemovePrivateCopy();
  signal(sig, SIG_DFL);
  raise(sig);
}

std::string DlError() {
  const char* e = dlerror();
  return e != nullptr ? e : "unknown error";
}

std::string LoadedPath(void* handle, const std::string& fallback) {
  link_map* map = nullptr;
  if (dlinfo(handle, RTLD_DI_LINKMAP, &map) == 0 && map != nullptr && map->l_name != nullptr &&
      map->l_name[0] != '\0')
    return map->l_name;
  return fallback;
}

// Copies the library at source to a fresh file in $TMPDIR (or /tmp) and
// returns its path, or an empty string and the reason in error.
std::string CopyToPrivateFile(const std::string& source, std::string& error) {
  const char* tmp = getenv("TMPDIR");
  std::string path =
      std::string(tmp != nullptr && tmp[0] != '\0' ? tmp : "/tmp") + "/PsPlayer2-XXXXXX.so";
  if (path.size() >= sizeof PrivateCopy) {
    error = "temporary folder name too long";
    return "";
  }
  const int out = mkstemps(path.data(), 3);
  if (out < 0) {
    error = "cannot create a private copy in " + path + ": " + std::strerror(errno);
    return "";
  }
  std::memcpy(PrivateCopy, path.c_str(), path.size() + 1);
  const int in = open(source.c_str(), O_RDONLY | O_CLOEXEC);
  bool ok = in >= 0;
  char buf[1 << 16];
  while (ok) {
    const ssize_t n = read(in, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ok = n == 0;
      break;
    }
    for (ssize_t done = 0; ok && done < n;) {
      const ssize_t w = write(out, buf + done, static_cast<size_t>(n - done));
      if (w < 0 && errno == EINTR) continue;
      ok = w > 0;
      if (ok) done += w;
    }
  }
  if (!ok) error = "cannot copy " + source + " to " + path + ": " + std::strerror(errno);
  if (in >= 0) close(in);
  if (close(out) != 0 && ok) {
    ok = false;
    error = "cannot copy " + source + " to " + path + ": " + std::strerror(errno);
  }
  if (!ok) {
    RemovePrivateCopy();
    return "";
  }
  return path;
}

std::string Resolve(void* handle, const std::string& file, PlayerProcs& procs) {
  struct Entry {
    const char* symbol;
    void** slot;
  };
  const Entry entries[] = {
      {"PsInit", reinterpret_cast<void**>(&procs.Init)},
      {"PsGetTurn", reinterpret_cast<void**>(&procs.GetTurn)},
      {"PsOppTurn", reinterpret_cast<void**>(&procs.OppTurn)},
      {"PsEndRound", reinterpret_cast<void**>(&procs.EndRound)},
      {"PsDone", reinterpret_cast<void**>(&procs.Done)},
  };
  for (const Entry& e : entries) {
    dlerror();
    *e.slot = dlsym(handle, e.symbol);
    if (*e.slot == nullptr)
      return "pitsow: " + file + ": entry point " + e.symbol + " missing: " + DlError();
  }
  return "";
}

}  // namespace

std::string PlayerFileName(int n) { return "PsPlayer" + std::to_string(n) + ".so"; }

std::string ExecutableDir() {
  char buf[4096];
  const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return ".";
  std::string path(buf, static_cast<size_t>(n));
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? "." : path.substr(0, slash == 0 ? 1 : slash);
}

std::string BindPlayers(const std::string& exeDir, PlayerProcs procs[3]) {
  void* handles[3] = {nullptr, nullptr, nullptr};
  for (int n = 1; n <= 2; ++n) {
    const std::string name = PlayerFileName(n);
    const std::string beside = exeDir + "/" + name;
    // A name with a slash is opened as that file; a bare name goes through
    // the loader's search path.
    const std::string file = access(beside.c_str(), F_OK) == 0 ? beside : name;
    void* handle = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) return "pitsow: cannot load player library " + file + ": " + DlError();

    // The loader hands out one instance per file, whatever name it is
    // opened by; player 2 then gets an instance of its own from a copy.
    if (n == 2 && handle == handles[1]) {
      dlclose(handle);
      std::string error;
      const std::string original = LoadedPath(handles[1], file);
      const std::string copy = CopyToPrivateFile(original, error);
      if (copy.empty()) return "pitsow: " + file + ": " + error;
      atexit(RemovePrivateCopy);
      for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) {
        struct sigaction old {};
        if (sigaction(sig, nullptr, &old) == 0 && old.sa_handler == SIG_DFL)
          signal(sig, RemoveAndReraise);
      }
      handle = dlopen(copy.c_str(), RTLD_NOW | RTLD_LOCAL);
      if (handle == nullptr)
        return "pitsow: cannot load private copy of " + file + ": " + DlError();
    }
    handles[n] = handle;
    const std::string error = Resolve(handle, file, procs[n]);
    if (!error.empty()) return error;
  }
  return "";
}
