// The building object model and type model: footprints, default slots, the
// default dialog, the map check after loading, the shared placement preview,
// and placing and removing a building of each of the seven kinds.
#include <allegro5/allegro.h>

#include <functional>
#include <string>
#include <vector>

#include "rn_bld_bldr.h"
#include "rn_bld_deco.h"
#include "rn_bld_hous.h"
#include "rn_bld_mrkt.h"
#include "rn_bld_prod.h"
#include "rn_bld_serv.h"
#include "rn_bld_stor.h"
#include "rn_placement.h"
#include "rn_wlk_mrkt.h"
#include "rn_wlk_serv.h"
#include "test_game_fixture.h"

using namespace worldtest;

namespace {

class BuildingTest : public WorldTest {
protected:
    void SetUp() override {
        WorldTest::SetUp();
        makeMap(20);
        grn_game.hours_incr_desirability_ = 1;
        grn_game.hours_decr_desirability_ = 1;
        grn_game.map_range_desirability_ = 4;
        RnGoodsType wood("wood", 11, 1, 4, -2);
        wood.used_mat_ = true;
        grn_game.addGoodsType(wood);
        grn_game.addGoodsType(RnGoodsType("bread", 12, 2, 4, -2));
        setNow(500);
    }

    static RnGenericBuilding& building(const RnObjectID& oid) { return grn_game.buildingByOid(oid); }
};

// A building kind of the tests whose texts are empty.
class QuietBuilding final : public RnGenericBuilding {
public:
    QuietBuilding() : RnGenericBuilding(RnIdBldServ, 3, 3) {}
    DaxGameTime update(DaxGameTime /*now*/) override { return kRnNoWakeTime; }
    void desirabilityChanged(DaxGameTime /*t*/) override {}
    void workersChanged(DaxGameTime /*t*/) override {}
    void goodsArrived(DaxGameTime /*t*/) override {}
    void walkerReturned(DaxGameTime /*t*/, const RnObjectID& /*w*/) override {}
    int debugText(std::string& buf, bool /*sep*/) const override { return static_cast<int>(buf.size()); }
    int infoText(std::string& buf, bool /*sep*/) const override { return static_cast<int>(buf.size()); }
};

// Records what the buildings ask the interface for: the plain dialog with
// its texts, or the dialog of a kind (its kind is noted).
struct RecordingDialogs : RnBuildingDialogFactoryIfc {
    DaxDialogIfc* createTextDialog(const std::string& caption, const std::string& text) override {
        ++made;
        last_caption = caption;
        last_text = text;
        return made_dialog();
    }
    DaxDialogIfc* createBldrDialog(const RnBldr& b) override { return kindDialog(b); }
    DaxDialogIfc* createDecoDialog(const RnDeco& b) override { return kindDialog(b); }
    DaxDialogIfc* createHousDialog(const RnHous& b) override { return kindDialog(b); }
    DaxDialogIfc* createMrktDialog(const RnMrkt& b) override { return kindDialog(b); }
    DaxDialogIfc* createProdDialog(const RnProd& b) override { return kindDialog(b); }
    DaxDialogIfc* createServDialog(const RnServ& b) override { return kindDialog(b); }
    DaxDialogIfc* createStorDialog(const RnStor& b) override { return kindDialog(b); }

    DaxDialogIfc* kindDialog(const RnGenericBuilding& b) {
        kinds.push_back(b.oid_);
        return made_dialog();
    }
    // Not a dialog: only compared with null.
    DaxDialogIfc* made_dialog() { return reinterpret_cast<DaxDialogIfc*>(this); }

