// What the arena saw of the machine it ran on, so that a reader can tell
// a busy machine's results: the cores, the referee runs at once, the load
// average at the start and at the end, and the share of the machine's CPU
// time that went to other work (neither the arena nor its referee runs) or
// was stolen by a hypervisor while the tournament ran.
#pragma once

#include <string>

#include "records.h"

// The cores this process may run on.
int UsableCores();

struct MachineSample {
  double load = -1;            // one-minute load average; -1 unknown
  double busy = 0, total = 0;  // all CPUs' busy and total time, seconds (/proc/stat)
  double steal = 0;            // of it, stolen by the hypervisor
  double ours = 0;             // CPU of this process and its reaped descendants
};

MachineSample SampleMachine();

struct MachineLoad {
  int cores = 1;
  int concurrency = 1;
  MachineSample start, end;
};

// The results line ("type": "machine").
Json MachineJson(const MachineLoad& m);
// The verdict's line about the machine and the time limits.
std::string MachineText(const MachineLoad& m, const TournamentSettings& s);
