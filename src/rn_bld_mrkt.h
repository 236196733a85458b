// Markets: workplaces that collect the goods houses use from the storages
// around them and send market walkers to the houses. A goods type is ordered
// while it is switched on and wanted by a house in the walkers' reach.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <vector>

#include "rn_bld_generic.h"

struct RnFloodTarget;

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

    int promisedLots() const { return word_ & kPromisedMask; }
    void setPromisedLots(int n) {
        word_ = static_cast<uint16_t>((word_ & ~kPromisedMask) | (static_cast<uint16_t>(n) & kPromisedMask));
    }
    uint16_t units() const { return amount_; }
    void setUnits(int n) { amount_ = static_cast<uint16_t>(n); }
    bool wanted() const { return (word_ & kWanted) != 0; }
    bool enabled() const { return (word_ & kEnabled) != 0; }
    // Switched on and wanted: only then is its demand registered at its
    // storage.
    bool ordering() const { return wanted() && enabled(); }
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
    static constexpr int kProblemShift = 9;      // bits 9-10: last dispatch
    static constexpr uint32_t kProblemBits = 3u << 9;
    static constexpr uint32_t kDestroyed = 1u << 11;
    static constexpr uint32_t kTimerBits = kWkfPending | kNearPending | kSpwnPending | kBldPending | kKillPending;

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

    // Material check, worker re-check, near storages and wanted goods,
    // returned walkers and departures; returns the earliest pending timer.
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
    // The last dispatch's outcome: 0x200 no house, 0x601 no road.
    uint32_t problemFlags() const override;
    // Workers of a needed people type live in range (false for a ruin).
    bool hasWorkers() const override;
    // The lowest fill, stored and promised, of the goods it orders.
    int inputLevel() const override;
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

    // What the market holds of a goods type, up to wanted (units).
    uint16_t available(int16_t goods, uint16_t wanted) const;
    // Whether it holds any of the goods type (false for a ruin).
    bool hasGoods(int16_t goods) const;
    // Hands over up to amount units to a house and returns how many; the
    // linked storage's demand follows the change of whole lots.
    uint16_t takeGoods(int16_t goods, uint16_t amount);
    // The dialog's switch of a goods type: off withdraws its demand at once,
    // on registers it again when a house wants the goods.
    void setGoodsEnabled(int16_t goods, bool on);

    // Recomputes the worker ratio (its efficiency) from the assigned workers.
    void updateWorkerRatio();

    // Writes an entry's link and its wanted and switched-on bits, moving its
    // demand from the old storage to the new one. An entry that does not
    // order and keeps its bits keeps its old link.
    void setGoodsLink(int16_t goods, RnMrktAmountInf& entry, const RnObjectID& storage, bool wanted, bool on);
    // Every entry unlinked and not wanted (its switch stays).
    void clearNearStorages();
    // The result of a near-storage check: each entry linked to the storage
    // found for it, and wanted as the house levels in reach say when they
    // changed since the last check.
    void applyNearStorages(const std::map<int16_t, RnObjectID>& found, const std::vector<int16_t>& levels);
    // Lots an entry still orders (0 while it is not wanted).
    int demandLots(int16_t goods, const RnMrktAmountInf& entry) const;

    // A departure: a walker to the house that wants most of its goods; then
    // the next departure while walkers are missing.
    void sendWalker(DaxGameTime t);
    // Takes back the walkers that came home.
    void collectReturnedWalkers(DaxGameTime t);
    // Ruin and removal: leaves the workforce, withdraws its demand, removes
    // its walkers and takes its desirability back (nothing when destroyed
    // already).
    void shutDown(const RnMrktType& type);

    // After loading: entries for goods types the type now sells, links to
    // storages that no longer keep the goods dropped; raises "market
    // [%hd:%hd,%d] has goods which are not allowed with market type %s" when
    // goods types it does not sell remain.
    void checkGoods();
    // After loading: the material store follows the type.
    void verifyMaterialNeeds();

    // The house that wants most of the market's goods for the road it
    // takes, within the reach of the market's walkers, from the road tiles
    // beside the market. True with the target filled.
    bool findWalkerTarget(RnFloodTarget& target, DaxGameTime now, const std::vector<DaxMapPositionI>& starts) const;

    int walkersOut() const { return static_cast<int>((flags_ & kWalkerCountMask) >> kWalkerCountShift); }

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
    RnInstanceList<RnMrkt> instances_;
};
