// Service buildings: workplaces that send service walkers to the houses and
// decorations around them, using up goods for each walker sent. Also the
// scheme of timers, building material, walker dispatch and near storages that
// markets and builders share with them.
#pragma once

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <iterator>
#include <map>
#include <vector>

#include "dax2/dax_error.h"
#include "rn_bld_generic.h"
#include "rn_pathfind.h"
#include "rn_wlk_generic.h"

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
    static constexpr int kProblemShift = 8;      // bits 8-9: last dispatch
    static constexpr uint32_t kProblemBits = 3u << 8;
    static constexpr uint32_t kDestroyed = 1u << 10;
    // The goods of the pending departure's walker are taken: set when a
    // departure is scheduled with them, cleared when a walker leaves with
    // them or they are given back.
    static constexpr uint32_t kGoodsTaken = 1u << 11;
    static constexpr uint32_t kTimerBits = kWkfPending | kNearPending | kBldPending | kSpwnPending | kKillPending;

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

    // Material check, worker re-check, near storages, returned walkers and
    // departures, in this order; returns the earliest pending timer.
    DaxGameTime update(DaxGameTime now) override;
    // The record in a save game.
    void save(RnSaveBuffer& out) const override;
    void load(RnSaveLoader& in, RnLoadContext& ctx) override;
    void desirabilityChanged(DaxGameTime /*t*/) override {}
    void workersChanged(DaxGameTime t) override;
    // Goods came: a departure is scheduled now if it can be.
    void goodsArrived(DaxGameTime t) override;
    void walkerReturned(DaxGameTime t, const RnObjectID& walker) override;
    int debugText(std::string& buf, bool sep) const override;
    int infoText(std::string& buf, bool sep) const override;
    // Its own info dialog, made by grn_building_dialogs (null without one).
    DaxDialogIfc* createDialog() const override;
    // The worker ratio; 0 for a ruin, which employs nobody.
    float efficiency() const override { return isDestroyed() ? 0.0f : efficiency_; }
    bool refersTo(const RnObjectID& oid) const override;
    // The last dispatch's outcome: 0x100 no target, 0x301 no road.
    uint32_t problemFlags() const override;
    // Workers of a needed people type live in range (false for a ruin).
    bool hasWorkers() const override;
    // What one walker uses is in store or on its way (also true while a
    // walker is out, for a ruin, and without needs).
    bool inputsAvailable() const override;
    // The lowest fill of the goods entries, stored plus promised, per mille
    // of in_capa.
    int inputLevel() const override;
    bool isDestroyed() const override { return (flags_ & kDestroyed) != 0; }
    // Per mille of in_capa still free (lots).
    uint16_t goodsNeed(DaxGameTime t, int16_t goods, bool with_promised) const override;
    void goodsDelivered(DaxGameTime t, int16_t goods, int amount) override;
    // Lots on their way (negative: a promise withdrawn).
    void goodsPromised(int16_t goods, int amount) override;
    // A storage goes away: its links are dropped without passing demand.
    void forgetObject(const RnObjectID& oid) override;
    bool scheduleSupplyCheck(DaxGameTime t) override;

    // Recomputes the worker ratio (its efficiency) from the assigned workers.
    void updateWorkerRatio();
    // The info dialog's worker button: one more worker from a workplace
    // sharing a house; returns how many assignments changed.
    int requestMoreWorkers();

    // Schedules the next departure respawn hours after t, taking the goods
    // the walker uses now. Fails when the workers are too few (efficiency
    // 0.01 or below), a departure is scheduled already, the building is a
    // ruin, or the goods are not there.
    bool scheduleSpawn(DaxGameTime t);
    // Takes the needed amount of every goods entry for one walker; fails,
    // taking nothing, when a walker more is not allowed or an entry holds
    // too little.
    bool takeGoodsForWalker(const RnServType& type);
    // Puts back what takeGoodsForWalker took: the store, the storage's share
    // of the demand and the goods' consumption count.
    void giveBackGoodsOfWalker(const RnServType& type);
    // A departure: a walker to the house or decoration that needs the
    // service most, which is told that the walker comes; then the next
    // departure while walkers are missing. A departure that falls through
    // without being put off (the workers left) gives back the goods taken
    // for it; one put off (no road, no target) keeps them for later.
    void sendWalker(DaxGameTime t);
    // Takes back the walkers that came home.
    void collectReturnedWalkers(DaxGameTime t);
    // Ruin and removal: leaves the workforce, withdraws its demand at the
    // storages, removes its walkers and takes its desirability back
    // (nothing when it is destroyed already).
    void shutDown(const RnServType& type);

    // Moves an entry's link to storage, passing its free capacity from the
    // old storage's demand to the new one's.
    void setNearStorage(int16_t goods, RnServGoodsEntry& entry, const RnObjectID& storage);
    void clearNearStorages();
    // Links every entry to the storage found for its goods type (unlinks it
    // where none was found).
    void applyNearStorages(const std::map<int16_t, RnObjectID>& found);

    // After loading: entries for goods types the type now needs, links to
    // storages that no longer keep the goods dropped; raises "service
    // [%hd:%hd,%d] has goods which are not allowed with service type" when
    // goods types the type does not need remain.
    void checkGoods();
    // After loading: the material store follows the type; a changed one is
    // woken at its supply check.
    void verifyMaterialNeeds();

    // The house or decoration that needs the service most for the road it
    // takes, within the reach of the building's walkers, from the road
    // tiles beside it. True with the target filled.
    bool findWalkerTarget(RnFloodTarget& target, DaxGameTime now, const std::vector<DaxMapPositionI>& starts) const;

    // Walkers out now.
    int walkersOut() const { return static_cast<int>((flags_ & kWalkerCountMask) >> kWalkerCountShift); }
    // Lots an entry may still take: in_capa less stored and promised (negative
    // when the type's capacity shrank).
    int freeCapacity(const RnServGoodsEntry& entry) const;

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
    // decoration types tied to it, by their need of it. Above 900 per mille
    // a receiver counts into badly (it is running out), else into well.
    void countServedHouses(int& badly, int& well) const;

    int16_t walker_type_idx_ = -1;
    uint16_t req_num_serv_walkers_ = 0;
    uint16_t hours_respawn_ = 0;
    uint16_t in_capa_ = 0;
    int16_t tax_percent_ = 0;
    std::vector<RnGoodsAmount> needs_;
    std::vector<RnWorkerReq> worker_reqs_;
    RnInstanceList<RnServ> instances_;
};

