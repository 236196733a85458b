// A gallery screen on the real (virtual) display: every widget kind, the
// framework's icon, image button and mini map, a hover text, the on-screen
// message list and a message dialog opened by a posted class-1 message, all
// run and drawn by the game loop through the Allegro back end. The frame is
// saved as gallery.png in the build directory for anyone to look at; the
// test checks that it is not blank and that the widgets sit where their
// dimensions say.
#include <gtest/gtest.h>

#include <allegro5/allegro.h>
#include <unistd.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "dax2/dax_bitmap.h"
#include "dax2/dax_dialog.h"
#include "dax2/dax_display.h"
#include "dax2/dax_gameloop.h"
#include "dax2/dax_icon.h"
#include "dax2/dax_ini.h"
#include "dax2/dax_menu_ifc.h"
#include "dax2/dax_minimap.h"
#include "dax2/dax_msg.h"
#include "dax2/dax_overlay.h"
#include "gcn/gui.hpp"
#include "gcn/listmodel.hpp"
#include "gcn/style.hpp"
#include "gcn/widgets/button.hpp"
#include "gcn/widgets/buttonbar.hpp"
#include "gcn/widgets/checkbox.hpp"
#include "gcn/widgets/container.hpp"
#include "gcn/widgets/dropdown.hpp"
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
#include "support/temp_dir.h"

namespace {

using gcn::Color;
using gcn::Rectangle;

const char* const kFontFile = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
const Color kScreen(30, 60, 90);
const Color kRed(220, 30, 30);
const Color kMapA(200, 160, 40);
const Color kMapB(40, 120, 200);
const Color kWhite(255, 255, 255);
constexpr int kHoverText = 7001;
constexpr int kDialogMessage = 2950;
constexpr int kListMessage = 1950;

class Names : public gcn::ListModel {
public:
    explicit Names(std::vector<std::string> items) : items_(std::move(items)) {}
    int getNumberOfElements() override { return static_cast<int>(items_.size()); }
    std::string getElementAt(int i) override { return items_.at(i); }

private:
    std::vector<std::string> items_;
};

// Left half in one colour, right half in another, a white object dot.
class GalleryMap : public DaxMiniMapBase {
public:
    GalleryMap() : DaxMiniMapBase(70, 22) {}

protected:
    void paintTerrain(gcn::Graphics* g) override {
        g->setColor(kMapA);
        g->fillRectangle(Rectangle(0, 0, getWidth() / 2, getHeight()));
        g->setColor(kMapB);
        g->fillRectangle(Rectangle(getWidth() / 2, 0, getWidth() - getWidth() / 2, getHeight()));
    }
    void paintObjects(gcn::Graphics* g, bool) override {
        g->setColor(kWhite);
        g->fillRectangle(Rectangle(10, 10, 4, 4));
    }
};

// Every widget kind on the message screen base; the middle of the screen
// stays free for the dialog.
class GalleryScreen : public DaxMenuScreenMsgBase {
public:
    GalleryScreen()
        : title("Gallery of the framework"),
          ok("OK"),
          cancel("Cancel"),
          check("Check box", true),
          radio1("Radio one", "gallery", true),
          radio2("Radio two", "gallery", false),
          field("Text field"),
          text_box("A text box in a scroll area.\nIt has more rows\nthan fit,\nso the scroll bar\nshows.\n6\n7"),
          text_area(&text_box),
          list(&names),
          list_area(&list),
          drop(&sizes),
          window("Window"),
          window_label("Inside"),
          slider(100.0),
          vslider(100.0),
          bar_a("First"),
          bar_b("Second"),
          row_a("Yes"),
          row_b("No"),
          page1("Page one"),
          page2("Page two") {
        setDimension(Rectangle(0, 0, 1024, 768));
        setBaseColor(kScreen);

        title.setOpaque(true);
        title.setBackgroundColor(Color(255, 255, 200));
        add(&title, 10, 10);
        add(&ok, 10, 40);
        add(&cancel, 10 + ok.getWidth() + 8, 40);
        image_button.setBitmapName("gallery_red");
        image_button.adjustSize();
        add(&image_button, 180, 40);
        icon.setBitmap(dax_bitmaps.findVariant("gallery_red", 0));
        add(&icon, 230, 44);
        add(&check, 10, 80);
        add(&radio1, 10, 105);
        add(&radio2, 10, 125);
        field.setWidth(150);
        add(&field, 10, 150);
        text_area.setSize(220, 90);
        add(&text_area, 10, 185);
        list.setWidth(130);
        list_area.setSize(150, 90);
        list.setSelected(1);
        add(&list_area, 10, 290);
        drop.setWidth(150);
        add(&drop, 10, 400);

        window.add(&window_label, 4, 4);
        window.resizeToContent();
        window.setWidth(140);
        add(&window, 700, 60);
        slider.setSize(200, 16);
        slider.setValue(30);
        add(&slider, 700, 140);
        vslider.setOrientation(gcn::Slider::Vertical);
        vslider.setSize(16, 120);
        vslider.setValue(70);
        add(&vslider, 990, 60);
        column.setSpacingAndMargin(2, 3);
        column.add(&bar_a);
        column.add(&bar_b);
        column.layout();
        add(&column, 700, 170);
        row.add(&row_a);
        row.add(&row_b);
        row.layout();
        add(&row, 850, 170);
        tabs.addTab("One", &page1);
        tabs.addTab("Two", &page2);
        tabs.resizeToContent();
        tabs.setSize(tabs.getWidth() + 60, tabs.getHeight() + 30);
        tabs.setOpaque(true);
        add(&tabs, 700, 260);
        map.setSize(128, 96);
        add(&map, 700, 420);

        add(&messageBar(), 0, 0);
        plugin.setOwner(this);
        plugin.setWidgetText(&check, kHoverText, kDaxOverlayRight);
    }

