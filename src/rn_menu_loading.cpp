// The loading screen's stages.
#include "rn_menu_loading.h"

#include <allegro5/allegro.h>

#include <cstdio>
#include <map>

#include "dax2/dax_bitmap.h"
#include "dax2/dax_dialog.h"
#include "dax2/dax_error.h"
#include "dax2/dax_gameloop.h"
#include "dax2/dax_ini.h"
#include "dax2/dax_lua.h"
#include "dax2/dax_mptr.h"
#include "dax2/dax_platform.h"
#include "gcn/font.hpp"
#include "gcn/graphics.hpp"
#include "gcn/key.hpp"
#include "rn.h"
#include "rn_bld_texts.h"
#include "rn_file_load.h"
#include "rn_game.h"
#include "rn_lua_loader.h"
#include "rn_lua_maploader.h"
#include "rn_mainmap.h"
#include "rn_menu_game.h"
#include "rn_trigger.h"

namespace {

constexpr int kTextTitle = 1042;
constexpr int kTextEnter = 1003;
// Rows the progress box has room for.
constexpr int kProgressRows = 14;

std::string format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
std::string format(const char* fmt, ...) {
    char buf[256];
    va_list args;
    va_start(args, fmt);
    std::vsnprintf(buf, sizeof(buf), fmt, args);
    va_end(args);
    return buf;
}

// The line broken at spaces into rows at most width pixels wide in font (a
// word wider than that keeps a row of its own), added to rows.
void addWrapped(std::vector<std::string>& rows, const std::string& line, gcn::Font& font, int width) {
    std::string row;
    size_t start = 0;
    while (start <= line.size()) {
        size_t end = line.find(' ', start);
        if (end == std::string::npos) end = line.size();
        const std::string word = line.substr(start, end - start);
        std::string longer = row.empty() ? word : row + ' ' + word;
        if (!row.empty() && font.getWidth(longer) > width) {
            rows.push_back(row);
            longer = word;
        }
        row = std::move(longer);
        start = end + 1;
    }
    rows.push_back(row);
}

// Seconds since a real time in hundredths.
double secondsSince(uint32_t start) { return static_cast<double>(daxRealTime() - start) / 100.0; }

// The last error logged since real time start (the failing component's
// reason), or "".
std::string lastErrorSince(uint32_t start) {
    std::string text;
    DaxMutexLock lock(DaxLog::consoleMutex());
    for (const DaxConsoleEntry& e : DaxLog::consoleQueue()) {
        if (e.important && static_cast<int32_t>(e.time - start) >= 0) text = e.text;
    }
    return text;
}

}  // namespace

RnLoadingMenu::RnLoadingMenu(int width, int height, const RnLoadingData& data) : loading_data_(data) {
    DAX_ASSERT(!(loading_data_.is_lastsave_ && loading_data_.is_new_));
    DAX_ASSERT((loading_data_.is_lastsave_ || loading_data_.is_new_) == (loading_data_.save_file_name_.length() == 0));

    setDimension(gcn::Rectangle(0, 0, width, height));
    setBaseColor(dax_config.back_color_);
    setBackgroundColor(dax_config.back_color_);
    setOpaque(true);

    title_.setCaption(daxTextOr(kTextTitle, "Loading"));
    if (dax_config.headline_font_) title_.setFont(dax_config.headline_font_.get());
    title_.setAlignment(gcn::Graphics::Center);
    title_.adjustSize();
    map_label_.setCaption(loading_data_.map_file_name_);
    map_label_.adjustSize();
    save_label_.setCaption(loading_data_.save_file_name_);
    save_label_.adjustSize();

    progress_.setEditable(false);
    progress_.setFocusable(false);
    progress_.setOpaque(true);
    progress_.setText(std::string("starting") + std::string(12, ' ') + std::string(kProgressRows - 1, '\n'));

    enter_.setCaption(daxTextOr(kTextEnter, "Start"));
    enter_.adjustSize();
    enter_.setBaseColor(dax_config.button_color_);
    enter_.setEnabled(false);
    enter_.addActionListener(this);

    bar_.setSpacingAndMargin(10, 5);
    bar_.add(&title_);
    bar_.add(&map_label_);
    if (!loading_data_.save_file_name_.empty()) bar_.add(&save_label_);
    bar_.add(&progress_);
    bar_.add(&enter_);
    bar_.layout(gcn::kLayoutAll);
    bar_.setWidthAll(static_cast<int>(width * 0.6));
    box_width_ = progress_.getWidth();
    box_height_ = progress_.getHeight();
    add(&bar_, (width - bar_.getWidth()) / 2, (height - bar_.getHeight()) / 2);
    overlay_.setOwner(this);
}

