// Status, tile, tooltip and dialog texts of the running world.
#include "rn_game_infostr.h"

#include "dax2/dax_bitmap.h"
#include "dax2/dax_clock.h"
#include "dax2/dax_error.h"
#include "dax2/dax_ini.h"
#include "rn_bld_bldr.h"
#include "rn_bld_deco.h"
#include "rn_bld_hous.h"
#include "rn_bld_mrkt.h"
#include "rn_bld_prod.h"
#include "rn_bld_road.h"
#include "rn_bld_serv.h"
#include "rn_bld_stor.h"
#include "rn_bld_texts.h"
#include "rn_game.h"
#include "rn_map.h"
#include "rn_wlk_bldr.h"
#include "rn_wlk_mrkt.h"
#include "rn_wlk_serv.h"

namespace {

const char* const kSrc = "src\\rn_game_infostr";

// The buffer of the status and population lines.
std::string g_line;

int len(const std::string& buf) { return static_cast<int>(buf.size()); }

bool isGoods(int16_t g) { return g >= 0 && static_cast<size_t>(g) < grn_game.goodsTypes().size(); }
const char* goodsName(int16_t g) { return rnGoodsName(g); }
int lotSize(int16_t g) { return isGoods(g) ? grn_game.goodsType(g).lot_size_ : 1; }
const char* peopleName(int16_t p) {
    return p >= 0 && static_cast<size_t>(p) < grn_game.peoplTypes().size() ? grn_game.peoplType(p).name_.c_str()
                                                                            : "??";
}

// What the workforce network of a people type reports: people assigned to
// workplaces, jobs offered and workers offered.
void workforceCounts(const RnPeoplType& ppl, int& assigned, int& jobs, int& workers) {
    assigned = ppl.workforce_.totalAssignments();
    jobs = ppl.workforce_.totalJobs();
    workers = ppl.workforce_.totalWorkers();
}

void appendWorkforce(std::string& buf, int assigned, int jobs, int workers) {
    if (assigned > 0) rnAppendMsg(buf, 2832, "d", assigned);
    if (assigned < jobs) rnAppendMsg(buf, 2833, "d", jobs - assigned);
    if (assigned < workers) rnAppendMsg(buf, 2834, "d", workers - assigned);
}

// The count line of a type: how many of it are built.
void appendCountLine(std::string& buf, const RnGenericBuildingType& type) {
    rnAppendMsg(buf, 2152, "ds", type.instanceCount(), type.name_.c_str());
}

// The material amount a simple building type lists for a goods type, 0
// when it lists none.
int materialNeed(const RnSimpleBuildingType& type, int16_t goods) {
    for (const RnMaterialEntry& m : type.build_material_) {
        if (m.good_type_idx_ == goods) return m.amount_;
    }
    return 0;
}

// Rule 6 of the balance: what a simple building still needs of its
// building material m.
void materialBalance(const RnSimpleBuilding& b, int16_t goods, int m, DaxGameTime now, int& need) {
    auto it = b.material_in_store_.find(goods);
    if (it == b.material_in_store_.end()) return;
    DAX_ASSERT_AT(m >= it->second.amount_, kSrc, __LINE__);
    need += m - static_cast<int>(it->second.amountAt(now) + 0.9f);
}

// The text id attached to a bitmap, -1 for none or no bitmap.
int imageTextId(int32_t id) {
    if (id < 0 || static_cast<size_t>(id / 2) >= dax_bitmaps.size()) return -1;
    return dax_bitmaps.textId(id);
}

void appendImageName(std::string& buf, const char* fmt, int32_t id) {
    if (id < 0 || static_cast<size_t>(id / 2) >= dax_bitmaps.size()) return;
    const DaxBitmapKey& key = dax_bitmaps.name(id);
    rnAppendf(buf, fmt, id, key.name_.c_str(), key.variant_);
}

// --- build-menu tooltips -----------------------------------------------------

void appendWorkerReqs(std::string& buf, const std::vector<RnWorkerReq>& reqs) {
    if (reqs.empty()) return;
    buf += '\n';
    rnAppendMsg(buf, 2186, "");
    if (reqs.size() == 1) {
        rnAppendf(buf, " %d %s", reqs[0].num_req_, peopleName(reqs[0].ppl_type_idx_));
        return;
    }
    for (const RnWorkerReq& r : reqs) rnAppendf(buf, "\n- %d %s", r.num_req_, peopleName(r.ppl_type_idx_));
}

void appendSingleWorkerReq(std::string& buf, int16_t ppl, int num) {
    buf += '\n';
    rnAppendMsg(buf, 2186, "");
    rnAppendf(buf, " %d %s", num, peopleName(ppl));
}

void appendInputs(std::string& buf, const std::vector<RnGoodsAmount>& inputs) {
    if (inputs.empty()) return;
    buf += '\n';
    rnAppendMsg(buf, 2178, "");
    for (const RnGoodsAmount& g : inputs) rnAppendf(buf, "\n- %s", goodsName(g.good_type_idx_));
}

void appendUsedGoods(std::string& buf, const std::set<int16_t>& goods) {
    for (int16_t g : goods) {
        if (isGoods(g) && grn_game.goodsType(g).isUsed()) rnAppendf(buf, "\n- %s", goodsName(g));
    }
}

void appendWalkerReach(std::string& buf, int distance, int without_houses) {
    buf += '\n';
    rnAppendMsg(buf, 2190, "d", distance);
    if (without_houses != 0) {
        buf += '\n';
        rnAppendMsg(buf, 2191, "d", without_houses);
    }
}

// The shared head of the tooltips of the simple kinds: name, the cost (or
// why the type is not offered), the desirability effect. Returns false when
// the text ends there.
bool simpleHead(std::string& buf, const RnSimpleBuildingType& type, bool unused_prod) {
    buf += type.name_;
    if (type.deprecated_) {
        buf += '\n';
        buf += rnMsg(2100);
        if (type.instanceCount() == 0) return false;
    } else if (unused_prod) {
        buf += '\n';
        buf += rnMsg(2129);
        if (type.instanceCount() == 0) return false;
    } else {
        rnAppendf(buf, "\n%s %d", rnMsg(2102).c_str(), type.cost_);
    }
    if (type.kind() != RnIdBldDeco) {
        if (type.own_attr_ > 0) rnAppendf(buf, "\n%s (%d)", rnMsg(2162).c_str(), type.own_attr_);
        if (type.own_attr_ < 0) rnAppendf(buf, "\n%s (%d)", rnMsg(2163).c_str(), type.own_attr_);
    }
    return true;
}

void roadTooltip(std::string& buf, const RnRoadType& type) {
    rnAppendf(buf, "%s\n%s %d\n", type.name_.c_str(), rnMsg(2102).c_str(), type.cost_);
    rnAppendMsg(buf, 2170, "");
    buf += '\n';
    appendCountLine(buf, type);
}

void houseTooltip(std::string& buf, const RnHousType& type) {
    rnAppendf(buf, "%s\n%s %d\n", type.name_.c_str(), rnMsg(2102).c_str(), type.cost_);
    rnAppendMsg(buf, 2171, "s", peopleName(type.ppl_type_idx_));
    buf += '\n';
    if (type.ppl_type_idx_ >= 0 && static_cast<size_t>(type.ppl_type_idx_) < grn_game.peoplTypes().size()) {
        rnPeopleWorkforceSummary(grn_game.peoplType(type.ppl_type_idx_), buf);
    }
    buf += '\n';
    appendCountLine(buf, type);
}

void servTooltip(std::string& buf, const RnServType& type) {
    if (!simpleHead(buf, type, false)) return;
    const bool walker = type.walker_type_idx_ >= 0 &&
                        static_cast<size_t>(type.walker_type_idx_) < grn_game.servWalkerTypes().size();
    buf += '\n';
    rnAppendMsg(buf, 2172, "s", walker ? grn_game.servWalkerType(type.walker_type_idx_).name_.c_str() : "??");
    appendWorkerReqs(buf, type.worker_reqs_);
    appendInputs(buf, type.needs_);
    if (walker) {
        const RnWalkerServType& wt = grn_game.servWalkerType(type.walker_type_idx_);
        appendWalkerReach(buf, wt.distance_to_return_, wt.tiles_without_houses_);
    }
    buf += '\n';
    rnServiceBlock(buf, type);
}

void prodTooltip(std::string& buf, const RnProdType& type) {
    const bool unused = grn_game.disable_unused_prod_ && type.used_flag_ == 0;
    if (!simpleHead(buf, type, unused)) return;
    appendWorkerReqs(buf, type.worker_reqs_);
    if (!type.output_goods_.empty()) {
        buf += '\n';
        rnAppendMsg(buf, 2179, "");
        bool first = true;
        for (const RnGoodsOutput& o : type.output_goods_) {
            rnAppendf(buf, "%s %s", first ? "" : ",", goodsName(o.good_type_idx_));
            first = false;
        }
        buf += '.';
    }
    if (type.resource_idx_ >= 0 && static_cast<size_t>(type.resource_idx_) < grn_game.resources().size()) {
        buf += '\n';
        rnAppendMsg(buf, 2180, "s", grn_game.resource(type.resource_idx_).name_.c_str());
        switch (type.resource_bld_type_) {
        case kRnResUnderBld:
            rnAppendMsg(buf, 2181, "");
            break;
        case kRnResNextToBld:
            rnAppendMsg(buf, 2182, "");
            break;
        case kRnResAroundBld:
            rnAppendMsg(buf, 2183, "");
            break;
        default:
            rnAppendf(buf, "Error: %s %d ", kSrc, __LINE__);
            break;
        }
        bool first = true;
        for (const RnTerrain& t : grn_game.terrains()) {
            if ((t.resource_mask_ & (1 << type.resource_idx_)) == 0) continue;
            if (!first) rnAppendMsg(buf, 2184, "");
            rnAppendf(buf, " %s ", t.name_.c_str());
            first = false;
        }
        rnAppendMsg(buf, 2185, "");
    }
    appendInputs(buf, type.input_goods_);
    buf += '\n';
    appendCountLine(buf, type);
    for (const RnGoodsOutput& o : type.output_goods_) {
        buf += '\n';
        rnGoodsLine(buf, o.good_type_idx_, RnObjectID(), true, false);
    }
    for (const RnGoodsAmount& g : type.input_goods_) {
        buf += '\n';
        rnGoodsLine(buf, g.good_type_idx_, RnObjectID(), false, false);
    }
}

void bldrTooltip(std::string& buf, const RnBldrType& type) {
    if (!simpleHead(buf, type, false)) return;
    appendWorkerReqs(buf, type.worker_reqs_);
    const bool walker = type.walker_type_idx_ >= 0 &&
                        static_cast<size_t>(type.walker_type_idx_) < grn_game.bldrWalkerTypes().size();
    buf += '\n';
    rnAppendMsg(buf, 2173, "s", walker ? grn_game.bldrWalkerType(type.walker_type_idx_).name_.c_str() : "??");
    appendUsedGoods(buf, type.goods_allowed_);
    if (walker) appendWalkerReach(buf, grn_game.bldrWalkerType(type.walker_type_idx_).distance_to_return_, 0);
    buf += '\n';
    appendCountLine(buf, type);
    for (int16_t g : type.goods_allowed_) {
        buf += '\n';
        rnGoodsLine(buf, g, RnObjectID(), false, false);
    }
}

void mrktTooltip(std::string& buf, const RnMrktType& type) {
    if (!simpleHead(buf, type, false)) return;
    appendSingleWorkerReq(buf, type.worker_type_, type.num_workers_);
    buf += '\n';
    rnAppendMsg(buf, 2174, "");
    appendUsedGoods(buf, type.distribute_goods_);
    if (type.walker_type_idx_ >= 0 && static_cast<size_t>(type.walker_type_idx_) < grn_game.mrktWalkerTypes().size()) {
        const RnWalkerMrktType& wt = grn_game.mrktWalkerType(type.walker_type_idx_);
        appendWalkerReach(buf, wt.distance_to_return_, wt.tiles_without_houses_);
    }
    buf += '\n';
    appendCountLine(buf, type);
}

void storTooltip(std::string& buf, const RnStorType& type) {
    if (!simpleHead(buf, type, false)) return;
    appendSingleWorkerReq(buf, type.worker_type_, type.num_workers_);
    buf += '\n';
    rnAppendMsg(buf, 2175, "");
    appendUsedGoods(buf, type.distribute_goods_);
    buf += '\n';
    appendCountLine(buf, type);
}

void decoTooltip(std::string& buf, const RnDecoType& type) {
    if (!simpleHead(buf, type, false)) return;
    rnAppendf(buf, "\n%s (%d, %d)", rnMsg(2176).c_str(), type.own_attr_act_, type.own_attr_def_);
    if (type.service_type_idx_ >= 0 && static_cast<size_t>(type.service_type_idx_) < grn_game.servTypes().size()) {
        const int16_t w = grn_game.servType(type.service_type_idx_).walker_type_idx_;
        const bool walker = w >= 0 && static_cast<size_t>(w) < grn_game.servWalkerTypes().size();
        buf += '\n';
        rnAppendMsg(buf, 2177, "s", walker ? grn_game.servWalkerType(w).name_.c_str() : "??");
    } else {
        appendInputs(buf, type.goods_);
    }
    buf += '\n';
    appendCountLine(buf, type);
    for (const RnGoodsAmount& g : type.goods_) {
        buf += '\n';
        rnGoodsLine(buf, g.good_type_idx_, RnObjectID(), false, false);
    }
}

// The first line of the service block: how well the receivers are served.
void appendServedLine(std::string& buf, const RnServType& type) {
    int badly = 0;
    int well = 0;
    type.countServedHouses(badly, well);
    if (badly + well == 0) {
        rnAppendMsg(buf, 2159, "");
    } else if (well == 0) {
        rnAppendMsg(buf, type.instanceCount() == 0 ? 2125 : 2126, "d", badly);
    } else if (badly == 0) {
        rnAppendMsg(buf, 2127, "d", well);
    } else {
        rnAppendMsg(buf, 2128, "dd", well, badly);
    }
}

}  // namespace

