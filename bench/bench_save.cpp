// Saving and loading big worlds: generated towns of the sample data model on
// maps of 256 and 690 tiles a side, run for some game hours so that people
// work and walkers are out.
//
// - BM_SaveStall: what the game thread spends on a save, up to the moment
//   the background flush takes over (opening the file and serialising the
//   world into the chunk chain); the flush itself runs after the timing.
//   Beside it BM_BareStallBaseline copies the same number of bytes into
//   preallocated chunks: the floor of producing the save's bytes.
// - BM_Load: RnSaveLoader::loadGame of the town's file over a fresh world
//   (prepared outside the timing, as the loading screen does), against
//   BM_BareLoadBaseline: plain gunzip of the same file plus a bare parse of
//   its bytes (every 4-byte word read little-endian and summed).
//
// Run with GLIBC_TUNABLES=glibc.malloc.trim_threshold=4294967295:
// glibc.malloc.mmap_threshold=4294967295 and compare each pair's times.
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <allegro5/allegro.h>
#include <allegro5/allegro_image.h>
#include <allegro5/allegro_primitives.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "dax2/dax_clock.h"
#include "dax2/dax_error.h"
#include "dax2/dax_ini.h"
#include "dax2/dax_random.h"
#include "rn_bld_bldr.h"
#include "rn_bld_deco.h"
#include "rn_bld_hous.h"
#include "rn_bld_mrkt.h"
#include "rn_bld_prod.h"
#include "rn_bld_road.h"
#include "rn_bld_serv.h"
#include "rn_bld_stor.h"
#include "rn_file_load.h"
#include "rn_file_save.h"
#include "rn_game.h"
#include "rn_map.h"
#include "rn_wlk_bldr.h"
#include "rn_wlk_mrkt.h"
#include "rn_wlk_prod.h"
#include "rn_wlk_serv.h"
#include "rn_wlk_stor.h"
#include "world/save_town.h"

namespace {

const std::string kData = std::string(ZOR_SOURCE_DIR) + "/data/";

void initFramework() {
    static bool done = false;
    if (done) return;
    done = true;
    setenv("DAX_MSGBOX", "silent", 1);
    if (!al_init() || !al_init_image_addon() || !al_init_primitives_addon()) std::abort();
    dax_config.debug_level_ = 0;
    dax_config.debug_ltype_ = 0;
    dax_config.log_path_.clear();
}

// A folder of its own for the saves, removed when the program ends.
const std::string& tempFolder() {
    struct Folder {
        std::string path;
        Folder() {
            char name[] = "/tmp/zor_bench_save_XXXXXX";
            if (!mkdtemp(name)) std::abort();
            path = std::string(name) + "/";
        }
        ~Folder() {
            std::error_code ignored;
            std::filesystem::remove_all(path, ignored);
        }
    };
    static const Folder folder;
    return folder.path;
}

// Forest in a band of blocks every eighth row, grass elsewhere.
bool isForest(int x, int y) {
    constexpr int kBlock = savetown::kGridBlock;
    return (y / kBlock) % 8 == 7 && x % kBlock != 0 && y % kBlock != 0;
}

// The sample world's model on an empty map of side tiles, as a loading
// screen has it before the town is built or a save is loaded.
void freshWorld(int side) {
    if (!savetown::loadSampleWorld(kData, false).empty()) std::abort();
    int16_t grass = -1;
    int16_t forest = -1;
    for (size_t i = 0; i < grn_game.terrains().size(); ++i) {
        if (grn_game.terrains()[i].floor_name_ == "grass_floor" && grass < 0) grass = static_cast<int16_t>(i);
        if (grn_game.terrains()[i].floor_name_ == "forest_floor") forest = static_cast<int16_t>(i);
    }
    if (grass < 0 || forest < 0) std::abort();
    dax_random.seed(4357);
    grn_map.createEmpty(static_cast<unsigned>(side));
    for (int x = 0; x < side; ++x) {
        for (int y = 0; y < side; ++y) {
            RnMapTile& t = grn_map.tile(x, y);
            t.terrain_idx_ = isForest(x, y) ? forest : grass;
            t.resetToTerrain();
        }
    }
    grn_game.money_ = 2000000000;
}

// A town over the whole map (savetown::buildGridTown), run for hours.
void buildTown(int side, int hours) {
    freshWorld(side);
    savetown::buildGridTown();
    savetown::runHours(hours);
}

// A big town saved once, unpacked; the fresh world of its side is made
// anew for every load.
struct SavedTown {
    int side = 0;
    std::string path;   // the gzip file the game writes
    std::string bytes;  // its content
    int buildings = 0;
    int walkers = 0;
};

// The live instances of the types of some kinds.
template <class... Types>
int liveCount(const Types&... types) {
    int n = 0;
    auto add = [&n](const auto& list) {
        for (const auto& t : list) n += t.instances_.liveCount();
    };
    (add(types), ...);
    return n;
}

std::string gunzipFile(const std::string& path) {
    std::string out;
    gzFile g = gzopen(path.c_str(), "rb");
    if (!g) std::abort();
    // The game's gzip files have a 32 KB buffer too.
    gzbuffer(g, 32 * 1024);
    char buf[256 * 1024];
    int got;
    while ((got = gzread(g, buf, sizeof(buf))) > 0) out.append(buf, static_cast<size_t>(got));
    gzclose(g);
    return out;
}

long fileSize(const std::string& path) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return -1;
    std::fseek(f, 0, SEEK_END);
    const long n = std::ftell(f);
    std::fclose(f);
    return n;
}

