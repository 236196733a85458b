// Road maps drawn by hand and small fake buildings whose needs the test sets,
// for the floods, the path finder and the walkers. The fakes live in building
// types of their own that the game's lookups find like the real kinds, so the
// floods and walkers reach them as they would reach houses or storages.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "rn_bld_road.h"
#include "rn_pathfind.h"
#include "rn_wlk_bldr.h"
#include "rn_wlk_mrkt.h"
#include "rn_wlk_prod.h"
#include "rn_wlk_serv.h"
#include "rn_wlk_stor.h"
#include "test_game_fixture.h"

namespace worldtest {

// A building whose needs are set by the test and which records what walkers
// do to it. A delivery satisfies the need it answers.
class FakeBuilding final : public RnGenericBuilding {
public:
    FakeBuilding() = default;
    FakeBuilding(int16_t kind, int x, int y) : RnGenericBuilding(kind, x, y) {}

    DaxGameTime update(DaxGameTime now) override {
        ++updates;
        return on_update ? on_update(*this, now) : kRnNoWakeTime;
    }
    void desirabilityChanged(DaxGameTime /*t*/) override {}
    void workersChanged(DaxGameTime /*t*/) override {}
    void goodsArrived(DaxGameTime t) override { arrived.push_back(t.value()); }
    void walkerReturned(DaxGameTime t, const RnObjectID& walker) override { returned.push_back({t.value(), walker}); }
    int debugText(std::string& buf, bool /*sep*/) const override { return static_cast<int>(buf.size()); }
    int infoText(std::string& buf, bool /*sep*/) const override { return static_cast<int>(buf.size()); }
    float efficiency() const override { return efficiency_; }
    bool isDestroyed() const override { return destroyed; }

    uint16_t materialNeed(DaxGameTime /*t*/, const RnObjectID& /*builder*/) const override {
        return destroyed ? 0 : material_need;
    }
    void materialDelivered(DaxGameTime t, const RnObjectID& builder) override {
        material_got.push_back({t.value(), builder});
        material_need = 0;
    }
    void listMaterials(RnGoodsSet& goods) const override { goods.insert(materials.begin(), materials.end()); }
    uint16_t marketNeed(DaxGameTime /*t*/, const RnObjectID& /*market*/) const override {
        return destroyed ? 0 : market_need;
    }
    void marketDelivered(DaxGameTime t, const RnObjectID& market) override {
        market_got.push_back({t.value(), market});
        market_need = 0;
    }
    uint16_t goodsNeed(DaxGameTime /*t*/, int16_t goods, bool /*with_promised*/) const override {
        auto it = goods_need.find(goods);
        return destroyed || it == goods_need.end() ? 0 : it->second;
    }
    void goodsDelivered(DaxGameTime /*t*/, int16_t goods, int amount) override {
        goods_got.push_back({goods, amount});
        promised[goods] -= amount;
    }
    void goodsPromised(int16_t goods, int amount) override { promised[goods] += amount; }
    uint16_t serviceNeed(DaxGameTime /*t*/, int16_t service, int /*flag*/) const override {
        auto it = service_need.find(service);
        return destroyed || it == service_need.end() ? 0 : it->second;
    }
    void serviceDelivered(DaxGameTime t, int16_t service) override {
        served.push_back({t.value(), service});
        if (!stays_in_need) service_need[service] = 0;
    }
    void setServicePending(int16_t service, bool on) override { pending[service] = on; }
    void forgetObject(const RnObjectID& oid) override { forgotten.push_back(oid); }

    float efficiency_ = 1.0f;
    bool destroyed = false;
    // Being served does not lower the service need.
    bool stays_in_need = false;
    uint16_t material_need = 0;
    uint16_t market_need = 0;
    std::map<int16_t, uint16_t> goods_need;
    std::map<int16_t, uint16_t> service_need;
    RnGoodsSet materials;

    int updates = 0;
    std::function<DaxGameTime(FakeBuilding&, DaxGameTime)> on_update;
    std::vector<std::pair<uint32_t, RnObjectID>> returned;
    std::vector<std::pair<uint32_t, RnObjectID>> material_got;
    std::vector<std::pair<uint32_t, RnObjectID>> market_got;
    std::vector<std::pair<uint32_t, int16_t>> served;
    std::vector<std::pair<int16_t, int>> goods_got;
    std::map<int16_t, int> promised;
    std::map<int16_t, bool> pending;
    std::vector<uint32_t> arrived;
    std::vector<RnObjectID> forgotten;
};

// The type of the fakes of one kind; footprint w by h.
class FakeBuildingType : public RnGenericBuildingType {
public:
    FakeBuildingType(int16_t kind, int16_t w, int16_t h) : RnGenericBuildingType(kind) {
        width_ = w;
        height_ = h;
        name_ = "fake";
    }

