#include "turn.h"

#include "board_display.h"
#include "player_calls.h"
#include "run_log.h"

void Turn(Referee& ref, HoleRow& MyHoles, HoleRow& OppHoles, int32_t& MyStore, int32_t& OppStore) {
  Board& board = ref.board;
  const Settings& s = ref.settings;
  const int32_t mover = board.CurPlayer;
  const int32_t opponent = 3 - mover;
  for (;;) {
    const int32_t m = CallGetTurn(ref, mover, MyHoles, OppHoles, MyStore, OppStore);
    if (ref.fault) {  // an isolated player died in the call: the round ends here
      board.GameOver = true;
      return;
    }
    if (m < 1 || m > s.NumHoles) {
      ref.track.rejected_player = mover;
      ref.track.rejected_answer = m;
      if (LogsBasic(s)) Emit(ref.log, RejectedLine(m, s.NumHoles, mover));
      ReportToStderr(RejectedReport(ref.Round, board.TurnCount, mover, m, s.NumHoles));
      board.GameOver = true;
      return;
    }

    const PsSowing sown = PsSow(MyHoles, OppHoles, &MyStore, s.NumHoles, m);
    ref.track.moves.push_back({mover, m});
    if (LogsDetail(s)) {
      // The move's lines and the board after it, in one write.
      std::string lines;
      AppendMoveLines(lines, mover, sown);
      lines += BoardPicture(board, mover, m);
      Emit(ref.log, lines);
    }
    CallOppTurn(ref, opponent, m);
    board.GameOver = ref.fault.has_value() || CheckGame(board, s.NumBones);
    ++board.TurnCount;
    if (!sown.ExtraMove || board.GameOver) {
      board.CurPlayer = sown.ExtraMove ? mover : opponent;
      return;
    }
  }
}
