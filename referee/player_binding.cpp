#include "player_binding.h"

#include <dlfcn.h>
#include <elf.h>
#include <fcntl.h>
#include <link.h>
#include <stdlib.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>

#include "call_context.h"
#include "exit_status.h"
#include "host_client.h"
#include "in_process_player.h"
#include "python_player.h"
#include "sandbox.h"

namespace {

std::string LoadedPath(void* handle, const std::string& fallback) {
  link_map* map = nullptr;
  if (dlinfo(handle, RTLD_DI_LINKMAP, &map) == 0 && map != nullptr && map->l_name != nullptr &&
      map->l_name[0] != '\0')
    return map->l_name;
  return fallback;
}

// The first bytes of an ELF file's header, or the Error when there are none.
Result<Elf64_Ehdr> ReadElfHeader(const std::string& path) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return Error{path + ": " + std::strerror(errno)};
  Elf64_Ehdr header{};
  const ssize_t n = read(fd, &header, sizeof header);
  close(fd);
  if (n < static_cast<ssize_t>(EI_NIDENT + 4) || std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0)
    return Error{path + " is not an ELF file"};
  return header;
}

const char* MachineName(int machine) {
  switch (machine) {
    case EM_386:
      return "x86";
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

// Copies all of the file at in to out; the Error says why not (errno's
// text).
std::optional<Error> CopyAll(int in, int out) {
  char buf[1 << 16];
  for (;;) {
    const ssize_t n = read(in, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return Error{std::strerror(errno)};
    if (n == 0) return std::nullopt;
    for (ssize_t done = 0; done < n;) {
      const ssize_t w = write(out, buf + done, static_cast<size_t>(n - done));
      if (w < 0 && errno == EINTR) continue;
      if (w < 0) return Error{std::strerror(errno)};
      if (w == 0) return Error{"nothing was written"};
      done += w;
    }
  }
}

// The private copy lives in memory: an anonymous file opened by the path
// /proc/PID/fd/N, which a debugger attached to the referee can read too
// (it finds the player's symbols there). Nothing is ever written to disk,
// so nothing can be left behind however the referee ends.
Result<void*> LoadMemoryCopy(const std::string& source) {
  const int in = open(source.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return Error{source + ": " + std::strerror(errno)};
  const int copy = memfd_create("PsPlayer2.so", MFD_CLOEXEC);
  std::optional<Error> problem;
  if (copy < 0)
    problem = Error{std::string("no memory file: ") + std::strerror(errno)};
  else
    problem = CopyAll(in, copy);
  close(in);
  if (!problem) {
    const std::string path = "/proc/" + std::to_string(getpid()) + "/fd/" + std::to_string(copy);
    if (void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL))
      return handle;  // the descriptor stays open with the library
    problem = Error{DlError()};
  }
  if (copy >= 0) close(copy);
  return *problem;
}

// Where memory files cannot hold code: a copy in $TMPDIR (or /tmp), loaded
// and removed at once; the loaded library stays mapped.
Result<void*> LoadPrivateCopy(const std::string& source, const std::string& file) {
  // Why the memory file failed is not told: the copy on disk is the way
  // left, and its own failure is the one reported.
  if (Result<void*> in_memory = LoadMemoryCopy(source)) return *in_memory;
  const char* tmp = getenv("TMPDIR");
  const std::string folder = tmp != nullptr && tmp[0] != '\0' ? tmp : "/tmp";
  std::string path = folder + "/PsPlayer2-XXXXXX.so";
  const int out = mkstemps(path.data(), 3);
  if (out < 0)
    return Error{"pitsow: " + file + ": cannot create a private copy in " + folder + ": " +
                 std::strerror(errno)};
  const int in = open(source.c_str(), O_RDONLY | O_CLOEXEC);
  std::optional<Error> problem = in >= 0 ? CopyAll(in, out) : Error{std::strerror(errno)};
  if (in >= 0) close(in);
  if (close(out) != 0 && !problem) problem = Error{std::strerror(errno)};
  if (problem) {
    unlink(path.c_str());
    return Error{"pitsow: " + file + ": cannot copy it to " + path + ": " + problem->text};
  }
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  const std::string why = handle == nullptr ? DlError() : "";
  unlink(path.c_str());
  if (handle == nullptr)
    return Error{"pitsow: " + file + ": cannot load its private copy " + path + ": " + why +
                 " (the folder in $TMPDIR must allow executables)"};
  return handle;
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

std::optional<Error> DiagnoseLibrary(const std::string& path) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
  const Result<Elf64_Ehdr> lib = ReadElfHeader(path);
  if (!lib) return Error{path + " is not an ELF file"};
  const Result<Elf64_Ehdr> self = ReadElfHeader("/proc/self/exe");
  if (!self) return std::nullopt;  // nothing to compare with
  if (lib->e_ident[EI_CLASS] != self->e_ident[EI_CLASS] || lib->e_machine != self->e_machine)
    return Error{path + " is built for " + Machine(*lib) + ", the referee for " + Machine(*self)};
  if (lib->e_type != ET_DYN) return Error{path + " is not a shared library"};
  return std::nullopt;
}

namespace {

// Each player in a host process of its own: two processes are two
// instances, whatever file stands behind them.
std::optional<Error> StartHosts(const std::string& exe_dir, const LongOptions& options,
                                Seats& seats, const std::string files[3]) {
  HostStart start;
  start.host_exe = exe_dir + "/pitsow-host";
  start.limits.call_time = options.call_time;
  start.limits.move_time = options.move_time;
  start.limits.margin_seconds = options.margin_seconds;
  start.limits.memory_mb = options.memory_mb;
  // A time control charges every move: each call's cost is read.
  start.limits.exact = options.time_control.on;
  start.limits.sandbox = options.sandbox;
  if (options.memory_mb > 0) start.limits.room.memory_mb = options.memory_mb;
  start.limits.python_path = options.python_path;
  if (options.sandbox)
    if (const std::optional<Error> missing = SandboxMissing())
      return Error{"pitsow: " + missing->text};
  if (access(start.host_exe.c_str(), X_OK) != 0)
    return Error{"pitsow: cannot run the player host " + start.host_exe + ": " +
                 std::strerror(errno)};
  for (int n = 1; n <= 2; ++n) {
    start.library = files[n];
    start.player = n;
    Result<HostedPlayer> host = HostedPlayer::Start(start);
    if (!host) {
      // A host that started but did not load its library is its player's
      // failure; a host that could not be started at all is the machine's.
      if (host.error().status != kExitIoError) seats.failed_load = n;
      std::string report = "pitsow: " + host.error().text;
      // A Python player's load failure is the shim's own sentence (an
      // import error, a missing function); the file is no ELF file anyway.
      if (files[n].find('/') != std::string::npos && !IsPythonPlayer(files[n])) {
        if (const std::optional<Error> what = DiagnoseLibrary(files[n]))
          report += " (" + what->text + ")";
      }
      seats.players[1].reset();
      return Error{report};
    }
    seats.players[n] = std::make_unique<HostedPlayer>(std::move(*host));
  }
  return std::nullopt;
}

// A bare name goes to the loader, which never looks in the current folder;
// when the file is there, the user most likely meant it.
std::string CurrentFolderHint(const std::string& file) {
  struct stat st {};
  if (stat(file.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return "";
  return " (a bare name is searched by the loader, not in the current folder: write ./" + file +
         " for the file here)";
}

}  // namespace

namespace {

// A Python player in this process: the shim, told which module to play.
Result<PlayerProcs> BindPython(const std::string& exe_dir, const std::string& file,
                               PlayerSource& source) {
  const Result<void*> shim = OpenPythonPlayer(exe_dir, file);
  if (!shim) return Error{"pitsow: " + shim.error().text};
  char resolved[PATH_MAX];
  source.path = realpath(file.c_str(), resolved) != nullptr ? resolved : file;
  Result<PlayerProcs> procs = FindEntryPoints(*shim, file);
  if (!procs) return Error{"pitsow: " + procs.error().text};
  return procs;
}

// A player library in this process; handles[n] keeps the loader's handle,
// so that player 2 can tell when it got player 1's instance.
Result<PlayerProcs> BindLibrary(int n, const std::string& file, bool named, PlayerSource& source,
                                void* handles[3]) {
  void* handle = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    std::string text = "pitsow: cannot load player library " + file + ": " + DlError();
    if (named) {
      if (const std::optional<Error> what = DiagnoseLibrary(file)) text += " (" + what->text + ")";
    } else {
      text += CurrentFolderHint(file);
    }
    return Error{text};
  }
  source.path = LoadedPath(handle, file);
  // The loader hands out one instance per file, whatever name it is
  // opened by; player 2 then gets an instance of its own from a copy.
  if (n == 2 && handle == handles[1]) {
    dlclose(handle);
    Result<void*> copy = LoadPrivateCopy(LoadedPath(handles[1], file), file);
    if (!copy) return copy.error();
    handle = *copy;
  }
  handles[n] = handle;
  Result<PlayerProcs> procs = FindEntryPoints(handle, file);
  if (!procs) return Error{"pitsow: " + procs.error().text};
  return procs;
}

// The file bound for player n: the one named, else PsPlayerN.so beside
// the referee when it is there, else the bare name for the loader.
std::string FileOf(const std::string& exe_dir, const PlayerSource& source, int n) {
  if (!source.file.empty()) return source.file;
  const std::string beside = exe_dir + "/" + PlayerFileName(n);
  struct stat st {};
  return lstat(beside.c_str(), &st) == 0 ? beside : PlayerFileName(n);
}

}  // namespace

std::optional<Error> BindPlayers(const std::string& exe_dir, MatchSetup& setup, Seats& seats) {
  void* handles[3] = {nullptr, nullptr, nullptr};
  std::string files[3];
  for (int n = 1; n <= 2; ++n) {
    PlayerSource& source = setup.sources[n];
    const std::string file = FileOf(exe_dir, source, n);
    // A name with a slash is opened as that file; a bare name goes through
    // the loader's search path. A Python player (NAME.py) is always that
    // file, in the working folder when its name is bare.
    const bool python = IsPythonPlayer(file);
    const bool named = python || file.find('/') != std::string::npos;
    if (named) {
      if (auto error = CheckUsable(file)) return error;
    }
    source.shown = source.file.empty() ? PlayerFileName(n) : source.file;
    SetPlayerFile(n, source.shown);
    if (setup.options.isolate) {
      char resolved[PATH_MAX];
      source.path = named && realpath(file.c_str(), resolved) != nullptr ? resolved : file;
      // A host starts in a folder of its own: a Python player's module is
      // handed over by its absolute path, so that a bare name is the file
      // in the working folder there too.
      files[n] = python ? source.path : file;
      continue;
    }
    Result<PlayerProcs> procs =
        python ? BindPython(exe_dir, file, source) : BindLibrary(n, file, named, source, handles);
    if (!procs) return procs.error();
    seats.players[n] = std::make_unique<InProcessPlayer>(n, *procs);
  }
  if (setup.options.isolate) return StartHosts(exe_dir, setup.options, seats, files);
  return std::nullopt;
}
