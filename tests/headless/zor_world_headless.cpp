// The world without any interface: loads a world the way the loading screen
// does (initial data, icons, data model, map, model check, trigger), lays a
// road, and runs a game week of ticks, with Allegro's system and its image
// and primitives addons but no display, no widgets and no screens. Built
// from the world library and the framework's headless core alone, it shows
// that the world needs nothing of the interface.
//
//   zor_world_headless <data folder> [game hours]
//
// Prints what it loaded and ran; exits 1 when the world does not load,
// loading logs an error or a warning, or a tick raises.
#include <allegro5/allegro.h>
#include <allegro5/allegro_image.h>
#include <allegro5/allegro_primitives.h>

#include <cstdio>
#include <cstdlib>
#include <deque>
#include <string>
#include <vector>

#include "dax2/dax_clock.h"
#include "dax2/dax_error.h"
#include "dax2/dax_ini.h"
#include "dax2/dax_msg.h"
#include "dax2/dax_platform.h"
#include "rn.h"
#include "rn_bld_texts.h"
#include "rn_bld_hous.h"
#include "rn_bld_road.h"
#include "rn_game.h"
#include "rn_lua_loader.h"
#include "rn_lua_maploader.h"
#include "rn_map.h"
#include "rn_placement.h"
#include "rn_trigger.h"

namespace {

bool stage(const char* what, int result) {
    if (result != 0) {
        std::fprintf(stderr, "zor_world_headless: %s failed (%d)\n", what, result);
        return false;
    }
    return true;
}

// The console lines logged from the first one on (errors and warnings,
// with the default log filter).
std::vector<std::string> consoleLinesFrom(size_t first) {
    std::vector<std::string> lines;
    DaxMutexLock lock(DaxLog::consoleMutex());
    const std::deque<DaxConsoleEntry>& queue = DaxLog::consoleQueue();
    for (size_t i = first; i < queue.size(); ++i) lines.push_back(queue[i].text);
    return lines;
}

size_t consoleSize() {
    DaxMutexLock lock(DaxLog::consoleMutex());
    return DaxLog::consoleQueue().size();
}

bool loadWorld(const std::string& map_script) {
    grn_game.clear();
    {
        RnLuaPreloader initial;
        initial.init();
        if (!stage(dax_config.initial_loader_.c_str(), initial.run(dax_config.initial_loader_.c_str()))) return false;
    }
    grn_game.clear();
    grn_game.resetForNewGame("green_valley", "Headless");
    {
        RnLuaPreloader icons;
        icons.init();
        if (!stage(dax_config.icon_loader_.c_str(), icons.run(dax_config.icon_loader_.c_str()))) return false;
    }
    {
        RnLuaModelLoader model;
        model.init();
        if (!stage(grn_config.datamodel_.c_str(), model.run(grn_config.datamodel_.c_str()))) return false;
    }
    {
        RnLuaMapLoader map;
        map.init();
        RnMapImageInfo info;
        if (!stage(map_script.c_str(), map.run(map_script.c_str(), &info))) return false;
    }
    // The model check after the map, as the loading screen runs it; a
    // content error raises and ends the program with its message.
    grn_game.validateModel();
    if (!stage("trigger", grn_trigger.loadScript())) return false;
    grn_game.setWorldLoaded(true);
    return true;
}

// A straight road across the middle of the map, where the first road type
// can go; returns the number of pieces laid.
size_t layRoad() {
    if (grn_game.roadTypes().empty()) return 0;
    const int y = grn_map.size() / 2;
    RnPhantomList order;
    order.setType(RnIdBldRoad, grn_game.roadType(0).type_id_);
    if (grn_game.addPhantom(order, 1, y, grn_map.size() / 4, y) < 0) return 0;
    const size_t pieces = order.entries().size();
    grn_game.placeBuildings(order, 1, y);
    return pieces;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s <data folder> [game hours]\n", argv[0]);
        return 2;
    }
    std::string data = argv[1];
    if (data.back() != '/') data += '/';
    const long hours = argc > 2 ? std::strtol(argv[2], nullptr, 10) : 24 * 7;

    if (!al_install_system(ALLEGRO_VERSION_INT, std::atexit) || !al_init_image_addon() ||
        !al_init_primitives_addon()) {
        std::fprintf(stderr, "zor_world_headless: can't start Allegro\n");
        return 1;
    }
    daxSetMsgBoxMode(DaxMsgBoxMode::Stderr);

    RnTriggerTickServices services;
    grn_game.setTickServices(&services);
    int status = 0;
    try {
        daxIniOpenBase((data + "zor.ini").c_str());
        rnReadConfig();
        dax_gameclock.readConfig();
        daxIniOpenBase(nullptr);
        dax_config.search_path_ = {data};
        rnDeclareTextFormats();
        dax_strings.loadFile((data + "zor.en.txt").c_str(), false);

        const size_t logged_before = consoleSize();
        const bool loaded = loadWorld("maps/green_valley.lua");
        // A world that loads must load cleanly: anything its scripts or the
        // model check logged as an error or a warning fails the run.
        const std::vector<std::string> trouble = consoleLinesFrom(logged_before);
        for (const std::string& line : trouble) std::fprintf(stderr, "zor_world_headless: logged: %s\n", line.c_str());
        if (!loaded || !trouble.empty()) {
            status = 1;
        } else {
            const size_t road = layRoad();
            // Ticks as the game loop runs them at speed 100.
            const DaxGameTime end(static_cast<uint32_t>(hours * 12));
            long ticks = 0;
            while (dax_gameclock.gameTime().value() < end.value()) {
                dax_gameclock.tick();
                grn_game.update();
                ++ticks;
            }
            std::printf("world: %zu terrains, %zu goods, %zu house types; map %d x %d; %zu road pieces laid\n",
                        grn_game.terrains().size(), grn_game.goodsTypes().size(), grn_game.housTypes().size(),
                        grn_map.size(), grn_map.size(), road);
            std::printf("ran %ld ticks to game time %u; money %d\n", ticks, dax_gameclock.gameTime().value(),
                        grn_game.money_);
        }
    } catch (const DaxException& e) {
        std::fprintf(stderr, "zor_world_headless: %s\n", e.what());
        status = 1;
    }
    grn_game.clear();
    grn_game.setTickServices(nullptr);
    return status;
}
