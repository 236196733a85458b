// The workforce network on towns of constant density (16 tiles per house,
// one workplace per ten houses, ranges 15 to 40) at three sizes and three
// balances of jobs to workers (2:3, 9:10, 3:2): one change (a house's offer +1 and -1, a
// central workplace removed and placed again, a request for more workers)
// and a whole town built and filled step by step. Each is measured beside a
// plain baseline that keeps the same edges in vectors and assigns greedily,
// without augmenting paths.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <map>
#include <memory>
#include <random>
#include <unordered_map>
#include <utility>
#include <vector>

#include "rn_workforce.h"

namespace {

constexpr int kTilesPerHouse = 16;
// Central workplaces taken out and put back in turn.
constexpr int kCentral = 16;

// Buildings kept in vectors by instance index; notices are only counted.
class Buildings : public RnWorkforceBuildingsIfc {
public:
    DaxMapPositionF centreOnMap(const RnObjectID& oid) override {
        return oid.kind_ == RnIdBldHous ? house_pos[static_cast<size_t>(oid.bld_idx_)]
                                        : sink_pos[static_cast<size_t>(oid.bld_idx_)];
    }
    int curNumWorkers(const RnObjectID& house) override { return workers[static_cast<size_t>(house.bld_idx_)]; }
    bool setEmployed(const RnObjectID& house, uint16_t n) override {
        int& e = employed[static_cast<size_t>(house.bld_idx_)];
        bool changed = e != n;
        e = n;
        return changed;
    }
    void workersChanged(const RnObjectID& /*oid*/, DaxGameTime /*t*/) override { ++notices; }
    DaxGameTime now() override { return DaxGameTime(1000); }

    std::vector<DaxMapPositionF> house_pos, sink_pos;
    std::vector<int> workers, employed;
    int64_t notices = 0;
};

RnObjectID houseId(int i) { return RnObjectID(RnIdBldHous, 0, i); }
RnObjectID sinkId(int i) { return RnObjectID(RnIdBldServ, 0, i); }

// A town's layout: positions, the workers each house reaches, the jobs and
// range of each workplace. Balance: jobs per worker of the whole town.
struct Layout {
    Layout(int houses, int sinks, double balance, uint32_t seed) {
        std::mt19937 rng(seed);
        float side = std::sqrt(static_cast<float>(houses * kTilesPerHouse));
        auto coord = [&] { return static_cast<float>(rng() % static_cast<uint32_t>(side)); };
        int64_t workers = 0;
        for (int i = 0; i < houses; ++i) {
            house_pos.emplace_back(coord(), coord());
            target.push_back(1 + static_cast<int>(rng() % 8));
            workers += target.back();
        }
        // Jobs vary by workplace; their total is the balance times the
        // workers, so that every size has the same share of free capacity.
        std::vector<double> weight;
        double weights = 0.0;
        for (int i = 0; i < sinks; ++i) {
            sink_pos.emplace_back(coord(), coord());
            weight.push_back(0.5 + static_cast<double>(rng() % 1001) / 1000.0);
            weights += weight.back();
            range.push_back(static_cast<uint16_t>(15 + rng() % 26));
        }
        double total = balance * static_cast<double>(workers);
        for (int i = 0; i < sinks; ++i)
            jobs.push_back(static_cast<uint16_t>(std::max(1.0, std::round(total * weight[static_cast<size_t>(i)] / weights))));
        // The workplaces nearest the middle.
        std::vector<std::pair<float, int>> by_dist;
        for (int i = 0; i < sinks; ++i)
            by_dist.emplace_back(daxDistanceF(sink_pos[static_cast<size_t>(i)], DaxMapPositionF(side / 2, side / 2)), i);
        std::sort(by_dist.begin(), by_dist.end());
        for (int i = 0; i < kCentral; ++i) central.push_back(by_dist[static_cast<size_t>(i)].second);
        // Houses and workplaces come in a mixed order.
        for (int i = 0; i < houses; ++i) arrivals.push_back(i);
        for (int i = 0; i < sinks; ++i) arrivals.push_back(-1 - i);
        std::shuffle(arrivals.begin(), arrivals.end(), rng);
    }
    int houses() const { return static_cast<int>(house_pos.size()); }
    int sinks() const { return static_cast<int>(sink_pos.size()); }

