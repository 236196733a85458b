// The game configuration: defaults, the base and user readers, their checks.
#include <gtest/gtest.h>

#include <string>

#include "dax2/dax_error.h"
#include "dax2/dax_ini.h"
#include "dax2/dax_platform.h"
#include "rn.h"
#include "support/allegro_env.h"
#include "support/temp_dir.h"

namespace {

class ConfigTest : public ::testing::Test {
protected:
    void SetUp() override {
        zorInitAllegro();
        daxSetMsgBoxMode(DaxMsgBoxMode::Stderr);
        grn_config = RnConfig();
        saved_user_dir_ = dax_config.user_dir_;
        saved_usr_ini_ = dax_config.usr_ini_;
        saved_debug_ = dax_config.debug_enable_;
        dax_config.user_dir_ = dir_.path();
        dax_config.usr_ini_ = "user.ini";
        dax_config.debug_enable_ = 0;
    }
    void TearDown() override {
        daxIniOpenOverlay(nullptr);
        daxIniOpenBase(nullptr);
        dax_config.user_dir_ = saved_user_dir_;
        dax_config.usr_ini_ = saved_usr_ini_;
        dax_config.debug_enable_ = saved_debug_;
        grn_config = RnConfig();
    }
    // Reads both files the way start-up does.
    void readBoth(const std::string& base, const std::string& user) {
        std::string base_path = dir_.write("zor.ini", base);
        if (!user.empty()) dir_.write("user.ini", user);
        daxIniOpenBase(base_path.c_str());
        rnReadConfig();
        rnReadUserConfig();
    }

