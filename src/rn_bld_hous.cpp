// Houses: people moving in and out, levels up and down, the workers they
// offer, their goods, services, taxes and building material, ruin, placement,
// removal and the checks after loading.
#include "rn_bld_hous.h"

#include <algorithm>
#include <new>
#include <set>

#include "dax2/dax_bitmap.h"
#include "dax2/dax_error.h"
#include "rn.h"
#include "rn_bld_bldr.h"
#include "rn_bld_mrkt.h"
#include "rn_bld_serv.h"
#include "rn_game.h"
#include "rn_map.h"
#include "rn_workforce.h"
#include "rn_file_load.h"

namespace {

// t plus h game hours.
DaxGameTime plusHours(DaxGameTime t, float h) {
    DaxGameTime r = t;
    r.addHours(h);
    return r;
}

// The registered name of a bitmap id, "" for none.
std::string imageName(int32_t id) {
    if (id < 0 || static_cast<size_t>(id / 2) >= dax_bitmaps.size()) return std::string();
    return dax_bitmaps.name(id).name_;
}

// The service need of a level for a service type, null when not listed.
const RnHousServiceNeed* findServiceNeed(const RnHousLevelDesc& level, int16_t service) {
    for (const RnHousServiceNeed& s : level.services_)
        if (s.service_type_idx_ == service) return &s;
    return nullptr;
}

uint16_t serviceLevelWord(int level, int16_t service) {
    uint16_t word = static_cast<uint16_t>(level & RnHouseServiceData::kLevelMask);
    if (grn_game.servType(service).tax_percent_ > 0) word |= RnHouseServiceData::kTaxService;
    return word;
}

// Log class of the checks after loading.
constexpr int kVerifyLog = 3;

}  // namespace

// ---------------------------------------------------------------------------
// Service and goods entries

void RnHouseServiceData::nextEvent(DaxGameTime& limit, DaxGameTime after) const {
    for (DaxGameTime t : {served_at_, needed_again_at_})
        if (t.value() > after.value() && t.value() < limit.value()) limit = t;
}

void RnHouseServices::resize(size_t n) {
    if (n == slotCount()) return;
    std::vector<value_type> kept(data(), data() + std::min(n, slotCount()));
    kept.resize(n);
    slots_.install(kept.data(), n);
}

RnHouseServiceData& RnHouseServices::operator[](int16_t service) {
    DAX_ASSERT(service >= 0);
    const size_t i = static_cast<size_t>(service);
    // Grown to the size needed and no more: a house takes its entries a
    // level at a time.
    if (i >= slotCount()) resize(i + 1);
    value_type& v = data()[i];
    if (v.first < 0) {
        v = value_type{service, RnHouseServiceData()};
        ++slots_.spare_;
    }
    return v.second;
}

RnHouseServiceData& RnHouseServices::at(int16_t service) {
    DAX_ASSERT(has(service));
    return data()[service].second;
}

const RnHouseServiceData& RnHouseServices::at(int16_t service) const {
    DAX_ASSERT(has(service));
    return data()[service].second;
}

size_t RnHouseServices::erase(int16_t service) {
    if (!has(service)) return 0;
    data()[service] = value_type();
    --slots_.spare_;
    size_t n = slotCount();
    while (n > 0 && data()[n - 1].first < 0) --n;
    resize(n);
    return 1;
}

void RnHouseGoodsData::restock(DaxGameTime t, int n, int p) {
    DAX_ASSERT(p > 0);
    full_until_ = t;
    amount_ = static_cast<uint16_t>(std::clamp(n, 0, 0xFFFF));
    empty_at_ = plusHours(t, static_cast<float>(hours_) * static_cast<float>(amount_) / static_cast<float>(p));
}

void RnHouseGoodsData::nextEvent(DaxGameTime& limit, DaxGameTime after) const {
    for (DaxGameTime t : {full_until_, empty_at_})
        if (t.value() > after.value() && t.value() < limit.value()) limit = t;
}

RnHouseGoodsData& RnHouseGoods::operator[](int16_t goods) {
    size_t i = 0;
    while (i < size() && data()[i].first < goods) ++i;
    if (i < size() && data()[i].first == goods) return data()[i].second;
    // Entries come a level at a time: the array is built again.
    std::vector<value_type> grown(begin(), end());
    grown.insert(grown.begin() + static_cast<std::ptrdiff_t>(i), value_type{goods, RnHouseGoodsData()});
    entries_.install(grown.data(), grown.size());
    return data()[i].second;
}

size_t RnHouseGoods::erase(int16_t goods) {
    iterator it = find(goods);
    if (it == end()) return 0;
    std::vector<value_type> kept(begin(), it);
    kept.insert(kept.end(), it + 1, end());
    entries_.install(kept.data(), kept.size());
    return 1;
}

// ---------------------------------------------------------------------------
// House

RnHous::RnHous(int x, int y, DaxGameTime now) : RnGenericBuilding(RnIdBldHous, x, y) {
    flags_ = kPplPending;
    t_ppl_ = now;
}

const RnHousType& RnHous::housType() const { return grn_game.housType(oid_.type_idx_); }

int RnHous::averageDesirability() const {
    const RnHousType& type = housType();
    int sum = 0;
    int n = 0;
    for (int x = pos_on_map_.x - type.width_ + 1; x <= pos_on_map_.x; ++x) {
        for (int y = pos_on_map_.y - type.height_ + 1; y <= pos_on_map_.y; ++y) {
            if (!grn_map.isOnMap(x, y)) continue;
            sum += grn_map.tile(x, y).desirability_;
            ++n;
        }
    }
    return n > 0 ? static_cast<int16_t>(sum / n) : 0;
}

