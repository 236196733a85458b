// The in-game menu.
#include "rn_menu_options.h"

#include <allegro5/allegro.h>

#include <algorithm>

#include "dax2/dax_clock.h"
#include "dax2/dax_dialog.h"
#include "dax2/dax_ini.h"
#include "gcn/key.hpp"
#include "rn.h"
#include "rn_bld_generic.h"
#include "rn_game.h"
#include "rn_gui_dialogs.h"
#include "rn_menu_game.h"

namespace {

constexpr int kTextSave = 1023;
constexpr int kTextQuit = 1102;
constexpr int kTextBack = 1103;
// The titles of the rows, in the order of RnOptions2Menu::Row.
constexpr int kRowTexts[RnOptions2Menu::kRowCount] = {1121, 1122, 1123, 1131, 1132, 1133};

}  // namespace

RnOptions2Menu::RnOptions2Menu(int width, int height) {
    setDimension(gcn::Rectangle(0, 0, width, height));
    setBaseColor(dax_config.back_color_);
    setBackgroundColor(dax_config.back_color_);
    setOpaque(true);

    buttons_.setSpacingAndMargin(20, 5);
    struct Entry {
        gcn::Button* button;
        int text;
        const char* fallback;
    };
    for (const Entry& e : {Entry{&back_, kTextBack, "Back to the game"}, Entry{&save_, kTextSave, "Save game"},
                           Entry{&about_, 0, "About"}, Entry{&quit_, kTextQuit, "Quit to the main menu"}}) {
        e.button->setCaption(e.text ? daxTextOr(e.text, e.fallback) : std::string(e.fallback));
        e.button->adjustSize();
        e.button->setBaseColor(dax_config.button_color_);
        e.button->addActionListener(this);
        buttons_.add(e.button);
    }
    // LATER: the save screen comes with its own code; until then saving is
    // off.
    save_.setEnabled(dax_menu_handler && dax_menu_handler->isRegistered(kRnStateSaveGame));
    buttons_.layout(gcn::kLayoutAll);

    values_.setSpacingAndMargin(10, 5);
    debug_.setSpacingAndMargin(10, 5);
    for (int r = 0; r < kRowCount; ++r) {
        auto row = std::make_unique<ValueRow>();
        row->title.setCaption(daxTextOr(kRowTexts[r], "?"));
        row->title.adjustSize();
        row->minus.setCaption(" - ");
        row->plus.setCaption(" + ");
        for (gcn::Button* b : {&row->minus, &row->plus}) {
            b->adjustSize();
            b->setBaseColor(dax_config.button_color_);
            b->addActionListener(this);
        }
        row->value.setCaption(r == kSpeed ? "0000%" : r <= kSensitivity ? "0.0" : "00");
        row->value.adjustSize();
        row->bar.setSpacingAndMargin(5, 5);
        row->bar.add(&row->minus);
        row->bar.add(&row->value);
        row->bar.add(&row->plus);
        row->bar.layout(gcn::kLayoutAll);
        gcn::ButtonVBar& column = r <= kSensitivity ? values_ : debug_;
        if (r <= kSensitivity || dax_config.debug_enable_ != 0) {
            column.add(&row->title);
            column.add(&row->bar);
        }
        rows_.push_back(std::move(row));
    }
    values_.layout(gcn::kLayoutAll);
    debug_.layout(gcn::kLayoutAll);

    columns_.setSpacingAndMargin(30, 5);
    columns_.add(&buttons_);
    columns_.add(&values_);
    if (dax_config.debug_enable_ != 0) columns_.add(&debug_);
    columns_.layout(gcn::kLayoutAll);
    add(&columns_, (width - columns_.getWidth()) / 2, (height - columns_.getHeight()) / 2);
    overlay_.setOwner(this);
}

RnOptions2Menu::~RnOptions2Menu() { overlay_.setOwner(nullptr); }

