// The sample town lives a game year at top speed, and every game month its
// own autosave is checked as the load list checks it, loaded over a fresh
// world and played on from there, with a building taken down or put up
// again by the player: every load passes the loader's checks, the loaded
// town is the one saved, and nothing is logged as trouble.
#include <iterator>
#include <regex>
#include <string>
#include <vector>

#include "dax2/dax_random.h"
#include "rn_map.h"
#include "save_fixture.h"
#include "support/town_facts.h"

using namespace worldtest;

namespace {

// The tick services of the game as far as the world has them: the trigger,
// the statistics and the autosave, which is written in the background as
// in the game; its path is noted for the test.
struct AutosavingServices : RnTriggerTickServices {
    void reportSaveError() override { RnSaveWriter::reportSaveError(); }
    void autoSave() override {
        paths.push_back(rnSaveDir() + grn_config.autosave_ + rnSaveDatedPart() + grn_config.savegame_suffix_);
        RnSaveWriter::autoSave();
    }
    std::vector<std::string> paths;
};

// Type ids of the sample data model.
enum : int32_t { kRoad = 5501, kHouse = 5601, kWell = 5701, kStorehouse = 5751, kMarket = 5801, kSawmill = 5902 };

// What the player changes after each month's load, in turn.
struct Change {
    const char* what;
    bool demolish;
    int16_t kind;
    int32_t id;
    int x, y;
};
const Change kChanges[] = {
    {"a house taken down", true, RnIdBldHous, kHouse, 30, 20},
    {"the market taken down", true, RnIdBldMrkt, kMarket, 32, 32},
    {"the house put up again", false, RnIdBldHous, kHouse, 30, 20},
    {"the market put up again", false, RnIdBldMrkt, kMarket, 32, 32},
    {"a storehouse taken down", true, RnIdBldStor, kStorehouse, 27, 38},
    {"the storehouse put up again", false, RnIdBldStor, kStorehouse, 27, 38},
    {"the well taken down", true, RnIdBldServ, kWell, 22, 31},
    {"the well put up again", false, RnIdBldServ, kWell, 22, 31},
    {"the sawmill taken down", true, RnIdBldProd, kSawmill, 27, 34},
    {"the sawmill put up again", false, RnIdBldProd, kSawmill, 27, 34},
    {"a piece of road taken up", true, RnIdBldRoad, kRoad, 28, 24},
    {"the road laid again", false, RnIdBldRoad, kRoad, 28, 24},
};

// Builds as the player does: preview, then the order.
bool build(int16_t kind, int32_t id, int x, int y) {
    return savetown::place(kind, id, x, y, x, y) && grn_map.tile(x, y).oid_.kind_ == kind;
}
using savetown::demolish;

class SaveSoakTest : public SaveTest {
protected:
    void SetUp() override {
        SaveTest::SetUp();
        grn_game.setTickServices(&autosaving_);
    }

    // The log from here on keeps errors and serious problems of the game
    // and its objects (classes 1 and 2), the traces of the path finder and
    // the workforce left out: the town and its saves must log none.
    static void logTroubleOnly() {
        dax_config.debug_level_ = 1;
        dax_config.debug_ltype_ = 1 | 2;
        clearConsole();
    }

    // Moves the lines logged since the last call into trouble, but for the
    // update queue's trace of its jobs and what a save tells the player.
    static void noteTrouble(std::vector<std::string>& trouble) {
        static const std::regex usual(
            "(pop|add|rem) -?[0-9]+ -?[0-9]+ \\[-?[0-9]+:-?[0-9]+,-?[0-9]+\\]"
            "|Game saved to [^ ]+\\.sav [0-9]+ bytes"
            "|Saving [^ ]+\\.sav with [0-9]+ bytes\\.\\.\\.");
        for (const std::string& t : consoleTexts()) {
            if (!std::regex_match(t, usual)) trouble.push_back(t);
        }
        clearConsole();
    }

    AutosavingServices autosaving_;
};

TEST_F(SaveSoakTest, TheSampleTownLivesAYearSavedAndLoadedEveryMonth) {
    freshWorld();
    ASSERT_EQ(savetown::buildTown(), "");
    // Empty houses along the north road, for the town to grow into.
    int empty_houses = 0;
    for (int y = 18; y <= 28; y += 2) {
        for (int x : {27, 30}) empty_houses += build(RnIdBldHous, kHouse, x, y) ? 1 : 0;
    }
    EXPECT_GE(empty_houses, 8);
    grn_config.freq_autosave_ = 2;
    dax_random.seed(2024);
    while (dax_gameclock.speed() < dax_gameclock.maxSpeed()) dax_gameclock.faster();
    logTroubleOnly();

    const DaxGameTime start = dax_gameclock.gameTime();
    const uint32_t end = start.value() + DaxGameTime::kPerYear;
    const uint32_t population_at_start = grn_game.population_;
    int loads = 0;
    std::vector<std::string> trouble;
    while (dax_gameclock.gameTime().value() < end && !HasFatalFailure()) {
        dax_gameclock.tick();
        grn_game.update();
        if (autosaving_.paths.size() == static_cast<size_t>(loads)) continue;

        // A new month: its autosave, once written, read as the load list
        // reads it, then loaded over a fresh world, which plays on.
        RnSaveWriter::waitIdle();
        const std::string path = autosaving_.paths.back();
        SCOPED_TRACE(path);
        const std::string saved = townfacts::facts();
        RnSaveSummary summary;
        ASSERT_TRUE(RnSaveLoader::verifyGame(path, summary));
        EXPECT_EQ(summary.money, grn_game.money_);
        EXPECT_EQ(summary.population, static_cast<int32_t>(grn_game.population_));
        EXPECT_EQ(summary.game_time.value(), dax_gameclock.gameTime().value());
        EXPECT_EQ(summary.game_name, grn_game.game_name_);
        ASSERT_EQ(loadFresh(path), "");
        ++loads;
        EXPECT_EQ(townfacts::facts(), saved);
        // A loaded town saves what it loaded.
        const std::string once = unpacked(save("check.sav"));
        ASSERT_EQ(loadFresh(saves_.file("check.sav")), "");
        EXPECT_EQ(firstDifference(unpacked(save("check.sav")), once), "");
        EXPECT_EQ(townfacts::facts(), saved);
        noteTrouble(trouble);
        // The player changes the town a little each month: a building of
        // each kind taken down while its walkers are out or others count
        // on it, and put up again the month after.
        if (static_cast<size_t>(loads) <= std::size(kChanges)) {
            const Change& c = kChanges[loads - 1];
            SCOPED_TRACE(c.what);
            if (c.demolish) {
                EXPECT_TRUE(demolish(c.x, c.y));
            } else {
                EXPECT_TRUE(build(c.kind, c.id, c.x, c.y));
            }
        }
    }
    noteTrouble(trouble);
    EXPECT_EQ(loads, 12);
    EXPECT_EQ(trouble, std::vector<std::string>());
    // The town lived on: people moved into the empty houses and work.
    EXPECT_GT(grn_game.population_, population_at_start);
    EXPECT_GT(grn_game.peoplType(0).workforce_.totalAssignments(), 0);
    // The newest autosaves are kept, the older ones removed.
    std::vector<RnSaveListEntry> listed = RnSaveLoader::listSaves();
    int autosaves = 0;
    for (const RnSaveListEntry& e : listed) autosaves += e.name.rfind(grn_config.autosave_, 0) == 0 ? 1 : 0;
    EXPECT_EQ(autosaves, grn_config.max_autosaves_);
}

}  // namespace
