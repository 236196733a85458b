// The content functions of the data model: resources, terrains, people,
// goods with their production and storage walker types, the service, market
// and builder walker types, road types, the seven other building kinds,
// build-menu entries and the model properties. Each reads its Lua arguments
// through the checked readers, builds a type record and adds it to grn_game.
#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include <allegro5/allegro.h>

extern "C" {
#include <lua.h>
}

#include "dax2/dax_bitmap.h"
#include "dax2/dax_error.h"
#include "dax2/dax_lua_args.h"
#include "dax2/dax_mptr.h"
#include "dax2/dax_msg.h"
#include "rn.h"
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

namespace {

// Limits of values kept in bit fields of the buildings' persistent words.
constexpr int kMaxServWalkers = 7;     // service and builder: 3-bit counters
constexpr int kMaxStorMrktWalkers = 15;  // storage and market: 4-bit counters
constexpr int kMaxHousePeople = 1023;  // 10-bit people count
constexpr int kMaxHouseWorkers = 255;  // 8-bit worker and employed counts
constexpr int kMaxHouseLevels = 64;    // 6-bit level
constexpr int kMaxRoadLevels = 256;    // 8-bit level
constexpr int kMinRoadLevels = 3;
constexpr int kMaxMrktCapacity = 16383;  // 14-bit promised lots
// List readers look at keys 1..8 ("material%d" ...), house needs at 0..8.
constexpr int kMaxListKeys = 8;
constexpr int kMaxNeedKeys = 8;

const std::string& textOf(int id) { return dax_strings.get(id); }

// A text for a log line: "" when there is none (a log line never raises).
std::string logText(int id) { return dax_strings.hasString(id) ? dax_strings.get(id) : std::string(); }

void requireImage(const std::string& name) {
    if (dax_bitmaps.findVariant(name, 0) < 0) {
        daxRaiseError("image %s not found", name.c_str());
    }
}

void requireFit(const std::string& name, int w, int h) {
    if (!dax_bitmaps.fitsTileArea(name, w, h)) {
        daxRaiseError("image size does not fit for ");
    }
}

// Pushes table[name] (no metamethods); false with nothing pushed when the
// key is missing.
bool pushField(lua_State* L, int table, const char* name) {
    lua_pushstring(L, name);
    lua_rawget(L, table);
    if (lua_isnil(L, -1)) {
        lua_pop(L, 1);
        return false;
    }
    return true;
}

// Pushes element n of a table (no metamethods).
void pushElement(lua_State* L, int table, int n) {
    lua_pushinteger(L, n);
    lua_rawget(L, table);
}

// The value on top must be a table; returns its stack position.
int requireTableOnTop(lua_State* L) {
    if (!lua_istable(L, -1)) {
        daxRaiseError("table expected");
    }
    return lua_gettop(L);
}

void colourOf(lua_State* L, int table, int element, float out[4]) {
    ALLEGRO_COLOR c = daxLuaGetColor(L, table, element);
    al_unmap_rgba_f(c, &out[0], &out[1], &out[2], &out[3]);
}

// The build menu number (argument 2 of every building type function).
int readMenu(lua_State* L) { return daxLuaGetInt(L, 2, Tchk_range(RnBuildMenu::kFirstMenu, RnBuildMenu::kLastMenu)); }

// A type is entered in its menu right after it was added; a repeated name
// in the menu is refused before the type is added, so that a refused type
// is not left in its table.
void checkMenuFree(int menu, const std::string& name) {
    if (grn_build_menu.hasButtonNamed(menu, name)) {
        daxRaiseError("build menu button for %s already registered", name.c_str());
    }
}

// Elements 1 to 5 of a building type table: id (its name is the text of
// that number), footprint, build and demolition cost.
void readTypeElements(lua_State* L, RnGenericBuildingType& t) {
    t.type_id_ = daxLuaGetTableInt(L, 1, 1, Tchk_gt0i());
    t.name_ = textOf(t.type_id_);
    t.width_ = static_cast<int16_t>(daxLuaGetTableInt(L, 1, 2, Tchk_gt0s()));
    t.height_ = static_cast<int16_t>(daxLuaGetTableInt(L, 1, 3, Tchk_gt0s()));
    t.cost_ = daxLuaGetTableInt(L, 1, 4, Tchk_ge0i());
    t.demolition_cost_ = daxLuaGetTableInt(L, 1, 5, Tchk_ge0i());
}

// --- list readers ------------------------------------------------------------

// "ruine" and "material%d": the building material of a simple kind.
void readMaterial(lua_State* L, RnSimpleBuildingType& t) {
    const char* ruine = daxLuaGetFieldStringOpt(L, 1, "ruine", nullptr);
    if (ruine) {
        requireImage(ruine);
        t.ruin_image_ = ruine;
    }
    std::set<int16_t> seen;
    for (int i = 1; i <= kMaxListKeys; ++i) {
        char key[32];
        std::snprintf(key, sizeof(key), "material%d", i);
        if (!pushField(L, 1, key)) break;
        const int tab = requireTableOnTop(L);
        if (!ruine) {
            daxRaiseError("missing name for ruine parameter for type %s", t.name_.c_str());
        }
        daxLuaCheckTable(L, tab, 3, 3);
        const int id = daxLuaGetTableInt(L, tab, 1, Tchk_gt0i());
        RnMaterialEntry e;
        e.good_type_idx_ = grn_game.goodsTypeIdx(id);
        // Hours per unit of 0 would divide the wear by zero: gt0s refuses it.
        e.amount_ = static_cast<uint16_t>(daxLuaGetTableInt(L, tab, 2, Tchk_gt0s()));
        e.hours_ = static_cast<uint16_t>(daxLuaGetTableInt(L, tab, 3, Tchk_gt0s()));
        if (!seen.insert(e.good_type_idx_).second) {
            daxRaiseError("duplicate goods type %d for prod type %s", id, t.name_.c_str());
        }
        t.build_material_.push_back(e);
        lua_pop(L, 1);
    }
}

void readOutputs(lua_State* L, const std::string& name, std::vector<RnGoodsOutput>& out) {
    std::set<int16_t> seen;
    for (int i = 1; i <= kMaxListKeys; ++i) {
        char key[32];
        std::snprintf(key, sizeof(key), "output%d", i);
        if (!pushField(L, 1, key)) break;
        const int tab = requireTableOnTop(L);
        daxLuaCheckTable(L, tab, 3, 3);
        const int id = daxLuaGetTableInt(L, tab, 1, Tchk_gt0i());
        RnGoodsOutput o;
        o.good_type_idx_ = grn_game.goodsTypeIdx(id);
        o.amount_ = static_cast<int16_t>(daxLuaGetTableInt(L, tab, 2, Tchk_gt0s()));
        o.time_ = static_cast<int16_t>(daxLuaGetTableInt(L, tab, 3, Tchk_gt0s()));
        if (!seen.insert(o.good_type_idx_).second) {
            daxRaiseError("duplicate output goods type %d for type %s", id, name.c_str());
        }
        out.push_back(o);
        lua_pop(L, 1);
    }
    if (out.empty()) {
        daxRaiseError("no output goods defined for type %s", name.c_str());
    }
}

void readInputs(lua_State* L, const std::string& name, std::vector<RnGoodsAmount>& in) {
    std::set<int16_t> seen;
    for (int i = 1; i <= kMaxListKeys; ++i) {
        char key[32];
        std::snprintf(key, sizeof(key), "input%d", i);
        if (!pushField(L, 1, key)) break;
        const int tab = requireTableOnTop(L);
        daxLuaCheckTable(L, tab, 2, 2);
        const int id = daxLuaGetTableInt(L, tab, 1, Tchk_gt0i());
        RnGoodsAmount a;
        a.good_type_idx_ = grn_game.goodsTypeIdx(id);
        a.amount_ = static_cast<uint16_t>(daxLuaGetTableInt(L, tab, 2, Tchk_gt0s()));
        if (!seen.insert(a.good_type_idx_).second) {
            daxRaiseError("duplicate input goods type %d for type %s", id, name.c_str());
        }
        in.push_back(a);
        lua_pop(L, 1);
    }
}

void readWorkers(lua_State* L, const RnGenericBuildingType& t, std::vector<RnWorkerReq>& reqs) {
    std::set<int16_t> seen;
    for (int i = 1; i <= kMaxListKeys; ++i) {
        char key[32];
        std::snprintf(key, sizeof(key), "workers%d", i);
        if (!pushField(L, 1, key)) break;
        const int tab = requireTableOnTop(L);
        daxLuaCheckTable(L, tab, 3, 3);
        const int id = daxLuaGetTableInt(L, tab, 1, Tchk_gt0i());
        RnWorkerReq r;
        r.ppl_type_idx_ = grn_game.peoplTypeIdx(id);
        r.num_req_ = static_cast<uint16_t>(daxLuaGetTableInt(L, tab, 2, Tchk_gt0s()));
        r.range_ = static_cast<uint16_t>(daxLuaGetTableInt(L, tab, 3, Tchk_gt0s()));
        if (!seen.insert(r.ppl_type_idx_).second) {
            daxRaiseError("duplicate worker type %d for type id=%d name=%s", id, t.type_id_, t.name_.c_str());
        }
        reqs.push_back(r);
        lua_pop(L, 1);
    }
    if (reqs.empty()) {
        daxRaiseError("req workers missing for type id=%d name=%s", t.type_id_, t.name_.c_str());
    }
}

// A goods class id: at least 1 and, since classes are 16-bit, at most 32767.
int16_t checkedClass(int value, const char* key, int table) {
    if (value > 32767) {
        daxRaiseError("parameter %s of table %d not between 1 and 32767: %d", key, table, value);
    }
    return static_cast<int16_t>(value);
}

// "goods_class": one class id, or a table of them (repeats merged).
void readGoodsClasses(lua_State* L, std::set<int16_t>& classes) {
    lua_pushstring(L, "goods_class");
    lua_rawget(L, 1);
    const int type = lua_type(L, -1);
    if (type == LUA_TNIL) {
        daxRaiseError("missing required parameter %s of table %d", "goods_class", 1);
    } else if (type == LUA_TNUMBER) {
        lua_pop(L, 1);
        const int v = daxLuaGetFieldInt(L, 1, "goods_class", Tchk_gt0i());
        classes.insert(checkedClass(v, "goods_class", 1));
        return;
    } else if (type != LUA_TTABLE) {
        daxRaiseError("wrong parameter type for %s of table %d", "goods_class", 1);
    }
    const int tab = lua_gettop(L);
    const int len = daxLuaCheckTable(L, tab, 0, -1);
    for (int i = 1; i <= len; ++i) {
        const int v = daxLuaGetTableInt(L, tab, i, Tchk_gt0i());
        if (v > 32767) {
            daxRaiseError("parameter %d of table %d not between 1 and 32767: %d", i, tab, v);
        }
        classes.insert(static_cast<int16_t>(v));
    }
    lua_pop(L, 1);
}

// --- log lines ---------------------------------------------------------------

void logInputs(const std::vector<RnGoodsAmount>& in) {
    for (const RnGoodsAmount& a : in) {
        const RnGoodsType& g = grn_game.goodsType(a.good_type_idx_);
        daxLogMessage(2, 1, "  needs type=%d name='%s' amount=%d", g.id_, g.name_.c_str(), a.amount_);
    }
}

void logWorkers(const std::vector<RnWorkerReq>& reqs) {
    for (const RnWorkerReq& r : reqs) {
        const RnPeoplType& p = grn_game.peoplType(r.ppl_type_idx_);
        daxLogMessage(2, 1, "    workers type=%d name='%s' num_req=%d range=%d", p.id_, p.name_.c_str(), r.num_req_,
                      r.range_);
    }
}

void logMaterial(const RnSimpleBuildingType& t) {
    for (const RnMaterialEntry& e : t.build_material_) {
        const RnGoodsType& g = grn_game.goodsType(e.good_type_idx_);
        daxLogMessage(2, 1, "    material type=%d name='%s' amount=%d duration=%d per unit", g.id_, g.name_.c_str(),
                      e.amount_, e.hours_);
    }
}

// --- the simple kinds --------------------------------------------------------

// How the shared part of a simple kind is read.
struct SimpleKeys {
    int flat_default;
    bool has_image;     // "image" (the decoration reads its own images)
    bool has_own_attr;  // "own_attr"
};

// Argument and table checks, elements 1 to 5, "deprecated", element 6,
// "flat", "image", "floor" and "own_attr" as the kind has them.
void readSimpleHead(lua_State* L, RnSimpleBuildingType& t, const SimpleKeys& k) {
    daxLuaCheckArgCount(L, lua_gettop(L), 2);
    daxLuaCheckTable(L, 1, 6, 6);
    readTypeElements(L, t);
    t.deprecated_ = static_cast<uint8_t>(daxLuaGetFieldIntOpt(L, 1, "deprecated", Tchk_bool(), 0));
    colourOf(L, 1, 6, t.colour_);
    t.flat_ = static_cast<uint8_t>(daxLuaGetFieldIntOpt(L, 1, "flat", Tchk_bool(), k.flat_default));
    if (k.has_image) t.image_ = daxLuaGetFieldString(L, 1, "image");
    t.floor_image_ = daxLuaGetFieldString(L, 1, "floor");
    if (k.has_own_attr) {
        t.own_attr_ = static_cast<int16_t>(daxLuaGetFieldInt(L, 1, "own_attr", Tchk_range(-1000, 1000)));
    }
}

// The floor first, then the other images; the floor must fit the footprint.
void checkSimpleImages(const RnSimpleBuildingType& t, std::initializer_list<const std::string*> others) {
    requireImage(t.floor_image_);
    for (const std::string* name : others) requireImage(*name);
    requireFit(t.floor_image_, t.width_, t.height_);
}

// A walker count that must fit its bit field.
uint16_t readWalkerCount(lua_State* L, const char* key, int max) {
    return static_cast<uint16_t>(daxLuaGetFieldInt(L, 1, key, Tchk_range(1, max)));
}

// --- walker types ------------------------------------------------------------

// The keys shared by service, market and builder walker types;
// tiles_without_houses is read only for the kinds that have the field.
void readWalkerType(lua_State* L, RnWalkerGenericType& w, RnWalkerImages& images, uint16_t& distance_to_return,
                    uint16_t* tiles_without_houses) {
    daxLuaCheckArgCount(L, lua_gettop(L), 1);
    daxLuaCheckTable(L, 1, 1, 1);
    w.type_id_ = daxLuaGetTableInt(L, 1, 1, Tchk_gt0i());
    w.name_ = textOf(w.type_id_);
    static const char* const kDirs[4] = {"ro", "ru", "lo", "lu"};
    for (int i = 0; i < 4; ++i) images.names_[i] = daxLuaGetFieldString(L, 1, kDirs[i]);
    // The walker's step counter must hold the way out and back.
    distance_to_return =
        static_cast<uint16_t>(daxLuaGetFieldInt(L, 1, "distance_to_return", Tchk_range(1, kRnMaxDistanceToReturn)));
    if (tiles_without_houses) {
        *tiles_without_houses =
            static_cast<uint16_t>(daxLuaGetFieldIntOpt(L, 1, "tiles_without_houses", Tchk_ge0s(), 0));
    }
    w.hours_for_1tile_road_ = static_cast<float>(daxLuaGetFieldNumber(L, 1, "hours_for_1tile_road", Tchk_gt0s()));
    w.smooth_move_ = daxLuaGetFieldInt(L, 1, "smooth_move", Tchk_bool()) != 0;
    for (int i = 0; i < 4; ++i) requireImage(images.names_[i]);
}

}  // namespace

