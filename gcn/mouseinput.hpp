// A raw mouse record as the input back end queues it: what happened, which
// button, when, and where on the gui's drawing surface.
#pragma once

namespace gcn {

class MouseInput {
public:
    enum Type : int { Moved = 0, Pressed = 1, Released = 2, WheelMovedDown = 3, WheelMovedUp = 4 };
    enum Button : int { Empty = 0, Left = 1, Right = 2, Middle = 3 };

    MouseInput() = default;
    MouseInput(int button, int type, int x, int y, int time_stamp)
        : type_(type), button_(button), time_stamp_(time_stamp), x_(x), y_(y) {}

    int getType() const { return type_; }
    int getButton() const { return button_; }
    // Milliseconds; only differences between two presses matter.
    int getTimeStamp() const { return time_stamp_; }
    int getX() const { return x_; }
    int getY() const { return y_; }

private:
    int type_ = Moved;
    int button_ = Empty;
    int time_stamp_ = 0;
    int x_ = 0;
    int y_ = 0;
};

}  // namespace gcn
