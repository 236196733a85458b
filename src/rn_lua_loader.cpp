// The data-script runners, the table of content functions and the four
// image functions that build multi-tile images: begin_mtile opens a
// temporary bitmap sized for a footprint, draw_ground and draw_house paint
// into it and store_mtile registers it in the bitmap registry.
#include "rn_lua_loader.h"

#include <algorithm>
#include <cstdint>
#include <string>

#include <allegro5/allegro.h>
#include <allegro5/allegro_primitives.h>

extern "C" {
#include <lua.h>
}

#include "dax2/dax_bitmap.h"
#include "dax2/dax_error.h"
#include "dax2/dax_lua_args.h"
#include "dax2/dax_lua_bitmap.h"
#include "dax2/dax_mptr.h"
#include "rn_build_menu.h"

const RnContentFunction kRnContentFunctions[kRnContentFunctionCount] = {
    {"begin_mtile", rnLuaBeginMtile},
    {"store_mtile", rnLuaStoreMtile},
    {"draw_ground", rnLuaDrawGround},
    {"draw_house", rnLuaDrawHouse},
    {"create_resource", rnLuaCreateResource},
    {"create_terrain", rnLuaCreateTerrain},
    {"create_people_type", rnLuaCreatePeopleType},
    {"create_goods_type", rnLuaCreateGoodsType},
    {"create_service_walker_type", rnLuaCreateServiceWalkerType},
    {"create_market_walker_type", rnLuaCreateMarketWalkerType},
    {"create_builder_walker_type", rnLuaCreateBuilderWalkerType},
    {"create_road_type", rnLuaCreateRoadType},
    {"create_house_type", rnLuaCreateHouseType},
    {"create_service_type", rnLuaCreateServiceType},
    {"create_storage_type", rnLuaCreateStorageType},
    {"create_market_type", rnLuaCreateMarketType},
    {"create_builder_type", rnLuaCreateBuilderType},
    {"create_production_type", rnLuaCreateProductionType},
    {"create_deko_type", rnLuaCreateDekoType},
    {"define_menu_entry", rnLuaDefineMenuEntry},
    {"set_model_properties", rnLuaSetModelProperties},
};

