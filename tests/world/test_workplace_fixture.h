// Service buildings, markets and builders of real types on hand-drawn road
// maps: fake buildings are their walkers' targets, real storages their near
// storages, and a house type whose levels want goods tells markets what to
// order.
#pragma once

#include <string>
#include <vector>

#include "dax2/dax_msg.h"
#include "rn_bld_bldr.h"
#include "rn_bld_hous.h"
#include "rn_bld_mrkt.h"
#include "rn_bld_serv.h"
#include "rn_bld_stor.h"
#include "test_walker_fixture.h"

namespace worldtest {

class WorkplaceTest : public WalkerTest {
protected:
    // Goods types: wood (lot 4, building material) and bread (lot 5).
    static constexpr int16_t kWood = 0;
    static constexpr int16_t kBread = 1;

    void SetUp() override {
        WalkerTest::SetUp();
        grn_game.goodsType(kWood).used_mat_ = true;
        grn_game.addGoodsTypeWithWalkers(RnGoodsType("bread", 12, 2, 5, -2), walkerType<RnWalkerProdType>(12),
                                         walkerType<RnWalkerStorType>(12));
        grn_game.addPeoplType(RnPeoplType(500, "settlers"));

        // Houses: level 1 eats bread, level 3 also burns wood.
        RnHousType ht;
        ht.type_id_ = 20;
        ht.name_ = "hut";
        ht.ppl_type_idx_ = 0;
        for (int i = 0; i < 4; ++i) {
            RnHousLevelDesc d;
            d.name_ = "level" + std::to_string(i);
            if (i == 1) d.goods_ = {{kBread, 2, 24}};
            if (i == 3) d.goods_ = {{kWood, 1, 24}};
            ht.level_descs_.push_back(d);
        }
        grn_game.addHousType(ht);

        RnStorType st;
        simple(st, 400, "depot");
        st.distribute_goods_ = {kWood, kBread};
        st.capacity_ = 32;
        grn_game.addStorType(st);

        RnServType sv;
        simple(sv, 300, "well");
        sv.walker_type_idx_ = 0;
        sv.req_num_serv_walkers_ = 1;
        sv.hours_respawn_ = 2;
        sv.in_capa_ = 4;
        sv.needs_ = {{kBread, 1}};
        sv.worker_reqs_ = {{0, 2, 30}};
        grn_game.addServType(sv);

        RnMrktType mt;
        simple(mt, 600, "market");
        mt.worker_type_ = 0;
        mt.num_workers_ = 2;
        mt.worker_range_ = 30;
        mt.walker_type_idx_ = 0;
        mt.num_walkers_ = 1;
        mt.hours_respawn_ = 2;
        mt.capacity_ = 4;
        mt.distribute_goods_ = {kWood, kBread};
        grn_game.addMrktType(mt);

        RnBldrType bt;
        simple(bt, 800, "yard");
        bt.walker_type_idx_ = 0;
        bt.req_num_bldr_walkers_ = 1;
        bt.hours_respawn_ = 2;
        bt.walker_range_ = 20;
        bt.capacity_ = 8;
        bt.goods_allowed_ = {kWood};
        bt.worker_reqs_ = {{0, 2, 30}};
        grn_game.addBldrType(bt);

        setNow(100);
    }

    static void simple(RnSimpleBuildingType& t, int32_t id, const char* name) {
        t.type_id_ = id;
        t.name_ = name;
        t.image_ = std::string(name) + "_img";
        t.ruin_image_ = "ruin_img";
    }

    static RnServType& servType() { return grn_game.servType(0); }
    static RnMrktType& mrktType() { return grn_game.mrktType(0); }
    static RnBldrType& bldrType() { return grn_game.bldrType(0); }

    // A building of the first type of its kind at (x, y), woken now as a
    // placed building is.
    static RnGenericBuilding& place(int16_t kind, int x, int y) {
        RnObjectID oid = grn_game.buildingType(RnObjectTypeID(kind, 0)).createBuilding(x, y);
        grn_game.updateQueue().schedule(rnNow(), oid);
        return grn_game.buildingByOid(oid);
    }
    static RnServ& placeServ(int x, int y) { return static_cast<RnServ&>(place(RnIdBldServ, x, y)); }
    static RnMrkt& placeMrkt(int x, int y) { return static_cast<RnMrkt&>(place(RnIdBldMrkt, x, y)); }
    static RnBldr& placeBldr(int x, int y) { return static_cast<RnBldr&>(place(RnIdBldBldr, x, y)); }
    // A storage (never woken: only its goods entries matter here).
    static RnStor& placeStor(int x, int y) {
        return grn_game.storByOid(grn_game.storType(0).createBuilding(x, y));
    }
    // A house of the test's type at (x, y) at a level.
    static RnHous& placeHouse(int x, int y, int level) {
        RnHous& h = grn_game.housByOid(grn_game.housType(0).createBuilding(x, y));
        h.state_ = (h.state_ & ~RnHousPersData::kLevelMask) | static_cast<uint32_t>(level);
        return h;
    }

    static int demand(const RnStor& s, int16_t goods) { return s.goods_stored_.at(goods).demand_; }
    static bool pending(const RnGenericBuilding& b) {
        DaxGameTime t;
        return grn_game.updateQueue().pendingTime(b.oid_, t);
    }
    static uint32_t pendingAt(const RnGenericBuilding& b) {
        DaxGameTime t;
        return grn_game.updateQueue().pendingTime(b.oid_, t) ? t.value() : 0u;
    }

    // Runs the game tick by tick from the clock's time + 1 up to end.
    void runTo(uint32_t end) {
        for (uint32_t t = rnNow().value() + 1; t <= end; ++t) {
            setNow(t);
            grn_game.update();
            if (HasFailure()) return;
        }
    }

    // Messages of a number posted at a position so far.
    static int posted(int number, const DaxMapPositionI& pos) {
        int n = 0;
        for (const DaxMessage& m : dax_msgmgr.history()) n += m.number_ == number && m.pos_ == pos ? 1 : 0;
        return n;
    }
};

}  // namespace worldtest
