#include "openings.h"

#include <sys/stat.h>

#include <fstream>

#include "integer_text.h"

bool PlayOpeningMove(PsBoard& board, int32_t hole, PsSowing* sowing) {
  if (hole < 1 || hole > board.NumHoles || board.Holes[board.Mover - 1][hole - 1] <= 0)
    return false;
  return PsPlayMove(&board, hole, sowing) != 0;
}

std::optional<Error> PlayOpening(PsBoard& board, const Opening& opening,
                                 const OpeningMoveSeen& seen) {
  for (const int32_t hole : opening) {
    const int32_t mover = board.Mover;
    if (hole < 1 || hole > board.NumHoles)
      return Error{"hole " + std::to_string(hole) + " is not a hole from 1 to " +
                   std::to_string(board.NumHoles)};
    PsSowing sown{};
    if (!PlayOpeningMove(board, hole, &sown))
      return Error{"hole " + std::to_string(hole) + " of player " + std::to_string(mover) +
                   " is empty"};
    if (seen) seen(board, mover, hole, sown);
    if (board.RoundOver) return Error{"the opening ends the round"};
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
// `too_long` when the line goes on beyond that.
bool NextLine(std::istream& in, std::string& line, bool& too_long) {
  line.clear();
  too_long = false;
  char c = 0;
  bool any = false;
  while (in.get(c)) {
    any = true;
    if (c == '\n') return true;
    if (line.size() >= kMaxLineBytes) {
      too_long = true;
      return true;
    }
    line.push_back(c);
  }
  return any;
}

}  // namespace

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

Result<std::vector<Opening>> ReadOpenings(const std::string& path, int32_t holes, int32_t bones) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) return Error{"pitsow: cannot read the openings file " + path};
  if (!S_ISREG(st.st_mode))
    return Error{"pitsow: the openings file " + path + " is not a regular file"};
  std::ifstream in(path, std::ios::binary);
  if (!in) return Error{"pitsow: cannot read the openings file " + path};
  PsBoard filled{};
  if (!PsSetUpBoard(&filled, holes, bones))
    return Error{"pitsow: no openings on a board of " + std::to_string(holes) + " holes of " +
                 std::to_string(bones) + " bones"};
  std::vector<Opening> openings;
  std::string line;
  bool too_long = false;
  for (int number = 1; NextLine(in, line, too_long); ++number) {
    const std::string where = "pitsow: " + path + ", line " + std::to_string(number) + ": ";
    if (too_long) return Error{where + "longer than " + std::to_string(kMaxLineBytes) + " bytes"};
    const std::optional<Opening> opening = ParseOpening(line);
    if (!opening) return Error{where + "not a list of holes: " + Shown(line)};
    if (opening->empty()) continue;  // a blank line
    PsBoard board = filled;
    if (auto problem = PlayOpening(board, *opening)) return Error{where + problem->text};
    openings.push_back(*opening);
  }
  if (openings.empty()) return Error{"pitsow: " + path + " holds no opening"};
  return openings;
}
