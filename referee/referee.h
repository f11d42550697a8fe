// The referee's state for one match: the settings, the board, the entry
// points of both players and the two output streams. One instance per
// process; tests make their own with stub players.
#pragma once

#include "PsComm.h"
#include "board.h"
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

struct Referee {
  Settings settings;
  Board board;
  PlayerProcs players[3];  // [1] PsPlayer1, [2] PsPlayer2
  PsInfo Info[3] = {};     // each player's record, handed over once
  OutStream console = ConsoleStream();
  OutStream log;  // open only when the referee's level is above 0
};
