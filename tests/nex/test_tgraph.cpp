// Directed graph: ids, incident-edge lists, removal, the checks that keep a
// bad id from corrupting the lists, views, raw parts and a randomised run
// against a simple model.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <set>
#include <vector>

#include "nex/tgraph.h"
#include "nex_test_util.h"

namespace {

std::vector<int32_t> outEdges(const tDiGraph& g, int32_t n) {
    std::vector<int32_t> ids;
    for (tDiGraph::OutEdgeIterator it(g, n); !it.atEnd(); ++it) {
        EXPECT_EQ(it.source(), n);
        ids.push_back(it.edge());
    }
    return ids;
}

std::vector<int32_t> inEdges(const tDiGraph& g, int32_t n) {
    std::vector<int32_t> ids;
    for (tDiGraph::InEdgeIterator it(g, n); it; ++it) {
        EXPECT_EQ(it.target(), n);
        ids.push_back(it.edge());
    }
    return ids;
}

std::vector<int32_t> allEdges(const tDiGraph& g, int32_t n) {
    std::vector<int32_t> ids;
    for (tDiGraph::EdgeIterator it(g, n); it; ++it) ids.push_back(it.edge());
    return ids;
}

std::vector<int32_t> nodes(const tDiGraph& g) {
    std::vector<int32_t> ids;
    for (int32_t n = g.firstNode(); n != 0; n = g.nextNode(n)) ids.push_back(n);
    return ids;
}

// Node a -> b, a -> c, c -> a, b -> b (a loop).
struct SmallGraph : ::testing::Test {
    void SetUp() override {
        a = g.addNode();
        b = g.addNode();
        c = g.addNode();
        ab = g.addEdge(a, b);
        ac = g.addEdge(a, c);
        ca = g.addEdge(c, a);
        bb = g.addEdge(b, b);
    }
    tDiGraph g;
    int32_t a = 0, b = 0, c = 0, ab = 0, ac = 0, ca = 0, bb = 0;
};

}  // namespace

TEST_F(SmallGraph, IdsStartAtOneAndListsKeepOrder) {
    EXPECT_EQ(a, 1);
    EXPECT_EQ(ab, 1);
    EXPECT_EQ(nodes(g), (std::vector<int32_t>{1, 2, 3}));
    EXPECT_EQ(outEdges(g, a), (std::vector<int32_t>{ab, ac}));
    EXPECT_EQ(inEdges(g, a), (std::vector<int32_t>{ca}));
    EXPECT_EQ(allEdges(g, a), (std::vector<int32_t>{ab, ac, ca}));
    EXPECT_EQ(g.outDeg(a), 2);
    EXPECT_EQ(g.inDeg(a), 1);
    EXPECT_EQ(g.edgeSource(ca), c);
    EXPECT_EQ(g.edgeTarget(ca), a);
    EXPECT_EQ(g.opposite(ca, a), c);
    EXPECT_EQ(g.nodeCount(), 3);
    EXPECT_EQ(g.edgeCount(), 4);
    EXPECT_EQ(g.nodeLimit(), 4);
    EXPECT_EQ(g.edgeLimit(), 5);
    EXPECT_EQ(tDiGraph::dataSignature(), 152);
    EXPECT_NO_THROW(g.verify());
}

TEST_F(SmallGraph, AdjacencyRecordHoldsInListThenOutList) {
    const tDiGraph::NodeInf_& inf = g.nodeAdjacency(a - 1);
    const int32_t* words = reinterpret_cast<const int32_t*>(&inf);
    EXPECT_EQ(words[2], 1);  // in-degree
    EXPECT_EQ(words[5], 2);  // out-degree
    EXPECT_EQ(inf.in_.count_, g.inDeg(a));
    EXPECT_EQ(inf.out_.count_, g.outDeg(a));
    EXPECT_EQ(nexCatch([&] { (void)g.nodeAdjacency(3); }).text,
              "nex\\tappend.h line 164: 16103 index 3 out of range (0-3)");
}

