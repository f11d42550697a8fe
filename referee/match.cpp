#include "match.h"

#include <signal.h>
#include <sys/stat.h>
#include <time.h>

#include <cerrno>

#include "board_display.h"
#include "command_line.h"
#include "crash_guard.h"
#include "match_record.h"
#include "openings.h"
#include "player_calls.h"
#include "player_init.h"
#include "run_log.h"
#include "summary_line.h"
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
// is reached; each Turn call timed and charged to its mover. The piece
// that ends one call's progress and the piece that starts the next go
// out in one write, as nothing else reaches the console between them.
void PlayTurns(Referee& ref, long double PlayerTime[3]) {
  const PsBoard& board = ref.board;
  const Settings& s = ref.settings;
  const bool progress = !ref.options.quiet;
  const bool logOnConsole = LogsBasic(s) && ref.log.fd == ref.console.fd;
  std::string piece;  // console text not yet written, its room kept
  do {
    if (LogsDetail(s)) {
      if (logOnConsole && !piece.empty()) {
        Emit(ref.console, piece);
        piece.clear();
      }
      Emit(ref.log, TurnMarker(ref.TurnCount));
    }
    const int32_t m = CurPlayer(board);
    if (progress) {
      AppendProgressBefore(piece, ref.TurnCount, m);
      Emit(ref.console, piece);
      piece.clear();
    }
    const long double MoveStart = ref.clock();
    Turn(ref);
    const long double MoveEnd = ref.clock();
    PlayerTime[m] += MoveEnd - MoveStart;
    ref.track.time[m] += MoveEnd - MoveStart;
    if (progress) AppendProgressAfter(piece, MoveEnd - MoveStart);
  } while (!GameOver(board) && ref.TurnCount < s.MaxTurns);
  if (!piece.empty()) Emit(ref.console, piece);
}

// How the round ended, from the board before the end-of-round sweep.
std::string EndReason(const Referee& ref) {
  if (ref.fault) return "fault";
  if (ref.track.rejected_player != 0) return "rejected";
  if (!GameOver(ref.board)) return "turn-limit";
  return PsMajority(&ref.board) != 0 ? "majority" : "row-empty";
}

// A fault of an isolated player, told once: on stderr, and in the log
// with the position the player was given, so that it can be replayed.
void TellFault(Referee& ref, const Fault& f) {
  ReportToStderr(f.report);
  if (LogsBasic(ref.settings)) {
    std::string text = f.report + "\r\n";
    if (f.has_position) text += BoardPicture(ref.board, f.player, 0);
    Emit(ref.log, text);
  }
  RecordFault(ref, f);
}

// The charged fault first, then the faults it caused.
void ReportFault(Referee& ref) {
  if (!ref.fault || ref.fault_told) return;
  ref.fault_told = true;
  TellFault(ref, *ref.fault);
  for (const Fault& f : ref.other_faults) TellFault(ref, f);
}

// One round: the board reset (and the opening played), the turns, the
// end-of-round sweep, both PsEndRound calls, the tally and the round's
// lines in the log and the record.
void PlayRound(Referee& ref, int32_t Round, MatchTotals& totals) {
  const Settings& s = ref.settings;
  PsBoard& board = ref.board;
  int32_t* tally = totals.tally;
  ref.Round = Round;
  ref.track = RoundTrack{};
  StartClocks(ref.clocks, ref.options.time_control);
  ResetBoard(board, s.NumHoles, s.NumBones);
  ref.TurnCount = 0;
  if (LogsDetail(s)) PrintState(ref, 0, 0);
  if (!ref.openings.empty()) {
    ref.track.opening = ref.openings[static_cast<size_t>(Round) % ref.openings.size()];
    std::string detail;
    PlayOpeningLogged(board, ref.track.opening, LogsDetail(s) ? &detail : nullptr);
    if (LogsDetail(s)) Emit(ref.log, OpeningLine(ref.track.opening) + detail);
  }
  PlayTurns(ref, totals.PlayerTime);
  ReportFault(ref);
  std::string end = EndReason(ref);
  EndRound(board);
  CallEndRound(ref, 1, Store(board, 1), Store(board, 2), ref.TurnCount);
  CallEndRound(ref, 2, Store(board, 2), Store(board, 1), ref.TurnCount);
  ReportFault(ref);
  int winner = PsWinner(&board);
  if (ref.fault) {
    end = "fault";
    winner = 3 - ref.fault->player;
  } else if (ref.options.forfeit && ref.track.rejected_player != 0) {
    winner = 3 - ref.track.rejected_player;
  }
  ++tally[winner];
  if (LogsBasic(s)) {
    const RoundReport report{
        Round,         Store(board, 1),      Store(board, 2),     tally[1], tally[2], tally[0],
        ref.TurnCount, totals.PlayerTime[1], totals.PlayerTime[2]};
    Emit(ref.log, RoundLines(report, LogsDetail(s)));
  }
  RecordRound(ref, {end, winner});
}

// The record of a match that ended before its first round: no round
// played, its end line all the same.
void CloseRecord(Referee& ref, int status, long double elapsed) {
  const int32_t none[3] = {0, 0, 0};
  RecordEnd(ref, none, elapsed, status);
  CloseStream(ref.record);
}

// The players go: a player in a host of its own takes its process and
// channel with it.
void StopHosts(Referee& ref) {
  ref.players[1].reset();
  ref.players[2].reset();
}

}  // namespace

