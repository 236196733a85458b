// Objects by id and walkers by home in a generated town of about 5k
// buildings (the town bench_town times at that size), run for two game days
// so that its walkers are out, with the caches on and off:
// - every building named on the map's tiles, in a shuffled order, found by
//   id as the floods and walkers find them (RnGame::liveBuilding) and one
//   field of it read; beside it the bare work: the same buildings found in
//   plain arrays of pointers by kind, type and instance index;
// - for every building, the finished walkers it has out of every walker
//   type found (what a home does when it takes them back); beside it the
//   bare work: each home's walkers read from a plain array of lists.
//
// Run with glibc keeping freed memory, e.g.
//   GLIBC_TUNABLES=glibc.malloc.trim_threshold=4294967295:glibc.malloc.mmap_threshold=4294967295 bench_lookup
#include <benchmark/benchmark.h>

#include <algorithm>
#include <map>
#include <random>
#include <string>
#include <tuple>
#include <type_traits>
#include <vector>

#include "bench_gentown.h"
#include "rn_game.h"
#include "rn_map.h"
#include "rn_wlk_bldr.h"
#include "rn_wlk_mrkt.h"
#include "rn_wlk_prod.h"
#include "rn_wlk_serv.h"
#include "rn_wlk_stor.h"

namespace {

// The town, built once: the building ids of the map's tiles (each once, in
// a shuffled order) and the live walkers' homes.
struct Town {
    Town() {
        benchUseSampleData();
        benchBuildTown(gentown::Plan{512, 5000, true}, "bench_lookup");
        for (uint32_t t = 1; t <= 2 * DaxGameTime::kPerDay; ++t) {
            benchSetNow(t);
            grn_game.update();
        }
        std::map<std::tuple<int16_t, int16_t, int32_t>, RnObjectID> seen;
        for (int y = 0; y < grn_map.size(); ++y) {
            for (int x = 0; x < grn_map.size(); ++x) {
                const RnObjectID& id = grn_map.tile(x, y).oid_;
                if (id.isRoadOrBuilding()) seen.emplace(std::make_tuple(id.kind_, id.type_idx_, id.bld_idx_), id);
            }
        }
        for (const auto& entry : seen) {
            buildings.push_back(entry.second);
            if (entry.second.kind_ != RnIdBldRoad) homes.push_back(entry.second);
        }
        std::mt19937 rng(11);
        std::shuffle(buildings.begin(), buildings.end(), rng);
    }
    std::vector<RnObjectID> buildings;
    std::vector<RnObjectID> homes;
};

Town& town() {
    static Town t;
    return t;
}

void BM_LiveBuildingById(benchmark::State& state) {
    Town& t = town();
    const RnCacheSwitches saved = grn_caches;
    grn_caches.building_index_ = state.range(0) != 0;
    int64_t sum = 0;
    for (auto _ : state) {
        for (const RnObjectID& id : t.buildings) {
            const RnGenericBuilding* b = grn_game.liveBuilding(id);
            if (b) sum += b->pos_on_map_.x;
        }
    }
    benchmark::DoNotOptimize(sum);
    grn_caches = saved;
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(t.buildings.size()));
    state.SetLabel(state.range(0) != 0 ? "index on" : "index off");
}
BENCHMARK(BM_LiveBuildingById)->Arg(1)->Arg(0);

