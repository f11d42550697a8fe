#include "turn.h"

#include "board_display.h"
#include "player_calls.h"
#include "run_log.h"

void Turn(Referee& ref) {
  PsBoard& board = ref.board;
  const Settings& s = ref.settings;
  const int32_t mover = CurPlayer(board);
  const int32_t opponent = 3 - mover;
  for (;;) {
    const int32_t m = CallGetTurn(ref, mover, Holes(board, mover), Holes(board, opponent),
                                  Store(board, mover), Store(board, opponent));
    if (ref.fault) {  // an isolated player died in the call: the round ends here
      EndGame(board);
      return;
    }
    PsSowing sown{};
    if (!PsPlayMoveUnswept(&board, m, &sown)) {  // outside 1..NumHoles: rejected
      ref.track.rejected_player = mover;
      ref.track.rejected_answer = m;
      if (LogsBasic(s)) Emit(ref.log, RejectedLine(m, s.NumHoles, mover));
      ReportToStderr(RejectedReport(ref.Round, ref.TurnCount, mover, m, s.NumHoles));
      EndGame(board);
      return;
    }
    ref.track.moves.push_back({mover, m});
    if (LogsDetail(s)) {
      // The move's lines and the board after it, in one write.
      std::string lines;
      AppendMoveLines(lines, mover, sown);
      lines += BoardPicture(board, mover, m);
      Emit(ref.log, lines);
    }
    CallOppTurn(ref, opponent, m);
    if (ref.fault) EndGame(board);
    ++ref.TurnCount;
    if (GameOver(board) || CurPlayer(board) != mover) return;
  }
}
