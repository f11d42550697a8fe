// The texts of the lines the referee writes: the log's date line, settings
// header, turn markers, the lines of a move, round line and elapsed-time
// line, the console's progress display around every turn, and the report
// of a rejected answer.
#pragma once

#include <ctime>
#include <string>

#include "board.h"
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
  int32_t store1 = 0, store2 = 0;
  int32_t Wins1 = 0, Wins2 = 0, Draws = 0;
  int32_t Turns = 0;
  long double time1 = 0, time2 = 0;
};

// "ROUND    0   Player 1 : 40 ..." without line end.
std::string RoundLine(const RoundReport& r);

// The round line as the log takes it: at the detailed levels framed by an
// empty line and "         END " before, an empty line after; CR LF ended.
std::string RoundLines(const RoundReport& r, bool detail);

// An empty line and "Turn: " n, before each Turn call at the detailed levels.
std::string TurnMarker(int32_t TurnCount);

// The log line of an answer outside 1..NumHoles, CR LF ended.
std::string RejectedLine(int32_t answer, int32_t NumHoles, int32_t player);

// The same told on stderr: "pitsow: round 3, turn 17: player 1 answered 0,
// not a hole from 1 to 6; the round ends", without line end.
std::string RejectedReport(int32_t round, int32_t turn, int32_t player, int32_t answer,
                           int32_t NumHoles);

// The capture and extra-move lines of a move, CR LF ended, appended.
void AppendMoveLines(std::string& out, int32_t mover, const PsSowing& sown);

// "Elapsed Time: " seconds " s" without line end.
std::string ElapsedLine(long double seconds);

// Before a Turn call: backspaces over the previous progress, then the turn
// number and the mover. Appends to out, which the turn loop reuses.
void AppendProgressBefore(std::string& out, int32_t TurnCount, int32_t player);

// After a Turn call: its time.
void AppendProgressAfter(std::string& out, long double seconds);
