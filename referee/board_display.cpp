#include "board_display.h"

#include "number_format.h"
#include "run_log.h"

std::string BoardPicture(const PsBoard& board, int32_t mover, int32_t hole) {
  const int32_t holes = board.NumHoles;
  std::string out;
  AppendInt(out, mover);
  out += " ------------------ ";
  AppendInt(out, hole, 1);
  out += " -----------------\r\n";

  AppendInt(out, mover);
  out += " Player 2: ";
  AppendInt(out, Store(board, 2), 2);
  out += "  ";
  for (int i = holes; i >= 1; --i) AppendInt(out, Holes(board, 2)[i - 1], 3);
  out += "\r\n";

  AppendInt(out, mover);
  out += " Player 1:     ";
  for (int i = 1; i <= holes; ++i) AppendInt(out, Holes(board, 1)[i - 1], 3);
  out += "   ";
  AppendInt(out, Store(board, 1), 2);
  out += "\r\n";

  AppendInt(out, mover);
  out += " --------------------------------------\r\n";
  return out;
}

void PrintState(const OutStream& log, const PsBoard& board, int32_t Mover, int32_t Hole) {
  Emit(log, BoardPicture(board, Mover, Hole));
}

std::optional<Error> PlayOpeningLogged(PsBoard& board, const Opening& opening,
                                       std::string* detail) {
  OpeningMoveSeen draw = nullptr;
  if (detail != nullptr)
    draw = [detail](const PsBoard& after, int32_t mover, int32_t hole, const PsSowing& sown) {
      AppendMoveLines(*detail, mover, sown);
      *detail += BoardPicture(after, mover, hole);
    };
  return PlayOpening(board, opening, draw);
}

std::string OpeningLine(const Opening& opening) {
  std::string line = "Opening:";
  for (const int32_t hole : opening) {
    line += " ";
    AppendInt(line, hole);
  }
  return line + "\r\n";
}
