#include "rn_gui_dialogs.h"

#include <new>

#include "dax2/dax_dialog.h"
#include "dax2/dax_gameloop.h"
#include "dax2/dax_ini.h"
#include "rn_dlg_deco.h"
#include "rn_dlg_hous.h"
#include "rn_dlg_workplace.h"

namespace {

constexpr int kTextOk = 100;
constexpr int kTextVersionButton = 1004;

}  // namespace

DaxDialogIfc* RnGuiBuildingDialogs::createTextDialog(const std::string& caption, const std::string& text) {
    return new DaxDialog(caption.c_str(), text.c_str(), daxTextOr(kTextOk, "OK").c_str(), nullptr, nullptr);
}

// A dialog the memory does not hold is none.
DaxDialogIfc* RnGuiBuildingDialogs::createBldrDialog(const RnBldr& b) { return new (std::nothrow) RnBldrDialog(b); }
DaxDialogIfc* RnGuiBuildingDialogs::createDecoDialog(const RnDeco& b) { return new (std::nothrow) RnDecoDialog(b); }
DaxDialogIfc* RnGuiBuildingDialogs::createHousDialog(const RnHous& b) { return new (std::nothrow) RnHousDialog(b); }
DaxDialogIfc* RnGuiBuildingDialogs::createMrktDialog(const RnMrkt& b) { return new (std::nothrow) RnMrktDialog(b); }
DaxDialogIfc* RnGuiBuildingDialogs::createProdDialog(const RnProd& b) { return new (std::nothrow) RnProdDialog(b); }
DaxDialogIfc* RnGuiBuildingDialogs::createServDialog(const RnServ& b) { return new (std::nothrow) RnServDialog(b); }
DaxDialogIfc* RnGuiBuildingDialogs::createStorDialog(const RnStor& b) { return new (std::nothrow) RnStorDialog(b); }

std::string rnVersionInfoText() {
    return "Version Info:\n" + dax_config.window_title_ +
           "\n\nQuestions and reports are welcome in the project's issue tracker.";
}

void showVersionInfoDialog() {
    if (!dax_game_loop) {
        return;
    }
    std::string text = rnVersionInfoText();
    dax_game_loop->pushDialog(new DaxDialog(dax_config.long_name_.c_str(), text.c_str(),
                                            daxTextOr(kTextVersionButton, "OK").c_str(), nullptr, nullptr));
}
