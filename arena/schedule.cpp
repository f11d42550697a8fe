#include "schedule.h"

#include <fstream>
#include <sstream>

#include "openings.h"
#include "openings_space.h"
#include "split_mix.h"

std::vector<std::pair<int, int>> Pairings(const TournamentSettings& s) {
  std::vector<std::pair<int, int>> out;
  const int n = static_cast<int>(s.players.size());
  const int firsts = s.format == "gauntlet" ? 1 : n;
  for (int a = 0; a < firsts; ++a)
    for (int b = a + 1; b < n; ++b) out.emplace_back(a, b);
  return out;
}

std::optional<std::vector<int>> RandomOpening(int holes, int bones, int moves, uint64_t seed,
                                              int pair) {
  if (moves <= 0) return std::vector<int>{};
  uint64_t state = seed;
  state = SplitMix64(state) ^ static_cast<uint64_t>(pair);
  PsBoard filled{};
  if (!PsSetUpBoard(&filled, holes, bones)) return std::nullopt;
  for (int attempt = 0; attempt < 10000; ++attempt) {
    PsBoard b = filled;
    std::vector<int> opening;
    bool ended = PsIsRoundOver(&b);
    for (int k = 0; k < moves && !ended; ++k) {
      int32_t sowing[PS_MAX_HOLES];
      const int count = PsSowingMoves(&b, sowing);
      if (count == 0) {
        ended = true;
        break;
      }
      const int m = sowing[SplitMix64(state) % static_cast<uint64_t>(count)];
      PlayOpeningMove(b, m);
      opening.push_back(m);
      ended = b.RoundOver;
    }
    if (!ended) return opening;
  }
  return std::nullopt;
}

std::optional<Error> CheckOpening(int holes, int bones, const std::vector<int>& opening) {
  PsBoard b{};
  if (!PsSetUpBoard(&b, holes, bones)) return Error{"no board of these holes and bones"};
  if (PsIsRoundOver(&b)) return Error{"the opening ends the round"};
  return PlayOpening(b, Opening(opening.begin(), opening.end()));
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
