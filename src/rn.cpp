// The game configuration and its two readers.
#include "rn.h"

#include "dax2/dax_error.h"
#include "dax2/dax_ini.h"

RnConfig grn_config;
RnCacheSwitches grn_caches;

namespace {

const char* const kSrc = "src\\rn";

void readString(const char* section, const char* key, std::string& field) {
    // Copied through a temporary: the default handed in is field's own text.
    std::string value = daxIniGetString(section, key, field.c_str());
    field.swap(value);
}

void readInt(const char* section, const char* key, int32_t& field) {
    field = daxIniGetInt(section, key, field);
}

void readFloat(const char* section, const char* key, float& field) {
    field = daxIniGetFloat(section, key, field);
}

// A tuning key out of range ends the program through the fatal check: the
// ini file, line, key and value, what was expected, and the tested
// expression.
[[noreturn]] void keyCheckFailed(int line, const char* section, const char* key, const std::string& expected,
                                 const char* expr) {
    const std::string text = daxIniKeyText(section, key) + ": expected " + expected + " (" + expr + ")";
    daxAssertFailed(kSrc, line, text.c_str());
}

}  // namespace

#define RN_CHECK_KEY(expr, section, key, expected) \
    ((expr) ? (void)0 : keyCheckFailed(__LINE__, section, key, expected, #expr))

void rnReadConfig() {
    const char* const above_zero = "a number greater than 0";
    const std::string cache_range = "a number from 1 to " + std::to_string(WLK_MAX_PATH_CACHE);
    readString("paths", "lastsave", grn_config.lastsave_);
    readString("paths", "prevsave", grn_config.prevsave_);
    readString("paths", "autosave", grn_config.autosave_);
    readString("paths", "quicksave", grn_config.quicksave_);
    readString("paths", "savegame_suffix", grn_config.savegame_suffix_);
    readInt("menu", "game_side_width", grn_config.game_side_width_);
    readInt("menu", "game_mini_size", grn_config.game_mini_size_);
    readInt("astar", "walker_range", grn_config.astar_walker_range_);
    readInt("astar", "estimate_factor", grn_config.astar_estimate_factor_);
    readInt("astar", "road_factor_fast", grn_config.astar_road_factor_fast_);
    readInt("astar", "road_factor_slow", grn_config.astar_road_factor_slow_);
    readInt("astar", "gras_factor", grn_config.astar_gras_factor_);
    RN_CHECK_KEY(grn_config.astar_walker_range_>0, "astar", "walker_range", above_zero);
    RN_CHECK_KEY(grn_config.astar_estimate_factor_>0, "astar", "estimate_factor", above_zero);
    RN_CHECK_KEY(grn_config.astar_road_factor_fast_>0, "astar", "road_factor_fast", above_zero);
    RN_CHECK_KEY(grn_config.astar_road_factor_slow_>0, "astar", "road_factor_slow", above_zero);
    RN_CHECK_KEY(grn_config.astar_gras_factor_>0, "astar", "gras_factor", above_zero);
    readInt("astar", "walker_target_radius", grn_config.walker_target_radius_);
    RN_CHECK_KEY(grn_config.walker_target_radius_>=grn_config.astar_walker_range_, "astar", "walker_target_radius",
                 "at least [astar] walker_range, " + std::to_string(grn_config.astar_walker_range_));
    readInt("walker", "max_path_cache", grn_config.max_path_cache_);
    RN_CHECK_KEY(grn_config.max_path_cache_>0, "walker", "max_path_cache", cache_range);
    RN_CHECK_KEY(grn_config.max_path_cache_<=WLK_MAX_PATH_CACHE, "walker", "max_path_cache", cache_range);
    readFloat("walker", "path_dist_weight", grn_config.path_dist_weight_);
    RN_CHECK_KEY(grn_config.path_dist_weight_ >= 0, "walker", "path_dist_weight", "a number of at least 0");
    readFloat("walker", "path_home_weight", grn_config.path_home_weight_);
    RN_CHECK_KEY(grn_config.path_home_weight_ >= 0, "walker", "path_home_weight", "a number of at least 0");
    readFloat("walker", "levelup_priority", grn_config.levelup_priority_);
    // Read as a real (content may give 12.5) and kept as whole tiles.
    grn_config.prod_max_radius_ = static_cast<int32_t>(
        daxIniGetFloat("resource", "prod_max_radius", static_cast<float>(grn_config.prod_max_radius_)));
}

void rnReadUserConfig() {
    std::string path = dax_config.user_dir_ + dax_config.usr_ini_;
    daxIniOpenOverlay(path.c_str());
    if (dax_config.debug_enable_ != 0) {
        readInt("debug", "map_display", grn_config.map_display_);
        readInt("debug", "map_x", grn_config.map_x_);
        readInt("debug", "map_y", grn_config.map_y_);
    }
    readFloat("scrolling", "cursor_scroll_width", grn_config.cursor_scroll_width_);
    readFloat("scrolling", "mouse_sensitivity", grn_config.mouse_sensitivity_);
    readInt("system", "max_autosaves", grn_config.max_autosaves_);
    int freq = daxIniGetInt("system", "freq_autosave", grn_config.freq_autosave_);
    // Only the four known choices are taken; anything else keeps the last one.
    if (static_cast<unsigned>(freq) <= 3u) grn_config.freq_autosave_ = freq;
    readString("game", "datamodel", grn_config.datamodel_);
    daxIniOpenOverlay(nullptr);
}
