#include "match.h"

#include <time.h>

#include <cerrno>

#include "board_display.h"
#include "crash_guard.h"
#include "player_calls.h"
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

// The files the log must never be: the referee and the bound players.
std::vector<FileId> ProtectedFiles(const Referee& ref) {
  std::vector<FileId> files;
  if (auto id = IdentityOf("/proc/self/exe")) files.push_back(*id);
  for (int n = 1; n <= 2; ++n)
    if (auto id = IdentityOf(ref.sources[n].path)) files.push_back(*id);
  return files;
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
    if (LogsDetail(s)) Emit(ref.log, TurnMarker(board.TurnCount));
    const int32_t m = board.CurPlayer;
    piece.clear();
    AppendProgressBefore(piece, board.TurnCount, m);
    Emit(ref.console, piece);
    const long double MoveStart = ref.clock();
    if (m == 1)
      Turn(ref, board.Holes[1], board.Holes[2], board.Store[1], board.Store[2]);
    else
      Turn(ref, board.Holes[2], board.Holes[1], board.Store[2], board.Store[1]);
    const long double MoveEnd = ref.clock();
    PlayerTime[m] += MoveEnd - MoveStart;
    piece.clear();
    AppendProgressAfter(piece, MoveEnd - MoveStart);
    Emit(ref.console, piece);
  } while (!board.GameOver && board.TurnCount < s.MaxTurns);
}

}  // namespace

int RunMatch(Referee& ref, const std::vector<std::string>& args) {
  const long double StartTime = ref.clock();
  Settings& s = ref.settings;
  for (const std::string& line : ParseCommandString(args, s)) EmitLine(ref.console, line);

  if (LogsBasic(s)) {
    if (s.OutFile.empty()) {
      ref.log = ref.console;
    } else if (const auto error = OpenLogFile(s.OutFile, ProtectedFiles(ref), ref.log)) {
      FailIo(error->text);
    }
    SetCrashLog(ref.log.fd, ref.log.fd == ref.console.fd);
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
    ref.Round = Round;
    ResetBoard(board, s.NumHoles, s.NumBones);
    if (LogsDetail(s)) PrintState(ref, 0, 0);
    PlayRound(ref, PlayerTime);
    EndRound(board);
    CallEndRound(ref, 1, board.Store[1], board.Store[2], board.TurnCount);
    CallEndRound(ref, 2, board.Store[2], board.Store[1], board.TurnCount);
    if (board.Store[1] > board.Store[2])
      ++Wins1;
    else if (board.Store[2] > board.Store[1])
      ++Wins2;
    else
      ++Draws;
    if (LogsBasic(s)) {
      const RoundReport report{Round, board.Store[1],  board.Store[2], Wins1,        Wins2,
                               Draws, board.TurnCount, PlayerTime[1],  PlayerTime[2]};
      Emit(ref.log, RoundLines(report, LogsDetail(s)));
    }
  }

  CallDone(ref, 1);
  CallDone(ref, 2);
  const long double EndTime = ref.clock();
  if (LogsBasic(s)) {
    EmitLine(ref.log, ElapsedLine(EndTime - StartTime));
    SetCrashLog(-1, false);
    if (ref.log.fd != ref.console.fd) CloseStream(ref.log);
  }
  return kExitMatchComplete;
}
