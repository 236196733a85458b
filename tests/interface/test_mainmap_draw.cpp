// The main map's frame on a memory bitmap: buildings cut into column strips,
// the status markers, the walkers' markers, goods piles and their lanes in a
// storage, and the faded drawing of the 't' key.
#include <allegro5/allegro.h>

#include <memory>

#include "al5gcn/allegro5graphics.hpp"
#include "rn_bld_deco.h"
#include "rn_bld_hous.h"
#include "rn_bld_prod.h"
#include "rn_bld_serv.h"
#include "rn_bld_stor.h"
#include "rn_wlk_serv.h"
#include "support/bitmaps.h"
#include "ui_fixture.h"

using namespace uitest;

namespace {

constexpr int kW = 800;
constexpr int kH = 600;

// A main map whose keyboard is the test's.
class KeyMap : public RnMainMapAllegro {
public:
    using RnMainMapAllegro::RnMainMapAllegro;
    bool b_held = false;

protected:
    bool keyHeld(int key) const override { return b_held && key == ALLEGRO_KEY_B; }
};

Rgba rgb(int r, int g, int b) { return Rgba{r, g, b, 255}; }

class MapDrawTest : public UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        target_ = zorMemoryBitmap(kW, kH);
        ASSERT_NE(target_, nullptr);
    }
    void TearDown() override {
        map_.reset();
        al_destroy_bitmap(target_);
        UiTest::TearDown();
    }
    void makeView(int n) {
        makeMap(n);
        map_ = std::make_unique<KeyMap>(kW, kH);
        map_->initView();
    }
    void draw() {
        ALLEGRO_BITMAP* old = al_get_target_bitmap();
        al_set_target_bitmap(target_);
        gcn::Allegro5Graphics g;
        g._beginDraw();
        g.pushClipArea(gcn::Rectangle(0, 0, kW, kH));
        map_->draw(&g);
        g.popClipArea();
        g._endDraw();
        al_set_target_bitmap(old);
    }
    Rgba at(int x, int y) const { return pixel(target_, x, y); }
    // Screen position of the top corner of tile (x, y).
    void corner(int x, int y, int& sx, int& sy) const {
        float fx = 0, fy = 0;
        map_->mapToScreen(fx, fy, static_cast<float>(x), static_cast<float>(y));
        sx = static_cast<int>(fx);
        sy = static_cast<int>(fy);
    }
    void hover(int x, int y) {
        float fx = 0, fy = 0;
        map_->mapToScreen(fx, fy, x + 0.5f, y + 0.5f);
        gcn::MouseEvent e(map_.get(), map_.get(), false, false, false, false, gcn::MouseEvent::Moved, 0,
                          static_cast<int>(fx), static_cast<int>(fy), 0);
        map_->mouseMoved(e);
    }
    // A worker requirement every workplace of the map reaches, and people
    // for it: a house in the map's corner (drawn without images) with a
    // worker, so that the workplaces have workers within reach.
    static std::vector<RnWorkerReq> workersInReach() {
        if (grn_game.peoplTypes().empty()) {
            int16_t p = grn_game.addPeoplType(RnPeoplType(900, "people"));
            RnHousType ht;
            ht.type_id_ = 901;
            ht.ppl_type_idx_ = p;
            ht.level_descs_.push_back(RnHousLevelDesc());
            RnHousType& type = grn_game.housType(grn_game.addHousType(ht));
            grn_game.housByOid(type.createBuilding(0, 0)).offerWorkers(type, 1);
        }
        return {RnWorkerReq{0, 1, 40}};
    }
    // A 1 by 1 production building of colour (0, 0, 200), 64 by 40 pixels
    // (its type is made with the first).
    RnProd& addProduction(int x, int y) {
        if (grn_game.prodTypes().empty()) {
            registerMemoryBitmap(DaxBitmapKey("prod_img", 1, 0), 64, 40, 32, 40, al_map_rgb(0, 0, 200));
            RnProdType pt;
            pt.type_id_ = 500;
            pt.name_ = "prod";
            pt.image_ = "prod_img";
            pt.worker_reqs_ = workersInReach();
            grn_game.addProdType(pt);
        }
        RnObjectID id = grn_game.prodType(0).createBuilding(x, y);
        return grn_game.prodByOid(id);
    }

    ALLEGRO_BITMAP* target_ = nullptr;
    std::unique_ptr<KeyMap> map_;
};

