// The content functions of the data model, called with arguments the input
// builds (valid calls first, then with fields changed, removed or replaced;
// no Lua syntax is fuzzed). Whatever a call refuses leaves every type table,
// the build menu, the images and the open multi-tile as they were, and the
// goods types stay in step with their walker types.
#include <allegro5/allegro.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

extern "C" {
#include <lauxlib.h>
#include <lua.h>
}

#include "dax2/dax_bitmap.h"
#include "dax2/dax_msg.h"
#include "fuzz_support.h"
#include "rn_bld_bldr.h"
#include "rn_bld_deco.h"
#include "rn_bld_hous.h"
#include "rn_bld_mrkt.h"
#include "rn_bld_prod.h"
#include "rn_bld_road.h"
#include "rn_bld_serv.h"
#include "rn_bld_stor.h"
#include "rn_build_menu.h"
#include "rn_game.h"
#include "rn_lua_loader.h"
#include "rn_wlk_bldr.h"
#include "rn_wlk_mrkt.h"
#include "rn_wlk_prod.h"
#include "rn_wlk_serv.h"
#include "rn_wlk_stor.h"
#include "support/dax_probe.h"

namespace {

// The model every input starts from, so that later types find what they
// name; then valid argument lists per function, as Lua expressions.
constexpr const char* kPrelude = R"(
set_model_properties{hours_incr_desirability = 2, hours_decr_desirability = 3, map_range_desirability = 5,
  prod_walker_range = 24, storage_walker_range = 32, storage_walker_capacity = 4, storage_walker_speed = 200,
  storage_network_update_hours = 24, resource_efficiency_update_hours = 12}
create_resource{501}
create_people_type{601}
create_goods_type{701, 'wood', class = 801, lot_size = 10, hours_for_1tile_road = 0.5, smooth_move = 1}
create_goods_type{702, 'plank', class = 801, lot_size = 5, hours_for_1tile_road = 1, smooth_move = 0}
create_service_walker_type{901, ro = 'w_ro', ru = 'w_ru', lo = 'w_lo', lu = 'w_lu', distance_to_return = 20,
  hours_for_1tile_road = 0.25, smooth_move = 1}
create_market_walker_type{902, ro = 'w_ro', ru = 'w_ru', lo = 'w_lo', lu = 'w_lu', distance_to_return = 20,
  hours_for_1tile_road = 0.25, smooth_move = 1}
create_builder_walker_type{903, ro = 'w_ro', ru = 'w_ru', lo = 'w_lo', lu = 'w_lu', distance_to_return = 20,
  hours_for_1tile_road = 0.25, smooth_move = 1}
create_service_type({1001, 2, 2, 50, 10, {10, 20, 30}, image = 'bld22', floor = 'floor22', own_attr = 5,
  walker_type = 901, num_walkers = 2, hours_respawn = 4, workers1 = {601, 3, 10}}, 3)
)";

struct Template {
    const char* function;
    const char* args;  // a Lua chunk returning the arguments
};

