// Builder buildings: workplaces that keep building material for the
// buildings around them and send builder walkers to the ones whose material
// wears off most. Sites take the material from the builder's store as the
// walker hands it over.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <vector>

#include "rn_bld_generic.h"

struct RnFloodTarget;

// A material entry of a builder (12 bytes): stored units, promised lots in
// bits 0-14 of word_ with bit 15 "ordering", and the linked near storage.
struct RnBldrAmountInf {
    static constexpr uint16_t kOrdering = 0x8000u;
    static constexpr uint16_t kPromisedMask = 0x7FFFu;

    uint16_t stored_ = 0;
    uint16_t word_ = 0;
    RnObjectID near_storage_;

    int promisedLots() const { return word_ & kPromisedMask; }
    void setPromisedLots(int n) {
        word_ = static_cast<uint16_t>((word_ & ~kPromisedMask) | (static_cast<uint16_t>(n) & kPromisedMask));
    }
    uint16_t units() const { return stored_; }
    void setUnits(int n) { stored_ = static_cast<uint16_t>(n); }
    // Some building in reach uses the goods as material: the entry orders
    // (its demand is registered at its storage).
    bool ordering() const { return (word_ & kOrdering) != 0; }
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
    static constexpr int kProblemShift = 8;      // bits 8-9: last dispatch
    static constexpr uint32_t kProblemBits = 3u << 8;
    static constexpr uint32_t kDestroyed = 1u << 10;
    static constexpr uint32_t kTimerBits = kWkfPending | kNearPending | kBldPending | kSpwnPending | kKillPending;

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

    // Worker re-check, near storages and ordering, returned walkers and
    // departures; returns the earliest pending timer.
    DaxGameTime update(DaxGameTime now) override;
    // The record in a save game.
    void save(RnSaveBuffer& out) const override;
    void load(RnSaveLoader& in, RnLoadContext& ctx) override;
    void desirabilityChanged(DaxGameTime /*t*/) override {}
    void workersChanged(DaxGameTime t) override;
    void goodsArrived(DaxGameTime /*t*/) override {}
    void walkerReturned(DaxGameTime t, const RnObjectID& walker) override;
    int debugText(std::string& buf, bool sep) const override;
    int infoText(std::string& buf, bool sep) const override;
    // Its own info dialog, made by grn_building_dialogs (null without one).
    DaxDialogIfc* createDialog() const override;
    // The worker ratio; 0 for a ruin, which employs nobody.
    float efficiency() const override { return isDestroyed() ? 0.0f : efficiency_; }
    bool refersTo(const RnObjectID& oid) const override;
    // The last dispatch's outcome: 0x100 nothing needs material, 0x301 no
    // road.
    uint32_t problemFlags() const override;
    // Workers of a needed people type live in range (false for a ruin).
    bool hasWorkers() const override;
    bool isDestroyed() const override { return (flags_ & kDestroyed) != 0; }
    // Per mille of the capacity still free, for a goods type it orders.
    uint16_t goodsNeed(DaxGameTime t, int16_t goods, bool with_promised) const override;
    // Lots arrive (stored in units).
    void goodsDelivered(DaxGameTime t, int16_t goods, int nlots) override;
    // Lots on their way (negative: a promise withdrawn).
    void goodsPromised(int16_t goods, int nlots) override;
    // A storage goes away: its links are dropped without passing demand.
    void forgetObject(const RnObjectID& oid) override;
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

    // Writes an entry's link and its ordering bit, moving its demand from
    // the old storage to the new one. An entry that does not order and keeps
    // its bit keeps its old link.
    void setGoodsLink(int16_t goods, RnBldrAmountInf& entry, const RnObjectID& storage, bool ordering);
    // Every entry unlinked and not ordering.
    void clearNearStorages();
    // The result of a near-storage check: each entry linked to the storage
    // found for it; an entry starts ordering once a building in reach uses
    // its goods (in used) and never stops here.
    void applyNearStorages(const std::map<int16_t, RnObjectID>& found, const RnGoodsSet& used);
    // Lots an entry still orders.
    int demandLots(int16_t goods, const RnBldrAmountInf& entry) const;

    // A departure: a walker to the building that needs material most; then
    // the next departure while walkers are missing.
    void sendWalker(DaxGameTime t);
    // Takes back the walkers that came home.
    void collectReturnedWalkers(DaxGameTime t);
    // Ruin and removal: leaves the workforce, withdraws its demand, removes
    // its walkers and takes its desirability back (nothing when destroyed
    // already).
    void shutDown(const RnBldrType& type);

    // After loading: entries for the material the type now distributes;
    // entries for goods it no longer distributes are dropped with their
    // demand, and logged.
    void checkGoods();
    // After loading: the material store follows the type (a builder keeps
    // none).
    void verifyMaterialNeeds();

    // The site that needs material most for the road it takes, within the
    // reach of the builder's walkers, from the road tiles beside the builder.
    // True with the target filled.
    bool findWalkerTarget(RnFloodTarget& target, DaxGameTime now, const std::vector<DaxMapPositionI>& starts) const;

    int walkersOut() const { return static_cast<int>((flags_ & kWalkerCountMask) >> kWalkerCountShift); }

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
    RnInstanceList<RnBldr> instances_;
};