const char* rnGoodsName(int16_t goods) { return isGoods(goods) ? grn_game.goodsType(goods).name_.c_str() : "??"; }

// --- status lines ------------------------------------------------------------

const char* rnStatusLine() {
    const DaxGameTime t = dax_gameclock.gameTime();
    const int speed = dax_gameclock.paused() ? 0 : dax_gameclock.speed();
    g_line.clear();
    rnAppendf(g_line, "%d$  %d%%  %04d/%02d/%02d", grn_game.money_, speed, t.year(), t.month(), t.dayOfMonth());
    if (dax_config.debug_enable_ != 0) rnAppendf(g_line, "-%02d:%02d", t.hour(), t.minute());
    return g_line.c_str();
}

const char* rnPopulationLine() {
    g_line.clear();
    rnAppendMsg(g_line, 2113, "d", static_cast<int>(grn_game.population_));
    int assigned = 0;
    int jobs = 0;
    int workers = 0;
    for (const RnPeoplType& p : grn_game.peoplTypes()) {
        int a = 0;
        int j = 0;
        int w = 0;
        workforceCounts(p, a, j, w);
        assigned += a;
        jobs += j;
        workers += w;
    }
    appendWorkforce(g_line, assigned, jobs, workers);
    if (dax_config.debug_enable_ != 0) {
        // How far the houses have risen: per house type the mean of the
        // squared share of the top level reached, over all house types. A
        // type with a single level counts its houses as risen fully.
        double sum = 0.0;
        const auto& types = grn_game.housTypes();
        for (const RnHousType& ht : types) {
            const int count = ht.instanceCount();
            if (count == 0) continue;
            const int levels = static_cast<int>(ht.level_descs_.size());
            double type_sum = 0.0;
            for (const RnHous& h : ht.instances_) {
                const double f = levels > 1 ? static_cast<double>(h.curLevel()) / (levels - 1) : 1.0;
                type_sum += f * f;
            }
            sum += type_sum * 100.0 / count;
        }
        rnAppendf(g_line, " -- %.1f", types.empty() ? 0.0 : sum / static_cast<double>(types.size()));
    }
    return g_line.c_str();
}

