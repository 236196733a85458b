// The overview screen over the small town: the radio buttons of the types
// (which show, which are enabled, the goods' balance colours), the modes the
// radios choose, the zoom, the back way, the colours of each picture, the
// markers, and the clicks and hover texts of the picture.
#include <allegro5/allegro.h>

#include <cmath>
#include <memory>
#include <string>

#include "gcn/key.hpp"
#include "rn_game_infostr.h"
#include "rn_menu_overview.h"
#include "support/bitmaps.h"
#include "town_fixture.h"

using namespace uitest;

namespace {

using Mode = RnOverviewMapWidget;

class TestMainMap : public RnMainMap {
public:
    using RnMainMap::RnMainMap;
    void draw(gcn::Graphics*) override {}
};

class OverviewTest : public TownTest {
protected:
    void SetUp() override {
        TownTest::SetUp();
        // Grey land, so that every tint shows.
        for (int c = 0; c < 3; ++c) grn_game.terrain(worldtest::kGrass).colour_[c] = 0.4f;
        for (int id : {kRnStateRunGame, kRnStateOverview}) {
            menus_.registerMenu(id, [](int) -> DaxSubMenuIfc* { return nullptr; }, kDaxLifetimeCatchUp, false, false);
        }
    }
    void TearDown() override {
        if (bmp_) al_destroy_bitmap(bmp_);
        grn_pmainmap = nullptr;
        main_.reset();
        TownTest::TearDown();
    }

    // A picture of the whole map at one pixel a tile, in the given mode.
    RnOverviewMapWidget& picture(int mode, RnObjectTypeID type = RnObjectTypeID()) {
        widget_ = std::make_unique<RnOverviewMapWidget>();
        widget_->setSize(40, 40);
        widget_->setMode(mode, type);
        return *widget_;
    }
    // Paints the terrain pass (and the markers over it with status) into a
    // fresh bitmap.
    void paint(bool objects = false, bool status = false) {
        if (bmp_) al_destroy_bitmap(bmp_);
        bmp_ = zorMemoryBitmap(40, 40, al_map_rgba(0, 0, 0, 0));
        ALLEGRO_BITMAP* old = al_get_target_bitmap();
        al_set_target_bitmap(bmp_);
        widget_->paintTerrain(nullptr);
        if (objects) {
            al_clear_to_color(al_map_rgba(0, 0, 0, 0));
            widget_->paintObjects(nullptr, status);
        }
        al_set_target_bitmap(old);
    }
    Rgba at(int x, int y) const { return pixel(bmp_, x, y); }
    static Rgba rgb(float r, float g, float b) {
        return Rgba{static_cast<int>(std::lround(r * 255)), static_cast<int>(std::lround(g * 255)),
                    static_cast<int>(std::lround(b * 255)), 255};
    }
    static float dimmed(float c, float mean) { return c * 0.1f + mean * 0.9f; }

    void makeMainMap() {
        main_ = std::make_unique<TestMainMap>(800, 600);
        grn_pmainmap = main_.get();
        main_->initView();
    }

