// The data-script runners and the multi-tile image functions: registration
// of the content functions, the preloader, begin_mtile, draw_ground,
// draw_house and store_mtile on memory bitmaps, and the open multi-tile
// being dropped when a script fails.
#include "test_lua_loader_fixture.h"

#include <cstring>

using namespace luatest;

namespace {

class MtileTest : public LuaLoaderTest {
protected:
    ALLEGRO_BITMAP* temp() { return rnMtileBitmap(); }

    // Runs the text and expects it to run through.
    void ok(const std::string& text) { ASSERT_EQ("", script(text)) << text; }
};

int countPixels(ALLEGRO_BITMAP* bmp, const Rgba& c) {
    int n = 0;
    for (int y = 0; y < al_get_bitmap_height(bmp); ++y) {
        for (int x = 0; x < al_get_bitmap_width(bmp); ++x) {
            if (pixel(bmp, x, y) == c) ++n;
        }
    }
    return n;
}

// The first and last opaque pixel of a row (x from the left and from the
// right), -1 when the row has none.
std::pair<int, int> opaqueSpan(ALLEGRO_BITMAP* bmp, int y) {
    const int w = al_get_bitmap_width(bmp);
    int first = -1, last = -1;
    for (int x = 0; x < w; ++x) {
        if (pixel(bmp, x, y).a != 0) {
            if (first < 0) first = x;
            last = x;
        }
    }
    return {first, last};
}

}  // namespace

// --- runners ---------------------------------------------------------------

TEST_F(LuaLoaderTest, ModelLoaderRegistersTheContentFunctionsInOrderAfterTheTileFunctions) {
    loader_.close();
    clearConsole();
    loader_.init();
    ASSERT_TRUE(loader_.isOpen());
    std::vector<std::string> lines = logFrom("register function read_mtile__");
    ASSERT_FALSE(lines.empty()) << "tile functions are registered first";
    std::vector<std::string> names;
    for (const std::string& l : lines) {
        if (l.rfind("register function ", 0) == 0) names.push_back(l.substr(std::strlen("register function ")));
    }
    ASSERT_EQ(static_cast<size_t>(kRnContentFunctionCount + 1), names.size());
    for (int i = 0; i < kRnContentFunctionCount; ++i) {
        EXPECT_EQ(kRnContentFunctions[i].name_, names[static_cast<size_t>(i) + 1]);
    }
    EXPECT_STREQ("begin_mtile", kRnContentFunctions[0].name_);
    EXPECT_STREQ("set_model_properties", kRnContentFunctions[20].name_);

    // Every content function and the tile and system functions are globals;
    // the script starts with an empty table "game".
    std::string check = "assert(type(game) == 'table' and next(game) == nil)\n"
                        "assert(type(set_iso_tile_size) == 'function' and type(logmsg) == 'function')\n";
    for (const RnContentFunction& f : kRnContentFunctions) {
        check += std::string("assert(type(") + f.name_ + ") == 'function')\n";
    }
    EXPECT_EQ("", script(check));
}

TEST_F(LuaLoaderTest, ModelLoaderRunReportsFailureAndAMissingFile) {
    EXPECT_EQ(0, runFile("create_people_type{601}\n"));
    EXPECT_EQ(1u, grn_game.peoplTypes().size());
    EXPECT_NE(0, runFile("create_people_type{601}\n"));  // repeated id
    EXPECT_TRUE(loggedContaining("ddm_test.lua(11) in create_people_type: people type 601 already defined"));
    EXPECT_EQ(-1, loader_.run("no_such_model.lua"));
}

TEST_F(LuaLoaderTest, PreloaderRunsPlainScriptsWithoutContentFunctions) {
    loader_.close();
    RnLuaPreloader pre;
    pre.init();
    ASSERT_TRUE(pre.isOpen());
    tmp_.write("plain.lua", "logmsg('preload ', 7)\nassert(create_resource == nil and begin_mtile == nil)\n");
    EXPECT_EQ(0, pre.run("plain.lua"));
    EXPECT_TRUE(loggedLine("LUA: preload 7"));
    tmp_.write("bad.lua", "create_resource{501}\n");
    EXPECT_GT(pre.run("bad.lua"), 0);  // the Lua status of the failed run
    EXPECT_EQ(-1, pre.run("missing_preload.lua"));
    pre.close();
    // The one open Lua state is free again for the model loader.
    loader_.init();
    EXPECT_TRUE(loader_.isOpen());
}

