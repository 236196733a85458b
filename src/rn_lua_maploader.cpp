// The map-script runner and its functions load_map, set_game_properties and
// set_trigger.
#include "rn_lua_maploader.h"

#include <cmath>
#include <map>
#include <string>

#include <allegro5/allegro.h>

extern "C" {
#include <lua.h>
}

#include "dax2/dax_bitmap.h"
#include "dax2/dax_error.h"
#include "dax2/dax_file.h"
#include "dax2/dax_lua_args.h"
#include "dax2/dax_mptr.h"
#include "dax2/dax_msg.h"
#include "rn_game.h"
#include "rn_lua_loader.h"
#include "rn_map.h"
#include "rn_trigger.h"
#include "rn_types.h"

namespace {

// Set while a map script runs only to describe its map (the new-game list).
bool g_list_only = false;
// The caller's record of the running map script; may be null.
RnMapImageInfo* gsp_map_info = nullptr;

// A colour of the map image, ordered by red, green, blue, then alpha.
struct MapColour {
    float r, g, b, a;
};
struct MapColourLess {
    bool operator()(const MapColour& x, const MapColour& y) const {
        if (x.r != y.r) return x.r < y.r;
        if (x.g != y.g) return x.g < y.g;
        if (x.b != y.b) return x.b < y.b;
        return x.a < y.a;
    }
};
using ColourMap = std::map<MapColour, int16_t, MapColourLess>;

// A channel 0..1 as the 0..255 value it was made from (truncated).
int channel255(float c) { return static_cast<int>(c * 255.0f); }

// The colour table (argument 2): terrain id and colour per element; a colour
// given twice is refused even for the same terrain.
void readColourMap(lua_State* L, ColourMap& colours) {
    int n = daxLuaCheckTable(L, 2, 1, -1);
    for (int i = 1; i <= n; ++i) {
        lua_rawgeti(L, 2, i);
        int row = lua_gettop(L);
        daxLuaCheckTable(L, row, 2, 2);
        int32_t terrain_id = daxLuaGetTableInt(L, row, 1, Tchk_gt0i());
        ALLEGRO_COLOR c = daxLuaGetColor(L, row, 2);
        lua_pop(L, 1);
        int16_t terrain_idx = grn_game.terrainIdx(terrain_id);
        MapColour key{c.r, c.g, c.b, c.a};
        auto found = colours.find(key);
        if (found != colours.end()) {
            daxRaiseError("color %03d,%03d,%03d is already assigned to terrain idx=%d", channel255(c.r),
                          channel255(c.g), channel255(c.b), found->second);
        }
        colours.emplace(key, terrain_idx);
        daxLogMessage(2, 1, "set color map: color=%03d,%03d,%03d to terrain idx=%d id=%d", channel255(c.r),
                      channel255(c.g), channel255(c.b), terrain_idx, terrain_id);
    }
}

// The terrain of one pixel: exact colours with tolerance 0, else the nearest
// colour by summed channel difference (the first in colour order on ties).
int16_t terrainOfPixel(const ColourMap& colours, ALLEGRO_COLOR px, int tolerance, int x, int y) {
    float best = 999.0f;
    int16_t terrain = -1;
    if (tolerance == 0) {
        for (const auto& entry : colours) {
            if (entry.first.r == px.r && entry.first.g == px.g && entry.first.b == px.b) {
                best = 0.0f;
                terrain = entry.second;
                break;
            }
        }
    } else {
        for (const auto& entry : colours) {
            float d = std::abs(entry.first.r - px.r) + std::abs(entry.first.g - px.g) +
                      std::abs(entry.first.b - px.b);
            if (d < best) {
                best = d;
                terrain = entry.second;
            }
        }
    }
    if (static_cast<float>(tolerance) < best) {
        daxRaiseError("map color %03d,%03d,%03d at %d,%d not found in color map, col_dist=%.1f",
                      channel255(px.r), channel255(px.g), channel255(px.b), x, y, static_cast<double>(best));
    }
    return terrain;
}

// load_map (image name, colour table, name text number, options).
int luaLoadMap(lua_State* L) {
    daxLuaCheckArgCount(L, lua_gettop(L), 4);
    const char* name = daxLuaGetString(L, 1);
    int text_id = daxLuaGetInt(L, 3, Tchk_gt0s());
    if (gsp_map_info && dax_strings.hasString(text_id)) gsp_map_info->text_id_ = text_id;

    // A name found nowhere keeps its relative path, so the load below fails
    // with the map's own message.
    std::string path = std::string("maps/") + name;
    std::string found;
    if (daxSearchFile(path, &found)) path = found;
    ALLEGRO_BITMAP_mptr image;
    {
        int flags = al_get_new_bitmap_flags();
        al_set_new_bitmap_flags(ALLEGRO_MEMORY_BITMAP);
        image.reset(al_load_bitmap(path.c_str()));
        al_set_new_bitmap_flags(flags);
    }
    if (!image) daxRaiseError("can't load map image from %s", path.c_str());
    const int img_w = al_get_bitmap_width(image.get());
    const int img_h = al_get_bitmap_height(image.get());
    // No map is larger, and within this the region fits the 16-bit fields
    // of the map information.
    if (img_w > RnMap::kMaxSide || img_h > RnMap::kMaxSide) {
        daxRaiseError("map image %s is %dx%d pixels, larger than the largest map side %d", path.c_str(), img_w,
                      img_h, RnMap::kMaxSide);
    }

    // The region's bounds depend on x and y, so they are read first.
    daxLuaCheckTable(L, 4, 0, 0);
    int tolerance = daxLuaGetFieldInt(L, 4, "tolerance", Tchk_ge0s());
    int x = daxLuaGetFieldIntOpt(L, 4, "x", Tchk_range(0, img_w - 2), 0);
    int y = daxLuaGetFieldIntOpt(L, 4, "y", Tchk_range(0, img_h - 2), 0);
    int w = daxLuaGetFieldIntOpt(L, 4, "w", Tchk_range(1, img_w - x), img_w - x);
    int h = daxLuaGetFieldIntOpt(L, 4, "h", Tchk_range(1, img_h - y), img_h - y);
    // The new-game list shows only maps that can be played.
    if (w != h) daxRaiseError("map image is not square: w=%d h=%d", w, h);

    if (g_list_only) {
        DAX_ASSERT_AT(gsp_map_info, "src\\rn_lua_maploader", __LINE__);
        gsp_map_info->x_ = static_cast<int16_t>(x);
        gsp_map_info->y_ = static_cast<int16_t>(y);
        gsp_map_info->w_ = static_cast<int16_t>(w);
        gsp_map_info->h_ = static_cast<int16_t>(h);
        gsp_map_info->path_ = path;
        return 0;
    }

    ColourMap colours;
    readColourMap(L, colours);

    grn_map.createEmpty(static_cast<unsigned>(w));
    grn_game.clearTerrainOnMapMarks();
    if (gsp_map_info) {
        gsp_map_info->x_ = static_cast<int16_t>(x);
        gsp_map_info->y_ = static_cast<int16_t>(y);
        gsp_map_info->w_ = static_cast<int16_t>(w);
        gsp_map_info->h_ = static_cast<int16_t>(h);
        gsp_map_info->path_ = path;
    }

    // A locked memory bitmap reads its pixels without a round trip per call.
    al_lock_bitmap(image.get(), ALLEGRO_PIXEL_FORMAT_ANY, ALLEGRO_LOCK_READONLY);
    try {
        for (int i = 0; i < w; ++i) {
            for (int j = 0; j < h; ++j) {
                ALLEGRO_COLOR px = al_get_pixel(image.get(), x + i, y + j);
                int16_t terrain_idx = terrainOfPixel(colours, px, tolerance, x + i, y + j);
                RnTerrain& terrain = grn_game.terrain(terrain_idx);
                RnMapTile& tile = grn_map.tile(i, j);
                tile.terrain_idx_ = terrain_idx;
                tile.flags_ = static_cast<uint16_t>((tile.flags_ & ~0x07u) | (terrain.flags_ & 0x07));
                tile.gnd_bmp_idx_ = dax_bitmaps.randomVariant(terrain.floor_name_);
                if (!terrain.image_name_.empty() && dax_bitmaps.variantCount(terrain.image_name_) > 0) {
                    tile.second_bmp_idx_ = dax_bitmaps.randomVariant(terrain.image_name_);
                }
                terrain.flags_ = static_cast<int16_t>(terrain.flags_ | kRnTerrainOnMap);
            }
        }
    } catch (...) {
        al_unlock_bitmap(image.get());
        throw;
    }
    al_unlock_bitmap(image.get());
    daxLogMessage(2, 1, "load map from image file %s", path.c_str());
    return 0;
}

// set_game_properties {initial_cash = n, disable_unused_prod = 0|1}.
int luaSetGameProperties(lua_State* L) {
    daxLuaCheckArgCount(L, lua_gettop(L), 1);
    daxLuaCheckTable(L, 1, 0, 0);
    int cash = daxLuaGetFieldInt(L, 1, "initial_cash", Tchk_gt0i());
    int disable = daxLuaGetFieldIntOpt(L, 1, "disable_unused_prod", Tchk_bool(), 0);
    if (g_list_only) return 0;
    grn_game.money_ = cash;
    grn_game.disable_unused_prod_ = disable != 0;
    daxLogMessage(2, 1, "initial_cash=%d", cash);
    return 0;
}

// set_trigger (script file, function, period hours 1..168, first after hours).
int luaSetTrigger(lua_State* L) {
    daxLuaCheckArgCount(L, lua_gettop(L), 4);
    std::string script = daxLuaGetString(L, 1);
    std::string function = daxLuaGetString(L, 2);
    int period = daxLuaGetInt(L, 3, Tchk_range(1, kRnTriggerMaxPeriodHours));
    int first = daxLuaGetInt(L, 4, Tchk_gt0s());
    if (g_list_only) return 0;
    daxLogMessage(2, 16, "set trigger: %s in %s every %d game hours, first after %d hours", function.c_str(),
                  script.c_str(), period, first);
    // The trigger's state treats a missing script as empty, so say so now,
    // while the map loads, rather than leave a trigger that silently does
    // nothing. Its runner looks the file up as every script run does: as
    // given, else on the search path.
    if (!daxFileExists(script.c_str()) && !daxSearchFile(script)) {
        daxLogMessage(1, 1, "warning: trigger script %s not found, trigger %s will not run", script.c_str(),
                      function.c_str());
    }
    grn_game.setTrigger(script, function, static_cast<uint32_t>(period), static_cast<uint32_t>(first));
    return 0;
}

}  // namespace

void RnLuaMapLoader::init() {
    rnOpenLuaState(*this, "run a map script");
    registerLoggedFunction("load_map", luaLoadMap);
    registerLoggedFunction("set_game_properties", luaSetGameProperties);
    registerLoggedFunction("set_trigger", luaSetTrigger);
}

int RnLuaMapLoader::run(const char* file_name, RnMapImageInfo* info) {
    g_list_only = false;
    gsp_map_info = info;
    int rc = run_script(file_name, false);
    // The caller's record may go before the next run.
    gsp_map_info = nullptr;
    return rc;
}

int RnLuaMapLoader::runForInfo(const char* file_name, RnMapImageInfo* info) {
    g_list_only = true;
    gsp_map_info = info;
    int rc = run_script(file_name, false);
    gsp_map_info = nullptr;
    return rc;
}
