// Decoration buildings: buildings that raise the desirability around them
// while they are supplied with goods or a service. Here are the records, the
// placement and the removal; the decoration's behaviour comes with its own
// code.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "rn_bld_generic.h"

// A goods entry of a decoration (12 bytes): stored and promised units and
// the linked near storage.
struct RnDecoInpInf {
    uint16_t stored_ = 0;
    uint16_t promised_ = 0;
    RnObjectID near_storage_;
};
static_assert(sizeof(RnDecoInpInf) == 12, "RnDecoInpInf is 12 bytes in save games");

// A time window (8 bytes, saved raw): first and second time.
struct RnBuildingTimedData {
    DaxGameTime first_{0};
    DaxGameTime second_{0};

    // 1000 up to first, falling linearly to 0 at second.
    int remainingPermille(DaxGameTime t) const;
};
static_assert(sizeof(RnBuildingTimedData) == 8, "RnBuildingTimedData is saved as 8 raw bytes");

// Persistent part of a decoration (16 bytes, saved raw).
struct RnDecoPersData {
    static constexpr uint32_t kActive = 1u << 0;
    static constexpr uint32_t kGdsPending = 1u << 1;
    static constexpr uint32_t kNearPending = 1u << 2;
    static constexpr uint32_t kBldPending = 1u << 3;
    static constexpr uint32_t kServicePending = 1u << 4;
    static constexpr uint32_t kDestroyed = 1u << 5;

    uint32_t flags_ = 0;
    DaxGameTime t_gds_{0};
    DaxGameTime t_near_{0};
    DaxGameTime t_bld_{0};
};
static_assert(sizeof(RnDecoPersData) == 16, "RnDecoPersData is saved as 16 raw bytes");

class RnDecoType;

class RnDeco final : public RnSimpleBuilding, public RnDecoPersData {
public:
    using GoodsMap = std::map<int16_t, RnDecoInpInf>;

    RnDeco() = default;
    // A new decoration: defunct, an empty entry per listed goods type.
    RnDeco(const RnDecoType& type, int x, int y);

    // LATER: The decoration's behaviour comes with its own code; until then it asks
    // for no wake-up.
    DaxGameTime update(DaxGameTime now) override;
    void desirabilityChanged(DaxGameTime /*t*/) override {}
    void workersChanged(DaxGameTime /*t*/) override {}
    void goodsArrived(DaxGameTime t) override;
    // Decorations send no walkers: fatal check "false".
    void walkerReturned(DaxGameTime t, const RnObjectID& walker) override;
    int debugText(std::string& buf, bool sep) const override;
    int infoText(std::string& buf, bool sep) const override;
    // Its own info dialog, made by grn_building_dialogs (null without one).
    DaxDialogIfc* createDialog() const override;
    bool isDestroyed() const override { return (flags_ & kDestroyed) != 0; }
    bool scheduleSupplyCheck(DaxGameTime t) override;

    // The desirability it spreads now: the active or the defunct value.
    int ownAttr() const;
    // Destruction and removal: releases its links and takes its
    // desirability back (nothing when destroyed already).
    void release();

    const RnDecoType& decoType() const;

    GoodsMap goods_;
    RnBuildingTimedData effect_;
};

class RnDecoType : public RnSimpleBuildingType {
public:
    RnDecoType() : RnSimpleBuildingType(RnIdBldDeco) {}

    RnObjectID createBuilding(int x, int y) override;
    void removeBuilding(const RnMapTile& tile, int tx, int ty) override;
    int instanceCount() const override { return instances_.liveCount(); }
    RnGenericBuilding* findInstance(int32_t idx) override;

    // The amount listed for a goods type, else 0.
    uint16_t amountForGoods(int16_t goods) const;

    // image_ of the simple part is the image while active.
    std::string image_defunc_;
    int16_t own_attr_act_ = 0;
    int16_t own_attr_def_ = 0;
    int16_t service_type_idx_ = -1;  // -1: supplied with goods
    uint16_t hours_attr_ = 0;
    uint16_t in_capa_ = 0;
    std::vector<RnGoodsAmount> goods_;
    nex::AppendableWithFreeList<RnDeco, kRnInstanceBlock> instances_;
};
