// The game object's statistics: each goods type's weekly rates of production
// and consumption, counted from the types and their buildings; the produced
// and consumed counters of the statistics periods; one advice a day on the
// first gap in the economy; the statistics log; the population milestones.
#include <algorithm>
#include <cstdarg>
#include <string>

#include "dax2/dax_error.h"
#include "dax2/dax_ini.h"
#include "dax2/dax_msg.h"
#include "rn_bld_bldr.h"
#include "rn_bld_deco.h"
#include "rn_bld_generic.h"
#include "rn_bld_hous.h"
#include "rn_bld_mrkt.h"
#include "rn_bld_prod.h"
#include "rn_bld_serv.h"
#include "rn_bld_stor.h"
#include "rn_game.h"
#include "rn_wlk_serv.h"

namespace {

// Rates are per week.
constexpr double kHoursPerWeek = 168.0;

// Populations at which the town's growth is announced, ascending.
constexpr uint32_t kMilestones[] = {20, 50, 100, 200, 500, 1000, 2000, 5000, 10000, 20000, 50000};

// Message numbers of the population milestone and the advice.
enum : int16_t {
    kMsgMilestone = 3001,
    kMsgBuildHouses = 3100,
    kMsgHouseGoodsNotMade = 3101,
    kMsgNoMarket = 3102,
    kMsgMaterialNotMade = 3103,
    kMsgNoBuilder = 3104,
    kMsgGoodsNotMade = 3105,
    kMsgServiceMissing = 3106,
    kMsgTaxServiceMissing = 3107,
};

// Units a week of something used up one unit every `hours` game hours; a
// zero interval (content that never uses it up) counts nothing.
double perWeek(double hours) { return hours > 0.0 ? kHoursPerWeek / hours : 0.0; }

// Posts numbered message `number` formatted with the arguments (kinds as
// DaxStringMgr::format takes them) into a buffer of size N.
template <size_t N>
void postText(int number, const char* sig, ...) {
    char text[N];
    va_list args;
    va_start(args, sig);
    dax_strings.vformat(text, sizeof(text), number, sig, args);
    va_end(args);
    dax_msgmgr.postNoPos(number, text);
}

}  // namespace

