// Storage buildings: workplaces that keep goods in lots for the buildings
// around them and pass them on with production and storage walkers. Here are
// the records, the placement, the removal, the demand balance that linked
// buildings keep current, the storage network of each type and the transport
// planner that reads it; the storage's behaviour and the links of its network
// come with their own code.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <vector>

#include "nex/tappend.h"
#include "nex/tgraph.h"
#include "rn_bld_generic.h"

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

// A road link of the storage network (24 bytes): where the road starts
// beside the source storage, its length to the tile beside the target, and
// its first steps in walking order.
struct RnStorNetEdgeData {
    DaxMapPositionI start_ = DaxMapPositionI::none();
    int16_t dist_ = 0;
    uint16_t len_ = 0;
    uint8_t steps_[16] = {};
};
static_assert(sizeof(RnStorNetEdgeData) == 24, "storage network edges are 24 bytes");

// The storages of one storage type and the road links from each to the
// storages of the type it reaches first: a directed graph whose node and edge
// ids (from 1) index the storage ids and the link data.
class RnStorageNetwork {
public:
    static int32_t typeSignature() { return nex::tDiGraph::dataSignature() + 32; }

    // The storage of a node (fatal unless the node is in the graph).
    void setNodeObject(int32_t node, const RnObjectID& oid);
    const RnObjectID& nodeObject(int32_t node) const;
    // The link from one node to another, added when there is none yet.
    void setEdge(int32_t node_from, int32_t node_to, const RnStorNetEdgeData& data);
    const RnStorNetEdgeData& edgeData(int32_t edge) const;
    // Drops every link leaving the node.
    void removeOutEdges(int32_t node);

    nex::tDiGraph gr_;

private:
    nex::tappend<RnObjectID, 128> nodes_;
    nex::tappend<RnStorNetEdgeData, 128> edges_;
};

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

    // Whether to send a storage walker now, and with what to which
    // neighbour of the network: the goods move towards the storages whose
    // linked buildings need them most. True with a filled plan.
    bool planTransport(RnStorTransportPlan& plan) const;
    // The best target for a production walker with one of the goods types
    // (other storages are no targets). True with the target filled.
    bool findProdWalkerTarget(RnFloodTargetProd& target, DaxGameTime now, const std::vector<DaxMapPositionI>& starts,
                              const RnGoodsSet& goods) const;

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
    RnStorageNetwork network_;
    nex::AppendableWithFreeList<RnStor, kRnInstanceBlock> instances_;
};