TEST_F(SmallGraph, LoopEdgeIsInBothListsAndRemovedOnce) {
    EXPECT_EQ(outEdges(g, b), (std::vector<int32_t>{bb}));
    EXPECT_EQ(inEdges(g, b), (std::vector<int32_t>{ab, bb}));
    EXPECT_EQ(allEdges(g, b), (std::vector<int32_t>{bb, ab, bb}));
    g.removeNode(b);
    EXPECT_FALSE(g.isNode(b));
    EXPECT_FALSE(g.isEdge(bb));
    EXPECT_FALSE(g.isEdge(ab));
    EXPECT_EQ(g.edgeCount(), 2);
    EXPECT_EQ(g.outDeg(a), 1);
    EXPECT_EQ(g.nodeAdjacency(b - 1).in_.count_, 0);
    EXPECT_NO_THROW(g.verify());
    // The freed id comes back with an empty record.
    EXPECT_EQ(g.addNode(), b);
    EXPECT_TRUE(allEdges(g, b).empty());
    // The out-list went first, then the in-list without the loop: ab was
    // freed last and is reused first.
    EXPECT_EQ(g.addEdge(c, b), ab);
    EXPECT_EQ(g.addEdge(c, b), bb);
}

TEST_F(SmallGraph, RemovingANodeWithSeveralLoopsRemovesEachOnce) {
    int32_t bb2 = g.addEdge(b, b);
    int32_t cb = g.addEdge(c, b);
    int32_t bc = g.addEdge(b, c);
    EXPECT_EQ(allEdges(g, b), (std::vector<int32_t>{bb, bb2, bc, ab, bb, bb2, cb}));
    g.removeNode(b);
    for (int32_t e : {ab, bb, bb2, cb, bc}) EXPECT_FALSE(g.isEdge(e)) << e;
    EXPECT_EQ(g.edgeCount(), 2);
    EXPECT_EQ(g.edgeIdList().freeCount(), 5);
    EXPECT_EQ(outEdges(g, c), (std::vector<int32_t>{ca}));
    EXPECT_EQ(inEdges(g, c), (std::vector<int32_t>{ac}));
    EXPECT_NO_THROW(g.verify());
}

TEST_F(SmallGraph, RemovedEdgeIdIsReusedAndTableDoesNotGrow) {
    g.removeEdge(ac);
    EXPECT_FALSE(g.isEdge(ac));
    EXPECT_EQ(outEdges(g, a), (std::vector<int32_t>{ab}));
    EXPECT_EQ(g.addEdge(b, c), ac);
    EXPECT_EQ(g.edgeSource(ac), b);
    // Churn through freed ids: the edge table stays as long as the ids.
    for (int32_t i = 0; i < 1000; ++i) {
        g.removeEdge(ac);
        ASSERT_EQ(g.addEdge(c, b), ac);
    }
    EXPECT_EQ(g.edgeTable().size(), g.edgeLimit() - 1);
    EXPECT_EQ(g.edgeTable().size(), 4);
    EXPECT_EQ(g.adjacencyLinks().size(), 9);
    EXPECT_NO_THROW(g.verify());
}

TEST_F(SmallGraph, FindEdgeReturnsTheOldestParallelEdge) {
    int32_t ab2 = g.addEdge(a, b);
    EXPECT_EQ(g.findEdge(a, b), ab);
    g.removeEdge(ab);
    EXPECT_EQ(g.findEdge(a, b), ab2);
    EXPECT_EQ(g.findEdge(b, a), 0);
    EXPECT_EQ(g.findEdge(0, a), 0);
    EXPECT_EQ(g.findEdge(99, a), 0);
}

TEST_F(SmallGraph, EdgeIteratorSkipsEmptyLists) {
    int32_t sink = g.addNode();
    g.addEdge(c, sink);
    tDiGraph::EdgeIterator it(g, sink);
    EXPECT_EQ(it.state(), 1);
    EXPECT_EQ(it.other(), c);
    ++it;
    EXPECT_EQ(it.state(), 2);
    int32_t lone = g.addNode();
    tDiGraph::EdgeIterator none(g, lone);
    EXPECT_TRUE(none.atEnd());
    EXPECT_EQ(none.state(), 2);
    ++none;
    EXPECT_TRUE(none.atEnd());
    tDiGraph::EdgeIterator from_a(g, a);
    EXPECT_TRUE(from_a.isOut());
    EXPECT_EQ(from_a.other(), b);
}