void RnOptions2Menu::clampValues() {
    grn_config.cursor_scroll_width_ = std::clamp(grn_config.cursor_scroll_width_, -5.0f, 5.0f);
    grn_config.mouse_sensitivity_ = std::clamp(grn_config.mouse_sensitivity_, -5.0f, 5.0f);
    dax_config.console_show_ = std::clamp(dax_config.console_show_, 0, 2);
    dax_config.debug_level_ = std::clamp(dax_config.debug_level_, 0, 9);
    grn_config.map_display_ = std::clamp(grn_config.map_display_, 0, 9);
}

void RnOptions2Menu::step(Row r, int direction) {
    switch (r) {
    case kSpeed:
        if (direction > 0) {
            dax_gameclock.faster();
        } else {
            dax_gameclock.slower();
        }
        break;
    case kScrollWidth:
        grn_config.cursor_scroll_width_ += 0.5f * static_cast<float>(direction);
        break;
    case kSensitivity:
        grn_config.mouse_sensitivity_ += 0.5f * static_cast<float>(direction);
        break;
    case kConsole:
        dax_config.console_show_ += direction;
        break;
    case kLogLevel:
        dax_config.debug_level_ += direction;
        break;
    default:
        grn_config.map_display_ += direction;
        break;
    }
}

void RnOptions2Menu::action(const gcn::ActionEvent& event) {
    const gcn::Widget* src = event.getSource();
    if (src == &back_) {
        if (dax_menu_handler) dax_menu_handler->backToCaller();
    } else if (src == &save_) {
        if (dax_menu_handler) dax_menu_handler->requestState(kRnStateSaveGame);
    } else if (src == &about_) {
        showVersionInfoDialog();
    } else if (src == &quit_) {
        if (grn_game.isWorldLoaded() && grn_game.tickServices()) grn_game.tickServices()->saveLastSave();
        grn_game.clear();
        if (dax_menu_handler) dax_menu_handler->requestState(kRnStateMainMenu);
    } else {
        for (int r = 0; r < kRowCount; ++r) {
            if (src == &rows_[r]->minus) step(static_cast<Row>(r), -1);
            if (src == &rows_[r]->plus) step(static_cast<Row>(r), 1);
        }
    }
    clampValues();
}

void RnOptions2Menu::keyPressed(gcn::KeyEvent& event) {
    if (event.isConsumed()) return;
    switch (event.getKey().getValue()) {
    case '+':
        rows_[kSpeed]->plus.fireActionAndConsume(event);
        break;
    case '-':
        rows_[kSpeed]->minus.fireActionAndConsume(event);
        break;
    case 'q':
        quit_.fireActionAndConsume(event);
        break;
    case 's':
        save_.fireActionAndConsume(event);
        break;
    case gcn::Key::Escape:
        back_.fireActionAndConsume(event);
        break;
    default:
        break;
    }
    if (!event.isConsumed()) DaxSubMenuIfc::keyPressed(event);
}

void RnOptions2Menu::logic() {
    std::string text;
    for (int r = 0; r < kRowCount; ++r) {
        text.clear();
        switch (r) {
        case kSpeed:
            rnAppendf(text, "%03d%%", dax_gameclock.speed());
            break;
        case kScrollWidth:
            rnAppendf(text, "%3.1f", static_cast<double>(grn_config.cursor_scroll_width_));
            break;
        case kSensitivity:
            rnAppendf(text, "%3.1f", static_cast<double>(grn_config.mouse_sensitivity_));
            break;
        case kConsole:
            rnAppendf(text, "%d", dax_config.console_show_);
            break;
        case kLogLevel:
            rnAppendf(text, "%d", dax_config.debug_level_);
            break;
        default:
            rnAppendf(text, "%d", grn_config.map_display_);
            break;
        }
        rows_[r]->value.setCaption(text);
        rows_[r]->value.adjustSize();
    }
    gcn::Container::logic();
}

DaxSubMenuIfc* rnCreateOptions2Menu(int /*id*/) {
    ALLEGRO_DISPLAY* display = al_get_current_display();
    return new RnOptions2Menu(display ? al_get_display_width(display) : 1024,
                              display ? al_get_display_height(display) : 768);
}