bool RnHous::tooManyJobless(int n) const {
    const RnHousType& type = housType();
    const int expected = static_cast<int16_t>(type.percent_workers_ * n / 100);
    const int jobless = expected - employed();
    return jobless > 1 && 100 * jobless / expected > type.percent_workers_without_job1_;
}

void RnHous::updateJobless(const RnHousType& type) {
    const int offered = curNumWorkers();
    const int jobless = offered - employed();
    if (jobless > 1 && type.percent_workers_without_job2_ < 100 * jobless / offered)
        flags_ |= kTooManyJobless;
    else
        flags_ &= ~kTooManyJobless;
}

bool RnHous::canLevelUp(DaxGameTime /*t*/) const {
    if (tooManyJobless(people() + 1)) return false;
    const RnHousType& type = housType();
    const int next = curLevel() + 1;
    if (type.hasLevel(next)) return averageDesirability() >= type.level_descs_[next].needed_attr_;
    return true;
}

int RnHous::supplyLevel(DaxGameTime t) const {
    const int level = curLevel();
    return housType().hasLevel(level + 1) && canLevelUp(t) ? level + 1 : level;
}

const RnMaterialInf* RnHous::levelMaterial(const RnHousType& type, int level) const {
    if (!type.hasLevel(level)) return nullptr;
    const int16_t goods = type.level_descs_[level].material_.good_type_idx_;
    if (goods < 0) return nullptr;
    auto it = material_in_store_.find(goods);
    return it == material_in_store_.end() ? nullptr : &it->second;
}

DaxGameTime RnHous::earliestRunOut() const {
    const RnHousType& type = housType();
    DaxGameTime earliest(0);
    for (int i = 0; i <= curLevel(); ++i) {
        const RnMaterialInf* m = levelMaterial(type, i);
        if (m && (earliest.value() == 0 || m->time_level0_.value() < earliest.value())) earliest = m->time_level0_;
    }
    return earliest;
}

bool RnHous::goodsMet(DaxGameTime now, int level) const {
    for (const auto& [g, e] : goods_)
        if (e.level_ <= level && now.value() >= e.empty_at_.value()) return false;
    return true;
}

bool RnHous::servicesMet(DaxGameTime now, int level) const {
    for (const auto& [s, e] : services_)
        if (!e.isTax() && e.level() <= level && now.value() >= e.needed_again_at_.value()) return false;
    return true;
}

bool RnHous::materialsPresent() const {
    for (const auto& [g, m] : material_in_store_)
        if (m.amount_ == 0) return false;
    return true;
}

// ---------------------------------------------------------------------------
// The update

