// The world's caches change nothing that happens in a town. The sample town
// and a generated town of 2000 buildings, changed by a player as they run
// (roads and buildings of every kind taken down and put up again while
// walkers are out), play 30 game days with every cache off, with every
// cache on and with each cache alone off, and save the same bytes. Played,
// saved and loaded over a fresh world, they play on the same with every
// cache off and on. A difference is named by the part of the save it falls
// in (section, type, object id and tile) and by the other parts that differ,
// so that a cache's author finds the object that went another way.
//
// Under the sanitizers the generated town is not played once more for each
// cache alone: there a game day of it takes over a second.
// ZOR_OUTCOME_DAYS=n plays every town n days instead.
//
// The runs with every cache off print a digest of their save, section by
// section. A change that is not a switchable cache (a map turned into an
// array) is checked by running these tests on the commit before it and on
// the change and comparing the printed digests.
#include <allegro5/allegro.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "dax2/dax_random.h"
#include "gen_town.h"
#include "rn_bld_stor.h"
#include "rn_game_update.h"
#include "rn_map.h"
#include "save_fixture.h"
#include "support/sample_world_ids.h"

using namespace worldtest;

namespace {

using namespace sample_world;

constexpr uint32_t kSeed = 2024;  // the town's random draws after it is laid

// Whether the sanitizers are built in: they make the generated town some
// twenty times slower.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
#else
constexpr bool kSanitized = false;
#endif

// Game days to play: days, or ZOR_OUTCOME_DAYS when it is set.
int daysToPlay(int days) {
    const char* env = std::getenv("ZOR_OUTCOME_DAYS");
    const int set = env ? std::atoi(env) : 0;
    return set > 0 ? set : days;
}

// A town the tests play: how its empty world is made, how the town is laid
// on it, and what the player takes down and puts up again as it runs.
struct Town {
    std::string name;
    std::function<std::string()> land;
    std::function<std::string()> build;
    std::vector<gentown::Site> buildings;
    std::vector<gentown::Site> roads;
    int hours_per_change = 12;
    size_t most_down = 4;
    int days = 30;         // played from the start
    int days_loaded = 10;  // played before the save that is loaded, and after
};

// The sample town of the save tests, with empty houses along the north road
// to grow into; the player changes a building or a piece of road twice a
// game day.
Town sampleTown() {
    Town t;
    t.name = "sample town";
    t.land = [] { return savetown::loadSampleWorld(kSampleData); };
    t.build = [] {
        std::string failed = savetown::buildTown();
        for (int y = 18; y <= 28 && failed.empty(); y += 2) {
            for (int x : {27, 30}) {
                if (!gentown::place({RnIdBldHous, kHouse, x, y, x, y}))
                    failed = "house at " + std::to_string(x) + "," + std::to_string(y);
            }
        }
        return failed;
    };
    auto one = [](int16_t kind, int32_t id, int x, int y) { return gentown::Site{kind, id, x, y, x, y}; };
    t.buildings = {
        one(RnIdBldHous, kHouse, 22, 29),        one(RnIdBldHous, kHouse, 25, 29),
        one(RnIdBldHous, kHouse, 32, 29),        one(RnIdBldHous, kHouse, 30, 20),
        one(RnIdBldServ, kWell, 22, 31),         one(RnIdBldStor, kStorehouse, 25, 32),
        one(RnIdBldStor, kStorehouse, 27, 38),   one(RnIdBldMrkt, kMarket, 32, 32),
        one(RnIdBldBldr, kBuilderYard, 35, 31),  one(RnIdBldProd, kWoodcutter, 21, 16),
        one(RnIdBldProd, kSawmill, 27, 34),      one(RnIdBldProd, kFarm, 30, 36),
        one(RnIdBldDeco, kGarden, 36, 31),       one(RnIdBldDeco, kFountain, 20, 31),
    };
    t.roads = {one(RnIdBldRoad, kRoad, 28, 24), one(RnIdBldRoad, kRoad, 24, 30), one(RnIdBldRoad, kRoad, 33, 30),
               one(RnIdBldRoad, kRoad, 28, 35), one(RnIdBldRoad, kRoad, 25, 16)};
    t.hours_per_change = 12;
    t.most_down = 4;
    return t;
}

// A generated town of a few thousand buildings on a map of its own; the
// player changes a building or a piece of road every four game hours.
Town generatedTown() {
    const gentown::Plan plan{160, 2000, false};
    Town t;
    t.name = "generated town";
    t.land = [plan] {
        dax_config.search_path_ = {kSampleData};
        dax_strings.loadFile((kSampleData + "zor.en.txt").c_str(), false);
        grn_trigger.reset();
        return gentown::makeLand(plan);
    };
    t.build = [plan] { return gentown::placeTown(plan); };
    t.buildings = gentown::lots(plan);
    t.roads = gentown::roadPieces(plan);
    t.hours_per_change = 4;
    t.most_down = 12;
    return t;
}

RnCacheSwitches allCaches(bool on) {
    RnCacheSwitches s;
    s.setAll(on);
    return s;
}

// Every cache on but one, by name. A new switch belongs in this list.
static_assert(sizeof(RnCacheSwitches) == 7, "a new cache switch belongs in eachCacheAloneOff");
std::vector<std::pair<std::string, RnCacheSwitches>> eachCacheAloneOff() {
    std::vector<std::pair<std::string, RnCacheSwitches>> out;
    const std::pair<const char*, bool RnCacheSwitches::*> caches[] = {
        {"flood_reach_", &RnCacheSwitches::flood_reach_},
        {"flood_kinds_", &RnCacheSwitches::flood_kinds_},
        {"building_index_", &RnCacheSwitches::building_index_},
        {"finished_walkers_", &RnCacheSwitches::finished_walkers_},
        {"road_speed_", &RnCacheSwitches::road_speed_},
        {"flood_objects_", &RnCacheSwitches::flood_objects_},
        {"stor_trees_", &RnCacheSwitches::stor_trees_},
    };
    for (const auto& [name, member] : caches) {
        RnCacheSwitches s = allCaches(true);
        s.*member = false;
        out.emplace_back(std::string(name) + " alone off", s);
    }
    return out;
}

// Saves are written plain: compressing megabytes of a town for a
// comparison would cost more than the comparison.
ALLEGRO_FILE* openPlain(const char* path, const char* mode) { return al_fopen(path, mode); }

class CacheOutcome : public SaveTest {
protected:
    // Called at the end of every game hour a town plays, with the hour.
    using Meddle = std::function<void(int hour)>;