    std::vector<DaxMapPositionF> house_pos, sink_pos;
    std::vector<int> target;
    std::vector<uint16_t> jobs, range;
    std::vector<int> arrivals;  // house i, or workplace -1 - i
    std::vector<int> central;  // the workplaces nearest the middle
};

// The network built from a layout: every node added, then the houses
// filled one worker at a time, a round over all houses per worker.
struct NetTown {
    explicit NetTown(const Layout& l) {
        b.house_pos = l.house_pos;
        b.sink_pos = l.sink_pos;
        b.workers.assign(l.house_pos.size(), 0);
        b.employed.assign(l.house_pos.size(), 0);
        net.setBuildings(&b);
        net.setPeopleTypeIdx(0);
        for (int a : l.arrivals) {
            if (a >= 0) {
                net.addSource(houseId(a), 0);
            } else {
                int s = -1 - a;
                net.addSink(sinkId(s), l.jobs[static_cast<size_t>(s)], l.range[static_cast<size_t>(s)]);
            }
        }
        for (int round = 1; round <= 8; ++round) {
            for (int i = 0; i < l.houses(); ++i)
                if (l.target[static_cast<size_t>(i)] >= round) grow(i, 1);
        }
    }
    void grow(int i, int delta) {
        b.workers[static_cast<size_t>(i)] += delta;
        net.updateSource(houseId(i), static_cast<int16_t>(delta));
    }

    Buildings b;
    RnWorkforce net;
};

// The baseline: the same edges in plain vectors, found through the same kind
// of grid, and greedy assignment: a house takes the first workplace with a
// free job in its list, a house that shrinks leaves its nearest workplace,
// which takes a free worker of its own houses if one has any.
struct PlainTown {
    struct Link {
        int other;
        float dist;
        int assigned;
    };

