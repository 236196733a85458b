// The dialogs the world asks the interface for: the plain text dialog of a
// building, and the version information.
#pragma once

#include <string>

#include "rn_bld_generic.h"

// Builds a building's plain text dialog on the framework's dialog.
class RnGuiBuildingDialogs : public RnBuildingDialogFactoryIfc {
public:
    DaxDialogIfc* createTextDialog(const std::string& caption, const std::string& text) override;
};

// The text of the version dialog: "Version Info:", the full version text and
// the contact line.
std::string rnVersionInfoText();

// Opens the version dialog on the game loop's dialog stack.
void showVersionInfoDialog();
