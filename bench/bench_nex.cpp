// Hot paths of the nex containers: the priority queue of the shortest-path
// search, the instance list with free slots and the directed graph under the
// storage and workforce networks.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <utility>
#include <vector>

#include "nex/appendablewithfreelist.h"
#include "nex/tgraph.h"
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

// Build a sparse graph (about four out-edges a node), walk every node's
// incident edges, then remove every other node with its edges: the churn of
// buildings joining and leaving a network.
void BM_DiGraphBuildWalkRemove(benchmark::State& state) {
    const int32_t n = static_cast<int32_t>(state.range(0));
    std::mt19937 rng(4357);
    std::vector<std::pair<int32_t, int32_t>> links;
    for (int32_t i = 0; i < 4 * n; ++i) {
        links.emplace_back(1 + static_cast<int32_t>(rng() % static_cast<uint32_t>(n)),
                           1 + static_cast<int32_t>(rng() % static_cast<uint32_t>(n)));
    }
    for (auto _ : state) {
        tDiGraph g;
        for (int32_t i = 0; i < n; ++i) g.addNode();
        for (const auto& l : links) g.addEdge(l.first, l.second);
        int64_t sum = 0;
        for (int32_t v = g.firstNode(); v != 0; v = g.nextNode(v)) {
            for (tDiGraph::EdgeIterator it(g, v); it; ++it) sum += it.other();
        }
        for (int32_t v = 1; v <= n; v += 2) g.removeNode(v);
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_DiGraphBuildWalkRemove)->Arg(256)->Arg(4096);

}  // namespace