    RnObjectID createBuilding(int x, int y) override {
        FakeBuilding b(kind_, x, y);
        b.oid_.setTypeIdx(type_idx_);
        int32_t idx = instances_.add(b);
        FakeBuilding& obj = instances_[idx];
        obj.oid_.setBldIdx(idx);
        grn_map.placeBuilding(obj.oid_, x, y, width_, height_, nullptr, nullptr);
        return obj.oid_;
    }
    void removeBuilding(const RnMapTile& tile, int tx, int ty) override {
        int32_t idx = tile.oid_.bld_idx_;
        FakeBuilding& obj = instances_[idx];
        grn_game.releaseWalkers(obj.oid_);
        obj.is_active_ = false;
        instances_.remove(idx);
        grn_map.resetArea(tx, ty, width_, height_);
    }
    std::string phantomImage() const override { return ""; }
    int instanceCount() const override { return instances_.liveCount(); }
    RnGenericBuilding* findInstance(int32_t idx) override { return rnLiveInstance(instances_, idx); }

    int16_t type_idx_ = -1;
    RnInstanceList<FakeBuilding> instances_;
};

// A world of grass with a road type, one walker type of each kind (and one
// goods type with its production and storage walker types), fake building
// types, and maps drawn as text.
class WalkerTest : public WorldTest {
protected:
    // Road levels: the roads of a drawn map stand at level 1 (speed 100);
    // level 0 is slow (50), level 2 fast (200).
    enum : uint8_t { kSlowRoad = 0, kRoad = 1, kFastRoad = 2 };
    // Goods type of the production and storage walkers.
    static constexpr int16_t kGoods = 0;

    void SetUp() override {
        WorldTest::SetUp();
        RnRoadType rt;
        rt.type_id_ = 100;
        rt.name_ = "road";
        const int16_t speeds[3] = {50, 100, 200};
        for (int16_t speed : speeds) {
            RnRoadLevelDesc level;
            level.image_ = "road_img";
            level.speed_ = speed;
            rt.level_descs_.push_back(level);
        }
        road_type_ = grn_game.addRoadType(rt);

        grn_game.addServWalkerType(walkerType<RnWalkerServType>(700, 10));
        grn_game.addMrktWalkerType(walkerType<RnWalkerMrktType>(710, 10));
        grn_game.addBldrWalkerType(walkerType<RnWalkerBldrType>(720, 10));
        grn_game.addGoodsType(RnGoodsType("wood", 11, 1, 4, -2));
        grn_game.addProdWalkerType(walkerType<RnWalkerProdType>(11));
        grn_game.addStorWalkerType(walkerType<RnWalkerStorType>(11));
        grn_game.prod_walker_range_ = 24;
        grn_game.storage_walker_range_ = 32;
        grn_game.storage_walker_capacity_ = 4;

        for (int16_t kind = RnIdBldHous; kind <= RnIdBldBldr; ++kind) addFakeType(kind, 1, 1);
    }

    void TearDown() override {
        WorldTest::TearDown();
        fake_types_.clear();
    }

    // A walker type taking an hour per road tile; searching kinds turn home
    // after distance_to_return steps.
    template <class T>
    static T walkerType(int32_t id) {
        T t;
        t.type_id_ = id;
        t.hours_for_1tile_road_ = 1.0f;
        return t;
    }
    template <class T>
    static T walkerType(int32_t id, uint16_t distance_to_return) {
        T t = walkerType<T>(id);
        t.distance_to_return_ = distance_to_return;
        return t;
    }

    // A type of fakes of a kind and footprint (the 1 by 1 one of each kind
    // is made by SetUp).
    FakeBuildingType& addFakeType(int16_t kind, int16_t w, int16_t h) {
        fake_types_.emplace_back(new FakeBuildingType(kind, w, h));
        FakeBuildingType& t = *fake_types_.back();
        t.type_idx_ = grn_game.addExtraBuildingType(t);
        return t;
    }
    FakeBuildingType& fakeType(int16_t kind) { return *fake_types_[static_cast<size_t>(kind - RnIdBldHous)]; }

    // Draws a map: one string per row y, one character per column x. '#' a
    // road (level 1), '-' a slow road, '=' a fast road, '~' water, '.' grass;
    // H house, S service building, T storage, P production building, M
    // market, D decoration, B builder: 1 by 1 fakes of that kind.
    void draw(const std::vector<std::string>& rows) {
        int n = static_cast<int>(rows.size());
        for (const std::string& r : rows) n = std::max(n, static_cast<int>(r.size()));
        makeMap(n);
        for (int y = 0; y < static_cast<int>(rows.size()); ++y) {
            for (int x = 0; x < static_cast<int>(rows[y].size()); ++x) {
                char c = rows[y][x];
                switch (c) {
                    case '#': addRoad(x, y, kRoad); break;
                    case '-': addRoad(x, y, kSlowRoad); break;
                    case '=': addRoad(x, y, kFastRoad); break;
                    case '~': setTerrain(x, y, kWater); break;
                    case '.': break;
                    default: fakeType(kindOf(c)).createBuilding(x, y); break;
                }
            }
        }
    }
    static int16_t kindOf(char c) {
        switch (c) {
            case 'H': return RnIdBldHous;
            case 'S': return RnIdBldServ;
            case 'T': return RnIdBldStor;
            case 'P': return RnIdBldProd;
            case 'M': return RnIdBldMrkt;
            case 'D': return RnIdBldDeco;
            case 'B': return RnIdBldBldr;
            default: ADD_FAILURE() << "no building for '" << c << "'"; return RnIdBldDeco;
        }
    }

