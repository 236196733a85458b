// Lookups of the game object: records by index, by kind and by script id,
// objects by id, and the rectangle selection.
#include "dax2/dax_error.h"
#include "rn_bld_bldr.h"
#include "rn_bld_deco.h"
#include "rn_bld_hous.h"
#include "rn_bld_mrkt.h"
#include "rn_bld_prod.h"
#include "rn_bld_road.h"
#include "rn_bld_serv.h"
#include "rn_bld_stor.h"
#include "rn_game.h"
#include "rn_map.h"
#include "rn_wlk_bldr.h"
#include "rn_wlk_mrkt.h"
#include "rn_wlk_prod.h"
#include "rn_wlk_serv.h"
#include "rn_wlk_stor.h"

namespace {

const char* const kSrc = "src\\rn_game_objects";
// The rectangle selection reports its checks under the game object's own
// source name, as the other player actions of the game object do.
const char* const kSrcGame = "src\\rn_game";

}  // namespace

// Table vectors.
std::vector<RnResource>& RnGame::resources() { return resources_.records(); }
std::vector<RnTerrain>& RnGame::terrains() { return terrains_.records(); }
const std::vector<RnTerrain>& RnGame::terrains() const { return terrains_.records(); }
std::vector<RnPeoplType>& RnGame::peoplTypes() { return peopl_types_.records(); }
std::vector<RnGoodsType>& RnGame::goodsTypes() { return goods_types_.records(); }
std::vector<RnWalkerBldrType>& RnGame::bldrWalkerTypes() { return bldr_walker_types_.records(); }
std::vector<RnWalkerMrktType>& RnGame::mrktWalkerTypes() { return mrkt_walker_types_.records(); }
std::vector<RnWalkerProdType>& RnGame::prodWalkerTypes() { return prod_walker_types_.records(); }
std::vector<RnWalkerServType>& RnGame::servWalkerTypes() { return serv_walker_types_.records(); }
std::vector<RnWalkerStorType>& RnGame::storWalkerTypes() { return stor_walker_types_.records(); }
std::vector<RnBldrType>& RnGame::bldrTypes() { return bldr_types_.records(); }
std::vector<RnDecoType>& RnGame::decoTypes() { return deco_types_.records(); }
std::vector<RnHousType>& RnGame::housTypes() { return hous_types_.records(); }
std::vector<RnMrktType>& RnGame::mrktTypes() { return mrkt_types_.records(); }
std::vector<RnProdType>& RnGame::prodTypes() { return prod_types_.records(); }
std::vector<RnRoadType>& RnGame::roadTypes() { return road_types_.records(); }
std::vector<RnServType>& RnGame::servTypes() { return serv_types_.records(); }
std::vector<RnStorType>& RnGame::storTypes() { return stor_types_.records(); }

// Records by index: a bad index is a program error.
#define RN_RECORD_BY_INDEX(Type, Name, member)                                 \
    Type& RnGame::Name(int16_t idx) {                                          \
        DAX_ASSERT_AT(idx>=0 && (size_t)idx<member.size(), kSrc, __LINE__);    \
        return member[static_cast<size_t>(idx)];                               \
    }
RN_RECORD_BY_INDEX(RnWalkerBldrType, bldrWalkerType, bldr_walker_types_)
RN_RECORD_BY_INDEX(RnWalkerMrktType, mrktWalkerType, mrkt_walker_types_)
RN_RECORD_BY_INDEX(RnWalkerProdType, prodWalkerType, prod_walker_types_)
RN_RECORD_BY_INDEX(RnWalkerServType, servWalkerType, serv_walker_types_)
RN_RECORD_BY_INDEX(RnWalkerStorType, storWalkerType, stor_walker_types_)
RN_RECORD_BY_INDEX(RnResource, resource, resources_)
RN_RECORD_BY_INDEX(RnTerrain, terrain, terrains_)
RN_RECORD_BY_INDEX(RnPeoplType, peoplType, peopl_types_)
RN_RECORD_BY_INDEX(RnGoodsType, goodsType, goods_types_)
RN_RECORD_BY_INDEX(RnBldrType, bldrType, bldr_types_)
RN_RECORD_BY_INDEX(RnDecoType, decoType, deco_types_)
RN_RECORD_BY_INDEX(RnHousType, housType, hous_types_)
RN_RECORD_BY_INDEX(RnMrktType, mrktType, mrkt_types_)
RN_RECORD_BY_INDEX(RnProdType, prodType, prod_types_)
RN_RECORD_BY_INDEX(RnRoadType, roadType, road_types_)
RN_RECORD_BY_INDEX(RnServType, servType, serv_types_)
RN_RECORD_BY_INDEX(RnStorType, storType, stor_types_)
#undef RN_RECORD_BY_INDEX

