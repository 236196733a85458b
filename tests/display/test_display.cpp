// The program's start on a real (virtual) X display: settings, language,
// fonts and the window with its title; the fallback chain and the mode list;
// and the game loop drawing a registered screen, taking a screenshot through
// the PrintScreen key and leaving through the quit state.
#include <gtest/gtest.h>

#include <allegro5/allegro.h>
#include <allegro5/allegro_image.h>
#include <unistd.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "dax2/dax_bitmap.h"
#include "dax2/dax_display.h"
#include "dax2/dax_error.h"
#include "dax2/dax_gameloop.h"
#include "dax2/dax_ini.h"
#include "dax2/dax_menu_ifc.h"
#include "dax2/dax_msg.h"
#include "dax2/dax_platform.h"
#include "gcn/font.hpp"
#include "gcn/image.hpp"
#include "gcn/widget.hpp"
#include "gcn/widgets/container.hpp"
#include "support/dax_probe.h"
#include "support/temp_dir.h"

namespace {

const char* const kFontFile = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

// A program folder in a temporary directory: "zor.ini" in the working
// folder, the user folder below XDG_DATA_HOME with the font and the language
// file in its data folder.
class DisplayTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("DAX_MSGBOX", "stderr", 1);
        char buf[4096];
        old_cwd_ = getcwd(buf, sizeof(buf));
        ASSERT_EQ(chdir(dir_.path().c_str()), 0);
        setenv("XDG_DATA_HOME", dir_.file("home").c_str(), 1);
        setenv("XDG_DATA_DIRS", dir_.file("common").c_str(), 1);
        user_dir_ = dir_.file("home/Zor Test/");
        dir_.write("home/Zor Test/data/zt.en.txt", "120 Screenshot saved\n");
        ASSERT_TRUE(TempDir::copy(kFontFile, user_dir_ + "data/DejaVuSans.ttf")) << kFontFile;
        // Each test reads the settings afresh.
        dax_config.search_path_.clear();
        dax_config.version_ = "0.1";
        dax_config.debug_level_ = 4;
        dax_config.debug_ltype_ = 1;
        // Tests that start no window log here, not below an earlier test's
        // folder, which the log would create again.
        dax_config.log_path_ = dir_.file("test.log");
        DaxLog::reset();
    }
    void TearDown() override {
        daxIniOpenOverlay(nullptr);
        daxIniOpenBase(nullptr);
        DaxLog::reset();
        ASSERT_EQ(chdir(old_cwd_.c_str()), 0);
    }
    void writeIni(const std::string& extra = "") {
        dir_.write("zor.ini",
                   "[daxk]\nshrt_name=zt\nlong_name=Zor Test\nscreenshot_suffix=png\n"
                   "[daxk_fonts]\ndefault_font=DejaVuSans.ttf\ndefault_fontw=12\ndefault_fonth=12\n"
                   "[daxk_timers]\nnormal_fps=30\n" +
                       extra);
    }
    void writeUserIni(const std::string& text) { dir_.write("home/Zor Test/user.ini", text); }

    TempDir dir_;
    std::string old_cwd_;
    std::string user_dir_;
};

TEST_F(DisplayTest, CreateReadsTheSettingsAndOpensTheWindow) {
    writeIni();
    DaxDisplay display;
    display.create("./zt", "zor.ini");
    ASSERT_NE(display.display(), nullptr);
    EXPECT_EQ(al_get_display_width(display.display()), 1024);
    EXPECT_EQ(al_get_display_height(display.display()), 768);
    // "dx" is the default and means OpenGL here.
    EXPECT_EQ(display.rendererName(), "OpenGL");
    EXPECT_TRUE(daxIsOpenGLFlags(al_get_display_flags(display.display())));
    EXPECT_EQ(dax_config.window_title_, "Zor Test 0.1 - " + DaxDisplay::allegroVersionText() + " - OpenGL");
    EXPECT_TRUE(loggedLine(dax_config.window_title_));
    EXPECT_EQ(dax_config.exe_fullpath_, "./zt");
    EXPECT_EQ(dax_config.user_dir_, user_dir_);

    // The language and the four fonts; the default one is the widgets' font.
    EXPECT_EQ(dax_strings.get(120), "Screenshot saved");
    ASSERT_NE(dax_config.default_font_, nullptr);
    ASSERT_NE(dax_config.headline_font_, nullptr);
    ASSERT_NE(dax_config.system_font_, nullptr);
    ASSERT_NE(dax_config.overlay_font_, nullptr);
    EXPECT_GT(dax_config.headline_font_->getHeight(), dax_config.default_font_->getHeight());
    EXPECT_EQ(gcn::Widget::getGlobalFont(), dax_config.default_font_.get());

    int op = 0, src = 0, dst = 0;
    al_get_blender(&op, &src, &dst);
    EXPECT_EQ(op, ALLEGRO_ADD);
    EXPECT_EQ(src, ALLEGRO_ONE);
    EXPECT_EQ(dst, ALLEGRO_INVERSE_ALPHA);
    EXPECT_NE(gcn::Image::getImageLoader(), nullptr);
}

