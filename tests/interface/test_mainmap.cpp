// The main map's geometry and input: the projection both ways, the centre
// kept within the map's margins with the visible range, key scrolling, and
// building, demolishing and opening dialogs through the mouse.
#include <allegro5/allegro.h>

#include <memory>
#include <string>

#include "dax2/dax_dialog.h"
#include "gcn/key.hpp"
#include "rn_bld_road.h"
#include "rn_bld_serv.h"
#include "ui_fixture.h"

using namespace uitest;

namespace {

gcn::MouseEvent mouseEvent(RnMainMap& map, int type, int button, int x, int y) {
    return gcn::MouseEvent(&map, &map, false, false, false, false, type, button, x, y, 1);
}

// A main map whose keyboard is the test's.
class TestMap : public RnMainMap {
public:
    using RnMainMap::RnMainMap;
    void draw(gcn::Graphics*) override {}
    bool shift = false;

protected:
    bool keyHeld(int key) const override { return shift && key == ALLEGRO_KEY_LSHIFT; }
};

// A dialog factory that remembers what it was asked for.
struct RecordingDialogs : RnBuildingDialogFactoryIfc {
    DaxDialogIfc* createTextDialog(const std::string& caption, const std::string& /*text*/) override {
        captions.push_back(caption);
        return nullptr;
    }
    DaxDialogIfc* createServDialog(const RnServ& b) override {
        captions.push_back(b.buildingType().name_);
        return nullptr;
    }
    std::vector<std::string> captions;
};

class MainMapTest : public UiTest {
protected:
    // A map of n grass tiles in an 800 by 600 view, centred.
    void makeView(int n) {
        makeMap(n);
        map_ = std::make_unique<TestMap>(800, 600);
        map_->initView();
    }
    // The widget point of the centre of tile (x, y).
    void point(int x, int y, int& sx, int& sy) const {
        float fx = 0;
        float fy = 0;
        map_->mapToScreen(fx, fy, x + 0.5f, y + 0.5f);
        sx = static_cast<int>(fx);
        sy = static_cast<int>(fy);
    }
    void moveTo(int x, int y) {
        int sx = 0, sy = 0;
        point(x, y, sx, sy);
        auto e = mouseEvent(*map_, gcn::MouseEvent::Moved, gcn::MouseEvent::Empty, sx, sy);
        map_->mouseMoved(e);
    }
    // A left click on tile (x, y), the mouse moved there first.
    void clickTile(int x, int y) {
        moveTo(x, y);
        int sx = 0, sy = 0;
        point(x, y, sx, sy);
        auto press = mouseEvent(*map_, gcn::MouseEvent::Pressed, gcn::MouseEvent::Left, sx, sy);
        map_->mousePressed(press);
        auto release = mouseEvent(*map_, gcn::MouseEvent::Released, gcn::MouseEvent::Left, sx, sy);
        map_->mouseReleased(release);
        EXPECT_TRUE(release.isConsumed());
    }
    void dragTiles(int x0, int y0, int x1, int y1) {
        moveTo(x0, y0);
        int sx = 0, sy = 0, ex = 0, ey = 0;
        point(x0, y0, sx, sy);
        point(x1, y1, ex, ey);
        auto press = mouseEvent(*map_, gcn::MouseEvent::Pressed, gcn::MouseEvent::Left, sx, sy);
        map_->mousePressed(press);
        for (int i = 1; i <= 4; ++i) {
            auto drag = mouseEvent(*map_, gcn::MouseEvent::Dragged, gcn::MouseEvent::Left, sx + (ex - sx) * i / 4,
                                   sy + (ey - sy) * i / 4);
            map_->mouseDragged(drag);
        }
        auto release = mouseEvent(*map_, gcn::MouseEvent::Released, gcn::MouseEvent::Left, ex, ey);
        map_->mouseReleased(release);
    }
    static int roads() { return grn_game.roadType(0).instanceCount(); }

