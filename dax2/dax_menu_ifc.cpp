#include "dax2/dax_menu_ifc.h"

#include <allegro5/allegro.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <vector>

#include "dax2/dax_bitmap.h"
#include "dax2/dax_error.h"
#include "dax2/dax_file.h"
#include "dax2/dax_ini.h"
#include "dax2/dax_msg.h"
#include "dax2/dax_platform.h"
#include "gcn/events.hpp"
#include "gcn/key.hpp"
#include "gcn/widgets/container.hpp"

DaxMenuHandler* dax_menu_handler = nullptr;

namespace {

// The program's handler; tests make their own, which stand in for it while
// they live.
DaxMenuHandler g_program_handler;

const char* const kMenuSrc = "dax2\\dax_menu_ifc";

bool haveDisplay() { return al_is_system_installed() && al_get_current_display() != nullptr; }

}  // namespace

// ---------------------------------------------------------------------------
// Default key handling of screens and dialogs.

void DaxSubMenuIfc::keyPressed(gcn::KeyEvent& event) {
    if (event.isConsumed()) {
        return;
    }
    const int key = event.getKey().getValue();
    if (key == gcn::Key::F1) {
        // F1 ends the program, but only for developers.
        if (dax_config.debug_enable_ > 0 && dax_menu_handler) {
            dax_menu_handler->requestState(0);
        }
        return;
    }
    if (key == gcn::Key::F4 || key == gcn::Key::PrintScreen) {
        daxTakeScreenshot();
        event.consume();
    }
}

std::string daxTakeScreenshot() {
    // The counter lives in the user ini; the name takes the next number, so
    // a fresh user ini gives "_0002" first.
    std::string user_ini = dax_config.user_dir_ + dax_config.usr_ini_;
    daxIniOpenOverlay(user_ini.c_str());
    int n = daxIniGetInt("screenshots", "counter", 1);
    // A hand-edited counter at the top of the range starts again at 1
    // rather than overflowing.
    const int next = n < INT_MAX ? n + 1 : 1;
    daxIniSetInt("screenshots", "counter", next);

    char number[32];
    std::snprintf(number, sizeof(number), "_%04d.", next);
    std::string file_name = dax_config.shrt_name_ + number + dax_config.screenshot_suffix_.substr(0, 255);
    std::string path = dax_config.screenshot_dir_ + file_name;
    daxIniOpenOverlay(nullptr);

    bool saved = false;
    try {
        daxMakeDirs(dax_config.screenshot_dir_.c_str());
        if (haveDisplay()) {
            saved = al_save_bitmap(path.c_str(), al_get_backbuffer(al_get_current_display()));
        }
    } catch (const DaxException&) {
        // Already logged by the raiser; a screenshot must not end the game.
    }
    if (!saved) {
        daxLogMessage(1, 1, "can't save screenshot %s", path.c_str());
    }

    // Without the numbered text the message still names the file.
    std::string text = dax_strings.hasString(120) ? dax_strings.get(120) + " " + file_name : file_name;
    dax_msgmgr.postNoPos(0, text);
    return path;
}

// ---------------------------------------------------------------------------
// The state machine.

DaxMenuHandler::DaxMenuHandler() : previous_(dax_menu_handler) { dax_menu_handler = this; }

DaxMenuHandler::~DaxMenuHandler() {
    if (dax_menu_handler == this) {
        dax_menu_handler = previous_;
    }
    // After Allegro shut down at exit the cursor is gone with it.
    if (!al_is_system_installed()) {
        cursor_.detach();
    }
}

DaxMenuHandler::Entry& DaxMenuHandler::entryOf(int id) {
    auto it = registry_.find(id);
    if (it == registry_.end()) {
        daxRaiseError("state is not registered: %d", id);
    }
    return it->second;
}

const DaxMenuHandler::Entry* DaxMenuHandler::findEntry(int id) const {
    auto it = registry_.find(id);
    return it == registry_.end() ? nullptr : &it->second;
}

DaxSubMenuIfc* DaxMenuHandler::heldInstance(int id) const {
    const Entry* e = findEntry(id);
    return e ? e->instance : nullptr;
}

