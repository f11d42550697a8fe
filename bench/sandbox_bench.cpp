// What the sandbox costs: one HostGetTurn against Tossel and two hosts in
// a match's order, isolated and sandboxed, beside the bare shared-memory
// floors; and the start of a match's two hosts (start, load, stop), isolated
// and sandboxed, in milliseconds per match.
//
//   sandbox_bench <folder with pitsow-host, shm_floor and Tossel.so>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "host_client.h"
#include "ns_per_call.h"
#include "sandbox.h"

namespace {

using namespace bench_timing;

struct Costs {
  double get_turn = 0;  // ns per HostGetTurn
  double match = 0;     // ns per call, two hosts in a match's order
  double start = 0;     // ms to start and stop a match's two hosts
};

// A match's two hosts with Tossel, started and initialised.
bool Start(std::vector<HostedPlayer>& hp, const std::string& bin, bool sandbox) {
  hp.clear();
  for (int n = 0; n < 2; ++n) {
    HostStart start{bin + "/pitsow-host", bin + "/Tossel.so", n + 1, {}};
    start.limits.sandbox = sandbox;
    Result<HostedPlayer> host = HostedPlayer::Start(start);
    if (!host) {
      std::fprintf(stderr, "%s\n", host.error().text.c_str());
      return false;
    }
    hp.push_back(std::move(*host));
    PsInfo info{};
    info.Size = PS_INFO_SIZE;
    info.MaxVer = PS_INTERFACE_VERSION;
    info.Player = n + 1;
    info.NumHoles = 6;
    info.NumBones = 4;
    PsBool ok = 0;
    if (hp.back().Init(info, ok) || !ok) return false;
  }
  return true;
}

Costs Measure(const std::string& bin, bool sandbox) {
  Costs c;
  std::vector<HostedPlayer> hp;
  if (!Start(hp, bin, sandbox)) std::exit(1);
  const HoleRow my = {4, 4, 4, 4, 4, 4}, opp = {4, 4, 4, 4, 4, 4};
  int32_t answer = 0;
  c.get_turn = NsPerCall([&] {
    for (int i = 0; i < 1000; ++i)
      if (hp[0].GetTurn(my, opp, 0, 0, answer)) std::exit(1);
  });
  c.match = NsPerCall([&] {
    for (int i = 0; i < 1000; i += 4)
      for (int n = 0; n < 2; ++n)
        if (hp[n].GetTurn(my, opp, 0, 0, answer) || hp[1 - n].OppTurn(answer)) std::exit(1);
  });
  hp.clear();  // each host stopped and reaped by its destructor
  constexpr int kStarts = 20;
  const double from = Now();
  for (int i = 0; i < kStarts; ++i) {
    if (!Start(hp, bin, sandbox)) std::exit(1);
    for (HostedPlayer& h : hp) h.Done();
    hp.clear();
  }
  c.start = (Now() - from) / kStarts * 1e3;
  return c;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: sandbox_bench <bin folder>\n");
    return 2;
  }
  const std::string bin = std::filesystem::absolute(argv[1]).string();
  if (const auto missing = SandboxMissing()) {
    std::printf("no sandbox on this machine: %s\n", missing->text.c_str());
    return 0;
  }
  // The sandboxed hosts make their folders player1/ and player2/ here.
  char folder[] = "/tmp/sandbox-bench-XXXXXX";
  if (mkdtemp(folder) == nullptr || chmod(folder, 0755) != 0 || chdir(folder) != 0) return 1;
  const Costs isolated = Measure(bin, false), sandboxed = Measure(bin, true);
  if (chdir(bin.c_str()) != 0) return 1;
  std::filesystem::remove_all(folder);
  const double floor2 = ShmFloor(bin + "/shm_floor", 2), floor3 = ShmFloor(bin + "/shm_floor", 3);
  std::printf("| %-42s | %9s | %6s |\n", "call (sandbox_bench)", "ns/call", "ratio");
  std::printf("|%s|%s|%s|\n", std::string(44, '-').c_str(), std::string(11, '-').c_str(),
              std::string(8, '-').c_str());
  std::printf("| %-42s | %9.0f |        |\n", "floor: 2 processes (C)", floor2);
  std::printf("| %-42s | %9.0f | %6.2f |\n", "HostGetTurn, --isolate", isolated.get_turn,
              isolated.get_turn / floor2);
  std::printf("| %-42s | %9.0f | %6.2f |\n", "HostGetTurn, --sandbox", sandboxed.get_turn,
              sandboxed.get_turn / floor2);
  std::printf("| %-42s | %9.0f |        |\n", "floor: 3 processes, a match's order (C)", floor3);
  std::printf("| %-42s | %9.0f | %6.2f |\n", "two hosts in a match's order, --isolate",
              isolated.match, isolated.match / floor3);
  std::printf("| %-42s | %9.0f | %6.2f |\n", "two hosts in a match's order, --sandbox",
              sandboxed.match, sandboxed.match / floor3);
  std::printf("| %-42s | %6.2f ms |        |\n", "start and stop two hosts, --isolate",
              isolated.start);
  std::printf("| %-42s | %6.2f ms | %+5.2f |\n", "start and stop two hosts, --sandbox",
              sandboxed.start, sandboxed.start - isolated.start);
  std::printf(
      "\nMedians of %d runs of %.1f s; ratio: the call / the floor above it; the last\n"
      "column of the start row: milliseconds more than --isolate per match.\n",
      kRuns, kRunSeconds);
  return 0;
}
