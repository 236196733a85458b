// The workforce network on small hand-made towns: edges, assignment order,
// release order, removals, requests for more workers, queries, notices,
// traces and the fatal checks.
#include <functional>
#include <string>
#include <vector>

#include "test_workforce_fixture.h"

using namespace wkftest;

namespace {

TEST_F(WorkforceTest, EdgesJoinHousesWithinTheWorkplacesRange) {
    struct Case {
        float x, y;
        bool edge;
    };
    // A workplace of range 5 at (10, 10); exactly at the range is in.
    const Case cases[] = {
        {13, 14, true},     // 5 exactly (3-4-5)
        {10, 15, true},     // 5 exactly, straight
        {5, 10, true},      // 5 exactly, the other way
        {10, 10, true},     // on the same centre
        {14, 14, false},    // 5.66
        {10, 15.5f, false}, // a half tile too far
        {4.9f, 10, false},
        {12.5f, 13.5f, true},
    };
    for (bool sink_first : {true, false}) {
        SCOPED_TRACE(sink_first ? "workplace first" : "houses first");
        freshNetwork();
        RnObjectID s(RnIdBldServ, 0, 99);
        town.places[s].centre = DaxMapPositionF(10, 10);
        if (sink_first) net.addSink(s, 1, 5);
        std::vector<RnObjectID> hs;
        for (const Case& c : cases) hs.push_back(house(c.x, c.y));
        if (!sink_first) net.addSink(s, 1, 5);
        for (size_t i = 0; i < hs.size(); ++i) {
            SCOPED_TRACE(i);
            EXPECT_EQ(hasEdge(hs[i], s), cases[i].edge);
            const RnWorkforce::GraphImage img = net.graphImage();
            int32_t e = img.graph.findEdge(net.nodeOf(hs[i]), net.nodeOf(s));
            if (e != 0) {
                EXPECT_FLOAT_EQ(img.edgeData(e).dist_,
                                daxDistanceF(DaxMapPositionF(cases[i].x, cases[i].y), DaxMapPositionF(10, 10)));
            }
        }
    }
}

TEST_F(WorkforceTest, WideAndMixedRangesFindEveryHouse) {
    // Ranges from 0 to far beyond the town, so that every size of index
    // cell and the scan of all houses are used.
    std::vector<RnObjectID> hs;
    for (int i = 0; i < 40; ++i) hs.push_back(house(static_cast<float>(i * 37 % 300), static_cast<float>(i * 53 % 200)));
    const int ranges[] = {0, 1, 3, 17, 64, 130, 700, 65535};
    std::vector<RnObjectID> ss;
    for (int r : ranges) ss.push_back(sink(150.0f, 100.0f, 1, r));
    for (int i = 40; i < 60; ++i) hs.push_back(house(static_cast<float>(i * 37 % 300), static_cast<float>(i * 53 % 200)));
    for (size_t k = 0; k < ss.size(); ++k) {
        for (const RnObjectID& h : hs) {
            float d = daxDistanceF(town.places[h].centre, DaxMapPositionF(150.0f, 100.0f));
            EXPECT_EQ(hasEdge(h, ss[k]), d <= ranges[k]) << "range " << ranges[k] << " house " << h.bld_idx_;
        }
    }
}

TEST_F(WorkforceTest, NewHouseIsStaffedOnlyOnceItOffersWorkers) {
    RnObjectID s = sink(0, 0, 3, 10);
    RnObjectID h = house(3, 0);
    EXPECT_TRUE(hasEdge(h, s));
    EXPECT_EQ(assigned(s), 0);
    EXPECT_TRUE(town.notices.empty());

    grow(h, 2);
    EXPECT_EQ(assigned(h), 2);
    EXPECT_EQ(assigned(s), 2);
    EXPECT_EQ(town.places[h].employed, 2);
    // Both hear of it two game hours from now.
    ASSERT_EQ(town.notices.size(), 2u);
    EXPECT_EQ(town.notices[0].oid, s);  // ascending node ids: the workplace came first
    EXPECT_EQ(town.notices[1].oid, h);
    EXPECT_EQ(town.notices[0].time, 1024u);
    EXPECT_EQ(town.notices[1].time, 1024u);

    grow(h, 3);  // full before: looks for work and gets the last job
    EXPECT_EQ(assigned(s), 3);
    EXPECT_EQ(assigned(h), 3);

    // With free workers already it does not look again.
    dax_config.debug_level_ = 1;
    dax_config.debug_ltype_ = 8;
    clearConsole();
    grow(h, 1);
    EXPECT_FALSE(loggedContaining("incrementFlow"));
    EXPECT_EQ(net.totalWorkers(), 6);
    EXPECT_EQ(net.totalAssignments(), 3);

    // A new workplace in range takes the free workers at once.
    RnObjectID s2 = sink(0, 3, 5, 5);
    EXPECT_EQ(assignedOn(h, s2), 3);
    EXPECT_EQ(town.places[h].employed, 6);
}

TEST_F(WorkforceTest, EqualPathsGoToTheNodeScannedFirst) {
    // Two workplaces 3 tiles from a house: the one added first is first in
    // the house's edges and takes the worker.
    for (bool a_first : {true, false}) {
        SCOPED_TRACE(a_first ? "A first" : "B first");
        freshNetwork();
        RnObjectID a, b;
        if (a_first) {
            a = sink(3, 0, 1, 5);
            b = sink(0, 3, 1, 5);
        } else {
            b = sink(0, 3, 1, 5);
            a = sink(3, 0, 1, 5);
        }
        RnObjectID h = house(0, 0, 1);
        EXPECT_EQ(assignedOn(h, a), a_first ? 1 : 0);
        EXPECT_EQ(assignedOn(h, b), a_first ? 0 : 1);
    }
    // A workplace between two houses with free workers takes from the house
    // added first.
    for (bool left_first : {true, false}) {
        SCOPED_TRACE(left_first ? "left first" : "right first");
        freshNetwork();
        RnObjectID l, r;
        if (left_first) {
            l = house(-3, 20, 1);
            r = house(3, 20, 1);
        } else {
            r = house(3, 20, 1);
            l = house(-3, 20, 1);
        }
        RnObjectID s = sink(0, 20, 1, 5);
        EXPECT_EQ(assignedOn(l, s), left_first ? 1 : 0);
        EXPECT_EQ(assignedOn(r, s), left_first ? 0 : 1);
    }
}

TEST_F(WorkforceTest, ShrinkingHouseLeavesItsNearestWorkplaceFirst) {
    RnObjectID n = sink(2, 0, 2, 3);
    RnObjectID m = sink(4, 0, 2, 4);
    RnObjectID f = sink(6, 0, 2, 6);
    RnObjectID h = house(0, 0, 6);
    // Filled nearest first.
    EXPECT_EQ(assignedOn(h, n), 2);
    EXPECT_EQ(assignedOn(h, m), 2);
    EXPECT_EQ(assignedOn(h, f), 2);
    // A second house reaches only the nearest workplace; no job is free.
    RnObjectID h2 = house(-1, 0, 1);
    EXPECT_TRUE(hasEdge(h2, n));
    EXPECT_FALSE(hasEdge(h2, m));
    EXPECT_EQ(assigned(h2), 0);

    town.notices.clear();
    grow(h, -3);
    // The nearest gives up both, the middle one one; the nearest then finds
    // the second house, the middle one finds nobody.
    EXPECT_EQ(assignedOn(h, n), 0);
    EXPECT_EQ(assignedOn(h, m), 1);
    EXPECT_EQ(assignedOn(h, f), 2);
    EXPECT_EQ(assignedOn(h2, n), 1);
    EXPECT_EQ(assigned(n), 1);
    EXPECT_EQ(assigned(m), 1);
    EXPECT_EQ(net.totalAssignments(), 4);
    EXPECT_EQ(town.places[h].employed, 3);
    EXPECT_EQ(town.places[h2].employed, 1);
    // Every node that changed hears of it; the far workplace kept its workers.
    std::vector<RnObjectID> told;
    for (const auto& nt : town.notices) told.push_back(nt.oid);
    EXPECT_EQ(told, (std::vector<RnObjectID>{n, m, h, h2}));

    // Shrinking within the free workers releases nothing.
    grow(h2, 2);
    ASSERT_EQ(assignedOn(h2, n), 2);
    ASSERT_EQ(assigned(h2), 2);
    town.notices.clear();
    grow(h2, -1);
    EXPECT_EQ(assignedOn(h2, n), 2);
    EXPECT_TRUE(town.notices.empty());
}

TEST_F(WorkforceTest, EqualDistancesReleaseTheOlderEdgeFirst) {
    RnObjectID b = sink(0, 3, 1, 5);
    RnObjectID a = sink(3, 0, 1, 5);
    RnObjectID h = house(0, 0, 2);
    ASSERT_EQ(assignedOn(h, a) + assignedOn(h, b), 2);
    grow(h, -1);
    EXPECT_EQ(assignedOn(h, b), 0);
    EXPECT_EQ(assignedOn(h, a), 1);
}

TEST_F(WorkforceTest, RemovalsSendTheOtherSideSearching) {
    RnObjectID s1 = sink(1, 0, 3, 5);
    RnObjectID s2 = sink(3, 0, 3, 5);
    RnObjectID h = house(0, 0, 3);
    RnObjectID h3 = house(3, 3, 2);
    EXPECT_EQ(assignedOn(h, s1), 3);
    EXPECT_EQ(assignedOn(h3, s2), 2);

    town.notices.clear();
    net.removeSink(s1);
    EXPECT_EQ(net.nodeOf(s1), 0);
    EXPECT_EQ(assignedOn(h, s2), 1);
    EXPECT_EQ(assigned(h), 1);
    EXPECT_EQ(net.totalJobs(), 3);
    EXPECT_EQ(net.totalAssignments(), 3);
    // The house's employed count fell; the workplace it found is told too.
    std::vector<RnObjectID> told;
    for (const auto& nt : town.notices) told.push_back(nt.oid);
    EXPECT_EQ(told, (std::vector<RnObjectID>{s2, h}));

    // Unknown workplaces, and one removed already, are ignored.
    net.removeSink(s1);
    net.removeSink(RnObjectID(RnIdBldStor, 3, 7));
    EXPECT_EQ(net.totalAssignments(), 3);

    // The second house grows but finds no free job; when the first house
    // leaves, its workplace takes the second house's free worker.
    grow(h3, 1);
    EXPECT_EQ(assigned(h3), 2);
    net.removeSource(h);
    EXPECT_EQ(net.nodeOf(h), 0);
    EXPECT_EQ(assignedOn(h3, s2), 3);
    EXPECT_EQ(net.totalWorkers(), 3);
    EXPECT_EQ(net.totalAssignments(), 3);
    EXPECT_EQ(net.graph().nodeCount(), 2);
}

TEST_F(WorkforceTest, RequestMoreWorkersTakesFromTheBusiestWorkplace) {
    struct Case {
        const char* name;
        int x1_workers, x2_workers;  // workers the two other workplaces get
        float x1_at, x2_at;          // their x; the requester stands at 0
        int taken_from;              // 1, 2, or 0 for none
    };
    const Case cases[] = {
        {"most workers wins", 3, 1, 2, -5, 1},
        {"most workers wins, also nearer", 1, 3, 5, -2, 2},
        {"tie: the farther", 2, 2, 3, -6, 2},
        {"tie: the farther, other side", 2, 2, 6, -3, 1},
        {"exact tie: the first found", 2, 2, 4, -4, 1},
        {"busiest on the requester's own tile", 3, 1, 0.4f, -5, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        freshNetwork();
        RnObjectID x1 = sink(c.x1_at, 0, c.x1_workers, 10);
        RnObjectID x2 = sink(c.x2_at, 0, c.x2_workers, 10);
        RnObjectID h = house(0, 1, c.x1_workers + c.x2_workers);
        RnObjectID r = sink(0, 0, 2, 10);
        ASSERT_EQ(assigned(x1), c.x1_workers);
        ASSERT_EQ(assigned(x2), c.x2_workers);
        ASSERT_EQ(assigned(r), 0);
        int32_t total = net.totalAssignments();
        town.notices.clear();
        EXPECT_EQ(net.requestMoreWorkers(r), c.taken_from != 0 ? 1 : 0);
        EXPECT_EQ(assigned(r), c.taken_from != 0 ? 1 : 0);
        EXPECT_EQ(assigned(x1), c.x1_workers - (c.taken_from == 1 ? 1 : 0));
        EXPECT_EQ(assigned(x2), c.x2_workers - (c.taken_from == 2 ? 1 : 0));
        EXPECT_EQ(assignedOn(h, r), assigned(r));
        EXPECT_EQ(assigned(h), c.x1_workers + c.x2_workers);
        EXPECT_EQ(net.totalAssignments(), total);
        EXPECT_EQ(town.notices.size(), c.taken_from != 0 ? 2u : 0u);
    }
}

TEST_F(WorkforceTest, RequestMoreWorkersOnAFullWorkplaceChangesNothing) {
    RnObjectID x = sink(3, 0, 2, 10);
    RnObjectID h = house(0, 1, 3);
    RnObjectID r = sink(0, 0, 1, 10);
    ASSERT_EQ(assigned(r), 1);
    town.notices.clear();
    EXPECT_EQ(net.requestMoreWorkers(r), 0);
    EXPECT_EQ(assigned(x), 2);
    EXPECT_EQ(assigned(h), 3);
    EXPECT_TRUE(town.notices.empty());
}

TEST_F(WorkforceTest, RequestMoreWorkersMendsAHouseLeftWithFreeWorkers) {
    // A path longer than the search reaches (9999 tiles) leaves a house
    // with a free worker beside a workplace that later loses its worker.
    RnObjectID x = sink(0, 0, 1, 12000);
    RnObjectID h = house(1, 0, 1);
    RnObjectID r = sink(3, 0, 1, 2);
    RnObjectID far = house(-10000, 0, 1);
    ASSERT_TRUE(hasEdge(far, x));
    ASSERT_EQ(assigned(x), 1);
    ASSERT_EQ(assigned(r), 0);
    ASSERT_EQ(assigned(far), 0);

    EXPECT_EQ(net.requestMoreWorkers(r), 1);  // takes the worker of x
    EXPECT_EQ(assignedOn(h, r), 1);
    EXPECT_EQ(assigned(x), 0);

    dax_config.debug_level_ = 1;
    dax_config.debug_ltype_ = 1;
    clearConsole();
    EXPECT_EQ(net.requestMoreWorkers(x), 1);
    EXPECT_TRUE(loggedContaining("unexpected: free workers found [2:0,1] node=4 ppl=1 ass=0 edge="));
    EXPECT_EQ(assignedOn(far, x), 1);
    EXPECT_EQ(net.totalAssignments(), 2);
    EXPECT_EQ(town.places[far].employed, 1);
}

TEST_F(WorkforceTest, WorkersInRangeAreSummedWideAndCapped) {
    struct Case {
        std::vector<int> workers;  // of the houses in range
        int16_t expected;
    };
    const Case cases[] = {
        {{100}, 100},
        {{20000, 12767}, 32767},
        {{20000, 20000}, 32767},     // a 16-bit sum turned negative
        {{32768, 32768}, 32767},     // a 16-bit sum came to 0
        {{0, 0}, 0},
    };
    for (const Case& c : cases) {
        freshNetwork();
        RnObjectID s = sink(0, 0, 1, 10);
        for (int w : c.workers) {
            RnObjectID h = house(1, 1);
            for (int left = w; left > 0; left -= 20000) grow(h, left > 20000 ? 20000 : left);
        }
        house(20, 20, 5);  // out of range
        EXPECT_EQ(net.pplInRange(s), c.expected);
    }
    RnObjectID h = house(2, 2, 1);
    EXPECT_EQ(net.pplInRange(h), 0);
}

TEST_F(WorkforceTest, NodeCountsFillTheBuildingsPair) {
    RnObjectID s = sink(0, 0, 4, 10);
    RnObjectID h = house(1, 0, 3);
    RnWorkforce::WorkerCounts c;
    EXPECT_TRUE(net.nodeCounts(h, c));
    EXPECT_EQ(c.hous_assigned_, 3);
    EXPECT_EQ(c.hous_workers_, 3);
    EXPECT_EQ(c.sink_jobs_, 0);
    EXPECT_TRUE(net.nodeCounts(s, c));
    EXPECT_EQ(c.sink_assigned_, 3);
    EXPECT_EQ(c.sink_jobs_, 4);
    EXPECT_FALSE(net.nodeCounts(RnObjectID(RnIdBldMrkt, 0, 0), c));
    EXPECT_TRUE(net.hasNodes());
    EXPECT_EQ(RnWorkforce::dataSignature(), 206);
}

TEST_F(WorkforceTest, TracesTellTheStepsAndDumpTheNodes) {
    dax_config.debug_level_ = 2;
    dax_config.debug_ltype_ = 8;
    clearConsole();
    RnObjectID s = sink(3, 0, 1, 5);
    house(0, 0, 1);
    const char* lines[] = {
        "pt=0 add sink: [3:0,0] node=1 ppl=1 range=5",
        "incrementFlow N(1)",
        "augm.path 1 not found",
        "setAssignedWorkers pt=0 0 nodes",
        "pt=0 add srce: [2:0,0] node=2 ppl=0",
        "  edge=1 srce=2 (1) --> sink=1 (1,0)",
        "pt=0 upd srce: [2:0,0] node=2 (1) delta=1",
        "augm.path candidate found: end=N(1) bound=3.000000",
        "augm.path 1 found with distance=3.000000 flow=1",
        "pushed flow 1 along path 1 distance 3.000000",
        "network for pt=0 has 2 nodes and 1 edges:",
        "srce: N(2) [2:0,0] (1 edges) ppl=1 ass=1",
        "  -> *E(1) oppo=N(1) flow=1",
        "sink: N(1) [3:0,0] (1 edges) ppl=1 ass=1",
        "partial network output complete, #srce=1 #sink=1",
        "quit: pplFree==0",
        "setAssignedWorkers pt=0 2 nodes",
    };
    for (const char* l : lines) EXPECT_TRUE(loggedLine(l)) << l;
    clearConsole();
    net.removeSink(s);
    net.requestMoreWorkers(sink(1, 1, 1, 5));
    EXPECT_TRUE(loggedLine("pt=0 rem sink: [3:0,0] node=1"));
    EXPECT_TRUE(loggedLine("requestMoreWorkers pt=0 [3:0,1] node=1 ppl=1 ass=1"));
}

TEST_F(WorkforceTest, ARestoredNetworkIsTheSameAndGoesOnTheSame) {
    for (int i = 0; i < 12; ++i) house(static_cast<float>(i % 4 * 3), static_cast<float>(i / 4 * 3), 2);
    RnObjectID s = sink(4, 4, 9, 5);
    sink(8, 2, 3, 4);
    // Freed ids, to be handed out again in their order.
    net.removeSource(RnObjectID(RnIdBldHous, 0, 5));
    RnWorkforce twin = net;
    ASSERT_TRUE(twin.restoreGraph(net.graphImage()));
    for (RnWorkforce* w : {&net, &twin}) {
        RnObjectID oid(RnIdBldServ, 0, 50);
        town.places[oid].centre = DaxMapPositionF(7, 2);
        w->addSink(oid, 6, 6);
        RnObjectID hh(RnIdBldHous, 0, 50);
        town.places[hh].centre = DaxMapPositionF(5, 5);
        w->addSource(hh, 0);
        w->removeSink(s);
    }
    const RnWorkforce::GraphImage a = net.graphImage();
    const RnWorkforce::GraphImage b = twin.graphImage();
    EXPECT_EQ(graphDifference(a.graph, b.graph), "");
    ASSERT_EQ(a.edges.size(), b.edges.size());
    for (int32_t e = a.graph.firstEdge(); e != 0; e = a.graph.nextEdge(e)) {
        EXPECT_EQ(a.edgeData(e).assigned_, b.edgeData(e).assigned_);
        EXPECT_EQ(a.edgeData(e).dist_, b.edgeData(e).dist_);
    }
    EXPECT_EQ(net.totalAssignments(), twin.totalAssignments());
}

TEST_F(WorkforceTest, AGraphTheNetworkWouldNotSaveAsReadIsRefused) {
    // Workplaces 1 and 2; houses 3 (edges 1 and 2) and 4 (edges 3 and 4)
    // in the range of both; house 3 leaves, edges 1 and 2 freed in that
    // order.
    RnObjectID a = sink(0, 0, 1, 5);
    sink(2, 0, 1, 5);
    RnObjectID h = house(1, 0);
    RnObjectID h2 = house(1, 1, 1);
    net.removeSource(h);
    ASSERT_EQ(assignedOn(h2, a), 1);
    const RnWorkforce::GraphImage good = net.graphImage();
    {
        RnWorkforce same = net;
        EXPECT_TRUE(same.restoreGraph(good));
    }
    using Change = std::function<void(RnWorkforce::GraphImage&)>;
    struct Case {
        const char* what;
        Change change;
    } cases[] = {
        {"a distance the places do not give", [](RnWorkforce::GraphImage& img) { img.edges[2].dist_ += 0.5f; }},
        {"an edge missing", [](RnWorkforce::GraphImage& img) { img.graph.removeEdge(4); }},
        {"the house's edges made the other way round",
         [](RnWorkforce::GraphImage& img) {
             tDiGraph& g = img.graph;
             g.removeNode(4);
             ASSERT_EQ(g.addNode(), 4);
             ASSERT_EQ(g.addEdge(4, 2), 4);
             ASSERT_EQ(g.addEdge(4, 1), 3);
         }},
        {"the freed cells in another order than their edges",
         [](RnWorkforce::GraphImage& img) {
             // Edge 2 was freed last: its in-cell 3 heads the chain of free
             // cells, then its out-cell 4. Here the out-cell comes first.
             tDiGraph& g = img.graph;
             ASSERT_EQ(g.adjacencyHead().free_head_, 3);
             g.adjacencyHead().free_head_ = 4;
             g.adjacencyLinks()[4].next_ = 3;
             g.adjacencyLinks()[3].next_ = 1;
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        RnWorkforce::GraphImage img = good;
        c.change(img);
        ASSERT_NO_THROW(img.graph.verify());
        RnWorkforce w = net;
        EXPECT_FALSE(w.restoreGraph(img));
        EXPECT_EQ(w.edgeCount(), 0);
    }
}

class WorkforceDeathTest : public WorkforceTest {};

TEST_F(WorkforceDeathTest, BrokenCallsAreFatal) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    RnObjectID s = sink(0, 0, 2, 5);
    RnObjectID h = house(1, 0, 1);
    RnObjectID unknown(RnIdBldHous, 0, 77);
    town.places[unknown].centre = DaxMapPositionF(0, 0);
    EXPECT_DEATH(net.addSource(h, 0), "rn_workforce.cpp:[0-9]+ it1 == oid_node_map_.end\\(\\)");
    EXPECT_DEATH(net.addSink(s, 1, 1), "it1 == oid_node_map_.end\\(\\)");
    EXPECT_DEATH(net.updateSource(h, 0), "delta!=0");
    EXPECT_DEATH(net.updateSource(unknown, 1), "it1 != oid_node_map_.end\\(\\)");
    // The house must have changed its count first.
    EXPECT_DEATH(net.updateSource(h, 1), "nupd_inf.people_\\+delta == house.curNumWorkers\\(\\)");
    EXPECT_DEATH(net.removeSource(unknown), "it1 != oid_node_map_.end\\(\\)");
    EXPECT_DEATH(net.requestMoreWorkers(unknown), "it != oid_node_map_.end\\(\\)");
    EXPECT_DEATH(net.requestMoreWorkers(h), "!ninf.is_source_");
    EXPECT_DEATH(net.pplAssigned(unknown), "it != oid_node_map_.end\\(\\)");
    EXPECT_DEATH(net.pplInRange(unknown), "it != oid_node_map_.end\\(\\)");
    RnWorkforce unset;
    unset.setBuildings(&town);
    EXPECT_DEATH(unset.addSource(h, 0), "people_type_idx_>=0");
}

}  // namespace
