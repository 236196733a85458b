// What the benchmarks of whole towns share: Allegro and the sample world's
// data for the generated towns (tests/world/gen_town), a busy town built as
// the player builds it, and the world run one update per game time unit.
#pragma once

#include <allegro5/allegro.h>
#include <allegro5/allegro_image.h>
#include <allegro5/allegro_primitives.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench_clock.h"
#include "dax2/dax_ini.h"
#include "dax2/dax_msg.h"
#include "rn_game.h"
#include "world/gen_town.h"

// Allegro and the sample world's folder and texts, once per program.
inline void benchInitSampleWorld() {
    static bool done = false;
    if (done) return;
    al_install_system(ALLEGRO_VERSION_INT, nullptr);
    al_init_image_addon();
    al_init_primitives_addon();
    dax_config.search_path_ = {std::string(ZOR_SOURCE_DIR) + "/data/"};
    dax_config.debug_level_ = 0;
    dax_strings.loadFile((dax_config.search_path_[0] + "zor.en.txt").c_str(), false);
    done = true;
}

// The generated town of about the number of buildings on a map of the side,
// busy: the model's walker limits raised and every building sending walkers
// trying again an hour after a departure. Placed at game time 0; the tick
// then calls services (may be null).
inline void benchBuildTown(int side, int buildings, RnTickServicesIfc* services) {
    benchInitSampleWorld();
    const gentown::Plan plan{side, buildings, true};
    std::string failed = gentown::makeLand(plan);
    if (failed.empty()) {
        benchSetNow(0);
        failed = gentown::placeTown(plan);
    }
    if (!failed.empty()) {
        std::fprintf(stderr, "benchmark town: %s\n", failed.c_str());
        std::exit(1);
    }
    grn_game.setTickServices(services);
}

// Runs the world from `from` to `to`, one update per game time unit.
inline void benchRunWorld(uint32_t from, uint32_t to) {
    for (uint32_t t = from + 1; t <= to; ++t) {
        benchSetNow(t);
        grn_game.update();
    }
}
