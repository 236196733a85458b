// Production buildings: workplaces that turn input goods (or a resource of
// the map) into output goods in timed cycles and send production walkers
// with them to the buildings and storages that need them most. Here are the
// records, the cycle, the walker dispatch, the near-storage links, the
// resource factor with its roaming markers, the placement with its resource
// rule, the removal and the checks after loading.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "rn_bld_generic.h"

struct RnFloodTarget;
struct RnFloodTargetProd;

// An input entry (12 bytes): stored and promised units, linked near storage.
struct RnProdInpInf {
    uint16_t stored_ = 0;
    uint16_t promised_ = 0;
    RnObjectID near_storage_;
};
static_assert(sizeof(RnProdInpInf) == 12, "RnProdInpInf is 12 bytes in save games");

// An output entry (16 bytes): stored units in bits 0-14 with bit 15 set while
// a cycle runs, the ready time of the running cycle, linked near storage.
struct RnProdOutInf {
    static constexpr uint16_t kCycleRunning = 0x8000u;
    static constexpr uint16_t kAmountMask = 0x7FFFu;

    uint16_t stored_ = 0;
    uint16_t pad_ = 0;
    DaxGameTime ready_time_{0};
    RnObjectID near_storage_;
};
static_assert(sizeof(RnProdOutInf) == 16, "RnProdOutInf is 16 bytes in save games");

// Persistent part of a production building (36 bytes, saved raw).
struct RnProdPersData {
    static constexpr uint32_t kWkfPending = 1u << 0;
    static constexpr uint32_t kNearPending = 1u << 1;
    static constexpr uint32_t kEffPending = 1u << 2;
    static constexpr uint32_t kBldPending = 1u << 3;
    static constexpr uint32_t kSpwnPending = 1u << 4;
    static constexpr uint32_t kKillPending = 1u << 5;
    static constexpr int kWalkerCountShift = 6;  // bits 6-9: walkers out
    static constexpr uint32_t kWalkerCountMask = 15u << 6;
    static constexpr uint32_t kProblemBits = 3u << 10;  // both: no road
    static constexpr uint32_t kNoTarget = 1u << 10;
    static constexpr uint32_t kDestroyed = 1u << 12;

    uint32_t flags_ = 0;
    DaxGameTime t_wkf_{0};
    DaxGameTime t_near_{0};
    DaxGameTime t_eff_{0};
    DaxGameTime t_bld_{0};
    DaxGameTime t_spwn_{0};
    DaxGameTime t_kill_{0};
    float worker_factor_ = 0.0f;
    float resource_factor_ = 0.0f;
};
static_assert(sizeof(RnProdPersData) == 36, "RnProdPersData is saved as 36 raw bytes");

// Where a production type needs its resource.
enum : uint8_t {
    kRnResNone = 0,
    kRnResUnderBld = 1,
    kRnResNextToBld = 2,
    kRnResAroundBld = 3,
};

class RnProdType;

class RnProd final : public RnSimpleBuilding, public RnProdPersData {
public:
    using InputMap = std::map<int16_t, RnProdInpInf>;
    using OutputMap = std::map<int16_t, RnProdOutInf>;

    RnProd() = default;
    // A new building: t_eff pending at time 0, resource factor 1.0, a zero
    // entry per output and per input goods type.
    RnProd(const RnProdType& type, int x, int y);

    // Material, resource factor, workers, near storages, finished cycles,
    // returned walkers and the next departure, each when its timer is due.
    DaxGameTime update(DaxGameTime now) override;
    // The record in a save game.
    void save(RnSaveBuffer& out) const override;
    void load(RnSaveLoader& in, RnLoadContext& ctx) override;
    void desirabilityChanged(DaxGameTime /*t*/) override {}
    void workersChanged(DaxGameTime t) override;
    // Inputs came: cycles that could not start may start now.
    void goodsArrived(DaxGameTime t) override;
    void walkerReturned(DaxGameTime t, const RnObjectID& walker) override;
    int debugText(std::string& buf, bool sep) const override;
    int infoText(std::string& buf, bool sep) const override;
    // Its own info dialog, made by grn_building_dialogs (null without one).
    DaxDialogIfc* createDialog() const override;
    // Worker factor times resource factor; 0 for a ruin.
    float efficiency() const override;
    bool refersTo(const RnObjectID& oid) const override;
    // The walker outcome (bits 10-11), with bit 0 set when there is no road.
    uint32_t problemFlags() const override;
    bool isDestroyed() const override { return (flags_ & kDestroyed) != 0; }
    // Workers of a needed people type live in range (false for a ruin).
    bool hasWorkers() const override;
    bool inputsAvailable() const override;
    int inputLevel() const override;
    int outputLevel() const override;
    // The footprint, the anchor's id and the resource rule against the
    // loaded map; raises when one fails.
    void verifyOnMap() const override;
    // 1000 for an empty input store, falling with the square of its free
    // share (stored, with promised when asked); 0 for other goods.
    uint16_t goodsNeed(DaxGameTime t, int16_t goods, bool with_promised) const override;
    void goodsDelivered(DaxGameTime t, int16_t goods, int amount) override;
    void goodsPromised(int16_t goods, int amount) override;
    void forgetObject(const RnObjectID& oid) override;
    bool scheduleSupplyCheck(DaxGameTime t) override;