// ---------------------------------------------------------------------------
// The scheme markets and builders share with service buildings. Each kind's
// persistent data names its bits (kBldPending, kDestroyed, kTimerBits, the
// walker count and the two problem bits) and its timers (t_bld_ ...); the
// kinds differ in where the bits lie, not in what they mean.

// The time respawn hours after t, at least one game time unit later: a
// departure that found nothing is never tried again at the same time.
DaxGameTime rnRespawnTime(DaxGameTime t, int hours);

// Units per lot of a goods type; a lot size of 0 counts as 1 so that the
// lot arithmetic never divides by zero.
int rnLotSize(int16_t goods);

// The near-storage check every storage_network_update_hours after t (at
// least one game time unit later).
DaxGameTime rnNextNearCheck(DaxGameTime t);

// The earliest of the timers whose bits are set in flags; kRnNoWakeTime when
// none is.
struct RnPendingTimer {
    uint32_t bit;
    DaxGameTime time;
};
DaxGameTime rnEarliestPending(uint32_t flags, std::initializer_list<RnPendingTimer> timers);

// For each goods type of a goods map, the first storage along the roads
// (within prod_walker_range) that keeps it; goods types none keeps are left
// out.
template <class GoodsMap>
std::map<int16_t, RnObjectID> rnNearStoragesFor(const RnSimpleBuilding& b, const GoodsMap& goods) {
    std::map<int16_t, RnObjectID> found;
    for (const auto& entry : goods) found[entry.first] = RnObjectID();
    b.linkNearStorages(found);
    for (auto it = found.begin(); it != found.end();) it = it->second.isNull() ? found.erase(it) : std::next(it);
    return found;
}

