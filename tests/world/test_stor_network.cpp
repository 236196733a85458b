// The links of the storage network: which storages a storage's road flood
// links to, with which road length and first steps, within which range, and
// how the graph follows storages that come and go.
#include <string>
#include <vector>

#include "rn_bld_stor.h"
#include "test_walker_fixture.h"

using namespace worldtest;

namespace {

class StorNetworkTest : public WalkerTest {
protected:
    void SetUp() override {
        WalkerTest::SetUp();
        RnStorType st;
        st.type_id_ = 400;
        st.name_ = "store";
        st.capacity_ = 20;
        st.distribute_goods_ = {0};
        type_ = grn_game.addStorType(st);
        st.type_id_ = 401;
        other_type_ = grn_game.addStorType(st);
    }

    RnStorageNetwork& network() { return grn_game.storType(type_).network_; }
    RnStor& storage(int x, int y, int16_t type = -1) {
        return grn_game.storByOid(grn_game.storType(type < 0 ? type_ : type).createBuilding(x, y));
    }
    // The out-edges of a storage: target storage and road.
    struct Link {
        RnObjectID target;
        RnStorNetEdgeData data;
    };
    std::vector<Link> links(const RnStor& s) {
        std::vector<Link> out;
        for (nex::tDiGraph::OutEdgeIterator it(network().gr_, s.network_node_); !it.atEnd(); ++it)
            out.push_back(Link{network().nodeObject(it.target()), network().edgeData(it.edge())});
        return out;
    }
    static std::vector<int> steps(const RnStorNetEdgeData& e) { return std::vector<int>(e.steps_, e.steps_ + e.len_); }
    // A straight road along row 0 of n tiles.
    void straightRoad(int n) { draw({std::string(static_cast<size_t>(n), '#')}); }

    int16_t type_ = -1;
    int16_t other_type_ = -1;
};

TEST_F(StorNetworkTest, EdgesCarryTheRoadLengthAndItsFirstSteps) {
    // A road along row 0 turning down column 6: B stands beside its end.
    draw({"#######", "......#", "......#", "......#"});
    RnStor& a = storage(1, 1);
    RnStor& b = storage(5, 3);
    a.updateNetworkLinks();
    std::vector<Link> out = links(a);
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].target, b.oid_);
    EXPECT_EQ(out[0].data.start_, DaxMapPositionI(1, 0));
    EXPECT_EQ(out[0].data.dist_, 8);
    EXPECT_EQ(steps(out[0].data), (std::vector<int>{1, 1, 1, 1, 1, 3, 3, 3}));
    // Directed: B links back only after its own flood.
    EXPECT_EQ(b.networkOutDegree(), 0);
    b.updateNetworkLinks();
    ASSERT_EQ(links(b).size(), 1u);
    EXPECT_EQ(links(b)[0].target, a.oid_);
    EXPECT_EQ(links(b)[0].data.start_, DaxMapPositionI(6, 3));
    // A refresh replaces the edges: one edge, whatever the number of floods.
    a.updateNetworkLinks();
    EXPECT_EQ(network().gr_.edgeCount(), 2);
}

TEST_F(StorNetworkTest, OnlyStoragesWithinTheRangeAreLinked) {
    grn_game.storage_walker_range_ = 5;
    straightRoad(12);
    RnStor& a = storage(6, 1);
    RnStor& near = storage(2, 1);  // beside the road tile 4 steps away
    RnStor& edge = storage(11, 1); // beside the road tile 5 steps away: reached, not expanded
    a.updateNetworkLinks();
    std::vector<Link> out = links(a);
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].target, near.oid_);
    EXPECT_EQ(out[0].data.dist_, 4);
    grn_game.storage_walker_range_ = 6;
    a.updateNetworkLinks();
    out = links(a);
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[1].target, edge.oid_);
    EXPECT_EQ(out[1].data.dist_, 5);
}

TEST_F(StorNetworkTest, TheStoredStepsEndAtThePathCache) {
    grn_config.max_path_cache_ = 16;
    straightRoad(24);
    RnStor& a = storage(1, 1);
    storage(21, 1);
    a.updateNetworkLinks();
    std::vector<Link> out = links(a);
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].data.dist_, 20);
    EXPECT_EQ(out[0].data.len_, 15);
    EXPECT_EQ(steps(out[0].data), std::vector<int>(15, DirXPlus));
}