    int made = 0;
    std::string last_caption;
    std::string last_text;
    std::vector<RnObjectID> kinds;
};

TEST_F(BuildingTest, FootprintIsAnchoredBottomRight) {
    int16_t idx = addServType(300, 3, 2);
    RnGenericBuilding& b = building(grn_game.servType(idx).createBuilding(10, 10));
    for (int x = 6; x <= 12; ++x) {
        for (int y = 7; y <= 12; ++y) {
            bool inside = x >= 8 && x <= 10 && y >= 9 && y <= 10;
            EXPECT_EQ(grn_map.tile(x, y).oid_ == b.oid_, inside) << x << "," << y;
        }
    }
    EXPECT_EQ(grn_map.tile(10, 10).flags_ & kRnTileWalkable, 0);
    EXPECT_FLOAT_EQ(b.centreOnMap().x, 9.0f);
    EXPECT_FLOAT_EQ(b.centreOnMap().y, 9.5f);
    EXPECT_EQ(b.centreTile(), DaxMapPositionI(9, 9));
    EXPECT_EQ(RnGenericBuilding::stepPosition(DaxMapPositionI(4, 4), DirYMinus), DaxMapPositionI(4, 3));
    EXPECT_EQ(RnGenericBuilding::stepPosition(DaxMapPositionI(4, 4), DirNone), DaxMapPositionI(4, 4));
}

TEST_F(BuildingTest, ConstructorsSetIdsAndPositions) {
    RnRoad blank;
    EXPECT_TRUE(blank.oid_.isNull());
    EXPECT_FALSE(blank.is_active_);
    EXPECT_TRUE(blank.pos_on_map_.isNone());
    RnServ placing(grn_game.servType(addServType()), 4, 7);
    EXPECT_EQ(placing.oid_, RnObjectID(RnIdBldServ, -1, -1));
    EXPECT_TRUE(placing.is_active_);
    EXPECT_EQ(placing.pos_on_map_, DaxMapPositionI(4, 7));
    EXPECT_TRUE(placing.material_in_store_.empty());
}

TEST_F(BuildingTest, RoadsShowTheirTextsInThePlainDialog) {
    addRoadType();
    grn_game.roadType(0).level_descs_[2].name_ = "paved";
    RnGenericBuilding& b = building(grn_game.roadType(0).createBuilding(5, 5));
    EXPECT_EQ(b.createDialog(), nullptr);  // no factory installed
    RecordingDialogs dialogs;
    grn_building_dialogs = &dialogs;
    EXPECT_NE(b.createDialog(), nullptr);
    EXPECT_EQ(dialogs.last_caption, "road");
    // The info text; numbers the language does not know show as such.
    EXPECT_EQ(dialogs.last_text, "paved #2101=0(3)");
    QuietBuilding quiet;
    EXPECT_EQ(quiet.createDialog(), nullptr);
    EXPECT_EQ(dialogs.made, 1);
    EXPECT_TRUE(dialogs.kinds.empty());
    grn_building_dialogs = nullptr;
}

TEST_F(BuildingTest, VerifyOnMapFindsInconsistencies) {
    int16_t idx = addServType(300, 2, 2);
    RnGenericBuilding& b = building(grn_game.servType(idx).createBuilding(5, 5));
    EXPECT_EQ(raised([&] { b.verifyOnMap(); }), "");

    grn_map.tile(5, 5).oid_ = RnObjectID(RnIdBldServ, 0, 7);
    EXPECT_EQ(raised([&] { b.verifyOnMap(); }), "bldg [3:0,0] has inconsistent oid [3:0,7] at pos 5,5");
    grn_map.tile(5, 5).oid_ = b.oid_;
    // Every tile of the footprint, not only the anchor.
    grn_map.tile(4, 5).oid_ = RnObjectID();
    EXPECT_EQ(raised([&] { b.verifyOnMap(); }), "bldg [3:0,0] has inconsistent oid [0:-1,-1] at pos 4,5");
    grn_map.tile(4, 5).oid_ = b.oid_;

    grn_map.tile(4, 4).flags_ &= static_cast<uint16_t>(~kRnTileBuildingsAllowed);
    EXPECT_EQ(raised([&] { b.verifyOnMap(); }), "can't build here: [3:0,0]");

    b.pos_on_map_ = DaxMapPositionI(0, 5);
    EXPECT_EQ(raised([&] { b.verifyOnMap(); }), "not all on map: [3:0,0]");
}

TEST_F(BuildingTest, PreviewOfASimpleType) {
    int16_t idx = addServType(300, 2, 2);
    RnServType& type = grn_game.servType(idx);
    EXPECT_EQ(type.phantomImage(), "serv_img");
    type.floor_image_ = "serv_floor";
    EXPECT_EQ(type.phantomImage(), "serv_floor");
    type.floor_image_.clear();

    DaxBitmapIndex img = registerBitmapCopy(DaxBitmapKey("serv_img", 0, 0), al_create_bitmap(4, 4), 0, 0);

    RnPhantomList list;
    list.setType(RnIdBldServ, 300);
    EXPECT_EQ(type.addPhantom(list, 5, 5, 9, 9), 50);
    grn_map.tile(4, 5).oid_ = RnObjectID(RnIdBldRoad, 0, 0);
    EXPECT_EQ(type.addPhantom(list, 5, 5, 5, 5), -1);
    // The refused preview is still listed with its cost.
    ASSERT_EQ(list.entries().size(), 2u);
    EXPECT_EQ(list.entries()[1].image_, img);
    EXPECT_EQ(list.totalCost(), 100);
    // Off the map (the anchor's footprint reaches x = -1).
    EXPECT_EQ(type.addPhantom(list, 0, 5, 0, 5), -1);
    dax_bitmaps.clear();
}

TEST_F(BuildingTest, PreviewOfAProductionTypeFollowsItsResource) {
    // Ore (resource bit 0) at x 10..11, y 10..11; buildings not allowed on it.
    for (int x = 10; x <= 11; ++x)
        for (int y = 10; y <= 11; ++y) setTerrain(x, y, kOre);
    RnProdType pt;
    pt.type_id_ = 500;
    pt.width_ = 2;
    pt.height_ = 2;
    pt.cost_ = 7;
    pt.resource_idx_ = 0;
    int16_t idx = grn_game.addProdType(pt);
    RnProdType& type = grn_game.prodType(idx);
    struct Case {
        uint8_t rule;
        int x, y;
        int result;
    };
    const Case cases[] = {
        {kRnResNone, 5, 5, 7},     {kRnResNone, 11, 11, -1},  // ore does not allow buildings
        {kRnResUnderBld, 11, 11, 7}, {kRnResUnderBld, 12, 12, -1},
        {kRnResNextToBld, 9, 11, 7}, {kRnResNextToBld, 5, 5, -1},
        {kRnResAroundBld, 12, 12, 7}, {kRnResAroundBld, 5, 5, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.rule) + " at " + std::to_string(c.x) + "," + std::to_string(c.y));
        type.resource_bld_type_ = c.rule;
        RnPhantomList list;
        list.setType(RnIdBldProd, 500);
        EXPECT_EQ(type.addPhantom(list, c.x, c.y, c.x, c.y), c.result);
    }
}

