// The path cache and the set of buildings a road search has met.
#include "rn_pathonmap.h"

namespace {

// Slots of a fresh set; a power of two.
constexpr size_t kFirstSlots = 64;

}  // namespace

RnPathCache::RnPathCache() : max_steps_(grn_config.max_path_cache_) {
    DAX_ASSERT(grn_config.max_path_cache_>0);
    DAX_ASSERT(grn_config.max_path_cache_<=WLK_MAX_PATH_CACHE);
}

void RnPathCache::pushFront(DaxDirection dir) {
    DAX_ASSERT(dir >= DirXPlus && dir <= DirYMinus);
    DAX_ASSERT(head_ > 0);
    steps_[--head_] = static_cast<uint8_t>(dir);
}

DaxDirection RnPathCache::at(int i) const {
    DAX_ASSERT(i >= 0 && i < size());
    return steps_[head_ + i];
}

RnOidSeen::RnOidSeen() {
    if (scratch_->slots.empty()) scratch_->slots.resize(kFirstSlots);
    scratch_->nextSearch();
    scratch_->count = 0;
}

void RnOidSeen::grow() {
    std::vector<Slot> old;
    old.swap(scratch_->slots);
    uint32_t stamp = scratch_->stamp;
    scratch_->slots.resize(old.size() * 2);
    scratch_->count = 0;
    for (const Slot& s : old)
        if (s.stamp == stamp) insert(s.oid);
}
