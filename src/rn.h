// The game configuration grn_config: save names, panel sizes, path and
// walker tuning, scrolling, autosave and the data-model script, read from the
// base ini ("zor.ini") and the user ini.
#pragma once

#include <cstdint>
#include <string>

// Most steps a walker path cache keeps.
constexpr int WLK_MAX_PATH_CACHE = 16;

struct RnConfig {
    std::string lastsave_ = "lastsave";
    std::string prevsave_ = "prevsave";
    std::string autosave_ = "autosave";
    std::string quicksave_ = "quicksave";
    std::string savegame_suffix_ = "sav";
    int32_t max_autosaves_ = 10;
    int32_t game_side_width_ = 100;
    int32_t game_mini_size_ = 30;
    int32_t map_display_ = 0;   // debug display mode
    int32_t map_x_ = 0;         // debug start position of the view
    int32_t map_y_ = 0;
    float cursor_scroll_width_ = 1.0f;
    float mouse_sensitivity_ = 1.0f;
    std::string datamodel_ = "ddm.lua";
    int32_t astar_walker_range_ = 10;
    int32_t astar_estimate_factor_ = 12;
    int32_t astar_road_factor_fast_ = 2;
    int32_t astar_road_factor_slow_ = 3;
    int32_t astar_gras_factor_ = 9;
    int32_t walker_target_radius_ = 12;
    int32_t max_path_cache_ = 16;
    float path_dist_weight_ = 0.03f;
    float path_home_weight_ = 0.05f;
    float levelup_priority_ = 0.2f;
    int32_t prod_max_radius_ = 12;
    int32_t freq_autosave_ = 2;  // 0 none, 1 weekly, 2 monthly, 3 yearly
};

extern RnConfig grn_config;

// The world's caches: data derived from the town and kept only so that the
// tick does less work (remembered road searches, direct indexes). Each can
// be switched off, and a town must play out the same with any of them off:
// the tests play towns both ways and compare the saved bytes. Caches are
// never saved; they are rebuilt after a load.
struct RnCacheSwitches {
    bool flood_reach_ = true;       // floods walk the road graph (RnRoadGraph), not the map's tiles
    bool flood_kinds_ = true;       // floods and walker steps skip building types that never answer them
    bool building_index_ = true;    // direct lookups of buildings by tile and by id
    bool finished_walkers_ = true;  // each home's list of its finished walkers
    bool road_speed_ = true;        // walkers read a road's speed from its tile (RnMapTile::road_speed_)
    bool flood_objects_ = true;     // floods reach a building through its road graph slot, not by id
    bool stor_trees_ = true;        // the transport planner keeps each sender's shortest-path tree

    // Turns every cache on or off.
    void setAll(bool on) {
        flood_reach_ = flood_kinds_ = building_index_ = finished_walkers_ = road_speed_ = flood_objects_ =
            stor_trees_ = on;
    }
};

extern RnCacheSwitches grn_caches;

// Reads the base-file keys (paths, menu, astar, walker, resource) with the
// current values as defaults; a value out of range is a fatal check. The
// base ini must be open.
void rnReadConfig();
// Opens the user ini as overlay, reads the user keys (debug, scrolling,
// system, game) and closes the overlay again.
void rnReadUserConfig();
