#include "perft.h"

uint64_t Perft(const PsBoard& board, int depth) {
  if (depth == 0) return 1;
  int32_t moves[PS_MAX_HOLES];
  const int count = PsSowingMoves(&board, moves);
  if (depth == 1) return static_cast<uint64_t>(count);
  uint64_t leaves = 0;
  for (int i = 0; i < count; ++i) {
    PsBoard next = board;
    PsPlayMove(&next, moves[i], nullptr);
    leaves += next.RoundOver ? 1 : Perft(next, depth - 1);
  }
  return leaves;
}

Result<std::vector<uint64_t>> CountFromStart(int32_t holes, int32_t bones, int depth) {
  PsBoard board;
  if (!PsSetUpBoard(&board, holes, bones))
    return Error{"holes must be 1 to 6 and bones 0 to " + std::to_string(PS_MAX_BONES)};
  if (depth < 0) return Error{"depth must not be negative"};
  std::vector<uint64_t> counts;
  for (int d = 1; d <= depth; ++d) counts.push_back(Perft(board, d));
  return counts;
}
