// The whole town's tick: towns generated from the sample world's model on
// maps of side 512 and 2048, with about 1k, 5k and 20k buildings, run for a
// game week one update per game time unit (the game at full speed). The
// walker limits of the model's types are raised to keep many walkers out
// (the sample model's own limits of one or two keep few). Reported: wall time
// per game hour, with the queue jobs, walker steps and walkers out of an
// hour. Beside each town a bare loop does the same number of queue jobs and
// walker steps with trivial work: a binary heap of (time, number, id) and
// moves between singly linked tile lists. Also reported: the heap the town
// holds after the week per building (roads not counted), and of that the
// share of the workforce networks.
//
// Run with glibc keeping freed memory, e.g.
//   GLIBC_TUNABLES=glibc.malloc.trim_threshold=4294967295:glibc.malloc.mmap_threshold=4294967295 bench_town
#include <benchmark/benchmark.h>

#include <allegro5/allegro.h>
#include <allegro5/allegro_image.h>
#include <allegro5/allegro_primitives.h>

#include <algorithm>
#include <chrono>
#include <malloc.h>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <new>
#include <queue>
#include <string>
#include <utility>
#include <vector>

#include "bench_clock.h"
#include "dax2/dax_ini.h"
#include "dax2/dax_msg.h"
#include "dax2/dax_random.h"
#include "rn_bld_bldr.h"
#include "rn_bld_deco.h"
#include "rn_bld_hous.h"
#include "rn_bld_mrkt.h"
#include "rn_bld_prod.h"
#include "rn_bld_serv.h"
#include "rn_bld_stor.h"
#include "rn_game.h"
#include "rn_lua_loader.h"
#include "rn_map.h"
#include "rn_placement.h"
#include "rn_wlk_bldr.h"
#include "rn_wlk_mrkt.h"
#include "rn_wlk_prod.h"
#include "rn_wlk_serv.h"
#include "rn_wlk_stor.h"
#include "support/sample_world_ids.h"

