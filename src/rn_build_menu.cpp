// The build menu the data model fills.
#include "rn_build_menu.h"

#include "dax2/dax_error.h"
#include "rn_bld_generic.h"
#include "rn_game.h"

RnBuildMenu grn_build_menu;

RnBuildMenu::RnBuildMenu() : menus_(kMenuCount) {}

void RnBuildMenu::clear() {
    std::vector<RnBuildMenuEntry>(kMenuCount).swap(menus_);
    if (observer_) observer_->buildMenuCleared();
}

void RnBuildMenu::checkMenu(int menu) {
    if (menu < kFirstMenu || menu > kLastMenu) {
        daxRaiseError("index for build menu %d out of range 1..%d", menu, kLastMenu);
    }
}

void RnBuildMenu::setEntry(int menu, const std::string& image, int32_t text_id) {
    checkMenu(menu);
    RnBuildMenuEntry& e = menus_[static_cast<size_t>(menu)];
    e.image_ = image;
    e.text_id_ = text_id;
    if (observer_) observer_->buildMenuEntryChanged(menu);
}

bool RnBuildMenu::hasButtonNamed(int menu, const std::string& name) const {
    checkMenu(menu);
    for (const RnBuildMenuButton& b : menus_[static_cast<size_t>(menu)].buttons_) {
        if (b.name_ == name) return true;
    }
    return false;
}

void RnBuildMenu::addButton(int16_t kind, int menu, int32_t type_id, bool disabled) {
    checkMenu(menu);
    const RnGenericBuildingType* type = grn_game.findBuildingType(kind, type_id);
    if (!type) {
        daxRaiseError("building type %d, %d not found", kind, type_id);
    }
    if (hasButtonNamed(menu, type->name_)) {
        daxRaiseError("build menu button for %s already registered", type->name_.c_str());
    }
    RnBuildMenuButton b;
    b.kind_ = kind;
    b.type_id_ = type_id;
    b.name_ = type->name_;
    b.disabled_ = disabled;
    menus_[static_cast<size_t>(menu)].buttons_.push_back(b);
    if (observer_) observer_->buildMenuButtonAdded(menu, b);
}

const RnBuildMenuEntry& RnBuildMenu::entry(int menu) const {
    if (menu < 0 || menu > kLastMenu) {
        daxRaiseError("index for build menu %d out of range 1..%d", menu, kLastMenu);
    }
    return menus_[static_cast<size_t>(menu)];
}

int RnBuildMenu::buttonCount() const {
    int n = 0;
    for (const RnBuildMenuEntry& e : menus_) n += static_cast<int>(e.buttons_.size());
    return n;
}
