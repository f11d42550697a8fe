// The CPU time of a player's process, read by the referee from the
// kernel's accounting (the process's CPU clock: all its threads), never
// from anything the player could write. One reading is a system call, so
// a call's CPU time is read only where it could matter: a caller keeps a
// mark (the last reading and when it was taken), and as long as the wall
// time since the mark times the machine's CPUs stays under a threshold,
// the process cannot have used more than that, and the reading waits.
#pragma once

#include <sys/types.h>
#include <time.h>

struct CpuClock {
  clockid_t id = 0;
  bool open = false;     // false: no CPU clock; the wall time stands in
  int cpus = 1;          // the most CPUs the process can run on at once
  double cpu_mark = 0;   // the CPU seconds at the last reading
  double wall_mark = 0;  // MonotonicSeconds() of the last reading
};

// The CPU clock of process pid (a child of the caller, not yet reaped),
// marked at its start (0 s of CPU at wall time now).
CpuClock OpenCpuClock(pid_t pid, double now);

// The process's CPU seconds so far; the last mark when it cannot be read
// (the process is gone).
double ReadCpuClock(const CpuClock& clock);

// The most CPU the process can have used since the mark, by wall time now.
inline double CpuBound(const CpuClock& clock, double now) {
  return (now - clock.wall_mark) * clock.cpus;
}
