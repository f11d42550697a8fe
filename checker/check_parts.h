// What the checks share: the board they use, how a fault is told, how a
// host is started for the player under test.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "check.h"
#include "host_client.h"

// The board of the PsInit checks and of the long match.
inline constexpr int32_t kHoles = 6;
inline constexpr int32_t kBones = 6;

// Adds one line to the checklist.
using Add = std::function<void(Mark, const std::string&)>;

// "6x4": holes by bones.
std::string BoardName(int32_t holes, int32_t bones);

// A fault and the call it happened in.
struct FaultAt {
  PlayerFault fault;
  std::string call;
  long round = -1;
  long turn = -1;
  std::string where;  // the match it happened in, or empty
};

// "crashed (SIGSEGV at address 0x0) in PsGetTurn, round 1, turn 13 (6x6
// as player 1)": the host's own line says what happened, but for a hang.
std::string Describe(const FaultAt& f);

// How the player under test is started as player number player.
HostStart StartOf(const CheckOptions& o, int32_t player);

// The record PsInit is sent on a board of holes and bones.
PsInfo MakeInfo(int32_t player, int32_t holes, int32_t bones, int32_t param);

// The PsInit record: the entry points, Size 352, 32 and 16, the versions
// and the texts. Answers false when nothing more can be checked; loaded
// tells whether the library could be bound at all.
bool CheckInit(const CheckOptions& o, const Add& add, bool& loaded);

// Whole matches: the positions on every board, seats alternating, then
// the long match; the answers, faults, memory and time they showed.
void CheckMatches(const CheckOptions& o, const Add& add);
