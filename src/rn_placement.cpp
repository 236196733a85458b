// The build order preview and the demolition selection.
#include "rn_placement.h"

#include "dax2/dax_error.h"
#include "rn_bld_generic.h"

namespace {
const char* const kSrc = "src\\rn_types";
}

void RnBoundingBox::widen(int x0, int x1, int y0, int y1) {
    if (min_x_ == -1 || x0 < min_x_) min_x_ = static_cast<int16_t>(x0);
    if (max_x_ == -1 || x1 > max_x_) max_x_ = static_cast<int16_t>(x1);
    if (min_y_ == -1 || y0 < min_y_) min_y_ = static_cast<int16_t>(y0);
    if (max_y_ == -1 || y1 > max_y_) max_y_ = static_cast<int16_t>(y1);
}

void RnPhantomList::setType(int kind, int type_id) {
    DAX_ASSERT_AT(bld_id_==RnIdBldNone, kSrc, __LINE__);
    bld_id_ = kind;
    type_id_ = type_id;
}

void RnPhantomList::add(int32_t image, int cost, int x, int y) {
    entries_.push_back(Entry{image, static_cast<int16_t>(x), static_cast<int16_t>(y)});
    total_cost_ += cost;
    box_.widen(x, x, y, y);
}

int32_t RnPhantomList::imageAt(int x, int y) const {
    for (const Entry& e : entries_) {
        if (e.x_ == x && e.y_ == y) return e.image_;
    }
    return -2;
}

void RnPhantomList::clearEntries() {
    entries_.clear();
    box_.reset();
    total_cost_ = 0;
}

void RnPhantomList::clear() {
    clearEntries();
    bld_id_ = RnIdBldNone;
    type_id_ = 0;
}

void RnSelection::arm() {
    DAX_ASSERT_AT(bld_id_==RnIdBldNone, kSrc, __LINE__);
    bld_id_ = -1;
}

void RnSelection::add(const RnObjectID& oid, const RnGenericBuildingType& type, int x, int y) {
    if (contains(oid)) return;
    entries_.push_back(Entry{oid, static_cast<int16_t>(x), static_cast<int16_t>(y)});
    total_cost_ += type.demolition_cost_;
    box_.widen(x - type.width_ + 1, x, y - type.height_ + 1, y);
}

bool RnSelection::contains(const RnObjectID& oid) const {
    for (const Entry& e : entries_) {
        if (e.oid_ == oid) return true;
    }
    return false;
}

void RnSelection::clearEntries() {
    entries_.clear();
    box_.reset();
    total_cost_ = 0;
}

void RnSelection::clear() {
    clearEntries();
    bld_id_ = RnIdBldNone;
}