    // Recomputes the worker factor from the assigned workers.
    void updateWorkerFactor();

    // Starts or shortens the cycle of every output (list order); true when
    // one started or got shorter.
    bool startCycles(DaxGameTime t);
    // The output's stock changes by delta: down to 0 at least, up to cap at
    // most (what is added counts as produced); the near storage's demand
    // follows.
    void adjustOutput(int16_t goods, int delta, int cap);
    // How far the running cycle of the only output is, in per cent; -1 with
    // several outputs, no running cycle or no efficiency.
    int cycleProgressPercent() const;
    // Production walkers out (bits 6-9).
    int walkerCount() const { return static_cast<int>((flags_ & kWalkerCountMask) >> kWalkerCountShift); }

    // The share of resource tiles around the building against the type's
    // resource percent; the roaming markers are drawn anew on free
    // resource tiles.
    void updateResourceFactor(const RnProdType& type);
    // Takes the roaming markers off the map.
    void releaseMarkedTiles();

    // Decay and removal: leaves the workforce, gives up its walkers and
    // near-storage links, empties its goods, takes its desirability and
    // markers off the map.
    void shutDown(const RnProdType& type);

    // After loading (a raised error stops the loading):
    // the material store against the type's list; rescheduled on a change.
    void verifyMaterialNeeds();
    // Goods entries against the type's lists: missing ones are added, links
    // to storages that no longer keep the goods dropped, goods the type no
    // longer lists refused.
    void checkInputGoods();
    void checkOutputGoods();
    // A building whose anchor tile does not carry its id is taken out of
    // the world; otherwise its walker counter is recounted.
    void checkOidAndWalkers();

    // The building (storages included) that needs one of the goods types
    // most for the road it takes, within prod_walker_range, from the road
    // tiles beside the building. True with the target filled.
    bool findProdWalkerTarget(RnFloodTargetProd& target, DaxGameTime now, const std::vector<DaxMapPositionI>& starts,
                              const RnGoodsSet& goods) const;

    const RnProdType& prodType() const;

    InputMap input_goods_;
    OutputMap output_goods_in_store_;
    // Tiles given a roaming marker (positions packed as DaxMapPositionI).
    std::vector<int32_t> marked_tiles_;

private:
    bool advanceOutput(DaxGameTime t, RnProdOutInf& out, const RnGoodsOutput& def);
    bool consumeInputs(const RnProdOutInf& out, const RnGoodsOutput& def);
    void applyNearStorages(const std::map<int16_t, RnObjectID>& near);
    void setInputNearStorage(int16_t goods, RnProdInpInf& in, const RnObjectID& stor);
    void sendProdWalker(DaxGameTime now);
    void removeFinishedWalkers();
    void setWalkerCount(int n);
    // The room an input entry registers as need at its storage.
    int inputRoom(const RnProdInpInf& in) const;
    // The decay: the building becomes a ruin.
    void fallToRuin();
    // Logs the first footprint tile's other id and every footprint tile;
    // false when every tile of the footprint carries this building.
    bool logInconsistentOid() const;
};

class RnProdType : public RnSimpleBuildingType {
public:
    RnProdType() : RnSimpleBuildingType(RnIdBldProd) {}

    RnObjectID createBuilding(int x, int y) override;
    void removeBuilding(const RnMapTile& tile, int tx, int ty) override;
    int instanceCount() const override { return instances_.liveCount(); }
    // The shared preview with the type's resource rule on top.
    int addPhantom(RnPhantomList& list, int x, int y, int x2, int y2) override;
    RnGenericBuilding* findInstance(int32_t idx) override;

    // The type's resource as a mask of terrains' resource bits, 0 for none.
    uint16_t resourceMask() const;
    uint16_t inputAmountForGoods(int16_t goods) const;
    uint16_t outputAmountForGoods(int16_t goods) const;

    uint16_t num_walkers_ = 0;
    uint16_t hours_respawn_ = 0;
    uint16_t out_capa_ = 0;
    uint16_t in_capa_ = 0;
    uint8_t resource_bld_type_ = kRnResNone;
    int16_t resource_idx_ = -1;
    uint16_t resource_radius_ = 0;
    uint16_t resource_percent_ = 0;
    uint16_t num_roaming_ = 0;
    std::string roam_image_;
    std::vector<RnGoodsOutput> output_goods_;
    std::vector<RnGoodsAmount> input_goods_;
    std::vector<RnWorkerReq> worker_reqs_;
    // Set by the build menu and by the model check (an output is needed).
    uint8_t menu_flag_ = 0;
    uint8_t used_flag_ = 0;
    RnInstanceList<RnProd> instances_;
};
