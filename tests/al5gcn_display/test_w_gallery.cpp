// A gallery of every widget kind on one screen, drawn through the Allegro 5
// back end with a TrueType font and saved as w_gallery.png in the build
// directory for anyone to look at. The test checks that the frame is not
// blank and that each widget's tell-tale pixels sit where its position and
// size put them.
#include <allegro5/allegro.h>
#include <allegro5/allegro_font.h>
#include <allegro5/allegro_image.h>
#include <allegro5/allegro_primitives.h>
#include <allegro5/allegro_ttf.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "al5gcn/allegro5font.hpp"
#include "al5gcn/allegro5graphics.hpp"
#include "al5gcn/allegro5image.hpp"
#include "gcn/gui.hpp"
#include "gcn/listmodel.hpp"
#include "gcn/widgets/button.hpp"
#include "gcn/widgets/buttonbar.hpp"
#include "gcn/widgets/checkbox.hpp"
#include "gcn/widgets/container.hpp"
#include "gcn/widgets/dropdown.hpp"
#include "gcn/widgets/imagebutton.hpp"
#include "gcn/widgets/label.hpp"
#include "gcn/widgets/listbox.hpp"
#include "gcn/widgets/radiobutton.hpp"
#include "gcn/widgets/scrollarea.hpp"
#include "gcn/widgets/slider.hpp"
#include "gcn/widgets/tab.hpp"
#include "gcn/widgets/tabbedarea.hpp"
#include "gcn/widgets/textbox.hpp"
#include "gcn/widgets/textfield.hpp"
#include "gcn/widgets/window.hpp"

namespace {

using gcn::Color;
using gcn::Rectangle;

constexpr int kWidth = 640;
constexpr int kHeight = 480;
const Color kScreen(30, 60, 90);
// Shades of the default grey base under the default style.
const Color kHighlight(166, 166, 166);
const Color kShadow(89, 89, 89);
const Color kBase(128, 128, 128);
const Color kTrack(115, 115, 115);
const Color kWhite(255, 255, 255);

class Names : public gcn::ListModel {
public:
    explicit Names(std::vector<std::string> items) : items_(std::move(items)) {}
    int getNumberOfElements() override { return static_cast<int>(items_.size()); }
    std::string getElementAt(int i) override { return items_.at(i); }

private:
    std::vector<std::string> items_;
};

// Every widget of the gallery, owned in one place. The lower right corner
// (dialogArea) is left free for a dialog window.
struct Gallery {
    static Rectangle dialogArea() { return Rectangle(420, 300, 210, 170); }

    explicit Gallery(gcn::Image* picture)
        : ok("OK"),
          cancel("Cancel"),
          title("Widget gallery"),
          check("Check box", true),
          radio1("Radio one", "w_gallery", true),
          radio2("Radio two", "w_gallery", false),
          field("Text field"),
          text_box("A text box in a scroll area.\nIt has more rows\nthan fit,\nso the scroll bar\nshows.\n6\n7\n8"),
          text_area(&text_box),
          list_area(&list),
          drop(&resolutions),
          window("Window"),
          window_label("Inside"),
          slider(100.0),
          vslider(100.0),
          bar_a("First"),
          bar_b("Second"),
          bar_c("Third"),
          row_a("Yes"),
          row_b("No"),
          page1("Page one"),
          page2("Page two") {
        image_button.setImage(picture);
    }

