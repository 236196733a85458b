// The run-game screen and its build menu.
#include "rn_menu_game.h"

#include <allegro5/allegro.h>

#include <algorithm>
#include <cstring>

#include "dax2/dax_clock.h"
#include "dax2/dax_error.h"
#include "dax2/dax_ini.h"
#include "dax2/dax_menu_ifc.h"
#include "dax2/dax_msg.h"
#include "gcn/key.hpp"
#include "rn.h"
#include "rn_bld_prod.h"
#include "rn_bld_texts.h"
#include "rn_game.h"
#include "rn_game_infostr.h"
#include "rn_mainmap_allegro.h"
#include "rn_mainmap_mini.h"
#include "rn_map.h"
#include "rn_file_save.h"

RnRunGameMenu* grn_pmenu_game = nullptr;

namespace {

// Message texts of the screen's hover texts.
constexpr int kTextDemolish = 1201;
constexpr int kTextPause = 1202;
constexpr int kTextOptions = 1203;
constexpr int kTextMiniMap = 1204;
constexpr int kTextOverview = 1205;

int copyText(const std::string& text, char* buffer, int size) {
    if (size <= 0) return 0;
    const size_t n = std::min(text.size(), static_cast<size_t>(size - 1));
    std::memcpy(buffer, text.data(), n);
    buffer[n] = 0;
    return static_cast<int>(n);
}

void displaySize(int& width, int& height) {
    ALLEGRO_DISPLAY* display = al_get_current_display();
    width = display ? al_get_display_width(display) : 1024;
    height = display ? al_get_display_height(display) : 768;
}

}  // namespace

int BuildMenuMainButton::overlayText(char* buffer, int size) {
    if (text_id_ == 0 || (submenu_ && submenu_->isVisible())) return 0;
    return copyText(rnMsg(text_id_), buffer, size);
}

BuildMenuButton::BuildMenuButton(const std::string& caption, int kind, int type_id)
    : gcn::Button(caption.c_str()), kind_(kind), type_id_(type_id) {
    setAlignment(0);
    setSpacing(1);
    setFrameSize(0);
}

int BuildMenuButton::overlayText(char* buffer, int size) {
    std::string text;
    rnBuildMenuTooltip(text, kind_, type_id_, getCaption());
    return copyText(text, buffer, size);
}

RnRunGameMenu::RnRunGameMenu(int width, int height) {
    DAX_ASSERT(!grn_pmenu_game);
    grn_pmenu_game = this;
    try {
        build(width, height);
    } catch (...) {
        // A screen that could not be built (an image missing) leaves no main
        // map or global behind: the next attempt starts afresh.
        release();
        throw;
    }
}