TEST_F(DisplayTest, TheUserIniChoosesSizeAndRenderer) {
    writeIni();
    // Only the exact "gl" asks for OpenGL 3.0.
    writeUserIni("[daxk]\nresolution=800 600\nrender=GL\n");
    {
        DaxDisplay display;
        display.create("./zt", "zor.ini");
        EXPECT_EQ(al_get_display_width(display.display()), 800);
        EXPECT_EQ(al_get_display_height(display.display()), 600);
        EXPECT_EQ(display.rendererName(), "OpenGL");
        EXPECT_FALSE(al_get_display_flags(display.display()) & ALLEGRO_OPENGL_3_0);
    }
    // The destroyed display took the fonts and the loader with it.
    EXPECT_EQ(dax_config.default_font_, nullptr);
    EXPECT_EQ(gcn::Widget::getGlobalFont(), nullptr);
    EXPECT_EQ(gcn::Image::getImageLoader(), nullptr);

    writeUserIni("[daxk]\nrender=gl\n");
    dax_config.search_path_.clear();
    DaxLog::reset();
    DaxDisplay display;
    display.create("./zt", "zor.ini");
    // OpenGL 3.0 where the driver has it, else the plain OpenGL fallback.
    if (display.rendererName() != "OpenGL 3.0") {
        EXPECT_EQ(display.rendererName(), "OpenGL");
        EXPECT_TRUE(loggedLine("can't initialize opengl 3.0, retry opengl"));
    }
}

TEST_F(DisplayTest, ABackgroundImageIsLoadedFromTheSearchPath) {
    DaxDisplay display;  // starts Allegro, also when this test runs alone
    ALLEGRO_BITMAP* bmp = al_create_bitmap(4, 3);
    ASSERT_TRUE(al_save_bitmap((user_dir_ + "data/back.png").c_str(), bmp));
    al_destroy_bitmap(bmp);
    writeIni("[daxk]\nback_image=back.png\n");
    display.create("./zt", "zor.ini");
    ASSERT_NE(dax_config.back_image_, nullptr);
    EXPECT_EQ(dax_config.back_image_->getWidth(), 4);
}

TEST_F(DisplayTest, AMissingBackgroundImageNamesItsKey) {
    // zor.ini's ten lines, then the image's section and key.
    writeIni("[daxk]\nback_image=gone.png\n");
    DaxDisplay display;
    const std::string error = raisedBy([&] { display.create("./zt", "zor.ini"); });
    EXPECT_EQ(error, "zor.ini:12: [daxk] back_image=gone.png: can't find file gone.png in " +
                         dax_config.searchPathText());
}

TEST_F(DisplayTest, AResolutionThatIsNoSizeIsAFatalCheckNamingItsKey) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    writeIni();
    // Each a fatal check naming the file that holds the value, its line and
    // the key; none may reach the window (0 or a negative size, a size the
    // 16-bit mode list cannot hold).
    for (const char* value : {"1024x768", "big", "0 768", "-800 600", "1024 768 60", "40000 768", "800"}) {
        SCOPED_TRACE(value);
        writeUserIni(std::string("[daxk]\n\nresolution=") + value + "\n");
        EXPECT_DEATH(
            {
                DaxDisplay display;
                display.create("./zt", "zor.ini");
            },
            "dax2.dax_display:79 Can't get screen resolution: .*/home/Zor Test/user.ini:3: \\[daxk\\] resolution=" +
                std::string(value) + ": expected two numbers, width and height, each from 1 to 32767");
    }
}

