// Service buildings: workplaces that send service walkers to the houses and
// decorations around them, some using up goods for each walker sent. Only the
// records, the placement and the removal are here so far; the building's
// behaviour comes with its own code.
#pragma once

#include <cstdint>
#include <map>
#include <vector>

#include "rn_bld_generic.h"

struct RnFloodTarget;
struct RnFloodTargetProd;

// Stored and promised lots of a needed goods type (4 bytes).
struct RnServAmount {
    uint16_t stored_ = 0;
    uint16_t promised_ = 0;
};
static_assert(sizeof(RnServAmount) == 4, "RnServAmount is 4 bytes in save games");

// A goods entry of a service building: amounts and the linked near storage
// (null when none); 12 bytes in save games.
struct RnServGoodsEntry {
    RnServAmount amt_;
    RnObjectID near_storage_;
};
static_assert(sizeof(RnServGoodsEntry) == 12, "service goods entries are 12 bytes");

// Persistent part of a service building (28 bytes, saved raw).
struct RnServPersData {
    // Bits of flags_.
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
static_assert(sizeof(RnServPersData) == 28, "RnServPersData is saved as 28 raw bytes");

class RnServType;

class RnServ final : public RnSimpleBuilding, public RnServPersData {
public:
    using GoodsMap = std::map<int16_t, RnServGoodsEntry>;

    RnServ() = default;
    // A new building with an empty entry for every goods type the type needs.
    RnServ(const RnServType& type, int x, int y);

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

    // Removal: releases what the building holds and takes its desirability
    // back (nothing when it is destroyed already).
    // Recomputes the worker ratio (its efficiency) from the assigned workers.
    void updateWorkerRatio();

    void shutDown(const RnServType& type);

    // The house or decoration that needs the service most for the road it
    // takes, within the reach of the building's walkers, from the road
    // tiles beside it. True with the target filled.
    bool findWalkerTarget(RnFloodTarget& target, DaxGameTime now, const std::vector<DaxMapPositionI>& starts) const;

    const RnServType& servType() const;

    GoodsMap goods_stored_;
};

class RnServType : public RnSimpleBuildingType {
public:
    RnServType() : RnSimpleBuildingType(RnIdBldServ) {}

    RnObjectID createBuilding(int x, int y) override;
    void removeBuilding(const RnMapTile& tile, int tx, int ty) override;
    int instanceCount() const override { return instances_.liveCount(); }
    RnGenericBuilding* findInstance(int32_t idx) override;

    // The amount of a goods type in the needs, 0 when not needed.
    uint16_t neededAmount(int16_t goods) const;
    // Counts the receivers of the service now: every house with an entry
    // for it, by the part of its interval passed, then the buildings of the
    // decoration types tied to it, by the part of their effect passed. Above
    // 900 per mille a receiver counts into badly (it is running out), else
    // into well.
    void countServedHouses(int& badly, int& well) const;

    int16_t walker_type_idx_ = -1;
    uint16_t req_num_serv_walkers_ = 0;
    uint16_t hours_respawn_ = 0;
    uint16_t in_capa_ = 0;
    int16_t tax_percent_ = 0;
    std::vector<RnGoodsAmount> needs_;
    std::vector<RnWorkerReq> worker_reqs_;
    nex::AppendableWithFreeList<RnServ, kRnInstanceBlock> instances_;
};