namespace {

constexpr uint32_t kHour = DaxGameTime::kPerHour;
constexpr uint32_t kDay = DaxGameTime::kPerDay;
constexpr int kWeekHours = 7 * 24;

using namespace sample_world;

// A block of the town: 24 tiles wide and 5 deep, a road along its top row
// and down its left column, so that the blocks side by side make a grid of
// streets. Buildings stand on the two rows under its road and on the two
// rows above the road of the block below; footprints end at (dx, dy) from
// the block's corner.
constexpr int kBlockW = 24;
constexpr int kBlockH = 5;
struct Lot {
    int16_t kind;
    int32_t id;
    int dx, dy;
};
const Lot kBlock[] = {
    // Under the road: six houses with fountains, three wells, two tax
    // offices, two markets and a builder, each 1 by 1 building with a garden
    // behind it.
    {RnIdBldHous, kHouse, 2, 2},       {RnIdBldDeco, kFountain, 3, 1},    {RnIdBldDeco, kGarden, 3, 2},
    {RnIdBldHous, kHouse, 5, 2},       {RnIdBldServ, kWell, 6, 1},        {RnIdBldDeco, kGarden, 6, 2},
    {RnIdBldMrkt, kMarket, 8, 2},      {RnIdBldServ, kTaxOffice, 9, 1},   {RnIdBldDeco, kGarden, 9, 2},
    {RnIdBldHous, kHouse, 11, 2},      {RnIdBldDeco, kFountain, 12, 1},   {RnIdBldDeco, kGarden, 12, 2},
    {RnIdBldHous, kHouse, 14, 2},      {RnIdBldBldr, kBuilderYard, 15, 1}, {RnIdBldDeco, kGarden, 15, 2},
    {RnIdBldServ, kWell, 16, 1},       {RnIdBldDeco, kGarden, 16, 2},     {RnIdBldMrkt, kMarket, 18, 2},
    {RnIdBldServ, kTaxOffice, 19, 1},  {RnIdBldDeco, kGarden, 19, 2},     {RnIdBldHous, kHouse, 21, 2},
    {RnIdBldDeco, kFountain, 22, 1},   {RnIdBldDeco, kGarden, 22, 2},     {RnIdBldServ, kWell, 23, 1},
    {RnIdBldDeco, kGarden, 23, 2},
    // Above the next road: the storehouse, four farms, the sawmill, a
    // woodcutter at the edge of a wood (columns 9 to 14) and two houses.
    {RnIdBldStor, kStorehouse, 2, 4},  {RnIdBldProd, kFarm, 4, 4},        {RnIdBldProd, kFarm, 6, 4},
    {RnIdBldProd, kSawmill, 8, 4},     {RnIdBldProd, kWoodcutter, 9, 4},  {RnIdBldProd, kFarm, 16, 4},
    {RnIdBldProd, kFarm, 18, 4},       {RnIdBldHous, kHouse, 20, 4},      {RnIdBldHous, kHouse, 22, 4},
    {RnIdBldDeco, kGarden, 23, 4},
};
constexpr int kLotsPerBlock = static_cast<int>(sizeof(kBlock) / sizeof(kBlock[0]));

void placeOrder(int16_t kind, int32_t id, int x, int y, int x2, int y2) {
    RnPhantomList list;
    list.setType(kind, id);
    if (grn_game.addPhantom(list, x, y, x2, y2) < 0) {
        std::fprintf(stderr, "bench_town: type %d does not fit at %d,%d\n", id, x, y);
        std::exit(1);
    }
    grn_game.placeBuildings(list, x, y);
}

// Statistics roll as the program rolls them; no script, no saves.
struct StatsServices : RnTickServicesIfc {
    void reportSaveError() override {}
    DaxGameTime runScriptJob(const RnObjectID&, DaxGameTime) override { return kRnNoWakeTime; }
    void rollStatistics(bool long_form) override { grn_game.rollStatistics(long_form); }
    void logStatistics() override {}
    void autoSave() override {}
    void saveLastSave() override {}
};
StatsServices g_services;

// Every live walker.
template <class Fn>
void forEachWalker(Fn fn) {
    auto each = [&fn](auto& types) {
        for (auto& type : types)
            for (const auto& w : type.instances_) fn(w);
    };
    each(grn_game.servWalkerTypes());
    each(grn_game.prodWalkerTypes());
    each(grn_game.mrktWalkerTypes());
    each(grn_game.storWalkerTypes());
    each(grn_game.bldrWalkerTypes());
}

// The sample world's model on an empty map of the side, with about the
// number of buildings in blocks around the map's centre, placed as the player
// places them; the model's walker limits raised and every building sending
// walkers tries again an hour after a departure.
void buildTown(int side, int buildings) {
    grn_game.clear();
    grn_game.resetForNewGame("bench", "Bench");
    dax_random.seed(4357u);
    {
        RnLuaPreloader icons;
        icons.init();
        if (icons.run("load_icons.lua") != 0) std::exit(1);
    }
    {
        RnLuaModelLoader model;
        model.init();
        if (model.run("ddm.lua") != 0) {
            std::fprintf(stderr, "bench_town: the sample world's model did not load\n");
            std::exit(1);
        }
    }
    const int blocks = (buildings + kLotsPerBlock - 1) / kLotsPerBlock;
    int cols = 1;
    while (cols * kBlockW < side - 2 && static_cast<long>(cols) * cols * kBlockW / kBlockH < blocks) ++cols;
    const int rows = (blocks + cols - 1) / cols;
    const int x0 = (side - cols * kBlockW) / 2;
    const int y0 = (side - rows * kBlockH) / 2;
    if (x0 < 1 || y0 < 1) {
        std::fprintf(stderr, "bench_town: %d blocks do not fit a map of side %d\n", blocks, side);
        std::exit(1);
    }

    grn_map.createEmpty(static_cast<unsigned>(side));
    const int16_t grass = grn_game.terrainIdx(kGrass);
    const int16_t forest = grn_game.terrainIdx(kForest);
    for (int x = 0; x < side; ++x) {
        for (int y = 0; y < side; ++y) {
            RnMapTile& t = grn_map.tile(x, y);
            t.terrain_idx_ = grass;
            t.resetToTerrain();
        }
    }
    for (int b = 0; b < blocks; ++b) {
        const int bx = x0 + (b % cols) * kBlockW;
        const int by = y0 + (b / cols) * kBlockH;
        for (int x = bx + 9; x <= bx + 14; ++x) {
            for (int y = by + 3; y <= by + 4; ++y) {
                RnMapTile& t = grn_map.tile(x, y);
                t.terrain_idx_ = forest;
                t.resetToTerrain();
            }
        }
    }
    grn_game.clearTerrainOnMapMarks();
    grn_game.terrain(grass).flags_ |= kRnTerrainOnMap;
    grn_game.terrain(forest).flags_ |= kRnTerrainOnMap;
    grn_game.validateModel();

    for (RnServType& t : grn_game.servTypes()) {
        t.req_num_serv_walkers_ = 7;
        t.hours_respawn_ = 1;
    }
    for (RnMrktType& t : grn_game.mrktTypes()) {
        t.num_walkers_ = 12;
        t.hours_respawn_ = 1;
    }
    for (RnBldrType& t : grn_game.bldrTypes()) {
        t.req_num_bldr_walkers_ = 7;
        t.hours_respawn_ = 1;
    }
    for (RnProdType& t : grn_game.prodTypes()) t.num_walkers_ = 5;
    for (RnStorType& t : grn_game.storTypes()) {
        t.num_prod_walkers_ = 15;
        t.num_stor_walkers_ = 15;
    }

    grn_game.money_ = 1000000000;
    benchSetNow(0);
    const int x1 = x0 + cols * kBlockW;
    const int y1 = y0 + rows * kBlockH;
    for (int r = 0; r <= rows; ++r) placeOrder(RnIdBldRoad, kRoad, x0, y0 + r * kBlockH, x1, y0 + r * kBlockH);
    for (int c = 0; c <= cols; ++c) placeOrder(RnIdBldRoad, kRoad, x0 + c * kBlockW, y0, x0 + c * kBlockW, y1);
    for (int b = 0; b < blocks; ++b) {
        const int bx = x0 + (b % cols) * kBlockW;
        const int by = y0 + (b / cols) * kBlockH;
        for (const Lot& lot : kBlock) placeOrder(lot.kind, lot.id, bx + lot.dx, by + lot.dy, bx + lot.dx, by + lot.dy);
    }
    grn_game.setTickServices(&g_services);
}

// Bytes the heap holds at the moment, allocator overhead included.
size_t heapBytes() { return mallinfo2().uordblks; }

int countBuildings() {
    int n = 0;
    auto add = [&n](auto& types) {
        for (auto& t : types) n += t.instanceCount();
    };
    add(grn_game.housTypes());
    add(grn_game.servTypes());
    add(grn_game.storTypes());
    add(grn_game.prodTypes());
    add(grn_game.mrktTypes());
    add(grn_game.decoTypes());
    add(grn_game.bldrTypes());
    return n;
}

// Runs the world from `from` to `to`, one update per game time unit.
void runWorld(uint32_t from, uint32_t to) {
    for (uint32_t t = from + 1; t <= to; ++t) {
        benchSetNow(t);
        grn_game.update();
    }
}

// What a town does in a game hour, measured on a day of it beside the
// timed week.
struct HourWork {
    double jobs = 0.0;
    double steps = 0.0;
    double walkers = 0.0;
    double ms_per_hour = 0.0;  // the town's wall time per game hour
};
std::map<std::pair<int, int>, HourWork> g_work;

// A game day of the town watched: the queue's schedulings (each job run
// schedules the object's next one), the tiles walkers changed and the
// walkers out.
HourWork watchDay(uint32_t from) {
    std::map<uint64_t, DaxMapPositionI> at;
    double steps = 0.0;
    double walkers = 0.0;
    const int32_t seq0 = grn_game.updateQueue().sequence();
    for (uint32_t t = from + 1; t <= from + kDay; ++t) {
        benchSetNow(t);
        grn_game.update();
        std::map<uint64_t, DaxMapPositionI> now;
        forEachWalker([&](const RnWalkerGeneric& w) {
            const uint64_t key =
                (static_cast<uint64_t>(w.oid_.packed()) << 32) | static_cast<uint32_t>(w.oid_.bld_idx_);
            const DaxMapPositionI p = w.tilePos();
            auto it = at.find(key);
            if (it != at.end() && !(it->second == p)) steps += 1.0;
            now[key] = p;
        });
        walkers += static_cast<double>(now.size());
        at.swap(now);
    }
    HourWork work;
    work.jobs = static_cast<double>(grn_game.updateQueue().sequence() - seq0) / 24.0;
    work.steps = steps / 24.0;
    work.walkers = walkers / kDay;
    return work;
}

void initAllegro() {
    static bool done = false;
    if (done) return;
    al_install_system(ALLEGRO_VERSION_INT, nullptr);
    al_init_image_addon();
    al_init_primitives_addon();
    dax_config.search_path_ = {std::string(ZOR_SOURCE_DIR) + "/data/"};
    dax_config.debug_level_ = 0;
    dax_strings.loadFile((dax_config.search_path_[0] + "zor.en.txt").c_str(), false);
    done = true;
}

void BM_TownWeek(benchmark::State& state) {
    initAllegro();
    const int side = static_cast<int>(state.range(0));
    const int target = static_cast<int>(state.range(1));
    const size_t heap0 = heapBytes();
    buildTown(side, target);
    // Three days to fill the houses and bring the goods and walkers under
    // way, a day watched, then the week timed.
    runWorld(0, 3 * kDay);
    const HourWork work = watchDay(3 * kDay);
    g_work[{side, target}] = work;
    const uint32_t start = 4 * kDay;
    double seconds = 0.0;
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        runWorld(start, start + 7 * kDay);
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    }
    const double buildings = countBuildings();
    state.counters["buildings"] = buildings;
    // What the town holds, then the same without its workforce networks.
    const size_t heap1 = heapBytes();
    for (RnPeoplType& pt : grn_game.peoplTypes()) {
        // Destroyed in place: an assignment could keep the old blocks.
        pt.workforce_.~RnWorkforce();
        new (&pt.workforce_) RnWorkforce();
    }
    const size_t heap2 = heapBytes();
    state.counters["heap_B/bld"] = static_cast<double>(heap1 - heap0) / buildings;
    state.counters["wkf_B/bld"] = static_cast<double>(heap1 - heap2) / buildings;
    state.counters["walkers"] = work.walkers;
    state.counters["jobs/h"] = work.jobs;
    state.counters["steps/h"] = work.steps;
    state.counters["ms/game_h"] = seconds * 1000.0 / kWeekHours / static_cast<double>(state.iterations());
    g_work[{side, target}].ms_per_hour = state.counters["ms/game_h"];
    grn_game.setTickServices(nullptr);
    grn_game.clear();
    grn_map.clear();
}

