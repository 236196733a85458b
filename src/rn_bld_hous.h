// Houses: the homes of the people. A house rises and falls through the levels
// of its type by the desirability around it and the goods, services and
// building material it gets; people move in while there is room and work
// for them, and move out when the house is over-full or too many are
// jobless. The house offers its workers to the workforce network of its
// people type.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "rn_bld_generic.h"

// A service need of a house level: service building type and the hours until
// the service is needed again.
struct RnHousServiceNeed {
    int16_t service_type_idx_ = -1;
    uint16_t hours_ = 0;
};

// A goods need of a house level: goods type, units per person and the hours
// one unit lasts a person.
struct RnHousGoodsNeed {
    int16_t good_type_idx_ = -1;
    uint16_t cap_ = 0;
    uint16_t hours_ = 0;
};

// One level of a house type.
struct RnHousLevelDesc {
    std::string image_;
    std::string floor_image_;
    std::string name_;
    int32_t text_id_ = 0;
    uint16_t people_max_ = 0;
    int16_t own_attr_ = 0;
    int16_t needed_attr_ = 0;
    std::vector<RnHousServiceNeed> services_;
    std::vector<RnHousGoodsNeed> goods_;
    // Building material of the level; goods type -1 for none.
    RnMaterialEntry material_;
};

// A service entry of a house (12 bytes; 10 used): when the service last
// passed and when it is needed again.
struct RnHouseServiceData {
    static constexpr uint16_t kLevelMask = 0xFFu;
    static constexpr uint16_t kWalkerOnWay = 1u << 8;
    static constexpr uint16_t kTaxService = 1u << 9;

    DaxGameTime served_at_{0};
    DaxGameTime needed_again_at_{0};
    uint16_t level_word_ = 0;
    uint16_t pad_ = 0;

    // The part of the interval from served_at_ to needed_again_at_ passed at
    // t, in per mille: 0 up to the first time, 1000 from the second on.
    int elapsedPermille(DaxGameTime t) const {
        const uint32_t a = served_at_.value();
        const uint32_t b = needed_again_at_.value();
        if (t.value() <= a) return 0;
        if (t.value() >= b) return 1000;
        return static_cast<int>(uint64_t(t.value() - a) * 1000u / (b - a));
    }
    // Lowers limit to the earliest of the two times after `after`.
    void nextEvent(DaxGameTime& limit, DaxGameTime after) const;
    // The lowest house level that needs the service.
    int level() const { return level_word_ & kLevelMask; }
    bool isTax() const { return (level_word_ & kTaxService) != 0; }
};
static_assert(sizeof(RnHouseServiceData) == 12, "RnHouseServiceData is 12 bytes in save games");

// Storage of a few entries that sit in the owner's record while they are at
// most kInline, all on the heap together once there are more: the house's
// service and goods entries, read by every need check, cost no second cache
// miss and the common house holds no heap block for them.
template <class T, size_t kInline>
class RnInlineEntries {
public:
    RnInlineEntries() = default;
    RnInlineEntries(const RnInlineEntries& other) : spare_(other.spare_) { install(other.data(), other.n_); }
    RnInlineEntries(RnInlineEntries&& other) noexcept { swap(other); }
    RnInlineEntries& operator=(RnInlineEntries other) noexcept {
        swap(other);
        return *this;
    }
    ~RnInlineEntries() { clear(); }

    T* data() { return onHeap() ? store_.heap_ : store_.inline_; }
    const T* data() const { return onHeap() ? store_.heap_ : store_.inline_; }
    size_t size() const { return n_; }

    // Replaces the entries by the n at from (which may be the current
    // ones), in the record or on the heap by their number.
    void install(const T* from, size_t n) {
        DAX_ASSERT(n <= 0xFFFFu);
        if (n > kInline) {
            T* heap = new T[n];
            std::copy(from, from + n, heap);
            if (onHeap()) delete[] store_.heap_;
            store_.heap_ = heap;
        } else {
            T local[kInline];
            std::copy(from, from + n, local);
            if (onHeap()) delete[] store_.heap_;
            new (&store_) Store();
            std::copy(local, local + n, store_.inline_);
        }
        n_ = static_cast<uint16_t>(n);
    }
    // No entries; the memory is given back.
    void clear() {
        if (onHeap()) delete[] store_.heap_;
        new (&store_) Store();
        n_ = 0;
    }
    void swap(RnInlineEntries& other) noexcept {
        std::swap(store_, other.store_);
        std::swap(n_, other.n_);
        std::swap(spare_, other.spare_);
    }

private:
    bool onHeap() const { return n_ > kInline; }