    gcn::Label title;
    gcn::Button ok;
    gcn::Button cancel;
    DaxImageButton image_button;
    DaxIcon icon;
    gcn::CheckBox check;
    gcn::RadioButton radio1;
    gcn::RadioButton radio2;
    gcn::TextField field;
    gcn::TextBox text_box;
    gcn::ScrollArea text_area;
    Names names{{"alpha", "beta", "gamma", "delta", "epsilon", "zeta", "eta"}};
    gcn::ListBox list;
    gcn::ScrollArea list_area;
    Names sizes{{"1024 768", "1280 1024"}};
    gcn::DropDown drop;
    gcn::Window window;
    gcn::Label window_label;
    gcn::Slider slider;
    gcn::Slider vslider;
    gcn::ButtonVBar column;
    gcn::Button bar_a;
    gcn::Button bar_b;
    gcn::ButtonHBar row;
    gcn::Button row_a;
    gcn::Button row_b;
    gcn::TabbedArea tabs;
    gcn::Label page1;
    gcn::Label page2;
    GalleryMap map;
    DaxOverlayPlugin plugin;
};

class QuietCallback : public DaxLoopGameCallback {
public:
    void updateGame() override {}
    void windowClosing() override {}
    bool dialogsBlocked() override { return false; }
};

// The program's folders in a temporary directory, as the display test has
// them, with the texts the dialogs and the hover use.
class GalleryTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("DAX_MSGBOX", "stderr", 1);
        char buf[4096];
        old_cwd_ = getcwd(buf, sizeof(buf));
        ASSERT_EQ(chdir(dir_.path().c_str()), 0);
        setenv("XDG_DATA_HOME", dir_.file("home").c_str(), 1);
        setenv("XDG_DATA_DIRS", dir_.file("common").c_str(), 1);
        const std::string user = dir_.file("home/Zor Test/");
        dir_.write("home/Zor Test/data/zt.en.txt",
                   "100 Understood\n110 Dialog\n111 List\n112 Log only\n120 Screenshot saved\n" +
                       std::to_string(kHoverText) + " A hover text\n");
        ASSERT_TRUE(TempDir::copy(kFontFile, user + "data/DejaVuSans.ttf")) << kFontFile;
        dir_.write("zor.ini",
                   "[daxk]\nshrt_name=zt\nlong_name=Zor Test\nmsg_show_y=8\n"
                   "[daxk_fonts]\ndefault_font=DejaVuSans.ttf\ndefault_fontw=13\ndefault_fonth=13\n"
                   "[daxk_timers]\nnormal_fps=30\n");
        dax_config.search_path_.clear();
        DaxLog::reset();
    }
    void TearDown() override {
        daxIniOpenOverlay(nullptr);
        daxIniOpenBase(nullptr);
        DaxLog::reset();
        ASSERT_EQ(chdir(old_cwd_.c_str()), 0);
    }

    TempDir dir_;
    std::string old_cwd_;
};

