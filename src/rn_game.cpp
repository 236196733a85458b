// The game object: construction, clearing, the new-game reset, the model
// check after loading, registration of type records, build orders and
// demolitions.
#include "rn_game.h"

#include <algorithm>
#include <climits>
#include <cmath>

#include "dax2/dax_bitmap.h"
#include "dax2/dax_error.h"
#include "dax2/dax_msg.h"
#include "dax2/dax_neighbourhood.h"
#include "rn.h"
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

// The money after a change: held to what an int32 can count rather than
// wrapped (a town's coffers, or a save edited, can be near either end).
int32_t boundedMoney(double money) {
    return static_cast<int32_t>(std::min(std::max(money, static_cast<double>(INT32_MIN)),
                                         static_cast<double>(INT32_MAX)));
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
    // Advice is given once per game: a new game starts without any.
    advice_given_.clear();
    advice_day_ = -1;
    hours_incr_desirability_ = 1;
    hours_decr_desirability_ = 1;
    map_range_desirability_ = 10;
    money_ = 10000;
    tax_carry_ = 0.0;
}

void RnGame::bookTaxes(double amount) {
    const double due = tax_carry_ + amount;
    const double whole = std::floor(due);
    money_ = boundedMoney(money_ + whole);
    tax_carry_ = due - whole;
}

void RnGame::clearTerrainOnMapMarks() {
    for (RnTerrain& t : terrains_.records()) t.flags_ = static_cast<int16_t>(t.flags_ & ~kRnTerrainOnMap);
}

namespace {

// What the model report says of a goods type besides its flags: the weekly
// output of the production types that make it, and the workers of people
// types 0 and 1 those need (alone, and with the makers of their inputs).
struct GoodsReport {
    double lots_per_week = 0.0;
    double units_per_week = 0.0;
    int workers[2] = {0, 0};
    int chain_workers[2] = {0, 0};
};

// Sets a usage flag; true when it was not set before (the first use is
// logged).
bool mark(bool& flag) {
    bool first = !flag;
    flag = true;
    return first;
}

const char* word(bool on, const char* text, const char* blank) { return on ? text : blank; }

// Largest radius a shared neighbourhood table is built for: far beyond any
// reach the content may give, and small enough to be built at once.
constexpr int kMaxNeighbourhoodRadius = 1024;

// Builds a shared table for radius r unless it already reaches r.
void sizeNeighbourhood(DaxNeighbourhood& nb, int r, const char* metric) {
    if (nb.radiusCount() < r) nb.clear();
    if (nb.radiusCount() != 0) return;
    nb.build(static_cast<uint16_t>(r));
    daxLogMessage(2, 1, "set global neighbourhood (%s) radius to %u", metric, static_cast<unsigned>(nb.radiusCount()));
}

}  // namespace

