// The referee's state for one match, in walls: the setup (settings,
// options, the players' files), the round in play, the outputs and the
// players. One instance per process; tests and the checker make their own
// with players of their own.
#pragma once

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "PsComm.h"
#include "board.h"
#include "call_context.h"
#include "long_options.h"
#include "mytimer.h"
#include "output.h"
#include "player.h"
#include "settings.h"

// Where a player comes from.
struct PlayerSource {
  std::string file;   // as named on the command line; empty: the default name
  std::string shown;  // the name reports use
  std::string path;   // the path bound
};

// A fault of a player in a call, as the referee reports it: it crashed,
// ended, ran past a limit or out of memory. The player is dead from then on.
struct Fault {
  int player = 0;
  Entry entry = Entry::None;
  int32_t round = -1, turn = -1;
  std::string kind;           // crash, exit, timeout, memory, overrun
  std::string detail;         // the signal, where there is one
  std::string report;         // the whole report line
  bool has_position = false;  // the board the player was given, for the log
  std::string call;           // where it is not an entry point: "load", "idle"
  bool charged = true;        // false: caused by the other fault, or the machine's
};

// What the record keeps of the round in play.
struct RoundTrack {
  std::vector<int32_t> opening;
  std::vector<std::array<int32_t, 2>> moves;  // [player, hole], accepted moves in order
  int rejected_player = 0;                    // who gave a rejected answer, or 0
  int32_t rejected_answer = 0;
  long double time[3] = {0, 0, 0};           // each player's turn time in the round
  double cpu[3] = {0, 0, 0};                 // isolated: CPU charged to each player's calls
  double wall[3] = {0, 0, 0};                // isolated: wall time of each player's calls
  std::vector<std::array<double, 2>> clock;  // time control: [CPU, time left] per answer
};

// What a match is set up with: filled from the command line and by
// binding the players before the first call, only read from then on.
struct MatchSetup {
  Settings settings;
  LongOptions options;
  PlayerSource sources[3];  // [1] player 1, [2] player 2
  std::vector<std::vector<int32_t>> openings;
  long double (*clock)() = GetTimer_Q;  // the match's timer; tests give their own
};

// The round in play: its board, its count of moves and what the record
// keeps of it.
struct RoundState {
  int32_t Round = -1;     // counted from 0
  PsBoard board{};        // player p's row and store at [p - 1] (board.h names them)
  int32_t TurnCount = 0;  // accepted moves this round, extra moves included
  RoundTrack track;
  RoundClocks clocks;  // with a time control
};

// Where the match writes.
struct Outputs {
  OutStream console = ConsoleStream();
  OutStream log;     // open only when the referee's level is above 0
  OutStream record;  // the JSON Lines record, with --results
};

// The two players, their records and what went wrong in their calls.
// Players are numbered 1 and 2 here as in the contract; [0] is unused.
struct Seats {
  std::unique_ptr<Player> players[3];
  PsInfo Info[3] = {};         // each player's record, handed over once
  std::optional<Fault> fault;  // the fault charged: the first, or the one that caused the others
  std::vector<Fault> other_faults;  // the faults it caused, or the machine's; told after it
  bool fault_told = false;          // reported on stderr and in the log
  int failed_load = 0;              // the player whose host could not load its library, or 0
};

// One match: the setup a step may read, and the parts it may change. Each
// step is handed only the parts it needs.
struct Referee {
  MatchSetup setup;
  RoundState round;
  Outputs out;
  Seats seats;
};