// One Lua state at a time: a runner opened beside another one raises (the
// loading screen reports it) rather than ending the program.
TEST_F(LuaLoaderTest, RunnersRefuseToOpenBesideAnotherLuaState) {
    EXPECT_EQ("", script("define_menu_entry(3, 'icon', 5)\nbegin_mtile(1, 1, 0)"));
    RnLuaPreloader pre;
    {
        RnLuaModelLoader model;
        EXPECT_TRUE(contains(raisedBy([&] { pre.init(); }), "another Lua state is open, can't run a data script"));
        EXPECT_TRUE(contains(raisedBy([&] { model.init(); }), "another Lua state is open, can't run the data model"));
        EXPECT_FALSE(pre.isOpen());
        EXPECT_FALSE(model.isOpen());
        model.close();
    }
    // The open loader keeps its multi-tile and build menu.
    EXPECT_EQ(&loader_, DaxLua::current());
    EXPECT_TRUE(rnMtileIsOpen());
    EXPECT_EQ("icon", grn_build_menu.entry(3).image_);
    loader_.close();
    EXPECT_FALSE(rnMtileIsOpen());
    pre.init();
    EXPECT_TRUE(pre.isOpen());
}

TEST_F(LuaLoaderTest, ModelLoaderInitEmptiesTheBuildMenuAndForgetsModelProperties) {
    grn_build_menu.setEntry(3, "icon", 5);
    rnSetModelPropertiesSet(true);
    loader_.close();
    loader_.init();
    EXPECT_EQ("", grn_build_menu.entry(3).image_);
    EXPECT_FALSE(rnModelPropertiesSet());
}

// --- begin_mtile -------------------------------------------------------------

TEST_F(MtileTest, BeginMtileSizesTheBitmapFromTheFootprint) {
    ok("begin_mtile(2, 1, 0)");
    ASSERT_TRUE(rnMtileIsOpen());
    EXPECT_EQ(96, al_get_bitmap_width(temp()));
    EXPECT_EQ(47, al_get_bitmap_height(temp()));
    EXPECT_EQ(kClear, pixel(temp(), 48, 20));
    EXPECT_TRUE(loggedLine("begin mtile 2,1 w=96 h=47"));
    rnMtileDestroy();

    ok("begin_mtile(2, 1, 60)");
    EXPECT_EQ(60, al_get_bitmap_height(temp()));
    rnMtileDestroy();
    ok("begin_mtile(1, 1, 31)");
    EXPECT_EQ(31, al_get_bitmap_height(temp()));
}

TEST_F(MtileTest, BeginMtileErrors) {
    const ErrorCase cases[] = {
        {"begin_mtile(2, 1, 40)", "in begin_mtile: height (40) is too small, needs to be at least 47"},
        {"begin_mtile(2, 1)", "wrong number of parameters: 2, expected 3"},
        {"begin_mtile(0, 1, 0)", "parameter 1 not between 1 and 32767: 0"},
        {"begin_mtile(1, 0, 0)", "parameter 2 not between 1 and 32767: 0"},
        {"begin_mtile(1, 1, -1)", "parameter 3 not between 0 and 32767: -1"},
        {"begin_mtile(1000, 1000, 0)", "in begin_mtile: footprint 1000x1000 is out of range: 1..64 tiles a side"},
        {"begin_mtile(65, 1, 0)", "in begin_mtile: footprint 65x1 is out of range: 1..64 tiles a side"},
        // Each side fits, the area does not (512 MB).
        {"begin_mtile(64, 64, 32767)",
         "in begin_mtile: temp bitmap of 4096x32767 pixels is out of range: 1..32767 a side, at most 16777216 pixels"},
    };
    for (const ErrorCase& c : cases) {
        SCOPED_TRACE(c.script);
        EXPECT_TRUE(contains(script(c.script), c.error)) << script(c.script);
        EXPECT_FALSE(rnMtileIsOpen());
    }
}

