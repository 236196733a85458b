// The new-game screen and its map list.
#include "rn_menu_newgame.h"

#include <allegro5/allegro.h>

#include <cstdio>

#include "al5gcn/allegro5image.hpp"
#include "dax2/dax_bitmap.h"
#include "dax2/dax_dialog.h"
#include "dax2/dax_error.h"
#include "dax2/dax_ini.h"
#include "dax2/dax_lua.h"
#include "dax2/dax_mptr.h"
#include "gcn/graphics.hpp"
#include "gcn/key.hpp"
#include "rn_bld_texts.h"
#include "rn_game.h"
#include "rn_menu_game.h"

namespace {

constexpr int kTextBack = 101;
constexpr int kTextTitle = 1051;
constexpr int kTextStart = 1052;
constexpr int kTextName = 1053;
constexpr int kTextChoose = 1055;
constexpr int kTextStartHover = 1056;
// The name field is made wide enough for a name this long.
const char* const kLongName = "einlangerlangerlangerlangerlangerlangerlangerlangername";

}  // namespace

RnLoadingData rnNewGameLoadingData(const std::string& script_path) {
    RnLoadingData data;
    data.is_new_ = true;
    data.map_file_name_ = script_path;
    return data;
}

// --- map list ------------------------------------------------------------------

void RnLoadMapListModel::refresh() {
    maps_.clear();
    for (const std::string& dir : dax_config.search_path_) {
        std::string maps = dir + "maps/";
        daxListFiles(maps.c_str(), "lua", this);
    }
}

void RnLoadMapListModel::addFile(const char* name, const char* extension, const char* directory, int64_t mtime,
                                 int32_t size) {
    RnMapInfo info;
    info.script_path_ = std::string(directory) + name + "." + extension;
    info.name_ = name;
    const size_t dot = info.name_.rfind('.');
    if (dot != std::string::npos) info.name_.erase(dot);
    info.mtime_ = mtime;
    info.size_ = size;
    if (maps_.count(info.name_) != 0) return;
    int rc = -1;
    try {
        RnLuaMapLoader loader;
        loader.init();
        rc = loader.runForInfo(info.script_path_.c_str(), &info.image_);
    } catch (const DaxException& e) {
        // A script that cannot even start is not listed.
        daxLogMessage(2, 1, "map %s not listed: %s", info.script_path_.c_str(), e.what());
        rc = -1;
    }
    if (rc != 0 || info.image_.w_ == 0) return;
    maps_.emplace(info.name_, info);
}

const RnMapInfo& RnLoadMapListModel::entryAt(int i) const {
    static const RnMapInfo empty;
    if (i < 0 || static_cast<size_t>(i) >= maps_.size()) return empty;
    auto it = maps_.begin();
    std::advance(it, i);
    return it->second;
}

std::string RnLoadMapListModel::getElementAt(int i) {
    const RnMapInfo& e = entryAt(i);
    std::string text = e.name_;
    rnAppendf(text, "    %s: %u   %s", e.text_.c_str(), static_cast<unsigned>(e.image_.w_), e.script_path_.c_str());
    if (e.image_.text_id_ > 0) text += "  (" + rnMsg(e.image_.text_id_) + ")";
    return text;
}

// --- screen --------------------------------------------------------------------

RnNewGameMenu::RnNewGameMenu(int width, int height) {
    setDimension(gcn::Rectangle(0, 0, width, height));
    setBaseColor(dax_config.back_color_);
    setBackgroundColor(dax_config.back_color_);
    setOpaque(true);

    title_.setCaption(daxTextOr(kTextTitle, "New game"));
    if (dax_config.headline_font_) title_.setFont(dax_config.headline_font_.get());
    title_.setAlignment(gcn::Graphics::Center);
    title_.adjustSize();

    list_.setListModel(&model_);
    list_.addSelectionListener(this);
    const int list_w = static_cast<int>(width * 0.75 - 100);
    list_.setWidth(list_w);
    scroll_.setContent(&list_);
    scroll_.setSize(list_w, height / 2);
    icon_side_ = width / 4;
    icon_.setSize(icon_side_, icon_side_);
    map_bar_.setSpacingAndMargin(5, 5);
    map_bar_.add(&scroll_);
    map_bar_.add(&icon_);

    name_label_.setCaption(daxTextOr(kTextName, "Town:"));
    name_label_.adjustSize();
    name_.setText(kLongName);
    name_.adjustSize();
    name_.setText(kDefaultTownName);
    name_bar_.setSpacingAndMargin(5, 5);
    name_bar_.add(&name_label_);
    name_bar_.add(&name_);

    start_.setCaption(daxTextOr(kTextStart, "Start"));
    start_.adjustSize();
    start_.setBaseColor(dax_config.button_color_);
    start_.addActionListener(this);
    back_.setCaption(daxTextOr(kTextBack, "Back"));
    back_.adjustSize();
    back_.setBaseColor(dax_config.button_color_);
    back_.addActionListener(this);

    map_bar_.layout(gcn::kLayoutAll);
    name_bar_.layout(gcn::kLayoutAll);
    bar_.setSpacingAndMargin(10, 5);
    for (gcn::Widget* w : std::initializer_list<gcn::Widget*>{&title_, &map_bar_, &name_bar_, &start_, &back_}) {
        bar_.add(w);
    }
    bar_.layout(gcn::kLayoutAll);
    add(&bar_, (width - bar_.getWidth()) / 2, (height - bar_.getHeight()) / 2);
    overlay_.setOwner(this);
    overlay_.setWidgetText(&start_, kTextStartHover, kDaxOverlayBelow);
}