// --- resources, terrains, people, goods --------------------------------------

int rnLuaCreateResource(lua_State* L) {
    RnLuaStackGuard keep(L);
    daxLuaCheckArgCount(L, lua_gettop(L), 1);
    daxLuaCheckTable(L, 1, 1, 1);
    const int id = daxLuaGetTableInt(L, 1, 1, Tchk_gt0i());
    const std::string& name = textOf(id);
    const int n = static_cast<int>(grn_game.resources().size());
    if (n > 15) {
        daxRaiseError("too many resources, can only have %d", n);
    }
    const int16_t idx = grn_game.addResource(RnResource(id, name, 1 << n));
    daxLogMessage(2, 1, "added resource id=%d name='%s' at index %d", id, name.c_str(), idx);
    daxLogMessage(2, 1, "  resource_mask=%04x", grn_game.resource(idx).mask_);
    return 0;
}

int rnLuaCreateTerrain(lua_State* L) {
    RnLuaStackGuard keep(L);
    daxLuaCheckArgCount(L, lua_gettop(L), 1);
    daxLuaCheckTable(L, 1, 3, 3);
    const int id = daxLuaGetTableInt(L, 1, 1, Tchk_gt0i());
    const std::string& name = textOf(id);
    const std::string image = daxLuaGetFieldStringOpt(L, 1, "image", "");
    const std::string floor = daxLuaGetFieldString(L, 1, "floor");
    const bool walkable = daxLuaGetFieldInt(L, 1, "walkable", Tchk_bool()) != 0;
    const bool roads = daxLuaGetFieldInt(L, 1, "roads", Tchk_bool()) != 0;
    const bool buildings = daxLuaGetFieldInt(L, 1, "buildings", Tchk_bool()) != 0;
    const bool flat = daxLuaGetFieldInt(L, 1, "flat", Tchk_bool()) != 0;
    if (!image.empty()) requireImage(image);
    requireImage(floor);

    float colour[4];
    colourOf(L, 1, 2, colour);
    pushElement(L, 1, 3);
    const int res = requireTableOnTop(L);
    const int len = daxLuaCheckTable(L, res, 0, -1);
    int mask = 0;
    for (int i = 1; i <= len; ++i) {
        const int rid = daxLuaGetTableInt(L, res, i, Tchk_gt0s());
        mask |= grn_game.resource(grn_game.resourceIdx(rid)).mask_;
    }
    lua_pop(L, 1);

    RnTerrain t(name, id, floor, image, colour, static_cast<int16_t>(mask), walkable, roads, buildings, flat);
    const int16_t idx = grn_game.addTerrain(t);
    daxLogMessage(2, 1, "added terrain id=%d name='%s' at index %d", id, name.c_str(), idx);
    daxLogMessage(2, 1, "  bmp_name='%s' resource_mask=%04x walkable=%d roads=%d buildings=%d", image.c_str(),
                  mask & 0xFFFF, walkable ? 1 : 0, roads ? 1 : 0, buildings ? 1 : 0);
    return 0;
}

