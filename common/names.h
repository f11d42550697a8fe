// Names shown to people for things the kernel and the player interface
// number: signals and the five entry points.
#pragma once

#include <string>

// "SIGSEGV" for SIGSEGV; "signal 77" for a number without a name.
std::string SignalName(int sig);

// The five entry points of a player library, in the order of a match.
inline constexpr const char* kEntryNames[5] = {"PsInit", "PsGetTurn", "PsOppTurn", "PsEndRound",
                                               "PsDone"};
