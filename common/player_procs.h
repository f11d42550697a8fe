// The five entry points of a loaded player library and their lookup, the
// same for the referee, which calls them in its own process, and for
// pitsow-host, which calls them for the referee in a process of its own.
#pragma once

#include <optional>
#include <string>

#include "PsComm.h"
#include "error.h"

struct PlayerProcs {
  PsInitProc Init = nullptr;
  PsGetTurnProc GetTurn = nullptr;
  PsOppTurnProc OppTurn = nullptr;
  PsEndRoundProc EndRound = nullptr;
  PsDoneProc Done = nullptr;
};

// The loader's reason for its last failure.
std::string DlError();

// Looks the five up in a dlopen handle of file; on failure the sentence
// naming file and the first missing one, e.g. "X.so: entry point PsDone
// missing: <the loader's reason>".
Result<PlayerProcs> FindEntryPoints(void* handle, const std::string& file);
