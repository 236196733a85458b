// Road searches and walker half-steps. The floods and the path finder run on
// maps that are all road, of side 256, 1024 and 4096: their cost must follow
// the tiles they reach, not the side of the map. Each is measured beside a
// bare breadth-first search over the same tiles (the floor of such a
// search); a walker's half-step beside a bare loop doing the same queue and
// tile-list work.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "bench_clock.h"
#include "rn_bld_serv.h"
#include "rn_game.h"
#include "rn_map.h"
#include "rn_pathfind.h"
#include "rn_wlk_serv.h"

namespace {

// The side of the road grid on the map, 0 when the map is something else.
int g_grid_side = 0;

// A map of the side whose every tile holds a road (the searches read only the
// tiles' object kinds). Rebuilt only when the side changes.
void roadGrid(int side) {
    if (g_grid_side == side) return;
    grn_map.createEmpty(static_cast<unsigned>(side));
    for (int x = 0; x < side; ++x)
        for (int y = 0; y < side; ++y) grn_map.tile(x, y).oid_ = RnObjectID(RnIdBldRoad, 0, 0);
    g_grid_side = side;
}

// The floor: a breadth-first search over road tiles up to max_dist steps
// from start (or until it meets goal, taking only tiles closer to anchor than
// bound when one is given), with a stamped visit table on the window it can
// reach. Returns the tiles reached.
size_t bareSearch(const DaxMapPositionI& start, int max_dist, const DaxMapPositionI& goal,
                  const DaxMapPositionI& anchor = DaxMapPositionI::none(), int bound = 0) {
    static std::vector<uint32_t> stamps;
    static std::vector<uint16_t> dist;
    static std::vector<DaxMapPositionI> queue;
    static uint32_t stamp = 0;
    const int w = 2 * max_dist + 3;
    const int x0 = start.x - max_dist - 1;
    const int y0 = start.y - max_dist - 1;
    if (stamps.size() < static_cast<size_t>(w * w)) {
        stamps.assign(static_cast<size_t>(w * w), 0);
        dist.resize(static_cast<size_t>(w * w));
    }
    ++stamp;
    auto at = [&](const DaxMapPositionI& p) { return static_cast<size_t>((p.x - x0) * w + (p.y - y0)); };
    static const DaxMapPositionI kOff[4] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}};
    queue.clear();
    queue.push_back(start);
    stamps[at(start)] = stamp;
    dist[at(start)] = 0;
    for (size_t i = 0; i < queue.size(); ++i) {
        const DaxMapPositionI p = queue[i];
        const uint16_t d = dist[at(p)];
        if (d >= max_dist) continue;
        for (const DaxMapPositionI& o : kOff) {
            const DaxMapPositionI n = p + o;
            if (!grn_map.isOnMap(n) || grn_map.tile(n).oid_.kind_ != RnIdBldRoad) continue;
            if (bound > 0 && daxManhattanDistanceI(anchor, n) >= bound) continue;
            size_t k = at(n);
            if (stamps[k] == stamp) continue;
            stamps[k] = stamp;
            dist[k] = static_cast<uint16_t>(d + 1);
            queue.push_back(n);
            if (n == goal) return queue.size();
        }
    }
    return queue.size();
}

DaxMapPositionI centreOf(int side) { return DaxMapPositionI(side / 2, side / 2); }

void BM_FloodFromStarts(benchmark::State& state) {
    const int side = static_cast<int>(state.range(0));
    const uint16_t max_dist = static_cast<uint16_t>(state.range(1));
    roadGrid(side);
    const std::vector<DaxMapPositionI> starts = {centreOf(side)};
    for (auto _ : state) {
        RnFloodTarget target;
        RnFloodWalkerServ flood(target, DaxGameTime(0), 0, 0);
        benchmark::DoNotOptimize(flood.floodFromStarts(target, RnObjectID(), starts, max_dist));
    }
    state.counters["tiles"] = 2.0 * max_dist * max_dist + 2.0 * max_dist + 1.0;
}

void BM_FloodBaseline(benchmark::State& state) {
    const int side = static_cast<int>(state.range(0));
    const int max_dist = static_cast<int>(state.range(1));
    roadGrid(side);
    size_t reached = 0;
    for (auto _ : state) reached = bareSearch(centreOf(side), max_dist, DaxMapPositionI::none());
    state.counters["tiles"] = static_cast<double>(reached);
}

// A walker heading for a building dist tiles east of it, around the centre.
DaxMapPositionI walkerStart(int side, int dist) { return DaxMapPositionI(side / 2 - dist / 2, side / 2); }

void BM_FindPathToBuilding(benchmark::State& state) {
    const int side = static_cast<int>(state.range(0));
    const int dist = static_cast<int>(state.range(1));
    roadGrid(side);
    const DaxMapPositionI start = walkerStart(side, dist);
    RnServType type;
    RnServ site(type, start.x + dist + 1, start.y);
    RnObjectID saved = grn_map.tile(site.pos_on_map_).oid_;
    grn_map.tile(site.pos_on_map_).oid_ = RnObjectID(RnIdBldServ, 0, 0);
    for (auto _ : state) {
        RnPathCache path;
        benchmark::DoNotOptimize(findPathToBuilding(path, start, site, type, static_cast<uint16_t>(dist)));
    }
    grn_map.tile(site.pos_on_map_).oid_ = saved;
}

