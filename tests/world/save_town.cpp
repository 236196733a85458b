#include "save_town.h"

#include <string>
#include <vector>

#include "dax2/dax_clock.h"
#include "dax2/dax_ini.h"
#include "dax2/dax_lua.h"
#include "dax2/dax_msg.h"
#include "rn_bld_bldr.h"
#include "rn_bld_deco.h"
#include "rn_bld_hous.h"
#include "rn_bld_mrkt.h"
#include "rn_bld_prod.h"
#include "rn_bld_serv.h"
#include "rn_bld_stor.h"
#include "rn_game.h"
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