int rnPeopleWorkforceSummary(const RnPeoplType& ppl, std::string& buf) {
    int assigned = 0;
    int jobs = 0;
    int workers = 0;
    workforceCounts(ppl, assigned, jobs, workers);
    if (workers <= 0 && jobs <= 0 && ppl.population_ <= 0) return len(buf);
    rnAppendMsg(buf, 2831, "sd", ppl.name_.c_str(), ppl.population_);
    appendWorkforce(buf, assigned, jobs, workers);
    buf += '.';
    return len(buf);
}

// --- tiles -------------------------------------------------------------------

int rnTileInfo(std::string& buf, const RnMapTile& tile, bool with_debug) {
    const size_t start = buf.size();
    if (!tile.oid_.isRoadOrBuilding()) {
        const auto& terrains = grn_game.terrains();
        if (tile.terrain_idx_ < 0 || static_cast<size_t>(tile.terrain_idx_) >= terrains.size()) {
            buf += "invalid terrain!";
        } else {
            buf += terrains[static_cast<size_t>(tile.terrain_idx_)].name_;
        }
    } else {
        const RnGenericBuilding& b = grn_game.buildingByOid(tile.oid_);
        b.infoText(buf, false);
        if (with_debug) b.debugText(buf, buf.size() > start);
    }
    int text = imageTextId(tile.second_bmp_idx_);
    if (text < 0 && tile.oid_.isBuilding()) {
        const RnGenericBuilding& b = grn_game.buildingByOid(tile.oid_);
        if (grn_map.isOnMap(b.pos_on_map_)) text = imageTextId(grn_map.tile(b.pos_on_map_).second_bmp_idx_);
    }
    if (text < 0) text = imageTextId(tile.gnd_bmp_idx_);
    if (text > 0) {
        if (buf.size() > start) buf += '\n';
        rnAppendf(buf, "(%s)", rnMsg(text).c_str());
    }
    return len(buf);
}

