// The texts of the lines the match driver writes: the log's date line,
// settings header, round line and elapsed-time line, and the console's
// progress display around every turn.
#pragma once

#include <ctime>
#include <string>

#include "settings.h"

// "   hh:mm:ss.cc   dd-Mon-yyyy", fields filled with blanks, hundredths
// truncated; without line end.
std::string DateTimeLine(const std::tm& local, int milliseconds);

// The date line of the current local time.
std::string DateTimeNow();

// The seven lines that echo the settings, each ending in CR LF.
std::string HeaderLines(const Settings& s);

struct RoundReport {
  int32_t Round = 0;
  int32_t Store1 = 0, Store2 = 0;
  int32_t Wins1 = 0, Wins2 = 0, Draws = 0;
  int32_t Turns = 0;
  long double Time1 = 0, Time2 = 0;
};

// "ROUND    0   Player 1 : 40 ..." without line end.
std::string RoundLine(const RoundReport& r);

// "Elapsed Time: " seconds " s" without line end.
std::string ElapsedLine(long double seconds);

// Before a Turn call: backspaces over the previous progress, then the turn
// number and the mover. Appends to out, which the turn loop reuses.
void AppendProgressBefore(std::string& out, int32_t turnCount, int32_t player);

// After a Turn call: its time.
void AppendProgressAfter(std::string& out, long double seconds);
