// Why a tournament stopped: one value while it runs, one text in the
// results file's end line, the verdict and the page.
#pragma once

#include <string>

// kNone while the tournament plays on.
enum class TournamentStop { kNone, kComplete, kInterrupted, kRetired, kSprtH1, kSprtH0 };

// The end reason as the results file and the verdict write it ("" for kNone).
std::string StopText(TournamentStop stop);
// The end reason of a results file's end line; kNone for any other text.
TournamentStop StopFromText(const std::string& text);
// Whether a tournament that stopped so has nothing left to play.
bool Decided(TournamentStop stop);