// One placed building of each of the seven kinds: registered, marked on the
// map, its desirability spread; removed, everything is as before.
TEST_F(BuildingTest, EveryKindIsPlacedAndRemoved) {
    struct Kind {
        const char* name;
        int16_t kind;
        std::function<int16_t()> add;  // registers the type (id 42), returns its index
    };
    auto simple = [](RnSimpleBuildingType& t) {
        t.type_id_ = 42;
        t.name_ = "kind";
        t.width_ = 2;
        t.height_ = 2;
        t.own_attr_ = 5;
        t.image_ = "img";
    };
    const Kind kinds[] = {
        {"house", RnIdBldHous,
         [] {
             RnHousType t;
             t.type_id_ = 42;
             t.name_ = "kind";
             t.width_ = 2;
             t.height_ = 2;
             RnHousLevelDesc level;
             level.name_ = "hut";
             level.own_attr_ = 5;
             t.level_descs_.push_back(level);
             return grn_game.addHousType(t);
         }},
        {"service", RnIdBldServ,
         [&] {
             RnServType t;
             simple(t);
             t.needs_ = {{1, 2}};
             return grn_game.addServType(t);
         }},
        {"storage", RnIdBldStor,
         [&] {
             RnStorType t;
             simple(t);
             t.distribute_goods_ = {0, 1};
             return grn_game.addStorType(t);
         }},
        {"production", RnIdBldProd,
         [&] {
             RnProdType t;
             simple(t);
             t.output_goods_ = {{1, 1, 4}};
             t.input_goods_ = {{0, 2}};
             return grn_game.addProdType(t);
         }},
        {"market", RnIdBldMrkt,
         [&] {
             RnMrktType t;
             simple(t);
             t.distribute_goods_ = {1};
             return grn_game.addMrktType(t);
         }},
        {"decoration", RnIdBldDeco,
         [&] {
             RnDecoType t;
             simple(t);
             t.own_attr_ = 0;
             t.own_attr_def_ = 5;
             t.own_attr_act_ = 9;
             t.goods_ = {{1, 1}};
             return grn_game.addDecoType(t);
         }},
        {"builder", RnIdBldBldr,
         [&] {
             RnBldrType t;
             simple(t);
             t.goods_allowed_ = {0, 1};
             return grn_game.addBldrType(t);
         }},
    };
    for (const Kind& k : kinds) {
        SCOPED_TRACE(k.name);
        int16_t idx = k.add();
        RnGenericBuildingType& type = grn_game.buildingType(RnObjectTypeID(k.kind, idx));
        EXPECT_EQ(type.kind(), k.kind);

        RnObjectID oid = type.createBuilding(8, 8);
        EXPECT_EQ(oid, RnObjectID(k.kind, idx, 0));
        EXPECT_EQ(type.instanceCount(), 1);
        RnGenericBuilding* b = type.findInstance(0);
        ASSERT_NE(b, nullptr);
        EXPECT_EQ(b, &grn_game.buildingByOid(oid));
        EXPECT_EQ(b->oid_, oid);
        EXPECT_TRUE(b->is_active_);
        EXPECT_EQ(b->pos_on_map_, DaxMapPositionI(8, 8));
        EXPECT_EQ(grn_map.tile(7, 7).oid_, oid);
        EXPECT_EQ(grn_map.tile(9, 8).desirability_, 5);
        EXPECT_EQ(grn_map.tile(8, 8).desirability_, 0);
        const DaxGameTime next = b->update(DaxGameTime(600));
        // A house looks again a day later; every other kind asks for its
        // first near-storage refresh (a storage for its first network
        // refresh) two hours later.
        if (k.kind == RnIdBldHous)
            EXPECT_EQ(next.value(), 600u + DaxGameTime::kPerDay);
        else
            EXPECT_EQ(next.value(), 600u + 2 * DaxGameTime::kPerHour);
        EXPECT_FALSE(b->isDestroyed());
        std::string info;
        b->infoText(info, false);
        EXPECT_EQ(info.substr(0, 3), k.kind == RnIdBldHous ? "hut" : "kin");
        // Its dialog is the kind's own.
        RecordingDialogs dialogs;
        grn_building_dialogs = &dialogs;
        EXPECT_NE(b->createDialog(), nullptr);
        grn_building_dialogs = nullptr;
        EXPECT_EQ(dialogs.kinds, std::vector<RnObjectID>{oid});
        EXPECT_EQ(dialogs.made, 0);

        type.removeBuilding(grn_map.tile(8, 8), 8, 8);
        EXPECT_EQ(type.instanceCount(), 0);
        EXPECT_EQ(type.findInstance(0), nullptr);
        EXPECT_FALSE(b->is_active_);
        for (int x = 7; x <= 8; ++x)
            for (int y = 7; y <= 8; ++y) EXPECT_TRUE(grn_map.tile(x, y).isTileFree());
        for (int x = 0; x < 20; ++x)
            for (int y = 0; y < 20; ++y) ASSERT_EQ(grn_map.tile(x, y).desirability_, 0) << x << "," << y;
    }
}

