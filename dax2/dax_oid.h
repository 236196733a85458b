// Object ids: RnObjectTypeID names a type (object kind and type index),
// RnObjectID one object of it (plus its instance index). Plain values, copied
// freely and saved as raw bytes.
#pragma once

#include <cstdint>

// Object kinds: buildings 1 to 8, walkers 16 to 20; 32 and above are
// scheduled script jobs.
enum RnObjectKind : int16_t {
    RnIdNone = 0,
    RnIdBldRoad = 1,
    RnIdBldHous = 2,
    RnIdBldServ = 3,
    RnIdBldStor = 4,
    RnIdBldProd = 5,
    RnIdBldMrkt = 6,
    RnIdBldDeco = 7,
    RnIdBldBldr = 8,
    RnIdWlkServ = 16,
    RnIdWlkProd = 17,
    RnIdWlkMrkt = 18,
    RnIdWlkStor = 19,
    RnIdWlkBldr = 20,
    RnIdScriptJob = 32,
};

// Kind and type index of an object type; null is (0, -1).
class RnObjectTypeID {
public:
    constexpr RnObjectTypeID() = default;
    constexpr RnObjectTypeID(int16_t kind, int16_t type_idx) : kind_(kind), type_idx_(type_idx) {}

    void setNull() {
        kind_ = RnIdNone;
        type_idx_ = -1;
    }
    // The object kind.
    constexpr int16_t id() const { return kind_; }
    constexpr int16_t typeIdx() const { return type_idx_; }

    // Kinds 1..15 (roads and buildings), 2..15 (buildings without roads) and
    // 16..31 (walkers), each with a type index of 0 or more.
    constexpr bool isRoadOrBuilding() const { return kind_ >= 1 && kind_ <= 15 && type_idx_ >= 0; }
    constexpr bool isBuilding() const { return kind_ >= 2 && kind_ <= 15 && type_idx_ >= 0; }
    constexpr bool isWalker() const { return kind_ >= 16 && kind_ <= 31 && type_idx_ >= 0; }

    // The 4 bytes as one word (kind low, type index high), the order in which
    // the update queue compares type ids.
    constexpr uint32_t packed() const {
        return static_cast<uint16_t>(kind_) | (static_cast<uint32_t>(static_cast<uint16_t>(type_idx_)) << 16);
    }

    int16_t kind_ = RnIdNone;
    int16_t type_idx_ = -1;
};
static_assert(sizeof(RnObjectTypeID) == 4, "RnObjectTypeID is saved as 4 raw bytes");

constexpr bool operator==(const RnObjectTypeID& a, const RnObjectTypeID& b) {
    return a.kind_ == b.kind_ && a.type_idx_ == b.type_idx_;
}
constexpr bool operator!=(const RnObjectTypeID& a, const RnObjectTypeID& b) { return !(a == b); }

// One object: its type id followed by its instance index (the slot in the
// type's instance list); null is (0, -1, -1). The type index and the instance
// index are filled once each, guarded by fatal checks.
class RnObjectID : public RnObjectTypeID {
public:
    constexpr RnObjectID() = default;
    constexpr RnObjectID(int16_t kind, int16_t type_idx, int32_t bld_idx)
        : RnObjectTypeID(kind, type_idx), bld_idx_(bld_idx) {}
    constexpr RnObjectID(const RnObjectTypeID& type, int32_t bld_idx)
        : RnObjectTypeID(type), bld_idx_(bld_idx) {}

    void setNull() {
        RnObjectTypeID::setNull();
        bld_idx_ = -1;
    }
    // Kind 0 marks an id that names nothing.
    constexpr bool isNull() const { return kind_ == RnIdNone; }
    constexpr int32_t bldIdx() const { return bld_idx_; }
    // The id as one word, a key of hashed tables: the type half (packed) in
    // the low 32 bits, the instance index in the high ones; and back.
    constexpr uint64_t word() const {
        return packed() | (static_cast<uint64_t>(static_cast<uint32_t>(bld_idx_)) << 32);
    }
    static constexpr RnObjectID fromWord(uint64_t w) {
        return RnObjectID(static_cast<int16_t>(w & 0xFFFFu), static_cast<int16_t>((w >> 16) & 0xFFFFu),
                          static_cast<int32_t>(w >> 32));
    }
    constexpr const RnObjectTypeID& typeId() const { return *this; }

    // Sets the type index of an id that has none yet (fatal otherwise).
    void setTypeIdx(int16_t idx);
    // Sets the instance index of an id that has none yet to an index of 0 or
    // more (fatal otherwise).
    void setBldIdx(int aidx);

    int32_t bld_idx_ = -1;
};
static_assert(sizeof(RnObjectID) == 8, "RnObjectID is saved as 8 raw bytes");

constexpr bool operator==(const RnObjectID& a, const RnObjectID& b) {
    return a.kind_ == b.kind_ && a.type_idx_ == b.type_idx_ && a.bld_idx_ == b.bld_idx_;
}
constexpr bool operator!=(const RnObjectID& a, const RnObjectID& b) { return !(a == b); }