DaxGameTime RnHous::update(DaxGameTime now) {
    if (isDestroyed()) return kRnNoWakeTime;
    const RnHousType& type = housType();
    auto due = [this, now](uint32_t bit, DaxGameTime timer) {
        return (flags_ & bit) != 0 && now.value() >= timer.value();
    };
    if (curLevel() == 0) setPeopleTarget(type.level_descs_[0].people_max_);

    // Material: a house whose material ran out falls to ruin. Without
    // material of its levels (only the next level's is left after a fall)
    // there is nothing to check.
    if (due(kBldPending, t_bld_)) {
        const DaxGameTime d = earliestRunOut();
        if (d.value() == 0) {
            flags_ &= ~kBldPending;
        } else if (now.value() >= d.value()) {
            fallToRuin(type);
            return kRnNoWakeTime;
        } else {
            t_bld_ = d;
        }
    }

    if (due(kWkfPending, t_wkf_)) {
        flags_ &= ~kWkfPending;
        updateJobless(type);
    }

    const bool attr_due = due(kAttrPending, t_attr_);
    const bool srv_due = due(kSrvPending, t_srv_);
    const bool gds_due = due(kGdsPending, t_gds_);
    if (attr_due) flags_ &= ~kAttrPending;
    if (srv_due) flags_ &= ~kSrvPending;
    if (gds_due) flags_ &= ~kGdsPending;
    // A level change whose time has come is decided on every need.
    LevelTimers lvl = levelTimers();
    const bool fall_due = lvl.fall && now.value() >= lvl.t_fall.value();
    const bool rise_due = lvl.rise && now.value() >= lvl.t_rise.value();
    const bool lvl_due = fall_due || rise_due;
    if (fall_due) lvl.fall = false;
    if (rise_due) lvl.rise = false;

    if (attr_due || srv_due || gds_due || lvl_due || (flags_ & kReevaluate) != 0) {
        flags_ &= ~kReevaluate;
        const int level = curLevel();
        // The neighbourhood is read off the map only by the checks that
        // look at it (a desirability or level check, not a walker passing).
        int avg_read = 0;
        bool avg_known = false;
        auto avg = [&]() {
            if (!avg_known) {
                avg_read = averageDesirability();
                avg_known = true;
            }
            return avg_read;
        };
        bool fall = false;
        if (level > 0) {
            const RnHousLevelDesc& desc = type.level_descs_[level];
            fall = ((attr_due || lvl_due) && avg() < desc.needed_attr_) ||
                   ((flags_ & kTooManyJobless) != 0 && type.level_descs_[level - 1].people_max_ >= people()) ||
                   ((srv_due || lvl_due) && !servicesMet(now, level)) ||
                   ((gds_due || lvl_due) && !goodsMet(now, level));
            if (fall) {
                if (fall_due) {
                    levelDown(type);
                    rnSpreadOwnAttr(*this, lvl.t_fall, desc.own_attr_, type.level_descs_[level - 1].own_attr_);
                    lvl.rise = false;
                } else if (!lvl.fall) {
                    // Timed by the first check that fails the level: later
                    // ones, and a rise timed before, do not move it.
                    lvl.fall = true;
                    lvl.t_fall = plusHours(now, type.hours_level_down_);
                }
            }
        }
        if (!fall && type.hasLevel(level + 1)) {
            const RnHousLevelDesc& next = type.level_descs_[level + 1];
            const bool rise = ((!attr_due && !lvl_due) || avg() >= next.needed_attr_) &&
                              people() >= type.level_descs_[level].people_max_ &&
                              (flags_ & kTooManyJobless) == 0 &&
                              ((!srv_due && !lvl_due) || servicesMet(now, level + 1));
            // A pending rise keeps its time: checks that keep qualifying
            // (a walker passing every few hours) never put it off.
            auto timeRise = [&]() {
                const DaxGameTime t = plusHours(now, type.hours_level_up_);
                if (lvl.rise && t.value() >= lvl.t_rise.value()) return;
                lvl.rise = true;
                lvl.t_rise = t;
            };
            if (rise) {
                if (!gds_due && !lvl_due) {
                    timeRise();
                } else if (goodsMet(now, level + 1)) {
                    if (!rise_due) {
                        timeRise();
                    } else if (materialsPresent()) {
                        levelUp(lvl.t_rise, type);
                        rnSpreadOwnAttr(*this, lvl.t_rise, type.level_descs_[level].own_attr_, next.own_attr_);
                        lvl.fall = false;
                    }
                }
            }
        }
    }
    setLevelTimers(lvl);

    // The next time a service runs out or a stock changes.
    if ((flags_ & kSrvPending) == 0 || lvl_due) {
        DaxGameTime limit = DaxGameTime::null();
        for (const auto& [s, e] : services_) e.nextEvent(limit, now);
        if (!limit.isNull()) rnNoteEarliest(flags_, kSrvPending, t_srv_, limit);
    }
    if ((flags_ & kGdsPending) == 0 || gds_due || lvl_due) {
        DaxGameTime limit = DaxGameTime::null();
        for (const auto& [g, e] : goods_) e.nextEvent(limit, now);
        if (!limit.isNull()) rnNoteEarliest(flags_, kGdsPending, t_gds_, limit);
    }

    // People: one moves in or out every few hours while the house wants it.
    auto wants_leave = [this]() {
        return people() > 0 && ((flags_ & kTooManyJobless) != 0 || people() > peopleTarget());
    };
    auto wants_arrive = [this]() { return people() < peopleTarget() && !tooManyJobless(people() + 1); };
    if ((flags_ & kPplPending) == 0) {
        if (wants_leave()) {
            flags_ |= kPplPending;
            t_ppl_ = plusHours(now, type.hours_people_leave_);
        } else if (wants_arrive()) {
            flags_ |= kPplPending;
            t_ppl_ = plusHours(now, type.hours_people_immigrate_);
        }
    }
    if (due(kPplPending, t_ppl_)) {
        flags_ &= ~kPplPending;
        if (wants_leave())
            movePeople(type, t_ppl_, true);
        else if (wants_arrive())
            movePeople(type, t_ppl_, false);
    }

    DaxGameTime next = plusHours(now, 24.0f);
    const struct {
        uint32_t bit;
        DaxGameTime time;
    } timers[] = {{kAttrPending, t_attr_}, {kPplPending, t_ppl_}, {kWkfPending, t_wkf_}, {kSrvPending, t_srv_},
                  {kGdsPending, t_gds_},   {kLvlPending, t_lvl_}, {kBldPending, t_bld_}};
    for (const auto& timer : timers)
        if ((flags_ & timer.bit) != 0 && timer.time.value() < next.value()) next = timer.time;
    const LevelTimers pending = levelTimers();
    if (pending.rise && pending.t_rise.value() < next.value()) next = pending.t_rise;
    return next;
}

RnHous::LevelTimers RnHous::levelTimers() const {
    LevelTimers lvl;
    if ((flags_ & kLvlPending) == 0) return lvl;
    const uint32_t kind = flags_ & (kLvlFall | kLvlRise);
    lvl.fall = kind != kLvlRise;
    lvl.rise = kind != kLvlFall;
    lvl.t_fall = t_lvl_;
    lvl.t_rise = kind == (kLvlFall | kLvlRise) ? t_rise_ : t_lvl_;
    return lvl;
}

void RnHous::setLevelTimers(const LevelTimers& lvl) {
    flags_ &= ~(kLvlPending | kLvlFall | kLvlRise);
    if (lvl.fall) {
        flags_ |= kLvlPending | kLvlFall;
        t_lvl_ = lvl.t_fall;
    }
    if (lvl.rise) {
        flags_ |= kLvlPending | kLvlRise;
        (lvl.fall ? t_rise_ : t_lvl_) = lvl.t_rise;
    }
}

void RnHous::movePeople(const RnHousType& type, DaxGameTime t, bool leave) {
    if (leave)
        peopleLeave(type, 1);
    else
        peopleArrive(type, 1);
    // The stocks last a different time for the new number of people. With
    // nobody left they last until someone comes.
    const int p = people();
    if ((flags_ & kGdsPending) != 0 && !goods_.empty() && p > 0) {
        DaxGameTime earliest = DaxGameTime::null();
        for (auto& [g, e] : goods_) {
            const int amount = e.amountAt(t);
            if (amount == 0) continue;
            e.restock(t, amount, p);
            if (e.empty_at_.value() < earliest.value()) earliest = e.empty_at_;
        }
        if (!earliest.isNull()) t_gds_ = earliest;
    }
    if ((flags_ & kAttrPending) == 0) {
        flags_ |= kAttrPending;
        t_attr_ = plusHours(t, static_cast<float>(leave ? grn_game.hours_decr_desirability_
                                                        : grn_game.hours_incr_desirability_));
    }
    if (leave) updateJobless(type);
}

void RnHous::fallToRuin(const RnHousType& type) {
    emptyHouse(type);
    flags_ |= kDestroyed;
    flags_ &= ~(kAttrPending | kPplPending | kWkfPending | kSrvPending | kGdsPending | kLvlPending | kLvlFall |
                kLvlRise | kBldPending);
    rnShowRuin(*this);
}

