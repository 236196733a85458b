// The info and debug texts of the eight building kinds, written from what
// each building keeps.
#include "rn_bld_texts.h"

#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <set>

#include "dax2/dax_error.h"
#include "dax2/dax_msg.h"
#include "rn.h"
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
#include "rn_workforce.h"

// ---------------------------------------------------------------------------
// Numbered texts as formats

namespace {

// Every numbered text the game uses as a printf format, with the kinds of
// its arguments (as rnAppendMsg takes them): checked as the texts load.
struct TextFormat {
    int number;
    const char* sig;
};
const TextFormat kTextFormats[] = {
    // Building texts.
    {2109, "ds"}, {2110, "dds"}, {2111, "ddsdd"}, {2112, "dds"}, {2114, ""}, {2121, "ds"}, {2122, "d"},
    {2123, "ds"}, {2130, "d"}, {2131, "d"}, {2135, "d"}, {2144, "ss"}, {2145, "sd"}, {2148, "ds"},
    {2151, "ds"}, {2164, "ds"}, {2165, "dds"}, {2166, "ds"}, {2167, "dds"}, {2501, "ds"}, {2502, "d"},
    // Type, tile and statistics texts of the interface.
    {2113, "d"}, {2125, "d"}, {2126, "d"}, {2127, "d"}, {2128, "dd"}, {2149, "d"}, {2152, "ds"},
    {2153, "s"}, {2154, "sff"}, {2155, "s"}, {2156, "s"}, {2157, "s"}, {2158, "sdd"}, {2159, ""},
    {2170, ""}, {2171, "s"}, {2172, "s"}, {2173, "s"}, {2174, ""}, {2175, ""}, {2177, "s"}, {2178, ""},
    {2179, ""}, {2180, "s"}, {2181, ""}, {2182, ""}, {2183, ""}, {2184, ""}, {2185, ""}, {2186, ""},
    {2190, "d"}, {2191, "d"}, {2831, "sd"}, {2832, "d"}, {2833, "d"}, {2834, "d"},
    // Population milestones and advice.
    {3001, "u"}, {3100, ""}, {3101, "s"}, {3102, "s"}, {3103, "s"}, {3104, "s"}, {3105, "s"}, {3106, "ss"},
    {3107, "s"},
};

}  // namespace

void rnDeclareTextFormats() {
    for (const TextFormat& f : kTextFormats) dax_strings.declareFormat(f.number, f.sig);
}

std::string rnMsg(int number) {
    if (dax_strings.hasString(number)) return dax_strings.get(number);
    return "#" + std::to_string(number);
}

void rnAppendMsg(std::string& buf, int number, const char* sig, ...) {
    char tmp[kDaxMsgBufSize];
    va_list args;
    va_start(args, sig);
    size_t n = dax_strings.vformat(tmp, sizeof(tmp), number, sig, args);
    va_end(args);
    buf.append(tmp, n);
}

int rnTextDebugLevel() { return grn_config.map_display_; }

// ---------------------------------------------------------------------------
// Shared pieces