namespace {

// Set by SIGINT once a record is being written: the match stops after the
// round in play, so that the record ends with its end line.
volatile sig_atomic_t interrupted = 0;

void OnInterrupt(int) { interrupted = 1; }

// With a record asked for, an interrupt ends the match between rounds
// rather than killing the referee; without one it acts as it always did.
void CatchInterrupt(const Referee& ref) {
  if (ref.options.results.empty()) return;
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  if (sigaction(SIGINT, &action, nullptr) != 0) return;  // the default stays: killed as before
}

}  // namespace

bool MatchInterrupted() { return interrupted != 0; }

void PlayRounds(Referee& ref, MatchTotals& totals, const std::function<bool()>& more) {
  for (int32_t Round = 0; Round < ref.settings.NumRounds && !ref.fault && !interrupted; ++Round) {
    PlayRound(ref, Round, totals);
    if (more && !more()) break;
  }
}

namespace {

// The log with its header and the record, as the settings and options ask.
std::optional<Error> OpenOutputs(Referee& ref) {
  const Settings& s = ref.settings;
  if (LogsBasic(s)) {
    if (s.OutFile.empty()) {
      ref.log = ref.console;
    } else if (auto error = OpenLogFile(s.OutFile, ProtectedFiles(ref), ref.log)) {
      return Error{error->text, kExitIoError};
    }
    SetCrashLog(ref.log.fd, ref.log.fd == ref.console.fd);
    EmitLine(ref.log, DateTimeNow());
    Emit(ref.log, HeaderLines(s));
  }
  if (!ref.options.results.empty()) {
    int fd = -1;
    if (const auto reason = ClaimFile(ref.options.results, ProtectedFiles(ref), fd))
      return Error{"pitsow: " + reason->text, kExitIoError};
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
      return Error{
          "pitsow: " + ref.options.results + " is not a regular file; the record is not written",
          kExitIoError};
    ref.record = {fd, "'" + ref.options.results + "'"};
  }
  return std::nullopt;
}

// The end of a match that was played (or ended by a fault): the fault's
// report, the elapsed time, the record's last line, the summary.
int Finish(Referee& ref, long double StartTime, const MatchTotals& totals, int status) {
  const int32_t* tally = totals.tally;
  ReportFault(ref);
  const long double EndTime = ref.clock();
  if (LogsBasic(ref.settings)) {
    EmitLine(ref.log, ElapsedLine(EndTime - StartTime));
    SetCrashLog(-1, false);
    if (ref.log.fd != ref.console.fd) CloseStream(ref.log);
  }
  RecordEnd(ref, tally, EndTime - StartTime, status, interrupted != 0);
  CloseStream(ref.record);
  if (ref.options.quiet || interrupted)
    EmitLine(ref.console, SummaryLine({tally[1], tally[2], tally[0], Store(ref.board, 1),
                                       Store(ref.board, 2), EndTime - StartTime}));
  StopHosts(ref);
  return status;
}

// A player that cannot play: the line that says so, the record closed.
int CannotPlay(Referee& ref, long double StartTime, const char* line) {
  Announce(ref, line);
  CloseRecord(ref, kExitPlayerCannotPlay, ref.clock() - StartTime);
  StopHosts(ref);
  return kExitPlayerCannotPlay;
}

}  // namespace

std::optional<Error> RecordFailedLoad(Referee& ref, const std::vector<std::string>& args,
                                      const std::string& report) {
  if (ref.failed_load == 0 || ref.options.results.empty()) return std::nullopt;
  ParseCommandString(args, ref.settings);  // its lines are for a match that is played
  Settings quiet = ref.settings;
  quiet.LogLevel[0] = 0;  // no log: nothing was started
  std::swap(quiet, ref.settings);
  const std::optional<Error> error = OpenOutputs(ref);
  std::swap(quiet, ref.settings);
  if (error) return error;
  RecordMatch(ref);
  Fault f;
  f.player = ref.failed_load;
  f.kind = "load";
  f.call = "load";
  f.report = report;
  ref.fault = f;
  RecordFault(ref, f);
  const int32_t none[3] = {0, 0, 0};
  RecordEnd(ref, none, 0, kExitPlayerMissing);
  CloseStream(ref.record);
  return std::nullopt;
}

Result<int> RunMatch(Referee& ref, const std::vector<std::string>& args) {
  const long double StartTime = ref.clock();
  for (const std::string& line : ParseCommandString(args, ref.settings))
    EmitLine(ref.console, line);
  if (auto error = OpenOutputs(ref)) return *error;
  EmitLine(ref.console, "PsInfo size " + std::to_string(sizeof(PsInfo)));
  RecordMatch(ref);
  CatchInterrupt(ref);

  MatchTotals totals;
  if (!InitPlayer(ref, 1)) {
    if (ref.fault) return Finish(ref, StartTime, totals, kExitPlayerFault);
    return CannotPlay(ref, StartTime, "First Player Can't Play");
  }
  Pause100ms();
  if (!InitPlayer(ref, 2)) {
    if (!ref.fault) return CannotPlay(ref, StartTime, "Second Player Can't Play");
    CallDone(ref, 1);
    return Finish(ref, StartTime, totals, kExitPlayerFault);
  }
  PlayRounds(ref, totals);
  CallDone(ref, 1);
  CallDone(ref, 2);
  if (interrupted && !ref.fault) return Finish(ref, StartTime, totals, 128 + SIGINT);
  return Finish(ref, StartTime, totals, ref.fault ? kExitPlayerFault : kExitMatchComplete);
}