// ---------------------------------------------------------------------------
// People and workers

void RnHous::peopleArrive(const RnHousType& type, int n) {
    setPeople(people() + n);
    grn_game.changePopulation(n);
    if (type.ppl_type_idx_ >= 0) grn_game.peoplType(type.ppl_type_idx_).population_ += n;
    offerWorkers(type, type.percent_workers_ * people() / 100);
}

void RnHous::peopleLeave(const RnHousType& type, int n) { peopleArrive(type, -n); }

void RnHous::peopleClear(const RnHousType& type) { peopleArrive(type, -people()); }

void RnHous::setEmployed(uint16_t n) {
    const int new_num_ = n;
    const int cur_num_workers_ = curNumWorkers();
    DAX_ASSERT(new_num_ <= cur_num_workers_);
    flags_ = (flags_ & ~(kWorkersMask << kEmployedShift)) | (static_cast<uint32_t>(n) << kEmployedShift);
}

void RnHous::offerWorkers(const RnHousType& type, int n) {
    n = std::clamp(n, 0, static_cast<int>(kWorkersMask));
    const int old = curNumWorkers();
    if (n == old) return;
    flags_ = (flags_ & ~kWorkersMask) | static_cast<uint32_t>(n);
    if (RnWorkforce* wkf = rnWorkforceOf(type.ppl_type_idx_)) wkf->updateSource(oid_, static_cast<int16_t>(n - old));
}

void RnHous::desirabilityChanged(DaxGameTime t) {
    rnNoteFirst(flags_, kAttrPending, t_attr_, t);
}

void RnHous::workersChanged(DaxGameTime t) {
    rnNoteFirst(flags_, kWkfPending, t_wkf_, t);
}

void RnHous::walkerReturned(DaxGameTime /*t*/, const RnObjectID& /*walker*/) { DAX_ASSERT(false); }

bool RnHous::scheduleSupplyCheck(DaxGameTime t) {
    return rnNoteEarliest(flags_, kBldPending, t_bld_, t);
}

// ---------------------------------------------------------------------------
// Levels

void RnHous::showLevelImages(const RnHousType& type) {
    const RnHousLevelDesc& desc = type.level_descs_[curLevel()];
    grn_map.setBuildingImages(oid_, pos_on_map_.x, pos_on_map_.y, type.width_, type.height_,
                              desc.floor_image_.c_str(), desc.image_.c_str());
}

void RnHous::addLevelEntries(const RnHousType& type, int level, DaxGameTime now, bool full) {
    if (!type.hasLevel(level)) return;
    const RnHousLevelDesc& desc = type.level_descs_[level];
    for (const RnHousServiceNeed& sd : desc.services_) {
        DAX_ASSERT(services_.find(sd.service_type_idx_)==services_.end());
        RnHouseServiceData entry;
        entry.level_word_ = serviceLevelWord(level, sd.service_type_idx_);
        services_[sd.service_type_idx_] = entry;
    }
    for (const RnHousGoodsNeed& gd : desc.goods_) {
        DAX_ASSERT(goods_.find(gd.good_type_idx_)==goods_.end());
        RnHouseGoodsData entry;
        entry.level_ = static_cast<uint8_t>(level);
        entry.cap_ = gd.cap_;
        entry.hours_ = gd.hours_;
        goods_[gd.good_type_idx_] = entry;
    }
    const RnMaterialEntry& gatd = desc.material_;
    if (gatd.good_type_idx_ < 0) return;
    DAX_ASSERT(material_in_store_.find(gatd.good_type_idx_)==material_in_store_.end());
    RnMaterialInf rec;
    if (full) {
        rec.add(now, gatd.amount_, gatd.hours_);
        scheduleSupplyCheck(rec.time_level0_);
    }
    material_in_store_[gatd.good_type_idx_] = rec;
}

void RnHous::levelUp(DaxGameTime t, const RnHousType& type) {
    DAX_ASSERT(curLevel()+1u < type.level_descs_.size());
    const int level = curLevel() + 1;
    setLevel(level);
    const RnHousLevelDesc& desc = type.level_descs_[level];
    setPeopleTarget(desc.people_max_);
    showLevelImages(type);
    // The material delivered for this level starts to wear now.
    if (desc.material_.good_type_idx_ >= 0) {
        auto it = material_in_store_.find(desc.material_.good_type_idx_);
        DAX_ASSERT(it!=material_in_store_.end());
        RnMaterialInf fresh;
        fresh.add(t, it->second.amount_, desc.material_.hours_);
        it->second = fresh;
        scheduleSupplyCheck(fresh.time_level0_);
    }
    addLevelEntries(type, level + 1, t, false);
    grn_game.updateGoodsStatistics();
}

void RnHous::levelDown(const RnHousType& type) {
    DAX_ASSERT(curLevel()>0);
    const int level = curLevel();
    if (type.hasLevel(level + 1)) {
        const RnHousLevelDesc& next = type.level_descs_[level + 1];
        for (const RnHousServiceNeed& sd : next.services_) {
            DAX_ASSERT(services_.find(sd.service_type_idx_)!=services_.end());
            services_.erase(sd.service_type_idx_);
        }
        for (const RnHousGoodsNeed& gd : next.goods_) {
            DAX_ASSERT(goods_.find(gd.good_type_idx_)!=goods_.end());
            goods_.erase(gd.good_type_idx_);
        }
        const RnMaterialEntry& gatd = next.material_;
        if (gatd.good_type_idx_ >= 0) {
            DAX_ASSERT(material_in_store_.find(gatd.good_type_idx_)!=material_in_store_.end());
            material_in_store_.erase(gatd.good_type_idx_);
            if (material_in_store_.empty()) flags_ &= ~kBldPending;
        }
    }
    setLevel(level - 1);
    setPeopleTarget(type.level_descs_[level - 1].people_max_);
    showLevelImages(type);
    grn_game.updateGoodsStatistics();
}