template <class Bld>
void rnSetWalkersOut(Bld& b, int n) {
    b.flags_ = (b.flags_ & ~Bld::kWalkerCountMask) |
               ((static_cast<uint32_t>(n) << Bld::kWalkerCountShift) & Bld::kWalkerCountMask);
}

// The two problem bits: 0 a walker left, 1 it found no target, 3 no road.
template <class Bld>
void rnSetProblem(Bld& b, uint32_t two_bits) {
    b.flags_ = (b.flags_ & ~Bld::kProblemBits) | ((two_bits & 3u) << Bld::kProblemShift);
}

// The problem bits as the slot reports them: their value, plus 1 when both
// are set.
template <class Bld>
uint32_t rnProblemFlags(const Bld& b) {
    const uint32_t p = b.flags_ & Bld::kProblemBits;
    return p == Bld::kProblemBits ? p + 1 : p;
}

// The material steps of an update. A new building fills its store at now
// and asks for a supply check when its first material runs out; at the
// check a building whose material ran out becomes a ruin: shut down,
// destroyed, drawn with the ruin image, every timer cleared, message 3002.
// Returns true for the ruin.
template <class Bld, class Type>
bool rnMaterialStep(Bld& b, const Type& typ, DaxGameTime now) {
    if (!typ.build_material_.empty() && b.material_in_store_.empty()) {
        b.startMaterials(typ, now);
        b.scheduleSupplyCheck(b.earliestRunOut());
        const bool upd_builder_pending_ = (b.flags_ & Bld::kBldPending) != 0;
        DAX_ASSERT(upd_builder_pending_);
    }
    if ((b.flags_ & Bld::kBldPending) == 0 || now.value() < b.t_bld_.value()) return false;
    DAX_ASSERT(typ.build_material_.size()>0);
    DAX_ASSERT(b.material_in_store_.size()>0);
    const DaxGameTime e = b.earliestRunOut();
    if (now.value() < e.value()) {
        b.t_bld_ = e;
        return false;
    }
    b.shutDown(typ);
    b.flags_ = (b.flags_ | Bld::kDestroyed) & ~Bld::kTimerBits;
    rnShowRuinImage(b);
    rnPostBuildingMessage(3002, b);
    return true;
}

// After loading: the material store follows the type. A type without
// material leaves no supply check pending, also when the save asks for one
// (only a damaged file does: the check would find nothing to run out);
// otherwise, when the store changed, a pending check wakes the building.
template <class Bld>
void rnVerifyMaterialNeeds(Bld& b) {
    const RnSimpleBuildingType& typ = b.simpleType();
    const bool changed = b.checkMaterialNeeds(typ, rnNow());
    if (typ.build_material_.empty()) {
        DAX_ASSERT(b.material_in_store_.size() == 0);
        if (changed || (b.flags_ & Bld::kBldPending) != 0) {
            b.flags_ &= ~Bld::kBldPending;
            b.t_bld_ = DaxGameTime::null();
        }
        return;
    }
    if (changed && (b.flags_ & Bld::kBldPending) != 0 && !b.isDestroyed())
        grn_game.updateQueue().schedule(b.t_bld_, b.oid_);
}

