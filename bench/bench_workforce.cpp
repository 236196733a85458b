// The workforce network on towns of constant density (16 tiles per house,
// one workplace per ten houses, ranges 15 to 40) at three sizes and three
// balances of jobs to workers (2:3, 9:10, 3:2): one change (a house's offer
// +1 and -1, a central workplace removed and placed again, a request for
// more workers) and a whole town built and filled step by step. The
// baseline follows the same rules on bare vectors: the same searches in the
// same order, without the network's tables, loaded-edge lists and parts.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <unordered_map>
#include <utility>
#include <vector>

#include "rn_workforce.h"

namespace {

constexpr int kTilesPerHouse = 16;
// Central workplaces taken out and put back in turn.
constexpr int kCentral = 16;

// A town's layout: positions, the workers each house reaches, the jobs and
// range of each workplace, the order in which they are placed.
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
    std::vector<int> central;   // the workplaces nearest the middle
};

// Every node placed, then the houses filled one worker at a time, a round
// over all houses per worker.
template <class Town>
void buildTown(Town& t, const Layout& l) {
    for (int a : l.arrivals) {
        if (a >= 0) {
            t.addHouse(a);
        } else {
            t.addSink(-1 - a);
        }
    }
    for (int round = 1; round <= 8; ++round) {
        for (int i = 0; i < l.houses(); ++i)
            if (l.target[static_cast<size_t>(i)] >= round) t.grow(i, 1);
    }
}

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

// The network.
struct NetTown {
    explicit NetTown(const Layout& l) : lay(l) {
        b.house_pos = l.house_pos;
        b.sink_pos = l.sink_pos;
        b.workers.assign(l.house_pos.size(), 0);
        b.employed.assign(l.house_pos.size(), 0);
        net.setBuildings(&b);
        net.setPeopleTypeIdx(0);
        buildTown(*this, l);
    }
    void addHouse(int i) { net.addSource(houseId(i), 0); }
    void addSink(int s) {
        net.addSink(sinkId(s), lay.jobs[static_cast<size_t>(s)], lay.range[static_cast<size_t>(s)]);
    }
    void removeSink(int s) { net.removeSink(sinkId(s)); }
    void grow(int i, int delta) {
        b.workers[static_cast<size_t>(i)] += delta;
        net.updateSource(houseId(i), static_cast<int16_t>(delta));
    }
    int request(int s) { return net.requestMoreWorkers(sinkId(s)); }
    int64_t edges() const { return net.graph().edgeCount(); }
    int64_t assigned() const { return net.totalAssignments(); }

    const Layout& lay;
    Buildings b;
    RnWorkforce net;
};

