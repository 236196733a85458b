// A small world for the world-core tests: terrains, a square map, a road
// type and simple building types registered directly, the clock under the
// test's control and the log captured from the console queue.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "dax2/dax_clock.h"
#include "dax2/dax_error.h"
#include "dax2/dax_ini.h"
#include "dax2/dax_platform.h"
#include "rn.h"
#include "rn_bld_road.h"
#include "rn_bld_serv.h"
#include "rn_game.h"
#include "rn_map.h"
#include "rn_wlk_serv.h"
#include "support/allegro_env.h"
#include "support/dax_probe.h"

namespace worldtest {

// Terrain indices of makeMap's world.
enum : int16_t { kGrass = 0, kWater = 1, kOre = 2 };

// The message of the DaxException that fn raises, "" when it raises none.
template <class Fn>
std::string raised(Fn fn) { return raisedBy(fn, ""); }

// The usage flags the model check set on a goods type, as words in the
// order of the model report: "A" (needed for a house level), "hous",
// "deco", "serv", "p-in", "prod", "harv", "mat", "bldr".
inline std::string usageText(const RnGoodsType& gt) {
    const std::pair<bool, const char*> flags[] = {
        {gt.house_level_, "A"}, {gt.used_hous_, "hous"}, {gt.used_deco_, "deco"},
        {gt.used_serv_, "serv"}, {gt.used_p_in_, "p-in"}, {gt.used_prod_, "prod"},
        {gt.used_harv_, "harv"}, {gt.used_mat_, "mat"},   {gt.used_bldr_, "bldr"},
    };
    std::string text;
    for (const auto& [on, word] : flags) {
        if (!on) continue;
        if (!text.empty()) text += ' ';
        text += word;
    }
    return text;
}

// Records what the tick asks of the services outside the world core.
struct RecordingServices : RnTickServicesIfc {
    void reportSaveError() override { ++save_error_checks; }
    DaxGameTime runScriptJob(const RnObjectID& job, DaxGameTime t) override {
        runs.push_back({job.bld_idx_, t.value()});
        if (next_times.empty()) return kRnNoWakeTime;
        DaxGameTime next = next_times.front();
        next_times.erase(next_times.begin());
        return next;
    }
    void rollStatistics(bool long_form) override { rolls.push_back(long_form); }
    void logStatistics() override { ++stat_logs; }
    void autoSave() override { ++autosaves; }
    void saveLastSave() override { ++last_saves; }

    struct Run {
        int32_t job;
        uint32_t time;
    };
    int save_error_checks = 0;
    std::vector<Run> runs;
    std::vector<uint32_t> next_times;  // handed out by runScriptJob in order
    std::vector<bool> rolls;
    int stat_logs = 0;
    int autosaves = 0;
    int last_saves = 0;
};

class WorldTest : public ::testing::Test {
protected:
    void SetUp() override {
        zorInitAllegro();
        daxSetMsgBoxMode(DaxMsgBoxMode::Stderr);
        dax_config.debug_level_ = 4;
        dax_config.debug_ltype_ = 0xFF;
        grn_config = RnConfig();
        grn_game.setTickServices(nullptr);
        grn_game.clear();
        grn_game.resetForNewGame("testmap", "testgame");
        rnResetStatisticsMarks();
        clearConsole();
    }
    void TearDown() override {
        grn_game.setTickServices(nullptr);
        grn_game.clear();
        dax_gameclock.reset();
        dax_config.debug_level_ = 1;
        dax_config.debug_ltype_ = 1;
    }

    // The global clock reads exactly t.
    static void setNow(uint32_t t) {
        DaxGameClock::Memento m;
        dax_gameclock.createMemento(m);
        m.game_time_ = (static_cast<double>(t) + 0.5) / 1.2;
        dax_gameclock.setMemento(m);
    }

    // Grass, water (nothing allowed) and ore (resource bit 0, buildings not
    // allowed); an n by n map of grass.
    static void makeMap(int n) {
        const float colour[4] = {0, 1, 0, 1};
        grn_game.addResource(RnResource(9001, "ore", 1));
        grn_game.addTerrain(RnTerrain("grass", 1, "grass_floor", "", colour, 0, true, true, true, true));
        grn_game.addTerrain(RnTerrain("water", 2, "water_floor", "", colour, 0, false, false, false, true));
        grn_game.addTerrain(RnTerrain("ore", 3, "ore_floor", "", colour, 1, true, true, false, true));
        grn_map.createEmpty(static_cast<unsigned>(n));
        for (int x = 0; x < n; ++x) {
            for (int y = 0; y < n; ++y) setTerrain(x, y, kGrass);
        }
    }
    static void setTerrain(int x, int y, int16_t terrain) {
        RnMapTile& t = grn_map.tile(x, y);
        t.terrain_idx_ = terrain;
        t.resetToTerrain();
    }

    // A service walker registered directly in its type's instance list (its
    // type, id 700, is made with the first one); not yet on any tile.
    static RnObjectID addWalker() {
        if (grn_game.servWalkerTypes().empty()) {
            RnWalkerServType wt;
            wt.type_id_ = 700;
            grn_game.addServWalkerType(wt);
        }
        RnWalkerServType& wt = grn_game.servWalkerType(0);
        int32_t idx = wt.instances_.add(RnWalkerServ(RnObjectID(), DaxMapPositionI(0, 0), 0, false, 0));
        RnWalkerServ& w = wt.instances_[idx];
        w.oid_ = RnObjectID(RnIdWlkServ, 0, idx);
        return w.oid_;
    }

    // A road type (id 100) with three levels of own desirability 1, 2, 3;
    // roads start at level 2. Costs 5, demolition 1.
    static int16_t addRoadType(int32_t id = 100) {
        RnRoadType rt;
        rt.type_id_ = id;
        rt.name_ = "road";
        rt.cost_ = 5;
        rt.demolition_cost_ = 1;
        for (int i = 0; i < 3; ++i) {
            RnRoadLevelDesc level;
            level.image_ = "road_img";
            level.own_attr_ = static_cast<int16_t>(i + 1);
            level.needed_attr_ = static_cast<int16_t>(i * 100);
            level.speed_ = 100;
            rt.level_descs_.push_back(level);
        }
        return grn_game.addRoadType(rt);
    }

    // A service building type of w by h tiles, cost 50, demolition 10.
    static int16_t addServType(int32_t id = 300, int16_t w = 2, int16_t h = 2, int16_t own_attr = 0) {
        RnServType st;
        st.type_id_ = id;
        st.name_ = "serv";
        st.width_ = w;
        st.height_ = h;
        st.cost_ = 50;
        st.demolition_cost_ = 10;
        st.image_ = "serv_img";
        st.own_attr_ = own_attr;
        return grn_game.addServType(st);
    }
};

}  // namespace worldtest
