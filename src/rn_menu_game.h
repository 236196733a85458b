// The run-game screen: the screen on which the game runs. A top bar with the
// date and population lines and the pause, menu, mini-map and overview
// buttons, the main map, a side bar with up to eleven build menus and the
// demolition button, and the mini-map panel. It turns build-menu clicks into
// main-map modes and owns the in-game keys. It follows the build menu of the
// data model (grn_build_menu) while the data model loads.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "dax2/dax_dialog.h"
#include "dax2/dax_icon.h"
#include "dax2/dax_overlay.h"
#include "gcn/listeners.hpp"
#include "gcn/widgets/button.hpp"
#include "gcn/widgets/buttonbar.hpp"
#include "gcn/widgets/container.hpp"
#include "gcn/widgets/label.hpp"
#include "rn_build_menu.h"

// The image button that opens a build menu; its hover text is the menu's
// numbered text while the menu is closed.
class BuildMenuMainButton : public DaxImageButton, public DaxOverlayCallback {
public:
    BuildMenuMainButton() = default;
    // The hover text and the submenu whose visibility silences it.
    void setOverlay(int text_id, gcn::Widget* submenu) {
        text_id_ = text_id;
        submenu_ = submenu;
    }
    int overlayText(char* buffer, int size) override;

private:
    int flag_ = 1;
    int text_id_ = 0;
    gcn::Widget* submenu_ = nullptr;
};

// A building type in an open build menu; its hover text tells what the type
// costs, needs and does.
class BuildMenuButton : public gcn::Button, public DaxOverlayCallback {
public:
    BuildMenuButton(const std::string& caption, int kind, int type_id);
    int overlayText(char* buffer, int size) override;

    int kind() const { return kind_; }
    int typeId() const { return type_id_; }

private:
    int flag_ = 1;
    int kind_;
    int type_id_;
};

class RnRunGameMenu : public DaxMenuScreenMsgBase, public gcn::MouseListener, public RnBuildMenuObserverIfc {
public:
    // One menu: its main button, its submenu bar and its buttons in the
    // order registered.
    struct BuildMenuRecord {
        std::unique_ptr<BuildMenuMainButton> main;
        std::unique_ptr<gcn::ButtonVBar> bar;
        std::vector<std::pair<std::string, std::unique_ptr<BuildMenuButton>>> buttons;
    };

    // Lays the screen out over a display of the given size (fatal when a run
    // screen exists already) and takes over what the build menu holds.
    RnRunGameMenu(int width, int height);
    ~RnRunGameMenu() override;
    RnRunGameMenu(const RnRunGameMenu&) = delete;
    RnRunGameMenu& operator=(const RnRunGameMenu&) = delete;

    // The data model's registration, through grn_build_menu (which raises
    // for a menu outside 1..11, an unknown type and a repeated name).
    void setBuildMenuEntry(int index, const std::string& bitmap_name, int text_id);
    void addBuildMenuButton(int kind, int index, int type_id, bool disabled);

    // RnBuildMenuObserverIfc
    void buildMenuEntryChanged(int menu) override;
    void buildMenuButtonAdded(int menu, const RnBuildMenuButton& button) override;
    void buildMenuCleared() override;

    // Shows or hides the mini-map panel as its button would.
    void showMiniMap(bool show);
    bool isMiniMapShown() const { return mini_panel_.isVisible(); }
    // A build menu is open or a mode is armed: dialogs wait.
    bool isMenuModeActive() const { return submenu_open_ || mode_ != 0; }
    // Closes the menus, ends the modes and sets the plain cursor.
    void cancelModes();

    void keyPressed(gcn::KeyEvent& event) override;
    void action(const gcn::ActionEvent& event) override;
    void logic() override;
    // A right release no one consumed ends every mode.
    void mouseReleased(gcn::MouseEvent& event) override;

    // Widgets, for tests and the loader.
    gcn::Label& timeLabel() { return time_; }
    gcn::Label& infoLabel() { return info_; }
    DaxImageButton& pauseButton() { return pause_; }
    DaxImageButton& optionsButton() { return options_; }
    DaxImageButton& miniMapButton() { return minimap_; }
    DaxImageButton& overviewButton() { return overview_; }
    gcn::Button& demolishButton() { return del_; }
    gcn::Container& sideBar() { return side_bar_; }
    gcn::Container& miniMapPanel() { return mini_panel_; }
    const BuildMenuRecord& buildMenu(int i) const { return menus_.at(static_cast<size_t>(i)); }
    bool isSubmenuOpen() const { return submenu_open_; }
    int mode() const { return mode_; }
    int modeTypeId() const { return type_id_; }

private:
    // The constructor's work, and what the destructor undoes.
    void build(int width, int height);
    void release();
    void layoutSideBar();
    void layoutSubmenus();
    void closeSubmenus();
    void toggleMiniMap();
    void openMenu(int i);
    // Fires a button as a click would and consumes the key.
    static void fire(gcn::Widget& button, gcn::KeyEvent& event);

    gcn::Container top_bar_;
    gcn::Container side_bar_;
    gcn::Container mini_panel_;
    gcn::Label time_;
    gcn::Label info_;
    DaxImageButton pause_;
    DaxImageButton options_;
    DaxImageButton minimap_;
    DaxImageButton overview_;
    gcn::Button del_;
    DaxOverlayPlugin overlay_;
    std::vector<BuildMenuRecord> menus_;
    bool submenu_open_ = false;
    int mode_ = 0;
    int type_id_ = 0;
};

// The one run screen while it lives; null otherwise.
extern RnRunGameMenu* grn_pmenu_game;

// The screen creator of state 2.
DaxSubMenuIfc* rnCreateRunGameMenu(int id);

// Screen states of the game.
enum : int {
    kRnStateMainMenu = 1,
    kRnStateRunGame = 2,
    kRnStateNewGame = 3,
    kRnStateLoadGame = 4,
    kRnStateSaveGame = 5,
    kRnStateLoading = 6,
    kRnStateOptions1 = 7,
    kRnStateOptions2 = 8,
    kRnStateOverview = 9,
    kRnStateQuit = 10,
};
