// The bitmap and tile registry: ids and keys, the transparent copy, range
// checks, tile sizes and footprints, variants and the PNG export. Headless:
// every bitmap is a memory bitmap made by the test.
#include <gtest/gtest.h>

#include <allegro5/allegro.h>
#include <unistd.h>

#include <deque>
#include <map>
#include <string>

#include "dax2/dax_bitmap.h"
#include "dax2/dax_error.h"
#include "dax2/dax_file.h"
#include "dax2/dax_mptr.h"
#include "dax2/dax_msg.h"
#include "dax2/dax_random.h"
#include "support/allegro_env.h"
#include "support/dax_probe.h"
#include "support/temp_dir.h"

namespace {

bool sameColor(ALLEGRO_COLOR c, int r, int g, int b, int a) {
    unsigned char cr, cg, cb, ca;
    al_unmap_rgba(c, &cr, &cg, &cb, &ca);
    return cr == r && cg == g && cb == b && ca == a;
}

class BitmapTest : public ::testing::Test {
protected:
    void SetUp() override { zorInitAllegro(); }

    // A w by h memory bitmap filled with one colour.
    ALLEGRO_BITMAP* make(int w, int h, ALLEGRO_COLOR fill = al_map_rgb(10, 20, 30)) {
        ALLEGRO_BITMAP* b = zorMemoryBitmap(w, h, fill);
        EXPECT_NE(b, nullptr);
        made_.emplace_back(b);
        return b;
    }
    DaxBitmapIndex add(const std::string& name, int variant, int flag, int w = 8, int h = 8, bool check = false,
                       int text_id = -1) {
        return reg_.add(DaxBitmapKey(name, variant, flag), make(w, h), 1, 2, check, text_id);
    }