const RnTerrain& RnGame::terrain(int16_t idx) const {
    DAX_ASSERT_AT(idx>=0 && (size_t)idx<terrains_.size(), kSrc, __LINE__);
    return terrains_[static_cast<size_t>(idx)];
}

// Calls fn with the table of a road or building kind (1 to 8), or of a walker
// kind (16 to 20), and returns what it returns; none for any other kind.
template <class Game, class Fn, class R>
R RnGame::onBuildingTable(Game& game, int kind, Fn fn, R none) {
    switch (kind) {
        case RnIdBldRoad: return fn(game.road_types_);
        case RnIdBldHous: return fn(game.hous_types_);
        case RnIdBldServ: return fn(game.serv_types_);
        case RnIdBldStor: return fn(game.stor_types_);
        case RnIdBldProd: return fn(game.prod_types_);
        case RnIdBldMrkt: return fn(game.mrkt_types_);
        case RnIdBldDeco: return fn(game.deco_types_);
        case RnIdBldBldr: return fn(game.bldr_types_);
        default: return none;
    }
}

template <class Game, class Fn, class R>
R RnGame::onWalkerTable(Game& game, int kind, Fn fn, R none) {
    switch (kind) {
        case RnIdWlkServ: return fn(game.serv_walker_types_);
        case RnIdWlkProd: return fn(game.prod_walker_types_);
        case RnIdWlkMrkt: return fn(game.mrkt_walker_types_);
        case RnIdWlkStor: return fn(game.stor_walker_types_);
        case RnIdWlkBldr: return fn(game.bldr_walker_types_);
        default: return none;
    }
}

RnGenericBuildingType* RnGame::buildingTypeAt(int kind, int type_idx) {
    if (type_idx >= kExtraTypeBase) {
        size_t i = static_cast<size_t>(type_idx - kExtraTypeBase);
        if (i >= extra_building_types_.size() || extra_building_types_[i]->kind() != kind) return nullptr;
        return extra_building_types_[i];
    }
    auto pick = [type_idx](auto& table) -> RnGenericBuildingType* {
        return table.isIndex(type_idx) ? &table[static_cast<size_t>(type_idx)] : nullptr;
    };
    return onBuildingTable(*this, kind, pick, static_cast<RnGenericBuildingType*>(nullptr));
}

RnWalkerGenericType* RnGame::walkerTypeAt(int kind, int type_idx) {
    auto pick = [type_idx](auto& table) -> RnWalkerGenericType* {
        return table.isIndex(type_idx) ? &table[static_cast<size_t>(type_idx)] : nullptr;
    };
    return onWalkerTable(*this, kind, pick, static_cast<RnWalkerGenericType*>(nullptr));
}

RnGenericBuilding* RnGame::buildingAt(const RnObjectID& oid) {
    // Straight to the instance list's table of live buildings, past the
    // type's virtual lookup (the test types beyond the tables have none).
    if (grn_caches.building_index_ && oid.type_idx_ < kExtraTypeBase) {
        auto pick = [&oid](auto& table) -> RnGenericBuilding* {
            if (!table.isIndex(oid.type_idx_)) return nullptr;
            return table[static_cast<size_t>(oid.type_idx_)].instances_.find(oid.bld_idx_);
        };
        return onBuildingTable(*this, oid.kind_, pick, static_cast<RnGenericBuilding*>(nullptr));
    }
    RnGenericBuildingType* type = buildingTypeAt(oid.kind_, oid.type_idx_);
    return type ? type->findInstance(oid.bld_idx_) : nullptr;
}

RnWalkerGeneric* RnGame::walkerAt(const RnObjectID& oid) {
    auto pick = [&oid](auto& table) -> RnWalkerGeneric* {
        if (!table.isIndex(oid.type_idx_)) return nullptr;
        return rnLiveInstance(table[static_cast<size_t>(oid.type_idx_)].instances_, oid.bld_idx_);
    };
    return onWalkerTable(*this, oid.kind_, pick, static_cast<RnWalkerGeneric*>(nullptr));
}

