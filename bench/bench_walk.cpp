// Road searches and walker half-steps.
//
// Floods run in a generated town (tests/world/gen_town) of 1k, 5k and 20k
// buildings after two game days, as its walkers and service buildings run
// them: a water carrier's flood from every road tile and each well's flood
// from the road tiles around it. Beside them the same floods over the map's
// tiles (the floods' caches off) and the floor: a plain breadth-first walk
// over the map's tiles to the same distance that evaluates the same
// buildings (the houses and the fountains, each asked for its need and
// scored by the same cost).
//
// The path finder runs on maps that are all road, of side 256, 1024 and
// 4096: its cost must follow the tiles it reaches, not the side of the map;
// beside it a bare breadth-first search over the same tiles. A walker's
// half-step is measured beside a bare loop doing the same queue and
// tile-list work.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <map>
#include <utility>
#include <vector>

#include "bench_clock.h"
#include "bench_gentown.h"
#include "rn.h"
#include "rn_bld_deco.h"
#include "rn_bld_serv.h"
#include "rn_game.h"
#include "rn_map.h"
#include "rn_pathfind.h"
#include "rn_wlk_serv.h"
#include "support/sample_world_ids.h"

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

// ---------------------------------------------------------------------------
// Floods in a town

// One flood as the town runs it: from a walker's tile (its home skipped,
// whose distance adds to the cost) or from the road tiles around a well
// (the well skipped).
struct FloodJob {
    std::vector<DaxMapPositionI> starts;
    RnObjectID skip;
    bool from_tile;
};

// The town and its floods, built once per size.
struct FloodTown {
    int side = 0;
    int buildings = 0;
    DaxGameTime now;
    int16_t water = -1;      // the well's service
    uint16_t max_dist = 0;   // the water carrier's distance_to_return
    std::vector<bool> watered_decorations;  // by decoration type: asks for water
    std::vector<FloodJob> jobs;
};
FloodTown g_town;

const FloodTown& floodTown(int side, int buildings) {
    if (g_town.side == side && g_town.buildings == buildings) return g_town;
    g_grid_side = 0;
    benchUseSampleData();
    benchBuildTown(gentown::Plan{side, buildings, true}, "bench_walk");
    benchRunWorld(0, 2 * DaxGameTime::kPerDay);
    g_town = FloodTown();
    g_town.side = side;
    g_town.buildings = buildings;
    g_town.now = DaxGameTime(2 * DaxGameTime::kPerDay);
    g_town.water = grn_game.servTypeIdx(sample_world::kWell);
    const RnServType& well = grn_game.servType(g_town.water);
    g_town.max_dist = grn_game.servWalkerType(well.walker_type_idx_).distance_to_return_;
    for (const RnDecoType& t : grn_game.decoTypes()) g_town.watered_decorations.push_back(t.service_type_idx_ == g_town.water);
    RnObjectID home;
    for (const RnServ& w : well.instances_) {
        if (home.isNull()) home = w.oid_;
        std::vector<DaxMapPositionI> starts;
        grn_map.adjacentRoads(starts, w.pos_on_map_.x, w.pos_on_map_.y, well.width_, well.height_);
        if (!starts.empty()) g_town.jobs.push_back({starts, w.oid_, false});
    }
    for (int x = 0; x < side; ++x)
        for (int y = 0; y < side; ++y)
            if (grn_map.tile(x, y).isRoad()) g_town.jobs.push_back({{DaxMapPositionI(x, y)}, home, true});
    return g_town;
}

// Seconds per flood of the floor, by town size.
std::map<std::pair<int, int>, double> g_floor;

// Reports the time per flood, and with over_floor its ratio to the floor's.
void reportPerFlood(benchmark::State& state, const FloodTown& town, double seconds, bool over_floor) {
    const double per_flood = seconds / static_cast<double>(state.iterations() * town.jobs.size());
    state.counters["floods"] = static_cast<double>(town.jobs.size());
    state.counters["us/flood"] = per_flood * 1e6;
    if (!over_floor) return;
    auto it = g_floor.find({town.side, town.buildings});
    if (it != g_floor.end()) state.counters["x_floor"] = per_flood / it->second;
}