TEST_F(BuildingTest, NewBuildingsGetTheirEntries) {
    RnServType st;
    st.type_id_ = 1;
    st.needs_ = {{0, 3}, {1, 1}};
    RnServ serv(st, 1, 1);
    EXPECT_EQ(serv.goods_stored_.size(), 2u);
    EXPECT_EQ(st.neededAmount(0), 3);
    EXPECT_EQ(st.neededAmount(5), 0);

    RnMrktType mt;
    mt.distribute_goods_ = {1};
    RnMrkt mrkt(mt, 1, 1);
    ASSERT_EQ(mrkt.goods_stored_.size(), 1u);
    EXPECT_EQ(mrkt.goods_stored_[1].word_, RnMrktAmountInf::kEnabled);

    RnBldrType bt;
    bt.goods_allowed_ = {0, 1};  // only wood is building material
    bt.capacity_ = 6;
    RnBldr bldr(bt, 1, 1);
    EXPECT_EQ(bldr.goods_stored_.size(), 1u);
    EXPECT_EQ(bldr.goods_stored_.count(0), 1u);
    EXPECT_EQ(bt.capacityForGoods(1), 6);
    EXPECT_EQ(bt.capacityForGoods(2), 0);

    RnProdType pt;
    pt.output_goods_ = {{1, 2, 8}};
    pt.input_goods_ = {{0, 4}};
    RnProd prod(pt, 1, 1);
    EXPECT_EQ(prod.flags_, RnProdPersData::kEffPending);
    EXPECT_EQ(prod.t_eff_.value(), 0u);
    EXPECT_FLOAT_EQ(prod.resource_factor_, 1.0f);
    EXPECT_EQ(prod.input_goods_.size(), 1u);
    EXPECT_EQ(prod.output_goods_in_store_.size(), 1u);
    EXPECT_EQ(pt.inputAmountForGoods(0), 4);
    EXPECT_EQ(pt.outputAmountForGoods(1), 2);
    EXPECT_EQ(pt.outputAmountForGoods(0), 0);

    RnStorType stt;
    stt.distribute_goods_ = {0, 1};
    stt.capacity_ = 9;
    stt.goods_class_ = {2};
    RnStor stor(stt, 1, 1);
    EXPECT_EQ(stor.goods_stored_.size(), 2u);
    EXPECT_TRUE(stor.storesGoods(1));
    EXPECT_FALSE(stor.storesGoods(2));
    stor.adjustDemand(1, -4);
    stor.adjustDemand(1, 3);
    EXPECT_EQ(stor.goods_stored_[1].demand_, -1);
    EXPECT_EQ(stt.capacityForGoods(0), 9);
    EXPECT_EQ(stt.capacityForGoods(3), 0);
    EXPECT_TRUE(stt.acceptsGoodsClass(2));

    RnDecoType dt;
    dt.goods_ = {{1, 2}};
    dt.own_attr_act_ = 9;
    dt.own_attr_def_ = -3;
    RnDeco deco(dt, 1, 1);
    EXPECT_EQ(deco.goods_.size(), 1u);
    EXPECT_EQ(dt.amountForGoods(1), 2);

    RnHous hous(1, 1, DaxGameTime(77));
    EXPECT_EQ(hous.flags_, RnHousPersData::kPplPending);
    EXPECT_EQ(hous.t_ppl_.value(), 77u);
    EXPECT_EQ(hous.curLevel(), 0);
}