    union Store {
        Store() : inline_() {}
        T inline_[kInline];
        T* heap_;  // n_ of them, when more than kInline
    } store_;
    uint16_t n_ = 0;

public:
    // Free for the owner: it would be padding otherwise (the services keep
    // their count here, so that a house keeps its size).
    uint16_t spare_ = 0;
};

// The service entries of a house by service building type index: a slot per
// index up to the highest in use (a house needs few of a model's few service
// types), walked in ascending index order as a map of them would be. An
// unused slot has the index -1. Up to kInline slots sit in the house record
// itself, next to the flags a walker's need check reads first: the check
// then costs no second cache miss, and the common house holds no heap block
// for them. More slots move to the heap, all of them together.
class RnHouseServices {
public:
    // A slot: the service index (-1 unused) and its entry, read like a
    // map's pair.
    struct value_type {
        int16_t first = -1;
        RnHouseServiceData second;
    };
    static constexpr size_t kInline = 2;

    template <class Slot>
    class Iter {
    public:
        Iter(Slot* at, Slot* end) : at_(at), end_(end) { skip(); }
        Slot& operator*() const { return *at_; }
        Slot* operator->() const { return at_; }
        Iter& operator++() {
            ++at_;
            skip();
            return *this;
        }
        bool operator==(const Iter& o) const { return at_ == o.at_; }
        bool operator!=(const Iter& o) const { return at_ != o.at_; }

    private:
        void skip() {
            while (at_ != end_ && at_->first < 0) ++at_;
        }
        Slot* at_;
        Slot* end_;
    };
    using iterator = Iter<value_type>;
    using const_iterator = Iter<const value_type>;

    iterator begin() { return iterator(data(), data() + slotCount()); }
    iterator end() { return iterator(data() + slotCount(), data() + slotCount()); }
    const_iterator begin() const { return const_iterator(data(), data() + slotCount()); }
    const_iterator end() const { return const_iterator(data() + slotCount(), data() + slotCount()); }
    iterator find(int16_t service) {
        return has(service) ? iterator(data() + service, data() + slotCount()) : end();
    }
    const_iterator find(int16_t service) const {
        return has(service) ? const_iterator(data() + service, data() + slotCount()) : end();
    }
    size_t count(int16_t service) const { return has(service) ? 1 : 0; }
    size_t size() const { return slots_.spare_; }
    bool empty() const { return slots_.spare_ == 0; }

    // The entry of a service (not negative), added when it has none.
    RnHouseServiceData& operator[](int16_t service);
    // The entry of a service it has (a fatal check otherwise).
    RnHouseServiceData& at(int16_t service);
    const RnHouseServiceData& at(int16_t service) const;
    size_t erase(int16_t service);
    // No entries; the memory is given back.
    void clear() { slots_.clear(); slots_.spare_ = 0; }
    void swap(RnHouseServices& other) noexcept { slots_.swap(other.slots_); }

private:
    value_type* data() { return slots_.data(); }
    const value_type* data() const { return slots_.data(); }
    size_t slotCount() const { return slots_.size(); }
    bool has(int16_t service) const {
        return service >= 0 && static_cast<size_t>(service) < slotCount() && data()[service].first >= 0;
    }
    // Keeps the first n slots (those past the old end unused), in the
    // record or on the heap by the new number.
    void resize(size_t n);

    RnInlineEntries<value_type, kInline> slots_;  // its spare word: the count of entries
};

// A goods entry of a house (16 bytes): a stock that is full up to
// full_until_ and is used up at empty_at_ by the people of the house.
struct RnHouseGoodsData {
    DaxGameTime full_until_{0};
    DaxGameTime empty_at_{0};
    uint8_t level_ = 0;
    uint8_t flags_ = 0;
    uint16_t amount_ = 0;
    uint16_t cap_ = 0;
    uint16_t hours_ = 0;

    // The amount left at t: amount_ up to full_until_, none from empty_at_
    // on, in between the share still left, rounded up.
    int amountAt(DaxGameTime t) const {
        const uint32_t a = full_until_.value();
        const uint32_t b = empty_at_.value();
        if (t.value() <= a) return amount_;
        if (t.value() >= b) return 0;
        return static_cast<int>(double(b - t.value()) * amount_ / double(b - a) + 0.9);
    }
    // What n people still miss at t: n times the amount per person (cap_)
    // less what is left, 0 when nothing is missing.
    int missingAt(DaxGameTime t, int n) const {
        const int missing = n * cap_ - amountAt(t);
        return missing > 0 ? missing : 0;
    }
    // A stock of n units from t on, used up by p people (p > 0).
    void restock(DaxGameTime t, int n, int p);
    // Lowers limit to the earliest of the two times after `after`.
    void nextEvent(DaxGameTime& limit, DaxGameTime after) const;
};
static_assert(sizeof(RnHouseGoodsData) == 16, "RnHouseGoodsData is 16 bytes in save games");

