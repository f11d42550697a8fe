#include "cpu_clock.h"

#include <unistd.h>

namespace {

double ToSeconds(const timespec& ts) {
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

}  // namespace

CpuClock OpenCpuClock(pid_t pid, double now) {
  CpuClock c;
  c.open = clock_getcpuclockid(pid, &c.id) == 0;
  // Configured, not online: a CPU brought up later still counts.
  const long cpus = sysconf(_SC_NPROCESSORS_CONF);
  c.cpus = cpus > 0 ? static_cast<int>(cpus) : 1;
  c.wall_mark = now;
  return c;
}

double ReadCpuClock(const CpuClock& clock) {
  timespec ts{};
  if (!clock.open || clock_gettime(clock.id, &ts) != 0) return clock.cpu_mark;
  return ToSeconds(ts);
}