TEST_F(BuildingTest, TimerNotesAndSupplyChecks) {
    RnServType st;
    RnServ serv(st, 1, 1);
    serv.workersChanged(DaxGameTime(50));
    serv.workersChanged(DaxGameTime(40));
    EXPECT_EQ(serv.t_wkf_.value(), 50u);  // the first note wins
    EXPECT_TRUE(serv.scheduleSupplyCheck(DaxGameTime(90)));
    EXPECT_FALSE(serv.scheduleSupplyCheck(DaxGameTime(95)));
    EXPECT_TRUE(serv.scheduleSupplyCheck(DaxGameTime(80)));  // the earliest wins
    EXPECT_EQ(serv.t_bld_.value(), 80u);
    EXPECT_EQ(serv.flags_, RnServPersData::kWkfPending | RnServPersData::kBldPending);

    RnHous hous(1, 1, DaxGameTime(0));
    hous.desirabilityChanged(DaxGameTime(30));
    hous.desirabilityChanged(DaxGameTime(20));
    EXPECT_EQ(hous.t_attr_.value(), 30u);
    EXPECT_TRUE(hous.scheduleSupplyCheck(DaxGameTime(90)));
    EXPECT_FALSE(hous.scheduleSupplyCheck(DaxGameTime(90)));
    EXPECT_NE(hous.flags_ & RnHousPersData::kBldPending, 0u);

    RnMrktType mt;
    RnMrkt mrkt(mt, 1, 1);
    EXPECT_TRUE(mrkt.scheduleSupplyCheck(DaxGameTime(9)));
    EXPECT_EQ(mrkt.flags_, RnMrktPersData::kBldPending);  // bit 3 for markets
    EXPECT_EQ(mrkt.flags_, 1u << 3);
}

