// The save loader on damaged files. The input is either a whole save file,
// or edits (a cut and changed bytes) of a real save of the sample town or of
// a town over the whole sample map, both made once per process. Each input
// is loaded over the sample world, set up once per process and put back
// after every input. The load list's check must offer every file the loader
// takes, with what the load gives. A load either refuses with a
// DaxException or a false result, or succeeds; then what it loaded is saved
// back, and that save must load and be offered as well; the world it gives
// runs for a while and is saved once more. Nothing may crash, hang or leak.
#include <cstdlib>
#include <fstream>
#include <string>
#include <utility>

#include "dax2/dax_clock.h"
#include "dax2/dax_error.h"
#include "dax2/dax_ini.h"
#include "fuzz_support.h"
#include "rn_file_load.h"
#include "rn_file_save.h"
#include "rn_game.h"
#include "rn_map.h"
#include "rn_trigger.h"
#include "support/save_bytes.h"
#include "world/save_town.h"

namespace {

const std::string kData = std::string(ZOR_SOURCE_DIR) + "/data/";

void freshWorld() {
    const std::string failed = savetown::freshSampleWorld(kData, false);
    FUZZ_CHECK(failed.empty(), "the sample world does not load: " + failed);
}

// A town saved and read back unpacked: the edits work on the plain bytes,
// and the loader takes plain files as well as gzip ones.
std::string savedTown(const char* name, void (*build)()) {
    freshWorld();
    build();
    const std::string path = fuzzTempDir() + name;
    FUZZ_CHECK(RnSaveWriter::saveGame(path, true), std::string("the town cannot be saved: ") + name);
    const std::string out = savebytes::unpacked(path);
    FUZZ_CHECK(!out.empty(), "the town's save cannot be read");
    return out;
}

const std::string& sampleTown() {
    static const std::string bytes = savedTown("town.sav", [] {
        FUZZ_CHECK(savetown::buildTown().empty(), "the town cannot be built");
        savetown::runHours(24 * 3);
    });
    return bytes;
}

const std::string& gridTown() {
    static const std::string bytes = savedTown("grid.sav", [] {
        savetown::buildGridTown();
        savetown::runHours(24);
    });
    return bytes;
}

// Loads path over the fresh world; true when it loaded.
bool load(const std::string& path) {
    freshWorld();
    try {
        return RnSaveLoader::loadGame(path);
    } catch (const DaxException&) {
    }
    return false;
}

// The load list offers the file just loaded, as it was loaded.
void checkOffered(const std::string& path) {
    const DaxGameTime time = dax_gameclock.gameTime();
    RnSaveSummary s;
    FUZZ_CHECK(RnSaveLoader::verifyGame(path, s), "the load list does not offer a save that loads: " + path);
    FUZZ_CHECK(s.money == grn_game.money_ && s.map_side == grn_map.size() && s.map_name == grn_game.map_name_ &&
                   s.game_name == grn_game.game_name_ && s.game_time.value() == time.value(),
               "the load list shows another game than the load gives: " + path);
}

bool save(const std::string& path) { return RnSaveWriter::saveGame(path, true); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzInitFramework();
    // ZOR_FUZZ_SEEDS=<folder> writes the two towns' saves there as inputs
    // of their own (the corpus's seeds) and ends the run.
    if (const char* seeds = std::getenv("ZOR_FUZZ_SEEDS")) {
        const std::pair<const char*, const std::string*> towns[] = {{"seed_town", &sampleTown()},
                                                                    {"seed_grid", &gridTown()}};
        for (const auto& [name, town] : towns) {
            std::ofstream out(std::string(seeds) + "/" + name, std::ios::binary);
            out << '\0' << *town;
        }
        std::exit(0);
    }
    FuzzInput in(data, size);
    std::string file;
    bool whole_town = false;
    const uint8_t mode = in.byte() % 4;
    if (mode == 0) {
        file = in.rest();
    } else {
        whole_town = in.empty();
        file = mode == 3 ? gridTown() : sampleTown();
        const uint32_t cut = in.u16();
        if (cut != 0) file.resize(cut % file.size());
        size_t at = 0;
        while (!in.empty() && !file.empty()) {
            at = (at + in.u16()) % file.size();
            const uint8_t op = in.byte();
            const uint8_t value = in.byte();
            file[at] = static_cast<char>(op % 2 == 0 ? value : file[at] ^ value);
        }
    }
    const std::string path = fuzzWriteFile("input.sav", file);
    const bool loaded = load(path);
    FUZZ_CHECK(loaded || !whole_town, "the town's own save does not load");
    if (loaded) {
        checkOffered(path);
        // What the loader let in, the game saves so that it loads again.
        const std::string back = fuzzTempDir() + "back.sav";
        FUZZ_CHECK(save(back), "a loaded world cannot be saved");
        FUZZ_CHECK(load(back), "a save of a loaded world does not load");
        checkOffered(back);
        // And it runs: a game day and a half, unpaused, at the speed it was
        // saved with.
        dax_gameclock.setPaused(false);
        for (int tick = 0; tick < 1200; ++tick) {
            dax_gameclock.tick();
            grn_game.update();
        }
        FUZZ_CHECK(save(fuzzTempDir() + "again.sav"), "a loaded world that ran cannot be saved");
    }
    grn_trigger.reset();
    fuzzForgetLog();
    return 0;
}
