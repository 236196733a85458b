#include "gcn/widgets/buttonbase.hpp"

#include "gcn/graphics.hpp"
#include "gcn/key.hpp"
#include "gcn/style.hpp"

namespace gcn {

namespace {

bool isPressKey(const KeyEvent& event) {
    const int v = event.getKey().getValue();
    return v == Key::Enter || v == Key::Space;
}

}  // namespace

ButtonBase::ButtonBase() {
    setFrameSize(Style::getCurrent()->buttonFrameSize());
    setFocusable(true);
    addMouseListener(this);
    addKeyListener(this);
    addFocusListener(this);
}

bool ButtonBase::isPressed() const {
    return mouse_pressed_ ? has_mouse_ : key_pressed_;
}

void ButtonBase::mouseEntered(MouseEvent&) {
    has_mouse_ = true;
}

void ButtonBase::mouseExited(MouseEvent&) {
    has_mouse_ = false;
}

void ButtonBase::mousePressed(MouseEvent& event) {
    if (event.getButton() == MouseEvent::Left) {
        mouse_pressed_ = true;
        event.consume();
    }
}

void ButtonBase::mouseReleased(MouseEvent& event) {
    if (event.getButton() != MouseEvent::Left) {
        return;
    }
    const bool fire = mouse_pressed_ && has_mouse_;
    // State first: the action commonly closes the dialog that owns the
    // button, and nothing of it may be touched afterwards.
    mouse_pressed_ = false;
    event.consume();
    if (fire) {
        distributeActionEvent();
    }
}

void ButtonBase::mouseDragged(MouseEvent& event) {
    event.consume();
}

void ButtonBase::keyPressed(KeyEvent& event) {
    if (isPressKey(event)) {
        key_pressed_ = true;
        event.consume();
    }
}

void ButtonBase::keyReleased(KeyEvent& event) {
    if (isPressKey(event) && key_pressed_) {
        key_pressed_ = false;
        event.consume();
        distributeActionEvent();
    }
}

void ButtonBase::focusLost(const Event&) {
    mouse_pressed_ = false;
    key_pressed_ = false;
}

Color ButtonBase::faceColor() const {
    return isPressed() ? Style::getCurrent()->pressedColor(getBaseColor()) : getBaseColor();
}

void ButtonBase::drawBevel(Graphics* graphics) {
    const Style* style = Style::getCurrent();
    const Color face = faceColor();
    Color top_left;
    Color bottom_right;
    if (isPressed()) {
        top_left = style->shadowColor(face);
        bottom_right = style->highlightColor(face);
    } else {
        top_left = style->highlightColor(face);
        bottom_right = style->shadowColor(face);
    }
    const int w = getWidth();
    const int h = getHeight();
    graphics->setColor(face);
    graphics->fillRectangle(Rectangle(1, 1, w - 1, h - 1));
    graphics->setColor(top_left);
    graphics->drawLine(0, 0, w - 1, 0);
    graphics->drawLine(0, 1, 0, h - 1);
    graphics->setColor(bottom_right);
    graphics->drawLine(w - 1, 1, w - 1, h - 1);
    graphics->drawLine(1, h - 1, w - 1, h - 1);
}

}  // namespace gcn