// The goods entries of a house by goods type index, walked in ascending
// index order as a map of them would be: a sorted array of which up to
// kInline entries sit in the house record itself (a house of the common
// model needs one goods type), so that a market's need check misses the
// cache no second time and the house holds no heap block for them. More
// entries move to the heap, all of them together.
class RnHouseGoods {
public:
    // An entry: the goods type index and its stock, read like a map's pair.
    struct value_type {
        int16_t first = -1;
        RnHouseGoodsData second;
    };
    static constexpr size_t kInline = 2;
    using iterator = value_type*;
    using const_iterator = const value_type*;

    iterator begin() { return data(); }
    iterator end() { return data() + size(); }
    const_iterator begin() const { return data(); }
    const_iterator end() const { return data() + size(); }
    iterator find(int16_t goods) {
        iterator it = begin();
        while (it != end() && it->first != goods) ++it;
        return it;
    }
    const_iterator find(int16_t goods) const { return const_cast<RnHouseGoods*>(this)->find(goods); }
    size_t count(int16_t goods) const { return find(goods) != end() ? 1 : 0; }
    size_t size() const { return entries_.size(); }
    bool empty() const { return entries_.size() == 0; }

    // The entry of a goods type, added (a fresh stock) when it has none.
    RnHouseGoodsData& operator[](int16_t goods);
    // The entry of a goods type it has (a fatal check otherwise).
    const RnHouseGoodsData& at(int16_t goods) const {
        const_iterator it = find(goods);
        DAX_ASSERT(it != end());
        return it->second;
    }
    size_t erase(int16_t goods);
    // No entries; the memory is given back.
    void clear() { entries_.clear(); }
    void swap(RnHouseGoods& other) noexcept { entries_.swap(other.entries_); }

private:
    value_type* data() { return entries_.data(); }
    const value_type* data() const { return entries_.data(); }

    RnInlineEntries<value_type, kInline> entries_;
};

// Persistent part of a house (36 bytes, saved raw).
struct RnHousPersData {
    // Word 0.
    static constexpr uint32_t kLevelMask = 0x3Fu;          // bits 0-5
    static constexpr int kPeopleShift = 6;                 // bits 6-15
    static constexpr int kPeopleMaxShift = 16;             // bits 16-25
    static constexpr uint32_t kPeopleMask = 0x3FFu;
    // Flags word.
    static constexpr uint32_t kWorkersMask = 0xFFu;        // bits 0-7
    static constexpr int kEmployedShift = 8;               // bits 8-15
    static constexpr uint32_t kTooManyJobless = 1u << 16;
    static constexpr uint32_t kAttrPending = 1u << 17;
    static constexpr uint32_t kPplPending = 1u << 18;
    static constexpr uint32_t kWkfPending = 1u << 19;
    static constexpr uint32_t kSrvPending = 1u << 20;
    static constexpr uint32_t kGdsPending = 1u << 21;
    static constexpr uint32_t kLvlPending = 1u << 22;
    static constexpr uint32_t kBldPending = 1u << 23;
    static constexpr uint32_t kDestroyed = 1u << 24;
    static constexpr uint32_t kReevaluate = 1u << 25;
    // Which level changes t_lvl times (with bit 22): a fall, a rise, or both,
    // each with its own time (see RnHous::LevelTimers). Neither bit with bit
    // 22 is a change timed before the two were told apart: it is decided
    // either way at t_lvl.
    static constexpr uint32_t kLvlFall = 1u << 26;
    static constexpr uint32_t kLvlRise = 1u << 27;

    uint32_t state_ = 0;
    uint32_t flags_ = 0;
    DaxGameTime t_attr_{0};
    DaxGameTime t_ppl_{0};
    DaxGameTime t_wkf_{0};
    DaxGameTime t_srv_{0};
    DaxGameTime t_gds_{0};
    DaxGameTime t_lvl_{0};
    DaxGameTime t_bld_{0};

    int curLevel() const { return static_cast<int>(state_ & kLevelMask); }
    int people() const { return static_cast<int>((state_ >> kPeopleShift) & kPeopleMask); }
    // The current level's people_max (the number of people the house is
    // heading for).
    int peopleTarget() const { return static_cast<int>((state_ >> kPeopleMaxShift) & kPeopleMask); }
    // Of the people, those who can work, and of those the ones with a job.
    int curNumWorkers() const { return static_cast<int>(flags_ & kWorkersMask); }
    int employed() const { return static_cast<int>((flags_ >> kEmployedShift) & 0xFFu); }