int rnTileDebugInfo(std::string& buf, int x, int y, const RnMapTile& tile) {
    const int level = rnTextDebugLevel();
    if (level >= 2) {
        rnAppendf(buf, "%d,%d - [%hd:%hd,%d] - ", x, y, tile.oid_.kind_, tile.oid_.type_idx_, tile.oid_.bld_idx_);
    }
    if (level >= 1) rnAppendf(buf, "%s: %hd", rnMsg(2101).c_str(), tile.desirability_);
    if (level < 3) return len(buf);
    buf += '\n';
    appendImageName(buf, "Gnd:%d - %s,%d", tile.gnd_bmp_idx_);
    const auto& terrains = grn_game.terrains();
    if (tile.terrain_idx_ >= 0 && static_cast<size_t>(tile.terrain_idx_) < terrains.size()) {
        const RnTerrain& t = terrains[static_cast<size_t>(tile.terrain_idx_)];
        rnAppendf(buf, " ter=%s", t.name_.c_str());
        if (t.isFlat()) buf += "(flat)";
    }
    if (tile.flags_ & kRnTileWalkable) buf += " walk";
    if (tile.flags_ & kRnTileBuildingsAllowed) buf += " b-bld";
    if (tile.flags_ & kRnTileRoadsAllowed) buf += " b-road";
    if (tile.flags_ & kRnTileProdImage) buf += " roam";
    if (tile.oid_.isRoadOrBuilding()) {
        const RnGenericBuildingType& type = grn_game.buildingTypeOfTile(tile);
        rnAppendf(buf, " bld=%s", type.name_.c_str());
        if (type.flat_) buf += "(flat)";
    }
    appendImageName(buf, " Bld:%d - %s,%d", tile.second_bmp_idx_);
    // A list that loops back on itself stops after a bound instead of
    // hanging the frame.
    RnObjectID w = tile.walker_head_;
    for (int n = 0; w.isWalker() && n < 1000; ++n) {
        const RnWalkerGeneric& walker = grn_game.walkerByOid(w);
        rnAppendWalkerLine(buf, walker, true, true, 8);
        w = walker.next_walker_;
    }
    return len(buf);
}

