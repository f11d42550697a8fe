#include "player_procs.h"

#include <dlfcn.h>

std::optional<std::string> FindEntryPoints(void* handle, const std::string& file,
                                           PlayerProcs& procs) {
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
    if (*s.slot == nullptr) {
      const char* why = dlerror();
      return file + ": entry point " + s.symbol +
             " missing: " + (why != nullptr ? why : "unknown error");
    }
  }
  return std::nullopt;
}
