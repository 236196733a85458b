// The drawing interface widgets draw through: a stack of clip areas (each
// also moves the origin), a current colour and a current font. A back end
// supplies the primitives.
#pragma once

#include <deque>
#include <string>

#include "gcn/color.hpp"
#include "gcn/rectangle.hpp"

namespace gcn {

class Font;
class Image;

// A clip area in screen pixels, and the screen position of the origin that
// drawing calls use while it is on top of the stack.
class ClipRectangle : public Rectangle {
public:
    ClipRectangle() = default;
    ClipRectangle(int ax, int ay, int awidth, int aheight, int ax_offset, int ay_offset)
        : Rectangle(ax, ay, awidth, aheight), x_offset(ax_offset), y_offset(ay_offset) {}

    int x_offset = 0;
    int y_offset = 0;
};

class Graphics {
public:
    enum Alignment : int { Left = 0, Center = 1, Right = 2 };

    Graphics() = default;
    Graphics(const Graphics&) = delete;
    Graphics& operator=(const Graphics&) = delete;
    virtual ~Graphics() = default;

    // Bracket one frame of drawing.
    virtual void _beginDraw() {}
    virtual void _endDraw() {}

    // Pushes an area given relative to the current top; the new top is that
    // area clipped to the current one. Returns false when nothing of it is
    // visible (it must still be popped).
    virtual bool pushClipArea(Rectangle area);
    virtual void popClipArea();
    virtual ClipRectangle getCurrentClipArea();

    // The whole image at (x, y).
    virtual void drawImage(const Image* image, int dst_x, int dst_y);
    // The source part of the image scaled onto the destination rectangle.
    // (A back end that overrides it adds `using Graphics::drawImage;` to
    // keep the whole-image form visible.)
    virtual void drawImage(const Image* image, int src_x, int src_y, int src_width, int src_height, int dst_x,
                           int dst_y, int dst_width, int dst_height) = 0;
    virtual void drawPoint(int x, int y) = 0;
    // Both end points included.
    virtual void drawLine(int x1, int y1, int x2, int y2) = 0;
    // One-pixel outline inside the rectangle.
    virtual void drawRectangle(const Rectangle& rectangle) = 0;
    virtual void fillRectangle(const Rectangle& rectangle) = 0;
    virtual void setColor(const Color& color) = 0;
    virtual const Color& getColor() const = 0;
    virtual void setFont(Font* font) { font_ = font; }
    // Text in the current font, x being its left edge, centre or right edge.
    virtual void drawText(const std::string& text, int x, int y, int alignment = Left);

    Font* getFont() const { return font_; }
    // Number of clip areas on the stack.
    std::size_t clipStackDepth() const { return clip_stack_.size(); }

protected:
    std::deque<ClipRectangle> clip_stack_;
    Font* font_ = nullptr;
};

}  // namespace gcn
