#include "save_town.h"

#include <algorithm>
#include <string>
#include <vector>

#include "dax2/dax_bitmap.h"
#include "dax2/dax_clock.h"
#include "dax2/dax_ini.h"
#include "dax2/dax_lua.h"
#include "dax2/dax_msg.h"
#include "rn_bld_bldr.h"
#include "rn_bld_deco.h"
#include "rn_bld_hous.h"
#include "rn_bld_mrkt.h"
#include "rn_bld_prod.h"
#include "rn_bld_road.h"
#include "rn_bld_serv.h"
#include "rn_bld_stor.h"
#include "rn_game.h"
#include "rn_game_update.h"
#include "rn_lua_loader.h"
#include "rn_lua_maploader.h"
#include "rn_map.h"
#include "rn_placement.h"
#include "rn_trigger.h"
#include "rn_wlk_bldr.h"
#include "rn_wlk_mrkt.h"
#include "rn_wlk_prod.h"
#include "rn_wlk_serv.h"
#include "rn_wlk_stor.h"

namespace savetown {

namespace {

RnObjectID at(int x, int y) { return grn_map.tile(x, y).oid_; }

}  // namespace

bool place(int kind, int id, int x, int y, int x2, int y2) {
    RnPhantomList order;
    order.setType(kind, id);
    if (grn_game.addPhantom(order, x, y, x2, y2) < 0) return false;
    grn_game.placeBuildings(order, x, y);
    return true;
}

bool demolish(int x, int y) {
    RnSelection selection;
    selection.arm();
    if (grn_game.selectBuildingsInRect(selection, x, y, x, y) < 0 || selection.entries().empty()) return false;
    grn_game.demolishSelection(selection);
    return grn_map.tile(x, y).oid_.bld_idx_ == -1;
}

std::string loadSampleWorld(const std::string& data_dir, bool trigger) {
    dax_config.search_path_ = {data_dir};
    dax_strings.loadFile((data_dir + "zor.en.txt").c_str(), false);
    grn_trigger.reset();
    grn_game.clear();
    {
        RnLuaPreloader initial;
        initial.init();
        if (initial.run("initial_load.lua") != 0) return "initial_load.lua";
    }
    grn_game.clear();
    grn_game.resetForNewGame("green_valley", "Testhausen");
    {
        RnLuaPreloader icons;
        icons.init();
        if (icons.run("load_icons.lua") != 0) return "load_icons.lua";
    }
    {
        RnLuaModelLoader model;
        model.init();
        if (model.run(grn_config.datamodel_.c_str()) != 0) return grn_config.datamodel_;
    }
    {
        RnLuaMapLoader map;
        map.init();
        RnMapImageInfo info;
        if (map.run("maps/green_valley.lua", &info) != 0) return "maps/green_valley.lua";
    }
    grn_game.validateModel();
    if (trigger && grn_trigger.loadScript() != 0) return "trigger";
    return "";
}

namespace {

// What freshSampleWorld puts back, taken right after a full load.
struct SampleWorldCopy {
    bool taken = false;
    std::string data_dir;
    size_t bitmaps = 0;  // the registry's size: a cleared world has none
    std::vector<RnResource> resources;
    std::vector<RnTerrain> terrains;
    std::vector<RnPeoplType> peopl_types;
    std::vector<RnGoodsType> goods_types;
    std::vector<RnWalkerBldrType> bldr_walker_types;
    std::vector<RnWalkerMrktType> mrkt_walker_types;
    std::vector<RnWalkerProdType> prod_walker_types;
    std::vector<RnWalkerServType> serv_walker_types;
    std::vector<RnWalkerStorType> stor_walker_types;
    std::vector<RnBldrType> bldr_types;
    std::vector<RnDecoType> deco_types;
    std::vector<RnHousType> hous_types;
    std::vector<RnMrktType> mrkt_types;
    std::vector<RnProdType> prod_types;
    std::vector<RnRoadType> road_types;
    std::vector<RnServType> serv_types;
    std::vector<RnStorType> stor_types;
    RnMap map;
    int32_t queue_seq = 0;
    RnGameUpdateQueue::ObjectMap queue_objects;
    RnGameUpdateQueue::JobList queue_jobs;
    std::string trigger_script;
    std::string trigger_function;
    uint32_t trigger_period = 0;
    // The game's fields, model properties included.
    int32_t hours_incr_desirability = 0;
    int32_t hours_decr_desirability = 0;
    int16_t map_range_desirability = 0;
    int16_t prod_walker_range = 0;
    int16_t storage_walker_range = 0;
    int16_t storage_walker_capacity = 0;
    int16_t storage_walker_speed = 0;
    int16_t storage_network_update_hours = 0;
    int16_t resource_efficiency_update_hours = 0;
    std::string map_name;
    std::string game_name;
    int32_t money = 0;
    bool disable_unused_prod = false;
};

SampleWorldCopy& sampleWorldCopy() {
    static SampleWorldCopy copy;
    return copy;
}

// Copies the world into the copy (take) or back: each pair is named once.
void transfer(SampleWorldCopy& c, bool take) {
    auto move = [take](auto& world_side, auto& copy_side) {
        if (take) {
            copy_side = world_side;
        } else {
            world_side = copy_side;
        }
    };
    RnGame& g = grn_game;
    move(g.resources(), c.resources);
    move(g.terrains(), c.terrains);
    move(g.peoplTypes(), c.peopl_types);
    move(g.goodsTypes(), c.goods_types);
    move(g.bldrWalkerTypes(), c.bldr_walker_types);
    move(g.mrktWalkerTypes(), c.mrkt_walker_types);
    move(g.prodWalkerTypes(), c.prod_walker_types);
    move(g.servWalkerTypes(), c.serv_walker_types);
    move(g.storWalkerTypes(), c.stor_walker_types);
    move(g.bldrTypes(), c.bldr_types);
    move(g.decoTypes(), c.deco_types);
    move(g.housTypes(), c.hous_types);
    move(g.mrktTypes(), c.mrkt_types);
    move(g.prodTypes(), c.prod_types);
    move(g.roadTypes(), c.road_types);
    move(g.servTypes(), c.serv_types);
    move(g.storTypes(), c.stor_types);
    move(grn_map, c.map);
    move(g.hours_incr_desirability_, c.hours_incr_desirability);
    move(g.hours_decr_desirability_, c.hours_decr_desirability);
    move(g.map_range_desirability_, c.map_range_desirability);
    move(g.prod_walker_range_, c.prod_walker_range);
    move(g.storage_walker_range_, c.storage_walker_range);
    move(g.storage_walker_capacity_, c.storage_walker_capacity);
    move(g.storage_walker_speed_, c.storage_walker_speed);
    move(g.storage_network_update_hours_, c.storage_network_update_hours);
    move(g.resource_efficiency_update_hours_, c.resource_efficiency_update_hours);
    move(g.map_name_, c.map_name);
    move(g.game_name_, c.game_name);
    move(g.money_, c.money);
    move(g.disable_unused_prod_, c.disable_unused_prod);
}

}  // namespace

std::string freshSampleWorld(const std::string& data_dir, bool trigger) {
    SampleWorldCopy& c = sampleWorldCopy();
    const bool same = c.taken && c.data_dir == data_dir && dax_bitmaps.size() == c.bitmaps &&
                      grn_map.size() == c.map.size() && grn_game.goodsTypes().size() == c.goods_types.size();
    if (!same) {
        c.taken = false;
        std::string failed = loadSampleWorld(data_dir, false);
        if (!failed.empty()) return failed;
        c.data_dir = data_dir;
        c.bitmaps = dax_bitmaps.size();
        transfer(c, true);
        c.queue_seq = grn_game.updateQueue().sequence();
        c.queue_objects = grn_game.updateQueue().objectMap();
        c.queue_jobs = grn_game.updateQueue().jobs();
        c.trigger_script = grn_trigger.scriptFile();
        c.trigger_function = grn_trigger.functionName();
        c.trigger_period = grn_trigger.periodHours();
        c.taken = true;
    } else {
        dax_config.search_path_ = {data_dir};
        grn_trigger.reset();
        grn_game.resetForNewGame("green_valley", "Testhausen");
        grn_game.setWorldLoaded(false);
        transfer(c, false);
        if (!grn_game.updateQueue().restore(c.queue_seq, c.queue_objects, c.queue_jobs)) return "update queue";
        grn_trigger.define(c.trigger_script, c.trigger_function, c.trigger_period);
    }
    if (trigger && grn_trigger.loadScript() != 0) return "trigger";
    return "";
}

std::string buildTown() {
    struct Order {
        int kind, id, x, y, x2, y2;
    };
    const Order orders[] = {
        {RnIdBldRoad, kRoad, 20, 30, 37, 30},
        {RnIdBldRoad, kRoad, 28, 16, 28, 40},
        {RnIdBldRoad, kRoad, 22, 16, 27, 16},
        {RnIdBldHous, kHouse, 22, 29, 22, 29},
        {RnIdBldHous, kHouse, 25, 29, 25, 29},
        {RnIdBldHous, kHouse, 32, 29, 32, 29},
        {RnIdBldHous, kHouse, 35, 29, 35, 29},
        {RnIdBldServ, kWell, 22, 31, 22, 31},
        {RnIdBldStor, kStorehouse, 25, 32, 25, 32},
        {RnIdBldStor, kStorehouse, 27, 38, 27, 38},
        {RnIdBldMrkt, kMarket, 32, 32, 32, 32},
        {RnIdBldBldr, kBuilderYard, 35, 31, 35, 31},
        {RnIdBldProd, kWoodcutter, 21, 16, 21, 16},
        {RnIdBldProd, kSawmill, 27, 34, 27, 34},
        {RnIdBldProd, kFarm, 30, 36, 30, 36},
        {RnIdBldDeco, kGarden, 36, 31, 36, 31},
        {RnIdBldDeco, kFountain, 20, 31, 20, 31},
    };
    for (const Order& o : orders) {
        if (!place(o.kind, o.id, o.x, o.y, o.x2, o.y2))
            return "kind " + std::to_string(o.kind) + " at " + std::to_string(o.x) + "," + std::to_string(o.y);
    }
    const DaxGameTime now = dax_gameclock.gameTime();

    // Every building keeps the material its type lists (not every kind
    // starts its store yet).
    auto materials = [now](auto& types) {
        for (auto& t : types) {
            for (auto& b : t.instances_) b.checkMaterialNeeds(t, now);
        }
    };
    materials(grn_game.servTypes());
    materials(grn_game.storTypes());
    materials(grn_game.prodTypes());
    materials(grn_game.mrktTypes());
    materials(grn_game.decoTypes());
    materials(grn_game.bldrTypes());

    // People move in and offer half of themselves as workers.
    RnHousType& ht = grn_game.housType(0);
    for (RnHous& h : ht.instances_) {
        h.state_ = (h.state_ & ~(0x3FFu << RnHousPersData::kPeopleShift)) | (6u << RnHousPersData::kPeopleShift);
        h.offerWorkers(ht, 3);
    }
    grn_game.population_ = 24;
    grn_game.peoplType(ht.ppl_type_idx_).population_ += 24;

    // Goods in store and on order, and a link between the storehouses.
    RnStor& s1 = grn_game.storByOid(at(25, 32));
    RnStor& s2 = grn_game.storByOid(at(27, 38));
    const int16_t wood = grn_game.goodsTypeIdx(5311);
    const int16_t planks = grn_game.goodsTypeIdx(5312);
    s1.goods_stored_[wood].stored_nlots_ = 5;
    s1.goods_stored_[planks].promised_nlots_ = 2;
    s2.goods_stored_[wood].demand_ = -3;
    RnStorType& st = grn_game.storType(0);
    RnStorNetEdgeData link;
    link.start_ = DaxMapPositionI(28, 33);
    link.dist_ = 6;
    link.len_ = 4;
    for (int i = 0; i < 4; ++i) link.steps_[i] = DirYPlus;
    st.network_.setEdge(s1.network_node_, s2.network_node_, link);
    RnProd& sawmill = grn_game.prodByOid(at(27, 34));
    sawmill.input_goods_[wood].stored_ = 3;
    sawmill.input_goods_[wood].near_storage_ = s1.oid_;
    sawmill.marked_tiles_.push_back(static_cast<int32_t>(25 | (35 << 16)));
    RnMrkt& market = grn_game.mrktByOid(at(32, 32));
    market.house_levels_ = {1};

    // Walkers: three on their rounds, two done and waiting on the road.
    RnWalkerServType& swt = grn_game.servWalkerType(0);
    rnSendWalker(swt.instances_, 0,
                 RnWalkerServ(at(22, 31), DaxMapPositionI(22, 30), now, swt.smooth_move_, 0));
    RnWalkerMrktType& mwt = grn_game.mrktWalkerType(0);
    rnSendWalker(mwt.instances_, 0,
                 RnWalkerMrkt(market.oid_, DaxMapPositionI(31, 30), now, mwt.smooth_move_, 0));
    RnWalkerBldrType& bwt = grn_game.bldrWalkerType(0);
    rnSendWalker(bwt.instances_, 0,
                 RnWalkerBldr(at(35, 31), DaxMapPositionI(35, 30), now, bwt.smooth_move_, 0));
    // Their homes count them out, as when they leave by themselves.
    RnServ& well = grn_game.servByOid(at(22, 31));
    RnBldr& yard = grn_game.bldrByOid(at(35, 31));
    rnSetWalkersOut(well, well.walkersOut() + 1);
    rnSetWalkersOut(market, market.walkersOut() + 1);
    rnSetWalkersOut(yard, yard.walkersOut() + 1);
    RnWalkerProd prod(at(21, 16), DaxMapPositionI(24, 16), now, false);
    prod.state_ |= RnWalkerPersData::kFinished;
    rnSendWalker(grn_game.prodWalkerType(wood).instances_, wood, prod);
    RnWalkerStor stor(s1.oid_, DaxMapPositionI(26, 30), now, false);
    stor.state_ |= RnWalkerPersData::kFinished;
    rnSendWalker(grn_game.storWalkerType(planks).instances_, planks, stor);
    // The homes count the walkers they have out, as after loading.
    grn_game.prodByOid(at(21, 16)).checkOidAndWalkers();
    s1.recountWalkers();
    return "";
}

void buildGridTown() {
    const int side = grn_map.size();
    const int last = side - 1;
    // A road along the whole edge where the land lets it, else block by
    // block.
    auto road = [&](int x, int y, int x2, int y2) {
        if (place(RnIdBldRoad, kRoad, x, y, x2, y2)) return;
        for (int a = x == x2 ? y : x; a < (x == x2 ? y2 : x2); a += kGridBlock) {
            const int b = std::min(a + kGridBlock, x == x2 ? y2 : x2);
            if (x == x2) {
                place(RnIdBldRoad, kRoad, x, a, x, b);
            } else {
                place(RnIdBldRoad, kRoad, a, y, b, y);
            }
        }
    };
    for (int y = 0; y < side; y += kGridBlock) road(0, y, last, y);
    for (int x = 0; x < side; x += kGridBlock) road(x, 0, x, last);
    int block = 0;
    for (int by = 0; by + kGridBlock < side; by += kGridBlock) {
        for (int bx = 0; bx + kGridBlock < side; bx += kGridBlock, ++block) {
            if ((by / kGridBlock) % 8 == 7) {
                place(RnIdBldProd, kWoodcutter, bx + 1, by + 1, bx + 1, by + 1);
                continue;
            }
            // One workplace to about ten houses.
            if (block % 12 == 5) {
                const int ids[][2] = {{RnIdBldServ, kWell},        {RnIdBldStor, kStorehouse},
                                      {RnIdBldMrkt, kMarket},      {RnIdBldBldr, kBuilderYard},
                                      {RnIdBldProd, kSawmill},     {RnIdBldProd, kFarm},
                                      {RnIdBldDeco, kGarden},      {RnIdBldDeco, kFountain}};
                // Along the road at the block's top edge, then its left edge.
                int at = 0;
                for (const auto& t : ids) {
                    const bool top = at < 4;
                    const int k = top ? at : at - 4;
                    const int x = top ? bx + 2 + 2 * k : bx + 2;
                    const int y = top ? by + 2 : by + 4 + 2 * k;
                    place(t[0], t[1], x, y, x, y);
                    ++at;
                }
                continue;
            }
            for (int k = 0; k < 4; ++k) place(RnIdBldHous, kHouse, bx + 2 + 2 * k, by + 2, bx + 2 + 2 * k, by + 2);
            for (int k = 0; k < 3; ++k) place(RnIdBldHous, kHouse, bx + 2, by + 4 + 2 * k, bx + 2, by + 4 + 2 * k);
        }
    }
}

RnObjectID sendServiceWalker() {
    RnWalkerServType& swt = grn_game.servWalkerType(0);
    RnWalkerServ w(at(22, 31), DaxMapPositionI(22, 30), dax_gameclock.gameTime(), swt.smooth_move_, 0);
    RnPathCache path;
    for (int i = 0; i < 4; ++i) path.pushFront(DirXPlus);
    w.cachePath(path, 0);
    w.target_building_oid_ = at(25, 29);
    return rnSendWalker(swt.instances_, 0, w);
}

void runHours(int hours) {
    DaxGameTime end = dax_gameclock.gameTime();
    end.addHours(static_cast<float>(hours));
    while (dax_gameclock.gameTime().value() < end.value()) {
        dax_gameclock.tick();
        grn_game.update();
    }
}

}  // namespace savetown