// --- build menu --------------------------------------------------------------

int rnBuildMenuTooltip(std::string& buf, int kind, int type_id, const std::string& name) {
    RnGenericBuildingType* type = kind >= RnIdBldRoad && kind <= RnIdBldBldr
                                      ? grn_game.findBuildingType(kind, type_id)
                                      : nullptr;
    if (!type) {
        buf += name;
        return len(buf);
    }
    switch (kind) {
    case RnIdBldRoad:
        roadTooltip(buf, static_cast<const RnRoadType&>(*type));
        break;
    case RnIdBldHous:
        houseTooltip(buf, static_cast<const RnHousType&>(*type));
        break;
    case RnIdBldServ:
        servTooltip(buf, static_cast<const RnServType&>(*type));
        break;
    case RnIdBldStor:
        storTooltip(buf, static_cast<const RnStorType&>(*type));
        break;
    case RnIdBldProd:
        prodTooltip(buf, static_cast<const RnProdType&>(*type));
        break;
    case RnIdBldMrkt:
        mrktTooltip(buf, static_cast<const RnMrktType&>(*type));
        break;
    case RnIdBldDeco:
        decoTooltip(buf, static_cast<const RnDecoType&>(*type));
        break;
    default:
        bldrTooltip(buf, static_cast<const RnBldrType&>(*type));
        break;
    }
    return len(buf);
}

