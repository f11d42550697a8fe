// Tossel, the random player: answers every turn with a random non-empty
// hole of its own row, and keeps a trace of its calls in Player1.out or
// Player2.out. The state of one instance is a plain struct so that tests
// can drive it with a clock of their choosing.
#pragma once

#include <cstdint>

#include "PsComm.h"

// The time of day in UTC that seeds the generator.
struct UtcTime {
  int Hour = 0, Minute = 0, Second = 0, Millisecond = 0;
};

UtcTime UtcNow();

// The hundredths of a second since midnight.
uint32_t SeedFromTime(const UtcTime& t);

// One step of the 32-bit linear congruential generator, then a whole
// number in 0..n-1 from the high half of seed x n.
uint32_t Draw(uint32_t& seed, uint32_t n);

inline constexpr const char* kTosselName = "Mopsy";
inline constexpr const char* kTosselCreator = "The Pitsow project";
inline constexpr const char* kTosselDescription = "Random Turn Player";

struct Tossel {
  int32_t CurrVer = 0;
  int32_t Player = 0;
  int32_t NumHoles = 0;
  int32_t NumBones = 0;
  int32_t LogLevel = 0;
  int32_t Param = 0;
  int TraceFd = -1;
  int32_t TurnCounter = 0;
  uint32_t Seed = 0;
};

PsBool TosselInit(Tossel& t, PsInfo* Info, const UtcTime& now);
int32_t TosselGetTurn(Tossel& t, const int32_t* MyHoles);
void TosselOppTurn(Tossel& t, int32_t Hole);
void TosselEndRound(Tossel& t, int32_t My, int32_t Opp, int32_t Turns);
void TosselDone(Tossel& t);
