// The match driver: the order of everything the referee does, from reading
// the command line to the last PsDone.
#pragma once

#include <string>
#include <vector>

#include "exit_status.h"
#include "referee.h"

// Plays the match between the players bound in ref.players, with the
// settings of args; returns the exit status. An input/output failure ends
// the process (output.h).
int RunMatch(Referee& ref, const std::vector<std::string>& args);