    RnObjectID addRoad(int x, int y, uint8_t level = kRoad) {
        RnObjectID oid = grn_game.roadType(road_type_).createBuilding(x, y);
        grn_game.roadByOid(oid).setLevel(level);
        return oid;
    }
    void removeAt(int x, int y) {
        RnMapTile tile = grn_map.tile(x, y);
        const RnGenericBuilding& b = grn_game.buildingByOid(tile.oid_);
        DaxMapPositionI anchor = b.pos_on_map_;
        grn_game.buildingTypeOfTile(tile).removeBuilding(tile, anchor.x, anchor.y);
        grn_game.updateQueue().remove(tile.oid_);
    }

    static RnObjectID oidAt(int x, int y) { return grn_map.tile(x, y).oid_; }
    FakeBuilding& fake(int x, int y) {
        RnObjectID oid = oidAt(x, y);
        return fakeType(oid.kind_).instances_[oid.bld_idx_];
    }
    static std::vector<DaxMapPositionI> roadsAround(const RnGenericBuilding& b) {
        std::vector<DaxMapPositionI> out;
        const RnGenericBuildingType& t = b.buildingType();
        grn_map.adjacentRoads(out, b.pos_on_map_.x, b.pos_on_map_.y, t.width_, t.height_);
        return out;
    }
    static std::vector<DaxDirection> stepsOf(const RnPathCache& path) {
        std::vector<DaxDirection> out;
        for (int i = 0; i < path.size(); ++i) out.push_back(path.at(i));
        return out;
    }

    RnWalkerServType& servWalkers() { return grn_game.servWalkerType(0); }
    RnWalkerMrktType& mrktWalkers() { return grn_game.mrktWalkerType(0); }
    RnWalkerBldrType& bldrWalkers() { return grn_game.bldrWalkerType(0); }
    RnWalkerProdType& prodWalkers() { return grn_game.prodWalkerType(kGoods); }
    RnWalkerStorType& storWalkers() { return grn_game.storWalkerType(kGoods); }

    // Sends a walker the way a building does (type index 0, or the goods
    // type for production and storage walkers) and returns it.
    template <class Type, class W>
    W& send(Type& type, const W& walker, int16_t type_idx = 0) {
        RnObjectID oid = rnSendWalker(type.instances_, type_idx, walker);
        return type.instances_[oid.bld_idx_];
    }

    // Runs the walker's updates as the queue would, each at its wake time,
    // until it finishes or max_updates ran; returns the number of updates.
    template <class W>
    int runWalker(W& w, int max_updates = 1000) {
        int n = 0;
        DaxGameTime t = w.wake_time_;
        while (n < max_updates && !w.isFinished()) {
            t = w.update(t);
            ++n;
        }
        return n;
    }

    // Every walker on a tile list is alive and stands there, and every live
    // walker is on the list of its tile once.
    static void expectTileListsConsistent() {
        int listed = 0;
        for (int x = 0; x < grn_map.size(); ++x) {
            for (int y = 0; y < grn_map.size(); ++y) {
                for (RnObjectID w = grn_map.tile(x, y).walker_head_; w.bld_idx_ != -1;) {
                    ASSERT_TRUE(grn_game.isObjectAlive(w)) << x << "," << y;
                    const RnWalkerGeneric& walker = grn_game.walkerByOid(w);
                    DaxMapPositionI at = walker.phase() == RnWalkerPersData::kFirstHalf
                                             ? DaxMapPositionI(static_cast<int>(walker.at_.x_),
                                                               static_cast<int>(walker.at_.y_))
                                             : walker.tilePos();
                    EXPECT_EQ(at, DaxMapPositionI(x, y));
                    ++listed;
                    w = walker.next_walker_;
                }
            }
        }
        int live = 0;
        for (auto& t : grn_game.servWalkerTypes()) live += t.instanceCount();
        for (auto& t : grn_game.mrktWalkerTypes()) live += t.instanceCount();
        for (auto& t : grn_game.bldrWalkerTypes()) live += t.instanceCount();
        for (auto& t : grn_game.prodWalkerTypes()) live += t.instanceCount();
        for (auto& t : grn_game.storWalkerTypes()) live += t.instanceCount();
        EXPECT_EQ(listed, live);
    }
    // The walker is gone from the world: no slot, no pending wake-up.
    static void expectGone(const RnObjectID& walker) {
        EXPECT_FALSE(grn_game.isObjectAlive(walker));
        DaxGameTime t;
        EXPECT_FALSE(grn_game.updateQueue().pendingTime(walker, t));
    }

    int16_t road_type_ = -1;
    std::vector<std::unique_ptr<FakeBuildingType>> fake_types_;
};

}  // namespace worldtest