// A departure of a workplace's walker of kind W at t. None while the
// workers are too few (efficiency 0.01 or below: the worker re-check arms
// the next departure). Else, when a walker more is allowed, one walker from
// the road tiles beside the building to the target its flood finds, counted
// out and handed to on_sent with its target; the problem bits say how it
// went (no road: both, and message 3003; no target: the low one; sent:
// none). Then, while walkers are still missing, the next departure respawn
// hours later.
template <class W, class Bld, class OnSent>
void rnDepartWalker(Bld& b, RnWalkerList<W>& walkers, int16_t walker_type_idx, bool smooth_move, DaxGameTime t,
                    int limit, int respawn_hours, OnSent on_sent) {
    if (b.efficiency_ <= 0.01f) return;
    if (b.walkersOut() < limit) {
        const RnGenericBuildingType& type = b.buildingType();
        std::vector<DaxMapPositionI> starts;
        grn_map.adjacentRoads(starts, b.pos_on_map_.x, b.pos_on_map_.y, type.width_, type.height_);
        RnFloodTarget target;
        if (starts.empty()) {
            rnSetProblem(b, 3u);
            rnPostBuildingMessage(3003, b);
        } else if (!b.findWalkerTarget(target, t, starts)) {
            rnSetProblem(b, 1u);
        } else {
            rnSetProblem(b, 0u);
            DAX_ASSERT(!target.target_oid_.isNull());
            DAX_ASSERT(target.target_oid_.isBuilding());
            rnSendWalker(walkers, walker_type_idx, W(b.oid_, target, t, smooth_move));
            rnSetWalkersOut(b, b.walkersOut() + 1);
            on_sent(target.target_oid_);
        }
    }
    if (b.walkersOut() < limit) {
        b.flags_ |= Bld::kSpwnPending;
        b.t_spwn_ = rnRespawnTime(t, respawn_hours);
    }
}

// Takes back the walkers of kind W that came home to b: each one's outcome
// becomes the problem bits, it lets go of its target and leaves the world,
// and the count of walkers out goes down. A count that does not fit the
// type's limit (a game saved with a larger limit) or that is already 0 is
// logged; the walkers are taken back all the same.
template <class W, class Bld>
void rnCollectWorkplaceWalkers(Bld& b, RnWalkerList<W>& walkers, int limit) {
    rnCollectFinishedWalkers(walkers, b.oid_, [&b, limit](const W& w) {
        const int out = b.walkersOut();
        if (out > limit || out == 0) {
            daxLogMessage(1, 1, "bldg [%hd:%hd,%d] takes back walker [%hd:%hd,%d] with %d walkers out of %d",
                          b.oid_.kind_, b.oid_.type_idx_, b.oid_.bld_idx_, w.oid_.kind_, w.oid_.type_idx_,
                          w.oid_.bld_idx_, out, limit);
        }
        constexpr uint32_t kOutcome = RnWalkerPersData::kOutcomeLow | RnWalkerPersData::kOutcomeHigh;
        rnSetProblem(b, (w.state_ & kOutcome) / RnWalkerPersData::kOutcomeLow);
        if (out > 0) rnSetWalkersOut(b, out - 1);
    });
}

// The steps of an update every workplace takes after its material and worker
// steps: the walkers that came home are taken back when t_kill is due, the
// departure leaves (sendWalker) when t_spwn is due, and while walkers are
// missing and workers are there the next departure is armed by arm(now).
template <class Bld, class Arm>
void rnWalkerSteps(Bld& b, DaxGameTime now, int limit, Arm arm) {
    if ((b.flags_ & Bld::kKillPending) != 0 && now.value() >= b.t_kill_.value()) {
        b.flags_ &= ~Bld::kKillPending;
        b.collectReturnedWalkers(b.t_kill_);
    }
    if ((b.flags_ & Bld::kSpwnPending) != 0 && now.value() >= b.t_spwn_.value()) {
        b.flags_ &= ~Bld::kSpwnPending;
        b.sendWalker(b.t_spwn_);
    }
    if ((b.flags_ & Bld::kSpwnPending) == 0 && b.walkersOut() < limit && b.efficiency_ > 0.01f) arm(now);
}

// Whether a near-storage check is due now. The first one comes 2 game hours
// after the first update of a building with goods entries, then one every
// storage_network_update_hours; a due check is counted as made.
template <class Bld>
bool rnNearCheckDue(Bld& b, DaxGameTime now) {
    if ((b.flags_ & Bld::kNearPending) == 0 && !b.goods_stored_.empty()) {
        b.flags_ |= Bld::kNearPending;
        b.t_near_ = now;
        b.t_near_.addHours(2.0f);
    }
    if ((b.flags_ & Bld::kNearPending) == 0 || now.value() < b.t_near_.value()) return false;
    b.t_near_ = rnNextNearCheck(b.t_near_);
    // Long asleep (a loaded game): the next check is a period from now.
    if (b.t_near_.value() <= now.value()) b.t_near_ = rnNextNearCheck(now);
    return true;
}

