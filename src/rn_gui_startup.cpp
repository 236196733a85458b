#include "rn_gui_startup.h"

#include "dax2/dax_display.h"
#include "dax2/dax_error.h"
#include "dax2/dax_gameloop.h"
#include "dax2/dax_ini.h"
#include "dax2/dax_menu_ifc.h"
#include "dax2/dax_platform.h"
#include "dax2/dax_random.h"
#include "rn.h"
#include "rn_bld_texts.h"
#include "rn_file_save.h"
#include "rn_game.h"
#include "rn_game_loop.h"
#include "rn_game_services.h"
#include "rn_gui_dialogs.h"
#include "rn_mainmap.h"
#include "rn_menu_game.h"
#include "rn_menu_loading.h"
#include "rn_menu_loadsave.h"
#include "rn_menu_main.h"
#include "rn_menu_newgame.h"
#include "rn_menu_options.h"
#include "rn_menu_overview.h"

const char* const kRnVersionText = "0.11.1.22 \"Apr 26 2014\" \"20:51:33\"";

namespace {

constexpr const char* kBaseIni = "zor.ini";

// Screen states: the program's end, then the screens that exist.
void registerScreens(DaxMenuHandlerIfc& menus) {
    menus.registerMenu(kRnStateQuit, nullptr, kDaxLifetimeSingle, false, true);
    menus.registerMenu(kRnStateMainMenu, rnCreateMainMenu, kDaxLifetimeSingle, false, false);
    menus.registerMenu(kRnStateRunGame, rnCreateRunGameMenu, kDaxLifetimeCatchUp, true, false);
    menus.registerMenu(kRnStateNewGame, rnCreateNewGameMenu, kDaxLifetimeSingle, false, false);
    menus.registerMenu(kRnStateLoadGame, rnCreateLoadSaveMenu, kDaxLifetimeSingle, false, false);
    menus.registerMenu(kRnStateSaveGame, rnCreateLoadSaveMenu, kDaxLifetimeKeep, false, false);
    menus.registerMenu(kRnStateLoading, rnCreateLoadingMenu, kDaxLifetimeSingle, false, false);
    menus.registerMenu(kRnStateOptions1, rnCreateOptions1Menu, kDaxLifetimeKeep, false, false);
    menus.registerMenu(kRnStateOptions2, rnCreateOptions2Menu, kDaxLifetimeKeep, false, false);
    menus.registerMenu(kRnStateOverview, rnCreateOverviewMenu, kDaxLifetimeCatchUp, false, false);
}

// Dialogs wait while a build menu is open or the main map has a mode armed.
bool dialogsBlocked() {
    return (grn_pmenu_game && grn_pmenu_game->isMenuModeActive()) || (grn_pmainmap && grn_pmainmap->isModeActive());
}

}  // namespace

int rnRunProgram(const char* program_path, const std::function<void(DaxGameLoop&)>& drive) {
    dax_random.seed(static_cast<uint32_t>(daxUnixTime()));
    dax_config.version_ = kRnVersionText;
    // Declared before the display loads the language, so that its texts are
    // checked as they are read.
    rnDeclareTextFormats();
    RnGameServices services;
    grn_game.setTickServices(&services);
    grn_game.setUiServices(&services);
    grn_save_view = &services;
    RnGuiBuildingDialogs building_dialogs;
    grn_building_dialogs = &building_dialogs;
    {
        DaxDisplay display;
        try {
            display.create(program_path, kBaseIni);
            registerScreens(*dax_menu_handler);
            dax_menu_handler->requestState(kRnStateMainMenu);

            RnGameLoopCallback callback;
            callback.setDialogsBlockedTest(dialogsBlocked);
            DaxGameLoop loop(&callback);
            loop.readConfig(kBaseIni);
            daxIniOpenBase(kBaseIni);
            rnReadConfig();
            rnReadUserConfig();
            daxIniOpenBase(nullptr);
            if (drive) {
                drive(loop);
            } else {
                loop.run();
            }
        } catch (const DaxException& e) {
            daxAssertFailed("src\\rn", 169, e.what());
        }
        // A flush still running owns the save buffer and its file.
        RnSaveWriter::waitIdle();
        grn_game.clear();
    }
    grn_save_view = nullptr;
    grn_building_dialogs = nullptr;
    grn_game.setUiServices(nullptr);
    grn_game.setTickServices(nullptr);
    return 0;
}
