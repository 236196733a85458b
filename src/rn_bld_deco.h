// Decoration buildings: buildings that raise the desirability around them
// while they are supplied, either with goods (brought from their near
// storages by production walkers) or with a service (a service walker passing
// by). Each supply keeps them active for a number of hours.
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

    // Material supply, the end of a running effect and the near-storage
    // search; a ruin asks for no wake-up.
    DaxGameTime update(DaxGameTime now) override;
    // The record in a save game.
    void save(RnSaveBuffer& out) const override;
    void load(RnSaveLoader& in, RnLoadContext& ctx) override;
    void desirabilityChanged(DaxGameTime /*t*/) override {}
    void workersChanged(DaxGameTime /*t*/) override {}
    // Goods came: the effect starts when none runs and the goods suffice.
    void goodsArrived(DaxGameTime t) override;
    // Decorations send no walkers: fatal check "false".
    void walkerReturned(DaxGameTime t, const RnObjectID& walker) override;
    int debugText(std::string& buf, bool sep) const override;
    int infoText(std::string& buf, bool sep) const override;
    // Its own info dialog, made by grn_building_dialogs (null without one).
    DaxDialogIfc* createDialog() const override;
    bool refersTo(const RnObjectID& oid) const override;
    bool inputsAvailable() const override;
    int inputLevel() const override;
    bool isDestroyed() const override { return (flags_ & kDestroyed) != 0; }
    // Per mille of the capacity that is free (counting the promised goods
    // when asked to), 0 for a ruin or a goods type it does not take.
    uint16_t goodsNeed(DaxGameTime t, int16_t goods, bool with_promised) const override;
    void goodsDelivered(DaxGameTime t, int16_t goods, int amount) override;
    void goodsPromised(int16_t goods, int amount) override;
    // The part of the effect window passed, in per mille, for its service.
    uint16_t serviceNeed(DaxGameTime t, int16_t service, int flag) const override;
    void serviceDelivered(DaxGameTime t, int16_t service) override;
    void setServicePending(int16_t service, bool on) override;
    void forgetObject(const RnObjectID& oid) override;
    bool scheduleSupplyCheck(DaxGameTime t) override;

    // The desirability it spreads now: the active or the defunct value.
    int ownAttr() const;
    // Uses up one supply of goods; whether there was one (a decoration
    // without goods needs a service unless it needs nothing).
    bool consume();
    // Starts a new effect when none runs and a supply is there, else falls
    // defunct; returns whether it started one.
    bool checkSupply(DaxGameTime t);
    // An effect starts at t (the decoration becomes active) or the
    // decoration falls defunct.
    void activate(DaxGameTime t);
    void deactivate(DaxGameTime t);
    // Links every goods entry to the first storage keeping its goods along
    // the roads (unlinks those without one).
    void searchNearStorages();
    // Destruction and removal: releases its links and takes its
    // desirability back (nothing when destroyed already).
    void release();

    // After loading: the material store brought in line with the type (the
    // supply check re-registered when it moved); returns whether anything
    // changed.
    bool verifyMaterialNeeds(const RnDecoType& type);
    // After loading: the goods entries brought in line with the type;
    // raises for goods the type does not take.
    void checkGoods(const RnDecoType& type);

    const RnDecoType& decoType() const;

    GoodsMap goods_;
    RnBuildingTimedData effect_;

private:
    // Moves an entry's link to storage (null: unlinks); the storages' demand
    // follows.
    void setLink(int16_t goods, RnDecoInpInf& entry, const RnObjectID& storage);
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
    // How long one supply keeps a decoration active: at least an hour, so
    // that a renewal never falls due at the time it was made.
    float effectHours() const { return hours_attr_ > 0 ? hours_attr_ : 1.0f; }

    // image_ of the simple part is the image while active.
    std::string image_defunc_;
    int16_t own_attr_act_ = 0;
    int16_t own_attr_def_ = 0;
    int16_t service_type_idx_ = -1;  // -1: supplied with goods
    uint16_t hours_attr_ = 0;
    uint16_t in_capa_ = 0;
    std::vector<RnGoodsAmount> goods_;
    RnInstanceList<RnDeco> instances_;
};