// The bare loop of a week of one town: per game hour its jobs popped from
// and pushed back onto a binary heap, and its walker steps as moves of a
// walker from one tile's list to the next tile's.
void BM_TownWeekBaseline(benchmark::State& state) {
    const int side = static_cast<int>(state.range(0));
    const int target = static_cast<int>(state.range(1));
    auto it = g_work.find({side, target});
    if (it == g_work.end()) {
        state.SkipWithError("run BM_TownWeek with the same arguments first");
        return;
    }
    const HourWork work = it->second;
    const int walkers = std::max(1, static_cast<int>(work.walkers));
    const int objects = std::max(walkers, static_cast<int>(work.jobs));
    const long jobs = static_cast<long>(work.jobs);
    const long steps = static_cast<long>(work.steps);
    struct Job {
        uint32_t time;
        uint32_t seq;
        int32_t id;
        bool operator>(const Job& o) const { return time != o.time ? time > o.time : seq > o.seq; }
    };
    const size_t tiles = static_cast<size_t>(side) * static_cast<size_t>(side);
    std::vector<int32_t> head(tiles, -1);
    std::vector<int32_t> next(static_cast<size_t>(walkers), -1);
    std::vector<uint32_t> tile_of(static_cast<size_t>(walkers));
    for (int w = 0; w < walkers; ++w) {
        tile_of[static_cast<size_t>(w)] = static_cast<uint32_t>((static_cast<size_t>(w) * 7919u) % tiles);
        next[static_cast<size_t>(w)] = head[tile_of[static_cast<size_t>(w)]];
        head[tile_of[static_cast<size_t>(w)]] = w;
    }
    auto move = [&](int32_t w, uint32_t to) {
        int32_t* link = &head[tile_of[static_cast<size_t>(w)]];
        while (*link != w) link = &next[static_cast<size_t>(*link)];
        *link = next[static_cast<size_t>(w)];
        next[static_cast<size_t>(w)] = head[to];
        head[to] = w;
        tile_of[static_cast<size_t>(w)] = to;
    };
    double seconds = 0.0;
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        std::priority_queue<Job, std::vector<Job>, std::greater<Job>> heap;
        uint32_t seq = 0;
        for (int32_t o = 0; o < objects; ++o) heap.push(Job{static_cast<uint32_t>(o % kHour), seq++, o});
        long sum = 0;
        for (int h = 0; h < kWeekHours; ++h) {
            for (long j = 0; j < jobs; ++j) {
                Job job = heap.top();
                heap.pop();
                sum += job.id;
                job.time += 1 + static_cast<uint32_t>(job.id % (2 * kHour));
                job.seq = seq++;
                heap.push(job);
            }
            for (long s = 0; s < steps; ++s) {
                const int32_t w = static_cast<int32_t>(s % walkers);
                const uint32_t t = tile_of[static_cast<size_t>(w)];
                move(w, (t + 1) % static_cast<uint32_t>(tiles));
            }
        }
        benchmark::DoNotOptimize(sum);
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    }
    const double ms = seconds * 1000.0 / kWeekHours / static_cast<double>(state.iterations());
    state.counters["ms/game_h"] = ms;
    state.counters["town/bare"] = work.ms_per_hour / ms;
}

void townArgs(benchmark::internal::Benchmark* b) {
    for (int side : {512, 2048})
        for (int buildings : {1000, 5000, 20000}) b->Args({side, buildings});
    b->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);
}
BENCHMARK(BM_TownWeek)->Apply(townArgs);
BENCHMARK(BM_TownWeekBaseline)->Apply(townArgs);

}  // namespace
