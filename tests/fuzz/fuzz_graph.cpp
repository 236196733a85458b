// The directed graph driven by a sequence of operations and checked against
// a plain model after each (ids, lists in insertion order, verify), and
// damaged raw data as a save file could hold it: whatever verify() accepts
// must stay consistent through removing and adding edges and nodes.
#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "nex/tgraph.h"

namespace {

struct Model {
    std::map<int32_t, std::vector<int32_t>> out, in;  // node -> edges in list order
    std::map<int32_t, std::pair<int32_t, int32_t>> edges;
    std::vector<int32_t> free_nodes, free_edges;  // reused last freed first
    int32_t made_nodes = 0, made_edges = 0;

    static int32_t take(std::vector<int32_t>& freed, int32_t& made) {
        if (freed.empty()) return ++made;
        int32_t id = freed.back();
        freed.pop_back();
        return id;
    }
    void removeEdge(int32_t e) {
        auto [s, t] = edges.at(e);
        auto& o = out[s];
        o.erase(std::find(o.begin(), o.end(), e));
        auto& i = in[t];
        i.erase(std::find(i.begin(), i.end(), e));
        edges.erase(e);
        free_edges.push_back(e);
    }
};

std::vector<int32_t> walk(const tDiGraph& g, int32_t n, bool out) {
    std::vector<int32_t> ids;
    if (out) {
        for (tDiGraph::OutEdgeIterator it(g, n); it; ++it) ids.push_back(it.edge());
    } else {
        for (tDiGraph::InEdgeIterator it(g, n); it; ++it) ids.push_back(it.edge());
    }
    return ids;
}

void compare(const tDiGraph& g, const Model& m) {
    FUZZ_CHECK(!fuzzThrowsNex([&] { g.verify(); }), "verify refused a graph built by operations");
    FUZZ_CHECK(g.nodeCount() == static_cast<int32_t>(m.out.size()), "node count");
    FUZZ_CHECK(g.edgeCount() == static_cast<int32_t>(m.edges.size()), "edge count");
    for (const auto& [n, edges] : m.out) {
        FUZZ_CHECK(g.isNode(n), "live node");
        FUZZ_CHECK(walk(g, n, true) == edges, "out-list");
        FUZZ_CHECK(walk(g, n, false) == m.in.at(n), "in-list");
    }
    for (const auto& [e, ends] : m.edges) {
        FUZZ_CHECK(g.isEdge(e) && g.edgeSource(e) == ends.first && g.edgeTarget(e) == ends.second, "edge");
    }
}

// Sets one raw field of the graph to a small value.
void damage(tDiGraph& g, FuzzInput& in) {
    const int32_t v = static_cast<int32_t>(in.range(-2, 12));
    const int32_t k = static_cast<int32_t>(in.range(0, 15));
    switch (in.byte() % 6) {
        case 0:
            if (g.nodeTable().size() > 0) {
                int32_t* f = &g.nodeTable()[k % g.nodeTable().size()].in_.first_;
                f[in.range(0, 5)] = v;
            }
            break;
        case 1:
            if (g.edgeTable().size() > 0) {
                int32_t* f = &g.edgeTable()[k % g.edgeTable().size()].source_;
                f[in.range(0, 3)] = v;
            }
            break;
        case 2: {
            int32_t* f = &g.adjacencyLinks()[k % g.adjacencyLinks().size()].prev_;
            f[in.range(0, 2)] = v;
            break;
        }
        case 3: {
            int32_t* f = &g.adjacencyHead().used_;
            f[in.range(0, 3)] = v;
            break;
        }
        default: {
            nex::tIndexList& ids = in.flag() ? g.nodeIdList() : g.edgeIdList();
            if (ids.links().size() > 0 && in.flag()) {
                int32_t* f = &ids.links()[k % ids.links().size()].prev_;
                f[in.range(0, 1)] = v;
            } else {
                int32_t* f = &ids.head().used_;
                f[in.range(0, 3)] = v;
            }
            break;
        }
    }
}

// A graph that verify() accepted: taking it apart and adding to it must
// keep it consistent.
void exercise(tDiGraph g) {
    std::vector<int32_t> edges, nodes;
    for (int32_t e = g.firstEdge(); e != 0; e = g.nextEdge(e)) edges.push_back(e);
    for (int32_t n = g.firstNode(); n != 0; n = g.nextNode(n)) nodes.push_back(n);
    for (size_t i = 0; i < edges.size(); i += 2) {
        FUZZ_CHECK(!fuzzThrowsNex([&] { g.removeEdge(edges[i]); }), "removeEdge of a verified graph");
        FUZZ_CHECK(!fuzzThrowsNex([&] { g.verify(); }), "verify after removeEdge");
    }
    for (size_t i = 0; i + 1 < nodes.size(); ++i) {
        FUZZ_CHECK(!fuzzThrowsNex([&] { g.addEdge(nodes[i], nodes[i + 1]); }), "addEdge of a verified graph");
        FUZZ_CHECK(!fuzzThrowsNex([&] { g.verify(); }), "verify after addEdge");
    }
    for (int32_t n : nodes) {
        FUZZ_CHECK(!fuzzThrowsNex([&] { g.removeNode(n); }), "removeNode of a verified graph");
        FUZZ_CHECK(!fuzzThrowsNex([&] { g.verify(); }), "verify after removeNode");
    }
    FUZZ_CHECK(g.edgeCount() == 0 && g.nodeCount() == 0, "empty at the end");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput in(data, size);
    tDiGraph g;
    Model m;
    while (!in.empty()) {
        const uint8_t op = in.byte() % 8;
        const int32_t a = static_cast<int32_t>(in.range(-1, m.made_nodes + 1));
        const int32_t b = static_cast<int32_t>(in.range(-1, m.made_nodes + 1));
        const int32_t e = static_cast<int32_t>(in.range(-1, m.made_edges + 1));
        const bool a_live = m.out.count(a) != 0, b_live = m.out.count(b) != 0;
        switch (op) {
            case 0: {
                const int32_t id = g.addNode();
                FUZZ_CHECK(id == Model::take(m.free_nodes, m.made_nodes), "node id");
                m.out[id];
                m.in[id];
                break;
            }
            case 1:
            case 2: {
                int32_t id = 0;
                FUZZ_CHECK(fuzzThrowsNex([&] { id = g.addEdge(a, b); }) != (a_live && b_live), "addEdge check");
                if (a_live && b_live) {
                    FUZZ_CHECK(id == Model::take(m.free_edges, m.made_edges), "edge id");
                    m.edges[id] = {a, b};
                    m.out[a].push_back(id);
                    m.in[b].push_back(id);
                }
                break;
            }
            case 3: {
                const bool live = m.edges.count(e) != 0;
                FUZZ_CHECK(fuzzThrowsNex([&] { g.removeEdge(e); }) != live, "removeEdge check");
                if (live) m.removeEdge(e);
                break;
            }
            case 4: {
                FUZZ_CHECK(fuzzThrowsNex([&] { g.removeNode(a); }) != a_live, "removeNode check");
                if (a_live) {
                    std::vector<int32_t> incident = m.out[a];
                    for (int32_t x : m.in[a])
                        if (std::find(incident.begin(), incident.end(), x) == incident.end()) incident.push_back(x);
                    for (int32_t x : incident) m.removeEdge(x);
                    m.out.erase(a);
                    m.in.erase(a);
                    m.free_nodes.push_back(a);
                }
                break;
            }
            case 5:
                if (a_live) {
                    int32_t expect = 0;
                    for (int32_t x : m.out[a])
                        if (m.edges[x].second == b) {
                            expect = x;
                            break;
                        }
                    FUZZ_CHECK(g.findEdge(a, b) == expect, "findEdge");
                }
                break;
            case 6: {
                tDiGraph copy(g);
                g = copy;
                break;
            }
            default: {
                // Raw damage to a copy, as a bad file could bring.
                tDiGraph bad(g);
                const int hits = static_cast<int>(in.range(1, 3));
                for (int i = 0; i < hits; ++i) damage(bad, in);
                bool accepted = !fuzzThrowsNex([&] { bad.verify(); });
                if (accepted) exercise(bad);
                break;
            }
        }
        compare(g, m);
    }
    return 0;
}
