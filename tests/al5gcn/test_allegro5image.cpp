// Images on Allegro bitmaps and the image loader: pixel access, ownership
// of the bitmap, and magenta made transparent on loading.
#include "al5_fixture.hpp"
#include "al5gcn/allegro5image.hpp"
#include "gcn/exception.hpp"
#include "support/temp_dir.h"

namespace {

using al5test::Canvas;
using gcn::Color;

TEST(Allegro5ImageTest, PixelsRoundTripAndTheTargetStays) {
    Canvas canvas(4, 4);
    gcn::Allegro5Image img(al_create_bitmap(3, 2), true);
    EXPECT_EQ(img.getWidth(), 3);
    EXPECT_EQ(img.getHeight(), 2);
    img.putPixel(2, 1, Color(10, 200, 30, 255));
    EXPECT_EQ(al_get_target_bitmap(), canvas.bitmap());
    EXPECT_EQ(img.getPixel(2, 1), Color(10, 200, 30, 255));
    // Channels go in as bytes.
    img.putPixel(0, 0, Color(256 + 5, 0, 0, 255));
    EXPECT_EQ(img.getPixel(0, 0).r, 5);
}

TEST(Allegro5ImageTest, AnImageWithoutBitmapRaises) {
    gcn::Allegro5Image img(al_create_bitmap(2, 2), false);
    img.free();
    EXPECT_EQ(img.getBitmap(), nullptr);
    const struct {
        const char* message;
        void (*call)(gcn::Allegro5Image&);
    } cases[] = {
        {"Trying to get the width of a non loaded image.", [](gcn::Allegro5Image& i) { (void)i.getWidth(); }},
        {"Trying to get the height of a non loaded image.", [](gcn::Allegro5Image& i) { (void)i.getHeight(); }},
        {"Trying to get a pixel from a non loaded image.", [](gcn::Allegro5Image& i) { (void)i.getPixel(0, 0); }},
        {"Trying to put a pixel in a non loaded image.", [](gcn::Allegro5Image& i) { i.putPixel(0, 0, Color()); }},
        {"Trying to convert a non loaded image to display format.",
         [](gcn::Allegro5Image& i) { i.convertToDisplayFormat(); }},
    };
    for (const auto& c : cases) {
        try {
            c.call(img);
            ADD_FAILURE() << c.message;
        } catch (const gcn::Exception& e) {
            EXPECT_EQ(e.getMessage(), c.message);
        }
    }
}

TEST(Allegro5ImageTest, SetBitmapLeavesABorrowedBitmapAlive) {
    ALLEGRO_BITMAP* registry_owned = al_create_bitmap(5, 5);
    ALLEGRO_BITMAP* other = al_create_bitmap(6, 6);
    {
        gcn::Allegro5Image img(registry_owned, false);
        img.setBitmap(other, true);
        EXPECT_EQ(img.getWidth(), 6);
        EXPECT_TRUE(img.isAutoFree());
    }
    // Still usable (the sanitizer build would catch a destroyed bitmap);
    // the owned one went with the image.
    EXPECT_EQ(al_get_bitmap_width(registry_owned), 5);
    // An image that never owned its bitmap leaves it when it goes.
    { gcn::Allegro5Image borrowing(registry_owned, false); }
    EXPECT_EQ(al_get_bitmap_width(registry_owned), 5);
    al_destroy_bitmap(registry_owned);
}

TEST(Allegro5ImageTest, SetBitmapDestroysAnOwnedBitmap) {
    // The sanitizer build's leak check would report the first bitmap if it
    // were not destroyed.
    gcn::Allegro5Image img(al_create_bitmap(5, 5), true);
    ALLEGRO_BITMAP* borrowed = al_create_bitmap(2, 2);
    img.setBitmap(borrowed, false);
    EXPECT_EQ(img.getBitmap(), borrowed);
    img.setBitmap(borrowed, false);
    EXPECT_EQ(al_get_bitmap_width(borrowed), 2);
    al_destroy_bitmap(borrowed);
    img.setBitmap(nullptr, false);
}

TEST(Allegro5ImageLoaderTest, MagentaBecomesTransparent) {
    TempDir dir;
    const std::string file = dir.file("sheet.png");
    {
        ALLEGRO_BITMAP* bmp = al_create_bitmap(2, 1);
        al_set_target_bitmap(bmp);
        al_put_pixel(0, 0, al_map_rgb(255, 0, 255));
        al_put_pixel(1, 0, al_map_rgb(1, 2, 3));
        ASSERT_TRUE(al_save_bitmap(file.c_str(), bmp));
        al_set_target_bitmap(nullptr);
        al_destroy_bitmap(bmp);
    }
    gcn::Allegro5ImageLoader loader;
    std::unique_ptr<gcn::Image> img = loader.load(file, true);
    ASSERT_NE(img, nullptr);
    EXPECT_EQ(img->getWidth(), 2);
    EXPECT_EQ(img->getPixel(0, 0).a, 0);
    EXPECT_EQ(img->getPixel(1, 0), Color(1, 2, 3, 255));
    auto* al_img = dynamic_cast<gcn::Allegro5Image*>(img.get());
    ASSERT_NE(al_img, nullptr);
    EXPECT_TRUE(al_img->isAutoFree());

    // Through the library's hook as well.
    gcn::Image::setImageLoader(&loader);
    EXPECT_EQ(gcn::Image::load(file)->getHeight(), 1);
    gcn::Image::setImageLoader(nullptr);
}

TEST(Allegro5ImageLoaderTest, AMissingFileNamesItself) {
    gcn::Allegro5ImageLoader loader;
    try {
        loader.load("/nonexistent/sheet.png");
        FAIL();
    } catch (const gcn::Exception& e) {
        EXPECT_EQ(e.getMessage(), "Unable to load: /nonexistent/sheet.png");
        EXPECT_EQ(e.getFunction(), "gcn::Allegro5ImageLoader::load");
    }
}

}  // namespace
