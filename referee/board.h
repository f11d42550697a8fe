// The referee's board of a round, with the names its log and records use,
// and the end-of-round steps the match driver calls on it. The rules
// themselves are the players' rules header's (pitsow/rules.h): sowing
// (PsSow), the end-of-round test and the sweep are played there alone.
#pragma once

#include <cstdint>

#include "PsComm.h"
#include "pitsow/rules.h"

struct Board {
  int32_t NumHoles = 6;   // holes per side in play, set by ResetBoard
  HoleRow Holes[3] = {};  // [1] player 1's row, [2] player 2's; hole i at [i - 1]
  int32_t Store[3] = {};  // [1] and [2]
  int32_t CurPlayer = 1;  // who is to move
  bool GameOver = false;
  int32_t TurnCount = 0;  // accepted moves this round, extra moves included
};

// Sets up the filled board of holes x bones (as PsSetUpBoard does),
// gives player 1 the first move and starts the round's count. The board
// keeps its NumHoles for everything that reads it afterwards.
void ResetBoard(Board& board, int32_t holes, int32_t bones);

// The rules header's board of the same position (bones per hole at the
// start of the round), and back: the rows, the stores and the mover.
PsBoard RulesBoard(const Board& board, int32_t bones);
void TakeRulesBoard(Board& board, const PsBoard& rules);

// True when the round is decided: a store holds more than half of all bones,
// or a row is empty.
inline bool CheckGame(const Board& board, int32_t bones) {
  return PsRoundEnds(board.Holes[1], board.Holes[2], board.Store[1], board.Store[2], board.NumHoles,
                     bones) != 0;
}

// After the last move of a round: when one row is empty, the bones left in
// the other row go to that row's owner.
inline void EndRound(Board& board) {
  PsSweepRows(board.Holes[1], board.Holes[2], &board.Store[1], &board.Store[2], board.NumHoles);
}
