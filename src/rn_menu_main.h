// The main menu, the first screen: each time it is shown it clears the game
// and runs the initial-data script; it offers continuing the last game, a new
// game, loading, the options and leaving the program.
#pragma once

#include <string>

#include "dax2/dax_menu_ifc.h"
#include "dax2/dax_overlay.h"
#include "gcn/listeners.hpp"
#include "gcn/widgets/button.hpp"
#include "gcn/widgets/container.hpp"
#include "gcn/widgets/icon.hpp"
#include "gcn/widgets/label.hpp"
#include "rn_menu_loading.h"

class RnMainMenu : public DaxSubMenuIfc, public gcn::Container, public gcn::ActionListener {
public:
    // Lays the menu out over a display of the given size.
    RnMainMenu(int width, int height);
    ~RnMainMenu() override;

    // Clears the game, runs the initial-data script (raising "failed to load
    // %s" when it fails) and looks for the last save; then the container.
    gcn::Container* getContainer() override;
    // "c" continue, "n" new game, "l" load, "o" options, "q" and Escape quit.
    void keyPressed(gcn::KeyEvent& event) override;
    void action(const gcn::ActionEvent& event) override;

    gcn::Button& continueButton() { return continue_; }
    gcn::Button& newGameButton() { return new_game_; }
    gcn::Button& loadButton() { return load_; }
    gcn::Button& optionsButton() { return options_; }
    gcn::Button& quitButton() { return quit_; }

private:
    gcn::Icon background_;
    gcn::Label title_;
    gcn::Button continue_;
    gcn::Button new_game_;
    gcn::Button load_;
    gcn::Button options_;
    gcn::Button quit_;
    DaxOverlayPlugin overlay_;
    // Names of the last save, when there is one.
    std::string last_map_;
    std::string last_town_;
};

// What the loading screen gets to continue the last game of a map.
RnLoadingData rnLastSaveLoadingData(const std::string& map_name);

// The screen creator of state 1.
DaxSubMenuIfc* rnCreateMainMenu(int id);