int rnLuaCreatePeopleType(lua_State* L) {
    RnLuaStackGuard keep(L);
    daxLuaCheckArgCount(L, lua_gettop(L), 1);
    daxLuaCheckTable(L, 1, 1, 1);
    const int id = daxLuaGetTableInt(L, 1, 1, Tchk_gt0i());
    const std::string& name = textOf(id);
    const int16_t idx = grn_game.addPeoplType(RnPeoplType(id, name));
    grn_game.peoplType(idx).workforce_.setPeopleTypeIdx(idx);
    daxLogMessage(2, 1, "added people id=%d type name='%s' at index %d", id, name.c_str(), idx);
    return 0;
}

namespace {

// The storage image of a goods image: four items in a small pile, 8 pixels
// wider and 4 higher, registered as stor_name ("<image>_stor") variant 1.
DaxBitmapIndex makeStorImage(const std::string& stor_name, DaxBitmapIndex goods_image) {
    const DaxBitmapEntry& e = dax_bitmaps.entry(goods_image);
    const int w = al_get_bitmap_width(e.bitmap_);
    const int h = al_get_bitmap_height(e.bitmap_);
    ALLEGRO_BITMAP_mptr pile;
    {
        DaxNewBitmapFlagsSaver flags;
        al_set_new_bitmap_flags(ALLEGRO_MEMORY_BITMAP);
        pile.reset(al_create_bitmap(w + 8, h + 4));
    }
    if (!pile) {
        daxRaiseError("can't create temp bitmap");
    }
    {
        DaxAllegroStateSaver state(ALLEGRO_STATE_TARGET_BITMAP | ALLEGRO_STATE_BLENDER);
        al_set_target_bitmap(pile.get());
        al_set_blender(ALLEGRO_ADD, ALLEGRO_ONE, ALLEGRO_INVERSE_ALPHA);
        al_clear_to_color(al_map_rgba(0, 0, 0, 0));
        al_draw_bitmap(e.bitmap_, 4, 0, 0);
        al_draw_bitmap(e.bitmap_, 0, 2, 0);
        al_draw_bitmap(e.bitmap_, 8, 2, 0);
        al_draw_bitmap(e.bitmap_, 4, 4, 0);
    }
    DaxBitmapIndex id =
        dax_bitmaps.add(DaxBitmapKey(stor_name, 1, 0), pile.get(), e.hot_x_ + 4, e.hot_y_ + 4, false, -1);
    if (id < 0) {
        daxRaiseError("image %s could not be created", stor_name.c_str());
    }
    return id;
}

void logWalker(const char* what, const RnWalkerGenericType& w, int16_t idx) {
    daxLogMessage(2, 1, "added %s walker id=%d type name='%s' at index %d", what, w.type_id_, w.name_.c_str(), idx);
    daxLogMessage(2, 1, "    time_1tile_road=%.3f", static_cast<double>(w.hours_for_1tile_road_));
    daxLogMessage(2, 1, "    smooth_move=%d", w.smooth_move_ ? 1 : 0);
}

}  // namespace