void RnHous::emptyHouse(const RnHousType& type) {
    if (isDestroyed()) return;
    peopleClear(type);
    if (RnWorkforce* wkf = rnWorkforceOf(type.ppl_type_idx_)) wkf->removeSource(oid_);
    grn_game.releaseWalkers(oid_);
    const int level = curLevel();
    const int own = type.hasLevel(level) ? type.level_descs_[level].own_attr_ : 0;
    rnSpreadOwnAttr(*this, rnNow(), own, 0);
    setLevel(0);
    services_.clear();
    goods_.clear();
    material_in_store_.clear();
}

// ---------------------------------------------------------------------------
// Needs and supply

float RnHous::lowestRatio(int16_t& goods) const {
    const RnHousType& type = housType();
    std::vector<RnMaterialEntry> entries;
    for (int i = 0; i <= curLevel(); ++i)
        if (type.level_descs_[i].material_.good_type_idx_ >= 0) entries.push_back(type.level_descs_[i].material_);
    return rnLowestMaterialRatio(material_in_store_, entries, rnNow(), goods);
}

float RnHous::supplyRatio() const {
    if (isDestroyed() || material_in_store_.empty()) return 0.0f;
    int16_t goods = 0;
    return lowestRatio(goods);
}

int16_t RnHous::shortMaterial() const {
    if (isDestroyed() || material_in_store_.empty()) return 0;
    int16_t goods = 0;
    return lowestRatio(goods) < 0.2f ? goods : static_cast<int16_t>(0);
}

bool RnHous::inputsAvailable() const {
    const int level = curLevel();
    if (level == 0) return true;
    const DaxGameTime now = rnNow();
    for (const auto& [s, e] : services_)
        if (!e.isTax() && e.level() <= level && e.elapsedPermille(now) > 900) return false;
    const int p = people();
    for (const auto& [g, e] : goods_) {
        if (e.level_ > level) continue;
        const int amount = e.amountAt(now);
        if (3 * amount < e.cap_ * p - amount) return false;
    }
    return true;
}

bool RnHous::hasUnmetNeeds() const {
    const int level = curLevel();
    if (level == 0) return false;
    const RnHousType& type = housType();
    const DaxGameTime now = rnNow();
    const bool jobless = (flags_ & kTooManyJobless) != 0 && people() <= type.level_descs_[level - 1].people_max_;
    return averageDesirability() < type.level_descs_[level].needed_attr_ || jobless || !goodsMet(now, level) ||
           !servicesMet(now, level);
}

uint16_t RnHous::materialNeed(DaxGameTime t, const RnObjectID& builder) const {
    if (material_in_store_.empty() || isDestroyed()) return 0;
    const RnBldr* supplier = builder.bld_idx_ == -1 ? nullptr : &grn_game.bldrByOid(builder);
    const RnHousType& type = housType();
    const int level = curLevel();
    const int top = supplyLevel(t);
    int sum = 0;
    int count = 0;
    for (int i = 0; i <= top; ++i) {
        const RnMaterialEntry& m = type.level_descs_[i].material_;
        const RnMaterialInf* rec = levelMaterial(type, i);
        if (!rec) continue;
        // The next level's material only waits; it wears from the rise on.
        const float have = i <= level ? rec->amountAt(t) : static_cast<float>(rec->amount_);
        if (have >= static_cast<float>(m.amount_)) continue;
        const uint16_t missing = static_cast<uint16_t>(static_cast<float>(m.amount_) - have);
        const uint16_t offered = supplier ? supplier->available(m.good_type_idx_, missing) : missing;
        if (offered == 0) continue;
        int score = rnNeedScore(missing, offered, m.amount_);
        if (i > level) score = static_cast<int>(static_cast<float>(score) * grn_config.levelup_priority_);
        sum += score;
        ++count;
    }
    return count == 0 ? 0 : static_cast<uint16_t>(sum / count);
}

void RnHous::materialDelivered(DaxGameTime t, const RnObjectID& builder) {
    if (isDestroyed()) return;
    DAX_ASSERT(material_in_store_.size() > 0);
    RnBldr& bldr = grn_game.bldrByOid(builder);
    const RnHousType& type = housType();
    const int top = supplyLevel(t);
    for (int i = 0; i <= top; ++i) {
        const RnMaterialEntry& m = type.level_descs_[i].material_;
        if (m.good_type_idx_ < 0) continue;
        auto it = material_in_store_.find(m.good_type_idx_);
        if (it == material_in_store_.end()) continue;
        const float have = it->second.amountAt(t);
        if (have >= static_cast<float>(m.amount_)) continue;
        const uint16_t got = bldr.takeGoods(m.good_type_idx_, static_cast<uint16_t>(m.amount_ - have));
        if (got == 0) continue;
        it->second.add(t, got, m.hours_);
        if ((flags_ & kReevaluate) == 0) {
            flags_ |= kReevaluate;
            grn_game.updateQueue().schedule(t, oid_);
        }
    }
}

void RnHous::listMaterials(RnGoodsSet& goods) const {
    for (const auto& m : material_in_store_) goods.insert(m.first);
}