TEST_F(SmallGraph, RemoveEdgeOfAnUnknownIdThrows) {
    g.removeEdge(ab);
    for (int32_t e : {ab, 0, -3, 5, 1000}) {
        NexThrown t = nexCatch([&] { g.removeEdge(e); });
        EXPECT_EQ(t.code, 16111) << e;
        EXPECT_EQ(t.text, "nex\\tgraph line 540: 16111 edge not valid");
    }
    EXPECT_EQ(g.edgeCount(), 3);
    EXPECT_NO_THROW(g.verify());
}

// A node that does not exist used to be linked into (or unlinked from) the
// lists of whatever record sat at its index; now nothing changes.
TEST_F(SmallGraph, BadNodeIdsAreRefusedBeforeAnyChange) {
    g.removeNode(c);
    struct Case {
        int32_t source, target;
        const char* text;
    };
    const Case cases[] = {
        {c, a, "nex\\tgraph line 484: 16112 source node not valid"},
        {0, a, "nex\\tgraph line 484: 16112 source node not valid"},
        {a, 7, "nex\\tgraph line 486: 16112 target node not valid"},
        {a, -1, "nex\\tgraph line 486: 16112 target node not valid"},
    };
    const tDiGraph before(g);
    for (const Case& k : cases) {
        NexThrown t = nexCatch([&] { g.addEdge(k.source, k.target); });
        EXPECT_EQ(t.code, 16112);
        EXPECT_EQ(t.text, k.text);
        EXPECT_EQ(g.edgeLimit(), before.edgeLimit());
        EXPECT_EQ(g.edgeCount(), before.edgeCount());
        EXPECT_EQ(g.adjacencyHead().count_, before.adjacencyHead().count_);
    }
    for (int32_t n : {c, 0, -1, 4, 1000}) {
        NexThrown t = nexCatch([&] { g.removeNode(n); });
        EXPECT_EQ(t.code, 16112) << n;
        EXPECT_EQ(t.text, "nex\\tgraph line 580: 16112 node not valid");
    }
    EXPECT_EQ(g.nodeCount(), 2);
    EXPECT_EQ(g.nodeIdList().freeCount(), 1);
    EXPECT_NO_THROW(g.verify());
    EXPECT_EQ(g.addNode(), c);
}

TEST_F(SmallGraph, DamagedGraphIsReportedInconsistent) {
    // A node freed behind the graph's back leaves edges that end nowhere.
    tDiGraph bad(g);
    bad.nodeIdList().free(c);
    NexThrown t = nexCatch([&] { (void)bad.isEdge(ac); });
    EXPECT_EQ(t.text, "nex\\tgraph line 434: 16110 tDiGraph inconsistent");
    EXPECT_EQ(nexCatch([&] { bad.verify(); }).code, 16110);

    // A cell that names another edge would unlink the wrong one.
    tDiGraph cells(g);
    int32_t out = cells.edgeInfo(ab).out_link_;
    cells.adjacencyLinks()[out].edge_ = ac;
    t = nexCatch([&] { cells.removeEdge(ab); });
    EXPECT_EQ(t.text, "nex\\tgraph line 548: 16110 tDiGraph inconsistent");
    EXPECT_TRUE(cells.isEdge(ab));
    EXPECT_EQ(nexCatch([&] { cells.verify(); }).code, 16110);

    tDiGraph counts(g);
    counts.nodeTable()[a - 1].out_.count_ = 3;
    EXPECT_EQ(nexCatch([&] { counts.verify(); }).code, 16110);

    tDiGraph pool(g);
    pool.adjacencyHead().count_ += 1;
    EXPECT_EQ(nexCatch([&] { pool.verify(); }).code, 16110);
}