    std::unique_ptr<TestMap> map_;
};

TEST_F(MainMapTest, ScreenPointsAndMapPositionsConvertBothWays) {
    TestMap map(800, 600);
    map.setGeometry(64, 32, 400, 100);
    struct Case {
        int sx, sy;
        float x, y;
    } cases[] = {
        {400, 100, 0.0f, 0.0f}, {432, 116, 1.0f, 0.0f}, {400, 132, 1.0f, 1.0f},
        {368, 116, 0.0f, 1.0f}, {416, 116, 0.75f, 0.25f}, {336, 68, -2.0f, 0.0f},
    };
    for (const Case& c : cases) {
        float x = 0, y = 0;
        map.screenToMap(x, y, c.sx, c.sy);
        EXPECT_FLOAT_EQ(x, c.x) << c.sx << "," << c.sy;
        EXPECT_FLOAT_EQ(y, c.y) << c.sx << "," << c.sy;
        float sx = 0, sy = 0;
        map.mapToScreen(sx, sy, c.x, c.y);
        EXPECT_FLOAT_EQ(sx, static_cast<float>(c.sx));
        EXPECT_FLOAT_EQ(sy, static_cast<float>(c.sy));
    }
}

TEST_F(MainMapTest, TheCentreStaysWithinTheMapsMargins) {
    // An 800 by 600 view of 64 by 32 tiles keeps 9 tiles of margin.
    struct Case {
        int n;
        float cx, cy;
        float want_x, want_y;
    } cases[] = {
        {64, 32, 32, 32, 32},  {64, 2, 50, 9, 50},    {64, 70, -5, 54, 9},
        {64, 9, 54, 9, 54},    {10, 5, 5, 0, 0},      {10, -3, 40, 0, 0},  // too small: both end at n - m - 1
    };
    for (const Case& c : cases) {
        makeView(c.n);
        map_->setViewCentre(c.cx, c.cy);
        EXPECT_FLOAT_EQ(map_->viewCentre().first, c.want_x) << c.n << ": " << c.cx << "," << c.cy;
        EXPECT_FLOAT_EQ(map_->viewCentre().second, c.want_y) << c.n << ": " << c.cx << "," << c.cy;
        map_.reset();
        grn_game.clear();
        registerScreenImages();
    }
}

TEST_F(MainMapTest, TheVisibleRangeHoldsEveryTileOnTheScreen) {
    makeView(64);
    for (float c : {20.0f, 32.0f, 50.0f}) {
        map_->setViewCentre(c, 64 - c);
        ASSERT_LT(map_->firstX(), map_->endX());
        ASSERT_LT(map_->firstY(), map_->endY());
        for (int sx = 0; sx <= 800; sx += 20) {
            for (int sy = 0; sy <= 600; sy += 20) {
                float x = 0, y = 0;
                map_->screenToMap(x, y, sx, sy);
                if (x < 0 || y < 0 || x >= 64 || y >= 64) continue;
                EXPECT_GE(static_cast<int>(x), map_->firstX());
                EXPECT_LT(static_cast<int>(x), map_->endX());
                EXPECT_GE(static_cast<int>(y), map_->firstY());
                EXPECT_LT(static_cast<int>(y), map_->endY());
            }
        }
    }
    // The corners for the mini map, in their order.
    std::vector<std::pair<float, float>> corners;
    map_->visibleCorners(corners);
    ASSERT_EQ(corners.size(), 4u);
    float x = 0, y = 0;
    map_->screenToMap(x, y, 0, 600);
    EXPECT_FLOAT_EQ(corners[1].first, x);
    EXPECT_FLOAT_EQ(corners[1].second, y);
}

TEST_F(MainMapTest, AViewNeedsTheTileSize) {
    makeMap(16);
    dax_bitmaps.clear();
    TestMap map(800, 600);
    EXPECT_EQ(raisedBy([&] { map.initView(); }), raisedFor("tile width not set"));
}

TEST_F(MainMapTest, KeysScrollTheCentre) {
    makeView(64);
    grn_config.cursor_scroll_width_ = 2.0f;
    struct Case {
        int key;
        float dx, dy;
    } cases[] = {
        {'7', -2, 0}, {'8', -1, -1}, {gcn::Key::Up, -1, -1}, {'9', 0, -2}, {'4', -1, 1}, {gcn::Key::Left, -1, 1},
        {'6', 1, -1}, {gcn::Key::Right, 1, -1}, {'1', 0, 2}, {'2', 1, 1}, {gcn::Key::Down, 1, 1}, {'3', 2, 0},
    };
    for (const Case& c : cases) {
        map_->setViewCentre(30, 30);
        EXPECT_TRUE(map_->scrollByKey(keyPressEvent(c.key)));
        EXPECT_FLOAT_EQ(map_->viewCentre().first, 30 + c.dx) << c.key;
        EXPECT_FLOAT_EQ(map_->viewCentre().second, 30 + c.dy) << c.key;
    }
    EXPECT_FALSE(map_->scrollByKey(keyPressEvent('5')));
    EXPECT_FALSE(map_->scrollByKey(keyPressEvent('a')));
}

TEST_F(MainMapTest, ADraggedRoadIsBuiltAndBuildModeStaysArmed) {
    makeView(20);
    addRoadType();
    grn_game.money_ = 1000;
    map_->selectBuildingType(RnIdBldRoad, 100);
    dragTiles(3, 5, 7, 5);
    EXPECT_EQ(roads(), 5);
    EXPECT_EQ(grn_game.money_, 1000 - 5 * 5);
    EXPECT_FALSE(map_->isDragging());
    EXPECT_TRUE(map_->isBuildMode());
    for (int x = 3; x <= 7; ++x) EXPECT_EQ(grn_map.tile(x, 5).oid_.kind_, RnIdBldRoad);
    clickTile(9, 9);
    EXPECT_EQ(roads(), 6);
}

TEST_F(MainMapTest, NothingIsBuiltOverAWalkerOffTheMapOrBeyondTheMoney) {
    makeView(20);
    addRoadType();
    addServType(300, 1, 1);
    grn_game.money_ = 1000;
    map_->selectBuildingType(RnIdBldRoad, 100);
    grn_map.tile(10, 10).addWalker(addWalker());
    clickTile(10, 10);
    EXPECT_EQ(roads(), 0);
    // Past the far edges of the map and before its near edges.
    for (auto [x, y] : {std::pair{25, 5}, std::pair{5, 25}, std::pair{-3, 4}}) {
        clickTile(x, y);
        EXPECT_EQ(roads(), 0);
    }
    map_->clearModes();
    map_->selectBuildingType(RnIdBldServ, 300);
    grn_game.money_ = 49;
    clickTile(4, 4);
    EXPECT_EQ(grn_game.servType(0).instanceCount(), 0);
    grn_game.money_ = 50;
    clickTile(4, 4);
    EXPECT_EQ(grn_game.servType(0).instanceCount(), 1);
    EXPECT_EQ(grn_game.money_, 0);
}

TEST_F(MainMapTest, DemolitionRunsWhenTheMoneyPaysForIt) {
    makeView(20);
    addRoadType();
    grn_game.money_ = 1000;
    map_->selectBuildingType(RnIdBldRoad, 100);
    dragTiles(2, 2, 4, 2);
    ASSERT_EQ(roads(), 3);
    map_->clearModes();
    map_->startDemolition();
    grn_game.money_ = 0;
    clickTile(2, 2);  // demolition costs 1 a road
    EXPECT_EQ(roads(), 3);
    grn_game.money_ = 5;
    dragTiles(2, 2, 3, 2);
    EXPECT_EQ(roads(), 1);
    EXPECT_EQ(grn_game.money_, 3);
    EXPECT_TRUE(map_->isDemolitionMode());
    grn_game.roadType(0).demolition_cost_ = 0;
    grn_game.money_ = 0;
    clickTile(4, 2);
    EXPECT_EQ(roads(), 0);
}

TEST_F(MainMapTest, ARightClickOpensTheBuildingsDialogAndARightDragScrolls) {
    makeView(30);
    addServType(300, 1, 1);
    grn_game.servType(0).createBuilding(15, 15);
    RecordingDialogs dialogs;
    grn_building_dialogs = &dialogs;
    int sx = 0, sy = 0;
    point(15, 15, sx, sy);
    auto press = mouseEvent(*map_, gcn::MouseEvent::Pressed, gcn::MouseEvent::Right, sx, sy);
    map_->mousePressed(press);
    EXPECT_TRUE(press.isConsumed());
    auto release = mouseEvent(*map_, gcn::MouseEvent::Released, gcn::MouseEvent::Right, sx + 2, sy);
    map_->mouseReleased(release);
    ASSERT_EQ(dialogs.captions.size(), 1u);
    EXPECT_EQ(dialogs.captions[0], "serv");

    // Three pixels are a drag: the view moves, nothing opens.
    const auto before = map_->viewCentre();
    auto press2 = mouseEvent(*map_, gcn::MouseEvent::Pressed, gcn::MouseEvent::Right, sx, sy);
    map_->mousePressed(press2);
    auto drag = mouseEvent(*map_, gcn::MouseEvent::Dragged, gcn::MouseEvent::Right, sx + 3, sy);
    map_->mouseDragged(drag);
    EXPECT_TRUE(drag.isConsumed());
    auto release2 = mouseEvent(*map_, gcn::MouseEvent::Released, gcn::MouseEvent::Right, sx + 3, sy);
    map_->mouseReleased(release2);
    EXPECT_TRUE(release2.isConsumed());
    EXPECT_NE(map_->viewCentre(), before);
    EXPECT_EQ(dialogs.captions.size(), 1u);
    grn_building_dialogs = nullptr;

    // In build mode a right release only ends the mode, for the run screen
    // to see as well.
    map_->selectBuildingType(RnIdBldServ, 300);
    auto release3 = mouseEvent(*map_, gcn::MouseEvent::Released, gcn::MouseEvent::Right, sx, sy);
    map_->mouseReleased(release3);
    EXPECT_FALSE(release3.isConsumed());
    EXPECT_FALSE(map_->isBuildMode());
}

TEST_F(MainMapTest, TheHoverTextShowsTheTileWithShiftAndTheCostInBuildMode) {
    makeView(20);
    addRoadType();
    text(2102, "Cost");
    text(2101, "Desirability");
    char buf[512] = {};
    map_->mouseExited(*std::make_unique<gcn::MouseEvent>(mouseEvent(*map_, 0, 0, 0, 0)));
    EXPECT_EQ(map_->overlayText(buf, sizeof(buf)), 0);
    moveTo(6, 6);
    EXPECT_EQ(map_->overlayText(buf, sizeof(buf)), 0);  // no Shift, no debug level: nothing
    map_->shift = true;
    EXPECT_STREQ((map_->overlayText(buf, sizeof(buf)), buf), "grass\n");
    map_->selectBuildingType(RnIdBldRoad, 100);
    moveTo(6, 6);
    map_->overlayText(buf, sizeof(buf));
    EXPECT_STREQ(buf, "Cost: 5\ngrass\n");
    map_->shift = false;
    grn_config.map_display_ = 2;
    map_->overlayText(buf, sizeof(buf));
    EXPECT_STREQ(buf, "6,6 - [0:-1,-1] - Desirability: 0");
    // The text is cut to the buffer.
    EXPECT_EQ(map_->overlayText(buf, 5), 4);
    EXPECT_STREQ(buf, "6,6 ");
}

}  // namespace