    gcn::Container top;
    gcn::Button ok;
    gcn::Button cancel;
    gcn::ImageButton image_button;
    gcn::Label title;
    gcn::CheckBox check;
    gcn::RadioButton radio1;
    gcn::RadioButton radio2;
    gcn::TextField field;
    gcn::TextBox text_box;
    gcn::ScrollArea text_area;
    Names names{{"alpha", "beta", "gamma", "delta", "epsilon", "zeta", "eta", "theta"}};
    gcn::ListBox list{&names};
    gcn::ScrollArea list_area;
    Names resolutions{{"1024 768", "1280 1024", "1920 1080"}};
    gcn::DropDown drop;
    gcn::Window window;
    gcn::Label window_label;
    gcn::Slider slider;
    gcn::Slider vslider;
    gcn::ButtonVBar column;
    gcn::Button bar_a;
    gcn::Button bar_b;
    gcn::Button bar_c;
    gcn::ButtonHBar row;
    gcn::Button row_a;
    gcn::Button row_b;
    gcn::TabbedArea tabs;
    gcn::Label page1;
    gcn::Label page2;
};

// Lays the gallery out on its top container.
void buildGallery(Gallery& g) {
    g.top.setDimension(Rectangle(0, 0, kWidth, kHeight));
    g.top.setBaseColor(kScreen);

    g.title.setOpaque(true);
    g.title.setBackgroundColor(Color(255, 255, 200));
    g.title.setWidth(g.title.getWidth() + 20);
    g.top.add(&g.title, 10, 10);
    g.top.add(&g.ok, 10, 40);
    g.top.add(&g.cancel, 10 + g.ok.getWidth() + 8, 40);
    g.image_button.adjustSize();
    g.top.add(&g.image_button, 160, 40);
    g.top.add(&g.check, 10, 80);
    g.top.add(&g.radio1, 10, 105);
    g.top.add(&g.radio2, 10, 125);
    g.field.setWidth(150);
    g.top.add(&g.field, 10, 150);

    g.text_area.setSize(200, 90);
    g.top.add(&g.text_area, 10, 185);
    g.list.setWidth(130);
    g.list_area.setSize(150, 90);
    g.list.setSelected(2);
    g.top.add(&g.list_area, 10, 290);
    g.drop.setWidth(150);
    g.top.add(&g.drop, 10, 400);

    g.window.add(&g.window_label, 4, 4);
    g.window.resizeToContent();
    g.window.setWidth(140);
    g.top.add(&g.window, 240, 10);
    g.slider.setSize(200, 16);
    g.slider.setValue(30);
    g.top.add(&g.slider, 240, 90);
    g.vslider.setOrientation(gcn::Slider::Vertical);
    g.vslider.setSize(16, 120);
    g.vslider.setValue(70);
    g.top.add(&g.vslider, 600, 10);

    g.column.setSpacingAndMargin(2, 3);
    g.column.add(&g.bar_a);
    g.column.add(&g.bar_b);
    g.column.add(&g.bar_c);
    g.column.layout();
    g.top.add(&g.column, 240, 120);
    g.row.add(&g.row_a);
    g.row.add(&g.row_b);
    g.row.layout();
    g.top.add(&g.row, 240, 240);

    g.tabs.addTab("One", &g.page1);
    g.tabs.addTab("Two", &g.page2);
    g.tabs.resizeToContent();
    g.tabs.setSize(g.tabs.getWidth() + 60, g.tabs.getHeight() + 30);
    g.tabs.setOpaque(true);
    g.top.add(&g.tabs, 400, 120);
}

class GalleryTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(al_init());
        ASSERT_TRUE(al_init_primitives_addon());
        ASSERT_TRUE(al_init_image_addon());
        ASSERT_TRUE(al_init_font_addon());
        ASSERT_TRUE(al_init_ttf_addon());
        al_set_new_display_flags(ALLEGRO_WINDOWED | ALLEGRO_OPENGL);
        display_ = al_create_display(kWidth, kHeight);
        ASSERT_NE(display_, nullptr) << "no OpenGL display (is DISPLAY set?)";
        al_set_new_bitmap_flags(ALLEGRO_VIDEO_BITMAP);
        font_ = std::make_unique<gcn::Allegro5Font>("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf", 13, 13);
        gcn::Widget::setGlobalFont(font_.get());

        ALLEGRO_BITMAP* red = al_create_bitmap(16, 16);
        al_set_target_bitmap(red);
        al_clear_to_color(al_map_rgb(220, 30, 30));
        al_set_target_backbuffer(display_);
        picture_ = std::make_unique<gcn::Allegro5Image>(red, true);

        gallery_ = std::make_unique<Gallery>(picture_.get());
        buildGallery(*gallery_);
        gui_.setTop(&gallery_->top);
        gui_.setGraphics(&graphics_);
    }

    void TearDown() override {
        gui_.setTop(nullptr);
        gallery_.reset();
        gcn::Widget::setGlobalFont(nullptr);
        picture_.reset();
        font_.reset();
        if (display_) {
            al_destroy_display(display_);
        }
        al_uninstall_system();
    }

    static Color pixel(ALLEGRO_BITMAP* bmp, int x, int y) {
        unsigned char r = 0;
        unsigned char g = 0;
        unsigned char b = 0;
        al_unmap_rgb(al_get_pixel(bmp, x, y), &r, &g, &b);
        return Color(r, g, b);
    }

    // The pixel at (dx, dy) inside a widget, found through its position.
    Color at(const gcn::Widget& w, int dx, int dy) const {
        int x = 0;
        int y = 0;
        w.getAbsolutePosition(x, y);
        return pixel(al_get_backbuffer(display_), x + dx, y + dy);
    }

    ALLEGRO_DISPLAY* display_ = nullptr;
    std::unique_ptr<gcn::Allegro5Font> font_;
    std::unique_ptr<gcn::Allegro5Image> picture_;
    gcn::Allegro5Graphics graphics_;
    gcn::Gui gui_;
    std::unique_ptr<Gallery> gallery_;
};