int rnLuaCreateGoodsType(lua_State* L) {
    RnLuaStackGuard keep(L);
    daxLuaCheckArgCount(L, lua_gettop(L), 1);
    // The storage walkers' time per tile is divided by the model's storage
    // walker speed, which only set_model_properties gives.
    if (!rnModelPropertiesSet() || grn_game.storage_walker_speed_ <= 0) {
        daxRaiseError("model properties are not set: set_model_properties must come before the first goods type");
    }
    daxLuaCheckTable(L, 1, 2, 2);
    const int id = daxLuaGetTableInt(L, 1, 1, Tchk_gt0i());
    const std::string& name = textOf(id);
    const int class_id = daxLuaGetFieldInt(L, 1, "class", Tchk_gt0s());
    const std::string& class_name = textOf(class_id);
    // Markets and builders divide by the lot size.
    const int lot_size = daxLuaGetFieldInt(L, 1, "lot_size", Tchk_gt0s());
    const std::string image = daxLuaGetTableString(L, 1, 2);
    const double hours = daxLuaGetFieldNumber(L, 1, "hours_for_1tile_road", Tchk_gt0s());
    const bool smooth = daxLuaGetFieldInt(L, 1, "smooth_move", Tchk_bool()) != 0;
    requireImage(image);
    // Everything is checked before anything is added: a goods type without
    // its walker types would put every later goods type out of step.
    grn_game.checkGoodsTypeFree(id);
    // The storage image is the last step that can fail.
    const DaxBitmapIndex image_id = dax_bitmaps.findVariant(image, 0);
    const DaxBitmapIndex stor_id = makeStorImage(image + "_stor", image_id);

    RnGoodsType g(name, id, static_cast<int16_t>(class_id), static_cast<uint16_t>(lot_size), image_id);
    RnWalkerProdType pw;
    pw.type_id_ = id;
    pw.name_ = name;
    pw.image_ = image_id;
    pw.hours_for_1tile_road_ = static_cast<float>(hours);
    pw.smooth_move_ = smooth;
    RnWalkerStorType sw;
    sw.type_id_ = id;
    sw.name_ = name;
    sw.image_ = stor_id;
    sw.hours_for_1tile_road_ = static_cast<float>(hours * 100.0 / grn_game.storage_walker_speed_);
    sw.smooth_move_ = smooth;

    const int16_t idx = grn_game.addGoodsTypeWithWalkers(g, pw, sw);
    daxLogMessage(2, 1, "added goods id=%d type name='%s' classid=%d class name='%s' at index %d", id, name.c_str(),
                  class_id, class_name.c_str(), idx);
    logWalker("prod", pw, idx);
    logWalker("stor", sw, idx);
    return 0;
}

// --- walker types of service, market and builder buildings -----------------

int rnLuaCreateServiceWalkerType(lua_State* L) {
    RnLuaStackGuard keep(L);
    RnWalkerServType w;
    readWalkerType(L, w, w.images_, w.distance_to_return_, &w.tiles_without_houses_);
    const int16_t idx = grn_game.addServWalkerType(w);
    daxLogMessage(2, 1, "added service walker id=%d type name='%s' at index %d", w.type_id_, w.name_.c_str(), idx);
    daxLogMessage(2, 1, "    dist_return=%d w/o_houses=%d time_1tile_road=%.3f", w.distance_to_return_,
                  w.tiles_without_houses_, static_cast<double>(w.hours_for_1tile_road_));
    daxLogMessage(2, 1, "    smooth_move=%d", w.smooth_move_ ? 1 : 0);
    return 0;
}

int rnLuaCreateMarketWalkerType(lua_State* L) {
    RnLuaStackGuard keep(L);
    RnWalkerMrktType w;
    readWalkerType(L, w, w.images_, w.distance_to_return_, &w.tiles_without_houses_);
    const int16_t idx = grn_game.addMrktWalkerType(w);
    daxLogMessage(2, 1, "added market walker id=%d type name='%s' at index %d", w.type_id_, w.name_.c_str(), idx);
    daxLogMessage(2, 1, "    dist_return=%d w/o_houses=%d time_1tile_road=%.3f", w.distance_to_return_,
                  w.tiles_without_houses_, static_cast<double>(w.hours_for_1tile_road_));
    daxLogMessage(2, 1, "    smooth_move=%d", w.smooth_move_ ? 1 : 0);
    return 0;
}

int rnLuaCreateBuilderWalkerType(lua_State* L) {
    RnLuaStackGuard keep(L);
    RnWalkerBldrType w;
    readWalkerType(L, w, w.images_, w.distance_to_return_, nullptr);
    const int16_t idx = grn_game.addBldrWalkerType(w);
    daxLogMessage(2, 1, "added builder walker id=%d type name='%s' at index %d", w.type_id_, w.name_.c_str(), idx);
    daxLogMessage(2, 1, "    dist_return=%d time_1tile_road=%.3f", w.distance_to_return_,
                  static_cast<double>(w.hours_for_1tile_road_));
    daxLogMessage(2, 1, "    smooth_move=%d", w.smooth_move_ ? 1 : 0);
    return 0;
}

// --- roads -------------------------------------------------------------------

int rnLuaCreateRoadType(lua_State* L) {
    RnLuaStackGuard keep(L);
    daxLuaCheckArgCount(L, lua_gettop(L), 2);
    const int len = daxLuaCheckTable(L, 1, 5, -1);
    RnRoadType rt;
    rt.type_id_ = daxLuaGetTableInt(L, 1, 1, Tchk_gt0i());
    rt.name_ = textOf(rt.type_id_);
    rt.cost_ = daxLuaGetTableInt(L, 1, 2, Tchk_ge0i());
    rt.demolition_cost_ = daxLuaGetTableInt(L, 1, 3, Tchk_ge0i());
    colourOf(L, 1, 4, rt.colour_);
    rt.width_ = 1;
    rt.height_ = 1;
    rt.flat_ = 1;
    rt.deprecated_ = 0;

    // New roads are laid at a level above the first, and the level is an
    // 8-bit field.
    const int levels = len - 4;
    if (levels < kMinRoadLevels) {
        daxRaiseError("road type %d has %d levels, needs at least %d", rt.type_id_, levels, kMinRoadLevels);
    }
    if (levels > kMaxRoadLevels) {
        daxRaiseError("road type %d has %d levels, can have at most %d", rt.type_id_, levels, kMaxRoadLevels);
    }
    for (int e = 5; e <= len; ++e) {
        pushElement(L, 1, e);
        const int tab = requireTableOnTop(L);
        daxLuaCheckTable(L, tab, 3, 3);
        RnRoadLevelDesc d;
        d.text_id_ = daxLuaGetTableInt(L, tab, 1, Tchk_gt0i());
        d.name_ = textOf(d.text_id_);
        d.own_attr_ = static_cast<int16_t>(daxLuaGetTableInt(L, tab, 2, Tchk_range(-1000, 1000)));
        d.needed_attr_ = static_cast<int16_t>(daxLuaGetTableInt(L, tab, 3, Tchk_short()));
        d.image_ = daxLuaGetFieldString(L, tab, "image");
        d.speed_ = static_cast<int16_t>(daxLuaGetFieldInt(L, tab, "speed", Tchk_range(20, 500)));
        requireImage(d.image_);
        requireFit(d.image_, 1, 1);
        rt.level_descs_.push_back(d);
        lua_pop(L, 1);
    }

    const int menu = readMenu(L);
    checkMenuFree(menu, rt.name_);
    const int16_t idx = grn_game.addRoadType(rt);
    grn_build_menu.addButton(RnIdBldRoad, menu, rt.type_id_, false);
    daxLogMessage(2, 1, "added road id=%d name='%s' at index %d - menu=%d", rt.type_id_, rt.name_.c_str(), idx, menu);
    for (size_t i = 0; i < rt.level_descs_.size(); ++i) {
        const RnRoadLevelDesc& d = rt.level_descs_[i];
        daxLogMessage(2, 1, "  level %d name='%s' img='%s'", static_cast<int>(i), d.name_.c_str(), d.image_.c_str());
        daxLogMessage(2, 1, "    own_attr=%d needed_attr=%d", d.own_attr_, d.needed_attr_);
    }
    return 0;
}

// --- houses ------------------------------------------------------------------

