// Who is in which call: the referee notes, before every call into a
// player, which player (and its file), which entry point, which round and
// which turn it is, so that any fault report can name all of them, also
// from a signal handler. Everything here is async-signal-safe to read and
// to format: fixed buffers, no allocation.
#pragma once

#include <signal.h>

#include <cstddef>
#include <cstdint>
#include <string_view>

enum class Entry : int { None, PsInit, PsGetTurn, PsOppTurn, PsEndRound, PsDone };

const char* EntryName(Entry entry);

// The file a player was bound from, as the user named it.
void SetPlayerFile(int player, std::string_view file);
const char* PlayerFile(int player);

// The call in progress: plain words, read by the signal handlers of a
// single-threaded process. Set and cleared around every call, so inline.
struct CallNote {
  volatile sig_atomic_t player = 0;  // 0 between calls
  volatile sig_atomic_t entry = 0;
  volatile sig_atomic_t round = -1;
  volatile sig_atomic_t turn = -1;
};
extern CallNote the_call;

// round and turn are the log's numbers (both counted from 0); -1 where
// they do not apply (PsInit, PsDone; the turn of PsEndRound).
inline void EnterCall(int player, Entry entry, int32_t round, int32_t turn) {
  the_call.round = round;
  the_call.turn = turn;
  the_call.entry = static_cast<int>(entry);
  the_call.player = player;
}
inline void LeaveCall() { the_call.player = 0; }

// The player inside a call (1 or 2), or 0 between calls.
int CurrentPlayer();
Entry CurrentEntry();

// A line put together in a fixed buffer; longer text is cut.
struct LineBuffer {
  char text[1024];
  size_t size = 0;
  void Add(std::string_view s);
  void AddInt(int64_t v);
};

// "pitsow: player 2 (PsPlayer2.so) <what> in PsOppTurn, round 7, turn 23"
// for the call in progress.
void AppendCallReport(LineBuffer& line, const char* what);