namespace {

const char* goodsName(int16_t goods) {
    if (goods < 0 || static_cast<size_t>(goods) >= grn_game.goodsTypes().size()) return "??";
    return grn_game.goodsType(goods).name_.c_str();
}

const char* peopleName(int16_t ppl) {
    if (ppl < 0 || static_cast<size_t>(ppl) >= grn_game.peoplTypes().size()) return "??";
    return grn_game.peoplType(ppl).name_.c_str();
}

// The name of a service: that of the walker type its service building type
// sends.
const char* serviceName(int16_t serv_type) {
    if (serv_type < 0 || static_cast<size_t>(serv_type) >= grn_game.servTypes().size()) return "??";
    int16_t w = grn_game.servType(serv_type).walker_type_idx_;
    if (w < 0 || static_cast<size_t>(w) >= grn_game.servWalkerTypes().size()) return "??";
    return grn_game.servWalkerType(w).name_.c_str();
}

void appendOid(std::string& buf, const char* fmt, const RnObjectID& oid) {
    rnAppendf(buf, fmt, oid.kind_, oid.type_idx_, oid.bld_idx_);
}

int percent(float ratio) { return static_cast<int>(ratio * 100.0f); }

// Appends part after a separator when sep is set; a part that starts a new
// line already drops that line break first. Nothing for an empty part.
void appendPart(std::string& buf, bool sep, std::string part) {
    if (part.empty()) return;
    if (part[0] == '\n') part.erase(0, 1);
    if (part.empty()) return;
    if (sep) buf += '\n';
    buf += part;
}

// A pending timer of a kind: its bit in the flags word, its name, its time.
struct Timer {
    uint32_t bit;
    const char* name;
    DaxGameTime time;
};

// At debug level 3: a line break when one of the bits of newline_bits is
// set, then "name=time " for each pending timer in the order given.
void appendTimers(std::string& buf, uint32_t flags, uint32_t newline_bits, std::initializer_list<Timer> timers) {
    if (rnTextDebugLevel() < 3) return;
    if ((flags & newline_bits) != 0) buf += '\n';
    for (const Timer& t : timers) {
        if ((flags & t.bit) != 0) rnAppendf(buf, "%s=%d ", t.name, static_cast<int>(t.time.value()));
    }
}

// The lines of a type's building materials with what the store holds now.
void appendMaterialLines(std::string& buf, const RnSimpleBuilding& b) {
    const DaxGameTime now = rnNow();
    for (const RnMaterialEntry& e : b.simpleType().build_material_) {
        auto it = b.material_in_store_.find(e.good_type_idx_);
        if (it == b.material_in_store_.end()) {
            rnAppendf(buf, "\nmaterial %s: ?? of %d", goodsName(e.good_type_idx_), e.amount_);
        } else {
            rnAppendf(buf, "\nmaterial %s: %.2f of %d", goodsName(e.good_type_idx_),
                      static_cast<double>(it->second.amountAt(now)), e.amount_);
        }
    }
}

// The debug lines of the walkers of a list whose home is b, while fewer than
// limit were written.
template <class List>
void appendHomeWalkers(std::string& buf, const List& walkers, const RnObjectID& home, int& written, int limit) {
    for (const auto& w : walkers) {
        if (written >= limit) return;
        if (w.home_oid_ != home) continue;
        rnAppendWalkerLine(buf, w, false, false, RnWalkerPersData::kMaxSteps);
        ++written;
    }
}

// At debug level 2 the walker lines of a building, when the walkers of its
// walker type number fewer than 10 all told.
template <class WalkerType>
void appendFewWalkers(std::string& buf, const WalkerType& type, const RnObjectID& home) {
    if (rnTextDebugLevel() < 2 || type.instanceCount() >= 10) return;
    int written = 0;
    appendHomeWalkers(buf, type.instances_, home, written, 10);
}

// The head of a workplace's debug text: the separator, the efficiency, at
// debug level 1 the desirability it spreads with its walkers out and their
// limit, and its building material.
void workplaceDebugHead(std::string& buf, bool sep, const RnSimpleBuilding& b, int walkers, int limit) {
    if (sep) buf += '\n';
    buf += rnMsg(2103);
    rnAppendf(buf, "=%d%%", percent(b.efficiency()));
    if (rnTextDebugLevel() >= 1) {
        rnAppendf(buf, " own_attr=%d #wlk=%d(%d)", b.simpleType().own_attr_, walkers, limit);
    }
    appendMaterialLines(buf, b);
}

// The worker line of a requirement: message 2117 with the workers still
// missing, else 2118.
void appendWorkerMsg(std::string& buf, const RnObjectID& oid, const RnWorkerReq& req) {
    const RnWorkforce* wkf = rnWorkforceOf(req.ppl_type_idx_);
    const int assigned = wkf ? wkf->pplAssigned(oid) : 0;
    if (assigned < req.num_req_) {
        rnAppendMsg(buf, 2117, "sdd", peopleName(req.ppl_type_idx_), assigned, req.num_req_ - assigned);
    } else {
        rnAppendMsg(buf, 2118, "sd", peopleName(req.ppl_type_idx_), assigned);
    }
}

// A goods entry kept for the work: "\n", the amount in store, what is on
// its way, and at debug level 1 the linked storage.
void appendStoredEntry(std::string& buf, int16_t goods, int stored, int promised, const RnObjectID& storage) {
    buf += '\n';
    rnAppendMsg(buf, 2123, "ds", stored, goodsName(goods));
    if (promised != 0) {
        buf += ", ";
        rnAppendMsg(buf, 2122, "d", promised);
    }
    if (rnTextDebugLevel() >= 1) appendOid(buf, " stor=[%hd:%hd,%d]", storage);
}

// The dispatch state of a workplace's walkers (a two-bit field) as a line:
// 1 the kind's busy text, 3 no road, 2 and 0 nothing. Only while the walker
// counter beside it is 0.
void appendWalkerState(std::string& buf, uint32_t state, uint32_t counter, int busy_text, int no_road_text) {
    if (counter != 0) return;
    if (state == 1) {
        buf += '\n';
        buf += rnMsg(busy_text);
    } else if (state == 3) {
        buf += '\n';
        buf += rnMsg(no_road_text);
    }
}

// Steps 1 to 6 of a workplace's info text: name, ruin, workers, the
// production's resource, the worker ratio and the supply line. Returns false
// when the text ends there.
bool workplaceHead(const RnGenericBuilding& b, std::string& buf, bool sep, float ratio, float threshold,
                   const RnProd* prod) {
    if (rnInfoTextHead(b, buf, sep)) return false;
    if (!b.hasWorkers()) {
        buf += '\n';
        buf += rnMsg(2133);
        return false;
    }
    if (ratio < 0.01f) {
        buf += '\n';
        rnAppendMsg(buf, 2114, "");
        return false;
    }
    if (prod && prod->resource_factor_ < 0.99f) {
        const RnProdType& pt = prod->prodType();
        const char* res = pt.resource_idx_ >= 0 && static_cast<size_t>(pt.resource_idx_) < grn_game.resources().size()
                              ? grn_game.resource(pt.resource_idx_).name_.c_str()
                              : "??";
        buf += '\n';
        rnAppendMsg(buf, 2145, "sd", res, percent(prod->resource_factor_));
    }
    if (ratio < threshold) {
        buf += '\n';
        rnAppendMsg(buf, 2135, "d", percent(ratio));
    }
    rnAppendSupplyLine(b, buf);
    return true;
}

}  // namespace