namespace {

// The open multi-tile. A plain pointer rather than an owning handle: a
// handle in static storage would destroy the bitmap after Allegro shut down.
struct OpenMtile {
    ALLEGRO_BITMAP* bitmap = nullptr;
    int w = 0;       // footprint width in tiles
    int h = 0;       // footprint height in tiles
    int height = 0;  // pixel height
};
OpenMtile g_mtile;

bool g_model_properties_set = false;

ALLEGRO_BITMAP* createMemoryBitmap(int w, int h) {
    DaxNewBitmapFlagsSaver saver;
    al_set_new_bitmap_flags(ALLEGRO_MEMORY_BITMAP);
    return al_create_bitmap(w, h);
}

// The tile size must be set before anything is sized from it.
void requireTileWidth() {
    if (dax_bitmaps.tileMode() == kDaxTileNone || dax_bitmaps.tileWidth() < 1) {
        daxRaiseError("tile width is not set");
    }
}

// Cuts the diamond of a w by h tile footprint out of a W by H bitmap: the
// corners outside it become transparent; with border, the pixels just inside
// the cut become opaque black. The four corner regions in this order: upper
// left, upper right, lower left, lower right.
void cutDiamond(ALLEGRO_BITMAP* bmp, int w, int h, int tw, int th, bool border) {
    const int W = al_get_bitmap_width(bmp);
    const int H = al_get_bitmap_height(bmp);
    const double q = static_cast<double>(W) / (H + 1);
    const ALLEGRO_COLOR clear = al_map_rgba(0, 0, 0, 0);
    const ALLEGRO_COLOR black = al_map_rgba(0, 0, 0, 255);
    DaxPixelWork work(bmp);
    auto apply = [&](int x, int y, double vf, int clear_below) {
        const int v = static_cast<int>(vf);
        if (v < clear_below) {
            al_put_pixel(x, y, clear);
        } else if (border && v < clear_below + 1) {
            al_put_pixel(x, y, black);
        }
    };
    const int top = (tw * h) / 2;      // x of the top corner
    const int bottom = (w * tw) / 2;   // x of the bottom corner
    const int left = (h * th) / 2;     // y of the left corner
    const int right = (w * th) / 2;    // y of the right corner
    for (int y = 0; y < std::min(left, H); ++y) {
        for (int x = 0; x < std::min(top, W); ++x) {
            apply(x, y, y * q + 0.5 + x, top - 2);
        }
    }
    for (int y = 0; y < std::min(right, H); ++y) {
        for (int x = std::max(top, 0); x < W; ++x) {
            apply(x, y, y * q + 0.5 + (W - x), W - top - 1);
        }
    }
    for (int y = std::max(left, 0); y < H; ++y) {
        for (int x = 0; x < std::min(bottom, W); ++x) {
            apply(x, y, (H + 1 - y) * q + 0.5 + x, bottom + 2);
        }
    }
    for (int y = std::max(right, 0); y < H; ++y) {
        for (int x = std::max(bottom, 0); x < W; ++x) {
            apply(x, y, (H + 1 - y) * q + 0.5 + (W - x), W - bottom + 3);
        }
    }
}

// A colour of integer channels 0..255.
struct Rgba {
    int r = 0, g = 0, b = 0, a = 255;
    ALLEGRO_COLOR colour() const {
        return al_map_rgba(static_cast<unsigned char>(r), static_cast<unsigned char>(g),
                           static_cast<unsigned char>(b), static_cast<unsigned char>(a));
    }
};

// r, g, b and alpha scaled by factor, truncated and clamped; alpha kept.
Rgba shade(const Rgba& c, double factor) {
    auto ch = [factor](int v) {
        int s = static_cast<int>(v * factor);
        return s < 0 ? 0 : (s > 255 ? 255 : s);
    };
    return Rgba{ch(c.r), ch(c.g), ch(c.b), c.a};
}

// Reads a colour table of min..max elements (r, g, b and an optional
// alpha, each 0..255) at the stack position.
Rgba readColour(lua_State* L, int table, int min, int max) {
    int len = daxLuaCheckTable(L, table, min, max);
    Tchk_range channel(0, 255);
    Rgba c;
    c.r = daxLuaGetTableInt(L, table, 1, channel);
    c.g = daxLuaGetTableInt(L, table, 2, channel);
    c.b = daxLuaGetTableInt(L, table, 3, channel);
    if (len >= 4) c.a = daxLuaGetTableInt(L, table, 4, channel);
    return c;
}

struct Pt {
    float x, y;
};

// Fills a polygon with its colour and outlines it in opaque black.
void polygon(std::initializer_list<Pt> pts, const Rgba& c) {
    float v[8];
    int n = 0;
    for (const Pt& p : pts) {
        v[2 * n] = p.x;
        v[2 * n + 1] = p.y;
        ++n;
    }
    al_draw_filled_polygon(v, n, c.colour());
    al_draw_polygon(v, n, ALLEGRO_LINE_JOIN_NONE, al_map_rgba(0, 0, 0, 255), n == 3 ? 1.0f : 1.1f, 1.0f);
}

// The fourth corner of the parallelogram p1, p2, p3.
Pt fourth(Pt p1, Pt p2, Pt p3) { return Pt{p1.x + p3.x - p2.x, p1.y + p3.y - p2.y}; }

void parallelogram(Pt p1, Pt p2, Pt p3, const Rgba& c) { polygon({p1, p2, p3, fourth(p1, p2, p3)}, c); }

Pt pt(int x, int y) { return Pt{static_cast<float>(x), static_cast<float>(y)}; }

}  // namespace

RnLuaStackGuard::RnLuaStackGuard(lua_State* L) : L_(L), top_(lua_gettop(L)) {}

RnLuaStackGuard::~RnLuaStackGuard() { lua_settop(L_, top_); }

bool rnMtileIsOpen() { return g_mtile.bitmap != nullptr; }

ALLEGRO_BITMAP* rnMtileBitmap() { return g_mtile.bitmap; }

void rnMtileDestroy() {
    if (g_mtile.bitmap) {
        al_destroy_bitmap(g_mtile.bitmap);
    }
    g_mtile = OpenMtile();
}

bool rnModelPropertiesSet() { return g_model_properties_set; }

void rnSetModelPropertiesSet(bool set) { g_model_properties_set = set; }