Color pixel(ALLEGRO_BITMAP* bmp, int x, int y) {
    unsigned char r = 0;
    unsigned char g = 0;
    unsigned char b = 0;
    al_unmap_rgb(al_get_pixel(bmp, x, y), &r, &g, &b);
    return Color(r, g, b);
}

TEST_F(GalleryTest, EveryWidgetKindAndAMessageDialogAreDrawnWhereTheirDimensionsSay) {
    DaxDisplay display;
    display.create("./zt", "zor.ini");
    ALLEGRO_DISPLAY* d = display.display();
    ASSERT_NE(d, nullptr);

    ALLEGRO_BITMAP* red = al_create_bitmap(16, 16);
    al_set_target_bitmap(red);
    al_clear_to_color(al_map_rgb(kRed.r, kRed.g, kRed.b));
    dax_bitmaps.add(DaxBitmapKey("gallery_red", 0, 0), red, 0, 0, false, -1);
    al_destroy_bitmap(red);
    al_set_target_backbuffer(d);

    QuietCallback callback;
    DaxMenuHandler handler;
    GalleryScreen* screen = nullptr;
    handler.registerMenu(10, nullptr, 1, false, true);
    handler.registerMenu(
        1,
        [&screen](int) {
            screen = new GalleryScreen;
            return screen;
        },
        1, false, false);
    handler.requestState(1);
    DaxGameLoop loop(&callback);
    loop.readConfig("zor.ini");
    loop.setManualTicks(true);
    loop.start();
    loop.addPendingTicks(1);
    loop.step();
    ASSERT_NE(screen, nullptr);
    GalleryScreen& g = *screen;

    // An on-screen message, then the mouse over the check box: its hover
    // text shows to its right.
    dax_msgmgr.setMode(kListMessage, kDaxMsgScreen);
    dax_msgmgr.setMode(kDialogMessage, kDaxMsgDialog);
    dax_msgmgr.postNoPos(kListMessage, "An on-screen message");
    ALLEGRO_EVENT move{};
    move.type = ALLEGRO_EVENT_MOUSE_AXES;
    move.mouse.type = ALLEGRO_EVENT_MOUSE_AXES;
    move.mouse.x = g.check.getX() + 4;
    move.mouse.y = g.check.getY() + 4;
    move.mouse.display = d;
    loop.handleEvent(move);
    loop.addPendingTicks(1);
    loop.step();
    ASSERT_EQ(g.plugin.shownText(), "A hover text");

    // A class-1 message opens its dialog on the loop's stack.
    dax_msgmgr.post(kDialogMessage, "A message dialog over the gallery", DaxMapPositionI(3, 4));
    ASSERT_EQ(loop.dialogs().size(), 1u);
    auto* dialog = dynamic_cast<DaxMsgDialog*>(loop.dialogs().back());
    ASSERT_NE(dialog, nullptr);
    loop.addPendingTicks(1);
    loop.step();
    ASSERT_EQ(loop.dialogGui()->getTop(), &dialog->window());

    // The frame as the loop draws it, kept before the flip.
    al_set_target_backbuffer(d);
    al_clear_to_color(al_map_rgb(0, 0, 0));
    loop.screenGui()->draw();
    loop.dialogGui()->draw();
    ALLEGRO_BITMAP* back = al_get_backbuffer(d);
    const std::string shot = std::string(ZOR_BINARY_DIR) + "/gallery.png";
    EXPECT_TRUE(al_save_bitmap(shot.c_str(), back)) << shot;

    // Not blank: the screen colour and a good share of other pixels.
    const int w = al_get_display_width(d);
    const int h = al_get_display_height(d);
    int on_screen = 0;
    int other = 0;
    for (int y = 0; y < h; y += 2) {
        for (int x = 0; x < w; x += 2) {
            (pixel(back, x, y) == kScreen ? on_screen : other) += 1;
        }
    }
    EXPECT_GT(on_screen, 20000);
    EXPECT_GT(other, 15000);

    // The dialog is centred and the gallery's probes lie outside it.
    gcn::Window& dw = dialog->window();
    EXPECT_EQ(dw.getX(), (w - dw.getWidth()) / 2);
    EXPECT_EQ(dw.getY(), (h - dw.getHeight()) / 2);
    const Rectangle dialog_area = dw.getDimension();

    const gcn::Style* style = gcn::Style::getCurrent();
    auto raised = [style](const gcn::Widget& widget) { return style->highlightColor(widget.getBaseColor()); };
    struct Probe {
        const char* name;
        const gcn::Widget* widget;
        int dx;
        int dy;
        Color expected;
    };
    gcn::Button& list_button = dax_msgmgr.screenCount() > 0 ? g.messageButton(0) : g.ok;
    const gcn::Container& hover = g.plugin.overlayContainer();
    const Probe probes[] = {
        {"button", &g.ok, 0, 0, raised(g.ok)},
        {"second button", &g.cancel, 0, 0, raised(g.cancel)},
        {"image button picture", &g.image_button, g.image_button.getWidth() / 2, g.image_button.getHeight() / 2,
         kRed},
        {"image button bevel", &g.image_button, 0, 0, raised(g.image_button)},
        {"icon", &g.icon, 8, 8, kRed},
        {"opaque label", &g.title, g.title.getWidth() - 2, 1, Color(255, 255, 200)},
        {"text field inside", &g.field, g.field.getWidth() - 4, g.field.getHeight() / 2, kWhite},
        {"window title", &g.window, 2, 2, g.window.getBaseColor()},
        {"column button", &g.bar_b, 0, 0, raised(g.bar_b)},
        {"row button", &g.row_b, 0, 0, raised(g.row_b)},
        {"selected tab", g.tabs.getTab(0), 0, 0, raised(*g.tabs.getTab(0))},
        {"mini map left", &g.map, 30, 60, kMapA},
        {"mini map right", &g.map, 100, 60, kMapB},
        {"mini map object", &g.map, 11, 11, kWhite},
        {"message button", &list_button, 0, 0, raised(list_button)},
        {"hover box border", &hover, 1, 1, dax_config.back_color_},
        {"dialog frame", &dw, 2, 2, dax_config.back_color_},
        {"dialog ok button", &dialog->okButton(), 0, 0, raised(dialog->okButton())},
        {"dialog jump button", &dialog->thirdButton(), 0, 0, raised(dialog->thirdButton())},
        {"dialog text box", &dialog->textBox(), dialog->textBox().getWidth() - 1, 0, dax_config.button_color_},
    };
    for (const Probe& p : probes) {
        int x = 0;
        int y = 0;
        p.widget->getAbsolutePosition(x, y);
        x += p.dx;
        y += p.dy;
        const bool in_dialog = p.widget->getTop() == &dw || p.widget == &dw;
        if (!in_dialog) {
            EXPECT_FALSE(dialog_area.isPointInRect(x, y)) << p.name << " lies under the dialog";
        }
        EXPECT_EQ(pixel(back, x, y), p.expected) << p.name << " at " << x << "," << y;
    }
    // The message bar is centred at msg_show_y; the hover box right of the
    // check box; just outside the widgets lies the screen.
    const gcn::ButtonVBar& bar = g.messageBar();
    EXPECT_TRUE(bar.isVisible());
    EXPECT_EQ(bar.getX(), (1024 - bar.getWidth()) / 2);
    EXPECT_EQ(bar.getY(), 8);
    EXPECT_EQ(hover.getX(), g.check.getX() + g.check.getWidth() + dax_config.overlay_offset_);
    EXPECT_EQ(hover.getY(), g.check.getY());
    EXPECT_EQ(pixel(back, g.ok.getX() - 1, g.ok.getY() - 1), kScreen);
    EXPECT_EQ(pixel(back, g.map.getX() + g.map.getWidth(), g.map.getY() + 5), kScreen);
    EXPECT_EQ(pixel(back, dw.getX() - dw.getFrameSize() - 1, dw.getY() + 5), kScreen);
    al_flip_display();

    // Enter closes the dialog; the jump button is there for the position.
    ALLEGRO_EVENT enter{};
    enter.type = ALLEGRO_EVENT_KEY_DOWN;
    enter.keyboard.type = ALLEGRO_EVENT_KEY_DOWN;
    enter.keyboard.keycode = ALLEGRO_KEY_ENTER;
    enter.keyboard.display = d;
    loop.handleEvent(enter);
    enter.type = ALLEGRO_EVENT_KEY_CHAR;
    enter.keyboard.type = ALLEGRO_EVENT_KEY_CHAR;
    enter.keyboard.unichar = '\r';
    loop.handleEvent(enter);
    loop.addPendingTicks(1);
    loop.step();
    EXPECT_TRUE(loop.dialogs().empty());

    handler.requestState(10);
    loop.runPasses(3);
    EXPECT_TRUE(loop.ended());
    loop.finish();
    handler.deleteAllInstances();
}

}  // namespace
