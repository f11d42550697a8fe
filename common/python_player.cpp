#include "python_player.h"

#include <dlfcn.h>
#include <unistd.h>

#include "player_procs.h"
#include "player_shim.h"

namespace {

std::string ProgramFolder() {
  char path[4096];
  const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
  if (n <= 0) return ".";
  const std::string text(path, static_cast<size_t>(n));
  const size_t slash = text.rfind('/');
  return slash == std::string::npos ? "." : text.substr(0, slash == 0 ? 1 : slash);
}

}  // namespace

bool IsPythonPlayer(const std::string& file) {
  return file.size() > 3 && file.compare(file.size() - 3, 3, ".py") == 0;
}

std::optional<std::string> OpenPythonPlayer(const std::string& shimDir, const std::string& module,
                                            void*& handle) {
  const std::string shim = (shimDir.empty() ? ProgramFolder() : shimDir) + "/" + PS_PYTHON_SHIM;
  handle = dlopen(shim.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr)
    return module + ": cannot load the Python player shim " + shim + ": " + DlError();
  dlerror();
  const auto load = reinterpret_cast<PsPythonLoadProc>(dlsym(handle, "PsPythonLoad"));
  if (load == nullptr) return module + ": " + shim + " has no PsPythonLoad: " + DlError();
  char reason[512] = "";
  if (load(module.c_str(), reason, sizeof reason) != 0) return module + ": " + reason;
  return std::nullopt;
}