TEST_F(BuildingTest, RuinsKeepTheirWithdrawnDesirability) {
    int16_t idx = addServType(300, 1, 1, 6);
    RnServType& type = grn_game.servType(idx);
    RnServ& serv = grn_game.servByOid(type.createBuilding(5, 5));
    EXPECT_EQ(grn_map.tile(6, 5).desirability_, 6);
    // A ruin has taken its desirability back already.
    grn_game.spreadDesirability(DaxGameTime(500), 6, 0, 5, 5, 1, 1);
    serv.flags_ |= RnServPersData::kDestroyed;
    EXPECT_TRUE(serv.isDestroyed());
    EXPECT_EQ(serv.materialNeed(DaxGameTime(500), RnObjectID(RnIdBldBldr, -1, -1)), 0);
    type.removeBuilding(grn_map.tile(5, 5), 5, 5);
    EXPECT_EQ(grn_map.tile(6, 5).desirability_, 0);
}

TEST_F(BuildingTest, HouseTypePreviewAndLevels) {
    RnHousType t;
    t.type_id_ = 20;
    EXPECT_EQ(raised([&] { t.phantomImage(); }), "no phantom image available for house type id=20");
    int16_t idx = grn_game.addHousType(t);
    EXPECT_EQ(raised([&] { grn_game.housType(idx).createBuilding(4, 4); }), "house type id=20 has no levels");
    RnHousLevelDesc a;
    a.image_ = "hut";
    a.floor_image_ = "hut_floor";
    RnHousLevelDesc b;
    b.image_ = "villa";
    t.level_descs_ = {a, b};
    EXPECT_EQ(t.phantomImage(), "villa");
    t.level_descs_[1].floor_image_ = "villa_floor";
    EXPECT_EQ(t.phantomImage(), "villa_floor");
}

TEST_F(BuildingTest, WalkersLoseTheirTargets) {
    RnWalkerMrktType wt;
    RnObjectID house(RnIdBldHous, 0, 3);
    RnWalkerMrkt w(RnObjectID(RnIdBldMrkt, 0, 0), DaxMapPositionI(2, 3), DaxGameTime(40), true, 5);
    EXPECT_EQ(w.oid_, RnObjectID(RnIdWlkMrkt, -1, -1));
    EXPECT_EQ(w.phase(), 1);
    EXPECT_NE(w.state_ & RnWalkerPersData::kSmoothMove, 0u);
    EXPECT_FLOAT_EQ(w.at_.x_, 2.5f);
    EXPECT_FLOAT_EQ(w.to_.y_, 3.5f);
    EXPECT_EQ(w.wake_time_.value(), 40u);
    EXPECT_EQ(w.image_, kDaxNoBitmap);
    w.target_building_oid_ = house;
    w.state_ |= 3u << RnWalkerPersData::kCachedStepsShift;
    wt.instances_.add(w);
    w.target_building_oid_ = RnObjectID(RnIdBldHous, 0, 4);
    wt.instances_.add(w);
    wt.dropTarget(house);
    EXPECT_TRUE(wt.instances_[0].target_building_oid_.isNull());
    EXPECT_EQ(wt.instances_[0].state_ & RnWalkerPersData::kCachedStepsMask, 0u);
    EXPECT_EQ(wt.instances_[1].target_building_oid_, RnObjectID(RnIdBldHous, 0, 4));
    EXPECT_EQ(wt.instanceCount(), 2);
}

