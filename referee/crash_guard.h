// What the referee does when a player it runs in its own process fails
// there: a fatal signal, a write past what it was handed, or a call of
// exit(). The fault is reported in one line naming the player, its file,
// the call, the round and the turn, on stderr and at the end of the log;
// then the signal is raised again with its previous action (the shell, a
// core dump, a debugger or a sanitizer see the original signal), and an
// exit inside a call ends the process with status 4.
#pragma once

#include <cstdint>
#include <optional>

#include "PsComm.h"
#include "error.h"

// Alternate stack, handlers for SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT
// and SIGSYS, the exit handler and the guarded memory. Call once, early in
// main; what could not be installed comes back (exit status 3), as a
// player's fault would then go unreported. Only the alternate stack may
// fail: the guard then goes without it (see crash_guard.cpp).
std::optional<Error> InstallCrashGuard();

// The log's descriptor, to which reports are appended (-1: none), and
// whether it is the console, where a progress line may be unfinished.
void SetCrashLog(int fd, bool is_console);

// What a player is handed lies in pages of its own, each followed by an
// inaccessible page, so that a write past the end faults at once and is
// told apart from any other fault. Mapped by InstallCrashGuard, or else
// on first use (with plain memory, unguarded, should that map fail).
struct GuardedMemory {
  PsInfo* info[3];  // [1] and [2]: each record ends at its page's end
  int32_t* rows;    // MyHoles at rows, OppHoles at rows + 6, ending at a page's end
};
const GuardedMemory& Guarded();