    void setLevel(int level) { state_ = (state_ & ~kLevelMask) | (static_cast<uint32_t>(level) & kLevelMask); }
    void setPeople(int n) {
        state_ = (state_ & ~(kPeopleMask << kPeopleShift)) | ((static_cast<uint32_t>(n) & kPeopleMask) << kPeopleShift);
    }
    void setPeopleTarget(int n) {
        state_ = (state_ & ~(kPeopleMask << kPeopleMaxShift)) |
                 ((static_cast<uint32_t>(n) & kPeopleMask) << kPeopleMaxShift);
    }
};
static_assert(sizeof(RnHousPersData) == 36, "RnHousPersData is saved as 36 raw bytes");

class RnHousType;

class RnHous final : public RnGenericBuilding, public RnHousPersData {
public:
    using ServiceMap = RnHouseServices;
    using GoodsMap = RnHouseGoods;
    using MaterialMap = std::map<int16_t, RnMaterialInf>;

    RnHous() = default;
    // A new house: level 0, no people, the first person due at now. Its
    // type adds the entries of levels 0 and 1.
    RnHous(int x, int y, DaxGameTime now);

    // Material supply, workers, level, services, goods and people in this
    // order; wakes at least once a day.
    DaxGameTime update(DaxGameTime now) override;
    // The record in a save game.
    void save(RnSaveBuffer& out) const override;
    void load(RnSaveLoader& in, RnLoadContext& ctx) override;
    // First call wins on t_attr.
    void desirabilityChanged(DaxGameTime t) override;
    // First call wins on t_wkf.
    void workersChanged(DaxGameTime t) override;
    void goodsArrived(DaxGameTime /*t*/) override {}
    // Houses send no walkers: fatal check "false".
    void walkerReturned(DaxGameTime t, const RnObjectID& walker) override;
    int debugText(std::string& buf, bool sep) const override;
    int infoText(std::string& buf, bool sep) const override;
    // Its own info dialog, made by grn_building_dialogs (null without one).
    DaxDialogIfc* createDialog() const override;
    // The lowest stock of the building material of levels 0..L against its
    // amount (0 for a ruin or an empty store).
    float supplyRatio() const override;
    // Whether the needs of the current level are all in stock for now.
    bool inputsAvailable() const override;
    int16_t shortMaterial() const override;
    // Whether the house falls short of its level: neighbourhood, jobs,
    // goods or services.
    bool hasUnmetNeeds() const override;
    bool isDestroyed() const override { return (flags_ & kDestroyed) != 0; }
    // Scores of what a builder or a market could bring, in per mille.
    uint16_t materialNeed(DaxGameTime t, const RnObjectID& builder) const override;
    void materialDelivered(DaxGameTime t, const RnObjectID& builder) override;
    void listMaterials(RnGoodsSet& goods) const override;
    uint16_t marketNeed(DaxGameTime t, const RnObjectID& market) const override;
    void marketDelivered(DaxGameTime t, const RnObjectID& market) override;
    // The part of the service's interval passed, in per mille; 0 while a
    // walker of it is on its way unless flag is set.
    uint16_t serviceNeed(DaxGameTime t, int16_t service, int flag) const override;
    // A service walker passed: tax for a tax service, the interval restarts.
    void serviceDelivered(DaxGameTime t, int16_t service) override;
    void setServicePending(int16_t service, bool on) override;

    // Slot 34: the earliest request wins; returns whether t_bld changed.
    virtual bool scheduleSupplyCheck(DaxGameTime t);

    // Whether n people would leave too many workers without a job for
    // moving in or rising.
    bool tooManyJobless(int n) const;
    // Whether the next level (if any) could be reached now: jobs for one
    // more person and the neighbourhood it needs.
    bool canLevelUp(DaxGameTime t) const;
    // The earliest run-out time of the materials of levels 0..L, 0 with none.
    DaxGameTime earliestRunOut() const;

    // The needs-met tests of the update, at levels up to `level`.
    bool goodsMet(DaxGameTime now, int level) const;
    bool servicesMet(DaxGameTime now, int level) const;
    // Every material entry holds some amount (a rise may happen).
    bool materialsPresent() const;

    // People move in or out; the workers offered follow.
    void peopleArrive(const RnHousType& type, int n);
    void peopleLeave(const RnHousType& type, int n);
    void peopleClear(const RnHousType& type);

    // One level up at t (the next level's entries are created) or down.
    void levelUp(DaxGameTime t, const RnHousType& type);
    void levelDown(const RnHousType& type);

