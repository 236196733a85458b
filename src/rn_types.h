// The type tables of the game object (script id -> index map plus records in
// registration order) and the plain records of resources, terrains, people
// types and goods types.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "rn_workforce.h"

// One table of types: the script's type id (int32) maps to the type index
// (int16) of the record in the vector. Indices run 0, 1, 2 ... in
// registration order and never change while a game runs; the map holds id ->
// i exactly when record i has that id.
template <class T>
class RnTypeTable {
public:
    // Type indices are 16-bit signed, so a table holds at most this many.
    static constexpr int kMaxRecords = 32767;
    // Results of add besides a new index.
    static constexpr int16_t kDuplicate = -1;
    static constexpr int16_t kFull = -2;

    // Appends a copy of the record under id. Returns its index, kDuplicate
    // when the id is already known or kFull when the table holds kMaxRecords
    // records; in both cases the table is left as it was.
    int16_t add(int32_t id, const T& record) {
        if (index_.count(id) != 0) return kDuplicate;
        if (records_.size() >= static_cast<size_t>(kMaxRecords)) return kFull;
        int16_t idx = static_cast<int16_t>(records_.size());
        index_.emplace(id, idx);
        try {
            records_.push_back(record);
        } catch (...) {
            index_.erase(id);
            throw;
        }
        return idx;
    }

    // The index of id, or -1 when it is not in the table.
    int16_t find(int32_t id) const {
        auto it = index_.find(id);
        return it == index_.end() ? static_cast<int16_t>(-1) : it->second;
    }
    // Whether idx names a record.
    bool isIndex(int idx) const { return idx >= 0 && static_cast<size_t>(idx) < records_.size(); }

    size_t size() const { return records_.size(); }
    bool empty() const { return records_.empty(); }
    T& operator[](size_t idx) { return records_[idx]; }
    const T& operator[](size_t idx) const { return records_[idx]; }

    std::vector<T>& records() { return records_; }
    const std::vector<T>& records() const { return records_; }

    // Empties the id map first, then destroys the records (a building or
    // walker type takes its instances with it).
    void clear() {
        index_.clear();
        std::vector<T>().swap(records_);
    }

private:
    std::map<int32_t, int16_t> index_;
    std::vector<T> records_;
};

// A resource a terrain can carry (ore, fish, ...). At most 16 exist; each
// owns one bit of the 16-bit resource masks.
struct RnResource {
    RnResource() = default;
    RnResource(int32_t id, std::string name, int32_t mask) : id_(id), name_(std::move(name)), mask_(mask) {}

    int32_t id_ = 0;      // script id, also the number of its name text
    std::string name_;
    int32_t mask_ = 0;    // 1 << index in the resource table
};

// Flag bits of a terrain record.
enum : int16_t {
    kRnTerrainWalkable = 0x01,
    kRnTerrainRoads = 0x02,
    kRnTerrainBuildings = 0x04,
    kRnTerrainFlat = 0x08,
    kRnTerrainOnMap = 0x10,  // the terrain occurs on the current map
};

// What a map tile is made of: its images, what may be done on it and the
// resources it holds.
struct RnTerrain {
    RnTerrain() = default;
    // Packs the four properties into flag bits 0 to 3.
    RnTerrain(std::string name, int32_t id, std::string floor_name, std::string image_name, const float colour[4],
              int16_t resource_mask, bool walkable, bool roads, bool buildings, bool flat);

    bool isWalkable() const { return (flags_ & kRnTerrainWalkable) != 0; }
    bool allowsRoads() const { return (flags_ & kRnTerrainRoads) != 0; }
    bool allowsBuildings() const { return (flags_ & kRnTerrainBuildings) != 0; }
    bool isFlat() const { return (flags_ & kRnTerrainFlat) != 0; }
    bool isOnMap() const { return (flags_ & kRnTerrainOnMap) != 0; }

    int32_t id_ = 0;
    std::string name_;
    std::string floor_name_;   // floor image name
    std::string image_name_;   // image drawn over the floor; empty: none
    float colour_[4] = {0.0f, 0.0f, 0.0f, 1.0f};  // mini-map colour r, g, b, a (0..1)
    int16_t flags_ = 0;
    int16_t resource_mask_ = 0;
};

// A sort of people; its workforce network distributes its workers.
struct RnPeoplType {
    RnPeoplType() = default;
    RnPeoplType(int32_t id, std::string name) : id_(id), name_(std::move(name)) {}

    int32_t id_ = 0;
    std::string name_;
    RnWorkforce workforce_;
    // Population counters printed by the statistics log.
    int32_t population_ = 0;
    int32_t population_prev_ = 0;
    int32_t population_max_ = 0;
};

// A sort of goods: its class (storages and markets take goods by class), lot
// size, what uses it (filled by the model check) and its statistics.
struct RnGoodsType {
    RnGoodsType() = default;
    RnGoodsType(std::string name, int32_t id, int16_t goods_class, uint16_t lot_size, int32_t image);

    // True when any of the first eight usage flags is set.
    bool isUsed() const;

    int32_t id_ = 0;
    std::string name_;
    int16_t class_ = 0;
    int16_t stor_type_idx_ = -1;  // the one storage type keeping it; -1 until the model check
    uint16_t lot_size_ = 0;
    int32_t image_ = -2;          // bitmap id of its image

    // Usage flags, set by the model check.
    bool used_hous_ = false;      // consumed by houses
    bool used_p_in_ = false;      // production input
    bool used_prod_ = false;      // produced from inputs
    bool used_harv_ = false;      // harvested (produced without inputs)
    bool used_serv_ = false;      // consumed by service buildings
    bool used_deco_ = false;      // consumed by decorations
    bool used_mat_ = false;       // building material
    bool used_bldr_ = false;      // distributed by a builder
    bool house_level_ = false;    // needed for a house level

    // Statistics.
    uint32_t production_sites_ = 0;
    uint32_t market_instances_ = 0;
    uint32_t builder_instances_ = 0;
    double rate_hous_ = 0.0;       // weekly house consumption
    double rate_hous_next_ = 0.0;  // weekly demand of the houses' next level
    double rate_deco_ = 0.0;
    double rate_serv_ = 0.0;
    double rate_p_in_ = 0.0;
    double rate_other_ = 0.0;      // building material
    double rate_prod_ = 0.0;       // weekly production capacity
    uint32_t produced_ = 0;        // last statistics period
    uint32_t consumed_ = 0;
    uint32_t produced_cur_ = 0;    // running period
    uint32_t consumed_cur_ = 0;
};
