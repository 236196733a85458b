// The mini-map base on memory bitmaps, with the clock in the test's hand:
// when terrain and objects are repainted (full redraw, blink phase, refresh
// period, never two frames in a row), what a resize and invalidate do, and
// how the cached layers are drawn (transparency, zoom, place).
#include <gtest/gtest.h>

#include <allegro5/allegro.h>
#include <allegro5/allegro_primitives.h>

#include <string>

#include "al5gcn/allegro5graphics.hpp"
#include "dax2/dax_minimap.h"
#include "gcn/color.hpp"
#include "support/allegro_env.h"

namespace {

const gcn::Color kRed(200, 0, 0);
const gcn::Color kGreen(0, 200, 0);
const gcn::Color kBlue(0, 0, 200);
const gcn::Color kWhite(255, 255, 255);
const gcn::Color kBack(50, 50, 50);

// Terrain: three coloured quadrants, the bottom-right one left unpainted.
// Objects: one white pixel at (1, 1) in the blink phase.
class TestMap : public DaxMiniMapBase {
public:
    TestMap(int16_t blink, int16_t refresh) : DaxMiniMapBase(blink, refresh) {}

    uint32_t now = 1000;
    int terrain = 0;
    int objects = 0;
    bool blink = false;

protected:
    uint32_t currentTime() const override { return now; }
    void paintTerrain(gcn::Graphics* g) override {
        ++terrain;
        const int hw = getWidth() / 2;
        const int hh = getHeight() / 2;
        g->setColor(kRed);
        g->fillRectangle(gcn::Rectangle(0, 0, hw, hh));
        g->setColor(kGreen);
        g->fillRectangle(gcn::Rectangle(hw, 0, hw, hh));
        g->setColor(kBlue);
        g->fillRectangle(gcn::Rectangle(0, hh, hw, hh));
    }
    void paintObjects(gcn::Graphics* g, bool phase) override {
        ++objects;
        blink = phase;
        if (phase) {
            g->setColor(kWhite);
            g->fillRectangle(gcn::Rectangle(1, 1, 1, 1));
        }
    }
};

class MiniMapTest : public ::testing::Test {
protected:
    void SetUp() override {
        zorInitAllegro();
        ASSERT_TRUE(al_init_primitives_addon());
        al_set_new_bitmap_flags(ALLEGRO_MEMORY_BITMAP);
        target_ = al_create_bitmap(64, 64);
        ASSERT_NE(target_, nullptr);
        al_set_target_bitmap(target_);
    }
    void TearDown() override {
        al_set_target_bitmap(nullptr);
        al_destroy_bitmap(target_);
    }
    // One frame: clears the target, draws the map through the Allegro
    // back end.
    void frame(TestMap& map) {
        al_set_target_bitmap(target_);
        al_clear_to_color(al_map_rgb(kBack.r, kBack.g, kBack.b));
        gcn::Allegro5Graphics g;
        g._beginDraw();
        map.draw(&g);
        g._endDraw();
    }
    gcn::Color at(int x, int y) const {
        unsigned char r = 0;
        unsigned char g = 0;
        unsigned char b = 0;
        al_unmap_rgb(al_get_pixel(target_, x, y), &r, &g, &b);
        return gcn::Color(r, g, b);
    }

