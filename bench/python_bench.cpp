// What Python costs: one PsGetTurn of the cheapest Python player through the
// shim, in-process and isolated, beside the cheapest C player's and beside
// the Python function called from Python itself (the shim's own cost is the
// difference); then one State.play of the pitsow package and one move
// through Env.step beside one PsPlayMove of the rules header, replaying the
// same random games.
//
//   python_bench <bin folder> <python3> <bench source folder>
#include <dlfcn.h>
#include <stdio.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "host_client.h"
#include "ns_per_call.h"
#include "pitsow/rules.h"
#include "player_procs.h"
#include "python_player.h"

namespace {

using namespace bench_timing;

const HoleRow My = {4, 4, 4, 4, 4, 4}, Opp = {4, 4, 4, 4, 4, 4};

PsInfo Info() {
  PsInfo info{};
  info.Size = PS_INFO_SIZE;
  info.MaxVer = PS_INTERFACE_VERSION;
  info.Player = 1;
  info.NumHoles = 6;
  info.NumBones = 4;
  return info;
}

double InProcess(void* handle, const std::string& file) {
  if (handle == nullptr) std::exit(1);
  const Result<PlayerProcs> found = FindEntryPoints(handle, file);
  if (!found) std::exit(1);
  const PlayerProcs procs = *found;
  PsInfo info = Info();
  if (!procs.Init(&info)) std::exit(1);
  volatile int32_t sink = 0;
  const double ns = NsPerCall([&] {
    for (int i = 0; i < 1000; ++i) sink = procs.GetTurn(My, Opp, 0, 0);
  });
  (void)sink;
  procs.Done();
  return ns;
}

double Isolated(const std::string& bin, const std::string& file) {
  Result<HostedPlayer> hp = HostedPlayer::Start({bin + "/pitsow-host", file, 1, {}});
  PsInfo info = Info();
  PsBool ok = 0;
  if (!hp || hp->Init(info, ok) || !ok) {
    std::fprintf(stderr, "%s did not start in the host\n", file.c_str());
    std::exit(1);
  }
  int32_t answer = 0;
  const double ns = NsPerCall([&] {
    for (int i = 0; i < 1000; ++i)
      if (hp->GetTurn(My, Opp, 0, 0, answer)) std::exit(1);
  });
  hp->Done();
  return ns;
}

double Run(const std::string& command) {
  FILE* p = popen(command.c_str(), "r");
  double v = -1;
  if (p == nullptr || std::fscanf(p, "%lf", &v) != 1) v = -1;
  if (p != nullptr) pclose(p);
  return v;
}

// Random games on 6x6, a line of holes each, from a fixed seed.
std::vector<std::vector<int32_t>> RandomGames(int count) {
  std::vector<std::vector<int32_t>> games(count);
  unsigned long seed = 12345;
  for (auto& game : games) {
    PsBoard board;
    PsSetUpBoard(&board, 6, 6);
    int32_t moves[PS_MAX_HOLES];
    while (int n = PsSowingMoves(&board, moves)) {
      seed = seed * 6364136223846793005UL + 1442695040888963407UL;
      game.push_back(moves[(seed >> 33) % static_cast<unsigned long>(n)]);
      PsPlayMove(&board, game.back(), nullptr);
    }
  }
  return games;
}

double NsPerMove(const std::vector<std::vector<int32_t>>& games) {
  size_t moves = 0;
  for (const auto& g : games) moves += g.size();
  std::vector<double> ns;
  volatile int32_t sink = 0;
  for (int r = 0; r < kRuns; ++r) {
    const double start = Now();
    for (const auto& g : games) {
      PsBoard board;
      PsSetUpBoard(&board, 6, 6);
      for (int32_t hole : g) PsPlayMove(&board, hole, nullptr);
      sink = board.Stores[0];
    }
    ns.push_back((Now() - start) / static_cast<double>(moves) * 1e9);
  }
  (void)sink;
  std::sort(ns.begin(), ns.end());
  return ns[ns.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: python_bench <bin folder> <python3> <bench source folder>\n");
    return 2;
  }
  const std::string bin = argv[1], python = argv[2], src = argv[3];
  const std::string cPlayer = bin + "/trivial_player.so", pyPlayer = src + "/trivial_player.py";
  const std::string side = python + " " + src + "/python_side.py ";

  const double cIn = InProcess(dlopen(cPlayer.c_str(), RTLD_NOW | RTLD_LOCAL), cPlayer);
  const Result<void*> shim = OpenPythonPlayer(bin, pyPlayer);
  if (!shim) {
    std::fprintf(stderr, "%s\n", shim.error().text.c_str());
    return 1;
  }
  const double pyIn = InProcess(*shim, pyPlayer);
  const double pyItself = Run(side + "call " + pyPlayer);
  const double cHost = Isolated(bin, cPlayer), pyHost = Isolated(bin, pyPlayer);

  const auto games = RandomGames(2000);
  char file[] = "/tmp/python_bench_XXXXXX";
  const int fd = mkstemp(file);
  FILE* out = fd >= 0 ? fdopen(fd, "w") : nullptr;
  if (out == nullptr) return 1;
  for (const auto& g : games) {
    for (int32_t h : g) std::fprintf(out, "%d ", h);
    std::fprintf(out, "\n");
  }
  std::fclose(out);
  const double cMove = NsPerMove(games), pyMove = Run(side + "play " + file);
  const double envMove = Run(side + "step " + file);
  unlink(file);

  std::printf("| %-46s | %9s | %6s |\n", "PsGetTurn of the cheapest player", "ns/call", "ratio");
  std::printf("|%s|%s|%s|\n", std::string(48, '-').c_str(), std::string(11, '-').c_str(),
              std::string(8, '-').c_str());
  std::printf("| %-46s | %9.0f |        |\n", "C, in-process", cIn);
  std::printf("| %-46s | %9.0f |        |\n", "Python function called from Python", pyItself);
  std::printf("| %-46s | %9.0f | %6.2f |\n", "Python through the shim, in-process", pyIn,
              pyIn / pyItself);
  std::printf("| %-46s | %9.0f |        |\n", "  the shim's own cost (difference)",
              pyIn - pyItself);
  std::printf("| %-46s | %9.0f |        |\n", "C in pitsow-host", cHost);
  std::printf("| %-46s | %9.0f | %6.2f |\n", "Python in pitsow-host", pyHost, pyHost / cHost);
  std::printf("\n| %-46s | %9s | %6s |\n", "one move, replaying 2000 random 6x6 games", "ns/move",
              "ratio");
  std::printf("|%s|%s|%s|\n", std::string(48, '-').c_str(), std::string(11, '-').c_str(),
              std::string(8, '-').c_str());
  std::printf("| %-46s | %9.1f |        |\n", "PsPlayMove, the rules header (C)", cMove);
  std::printf("| %-46s | %9.1f | %6.2f |\n", "State.play, the pitsow package (Python loop)", pyMove,
              pyMove / cMove);
  std::printf("| %-46s | %9.1f | %6.2f |\n", "Env.step, per move it plays (both sides)", envMove,
              envMove / cMove);
  std::printf(
      "\nMedians of %d runs; ratio: to the row above it (in-process: to the Python "
      "function itself; a move: to PsPlayMove).\n",
      kRuns);
  return 0;
}
