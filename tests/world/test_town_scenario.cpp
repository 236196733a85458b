// Whole towns on the sample world, laid out as a player lays them (addPhantom
// and placeBuildings) and run for game days: every kind of building and
// walker works with the others, the houses rise as far as their needs are
// met and fall when a need goes, and nothing is logged as an error.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "dax2/dax_random.h"
#include "rn_bld_deco.h"
#include "rn_bld_hous.h"
#include "rn_bld_serv.h"
#include "rn_bld_stor.h"
#include "rn_stor_network.h"
#include "rn_trigger.h"
#include "rn_wlk_bldr.h"
#include "rn_wlk_mrkt.h"
#include "rn_wlk_prod.h"
#include "rn_wlk_serv.h"
#include "rn_wlk_stor.h"
#include "support/sample_world_ids.h"
#include "test_sample_world_fixture.h"

namespace worldtest {
namespace {

using namespace sample_world;

constexpr uint32_t kDay = DaxGameTime::kPerDay;

// Object ids in a fixed order, for sets and maps of them.
struct OidLess {
    bool operator()(const RnObjectID& a, const RnObjectID& b) const {
        return std::tie(a.kind_, a.type_idx_, a.bld_idx_) < std::tie(b.kind_, b.type_idx_, b.bld_idx_);
    }
};
using OidSet = std::set<RnObjectID, OidLess>;

// What the walkers of each kind did while the town ran, seen from outside:
// walkers that appeared on the lists, walkers that were taken back by their
// home after they had finished their trip, and the buildings production
// walkers of production buildings headed for.
class WalkerCensus {
public:
    struct Counts {
        int created = 0;
        int returned = 0;
    };

    // One look at every walker list; call it after every update.
    void look() {
        std::map<RnObjectID, bool, OidLess> now;
        lookAt(grn_game.servWalkerTypes(), now);
        lookAt(grn_game.prodWalkerTypes(), now);
        lookAt(grn_game.mrktWalkerTypes(), now);
        lookAt(grn_game.storWalkerTypes(), now);
        lookAt(grn_game.bldrWalkerTypes(), now);
        for (const auto& [oid, finished] : now) {
            if (last_.count(oid) == 0) ++counts_[oid.kind_].created;
        }
        for (const auto& [oid, finished] : last_) {
            if (now.count(oid) == 0 && finished) ++counts_[oid.kind_].returned;
        }
        last_ = now;
    }

    Counts of(int16_t kind) const {
        auto it = counts_.find(kind);
        return it == counts_.end() ? Counts() : it->second;
    }
    // Targets of the production walkers that production buildings sent.
    const OidSet& producerTargets() const { return producer_targets_; }

private:
    template <class Types>
    void lookAt(Types& types, std::map<RnObjectID, bool, OidLess>& now) {
        for (auto& type : types) {
            for (const auto& w : type.instances_) {
                now[w.oid_] = w.isFinished();
                if (w.oid_.kind_ == RnIdWlkProd && w.home_oid_.kind_ == RnIdBldProd && !w.target_building_oid_.isNull())
                    producer_targets_.insert(w.target_building_oid_);
            }
        }
    }

    std::map<RnObjectID, bool, OidLess> last_;
    std::map<int16_t, Counts> counts_;
    OidSet producer_targets_;
};

class SampleTownTest : public SampleWorldTest {
protected:
    void SetUp() override {
        SampleWorldTest::SetUp();
        // Walkers at a crossing and the images they wear draw from the
        // program's generator: the same draws whichever tests ran before.
        dax_random.seed(4357u);
        loadWorld();
        grn_game.setWorldLoaded(true);
        first_message_ = dax_msgmgr.history().size();
        logTroubleOnly();
    }

    // Runs the town until the clock reads `to`, one update per game time
    // unit as the game loop runs it at full speed, counting the walkers.
    void run(uint32_t to) {
        runWatching(to, [this] { census_.look(); });
    }

    // The numbers of the messages posted since the town was founded.
    std::vector<int> postedMessages() const {
        std::vector<int> out;
        const auto& history = dax_msgmgr.history();
        for (size_t i = first_message_; i < history.size(); ++i) out.push_back(history[i].number_);
        return out;
    }

    static void demolish(int x, int y) {
        RnSelection sel;
        sel.arm();
        ASSERT_GT(grn_game.selectBuildingsInRect(sel, x, y, x, y), 0);
        grn_game.demolishSelection(sel);
    }

