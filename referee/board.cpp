#include "board.h"

void ResetBoard(Board& board, int32_t numHoles, int32_t numBones) {
  board.NumHoles = numHoles;
  for (int p = 1; p <= 2; ++p) {
    for (int i = 0; i < PS_MAX_HOLES; ++i) board.Holes[p][i] = i < numHoles ? numBones : 0;
    board.Store[p] = 0;
  }
  board.GameOver = false;
  board.TurnCount = 0;
  board.CurPlayer = 1;
}

int64_t RowSum(const Board& board, int player) {
  int64_t sum = 0;
  for (int i = 0; i < board.NumHoles; ++i) sum += board.Holes[player][i];
  return sum;
}

namespace {

// A lap passes 2n + 1 places: the mover's holes 1..n (places 0..n-1), the
// mover's store (place n) and the opponent's holes 1..n (places n+1..2n).
struct Lap {
  HoleRow& my;
  HoleRow& opp;
  int32_t& store;
  int32_t n;

  // Adds v bones to each of the places from..to.
  void Add(int32_t from, int32_t to, int32_t v) const {
    for (int32_t p = from; p <= to; ++p) {
      if (p < n)
        my[p] += v;
      else if (p == n)
        store += v;
      else
        opp[p - n - 1] += v;
    }
  }
};

}  // namespace

SowResult Sow(HoleRow& myHoles, HoleRow& oppHoles, int32_t& myStore, int32_t numHoles, int32_t m) {
  const Lap lap{myHoles, oppHoles, myStore, numHoles};
  const int64_t lapLength = 2 * int64_t{numHoles} + 1;
  int64_t hand = myHoles[m - 1];
  myHoles[m - 1] = 0;
  if (hand <= 0) return {};  // an empty hole: a pass

  // The first lap starts behind the emptied hole; later ones at hole 1 and
  // pass over it too. Whole laps are added at once, so that the last,
  // partial lap holds between 1 and a lap's worth of bones.
  int32_t start = m;
  const int64_t firstLap = lapLength - m;
  if (hand > firstLap) {
    lap.Add(m, 2 * numHoles, 1);
    hand -= firstLap;
    const int64_t fullLaps = (hand - 1) / lapLength;
    if (fullLaps > 0) lap.Add(0, 2 * numHoles, static_cast<int32_t>(fullLaps));
    hand -= fullLaps * lapLength;
    start = 0;
  }
  const int32_t last = start + static_cast<int32_t>(hand) - 1;
  lap.Add(start, last, 1);

  SowResult result;
  if (last == numHoles) {
    result.ExtraMove = true;
  } else if (last < numHoles && myHoles[last] == 1) {
    int32_t& opposite = oppHoles[numHoles - 1 - last];
    if (opposite > 0) {
      myStore += opposite + 1;
      opposite = 0;
      myHoles[last] = 0;
      result.Captured = last + 1;
    }
  }
  return result;
}

bool CheckGame(const Board& board, int32_t numBones) {
  const int64_t half = int64_t{board.NumHoles} * numBones;
  if (board.Store[1] > half || board.Store[2] > half) return true;
  return RowSum(board, 1) == 0 || RowSum(board, 2) == 0;
}

void EndRound(Board& board) {
  const int64_t s1 = RowSum(board, 1);
  const int64_t s2 = RowSum(board, 2);
  if (s1 == 0) board.Store[2] += static_cast<int32_t>(s2);
  if (s2 == 0) board.Store[1] += static_cast<int32_t>(s1);
}
