#include "rn_game_services.h"

#include "dax2/dax_menu_ifc.h"
#include "rn_mainmap.h"
#include "rn_menu_game.h"
#include "rn_trigger.h"

void RnGameServices::reportSaveError() { RnSaveWriter::reportSaveError(); }

DaxGameTime RnGameServices::runScriptJob(const RnObjectID& job, DaxGameTime t) { return rnRunScriptJob(job, t); }

void RnGameServices::rollStatistics(bool long_form) { grn_game.rollStatistics(long_form); }

void RnGameServices::logStatistics() { grn_game.logStatistics(); }

void RnGameServices::autoSave() { RnSaveWriter::autoSave(); }

void RnGameServices::saveLastSave() { RnSaveWriter::saveLastSave(); }

void RnGameServices::setDefaultCursor() {
    if (dax_menu_handler) {
        dax_menu_handler->setDefaultCursor();
    }
}

void RnGameServices::viewCentre(float& x, float& y) const {
    x = -1.0f;
    y = -1.0f;
    if (!grn_pmainmap) return;
    const auto c = grn_pmainmap->viewCentre();
    x = c.first;
    y = c.second;
}

void RnGameServices::setViewCentre(float x, float y) {
    if (grn_pmainmap) grn_pmainmap->setViewCentre(x, y);
}

bool RnGameServices::miniMapShown() const { return grn_pmenu_game && grn_pmenu_game->isMiniMapShown(); }

void RnGameServices::showMiniMap(bool show) {
    if (grn_pmenu_game) grn_pmenu_game->showMiniMap(show);
}