    void SetUp() override {
        SaveTest::SetUp();
        saved_caches_ = grn_caches;
        RnSaveWriter::setOpenHook(openPlain);
    }
    void TearDown() override {
        grn_caches = saved_caches_;
        SaveTest::TearDown();
    }

    // Plays the town with the caches as given for days and returns the
    // bytes it saves then. The town starts laid anew, or, with from, loaded
    // from that save over its fresh land. The player's changes and the
    // town's random draws start from the same seeds every time; meddle, when
    // given, may change the town after each hour.
    std::string play(const Town& town, const RnCacheSwitches& caches, int days, const std::string& from = "",
                     const Meddle& meddle = nullptr) {
        grn_caches = caches;
        // The log keeps only errors and serious problems of the game and its
        // objects (not the queue's trace of every job, which would cost more
        // than the town).
        dax_config.debug_level_ = 1;
        dax_config.debug_ltype_ = 1;
        dax_random.seed(kSeed);
        std::string failed = town.land();
        if (failed.empty()) failed = from.empty() ? town.build() : loadOver(from);
        EXPECT_EQ(failed, "") << town.name;
        if (!failed.empty()) return "";
        rnResetStatisticsMarks();
        dax_random.seed(kSeed);
        while (dax_gameclock.speed() < dax_gameclock.maxSpeed()) dax_gameclock.faster();
        gentown::Changes player(town.buildings, town.roads, kSeed, town.most_down);
        int tried = 0;
        int changed = 0;
        for (int hour = 1; hour <= days * 24; ++hour) {
            savetown::runHours(1);
            if (hour % town.hours_per_change == 0) {
                ++tried;
                changed += player.step().empty() ? 0 : 1;
            }
            if (meddle) meddle(hour);
        }
        clearConsole();
        // The player got to change the town most times it tried.
        EXPECT_GE(2 * changed, tried) << town.name;
        return unpacked(save(save_name_));
    }

