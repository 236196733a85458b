#include "rn_game_services.h"

#include "dax2/dax_menu_ifc.h"
#include "rn_trigger.h"

// LATER: the save writer comes with its own code; until then its steps have
// nothing to do.
void RnGameServices::reportSaveError() {}

DaxGameTime RnGameServices::runScriptJob(const RnObjectID& job, DaxGameTime t) { return rnRunScriptJob(job, t); }

void RnGameServices::rollStatistics(bool long_form) { grn_game.rollStatistics(long_form); }

void RnGameServices::logStatistics() { grn_game.logStatistics(); }

void RnGameServices::autoSave() {}

void RnGameServices::saveLastSave() {}

void RnGameServices::setDefaultCursor() {
    if (dax_menu_handler) {
        dax_menu_handler->setDefaultCursor();
    }
}
