// The save loader on damaged files, over a fresh sample world each time:
// the input is either a whole save file, or edits (a cut and changed bytes)
// of a real save of the sample town made once per process. A load either
// refuses with a DaxException or a false result, or succeeds; then the
// loaded world runs for a while and is saved again. Nothing may crash, hang
// or leak.
#include <zlib.h>

#include <string>

#include "dax2/dax_clock.h"
#include "dax2/dax_error.h"
#include "dax2/dax_ini.h"
#include "fuzz_support.h"
#include "rn_file_load.h"
#include "rn_file_save.h"
#include "rn_game.h"
#include "rn_trigger.h"
#include "world/save_town.h"

namespace {

const std::string kData = std::string(ZOR_SOURCE_DIR) + "/data/";

void freshWorld() {
    const std::string failed = savetown::loadSampleWorld(kData, false);
    FUZZ_CHECK(failed.empty(), "the sample world does not load: " + failed);
}

// The sample town's save, unpacked: the edits work on the plain bytes, and
// the loader takes plain files as well as gzip ones.
const std::string& townSave() {
    static const std::string bytes = [] {
        freshWorld();
        FUZZ_CHECK(savetown::buildTown().empty(), "the town cannot be built");
        savetown::runHours(24 * 3);
        const std::string path = fuzzTempDir() + "town.sav";
        FUZZ_CHECK(RnSaveWriter::saveGame(path, true), "the town cannot be saved");
        std::string out;
        gzFile g = gzopen(path.c_str(), "rb");
        FUZZ_CHECK(g != nullptr, "the town's save cannot be read");
        char buf[65536];
        int got;
        while ((got = gzread(g, buf, sizeof(buf))) > 0) out.append(buf, static_cast<size_t>(got));
        gzclose(g);
        return out;
    }();
    return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzInitFramework();
    FuzzInput in(data, size);
    std::string file;
    bool whole_town = false;
    if (in.byte() % 4 == 0) {
        file = in.rest();
    } else {
        whole_town = in.empty();
        file = townSave();
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
    freshWorld();
    const std::string path = fuzzWriteFile("input.sav", file);
    bool loaded = false;
    try {
        loaded = RnSaveLoader::loadGame(path);
    } catch (const DaxException&) {
    }
    FUZZ_CHECK(loaded || !whole_town, "the town's own save does not load");
    if (loaded) {
        // What the file let in must run: a game day and a half, unpaused,
        // at the speed it was saved with.
        dax_gameclock.setPaused(false);
        for (int tick = 0; tick < 1200; ++tick) {
            dax_gameclock.tick();
            grn_game.update();
        }
        FUZZ_CHECK(RnSaveWriter::saveGame(fuzzTempDir() + "again.sav", true), "a loaded world cannot be saved");
    }
    grn_trigger.reset();
    fuzzForgetLog();
    return 0;
}
