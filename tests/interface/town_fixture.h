// A small town of every building kind for the screens that show buildings
// (the info dialogs, the overview): one people type with a house offering
// six workers and one people type without houses, three goods types of lot
// sizes 1, 2 and 4, a walker type each for services, markets and builders,
// and one building of each kind along a road, each holding a little of
// everything its dialog shows. Texts are the sample world's English ones, so
// every numbered text is also checked against the arguments it is given.
#pragma once

#include <string>

#include "dax2/dax_msg.h"
#include "rn_bld_bldr.h"
#include "rn_bld_deco.h"
#include "rn_bld_hous.h"
#include "rn_bld_mrkt.h"
#include "rn_bld_prod.h"
#include "rn_bld_serv.h"
#include "rn_bld_stor.h"
#include "rn_wlk_bldr.h"
#include "rn_wlk_mrkt.h"
#include "rn_wlk_serv.h"
#include "ui_fixture.h"

namespace uitest {

class TownTest : public UiTest {
protected:
    // Indices of the town's types.
    enum : int16_t { kFolk = 0, kNobles = 1 };
    enum : int16_t { kWood = 0, kPlanks = 1, kFood = 2 };
    enum : int16_t { kWell = 0, kTaxOffice = 1 };

    // Game time of the town's clock.
    static constexpr uint32_t kNow = 5000;

    void SetUp() override {
        UiTest::SetUp();
        dax_strings.loadFile((std::string(ZOR_SOURCE_DIR) + "/data/zor.en.txt").c_str(), true);
        makeMap(40);
        setNow(kNow);
        addTypes();
        addBuildings();
    }

    static void addTypes() {
        grn_game.addPeoplType(RnPeoplType(500, "folk"));
        grn_game.addPeoplType(RnPeoplType(501, "nobles"));
        RnGoodsType wood("wood", 11, 1, 1, -2);
        RnGoodsType planks("planks", 12, 2, 2, -2);
        planks.used_mat_ = true;
        RnGoodsType food("food", 13, 3, 4, -2);
        food.used_hous_ = true;
        for (const RnGoodsType& g : {wood, planks, food}) grn_game.addGoodsType(g);

        for (const char* name : {"water carrier", "tax collector"}) {
            RnWalkerServType w;
            w.type_id_ = 700 + static_cast<int>(grn_game.servWalkerTypes().size());
            w.name_ = name;
            grn_game.addServWalkerType(w);
        }
        RnWalkerMrktType mw;
        mw.type_id_ = 710;
        mw.name_ = "market woman";
        grn_game.addMrktWalkerType(mw);
        RnWalkerBldrType bw;
        bw.type_id_ = 720;
        bw.name_ = "mason";
        grn_game.addBldrWalkerType(bw);

        addRoadType();

        RnServType well;
        simple(well, 300, "well", 1);
        well.walker_type_idx_ = 0;
        well.worker_reqs_ = {{kFolk, 2, 20}, {kNobles, 1, 20}};
        well.needs_ = {{kFood, 1}};
        well.in_capa_ = 4;
        grn_game.addServType(well);
        RnServType tax;
        simple(tax, 301, "tax office", 1);
        tax.walker_type_idx_ = 1;
        tax.tax_percent_ = 40;
        grn_game.addServType(tax);

        RnHousType ht;
        ht.type_id_ = 200;
        ht.name_ = "house";
        ht.width_ = 2;
        ht.height_ = 2;
        ht.ppl_type_idx_ = kFolk;
        ht.percent_workers_ = 50;
        RnHousLevelDesc hut;
        hut.name_ = "hut";
        hut.people_max_ = 6;
        hut.material_ = RnMaterialEntry{kWood, 1, 100};
        RnHousLevelDesc cottage;
        cottage.name_ = "cottage";
        cottage.people_max_ = 12;
        cottage.needed_attr_ = 10;
        cottage.services_ = {{kWell, 24}, {kTaxOffice, 48}};
        cottage.goods_ = {{kFood, 2, 24}};
        RnHousLevelDesc manor;
        manor.name_ = "manor";
        manor.people_max_ = 24;
        manor.needed_attr_ = 40;
        manor.material_ = RnMaterialEntry{kPlanks, 2, 240};
        ht.level_descs_ = {hut, cottage, manor};
        grn_game.addHousType(ht);

        RnStorType st;
        simple(st, 400, "storehouse", 2);
        st.worker_type_ = kFolk;
        st.num_workers_ = 3;
        st.worker_range_ = 20;
        st.capacity_ = 32;
        st.distribute_goods_ = {kWood, kPlanks, kFood};
        st.build_material_ = {{kPlanks, 2, 480}};
        grn_game.addStorType(st);

        RnProdType pt;
        simple(pt, 500, "sawmill", 2);
        pt.worker_reqs_ = {{kFolk, 2, 20}};
        pt.input_goods_ = {{kWood, 2}};
        pt.output_goods_ = {{kPlanks, 1, 6}};
        pt.in_capa_ = 8;
        pt.out_capa_ = 4;
        grn_game.addProdType(pt);

        RnMrktType mt;
        simple(mt, 600, "market", 2);
        mt.worker_type_ = kFolk;
        mt.num_workers_ = 2;
        mt.worker_range_ = 20;
        mt.walker_type_idx_ = 0;
        mt.capacity_ = 16;
        mt.distribute_goods_ = {kWood, kFood};
        grn_game.addMrktType(mt);

        RnDecoType dt;
        simple(dt, 700, "fountain", 1);
        dt.service_type_idx_ = kWell;
        dt.goods_ = {{kWood, 1}};
        dt.in_capa_ = 2;
        grn_game.addDecoType(dt);

        RnBldrType bt;
        simple(bt, 800, "builder yard", 1);
        bt.walker_type_idx_ = 0;
        bt.worker_reqs_ = {{kFolk, 1, 20}};
        bt.goods_allowed_ = {kWood, kPlanks};
        bt.capacity_ = 8;
        grn_game.addBldrType(bt);
    }

