// Helpers for the widget-set tests: a style with a steady caret, a list
// model of strings, a selection recorder, hand-made input events, a small
// gui with fake input and a pixel grid, and drawing one widget alone.
#pragma once

#include <string>
#include <vector>

#include "gcn/events.hpp"
#include "gcn/gui.hpp"
#include "gcn/listeners.hpp"
#include "gcn/listmodel.hpp"
#include "gcn/style.hpp"
#include "gcn/widgets/container.hpp"
#include "gcn_fakes.hpp"

namespace wtest {

// The default look with the caret blink fixed, so caret drawing does not
// depend on the clock.
class SteadyStyle final : public gcn::Style {
public:
    bool blinkPhase() const override { return blink; }
    int caretWidth() const override { return d_.caretWidth(); }
    gcn::Color pressedColor(const gcn::Color& c) const override { return d_.pressedColor(c); }
    gcn::Color sliderColor(const gcn::Color& c) const override { return d_.sliderColor(c); }
    gcn::Color shadowColor(const gcn::Color& c) const override { return d_.shadowColor(c); }
    gcn::Color highlightColor(const gcn::Color& c) const override { return d_.highlightColor(c); }
    gcn::Color blendColor(const gcn::Color& a, const gcn::Color& b) const override { return d_.blendColor(a, b); }
    gcn::Color foregroundColor() const override { return d_.foregroundColor(); }
    gcn::Color backgroundColor() const override { return d_.backgroundColor(); }
    gcn::Color baseColor() const override { return d_.baseColor(); }
    int16_t frameSize() const override { return d_.frameSize(); }
    int16_t buttonFrameSize() const override { return d_.buttonFrameSize(); }
    int16_t listFrameSize() const override { return d_.listFrameSize(); }
    int16_t windowFrameSize() const override { return d_.windowFrameSize(); }

    bool blink = false;

private:
    gcn::DefaultStyle d_;
};

// Installs a steady style for the lifetime of a test.
class SteadyStyleScope {
public:
    SteadyStyleScope() { gcn::Style::setCurrent(&style); }
    ~SteadyStyleScope() { gcn::Style::setCurrent(nullptr); }
    SteadyStyle style;
};

class StringList : public gcn::ListModel {
public:
    StringList() = default;
    StringList(std::initializer_list<std::string> items) : items(items) {}
    int getNumberOfElements() override { return static_cast<int>(items.size()); }
    std::string getElementAt(int i) override { return items.at(i); }
    std::vector<std::string> items;
};

class SelectionRecorder : public gcn::SelectionListener {
public:
    void valueChanged(const gcn::SelectionEvent& e) override { sources.push_back(e.getSource()); }
    std::vector<gcn::Widget*> sources;
};

inline gcn::KeyEvent keyEvent(gcn::Widget* w, int value, int type = gcn::KeyEvent::Pressed) {
    return gcn::KeyEvent(w, w, false, false, false, false, type, false, gcn::Key(value));
}

inline gcn::MouseEvent mouseEvent(gcn::Widget* w, int type, int x, int y, int button = gcn::MouseEvent::Left) {
    return gcn::MouseEvent(w, w, false, false, false, false, type, button, x, y, 1);
}

// Sends a key press straight to a widget's key listeners; returns whether
// it was consumed.
inline bool pressKey(gcn::Widget* w, int value) {
    gcn::KeyEvent e = keyEvent(w, value);
    for (gcn::KeyListener* l : w->_getKeyListeners()) {
        l->keyPressed(e);
    }
    return e.isConsumed();
}

// Draws one widget alone at the grid's origin, as a container would.
inline void drawAlone(gcn::Widget& w, gcntest::PixelGraphics& g) {
    g._beginDraw();
    g.pushClipArea(gcn::Rectangle(0, 0, w.getWidth(), w.getHeight()));
    w.draw(&g);
    g.popClipArea();
    g._endDraw();
}

// A gui over a 400 x 300 container with fake input and a pixel grid.
struct GuiRig {
    GuiRig() {
        top.setDimension(gcn::Rectangle(0, 0, 400, 300));
        gui.setTop(&top);
        gui.setInput(&input);
        gui.setGraphics(&graphics);
    }

    void move(int x, int y) {
        input.mouse(gcn::MouseInput::Moved, x, y, gcn::MouseInput::Empty, stamp());
        gui.logic();
    }
    void press(int x, int y, int button = gcn::MouseInput::Left) {
        input.mouse(gcn::MouseInput::Pressed, x, y, button, stamp());
        gui.logic();
    }
    void release(int x, int y, int button = gcn::MouseInput::Left) {
        input.mouse(gcn::MouseInput::Released, x, y, button, stamp());
        gui.logic();
    }
    // Moves there, presses and releases.
    void click(int x, int y, int button = gcn::MouseInput::Left) {
        move(x, y);
        press(x, y, button);
        release(x, y, button);
    }
    void wheelDown(int x, int y) {
        input.mouse(gcn::MouseInput::WheelMovedDown, x, y, gcn::MouseInput::Empty, stamp());
        gui.logic();
    }
    void wheelUp(int x, int y) {
        input.mouse(gcn::MouseInput::WheelMovedUp, x, y, gcn::MouseInput::Empty, stamp());
        gui.logic();
    }
    void keyDown(int value) {
        input.key(value, gcn::KeyInput::Pressed);
        gui.logic();
    }
    void keyUp(int value) {
        input.key(value, gcn::KeyInput::Released);
        gui.logic();
    }
    void key(int value) {
        keyDown(value);
        keyUp(value);
    }
    void draw() {
        graphics.clear();
        gui.draw();
    }

    // Presses far apart in time, so no two count as a double click.
    int stamp() { return time_ += 1000; }

    gcn::Gui gui;
    gcn::Container top;
    gcntest::FakeInput input;
    gcntest::PixelGraphics graphics{400, 300};

private:
    int time_ = 0;
};

}  // namespace wtest
