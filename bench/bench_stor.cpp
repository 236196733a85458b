// The storage transport planner on networks of 10, 100 and 1000 storages
// laid out in a grid, each linked both ways to its grid neighbours. The
// planner runs a shortest-path tree from the sender and then, for each of the
// two goods types in store, passes the demand back along it and rates the
// sender's neighbours. Its floor is a plain Dijkstra over the same graph and
// road lengths (a binary heap, a distance vector), measured beside it. The
// planner is timed building the tree on every plan (as after a change of the
// links) and with the tree it keeps between plans.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <functional>
#include <queue>
#include <utility>
#include <vector>

#include "rn.h"
#include "rn_bld_stor.h"
#include "rn_game.h"
#include "rn_map.h"
#include "rn_wlk_stor.h"

namespace {

int g_storages = 0;
RnObjectID g_sender;

// A small deterministic generator, so that every run plans the same network.
uint32_t nextRandom(uint32_t& state) {
    state = state * 1664525u + 1013904223u;
    return state >> 8;
}

// A network of n storages on a square grid three tiles apart, with random
// road lengths of 8 to 15 and random stock, promises and demand; the sender
// sits in the middle with a full store. Built once per size.
void storageGrid(int n) {
    if (g_storages == n) return;
    grn_game.clear();
    const int side = static_cast<int>(std::ceil(std::sqrt(static_cast<double>(n))));
    grn_map.createEmpty(static_cast<unsigned>(side * 3 + 2));
    grn_game.storage_walker_capacity_ = 4;
    RnStorType st;
    st.type_id_ = 400;
    st.name_ = "store";
    st.capacity_ = 40;
    st.distribute_goods_ = {0, 1};
    const int16_t type_idx = grn_game.addStorType(st);
    RnStorType& type = grn_game.storType(type_idx);
    std::vector<RnObjectID> grid(static_cast<size_t>(side * side));
    uint32_t rnd = 4357;
    for (int i = 0; i < n; ++i) {
        const int gx = i % side;
        const int gy = i / side;
        RnObjectID oid = type.createBuilding(gx * 3 + 1, gy * 3 + 1);
        grid[static_cast<size_t>(i)] = oid;
        RnStor& s = grn_game.storByOid(oid);
        for (auto& g : s.goods_stored_) {
            g.second.stored_nlots_ = static_cast<uint16_t>(nextRandom(rnd) % 21);
            g.second.promised_nlots_ = static_cast<uint16_t>(nextRandom(rnd) % 4);
            g.second.demand_ = static_cast<int16_t>(static_cast<int>(nextRandom(rnd) % 16) - 10);
        }
    }
    auto link = [&](int a, int b) {
        RnStorNetEdgeData road;
        road.dist_ = static_cast<int16_t>(8 + nextRandom(rnd) % 8);
        road.len_ = 4;
        const int32_t na = grn_game.storByOid(grid[static_cast<size_t>(a)]).network_node_;
        const int32_t nb = grn_game.storByOid(grid[static_cast<size_t>(b)]).network_node_;
        type.network_.setEdge(na, nb, road);
        type.network_.setEdge(nb, na, road);
    };
    for (int i = 0; i < n; ++i) {
        if ((i % side) + 1 < side && i + 1 < n) link(i, i + 1);
        if (i + side < n) link(i, i + side);
    }
    g_sender = grid[static_cast<size_t>((side / 2) * side + side / 2 < n ? (side / 2) * side + side / 2 : 0)];
    for (auto& g : grn_game.storByOid(g_sender).goods_stored_) g.second.stored_nlots_ = 30;
    g_storages = n;
}

void planRepeatedly(benchmark::State& state, bool keep_tree) {
    storageGrid(static_cast<int>(state.range(0)));
    const RnStor& sender = grn_game.storByOid(g_sender);
    const bool was = grn_caches.stor_trees_;
    grn_caches.stor_trees_ = keep_tree;
    int planned = 0;
    for (auto _ : state) {
        RnStorTransportPlan plan;
        planned += sender.planTransport(plan) ? 1 : 0;
        benchmark::DoNotOptimize(plan);
    }
    grn_caches.stor_trees_ = was;
    benchmark::DoNotOptimize(planned);
    state.SetItemsProcessed(state.iterations());
}

void BM_PlanTransport(benchmark::State& state) { planRepeatedly(state, false); }
void BM_PlanTransportKeptTree(benchmark::State& state) { planRepeatedly(state, true); }

// The floor: shortest road lengths from the sender over the same graph.
void BM_PlanTransportBaseline(benchmark::State& state) {
    storageGrid(static_cast<int>(state.range(0)));
    const RnStor& sender = grn_game.storByOid(g_sender);
    const RnStorageNetwork& network = sender.storType().network_;
    const nex::tDiGraph& gr = network.gr_;
    int64_t total = 0;
    for (auto _ : state) {
        std::vector<int> dist(static_cast<size_t>(gr.nodeLimit()), 9999);
        using Entry = std::pair<int, int32_t>;
        std::priority_queue<Entry, std::vector<Entry>, std::greater<Entry>> queue;
        dist[static_cast<size_t>(sender.network_node_)] = 0;
        queue.push({0, sender.network_node_});
        while (!queue.empty()) {
            const Entry e = queue.top();
            queue.pop();
            if (e.first > dist[static_cast<size_t>(e.second)]) continue;
            for (nex::tDiGraph::OutEdgeIterator it(gr, e.second); !it.atEnd(); ++it) {
                const int m = e.first + network.edgeData(it.edge()).dist_;
                int& d = dist[static_cast<size_t>(it.target())];
                if (m < d) {
                    d = m;
                    queue.push({m, it.target()});
                }
            }
        }
        total += dist.back();
    }
    benchmark::DoNotOptimize(total);
    state.SetItemsProcessed(state.iterations());
}

BENCHMARK(BM_PlanTransport)->Arg(10)->Arg(100)->Arg(1000);
BENCHMARK(BM_PlanTransportKeptTree)->Arg(10)->Arg(100)->Arg(1000);
BENCHMARK(BM_PlanTransportBaseline)->Arg(10)->Arg(100)->Arg(1000);

}  // namespace
