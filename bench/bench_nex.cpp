// Hot paths of the nex containers: the priority queue of the shortest-path
// search and the instance list with free slots.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <vector>

#include "nex/appendablewithfreelist.h"
#include "nex/tgraph_algo.h"

namespace {

// Push n entries with random keys, lower a quarter of them through their
// handles, then pop everything: the pattern of a Dijkstra run.
void BM_PrioQueuePushDecreasePop(benchmark::State& state) {
    const int32_t n = static_cast<int32_t>(state.range(0));
    std::mt19937 rng(4357);
    std::vector<int32_t> keys(static_cast<size_t>(n));
    for (int32_t& k : keys) k = static_cast<int32_t>(rng() % 100000);
    std::vector<nex::tPrioQueue::Entry*> handles(static_cast<size_t>(n));
    for (auto _ : state) {
        nex::tPrioQueue q;
        for (int32_t i = 0; i < n; ++i) handles[static_cast<size_t>(i)] = q.push(keys[static_cast<size_t>(i)], i);
        for (int32_t i = 0; i < n; i += 4) {
            nex::tPrioQueue::Entry* e = handles[static_cast<size_t>(i)];
            e->key_ /= 2;
            q.siftUp(e, e->position_);
        }
        int64_t sum = 0;
        while (!q.empty()) sum += q.popMin();
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_PrioQueuePushDecreasePop)->Arg(256)->Arg(4096)->Arg(65536);

struct Walker {
    int32_t state[22];  // about the size of a walker's persistent data
};

// Fill the list, free every third slot, refill the holes and walk the slots
// in use: the churn of walkers coming and going.
void BM_FreeListAddRemoveReuseIterate(benchmark::State& state) {
    const int32_t n = static_cast<int32_t>(state.range(0));
    Walker w{};
    for (auto _ : state) {
        nex::AppendableWithFreeList<Walker> list;
        for (int32_t i = 0; i < n; ++i) {
            w.state[0] = i;
            list.add(w);
        }
        for (int32_t i = 0; i < n; i += 3) list.remove(i);
        for (int32_t i = 0; i < n; i += 3) list.add(w);
        int64_t sum = 0;
        for (const Walker& x : list) sum += x.state[0];
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_FreeListAddRemoveReuseIterate)->Arg(256)->Arg(4096)->Arg(65536);

// Indexed access of live slots, the lookup behind every object id.
void BM_FreeListIndexedAccess(benchmark::State& state) {
    const int32_t n = static_cast<int32_t>(state.range(0));
    nex::AppendableWithFreeList<Walker> list;
    Walker w{};
    for (int32_t i = 0; i < n; ++i) list.add(w);
    for (auto _ : state) {
        int64_t sum = 0;
        for (int32_t i = 0; i < n; ++i) sum += list[i].state[1];
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_FreeListIndexedAccess)->Arg(4096);

}  // namespace
