// The instance lists' table of live objects and their walkers by home
// follow the slots: through a random run of every change a list knows
// (objects added and removed, the list cleared, copied and moved, the
// switches turned off and on) and through what a town does to them
// (buildings placed, demolished and turned to ruin, walkers sent, finished,
// taken back and removed with their home, a save loaded).
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <random>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "rn_bld_bldr.h"
#include "rn_bld_deco.h"
#include "rn_bld_hous.h"
#include "rn_bld_mrkt.h"
#include "rn_bld_prod.h"
#include "rn_bld_road.h"
#include "rn_bld_serv.h"
#include "rn_bld_stor.h"
#include "rn_instances.h"
#include "rn_wlk_bldr.h"
#include "rn_wlk_mrkt.h"
#include "rn_wlk_prod.h"
#include "rn_wlk_serv.h"
#include "rn_wlk_stor.h"
#include "save_fixture.h"

using namespace worldtest;

namespace {

using namespace sample_world;

using HomeKey = std::tuple<int16_t, int16_t, int32_t>;
HomeKey keyOf(const RnObjectID& id) { return {id.kind_, id.type_idx_, id.bld_idx_}; }

// The switches as a test found them, put back when it ends.
class CachesKept {
public:
    CachesKept() : saved_(grn_caches) {}
    ~CachesKept() { grn_caches = saved_; }

private:
    RnCacheSwitches saved_;
};

// With the table kept, every instance index finds the object in its own
// slot or nothing, as the slots' flags say; the switch off finds the same.
template <class List>
void expectTableFollowsSlots(List& list, const std::string& what) {
    for (int32_t i = -1; i <= list.size() + 1; ++i) {
        const bool used = i >= 0 && i < list.size() && list.isUsed(i);
        grn_caches.building_index_ = false;
        auto* plain = list.find(i);
        grn_caches.building_index_ = true;
        auto* indexed = list.find(i);
        EXPECT_EQ(indexed, used ? &list[i] : nullptr) << what << ", instance " << i;
        EXPECT_EQ(indexed, plain) << what << ", instance " << i;
    }
}

// The walkers of each home are exactly those whose home it is, in instance
// order; those whose home names no building are the homeless ones; a home
// without walkers out has none.
template <class List>
void expectHomesFollowSlots(List& list, const std::vector<RnObjectID>& other_homes, const std::string& what) {
    std::map<HomeKey, std::vector<int32_t>> scanned;
    std::vector<int32_t> homeless;
    for (auto it = list.begin(); it != list.end(); ++it) {
        if (it->home_oid_.bld_idx_ == -1) {
            homeless.push_back(it.index());
        } else {
            scanned[keyOf(it->home_oid_)].push_back(it.index());
        }
    }
    grn_caches.finished_walkers_ = true;
    for (const auto& [key, walkers] : scanned) {
        const RnObjectID home(std::get<0>(key), std::get<1>(key), std::get<2>(key));
        EXPECT_EQ(list.walkersOf(home), walkers) << what << ", home [" << home.kind_ << ":" << home.type_idx_ << ","
                                                 << home.bld_idx_ << "]";
    }
    EXPECT_EQ(list.walkersOf(RnObjectID()), homeless) << what << ", walkers without a home";
    for (const RnObjectID& home : other_homes) {
        if (home.bld_idx_ == -1 || scanned.count(keyOf(home)) != 0) continue;
        EXPECT_TRUE(list.walkersOf(home).empty()) << what;
    }
}

// ---------------------------------------------------------------------------
// The lists on their own

struct Walker {
    RnObjectID home_oid_;
    int value_ = 0;
};

TEST(InstanceListTest, TableAndHomesFollowEveryChangeOfTheSlots) {
    CachesKept kept;
    grn_caches.setAll(true);
    const std::vector<RnObjectID> homes = {
        RnObjectID(RnIdBldServ, 0, 0), RnObjectID(RnIdBldServ, 0, 1), RnObjectID(RnIdBldStor, 1, 0),
        RnObjectID(RnIdBldProd, 0, 7), RnObjectID(RnIdBldProd, 0, -1),  // a home that did not come back
        RnObjectID(),                                                     // none at all
    };
    std::mt19937 random(7);
    auto pick = [&random](int n) { return static_cast<int>(random() % static_cast<uint32_t>(n)); };
    RnWalkerList<Walker> list;
    int next_value = 0;
    int clears = 0;
    int copies = 0;
    for (int step = 0; step < 3000; ++step) {
        const int what = pick(100);
        std::string done;
        if (what < 45) {
            Walker w;
            w.home_oid_ = homes[static_cast<size_t>(pick(static_cast<int>(homes.size())))];
            w.value_ = ++next_value;
            const int32_t idx = list.add(w);
            EXPECT_EQ(list[idx].value_, w.value_);
            done = "add";
        } else if (what < 85) {
            if (list.liveCount() == 0) continue;
            int32_t idx = pick(list.size());
            while (!list.isUsed(idx)) idx = (idx + 1) % list.size();
            list.remove(idx);
            done = "remove";
        } else if (what < 93) {
            // The switches turned off while the list changes, then on again.
            grn_caches.building_index_ = pick(2) == 0;
            grn_caches.finished_walkers_ = pick(2) == 0;
            done = "switches";
        } else if (what < 96) {
            // A copy has a table of its own slots, not of the list's.
            RnWalkerList<Walker> copy(list);
            grn_caches.setAll(true);
            expectTableFollowsSlots(copy, "a copy");
            expectHomesFollowSlots(copy, homes, "a copy");
            if (pick(2) == 0) {
                list = copy;
            } else {
                list = std::move(copy);
            }
            ++copies;
            done = "copy";
        } else if (what < 97) {
            list.clear();
            ++clears;
            done = "clear";
        } else {
            continue;
        }
        const RnCacheSwitches as_set = grn_caches;
        expectTableFollowsSlots(list, "after " + done + " at step " + std::to_string(step));
        expectHomesFollowSlots(list, homes, "after " + done + " at step " + std::to_string(step));
        grn_caches = as_set;
        if (::testing::Test::HasFailure()) break;
    }
    EXPECT_GT(clears, 0);
    EXPECT_GT(copies, 0);
}

// ---------------------------------------------------------------------------
// The lists of a town

// Calls fn with each building type's instance list and a name for it.
template <class Fn>
void eachBuildingList(Fn fn) {
    auto each = [&fn](auto& types, const char* kind) {
        for (size_t t = 0; t < types.size(); ++t) fn(types[t].instances_, std::string(kind) + " " + std::to_string(t));
    };
    each(grn_game.roadTypes(), "road");
    each(grn_game.housTypes(), "house");
    each(grn_game.servTypes(), "service");
    each(grn_game.storTypes(), "storage");
    each(grn_game.prodTypes(), "production");
    each(grn_game.mrktTypes(), "market");
    each(grn_game.decoTypes(), "decoration");
    each(grn_game.bldrTypes(), "builder");
}

template <class Fn>
void eachWalkerList(Fn fn) {
    auto each = [&fn](auto& types, const char* kind) {
        for (size_t t = 0; t < types.size(); ++t)
            fn(types[t].instances_, std::string(kind) + " walkers " + std::to_string(t));
    };
    each(grn_game.servWalkerTypes(), "service");
    each(grn_game.prodWalkerTypes(), "production");
    each(grn_game.mrktWalkerTypes(), "market");
    each(grn_game.storWalkerTypes(), "storage");
    each(grn_game.bldrWalkerTypes(), "builder");
}

// Every object id of the tables, live or not, beyond both ends of each
// list.
std::vector<RnObjectID> everyId() {
    std::vector<RnObjectID> ids;
    auto add = [&ids](auto& list, int16_t kind, int16_t type) {
        for (int32_t i = -1; i <= list.size() + 1; ++i) ids.emplace_back(kind, type, i);
    };
    auto each = [&add](auto& types, int16_t kind) {
        for (size_t t = 0; t < types.size(); ++t) add(types[t].instances_, kind, static_cast<int16_t>(t));
    };
    each(grn_game.roadTypes(), RnIdBldRoad);
    each(grn_game.housTypes(), RnIdBldHous);
    each(grn_game.servTypes(), RnIdBldServ);
    each(grn_game.storTypes(), RnIdBldStor);
    each(grn_game.prodTypes(), RnIdBldProd);
    each(grn_game.mrktTypes(), RnIdBldMrkt);
    each(grn_game.decoTypes(), RnIdBldDeco);
    each(grn_game.bldrTypes(), RnIdBldBldr);
    each(grn_game.servWalkerTypes(), RnIdWlkServ);
    each(grn_game.prodWalkerTypes(), RnIdWlkProd);
    each(grn_game.mrktWalkerTypes(), RnIdWlkMrkt);
    each(grn_game.storWalkerTypes(), RnIdWlkStor);
    each(grn_game.bldrWalkerTypes(), RnIdWlkBldr);
    return ids;
}

// Every list of the town follows its slots, and the game's lookups by id
// find with the switches on what they find with them off.
void expectTownFollowsSlots(const std::string& what) {
    const RnCacheSwitches as_set = grn_caches;
    eachBuildingList([&what](auto& list, const std::string& name) { expectTableFollowsSlots(list, what + ", " + name); });
    std::vector<RnObjectID> buildings;
    for (const RnObjectID& id : everyId()) {
        if (id.kind_ <= RnIdBldBldr && id.bld_idx_ >= 0) buildings.push_back(id);
    }
    eachWalkerList([&](auto& list, const std::string& name) {
        expectTableFollowsSlots(list, what + ", " + name);
        expectHomesFollowSlots(list, buildings, what + ", " + name);
    });
    for (const RnObjectID& id : everyId()) {
        grn_caches.building_index_ = false;
        RnGenericObject* plain = grn_game.objectByOid(id);
        const bool plain_alive = grn_game.isObjectAlive(id);
        RnGenericBuilding* plain_live = grn_game.liveBuilding(id);
        grn_caches.building_index_ = true;
        EXPECT_EQ(grn_game.objectByOid(id), plain) << what << ", [" << id.kind_ << ":" << id.type_idx_ << "," << id.bld_idx_ << "]";
        EXPECT_EQ(grn_game.isObjectAlive(id), plain_alive) << what;
        EXPECT_EQ(grn_game.liveBuilding(id), plain_live) << what;
    }
    grn_caches = as_set;
}

int finishedWalkers() {
    int n = 0;
    eachWalkerList([&n](auto& list, const std::string&) {
        for (const auto& w : list) n += w.isFinished() ? 1 : 0;
    });
    return n;
}

class InstanceIndexTown : public SaveTest {
protected:
    CachesKept kept_;
};

RnObjectID at(int x, int y) { return grn_map.tile(x, y).oid_; }

// The well's storehouse at 25,32 runs out of building material: a ruin.
void ruinStorehouse() {
    RnStor& s = grn_game.storByOid(at(25, 32));
    const DaxGameTime now = dax_gameclock.gameTime();
    ASSERT_FALSE(s.material_in_store_.empty());
    for (auto& m : s.material_in_store_) {
        m.second.time_level1_ = now;
        m.second.time_level0_ = now;
        m.second.amount_ = 0;
    }
    s.flags_ |= RnStor::kBldPending;
    s.t_bld_ = now;
    grn_game.updateQueue().schedule(now, s.oid_);
    savetown::runHours(1);
    ASSERT_TRUE(s.isDestroyed());
}

TEST_F(InstanceIndexTown, LookupsAndHomesFollowWhatTheTownDoes) {
    struct Change {
        const char* what;
        std::function<void()> change;
    };
    const Change changes[] = {
        {"a house placed", [] { ASSERT_TRUE(savetown::place(RnIdBldHous, kHouse, 27, 18, 27, 18)); }},
        {"a house and a road demolished",
         [] {
             ASSERT_TRUE(savetown::demolish(22, 29));
             ASSERT_TRUE(savetown::demolish(28, 24));
         }},
        {"the well demolished while its walker walks",
         [] {
             const RnObjectID walker = savetown::sendServiceWalker();
             ASSERT_TRUE(grn_game.isObjectAlive(walker));
             ASSERT_TRUE(savetown::demolish(22, 31));
             EXPECT_FALSE(grn_game.isObjectAlive(walker));
         }},
        {"a storehouse with walkers out turned to ruin", [] { ruinStorehouse(); }},
        {"finished walkers taken back",
         [] {
             ASSERT_GT(finishedWalkers(), 0);
             savetown::runHours(3);
         }},
        {"walkers sent, finished and taken back for a day", [] { savetown::runHours(24); }},
        {"the town saved and loaded over a fresh world",
         [this] {
             const std::string path = save("instances.sav");
             freshWorld();
             // The fresh world's lists keep tables and homes too: the load
             // must not leave them as its first reading of the walkers set
             // them.
             expectTownFollowsSlots("a fresh world");
             ASSERT_TRUE(RnSaveLoader::loadGame(path));
         }},
        {"the town changed with every switch off, then on again",
         [] {
             grn_caches.setAll(false);
             savetown::runHours(6);
             ASSERT_TRUE(savetown::demolish(32, 32));
             ASSERT_TRUE(savetown::place(RnIdBldHous, kHouse, 30, 18, 30, 18));
             grn_caches.setAll(true);
         }},
    };
    for (const Change& c : changes) {
        grn_caches.setAll(true);
        townWorld(12);
        // Tables and homes in use before the change, so that the change has
        // to keep them.
        expectTownFollowsSlots(std::string("before ") + c.what);
        c.change();
        expectTownFollowsSlots(c.what);
        savetown::runHours(2);
        expectTownFollowsSlots(std::string(c.what) + ", two hours on");
        if (HasFailure()) break;
    }
}

}  // namespace