void rnAppendSupplyLine(const RnGenericBuilding& b, std::string& buf) {
    int16_t goods = b.shortMaterial();
    if (goods == 0) return;
    buf += '\n';
    rnAppendMsg(buf, 2148, "ds", percent(b.supplyRatio()), goodsName(goods));
}

void rnAppendWalkerLine(std::string& buf, const RnWalkerGeneric& w, bool with_home, bool braces_always,
                        int max_steps) {
    appendOid(buf, "\nWlk:[%hd:%hd,%d]", w.oid_);
    rnAppendf(buf, " passed=%d", static_cast<int>(w.state_ & RnWalkerPersData::kStepsWalkedMask));
    if (with_home) appendOid(buf, " home=[%hd:%hd,%d]", w.home_oid_);
    if (w.target_building_oid_.isBuilding()) appendOid(buf, " trg=[%hd:%hd,%d]", w.target_building_oid_);
    int steps = static_cast<int>((w.state_ & RnWalkerPersData::kCachedStepsMask) >> RnWalkerPersData::kCachedStepsShift);
    if (steps > 0 || braces_always) {
        rnAppendf(buf, " %d{", steps);
        for (int i = 0; i < steps && i < max_steps && i < RnWalkerPersData::kMaxSteps; ++i) {
            rnAppendf(buf, "%d", w.steps_[i]);
        }
        buf += '}';
    }
    if (w.isFinished()) {
        buf += " kill";
    } else if ((w.state_ & RnWalkerPersData::kReturning) != 0) {
        buf += " return";
    }
}

// ---------------------------------------------------------------------------
// Road and decoration

int RnRoad::infoText(std::string& buf, bool sep) const {
    appendSeparator(buf, sep);
    const RnRoadLevelDesc& level = levelDesc();
    buf += level.name_;
    buf += ' ';
    buf += rnMsg(2101);
    rnAppendf(buf, "=%d(%d)", static_cast<int>(grn_map.tile(pos_on_map_).desirability_),
              static_cast<int>(level.own_attr_));
    return static_cast<int>(buf.size());
}

int RnRoad::debugText(std::string& buf, bool sep) const {
    if (rnTextDebugLevel() >= 3 && (state_bits_ & kAttrPending) != 0) {
        appendSeparator(buf, sep);
        rnAppendf(buf, "t_attr=%d", static_cast<int>(t_attr_.value()));
    }
    return static_cast<int>(buf.size());
}

int RnDeco::infoText(std::string& buf, bool sep) const {
    appendSeparator(buf, sep);
    const RnDecoType& type = decoType();
    buf += type.name_;
    buf += ' ';
    buf += rnMsg(2101);
    rnAppendf(buf, "=%d(%d)", static_cast<int>(grn_map.tile(pos_on_map_).desirability_), ownAttr());
    if (isDestroyed()) {
        buf += "\nbuilding is destroyed!";
        return static_cast<int>(buf.size());
    }
    rnAppendSupplyLine(*this, buf);
    if (!inputsAvailable()) {
        if (!type.goods_.empty()) {
            buf += '\n';
            buf += rnMsg(2136);
        } else if (type.service_type_idx_ >= 0) {
            buf += '\n';
            rnAppendMsg(buf, 2144, "ss", serviceName(type.service_type_idx_),
                        grn_game.servType(type.service_type_idx_).name_.c_str());
        }
    }
    return static_cast<int>(buf.size());
}

