#include "openings.h"

#include <sys/stat.h>

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

namespace {

// The longest line an openings file may hold: far above any opening's.
constexpr size_t kMaxLineBytes = 4096;

// A line as an error message shows it: bytes below 32 as '?'.
std::string Shown(std::string line) {
  for (char& c : line)
    if (static_cast<unsigned char>(c) < 32 || c == 127) c = '?';
  return line;
}

// The next line of in, up to kMaxLineBytes; false at the end of the file,
// `tooLong` when the line goes on beyond that.
bool NextLine(std::istream& in, std::string& line, bool& tooLong) {
  line.clear();
  tooLong = false;
  char c = 0;
  bool any = false;
  while (in.get(c)) {
    any = true;
    if (c == '\n') return true;
    if (line.size() >= kMaxLineBytes) {
      tooLong = true;
      return true;
    }
    line.push_back(c);
  }
  return any;
}

std::optional<Opening> ParseOpening(const std::string& line) {
  Opening opening;
  std::string token;
  for (char c : line + " ") {
    if (c == ' ' || c == '\t' || c == ',' || c == '\r') {
      if (token.empty()) continue;
      const std::optional<int32_t> v = ParseInteger(token);
      token.clear();
      if (!v) return std::nullopt;
      opening.push_back(*v);
    } else {
      token.push_back(c);
    }
  }
  return opening;
}

}  // namespace

std::optional<Error> ReadOpenings(const std::string& path, int32_t numHoles, int32_t numBones,
                                  std::vector<Opening>& openings) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) return Error{"pitsow: cannot read the openings file " + path};
  if (!S_ISREG(st.st_mode))
    return Error{"pitsow: the openings file " + path + " is not a regular file"};
  std::ifstream in(path, std::ios::binary);
  if (!in) return Error{"pitsow: cannot read the openings file " + path};
  std::string line;
  bool tooLong = false;
  for (int number = 1; NextLine(in, line, tooLong); ++number) {
    const std::string where = "pitsow: " + path + ", line " + std::to_string(number) + ": ";
    if (tooLong) return Error{where + "longer than " + std::to_string(kMaxLineBytes) + " bytes"};
    const std::optional<Opening> opening = ParseOpening(line);
    if (!opening) return Error{where + "not a list of holes: " + Shown(line)};
    if (opening->empty()) continue;  // a blank line
    Board board;
    ResetBoard(board, numHoles, numBones);
    if (auto problem = PlayOpening(board, *opening, numBones, nullptr))
      return Error{where + *problem};
    openings.push_back(*opening);
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
