// Road searches. The floods look at every building next to the roads within
// a distance, ask an evaluator how much it wants a walker, keep the best by
// need over road cost and trace the road path to it; the path finder leads a
// walker to a given building; floodVisitBuildings lists the buildings within
// a road distance.
#pragma once

#include <cstdint>
#include <set>
#include <vector>

#include "dax2/dax_clock.h"
#include "dax2/dax_geometry.h"
#include "dax2/dax_oid.h"
#include "rn_bld_generic.h"
#include "rn_pathonmap.h"
#include "rn_road_graph.h"

// An unset distance in a flood's tile record.
constexpr uint16_t kRnFloodUnset = 9999;

// What a flood found: where the path starts, the chosen building and what it
// asked for, and the first steps of the road path to it. A flood found a
// target exactly when amount_ is nonzero afterwards.
struct RnFloodTarget {
    // Chooses a building (fatal unless the id names one).
    void setTarget(const RnObjectID& atarget_oid, int amount);

    DaxMapPositionI start_pos_ = DaxMapPositionI::none();
    RnObjectID target_oid_;
    int amount_ = 0;
    RnPathCache path_;
};

// The target of a production or storage walker: also the goods type.
struct RnFloodTargetProd : RnFloodTarget {
    int16_t goods_type_ = -1;
};

// A flood's record of one reached tile: road distance from the nearest
// start, road tiles since the last one with a house beside it, and the
// direction back towards the start. dist_ is 0 exactly at a start tile.
struct RnFloodPosInfo {
    uint16_t dist_ = kRnFloodUnset;
    uint16_t no_house_dist_ = kRnFloodUnset;
    uint8_t prev_ = DirNone;
};

// A breadth-first flood over road tiles, ring by ring of road distance. Each
// building beside an expanded road tile is handed once to evaluate(), which
// keeps it as the best through keepIfBetter(). The flood stops as soon as no
// building further out could beat the best score (no building asks for more
// than 1000).
class RnFloodBase {
public:
    // tiles_without_houses: road tiles beyond the last tile with a house
    // beside it that are still expanded; 0 for no limit.
    explicit RnFloodBase(uint16_t tiles_without_houses);
    virtual ~RnFloodBase() = default;
    RnFloodBase(const RnFloodBase&) = delete;
    RnFloodBase& operator=(const RnFloodBase&) = delete;

    // Looks at one building, reached over dist road steps at the given
    // cost; step leads from the road tile into the building's tile. Fills
    // out when it takes the building as the new best.
    virtual void evaluate(const RnObjectID& bld, uint16_t dist, float cost, const RnMapStep& step,
                          RnFloodPosInfo& out) = 0;
    // Whether the flood may stop now whatever it would still find (a flood
    // that collects rather than scores).
    virtual bool satisfied() const { return false; }

    // The building evaluate is given, by id: the flood over the road graph
    // hands over the object its slot keeps, and keeps the one found for it.
    RnGenericBuilding& buildingOf(const RnObjectID& bld) {
        if (object_) return *object_;
        return findBuilding(bld);
    }

    // Takes the building at step's tile as the best when score beats the
    // best so far (an equal score keeps the earlier building).
    bool keepIfBetter(float score, uint16_t dist, const RnMapStep& step, RnFloodPosInfo& out);

    // From the tile a walker stands on, skipping its home: the cost grows
    // with the road distance and with the distance from the home. range is
    // the walker's whole range (at least max_dist). True when a target was
    // found; target must be empty.
    bool floodFromTile(RnFloodTarget& target, const RnObjectID& home, const DaxMapPositionI& start, uint16_t range,
                       uint16_t max_dist);
    // From the road tiles around a building that sends a walker, skipping
    // the building itself.
    bool floodFromStarts(RnFloodTarget& target, const RnObjectID& own, const std::vector<DaxMapPositionI>& starts,
                         uint16_t max_dist);

    float best_score_ = 0.0f;
    DaxMapPositionI target_grid_pos_ = DaxMapPositionI::none();
    uint16_t tiles_without_houses_;

protected:
    // Whether a building of the type can answer this flood at all (with
    // anything but 0, in any state). The flood skips the others before it
    // looks them up; the default admits every type.
    virtual bool admitsType(const RnGenericBuildingType& /*type*/) const { return true; }

private:
    struct Cost;
    bool flood(RnFloodTarget& target, const RnObjectID& skip, const DaxMapPositionI* starts, size_t nstarts,
               uint16_t max_dist, const Cost& cost);
    // The flood over the map's tiles, and the same over the road graph
    // (every start must be a road tile).
    bool floodTiles(RnFloodTarget& target, const RnObjectID& skip, const DaxMapPositionI* starts, size_t nstarts,
                    uint16_t max_dist, const Cost& cost);
    bool floodGraph(RnFloodTarget& target, const RnObjectID& skip, const DaxMapPositionI* starts, size_t nstarts,
                    uint16_t max_dist, const Cost& cost);
    // Fills the target's path and start from the records of the tiles
    // between the chosen building and its start: at(p, dir) gives the
    // record of tile p, reached by a step in dir from the tile before
    // (DirNone for the building's own tile).
    template <class At>
    void traceBack(RnFloodTarget& target, At at) const;
    // Whether the building's type is admitted; each type is asked once per
    // flood. code is RnRoadGraph::typeCode of the building.
    bool admits(const RnObjectID& oid, unsigned code) {
        if (code < RnRoadGraph::kTypeCodes && (types_asked_[code / 64] >> (code % 64) & 1) != 0)
            return (types_admitted_[code / 64] >> (code % 64) & 1) != 0;
        return admitsUnknown(oid, code);
    }
    bool admitsUnknown(const RnObjectID& oid, unsigned code);
    RnGenericBuilding& findBuilding(const RnObjectID& bld);

