// The Allegro 5 drawing back end on memory bitmaps: primitives hit exactly
// the pixels the widget code expects, clip areas go through Allegro's
// clipping, and misuse raises.
#include <memory>

#include "al5_fixture.hpp"
#include "al5gcn/allegro5font.hpp"
#include "al5gcn/allegro5graphics.hpp"
#include "al5gcn/allegro5image.hpp"
#include "gcn/exception.hpp"
#include "gcn/widgets/container.hpp"

namespace {

using al5test::Canvas;
using gcn::Color;
using gcn::Rectangle;

const Color kRed(255, 0, 0, 255);

TEST(Allegro5GraphicsTest, LineOfLengthZeroIsThePixelAtTheClipOffset) {
    Canvas canvas(20, 20);
    gcn::Allegro5Graphics g;
    g.setColor(kRed);
    g._beginDraw();
    g.pushClipArea(Rectangle(5, 7, 10, 10));
    g.drawLine(0, 0, 0, 0);
    g.popClipArea();
    g._endDraw();
    EXPECT_EQ(canvas.at(5, 7), kRed);
    EXPECT_EQ(canvas.drawnCount(), 1);
}

TEST(Allegro5GraphicsTest, LinesCoverBothEndPixelsAndNothingBeside) {
    const struct {
        const char* what;
        int x1, y1, x2, y2;
        int count;
    } cases[] = {
        {"horizontal", 2, 3, 9, 3, 8},
        {"vertical", 4, 1, 4, 6, 6},
        {"backwards", 9, 3, 2, 3, 8},
    };
    for (const auto& c : cases) {
        Canvas canvas(12, 12);
        gcn::Allegro5Graphics g;
        g.setColor(kRed);
        g._beginDraw();
        g.drawLine(c.x1, c.y1, c.x2, c.y2);
        g._endDraw();
        EXPECT_TRUE(canvas.drawn(c.x1, c.y1)) << c.what;
        EXPECT_TRUE(canvas.drawn(c.x2, c.y2)) << c.what;
        EXPECT_EQ(canvas.drawnCount(), c.count) << c.what;
    }
}

TEST(Allegro5GraphicsTest, DiagonalLineReachesBothEnds) {
    Canvas canvas(12, 12);
    gcn::Allegro5Graphics g;
    g.setColor(kRed);
    g._beginDraw();
    g.drawLine(1, 1, 8, 8);
    g._endDraw();
    EXPECT_TRUE(canvas.drawn(1, 1));
    EXPECT_TRUE(canvas.drawn(8, 8));
    EXPECT_TRUE(canvas.drawn(5, 5));
    EXPECT_FALSE(canvas.drawn(8, 1));
    EXPECT_FALSE(canvas.drawn(10, 10));
}

TEST(Allegro5GraphicsTest, RectangleOutlineAndFillCoverTheSamePixels) {
    Canvas canvas(20, 20);
    gcn::Allegro5Graphics g;
    g.setColor(kRed);
    g._beginDraw();
    g.drawRectangle(Rectangle(0, 0, 10, 5));
    g._endDraw();
    EXPECT_TRUE(canvas.drawn(0, 0));
    EXPECT_TRUE(canvas.drawn(9, 4));
    EXPECT_TRUE(canvas.drawn(9, 0));
    EXPECT_FALSE(canvas.drawn(10, 4));
    EXPECT_FALSE(canvas.drawn(9, 5));
    EXPECT_FALSE(canvas.drawn(4, 2));
    EXPECT_EQ(canvas.drawnCount(), 2 * 10 + 2 * 3);

    Canvas filled(20, 20);
    g._beginDraw();
    g.fillRectangle(Rectangle(0, 0, 10, 5));
    g._endDraw();
    EXPECT_EQ(filled.drawnCount(), 50);
    EXPECT_EQ(filled.at(9, 4), kRed);
}

TEST(Allegro5GraphicsTest, ClipAreasClipAndMoveTheOrigin) {
    Canvas canvas(30, 30);
    gcn::Allegro5Graphics g;
    g.setColor(kRed);
    g._beginDraw();
    g.pushClipArea(Rectangle(10, 10, 15, 15));
    g.pushClipArea(Rectangle(2, 3, 4, 5));
    g.fillRectangle(Rectangle(-100, -100, 300, 300));
    g.popClipArea();
    // Back in the outer area: its clipping applies again.
    g.setColor(Color(0, 255, 0, 255));
    g.drawPoint(14, 14);
    g.drawPoint(15, 15);
    g.popClipArea();
    g._endDraw();
    EXPECT_EQ(canvas.at(12, 13), kRed);
    EXPECT_EQ(canvas.at(15, 17), kRed);
    EXPECT_EQ(canvas.at(24, 24), Color(0, 255, 0, 255));
    EXPECT_FALSE(canvas.drawn(25, 25));
    EXPECT_EQ(canvas.drawnCount(), 4 * 5 + 1);
}

TEST(Allegro5GraphicsTest, EmptyClipAreaDrawsNothing) {
    Canvas canvas(10, 10);
    gcn::Allegro5Graphics g;
    g.setColor(kRed);
    g._beginDraw();
    EXPECT_FALSE(g.pushClipArea(Rectangle(20, 20, 5, 5)));
    g.fillRectangle(Rectangle(-50, -50, 100, 100));
    g.popClipArea();
    g._endDraw();
    EXPECT_EQ(canvas.drawnCount(), 0);
}

TEST(Allegro5GraphicsTest, DrawingOutsideAFrameRaises) {
    Canvas canvas(10, 10);
    gcn::Allegro5Graphics g;
    ALLEGRO_BITMAP* bmp = al_create_bitmap(2, 2);
    gcn::Allegro5Image img(bmp, true);
    const std::string msg =
        "Clip stack is empty, perhaps you called a draw funtion outside of _beginDraw() and _endDraw()?";
    const struct {
        const char* what;
        void (*call)(gcn::Allegro5Graphics&, gcn::Allegro5Image&);
    } cases[] = {
        {"drawImage", [](gcn::Allegro5Graphics& gr, gcn::Allegro5Image& im) { gr.drawImage(&im, 0, 0); }},
        {"drawPoint", [](gcn::Allegro5Graphics& gr, gcn::Allegro5Image&) { gr.drawPoint(0, 0); }},
        {"drawLine", [](gcn::Allegro5Graphics& gr, gcn::Allegro5Image&) { gr.drawLine(0, 0, 1, 1); }},
        {"drawRectangle", [](gcn::Allegro5Graphics& gr, gcn::Allegro5Image&) { gr.drawRectangle(Rectangle()); }},
        {"fillRectangle", [](gcn::Allegro5Graphics& gr, gcn::Allegro5Image&) { gr.fillRectangle(Rectangle()); }},
        {"drawBitmap",
         [](gcn::Allegro5Graphics& gr, gcn::Allegro5Image& im) { gr.drawBitmap(im.getBitmap(), 0, 0); }},
    };
    for (const auto& c : cases) {
        try {
            c.call(g, img);
            ADD_FAILURE() << c.what;
        } catch (const gcn::Exception& e) {
            EXPECT_EQ(e.getMessage(), msg) << c.what;
        }
    }
}

TEST(Allegro5GraphicsTest, ForeignImagesAreRefused) {
    // An image of some other back end.
    class OtherImage : public gcn::Image {
    public:
        void free() override {}
        int getWidth() const override { return 1; }
        int getHeight() const override { return 1; }
        Color getPixel(int, int) override { return Color(); }
        void putPixel(int, int, const Color&) override {}
        void convertToDisplayFormat() override {}
    };
    Canvas canvas(10, 10);
    gcn::Allegro5Graphics g;
    OtherImage other;
    g._beginDraw();
    try {
        g.drawImage(&other, 0, 0);
        FAIL();
    } catch (const gcn::Exception& e) {
        EXPECT_EQ(e.getMessage(), "Trying to draw an image of unknown format, must be an Allegro5Image.");
    }
    g._endDraw();
}

TEST(Allegro5GraphicsTest, BeginDrawNeedsATarget) {
    al_set_target_bitmap(nullptr);
    gcn::Allegro5Graphics g;
    try {
        g._beginDraw();
        FAIL();
    } catch (const gcn::Exception& e) {
        EXPECT_EQ(e.getMessage(), "Target BITMAP is null, set it with setTarget first.");
    }
    EXPECT_EQ(g.clipStackDepth(), 0u);
}

TEST(Allegro5GraphicsTest, ImagesAreScaledAndBitmapsOffset) {
    ALLEGRO_BITMAP* src = al_create_bitmap(2, 1);
    al_set_target_bitmap(src);
    al_put_pixel(0, 0, al_map_rgb(255, 0, 0));
    al_put_pixel(1, 0, al_map_rgb(0, 0, 255));
    gcn::Allegro5Image img(src, true);

    Canvas canvas(20, 20);
    gcn::Allegro5Graphics g;
    g._beginDraw();
    g.pushClipArea(Rectangle(2, 2, 18, 18));
    g.drawImage(&img, 0, 0, 2, 1, 0, 0, 8, 4);
    g.drawBitmap(src, 10.0f, 10.0f);
    g.popClipArea();
    g._endDraw();
    EXPECT_EQ(canvas.at(2, 2), Color(255, 0, 0));
    EXPECT_EQ(canvas.at(5, 5), Color(255, 0, 0));
    EXPECT_EQ(canvas.at(9, 5), Color(0, 0, 255));
    EXPECT_EQ(canvas.at(12, 12), Color(255, 0, 0));
    EXPECT_EQ(canvas.at(13, 12), Color(0, 0, 255));
    EXPECT_EQ(canvas.drawnCount(), 32 + 2);
}

TEST(Allegro5GraphicsTest, ContainerDrawsThroughTheBackEnd) {
    Canvas canvas(40, 30);
    gcn::Allegro5Graphics g;
    gcn::Container c;
    c.setDimension(Rectangle(5, 5, 20, 10));
    c.setBaseColor(Color(10, 20, 30));
    g._beginDraw();
    g.pushClipArea(c.getDimension());
    c.draw(&g);
    g.popClipArea();
    g._endDraw();
    EXPECT_EQ(canvas.at(5, 5), Color(10, 20, 30));
    EXPECT_EQ(canvas.at(24, 14), Color(10, 20, 30));
    EXPECT_EQ(canvas.drawnCount(), 200);
}

TEST(Allegro5FontTest, MeasuresAndDrawsUtf8Text) {
    gcn::Allegro5Font font(al5test::kFontFile, 12, 12);
    EXPECT_GT(font.getHeight(), 0);
    const int w_ascii = font.getWidth("Mm");
    EXPECT_GT(w_ascii, 0);
    EXPECT_GT(font.getWidth("Mm\xC3\xA9"), w_ascii);
    EXPECT_EQ(font.getWidth(""), 0);

    Canvas canvas(60, 30);
    gcn::Allegro5Graphics g;
    g.setFont(&font);
    g.setColor(Color(255, 255, 255));
    g._beginDraw();
    g.pushClipArea(Rectangle(30, 10, 30, 20));
    g.drawText("M", 0, 0);
    g.popClipArea();
    g._endDraw();
    int drawn = 0;
    for (int y = 0; y < 30; ++y) {
        for (int x = 0; x < 60; ++x) {
            if (canvas.drawn(x, y)) {
                ++drawn;
                EXPECT_GE(x, 30);
                EXPECT_GE(y, 10);
            }
        }
    }
    EXPECT_GT(drawn, 10);
}

TEST(Allegro5FontTest, AWrappedFontStaysTheCallers) {
    ALLEGRO_FONT* raw = al_load_ttf_font(al5test::kFontFile, 10, 0);
    ASSERT_NE(raw, nullptr);
    {
        gcn::Allegro5Font wrapped(raw);
        EXPECT_EQ(wrapped.getAllegroFont(), raw);
        EXPECT_EQ(wrapped.getHeight(), al_get_font_line_height(raw));
    }
    // Still alive after the wrapper went (the sanitizer build would see it).
    EXPECT_GT(al_get_text_width(raw, "M"), 0);
    al_destroy_font(raw);
    try {
        gcn::Allegro5Font none(static_cast<ALLEGRO_FONT*>(nullptr));
        FAIL();
    } catch (const gcn::Exception& e) {
        EXPECT_EQ(e.getMessage(), "Trying to wrap a null Allegro font.");
    }
}

TEST(Allegro5FontTest, FailuresRaise) {
    try {
        gcn::Allegro5Font missing("/nonexistent/font.ttf", 10, 10);
        FAIL();
    } catch (const gcn::Exception& e) {
        EXPECT_EQ(e.getMessage(), "Unable to load Allegro font from file.");
    }
    // A graphics of another kind cannot carry Allegro text.
    class NullGraphics : public gcn::Graphics {
    public:
        using gcn::Graphics::drawImage;
        void drawImage(const gcn::Image*, int, int, int, int, int, int, int, int) override {}
        void drawPoint(int, int) override {}
        void drawLine(int, int, int, int) override {}
        void drawRectangle(const Rectangle&) override {}
        void fillRectangle(const Rectangle&) override {}
        void setColor(const Color& c) override { c_ = c; }
        const Color& getColor() const override { return c_; }

    private:
        Color c_;
    };
    gcn::Allegro5Font font(al5test::kFontFile, 10, 10);
    NullGraphics other;
    try {
        font.drawString(&other, "x", 0, 0);
        FAIL();
    } catch (const gcn::Exception& e) {
        EXPECT_EQ(e.getMessage(), "Graphics is not of type AllegroGraphics");
    }
}

}  // namespace
