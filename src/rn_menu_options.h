// The in-game menu (options page 2): back to the game, save, about, quit to
// the main menu, and the values a player changes while playing (game speed,
// the two scrolling values and, with debugging enabled, the console, log and
// map debug levels). The values last until the program ends.
#pragma once

#include <memory>
#include <vector>

#include "dax2/dax_menu_ifc.h"
#include "dax2/dax_overlay.h"
#include "gcn/listeners.hpp"
#include "gcn/widgets/button.hpp"
#include "gcn/widgets/buttonbar.hpp"
#include "gcn/widgets/container.hpp"
#include "gcn/widgets/label.hpp"

class RnOptions2Menu : public DaxSubMenuIfc, public gcn::Container, public gcn::ActionListener {
public:
    // The rows of values, in the order shown.
    enum Row { kSpeed, kScrollWidth, kSensitivity, kConsole, kLogLevel, kMapDebug, kRowCount };

    RnOptions2Menu(int width, int height);
    ~RnOptions2Menu() override;

    gcn::Container* getContainer() override { return this; }
    // '+' and '-' change the speed, 'q' quits, 's' saves, Escape goes back.
    void keyPressed(gcn::KeyEvent& event) override;
    void action(const gcn::ActionEvent& event) override;
    // Shows the values, then the widgets' logic.
    void logic() override;

    gcn::Button& backButton() { return back_; }
    gcn::Button& saveButton() { return save_; }
    gcn::Button& quitButton() { return quit_; }
    gcn::Button& minusButton(Row r) { return rows_[r]->minus; }
    gcn::Button& plusButton(Row r) { return rows_[r]->plus; }
    gcn::Label& valueLabel(Row r) { return rows_[r]->value; }

private:
    struct ValueRow {
        gcn::Label title;
        gcn::ButtonHBar bar;
        gcn::Button minus;
        gcn::Label value;
        gcn::Button plus;
    };
    void step(Row r, int direction);
    // Keeps every value within its bounds.
    static void clampValues();

    gcn::Button back_;
    gcn::Button save_;
    gcn::Button about_;
    gcn::Button quit_;
    gcn::ButtonVBar buttons_;
    gcn::ButtonVBar values_;
    gcn::ButtonVBar debug_;
    gcn::ButtonHBar columns_;
    std::vector<std::unique_ptr<ValueRow>> rows_;
    DaxOverlayPlugin overlay_;
};

// The screen creator of state 8.
DaxSubMenuIfc* rnCreateOptions2Menu(int id);
