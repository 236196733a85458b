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

#include <algorithm>
#include <chrono>
#include <malloc.h>
#include <map>
#include <new>
#include <queue>
#include <utility>
#include <vector>

#include "bench_gentown.h"
#include "dax2/dax_ini.h"
#include "dax2/dax_msg.h"
#include "rn_game.h"
#include "rn_map.h"
#include "rn_wlk_bldr.h"
#include "rn_wlk_mrkt.h"
#include "rn_wlk_prod.h"
#include "rn_wlk_serv.h"
#include "rn_wlk_stor.h"

namespace {

constexpr uint32_t kHour = DaxGameTime::kPerHour;
constexpr uint32_t kDay = DaxGameTime::kPerDay;
constexpr int kWeekHours = 7 * 24;

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

// The generated town of about the number of buildings on a map of the side,
// busy: the model's walker limits raised and every building sending walkers
// trying again an hour after a departure.
void buildTown(int side, int buildings) {
    benchBuildTown(gentown::Plan{side, buildings, true}, "bench_town");
    grn_game.setTickServices(&g_services);
}

// Bytes the heap holds at the moment, allocator overhead included.
size_t heapBytes() { return mallinfo2().uordblks; }

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

void BM_TownWeek(benchmark::State& state) {
    benchUseSampleData();
    const int side = static_cast<int>(state.range(0));
    const int target = static_cast<int>(state.range(1));
    const size_t heap0 = heapBytes();
    buildTown(side, target);
    // Three days to fill the houses and bring the goods and walkers under
    // way, a day watched, then the week timed.
    benchRunWorld(0, 3 * kDay);
    const HourWork work = watchDay(3 * kDay);
    g_work[{side, target}] = work;
    const uint32_t start = 4 * kDay;
    double seconds = 0.0;
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        benchRunWorld(start, start + 7 * kDay);
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    }
    const double buildings = gentown::countBuildings();
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
