// The referee's board of a round is the rules header's PsBoard
// (pitsow/rules.h), the one board every program here plays on. What is
// here are the names the log, the players' contract and the match driver
// use for it, each a thin name over PsBoard and its functions: the
// contract numbers players 1 and 2, PsBoard's arrays hold player p at
// [p - 1]. No rule is decided here.
#pragma once

#include <cstdint>

#include "PsComm.h"
#include "pitsow/rules.h"

// Player p's row (p is 1 or 2).
inline HoleRow& Holes(PsBoard& board, int32_t p) { return board.Holes[p - 1]; }
inline const HoleRow& Holes(const PsBoard& board, int32_t p) { return board.Holes[p - 1]; }

// Player p's store (p is 1 or 2).
inline int32_t& Store(PsBoard& board, int32_t p) { return board.Stores[p - 1]; }
inline int32_t Store(const PsBoard& board, int32_t p) { return board.Stores[p - 1]; }

// The player to move, 1 or 2.
inline int32_t CurPlayer(const PsBoard& board) { return board.Mover; }

// Whether the round is over: by the rules, or because the referee ended it
// (a rejected answer, a player's fault).
inline bool GameOver(const PsBoard& board) { return board.RoundOver != 0; }

// Ends the round with the position as it stands.
inline void SetGameOver(PsBoard& board) { board.RoundOver = 1; }

// Sets up the filled board of holes x bones (PsSetUpBoard), player 1 to
// move. Settings the rules refuse leave an empty board of holes clamped to
// 1..6, so that whatever reads NumHoles afterwards stays on the rows.
void ResetBoard(PsBoard& board, int32_t holes, int32_t bones);

// True when the position decides the round: a store holds more than half
// of all bones, or a row is empty.
inline bool CheckGame(const PsBoard& board) { return PsIsRoundOver(&board) != 0; }

// After the last move of a round: when one row is empty, the bones left in
// the other row go to that row's owner.
inline void EndRound(PsBoard& board) { PsSweep(&board); }
