#include "rn_gui_startup.h"

#include "dax2/dax_display.h"
#include "dax2/dax_error.h"
#include "dax2/dax_gameloop.h"
#include "dax2/dax_ini.h"
#include "dax2/dax_menu_ifc.h"
#include "dax2/dax_platform.h"
#include "dax2/dax_random.h"
#include "rn.h"
#include "rn_game.h"
#include "rn_game_loop.h"
#include "rn_game_services.h"
#include "rn_gui_dialogs.h"
#include "rn_menu_start.h"

const char* const kRnVersionText = "0.11.1.22 \"Apr 26 2014\" \"20:51:33\"";

namespace {

constexpr const char* kBaseIni = "zor.ini";

// Screen states: the program's end, then the screens that exist.
void registerScreens(DaxMenuHandlerIfc& menus) {
    menus.registerMenu(kRnStateQuit, nullptr, 1, false, true);
    menus.registerMenu(1, rnCreateStartMenu, 1, false, false);
}

}  // namespace

int rnRunProgram(const char* program_path, const std::function<void(DaxGameLoop&)>& drive) {
    dax_random.seed(static_cast<uint32_t>(daxUnixTime()));
    dax_config.version_ = kRnVersionText;
    RnGameServices services;
    grn_game.setTickServices(&services);
    grn_game.setUiServices(&services);
    RnGuiBuildingDialogs building_dialogs;
    grn_building_dialogs = &building_dialogs;
    {
        DaxDisplay display;
        try {
            display.create(program_path, kBaseIni);
            registerScreens(*dax_menu_handler);
            dax_menu_handler->requestState(1);

            RnGameLoopCallback callback;
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
        grn_game.clear();
    }
    grn_building_dialogs = nullptr;
    grn_game.setUiServices(nullptr);
    grn_game.setTickServices(nullptr);
    return 0;
}
