// The info dialog of a house.
#include "rn_dlg_hous.h"

#include "dax2/dax_clock.h"
#include "dax2/dax_error.h"
#include "rn_bld_hous.h"
#include "rn_bld_serv.h"
#include "rn_bld_texts.h"
#include "rn_game.h"
#include "rn_game_infostr.h"

namespace {

enum : int {
    kTextNeighbourhoodForNext = 2104,
    kTextNeighbourhoodTooPoor = 2105,
    kTextNeighbourhoodFine = 2106,
    kTextServiceForNext = 2115,
    kTextRunningOut = 2116,
    kTextGoodsForNext = 2119,
    kTextGoodsShort = 2120,
    kTextAmount = 2121,
    kTextMaterialSupply = 2149,
    kTextMaterialForNext = 2150,
};

// The material line: the supply, the materials of the levels reached in
// brackets, then the one the next level adds ("+name").
std::string materialLine(const RnHous& h, const RnHousType& type) {
    std::string line;
    if (h.material_in_store_.empty()) return line;
    if (h.shortMaterial() != 0 && h.material_in_store_.size() < 2) return line;
    rnAppendMsg(line, kTextMaterialSupply, "d", static_cast<int>(h.supplyRatio() * 100.0f));
    const size_t level = static_cast<size_t>(h.curLevel());
    bool open = false;
    for (size_t i = 0; i < type.level_descs_.size(); ++i) {
        const int16_t goods = type.level_descs_[i].material_.good_type_idx_;
        if (goods < 0) continue;
        if (i <= level) {
            rnAppendf(line, open ? ", %s" : " (%s", rnGoodsName(goods));
            open = true;
            continue;
        }
        if (open) line += ')';
        open = false;
        if (i == level + 1) rnAppendf(line, " +%s", rnGoodsName(goods));
        break;
    }
    if (open) line += ')';
    return line;
}

// How the desirability around the house stands for its level and the next.
void appendDesirabilityLine(std::string& buf, const RnHous& h, const RnHousType& type) {
    const size_t level = static_cast<size_t>(h.curLevel());
    if (level >= type.level_descs_.size()) return;
    const int avg = h.averageDesirability();
    int text = 0;
    if (avg < type.level_descs_[level].needed_attr_) {
        text = kTextNeighbourhoodTooPoor;
    } else if (level + 1 == type.level_descs_.size()) {
        text = kTextNeighbourhoodFine;
    } else if (avg < type.level_descs_[level + 1].needed_attr_) {
        text = kTextNeighbourhoodForNext;
    }
    if (text == 0) return;
    rnDlgNewEntry(buf);
    rnAppendf(buf, "%s", rnMsg(text).c_str());
}

}  // namespace

namespace {

// The service lines of one level: how much of each interval is left, or for
// the tax service what the next tax visit would bring.
void appendServiceLines(std::string& buf, const RnHous& h, const RnHousType& type, const RnHousLevelDesc& desc,
                        DaxGameTime now) {
    const int level = h.curLevel();
    for (const RnHousServiceNeed& need : desc.services_) {
        auto it = h.services_.find(need.service_type_idx_);
        if (it == h.services_.end()) continue;
        if (static_cast<size_t>(need.service_type_idx_) >= grn_game.servTypes().size()) continue;
        const RnHouseServiceData& e = it->second;
        const RnServType& st = grn_game.servType(need.service_type_idx_);
        const char* walker = rnDlgWalkerName(RnIdWlkServ, st.walker_type_idx_);
        rnDlgNewEntry(buf);
        if ((e.level_word_ & RnHouseServiceData::kTaxService) == 0) {
            const int p = e.elapsedPermille(now);
            rnAppendf(buf, "%s: %d%%", walker, static_cast<int>((1000 - p) * 0.1));
            if (level < e.level() && p == 1000) rnAppendf(buf, " %s", rnMsg(kTextServiceForNext).c_str());
            if (level >= e.level() && p > 900) rnAppendf(buf, " %s", rnMsg(kTextRunningOut).c_str());
            continue;
        }
        // The share of the interval passed since the last visit (all of it
        // once the visit is due; an interval of no hours counts as due).
        DAX_ASSERT(st.tax_percent_ > 0);
        double share = 1.0;
        if (now.value() < e.needed_again_at_.value() && need.hours_ > 0) {
            const double hours = now.value() > e.served_at_.value()
                                     ? static_cast<double>(now.value() - e.served_at_.value()) / DaxGameTime::kPerHour
                                     : 0.0;
            share = hours / need.hours_;
        }
        const double tax = share * h.curNumWorkers() * (st.tax_percent_ / 100.0) * (type.tax_percent_ / 100.0);
        rnAppendf(buf, "%s: %.1lf$", walker, tax);
    }
}

// The goods lines of one level: what is left, and whether it runs short or
// is needed for the next level.
void appendGoodsLines(std::string& buf, const RnHous& h, const RnHousLevelDesc& desc, DaxGameTime now) {
    const int level = h.curLevel();
    for (const RnHousGoodsNeed& need : desc.goods_) {
        auto it = h.goods_.find(need.good_type_idx_);
        if (it == h.goods_.end()) continue;
        const RnHouseGoodsData& e = it->second;
        const int amount = e.amountAt(now);
        const int missing = e.missingAt(now, h.people());
        if (amount == 0 && missing == 0) continue;
        rnDlgNewEntry(buf);
        rnAppendMsg(buf, kTextAmount, "ds", amount, rnGoodsName(need.good_type_idx_));
        if (level < e.level_) {
            if (amount == 0) rnAppendf(buf, ", %s", rnMsg(kTextGoodsForNext).c_str());
        } else if (missing > 3 * amount) {
            rnAppendf(buf, ", %s", rnMsg(kTextGoodsShort).c_str());
        }
    }
}

std::string levelName(const RnHous& h) {
    const RnHousType& type = h.housType();
    const size_t level = static_cast<size_t>(h.curLevel());
    return level < type.level_descs_.size() ? type.level_descs_[level].name_ : type.name_;
}

}  // namespace

RnHousDialog::RnHousDialog(const RnHous& b) : RnBuildingDialog("Hous", b, levelName(b)) {
    const RnHousType& type = b.housType();
    const DaxGameTime now = dax_gameclock.gameTime();
    const size_t level = static_cast<size_t>(b.curLevel());
    showMaterialLine(materialLine(b, type));
    std::string status;
    if (!b.isDestroyed()) appendDesirabilityLine(status, b, type);
    for (size_t i = 0; i < type.level_descs_.size(); ++i) {
        const RnHousLevelDesc& desc = type.level_descs_[i];
        appendServiceLines(status, b, type, desc, now);
        appendGoodsLines(status, b, desc, now);
        const int16_t material = desc.material_.good_type_idx_;
        if (i != level + 1 || material < 0) continue;
        auto it = b.material_in_store_.find(material);
        if (it == b.material_in_store_.end() || it->second.amount_ == 0) {
            rnDlgNewEntry(status);
            rnAppendMsg(status, kTextMaterialForNext, "s", rnGoodsName(material));
        }
    }
    std::string summary;
    if (type.ppl_type_idx_ >= 0 && static_cast<size_t>(type.ppl_type_idx_) < grn_game.peoplTypes().size()) {
        rnPeopleWorkforceSummary(grn_game.peoplType(type.ppl_type_idx_), summary);
    }
    finish(b, status, summary);
}