namespace {

// Reads one house level from the table at tab; level is its number from 0.
// A house holds one entry per goods and service type for all its levels, so
// each may be needed by one level only (the levels above it need it too).
RnHousLevelDesc readHouseLevel(lua_State* L, int tab, int level, const RnHousType& ht,
                               std::set<int16_t>& material_goods, std::set<int16_t>& level_goods,
                               std::set<int16_t>& level_services) {
    daxLuaCheckTable(L, tab, 4, 4);
    RnHousLevelDesc d;
    d.text_id_ = daxLuaGetTableInt(L, tab, 1, Tchk_gt0i());
    d.name_ = textOf(d.text_id_);
    const int people_max = daxLuaGetTableInt(L, tab, 2, Tchk_ge0s());
    // The people count of a house is a 10-bit field.
    if (people_max > kMaxHousePeople) {
        daxRaiseError("people_max %d of level %d out of range 0..%d", people_max, level, kMaxHousePeople);
    }
    d.people_max_ = static_cast<uint16_t>(people_max);
    // So are its worker and employed counts, of 8 bits each.
    const int workers = people_max * ht.percent_workers_ / 100;
    if (workers > kMaxHouseWorkers) {
        daxRaiseError("people_max %d of level %d with percent_workers %d gives %d workers, at most %d", people_max,
                      level, ht.percent_workers_, workers, kMaxHouseWorkers);
    }
    d.own_attr_ = static_cast<int16_t>(daxLuaGetTableInt(L, tab, 3, Tchk_range(-1000, 1000)));
    d.needed_attr_ = static_cast<int16_t>(daxLuaGetTableInt(L, tab, 4, Tchk_short()));
    d.image_ = daxLuaGetFieldString(L, tab, "image");
    d.floor_image_ = daxLuaGetFieldString(L, tab, "floor");
    requireImage(d.floor_image_);
    requireImage(d.image_);
    requireFit(d.floor_image_, ht.width_, ht.height_);

    std::set<int16_t> seen;
    for (int k = 0; k <= kMaxNeedKeys; ++k) {
        char key[16];
        std::snprintf(key, sizeof(key), "g%d", k);
        if (!pushField(L, tab, key)) break;
        if (level < 2) {
            daxRaiseError("must not have goods requirements for housing levels < 2");
        }
        const int need = requireTableOnTop(L);
        daxLuaCheckTable(L, need, 3, 3);
        const int id = daxLuaGetTableInt(L, need, 1, Tchk_gt0i());
        RnHousGoodsNeed g;
        g.good_type_idx_ = grn_game.goodsTypeIdx(id);
        g.cap_ = static_cast<uint16_t>(daxLuaGetTableInt(L, need, 2, Tchk_gt0s()));
        g.hours_ = static_cast<uint16_t>(daxLuaGetTableInt(L, need, 3, Tchk_gt0s()));
        if (!seen.insert(g.good_type_idx_).second) {
            daxRaiseError("duplicate goods type %d in level %u", id, static_cast<unsigned>(level));
        }
        if (!level_goods.insert(g.good_type_idx_).second) {
            daxRaiseError("goods type %d of level %u is needed by a lower level already", id,
                          static_cast<unsigned>(level));
        }
        d.goods_.push_back(g);
        lua_pop(L, 1);
    }
    seen.clear();
    for (int k = 0; k <= kMaxNeedKeys; ++k) {
        char key[16];
        std::snprintf(key, sizeof(key), "s%d", k);
        if (!pushField(L, tab, key)) break;
        if (level < 2) {
            daxRaiseError("must not have service requirements for housing levels < 2");
        }
        const int need = requireTableOnTop(L);
        daxLuaCheckTable(L, need, 2, 2);
        const int id = daxLuaGetTableInt(L, need, 1, Tchk_gt0i());
        RnHousServiceNeed s;
        s.service_type_idx_ = grn_game.servTypeIdx(id);
        const int hours = daxLuaGetTableInt(L, need, 2, Tchk_ge0s());
        if (hours == 0) {
            daxRaiseError("hours_until_needed_again must be greater zero!");
        }
        s.hours_ = static_cast<uint16_t>(hours);
        if (!seen.insert(s.service_type_idx_).second) {
            daxRaiseError("duplicate service type %d in level %u", id, static_cast<unsigned>(level));
        }
        if (!level_services.insert(s.service_type_idx_).second) {
            daxRaiseError("service type %d of level %u is needed by a lower level already", id,
                          static_cast<unsigned>(level));
        }
        d.services_.push_back(s);
        lua_pop(L, 1);
    }
    if (pushField(L, tab, "mat")) {
        const int mat = requireTableOnTop(L);
        daxLuaCheckTable(L, mat, 3, 3);
        const int id = daxLuaGetTableInt(L, mat, 1, Tchk_gt0i());
        d.material_.good_type_idx_ = grn_game.goodsTypeIdx(id);
        d.material_.amount_ = static_cast<uint16_t>(daxLuaGetTableInt(L, mat, 2, Tchk_gt0s()));
        d.material_.hours_ = static_cast<uint16_t>(daxLuaGetTableInt(L, mat, 3, Tchk_gt0s()));
        if (!material_goods.insert(d.material_.good_type_idx_).second) {
            daxRaiseError("duplicate goods type %d for hous type %s", id, ht.name_.c_str());
        }
        if (ht.ruin_image_.empty()) {
            daxRaiseError("missing name for ruine parameter for type %s", ht.name_.c_str());
        }
        lua_pop(L, 1);
    }
    return d;
}

}  // namespace