RnGenericBuildingType& RnGame::buildingType(const RnObjectTypeID& otx) {
    DAX_ASSERT_AT(otx.isRoadOrBuilding(), kSrc, __LINE__);
    // Kinds 9 to 15 have no table; an index from a file may name no record.
    RnGenericBuildingType* type = buildingTypeAt(otx.kind_, otx.type_idx_);
    if (!type) daxRaiseError("building type not found: [%hd:%hd]", otx.kind_, otx.type_idx_);
    return *type;
}

RnGenericBuildingType& RnGame::buildingTypeOfTile(const RnMapTile& tile) {
    DAX_ASSERT_AT(tile.oid_.isRoadOrBuilding(), kSrc, __LINE__);
    RnGenericBuildingType* type = buildingTypeAt(tile.oid_.kind_, tile.oid_.type_idx_);
    if (!type) daxRaiseError("building type not found: [%hd:%hd]", tile.oid_.kind_, tile.oid_.type_idx_);
    return *type;
}

template <class Fn>
const void* RnGame::onInstances(uint64_t word, Fn fn) {
    const RnObjectID oid = RnObjectID::fromWord(word);
    auto at = [&oid, &fn](auto& table) -> const void* {
        if (!table.isIndex(oid.type_idx_)) return nullptr;
        return fn(table[static_cast<size_t>(oid.type_idx_)].instances_, oid.bld_idx_);
    };
    const void* found = onBuildingTable(*this, oid.kind_, at, static_cast<const void*>(nullptr));
    return found ? found : onWalkerTable(*this, oid.kind_, at, static_cast<const void*>(nullptr));
}

void RnGame::prefetchCell(uint64_t word) {
    const void* at = onInstances(word, [](auto& list, int32_t idx) -> const void* { return list.cellOf(idx); });
    if (at) __builtin_prefetch(at);
}

void RnGame::prefetchObject(uint64_t word) {
    const void* at = onInstances(word, [](auto& list, int32_t idx) -> const void* { return list.peek(idx); });
    if (at) {
        __builtin_prefetch(at);
        __builtin_prefetch(static_cast<const char*>(at) + 64);
    }
}

RnWalkerGenericType& RnGame::walkerType(const RnObjectTypeID& otx) {
    DAX_ASSERT_AT(otx.isWalker(), kSrc, __LINE__);
    RnWalkerGenericType* type = walkerTypeAt(otx.kind_, otx.type_idx_);
    if (!type) daxRaiseError("walker type not found: [%hd:%hd]", otx.kind_, otx.type_idx_);
    return *type;
}

// Script id -> index, raising for an unknown id.
#define RN_INDEX_OF_ID(Name, member, message)          \
    int16_t RnGame::Name(int32_t id) const {           \
        int16_t idx = member.find(id);                 \
        if (idx < 0) daxRaiseError(message, id);       \
        return idx;                                    \
    }
RN_INDEX_OF_ID(resourceIdx, resources_, "resource %d not found")
RN_INDEX_OF_ID(terrainIdx, terrains_, "terrain %d not found")
RN_INDEX_OF_ID(peoplTypeIdx, peopl_types_, "people type %d not found")
RN_INDEX_OF_ID(goodsTypeIdx, goods_types_, "goods type %d not found")
RN_INDEX_OF_ID(bldrWalkerTypeIdx, bldr_walker_types_, "bldr walker type %d not found")
RN_INDEX_OF_ID(mrktWalkerTypeIdx, mrkt_walker_types_, "mrkt walker type %d not found")
RN_INDEX_OF_ID(servWalkerTypeIdx, serv_walker_types_, "serv walker type %d not found")
RN_INDEX_OF_ID(bldrTypeIdx, bldr_types_, "bldr type %d not found")
RN_INDEX_OF_ID(decoTypeIdx, deco_types_, "deko type %d not found")
RN_INDEX_OF_ID(housTypeIdx, hous_types_, "house type %d not found")
RN_INDEX_OF_ID(mrktTypeIdx, mrkt_types_, "market type %d not found")
RN_INDEX_OF_ID(prodTypeIdx, prod_types_, "production type %d not found")
RN_INDEX_OF_ID(roadTypeIdx, road_types_, "road type %d not found")
RN_INDEX_OF_ID(servTypeIdx, serv_types_, "service type %d not found")
RN_INDEX_OF_ID(storTypeIdx, stor_types_, "storage type %d not found")
#undef RN_INDEX_OF_ID

