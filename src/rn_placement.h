// What the player is about to do on the main map: the build order being
// previewed (RnPhantomList) and the demolition selection (RnSelection).
#pragma once

#include <cstdint>
#include <vector>

#include "dax2/dax_oid.h"

class RnGenericBuildingType;

// The kind of a list that names no building type.
constexpr int RnIdBldNone = RnIdNone;

// Bounding box of list entries; all four values -1 while empty.
struct RnBoundingBox {
    // Widens the box to hold the rectangle x0..x1 by y0..y1.
    void widen(int x0, int x1, int y0, int y1);
    void reset() { min_x_ = max_x_ = min_y_ = max_y_ = -1; }

    int16_t min_x_ = -1;
    int16_t max_x_ = -1;
    int16_t min_y_ = -1;
    int16_t max_y_ = -1;
};

// A build order: the building kind and type id, where each building (or
// road piece) would go with the image to draw there, and what it costs.
class RnPhantomList {
public:
    struct Entry {
        int32_t image_;  // bitmap id, -2 none
        int16_t x_;
        int16_t y_;
    };

    // Arms the list for a type; the list must not be armed already.
    void setType(int kind, int type_id);
    // Appends a preview at (x, y) and adds its cost to the total.
    void add(int32_t image, int cost, int x, int y);
    // Image of the first entry at (x, y), or -2.
    int32_t imageAt(int x, int y) const;
    // No entries, empty box, total 0; kind and type stay.
    void clearEntries();
    // clearEntries, then kind and type id 0.
    void clear();

    // A build order is armed.
    bool isValid() const { return bld_id_ > 0; }
    int kind() const { return bld_id_; }
    int typeId() const { return type_id_; }
    int32_t totalCost() const { return total_cost_; }
    const std::vector<Entry>& entries() const { return entries_; }
    const RnBoundingBox& box() const { return box_; }

private:
    int32_t bld_id_ = RnIdBldNone;
    int32_t type_id_ = 0;
    RnBoundingBox box_;
    std::vector<Entry> entries_;
    int32_t total_cost_ = 0;
};

// The roads and buildings chosen for demolition, each once, with the total
// demolition cost.
class RnSelection {
public:
    struct Entry {
        RnObjectID oid_;
        int16_t x_;  // the building's anchor
        int16_t y_;
    };

    // Arms the selection (the demolish mode starts); it must not be armed.
    void arm();
    // Adds a building once: its anchor, the type's demolition cost and its
    // footprint into the box. An id already selected is ignored.
    void add(const RnObjectID& oid, const RnGenericBuildingType& type, int x, int y);
    bool contains(const RnObjectID& oid) const;
    // No entries, empty box, total 0; the armed state stays.
    void clearEntries();
    // clearEntries and disarm.
    void clear();

    // A demolition selection is armed.
    bool isValid() const { return bld_id_ == -1; }
    int32_t totalCost() const { return total_cost_; }
    const std::vector<Entry>& entries() const { return entries_; }
    const RnBoundingBox& box() const { return box_; }

private:
    int32_t bld_id_ = RnIdBldNone;
    RnBoundingBox box_;
    std::vector<Entry> entries_;
    int32_t total_cost_ = 0;
};