void RnRunGameMenu::build(int width, int height) {
    setDimension(gcn::Rectangle(0, 0, width, height));
    setBaseColor(gcn::Color(0, 0, 0, 255));
    addMouseListener(this);

    const int side = grn_config.game_side_width_;
    time_.setCaption("Time");
    info_.setCaption("Info");
    time_.adjustSize();
    info_.adjustSize();
    const int top = info_.getHeight() + time_.getHeight() + 6;

    createMainMap(width - side, height - top);
    add(grn_pmainmap, 0, top);

    top_bar_.setDimension(gcn::Rectangle(0, 0, width, top));
    side_bar_.setDimension(gcn::Rectangle(width - side, top, side, height - top));
    for (gcn::Container* bar : {&top_bar_, &side_bar_}) {
        bar->setBaseColor(dax_config.back_color_);
        bar->setBackgroundColor(dax_config.back_color_);
        bar->setOpaque(true);
        add(bar);
    }
    mini_panel_.setDimension(gcn::Rectangle(width - 1, height - 1, 1, 1));
    mini_panel_.setVisible(false);
    add(&mini_panel_);

    for (gcn::Label* label : {&time_, &info_}) {
        label->setBaseColor(dax_config.button_color_);
        label->setBackgroundColor(dax_config.button_color_);
        label->setOpaque(true);
        label->addMouseListener(this);
    }
    top_bar_.add(&time_, 300, 2);
    top_bar_.add(&info_, 300, time_.getHeight() + 4);

    struct Icon {
        DaxImageButton* button;
        const char* name;
        int text;
    };
    int x = 3;
    for (const Icon& icon : {Icon{&pause_, "icon_pause", kTextPause}, Icon{&options_, "icon_options", kTextOptions},
                             Icon{&minimap_, "icon_minimap", kTextMiniMap},
                             Icon{&overview_, "icon_overview", kTextOverview}}) {
        icon.button->setBitmapName(icon.name);
        icon.button->setSize(32, 32);
        icon.button->setBaseColor(dax_config.button_color_);
        icon.button->addActionListener(this);
        top_bar_.add(icon.button, x, 3);
        overlay_.setWidgetText(icon.button, icon.text, kDaxOverlayBelow);
        x += 32 + (icon.button == &pause_ ? 6 : 3);
    }
    // Without the overview's screen (tests of the run screen alone) its
    // button is off.
    overview_.setEnabled(dax_menu_handler && dax_menu_handler->isRegistered(kRnStateOverview));

    menus_.resize(RnBuildMenu::kMenuCount);
    for (int i = RnBuildMenu::kFirstMenu; i <= RnBuildMenu::kLastMenu; ++i) {
        BuildMenuRecord& rec = menus_[static_cast<size_t>(i)];
        rec.main = std::make_unique<BuildMenuMainButton>();
        rec.main->setSize(32, 32);
        rec.main->setBaseColor(dax_config.button_color_);
        rec.main->addActionListener(this);
        rec.main->setOverlayPlacement(kDaxOverlayLeft);
        side_bar_.add(rec.main.get());
        rec.bar = std::make_unique<gcn::ButtonVBar>();
        rec.bar->setBaseColor(dax_config.back_color_);
        rec.bar->setBackgroundColor(dax_config.back_color_);
        rec.bar->setOpaque(true);
        rec.bar->setVisible(false);
        add(rec.bar.get());
    }

    del_.setCaption("Del");
    del_.adjustSize();
    del_.setBaseColor(dax_config.button_color_);
    del_.addActionListener(this);
    side_bar_.add(&del_);
    overlay_.setWidgetText(&del_, kTextDemolish, kDaxOverlayLeft);

    if (dax_config.msg_show_y_ == 0) dax_config.msg_show_y_ = top;
    add(&msg_bar_, 0, 0);
    overlay_.setOwner(this);

    // What the data model registered before this screen existed.
    for (int i = RnBuildMenu::kFirstMenu; i <= RnBuildMenu::kLastMenu; ++i) {
        const RnBuildMenuEntry& e = grn_build_menu.entry(i);
        if (!e.image_.empty()) buildMenuEntryChanged(i);
        for (const RnBuildMenuButton& b : e.buttons_) buildMenuButtonAdded(i, b);
    }
    layoutSideBar();
    layoutSubmenus();
    grn_build_menu.setObserver(this);
}

RnRunGameMenu::~RnRunGameMenu() { release(); }

void RnRunGameMenu::release() {
    if (grn_build_menu.observer() == this) grn_build_menu.setObserver(nullptr);
    overlay_.setOwner(nullptr);
    for (BuildMenuRecord& rec : menus_) {
        rec.buttons.clear();
        rec.main.reset();
        rec.bar.reset();
    }
    deleteMiniMap();
    deleteMainMap();
    DAX_ASSERT(!grn_pmainmap);
    grn_pmenu_game = nullptr;
}

void RnRunGameMenu::setBuildMenuEntry(int index, const std::string& bitmap_name, int text_id) {
    grn_build_menu.setEntry(index, bitmap_name, text_id);
}

void RnRunGameMenu::addBuildMenuButton(int kind, int index, int type_id, bool disabled) {
    grn_build_menu.addButton(static_cast<int16_t>(kind), index, type_id, disabled);
}

void RnRunGameMenu::buildMenuEntryChanged(int menu) {
    BuildMenuRecord& rec = menus_.at(static_cast<size_t>(menu));
    if (!rec.main) daxRaiseError("button at %d not initialized", menu);
    const RnBuildMenuEntry& e = grn_build_menu.entry(menu);
    rec.main->setBitmapName(e.image_);
    rec.main->setSize(32, 32);
    if (e.text_id_ != 0) rec.main->setOverlay(e.text_id_, rec.bar.get());
}

