// What the benchmarks of generated towns share: the framework pointed at
// the sample world's data, and a town of the sample model laid on its land.
#pragma once

#include <allegro5/allegro.h>
#include <allegro5/allegro_image.h>
#include <allegro5/allegro_primitives.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench_clock.h"
#include "dax2/dax_ini.h"
#include "dax2/dax_msg.h"
#include "world/gen_town.h"

// Allegro's system with the image and primitives addons started, the
// framework's search path at the sample world's data and its texts loaded;
// once per program.
inline void benchUseSampleData() {
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

// The plan's land made and its town laid at game time 0; a town that cannot
// be laid ends the program with what failed.
inline void benchBuildTown(const gentown::Plan& plan, const char* program) {
    std::string failed = gentown::makeLand(plan);
    if (failed.empty()) {
        benchSetNow(0);
        failed = gentown::placeTown(plan);
    }
    if (!failed.empty()) {
        std::fprintf(stderr, "%s: %s\n", program, failed.c_str());
        std::exit(1);
    }
}