class BuildingDeathTest : public BuildingTest {};

TEST_F(BuildingDeathTest, BookingsOnKindsThatTakeNoneAreFatal) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    int16_t idx = addServType(300, 1, 1);
    RnServ& serv = grn_game.servByOid(grn_game.servType(idx).createBuilding(5, 5));
    EXPECT_DEATH(serv.marketDelivered(DaxGameTime(0), RnObjectID()), "rn_bld_generic.cpp:[0-9]+ false");
    // A service building takes promises only for the goods it needs.
    EXPECT_DEATH(serv.goodsPromised(0, 1), "rn_bld_serv.cpp:[0-9]+ false");
    EXPECT_DEATH(serv.serviceDelivered(DaxGameTime(0), 0), "rn_bld_generic.cpp:[0-9]+ false");
    EXPECT_DEATH(serv.setServicePending(0, true), "rn_bld_generic.cpp:[0-9]+ false");
    EXPECT_DEATH(grn_game.servType(idx).removeBuilding(grn_map.tile(5, 5), 5, 4),
                 "obj.pos_on_map_==DaxMapPositionI\\(tx,ty\\)");
    RnStorType empty;
    EXPECT_DEATH(RnStor(empty, 1, 1), "goods_stored_.size\\(\\)>0");
    // Material delivered to a building without a store.
    EXPECT_DEATH(serv.materialDelivered(DaxGameTime(0), RnObjectID(RnIdBldBldr, 0, 0)),
                 "material_in_store_.size\\(\\) > 0");
}

}  // namespace

// A walker's heading image follows the registry: found once, and found
// again after the registry changed (new images, or cleared and loaded anew).
TEST_F(BuildingTest, WalkerHeadingImagesFollowTheBitmapRegistry) {
    RnWalkerImages images;
    images.names_[0] = "w_ro";
    images.names_[1] = "w_ru";
    images.names_[2] = "w_lo";
    images.names_[3] = "w_lu";
    EXPECT_EQ(images.imageFor(DirXPlus), kDaxNoBitmap);
    const DaxBitmapIndex ru = registerMemoryBitmap(DaxBitmapKey("w_ru", 0, 0), 4, 4, 0, 0);
    const DaxBitmapIndex ro = registerMemoryBitmap(DaxBitmapKey("w_ro", 0, 0), 4, 4, 0, 0);
    EXPECT_EQ(images.imageFor(DirXPlus), ru);
    EXPECT_EQ(images.imageFor(DirYMinus), ro);
    EXPECT_EQ(images.imageFor(DirXMinus), kDaxNoBitmap);
    EXPECT_EQ(images.imageFor(DirNone), kDaxNoBitmap);
    dax_bitmaps.clear();
    EXPECT_EQ(images.imageFor(DirXPlus), kDaxNoBitmap);
    const DaxBitmapIndex lo = registerMemoryBitmap(DaxBitmapKey("w_lo", 0, 0), 4, 4, 0, 0);
    const DaxBitmapIndex ru2 = registerMemoryBitmap(DaxBitmapKey("w_ru", 0, 0), 4, 4, 0, 0);
    EXPECT_EQ(images.imageFor(DirXMinus), lo);
    EXPECT_EQ(images.imageFor(DirXPlus), ru2);
    dax_bitmaps.clear();
}
