// The info dialogs of the building kinds in a small town: the column of
// each dialog (info text, worker rows with their "+1" buttons, material
// line, market check boxes, status text, summary and picture), what a "+1"
// and a check box do to the world, and the house's level lines.
#include <memory>
#include <string>
#include <vector>

#include "dax2/dax_clock.h"
#include "gcn/widgets/checkbox.hpp"
#include "rn_dlg_deco.h"
#include "rn_dlg_hous.h"
#include "rn_dlg_workplace.h"
#include "rn_game_infostr.h"
#include "rn_gui_dialogs.h"
#include "town_fixture.h"

using namespace uitest;

namespace {

// The dialogs the program makes, through the buildings' own createDialog.
class DialogTest : public TownTest {
protected:
    void SetUp() override {
        TownTest::SetUp();
        grn_building_dialogs = &factory_;
    }
    void TearDown() override {
        grn_building_dialogs = nullptr;
        TownTest::TearDown();
    }

    template <class D>
    static std::unique_ptr<D> open(const RnObjectID& oid) {
        DaxDialogIfc* d = grn_game.buildingByOid(oid).createDialog();
        auto* typed = dynamic_cast<D*>(d);
        EXPECT_NE(typed, nullptr) << "a dialog of another kind";
        if (!typed) delete d;
        return std::unique_ptr<D>(typed);
    }

    // The dialog's column top to bottom, one line per widget: the info and
    // summary boxes by name (their texts come from the texts' own code),
    // the status box and the material line with their texts, a worker row
    // with its button, a check box with its tick and colour, the picture
    // with its labels.
    static std::vector<std::string> column(RnBuildingDialog& d) {
        std::vector<std::string> lines;
        for (gcn::Widget* w : d.column().getChildren()) {
            if (w == &d.infoBox()) {
                lines.push_back("info");
            } else if (w == &d.summaryBox()) {
                lines.push_back("summary");
            } else if (w == &d.statusBox()) {
                lines.push_back("status: " + d.statusBox().getText());
            } else if (w == &d.materialLabel()) {
                lines.push_back("material: " + d.materialLabel().getCaption());
            } else if (w == &d.imagePanel().bar()) {
                std::string line = "image: " + d.imagePanel().nameLabel().getCaption();
                if (d.imagePanel().textLabel().getParent()) line += " " + d.imagePanel().textLabel().getCaption();
                lines.push_back(line);
            } else if (auto* box = dynamic_cast<gcn::CheckBox*>(w)) {
                std::string line = (box->isSelected() ? "[x] " : "[ ] ") + box->getCaption();
                if (box->getForegroundColor() == gcn::Color(130, 130, 130, 255)) line += " (grey)";
                lines.push_back(line);
            } else {
                lines.push_back(rowLine(d, w));
            }
        }
        return lines;
    }
    static std::string rowLine(RnBuildingDialog& d, gcn::Widget* w) {
        for (const RnBuildingDialog::WorkerRow& row : d.workerRows()) {
            if (w != row.bar.get()) continue;
            std::string line = "row: " + row.label->getCaption();
            if (row.more) {
                line += " [" + row.more->getCaption() + (row.more->isEnabled() ? "]" : " off]");
            }
            return line;
        }
        return "?";
    }

    static std::string infoTextOf(const RnObjectID& oid) {
        std::string buf;
        grn_game.buildingByOid(oid).infoText(buf, false);
        return buf;
    }