TEST_F(MtileTest, SecondBeginMtileFailsBeforeItsArgumentsAreRead) {
    ok("begin_mtile(1, 1, 0)");
    EXPECT_TRUE(contains(script("begin_mtile()"), "in begin_mtile: temporary bitmap is already in use"));
    EXPECT_TRUE(rnMtileIsOpen());
}

TEST_F(MtileTest, BeginMtileWithoutTileSizeRaisesTileWidthNotSet) {
    dax_bitmaps.clear();
    EXPECT_TRUE(contains(script("begin_mtile(1, 1, 0)"), "in begin_mtile: tile width is not set"));
    EXPECT_FALSE(rnMtileIsOpen());
}

// An open multi-tile does not outlive a failed script: the next data model
// can open one again.
TEST_F(MtileTest, FailedScriptLeavesNoOpenMtile) {
    EXPECT_NE(0, runFile("begin_mtile(1, 1, 0)\ndraw_ground({1, 2}, 0)\n"));
    EXPECT_FALSE(rnMtileIsOpen());
    EXPECT_EQ(0, runFile("begin_mtile(1, 1, 0)\nstore_mtile{'after'}\n"));
    EXPECT_GE(dax_bitmaps.find(DaxBitmapKey("after", 1, 0)), 0);

    // One left open by a script that ran through goes with the loader.
    EXPECT_EQ(0, runFile("begin_mtile(1, 1, 0)\n"));
    EXPECT_TRUE(rnMtileIsOpen());
    loader_.close();
    EXPECT_FALSE(rnMtileIsOpen());
    {
        RnLuaModelLoader other;
        other.init();
        tmp_.write("open.lua", "begin_mtile(1, 1, 0)\n");
        EXPECT_EQ(0, other.run("open.lua"));
        EXPECT_TRUE(rnMtileIsOpen());
    }
    EXPECT_FALSE(rnMtileIsOpen());

    // And a new loader starts without one.
    loader_.init();
    EXPECT_EQ(0, runFile("function open_one() begin_mtile(1, 1, 0) end\n"));
    EXPECT_EQ(0, loader_.runFunction_v_v("open_one"));
    EXPECT_TRUE(rnMtileIsOpen());
    loader_.DaxLua::close();
    loader_.init();
    EXPECT_FALSE(rnMtileIsOpen());
}

// --- draw_ground ---------------------------------------------------------------

TEST_F(MtileTest, DrawGroundNeedsAnOpenMtileAndValidArguments) {
    const ErrorCase closed[] = {
        {"draw_ground()", "in draw_ground: no temp bitmap to draw on"},
        {"draw_house()", "in draw_house: no temp bitmap to draw on"},
        {"store_mtile()", "in store_mtile: no temp bitmap to store"},
    };
    for (const ErrorCase& c : closed) {
        SCOPED_TRACE(c.script);
        EXPECT_TRUE(contains(script(c.script), c.error));
    }
    const ErrorCase open[] = {
        {"draw_ground({1, 2, 3})", "wrong number of parameters: 1, expected 2"},
        {"draw_ground({1, 2}, 0)", "table row 1 has 2 entries, expected 3"},
        {"draw_ground({1, 2, 256}, 0)", "parameter 3 of table 1 not between 0 and 255: 256"},
        {"draw_ground({1, 2, 3}, 2)", "parameter 2 not 0 or 1: 2"},
    };
    ok("begin_mtile(1, 1, 0)");
    for (const ErrorCase& c : open) {
        SCOPED_TRACE(c.script);
        EXPECT_TRUE(contains(script(c.script), c.error)) << script(c.script);
    }
}