    // A house of folk at (5, 19) offering six workers, then along the road
    // at y 20 (x 2 to 30): the well, the storehouse (taking the last three
    // workers but one), the sawmill (one of its two), the market, the
    // fountain, the builder yard and a second storehouse, linked from the
    // first.
    void addBuildings() {
        for (int x = 2; x <= 30; ++x) grn_game.roadType(0).createBuilding(x, 20);
        RnHousType& ht = grn_game.housType(0);
        house_ = ht.createBuilding(5, 19);
        grn_game.housByOid(house_).offerWorkers(ht, 6);
        well_ = grn_game.servType(kWell).createBuilding(7, 19);
        stor_ = grn_game.storType(0).createBuilding(10, 19);
        prod_ = grn_game.prodType(0).createBuilding(13, 19);
        mrkt_ = grn_game.mrktType(0).createBuilding(16, 19);
        deco_ = grn_game.decoType(0).createBuilding(18, 19);
        bldr_ = grn_game.bldrType(0).createBuilding(20, 19);
        stor2_ = grn_game.storType(0).createBuilding(24, 19);
        const DaxGameTime now(kNow);

        // The cottage: a new hut (its wood in store) risen one level, which
        // adds the entries of the cottage and the manor's empty planks.
        RnHous& h = grn_game.housByOid(house_);
        h.levelUp(now, ht);
        h.setPeople(8);
        h.services_[kWell] = RnHouseServiceData{DaxGameTime(kNow - 100), DaxGameTime(kNow + 5), 1, 0};
        h.services_[kTaxOffice] = RnHouseServiceData{DaxGameTime(kNow - 12 * 12), DaxGameTime(kNow + 36 * 12),
                                                     static_cast<uint16_t>(1 | RnHouseServiceData::kTaxService), 0};
        RnHouseGoodsData food;
        food.full_until_ = DaxGameTime(kNow - 10);
        food.empty_at_ = DaxGameTime(kNow + 30);
        food.level_ = 1;
        food.amount_ = 4;
        food.cap_ = 2;
        food.hours_ = 24;
        h.goods_[kFood] = food;
        setDesirability(h, 20);

        RnServ& s = grn_game.servByOid(well_);
        s.goods_stored_[kFood].amt_ = RnServAmount{2, 1};
        s.flags_ |= 2u << RnServPersData::kWalkerCountShift;

        RnStor& st = grn_game.storByOid(stor_);
        st.goods_stored_[kWood] = RnStorAmountInf{5, 0, 0};
        st.goods_stored_[kPlanks] = RnStorAmountInf{3, 1, 0};
        st.material_in_store_[kPlanks].add(now, 2, 480);
        st.flags_ |= (2u << 7) | (1u << 11);
        RnStorageNetwork& net = grn_game.storType(0).network_;
        net.setEdge(st.network_node_, grn_game.storByOid(stor2_).network_node_, RnStorNetEdgeData());

        RnProd& p = grn_game.prodByOid(prod_);
        p.worker_factor_ = 1.0f;
        p.input_goods_[kWood].stored_ = 3;
        p.input_goods_[kWood].promised_ = 2;
        RnProdOutInf& out = p.output_goods_in_store_[kPlanks];
        out.stored_ = 1 | RnProdOutInf::kCycleRunning;
        out.ready_time_ = DaxGameTime(kNow + 36);  // half of the 6-hour cycle left
        p.flags_ |= 1u << RnProdPersData::kWalkerCountShift;

        RnMrkt& m = grn_game.mrktByOid(mrkt_);
        m.goods_stored_[kFood].amount_ = 6;
        m.goods_stored_[kFood].word_ = RnMrktAmountInf::kEnabled | RnMrktAmountInf::kWanted | 3;
        m.goods_stored_[kWood].word_ = 0;
        m.flags_ |= 1u << RnMrktPersData::kWalkerCountShift;

        RnDeco& d = grn_game.decoByOid(deco_);
        d.effect_ = RnBuildingTimedData{DaxGameTime(kNow - 10), DaxGameTime(kNow + 30)};
        d.goods_[kWood].stored_ = 1;

        RnBldr& b = grn_game.bldrByOid(bldr_);
        b.goods_stored_[kWood] = RnBldrAmountInf();
        b.goods_stored_[kPlanks] = RnBldrAmountInf{3, static_cast<uint16_t>(RnBldrAmountInf::kOrdering | 2), {}};
        b.flags_ |= 1u << RnBldrPersData::kWalkerCountShift;
    }

    // Every tile under a building gets the desirability total d.
    static void setDesirability(const RnGenericBuilding& b, int16_t d) {
        const RnGenericBuildingType& type = b.buildingType();
        for (int x = b.pos_on_map_.x - type.width_ + 1; x <= b.pos_on_map_.x; ++x) {
            for (int y = b.pos_on_map_.y - type.height_ + 1; y <= b.pos_on_map_.y; ++y) {
                grn_map.tile(x, y).desirability_ = d;
            }
        }
    }

    static void simple(RnSimpleBuildingType& t, int32_t id, const char* name, int16_t side) {
        t.type_id_ = id;
        t.name_ = name;
        t.width_ = side;
        t.height_ = side;
        t.image_ = name;
    }

    RnObjectID house_, well_, stor_, prod_, mrkt_, deco_, bldr_, stor2_;
};

}  // namespace uitest
