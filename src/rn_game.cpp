// The game object: construction, clearing, the new-game reset, registration
// of type records, build orders and demolitions.
#include "rn_game.h"

#include <algorithm>

#include "dax2/dax_bitmap.h"
#include "dax2/dax_error.h"
#include "dax2/dax_msg.h"
#include "rn_bld_bldr.h"
#include "rn_bld_deco.h"
#include "rn_bld_hous.h"
#include "rn_bld_mrkt.h"
#include "rn_bld_prod.h"
#include "rn_bld_road.h"
#include "rn_bld_serv.h"
#include "rn_bld_stor.h"
#include "rn_build_menu.h"
#include "rn_map.h"
#include "rn_trigger.h"
#include "rn_wlk_bldr.h"
#include "rn_wlk_mrkt.h"
#include "rn_wlk_prod.h"
#include "rn_wlk_serv.h"
#include "rn_wlk_stor.h"

RnGame grn_game;

namespace {

const char* const kSrc = "src\\rn_game";

// Adds a record to its table. A known id is a content error; so is a table
// that already holds as many records as a 16-bit type index can name (the
// record is refused before anything is inserted).
template <class T>
int16_t registerRecord(RnTypeTable<T>& table, int32_t id, const T& record, const char* what) {
    int16_t idx = table.add(id, record);
    if (idx == RnTypeTable<T>::kDuplicate) daxRaiseError("%s %d already defined", what, id);
    if (idx == RnTypeTable<T>::kFull)
        daxRaiseError("%s %d can't be added, there can only be %d", what, id, RnTypeTable<T>::kMaxRecords);
    return idx;
}

}  // namespace

RnGame::RnGame() : update_queue_(this) {}

RnGame::~RnGame() = default;

void RnGame::clear() {
    grn_map.clear();
    if (ui_services_) {
        ui_services_->setDefaultCursor();
    }
    dax_bitmaps.clear();
    grn_trigger.reset();
    grn_build_menu.clear();
    resources_.clear();
    terrains_.clear();
    peopl_types_.clear();
    goods_types_.clear();
    bldr_walker_types_.clear();
    mrkt_walker_types_.clear();
    prod_walker_types_.clear();
    serv_walker_types_.clear();
    stor_walker_types_.clear();
    bldr_types_.clear();
    deco_types_.clear();
    hous_types_.clear();
    mrkt_types_.clear();
    prod_types_.clear();
    road_types_.clear();
    serv_types_.clear();
    stor_types_.clear();
    update_queue_.clear();
    extra_building_types_.clear();
    dax_strings.clearImported();
    world_loaded_ = false;
    daxLogMessage(2, 1, "game cleared");
}

void RnGame::resetForNewGame(const char* map_name, const char* game_name) {
    map_name_ = map_name ? map_name : "";
    game_name_ = game_name ? game_name : "";
    saved_value_ = 0;
    dax_gameclock.reset();
    population_ = 0;
    last_milestone_ = 0;
    autosave_week_ = 0;
    autosave_month_ = 0;
    autosave_year_ = 0;
    hours_incr_desirability_ = 1;
    hours_decr_desirability_ = 1;
    map_range_desirability_ = 10;
    money_ = 10000;
}

void RnGame::clearTerrainOnMapMarks() {
    for (RnTerrain& t : terrains_.records()) t.flags_ = static_cast<int16_t>(t.flags_ & ~kRnTerrainOnMap);
}