TEST_F(MtileTest, DrawGroundWithoutBorderLeavesNoBlackPixels) {
    const Rgba fill{10, 200, 30, 255};
    ok("begin_mtile(1, 1, 0)\ndraw_ground({10, 200, 30}, 0)");
    EXPECT_TRUE(loggedLine("drawed ground tile color=10,200,30 to temp bitmap"));
    ALLEGRO_BITMAP* b = temp();
    EXPECT_EQ(0, countPixels(b, kBlack));
    EXPECT_EQ(fill, pixel(b, 32, 15));
    for (auto corner : {std::make_pair(0, 0), std::make_pair(63, 0), std::make_pair(0, 30), std::make_pair(63, 30)}) {
        EXPECT_EQ(kClear, pixel(b, corner.first, corner.second));
    }
    for (int y = 0; y < 31; ++y) {
        auto span = opaqueSpan(b, y);
        ASSERT_GE(span.first, 0) << "row " << y;
        EXPECT_EQ(fill, pixel(b, span.first, y)) << "row " << y;
        EXPECT_EQ(fill, pixel(b, span.second, y)) << "row " << y;
    }
}

TEST_F(MtileTest, DrawGroundWithBorderKeepsABlackPixelAtEachEdgeOfEveryRow) {
    const Rgba fill{10, 200, 30, 255};
    ok("begin_mtile(1, 1, 0)\ndraw_ground({10, 200, 30}, 1)");
    ALLEGRO_BITMAP* b = temp();
    EXPECT_EQ(fill, pixel(b, 32, 15));
    for (int y = 0; y < 31; ++y) {
        auto span = opaqueSpan(b, y);
        ASSERT_GE(span.first, 0) << "row " << y;
        EXPECT_EQ(kBlack, pixel(b, span.first, y)) << "row " << y;
        EXPECT_EQ(kBlack, pixel(b, span.second, y)) << "row " << y;
        // Just inside the black pixel the ground colour begins.
        EXPECT_EQ(fill, pixel(b, span.first + 1, y)) << "row " << y;
    }
    EXPECT_EQ(kClear, pixel(b, 0, 0));
}

TEST_F(MtileTest, DrawGroundCutsTheDiamondOfAnUnevenFootprintAndAlignsItAtTheBottom) {
    // 2 by 1: top corner at x 32, bottom corner at x 64 of a 96 by 47 ground.
    ok("begin_mtile(2, 1, 57)\ndraw_ground({10, 200, 30}, 0)");
    ALLEGRO_BITMAP* b = temp();
    const int top = 57 - 47;  // first row of the ground
    for (int x = 0; x < 96; ++x) EXPECT_EQ(kClear, pixel(b, x, top - 1)) << x;
    auto first_row = opaqueSpan(b, top);
    EXPECT_LE(first_row.first, 32);
    EXPECT_GE(first_row.second, 32);
    EXPECT_LT(first_row.second - first_row.first, 6);
    auto last_row = opaqueSpan(b, 56);
    EXPECT_LE(last_row.first, 64);
    EXPECT_GE(last_row.second, 64);
    EXPECT_LT(last_row.second - last_row.first, 6);
    // The left corner is at y 16 of the ground, the right one at y 32.
    EXPECT_LE(opaqueSpan(b, top + 15).first, 1);
    EXPECT_GE(opaqueSpan(b, top + 31).second, 94);
}

// --- draw_house ----------------------------------------------------------------

TEST_F(MtileTest, DrawHouseFlatRoofPaintsWallsAndRoofInTheirShades) {
    // a1 = a2 = 20, wall height 30: G = K = 10, M = 70, J = 40; placed at
    // y = 100 - 64 / 4 + 10 - 70 = 24.
    ok("begin_mtile(1, 1, 100)\ndraw_house({20, 20, 30, g = 0}, {200, 100, 50}, {50, 60, 200}, 0, 0)");
    ALLEGRO_BITMAP* b = temp();
    const int y0 = 24;
    EXPECT_EQ((Rgba{220, 110, 55, 255}), pixel(b, 10, y0 + 50));  // left wall, light
    EXPECT_EQ((Rgba{180, 90, 45, 255}), pixel(b, 30, y0 + 50));   // right wall, dark
    EXPECT_EQ((Rgba{50, 60, 200, 255}), pixel(b, 20, y0 + 30));   // flat roof, plain
    EXPECT_EQ(kClear, pixel(b, 60, 5));
    EXPECT_EQ(kClear, pixel(b, 20, y0 + 10));  // above the roof
}

