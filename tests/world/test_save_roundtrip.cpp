// A living town saved, loaded over a fresh world and saved again gives the
// same bytes; the loaded town then runs on as the original does.
#include <algorithm>
#include <cstdint>
#include <sstream>
#include <utility>
#include <vector>

#include "rn_bld_bldr.h"
#include "rn_bld_deco.h"
#include "rn_bld_hous.h"
#include "rn_bld_mrkt.h"
#include "rn_bld_prod.h"
#include "rn_bld_serv.h"
#include "rn_bld_stor.h"
#include "rn_wlk_bldr.h"
#include "rn_wlk_mrkt.h"
#include "rn_wlk_prod.h"
#include "rn_wlk_serv.h"
#include "rn_wlk_stor.h"
#include "save_fixture.h"

using namespace worldtest;

namespace {

class SaveRoundTripTest : public SaveTest {
protected:
    // An object named without its instance index, which a loaded world
    // gives anew: a building by its anchor, a walker by its home, its place
    // and where it is in its trip.
    static std::string name(const RnObjectID& id) {
        std::ostringstream out;
        out << id.kind_ << ":" << id.type_idx_;
        if (id.bld_idx_ == -1) return out.str() + " none";
        if (id.isRoadOrBuilding()) {
            const RnGenericBuilding* b = grn_game.liveBuilding(id);
            if (!b) return out.str() + " gone";
            out << "@" << b->pos_on_map_.x << "," << b->pos_on_map_.y;
        } else if (id.isWalker()) {
            const RnWalkerGeneric& w = grn_game.walkerByOid(id);
            out << " from " << name(w.home_oid_) << " to " << name(w.target_building_oid_) << " at "
                << w.from_.x_ << "," << w.from_.y_ << "/" << w.at_.x_ << "," << w.at_.y_ << "/" << w.to_.x_ << ","
                << w.to_.y_ << " times " << w.from_.time_.value() << "/" << w.at_.time_.value() << "/"
                << w.to_.time_.value() << " state " << std::hex << w.state_ << std::dec << " wakes "
                << w.wake_time_.value() << " image " << w.image_ << " steps";
            for (int k = 0; k < w.cachedSteps(); ++k) out << " " << static_cast<int>(w.steps_[k]);
        }
        return out.str();
    }

