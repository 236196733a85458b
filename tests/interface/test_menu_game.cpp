// The run-game screen: the build menus the data model registers and the
// errors of that registration, the clicks that arm the main map's modes, the
// in-game keys, the status labels and the mini-map panel.
#include <string>

#include "dax2/dax_clock.h"
#include "gcn/key.hpp"
#include "rn_bld_prod.h"
#include "rn_bld_road.h"
#include "rn_bld_serv.h"
#include "rn_game_infostr.h"
#include "ui_fixture.h"

using namespace uitest;

namespace {

gcn::KeyEvent padKey(int key) {
    return gcn::KeyEvent(nullptr, nullptr, false, false, false, false, gcn::KeyEvent::Pressed, true, gcn::Key(key));
}

class RunScreenTest : public UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        makeMap(64);
        addRoadType();
        addServType(300, 1, 1);
        for (int i : {kRnStateMainMenu, kRnStateRunGame, kRnStateOptions2}) {
            menus_.registerMenu(i, [](int) -> DaxSubMenuIfc* { return nullptr; }, kDaxLifetimeSingle, false, false);
        }
        game_ = new RnRunGameMenu(1024, 768);
        grn_pmainmap->initView();
    }
    RnRunGameMenu& game() { return *game_; }
    BuildMenuButton& button(int menu, size_t i) { return *game().buildMenu(menu).buttons.at(i).second; }

    RecordingMenus menus_;
    RnRunGameMenu* game_ = nullptr;  // deleted by the fixture through grn_pmenu_game
};

TEST_F(RunScreenTest, EmptyMenusHideTheirButtonAndTheOthersMoveUp) {
    for (int i : {1, 2, 3}) game().setBuildMenuEntry(i, i == 2 ? "menu_b" : "menu_a", 6000 + i);
    game().addBuildMenuButton(RnIdBldRoad, 1, 100, false);
    game().addBuildMenuButton(RnIdBldServ, 3, 300, true);
    const auto& m1 = *game().buildMenu(1).main;
    const auto& m2 = *game().buildMenu(2).main;
    const auto& m3 = *game().buildMenu(3).main;
    EXPECT_TRUE(m1.isVisible());
    EXPECT_FALSE(m2.isVisible());
    EXPECT_TRUE(m3.isVisible());
    EXPECT_EQ(m1.getY(), 3);
    EXPECT_EQ(m3.getY(), 3 + 32 + 3);
    EXPECT_EQ(game().demolishButton().getY(), 3 + 2 * 35 + 20);
    // Buttons show the type's name; a deprecated type's is disabled.
    EXPECT_EQ(button(1, 0).getCaption(), "road");
    game().buildMenu(1).main->fireAction();
    EXPECT_TRUE(button(1, 0).isEnabled());
    game().buildMenu(3).main->fireAction();
    EXPECT_FALSE(button(3, 0).isEnabled());
    EXPECT_TRUE(button(3, 0).isVisible());
    // Each submenu stands left of its main button.
    const gcn::ButtonVBar& bar = *game().buildMenu(3).bar;
    EXPECT_EQ(bar.getX() + bar.getWidth() + 10, game().sideBar().getX() + m3.getX());
}

TEST_F(RunScreenTest, RegistrationErrorsNameWhatIsWrong) {
    game().setBuildMenuEntry(1, "menu_a", 6001);
    game().addBuildMenuButton(RnIdBldServ, 1, 300, false);
    struct Case {
        std::function<void()> call;
        const char* message;
    } cases[] = {
        {[&] { game().setBuildMenuEntry(12, "menu_a", 1); }, "index for build menu 12 out of range 1..11"},
        {[&] { game().setBuildMenuEntry(-1, "menu_a", 1); }, "index for build menu -1 out of range 1..11"},
        {[&] { game().addBuildMenuButton(RnIdBldRoad, 12, 100, false); }, "index for build menu 12 out of range 1..11"},
        {[&] { game().addBuildMenuButton(RnIdBldServ, 2, 999, false); }, "building type 3, 999 not found"},
        {[&] { game().addBuildMenuButton(RnIdBldServ, 1, 300, false); }, "build menu button for serv already registered"},
    };
    for (const Case& c : cases) EXPECT_EQ(raisedBy(c.call), raisedFor(c.message));
    // The same type in another menu is fine.
    EXPECT_EQ(raisedBy([&] { game().addBuildMenuButton(RnIdBldServ, 2, 300, false); }), "<not raised>");
    EXPECT_EQ(game().buildMenu(1).buttons.size(), 1u);
    EXPECT_EQ(game().buildMenu(2).buttons.size(), 1u);
}

