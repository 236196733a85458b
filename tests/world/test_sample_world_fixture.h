// The bundled sample world under data/, loaded without a display the way the
// front end loads it (the initial-data script of the main menu, then after a
// clear the icon loader, the data model, the map script, the model check and
// the trigger), with what a test of a town on it needs: placing roads and
// buildings as the player does, running the clock, and the log lines that
// tell of trouble.
#pragma once

#include <gtest/gtest.h>

#include <allegro5/allegro.h>
#include <allegro5/allegro_primitives.h>

#include <string>
#include <vector>

#include "dax2/dax_error.h"
#include "dax2/dax_ini.h"
#include "dax2/dax_msg.h"
#include "rn.h"
#include "rn_game.h"
#include "rn_lua_loader.h"
#include "rn_lua_maploader.h"
#include "rn_map.h"
#include "rn_placement.h"
#include "rn_trigger.h"
#include "test_game_fixture.h"

namespace worldtest {

const std::string kData = std::string(ZOR_SOURCE_DIR) + "/data/";

class SampleWorldTest : public WorldTest {
protected:
    void SetUp() override {
        WorldTest::SetUp();
        al_init_primitives_addon();
        saved_search_ = dax_config.search_path_;
        dax_config.search_path_ = {kData};
        dax_strings.loadFile((kData + "zor.en.txt").c_str(), false);
        grn_trigger.reset();
    }
    void TearDown() override {
        grn_trigger.reset();
        dax_config.search_path_ = saved_search_;
        daxSetErrorLine(0);
        daxSetErrorFunction("");
        WorldTest::TearDown();
    }

    // The stages of the front end up to a running game. The log keeps only
    // errors and warnings (levels 0 and 1, every class but the update
    // queue's trace) meanwhile; they are collected in trouble_.
    void loadWorld() {
        dax_config.debug_level_ = 1;
        dax_config.debug_ltype_ = 0xFF & ~2;
        clearConsole();
        loadStages();
        for (const std::string& t : consoleTexts()) trouble_.push_back(t);
        clearConsole();
        dax_config.debug_level_ = 4;
        dax_config.debug_ltype_ = 0xFF;
    }
    void loadStages() {
        // Main menu: clear, initial data.
        grn_game.clear();
        {
            RnLuaPreloader initial;
            initial.init();
            ASSERT_EQ(0, initial.run("initial_load.lua"));
        }
        // New game: clear and the names, then the loading stages.
        grn_game.clear();
        grn_game.resetForNewGame("green_valley", "Testhausen");
        {
            RnLuaPreloader icons;
            icons.init();
            ASSERT_EQ(0, icons.run("load_icons.lua"));
        }
        {
            RnLuaModelLoader model;
            model.init();
            ASSERT_EQ(0, model.run(grn_config.datamodel_.c_str()));
        }
        {
            RnLuaMapLoader map;
            map.init();
            ASSERT_EQ(0, map.run("maps/green_valley.lua", &info_));
        }
        // The model check that follows the map; it raises for content that
        // cannot work.
        ASSERT_EQ("", raised([] { grn_game.validateModel(); }));
        // Every loader's state is closed before the trigger's starts.
        ASSERT_EQ(nullptr, DaxLua::current());
        ASSERT_EQ(0, grn_trigger.loadScript());
    }

    // Errors and warnings logged since loadWorld began: lines of level 0 or 1
    // while the world loaded, then, after it, lines that tell of an error.
    std::vector<std::string> troubleLines() const {
        std::vector<std::string> out = trouble_;
        static const char* const marks[] = {"LUA ERR", "error", "failed", "panic", "warning"};
        for (const std::string& t : consoleTexts()) {
            for (const char* m : marks) {
                if (t.find(m) != std::string::npos) {
                    out.push_back(t);
                    break;
                }
            }
        }
        return out;
    }

    // From here on the log keeps only errors and serious problems (levels 0
    // and 1) of every class but the traces of the update queue, the path
    // finder and the workforce: a town that runs as it should logs nothing.
    static void logTroubleOnly() {
        dax_config.debug_level_ = 1;
        dax_config.debug_ltype_ = 0xFF & ~(2 | 4 | 8);
        clearConsole();
    }

    // Lays what the player lays with the build menu: a building of the type
    // with script id `id` whose footprint ends at (x, y), or a road dragged
    // from (x, y) to (x2, y2). Returns what stands at (x, y); fails the test
    // when the order cannot be built there.
    static RnObjectID place(int16_t kind, int32_t id, int x, int y) { return place(kind, id, x, y, x, y); }
    static RnObjectID place(int16_t kind, int32_t id, int x, int y, int x2, int y2) {
        RnPhantomList list;
        list.setType(kind, id);
        const int32_t cost = grn_game.addPhantom(list, x, y, x2, y2);
        EXPECT_GE(cost, 0) << "kind " << kind << " type " << id << " at " << x << "," << y;
        if (cost < 0) return RnObjectID();
        grn_game.placeBuildings(list, x, y);
        return grn_map.tile(x, y).oid_;
    }

    // Runs the world one update per `step` units of game time until the
    // clock reads `to`, calling watch() after each update.
    template <class Fn>
    void runWatching(uint32_t to, Fn watch, uint32_t step = 1) {
        while (now_ + step <= to) {
            now_ += step;
            setNow(now_);
            grn_game.update();
            watch();
        }
    }
    void runUntil(uint32_t to, uint32_t step = 1) {
        runWatching(to, [] {}, step);
    }

    uint32_t now_ = 0;  // the game time of the last update that ran
    RnMapImageInfo info_;
    std::vector<std::string> trouble_;
    std::vector<std::string> saved_search_;
};

}  // namespace worldtest