    TempDir dir_;
    std::string saved_user_dir_;
    std::string saved_usr_ini_;
    int saved_debug_ = 0;
};

TEST_F(ConfigTest, MissingFilesKeepEveryDefault) {
    daxIniOpenBase(dir_.file("absent.ini").c_str());
    rnReadConfig();
    rnReadUserConfig();
    EXPECT_EQ(grn_config.lastsave_, "lastsave");
    EXPECT_EQ(grn_config.prevsave_, "prevsave");
    EXPECT_EQ(grn_config.autosave_, "autosave");
    EXPECT_EQ(grn_config.quicksave_, "quicksave");
    EXPECT_EQ(grn_config.savegame_suffix_, "sav");
    EXPECT_EQ(grn_config.max_autosaves_, 10);
    EXPECT_EQ(grn_config.game_side_width_, 100);
    EXPECT_EQ(grn_config.game_mini_size_, 30);
    EXPECT_EQ(grn_config.map_display_, 0);
    EXPECT_FLOAT_EQ(grn_config.cursor_scroll_width_, 1.0f);
    EXPECT_FLOAT_EQ(grn_config.mouse_sensitivity_, 1.0f);
    EXPECT_EQ(grn_config.datamodel_, "ddm.lua");
    EXPECT_EQ(grn_config.astar_walker_range_, 10);
    EXPECT_EQ(grn_config.astar_estimate_factor_, 12);
    EXPECT_EQ(grn_config.astar_road_factor_fast_, 2);
    EXPECT_EQ(grn_config.astar_road_factor_slow_, 3);
    EXPECT_EQ(grn_config.astar_gras_factor_, 9);
    EXPECT_EQ(grn_config.walker_target_radius_, 12);
    EXPECT_EQ(grn_config.max_path_cache_, 16);
    EXPECT_FLOAT_EQ(grn_config.path_dist_weight_, 0.03f);
    EXPECT_FLOAT_EQ(grn_config.path_home_weight_, 0.05f);
    EXPECT_FLOAT_EQ(grn_config.levelup_priority_, 0.2f);
    EXPECT_EQ(grn_config.prod_max_radius_, 12);
    EXPECT_EQ(grn_config.freq_autosave_, 2);
}

TEST_F(ConfigTest, BaseKeysAreRead) {
    readBoth(
        "[paths]\nlastsave=ls\nsavegame_suffix=zsv\n[menu]\ngame_side_width=120\n"
        "[walker]\nmax_path_cache=16\npath_dist_weight=0.5\n[resource]\nprod_max_radius=12.9\n",
        "");
    EXPECT_EQ(grn_config.lastsave_, "ls");
    EXPECT_EQ(grn_config.savegame_suffix_, "zsv");
    EXPECT_EQ(grn_config.game_side_width_, 120);
    EXPECT_EQ(grn_config.max_path_cache_, 16);
    EXPECT_FLOAT_EQ(grn_config.path_dist_weight_, 0.5f);
    EXPECT_EQ(grn_config.prod_max_radius_, 12);  // truncated
}

TEST_F(ConfigTest, FreqAutosaveTakesOnlyTheFourChoices) {
    struct Case {
        const char* value;
        int expected;
    };
    const Case cases[] = {{"0", 0}, {"3", 3}, {"1", 1}, {"4", 2}, {"-1", 2}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        grn_config = RnConfig();
        readBoth("", std::string("[system]\nfreq_autosave=") + c.value + "\n");
        EXPECT_EQ(grn_config.freq_autosave_, c.expected);
        daxIniOpenBase(nullptr);
    }
}

TEST_F(ConfigTest, UserIniOverridesButNotThePaths) {
    readBoth("[scrolling]\nmouse_sensitivity=2.0\n[game]\ndatamodel=base.lua\n[paths]\nautosave=base_auto\n",
             "[scrolling]\nmouse_sensitivity=3.5\n[game]\ndatamodel=user.lua\n[paths]\nautosave=user_auto\n"
             "[system]\nmax_autosaves=4\n");
    EXPECT_FLOAT_EQ(grn_config.mouse_sensitivity_, 3.5f);
    EXPECT_EQ(grn_config.datamodel_, "user.lua");
    EXPECT_EQ(grn_config.max_autosaves_, 4);
    // Paths are read before the user ini opens.
    EXPECT_EQ(grn_config.autosave_, "base_auto");
    // The overlay is closed again afterwards.
    EXPECT_EQ(daxIniOverlay().config(), nullptr);
}

TEST_F(ConfigTest, DebugKeysOnlyWithDebugEnabled) {
    const std::string user = "[debug]\nmap_display=3\nmap_x=40\nmap_y=50\n";
    readBoth("", user);
    EXPECT_EQ(grn_config.map_display_, 0);
    EXPECT_EQ(grn_config.map_x_, 0);
    daxIniOpenBase(nullptr);
    dax_config.debug_enable_ = 1;
    readBoth("", user);
    EXPECT_EQ(grn_config.map_display_, 3);
    EXPECT_EQ(grn_config.map_x_, 40);
    EXPECT_EQ(grn_config.map_y_, 50);
}

TEST_F(ConfigTest, NotANumberRaises) {
    std::string path = dir_.write("zor.ini", "[menu]\ngame_mini_size=big\n");
    daxIniOpenBase(path.c_str());
    EXPECT_THROW(rnReadConfig(), DaxException);
}

using ConfigDeathTest = ConfigTest;

TEST_F(ConfigDeathTest, BadTuningAbortsWithItsCheck) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    struct Case {
        const char* ini;
        const char* expr;
    };
    // The check's source and line, the file, line, key and value, what was
    // expected, and the tested expression.
    const Case cases[] = {
        {"[walker]\nmax_path_cache=17\n",
         "src\\\\rn:[0-9]+ .*zor.ini:2: \\[walker\\] max_path_cache=17: expected a number from 1 to 16 "
         "\\(grn_config.max_path_cache_<=WLK_MAX_PATH_CACHE\\)"},
        {"[walker]\nmax_path_cache=0\n", "zor.ini:2: \\[walker\\] max_path_cache=0: .*grn_config.max_path_cache_>0"},
        {"[astar]\nwalker_range=20\nwalker_target_radius=15\n",
         "zor.ini:3: \\[astar\\] walker_target_radius=15: expected at least \\[astar\\] walker_range, 20 "
         "\\(grn_config.walker_target_radius_>=grn_config.astar_walker_range_\\)"},
        {"[astar]\ngras_factor=0\n",
         "zor.ini:2: \\[astar\\] gras_factor=0: expected a number greater than 0 \\(grn_config.astar_gras_factor_>0\\)"},
        {"[walker]\npath_home_weight=-0.1\n",
         "zor.ini:2: \\[walker\\] path_home_weight=-0.1: expected a number of at least 0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.ini);
        std::string path = dir_.write("zor.ini", c.ini);
        EXPECT_DEATH(
            {
                daxIniOpenBase(path.c_str());
                rnReadConfig();
            },
            c.expr);
    }
}

}  // namespace
