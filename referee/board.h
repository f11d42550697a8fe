// The board of a round and the rules of the game: sowing with capture and
// extra move, the end-of-round test and the final sweep. Nothing here calls
// a player or writes output, so any position can be set and played.
#pragma once

#include <cstdint>

#include "PsComm.h"

struct Board {
  int32_t NumHoles = 6;   // holes per side in play, set by ResetBoard
  HoleRow Holes[3] = {};  // [1] player 1's row, [2] player 2's; hole i at [i - 1]
  int32_t Store[3] = {};  // [1] and [2]
  int32_t CurPlayer = 1;  // who is to move
  bool GameOver = false;
  int32_t TurnCount = 0;  // accepted moves this round, extra moves included
};

// Fills holes 1..numHoles of both rows with numBones, empties the stores and
// the slots above numHoles, and gives player 1 the first move. The board
// keeps numHoles for everything that reads it afterwards.
void ResetBoard(Board& board, int32_t numHoles, int32_t numBones);

// What one move did, for the log.
struct SowResult {
  bool ExtraMove = false;  // the last bone fell into the mover's store
  int32_t Captured = 0;    // the mover's hole where a capture happened, or 0
};

// Plays hole m (1..numHoles) of the mover's row: picks up its bones and
// sows them along the mover's row, into the mover's store and along the
// opponent's row, lap after lap, skipping the opponent's store. Captures
// when the last bone lands in an empty hole of the mover's row facing a
// non-empty one. Costs O(numHoles) however many bones are in hand.
SowResult Sow(HoleRow& myHoles, HoleRow& oppHoles, int32_t& myStore, int32_t numHoles, int32_t m);

// True when the round is decided: a store holds more than half of all bones,
// or a row is empty.
bool CheckGame(const Board& board, int32_t numBones);

// After the last move of a round: when one row is empty, the bones left in
// the other row go to that row's owner.
void EndRound(Board& board);

// Bones in the holes in play of player's row (1 or 2).
int64_t RowSum(const Board& board, int player);