// LATER: the full model check (the goods-flow errors, the report in the log
// and the neighbourhood tables) comes with its own code and replaces this
// body; until then it derives only what placing, drawing and describing
// buildings need.
void RnGame::validateModel() {
    // Production types that can work on this map: those without a resource,
    // and those whose resource a terrain of the map carries.
    for (RnProdType& pt : prod_types_.records()) {
        bool available = pt.resource_idx_ < 0;
        for (const RnTerrain& t : terrains_.records()) {
            if (pt.resource_idx_ >= 0 && t.isOnMap() && (t.resource_mask_ & (1 << pt.resource_idx_)) != 0) {
                available = true;
            }
        }
        pt.menu_flag_ = available ? 1 : 0;
    }
    auto material = [this](const std::vector<RnMaterialEntry>& list) {
        for (const RnMaterialEntry& m : list) {
            if (m.good_type_idx_ >= 0) goodsType(m.good_type_idx_).used_mat_ = true;
        }
    };
    // The goods a house level needs, also through the production chains
    // that make them.
    for (const RnHousType& ht : hous_types_.records()) {
        std::vector<int16_t> queue;
        auto need = [&](int16_t g) {
            if (g < 0 || goodsType(g).house_level_) return;
            goodsType(g).house_level_ = true;
            queue.push_back(g);
        };
        for (const RnHousLevelDesc& level : ht.level_descs_) {
            need(level.material_.good_type_idx_);
            for (const RnHousServiceNeed& s : level.services_) {
                const RnServType& st = servType(s.service_type_idx_);
                for (const RnMaterialEntry& m : st.build_material_) need(m.good_type_idx_);
                for (const RnGoodsAmount& g : st.needs_) need(g.good_type_idx_);
            }
            for (const RnHousGoodsNeed& g : level.goods_) need(g.good_type_idx_);
        }
        for (size_t i = 0; i < queue.size(); ++i) {
            for (const RnProdType& pt : prod_types_.records()) {
                bool makes = false;
                for (const RnGoodsOutput& o : pt.output_goods_) makes |= o.good_type_idx_ == queue[i] && o.amount_ != 0;
                if (!makes) continue;
                for (const RnMaterialEntry& m : pt.build_material_) need(m.good_type_idx_);
                for (const RnGoodsAmount& g : pt.input_goods_) need(g.good_type_idx_);
            }
        }
        for (const RnHousLevelDesc& level : ht.level_descs_) {
            for (const RnHousGoodsNeed& g : level.goods_) goodsType(g.good_type_idx_).used_hous_ = true;
            if (level.material_.good_type_idx_ >= 0) goodsType(level.material_.good_type_idx_).used_mat_ = true;
        }
    }
    for (RnProdType& pt : prod_types_.records()) {
        pt.used_flag_ = 0;
        if (!pt.menu_flag_ || pt.deprecated_) continue;
        for (const RnGoodsAmount& g : pt.input_goods_) goodsType(g.good_type_idx_).used_p_in_ = true;
        for (const RnGoodsOutput& o : pt.output_goods_) {
            RnGoodsType& gt = goodsType(o.good_type_idx_);
            (pt.input_goods_.empty() ? gt.used_harv_ : gt.used_prod_) = true;
            if (gt.house_level_) pt.used_flag_ = 1;
        }
        material(pt.build_material_);
    }
    for (const RnDecoType& dt : deco_types_.records()) {
        if (dt.deprecated_) continue;
        for (const RnGoodsAmount& g : dt.goods_) {
            goodsType(g.good_type_idx_).used_deco_ = true;
            goodsType(g.good_type_idx_).house_level_ = true;
        }
        material(dt.build_material_);
    }
    for (const RnServType& st : serv_types_.records()) {
        if (st.deprecated_) continue;
        for (const RnGoodsAmount& g : st.needs_) goodsType(g.good_type_idx_).used_serv_ = true;
        material(st.build_material_);
    }
    for (const RnMrktType& mt : mrkt_types_.records()) {
        if (!mt.deprecated_) material(mt.build_material_);
    }
    for (const RnStorType& st : stor_types_.records()) {
        if (!st.deprecated_) material(st.build_material_);
    }
    for (const RnBldrType& bt : bldr_types_.records()) {
        if (bt.deprecated_) continue;
        for (int16_t g : bt.goods_allowed_) goodsType(g).used_bldr_ = true;
    }
    // What markets sell and storages keep.
    for (RnMrktType& mt : mrkt_types_.records()) {
        mt.distribute_goods_.clear();
        for (size_t g = 0; g < goods_types_.size(); ++g) {
            const RnGoodsType& gt = goods_types_[g];
            if (gt.used_hous_ && mt.goods_class_.count(gt.class_) != 0) mt.distribute_goods_.insert(static_cast<int16_t>(g));
        }
        if (mt.distribute_goods_.empty()) {
            daxRaiseError("market type %d '%s' has no goods to distribute", mt.type_id_, mt.name_.c_str());
        }
    }
    for (size_t s = 0; s < stor_types_.size(); ++s) {
        RnStorType& st = stor_types_[s];
        st.distribute_goods_.clear();
        for (size_t g = 0; g < goods_types_.size(); ++g) {
            RnGoodsType& gt = goods_types_[g];
            if (!gt.isUsed() || !st.acceptsGoodsClass(gt.class_)) continue;
            st.distribute_goods_.insert(static_cast<int16_t>(g));
            if (gt.stor_type_idx_ == -1) {
                gt.stor_type_idx_ = static_cast<int16_t>(s);
            } else if (gt.stor_type_idx_ != static_cast<int16_t>(s)) {
                daxRaiseError("goods type %d in more than one type of storage %d and %d", gt.id_, gt.stor_type_idx_,
                              static_cast<int>(s));
            }
        }
        if (st.distribute_goods_.empty()) {
            daxRaiseError("storage type %d '%s' has no goods to distribute", st.type_id_, st.name_.c_str());
        }
    }
}

