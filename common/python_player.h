// A Python player: a module NAME.py played through the Python shim, the
// player library that embeds CPython (python/player_shim.h; its load call is
// python_shim.h). The referee and
// pitsow-host bind it like any player library, then tell the shim which
// module to play before PsInit.
#pragma once

#include <optional>
#include <string>

#include "error.h"

// Whether file names a Python player: its name ends in ".py".
bool IsPythonPlayer(const std::string& file);

// Loads the shim from shim_dir (empty: the running program's folder) and
// has it import module. Gives the shim's dlopen handle, whose five entry
// points play the module; on failure the sentence naming module and what
// is wrong, e.g. "bot.py: function done missing" (the traceback of an
// import that raised is on stderr).
Result<void*> OpenPythonPlayer(const std::string& shim_dir, const std::string& module);