int RnDeco::debugText(std::string& buf, bool sep) const {
    const RnDecoType& type = decoType();
    std::string t;
    rnAppendMsg(t, 2131, "d", effect_.remainingPermille(rnNow()) / 10);
    if (type.service_type_idx_ >= 0) rnAppendf(t, " (%s)", grn_game.servType(type.service_type_idx_).name_.c_str());
    appendMaterialLines(t, *this);
    for (const auto& [g, e] : goods_) appendStoredEntry(t, g, e.stored_, e.promised_, e.near_storage_);
    appendTimers(t, flags_, kGdsPending | kNearPending | kBldPending,
                 {{kNearPending, "t_near", t_near_}, {kGdsPending, "t_gds", t_gds_}, {kBldPending, "t_bld", t_bld_}});
    appendPart(buf, sep, t);
    return static_cast<int>(buf.size());
}

// ---------------------------------------------------------------------------
// House

int RnHous::infoText(std::string& buf, bool sep) const {
    appendSeparator(buf, sep);
    const RnHousType& type = housType();
    const int level = curLevel();
    const bool known = static_cast<size_t>(level) < type.level_descs_.size();
    rnAppendf(buf, "%s: Level=%d", known ? type.level_descs_[level].name_.c_str() : type.name_.c_str(), level);
    if (isDestroyed()) {
        buf += '\n';
        buf += rnMsg(2160);
        return static_cast<int>(buf.size());
    }
    const char* ppl_name = peopleName(type.ppl_type_idx_);
    const int ppl = people();
    if (level > 0 && ppl < peopleTarget()) {
        buf += ' ';
        rnAppendMsg(buf, 2151, "ds", peopleTarget(), ppl_name);
    }
    rnAppendSupplyLine(*this, buf);
    if (level > 0) {
        const int workers = curNumWorkers();
        const int busy = employed();
        buf += '\n';
        if (workers == 0) {
            rnAppendMsg(buf, 2109, "ds", ppl, ppl_name);
        } else if (busy >= workers) {
            rnAppendMsg(buf, 2110, "dds", ppl, workers, ppl_name);
        } else if (busy > 0) {
            rnAppendMsg(buf, 2111, "ddsdd", ppl, workers, ppl_name, busy, workers - busy);
        } else {
            rnAppendMsg(buf, 2112, "dds", ppl, workers, ppl_name);
        }
    }
    if (!hasWorkers()) {
        buf += '\n';
        buf += rnMsg(2134);
    }
    if (level > 0 && known) {
        const RnHousLevelDesc& desc = type.level_descs_[level];
        if (desc.people_max_ < ppl) {
            buf += '\n';
            buf += rnMsg(2137);
        } else if ((flags_ & kTooManyJobless) != 0) {
            buf += '\n';
            buf += rnMsg(2107);
        } else if (tooManyJobless(ppl + 1)) {
            buf += '\n';
            buf += rnMsg(2108);
        }
        if (averageDesirability() < desc.needed_attr_) {
            buf += '\n';
            buf += rnMsg(2105);
        }
    }
    const DaxGameTime now = rnNow();
    for (const auto& [serv, e] : services_) {
        if (e.level() > level || (e.level_word_ & RnHouseServiceData::kTaxService) != 0) continue;
        const int elapsed = e.elapsedPermille(now);
        if (elapsed > 900) {
            rnAppendf(buf, "\n%s: %d%%", serviceName(serv), static_cast<int>((1000 - elapsed) * 0.1));
            buf += ", ";
            buf += rnMsg(2116);
        }
    }
    for (const auto& [g, e] : goods_) {
        if (e.level_ > level) continue;
        const int amount = e.amountAt(now);
        if (3 * amount < ppl * e.cap_) {
            buf += '\n';
            rnAppendMsg(buf, 2121, "ds", amount, goodsName(g));
            buf += ", ";
            buf += rnMsg(2120);
        }
    }
    return static_cast<int>(buf.size());
}