    ALLEGRO_BITMAP* target_ = nullptr;
};

TEST_F(MiniMapTest, ObjectsFollowTheBlinkPhaseAndTheRefreshPeriodButNeverTwoFramesInARow) {
    TestMap map(70, 22);
    map.setSize(32, 32);
    struct Step {
        uint32_t time;
        int terrain;
        int objects;
        bool blink;
        const char* why;
    };
    const Step steps[] = {
        {1000, 1, 1, false, "first frame: full redraw"},
        {1001, 1, 1, false, "painted in the previous frame"},
        {1010, 1, 1, false, "same phase, refresh not due"},
        {1023, 1, 2, false, "refresh period passed"},
        {1024, 1, 2, false, "painted in the previous frame"},
        {1040, 1, 2, false, "nothing due"},
        {1050, 1, 3, true, "phase flipped at 0.7 s"},
        {1051, 1, 3, true, "painted in the previous frame"},
        {1060, 1, 3, true, "nothing due"},
        {1073, 1, 4, true, "refresh period passed again"},
        {1074, 1, 4, true, "painted in the previous frame"},
        {1140, 1, 5, false, "phase flipped back"},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.why);
        map.now = s.time;
        frame(map);
        EXPECT_EQ(map.terrain, s.terrain);
        EXPECT_EQ(map.objects, s.objects);
        EXPECT_EQ(map.blink, s.blink);
        EXPECT_EQ(map.lastBlinkPhase(), (s.time / 70) % 2 == 1);
    }
    EXPECT_EQ(map.lastObjectsPaint(), 1140u);

    // A flip due while the previous frame painted waits one frame.
    map.now = 1141;
    frame(map);
    map.now = 1163;  // refresh due
    frame(map);
    EXPECT_EQ(map.objects, 6);
    EXPECT_FALSE(map.blink);
    map.now = 1190;  // phase 17: flipped, but the last frame painted
    frame(map);
    EXPECT_EQ(map.objects, 6);
    map.now = 1191;
    frame(map);
    EXPECT_EQ(map.objects, 7);
    EXPECT_TRUE(map.blink);
}

TEST_F(MiniMapTest, WithoutPeriodsOnlyTheFirstFramePaints) {
    TestMap map(0, 0);  // no blinking (no division by zero), no refresh
    map.setSize(16, 16);
    for (uint32_t t : {1000u, 1002u, 5000u, 90000u}) {
        map.now = t;
        frame(map);
    }
    EXPECT_EQ(map.terrain, 1);
    EXPECT_EQ(map.objects, 1);
    EXPECT_FALSE(map.blink);
}

TEST_F(MiniMapTest, TheRefreshPeriodIsMeasuredAcrossTheWrapOfTheClock) {
    TestMap map(0, 22);
    map.setSize(16, 16);
    map.now = 0xFFFFFFF0u;
    frame(map);
    map.now = 0xFFFFFFF2u;  // skipped: painted last frame
    frame(map);
    map.now = 0x00000004u;  // 20 hundredths later: not due yet
    frame(map);
    EXPECT_EQ(map.objects, 1);
    map.now = 0x00000007u;  // 23 later
    frame(map);
    EXPECT_EQ(map.objects, 2);
}

TEST_F(MiniMapTest, InvalidateAndResizeRepaintEverything) {
    TestMap map(70, 22);
    map.setSize(32, 32);
    EXPECT_TRUE(map.fullRedrawPending());
    frame(map);
    EXPECT_FALSE(map.fullRedrawPending());
    ASSERT_NE(map.terrainBitmap(), nullptr);
    EXPECT_TRUE(map.objectsPaintedLastDraw());

    // Right after a painting frame, invalidate still repaints at once.
    map.invalidate();
    EXPECT_TRUE(map.fullRedrawPending());
    EXPECT_FALSE(map.objectsPaintedLastDraw());
    map.now += 1;
    frame(map);
    EXPECT_EQ(map.terrain, 2);
    EXPECT_EQ(map.objects, 2);

    // The same size keeps the cache; another drops it.
    map.setSize(32, 32);
    EXPECT_FALSE(map.fullRedrawPending());
    EXPECT_NE(map.terrainBitmap(), nullptr);
    map.setSize(40, 20);
    EXPECT_TRUE(map.fullRedrawPending());
    EXPECT_EQ(map.terrainBitmap(), nullptr);
    EXPECT_EQ(map.objectsBitmap(), nullptr);
    map.now += 1;
    frame(map);
    EXPECT_EQ(map.terrain, 3);
    ASSERT_NE(map.terrainBitmap(), nullptr);
    EXPECT_EQ(al_get_bitmap_width(map.terrainBitmap()), 40);
    EXPECT_EQ(al_get_bitmap_height(map.objectsBitmap()), 20);
    // Any size setter counts.
    map.setWidth(41);
    EXPECT_TRUE(map.fullRedrawPending());

    // A widget without area draws nothing and paints nothing.
    TestMap empty(70, 22);
    frame(empty);
    EXPECT_EQ(empty.terrain, 0);
}