void RnRunGameMenu::buildMenuButtonAdded(int menu, const RnBuildMenuButton& button) {
    BuildMenuRecord& rec = menus_.at(static_cast<size_t>(menu));
    auto b = std::make_unique<BuildMenuButton>(button.name_, button.kind_, button.type_id_);
    b->setBaseColor(dax_config.button_color_);
    b->setEnabled(!button.disabled_);
    b->addActionListener(this);
    b->adjustSize();
    b->setOverlayPlacement(kDaxOverlayLeft);
    if (rec.bar) rec.bar->add(b.get());
    rec.buttons.emplace_back(button.name_, std::move(b));
    layoutSideBar();
    layoutSubmenus();
}

void RnRunGameMenu::buildMenuCleared() {
    cancelModes();
    for (BuildMenuRecord& rec : menus_) rec.buttons.clear();
    layoutSideBar();
    layoutSubmenus();
}

void RnRunGameMenu::layoutSideBar() {
    int y = 3;
    for (int i = RnBuildMenu::kFirstMenu; i <= RnBuildMenu::kLastMenu; ++i) {
        BuildMenuRecord& rec = menus_[static_cast<size_t>(i)];
        if (rec.buttons.empty()) {
            rec.main->setVisible(false);
            continue;
        }
        rec.main->setVisible(true);
        rec.main->setPosition(3, y);
        y += rec.main->getHeight() + 3;
    }
    del_.setPosition(3, y + 20);
}

void RnRunGameMenu::layoutSubmenus() {
    for (int i = RnBuildMenu::kFirstMenu; i <= RnBuildMenu::kLastMenu; ++i) {
        BuildMenuRecord& rec = menus_[static_cast<size_t>(i)];
        rec.main->setVisible(!rec.buttons.empty());
        if (rec.buttons.empty()) continue;
        rec.bar->layout(gcn::kLayoutAll);
        int ax = 0;
        int ay = 0;
        rec.main->getAbsolutePosition(ax, ay);
        rec.bar->setPosition(ax - rec.bar->getWidth() - 10, ay);
    }
}

void RnRunGameMenu::closeSubmenus() {
    for (BuildMenuRecord& rec : menus_) {
        if (rec.bar) rec.bar->setVisible(false);
    }
}

void RnRunGameMenu::cancelModes() {
    closeSubmenus();
    submenu_open_ = false;
    mode_ = 0;
    type_id_ = 0;
    if (grn_pmainmap) grn_pmainmap->clearModes();
    if (dax_menu_handler) dax_menu_handler->setMouseCursor(0);
}

void RnRunGameMenu::showMiniMap(bool show) {
    if (mini_panel_.isVisible() != show) toggleMiniMap();
}

void RnRunGameMenu::toggleMiniMap() {
    if (mini_panel_.isVisible()) {
        mini_panel_.setVisible(false);
        return;
    }
    // The map at an integer zoom that fills the panel's room best, at least
    // one pixel per tile.
    const int room = getHeight() * grn_config.game_mini_size_ / 100;
    const int n = std::max(1, grn_map.size());
    const int zoom = std::max(1, room / n);
    const int side = std::min(n * zoom, std::max(1, room));
    mini_panel_.setDimension(gcn::Rectangle(getWidth() - side, getHeight() - side, side, side));
    mini_panel_.setVisible(true);
    if (!grn_pminimap) {
        createMiniMap(side, side);
        mini_panel_.add(grn_pminimap, 0, 0);
    }
    grn_pminimap->setSize(side, side);
    grn_pminimap->setZoom(static_cast<float>(zoom));
    if (grn_pmainmap) {
        const auto c = grn_pmainmap->viewCentre();
        grn_pminimap->setViewCentre(c.first, c.second);
    }
}

void RnRunGameMenu::openMenu(int i) {
    BuildMenuRecord& rec = menus_[static_cast<size_t>(i)];
    for (auto& [name, button] : rec.buttons) {
        if (button->kind() != RnIdBldProd) continue;
        RnGenericBuildingType* type = grn_game.findBuildingType(RnIdBldProd, button->typeId());
        const RnProdType* pt = static_cast<const RnProdType*>(type);
        button->setVisible(pt && pt->menu_flag_ != 0);
        button->setEnabled(pt && (pt->used_flag_ != 0 || !grn_game.disable_unused_prod_));
    }
    rec.bar->setVisible(true);
    rec.bar->layout(gcn::kLayoutVisible);
    int ax = 0;
    int ay = 0;
    rec.main->getAbsolutePosition(ax, ay);
    rec.bar->setPosition(ax - rec.bar->getWidth() - 10, ay);
    moveToTop(rec.bar.get());
    submenu_open_ = true;
    if (dax_menu_handler) dax_menu_handler->setMouseCursor(i);
}

