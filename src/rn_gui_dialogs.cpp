#include "rn_gui_dialogs.h"

#include "dax2/dax_dialog.h"
#include "dax2/dax_gameloop.h"
#include "dax2/dax_ini.h"

namespace {

constexpr int kTextOk = 100;
constexpr int kTextVersionButton = 1004;

}  // namespace

DaxDialogIfc* RnGuiBuildingDialogs::createTextDialog(const std::string& caption, const std::string& text) {
    return new DaxDialog(caption.c_str(), text.c_str(), daxTextOr(kTextOk, "OK").c_str(), nullptr, nullptr);
}

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
