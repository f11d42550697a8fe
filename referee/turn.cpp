#include "turn.h"

#include <cstring>

#include "board_display.h"
#include "number_format.h"

void Turn(Referee& ref, HoleRow& MyHoles, HoleRow& OppHoles, int32_t& MyStore, int32_t& OppStore) {
  Board& board = ref.board;
  const Settings& s = ref.settings;
  const int32_t mover = board.CurPlayer;
  const int32_t opponent = 3 - mover;
  for (;;) {
    HoleRow mine, theirs;
    std::memcpy(mine, MyHoles, sizeof mine);
    std::memcpy(theirs, OppHoles, sizeof theirs);
    const int32_t m = ref.players[mover].GetTurn(mine, theirs, MyStore, OppStore);
    if (m < 1 || m > s.NumHoles) {
      if (LogsBasic(s)) {
        std::string line = "      ERROR!!!  PsGetTurn Wrong Result: ";
        AppendInt(line, m);
        line += ", NumHoles= ";
        AppendInt(line, s.NumHoles);
        line += " Player: ";
        AppendInt(line, mover);
        EmitLine(ref.log, std::move(line));
      }
      board.GameOver = true;
      return;
    }

    const SowResult sown = Sow(MyHoles, OppHoles, MyStore, s.NumHoles, m);
    if (LogsDetail(s)) {
      // The move's lines and the board after it, in one write.
      std::string lines;
      if (sown.Captured != 0) {
        lines += "  Empty ";
        AppendInt(lines, mover);
        lines += " i: ";
        AppendInt(lines, sown.Captured);
        lines += kLineEnd;
      }
      if (sown.ExtraMove) {
        lines += "  Pitsow ";
        AppendInt(lines, mover);
        lines += kLineEnd;
      }
      lines += BoardPicture(board, s.NumHoles, mover, m);
      Emit(ref.log, lines);
    }
    ref.players[opponent].OppTurn(m);
    board.GameOver = CheckGame(board, s.NumHoles, s.NumBones);
    ++board.TurnCount;
    if (!sown.ExtraMove || board.GameOver) {
      board.CurPlayer = sown.ExtraMove ? mover : opponent;
      return;
    }
  }
}
