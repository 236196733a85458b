// The floods' caches: the road graph follows every change of roads and
// buildings, a flood over it evaluates the buildings a flood over the map's
// tiles evaluates, in the same order and with the same distance and cost,
// and the building types a flood skips could never have answered it.
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "rn_bld_bldr.h"
#include "rn_bld_deco.h"
#include "rn_bld_hous.h"
#include "rn_bld_mrkt.h"
#include "rn_bld_prod.h"
#include "rn_bld_serv.h"
#include "rn_bld_stor.h"
#include "save_fixture.h"
#include "test_walker_fixture.h"

using namespace worldtest;

namespace {

// One evaluation as a flood made it.
struct Seen {
    RnObjectID oid;
    uint16_t dist;
    float cost;
    DaxDirection dir;
    DaxMapPositionI pos;
};
bool operator==(const Seen& a, const Seen& b) {
    return a.oid == b.oid && a.dist == b.dist && a.cost == b.cost && a.dir == b.dir && a.pos == b.pos;
}

// A flood's evaluations and what it chose.
struct Trace {
    bool found = false;
    std::vector<Seen> seen;
    RnObjectID target;
    int amount = 0;
    DaxMapPositionI start;
    std::vector<DaxDirection> path;
};
bool operator==(const Trace& a, const Trace& b) {
    return a.found == b.found && a.seen == b.seen && a.target == b.target && a.amount == b.amount &&
           a.start == b.start && a.path == b.path;
}
std::ostream& operator<<(std::ostream& os, const Trace& t) {
    os << (t.found ? "found " : "none ") << t.seen.size() << " evaluations, target [" << t.target.kind_ << ":"
       << t.target.type_idx_ << "," << t.target.bld_idx_ << "] amount " << t.amount << " from " << t.start.x << ","
       << t.start.y << " path";
    for (DaxDirection d : t.path) os << " " << d;
    return os;
}

// The service flood with every evaluation written down.
class TracingFlood : public RnFloodWalkerServ {
public:
    TracingFlood(RnFloodTarget& target, int16_t service, uint16_t tiles_without_houses)
        : RnFloodWalkerServ(target, DaxGameTime(0), service, tiles_without_houses) {}
    void evaluate(const RnObjectID& bld, uint16_t dist, float cost, const RnMapStep& step,
                  RnFloodPosInfo& out) override {
        seen.push_back({bld, dist, cost, step.dir_, step.pos_});
        RnFloodWalkerServ::evaluate(bld, dist, cost, step, out);
    }
    std::vector<Seen> seen;
};

class FloodCacheTest : public WalkerTest {
protected:
    static constexpr int16_t kService = 3;

    void TearDown() override {
        grn_caches.setAll(true);
        WalkerTest::TearDown();
    }