int rnLuaCreateHouseType(lua_State* L) {
    RnLuaStackGuard keep(L);
    daxLuaCheckArgCount(L, lua_gettop(L), 2);
    const int len = daxLuaCheckTable(L, 1, 7, -1);
    RnHousType ht;
    readTypeElements(L, ht);
    colourOf(L, 1, 6, ht.colour_);
    ht.deprecated_ = 0;
    ht.flat_ = static_cast<uint8_t>(daxLuaGetFieldIntOpt(L, 1, "flat", Tchk_bool(), 0));
    const char* ruine = daxLuaGetFieldStringOpt(L, 1, "ruine", nullptr);
    const int people_type = daxLuaGetFieldInt(L, 1, "people_type", Tchk_ge0i());
    Tchk_range percent(0, 100);
    ht.percent_workers_ = static_cast<int16_t>(daxLuaGetFieldInt(L, 1, "percent_workers", percent));
    ht.percent_workers_without_job1_ =
        static_cast<int16_t>(daxLuaGetFieldInt(L, 1, "percent_workers_without_job1", percent));
    ht.percent_workers_without_job2_ =
        static_cast<int16_t>(daxLuaGetFieldInt(L, 1, "percent_workers_without_job2", percent));
    ht.hours_people_immigrate_ = static_cast<int16_t>(daxLuaGetFieldInt(L, 1, "hours_people_immigrate", Tchk_ge0s()));
    ht.hours_people_leave_ = static_cast<int16_t>(daxLuaGetFieldInt(L, 1, "hours_people_leave", Tchk_ge0s()));
    ht.hours_level_up_ = static_cast<int16_t>(daxLuaGetFieldInt(L, 1, "hours_level_up", Tchk_ge0s()));
    ht.hours_level_down_ = static_cast<int16_t>(daxLuaGetFieldInt(L, 1, "hours_level_down", Tchk_ge0s()));
    ht.tax_percent_ = static_cast<int16_t>(daxLuaGetFieldIntOpt(L, 1, "tax_percent", Tchk_ge0s(), 100));
    ht.ppl_type_idx_ = grn_game.peoplTypeIdx(people_type);
    if (ruine) {
        requireImage(ruine);
        ht.ruin_image_ = ruine;
    }

    // A house's level is a 6-bit field.
    const int levels = len - 6;
    if (levels > kMaxHouseLevels) {
        daxRaiseError("house type %d has %d levels, can have at most %d", ht.type_id_, levels, kMaxHouseLevels);
    }
    std::set<int16_t> material_goods;
    std::set<int16_t> level_goods;
    std::set<int16_t> level_services;
    for (int e = 7; e <= len; ++e) {
        pushElement(L, 1, e);
        const int tab = requireTableOnTop(L);
        ht.level_descs_.push_back(readHouseLevel(L, tab, e - 7, ht, material_goods, level_goods, level_services));
        lua_pop(L, 1);
    }

    const int menu = readMenu(L);
    checkMenuFree(menu, ht.name_);
    const int16_t idx = grn_game.addHousType(ht);
    grn_build_menu.addButton(RnIdBldHous, menu, ht.type_id_, false);
    daxLogMessage(2, 1, "added house id=%d name='%s' at index %d - menu=%d", ht.type_id_, ht.name_.c_str(), idx, menu);
    daxLogMessage(2, 1, "    people_type_id=%d percent_workers=%d hours_immigr=%d, hours_leave=%d", people_type,
                  ht.percent_workers_, ht.hours_people_immigrate_, ht.hours_people_leave_);
    for (size_t i = 0; i < ht.level_descs_.size(); ++i) {
        const RnHousLevelDesc& d = ht.level_descs_[i];
        daxLogMessage(2, 1, "  level %d name='%s' bld='%s' flr='%s' people_max=%d own_attr=%d", static_cast<int>(i),
                      d.name_.c_str(), d.image_.c_str(), d.floor_image_.c_str(), d.people_max_, d.own_attr_);
        daxLogMessage(2, 1, "    needed_attr=%d", d.needed_attr_);
        for (const RnHousGoodsNeed& g : d.goods_) {
            daxLogMessage(2, 1, "    needs good=%d, cap=%d, next needed after %d hour(s)",
                          grn_game.goodsType(g.good_type_idx_).id_, g.cap_, g.hours_);
        }
        for (const RnHousServiceNeed& s : d.services_) {
            const RnServType& st = grn_game.servType(s.service_type_idx_);
            const RnWalkerServType& wt = grn_game.servWalkerType(st.walker_type_idx_);
            const int round = static_cast<int>(wt.distance_to_return_ * wt.hours_for_1tile_road_ * 2);
            daxLogMessage(2, 1, "    needs service=%d, needed again after %d hour(s), walker round in %d hour(s)",
                          st.type_id_, s.hours_, round);
        }
    }
    return 0;
}

// --- service, storage, market, builder, production, decoration -----------------

int rnLuaCreateServiceType(lua_State* L) {
    RnLuaStackGuard keep(L);
    RnServType t;
    readSimpleHead(L, t, SimpleKeys{0, true, true});
    const int walker_type = daxLuaGetFieldInt(L, 1, "walker_type", Tchk_ge0i());
    // The building counts its walkers out in 3 bits.
    t.req_num_serv_walkers_ = readWalkerCount(L, "num_walkers", kMaxServWalkers);
    t.hours_respawn_ = static_cast<uint16_t>(daxLuaGetFieldInt(L, 1, "hours_respawn", Tchk_ge0s()));
    t.in_capa_ = static_cast<uint16_t>(daxLuaGetFieldIntOpt(L, 1, "in_capa", Tchk_gt0s(), 0));
    t.tax_percent_ = static_cast<int16_t>(daxLuaGetFieldNumberOpt(L, 1, "tax_percent", Tchk_ge0s(), 0.0));
    checkSimpleImages(t, {&t.image_});
    t.walker_type_idx_ = grn_game.servWalkerTypeIdx(walker_type);
    readMaterial(L, t);
    readInputs(L, t.name_, t.needs_);
    readWorkers(L, t, t.worker_reqs_);
    if (!t.needs_.empty() && t.in_capa_ == 0) {
        daxRaiseError("input goods are required, but in_capa is 0");
    }

    const int menu = readMenu(L);
    checkMenuFree(menu, t.name_);
    const int16_t idx = grn_game.addServType(t);
    grn_build_menu.addButton(RnIdBldServ, menu, t.type_id_, t.deprecated_ != 0);
    daxLogMessage(2, 1, "added service id=%d name='%s' at index %d - menu=%d", t.type_id_, t.name_.c_str(), idx, menu);
    daxLogMessage(2, 1, "    walker type=%d, number=%d, respawn_time=%d", walker_type, t.req_num_serv_walkers_,
                  t.hours_respawn_);
    logInputs(t.needs_);
    logWorkers(t.worker_reqs_);
    logMaterial(t);
    return 0;
}

int rnLuaCreateStorageType(lua_State* L) {
    RnLuaStackGuard keep(L);
    RnStorType t;
    readSimpleHead(L, t, SimpleKeys{1, true, true});
    const int worker_type = daxLuaGetFieldInt(L, 1, "worker_type", Tchk_ge0i());
    t.num_workers_ = static_cast<uint16_t>(daxLuaGetFieldInt(L, 1, "num_workers", Tchk_gt0s()));
    t.worker_range_ = static_cast<uint16_t>(daxLuaGetFieldInt(L, 1, "worker_range", Tchk_gt0s()));
    t.capacity_ = static_cast<uint16_t>(daxLuaGetFieldInt(L, 1, "capacity", Tchk_gt0s()));
    // Both walker counters of a storage are 4 bits wide.
    t.num_prod_walkers_ = readWalkerCount(L, "num_prod_walkers", kMaxStorMrktWalkers);
    t.hours_respawn_prod_walker_ =
        static_cast<uint16_t>(daxLuaGetFieldInt(L, 1, "hours_respawn_prod_walker", Tchk_gt0s()));
    t.num_stor_walkers_ = readWalkerCount(L, "num_stor_walkers", kMaxStorMrktWalkers);
    t.hours_respawn_stor_walker_ =
        static_cast<uint16_t>(daxLuaGetFieldInt(L, 1, "hours_respawn_stor_walker", Tchk_gt0s()));
    checkSimpleImages(t, {&t.image_});
    t.worker_type_ = grn_game.peoplTypeIdx(worker_type);
    readMaterial(L, t);
    readGoodsClasses(L, t.goods_class_);

    const int menu = readMenu(L);
    checkMenuFree(menu, t.name_);
    const int16_t idx = grn_game.addStorType(t);
    grn_build_menu.addButton(RnIdBldStor, menu, t.type_id_, t.deprecated_ != 0);
    daxLogMessage(2, 1, "added storage id=%d name='%s' at index %d - menu=%d", t.type_id_, t.name_.c_str(), idx, menu);
    daxLogMessage(2, 1, "    workers type=%d num_req=%u range=%u", worker_type, t.num_workers_, t.worker_range_);
    daxLogMessage(2, 1, "    capacity=%d", t.capacity_);
    daxLogMessage(2, 1, "    num_prod_walkers=%d respawn_prod=%d", t.num_prod_walkers_, t.hours_respawn_prod_walker_);
    daxLogMessage(2, 1, "    num_stor_walkers=%d respawn_stor=%d", t.num_stor_walkers_, t.hours_respawn_stor_walker_);
    logMaterial(t);
    return 0;
}