TEST_F(MtileTest, DrawHouseGableRoofsRiseAboveTheWalls) {
    // gt 1: L = 10, E = 30 + 10 + 5 = 45, apex at y 25 of the house; the
    // roof is the dark roof shade.
    ok("begin_mtile(1, 1, 100)\ndraw_house({20, 20, 30, g = 1}, {200, 100, 50}, {50, 60, 200}, 0, 0)");
    ALLEGRO_BITMAP* b = temp();
    const int y0 = 24;
    EXPECT_EQ((Rgba{45, 54, 180, 255}), pixel(b, 25, y0 + 28));
    EXPECT_EQ((Rgba{220, 110, 55, 255}), pixel(b, 6, y0 + 31));  // gable, light wall
    rnMtileDestroy();

    // gt 2 with the extra ridge height: the roof is the light roof shade.
    ok("begin_mtile(1, 1, 100)\ndraw_house({20, 20, 30, g = 2, hg = 4}, {200, 100, 50}, {50, 60, 200}, 0, 0)");
    b = temp();
    EXPECT_EQ((Rgba{55, 66, 220, 255}), pixel(b, 14, y0 + 26));
    rnMtileDestroy();

    // gt 3 with equal walls: light and dark halves meeting at the ridge.
    ok("begin_mtile(1, 1, 100)\ndraw_house({20, 20, 30, g = 3}, {200, 100, 50}, {50, 60, 200}, 0, 0)");
    b = temp();
    EXPECT_EQ((Rgba{55, 66, 220, 255}), pixel(b, 10, y0 + 28));
    EXPECT_EQ((Rgba{45, 54, 180, 255}), pixel(b, 30, y0 + 28));
    rnMtileDestroy();

    // gt 3 with unequal walls draws both ridge variants without error.
    ok("begin_mtile(2, 2, 120)\ndraw_house({20, 40, 30, g = 3}, {200, 100, 50}, {50, 60, 200}, 10, 5, 2)");
    rnMtileDestroy();
    ok("begin_mtile(2, 2, 120)\ndraw_house({40, 20, 30, g = 3}, {200, 100, 50, 128}, {50, 60, 200}, 10, 5)");
}

// The hip roof (gt 3) of unequal walls and the placement by u, v and z. On a
// 2 by 2 multi-tile of 128 by 120 the house lands at x = u + v and
// y = 120 - 128 / 4 + G - (v - u) / 2 - M - z.
TEST_F(MtileTest, DrawHouseHipRoofsOfUnequalWallsAndThePlacementByUVZ) {
    const Rgba wall_light{220, 110, 55, 255};
    const Rgba roof_light{55, 66, 220, 255};
    const Rgba roof_dark{45, 54, 180, 255};
    // a1 20 < a2 40, wall 30: G 10, K 20, M 90, J 60; ridge from (20, 40) to
    // (40, 30); u 10, v 4, z 2 place it at (14, 120 - 32 + 10 + 3 - 90 - 2 = 9).
    ok("begin_mtile(2, 2, 120)\ndraw_house({20, 40, 30, g = 3}, {200, 100, 50}, {50, 60, 200}, 10, 4, 2)");
    ALLEGRO_BITMAP* b = temp();
    EXPECT_EQ(roof_light, pixel(b, 14 + 13, 9 + 50));  // triangle (0, 50) (20, 60) (20, 40)
    EXPECT_EQ(roof_dark, pixel(b, 14 + 40, 9 + 45));   // quadrangle up to (60, 40) and (40, 30)
    EXPECT_EQ(roof_dark, pixel(b, 14 + 40, 9 + 33));   // just below the ridge's end (40, 30)
    EXPECT_EQ(wall_light, pixel(b, 14 + 10, 9 + 70));
    EXPECT_EQ(kClear, pixel(b, 14 + 40, 9 + 25));      // above the ridge
    EXPECT_EQ(kClear, pixel(b, 13, 9 + 60));           // left of the house
    rnMtileDestroy();

    // a1 40 > a2 20: G 20, K 10, ridge from (20, 30) to (40, 40); u 0, v 0
    // place it at (0, 120 - 32 + 20 - 90 = 18).
    ok("begin_mtile(2, 2, 120)\ndraw_house({40, 20, 30, g = 3}, {200, 100, 50}, {50, 60, 200}, 0, 0)");
    b = temp();
    EXPECT_EQ(roof_light, pixel(b, 20, 18 + 42));  // quadrangle (0, 40) (40, 60) (40, 40) (20, 30)
    EXPECT_EQ(roof_dark, pixel(b, 48, 18 + 50));   // triangle (40, 40) (40, 60) (60, 50)
    EXPECT_EQ(kClear, pixel(b, 20, 18 + 25));
}

