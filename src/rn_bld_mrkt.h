// Markets: workplaces that collect the goods houses use and send market
// walkers to the houses around them. Here are the records, the placement and
// the removal; the market's behaviour comes with its own code.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <vector>

#include "rn_bld_generic.h"

struct RnFloodTarget;
struct RnFloodTargetProd;

// A goods entry of a market (12 bytes): stored units; word_ holds the
// promised lots in bits 0-13, bit 14 "wanted" and bit 15 "switched on"; the
// linked near storage.
struct RnMrktAmountInf {
    static constexpr uint16_t kEnabled = 0x8000u;
    static constexpr uint16_t kWanted = 0x4000u;
    static constexpr uint16_t kPromisedMask = 0x3FFFu;

    uint16_t amount_ = 0;
    uint16_t word_ = 0;
    RnObjectID near_storage_;
};
static_assert(sizeof(RnMrktAmountInf) == 12, "RnMrktAmountInf is 12 bytes in save games");

// Persistent part of a market (28 bytes, saved raw). t_spwn and t_bld use
// bits 2 and 3 the other way round than the service building.
struct RnMrktPersData {
    static constexpr uint32_t kWkfPending = 1u << 0;
    static constexpr uint32_t kNearPending = 1u << 1;
    static constexpr uint32_t kSpwnPending = 1u << 2;
    static constexpr uint32_t kBldPending = 1u << 3;
    static constexpr uint32_t kKillPending = 1u << 4;
    static constexpr int kWalkerCountShift = 5;  // bits 5-8: walkers out
    static constexpr uint32_t kWalkerCountMask = 15u << 5;
    static constexpr uint32_t kProblemBits = 3u << 9;
    static constexpr uint32_t kDestroyed = 1u << 11;

    uint32_t flags_ = 0;
    DaxGameTime t_wkf_{0};
    DaxGameTime t_near_{0};
    DaxGameTime t_bld_{0};
    DaxGameTime t_spwn_{0};
    DaxGameTime t_kill_{0};
    float efficiency_ = 0.0f;
};
static_assert(sizeof(RnMrktPersData) == 28, "RnMrktPersData is saved as 28 raw bytes");

class RnMrktType;

class RnMrkt final : public RnSimpleBuilding, public RnMrktPersData {
public:
    using GoodsMap = std::map<int16_t, RnMrktAmountInf>;

    RnMrkt() = default;
    // A new market with a switched-on, empty, unlinked entry for every goods
    // type it sells.
    RnMrkt(const RnMrktType& type, int x, int y);

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

    // What the market holds of a goods type, up to wanted; 0 without an
    // entry.
    uint16_t available(int16_t goods, uint16_t wanted) const;
    // Whether it holds some of the goods type (false for a ruin).
    bool hasGoods(int16_t goods) const;
    // Hands over up to amount units (0 for a ruin or without an entry) and
    // returns how many. The linked storage's demand follows the change of
    // whole lots while the entry is switched on and wanted.
    uint16_t takeGoods(int16_t goods, uint16_t amount);
    // Recomputes the worker ratio (its efficiency) from the assigned workers.
    void updateWorkerRatio();

    void shutDown(const RnMrktType& type);

    // The house that wants most of the market's goods for the road it
    // takes, within the reach of the market's walkers, from the road tiles
    // beside the market. True with the target filled.
    bool findWalkerTarget(RnFloodTarget& target, DaxGameTime now, const std::vector<DaxMapPositionI>& starts) const;

    const RnMrktType& mrktType() const;

    GoodsMap goods_stored_;
    // Highest house level per house type found by the last house-level
    // flood; empty in a new market.
    std::vector<int16_t> house_levels_;
};

class RnMrktType : public RnSimpleBuildingType {
public:
    RnMrktType() : RnSimpleBuildingType(RnIdBldMrkt) {}

    RnObjectID createBuilding(int x, int y) override;
    void removeBuilding(const RnMapTile& tile, int tx, int ty) override;
    int instanceCount() const override { return instances_.liveCount(); }
    RnGenericBuilding* findInstance(int32_t idx) override;

    int16_t worker_type_ = -1;
    uint16_t num_workers_ = 0;
    uint16_t worker_range_ = 0;
    // The one worker requirement of the type.
    RnWorkerReq workerReq() const { return RnWorkerReq{worker_type_, num_workers_, worker_range_}; }
    int16_t walker_type_idx_ = -1;
    uint16_t num_walkers_ = 0;
    uint16_t hours_respawn_ = 0;
    uint16_t capacity_ = 0;
    std::set<int16_t> goods_class_;
    // The goods types it sells; filled when the data model is complete.
    std::set<int16_t> distribute_goods_;
    nex::AppendableWithFreeList<RnMrkt, kRnInstanceBlock> instances_;
};