// --- goods ---------------------------------------------------------------------

void rnGoodsBalance(int16_t goods, int& stock, int& need) {
    stock = 0;
    need = 0;
    if (!isGoods(goods)) return;
    const int lot = lotSize(goods);
    const DaxGameTime now = rnNow();
    for (const RnServType& st : grn_game.servTypes()) {
        const int m = materialNeed(st, goods);
        const bool input = st.neededAmount(goods) != 0;
        if (!input && m <= 0) continue;
        for (const RnServ& b : st.instances_) {
            auto it = b.goods_stored_.find(goods);
            if (input && it != b.goods_stored_.end()) {
                DAX_ASSERT_AT(st.in_capa_ >= it->second.amt_.stored_, kSrc, __LINE__);
                need += (st.in_capa_ - it->second.amt_.stored_) * lot;
            }
            if (m > 0) materialBalance(b, goods, m, now, need);
        }
    }
    for (const RnDecoType& dt : grn_game.decoTypes()) {
        const int m = materialNeed(dt, goods);
        const bool input = dt.amountForGoods(goods) != 0;
        if (!input && m <= 0) continue;
        for (const RnDeco& b : dt.instances_) {
            auto it = b.goods_.find(goods);
            if (input && it != b.goods_.end()) need += (dt.in_capa_ - it->second.stored_) * lot;
            if (m > 0) materialBalance(b, goods, m, now, need);
        }
    }
    for (const RnMrktType& mt : grn_game.mrktTypes()) {
        const int m = materialNeed(mt, goods);
        for (const RnMrkt& b : mt.instances_) {
            auto it = b.goods_stored_.find(goods);
            if (it != b.goods_stored_.end()) stock += it->second.amount_;
            if (m > 0) materialBalance(b, goods, m, now, need);
        }
    }
    for (const RnStorType& st : grn_game.storTypes()) {
        const int m = materialNeed(st, goods);
        for (const RnStor& b : st.instances_) {
            auto it = b.goods_stored_.find(goods);
            if (it != b.goods_stored_.end()) stock += it->second.stored_nlots_ * lot;
            if (m > 0) materialBalance(b, goods, m, now, need);
        }
    }
    for (const RnProdType& pt : grn_game.prodTypes()) {
        const int m = materialNeed(pt, goods);
        if (pt.inputAmountForGoods(goods) == 0 && pt.outputAmountForGoods(goods) == 0 && m <= 0) continue;
        for (const RnProd& b : pt.instances_) {
            auto out = b.output_goods_in_store_.find(goods);
            if (out != b.output_goods_in_store_.end()) stock += (out->second.stored_ & RnProdOutInf::kAmountMask) * lot;
            auto in = b.input_goods_.find(goods);
            if (in != b.input_goods_.end()) need += (pt.in_capa_ - in->second.stored_) * lot;
            if (m > 0) materialBalance(b, goods, m, now, need);
        }
    }
    for (const RnHousType& ht : grn_game.housTypes()) {
        for (const RnHous& h : ht.instances_) {
            const int level = h.curLevel();
            auto g = h.goods_.find(goods);
            if (g != h.goods_.end() && g->second.level_ <= level) need += g->second.missingAt(now, h.people());
            auto mat = h.material_in_store_.find(goods);
            if (mat == h.material_in_store_.end()) continue;
            const int required = ht.findMaterial(goods, level).amount_;
            if (required > 0) {
                DAX_ASSERT_AT(required >= mat->second.amount_, kSrc, __LINE__);
                need += required - static_cast<int>(mat->second.amountAt(now) + 0.9f);
            }
        }
    }
}