void DaxMenuHandler::registerMenu(int id, DaxMenuCreator creator, int lifetime, bool run, bool quit) {
    if (id <= 0) {
        daxRaiseError("id must be > 0: %d", id);
    }
    if (registry_.count(id)) {
        daxRaiseError("menu already registered: %d", id);
    }
    if (!creator && !quit) {
        daxRaiseError("missing pointer to creator instance for id=%d", id);
    }
    Entry& e = registry_[id];
    e.creator = std::move(creator);
    e.lifetime = lifetime;
    e.run = run;
    e.quit = quit;
    daxLogMessage(2, 1, "menu register state %d: lifetime %d, %s %s", id, lifetime, run ? "run" : "---",
                  quit ? "quit" : "----");
}

void DaxMenuHandler::request(int id, bool push) {
    if (id == current_) {
        return;
    }
    requested_ = id;
    push_caller_ = push;
    if (push) {
        daxLogMessage(2, 1, "menu request new state %d", id);
    } else {
        daxLogMessage(2, 1, "menu request new state %d do not push caller", id);
    }
}

void DaxMenuHandler::requestState(int id) { request(id, true); }

void DaxMenuHandler::requestStateNoPush(int id) { request(id, false); }

void DaxMenuHandler::backToCaller() {
    if (call_stack_.empty()) {
        daxRaiseError("call stack is empty");
    }
    // Popped when the change happens: takeNewTopWidget sees the target on
    // top of the stack and knows it is going back.
    requested_ = call_stack_.back();
    push_caller_ = true;
    daxLogMessage(2, 1, "menu request back to caller");
}

DaxSubMenuIfc* DaxMenuHandler::getInstance(int id) {
    if (id == 0) {
        return nullptr;
    }
    Entry& e = entryOf(id);
    if (e.instance || !e.creator) {
        daxLogMessage(2, 1, "menu reuse existing instance of %d", id);
        return e.instance;
    }
    daxLogMessage(2, 1, "menu create new instance of %d", id);
    e.instance = e.creator(id);
    return e.instance;
}

void DaxMenuHandler::deleteInstance(int id) {
    if (id == 0) {
        return;
    }
    Entry& e = entryOf(id);
    if (e.instance) {
        daxLogMessage(2, 1, "menu delete instance of %d", id);
        DaxSubMenuIfc* instance = e.instance;
        e.instance = nullptr;
        delete instance;
    }
}

void DaxMenuHandler::deleteAllInstances() {
    for (auto& [id, e] : registry_) {
        if (e.instance) {
            DaxSubMenuIfc* instance = e.instance;
            e.instance = nullptr;
            delete instance;
        }
    }
}

gcn::Container* DaxMenuHandler::takeNewTopWidget() {
    if (requested_ == current_) {
        return nullptr;
    }
    if (!call_stack_.empty() && call_stack_.back() == requested_) {
        // Going back: the caller leaves the stack and nothing is pushed.
        call_stack_.pop_back();
    } else {
        // A state never stands twice in the stack: leaving one that is
        // already in it cuts the stack back to below that entry.
        for (auto it = call_stack_.begin(); it != call_stack_.end(); ++it) {
            if (*it == current_) {
                call_stack_.erase(it, call_stack_.end());
                break;
            }
        }
        if (push_caller_) {
            call_stack_.push_back(current_);
        }
    }
    current_ = requested_;
    daxLogMessage(2, 1, "menu change state %d", current_);

    DaxSubMenuIfc* instance = getInstance(current_);
    if (!instance) {
        return nullptr;
    }
    // Bitmaps the new screen loaded before the display could take them.
    if (haveDisplay()) {
        al_convert_memory_bitmaps();
    }
    setMouseCursor(0);
    return instance->getContainer();
}

void DaxMenuHandler::deleteUnneededInstances() {
    const Entry* cur = findEntry(current_);
    const int c = cur ? cur->lifetime : 0;
    if (c != kDaxLifetimeSingle && c != kDaxLifetimeCatchUp) {
        return;
    }
    for (auto& [id, e] : registry_) {
        if (id == current_ || !e.instance) {
            continue;
        }
        if (c == kDaxLifetimeSingle || e.lifetime == kDaxLifetimeSingle || e.lifetime == kDaxLifetimeKeep) {
            daxLogMessage(2, 1, "menu delete unneeded instance of %d", id);
            DaxSubMenuIfc* instance = e.instance;
            e.instance = nullptr;
            delete instance;
        }
    }
}

const DaxMenuHandler::Entry* DaxMenuHandler::currentEntry() const {
    if (current_ == 0) {
        return nullptr;
    }
    const Entry* e = findEntry(current_);
    if (!e) {
        daxRaiseError("wrong current state");
    }
    return e;
}

