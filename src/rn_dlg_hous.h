// The info dialog of a house: its level, what it needs for the next one, how
// long its services and goods last and the tax its next tax visit brings.
#pragma once

#include "rn_dlg_building.h"

class RnHous;

class RnHousDialog : public RnBuildingDialog {
public:
    explicit RnHousDialog(const RnHous& b);
};