const Template kTemplates[] = {
    {"begin_mtile", "return 2, 2, 0"},
    {"begin_mtile", "return 1, 1, 70"},
    {"store_mtile", "return {'stored', var = 1}"},
    {"draw_ground", "return {60, 160, 50}, 1"},
    {"draw_house", "return {20, 20, 14, g = 1, hg = 4}, {170, 140, 90}, {150, 120, 60}, 6, 6"},
    {"draw_house", "return {30, 20, 14, g = 3, hg = 4}, {170, 140, 90, 200}, {150, 120, 60}, 6, 6, 2"},
    {"create_resource", "return {502}"},
    {"create_terrain", "return {1301, {60, 160, 50}, {501}, floor = 'floor11', image = 'grass', walkable = 1, "
                       "roads = 1, buildings = 1, flat = 1}"},
    {"create_people_type", "return {602}"},
    {"create_goods_type", "return {703, 'food', class = 802, lot_size = 20, hours_for_1tile_road = 1, smooth_move = 0}"},
    {"create_service_walker_type", "return {904, ro = 'w_ro', ru = 'w_ru', lo = 'w_lo', lu = 'w_lu', "
                                   "distance_to_return = 20, hours_for_1tile_road = 0.25, smooth_move = 1}"},
    {"create_market_walker_type", "return {905, ro = 'w_ro', ru = 'w_ru', lo = 'w_lo', lu = 'w_lu', "
                                  "distance_to_return = 20, hours_for_1tile_road = 0.25, smooth_move = 1, "
                                  "tiles_without_houses = 3}"},
    {"create_builder_walker_type", "return {906, ro = 'w_ro', ru = 'w_ru', lo = 'w_lo', lu = 'w_lu', "
                                   "distance_to_return = 20, hours_for_1tile_road = 0.25, smooth_move = 1}"},
    {"create_road_type", "return {1101, 2, 1, {50, 50, 50}, {1102, 1, 0, image = 'road1', speed = 100}, "
                         "{1103, 2, 50, image = 'road2', speed = 120}, {1104, 3, 100, image = 'road3', speed = 150}}, 1"},
    {"create_house_type", "return {1201, 2, 2, 40, 4, {5, 6, 7}, {1202, 4, 1, 0, image = 'bld22', floor = 'floor22'}, "
                          "{1203, 8, 2, 10, image = 'bld22', floor = 'floor22'}, "
                          "{1204, 12, 3, 20, image = 'bld22b', floor = 'floor22', g0 = {702, 2, 24}, s0 = {1001, 48}, "
                          "mat = {701, 2, 3}}, people_type = 601, percent_workers = 50, "
                          "percent_workers_without_job1 = 10, percent_workers_without_job2 = 20, "
                          "hours_people_immigrate = 2, hours_people_leave = 3, hours_level_up = 4, "
                          "hours_level_down = 5, ruine = 'ruin22'}, 2"},
    {"create_service_type", "return {1002, 2, 2, 50, 10, {10, 20, 30}, image = 'bld22', floor = 'floor22', "
                            "own_attr = 5, walker_type = 901, num_walkers = 2, hours_respawn = 4, in_capa = 4, "
                            "input1 = {702, 1}, workers1 = {601, 3, 10}, ruine = 'ruin22', material1 = {701, 2, 3}}, 3"},
    {"create_storage_type", "return {1003, 2, 2, 50, 10, {10, 20, 30}, image = 'bld22', floor = 'floor22', "
                            "own_attr = 5, worker_type = 601, num_workers = 4, worker_range = 12, capacity = 16, "
                            "num_prod_walkers = 2, hours_respawn_prod_walker = 3, num_stor_walkers = 2, "
                            "hours_respawn_stor_walker = 5, goods_class = {801, 802}}, 4"},
    {"create_market_type", "return {1004, 2, 2, 50, 10, {10, 20, 30}, image = 'bld22', floor = 'floor22', "
                           "own_attr = 5, walker_type = 902, num_walkers = 2, hours_respawn = 2, worker_type = 601, "
                           "num_workers = 2, worker_range = 8, capacity = 6, goods_class = 802}, 4"},
    {"create_builder_type", "return {1005, 2, 2, 50, 10, {10, 20, 30}, image = 'bld22', floor = 'floor22', "
                            "own_attr = 5, walker_type = 903, num_walkers = 1, hours_respawn = 6, walker_range = 20, "
                            "capacity = 10, distribute_material = {702}, workers1 = {601, 2, 10}}, 5"},
    {"create_production_type", "return {1006, 2, 2, 50, 10, {10, 20, 30}, image = 'bld22', floor = 'floor22', "
                               "own_attr = 5, num_walkers = 1, hours_respawn = 2, out_capa = 8, "
                               "output1 = {702, 1, 6}, input1 = {701, 2}, workers1 = {601, 4, 10}, "
                               "resource_around = 501, resource_radius = 3, resource_percent = 50, "
                               "roam = 'roam', num_roam = 2}, 6"},
    {"create_deko_type", "return {1007, 2, 2, 30, 5, {1, 2, 3}, floor = 'floor22', image_active = 'bld22', "
                         "image_defunc = 'bld22b', own_attr_act = 20, own_attr_def = -5, service = 1001}, 7"},
    {"define_menu_entry", "return 3, 'bld22', 1001"},
    {"set_model_properties", "return {hours_incr_desirability = 2, hours_decr_desirability = 3, "
                             "map_range_desirability = 5, prod_walker_range = 24, storage_walker_range = 32, "
                             "storage_walker_capacity = 4, storage_walker_speed = 100, "
                             "storage_network_update_hours = 24, resource_efficiency_update_hours = 12}"},
};
constexpr int kTemplateCount = sizeof(kTemplates) / sizeof(kTemplates[0]);

