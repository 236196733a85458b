// The shared part of the building info dialogs.
#include "rn_dlg_building.h"

#include "dax2/dax_bitmap.h"
#include "dax2/dax_ini.h"
#include "gcn/color.hpp"
#include "gcn/font.hpp"
#include "rn_bld_generic.h"
#include "rn_bld_texts.h"
#include "rn_game.h"
#include "rn_game_infostr.h"
#include "rn_map.h"
#include "rn_wlk_bldr.h"
#include "rn_wlk_mrkt.h"
#include "rn_wlk_prod.h"
#include "rn_wlk_serv.h"
#include "rn_wlk_stor.h"

namespace {

constexpr int kTextOk = 100;
constexpr int kTextWorkersMissing = 2117;
constexpr int kTextWorkersAll = 2118;
constexpr int kTextOnTheWay = 2122;
constexpr int kTextInStore = 2123;

// The dialogs' panel colour, lighter than the window round it.
const gcn::Color kContentColour(220, 220, 220, 255);

}  // namespace

const char* rnDlgWalkerName(int16_t kind, int16_t type_idx) {
    size_t count = 0;
    switch (kind) {
    case RnIdWlkServ: count = grn_game.servWalkerTypes().size(); break;
    case RnIdWlkProd: count = grn_game.prodWalkerTypes().size(); break;
    case RnIdWlkMrkt: count = grn_game.mrktWalkerTypes().size(); break;
    case RnIdWlkStor: count = grn_game.storWalkerTypes().size(); break;
    case RnIdWlkBldr: count = grn_game.bldrWalkerTypes().size(); break;
    default: return "??";
    }
    if (type_idx < 0 || static_cast<size_t>(type_idx) >= count) return "??";
    return grn_game.walkerType(RnObjectTypeID(kind, type_idx)).name_.c_str();
}

// ---------------------------------------------------------------------------
// Image panel

RnBuildingImagePanel::RnBuildingImagePanel() {
    vbar_.setSpacingAndMargin(2, 2);
    hbar_.setSpacingAndMargin(6, 2);
}

void RnBuildingImagePanel::showTileBitmap(const RnMapTile& tile, gcn::ButtonVBar& column) {
    const DaxBitmapIndex id = tile.second_bmp_idx_;
    if (id < 0 || static_cast<size_t>(id / 2) >= dax_bitmaps.size()) return;
    const int text_id = dax_bitmaps.textId(id);
    icon_.setBitmap(id);
    const DaxBitmapKey& key = dax_bitmaps.name(id);
    std::string text;
    if ((id & 1) != 0) {
        rnAppendf(text, "%s.%03d.%02d", key.name_.c_str(), key.variant_, key.flag_);
    } else {
        rnAppendf(text, "%s.%03d", key.name_.c_str(), key.variant_);
    }
    name_.setCaption(text);
    name_.adjustSize();
    vbar_.add(&name_);
    if (text_id > 0) {
        text.clear();
        rnAppendf(text, "(%s)", rnMsg(text_id).c_str());
        text_.setCaption(text);
        text_.adjustSize();
        vbar_.add(&text_);
    }
    hbar_.add(&icon_);
    hbar_.add(&vbar_);
    column.add(&hbar_);
    shown_ = true;
}

// ---------------------------------------------------------------------------
// Dialog base

RnBuildingDialog::RnBuildingDialog(const char* kind_caption, const RnGenericBuilding& b,
                                   const std::string& window_caption)
    : DaxDialogBase(kind_caption, daxTextOr(kTextOk, "OK").c_str(), nullptr, nullptr), oid_(b.oid_) {
    window().setCaption(window_caption);
    content().setBaseColor(kContentColour);
    content().setOpaque(true);
    column_.setSpacingAndMargin(3, 4);

    std::string text;
    b.infoText(text, false);
    if (!text.empty()) {
        info_.setText(text);
        info_.setBackgroundColor(dax_config.button_color_);
        info_.setEditable(false);
        column_.add(&info_);
    }
}

RnBuildingDialog::~RnBuildingDialog() {
    for (WorkerRow& row : rows_) {
        if (row.more) row.more->removeActionListener(this);
    }
}

void rnDlgNewEntry(std::string& buf) {
    if (!buf.empty()) buf += '\n';
}

