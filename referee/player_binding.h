// Binding the two player libraries, PsPlayer1.so and PsPlayer2.so, with
// their five entry points each, as two separate instances even when both
// names lead to one file.
#pragma once

#include <string>

#include "exit_status.h"
#include "referee.h"


// The library file name bound for player n.
std::string PlayerFileName(int n);

// Binds players 1 and 2 into procs[1] and procs[2]. Each is looked for in
// exeDir first, then on the loader's search path. Returns an empty string
// on success, otherwise a one-line report naming the file, the symbol where
// there is one, and the reason.
std::string BindPlayers(const std::string& exeDir, PlayerProcs procs[3]);

// The folder that holds the running executable.
std::string ExecutableDir();