TEST_F(MapDrawTest, ABuildingIsDrawnInColumnStripsWithoutGapOrOverlap) {
    makeView(20);
    registerMemoryBitmap(DaxBitmapKey("deco_img", 1, 0), 128, 50, 64, 50, al_map_rgb(200, 0, 0));
    RnDecoType dt;
    dt.type_id_ = 700;
    dt.name_ = "deco";
    dt.width_ = 2;
    dt.height_ = 2;
    dt.image_ = dt.image_defunc_ = "deco_img";
    grn_game.addDecoType(dt);
    grn_game.decoType(0).createBuilding(10, 10);
    draw();
    // One strip from the tile left of the image tile on its row, one from
    // the image tile; the other footprint row adds none.
    EXPECT_EQ(map_->imagesDrawn(), 2);
    int sx = 0, sy = 0;
    corner(10, 10, sx, sy);
    const int top = sy + 32 - 50;
    for (int x = sx - 64; x < sx + 64; ++x) EXPECT_EQ(at(x, top + 10), rgb(200, 0, 0)) << x - sx;
    EXPECT_EQ(at(sx - 65, top + 10), kBlack);
    EXPECT_EQ(at(sx + 64, top + 10), kBlack);
}

TEST_F(MapDrawTest, TheStatusMarkerFollowsTheWorkersAndTheResource) {
    makeView(20);
    RnProd& p = addProduction(10, 10);
    int sx = 0, sy = 0;
    corner(10, 10, sx, sy);
    // bx = (w + h) * tw / 4 - anchor x + sx; by = (1.5 - (w + h) / 2.5) * th + sy
    const int bx = 2 * 64 / 4 - 32 + sx;
    const int by = static_cast<int>((1.5 - 2 / 2.5) * 32 + sy);
    struct Case {
        float workers, resource;
        int marker;  // -1: none
    } cases[] = {
        {1.0f, 0.5f, RnMainMapAllegro::kOrangeAlert},
        {0.005f, 1.0f, RnMainMapAllegro::kRedAlert},
        {0.5f, 1.0f, RnMainMapAllegro::kNoPeople},
        {1.0f, 1.0f, -1},
    };
    for (const Case& c : cases) {
        p.worker_factor_ = c.workers;
        p.resource_factor_ = c.resource;
        draw();
        // Markers are 8 by 8 with their anchor at (4, 9).
        const Rgba seen = at(bx, by - 5);
        if (c.marker < 0) {
            EXPECT_EQ(seen, rgb(0, 0, 200)) << c.workers << " " << c.resource;
        } else {
            EXPECT_EQ(seen, rgb(100 + c.marker, 7, 7)) << c.workers << " " << c.resource;
        }
    }
}

TEST_F(MapDrawTest, WalkersOfTheHoveredBuildingCarryTheirMarker) {
    makeView(20);
    RnProd& home = addProduction(10, 10);
    home.worker_factor_ = 1.0f;
    RnProd& other = addProduction(4, 4);
    registerMemoryBitmap(DaxBitmapKey("walker_img", 1, 0), 8, 16, 4, 17, al_map_rgb(0, 200, 0));
    const DaxBitmapIndex img = dax_bitmaps.findVariant("walker_img", 0);
    auto walker = [&](int x, int y) -> RnWalkerGeneric& {
        RnObjectID id = addWalker();
        RnWalkerGeneric& w = grn_game.walkerByOid(id);
        w.at_ = RnWalkerWaypoint{x + 0.5f, y + 0.5f, 0};
        w.image_ = img;
        grn_map.tile(x, y).addWalker(id);
        return w;
    };
    walker(12, 12).home_oid_ = home.oid_;
    RnWalkerGeneric& visitor = walker(6, 14);
    visitor.home_oid_ = other.oid_;
    visitor.target_building_oid_ = home.oid_;
    walker(8, 14).home_oid_ = other.oid_;
    hover(10, 10);
    draw();
    auto markerAt = [&](int tx, int ty) {
        float fx = 0, fy = 0;
        map_->mapToScreen(fx, fy, tx + 0.5f, ty + 0.5f);
        const int wsx = static_cast<int>(fx);
        const int top = static_cast<int>(fy) - 17;
        EXPECT_EQ(at(wsx, top + 5), rgb(0, 200, 0));  // the walker itself
        return at(wsx, top - 30 - 5);
    };
    EXPECT_EQ(markerAt(12, 12), rgb(100 + RnMainMapAllegro::kWalkerSecond, 7, 7));
    EXPECT_EQ(markerAt(6, 14), rgb(100 + RnMainMapAllegro::kWalkerDirect, 7, 7));
    EXPECT_EQ(markerAt(8, 14), kBlack);
}