TEST_F(DisplayTest, AnUnwritableLogWarnsOnceWhileADisplayExists) {
    writeIni();
    DaxDisplay display;
    display.create("./zt", "zor.ini");
    std::vector<std::string> boxes;
    daxSetMsgBoxHook([&](const std::string& title, const std::string& heading, const std::string& text, int flags) {
        boxes.push_back(title + "/" + heading + "/" + text + ((flags & kDaxMsgBoxWarn) ? "/warn" : ""));
        return 0;
    });
    dir_.write("blocker", "a file where the log folder should be");
    dax_config.log_path_ = dir_.file("blocker/zt.log");
    DaxLog::reset();
    daxLogMessage(1, 1, "first");
    daxLogMessage(1, 1, "second");
    daxLogMessage(0, 0, "third");
    daxSetMsgBoxHook({});
    EXPECT_FALSE(DaxLog::isOpen());
    // One box, not one per line: the program stays usable.
    EXPECT_EQ(boxes, (std::vector<std::string>{"Warning/Warning/No LOG file!!!/warn"}));
    // Every line still reaches the console.
    EXPECT_TRUE(loggedLine("first"));
    EXPECT_TRUE(loggedLine("third"));
}

// ---------------------------------------------------------------------------
// Fonts.

TEST_F(DisplayTest, FontErrorsNameTheFontThatFailed) {
    DaxDisplay display;  // Allegro with its TrueType addon, no window
    dax_config.search_path_ = {user_dir_ + "data/"};
    dir_.write("home/Zor Test/data/bad.ttf", "not a font");
    struct Case {
        const char* default_font;
        const char* system_font;
        std::string error;
    };
    // No ini names them here: the key is named without a file.
    const std::string not_ttf = ": expected a TrueType font file";
    const Case cases[] = {
        {"missing.ttf", "", "[daxk_fonts] default_font=missing.ttf: can't find file missing.ttf in " + user_dir_ + "data/"},
        {"", "", "[daxk_fonts] default_font: expected the name of a TrueType font file"},
        {"bad.ttf", "", "[daxk_fonts] default_font=bad.ttf: can't load default font bad.ttf" + not_ttf},
        {"DejaVuSans.ttf", "bad.ttf", "[daxk_fonts] system_font=bad.ttf: can't load font bad.ttf" + not_ttf},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.default_font);
        // Files are looked up on the program's search path.
        DaxConfig cfg;
        cfg.default_font_file_ = c.default_font;
        cfg.system_font_file_ = *c.system_font ? c.system_font : c.default_font;
        cfg.overlay_font_file_ = cfg.system_font_file_;
        EXPECT_EQ(raisedBy([&] { cfg.loadFonts(); }), c.error);
        EXPECT_EQ(cfg.default_font_, nullptr);
    }

    DaxConfig good;
    good.default_font_file_ = good.system_font_file_ = good.overlay_font_file_ = "DejaVuSans.ttf";
    good.loadFonts();
    EXPECT_EQ(gcn::Widget::getGlobalFont(), good.default_font_.get());
    EXPECT_GT(good.default_font_->getWidth("Zor"), 0);
    good.releaseFonts();
    EXPECT_EQ(gcn::Widget::getGlobalFont(), nullptr);
}

// ---------------------------------------------------------------------------
// Fallbacks, flags and the mode list.

TEST(DisplayChain, EachFailureStepsDownTheChain) {
    using A = DaxDisplay::Attempt;
    auto chain = DaxDisplay::fallbackChain(true, true, 1280, 1024);
    const int gl3 = ALLEGRO_OPENGL_3_0 | ALLEGRO_OPENGL;
    std::vector<A> expected = {
        {gl3 | ALLEGRO_FULLSCREEN, 1280, 1024},
        {ALLEGRO_OPENGL | ALLEGRO_FULLSCREEN, 1280, 1024},
        {ALLEGRO_OPENGL | ALLEGRO_WINDOWED, 1280, 1024},
        {ALLEGRO_OPENGL | ALLEGRO_WINDOWED, 1024, 768},
    };
    ASSERT_EQ(chain.size(), expected.size());
    for (size_t i = 0; i < chain.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(chain[i].flags, expected[i].flags);
        EXPECT_EQ(chain[i].width, expected[i].width);
        EXPECT_EQ(chain[i].height, expected[i].height);
    }
    // A windowed 1024 x 768 request has nothing to fall back to.
    EXPECT_EQ(DaxDisplay::fallbackChain(false, false, 1024, 768).size(), 1u);
}