// The same buildings found in plain arrays of pointers by kind, type and
// instance index, a ruin taken as gone as liveBuilding takes it.
void BM_LiveBuildingByIdBaseline(benchmark::State& state) {
    Town& t = town();
    std::vector<std::vector<std::vector<const RnGenericBuilding*>>> direct(RnIdBldBldr + 1);
    for (const RnObjectID& id : t.buildings) {
        auto& types = direct[static_cast<size_t>(id.kind_)];
        if (types.size() <= static_cast<size_t>(id.type_idx_)) types.resize(static_cast<size_t>(id.type_idx_) + 1);
        auto& slots = types[static_cast<size_t>(id.type_idx_)];
        if (slots.size() <= static_cast<size_t>(id.bld_idx_)) slots.resize(static_cast<size_t>(id.bld_idx_) + 1);
        slots[static_cast<size_t>(id.bld_idx_)] = &grn_game.buildingByOid(id);
    }
    int64_t sum = 0;
    for (auto _ : state) {
        for (const RnObjectID& id : t.buildings) {
            const auto& slots = direct[static_cast<size_t>(id.kind_)][static_cast<size_t>(id.type_idx_)];
            const RnGenericBuilding* b =
                static_cast<size_t>(id.bld_idx_) < slots.size() ? slots[static_cast<size_t>(id.bld_idx_)] : nullptr;
            if (b && (id.kind_ == RnIdBldRoad || !b->isDestroyed())) sum += b->pos_on_map_.x;
        }
    }
    benchmark::DoNotOptimize(sum);
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(t.buildings.size()));
}
BENCHMARK(BM_LiveBuildingByIdBaseline);

// Calls fn with every walker type's list.
template <class Fn>
void eachWalkerList(Fn fn) {
    for (auto& type : grn_game.servWalkerTypes()) fn(type.instances_);
    for (auto& type : grn_game.prodWalkerTypes()) fn(type.instances_);
    for (auto& type : grn_game.mrktWalkerTypes()) fn(type.instances_);
    for (auto& type : grn_game.storWalkerTypes()) fn(type.instances_);
    for (auto& type : grn_game.bldrWalkerTypes()) fn(type.instances_);
}

void BM_FinishedWalkersOfHomes(benchmark::State& state) {
    Town& t = town();
    const RnCacheSwitches saved = grn_caches;
    grn_caches.finished_walkers_ = state.range(0) != 0;
    int64_t found = 0;
    for (auto _ : state) {
        for (const RnObjectID& home : t.homes) {
            eachWalkerList([&](auto& list) {
                using W = std::remove_reference_t<decltype(*list.begin())>;
                found += static_cast<int64_t>(
                    rnWalkersOfHome(list, home, [&home](const W& w) { return w.isFinished() && w.home_oid_ == home; })
                        .size());
            });
        }
    }
    benchmark::DoNotOptimize(found);
    grn_caches = saved;
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(t.homes.size()));
    state.SetLabel(state.range(0) != 0 ? "by home on" : "by home off");
}
BENCHMARK(BM_FinishedWalkersOfHomes)->Arg(1)->Arg(0)->Unit(benchmark::kMicrosecond);

// Each home's walkers of each type from a plain array of lists, tested as
// the lookup tests them.
void BM_FinishedWalkersOfHomesBaseline(benchmark::State& state) {
    Town& t = town();
    std::vector<std::vector<std::vector<const RnWalkerGeneric*>>> lists(t.homes.size());
    for (size_t h = 0; h < t.homes.size(); ++h) {
        eachWalkerList([&](auto& list) {
            std::vector<const RnWalkerGeneric*> mine;
            for (const auto& w : list)
                if (w.home_oid_ == t.homes[h]) mine.push_back(&w);
            lists[h].push_back(std::move(mine));
        });
    }
    int64_t found = 0;
    for (auto _ : state) {
        for (size_t h = 0; h < lists.size(); ++h) {
            const RnObjectID& home = t.homes[h];
            for (const auto& mine : lists[h]) {
                std::vector<const RnWalkerGeneric*> done;
                for (const RnWalkerGeneric* w : mine)
                    if (w->isFinished() && w->home_oid_ == home) done.push_back(w);
                found += static_cast<int64_t>(done.size());
            }
        }
    }
    benchmark::DoNotOptimize(found);
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(t.homes.size()));
}
BENCHMARK(BM_FinishedWalkersOfHomesBaseline)->Unit(benchmark::kMicrosecond);

}  // namespace
