// The widget library on a real OpenGL display: a small tree drawn through
// gcn::Gui and the Allegro 5 back end, checked pixel by pixel, and a click
// fed through the Allegro input back end.
#include <allegro5/allegro.h>
#include <allegro5/allegro_font.h>
#include <allegro5/allegro_image.h>
#include <allegro5/allegro_primitives.h>
#include <allegro5/allegro_ttf.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>

#include "al5gcn/allegro5font.hpp"
#include "al5gcn/allegro5graphics.hpp"
#include "al5gcn/allegro5image.hpp"
#include "al5gcn/allegro5input.hpp"
#include "gcn/graphics.hpp"
#include "gcn/gui.hpp"
#include "gcn/widgets/container.hpp"
#include "gcn/widgets/icon.hpp"

namespace {

using gcn::Color;
using gcn::Rectangle;

constexpr int kWidth = 200;
constexpr int kHeight = 150;

// A line of text in the widget's font and foreground colour.
class TextWidget : public gcn::Widget {
public:
    explicit TextWidget(std::string text) : text_(std::move(text)) {}
    void draw(gcn::Graphics* g) override {
        g->setFont(getFont());
        g->setColor(getForegroundColor());
        g->drawText(text_, 0, 0);
    }

private:
    std::string text_;
};

// Turns its base colour to the pressed colour once it is clicked.
class ClickPanel : public gcn::Container, public gcn::MouseListener {
public:
    ClickPanel() { addMouseListener(this); }
    void mouseClicked(gcn::MouseEvent& e) override {
        ++clicks;
        last_x = e.getX();
        last_y = e.getY();
        setBaseColor(Color(0, 0, 255));
    }
    int clicks = 0;
    int last_x = -1;
    int last_y = -1;
};

// Allegro and the window are made once for all tests of the suite, and
// Allegro stays up for the rest of the program (al_init shuts it down at
// exit): a window made after Allegro was taken down and up again fails now
// and then under Xvfb.
class DisplayTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (!al_init() || !al_init_primitives_addon() || !al_init_image_addon() || !al_init_font_addon() ||
            !al_init_ttf_addon()) {
            return;
        }
        al_set_new_display_flags(ALLEGRO_WINDOWED | ALLEGRO_OPENGL);
        display_ = al_create_display(kWidth, kHeight);
    }

    static void TearDownTestSuite() {
        if (display_) {
            al_destroy_display(display_);
            display_ = nullptr;
        }
    }

    void SetUp() override {
        ASSERT_NE(display_, nullptr) << "no OpenGL display (is DISPLAY set?)";
        al_set_new_bitmap_flags(ALLEGRO_VIDEO_BITMAP);
        font_ = std::make_unique<gcn::Allegro5Font>("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf", 14, 14);

        top_.setDimension(Rectangle(0, 0, kWidth, kHeight));
        top_.setBaseColor(Color(10, 20, 30));
        panel_.setDimension(Rectangle(20, 20, 60, 40));
        panel_.setBaseColor(Color(200, 0, 0));
        panel_.setFrameSize(-2);
        top_.add(&panel_);

        ALLEGRO_BITMAP* green = al_create_bitmap(10, 10);
        al_set_target_bitmap(green);
        al_clear_to_color(al_map_rgb(0, 255, 0));
        al_set_target_backbuffer(display_);
        image_ = std::make_unique<gcn::Allegro5Image>(green, true);
        icon_.setImage(image_.get());
        icon_.setDimension(Rectangle(120, 30, 20, 20));
        top_.add(&icon_);

        text_.setFont(font_.get());
        text_.setForegroundColor(Color(255, 255, 255));
        text_.setDimension(Rectangle(10, 100, 150, 30));
        top_.add(&text_);

        gui_.setTop(&top_);
        gui_.setGraphics(&graphics_);
        gui_.setInput(&input_);
    }

    void TearDown() override {
        gui_.setTop(nullptr);
        top_.clear();
        image_.reset();
        font_.reset();
    }

    // Reads the back buffer (or any bitmap) at a point.
    static Color pixel(ALLEGRO_BITMAP* bmp, int x, int y) {
        unsigned char r = 0;
        unsigned char g = 0;
        unsigned char b = 0;
        unsigned char a = 0;
        al_unmap_rgba(al_get_pixel(bmp, x, y), &r, &g, &b, &a);
        return Color(r, g, b, 255);
    }

    void drawFrame() {
        al_set_target_backbuffer(display_);
        al_clear_to_color(al_map_rgb(0, 0, 0));
        gui_.draw();
    }

    static void pushMouse(gcn::Allegro5Input& in, ALLEGRO_EVENT_TYPE type, int x, int y) {
        ALLEGRO_EVENT e;
        std::memset(&e, 0, sizeof e);
        e.type = type;
        e.mouse.x = x;
        e.mouse.y = y;
        e.mouse.button = 1;
        in.pushInput(e);
    }

    static ALLEGRO_DISPLAY* display_;
    std::unique_ptr<gcn::Allegro5Font> font_;
    std::unique_ptr<gcn::Allegro5Image> image_;
    gcn::Allegro5Graphics graphics_;
    gcn::Allegro5Input input_;
    gcn::Gui gui_;
    gcn::Container top_;
    ClickPanel panel_;
    gcn::Icon icon_;
    TextWidget text_{"Zor"};
};

