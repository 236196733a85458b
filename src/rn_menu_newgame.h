// The new-game screen: the playable maps (the ".lua" scripts under "maps/"
// of every data folder whose script lays a map), a preview of the chosen
// map, the town's name, and the start of a new game through the loading
// screen.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "dax2/dax_file.h"
#include "dax2/dax_menu_ifc.h"
#include "dax2/dax_overlay.h"
#include "gcn/image.hpp"
#include "gcn/listeners.hpp"
#include "gcn/listmodel.hpp"
#include "gcn/widgets/button.hpp"
#include "gcn/widgets/buttonbar.hpp"
#include "gcn/widgets/container.hpp"
#include "gcn/widgets/icon.hpp"
#include "gcn/widgets/label.hpp"
#include "gcn/widgets/listbox.hpp"
#include "gcn/widgets/scrollarea.hpp"
#include "gcn/widgets/textfield.hpp"
#include "rn_lua_maploader.h"
#include "rn_menu_loading.h"

// One playable map.
struct RnMapInfo {
    std::string name_;         // the script's base name
    int64_t mtime_ = 0;        // from the file listing, not shown
    int32_t size_ = 0;
    int32_t extra_ = 0;
    std::string script_path_;  // data folder + "maps/" + file name
    RnMapImageInfo image_;     // what the script tells in information mode
    std::string text_;         // a further note, empty from the map list
};

// The maps of every data folder, ordered by name; of two with one name the
// first listed stays.
class RnLoadMapListModel : public gcn::ListModel, public DaxFileListerIfc {
public:
    // Lists the maps afresh.
    void refresh();
    // Runs the script in information mode and keeps it when it lays a map.
    void addFile(const char* name, const char* extension, const char* directory, int64_t mtime,
                 int32_t size) override;

    int getNumberOfElements() override { return static_cast<int>(maps_.size()); }
    // "<name>    <note>: <width>   <script>", then the map's description
    // in brackets when it has one.
    std::string getElementAt(int i) override;
    // Entry i; an empty entry past the end.
    const RnMapInfo& entryAt(int i) const;

private:
    std::map<std::string, RnMapInfo> maps_;
};

class RnNewGameMenu : public DaxSubMenuIfc,
                      public gcn::Container,
                      public gcn::ActionListener,
                      public gcn::SelectionListener {
public:
    // The town name the field starts with.
    static constexpr const char* kDefaultTownName = "Dorfhausen";

    RnNewGameMenu(int width, int height);
    ~RnNewGameMenu() override;

    // Lists the maps; nothing is selected and the start button waits.
    gcn::Container* getContainer() override;
    // Escape goes back, Enter starts.
    void keyPressed(gcn::KeyEvent& event) override;
    // A map chosen: its preview, and the start button is ready.
    void valueChanged(const gcn::SelectionEvent& event) override;
    void action(const gcn::ActionEvent& event) override;

    RnLoadMapListModel& model() { return model_; }
    gcn::ListBox& listBox() { return list_; }
    gcn::TextField& nameField() { return name_; }
    gcn::Button& startButton() { return start_; }
    gcn::Button& backButton() { return back_; }
    gcn::Icon& previewIcon() { return icon_; }
    const gcn::Image* previewImage() const { return preview_.get(); }

private:
    gcn::Label title_;
    RnLoadMapListModel model_;
    gcn::ListBox list_;
    gcn::ScrollArea scroll_;
    std::unique_ptr<gcn::Image> preview_;
    gcn::Icon icon_;
    gcn::ButtonHBar map_bar_;
    gcn::Label name_label_;
    gcn::TextField name_;
    gcn::ButtonHBar name_bar_;
    gcn::Button start_;
    gcn::Button back_;
    gcn::ButtonVBar bar_;
    DaxOverlayPlugin overlay_;
    int icon_side_ = 0;
};

// What the loading screen gets to start a new game with a map script.
RnLoadingData rnNewGameLoadingData(const std::string& script_path);

// The screen creator of state 3.
DaxSubMenuIfc* rnCreateNewGameMenu(int id);
