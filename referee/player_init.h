// The referee's side of PsInit: fill the player's record, call it, and show
// the player's answer on the console and in the log.
#pragma once

#include <string>

#include "referee.h"

// A text field as a reader takes it: up to the first 0 byte, never more
// than the field's capacity; control characters shown as '?'.
std::string FieldText(const char* field, size_t capacity);

// The five lines that show player n's answer, each ending in CR LF.
std::string PlayerLines(int32_t n, const PsInfo& info);

// Fills player n's record with the settings that concern it.
void FillInfo(const Settings& settings, int32_t n, PsInfo& info);

// Initialises player n (1 or 2): its record filled, PsInit called, its
// answer shown and recorded; returns whether it can play.
bool InitPlayer(const MatchSetup& setup, const RoundState& round, Seats& seats, const Outputs& out,
                int32_t n);
