// The map runner's load_map with small images made from the input (any
// size up to a little past the largest map side, colours of the terrains or
// others) and options the input chooses, in the playing mode and in the
// new-game list mode. A loaded map has the region's side and a terrain on
// each tile; the list mode keeps only square regions that fit its fields,
// and a call it refuses leaves the map information record untouched.
#include <allegro5/allegro.h>

#include <string>
#include <vector>

extern "C" {
#include <lua.h>
}

#include "dax2/dax_bitmap.h"
#include "dax2/dax_ini.h"
#include "dax2/dax_msg.h"
#include "fuzz_support.h"
#include "rn_game.h"
#include "rn_lua_maploader.h"
#include "rn_map.h"
#include "support/bitmaps.h"
#include "support/dax_probe.h"

namespace {

struct Colour {
    unsigned char r, g, b;
};
// Grass, water and forest (terrain ids 11, 12, 13), then colours of no
// terrain.
const Colour kColours[] = {{0, 160, 0}, {0, 0, 200}, {0, 90, 20}, {255, 255, 255}, {0, 161, 0}};

FuzzInput* g_in = nullptr;
int g_x = 0, g_y = 0, g_w = 0, g_h = 0;  // the options given, -1 when left out

void pushOption(lua_State* L, const char* key, int& out, int lo, int hi) {
    out = -1;
    if (g_in->byte() % 4 == 0) return;
    out = static_cast<int>(g_in->range(lo, hi));
    lua_pushstring(L, key);
    lua_pushinteger(L, out);
    lua_rawset(L, -3);
}

// fuzz_args(): the arguments of load_map, from the input.
int luaFuzzArgs(lua_State* L) {
    FuzzInput& in = *g_in;
    lua_pushstring(L, in.byte() % 16 == 0 ? "missing.png" : "m.png");
    // The colour table: the three terrains, sometimes changed.
    lua_newtable(L);
    const int rows = static_cast<int>(in.range(0, 4));
    for (int i = 1; i <= rows; ++i) {
        lua_newtable(L);
        lua_pushinteger(L, in.byte() % 8 == 0 ? static_cast<int>(in.range(0, 14)) : 10 + i);
        lua_rawseti(L, -2, 1);
        const Colour& c = kColours[(i - 1 + (in.byte() % 8 == 0 ? 1 : 0)) % 5];
        lua_newtable(L);
        const int channels[3] = {c.r, c.g, c.b};
        for (int k = 0; k < 3; ++k) {
            lua_pushinteger(L, channels[k]);
            lua_rawseti(L, -2, k + 1);
        }
        lua_rawseti(L, -2, 2);
        lua_rawseti(L, -2, i);
    }
    lua_pushinteger(L, in.byte() % 8 == 0 ? 0 : 5000);
    lua_newtable(L);
    if (in.byte() % 8 != 0) {
        lua_pushstring(L, "tolerance");
        lua_pushinteger(L, static_cast<int>(in.range(0, 3)));
        lua_rawset(L, -3);
    }
    pushOption(L, "x", g_x, -1, 45);
    pushOption(L, "y", g_y, -1, 45);
    pushOption(L, "w", g_w, 0, 45);
    pushOption(L, "h", g_h, 0, 45);
    return 4;
}

void setUpWorld() {
    grn_game.clear();
    for (const char* floor : {"grass_floor", "water_floor", "forest_floor"}) {
        registerMemoryBitmap(DaxBitmapKey(floor, 1, 0), 4, 4, 2, 5);
    }
    const float c[4] = {0, 0, 0, 1};
    grn_game.addTerrain(RnTerrain("grass", 11, "grass_floor", "", c, 0, true, true, true, true));
    grn_game.addTerrain(RnTerrain("water", 12, "water_floor", "", c, 0, false, false, false, true));
    grn_game.addTerrain(RnTerrain("forest", 13, "forest_floor", "", c, 0, true, true, false, false));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzInitFramework();
    static bool once = false;
    if (!once) {
        once = true;
        dax_config.search_path_ = {fuzzTempDir()};
        dax_strings.addString(5000, "Fuzz Valley", false);
        fuzzWriteFile("maps/t.lua", "ok, err = pcall(function() load_map(fuzz_args()) end)\n");
    }
    setUpWorld();
    FuzzInput in(data, size);
    g_in = &in;
    // The image: mostly small, sometimes a side past the largest map.
    int w = static_cast<int>(in.range(1, 40));
    int h = static_cast<int>(in.range(1, 40));
    if (in.byte() % 32 == 0) (in.flag() ? w : h) = RnMap::kMaxSide + static_cast<int>(in.range(-1, 1));
    std::vector<uint8_t> pixels(static_cast<size_t>(w) * h);
    for (uint8_t& p : pixels) p = static_cast<uint8_t>(in.byte() % 5);
    const std::string path = fuzzTempDir() + "maps/m.png";
    FUZZ_CHECK(zorSaveImage(path, w, h, [&](int x, int y) {
                   const Colour& c = kColours[pixels[static_cast<size_t>(y) * w + x]];
                   return al_map_rgb(c.r, c.g, c.b);
               }),
               "cannot write the map image");

    const bool list_only = in.flag();
    RnMapImageInfo info;
    RnLuaMapLoader loader;
    loader.init();
    lua_register(loader.state(), "fuzz_args", luaFuzzArgs);
    const std::string script = fuzzTempDir() + "maps/t.lua";
    const int rc = list_only ? loader.runForInfo(script.c_str(), &info) : loader.run(script.c_str(), &info);
    FUZZ_CHECK(rc == 0, "the map script itself failed");
    lua_getglobal(loader.state(), "ok");
    const bool ok = lua_toboolean(loader.state(), -1) != 0;
    lua_pop(loader.state(), 1);
    loader.close();

    if (!ok) {
        // The playing mode fills the record before it lays the tiles, which
        // may still fail on a colour; the loading stops there in any case.
        FUZZ_CHECK(!list_only || (info.w_ == 0 && info.h_ == 0 && info.path_.empty()),
                   "a refused map changed the map information");
    } else {
        FUZZ_CHECK(w <= RnMap::kMaxSide && h <= RnMap::kMaxSide, "an image larger than any map was taken");
        FUZZ_CHECK(info.w_ > 0 && info.w_ == info.h_, "the map information holds a region that is not square");
        FUZZ_CHECK(info.x_ >= 0 && info.y_ >= 0 && info.x_ + info.w_ <= w && info.y_ + info.h_ <= h,
                   "the region lies outside the image");
        FUZZ_CHECK((g_x < 0 || info.x_ == g_x) && (g_y < 0 || info.y_ == g_y) && (g_w < 0 || info.w_ == g_w),
                   "the region differs from the options");
        if (!list_only) {
            FUZZ_CHECK(grn_map.size() == info.w_, "the map side differs from the region");
            for (int i = 0; i < info.w_; ++i) {
                for (int j = 0; j < info.h_; ++j) {
                    const int16_t terrain = grn_map.tile(i, j).terrain_idx_;
                    FUZZ_CHECK(terrain >= 0 && terrain < 3, "a tile without a terrain");
                }
            }
        } else {
            FUZZ_CHECK(grn_map.size() == 0, "the list mode made a map");
        }
    }
    grn_map.clear();
    g_in = nullptr;
    fuzzForgetLog();
    return 0;
}