    DaxBitmapRegistry reg_;
    std::deque<ALLEGRO_BITMAP_mptr> made_;
};

TEST_F(BitmapTest, IdsCountEntriesAndCarryTheFlag) {
    EXPECT_EQ(add("a", 0, 1), 1);
    EXPECT_EQ(add("b", 0, 0), 2);
    EXPECT_EQ(add("a", 0, 0), 4);
    EXPECT_EQ(add("a", 0, 7), 7);
    EXPECT_EQ(reg_.size(), 4u);

    EXPECT_EQ(reg_.find(DaxBitmapKey("a", 0, 1)), 1);
    EXPECT_EQ(reg_.find(DaxBitmapKey("a", 0, 0)), 4);
    EXPECT_EQ(reg_.find(DaxBitmapKey("a", 1, 0)), kDaxNoBitmap);
    EXPECT_EQ(reg_.find(DaxBitmapKey("c", 0, 0)), kDaxNoBitmap);

    const DaxBitmapEntry& e = reg_.entry(2);
    EXPECT_EQ(e.key_, DaxBitmapKey("b", 0, 0));
    EXPECT_EQ(e.hot_x_, 1);
    EXPECT_EQ(e.hot_y_, 2);
    EXPECT_EQ(e.width_, 8);
    EXPECT_EQ(e.height_, 8);
    EXPECT_EQ(reg_.name(1), DaxBitmapKey("a", 0, 1));
    EXPECT_EQ(reg_.name(7), DaxBitmapKey("a", 0, 7));

    // The key map, in key order, as the save-game writer reads it.
    std::map<DaxBitmapKey, DaxBitmapIndex> expected = {
        {DaxBitmapKey("a", 0, 0), 4}, {DaxBitmapKey("a", 0, 1), 1},
        {DaxBitmapKey("a", 0, 7), 7}, {DaxBitmapKey("b", 0, 0), 2}};
    EXPECT_EQ(reg_.indexMap(), expected);
}

TEST_F(BitmapTest, KeysOrderByBytesThenVariantThenFlag) {
    EXPECT_LT(DaxBitmapKey("B", 9, 9), DaxBitmapKey("a", 0, 0));
    EXPECT_LT(DaxBitmapKey("a", 9, 9), DaxBitmapKey("ab", 0, 0));
    EXPECT_LT(DaxBitmapKey("a", -1, 5), DaxBitmapKey("a", 0, 0));
    EXPECT_LT(DaxBitmapKey("a", 1, 0), DaxBitmapKey("a", 1, 1));
    // Bytes above 127 sort after ASCII whatever the sign of char.
    EXPECT_LT(DaxBitmapKey("z", 0, 0), DaxBitmapKey("\xC3\xA4", 0, 0));
    EXPECT_FALSE(DaxBitmapKey("a", 1, 1) < DaxBitmapKey("a", 1, 1));
}

TEST_F(BitmapTest, DuplicateKeysRaiseAndLeaveTheRegistryAlone) {
    add("house", 2, 0);
    EXPECT_EQ(raisedBy([&] { add("house", 2, 0); }), "bitmap house,2 already loaded at 0 with hot=1,2");
    EXPECT_EQ(raisedBy([&] { reg_.add(DaxBitmapKey("house", 2, 0), make(4, 4), 5, 6, false, -1); }),
              "bitmap house,2 already loaded at 0 with different hotspot! old=1,2 new=5,6");
    EXPECT_EQ(raisedBy([&] { reg_.add(DaxBitmapKey("none", 0, 0), nullptr, 0, 0, false, -1); }),
              "bitmap none,0 has no image");
    EXPECT_EQ(reg_.size(), 1u);
}

TEST_F(BitmapTest, LookupsByIdCheckTheRange) {
    EXPECT_EQ(raisedBy([&] { reg_.entry(0); }), "bmp index out of range 0..0: 0");
    add("a", 0, 0);
    add("b", 0, 1);
    add("c", 0, 0);
    struct Case {
        DaxBitmapIndex id;
        const char* error;
    } cases[] = {
        {-2, "bmp index out of range 0..3: -1"},
        {-1, "bmp index out of range 0..3: 0"},
        {-7, "bmp index out of range 0..3: -3"},
        {6, "bmp index out of range 0..3: 3"},
        {7, "bmp index out of range 0..3: 3"},
        {1 << 30, "bmp index out of range 0..3: 536870912"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.id);
        EXPECT_EQ(raisedBy([&] { reg_.entry(c.id); }), c.error);
        EXPECT_EQ(raisedBy([&] { reg_.name(c.id); }), c.error);
        EXPECT_EQ(raisedBy([&] { reg_.textId(c.id); }), c.error);
    }
    // The flag bit does not matter for the look-up.
    EXPECT_EQ(reg_.name(5).name_, "c");
}

TEST_F(BitmapTest, CopyMakesMagentaTransparentAndRestoresCallerState) {
    ALLEGRO_BITMAP* src = make(3, 2);
    {
        DaxAllegroStateSaver state(ALLEGRO_STATE_TARGET_BITMAP);
        al_set_target_bitmap(src);
        al_put_pixel(0, 0, al_map_rgb(255, 0, 255));
        al_put_pixel(1, 0, al_map_rgb(200, 0, 0));
        al_put_pixel(2, 0, al_map_rgba(0, 0, 0, 0));
    }
    DaxAllegroStateSaver caller_state;
    ALLEGRO_BITMAP* target = make(1, 1);
    al_set_target_bitmap(target);
    al_set_new_bitmap_flags(ALLEGRO_MEMORY_BITMAP | ALLEGRO_MIN_LINEAR);
    al_set_blender(ALLEGRO_ADD, ALLEGRO_ALPHA, ALLEGRO_INVERSE_ALPHA);

    DaxBitmapIndex id = reg_.add(DaxBitmapKey("pic", 0, 0), src, 0, 0, false, -1);

    EXPECT_EQ(al_get_target_bitmap(), target);
    EXPECT_EQ(al_get_new_bitmap_flags(), ALLEGRO_MEMORY_BITMAP | ALLEGRO_MIN_LINEAR);
    int op, s, d;
    al_get_blender(&op, &s, &d);
    EXPECT_EQ(s, ALLEGRO_ALPHA);
    EXPECT_EQ(d, ALLEGRO_INVERSE_ALPHA);
    al_set_target_bitmap(nullptr);

    ALLEGRO_BITMAP* copy = reg_.entry(id).bitmap_;
    ASSERT_NE(copy, nullptr);
    EXPECT_NE(copy, src);
    EXPECT_EQ(al_get_bitmap_width(copy), 3);
    EXPECT_EQ(al_get_bitmap_height(copy), 2);
    EXPECT_TRUE(al_get_bitmap_flags(copy) & ALLEGRO_MEMORY_BITMAP);
    EXPECT_EQ(al_get_pixel(copy, 0, 0).a, 0.0f);
    EXPECT_TRUE(sameColor(al_get_pixel(copy, 1, 0), 200, 0, 0, 255));
    EXPECT_EQ(al_get_pixel(copy, 2, 0).a, 0.0f);
    EXPECT_TRUE(sameColor(al_get_pixel(copy, 0, 1), 10, 20, 30, 255));

    // The registry's copy does not depend on the source.
    made_.clear();
    EXPECT_TRUE(sameColor(al_get_pixel(copy, 1, 0), 200, 0, 0, 255));
}

TEST_F(BitmapTest, TextIdsAreKeptOnlyWhenTheTextExists) {
    dax_strings.addString(9101, "trees", false);
    dax_strings.addString(9102, "rocks", true);
    DaxBitmapIndex a = add("tree", 0, 0, 8, 8, false, 9101);
    DaxBitmapIndex b = add("tree", 1, 0, 8, 8, false, 9101);
    DaxBitmapIndex c = add("rock", 0, 0, 8, 8, false, 9102);
    DaxBitmapIndex d = add("lake", 0, 0, 8, 8, false, 9199);
    DaxBitmapIndex e = add("road", 0, 0, 8, 8, false, -1);
    EXPECT_EQ(reg_.textId(a), 9101);
    EXPECT_EQ(reg_.textId(c), 9102);
    EXPECT_EQ(reg_.textId(d), -1);
    EXPECT_EQ(reg_.textId(e), -1);
    (void)b;

    std::map<int, int> counts = {{1, 99}};
    reg_.countTextIds(counts);
    std::map<int, int> expected = {{9101, 2}, {9102, 1}};
    EXPECT_EQ(counts, expected);
}

TEST_F(BitmapTest, TileSizeIsSetOnceAndOnlyWhenValid) {
    struct Case {
        bool iso;
        int w, h;
        bool ok;
    } fresh[] = {
        {true, 64, 32, true},  {true, 64, 64, false}, {true, 63, 32, false}, {true, 64, 31, false},
        {true, 32, 64, false}, {true, 0, 0, false},   {true, -64, -32, false},
        {false, 32, 32, true}, {false, 64, 32, true}, {false, 32, 64, true}, {false, 33, 32, false},
        {false, 32, 0, false},
    };
    for (const Case& c : fresh) {
        SCOPED_TRACE(std::to_string(c.iso) + " " + std::to_string(c.w) + "x" + std::to_string(c.h));
        DaxBitmapRegistry r;
        EXPECT_EQ(c.iso ? r.setIsoTileSize(c.w, c.h) : r.setRectTileSize(c.w, c.h), c.ok);
        EXPECT_EQ(r.tileMode(), c.ok ? (c.iso ? kDaxTileIso : kDaxTileRect) : kDaxTileNone);
        EXPECT_EQ(r.tileWidth(), c.ok ? c.w : 0);
        EXPECT_EQ(r.tileHeight(), c.ok ? c.h : 0);
    }

    EXPECT_TRUE(reg_.setIsoTileSize(64, 32));
    EXPECT_FALSE(reg_.setIsoTileSize(64, 32));
    EXPECT_FALSE(reg_.setIsoTileSize(32, 16));
    EXPECT_FALSE(reg_.setRectTileSize(32, 32));
    EXPECT_EQ(reg_.tileMode(), kDaxTileIso);
    EXPECT_EQ(reg_.tileWidth(), 64);
    EXPECT_EQ(reg_.tileHeight(), 32);
}

TEST_F(BitmapTest, TileHeightCheckRefusesLowImages) {
    // Without a tile size there is nothing to check against.
    EXPECT_EQ(add("early", 0, 0, 8, 2, true), 0);
    reg_.setIsoTileSize(64, 32);
    EXPECT_EQ(add("low", 0, 0, 64, 30, true), kDaxNoBitmap);
    EXPECT_EQ(reg_.find(DaxBitmapKey("low", 0, 0)), kDaxNoBitmap);
    EXPECT_EQ(reg_.size(), 1u);
    EXPECT_EQ(add("low", 0, 0, 64, 31, true), 2);
    EXPECT_EQ(add("icon", 0, 0, 16, 16, false), 4);
}

TEST_F(BitmapTest, FootprintFitsTheTileArea) {
    EXPECT_EQ(raisedBy([&] { reg_.fitsTileArea("any", 1, 1); }), "tile size not set");
    reg_.setIsoTileSize(64, 32);
    EXPECT_EQ(raisedBy([&] { reg_.fitsTileArea("missing", 1, 1); }), "bmp index out of range 0..0: -1");

    struct Case {
        int img_w, img_h, w, h;
        bool fits;
    } cases[] = {
        {128, 63, 2, 2, true}, {128, 100, 2, 2, true}, {128, 62, 2, 2, false}, {127, 63, 2, 2, false},
        {129, 63, 2, 2, false}, {96, 47, 2, 1, true},  {96, 47, 1, 2, true},   {64, 31, 1, 1, true},
        {64, 31, 2, 2, false},
    };
    int n = 0;
    for (const Case& c : cases) {
        std::string name = "bld" + std::to_string(n++);
        add(name, 0, 0, c.img_w, c.img_h);
        EXPECT_EQ(reg_.fitsTileArea(name, c.w, c.h), c.fits) << c.img_w << "x" << c.img_h;
    }
    // Absurd footprints from a script do not wrap around into a fit.
    add("huge", 0, 0, 64, 31);
    EXPECT_FALSE(reg_.fitsTileArea("huge", 0x7FFFFFFF, 0x7FFFFFFF));

    // Only the first variant with flag 0 is measured.
    add("two", 1, 0, 64, 31);
    add("two", 0, 1, 128, 63);
    add("two", 3, 0, 128, 63);
    EXPECT_TRUE(reg_.fitsTileArea("two", 1, 1));
    EXPECT_FALSE(reg_.fitsTileArea("two", 2, 2));
}

TEST_F(BitmapTest, VariantsAreTheUnflaggedKeysOfANameInOrder) {
    DaxBitmapIndex v2 = add("tree", 2, 0);
    DaxBitmapIndex v0 = add("tree", 0, 0);
    add("tree", 1, 1);  // flagged: not a variant
    DaxBitmapIndex v5 = add("tree", 5, 0);
    add("tre", 0, 0);
    add("tree2", 0, 0);
    add("trees", 0, 0);

    EXPECT_EQ(reg_.variantCount("tree"), 3);
    EXPECT_EQ(reg_.findVariant("tree", 0), v0);
    EXPECT_EQ(reg_.findVariant("tree", 1), v2);
    EXPECT_EQ(reg_.findVariant("tree", 2), v5);
    EXPECT_EQ(reg_.findVariant("tree", 3), kDaxNoBitmap);
    EXPECT_EQ(reg_.findVariant("tree", -1), kDaxNoBitmap);
    EXPECT_EQ(reg_.variantCount("tr"), 0);
    EXPECT_EQ(reg_.findVariant("tr", 0), kDaxNoBitmap);
    EXPECT_EQ(reg_.variantCount("tre"), 1);
}

TEST_F(BitmapTest, RandomVariantsDrawOnlyWhenThereIsAChoice) {
    add("one", 4, 0);
    add("many", 0, 0);
    add("many", 1, 0);
    add("many", 2, 0);

    dax_random.seed(77);
    DaxRandom expected = dax_random;
    EXPECT_EQ(reg_.randomVariantNumber("one"), 0);
    EXPECT_EQ(reg_.randomVariant("one"), reg_.findVariant("one", 0));
    EXPECT_EQ(reg_.randomVariantNumber("none"), -1);
    EXPECT_EQ(reg_.randomVariant("none"), kDaxNoBitmap);
    // Nothing was drawn so far.
    EXPECT_EQ(dax_random.next32(), expected.next32());

    dax_random.seed(78);
    expected = dax_random;
    for (int i = 0; i < 50; ++i) {
        int k = static_cast<int>(expected.real() * 3);
        EXPECT_EQ(reg_.randomVariantNumber("many"), k);
        k = static_cast<int>(expected.real() * 3);
        EXPECT_EQ(reg_.randomVariant("many"), reg_.findVariant("many", k));
    }
}

TEST_F(BitmapTest, VariantFromRealStaysBelowTheCount) {
    struct Case {
        double r;
        int count, k;
    } cases[] = {
        {0.0, 3, 0}, {0.33, 3, 0}, {0.34, 3, 1}, {0.999999, 3, 2},
        // real() returns exactly 1.0 for the generator's largest output.
        {DaxRandom::toReal(0xFFFFFFFFu), 3, 2}, {1.0, 2, 1}, {1.0, 1, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(DaxBitmapRegistry::variantFromReal(c.r, c.count), c.k) << c.r << " " << c.count;
    }
}

TEST_F(BitmapTest, ClearForgetsBitmapsAndTileSizeButKeepsExport) {
    reg_.setIsoTileSize(64, 32);
    reg_.setExportFlag(false);
    add("a", 0, 0);
    add("b", 0, 1);
    reg_.setExportFlag(true);
    reg_.clear();
    EXPECT_EQ(reg_.size(), 0u);
    EXPECT_TRUE(reg_.indexMap().empty());
    EXPECT_EQ(reg_.tileMode(), kDaxTileNone);
    EXPECT_EQ(reg_.tileWidth(), 0);
    EXPECT_EQ(reg_.tileHeight(), 0);
    EXPECT_TRUE(reg_.exportFlag());
    EXPECT_EQ(raisedBy([&] { reg_.entry(0); }), "bmp index out of range 0..0: 0");
    // Ids start again from 0 and the tile size can be set anew.
    reg_.setExportFlag(false);
    EXPECT_EQ(add("b", 0, 1), 1);
    EXPECT_TRUE(reg_.setRectTileSize(32, 32));
}

// Switches the working directory for one test.
class WorkDir {
public:
    explicit WorkDir(const std::string& dir) {
        char buf[4096];
        old_ = getcwd(buf, sizeof buf) ? buf : "/";
        EXPECT_EQ(chdir(dir.c_str()), 0);
    }
    ~WorkDir() { EXPECT_EQ(chdir(old_.c_str()), 0); }

private:
    std::string old_;
};

TEST_F(BitmapTest, ExportWritesNewBitmapsAsPngInTheWorkingDirectory) {
    TempDir dir;
    WorkDir cwd(dir.path());
    add("quiet", 0, 0);
    reg_.setExportFlag(true);
    ALLEGRO_BITMAP* src = make(5, 4, al_map_rgb(255, 0, 255));
    reg_.add(DaxBitmapKey("house", 3, 1), src, 0, 0, false, -1);
    add("sub/dir", 12, 0);

    EXPECT_FALSE(daxFileExists(dir.file("zor_quiet.000.00.png").c_str()));
    std::string file = dir.file("zor_house.003.01.png");
    ASSERT_TRUE(daxFileExists(file.c_str()));
    EXPECT_TRUE(daxFileExists(dir.file("zor_sub_dir.012.00.png").c_str()));

    ALLEGRO_BITMAP_mptr back(al_load_bitmap(file.c_str()));
    ASSERT_TRUE(back);
    EXPECT_EQ(al_get_bitmap_width(back.get()), 5);
    EXPECT_EQ(al_get_bitmap_height(back.get()), 4);
    // Written after the magenta was made transparent.
    EXPECT_EQ(al_get_pixel(back.get(), 2, 2).a, 0.0f);
}

}  // namespace