uint16_t RnHous::marketNeed(DaxGameTime t, const RnObjectID& market) const {
    if (isDestroyed() || goods_.empty()) return 0;
    const RnMrkt& mrkt = grn_game.mrktByOid(market);
    const int level = curLevel();
    const int p = people();
    // Whether the house could rise (the neighbourhood read off the map) is
    // asked only of a next-level need the market could serve: an empty
    // house, a market without the goods and the current level's needs
    // never depend on it.
    int top = -1;
    int sum = 0;
    int count = 0;
    for (const auto& [g, e] : goods_) {
        const int need = e.cap_ * p;
        if (need == 0) continue;
        const int missing = std::max(0, need - e.amountAt(t));
        const uint16_t offered = mrkt.available(g, static_cast<uint16_t>(std::min(missing, 0xFFFF)));
        if (offered == 0) continue;
        if (e.level_ > level) {
            if (top < 0) top = supplyLevel(t);
            if (e.level_ > top) continue;
        }
        // A next-level need counts less: the house lives without it.
        const double weight = e.level_ > level ? grn_config.levelup_priority_ : 1.0;
        sum += rnNeedScore(missing * weight, offered * weight, need);
        ++count;
    }
    return count == 0 ? 0 : static_cast<uint16_t>(sum / count);
}

void RnHous::marketDelivered(DaxGameTime t, const RnObjectID& market) {
    if (isDestroyed()) return;
    RnMrkt& mrkt = grn_game.mrktByOid(market);
    const int top = supplyLevel(t);
    const int p = people();
    DaxGameTime limit = DaxGameTime::null();
    for (auto& [g, e] : goods_) {
        if (e.level_ > top || !mrkt.hasGoods(g)) continue;
        const int have = e.amountAt(t);
        const int missing = std::max(0, e.cap_ * p - have);
        if (missing > 0) {
            const uint16_t got = mrkt.takeGoods(g, static_cast<uint16_t>(std::min(missing, 0xFFFF)));
            if (got != 0) e.restock(t, have + got, p);
        }
        e.nextEvent(limit, t_gds_);
    }
    if (limit.isNull()) return;
    if ((flags_ & kGdsPending) == 0 || t_gds_.value() > limit.value()) {
        t_gds_ = limit;
        flags_ |= kGdsPending;
        grn_game.updateQueue().schedule(limit, oid_);
    }
}

uint16_t RnHous::serviceNeed(DaxGameTime t, int16_t service, int flag) const {
    if (isDestroyed()) return 0;
    auto it = services_.find(service);
    if (it == services_.end()) return 0;
    if ((it->second.level_word_ & RnHouseServiceData::kWalkerOnWay) != 0 && flag == 0) return 0;
    return static_cast<uint16_t>(it->second.elapsedPermille(t));
}

void RnHous::serviceDelivered(DaxGameTime t, int16_t service) {
    auto it = services_.find(service);
    if (it == services_.end()) return;
    RnHouseServiceData& e = it->second;
    const RnHousType& type = housType();
    const RnHousServiceNeed* need =
        type.hasLevel(e.level()) ? findServiceNeed(type.level_descs_[e.level()], service) : nullptr;
    const uint16_t hours = need ? need->hours_ : 0;
    if (e.isTax()) {
        const RnServType& st = grn_game.servType(service);
        DAX_ASSERT(st.tax_percent_ > 0);
        // Tax for the part of the interval since the last collection.
        double share = 1.0;
        if (t.value() < e.needed_again_at_.value() && hours > 0) {
            const uint32_t elapsed = t.value() > e.served_at_.value() ? t.value() - e.served_at_.value() : 0;
            share = static_cast<double>(elapsed) / DaxGameTime::kPerHour / hours;
        }
        grn_game.bookTaxes(share * curNumWorkers() * st.tax_percent_ / 100.0 * type.tax_percent_ / 100.0);
    }
    e.served_at_ = t;
    e.needed_again_at_ = plusHours(t, hours);
    if ((flags_ & kSrvPending) == 0 || t_srv_.value() > t.value()) {
        t_srv_ = t;
        flags_ |= kSrvPending;
        grn_game.updateQueue().schedule(t, oid_);
    }
}

void RnHous::setServicePending(int16_t service, bool on) {
    auto it = services_.find(service);
    if (it == services_.end()) return;
    if (on)
        it->second.level_word_ |= RnHouseServiceData::kWalkerOnWay;
    else
        it->second.level_word_ &= static_cast<uint16_t>(~RnHouseServiceData::kWalkerOnWay);
}

// ---------------------------------------------------------------------------
// Checks after loading

