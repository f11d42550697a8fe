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
void Announce(const Settings& s, const Outputs& out, const char* line) {
  EmitLine(out.console, line);
  if (LogsBasic(s)) EmitLine(out.log, line);
}

// The files the log must never be: the referee and the bound players.
std::vector<FileId> ProtectedFiles(const MatchSetup& setup) {
  std::vector<FileId> files;
  if (auto id = IdentityOf("/proc/self/exe")) files.push_back(*id);
  for (int n = 1; n <= 2; ++n)
    if (auto id = IdentityOf(setup.sources[n].path)) files.push_back(*id);
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
void PlayTurns(const MatchSetup& setup, RoundState& round, Seats& seats, const Outputs& out,
               long double PlayerTime[3]) {
  const Settings& s = setup.settings;
  const bool progress = !setup.options.quiet;
  const bool log_on_console = LogsBasic(s) && out.log.fd == out.console.fd;
  std::string piece;  // console text not yet written, its room kept
  do {
    if (LogsDetail(s)) {
      if (log_on_console && !piece.empty()) {
        Emit(out.console, piece);
        piece.clear();
      }
      Emit(out.log, TurnMarker(round.TurnCount));
    }
    const int32_t m = CurPlayer(round.board);
    if (progress) {
      AppendProgressBefore(piece, round.TurnCount, m);
      Emit(out.console, piece);
      piece.clear();
    }
    const long double MoveStart = setup.clock();
    Turn(setup, round, seats, out);
    const long double MoveEnd = setup.clock();
    PlayerTime[m] += MoveEnd - MoveStart;
    round.track.time[m] += MoveEnd - MoveStart;
    if (progress) AppendProgressAfter(piece, MoveEnd - MoveStart);
  } while (!GameOver(round.board) && round.TurnCount < s.MaxTurns);
  if (!piece.empty()) Emit(out.console, piece);
}

// How the round ended, from the board before the end-of-round sweep.
std::string EndReason(const RoundState& round, const Seats& seats) {
  if (seats.fault) return "fault";
  if (round.track.rejected_player != 0) return "rejected";
  if (!GameOver(round.board)) return "turn-limit";
  return PsMajority(&round.board) != 0 ? "majority" : "row-empty";
}

// A fault of an isolated player, told once: on stderr, and in the log
// with the position the player was given, so that it can be replayed.
void TellFault(const Settings& s, const PsBoard& board, const Outputs& out, const Fault& f) {
  ReportToStderr(f.report);
  if (LogsBasic(s)) {
    std::string text = f.report + "\r\n";
    if (f.has_position) text += BoardPicture(board, f.player, 0);
    Emit(out.log, text);
  }
  RecordFault(out.record, f);
}

// The charged fault first, then the faults it caused.
void ReportFault(const Settings& s, const PsBoard& board, Seats& seats, const Outputs& out) {
  if (!seats.fault || seats.fault_told) return;
  seats.fault_told = true;
  TellFault(s, board, out, *seats.fault);
  for (const Fault& f : seats.other_faults) TellFault(s, board, out, f);
}

// The start of round Round: the board reset, its initial picture, and
// the opening played.
void StartRound(const MatchSetup& setup, RoundState& round, const Outputs& out, int32_t Round) {
  const Settings& s = setup.settings;
  round.Round = Round;
  round.track = RoundTrack{};
  StartClocks(round.clocks, setup.options.time_control);
  ResetBoard(round.board, s.NumHoles, s.NumBones);
  round.TurnCount = 0;
  if (LogsDetail(s)) PrintState(out.log, round.board, 0, 0);
  if (setup.openings.empty()) return;
  round.track.opening = setup.openings[static_cast<size_t>(Round) % setup.openings.size()];
  std::string detail;
  PlayOpeningLogged(round.board, round.track.opening, LogsDetail(s) ? &detail : nullptr);
  if (LogsDetail(s)) Emit(out.log, OpeningLine(round.track.opening) + detail);
}

// The round's result: the winner by the stores (PsWinner), but the other
// player's when a player's fault ended the match, or when --forfeit takes
// the round from a rejected answer.
RoundOutcome Outcome(const LongOptions& options, const RoundState& round, const Seats& seats,
                     std::string end) {
  if (seats.fault) return {"fault", 3 - seats.fault->player};
  if (options.forfeit && round.track.rejected_player != 0)
    return {end, 3 - round.track.rejected_player};
  return {end, PsWinner(&round.board)};
}

// One round: the start, the turns, the end-of-round sweep, both
// PsEndRound calls, the tally and the round's lines in the log and the
// record.
void PlayRound(const MatchSetup& setup, RoundState& round, Seats& seats, const Outputs& out,
               int32_t Round, MatchTotals& totals) {
  const Settings& s = setup.settings;
  PsBoard& board = round.board;
  int32_t* tally = totals.tally;
  StartRound(setup, round, out, Round);
  PlayTurns(setup, round, seats, out, totals.PlayerTime);
  ReportFault(s, board, seats, out);
  const std::string end = EndReason(round, seats);
  EndRound(board);
  CallEndRound(setup, round, seats, 1, Store(board, 1), Store(board, 2), round.TurnCount);
  CallEndRound(setup, round, seats, 2, Store(board, 2), Store(board, 1), round.TurnCount);
  ReportFault(s, board, seats, out);
  const RoundOutcome outcome = Outcome(setup.options, round, seats, end);
  ++tally[outcome.winner];
  if (LogsBasic(s)) {
    const RoundReport report{
        Round,           Store(board, 1),      Store(board, 2),     tally[1], tally[2], tally[0],
        round.TurnCount, totals.PlayerTime[1], totals.PlayerTime[2]};
    Emit(out.log, RoundLines(report, LogsDetail(s)));
  }
  RecordRound(out.record, setup.options, round, outcome);
}

// The record of a match that ended before its first round: no round
// played, its end line all the same.
void CloseRecord(Outputs& out, const Seats& seats, int status, long double elapsed) {
  const int32_t none[3] = {0, 0, 0};
  RecordEnd(out.record, seats.fault, none, elapsed, status);
  CloseStream(out.record);
}

// The players go: a player in a host of its own takes its process and
// channel with it.
void StopHosts(Seats& seats) {
  seats.players[1].reset();
  seats.players[2].reset();
}

}  // namespace

