// The program's tick services: what the per-tick update and the window-close
// notice call outside the world core (script trigger, saves, statistics).
#pragma once

#include "rn_game.h"

class RnGameServices : public RnTickServicesIfc {
public:
    void reportSaveError() override;
    DaxGameTime runScriptJob(const RnObjectID& job, DaxGameTime t) override;
    void rollStatistics(bool long_form) override;
    void logStatistics() override;
    void autoSave() override;
    void saveLastSave() override;
};