    // A service flood from a walker's tile (home given) or from the road
    // tiles around a building (own given), over the road graph or over the
    // tiles.
    static Trace flood(bool over_graph, const RnObjectID& skip, const std::vector<DaxMapPositionI>& starts,
                       bool from_tile, uint16_t max_dist, uint16_t tiles_without_houses) {
        grn_caches.flood_reach_ = over_graph;
        RnFloodTarget target;
        TracingFlood f(target, kService, tiles_without_houses);
        Trace t;
        t.found = from_tile ? f.floodFromTile(target, skip, starts[0], max_dist, max_dist)
                            : f.floodFromStarts(target, skip, starts, max_dist);
        grn_caches.flood_reach_ = true;
        t.seen = f.seen;
        t.target = target.target_oid_;
        t.amount = target.amount_;
        t.start = target.start_pos_;
        t.path = stepsOf(target.path_);
        return t;
    }
    // The same flood over the tiles and over the graph, which must agree;
    // returns the trace.
    static Trace bothWays(const RnObjectID& skip, const std::vector<DaxMapPositionI>& starts, bool from_tile,
                          uint16_t max_dist, uint16_t tiles_without_houses = 0) {
        const Trace tiles = flood(false, skip, starts, from_tile, max_dist, tiles_without_houses);
        const Trace graph = flood(true, skip, starts, from_tile, max_dist, tiles_without_houses);
        EXPECT_EQ(tiles, graph);
        return tiles;
    }
    static bool saw(const Trace& t, const RnObjectID& oid) {
        for (const Seen& s : t.seen)
            if (s.oid == oid) return true;
        return false;
    }
    void need(int x, int y, uint16_t value) { fake(x, y).service_need[kService] = value; }
};

// Each change of roads and buildings, one after the other on one map: the
// graph is what a graph read afresh from the map would be, and a flood over
// it sees what a flood over the tiles sees.
TEST_F(FloodCacheTest, TheGraphFollowsEveryChangeOfRoadsAndBuildings) {
    draw({"D.........",
          "#####.....",
          "#..D#.....",
          "#####.....",
          ".........."});
    need(0, 0, 10);
    need(3, 2, 20);
    FakeBuildingType& big = addFakeType(RnIdBldProd, 2, 2);
    const std::vector<DaxMapPositionI> start = {DaxMapPositionI(0, 1)};
    // The home of the walker that floods from the start.
    const RnObjectID home = fakeType(RnIdBldHous).createBuilding(9, 0);
    RnObjectID at_edge;
    RnObjectID wide;
    struct Step {
        const char* what;
        std::function<void()> change;
        // A building the flood must (or must no longer) see afterwards.
        DaxMapPositionI probe;
        bool seen;
    };
    const Step steps[] = {
        {"nothing changed", [] {}, DaxMapPositionI(3, 2), true},
        {"a road laid", [&] { addRoad(5, 1); }, DaxMapPositionI(3, 2), true},
        {"a building beside the new road",
         [&] {
             fakeType(RnIdBldServ).createBuilding(6, 1);
             need(6, 1, 30);
         },
         DaxMapPositionI(6, 1), true},
        {"a house beside the road (a house mark)",
         [&] {
             fakeType(RnIdBldHous).createBuilding(5, 0);
             need(5, 0, 40);
         },
         DaxMapPositionI(5, 0), true},
        {"a 2 by 2 building beside two road tiles",
         [&] {
             wide = big.createBuilding(6, 3);
             big.instances_[wide.bld_idx_].service_need[kService] = 50;
         },
         DaxMapPositionI(6, 3), true},
        {"the road under the new building's neighbour taken up", [&] { removeAt(5, 1); }, DaxMapPositionI(6, 1),
         false},
        {"the 2 by 2 building taken away", [&] { removeAt(6, 3); }, DaxMapPositionI(4, 4), false},
        {"a building inside the loop taken away", [&] { removeAt(3, 2); }, DaxMapPositionI(3, 2), false},
        {"a road laid where it stood",
         [&] {
             addRoad(3, 2);
             fakeType(RnIdBldDeco).createBuilding(2, 2);
             need(2, 2, 60);
         },
         DaxMapPositionI(2, 2), true},
        {"a road and a building at the map's edge",
         [&] {
             addRoad(9, 4);
             addRoad(8, 4);
             addRoad(7, 4);
             addRoad(6, 4);
             addRoad(5, 4);
             addRoad(5, 3);
             at_edge = fakeType(RnIdBldMrkt).createBuilding(9, 3);
             need(9, 3, 70);
         },
         DaxMapPositionI(9, 3), true},
        {"the map's tiles written anew (a load)",
         [&] {
             grn_map.tile(4, 0).oid_ = grn_map.tile(0, 0).oid_;
             grn_map.tile(0, 0).oid_ = RnObjectID();
             grn_map.objectsReplaced();
         },
         DaxMapPositionI(4, 0), true},
        {"the road at the start taken up", [&] { removeAt(0, 1); }, DaxMapPositionI(4, 0), false},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        step.change();
        EXPECT_TRUE(grn_map.roadGraph().matches(grn_map));
        const Trace t = bothWays(RnObjectID(), start, false, 16);
        EXPECT_EQ(saw(t, oidAt(step.probe.x, step.probe.y)), step.seen);
        bothWays(home, start, true, 12, 2);
    }
}

// Random towns with roads, houses and other buildings of one and four tiles,
// changed between rounds: floods from road tiles and from buildings, with
// every range and house limit, evaluate the same buildings in the same
// order over the graph as over the tiles, and choose the same. Needs come
// from a few values, so that ties are frequent.
TEST_F(FloodCacheTest, FloodsOverTheGraphEvaluateAsFloodsOverTheTiles) {
    FakeBuildingType& big = addFakeType(RnIdBldHous, 2, 2);
    const int side = 28;
    makeMap(side);
    for (unsigned seed : {1u, 2u, 3u}) {
        SCOPED_TRACE(seed);
        std::mt19937 rng(seed);
        auto pick = [&rng](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
        for (int x = 0; x < side; ++x)
            for (int y = 0; y < side; ++y)
                if (grn_map.tile(x, y).oid_.isRoadOrBuilding()) removeAt(x, y);
        const uint16_t needs[] = {0, 0, 100, 500, 500, 1000};
        auto placeSome = [&](int roads, int buildings) {
            // Roads as random walks.
            for (int r = 0; r < roads; ++r) {
                int x = pick(side), y = pick(side);
                for (int len = 3 + pick(20); len > 0; --len) {
                    if (grn_map.tile(x, y).isTileFree()) addRoad(x, y);
                    const int d = 1 + pick(4);
                    const DaxMapPositionI n = DaxMapPositionI(x, y) + daxDirectionOffset(d);
                    if (!grn_map.isOnMap(n)) continue;
                    x = n.x;
                    y = n.y;
                }
            }
            for (int b = 0; b < buildings; ++b) {
                const int x = pick(side), y = pick(side);
                const bool four = pick(5) == 0;
                FakeBuildingType& type = four ? big : fakeType(static_cast<int16_t>(RnIdBldHous + pick(7)));
                if (!grn_map.isAreaFree(x, y, type.width_, type.height_)) continue;
                const RnObjectID oid = type.createBuilding(x, y);
                type.instances_[oid.bld_idx_].service_need[kService] = needs[pick(6)];
            }
        };
        auto takeSome = [&](int n) {
            for (int i = 0; i < n; ++i) {
                const int x = pick(side), y = pick(side);
                if (grn_map.tile(x, y).oid_.isRoadOrBuilding()) removeAt(x, y);
            }
        };
        placeSome(12, 120);
        for (int round = 0; round < 4; ++round) {
            SCOPED_TRACE(round);
            ASSERT_TRUE(grn_map.roadGraph().matches(grn_map));
            for (int i = 0; i < 60; ++i) {
                const uint16_t max_dist = static_cast<uint16_t>(1 + pick(20));
                const uint16_t limit = static_cast<uint16_t>(pick(3) == 0 ? 0 : pick(6));
                const DaxMapPositionI p(pick(side), pick(side));
                const RnObjectID& oid = grn_map.tile(p).oid_;
                if (oid.kind_ == RnIdBldRoad) {
                    // A walker on the road, at home in some building.
                    RnObjectID home;
                    for (int tries = 0; tries < 50 && !home.isBuilding(); ++tries)
                        home = grn_map.tile(pick(side), pick(side)).oid_;
                    if (home.isBuilding()) bothWays(home, {p}, true, max_dist, limit);
                } else if (oid.isBuilding()) {
                    const std::vector<DaxMapPositionI> starts = roadsAround(grn_game.buildingByOid(oid));
                    if (!starts.empty()) bothWays(oid, starts, false, max_dist, limit);
                } else {
                    // Off the roads: both floods end at once.
                    bothWays(RnObjectID(), {p}, false, max_dist, limit);
                }
            }
            takeSome(40);
            placeSome(3, 30);
        }
    }
}

// A flood over the graph reaches a building through the object its slot
// keeps. A list that gives up its storage while the map stays as it is
// (filled anew, as a load does) takes the kept objects with it: the next
// flood reads the new ones.
TEST_F(FloodCacheTest, FloodsReadTheNewObjectsOfAListFilledAnew) {
    draw({"#H",
          "#H"});
    need(1, 0, 10);
    need(1, 1, 20);
    auto chosen = [] {
        RnFloodTarget target;
        RnFloodWalkerServ f(target, DaxGameTime(0), kService, 0);
        f.floodFromStarts(target, RnObjectID(), {DaxMapPositionI(0, 0)}, 4);
        return std::make_pair(target.target_oid_, target.amount_);
    };
    EXPECT_EQ(chosen(), std::make_pair(oidAt(1, 1), 20));
    RnInstanceList<FakeBuilding>& list = fakeType(RnIdBldHous).instances_;
    RnInstanceList<FakeBuilding> copy = list;
    copy[oidAt(1, 0).bld_idx_].service_need[kService] = 30;
    // The old objects stay where they were, unchanged, while the list takes
    // the copy's.
    const RnInstanceList<FakeBuilding> old = std::move(list);
    list = copy;
    EXPECT_EQ(chosen(), std::make_pair(oidAt(1, 0), 30));
}

// A flood whose evaluations changed the map would walk a stale graph.
TEST_F(FloodCacheTest, AFloodThatChangesTheRoadsIsFatal) {
    draw({"#D",
          ".."});
    class Digging : public RnFloodWalkerServ {
    public:
        explicit Digging(RnFloodTarget& target) : RnFloodWalkerServ(target, DaxGameTime(0), kService, 0) {}
        void evaluate(const RnObjectID&, uint16_t, float, const RnMapStep&, RnFloodPosInfo&) override {
            grn_map.objectChanged(0, 1);
            grn_map.roadGraph();
        }
    };
    EXPECT_DEATH(
        {
            RnFloodTarget target;
            Digging flood(target);
            flood.floodFromStarts(target, RnObjectID(), {DaxMapPositionI(0, 0)}, 3);
        },
        "graph.version\\(\\) == version");
}

// ---------------------------------------------------------------------------
// The types a flood skips, on the sample world

class FloodKindsTest : public SaveTest {
protected:
    void TearDown() override {
        grn_caches.setAll(true);
        SaveTest::TearDown();
    }
    static RnGenericBuildingType& typeOf(int16_t kind, int32_t id) { return *grn_game.findBuildingType(kind, id); }
};

// What each of the sample world's types says it can ask for.
TEST_F(FloodKindsTest, TheSampleTypesSayWhatTheyCanAskFor) {
    freshWorld();
    using namespace sample_world;
    const int16_t well = grn_game.servTypeIdx(kWell);
    const int16_t tax = grn_game.servTypeIdx(kTaxOffice);
    const int16_t wood = grn_game.goodsTypeIdx(kWood);
    struct Case {
        const char* type;
        int16_t kind;
        int32_t id;
        bool material, market, goods, water, taxes;
    };
    const Case cases[] = {
        {"house", RnIdBldHous, kHouse, true, true, false, true, true},
        {"well", RnIdBldServ, kWell, false, false, true, false, false},
        {"storehouse", RnIdBldStor, kStorehouse, true, false, true, false, false},
        {"market", RnIdBldMrkt, kMarket, false, false, true, false, false},
        {"garden", RnIdBldDeco, kGarden, false, false, true, false, false},
        {"fountain", RnIdBldDeco, kFountain, false, false, true, true, false},
        {"farm", RnIdBldProd, kFarm, false, false, true, false, false},
        {"builder's yard", RnIdBldBldr, kBuilderYard, false, false, true, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.type);
        const RnGenericBuildingType& t = typeOf(c.kind, c.id);
        EXPECT_EQ(t.mayNeedMaterial(), c.material);
        EXPECT_EQ(t.mayNeedMarketGoods(), c.market);
        EXPECT_EQ(t.mayNeedGoods(wood), c.goods);
        EXPECT_EQ(t.mayNeedService(well), c.water);
        EXPECT_EQ(t.mayNeedService(tax), c.taxes);
    }
}

// Floods of every kind from every road tile of the sample town, with the
// skipping on and off: they choose the same, and every building the
// skipping left out answers 0 when asked.
TEST_F(FloodKindsTest, SkippedBuildingsWouldHaveAnsweredNothing) {
    townWorld(24 * 3);
    using namespace sample_world;
    const DaxGameTime now = rnNow();
    const RnObjectID market = grn_map.tile(32, 32).oid_;
    const RnObjectID builder = [] {
        for (const RnBldrType& t : grn_game.bldrTypes())
            for (const RnBldr& b : t.instances_) return b.oid_;
        return RnObjectID();
    }();
    ASSERT_EQ(market.kind_, RnIdBldMrkt);
    ASSERT_TRUE(builder.isBuilding());
    RnGoodsSet all_goods;
    for (size_t g = 0; g < grn_game.goodsTypes().size(); ++g) all_goods.insert(static_cast<int16_t>(g));

    // Each flood kind, with what a building answers it and whether its
    // type says it may answer.
    struct Kind {
        const char* name;
        std::function<RnFloodBase*(RnFloodTargetProd&)> make;
        std::function<int(const RnGenericBuilding&)> answer;
        std::function<bool(const RnGenericBuildingType&)> may;
    };
    const int16_t well = grn_game.servTypeIdx(kWell);
    const int16_t tax = grn_game.servTypeIdx(kTaxOffice);
    const std::vector<Kind> kinds = {
        {"water", [&](RnFloodTargetProd& t) { return new RnFloodWalkerServ(t, now, well, 8); },
         [&](const RnGenericBuilding& b) { return b.serviceNeed(now, well, 1); },
         [&](const RnGenericBuildingType& t) { return t.mayNeedService(well); }},
        {"taxes", [&](RnFloodTargetProd& t) { return new RnFloodWalkerServ(t, now, tax, 8); },
         [&](const RnGenericBuilding& b) { return b.serviceNeed(now, tax, 1); },
         [&](const RnGenericBuildingType& t) { return t.mayNeedService(tax); }},
        {"market goods", [&](RnFloodTargetProd& t) { return new RnFloodWalkerMrkt(t, now, market, 8); },
         [&](const RnGenericBuilding& b) { return b.marketNeed(now, market); },
         [](const RnGenericBuildingType& t) { return t.mayNeedMarketGoods(); }},
        {"material", [&](RnFloodTargetProd& t) { return new RnFloodWalkerBldr(t, now, builder); },
         [&](const RnGenericBuilding& b) { return b.materialNeed(now, builder); },
         [](const RnGenericBuildingType& t) { return t.mayNeedMaterial(); }},
        {"goods", [&](RnFloodTargetProd& t) { return new RnFloodWalkerProd(t, now, all_goods, true); },
         [&](const RnGenericBuilding& b) {
             int sum = 0;
             for (int16_t g : all_goods) sum += b.goodsNeed(now, g, true);
             return sum;
         },
         [&](const RnGenericBuildingType& t) {
             for (int16_t g : all_goods)
                 if (t.mayNeedGoods(g)) return true;
             return false;
         }},
    };
    int skipped = 0;
    int floods = 0;
    for (int x = 0; x < grn_map.size(); ++x) {
        for (int y = 0; y < grn_map.size(); ++y) {
            if (!grn_map.tile(x, y).isRoad()) continue;
            for (const Kind& kind : kinds) {
                SCOPED_TRACE(std::string(kind.name) + " from " + std::to_string(x) + "," + std::to_string(y));
                RnFloodTargetProd with, without;
                grn_caches.flood_kinds_ = false;
                std::unique_ptr<RnFloodBase> all(kind.make(without));
                const bool found_all = all->floodFromStarts(without, RnObjectID(), {DaxMapPositionI(x, y)}, 20);
                grn_caches.flood_kinds_ = true;
                std::unique_ptr<RnFloodBase> some(kind.make(with));
                const bool found_some = some->floodFromStarts(with, RnObjectID(), {DaxMapPositionI(x, y)}, 20);
                ++floods;
                EXPECT_EQ(found_all, found_some);
                EXPECT_EQ(without.target_oid_, with.target_oid_);
                EXPECT_EQ(without.amount_, with.amount_);
                EXPECT_EQ(without.goods_type_, with.goods_type_);
                EXPECT_EQ(without.start_pos_, with.start_pos_);
                ASSERT_EQ(without.path_.size(), with.path_.size());
                for (int i = 0; i < with.path_.size(); ++i) EXPECT_EQ(without.path_.at(i), with.path_.at(i));
            }
        }
    }
    // Every building of a type a flood kind skips answers it with 0.
    for (const Kind& kind : kinds) {
        auto each = [&](auto& types) {
            for (auto& type : types) {
                if (kind.may(type)) continue;
                for (const auto& b : type.instances_) {
                    EXPECT_EQ(kind.answer(b), 0) << kind.name << " " << type.name_;
                    ++skipped;
                }
            }
        };
        each(grn_game.housTypes());
        each(grn_game.servTypes());
        each(grn_game.storTypes());
        each(grn_game.prodTypes());
        each(grn_game.mrktTypes());
        each(grn_game.decoTypes());
        each(grn_game.bldrTypes());
    }
    EXPECT_GT(floods, 100);
    EXPECT_GT(skipped, 20);
}

}  // namespace