const char* const kKeys[] = {
    "buildings", "capacity", "class", "deprecated", "distance_to_return", "flat", "floor", "g", "goods_class", "hg",
    "hours_attr", "hours_for_1tile_road", "hours_level_down", "hours_respawn", "image", "image_active",
    "image_defunc", "in_capa", "lot_size", "mat", "num_roam", "num_walkers", "num_workers", "out_capa", "own_attr",
    "people_type", "percent_workers", "resource_around", "resource_nextto", "resource_percent", "resource_radius",
    "resource_under", "roads", "roam", "ruine", "service", "smooth_move", "speed", "storage_walker_speed", "tax_percent",
    "tiles_without_houses", "var", "walkable", "walker_range", "walker_type", "worker_range", "worker_type",
    "workers1", "workers2", "material1", "material2", "input1", "input2", "output1", "output2", "g0", "g1", "s0",
    "distribute_material", "num_prod_walkers", "num_stor_walkers", "map_range_desirability", "ro", "lu"};
const char* const kStrings[] = {"wood", "plank", "bld22", "floor22", "floor11", "road1", "w_ro", "ruin22",
                                "roam", "nope", "", "wood_stor", "grass", "bld22b"};
const double kNumbers[] = {-1, 0, 1, 2, 3, 4, 7, 8, 15, 16, 20, 21, 64, 65, 100, 127, 128, 255, 256, 1000, 1023,
                           1024, 16383, 16384, 32767, 32768, 2147483647.0, -2147483648.0, 0.5, 1e10,
                           501, 502, 601, 602, 701, 702, 703, 801, 802, 901, 902, 903, 1001, 1002, 1101, 1201};

template <size_t N>
const char* pick(const char* const (&list)[N], FuzzInput& in) {
    return list[in.byte() % N];
}

void pushValue(lua_State* L, FuzzInput& in, int depth) {
    switch (in.byte() % 9) {
        case 0:
        case 1:
        case 2: lua_pushnumber(L, kNumbers[in.byte() % (sizeof(kNumbers) / sizeof(kNumbers[0]))]); break;
        case 3: lua_pushinteger(L, static_cast<lua_Integer>(static_cast<int32_t>(in.u32()))); break;
        case 4: {
            const double odd[] = {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
                                  -std::numeric_limits<double>::infinity(), -0.0, 1e-300};
            lua_pushnumber(L, odd[in.byte() % 5]);
            break;
        }
        case 5: lua_pushstring(L, pick(kStrings, in)); break;
        case 6: lua_pushnil(L); break;
        case 7: lua_pushboolean(L, in.flag()); break;
        default:
            // A small list such as a colour or a goods entry.
            lua_newtable(L);
            if (depth < 2) {
                const int n = static_cast<int>(in.range(0, 4));
                for (int i = 1; i <= n; ++i) {
                    pushValue(L, in, depth + 1);
                    lua_rawseti(L, -2, i);
                }
            }
            break;
    }
}

// Changes the table at index t: a named or numbered field set, removed, or
// (for a table field) changed inside.
void mutateTable(lua_State* L, int t, FuzzInput& in, int depth) {
    if (in.flag()) {
        lua_pushstring(L, pick(kKeys, in));
    } else {
        lua_pushinteger(L, static_cast<lua_Integer>(in.range(1, 8)));
    }
    lua_pushvalue(L, -1);
    lua_rawget(L, t);
    if (lua_istable(L, -1) && depth < 2 && in.flag()) {
        mutateTable(L, lua_gettop(L), in, depth + 1);
        lua_pop(L, 2);
        return;
    }
    lua_pop(L, 1);
    pushValue(L, in, 1);
    lua_rawset(L, t);
}

struct Snapshot {
    std::vector<size_t> sizes;
    bool mtile_open = false;
    int16_t walker_speed = 0;

    static Snapshot take() {
        Snapshot s;
        s.sizes = {grn_game.resources().size(), grn_game.terrains().size(), grn_game.peoplTypes().size(),
                   grn_game.goodsTypes().size(), grn_game.bldrWalkerTypes().size(),
                   grn_game.mrktWalkerTypes().size(), grn_game.prodWalkerTypes().size(),
                   grn_game.servWalkerTypes().size(), grn_game.storWalkerTypes().size(),
                   grn_game.bldrTypes().size(), grn_game.decoTypes().size(), grn_game.housTypes().size(),
                   grn_game.mrktTypes().size(), grn_game.prodTypes().size(), grn_game.roadTypes().size(),
                   grn_game.servTypes().size(), grn_game.storTypes().size(),
                   static_cast<size_t>(grn_build_menu.buttonCount()), dax_bitmaps.size()};
        s.mtile_open = rnMtileIsOpen();
        s.walker_speed = grn_game.storage_walker_speed_;
        return s;
    }
    bool operator==(const Snapshot& o) const {
        return sizes == o.sizes && mtile_open == o.mtile_open && walker_speed == o.walker_speed;
    }
};

