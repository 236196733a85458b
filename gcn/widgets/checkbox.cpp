#include "gcn/widgets/checkbox.hpp"

#include "gcn/font.hpp"
#include "gcn/graphics.hpp"
#include "gcn/key.hpp"
#include "gcn/style.hpp"

namespace gcn {

CheckBox::CheckBox() {
    setFocusable(true);
    addMouseListener(this);
    addKeyListener(this);
}

CheckBox::CheckBox(const char* caption, bool selected) : CheckBox() {
    setCaption(caption);
    selected_ = selected;
    adjustSize();
}

void CheckBox::setCaption(const char* caption) {
    caption_ = caption ? caption : "";
}

void CheckBox::adjustSize() {
    Font* font = getFont();
    const int h = font->getHeight();
    setSize(h + font->getWidth(caption_) + h / 2, h);
}

void CheckBox::draw(Graphics* graphics) {
    drawBox(graphics);
    Font* font = getFont();
    graphics->setFont(font);
    Color text = getForegroundColor();
    if (!isEnabled()) {
        text.a = static_cast<int16_t>(text.a / 2);
    }
    graphics->setColor(text);
    const int h = getHeight();
    graphics->drawText(caption_, h + h / 2 - 2, 0);
}

void CheckBox::drawBox(Graphics* graphics) {
    const Style* style = Style::getCurrent();
    const int h = getHeight();
    const Color& base = getBaseColor();
    graphics->setColor(style->shadowColor(base));
    graphics->drawLine(1, 1, h - 2, 1);
    graphics->drawLine(1, 1, 1, h - 2);
    graphics->setColor(style->highlightColor(base));
    graphics->drawLine(h - 2, 1, h - 2, h - 2);
    graphics->drawLine(1, h - 2, h - 3, h - 2);
    graphics->setColor(getBackgroundColor());
    graphics->fillRectangle(Rectangle(2, 2, h - 4, h - 4));
    graphics->setColor(getForegroundColor());
    if (isFocused()) {
        graphics->drawRectangle(Rectangle(0, 0, h, h));
    }
    if (selected_) {
        graphics->drawLine(3, 5, 3, h - 4);
        graphics->drawLine(4, 5, 4, h - 4);
        graphics->drawLine(5, h - 5, h - 4, 4);
        graphics->drawLine(5, h - 6, h - 6, 5);
    }
}

void CheckBox::toggleSelected() {
    selected_ = !selected_;
    distributeActionEvent();
}

void CheckBox::keyPressed(KeyEvent& event) {
    const int v = event.getKey().getValue();
    if (v == Key::Enter || v == Key::Space) {
        event.consume();
        toggleSelected();
    }
}

void CheckBox::mouseClicked(MouseEvent& event) {
    if (event.getButton() == MouseEvent::Left) {
        toggleSelected();
    }
}

void CheckBox::mouseDragged(MouseEvent& event) {
    event.consume();
}

}  // namespace gcn
