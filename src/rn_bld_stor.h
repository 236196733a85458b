// Storage buildings: workplaces that keep goods in lots for the buildings
// around them. A storage books the lots walkers bring, keeps the net demand
// its linked buildings register, sends production walkers with single lots
// to the buildings that need them and storage walkers with loads to its
// neighbours in the storage network of its type, and rebuilds its own links
// of that network along the roads.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <vector>

#include "rn_bld_generic.h"
#include "rn_stor_network.h"

struct RnFloodTargetProd;
struct RnStorTransportPlan;

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
    // Pending timers.
    static constexpr uint32_t kWkfPending = 1u << 0;
    static constexpr uint32_t kNearPending = 1u << 1;
    static constexpr uint32_t kBldPending = 1u << 2;
    static constexpr uint32_t kProdSpwnPending = 1u << 3;
    static constexpr uint32_t kProdKillPending = 1u << 4;
    static constexpr uint32_t kStorSpwnPending = 1u << 5;
    static constexpr uint32_t kStorKillPending = 1u << 6;
    // Walkers out: production walkers in bits 7-10, storage walkers in
    // bits 11-14.
    static constexpr int kProdCountShift = 7;
    static constexpr int kStorCountShift = 11;
    // The outcome of the last departure of each walker kind (two bits:
    // production walkers 15-16, storage walkers 17-18).
    static constexpr int kProdOutcomeShift = 15;
    static constexpr int kStorOutcomeShift = 17;
    static constexpr uint32_t kOutcomeSent = 0;
    static constexpr uint32_t kOutcomeNoTarget = 1;
    static constexpr uint32_t kOutcomeNoRoad = 3;
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

    int numProdWalkers() const { return static_cast<int>((flags_ >> kProdCountShift) & 15u); }
    int numStorWalkers() const { return static_cast<int>((flags_ >> kStorCountShift) & 15u); }
    uint32_t prodOutcome() const { return (flags_ >> kProdOutcomeShift) & 3u; }
    uint32_t storOutcome() const { return (flags_ >> kStorOutcomeShift) & 3u; }
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

    // Building material and decay, the worker re-check, the network
    // refresh, and taking back and sending out both walker kinds.
    DaxGameTime update(DaxGameTime now) override;
    // The record in a save game.
    void save(RnSaveBuffer& out) const override;
    void load(RnSaveLoader& in, RnLoadContext& ctx) override;
    void desirabilityChanged(DaxGameTime /*t*/) override {}
    void workersChanged(DaxGameTime t) override;
    // Goods came in: both walker kinds may leave again.
    void goodsArrived(DaxGameTime t) override;
    // A production or storage walker came home (any other kind is fatal).
    void walkerReturned(DaxGameTime t, const RnObjectID& walker) override;
    int debugText(std::string& buf, bool sep) const override;
    int infoText(std::string& buf, bool sep) const override;
    // Its own info dialog, made by grn_building_dialogs (null without one).
    DaxDialogIfc* createDialog() const override;
    // Assigned workers / required workers; 0 for a ruin.
    float efficiency() const override { return isDestroyed() ? 0.0f : efficiency_; }
    // Nonzero when the last departure of either walker kind found no road.
    uint32_t problemFlags() const override;
    bool isDestroyed() const override { return (flags_ & kDestroyed) != 0; }
    // Workers of a needed people type live in range (false for a ruin).
    bool hasWorkers() const override;
    // Free room for the goods type as a score: per mille of the type's
    // capacity, at most 250; 0 for goods the type does not distribute.
    uint16_t goodsNeed(DaxGameTime t, int16_t goods, bool with_promised) const override;
    // A walker hands over lots that were promised (fatal unless they were);
    // the stock may go above the capacity.
    void goodsDelivered(DaxGameTime t, int16_t goods, int amount) override;
    // Lots on their way here (negative: a walker gave up).
    void goodsPromised(int16_t goods, int amount) override;
    bool scheduleSupplyCheck(DaxGameTime t) override;

    // A linked building's share of the demand for goods changes by delta
    // (fatal check "it!=goods_stored_.end()").
    void adjustDemand(int16_t goods, int delta);
    // Lots leave (delta < 0, down to 0) or come in (up to cap).
    void adjustStock(int16_t goods, int delta, int cap);
    // Whether the storage keeps the goods type.
    bool storesGoods(int16_t goods) const { return goods_stored_.count(goods) != 0; }

    // Recomputes the worker ratio (its efficiency) from the assigned workers.
    void updateWorkerRatio();

    // Arms the departure timer of a walker kind at t plus the type's respawn
    // hours, unless it is armed already, the storage has no workers or is a
    // ruin, or all its walkers of the kind are out. Returns whether it did.
    bool armProdWalkerTimer(DaxGameTime t);
    bool armStorWalkerTimer(DaxGameTime t);
    // A departure: a production walker with one lot to the building that
    // needs one of the stored goods most, or a storage walker with a load to
    // the neighbour the transport plan chooses. The outcome goes into the
    // flags; the timer is armed again while walkers of the kind are left.
    void sendProdWalker(DaxGameTime now);
    void sendStorWalker(DaxGameTime now);
    // Takes back the finished walkers of each kind that this storage sent,
    // noting their outcome, and those whose home is gone.
    void removeFinishedProdWalkers();
    void removeFinishedStorWalkers();

    // Rebuilds this storage's out-edges in its type's network: an edge to
    // each storage of the type first reached along the roads within
    // storage_walker_range, with the road's length and first steps.
    void updateNetworkLinks();
    // Out-edges of its node (0 without a node).
    int networkOutDegree() const;
    // Takes its node out of the network with all its edges.
    void removeNetworkNode();

    // Whether to send a storage walker now, and with what to which
    // neighbour of the network: the goods move towards the storages whose
    // linked buildings need them most. True with a filled plan.
    bool planTransport(RnStorTransportPlan& plan) const;
    // The best target for a production walker with one of the goods types
    // (other storages are no targets). True with the target filled.
    bool findProdWalkerTarget(RnFloodTargetProd& target, DaxGameTime now, const std::vector<DaxMapPositionI>& starts,
                              const RnGoodsSet& goods) const;

    // Decay and removal: the storage leaves the workforce and its network,
    // the buildings around forget it, its walkers and those coming to it
    // stop, its goods go and its desirability is taken back. Nothing for a
    // ruin.
    void shutDown(const RnStorType& type);

    // After loading. The material store follows the type (a change wakes
    // the storage for its supply check); a ruin keeps no node.
    void verifyMaterialNeeds();
    // The walker counters from the walkers out in the world.
    void recountWalkers();
    // The goods entries follow the type's goods: new ones are added empty,
    // dropped ones go with the walkers carrying them here or from here.
    void checkDistribution();

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
    RnStorageNetwork network_;
    RnInstanceList<RnStor> instances_;
};
