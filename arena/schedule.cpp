#include "schedule.h"

#include <fstream>
#include <sstream>

#include "board.h"
#include "openings_space.h"

std::vector<std::pair<int, int>> Pairings(const TournamentSettings& s) {
  std::vector<std::pair<int, int>> out;
  const int n = static_cast<int>(s.players.size());
  const int firsts = s.format == "gauntlet" ? 1 : n;
  for (int a = 0; a < firsts; ++a)
    for (int b = a + 1; b < n; ++b) out.emplace_back(a, b);
  return out;
}

uint64_t SplitMix64(uint64_t& state) {
  uint64_t z = (state += 0x9E3779B97F4A7C15ULL);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
  return z ^ (z >> 31);
}

bool PlayOpeningMove(Board& b, int holes, int m) {
  if (m < 1 || m > holes) return false;
  const int me = b.CurPlayer, other = 3 - me;
  if (b.Holes[me][m - 1] <= 0) return false;
  const SowResult r = Sow(b.Holes[me], b.Holes[other], b.Store[me], holes, m);
  if (!r.ExtraMove) b.CurPlayer = other;
  return true;
}

std::optional<std::vector<int>> RandomOpening(int holes, int bones, int moves, uint64_t seed,
                                              int pair) {
  if (moves <= 0) return std::vector<int>{};
  uint64_t state = seed;
  state = SplitMix64(state) ^ static_cast<uint64_t>(pair);
  for (int attempt = 0; attempt < 10000; ++attempt) {
    Board b;
    ResetBoard(b, holes, bones);
    std::vector<int> opening;
    bool ended = CheckGame(b, bones);
    for (int k = 0; k < moves && !ended; ++k) {
      int filled[PS_MAX_HOLES], count = 0;
      for (int h = 1; h <= holes; ++h)
        if (b.Holes[b.CurPlayer][h - 1] > 0) filled[count++] = h;
      if (count == 0) {
        ended = true;
        break;
      }
      const int m = filled[SplitMix64(state) % static_cast<uint64_t>(count)];
      PlayOpeningMove(b, holes, m);
      opening.push_back(m);
      ended = CheckGame(b, bones);
    }
    if (!ended) return opening;
  }
  return std::nullopt;
}

std::string CheckOpening(int holes, int bones, const std::vector<int>& opening) {
  Board b;
  ResetBoard(b, holes, bones);
  for (int m : opening) {
    if (CheckGame(b, bones)) return "the opening ends the round";
    if (!PlayOpeningMove(b, holes, m)) return "hole " + std::to_string(m) + " is empty or missing";
  }
  if (CheckGame(b, bones)) return "the opening ends the round";
  return "";
}

std::vector<int> OpeningOf(const TournamentSettings& s, int pair) {
  if (!s.opening_lines.empty())
    return s.opening_lines[static_cast<size_t>(pair) % s.opening_lines.size()];
  const auto list = ListOpenings(s.holes, s.bones, s.opening_depth, s.seed);
  if (list && list->count > 0) return list->At(pair % list->count);
  return RandomOpening(s.holes, s.bones, s.opening_depth, s.seed, pair)
      .value_or(std::vector<int>{});
}

bool InShard(const TournamentSettings& s, int pairing, int pair) {
  const int64_t index = int64_t{pairing} * s.pairs + pair;
  return index % s.shards == s.shard - 1;
}