// The same rules on bare vectors: nodes by creation (their order is the
// node list's), an edge-id list per node, labels in a vector, grids to find
// the nodes in range, and one town-wide count of free capacity.
class BareTown {
public:
    explicit BareTown(const Layout& l) : lay(l) {
        house_node.assign(l.house_pos.size(), -1);
        sink_node.assign(l.sink_pos.size(), -1);
        buildTown(*this, l);
    }
    void addHouse(int i) {
        const DaxMapPositionF& p = lay.house_pos[static_cast<size_t>(i)];
        int n = newNode(p, 0, 0, true);
        house_node[static_cast<size_t>(i)] = n;
        houses[cell(p, 16)].push_back(n);
        std::vector<int> cand;
        auto c = cellXY(p, 64);
        for (int dx = -1; dx <= 1; ++dx) {
            for (int dy = -1; dy <= 1; ++dy) {
                auto it = sinks.find(key(c.first + dx, c.second + dy));
                if (it != sinks.end()) cand.insert(cand.end(), it->second.begin(), it->second.end());
            }
        }
        std::sort(cand.begin(), cand.end());
        for (int s : cand) {
            float d = daxDistanceF(p, nodes[static_cast<size_t>(s)].c);
            if (d <= nodes[static_cast<size_t>(s)].range) link(n, s, d);
        }
    }
    void addSink(int i) {
        const DaxMapPositionF& p = lay.sink_pos[static_cast<size_t>(i)];
        int range = lay.range[static_cast<size_t>(i)];
        int n = newNode(p, lay.jobs[static_cast<size_t>(i)], range, false);
        sink_node[static_cast<size_t>(i)] = n;
        sinks[cell(p, 64)].push_back(n);
        std::vector<int> cand;
        auto c0 = cellXY(DaxMapPositionF(p.x - range - 1, p.y - range - 1), 16);
        auto c1 = cellXY(DaxMapPositionF(p.x + range + 1, p.y + range + 1), 16);
        for (int cx = c0.first; cx <= c1.first; ++cx) {
            for (int cy = c0.second; cy <= c1.second; ++cy) {
                auto it = houses.find(key(cx, cy));
                if (it != houses.end()) cand.insert(cand.end(), it->second.begin(), it->second.end());
            }
        }
        std::sort(cand.begin(), cand.end());
        for (int h : cand) {
            float d = daxDistanceF(nodes[static_cast<size_t>(h)].c, p);
            if (d <= range) link(h, n, d);
        }
        jobs += nodes[static_cast<size_t>(n)].people;
        flow(n);
    }
    void removeSink(int i) {
        int n = sink_node[static_cast<size_t>(i)];
        Node& x = nodes[static_cast<size_t>(n)];
        std::vector<int>& cellv = sinks[cell(x.c, 64)];
        cellv.erase(std::find(cellv.begin(), cellv.end(), n));
        jobs -= x.people;
        assigned_total -= x.assigned;
        std::set<int> released;
        for (int e : x.edges) {
            Edge& ed = edge_list[static_cast<size_t>(e)];
            Node& h = nodes[static_cast<size_t>(ed.h)];
            if (ed.assigned > 0) {
                h.assigned -= ed.assigned;
                released.insert(ed.h);
            }
            h.edges.erase(std::find(h.edges.begin(), h.edges.end(), e));
        }
        x = Node();
        for (int h : released) flow(h);
    }
    void grow(int i, int delta) {
        int n = house_node[static_cast<size_t>(i)];
        Node& h = nodes[static_cast<size_t>(n)];
        bool was_full = h.people == h.assigned;
        h.people += delta;
        workers += delta;
        if (delta > 0) {
            if (was_full) flow(n);
            return;
        }
        int excess = h.assigned - h.people;
        if (excess <= 0) return;
        assigned_total -= excess;
        std::vector<std::pair<float, int>> loaded;
        for (int e : h.edges)
            if (edge_list[static_cast<size_t>(e)].assigned > 0) loaded.emplace_back(edge_list[static_cast<size_t>(e)].dist, e);
        std::sort(loaded.begin(), loaded.end());
        std::set<int> released;
        for (const auto& le : loaded) {
            if (excess <= 0) break;
            Edge& ed = edge_list[static_cast<size_t>(le.second)];
            int take = std::min(ed.assigned, excess);
            ed.assigned -= take;
            nodes[static_cast<size_t>(ed.s)].assigned -= take;
            h.assigned -= take;
            excess -= take;
            released.insert(ed.s);
        }
        for (int s : released) flow(s);
    }
    int request(int i) {
        int r = sink_node[static_cast<size_t>(i)];
        Node& req = nodes[static_cast<size_t>(r)];
        if (req.people == req.assigned) return 0;
        DaxMapPositionI rt(static_cast<int>(req.c.x), static_cast<int>(req.c.y));
        float best_d = 0.0f;
        int best_a = 0, bx = -1, b_in = -1, b_out = -1;
        for (int ein : req.edges) {
            Node& h = nodes[static_cast<size_t>(edge_list[static_cast<size_t>(ein)].h)];
            if (h.people == 0) continue;
            if (h.people > h.assigned) {
                ++h.assigned;
                ++req.assigned;
                ++edge_list[static_cast<size_t>(ein)].assigned;
                ++assigned_total;
                return 1;
            }
            if (h.assigned == 0) continue;
            for (int eout : h.edges) {
                const Edge& y = edge_list[static_cast<size_t>(eout)];
                const Node& x = nodes[static_cast<size_t>(y.s)];
                if (y.s == r || x.assigned == 0 || y.assigned == 0) continue;
                float d = daxDistanceI(rt, DaxMapPositionI(static_cast<int>(x.c.x), static_cast<int>(x.c.y)));
                if (x.assigned > best_a || (x.assigned == best_a && d > best_d)) {
                    best_d = d;
                    best_a = x.assigned;
                    bx = y.s;
                    b_in = ein;
                    b_out = eout;
                }
            }
        }
        if (!(best_d > 0.0f)) return 0;
        --nodes[static_cast<size_t>(bx)].assigned;
        ++req.assigned;
        ++edge_list[static_cast<size_t>(b_in)].assigned;
        --edge_list[static_cast<size_t>(b_out)].assigned;
        return 1;
    }
    int64_t edges() const { return static_cast<int64_t>(edge_list.size()); }
    int64_t assigned() const { return assigned_total; }

private:
    struct Node {
        DaxMapPositionF c;
        int people = 0;
        int range = 0;
        int assigned = 0;
        bool src = false;
        std::vector<int> edges;
    };
    struct Edge {
        int h, s;
        float dist;
        int assigned;
    };
    struct Label {
        float dist = 9999.0f;
        int prev = -1;
        int edge = -1;
        uint32_t stamp = 0;
    };