void RnLoadingMenu::showLines() {
    // A long line (a map's description) goes on over the next rows rather
    // than past the box's edge; the text starts one pixel in.
    std::vector<std::string> rows;
    for (const std::string& line : lines_) addWrapped(rows, line, *progress_.getFont(), box_width_ - 2);
    std::string text;
    for (size_t i = 0; i < rows.size(); ++i) {
        if (i > 0) text += '\n';
        text += rows[i];
    }
    for (size_t i = rows.size(); i < static_cast<size_t>(kProgressRows); ++i) text += '\n';
    progress_.setText(text);
    progress_.setSize(box_width_, box_height_);
}

void RnLoadingMenu::addLine(const std::string& line) {
    lines_.push_back(line);
    showLines();
}

void RnLoadingMenu::replaceLastLine(const std::string& line) {
    if (lines_.empty()) lines_.emplace_back();
    lines_.back() = line;
    showLines();
}

void RnLoadingMenu::logic() {
    const int stage = stage_ < kFailed ? stage_++ : stage_;
    if (stage <= kLastStage) {
        stage_start_ = daxRealTime();
        try {
            stage_error_.clear();
            if (!runStage(stage)) fail(stage_error_.empty() ? lastErrorSince(stage_start_) : stage_error_);
        } catch (const DaxException& e) {
            daxLogMessage(1, 1, "DaxException caught: %s", e.what());
            fail(e.what());
        }
    }
    gcn::Container::logic();
}

bool RnLoadingMenu::runStage(int stage) {
    const uint32_t start = stage_start_;
    switch (stage) {
    case 0:
        lines_.clear();
        addLine("preloader");
        return true;
    case 1: {
        if (dax_menu_handler) dax_menu_handler->setBusyCursor();
        DaxNewBitmapFlagsSaver flags;
        al_set_new_bitmap_flags(ALLEGRO_MEMORY_BITMAP);
        RnLuaPreloader loader;
        loader.init();
        if (loader.run(dax_config.icon_loader_.c_str()) != 0) return scriptFailed(loader);
        daxLogMessage(2, 1, "loading preload data: %s in %.2f sec", dax_config.icon_loader_.c_str(),
                      secondsSince(start));
        addLine("loading game data");
        return true;
    }
    case 2: {
        DaxNewBitmapFlagsSaver flags;
        al_set_new_bitmap_flags(ALLEGRO_MEMORY_BITMAP);
        RnLuaModelLoader loader;
        if (dax_menu_handler) dax_menu_handler->getInstance(kRnStateRunGame);
        loader.init();
        const char* file = grn_config.datamodel_.c_str();
        if (loader.run(file) != 0) return scriptFailed(loader);
        const double secs = secondsSince(start);
        daxLogMessage(2, 1, "loading data model: %s in %.2f sec", file, secs);
        replaceLastLine(format("data loaded from %s in %.2f sec", file, secs));
        std::map<int, int> counts;
        dax_bitmaps.countTextIds(counts);
        for (const auto& [text, n] : counts) addLine(format("-- %d images %s", n, rnMsg(text).c_str()));
        addLine("loading map");
        return true;
    }
    case 3: {
        DaxNewBitmapFlagsSaver flags;
        al_set_new_bitmap_flags(ALLEGRO_MEMORY_BITMAP);
        RnLuaMapLoader loader;
        loader.init();
        RnMapImageInfo info;
        info.text_id_ = -1;
        const char* file = loading_data_.map_file_name_.c_str();
        if (loader.run(file, &info) != 0) return scriptFailed(loader);
        const double secs = secondsSince(start);
        daxLogMessage(2, 1, "loading map: %s in %.2f sec", file, secs);
        replaceLastLine(format("loaded map %s (%s) in %.2f sec", file,
                           info.text_id_ >= 0 ? rnMsg(info.text_id_).c_str() : "", secs));
        addLine("post initialize");
        return true;
    }
    case 4: {
        grn_game.validateModel();
        // The view needs the map and the tile size the scripts set.
        if (grn_pmainmap) grn_pmainmap->initView();
        const double secs = secondsSince(start);
        daxLogMessage(2, 1, "loading init after load in %.2f sec", secs);
        if (secs > 0.3) replaceLastLine(format("initialized after load in %.2f sec", secs));
        addLine(loading_data_.is_new_ ? "initializing new game" : "loading save game data");
        return true;
    }
    case 5: {
        if (!loading_data_.is_new_) {
            // The save brings the trigger's data, the view and the mini map.
            if (loading_data_.is_lastsave_) {
                if (!RnSaveLoader::loadLastSave()) return false;
                const double secs = secondsSince(start);
                daxLogMessage(2, 1, "loading finished load last save in %.2f sec", secs);
                replaceLastLine(format("last save loaded in %.2f sec", secs));
            } else {
                const char* file = loading_data_.save_file_name_.c_str();
                if (!RnSaveLoader::loadGame(loading_data_.save_file_name_)) return false;
                const double secs = secondsSince(start);
                daxLogMessage(2, 1, "loading finished load savegame: %s in %.2f sec", file, secs);
                replaceLastLine(format("savegame %s loaded in %.2f sec", file, secs));
            }
            addLine("converting bitmaps");
            return true;
        }
        if (grn_pmenu_game) grn_pmenu_game->showMiniMap(true);
        if (grn_trigger.loadScript() != 0) {
            stage_error_ = grn_trigger.loadError();
            return false;
        }
        const double secs = secondsSince(start);
        daxLogMessage(2, 1, "loading finished post processing in %.2f sec", secs);
        if (secs > 0.3) replaceLastLine(format("initialized new game in %.2f sec", secs));
        addLine("converting bitmaps");
        return true;
    }
    case 6: {
        if (al_get_current_display()) al_convert_memory_bitmaps();
        const double secs = secondsSince(start);
        daxLogMessage(2, 1, "loading finished converting bitmaps in %.2f sec", secs);
        replaceLastLine(format("converted bitmaps in %.2f sec", secs));
        addLine("finished");
        grn_game.setWorldLoaded(true);
        enter_.setEnabled(true);
        return true;
    }
    case 7:
        if (dax_menu_handler) dax_menu_handler->setDefaultCursor();
        return true;
    default:
        return true;
    }
}

