// The match settings: the referee's whole configuration, filled once from
// the command line and read-only afterwards.
#pragma once

#include <cstdint>
#include <string>

// Largest bones per hole: 2 sides x 6 holes x this still fits an int32,
// so no count on the board can overflow.
inline constexpr int32_t kMaxBones = 178956970;

struct Settings {
  int32_t NumHoles = 6;
  int32_t NumBones = 6;
  int32_t NumRounds = 1;
  int32_t MaxTurns = 300;
  int32_t LogLevel[3] = {3, 3, 3};  // [0] the referee's, [1] and [2] the players'
  int32_t Params[3] = {0, 0, 0};    // [1] and [2] used
  std::string OutFile = "PsLog.txt";
};

// Detail bands of the referee's own level: a basic log above 0, the
// per-turn detail above 3.
inline bool LogsBasic(const Settings& s) { return s.LogLevel[0] > 0; }
inline bool LogsDetail(const Settings& s) { return s.LogLevel[0] > 3; }