RnNewGameMenu::~RnNewGameMenu() { overlay_.setOwner(nullptr); }

gcn::Container* RnNewGameMenu::getContainer() {
    model_.refresh();
    list_.adjustSize();
    list_.setSelected(-1);
    start_.setCaption(daxTextOr(kTextChoose, "Choose a map"));
    start_.setEnabled(false);
    return this;
}

void RnNewGameMenu::keyPressed(gcn::KeyEvent& event) {
    if (event.isConsumed()) return;
    const int key = event.getKey().getValue();
    if (key == gcn::Key::Escape) {
        back_.fireActionAndConsume(event);
    } else if (key == gcn::Key::Enter) {
        start_.fireActionAndConsume(event);
    }
    if (!event.isConsumed()) DaxSubMenuIfc::keyPressed(event);
}

void RnNewGameMenu::valueChanged(const gcn::SelectionEvent& /*event*/) {
    const int selected = list_.getSelected();
    if (selected < 0) return;
    const RnMapInfo& e = model_.entryAt(selected);
    icon_.setImage(nullptr);
    preview_.reset();
    {
        DaxAllegroStateSaver state(ALLEGRO_STATE_TARGET_BITMAP | ALLEGRO_STATE_NEW_BITMAP_PARAMETERS);
        al_set_new_bitmap_flags(ALLEGRO_MEMORY_BITMAP);
        ALLEGRO_BITMAP_mptr source(al_load_bitmap(e.image_.path_.c_str()));
        if (source) {
            // The preview is a display bitmap when there is a display.
            al_set_new_bitmap_flags(al_get_current_display() ? ALLEGRO_VIDEO_BITMAP : ALLEGRO_MEMORY_BITMAP);
            ALLEGRO_BITMAP* icon = al_create_bitmap(icon_side_, icon_side_);
            if (icon) {
                al_set_target_bitmap(icon);
                al_clear_to_color(al_map_rgb(0, 0, 0));
                al_draw_scaled_bitmap(source.get(), e.image_.x_, e.image_.y_, e.image_.w_, e.image_.h_, 0, 0,
                                      static_cast<float>(icon_side_), static_cast<float>(icon_side_), 0);
                preview_ = std::make_unique<gcn::Allegro5Image>(icon, true);
            }
        } else {
            // Without its image the map can still be played; the preview stays
            // empty.
            daxLogMessage(2, 1, "no preview of %s: can't load %s", e.name_.c_str(), e.image_.path_.c_str());
        }
    }
    icon_.setImage(preview_.get());
    icon_.setSize(icon_side_, icon_side_);
    start_.setCaption(daxTextOr(kTextStart, "Start"));
    start_.setEnabled(true);
}

void RnNewGameMenu::action(const gcn::ActionEvent& event) {
    if (!dax_menu_handler) return;
    if (event.getSource() == &back_) {
        dax_menu_handler->requestState(kRnStateMainMenu);
        return;
    }
    if (event.getSource() != &start_) return;
    const int selected = list_.getSelected();
    if (selected < 0) return;
    const RnMapInfo& e = model_.entryAt(selected);
    dax_menu_handler->deleteInstance(kRnStateRunGame);
    grn_game.clear();
    grn_game.resetForNewGame(e.name_.c_str(), name_.getText().c_str());
    dax_menu_handler->setMenuData(new RnLoadingData(rnNewGameLoadingData(e.script_path_)));
    dax_menu_handler->requestState(kRnStateLoading);
}

DaxSubMenuIfc* rnCreateNewGameMenu(int /*id*/) {
    ALLEGRO_DISPLAY* display = al_get_current_display();
    return new RnNewGameMenu(display ? al_get_display_width(display) : 1024,
                             display ? al_get_display_height(display) : 768);
}
