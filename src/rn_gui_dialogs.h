// The dialogs the world asks the interface for: the info dialogs of the
// buildings (a plain text dialog for roads), and the version information.
#pragma once

#include <string>

#include "rn_bld_generic.h"

// Builds the buildings' info dialogs: each kind's own, and the plain text
// dialog on the framework's dialog.
class RnGuiBuildingDialogs : public RnBuildingDialogFactoryIfc {
public:
    DaxDialogIfc* createTextDialog(const std::string& caption, const std::string& text) override;
    DaxDialogIfc* createBldrDialog(const RnBldr& b) override;
    DaxDialogIfc* createDecoDialog(const RnDeco& b) override;
    DaxDialogIfc* createHousDialog(const RnHous& b) override;
    DaxDialogIfc* createMrktDialog(const RnMrkt& b) override;
    DaxDialogIfc* createProdDialog(const RnProd& b) override;
    DaxDialogIfc* createServDialog(const RnServ& b) override;
    DaxDialogIfc* createStorDialog(const RnStor& b) override;
};

// The text of the version dialog: "Version Info:", the full version text and
// the contact line.
std::string rnVersionInfoText();

// Opens the version dialog on the game loop's dialog stack.
void showVersionInfoDialog();
