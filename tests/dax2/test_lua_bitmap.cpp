// The script functions that cut bitmaps and tiles out of sheet files: each
// test makes small PNG sheets, runs a short script and looks at what the
// bitmap registry holds.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include <allegro5/allegro.h>

extern "C" {
#include <lua.h>
}

#include "dax2/dax_bitmap.h"
#include "dax2/dax_error.h"
#include "dax2/dax_ini.h"
#include "dax2/dax_lua.h"
#include "dax2/dax_lua_bitmap.h"
#include "dax2/dax_msg.h"
#include "support/allegro_env.h"
#include "support/dax_probe.h"
#include "support/text_checks.h"
#include "support/temp_dir.h"

namespace {

// The colour of the main sheet at (x, y): unique per pixel, never magenta.
Rgba sheetColour(int x, int y) { return {2 * x, 4 * y, 100, 255}; }

class LuaBitmapTest : public ::testing::Test {
protected:
    void SetUp() override {
        zorInitAllegro();
        saved_level_ = dax_config.debug_level_;
        saved_ltype_ = dax_config.debug_ltype_;
        saved_log_ = dax_config.log_path_;
        saved_search_ = dax_config.search_path_;
        dax_config.debug_level_ = 4;
        dax_config.debug_ltype_ = 1;
        dax_config.log_path_.clear();
        dax_config.search_path_ = {tmp_.path()};
        DaxLog::reset();
        dax_bitmaps.clear();
        // 128 x 64 with a magenta block at 8..11 x 8..11.
        makeSheet("sheet.png", 128, 64, [](int x, int y) {
            if (x >= 8 && x < 12 && y >= 8 && y < 12) {
                return al_map_rgb(255, 0, 255);
            }
            Rgba c = sheetColour(x, y);
            return al_map_rgb(c.r, c.g, c.b);
        });
        lua_.init();
        lua_.registerTileFunctions();
    }
    void TearDown() override {
        lua_.close();
        dax_bitmaps.clear();
        daxSetErrorLine(0);
        daxSetErrorFunction("");
        dax_config.debug_level_ = saved_level_;
        dax_config.debug_ltype_ = saved_ltype_;
        dax_config.log_path_ = saved_log_;
        dax_config.search_path_ = saved_search_;
        DaxLog::reset();
    }

    void makeSheet(const std::string& name, int w, int h, const std::function<ALLEGRO_COLOR(int, int)>& at) {
        ASSERT_TRUE(zorSaveImage(tmp_.file(name), w, h, at));
    }

    // Runs the script; on failure the error text is returned (as the script
    // saw it), else "".
    std::string script(const std::string& text) {
        tmp_.write("t.lua", "ok, err = pcall(function()\n" + text + "\nend)\n");
        EXPECT_EQ(0, lua_.run_script("t.lua", false));
        lua_State* L = lua_.state();
        lua_getglobal(L, "err");
        const char* s = lua_tostring(L, -1);
        std::string out = s ? s : "";
        lua_pop(L, 1);
        return out;
    }

    const DaxBitmapEntry& entry(const char* name, int var = 1, int anim = 0) {
        DaxBitmapIndex id = dax_bitmaps.find(DaxBitmapKey(name, var, anim));
        EXPECT_GE(id, 0) << name;
        return dax_bitmaps.entry(id < 0 ? 0 : id);
    }