// Data as a damaged save file could hold it: every list, count and link
// agrees, but one cell serves two lists: removeEdge would free it twice and
// addEdge then hand it out twice.
TEST(DiGraphVerify, CellsMustBeUsedExactlyOnce) {
    tDiGraph g;
    int32_t a = g.addNode();
    int32_t b = g.addNode();
    int32_t e = g.addEdge(a, b);
    ASSERT_NO_THROW(g.verify());
    const int32_t in = g.edgeInfo(e).in_link_;

    tDiGraph shared(g);
    shared.nodeTable()[a - 1].out_ = tDiGraph::AdjHead{in, in, 1};
    shared.edgeTable()[e - 1].out_link_ = in;
    EXPECT_EQ(nexCatch([&] { shared.verify(); }).code, 16110);
}

TEST_F(SmallGraph, ViewRefusesAdditionsButAllowsRemoval) {
    EXPECT_FALSE(g.isView());
    tDiGraph view = tDiGraph::makeView(g);
    EXPECT_TRUE(view.isView());
    EXPECT_EQ(view.superGraph(), &g);
    NexThrown t = nexCatch([&] { view.addNode(); });
    EXPECT_EQ(t.code, 16113);
    t = nexCatch([&] { view.addEdge(a, b); });
    EXPECT_EQ(t.code, 16113);
    EXPECT_EQ(view.nodeCount(), 3);
    EXPECT_EQ(view.edgeCount(), 4);
    view.removeNode(c);
    EXPECT_EQ(view.edgeCount(), 2);
    EXPECT_EQ(g.edgeCount(), 4);  // the super graph is untouched
    tDiGraph copy(view);
    EXPECT_TRUE(copy.isView());
    copy.setSuperGraph(nullptr);
    EXPECT_EQ(copy.addNode(), c);
    EXPECT_NO_THROW(copy.verify());
}

TEST_F(SmallGraph, ClearStartsOver) {
    for (bool release : {false, true}) {
        tDiGraph h(g);
        h.clear(release);
        EXPECT_EQ(h.nodeCount(), 0);
        EXPECT_EQ(h.edgeCount(), 0);
        EXPECT_EQ(h.firstNode(), 0);
        EXPECT_EQ(h.adjacencyLinks().size(), 1);
        EXPECT_EQ(h.adjacencyHead().free_head_, -1);
        EXPECT_NO_THROW(h.verify());
        int32_t x = h.addNode();
        int32_t y = h.addNode();
        EXPECT_EQ(x, 1);
        EXPECT_EQ(h.addEdge(x, y), 1);
        EXPECT_EQ(outEdges(h, x), (std::vector<int32_t>{1}));
        EXPECT_EQ(inEdges(h, y), (std::vector<int32_t>{1}));
        EXPECT_NO_THROW(h.verify());
    }
}

// What the save loader does: clear a graph and fill its raw parts from the
// saved bytes of another; the copy behaves like the original.
TEST_F(SmallGraph, RawPartsRebuildTheGraph) {
    g.removeEdge(ac);
    g.removeNode(c);
    tDiGraph loaded;
    loaded.addNode();
    loaded.clear(true);
    auto copyIds = [](const tDiGraph::IdList& from, tDiGraph::IdList& to) {
        to.head() = from.head();
        to.links().resize(0);
        for (int32_t i = 0; i < from.links().size(); ++i) to.links().append(from.links()[i]);
    };
    copyIds(g.nodeIdList(), loaded.nodeIdList());
    copyIds(g.edgeIdList(), loaded.edgeIdList());
    for (int32_t i = 0; i < g.edgeTable().size(); ++i) loaded.edgeTable().append(g.edgeTable()[i]);
    for (int32_t i = 0; i < g.nodeTable().size(); ++i) loaded.nodeTable().append(g.nodeTable()[i]);
    loaded.adjacencyHead() = g.adjacencyHead();
    loaded.adjacencyLinks().resize(0);
    for (int32_t i = 0; i < g.adjacencyLinks().size(); ++i) loaded.adjacencyLinks().append(g.adjacencyLinks()[i]);
    loaded.setSuperGraph(nullptr);
    ASSERT_NO_THROW(loaded.verify());
    EXPECT_EQ(nodes(loaded), nodes(g));
    EXPECT_EQ(allEdges(loaded, a), allEdges(g, a));
    EXPECT_EQ(loaded.addNode(), g.addNode());
    EXPECT_EQ(loaded.addEdge(a, b), g.addEdge(a, b));
    EXPECT_EQ(allEdges(loaded, b), allEdges(g, b));
    EXPECT_NO_THROW(loaded.verify());
}

