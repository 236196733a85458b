// The road tiles of the map as the floods see them: each road tile's road
// neighbours and the buildings beside it, in arrays a flood walks without
// reading the map. Derived from the map's tiles and never saved: the map
// reports every tile whose road or building changed, and the graph brings
// those tiles up to date before the next flood; a new, cleared or loaded map
// is read afresh.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "dax2/dax_geometry.h"
#include "dax2/dax_oid.h"
#include "nex/thash.h"

class RnGenericBuilding;
class RnMap;

class RnRoadGraph {
public:
    // A link to nothing: off the map, or a tile without a road or building.
    static constexpr int32_t kNoLink = -1;
    // The kind and type of a building in one number below kTypeCodes: kinds
    // 2 to 8 with type indices below 64; kTypeCodes for any other.
    static constexpr uint16_t kTypeCodes = 7 * 64;
    static uint16_t typeCode(const RnObjectID& oid) {
        const unsigned row = static_cast<unsigned>(oid.kind_ - RnIdBldHous);
        const unsigned col = static_cast<unsigned>(oid.type_idx_);
        return static_cast<uint16_t>(row < 7 && col < 64 ? row * 64 + col : kTypeCodes);
    }

    // One road tile. link_[d - 1] says what lies in direction d (1 to 4): a
    // road tile (its node, 0 or more), a building (buildingLink of its slot)
    // or nothing.
    struct Node {
        int32_t link_[4] = {kNoLink, kNoLink, kNoLink, kNoLink};
        // Per direction the typeCode of the building linked there.
        uint16_t code_[4] = {kTypeCodes, kTypeCodes, kTypeCodes, kTypeCodes};
        DaxMapPositionI pos_ = DaxMapPositionI::none();
        // A tile beside it holds an object of the house kind (a house, or a
        // house without a type).
        bool house_beside_ = false;
    };

    static constexpr bool isRoadLink(int32_t link) { return link >= 0; }
    static constexpr bool isBuildingLink(int32_t link) { return link < kNoLink; }
    // The building slot of a building link and back.
    static constexpr int32_t slotOfLink(int32_t link) { return -2 - link; }
    static constexpr int32_t buildingLink(int32_t slot) { return -2 - slot; }

    // Brings the graph up to date with the map: read afresh after clear(),
    // else only the tiles reported since the last update and their
    // neighbours.
    void update(const RnMap& map);
    // The road or building on tile p changed (placed, removed, replaced).
    void tileChanged(const DaxMapPositionI& p);
    // Forgets everything: the next update reads the whole map.
    void clear();

    // The node of the road tile at p, -1 when p holds no road (as of the
    // last update).
    int32_t nodeAt(const DaxMapPositionI& p) const;
    const Node& node(int32_t n) const { return nodes_[static_cast<size_t>(n)]; }
    // Node numbers and building slots lie below these (some may be free).
    size_t nodeLimit() const { return nodes_.size(); }
    size_t slotLimit() const { return slots_.size(); }
    // The building of a slot, and its slot (-1 for a building beside no
    // road).
    const RnObjectID& building(int32_t slot) const { return slots_[static_cast<size_t>(slot)].oid_; }
    int32_t slotOf(const RnObjectID& oid) const;
    // The object of a slot's building as a flood last found it by id, null
    // when none did since the slot was taken (grn_caches.flood_objects_).
    // The address stays good while the instance lists keep their storage:
    // dropObjectsIfMoved forgets every object when grn_instance_epoch moved
    // on since they were kept. A copied graph keeps none.
    RnGenericBuilding* object(int32_t slot) const { return slots_[static_cast<size_t>(slot)].object_; }
    void keepObject(int32_t slot, RnGenericBuilding* b) const { slots_[static_cast<size_t>(slot)].object_ = b; }
    void dropObjectsIfMoved(uint64_t instance_epoch) const;
    // The nodes as an array (node(n) is nodes()[n]).
    const Node* nodes() const { return nodes_.data(); }
    // Counts the changes to the graph: a flood checks that none came while
    // it ran.
    uint64_t version() const { return version_; }

    // Road tiles and buildings beside roads in the graph.
    size_t roadCount() const { return node_of_.size(); }
    size_t buildingCount() const { return slot_of_.size(); }
    // The bytes the graph holds (its arrays and indexes, about).
    size_t memoryBytes() const;

    // Whether the graph says what the map says: the same road tiles, links
    // and house marks as a graph read afresh (for tests).
    bool matches(const RnMap& map) const;

private:
    struct Slot {
        RnObjectID oid_;
        int32_t refs_ = 0;  // links naming it
        mutable RnGenericBuilding* object_ = nullptr;
    };
    // The instance epoch the slots' objects were found in; a copy starts
    // with none known.
    struct ObjectEpoch {
        static constexpr uint64_t kNone = ~uint64_t(0);
        ObjectEpoch() = default;
        ObjectEpoch(const ObjectEpoch& /*other*/) {}
        ObjectEpoch& operator=(const ObjectEpoch& /*other*/) {
            value = kNone;
            return *this;
        }
        uint64_t value = kNone;
    };
    static uint32_t posKey(const DaxMapPositionI& p) {
        return static_cast<uint16_t>(p.x) | (static_cast<uint32_t>(static_cast<uint16_t>(p.y)) << 16);
    }
    // The number kept for key in an index, -1 when there is none.
    template <class K>
    static int32_t numberOf(const nex::tHashIndex<int32_t, K>& index, K key) {
        const int32_t* n = index.find(key);
        return n ? *n : -1;
    }
    static uint64_t oidKey(const RnObjectID& oid) {
        return (static_cast<uint64_t>(oid.packed()) << 32) | static_cast<uint32_t>(oid.bld_idx_);
    }

    void readAll(const RnMap& map);
    void addNode(const DaxMapPositionI& p);
    void removeNode(int32_t n);
    // Sets the links and the house mark of node n from the map.
    void linkNode(const RnMap& map, int32_t n);
    void unlinkNode(int32_t n);
    int32_t acquireSlot(const RnObjectID& oid);
    void releaseSlot(int32_t slot);

    bool read_ = false;
    uint64_t version_ = 0;
    std::vector<Node> nodes_;
    std::vector<int32_t> free_nodes_;
    // By position: 32-bit keys, 8-byte entries.
    nex::tHashIndex<int32_t, uint32_t> node_of_;
    std::vector<Slot> slots_;
    std::vector<int32_t> free_slots_;
    nex::tHashIndex<int32_t> slot_of_;
    std::vector<DaxMapPositionI> changed_;
    mutable ObjectEpoch object_epoch_;
};
