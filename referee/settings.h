// The match settings: the referee's whole configuration, filled once from
// the command line and read-only afterwards.
#pragma once

#include <cstdint>
#include <string>

#include "game_limits.h"

struct Settings {
  int32_t NumHoles = 6;
  int32_t NumBones = 6;
  int32_t NumRounds = 1;
  int32_t MaxTurns = kDefaultMaxTurns;
  int32_t LogLevel[3] = {3, 3, 3};  // [0] the referee's, [1] and [2] the players'
  int32_t Params[3] = {0, 0, 0};    // [1] and [2] used
  std::string OutFile = "PsLog.txt";
};

// Detail bands of the referee's own level: a basic log above 0, the
// per-turn detail above 3.
inline bool LogsBasic(const Settings& s) { return s.LogLevel[0] > 0; }
inline bool LogsDetail(const Settings& s) { return s.LogLevel[0] > 3; }