void RnRunGameMenu::action(const gcn::ActionEvent& event) {
    gcn::Widget* src = event.getSource();
    if (src == &pause_) {
        dax_gameclock.togglePause();
        return;
    }
    if (src == &options_) {
        if (dax_menu_handler) dax_menu_handler->requestState(kRnStateOptions2);
        return;
    }
    if (src == &overview_) {
        if (dax_menu_handler) dax_menu_handler->requestState(kRnStateOverview);
        return;
    }
    if (src == &minimap_) {
        toggleMiniMap();
        return;
    }
    DaxMenuScreenMsgBase::action(event);
    if (isMenuModeActive()) cancelModes();
    if (src == &del_) {
        mode_ = -1;
        if (grn_pmainmap) grn_pmainmap->startDemolition();
        if (dax_menu_handler) dax_menu_handler->setMouseCursor(-1);
        return;
    }
    for (int i = RnBuildMenu::kFirstMenu; i <= RnBuildMenu::kLastMenu; ++i) {
        BuildMenuRecord& rec = menus_[static_cast<size_t>(i)];
        if (src == rec.main.get()) {
            openMenu(i);
            return;
        }
        for (auto& [name, button] : rec.buttons) {
            if (src != button.get()) continue;
            mode_ = button->kind();
            type_id_ = button->typeId();
            if (grn_pmainmap) grn_pmainmap->selectBuildingType(mode_, type_id_);
            return;
        }
    }
}

void RnRunGameMenu::fire(gcn::Widget& button, gcn::KeyEvent& event) { button.fireActionAndConsume(event); }

void RnRunGameMenu::keyPressed(gcn::KeyEvent& event) {
    if (event.isConsumed()) return;
    const int key = event.getKey().getValue();
    const bool pad = event.isNumericPad();
    if (key == gcn::Key::Space || key == 'p') {
        fire(pause_, event);
    } else if (key == '+') {
        dax_gameclock.faster();
        event.consume();
    } else if (key == '-') {
        dax_gameclock.slower();
        event.consume();
    } else if (key == 'm') {
        fire(minimap_, event);
    } else if (key == 'o') {
        fire(overview_, event);
    } else if (key == 't') {
        if (grn_pmainmap) grn_pmainmap->setSeeThrough(!grn_pmainmap->seeThrough());
        event.consume();
    } else if (key == gcn::Key::F5) {
        RnSaveWriter::quickSave();
        event.consume();
    } else if (key == gcn::Key::Escape) {
        if (isMenuModeActive()) {
            cancelModes();
            event.consume();
        } else {
            fire(options_, event);
        }
    } else if (pad) {
        if (grn_pmainmap && grn_pmainmap->scrollByKey(event)) event.consume();
    } else if (key == gcn::Key::Left || key == gcn::Key::Right || key == gcn::Key::Up || key == gcn::Key::Down) {
        if (grn_pmainmap) grn_pmainmap->scrollByKey(event);
        event.consume();
    }
    if (!event.isConsumed()) DaxSubMenuIfc::keyPressed(event);
}

void RnRunGameMenu::logic() {
    time_.setCaption(rnStatusLine());
    info_.setCaption(rnPopulationLine());
    time_.adjustSize();
    info_.adjustSize();
    const int w = (std::max(time_.getWidth(), info_.getWidth()) + 29) / 30 * 30;
    time_.setWidth(w);
    info_.setWidth(w);
    DaxMenuScreenMsgBase::logic();
}

void RnRunGameMenu::mouseReleased(gcn::MouseEvent& event) {
    if (event.isConsumed() || event.getButton() != gcn::MouseEvent::Right) return;
    cancelModes();
}

DaxSubMenuIfc* rnCreateRunGameMenu(int /*id*/) {
    int width = 0;
    int height = 0;
    displaySize(width, height);
    return new RnRunGameMenu(width, height);
}
