// The loading screen: builds a playable world one stage per logic tick, so
// that the window stays alive and the player sees the progress: the icons,
// the data-model script, the map script, the model check, then the set-up of
// a new game (or a saved game), and last the conversion of the images into
// display bitmaps. Then the player enters the run screen with its button. A
// failing stage goes back to the screen that opened this one and shows why.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "dax2/dax_menu_ifc.h"
#include "gcn/listeners.hpp"
#include "gcn/widgets/button.hpp"
#include "gcn/widgets/buttonbar.hpp"
#include "gcn/widgets/container.hpp"
#include "gcn/widgets/label.hpp"
#include "gcn/widgets/textbox.hpp"
#include "dax2/dax_overlay.h"

class DaxLua;

// What the loading screen is to load, handed over by the screen that opens
// it: a new game on a map, or a saved game (the last save or a named one).
class RnLoadingData : public DaxMenuData {
public:
    bool is_new_ = false;
    bool is_lastsave_ = false;
    // The map script, "maps/<map>.lua".
    std::string map_file_name_;
    // The save file of a named saved game; empty otherwise.
    std::string save_file_name_;
};

class RnLoadingMenu : public DaxSubMenuIfc, public gcn::Container, public gcn::ActionListener {
public:
    // Stage numbers after the last one and after a failure.
    static constexpr int kLastStage = 7;
    static constexpr int kFailed = 1000;

    // Lays the screen out over a display of the given size for the data
    // (fatal when both flags are set, or when a saved game by name comes
    // without a file name or anything else with one).
    RnLoadingMenu(int width, int height, const RnLoadingData& data);

    gcn::Container* getContainer() override { return this; }
    // Runs the next stage, then the widgets' logic.
    void logic() override;
    // Enter and 'c' press the enter button once it is enabled.
    void keyPressed(gcn::KeyEvent& event) override;
    // The enter button opens the run screen.
    void action(const gcn::ActionEvent& event) override;

    int stage() const { return stage_; }
    const RnLoadingData& data() const { return loading_data_; }
    gcn::Button& enterButton() { return enter_; }
    gcn::TextBox& progressBox() { return progress_; }
    // The progress lines so far.
    const std::vector<std::string>& progressLines() const { return lines_; }
    // Why the load failed; empty while it has not.
    const std::string& failure() const { return failure_; }

private:
    // Runs one stage; false when it failed (the component logged why; a
    // script's runner or the trigger also gives it in stage_error_).
    bool runStage(int stage);
    // A script stage failed: its runner's reason becomes the stage's.
    bool scriptFailed(const DaxLua& runner);
    void addLine(const std::string& line);
    void replaceLastLine(const std::string& line);
    void showLines();
    void fail(const std::string& reason);

    RnLoadingData loading_data_;
    gcn::ButtonVBar bar_;
    gcn::Label title_;
    gcn::Label map_label_;
    gcn::Label save_label_;
    gcn::TextBox progress_;
    gcn::Button enter_;
    DaxOverlayPlugin overlay_;
    std::vector<std::string> lines_;
    int box_width_ = 0;
    int box_height_ = 0;
    int stage_ = 0;
    uint32_t stage_start_ = 0;
    std::string stage_error_;
    std::string failure_;
};

// The screen creator of state 6: takes the data handed over (fatal without).
DaxSubMenuIfc* rnCreateLoadingMenu(int id);
