#include "turn.h"

#include "board_display.h"
#include "player_calls.h"
#include "run_log.h"

void Turn(const MatchSetup& setup, RoundState& round, Seats& seats, const Outputs& out) {
  PsBoard& board = round.board;
  const Settings& s = setup.settings;
  const int32_t mover = CurPlayer(board);
  const int32_t opponent = 3 - mover;
  for (;;) {
    const int32_t m =
        CallGetTurn(setup, round, seats, mover, Holes(board, mover), Holes(board, opponent),
                    Store(board, mover), Store(board, opponent));
    if (seats.fault) {  // an isolated player died in the call: the round ends here
      SetGameOver(board);
      return;
    }
    PsSowing sown{};
    if (!PsPlayMoveUnswept(&board, m, &sown)) {  // outside 1..NumHoles: rejected
      round.track.rejected_player = mover;
      round.track.rejected_answer = m;
      if (LogsBasic(s)) Emit(out.log, RejectedLine(m, s.NumHoles, mover));
      ReportToStderr(RejectedReport(round.Round, round.TurnCount, mover, m, s.NumHoles));
      SetGameOver(board);
      return;
    }
    round.track.moves.push_back({mover, m});
    if (LogsDetail(s)) {
      // The move's lines and the board after it, in one write.
      std::string lines;
      AppendMoveLines(lines, mover, sown);
      lines += BoardPicture(board, mover, m);
      Emit(out.log, lines);
    }
    CallOppTurn(setup, round, seats, opponent, m);
    if (seats.fault) SetGameOver(board);
    ++round.TurnCount;
    if (GameOver(board) || CurPlayer(board) != mover) return;
  }
}