    // Bit i of word k for type code 64 k + i: the types asked, and of those
    // the types admitted, in this flood.
    static constexpr int kTypeWords = RnRoadGraph::kTypeCodes / 64;
    uint64_t types_asked_[kTypeWords] = {};
    uint64_t types_admitted_[kTypeWords] = {};
    bool skip_types_ = false;
    // While the flood over the road graph evaluates the building of a slot
    // with grn_caches.flood_objects_ on: the slot, and its object when the
    // graph keeps it.
    const RnRoadGraph* graph_ = nullptr;
    int32_t object_slot_ = -1;
    RnGenericBuilding* object_ = nullptr;
};

// Builder walkers: building material, key the builder building.
class RnFloodWalkerBldr : public RnFloodBase {
public:
    RnFloodWalkerBldr(RnFloodTarget& target, DaxGameTime now, const RnObjectID& builder);
    void evaluate(const RnObjectID& bld, uint16_t dist, float cost, const RnMapStep& step,
                  RnFloodPosInfo& out) override;

    DaxGameTime now_;
    RnObjectID key_;
    RnFloodTarget& target_;

protected:
    bool admitsType(const RnGenericBuildingType& type) const override { return type.mayNeedMaterial(); }
};

// Market walkers: goods for houses, key the market.
class RnFloodWalkerMrkt : public RnFloodBase {
public:
    RnFloodWalkerMrkt(RnFloodTarget& target, DaxGameTime now, const RnObjectID& market,
                      uint16_t tiles_without_houses);
    void evaluate(const RnObjectID& bld, uint16_t dist, float cost, const RnMapStep& step,
                  RnFloodPosInfo& out) override;

    DaxGameTime now_;
    RnObjectID key_;
    RnFloodTarget& target_;

protected:
    bool admitsType(const RnGenericBuildingType& type) const override { return type.mayNeedMarketGoods(); }
};

// Service walkers: a service, key the service type.
class RnFloodWalkerServ : public RnFloodBase {
public:
    RnFloodWalkerServ(RnFloodTarget& target, DaxGameTime now, int16_t service, uint16_t tiles_without_houses);
    void evaluate(const RnObjectID& bld, uint16_t dist, float cost, const RnMapStep& step,
                  RnFloodPosInfo& out) override;

    DaxGameTime now_;
    int16_t key_;
    RnFloodTarget& target_;

protected:
    bool admitsType(const RnGenericBuildingType& type) const override { return type.mayNeedService(key_); }
};

// Production and storage walkers: the best building for any of the goods
// types on offer (ascending); storages only when allowed.
class RnFloodWalkerProd : public RnFloodBase {
public:
    RnFloodWalkerProd(RnFloodTargetProd& target, DaxGameTime now, const RnGoodsSet& goods, bool allow_storages);
    void evaluate(const RnObjectID& bld, uint16_t dist, float cost, const RnMapStep& step,
                  RnFloodPosInfo& out) override;

    DaxGameTime now_;
    bool allow_storages_;
    const RnGoodsSet& goods_;
    RnFloodTargetProd& target_;

protected:
    bool admitsType(const RnGenericBuildingType& type) const override;
};

// Leads a walker from its tile to any road tile beside a building: a
// breadth-first search over road tiles, bounded by a length and by a
// Manhattan distance around the building.
class RnMapFloodPathFinder {
public:
    // Where a visited tile was entered from and how far it is from the start.
    struct PathInfo {
        uint8_t dir_ = DirNone;
        uint16_t length_ = 0;
    };

    // type must be the building's own type (its footprint is read).
    RnMapFloodPathFinder(const DaxMapPositionI& start, const RnGenericBuilding& building,
                         const RnGenericBuildingType& type);
    // Result 0 none, 1 the start is a target tile, 2 a target tile reached.
    void search(uint16_t max_range);
    // Clears path; on result 2 fills it with the first steps from the start.
    // Returns the result.
    int tracePath(RnPathCache& path);

    int result() const { return result_; }
    const DaxMapPositionI& foundTile() const { return found_; }

private:
    bool isTarget(const DaxMapPositionI& p) const;

    DaxMapPositionI start_;
    DaxMapPositionI anchor_;
    int16_t width_;
    int16_t height_;
    uint16_t radius_;
    std::vector<DaxMapPositionI> targets_;
    int result_ = 0;
    DaxMapPositionI found_ = DaxMapPositionI::none();
    RnTileVisits<PathInfo> visited_;
};

// Runs a path finder from start to the building and traces the path: 1 when
// start is a road tile beside the building, 2 with a non-empty path, 0 when
// no such tile is reached within the limits.
int findPathToBuilding(RnPathCache& path, const DaxMapPositionI& start, const RnGenericBuilding& building,
                       const RnGenericBuildingType& type, uint16_t max_range);

// Told of each building a plain road flood reaches.
class RnMapFlooderVisitor {
public:
    virtual ~RnMapFlooderVisitor() = default;
    // The building and the road distance of the tile it was reached from.
    virtual void visit(const RnObjectID& bld, int dist) = 0;
};

// Collects the goods types of the building material of every building it
// is shown.
class RnMaterialNeededVisitor : public RnMapFlooderVisitor {
public:
    explicit RnMaterialNeededVisitor(RnGoodsSet& goods) : goods_(goods) {}
    void visit(const RnObjectID& bld, int dist) override;

    RnGoodsSet& goods_;
};

// Shows the visitor every other building beside the road tiles within
// max_dist road steps of the building (the tiles next to it are at 1), each
// once.
void floodVisitBuildings(const RnGenericBuilding& building, uint16_t max_dist, RnMapFlooderVisitor& visitor);
