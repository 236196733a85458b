// The two options screens.
#include "rn_menu_options.h"

#include <allegro5/allegro.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "dax2/dax_clock.h"
#include "dax2/dax_dialog.h"
#include "dax2/dax_error.h"
#include "dax2/dax_file.h"
#include "dax2/dax_ini.h"
#include "gcn/key.hpp"
#include "gcn/widgets/listbox.hpp"
#include "rn.h"
#include "rn_bld_generic.h"
#include "rn_game.h"
#include "rn_gui_dialogs.h"
#include "rn_menu_game.h"

namespace {

constexpr int kTextOk = 1004;
constexpr int kTextBackToCaller = 101;
constexpr int kTextSave = 1023;
constexpr int kTextQuit = 1102;
constexpr int kTextBack = 1103;
constexpr int kTextAutosave = 1060;
constexpr int kTextDisplay = 1070;
constexpr int kTextFullscreen = 1071;
constexpr int kTextOpenGL = 1072;
// The titles of the rows, in the order of RnOptions2Menu::Row.
constexpr int kRowTexts[RnOptions2Menu::kRowCount] = {1121, 1122, 1123, 1131, 1132, 1133};

// The autosave choices in the order shown: weekly, monthly, yearly, never.
struct AutosaveChoice {
    int frequency;
    int text;
    const char* fallback;
};
constexpr AutosaveChoice kAutosaveChoices[] = {
    {1, 1061, "every week"}, {2, 1062, "every month"}, {3, 1063, "every year"}, {0, 1064, "never"}};

void setUpButton(gcn::Button& b, const std::string& caption, gcn::ActionListener* listener) {
    b.setCaption(caption);
    b.adjustSize();
    b.setBaseColor(dax_config.button_color_);
    b.addActionListener(listener);
}

std::string userIniPath() { return dax_config.user_dir_ + dax_config.usr_ini_; }

}  // namespace

// --- options page 1 ------------------------------------------------------------

bool RnOptions1Menu::isOpenGL3Flags(int flags) { return (flags & ALLEGRO_OPENGL_3_0) != 0; }

RnOptions1Menu::RnOptions1Menu(int width, int height, int display_flags) : display_flags_(display_flags) {
    setDimension(gcn::Rectangle(0, 0, width, height));
    setBaseColor(dax_config.back_color_);
    setBackgroundColor(dax_config.back_color_);
    setOpaque(true);

    buttons_.setSpacingAndMargin(20, 5);
    setUpButton(ok_, daxTextOr(kTextOk, "OK"), this);
    setUpButton(about_, "About", this);
    setUpButton(back_, daxTextOr(kTextBackToCaller, "Back"), this);
    for (gcn::Button* b : {&ok_, &about_, &back_}) buttons_.add(b);
    buttons_.layout(gcn::kLayoutAll);

    display_.setSpacingAndMargin(10, 5);
    display_label_.setCaption(daxTextOr(kTextDisplay, "Display"));
    display_label_.adjustSize();
    resolution_.setListModel(&modes_);
    resolution_.setBaseColor(dax_config.button_color_);
    fullscreen_.setCaption(daxTextOr(kTextFullscreen, "Full screen"));
    fullscreen_.setSelected(daxIsFullscreenFlags(display_flags));
    fullscreen_.adjustSize();
    opengl_.setCaption(daxTextOr(kTextOpenGL, "OpenGL 3"));
    opengl_.setSelected(isOpenGL3Flags(display_flags));
    opengl_.adjustSize();
    opengl_.addActionListener(this);
    display_.add(&display_label_);
    display_.add(&resolution_);
    display_.add(&fullscreen_);
    display_.add(&opengl_);
    display_.layout(gcn::kLayoutAll);

    autosave_column_.setSpacingAndMargin(10, 5);
    autosave_label_.setCaption(daxTextOr(kTextAutosave, "Autosave"));
    autosave_label_.adjustSize();
    autosave_column_.add(&autosave_label_);
    for (const AutosaveChoice& c : kAutosaveChoices) {
        gcn::RadioButton& r = autosave_[c.frequency];
        r.setCaption(daxTextOr(c.text, c.fallback));
        r.setGroup("autosave");
        r.adjustSize();
        autosave_column_.add(&r);
    }
    autosave_[std::clamp(grn_config.freq_autosave_, 0, 3)].setSelected(true);
    autosave_column_.layout(gcn::kLayoutAll);

    columns_.setSpacingAndMargin(30, 5);
    columns_.add(&buttons_);
    columns_.add(&display_);
    columns_.add(&autosave_column_);
    columns_.layout(gcn::kLayoutAll);
    const int top = (height - columns_.getHeight()) / 2;
    add(&columns_, (width - columns_.getWidth()) / 2, top);
    // The drop-down folds out over its parent only: the display column (and
    // the row holding it) reach down to the bottom of the screen.
    columns_.setHeight(std::max(columns_.getHeight(), height - top));
    display_.setHeight(columns_.getHeight() - display_.getY());
    overlay_.setOwner(this);
}

RnOptions1Menu::~RnOptions1Menu() { overlay_.setOwner(nullptr); }

gcn::Container* RnOptions1Menu::getContainer() {
    refreshResolutions();
    return this;
}