void RnGame::updateGoodsStatistics() {
    for (RnGoodsType& gt : goods_types_.records()) {
        gt.production_sites_ = 0;
        gt.market_instances_ = 0;
        gt.builder_instances_ = 0;
        gt.rate_hous_ = 0.0;
        gt.rate_hous_next_ = 0.0;
        gt.rate_deco_ = 0.0;
        gt.rate_serv_ = 0.0;
        gt.rate_p_in_ = 0.0;
        gt.rate_other_ = 0.0;
        gt.rate_prod_ = 0.0;
    }
    // Building material of n buildings of a type, into one of the rates.
    auto material = [this](const std::vector<RnMaterialEntry>& list, int n, double RnGoodsType::*rate) {
        for (const RnMaterialEntry& m : list) goodsType(m.good_type_idx_).*rate += perWeek(m.hours_) * n;
    };

    for (const RnProdType& pt : prod_types_.records()) {
        for (const RnGoodsOutput& out : pt.output_goods_) {
            goodsType(out.good_type_idx_).production_sites_ += static_cast<uint32_t>(pt.instanceCount());
        }
    }

    // Houses use their goods by their people, from the level that needs
    // them on; the next level's goods are what a rise would ask for.
    int houses = 0;
    for (const RnHousType& ht : hous_types_.records()) {
        houses += ht.instanceCount();
        for (const RnHous& h : ht.instances_) {
            const int level = h.curLevel();
            const int people = h.people();
            for (const auto& [g, need] : h.goods_) {
                RnGoodsType& gt = goodsType(g);
                if (level >= need.level_) gt.rate_hous_ += perWeek(need.hours_) * people;
                if (need.level_ == level + 1) gt.rate_hous_next_ += perWeek(need.hours_) * people;
            }
            for (const auto& [g, stock] : h.material_in_store_) {
                const RnMaterialEntry& m = ht.findMaterial(g, level);
                if (m.amount_ != 0) goodsType(g).rate_hous_ += perWeek(m.hours_);
            }
        }
    }

    for (const RnDecoType& dt : deco_types_.records()) {
        const int n = dt.instanceCount();
        for (const RnGoodsAmount& g : dt.goods_) {
            goodsType(g.good_type_idx_).rate_deco_ += g.amount_ * perWeek(dt.hours_attr_) * n;
        }
        material(dt.build_material_, n, &RnGoodsType::rate_deco_);
    }

    // A service building uses its goods once per walker round: out to the
    // walkers' reach and back, then the time until the next walker.
    for (const RnServType& st : serv_types_.records()) {
        const int n = st.instanceCount();
        double round_hours = st.hours_respawn_;
        if (st.walker_type_idx_ >= 0 && static_cast<size_t>(st.walker_type_idx_) < serv_walker_types_.size()) {
            const RnWalkerServType& wt = servWalkerType(st.walker_type_idx_);
            round_hours += 2.0 * wt.distance_to_return_ * wt.hours_for_1tile_road_;
        }
        for (const RnGoodsAmount& g : st.needs_) {
            RnGoodsType& gt = goodsType(g.good_type_idx_);
            gt.rate_serv_ += g.amount_ * gt.lot_size_ * perWeek(round_hours) * n;
        }
        material(st.build_material_, n, &RnGoodsType::rate_serv_);
    }

    // Production at full efficiency: each cycle of the first output's hours
    // makes the outputs from the inputs.
    for (const RnProdType& pt : prod_types_.records()) {
        const int n = pt.instanceCount();
        for (const RnGoodsOutput& out : pt.output_goods_) {
            RnGoodsType& gt = goodsType(out.good_type_idx_);
            gt.rate_prod_ += out.amount_ * gt.lot_size_ * perWeek(out.time_) * n;
        }
        const double cycle_hours = pt.output_goods_.empty() ? 0.0 : pt.output_goods_.front().time_;
        for (const RnGoodsAmount& in : pt.input_goods_) {
            RnGoodsType& gt = goodsType(in.good_type_idx_);
            gt.rate_p_in_ += in.amount_ * gt.lot_size_ * perWeek(cycle_hours) * n;
        }
        material(pt.build_material_, n, &RnGoodsType::rate_p_in_);
    }

    for (const RnMrktType& mt : mrkt_types_.records()) {
        const int n = mt.instanceCount();
        for (int16_t g : mt.distribute_goods_) goodsType(g).market_instances_ += static_cast<uint32_t>(n);
        material(mt.build_material_, n, &RnGoodsType::rate_other_);
    }
    for (const RnStorType& st : stor_types_.records()) {
        material(st.build_material_, st.instanceCount(), &RnGoodsType::rate_other_);
    }
    for (const RnBldrType& bt : bldr_types_.records()) {
        const int n = bt.instanceCount();
        for (int16_t g : bt.goods_allowed_) goodsType(g).builder_instances_ += static_cast<uint32_t>(n);
        material(bt.build_material_, n, &RnGoodsType::rate_other_);
    }

    // At most one advice a game day, each at most once a game: the first
    // gap of the economy not yet pointed out.
    const int32_t day = static_cast<int32_t>(dax_gameclock.gameTime().totalDays());
    if (day == advice_day_) return;
    advice_day_ = day;
    // Whether the pair is new; it counts as given from now on.
    auto fresh = [this](int16_t number, int32_t type_id) {
        return advice_given_.insert({number, static_cast<int16_t>(type_id)}).second;
    };
    if (houses == 0) {
        if (fresh(kMsgBuildHouses, 0)) postText<kDaxMsgBufSize>(kMsgBuildHouses, "");
        return;
    }
    for (const RnServType& st : serv_types_.records()) {
        if (st.instanceCount() != 0) continue;
        int badly = 0;
        int well = 0;
        st.countServedHouses(badly, well);
        if (badly + well == 0) continue;
        if (st.tax_percent_ > 0) {
            if (fresh(kMsgTaxServiceMissing, st.type_id_)) {
                postText<kDaxMsgBufSize>(kMsgTaxServiceMissing, "s", st.name_.c_str());
                return;
            }
        } else if (fresh(kMsgServiceMissing, st.type_id_)) {
            const bool walker =
                st.walker_type_idx_ >= 0 && static_cast<size_t>(st.walker_type_idx_) < serv_walker_types_.size();
            const char* walker_name = walker ? servWalkerType(st.walker_type_idx_).name_.c_str() : "??";
            postText<kDaxMsgBufSize>(kMsgServiceMissing, "ss", walker_name, st.name_.c_str());
            return;
        }
    }
    for (const RnGoodsType& gt : goods_types_.records()) {
        const bool houses_use = gt.rate_hous_ > 0.0 || gt.rate_hous_next_ > 0.0;
        const bool others_use = gt.rate_deco_ > 0.0 || gt.rate_p_in_ > 0.0 || gt.rate_serv_ > 0.0 || gt.rate_other_ > 0.0;
        int16_t number = 0;
        if (!gt.used_mat_ && gt.rate_prod_ == 0.0) {
            number = houses_use ? kMsgHouseGoodsNotMade : others_use ? kMsgGoodsNotMade : 0;
        } else if (!gt.used_mat_) {
            number = gt.market_instances_ == 0 && houses_use ? kMsgNoMarket : 0;
        } else if (houses_use || others_use) {
            number = gt.production_sites_ == 0 ? kMsgMaterialNotMade : gt.builder_instances_ == 0 ? kMsgNoBuilder : 0;
        }
        if (number != 0 && fresh(number, gt.id_)) {
            postText<kDaxMsgBufSize>(number, "s", gt.name_.c_str());
            return;
        }
    }
}

