// Long random sequences of houses and workplaces coming, growing, shrinking
// and going, checked after every step against the network's invariants and
// against a plain second model of its rules: the same node and edge ids,
// the same edges in the same order, the same assignments, and the same
// graph as a directed graph driven by the same operations holds (what a
// save writes).
#include <algorithm>
#include <map>
#include <random>
#include <set>
#include <vector>

#include "test_workforce_fixture.h"

using namespace wkftest;

namespace {

using NodeSet = std::set<int32_t>;

// The rules written out plainly: every list a vector in the order the rules
// name, every search over all edges with its labels in a map, every new node
// compared with every other, no index and no short cuts.
class PlainNetwork {
public:
    struct Node {
        RnObjectID oid;
        DaxMapPositionF c;
        int people = 0;
        int range = 0;
        int assigned = 0;
        bool src = false;
        std::vector<int32_t> edges;  // a house's out-edges, a workplace's in-edges
        int free() const { return people - assigned; }
    };
    struct Edge {
        int32_t house = 0;
        int32_t sink = 0;
        float dist = 0.0f;
        int assigned = 0;
    };

    void addSource(const RnObjectID& oid, const DaxMapPositionF& c, int workers) {
        int32_t n = addNode(oid, c, workers, 0, true);
        for (int32_t s : order)
            if (!nodes[s].src && daxDistanceF(c, nodes[s].c) <= nodes[s].range) link(n, s);
        total_workers += workers;
        if (workers > 0) flow(n);
    }
    void addSink(const RnObjectID& oid, const DaxMapPositionF& c, int workers, int range) {
        int32_t n = addNode(oid, c, workers, range, false);
        for (int32_t h : order)
            if (nodes[h].src && daxDistanceF(nodes[h].c, c) <= range) link(h, n);
        total_jobs += workers;
        flow(n);
    }
    void updateSource(const RnObjectID& oid, int delta) {
        int32_t n = ids.at(oid);
        Node& h = nodes[n];
        bool was_full = h.free() == 0;
        h.people += delta;
        total_workers += delta;
        if (delta > 0) {
            if (was_full) flow(n);
            return;
        }
        int excess = -h.free();
        if (excess <= 0) return;
        total_assignments -= excess;
        std::vector<int32_t> loaded;
        for (int32_t e : h.edges)
            if (edges[e].assigned > 0) loaded.push_back(e);
        std::sort(loaded.begin(), loaded.end(), [this](int32_t a, int32_t b) {
            return edges[a].dist != edges[b].dist ? edges[a].dist < edges[b].dist : a < b;
        });
        NodeSet released;
        for (int32_t e : loaded) {
            if (excess <= 0) break;
            int take = std::min(edges[e].assigned, excess);
            edges[e].assigned -= take;
            nodes[edges[e].sink].assigned -= take;
            h.assigned -= take;
            excess -= take;
            released.insert(edges[e].sink);
        }
        for (int32_t w : released) flow(w);
    }
    void remove(const RnObjectID& oid) {
        int32_t n = ids.at(oid);
        Node& x = nodes[n];
        (x.src ? total_workers : total_jobs) -= x.people;
        total_assignments -= x.assigned;
        NodeSet released;
        for (int32_t e : x.edges) {
            int32_t o = x.src ? edges[e].sink : edges[e].house;
            if (edges[e].assigned > 0) {
                nodes[o].assigned -= edges[e].assigned;
                released.insert(o);
            }
            std::vector<int32_t>& theirs = nodes[o].edges;
            theirs.erase(std::find(theirs.begin(), theirs.end(), e));
            edges.erase(e);
        }
        ids.erase(oid);
        order.erase(std::find(order.begin(), order.end(), n));
        nodes.erase(n);
        graph.removeNode(n);
        for (int32_t o : released) flow(o);
    }
    int requestMoreWorkers(const RnObjectID& oid) {
        int32_t r = ids.at(oid);
        Node& req = nodes[r];
        if (req.free() == 0) return 0;
        DaxMapPositionI rt(static_cast<int>(req.c.x), static_cast<int>(req.c.y));
        float best_d = 0.0f;
        int best_a = 0;
        int32_t bx = 0, b_in = 0, b_out = 0;
        for (int32_t ein : req.edges) {
            Node& h = nodes[edges[ein].house];
            if (h.people == 0) continue;
            if (h.free() > 0) {
                ++h.assigned;
                ++req.assigned;
                ++edges[ein].assigned;
                ++total_assignments;
                return 1;
            }
            if (h.assigned == 0) continue;
            for (int32_t eout : h.edges) {
                int32_t x = edges[eout].sink;
                if (x == r || nodes[x].assigned == 0 || edges[eout].assigned == 0) continue;
                DaxMapPositionI xt(static_cast<int>(nodes[x].c.x), static_cast<int>(nodes[x].c.y));
                float d = daxDistanceI(rt, xt);
                if (nodes[x].assigned > best_a || (nodes[x].assigned == best_a && d > best_d)) {
                    best_d = d;
                    best_a = nodes[x].assigned;
                    bx = x;
                    b_in = ein;
                    b_out = eout;
                }
            }
        }
        if (!(best_d > 0.0f)) return 0;
        --nodes[bx].assigned;
        ++req.assigned;
        ++edges[b_in].assigned;
        --edges[b_out].assigned;
        return 1;
    }