namespace {

// Set by SIGINT once a record is being written: the match stops after the
// round in play, so that the record ends with its end line.
volatile sig_atomic_t interrupted = 0;

void OnInterrupt(int) { interrupted = 1; }

// With a record asked for, an interrupt ends the match between rounds
// rather than killing the referee; without one it acts as it always did.
void CatchInterrupt(const LongOptions& options) {
  if (options.results.empty()) return;
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  if (sigaction(SIGINT, &action, nullptr) != 0) return;  // the default stays: killed as before
}

}  // namespace

bool MatchInterrupted() { return interrupted != 0; }

void PlayRounds(const MatchSetup& setup, RoundState& round, Seats& seats, const Outputs& out,
                MatchTotals& totals, const std::function<bool()>& more) {
  for (int32_t Round = 0; Round < setup.settings.NumRounds && !seats.fault && !interrupted;
       ++Round) {
    PlayRound(setup, round, seats, out, Round, totals);
    if (more && !more()) break;
  }
}

namespace {

// The log with its header and the record, as the settings and options ask.
std::optional<Error> OpenOutputs(const MatchSetup& setup, Outputs& out) {
  const Settings& s = setup.settings;
  const LongOptions& o = setup.options;
  if (LogsBasic(s)) {
    if (s.OutFile.empty()) {
      out.log = out.console;
    } else if (Result<OutStream> opened = OpenLogFile(s.OutFile, ProtectedFiles(setup))) {
      out.log = *opened;
    } else {
      return Error{opened.error().text, kExitIoError};
    }
    SetCrashLog(out.log.fd, out.log.fd == out.console.fd);
    EmitLine(out.log, DateTimeNow());
    Emit(out.log, HeaderLines(s));
  }
  if (!o.results.empty()) {
    const Result<int> claimed = ClaimFile(o.results, ProtectedFiles(setup));
    if (!claimed) return Error{"pitsow: " + claimed.error().text, kExitIoError};
    const int fd = *claimed;
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
      return Error{"pitsow: " + o.results + " is not a regular file; the record is not written",
                   kExitIoError};
    out.record = {fd, "'" + o.results + "'"};
  }
  return std::nullopt;
}

// The end of a match that was played (or ended by a fault): the fault's
// report, the elapsed time, the record's last line, the summary.
int Finish(const MatchSetup& setup, const RoundState& round, Seats& seats, Outputs& out,
           long double StartTime, const MatchTotals& totals, int status) {
  const int32_t* tally = totals.tally;
  ReportFault(setup.settings, round.board, seats, out);
  const long double EndTime = setup.clock();
  if (LogsBasic(setup.settings)) {
    EmitLine(out.log, ElapsedLine(EndTime - StartTime));
    SetCrashLog(-1, false);
    if (out.log.fd != out.console.fd) CloseStream(out.log);
  }
  RecordEnd(out.record, seats.fault, tally, EndTime - StartTime, status, interrupted != 0);
  CloseStream(out.record);
  if (setup.options.quiet || interrupted)
    EmitLine(out.console, SummaryLine({tally[1], tally[2], tally[0], Store(round.board, 1),
                                       Store(round.board, 2), EndTime - StartTime}));
  StopHosts(seats);
  return status;
}

// A player that cannot play: the line that says so, the record closed.
int CannotPlay(const MatchSetup& setup, Seats& seats, Outputs& out, long double StartTime,
               const char* line) {
  Announce(setup.settings, out, line);
  CloseRecord(out, seats, kExitPlayerCannotPlay, setup.clock() - StartTime);
  StopHosts(seats);
  return kExitPlayerCannotPlay;
}

}  // namespace