    explicit PlainTown(const Layout& l) : lay(l) {
        house_links.resize(l.house_pos.size());
        sink_links.resize(l.sink_pos.size());
        people.assign(l.house_pos.size(), 0);
        busy.assign(l.house_pos.size(), 0);
        jobs.assign(l.sink_pos.size(), 0);
        filled.assign(l.sink_pos.size(), 0);
        for (int a : l.arrivals) {
            if (a >= 0) {
                addHouse(a);
            } else {
                addSink(-1 - a);
            }
        }
        for (int round = 1; round <= 8; ++round) {
            for (int i = 0; i < l.houses(); ++i)
                if (l.target[static_cast<size_t>(i)] >= round) grow(i, 1);
        }
    }
    static uint64_t key(int cx, int cy) {
        return (static_cast<uint64_t>(static_cast<uint32_t>(cx)) << 32) | static_cast<uint32_t>(cy);
    }
    void addHouse(int h) {
        const DaxMapPositionF& p = lay.house_pos[static_cast<size_t>(h)];
        grid[key(static_cast<int>(p.x) / 16, static_cast<int>(p.y) / 16)].push_back(h);
        int cx = static_cast<int>(p.x) / 64;
        int cy = static_cast<int>(p.y) / 64;
        for (int dx = -1; dx <= 1; ++dx) {
            for (int dy = -1; dy <= 1; ++dy) {
                auto it = sink_grid.find(key(cx + dx, cy + dy));
                if (it == sink_grid.end()) continue;
                for (int s : it->second) {
                    float d = daxDistanceF(p, lay.sink_pos[static_cast<size_t>(s)]);
                    if (d <= lay.range[static_cast<size_t>(s)]) link(h, s, d);
                }
            }
        }
    }
    static uint64_t sinkCell(const DaxMapPositionF& p) {
        return key(static_cast<int>(p.x) / 64, static_cast<int>(p.y) / 64);
    }
    void addSink(int s) {
        const DaxMapPositionF& p = lay.sink_pos[static_cast<size_t>(s)];
        sink_grid[sinkCell(p)].push_back(s);
        jobs[static_cast<size_t>(s)] = lay.jobs[static_cast<size_t>(s)];
        int r = lay.range[static_cast<size_t>(s)] + 1;
        for (int cx = (static_cast<int>(p.x) - r) / 16 - 1; cx <= (static_cast<int>(p.x) + r) / 16; ++cx) {
            for (int cy = (static_cast<int>(p.y) - r) / 16 - 1; cy <= (static_cast<int>(p.y) + r) / 16; ++cy) {
                auto it = grid.find(key(cx, cy));
                if (it == grid.end()) continue;
                for (int h : it->second) {
                    float d = daxDistanceF(lay.house_pos[static_cast<size_t>(h)], p);
                    if (d <= lay.range[static_cast<size_t>(s)]) link(h, s, d);
                }
            }
        }
        for (Link& l : sink_links[static_cast<size_t>(s)]) take(l.other, s);
    }
    void link(int h, int s, float d) {
        house_links[static_cast<size_t>(h)].push_back(Link{s, d, 0});
        sink_links[static_cast<size_t>(s)].push_back(Link{h, d, 0});
    }
    Link& houseLink(int h, int s) {
        for (Link& l : house_links[static_cast<size_t>(h)])
            if (l.other == s) return l;
        return house_links[static_cast<size_t>(h)].front();
    }
    // Free workers of h go to s as far as s has free jobs.
    void take(int h, int s) {
        int n = std::min(people[static_cast<size_t>(h)] - busy[static_cast<size_t>(h)],
                         jobs[static_cast<size_t>(s)] - filled[static_cast<size_t>(s)]);
        if (n <= 0) return;
        houseLink(h, s).assigned += n;
        busy[static_cast<size_t>(h)] += n;
        filled[static_cast<size_t>(s)] += n;
    }
    void grow(int h, int delta) {
        people[static_cast<size_t>(h)] += delta;
        if (delta > 0) {
            for (Link& l : house_links[static_cast<size_t>(h)]) {
                if (busy[static_cast<size_t>(h)] >= people[static_cast<size_t>(h)]) break;
                take(h, l.other);
            }
            return;
        }
        while (busy[static_cast<size_t>(h)] > people[static_cast<size_t>(h)]) {
            Link* nearest = nullptr;
            for (Link& l : house_links[static_cast<size_t>(h)])
                if (l.assigned > 0 && (!nearest || l.dist < nearest->dist)) nearest = &l;
            --nearest->assigned;
            --busy[static_cast<size_t>(h)];
            --filled[static_cast<size_t>(nearest->other)];
            for (Link& l : sink_links[static_cast<size_t>(nearest->other)]) {
                if (l.other == h) continue;
                take(l.other, nearest->other);
                if (filled[static_cast<size_t>(nearest->other)] == jobs[static_cast<size_t>(nearest->other)]) break;
            }
        }
    }
    void removeSink(int s) {
        std::vector<int>& cell = sink_grid[sinkCell(lay.sink_pos[static_cast<size_t>(s)])];
        cell.erase(std::find(cell.begin(), cell.end(), s));
        for (const Link& sl : sink_links[static_cast<size_t>(s)]) {
            std::vector<Link>& hl = house_links[static_cast<size_t>(sl.other)];
            for (size_t k = 0; k < hl.size(); ++k) {
                if (hl[k].other != s) continue;
                busy[static_cast<size_t>(sl.other)] -= hl[k].assigned;
                hl.erase(hl.begin() + static_cast<long>(k));
                break;
            }
        }
        std::vector<Link> gone;
        gone.swap(sink_links[static_cast<size_t>(s)]);
        filled[static_cast<size_t>(s)] = 0;
        for (const Link& sl : gone)
            for (Link& l : house_links[static_cast<size_t>(sl.other)]) take(sl.other, l.other);
    }
    // The same two-step scan as the network's request, over vectors.
    int request(int r) {
        if (filled[static_cast<size_t>(r)] >= jobs[static_cast<size_t>(r)]) return 0;
        int best = -1, best_filled = 0, best_house = -1;
        for (const Link& sl : sink_links[static_cast<size_t>(r)]) {
            for (const Link& l : house_links[static_cast<size_t>(sl.other)]) {
                if (l.other == r || l.assigned == 0) continue;
                if (filled[static_cast<size_t>(l.other)] > best_filled) {
                    best = l.other;
                    best_filled = filled[static_cast<size_t>(l.other)];
                    best_house = sl.other;
                }
            }
        }
        if (best < 0) return 0;
        --houseLink(best_house, best).assigned;
        ++houseLink(best_house, r).assigned;
        --filled[static_cast<size_t>(best)];
        ++filled[static_cast<size_t>(r)];
        return 1;
    }