int rnLuaCreateMarketType(lua_State* L) {
    RnLuaStackGuard keep(L);
    RnMrktType t;
    readSimpleHead(L, t, SimpleKeys{1, true, true});
    const int walker_type = daxLuaGetFieldInt(L, 1, "walker_type", Tchk_ge0i());
    // The market counts its walkers out in 4 bits.
    t.num_walkers_ = readWalkerCount(L, "num_walkers", kMaxStorMrktWalkers);
    t.hours_respawn_ = static_cast<uint16_t>(daxLuaGetFieldInt(L, 1, "hours_respawn", Tchk_ge0s()));
    const int worker_type = daxLuaGetFieldInt(L, 1, "worker_type", Tchk_ge0i());
    t.num_workers_ = static_cast<uint16_t>(daxLuaGetFieldInt(L, 1, "num_workers", Tchk_gt0s()));
    t.worker_range_ = static_cast<uint16_t>(daxLuaGetFieldInt(L, 1, "worker_range", Tchk_gt0s()));
    // A market's goods entry keeps its promised lots in 14 bits beside two
    // flags; the capacity bounds them.
    t.capacity_ = static_cast<uint16_t>(daxLuaGetFieldInt(L, 1, "capacity", Tchk_range(1, kMaxMrktCapacity)));
    checkSimpleImages(t, {&t.image_});
    t.walker_type_idx_ = grn_game.mrktWalkerTypeIdx(walker_type);
    t.worker_type_ = grn_game.peoplTypeIdx(worker_type);
    readMaterial(L, t);
    readGoodsClasses(L, t.goods_class_);

    const int menu = readMenu(L);
    checkMenuFree(menu, t.name_);
    const int16_t idx = grn_game.addMrktType(t);
    grn_build_menu.addButton(RnIdBldMrkt, menu, t.type_id_, t.deprecated_ != 0);
    daxLogMessage(2, 1, "added market id=%d name='%s' at index %d - menu=%d", t.type_id_, t.name_.c_str(), idx, menu);
    daxLogMessage(2, 1, "    workers type=%d num_req=%u range=%u", worker_type, t.num_workers_, t.worker_range_);
    for (int16_t c : t.goods_class_) {
        daxLogMessage(2, 1, "    goods class=%d '%s'", c, logText(c).c_str());
    }
    daxLogMessage(2, 1, "    walker type=%d, number=%d, respawn_time=%d", walker_type, t.num_walkers_,
                  t.hours_respawn_);
    logMaterial(t);
    return 0;
}

int rnLuaCreateBuilderType(lua_State* L) {
    RnLuaStackGuard keep(L);
    RnBldrType t;
    readSimpleHead(L, t, SimpleKeys{0, true, true});
    const int walker_type = daxLuaGetFieldInt(L, 1, "walker_type", Tchk_ge0i());
    // The builder counts its walkers out in 3 bits.
    t.req_num_bldr_walkers_ = readWalkerCount(L, "num_walkers", kMaxServWalkers);
    t.hours_respawn_ = static_cast<uint16_t>(daxLuaGetFieldInt(L, 1, "hours_respawn", Tchk_ge0s()));
    t.walker_range_ = static_cast<uint16_t>(daxLuaGetFieldInt(L, 1, "walker_range", Tchk_range(1, 99)));
    t.capacity_ = static_cast<uint16_t>(daxLuaGetFieldInt(L, 1, "capacity", Tchk_gt0s()));
    checkSimpleImages(t, {&t.image_});
    t.walker_type_idx_ = grn_game.bldrWalkerTypeIdx(walker_type);

    lua_pushstring(L, "distribute_material");
    lua_rawget(L, 1);
    if (!lua_istable(L, -1)) {
        daxRaiseError("material table missing");
    }
    const int tab = lua_gettop(L);
    const int len = daxLuaCheckTable(L, tab, 1, -1);
    std::vector<int16_t> distributed;
    for (int i = 1; i <= len; ++i) {
        const int id = daxLuaGetTableInt(L, tab, i, Tchk_gt0i());
        const int16_t g = grn_game.goodsTypeIdx(id);
        if (!t.goods_allowed_.insert(g).second) {
            daxRaiseError("duplicate material in table");
        }
        distributed.push_back(g);
    }
    lua_pop(L, 1);
    readWorkers(L, t, t.worker_reqs_);

    const int menu = readMenu(L);
    checkMenuFree(menu, t.name_);
    const int16_t idx = grn_game.addBldrType(t);
    grn_build_menu.addButton(RnIdBldBldr, menu, t.type_id_, t.deprecated_ != 0);
    daxLogMessage(2, 1, "added builder id=%d name='%s' at index %d - menu=%d", t.type_id_, t.name_.c_str(), idx, menu);
    logWorkers(t.worker_reqs_);
    daxLogMessage(2, 1, "    capacity=%d", t.capacity_);
    for (int16_t g : distributed) {
        const RnGoodsType& gt = grn_game.goodsType(g);
        daxLogMessage(2, 1, "    material type=%d name='%s'", gt.id_, gt.name_.c_str());
    }
    daxLogMessage(2, 1, "    goods walkers number=%d, respawn_time=%d", t.req_num_bldr_walkers_, t.hours_respawn_);
    return 0;
}

int rnLuaCreateProductionType(lua_State* L) {
    RnLuaStackGuard keep(L);
    RnProdType t;
    readSimpleHead(L, t, SimpleKeys{0, true, true});
    const char* roam = daxLuaGetFieldStringOpt(L, 1, "roam", nullptr);
    const int num_roam = daxLuaGetFieldIntOpt(L, 1, "num_roam", Tchk_range(0, 8), 0);
    t.num_walkers_ = static_cast<uint16_t>(daxLuaGetFieldInt(L, 1, "num_walkers", Tchk_range(1, 5)));
    t.hours_respawn_ = static_cast<uint16_t>(daxLuaGetFieldInt(L, 1, "hours_respawn", Tchk_ge0s()));
    t.out_capa_ = static_cast<uint16_t>(daxLuaGetFieldInt(L, 1, "out_capa", Tchk_gt0s()));
    t.in_capa_ = static_cast<uint16_t>(daxLuaGetFieldIntOpt(L, 1, "in_capa", Tchk_gt0s(), t.out_capa_));
    const int res_around = daxLuaGetFieldIntOpt(L, 1, "resource_around", Tchk_gt0s(), 0);
    const int res_under = daxLuaGetFieldIntOpt(L, 1, "resource_under", Tchk_gt0s(), 0);
    const int res_nextto = daxLuaGetFieldIntOpt(L, 1, "resource_nextto", Tchk_gt0s(), 0);
    checkSimpleImages(t, {&t.image_});
    readMaterial(L, t);
    readOutputs(L, t.name_, t.output_goods_);
    readInputs(L, t.name_, t.input_goods_);
    readWorkers(L, t, t.worker_reqs_);
    if (t.output_goods_.size() > 1 && !t.input_goods_.empty()) {
        daxRaiseError("prod has multiple output goods AND at least one input good, which is not allowed");
    }
    int res_id = 0;
    if (res_around > 0) {
        if (res_under > 0 || res_nextto > 0) {
            daxRaiseError("multiple resources specified");
        }
        const int min_radius = t.width_ > t.height_ ? t.width_ : t.height_;
        t.resource_radius_ = static_cast<uint16_t>(daxLuaGetFieldIntOpt(
            L, 1, "resource_radius", Tchk_range(min_radius, grn_config.prod_max_radius_), 0));
        t.resource_percent_ =
            static_cast<uint16_t>(daxLuaGetFieldIntOpt(L, 1, "resource_percent", Tchk_range(1, 100), 0));
        t.resource_bld_type_ = kRnResAroundBld;
        res_id = res_around;
        if (roam && num_roam > 0) {
            requireImage(roam);
            t.roam_image_ = roam;
            t.num_roaming_ = static_cast<uint16_t>(num_roam);
        }
    } else if (res_under > 0) {
        if (res_nextto > 0) {
            daxRaiseError("multiple resources specified");
        }
        t.resource_bld_type_ = kRnResUnderBld;
        res_id = res_under;
    } else if (res_nextto > 0) {
        t.resource_bld_type_ = kRnResNextToBld;
        res_id = res_nextto;
    }
    if (res_id > 0) t.resource_idx_ = grn_game.resourceIdx(res_id);

    const int menu = readMenu(L);
    checkMenuFree(menu, t.name_);
    const int16_t idx = grn_game.addProdType(t);
    grn_build_menu.addButton(RnIdBldProd, menu, t.type_id_, t.deprecated_ != 0);
    daxLogMessage(2, 1, "added production id=%d name='%s' at index %d - menu=%d", t.type_id_, t.name_.c_str(), idx,
                  menu);
    for (const RnGoodsOutput& o : t.output_goods_) {
        const RnGoodsType& g = grn_game.goodsType(o.good_type_idx_);
        daxLogMessage(2, 1, "  makes type=%d name='%s' amount=%d time=%d", g.id_, g.name_.c_str(), o.amount_, o.time_);
    }
    logInputs(t.input_goods_);
    logWorkers(t.worker_reqs_);
    logMaterial(t);
    daxLogMessage(2, 1, "    goods walkers number=%d, respawn_time=%d", t.num_walkers_, t.hours_respawn_);
    switch (t.resource_bld_type_) {
    case kRnResUnderBld:
        daxLogMessage(2, 1, "    resource %d (idx=%d) under building", res_id, t.resource_idx_);
        break;
    case kRnResNextToBld:
        daxLogMessage(2, 1, "    resource %d (idx=%d) next to building", res_id, t.resource_idx_);
        break;
    case kRnResAroundBld:
        daxLogMessage(2, 1, "    resource %d (idx=%d) around building, rad=%d, %d%%", res_id, t.resource_idx_,
                      t.resource_radius_, t.resource_percent_);
        break;
    default:
        break;
    }
    return 0;
}