int rnGoodsLine(std::string& buf, int16_t goods, const RnObjectID& stor, bool balance, bool storage) {
    if (!isGoods(goods)) {
        buf += "??";
        return len(buf);
    }
    const RnGoodsType& gt = grn_game.goodsType(goods);
    const double made = gt.rate_prod_;
    const double used = gt.rate_hous_ + gt.rate_deco_ + gt.rate_serv_ + gt.rate_p_in_ + gt.rate_other_;
    if (made + used == 0.0) {
        rnAppendMsg(buf, 2153, "s", gt.name_.c_str());
        return len(buf);
    }
    rnAppendMsg(buf, 2154, "sff", gt.name_.c_str(), made, used);
    if (balance) {
        int stock = 0;
        int need = 0;
        rnGoodsBalance(goods, stock, need);
        buf += '\n';
        rnAppendMsg(buf, 2158, "sdd", gt.name_.c_str(), stock, need);
    }
    if (storage && gt.stor_type_idx_ >= 0) {
        if (stor.kind_ != RnIdBldStor || !grn_game.isObjectAlive(stor)) {
            buf += '\n';
            buf += rnMsg(2161);
        } else {
            const RnStor& s = grn_game.storByOid(stor);
            auto it = s.goods_stored_.find(goods);
            if (it != s.goods_stored_.end()) {
                const RnStorAmountInf& e = it->second;
                buf += '\n';
                rnAppendMsg(buf, e.demand_ >= 2 ? 2155 : e.demand_ >= -1 ? 2156 : 2157, "s", gt.name_.c_str());
                rnAppendf(buf, " (%d, %d+%d).", e.demand_, e.stored_nlots_, e.promised_nlots_);
            }
        }
    }
    return len(buf);
}

// --- dialogs -------------------------------------------------------------------

int rnServiceBlock(std::string& buf, const RnServType& type) {
    appendServedLine(buf, type);
    buf += '\n';
    appendCountLine(buf, type);
    for (const RnGoodsAmount& g : type.needs_) {
        buf += '\n';
        rnGoodsLine(buf, g.good_type_idx_, RnObjectID(), false, false);
    }
    return len(buf);
}

int rnBuildingHeader(std::string& buf, const RnGenericBuilding& b) {
    const RnGenericBuildingType& type = b.buildingType();
    switch (b.oid_.kind_) {
    case RnIdBldServ: {
        const RnServ& s = static_cast<const RnServ&>(b);
        appendServedLine(buf, s.servType());
        buf += '\n';
        appendCountLine(buf, type);
        for (const auto& [g, e] : s.goods_stored_) {
            buf += '\n';
            rnGoodsLine(buf, g, e.near_storage_, false, true);
        }
        break;
    }
    case RnIdBldProd: {
        const RnProd& p = static_cast<const RnProd&>(b);
        appendCountLine(buf, type);
        for (const auto& [g, e] : p.output_goods_in_store_) {
            buf += '\n';
            rnGoodsLine(buf, g, e.near_storage_, true, true);
        }
        for (const auto& [g, e] : p.input_goods_) {
            buf += '\n';
            rnGoodsLine(buf, g, e.near_storage_, false, true);
        }
        break;
    }
    case RnIdBldBldr: {
        const RnBldr& d = static_cast<const RnBldr&>(b);
        appendCountLine(buf, type);
        for (const auto& [g, e] : d.goods_stored_) {
            if ((e.word_ & RnBldrAmountInf::kOrdering) == 0 && e.near_storage_.bld_idx_ == -1) continue;
            buf += '\n';
            rnGoodsLine(buf, g, e.near_storage_, false, true);
        }
        break;
    }
    case RnIdBldDeco: {
        const RnDeco& d = static_cast<const RnDeco&>(b);
        appendCountLine(buf, type);
        for (const auto& [g, e] : d.goods_) {
            buf += '\n';
            rnGoodsLine(buf, g, e.near_storage_, false, true);
        }
        break;
    }
    default:
        appendCountLine(buf, type);
        break;
    }
    return len(buf);
}

int rnSupplyLine(std::string& buf, const RnGenericBuilding& b) {
    rnAppendSupplyLine(b, buf);
    return len(buf);
}

int rnMaterialSummary(std::string& buf, const RnSimpleBuilding& b) {
    if (b.simpleType().build_material_.empty()) return len(buf);
    if (b.shortMaterial() != 0 && b.material_in_store_.size() < 2) return len(buf);
    rnAppendMsg(buf, 2149, "d", static_cast<int>(b.supplyRatio() * 100.0f));
    buf += " (";
    bool first = true;
    for (const auto& [g, m] : b.material_in_store_) {
        if (!first) buf += ", ";
        buf += goodsName(g);
        first = false;
    }
    buf += ')';
    return len(buf);
}
