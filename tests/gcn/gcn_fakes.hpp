// Test doubles for the widget core: a graphics that rasterises into a pixel
// grid honouring the clip stack, an image of plain pixels, a style of fixed
// shades, an input whose queues the test fills, and small widgets and
// listeners that record what reaches them.
#pragma once

#include <cstdlib>
#include <deque>
#include <stdexcept>
#include <string>
#include <vector>

#include "gcn/color.hpp"
#include "gcn/events.hpp"
#include "gcn/graphics.hpp"
#include "gcn/image.hpp"
#include "gcn/input.hpp"
#include "gcn/listeners.hpp"
#include "gcn/style.hpp"
#include "gcn/widget.hpp"

namespace gcntest {

// The colour of pixels nothing was drawn on.
inline const gcn::Color kUnset(1, 2, 3, 0);

class PixelImage : public gcn::Image {
public:
    PixelImage(int w, int h, const gcn::Color& fill = gcn::Color()) : w_(w), h_(h), pixels_(w * h, fill) {}

    void free() override { pixels_.clear(); }
    int getWidth() const override { return w_; }
    int getHeight() const override { return h_; }
    gcn::Color getPixel(int x, int y) override { return pixels_.at(y * w_ + x); }
    gcn::Color pixel(int x, int y) const { return pixels_.at(y * w_ + x); }
    void putPixel(int x, int y, const gcn::Color& c) override { pixels_.at(y * w_ + x) = c; }
    void convertToDisplayFormat() override {}

private:
    int w_;
    int h_;
    std::vector<gcn::Color> pixels_;
};

// Every primitive writes whole pixels into a grid; nothing outside the top
// clip area is touched. Drawing with an empty clip stack fails the test.
class PixelGraphics : public gcn::Graphics {
public:
    PixelGraphics(int w, int h) : w_(w), h_(h), pixels_(w * h, kUnset) {}

    void _beginDraw() override { pushClipArea(gcn::Rectangle(0, 0, w_, h_)); }
    void _endDraw() override { popClipArea(); }

    using gcn::Graphics::drawImage;
    void drawImage(const gcn::Image* image, int sx, int sy, int sw, int sh, int dx, int dy, int dw,
                   int dh) override {
        auto* src = dynamic_cast<const PixelImage*>(image);
        if (!src) {
            throw std::logic_error("not a PixelImage");
        }
        ++images_drawn;
        for (int j = 0; j < dh; ++j) {
            for (int i = 0; i < dw; ++i) {
                plot(dx + i, dy + j, src->pixel(sx + i * sw / dw, sy + j * sh / dh));
            }
        }
    }

    void drawPoint(int x, int y) override { plot(x, y, color_); }

    void drawLine(int x1, int y1, int x2, int y2) override {
        // Bresenham over whole pixels, both ends included.
        const int dx = std::abs(x2 - x1);
        const int dy = -std::abs(y2 - y1);
        const int sx = x1 < x2 ? 1 : -1;
        const int sy = y1 < y2 ? 1 : -1;
        int err = dx + dy;
        for (;;) {
            plot(x1, y1, color_);
            if (x1 == x2 && y1 == y2) {
                break;
            }
            const int e2 = 2 * err;
            if (e2 >= dy) {
                err += dy;
                x1 += sx;
            }
            if (e2 <= dx) {
                err += dx;
                y1 += sy;
            }
        }
    }

    void drawRectangle(const gcn::Rectangle& r) override {
        if (r.width <= 0 || r.height <= 0) {
            return;
        }
        drawLine(r.x, r.y, r.x + r.width - 1, r.y);
        drawLine(r.x, r.y + r.height - 1, r.x + r.width - 1, r.y + r.height - 1);
        drawLine(r.x, r.y, r.x, r.y + r.height - 1);
        drawLine(r.x + r.width - 1, r.y, r.x + r.width - 1, r.y + r.height - 1);
    }