// The town's floods, with the floods' caches as given (all on, or all off).
void runTownFloods(benchmark::State& state, bool caches) {
    const FloodTown& town = floodTown(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    grn_caches.flood_reach_ = caches;
    grn_caches.flood_kinds_ = caches;
    int found = 0;
    const auto t0 = std::chrono::steady_clock::now();
    for (auto _ : state) {
        for (const FloodJob& job : town.jobs) {
            RnFloodTarget target;
            // No house limit: the floor has none.
            RnFloodWalkerServ flood(target, town.now, town.water, 0);
            const bool hit = job.from_tile
                                 ? flood.floodFromTile(target, job.skip, job.starts[0], town.max_dist, town.max_dist)
                                 : flood.floodFromStarts(target, job.skip, job.starts, town.max_dist);
            found += hit ? 1 : 0;
        }
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    grn_caches.setAll(true);
    benchmark::DoNotOptimize(found);
    reportPerFlood(state, town, seconds, true);
    if (caches) {
        // What the road graph holds, and what a flood's tables over it
        // hold (a visit record per node, a mark per building, the queue).
        const RnRoadGraph& graph = grn_map.roadGraph();
        const double tables = static_cast<double>(graph.nodeLimit()) * (12 + 4) + 4.0 * graph.slotLimit();
        state.counters["graph_kB"] = static_cast<double>(graph.memoryBytes()) / 1024.0;
        state.counters["tables_kB"] = tables / 1024.0;
        state.counters["roads"] = static_cast<double>(graph.roadCount());
    }
}

void BM_FloodTown(benchmark::State& state) { runTownFloods(state, true); }
void BM_FloodTownUncached(benchmark::State& state) { runTownFloods(state, false); }

// The floor of one flood: a breadth-first walk over the map's tiles to
// max_dist road steps that asks every house and fountain beside the tiles it
// expands, once each, for the water need and keeps the best score by the
// floods' cost. Returns the evaluations.
size_t bareFlood(const FloodTown& town, const FloodJob& job, RnObjectID& best) {
    struct Visit {
        uint32_t stamp = 0;
        uint16_t dist = 0;
    };
    static std::vector<Visit> visits;
    static std::vector<DaxMapPositionI> queue;
    static uint32_t stamp = 0;
    const int reach = town.max_dist + 1;
    int x0 = job.starts[0].x, y0 = job.starts[0].y, x1 = x0, y1 = y0;
    for (const DaxMapPositionI& p : job.starts) {
        x0 = std::min<int>(x0, p.x);
        y0 = std::min<int>(y0, p.y);
        x1 = std::max<int>(x1, p.x);
        y1 = std::max<int>(y1, p.y);
    }
    x0 -= reach;
    y0 -= reach;
    const int w = x1 + reach - x0 + 1;
    const int h = y1 + reach - y0 + 1;
    if (visits.size() < static_cast<size_t>(w * h)) visits.resize(static_cast<size_t>(w * h));
    ++stamp;
    auto at = [&](const DaxMapPositionI& p) -> Visit& {
        return visits[static_cast<size_t>((p.x - x0) * h + (p.y - y0))];
    };
    RnOidSeen met;
    met.insert(job.skip);
    queue.clear();
    for (const DaxMapPositionI& p : job.starts) {
        at(p) = Visit{stamp, 0};
        queue.push_back(p);
    }
    static const DaxMapPositionI kOff[4] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1}};
    const RnGenericBuilding& home = grn_game.buildingByOid(job.skip);
    const DaxMapPositionI centre = home.centreTile();
    const float weight = job.from_tile ? grn_config.path_dist_weight_ : 0.125f;
    float best_score = 0.0f;
    size_t evaluations = 0;
    for (size_t i = 0; i < queue.size(); ++i) {
        const DaxMapPositionI p = queue[i];
        const uint16_t d = at(p).dist;
        if (d >= town.max_dist) continue;
        const float w_d = static_cast<float>(d) * weight + 1.0f;
        for (const DaxMapPositionI& o : kOff) {
            const DaxMapPositionI n = p + o;
            if (!grn_map.isOnMap(n)) continue;
            const RnObjectID& oid = grn_map.tile(n).oid_;
            if (oid.kind_ == RnIdBldRoad) {
                Visit& v = at(n);
                if (v.stamp == stamp) continue;
                v = Visit{stamp, static_cast<uint16_t>(d + 1)};
                queue.push_back(n);
                continue;
            }
            const bool wanted = oid.kind_ == RnIdBldHous ||
                                (oid.kind_ == RnIdBldDeco && town.watered_decorations[static_cast<size_t>(oid.type_idx_)]);
            if (!wanted || !met.insert(oid)) continue;
            ++evaluations;
            const uint16_t amount = grn_game.buildingByOid(oid).serviceNeed(town.now, town.water, 1);
            float cost = w_d;
            if (job.from_tile)
                cost *= static_cast<float>(daxManhattanDistanceI(centre, n)) * grn_config.path_home_weight_ + 1.0f;
            const float score = static_cast<float>(amount) / cost;
            if (amount != 0 && score > best_score) {
                best_score = score;
                best = oid;
            }
        }
    }
    return evaluations;
}

void BM_FloodTownBaseline(benchmark::State& state) {
    const FloodTown& town = floodTown(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    size_t evaluations = 0;
    const auto t0 = std::chrono::steady_clock::now();
    for (auto _ : state) {
        evaluations = 0;
        for (const FloodJob& job : town.jobs) {
            RnObjectID best;
            evaluations += bareFlood(town, job, best);
            benchmark::DoNotOptimize(best);
        }
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    reportPerFlood(state, town, seconds, false);
    state.counters["evals/flood"] = static_cast<double>(evaluations) / static_cast<double>(town.jobs.size());
    g_floor[{town.side, town.buildings}] = seconds / static_cast<double>(state.iterations() * town.jobs.size());
}

void townArgs(benchmark::internal::Benchmark* b) {
    b->Args({512, 1000})->Args({512, 5000})->Args({2048, 20000});
    b->Unit(benchmark::kMillisecond);
}
// The floor first: the floods report their time over it.
BENCHMARK(BM_FloodTownBaseline)->Apply(townArgs);
BENCHMARK(BM_FloodTown)->Apply(townArgs);
BENCHMARK(BM_FloodTownUncached)->Apply(townArgs);

// ---------------------------------------------------------------------------
// Path finder

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
            grn_map.tile(DaxMapPositionI(here.x ^ 1, here.y)).removeWalker(w);
            grn_map.tile(here).addWalker(w);
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