    // Ruin and removal: lets the people go, leaves the workforce and takes
    // the desirability back (nothing when destroyed already).
    void emptyHouse(const RnHousType& type);

    // Set by the workforce network; never above the workers offered.
    void setEmployed(uint16_t n);
    // The house now offers n workers (the field holds at most 255); the
    // workforce network of its people type is told the change.
    void offerWorkers(const RnHousType& type, int n);

    // After loading: images and the service and goods entries brought in
    // line with the (possibly changed) type. Raises for a level the type
    // does not have (or a ruin above level 0).
    void verify(const RnHousType& type);
    // After loading: the material entries of levels 0..L+1 brought in line
    // with the type; returns whether anything changed.
    bool verifyMaterialNeeds(const RnHousType& type);

    // Adds the service, goods and material entries of a level (none must
    // exist yet); its material starts full when full is set, else empty.
    void addLevelEntries(const RnHousType& type, int level, DaxGameTime now, bool full);

    const RnHousType& housType() const;
    // The mean desirability total of the tiles under the house.
    int averageDesirability() const;

    // The time of a rise pending beside a fall (see LevelTimers). It comes
    // first to fill the gap after the persistent part.
    DaxGameTime t_rise_{0};
    ServiceMap services_;
    GoodsMap goods_;
    MaterialMap material_in_store_;

    // The level changes pending. A fall comes hours_level_down after the
    // first check that failed the level, a rise hours_level_up after the
    // first check that qualified for the next; each is decided by checking
    // everything when its time comes, and a level change drops the other.
    // Saved in t_lvl: the fall's time, else the rise's; a rise pending
    // beside a fall keeps its time in t_rise_, which is not saved.
    struct LevelTimers {
        bool fall = false;
        DaxGameTime t_fall{0};
        bool rise = false;
        DaxGameTime t_rise{0};
    };
    LevelTimers levelTimers() const;
    void setLevelTimers(const LevelTimers& lvl);

private:
    // Recomputes the jobless state (bit 16) from the workers and the
    // employed.
    void updateJobless(const RnHousType& type);
    // The house's level images on the map.
    void showLevelImages(const RnHousType& type);
    // The material entry of a level, null when the level has none.
    const RnMaterialInf* levelMaterial(const RnHousType& type, int level) const;
    // Levels whose needs the walkers may serve now: up to L, and L+1 while
    // the house could rise.
    int supplyLevel(DaxGameTime t) const;
    // The lowest stock ratio of the materials of levels 0..L and its goods.
    float lowestRatio(int16_t& goods) const;
    // Moves one person in or out at t and follows up the goods and the
    // desirability check.
    void movePeople(const RnHousType& type, DaxGameTime t, bool leave);
    // Ruin: the house empties and shows its ruin image.
    void fallToRuin(const RnHousType& type);
};

class RnHousType : public RnGenericBuildingType {
public:
    RnHousType() : RnGenericBuildingType(RnIdBldHous) {}

    RnObjectID createBuilding(int x, int y) override;
    void removeBuilding(const RnMapTile& tile, int tx, int ty) override;
    // The last level's floor image when there is one, else its building
    // image; raises "no phantom image available for house type id=%d" for a
    // type without levels.
    std::string phantomImage() const override;
    int instanceCount() const override { return instances_.liveCount(); }
    RnGenericBuilding* findInstance(int32_t idx) override;
    // A house asks for the material and the services its levels name, and
    // for no goods but the market's.
    bool mayNeedMaterial() const override;
    bool mayNeedGoods(int16_t /*goods*/) const override { return false; }
    bool mayNeedService(int16_t service) const override;

    // The highest level of the type's live houses, 0 with none.
    int maxUsedLevel() const;
    // The building material of the first level 0..level with that goods
    // type, else an empty entry (goods type -1, amount 0).
    const RnMaterialEntry& findMaterial(int16_t goods, int level) const;
    // Whether the type has a level of that number.
    bool hasLevel(int level) const { return level >= 0 && static_cast<size_t>(level) < level_descs_.size(); }

    int16_t ppl_type_idx_ = -1;
    int16_t percent_workers_ = 0;
    int16_t percent_workers_without_job1_ = 0;
    int16_t percent_workers_without_job2_ = 0;
    int16_t hours_people_immigrate_ = 0;
    int16_t hours_people_leave_ = 0;
    int16_t hours_level_up_ = 0;
    int16_t hours_level_down_ = 0;
    int16_t tax_percent_ = 100;
    std::vector<RnHousLevelDesc> level_descs_;
    RnInstanceList<RnHous> instances_;
};