    void fillRectangle(const gcn::Rectangle& r) override {
        for (int y = r.y; y < r.y + r.height; ++y) {
            for (int x = r.x; x < r.x + r.width; ++x) {
                plot(x, y, color_);
            }
        }
    }

    void setColor(const gcn::Color& c) override { color_ = c; }
    const gcn::Color& getColor() const override { return color_; }

    gcn::Color at(int x, int y) const { return pixels_.at(y * w_ + x); }
    int width() const { return w_; }
    int height() const { return h_; }
    // How many pixels have the colour.
    int count(const gcn::Color& c) const {
        int n = 0;
        for (const gcn::Color& p : pixels_) {
            n += p == c ? 1 : 0;
        }
        return n;
    }
    void clear() { pixels_.assign(pixels_.size(), kUnset); }

    int images_drawn = 0;

private:
    void plot(int x, int y, const gcn::Color& c) {
        if (clip_stack_.empty()) {
            throw std::logic_error("drawing outside _beginDraw/_endDraw");
        }
        const gcn::ClipRectangle& top = clip_stack_.back();
        const int sx = x + top.x_offset;
        const int sy = y + top.y_offset;
        if (!top.isPointInRect(sx, sy) || sx < 0 || sy < 0 || sx >= w_ || sy >= h_) {
            return;
        }
        pixels_[sy * w_ + sx] = c;
    }

    int w_;
    int h_;
    std::vector<gcn::Color> pixels_;
    gcn::Color color_;
};

// A style with flat bevels of fixed shades, to tell where colours come from.
class FlatStyle final : public gcn::Style {
public:
    bool blinkPhase() const override { return false; }
    int caretWidth() const override { return 1; }
    gcn::Color pressedColor(const gcn::Color& c) const override { return c; }
    gcn::Color sliderColor(const gcn::Color& c) const override { return c; }
    gcn::Color shadowColor(const gcn::Color&) const override { return gcn::Color(1, 1, 1); }
    gcn::Color highlightColor(const gcn::Color&) const override { return gcn::Color(2, 2, 2); }
    gcn::Color blendColor(const gcn::Color& a, const gcn::Color&) const override { return a; }
    gcn::Color foregroundColor() const override { return gcn::Color(200, 200, 200); }
    gcn::Color backgroundColor() const override { return gcn::Color(0, 0, 0); }
    gcn::Color baseColor() const override { return gcn::Color(20, 20, 20); }
    int16_t frameSize() const override { return -1; }
    int16_t buttonFrameSize() const override { return 0; }
    int16_t listFrameSize() const override { return 0; }
    int16_t windowFrameSize() const override { return 0; }
};

class FakeInput : public gcn::Input {
public:
    bool isKeyQueueEmpty() override { return keys.empty(); }
    gcn::KeyInput dequeueKeyInput() override {
        gcn::KeyInput k = keys.front();
        keys.pop_front();
        return k;
    }
    bool isMouseQueueEmpty() override { return mice.empty(); }
    gcn::MouseInput dequeueMouseInput() override {
        gcn::MouseInput m = mice.front();
        mice.pop_front();
        return m;
    }
    void _pollInput() override { ++polls; }
    void setIgnoreKeyRepeat(bool v) override { ignore_repeat = v; }
    bool getIgnoreKeyRepeat() override { return ignore_repeat; }

    void key(int value, int type = gcn::KeyInput::Pressed, bool shift = false) {
        gcn::KeyInput k(gcn::Key(value), type);
        k.setShiftPressed(shift);
        keys.push_back(k);
    }
    void mouse(int type, int x, int y, int button = gcn::MouseInput::Left, int time_stamp = 0) {
        mice.push_back(gcn::MouseInput(button, type, x, y, time_stamp));
    }