    static uint64_t key(int cx, int cy) {
        return (static_cast<uint64_t>(static_cast<uint32_t>(cx)) << 32) | static_cast<uint32_t>(cy);
    }
    static std::pair<int, int> cellXY(const DaxMapPositionF& p, int size) {
        return {static_cast<int>(std::floor(p.x / static_cast<float>(size))),
                static_cast<int>(std::floor(p.y / static_cast<float>(size)))};
    }
    static uint64_t cell(const DaxMapPositionF& p, int size) {
        auto c = cellXY(p, size);
        return key(c.first, c.second);
    }
    int newNode(const DaxMapPositionF& c, int people, int range, bool src) {
        Node x;
        x.c = c;
        x.people = people;
        x.range = range;
        x.src = src;
        nodes.push_back(x);
        lab.emplace_back();
        return static_cast<int>(nodes.size()) - 1;
    }
    void link(int h, int s, float d) {
        edge_list.push_back(Edge{h, s, d, 0});
        int e = static_cast<int>(edge_list.size()) - 1;
        nodes[static_cast<size_t>(h)].edges.push_back(e);
        nodes[static_cast<size_t>(s)].edges.push_back(e);
    }
    int freeOf(int n) const { return nodes[static_cast<size_t>(n)].people - nodes[static_cast<size_t>(n)].assigned; }

    int search(int s) {
        const bool side = nodes[static_cast<size_t>(s)].src;
        if ((side ? jobs : workers) - assigned_total <= 0) return -1;
        ++stamp;
        lab[static_cast<size_t>(s)] = Label{0.0f, -1, -1, stamp};
        scan.assign(1, s);
        float bound = 9999.0f;
        int end = -1;
        for (size_t i = 0; i < scan.size(); ++i) {
            int n = scan[i];
            const float ldist = lab[static_cast<size_t>(n)].dist;
            for (int e : nodes[static_cast<size_t>(n)].edges) {
                const Edge& ed = edge_list[static_cast<size_t>(e)];
                int o = ed.h == n ? ed.s : ed.h;
                const Node& on = nodes[static_cast<size_t>(o)];
                float cand = ldist + ed.dist;
                if (cand >= bound) continue;
                Label& lo = lab[static_cast<size_t>(o)];
                float odist = lo.stamp == stamp ? lo.dist : 9999.0f;
                if (on.src == side) {
                    if (ed.assigned == 0 || !(static_cast<double>(cand) < static_cast<double>(odist) - 0.01)) continue;
                } else if (!(cand < odist)) {
                    continue;
                }
                bool reached = lo.stamp == stamp;
                lo = Label{cand, n, e, stamp};
                if (!reached) scan.push_back(o);
                if (on.src != side && on.people > on.assigned) {
                    bound = cand;
                    end = o;
                }
            }
        }
        return end;
    }
    void flow(int s) {
        const bool side = nodes[static_cast<size_t>(s)].src;
        for (int k = 1; k < 99999; ++k) {
            int e = search(s);
            if (e < 0) return;
            int a = std::min(freeOf(s), freeOf(e));
            for (int m = e; m != s; m = lab[static_cast<size_t>(m)].prev)
                if (nodes[static_cast<size_t>(m)].src == side)
                    a = std::min(a, edge_list[static_cast<size_t>(lab[static_cast<size_t>(m)].edge)].assigned);
            for (int m = e; m != s; m = lab[static_cast<size_t>(m)].prev)
                edge_list[static_cast<size_t>(lab[static_cast<size_t>(m)].edge)].assigned +=
                    nodes[static_cast<size_t>(m)].src == side ? -a : a;
            nodes[static_cast<size_t>(s)].assigned += a;
            nodes[static_cast<size_t>(e)].assigned += a;
            assigned_total += a;
            if (freeOf(s) == 0) return;
        }
    }