TEST(DiGraph, FreshGraphIsEmpty) {
    tDiGraph g;
    EXPECT_EQ(g.firstNode(), 0);
    EXPECT_EQ(g.nodeLimit(), 0);
    EXPECT_FALSE(g.isNode(0));
    EXPECT_FALSE(g.isNode(1));
    EXPECT_FALSE(g.isEdge(1));
    EXPECT_EQ(g.adjacencyHead().free_head_, -1);
    EXPECT_EQ(g.adjacencyLinks().size(), 1);
    EXPECT_NO_THROW(g.verify());
}

// Random additions and removals, checked after every step against a model
// that keeps each node's out- and in-edges in the order they were added.
TEST(DiGraph, RandomRunMatchesAModel) {
    std::mt19937 rng(20240611);
    tDiGraph g;
    std::set<int32_t> live_nodes;
    std::map<int32_t, std::pair<int32_t, int32_t>> live_edges;
    std::map<int32_t, std::vector<int32_t>> outs, ins;
    auto pick = [&](const auto& container) {
        auto it = container.begin();
        std::advance(it, rng() % container.size());
        return it;
    };
    auto dropEdge = [&](int32_t e) {
        auto [s, t] = live_edges.at(e);
        auto& o = outs[s];
        o.erase(std::find(o.begin(), o.end(), e));
        auto& i = ins[t];
        i.erase(std::find(i.begin(), i.end(), e));
        live_edges.erase(e);
    };
    for (int32_t step = 0; step < 4000; ++step) {
        uint32_t op = rng() % 10;
        if (op < 2 || live_nodes.size() < 2) {
            int32_t n = g.addNode();
            ASSERT_TRUE(live_nodes.insert(n).second) << "node id handed out twice";
            outs[n].clear();
            ins[n].clear();
        } else if (op < 6) {
            int32_t s = *pick(live_nodes);
            int32_t t = rng() % 8 == 0 ? s : *pick(live_nodes);
            int32_t e = g.addEdge(s, t);
            ASSERT_GT(e, 0);
            ASSERT_TRUE(live_edges.emplace(e, std::make_pair(s, t)).second) << "edge id handed out twice";
            outs[s].push_back(e);
            ins[t].push_back(e);
        } else if (op < 9 && !live_edges.empty()) {
            int32_t e = pick(live_edges)->first;
            g.removeEdge(e);
            dropEdge(e);
        } else {
            int32_t n = *pick(live_nodes);
            std::vector<int32_t> incident;
            for (auto& [e, st] : live_edges)
                if (st.first == n || st.second == n) incident.push_back(e);
            g.removeNode(n);
            for (int32_t e : incident) dropEdge(e);
            live_nodes.erase(n);
        }

        ASSERT_EQ(g.nodeCount(), static_cast<int32_t>(live_nodes.size()));
        ASSERT_EQ(g.edgeCount(), static_cast<int32_t>(live_edges.size()));
        ASSERT_EQ(g.edgeTable().size(), std::max(0, g.edgeLimit() - 1));
        ASSERT_NO_THROW(g.verify());
        for (int32_t n : live_nodes) {
            ASSERT_EQ(outEdges(g, n), outs[n]);
            ASSERT_EQ(inEdges(g, n), ins[n]);
            ASSERT_EQ(g.outDeg(n), static_cast<int32_t>(outs[n].size()));
        }
        for (auto& [e, st] : live_edges) {
            ASSERT_TRUE(g.isEdge(e));
            ASSERT_EQ(g.edgeSource(e), st.first);
            ASSERT_EQ(g.edgeTarget(e), st.second);
        }
    }
}
