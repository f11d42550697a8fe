#include "python_player.h"

#include <dlfcn.h>
#include <unistd.h>

#include "player_procs.h"
#include "program_folder.h"
#include "python_shim.h"

bool IsPythonPlayer(const std::string& file) {
  return file.size() > 3 && file.compare(file.size() - 3, 3, ".py") == 0;
}

Result<void*> OpenPythonPlayer(const std::string& shim_dir, const std::string& module) {
  const std::string shim = (shim_dir.empty() ? ProgramFolder() : shim_dir) + "/" + PS_PYTHON_SHIM;
  void* handle = dlopen(shim.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr)
    return Error{module + ": cannot load the Python player shim " + shim + ": " + DlError()};
  dlerror();
  const auto load = reinterpret_cast<PsPythonLoadProc>(dlsym(handle, "PsPythonLoad"));
  if (load == nullptr) return Error{module + ": " + shim + " has no PsPythonLoad: " + DlError()};
  char reason[512] = "";
  if (load(module.c_str(), reason, sizeof reason) != 0) return Error{module + ": " + reason};
  return handle;
}