int16_t RnGame::findBldrWalkerTypeIdx(int32_t id) const { return bldr_walker_types_.find(id); }
int16_t RnGame::findMrktWalkerTypeIdx(int32_t id) const { return mrkt_walker_types_.find(id); }
int16_t RnGame::findProdWalkerTypeIdx(int32_t id) const { return prod_walker_types_.find(id); }
int16_t RnGame::findServWalkerTypeIdx(int32_t id) const { return serv_walker_types_.find(id); }
int16_t RnGame::findStorWalkerTypeIdx(int32_t id) const { return stor_walker_types_.find(id); }
int16_t RnGame::findBldrTypeIdx(int32_t id) const { return bldr_types_.find(id); }
int16_t RnGame::findDecoTypeIdx(int32_t id) const { return deco_types_.find(id); }
int16_t RnGame::findHousTypeIdx(int32_t id) const { return hous_types_.find(id); }
int16_t RnGame::findMrktTypeIdx(int32_t id) const { return mrkt_types_.find(id); }
int16_t RnGame::findProdTypeIdx(int32_t id) const { return prod_types_.find(id); }
int16_t RnGame::findRoadTypeIdx(int32_t id) const { return road_types_.find(id); }
int16_t RnGame::findServTypeIdx(int32_t id) const { return serv_types_.find(id); }
int16_t RnGame::findStorTypeIdx(int32_t id) const { return stor_types_.find(id); }

int16_t RnGame::typeIdxOfKey(int kind, unsigned id) const {
    auto find = [key = static_cast<int32_t>(id)](const auto& table) { return table.find(key); };
    int16_t idx = onBuildingTable(*this, kind, find, static_cast<int16_t>(-1));
    if (idx < 0) idx = onWalkerTable(*this, kind, find, static_cast<int16_t>(-1));
    if (idx < 0) daxRaiseError("type index not found for type %d,%u", kind, id);
    return idx;
}

RnGenericBuildingType* RnGame::findBuildingType(int kind, int id) {
    return const_cast<RnGenericBuildingType*>(findBuildingTypeConst(kind, id));
}

const RnGenericBuildingType* RnGame::findBuildingTypeConst(int kind, int id) const {
    auto pick = [id](const auto& table) -> const RnGenericBuildingType* {
        int16_t idx = table.find(id);
        return idx < 0 ? nullptr : &table[static_cast<size_t>(idx)];
    };
    return onBuildingTable(*this, kind, pick, static_cast<const RnGenericBuildingType*>(nullptr));
}

// Instances of one kind: the kind is a program error, the type index must
// name a record and the instance list refuses a free slot or a bad index
// (the table of live buildings finds the live ones, the list refuses).
#define RN_INSTANCE_BY_OID(Type, Name, kind, typeAccess)                        \
    Type& RnGame::Name(const RnObjectID& oid) {                                  \
        DAX_ASSERT_AT(oid.id()==kind, kSrc, __LINE__);                           \
        auto& list = typeAccess(oid.type_idx_).instances_;                       \
        if (grn_caches.building_index_) {                                        \
            if (Type* found = list.find(oid.bld_idx_)) return *found;            \
        }                                                                        \
        return list[oid.bld_idx_];                                               \
    }
RN_INSTANCE_BY_OID(RnBldr, bldrByOid, RnIdBldBldr, bldrType)
RN_INSTANCE_BY_OID(RnDeco, decoByOid, RnIdBldDeco, decoType)
RN_INSTANCE_BY_OID(RnHous, housByOid, RnIdBldHous, housType)
RN_INSTANCE_BY_OID(RnMrkt, mrktByOid, RnIdBldMrkt, mrktType)
RN_INSTANCE_BY_OID(RnProd, prodByOid, RnIdBldProd, prodType)
RN_INSTANCE_BY_OID(RnRoad, roadByOid, RnIdBldRoad, roadType)
RN_INSTANCE_BY_OID(RnServ, servByOid, RnIdBldServ, servType)
RN_INSTANCE_BY_OID(RnStor, storByOid, RnIdBldStor, storType)
#undef RN_INSTANCE_BY_OID

