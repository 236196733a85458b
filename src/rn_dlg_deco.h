// The info dialog of a decoration: how long its effect lasts and what it is
// supplied with.
#pragma once

#include "rn_dlg_building.h"

class RnDeco;

class RnDecoDialog : public RnBuildingDialog {
public:
    explicit RnDecoDialog(const RnDeco& b);
};