// --- runners ---------------------------------------------------------------

void rnOpenLuaState(DaxLua& lua, const char* purpose) {
    DaxLua* open = DaxLua::current();
    if (open != nullptr && open != &lua) {
        daxRaiseError("another Lua state is open, can't %s", purpose);
    }
    lua.init();
    if (!lua.isOpen()) {
        daxRaiseError("can't create a Lua state to %s", purpose);
    }
}

void RnLuaPreloader::init() { rnOpenLuaState(*this, "run a data script"); }

int RnLuaPreloader::run(const char* file) { return run_script(file, false); }

namespace {

// The open multi-tile is the open model loader's: a loader whose state is
// not the open one (while another is) leaves it alone.
bool ownsMtile(const DaxLua* loader) {
    const DaxLua* open = DaxLua::current();
    return open == nullptr || open == loader;
}

}  // namespace

RnLuaModelLoader::~RnLuaModelLoader() {
    if (ownsMtile(this)) rnMtileDestroy();
}

void RnLuaModelLoader::init() {
    // Opened first: a loader refused beside another state must not touch
    // that one's multi-tile, build menu or model properties.
    rnOpenLuaState(*this, "run the data model");
    rnMtileDestroy();
    g_model_properties_set = false;
    grn_build_menu.clear();
    registerTileFunctions();
    for (const RnContentFunction& f : kRnContentFunctions) {
        registerLoggedFunction(f.name_, f.fn_);
    }
}

int RnLuaModelLoader::run(const char* file) {
    if (!isOpen()) {
        daxLogMessage(1, 1, "data model loader is not initialised, can't run %s", file);
        return -1;
    }
    lua_newtable(L);
    lua_setglobal(L, "game");
    int rc = run_script(file, false);
    if (rc != 0 && rnMtileIsOpen()) {
        // A script that failed between begin_mtile and store_mtile must not
        // make every later begin_mtile fail.
        daxLogMessage(2, 1, "multi-tile left open by %s destroyed", file);
        rnMtileDestroy();
    }
    return rc;
}

void RnLuaModelLoader::close() {
    if (ownsMtile(this)) rnMtileDestroy();
    DaxLua::close();
}

// --- image functions -------------------------------------------------------

int rnLuaBeginMtile(lua_State* L) {
    if (rnMtileIsOpen()) {
        daxRaiseError("temporary bitmap is already in use");
    }
    daxLuaCheckArgCount(L, lua_gettop(L), 3);
    const int w = daxLuaGetInt(L, 1, Tchk_gt0s());
    const int h = daxLuaGetInt(L, 2, Tchk_gt0s());
    int height = daxLuaGetInt(L, 3, Tchk_ge0s());
    requireTileWidth();
    const int tw = dax_bitmaps.tileWidth();
    const int th = dax_bitmaps.tileHeight();

    daxCheckFootprint(w, h, 1);
    const int64_t min_height = static_cast<int64_t>(w + h) * (th / 2) - 1;
    const int64_t width = static_cast<int64_t>(w + h) * (tw / 2);
    daxCheckImageSize("temp bitmap", width, min_height);
    if (height == 0) {
        height = static_cast<int>(min_height);
    } else if (height < min_height) {
        daxRaiseError("height (%d) is too small, needs to be at least %d", height, static_cast<int>(min_height));
    }
    daxCheckImageSize("temp bitmap", width, height);
    ALLEGRO_BITMAP_mptr bmp(createMemoryBitmap(static_cast<int>(width), height));
    if (!bmp) {
        daxRaiseError("can't create temp bitmap");
    }
    {
        DaxDrawInto draw(bmp.get(), true);
        al_clear_to_color(al_map_rgba(0, 0, 0, 0));
    }
    g_mtile.bitmap = bmp.detach();
    g_mtile.w = w;
    g_mtile.h = h;
    g_mtile.height = height;
    daxLogMessage(2, 1, "begin mtile %d,%d w=%d h=%d", w, h, static_cast<int>(width), height);
    return 0;
}

