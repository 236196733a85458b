// The two options screens without a window: page 1 writes what changed into
// the user ini (and nothing when nothing changed), restarts the program for
// a new display, lists the display modes of the chosen renderer and tells
// when the ini cannot keep the settings; page 2 steps and bounds its values
// and answers its keys.
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "dax2/dax_clock.h"
#include "dax2/dax_ini.h"
#include "gcn/key.hpp"
#include "gcn/widgets/listbox.hpp"
#include "rn.h"
#include "rn_game.h"
#include "rn_menu_options.h"
#include "support/temp_dir.h"
#include "support/text_checks.h"
#include "ui_fixture.h"

using namespace uitest;

namespace {

DaxSubMenuIfc* noScreen(int) { return nullptr; }

ALLEGRO_DISPLAY_MODE mode(int w, int h) {
    ALLEGRO_DISPLAY_MODE m{};
    m.width = w;
    m.height = h;
    return m;
}

class OptionsTest : public UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        saved_user_dir_ = dax_config.user_dir_;
        saved_exe_ = dax_config.exe_fullpath_;
        dax_config.user_dir_ = user_.path();
        dax_config.exe_fullpath_ = "./zor";
        menus_.setExecFunction([this](const char*, char* const*) {
            ++restarts_;
            return 0;
        });
        for (int state : {kRnStateMainMenu, kRnStateRunGame, kRnStateSaveGame, kRnStateOptions1, kRnStateOptions2}) {
            menus_.registerMenu(state, noScreen, kDaxLifetimeKeep, false, false);
        }
    }
    void TearDown() override {
        daxIniOpenOverlay(nullptr);
        dax_config.user_dir_ = saved_user_dir_;
        dax_config.exe_fullpath_ = saved_exe_;
        dax_gameclock.reset();
        UiTest::TearDown();
    }
    void enter(int caller, int state) {
        menus_.requestState(caller);
        menus_.takeNewTopWidget();
        menus_.requestState(state);
        menus_.takeNewTopWidget();
    }
    std::string userIni() const { return TempDir::read(user_.file("user.ini")); }

    // Page 1 on a 1024 x 768 window of the given flags, opened from the main
    // menu, listing 800 x 600 and 1280 x 1024 (plus 1600 x 900 for OpenGL 3).
    std::unique_ptr<RnOptions1Menu> openPage1(int flags = ALLEGRO_WINDOWED | ALLEGRO_OPENGL) {
        enter(kRnStateMainMenu, kRnStateOptions1);
        auto page = std::make_unique<RnOptions1Menu>(1024, 768, flags);
        page->setModeSource([] {
            std::vector<ALLEGRO_DISPLAY_MODE> modes{mode(1280, 1024), mode(800, 600), mode(800, 600)};
            if (al_get_new_display_flags() & ALLEGRO_OPENGL_3_0) modes.push_back(mode(1600, 900));
            return modes;
        });
        page->getContainer();
        return page;
    }
    static std::vector<std::string> listed(RnOptions1Menu& page) {
        std::vector<std::string> out;
        for (int i = 0; i < page.resolutions().getNumberOfElements(); ++i) {
            out.push_back(page.resolutions().getElementAt(i));
        }
        return out;
    }
    static std::string selected(RnOptions1Menu& page) {
        const int i = page.resolutionList().getSelected();
        return i >= 0 ? page.resolutions().getElementAt(i) : std::string("none");
    }

    RecordingMenus menus_;
    TempDir user_;
    std::string saved_user_dir_;
    std::string saved_exe_;
    int restarts_ = 0;
};

TEST_F(OptionsTest, PageOneShowsTheDisplayAndWritesNothingWhenNothingChanged) {
    grn_config.freq_autosave_ = 2;
    auto page = openPage1();
    EXPECT_EQ(listed(*page), (std::vector<std::string>{"800 600", "1024 768", "1280 1024"}));
    EXPECT_EQ(selected(*page), "1024 768");
    EXPECT_FALSE(page->fullscreenBox().isSelected());
    EXPECT_FALSE(page->openglBox().isSelected());
    EXPECT_TRUE(page->autosaveButton(2).isSelected());
    EXPECT_FALSE(page->autosaveButton(0).isSelected());

    page->okButton().fireAction();
    EXPECT_EQ(menus_.requestedState(), kRnStateMainMenu);
    EXPECT_EQ(userIni(), "");
    EXPECT_EQ(restarts_, 0);

    // Escape and Back leave whatever was changed unwritten.
    enter(kRnStateMainMenu, kRnStateOptions1);
    page->autosaveButton(0).setSelected(true);
    page->fullscreenBox().setSelected(true);
    auto esc = keyPressEvent(gcn::Key::Escape);
    page->keyPressed(esc);
    EXPECT_TRUE(esc.isConsumed());
    EXPECT_EQ(menus_.requestedState(), kRnStateMainMenu);
    EXPECT_EQ(userIni(), "");
    EXPECT_EQ(grn_config.freq_autosave_, 2);
}

