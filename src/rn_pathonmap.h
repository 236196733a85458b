// Paths on the map: one walker step, the bounded path a walker caches, and
// the working tables of the road searches (which tiles a search reached and
// which buildings it met), kept so that a search costs what it reaches, not
// what the map holds.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "dax2/dax_error.h"
#include "dax2/dax_geometry.h"
#include "dax2/dax_oid.h"
#include "rn.h"

// One step of a walker: the direction and the tile it leads to. No step is
// {DirNone, none}.
struct RnMapStep {
    DaxDirection dir_ = DirNone;
    DaxMapPositionI pos_ = DaxMapPositionI::none();
};

// The first steps of a road path, first step first. Holds at most
// max_steps_ (from the configuration's max_path_cache, 1 to 16) steps: a
// walker caches no more.
class RnPathCache {
public:
    RnPathCache();

    void clear() { head_ = WLK_MAX_PATH_CACHE; }
    // Puts a direction (1 to 4) in front of the path.
    void pushFront(DaxDirection dir);
    int size() const { return WLK_MAX_PATH_CACHE - head_; }
    DaxDirection at(int i) const;

    int max_steps_;

private:
    // The steps fill the array from its end towards its start.
    uint8_t steps_[WLK_MAX_PATH_CACHE] = {};
    int head_ = WLK_MAX_PATH_CACHE;
};

// Working tables of the searches: kept from one search to the next, so that
// a search allocates nothing once they have grown to its size. Each search
// borrows its own (searches may nest) and gives it back when it ends.
template <class Scratch>
class RnPooled {
public:
    RnPooled() {
        auto& free = pool();
        if (free.empty()) {
            scratch_.reset(new Scratch);
        } else {
            scratch_ = std::move(free.back());
            free.pop_back();
        }
    }
    ~RnPooled() { pool().push_back(std::move(scratch_)); }
    RnPooled(const RnPooled&) = delete;
    RnPooled& operator=(const RnPooled&) = delete;

    Scratch* operator->() const { return scratch_.get(); }

private:
    static std::vector<std::unique_ptr<Scratch>>& pool() {
        static std::vector<std::unique_ptr<Scratch>> free;
        return free;
    }
    std::unique_ptr<Scratch> scratch_;
};

// Slots stamped with the search that wrote them: a new search takes a new
// stamp, and every slot of an earlier one reads as empty without being
// cleared. Once in four thousand million searches the stamps start over.
template <class Slot>
struct RnStampedSlots {
    void nextSearch() {
        if (++stamp == 0) {
            for (Slot& s : slots) s.stamp = 0;
            stamp = 1;
        }
    }
    std::vector<Slot> slots;
    uint32_t stamp = 0;
};

// The tiles one road search has reached, each with a record of type T, on a
// window of the map, and the search's queue.
template <class T>
class RnTileVisits {
public:
    // Starts a new search on the tiles x0..x1 by y0..y1: nothing reached,
    // an empty queue.
    void reset(int x0, int y0, int x1, int y1) {
        x0_ = x0;
        y0_ = y0;
        w_ = x1 >= x0 ? x1 - x0 + 1 : 0;
        h_ = y1 >= y0 ? y1 - y0 + 1 : 0;
        size_t n = static_cast<size_t>(w_) * static_cast<size_t>(h_);
        if (scratch_->slots.size() < n) scratch_->slots.resize(n);
        scratch_->nextSearch();
        scratch_->queue.clear();
    }

    bool covers(const DaxMapPositionI& p) const {
        return static_cast<unsigned>(p.x - x0_) < static_cast<unsigned>(w_) &&
               static_cast<unsigned>(p.y - y0_) < static_cast<unsigned>(h_);
    }
    // The record of a reached tile, null when the search has not reached it.
    T* find(const DaxMapPositionI& p) {
        if (!covers(p)) return nullptr;
        Slot& s = slot(p);
        return s.stamp == scratch_->stamp ? &s.value : nullptr;
    }
    // Reaches p (or overwrites its record); p must lie in the window.
    T& set(const DaxMapPositionI& p, const T& value) {
        DAX_ASSERT(covers(p));
        Slot& s = slot(p);
        s.stamp = scratch_->stamp;
        s.value = value;
        return s.value;
    }
    // Reaches p with value unless the search reached it before; returns
    // its record, fresh telling whether it is new. p must lie in the window.
    T* reach(const DaxMapPositionI& p, const T& value, bool& fresh) {
        Slot& s = slot(p);
        fresh = s.stamp != scratch_->stamp;
        if (fresh) {
            s.stamp = scratch_->stamp;
            s.value = value;
        }
        return &s.value;
    }
    // The search's queue of tiles in visiting order.
    std::vector<DaxMapPositionI>& queue() { return scratch_->queue; }

private:
    struct Slot {
        uint32_t stamp = 0;
        T value;
    };
    struct Scratch : RnStampedSlots<Slot> {
        std::vector<DaxMapPositionI> queue;
    };
    Slot& slot(const DaxMapPositionI& p) {
        return scratch_->slots[static_cast<size_t>(p.x - x0_) * static_cast<size_t>(h_) +
                               static_cast<size_t>(p.y - y0_)];
    }

