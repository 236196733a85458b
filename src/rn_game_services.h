// The program's services to the world: what the per-tick update and the
// window-close notice call outside the world core (script trigger, saves,
// statistics), and what the world asks of the interface (the cursor, the view
// and the mini map that saves keep).
#pragma once

#include "rn_file_save.h"
#include "rn_game.h"

class RnGameServices : public RnTickServicesIfc, public RnUiServicesIfc, public RnSaveViewIfc {
public:
    void reportSaveError() override;
    DaxGameTime runScriptJob(const RnObjectID& job, DaxGameTime t) override;
    void rollStatistics(bool long_form) override;
    void logStatistics() override;
    void autoSave() override;
    void saveLastSave() override;

    // The screen state machine's default cursor, when it exists.
    void setDefaultCursor() override;

    // The main map's view centre and the run screen's mini-map panel, while
    // they exist ((-1, -1) and hidden otherwise).
    void viewCentre(float& x, float& y) const override;
    void setViewCentre(float x, float y) override;
    bool miniMapShown() const override;
    void showMiniMap(bool show) override;
};
