// The load-game and save-game screens and the list of save files they share:
// the load screen lists every save of the save folder and starts the loading
// screen for the chosen one; the save screen lists the player's own saves,
// takes a name, and saves, overwrites or deletes.
#pragma once

#include <string>
#include <vector>

#include "dax2/dax_dialog.h"
#include "dax2/dax_menu_ifc.h"
#include "dax2/dax_overlay.h"
#include "gcn/listeners.hpp"
#include "gcn/listmodel.hpp"
#include "gcn/widgets/button.hpp"
#include "gcn/widgets/container.hpp"
#include "gcn/widgets/label.hpp"
#include "gcn/widgets/listbox.hpp"
#include "gcn/widgets/scrollarea.hpp"
#include "gcn/widgets/textfield.hpp"
#include "rn_file_load.h"
#include "rn_menu_loading.h"

// The save files of the save folder that read as saves of this version,
// newest first (equal times by path). Without list_all the automatic saves
// (auto, quick, last and previous saves) are left out.
class RnLoadFileListModel : public gcn::ListModel {
public:
    explicit RnLoadFileListModel(bool list_all) : list_all_(list_all) {}

    // Lists the save folder afresh.
    void refresh();

    int getNumberOfElements() override { return static_cast<int>(entries_.size()); }
    // "<file name>      <map> <town>  sz: <side>   ppl: <people>  <money>$
    // time: <game time>"; "" past the end.
    std::string getElementAt(int i) override;
    // Entry i; an empty entry past the end.
    const RnSaveListEntry& entryAt(int i) const;
    bool listsAll() const { return list_all_; }

    // Whether a file name (without extension) is one of an automatic save.
    static bool isAutomaticSave(const std::string& name);

private:
    const bool list_all_;
    std::vector<RnSaveListEntry> entries_;
};

// What the loading screen gets to load a saved game from the list.
RnLoadingData rnSavedGameLoadingData(const RnSaveListEntry& entry);

// Screen 4: pick a save and load it.
class RnLoadGameMenu : public DaxSubMenuIfc,
                       public gcn::Container,
                       public gcn::ActionListener,
                       public gcn::SelectionListener {
public:
    RnLoadGameMenu(int width, int height);
    ~RnLoadGameMenu() override;

    // Lists the saves afresh; nothing is selected and the load button waits.
    gcn::Container* getContainer() override;
    // Escape goes back, Enter loads the selected save.
    void keyPressed(gcn::KeyEvent& event) override;
    // The load button is enabled exactly while a save is selected.
    void valueChanged(const gcn::SelectionEvent& event) override;
    void action(const gcn::ActionEvent& event) override;

    RnLoadFileListModel& model() { return model_; }
    gcn::ListBox& listBox() { return list_; }
    gcn::Button& loadButton() { return load_; }
    gcn::Button& backButton() { return back_; }

private:
    gcn::Label title_;
    RnLoadFileListModel model_{true};
    gcn::ListBox list_;
    gcn::ScrollArea scroll_;
    gcn::Button load_;
    gcn::Button back_;
    DaxOverlayPlugin overlay_;
};

// Screen 5: save under a typed or chosen name, overwrite, delete. The
// messages posted while it is shown (a save that failed) appear on it.
class RnSaveGameMenu : public DaxMenuScreenMsgBase, public gcn::SelectionListener {
public:
    RnSaveGameMenu(int width, int height);
    ~RnSaveGameMenu() override;

    // Lists the player's saves afresh; the name field is emptied and the
    // save and delete buttons wait for a name.
    gcn::Container* getContainer() override;
    // Escape goes back, Enter saves.
    void keyPressed(gcn::KeyEvent& event) override;
    // A chosen save puts its name into the field.
    void valueChanged(const gcn::SelectionEvent& event) override;
    // Follows the name field, then the messages and the widgets.
    void logic() override;
    void action(const gcn::ActionEvent& event) override;

    // The save path of a typed name: "" for an empty name; else the save
    // folder and the name, with "." and the save suffix appended unless the
    // name already ends in "." and the suffix (a final "." takes the suffix
    // alone).
    static std::string savePathOf(const std::string& name);
    // Whether a typed name can be saved under or deleted: the file part
    // before the suffix is a valid save name (no path separators, no "..").
    static bool isUsableName(const std::string& name);

    RnLoadFileListModel& model() { return model_; }
    gcn::ListBox& listBox() { return list_; }
    gcn::TextField& nameField() { return name_; }
    gcn::Button& saveButton() { return save_; }
    gcn::Button& deleteButton() { return delete_; }
    gcn::Button& backButton() { return back_; }

private:
    // Sets the buttons for the name in the field.
    void followName(const std::string& text);

    gcn::Label title_;
    RnLoadFileListModel model_{false};
    gcn::ListBox list_;
    gcn::ScrollArea scroll_;
    gcn::TextField name_;
    gcn::Button save_;
    gcn::Button delete_;
    gcn::Button back_;
    DaxOverlayPlugin overlay_;
    // The name seen at the previous logic tick.
    std::string last_name_;
};

// The screen creator of states 4 and 5; raises "invalid id for creator: %d"
// for any other state.
DaxSubMenuIfc* rnCreateLoadSaveMenu(int id);