TEST_F(MapDrawTest, HoldingBHidesTheGoodsPiles) {
    makeView(20);
    registerMemoryBitmap(DaxBitmapKey("serv_img", 1, 0), 64, 40, 32, 40, al_map_rgb(0, 0, 200));
    registerMemoryBitmap(DaxBitmapKey("goods_img", 1, 0), 6, 4, 3, 5, al_map_rgb(250, 250, 0));
    grn_game.addGoodsType(RnGoodsType("water", 800, 1, 1, dax_bitmaps.findVariant("goods_img", 0)));
    const int16_t st = addServType(300, 1, 1);
    grn_game.servType(st).image_ = "serv_img";
    // Three in store are what a walker needs: no missing-goods marker.
    grn_game.servType(st).needs_.push_back(RnGoodsAmount{0, 3});
    grn_game.servType(st).worker_reqs_ = workersInReach();
    RnServ& s = grn_game.servByOid(grn_game.servType(st).createBuilding(10, 10));
    s.efficiency_ = 1.0f;
    s.goods_stored_[0].amt_.stored_ = 3;
    draw();
    EXPECT_EQ(map_->imagesDrawn(), 1 + 3);
    map_->b_held = true;
    draw();
    EXPECT_EQ(map_->imagesDrawn(), 1);
}

TEST_F(MapDrawTest, AStorageLaysOneLanePerGoodsType) {
    makeView(20);
    registerMemoryBitmap(DaxBitmapKey("stor_img", 1, 0), 90, 40, 45, 40, al_map_rgb(0, 0, 200));
    for (int g = 0; g < 3; ++g) {
        const std::string name = "goods" + std::to_string(g);
        registerMemoryBitmap(DaxBitmapKey(name, 1, 0), 2, 2, 1, 2, al_map_rgb(250, static_cast<unsigned char>(g), 0));
        grn_game.addGoodsType(RnGoodsType(name, 800 + g, 1, 1, dax_bitmaps.findVariant(name, 0)));
    }
    RnStorType t;
    t.type_id_ = 600;
    t.name_ = "stor";
    t.image_ = "stor_img";
    t.distribute_goods_ = {0, 1, 2};
    grn_game.addStorType(t);
    RnStor& s = grn_game.storByOid(grn_game.storType(0).createBuilding(10, 10));
    s.efficiency_ = 1.0f;
    s.goods_stored_[0].stored_nlots_ = 1;
    draw();
    // Lanes trunc(90 / 13.5) = 6 pixels apart; the first starts at 12.
    int sx = 0, sy = 0;
    corner(10, 10, sx, sy);
    const int x = sx - 12 - 1;
    const int y = static_cast<int>((sy + 32 - 10) - 12 * 0.5) - 2;
    EXPECT_EQ(at(x, y), rgb(250, 0, 0));
    EXPECT_EQ(at(x + 1, y + 1), rgb(250, 0, 0));
}

TEST_F(MapDrawTest, SeeThroughFadesBuildingsThatAreNotFlat) {
    makeView(20);
    RnProd& p = addProduction(10, 10);
    p.worker_factor_ = 1.0f;
    int sx = 0, sy = 0;
    corner(10, 10, sx, sy);
    draw();
    EXPECT_EQ(at(sx, sy - 4), rgb(0, 0, 200));
    map_->setSeeThrough(true);
    draw();
    const Rgba faded = at(sx, sy - 4);
    EXPECT_LT(faded.b, 200);
    grn_game.prodType(0).flat_ = 1;
    draw();
    EXPECT_EQ(at(sx, sy - 4), rgb(0, 0, 200));
}

}  // namespace
