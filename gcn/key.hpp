// A key value: characters carry their code, special keys the negative
// values below (each is the special-key number less 2000).
#pragma once

namespace gcn {

class Key {
public:
    enum Value : int {
        Tab = 9,
        Enter = 10,
        Space = 32,
        LeftAlt = -1000,
        RightAlt = -999,  // AltGr
        LeftShift = -998,
        RightShift = -997,
        LeftControl = -996,
        RightControl = -995,
        LeftMeta = -994,  // left Windows key
        RightMeta = -993,
        Insert = -990,
        Home = -989,
        PageUp = -988,
        Delete = -987,
        End = -986,
        PageDown = -985,
        Escape = -984,
        CapsLock = -983,
        Backspace = -982,
        F1 = -981,
        F2 = -980,
        F3 = -979,
        F4 = -978,
        F5 = -977,
        F6 = -976,
        F7 = -975,
        F8 = -974,
        F9 = -973,
        F10 = -972,
        F11 = -971,
        F12 = -970,
        PrintScreen = -966,
        ScrollLock = -965,
        Pause = -964,
        NumLock = -963,
        Left = -961,
        Right = -960,
        Up = -959,
        Down = -958,
    };

    Key(int value = 0) : value_(value) {}

    int getValue() const { return value_; }

    // Printable: 32 to 126, 162 to 255, and Tab.
    bool isCharacter() const {
        return (value_ >= 32 && value_ <= 126) || (value_ >= 162 && value_ <= 255) || value_ == Tab;
    }

    bool operator==(const Key& o) const { return value_ == o.value_; }
    bool operator!=(const Key& o) const { return value_ != o.value_; }

private:
    int value_;
};

}  // namespace gcn
