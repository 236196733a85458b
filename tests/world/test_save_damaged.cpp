// Saves damaged or edited by hand. A real save of the sample town changed one
// field at a time: each is refused with a message that says why, the load
// list does not offer what the load refuses for its game fields, and the game
// goes on (the intact save loads and plays afterwards). Files cut anywhere,
// with a wrong record size or with random damage are refused without a
// crash.
#include <climits>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <random>

#include "rn_bld_hous.h"
#include "rn_bld_serv.h"
#include "rn_map.h"
#include "save_fixture.h"

using namespace worldtest;

namespace {

class SaveDamagedTest : public SaveTest {
protected:
    // What the loading screen shows the player when the load of path over a
    // fresh world fails: the refusal's text, or, when the loader only
    // returned false, the last error it logged. "" when it loaded.
    std::string playerSees(const std::string& path) {
        clearConsole();
        const std::string why = loadFresh(path);
        if (why != "false") return why;
        std::string last = "false";
        DaxMutexLock lock(DaxLog::consoleMutex());
        for (const DaxConsoleEntry& e : DaxLog::consoleQueue()) {
            if (e.important) last = e.text;
        }
        return last;
    }
    // The game goes on after a refusal: the intact save loads over a fresh
    // world, plays a game hour and is saved again. "" or what failed.
    std::string goesOn(const std::string& intact) {
        const std::string why = loadFresh(intact);
        if (!why.empty()) return "the intact save does not load: " + why;
        const uint32_t before = dax_gameclock.gameTime().value();
        dax_gameclock.setPaused(false);
        savetown::runHours(1);
        if (dax_gameclock.gameTime().value() <= before) return "the clock stands";
        if (!RnSaveWriter::saveGame(saves_.file("after.sav"), true)) return "it cannot be saved";
        return "";
    }
    // Loads bytes written as a plain file over a fresh world.
    std::string loadBytes(const std::string& bytes) { return loadFresh(writePlain("damaged.sav", bytes)); }
    static std::string fileBytes(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }
    static void setDoubleAt(std::string& bytes, size_t at, double v) {
        uint64_t u;
        std::memcpy(&u, &v, 8);
        for (int i = 0; i < 8; ++i) bytes[at + static_cast<size_t>(i)] = static_cast<char>(u >> (8 * i));
    }
};

TEST_F(SaveDamagedTest, ASaveRefusedByTheListOrByTheLoaderIsNamedInTheLog) {
    // The reasons ("not a zor save game file", "couldn't read 4 bytes from
    // file") do not say which file they are about.
    freshWorld();
    const std::string whole = save("whole.sav");
    const std::string packed = fileBytes(whole);
    const std::string cut = writePlain("cut.sav", packed.substr(0, packed.size() / 2));
    const std::string foreign = writePlain("foreign.sav", "not a save at all");
    const std::string short_header = writePlain("short.sav", "zor\1\0");
    for (const std::string& refused : {foreign, short_header}) {
        clearConsole();
        RnSaveSummary summary;
        EXPECT_FALSE(RnSaveLoader::verifyGame(refused, summary)) << refused;
        EXPECT_TRUE(loggedContaining("save game file " + refused + " can't be loaded")) << refused;
    }
    clearConsole();
    const std::string why = loadFresh(cut);
    EXPECT_NE(why, "");
    EXPECT_NE(why, "false");
    EXPECT_TRUE(loggedContaining("save game file " + cut + " can't be loaded"));
    // The loading screen shows the last error of a header refusal: its
    // reason, under the file's path.
    EXPECT_EQ(playerSees(foreign), "not a zor save game file");
    clearConsole();
    EXPECT_EQ(loadFresh(whole), "");
    EXPECT_FALSE(loggedContaining("can't be loaded"));
}

TEST_F(SaveDamagedTest, EditedFieldsAreRefusedWithWhyAndTheGameGoesOn) {
    townWorld(24);
    const std::string intact = save("town.sav");
    const std::string plain = unpacked(intact);
    const std::string packed = fileBytes(intact);
    ASSERT_GT(packed.size(), 8u);
    const Prefix prefix = scanPrefix(plain);
    const size_t fields = prefix.game_fields;
    const size_t memento = prefix.bitmap_tag - 8 - 24;
    const size_t milestone = prefix.bitmap_tag - 4;
    // The trigger's period follows its function's name.
    const size_t period = findOnce(plain, le32(5) + "daily") + 9;
    // The trigger's script path, "triggers/green_valley.lua".
    const size_t script = findOnce(plain, "triggers/green_valley.lua");
    auto text = [](size_t at, const char* v) -> std::function<void(std::string&)> {
        return [=](std::string& b) { b.replace(at, std::strlen(v), v); };
    };
    // The first house's record (after its block's head, highest level and
    // count): its state word at +20, flags at +24, first timer at +28.
    const size_t house =
        findOnce(plain, le32(kRnTagInstances) + le32(RnIdBldHous) + le32(1) + le32(savetown::kHouse)) + 28;
    // A sample map of 64 by 64 tiles houses at most this many people.
    const std::string most = std::to_string(64 * 64 * static_cast<int64_t>(RnHousPersData::kPeopleMask));
    const std::string dwellers = std::to_string((int32At(plain, house + 20) >> RnHousPersData::kPeopleShift) &
                                                RnHousPersData::kPeopleMask);

    using Edit = std::function<void(std::string&)>;
    auto at32 = [](size_t at, int32_t v) -> Edit { return [=](std::string& b) { setInt32At(b, at, v); }; };
    struct Case {
        const char* what;
        bool gzip;  // the edit works on the packed file, else on the plain bytes
        Edit edit;
        std::string sees;  // the start of what the player is told; % stands for the file
        bool offered;      // whether the load list still offers the file
    } cases[] = {
        {"trigger period 0", false, at32(period, 0), "trigger period 0 is not between 1 and 168 hours", true},
        {"trigger period -1", false, at32(period, -1), "trigger period -1 is not between 1 and 168 hours", true},
        {"trigger period 169", false, at32(period, 169), "trigger period 169 is not between 1 and 168 hours", true},
        {"trigger period INT_MAX", false, at32(period, INT_MAX),
         "trigger period 2147483647 is not between 1 and 168 hours", true},
        {"trigger script with an absolute path", false, text(script, "/"),
         "trigger script '/riggers/green_valley.lua' is outside the game's folders", true},
        {"trigger script in a parent folder", false, text(script, "../../../"),
         "trigger script '../../../green_valley.lua' is outside the game's folders", true},
        {"population -1", false, at32(fields + 4, -1), "population -1 is not between 0 and " + most, false},
        {"population beyond the map", false, at32(fields + 4, 64 * 64 * 1023 + 1),
         "population 4190209 is not between 0 and " + most, false},
        {"milestone -1", false, at32(milestone, -1), "last population milestone -1 is not between 0 and " + most,
         false},
        {"map side 0", false, at32(fields + 8, 0), "map side 0 is not between 1 and 5792", false},
        {"map side beyond any map", false, at32(fields + 8, RnMap::kMaxSide + 1),
         "map side 5793 is not between 1 and 5792", false},
        {"map side of another map", false, at32(fields + 8, 65), "map has changed size, can't load", true},
        {"desirability range 0", false, [=](std::string& b) { b[fields + 12] = 0; },
         "desirability range 0 is not between 1 and 15", false},
        {"game time before the start", false, [=](std::string& b) { setDoubleAt(b, memento + 8, -1.0); },
         "game time -1 is out of range", false},
        {"game time beyond the timers", false, [=](std::string& b) { setDoubleAt(b, memento + 8, 2e9); },
         "game time 2400000000 is out of range", false},
        {"a timer beyond the clock's range", false, at32(house + 28, INT32_MIN),
         "time 2147483648 in the save is out of range", true},
        {"a ruin with people", false, [=](std::string& b) { b[house + 24 + 3] |= 1; },
         "house [2:0,0] is a ruin with " + dwellers + " people", true},
        // zlib gives nothing of a small file whose checksum fails.
        {"gzip checksum", true, [](std::string& b) { b[b.size() - 8] ^= 1; },
         "save game file is damaged: %: incorrect data check", false},
        {"cut inside the gzip trailer", true, [](std::string& b) { b.resize(b.size() - 3); },
         "save game file is damaged: %: unexpected end of file", true},
        {"gzip trailer cut off", true, [](std::string& b) { b.resize(b.size() - 8); },
         "save game file is damaged: %: unexpected end of file", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string bytes = c.gzip ? packed : plain;
        c.edit(bytes);
        const std::string path = writePlain("damaged.sav", bytes);
        std::string want = c.sees;
        if (want.find('%') != std::string::npos) want.replace(want.find('%'), 1, path);
        const std::string sees = playerSees(path);
        EXPECT_EQ(sees.find(want), 0u) << sees;
        RnSaveSummary summary;
        EXPECT_EQ(RnSaveLoader::verifyGame(path, summary), c.offered);
        EXPECT_EQ(goesOn(intact), "");
    }
}

TEST_F(SaveDamagedTest, TotalsAreTakenFromTheWorld) {
    townWorld(24);
    const uint32_t people = grn_game.population_;
    ASSERT_GT(people, 0u);
    // A walker of the well's on its way, counted out as a departure does.
    const RnObjectID well = grn_map.tile(22, 31).oid_;
    savetown::sendServiceWalker();
    RnServ& sender = grn_game.servByOid(well);
    rnSetWalkersOut(sender, sender.walkersOut() + 1);
    const int out = sender.walkersOut();
    ASSERT_LT(out, 5);
    const std::string out_text = "[3:0,0] has " + std::to_string(out) + " walkers out, not ";
    std::string bytes = unpacked(save("town.sav"));
    const size_t population = scanPrefix(bytes).game_fields + 4;
    // The well's flags word: bits 5 to 7 count its walkers out.
    const size_t well_flags =
        findOnce(bytes, le32(kRnTagInstances) + le32(RnIdBldServ) + le32(1) + le32(savetown::kWell)) + 24 + 20;
    const std::string taken = " of the save taken as the " + std::to_string(people) + " people in the houses";
    struct Case {
        int32_t population;
        uint8_t walkers_out;
        std::string logged;
    } cases[] = {
        {0, static_cast<uint8_t>(out), "population 0" + taken},
        {1000, static_cast<uint8_t>(out), "population 1000" + taken},
        {static_cast<int32_t>(people), 5, out_text + "5"},
        {static_cast<int32_t>(people), 0, out_text + "0"},
    };
    for (const Case& c : cases) {
        std::string edited = bytes;
        setInt32At(edited, population, c.population);
        edited[well_flags] = static_cast<char>((edited[well_flags] & ~0xE0) | (c.walkers_out << 5));
        clearConsole();
        EXPECT_EQ(loadFresh(writePlain("totals.sav", edited)), "");
        EXPECT_EQ(grn_game.population_, people);
        EXPECT_EQ(grn_game.servByOid(well).walkersOut(), out);
        EXPECT_TRUE(loggedLine(c.logged)) << c.logged;
    }
}

TEST_F(SaveDamagedTest, DamagedFilesAreRefusedWithoutACrash) {
    townWorld();
    const std::string town = unpacked(save("town.sav"));
    std::vector<size_t> cuts;
    // Cut before and after every tag (and the places that merely look like
    // one), inside the header and one byte short of the end.
    for (int32_t tag = kRnTagEnd; tag <= kRnTagMiniMap; ++tag) {
        for (size_t at : find32(town, tag)) {
            cuts.push_back(at);
            cuts.push_back(at + 4);
        }
    }
    cuts.push_back(2);
    cuts.push_back(40);
    cuts.push_back(town.size() - 1);
    for (size_t cut : cuts) {
        if (cut >= town.size()) continue;
        EXPECT_NE(loadBytes(town.substr(0, cut)), "") << cut;
    }
    // Every entry of the record-size table.
    for (int i = 0; i < kRnSaveTypeSizeCount; ++i) {
        std::string bytes = town;
        bytes[19 + 4 * static_cast<size_t>(i)] ^= 0x10;
        EXPECT_EQ(loadBytes(bytes).find(std::string("incompatible data types in savegame: ") + kRnSaveTypeSizes[i].name),
                  0u) << i;
    }
    // Random damage anywhere after the header: a clean refusal or a load.
    std::mt19937 rng(20260519);
    int refused = 0;
    for (int round = 0; round < 150; ++round) {
        std::string bytes = town;
        const int flips = 1 + static_cast<int>(rng() % 4);
        for (int k = 0; k < flips; ++k) {
            const size_t at = 155 + rng() % (bytes.size() - 155);
            bytes[at] = static_cast<char>(rng() % 3 == 0 ? 0xFF : bytes[at] ^ (1 << (rng() % 8)));
        }
        if (!loadBytes(bytes).empty()) ++refused;
    }
    EXPECT_GT(refused, 10);
}

}  // namespace