    RecordingMenus menus_;
    std::unique_ptr<RnOverviewMapWidget> widget_;
    std::unique_ptr<TestMainMap> main_;
    ALLEGRO_BITMAP* bmp_ = nullptr;
};

// Two channels are equal when they differ by rounding only.
::testing::AssertionResult near(const Rgba& a, const Rgba& b) {
    if (std::abs(a.r - b.r) <= 1 && std::abs(a.g - b.g) <= 1 && std::abs(a.b - b.b) <= 1 && a.a == b.a) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure() << a << " is not " << b;
}

TEST_F(OverviewTest, TheRadiosShowWhichTypesThereAreAndHowTheGoodsFare) {
    grn_game.addGoodsType(RnGoodsType("stone", 14, 4, 1, -2));
    const int16_t stone = 3;
    RnProdType quarry;
    simple(quarry, 501, "quarry", 1);
    grn_game.addProdType(quarry);
    RnOverviewMenu menu(1024, 768);

    // Tab 1 lists the building types by group; the goods of the houses
    // come first on tab 2; the production types alternate on tab 3.
    EXPECT_EQ(menu.tabs().getNumberOfTabs(), 3);
    for (auto [kind, idx] : std::initializer_list<std::pair<int16_t, int16_t>>{
             {RnIdBldHous, 0}, {RnIdBldBldr, 0}, {RnIdBldServ, 0}, {RnIdBldServ, 1}, {RnIdBldMrkt, 0},
             {RnIdBldStor, 0}, {RnIdNone, kFood}, {RnIdNone, kWood}, {RnIdBldProd, 0}, {RnIdBldProd, 1}}) {
        EXPECT_NE(menu.typeRadio(kind, idx), nullptr) << kind << " " << idx;
    }
    EXPECT_NE(menu.typeRadio(RnIdNone, kFood)->getParent(), menu.typeRadio(RnIdNone, kWood)->getParent());
    EXPECT_EQ(menu.typeRadio(RnIdNone, kWood)->getParent(), menu.typeRadio(RnIdNone, kPlanks)->getParent());
    EXPECT_NE(menu.typeRadio(RnIdBldProd, 0)->getParent(), menu.typeRadio(RnIdBldProd, 1)->getParent());

    // A type without buildings: a service is disabled, a production type
    // hidden; goods without statistics hidden.
    EXPECT_TRUE(menu.typeRadio(RnIdBldServ, kWell)->isEnabled());
    EXPECT_FALSE(menu.typeRadio(RnIdBldServ, kTaxOffice)->isEnabled());
    EXPECT_TRUE(menu.typeRadio(RnIdBldProd, 0)->isVisible());
    EXPECT_FALSE(menu.typeRadio(RnIdBldProd, 1)->isVisible());
    EXPECT_FALSE(menu.typeRadio(RnIdNone, stone)->isVisible());
    grn_game.prodType(1).createBuilding(30, 19);
    grn_game.goodsType(stone).market_instances_ = 1;
    menu.getContainer();
    EXPECT_TRUE(menu.typeRadio(RnIdNone, stone)->isVisible());
    EXPECT_TRUE(menu.typeRadio(RnIdBldProd, 1)->isVisible());

    // The balance colours: the week's rates first, then stock against need
    // over the town (stone: none of either).
    struct Case {
        int16_t goods;
        double made, used;
        gcn::Color colour;
    } cases[] = {
        {stone, 0, 0, gcn::Color(192, 255, 180)},  // nothing made or used
        {stone, 1, 1, gcn::Color(192, 255, 180)},  // balanced
        {stone, 1, 2, gcn::Color(255, 64, 64)},    // short
        {stone, 3, 2, gcn::Color(128, 255, 128)},  // plentiful
        {kPlanks, 1, 1, gcn::Color(128, 255, 128)},  // 8 in stock, none needed
        {kFood, 0, 0, gcn::Color(255, 64, 64)},      // 6 in stock, 21 needed
        {kWood, 3, 2, gcn::Color(255, 255, 64)},     // made plenty, but 6 needed of 5
    };
    for (const Case& c : cases) {
        RnGoodsType& gt = grn_game.goodsType(c.goods);
        gt.rate_prod_ = c.made;
        gt.rate_hous_ = c.used;
        gt.rate_deco_ = gt.rate_serv_ = gt.rate_p_in_ = gt.rate_other_ = 0.0;
        menu.refreshRadios();
        EXPECT_EQ(menu.typeRadio(RnIdNone, c.goods)->getBackgroundColor(), c.colour)
            << grn_game.goodsType(c.goods).name_ << " " << c.made << " " << c.used;
    }

    // Hovering a type's radio describes the type.
    char buf[2048] = {};
    std::string expected;
    rnBuildMenuTooltip(expected, RnIdBldStor, 400, "storehouse");
    EXPECT_EQ(menu.typeRadio(RnIdBldStor, 0)->overlayText(buf, sizeof(buf)), static_cast<int>(expected.size()));
    EXPECT_EQ(buf, expected);
    expected.clear();
    rnGoodsLine(expected, kFood, RnObjectID(), true, false);
    menu.typeRadio(RnIdNone, kFood)->overlayText(buf, sizeof(buf));
    EXPECT_EQ(buf, expected);
}

TEST_F(OverviewTest, TheRadiosChooseThePictureAndTheBackButtonLeaves) {
    grn_game.goodsType(kFood).production_sites_ = 1;
    RnOverviewMenu menu(1024, 768);
    EXPECT_EQ(menu.picture().mode(), Mode::kPlain);
    struct Case {
        gcn::RadioButton* radio;
        int mode;
        RnObjectTypeID type;
    } cases[] = {
        {&menu.fixedRadio(RnOverviewMenu::kFixedDesirability), Mode::kDesirability, RnObjectTypeID()},
        {&menu.fixedRadio(RnOverviewMenu::kFixedWorkforce), Mode::kWorkforce, RnObjectTypeID()},
        {&menu.fixedRadio(RnOverviewMenu::kFixedRoads), Mode::kRoads, RnObjectTypeID(RnIdBldRoad, -1)},
        {&menu.fixedRadio(RnOverviewMenu::kFixedProduction), Mode::kProduction, RnObjectTypeID(RnIdBldProd, -1)},
        {menu.typeRadio(RnIdNone, kFood), Mode::kGoods, RnObjectTypeID(RnIdNone, kFood)},
        {menu.typeRadio(RnIdBldHous, 0), Mode::kBuildingType, RnObjectTypeID(RnIdBldHous, 0)},
        {menu.typeRadio(RnIdBldStor, 0), Mode::kBuildingType, RnObjectTypeID(RnIdBldStor, 0)},
        {&menu.fixedRadio(RnOverviewMenu::kFixedPlain), Mode::kPlain, RnObjectTypeID()},
    };
    for (const Case& c : cases) {
        c.radio->setSelected(true);
        c.radio->fireAction();
        EXPECT_EQ(menu.picture().mode(), c.mode) << c.radio->getCaption();
        EXPECT_EQ(menu.picture().selectedType(), c.type) << c.radio->getCaption();
        EXPECT_TRUE(menu.picture().fullRedrawPending());
    }
    // One radio of the group at a time.
    EXPECT_FALSE(menu.typeRadio(RnIdBldStor, 0)->isSelected());

    // Back, by the button or Escape, to the screen the overview came from.
    for (int i = 0; i < 2; ++i) {
        menus_.requestState(kRnStateRunGame);
        menus_.takeNewTopWidget();
        menus_.requestState(kRnStateOverview);
        menus_.takeNewTopWidget();
        if (i == 0) {
            menu.backButton().fireAction();
        } else {
            gcn::KeyEvent escape = keyPressEvent(gcn::Key::Escape);
            menu.keyPressed(escape);
            EXPECT_TRUE(escape.isConsumed());
        }
        menus_.takeNewTopWidget();
        EXPECT_EQ(menus_.currentState(), kRnStateRunGame);
    }
}

TEST_F(OverviewTest, TheZoomFollowsThePicturesRoom) {
    // The most pixels a tile that the 40-tile map fits in each direction.
    struct Case {
        int w, h;
        float zoom;
    } cases[] = {{79, 200, 1.0f}, {81, 81, 2.0f}, {121, 300, 3.0f}, {161, 161, 4.0f}, {500, 500, 4.0f}};
    for (const Case& c : cases) {
        RnOverviewMapWidget w;
        w.setSize(c.w, c.h);
        EXPECT_EQ(w.zoom(), c.zoom) << c.w << "x" << c.h;
    }
    // Zoom 4 hides the zoom; a picture too small for 2 keeps its zoom and
    // offers the steps up to 4.
    RnOverviewMenu roomy(1024, 768);
    EXPECT_EQ(roomy.picture().zoom(), 4.0f);
    EXPECT_FALSE(roomy.zoomSlider().isVisible());
    EXPECT_FALSE(roomy.zoomLabel().isVisible());
    RnOverviewMenu tight(1024, 60);
    EXPECT_EQ(tight.picture().zoom(), 1.0f);
    EXPECT_TRUE(tight.zoomSlider().isVisible());
    EXPECT_EQ(tight.zoomSlider().getScaleStart(), 1.0);
    EXPECT_EQ(tight.zoomSlider().getScaleEnd(), 4.0);
    tight.zoomSlider().setValue(3.0);
    tight.zoomSlider().fireAction();
    EXPECT_EQ(tight.picture().zoom(), 3.0f);
    // The window shows the tiles around the same centre at the new zoom.
    EXPECT_EQ(tight.picture().endY() - tight.picture().firstY(), 20);
    EXPECT_EQ(tight.picture().getX() + tight.picture().getWidth(), tight.tabs().getParent()->getX());
}

TEST_F(OverviewTest, ThePlainPictureAndTheDesirabilityTints) {
    picture(Mode::kPlain);
    grn_game.servType(kWell).colour_[0] = 1.0f;
    grn_map.tile(3, 3).desirability_ = 9;
    paint();
    EXPECT_EQ(at(3, 3), rgb(0.4f, 0.4f, 0.4f));
    EXPECT_EQ(at(7, 19), rgb(1.0f, 0.0f, 0.0f));

    // The slopes rise from the greatest desirability a house level needs
    // (40 here): d = 9 lies above 40 / 7 = 5, f = trunc(255 / 40 * 4 + 5) /
    // 255.
    picture(Mode::kDesirability);
    grn_map.tile(3, 4).desirability_ = -50;
    paint();
    const float f = 30.0f / 255.0f;
    const float k = 1.0f - f / 2.0f;
    EXPECT_TRUE(near(at(3, 3), rgb(0.4f * k, 0.4f * k + f * (1.0f - 0.4f * k), 0.4f * k)));
    // -50 lies past the slope of 40 / 8 = 5: full red.
    EXPECT_TRUE(near(at(3, 4), rgb(0.4f * 0.5f + 0.8f, 0.2f, 0.2f)));
    EXPECT_EQ(at(5, 5), rgb(0.4f, 0.4f, 0.4f));

    // No house level needs any desirability: no slope, every tint at full
    // strength instead of a division by zero.
    for (RnHousLevelDesc& level : grn_game.housType(0).level_descs_) level.needed_attr_ = 0;
    picture(Mode::kDesirability);
    paint();
    EXPECT_TRUE(near(at(3, 3), rgb(0.2f, 1.0f, 0.2f)));
    EXPECT_TRUE(near(at(3, 4), rgb(1.0f, 0.2f, 0.2f)));
    // A need of 5: the negative slope (5 / 8 = 0) is gone, the positive one
    // (255 / 5) still rises: 9 is past its end.
    grn_game.housType(0).level_descs_.back().needed_attr_ = 5;
    picture(Mode::kDesirability);
    paint();
    EXPECT_TRUE(near(at(3, 3), rgb(0.2f, 1.0f, 0.2f)));
    EXPECT_TRUE(near(at(3, 4), rgb(1.0f, 0.2f, 0.2f)));
}

TEST_F(OverviewTest, TheWorkforcePictureShowsWorkersAndJobs) {
    // The house's type colour, drained, then as green as its share of the
    // most workers a house offers (24 x 50 % = 12): 6 of 12.
    RnHousType& ht = grn_game.housType(0);
    for (int c = 0; c < 3; ++c) ht.colour_[c] = 0.4f;
    grn_game.prodType(0).colour_[0] = 0.4f;
    picture(Mode::kWorkforce);
    paint();
    EXPECT_TRUE(near(at(5, 19), rgb(0.4f, 0.4f + 0.5f * 0.6f, 0.4f)));
    // The sawmill: 1 of 12 assigned, red for the rest.
    const float mean = 0.4f / 3.0f;
    const float r = dimmed(0.4f, mean);
    const float gb = dimmed(0.0f, mean);
    EXPECT_TRUE(near(at(13, 19), rgb(r + (1 - r) * (11.0f / 12.0f), gb, gb)));

    // No house type offers workers: no share to take, the workplaces show
    // as having none.
    ht.percent_workers_ = 0;
    picture(Mode::kWorkforce);
    paint();
    EXPECT_TRUE(near(at(5, 19), rgb(0.4f, 0.4f, 0.4f)));
    EXPECT_TRUE(near(at(13, 19), rgb(1.0f, gb, gb)));
}

TEST_F(OverviewTest, TheTypePicturesShowLevelsNeedsAndNetworks) {
    // The house type: from red (its first level) to cyan (its last); a
    // type of one level is always at its full level.
    picture(Mode::kBuildingType, RnObjectTypeID(RnIdBldHous, 0));
    paint();
    EXPECT_TRUE(near(at(5, 19), rgb(0.5f, 1.0f, 0.5f)));  // level 1 of 0..2
    grn_game.housType(0).level_descs_.resize(1);
    grn_game.housByOid(house_).state_ &= ~RnHousPersData::kLevelMask;
    paint();
    EXPECT_TRUE(near(at(5, 19), rgb(0.0f, 1.0f, 1.0f)));

    // The storehouse type: its buildings white, its network's link in white
    // from centre to centre, everything else drained.
    picture(Mode::kBuildingType, RnObjectTypeID(RnIdBldStor, 0));
    paint();
    EXPECT_EQ(at(9, 18), rgb(1, 1, 1));
    // On the link between the centres, at the height of the footprints'
    // middle (between rows 18 and 19).
    EXPECT_TRUE(at(17, 18) == rgb(1, 1, 1) || at(17, 19) == rgb(1, 1, 1));
    EXPECT_FALSE(at(17, 16) == rgb(1, 1, 1));

    // The builder yard type: the buildings short of material from green to
    // red by their need, over a trace of their drained colour; the others
    // drained.
    RnStor& stor = grn_game.storByOid(stor_);
    stor.material_in_store_[kPlanks] = RnMaterialInf{DaxGameTime(kNow - 10), DaxGameTime(kNow + 10), 2, 0};
    const int need = stor.materialNeed(DaxGameTime(kNow), RnObjectID(RnIdBldBldr, 0, -1));
    ASSERT_GT(need, 0);
    picture(Mode::kBuildingType, RnObjectTypeID(RnIdBldBldr, 0));
    paint();
    const float q = (1000 - need) / 1000.0f;
    const float w = 0.2f + 0.2f * q;
    EXPECT_TRUE(near(at(10, 19), rgb((1 - w) * (1 - q / 2), (1 - w) * q, 0.0f)));  // a type colour of black
    EXPECT_EQ(at(24, 19), rgb(0, 0, 0));
    EXPECT_EQ(at(20, 19), rgb(1, 1, 1));

    // Roads white in the roads picture.
    picture(Mode::kRoads, RnObjectTypeID(RnIdBldRoad, -1));
    paint();
    EXPECT_EQ(at(12, 20), rgb(1, 1, 1));
}

TEST_F(OverviewTest, TheGoodsPictureShowsWhoHandlesTheGoods) {
    picture(Mode::kGoods, RnObjectTypeID(RnIdNone, kWood));
    paint();
    // The storehouse by its fill (5 of 32 lots), the sawmill taking wood
    // (3 of 8), the fountain (1 of 2), the market selling none.
    const float fs = 5.0f / 32.0f;
    EXPECT_TRUE(near(at(10, 19), rgb(0.0f, 0.6f + 0.4f * fs, fs)));
    EXPECT_TRUE(near(at(13, 19), rgb(1.0f, 0.6f + 0.4f * 3.0f / 8.0f, 0.0f)));
    EXPECT_TRUE(near(at(18, 19), rgb(1.0f, 0.6f + 0.4f * 0.5f, 0.0f)));
    EXPECT_TRUE(near(at(16, 19), rgb(1.0f, 0.0f, 0.0f)));
    EXPECT_EQ(at(10, 14), rgb(0.4f, 0.4f, 0.4f));
    // A storehouse whose buildings around need wood shows a red veil
    // around it, one whose buildings bring it a green one.
    RnStor& stor = grn_game.storByOid(stor_);
    for (int demand : {-3, 3}) {
        stor.goods_stored_[kWood].demand_ = static_cast<int16_t>(demand);
        paint();
        const Rgba veiled = at(10, 14);
        EXPECT_EQ(veiled.a, 255);
        EXPECT_EQ(demand < 0, veiled.r > veiled.g) << veiled;
        EXPECT_EQ(at(10, 11), rgb(0.4f, 0.4f, 0.4f));  // outside the veil
    }
    // Only the types that handle wood keep their markers.
    const std::set<Mode::TypeKey> handlers = {{RnIdBldStor, 0}, {RnIdBldProd, 0}, {RnIdBldMrkt, 0},
                                              {RnIdBldDeco, 0}, {RnIdBldBldr, 0}};
    EXPECT_EQ(widget_->markerFilter(), handlers);

    // Food: the house by its stock (3 of 16) as it can level up.
    picture(Mode::kGoods, RnObjectTypeID(RnIdNone, kFood));
    setDesirability(grn_game.housByOid(house_), 40);
    paint();
    const float f = 3.0f / 16.0f;
    const float w = 0.3f + 0.3f * f;
    const float house = dimmed(grn_game.housType(0).colour_[0], 0.0f);
    EXPECT_TRUE(near(at(5, 19), rgb(w * house + (1 - w), (1 - w) * f, 0.0f)));
}

TEST_F(OverviewTest, MarkersShowTroubleAndTheWalkersOfTheType) {
    // A walker of the well on the road.
    RnObjectID walker = addWalker();
    grn_game.servWalkerType(0).instances_[walker.bld_idx_].home_oid_ = well_;
    grn_map.tile(8, 20).addWalker(walker);
    struct Case {
        int mode;
        RnObjectTypeID type;
        bool status;
        Rgba walker, builder_yard;  // the builder yard has nobody at work
    } cases[] = {
        {Mode::kPlain, RnObjectTypeID(), true, rgb(1, 1, 1), rgb(1, 0, 0)},
        {Mode::kPlain, RnObjectTypeID(), false, rgb(1, 1, 1), kClear},
        {Mode::kBuildingType, RnObjectTypeID(RnIdBldServ, kWell), true, rgb(0, 1, 0), kClear},
        {Mode::kGoods, RnObjectTypeID(RnIdNone, kFood), true, kClear, kClear},
        {Mode::kDesirability, RnObjectTypeID(), true, rgb(1, 1, 1), kClear},
    };
    for (const Case& c : cases) {
        picture(c.mode, c.type);
        paint(true, c.status);
        EXPECT_EQ(at(8, 20), c.walker) << c.mode;
        EXPECT_EQ(at(20, 19), c.builder_yard) << c.mode;
    }
    // In the workforce picture a building without workers in reach shows
    // white: the well has them, a workplace far away has none.
    RnObjectID far = grn_game.bldrType(0).createBuilding(38, 2);
    picture(Mode::kWorkforce);
    paint(true, true);
    EXPECT_EQ(at(38, 2), rgb(1, 1, 1));
    EXPECT_EQ(at(7, 19), kClear);
    (void)far;
}

TEST_F(OverviewTest, AClickOnThePictureMovesTheMainMap) {
    makeMainMap();
    RnOverviewMapWidget& w = picture(Mode::kPlain);
    auto mouse = [&](int type, int button, int x, int y) {
        gcn::MouseEvent e(&w, &w, false, false, false, false, type, button, x, y, 1);
        if (type == gcn::MouseEvent::Pressed) w.mousePressed(e);
        if (type == gcn::MouseEvent::Moved) w.mouseMoved(e);
        return e.isConsumed();
    };
    EXPECT_FALSE(mouse(gcn::MouseEvent::Pressed, gcn::MouseEvent::Right, 12, 30));
    EXPECT_NE(main_->viewCentre(), std::make_pair(12.0f, 30.0f));
    EXPECT_TRUE(mouse(gcn::MouseEvent::Pressed, gcn::MouseEvent::Left, 12, 30));
    EXPECT_EQ(main_->viewCentre(), std::make_pair(12.0f, 30.0f));
    EXPECT_EQ(w.viewX(), 12.0f);

    // The hover text is what stands on the tile under the mouse.
    char buf[2048] = {};
    mouse(gcn::MouseEvent::Moved, 0, 7, 19);
    std::string expected;
    rnTileInfo(expected, grn_map.tile(7, 19), false);
    EXPECT_EQ(w.overlayText(buf, sizeof(buf)), static_cast<int>(expected.size()));
    EXPECT_EQ(buf, expected);
    gcn::MouseEvent leave(&w, &w, false, false, false, false, gcn::MouseEvent::Exited, 0, 0, 0, 1);
    w.mouseExited(leave);
    EXPECT_EQ(w.overlayText(buf, sizeof(buf)), 0);

    // Outside the map (the margin of a picture larger than the map) a
    // click does nothing.
    w.setSize(60, 60);
    ASSERT_EQ(w.offsetX(), 10);
    EXPECT_FALSE(mouse(gcn::MouseEvent::Pressed, gcn::MouseEvent::Left, 3, 3));
    EXPECT_EQ(main_->viewCentre(), std::make_pair(12.0f, 30.0f));
}

}  // namespace