TEST_F(RunScreenTest, ClicksArmTheMainMapsModesAndEscapeOrARightClickEndThem) {
    game().setBuildMenuEntry(1, "menu_a", 6001);
    game().addBuildMenuButton(RnIdBldRoad, 1, 100, false);
    game().buildMenu(1).main->fireAction();
    EXPECT_TRUE(game().isSubmenuOpen());
    EXPECT_TRUE(game().buildMenu(1).bar->isVisible());
    EXPECT_EQ(menus_.cursor, "variant 1");
    button(1, 0).fireAction();
    EXPECT_FALSE(game().buildMenu(1).bar->isVisible());
    EXPECT_EQ(game().mode(), RnIdBldRoad);
    EXPECT_TRUE(grn_pmainmap->isBuildMode());
    EXPECT_EQ(grn_pmainmap->phantom().typeId(), 100);
    EXPECT_TRUE(game().isMenuModeActive());

    // Del replaces build mode by demolition.
    game().demolishButton().fireAction();
    EXPECT_EQ(game().mode(), -1);
    EXPECT_FALSE(grn_pmainmap->isBuildMode());
    EXPECT_TRUE(grn_pmainmap->isDemolitionMode());
    EXPECT_EQ(menus_.cursor, "variant -1");

    auto esc = keyPressEvent(gcn::Key::Escape);
    game().keyPressed(esc);
    EXPECT_TRUE(esc.isConsumed());
    EXPECT_FALSE(game().isMenuModeActive());
    EXPECT_FALSE(grn_pmainmap->isDemolitionMode());
    EXPECT_EQ(menus_.cursor, "variant 0");
    EXPECT_NE(menus_.requestedState(), kRnStateOptions2);
    // With nothing armed Escape opens the in-game menu.
    auto esc2 = keyPressEvent(gcn::Key::Escape);
    game().keyPressed(esc2);
    EXPECT_EQ(menus_.requestedState(), kRnStateOptions2);

    // A right release nobody took ends the modes; a consumed one does not.
    game().buildMenu(1).main->fireAction();
    gcn::MouseEvent taken(&game(), &game(), false, false, false, false, gcn::MouseEvent::Released, 2, 5, 5, 1);
    taken.consume();
    game().mouseReleased(taken);
    EXPECT_TRUE(game().isSubmenuOpen());
    gcn::MouseEvent right(&game(), &game(), false, false, false, false, gcn::MouseEvent::Released, 2, 5, 5, 1);
    game().mouseReleased(right);
    EXPECT_FALSE(game().isSubmenuOpen());
}

TEST_F(RunScreenTest, UnusedProductionIsOfferedDisabledAndUnavailableNotAtAll) {
    RnProdType pt;
    pt.type_id_ = 500;
    pt.name_ = "mill";
    grn_game.addProdType(pt);
    pt.type_id_ = 501;
    pt.name_ = "mine";
    grn_game.addProdType(pt);
    game().setBuildMenuEntry(5, "menu_a", 6005);
    game().addBuildMenuButton(RnIdBldProd, 5, 500, false);
    game().addBuildMenuButton(RnIdBldProd, 5, 501, false);
    grn_game.prodType(0).menu_flag_ = 1;  // works on this map, but nothing needs it
    grn_game.prodType(1).menu_flag_ = 0;  // its resource is not on this map
    grn_game.disable_unused_prod_ = true;
    game().buildMenu(5).main->fireAction();
    EXPECT_TRUE(button(5, 0).isVisible());
    EXPECT_FALSE(button(5, 0).isEnabled());
    EXPECT_FALSE(button(5, 1).isVisible());
    grn_game.disable_unused_prod_ = false;
    game().buildMenu(5).main->fireAction();  // closes and opens again
    EXPECT_TRUE(game().isSubmenuOpen());
    EXPECT_TRUE(button(5, 0).isEnabled());
}

