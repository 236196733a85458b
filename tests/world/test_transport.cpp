// The storage transport planner: which neighbour in the storage network gets
// a load, of which goods type, and along which road.
#include <vector>

#include "rn_bld_stor.h"
#include "test_walker_fixture.h"

using namespace worldtest;

namespace {

class TransportTest : public WalkerTest {
protected:
    void SetUp() override {
        WalkerTest::SetUp();
        makeMap(16);
        grn_game.addGoodsType(RnGoodsType("stone", 12, 1, 4, -2));
        RnStorType st;
        st.type_id_ = 400;
        st.capacity_ = 20;
        st.distribute_goods_ = {0, 1};
        type_ = grn_game.addStorType(st);
        grn_game.storage_walker_capacity_ = 3;
    }

    // A storage of the planner's type; the i-th stands at (i, i).
    RnStor& storage() {
        int i = static_cast<int>(stors_.size());
        stors_.push_back(grn_game.storType(type_).createBuilding(i, i));
        return grn_game.storByOid(stors_.back());
    }
    RnStorageNetwork& network() { return grn_game.storType(type_).network_; }
    // The road of a link from a to b of road length dist, starting at
    // (a's x, 9).
    static RnStorNetEdgeData road(const RnStor& a, const RnStor& b, int dist) {
        RnStorNetEdgeData e;
        e.start_ = DaxMapPositionI(a.pos_on_map_.x, 9);
        e.dist_ = static_cast<int16_t>(dist);
        e.len_ = 2;
        e.steps_[0] = DirXPlus;
        e.steps_[1] = static_cast<uint8_t>(b.pos_on_map_.x % 4 + 1);
        return e;
    }
    void link(const RnStor& a, const RnStor& b, int dist) {
        network().setEdge(a.network_node_, b.network_node_, road(a, b, dist));
    }
    // S links to D (1) and A (2); B lies behind D (10) and behind A over C
    // (1 + 1), so its shortest road runs S-A-C-B. S holds 20 lots of goods
    // 0, which only B needs.
    struct Detour {
        RnStor& s;
        RnStor& d;
        RnStor& a;
        RnStor& b;
        RnStor& c;
    };
    Detour detour() {
        Detour n{storage(), storage(), storage(), storage(), storage()};
        link(n.s, n.d, 1);
        link(n.s, n.a, 2);
        link(n.d, n.b, 10);
        link(n.a, n.c, 1);
        link(n.c, n.b, 1);
        stock(n.s, 0, 20, 0, 0);
        stock(n.b, 0, 0, 0, -10);
        return n;
    }
    static void stock(RnStor& s, int16_t goods, int stored, int promised, int demand) {
        RnStorAmountInf& a = s.goods_stored_[goods];
        a.stored_nlots_ = static_cast<uint16_t>(stored);
        a.promised_nlots_ = static_cast<uint16_t>(promised);
        a.demand_ = static_cast<int16_t>(demand);
    }

