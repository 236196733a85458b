// The game as the framework's game loop sees it: one world update per logic
// tick, the last save when the window closes, and whether an armed build or
// selection mode keeps dialogs back.
#pragma once

#include <functional>

#include "dax2/dax_gameloop.h"

class RnGameLoopCallback : public DaxLoopGameCallback {
public:
    // Runs the per-tick update of grn_game.
    void updateGame() override;
    // Saves the last game, but only a world that was loaded completely: a
    // load that failed half-way leaves tables that must not overwrite the
    // player's last save.
    void windowClosing() override;
    // Asks the game interface (build menu or main map mode armed); false
    // while none is installed.
    bool dialogsBlocked() override;

    // Installed by the game interface: true while the run screen has a build
    // submenu open or a building mode armed, or the main map has a mode armed.
    void setDialogsBlockedTest(std::function<bool()> test) { dialogs_blocked_ = std::move(test); }

private:
    std::function<bool()> dialogs_blocked_;
};