TEST_F(MtileTest, DrawHouseErrorsInReadingOrder) {
    ok("begin_mtile(1, 1, 100)");
    const ErrorCase cases[] = {
        // The roof shape is checked after tables 1 and 2, before table 3.
        {"draw_house({20, 20, 30, g = 4}, {1, 2, 3}, 'no table', 0, 0)", "in draw_house: invalid value for gt: 4"},
        {"draw_house({20, 20, 30, g = 4}, {1, 2}, {1, 2, 3}, 0, 0)", "table row 2 has 2 entries, expected 3-4"},
        {"draw_house({20, 20, 30, g = 0}, {1, 2, 3}, 'no table', 0, 0)", "table expected at 3"},
        {"draw_house({20, 20, 30}, {1, 2, 3}, {1, 2, 3}, 0, 0)", "missing required parameter g of table 1"},
        {"draw_house({20, 20, 30, g = 1, hg = 21}, {1, 2, 3}, {1, 2, 3}, 0, 0)",
         "parameter hg of table 1 not between 0 and 20: 21"},
        {"draw_house({20, 20, g = 1}, {1, 2, 3}, {1, 2, 3}, 0, 0)", "table row 1 has 2 entries, expected 3"},
        {"draw_house({20, 20, 30, g = 1}, {1, 2, 3, 4, 5}, {1, 2, 3}, 0, 0)", "table row 2 has 5 entries, expected 3-4"},
        {"draw_house({20, 20, 30, g = 1}, {1, 2, 3}, {1, 2, 3}, 0)", "wrong number of parameters: 4, expected at least 5"},
        {"draw_house({20, 20, 30, g = 1}, {1, 2, 3}, {1, 2, 3}, 0, -1)", "parameter 5 not between 0 and 32767: -1"},
        {"draw_house({20000, 20000, 30, g = 0}, {1, 2, 3}, {1, 2, 3}, 0, 0)",
         "in draw_house: house of 40001x40031 pixels is larger than the 64x100 multi-tile it is drawn on"},
        {"draw_house({40, 40, 30, g = 0}, {1, 2, 3}, {1, 2, 3}, 0, 0)",
         "in draw_house: house of 81x111 pixels is larger than the 64x100 multi-tile it is drawn on"},
    };
    for (const ErrorCase& c : cases) {
        SCOPED_TRACE(c.script);
        std::string err = script(c.script);
        EXPECT_TRUE(contains(err, c.error)) << err;
    }
    EXPECT_TRUE(rnMtileIsOpen());
}

// --- store_mtile ---------------------------------------------------------------

TEST_F(MtileTest, StoreMtileRegistersTheImageAndClosesTheMtile) {
    ok("begin_mtile(2, 1, 0)\ndraw_ground({10, 200, 30}, 0)\nstore_mtile{'house'}");
    EXPECT_FALSE(rnMtileIsOpen());
    DaxBitmapIndex id = dax_bitmaps.find(DaxBitmapKey("house", 1, 0));
    ASSERT_GE(id, 0);
    const DaxBitmapEntry& e = dax_bitmaps.entry(id);
    EXPECT_EQ(96, e.width_);
    EXPECT_EQ(47, e.height_);
    EXPECT_EQ(64, e.hot_x_);  // (64 / 2) * w
    EXPECT_EQ(48, e.hot_y_);  // height + 1
    EXPECT_EQ(-1, e.text_id_);
    EXPECT_TRUE(dax_bitmaps.fitsTileArea("house", 2, 1));
    EXPECT_TRUE(loggedLine("loaded 2x1 mtile house,1 from current file size=96,47 at index=" + std::to_string(id / 2)));

    ok("begin_mtile(1, 1, 0)\nstore_mtile{'house', var = 2}");
    EXPECT_GE(dax_bitmaps.find(DaxBitmapKey("house", 2, 0)), 0);
    EXPECT_EQ(2, dax_bitmaps.variantCount("house"));
}