void RnOptions1Menu::refreshResolutions() {
    // The modes of the renderer chosen; the flags of new displays are put
    // back afterwards.
    const bool allegro = al_is_system_installed();
    const int flags = allegro ? al_get_new_display_flags() : 0;
    if (allegro) al_set_new_display_flags(ALLEGRO_OPENGL | (opengl_.isSelected() ? ALLEGRO_OPENGL_3_0 : 0));
    std::vector<ALLEGRO_DISPLAY_MODE> modes = mode_source_ ? mode_source_() : daxDisplayModes();
    ALLEGRO_DISPLAY_MODE current;
    std::memset(&current, 0, sizeof(current));
    current.width = getWidth();
    current.height = getHeight();
    modes.push_back(current);
    modes_.refreshFrom(modes);
    if (allegro) al_set_new_display_flags(flags);
    resolution_.setListModel(&modes_);
    const int i = modes_.indexOf(static_cast<int16_t>(getWidth()), static_cast<int16_t>(getHeight()));
    if (i >= 0) resolution_.setSelected(i);
}

int RnOptions1Menu::chosenFrequency() const {
    for (int f = 1; f <= 3; ++f) {
        if (autosave_[f].isSelected()) return f;
    }
    return 0;
}

bool RnOptions1Menu::storeSettings(bool frequency_changed, bool display_changed, int frequency) {
    const std::string path = userIniPath();
    const int selected = resolution_.getSelected();
    const std::string resolution =
        selected >= 0 && selected < modes_.getNumberOfElements() ? modes_.getElementAt(selected) : std::string();
    const char* render = opengl_.isSelected() ? "gl" : "dx";
    const int window_mode = fullscreen_.isSelected() ? 0 : 1;
    try {
        daxMakeDirs(path.c_str());
    } catch (const DaxException&) {
        // Written or not, the read-back below tells.
    }
    daxIniOpenOverlay(path.c_str());
    if (frequency_changed) daxIniSetInt("system", "freq_autosave", frequency);
    if (display_changed) {
        if (!resolution.empty()) daxIniSetString("daxk", "resolution", resolution.c_str());
        daxIniSetString("daxk", "render", render);
        daxIniSetInt("daxk", "window_mode", window_mode);
    }
    daxIniOpenOverlay(nullptr);

    // Read back from the file, so that a setting the disk did not take is
    // not reported as kept (and the program does not restart for nothing).
    daxIniOpenOverlay(path.c_str());
    bool kept = daxIniOverlay().config() != nullptr;
    if (kept && frequency_changed) kept = daxIniGetInt("system", "freq_autosave", -1) == frequency;
    if (kept && display_changed) {
        kept = std::strcmp(daxIniGetString("daxk", "render", ""), render) == 0 &&
               daxIniGetInt("daxk", "window_mode", -1) == window_mode &&
               (resolution.empty() || resolution == daxIniGetString("daxk", "resolution", ""));
    }
    daxIniOpenOverlay(nullptr);
    if (!kept) daxReportError("can't save the settings to %s", path.c_str());
    return kept;
}

void RnOptions1Menu::action(const gcn::ActionEvent& event) {
    const gcn::Widget* src = event.getSource();
    if (src == &opengl_) {
        refreshResolutions();
    } else if (src == &ok_) {
        const int frequency = chosenFrequency();
        const bool frequency_changed = frequency != grn_config.freq_autosave_;
        bool display_changed = fullscreen_.isSelected() != daxIsFullscreenFlags(display_flags_) ||
                               opengl_.isSelected() != isOpenGL3Flags(display_flags_);
        const int selected = resolution_.getSelected();
        if (selected >= 0 && selected < static_cast<int>(modes_.modes().size())) {
            const DaxScreenResolution& r = modes_.modes()[static_cast<size_t>(selected)];
            display_changed = display_changed || r.width != getWidth() || r.height != getHeight();
        }
        if (frequency_changed || display_changed) {
            grn_config.freq_autosave_ = frequency;
            const bool kept = storeSettings(frequency_changed, display_changed, frequency);
            if (kept && display_changed && dax_menu_handler) dax_menu_handler->restartProgram();
        }
        if (dax_menu_handler) dax_menu_handler->backToCaller();
    } else if (src == &about_) {
        showVersionInfoDialog();
    } else if (src == &back_) {
        if (dax_menu_handler) dax_menu_handler->backToCaller();
    }
}

void RnOptions1Menu::keyPressed(gcn::KeyEvent& event) {
    if (event.isConsumed()) return;
    if (event.getKey().getValue() == gcn::Key::Escape) back_.fireActionAndConsume(event);
    if (!event.isConsumed()) DaxSubMenuIfc::keyPressed(event);
}

DaxSubMenuIfc* rnCreateOptions1Menu(int /*id*/) {
    ALLEGRO_DISPLAY* display = al_get_current_display();
    return new RnOptions1Menu(display ? al_get_display_width(display) : 1024,
                              display ? al_get_display_height(display) : 768,
                              display ? al_get_display_flags(display) : ALLEGRO_WINDOWED | ALLEGRO_OPENGL);
}

// --- options page 2 ------------------------------------------------------------

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
