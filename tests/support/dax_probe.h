// What tests ask of and put into the framework's shared state: the message
// of a raised DaxException, the lines of the console queue, bitmaps in the
// registry, key presses for screens and dialogs. Header-only, because only
// the programs that link dax2 include it.
#pragma once

#include <gtest/gtest.h>

#include <allegro5/allegro.h>

#include <string>
#include <vector>

#include "dax2/dax_bitmap.h"
#include "dax2/dax_error.h"
#include "dax2/dax_mptr.h"
#include "gcn/events.hpp"
#include "gcn/key.hpp"
#include "support/bitmaps.h"

// The message of the DaxException that fn raises; none when it raises none.
// Other exceptions pass through.
template <class Fn>
std::string raisedBy(Fn&& fn, const char* none = "<not raised>") {
    try {
        fn();
    } catch (const DaxException& e) {
        return e.what();
    }
    return none;
}

// The message daxRaiseError makes of text in the current error context
// (script position and function in front).
inline std::string raisedFor(const char* text) {
    return raisedBy([text] { daxRaiseError("%s", text); });
}

// The texts of the console queue, oldest first, read under the console mutex.
inline std::vector<std::string> consoleTexts() {
    std::vector<std::string> out;
    DaxMutexLock lock(DaxLog::consoleMutex());
    for (const DaxConsoleEntry& e : DaxLog::consoleQueue()) {
        out.push_back(e.text);
    }
    return out;
}

// Whether a console line reads exactly line.
inline bool loggedLine(const std::string& line) {
    for (const std::string& t : consoleTexts()) {
        if (t == line) {
            return true;
        }
    }
    return false;
}

// Whether a console line holds part anywhere.
inline bool loggedContaining(const std::string& part) {
    for (const std::string& t : consoleTexts()) {
        if (t.find(part) != std::string::npos) {
            return true;
        }
    }
    return false;
}

// Empties the console queue; unlike DaxLog::reset the log file stays open.
inline void clearConsole() {
    DaxMutexLock lock(DaxLog::consoleMutex());
    DaxLog::consoleQueue().clear();
}

// Registers bmp under key with the hot spot (hot_x, hot_y), without the
// tile-height check and without a text, and destroys bmp: the registry keeps
// its own copy. A null bmp fails the test and gives kDaxNoBitmap.
inline DaxBitmapIndex registerBitmapCopy(const DaxBitmapKey& key, ALLEGRO_BITMAP* bmp, int hot_x, int hot_y) {
    ALLEGRO_BITMAP_mptr owned(bmp);
    if (!owned) {
        ADD_FAILURE() << "no bitmap to register as " << key.name_ << "," << key.variant_;
        return kDaxNoBitmap;
    }
    return dax_bitmaps.add(key, owned.get(), hot_x, hot_y, false, -1);
}

// Registers a w by h memory bitmap as Allegro makes it (see registerBitmapCopy).
inline DaxBitmapIndex registerMemoryBitmap(const DaxBitmapKey& key, int w, int h, int hot_x, int hot_y) {
    return registerBitmapCopy(key, zorMemoryBitmap(w, h), hot_x, hot_y);
}

// Registers a w by h memory bitmap of one colour (see registerBitmapCopy).
inline DaxBitmapIndex registerMemoryBitmap(const DaxBitmapKey& key, int w, int h, int hot_x, int hot_y,
                                           ALLEGRO_COLOR fill) {
    return registerBitmapCopy(key, zorMemoryBitmap(w, h, fill), hot_x, hot_y);
}

// A press of key without modifiers or source widget, as the game loop hands
// keys to the screens and dialogs.
inline gcn::KeyEvent keyPressEvent(int key) {
    return gcn::KeyEvent(nullptr, nullptr, false, false, false, false, gcn::KeyEvent::Pressed, false, gcn::Key(key));
}