int32_t RnGame::addPhantom(RnPhantomList& list, int x, int y, int x2, int y2) {
    list.clearEntries();
    if (!grn_map.isOnMap(x, y) || !grn_map.isOnMap(x2, y2)) return -1;
    RnGenericBuildingType* type = findBuildingType(list.kind(), list.typeId());
    if (!type) return -1;
    return type->addPhantom(list, x, y, x2, y2);
}

RnPhantomList& RnGame::placeBuildings(RnPhantomList& list, int x, int y) {
    RnGenericBuildingType* type = findBuildingType(list.kind(), list.typeId());
    int32_t not_built = 0;
    if (type) {
        for (const RnPhantomList::Entry& e : list.entries()) {
            // The preview dates from the last mouse move: a walker may have
            // stepped onto the footprint since. Placing over it would be a
            // fatal check, so that entry is left out and not paid for.
            if (!grn_map.isAreaFree(e.x_, e.y_, type->width_, type->height_)) {
                not_built += type->cost_;
                daxLogMessage(2, 1, "b: %d,%d is taken, nothing built", e.x_, e.y_);
                continue;
            }
            RnObjectID oid = type->createBuilding(e.x_, e.y_);
            DaxGameTime now = dax_gameclock.gameTime();
            daxLogMessage(2, 1, "b: [%hd:%hd,%d] at x=%d,y=%d time=%d", oid.kind_, oid.type_idx_, oid.bld_idx_, x,
                          y, static_cast<int>(now.value()));
            RnGenericObject* pobj = objectByOid(oid);
            DAX_ASSERT_AT(pobj, kSrc, __LINE__);
            DAX_ASSERT_AT(pobj->oid_ == oid, kSrc, __LINE__);
            DAX_ASSERT_AT(pobj->is_active_, kSrc, __LINE__);
            update_queue_.schedule(now, oid);
        }
    }
    money_ -= list.totalCost() - not_built;
    return list;
}

void RnGame::demolishSelection(RnSelection& selection) {
    // Only what is actually removed is paid for: an entry whose building is
    // gone since it was selected is skipped, and the entries after it are
    // still demolished. A freed slot may already hold a new building under
    // the same id, so the anchor must match too.
    int32_t cost = 0;
    for (const RnSelection::Entry& e : selection.entries()) {
        if (!grn_map.isOnMap(e.x_, e.y_)) continue;
        // A copy: removing the building resets the tile under us.
        RnMapTile tile = grn_map.tile(e.x_, e.y_);
        if (!tile.oid_.isRoadOrBuilding() || tile.oid_ != e.oid_) continue;
        RnGenericBuilding* b = buildingAt(tile.oid_);
        if (!b || b->pos_on_map_ != DaxMapPositionI(e.x_, e.y_)) continue;
        RnGenericBuildingType& type = buildingTypeOfTile(tile);
        DaxGameTime now = dax_gameclock.gameTime();
        daxLogMessage(2, 1, "d: [%hd:%hd,%d] at x=%d,y=%d time=%d", tile.oid_.kind_, tile.oid_.type_idx_,
                      tile.oid_.bld_idx_, e.x_, e.y_, static_cast<int>(now.value()));
        type.removeBuilding(tile, e.x_, e.y_);
        update_queue_.remove(tile.oid_);
        cost += type.demolition_cost_;
    }
    money_ -= cost;
}

