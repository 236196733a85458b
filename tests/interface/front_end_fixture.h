// The front end on the sample world without a window: the sample data on
// the search path with its English texts, and a screen state machine with
// the states the front-end screens request.
#pragma once

#include <string>
#include <vector>

#include "dax2/dax_msg.h"
#include "rn_menu_loading.h"
#include "rn_menu_newgame.h"
#include "rn_trigger.h"
#include "ui_fixture.h"

namespace frontend {

using uitest::RecordingMenus;
using uitest::UiTest;

inline const std::string kData = std::string(ZOR_SOURCE_DIR) + "/data/";

inline DaxSubMenuIfc* noScreen(int) { return nullptr; }

class FrontEndTest : public UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        saved_search_ = dax_config.search_path_;
        dax_config.search_path_ = {kData};
        dax_strings.loadFile((kData + "zor.en.txt").c_str(), false);
        grn_trigger.reset();
        grn_game.clear();
        menus_.registerMenu(kRnStateMainMenu, noScreen, kDaxLifetimeSingle, false, false);
        menus_.registerMenu(kRnStateRunGame, rnCreateRunGameMenu, kDaxLifetimeCatchUp, true, false);
        menus_.registerMenu(kRnStateNewGame, noScreen, kDaxLifetimeSingle, false, false);
        menus_.registerMenu(kRnStateLoading, noScreen, kDaxLifetimeSingle, false, false);
    }
    void TearDown() override {
        menus_.deleteAllInstances();
        grn_trigger.reset();
        grn_config = RnConfig();
        dax_config.search_path_ = saved_search_;
        UiTest::TearDown();
    }
    // The state machine on the loading screen, called from the new-game
    // screen.
    void enterLoadingFromNewGame() {
        menus_.requestState(kRnStateNewGame);
        menus_.takeNewTopWidget();
        menus_.requestState(kRnStateLoading);
        menus_.takeNewTopWidget();
    }
    // Runs logic ticks until the stages are done or failed.
    static void runStages(RnLoadingMenu& m) {
        for (int i = 0; i < 12; ++i) m.logic();
    }
    // Runs the loading screen's stages for data as the screen before it
    // hands them over; the failure, "" when the world loaded.
    std::string load(const RnLoadingData& data) {
        enterLoadingFromNewGame();
        RnLoadingMenu m(1024, 768, data);
        runStages(m);
        return m.failure();
    }
    // A new game of a town on the sample map; the failure, "" when it
    // loaded.
    std::string startNewGame(const char* town) {
        grn_game.resetForNewGame("green_valley", town);
        return load(rnNewGameLoadingData(kData + "maps/green_valley.lua"));
    }

    RecordingMenus menus_;
    std::vector<std::string> saved_search_;
};

}  // namespace frontend
