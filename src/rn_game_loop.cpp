// The game's side of the game loop.
#include "rn_game_loop.h"

#include "rn_game.h"

void RnGameLoopCallback::updateGame() { grn_game.update(); }

void RnGameLoopCallback::windowClosing() {
    if (grn_game.terrains().empty() || !grn_game.isWorldLoaded()) return;
    if (RnTickServicesIfc* services = grn_game.tickServices()) services->saveLastSave();
}

bool RnGameLoopCallback::dialogsBlocked() { return dialogs_blocked_ ? dialogs_blocked_() : false; }