bool DaxMenuHandler::currentRunsGame() const {
    const Entry* e = currentEntry();
    return e && e->run;
}

bool DaxMenuHandler::currentQuits() const {
    const Entry* e = currentEntry();
    return !e || e->quit;
}

bool DaxMenuHandler::currentCatchesUp() const {
    const Entry* e = findEntry(current_);
    return e && e->lifetime == kDaxLifetimeCatchUp;
}

void DaxMenuHandler::dispatchKey(gcn::KeyEvent& event) {
    if (event.isConsumed()) {
        return;
    }
    const Entry* e = findEntry(current_);
    if (e && e->instance) {
        e->instance->keyPressed(event);
    }
}

void DaxMenuHandler::restartProgram() {
    DAX_ASSERT_AT(dax_config.exe_fullpath_.length() > 0, kMenuSrc, 347);
    // The new run reads the settings from disk and rewrites the log: write
    // both out first (exec drops unflushed C streams).
    daxIniSaveAll();
    daxLogMessage(2, 1, "restart program %s", dax_config.exe_fullpath_.c_str());
    std::fflush(nullptr);

    std::string path = daxExecutablePath();
    if (path.empty()) {
        path = dax_config.exe_fullpath_;
    }
    std::vector<char> arg0(path.begin(), path.end());
    arg0.push_back('\0');
    char* argv[] = {arg0.data(), nullptr};
    int rc = exec_fn_ ? exec_fn_(path.c_str(), argv) : execv(path.c_str(), argv);
    // Only a failed exec comes back here: say why and let the player go on.
    int err = errno;
    if (rc != 0) {
        daxReportError("can't restart %s: %s", path.c_str(), std::strerror(err));
    }
}

void DaxMenuHandler::setMenuData(DaxMenuData* data) { menu_data_.reset(data); }

void DaxMenuHandler::releaseMenuData() { menu_data_.reset(); }

// ---------------------------------------------------------------------------
// Cursors.

void DaxMenuHandler::setCursor(ALLEGRO_MOUSE_CURSOR* cursor) {
    // The new cursor is shown before the old one is destroyed, so the
    // display never points at a destroyed cursor.
    if (ALLEGRO_DISPLAY* d = al_get_current_display()) {
        al_set_mouse_cursor(d, cursor);
    }
    ALLEGRO_MOUSE_CURSOR* old = cursor_.detach();
    cursor_.reset(cursor);
    if (old) {
        al_destroy_mouse_cursor(old);
    }
}

void DaxMenuHandler::setSystemCursor(ALLEGRO_SYSTEM_MOUSE_CURSOR id) {
    if (haveDisplay()) {
        al_set_system_mouse_cursor(al_get_current_display(), id);
    }
    cursor_.release();
}

void DaxMenuHandler::releaseCursor() { cursor_.release(); }

void DaxMenuHandler::setMouseCursor(int variant) {
    const char* name = "mouse";
    DaxBitmapIndex id = dax_bitmaps.find(DaxBitmapKey(name, variant, 0));
    if (id < 0 && variant != 0) {
        daxLogMessage(4, 1, "mouse pointer %s %d not found, try to use variant 0 instead", name, variant);
        variant = 0;
        id = dax_bitmaps.find(DaxBitmapKey(name, variant, 0));
    }
    if (id < 0) {
        daxLogMessage(3, 1, "mouse pointer %s %d not found", name, variant);
        setSystemCursor(ALLEGRO_SYSTEM_MOUSE_CURSOR_DEFAULT);
        return;
    }
    const DaxBitmapEntry& entry = dax_bitmaps.entry(id);
    if (!entry.bitmap_ || !haveDisplay()) {
        setSystemCursor(ALLEGRO_SYSTEM_MOUSE_CURSOR_DEFAULT);
        return;
    }
    ALLEGRO_MOUSE_CURSOR* cursor = al_create_mouse_cursor(entry.bitmap_, entry.hot_x_, entry.hot_y_);
    if (!cursor) {
        setSystemCursor(ALLEGRO_SYSTEM_MOUSE_CURSOR_DEFAULT);
        return;
    }
    setCursor(cursor);
}

void DaxMenuHandler::setDefaultCursor() { setSystemCursor(ALLEGRO_SYSTEM_MOUSE_CURSOR_DEFAULT); }

void DaxMenuHandler::setBusyCursor() { setSystemCursor(ALLEGRO_SYSTEM_MOUSE_CURSOR_BUSY); }