void RnHous::verify(const RnHousType& type) {
    const RnGenericBuildingType& gtype = type;
    const RnObjectID& o = oid_;
    const int level = curLevel();
    // A saved level the type no longer has, or a ruin above level 0, would
    // be read past the type's levels later on.
    if (!type.hasLevel(level) || (isDestroyed() && level != 0))
        daxRaiseError("house [%hd:%hd,%d] at level %d does not fit its type's %d levels", o.kind_, o.type_idx_,
                      o.bld_idx_, level, static_cast<int>(type.level_descs_.size()));
    // An image that was lost (or never found) is set again like a changed one.
    const RnMapTile& tile = grn_map.tile(pos_on_map_);
    const RnHousLevelDesc& desc = type.level_descs_[level];
    if (imageName(tile.gnd_bmp_idx_) != desc.floor_image_)
        grn_map.setBuildingImages(oid_, pos_on_map_.x, pos_on_map_.y, gtype.width_, gtype.height_,
                                  desc.floor_image_.c_str(), nullptr);
    if (tile.second_bmp_idx_ >= 0) {
        const std::string& want = isDestroyed() ? type.ruin_image_ : desc.image_;
        if (imageName(tile.second_bmp_idx_) != want)
            grn_map.setBuildingImages(oid_, pos_on_map_.x, pos_on_map_.y, gtype.width_, gtype.height_, nullptr,
                                      want.c_str());
    }
    // A ruin keeps no entries.
    if (isDestroyed()) return;

    ServiceMap services;
    GoodsMap goods;
    bool services_changed = false;
    bool goods_changed = false;
    for (int i = 0; i <= level + 1 && type.hasLevel(i); ++i) {
        for (const RnHousServiceNeed& sd : type.level_descs_[i].services_) {
            RnHouseServiceData entry;
            const uint16_t word = serviceLevelWord(i, sd.service_type_idx_);
            auto old = services_.find(sd.service_type_idx_);
            if (old == services_.end()) {
                daxLogMessage(1, kVerifyLog, "Hous verify: [%hd:%hd,%d] sd=%d add for level %d", o.kind_, o.type_idx_,
                              o.bld_idx_, sd.service_type_idx_, i);
                services_changed = true;
                entry.level_word_ = word;
            } else {
                entry = old->second;
                const int old_tax = entry.isTax() ? 1 : 0;
                const int new_tax = (word & RnHouseServiceData::kTaxService) != 0 ? 1 : 0;
                if (old_tax != new_tax) {
                    daxLogMessage(1, kVerifyLog, "Hous verify: [%hd:%hd,%d] sd=%d chg tax property %d to %d", o.kind_,
                                  o.type_idx_, o.bld_idx_, sd.service_type_idx_, old_tax, new_tax);
                    services_changed = true;
                }
                if (entry.level() != i) {
                    daxLogMessage(1, kVerifyLog, "Hous verify: [%hd:%hd,%d] sd=%d chg level %d to %d", o.kind_,
                                  o.type_idx_, o.bld_idx_, sd.service_type_idx_, entry.level(), i);
                    services_changed = true;
                }
                entry.level_word_ = static_cast<uint16_t>(word | (entry.level_word_ & RnHouseServiceData::kWalkerOnWay));
            }
            services[sd.service_type_idx_] = entry;
        }
        for (const RnHousGoodsNeed& gd : type.level_descs_[i].goods_) {
            RnHouseGoodsData entry;
            auto old = goods_.find(gd.good_type_idx_);
            if (old == goods_.end()) {
                daxLogMessage(1, kVerifyLog, "Hous verify: [%hd:%hd,%d] gd=%d add for level %d", o.kind_, o.type_idx_,
                              o.bld_idx_, gd.good_type_idx_, i);
                goods_changed = true;
            } else {
                entry = old->second;
                if (entry.cap_ != gd.cap_) {
                    daxLogMessage(1, kVerifyLog, "Hous verify: [%hd:%hd,%d] gd=%d chg max cap %d to %d", o.kind_,
                                  o.type_idx_, o.bld_idx_, gd.good_type_idx_, entry.cap_, gd.cap_);
                    goods_changed = true;
                }
                if (entry.hours_ != gd.hours_) {
                    daxLogMessage(1, kVerifyLog, "Hous verify: [%hd:%hd,%d] gd=%d chg hours %d to %d", o.kind_,
                                  o.type_idx_, o.bld_idx_, gd.good_type_idx_, entry.hours_, gd.hours_);
                    goods_changed = true;
                }
                if (entry.level_ != i) {
                    daxLogMessage(1, kVerifyLog, "Hous verify: [%hd:%hd,%d] gd=%d chg level %d to %d", o.kind_,
                                  o.type_idx_, o.bld_idx_, gd.good_type_idx_, entry.level_, i);
                    goods_changed = true;
                }
            }
            entry.level_ = static_cast<uint8_t>(i);
            entry.cap_ = gd.cap_;
            entry.hours_ = gd.hours_;
            goods[gd.good_type_idx_] = entry;
        }
    }
    if (services_changed || services.size() != services_.size()) {
        daxLogMessage(1, kVerifyLog, "Hous verify: [%hd:%hd,%d] replace service_data: %d elements by %d", o.kind_,
                      o.type_idx_, o.bld_idx_, static_cast<int>(services_.size()), static_cast<int>(services.size()));
        services_.swap(services);
    }
    if (goods_changed || goods.size() != goods_.size()) {
        daxLogMessage(1, kVerifyLog, "Hous verify: [%hd:%hd,%d] replace goods_data: %d elements by %d", o.kind_,
                      o.type_idx_, o.bld_idx_, static_cast<int>(goods_.size()), static_cast<int>(goods.size()));
        goods_.swap(goods);
    }
}

bool RnHous::verifyMaterialNeeds(const RnHousType& type) {
    if (isDestroyed()) return false;
    const DaxGameTime now = rnNow();
    const int level = curLevel();
    bool changed = false;
    bool check_moved = false;
    std::set<int16_t> noted;
    for (const auto& m : material_in_store_) noted.insert(m.first);
    for (int i = 0; i <= level + 1 && type.hasLevel(i); ++i) {
        const RnMaterialEntry& m = type.level_descs_[i].material_;
        if (m.good_type_idx_ < 0) continue;
        auto it = material_in_store_.find(m.good_type_idx_);
        if (it == material_in_store_.end()) {
            RnMaterialInf rec;
            rec.add(now, m.amount_, m.hours_);
            material_in_store_[m.good_type_idx_] = rec;
            check_moved |= scheduleSupplyCheck(rec.time_level0_);
            changed = true;
            rnLogNewMaterial(oid_, m.good_type_idx_);
            continue;
        }
        noted.erase(m.good_type_idx_);
        const bool relevelled = it->second.relevel(now, m.amount_, m.hours_);
        changed |= relevelled;
        if (i <= level && (relevelled || (flags_ & kBldPending) == 0)) {
            check_moved |= scheduleSupplyCheck(it->second.time_level0_);
            rnLogChangedMaterial(oid_, m.good_type_idx_, type.name_);
        }
    }
    for (int16_t g : noted) {
        material_in_store_.erase(g);
        changed = true;
        rnLogDroppedMaterial(oid_, g, type.name_);
    }
    if (check_moved) grn_game.updateQueue().schedule(t_bld_, oid_);
    return changed;
}

// ---------------------------------------------------------------------------
// House type