    // What the town holds, one line per item, free of instance indices: the
    // clock, money and people, every building's record, the walkers, the
    // update queue, the map and the trigger's globals.
    static std::string townState() {
        std::ostringstream out;
        out << "time " << dax_gameclock.gameTime().value() << "\nmoney " << grn_game.money_ << "\npopulation "
            << grn_game.population_ << " milestone " << grn_game.last_milestone_ << "\n";
        for (const RnPeoplType& pt : grn_game.peoplTypes())
            out << "people " << pt.id_ << ": " << pt.population_ << ", workers " << pt.workforce_.totalWorkers()
                << ", jobs " << pt.workforce_.totalJobs() << ", assigned " << pt.workforce_.totalAssignments() << "\n";
        // Buildings are never removed here, so their records (which name
        // buildings by index) compare as written.
        auto buildings = [&out](const auto& types) {
            for (const auto& t : types) {
                for (const auto& b : t.instances_) {
                    RnSaveBuffer record;
                    record.start();
                    b.save(record);
                    out << name(b.oid_) << ":";
                    const uint8_t* p = record.firstChunk()->data;
                    for (uint32_t k = 0; k < record.currentPos(); ++k) out << " " << static_cast<int>(p[k]);
                    out << "\n";
                }
            }
        };
        buildings(grn_game.roadTypes());
        buildings(grn_game.housTypes());
        buildings(grn_game.servTypes());
        buildings(grn_game.storTypes());
        buildings(grn_game.prodTypes());
        buildings(grn_game.mrktTypes());
        buildings(grn_game.decoTypes());
        buildings(grn_game.bldrTypes());
        std::vector<std::string> lines;
        auto walkers = [&lines](const auto& types) {
            for (const auto& t : types) {
                for (const auto& w : t.instances_) lines.push_back("walker " + name(w.oid_) + "\n");
            }
        };
        walkers(grn_game.servWalkerTypes());
        walkers(grn_game.prodWalkerTypes());
        walkers(grn_game.mrktWalkerTypes());
        walkers(grn_game.storWalkerTypes());
        walkers(grn_game.bldrWalkerTypes());
        std::sort(lines.begin(), lines.end());
        for (const std::string& l : lines) out << l;
        const RnGameUpdateQueue::JobList jobs = grn_game.updateQueue().jobs();
        out << "queue " << jobs.size() << " jobs, sequence " << grn_game.updateQueue().sequence() << "\n";
        for (const RnGameUpdateQueue::Job& j : jobs)
            out << "job " << j.time_for_next_update.value() << " seq " << j.seq << " "
                << (j.oid.kind_ >= RnIdScriptJob ? "script" : name(j.oid)) << "\n";
        // The map: what stands on each tile and its desirability, images
        // and flags, and how many walkers each tile lists.
        for (int x = 0; x < grn_map.size(); ++x) {
            for (int y = 0; y < grn_map.size(); ++y) {
                const RnMapTile& t = grn_map.tile(x, y);
                int on_tile = 0;
                for (RnObjectID w = t.walker_head_; w.bld_idx_ != -1; w = grn_game.walkerByOid(w).next_walker_)
                    ++on_tile;
                if (t.oid_.bld_idx_ == -1 && on_tile == 0 && t.desirability_ == 0) continue;
                out << "tile " << x << "," << y << " " << name(t.oid_) << " walkers " << on_tile << " attr "
                    << t.desirability_ << " images " << t.gnd_bmp_idx_ << "," << t.second_bmp_idx_ << " flags "
                    << t.flags_ << "\n";
            }
        }
        for (const RnScriptDataEntry& e : grn_trigger.scriptData())
            out << "script " << e.key_kind_ << " " << e.int_key_ << " " << e.str_key_ << " = " << e.value_kind_ << " "
                << e.int_value_ << " " << e.num_value_ << " " << e.str_value_ << "\n";
        return out.str();
    }

    // Whether every instance list is without holes: a loaded world numbers
    // its objects from 0 on, so only then are the saved ids the same.
    static bool withoutHoles() {
        bool none = true;
        auto check = [&none](const auto& types) {
            for (const auto& t : types) none = none && t.instances_.freeCount() == 0;
        };
        check(grn_game.roadTypes());
        check(grn_game.housTypes());
        check(grn_game.servTypes());
        check(grn_game.storTypes());
        check(grn_game.prodTypes());
        check(grn_game.mrktTypes());
        check(grn_game.decoTypes());
        check(grn_game.bldrTypes());
        check(grn_game.servWalkerTypes());
        check(grn_game.prodWalkerTypes());
        check(grn_game.mrktWalkerTypes());
        check(grn_game.storWalkerTypes());
        check(grn_game.bldrWalkerTypes());
        return none;
    }

