// Builder buildings: workplaces that keep building material and send builder
// walkers to the buildings around them whose material wears off. Here are the
// records, the placement, the removal and the material hand-over that sites
// use; the builder's own behaviour comes with its own code.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <vector>

#include "rn_bld_generic.h"

struct RnFloodTarget;
struct RnFloodTargetProd;

// A material entry of a builder (12 bytes): stored units, promised lots in
// bits 0-14 of word_ with bit 15 "ordering", and the linked near storage.
struct RnBldrAmountInf {
    static constexpr uint16_t kOrdering = 0x8000u;
    static constexpr uint16_t kPromisedMask = 0x7FFFu;

    uint16_t stored_ = 0;
    uint16_t word_ = 0;
    RnObjectID near_storage_;
};
static_assert(sizeof(RnBldrAmountInf) == 12, "builder goods entries are 12 bytes");

// Persistent part of a builder building (28 bytes, saved raw).
struct RnBldrPersData {
    static constexpr uint32_t kWkfPending = 1u << 0;
    static constexpr uint32_t kNearPending = 1u << 1;
    static constexpr uint32_t kBldPending = 1u << 2;
    static constexpr uint32_t kSpwnPending = 1u << 3;
    static constexpr uint32_t kKillPending = 1u << 4;
    static constexpr int kWalkerCountShift = 5;  // bits 5-7: walkers out
    static constexpr uint32_t kWalkerCountMask = 7u << 5;
    static constexpr uint32_t kProblemBits = 3u << 8;
    static constexpr uint32_t kDestroyed = 1u << 10;

    uint32_t flags_ = 0;
    DaxGameTime t_wkf_{0};
    DaxGameTime t_near_{0};
    DaxGameTime t_bld_{0};
    DaxGameTime t_spwn_{0};
    DaxGameTime t_kill_{0};
    float efficiency_ = 0.0f;
};
static_assert(sizeof(RnBldrPersData) == 28, "RnBldrPersData is saved as 28 raw bytes");

class RnBldrType;

class RnBldr final : public RnSimpleBuilding, public RnBldrPersData {
public:
    using GoodsMap = std::map<int16_t, RnBldrAmountInf>;

    RnBldr() = default;
    // A new builder with an empty, unlinked, not ordering entry for every
    // goods type it distributes that is used as building material.
    RnBldr(const RnBldrType& type, int x, int y);

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

    // What the builder holds of a goods type, up to wanted; 0 without an
    // entry.
    uint16_t available(int16_t goods, uint16_t wanted) const;
    // Hands over up to amount units (0 when destroyed or without an entry)
    // and returns how many; the linked storage's demand follows the change
    // of whole lots.
    uint16_t takeGoods(int16_t goods, uint16_t amount);

    // Recomputes the worker ratio (its efficiency) from the assigned workers.
    void updateWorkerRatio();

    void shutDown(const RnBldrType& type);

    // The site that needs material most for the road it takes, within the
    // reach of the builder's walkers, from the road tiles beside the builder.
    // True with the target filled.
    bool findWalkerTarget(RnFloodTarget& target, DaxGameTime now, const std::vector<DaxMapPositionI>& starts) const;

    const RnBldrType& bldrType() const;

    GoodsMap goods_stored_;
    // Saved with the building; the builder leaves it empty.
    std::vector<int16_t> levels_;
};

class RnBldrType : public RnSimpleBuildingType {
public:
    RnBldrType() : RnSimpleBuildingType(RnIdBldBldr) {}

    RnObjectID createBuilding(int x, int y) override;
    void removeBuilding(const RnMapTile& tile, int tx, int ty) override;
    int instanceCount() const override { return instances_.liveCount(); }
    RnGenericBuilding* findInstance(int32_t idx) override;

    // The capacity when the goods type is distributed, else 0.
    uint16_t capacityForGoods(int16_t goods) const;

    int16_t walker_type_idx_ = -1;
    uint16_t req_num_bldr_walkers_ = 0;
    uint16_t hours_respawn_ = 0;
    uint16_t walker_range_ = 0;
    uint16_t capacity_ = 0;
    std::set<int16_t> goods_allowed_;
    std::vector<RnWorkerReq> worker_reqs_;
    nex::AppendableWithFreeList<RnBldr, kRnInstanceBlock> instances_;
};