TEST_F(GalleryTest, EveryWidgetKindIsDrawnWhereItsDimensionsSay) {
    Gallery& g = *gallery_;
    // One logic pass lays out the scroll areas' content.
    gui_.logic();
    al_set_target_backbuffer(display_);
    al_clear_to_color(al_map_rgb(0, 0, 0));
    gui_.draw();
    ALLEGRO_BITMAP* back = al_get_backbuffer(display_);
    const std::string shot = std::string(ZOR_BINARY_DIR) + "/w_gallery.png";
    EXPECT_TRUE(al_save_bitmap(shot.c_str(), back)) << shot;

    // Not blank: the screen colour and a good share of other pixels.
    int screen = 0;
    int other = 0;
    for (int y = 0; y < kHeight; y += 2) {
        for (int x = 0; x < kWidth; x += 2) {
            (pixel(back, x, y) == kScreen ? screen : other) += 1;
        }
    }
    EXPECT_GT(screen, 1000);
    EXPECT_GT(other, 10000);
    // The corner kept free for a dialog shows the screen only.
    const Rectangle free = Gallery::dialogArea();
    EXPECT_EQ(pixel(back, free.x + free.width / 2, free.y + free.height / 2), kScreen);

    struct Probe {
        const char* name;
        const gcn::Widget* widget;
        int dx;
        int dy;
        Color expected;
    };
    const int sb = 12;
    const Probe probes[] = {
        {"button corner", &g.ok, 0, 0, kHighlight},
        {"button far corner", &g.ok, g.ok.getWidth() - 1, g.ok.getHeight() - 1, kShadow},
        {"second button", &g.cancel, 0, 0, kHighlight},
        {"image", &g.image_button, g.image_button.getWidth() / 2, g.image_button.getHeight() / 2,
         Color(220, 30, 30)},
        {"opaque label", &g.title, g.title.getWidth() - 2, 1, Color(255, 255, 200)},
        {"check box bevel", &g.check, 1, 1, kShadow},
        {"check box inside", &g.check, 2, g.check.getHeight() - 3, kWhite},
        {"text field bevel", &g.field, 0, 0, kShadow},
        {"text field inside", &g.field, g.field.getWidth() - 4, g.field.getHeight() / 2, kWhite},
        {"text area up button", &g.text_area, g.text_area.getWidth() - sb, 0, kHighlight},
        {"text area track", &g.text_area, g.text_area.getWidth() - sb, g.text_area.getHeight() - sb - 2, kShadow},
        {"list selection", &g.list, g.list.getWidth() - 3, 2 * g.list.getRowHeight() + 1, Color(0xC3D9FF)},
        {"list background", &g.list, g.list.getWidth() - 3, 1, kWhite},
        {"drop-down button", &g.drop, g.drop.getWidth() - g.drop.getHeight(), 0, kHighlight},
        {"window frame", &g.window, -1, -1, kHighlight},
        {"window title", &g.window, 2, 2, kBase},
        {"window inner edge", &g.window, 1, 15, kShadow},
        {"slider track", &g.slider, 150, 8, kTrack},
        {"slider marker", &g.slider, g.slider.getMarkerPosition(), 0, kHighlight},
        {"vertical slider track", &g.vslider, 8, 110, kTrack},
        {"column button", &g.bar_c, 0, 0, kHighlight},
        {"column widths", &g.bar_a, g.bar_c.getWidth() - 1, 2, kShadow},
        {"row button", &g.row_b, 0, 0, kHighlight},
        {"selected tab", g.tabs.getTab(0), 0, 0, kHighlight},
        {"other tab", g.tabs.getTab(1), 0, 0, kShadow},
        {"tabbed area inside", &g.tabs, g.tabs.getWidth() - 5, g.tabs.getHeight() - 5, kBase},
    };
    for (const Probe& p : probes) {
        EXPECT_EQ(at(*p.widget, p.dx, p.dy), p.expected) << p.name;
    }
    // Just outside the widgets lies the screen.
    EXPECT_EQ(at(g.ok, -1, -1), kScreen);
    EXPECT_EQ(at(g.slider, g.slider.getWidth(), 8), kScreen);
    EXPECT_EQ(at(g.column, g.column.getWidth() + 1, 5), kScreen);
    al_flip_display();
    EXPECT_EQ(graphics_.clipStackDepth(), 0u);
}

}  // namespace
