// The first screen while the game's own menus are being built: the game's
// name and a Quit button that ends the program.
#pragma once

#include <memory>

#include "dax2/dax_menu_ifc.h"
#include "gcn/listeners.hpp"
#include "gcn/widgets/button.hpp"
#include "gcn/widgets/container.hpp"
#include "gcn/widgets/label.hpp"

class RnStartMenu : public DaxSubMenuIfc, public gcn::ActionListener {
public:
    // Lays the screen out over a display of the given size.
    RnStartMenu(int width, int height);

    gcn::Container* getContainer() override { return &container_; }
    // "q" and Escape quit; other keys get the framework's handling.
    void keyPressed(gcn::KeyEvent& event) override;
    void action(const gcn::ActionEvent& event) override;

    gcn::Button& quitButton() { return quit_; }

private:
    gcn::Container container_;
    gcn::Label title_;
    gcn::Button quit_;
};

// The screen creator registered for state 1.
DaxSubMenuIfc* rnCreateStartMenu(int id);

// The state that ends the program.
constexpr int kRnStateQuit = 10;