void checkGoodsInStep() {
    const auto& goods = grn_game.goodsTypes();
    FUZZ_CHECK(grn_game.prodWalkerTypes().size() == goods.size() && grn_game.storWalkerTypes().size() == goods.size(),
               "goods and walker types out of step");
    for (size_t i = 0; i < goods.size(); ++i) {
        FUZZ_CHECK(grn_game.prodWalkerTypes()[i].type_id_ == goods[i].id_ &&
                       grn_game.storWalkerTypes()[i].type_id_ == goods[i].id_,
                   "walker type at a goods index names another goods type");
    }
}

void addImage(const char* name, int w, int h) {
    registerMemoryBitmap(DaxBitmapKey(name, 1, 0), w, h, w / 2, h, al_map_rgba(200, 100, 50, 255));
}

void resetWorld(RnLuaModelLoader& loader) {
    loader.close();
    grn_game.clear();
    grn_game.storage_walker_speed_ = 0;
    if (dax_bitmaps.tileMode() == kDaxTileNone) dax_bitmaps.setIsoTileSize(64, 32);
    for (const char* g : {"wood", "plank", "food"}) addImage(g, 16, 12);
    for (const char* w : {"w_ro", "w_ru", "w_lo", "w_lu"}) addImage(w, 20, 30);
    for (const char* r : {"road1", "road2", "road3", "floor11", "grass"}) addImage(r, 64, 31);
    addImage("floor22", 128, 63);
    addImage("bld22", 128, 90);
    addImage("bld22b", 128, 90);
    addImage("ruin22", 128, 63);
    addImage("roam", 20, 20);
    loader.init();
    lua_State* L = loader.state();
    lua_newtable(L);
    lua_setglobal(L, "game");
    FUZZ_CHECK(luaL_loadstring(L, kPrelude) == 0 && lua_pcall(L, 0, 0, 0) == 0, "the prelude failed");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzInitFramework();
    static bool texts = false;
    if (!texts) {
        texts = true;
        for (int id = 1; id < 2000; ++id) dax_strings.addString(id, "n" + std::to_string(id), false);
    }
    static RnLuaModelLoader loader;
    resetWorld(loader);
    lua_State* L = loader.state();
    FuzzInput in(data, size);
    for (int call = 0; call < 12 && !in.empty(); ++call) {
        const Template& t = kTemplates[in.byte() % kTemplateCount];
        const int base = lua_gettop(L);
        lua_getglobal(L, t.function);
        FUZZ_CHECK(luaL_loadstring(L, t.args) == 0 && lua_pcall(L, 0, LUA_MULTRET, 0) == 0, "template");
        int argc = lua_gettop(L) - base - 1;
        const int mutations = static_cast<int>(in.range(0, 4));
        for (int m = 0; m < mutations; ++m) {
            const int arg = base + 2 + static_cast<int>(in.range(0, argc));  // one past the last adds one
            const uint8_t how = in.byte() % 4;
            if (arg <= lua_gettop(L) && lua_istable(L, arg) && how != 0) {
                mutateTable(L, arg, in, 0);
            } else if (how == 1 && argc > 0) {
                lua_pop(L, 1);  // drop the last argument
                --argc;
            } else {
                pushValue(L, in, 0);
                if (arg <= lua_gettop(L) - 1) {
                    lua_replace(L, arg);
                } else {
                    ++argc;
                }
            }
        }
        const Snapshot before = Snapshot::take();
        const bool ok = lua_pcall(L, argc, 0, 0) == 0;
        if (!ok) {
            FUZZ_CHECK(before == Snapshot::take(), std::string("refused ") + t.function + " changed the tables: " +
                                                       (lua_tostring(L, -1) ? lua_tostring(L, -1) : "?"));
        }
        lua_settop(L, base);
        checkGoodsInStep();
    }
    loader.close();
    rnMtileDestroy();
    fuzzForgetLog();
    return 0;
}