int rnLuaCreateDekoType(lua_State* L) {
    RnLuaStackGuard keep(L);
    RnDecoType t;
    readSimpleHead(L, t, SimpleKeys{1, false, false});
    t.image_ = daxLuaGetFieldString(L, 1, "image_active");
    t.image_defunc_ = daxLuaGetFieldString(L, 1, "image_defunc");
    Tchk_range attr(-1000, 1000);
    t.own_attr_act_ = static_cast<int16_t>(daxLuaGetFieldInt(L, 1, "own_attr_act", attr));
    t.own_attr_def_ = static_cast<int16_t>(daxLuaGetFieldInt(L, 1, "own_attr_def", attr));
    t.in_capa_ = static_cast<uint16_t>(daxLuaGetFieldIntOpt(L, 1, "in_capa", Tchk_ge0s(), 0));
    t.hours_attr_ = static_cast<uint16_t>(daxLuaGetFieldIntOpt(L, 1, "hours_attr", Tchk_ge0s(), 0));
    const int service = daxLuaGetFieldIntOpt(L, 1, "service", Tchk_ge0i(), 0);
    checkSimpleImages(t, {&t.image_, &t.image_defunc_});
    t.service_type_idx_ = service > 0 ? grn_game.servTypeIdx(service) : static_cast<int16_t>(-1);
    readMaterial(L, t);
    readInputs(L, t.name_, t.goods_);
    if (!t.goods_.empty() && t.in_capa_ == 0) {
        daxRaiseError("input goods are required, but in_capa is 0");
    }
    if (!t.goods_.empty() && t.service_type_idx_ >= 0) {
        daxRaiseError("deco can either require goods or a service, but not both");
    }

    const int menu = readMenu(L);
    checkMenuFree(menu, t.name_);
    const int16_t idx = grn_game.addDecoType(t);
    grn_build_menu.addButton(RnIdBldDeco, menu, t.type_id_, t.deprecated_ != 0);
    daxLogMessage(2, 1, "added deko id=%d name='%s' at index %d - menu=%d", t.type_id_, t.name_.c_str(), idx, menu);
    logInputs(t.goods_);
    if (!t.goods_.empty()) {
        daxLogMessage(2, 1, "  consumes goods in %d hours, capa=%d", t.hours_attr_, t.in_capa_);
    }
    return 0;
}

// --- build menu and model properties -----------------------------------------

int rnLuaDefineMenuEntry(lua_State* L) {
    RnLuaStackGuard keep(L);
    daxLuaCheckArgCount(L, lua_gettop(L), 3);
    const int menu = daxLuaGetInt(L, 1, Tchk_range(RnBuildMenu::kFirstMenu, RnBuildMenu::kLastMenu));
    const std::string image = daxLuaGetString(L, 2);
    const int text = daxLuaGetInt(L, 3, Tchk_gt0i());
    grn_build_menu.setEntry(menu, image, text);
    return 0;
}

int rnLuaSetModelProperties(lua_State* L) {
    RnLuaStackGuard keep(L);
    daxLuaCheckArgCount(L, lua_gettop(L), 1);
    daxLuaCheckTable(L, 1, 0, 0);
    const int incr = daxLuaGetFieldInt(L, 1, "hours_incr_desirability", Tchk_gt0s());
    const int decr = daxLuaGetFieldInt(L, 1, "hours_decr_desirability", Tchk_gt0s());
    const int range = daxLuaGetFieldInt(L, 1, "map_range_desirability", Tchk_range(1, 15));
    const int prod_range = daxLuaGetFieldInt(L, 1, "prod_walker_range", Tchk_range(2, 128));
    const int stor_range = daxLuaGetFieldInt(L, 1, "storage_walker_range", Tchk_range(2, 256));
    const int stor_capa = daxLuaGetFieldInt(L, 1, "storage_walker_capacity", Tchk_range(2, 8));
    const int stor_speed = daxLuaGetFieldInt(L, 1, "storage_walker_speed", Tchk_range(20, 800));
    const int network = daxLuaGetFieldInt(L, 1, "storage_network_update_hours", Tchk_gt0s());
    const int res_eff = daxLuaGetFieldInt(L, 1, "resource_efficiency_update_hours", Tchk_gt0s());

    grn_game.hours_incr_desirability_ = incr;
    grn_game.hours_decr_desirability_ = decr;
    grn_game.map_range_desirability_ = static_cast<int16_t>(range);
    grn_game.prod_walker_range_ = static_cast<int16_t>(prod_range);
    grn_game.storage_walker_range_ = static_cast<int16_t>(stor_range);
    grn_game.storage_walker_capacity_ = static_cast<int16_t>(stor_capa);
    grn_game.storage_walker_speed_ = static_cast<int16_t>(stor_speed);
    grn_game.storage_network_update_hours_ = static_cast<int16_t>(network);
    grn_game.resource_efficiency_update_hours_ = static_cast<int16_t>(res_eff);
    rnSetModelPropertiesSet(true);
    daxLogMessage(2, 1, "attr_incr_hours=%d decr=%d range=%d", incr, decr, range);
    daxLogMessage(2, 1, "stor_walk_capa=%d stor_walk_speed=%d network_upd=%d hours", stor_capa, stor_speed, network);
    daxLogMessage(2, 1, "res_eff_upd=%d hours", res_eff);
    return 0;
}
