// The cost of one isolated player call: HostGetTurn against Tossel in
// pitsow-host, beside the floor (a bare shared-memory round trip between
// two processes with the same wait, from shm_floor) and beside the same
// PsGetTurn called in-process; then two hosts called in a match's order
// (GetTurn of one, OppTurn of the other) beside the floor of three
// processes passing calls in that order.
//
//   host_bench <folder with pitsow-host, shm_floor and Tossel.so>
#include <dlfcn.h>
#include <stdio.h>
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "clock.h"
#include "host_client.h"
#include "ns_per_call.h"

namespace {

using namespace bench_timing;

// The floor for `processes` (2: one host; 3: two in a match's order).
PsInfo Info() {
  PsInfo info{};
  info.Size = PS_INFO_SIZE;
  info.MaxVer = PS_INTERFACE_VERSION;
  info.Player = 1;
  info.NumHoles = 6;
  info.NumBones = 4;
  return info;
}

// Median over 40 runs of the microseconds to start a host with Tossel
// loaded (the start's own wait for the load included) and to stop it.
double StartMicros(const std::string& bin, const std::string& tossel) {
  std::vector<double> us;
  for (int r = 0; r < 40; ++r) {
    const double start = Now();
    if (!HostedPlayer::Start({bin + "/pitsow-host", tossel, 1, {}})) std::exit(1);
    us.push_back((Now() - start) * 1e6);
  }
  std::sort(us.begin(), us.end());
  return us[us.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: host_bench <bin folder>\n");
    return 2;
  }
  const std::string bin = argv[1];
  const std::string tossel = bin + "/Tossel.so";
  const HoleRow my = {4, 4, 4, 4, 4, 4}, opp = {4, 4, 4, 4, 4, 4};

  std::vector<HostedPlayer> hp;
  for (int n = 0; n < 2; ++n) {
    Result<HostedPlayer> host = HostedPlayer::Start({bin + "/pitsow-host", tossel, n + 1, {}});
    if (!host) {
      std::fprintf(stderr, "%s\n", host.error().text.c_str());
      return 1;
    }
    hp.push_back(std::move(*host));
    PsInfo info = Info();
    PsBool ok = 0;
    if (hp[n].Init(info, ok) || !ok) {
      std::fprintf(stderr, "Tossel did not start in the host\n");
      return 1;
    }
  }
  int32_t answer = 0;
  const double hosted = NsPerCall([&] {
    for (int i = 0; i < 1000; ++i)
      if (hp[0].GetTurn(my, opp, 0, 0, answer)) std::exit(1);
  });
  // The player's CPU clock: one reading, and the call with a reading after
  // every call (as under a time control) instead of only where it matters.
  volatile double seconds = 0;
  const double reading = NsPerCall([&] {
    for (int i = 0; i < 1000; ++i) seconds = ReadCpuClock(hp[0].Clock());
  });
  const double walls = NsPerCall([&] {
    for (int i = 0; i < 1000; ++i) seconds = MonotonicSeconds() + MonotonicSeconds();
  });
  (void)seconds;
  hp[0].SetExact(true);
  const double exact = NsPerCall([&] {
    for (int i = 0; i < 1000; ++i)
      if (hp[0].GetTurn(my, opp, 0, 0, answer)) std::exit(1);
  });
  hp[0].SetExact(false);
  // A match's order: one player's turn, the other told of it, and back.
  const double match = NsPerCall([&] {
    for (int i = 0; i < 1000; i += 4)
      for (int n = 0; n < 2; ++n)
        if (hp[n].GetTurn(my, opp, 0, 0, answer) || hp[1 - n].OppTurn(answer)) std::exit(1);
  });
  for (HostedPlayer& h : hp) h.Done();
  hp.clear();

  void* lib = dlopen(tossel.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (lib == nullptr) return 1;
  const auto init = reinterpret_cast<PsInitProc>(dlsym(lib, "PsInit"));
  const auto getTurn = reinterpret_cast<PsGetTurnProc>(dlsym(lib, "PsGetTurn"));
  PsInfo info = Info();
  init(&info);
  volatile int32_t sink = 0;
  const double direct = NsPerCall([&] {
    for (int i = 0; i < 1000; ++i) sink = getTurn(my, opp, 0, 0);
  });
  (void)sink;

  const double startUs = StartMicros(bin, tossel);
  const double floor2 = ShmFloor(bin + "/shm_floor", 2), floor3 = ShmFloor(bin + "/shm_floor", 3);
  std::printf("| %-40s | %9s | %5s |\n", "call", "ns/call", "ratio");
  std::printf("|%s|%s|%s|\n", std::string(42, '-').c_str(), std::string(11, '-').c_str(),
              std::string(7, '-').c_str());
  std::printf("| %-40s | %9.0f |       |\n", "floor: 2 processes (C)", floor2);
  std::printf("| %-40s | %9.0f | %5.2f |\n", "HostGetTurn, Tossel in pitsow-host", hosted,
              hosted / floor2);
  std::printf("| %-40s | %9.0f |       |\n", "floor: 3 processes, a match's order (C)", floor3);
  std::printf("| %-40s | %9.0f | %5.2f |\n", "two hosts in a match's order, per call", match,
              match / floor3);
  std::printf("| %-40s | %9.0f |       |\n", "PsGetTurn, Tossel in-process", direct);
  std::printf("| %-40s | %9.0f | %5.2f |\n", "HostGetTurn, CPU clock read every call", exact,
              exact / floor2);
  std::printf("| %-40s | %9.0f | %4.1f%% |\n", "one reading of a host's CPU clock", reading,
              100 * reading / hosted);
  std::printf("| %-40s | %9.0f | %4.1f%% |\n", "two wall-clock readings (every call)", walls,
              100 * walls / hosted);
  std::printf("| %-40s | %9.0f |       |\n", "start and stop a host with Tossel (us)", startUs);
  std::printf(
      "\nMedians of %d runs of %.1f s; ratio: host call / the floor above it; the last two\n"
      "rows: share of the HostGetTurn call. A call reads the CPU clock only when it can\n"
      "have used half the time margin since the last reading.\n",
      kRuns, kRunSeconds);
  return 0;
}