void rnDlgAppendStored(std::string& buf, int stored, int promised, int16_t goods) {
    rnAppendMsg(buf, kTextInStore, "ds", stored, rnGoodsName(goods));
    if (promised != 0) {
        buf += ", ";
        rnAppendMsg(buf, kTextOnTheWay, "d", promised);
    }
}

void RnBuildingDialog::addWorkerRows(const RnGenericBuilding& b, const std::vector<RnWorkerReq>& reqs) {
    if (!b.hasWorkers()) return;
    for (const RnWorkerReq& req : reqs) {
        if (req.ppl_type_idx_ < 0 || static_cast<size_t>(req.ppl_type_idx_) >= grn_game.peoplTypes().size()) continue;
        const RnPeoplType& ppl = grn_game.peoplType(req.ppl_type_idx_);
        const RnWorkforce& wkf = ppl.workforce_;
        // A requirement the network does not know has nothing to show or
        // ask for.
        if (wkf.nodeOf(oid_) == 0) continue;
        WorkerRow row;
        row.ppl_type_idx = req.ppl_type_idx_;
        row.bar = std::make_unique<gcn::ButtonHBar>();
        row.bar->setSpacingAndMargin(6, 0);
        row.label = std::make_unique<gcn::Label>();
        row.bar->add(row.label.get());
        const int assigned = wkf.pplAssigned(oid_);
        const int required = req.num_req_;
        std::string text;
        if (assigned < required) {
            rnAppendMsg(text, kTextWorkersMissing, "sdd", ppl.name_.c_str(), assigned, required - assigned);
        } else {
            rnAppendMsg(text, kTextWorkersAll, "sd", ppl.name_.c_str(), assigned);
        }
        row.label->setCaption(text);
        row.label->adjustSize();
        if (assigned < required) {
            row.more = std::make_unique<gcn::Button>("+1");
            row.more->setBaseColor(dax_config.button_color_);
            row.more->setHeight(row.more->getFont()->getHeight());
            row.more->setEnabled(wkf.pplInRange(oid_) != 0);
            row.more->addActionListener(this);
            row.bar->add(row.more.get());
        }
        column_.add(row.bar.get());
        rows_.push_back(std::move(row));
    }
}

void RnBuildingDialog::addMaterialLabel(const RnSimpleBuilding& b) {
    if (b.material_in_store_.empty()) return;
    std::string text;
    rnMaterialSummary(text, b);
    showMaterialLine(text);
}

void RnBuildingDialog::showMaterialLine(const std::string& text) {
    if (text.empty()) return;
    material_.setCaption(text);
    material_.adjustSize();
    column_.add(&material_);
}

void RnBuildingDialog::finish(const RnGenericBuilding& b, const std::string& status, const std::string& summary) {
    status_.setText(status);
    status_.setOpaque(false);
    status_.setEditable(false);
    column_.add(&status_);
    if (!summary.empty()) {
        summary_.setText(summary);
        summary_.setOpaque(true);
        summary_.setBackgroundColor(dax_config.button_color_);
        summary_.setEditable(false);
        column_.add(&summary_);
    }
    if (grn_map.isOnMap(b.pos_on_map_)) panel_.showTileBitmap(grn_map.tile(b.pos_on_map_), column_);
    column_.layout(gcn::kLayoutAll);
    content().add(&column_);
    adjustSize();
}

void RnBuildingDialog::finish(const RnGenericBuilding& b, const std::string& status) {
    std::string summary;
    rnBuildingHeader(summary, b);
    finish(b, status, summary);
}

void RnBuildingDialog::action(const gcn::ActionEvent& event) {
    for (const WorkerRow& row : rows_) {
        if (!row.more || event.getSource() != row.more.get()) continue;
        // The building may have gone while the dialog was open: then there
        // is nobody to ask for.
        if (!grn_game.isObjectAlive(oid_)) return;
        if (static_cast<size_t>(row.ppl_type_idx) >= grn_game.peoplTypes().size()) return;
        RnWorkforce& wkf = grn_game.peoplType(row.ppl_type_idx).workforce_;
        if (wkf.nodeOf(oid_) == 0) return;
        if (static_cast<uint16_t>(wkf.requestMoreWorkers(oid_)) != 0) pressOk();
        return;
    }
    DaxDialogBase::action(event);
}