    std::map<int32_t, Node> nodes;
    std::vector<int32_t> order;  // the node list
    std::map<int32_t, Edge> edges;
    std::map<RnObjectID, int32_t, RnObjectIDLess> ids;
    // The ids, lists and cells: a directed graph given the same nodes and
    // edges, made and removed in the same order.
    tDiGraph graph;
    int total_workers = 0;
    int total_jobs = 0;
    int total_assignments = 0;

private:
    struct Label {
        float dist = 9999.0f;
        int32_t prev = 0;
        int32_t edge = 0;
    };

    int32_t addNode(const RnObjectID& oid, const DaxMapPositionF& c, int people, int range, bool src) {
        int32_t n = graph.addNode();
        Node& x = nodes[n];
        x.oid = oid;
        x.c = c;
        x.people = people;
        x.range = range;
        x.src = src;
        order.push_back(n);
        ids[oid] = n;
        return n;
    }
    void link(int32_t h, int32_t s) {
        int32_t e = graph.addEdge(h, s);
        edges[e] = Edge{h, s, daxDistanceF(nodes[h].c, nodes[s].c), 0};
        nodes[h].edges.push_back(e);
        nodes[s].edges.push_back(e);
    }
    // One search: scan list in order of first labelling, each node scanned
    // once with its label as it is then; candidates no shorter than the best
    // end found so far are dropped.
    int32_t search(int32_t s, std::map<int32_t, Label>& lab) {
        const bool side = nodes[s].src;
        lab.clear();
        lab[s] = Label{0.0f, 0, 0};
        std::vector<int32_t> scan{s};
        float bound = 9999.0f;
        int32_t end = 0;
        auto dist = [&lab](int32_t n) {
            auto it = lab.find(n);
            return it == lab.end() ? 9999.0f : it->second.dist;
        };
        for (size_t i = 0; i < scan.size(); ++i) {
            int32_t n = scan[i];
            for (int32_t e : nodes[n].edges) {
                const Edge& ed = edges[e];
                int32_t o = ed.house == n ? ed.sink : ed.house;
                float cand = dist(n) + ed.dist;
                if (cand >= bound) continue;
                if (nodes[o].src == side) {
                    if (ed.assigned == 0 || !(static_cast<double>(cand) < static_cast<double>(dist(o)) - 0.01))
                        continue;
                } else if (!(cand < dist(o))) {
                    continue;
                }
                bool reached = lab.count(o) != 0;
                lab[o] = Label{cand, n, e};
                if (!reached) scan.push_back(o);
                if (nodes[o].src != side && nodes[o].free() > 0) {
                    bound = cand;
                    end = o;
                }
            }
        }
        return end;
    }
    void flow(int32_t s) {
        const bool side = nodes[s].src;
        for (int k = 1; k < 99999; ++k) {
            std::map<int32_t, Label> lab;
            int32_t e = search(s, lab);
            if (e == 0) return;
            int a = std::min(nodes[s].free(), nodes[e].free());
            for (int32_t m = e; m != s; m = lab[m].prev)
                if (nodes[m].src == side) a = std::min(a, edges[lab[m].edge].assigned);
            for (int32_t m = e; m != s; m = lab[m].prev)
                edges[lab[m].edge].assigned += nodes[m].src == side ? -a : a;
            nodes[s].assigned += a;
            nodes[e].assigned += a;
            total_assignments += a;
            if (nodes[s].free() == 0) return;
        }
    }
};

class WorkforceRandomTest : public WorkforceTest {
protected:
    // The network's own invariants. That every pair in range has its edge
    // is checked against the plain model, which compares every pair.
    void checkInvariants() {
        const RnWorkforce::GraphImage img = net.graphImage();
        const tDiGraph& g = img.graph;
        ASSERT_NO_THROW(g.verify());
        int32_t workers = 0, jobs = 0, hous_assigned = 0, sink_assigned = 0;
        ASSERT_EQ(static_cast<int32_t>(net.oidNodeMap().size()), g.nodeCount());
        ASSERT_EQ(net.edgeCount(), g.edgeCount());
        for (int32_t n = g.firstNode(); n != 0; n = g.nextNode(n)) {
            const RnWorkforce::NodeData& d = net.nodeData(n);
            ASSERT_EQ(net.nodeOf(d.oid_), n);
            ASSERT_GE(d.pplFree(), 0) << "node " << n;
            int32_t sum = 0;
            for (tDiGraph::EdgeIterator it(g, n); it; ++it) sum += img.edgeData(it.edge()).assigned_;
            ASSERT_EQ(sum, d.ppl_assigned_) << "node " << n;
            const FakeBuildings::Place& p = town.places.at(d.oid_);
            if (d.is_source_) {
                ASSERT_EQ(g.inDeg(n), 0);
                ASSERT_EQ(p.workers, d.people_);
                ASSERT_EQ(p.employed, d.ppl_assigned_) << "house node " << n;
                workers += d.people_;
                hous_assigned += d.ppl_assigned_;
            } else {
                ASSERT_EQ(g.outDeg(n), 0);
                jobs += d.people_;
                sink_assigned += d.ppl_assigned_;
            }
        }
        for (int32_t e = g.firstEdge(); e != 0; e = g.nextEdge(e)) {
            const RnWorkforce::NodeData& h = net.nodeData(g.edgeSource(e));
            const RnWorkforce::NodeData& s = net.nodeData(g.edgeTarget(e));
            ASSERT_TRUE(h.is_source_);
            ASSERT_FALSE(s.is_source_);
            float dist = daxDistanceF(town.places.at(h.oid_).centre, town.places.at(s.oid_).centre);
            ASSERT_EQ(img.edgeData(e).dist_, dist);
            ASSERT_LE(dist, s.range_);
        }
        ASSERT_EQ(net.totalWorkers(), workers);
        ASSERT_EQ(net.totalJobs(), jobs);
        ASSERT_EQ(net.totalAssignments(), hous_assigned);
        ASSERT_EQ(net.totalAssignments(), sink_assigned);
    }