RnGenericBuilding& RnGame::buildingByOid(const RnObjectID& oid) {
    DAX_ASSERT_AT(oid.isRoadOrBuilding(), kSrc, __LINE__);
    RnGenericBuilding* b = buildingAt(oid);
    if (!b) daxRaiseError("building not found: [%hd:%hd,%d]", oid.kind_, oid.type_idx_, oid.bld_idx_);
    return *b;
}

RnWalkerGeneric& RnGame::walkerByOid(const RnObjectID& oid) {
    DAX_ASSERT_AT(oid.isWalker(), kSrc, __LINE__);
    RnWalkerGeneric* w = walkerAt(oid);
    if (!w) daxRaiseError("walker not found: [%hd:%hd,%d]", oid.kind_, oid.type_idx_, oid.bld_idx_);
    return *w;
}

RnGenericObject* RnGame::objectByOid(const RnObjectID& oid) {
    if (oid.kind_ >= RnIdBldRoad && oid.kind_ <= RnIdBldBldr) return buildingAt(oid);
    if (oid.kind_ >= RnIdWlkServ && oid.kind_ <= RnIdWlkBldr) return walkerAt(oid);
    return nullptr;
}

bool RnGame::isObjectAlive(const RnObjectID& oid) {
    if (oid.kind_ >= RnIdBldRoad && oid.kind_ <= RnIdBldBldr) {
        RnGenericBuilding* b = buildingAt(oid);
        if (!b) return false;
        // A road is alive while it stands; other buildings also not as ruins.
        return oid.kind_ == RnIdBldRoad || !b->isDestroyed();
    }
    if (oid.kind_ >= RnIdWlkServ && oid.kind_ <= RnIdWlkBldr) return walkerAt(oid) != nullptr;
    return false;
}

RnGenericBuilding* RnGame::liveBuilding(const RnObjectID& oid) {
    if (oid.kind_ < RnIdBldRoad || oid.kind_ > RnIdBldBldr) return nullptr;
    RnGenericBuilding* b = buildingAt(oid);
    if (!b || (oid.kind_ != RnIdBldRoad && b->isDestroyed())) return nullptr;
    return b;
}

int16_t RnGame::addExtraBuildingType(RnGenericBuildingType& type) {
    DAX_ASSERT_AT(type.kind() >= RnIdBldRoad && type.kind() <= RnIdBldBldr, kSrc, __LINE__);
    extra_building_types_.push_back(&type);
    return static_cast<int16_t>(kExtraTypeBase + extra_building_types_.size() - 1);
}

void RnGame::releaseWalkers(const RnObjectID& building) {
    // Walkers that search for targets look for another; those that carry
    // goods to it give up.
    auto searching = [&building](auto& table) {
        for (auto& type : table.records()) {
            type.removeWalkersOf(building);
            type.dropTarget(building);
        }
    };
    auto carrying = [&building](auto& table) {
        for (auto& type : table.records()) {
            type.removeWalkersOf(building);
            type.recallWalkersTo(building);
        }
    };
    searching(bldr_walker_types_);
    searching(mrkt_walker_types_);
    searching(serv_walker_types_);
    carrying(prod_walker_types_);
    carrying(stor_walker_types_);
}

int32_t RnGame::selectBuildingsInRect(RnSelection& selection, int x0, int y0, int x1, int y1) {
    selection.clearEntries();
    DAX_ASSERT_AT(selection.isValid(), kSrcGame, __LINE__);
    if (!grn_map.isOnMap(x0, y0) || !grn_map.isOnMap(x1, y1)) return -1;
    int sx = x1 < x0 ? -1 : 1;
    int sy = y1 < y0 ? -1 : 1;
    for (int y = y0;; y += sy) {
        for (int x = x0;; x += sx) {
            const RnMapTile& tile = grn_map.tile(x, y);
            if (tile.oid_.kind_ >= RnIdBldRoad && tile.oid_.kind_ <= RnIdBldBldr) {
                RnGenericBuildingType& type = buildingTypeOfTile(tile);
                RnGenericBuilding* b = type.findInstance(tile.oid_.bld_idx_);
                if (b) selection.add(tile.oid_, type, b->pos_on_map_.x, b->pos_on_map_.y);
            }
            if (x == x1) break;
        }
        if (y == y1) break;
    }
    return selection.totalCost();
}
