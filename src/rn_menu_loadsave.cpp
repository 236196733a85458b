// The load-game and save-game screens and their list of save files.
#include "rn_menu_loadsave.h"

#include <allegro5/allegro.h>

#include <algorithm>
#include <initializer_list>

#include "dax2/dax_error.h"
#include "dax2/dax_file.h"
#include "dax2/dax_ini.h"
#include "gcn/font.hpp"
#include "gcn/graphics.hpp"
#include "gcn/key.hpp"
#include "rn.h"
#include "rn_bld_generic.h"
#include "rn_file_save.h"
#include "rn_game.h"
#include "rn_menu_game.h"

namespace {

constexpr int kTextLoad = 100;
constexpr int kTextBack = 101;
constexpr int kTextSaveTitle = 1031;
constexpr int kTextDelete = 1032;
constexpr int kTextSave = 1033;
constexpr int kTextOverwrite = 1034;
constexpr int kTextLoadTitle = 1041;

bool endsWith(const std::string& s, const std::string& tail) {
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

// The file name a typed name saves under, without folder and suffix.
std::string baseOf(const std::string& name) {
    const std::string dotted = "." + grn_config.savegame_suffix_;
    if (endsWith(name, dotted)) return name.substr(0, name.size() - dotted.size());
    if (endsWith(name, ".")) return name.substr(0, name.size() - 1);
    return name;
}

void setUpScreen(gcn::Container& screen, int width, int height) {
    screen.setDimension(gcn::Rectangle(0, 0, width, height));
    screen.setBaseColor(dax_config.back_color_);
    screen.setBackgroundColor(dax_config.back_color_);
    screen.setOpaque(true);
}

void setUpTitle(gcn::Label& title, int text, const char* fallback) {
    title.setCaption(daxTextOr(text, fallback));
    if (dax_config.headline_font_) title.setFont(dax_config.headline_font_.get());
    title.setAlignment(gcn::Graphics::Center);
    title.adjustSize();
}

// The list of saves in a scroll area as wide as the screen less 100 pixels.
void setUpList(gcn::ListBox& list, gcn::ScrollArea& scroll, gcn::ListModel& model, int width, int height) {
    list.setListModel(&model);
    list.setWidth(width - 100);
    scroll.setContent(&list);
    scroll.setSize(width - 100, height);
}

// After a refresh: the list as wide as its longest line (the scroll area
// scrolls sideways then), and nothing selected.
void fitList(gcn::ListBox& list, gcn::ScrollArea& scroll, gcn::ListModel& model) {
    int widest = scroll.getWidth() - scroll.getScrollbarWidth();
    if (const gcn::Font* font = list.getFont()) {
        for (int i = 0; i < model.getNumberOfElements(); ++i) {
            widest = std::max(widest, font->getWidth(model.getElementAt(i)) + 8);
        }
    }
    list.setWidth(widest);
    list.adjustSize();
    list.setSelected(-1);
    scroll.setScrollAmount(0, 0);
}

void setUpButtons(std::initializer_list<gcn::Button*> buttons, std::initializer_list<int> texts,
                  std::initializer_list<const char*> fallbacks, gcn::ActionListener* listener, int min_width) {
    int width = min_width;
    auto text = texts.begin();
    auto fallback = fallbacks.begin();
    for (gcn::Button* b : buttons) {
        b->setCaption(daxTextOr(*text++, *fallback++));
        b->adjustSize();
        b->setBaseColor(dax_config.button_color_);
        b->addActionListener(listener);
        width = std::max(width, b->getWidth());
    }
    for (gcn::Button* b : buttons) b->setWidth(width);
}

// One widget of a column and the gap above it.
struct ColumnRow {
    gcn::Widget* widget;
    int gap;
};

// Stacks the rows in one column centred in the screen: the first at 20,
// each below the one before with its gap; then the whole column is moved to
// the middle of the screen's height.
void stackColumn(gcn::Container& screen, std::initializer_list<ColumnRow> rows) {
    constexpr int kTop = 20;
    int y = kTop;
    std::vector<int> ys;
    for (const ColumnRow& r : rows) {
        if (!ys.empty()) y += r.gap;
        ys.push_back(y);
        y += r.widget->getHeight();
    }
    const int shift = std::max(0, (screen.getHeight() - (y - kTop)) / 2 - kTop);
    size_t i = 0;
    for (const ColumnRow& r : rows) {
        screen.add(r.widget, (screen.getWidth() - r.widget->getWidth()) / 2, ys[i++] + shift);
    }
}

}  // namespace

// --- list of saves -------------------------------------------------------------

bool RnLoadFileListModel::isAutomaticSave(const std::string& name) {
    for (const std::string* base :
         {&grn_config.autosave_, &grn_config.quicksave_, &grn_config.prevsave_, &grn_config.lastsave_}) {
        if (!base->empty() && name.compare(0, base->size(), *base) == 0) return true;
    }
    return false;
}

void RnLoadFileListModel::refresh() {
    entries_.clear();
    for (RnSaveListEntry& e : RnSaveLoader::listSaves()) {
        if (!e.valid) continue;  // the reader logged why
        if (!list_all_ && isAutomaticSave(e.name)) continue;
        // The map name becomes the path of the script the loading screen
        // runs: a name that reaches outside the maps folder is refused.
        if (!rnIsValidSaveName(e.summary.map_name)) {
            daxLogMessage(1, 1, "save %s not listed: its map name '%s' names no map script", e.path.c_str(),
                          e.summary.map_name.substr(0, 64).c_str());
            continue;
        }
        entries_.push_back(std::move(e));
    }
}

const RnSaveListEntry& RnLoadFileListModel::entryAt(int i) const {
    static const RnSaveListEntry empty;
    if (i < 0 || static_cast<size_t>(i) >= entries_.size()) return empty;
    return entries_[static_cast<size_t>(i)];
}

std::string RnLoadFileListModel::getElementAt(int i) {
    if (i < 0 || static_cast<size_t>(i) >= entries_.size()) return std::string();
    const RnSaveListEntry& e = entries_[static_cast<size_t>(i)];
    std::string text = e.name;
    rnAppendf(text, "      %s %s  sz: %u   ppl: %u  %d$  time: %u", e.summary.map_name.c_str(),
              e.summary.game_name.c_str(), static_cast<unsigned>(e.summary.map_side),
              static_cast<unsigned>(e.summary.population), e.summary.money,
              static_cast<unsigned>(e.summary.game_time.value()));
    return text;
}

RnLoadingData rnSavedGameLoadingData(const RnSaveListEntry& entry) {
    RnLoadingData data;
    data.map_file_name_ = "maps/" + entry.summary.map_name + ".lua";
    data.save_file_name_ = entry.path;
    return data;
}

// --- load screen ---------------------------------------------------------------

RnLoadGameMenu::RnLoadGameMenu(int width, int height) {
    setUpScreen(*this, width, height);
    setUpTitle(title_, kTextLoadTitle, "Load a saved game");
    setUpList(list_, scroll_, model_, width, height / 2);
    list_.addSelectionListener(this);
    setUpButtons({&load_, &back_}, {kTextLoad, kTextBack}, {"Load", "Back"}, this, (width - 100) / 3);
    stackColumn(*this, {{&title_, 0}, {&scroll_, 30}, {&load_, 30}, {&back_, 10}});
    overlay_.setOwner(this);
}

RnLoadGameMenu::~RnLoadGameMenu() { overlay_.setOwner(nullptr); }

gcn::Container* RnLoadGameMenu::getContainer() {
    model_.refresh();
    fitList(list_, scroll_, model_);
    load_.setEnabled(false);
    return this;
}

void RnLoadGameMenu::keyPressed(gcn::KeyEvent& event) {
    if (event.isConsumed()) return;
    const int key = event.getKey().getValue();
    if (key == gcn::Key::Escape) {
        back_.fireActionAndConsume(event);
    } else if (key == gcn::Key::Enter) {
        load_.fireActionAndConsume(event);
    }
    if (!event.isConsumed()) DaxSubMenuIfc::keyPressed(event);
}

void RnLoadGameMenu::valueChanged(const gcn::SelectionEvent& /*event*/) { load_.setEnabled(list_.getSelected() >= 0); }

void RnLoadGameMenu::action(const gcn::ActionEvent& event) {
    if (!dax_menu_handler) return;
    if (event.getSource() == &back_) {
        dax_menu_handler->backToCaller();
        return;
    }
    if (event.getSource() != &load_) return;
    const int selected = list_.getSelected();
    if (selected < 0) return;
    const RnSaveListEntry entry = model_.entryAt(selected);
    dax_menu_handler->deleteInstance(kRnStateRunGame);
    grn_game.clear();
    grn_game.resetForNewGame(entry.summary.map_name.c_str(), entry.summary.game_name.c_str());
    dax_menu_handler->setMenuData(new RnLoadingData(rnSavedGameLoadingData(entry)));
    dax_menu_handler->requestState(kRnStateLoading);
}

// --- save screen ---------------------------------------------------------------

std::string RnSaveGameMenu::savePathOf(const std::string& name) {
    if (name.empty()) return std::string();
    return rnSavePath(baseOf(name));
}

bool RnSaveGameMenu::isUsableName(const std::string& name) { return rnIsValidSaveName(baseOf(name)); }

RnSaveGameMenu::RnSaveGameMenu(int width, int height) {
    setUpScreen(*this, width, height);
    setUpTitle(title_, kTextSaveTitle, "Save game");
    setUpList(list_, scroll_, model_, width, 200);
    list_.addSelectionListener(this);
    name_.setWidth(width - 100);
    name_.adjustHeight();
    name_.addActionListener(this);
    // The save button is as wide as the longer of its two captions.
    save_.setCaption(daxTextOr(kTextOverwrite, "Overwrite"));
    save_.adjustSize();
    setUpButtons({&save_, &delete_, &back_}, {kTextSave, kTextDelete, kTextBack}, {"Save", "Delete", "Back"}, this,
                 std::max(save_.getWidth(), (width - 100) / 3));
    stackColumn(*this, {{&title_, 0}, {&scroll_, 30}, {&name_, 20}, {&save_, 30}, {&delete_, 20}, {&back_, 20}});
    add(&msg_bar_);
    overlay_.setOwner(this);
}

RnSaveGameMenu::~RnSaveGameMenu() { overlay_.setOwner(nullptr); }

gcn::Container* RnSaveGameMenu::getContainer() {
    model_.refresh();
    fitList(list_, scroll_, model_);
    name_.setText("");
    last_name_.clear();
    followName("");
    return this;
}

void RnSaveGameMenu::followName(const std::string& text) {
    const bool usable = isUsableName(text);
    const bool exists = usable && daxFileExists(savePathOf(text).c_str());
    save_.setEnabled(usable);
    save_.setCaption(daxTextOr(exists ? kTextOverwrite : kTextSave, exists ? "Overwrite" : "Save"));
    delete_.setEnabled(exists);
}

void RnSaveGameMenu::keyPressed(gcn::KeyEvent& event) {
    if (event.isConsumed()) return;
    const int key = event.getKey().getValue();
    if (key == gcn::Key::Escape) {
        back_.fireActionAndConsume(event);
    } else if (key == gcn::Key::Enter) {
        save_.fireActionAndConsume(event);
    }
    if (!event.isConsumed()) DaxSubMenuIfc::keyPressed(event);
}

void RnSaveGameMenu::valueChanged(const gcn::SelectionEvent& /*event*/) {
    const int selected = list_.getSelected();
    const std::string name = selected >= 0 ? model_.entryAt(selected).name : std::string();
    name_.setText(name);
    name_.setCaretPosition(static_cast<unsigned>(name.size()));
    last_name_ = name;
    followName(name);
}

void RnSaveGameMenu::logic() {
    const std::string& text = name_.getText();
    if (text != last_name_) {
        last_name_ = text;
        followName(text);
    }
    DaxMenuScreenMsgBase::logic();
}

void RnSaveGameMenu::action(const gcn::ActionEvent& event) {
    const gcn::Widget* src = event.getSource();
    if (src == &name_) {
        // Enter in the name field.
        followName(name_.getText());
        save_.fireAction();
    } else if (src == &save_) {
        const std::string name = name_.getText();
        if (!isUsableName(name)) return;
        if (RnSaveWriter::saveNamed(baseOf(name))) {
            if (dax_menu_handler) dax_menu_handler->backToCaller();
            return;
        }
        // The writer told the player why; the screen stays with the name.
        model_.refresh();
        fitList(list_, scroll_, model_);
        name_.setText(name);
        last_name_ = name;
        followName(name);
    } else if (src == &delete_) {
        const std::string name = name_.getText();
        if (!isUsableName(name)) return;
        const std::string path = savePathOf(name);
        if (daxRemoveFile(path.c_str()) != 0) daxLogMessage(1, 1, "can't delete %s", path.c_str());
        model_.refresh();
        fitList(list_, scroll_, model_);
        name_.setText("");
        last_name_.clear();
        followName("");
    } else if (src == &back_) {
        if (dax_menu_handler) dax_menu_handler->backToCaller();
    } else {
        DaxMenuScreenMsgBase::action(event);
    }
}

DaxSubMenuIfc* rnCreateLoadSaveMenu(int id) {
    if (id != kRnStateLoadGame && id != kRnStateSaveGame) daxRaiseError("invalid id for creator: %d", id);
    ALLEGRO_DISPLAY* display = al_get_current_display();
    const int width = display ? al_get_display_width(display) : 1024;
    const int height = display ? al_get_display_height(display) : 768;
    if (id == kRnStateLoadGame) return new RnLoadGameMenu(width, height);
    return new RnSaveGameMenu(width, height);
}
