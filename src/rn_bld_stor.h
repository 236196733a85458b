// Storage buildings: workplaces that keep goods in lots for the buildings
// around them and pass them on with production and storage walkers. Here are
// the records, the placement, the removal and the demand balance that linked
// buildings keep current; the storage's behaviour and its network come with
// their own code.
#pragma once

#include <cstdint>
#include <map>
#include <set>

#include "rn_bld_generic.h"

// A goods entry of a storage (6 bytes): stored and promised lots and the net
// demand of the linked buildings (negative: a net need around the storage).
struct RnStorAmountInf {
    uint16_t stored_nlots_ = 0;
    uint16_t promised_nlots_ = 0;
    int16_t demand_ = 0;
};
static_assert(sizeof(RnStorAmountInf) == 6, "RnStorAmountInf is saved as 6 raw bytes");

// Persistent part of a storage (40 bytes, saved raw).
struct RnStorPersData {
    static constexpr uint32_t kWkfPending = 1u << 0;
    static constexpr uint32_t kNearPending = 1u << 1;
    static constexpr uint32_t kBldPending = 1u << 2;
    static constexpr uint32_t kProdSpwnPending = 1u << 3;
    static constexpr uint32_t kProdKillPending = 1u << 4;
    static constexpr uint32_t kStorSpwnPending = 1u << 5;
    static constexpr uint32_t kStorKillPending = 1u << 6;
    static constexpr uint32_t kProblemBits = 15u << 15;  // two outcome pairs
    static constexpr uint32_t kDestroyed = 1u << 19;

    uint32_t flags_ = 0;
    DaxGameTime t_wkf_{0};
    DaxGameTime t_near_{0};
    DaxGameTime t_bld_{0};
    DaxGameTime t_prod_spwn_{0};
    DaxGameTime t_prod_kill_{0};
    DaxGameTime t_stor_spwn_{0};
    DaxGameTime t_stor_kill_{0};
    float efficiency_ = 0.0f;
    int32_t network_node_ = 0;  // node in the type's storage network, 0 none
};
static_assert(sizeof(RnStorPersData) == 40, "RnStorPersData is saved as 40 raw bytes");

class RnStorType;

class RnStor final : public RnSimpleBuilding, public RnStorPersData {
public:
    using GoodsMap = std::map<int16_t, RnStorAmountInf>;

    RnStor() = default;
    // A new storage with a zero entry for every goods type the type
    // distributes (fatal check "goods_stored_.size()>0").
    RnStor(const RnStorType& type, int x, int y);

    // Runs the worker re-check when it is due. LATER: the other timers
    // come with the building's own code.
    DaxGameTime update(DaxGameTime now) override;
    void desirabilityChanged(DaxGameTime /*t*/) override {}
    void workersChanged(DaxGameTime t) override;
    void goodsArrived(DaxGameTime t) override;
    void walkerReturned(DaxGameTime t, const RnObjectID& walker) override;
    int debugText(std::string& buf, bool sep) const override;
    int infoText(std::string& buf, bool sep) const override;
    float efficiency() const override { return efficiency_; }
    uint32_t problemFlags() const override { return flags_ & kProblemBits; }
    bool isDestroyed() const override { return (flags_ & kDestroyed) != 0; }
    // Workers of a needed people type live in range (false for a ruin).
    bool hasWorkers() const override;
    bool scheduleSupplyCheck(DaxGameTime t) override;

    // A linked building's share of the demand for goods changes by delta
    // (fatal check "it!=goods_stored_.end()").
    void adjustDemand(int16_t goods, int delta);
    // Whether the storage keeps the goods type.
    bool storesGoods(int16_t goods) const { return goods_stored_.count(goods) != 0; }

    // Recomputes the worker ratio (its efficiency) from the assigned workers.
    void updateWorkerRatio();

    void shutDown(const RnStorType& type);

    const RnStorType& storType() const;

    GoodsMap goods_stored_;
};

class RnStorType : public RnSimpleBuildingType {
public:
    RnStorType() : RnSimpleBuildingType(RnIdBldStor) {}

    RnObjectID createBuilding(int x, int y) override;
    void removeBuilding(const RnMapTile& tile, int tx, int ty) override;
    int instanceCount() const override { return instances_.liveCount(); }
    RnGenericBuilding* findInstance(int32_t idx) override;

    // The capacity in lots when the type distributes the goods type, else 0.
    uint16_t capacityForGoods(int16_t goods) const;
    bool acceptsGoodsClass(int16_t goods_class) const { return goods_class_.count(goods_class) != 0; }

    int16_t worker_type_ = -1;
    uint16_t num_workers_ = 0;
    uint16_t worker_range_ = 0;
    // The one worker requirement of the type.
    RnWorkerReq workerReq() const { return RnWorkerReq{worker_type_, num_workers_, worker_range_}; }
    uint16_t capacity_ = 0;
    uint16_t num_prod_walkers_ = 0;
    uint16_t hours_respawn_prod_walker_ = 0;
    uint16_t num_stor_walkers_ = 0;
    uint16_t hours_respawn_stor_walker_ = 0;
    std::set<int16_t> goods_class_;
    // The goods types assigned to this storage type when the data model is
    // complete.
    std::set<int16_t> distribute_goods_;
    // The storage network of the type joins here with its own code.
    nex::AppendableWithFreeList<RnStor, kRnInstanceBlock> instances_;
};