    int16_t type_ = -1;
    std::vector<RnObjectID> stors_;
};

TEST_F(TransportTest, NothingToSendWithoutNeighboursOrAFullLoad) {
    RnStor& s = storage();
    stock(s, 0, 10, 0, 0);
    RnStorTransportPlan plan;
    EXPECT_FALSE(s.planTransport(plan));  // alone in its network
    RnStor& a = storage();
    link(grn_game.storByOid(stors_[0]), a, 4);
    RnStor& sender = grn_game.storByOid(stors_[0]);
    stock(a, 0, 0, 0, -5);
    stock(sender, 0, 2, 0, 0);  // less than a load of every goods type
    EXPECT_FALSE(sender.planTransport(plan));
    stock(sender, 0, 10, 0, 0);
    EXPECT_TRUE(sender.planTransport(plan));
}

TEST_F(TransportTest, NeighbourChoice) {
    // The sender S links to A and B (in this order); cap 3, capacity 20.
    RnStor& s0 = storage();
    RnStor& a0 = storage();
    RnStor& b0 = storage();
    link(s0, a0, 5);
    link(s0, b0, 5);
    const RnObjectID S = s0.oid_, A = a0.oid_, B = b0.oid_;
    struct Side {
        int stored, promised, demand;
    };
    struct Case {
        const char* what;
        int sender;
        Side a, b;
        RnObjectID expect;  // null: nothing sent
    } cases[] = {
        {"the neediest wins", 10, {0, 0, -3}, {0, 0, -5}, B},
        {"the first of equal ones", 10, {0, 0, -5}, {0, 0, -5}, A},
        {"demand 0 and 2 + 0 + 6 < 10", 10, {2, 0, 0}, {20, 0, -9}, A},
        {"8 lots are too few against 2 + 6", 8, {2, 0, 0}, {20, 0, -9}, RnObjectID()},
        {"promised lots count as stock", 10, {0, 5, 0}, {0, 4, 0}, RnObjectID()},
        {"no room for a full load", 10, {9, 9, -20}, {0, 0, 0}, B},
        {"a positive demand is never served", 20, {0, 0, 1}, {0, 0, 2}, RnObjectID()},
    };
    for (const Case& c : cases) {
        RnStor& s = grn_game.storByOid(S);
        stock(s, 0, c.sender, 0, 0);
        stock(grn_game.storByOid(A), 0, c.a.stored, c.a.promised, c.a.demand);
        stock(grn_game.storByOid(B), 0, c.b.stored, c.b.promised, c.b.demand);
        RnStorTransportPlan plan;
        bool sent = s.planTransport(plan);
        EXPECT_EQ(sent, !c.expect.isNull()) << c.what;
        if (sent) {
            EXPECT_EQ(plan.target_, c.expect) << c.what;
        }
    }
}

TEST_F(TransportTest, DemandFlowsBackAlongTheShortestRoads) {
    // Only B needs the goods: its demand must reach A through C.
    auto [s, d, a, b, c] = detour();
    RnStorTransportPlan plan;
    ASSERT_TRUE(s.planTransport(plan));
    EXPECT_EQ(plan.target_, a.oid_);
    // Two hops: a neighbour at -2 before a storage at -10 counts -12 and
    // beats another neighbour at -11.
    RnStor& e = storage();
    link(s, e, 3);
    stock(e, 0, 0, 0, -11);
    stock(d, 0, 0, 0, -2);
    link(d, b, 1);  // B's road now runs S-D-B (2)
    ASSERT_TRUE(s.planTransport(plan));
    EXPECT_EQ(plan.target_, d.oid_);
}

TEST_F(TransportTest, BestOverAllGoodsTypesAndThePlansRoad) {
    RnStor& s = storage();
    RnStor& a = storage();
    RnStor& b = storage();
    link(s, a, 4);
    link(s, b, 6);
    stock(s, 0, 10, 0, 0);
    stock(s, 1, 10, 0, 0);
    stock(a, 0, 0, 0, -2);
    stock(b, 1, 0, 0, -4);
    RnStorTransportPlan plan;
    ASSERT_TRUE(s.planTransport(plan));
    EXPECT_EQ(plan.target_, b.oid_);
    EXPECT_EQ(plan.goods_type_, 1);
    EXPECT_EQ(plan.start_, DaxMapPositionI(s.pos_on_map_.x, 9));
    ASSERT_EQ(plan.len_, 2);
    EXPECT_EQ(plan.steps_[0], DirXPlus);
    EXPECT_EQ(plan.steps_[1], b.pos_on_map_.x % 4 + 1);
    // An equal score keeps the lower goods type.
    stock(a, 0, 0, 0, -4);
    ASSERT_TRUE(s.planTransport(plan));
    EXPECT_EQ(plan.goods_type_, 0);
    EXPECT_EQ(plan.target_, a.oid_);
    // A storage that goes away leaves its network.
    removeAt(a.pos_on_map_.x, a.pos_on_map_.y);
    ASSERT_TRUE(s.planTransport(plan));
    EXPECT_EQ(plan.target_, b.oid_);
    EXPECT_EQ(network().gr_.nodeCount(), 2);
}

TEST_F(TransportTest, AKeptTreeFollowsEveryChangeOfTheLinks) {
    // B's shortest road runs S-A-C-B (3), the other S-D-B (11). The
    // planner keeps S's tree between plans; after each change the plan must
    // be the one of a tree built afresh.
    auto [s, d, a, b, c] = detour();
    const RnObjectID S = s.oid_, A = a.oid_, B = b.oid_, C = c.oid_, D = d.oid_;
    auto stor = [](const RnObjectID& oid) -> RnStor& { return grn_game.storByOid(oid); };
    auto target = [&]() {
        RnStorTransportPlan kept;
        RnStorTransportPlan fresh;
        const bool sent = stor(S).planTransport(kept);
        grn_caches.stor_trees_ = false;
        EXPECT_EQ(stor(S).planTransport(fresh), sent);
        grn_caches.stor_trees_ = true;
        if (!sent) return RnObjectID();
        EXPECT_EQ(kept.target_, fresh.target_);
        EXPECT_EQ(kept.goods_type_, fresh.goods_type_);
        EXPECT_EQ(kept.start_, fresh.start_);
        return kept.target_;
    };
    auto keptTree = [&]() { return !network().planTreeSlot(stor(S).network_node_).empty(); };
    EXPECT_EQ(target(), A);
    ASSERT_TRUE(keptTree());

    // C's links rebuilt as they were: the tree stays.
    network().replaceOutEdges(stor(C).network_node_, {{stor(B).network_node_, road(stor(C), stor(B), 1)}});
    EXPECT_TRUE(keptTree());
    EXPECT_EQ(target(), A);
    // The same target further away: B's road now runs over D.
    network().replaceOutEdges(stor(C).network_node_, {{stor(B).network_node_, road(stor(C), stor(B), 20)}});
    EXPECT_FALSE(keptTree());
    EXPECT_EQ(target(), D);
    // A link changed in place.
    link(stor(C), stor(B), 1);
    EXPECT_EQ(target(), A);
    // D goes and a new storage takes its node, linked to B the short way.
    removeAt(stor(D).pos_on_map_.x, stor(D).pos_on_map_.y);
    EXPECT_EQ(target(), A);
    RnStor& e = storage();
    link(stor(S), e, 1);
    link(e, stor(B), 1);
    EXPECT_EQ(target(), e.oid_);
    // E's links dropped: B's road runs over A again.
    network().removeOutEdges(e.network_node_);
    EXPECT_EQ(target(), A);
}

}  // namespace