int RnHous::debugText(std::string& buf, bool sep) const {
    const RnHousType& type = housType();
    const int level = curLevel();
    const int dl = rnTextDebugLevel();
    const int nlevels = static_cast<int>(type.level_descs_.size());
    const bool known = level < nlevels;
    std::string t;
    if (dl >= 1 && known) rnAppendf(t, "own_attr=%d", type.level_descs_[level].own_attr_);
    if (known) {
        const int avg = averageDesirability();
        if (avg >= type.level_descs_[level].needed_attr_) {
            if (level == nlevels - 1) {
                t += '\n';
                t += rnMsg(2106);
            } else if (avg < type.level_descs_[level + 1].needed_attr_) {
                t += '\n';
                t += rnMsg(2104);
                if (dl >= 2) rnAppendf(t, " %d(%d)", avg, type.level_descs_[level + 1].needed_attr_);
            }
        }
    }
    const DaxGameTime now = rnNow();
    for (int i = 0; i <= level + 1 && i < nlevels; ++i) {
        const RnMaterialEntry& m = type.level_descs_[i].material_;
        if (m.good_type_idx_ < 0) continue;
        auto it = material_in_store_.find(m.good_type_idx_);
        if (it == material_in_store_.end()) {
            rnAppendf(t, "\n%s: ?? of %d", goodsName(m.good_type_idx_), m.amount_);
        } else if (i > level) {
            rnAppendf(t, "\n%s: %d for next level", goodsName(m.good_type_idx_), it->second.amount_);
        } else {
            rnAppendf(t, "\n%s: %.2f of %d", goodsName(m.good_type_idx_),
                      static_cast<double>(it->second.amountAt(now)), m.amount_);
        }
        if (dl >= 2) rnAppendf(t, " (lev=%d)", i);
    }
    for (const auto& [serv, e] : services_) {
        const int elapsed = e.elapsedPermille(now);
        rnAppendf(t, "\n%s: %d%%", serviceName(serv), static_cast<int>((1000 - elapsed) * 0.1));
        if (dl >= 2) {
            rnAppendf(t, " (need=%d lev=%d)", elapsed, e.level());
            if ((e.level_word_ & RnHouseServiceData::kWalkerOnWay) != 0) t += " is_target";
        }
        if (dl >= 3) rnAppendf(t, " t1=%u t0=%u", e.needed_again_at_.value(), e.served_at_.value());
        if ((e.level_word_ & RnHouseServiceData::kTaxService) == 0) {
            if (level < e.level() && elapsed == 1000) {
                t += ' ';
                t += rnMsg(2115);
            } else if (level >= e.level() && elapsed > 900) {
                t += ' ';
                t += rnMsg(2116);
            }
        }
    }
    const int ppl = people();
    for (const auto& [g, e] : goods_) {
        const int amount = e.amountAt(now);
        const int missing = e.missingAt(now, ppl);
        if (amount == 0 && missing == 0) continue;
        t += '\n';
        rnAppendMsg(t, 2121, "ds", amount, goodsName(g));
        if (dl >= 2) rnAppendf(t, " (need=%d lev=%d)", missing, e.level_);
        if (dl >= 3) rnAppendf(t, " t1=%u t0=%u", e.empty_at_.value(), e.full_until_.value());
        if (level < e.level_ && amount == 0) {
            t += ", ";
            t += rnMsg(2119);
        } else if (level >= e.level_ && missing > 3 * amount) {
            t += ", ";
            t += rnMsg(2120);
        }
    }
    appendTimers(t, flags_, kAttrPending | kPplPending | kWkfPending | kSrvPending | kGdsPending | kLvlPending,
                 {{kPplPending, "t_ppl", t_ppl_},
                  {kAttrPending, "t_attr", t_attr_},
                  {kWkfPending, "t_wkf", t_wkf_},
                  {kSrvPending, "t_srv", t_srv_},
                  {kGdsPending, "t_gds", t_gds_},
                  {kLvlPending, "t_lvl", t_lvl_},
                  {kBldPending, "t_bld", t_bld_}});
    appendPart(buf, sep, t);
    return static_cast<int>(buf.size());
}

// ---------------------------------------------------------------------------
// Workplaces

int RnBldr::infoText(std::string& buf, bool sep) const {
    if (!workplaceHead(*this, buf, sep, efficiency_, 0.98f, nullptr)) return static_cast<int>(buf.size());
    bool holds = false;
    for (const auto& [g, e] : goods_stored_) {
        if (e.stored_ + (e.word_ & RnBldrAmountInf::kPromisedMask) > 0) holds = true;
    }
    appendWalkerState(buf, (flags_ >> 8) & 3u, 0, holds ? 2710 : 2711, 2701);
    return static_cast<int>(buf.size());
}

