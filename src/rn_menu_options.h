// The two options screens. Page 1, from the main menu: the display
// (resolution, full screen, OpenGL 3) and the autosave frequency, kept in
// the user ini; a changed display restarts the program. Page 2, the in-game
// menu: back to the game, save, about, quit to the main menu, and the values
// a player changes while playing (game speed, the two scrolling values and,
// with debugging enabled, the console, log and map debug levels), which last
// until the program ends.
#pragma once

#include <allegro5/allegro.h>

#include <functional>
#include <memory>
#include <vector>

#include "dax2/dax_display.h"
#include "dax2/dax_menu_ifc.h"
#include "dax2/dax_overlay.h"
#include "gcn/listeners.hpp"
#include "gcn/widgets/button.hpp"
#include "gcn/widgets/buttonbar.hpp"
#include "gcn/widgets/checkbox.hpp"
#include "gcn/widgets/container.hpp"
#include "gcn/widgets/dropdown.hpp"
#include "gcn/widgets/label.hpp"
#include "gcn/widgets/radiobutton.hpp"

class RnOptions1Menu : public DaxSubMenuIfc, public gcn::Container, public gcn::ActionListener {
public:
    // Where the display modes come from: the adapter's (daxDisplayModes) by
    // default; tests give their own. Called with the new-display flags of
    // the renderer the OpenGL box chooses.
    using ModeSource = std::function<std::vector<ALLEGRO_DISPLAY_MODE>()>;

    // Lays the screen out over a display of the given size whose flags
    // were display_flags; the boxes and the autosave choice show them.
    RnOptions1Menu(int width, int height, int display_flags);
    ~RnOptions1Menu() override;

    // Lists the display modes afresh, then the container.
    gcn::Container* getContainer() override;
    // Escape goes back.
    void keyPressed(gcn::KeyEvent& event) override;
    void action(const gcn::ActionEvent& event) override;

    // Fills the drop-down with the modes of the renderer the OpenGL box
    // chooses (and the current size, which a window always has) and selects
    // the current size.
    void refreshResolutions();
    void setModeSource(ModeSource source) { mode_source_ = std::move(source); }

    gcn::Button& okButton() { return ok_; }
    gcn::Button& backButton() { return back_; }
    gcn::DropDown& resolutionList() { return resolution_; }
    DaxScreenResolutionsList& resolutions() { return modes_; }
    gcn::CheckBox& fullscreenBox() { return fullscreen_; }
    gcn::CheckBox& openglBox() { return opengl_; }
    // The radio button of an autosave frequency (0 none, 1 weekly, 2
    // monthly, 3 yearly).
    gcn::RadioButton& autosaveButton(int frequency) { return autosave_[frequency]; }

    // Whether the flags carry the renderer the OpenGL box stands for.
    static bool isOpenGL3Flags(int flags);

private:
    // The frequency the radio buttons choose.
    int chosenFrequency() const;
    // Writes the changed values into the user ini and reads them back;
    // false (reported) when the file does not keep them.
    bool storeSettings(bool frequency_changed, bool display_changed, int frequency);

    gcn::Button ok_;
    gcn::Button about_;
    gcn::Button back_;
    gcn::ButtonVBar buttons_;
    gcn::Label display_label_;
    DaxScreenResolutionsList modes_;
    gcn::DropDown resolution_;
    gcn::CheckBox fullscreen_;
    gcn::CheckBox opengl_;
    gcn::ButtonVBar display_;
    gcn::Label autosave_label_;
    gcn::RadioButton autosave_[4];
    gcn::ButtonVBar autosave_column_;
    gcn::ButtonHBar columns_;
    DaxOverlayPlugin overlay_;
    const int display_flags_;
    ModeSource mode_source_;
};

// The screen creator of state 7.
DaxSubMenuIfc* rnCreateOptions1Menu(int id);

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