// The wake time a workplace's update returns: its earliest pending timer.
template <class Bld>
DaxGameTime rnWorkplaceWake(const Bld& b) {
    return rnEarliestPending(b.flags_, {{Bld::kSpwnPending, b.t_spwn_},
                                        {Bld::kKillPending, b.t_kill_},
                                        {Bld::kWkfPending, b.t_wkf_},
                                        {Bld::kNearPending, b.t_near_},
                                        {Bld::kBldPending, b.t_bld_}});
}

// After loading: links of a goods map to storages that no longer keep the
// goods (or stand no more) are dropped, without passing demand, and logged
// with the building's kind word ("service", "market").
template <class GoodsMap>
void rnDropStaleLinks(GoodsMap& goods, const RnObjectID& own, const char* kind_word) {
    for (auto& [g, e] : goods) {
        if (e.near_storage_.isNull()) continue;
        if (rnLinkedStorage(e.near_storage_, g)) continue;
        daxLogMessage(1, 2, "near_stor [%hd:%hd,%d] cleared for goods type %d %s [%hd:%hd,%d]", e.near_storage_.kind_,
                      e.near_storage_.type_idx_, e.near_storage_.bld_idx_, g, kind_word, own.kind_, own.type_idx_,
                      own.bld_idx_);
        e.near_storage_.setNull();
    }
}

// Goods entries of markets and builders keep units in store and count the
// lots promised to them; Entry gives units(), setUnits(), promisedLots(),
// setPromisedLots(), ordering() and near_storage_. Demand is registered at
// the near storage only while the entry orders, so only then do changes
// pass.

// Per mille of cap_lots lots still free (0 for an entry that does not order).
template <class Entry>
uint16_t rnLotEntryNeed(const Entry& e, int16_t goods, int cap_lots, bool with_promised) {
    if (!e.ordering()) return 0;
    const int16_t cap = static_cast<int16_t>(cap_lots * rnLotSize(goods));
    int16_t level = static_cast<int16_t>(e.units());
    if (with_promised) level = static_cast<int16_t>(level + e.promisedLots() * rnLotSize(goods));
    if (level >= cap) return 0;
    return static_cast<uint16_t>((cap - level) * 1000 / cap);
}

// Lots arrive: they go from promised to the store (in units); the demand
// stays as it is.
template <class Entry>
void rnLotEntryDelivered(Entry& aa, int16_t goods, int amount_nlots) {
    const int promised_nlots_ = aa.promisedLots();
    DAX_ASSERT(promised_nlots_>=amount_nlots);
    aa.setPromisedLots(promised_nlots_ - amount_nlots);
    aa.setUnits(aa.units() + amount_nlots * rnLotSize(goods));
}

// Lots on their way (negative: a promise withdrawn).
template <class Entry>
void rnLotEntryPromised(Entry& e, int16_t goods, int nlots) {
    e.setPromisedLots(e.promisedLots() + nlots);
    if (e.ordering()) rnPassDemand(e.near_storage_, goods, nlots);
}

// Hands over up to amount units and returns how many; the storage sees the
// change of whole lots, and the goods' consumption counter grows.
template <class Entry>
uint16_t rnLotEntryTake(Entry& e, int16_t goods, uint16_t amount) {
    const uint16_t taken = std::min<uint16_t>(e.units(), amount);
    const int lot = rnLotSize(goods);
    const int lots_before = e.units() / lot;
    e.setUnits(e.units() - taken);
    if (e.ordering()) rnPassDemand(e.near_storage_, goods, e.units() / lot - lots_before);
    grn_game.goodsType(goods).consumed_cur_ += taken;
    return taken;
}
