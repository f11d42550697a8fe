#include "machine.h"

#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>

namespace {

double Seconds(const timeval& t) {
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) * 1e-6;
}

double CpuOf(int who) {
  rusage u{};
  if (getrusage(who, &u) != 0) return 0;
  return Seconds(u.ru_utime) + Seconds(u.ru_stime);
}

// The first line of /proc/stat: user nice system idle iowait irq softirq steal.
void ReadStat(MachineSample& m) {
  std::ifstream in("/proc/stat");
  std::string cpu;
  double f[8] = {0, 0, 0, 0, 0, 0, 0, 0};
  if (!(in >> cpu) || cpu != "cpu") return;
  for (double& v : f) in >> v;
  const double tick = static_cast<double>(sysconf(_SC_CLK_TCK));
  if (!in || tick <= 0) return;
  double sum = 0;
  for (double v : f) sum += v;
  m.total = sum / tick;
  m.busy = (sum - f[3] - f[4]) / tick;
  m.steal = f[7] / tick;
}

double Share(double part, double whole) { return whole > 0 ? part / whole : 0; }

// Other work's and the hypervisor's shares of the machine's CPU time.
void Shares(const MachineLoad& m, double& others, double& steal) {
  const double total = m.end.total - m.start.total;
  const double ours = m.end.ours - m.start.ours;
  const double stolen = m.end.steal - m.start.steal;
  others = std::max(0.0, Share(m.end.busy - m.start.busy - stolen - ours, total));
  steal = std::max(0.0, Share(stolen, total));
}

}  // namespace

int UsableCores() {
  cpu_set_t set;
  if (sched_getaffinity(0, sizeof set, &set) == 0) return std::max(1, CPU_COUNT(&set));
  return std::max(1L, sysconf(_SC_NPROCESSORS_ONLN));
}

MachineSample SampleMachine() {
  MachineSample m;
  double loads[1];
  if (getloadavg(loads, 1) == 1) m.load = loads[0];
  ReadStat(m);
  m.ours = CpuOf(RUSAGE_SELF) + CpuOf(RUSAGE_CHILDREN);
  return m;
}

Json MachineJson(const MachineLoad& m) {
  double others = 0, steal = 0;
  Shares(m, others, steal);
  return {{"type", "machine"},
          {"cores", m.cores},
          {"concurrency", m.concurrency},
          {"load", {m.start.load, m.end.load}},
          {"others_cpu", others},
          {"steal_cpu", steal}};
}

std::string MachineText(const MachineLoad& m, const TournamentSettings& s) {
  double others = 0, steal = 0;
  Shares(m, others, steal);
  std::string limits;
  if (s.move_time > 0) limits += Fixed(s.move_time, 3) + " s of CPU a move";
  if (!s.time_control.empty())
    limits += (limits.empty() ? "" : ", ") + ("time control " + s.time_control);
  if (limits.empty()) limits = "the referee's";
  if (s.time_margin >= 0) limits += ", margin " + Fixed(s.time_margin, 3) + " s";
  return "Time limits: " + limits + "\nMachine: " + std::to_string(m.cores) + " cores, " +
         std::to_string(m.concurrency) + " referee runs at once; load average " +
         Fixed(m.start.load, 2) + " at the start, " + Fixed(m.end.load, 2) +
         " at the end; other work took " + Fixed(100 * others, 1) +
         "% of the CPU time, the hypervisor " + Fixed(100 * steal, 1) + "%\n";
}
