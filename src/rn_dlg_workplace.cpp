// The info dialogs of the workplaces.
#include "rn_dlg_workplace.h"

#include "dax2/dax_ini.h"
#include "gcn/color.hpp"
#include "rn_bld_bldr.h"
#include "rn_bld_mrkt.h"
#include "rn_bld_prod.h"
#include "rn_bld_serv.h"
#include "rn_bld_stor.h"
#include "rn_bld_texts.h"
#include "rn_game.h"
#include "rn_game_infostr.h"

namespace {

enum : int {
    kTextAmount = 2121,
    kTextOnTheWay = 2122,
    kTextLotsPromised = 2130,
    kTextCycleDone = 2132,
    kTextWalkersOut = 2138,
    kTextStorWalkersOut = 2139,
    kTextServWalkersOut = 2140,
    kTextMrktWalkersOut = 2141,
    kTextNoStorageNear = 2142,
    kTextMarketWithoutStorage = 2143,
    kTextStorageLinks = 2147,
    kTextStorLots = 2164,
    kTextStorLotsOfSize = 2165,
    kTextReady = 2166,
    kTextReadyLotsOfSize = 2167,
    kTextBldrAmount = 2501,
    kTextBldrPromised = 2502,
    kTextBldrWalkersOut = 2503,
    kTextBldrNone = 2504,
};

// Goods types not switched on in a market (nobody wanted them) are shown
// greyed.
const gcn::Color kGreyed(130, 130, 130, 255);

// "<n> <goods>" (single) for goods of lots of one, "<n> x <lot size>
// <goods>" (sized) for larger lots.
void appendLots(std::string& buf, int single, int sized, int count, int16_t goods) {
    const int lot = rnLotSize(goods);
    if (lot < 2) {
        rnAppendMsg(buf, single, "ds", count, rnGoodsName(goods));
    } else {
        rnAppendMsg(buf, sized, "dds", count, lot, rnGoodsName(goods));
    }
}

// The last status line: how many walkers of the building's walker type are
// under way.
void appendWalkersOut(std::string& buf, int text, int count, int16_t walker_kind, int16_t walker_type) {
    rnDlgNewEntry(buf);
    rnAppendMsg(buf, text, "ds", count, rnDlgWalkerName(walker_kind, walker_type));
}

}  // namespace

// ---------------------------------------------------------------------------
// Builder

RnBldrDialog::RnBldrDialog(const RnBldr& b) : RnBuildingDialog("Builder", b, b.bldrType().name_) {
    const RnBldrType& type = b.bldrType();
    std::string status;
    if (!b.isDestroyed()) {
        addWorkerRows(b, type.worker_reqs_);
        addMaterialLabel(b);
        for (const auto& [goods, e] : b.goods_stored_) {
            rnDlgNewEntry(status);
            if ((e.word_ & RnBldrAmountInf::kOrdering) == 0 && e.stored_ == 0) {
                rnAppendMsg(status, kTextBldrNone, "s", rnGoodsName(goods));
                continue;
            }
            rnAppendMsg(status, kTextBldrAmount, "ds", static_cast<int>(e.stored_), rnGoodsName(goods));
            const int promised = e.word_ & RnBldrAmountInf::kPromisedMask;
            if (promised != 0) {
                status += ", ";
                rnAppendMsg(status, kTextBldrPromised, "d", promised);
            }
        }
        appendWalkersOut(status, kTextBldrWalkersOut, b.walkersOut(), RnIdWlkBldr, type.walker_type_idx_);
    }
    finish(b, status);
}

// ---------------------------------------------------------------------------
// Production

RnProdDialog::RnProdDialog(const RnProd& b) : RnBuildingDialog("Prod", b, b.prodType().name_) {
    const RnProdType& type = b.prodType();
    std::string status;
    if (!b.isDestroyed()) {
        addWorkerRows(b, type.worker_reqs_);
        addMaterialLabel(b);
        const int done = b.cycleProgressPercent();
        if (done >= 0) rnAppendMsg(status, kTextCycleDone, "d", done);
        for (const auto& [goods, e] : b.output_goods_in_store_) {
            rnDlgNewEntry(status);
            appendLots(status, kTextReady, kTextReadyLotsOfSize, e.stored_ & RnProdOutInf::kAmountMask, goods);
        }
        for (const auto& [goods, e] : b.input_goods_) {
            rnDlgNewEntry(status);
            rnDlgAppendStored(status, e.stored_, e.promised_, goods);
        }
        rnDlgNewEntry(status);
        rnAppendMsg(status, kTextWalkersOut, "d", b.walkerCount());
    }
    finish(b, status);
}

