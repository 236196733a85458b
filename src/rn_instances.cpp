// The walkers of a walker type by home.
#include "rn_instances.h"

uint64_t grn_instance_epoch = 0;

void RnHomeIndex::add(const RnObjectID& home, int32_t idx) {
    std::vector<int32_t>& list = listOf(home);
    list.insert(std::upper_bound(list.begin(), list.end(), idx), idx);
}

void RnHomeIndex::remove(const RnObjectID& home, int32_t idx) {
    if (home.bld_idx_ == -1) {
        auto it = std::lower_bound(homeless_.begin(), homeless_.end(), idx);
        if (it != homeless_.end() && *it == idx) homeless_.erase(it);
        return;
    }
    auto found = by_home_.find(key(home));
    if (found == by_home_.end()) return;
    std::vector<int32_t>& list = found->second;
    auto it = std::lower_bound(list.begin(), list.end(), idx);
    if (it != list.end() && *it == idx) list.erase(it);
    // A home without walkers out takes no room.
    if (list.empty()) by_home_.erase(found);
}

void RnHomeIndex::clear() {
    by_home_.clear();
    homeless_.clear();
}

const std::vector<int32_t>& RnHomeIndex::walkersOf(const RnObjectID& home) const {
    static const std::vector<int32_t> kNone;
    auto found = by_home_.find(key(home));
    return found == by_home_.end() ? kNone : found->second;
}

std::vector<int32_t>& RnHomeIndex::listOf(const RnObjectID& home) {
    return home.bld_idx_ == -1 ? homeless_ : by_home_[key(home)];
}
