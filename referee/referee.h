// The referee's state for one match: the settings, the board, the entry
// points of both players and the two output streams. One instance per
// process; tests make their own with stub players.
#pragma once

#include <string>

#include "PsComm.h"
#include "board.h"
#include "mytimer.h"
#include "output.h"
#include "settings.h"

// The five entry points of one bound player.
struct PlayerProcs {
  PsInitProc Init = nullptr;
  PsGetTurnProc GetTurn = nullptr;
  PsOppTurnProc OppTurn = nullptr;
  PsEndRoundProc EndRound = nullptr;
  PsDoneProc Done = nullptr;
};

// Where a player comes from.
struct PlayerSource {
  std::string file;   // as named on the command line; empty: the default name
  std::string shown;  // the name reports use
  std::string path;   // the path the loader bound
};

struct Referee {
  Settings settings;
  Board board;
  int32_t Round = -1;      // the round in play, counted from 0
  PlayerProcs players[3];  // [1] player 1, [2] player 2
  PlayerSource sources[3];
  PsInfo Info[3] = {};  // each player's record, handed over once
  OutStream console = ConsoleStream();
  OutStream log;  // open only when the referee's level is above 0
  long double (*clock)() = GetTimer_Q;  // the match's timer; tests give their own
};