int rnLuaDrawGround(lua_State* L) {
    if (!rnMtileIsOpen()) {
        daxRaiseError("no temp bitmap to draw on");
    }
    daxLuaCheckArgCount(L, lua_gettop(L), 2);
    const Rgba c = readColour(L, 1, 3, 3);
    const bool border = daxLuaGetInt(L, 2, Tchk_bool()) != 0;
    requireTileWidth();
    const int tw = dax_bitmaps.tileWidth();
    const int th = dax_bitmaps.tileHeight();
    const int w = g_mtile.w;
    const int h = g_mtile.h;

    const int64_t gw = static_cast<int64_t>(w + h) * (tw / 2);
    const int64_t gh = static_cast<int64_t>(w + h) * (th / 2) - 1;
    daxCheckImageSize("ground bitmap", gw, gh);
    ALLEGRO_BITMAP_mptr ground(createMemoryBitmap(static_cast<int>(gw), static_cast<int>(gh)));
    if (!ground) {
        daxRaiseError("can't create bitmap");
    }
    {
        DaxDrawInto draw(ground.get(), true);
        al_clear_to_color(c.colour());
    }
    cutDiamond(ground.get(), w, h, tw, th, border);
    {
        DaxDrawInto draw(g_mtile.bitmap, false);
        al_draw_bitmap(ground.get(), 0, static_cast<float>(al_get_bitmap_height(g_mtile.bitmap) - gh), 0);
    }
    daxLogMessage(2, 1, "drawed ground tile color=%d,%d,%d to temp bitmap", c.r, c.g, c.b);
    return 0;
}