std::optional<Error> RecordFailedLoad(Referee& ref, const std::vector<std::string>& args,
                                      const std::string& report) {
  if (ref.seats.failed_load == 0 || ref.setup.options.results.empty()) return std::nullopt;
  ParseCommandString(args, ref.setup.settings);  // its lines are for a match that is played
  MatchSetup quiet = ref.setup;
  quiet.settings.LogLevel[0] = 0;  // no log: nothing was started
  if (auto error = OpenOutputs(quiet, ref.out)) return error;
  RecordMatch(ref.setup, ref.out.record);
  Fault f;
  f.player = ref.seats.failed_load;
  f.kind = "load";
  f.call = "load";
  f.report = report;
  ref.seats.fault = f;
  RecordFault(ref.out.record, f);
  const int32_t none[3] = {0, 0, 0};
  RecordEnd(ref.out.record, ref.seats.fault, none, 0, kExitPlayerMissing);
  CloseStream(ref.out.record);
  return std::nullopt;
}

Result<int> RunMatch(Referee& ref, const std::vector<std::string>& args) {
  const long double StartTime = ref.setup.clock();
  for (const std::string& line : ParseCommandString(args, ref.setup.settings))
    EmitLine(ref.out.console, line);
  // From here on the setup is only read.
  const MatchSetup& setup = ref.setup;
  RoundState& round = ref.round;
  Seats& seats = ref.seats;
  Outputs& out = ref.out;
  if (auto error = OpenOutputs(setup, out)) return *error;
  EmitLine(out.console, "PsInfo size " + std::to_string(sizeof(PsInfo)));
  RecordMatch(setup, out.record);
  CatchInterrupt(setup.options);

  MatchTotals totals;
  if (!InitPlayer(setup, round, seats, out, 1)) {
    if (seats.fault) return Finish(setup, round, seats, out, StartTime, totals, kExitPlayerFault);
    return CannotPlay(setup, seats, out, StartTime, "First Player Can't Play");
  }
  Pause100ms();
  if (!InitPlayer(setup, round, seats, out, 2)) {
    if (!seats.fault) return CannotPlay(setup, seats, out, StartTime, "Second Player Can't Play");
    CallDone(setup, round, seats, 1);
    return Finish(setup, round, seats, out, StartTime, totals, kExitPlayerFault);
  }
  PlayRounds(setup, round, seats, out, totals);
  CallDone(setup, round, seats, 1);
  CallDone(setup, round, seats, 2);
  if (interrupted && !seats.fault)
    return Finish(setup, round, seats, out, StartTime, totals, 128 + SIGINT);
  return Finish(setup, round, seats, out, StartTime, totals,
                seats.fault ? kExitPlayerFault : kExitMatchComplete);
}
