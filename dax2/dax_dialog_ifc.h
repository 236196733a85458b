// The interface of a modal dialog on the game loop's dialog stack: a screen
// interface that also says when it is finished and reacts to its three
// buttons. The loop draws and runs the top dialog and deletes it once it is
// finished.
#pragma once

#include "dax2/dax_menu_ifc.h"

class DaxDialogIfc : public DaxSubMenuIfc {
public:
    ~DaxDialogIfc() override = default;

    // True once a button (or a key standing for one) closed the dialog.
    virtual bool isFinished() = 0;
    // Reactions to the ok, third and cancel buttons; nothing by default.
    virtual void onOk() {}
    virtual void onThirdButton() {}
    virtual void onCancel() {}
};