RnGenericBuilding* RnHousType::findInstance(int32_t idx) {
    return rnLiveInstance(instances_, idx);
}

bool RnHousType::mayNeedMaterial() const {
    return std::any_of(level_descs_.begin(), level_descs_.end(),
                       [](const RnHousLevelDesc& d) { return d.material_.good_type_idx_ >= 0; });
}

bool RnHousType::mayNeedService(int16_t service) const {
    // A house keeps service entries only for the services its type's levels
    // name.
    for (const RnHousLevelDesc& d : level_descs_)
        for (const RnHousServiceNeed& need : d.services_)
            if (need.service_type_idx_ == service) return true;
    return false;
}

RnObjectID RnHousType::createBuilding(int x, int y) {
    if (level_descs_.empty()) daxRaiseError("house type id=%d has no levels", type_id_);
    rnCheckFootprintOnMap(*this, x, y);
    DaxGameTime now = rnNow();
    RnHous& obj = rnAddInstance(instances_, *this, RnHous(x, y, now));
    if (RnWorkforce* wkf = rnWorkforceOf(ppl_type_idx_)) wkf->addSource(obj.oid_, obj.curNumWorkers());
    rnPlaceOnMap(obj, level_descs_[0].floor_image_, level_descs_[0].image_);
    rnSpreadOwnAttr(obj, now, 0, level_descs_[0].own_attr_);
    // A loaded house holds the entries of its level and the next: so does a
    // new one, its own material full.
    obj.addLevelEntries(*this, 0, now, true);
    obj.addLevelEntries(*this, 1, now, false);
    grn_game.updateGoodsStatistics();
    return obj.oid_;
}

void RnHousType::removeBuilding(const RnMapTile& tile, int tx, int ty) {
    int32_t idx = tile.oid_.bld_idx_;
    RnHous& house = rnInstanceOfTile(instances_, tile.oid_);
    DAX_ASSERT(house.pos_on_map_==DaxMapPositionI(tx,ty));
    house.emptyHouse(*this);
    house.is_active_ = false;
    instances_.remove(idx);
    grn_map.resetArea(tx, ty, width_, height_);
    grn_game.updateGoodsStatistics();
}

std::string RnHousType::phantomImage() const {
    if (level_descs_.empty()) daxRaiseError("no phantom image available for house type id=%d", type_id_);
    const RnHousLevelDesc& last = level_descs_.back();
    return last.floor_image_.empty() ? last.image_ : last.floor_image_;
}

int RnHousType::maxUsedLevel() const {
    int level = 0;
    for (const RnHous& h : instances_) level = std::max(level, h.curLevel());
    return level;
}

const RnMaterialEntry& RnHousType::findMaterial(int16_t goods, int level) const {
    static const RnMaterialEntry kNone;
    for (int i = 0; i <= level && hasLevel(i); ++i)
        if (level_descs_[i].material_.good_type_idx_ == goods) return level_descs_[i].material_;
    return kNone;
}

DaxDialogIfc* RnHous::createDialog() const {
    return grn_building_dialogs ? grn_building_dialogs->createHousDialog(*this) : nullptr;
}

// ---------------------------------------------------------------------------
// Save game

namespace {

template <class Io, class H>
void housFields(Io& io, H& h) {
    rnBuildingHeadFields(io, h);
    io.u32(h.state_);
    io.u32(h.flags_);
    io.time(h.t_attr_);
    io.time(h.t_ppl_);
    io.time(h.t_wkf_);
    io.time(h.t_srv_);
    io.time(h.t_gds_);
    io.time(h.t_lvl_);
    io.time(h.t_bld_);
    // Service entries are keyed by service building type; a loaded key must
    // name one, the entries sit in an array by it.
    auto service_fields = [](Io& f, auto& s) {
        f.time(s.served_at_);
        f.time(s.needed_again_at_);
        f.u16(s.level_word_);
        f.pad(2);
    };
    if constexpr (Io::kLoading) {
        h.services_.clear();
        const int32_t n = io.readInt32();
        for (int32_t i = 0; i < n; ++i) {
            int16_t service = 0;
            io.i16(service);
            RnHouseServiceData v;
            service_fields(io, v);
            if (service < 0 || static_cast<size_t>(service) >= grn_game.servTypes().size())
                daxRaiseError("house [%hd:%hd,%d] needs the unknown service type %d", h.oid_.kind_, h.oid_.type_idx_,
                              h.oid_.bld_idx_, service);
            h.services_[service] = v;
        }
    } else {
        io.goodsMap(h.services_, RnSaveKeys::AsSaved, service_fields);
    }
    auto goods_fields = [](Io& f, auto& g) {
        f.time(g.full_until_);
        f.time(g.empty_at_);
        f.u8(g.level_);
        f.u8(g.flags_);
        f.u16(g.amount_);
        f.u16(g.cap_);
        f.u16(g.hours_);
    };
    if constexpr (Io::kLoading) {
        // Read as the loader reads every goods map (keys translated, a key
        // read twice keeps its last entry), then taken over in order.
        std::map<int16_t, RnHouseGoodsData> goods;
        io.goodsMap(goods, RnSaveKeys::Goods, goods_fields);
        h.goods_.clear();
        for (const auto& [g, e] : goods) h.goods_[g] = e;
    } else {
        io.goodsMap(h.goods_, RnSaveKeys::Goods, goods_fields);
    }
    rnMaterialMapFields(io, h.material_in_store_);
}

}  // namespace

void RnHous::save(RnSaveBuffer& out) const { housFields(out, *this); }

void RnHous::load(RnSaveLoader& in, RnLoadContext& /*ctx*/) {
    housFields(in, *this);
    // A rise pending beside a fall lost its own time: it is decided at the
    // fall's.
    t_rise_ = t_lvl_;
}