    // A run playing in a child process beside this one: the child has the
    // world as it stood and leaves its save's bytes in a file.
    struct ChildRun {
        pid_t pid = -1;
        std::string bytes_file;
    };
    ChildRun startChild(const Town& town, const RnCacheSwitches& caches, int days, const std::string& from = "") {
        ChildRun run;
        run.bytes_file = writePlain("child.bytes", "");
        std::fflush(nullptr);
        run.pid = fork();
        if (run.pid == 0) {
            // A folder of its own: a save clears the temporary files it
            // finds in its folder, which would take the other's.
            const std::string folder = saves_.file("child/");
            mkdir(folder.c_str(), 0700);
            dax_config.save_dir_ = folder;
            save_name_ = "child/child.sav";
            const std::string bytes = play(town, caches, days, from);
            writePlain("child.bytes", bytes);
            std::fflush(nullptr);
            _exit(bytes.empty() || ::testing::Test::HasFailure() ? 1 : 0);
        }
        EXPECT_GT(run.pid, 0) << "fork failed";
        return run;
    }
    // The child's bytes once it has ended; "" when it failed (it said why).
    std::string finishChild(const ChildRun& run) {
        if (run.pid <= 0) return "";
        int status = 0;
        EXPECT_EQ(waitpid(run.pid, &status, 0), run.pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the child's run failed, status " << status;
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return "";
        return unpacked(run.bytes_file);
    }

    // Loads a save over the fresh land: "" or why it failed.
    static std::string loadOver(const std::string& path) {
        try {
            return RnSaveLoader::loadGame(path) ? "" : "refused";
        } catch (const DaxException& e) {
            return e.what();
        }
    }

    // The save of the town played its days with every cache off, played
    // once per test program and town: what the other runs are compared
    // with. Its digests are printed.
    const std::string& reference(const Town& town) {
        static std::map<std::string, std::string> done;
        auto it = done.find(town.name);
        if (it != done.end()) return it->second;
        const int days = daysToPlay(town.days);
        const std::string bytes = play(town, allCaches(false), days);
        printDigests(town, days, bytes);
        return done.emplace(town.name, bytes).first->second;
    }
    static void printDigests(const Town& town, int days, const std::string& bytes) {
        std::printf("%s after %d game days, every cache off: digest %s, %zu bytes\n%s", town.name.c_str(), days,
                    savebytes::digest(bytes).c_str(), bytes.size(), savebytes::sectionDigests(bytes).c_str());
    }

    // The town plays the same with every cache on as with every cache off.
    // The run with every cache off plays in a child process at the same
    // time, which halves the wait where a core is free.
    void everyCacheOnPlaysTheSame(const Town& town) {
        const int days = daysToPlay(town.days);
        const ChildRun off_run = startChild(town, allCaches(false), days);
        const std::string on = play(town, allCaches(true), days);
        const std::string off = finishChild(off_run);
        ASSERT_FALSE(off.empty());
        printDigests(town, days, off);
        EXPECT_EQ(savebytes::firstDifference(on, off), "") << town.name << ", every cache on against every cache off";
    }

    // ... and with each cache alone off.
    void eachCacheAloneOffPlaysTheSame(const Town& town) {
        const std::string& off = reference(town);
        ASSERT_FALSE(off.empty());
        for (const auto& [what, caches] : eachCacheAloneOff()) {
            EXPECT_EQ(savebytes::firstDifference(play(town, caches, daysToPlay(town.days)), off), "")
                << town.name << ", " << what << " against every cache off";
        }
    }

    // Played some days with every cache off, saved and loaded over its
    // fresh land, the town plays on some days the same with every cache off
    // and on: the caches are built anew after a load.
    void aLoadedTownPlaysOnTheSame(const Town& town) {
        const int days = daysToPlay(town.days_loaded);
        const std::string saved = play(town, allCaches(false), days);
        ASSERT_FALSE(saved.empty());
        const std::string from = writePlain("played.sav", saved);
        const ChildRun off_run = startChild(town, allCaches(false), days, from);
        const std::string on = play(town, allCaches(true), days, from);
        const std::string off = finishChild(off_run);
        ASSERT_FALSE(off.empty());
        EXPECT_EQ(savebytes::firstDifference(on, off), "")
            << town.name << " loaded and played on, every cache on against every cache off";
    }

    RnCacheSwitches saved_caches_;
    std::string save_name_ = "outcome.sav";
};

// Each town and part is a suite of its own, so that they run side by side.
class CacheOutcomeSampleTown : public CacheOutcome {};
class CacheOutcomeGeneratedTown : public CacheOutcome {};
class CacheOutcomeGeneratedTownEachCache : public CacheOutcome {};
class CacheOutcomeGeneratedTownLoaded : public CacheOutcome {};

TEST_F(CacheOutcomeSampleTown, EveryCacheOnPlaysAsEveryCacheOff) { everyCacheOnPlaysTheSame(sampleTown()); }
TEST_F(CacheOutcomeSampleTown, EachCacheAloneOffPlaysAsEveryCacheOff) { eachCacheAloneOffPlaysTheSame(sampleTown()); }
TEST_F(CacheOutcomeSampleTown, ALoadedTownPlaysOnTheSameWithCachesOnAndOff) {
    aLoadedTownPlaysOnTheSame(sampleTown());
}

TEST_F(CacheOutcomeGeneratedTown, EveryCacheOnPlaysAsEveryCacheOff) { everyCacheOnPlaysTheSame(generatedTown()); }
TEST_F(CacheOutcomeGeneratedTownEachCache, EachCacheAloneOffPlaysAsEveryCacheOff) {
    if (kSanitized) GTEST_SKIP() << "a run of the generated town per cache takes minutes under the sanitizers";
    eachCacheAloneOffPlaysTheSame(generatedTown());
}
TEST_F(CacheOutcomeGeneratedTownLoaded, ALoadedTownPlaysOnTheSameWithCachesOnAndOff) {
    aLoadedTownPlaysOnTheSame(generatedTown());
}

// The comparison itself: a town that went another way, if only by one
// random draw or one building, is caught, and the failure names the part
// of the save where it shows.
class CacheOutcomeHarness : public CacheOutcome {};

TEST_F(CacheOutcomeHarness, ATownThatWentAnotherWayIsCaughtAndNamed) {
    // The town's own days, whatever ZOR_OUTCOME_DAYS says: the changes
    // below come on its first and second day.
    const Town town = sampleTown();
    const std::string off = play(town, allCaches(false), town.days);
    ASSERT_FALSE(off.empty());
    struct Case {
        const char* what;
        Meddle meddle;
    };
    const Case cases[] = {
        {"one random draw more on the first day",
         [](int hour) {
             if (hour == 12) dax_random.real();
         }},
        {"one lot of wood more in a storehouse on the second day",
         [](int hour) {
             if (hour != 36) return;
             for (RnStor& s : grn_game.storType(0).instances_) {
                 ++s.goods_stored_[grn_game.goodsTypeIdx(kWood)].stored_nlots_;
                 break;
             }
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string went = play(town, allCaches(false), town.days, "", c.meddle);
        const std::string where = savebytes::firstDifference(went, off);
        EXPECT_NE(where, "");
        // Named by a part of the save the reader follows to its end.
        EXPECT_NE(where.find(", in "), std::string::npos) << where;
        EXPECT_EQ(where.find("unreadable"), std::string::npos) << where;
    }
}

TEST_F(CacheOutcomeHarness, ThePartsOfASaveNameEachObjectAndEndAtItsEnd) {
    // The sample town as it is laid has an object of every kind, a walker
    // of every kind and a storage network link; played, it has the
    // workforce and the trigger's values.
    const std::string laid = play(sampleTown(), allCaches(false), 0);
    const std::string& bytes = reference(sampleTown());
    for (const std::string* save : {&laid, &bytes}) {
        const std::vector<savebytes::Part> all = savebytes::parts(*save);
        ASSERT_FALSE(all.empty());
        // The parts follow one another without a gap to the end tag.
        EXPECT_EQ(all.front().begin, 0u);
        for (size_t i = 1; i < all.size(); ++i) EXPECT_EQ(all[i].begin, all[i - 1].end) << all[i].name;
        EXPECT_EQ(all.back().end, save->size());
        EXPECT_EQ(all.back().name, "end");
    }
    std::string sections;
    for (const savebytes::Part& p : savebytes::parts(laid)) {
        if (p.name.find(" / ") == std::string::npos) sections += p.name + "; ";
    }
    EXPECT_EQ(sections,
              "header; game fields; bitmap table; type tables; roads; houses; storages; services; productions; "
              "markets; decorations; builders; service walkers; production walkers; market walkers; "
              "storage walkers; builder walkers; map; view centre; trigger; end; ");
    const std::vector<savebytes::Part> parts = savebytes::parts(bytes);

    // A byte changed in the record of a house is named by it, as the one
    // part that differs.
    const savebytes::Part* house = nullptr;
    for (const savebytes::Part& p : parts) {
        if (!house && p.name.rfind("houses / type 5601 / [2:0,", 0) == 0 && p.name.find(" at ") != std::string::npos)
            house = &p;
    }
    ASSERT_NE(house, nullptr);
    std::string changed = bytes;
    changed[house->begin + 30] = static_cast<char>(changed[house->begin + 30] ^ 1);
    EXPECT_EQ(savebytes::firstDifference(changed, bytes),
              "sizes " + std::to_string(bytes.size()) + " and " + std::to_string(bytes.size()) +
                  ", first difference at " + std::to_string(house->begin + 30) + ", in " + house->name +
                  " (byte 30 of it); 1 of " + std::to_string(parts.size()) + " parts differ: " + house->name);

    // Bytes that stop early, or go on where the format does not, end in an
    // unreadable part instead of a wrong name.
    for (const std::string& broken : {bytes.substr(0, house->begin + 10), bytes.substr(0, 3) + std::string(8, 'x')}) {
        const std::vector<savebytes::Part> cut = savebytes::parts(broken);
        ASSERT_FALSE(cut.empty());
        EXPECT_EQ(cut.back().name.rfind("unreadable from here: ", 0), 0u) << cut.back().name;
        EXPECT_EQ(cut.back().end, broken.size());
    }
}

}  // namespace