TEST_F(OptionsTest, ANewAutosaveFrequencyIsAppliedAndKeptWithoutARestart) {
    user_.write("user.ini", "# the player's own note\n[system]\nmax_autosaves=4\n");
    grn_config.freq_autosave_ = 2;
    auto page = openPage1();
    page->autosaveButton(0).setSelected(true);
    page->okButton().fireAction();
    EXPECT_EQ(grn_config.freq_autosave_, 0);
    EXPECT_EQ(restarts_, 0);
    EXPECT_EQ(menus_.requestedState(), kRnStateMainMenu);
    const std::string ini = userIni();
    EXPECT_TRUE(contains(ini, "freq_autosave=0")) << ini;
    EXPECT_TRUE(contains(ini, "the player's own note")) << ini;
    EXPECT_FALSE(contains(ini, "[daxk]")) << ini;

    // The next start reads it back.
    grn_config = RnConfig();
    rnReadUserConfig();
    EXPECT_EQ(grn_config.freq_autosave_, 0);
    EXPECT_EQ(grn_config.max_autosaves_, 4);
}

TEST_F(OptionsTest, ANewDisplayIsWrittenAndRestartsTheProgram) {
    const struct {
        const char* what;
        int flags;
        std::function<void(RnOptions1Menu&)> change;
        const char* resolution;
        const char* render;
        const char* window_mode;
    } cases[] = {
        {"resolution", ALLEGRO_WINDOWED | ALLEGRO_OPENGL,
         [](RnOptions1Menu& p) { p.resolutionList().setSelected(2); }, "1280 1024", "dx", "1"},
        {"full screen", ALLEGRO_WINDOWED | ALLEGRO_OPENGL,
         [](RnOptions1Menu& p) { p.fullscreenBox().setSelected(true); }, "1024 768", "dx", "0"},
        {"back to a window", ALLEGRO_FULLSCREEN | ALLEGRO_OPENGL,
         [](RnOptions1Menu& p) { p.fullscreenBox().setSelected(false); }, "1024 768", "dx", "1"},
        {"OpenGL 3 off", ALLEGRO_WINDOWED | ALLEGRO_OPENGL | ALLEGRO_OPENGL_3_0,
         [](RnOptions1Menu& p) { p.openglBox().toggleSelected(); }, "1024 768", "dx", "1"},
        {"OpenGL 3 on", ALLEGRO_WINDOWED | ALLEGRO_OPENGL,
         [](RnOptions1Menu& p) { p.openglBox().toggleSelected(); }, "1024 768", "gl", "1"},
    };
    for (const auto& c : cases) {
        std::remove(user_.file("user.ini").c_str());
        restarts_ = 0;
        auto page = openPage1(c.flags);
        c.change(*page);
        page->okButton().fireAction();
        EXPECT_EQ(restarts_, 1) << c.what;
        daxIniOpenOverlay(user_.file("user.ini").c_str());
        EXPECT_STREQ(daxIniGetString("daxk", "resolution", "?"), c.resolution) << c.what;
        EXPECT_STREQ(daxIniGetString("daxk", "render", "?"), c.render) << c.what;
        EXPECT_STREQ(daxIniGetString("daxk", "window_mode", "?"), c.window_mode) << c.what;
        EXPECT_STREQ(daxIniGetString("system", "freq_autosave", "none"), "none") << c.what;
        daxIniOpenOverlay(nullptr);
    }
}

TEST_F(OptionsTest, TheOpenGLBoxListsItsRenderersModesAndKeepsTheCurrentSize) {
    al_set_new_display_flags(ALLEGRO_WINDOWED);
    auto page = openPage1();
    EXPECT_EQ(al_get_new_display_flags(), ALLEGRO_WINDOWED);
    page->resolutionList().setSelected(0);
    page->openglBox().toggleSelected();
    EXPECT_EQ(listed(*page), (std::vector<std::string>{"800 600", "1024 768", "1280 1024", "1600 900"}));
    EXPECT_EQ(selected(*page), "1024 768");
    page->openglBox().toggleSelected();
    EXPECT_EQ(listed(*page), (std::vector<std::string>{"800 600", "1024 768", "1280 1024"}));
    // The flags of new displays are left as they were.
    EXPECT_EQ(al_get_new_display_flags(), ALLEGRO_WINDOWED);
}