// ---------------------------------------------------------------------------
// Service

RnServDialog::RnServDialog(const RnServ& b) : RnBuildingDialog("Service", b, b.servType().name_) {
    const RnServType& type = b.servType();
    std::string status;
    if (!b.isDestroyed()) {
        addWorkerRows(b, type.worker_reqs_);
        addMaterialLabel(b);
        for (const auto& [goods, e] : b.goods_stored_) {
            rnDlgNewEntry(status);
            rnDlgAppendStored(status, e.amt_.stored_, e.amt_.promised_, goods);
        }
        appendWalkersOut(status, kTextServWalkersOut, b.walkersOut(), RnIdWlkServ, type.walker_type_idx_);
    }
    finish(b, status);
}

// ---------------------------------------------------------------------------
// Storage

RnStorDialog::RnStorDialog(const RnStor& b) : RnBuildingDialog("Stor", b, b.storType().name_) {
    const RnStorType& type = b.storType();
    std::string status;
    if (!b.isDestroyed()) {
        addWorkerRows(b, {type.workerReq()});
        addMaterialLabel(b);
        const int links = b.networkOutDegree();
        if (links > 0) rnAppendMsg(status, kTextStorageLinks, "d", links);
        for (const auto& [goods, e] : b.goods_stored_) {
            rnDlgNewEntry(status);
            appendLots(status, kTextStorLots, kTextStorLotsOfSize, e.stored_nlots_, goods);
            if (e.promised_nlots_ != 0) {
                status += ", ";
                rnAppendMsg(status, kTextLotsPromised, "d", static_cast<int>(e.promised_nlots_));
            }
        }
        rnDlgNewEntry(status);
        rnAppendMsg(status, kTextWalkersOut, "d", b.numProdWalkers());
        status += '\n';
        rnAppendMsg(status, kTextStorWalkersOut, "d", b.numStorWalkers());
    }
    finish(b, status);
}

// ---------------------------------------------------------------------------
// Market

RnMrktDialog::RnMrktDialog(const RnMrkt& b) : RnBuildingDialog("Market", b, b.mrktType().name_) {
    const RnMrktType& type = b.mrktType();
    std::string status;
    if (!b.isDestroyed()) {
        addWorkerRows(b, {type.workerReq()});
        addMaterialLabel(b);
        bool any_storage = false;
        for (const auto& entry : b.goods_stored_) {
            if (entry.second.near_storage_.isBuilding()) any_storage = true;
        }
        for (const auto& [goods, e] : b.goods_stored_) {
            auto box = std::make_unique<gcn::CheckBox>();
            box->setBaseColor(dax_config.button_color_);
            box->setBackgroundColor(dax_config.button_color_);
            box->setSelected((e.word_ & RnMrktAmountInf::kEnabled) != 0);
            std::string caption;
            rnAppendMsg(caption, kTextAmount, "ds", static_cast<int>(e.amount_), rnGoodsName(goods));
            const int promised = e.word_ & RnMrktAmountInf::kPromisedMask;
            if (promised != 0) {
                caption += ", ";
                rnAppendMsg(caption, kTextOnTheWay, "d", promised);
            }
            const bool wanted = (e.word_ & RnMrktAmountInf::kWanted) != 0;
            if (wanted && any_storage && !e.near_storage_.isBuilding()) {
                rnAppendf(caption, ", %s", rnMsg(kTextNoStorageNear).c_str());
            }
            if (!wanted) box->setForegroundColor(kGreyed);
            box->setCaption(caption);
            box->adjustSize();
            box->addActionListener(this);
            column().add(box.get());
            boxes_.emplace(goods, std::move(box));
        }
        if (!any_storage) rnAppendf(status, "%s", rnMsg(kTextMarketWithoutStorage).c_str());
        appendWalkersOut(status, kTextMrktWalkersOut, b.walkersOut(), RnIdWlkMrkt, type.walker_type_idx_);
    }
    finish(b, status);
}

RnMrktDialog::~RnMrktDialog() {
    for (auto& entry : boxes_) entry.second->removeActionListener(this);
}

void RnMrktDialog::action(const gcn::ActionEvent& event) {
    for (const auto& [goods, box] : boxes_) {
        if (event.getSource() != box.get()) continue;
        // The market may have gone while the dialog was open.
        if (grn_game.isObjectAlive(buildingId())) grn_game.mrktByOid(buildingId()).setGoodsEnabled(goods, box->isSelected());
        return;
    }
    RnBuildingDialog::action(event);
}
