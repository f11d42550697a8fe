#include "python_player.h"

#include <dlfcn.h>
#include <unistd.h>

#include "player_procs.h"
#include "player_shim.h"
#include "program_folder.h"

bool IsPythonPlayer(const std::string& file) {
  return file.size() > 3 && file.compare(file.size() - 3, 3, ".py") == 0;
}

std::optional<Error> OpenPythonPlayer(const std::string& shimDir, const std::string& module,
                                      void*& handle) {
  const std::string shim = (shimDir.empty() ? ProgramFolder() : shimDir) + "/" + PS_PYTHON_SHIM;
  handle = dlopen(shim.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr)
    return Error{module + ": cannot load the Python player shim " + shim + ": " + DlError()};
  dlerror();
  const auto load = reinterpret_cast<PsPythonLoadProc>(dlsym(handle, "PsPythonLoad"));
  if (load == nullptr) return Error{module + ": " + shim + " has no PsPythonLoad: " + DlError()};
  char reason[512] = "";
  if (load(module.c_str(), reason, sizeof reason) != 0) return Error{module + ": " + reason};
  return std::nullopt;
}
