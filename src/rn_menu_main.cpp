// The main menu.
#include "rn_menu_main.h"

#include <allegro5/allegro.h>

#include "dax2/dax_dialog.h"
#include "dax2/dax_error.h"
#include "dax2/dax_ini.h"
#include "dax2/dax_mptr.h"
#include "dax2/dax_platform.h"
#include "gcn/image.hpp"
#include "gcn/graphics.hpp"
#include "gcn/key.hpp"
#include "rn_bld_texts.h"
#include "rn_file_load.h"
#include "rn_game.h"
#include "rn_lua_loader.h"
#include "rn_menu_game.h"

namespace {

constexpr int kTextNewGame = 1021;
constexpr int kTextOptions = 1022;
constexpr int kTextLoad = 1024;
constexpr int kTextContinue = 1025;
constexpr int kTextContinueLast = 1027;
constexpr int kTextQuit = 1026;

}  // namespace

RnLoadingData rnLastSaveLoadingData(const std::string& map_name) {
    RnLoadingData data;
    data.is_lastsave_ = true;
    data.map_file_name_ = "maps/" + map_name + ".lua";
    return data;
}

RnMainMenu::RnMainMenu(int width, int height) {
    setDimension(gcn::Rectangle(0, 0, width, height));
    setBaseColor(dax_config.back_color_);
    setBackgroundColor(dax_config.back_color_);
    setOpaque(true);
    if (dax_config.back_image_) {
        background_.setImage(dax_config.back_image_.get());
        add(&background_, 0, 0);
    }

    const int e = static_cast<int>(width * 0.2);
    const int w = width - 2 * e;
    title_.setCaption(dax_config.long_name_);
    if (dax_config.headline_font_) title_.setFont(dax_config.headline_font_.get());
    title_.setAlignment(gcn::Graphics::Center);
    title_.adjustSize();
    title_.setWidth(w);

    struct Entry {
        gcn::Button* button;
        int text;
        const char* fallback;
        int gap;
    };
    const Entry entries[] = {
        {&continue_, kTextContinue, "Continue", title_.getHeight() + 80 - 30},
        {&new_game_, kTextNewGame, "New game", 10},
        {&load_, kTextLoad, "Load game", 10},
        {&options_, kTextOptions, "Options", 10},
        {&quit_, kTextQuit, "Quit", 50},
    };
    // Top of the column: the title at 30, then each button below the last.
    int y = 30;
    int ys[5];
    int bottom = 0;
    for (int i = 0; i < 5; ++i) {
        gcn::Button* b = entries[i].button;
        b->setCaption(daxTextOr(entries[i].text, entries[i].fallback));
        b->adjustSize();
        b->setWidth(w);
        b->setBaseColor(dax_config.button_color_);
        b->addActionListener(this);
        y += entries[i].gap + (i == 0 ? 0 : entries[i - 1].button->getHeight());
        ys[i] = y;
        bottom = y + b->getHeight();
    }
    // The column centred vertically.
    const int v = (height + 30 - bottom) / 2 - 30;
    add(&title_, e, 30 + v);
    for (int i = 0; i < 5; ++i) add(entries[i].button, e, ys[i] + v);
    overlay_.setOwner(this);
}

RnMainMenu::~RnMainMenu() { overlay_.setOwner(nullptr); }

gcn::Container* RnMainMenu::getContainer() {
    grn_game.clear();
    {
        const uint32_t start = daxRealTime();
        DaxNewBitmapFlagsSaver flags;
        al_set_new_bitmap_flags(ALLEGRO_MEMORY_BITMAP);
        RnLuaPreloader loader;
        loader.init();
        const char* file = dax_config.initial_loader_.c_str();
        if (loader.run(file) != 0) daxRaiseError("failed to load %s", file);
        daxLogMessage(2, 1, "loading initial data: %s in %.2f sec", file,
                      static_cast<double>(daxRealTime() - start) / 100.0);
    }
    int32_t population = 0;
    bool has_last = RnSaveLoader::verifyLastSave(last_map_, last_town_, population);
    // The map name becomes the path of the script the loading screen runs.
    if (has_last && !rnIsValidSaveName(last_map_)) {
        daxLogMessage(1, 1, "last save not offered: its map name '%s' names no map script",
                      last_map_.substr(0, 64).c_str());
        has_last = false;
    }
    std::string caption;
    if (has_last) {
        rnAppendMsg(caption, kTextContinueLast, "ssd", last_map_.c_str(), last_town_.c_str(), population);
    } else {
        last_map_.clear();
        last_town_.clear();
        caption = daxTextOr(kTextContinue, "Continue");
    }
    continue_.setCaption(caption);
    continue_.setEnabled(has_last);
    return this;
}

void RnMainMenu::keyPressed(gcn::KeyEvent& event) {
    if (event.isConsumed()) return;
    switch (event.getKey().getValue()) {
    case 'c':
        continue_.fireActionAndConsume(event);
        break;
    case 'n':
        new_game_.fireActionAndConsume(event);
        break;
    case 'l':
        load_.fireActionAndConsume(event);
        break;
    case 'o':
        options_.fireActionAndConsume(event);
        break;
    case 'q':
    case gcn::Key::Escape:
        quit_.fireActionAndConsume(event);
        break;
    default:
        break;
    }
    if (!event.isConsumed()) DaxSubMenuIfc::keyPressed(event);
}

void RnMainMenu::action(const gcn::ActionEvent& event) {
    if (!dax_menu_handler) return;
    const gcn::Widget* src = event.getSource();
    if (src == &continue_) {
        dax_menu_handler->deleteInstance(kRnStateRunGame);
        grn_game.clear();
        grn_game.resetForNewGame(last_map_.c_str(), last_town_.c_str());
        dax_menu_handler->setMenuData(new RnLoadingData(rnLastSaveLoadingData(last_map_)));
        dax_menu_handler->requestState(kRnStateLoading);
    } else if (src == &new_game_) {
        dax_menu_handler->requestState(kRnStateNewGame);
    } else if (src == &load_) {
        dax_menu_handler->requestState(kRnStateLoadGame);
    } else if (src == &options_) {
        dax_menu_handler->requestState(kRnStateOptions1);
    } else if (src == &quit_) {
        dax_menu_handler->requestState(kRnStateQuit);
    }
}

DaxSubMenuIfc* rnCreateMainMenu(int /*id*/) {
    ALLEGRO_DISPLAY* display = al_get_current_display();
    return new RnMainMenu(display ? al_get_display_width(display) : 1024,
                          display ? al_get_display_height(display) : 768);
}
