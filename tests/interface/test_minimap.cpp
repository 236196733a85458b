// The mini map: the window of tiles it shows around the view centre, the
// click that centres the main map (the drawing inverted, margin and zoom
// included), and what it paints.
#include <allegro5/allegro.h>

#include <memory>

#include "rn_bld_serv.h"
#include "support/bitmaps.h"
#include "ui_fixture.h"

using namespace uitest;

namespace {

class TestMainMap : public RnMainMap {
public:
    using RnMainMap::RnMainMap;
    void draw(gcn::Graphics*) override {}
};

class MiniMapTest : public UiTest {
protected:
    void makeMaps(int n, int side, float zoom = 1.0f) {
        makeMap(n);
        main_ = std::make_unique<TestMainMap>(800, 600);
        grn_pmainmap = main_.get();
        main_->initView();
        createMiniMap(side, side);
        grn_pminimap->setZoom(zoom);
    }
    void TearDown() override {
        deleteMiniMap();
        grn_pmainmap = nullptr;
        main_.reset();
        UiTest::TearDown();
    }
    std::unique_ptr<TestMainMap> main_;
};

TEST_F(MiniMapTest, TheWindowFitsTheMapOrFollowsTheCentre) {
    struct Case {
        int n, side;
        float zoom, cx;
        int first, end, offset;
    } cases[] = {
        {100, 150, 1, 50, 0, 100, 25},   // smaller than the panel: centred
        {300, 150, 1, 290, 150, 300, -150},  // kept within the map at its end
        {300, 150, 1, 3, 0, 150, 0},     // and at its start
        {300, 150, 1, 100, 25, 175, -25},
        {64, 192, 3, 20, 0, 64, 0},      // three pixels a tile fill the panel
        {64, 150, 3, 40, 14, 64, -14},
    };
    for (const Case& c : cases) {
        makeMaps(c.n, c.side, c.zoom);
        grn_pminimap->setViewCentre(c.cx, c.cx);
        EXPECT_EQ(grn_pminimap->firstX(), c.first) << c.n << " " << c.cx;
        EXPECT_EQ(grn_pminimap->endX(), c.end) << c.n << " " << c.cx;
        EXPECT_EQ(grn_pminimap->offsetX(), c.offset) << c.n << " " << c.cx;
        EXPECT_EQ(grn_pminimap->firstY(), c.first);
        EXPECT_EQ(grn_pminimap->offsetY(), c.offset);
        TearDown();
        SetUp();
    }
}

TEST_F(MiniMapTest, AClickCentresTheMainMapOnTheTileUnderIt) {
    makeMaps(100, 150);
    grn_pminimap->setViewCentre(50, 50);
    auto click = [](int x, int y) {
        gcn::MouseEvent e(grn_pminimap, grn_pminimap, false, false, false, false, gcn::MouseEvent::Pressed, 1, x, y,
                          1);
        grn_pminimap->mousePressed(e);
        EXPECT_TRUE(e.isConsumed());
    };
    click(25 + 30, 25 + 70);
    EXPECT_EQ(main_->viewCentre(), std::make_pair(30.0f, 70.0f));
    // The margin of a small map does nothing.
    click(10, 60);
    click(140, 60);
    EXPECT_EQ(main_->viewCentre(), std::make_pair(30.0f, 70.0f));

    // Zoomed and scrolled: the drawing inverted.
    TearDown();
    SetUp();
    makeMaps(300, 150, 2.0f);
    grn_pminimap->setViewCentre(200, 200);  // window 162..236
    int x = 0, y = 0;
    ASSERT_TRUE(grn_pminimap->tileAt(21, 3, x, y));
    EXPECT_EQ(x, 162 + 10);
    EXPECT_EQ(y, 162 + 1);
}

TEST_F(MiniMapTest, TerrainAndBuildingsArePaintedInTheirColours) {
    makeMaps(20, 40);
    grn_game.terrain(worldtest::kGrass).colour_[0] = 0.0f;
    grn_game.terrain(worldtest::kGrass).colour_[1] = 1.0f;
    grn_game.terrain(worldtest::kGrass).colour_[2] = 0.0f;
    addServType(300, 1, 1);
    grn_game.servType(0).colour_[2] = 1.0f;
    grn_game.servType(0).createBuilding(5, 6);
    grn_pminimap->setViewCentre(10, 10);
    ALLEGRO_BITMAP* bmp = zorMemoryBitmap(40, 40, al_map_rgba(0, 0, 0, 0));
    ALLEGRO_BITMAP* old = al_get_target_bitmap();
    al_set_target_bitmap(bmp);
    RnMiniMap& p = *grn_pminimap;
    p.paintTerrain(nullptr);
    EXPECT_EQ(pixel(bmp, 10 + 2, 10 + 3), (Rgba{0, 255, 0, 255}));
    EXPECT_EQ(pixel(bmp, 1, 1), kClear);  // the margin
    // Without a main map there is no outline over the tiles.
    grn_pmainmap = nullptr;
    p.paintObjects(nullptr, false);
    EXPECT_EQ(pixel(bmp, 10 + 5, 10 + 6), (Rgba{0, 0, 255, 255}));
    // With the status on, a building without workers shows red.
    p.paintObjects(nullptr, true);
    EXPECT_EQ(pixel(bmp, 10 + 5, 10 + 6), (Rgba{255, 0, 0, 255}));
    // The outline veils what the main map shows.
    grn_pmainmap = main_.get();
    p.paintObjects(nullptr, true);
    EXPECT_EQ(pixel(bmp, 10 + 5, 10 + 6), (Rgba{255, 30, 30, 228}));
    al_set_target_bitmap(old);
    al_destroy_bitmap(bmp);
}

}  // namespace
