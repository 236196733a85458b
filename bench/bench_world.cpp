// Hot paths of the world core: the update queue with many pending objects
// and the area effect of desirability at its widest range.
#include <benchmark/benchmark.h>

#include <cstdint>

#include "rn_game.h"
#include "rn_map.h"

namespace {

constexpr int32_t kObjects = 100000;

// Script-job ids: the queue takes them without an object lookup, so the
// numbers are those of the queue's own map and set.
RnObjectID jobId(int32_t i) { return RnObjectID(RnIdScriptJob, 0, i); }

// Times spread over a game week, as wake-ups of a busy town are.
uint32_t timeOf(int32_t i) { return 1000u + static_cast<uint32_t>((i * 7919) % 2016); }

void fill(RnGameUpdateQueue& q) {
    for (int32_t i = 0; i < kObjects; ++i) q.schedule(timeOf(i), jobId(i));
}

void BM_QueueSchedule(benchmark::State& state) {
    RnGameUpdateQueue& q = grn_game.updateQueue();
    for (auto _ : state) {
        q.clear();
        fill(q);
        benchmark::DoNotOptimize(q.size());
    }
    q.clear();
    state.SetItemsProcessed(state.iterations() * kObjects);
}
BENCHMARK(BM_QueueSchedule)->Unit(benchmark::kMillisecond);

// Bringing every job forward: the old job is found among those of its time
// and replaced.
void BM_QueueReplace(benchmark::State& state) {
    RnGameUpdateQueue& q = grn_game.updateQueue();
    q.clear();
    fill(q);
    uint32_t shift = 1;
    for (auto _ : state) {
        for (int32_t i = 0; i < kObjects; ++i) q.schedule(timeOf(i) - shift, jobId(i));
        if (++shift >= 1000) {
            state.PauseTiming();
            q.clear();
            fill(q);
            shift = 1;
            state.ResumeTiming();
        }
    }
    q.clear();
    state.SetItemsProcessed(state.iterations() * kObjects);
}
BENCHMARK(BM_QueueReplace)->Unit(benchmark::kMillisecond);

void BM_QueuePop(benchmark::State& state) {
    RnGameUpdateQueue& q = grn_game.updateQueue();
    for (auto _ : state) {
        state.PauseTiming();
        q.clear();
        fill(q);
        state.ResumeTiming();
        while (!q.empty()) q.pop();
    }
    state.SetItemsProcessed(state.iterations() * kObjects);
}
BENCHMARK(BM_QueuePop)->Unit(benchmark::kMillisecond);

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
