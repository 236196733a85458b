// The clip-area stack, aligned text, the fonts' index search and the image
// loader hook.
#include <gtest/gtest.h>

#include "gcn/exception.hpp"
#include "gcn/font.hpp"
#include "gcn/image.hpp"
#include "gcn_fakes.hpp"

namespace {

using gcn::ClipRectangle;
using gcn::Rectangle;
using gcntest::PixelGraphics;

void expectClip(const ClipRectangle& c, int x, int y, int w, int h, int ox, int oy) {
    EXPECT_EQ(Rectangle(c), Rectangle(x, y, w, h));
    EXPECT_EQ(c.x_offset, ox);
    EXPECT_EQ(c.y_offset, oy);
}

TEST(ClipStackTest, PushesRelativeToTheTopAndClipsToIt) {
    PixelGraphics g(300, 300);
    EXPECT_TRUE(g.pushClipArea(Rectangle(100, 100, 50, 50)));
    expectClip(g.getCurrentClipArea(), 100, 100, 50, 50, 100, 100);

    EXPECT_TRUE(g.pushClipArea(Rectangle(5, 5, 10, 10)));
    expectClip(g.getCurrentClipArea(), 105, 105, 10, 10, 105, 105);
    g.popClipArea();

    EXPECT_TRUE(g.pushClipArea(Rectangle(45, 45, 10, 10)));
    expectClip(g.getCurrentClipArea(), 145, 145, 5, 5, 145, 145);
    g.popClipArea();

    // Wholly outside: an empty area that must still be popped.
    EXPECT_FALSE(g.pushClipArea(Rectangle(60, 0, 10, 10)));
    const ClipRectangle c = g.getCurrentClipArea();
    EXPECT_EQ(c.width, 0);
    EXPECT_EQ(c.height, 0);
    EXPECT_EQ(g.clipStackDepth(), 2u);
    g.popClipArea();

    // Zero width: all zeros, offsets included.
    EXPECT_TRUE(g.pushClipArea(Rectangle(10, 10, 0, 20)));
    expectClip(g.getCurrentClipArea(), 0, 0, 0, 0, 0, 0);
    g.popClipArea();
    g.popClipArea();
    EXPECT_EQ(g.clipStackDepth(), 0u);
}

TEST(ClipStackTest, EmptyStackErrorsLeaveItUnchanged) {
    PixelGraphics g(10, 10);
    try {
        g.popClipArea();
        FAIL();
    } catch (const gcn::Exception& e) {
        EXPECT_EQ(e.getMessage(), "Tried to pop clip area from empty stack.");
        EXPECT_EQ(e.getFunction(), "gcn::Graphics::popClipArea");
        EXPECT_GT(e.getLine(), 0);
        EXPECT_FALSE(e.getFilename().empty());
    }
    try {
        g.getCurrentClipArea();
        FAIL();
    } catch (const gcn::Exception& e) {
        EXPECT_STREQ(e.what(), "The clip area stack is empty.");
    }
    EXPECT_EQ(g.clipStackDepth(), 0u);
}

TEST(ClipStackTest, DrawingIsClippedAndOffset) {
    PixelGraphics g(20, 20);
    g._beginDraw();
    g.pushClipArea(Rectangle(5, 5, 4, 4));
    g.setColor(gcn::Color(9, 9, 9));
    g.fillRectangle(Rectangle(-10, -10, 100, 100));
    g.popClipArea();
    g._endDraw();
    EXPECT_EQ(g.count(gcn::Color(9, 9, 9)), 16);
    EXPECT_EQ(g.at(5, 5), gcn::Color(9, 9, 9));
    EXPECT_EQ(g.at(8, 8), gcn::Color(9, 9, 9));
    EXPECT_EQ(g.at(9, 9), gcntest::kUnset);
}

// A font whose texts are 7 pixels wide and which remembers where it drew.
class SevenFont : public gcn::Font {
public:
    int getWidth(const std::string&) const override { return 7; }
    int getHeight() const override { return 10; }
    void drawString(gcn::Graphics*, const std::string&, int x, int y) override {
        drawn_x = x;
        drawn_y = y;
    }
    int drawn_x = -1;
    int drawn_y = -1;
};

TEST(GraphicsTextTest, AlignmentMovesTheLeftEdge) {
    PixelGraphics g(10, 10);
    SevenFont font;
    EXPECT_THROW(g.drawText("x", 0, 0), gcn::Exception);
    g.setFont(&font);
    g.drawText("abc", 100, 4, gcn::Graphics::Center);
    EXPECT_EQ(font.drawn_x, 97);
    EXPECT_EQ(font.drawn_y, 4);
    g.drawText("abc", 100, 4, gcn::Graphics::Right);
    EXPECT_EQ(font.drawn_x, 93);
    g.drawText("abc", 100, 4, gcn::Graphics::Left);
    EXPECT_EQ(font.drawn_x, 100);
    try {
        g.drawText("abc", 0, 0, 3);
        FAIL();
    } catch (const gcn::Exception& e) {
        EXPECT_EQ(e.getMessage(), "Unknown alignment.");
    }
}

TEST(FontTest, DefaultFontIndexSearchAndMetrics) {
    gcn::DefaultFont f;
    EXPECT_EQ(f.getHeight(), 8);
    EXPECT_EQ(f.getWidth("abc"), 24);
    const struct {
        int x;
        int index;
    } cases[] = {{30, 3}, {20, 2}, {24, 3}, {23, 2}, {0, 0}, {7, 0}, {8, 1}, {-9, 0}};
    for (const auto& c : cases) {
        EXPECT_EQ(f.getStringIndexAt("abc", c.x), c.index) << c.x;
    }
}

TEST(FontTest, DefaultFontDrawsOneBoxPerByte) {
    PixelGraphics g(40, 10);
    gcn::DefaultFont f;
    g._beginDraw();
    g.setColor(gcn::Color(1, 1, 1));
    f.drawString(&g, "ab", 2, 1);
    g._endDraw();
    // Two 8 x 8 outlines of 28 pixels each.
    EXPECT_EQ(g.count(gcn::Color(1, 1, 1)), 56);
    EXPECT_EQ(g.at(2, 1), gcn::Color(1, 1, 1));
    EXPECT_EQ(g.at(9, 8), gcn::Color(1, 1, 1));
    EXPECT_EQ(g.at(10, 1), gcn::Color(1, 1, 1));
    EXPECT_EQ(g.at(5, 4), gcntest::kUnset);
}

// The base class's search, over a font 5 pixels a byte.
class FiveFont : public gcn::Font {
public:
    int getWidth(const std::string& t) const override { return 5 * static_cast<int>(t.size()); }
    int getHeight() const override { return 5; }
    void drawString(gcn::Graphics*, const std::string&, int, int) override {}
};

TEST(FontTest, BaseIndexSearchFindsTheFirstWiderPrefix) {
    FiveFont f;
    EXPECT_EQ(f.getStringIndexAt("abcd", -1), 0);
    EXPECT_EQ(f.getStringIndexAt("abcd", 0), 1);
    EXPECT_EQ(f.getStringIndexAt("abcd", 5), 2);
    EXPECT_EQ(f.getStringIndexAt("abcd", 14), 3);
    EXPECT_EQ(f.getStringIndexAt("abcd", 100), 4);
    // "é" is two bytes: the search never stops inside it.
    EXPECT_EQ(f.getStringIndexAt("a\xC3\xA9z", 5), 3);
}

class OneImageLoader : public gcn::ImageLoader {
public:
    std::unique_ptr<gcn::Image> load(const std::string& name, bool convert) override {
        last_name = name;
        last_convert = convert;
        return std::make_unique<gcntest::PixelImage>(3, 2);
    }
    std::string last_name;
    bool last_convert = false;
};

TEST(ImageTest, LoadGoesThroughTheInstalledLoader) {
    gcn::Image::setImageLoader(nullptr);
    try {
        gcn::Image::load("a.png");
        FAIL();
    } catch (const gcn::Exception& e) {
        EXPECT_EQ(e.getMessage(), "Trying to load an image but no image loader is set.");
    }
    OneImageLoader loader;
    gcn::Image::setImageLoader(&loader);
    std::unique_ptr<gcn::Image> img = gcn::Image::load("b.png", false);
    EXPECT_EQ(img->getWidth(), 3);
    EXPECT_EQ(loader.last_name, "b.png");
    EXPECT_FALSE(loader.last_convert);
    gcn::Image::setImageLoader(nullptr);
}

TEST(ImageTest, WholeImageDrawUsesItsOwnSize) {
    PixelGraphics g(10, 10);
    gcntest::PixelImage img(2, 3, gcn::Color(5, 5, 5));
    g._beginDraw();
    g.drawImage(&img, 4, 4);
    g._endDraw();
    EXPECT_EQ(g.count(gcn::Color(5, 5, 5)), 6);
    EXPECT_EQ(g.at(5, 6), gcn::Color(5, 5, 5));
}

}  // namespace