    // The script's globals come in the order Lua keeps its tables, which
    // differs between a table built by the script and one restored from a
    // save; sorted by key within each table they compare.
    static void sortScriptData() {
        std::vector<RnScriptDataEntry>& data = grn_trigger.scriptData();
        size_t pos = 0;
        data = sortedLevel(data, pos);
    }
    static std::vector<RnScriptDataEntry> sortedLevel(const std::vector<RnScriptDataEntry>& data, size_t& pos) {
        std::vector<std::pair<std::string, std::vector<RnScriptDataEntry>>> items;
        while (pos < data.size() && data[pos].value_kind_ != kRnScriptTableEnd) {
            const RnScriptDataEntry& e = data[pos++];
            std::vector<RnScriptDataEntry> item{e};
            if (e.value_kind_ == kRnScriptTableStart) {
                std::vector<RnScriptDataEntry> inner = sortedLevel(data, pos);
                item.insert(item.end(), inner.begin(), inner.end());
                if (pos < data.size()) item.push_back(data[pos++]);
            }
            items.emplace_back(std::to_string(e.key_kind_) + ":" + std::to_string(e.int_key_) + ":" + e.str_key_,
                               item);
        }
        std::sort(items.begin(), items.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
        std::vector<RnScriptDataEntry> out;
        for (const auto& i : items) out.insert(out.end(), i.second.begin(), i.second.end());
        return out;
    }

    // Runs the town on for hours with a fixed random sequence (the
    // generator is not part of a save) and returns its state.
    static std::string runOn(int hours) {
        dax_random.seed(77);
        savetown::runHours(hours);
        sortScriptData();
        return townState();
    }

    // Walkers between two tiles, and walkers with steps cached.
    static void countMoving(int& moving, int& with_path) {
        auto count = [&](const auto& list) {
            for (const auto& t : list) {
                for (const auto& w : t.instances_) {
                    moving += w.phase() != RnWalkerPersData::kAtTile ? 1 : 0;
                    with_path += w.cachedSteps() > 0 ? 1 : 0;
                }
            }
        };
        count(grn_game.servWalkerTypes());
        count(grn_game.prodWalkerTypes());
        count(grn_game.mrktWalkerTypes());
        count(grn_game.storWalkerTypes());
        count(grn_game.bldrWalkerTypes());
    }
};

TEST_F(SaveRoundTripTest, ALivingTownSavedAndLoadedGivesTheSameBytesAndRunsOnAlike) {
    townWorld(24 * 20);
    // The town lives: people came and work, goods are made and carried, the
    // storages found each other and the trigger keeps its globals.
    EXPECT_GT(grn_game.peoplType(0).population_, 24u);
    EXPECT_GT(grn_game.peoplType(0).workforce_.totalAssignments(), 0);
    EXPECT_GE(grn_game.storType(0).network_.gr_.edgeCount(), 1);
    EXPECT_GT(grn_trigger.scriptData().size(), 3u);

    // A loaded town numbers its objects from 0 on, so its first save
    // names them as the original's save did only where the instance lists
    // had no holes; walkers that came home left some by now.
    EXPECT_FALSE(withoutHoles());
    ASSERT_EQ(loadFresh(save("start.sav")), "");
    ASSERT_TRUE(withoutHoles());

    // Saved at several moments (walkers at tiles and between them, timers
    // pending, lists with and without holes), each save loaded over a fresh
    // world, and both towns run on past the next moment, across a weekly
    // grant of the trigger.
    int moving = 0;
    int with_path = 0;
    int exact = 0;
    const int32_t money_before = grn_game.money_;
    for (int round = 0; round < 5; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        countMoving(moving, with_path);
        const bool same_ids = withoutHoles();
        sortScriptData();
        const std::string state_a = townState();
        const std::string bytes_a = unpacked(save("a.sav"));
        ASSERT_GT(bytes_a.size(), 1000u);
        const std::string original = runOn(53);

        ASSERT_EQ(loadFresh(saves_.file("a.sav")), "");
        EXPECT_EQ(townState(), state_a);
        const std::string bytes_b = unpacked(save("b.sav"));
        if (same_ids) {
            EXPECT_EQ(firstDifference(bytes_b, bytes_a), "");
            ++exact;
        }
        // A loaded world saves what it loaded.
        ASSERT_EQ(loadFresh(saves_.file("b.sav")), "");
        EXPECT_EQ(firstDifference(unpacked(save("c.sav")), bytes_b), "");

        EXPECT_EQ(runOn(53), original);
    }
    EXPECT_GT(exact, 0);
    EXPECT_GT(moving, 0);
    EXPECT_GT(with_path, 0);
    EXPECT_NE(grn_game.money_, money_before);
}

}  // namespace
