// The screens that show the running town, played through the program's own
// window and input: a street with a building of every kind built through
// the build menu, the info dialog of each opened with a right click, and
// the overview in each of its pictures. Each screen is saved as a PNG in the
// build folder ("screens_dialog_<kind>.png", "screens_overview_<mode>.png")
// for a person to look at. The log must stay free of errors.
#include <string>
#include <typeinfo>
#include <vector>

#include "dax2/dax_clock.h"
#include "dax2/dax_platform.h"
#include "gcn/widgets/tab.hpp"
#include "gcn/widgets/tabbedarea.hpp"
#include "rn_dlg_deco.h"
#include "rn_dlg_hous.h"
#include "rn_dlg_workplace.h"
#include "rn_game.h"
#include "rn_gui_startup.h"
#include "rn_menu_loading.h"
#include "rn_menu_main.h"
#include "rn_menu_newgame.h"
#include "rn_menu_options.h"
#include "rn_menu_overview.h"
#include "play_fixture.h"

namespace {

using namespace playtest;

using PlayScreensTest = PlayTest;

TEST_F(PlayScreensTest, EveryKindsDialogAndEveryOverviewPicture) {
    const std::string pictures = std::string(ZOR_BINARY_DIR) + "/screens_";
    DaxMenuHandler menus;
    std::vector<std::string> shots;
    bool ended = false;
    int rc = rnRunProgram(daxExecutablePath().c_str(), [&](DaxGameLoop& loop) {
        loop.setManualTicks(true);
        loop.start();
        Player p(loop);
        p.frames(3);
        p.enterNewGame();
        if (::testing::Test::HasFatalFailure()) return;
        auto* game = screen<RnRunGameMenu>(kRnStateRunGame);
        ASSERT_NE(game, nullptr);

        // A street with a building of every kind above it, and gardens
        // between them.
        int x0 = 0;
        int y0 = 0;
        ASSERT_TRUE(findStreet(22, x0, y0));
        grn_pmainmap->setViewCentre(static_cast<float>(x0 + 11), static_cast<float>(y0 - 2));
        p.frames(1);
        struct Building {
            const char* name;
            int dx;  // anchor x from the street's start, one row above it
            const std::type_info& dialog;
            const char* picture;
        };
        const Building town[] = {
            {"House", 1, typeid(RnHousDialog), "house"},
            {"House", 3, typeid(RnHousDialog), nullptr},
            {"Well", 4, typeid(RnServDialog), "service"},
            {"Storehouse", 7, typeid(RnStorDialog), "storage"},
            {"Market", 10, typeid(RnMrktDialog), "market"},
            {"Farm", 13, typeid(RnProdDialog), "production"},
            {"Builder's yard", 14, typeid(RnBldrDialog), "builder"},
            {"Fountain", 15, typeid(RnDecoDialog), "decoration"},
            {"House", 17, typeid(RnHousDialog), nullptr},
            {"House", 19, typeid(RnHousDialog), nullptr},
            {"Garden", 5, typeid(RnDecoDialog), nullptr},
            {"Garden", 8, typeid(RnDecoDialog), nullptr},
            {"Garden", 11, typeid(RnDecoDialog), nullptr},
        };
        p.placeFromMenu(*game, "Road", x0, y0, x0 + 21, y0);
        for (const Building& b : town) {
            p.closeMessages();
            p.placeFromMenu(*game, b.name, x0 + b.dx, y0 - 1, x0 + b.dx, y0 - 1);
        }
        ASSERT_FALSE(::testing::Test::HasFailure());

        // Three game days at top speed: people move in, workers are
        // assigned, walkers go round, and the houses the gardens lift rise
        // to their second level.
        for (int i = 0; i < 30; ++i) p.key(ALLEGRO_KEY_PAD_PLUS, '+');
        EXPECT_GE(p.playHours(72), 72u);
        p.key(ALLEGRO_KEY_SPACE, ' ');  // paused: the pictures stay as they are

        // Each building's dialog with a right click; Enter closes it.
        for (const Building& b : town) {
            if (!b.picture) continue;
            SCOPED_TRACE(b.name);
            int x = 0;
            int y = 0;
            p.tilePoint(x0 + b.dx, y0 - 1, x, y);
            p.moveTo(x, y);
            p.click(x, y, 2);
            ASSERT_EQ(loop.dialogs().size(), 1u);
            EXPECT_EQ(typeid(*loop.dialogs().back()), b.dialog);
            if (auto* house = dynamic_cast<RnHousDialog*>(loop.dialogs().back())) {
                // The people line counts the town's settlers, not the
                // house's, and says so.
                const std::string summary = house->summaryBox().getText();
                EXPECT_EQ(summary.rfind("Settlers in the town: ", 0), 0u) << summary;
            }
            p.frames(1);
            const std::string shot = pictures + "dialog_" + b.picture + ".png";
            EXPECT_TRUE(p.screenshot(shot));
            shots.push_back(shot);
            p.key(ALLEGRO_KEY_ENTER, 13);
            p.frames(1);
            EXPECT_TRUE(loop.dialogs().empty());
        }

        // The overview, by its key; each picture through its radio button.
        p.key(ALLEGRO_KEY_O, 'o');
        p.frames(1);
        ASSERT_EQ(dax_menu_handler->currentState(), kRnStateOverview);
        auto* overview = screen<RnOverviewMenu>(kRnStateOverview);
        ASSERT_NE(overview, nullptr);
        struct Picture {
            int tab;
            gcn::RadioButton* radio;
            int mode;
            const char* name;
        };
        const Picture modes[] = {
            {0, &overview->fixedRadio(RnOverviewMenu::kFixedPlain), RnOverviewMapWidget::kPlain, "plain"},
            {0, &overview->fixedRadio(RnOverviewMenu::kFixedDesirability), RnOverviewMapWidget::kDesirability,
             "desirability"},
            {0, &overview->fixedRadio(RnOverviewMenu::kFixedWorkforce), RnOverviewMapWidget::kWorkforce,
             "workforce"},
            {1, overview->typeRadio(RnIdNone, grn_game.goodsTypeIdx(5313)), RnOverviewMapWidget::kGoods, "goods"},
            {0, &overview->fixedRadio(RnOverviewMenu::kFixedRoads), RnOverviewMapWidget::kRoads, "roads"},
            {0, overview->typeRadio(RnIdBldHous, 0), RnOverviewMapWidget::kBuildingType, "house_type"},
            {0, overview->typeRadio(RnIdBldStor, 0), RnOverviewMapWidget::kBuildingType, "storage_type"},
            {0, &overview->fixedRadio(RnOverviewMenu::kFixedProduction), RnOverviewMapWidget::kProduction,
             "production"},
        };
        for (const Picture& m : modes) {
            SCOPED_TRACE(m.name);
            ASSERT_NE(m.radio, nullptr);
            p.clickWidget(*overview->tabs().getTab(m.tab));
            p.clickWidget(*m.radio);
            EXPECT_EQ(overview->picture().mode(), m.mode);
            // The mouse over the first house shows its tile's text.
            const RnOverviewMapWidget& pic = overview->picture();
            int px = 0;
            int py = 0;
            pic.getAbsolutePosition(px, py);
            const float zoom = pic.zoom();
            p.moveTo(px + static_cast<int>((x0 + 1 + pic.offsetX() + 0.5f) * zoom),
                     py + static_cast<int>((y0 - 1 + pic.offsetY() + 0.5f) * zoom));
            p.frames(2);
            const std::string shot = pictures + "overview_" + m.name + ".png";
            EXPECT_TRUE(p.screenshot(shot));
            shots.push_back(shot);
        }

        // Back to the town and out through the menus.
        p.key(ALLEGRO_KEY_ESCAPE, 27);
        p.frames(1);
        ASSERT_EQ(dax_menu_handler->currentState(), kRnStateRunGame);
        p.key(ALLEGRO_KEY_ESCAPE, 27);
        p.frames(1);
        p.clickWidget(screen<RnOptions2Menu>(kRnStateOptions2)->quitButton());
        p.frames(2);
        p.clickWidget(screen<RnMainMenu>(kRnStateMainMenu)->quitButton());
        p.frames(2);
        ended = loop.ended();
        loop.finish();
    });
    EXPECT_EQ(rc, 0);
    EXPECT_TRUE(ended);
    EXPECT_EQ(shots.size(), 7u + 8u);
    for (const std::string& s : shots) EXPECT_TRUE(fs::exists(s)) << s;
    expectCleanLog();
}

}  // namespace
