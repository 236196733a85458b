// The build menu as the data model defines it: up to eleven menus, each with
// the image and text of its main button and the building types it offers.
// The data-model script fills it while it loads; the run screen builds its
// side bar from it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// One building type offered by a menu.
struct RnBuildMenuButton {
    int16_t kind_ = 0;      // building kind, RnIdBldRoad .. RnIdBldBldr
    int32_t type_id_ = 0;   // the type's script id
    std::string name_;      // the type's display name (the button's caption)
    bool disabled_ = false; // deprecated types are offered disabled
};

// One build menu: its main button and the types it offers in registration
// order.
struct RnBuildMenuEntry {
    std::string image_;   // bitmap name of the main button, empty until set
    int32_t text_id_ = 0; // hover text of the main button, 0 for none
    std::vector<RnBuildMenuButton> buttons_;
};

// Told about every change, so that a screen that exists while the data
// model loads can follow it.
class RnBuildMenuObserverIfc {
public:
    virtual ~RnBuildMenuObserverIfc() = default;
    virtual void buildMenuEntryChanged(int menu) = 0;
    virtual void buildMenuButtonAdded(int menu, const RnBuildMenuButton& button) = 0;
    virtual void buildMenuCleared() = 0;
};

// The build menus of the loaded data model (one global, grn_build_menu): the
// content functions fill it, the run screen shows it.
class RnBuildMenu {
public:
    // Menus are numbered 1 to 11; record 0 exists but is never used.
    static constexpr int kFirstMenu = 1;
    static constexpr int kLastMenu = 11;
    static constexpr int kMenuCount = kLastMenu + 1;

    RnBuildMenu();

    // Forgets every entry and button (a new data model starts empty).
    void clear();
    // Sets the image and text of a menu's main button. A number outside
    // 1..11 raises "index for build menu %d out of range 1..%d".
    void setEntry(int menu, const std::string& image, int32_t text_id);
    // Offers a building type in a menu. Raises for a number outside 1..11,
    // "building type %d, %d not found" when the game does not know (kind,
    // type id), and "build menu button for %s already registered" when the
    // menu offers a type of that name already.
    void addButton(int16_t kind, int menu, int32_t type_id, bool disabled);
    // Whether addButton(menu, a type called name) would be refused as a
    // repeat; raises for a number outside 1..11.
    bool hasButtonNamed(int menu, const std::string& name) const;

    // A menu's record; a number outside 0..11 raises the range error.
    const RnBuildMenuEntry& entry(int menu) const;
    // Total number of buttons over all menus.
    int buttonCount() const;

    // Not owned; null for none.
    void setObserver(RnBuildMenuObserverIfc* observer) { observer_ = observer; }
    RnBuildMenuObserverIfc* observer() const { return observer_; }

private:
    static void checkMenu(int menu);

    std::vector<RnBuildMenuEntry> menus_;
    RnBuildMenuObserverIfc* observer_ = nullptr;
};

extern RnBuildMenu grn_build_menu;