    std::deque<gcn::KeyInput> keys;
    std::deque<gcn::MouseInput> mice;
    int polls = 0;
    bool ignore_repeat = false;
};

// One shared log of everything the recorders below see, in order.
using Log = std::vector<std::string>;

inline std::string mouseTypeName(int type) {
    static const char* const names[] = {"moved",   "pressed", "released", "wheeldown", "wheelup",
                                        "clicked", "entered", "exited",   "dragged"};
    return type >= 0 && type <= 8 ? names[type] : "?";
}

// A widget that fills its rectangle with its base colour and logs the mouse,
// key, focus and widget events that reach it, as "name:event".
class Probe : public gcn::Widget,
              public gcn::MouseListener,
              public gcn::KeyListener,
              public gcn::FocusListener,
              public gcn::WidgetListener {
public:
    Probe(std::string name, Log* log, int x = 0, int y = 0, int w = 10, int h = 10)
        : name_(std::move(name)), log_(log) {
        setDimension(gcn::Rectangle(x, y, w, h));
        addMouseListener(this);
        addKeyListener(this);
        addFocusListener(this);
        addWidgetListener(this);
    }

    void draw(gcn::Graphics* g) override {
        g->setColor(getBaseColor());
        g->fillRectangle(gcn::Rectangle(0, 0, getWidth(), getHeight()));
    }
    void logic() override { ++logic_calls; }
    void fontChanged() override { ++font_changes; }

    void mouseEntered(gcn::MouseEvent& e) override { mouse(e); }
    void mouseExited(gcn::MouseEvent& e) override { mouse(e); }
    void mousePressed(gcn::MouseEvent& e) override { mouse(e); }
    void mouseReleased(gcn::MouseEvent& e) override { mouse(e); }
    void mouseClicked(gcn::MouseEvent& e) override { mouse(e); }
    void mouseWheelMovedUp(gcn::MouseEvent& e) override { mouse(e); }
    void mouseWheelMovedDown(gcn::MouseEvent& e) override { mouse(e); }
    void mouseMoved(gcn::MouseEvent& e) override { mouse(e); }
    void mouseDragged(gcn::MouseEvent& e) override { mouse(e); }

    void keyPressed(gcn::KeyEvent& e) override { key("keydown", e); }
    void keyReleased(gcn::KeyEvent& e) override { key("keyup", e); }

    void focusGained(const gcn::Event&) override { log_->push_back(name_ + ":gained"); }
    void focusLost(const gcn::Event&) override { log_->push_back(name_ + ":lost"); }

    void widgetResized(const gcn::Event&) override { log_->push_back(name_ + ":resized"); }
    void widgetMoved(const gcn::Event&) override { log_->push_back(name_ + ":moved"); }
    void widgetHidden(const gcn::Event&) override { log_->push_back(name_ + ":hidden"); }
    void widgetShown(const gcn::Event&) override { log_->push_back(name_ + ":shown"); }

    const std::string& name() const { return name_; }

    // What the probe does to the events it gets.
    bool consume_keys = false;
    bool consume_mouse = false;
    // Coordinates and click count of the last mouse event.
    int last_x = 0;
    int last_y = 0;
    int last_clicks = 0;
    gcn::Widget* last_source = nullptr;
    int logic_calls = 0;
    int font_changes = 0;
    // Mouse events the log leaves out (moves are many).
    bool log_moves = false;

private:
    void mouse(gcn::MouseEvent& e) {
        last_x = e.getX();
        last_y = e.getY();
        last_clicks = e.getClickCount();
        last_source = e.getSource();
        if (e.getType() != gcn::MouseEvent::Moved || log_moves) {
            log_->push_back(name_ + ":" + mouseTypeName(e.getType()));
        }
        if (consume_mouse) {
            e.consume();
        }
    }
    void key(const char* what, gcn::KeyEvent& e) {
        log_->push_back(name_ + ":" + what + ":" + std::to_string(e.getKey().getValue()));
        if (consume_keys) {
            e.consume();
        }
    }

    std::string name_;
    Log* log_;
};

class ActionRecorder : public gcn::ActionListener {
public:
    void action(const gcn::ActionEvent& e) override {
        sources.push_back(e.getSource());
        ids.push_back(e.getId());
    }
    std::vector<gcn::Widget*> sources;
    std::vector<std::string> ids;
};

}  // namespace gcntest
