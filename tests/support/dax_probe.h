// What tests ask of the framework's shared state: the message of a raised
// DaxException and the lines of the console queue. Header-only, because only
// the programs that link dax2 include it.
#pragma once

#include <string>
#include <vector>

#include "dax2/dax_error.h"

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
