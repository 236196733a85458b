// The program's services to the world: what the per-tick update and the
// window-close notice call outside the world core (script trigger, saves,
// statistics), and what the world asks of the interface (the cursor).
#pragma once

#include "rn_game.h"

class RnGameServices : public RnTickServicesIfc, public RnUiServicesIfc {
public:
    void reportSaveError() override;
    DaxGameTime runScriptJob(const RnObjectID& job, DaxGameTime t) override;
    void rollStatistics(bool long_form) override;
    void logStatistics() override;
    void autoSave() override;
    void saveLastSave() override;

    // The screen state machine's default cursor, when it exists.
    void setDefaultCursor() override;
};