    static bool isActive(const RnObjectID& deco) {
        return (grn_game.decoByOid(deco).flags_ & RnDecoPersData::kActive) != 0;
    }

    WalkerCensus census_;
    size_t first_message_ = 0;
};

TEST_F(SampleTownTest, HousesRiseAsFarAsTheirNeedsAreMetAndFallWhenTheWellGoes) {
    // A street: two houses with two gardens between them north of the road,
    // the builder, the well, the market and the storehouse south of it.
    const int y = 30;
    place(RnIdBldRoad, kRoad, 4, y, 24, y);
    const RnObjectID h1 = place(RnIdBldHous, kHouse, 10, y - 1);
    place(RnIdBldDeco, kGarden, 11, y - 2);
    place(RnIdBldDeco, kGarden, 11, y - 1);
    const RnObjectID h2 = place(RnIdBldHous, kHouse, 13, y - 1);
    place(RnIdBldBldr, kBuilderYard, 10, y + 1);
    place(RnIdBldServ, kWell, 11, y + 1);
    place(RnIdBldMrkt, kMarket, 13, y + 2);
    const RnObjectID stor = place(RnIdBldStor, kStorehouse, 17, y + 2);
    // The storehouse holds food and planks from the start.
    RnStor& storehouse = grn_game.storByOid(stor);
    storehouse.goods_stored_[grn_game.goodsTypeIdx(kBread)].stored_nlots_ = 32;
    storehouse.goods_stored_[grn_game.goodsTypeIdx(kPlanks)].stored_nlots_ = 16;

    const RnHous& a = grn_game.housByOid(h1);
    const RnHous& b = grn_game.housByOid(h2);
    run(4 * kDay);
    // Full, with water, food, planks and their gardens: town houses.
    EXPECT_EQ(2, a.curLevel());
    EXPECT_EQ(2, b.curLevel());
    EXPECT_EQ(grn_game.population_, static_cast<uint32_t>(a.people() + b.people()));
    for (int16_t kind : {RnIdWlkServ, RnIdWlkProd, RnIdWlkMrkt, RnIdWlkBldr}) {
        EXPECT_GT(census_.of(kind).created, 0) << kind;
        EXPECT_GT(census_.of(kind).returned, 0) << kind;
    }

    // Without the well the water runs out while the food lasts: back to
    // cottages.
    demolish(11, y + 1);
    run(8 * kDay);
    const DaxGameTime now(now_);
    const int16_t well = grn_game.servTypeIdx(kWell);
    const int16_t bread = grn_game.goodsTypeIdx(kBread);
    for (const RnHous* h : {&a, &b}) {
        EXPECT_EQ(1, h->curLevel());
        EXPECT_FALSE(h->isDestroyed());
        ASSERT_EQ(1u, h->services_.count(well));
        EXPECT_GE(now.value(), h->services_.at(well).needed_again_at_.value());
        ASSERT_EQ(1u, h->goods_.count(bread));
        EXPECT_GT(h->goods_.at(bread).amountAt(now), 0);
    }
    // No building fell to ruin or stood without a road, and nothing was
    // logged as an error.
    for (int n : postedMessages()) {
        EXPECT_NE(3002, n);
        EXPECT_NE(3003, n);
    }
    EXPECT_EQ(std::vector<std::string>(), consoleTexts());
}

TEST_F(SampleTownTest, AWholeTownRunsForTenDays) {
    // The program's tick services: the map's daily trigger and the
    // statistics run as in the game.
    RnTriggerTickServices services;
    grn_game.setTickServices(&services);

    // The road: west to east along y = 22 below the northern forest, then
    // south along x = 34. Producers at its western end with the near
    // storehouse; the far one down the southern leg, 25 road steps from the
    // near one (its storage walkers reach 32) and at least 26 from every
    // producer (their walkers reach 24).
    struct Order {
        int16_t kind;
        int32_t id;
        int x, y, x2, y2;
    };
    std::vector<Order> orders = {
        {RnIdBldRoad, kRoad, 11, 22, 34, 40},
        {RnIdBldProd, kWoodcutter, 16, 21, 16, 21},  // on the forest's edge
        {RnIdBldProd, kSawmill, 13, 24, 13, 24},
        {RnIdBldProd, kFarm, 16, 24, 16, 24},
        {RnIdBldProd, kFarm, 19, 24, 19, 24},
        {RnIdBldProd, kFarm, 21, 21, 21, 21},
        {RnIdBldStor, kStorehouse, 22, 24, 22, 24},
        {RnIdBldStor, kStorehouse, 36, 36, 36, 36},
        // Across the southern leg: the builder, the services, the market.
        {RnIdBldBldr, kBuilderYard, 35, 24, 35, 24},
        {RnIdBldServ, kTaxOffice, 35, 26, 35, 26},
        {RnIdBldServ, kWell, 35, 27, 35, 27},
        {RnIdBldMrkt, kMarket, 36, 30, 36, 30},
    };
    // A row of houses west of the southern leg, a fountain and a garden
    // between every two.
    for (int y : {24, 29, 34}) {
        orders.push_back({RnIdBldHous, kHouse, 33, y, 33, y});
        orders.push_back({RnIdBldDeco, kFountain, 33, y + 1, 33, y + 1});
        orders.push_back({RnIdBldDeco, kGarden, 32, y + 1, 32, y + 1});
        orders.push_back({RnIdBldHous, kHouse, 33, y + 3, 33, y + 3});
    }
    const int money = grn_game.money_;
    int costs = 0;
    for (const Order& o : orders) {
        RnPhantomList preview;
        preview.setType(o.kind, o.id);
        costs += grn_game.addPhantom(preview, o.x, o.y, o.x2, o.y2);
        place(o.kind, o.id, o.x, o.y, o.x2, o.y2);
    }
    EXPECT_EQ(money - costs, grn_game.money_);
    const RnObjectID near = grn_map.tile(22, 24).oid_;
    const RnObjectID far = grn_map.tile(36, 36).oid_;
    std::vector<const RnHous*> houses;
    for (const RnHous& h : grn_game.housType(0).instances_) houses.push_back(&h);
    ASSERT_EQ(6u, houses.size());

    // Ten days; money changes only by the taxes and the trigger's weekly
    // grant at 6 o'clock.
    const int built = grn_game.money_;
    int taxes = 0;
    int most_in_far = 0;
    int last = built;
    runWatching(10 * kDay, [&] {
        census_.look();
        const int change = grn_game.money_ - last;
        last = grn_game.money_;
        if (now_ % kDay != 6 * DaxGameTime::kPerHour) {
            EXPECT_GE(change, 0) << now_;
            taxes += change;
        }
        int in_far = 0;
        for (const auto& [goods, e] : grn_game.storByOid(far).goods_stored_) in_far += e.stored_nlots_;
        most_in_far = std::max(most_in_far, in_far);
    });

    // The houses filled, rose to cottages and most to town houses.
    int town_houses = 0;
    for (const RnHous* h : houses) {
        EXPECT_GE(h->curLevel(), 1);
        town_houses += h->curLevel() == 2 ? 1 : 0;
    }
    EXPECT_GE(town_houses, 4);
    // Walkers of all five kinds went out and came back.
    for (int16_t kind : {RnIdWlkServ, RnIdWlkProd, RnIdWlkMrkt, RnIdWlkStor, RnIdWlkBldr}) {
        EXPECT_GT(census_.of(kind).created, 0) << kind;
        EXPECT_GT(census_.of(kind).returned, 0) << kind;
    }
    // The near storehouse links to the far one, whose goods came by storage
    // walkers only: no producer's walker ever headed for it.
    const RnStorageNetwork& network = grn_game.storType(0).network_;
    const RnStorNetEdgeData* link = nullptr;
    for (nex::tDiGraph::OutEdgeIterator it(network.gr_, grn_game.storByOid(near).network_node_); it.edge() != 0; ++it) {
        if (network.nodeObject(it.target()) == far) link = &network.edgeData(it.edge());
    }
    ASSERT_NE(nullptr, link);
    EXPECT_EQ(25, link->dist_);
    EXPECT_GT(most_in_far, 0);
    EXPECT_EQ(0u, census_.producerTargets().count(far));
    EXPECT_EQ(1u, census_.producerTargets().count(near));
    // The fountains are active, supplied by the water carrier.
    int active = 0;
    for (const RnDeco& d : grn_game.decoType(grn_game.decoTypeIdx(kFountain)).instances_) active += isActive(d.oid_);
    EXPECT_EQ(3, active);
    // The tax collector brought money.
    EXPECT_GT(taxes, 0);
    for (int n : postedMessages()) {
        EXPECT_NE(3002, n);
        EXPECT_NE(3003, n);
    }
    EXPECT_EQ(std::vector<std::string>(), consoleTexts());
}

}  // namespace
}  // namespace worldtest
