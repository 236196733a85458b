// The save loader: the translation of saved ids, each refusal of a file that
// no longer fits the world or is damaged, and the checks of a save without
// loading it.
#include <functional>

#include "rn_bld_bldr.h"
#include "rn_bld_deco.h"
#include "rn_bld_hous.h"
#include "rn_bld_mrkt.h"
#include "rn_bld_prod.h"
#include "rn_bld_road.h"
#include "rn_bld_serv.h"
#include "rn_bld_stor.h"
#include "rn_map.h"
#include "rn_wlk_prod.h"
#include "rn_wlk_serv.h"
#include "save_fixture.h"

using namespace worldtest;

namespace {

class SaveLoaderTest : public SaveTest {
protected:
    // The town's save, written once per test that asks for it.
    const std::string& townBytes() {
        if (town_.empty()) {
            townWorld();
            town_ = unpacked(save("town.sav"));
        }
        return town_;
    }
    // Loads bytes written as a plain file over a fresh world.
    std::string loadBytes(const std::string& bytes) { return loadFresh(writePlain("damaged.sav", bytes)); }
    // The start of the instance block of a building type.
    static std::string block(int32_t kind, int32_t type_id, int16_t w, int16_t h) {
        return le32(kRnTagInstances) + le32(kind) + le32(1) + le32(type_id) + le16(w) + le16(h);
    }

