// Shared by the map-script and trigger tests: a temporary resource folder on
// the search path, map images made at test time, three terrains with floor
// images, and running a map script whose error (if any) comes back as text.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include <allegro5/allegro.h>

extern "C" {
#include <lua.h>
}

#include "dax2/dax_bitmap.h"
#include "dax2/dax_ini.h"
#include "dax2/dax_lua.h"
#include "rn_lua_maploader.h"
#include "rn_trigger.h"
#include "support/dax_probe.h"
#include "support/temp_dir.h"
#include "support/text_checks.h"
#include "test_game_fixture.h"

namespace worldtest {

// The terrain ids and colours of ScriptWorldTest.
enum : int32_t { kGrassId = 11, kWaterId = 12, kForestId = 13 };

// The text of the global err of a Lua state, "" when it is not a string.
inline std::string luaGlobalString(lua_State* L, const char* name) {
    lua_getglobal(L, name);
    std::string s = lua_isstring(L, -1) ? lua_tostring(L, -1) : "";
    lua_pop(L, 1);
    return s;
}

class ScriptWorldTest : public WorldTest {
protected:
    void SetUp() override {
        WorldTest::SetUp();
        saved_search_ = dax_config.search_path_;
        dax_config.search_path_ = {tmp_.path()};
        addTerrains();
        grn_trigger.reset();
    }
    void TearDown() override {
        grn_trigger.reset();
        dax_config.search_path_ = saved_search_;
        daxSetErrorLine(0);
        daxSetErrorFunction("");
        WorldTest::TearDown();
    }

    // Grass (all allowed, floor with two variants), water (nothing allowed),
    // forest (walkable and roads, with a tree image over its floor).
    void addTerrains() {
        addBitmap("grass_floor", 1);
        addBitmap("grass_floor", 2);
        addBitmap("water_floor", 1);
        addBitmap("forest_floor", 1);
        addBitmap("tree", 1);
        const float c[4] = {0, 0, 0, 1};
        grn_game.addTerrain(RnTerrain("grass", kGrassId, "grass_floor", "", c, 0, true, true, true, true));
        grn_game.addTerrain(RnTerrain("water", kWaterId, "water_floor", "", c, 0, false, false, false, true));
        grn_game.addTerrain(RnTerrain("forest", kForestId, "forest_floor", "tree", c, 0, true, true, false, false));
    }

    static void addBitmap(const char* name, int variant) {
        registerMemoryBitmap(DaxBitmapKey(name, variant, 0), 4, 4, 2, 5);
    }

    // Writes a PNG of w by h pixels below the temporary folder.
    void makeImage(const std::string& name, int w, int h, const std::function<ALLEGRO_COLOR(int, int)>& at) {
        tmp_.write(name, "");  // makes the folders
        ASSERT_TRUE(zorSaveImage(tmp_.file(name), w, h, at));
    }

    // Runs a map script whose body runs inside pcall; returns the error text
    // it caught ("" when none). The loader is closed again afterwards.
    std::string runMap(const std::string& body, RnMapImageInfo* info = nullptr, bool info_only = false) {
        std::string path = tmp_.write("maps/t.lua", "ok, err = pcall(function()\n" + body + "\nend)\n");
        RnLuaMapLoader loader;
        loader.init();
        int rc = info_only ? loader.runForInfo(path.c_str(), info) : loader.run(path.c_str(), info);
        EXPECT_EQ(0, rc);
        std::string err = luaGlobalString(loader.state(), "err");
        loader.close();
        return err;
    }

    TempDir tmp_;
    std::vector<std::string> saved_search_;
};

// The colours of the terrains in the map images of the tests.
inline ALLEGRO_COLOR grassColour() { return al_map_rgb(0, 160, 0); }
inline ALLEGRO_COLOR waterColour() { return al_map_rgb(0, 0, 200); }
inline ALLEGRO_COLOR forestColour() { return al_map_rgb(0, 90, 20); }

// A colour table of a map script naming the three terrains.
inline const char* kColourTable = "{ {11, {0, 160, 0}}, {12, {0, 0, 200}}, {13, {0, 90, 20}} }";

}  // namespace worldtest