int RnBldr::debugText(std::string& buf, bool sep) const {
    const RnBldrType& type = bldrType();
    const int dl = rnTextDebugLevel();
    workplaceDebugHead(buf, sep, *this, static_cast<int>((flags_ & kWalkerCountMask) >> kWalkerCountShift),
                       type.req_num_bldr_walkers_);
    for (const auto& [g, e] : goods_stored_) {
        buf += (e.word_ & RnBldrAmountInf::kOrdering) != 0 ? "\n+ " : "\n- ";
        rnAppendMsg(buf, 2501, "ds", e.stored_, goodsName(g));
        if ((e.word_ & RnBldrAmountInf::kPromisedMask) != 0) {
            buf += ", ";
            rnAppendMsg(buf, 2502, "d", e.word_ & RnBldrAmountInf::kPromisedMask);
        }
        if (dl >= 1) appendOid(buf, " stor=[%hd:%hd,%d]", e.near_storage_);
    }
    if (!isDestroyed()) {
        for (const RnWorkerReq& req : type.worker_reqs_) {
            buf += '\n';
            appendWorkerMsg(buf, oid_, req);
        }
    }
    if (type.walker_type_idx_ >= 0) appendFewWalkers(buf, grn_game.bldrWalkerType(type.walker_type_idx_), oid_);
    appendTimers(buf, flags_, kWkfPending | kNearPending | kSpwnPending | kKillPending,
                 {{kWkfPending, "t_wkf", t_wkf_},
                  {kNearPending, "t_near", t_near_},
                  {kBldPending, "t_bld", t_bld_},
                  {kSpwnPending, "t_spwn", t_spwn_},
                  {kKillPending, "t_kill", t_kill_}});
    return static_cast<int>(buf.size());
}

int RnServ::infoText(std::string& buf, bool sep) const {
    if (!workplaceHead(*this, buf, sep, efficiency_, 0.98f, nullptr)) return static_cast<int>(buf.size());
    if (!goods_stored_.empty() && !inputsAvailable()) {
        buf += '\n';
        buf += rnMsg(2136);
    }
    appendWalkerState(buf, (flags_ >> 8) & 3u, (flags_ & kWalkerCountMask) >> 5, 2702, 2701);
    return static_cast<int>(buf.size());
}

int RnServ::debugText(std::string& buf, bool sep) const {
    const RnServType& type = servType();
    const int dl = rnTextDebugLevel();
    workplaceDebugHead(buf, sep, *this, static_cast<int>((flags_ & kWalkerCountMask) >> kWalkerCountShift),
                       type.req_num_serv_walkers_);
    for (const auto& [g, e] : goods_stored_) appendStoredEntry(buf, g, e.amt_.stored_, e.amt_.promised_, e.near_storage_);
    if (!isDestroyed()) {
        for (const RnWorkerReq& req : type.worker_reqs_) {
            buf += '\n';
            appendWorkerMsg(buf, oid_, req);
        }
    }
    if (dl >= 2 && type.walker_type_idx_ >= 0) {
        int written = 0;
        appendHomeWalkers(buf, grn_game.servWalkerType(type.walker_type_idx_).instances_, oid_, written, 8);
    }
    appendTimers(buf, flags_, kWkfPending | kNearPending | kBldPending | kSpwnPending | kKillPending,
                 {{kWkfPending, "t_wkf", t_wkf_},
                  {kNearPending, "t_near", t_near_},
                  {kBldPending, "t_bld", t_bld_},
                  {kSpwnPending, "t_spwn", t_spwn_},
                  {kKillPending, "t_kill", t_kill_}});
    return static_cast<int>(buf.size());
}

int RnProd::infoText(std::string& buf, bool sep) const {
    if (!workplaceHead(*this, buf, sep, worker_factor_, 0.99f, this)) return static_cast<int>(buf.size());
    if (!input_goods_.empty() && !inputsAvailable()) {
        buf += '\n';
        buf += rnMsg(2136);
    }
    bool holds = false;
    for (const auto& [g, e] : output_goods_in_store_) {
        if ((e.stored_ & RnProdOutInf::kAmountMask) > 0) holds = true;
    }
    appendWalkerState(buf, (flags_ >> 10) & 3u, (flags_ & kWalkerCountMask) >> kWalkerCountShift, holds ? 2707 : 2711,
                      2701);
    return static_cast<int>(buf.size());
}