ALLEGRO_DISPLAY* DisplayTest::display_ = nullptr;

TEST_F(DisplayTest, TreeDrawnThroughTheGuiLandsOnTheBackBuffer) {
    drawFrame();
    ALLEGRO_BITMAP* back = al_get_backbuffer(display_);
    EXPECT_EQ(pixel(back, 5, 5), Color(10, 20, 30));
    EXPECT_EQ(pixel(back, kWidth - 1, kHeight - 1), Color(10, 20, 30));
    // The panel and its raised two-pixel frame in shades of its base colour.
    EXPECT_EQ(pixel(back, 20, 20), Color(200, 0, 0));
    EXPECT_EQ(pixel(back, 79, 59), Color(200, 0, 0));
    EXPECT_EQ(pixel(back, 18, 18), Color(216, 76, 76));
    EXPECT_EQ(pixel(back, 19, 30), Color(216, 76, 76));
    EXPECT_EQ(pixel(back, 81, 61), Color(140, 0, 0));
    EXPECT_EQ(pixel(back, 80, 30), Color(140, 0, 0));
    EXPECT_EQ(pixel(back, 82, 62), Color(10, 20, 30));
    // The icon's image centred in its 20 x 20 rectangle.
    EXPECT_EQ(pixel(back, 125, 35), Color(0, 255, 0));
    EXPECT_EQ(pixel(back, 134, 44), Color(0, 255, 0));
    EXPECT_EQ(pixel(back, 124, 35), Color(10, 20, 30));
    EXPECT_EQ(pixel(back, 135, 44), Color(10, 20, 30));
    // Some text pixels inside the text widget, none below it.
    int bright = 0;
    for (int y = 100; y < 130; ++y) {
        for (int x = 10; x < 60; ++x) {
            const Color c = pixel(back, x, y);
            bright += (c.r > 128 && c.g > 128 && c.b > 128) ? 1 : 0;
        }
    }
    EXPECT_GT(bright, 10);
    EXPECT_EQ(pixel(back, 12, 135), Color(10, 20, 30));
    if (const char* shot = std::getenv("ZOR_GCN_SCREENSHOT")) {
        al_save_bitmap(shot, back);
    }
    al_flip_display();
    EXPECT_EQ(graphics_.clipStackDepth(), 0u);
}

TEST_F(DisplayTest, ClickThroughTheAllegroInputChangesTheNextFrame) {
    pushMouse(input_, ALLEGRO_EVENT_MOUSE_AXES, 30, 30);
    pushMouse(input_, ALLEGRO_EVENT_MOUSE_BUTTON_DOWN, 30, 30);
    pushMouse(input_, ALLEGRO_EVENT_MOUSE_BUTTON_UP, 31, 32);
    gui_.logic();
    EXPECT_EQ(panel_.clicks, 1);
    EXPECT_EQ(panel_.last_x, 11);
    EXPECT_EQ(panel_.last_y, 12);
    drawFrame();
    ALLEGRO_BITMAP* back = al_get_backbuffer(display_);
    EXPECT_EQ(pixel(back, 40, 40), Color(0, 0, 255));
    al_flip_display();
    // The same tree drawn into a video bitmap instead of the back buffer.
    ALLEGRO_BITMAP* offscreen = al_create_bitmap(kWidth, kHeight);
    al_set_target_bitmap(offscreen);
    al_clear_to_color(al_map_rgb(0, 0, 0));
    gui_.draw();
    EXPECT_EQ(pixel(offscreen, 40, 40), Color(0, 0, 255));
    EXPECT_EQ(pixel(offscreen, 130, 40), Color(0, 255, 0));
    al_set_target_backbuffer(display_);
    al_destroy_bitmap(offscreen);
}

}  // namespace