    std::string town_;
};

TEST_F(SaveLoaderTest, BitmapIdsAreTranslatedByTheirEntryNumber) {
    freshWorld();
    dax_config.debug_level_ = 3;
    RnLoadContext ctx;
    const DaxBitmapIndex road = dax_bitmaps.findVariant("road_dirt", 0);
    const DaxBitmapIndex well = dax_bitmaps.findVariant("well", 0);
    ASSERT_GE(road, 0);
    ASSERT_GE(well, 0);
    // Saved entry 5 (ids 10 and 11) was the dirt road, entry 7 the well at
    // its id of today, entry 9 an image the world no longer has.
    std::map<DaxBitmapKey, DaxBitmapIndex> saved;
    saved[DaxBitmapKey("road_dirt", 1, 0)] = 10;
    saved[DaxBitmapKey("well", 1, 0)] = well;
    saved[DaxBitmapKey("gone", 1, 0)] = 18;
    ctx.buildBitmapRemap(saved);
    DaxBitmapIndex none = -2;
    ctx.remapBitmapId(none);
    EXPECT_EQ(none, -2);
    DaxBitmapIndex a = 10;
    DaxBitmapIndex b = 11;
    clearConsole();
    ctx.remapBitmapId(a);
    ctx.remapBitmapId(b);
    EXPECT_EQ(a, road);
    EXPECT_EQ(b, road);
    EXPECT_TRUE(loggedContaining("remap bmp idx 5 to " + std::to_string(road >> 1)));
    DaxBitmapIndex same = well;
    clearConsole();
    ctx.remapBitmapId(same);
    EXPECT_EQ(same, well);
    EXPECT_FALSE(loggedContaining("remap bmp idx"));
    // An image that is gone stops the load only when something shows it.
    DaxBitmapIndex gone = 18;
    EXPECT_EQ(raisedBy([&] { ctx.remapBitmapId(gone); }), "bitmap index 9 not found");
    DaxBitmapIndex far = 2 * 5000000;
    EXPECT_EQ(raisedBy([&] { ctx.remapBitmapId(far); }), "bitmap index 5000000 not found");
}

TEST_F(SaveLoaderTest, ObjectIdsAreTranslatedStrictlyOrTolerantly) {
    dax_config.debug_level_ = 3;
    RnLoadContext ctx;
    ctx.addObject(RnObjectID(2, 3, 7), RnObjectID(2, 0, 0));
    ctx.addObject(RnObjectID(2, 3, 1000000000), RnObjectID(2, 0, 1));
    ctx.addObject(RnObjectID(4, 0, 0), RnObjectID(4, 0, 0));
    RnObjectID id(2, 3, 7);
    clearConsole();
    EXPECT_TRUE(ctx.remapOid(id, false));
    EXPECT_EQ(id, RnObjectID(2, 0, 0));
    EXPECT_TRUE(loggedLine("remap [2:3,7] to [2:0,0]"));
    id = RnObjectID(2, 3, 1000000000);
    EXPECT_TRUE(ctx.remapOid(id, false));
    EXPECT_EQ(id, RnObjectID(2, 0, 1));
    // Equal ids are translated without a line; no-ids and script jobs stay.
    id = RnObjectID(4, 0, 0);
    clearConsole();
    EXPECT_TRUE(ctx.remapOid(id, false));
    EXPECT_FALSE(loggedContaining("remap ["));
    for (RnObjectID same : {RnObjectID(), RnObjectID(5, 2, -1), RnObjectID(32, 0, 0)}) {
        RnObjectID copy = same;
        EXPECT_TRUE(ctx.remapOid(copy, false));
        EXPECT_EQ(copy, same);
    }
    id = RnObjectID(2, 3, 8);
    EXPECT_EQ(raisedBy([&] { ctx.remapOid(id, false); }), "oid [2:3,8] to remap not found");
    clearConsole();
    EXPECT_FALSE(ctx.remapOid(id, true));
    EXPECT_EQ(id, RnObjectID());
    EXPECT_TRUE(loggedLine("oid [2:3,8] to remap not found"));
    id = RnObjectID(2, 3, 7);
    EXPECT_EQ(raisedBy([&] { ctx.remapStorage(id); }), "[2:0,0] is not a storage");
}

TEST_F(SaveLoaderTest, GoodsAndPeopleIndicesAreTranslatedByTheirIds) {
    freshWorld();
    RnLoadContext ctx;
    ctx.goods_ids_ = {5313, 5311, 5399};
    ctx.people_ids_ = {5201};
    EXPECT_EQ(ctx.goodsIdx(0), grn_game.goodsTypeIdx(5313));
    EXPECT_EQ(ctx.goodsIdx(1), grn_game.goodsTypeIdx(5311));
    EXPECT_EQ(raisedBy([&] { ctx.goodsIdx(2); }), "goods type 5399 not found");
    EXPECT_EQ(raisedBy([&] { ctx.goodsIdx(3); }), "unable to remap goods type");
    EXPECT_EQ(raisedBy([&] { ctx.goodsIdx(-1); }), "unable to remap goods type");
    EXPECT_EQ(ctx.peopleIdx(0), 0);
    EXPECT_EQ(raisedBy([&] { ctx.peopleIdx(1); }), "unable to remap people type");
}

TEST_F(SaveLoaderTest, AFileThatNoLongerFitsOrIsDamagedIsRefusedWithWhy) {
    const std::string town = townBytes();
    const Prefix prefix = scanPrefix(town);
    const size_t roads = findOnce(town, block(RnIdBldRoad, 5501, 1, 1));
    const size_t houses = findOnce(town, block(RnIdBldHous, 5601, 2, 2));
    const size_t stores = findOnce(town, block(RnIdBldStor, 5751, 2, 2));
    const size_t map = findOnce(town, le32(kRnTagMap) + le32(64));
    const size_t wkf = findOnce(town, le32(kRnTagWorkforce) + le32(5201));
    // The table start of the trigger's chronicle (its end comes later).
    const size_t chronicle = town.find(std::string("chronicle\0", 10));
    using Patch = std::function<void(std::string&)>;
    auto at32 = [](size_t at, int32_t v) -> Patch { return [=](std::string& b) { setInt32At(b, at, v); }; };
    auto at8 = [](size_t at, uint8_t v) -> Patch { return [=](std::string& b) { b[at] = static_cast<char>(v); }; };
    struct Case {
        Patch patch;
        std::string why;
    } cases[] = {
        {at32(prefix.bitmap_tag, kRnTagInstances), "BmpIdx expected, can't continue loading"},
        {at32(prefix.goods_ids + 4, 5399), "goods type 5399 not found"},
        {at32(stores + 12, 5799), "type 5799 not found, can't load"},
        {at32(stores + 4, RnIdBldServ), "wrong building type 4, expected was 3"},
        {at32(stores + 4, 40), "unexpected bld_id found: 40"},
        {[=](std::string& b) { b[stores + 16] = 3; }, "tile has different size: 3,2 when 2,2 is expected"},
        {at32(roads + 20, 3), "missing levels for road type 5501"},
        {at32(houses + 20, 3), "missing levels for house type 5601"},
        // Records: the first road's level, the first house's level and its
        // active bit (a road record: head and level; a house: head, state).
        {at8(roads + 28 + 20, 7), "road [1:0,0] is at a level its type lacks"},
        {at8(houses + 28 + 20, 5), "house [2:0,0] is at a level its type lacks"},
        {at8(houses + 28 + 12, 0), "can't read inactive object"},
        {at32(map, kRnTagWorkforce), "map expected"},
        {at32(map + 4, 65), "map has changed size, can't load"},
        // The first saved tile's position, off the map either way.
        {[=](std::string& b) { b[map + 12] = 64; }, "tile position 64,"},
        {[=](std::string& b) { b[map + 12] = b[map + 13] = static_cast<char>(0xFF); }, "tile position -1,"},
        {at32(wkf + 4, 5299), "people type 5299 not found"},
        // A script text whose length passes its slot or misses its NUL.
        {at32(chronicle + 16, 20), "text of script value"},
        {at32(chronicle + 16, 5), "text of script value"},
        {at32(town.size() - 4, 85640), "unexpected data behind last expected chunk"},
    };
    for (const Case& c : cases) {
        std::string bytes = town;
        c.patch(bytes);
        EXPECT_EQ(loadBytes(bytes).find(c.why), 0u) << c.why << ": " << loadBytes(bytes);
    }
}

TEST_F(SaveLoaderTest, AClockSpeedBeyondItsBoundsLoadsAtTheBound) {
    const std::string town = townBytes();
    const size_t speed = scanPrefix(town).bitmap_tag - 8 - 24 + 16;
    for (int16_t saved : {int16_t(-100), int16_t(0), int16_t(30000)}) {
        std::string bytes = town;
        bytes[speed] = static_cast<char>(saved & 0xFF);
        bytes[speed + 1] = static_cast<char>((saved >> 8) & 0xFF);
        EXPECT_EQ(loadBytes(bytes), "") << saved;
        EXPECT_EQ(dax_gameclock.speed(), saved > 0 ? dax_gameclock.maxSpeed() : dax_gameclock.minSpeed());
    }
}

TEST_F(SaveLoaderTest, AWorldThatWasSavedInconsistentIsRefusedWithWhy) {
    // What a save holds that a loaded world could not run with.
    using Change = std::function<void()>;
    auto house = [] { return &grn_game.housType(0).instances_[0]; };
    struct Case {
        Change change;
        std::string why;
    } cases[] = {
        {[=] { house()->services_[99] = RnHouseServiceData(); }, "house [2:0,0] needs the unknown service type 99"},
        {[] { grn_game.storType(0).instances_[0].goods_stored_[99] = RnStorAmountInf(); }, "unable to remap goods type"},
        {[] { grn_game.prodType(1).instances_[0].input_goods_.begin()->second.near_storage_ = RnObjectID(4, 0, 9); },
         "oid [4:0,9] to remap not found"},
        {[=] { grn_game.prodType(1).instances_[0].input_goods_.begin()->second.near_storage_ = house()->oid_; },
         "[2:0,0] is not a storage"},
        {[] { grn_map.tile(20, 20).gnd_bmp_idx_ = 2 * 9999; grn_map.tile(20, 20).desirability_ = 3; },
         "bitmap index 9999 not found"},
        {[] { grn_game.storType(0).instances_[0].material_in_store_.begin()->second.time_level1_ = DaxGameTime(1u << 30); },
         "material of [4:0,0] is damaged"},
        {[] { grn_game.storType(0).instances_[0].network_node_ = 0; }, "storage network of type 5751: node 1 is damaged"},
        {[=] { house()->flags_ ^= 1; }, "workforce of people type index 0: node"},
        {[=] { grn_map.tile(40, 40).oid_ = house()->oid_; }, "tile 40,40 names [2:0,0], which does not stand there"},
        // A house whose anchor tile is its own but another of its tiles is free.
        {[=] { grn_map.tile(21, 28).oid_ = RnObjectID(); }, "bldg [2:0,0] has inconsistent oid [0:-1,-1] at pos 21,28"},
        {[] {
             const RnObjectID w = savetown::sendServiceWalker();
             grn_map.tile(grn_game.walkerByOid(w).tilePos()).removeWalker(w);
         },
         "1 walkers are on no tile"},
        {[] { grn_map.tile(0, 0).walker_head_ = savetown::sendServiceWalker(); }, "walker list of tile 0,0 is damaged"},
        // More walkers from the well than its count of walkers out holds.
        {[] {
             for (int i = 0; i < 8; ++i) savetown::sendServiceWalker();
         },
         "[3:0,0] has 8 walkers out, more than it can count"},
        // Cached steps that lead nowhere or off the map.
        {[] { grn_game.walkerByOid(savetown::sendServiceWalker()).steps_[2] = 7; }, "walker [16:0,"},
        {[] {
             RnWalkerGeneric& w = grn_game.walkerByOid(savetown::sendServiceWalker());
             for (uint8_t& step : w.steps_) step = DirYMinus;
             w.state_ |= RnWalkerPersData::kCachedStepsMask;
         },
         "walker [16:0,"},
        // A walker that heads for the road it stands on.
        {[] {
             RnWalkerGeneric& w = grn_game.walkerByOid(savetown::sendServiceWalker());
             w.target_building_oid_ = grn_map.tile(w.tilePos()).oid_;
             ASSERT_EQ(w.target_building_oid_.kind_, RnIdBldRoad);
         },
         "walker [16:0,"},
    };
    for (const Case& c : cases) {
        townWorld(24);
        c.change();
        const std::string path = save("bad.sav");
        EXPECT_EQ(loadFresh(path).find(c.why), 0u) << c.why << ": " << loadFresh(path);
    }
}

TEST_F(SaveLoaderTest, ATerrainChangedUnderABuildingStopsTheLoad) {
    townWorld(24);
    grn_map.tile(10, 40).desirability_ = 5;  // a free tile that is saved
    const std::string path = save("terrain.sav");
    // The map script now lays water on the free tile: it takes the water.
    freshWorld();
    grn_map.tile(10, 40).terrain_idx_ = 2;
    clearConsole();
    EXPECT_TRUE(RnSaveLoader::loadGame(path));
    EXPECT_EQ(grn_map.tile(10, 40).terrain_idx_, 2);
    EXPECT_EQ(grn_map.tile(10, 40).flags_ & 7, grn_game.terrain(2).flags_ & 7);
    EXPECT_TRUE(loggedLine("set new terrain type 2 at pos 10,40"));
    EXPECT_TRUE(loggedLine("repair tile properties at pos 10,40"));
    // Under a house it may not.
    freshWorld();
    grn_map.tile(22, 29).terrain_idx_ = 2;
    EXPECT_EQ(raisedBy([&] { RnSaveLoader::loadGame(path); }),
              "map has changed at a spot where something is built (22,29), con't load");
}

TEST_F(SaveLoaderTest, AWalkerWhoseHomeIsGoneLoadsOnlyWhenFinished) {
    townWorld(24);
    RnWalkerProd& done = *grn_game.prodWalkerType(grn_game.goodsTypeIdx(5311)).instances_.begin();
    ASSERT_TRUE(done.isFinished());
    done.home_oid_ = RnObjectID(5, 0, 77);
    // A searching walker whose target is gone forgets its way; one whose
    // target stands keeps it.
    const RnObjectID lost = savetown::sendServiceWalker();
    const RnObjectID kept = savetown::sendServiceWalker();
    grn_game.walkerByOid(lost).target_building_oid_ = RnObjectID(2, 0, 55);
    // A fresh list takes the saved walkers in their order from index 0.
    auto rank = [](const RnObjectID& id) {
        int32_t n = 0;
        for (const auto& w : grn_game.servWalkerType(0).instances_) n += w.oid_.bld_idx_ < id.bld_idx_ ? 1 : 0;
        return n;
    };
    const int32_t lost_now = rank(lost);
    const int32_t kept_now = rank(kept);
    const std::string path = save("walkers.sav");
    clearConsole();
    EXPECT_EQ(loadFresh(path), "");
    EXPECT_TRUE(loggedLine("oid [5:0,77] to remap not found"));
    EXPECT_EQ(grn_game.prodWalkerType(grn_game.goodsTypeIdx(5311)).instances_.begin()->home_oid_, RnObjectID());
    const auto& sent = grn_game.servWalkerType(0).instances_;
    EXPECT_EQ(sent[lost_now].target_building_oid_, RnObjectID());
    EXPECT_EQ(sent[lost_now].cachedSteps(), 0);
    EXPECT_EQ(sent[kept_now].target_building_oid_, grn_map.tile(25, 29).oid_);
    EXPECT_EQ(sent[kept_now].cachedSteps(), 4);

    townWorld(24);
    RnWalkerProd& walking = *grn_game.prodWalkerType(grn_game.goodsTypeIdx(5311)).instances_.begin();
    walking.state_ &= ~RnWalkerPersData::kFinished;
    walking.home_oid_ = RnObjectID(5, 0, 77);
    EXPECT_EQ(loadFresh(save("walkers2.sav")), "oid [5:0,77] to remap not found");
}

TEST_F(SaveLoaderTest, ASupplyCheckOfATypeWithoutMaterialIsDropped) {
    // Only the storehouse of the sample world lists building material: a
    // save that asks every other kind for a supply check is damaged. The
    // load drops the checks, and the town plays on past them.
    auto eachKind = [](auto visit) {
        visit(grn_game.servTypes());
        visit(grn_game.mrktTypes());
        visit(grn_game.bldrTypes());
        visit(grn_game.decoTypes());
        visit(grn_game.prodTypes());
    };
    townWorld(24);
    const DaxGameTime now = dax_gameclock.gameTime();
    eachKind([now](auto& types) {
        for (auto& t : types) {
            ASSERT_TRUE(t.build_material_.empty());
            for (auto& b : t.instances_) {
                b.flags_ |= b.kBldPending;
                b.t_bld_ = now;
            }
        }
    });
    ASSERT_EQ(loadFresh(save("checks.sav")), "");
    size_t buildings = 0;
    eachKind([&buildings](auto& types) {
        for (auto& t : types) {
            for (auto& b : t.instances_) {
                EXPECT_EQ(b.flags_ & b.kBldPending, 0u) << b.oid_.kind_;
                ++buildings;
            }
        }
    });
    EXPECT_GE(buildings, 8u);
    savetown::runHours(4);
}

TEST_F(SaveLoaderTest, ASaveIsVerifiedWithoutLoadingIt) {
    townWorld(24);
    const int32_t money = grn_game.money_;
    const int32_t people = static_cast<int32_t>(grn_game.population_);
    ASSERT_GT(people, 0);
    const DaxGameTime time = dax_gameclock.gameTime();
    EXPECT_TRUE(RnSaveWriter::saveLastSave());
    const std::string good = saves_.file("lastsave.sav");
    freshWorld();
    RnSaveSummary s;
    ASSERT_TRUE(RnSaveLoader::verifyGame(good, s));
    EXPECT_EQ(s.money, money);
    EXPECT_EQ(s.population, people);
    EXPECT_EQ(s.map_side, 64);
    EXPECT_EQ(s.game_time.value(), time.value());
    EXPECT_EQ(s.map_name, "green_valley");
    EXPECT_EQ(s.game_name, "Testhausen");
    std::string map_name;
    std::string town_name;
    int32_t population = 0;
    EXPECT_TRUE(RnSaveLoader::verifyLastSave(map_name, town_name, population));
    EXPECT_EQ(map_name + "/" + town_name + "/" + std::to_string(population),
              "green_valley/Testhausen/" + std::to_string(people));

    // Another version and a cut file are no saves to offer.
    std::string bytes = unpacked(good);
    std::string v12 = bytes;
    setInt32At(v12, 7, 12);
    clearConsole();
    EXPECT_FALSE(RnSaveLoader::verifyGame(writePlain("v12.sav", v12), s));
    EXPECT_TRUE(loggedContaining("different version in save: 0.12.1.22"));
    clearConsole();
    EXPECT_FALSE(RnSaveLoader::verifyGame(writePlain("cut.sav", bytes.substr(0, 200)), s));
    EXPECT_TRUE(loggedLine("GfxException caught: error during verification"));
    writePlain("notes.txt", "no save");

    const std::vector<RnSaveListEntry> list = RnSaveLoader::listSaves();
    ASSERT_EQ(list.size(), 3u);
    int valid = 0;
    for (const RnSaveListEntry& e : list) valid += e.valid ? 1 : 0;
    EXPECT_EQ(valid, 1);

    // Without a last save: no offer and no line.
    std::remove(good.c_str());
    clearConsole();
    EXPECT_FALSE(RnSaveLoader::verifyLastSave(map_name, town_name, population));
    EXPECT_TRUE(consoleTexts().empty());
}

}  // namespace