    RnGuiBuildingDialogs factory_;
};

TEST_F(DialogTest, EachKindShowsItsRowsAndTexts) {
    struct Case {
        const char* name;
        RnObjectID oid;
        std::string caption;
        std::vector<std::string> lines;
    };
    const std::vector<Case> cases = {
        {"service", well_, "well",
         {"info", "row: folk: 2 working", "row: nobles: 0 working, 1 missing [+1 off]",
          "status: 2 food in store, 1 on the way\n2 water carrier on the way", "summary"}},
        {"storage", stor_, "storehouse",
         {"info", "row: folk: 3 working", "material: building material 100% (planks)",
          "status: linked to 1 storages\n5 wood\n3 x 2 planks, 1 lots promised\n0 x 4 food\n"
          "2 walkers on the way\n1 storage walkers on the way",
          "summary"}},
        {"production", prod_, "sawmill",
         {"info", "row: folk: 1 working, 1 missing [+1]",
          "status: production 50% done\n1 x 2 planks ready\n3 wood in store, 2 on the way\n1 walkers on the way",
          "summary"}},
        {"market", mrkt_, "market",
         {"info", "row: folk: 0 working, 2 missing [+1]", "[ ] 0 wood (grey)", "[x] 6 food, 3 on the way",
          "status: No storage near the market.\n1 market woman on the way", "summary"}},
        {"decoration", deco_, "fountain", {"info", "status: 75% left (well)\n1 wood in store", "summary"}},
        {"builder", bldr_, "builder yard",
         {"info", "row: folk: 0 working, 1 missing [+1]",
          "status: no wood\n3 planks, 2 lots promised\n1 mason on the way", "summary"}},
        {"house", house_, "cottage",
         {"info", "material: building material 100% (wood) +planks",
          "status: The neighbourhood must get better for the next level.\nwater carrier: 4% running out\n"
          "tax collector: 0.6$\n3 food, running short\nThe next level needs planks.",
          "summary"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::unique_ptr<RnBuildingDialog> d = open<RnBuildingDialog>(c.oid);
        ASSERT_NE(d, nullptr);
        EXPECT_EQ(d->window().getCaption(), c.caption);
        EXPECT_EQ(column(*d), c.lines);
        EXPECT_EQ(d->infoBox().getText(), infoTextOf(c.oid));
        EXPECT_FALSE(d->infoBox().isEditable());
        std::string summary;
        if (c.oid.kind_ == RnIdBldHous) {
            rnPeopleWorkforceSummary(grn_game.peoplType(kFolk), summary);
        } else {
            rnBuildingHeader(summary, grn_game.buildingByOid(c.oid));
        }
        EXPECT_EQ(d->summaryBox().getText(), summary);
        // The ok button alone closes it, and the window fits the column.
        EXPECT_FALSE(d->cancelButton().isVisible());
        EXPECT_FALSE(d->thirdButton().isVisible());
        EXPECT_GE(d->window().getWidth(), d->column().getWidth());
        EXPECT_EQ(d->result(), kDaxDialogOpen);
        EXPECT_TRUE(d->pressOk());
        EXPECT_EQ(d->result(), kDaxDialogOk);
    }
    // Each kind's own class.
    EXPECT_NE(open<RnServDialog>(well_), nullptr);
    EXPECT_NE(open<RnStorDialog>(stor_), nullptr);
    EXPECT_NE(open<RnProdDialog>(prod_), nullptr);
    EXPECT_NE(open<RnMrktDialog>(mrkt_), nullptr);
    EXPECT_NE(open<RnDecoDialog>(deco_), nullptr);
    EXPECT_NE(open<RnBldrDialog>(bldr_), nullptr);
    EXPECT_NE(open<RnHousDialog>(house_), nullptr);
}

TEST_F(DialogTest, ARuinShowsItsTextsButNoRowsOrBoxes) {
    grn_game.mrktByOid(mrkt_).flags_ |= RnMrktPersData::kDestroyed;
    grn_game.storByOid(stor_).flags_ |= RnStorPersData::kDestroyed;
    for (const RnObjectID& oid : {mrkt_, stor_}) {
        std::unique_ptr<RnBuildingDialog> d = open<RnBuildingDialog>(oid);
        ASSERT_NE(d, nullptr);
        EXPECT_EQ(column(*d), (std::vector<std::string>{"info", "status: ", "summary"}));
        EXPECT_TRUE(d->workerRows().empty());
    }
}

TEST_F(DialogTest, PlusOneMovesAWorkerAndClosesTheDialog) {
    RnWorkforce& folk = grn_game.peoplType(kFolk).workforce_;
    ASSERT_EQ(folk.pplAssigned(prod_), 1);
    ASSERT_EQ(folk.pplAssigned(stor_), 3);
    std::unique_ptr<RnBuildingDialog> d = open<RnBuildingDialog>(prod_);
    ASSERT_EQ(d->workerRows().size(), 1u);
    gcn::Button& more = *d->workerRows()[0].more;
    EXPECT_TRUE(more.fireAction());
    // One worker came from the storehouse, the workplace of the shared house
    // with the most of them.
    EXPECT_EQ(folk.pplAssigned(prod_), 2);
    EXPECT_EQ(folk.pplAssigned(stor_), 2);
    EXPECT_EQ(d->result(), kDaxDialogOk);
    // Reopened, the dialog shows the new count.
    d = open<RnBuildingDialog>(prod_);
    EXPECT_EQ(column(*d)[1], "row: folk: 2 working");

    // A request the network cannot serve leaves the dialog open: the
    // builder yard's house has no worker at a workplace with more.
    std::unique_ptr<RnBuildingDialog> bldr = open<RnBuildingDialog>(bldr_);
    std::unique_ptr<RnBuildingDialog> mrkt = open<RnBuildingDialog>(mrkt_);
    ASSERT_EQ(mrkt->workerRows().size(), 1u);
    grn_game.housByOid(house_).offerWorkers(grn_game.housType(0), 0);
    EXPECT_TRUE(bldr->workerRows()[0].more->fireAction());
    EXPECT_EQ(bldr->result(), kDaxDialogOpen);

    // A dialog whose building went meanwhile asks nobody.
    const RnGenericBuilding& m = grn_game.buildingByOid(mrkt_);
    grn_game.mrktType(0).removeBuilding(grn_map.tile(m.pos_on_map_.x, m.pos_on_map_.y), m.pos_on_map_.x,
                                        m.pos_on_map_.y);
    EXPECT_TRUE(mrkt->workerRows()[0].more->fireAction());
    EXPECT_EQ(mrkt->result(), kDaxDialogOpen);
}

TEST_F(DialogTest, MarketBoxesSwitchTheirGoods) {
    // The food the market orders from the storehouse: its 16 lots less the
    // one it holds (6 units of lots of 4) and the 3 on their way.
    RnMrkt& m = grn_game.mrktByOid(mrkt_);
    RnMrktAmountInf& entry = m.goods_stored_[kFood];
    m.setGoodsLink(kFood, entry, stor_, true, true);
    const RnStorAmountInf& at_storage = grn_game.storByOid(stor_).goods_stored_[kFood];
    ASSERT_EQ(at_storage.demand_, -12);

    auto d = open<RnMrktDialog>(mrkt_);
    ASSERT_EQ(d->goodsBoxes().size(), 2u);
    gcn::CheckBox& food = *d->goodsBoxes().at(kFood);
    food.setSelected(false);
    food.fireAction();
    EXPECT_FALSE(entry.enabled());
    EXPECT_EQ(entry.promisedLots(), 3);
    EXPECT_EQ(at_storage.demand_, 0);
    food.setSelected(true);
    food.fireAction();
    EXPECT_TRUE(entry.enabled());
    EXPECT_EQ(at_storage.demand_, -12);
    EXPECT_EQ(d->result(), kDaxDialogOpen);
    m.setGoodsLink(kFood, entry, RnObjectID(), true, true);

    // With a storage linked to one entry, a wanted entry without one says
    // so, and the status no longer says that no storage is near.
    m.goods_stored_[kWood].near_storage_ = stor_;
    d = open<RnMrktDialog>(mrkt_);
    const std::vector<std::string> lines = column(*d);
    EXPECT_EQ(lines[3], "[x] 6 food, 3 on the way, no storage near");
    EXPECT_EQ(lines[4], "status: 1 market woman on the way");
}

TEST_F(DialogTest, HouseLinesFollowItsLevel) {
    RnHous& h = grn_game.housByOid(house_);
    struct Case {
        const char* name;
        uint32_t level;
        int16_t desirability;
        uint32_t tax_due;  // when the tax visit is due
        const char* material;
        const char* first_status_line;
        const char* tax_line;
    } cases[] = {
        {"below its level", 1, 5, kNow + 36 * 12, "building material 100% (wood) +planks",
         "The neighbourhood is too poor for this level.", "tax collector: 0.6$"},
        {"the visit due", 1, 20, kNow - 1, "building material 100% (wood) +planks",
         "The neighbourhood must get better for the next level.", "tax collector: 2.4$"},
        {"top level", 2, 40, kNow + 36 * 12, "building material 100% (wood, planks)",
         "The neighbourhood is fine.", "tax collector: 0.6$"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (static_cast<uint32_t>(h.curLevel()) < c.level) {
            // The manor's planks arrive, then the house rises.
            h.material_in_store_[kPlanks].add(DaxGameTime(kNow), 2, 240);
            h.levelUp(DaxGameTime(kNow), grn_game.housType(0));
        }
        setDesirability(h, c.desirability);
        h.services_[kTaxOffice].needed_again_at_ = DaxGameTime(c.tax_due);
        std::unique_ptr<RnBuildingDialog> d = open<RnBuildingDialog>(house_);
        const std::vector<std::string> lines = column(*d);
        EXPECT_EQ(lines[1], std::string("material: ") + c.material);
        const std::string status = d->statusBox().getText();
        EXPECT_EQ(status.substr(0, status.find('\n')), c.first_status_line);
        EXPECT_NE(status.find(c.tax_line), std::string::npos) << status;
        // The next level's material is asked for only below the top.
        EXPECT_EQ(status.find("The next level needs") != std::string::npos, c.level < 2) << status;
    }
}

TEST_F(DialogTest, ThePictureShowsTheImageItsNameAndNote) {
    dax_strings.addString(6300, "a deep well", true);
    const DaxBitmapIndex plain = registerMemoryBitmap(DaxBitmapKey("well", 3, 0), 40, 30, 0, 0);
    const DaxBitmapIndex noted = dax_bitmaps.add(DaxBitmapKey("well", 4, 7), zorMemoryBitmap(40, 30), 0, 0, false, 6300);
    ASSERT_EQ(noted & 1, 1);
    RnMapTile& tile = grn_map.tile(7, 19);
    struct Case {
        DaxBitmapIndex id;
        const char* line;  // null: no picture
    } cases[] = {{plain, "image: well.003"}, {noted, "image: well.004.07 (a deep well)"}, {kDaxNoBitmap, nullptr}};
    for (const Case& c : cases) {
        tile.second_bmp_idx_ = c.id;
        std::unique_ptr<RnBuildingDialog> d = open<RnBuildingDialog>(well_);
        EXPECT_EQ(d->imagePanel().isShown(), c.line != nullptr);
        if (c.line) {
            EXPECT_EQ(column(*d).back(), c.line);
            EXPECT_EQ(d->imagePanel().icon().getWidth(), 40);
        } else {
            EXPECT_EQ(column(*d).back(), "summary");
        }
    }
}

}  // namespace