TEST_F(MiniMapTest, TheLayersAreDrawnAtTheWidgetsPlaceWithObjectsOverTerrain) {
    TestMap map(70, 0);
    map.setDimension(gcn::Rectangle(8, 8, 32, 32));
    map.now = 70;  // the blink phase: the objects' white pixel shows
    frame(map);
    ASSERT_TRUE(map.blink);
    struct Probe {
        int x;
        int y;
        gcn::Color colour;
        const char* what;
    };
    const Probe probes[] = {
        {8 + 4, 8 + 4, kRed, "top-left quadrant"},
        {8 + 20, 8 + 4, kGreen, "top-right quadrant"},
        {8 + 4, 8 + 20, kBlue, "bottom-left quadrant"},
        {8 + 20, 8 + 20, kBack, "unpainted terrain is transparent"},
        {8 + 1, 8 + 1, kWhite, "an object over the terrain"},
        {8 + 2, 8 + 2, kRed, "transparent objects leave the terrain"},
        {7, 7, kBack, "outside the widget"},
        {8 + 32, 8 + 4, kBack, "right of the widget"},
    };
    for (const Probe& p : probes) {
        EXPECT_EQ(at(p.x, p.y), p.colour) << p.what;
    }
    // The frame's drawing state is as it was.
    EXPECT_EQ(al_get_target_bitmap(), target_);
    int op = 0;
    int src = 0;
    int dst = 0;
    al_get_blender(&op, &src, &dst);
    EXPECT_EQ(op, ALLEGRO_ADD);
    EXPECT_EQ(src, ALLEGRO_ONE);
    EXPECT_EQ(dst, ALLEGRO_INVERSE_ALPHA);
}

TEST_F(MiniMapTest, AZoomOfTwoShowsTheTopLeftQuarterAtFullSize) {
    TestMap map(70, 0);
    map.setDimension(gcn::Rectangle(8, 8, 32, 32));
    map.setZoom(2.0f);
    map.now = 70;
    frame(map);
    for (int y = 8; y < 40; y += 3) {
        for (int x = 8; x < 40; x += 3) {
            SCOPED_TRACE(std::to_string(x) + "," + std::to_string(y));
            // The object pixel at (1, 1) of the cache covers (10..11, 10..11).
            const bool object = x >= 10 && x < 12 && y >= 10 && y < 12;
            EXPECT_EQ(at(x, y), object ? kWhite : kRed);
        }
    }
    EXPECT_EQ(at(8 + 32, 20), kBack);

    // A zoom of 0 or less counts as 1.
    map.setZoom(0.0f);
    map.invalidate();
    frame(map);
    EXPECT_EQ(at(8 + 20, 8 + 4), kGreen);
}

TEST_F(MiniMapTest, TheViewCentreStartsUnset) {
    TestMap map(70, 22);
    EXPECT_FLOAT_EQ(map.viewX(), -1.0f);
    EXPECT_FLOAT_EQ(map.viewY(), -1.0f);
    EXPECT_FLOAT_EQ(map.zoom(), 1.0f);
    EXPECT_EQ(map.blinkPeriod(), 70);
    EXPECT_EQ(map.refreshPeriod(), 22);
    map.setViewPosition(12.5f, 3.0f);
    EXPECT_FLOAT_EQ(map.viewX(), 12.5f);
}

}  // namespace
