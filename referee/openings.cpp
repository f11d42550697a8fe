#include "openings.h"

#include <fstream>

#include "board_display.h"
#include "command_line.h"
#include "number_format.h"
#include "run_log.h"

std::optional<std::string> PlayOpening(Board& board, const Opening& opening, int32_t numBones,
                                       std::string* detail) {
  for (const int32_t hole : opening) {
    const int32_t mover = board.CurPlayer, other = 3 - mover;
    if (hole < 1 || hole > board.NumHoles)
      return "hole " + std::to_string(hole) + " is not a hole from 1 to " +
             std::to_string(board.NumHoles);
    if (board.Holes[mover][hole - 1] <= 0)
      return "hole " + std::to_string(hole) + " of player " + std::to_string(mover) + " is empty";
    const SowResult sown =
        Sow(board.Holes[mover], board.Holes[other], board.Store[mover], board.NumHoles, hole);
    if (detail != nullptr) {
      AppendMoveLines(*detail, mover, sown);
      *detail += BoardPicture(board, mover, hole);
    }
    if (CheckGame(board, numBones)) return "the opening ends the round";
    board.CurPlayer = sown.ExtraMove ? mover : other;
  }
  return std::nullopt;
}

std::optional<Error> ReadOpenings(const std::string& path, int32_t numHoles, int32_t numBones,
                                  std::vector<Opening>& openings) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return Error{"pitsow: cannot read the openings file " + path};
  std::string line;
  for (int number = 1; std::getline(in, line); ++number) {
    Opening opening;
    std::string token;
    auto take = [&]() -> bool {
      if (token.empty()) return true;
      const std::optional<int32_t> v = ParseInteger(token);
      token.clear();
      if (!v) return false;
      opening.push_back(*v);
      return true;
    };
    bool ok = true;
    for (char c : line + " ") {
      if (c == ' ' || c == '\t' || c == ',' || c == '\r') {
        ok = ok && take();
      } else {
        token.push_back(c);
      }
    }
    const std::string where = "pitsow: " + path + ", line " + std::to_string(number) + ": ";
    if (!ok) return Error{where + "not a list of holes: " + line};
    if (opening.empty()) continue;  // a blank line
    Board board;
    ResetBoard(board, numHoles, numBones);
    if (auto problem = PlayOpening(board, opening, numBones, nullptr))
      return Error{where + *problem};
    openings.push_back(std::move(opening));
  }
  if (openings.empty()) return Error{"pitsow: " + path + " holds no opening"};
  return std::nullopt;
}

std::string OpeningLine(const Opening& opening) {
  std::string line = "Opening:";
  for (const int32_t hole : opening) {
    line += " ";
    AppendInt(line, hole);
  }
  return line + "\r\n";
}