TEST_F(RunScreenTest, KeysPauseChangeSpeedAndScrollFromTheNumericPad) {
    dax_gameclock.reset();
    const auto centre = grn_pmainmap->viewCentre();
    auto eight = keyPressEvent('8');
    game().keyPressed(eight);
    EXPECT_EQ(grn_pmainmap->viewCentre(), centre);
    auto pad8 = padKey('8');
    game().keyPressed(pad8);
    EXPECT_TRUE(pad8.isConsumed());
    EXPECT_LT(grn_pmainmap->viewCentre().first, centre.first);
    EXPECT_LT(grn_pmainmap->viewCentre().second, centre.second);
    auto left = keyPressEvent(gcn::Key::Left);
    game().keyPressed(left);
    EXPECT_TRUE(left.isConsumed());

    auto space = keyPressEvent(gcn::Key::Space);
    game().keyPressed(space);
    EXPECT_TRUE(dax_gameclock.paused());
    auto p = keyPressEvent('p');
    game().keyPressed(p);
    EXPECT_FALSE(dax_gameclock.paused());
    auto plus = padKey('+');
    game().keyPressed(plus);
    EXPECT_EQ(dax_gameclock.speed(), 110);
    auto minus = keyPressEvent('-');
    game().keyPressed(minus);
    EXPECT_EQ(dax_gameclock.speed(), 100);
    auto t = keyPressEvent('t');
    game().keyPressed(t);
    EXPECT_TRUE(grn_pmainmap->seeThrough());
}

TEST_F(RunScreenTest, TheLabelsShowTheStatusAndTheMiniMapPanelOpens) {
    text(2113, "Population: %d");
    grn_game.money_ = 1234;
    game().logic();
    EXPECT_EQ(game().timeLabel().getCaption(), "1234$  100%  0001/01/01");
    EXPECT_EQ(game().infoLabel().getCaption(), "Population: 0");
    EXPECT_EQ(game().timeLabel().getWidth() % 30, 0);
    EXPECT_EQ(game().timeLabel().getWidth(), game().infoLabel().getWidth());

    EXPECT_FALSE(game().isMiniMapShown());
    game().showMiniMap(true);
    ASSERT_NE(grn_pminimap, nullptr);
    // 768 * 30 / 100 = 230 pixels of room: three pixels a tile for 64 tiles.
    EXPECT_EQ(game().miniMapPanel().getWidth(), 192);
    EXPECT_FLOAT_EQ(grn_pminimap->zoom(), 3.0f);
    EXPECT_EQ(game().miniMapPanel().getX(), 1024 - 192);
    game().miniMapButton().fireAction();
    EXPECT_FALSE(game().isMiniMapShown());
    EXPECT_NE(grn_pminimap, nullptr);  // kept for the next time
}

TEST_F(RunScreenTest, MenuButtonsExplainThemselves) {
    text(6001, "Roads");
    text(2102, "Cost:");
    text(2170, "Walkers move faster on better roads.");
    text(2152, "%d %s built");
    game().setBuildMenuEntry(1, "menu_a", 6001);
    game().addBuildMenuButton(RnIdBldRoad, 1, 100, false);
    char buf[512] = {};
    EXPECT_EQ(game().buildMenu(1).main->overlayText(buf, sizeof(buf)), 5);
    EXPECT_STREQ(buf, "Roads");
    game().buildMenu(1).main->fireAction();
    EXPECT_EQ(game().buildMenu(1).main->overlayText(buf, sizeof(buf)), 0);  // silent while open
    button(1, 0).overlayText(buf, sizeof(buf));
    EXPECT_STREQ(buf, "road\nCost: 5\nWalkers move faster on better roads.\n0 road built");
}

TEST_F(UiTest, ARunScreenThatCannotBeBuiltLeavesNothingBehind) {
    makeMap(16);
    dax_bitmaps.clear();  // the markers, but no icons
    for (int i = 0; i < RnMainMapAllegro::kMarkerCount; ++i) {
        registerMemoryBitmap(DaxBitmapKey(RnMainMapAllegro::kMarkerNames[i], 1, 0), 8, 8, 4, 9, markerColour(i));
    }
    EXPECT_EQ(raisedBy([] { RnRunGameMenu(1024, 768); }).find("bmp index out of range"), 0u);
    EXPECT_EQ(grn_pmenu_game, nullptr);
    EXPECT_EQ(grn_pmainmap, nullptr);
    EXPECT_EQ(grn_build_menu.observer(), nullptr);
    dax_bitmaps.clear();
    registerScreenImages();
    auto* game = new RnRunGameMenu(1024, 768);
    EXPECT_EQ(grn_pmenu_game, game);
    EXPECT_EQ(grn_build_menu.observer(), game);
}

}  // namespace