    RnPooled<Scratch> scratch_;
    int x0_ = 0;
    int y0_ = 0;
    int w_ = 0;
    int h_ = 0;
};

// What one flood over the road graph has reached: a record of type T per
// road node, the building slots it has met, its queue of nodes and the
// records it gave building tiles (the graph's numbers, RnRoadGraph). Sized
// to the graph, not to the flood: a new flood clears nothing.
template <class T>
class RnNodeVisits {
public:
    // A record given to a building tile, reached from a road node.
    struct BuildingRecord {
        DaxMapPositionI pos;
        T value;
        int32_t node;
    };

    // Starts a new flood from queued_starts start nodes on a graph of at
    // most nodes nodes and slots building slots: nothing reached or met.
    void reset(size_t nodes, size_t slots, size_t queued_starts) {
        Scratch& s = *scratch_.operator->();
        if (s.nodes.slots.size() < nodes) s.nodes.slots.resize(nodes);
        if (s.met.slots.size() < slots) s.met.slots.resize(slots);
        // Each node is queued at most once, a start perhaps more often.
        if (s.queue.size() < nodes + queued_starts) s.queue.resize(nodes + queued_starts);
        s.nodes.nextSearch();
        s.met.nextSearch();
        s.buildings.clear();
        // The arrays stay where they are until the next reset.
        nodes_ = s.nodes.slots.data();
        node_stamp_ = s.nodes.stamp;
        met_ = s.met.slots.data();
        met_stamp_ = s.met.stamp;
        queue_ = s.queue.data();
    }
    // The record of a reached node, null when the flood has not reached it.
    T* find(int32_t n) {
        NodeSlot& s = nodes_[n];
        return s.stamp == node_stamp_ ? &s.value : nullptr;
    }
    // Reaches n (or overwrites its record).
    void set(int32_t n, const T& value) {
        nodes_[n].stamp = node_stamp_;
        nodes_[n].value = value;
    }
    // Reaches n with value unless the flood reached it before; true when
    // it is new.
    bool reachOnce(int32_t n, const T& value) {
        NodeSlot& s = nodes_[n];
        if (s.stamp == node_stamp_) return false;
        s.stamp = node_stamp_;
        s.value = value;
        return true;
    }
    // Meets a building slot; false when it was met before.
    bool meet(int32_t slot) {
        uint32_t& s = met_[slot].stamp;
        if (s == met_stamp_) return false;
        s = met_stamp_;
        return true;
    }
    // The queue of nodes: room for every node and the starts.
    int32_t* queue() { return queue_; }
    std::vector<BuildingRecord>& buildings() { return scratch_->buildings; }

private:
    struct NodeSlot {
        uint32_t stamp = 0;
        T value;
    };
    struct MetSlot {
        uint32_t stamp = 0;
    };
    struct Scratch {
        RnStampedSlots<NodeSlot> nodes;
        RnStampedSlots<MetSlot> met;
        std::vector<int32_t> queue;
        std::vector<BuildingRecord> buildings;
    };

    RnPooled<Scratch> scratch_;
    NodeSlot* nodes_ = nullptr;
    uint32_t node_stamp_ = 0;
    MetSlot* met_ = nullptr;
    uint32_t met_stamp_ = 0;
    int32_t* queue_ = nullptr;
};

// The buildings one search has met: a set of object ids that a new search
// empties in constant time (stamped slots, pooled like the tile tables).
class RnOidSeen {
public:
    RnOidSeen();

    // Adds oid; false when it was met before.
    bool insert(const RnObjectID& oid);

private:
    struct Slot {
        uint32_t stamp = 0;
        RnObjectID oid;
    };
    struct Scratch : RnStampedSlots<Slot> {
        size_t count = 0;
    };
    void grow();

    RnPooled<Scratch> scratch_;
};