void RnGame::validateModel() {
    // Production types that can work on this map: those without a resource,
    // and those whose resource a terrain of the map carries.
    for (RnProdType& pt : prod_types_.records()) {
        const uint16_t mask = pt.resourceMask();
        if (mask == 0) pt.menu_flag_ = 1;
        for (const RnTerrain& t : terrains_.records()) {
            if (mask != 0 && t.isOnMap() && (t.resource_mask_ & mask) != 0) pt.menu_flag_ = 1;
        }
    }
    // (The loading screen prepares the main map view once this returns.)

    std::vector<GoodsReport> report(goods_types_.size());

    // The goods each house level needs, with everything that goes into
    // making them: the services' material and goods, and for every goods
    // the material and inputs of its makers. Each level's line lists what
    // it adds to the levels below it.
    for (const RnHousType& ht : hous_types_.records()) {
        daxLogMessage(2, 1, "house type %s", ht.name_.c_str());
        std::set<int16_t> collected;
        for (size_t li = 0; li < ht.level_descs_.size(); ++li) {
            const RnHousLevelDesc& level = ht.level_descs_[li];
            std::string line;
            rnAppendf(line, "level %2d:", static_cast<int>(li));
            rnAppendf(line, " %2d %2d", level.people_max_, level.people_max_ * ht.percent_workers_ / 100);
            std::vector<int16_t> queue;
            auto need = [&](int16_t g) {
                if (g < 0 || collected.count(g) != 0) return;
                for (int16_t q : queue) {
                    if (q == g) return;
                }
                goodsType(g);  // an index out of the table is a fatal check
                queue.push_back(g);
            };
            need(level.material_.good_type_idx_);
            for (const RnHousServiceNeed& sn : level.services_) {
                const RnServType& st = servType(sn.service_type_idx_);
                rnAppendf(line, " s(%d)%s", st.type_id_, st.name_.c_str());
                for (const RnMaterialEntry& m : st.build_material_) need(m.good_type_idx_);
                for (const RnGoodsAmount& g : st.needs_) need(g.good_type_idx_);
            }
            for (const RnHousGoodsNeed& g : level.goods_) need(g.good_type_idx_);
            for (size_t i = 0; i < queue.size(); ++i) {
                const int16_t g = queue[i];
                for (const RnProdType& pt : prod_types_.records()) {
                    bool makes = false;
                    for (const RnGoodsOutput& o : pt.output_goods_) makes |= o.good_type_idx_ == g && o.amount_ != 0;
                    if (!makes) continue;
                    for (const RnMaterialEntry& m : pt.build_material_) need(m.good_type_idx_);
                    for (const RnGoodsAmount& in : pt.input_goods_) need(in.good_type_idx_);
                }
                const RnGoodsType& gt = goodsType(g);
                rnAppendf(line, " g(%d)%s", gt.id_, gt.name_.c_str());
            }
            daxLogMessage(2, 1, "%s", line.c_str());
            for (int16_t g : queue) {
                goodsType(g).house_level_ = true;
                collected.insert(g);
            }
        }
    }

    int consumed_by_houses = 0;
    int material_uses = 0;
    // Building material of a type that takes part: sets mat.
    auto material = [&](const std::vector<RnMaterialEntry>& list, const char* who) {
        for (const RnMaterialEntry& m : list) {
            RnGoodsType& gt = goodsType(m.good_type_idx_);
            if (mark(gt.used_mat_)) {
                daxLogMessage(3, 1, "goods type %d (%s) is needed as material by %s", gt.id_, gt.name_.c_str(), who);
            }
            ++material_uses;
        }
    };

    // Production: what is made, harvested and used as input. A goods type
    // must come after the goods it is made from: the chains run in index
    // order.
    for (RnProdType& pt : prod_types_.records()) {
        if (!pt.menu_flag_) {
            daxLogMessage(3, 1, "prod type %d (%s) is not available on map", pt.type_id_, pt.name_.c_str());
            continue;
        }
        if (pt.deprecated_) {
            daxLogMessage(3, 1, "prod type %d (%s) is deprecated", pt.type_id_, pt.name_.c_str());
            continue;
        }
        daxLogMessage(3, 1, "prod type %d (%s):", pt.type_id_, pt.name_.c_str());
        // The data-model loader refuses anything else.
        DAX_ASSERT_AT(pt.output_goods_.size() == 1 || pt.input_goods_.size() == 0, kSrc, __LINE__);
        int16_t max_input_idx = -1;
        int input_workers[2] = {0, 0};
        for (const RnGoodsAmount& in : pt.input_goods_) {
            RnGoodsType& gt = goodsType(in.good_type_idx_);
            max_input_idx = std::max(max_input_idx, in.good_type_idx_);
            for (int p = 0; p < 2; ++p) input_workers[p] += report[in.good_type_idx_].chain_workers[p];
            if (mark(gt.used_p_in_)) {
                daxLogMessage(3, 1, "goods type %d (%s) is consumed by prod", gt.id_, gt.name_.c_str());
            }
        }
        std::string worker_text;
        int workers[2] = {0, 0};
        for (const RnWorkerReq& w : pt.worker_reqs_) {
            rnAppendf(worker_text, " %d", w.num_req_);
            if (w.ppl_type_idx_ == 0 || w.ppl_type_idx_ == 1) workers[w.ppl_type_idx_] += w.num_req_;
        }
        for (const RnGoodsOutput& out : pt.output_goods_) {
            RnGoodsType& gt = goodsType(out.good_type_idx_);
            if (max_input_idx >= out.good_type_idx_) {
                const RnGoodsType& input = goodsType(max_input_idx);
                daxRaiseError("goods type %d (%s) must be defined after the goods it is made from: production "
                              "type %d (%s) makes it from goods type %d (%s)",
                              gt.id_, gt.name_.c_str(), pt.type_id_, pt.name_.c_str(), input.id_, input.name_.c_str());
            }
            const bool harvested = pt.input_goods_.empty();
            if (mark(harvested ? gt.used_harv_ : gt.used_prod_)) {
                daxLogMessage(3, 1, "goods type %d (%s) is %s by prod", gt.id_, gt.name_.c_str(),
                              harvested ? "harvested" : "produced");
            }
            if (gt.house_level_) pt.used_flag_ = 1;
            const double lots = out.time_ > 0 ? out.amount_ * 168.0 / out.time_ : 0.0;
            daxLogMessage(2, 1, "prod %d per week %d lot=%3d /week=%6.2lf -%s %s %s", pt.type_id_, gt.id_,
                          gt.lot_size_, lots, worker_text.c_str(), pt.name_.c_str(), gt.name_.c_str());
            GoodsReport& r = report[out.good_type_idx_];
            r.lots_per_week += lots;
            r.units_per_week += lots * gt.lot_size_;
            for (int p = 0; p < 2; ++p) {
                r.workers[p] += workers[p];
                r.chain_workers[p] += workers[p] + input_workers[p];
            }
        }
        material(pt.build_material_, "build(prod)");
    }

    // Houses take part whatever their state.
    for (const RnHousType& ht : hous_types_.records()) {
        daxLogMessage(3, 1, "house type %d:", ht.type_id_);
        for (const RnHousLevelDesc& level : ht.level_descs_) {
            for (const RnHousGoodsNeed& g : level.goods_) {
                RnGoodsType& gt = goodsType(g.good_type_idx_);
                if (mark(gt.used_hous_)) {
                    daxLogMessage(3, 1, "goods type %d (%s) is consumed by house", gt.id_, gt.name_.c_str());
                }
                ++consumed_by_houses;
            }
            if (level.material_.good_type_idx_ >= 0) {
                material(std::vector<RnMaterialEntry>{level.material_}, "house");
            }
        }
    }
    // The other kinds, unless deprecated.
    auto takesPart = [](const RnGenericBuildingType& t, const char* kind) {
        if (t.deprecated_) {
            daxLogMessage(3, 1, "%s type %d (%s) is deprecated", kind, t.type_id_, t.name_.c_str());
            return false;
        }
        daxLogMessage(3, 1, "%s type %d:", kind, t.type_id_);
        return true;
    };
    for (const RnDecoType& dt : deco_types_.records()) {
        if (!takesPart(dt, "deco")) continue;
        for (const RnGoodsAmount& g : dt.goods_) {
            RnGoodsType& gt = goodsType(g.good_type_idx_);
            gt.house_level_ = true;
            if (mark(gt.used_deco_)) {
                daxLogMessage(3, 1, "goods type %d (%s) is consumed by deco", gt.id_, gt.name_.c_str());
            }
        }
        material(dt.build_material_, "build(deco)");
    }
    for (const RnMrktType& mt : mrkt_types_.records()) {
        if (takesPart(mt, "mrkt")) material(mt.build_material_, "build(mrkt)");
    }
    for (const RnServType& st : serv_types_.records()) {
        if (!takesPart(st, "serv")) continue;
        for (const RnGoodsAmount& g : st.needs_) {
            RnGoodsType& gt = goodsType(g.good_type_idx_);
            if (mark(gt.used_serv_)) {
                daxLogMessage(3, 1, "goods type %d (%s) is consumed by serv", gt.id_, gt.name_.c_str());
            }
        }
        material(st.build_material_, "build(serv)");
    }
    for (const RnStorType& st : stor_types_.records()) {
        if (takesPart(st, "stor")) material(st.build_material_, "build(stor)");
    }
    for (const RnBldrType& bt : bldr_types_.records()) {
        if (!takesPart(bt, "bldr")) continue;
        for (int16_t g : bt.goods_allowed_) {
            RnGoodsType& gt = goodsType(g);
            if (mark(gt.used_bldr_)) {
                daxLogMessage(3, 1, "goods type %d (%s) is material distributed by builder", gt.id_,
                              gt.name_.c_str());
            }
            if (!gt.used_mat_) {
                daxLogMessage(1, 1, "goods type %d (%s) is distributed, but not needed", gt.id_, gt.name_.c_str());
            }
        }
    }

    // Markets and builders exist exactly when something needs them.
    if (consumed_by_houses > 0 && mrkt_types_.empty()) {
        daxRaiseError("goods are consumed by houses, but there are no markets");
    }
    if (consumed_by_houses == 0 && !mrkt_types_.empty()) {
        daxRaiseError("no goods are consumed by any house, markets not usable");
    }
    if (material_uses > 0 && bldr_types_.empty()) {
        daxRaiseError("material is needed by buildings, but there are no builders");
    }
    if (material_uses == 0 && !bldr_types_.empty()) {
        daxRaiseError("no material is needed by any building, builders not usable");
    }

    // The goods flow: what is used must be made, what is made should be
    // used, and material needs a builder.
    int undistributed = 0;
    for (const RnGoodsType& gt : goods_types_.records()) {
        if (gt.used_mat_ && !gt.used_bldr_) {
            daxLogMessage(1, 1, "goods type %d %s needed as material, but not distributed", gt.id_, gt.name_.c_str());
            ++undistributed;
        }
        const bool used = gt.used_hous_ || gt.used_p_in_ || gt.used_serv_ || gt.used_deco_ || gt.used_mat_;
        const bool made = gt.used_prod_ || gt.used_harv_;
        if (used && !made) daxLogMessage(1, 1, "goods type %d %s consumed, but not produced", gt.id_, gt.name_.c_str());
        if (made && !used) {
            daxLogMessage(1, 2, "goods type %d %s produced but not used anywhere", gt.id_, gt.name_.c_str());
        }
    }
    if (undistributed > 0) daxRaiseError("all needed material must be distributed by some builder");

    // What markets sell: the house goods of their classes.
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
    // What storages keep: the goods in use of their classes, each goods type
    // in one storage type only.
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

    for (size_t g = 0; g < goods_types_.size(); ++g) {
        const RnGoodsType& gt = goods_types_[g];
        const GoodsReport& r = report[g];
        daxLogMessage(2, 1,
                      "goods type %d %s %s %s %s %s %s %s %s stor=%2d lot=%3d /week=%6.2lf %6.2lf  %2d %2d  %2d %2d  %s",
                      gt.id_, word(gt.house_level_, "A", " "), word(gt.used_hous_, "hous", "    "),
                      word(gt.used_deco_, "deco", "    "), word(gt.used_serv_, "serv", "    "),
                      word(gt.used_p_in_, "p-in", "    "),
                      gt.used_prod_ ? "prod" : gt.used_harv_ ? "harv" : "    ", word(gt.used_mat_, "mat", "   "),
                      word(gt.used_bldr_, "bldr", "    "), gt.stor_type_idx_, gt.lot_size_, r.lots_per_week,
                      r.units_per_week, r.workers[0], r.workers[1], r.chain_workers[0], r.chain_workers[1],
                      gt.name_.c_str());
    }

    // The shared neighbourhood tables: the Manhattan one for the reaches of
    // walkers and storages (and a margin for footprints), the Euclidean one
    // for the resource radius of production types, which may be as large as
    // prod_max_radius itself and so needs one more distance group.
    const int manh = std::max({grn_config.walker_target_radius_, static_cast<int32_t>(prod_walker_range_),
                               static_cast<int32_t>(storage_walker_range_)}) + 8;
    const int eucl = grn_config.prod_max_radius_ + 1;
    if (manh > kMaxNeighbourhoodRadius) {
        daxRaiseError("the walkers' reach of %d tiles is beyond %d ([astar] walker_target_radius, "
                      "prod_walker_range, storage_walker_range)", manh - 8, kMaxNeighbourhoodRadius - 8);
    }
    if (eucl < 1 || eucl > kMaxNeighbourhoodRadius) {
        daxRaiseError("[resource] prod_max_radius=%d: expected 0 to %d", grn_config.prod_max_radius_,
                      kMaxNeighbourhoodRadius - 1);
    }
    sizeNeighbourhood(dax_neighbourhood_manh, manh, "manh");
    sizeNeighbourhood(dax_neighbourhood_eucl, eucl, "eucl");
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
    money_ = boundedMoney(static_cast<double>(money_) - (list.totalCost() - not_built));
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
    money_ = boundedMoney(static_cast<double>(money_) - cost);
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