    const Layout& lay;
    std::vector<Node> nodes;
    std::vector<Edge> edge_list;
    std::vector<Label> lab;
    std::vector<int> scan;
    uint32_t stamp = 0;
    std::vector<int> house_node, sink_node;
    std::unordered_map<uint64_t, std::vector<int>> houses, sinks;
    int workers = 0, jobs = 0, assigned_total = 0;
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

// One built town per kind, size and balance, shared by the benchmarks of
// single changes.
template <class Town>
Town& cached(int houses, int balance) {
    static std::map<std::pair<int, int>, std::unique_ptr<Town>> towns;
    std::unique_ptr<Town>& t = towns[{houses, balance}];
    if (!t) t = std::make_unique<Town>(layout(houses, balance));
    return *t;
}

void sizes(benchmark::internal::Benchmark* b) {
    for (int h : kSizes)
        for (int bal : kBalances) b->Args({h, bal});
}

// A house chosen at random offers one worker more, then one less.
template <class Town>
void BM_HousePlusMinus(benchmark::State& state) {
    int houses = static_cast<int>(state.range(0));
    Town& t = cached<Town>(houses, static_cast<int>(state.range(1)));
    std::mt19937 rng(1);
    for (auto _ : state) {
        int h = static_cast<int>(rng() % static_cast<uint32_t>(houses));
        t.grow(h, 1);
        t.grow(h, -1);
    }
    state.SetItemsProcessed(state.iterations() * 2);
}
BENCHMARK_TEMPLATE(BM_HousePlusMinus, NetTown)->Apply(sizes)->Unit(benchmark::kMicrosecond);
BENCHMARK_TEMPLATE(BM_HousePlusMinus, BareTown)->Apply(sizes)->Unit(benchmark::kMicrosecond);

// One of the workplaces nearest the middle of the town is removed and
// placed again.
template <class Town>
void BM_CentralSinkOutAndIn(benchmark::State& state) {
    int houses = static_cast<int>(state.range(0));
    const Layout& l = layout(houses, static_cast<int>(state.range(1)));
    Town& t = cached<Town>(houses, static_cast<int>(state.range(1)));
    size_t k = 0;
    for (auto _ : state) {
        int s = l.central[k++ % l.central.size()];
        t.removeSink(s);
        t.addSink(s);
    }
    state.SetItemsProcessed(state.iterations() * 2);
}
BENCHMARK_TEMPLATE(BM_CentralSinkOutAndIn, NetTown)->Apply(sizes)->Unit(benchmark::kMicrosecond);
BENCHMARK_TEMPLATE(BM_CentralSinkOutAndIn, BareTown)->Apply(sizes)->Unit(benchmark::kMicrosecond);

// A workplace chosen at random asks for one more worker.
template <class Town>
void BM_RequestMoreWorkers(benchmark::State& state) {
    int houses = static_cast<int>(state.range(0));
    Town& t = cached<Town>(houses, static_cast<int>(state.range(1)));
    std::mt19937 rng(2);
    int64_t moved = 0;
    for (auto _ : state) moved += t.request(static_cast<int>(rng() % static_cast<uint32_t>(houses / 10)));
    state.SetItemsProcessed(state.iterations());
    state.counters["moved"] = static_cast<double>(moved) / static_cast<double>(state.iterations());
}
BENCHMARK_TEMPLATE(BM_RequestMoreWorkers, NetTown)->Apply(sizes)->Unit(benchmark::kMicrosecond);
BENCHMARK_TEMPLATE(BM_RequestMoreWorkers, BareTown)->Apply(sizes)->Unit(benchmark::kMicrosecond);

// A whole town: every node placed, then every house filled step by step.
// Items are edges.
template <class Town>
void BM_BuildTown(benchmark::State& state) {
    const Layout& l = layout(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    int64_t edges = 0;
    int64_t assigned = 0;
    for (auto _ : state) {
        Town t(l);
        edges = t.edges();
        assigned = t.assigned();
    }
    state.SetItemsProcessed(state.iterations() * edges);
    state.counters["edges"] = static_cast<double>(edges);
    state.counters["assigned"] = static_cast<double>(assigned);
}
BENCHMARK_TEMPLATE(BM_BuildTown, NetTown)->Apply(sizes)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK_TEMPLATE(BM_BuildTown, BareTown)->Apply(sizes)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
