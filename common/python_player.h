// A Python player: a module NAME.py played through the Python shim, the
// player library that embeds CPython (python/player_shim.h). The referee and
// pitsow-host bind it like any player library, then tell the shim which
// module to play before PsInit.
#pragma once

#include <optional>
#include <string>

#include "error.h"

// Whether file names a Python player: its name ends in ".py".
bool IsPythonPlayer(const std::string& file);

// Loads the shim from shimDir (empty: the running program's folder) and
// has it import module. On success handle
// is the shim's, whose five entry points play the module; on failure the
// sentence naming module and what is wrong, e.g. "bot.py: function done
// missing" (the traceback of an import that raised is on stderr).
std::optional<Error> OpenPythonPlayer(const std::string& shimDir, const std::string& module,
                                      void*& handle);