    // The network and the plain model agree on everything.
    void checkSameAs(const PlainNetwork& plain) {
        const RnWorkforce::GraphImage img = net.graphImage();
        const tDiGraph& g = img.graph;
        ASSERT_EQ(graphDifference(g, plain.graph), "");
        std::vector<int32_t> list;
        for (int32_t n = g.firstNode(); n != 0; n = g.nextNode(n)) list.push_back(n);
        ASSERT_EQ(list, plain.order);
        for (const auto& entry : plain.nodes) {
            const PlainNetwork::Node& pn = entry.second;
            const RnWorkforce::NodeData& d = net.nodeData(entry.first);
            ASSERT_EQ(d.oid_, pn.oid);
            ASSERT_EQ(d.people_, pn.people);
            ASSERT_EQ(d.range_, pn.range);
            ASSERT_EQ(d.ppl_assigned_, pn.assigned) << "node " << entry.first;
            std::vector<int32_t> edges;
            for (tDiGraph::EdgeIterator it(g, entry.first); it; ++it) edges.push_back(it.edge());
            ASSERT_EQ(edges, pn.edges) << "node " << entry.first;
        }
        for (const auto& entry : plain.edges) {
            ASSERT_EQ(img.edgeData(entry.first).assigned_, entry.second.assigned) << "edge " << entry.first;
            ASSERT_EQ(img.edgeData(entry.first).dist_, entry.second.dist);
        }
        ASSERT_EQ(net.totalWorkers(), plain.total_workers);
        ASSERT_EQ(net.totalJobs(), plain.total_jobs);
        ASSERT_EQ(net.totalAssignments(), plain.total_assignments);
    }
};

TEST_F(WorkforceRandomTest, LongSequencesKeepTheInvariantsAndFollowThePlainRules) {
    std::mt19937 rng(4711);
    auto pick = [&rng](int n) { return static_cast<int>(rng() % static_cast<uint32_t>(n)); };
    int requests_granted = 0;
    int searches_released = 0;
    for (int round = 0; round < 6; ++round) {
        SCOPED_TRACE(round);
        freshNetwork();
        PlainNetwork plain;
        std::vector<RnObjectID> houses, sinks;
        // Small towns are dense with ties (whole and half tiles); later
        // rounds spread out.
        const int side = 12 + round * 6;
        auto position = [&] {
            return DaxMapPositionF(static_cast<float>(pick(side)) + 0.5f * static_cast<float>(pick(2)),
                                   static_cast<float>(pick(side)) + 0.5f * static_cast<float>(pick(2)));
        };
        for (int step = 0; step < 1200; ++step) {
            SCOPED_TRACE(step);
            int op = pick(100);
            if (op < 14 || houses.empty()) {
                RnObjectID oid(RnIdBldHous, 0, next_house_++);
                town.places[oid].centre = position();
                // Now and then a house that offers workers when it joins.
                int workers = pick(10) == 0 ? 1 + pick(6) : 0;
                town.places[oid].workers = workers;
                net.addSource(oid, static_cast<uint16_t>(workers));
                plain.addSource(oid, town.places[oid].centre, workers);
                houses.push_back(oid);
            } else if (op < 28 || sinks.empty()) {
                RnObjectID oid(RnIdBldServ, 0, next_sink_++);
                town.places[oid].centre = position();
                int workers = 1 + pick(12);
                int range = pick(9);
                net.addSink(oid, static_cast<uint16_t>(workers), static_cast<uint16_t>(range));
                plain.addSink(oid, town.places[oid].centre, workers, range);
                sinks.push_back(oid);
            } else if (op < 70) {
                const RnObjectID& h = houses[static_cast<size_t>(pick(static_cast<int>(houses.size())))];
                int now = town.places[h].workers;
                int delta = pick(2) == 0 ? -(1 + pick(6)) : 1 + pick(6);
                if (now + delta < 0) delta = -now;
                if (now + delta > 255) delta = 255 - now;
                if (delta == 0) continue;
                if (delta < 0 && now + delta < net.nodeData(net.nodeOf(h)).ppl_assigned_) ++searches_released;
                grow(h, delta);
                plain.updateSource(h, delta);
            } else if (op < 77) {
                size_t i = static_cast<size_t>(pick(static_cast<int>(houses.size())));
                // A house leaves with its workers gone first, as a real one
                // does; sometimes it leaves with them.
                if (pick(3) != 0 && town.places[houses[i]].workers > 0) {
                    int delta = -town.places[houses[i]].workers;
                    grow(houses[i], delta);
                    plain.updateSource(houses[i], delta);
                }
                net.removeSource(houses[i]);
                plain.remove(houses[i]);
                houses.erase(houses.begin() + static_cast<long>(i));
            } else if (op < 85) {
                if (pick(8) == 0) {
                    net.removeSink(RnObjectID(RnIdBldServ, 0, 100000));
                } else {
                    size_t i = static_cast<size_t>(pick(static_cast<int>(sinks.size())));
                    net.removeSink(sinks[i]);
                    plain.remove(sinks[i]);
                    sinks.erase(sinks.begin() + static_cast<long>(i));
                }
            } else {
                const RnObjectID& s = sinks[static_cast<size_t>(pick(static_cast<int>(sinks.size())))];
                int32_t before = net.totalAssignments();
                int got = net.requestMoreWorkers(s);
                ASSERT_EQ(got, plain.requestMoreWorkers(s));
                requests_granted += got;
                // A moved worker leaves the totals alone; only a mended
                // house adds one.
                ASSERT_LE(net.totalAssignments() - before, 1);
            }
            ASSERT_NO_FATAL_FAILURE(checkInvariants());
            ASSERT_NO_FATAL_FAILURE(checkSameAs(plain));
            // Now and then the network goes on as restored from its saved
            // graph, as after a load.
            if (step % 150 == 149) {
                RnWorkforce restored = net;
                ASSERT_TRUE(restored.restoreGraph(net.graphImage()));
                net = restored;
            }
        }
    }
    // The sequences reached the paths that matter.
    EXPECT_GT(requests_granted, 20);
    EXPECT_GT(searches_released, 50);
}

}  // namespace
