// Hot paths of the world core: the area effect of desirability at its widest
// range (the update queue has bench_queue).
#include <benchmark/benchmark.h>

#include <cstdint>

#include "rn_game.h"
#include "rn_map.h"

namespace {

// A building's desirability spread and taken back at range 15 on open land.
void BM_SpreadDesirability(benchmark::State& state) {
    grn_map.createEmpty(64);
    grn_game.map_range_desirability_ = 15;
    const int16_t size = static_cast<int16_t>(state.range(0));
    for (auto _ : state) {
        grn_game.spreadDesirability(0, 0, 50, 32, 32, size, size);
        grn_game.spreadDesirability(0, 50, 0, 32, 32, size, size);
    }
    benchmark::DoNotOptimize(grn_map.tile(33, 33).desirability_);
    grn_map.clear();
    state.SetItemsProcessed(state.iterations() * 2);
}
BENCHMARK(BM_SpreadDesirability)->Arg(1)->Arg(3);

}  // namespace