int rnLuaDrawHouse(lua_State* L) {
    if (!rnMtileIsOpen()) {
        daxRaiseError("no temp bitmap to draw on");
    }
    const int argc = daxLuaCheckArgRange(L, lua_gettop(L), 5, 6);
    const int u = daxLuaGetInt(L, 4, Tchk_ge0s());
    const int v = daxLuaGetInt(L, 5, Tchk_ge0s());
    const int z = argc == 6 ? daxLuaGetInt(L, 6, Tchk_ge0s()) : 0;

    daxLuaCheckTable(L, 1, 3, 3);
    const int a1 = daxLuaGetTableInt(L, 1, 1, Tchk_gt0s());
    const int a2 = daxLuaGetTableInt(L, 1, 2, Tchk_gt0s());
    const int a3 = daxLuaGetTableInt(L, 1, 3, Tchk_gt0s());
    const int gt = daxLuaGetFieldInt(L, 1, "g", Tchk_ge0s());
    const int hg = daxLuaGetFieldIntOpt(L, 1, "hg", Tchk_range(0, 20), 0);
    const Rgba wall = readColour(L, 2, 3, 4);

    const int tw = dax_bitmaps.tileWidth();
    const int th = dax_bitmaps.tileHeight();
    if (tw < 1) {
        daxRaiseError("tile width is not set");
    }
    const double s = static_cast<double>(th) / tw;
    const int G = static_cast<int>(a1 * s);
    const int K = static_cast<int>(a2 * s);
    const int M = a3 + a1 + a2;
    const int J = a1 + a2;
    const int yl = J - G;
    const int yr = J - K;
    int L_ = -1, m = -1, f = -1;
    int E = a3;
    switch (gt) {
    case 0:
        E = -1;
        break;
    case 1:
        L_ = a1 / 2;
        E = a3 + G + G / 2 + hg;
        break;
    case 2:
        L_ = a1 + a2 / 2;
        E = a3 + K + K / 2 + hg;
        break;
    case 3:
        if (a1 < a2) {
            L_ = a1;
            m = a2;
            f = a3 + K + G + hg;
            E = a3 + hg + 2 * G;
        } else if (a1 == a2) {
            L_ = a1;
            E = a3 + hg + 2 * G;
        } else {
            L_ = a2;
            m = a1;
            f = a3 + hg + 2 * K;
            E = a3 + K + G + hg;
        }
        break;
    default:
        daxRaiseError("invalid value for gt: %d", gt);
    }
    const int ya = M - E;
    const int yf = M - f;
    const Rgba roof = readColour(L, 3, 3, 3);

    // A house larger than the multi-tile it is drawn on could never be seen
    // whole; the bound keeps script values from asking for gigabytes.
    const int Wt = al_get_bitmap_width(g_mtile.bitmap);
    const int Ht = al_get_bitmap_height(g_mtile.bitmap);
    if (static_cast<int64_t>(J) + 1 > Wt || static_cast<int64_t>(M) + 1 > Ht) {
        daxRaiseError("house of %lldx%lld pixels is larger than the %dx%d multi-tile it is drawn on",
                      static_cast<long long>(J) + 1, static_cast<long long>(M) + 1, Wt, Ht);
    }
    if (!al_is_primitives_addon_initialized() && !al_init_primitives_addon()) {
        daxRaiseError("can't draw house: primitives addon not available");
    }
    ALLEGRO_BITMAP_mptr house(createMemoryBitmap(J + 1, M + 1));
    if (!house) {
        daxRaiseError("can't create bitmap");
    }
    {
        // Walls, gables and roof replace what lies below them, outlines too.
        DaxDrawInto draw(house.get(), true);
        al_clear_to_color(al_map_rgba(0, 0, 0, 0));
        const Rgba wall_light = shade(wall, 1.1);
        const Rgba wall_dark = shade(wall, 0.9);
        const Rgba roof_light = shade(roof, 1.1);
        const Rgba roof_dark = shade(roof, 0.9);
        parallelogram(pt(a1, M), pt(a1, J), pt(0, yl), wall_light);
        parallelogram(pt(J, yr), pt(a1, J), pt(a1, M), wall_dark);
        if (gt == 1) {
            polygon({pt(0, yl), pt(a1, J), pt(L_, ya)}, wall_light);
        } else if (gt == 2) {
            polygon({pt(a1, J), pt(J, yr), pt(L_, ya)}, wall_dark);
        }
        switch (gt) {
        case 0:
            parallelogram(pt(0, yl), pt(a1, J), pt(J, yr), roof);
            break;
        case 1:
            parallelogram(pt(L_, ya), pt(a1, J), pt(J, yr), roof_dark);
            break;
        case 2:
            parallelogram(pt(0, yl), pt(a1, J), pt(L_, ya), roof_light);
            break;
        default:
            if (a1 < a2) {
                polygon({pt(0, yl), pt(a1, J), pt(L_, ya)}, roof_light);
                polygon({pt(L_, ya), pt(a1, J), pt(J, yr), pt(m, yf)}, roof_dark);
            } else if (a1 == a2) {
                polygon({pt(0, yl), pt(a1, J), pt(L_, ya)}, roof_light);
                polygon({pt(L_, ya), pt(a1, J), pt(J, yr)}, roof_dark);
            } else {
                polygon({pt(0, yl), pt(a1, J), pt(m, yf), pt(L_, ya)}, roof_light);
                polygon({pt(m, yf), pt(a1, J), pt(J, yr)}, roof_dark);
            }
            break;
        }
    }
    const int x = u + v;
    const int y = Ht - Wt / 4 + G - (v - u) / 2 - M - z;
    {
        DaxDrawInto draw(g_mtile.bitmap, false);
        al_draw_bitmap(house.get(), static_cast<float>(x), static_cast<float>(y), 0);
    }
    return 0;
}

int rnLuaStoreMtile(lua_State* L) {
    if (!rnMtileIsOpen()) {
        daxRaiseError("no temp bitmap to store");
    }
    daxLuaCheckArgCount(L, lua_gettop(L), 1);
    daxLuaCheckTable(L, 1, 1, 1);
    const std::string name = daxLuaGetTableString(L, 1, 1);
    const int var = daxLuaGetFieldIntOpt(L, 1, "var", Tchk_short(), 1);
    const int tw = dax_bitmaps.tileWidth();
    const int width = al_get_bitmap_width(g_mtile.bitmap);
    const int height = al_get_bitmap_height(g_mtile.bitmap);
    DaxBitmapIndex id =
        dax_bitmaps.add(DaxBitmapKey(name, var, 0), g_mtile.bitmap, (tw / 2) * g_mtile.w, height + 1, true, -1);
    if (id < 0) {
        daxRaiseError("error loading subbitmap %s,%d from current file size=%d,%d", name.c_str(), var, width,
                      height);
    }
    daxLogMessage(2, 1, "loaded %dx%d mtile %s,%d from current file size=%d,%d at index=%d", g_mtile.w, g_mtile.h,
                  name.c_str(), var, width, height, id / 2);
    rnMtileDestroy();
    return 0;
}
