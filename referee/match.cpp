#include "match.h"

#include <time.h>

#include <cerrno>

#include "board_display.h"
#include "command_line.h"
#include "mytimer.h"
#include "player_init.h"
#include "run_log.h"
#include "turn.h"

namespace {

// A line on the console and, when there is a log, the same line there.
void Announce(const Referee& ref, const char* line) {
  EmitLine(ref.console, line);
  if (LogsBasic(ref.settings)) EmitLine(ref.log, line);
}

void Pause100ms() {
  timespec rest{0, 100 * 1000 * 1000};
  while (nanosleep(&rest, &rest) != 0 && errno == EINTR) {
  }
}

// The turns of one round, until the round is decided or the turn limit
// is reached; each Turn call timed and charged to its mover.
void PlayRound(Referee& ref, long double PlayerTime[3]) {
  Board& board = ref.board;
  const Settings& s = ref.settings;
  std::string piece;  // one console piece at a time, its room kept
  do {
    if (LogsDetail(s)) {
      std::string marker = "\r\nTurn: ";
      marker += std::to_string(board.TurnCount);
      EmitLine(ref.log, std::move(marker));
    }
    const int32_t m = board.CurPlayer;
    piece.clear();
    AppendProgressBefore(piece, board.TurnCount, m);
    Emit(ref.console, piece);
    const long double MoveStart = GetTimer_Q();
    if (m == 1)
      Turn(ref, board.Holes[1], board.Holes[2], board.Store[1], board.Store[2]);
    else
      Turn(ref, board.Holes[2], board.Holes[1], board.Store[2], board.Store[1]);
    const long double MoveEnd = GetTimer_Q();
    PlayerTime[m] += MoveEnd - MoveStart;
    piece.clear();
    AppendProgressAfter(piece, MoveEnd - MoveStart);
    Emit(ref.console, piece);
  } while (!board.GameOver && board.TurnCount < s.MaxTurns);
}

}  // namespace

int RunMatch(Referee& ref, const std::vector<std::string>& args) {
  const long double StartTime = GetTimer_Q();
  Settings& s = ref.settings;
  for (const std::string& line : ParseCommandString(args, s)) EmitLine(ref.console, line);

  if (LogsBasic(s)) {
    if (s.OutFile.empty()) {
      ref.log = ref.console;
    } else {
      std::string error;
      ref.log = CreateFileStream(s.OutFile, error);
      if (ref.log.fd < 0) FailIo(error);
    }
    EmitLine(ref.log, DateTimeNow());
    Emit(ref.log, HeaderLines(s));
  }
  EmitLine(ref.console, "PsInfo size " + std::to_string(sizeof(PsInfo)));

  if (!InitPlayer(ref, 1)) {
    Announce(ref, "First Player Can't Play");
    return kExitPlayerCannotPlay;
  }
  Pause100ms();
  if (!InitPlayer(ref, 2)) {
    Announce(ref, "Second Player Can't Play");
    return kExitPlayerCannotPlay;
  }

  Board& board = ref.board;
  int32_t Wins1 = 0, Wins2 = 0, Draws = 0;
  long double PlayerTime[3] = {0, 0, 0};
  for (int32_t Round = 0; Round < s.NumRounds; ++Round) {
    ResetBoard(board, s.NumHoles, s.NumBones);
    if (LogsDetail(s)) PrintState(ref, 0, 0);
    PlayRound(ref, PlayerTime);
    EndRound(board, s.NumHoles);
    ref.players[1].EndRound(board.Store[1], board.Store[2], board.TurnCount);
    ref.players[2].EndRound(board.Store[2], board.Store[1], board.TurnCount);
    if (board.Store[1] > board.Store[2])
      ++Wins1;
    else if (board.Store[2] > board.Store[1])
      ++Wins2;
    else
      ++Draws;
    if (LogsBasic(s)) {
      const RoundReport report{Round, board.Store[1],  board.Store[2], Wins1,        Wins2,
                               Draws, board.TurnCount, PlayerTime[1],  PlayerTime[2]};
      std::string text = LogsDetail(s) ? "\r\n         END " : "";
      text += RoundLine(report);
      text += LogsDetail(s) ? "\r\n\r\n" : "\r\n";
      Emit(ref.log, text);
    }
  }

  ref.players[1].Done();
  ref.players[2].Done();
  const long double EndTime = GetTimer_Q();
  if (LogsBasic(s)) {
    EmitLine(ref.log, ElapsedLine(EndTime - StartTime));
    if (ref.log.fd != ref.console.fd) CloseStream(ref.log);
  }
  return kExitMatchComplete;
}
