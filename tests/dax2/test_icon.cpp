// Icons and image buttons on registry bitmaps: each widget frees the one
// wrapper it holds, exactly once, and never the registry's bitmap; failed
// look-ups leave the picture as it was.
#include <gtest/gtest.h>

#include <allegro5/allegro.h>

#include <memory>
#include <string>

#include "al5gcn/allegro5image.hpp"
#include "dax2/dax_bitmap.h"
#include "dax2/dax_error.h"
#include "dax2/dax_icon.h"
#include "support/allegro_env.h"
#include "support/dax_probe.h"

namespace {

ALLEGRO_BITMAP* registered(DaxBitmapIndex id) { return dax_bitmaps.entry(id).bitmap_; }

ALLEGRO_BITMAP* shownBy(const gcn::Image* image) {
    auto* a5 = dynamic_cast<const gcn::Allegro5Image*>(image);
    return a5 ? a5->getBitmap() : nullptr;
}

// Three registered bitmaps: "house" variants 0 (10 x 12) and 1 (20 x 8),
// and "tree" (6 x 6).
class IconTest : public ::testing::Test {
protected:
    void SetUp() override {
        zorInitAllegro();
        dax_bitmaps.clear();
        house0_ = add("house", 0, 10, 12);
        house1_ = add("house", 1, 20, 8);
        tree_ = add("tree", 0, 6, 6);
        alive_ = daxRegistryImagesAlive();
    }
    void TearDown() override { dax_bitmaps.clear(); }

    static DaxBitmapIndex add(const char* name, int variant, int w, int h) {
        return registerMemoryBitmap(DaxBitmapKey(name, variant, 0), w, h, 0, 0);
    }

    DaxBitmapIndex house0_ = kDaxNoBitmap;
    DaxBitmapIndex house1_ = kDaxNoBitmap;
    DaxBitmapIndex tree_ = kDaxNoBitmap;
    int alive_ = 0;
};

TEST_F(IconTest, EachNewBitmapReplacesTheOneWrapperAndTheIconTakesItsSize) {
    {
        DaxIcon icon;
        EXPECT_EQ(icon.heldImage(), nullptr);
        icon.setBitmap(house0_);
        EXPECT_EQ(daxRegistryImagesAlive(), alive_ + 1);
        EXPECT_EQ(icon.getImage(), icon.heldImage());
        EXPECT_EQ(shownBy(icon.getImage()), registered(house0_));
        EXPECT_EQ(icon.getWidth(), 10);
        EXPECT_EQ(icon.getHeight(), 12);

        icon.setBitmap(tree_);
        EXPECT_EQ(daxRegistryImagesAlive(), alive_ + 1);  // the first went
        EXPECT_EQ(shownBy(icon.getImage()), registered(tree_));
        EXPECT_EQ(icon.getWidth(), 6);
    }
    EXPECT_EQ(daxRegistryImagesAlive(), alive_);  // the second went with it
    // The registry's bitmaps outlive the widget.
    EXPECT_EQ(al_get_bitmap_width(registered(house0_)), 10);
    EXPECT_EQ(al_get_bitmap_width(registered(tree_)), 6);

    { DaxIcon never_shown; }
    EXPECT_EQ(daxRegistryImagesAlive(), alive_);
}

TEST_F(IconTest, AFailedLookUpRaisesAndKeepsThePicture) {
    DaxIcon icon;
    icon.setBitmap(tree_);
    const gcn::Image* before = icon.getImage();
    const int entries = static_cast<int>(dax_bitmaps.size());
    EXPECT_EQ(raisedBy([&] { icon.setBitmap(40); }), "bmp index out of range 0.." + std::to_string(entries) + ": 20");
    EXPECT_EQ(raisedBy([&] { icon.setBitmap(kDaxNoBitmap); }),
              "bmp index out of range 0.." + std::to_string(entries) + ": -1");
    EXPECT_EQ(icon.getImage(), before);
    EXPECT_EQ(daxRegistryImagesAlive(), alive_ + 1);

    DaxImageButton button;
    EXPECT_EQ(raisedBy([&] { button.setBitmapName("nowhere"); }),
              "bmp index out of range 0.." + std::to_string(entries) + ": -1");
    EXPECT_EQ(button.getImage(), nullptr);
}

TEST_F(IconTest, AnImageButtonShowsVariantZeroOfANameAndKeepsItsSize) {
    {
        DaxImageButton button;
        button.setSize(50, 40);
        button.setBitmapName("house");
        EXPECT_EQ(shownBy(button.getImage()), registered(house0_));
        EXPECT_EQ(button.getWidth(), 50);
        button.adjustSize();
        EXPECT_EQ(button.getWidth(), 10 + 2 * button.getSpacing());

        button.setBitmap(house1_);
        EXPECT_EQ(shownBy(button.getImage()), registered(house1_));
        EXPECT_EQ(button.getImage(), button.heldImage());
        EXPECT_EQ(daxRegistryImagesAlive(), alive_ + 1);
    }
    EXPECT_EQ(daxRegistryImagesAlive(), alive_);
    EXPECT_EQ(al_get_bitmap_width(registered(house1_)), 20);
}

TEST_F(IconTest, TheWrapperNeverDestroysTheRegistrysBitmap) {
    DaxIcon icon;
    icon.setBitmap(house1_);
    auto* wrapper = dynamic_cast<gcn::Allegro5Image*>(icon.heldImage());
    ASSERT_NE(wrapper, nullptr);
    EXPECT_FALSE(wrapper->isAutoFree());
    // Even an explicit free leaves the bitmap to the registry.
    wrapper->free();
    EXPECT_EQ(wrapper->getBitmap(), registered(house1_));
    EXPECT_EQ(al_get_bitmap_height(registered(house1_)), 8);
}

}  // namespace
