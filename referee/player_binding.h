// Binding the two player libraries with their five entry points each, as
// two separate instances even when both names lead to one file.
#pragma once

#include <optional>
#include <string>

#include "error.h"
#include "exit_status.h"
#include "referee.h"

// The library file name bound for player n when none is named.
std::string PlayerFileName(int n);

// Binds players 1 and 2 into seats.players and setup.sources (part of the
// setup still being built). The file of player n is setup.sources[n].file
// when it is not empty: a name with a slash is that file, a bare name goes
// through the loader's search path. Otherwise PsPlayerN.so beside the
// referee (in exe_dir) is bound when it
// is there, usable or not, and else the loader's search path is asked.
// A failure names the file, the symbol where there is one, and what is
// wrong; it means exit status 2.
std::optional<Error> BindPlayers(const std::string& exe_dir, MatchSetup& setup, Seats& seats);

// What is wrong with a file the loader refused although it exists: not a
// shared library, or one built for another machine. Nothing when nothing
// is found.
std::optional<Error> DiagnoseLibrary(const std::string& path);