// The town of side tiles, built and saved on first use; the world holds it
// afterwards until another town is asked for.
SavedTown& town(int side) {
    static std::map<int, std::unique_ptr<SavedTown>> towns;
    static int current = 0;
    auto& slot = towns[side];
    if (!slot) {
        initFramework();
        slot.reset(new SavedTown);
        slot->side = side;
        slot->path = tempFolder() + "town" + std::to_string(side) + ".sav";
        buildTown(side, 24 * 3);
        slot->buildings = liveCount(grn_game.roadTypes(), grn_game.housTypes(), grn_game.servTypes(),
                                    grn_game.storTypes(), grn_game.prodTypes(), grn_game.mrktTypes(),
                                    grn_game.decoTypes(), grn_game.bldrTypes());
        slot->walkers = liveCount(grn_game.servWalkerTypes(), grn_game.prodWalkerTypes(), grn_game.mrktWalkerTypes(),
                                  grn_game.storWalkerTypes(), grn_game.bldrWalkerTypes());
        RnSaveWriter::saveGame(slot->path, true);
        slot->bytes = gunzipFile(slot->path);
        current = side;
        std::fprintf(stderr, "town of side %d: %d roads and buildings, %d walkers, %zu bytes (%ld packed)\n", side,
                     slot->buildings, slot->walkers, slot->bytes.size(), fileSize(slot->path));
    }
    if (current != side) {
        freshWorld(side);
        if (!RnSaveLoader::loadGame(slot->path)) std::abort();
        current = side;
    }
    return *slot;
}

void counters(benchmark::State& state, const SavedTown& t) {
    state.counters["MB"] = static_cast<double>(t.bytes.size()) / 1e6;
    state.counters["objects"] = t.buildings + t.walkers;
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(t.bytes.size()));
}

void BM_SaveStall(benchmark::State& state) {
    SavedTown& t = town(static_cast<int>(state.range(0)));
    const std::string path = tempFolder() + "stall.sav";
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        RnSaveWriter::saveGame(path, false);
        const auto end = std::chrono::steady_clock::now();
        state.SetIterationTime(std::chrono::duration<double>(end - start).count());
        RnSaveWriter::waitIdle();
    }
    counters(state, t);
}
BENCHMARK(BM_SaveStall)->Arg(256)->Arg(690)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_BareStallBaseline(benchmark::State& state) {
    SavedTown& t = town(static_cast<int>(state.range(0)));
    constexpr size_t kChunk = RnSaveBuffer::kChunkSize;
    std::vector<std::unique_ptr<uint8_t[]>> chunks;
    for (size_t at = 0; at < t.bytes.size(); at += kChunk) chunks.emplace_back(new uint8_t[kChunk]);
    for (auto& c : chunks) std::memset(c.get(), 0, kChunk);
    for (auto _ : state) {
        size_t at = 0;
        for (auto& c : chunks) {
            const size_t n = std::min(kChunk, t.bytes.size() - at);
            std::memcpy(c.get(), t.bytes.data() + at, n);
            at += n;
        }
        benchmark::ClobberMemory();
    }
    counters(state, t);
}
BENCHMARK(BM_BareStallBaseline)->Arg(256)->Arg(690)->Unit(benchmark::kMillisecond);

void BM_Load(benchmark::State& state) {
    SavedTown& t = town(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        freshWorld(t.side);
        const auto start = std::chrono::steady_clock::now();
        const bool ok = RnSaveLoader::loadGame(t.path);
        const auto end = std::chrono::steady_clock::now();
        if (!ok) state.SkipWithError("the town's save does not load");
        state.SetIterationTime(std::chrono::duration<double>(end - start).count());
    }
    counters(state, t);
}
BENCHMARK(BM_Load)->Arg(256)->Arg(690)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_BareLoadBaseline(benchmark::State& state) {
    SavedTown& t = town(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        const std::string bytes = gunzipFile(t.path);
        const uint8_t* p = reinterpret_cast<const uint8_t*>(bytes.data());
        uint32_t sum = 0;
        for (size_t i = 0; i + 4 <= bytes.size(); i += 4) sum += rnLoadLE<uint32_t>(p + i);
        benchmark::DoNotOptimize(sum);
    }
    counters(state, t);
}
BENCHMARK(BM_BareLoadBaseline)->Arg(256)->Arg(690)->Unit(benchmark::kMillisecond);

}  // namespace
