#include "player_binding.h"

#include <dlfcn.h>
#include <elf.h>
#include <fcntl.h>
#include <link.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "call_context.h"

namespace {

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

// The first bytes of an ELF file's header, or false when there are none.
bool ReadElfHeader(const std::string& path, Elf64_Ehdr& header) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  std::memset(&header, 0, sizeof header);
  const ssize_t n = read(fd, &header, sizeof header);
  close(fd);
  return n >= static_cast<ssize_t>(EI_NIDENT + 4) &&
         std::memcmp(header.e_ident, ELFMAG, SELFMAG) == 0;
}

const char* MachineName(int machine) {
  switch (machine) {
    case EM_386:
      return "x86 (32-bit)";
    case EM_X86_64:
      return "x86-64";
    case EM_AARCH64:
      return "AArch64";
    case EM_ARM:
      return "ARM";
    case EM_RISCV:
      return "RISC-V";
    case EM_PPC64:
      return "PowerPC 64";
    case EM_S390:
      return "S/390";
  }
  return nullptr;
}

std::string Machine(const Elf64_Ehdr& h) {
  const char* name = MachineName(h.e_machine);
  std::string text = name != nullptr ? name : "machine " + std::to_string(h.e_machine);
  text += h.e_ident[EI_CLASS] == ELFCLASS32 ? ", 32-bit" : ", 64-bit";
  return text;
}

// Copies the library at source to a fresh file in $TMPDIR (or /tmp), loads
// it, and removes the file at once: the loaded library stays mapped, and
// nothing is left behind however the referee ends.
std::optional<Error> LoadPrivateCopy(const std::string& source, const std::string& file,
                                      void*& handle) {
  const char* tmp = getenv("TMPDIR");
  const std::string folder = tmp != nullptr && tmp[0] != '\0' ? tmp : "/tmp";
  std::string path = folder + "/PsPlayer2-XXXXXX.so";
  const int out = mkstemps(path.data(), 3);
  if (out < 0)
    return Error{"pitsow: " + file + ": cannot create a private copy in " + folder + ": " +
                 std::strerror(errno)};
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
  const int copyErrno = errno;
  if (in >= 0) close(in);
  if (close(out) != 0) ok = false;
  if (!ok) {
    unlink(path.c_str());
    return Error{"pitsow: " + file + ": cannot copy it to " + path + ": " +
                 std::strerror(copyErrno)};
  }
  handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  const std::string why = handle == nullptr ? DlError() : "";
  unlink(path.c_str());
  if (handle == nullptr)
    return Error{"pitsow: " + file + ": cannot load its private copy " + path + ": " + why +
                 " (the folder in $TMPDIR must allow executables)"};
  return std::nullopt;
}

std::optional<Error> Resolve(void* handle, const std::string& file, PlayerProcs& procs) {
  struct Slot {
    const char* symbol;
    void** slot;
  };
  const Slot slots[] = {
      {"PsInit", reinterpret_cast<void**>(&procs.Init)},
      {"PsGetTurn", reinterpret_cast<void**>(&procs.GetTurn)},
      {"PsOppTurn", reinterpret_cast<void**>(&procs.OppTurn)},
      {"PsEndRound", reinterpret_cast<void**>(&procs.EndRound)},
      {"PsDone", reinterpret_cast<void**>(&procs.Done)},
  };
  for (const Slot& s : slots) {
    dlerror();
    *s.slot = dlsym(handle, s.symbol);
    if (*s.slot == nullptr)
      return Error{"pitsow: " + file + ": entry point " + s.symbol + " missing: " + DlError()};
  }
  return std::nullopt;
}

// Whether a file that is there can be bound at all: a dangling link, a
// folder or an unreadable file is an error of its own, never a reason to
// look elsewhere.
std::optional<Error> CheckUsable(const std::string& path) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) {
    char target[4096];
    const ssize_t n = readlink(path.c_str(), target, sizeof target - 1);
    if (n > 0)
      return Error{"pitsow: " + path + " is a symbolic link to " +
                   std::string(target, static_cast<size_t>(n)) + ", which does not exist"};
    return Error{"pitsow: cannot use player library " + path + ": " + std::strerror(errno)};
  }
  if (S_ISDIR(st.st_mode)) return Error{"pitsow: " + path + " is a folder, not a player library"};
  if (access(path.c_str(), R_OK) != 0)
    return Error{"pitsow: cannot read player library " + path + ": " + std::strerror(errno)};
  return std::nullopt;
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

std::string DiagnoseLibrary(const std::string& path) {
  Elf64_Ehdr lib{}, self{};
  struct stat st {};
  if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return "";
  if (!ReadElfHeader(path, lib)) return path + " is not an ELF file";
  if (!ReadElfHeader("/proc/self/exe", self)) return "";
  if (lib.e_ident[EI_CLASS] != self.e_ident[EI_CLASS] || lib.e_machine != self.e_machine)
    return path + " is built for " + Machine(lib) + ", the referee for " + Machine(self);
  if (lib.e_type != ET_DYN) return path + " is not a shared library";
  return "";
}

std::optional<Error> BindPlayers(const std::string& exeDir, Referee& ref) {
  void* handles[3] = {nullptr, nullptr, nullptr};
  for (int n = 1; n <= 2; ++n) {
    PlayerSource& source = ref.sources[n];
    std::string file = source.file;
    if (file.empty()) {
      const std::string beside = exeDir + "/" + PlayerFileName(n);
      struct stat st {};
      file = lstat(beside.c_str(), &st) == 0 ? beside : PlayerFileName(n);
    }
    // A name with a slash is opened as that file; a bare name goes through
    // the loader's search path.
    const bool named = file.find('/') != std::string::npos;
    if (named) {
      if (auto error = CheckUsable(file)) return error;
    }
    void* handle = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
      std::string text = "pitsow: cannot load player library " + file + ": " + DlError();
      if (named) {
        const std::string what = DiagnoseLibrary(file);
        if (!what.empty()) text += " (" + what + ")";
      }
      return Error{text};
    }
    source.path = LoadedPath(handle, file);
    // The loader hands out one instance per file, whatever name it is
    // opened by; player 2 then gets an instance of its own from a copy.
    if (n == 2 && handle == handles[1]) {
      dlclose(handle);
      if (auto error = LoadPrivateCopy(LoadedPath(handles[1], file), file, handle)) return error;
    }
    handles[n] = handle;
    source.shown = source.file.empty() ? PlayerFileName(n) : source.file;
    SetPlayerFile(n, source.shown);
    if (auto error = Resolve(handle, file, ref.players[n])) return error;
  }
  return std::nullopt;
}