int16_t RnGame::addResource(const RnResource& rec) { return registerRecord(resources_, rec.id_, rec, "resource"); }
int16_t RnGame::addTerrain(const RnTerrain& rec) { return registerRecord(terrains_, rec.id_, rec, "terrain"); }
int16_t RnGame::addPeoplType(const RnPeoplType& rec) {
    int16_t idx = registerRecord(peopl_types_, rec.id_, rec, "people type");
    // The network learns which people type it serves with the record's
    // registration, whoever registers it.
    peopl_types_[static_cast<size_t>(idx)].workforce_.setPeopleTypeIdx(idx);
    return idx;
}
int16_t RnGame::addGoodsType(const RnGoodsType& rec) {
    return registerRecord(goods_types_, rec.id_, rec, "goods type");
}
int16_t RnGame::addBldrWalkerType(const RnWalkerBldrType& rec) {
    return registerRecord(bldr_walker_types_, rec.typeId(), rec, "bldr walker type");
}
int16_t RnGame::addMrktWalkerType(const RnWalkerMrktType& rec) {
    return registerRecord(mrkt_walker_types_, rec.typeId(), rec, "mrkt walker type");
}
int16_t RnGame::addProdWalkerType(const RnWalkerProdType& rec) {
    return registerRecord(prod_walker_types_, rec.typeId(), rec, "prod walker type");
}
int16_t RnGame::addServWalkerType(const RnWalkerServType& rec) {
    return registerRecord(serv_walker_types_, rec.typeId(), rec, "serv walker type");
}
int16_t RnGame::addStorWalkerType(const RnWalkerStorType& rec) {
    return registerRecord(stor_walker_types_, rec.typeId(), rec, "stor walker type");
}
int16_t RnGame::addRoadType(const RnRoadType& rec) {
    return registerRecord(road_types_, rec.typeId(), rec, "road type");
}
int16_t RnGame::addHousType(const RnHousType& rec) {
    return registerRecord(hous_types_, rec.typeId(), rec, "house type");
}
int16_t RnGame::addServType(const RnServType& rec) {
    return registerRecord(serv_types_, rec.typeId(), rec, "service type");
}
int16_t RnGame::addStorType(const RnStorType& rec) {
    return registerRecord(stor_types_, rec.typeId(), rec, "storage type");
}
int16_t RnGame::addProdType(const RnProdType& rec) {
    return registerRecord(prod_types_, rec.typeId(), rec, "production type");
}
int16_t RnGame::addMrktType(const RnMrktType& rec) {
    return registerRecord(mrkt_types_, rec.typeId(), rec, "market type");
}
int16_t RnGame::addDecoType(const RnDecoType& rec) {
    return registerRecord(deco_types_, rec.typeId(), rec, "deko type");
}
int16_t RnGame::addBldrType(const RnBldrType& rec) {
    return registerRecord(bldr_types_, rec.typeId(), rec, "bldr type");
}

void RnGame::checkGoodsTypeFree(int32_t id) const {
    const size_t n = goods_types_.size();
    if (prod_walker_types_.size() != n || stor_walker_types_.size() != n) {
        daxRaiseError("walker id (%d) must be identical to goods id (%d)",
                      static_cast<int>(std::max(prod_walker_types_.size(), stor_walker_types_.size())),
                      static_cast<int>(n));
    }
    if (goods_types_.find(id) >= 0) daxRaiseError("goods type %d already defined", id);
    if (prod_walker_types_.find(id) >= 0) daxRaiseError("prod walker type %d already defined", id);
    if (stor_walker_types_.find(id) >= 0) daxRaiseError("stor walker type %d already defined", id);
    if (n >= static_cast<size_t>(RnTypeTable<RnGoodsType>::kMaxRecords)) {
        daxRaiseError("goods type %d can't be added, there can only be %d", id, RnTypeTable<RnGoodsType>::kMaxRecords);
    }
}

int16_t RnGame::addGoodsTypeWithWalkers(const RnGoodsType& goods, const RnWalkerProdType& prod,
                                        const RnWalkerStorType& stor) {
    if (prod.typeId() != goods.id_ || stor.typeId() != goods.id_) {
        daxRaiseError("walker types %d and %d must have the id of goods type %d", prod.typeId(), stor.typeId(),
                      goods.id_);
    }
    checkGoodsTypeFree(goods.id_);
    const int16_t idx = addGoodsType(goods);
    addProdWalkerType(prod);
    addStorWalkerType(stor);
    return idx;
}