TEST_F(OptionsTest, SettingsTheUserIniCannotKeepAreReportedAndNothingRestarts) {
    // The user folder lies below a plain file.
    dax_config.user_dir_ = user_.write("file", "x") + "/zor/";
    clearConsole();
    auto page = openPage1();
    page->fullscreenBox().setSelected(true);
    page->okButton().fireAction();
    EXPECT_EQ(restarts_, 0);
    EXPECT_TRUE(loggedContaining("can't save the settings to " + dax_config.user_dir_ + "user.ini"));
    EXPECT_EQ(menus_.requestedState(), kRnStateMainMenu);
}

TEST_F(OptionsTest, TheInGameMenuStepsAndBoundsItsValues) {
    const struct {
        RnOptions2Menu::Row row;
        std::function<void()> start;
        int presses;  // + when positive, - when negative
        const char* shown;
    } cases[] = {
        {RnOptions2Menu::kScrollWidth, [] { grn_config.cursor_scroll_width_ = 4.5f; }, 3, "5.0"},
        {RnOptions2Menu::kScrollWidth, [] { grn_config.cursor_scroll_width_ = 1.0f; }, -1, "0.5"},
        {RnOptions2Menu::kSensitivity, [] { grn_config.mouse_sensitivity_ = -4.0f; }, -5, "-5.0"},
        {RnOptions2Menu::kConsole, [] { dax_config.console_show_ = 2; }, 1, "2"},
        {RnOptions2Menu::kLogLevel, [] { dax_config.debug_level_ = 1; }, -3, "0"},
        {RnOptions2Menu::kMapDebug, [] { grn_config.map_display_ = 8; }, 4, "9"},
    };
    RnOptions2Menu page(1024, 768);
    for (const auto& c : cases) {
        c.start();
        gcn::Button& b = c.presses > 0 ? page.plusButton(c.row) : page.minusButton(c.row);
        for (int i = 0; i < std::abs(c.presses); ++i) b.fireAction();
        page.logic();
        EXPECT_EQ(page.valueLabel(c.row).getCaption(), c.shown) << c.row;
    }
    EXPECT_EQ(grn_config.cursor_scroll_width_, 0.5f);

    for (int i = 0; i < 40; ++i) page.plusButton(RnOptions2Menu::kSpeed).fireAction();
    page.logic();
    EXPECT_EQ(dax_gameclock.speed(), dax_gameclock.maxSpeed());
    char speed[16];
    std::snprintf(speed, sizeof(speed), "%03d%%", dax_gameclock.maxSpeed());
    EXPECT_EQ(page.valueLabel(RnOptions2Menu::kSpeed).getCaption(), speed);

    // Without debugging the debug rows are not shown, and still bounded.
    EXPECT_EQ(page.valueLabel(RnOptions2Menu::kLogLevel).getParent()->getParent(), nullptr);
    dax_config.debug_level_ = 12;
    page.plusButton(RnOptions2Menu::kScrollWidth).fireAction();
    EXPECT_EQ(dax_config.debug_level_, 9);
    dax_config.debug_level_ = 4;
    // Nothing of it goes to the user ini.
    EXPECT_EQ(userIni(), "");
}

TEST_F(OptionsTest, TheInGameMenuKeysGoBackSaveAndQuitWithTheLastSave) {
    worldtest::RecordingServices services;
    grn_game.setTickServices(&services);
    grn_game.setWorldLoaded(true);
    RnOptions2Menu page(1024, 768);
    EXPECT_TRUE(page.saveButton().isEnabled());
    const struct {
        int key;
        int state;
    } keys[] = {{'s', kRnStateSaveGame}, {gcn::Key::Escape, kRnStateRunGame}};
    for (const auto& k : keys) {
        enter(kRnStateRunGame, kRnStateOptions2);
        auto ev = keyPressEvent(k.key);
        page.keyPressed(ev);
        EXPECT_TRUE(ev.isConsumed());
        EXPECT_EQ(menus_.requestedState(), k.state);
    }
    EXPECT_EQ(services.last_saves, 0);
    auto q = keyPressEvent('q');
    page.keyPressed(q);
    EXPECT_EQ(services.last_saves, 1);
    EXPECT_FALSE(grn_game.isWorldLoaded());
    EXPECT_EQ(menus_.requestedState(), kRnStateMainMenu);
}

}  // namespace