    TempDir tmp_;
    DaxLua lua_;
    int saved_level_ = 0, saved_ltype_ = 0;
    std::string saved_log_;
    std::vector<std::string> saved_search_;
};

TEST_F(LuaBitmapTest, OpenFileLoadsTheSheetWithMagentaTransparent) {
    EXPECT_EQ("", script("open_file('sheet.png')"));
    ALLEGRO_BITMAP* sheet = daxLuaBitmapFile();
    ASSERT_NE(nullptr, sheet);
    EXPECT_EQ(128, al_get_bitmap_width(sheet));
    EXPECT_EQ(64, al_get_bitmap_height(sheet));
    EXPECT_EQ(0, pixel(sheet, 9, 9).a);
    EXPECT_EQ(sheetColour(20, 5), pixel(sheet, 20, 5));
    EXPECT_TRUE(loggedLine("opened bitmap file " + tmp_.file("sheet.png") + ", 128x64 pixel"));

    EXPECT_EQ("t.lua(2) in open_file: can't find file nope.png", script("open_file('nope.png')"));
    EXPECT_EQ(sheet, daxLuaBitmapFile());
    // A file that is no image drops the old sheet as well.
    tmp_.write("text.png", "not an image");
    EXPECT_EQ("t.lua(2) in open_file: can't open bitmap file " + tmp_.file("text.png"),
              script("open_file('text.png')"));
    EXPECT_EQ(nullptr, daxLuaBitmapFile());
}

TEST_F(LuaBitmapTest, ClosingOrDestroyingTheRunnerReleasesTheSheet) {
    EXPECT_EQ("", script("open_file('sheet.png')"));
    EXPECT_NE(nullptr, daxLuaBitmapFile());
    lua_.close();
    EXPECT_EQ(nullptr, daxLuaBitmapFile());
    {
        DaxLua other;
        other.init();
        tmp_.write("o.lua", "open_file('sheet.png')\n");
        EXPECT_EQ(0, other.run_script("o.lua", false));
        EXPECT_NE(nullptr, daxLuaBitmapFile());
    }
    EXPECT_EQ(nullptr, daxLuaBitmapFile());
    lua_.init();
}

using LuaBitmapDeathTest = LuaBitmapTest;

// A runner that ends after Allegro shut down (one held by a global object)
// must leave the sheet alone: Allegro destroyed it with everything else.
TEST_F(LuaBitmapDeathTest, ARunnerEndingAfterAllegroLeavesTheSheetAlone) {
    // With a display set, Allegro holds a connection to the X server and a
    // thread reading it. A forked child shares that connection: its shutdown
    // of Allegro talks to the server over it, the parent's reader thread then
    // fails on the connection, and Xlib's handler for that calls exit() from
    // the thread in the middle of the test. The child runs as a fresh process
    // instead, with a connection of its own.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            if (script("open_file('sheet.png')") != "" || daxLuaBitmapFile() == nullptr) {
                std::_Exit(2);
            }
            al_uninstall_system();
            lua_.close();
            std::_Exit(daxLuaBitmapFile() == nullptr ? 0 : 3);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST_F(LuaBitmapTest, ReadBitmapCutsPiecesWithHotSpotsAndKeys) {
    ASSERT_EQ("", script("open_file('sheet.png')\n"
                         "read_bitmap({'whole'}, {})\n"
                         "read_bitmap({'piece', var = 2, anim = 1}, {6, 6, w = 8, h = 6, xhot = 3, yhot = -5})\n"
                         "read_file('sheet.png', {'viafile', var = 0}, {20, 10, w = 4, h = 2})\n"));
    const DaxBitmapEntry& whole = entry("whole");
    EXPECT_EQ(128, whole.width_);
    EXPECT_EQ(64, whole.height_);
    EXPECT_EQ(64, whole.hot_x_);  // w / 2
    EXPECT_EQ(65, whole.hot_y_);  // h + 1
    EXPECT_EQ(0, dax_bitmaps.find(DaxBitmapKey("whole", 1, 0)));
    EXPECT_TRUE(loggedLine("loaded bitmap whole,1 from current file hotspot=64,65 size=128,64 at index=0"));

    // anim is the key's flag: the id is odd.
    EXPECT_EQ(3, dax_bitmaps.find(DaxBitmapKey("piece", 2, 1)));
    const DaxBitmapEntry& piece = entry("piece", 2, 1);
    EXPECT_EQ(8, piece.width_);
    EXPECT_EQ(6, piece.height_);
    EXPECT_EQ(3, piece.hot_x_);
    EXPECT_EQ(-5, piece.hot_y_);
    EXPECT_EQ(sheetColour(6, 6), pixel(piece.bitmap_, 0, 0));
    EXPECT_EQ(kClear, pixel(piece.bitmap_, 3, 3));  // the magenta block
    EXPECT_EQ(sheetColour(13, 11), pixel(piece.bitmap_, 7, 5));

    const DaxBitmapEntry& viafile = entry("viafile", 0);
    EXPECT_EQ(4, viafile.width_);
    EXPECT_EQ(sheetColour(23, 11), pixel(viafile.bitmap_, 3, 1));
    EXPECT_EQ(-1, viafile.text_id_);
}

TEST_F(LuaBitmapTest, FlipMirrorsThePiece) {
    ASSERT_EQ("", script("open_file('sheet.png')\n"
                         "read_bitmap({'f', flip = 1}, {30, 3, w = 5, h = 2})\n"));
    const DaxBitmapEntry& f = entry("f");
    for (int x = 0; x < 5; ++x) {
        EXPECT_EQ(sheetColour(34 - x, 3), pixel(f.bitmap_, x, 0)) << x;
        EXPECT_EQ(sheetColour(34 - x, 4), pixel(f.bitmap_, x, 1)) << x;
    }
}

TEST_F(LuaBitmapTest, ColourKeyPixelTurnsItsColourTransparentWithoutChangingTheSheet) {
    // Two white pixels in an otherwise coloured sheet.
    makeSheet("white.png", 16, 4, [](int x, int y) {
        return (x == 2 && y == 1) || (x == 9 && y == 3) ? al_map_rgb(255, 255, 255) : al_map_rgb(x, y, 7);
    });
    ASSERT_EQ("", script("open_file('white.png')\n"
                         "read_bitmap({'keyed'}, {0, 0, w = 16, h = 4, xtrans = 2, ytrans = 1})\n"
                         "read_bitmap({'plain'}, {0, 0, w = 16, h = 4})\n"));
    const DaxBitmapEntry& keyed = entry("keyed");
    EXPECT_EQ(kClear, pixel(keyed.bitmap_, 2, 1));
    EXPECT_EQ(kClear, pixel(keyed.bitmap_, 9, 3));
    EXPECT_EQ((Rgba{5, 2, 7, 255}), pixel(keyed.bitmap_, 5, 2));
    const DaxBitmapEntry& plain = entry("plain");
    EXPECT_EQ((Rgba{255, 255, 255, 255}), pixel(plain.bitmap_, 2, 1));
    EXPECT_EQ((Rgba{255, 255, 255, 255}), pixel(plain.bitmap_, 9, 3));
}

TEST_F(LuaBitmapTest, ScalingFollowsWsHsAndHw) {
    struct Case {
        const char* fields;
        int w, h, xhot, yhot;
    };
    // A 50 x 20 piece: default hot spot (25, 21).
    const Case cases[] = {
        {"", 50, 20, 25, 21},
        {"ws = 100", 100, 40, 50, 42},
        {"hs = 40", 100, 40, 50, 42},
        {"ws = 100, hs = 10", 50, 20, 25, 21},  // both given: the piece's size
        {"ws = 100, hw = 0.5", 100, 20, 50, 21},
        {"hs = 40, hw = 2", 50, 40, 25, 42},
        {"ws = 100, yhot_offset = 3", 100, 40, 50, 39},
        {"ws = 25, xhot = 10, yhot = 10", 25, 10, 5, 5},
    };
    int n = 0;
    for (const Case& c : cases) {
        std::string name = "s" + std::to_string(n++);
        ASSERT_EQ("", script("open_file('sheet.png')\nread_bitmap({'" + name + "'}, {10, 20, w = 50, h = 20, " +
                             c.fields + "})\n"))
            << c.fields;
        const DaxBitmapEntry& e = entry(name.c_str());
        EXPECT_EQ(c.w, e.width_) << c.fields;
        EXPECT_EQ(c.h, e.height_) << c.fields;
        EXPECT_EQ(c.w, al_get_bitmap_width(e.bitmap_)) << c.fields;
        EXPECT_EQ(c.h, al_get_bitmap_height(e.bitmap_)) << c.fields;
        EXPECT_EQ(c.xhot, e.hot_x_) << c.fields;
        EXPECT_EQ(c.yhot, e.hot_y_) << c.fields;
    }
    // Doubling repeats each pixel.
    const DaxBitmapEntry& twice = entry("s1");
    EXPECT_EQ(sheetColour(10, 20), pixel(twice.bitmap_, 1, 1));
    EXPECT_EQ(sheetColour(11, 21), pixel(twice.bitmap_, 2, 2));
}

TEST_F(LuaBitmapTest, IndexArgumentIsTheTextNumberOfTheBitmap) {
    dax_strings.addString(31001, "Farm", true);
    ASSERT_EQ("", script("open_file('sheet.png')\n"
                         "read_bitmap(31001, {'known'}, {0, 0, w = 2, h = 2})\n"
                         "read_bitmap(31002, {'unknown'}, {0, 0, w = 2, h = 2})\n"
                         "read_file('sheet.png', 31001, {'file'}, {0, 0, w = 2, h = 2})\n"));
    EXPECT_EQ(31001, entry("known").text_id_);
    EXPECT_EQ(-1, entry("unknown").text_id_);  // no such text
    EXPECT_EQ(31001, entry("file").text_id_);
    std::map<int, int> counts;
    dax_bitmaps.countTextIds(counts);
    EXPECT_EQ(2, counts[31001]);
    dax_strings.clearImported();
}

TEST_F(LuaBitmapTest, ReadBitmapErrors) {
    EXPECT_EQ("t.lua(2) in read_bitmap: no bitmap file opened", script("read_bitmap({'x'}, {})"));
    ASSERT_EQ("", script("open_file('sheet.png')\nread_bitmap({'dup'}, {0, 0, w = 2, h = 2})"));
    struct Case {
        const char* call;
        const char* error;
    };
    const Case cases[] = {
        {"read_bitmap({'x'})", "in read_bitmap: wrong number of parameters: 1, expected at least 2"},
        {"read_bitmap(1, {'x'}, {}, 4)", "in read_bitmap: wrong number of parameters: 4, expected 2-3"},
        {"read_bitmap(0, {'x'}, {})", "in read_bitmap: parameter 1 not between 1 and 32767: 0"},
        {"read_bitmap({'x'}, {1})", "in read_bitmap: missing parameter table 2"},
        {"read_bitmap({'x'}, {1, 2, 3})", "in read_bitmap: table row 2 has 3 entries, expected 0-2"},
        {"read_bitmap({'x', 'y'}, {})", "in read_bitmap: table row 1 has 2 entries, expected 1"},
        {"read_bitmap({}, {})", "in read_bitmap: table row 1 has 0 entries, expected 1"},
        {"read_bitmap({3}, {})", "in read_bitmap: parameter 1 of table 1 is not a string"},
        {"read_bitmap({'x', var = 40000}, {})",
         "in read_bitmap: parameter var of table 1 not between -32768 and 32767: 40000"},
        {"read_bitmap({'x', anim = -1}, {})", "in read_bitmap: parameter anim of table 1 not between 0 and 32767: -1"},
        {"read_bitmap({'x', flip = 2}, {})", "in read_bitmap: parameter flip of table 1 not 0 or 1: 2"},
        {"read_bitmap({'x'}, {0, 0, h = 2})", "in read_bitmap: missing required parameter w of table 2"},
        {"read_bitmap({'x'}, {-1, 0, w = 2, h = 2})",
         "in read_bitmap: parameter 1 of table 2 not between 0 and 32767: -1"},
        {"read_bitmap({'x'}, {0, 0, w = 0, h = 2})", "in read_bitmap: parameter w of table 2 not between 1 and 32767: 0"},
        {"read_bitmap({'x'}, {0, 0, w = 8, h = 2, xtrans = 8, ytrans = 0})",
         "in read_bitmap: parameter xtrans of table 2 not between 0 and 7: 8"},
        {"read_bitmap({'x'}, {0, 0, w = 8, h = 2, xtrans = 0, ytrans = 2})",
         "in read_bitmap: parameter ytrans of table 2 not between 0 and 1: 2"},
        {"read_bitmap({'x'}, {0, 0, w = 8, h = 2, ws = 40000})",
         "in read_bitmap: parameter ws of table 2 not between 1 and 32767: 40000"},
        {"read_bitmap({'x'}, {0, 0, w = 8, h = 2, hw = 'a'})", "in read_bitmap: parameter hw of table 2 is not a number"},
        {"read_bitmap({'x'}, {120, 0, w = 10, h = 4})",
         "in read_bitmap: can't create subbitmap: 120,0 size 10,4 is outside the 128x64 bitmap file"},
        {"read_bitmap({'x'}, {0, 60, w = 10, h = 5})",
         "in read_bitmap: can't create subbitmap: 0,60 size 10,5 is outside the 128x64 bitmap file"},
        {"read_bitmap({'x'}, {0, 0, w = 50, h = 20, ws = 100, hw = -1})",
         "in read_bitmap: height (hs) must be >= 0, is -40"},
        {"read_bitmap({'x'}, {0, 0, w = 50, h = 20, ws = 100, hw = 0/0})",
         "in read_bitmap: height (hs) must be >= 0, is 0"},
        {"read_bitmap({'x'}, {0, 0, w = 50, h = 20, hs = 40, hw = -2})",
         "in read_bitmap: width (ws) must be >= 0, is -50"},
        {"read_bitmap({'x'}, {0, 0, w = 50, h = 20, ws = 100, hw = 1e6})",
         "in read_bitmap: scaled size 100,40000000 is larger than 32767"},
        {"read_bitmap({'x'}, {0, 0, w = 2, h = 2, xhot = 30000, ws = 4})",
         "in read_bitmap: hotspot 60000,6 of bitmap x,1 is out of range"},
        {"read_bitmap({'dup'}, {0, 0, w = 2, h = 2})",
         "in read_bitmap: bitmap dup,1 already loaded at 0 with hot=1,3"},
        {"read_file('nope.png', {'x'}, {})", "in read_file: can't find file nope.png"},
        {"read_file('sheet.png', {'x'})", "in read_file: wrong number of parameters: 2, expected at least 3"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(std::string("t.lua(2) ") + c.error, script(c.call)) << c.call;
    }
    // Nothing of the failed calls was registered.
    EXPECT_EQ(1u, dax_bitmaps.size());
}

TEST_F(LuaBitmapTest, TileSizeIsSetOnceAndMustBeEven) {
    EXPECT_EQ("", script("set_iso_tile_size(64, 32)"));
    EXPECT_EQ(kDaxTileIso, dax_bitmaps.tileMode());
    EXPECT_EQ(64, dax_bitmaps.tileWidth());
    EXPECT_EQ(32, dax_bitmaps.tileHeight());
    EXPECT_EQ("t.lua(2) in set_iso_tile_size: cannot set iso tile size 64,32", script("set_iso_tile_size(64, 32)"));
    EXPECT_EQ("t.lua(2) in set_rect_tile_size: cannot set rect tile size 32,32", script("set_rect_tile_size(32, 32)"));
    struct Case {
        const char* call;
        const char* error;  // "" passes
    };
    const Case fresh[] = {
        {"set_iso_tile_size(64, 64)", "in set_iso_tile_size: cannot set iso tile size 64,64"},
        {"set_iso_tile_size(63, 32)", "in set_iso_tile_size: cannot set iso tile size 63,32"},
        {"set_iso_tile_size(64, 31)", "in set_iso_tile_size: cannot set iso tile size 64,31"},
        {"set_iso_tile_size(0, 2)", "in set_iso_tile_size: parameter 1 not between 1 and 32767: 0"},
        {"set_iso_tile_size(64)", "in set_iso_tile_size: wrong number of parameters: 1, expected 2"},
        {"set_rect_tile_size(31, 32)", "in set_rect_tile_size: cannot set rect tile size 31,32"},
        {"set_rect_tile_size(32, 64)", ""},
    };
    for (const Case& c : fresh) {
        dax_bitmaps.clear();
        std::string expected = c.error[0] ? std::string("t.lua(2) ") + c.error : "";
        EXPECT_EQ(expected, script(c.call)) << c.call;
    }
    EXPECT_EQ(kDaxTileRect, dax_bitmaps.tileMode());
}

TEST_F(LuaBitmapTest, TileFunctionsNeedASheetAndATileSize) {
    const char* calls[] = {"read_1tile__({'t'}, 0, 0)", "read_mtile__({'t'}, 0, 0, 1, 1, 0)",
                           "read_ground_tile({'t'}, 1, 1, {0, 0})"};
    for (const char* call : calls) {
        std::string fn = std::string(call).substr(0, std::string(call).find('('));
        EXPECT_EQ("t.lua(2) in " + fn + ": no bitmap file opened", script(call)) << call;
    }
    ASSERT_EQ("", script("open_file('sheet.png')"));
    for (const char* call : calls) {
        std::string fn = std::string(call).substr(0, std::string(call).find('('));
        EXPECT_EQ("t.lua(2) in " + fn + ": tile size not set", script(call)) << call;
    }
}

TEST_F(LuaBitmapTest, OneTileAndMultiTileImages) {
    ASSERT_EQ("", script("set_iso_tile_size(64, 32)\nopen_file('sheet.png')\n"
                         "read_1tile__({'one'}, 2, 3)\n"
                         "read_1tile__({'oneflip', flip = 1}, 2, 3)\n"
                         "read_mtile__({'m'}, 0, 0, 2, 1, 0)\n"
                         "read_mtile__({'mtall'}, 10, 5, 2, 1, 50)\n"));
    const DaxBitmapEntry& one = entry("one");
    EXPECT_EQ(64, one.width_);
    EXPECT_EQ(31, one.height_);
    EXPECT_EQ(32, one.hot_x_);
    EXPECT_EQ(0, one.hot_y_);
    EXPECT_EQ(sheetColour(2, 3), pixel(one.bitmap_, 0, 0));
    EXPECT_EQ(kClear, pixel(one.bitmap_, 7, 6));  // magenta at 9, 9
    const DaxBitmapEntry& flipped = entry("oneflip");
    EXPECT_EQ(sheetColour(65, 3), pixel(flipped.bitmap_, 0, 0));
    EXPECT_EQ(sheetColour(2, 3), pixel(flipped.bitmap_, 63, 0));
    EXPECT_EQ(kClear, pixel(flipped.bitmap_, 56, 6));

    const DaxBitmapEntry& m = entry("m");
    EXPECT_EQ(96, m.width_);
    EXPECT_EQ(47, m.height_);
    EXPECT_EQ(64, m.hot_x_);
    EXPECT_EQ(16, m.hot_y_);
    EXPECT_TRUE(loggedLine("loaded 2x1 mtile m,1 from current file size=96,47 at index=2"));
    const DaxBitmapEntry& tall = entry("mtall");
    EXPECT_EQ(50, tall.height_);
    EXPECT_EQ(19, tall.hot_y_);
    EXPECT_EQ(sheetColour(10, 5), pixel(tall.bitmap_, 0, 0));

    struct Case {
        const char* call;
        const char* error;
    };
    const Case cases[] = {
        {"read_mtile__({'e'}, 0, 0, 2, 1, 40)", "in read_mtile__: height (40) is too small, needs to be at least 47"},
        {"read_mtile__({'e'}, 0, 0, 0, 1, 0)", "in read_mtile__: parameter 4 not between 1 and 32767: 0"},
        {"read_mtile__({'e'}, 0, 0, 2, 1)", "in read_mtile__: wrong number of parameters: 5, expected 6"},
        {"read_mtile__({'e'}, 40, 0, 2, 1, 0)",
         "in read_mtile__: can't create subbitmap: 40,0 size 96,47 is outside the 128x64 bitmap file"},
        {"read_mtile__({'e'}, 0, 0, 2000, 2000, 0)", "in read_mtile__: footprint 2000x2000 is out of range: 1..64 tiles a side"},
        {"read_1tile__({'e'}, 70, 0)",
         "in read_1tile__: can't create subbitmap: 70,0 size 64,31 is outside the 128x64 bitmap file"},
        {"read_1tile__({'one'}, 0, 0)", "in read_1tile__: bitmap one,1 already loaded at 0 with hot=32,0"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(std::string("t.lua(2) ") + c.error, script(c.call)) << c.call;
    }
}

TEST_F(LuaBitmapTest, IsometricGroundTileIsCutToItsDiamond) {
    ASSERT_EQ("", script("set_iso_tile_size(64, 32)\nopen_file('sheet.png')\n"
                         "read_ground_tile({'g'}, 1, 1, {40, 20})\n"
                         "read_ground_tile({'gb'}, 1, 1, {40, 20, border = 1})\n"
                         "read_ground_tile({'big'}, 2, 1, {0, 0})\n"));
    const DaxBitmapEntry& g = entry("g");
    EXPECT_EQ(64, g.width_);
    EXPECT_EQ(31, g.height_);
    EXPECT_EQ(32, g.hot_x_);
    EXPECT_EQ(32, g.hot_y_);
    EXPECT_TRUE(loggedLine("loaded ground tile g,1 from current file size=64,31 at index=0"));
    const DaxBitmapEntry& gb = entry("gb");
    // Top and bottom rows: the tip is kept, the pixel beside it becomes the
    // border, the rest is cleared.
    for (int y : {0, 30}) {
        for (int x = 0; x < 64; ++x) {
            Rgba plain = pixel(g.bitmap_, x, y);
            Rgba framed = pixel(gb.bitmap_, x, y);
            if (x == 30 || x == 33) {
                EXPECT_EQ(sheetColour(40 + x, 20 + y), plain) << x << "," << y;
                EXPECT_EQ(kBlack, framed) << x << "," << y;
            } else if (x == 31 || x == 32) {
                EXPECT_EQ(sheetColour(40 + x, 20 + y), plain) << x << "," << y;
                EXPECT_EQ(plain, framed) << x << "," << y;
            } else {
                EXPECT_EQ(kClear, plain) << x << "," << y;
                EXPECT_EQ(kClear, framed) << x << "," << y;
            }
        }
    }
    // The middle row is kept whole; the corners are cleared.
    for (int x = 1; x < 63; ++x) {
        EXPECT_EQ(sheetColour(40 + x, 35), pixel(g.bitmap_, x, 15)) << x;
    }
    EXPECT_EQ(kClear, pixel(g.bitmap_, 0, 0));
    EXPECT_EQ(kClear, pixel(g.bitmap_, 63, 30));

    const DaxBitmapEntry& big = entry("big");
    EXPECT_EQ(96, big.width_);
    EXPECT_EQ(47, big.height_);
    EXPECT_EQ(64, big.hot_x_);
    EXPECT_EQ(48, big.hot_y_);
}

TEST_F(LuaBitmapTest, RectangularGroundTileAndItsDottedFrame) {
    ASSERT_EQ("", script("set_rect_tile_size(32, 32)\nopen_file('sheet.png')\n"
                         "read_ground_tile({'r'}, 1, 1, {20, 10})\n"
                         "read_ground_tile({'rb'}, 1, 1, {20, 10, border = 1})\n"));
    const DaxBitmapEntry& r = entry("r");
    EXPECT_EQ(32, r.width_);
    EXPECT_EQ(31, r.height_);
    EXPECT_EQ(0, r.hot_x_);
    EXPECT_EQ(32, r.hot_y_);
    EXPECT_EQ(sheetColour(20, 10), pixel(r.bitmap_, 0, 0));
    const DaxBitmapEntry& rb = entry("rb");
    EXPECT_EQ(kBlack, pixel(rb.bitmap_, 0, 0));    // even row: left edge
    EXPECT_EQ(kBlack, pixel(rb.bitmap_, 31, 1));   // odd row: right edge
    EXPECT_EQ(kBlack, pixel(rb.bitmap_, 1, 30));   // odd column: bottom edge
    EXPECT_EQ(kBlack, pixel(rb.bitmap_, 2, 0));    // even column: top edge
    EXPECT_EQ(sheetColour(21, 10), pixel(rb.bitmap_, 1, 0));
    EXPECT_EQ(sheetColour(20, 11), pixel(rb.bitmap_, 0, 1));
    EXPECT_EQ(sheetColour(30, 25), pixel(rb.bitmap_, 10, 15));
}

TEST_F(LuaBitmapTest, GroundTileEdgeCases) {
    ASSERT_EQ("", script("set_iso_tile_size(64, 32)\nopen_file('sheet.png')\n"
                         "read_ground_tile({'edge'}, 1, 1, {100, 40})\n"));
    // The part of the region past the sheet stays clear.
    const DaxBitmapEntry& edge = entry("edge");
    EXPECT_EQ(sheetColour(127, 55), pixel(edge.bitmap_, 27, 15));
    EXPECT_EQ(kClear, pixel(edge.bitmap_, 40, 15));
    EXPECT_EQ(kClear, pixel(edge.bitmap_, 30, 25));

    struct Case {
        const char* call;
        const char* error;
    };
    const Case cases[] = {
        {"read_ground_tile({'e'}, 0, 0, {0, 0})", "in read_ground_tile: footprint 0x0 is out of range: 0..64 tiles a side"},
        {"read_ground_tile({'e'}, 1, 0, {0, 0})",
         "in read_ground_tile: error loading subbitmap e,1 from current file size=32,15"},
        {"read_ground_tile({'e'}, 1, 1, {0})", "in read_ground_tile: table row 4 has 1 entries, expected 2"},
        {"read_ground_tile({'e'}, 1, 1, {0, 0, border = 3})",
         "in read_ground_tile: parameter border of table 4 not 0 or 1: 3"},
        {"read_ground_tile({'e'}, 30000, 30000, {0, 0})",
         "in read_ground_tile: footprint 30000x30000 is out of range: 0..64 tiles a side"},
        {"read_ground_tile({'e'}, 65, 0, {0, 0})", "in read_ground_tile: footprint 65x0 is out of range: 0..64 tiles a side"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(std::string("t.lua(2) ") + c.error, script(c.call)) << c.call;
    }
}

// Every side may be below 32767 and the image still take gigabytes: one
// ground tile of a 32766 by 16382 tile would be 530 MB. Each image a call
// makes is bounded in area as well, and the error names the call.
TEST_F(LuaBitmapTest, ImagesAreBoundedInArea) {
    ASSERT_EQ("", script("set_iso_tile_size(32766, 16382)\nopen_file('sheet.png')\n"));
    const char* const too_large = "pixels is out of range: 1..32767 a side, at most 16777216 pixels";
    const struct {
        const char* call;
        const char* error;
    } cases[] = {
        {"read_ground_tile({'g'}, 1, 0, {0, 0})", "in read_ground_tile: ground tile of 16383x8190 "},
        {"read_ground_tile({'g'}, 1, 1, {0, 0})", "in read_ground_tile: ground tile of 32766x16381 "},
        {"read_mtile__({'m'}, 0, 0, 1, 1, 0)", "in read_mtile__: multi-tile of 32766x16381 "},
        {"read_bitmap({'b'}, {0, 0, w = 4, h = 4, ws = 32767})", "in read_bitmap: scaled bitmap of 32767x32767 "},
        {"read_bitmap({'b'}, {0, 0, w = 8, h = 4, hs = 16000})", "in read_bitmap: scaled bitmap of 32000x16000 "},
    };
    for (const auto& c : cases) {
        std::string err = script(c.call);
        EXPECT_TRUE(contains(err, c.error)) << c.call << ": " << err;
        EXPECT_TRUE(contains(err, too_large)) << c.call << ": " << err;
    }
    EXPECT_EQ(0u, dax_bitmaps.size());
}

}  // namespace