    const Layout& lay;
    std::vector<std::vector<Link>> house_links, sink_links;
    std::vector<int> people, busy, jobs, filled;
    std::unordered_map<uint64_t, std::vector<int>> grid;
    std::unordered_map<uint64_t, std::vector<int>> sink_grid;
};

// Sizes: houses (workplaces are a tenth), and the balance of jobs to
// workers in per cent.
const int kSizes[] = {1000, 10000, 50000};
const int kBalances[] = {67, 90, 150};

const Layout& layout(int houses, int balance) {
    static std::map<std::pair<int, int>, std::unique_ptr<Layout>> layouts;
    std::unique_ptr<Layout>& l = layouts[{houses, balance}];
    if (!l) l = std::make_unique<Layout>(houses, houses / 10, balance / 100.0, 4357u + static_cast<uint32_t>(houses));
    return *l;
}

template <class T>
T& cached(int houses, int balance) {
    static std::map<std::pair<int, int>, std::unique_ptr<T>> towns;
    std::unique_ptr<T>& t = towns[{houses, balance}];
    if (!t) t = std::make_unique<T>(layout(houses, balance));
    return *t;
}
void sizes(benchmark::internal::Benchmark* b) {
    for (int h : kSizes)
        for (int bal : kBalances) b->Args({h, bal});
}

// A house chosen at random offers one worker more, then one less.
void BM_Wkf_HousePlusMinus(benchmark::State& state) {
    int houses = static_cast<int>(state.range(0));
    NetTown& t = cached<NetTown>(houses, static_cast<int>(state.range(1)));
    std::mt19937 rng(1);
    for (auto _ : state) {
        int h = static_cast<int>(rng() % static_cast<uint32_t>(houses));
        t.grow(h, 1);
        t.grow(h, -1);
    }
    state.SetItemsProcessed(state.iterations() * 2);
}
BENCHMARK(BM_Wkf_HousePlusMinus)->Apply(sizes)->Unit(benchmark::kMicrosecond);

void BM_Plain_HousePlusMinus(benchmark::State& state) {
    int houses = static_cast<int>(state.range(0));
    PlainTown& t = cached<PlainTown>(houses, static_cast<int>(state.range(1)));
    std::mt19937 rng(1);
    for (auto _ : state) {
        int h = static_cast<int>(rng() % static_cast<uint32_t>(houses));
        t.grow(h, 1);
        t.grow(h, -1);
    }
    state.SetItemsProcessed(state.iterations() * 2);
}
BENCHMARK(BM_Plain_HousePlusMinus)->Apply(sizes)->Unit(benchmark::kMicrosecond);

// One of the workplaces nearest the middle of the town is removed and
// placed again.
void BM_Wkf_CentralSinkOutAndIn(benchmark::State& state) {
    int houses = static_cast<int>(state.range(0));
    const Layout& l = layout(houses, static_cast<int>(state.range(1)));
    NetTown& t = cached<NetTown>(houses, static_cast<int>(state.range(1)));
    size_t k = 0;
    for (auto _ : state) {
        int s = l.central[k++ % l.central.size()];
        t.net.removeSink(sinkId(s));
        t.net.addSink(sinkId(s), l.jobs[static_cast<size_t>(s)], l.range[static_cast<size_t>(s)]);
    }
    state.SetItemsProcessed(state.iterations() * 2);
}
BENCHMARK(BM_Wkf_CentralSinkOutAndIn)->Apply(sizes)->Unit(benchmark::kMicrosecond);

void BM_Plain_CentralSinkOutAndIn(benchmark::State& state) {
    int houses = static_cast<int>(state.range(0));
    const Layout& l = layout(houses, static_cast<int>(state.range(1)));
    PlainTown& t = cached<PlainTown>(houses, static_cast<int>(state.range(1)));
    size_t k = 0;
    for (auto _ : state) {
        int s = l.central[k++ % l.central.size()];
        t.removeSink(s);
        t.addSink(s);
    }
    state.SetItemsProcessed(state.iterations() * 2);
}
BENCHMARK(BM_Plain_CentralSinkOutAndIn)->Apply(sizes)->Unit(benchmark::kMicrosecond);

// A workplace chosen at random asks for one more worker.
void BM_Wkf_RequestMoreWorkers(benchmark::State& state) {
    int houses = static_cast<int>(state.range(0));
    NetTown& t = cached<NetTown>(houses, static_cast<int>(state.range(1)));
    std::mt19937 rng(2);
    int64_t moved = 0;
    for (auto _ : state) moved += t.net.requestMoreWorkers(sinkId(static_cast<int>(rng() % static_cast<uint32_t>(houses / 10))));
    state.SetItemsProcessed(state.iterations());
    state.counters["moved"] = static_cast<double>(moved) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_Wkf_RequestMoreWorkers)->Apply(sizes)->Unit(benchmark::kMicrosecond);

void BM_Plain_RequestMoreWorkers(benchmark::State& state) {
    int houses = static_cast<int>(state.range(0));
    PlainTown& t = cached<PlainTown>(houses, static_cast<int>(state.range(1)));
    std::mt19937 rng(2);
    int64_t moved = 0;
    for (auto _ : state) moved += t.request(static_cast<int>(rng() % static_cast<uint32_t>(houses / 10)));
    state.SetItemsProcessed(state.iterations());
    state.counters["moved"] = static_cast<double>(moved) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_Plain_RequestMoreWorkers)->Apply(sizes)->Unit(benchmark::kMicrosecond);

// A whole town: every node added, then every house filled step by step.
// Items are edges.
void BM_Wkf_BuildTown(benchmark::State& state) {
    const Layout& l = layout(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    int64_t edges = 0;
    for (auto _ : state) {
        NetTown t(l);
        edges = t.net.graph().edgeCount();
        benchmark::DoNotOptimize(t.net.totalAssignments());
    }
    state.SetItemsProcessed(state.iterations() * edges);
    state.counters["edges"] = static_cast<double>(edges);
}
BENCHMARK(BM_Wkf_BuildTown)->Apply(sizes)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_Plain_BuildTown(benchmark::State& state) {
    const Layout& l = layout(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    int64_t edges = 0;
    for (auto _ : state) {
        PlainTown t(l);
        edges = 0;
        for (const auto& v : t.house_links) edges += static_cast<int64_t>(v.size());
        benchmark::DoNotOptimize(edges);
    }
    state.SetItemsProcessed(state.iterations() * edges);
    state.counters["edges"] = static_cast<double>(edges);
}
BENCHMARK(BM_Plain_BuildTown)->Apply(sizes)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
