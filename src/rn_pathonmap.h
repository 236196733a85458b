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

// The buildings one search has met: a set of object ids that a new search
// empties in constant time (stamped slots, pooled like the tile tables).
class RnOidSeen {
public:
    RnOidSeen();

    // Adds oid; false when it was met before. Inline: a flood asks once
    // for every building beside every road tile it expands.
    bool insert(const RnObjectID& oid) {
        Scratch& sc = *scratch_.operator->();
        // At most half full, so a probe always ends at a free slot.
        if (2 * (sc.count + 1) > sc.slots.size()) grow();
        const size_t mask = sc.slots.size() - 1;
        for (size_t i = hashOf(oid) & mask;; i = (i + 1) & mask) {
            Slot& s = sc.slots[i];
            if (s.stamp != sc.stamp) {
                s.stamp = sc.stamp;
                s.oid = oid;
                ++sc.count;
                return true;
            }
            if (s.oid == oid) return false;
        }
    }

private:
    struct Slot {
        uint32_t stamp = 0;
        RnObjectID oid;
    };
    struct Scratch : RnStampedSlots<Slot> {
        size_t count = 0;
    };
    static size_t hashOf(const RnObjectID& oid) {
        uint64_t v = (static_cast<uint64_t>(oid.packed()) << 32) ^ static_cast<uint32_t>(oid.bld_idx_);
        v *= 0x9E3779B97F4A7C15ull;
        return static_cast<size_t>(v >> 32);
    }
    void grow();

    RnPooled<Scratch> scratch_;
};