void BM_FindPathBaseline(benchmark::State& state) {
    const int side = static_cast<int>(state.range(0));
    const int dist = static_cast<int>(state.range(1));
    roadGrid(side);
    const DaxMapPositionI start = walkerStart(side, dist);
    // The building stands one tile beyond the goal; the finder keeps within
    // its footprint's size plus the range of it.
    const DaxMapPositionI goal(start.x + dist, start.y);
    const DaxMapPositionI anchor(goal.x + 1, goal.y);
    for (auto _ : state) benchmark::DoNotOptimize(bareSearch(start, dist, goal, anchor, 1 + dist));
}

void searchArgs(benchmark::internal::Benchmark* b) {
    for (int side : {256, 1024, 4096})
        for (int dist : {24, 128}) b->Args({side, dist});
    b->Unit(benchmark::kMicrosecond);
}
BENCHMARK(BM_FloodFromStarts)->Apply(searchArgs);
BENCHMARK(BM_FloodBaseline)->Apply(searchArgs);
BENCHMARK(BM_FindPathToBuilding)->Apply(searchArgs);
BENCHMARK(BM_FindPathBaseline)->Apply(searchArgs);

// ---------------------------------------------------------------------------
// Walker half-steps

constexpr int kWalkers = 10000;
constexpr uint32_t kNow = 1000;

// kWalkers service walkers, each on a tile of its own pair (2k, y) and
// (2k + 1, y) of a 256-side map, in the first half of a move to the other
// tile of its pair, due at or before kNow.
struct HalfStepWorld {
    HalfStepWorld() {
        grn_game.clear();
        grn_map.createEmpty(256);
        g_grid_side = 0;
        RnWalkerServType type;
        type.type_id_ = 1;
        grn_game.addServWalkerType(type);
        RnWalkerList<RnWalkerServ>& list = grn_game.servWalkerType(0).instances_;
        for (int i = 0; i < kWalkers; ++i) {
            DaxMapPositionI a((i % 128) * 2, i / 128);
            int32_t idx = list.add(RnWalkerServ(RnObjectID(), a, DaxGameTime(0), false, 0));
            RnWalkerServ& w = list[idx];
            w.oid_ = RnObjectID(RnIdWlkServ, 0, idx);
            grn_map.tile(a).addWalker(w.oid_);
            ids.push_back(w.oid_);
        }
        arm();
    }
    ~HalfStepWorld() {
        grn_game.clear();
        grn_map.clear();
    }
    // Every walker heads for the other tile of its pair, due before kNow.
    void arm() {
        RnGameUpdateQueue& q = grn_game.updateQueue();
        q.clear();
        for (const RnObjectID& id : ids) {
            RnWalkerServ& w = grn_game.servWalkerType(0).instances_[id.bld_idx_];
            const DaxMapPositionI here = w.tilePos();
            const DaxMapPositionI there(here.x ^ 1, here.y);
            w.from_ = w.to_;
            w.at_ = w.to_;
            w.to_ = RnWalkerWaypoint{there.x + 0.5f, there.y + 0.5f, DaxGameTime(kNow + 12)};
            w.wake_time_ = DaxGameTime(kNow - static_cast<uint32_t>(id.bld_idx_ % 7));
            w.setPhase(RnWalkerPersData::kFirstHalf);
            q.schedule(w.wake_time_, id);
        }
    }
    std::vector<RnObjectID> ids;
};

// The game's tick wakes every walker once: each changes tiles halfway.
void BM_WalkerHalfStep(benchmark::State& state) {
    HalfStepWorld world;
    benchSetNow(kNow);
    for (auto _ : state) {
        grn_game.update();
        state.PauseTiming();
        world.arm();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * kWalkers);
}
BENCHMARK(BM_WalkerHalfStep)->Unit(benchmark::kMillisecond);

// The same queue and tile-list work in a bare loop: pop the due job, move
// the walker from one tile's list to the other's, schedule its next job.
void BM_WalkerHalfStepBaseline(benchmark::State& state) {
    HalfStepWorld world;
    RnGameUpdateQueue& q = grn_game.updateQueue();
    for (auto _ : state) {
        while (!q.empty() && q.front().time_for_next_update.value() <= kNow) {
            const RnGameUpdateQueue::Job job = q.front();
            q.pop();
            RnWalkerServ& w = grn_game.servWalkerType(0).instances_[job.oid.bld_idx_];
            const DaxMapPositionI here = w.tilePos();
            grn_map.tile(DaxMapPositionI(here.x ^ 1, here.y)).removeWalker(job.oid);
            grn_map.tile(here).addWalker(job.oid);
            q.schedule(DaxGameTime(kNow + 12), job.oid);
        }
        state.PauseTiming();
        world.arm();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * kWalkers);
}
BENCHMARK(BM_WalkerHalfStepBaseline)->Unit(benchmark::kMillisecond);

}  // namespace
