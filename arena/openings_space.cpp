#include "openings_space.h"

#include <map>
#include <mutex>
#include <tuple>

#include "openings.h"
#include "split_mix.h"

namespace {

// Positions a walk may visit: deep openings on a board whose rounds end
// early can have few leaves below a vast tree, and then no count is had.
constexpr int64_t kWalkBudget = 30000000;

// Calls leaf(path) for every opening of `depth` moves below b, in the order
// of their holes; stops as soon as leaf returns false or the budget is
// spent.
template <class Leaf>
bool Walk(const PsBoard& b, int depth, std::vector<uint8_t>& path, Leaf& leaf, int64_t& budget) {
  if (static_cast<int>(path.size()) == depth) return leaf(path);
  for (int m = 1; m <= b.NumHoles; ++m) {
    if (--budget < 0) return false;
    PsBoard next = b;
    if (!PlayOpeningMove(next, m) || next.RoundOver) continue;
    path.push_back(static_cast<uint8_t>(m));
    const bool go = Walk(next, depth, path, leaf, budget);
    path.pop_back();
    if (!go) return false;
  }
  return true;
}

// False when the budget ran out before the walk was done.
template <class Leaf>
bool WalkOpenings(int holes, int bones, int depth, Leaf& leaf) {
  PsBoard b{};
  std::vector<uint8_t> path;
  if (depth == 0) {
    leaf(path);  // the filled board itself, ended or not, as ever
    return true;
  }
  int64_t budget = kWalkBudget;
  if (PsSetUpBoard(&b, holes, bones) && !PsIsRoundOver(&b)) Walk(b, depth, path, leaf, budget);
  return budget >= 0;
}

// The deepest search for a depth that has enough openings: beyond it a
// board has too few moves to tell openings apart anyway.
constexpr int kDeepest = 200;

std::string Repeats(int64_t distinct, int depth, int64_t pairs) {
  return "only " + std::to_string(distinct) + " distinct openings of " + std::to_string(depth) +
         " moves for " + (pairs > 0 ? std::to_string(pairs) : "an uncapped number of") +
         " pairs: openings repeat";
}

}  // namespace

int64_t CountOpenings(int holes, int bones, int depth, int64_t limit) {
  int64_t count = 0;
  auto leaf = [&](const std::vector<uint8_t>&) { return ++count <= limit; };
  if (!WalkOpenings(holes, bones, depth, leaf)) return limit + 1;  // too many to count
  return count;
}

OpeningDepth ChooseOpeningDepth(int holes, int bones, int wanted, int64_t pairs) {
  // Enough: more openings than pairs, or plenty when there is no cap.
  const int64_t enough = pairs > 0 ? pairs + 1 : kUncappedOpenings;
  const auto too_many = [](int64_t d) { return d > kOpeningListLimit; };
  const auto warning = [&](int64_t d, int depth) -> std::string {
    if (too_many(d) && enough > kOpeningListLimit)
      return "more than " + std::to_string(kOpeningListLimit) + " openings of " +
             std::to_string(depth) +
             " moves (or too many to count) are drawn at random: repeats are possible";
    return d < enough ? Repeats(d, depth, pairs) : "";
  };
  if (wanted >= 0) {
    const int64_t d = CountOpenings(holes, bones, wanted, kOpeningListLimit);
    return {wanted, d, d == 0 ? "" : warning(d, wanted)};
  }
  OpeningDepth best;
  for (int depth = 0; depth <= kDeepest; ++depth) {
    const int64_t d = CountOpenings(holes, bones, depth, kOpeningListLimit);
    if (d >= enough || too_many(d)) return {depth, d, warning(d, depth)};
    if (d > best.distinct) best = {depth, d, ""};
    if (d == 0) break;
  }
  best.warning = Repeats(best.distinct, best.depth, pairs);
  return best;
}

std::vector<int> OpeningList::At(int64_t i) const {
  const auto first = moves.begin() + i * depth;
  return std::vector<int>(first, first + depth);
}

std::shared_ptr<const OpeningList> ListOpenings(int holes, int bones, int depth, uint64_t seed) {
  static std::mutex lock;
  static std::map<std::tuple<int, int, int, uint64_t>, std::shared_ptr<const OpeningList>> made;
  const std::lock_guard<std::mutex> hold(lock);
  const auto key = std::make_tuple(holes, bones, depth, seed);
  if (const auto found = made.find(key); found != made.end()) return found->second;
  auto list = std::make_shared<OpeningList>();
  list->depth = depth;
  auto leaf = [&](const std::vector<uint8_t>& path) {
    if (++list->count > kOpeningListLimit) return false;
    list->moves.insert(list->moves.end(), path.begin(), path.end());
    return true;
  };
  if (!WalkOpenings(holes, bones, depth, leaf) || list->count > kOpeningListLimit) list = nullptr;
  if (list) {
    // Fisher-Yates with the seed's own generator: the same order anywhere.
    uint64_t state = seed;
    const auto d = static_cast<size_t>(depth);
    for (int64_t i = list->count - 1; i > 0; --i) {
      const auto j = static_cast<int64_t>(SplitMix64(state) % static_cast<uint64_t>(i + 1));
      for (size_t m = 0; m < d; ++m)
        std::swap(list->moves[static_cast<size_t>(i) * d + m],
                  list->moves[static_cast<size_t>(j) * d + m]);
    }
  }
  made[key] = list;
  return list;
}