void RnGame::rollStatistics(bool period_changed) {
    if (period_changed) {
        for (RnGoodsType& gt : goods_types_.records()) {
            gt.produced_ = gt.produced_cur_;
            gt.consumed_ = gt.consumed_cur_;
            gt.produced_cur_ = 0;
            gt.consumed_cur_ = 0;
        }
    }
    updateGoodsStatistics();
}

void RnGame::logStatistics() {
    if (!dax_config.logEnabled(2, 16)) return;
    int houses = 0;
    std::string text;
    for (const RnHousType& ht : hous_types_.records()) {
        houses += ht.instanceCount();
        rnAppendf(text, " ht %d #%d", ht.type_id_, ht.instanceCount());
    }
    for (const RnPeoplType& pt : peopl_types_.records()) {
        if (pt.population_ <= 0 && pt.population_prev_ <= 0) continue;
        rnAppendf(text, " ppl %d #%d(%d,%d)", pt.id_, pt.population_max_, pt.population_prev_ - pt.population_max_,
                  pt.population_ - pt.population_max_);
    }
    daxLogMessage(2, 16, "Statistics: %d houses, %d population %s", houses, static_cast<int>(population_),
                  text.c_str());
    for (size_t i = 0; i < goods_types_.size(); ++i) {
        const RnGoodsType& gt = goods_types_[i];
        if (gt.rate_hous_ == 0.0 && gt.rate_deco_ == 0.0 && gt.rate_serv_ == 0.0 && gt.rate_p_in_ == 0.0 &&
            gt.rate_other_ == 0.0 && gt.rate_prod_ == 0.0) {
            continue;
        }
        daxLogMessage(2, 16,
                      "%2d id=%5d lot=%3d hc=%7.1lf dc=%7.1lf sc=%7.1lf pc=%7.1lf oc=%7.1lf consumed=%5u pp=%7.1lf "
                      "produced=%5u in %4u sites %s",
                      static_cast<int>(i), gt.id_, gt.lot_size_, gt.rate_hous_, gt.rate_deco_, gt.rate_serv_,
                      gt.rate_p_in_, gt.rate_other_, gt.consumed_, gt.rate_prod_, gt.produced_, gt.production_sites_,
                      gt.name_.c_str());
    }
}

void RnGame::changePopulation(int delta) {
    population_ += static_cast<uint32_t>(delta);
    for (uint32_t m : kMilestones) {
        if (population_ >= m && last_milestone_ < m) {
            postText<256>(kMsgMilestone, "u", population_);
            last_milestone_ = population_;
            return;
        }
    }
}
