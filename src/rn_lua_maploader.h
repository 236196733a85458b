// Map scripts: the Lua runner that executes a map script under "maps/" with
// its three functions (load_map lays the terrain from a square map image,
// set_game_properties sets the starting money, set_trigger defines the timed
// trigger), and the record of one saved value of a trigger script's globals.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "dax2/dax_lua.h"

// What the new-game screen learns from a map script run for its information
// only (and the loading screen from a real run): the map image and the region
// of it that makes the map, and the text number of the map's name.
struct RnMapImageInfo {
    std::string path_;  // the map image as found on the search path
    int16_t x_ = 0;
    int16_t y_ = 0;
    int16_t w_ = 0;     // 0 until load_map ran
    int16_t h_ = 0;
    int text_id_ = -1;  // -1: none
};

// Key kinds and value kinds of RnScriptDataEntry.
enum : int32_t {
    kRnScriptKeyInt = 0,
    kRnScriptKeyString = 1,
};
enum : int32_t {
    kRnScriptNumber = 1,
    kRnScriptInteger = 2,
    kRnScriptString = 3,
    kRnScriptTableStart = 4,
    kRnScriptTableEnd = 5,
};

// One value of a trigger script's global data. The globals are kept as a flat
// list in depth-first order: a table is a start entry carrying its key, its
// contents, and an end entry carrying the same key.
struct RnScriptDataEntry {
    // A saved game keeps each string in a slot of 15 characters; longer
    // script strings are refused when the globals are collected.
    static constexpr size_t kMaxStringLength = 15;

    int32_t key_kind_ = kRnScriptKeyString;
    int32_t int_key_ = 0;
    std::string str_key_;
    int32_t value_kind_ = kRnScriptInteger;
    int32_t int_value_ = 0;
    double num_value_ = 0.0;
    std::string str_value_;
};

// Tables nested deeper than this are refused, when collected and when
// restored alike.
constexpr int kRnScriptMaxDepth = 10;

// The map-script runner. It owns the program's Lua state while it is open.
class RnLuaMapLoader : public DaxLua {
public:
    // Opens the Lua state with the framework's functions and registers
    // load_map, set_game_properties and set_trigger. Raises instead of the
    // framework's fatal check when another Lua state is still open.
    void init();
    // Runs the map script: lays the terrain, sets the money, defines the
    // trigger. info (may be null) receives the map's name text number.
    // Returns 0 on success.
    int run(const char* file_name, RnMapImageInfo* info);
    // Runs the map script only to fill info (must not be null) with the map
    // image and its region; nothing of the game is touched.
    int runForInfo(const char* file_name, RnMapImageInfo* info);
};