int RnProd::debugText(std::string& buf, bool sep) const {
    const RnProdType& type = prodType();
    const int dl = rnTextDebugLevel();
    appendSeparator(buf, sep);
    buf += rnMsg(2103);
    if (resource_factor_ < 0.99f) {
        rnAppendf(buf, "=%d%% (W=%d%% R=%d%%)", percent(efficiency()), percent(worker_factor_),
                  percent(resource_factor_));
    } else {
        rnAppendf(buf, "=%d%%", percent(worker_factor_));
    }
    if (dl >= 1) {
        rnAppendf(buf, " own_attr=%d #wlk=%d(%d)", type.own_attr_,
                  static_cast<int>((flags_ & kWalkerCountMask) >> kWalkerCountShift), type.num_walkers_);
    }
    appendMaterialLines(buf, *this);
    const int progress = cycleProgressPercent();
    if (progress >= 0) {
        buf += '\n';
        rnAppendMsg(buf, 2132, "d", progress);
    }
    for (const auto& [g, e] : output_goods_in_store_) {
        const int stored = e.stored_ & RnProdOutInf::kAmountMask;
        const int lot = g >= 0 && static_cast<size_t>(g) < grn_game.goodsTypes().size() ? grn_game.goodsType(g).lot_size_
                                                                                        : 1;
        buf += '\n';
        if (lot > 1) {
            rnAppendMsg(buf, 2167, "dds", stored, lot, goodsName(g));
        } else {
            rnAppendMsg(buf, 2166, "ds", stored, goodsName(g));
        }
        if (dl >= 1) appendOid(buf, " stor=[%hd:%hd,%d]", e.near_storage_);
    }
    for (const auto& [g, e] : input_goods_) appendStoredEntry(buf, g, e.stored_, e.promised_, e.near_storage_);
    if (!isDestroyed()) {
        for (const RnWorkerReq& req : type.worker_reqs_) {
            buf += '\n';
            appendWorkerMsg(buf, oid_, req);
        }
    }
    if (dl >= 2) {
        int written = 0;
        for (const RnGoodsOutput& out : type.output_goods_) {
            if (out.good_type_idx_ < 0 || static_cast<size_t>(out.good_type_idx_) >= grn_game.prodWalkerTypes().size()) {
                continue;
            }
            appendHomeWalkers(buf, grn_game.prodWalkerType(out.good_type_idx_).instances_, oid_, written, 8);
        }
    }
    if (dl >= 3) {
        bool cycle = false;
        for (const auto& [g, e] : output_goods_in_store_) {
            if ((e.stored_ & RnProdOutInf::kCycleRunning) != 0) cycle = true;
        }
        if (cycle || (flags_ & (kWkfPending | kNearPending | kEffPending | kBldPending | kSpwnPending | kKillPending))) {
            buf += '\n';
        }
        if (flags_ & kWkfPending) rnAppendf(buf, "t_wkf=%d ", static_cast<int>(t_wkf_.value()));
        if (flags_ & kNearPending) rnAppendf(buf, "t_near=%d ", static_cast<int>(t_near_.value()));
        if (cycle) {
            for (const auto& [g, e] : output_goods_in_store_) {
                rnAppendf(buf, "t_prd=%d,%d ", g, static_cast<int>(e.ready_time_.value()));
            }
        }
        appendTimers(buf, flags_, 0,
                     {{kEffPending, "t_eff", t_eff_},
                      {kBldPending, "t_bld", t_bld_},
                      {kSpwnPending, "t_spwn", t_spwn_},
                      {kKillPending, "t_kill", t_kill_}});
    }
    return static_cast<int>(buf.size());
}

int RnMrkt::infoText(std::string& buf, bool sep) const {
    if (!workplaceHead(*this, buf, sep, efficiency_, 0.98f, nullptr)) return static_cast<int>(buf.size());
    bool holds = false;
    for (const auto& [g, e] : goods_stored_) {
        if (e.amount_ + (e.word_ & RnMrktAmountInf::kPromisedMask) > 0) holds = true;
    }
    appendWalkerState(buf, (flags_ >> 9) & 3u, 0, holds ? 2707 : 2711, 2701);
    return static_cast<int>(buf.size());
}

int RnMrkt::debugText(std::string& buf, bool sep) const {
    const RnMrktType& type = mrktType();
    const int dl = rnTextDebugLevel();
    workplaceDebugHead(buf, sep, *this, static_cast<int>((flags_ & kWalkerCountMask) >> kWalkerCountShift),
                       type.num_walkers_);
    for (const auto& [g, e] : goods_stored_) {
        buf += (e.word_ & RnMrktAmountInf::kEnabled) != 0 ? "\n+ " : "\n- ";
        buf += (e.word_ & RnMrktAmountInf::kWanted) != 0 ? "+ " : "- ";
        rnAppendMsg(buf, 2121, "ds", e.amount_, goodsName(g));
        if ((e.word_ & RnMrktAmountInf::kPromisedMask) != 0) {
            buf += ", ";
            rnAppendMsg(buf, 2122, "d", e.word_ & RnMrktAmountInf::kPromisedMask);
        }
        if (dl >= 1) appendOid(buf, " stor=[%hd:%hd,%d]", e.near_storage_);
    }
    if (!isDestroyed() && type.worker_type_ >= 0) {
        const RnWorkerReq req = type.workerReq();
        const RnWorkforce* wkf = rnWorkforceOf(req.ppl_type_idx_);
        rnAppendf(buf, "\n%s: %d(%d) ", peopleName(req.ppl_type_idx_), wkf ? wkf->pplAssigned(oid_) : 0,
                  req.num_req_);
        appendWorkerMsg(buf, oid_, req);
    }
    if (type.walker_type_idx_ >= 0) appendFewWalkers(buf, grn_game.mrktWalkerType(type.walker_type_idx_), oid_);
    appendTimers(buf, flags_, kWkfPending | kNearPending | kSpwnPending | kBldPending | kKillPending,
                 {{kWkfPending, "t_wkf", t_wkf_},
                  {kNearPending, "t_near", t_near_},
                  {kBldPending, "t_bld", t_bld_},
                  {kSpwnPending, "t_spwn", t_spwn_},
                  {kKillPending, "t_kill", t_kill_}});
    return static_cast<int>(buf.size());
}

