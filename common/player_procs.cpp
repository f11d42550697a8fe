#include "player_procs.h"

#include <dlfcn.h>

std::string DlError() {
  const char* e = dlerror();
  return e != nullptr ? e : "unknown error";
}

Result<PlayerProcs> FindEntryPoints(void* handle, const std::string& file) {
  PlayerProcs procs;
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
      return Error{file + ": entry point " + s.symbol + " missing: " + DlError()};
  }
  return procs;
}
