// A fresh world for the data-model loader tests: texts for every id the
// scripts use, an isometric tile size of 64 by 32, small images registered
// from memory bitmaps, an open model loader and helpers that run script text
// and report the error it raised.
#pragma once

#include <gtest/gtest.h>

#include <allegro5/allegro.h>
#include <allegro5/allegro_primitives.h>

extern "C" {
#include <lua.h>
}

#include <string>
#include <vector>

#include "dax2/dax_bitmap.h"
#include "dax2/dax_error.h"
#include "dax2/dax_ini.h"
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
#include "support/allegro_env.h"
#include "support/dax_probe.h"
#include "support/temp_dir.h"
#include "support/text_checks.h"

namespace luatest {

// Lua helpers every script gets: merge(base, extra) copies base and lays
// extra over it (the value NIL removes a key).
constexpr const char* kLuaHelpers = R"(
NIL = {}
function merge(base, extra)
  local t = {}
  for k, v in pairs(base) do t[k] = v end
  for k, v in pairs(extra or {}) do
    if v == NIL then t[k] = nil else t[k] = v end
  end
  return t
end
)";

class LuaLoaderTest : public ::testing::Test {
protected:
    void SetUp() override {
        zorInitAllegro();
        ASSERT_TRUE(al_init_primitives_addon());
        saved_level_ = dax_config.debug_level_;
        saved_ltype_ = dax_config.debug_ltype_;
        saved_log_ = dax_config.log_path_;
        saved_search_ = dax_config.search_path_;
        saved_config_ = grn_config;
        dax_config.debug_level_ = 4;
        dax_config.debug_ltype_ = 0xFF;
        dax_config.log_path_.clear();
        dax_config.search_path_ = {tmp_.path()};
        DaxLog::reset();
        resetWorld();
    }

    void TearDown() override {
        loader_.close();
        rnMtileDestroy();
        grn_game.clear();
        grn_build_menu.clear();
        daxSetErrorLine(0);
        daxSetErrorFunction("");
        grn_config = saved_config_;
        dax_config.debug_level_ = saved_level_;
        dax_config.debug_ltype_ = saved_ltype_;
        dax_config.log_path_ = saved_log_;
        dax_config.search_path_ = saved_search_;
        DaxLog::reset();
    }

    // An empty world with texts, the tile size, the test images and a
    // freshly initialised loader.
    void resetWorld() {
        loader_.close();
        grn_game.clear();
        grn_game.storage_walker_speed_ = 0;
        for (int id = 1; id < 2000; ++id) {
            dax_strings.addString(id, "n" + std::to_string(id), true);
        }
        ASSERT_TRUE(dax_bitmaps.setIsoTileSize(64, 32));
        addImages();
        loader_.init();
        ASSERT_TRUE(loader_.isOpen());
        clearConsole();
    }

    // Registers a w by h image of one colour under (name, var).
    static void addImage(const std::string& name, int w, int h, Rgba c = {200, 100, 50, 255}, int var = 1) {
        DaxBitmapIndex id =
            registerMemoryBitmap(DaxBitmapKey(name, var, 0), w, h, w / 2, h, al_map_rgba(c.r, c.g, c.b, c.a));
        ASSERT_GE(id, 0) << name;
    }

    // Goods, walker, road, floor and building images for 1 by 1 and 2 by 2
    // footprints (tile 64 by 32).
    static void addImages() {
        for (const char* g : {"wood", "plank", "food", "stone"}) addImage(g, 16, 12);
        for (const char* w : {"w_ro", "w_ru", "w_lo", "w_lu"}) addImage(w, 20, 30);
        for (const char* r : {"road1", "road2", "road3", "floor11", "grass"}) addImage(r, 64, 31);
        addImage("wide11", 70, 31);
        addImage("floor22", 128, 63);
        addImage("bld22", 128, 90);
        addImage("bld22b", 128, 90);
        addImage("ruin22", 128, 63);
        addImage("roam", 20, 20);
    }

    // The log lines from the first one equal to first on, in order.
    static std::vector<std::string> logFrom(const std::string& first) {
        std::vector<std::string> out;
        bool on = false;
        for (const std::string& t : consoleTexts()) {
            if (t == first) on = true;
            if (on) out.push_back(t);
        }
        return out;
    }

    // Runs the text (after the Lua helpers) inside pcall through the
    // loader; returns the error the script saw, "" when it ran through.
    std::string script(const std::string& text) {
        tmp_.write("t.lua", std::string(kLuaHelpers) + "ok, err = pcall(function()\n" + text + "\nend)\n");
        EXPECT_EQ(0, loader_.run(tmp_.file("t.lua").c_str()));
        lua_State* L = loader_.state();
        lua_getglobal(L, "err");
        const char* s = lua_tostring(L, -1);
        std::string out = s ? s : "";
        lua_pop(L, 1);
        return out;
    }

    // Runs the text as the whole data-model file; returns the run result.
    int runFile(const std::string& text, const std::string& name = "ddm_test.lua") {
        tmp_.write(name, std::string(kLuaHelpers) + text);
        return loader_.run(tmp_.file(name).c_str());
    }

    TempDir tmp_;
    RnLuaModelLoader loader_;
    int saved_level_ = 0, saved_ltype_ = 0;
    std::string saved_log_;
    std::vector<std::string> saved_search_;
    RnConfig saved_config_;
};

// An error case: the script text and a part of the message it must raise
// ("" when it must run through).
struct ErrorCase {
    const char* script;
    const char* error;
};

}  // namespace luatest