TEST_F(StorNetworkTest, AStorageOnTheWayHidesTheOnesBehindIt) {
    // C stands beside the road between A and B; D is reached past C's tile
    // too, but over a side road of its own.
    draw({"##########", ".....#....", ".....#...."});
    RnStor& a = storage(1, 1);
    RnStor& c = storage(3, 1);
    storage(8, 1);   // B, behind C
    RnStor& d = storage(6, 2);
    a.updateNetworkLinks();
    std::vector<RnObjectID> targets;
    for (const Link& l : links(a)) targets.push_back(l.target);
    EXPECT_EQ(targets, (std::vector<RnObjectID>{c.oid_}));
    // D is behind C along the road: also hidden. Seen from D, C hides A.
    d.updateNetworkLinks();
    targets.clear();
    for (const Link& l : links(d)) targets.push_back(l.target);
    EXPECT_EQ(targets.size(), 2u);  // C and B, not A
    for (const RnObjectID& t : targets) EXPECT_NE(t, a.oid_);
}

TEST_F(StorNetworkTest, OfTwoStoragesBesideOneRoadTileOnlyTheFirstIsLinked) {
    // Road tile (5, 1) has a storage below it (direction 3, seen first) and
    // one above it (direction 4).
    draw({"..........", "##########", "..........", ".........."});
    RnStor& a = storage(1, 2);
    RnStor& below = storage(5, 2);
    RnStor& above = storage(5, 0);
    a.updateNetworkLinks();
    std::vector<RnObjectID> targets;
    for (const Link& l : links(a)) targets.push_back(l.target);
    EXPECT_EQ(targets, (std::vector<RnObjectID>{below.oid_}));
    // From below, the shared tile is a start: the storage above is linked,
    // and the road past it leads on to a.
    below.updateNetworkLinks();
    targets.clear();
    for (const Link& l : links(below)) targets.push_back(l.target);
    EXPECT_EQ(targets, (std::vector<RnObjectID>{above.oid_, a.oid_}));
}

TEST_F(StorNetworkTest, NeverLinkedToOtherTypesRuinsOrItself) {
    straightRoad(12);
    RnStor& a = storage(3, 1);
    RnStor& other = storage(5, 1, other_type_);
    RnStor& ruin = storage(7, 1);
    ruin.flags_ |= RnStorPersData::kDestroyed;
    RnStor& b = storage(9, 1);
    a.updateNetworkLinks();
    std::vector<Link> out = links(a);
    ASSERT_EQ(out.size(), 1u);  // a ruin hides nothing
    EXPECT_EQ(out[0].target, b.oid_);
    EXPECT_EQ(other.networkOutDegree(), 0);
    EXPECT_EQ(grn_game.storType(other_type_).network_.gr_.nodeCount(), 1);
    // A ruin's refresh does nothing.
    ruin.updateNetworkLinks();
    EXPECT_EQ(ruin.networkOutDegree(), 0);
}

TEST_F(StorNetworkTest, WithoutARoadTheLinksAreGone) {
    straightRoad(8);
    RnStor& a = storage(1, 1);
    RnStor& b = storage(5, 1);
    a.updateNetworkLinks();
    b.updateNetworkLinks();
    ASSERT_EQ(a.networkOutDegree(), 1);
    removeAt(1, 0);
    a.updateNetworkLinks();
    EXPECT_EQ(a.networkOutDegree(), 0);
    EXPECT_EQ(b.networkOutDegree(), 1);  // B's own edge waits for B's refresh
    // A storage that goes takes its node and every edge touching it.
    removeAt(5, 1);
    EXPECT_EQ(network().gr_.nodeCount(), 1);
    EXPECT_EQ(network().gr_.edgeCount(), 0);
}

TEST_F(StorNetworkTest, TheTableOperationsCheckTheirNodes) {
    straightRoad(8);
    RnStor& a = storage(1, 1);
    RnStor& b = storage(5, 1);
    RnStorNetEdgeData d;
    d.dist_ = 7;
    network().setEdge(a.network_node_, b.network_node_, d);
    d.dist_ = 9;
    network().setEdge(a.network_node_, b.network_node_, d);  // the same edge, new data
    EXPECT_EQ(network().gr_.edgeCount(), 1);
    EXPECT_EQ(links(a)[0].data.dist_, 9);
    EXPECT_EQ(network().nodeObject(b.network_node_), b.oid_);
    EXPECT_EQ(network().nodeObjects().size(), network().gr_.nodeLimit() - 1);
    EXPECT_DEATH(network().setEdge(a.network_node_, 99, d), "gr_.isNodeValid\\(node_to\\)");
    EXPECT_DEATH(network().removeOutEdges(99), "gr_.isNodeValid\\(node\\)");
    EXPECT_DEATH(network().setNodeObject(99, a.oid_), "gr_.isNodeValid\\(node\\)");
    b.removeNetworkNode();
    EXPECT_EQ(b.network_node_, 0);
    EXPECT_EQ(a.networkOutDegree(), 0);
    EXPECT_DEATH(b.removeNetworkNode(), "isNodeValid");
}

}  // namespace
