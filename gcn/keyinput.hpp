// A raw key record as the input back end queues it: the key, pressed or
// released, and the modifier state at that moment.
#pragma once

#include "gcn/key.hpp"

namespace gcn {

class KeyInput {
public:
    enum Type : int { Pressed = 0, Released = 1 };

    KeyInput() = default;
    KeyInput(const Key& key, int type) : key_(key), type_(type) {}

    const Key& getKey() const { return key_; }
    int getType() const { return type_; }

    bool isShiftPressed() const { return shift_; }
    void setShiftPressed(bool v) { shift_ = v; }
    bool isControlPressed() const { return control_; }
    void setControlPressed(bool v) { control_ = v; }
    bool isAltPressed() const { return alt_; }
    void setAltPressed(bool v) { alt_ = v; }
    bool isMetaPressed() const { return meta_; }
    void setMetaPressed(bool v) { meta_ = v; }
    bool isNumericPad() const { return numeric_pad_; }
    void setNumericPad(bool v) { numeric_pad_ = v; }

private:
    Key key_;
    int type_ = Pressed;
    bool shift_ = false;
    bool control_ = false;
    bool alt_ = false;
    bool meta_ = false;
    bool numeric_pad_ = false;
};

}  // namespace gcn