TEST(DisplayChain, FlagTestsAndRendererNames) {
    struct Case {
        int flags;
        bool fullscreen;
        bool opengl;
        const char* renderer;
    };
    const Case cases[] = {
        {ALLEGRO_WINDOWED, false, false, "Unknown"},
        {ALLEGRO_FULLSCREEN | ALLEGRO_OPENGL, true, true, "OpenGL"},
        {ALLEGRO_FULLSCREEN_WINDOW | ALLEGRO_OPENGL_3_0 | ALLEGRO_OPENGL, true, true, "OpenGL 3.0"},
        {ALLEGRO_OPENGL_3_0, false, true, "OpenGL 3.0"},
        {ALLEGRO_DIRECT3D_INTERNAL | ALLEGRO_WINDOWED, false, false, "Direct3D"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.flags);
        EXPECT_EQ(daxIsFullscreenFlags(c.flags), c.fullscreen);
        EXPECT_EQ(daxIsOpenGLFlags(c.flags), c.opengl);
        EXPECT_STREQ(DaxDisplay::rendererOf(c.flags), c.renderer);
    }
}

TEST_F(DisplayTest, ModesAreDistinctSortedAndLoggedOnce) {
    DaxDisplay display;
    al_set_new_display_flags(ALLEGRO_OPENGL | ALLEGRO_WINDOWED);
    DaxScreenResolutionsList list;
    auto mode = [](int w, int h, int hz, int format) {
        ALLEGRO_DISPLAY_MODE m{};
        m.width = w;
        m.height = h;
        m.refresh_rate = hz;
        m.format = format;
        return m;
    };
    DaxLog::reset();
    list.refreshFrom({mode(1280, 1024, 60, ALLEGRO_PIXEL_FORMAT_XRGB_8888),
                      mode(800, 600, 60, ALLEGRO_PIXEL_FORMAT_XRGB_8888),
                      mode(1280, 1024, 75, ALLEGRO_PIXEL_FORMAT_XRGB_8888),
                      mode(1280, 1024, 60, ALLEGRO_PIXEL_FORMAT_RGB_565), mode(1280, 960, 60, 0)});
    ASSERT_EQ(list.getNumberOfElements(), 3);
    EXPECT_EQ(list.getElementAt(0), "800 600");
    EXPECT_EQ(list.getElementAt(1), "1280 960");
    EXPECT_EQ(list.getElementAt(2), "1280 1024");
    EXPECT_EQ(list.indexOf(1280, 1024), 2);
    EXPECT_EQ(list.indexOf(DaxScreenResolution{640, 480}), -1);
    // The constructor's refresh logged the renderer line already: no mode
    // lines now.
    EXPECT_FALSE(loggedLine("Open GL"));
    const std::string mode_line =
        "display mode 0: 800 x 600 at 60 Hz, format " + std::to_string(ALLEGRO_PIXEL_FORMAT_XRGB_8888) + " = 32 bits";
    EXPECT_FALSE(loggedLine("display mode 1: 800 x 600 at 60 Hz, format " +
                            std::to_string(ALLEGRO_PIXEL_FORMAT_XRGB_8888) + " = 32 bits"));

    DaxScreenResolutionsList fresh_list;  // refreshes at once
    DaxLog::reset();
    al_set_new_display_flags(ALLEGRO_WINDOWED);
    fresh_list.refreshFrom({mode(800, 600, 60, ALLEGRO_PIXEL_FORMAT_XRGB_8888)});
    EXPECT_TRUE(loggedLine("DirectX"));
    EXPECT_TRUE(loggedLine(mode_line));

    // The adapter's own list holds distinct sizes in order.
    fresh_list.refresh();
    const auto& modes = fresh_list.modes();
    for (size_t i = 1; i < modes.size(); ++i) {
        EXPECT_TRUE(modes[i - 1].width < modes[i].width ||
                    (modes[i - 1].width == modes[i].width && modes[i - 1].height < modes[i].height));
    }
}

// ---------------------------------------------------------------------------
// The loop on the real display.

class ColourScreen : public DaxSubMenuIfc {
public:
    ColourScreen() {
        container_.setSize(1024, 768);
        container_.setBaseColor(gcn::Color(200, 30, 40, 255));
    }
    gcn::Container* getContainer() override { return &container_; }

private:
    gcn::Container container_;
};

class QuietCallback : public DaxLoopGameCallback {
public:
    void updateGame() override { ++updates; }
    void windowClosing() override {}
    bool dialogsBlocked() override { return false; }
    int updates = 0;
};