bool RnLoadingMenu::scriptFailed(const DaxLua& runner) {
    stage_error_ = runner.lastError();
    return false;
}

void RnLoadingMenu::fail(const std::string& reason) {
    stage_ = kFailed;
    failure_ = reason.empty() ? std::string("loading failed") : reason;
    addLine(failure_);
    if (dax_menu_handler) {
        dax_menu_handler->setDefaultCursor();
        try {
            dax_menu_handler->backToCaller();
        } catch (const DaxException&) {
            // Opened without a caller: the main menu is where a player can
            // start again.
            dax_menu_handler->requestState(kRnStateMainMenu);
        }
    }
    if (dax_game_loop) {
        dax_game_loop->pushDialog(new DaxDialog(daxTextOr(kTextTitle, "Loading").c_str(), failure_.c_str(),
                                                daxTextOr(100, "OK").c_str(), nullptr, nullptr));
    }
}

void RnLoadingMenu::keyPressed(gcn::KeyEvent& event) {
    const int key = event.getKey().getValue();
    if ((key == gcn::Key::Enter || key == 'c') && enter_.isEnabled()) {
        enter_.fireActionAndConsume(event);
        return;
    }
    DaxSubMenuIfc::keyPressed(event);
}

void RnLoadingMenu::action(const gcn::ActionEvent& event) {
    if (event.getSource() == &enter_ && dax_menu_handler) dax_menu_handler->requestStateNoPush(kRnStateRunGame);
}

DaxSubMenuIfc* rnCreateLoadingMenu(int /*id*/) {
    DaxMenuData* pdata = dax_menu_handler ? dax_menu_handler->getMenuData() : nullptr;
    DAX_ASSERT(pdata);
    const RnLoadingData* data = dynamic_cast<const RnLoadingData*>(pdata);
    DAX_ASSERT(data);
    const RnLoadingData copy = *data;
    dax_menu_handler->releaseMenuData();
    ALLEGRO_DISPLAY* display = al_get_current_display();
    return new RnLoadingMenu(display ? al_get_display_width(display) : 1024,
                             display ? al_get_display_height(display) : 768, copy);
}
