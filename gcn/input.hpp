// What the gui reads input through: two queues of raw key and mouse records
// that a back end fills.
#pragma once

#include "gcn/keyinput.hpp"
#include "gcn/mouseinput.hpp"

namespace gcn {

class Input {
public:
    virtual ~Input() = default;

    virtual bool isKeyQueueEmpty() = 0;
    virtual KeyInput dequeueKeyInput() = 0;
    virtual bool isMouseQueueEmpty() = 0;
    virtual MouseInput dequeueMouseInput() = 0;
    // Called by the gui before it reads the queues.
    virtual void _pollInput() = 0;
    // When set, auto-repeated key characters are dropped.
    virtual void setIgnoreKeyRepeat(bool ignore) = 0;
    virtual bool getIgnoreKeyRepeat() = 0;
};

}  // namespace gcn
