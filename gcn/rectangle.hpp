// An axis-aligned rectangle of whole pixels, used for widget geometry and
// clip areas.
#pragma once

namespace gcn {

class Rectangle {
public:
    Rectangle() = default;
    Rectangle(int ax, int ay, int awidth, int aheight) : x(ax), y(ay), width(awidth), height(aheight) {}

    // True for x <= px < x + width and y <= py < y + height.
    bool isPointInRect(int px, int py) const {
        return px >= x && py >= y && px < x + width && py < y + height;
    }

    bool isEmpty() const { return width <= 0 || height <= 0; }

    // The overlap of both rectangles; when there is none (or either side is
    // empty) its width and height are 0 and it keeps the larger x and y.
    Rectangle intersection(const Rectangle& o) const;

    bool operator==(const Rectangle& o) const {
        return x == o.x && y == o.y && width == o.width && height == o.height;
    }
    bool operator!=(const Rectangle& o) const { return !(*this == o); }

    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

}  // namespace gcn
