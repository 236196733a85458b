// The program's screens: DaxSubMenuIfc is what every screen and dialog
// implements (its default key handler takes screenshots); DaxMenuHandler is
// the state machine that creates, keeps and deletes the screens by number,
// remembers where to go back to, hands data from one screen to the next,
// sets the mouse cursor and can restart the program.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <string>

#include "dax2/dax_mptr.h"

namespace gcn {
class Container;
class KeyEvent;
}  // namespace gcn

// A screen (a state of the screen state machine) or a dialog.
class DaxSubMenuIfc {
public:
    virtual ~DaxSubMenuIfc() = default;
    // Keys no widget consumed while this screen is current. The default
    // handles F1 (leave the program, debug mode only) and F4 / PrintScreen
    // (screenshot).
    virtual void keyPressed(gcn::KeyEvent& event);
    // The screen's top widget; never null.
    virtual gcn::Container* getContainer() = 0;
};

// Data one screen hands to the next (the handler owns it).
class DaxMenuData {
public:
    virtual ~DaxMenuData() = default;
};

// Builds the screen of a state number; null when it cannot.
using DaxMenuCreator = std::function<DaxSubMenuIfc*(int id)>;

// Lifetime classes of a state: entering a class-1 state deletes every other
// screen; class 2 deletes the screens of class 1 and 3 (and lets the loop
// catch up on missed logic ticks); class 3 deletes none.
enum : int {
    kDaxLifetimeSingle = 1,
    kDaxLifetimeCatchUp = 2,
    kDaxLifetimeKeep = 3,
};

// The screen state machine as screens see it.
class DaxMenuHandlerIfc {
public:
    virtual ~DaxMenuHandlerIfc() = default;

    // Raises "id must be > 0: %d", "menu already registered: %d" and
    // "missing pointer to creator instance for id=%d" (a quit state needs
    // no creator).
    virtual void registerMenu(int id, DaxMenuCreator creator, int lifetime, bool run, bool quit) = 0;
    // Change to a state at the next frame, pushing the current one on the
    // call stack (or not). Requesting the current state does nothing.
    virtual void requestState(int id) = 0;
    virtual void requestStateNoPush(int id) = 0;
    // Back to the state on top of the call stack; raises "call stack is
    // empty".
    virtual void backToCaller() = 0;
    // The screen of a state, created on first use; null for state 0 and a
    // state without creator. Raises "state is not registered: %d".
    virtual DaxSubMenuIfc* getInstance(int id) = 0;
    // Deletes the screen of a state if it has one; nothing for 0. Raises
    // "state is not registered: %d".
    virtual void deleteInstance(int id) = 0;
    // Runs the program anew (after the display settings changed); returns
    // only when that fails, after reporting it.
    virtual void restartProgram() = 0;
    // Takes ownership and deletes the data held before.
    virtual void setMenuData(DaxMenuData* data) = 0;
    virtual void releaseMenuData() = 0;
    virtual void setMouseCursor(int variant) = 0;
    virtual void setDefaultCursor() = 0;
    virtual void setBusyCursor() = 0;
    // The held data, or null.
    virtual DaxMenuData* getMenuData() = 0;
};

// The screen state machine. State 0 is the empty state at start and the
// exit state; it is never registered.
class DaxMenuHandler : public DaxMenuHandlerIfc {
public:
    // Replaces the program's process image; returns only on failure (-1,
    // errno set), like execv.
    using ExecFn = std::function<int(const char* path, char* const argv[])>;

    // Becomes the handler dax_menu_handler points to; the destructor puts
    // the previous one back.
    DaxMenuHandler();
    // Destroys the cursor, the menu data and the registry; screens still
    // held are not deleted here (see deleteAllInstances).
    ~DaxMenuHandler() override;
    DaxMenuHandler(const DaxMenuHandler&) = delete;
    DaxMenuHandler& operator=(const DaxMenuHandler&) = delete;

    void registerMenu(int id, DaxMenuCreator creator, int lifetime, bool run, bool quit) override;
    void requestState(int id) override;
    void requestStateNoPush(int id) override;
    void backToCaller() override;
    DaxSubMenuIfc* getInstance(int id) override;
    void deleteInstance(int id) override;
    void restartProgram() override;
    void setMenuData(DaxMenuData* data) override;
    void releaseMenuData() override;
    void setMouseCursor(int variant) override;
    void setDefaultCursor() override;
    void setBusyCursor() override;
    DaxMenuData* getMenuData() override { return menu_data_.get(); }

    // For the game loop, once per frame: performs a requested change and
    // returns the new screen's container, or null when nothing changed or
    // the new state has no screen.
    gcn::Container* takeNewTopWidget();
    // After a change: deletes the screens the new state's lifetime class
    // does not keep.
    void deleteUnneededInstances();
    // Flags of the current state; state 0 quits and does not run the game.
    // An unregistered nonzero current state raises "wrong current state".
    bool currentRunsGame() const;
    bool currentQuits() const;
    // Whether the current state is registered with lifetime class 2.
    bool currentCatchesUp() const;
    // Hands an unconsumed key to the current state's screen.
    void dispatchKey(gcn::KeyEvent& event);

    // Deletes every screen still held (before the display goes, so that
    // their images are freed while Allegro still runs).
    void deleteAllInstances();
    // Drops the bitmap cursor without touching the display.
    void releaseCursor();

    int currentState() const { return current_; }
    int requestedState() const { return requested_; }
    // The call stack, oldest first.
    const std::deque<int>& callStack() const { return call_stack_; }
    bool isRegistered(int id) const { return registry_.count(id) != 0; }
    // The screen a state holds now (never creates one); null for unknown.
    DaxSubMenuIfc* heldInstance(int id) const;

    // Replaces execv for restartProgram (tests); an empty function restores
    // execv.
    void setExecFunction(ExecFn fn) { exec_fn_ = std::move(fn); }

private:
    struct Entry {
        DaxSubMenuIfc* instance = nullptr;
        DaxMenuCreator creator;
        int lifetime = kDaxLifetimeSingle;
        bool run = false;
        bool quit = false;
    };

    void request(int id, bool push);
    Entry& entryOf(int id);
    const Entry* findEntry(int id) const;
    // The current state's entry; null for state 0. Raises "wrong current
    // state" for an unregistered one.
    const Entry* currentEntry() const;
    void setCursor(ALLEGRO_MOUSE_CURSOR* cursor);
    void setSystemCursor(ALLEGRO_SYSTEM_MOUSE_CURSOR id);

    int current_ = 0;
    int requested_ = 0;
    bool push_caller_ = false;
    std::deque<int> call_stack_;
    mptr<DaxMenuData> menu_data_;
    std::map<int, Entry> registry_;
    ALLEGRO_MOUSE_CURSOR_mptr cursor_;
    ExecFn exec_fn_;
    DaxMenuHandler* previous_ = nullptr;
};

// The program's screen state machine (the one living handler).
extern DaxMenuHandler* dax_menu_handler;

// Saves the display's back buffer as the next numbered screenshot (counter
// in the user ini, section "screenshots"), posts message 0 with text 120
// and the file name, and returns the file's full path. A screenshot that
// cannot be written is logged; the message is posted in any case.
std::string daxTakeScreenshot();