int RnStor::infoText(std::string& buf, bool sep) const {
    if (!workplaceHead(*this, buf, sep, efficiency_, 0.98f, nullptr)) return static_cast<int>(buf.size());
    if (networkOutDegree() == 0) {
        buf += '\n';
        buf += rnMsg(2146);
        return static_cast<int>(buf.size());
    }
    appendWalkerState(buf, prodOutcome(), static_cast<uint32_t>(numProdWalkers()), 2708, 2704);
    appendWalkerState(buf, storOutcome(), static_cast<uint32_t>(numStorWalkers()), 2709, 2704);
    return static_cast<int>(buf.size());
}

namespace {

// At debug level 4 the storage's node in its network: one line per edge
// (out-edges, then in-edges) with its road, or the number of neighbours
// when it has more than 12 edges.
void appendNetworkLines(std::string& buf, const RnStor& s) {
    if (rnTextDebugLevel() < 4) return;
    const RnStorageNetwork& network = s.storType().network_;
    const nex::tDiGraph& gr = network.gr_;
    const int32_t node = s.network_node_;
    if (!gr.isNodeValid(node)) return;
    if (gr.outDeg(node) + gr.inDeg(node) > 12) {
        rnAppendf(buf, "\nN(%d): %d,%d neighbours", node, gr.outDeg(node), gr.inDeg(node));
        return;
    }
    for (nex::tDiGraph::EdgeIterator it(gr, node); !it.atEnd(); ++it) {
        const RnStorNetEdgeData& e = network.edgeData(it.edge());
        rnAppendf(buf, "\nN(%d): N(%d)->N(%d) d=%d s=%d,%d", node, it.source(), it.target(), e.dist_, e.start_.x,
                  e.start_.y);
        if (e.len_ == 0) continue;
        rnAppendf(buf, " %d{", e.len_);
        for (int k = 0; k < e.len_ && k < 16; ++k) rnAppendf(buf, "%d", e.steps_[k]);
        buf += '}';
    }
}

}  // namespace

int RnStor::debugText(std::string& buf, bool sep) const {
    const RnStorType& type = storType();
    const int dl = rnTextDebugLevel();
    appendSeparator(buf, sep);
    buf += rnMsg(2103);
    rnAppendf(buf, "=%d%%", percent(efficiency()));
    if (dl >= 1) {
        rnAppendf(buf, " own_attr=%d #prod_wlk=%d(%d) #stor_wlk=%d(%d)", type.own_attr_, numProdWalkers(),
                  type.num_prod_walkers_, numStorWalkers(), type.num_stor_walkers_);
    }
    if (!isDestroyed()) appendNetworkLines(buf, *this);
    appendMaterialLines(buf, *this);
    for (const auto& [g, e] : goods_stored_) {
        const int lot = g >= 0 && static_cast<size_t>(g) < grn_game.goodsTypes().size() ? grn_game.goodsType(g).lot_size_
                                                                                        : 1;
        buf += '\n';
        if (lot > 1) {
            rnAppendMsg(buf, 2165, "dds", e.stored_nlots_, lot, goodsName(g));
        } else {
            rnAppendMsg(buf, 2164, "ds", e.stored_nlots_, goodsName(g));
        }
        if (dl >= 1) rnAppendf(buf, ", netto=%d", e.demand_);
        if (e.promised_nlots_ != 0) {
            buf += ", ";
            rnAppendMsg(buf, 2130, "d", e.promised_nlots_);
        }
    }
    if (!isDestroyed() && type.worker_type_ >= 0) {
        buf += '\n';
        appendWorkerMsg(buf, oid_, type.workerReq());
    }
    appendTimers(buf, flags_, 0x7Fu,
                 {{kWkfPending, "t_wkf", t_wkf_},
                  {kNearPending, "t_near", t_near_},
                  {kBldPending, "t_bld", t_bld_},
                  {kProdSpwnPending, "t_prod_spwn", t_prod_spwn_},
                  {kProdKillPending, "t_prod_kill", t_prod_kill_},
                  {kStorSpwnPending, "t_stor_spwn", t_stor_spwn_},
                  {kStorKillPending, "t_stor_kill", t_stor_kill_}});
    return static_cast<int>(buf.size());
}
