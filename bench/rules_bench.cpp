// The rules alone: Turn against two players inside the process, with no
// output, and sowing with hands of every size.
#include <benchmark/benchmark.h>

#include "board.h"
#include "in_process_player.h"
#include "pitsow/rules.h"
#include "turn.h"

namespace {

uint32_t Seed[3] = {0, 12345, 67890};

// A random non-empty hole, as the random player chooses it.
template <int N>
int32_t RandomHole(const HoleRow my, const HoleRow, int32_t, int32_t) {
  uint32_t count = 0;
  for (int i = 0; i < PS_MAX_HOLES; ++i) count += my[i] > 0;
  if (count == 0) return 0;
  Seed[N] = Seed[N] * 134775813u + 1u;
  uint32_t r = static_cast<uint32_t>((uint64_t{Seed[N]} * count) >> 32) + 1;
  int32_t answer = 0;
  while (r > 0)
    if (my[answer++] > 0) --r;
  return answer;
}

void Ignore(int32_t) {}

void BM_Turn(benchmark::State& state) {
  Referee ref;
  ref.setup.settings.LogLevel[0] = 0;
  ref.seats.players[1] = std::make_unique<InProcessPlayer>(
      1, PlayerProcs{nullptr, RandomHole<1>, Ignore, nullptr, nullptr});
  ref.seats.players[2] = std::make_unique<InProcessPlayer>(
      2, PlayerProcs{nullptr, RandomHole<2>, Ignore, nullptr, nullptr});
  PsBoard& b = ref.round.board;
  ResetBoard(b, 6, 6);
  int64_t moves = 0;
  for (auto _ : state) {
    const int32_t before = ref.round.TurnCount;
    Turn(ref.setup, ref.round, ref.seats, ref.out);
    moves += ref.round.TurnCount - before;
    if (GameOver(b) || ref.round.TurnCount >= 300) {
      EndRound(b);
      ref.round.track.moves.clear();  // as the driver starts each round afresh
      ResetBoard(b, 6, 6);
      ref.round.TurnCount = 0;
    }
  }
  state.counters["moves/s"] =
      benchmark::Counter(static_cast<double>(moves), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_Turn);

void BM_SowHand(benchmark::State& state) {
  const auto hand = static_cast<int32_t>(state.range(0));
  for (auto _ : state) {
    HoleRow my = {hand, 1, 2, 3, 4, 5}, opp = {5, 4, 3, 2, 1, 0};
    int32_t store = 0;
    // The position unknown to the compiler, which sees the inline sowing.
    benchmark::DoNotOptimize(my);
    benchmark::DoNotOptimize(opp);
    benchmark::DoNotOptimize(store);
    benchmark::DoNotOptimize(PsSow(my, opp, &store, 6, 1));
    benchmark::DoNotOptimize(my);
  }
}
BENCHMARK(BM_SowHand)->Arg(6)->Arg(1000)->Arg(178956970);

}  // namespace

BENCHMARK_MAIN();