TEST_F(DisplayTest, TheLoopDrawsAScreenTakesAScreenshotAndQuits) {
    writeIni("[daxk_debug]\nloop_display=1\n");
    writeUserIni("[daxk_debug]\nconsole_show=2\n");
    DaxDisplay display;
    display.create("./zt", "zor.ini");

    // A registered mouse pointer becomes the cursor of each new screen.
    registerBitmapCopy(DaxBitmapKey("mouse", 0, 0), al_create_bitmap(16, 16), 1, 1);

    QuietCallback callback;
    {
        DaxMenuHandler handler;
        handler.registerMenu(10, nullptr, 1, false, true);
        handler.registerMenu(1, [](int) { return new ColourScreen; }, 1, false, false);
        handler.requestState(1);
        DaxGameLoop loop(&callback);
        loop.readConfig("zor.ini");
        loop.setManualTicks(true);
        loop.start();

        const int flips = dax_loop_stats.flips;
        daxLogMessage(1, 1, "a console line");
        loop.addPendingTicks(1);
        loop.step();
        EXPECT_EQ(dax_loop_stats.flips, flips + 1);
        EXPECT_EQ(handler.currentState(), 1);

        // PrintScreen as some desktops send it: the release alone.
        ALLEGRO_EVENT up{};
        up.type = ALLEGRO_EVENT_KEY_UP;
        up.keyboard.type = ALLEGRO_EVENT_KEY_UP;
        up.keyboard.keycode = ALLEGRO_KEY_PRINTSCREEN;
        up.keyboard.display = display.display();
        loop.handleEvent(up);
        loop.addPendingTicks(1);
        loop.step();

        const std::string shot = user_dir_ + "screenshots/zt_0002.png";
        ALLEGRO_BITMAP* saved = al_load_bitmap(shot.c_str());
        ASSERT_NE(saved, nullptr) << shot;
        EXPECT_EQ(al_get_bitmap_width(saved), 1024);
        EXPECT_EQ(al_get_bitmap_height(saved), 768);
        al_destroy_bitmap(saved);
        ASSERT_FALSE(dax_msgmgr.history().empty());
        EXPECT_EQ(dax_msgmgr.history().back().text_, "Screenshot saved zt_0002.png");

        handler.requestState(10);
        EXPECT_EQ(loop.runPasses(10), 1);
        EXPECT_TRUE(loop.ended());
        loop.finish();
        handler.deleteAllInstances();
    }
    EXPECT_EQ(callback.updates, 0);
}

TEST_F(DisplayTest, TheConsoleShowsItsLinesByTheShowSettingAndImportance) {
    writeIni();
    DaxDisplay display;
    display.create("./zt", "zor.ini");
    DaxGameLoop loop(nullptr);
    loop.readConfig("zor.ini");
    loop.start();
    ALLEGRO_DISPLAY* d = display.display();
    const int height = al_get_display_height(d);
    const int line_height = dax_config.overlay_font_->getHeight() + 2;
    auto blue = [](ALLEGRO_BITMAP* bmp, int x, int y) {
        unsigned char r = 0, g = 0, b = 0;
        al_unmap_rgb(al_get_pixel(bmp, x, y), &r, &g, &b);
        return b;
    };

    struct Case {
        const char* name;
        int console_show;
        bool important;
        bool shown;
    };
    const Case cases[] = {
        {"plain lines wait for an important one", 1, false, false},
        {"an important line shows all", 1, true, true},
        {"show 2 shows plain lines too", 2, false, true},
        {"show 0 shows nothing", 0, true, false},
    };
    const int saved_show = dax_config.console_show_;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        dax_config.console_show_ = c.console_show;
        DaxLog::reset();
        daxLogMessage(2, 1, "a plain line");
        if (c.important) {
            daxLogMessage(1, 1, "an important line");
        }
        const int lines = c.important ? 2 : 1;
        al_set_target_backbuffer(d);
        al_clear_to_color(al_map_rgb(0, 0, 255));
        loop.drawOverlays(height);
        ALLEGRO_BITMAP* back = al_get_backbuffer(d);
        // The lines stand at the bottom left (loop_y -1), oldest on top, each
        // on a dark box; the text starts one pixel right of the box's edge.
        const int top = height - 1 - lines * line_height;
        for (int i = 0; i < lines; ++i) {
            EXPECT_EQ(blue(back, 0, top + i * line_height + 1) < 255, c.shown) << "line " << i;
        }
        EXPECT_EQ(blue(back, 0, top - 1), 255);
        EXPECT_EQ(blue(back, 0, height - 1), 255);
    }
    dax_config.console_show_ = saved_show;
    loop.finish();
}

}  // namespace