TEST_F(MtileTest, StoreMtileErrors) {
    ok("begin_mtile(1, 1, 0)\nstore_mtile{'twice'}\nbegin_mtile(1, 1, 0)");
    const ErrorCase cases[] = {
        {"store_mtile{'twice'}", "in store_mtile: "},  // the registry refuses the key
        {"store_mtile{}", "table row 1 has 0 entries, expected 1"},
        {"store_mtile{'x', var = 40000}", "parameter var of table 1 not between -32768 and 32767: 40000"},
        {"store_mtile('x')", "table expected at 1"},
    };
    for (const ErrorCase& c : cases) {
        SCOPED_TRACE(c.script);
        std::string err = script(c.script);
        EXPECT_TRUE(contains(err, c.error)) << err;
        EXPECT_TRUE(rnMtileIsOpen());
    }
}

// The image functions together with an image sheet made here: a house drawn
// over ground and a tile read from the sheet, both usable as floors.
TEST_F(MtileTest, ImagesFromASheetAndFromTheImageFunctionsServeAsTypeImages) {
    ALLEGRO_BITMAP* sheet = zorMemoryBitmap(64, 31, al_map_rgb(90, 90, 90));
    ASSERT_TRUE(al_save_bitmap(tmp_.file("sheet.png").c_str(), sheet));
    al_destroy_bitmap(sheet);
    ok("open_file('sheet.png')\n"
       "read_1tile__({'sheet_floor'}, 0, 0)\n"
       "begin_mtile(2, 2, 120)\n"
       "draw_ground({30, 140, 30}, 1)\n"
       "draw_house({30, 30, 25, g = 1, hg = 3}, {180, 160, 120}, {150, 40, 30}, 20, 20)\n"
       "store_mtile{'drawn_house'}\n"
       "begin_mtile(2, 2, 0)\n"
       "draw_ground({30, 140, 30}, 0)\n"
       "store_mtile{'drawn_floor'}\n"
       "set_model_properties{hours_incr_desirability = 1, hours_decr_desirability = 1,"
       " map_range_desirability = 5, prod_walker_range = 10, storage_walker_range = 10,"
       " storage_walker_capacity = 2, storage_walker_speed = 100, storage_network_update_hours = 24,"
       " resource_efficiency_update_hours = 24}\n"
       "create_terrain{101, {1, 2, 3}, {}, floor = 'sheet_floor', walkable = 1, roads = 1, buildings = 1, flat = 1}\n"
       "create_people_type{601}\n"
       "create_service_walker_type{901, ro = 'w_ro', ru = 'w_ru', lo = 'w_lo', lu = 'w_lu',"
       " distance_to_return = 10, hours_for_1tile_road = 1, smooth_move = 0}\n"
       "create_service_type({1001, 2, 2, 10, 1, {1, 2, 3}, image = 'drawn_house', floor = 'drawn_floor',"
       " own_attr = 0, walker_type = 901, num_walkers = 1, hours_respawn = 1, workers1 = {601, 1, 5}}, 2)\n");
    EXPECT_EQ(1u, grn_game.servTypes().size());
    EXPECT_EQ("drawn_house", grn_game.servType(0).image_);
    const DaxBitmapEntry& e = dax_bitmaps.entry(dax_bitmaps.find(DaxBitmapKey("drawn_house", 1, 0)));
    EXPECT_EQ(128, e.width_);
    EXPECT_EQ(120, e.height_);
}
